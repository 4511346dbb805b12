#include <gtest/gtest.h>

#include <cmath>

#include "engine/calendar.h"
#include "scan_setup.h"

using namespace tavrolin;
using namespace tavrolin::testing;

namespace {

constexpr double t0 = 1000.0;

// Transit to transit, Mars (4) against Jupiter (5) standing at 100 degrees.
struct Refine : ScanSetup {
    Refine() {
        engine.p1_num = 4;
        engine.p2_num = 5;
        place(5, 100.0);
    }
    double run(int aspect = 0, float angle = 0.0f) {
        engine.aspect_angle = angle;
        engine.SecantMethod(t0, t0 + 1, 0.00007, 100, aspect);
        return engine.exact_jd;
    }
};

TEST(SecantMethod, LinearOrbConvergesToItsZero) {
    struct Case {
        double rate;  // degrees a day, relative to Jupiter
        double zero;  // days after t0 at which Mars reaches Jupiter
        double expected;  // days after t0; NAN for no result
    };
    const Case cases[] = {
        {1.0, 0.4, 0.4},
        {-1.0, 0.75, 0.75},
        {13.0, 0.1, 0.1},
        // Jumps of the orb above 20 degrees are refused from the second iteration on: the
        // first pair of points is the step itself and may differ by more.
        {30.0, 0.9, 0.9},
        {30.0, 0.2, NAN},
        // A correction of 1.001 days or more ends the search; a smaller one may leave the step.
        {1.0, 2.0005, 2.0005},
        {1.0, 2.0015, NAN},
        {1.0, -0.0005, -0.0005},
        {1.0, -0.0015, NAN},
    };
    for (const auto& c : cases) {
        Refine r;
        r.move(4, 100.0, c.rate, t0 + c.zero);
        const double exact = r.run();
        if (std::isnan(c.expected)) {
            EXPECT_EQ(exact, 0.0) << c.rate << " " << c.zero;
        } else {
            EXPECT_NEAR(exact, t0 + c.expected, 1e-7) << c.rate << " " << c.zero;
            EXPECT_DOUBLE_EQ(r.engine.secant_speed, c.rate);
        }
    }
}

TEST(SecantMethod, LinearOrbNeedsOnlyTwoIterations) {
    Refine r;
    r.move(4, 100.0, 1.0, t0 + 0.4);
    r.run();
    // Two ephemeris calls per body and iteration: the second iteration confirms the zero.
    EXPECT_EQ(r.swe.calls.size(), 8u);
}

TEST(SecantMethod, EqualOrbsGiveTheMidpoint) {
    Refine r;
    r.place(4, 90.0);
    EXPECT_DOUBLE_EQ(r.run(), t0 + 0.5);
}

TEST(SecantMethod, DeclinationSignsDecideBetweenParallelAndContraparallel) {
    struct Case {
        double p1_decl0, p1_rate, p2_decl;
        int aspect;
        double expected;  // days after t0, NAN for rejected
    };
    const Case cases[] = {
        {4.5, 1.0, 5.0, parallel_aspect, 0.5},
        {4.5, 1.0, 5.0, contraparallel_aspect, NAN},
        {4.5, 1.0, -5.0, contraparallel_aspect, 0.5},
        {-4.5, -1.0, -5.0, parallel_aspect, 0.5},
        {-4.5, -1.0, 5.0, contraparallel_aspect, 0.5},
        // Standing still at +5 and -5: equal sizes all the time, found at the midpoint, and
        // only the contraparallel fits the signs.
        {5.0, 0.0, -5.0, contraparallel_aspect, 0.5},
        {5.0, 0.0, -5.0, parallel_aspect, NAN},
        {5.0, 0.0, 0.0, parallel_aspect, 0.5},  // 0 counts as north
        {5.0, 0.0, 0.0, contraparallel_aspect, NAN},
    };
    for (const auto& c : cases) {
        Refine r;
        r.move(4, 10.0, 0.0, t0, c.p1_decl0, c.p1_rate);
        r.swe.set_linear(5, 200.0, 0.0, c.p2_decl, 0.0);
        const double exact = r.run(c.aspect);
        if (std::isnan(c.expected)) {
            EXPECT_EQ(exact, 0.0) << c.p1_decl0 << " " << c.p2_decl << " " << c.aspect;
        } else {
            EXPECT_NEAR(exact, t0 + c.expected, 1e-7) << c.p1_decl0 << " " << c.p2_decl << " " << c.aspect;
        }
    }
}

TEST(SecantMethod, SolarArcAgainstNatalPlace) {
    Refine r;
    Engine& g = r.engine;
    r.cv.mode = 3;
    // The progressed Sun moves 1 degree a day from its natal place at 200 (reached at t0 - 0.3).
    r.move(0, 200.0, 1.0, t0 - 0.3);
    g.natal_lon[0] = 200.0;
    g.natal_lon[4] = 10.0;
    g.natal_lon[5] = 11.0;  // the arc brings Mars to it at t0 + 0.7
    const double exact = r.run(0);
    EXPECT_NEAR(exact, t0 + 0.7, 1e-7);
    // The speed is the growth of the arc between the last two points, not a rate.
    EXPECT_GT(std::fabs(g.secant_speed), 0.0);
    EXPECT_LT(std::fabs(g.secant_speed), 0.5);
    for (const auto& call : r.swe.calls) EXPECT_EQ(call.ipl, 0);

    g.Get_Planet_Positions_at_Exact(4, 5, exact);
    EXPECT_NEAR(g.p1_lon, 11.0, 1e-6);
    EXPECT_EQ(g.p1_speed, 1.0);
    EXPECT_EQ(g.p2_lon, 11.0);
}

TEST(PositionsAtExact, DegreeCommandHasAFixedP2WithoutSpeed) {
    Refine r;
    Engine& g = r.engine;
    g.calc_kind = 0;
    r.cv.zodiac_degree = "179.331227";
    r.move(4, 100.0, 0.5, t0, 3.0, 0.1);
    g.p2_speed = 42.0;  // left from an earlier run
    g.Get_Planet_Positions_at_Exact(4, 0, t0 + 2);
    EXPECT_DOUBLE_EQ(g.p1_lon, 101.0);
    EXPECT_DOUBLE_EQ(g.p1_speed, 0.5);
    EXPECT_DOUBLE_EQ(g.p1_decl, 3.2);
    EXPECT_DOUBLE_EQ(g.p2_lon, 179.331227);
    EXPECT_DOUBLE_EQ(g.p2_decl, 179.331227);
    EXPECT_EQ(g.p2_speed, 0.0);
}

}  // namespace
