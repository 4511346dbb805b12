#include "window/files/file_places.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <tuple>

#include "support/temp_folder.h"

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

TEST_F(FilePlacesTest, EverythingBesideAPortableProgram) {
    vars = {{"HOME", "/home/ann"}, {"XDG_CONFIG_HOME", "/cfg"}};
    const std::string bin = installed_bin();
    fs::create_directories(dir / "build/bin/ephe");
    fs::create_directories(dir / "usr/bin/ephe");
    fs::create_directories(dir / "usr/lib/tavrolin");  // below a prefix, but not in <prefix>/bin
    const std::pair<const char*, std::string> cases[] = {
        {"build folder", path("build/bin")},
        {"ephe/ beside the program wins over share/", bin},
        {"not in a bin/ folder", path("usr/lib/tavrolin")},
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

}  // namespace
}  // namespace tavrolin
