#include "window/files/natal_data_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "window/files/settings_file.h"

namespace tavrolin {
namespace {

namespace fs = std::filesystem;

class NatalDataFile : public ::testing::Test {
protected:
    fs::path dir;

    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("tavrolin_natal_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string write(const std::string& name, const std::string& content) {
        const auto path = (dir / name).string();
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    static std::string read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
};

ControlValues with_natal(const std::string& date, const std::string& time, const std::string& tz) {
    ControlValues cv;
    cv.natal_date = date;
    cv.natal_time = time;
    cv.tz = tz;
    return cv;
}

TEST_F(NatalDataFile, SavedTextsComeBackExactly) {
    // Texts that are not dates or numbers are stored and restored as they stand.
    const ControlValues saved = with_natal("31/02/19x9 kept", "ab.c", "");
    const std::string path = (dir / "person.dat").string();
    std::string error;
    ASSERT_TRUE(save_natal_data_file(path, saved, &error)) << error;
    EXPECT_EQ(read(path), "31/02/19x9 kept\r\nab.c\r\n\r\n");

    ControlValues loaded = with_natal("01/01/2000", "12.00", "5");
    loaded.start_date = "06/06/2006";
    ASSERT_TRUE(load_natal_data_file(path, loaded, &error)) << error;
    EXPECT_EQ(loaded.natal_date, saved.natal_date);
    EXPECT_EQ(loaded.natal_time, saved.natal_time);
    EXPECT_EQ(loaded.tz, saved.tz);
    EXPECT_EQ(loaded.start_date, "06/06/2006");  // nothing else is touched
}

TEST_F(NatalDataFile, FilesOfOtherSystemsLoadUnchanged) {
    struct Case {
        const char* name;
        std::string content;
        std::string date, time, tz;
    };
    const Case cases[] = {
        {"crlf with a fourth line", "22/09/1949\r\n16.43\r\n-5.5\r\nnotes about the chart\r\n", "22/09/1949", "16.43",
         "-5.5"},
        {"lf, last line without an end", "1949/09/22\n7\n0", "1949/09/22", "7", "0"},
        {"empty lines empty the boxes", "\r\n\r\n\r\n", "", "", ""},
        {"cut to the boxes' lengths", "09/22/1949 at noon\n16.4321\n1234567\n", "09/22/1949 at noon", "16.43",
         "123456"},
        {"latin-1 text", "22\xE9" "09/1949\n16.43\n8\n", "22\xC3\xA9" "09/1949", "16.43", "8"},
    };
    for (const Case& c : cases) {
        ControlValues cv = with_natal("x", "y", "z");
        std::string error;
        ASSERT_TRUE(load_natal_data_file(write("f.dat", c.content), cv, &error)) << c.name << ": " << error;
        EXPECT_EQ(cv.natal_date, c.date) << c.name;
        EXPECT_EQ(cv.natal_time, c.time) << c.name;
        EXPECT_EQ(cv.tz, c.tz) << c.name;
    }
}

TEST_F(NatalDataFile, ShortOrUnreadableFileChangesNothing) {
    struct Case {
        std::string path;
        std::string expected_in_error;
    };
    const Case cases[] = {
        {write("two.dat", "01/01/1960\r\n12.00\r\n"), "has 2 lines; a natal data file has 3"},
        {write("one.dat", "01/01/1960"), "has 1 line;"},
        {write("empty.dat", ""), "has 0 lines"},
        {(dir / "missing.dat").string(), "cannot be read"},
        {dir.string(), "cannot be read"},
    };
    for (const Case& c : cases) {
        ControlValues cv = with_natal("09/22/1949", "16.43", "8");
        std::string error;
        EXPECT_FALSE(load_natal_data_file(c.path, cv, &error)) << c.path;
        EXPECT_NE(error.find(c.path), std::string::npos) << error;
        EXPECT_NE(error.find(c.expected_in_error), std::string::npos) << error;
        EXPECT_EQ(natal_data_file_text(cv), "09/22/1949\r\n16.43\r\n8\r\n") << c.path;
    }
}

TEST_F(NatalDataFile, SettingsFileLinesFourToSixAreANatalDataFile) {
    ControlValues cv = with_natal("15/03/1971", "03.05", "-2");
    const auto lines = split_lines(settings_file_text(cv));
    const std::string path = write("from_settings.dat", lines[3] + "\r\n" + lines[4] + "\r\n" + lines[5] + "\r\n");
    EXPECT_EQ(read(path), natal_data_file_text(cv));
    ControlValues loaded;
    ASSERT_TRUE(load_natal_data_file(path, loaded));
    EXPECT_EQ(natal_data_file_text(loaded), natal_data_file_text(cv));
}

TEST_F(NatalDataFile, FailedSaveKeepsTheOldFileAndSaysWhy) {
    const std::string path = write("kept.dat", "old\r\nfile\r\n1\r\n");
    // A path whose parent is a regular file cannot be written, even by root.
    const std::string impossible = path + "/inside.dat";
    std::string error;
    EXPECT_FALSE(save_natal_data_file(impossible, with_natal("a", "b", "c"), &error));
    EXPECT_NE(error.find(impossible), std::string::npos) << error;
    EXPECT_NE(error.find("Not a directory"), std::string::npos) << error;
    EXPECT_EQ(read(path), "old\r\nfile\r\n1\r\n");
    EXPECT_FALSE(save_natal_data_file("", with_natal("a", "b", "c"), &error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace tavrolin
