#include "test_office.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include <cppuhelper/bootstrap.hxx>
#include <osl/file.hxx>
#include <rtl/bootstrap.hxx>

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/sheet/XSpreadsheetView.hpp>
#include <com/sun/star/table/XCellRange.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/view/XSelectionSupplier.hpp>

extern char** environ;

namespace tavrolin::testing {

namespace {

using namespace css;
namespace fs = std::filesystem;

// soffice.bin asks for a restart with this status after it has set up a new profile.
constexpr int restart_status = 81;

std::string read_text(const fs::path& path) {
    std::stringstream s;
    s << std::ifstream(path).rdbuf();
    return s.str();
}

rtl::OUString file_url(const std::string& path) {
    rtl::OUString url;
    osl::FileBase::getFileURLFromSystemPath(to_ou(path), url);
    return url;
}

// Starts the office in a process group of its own that dies with this process.
pid_t spawn(const std::vector<std::string>& args, const fs::path& log) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    // A fixed locale, so that what Calc makes of the texts does not depend on the machine.
    std::vector<std::string> env_strings;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        if (entry.rfind("LC_", 0) == 0 || entry.rfind("LANG=", 0) == 0 || entry.rfind("LANGUAGE=", 0) == 0) continue;
        env_strings.push_back(entry);
    }
    env_strings.push_back("LC_ALL=C.UTF-8");
    env_strings.push_back("LANG=C.UTF-8");
    std::vector<char*> envp;
    for (const std::string& e : env_strings) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    const std::string log_path = log.string();

    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);
        const int out = open(log_path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        const int in = open("/dev/null", O_RDONLY);
        if (out >= 0) {
            dup2(out, 1);
            dup2(out, 2);
        }
        if (in >= 0) dup2(in, 0);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    return pid;
}

// The paths of the Unix sockets a process has bound (the office's pipes): a killed office leaves
// them behind.
std::vector<fs::path> bound_socket_files(pid_t pid) {
    std::set<std::string> inodes;
    std::error_code ec;
    for (const auto& fd : fs::directory_iterator(fs::path("/proc") / std::to_string(pid) / "fd", ec)) {
        const std::string target = fs::read_symlink(fd.path(), ec).string();
        if (target.rfind("socket:[", 0) == 0) inodes.insert(target.substr(8, target.size() - 9));
    }
    std::vector<fs::path> files;
    std::ifstream table("/proc/net/unix");
    for (std::string line; std::getline(table, line);) {
        // Num RefCount Protocol Flags Type St Inode Path
        std::istringstream fields(line);
        std::string field[8];
        for (auto& f : field) fields >> f;
        if (!field[7].empty() && field[7][0] == '/' && inodes.count(field[6])) files.emplace_back(field[7]);
    }
    return files;
}

}  // namespace

std::string to_utf8(const rtl::OUString& text) { return rtl::OUStringToOString(text, RTL_TEXTENCODING_UTF8).getStr(); }
rtl::OUString to_ou(const std::string& text) {
    return rtl::OUString(text.data(), static_cast<sal_Int32>(text.size()), RTL_TEXTENCODING_UTF8);
}

uno::Reference<uno::XComponentContext> test_local_context() {
    static const auto* context = [] {
        const std::string program = TAVROLIN_LO_PROGRAM_DIR;
        rtl::Bootstrap::set("UNO_TYPES", file_url(program + "/types.rdb") + " " + file_url(program + "/types/offapi.rdb"));
        return new uno::Reference<uno::XComponentContext>(cppu::defaultBootstrap_InitialComponentContext());
    }();
    return *context;
}

TestOffice::TestOffice() {
    static std::atomic<int> counter{0};
    pipe_ = "tavrolin-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
    std::string profile_template = (fs::temp_directory_path() / "tavrolin-office-XXXXXX").string();
    if (mkdtemp(profile_template.data()) == nullptr) {
        start_error_ = "cannot make a profile folder";
        return;
    }
    profile_ = profile_template;
    const fs::path log = profile_ / "office.log";
    const std::vector<std::string> args = {std::string(TAVROLIN_LO_PROGRAM_DIR) + "/soffice.bin",
                                           "--headless",
                                           "--norestore",
                                           "--nologo",
                                           "--nodefault",
                                           "--nolockcheck",
                                           "-env:UserInstallation=" + to_utf8(file_url((profile_ / "user").string())),
                                           "--accept=pipe,name=" + pipe_ + ";urp;"};

    const auto resolver = bridge::UnoUrlResolver::create(test_local_context());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    pid_ = spawn(args, log);
    for (int restarts = 0;;) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            if (WIFEXITED(status) && WEXITSTATUS(status) == restart_status && restarts++ < 3) {
                pid_ = spawn(args, log);
                continue;
            }
            pid_ = -1;
            start_error_ = "the office ended at start (status " + std::to_string(status) + "): " + read_text(log);
            return;
        }
        try {
            remote_.set(resolver->resolve(to_ou("uno:pipe,name=" + pipe_ + ";urp;StarOffice.ComponentContext")),
                        uno::UNO_QUERY_THROW);
            desktop_ = frame::Desktop::create(remote_);
            return;
        } catch (const connection::NoConnectException&) {
        } catch (const uno::Exception& e) {
            start_error_ = "the office did not answer: " + to_utf8(e.Message);
            return;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            start_error_ = "the office did not accept connections within two minutes: " + read_text(log);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

TestOffice::~TestOffice() { stop(); }

uno::Reference<frame::XModel> TestOffice::new_spreadsheet(const std::string& cell) {
    uno::Reference<frame::XComponentLoader> loader(desktop_, uno::UNO_QUERY_THROW);
    uno::Sequence<beans::PropertyValue> arguments(1);
    arguments.getArray()[0].Name = "Hidden";
    arguments.getArray()[0].Value <<= true;
    uno::Reference<frame::XModel> model(loader->loadComponentFromURL("private:factory/scalc", "_blank", 0, arguments),
                                        uno::UNO_QUERY_THROW);
    // A hidden document becomes the current one only through its frame.
    desktop_->setActiveFrame(model->getCurrentController()->getFrame());
    uno::Reference<table::XCellRange> range(active_sheet(model), uno::UNO_QUERY_THROW);
    uno::Reference<view::XSelectionSupplier> selection(model->getCurrentController(), uno::UNO_QUERY_THROW);
    selection->select(uno::Any(range->getCellRangeByName(to_ou(cell))));
    return model;
}

uno::Reference<sheet::XSpreadsheet> TestOffice::active_sheet(const uno::Reference<frame::XModel>& model) {
    uno::Reference<sheet::XSpreadsheetView> view(model->getCurrentController(), uno::UNO_QUERY_THROW);
    return view->getActiveSheet();
}

void TestOffice::kill_now() {
    if (pid_ <= 0) return;
    const std::vector<fs::path> sockets = bound_socket_files(pid_);
    kill(-pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
    std::error_code ignored;
    for (const fs::path& socket : sockets) fs::remove(socket, ignored);
}

void TestOffice::stop() {
    if (pid_ > 0) {
        bool terminating = false;
        try {
            // Close the documents first: a modified one would veto the end of the office.
            if (desktop_.is()) {
                uno::Reference<util::XCloseable> current(desktop_->getCurrentComponent(), uno::UNO_QUERY);
                if (current.is()) current->close(true);
                terminating = desktop_->terminate();
            }
        } catch (const uno::Exception&) {
            terminating = true;  // the office went away during the call
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(terminating ? 20 : 0);
        bool ended = false;
        while (!ended) {
            ended = waitpid(pid_, nullptr, WNOHANG) == pid_;
            if (ended || std::chrono::steady_clock::now() >= deadline) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (!ended) kill_now();
        pid_ = -1;
    }
    desktop_.clear();
    remote_.clear();
    std::error_code ignored;
    fs::remove(fs::path("/tmp") / ("OSL_PIPE_" + std::to_string(getuid()) + "_" + pipe_), ignored);
    if (!profile_.empty()) fs::remove_all(profile_, ignored);
}

}  // namespace tavrolin::testing
