// Where the program's files are, reading them whole (8-bit texts of other systems too), and
// replacing a file in one step.
#include "files/file_places.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <tuple>

#include "support/temp_folder.h"
#include "files/atomic_file.h"
#include "files/file_names.h"
#include "files/text_file.h"

namespace tavrolin {
namespace {

namespace fs = std::filesystem;

class FilePlacesTest : public testing::TempFolderTest {
protected:
    std::map<std::string, std::string> vars;
    Environment env() const {
        return [this](const char* name) -> const char* {
            const auto it = vars.find(name);
            return it == vars.end() ? nullptr : it->second.c_str();
        };
    }
    // An unpacked installation: <dir>/usr/bin and <dir>/usr/share/tavrolin.
    std::string installed_bin() {
        fs::create_directories(dir / "usr/bin");
        fs::create_directories(dir / "usr/share/tavrolin/ephe");
        return (dir / "usr/bin").string();
    }
    static unsigned mode_of(const fs::path& p) { return static_cast<unsigned>(fs::status(p).permissions()); }
};

TEST_F(FilePlacesTest, InstalledProgramUsesTheUsersXdgFolders) {
    const std::string bin = installed_bin();
    const std::string share = path("usr/share/tavrolin");
    struct Case { const char* name; std::map<std::string, std::string> vars; std::string config, help; };
    const Case cases[] = {
        {"XDG folders set", {{"HOME", "/home/ann"}, {"XDG_CONFIG_HOME", "/cfg/"}, {"XDG_DATA_HOME", "/data"}},
         "/cfg/tavrolin", "/data/tavrolin/help.txt"},
        {"not set: below HOME", {{"HOME", "/home/ann"}}, "/home/ann/.config/tavrolin",
         "/home/ann/.local/share/tavrolin/help.txt"},
        {"empty or relative values are ignored",
         {{"HOME", "/home/ann"}, {"XDG_CONFIG_HOME", ""}, {"XDG_DATA_HOME", "data"}},
         "/home/ann/.config/tavrolin", "/home/ann/.local/share/tavrolin/help.txt"},
    };
    for (const auto& c : cases) {
        vars = c.vars;
        const FilePlaces p = find_file_places(bin + "/", env());
        EXPECT_EQ(std::tie(p.layout, p.program_folder, p.config_folder, p.user_help_file, p.shipped_help_file,
                           p.dialog_folder, p.ephemeris_path, p.calc_module),
                  std::tuple(Layout::installed, bin, c.config, c.help, share + "/help.txt", "/home/ann",
                             share + "/ephe:/usr/share/libswe/ephe", path("usr/" TAVROLIN_MODULE_DIR "/" TAVROLIN_CALC_MODULE)))
            << c.name;
    }
    // Without a usable HOME the password database names the home folder.
    vars = {{"HOME", "relative"}};
    const FilePlaces places = find_file_places(bin, env());
    EXPECT_EQ(places.dialog_folder.front(), '/');
    EXPECT_EQ(places.config_folder, (places.dialog_folder == "/" ? "" : places.dialog_folder) + "/.config/tavrolin");
}

// Each case lacks just one sign of an installation.
TEST_F(FilePlacesTest, EverythingBesideAPortableProgram) {
    vars = {{"HOME", "/home/ann"}, {"XDG_CONFIG_HOME", "/cfg"}};
    const std::string bin = installed_bin();
    fs::create_directories(dir / "usr/bin/ephe");
    fs::create_directories(dir / "usr/sbin");
    const std::pair<const char*, std::string> cases[] = {
        {"ephe/ beside the program wins over share/", bin},
        {"not in a bin/ folder", path("usr/sbin")},
        {"bin/ without share/tavrolin", path("nothing/bin")},
    };
    for (const auto& [name, folder] : cases) {
        const FilePlaces p = find_file_places(folder, env());
        EXPECT_EQ(std::tie(p.layout, p.config_folder, p.dialog_folder, p.ephemeris_path),
                  std::tuple(Layout::portable, folder, folder, folder + ":" + folder + "/ephe:/usr/share/libswe/ephe"))
            << name;
    }
}

TEST_F(FilePlacesTest, InstalledFoldersAreCreatedPrivateWhenFirstNeeded) {
    vars = {{"HOME", dir.string()}};
    const FilePlaces installed = find_file_places(installed_bin(), env());
    fs::create_directories(dir / "shared");
    fs::permissions(dir / "shared", fs::perms(0755));
    std::string error;
    ASSERT_TRUE(prepare_folder(installed, path("shared/a/b"), &error)) << error;
    // An existing folder is left as it is.
    EXPECT_EQ(std::tuple(mode_of(dir / "shared"), mode_of(dir / "shared/a"), mode_of(dir / "shared/a/b")),
              std::tuple(0755u, 0700u, 0700u));
    EXPECT_TRUE(prepare_folder(installed, path("shared/a/b"), &error));

    std::ofstream(dir / "plain") << "x";
    EXPECT_FALSE(prepare_folder(installed, path("plain/tavrolin"), &error));
    EXPECT_EQ(error, "Could not create the folder " + path("plain/tavrolin") + ": Not a directory");

    // A portable copy writes beside itself and creates nothing.
    EXPECT_TRUE(prepare_folder(portable_places(path("build")), path("build/sub"), &error));
    EXPECT_FALSE(fs::exists(dir / "build"));
}

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
}

}  // namespace
}  // namespace tavrolin
