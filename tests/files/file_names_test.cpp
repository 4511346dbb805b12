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
        std::string path;
        std::string name;
        std::string folder;  // last_folder afterwards; it was "old" before
    };
    const Case cases[] = {
        {"/home/astro/charts/a.opt", "a.opt", "/home/astro/charts"},
        {"/home/astro/charts/", "", "/home/astro/charts"},
        {"/a.opt", "a.opt", "/"},
        {"relative/b.dat", "b.dat", "relative"},
        {"no folder.opt", "no folder.opt", "old"},
        {"", "", "old"},
        {"/x/with.two.dots.opt", "with.two.dots.opt", "/x"},
    };
    for (const Case& c : cases) {
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
    std::ofstream(dir / "empty.opt");
    ::mkfifo((dir / "pipe").c_str(), 0600);
    struct Case {
        std::string path;
        bool exists;
    };
    const Case cases[] = {
        {(dir / "there.opt").string(), true},
        {(dir / "empty.opt").string(), true},
        {(dir / "pipe").string(), true},  // opened without waiting for a writer
        {(dir / "missing.opt").string(), false},
        {dir.string(), false},
        {"", false},
        {(dir / "there.opt" / "below").string(), false},
    };
    for (const Case& c : cases) EXPECT_EQ(FileExists(c.path), c.exists) << c.path;
    fs::remove_all(dir);
}

TEST(TextFile, EightBitTextsOfOtherSystemsBecomeUtf8) {
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"plain ascii", "plain ascii"},
        {"\xC3\xA9t\xC3\xA9 \xE2\x99\x83", "\xC3\xA9t\xC3\xA9 \xE2\x99\x83"},  // UTF-8 stays
        {"\xE9t\xE9", "\xC3\xA9t\xC3\xA9"},                                  // Latin-1 "été"
        {"16\xB0" "43", "16\xC2\xB0" "43"},                                  // a degree sign
        {"\xC3", "\xC3\x83"},                                                // cut-off sequence
        {"\xC0\xAF", "\xC3\x80\xC2\xAF"},                                    // overlong form
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80"},                        // surrogate
    };
    for (const Case& c : cases) EXPECT_EQ(utf8_from_8bit(c.in), c.out) << c.in;
}

TEST(TextFile, LineEndsBecomeCrlf) {
    EXPECT_EQ(with_crlf_line_ends("a\nb\r\nc\n\nd"), "a\r\nb\r\nc\r\n\r\nd");
    EXPECT_EQ(with_crlf_line_ends("\n"), "\r\n");
    EXPECT_EQ(with_crlf_line_ends("no end"), "no end");
}

TEST(TextFile, ReadWholeFileIsBounded) {
    const fs::path path = fs::temp_directory_path() / "tavrolin_read_whole.txt";
    std::ofstream(path, std::ios::binary) << std::string(20000, 'x');
    std::string error;
    EXPECT_EQ(read_whole_file(path.string(), 20000, "a test file", &error)->size(), 20000u);
    EXPECT_FALSE(read_whole_file(path.string(), 19999, "a test file", &error));
    EXPECT_EQ(error, path.string() + ": is too large to be a test file");
    fs::remove(path);
}

}  // namespace
}  // namespace tavrolin
