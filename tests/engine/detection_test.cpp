#include <gtest/gtest.h>

#include "engine/calendar.h"
#include "scan_setup.h"

using namespace tavrolin;
using namespace tavrolin::testing;

namespace {

struct OrbCase {
    double p1, p2;
    int aspect;
    float angle;
    double orb;
};

TEST(AspectOrb, SignFollowsWhichSideOfTheAngleP2Stands) {
    const OrbCase cases[] = {
        {10, 100, 7, 90, 0},     // exact square
        {359, 1, 0, 0, -2},      // d = -358: flipped
        {1, 3, 0, 0, -2},        // d = 2: flipped
        {3, 1, 0, 0, 2},         // d = -2
        {1, 359, 0, 0, 2},       // d = 358
        {0, 179, 14, 180, 1},    // opposition, d = 179: flipped
        {0, 181, 14, 180, -1},   // d = 181
        {0, 180, 7, 90, 90},     // d = 180 is not flipped
        {180, 0, 7, 90, -90},    // d = -180 is
        {0, 60.5, 5, 60, -0.5},  // sextile just passed going forward
        {60.5, 0, 5, 60, 0.5},
        {10, 12, 16, 0, 2},      // parallel: P2 - P1
        {10, -12, 17, 0, 2},     // contraparallel: |P2| - |P1|
        {10, -10, 17, 0, 0},
        {-10, 10, 16, 0, 20},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(aspect_orb(c.aspect, c.p1, c.p2, c.angle), c.orb, 1e-12)
            << c.p1 << " " << c.p2 << " aspect " << c.aspect;
    }
    // The user-defined angle is searched in single precision.
    EXPECT_EQ(longitude_orb(0, 51.7, 51.7f), -(51.7 - static_cast<double>(51.7f)));
}

TEST(Separation, LinearEstimateOfTheZero) {
    ScanSetup s;
    Engine& g = s.engine;
    struct Case {
        double p1_lon, p1_lon_later;
        double r;
    };
    // P2 at 100, conjunction: the orb is p1 - 100 on this side.
    const Case cases[] = {
        {99.0, 101.0, 0.5},   // crosses at the middle
        {99.5, 100.5, 0.5},
        {99.0, 99.5, -1.0},   // reaches P2 one step after the later end
        {97.0, 98.0, -2.0},
        {100.0, 101.0, 1.0},  // exact at the earlier end
        {99.0, 100.0, 0.0},   // exact at the later end
        {99.0, 99.0, 1000.0}, // no motion: no estimate
    };
    g.aspect_angle = 0.0f;
    g.p2_lon = g.p2_lon_later = 100.0;
    for (const auto& c : cases) {
        g.p1_lon = c.p1_lon;
        g.p1_lon_later = c.p1_lon_later;
        EXPECT_DOUBLE_EQ(g.Get_separation_for_this_aspect(0), c.r) << c.p1_lon << " " << c.p1_lon_later;
        EXPECT_DOUBLE_EQ(g.orb_earlier, c.p1_lon - 100.0);
        EXPECT_DOUBLE_EQ(g.orb_later, c.p1_lon_later - 100.0);
    }
    // Declination aspects use the declinations of both ends.
    g.p1_decl = 4.0;
    g.p1_decl_later = 6.0;
    g.p2_decl = g.p2_decl_later = -5.0;
    EXPECT_DOUBLE_EQ(g.Get_separation_for_this_aspect(contraparallel_aspect), 0.5);
    EXPECT_DOUBLE_EQ(g.Get_separation_for_this_aspect(parallel_aspect), 5.5);
}

TEST(InitialPositions, SourcesOfP1AndP2ByModeAndCommand) {
    struct Case {
        int calc_kind, mode, p1_helio, p2_helio;
        double p1_lon, p2_lon, p2_decl;  // expected at the earlier end
    };
    // Mars (4) moves 1 degree a day from 40 at t = 0; Jupiter (5) stands at 200, declination 3;
    // heliocentric calls see both bodies 1000 degrees further on (folded by the double).
    const double t = 10.0;
    const Case cases[] = {
        {1, 1, 0, 0, 50, 200, 3},        // transit to transit: ephemeris for both
        {1, 1, 1, 1, 330, 120, -3},      // heliocentric columns
        {1, 0, 0, 0, 50, 77, 7},         // natal P2
        {1, 2, 0, 0, 50, 77, 7},
        {0, 1, 0, 0, 50, 123.5, 123.5},  // degree command: the degree as longitude and declination
    };
    for (const auto& c : cases) {
        ScanSetup s;
        s.swe.set_motion(4, [](double tt, int flags, double* xx) {
            const double shift = (flags & SEFLG_HELCTR_) ? 1000.0 : 0.0;
            xx[0] = Mod360(40.0 + tt + shift);
            xx[1] = (flags & SEFLG_HELCTR_) ? -1.0 : 1.0;
            xx[3] = 1.0;
        });
        s.swe.set_motion(5, [](double, int flags, double* xx) {
            xx[0] = Mod360(200.0 + ((flags & SEFLG_HELCTR_) ? 1000.0 : 0.0));
            xx[1] = (flags & SEFLG_HELCTR_) ? -3.0 : 3.0;
        });
        Engine& g = s.engine;
        g.calc_kind = c.calc_kind;
        s.cv.mode = c.mode;
        s.cv.p1_helio = c.p1_helio;
        s.cv.p2_helio = c.p2_helio;
        s.cv.zodiac_degree = "123.5";
        g.natal_lon[5] = 77.0;
        g.natal_decl[5] = 7.0;
        g.p1_num = 4;
        g.p2_num = 5;
        g.Get_Initial_Planet_Positions(t, t + 1);
        EXPECT_DOUBLE_EQ(g.p1_lon, c.p1_lon) << c.mode;
        EXPECT_DOUBLE_EQ(g.p1_lon_later, Mod360(c.p1_lon + 1)) << c.mode;
        EXPECT_DOUBLE_EQ(g.p1_decl, c.p1_helio ? -1.0 : 1.0);
        EXPECT_DOUBLE_EQ(g.p2_lon, c.p2_lon) << c.mode;
        EXPECT_DOUBLE_EQ(g.p2_lon_later, c.p2_lon) << c.mode;
        EXPECT_DOUBLE_EQ(g.p2_decl, c.p2_decl) << c.mode;
        EXPECT_DOUBLE_EQ(g.p2_decl_later, c.p2_decl) << c.mode;
    }
}

TEST(InitialPositions, SolarArcMovesTheNatalPlaceByTheProgressedSun) {
    for (int helio : {0, 1}) {
        ScanSetup s;
        const int arc_body = helio ? earth_index : 0;
        // The arc body moves 1 degree and 0.25 degrees of declination a day; the natal arc body
        // stands at 350, so the arc wraps through 0.
        s.move(arc_body, 349.0, 1.0, 0.0, 2.0, 0.25);
        Engine& g = s.engine;
        s.cv.mode = 3;
        s.cv.p1_helio = helio;
        g.natal_lon[static_cast<std::size_t>(arc_body)] = 350.0;
        g.natal_decl[static_cast<std::size_t>(arc_body)] = 2.0;
        g.natal_lon[4] = 355.0;
        g.natal_decl[4] = -10.0;
        g.p1_num = 4;
        g.Get_Initial_Planet_Positions(0.5, 1.5);
        EXPECT_DOUBLE_EQ(g.solar_arc_earlier, 359.5);
        EXPECT_DOUBLE_EQ(g.solar_arc_later, 0.5);
        EXPECT_DOUBLE_EQ(g.p1_lon, 354.5);
        EXPECT_DOUBLE_EQ(g.p1_lon_later, 355.5);
        EXPECT_DOUBLE_EQ(g.decl_arc_earlier, 0.125);
        EXPECT_DOUBLE_EQ(g.p1_decl_later, -10.0 + 0.375);
        // P1 itself is never asked for; the arc body with the column's flags.
        for (const auto& call : s.swe.calls) {
            EXPECT_EQ(call.ipl, arc_body);
            EXPECT_EQ((call.iflag & SEFLG_HELCTR_) != 0, helio == 1);
        }
    }
}

}  // namespace
