// Reading whole files, 8-bit texts of other systems, and replacing a file in one step.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>

#include "support/temp_folder.h"
#include "window/files/atomic_file.h"
#include "window/files/file_names.h"
#include "window/files/text_file.h"

namespace tavrolin {
namespace {

namespace fs = std::filesystem;

class TextFiles : public testing::TempFolderTest {};
using testing::read_file;

TEST_F(TextFiles, OnlyRegularFilesWithinTheLimitAreRead) {
    std::ofstream(path("small")) << "12345";
    std::ofstream(path("large")) << "123456";
    ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
    struct Case { std::string path; bool exists; std::string read; };  // read: the content, or the error
    const Case cases[] = {
        {path("small"), true, "12345"},
        {path("large"), true, path("large") + ": is too large to be a test file"},
        // A pipe chosen by mistake is refused at once instead of waiting for a writer.
        {path("pipe"), true, path("pipe") + ": cannot be read: not a regular file"},
        {path("missing"), false, path("missing") + ": cannot be read: No such file or directory"},
        {dir.string(), false, dir.string() + ": cannot be read: Is a directory"},
        {path("small/below"), false, path("small/below") + ": cannot be read: Not a directory"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FileExists(c.path), c.exists) << c.path;
        std::string error;
        const auto text = read_whole_file(c.path, 5, "a test file", &error);
        EXPECT_EQ(text.value_or(error), c.read);
    }
}

TEST(TextFile, EightBitTextsOfOtherSystemsBecomeUtf8) {
    const std::pair<std::string, std::string> cases[] = {
        {"\xC3\xA9t\xC3\xA9 \xE2\x99\x83", "\xC3\xA9t\xC3\xA9 \xE2\x99\x83"},  // UTF-8 stays
        {"\xE9t\xE9", "\xC3\xA9t\xC3\xA9"},                                  // Latin-1 "été"
        {"\xC3", "\xC3\x83"},                                                // cut-off sequence
        {"\xC0\xAF", "\xC3\x80\xC2\xAF"},                                    // overlong form
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80"},                        // surrogate
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(utf8_from_8bit(in), out) << in;
}

TEST_F(TextFiles, FailedReplacementKeepsTheOldFileAndLeavesNothingBehind) {
    const std::string file = path("kept.txt");
    std::ofstream(file, std::ios::binary) << "old content";
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    // A file-size limit makes the write fail after some bytes, also for root.
    rlimit old_limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old_limit), 0);
    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old_limit;
    small.rlim_cur = 40;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string error;
    EXPECT_FALSE(write_file_atomically(file, std::string(100, 'n'), &error));
    ::setrlimit(RLIMIT_FSIZE, &old_limit);
    std::signal(SIGXFSZ, old_handler);
    EXPECT_EQ(error.rfind("Could not write " + file + " (write): ", 0), 0u) << error;
    EXPECT_EQ(read_file(file), "old content");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

    // Replaced, the file keeps its permissions.
    ASSERT_TRUE(write_file_atomically(file, "new\r\n", &error)) << error;
    EXPECT_EQ(read_file(file), "new\r\n");
    EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

}  // namespace
}  // namespace tavrolin
