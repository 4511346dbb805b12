#include "window/files/settings_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tavrolin {
namespace {

namespace fs = std::filesystem;

class SettingsFile : public ::testing::Test {
protected:
    fs::path dir;

    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("tavrolin_settings_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
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

ControlValues initial_state() {
    ControlValues cv;
    cv.natal_date = "09/22/1949";
    return cv;
}

std::string join_crlf(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& l : lines) text += l + "\r\n";
    return text;
}

// The initial state's lines with some of them (1-based) replaced.
std::vector<std::string> lines_with(std::initializer_list<std::pair<int, std::string>> changes) {
    auto lines = split_lines(settings_file_text(initial_state()));
    for (const auto& [n, text] : changes) lines[static_cast<std::size_t>(n - 1)] = text;
    return lines;
}

TEST_F(SettingsFile, InitialStateLines) {
    ControlValues cv = initial_state();
    const std::string text = settings_file_text(cv);
    const auto lines = split_lines(text);
    ASSERT_EQ(lines.size(), 81u);
    EXPECT_EQ(join_crlf(lines), text);  // every line, the last included, ends with CRLF
    struct Case {
        int line;
        const char* text;
    };
    for (const Case& c : {Case{1, "12/01/2005"}, Case{2, "12/31/2005"}, Case{3, "179.331227"},
                          Case{4, "09/22/1949"}, Case{5, "16.43"}, Case{6, "8"}, Case{7, "1 - 000"},
                          Case{8, "0 - 030"}, Case{22, "0 - 51.7"}, Case{23, "1 - par"}, Case{24, "1 - c.p"},
                          Case{25, "0 - Sun"}, Case{30, "1 - Jupiter"}, Case{47, "0 - Sedna"},
                          Case{48, "0 - Sun"}, Case{63, "1 - Chiron"}, Case{71, "0 - Helio"},
                          Case{72, "0 - Helio"}, Case{73, "0 - Helio"}, Case{74, "1 - Use ET"},
                          Case{75, "1 - Sort Output"}, Case{76, "1 - Apparent pos.?"},
                          Case{77, "0 - Ignore duplicates"}, Case{78, "True - Transit to natal planets"},
                          Case{79, "False - Transit to transit planets"},
                          Case{80, "False - Progressed to natal planets"},
                          Case{81, "False - Solar arc to natal planets"}}) {
        EXPECT_EQ(lines[static_cast<std::size_t>(c.line - 1)], c.text) << "line " << c.line;
    }
    cv.user_defined_angle = "33.25";
    EXPECT_EQ(split_lines(settings_file_text(cv))[21], "0 - 33.25");
}

TEST_F(SettingsFile, InitialStateSavedAndLoadedBackChangesNothing) {
    const std::string path = (dir / "initial.opt").string();
    std::string error;
    ASSERT_TRUE(save_settings_file(path, initial_state(), &error)) << error;
    EXPECT_EQ(read(path), settings_file_text(initial_state()));

    ControlValues cv = initial_state();
    ASSERT_TRUE(load_settings_file(path, cv, &error)) << error;
    EXPECT_EQ(settings_file_text(cv), settings_file_text(initial_state()));
    EXPECT_EQ(cv.mode, 0);
    EXPECT_EQ(cv.ignore_dups, 0);
}

TEST_F(SettingsFile, RoundTripOfAChangedWindow) {
    ControlValues saved = initial_state();
    saved.start_date = "01/01/2010";
    saved.end_date = "";
    saved.zodiac_degree = "abc";
    saved.tz = "-10.5";
    saved.aspects.fill(0);
    saved.aspects[15] = 1;
    saved.p1_planets.fill(1);
    saved.p2_planets.fill(0);
    saved.p2_planets[22] = 1;
    for (int* tick : {&saved.helio, &saved.p1_helio, &saved.p2_helio}) *tick = 1;
    for (int* tick : {&saved.use_et, &saved.sort_output, &saved.apparent_pos}) *tick = 0;
    saved.mode = 3;
    const std::string path = (dir / "changed.opt").string();
    ASSERT_TRUE(save_settings_file(path, saved));

    ControlValues loaded;  // not stored in the file: these stay as they are
    loaded.user_defined_angle = "12";
    loaded.years_back = "5";
    loaded.date_only = 0;
    ASSERT_TRUE(load_settings_file(path, loaded));
    loaded.user_defined_angle = saved.user_defined_angle;  // written into line 22, never read back
    EXPECT_EQ(settings_file_text(loaded), settings_file_text(saved));
    EXPECT_EQ(loaded.years_back, "5");
    EXPECT_EQ(loaded.date_only, 0);
}

TEST_F(SettingsFile, TickLineTicksOnlyWhenItBeginsWithOne) {
    struct Case {
        std::string line;
        int tick;
    };
    for (const Case& c : {Case{"1", 1}, Case{"1 - Sun", 1}, Case{"10", 1}, Case{"1x", 1}, Case{" 1 - Sun", 0},
                          Case{"0 - Sun", 0}, Case{"2 - Sun", 0}, Case{"", 0}, Case{"-1", 0}, Case{"True", 0}}) {
        ControlValues cv = initial_state();
        cv.p1_planets[0] = 1 - c.tick;
        cv.aspects[1] = 1 - c.tick;
        cv.sort_output = 1 - c.tick;
        ASSERT_TRUE(apply_settings_lines(lines_with({{25, c.line}, {8, c.line}, {75, c.line}}), cv));
        EXPECT_EQ(cv.p1_planets[0], c.tick) << '"' << c.line << '"';
        EXPECT_EQ(cv.aspects[1], c.tick) << '"' << c.line << '"';
        EXPECT_EQ(cv.sort_output, c.tick) << '"' << c.line << '"';
    }
}

TEST_F(SettingsFile, OptionLinesSelectTheMode) {
    struct Case {
        int mode_before;
        std::string line77;
        std::vector<std::string> options;  // lines 78..81
        int mode;
        int ignore_dups;
    };
    const std::vector<Case> cases = {
        // Mode 1 newly selected ticks "Ignore duplicates" though line 77 clears it.
        {0, "0", {"True", "True - x", "False", "False"}, 1, 1},
        {0, "0", {"False", "True", "False", "False"}, 1, 1},
        // Another mode newly selected clears it though line 77 ticks it.
        {1, "1", {"False", "False", "True", "False"}, 2, 0},
        {-1, "1", {"True", "False", "False", "False"}, 0, 0},
        // The selected button selected again: line 77 decides.
        {0, "1", {"True", "False", "False", "False"}, 0, 1},
        {1, "0", {"False", "True", "False", "False"}, 1, 0},
        // False on the selected button, and no later selection: none selected.
        {0, "1", {"False", "False", "False", "False"}, -1, 1},
        // The truth word is case-sensitive and must start the line.
        {2, "0", {"true", "TRUE", " True", "Tru"}, -1, 0},
        {2, "0", {"False", "False", "True", "Truely"}, 3, 0},
    };
    for (const auto& c : cases) {
        ControlValues cv = initial_state();
        cv.mode = c.mode_before;
        ASSERT_TRUE(apply_settings_lines(lines_with({{77, c.line77},
                                                     {78, c.options[0]},
                                                     {79, c.options[1]},
                                                     {80, c.options[2]},
                                                     {81, c.options[3]}}),
                                         cv));
        EXPECT_EQ(cv.mode, c.mode) << c.mode_before << " " << c.line77 << " " << c.options[0] << c.options[1];
        EXPECT_EQ(cv.ignore_dups, c.ignore_dups) << c.mode_before << " " << c.line77 << " " << c.options[0];
    }
}

TEST_F(SettingsFile, BoxTextsAreCutToTheBoxesLengths) {
    ControlValues cv = initial_state();
    ASSERT_TRUE(apply_settings_lines(lines_with({{1, "12/01/2005 and more"},
                                                 {2, ""},
                                                 {3, "179.3312271234"},
                                                 {4, "09/22/1949 natal date without a limit"},
                                                 {5, "16.435"},
                                                 {6, "1234567"}}),
                                     cv));
    EXPECT_EQ(cv.start_date, "12/01/2005 a");
    EXPECT_EQ(cv.end_date, "");
    EXPECT_EQ(cv.zodiac_degree, "179.33122712");
    EXPECT_EQ(cv.natal_date, "09/22/1949 natal date without a limit");
    EXPECT_EQ(cv.natal_time, "16.43");
    EXPECT_EQ(cv.tz, "123456");
}

TEST_F(SettingsFile, FavouriteScopeKeepsRangeAndDegree) {
    ControlValues cv = initial_state();
    ASSERT_TRUE(apply_settings_lines(lines_with({{1, "01/01/2001"}, {2, "01/02/2001"}, {3, "1"}, {4, "01/01/1960"}}),
                                     cv, SettingsScope::KeepRangeAndDegree));
    EXPECT_EQ(cv.start_date, "12/01/2005");
    EXPECT_EQ(cv.end_date, "12/31/2005");
    EXPECT_EQ(cv.zodiac_degree, "179.331227");
    EXPECT_EQ(cv.natal_date, "01/01/1960");
}

TEST_F(SettingsFile, LineEndsMayBeCrlfOrLf) {
    auto lines = lines_with({{1, "01/01/2001"}, {31, "0 - Saturn"}, {81, "True"}});
    std::string lf;
    for (const auto& l : lines) lf += l + "\n";
    lf.pop_back();  // the last line may lack its end
    ControlValues cv = initial_state();
    ASSERT_TRUE(load_settings_file(write("lf.opt", lf), cv));
    EXPECT_EQ(cv.start_date, "01/01/2001");
    EXPECT_EQ(cv.p1_planets[6], 0);
    EXPECT_EQ(cv.mode, 3);
    EXPECT_EQ(split_lines("a\r\n\r\nb\rc\n"), (std::vector<std::string>{"a", "", "b\rc"}));
}

TEST_F(SettingsFile, UnreadableOrShortFileChangesNothing) {
    // 80 lines whose applied part would change the start date and the mode.
    auto lines = lines_with({{1, "01/01/2001"}, {78, "False"}, {79, "True"}});
    lines.pop_back();
    const std::string short_text = join_crlf(lines);
    struct Case {
        std::string path;
        std::string expected_in_error;
    };
    const std::vector<Case> cases = {
        {write("short.opt", short_text), "has 80 lines; a settings file has 81"},
        {write("empty.opt", ""), "has 0 lines"},
        {(dir / "missing.opt").string(), "cannot be read"},
        {dir.string(), "cannot be read"},
    };
    for (const auto& c : cases) {
        ControlValues cv = initial_state();
        std::string error;
        EXPECT_FALSE(load_settings_file(c.path, cv, &error));
        EXPECT_NE(error.find(c.path), std::string::npos) << error;
        EXPECT_NE(error.find(c.expected_in_error), std::string::npos) << error;
        EXPECT_EQ(settings_file_text(cv), settings_file_text(initial_state())) << c.path;
    }
    ControlValues cv = initial_state();
    EXPECT_FALSE(apply_settings_lines(std::vector<std::string>(80, "1"), cv));
    EXPECT_EQ(settings_file_text(cv), settings_file_text(initial_state()));
}

TEST_F(SettingsFile, FailedSaveNamesThePathAndKeepsTheOldFile) {
    std::string error;
    const std::string nowhere = (dir / "no such folder" / "x.opt").string();
    EXPECT_FALSE(save_settings_file(nowhere, initial_state(), &error));
    EXPECT_NE(error.find(nowhere), std::string::npos) << error;

    EXPECT_FALSE(save_settings_file("", initial_state(), &error));
    EXPECT_FALSE(error.empty());

    // A folder in the way of the file: the save fails and the folder stays.
    const std::string blocked = (dir / "blocked.opt").string();
    fs::create_directories(fs::path(blocked) / "inside");
    EXPECT_FALSE(save_settings_file(blocked, initial_state(), &error));
    EXPECT_NE(error.find(blocked), std::string::npos) << error;
    EXPECT_TRUE(fs::is_directory(fs::path(blocked) / "inside"));
    // Nothing is left behind beside it.
    int entries = 0;
    for (const auto& e : fs::directory_iterator(dir)) entries += e.path().filename() != "no such folder" ? 1 : 0;
    EXPECT_EQ(entries, 1);
}

}  // namespace
}  // namespace tavrolin
