// Numbers from the boxes at and beyond what the run can use: refused like an invalid date, wrapped
// onto the circle, or counted off the calendar, never taken for something else.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/calendar.h"
#include "engine/text_rules.h"
#include "support/fake_swe.h"

namespace tavrolin {
namespace {

TEST(InputLimits, ANumberTheRunCannotUseIsRefusedOnlyWhereTheRunReadsIt) {
    struct Case { std::string ControlValues::*box; const char* text; int calc_kind, mode; const char* field; };
    const Case cases[] = {
        {&ControlValues::zodiac_degree, "1e20", 0, 0, "Zodiac decimal degree"},
        {&ControlValues::zodiac_degree, "1e400", 0, 0, "Zodiac decimal degree"},  // was degree 0
        {&ControlValues::zodiac_degree, "720.01", 0, 2, "Zodiac decimal degree"},
        {&ControlValues::zodiac_degree, "-720", 0, 0, ""},
        {&ControlValues::zodiac_degree, "1e20", 1, 0, ""},  // the aspects command does not read it
        {&ControlValues::years_back, "-5", 1, 2, "Yrs back"},  // scanned nothing
        {&ControlValues::years_back, "1e9", 0, 3, "Yrs back"},  // scanned without end
        {&ControlValues::years_back, "99.5", 1, 3, "Yrs back"},
        {&ControlValues::years_back, "99", 1, 2, ""},
        {&ControlValues::years_back, ".5", 1, 3, ""},
        {&ControlValues::years_back, "-5", 1, 0, ""},  // transits do not read it
        {&ControlValues::tz, "1e400", 1, 0, "Time Zone"},                 // was Universal Time
        {&ControlValues::natal_time, "1e400", 1, 0, "Natal time (GMT)"},  // was 0h
    };
    for (const Case& c : cases) {
        testing::ScanSetup s({0}, {1}, {0});
        s.cv.select_mode(c.mode);
        s.cv.*c.box = c.text;
        s.engine.calc_kind = c.calc_kind;
        const ScanOutcome outcome = s.engine.Start_Calcs();
        EXPECT_EQ(outcome.invalid_field, c.field) << c.text;
        EXPECT_EQ(outcome.invalid_text, outcome.ran ? "" : c.text);
    }
}

// The Moon passes every degree in January 2000: the times and P2 longitudes of the rows.
std::vector<std::string> moon_rows(int calc_kind, const std::string& degree, const std::string& angle, int aspect) {
    testing::ScanSetup s({1}, {0}, {aspect});
    s.move(1, 0.0, 13.0, testing::jan1_2000, -20.25, 1.0);
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
    testing::ScanSetup s({1}, {0}, {0, 7, 14});
    s.move(1, 0.0, 13.0, testing::jan1_2000);
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
}  // namespace tavrolin
