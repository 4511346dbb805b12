// What stands at the office's pipe before anything is sent there: a socket that is not the
// user's own is refused, and an office that does not answer ends the wait at the time-out (or
// when the caller cancels) instead of blocking the program for good.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "output/memory_sheet.h"
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
class FakePipe {
public:
    FakePipe(const std::string& path, bool answer) : path_(path), answer_(answer) {
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        ::unlink(path.c_str());
        ok_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && ::listen(fd_, 8) == 0;
        thread_ = std::thread([this] {
            for (;;) {
                const int client = ::accept(fd_, nullptr, nullptr);
                if (client < 0) return;
                ++accepted_;
                if (answer_) ::close(client);  // else left open and silent until the end
            }
        });
    }
    ~FakePipe() {
        ::shutdown(fd_, SHUT_RDWR);
        ::close(fd_);
        thread_.join();
        ::unlink(path_.c_str());
    }
    bool ok() const { return ok_; }
    int accepted() const { return accepted_; }

private:
    std::string path_;
    bool answer_, ok_ = false;
    int fd_ = -1;
    std::atomic<int> accepted_{0};
    std::thread thread_;
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
    const bool root = ::getuid() == 0;
    struct Case {
        const char* what;
        std::function<std::string()> setup;  // makes the thing at the pipe's path; its socket's path
        std::string refusal;                 // what the message says after the path
        bool needs_root = false;
    };
    const Case cases[] = {
        {"another user's socket",
         [&] {
             // Made by root and given away, as another user would have made it before the office.
             EXPECT_EQ(::chown(socket_path.c_str(), 65534, 65534), 0);
             return socket_path;
         },
         " belongs to another user (uid 65534), not to an office of yours: nothing is sent to it", true},
        {"a link to a socket of the user's own",
         [&] {
             ::symlink(path("own.sock").c_str(), socket_path.c_str());
             return path("own.sock");
         },
         " is a symbolic link, not the office's pipe: nothing is sent to it"},
    };
    int skipped = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.needs_root && !root) {
            ++skipped;
            continue;
        }
        ::unlink(socket_path.c_str());
        const std::string listening = c.needs_root ? socket_path : path("own.sock");
        FakePipe fake(listening, true);
        ASSERT_TRUE(fake.ok());
        c.setup();
        const SpreadsheetConnection connection = connect_to_running_calc(pipe);
        EXPECT_EQ(connection.status, SpreadsheetConnection::Status::refused);
        EXPECT_EQ(connection.detail, socket_path + c.refusal);
        // The batch program says so too, naming the path.
        ControlValues cv;
        cv.natal_date = "09/22/1949";
        cv.end_date = "12/02/2005";
        const testing::ProgramRun run_ = run("--to-spreadsheet --pipe " + pipe + " " + settings("a.opt", cv));
        EXPECT_NE(run_.status, 0);
        EXPECT_NE(run_.err.find(socket_path + c.refusal), std::string::npos) << run_.err;
        EXPECT_EQ(fake.accepted(), 0) << "a connection was made";
        ::unlink(socket_path.c_str());
    }
    // A regular file in the pipe's place is no office either.
    {
        std::ofstream(socket_path) << "";
        const SpreadsheetConnection connection = connect_to_running_calc(pipe);
        EXPECT_EQ(connection.status, SpreadsheetConnection::Status::refused);
        EXPECT_EQ(connection.detail, socket_path + " is not a socket, not the office's pipe: nothing is sent to it");
    }
    if (skipped > 0) GTEST_SKIP() << "another user's socket needs root to be made; that case was not run";
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

    struct Case {
        const char* what;
        std::function<std::string()> pipe;  // the pipe name to connect to
        bool cancel_at_once;
        std::string detail;
    };
    const std::string silent_pipe = pipe;
    const Case cases[] = {
        {"a stopped office", [&] { return office.pipe(); }, false, "LibreOffice on the pipe \"" + office.pipe() + "\"" + within},
        {"a socket that takes the connection and never answers", [&] { return silent_pipe; }, false,
         "LibreOffice on the pipe \"" + silent_pipe + "\"" + within},
        {"cancelled while waiting", [&] { return silent_pipe; }, true, "cancelled"},
    };
    FakePipe silent(socket_path, false);
    ASSERT_TRUE(silent.ok());
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
        const SpreadsheetConnection connection = connect_to_running_calc(c.pipe(), o);
        const auto took = Clock::now() - start;
        EXPECT_EQ(connection.status, SpreadsheetConnection::Status::refused);
        EXPECT_EQ(connection.detail, c.detail);
        EXPECT_LT(took, c.cancel_at_once ? milliseconds(1000) : milliseconds(2500));
        EXPECT_GE(took, c.cancel_at_once ? milliseconds(200) : milliseconds(1500));
        EXPECT_GE(progress_calls, 4);
    }
    EXPECT_GE(silent.accepted(), 2);
    ::kill(-office.process_group(), SIGCONT);
}

}  // namespace
}  // namespace tavrolin
