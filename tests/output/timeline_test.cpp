// The timeline's lanes: exact moments and stretches within one degree, checked against the
// library's own positions for a real conjunction and against scripted motions for the rest.
#include "output/timeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <tuple>

#include "engine/parallel_scan.h"
#include "engine/swe_api.h"
#include "output/calculation_command.h"
#include "output/event_text.h"
#include "support/fake_swe.h"

using namespace tavrolin;
using tavrolin::testing::jan1_2000;
using tavrolin::testing::ScanSetup;

TEST(Timeline, RealConjunctionStretchMatchesTheLibrary) {
    set_ephemeris_path(".");
    LibSwe swe;
    Ephemeris eph(swe);
    Engine engine(eph);
    engine.cv = tavrolin::testing::ut_run("06/01/2020", "06/30/2021", 1, {5}, {6}, {0});  // Jupiter to Saturn
    // The library's moments: exact on 21 December 2020 at 18:20:36 UT, within one degree from
    // 12 December 17:32 to 30 December 14:44 UT (the longitudes' difference passing -1 and 1).
    const double exact = 2459205.264309, from = 2459196.230642, to = 2459214.113752;
    std::vector<OrbStretch> literal;
    for (bool fast : {false, true}) {
        ScanControl control;
        const auto out = run_calculation_command(engine, 1, {}, fast ? &control : nullptr);
        ASSERT_TRUE(out.ran) << out.invalid_date;
        const Timeline t = build_timeline(engine);
        ASSERT_EQ(t.lanes.size(), 1u);
        const TimelineLane& lane = t.lanes[0];
        ASSERT_EQ(std::tuple(lane.label, lane.family, lane.marks.size(), lane.stretches.size()),
                  std::tuple("Jupiter 000 Saturn", AspectFamily::conjunction, 1u, 1u));
        // Within the refinement's tolerance; the stretch to well within a day.
        EXPECT_NEAR(lane.marks[0].jd, exact, 0.0002);
        EXPECT_NEAR(lane.stretches[0].from_jd, from, 0.02);
        EXPECT_NEAR(lane.stretches[0].to_jd, to, 0.02);
        EXPECT_DOUBLE_EQ(t.from_jd, 2459001.5);
        EXPECT_DOUBLE_EQ(t.to_jd, 2459396.5);
        // Both ways of scanning gather the very same stretches.
        if (!fast) literal = engine.orb_stretches;
        else EXPECT_EQ(engine.orb_stretches, literal);
    }
}

// A body that swings back and forth over another passes it three times: one lane, three marks;
// its stretches within orb are one while the swing stays inside a degree, three when it does not.
TEST(Timeline, TriplePassJoinsOrSplitsStretchesByTheOrb) {
    for (const double swing : {0.9, 5.0}) {
        ScanSetup s;
        s.tick({4}, {5}, {0, 7});
        s.move(5, 100.0);
        // Mars at 100 + swing * sin: exact on Jan 6, 16 and 26 (07:12 UT).
        s.swe.motions[4] = [=](double t, int, double* xx) {
            const double w = 2 * std::numbers::pi / 20;
            xx[0] = 100.0 + swing * std::sin(w * (t - jan1_2000 - 5.3));
            xx[3] = swing * w * std::cos(w * (t - jan1_2000 - 5.3));
        };
        const auto out = run_calculation_command(s.engine, 1);
        ASSERT_TRUE(out.ran);
        const Timeline t = build_timeline(s.engine);
        ASSERT_EQ(t.lanes.size(), 1u) << swing << out.text;  // no row and no near miss for the square
        const TimelineLane& lane = t.lanes[0];
        ASSERT_EQ(std::tuple(lane.label, lane.marks.size()), std::tuple("Mars 000 Jupiter", 3u)) << out.text;
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(lane.marks[i].jd, jan1_2000 + 5.3 + 10 * i, 0.001);
        if (swing < 1.0) {
            ASSERT_EQ(lane.stretches.size(), 1u);
            EXPECT_DOUBLE_EQ(lane.stretches[0].from_jd, t.from_jd);
            EXPECT_DOUBLE_EQ(lane.stretches[0].to_jd, t.to_jd);
        } else {
            ASSERT_EQ(lane.stretches.size(), 3u);
            const double half = std::asin(1.0 / swing) / (2 * std::numbers::pi / 20);
            for (int i = 0; i < 3; ++i) {
                EXPECT_NEAR(lane.stretches[i].from_jd, jan1_2000 + 5.3 + 10 * i - half, 0.05);
                EXPECT_NEAR(lane.stretches[i].to_jd, jan1_2000 + 5.3 + 10 * i + half, 0.05);
            }
        }
    }
}

// Progressed to natal: one day of the scan is a year of life, for marks, stretches and range.
TEST(Timeline, ProgressedRunIsInCalendarTime) {
    ScanSetup s;
    s.cv.select_mode(2);
    s.cv.start_date = "01/01/2000";
    s.cv.years_back = "1";
    s.tick({0}, {4}, {0});
    s.move(4, 100.0);
    ASSERT_TRUE(s.engine.compute_natal_moment());
    const double natal = s.engine.natal_jd;
    // The progressed Sun reaches natal Mars 50.3 progressed days after birth, moving a degree a day.
    s.move(0, 100.0, 1.0, natal + 50.3);
    ASSERT_TRUE(run_calculation_command(s.engine, 1).ran);
    const Timeline t = build_timeline(s.engine);
    ASSERT_EQ(t.lanes.size(), 1u);
    ASSERT_EQ(std::tuple(t.lanes[0].marks.size(), t.lanes[0].stretches.size()), std::tuple(1u, 1u));
    const double year = 365.242199;
    EXPECT_NEAR(t.lanes[0].marks[0].jd, natal + 50.3 * year, 0.01 * year);
    EXPECT_NEAR(t.lanes[0].stretches[0].from_jd, natal + 49.3 * year, 0.01 * year);
    EXPECT_NEAR(t.lanes[0].stretches[0].to_jd, natal + 51.3 * year, 0.01 * year);
    // The scan covers the whole years around the age at the start date: 49 to 52 years of life.
    const double midnight = std::floor(natal - 0.5) + 0.5;
    EXPECT_NEAR(t.from_jd, natal + (std::floor((2451544.5 - midnight) / year) - 1) * year, 1e-6);
    EXPECT_NEAR(t.to_jd - t.from_jd, 3 * year, 1e-6);
}

// A near miss alone makes a lane with its stretch and no marks.
TEST(Timeline, NearMissAlone) {
    ScanSetup s;
    s.tick({4}, {5}, {0});
    s.move(5, 100.0);
    // Mars comes to 0.5 degrees of Jupiter on Jan 11 and turns back.
    s.swe.motions[4] = [](double t, int, double* xx) { xx[0] = 100.5 + 0.02 * (t - jan1_2000 - 10) * (t - jan1_2000 - 10); };
    ASSERT_TRUE(run_calculation_command(s.engine, 1).ran);
    const Timeline t = build_timeline(s.engine);
    ASSERT_EQ(t.lanes.size(), 1u);
    ASSERT_EQ(std::tuple(t.lanes[0].marks.size(), t.lanes[0].stretches.size()), std::tuple(0u, 1u));
    EXPECT_NEAR(t.lanes[0].stretches[0].from_jd, jan1_2000 + 10 - 5, 0.01);
    EXPECT_NEAR(t.lanes[0].stretches[0].to_jd, jan1_2000 + 10 + 5, 0.01);
}

// The sky's event lanes from the library's real positions: Mercury's retrograde period of April
// 2024 (stations 1 April 22:14 UT and 25 April 12:54 UT) with its shadows, seen through ranges that
// hold all of it, only its middle and only its end; its ingresses and the lunations beside it.
TEST(Timeline, EventLanesOfMercuryRetrogradeAndLunations) {
    set_ephemeris_path(".");
    LibSwe swe;
    Ephemeris eph(swe);
    // An independent bisection: the moment in [a, b] at which Mercury's longitude, rising, passes lon.
    const auto passes = [&](double a, double b, double lon) {
        for (int i = 0; i < 60; ++i) {
            const double m = 0.5 * (a + b);
            (std::remainder(eph.Get_1_Planet_geo(m, 2) - lon, 360.0) < 0 ? a : b) = m;
        }
        return a;
    };
    const double retro = 2460402.4264, direct = 2460426.0375;  // the published stations, to the minute
    const double retro_lon = eph.Get_1_Planet_geo(retro, 2), direct_lon = eph.Get_1_Planet_geo(direct, 2);
    const double shadow_from = passes(2460380.5, retro - 5, direct_lon);  // 18 March 2024, in America
    const double shadow_to = passes(direct + 5, 2460460.5, retro_lon);    // 13 May 2024

    struct Case {
        const char *from, *to;
        std::size_t spans, shadows, ingresses;
    };
    for (const Case& c : {Case{"03/01/2024", "05/31/2024", 1, 2, 2}, Case{"04/10/2024", "04/20/2024", 1, 0, 0},
                          Case{"05/01/2024", "05/31/2024", 0, 1, 1}}) {
        SCOPED_TRACE(c.from);
        Engine engine(eph);
        engine.cv = tavrolin::testing::ut_run(c.from, c.to, 1, {2}, {}, {});
        engine.cv.stations = engine.cv.ingresses = engine.cv.lunations = true;
        ASSERT_TRUE(run_calculation_command(engine, 1).ran);
        const Timeline t = build_timeline(engine);
        ASSERT_EQ(std::pair(t.event_lanes, t.lanes.size()), std::pair(2, std::size_t{2}));
        const TimelineLane& mercury = t.lanes[0];
        EXPECT_EQ(std::pair(mercury.kind, t.lanes[1].kind), std::pair(LaneKind::body_events, LaneKind::lunations));
        ASSERT_EQ(std::tuple(mercury.spans.size(), mercury.shadows.size(), mercury.events.size()),
                  std::tuple(c.spans, c.shadows, c.ingresses));
        // Every period reaching into the range is whole, whichever of its ends lie outside it.
        ASSERT_EQ(engine.retrograde_periods.size(), 1u);
        const RetrogradePeriod& p = engine.retrograde_periods[0];
        EXPECT_NEAR(p.retrograde_from, retro, 1.0 / 1440);
        EXPECT_NEAR(p.retrograde_to, direct, 1.0 / 1440);
        EXPECT_NEAR(p.shadow_from, shadow_from, 1e-4);
        EXPECT_NEAR(p.shadow_to, shadow_to, 1e-4);
        // Drawn cut at the range.
        const auto within = [&](double jd) { return std::clamp(jd, t.from_jd, t.to_jd); };
        EXPECT_TRUE(c.spans == 0 || (mercury.spans[0].from_jd == within(p.retrograde_from) &&
                                     mercury.spans[0].to_jd == within(p.retrograde_to) &&
                                     mercury.spans[0].text.starts_with("Mercury retrograde from 04/01/2024 22:1")));
        EXPECT_TRUE(c.shadows == 0 || mercury.shadows.back().to_jd == within(p.shadow_to));
        EXPECT_TRUE(c.shadows < 2 || mercury.shadows[0].from_jd == p.shadow_from);

        // The lunations: each crossing of a quarter by the Moon's elongation, sampled hourly.
        int quarters = 0;
        const auto quarter = [&](double jd) {
            return std::floor(std::fmod(eph.Get_1_Planet_geo(jd, 1) - eph.Get_1_Planet_geo(jd, 0) + 720.0, 360.0) / 90.0);
        };
        for (double jd = t.from_jd; jd + 1.0 / 24 <= t.to_jd + 1e-9; jd += 1.0 / 24) quarters += quarter(jd) != quarter(jd + 1.0 / 24);
        ASSERT_EQ(t.lanes[1].events.size(), static_cast<std::size_t>(quarters));
        for (const TimelineEvent& e : t.lanes[1].events) EXPECT_EQ(e.text.find(event_words(e.event)), 0u) << e.text;
    }
}

// The Moon's house ingresses of a month are marks in its lane, each with its listing line.
TEST(Timeline, HouseIngressesAreMarksInTheBodysLane) {
    set_ephemeris_path(".");
    LibSwe swe;
    Ephemeris eph(swe);
    Engine engine(eph);
    engine.cv = tavrolin::testing::ut_run("03/01/2024", "03/31/2024", 0, {1}, {}, {});
    engine.cv.latitude = "51N30";
    engine.cv.longitude = "0W07";
    engine.cv.house_ingresses = true;
    ASSERT_TRUE(run_calculation_command(engine, 1).ran);
    const Timeline t = build_timeline(engine);
    ASSERT_EQ(std::tuple(t.event_lanes, t.lanes.size(), t.lanes[0].label), std::tuple(1, std::size_t{1}, "Moon"));
    ASSERT_GE(engine.sky_events.size(), 12u);
    ASSERT_EQ(t.lanes[0].events.size(), engine.sky_events.size());
    for (const TimelineEvent& e : t.lanes[0].events) EXPECT_EQ(e.text.find("Moon enters natal house"), 0u) << e.text;
}
