// The calculation's own rules, with the ephemeris double: which pairs are scanned, the near-miss
// section, failed positions, the signed orb and the inputs at and beyond what the run can use
// (the row limit: parallel_scan_test.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/calendar.h"
#include "engine/text_rules.h"
#include "support/fake_swe.h"

using namespace tavrolin;
using namespace tavrolin::testing;

namespace {

// The near-miss section of these lines ("P1 aspect P2: from - to"), each followed by `each`.
std::string near_miss_text(const std::vector<std::string>& lines, const std::string& each = "") {
    std::string text = "\r\nWithin 1 deg. of exact:\r\n";
    for (const std::string& line : lines) text += line + each + "\r\n";
    return text;
}

TEST(StartCalcs, PairFiltersAndNatalTables) {
    // With every position 0 a parallel is within one degree all the time and never becomes exact
    // (the orb does not change), so each scanned pair leaves one near-miss line for the whole
    // scan, in scan order.
    struct Case {
        int calc_kind, mode, p1_helio, p2_helio, ignore_dups;
        std::vector<int> p1, p2;
        std::vector<std::string> pairs;
        const char* scan = ": 01/01/2000 - 01/31/2000";
    };
    const Case cases[] = {
        {1, 1, 0, 0, 0, {0, 4}, {0, 4}, {"Sun par Mars", "Mars par Sun"}},
        {1, 0, 0, 0, 0, {0, 4}, {0, 4}, {"Sun par Sun", "Sun par Mars", "Mars par Sun", "Mars par Mars"}},
        {1, 0, 0, 0, 1, {4}, {0, 5}, {"Mars par Jupiter"}},
        // Progressed days as calendar dates: the years of life 49 to 51.
        {1, 2, 0, 0, 1, {4, 5}, {4, 5}, {"Mars par Jupiter"}, ": 09/22/1998 - 09/22/2000"},
        {1, 3, 0, 0, 0, {4}, {5}, {"Mars par Jupiter"}, ": 09/22/1998 - 09/22/2000"},
        // No mode button selected: no mode's rule applies, so the same body is kept.
        {1, -1, 0, 0, 0, {4}, {4, 5}, {"Mars par Mars", "Mars par Jupiter"}},
        {1, 1, 0, 0, 0, {14, 1}, {14, 1}, {}},  // Earth geocentric; the Moon only against itself
        {1, 1, 1, 1, 0, {14, 0, 1, 10, 11, 12, 13}, {2, 0, 13}, {"Earth par Mercury"}},
        {1, 1, 0, 1, 0, {0, 1}, {0, 1, 14}, {"Sun par Earth", "Moon par Earth"}},
        // The degree command has one P2, whatever is ticked, and none of the P2 filters.
        {0, 1, 0, 0, 1, {4}, {}, {"Mars par Sun"}},
        {0, 1, 0, 0, 0, {4, 9}, {4, 9}, {"Mars par Sun", "Pluto par Sun"}},
    };
    for (const auto& c : cases) {
        ScanSetup s(c.p1, c.p2, {parallel_aspect});
        s.engine.calc_kind = c.calc_kind;
        s.cv.mode = c.mode;
        s.cv.p1_helio = c.p1_helio;
        s.cv.p2_helio = c.p2_helio;
        s.cv.ignore_dups = c.ignore_dups;
        s.cv.zodiac_degree = "0";
        s.engine.natal_lon.fill(50.0);  // left from an earlier run
        ASSERT_TRUE(s.engine.Start_Calcs().ran);
        EXPECT_EQ(s.engine.near_miss_text, near_miss_text(c.pairs, c.scan)) << "mode " << c.mode;
        EXPECT_EQ(s.engine.result_count, 0);
        // Every mode but transit to transit reads the natal tables, so they are filled afresh (a
        // settings file can leave no mode selected).
        EXPECT_EQ(s.engine.natal_lon[4], c.mode == 1 ? 50.0 : 0.0) << c.mode;
    }
}

TEST(StartCalcs, NearMissWindowsOfAspectsWhoseSignsFit) {
    // Mars stands in longitude at `lon`, Jupiter at 100; Mars' declination rises 0.1 degree a day
    // from 0.25, Jupiter's stays at `jupiter_decl`. With `saturn`, Saturn passes the square of Mars.
    struct Case { double lon, jupiter_decl; std::vector<int> aspects; std::vector<std::string> lines; bool saturn = false; };
    const Case cases[] = {
        // Never closing, the window runs to the end of the range.
        {99.0, 0.0, {0}, {"Mars 000 Jupiter: 01/01/2000 - 01/31/2000"}},  // exactly one degree
        {98.9, 0.0, {0}, {}},
        {90.0, -0.2, {16}, {}},  // within one degree, but a parallel wants equal signs
        {90.0, -0.2, {17}, {"Mars c.p Jupiter: 01/01/2000 - 01/10/2000"}},
        {90.0, 0.2, {17}, {}},
        // The parallel closes its window on 01/09 and so names the line; a parallel whose signs
        // do not fit closes nothing.
        {99.5, 0.1, {0, 16}, {"Mars par Jupiter: 01/01/2000 - 01/09/2000"}},
        {99.5, -0.1, {0, 16}, {"Mars 000 Jupiter: 01/01/2000 - 01/31/2000"}},
        // An exact hit of any aspect removes the pair's line.
        {99.3, 0.0, {0, 7}, {"Mars 000 Jupiter: 01/01/2000 - 01/31/2000"}, true},
    };
    for (const auto& c : cases) {
        ScanSetup s({4}, c.saturn ? std::vector<int>{5, 6} : std::vector<int>{5}, c.aspects);
        s.move(5, 100.0, 0.0, 0.0, c.jupiter_decl);
        s.move(4, c.lon, 0.0, jan1_2000, 0.25, 0.1);
        s.move(6, 189.3 - 3.4, 1.0, jan1_2000);
        ASSERT_TRUE(s.engine.Start_Calcs().ran);
        EXPECT_EQ(s.engine.near_miss_text, near_miss_text(c.lines)) << c.lon << " " << c.jupiter_decl;
        EXPECT_EQ(s.engine.result_count, c.saturn ? 1 : 0);
    }
    // Mars leaves the conjunction's orb on the first day, before any window opens, and settles
    // within a degree of an angle of 10 on 01/17: the window runs from there (it ended 01/01).
    ScanSetup s({4}, {5}, {0, user_defined_aspect});
    s.move(5, 100.0);
    s.swe.motions[4] = [](double t, int, double* xx) { xx[0] = std::max(99.05 - 0.5 * (t - jan1_2000), 91.0); };
    s.cv.user_defined_angle = "10";
    ASSERT_TRUE(s.engine.Start_Calcs().ran);
    EXPECT_EQ(s.engine.near_miss_text, near_miss_text({"Mars 10 Jupiter: 01/17/2000 - 01/31/2000"}));
}

TEST(StartCalcs, PositionsTheLibraryCouldNotComputeGiveNoResults) {
    // Mars passes Jupiter on 01/05 and 01/21 (at 22.5 degrees a day, 16 days apart), and Saturn,
    // standing at 0, on 01/16 at 19:20. Saturn's data have a gap around that time: the double
    // then returns 0, which is Saturn's true place, so only the error tells the moment is unsound.
    ScanSetup s({4}, {5, 6}, {0});
    s.move(5, 100.0);
    s.move(6, 0.0);
    s.move(4, 100.0, 22.5, jan1_2000 + 4.25);
    s.swe.failing_between[6] = {jan1_2000 + 15.7, jan1_2000 + 15.9};
    ASSERT_TRUE(s.engine.Start_Calcs().ran);
    ASSERT_EQ(s.engine.result_count, 2);
    EXPECT_TRUE(s.engine.result_table[1][2] == "5" && s.engine.result_table[2][2] == "5");
    EXPECT_TRUE(s.eph.errors().size() == 1 && s.eph.failed(6));
    // With the gap elsewhere the passage is found, and the errors of the last run are gone.
    s.swe.failing_between[6] = {jan1_2000 + 16.5, jan1_2000 + 16.7};
    ASSERT_TRUE(s.engine.Start_Calcs().ran);
    ASSERT_EQ(s.engine.result_count, 3);
    EXPECT_EQ(s.engine.result_table[3][3].substr(0, 10), "01/16/2000");
    EXPECT_TRUE(s.eph.errors().empty());

    // A natal position that failed: no rows, no near-miss line for its pairs, and only bodies the
    // run uses are reported.
    s.cv.select_mode(0);
    s.swe.failing_between.clear();
    for (int body : {5, 7}) s.swe.failing_between[body] = {natal_jd - 0.1, natal_jd + 0.1};
    s.move(6, 0.4);  // natal Saturn: a near miss, listed; failed natal Jupiter reads 0, which would be one too
    s.move(4, 0.0);
    ASSERT_TRUE(s.engine.Start_Calcs().ran);
    EXPECT_EQ(s.engine.result_count, 0);
    EXPECT_EQ(s.engine.near_miss_text, near_miss_text({"Mars 000 Saturn: 01/01/2000 - 01/31/2000"}));
    EXPECT_TRUE(s.eph.errors().size() == 1 && s.eph.failed(5));
}

TEST(AspectOrb, SignFollowsWhichSideOfTheAngleP2Stands) {
    // {P1, P2, aspect, orb}: P2 - P1 = 180 is not flipped, -180 is; parallels P2 - P1, |P2| - |P1|.
    const double cases[][4] = {{10, 100, 7, 0},    {359, 1, 0, -2},   {1, 3, 0, -2},   {3, 1, 0, 2},      {1, 359, 0, 2},
                               {0, 179, 14, 1},    {0, 181, 14, -1},  {0, 180, 7, 90}, {180, 0, 7, -90},  {0, 60.5, 5, -0.5},
                               {60.5, 0, 5, 0.5},  {10, 12, 16, 2},   {10, -12, 17, 2}, {-10, 10, 16, 20}};
    for (const auto& [p1, p2, aspect, orb] : cases) {
        const auto angle = static_cast<float>(std::atof(ControlValues{}.aspect_caption(static_cast<int>(aspect)).c_str()));
        EXPECT_NEAR(aspect_orb(static_cast<int>(aspect), p1, p2, angle), orb, 1e-12) << p1 << " " << p2 << " aspect " << aspect;
    }
    // The user-defined angle is searched in single precision: 51.7 as 51.70000076.
    EXPECT_EQ(longitude_orb(0, 51.7, 51.7f), -(51.7 - static_cast<double>(51.7f)));
}

// Numbers from the boxes at and beyond what the run can use: refused like an invalid date, wrapped
// onto the circle, or counted off the calendar, never taken for something else (the refusals'
// messages and the lines they name: batch_test.cpp).
TEST(InputLimits, ANumberTheRunCannotUseIsRefusedOnlyWhereTheRunReadsIt) {
    struct Case { std::string ControlValues::*box; const char* text; int calc_kind, mode; const char* field; };
    const Case cases[] = {
        {&ControlValues::zodiac_degree, "1e400", 0, 0, "Zodiac decimal degree"},  // was degree 0
        {&ControlValues::zodiac_degree, "720.01", 0, 2, "Zodiac decimal degree"},
        {&ControlValues::zodiac_degree, "-720", 0, 0, ""},
        {&ControlValues::zodiac_degree, "1e20", 1, 0, ""},  // the aspects command does not read it
        {&ControlValues::years_back, "1e9", 0, 3, "Yrs back"},  // scanned without end
        {&ControlValues::years_back, "99.5", 1, 3, "Yrs back"},
        {&ControlValues::years_back, "99", 1, 2, ""},
        {&ControlValues::years_back, ".5", 1, 3, ""},
        {&ControlValues::years_back, "-5", 1, 0, ""},  // transits do not read it
        {&ControlValues::tz, "1e400", 1, 0, "Time Zone"},                 // was Universal Time
        {&ControlValues::natal_time, "1e400", 1, 0, "Natal time (GMT)"},  // was 0h
        {&ControlValues::end_date, "12/31/1999", 0, 1, "End Date"},  // before the start: an empty listing
        {&ControlValues::end_date, "01/01/2000", 1, 0, ""},          // one day
        {&ControlValues::end_date, "12/31/1999", 1, 3, ""},          // the progressed modes do not read it
    };
    for (const Case& c : cases) {
        ScanSetup s({0}, {1}, {0});
        s.cv.select_mode(c.mode);
        s.cv.*c.box = c.text;
        s.engine.calc_kind = c.calc_kind;
        const ScanOutcome outcome = s.engine.Start_Calcs();
        EXPECT_EQ(caption_of(outcome.invalid_field), c.field) << c.text;
        EXPECT_EQ(outcome.invalid_text, outcome.ran ? "" : c.text);
    }
}

// The Moon passes every degree in January 2000: the times and P2 longitudes of the rows.
std::vector<std::string> moon_rows(int calc_kind, const std::string& degree, const std::string& angle, int aspect) {
    ScanSetup s({1}, {0}, {aspect});
    s.move(1, 0.0, 13.0, jan1_2000, -20.25, 1.0);
    s.cv.user_defined_angle = angle;
    s.cv.zodiac_degree = degree;
    s.engine.calc_kind = calc_kind;
    EXPECT_TRUE(s.engine.Start_Calcs().ran) << degree;
    std::vector<std::string> rows;
    for (int r = 1; r <= s.engine.result_count; ++r)
        rows.push_back(std::string(s.engine.result_table[r][3]) + " " + std::string(s.engine.result_table[r][6]));
    return rows;
}

TEST(InputLimits, DegreesPastTheCircleAndAnglesNoSeparationCanHave) {
    // A degree is its place on the circle for the longitude aspects (370 missed the 5-degree
    // aspect below 10, 720 met none) and is read as written for the declinations.
    for (const auto& [degree, place] : {std::pair{"370", "10"}, {"-10", "350"}, {"720", "0"}, {"-700", "20"}, {"540", "180"}}) {
        for (int aspect : {0, 7, user_defined_aspect}) {
            const auto rows = moon_rows(0, degree, "5", aspect);
            EXPECT_FALSE(rows.empty()) << degree << " aspect " << aspect;
            EXPECT_EQ(rows, moon_rows(0, place, "5", aspect)) << degree << " aspect " << aspect;
        }
    }
    EXPECT_EQ(moon_rows(0, "-10", "5", parallel_aspect), std::vector<std::string>{"01/11/2000 06:00:00 350"});
    // No separation has these angles (1e30 swallowed the separation and gave a row where the
    // secant method met two equal orbs; "1e400" was a conjunction).
    for (const char* angle : {"1e308", "-1e308", "1e30", "1e400", "-1e400", "400", "-90", "180.01"})
        EXPECT_EQ(moon_rows(1, "0", angle, user_defined_aspect), std::vector<std::string>{}) << angle;
}

TEST(InputLimits, DatesPastTheCalendarAreNeitherListedNorCut) {
    // The progressed Moon's aspects to a natal Sun at 0, 99 years of life either side of the age
    // 8050 at the start date: those past the year 9999 are counted.
    ScanSetup s({1}, {0}, {0, 7, 14});
    s.move(1, 0.0, 13.0, jan1_2000);
    s.cv.select_mode(2);
    s.cv.start_date = "12/01/9999";
    s.cv.years_back = "99";
    ASSERT_TRUE(s.engine.Start_Calcs().ran);
    EXPECT_GT(s.engine.result_count, 10);
    EXPECT_GT(s.engine.rows_outside_calendar, 10);
    for (int r = 1; r <= s.engine.result_count; ++r)
        EXPECT_LT(progressed_to_calendar(s.engine.result_table[r].exact_jd, s.engine.natal_jd), GetJulianDay(1, 1, 10000));

    // How far a progressed scan got, in years of life (the year was cut to "0000"); a near-miss
    // date of the first years with four digits, as the listing's (it had "01/01/100").
    ScanPlan plan;
    plan.progressed = true;
    plan.natal_jd = GetJulianDay(6, 1, 9999);
    for (const auto& [years, text] : {std::pair{1.0, "a date after the year 9999"}, {-9950.0, "a date before the year 0100"},
                                      {-1.0, "05/31/9998"}})
        EXPECT_EQ(plan.calendar_date(plan.natal_jd + years, 0), text);
    const double first_day = unix_epoch_jd + static_cast<double>(days_from_civil({100, 1, 1}));
    EXPECT_EQ(GetCalendarDay(first_day, 0) + " " + GetCalendarDay(first_day, 2), "01/01/0100 0100/01/01");
}

}  // namespace
