// Time zones by name, from the system's tz database, with the real library where a run is needed.
#include "engine/time_zone.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/engine.h"

namespace tavrolin {
namespace {

TEST(TimeZone, NamesAndNumbersThatCanServeOrNot) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"America/New_York", ""},
        {"  Europe/London  ", ""},  // trimmed
        {"US/Eastern", ""},         // a link of the database
        {"Mars/Olympus", "is not a time zone name"},
        {"europe/london", "is not a time zone name; did you mean Europe/London?"},
        {"", ""},  // the leading-number rule: 0
        {"-24", ""},
        {"24.5", "is not a number of hours from -24 to 24"},
        {"1e308", "is not a number of hours from -24 to 24"},
    };
    for (const auto& [text, problem] : cases) EXPECT_EQ(time_zone_problem(text), problem) << text;
    const auto names = zone_names();
    EXPECT_GT(names.size(), 300u);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    EXPECT_TRUE(std::binary_search(names.begin(), names.end(), "Asia/Kolkata"));
}

// Local birth times by the historical rules: British Summer Time in September 1949, the hour
// skipped in spring, the hour repeated in autumn, half-hour zones.
TEST(TimeZone, LocalBirthTimeToGreenwich) {
    using Kind = LocalTimeAnswer::Kind;
    struct Case {
        const char* zone;
        CivilDate date;
        int hour, minute;
        Kind kind;
        std::vector<std::string> answers;  // "date natal_time (offset)"
    };
    const Case cases[] = {
        {"Europe/London", {1949, 9, 22}, 17, 43, Kind::unique, {"1949-9-22 16.43 (BST, UT+1)"}},
        {"Europe/London", {2024, 3, 31}, 1, 30, Kind::skipped, {}},
        {"Europe/London", {2024, 10, 27}, 1, 30, Kind::repeated, {"2024-10-27 0.30 (BST, UT+1)", "2024-10-27 1.30 (GMT, UT+0)"}},
        {"Asia/Kolkata", {2024, 1, 1}, 3, 0, Kind::unique, {"2023-12-31 21.30 (IST, UT+5:30)"}},
        {"America/New_York", {1949, 9, 22}, 22, 15, Kind::unique, {"1949-9-23 2.15 (EDT, UT-4)"}},
        {"Mars/Olympus", {2024, 1, 1}, 0, 0, Kind::no_zone, {}},
    };
    for (const Case& c : cases) {
        const LocalTimeAnswer a = local_time_to_universal(c.zone, c.date, c.hour, c.minute);
        EXPECT_EQ(a.kind, c.kind) << c.zone;
        std::vector<std::string> got;
        for (const UniversalTime& u : a.answers)
            got.push_back(std::to_string(u.date.year) + "-" + std::to_string(u.date.month) + "-" + std::to_string(u.date.day) +
                          " " + u.natal_time() + " (" + u.offset_text() + ")");
        EXPECT_EQ(got, c.answers) << c.zone;
    }
    EXPECT_EQ(parse_hours_minutes("7:05"), (std::pair{7, 5}));
    for (const char* bad : {"24:00", "12:60", "1230", "12:3", ":30", "a1:30"}) EXPECT_EQ(parse_hours_minutes(bad), std::nullopt) << bad;
}

// With the real library: a year of the Sun's aspects to its natal place listed in New York time
// gives, in January, the texts of the same run at 5 hours behind UT and, in July, those at 4.
TEST(TimeZone, NamedZoneListsEachRowByItsSeason) {
    set_ephemeris_path(TAVROLIN_BIN_DIR);
    auto run = [](const std::string& tz) {
        LibSwe api;
        Ephemeris eph(api);
        Engine engine(eph);
        engine.cv.natal_date = "09/22/1949";
        engine.cv.start_date = "01/01/2024";
        engine.cv.end_date = "12/31/2024";
        engine.cv.tz = tz;
        engine.cv.p1_planets.fill(0);
        engine.cv.p2_planets.fill(0);
        engine.cv.p1_planets[0] = engine.cv.p2_planets[0] = 1;
        engine.cv.aspects.fill(0);
        for (int a = 0; a <= 10; ++a) engine.cv.aspects[static_cast<std::size_t>(a)] = 1;
        engine.cv.select_mode(0);
        EXPECT_TRUE(engine.Start_Calcs().ran);
        std::vector<std::string> times;
        for (int r = 1; r <= engine.result_count; ++r) times.emplace_back(engine.result_table[static_cast<std::size_t>(r)][3]);
        return times;
    };
    const auto named = run("America/New_York"), winter = run("5"), summer = run("4");
    ASSERT_EQ(named.size(), winter.size());
    int january = 0, july = 0;
    for (std::size_t i = 0; i < named.size(); ++i) {
        if (named[i].rfind("01/", 0) == 0) {
            EXPECT_EQ(named[i], winter[i]);
            ++january;
        }
        if (named[i].rfind("07/", 0) == 0) {
            EXPECT_EQ(named[i], summer[i]);
            ++july;
        }
    }
    EXPECT_GT(january, 0);
    EXPECT_GT(july, 0);
}

}  // namespace
}  // namespace tavrolin
