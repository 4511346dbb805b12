// The calculation's own rules, with the ephemeris double: which pairs are scanned, the near-miss
// section, the row limit, failed positions and the signed orb.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "engine/calendar.h"
#include "support/fake_swe.h"

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

const double natal_jd = GetJulianDay(9, 22, 1949) + natal_hours_from_text("16.43") / 24.0;

TEST(StartCalcs, PairFiltersAndNatalTables) {
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
        s.tick(c.p1, c.p2, {parallel_aspect});
        s.engine.natal_lon.fill(50.0);  // left from an earlier run
        ASSERT_TRUE(s.engine.Start_Calcs().ran);
        std::set<std::string> pairs;
        for (const auto& line : near_miss_lines(s.engine)) pairs.insert(line.substr(0, line.find(':')));
        EXPECT_EQ(pairs, c.pairs) << "mode " << c.mode << " kind " << c.calc_kind;
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
        ScanSetup s;
        s.move(5, 100.0, 0.0, 0.0, c.jupiter_decl);
        s.move(4, c.lon, 0.0, jan1_2000, 0.25, 0.1);
        s.move(6, 189.3 - 3.4, 1.0, jan1_2000);
        s.tick({4}, c.saturn ? std::vector<int>{5, 6} : std::vector<int>{5}, c.aspects);
        ASSERT_TRUE(s.engine.Start_Calcs().ran);
        EXPECT_EQ(near_miss_lines(s.engine), c.lines) << c.lon << " " << c.jupiter_decl;
        EXPECT_EQ(s.engine.result_count, c.saturn ? 1 : 0);
    }
    // Mars leaves the conjunction's orb on the first day, before any window opens, and settles
    // within a degree of an angle of 10 on 01/17: the window runs from there (it ended 01/01).
    ScanSetup s;
    s.move(5, 100.0);
    s.swe.motions[4] = [](double t, int, double* xx) { xx[0] = std::max(99.05 - 0.5 * (t - jan1_2000), 91.0); };
    s.tick({4}, {5}, {0, user_defined_aspect});
    s.cv.user_defined_angle = "10";
    ASSERT_TRUE(s.engine.Start_Calcs().ran);
    EXPECT_EQ(near_miss_lines(s.engine), std::vector<std::string>{"Mars 10 Jupiter: 01/17/2000 - 01/31/2000"});
}

TEST(StartCalcs, StopsCleanlyAtTheRowLimit) {
    for (int mode : {1, 2}) {
        ScanSetup s;
        s.cv.select_mode(mode);
        s.cv.end_date = "12/31/2000";
        s.cv.years_back = "50";  // mode 2, age 50: progressed days natal_jd .. natal_jd + 100
        const double scan_start = mode == 1 ? jan1_2000 : natal_jd;
        s.move(5, 100.0);
        s.move(4, 100.0, 30.0, scan_start + 0.5);  // a conjunction every 12 days
        s.tick({4}, {5}, {0});
        s.engine.row_limit = 3;
        const ScanOutcome out = s.engine.Start_Calcs();
        // The third hit lies in the step that starts 24 days into the scan; the date is calendar
        // time (progressed days turned into years of life).
        const double step = scan_start + 24.0;
        const std::string date = GetCalendarDay(mode == 1 ? step : (step - natal_jd) * 365.242199 + natal_jd, 0);
        EXPECT_EQ(std::tuple(out.ran, out.row_limit_reached, out.stopped_at_date, s.engine.last_outcome.stopped_at_date,
                             s.engine.result_count, s.engine.result_table.size()),
                  std::tuple(true, true, date, date, 3, std::size_t{4}))
            << mode;
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
    s.move(5, 100.0);
    s.move(6, 0.0);
    s.move(4, 100.0, 22.5, jan1_2000 + 4.25);
    s.tick({4}, {5, 6}, {0});
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
    EXPECT_EQ(near_miss_lines(s.engine), std::vector<std::string>{"Mars 000 Saturn: 01/01/2000 - 01/31/2000"});
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

}  // namespace
