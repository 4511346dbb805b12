#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/calendar.h"
#include "scan_setup.h"

using namespace tavrolin;
using namespace tavrolin::testing;

namespace {

// The near-miss lines without the header, as "P1 aspect P2: from - to".
std::vector<std::string> near_miss_lines(const Engine& g) {
    const std::string header = "\r\nWithin 1 deg. of exact:\r\n";
    EXPECT_EQ(g.near_miss_text.substr(0, header.size()), header);
    std::vector<std::string> lines;
    std::string rest = g.near_miss_text.substr(header.size());
    for (std::size_t p; (p = rest.find("\r\n")) != std::string::npos; rest.erase(0, p + 2)) lines.push_back(rest.substr(0, p));
    EXPECT_EQ(rest, "");
    return lines;
}

std::set<std::string> scanned_pairs(const Engine& g) {
    std::set<std::string> pairs;
    for (const auto& line : near_miss_lines(g)) pairs.insert(line.substr(0, line.find(':')));
    return pairs;
}

TEST(StartCalcs, PairFilters) {
    // With every position 0 a parallel is within one degree all the time and never becomes exact
    // (the orb does not change), so each scanned pair leaves exactly one near-miss line.
    struct Case {
        int calc_kind, mode, p1_helio, p2_helio, ignore_dups;
        std::vector<int> p1, p2;
        std::set<std::string> pairs;
    };
    const Case cases[] = {
        {1, 1, 0, 0, 0, {0, 4}, {0, 4}, {"Sun par Mars", "Mars par Sun"}},
        {1, 0, 0, 0, 0, {0, 4}, {0, 4}, {"Sun par Sun", "Sun par Mars", "Mars par Sun", "Mars par Mars"}},
        {1, 0, 0, 0, 1, {4}, {0, 5}, {"Mars par Jupiter"}},
        {1, 2, 0, 0, 1, {4, 5}, {4, 5}, {"Mars par Jupiter"}},
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
        ScanSetup s;
        s.engine.calc_kind = c.calc_kind;
        s.cv.mode = c.mode;
        s.cv.p1_helio = c.p1_helio;
        s.cv.p2_helio = c.p2_helio;
        s.cv.ignore_dups = c.ignore_dups;
        s.cv.zodiac_degree = "0";
        for (int b : c.p1) s.cv.p1_planets[static_cast<std::size_t>(b)] = 1;
        for (int b : c.p2) s.cv.p2_planets[static_cast<std::size_t>(b)] = 1;
        s.cv.aspects[parallel_aspect] = 1;
        ASSERT_TRUE(s.engine.Start_Calcs().ran);
        EXPECT_EQ(scanned_pairs(s.engine), c.pairs) << "mode " << c.mode << " kind " << c.calc_kind;
        EXPECT_EQ(s.engine.result_count, 0);
    }
}

// Mars (4) passing Jupiter (5), which stands at 100, exactly at `exact` (Julian day).
struct Passage : ScanSetup {
    explicit Passage(double exact, double rate = 1.0) {
        place(5, 100.0, 2.0);
        move(4, 100.0, rate, exact, 1.0);
        tick(4, 5, 0);
    }
};

TEST(StartCalcs, RangeEndsAndStepBoundaries) {
    struct Case {
        const char* start;
        const char* end;
        double exact;  // days after 0h of 01/01/2000
        int rows;
    };
    const Case cases[] = {
        {"01/01/2000", "01/01/2000", 0.5, 1},  // one day: one step, from 0h to 0h of the next day
        {"01/01/2000", "01/01/2000", 1.0, 1},
        {"01/01/2000", "01/01/2000", 1.5, 0},
        {"01/01/2000", "01/01/2000", -0.5, 0},
        {"01/01/2000", "01/02/2000", 1.0, 2},  // on a step boundary: found by both steps
        {"01/01/2000", "01/03/2000", 1.25, 1},
        {"01/03/2000", "01/01/2000", 1.25, 0},  // start after end: no step at all
    };
    for (const auto& c : cases) {
        Passage s(jan1_2000 + c.exact);
        s.cv.start_date = c.start;
        s.cv.end_date = c.end;
        ASSERT_TRUE(s.engine.Start_Calcs().ran);
        EXPECT_EQ(s.engine.result_count, c.rows) << c.start << "-" << c.end << " at " << c.exact;
        ASSERT_EQ(s.engine.result_table.size(), static_cast<std::size_t>(c.rows) + 1);
        for (int r = 1; r <= c.rows; ++r)
            EXPECT_EQ(s.engine.result_table[static_cast<std::size_t>(r)][3],
                      ConvertJDtoDateandTime(jan1_2000 + c.exact, "0").exact_date_str + " " +
                          ConvertJDtoDateandTime(jan1_2000 + c.exact, "0").exact_time_str);
    }
}

TEST(StartCalcs, RowColumns) {
    // Mars at 2 degrees a day reaches the square of Jupiter at 06:00 on 01/05/2000; the time
    // zone box shifts the written time only.
    ScanSetup s;
    const double exact = jan1_2000 + 4.25;
    s.place(5, 100.0, 2.5);
    s.move(4, 10.0, 2.0, exact, -1.5);
    s.tick(4, 5, 7);
    s.cv.tz = "8";
    ASSERT_TRUE(s.engine.Start_Calcs().ran);
    ASSERT_EQ(s.engine.result_count, 1);
    const ResultRow expected = {"4", "7", "5", "01/04/2000 22:00:00", "2.0000", "10", "100", "-1", "2", "0", "-1.5", "2.5"};
    EXPECT_EQ(s.engine.result_table[1], expected);
}

TEST(StartCalcs, DegreeCommandRow) {
    ScanSetup s;
    s.engine.calc_kind = 0;
    s.cv.zodiac_degree = "179.331227";
    s.move(4, 179.331227 + 90.0, -0.5, jan1_2000 + 10.5, 0.0);
    s.tick(4, 0, 7);
    s.engine.p2_speed = 3.0;  // from an earlier run
    ASSERT_TRUE(s.engine.Start_Calcs().ran);
    ASSERT_EQ(s.engine.result_count, 1);
    const ResultRow& row = s.engine.result_table[1];
    EXPECT_EQ(row[2], "0");
    EXPECT_EQ(row[3], "01/11/2000 12:00:00");
    EXPECT_EQ(row[6], "179.331227");
    EXPECT_EQ(row[7], "1");
    EXPECT_EQ(row[9], "0");
    EXPECT_EQ(row[11], "179.331227");
}

TEST(StartCalcs, NearMissWindow) {
    // Mars comes to within half a degree of Jupiter on 01/11/2000 and turns back without
    // reaching it: |orb| <= 1 while |t - 01/11| <= sqrt(10) days. With a second aspect of 0.45
    // degrees ticked, never exact either but with a wider window (|t - 01/11| <= sqrt(19)),
    // the pair still gives one line, from the first opening to the last closing.
    struct Case {
        const char* user_angle;
        int mode;
        const char* line;
    };
    const Case cases[] = {
        {nullptr, 1, "Mars 000 Jupiter: 01/07/2000 - 01/14/2000"},
        {"0.45", 1, "Mars 0.45 Jupiter: 01/06/2000 - 01/15/2000"},
    };
    const double tm = jan1_2000 + 10.0;
    for (const auto& c : cases) {
        ScanSetup s;
        s.place(5, 100.0);
        s.swe.set_motion(4, [tm](double t, int, double* xx) { xx[0] = 99.5 - 0.05 * (t - tm) * (t - tm); });
        s.tick(4, 5, 0);
        if (c.user_angle) {
            s.cv.user_defined_angle = c.user_angle;
            s.cv.aspects[user_defined_aspect] = 1;
        }
        ASSERT_TRUE(s.engine.Start_Calcs().ran);
        EXPECT_EQ(near_miss_lines(s.engine), std::vector<std::string>{c.line});
    }
}

TEST(StartCalcs, NearMissOpensAndClosesOnlyForAspectsWhoseSignsFit) {
    // Mars stands in longitude at `lon`, Jupiter at 100; Mars' declination rises 0.1 degree a
    // day from 0.25, Jupiter's stays at `jupiter_decl`.
    struct Case {
        double lon, jupiter_decl;
        std::vector<int> aspects;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {99.0, 0.0, {0}, {"Mars 000 Jupiter: 01/01/2000 - 01/31/2000"}},  // exactly one degree
        {98.9, 0.0, {0}, {}},
        {90.0, -0.2, {16}, {}},  // within one degree, but a parallel wants equal signs
        {90.0, -0.2, {17}, {"Mars c.p Jupiter: 01/01/2000 - 01/10/2000"}},
        {90.0, 0.2, {17}, {}},
        // The parallel closes its window on 01/09 and so names the line; a parallel whose signs
        // do not fit closes nothing.
        {99.5, 0.1, {0, 16}, {"Mars par Jupiter: 01/01/2000 - 01/09/2000"}},
        {99.5, -0.1, {0, 16}, {"Mars 000 Jupiter: 01/01/2000 - 01/31/2000"}},
    };
    for (const auto& c : cases) {
        ScanSetup s;
        s.place(5, 100.0, c.jupiter_decl);
        s.move(4, c.lon, 0.0, jan1_2000, 0.25, 0.1);
        s.cv.p1_planets[4] = s.cv.p2_planets[5] = 1;
        for (int a : c.aspects) s.cv.aspects[static_cast<std::size_t>(a)] = 1;
        ASSERT_TRUE(s.engine.Start_Calcs().ran);
        EXPECT_EQ(near_miss_lines(s.engine), c.lines) << c.lon << " " << c.jupiter_decl;
    }
}

TEST(StartCalcs, LaterAspectsOfAStepSeeItsPositionsAfterARow) {
    // Mars meets Jupiter in longitude at 07:12 on 01/01. Its declination bulges above Jupiter's
    // (1.0) in the middle of the day but is equal at both ends of the step, so the parallel has
    // no linear estimate; estimated from the declination at the moment of the conjunction it
    // would be refined (to the midpoint) and listed.
    ScanSetup s;
    s.place(5, 100.0, 1.0);
    s.swe.set_motion(4, [](double t, int, double* xx) {
        const double u = t - jan1_2000;
        xx[0] = 100.0 + (u - 0.3);
        xx[1] = 1.1 - (u - 0.5) * (u - 0.5);
        xx[3] = 1.0;
    });
    s.tick(4, 5, 0);
    s.cv.aspects[parallel_aspect] = 1;
    s.cv.end_date = s.cv.start_date;
    ASSERT_TRUE(s.engine.Start_Calcs().ran);
    ASSERT_EQ(s.engine.result_count, 1);
    EXPECT_EQ(s.engine.result_table[1][1], "0");
}

TEST(StartCalcs, UserDefinedAngleIsSearchedInSinglePrecision) {
    // The separation grows by 0.001 degree a day and is 51.7 at 12:00 on 01/11; the angle searched,
    // the float nearest 51.7, lies 0.00000076 degree further on.
    ScanSetup s;
    const double t51_7 = jan1_2000 + 10.5;
    s.place(5, 100.0);
    s.move(4, 100.0 - 51.7, -0.001, t51_7);
    s.tick(4, 5, user_defined_aspect);
    ASSERT_TRUE(s.engine.Start_Calcs().ran);
    ASSERT_EQ(s.engine.result_count, 1);
    const auto when = ConvertJDtoDateandTime(t51_7 + (static_cast<double>(51.7f) - 51.7) / 0.001, "0");
    EXPECT_EQ(s.engine.result_table[1][3], when.exact_date_str + " " + when.exact_time_str);
    EXPECT_NE(when.exact_time_str, "12:00:00");
}

TEST(StartCalcs, NearMissStaysOpenAndIsSuppressedByAnExactHit) {
    ScanSetup s;
    s.place(5, 100.0);
    s.place(6, 100.2);
    s.move(4, 99.3, 0.0, 0.0);
    s.tick(4, 5, 0);
    s.tick(4, 6, 7);
    ASSERT_TRUE(s.engine.Start_Calcs().ran);
    // Never closing, the window runs to the end of the range.
    EXPECT_EQ(near_miss_lines(s.engine),
              (std::vector<std::string>{"Mars 000 Jupiter: 01/01/2000 - 01/31/2000", "Mars 000 Saturn: 01/01/2000 - 01/31/2000"}));

    // Saturn moving through the square of Mars: an exact hit of any aspect removes the pair's line.
    s.move(6, 189.3 - 3.4, 1.0, jan1_2000);
    ASSERT_TRUE(s.engine.Start_Calcs().ran);
    EXPECT_EQ(s.engine.result_count, 1);
    EXPECT_EQ(near_miss_lines(s.engine), std::vector<std::string>{"Mars 000 Jupiter: 01/01/2000 - 01/31/2000"});
}

TEST(StartCalcs, ProgressedModesScanYearsAsDaysAndConvertOnlyTheNearMissDates) {
    const double natal_jd = GetJulianDay(9, 22, 1949) + natal_hours_from_text("16.43") / 24.0;
    // Age 56 at the start date, two years back: progressed days natal + 54 .. natal + 58.
    const double first = 56.0 + natal_jd - 2.0;
    const auto calendar = [&](double t) { return GetCalendarDay((t - natal_jd) * 365.242199 + natal_jd, 0); };
    for (int mode : {2, 3}) {
        ScanSetup s;
        s.cv.select_mode(mode);
        s.cv.start_date = "12/01/2005";
        s.cv.end_date = "12/31/2005";
        s.cv.years_back = "2";
        // Natal Jupiter at 100 and Saturn at 107. Mars reaches Jupiter 1.5 progressed days into
        // the window; Venus comes within a degree of Saturn without reaching it.
        s.place(5, 100.0);
        s.place(6, 107.0);
        std::string near_miss;
        if (mode == 2) {
            s.move(4, 100.0, 0.8, first + 1.5);
            s.swe.set_motion(3, [&](double t, int, double* xx) { xx[0] = 106.5 - 0.5 * (t - first - 2.5) * (t - first - 2.5); });
            near_miss = "Venus 000 Saturn: " + calendar(first + 1) + " - " + calendar(first + 3);
        } else {
            // A solar arc of a degree a progressed day carries the natal places along.
            s.move(0, 300.0, 1.0, natal_jd);
            s.place(4, 100.0 - (first + 1.5 - natal_jd));
            s.place(3, 106.9 - (first + 5.0 - natal_jd));
            near_miss = "Venus 000 Saturn: " + calendar(first + 4) + " - " + calendar(first + 4);
        }
        s.tick(4, 5, 0);
        s.tick(3, 6, 0);
        ASSERT_TRUE(s.engine.Start_Calcs().ran);
        ASSERT_EQ(s.engine.result_count, 1) << mode;
        // The row keeps progressed time.
        const auto when = ConvertJDtoDateandTime(first + 1.5, "0");
        EXPECT_EQ(s.engine.result_table[1][3], when.exact_date_str + " " + when.exact_time_str);
        EXPECT_EQ(s.engine.result_table[1][8], mode == 3 ? "1" : "0.8");
        EXPECT_EQ(near_miss_lines(s.engine), std::vector<std::string>{near_miss}) << mode;
    }
}

TEST(StartCalcs, NoModeSelectedRefillsTheNatalTablesInsteadOfUsingStaleOnes) {
    // A settings file can leave no mode button selected. P2 then still reads the natal tables, so
    // they are filled afresh rather than left from an earlier run.
    ScanSetup s;
    s.cv.mode = -1;
    s.place(5, 100.0);
    s.move(4, 90.0, 1.0, jan1_2000 + 2.5);
    s.tick(4, 5, 0);
    s.engine.natal_lon[5] = 50.0;  // left over from an earlier run
    ASSERT_TRUE(s.engine.Start_Calcs().ran);
    EXPECT_EQ(s.engine.natal_lon[5], 100.0);
    ASSERT_EQ(s.engine.result_count, 1);
    EXPECT_EQ(s.engine.result_table[1][3], "01/13/2000 12:00:00");
}

TEST(StartCalcs, AnAngleBeyondSinglePrecisionFindsNothing) {
    ScanSetup s;
    s.place(5, 100.0);
    s.move(4, 50.0, 13.0, jan1_2000 + 2.5);
    s.tick(4, 5, user_defined_aspect);
    for (const char* angle : {"1e39", "-1e39"}) {
        s.cv.user_defined_angle = angle;
        ASSERT_TRUE(s.engine.Start_Calcs().ran);
        EXPECT_EQ(s.engine.result_count, 0);
        EXPECT_TRUE(near_miss_lines(s.engine).empty());
    }
}

TEST(StartCalcs, RepeatedRunsGiveTheSameResults) {
    ScanSetup s;
    s.place(5, 100.0);
    s.place(6, 250.0);
    s.move(4, 100.0, 1.5, jan1_2000 + 3.3);
    s.tick(4, 5, 0);
    s.tick(4, 6, 7);
    s.tick(4, 6, 9);
    s.cv.end_date = "06/30/2000";
    ASSERT_TRUE(s.engine.Start_Calcs().ran);
    const auto table = s.engine.result_table;
    const auto near_miss = s.engine.near_miss_text;
    EXPECT_GT(s.engine.result_count, 3);
    ASSERT_TRUE(s.engine.Start_Calcs().ran);
    EXPECT_EQ(s.engine.result_table, table);
    EXPECT_EQ(s.engine.near_miss_text, near_miss);
}

TEST(StartCalcs, InvalidDateChangesNothing) {
    struct Case {
        const char* start;
        const char* end;
        const char* natal;
        const char* field;
        const char* text;
    };
    const Case cases[] = {
        {"13/01/2000", "01/31/2000", "09/22/1949", "Start Date", "13/01/2000"},
        {"01/01/2000", "02/30/2000", "09/22/1949", "End Date", "02/30/2000"},
        {"01/01/2000", "01/31/2000", "", "Natal date", ""},
        {"x", "01/31/2000", "y", "Start Date", "x"},
    };
    for (const auto& c : cases) {
        Passage s(jan1_2000 + 2.5);
        ASSERT_TRUE(s.engine.Start_Calcs().ran);
        const auto table = s.engine.result_table;
        s.cv.start_date = c.start;
        s.cv.end_date = c.end;
        s.cv.natal_date = c.natal;
        s.cv.p1_planets.fill(0);
        const ScanOutcome out = s.engine.Start_Calcs();
        EXPECT_FALSE(out.ran);
        EXPECT_EQ(out.invalid_field, c.field);
        EXPECT_EQ(out.invalid_text, c.text);
        EXPECT_EQ(s.engine.result_count, 1);
        EXPECT_EQ(s.engine.result_table, table);
        EXPECT_TRUE(s.engine.last_outcome.ran);
    }
}

TEST(StartCalcs, StopsCleanlyAtTheRowLimit) {
    const double natal_jd = GetJulianDay(9, 22, 1949) + natal_hours_from_text("16.43") / 24.0;
    for (int mode : {1, 2}) {
        ScanSetup s;
        s.cv.select_mode(mode);
        s.cv.end_date = "12/31/2000";
        s.cv.years_back = "50";  // mode 2, age 50: progressed days natal_jd .. natal_jd + 100
        const double scan_start = mode == 1 ? jan1_2000 : natal_jd;
        s.place(5, 100.0);
        s.move(4, 100.0, 30.0, scan_start + 0.5);  // a conjunction every 12 days
        s.tick(4, 5, 0);
        s.engine.row_limit = 3;
        const ScanOutcome out = s.engine.Start_Calcs();
        ASSERT_TRUE(out.ran);
        EXPECT_TRUE(out.row_limit_reached);
        EXPECT_EQ(s.engine.result_count, 3);
        EXPECT_EQ(s.engine.result_table.size(), 4u);
        EXPECT_EQ(s.engine.last_outcome.stopped_at_date, out.stopped_at_date);
        // The third hit lies in the step that starts 24 days into the scan; the date is calendar time.
        const double step = scan_start + 24.0;
        EXPECT_EQ(out.stopped_at_date, GetCalendarDay(mode == 1 ? step : (step - natal_jd) * 365.242199 + natal_jd, 0));

        s.engine.row_limit = 100;
        EXPECT_FALSE(s.engine.Start_Calcs().row_limit_reached);
        EXPECT_GT(s.engine.result_count, 3);
    }
}

TEST(StartCalcs, PositionsTheLibraryCouldNotComputeGiveNoResults) {
    // Mars passes Jupiter on 01/05 and 01/21 (at 22.5 degrees a day, 16 days apart), and Saturn,
    // standing at 0, on 01/16 at 19:20. Saturn's data have a gap around that time: the double
    // then returns 0, which is Saturn's true place, so only the error tells the moment is unsound.
    ScanSetup s;
    s.place(5, 100.0);
    s.place(6, 0.0);
    s.move(4, 100.0, 22.5, jan1_2000 + 4.25);
    s.tick(4, 5, 0);
    s.tick(4, 6, 0);
    s.swe.failing_between[6] = {jan1_2000 + 15.7, jan1_2000 + 15.9};
    ASSERT_TRUE(s.engine.Start_Calcs().ran);
    ASSERT_EQ(s.engine.result_count, 2);
    EXPECT_EQ(s.engine.result_table[1][2], "5");
    EXPECT_EQ(s.engine.result_table[2][2], "5");
    ASSERT_EQ(s.eph.errors().size(), 1u);
    EXPECT_TRUE(s.eph.failed(6));
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
    const double natal_jd = GetJulianDay(9, 22, 1949) + natal_hours_from_text("16.43") / 24.0;
    for (int body : {5, 7}) s.swe.failing_between[body] = {natal_jd - 0.1, natal_jd + 0.1};
    s.place(6, 100.4);  // natal Saturn: a near miss that would be listed
    s.move(4, 100.0, 0.0, 0.0);
    ASSERT_TRUE(s.engine.Start_Calcs().ran);
    EXPECT_EQ(s.engine.result_count, 0);
    EXPECT_EQ(near_miss_lines(s.engine), std::vector<std::string>{"Mars 000 Saturn: 01/01/2000 - 01/31/2000"});
    ASSERT_EQ(s.eph.errors().size(), 1u);
    EXPECT_TRUE(s.eph.failed(5));
}

}  // namespace
