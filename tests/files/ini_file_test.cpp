#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "window/files/ini_file.h"

namespace {

namespace fs = std::filesystem;
using tavrolin::ControlValues;

class IniFile : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("tavrolin-ini-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override {
        fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(folder_);
    }

    fs::path ini() const { return folder_ / "Tavrolin.ini"; }
    void write(const std::string& content) const { std::ofstream(ini(), std::ios::binary) << content; }
    std::string read() const {
        std::ifstream in(ini(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    ControlValues load(const std::string& content, int date_order = 0) const {
        write(content);
        ControlValues cv;
        cv.date_order = date_order;
        EXPECT_TRUE(tavrolin::LoadINIFile(folder_.string(), cv));
        return cv;
    }

    fs::path folder_;
};

TEST_F(IniFile, WritesSevenCrlfLinesAndReadsThemBack) {
    ControlValues cv;
    cv.start_date = "01/15/2010";
    cv.end_date = "02/15/2010";
    cv.natal_date = "07/04/1976";
    cv.natal_time = "-3.5";
    cv.zodiac_degree = "0.5";
    cv.tz = "-10";
    ASSERT_TRUE(tavrolin::SaveINIFile(folder_.string(), cv));
    EXPECT_EQ(read(),
              "[Tavrolin] - Do NOT change the order of these variables.\r\n"
              "start_date=01/15/2010\r\n"
              "end_date=02/15/2010\r\n"
              "natal_date=07/04/1976\r\n"
              "natal_time=-3.5\r\n"
              "zodiac_degree=0.5\r\n"
              "time_zone=-10\r\n");

    ControlValues back;
    ASSERT_TRUE(tavrolin::LoadINIFile(folder_.string(), back));
    EXPECT_EQ(back.start_date, cv.start_date);
    EXPECT_EQ(back.end_date, cv.end_date);
    EXPECT_EQ(back.natal_date, cv.natal_date);
    EXPECT_EQ(back.natal_time, cv.natal_time);
    EXPECT_EQ(back.zodiac_degree, cv.zodiac_degree);
    EXPECT_EQ(back.tz, cv.tz);
}

TEST_F(IniFile, MissingFileLeavesTheDefaults) {
    const struct {
        int date_order;
        const char* natal_date;
    } cases[] = {{0, "09/22/1949"}, {1, "22/09/1949"}, {2, "1949/09/22"}, {3, ""}, {-1, ""}};
    for (const auto& c : cases) {
        ControlValues cv;
        cv.date_order = c.date_order;
        cv.natal_time = cv.zodiac_degree = cv.tz = "x";
        EXPECT_FALSE(tavrolin::LoadINIFile(folder_.string(), cv));
        EXPECT_EQ(cv.natal_date, c.natal_date) << c.date_order;
        EXPECT_EQ(cv.natal_time, "16.43");
        EXPECT_EQ(cv.zodiac_degree, "179.331227");
        EXPECT_EQ(cv.tz, "8");
        EXPECT_EQ(cv.start_date, "12/01/2005");
        EXPECT_EQ(cv.end_date, "12/31/2005");
    }
}

TEST_F(IniFile, KeyMatchingRules) {
    struct Case {
        const char* name;
        std::string content;
        std::string ControlValues::*field;
        std::string expected;
    };
    const Case cases[] = {
        {"empty value keeps the default", "natal_date=\r\n", &ControlValues::natal_date, "09/22/1949"},
        {"second start date overrides", "start_date=01/01/2001\r\nstart_date=02/02/2002\r\n",
         &ControlValues::start_date, "02/02/2002"},
        {"empty second start date does not", "start_date=01/01/2001\r\nstart_date=\r\n", &ControlValues::start_date,
         "01/01/2001"},
        {"line without = gives the whole line", "natal_date 22/09/1949\r\n", &ControlValues::natal_date,
         "natal_date 22/09/1949"},
        {"start date line with a leading blank", " start_date=01/01/2001\r\n", &ControlValues::start_date,
         "12/01/2005"},
        {"start date needs its =", "start_date 01/01/2001\r\n", &ControlValues::start_date, "12/01/2005"},
        {"end date needs its =", "end_date:01/01/2001\r\n", &ControlValues::end_date, "12/31/2005"},
        {"other keys match without =", "natal_timeX=5.5\r\n", &ControlValues::natal_time, "5.5"},
        {"value is after the first =", "zodiac_degree=1=2\r\n", &ControlValues::zodiac_degree, "1=2"},
        {"blanks after = are kept", "zodiac_degree=  12\r\n", &ControlValues::zodiac_degree, "  12"},
        {"keys are case-sensitive", "Time_zone=5\r\n", &ControlValues::tz, "8"},
        {"time zone cut to six", "time_zone=1234567\r\n", &ControlValues::tz, "123456"},
        {"natal time cut to five", "natal_time=12.3456\r\n", &ControlValues::natal_time, "12.34"},
        {"start date cut to twelve", "start_date=0123456789abcdef\r\n", &ControlValues::start_date, "0123456789ab"},
        {"natal date has no limit", "natal_date=0123456789abcdefghij\r\n", &ControlValues::natal_date,
         "0123456789abcdefghij"},
        {"LF line ends", "time_zone=5\nnatal_time=1.5\n", &ControlValues::natal_time, "1.5"},
        {"no line end at the end", "time_zone=5\r\nend_date=03/03/2003", &ControlValues::end_date, "03/03/2003"},
    };
    for (const auto& c : cases) {
        const ControlValues cv = load(c.content);
        EXPECT_EQ(cv.*c.field, c.expected) << c.name;
    }
}

TEST_F(IniFile, LinesInAnyOrder) {
    const ControlValues cv = load(
        "time_zone=-2\r\nzodiac_degree=33\r\nnatal_time=1.01\r\nnatal_date=1950/01/02\r\nend_date=e\r\n"
        "start_date=s\r\n[Tavrolin] - Do NOT change the order of these variables.\r\n",
        2);
    EXPECT_EQ(cv.tz, "-2");
    EXPECT_EQ(cv.zodiac_degree, "33");
    EXPECT_EQ(cv.natal_time, "1.01");
    EXPECT_EQ(cv.natal_date, "1950/01/02");
    EXPECT_EQ(cv.end_date, "e");
    EXPECT_EQ(cv.start_date, "s");
}

TEST_F(IniFile, RewriteDropsExtraLines) {
    const ControlValues cv = load(
        "# my notes\r\nstart_date=01/01/2001\r\nextra=1\r\n\r\nend_date=02/02/2002\r\ntime_zone=3\r\n");
    ASSERT_TRUE(tavrolin::SaveINIFile(folder_.string(), cv));
    EXPECT_EQ(read(),
              "[Tavrolin] - Do NOT change the order of these variables.\r\n"
              "start_date=01/01/2001\r\n"
              "end_date=02/02/2002\r\n"
              "natal_date=09/22/1949\r\n"
              "natal_time=16.43\r\n"
              "zodiac_degree=179.331227\r\n"
              "time_zone=3\r\n");
}

TEST_F(IniFile, KeepsThePermissionsOfTheFileItReplaces) {
    write("old\r\n");
    fs::permissions(ini(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(tavrolin::SaveINIFile(folder_.string(), ControlValues()));
    EXPECT_EQ(fs::status(ini()).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

// Only the INI file may be in the folder after a save, whatever happened.
std::vector<std::string> folder_entries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    return names;
}

TEST_F(IniFile, FolderThatCannotHoldFilesIsReported) {
    std::ofstream(folder_ / "plain") << "x";
    const std::string bad_folder = (folder_ / "plain" / "sub").string();
    std::string error;
    EXPECT_FALSE(tavrolin::SaveINIFile(bad_folder, ControlValues(), &error));
    EXPECT_NE(error.find(bad_folder + "/Tavrolin.ini"), std::string::npos) << error;
    EXPECT_NE(error.find("Not a directory"), std::string::npos) << error;
}

TEST_F(IniFile, ReadOnlyFolderIsReportedAndOldFileKept) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not stop root";
    write("old content\r\n");
    fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
    std::string error;
    EXPECT_FALSE(tavrolin::SaveINIFile(folder_.string(), ControlValues(), &error));
    EXPECT_NE(error.find(ini().string()), std::string::npos) << error;
    EXPECT_EQ(read(), "old content\r\n");
}

TEST_F(IniFile, WriteFailingHalfwayKeepsTheOldFileWhole) {
    write("old content\r\n");
    // A file-size limit makes the write fail after some bytes, also for root.
    rlimit old_limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old_limit), 0);
    auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old_limit;
    small.rlim_cur = 40;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string error;
    const bool saved = tavrolin::SaveINIFile(folder_.string(), ControlValues(), &error);
    ::setrlimit(RLIMIT_FSIZE, &old_limit);
    std::signal(SIGXFSZ, old_handler);

    EXPECT_FALSE(saved);
    EXPECT_NE(error.find(ini().string()), std::string::npos) << error;
    EXPECT_EQ(read(), "old content\r\n");
    EXPECT_EQ(folder_entries(folder_), std::vector<std::string>{"Tavrolin.ini"});
}

}  // namespace
