// How numbers and dates are read from text and written as text, the calendar conversions and the
// time zones by name, from the system's tz database.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/calendar.h"
#include "engine/date_text.h"
#include "engine/engine.h"
#include "engine/input_field.h"
#include "engine/text_rules.h"
#include "engine/time_zone.h"

using namespace tavrolin;

TEST(TextRules, NumbersReadByTheLeadingNumberRuleAndWrittenByPattern) {
    // Beyond the range of a double a number is read as the largest one or as 0 ("1e400" was 0).
    for (const auto& [text, value] : {std::pair{"040", 40.0}, {"  12abc", 12.0}, {"-.25x", -0.25}, {"1e3", 1000.0}, {"2e", 2.0},
                                      {"3E-2", 0.03}, {"abc", 0.0}, {"", 0.0}, {".", 0.0}, {"1.2.3", 1.2}, {"--5", 0.0},
                                      {"1e400", DBL_MAX}, {"-1e400", -DBL_MAX}, {"+999e306x", DBL_MAX},
                                      {"1e99999999999999999999", DBL_MAX}, {"1e-400", 0.0}, {"-0.5e-400", 0.0},
                                      {"0.00001e309", 1e304}, {"123e306", 1.23e308}})
        EXPECT_EQ(val(text), value) << "'" << text << "'";
    // Halves away from zero on the value written with 15 digits (the binary 2.675 is just below it).
    for (const auto& [value, decimals, text] :
         {std::tuple{2.675, 2, "2.68"}, {1.0 / 1.01, 2, "0.99"}, {-0.5, 0, "-1"}, {0.00004999, 4, "0.0000"},
          {9.99995, 4, "10.0000"}, {59.9999999, 6, "60.000000"}, {-0.001, 2, "0.00"}, {1234567.891, 3, "1234567.891"}})
        EXPECT_EQ(format_fixed(value, decimals), text) << value << " " << decimals;
    for (const auto& [value, text] : {std::pair{-0.0, "0"}, {1.0 / 3.0, "0.333333333333333"}, {280.3689, "280.3689"},
                                      {1.5e-7, "1.5E-07"}, {123456789012345678.0, "1.23456789012346E+17"}, {0.0001, "0.0001"}})
        EXPECT_EQ(number_to_text(value), text);
    for (double x : {179.331227, -0.000123456789, 1e10 / 7}) EXPECT_NEAR(val(number_to_text(x)), x, std::fabs(x) * 1e-14);
    EXPECT_FLOAT_EQ(natal_hours_from_text("-1.30"), -1.5f);  // hours and minutes
}

// Number boxes take a whole number only (blanks around it): other text was read as 0 or as its
// first digits ("13/45/2005" as 13). The refusals' messages and lines: batch_test.cpp.
TEST(TextRules, BoxesThatHoldANumberRefuseOtherText) {
    for (const auto& [text, number] : {std::pair{"5", true}, {" -5.5 ", true}, {"+.5\t", true}, {"1.", true}, {"1e1", true},
                                       {"", false}, {" ", false}, {"-", false}, {".", false}, {"0x10", false},
                                       {"2e", false}, {"5.5x", false}, {"13/45/2005", false}, {"1 2", false}})
        EXPECT_EQ(is_number_text(text) && natal_time_problem(text).empty() && zodiac_degree_problem(text).empty(), number) << text;
    // Minutes of 60 or more ("16.99" was 17.39).
    for (const auto& [time, ok] : {std::pair{"16.99", false}, {"-1.6", false}, {"16.59", true}, {"-1.30", true}})
        EXPECT_EQ(natal_time_problem(time).empty(), ok) << time;
    // Messages quote at most 80 characters of a text, cut between characters.
    EXPECT_EQ(refusal_message(InputField::natal_date, std::string(78, 'x') + "\u00e9\u00e9", "is not a date"),
              "Natal date: \"" + std::string(78, 'x') + "\u00e9...\" is not a date");
}

TEST(TextRules, DatesInEachRegionalOrder) {
    struct Case { const char* text; int order; CivilDate expected; };
    const Case cases[] = {
        {"9/2/1949", 0, {1949, 9, 2}},    {"12-31-2005", 0, {2005, 12, 31}}, {"22.9.1949", 1, {1949, 9, 22}},
        {"1949/09/22", 2, {1949, 9, 22}}, {"1949-09-22", 1, {1949, 9, 22}},  {"02/29/2000", 0, {2000, 2, 29}},
        {"01/01/100", 0, {100, 1, 1}},    {"01/02/29", 0, {2029, 1, 2}},     {"01/02/30", 0, {1930, 1, 2}},
    };
    for (const auto& c : cases) EXPECT_EQ(parse_date(c.text, c.order), c.expected) << c.text << " order " << c.order;
    for (const auto& [text, order] : {std::pair{"02/29/1900", 0}, {"13/01/2005", 0}, {"22/09/1949", 0}, {"09/22/1949", 1},
                                      {"09/22/1949", 2}, {"", 0}, {"09/22-1949", 0}, {"009/22/1949", 0}, {"09/22/5", 0},
                                      {" 09/22/1949", 0}, {"1949/09/22", 5}})
        EXPECT_EQ(parse_date(text, order), std::nullopt) << "'" << text << "' order " << order;
}

TEST(Calendar, JulianDaysCalendarDaysAndExactTimes) {
    // The calendar switch: 4 October 1582 (Julian) is followed by 15 October (Gregorian), but a
    // typed date up to 15 October is still read in the Julian calendar.
    for (const auto& [day, jd] : {std::pair{4, 2299159.5}, {15, 2299170.5}, {16, 2299161.5}})
        EXPECT_EQ(GetJulianDay(10, day, 1582), jd) << day;
    EXPECT_EQ(GetCalendarDay(2433181.5 + 0.7, 1), "22/09/1949");
    // Proleptic Gregorian always: 1 March -100 read in the Julian calendar comes back as 27 February.
    EXPECT_EQ(GetCalendarDay(GetJulianDay(3, 1, -100), 0), "02/27/-100");
    for (double jd = 2299161.5; jd < 5373484.5; jd += 997.0) {
        const auto d = parse_date(GetCalendarDay(jd, 2), 2);
        ASSERT_TRUE(d.has_value()) << GetCalendarDay(jd, 2);
        EXPECT_EQ(GetJulianDay(d->month, d->day, d->year), jd) << GetCalendarDay(jd, 2);
    }

    struct Case { double jd; const char* tz; const char* local; };
    const Case cases[] = {
        {2451545.0, "8", "01/01/2000 04:00:00|"},     // noon UT, eight hours behind
        {2451545.0, "-1", "01/01/2000 13:00:00|"},
        {2451545.0, "5.5x", "01/01/2000 06:30:00|"},  // leading-number rule
        {2451544.5, "0", "01/01/2000 00:00:00|"},     // exact midnight stays on its day
        {2451544.5 + 30.6 / 86400, "0", "01/01/2000 00:00:31|"},
        // Rounded up to 24:00:00: the next day, also into the next month.
        {2451545.5 - 0.3 / 86400, "0", "01/02/2000 00:00:00|01/02/2000"},
        {2451604.5 - 0.2 / 86400, "0", "03/01/2000 00:00:00|03/01/2000"},
        // A zone name by its offset at each moment: New York's clocks went forward at 07:00 UT.
        {2460379.5 + 6.5 / 24, "America/New_York", "03/10/2024 01:30:00|"},
        {2460379.5 + 7.5 / 24, "America/New_York", "03/10/2024 03:30:00|"},
    };
    for (const auto& c : cases) {
        const ExactDateTime e = ConvertJDtoDateandTime(c.jd, c.tz);
        EXPECT_EQ(e.exact_date_str + " " + e.exact_time_str + "|" + e.calendar_date_str, c.local) << c.jd << " tz " << c.tz;
    }
}

TEST(TimeZone, NamesAndNumbersThatCanServeOrNot) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"America/New_York", ""},
        {"  Europe/London  ", ""},  // trimmed
        {"US/Eastern", ""},         // a link of the database
        {"Mars/Olympus", "is not a time zone name"},
        {"europe/london", "is not a time zone name; did you mean Europe/London?"},
        {"", ""},  // Universal Time, as saved files may rely on
        {"-24", ""}, {"-5.5", ""}, {"5 ", ""}, {"0", ""},
        {"24.5", "is not a number of hours from -24 to 24"},
        {"1e308", "is not a number of hours from -24 to 24"},
    };
    for (const auto& [text, problem] : cases) EXPECT_EQ(time_zone_problem(text), problem) << text;
    // Texts that were Universal Time or their first digits.
    for (const char* text : {"_x", "-", "0x10", "\u00e9\u00e8", "/etc/localtime"})
        EXPECT_EQ(time_zone_problem(text), "is neither a time zone name nor a number of hours") << text;
    const auto names = zone_names();
    EXPECT_GT(names.size(), 300u);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    EXPECT_TRUE(std::binary_search(names.begin(), names.end(), "Asia/Kolkata"));
}

// Local birth times by the historical rules: British Summer Time in September 1949, the hour
// repeated in autumn, half-hour zones (the skipped hour: batch_test.cpp and the window's test).
TEST(TimeZone, LocalBirthTimeToGreenwich) {
    using Kind = LocalTimeAnswer::Kind;
    // The answers as "date natal_time (offset)".
    struct Case { const char* zone; CivilDate date; int hour, minute; Kind kind; std::vector<std::string> answers; };
    const Case cases[] = {
        {"Europe/London", {1949, 9, 22}, 17, 43, Kind::unique, {"1949-9-22 16.43 (BST, UT+1)"}},
        {"Europe/London", {2024, 10, 27}, 1, 30, Kind::repeated, {"2024-10-27 0.30 (BST, UT+1)", "2024-10-27 1.30 (GMT, UT+0)"}},
        {"Asia/Kolkata", {2024, 1, 1}, 3, 0, Kind::unique, {"2023-12-31 21.30 (IST, UT+5:30)"}},
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
