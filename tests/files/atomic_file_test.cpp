// Replacing a file in one step: what is replaced (the file behind links), what is refused, the
// permissions of the result, and that nothing is left beside it, not even when a signal ends the
// program during the write.
#include "files/atomic_file.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/temp_folder.h"

namespace tavrolin {
namespace {

namespace fs = std::filesystem;
using testing::read_file;

class AtomicWrites : public testing::TempFolderTest {
protected:
    // A file "old" of `mode`, and a link to it when `link` is given.
    void make(const std::string& name, mode_t mode, const char* link = nullptr) {
        std::ofstream(dir / name, std::ios::binary) << "old";
        ASSERT_EQ(::chmod(path(name).c_str(), mode), 0) << name;
        if (link != nullptr) fs::create_symlink(name, dir / link);
    }
    // Every name in the folder and its subfolders; links are not followed.
    std::set<std::string> entries(const fs::path& folder = {}) const {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(dir / folder)) {
            const fs::path name = folder / e.path().filename();
            names.insert(name.string());
            if (fs::is_directory(e.symlink_status())) names.merge(entries(name));
        }
        return names;
    }
    std::set<std::string> links() const {
        std::set<std::string> names;
        for (const std::string& name : entries())
            if (fs::is_symlink(dir / name)) names.insert(name);
        return names;
    }
};

// Ends a child process, which was writing `target`, with `signal` halfway through the write; the
// status the child ended with.
int end_write_with_signal(const std::string& target, int signal) {
    int ready[2];
    if (::pipe(ready) != 0) return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        // As a program started from a terminal would find them, whatever the test runner did.
        for (int s : {SIGINT, SIGTERM, SIGHUP}) ::signal(s, SIG_DFL);
        install_temp_file_cleanup();
        AtomicFile file(target);
        if (!file.open()) ::_exit(2);
        const std::string block(1 << 20, 'x');
        for (int i = 0; i < 3; ++i) file.write(block);  // past the buffer: on disk now
        (void)::write(ready[1], "r", 1);
        for (;;) ::pause();
    }
    ::close(ready[1]);
    char byte = 0;
    const bool started = ::read(ready[0], &byte, 1) == 1;
    ::close(ready[0]);
    if (started) ::kill(child, signal);
    else ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    return started ? status : -1;
}

TEST_F(AtomicWrites, TheFileBehindLinksIsReplacedWithItsOwnPermissionsOrRefusedAndNothingIsLeft) {
    const mode_t old_umask = ::umask(077);
    const std::string long_name(255, 'n');
    struct Case {
        const char* what;
        std::function<void()> setup;
        std::string written;   // the path given to the writer
        std::string error;     // expected error; empty when the write succeeds
        std::string holder;    // the file that holds the content afterwards (or keeps the old one)
        mode_t mode;           // its permission bits afterwards
        int signal = 0;        // ends the writing process halfway
    };
    const Case cases[] = {
        {"a chain of links, relative and absolute",
         [&] {
             fs::create_directory(dir / "dots");
             make("dots/Tavrolin.ini", 0640, "middle");
             fs::create_symlink(dir / "middle", dir / "Tavrolin.ini");
         },
         "Tavrolin.ini", "", "dots/Tavrolin.ini", 0640},
        {"a link to a file not there yet", [&] { fs::create_symlink("new.ics", dir / "link.ics"); }, "link.ics", "",
         "new.ics", 0600},
        {"a new file under the umask", [] {}, "new.csv", "", "new.csv", 0600},
        {"a read-only file", [&] { make("ro.csv", 0444); }, "ro.csv", path("ro.csv") + " is read-only", "ro.csv", 0444},
        {"a link to a read-only file", [&] { make("ro.csv", 0444, "link.csv"); }, "link.csv",
         path("link.csv") + " is read-only", "ro.csv", 0444},
        // The mode of the file replaced is kept, not given to a new file in place of the link.
        {"a link to a file everyone may write", [&] { make("open.csv", 0666, "link.csv"); }, "link.csv", "", "open.csv",
         0666},
        {"a set-id file", [&] { make("setid", 06755); }, "setid", "", "setid", 0755},
        {"a sticky file behind a link", [&] { make("sticky", 01644, "link"); }, "link", "", "sticky", 0644},
        {"a name of 255 bytes", [] {}, long_name, "", long_name, 0600},
        {"a loop of links",
         [&] {
             fs::create_symlink("b", dir / "a");
             fs::create_symlink("a", dir / "b");
         },
         "a", "Could not write " + path("a") + " (links): Too many levels of symbolic links", "", 0},
        {"a pipe", [&] { ::mkfifo(path("fifo").c_str(), 0600); }, "fifo",
         "Could not write " + path("fifo") + ": not a regular file", "fifo", 0600},
        {"SIGTERM during the write", [&] { make("big.ics", 0644); }, "big.ics", "", "big.ics", 0644, SIGTERM},
        {"SIGINT during the write", [] {}, "big.ics", "", "", 0, SIGINT},
        {"SIGHUP during a write through a link", [&] { make("big.ics", 0644, "link.ics"); }, "link.ics", "", "big.ics",
         0644, SIGHUP},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dir);
        fs::create_directories(dir);
        c.setup();
        const std::set<std::string> before = entries(), links_before = links();
        const bool regular = !c.holder.empty() && fs::is_regular_file(dir / c.holder);
        const std::string old_content = regular ? read_file(dir / c.holder) : "";
        std::string error;
        if (c.signal != 0) {
            const int status = end_write_with_signal(path(c.written), c.signal);
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << "status " << status;
            EXPECT_EQ(entries(), before) << "a temporary file was left";
        } else if (c.error.empty()) {
            if (!write_file_atomically(path(c.written), "new\r\n", &error)) {
                ADD_FAILURE() << error;
                continue;
            }
            EXPECT_EQ(read_file(dir / c.holder), "new\r\n");
            std::set<std::string> expected = before;
            expected.insert(c.holder);
            EXPECT_EQ(entries(), expected) << "a temporary file was left";
        } else {
            EXPECT_FALSE(write_file_atomically(path(c.written), "new\r\n", &error));
            EXPECT_EQ(error, c.error);
            EXPECT_EQ(entries(), before);
        }
        if (!c.holder.empty() && fs::exists(dir / c.holder)) {
            if (regular && (!c.error.empty() || c.signal != 0)) {
                EXPECT_EQ(read_file(dir / c.holder), old_content);
            }
            EXPECT_EQ(fs::status(dir / c.holder).permissions(), fs::perms(c.mode)) << std::oct << c.mode;
        }
        EXPECT_EQ(links(), links_before) << "a link was replaced";
    }
    ::umask(old_umask);
}

}  // namespace
}  // namespace tavrolin
