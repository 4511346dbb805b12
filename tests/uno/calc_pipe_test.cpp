// What stands at the office's pipe before anything is sent there: a socket that is not the
// user's own is refused, and an office that does not answer ends the wait at the time-out (or
// when the caller cancels) instead of blocking the program for good.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "spreadsheet_uno/calc_connection.h"
#include "support/batch_program.h"
#include "test_office.h"

namespace tavrolin {
namespace {

using testing::TestOffice;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A Unix socket at `path` that takes connections and counts them; `answer` decides whether it
// closes each connection at once or keeps it open without a word, as a stopped office does.
struct FakePipe {
    FakePipe(const std::string& path, bool answer) : path(path) {
        sockaddr_un address{AF_UNIX, {}};
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        ::unlink(path.c_str());
        ok = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && ::listen(fd, 8) == 0;
        thread = std::thread([this, answer] {
            for (int client; (client = ::accept(fd, nullptr, nullptr)) >= 0;) {
                ++accepted;
                if (answer) ::close(client);  // else left open and silent until the end
            }
        });
    }
    ~FakePipe() {
        ::shutdown(fd, SHUT_RDWR);
        ::close(fd);
        thread.join();
        ::unlink(path.c_str());
    }
    std::string path;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    bool ok = false;
    std::atomic<int> accepted{0};
    std::thread thread;
};

class CalcPipe : public testing::BatchProgramTest {
protected:
    std::string pipe = "tavrolin-pipe-test-" + std::to_string(::getpid());
    std::string socket_path = calc_pipe_path(pipe);
    void TearDown() override {
        ::unlink(socket_path.c_str());
        BatchProgramTest::TearDown();
    }
};

TEST_F(CalcPipe, ASocketThatIsNotTheUsersOwnGetsNothing) {
    ASSERT_EQ(socket_path, "/tmp/OSL_PIPE_" + std::to_string(::getuid()) + "_" + pipe);
    // setup makes the thing at the pipe's path; a socket of the user's own listens at own.sock.
    struct Case { const char* what; std::function<void()> setup; std::string refusal; bool needs_root = false; };
    const Case cases[] = {
        // Made by root and given away, as another user would have made it before the office.
        {"another user's socket", [&] { EXPECT_EQ(::chown(socket_path.c_str(), 65534, 65534), 0); },
         " belongs to another user (uid 65534), not to an office of yours: nothing is sent to it", true},
        {"a link to a socket of the user's own", [&] { ::symlink(path("own.sock").c_str(), socket_path.c_str()); },
         " is a symbolic link, not the office's pipe: nothing is sent to it"},
        {"a regular file", [&] { std::ofstream(socket_path) << ""; },
         " is not a socket, not the office's pipe: nothing is sent to it"},
    };
    ControlValues cv;
    cv.natal_date = "09/22/1949";
    cv.end_date = "12/02/2005";
    const std::string file = settings("a.opt", cv);
    bool skipped = false;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.needs_root && ::getuid() != 0) {
            skipped = true;
            continue;
        }
        ::unlink(socket_path.c_str());
        FakePipe fake(c.needs_root ? socket_path : path("own.sock"), true);
        ASSERT_TRUE(fake.ok);
        c.setup();
        const SpreadsheetConnection connection = connect_to_running_calc(pipe);
        EXPECT_EQ(connection.status, SpreadsheetConnection::Status::refused);
        EXPECT_EQ(connection.detail, socket_path + c.refusal);
        // The batch program says so too, naming the path.
        const testing::ProgramRun r = run("--to-spreadsheet --pipe " + pipe + " " + file);
        EXPECT_NE(r.status, 0);
        EXPECT_NE(r.err.find(socket_path + c.refusal), std::string::npos) << r.err;
        EXPECT_EQ(fake.accepted, 0) << "a connection was made";
    }
    if (skipped) GTEST_SKIP() << "another user's socket needs root to be made; that case was not run";
}

TEST_F(CalcPipe, AnOfficeThatDoesNotAnswerEndsTheWaitAtTheTimeOutOrWhenCancelled) {
    TestOffice office(dir);
    ASSERT_EQ(office.start_error(), "");
    office.new_spreadsheet("A1");
    office.let_go();  // so that the calls below go through the connection under test
    CalcConnectOptions options;
    options.timeout = milliseconds(1500);
    const std::string within = " did not answer within 1.5 s";

    // Stopped once connected: the next call into the sheet fails at the time-out.
    {
        SpreadsheetConnection connection = connect_to_running_calc(office.pipe(), options);
        ASSERT_EQ(connection.status, SpreadsheetConnection::Status::connected) << connection.detail;
        connection.sheet->set_cell_text(0, 0, "before");
        ASSERT_EQ(::kill(-office.process_group(), SIGSTOP), 0);
        const auto start = Clock::now();
        try {
            connection.sheet->set_cell_text(0, 1, "after");
            ADD_FAILURE() << "the call returned after " << (Clock::now() - start).count() / 1000000 << " ms";
        } catch (const SpreadsheetUnusable& e) {
            EXPECT_EQ(std::string(e.what()), "LibreOffice Calc" + within);
        }
        EXPECT_LT(Clock::now() - start, milliseconds(4000));
    }

    struct Case { const char* what; std::string pipe; bool cancel_at_once; std::string detail; };
    const Case cases[] = {
        {"a stopped office", office.pipe(), false, "LibreOffice on the pipe \"" + office.pipe() + "\"" + within},
        {"a socket that takes the connection and never answers", pipe, false,
         "LibreOffice on the pipe \"" + pipe + "\"" + within},
        {"cancelled while waiting", pipe, true, "cancelled"},
    };
    FakePipe silent(socket_path, false);
    ASSERT_TRUE(silent.ok);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CalcConnectOptions o = options;
        o.cancel = std::make_shared<std::atomic<bool>>(false);
        int progress_calls = 0;
        o.progress = [&](milliseconds waited) {
            ++progress_calls;
            if (c.cancel_at_once && waited >= milliseconds(200)) o.cancel->store(true);
        };
        const auto start = Clock::now();
        const SpreadsheetConnection connection = connect_to_running_calc(c.pipe, o);
        const auto took = Clock::now() - start;
        EXPECT_EQ(connection.status, SpreadsheetConnection::Status::refused);
        EXPECT_EQ(connection.detail, c.detail);
        EXPECT_LT(took, c.cancel_at_once ? milliseconds(1000) : milliseconds(2500));
        EXPECT_GE(took, c.cancel_at_once ? milliseconds(200) : milliseconds(1500));
        EXPECT_GE(progress_calls, 4);
    }
    EXPECT_GE(silent.accepted, 2);
    ::kill(-office.process_group(), SIGCONT);
}

}  // namespace
}  // namespace tavrolin
