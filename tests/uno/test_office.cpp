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

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/sheet/XSpreadsheetView.hpp>
#include <com/sun/star/table/XCellRange.hpp>
#include <com/sun/star/view/XSelectionSupplier.hpp>

#include "support/temp_folder.h"

namespace tavrolin::testing {

namespace {

using namespace css;
namespace fs = std::filesystem;
using std::chrono::steady_clock;

// soffice.bin asks for a restart with this status after it has set up a new profile.
constexpr int restart_status = 81;

// Starts the office in a process group of its own that dies with this process. Everything the
// child needs is prepared before the fork: only async-signal-safe calls follow it.
pid_t spawn(std::vector<std::string> args, const fs::path& log) {
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);
        const int in = open("/dev/null", O_RDONLY);
        dup2(in, 0);
        dup2(out, 1);
        dup2(out, 2);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out);
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
        std::istringstream fields(line);  // Num RefCount Protocol Flags Type St Inode Path
        std::string field[8];
        for (auto& f : field) fields >> f;
        if (field[7].rfind('/', 0) == 0 && inodes.count(field[6])) files.emplace_back(field[7]);
    }
    return files;
}

}  // namespace

TestOffice::TestOffice() {
    // A fixed locale, so that what Calc makes of the texts does not depend on the machine (and the
    // batch program the tests run reads dates month first).
    ::setenv("LC_ALL", "C.UTF-8", 1);
    static std::atomic<int> counter{0};
    pipe_ = "tavrolin-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
    std::string folder = (fs::temp_directory_path() / "tavrolin-office-XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr) {
        start_error_ = "cannot make a profile folder";
        return;
    }
    profile_ = folder;
    const fs::path log = profile_ / "office.log";
    const std::vector<std::string> args = {std::string(TAVROLIN_LO_PROGRAM_DIR) + "/soffice.bin", "--headless", "--norestore",
                                           "--nologo", "--nodefault", "--nolockcheck",
                                           "-env:UserInstallation=" + from_ou(file_url((profile_ / "user").string())),
                                           "--accept=pipe,name=" + pipe_ + ";urp;"};
    const auto resolver = bridge::UnoUrlResolver::create(local_context());
    const auto deadline = steady_clock::now() + std::chrono::seconds(120);
    pid_ = spawn(args, log);
    for (int restarts = 0;; std::this_thread::sleep_for(std::chrono::milliseconds(100))) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            if (WIFEXITED(status) && WEXITSTATUS(status) == restart_status && restarts++ < 3) {
                pid_ = spawn(args, log);
                continue;
            }
            pid_ = -1;
            start_error_ = "the office ended at start (status " + std::to_string(status) + "): " + read_file(log);
            return;
        }
        try {
            const uno::Reference<uno::XComponentContext> remote(
                resolver->resolve(to_ou("uno:pipe,name=" + pipe_ + ";urp;StarOffice.ComponentContext")), uno::UNO_QUERY_THROW);
            desktop_ = frame::Desktop::create(remote);
            return;
        } catch (const connection::NoConnectException&) {
        } catch (const uno::Exception& e) {
            start_error_ = "the office did not answer: " + from_ou(e.Message);
            return;
        }
        if (steady_clock::now() > deadline) {
            start_error_ = "the office did not accept connections within two minutes: " + read_file(log);
            return;
        }
    }
}

// A test's office needs no orderly end: its profile and documents are thrown away.
TestOffice::~TestOffice() {
    desktop_.clear();
    kill_now();
    std::error_code ignored;
    fs::remove(fs::path("/tmp") / ("OSL_PIPE_" + std::to_string(getuid()) + "_" + pipe_), ignored);
    if (!profile_.empty()) fs::remove_all(profile_, ignored);
}

uno::Reference<frame::XModel> TestOffice::new_spreadsheet(const std::string& cell) {
    const beans::PropertyValue hidden("Hidden", 0, uno::Any(true), beans::PropertyState_DIRECT_VALUE);
    uno::Reference<frame::XModel> model(desktop_->loadComponentFromURL("private:factory/scalc", "_blank", 0, {&hidden, 1}),
                                        uno::UNO_QUERY_THROW);
    // A hidden document becomes the current one only through its frame.
    desktop_->setActiveFrame(model->getCurrentController()->getFrame());
    uno::Reference<table::XCellRange> range(active_sheet(model), uno::UNO_QUERY_THROW);
    uno::Reference<view::XSelectionSupplier> selection(model->getCurrentController(), uno::UNO_QUERY_THROW);
    selection->select(uno::Any(range->getCellRangeByName(to_ou(cell))));
    return model;
}

uno::Reference<sheet::XSpreadsheet> TestOffice::active_sheet(const uno::Reference<frame::XModel>& model) {
    return uno::Reference<sheet::XSpreadsheetView>(model->getCurrentController(), uno::UNO_QUERY_THROW)->getActiveSheet();
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

}  // namespace tavrolin::testing
