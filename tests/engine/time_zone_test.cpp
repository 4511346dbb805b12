// Time zones by name, from the system's tz database.
#include "engine/time_zone.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

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
    // The answers as "date natal_time (offset)".
    struct Case { const char* zone; CivilDate date; int hour, minute; Kind kind; std::vector<std::string> answers; };
    const Case cases[] = {
        {"Europe/London", {1949, 9, 22}, 17, 43, Kind::unique, {"1949-9-22 16.43 (BST, UT+1)"}},
        {"Europe/London", {2024, 3, 31}, 1, 30, Kind::skipped, {}},
        {"Europe/London", {2024, 10, 27}, 1, 30, Kind::repeated, {"2024-10-27 0.30 (BST, UT+1)", "2024-10-27 1.30 (GMT, UT+0)"}},
        {"Asia/Kolkata", {2024, 1, 1}, 3, 0, Kind::unique, {"2023-12-31 21.30 (IST, UT+5:30)"}},
        {"America/New_York", {1949, 9, 22}, 22, 15, Kind::unique, {"1949-9-23 2.15 (EDT, UT-4)"}},
        {"Mars/Olympus", {2024, 1, 1}, 0, 0, Kind::no_zone, {}},
        // A Greenwich date that no date box can hold (was "01/01/10000").
        {"America/New_York", {9999, 12, 31}, 23, 30, Kind::off_calendar, {}},
        {"Asia/Tokyo", {100, 1, 1}, 0, 30, Kind::off_calendar, {}},
        {"America/New_York", {9999, 12, 31}, 12, 30, Kind::unique, {"9999-12-31 17.30 (EST, UT-5)"}},
        {"Asia/Tokyo", {100, 1, 1}, 12, 30, Kind::unique, {"100-1-1 3.11 (LMT, UT+9:19)"}},
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

}  // namespace
}  // namespace tavrolin
