// The sky events: published moments with the real library and data files, and the finder's own
// logic (steps, loops, wraps, failures, cancelling) on scripted motions.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include <swephexp.h>

#include "engine/parallel_scan.h"
#include "engine/sky_events.h"
#include "support/fake_swe.h"

using namespace tavrolin;
using namespace tavrolin::testing;

namespace {

double ut(int y, int m, int d, int h, int mi) { return swe_julday(y, m, d, h + mi / 60.0, SE_GREG_CAL); }

struct Published {
    const char* name;
    SkyEventKind kind;
    int body;
    double jd;
    bool retrograde = false;
    int sign = 0;
    EclipseType eclipse = EclipseType::none;
};

// Published moments, to the minute they are given in; the finder's moment must lie within a
// minute of each, with no second event of its kind and body within two days.
TEST(SkyEventsReal, PublishedMoments) {
    set_ephemeris_path(TAVROLIN_BIN_DIR);
    LibSwe swe;
    Ephemeris eph(swe);
    LibSweEclipses eclipses;
    const std::vector<Published> cases = {
        {"Mercury stations retrograde", SkyEventKind::station, 2, ut(2024, 4, 1, 22, 14), true},
        {"Mercury stations direct", SkyEventKind::station, 2, ut(2024, 4, 25, 12, 54)},
        {"Saturn enters Pisces", SkyEventKind::ingress, 6, ut(2023, 3, 7, 13, 34), false, 12},
        {"total solar eclipse", SkyEventKind::eclipse, 0, ut(2024, 4, 8, 18, 17), false, 0, EclipseType::total_solar},
        {"new moon", SkyEventKind::lunation, 1, ut(2024, 4, 8, 18, 21)},
    };
    for (const Published& c : cases) {
        SCOPED_TRACE(c.name);
        SkyEventSearch s;
        s.from_jd = c.jd - 2.0;
        s.to_jd = c.jd + 2.0;
        s.bodies = {c.body};
        s.kinds = {true, true, true, true, false};
        const SkyEventsResult r = find_sky_events(eph, &eclipses, s);
        EXPECT_TRUE(r.errors.empty());
        int found = 0;
        for (const SkyEvent& e : r.events) {
            if (e.kind != c.kind || e.body != c.body) continue;
            ++found;
            EXPECT_NEAR(e.jd, c.jd, 60.0 / 86400.0);
            EXPECT_EQ(e.retrograde, c.retrograde);
            EXPECT_EQ(e.sign, c.sign);
            EXPECT_EQ(e.eclipse, c.eclipse);
            if (c.kind == SkyEventKind::eclipse) {
                EXPECT_NEAR(e.magnitude, 1.0566, 0.001);  // the diameter ratio at greatest eclipse
                EXPECT_NEAR(e.longitude, 19.4, 0.1);      // 19 Aries 24
            }
        }
        EXPECT_EQ(found, 1);
    }
}

// Progressed: the progressed Moon's ingresses and lunations over thirty years of life, each dated
// in life, and at its progressed moment the Moon stands on the boundary or the phase angle.
TEST(SkyEventsReal, ProgressedMoonDatedInLife) {
    set_ephemeris_path(TAVROLIN_BIN_DIR);
    LibSwe swe;
    Ephemeris eph(swe);
    SkyEventSearch s;
    s.progressed = true;
    s.natal_jd = natal_jd;
    s.from_jd = natal_jd + 20.0;  // age 20 to 50
    s.to_jd = natal_jd + 50.0;
    s.bodies = {1};
    s.kinds.ingresses = s.kinds.lunations = true;
    const SkyEventsResult r = find_sky_events(eph, nullptr, s);
    int ingresses = 0, lunations = 0;
    for (const SkyEvent& e : r.events) {
        const double progressed = natal_jd + (e.jd - natal_jd) / 365.242199;
        ASSERT_GT(progressed, s.from_jd);
        ASSERT_LE(progressed, s.to_jd);
        const double moon = eph.Get_1_Planet_geo(progressed, 1), sun = eph.Get_1_Planet_geo(progressed, 0);
        const double target = e.kind == SkyEventKind::ingress ? 30.0 * (e.sign - 1) : 90.0 * static_cast<int>(e.phase);
        const double off = std::remainder((e.kind == SkyEventKind::ingress ? moon : moon - sun) - target, 360.0);
        EXPECT_LT(std::fabs(off), 1e-4) << e.jd;
        ++(e.kind == SkyEventKind::ingress ? ingresses : lunations);
    }
    EXPECT_EQ(ingresses, 13);  // 30 days of the Moon's motion, about 396 degrees
    EXPECT_EQ(lunations, 4);   // one synodic month, 29.5 days
}

// Scripted motions. A body moving `rate` degrees a day from `lon` at t = 0.
std::function<void(double, int, double*)> linear(double lon, double rate) {
    return [=](double t, int, double* xx) {
        xx[0] = Mod360(lon + rate * t);
        xx[3] = rate;
    };
}

// A body turning at t0 on longitude lon0: lon0 + k (t - t0)^2.
std::function<void(double, int, double*)> turning(double lon0, double t0, double k) {
    return [=](double t, int, double* xx) {
        xx[0] = Mod360(lon0 + k * (t - t0) * (t - t0));
        xx[3] = 2.0 * k * (t - t0);
    };
}

// Backwards at about 0.05 degrees a day, but forwards for some 12 minutes around t = 5.1, between
// two samples of the scan.
void short_loop(double t, int, double* xx) {
    const double x = t - 5.1;
    xx[0] = 100 - 0.05 * t - 0.001 * x * x * x / 3 + 0.06 * 0.01 * std::sqrt(M_PI) / 2 * std::erf(x / 0.01);
    xx[3] = -0.05 - 0.001 * x * x + 0.06 * std::exp(-(x / 0.01) * (x / 0.01));
}
const double loop_half = 0.01 * std::sqrt(std::log(1.2));

// As the library's true node at a few moments: backwards, with a wrong speed for 17 seconds
// around t = 5 (a sample time), the longitude going on.
void speed_blip(double t, int, double* xx) {
    xx[0] = 100 - 0.05 * t;
    xx[3] = std::fabs(t - 5) < 1e-4 ? 0.013 : -0.05;
}

struct Expected {
    SkyEventKind kind;
    int body;
    double jd;
    bool retrograde = false;
    int sign_or_phase = 0;  // the sign entered, the lunation phase
    double end_jd = 0.0;
};

struct ScriptedCase {
    const char* name;
    std::map<int, std::function<void(double, int, double*)>> motions;
    std::vector<int> bodies;
    SkyEventKinds kinds;
    double from = 0.0, to = 20.0;
    std::vector<Expected> expected;
    std::vector<int> errors = {};
    std::map<int, std::pair<double, double>> failing = {};
    int cancel_after = -1;  // checks answered before the search is cancelled
    bool solar_arc = false;
};

TEST(SkyEventsScripted, EveryEventOnceAtItsMoment) {
    using K = SkyEventKind;
    const SkyEventKinds stations_ingresses{true, true, false, false, false};
    std::map<int, std::function<void(double, int, double*)>> void_sky = {{0, linear(100, 0)}, {1, linear(0, 13)}};
    for (int p = 2; p <= 9; ++p) void_sky[p] = linear(5, 0);
    const std::vector<ScriptedCase> cases = {
        {"station on a step boundary", {{2, turning(45, 8, -0.05)}}, {2}, stations_ingresses, 0, 20,
         {{K::station, 2, 8, true}}},
        {"ingress on a step boundary", {{6, linear(25, 0.5)}}, {6}, stations_ingresses, 0, 20,
         {{K::ingress, 6, 10, false, 2}}},
        {"ingress, station and re-entry within one step", {{2, turning(31, 2, -1)}}, {2}, stations_ingresses, 0, 4,
         {{K::ingress, 2, 1, false, 2}, {K::station, 2, 2, true}, {K::ingress, 2, 3, true, 1}}},
        {"Moon ingresses one just after the start", {{1, linear(29.99, 15)}}, {1}, stations_ingresses, 0, 5,
         {{K::ingress, 1, 0.01 / 15, false, 2}, {K::ingress, 1, 2 + 0.01 / 15, false, 3},
          {K::ingress, 1, 4 + 0.01 / 15, false, 4}}},
        {"a loop between two samples", {{11, short_loop}}, {11}, stations_ingresses, 0, 10,
         {{K::station, 11, 5.1 - loop_half, false}, {K::station, 11, 5.1 + loop_half, true}}},
        {"a blip of the speed is no loop", {{11, speed_blip}}, {11}, stations_ingresses, 0, 10, {}},
        {"backwards over 0 Aries", {{11, linear(2, -0.5)}}, {11}, stations_ingresses, 0, 10,
         {{K::ingress, 11, 4, true, 12}}},
        {"a failing body is named, the others still found", {{5, linear(29, 0.2)}, {6, linear(25, 0.5)}}, {5, 6},
         stations_ingresses, 0, 20, {{K::ingress, 6, 10, false, 2}}, {5}, {{5, {5, 15}}}},
        {"cancelled: what was found is kept", {{6, linear(25, 0.5)}}, {6}, stations_ingresses, 0, 100,
         {{K::ingress, 6, 10, false, 2}}, {}, {}, 5},
        {"lunations", {{0, linear(10, 1)}, {1, linear(10, 13)}}, {}, {false, false, true, false, false}, 0, 31,
         {{K::lunation, 1, 7.5, false, 1}, {K::lunation, 1, 15, false, 2}, {K::lunation, 1, 22.5, false, 3},
          {K::lunation, 1, 30, false, 0}}},
        {"void Moon from the last aspect to the ingress", void_sky, {}, {false, false, false, false, true}, 1, 5,
         {{K::void_of_course, 1, 10.0 / 13, false, 0, 30.0 / 13}, {K::void_of_course, 1, 40.0 / 13, false, 0, 60.0 / 13}}},
        {"solar arc: directed Mars enters Gemini", {{0, linear(100, 1)}}, {4}, stations_ingresses, 0, 5,
         {{K::ingress, 4, 2 * 365.242199, false, 3}}, {}, {}, -1, true},
    };
    for (const ScriptedCase& c : cases) {
        for (int threads : {1, 2}) {
            SCOPED_TRACE(std::string(c.name) + ", threads " + std::to_string(threads));
            FakeSwe swe;
            swe.motions = c.motions;
            swe.failing_between = c.failing;
            Ephemeris eph(swe);
            SkyEventSearch s;
            s.from_jd = c.from;
            s.to_jd = c.to;
            s.bodies = c.bodies;
            s.kinds = c.kinds;
            s.solar_arc = c.solar_arc;
            s.natal_lon[0] = 100;
            s.natal_lon[4] = 58;
            s.threads = threads;
            std::atomic<int> checks{0};
            if (c.cancel_after >= 0) s.cancelled = [&] { return ++checks > c.cancel_after; };
            const SkyEventsResult r = find_sky_events(eph, nullptr, s);
            EXPECT_EQ(r.cancelled, c.cancel_after >= 0);
            std::vector<int> errors;
            for (const auto& e : r.errors) errors.push_back(e.first);
            EXPECT_EQ(errors, c.errors);
            ASSERT_EQ(r.events.size(), c.expected.size());
            for (std::size_t i = 0; i < c.expected.size(); ++i) {
                const SkyEvent& e = r.events[i];
                const Expected& x = c.expected[i];
                const int what = x.kind == K::lunation ? static_cast<int>(e.phase) : e.sign;
                EXPECT_EQ(std::tuple(e.kind, e.body, e.retrograde, what),
                          std::tuple(x.kind, x.body, x.retrograde, x.sign_or_phase)) << i;
                EXPECT_NEAR(e.jd, x.jd, 1e-5) << i;
                EXPECT_NEAR(e.end_jd, x.kind == K::void_of_course ? x.end_jd : x.jd, 1e-5) << i;
            }
        }
    }
}

TEST(SkyEvents, NatalPointWithinOneDegree) {
    const std::vector<std::pair<int, double>> natal = {{0, 359.5}, {4, 120.0}, {9, 120.8}};
    EXPECT_EQ(natal_point_at(0.3, natal), 0);  // across 0 Aries
    EXPECT_EQ(natal_point_at(120.5, natal), 9);  // the nearer of two
    EXPECT_EQ(natal_point_at(118.9, natal), std::nullopt);
}


// A run's events by its mode (none in a degree run), and a run cancelled while the events are
// searched keeps those found before and says so.
TEST(RunEvents, ByModeAndACancelKeepsWhatWasFound) {
    const double jan1 = swe_julday(2000, 1, 1, 0.0, SE_GREG_CAL);
    // The Moon from 5 degrees at 13 a day: ingresses at 30, 60 ... 390 within the 32 days scanned.
    struct Case { int calc_kind, mode; int ingresses; };
    for (const Case& c : {Case{1, 1, 13}, Case{1, 0, 13}, Case{0, 0, 0}}) {
        ScanSetup s({1}, {0}, {});
        s.cv.select_mode(c.mode);
        s.cv.ingresses = s.cv.stations = true;
        s.move(1, 5.0, 13.0, jan1);
        s.engine.calc_kind = c.calc_kind;
        ASSERT_TRUE(s.engine.Start_Calcs().ran);
        ASSERT_EQ(static_cast<int>(s.engine.sky_events.size()), c.ingresses) << c.mode;
        for (int k = 0; k < c.ingresses; ++k) {
            const SkyEvent& e = s.engine.sky_events[static_cast<std::size_t>(k)];
            EXPECT_NEAR(e.jd, jan1 + (30.0 * (k + 1) - 5.0) / 13.0, 1e-4) << k;
            EXPECT_EQ(e.sign, (k + 1) % 12 + 1) << k;
        }
    }
    ScanSetup s({1}, {0}, {0});
    s.cv.ingresses = true;
    std::atomic<bool> cancel{false};
    s.swe.motions[1] = [&](double t, int, double* xx) {
        if (t > jan1 + 10.0) cancel = true;
        xx[0] = std::fmod(5.0 + 13.0 * (t - jan1), 360.0);
        xx[3] = 13.0;
    };
    ScanControl control;
    control.cancel = &cancel;
    control.threads = 1;
    const ScanOutcome out = Start_Calcs_parallel(s.engine, control);
    EXPECT_TRUE(out.cancelled);
    EXPECT_GE(s.engine.sky_events.size(), 4u);
    EXPECT_LT(s.engine.sky_events.size(), 13u);
    for (const SkyEvent& e : s.engine.sky_events) EXPECT_LT(e.jd, jan1 + 10.5);
    EXPECT_EQ(s.engine.result_count, 0);
}


// A run with aspects and all event kinds lists the same events and rows, bit for bit, sharing the scan's grid or not.
TEST(RunEvents, SharingTheScansPositionsChangesNoEvent) {
    set_ephemeris_path(TAVROLIN_BIN_DIR);
    LibSwe swe;
    struct Case { int mode; std::vector<int> p1, p2; std::size_t min_events; };
    for (const Case& c : {Case{0, {0, 1, 2, 6, 11}, {0, 1, 4}, 500}, Case{1, {1, 2, 6}, {0, 5}, 500},
                          Case{2, {0, 1, 2}, {0, 1}, 20}}) {
        std::vector<std::pair<std::vector<SkyEvent>, std::vector<ResultRow>>> found;
        std::vector<long long> calls;
        for (const bool shared : {false, true}) {
            Ephemeris eph(swe);
            Engine engine(eph);
            ControlValues& cv = engine.cv = initial_state();
            cv.select_mode(c.mode);
            cv.start_date = "01/01/2024";
            cv.end_date = "12/31/2025";
            cv.years_back = "40";
            tick_only(cv, c.p1, c.p2, {0, 3, 5, 9});
            cv.stations = cv.ingresses = cv.lunations = cv.eclipses = cv.void_moon = true;
            ScanControl control;
            control.threads = 2;
            control.events_from_grid = shared;
            calls.push_back(Start_Calcs_parallel(engine, control).library_calls);
            found.emplace_back(engine.sky_events, engine.result_table);
        }
        EXPECT_TRUE(found[0].first.size() >= c.min_events && found[0].second.size() > 20) << c.mode;
        EXPECT_TRUE(found[1] == found[0]) << c.mode;
        EXPECT_LT(calls[1], calls[0]) << c.mode;
    }
}

}  // namespace
