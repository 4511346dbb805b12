// A LibreOffice of its own for one test: a fresh profile in the test's folder, a pipe name nobody
// else uses, and stopped again (killed if need be, also when the test process dies) when the
// object goes.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/bridge/BridgeFactory.hpp>
#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetView.hpp>
#include <com/sun/star/table/XCellRange.hpp>
#include <com/sun/star/view/XSelectionSupplier.hpp>

#include "spreadsheet_uno/uno_runtime.h"
#include "support/temp_folder.h"

namespace tavrolin::testing {

namespace css = com::sun::star;
namespace fs = std::filesystem;

namespace office_process {

// Starts the office in a process group of its own that dies with this process. Everything the
// child needs is prepared before the fork: only async-signal-safe calls follow it.
inline pid_t spawn(std::vector<std::string> args, const fs::path& log) {
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

// The paths of the Unix sockets a process has bound (the office's pipes in /tmp): a killed office
// leaves them behind.
inline std::vector<fs::path> bound_socket_files(pid_t pid) {
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

}  // namespace office_process

class TestOffice {
public:
    // The profile and the office's log go to `folder`, which the test removes.
    explicit TestOffice(const fs::path& folder) {
        // A fixed locale, so that what Calc makes of the texts does not depend on the machine (and
        // the batch program the tests run reads dates month first).
        ::setenv("LC_ALL", "C.UTF-8", 1);
        static std::atomic<int> counter{0};
        pipe_ = "tavrolin-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
        const fs::path log = folder / "office.log";
        const std::vector<std::string> args = {
            std::string(TAVROLIN_LO_PROGRAM_DIR) + "/soffice.bin", "--headless", "--norestore", "--nologo", "--nodefault",
            "--nolockcheck", "-env:UserInstallation=" + from_ou(file_url((folder / "profile").string())),
            "--accept=pipe,name=" + pipe_ + ";urp;"};
        const auto resolver = css::bridge::UnoUrlResolver::create(local_context());
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        // soffice.bin asks for a restart with status 81 after it has set up a new profile.
        pid_ = office_process::spawn(args, log);
        for (int restarts = 0;; std::this_thread::sleep_for(std::chrono::milliseconds(100))) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                if (WIFEXITED(status) && WEXITSTATUS(status) == 81 && restarts++ < 3) {
                    pid_ = office_process::spawn(args, log);
                    continue;
                }
                pid_ = -1;
                start_error_ = "the office ended at start (status " + std::to_string(status) + "): " + read_file(log);
                return;
            }
            try {
                const css::uno::Reference<css::uno::XComponentContext> remote(
                    resolver->resolve(to_ou("uno:pipe,name=" + pipe_ + ";urp;StarOffice.ComponentContext")),
                    css::uno::UNO_QUERY_THROW);
                desktop_ = css::frame::Desktop::create(remote);
                return;
            } catch (const css::connection::NoConnectException&) {
            } catch (const css::uno::Exception& e) {
                start_error_ = "the office did not answer: " + from_ou(e.Message);
                return;
            }
            if (std::chrono::steady_clock::now() > deadline) {
                start_error_ = "the office did not accept connections within two minutes: " + read_file(log);
                return;
            }
        }
    }
    // A test's office needs no orderly end: its profile and documents are thrown away.
    ~TestOffice() {
        desktop_.clear();
        kill_now();
    }
    TestOffice(const TestOffice&) = delete;
    TestOffice& operator=(const TestOffice&) = delete;

    // Empty when the office runs and accepts connections; otherwise what went wrong.
    const std::string& start_error() const { return start_error_; }
    const std::string& pipe() const { return pipe_; }
    // Lets go of the test's own connection to the office: the office's objects are then reached
    // anew through the next connection this process makes, not through this one.
    void let_go() {
        desktop_.clear();
        for (const auto& bridge : css::bridge::BridgeFactory::create(local_context())->getExistingBridges())
            css::uno::Reference<css::lang::XComponent>(bridge, css::uno::UNO_QUERY_THROW)->dispose();
    }
    // The office's process group, for a test that stops the office without ending it.
    pid_t process_group() const { return pid_; }

    // A new spreadsheet document, made the office's current document, with `cell` (e.g. "D10")
    // selected. Hidden: a visible document cannot be shown by a headless office.
    css::uno::Reference<css::frame::XModel> new_spreadsheet(const std::string& cell) {
        using namespace css;
        const beans::PropertyValue hidden("Hidden", 0, uno::Any(true), beans::PropertyState_DIRECT_VALUE);
        uno::Reference<frame::XModel> model(
            desktop_->loadComponentFromURL("private:factory/scalc", "_blank", 0, {&hidden, 1}), uno::UNO_QUERY_THROW);
        // A hidden document becomes the current one only through its frame.
        desktop_->setActiveFrame(model->getCurrentController()->getFrame());
        uno::Reference<table::XCellRange> range(active_sheet(model), uno::UNO_QUERY_THROW);
        uno::Reference<view::XSelectionSupplier> selection(model->getCurrentController(), uno::UNO_QUERY_THROW);
        selection->select(uno::Any(range->getCellRangeByName(to_ou(cell))));
        return model;
    }
    static css::uno::Reference<css::sheet::XSpreadsheet> active_sheet(const css::uno::Reference<css::frame::XModel>& doc) {
        using namespace css;
        return uno::Reference<sheet::XSpreadsheetView>(doc->getCurrentController(), uno::UNO_QUERY_THROW)->getActiveSheet();
    }

    // Ends the office at once, as a crash would, and removes the pipes it leaves.
    void kill_now() {
        if (pid_ <= 0) return;
        const std::vector<fs::path> sockets = office_process::bound_socket_files(pid_);
        kill(-pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
        std::error_code ignored;
        for (const fs::path& socket : sockets) fs::remove(socket, ignored);
    }

private:
    std::string start_error_, pipe_;
    pid_t pid_ = -1;
    css::uno::Reference<css::frame::XDesktop2> desktop_;
};

}  // namespace tavrolin::testing
