// Settings files (*.opt), natal data files (*.dat) and the INI file.
#include "files/settings_file.h"

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "support/control_values.h"
#include "support/temp_folder.h"
#include "files/ini_file.h"
#include "files/natal_data_file.h"

namespace tavrolin {
namespace {

class SettingsFile : public testing::TempFolderTest {
protected:
    std::string write(const std::string& name, const std::string& content) {
        std::ofstream(path(name), std::ios::binary) << content;
        return path(name);
    }
};

using testing::initial_state;

// The initial state's lines with some of them (1-based) replaced.
std::vector<std::string> lines_with(std::initializer_list<std::pair<int, std::string>> changes) {
    auto lines = split_lines(settings_file_text(initial_state()));
    for (const auto& [n, text] : changes) lines[static_cast<std::size_t>(n - 1)] = text;
    return lines;
}

TEST_F(SettingsFile, TickAndOptionLinesSelectTheMode) {
    // The mode before; lines 77 and 78..81; the mode and tick afterwards.
    struct Case { int mode_before; std::string line77; std::vector<std::string> options; int mode, ignore_dups; };
    const std::vector<Case> cases = {
        // Mode 1 newly selected ticks "Ignore duplicates" though line 77 clears it; another clears it.
        {0, "0", {"True", "True - x", "False", "False"}, 1, 1},
        {1, "1", {"False", "False", "True", "False"}, 2, 0},
        // The selected button selected again: line 77 decides, ticked only when it begins with "1".
        {0, "1", {"True", "False", "False", "False"}, 0, 1},
        {0, "10", {"True", "False", "False", "False"}, 0, 1},
        {0, "1 - Ignore duplicates", {"True", "False", "False", "False"}, 0, 1},
        {0, " 1 - Ignore duplicates", {"True", "False", "False", "False"}, 0, 0},
        {0, "2", {"True", "False", "False", "False"}, 0, 0},
        {0, "", {"True", "False", "False", "False"}, 0, 0},
        {0, "True", {"True", "False", "False", "False"}, 0, 0},
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
        cv.ignore_dups = 1 - c.ignore_dups;  // a line left unread shows
        ASSERT_TRUE(apply_settings_lines(
            lines_with({{77, c.line77}, {78, c.options[0]}, {79, c.options[1]}, {80, c.options[2]}, {81, c.options[3]}}), cv));
        EXPECT_EQ(std::pair(cv.mode, cv.ignore_dups), std::pair(c.mode, c.ignore_dups))
            << c.mode_before << " " << c.line77 << " " << c.options[0] << c.options[1];
    }
}

// The box texts cut to the boxes' lengths (a zone name comes back whole, as the window's files
// check), or the range and degree kept for a favourite.
TEST_F(SettingsFile, BoxTextsCutToTheBoxesOrKeptForAFavourite) {
    const auto lines = lines_with({{1, "12/01/2010 and more"}, {2, ""}, {3, "179.3312271234"},
                                   {4, "09/22/1949 natal date without a limit"}, {5, "16.435"}, {6, "1234567"}});
    ControlValues cv = initial_state();
    ASSERT_TRUE(apply_settings_lines(lines, cv));
    EXPECT_EQ(cv.start_date + "|" + cv.end_date + "|" + cv.zodiac_degree + "|" + cv.natal_date + "|" + cv.natal_time +
                  "|" + cv.tz,
              "12/01/2010 a||179.33122712|09/22/1949 natal date without a limit|16.43|123456");
    cv = initial_state();
    ASSERT_TRUE(apply_settings_lines(lines, cv, SettingsScope::KeepRangeAndDegree));
    EXPECT_EQ(cv.start_date + "|" + cv.end_date + "|" + cv.zodiac_degree + "|" + cv.tz,
              "12/01/2005|12/31/2005|179.331227|123456");
}

TEST_F(SettingsFile, UnreadableShortOrOversizedFileChangesNothing) {
    // 80 LF-ended lines whose applied part would change the start date and the mode.
    auto lines = lines_with({{1, "01/01/2001"}, {78, "False"}, {79, "True"}});
    lines.pop_back();
    std::string short_text;
    for (const auto& l : lines) short_text += l + "\n";
    const std::pair<std::string, std::string> cases[] = {
        {write("short.opt", short_text), ": has 80 lines; a settings file has 81"},
        {write("empty.opt", ""), ": has 0 lines"},
        {write("huge.opt", settings_file_text(initial_state()) + std::string(2 << 20, ' ')), ": is too large"},
        {(dir / "missing.opt").string(), ": cannot be read"},
    };
    for (const auto& [path, complaint] : cases) {
        ControlValues cv = initial_state();
        std::string error;
        EXPECT_FALSE(load_settings_file(path, cv, &error));
        EXPECT_EQ(error.rfind(path + complaint, 0), 0u) << error;
        EXPECT_EQ(settings_file_text(cv), settings_file_text(initial_state())) << path;
    }
}

// Files of other systems load unchanged; a file of fewer than three lines changes nothing.
TEST_F(SettingsFile, NatalDataFileTakesTheFirstThreeLinesOrNothing) {
    const std::pair<const char*, std::string> cases[] = {  // content, "date|time|tz" or the complaint
        {"22/09/1949\r\n16.43\r\n-5.5\r\nnotes about the chart\r\n", "22/09/1949|16.43|-5.5"},
        {"1949/09/22\n7\n0", "1949/09/22|7|0"},
        {"09/22/1949 at noon\n16.4321\n1234567\n", "09/22/1949 at noon|16.43|123456"},  // boxes' lengths
        {"22\xE9" "09/1949\n16.43\n8\n", "22\xC3\xA9" "09/1949|16.43|8"},                // Latin-1
        {"09/22/1949\n16.43\nAmerica/Argentina/Buenos_Aires\n", "09/22/1949|16.43|America/Argentina/Buenos_Aires"},
        {"01/01/1960\r\n12.00\r\n", ": has 2 lines; a natal data file has 3"},
        {"", ": has 0 lines"},
    };
    for (const auto& [content, result] : cases) {
        const std::string path = write("natal.dat", content);
        ControlValues cv;
        cv.natal_date = "before";
        std::string error;
        const bool loaded = load_natal_data_file(path, cv, &error);
        EXPECT_EQ(cv.natal_date + "|" + cv.natal_time + "|" + cv.tz, loaded ? result : "before|16.43|8") << content;
        EXPECT_TRUE(loaded || error.rfind(path + result, 0) == 0) << error;
    }
}

// A birth place adds three lines, only when there is one; a damaged place still loads the rest.
TEST_F(SettingsFile, NatalDataFileKeepsABirthPlace) {
    const std::pair<NatalPlace, std::string> saved[] = {  // the place, the lines after the third
        {{}, ""},
        {{"Paris, Île-de-France Region, France", "48N51'12\"", "2E20'56\""},
         "Paris, Île-de-France Region, France\r\n48N51'12\"\r\n2E20'56\"\r\n"},
        {{"", "-34.6", "-58.37"}, "\r\n-34.6\r\n-58.37\r\n"},
    };
    for (const auto& [place, lines] : saved) {
        ControlValues cv = initial_state(), loaded;
        NatalPlace back{"before", "1", "2"};
        std::string warning = "before";
        ASSERT_TRUE(save_natal_data_file(path("place.dat"), cv, nullptr, place));
        EXPECT_EQ(testing::read_file(path("place.dat")), "09/22/1949\r\n16.43\r\n8\r\n" + lines);
        ASSERT_TRUE(load_natal_data_file(path("place.dat"), loaded, nullptr, &back, &warning));
        EXPECT_EQ(back, place) << lines;
        EXPECT_EQ(warning, "before");
    }
    const std::tuple<std::string, NatalPlace, std::string> read[] = {  // lines after the third; place; warning
        {"\n\n\n", {}, ""},
        {"Paris\n48.8534\n2.3488\nnotes\n", {"Paris", "48.8534", "2.3488"}, ""},
        {"notes about the chart\r\n", {}, ": line 5, the latitude, is missing; the birth place was not loaded"},
        {"Paris\n91\n2.35\n", {}, ": line 5, the latitude \"91\", is out of range"},
        {"Paris\n48.85\n2N21\n", {}, ": line 6, the longitude \"2N21\", takes E or W, not N"},
    };
    for (const auto& [lines, place, warning] : read) {
        const std::string file = write("place.dat", "22/09/1949\n7.5\nEurope/Paris\n" + lines);
        ControlValues cv;
        NatalPlace got{"before", "1", "2"};
        std::string message;
        ASSERT_TRUE(load_natal_data_file(file, cv, nullptr, &got, &message)) << lines;
        EXPECT_EQ(cv.natal_date + "|" + cv.natal_time + "|" + cv.tz, "22/09/1949|7.5|Europe/Paris") << lines;
        EXPECT_EQ(got, place) << lines;
        EXPECT_EQ(message.substr(0, file.size() + warning.size()), warning.empty() ? "" : file + warning) << message;
    }
}

// The event ticks live in lines 82-86, written only when one is ticked: a set-up without events
// keeps the 81-line file older copies read, and an 81-line file ticks no event.
TEST_F(SettingsFile, EventTicksFollowLine81) {
    ControlValues cv = initial_state();
    const std::string old = settings_file_text(cv);
    cv.stations = cv.void_moon = true;
    const std::string text = settings_file_text(cv);
    EXPECT_EQ(text, old + "1 - Stations\r\n0 - Ingresses\r\n0 - Lunations\r\n0 - Eclipses\r\n1 - Void Moon\r\n");
    // Loaded over every event ticked: the file's ticks stand; an old file (no end after its last
    // line) ticks none.
    for (const auto& [content, ticks] :
         {std::pair{text, cv.event_tick_values()}, {old.substr(0, old.size() - 2), std::array<bool, 5>{}}}) {
        ControlValues loaded = initial_state();
        for (bool* tick : loaded.event_ticks()) *tick = true;
        ASSERT_TRUE(load_settings_file(write("events.opt", content), loaded));
        EXPECT_EQ(loaded.event_tick_values(), ticks);
        EXPECT_TRUE(content != text || settings_file_text(loaded) == text);
    }
}

TEST(IniFile, EventsKeyOnlyWithAnEventTicked) {
    ControlValues cv = initial_state();
    const std::string plain = ini_file_text(cv);
    cv.lunations = cv.void_moon = true;
    EXPECT_EQ(ini_file_text(cv), plain + "events=lunations,void\r\n");
    struct Case { const char* text; std::array<bool, 5> ticks; };
    const Case cases[] = {
        {"events=lunations,void\r\n", {false, false, true, false, true}},
        {"events=eclipses,moons,\n", {false, false, false, true, false}},  // unknown names passed over
        {"time_zone=5\n", {true, false, false, false, false}},              // no key: as before
    };
    for (const auto& c : cases) {
        ControlValues read = initial_state();
        read.stations = true;
        apply_ini_text(c.text, read);
        EXPECT_EQ(read.event_tick_values(), c.ticks) << c.text;
    }
}

// What a restart keeps is checked through the main window; here the file's text.
TEST(IniFile, SevenCrlfLines) {
    EXPECT_EQ(ini_file_text(initial_state()),
              "[Tavrolin] - Do NOT change the order of these variables.\r\nstart_date=12/01/2005\r\n"
              "end_date=12/31/2005\r\nnatal_date=09/22/1949\r\nnatal_time=16.43\r\nzodiac_degree=179.331227\r\n"
              "time_zone=8\r\n");
}

TEST(IniFile, KeyMatchingRules) {
    struct Case { const char* name; std::string content; std::string ControlValues::*field; std::string expected; };
    const Case cases[] = {
        {"empty value keeps the default", "natal_date=\r\n", &ControlValues::natal_date, "09/22/1949"},
        {"last non-empty value counts", "start_date=01/01/2001\r\nstart_date=02/02/2002\r\nstart_date=\r\n",
         &ControlValues::start_date, "02/02/2002"},
        {"line without = gives the whole line", "natal_date 22/09/1949\r\n", &ControlValues::natal_date,
         "natal_date 22/09/1949"},
        {"start date needs its = and no blank before", " start_date=01/01/2001\nstart_date 01/01/2001\n",
         &ControlValues::start_date, "12/01/2005"},
        {"other keys match without =", "natal_timeX=5.5\r\n", &ControlValues::natal_time, "5.5"},
        {"value is after the first =, blanks kept", "zodiac_degree=  1=2\r\n", &ControlValues::zodiac_degree, "  1=2"},
        {"keys are case-sensitive", "Time_zone=5\r\n", &ControlValues::tz, "8"},
        {"zone name whole", "time_zone=Asia/Kolkata\r\n", &ControlValues::tz, "Asia/Kolkata"},
        {"zone number cut to six", "time_zone=-5.5000001\r\n", &ControlValues::tz, "-5.500"},
        {"natal time cut to five", "natal_time=12.3456\r\n", &ControlValues::natal_time, "12.34"},
        {"LF line ends, any order", "time_zone=5\nnatal_time=1.5\n", &ControlValues::natal_time, "1.5"},
        {"no line end at the end", "time_zone=5\r\nend_date=03/03/2003", &ControlValues::end_date, "03/03/2003"},
        {"garbage keeps the defaults", std::string("\xff\x00\x01natal_tim\n\n=\r", 12), &ControlValues::natal_time, "16.43"},
    };
    for (const auto& c : cases) {
        ControlValues cv;  // month-first dates
        apply_ini_defaults(cv);
        apply_ini_text(c.content, cv);
        EXPECT_EQ(cv.*c.field, c.expected) << c.name;
    }
}

}  // namespace
}  // namespace tavrolin

namespace tavrolin {
namespace {

// The birth place after line 81: written only when there is one, read back whole; absent lines
// (an older file, or one cut short) give no place. The INI keeps the place's keys.
TEST_F(SettingsFile, BirthPlaceLinesRoundTripAndOldFilesHaveNoPlace) {
    ControlValues placed = initial_state(), cut = initial_state();
    cut.place_name = placed.place_name = "Tromsø, Troms og Finnmark, Norway";
    cut.latitude = placed.latitude = "69N39'00\"";
    placed.longitude = "18E57'00\"";
    placed.house_system = "K";
    placed.p2_mc = 1;
    const std::string old_text = settings_file_text(initial_state()), text = settings_file_text(placed);
    // A place follows the event ticks (lines 82-86), written unticked when no event is ticked.
    const std::string events = "0 - Stations\r\n0 - Ingresses\r\n0 - Lunations\r\n0 - Eclipses\r\n0 - Void Moon\r\n";
    EXPECT_EQ(text, old_text + events + "Tromsø, Troms og Finnmark, Norway\r\n69N39'00\"\r\n18E57'00\"\r\nK - Koch\r\n0 - Asc\r\n1 - MC\r\n");
    const auto place_of = [](const ControlValues& cv) {
        return std::tuple(cv.place_name, cv.latitude, cv.longitude, cv.house_system, cv.p2_asc, cv.p2_mc);
    };
    for (const auto& [content, expected] : {std::pair{text, placed}, {old_text, initial_state()},
                                            {old_text + events + cut.place_name + "\r\n" + cut.latitude + "\r\n", cut}}) {
        ControlValues cv = placed;  // a place loaded before is replaced
        ASSERT_TRUE(load_settings_file(write("place.opt", content), cv));
        EXPECT_EQ(place_of(cv), place_of(expected)) << content.size();
    }
    ControlValues from_ini = initial_state();
    apply_ini_text(ini_file_text(placed), from_ini);
    EXPECT_EQ(place_of(from_ini), std::tuple(placed.place_name, placed.latitude, placed.longitude, "K", 0, 0));
    // The angles' ticks are kept with the other ticks, and only when one is ticked.
    for (const char* angles : {"asc", "mc", "asc,mc"}) {
        apply_ini_text(std::string("angles=") + angles, from_ini);
        EXPECT_EQ(ini_setup_text(from_ini).substr(ini_setup_text(initial_state()).size()), std::string("angles=") + angles + "\r\n");
    }
}

// House ingresses: line 93 only when ticked (lines 82-92 before it, a place or not); "houses" in the INI.
TEST_F(SettingsFile, HouseIngressTickIsLine93AndAWordOfTheIniEvents) {
    ControlValues cv = initial_state(), loaded = initial_state(), read = initial_state();
    cv.house_ingresses = true;
    const std::string text = settings_file_text(cv), old_text = settings_file_text(initial_state());
    EXPECT_EQ(text.substr(old_text.size()), "0 - Stations\r\n0 - Ingresses\r\n0 - Lunations\r\n0 - Eclipses\r\n0 - Void Moon\r\n\r\n\r\n\r\nP - Placidus\r\n0 - Asc\r\n0 - MC\r\n1 - House ingresses\r\n");
    ASSERT_TRUE(load_settings_file(write("houses.opt", text), loaded) && load_settings_file(write("old.opt", old_text), cv));
    apply_ini_text(ini_file_text(loaded), read);
    EXPECT_EQ(std::tuple(loaded.house_ingresses, cv.house_ingresses, read.house_ingresses), std::tuple(true, false, true));
}

}  // namespace
}  // namespace tavrolin
