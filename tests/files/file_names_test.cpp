#include "window/files/file_names.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>

#include "window/files/text_file.h"

namespace tavrolin {
namespace {

namespace fs = std::filesystem;

TEST(FileNames, ParseFilenameOnlySplitsAtTheLastSlash) {
    struct Case {
        std::string path, name, folder;  // last_folder afterwards; "old" before
    };
    for (const Case& c : {Case{"/home/astro/charts/a.opt", "a.opt", "/home/astro/charts"},
                          Case{"/home/astro/charts/", "", "/home/astro/charts"}, Case{"/a.opt", "a.opt", "/"},
                          Case{"relative/b.dat", "b.dat", "relative"}, Case{"no folder.opt", "no folder.opt", "old"},
                          Case{"", "", "old"}}) {
        std::string last_folder = "old";
        EXPECT_EQ(ParseFilenameOnly(c.path, last_folder), c.name) << c.path;
        EXPECT_EQ(last_folder, c.folder) << c.path;
    }
}

TEST(FileNames, FileExistsOnlyForAReadableFile) {
    const fs::path dir = fs::temp_directory_path() / "tavrolin_file_exists";
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::ofstream(dir / "there.opt") << "x";
    ::mkfifo((dir / "pipe").c_str(), 0600);
    const std::pair<fs::path, bool> cases[] = {
        {dir / "there.opt", true}, {dir / "pipe", true},  // opened without waiting for a writer
        {dir / "missing.opt", false}, {dir, false}, {"", false}, {dir / "there.opt" / "below", false}};
    for (const auto& [path, exists] : cases) EXPECT_EQ(FileExists(path.string()), exists) << path;
    // Loading the pipe is refused at once rather than waiting for a writer.
    std::string error;
    EXPECT_FALSE(read_whole_file((dir / "pipe").string(), 100, "a test file", &error));
    EXPECT_EQ(error, (dir / "pipe").string() + ": cannot be read: not a regular file");
    fs::remove_all(dir);
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

}  // namespace
}  // namespace tavrolin
