#include <gtest/gtest.h>

#include <cmath>

#include <swephexp.h>

#include "engine/engine.h"
#include "support/fake_swe.h"

using namespace tavrolin;
using tavrolin::testing::FakeSwe;

TEST(NatalMoment, HoursAndMinutesInSinglePrecision) {
    struct Case { const char* text; float hours; };
    const Case cases[] = {
        {"16.43", 16.0f + (16.43f - 16.0f) * 100.0f / 60.0f},
        {"16.30", 16.5f}, {"-1.30", -1.5f}, {"0", 0.0f}, {"abc", 0.0f}, {"", 0.0f}, {"7", 7.0f}, {"23.59", 23.0f + (23.59f - 23.0f) * 100.0f / 60.0f},
    };
    for (const auto& c : cases) EXPECT_FLOAT_EQ(natal_hours_from_text(c.text), c.hours) << c.text;
    EXPECT_NEAR(natal_hours_from_text("16.43"), 16.71667, 1e-5);
}

TEST(NatalMoment, JulianDayFromDateAndTimeBoxes) {
    FakeSwe swe;
    Ephemeris eph(swe);
    Engine engine(eph);
    engine.cv.natal_date = "22/09/1949";
    engine.cv.date_order = 1;
    engine.cv.natal_time = "16.43";
    double midnight = 0;
    ASSERT_TRUE(engine.compute_natal_moment(&midnight));
    EXPECT_EQ(midnight, 2433181.5);
    EXPECT_EQ(engine.natal_jd, 2433181.5 + static_cast<double>(engine.natal_hours) / 24.0);
    EXPECT_NEAR(engine.natal_jd, 2433181.5 + 16.71667 / 24.0, 1e-6);

    // The time zone plays no part; a date that is not a date changes nothing.
    engine.cv.tz = "-5";
    const double before = engine.natal_jd;
    engine.cv.natal_date = "09/22/1949";  // month first under a day-first order
    EXPECT_FALSE(engine.compute_natal_moment());
    EXPECT_EQ(engine.natal_jd, before);
}

TEST(NatalTables, FillEveryBodyWithTheP2HelioChoice) {
    struct Case { int p2_helio; void (Engine::*fill)(); int flags; bool sidereal; bool decl; };
    const Case cases[] = {
        {0, &Engine::Get_Natal_Planets_Longitude, 258, false, false},
        {1, &Engine::Get_Natal_Planets_Longitude, 266, false, false},
        {0, &Engine::Get_Natal_Planets_Longitude_SIDEREAL, 65794, true, false},
        {1, &Engine::Get_Natal_Planets_Longitude_SIDEREAL, 65802, true, false},
        {0, &Engine::Get_Natal_Planets_Decl_Lat, 2306, false, true},
        {1, &Engine::Get_Natal_Planets_Decl_Lat, 266, false, true},
    };
    for (const auto& c : cases) {
        FakeSwe swe;
        // Body b: element 0 = 10 b, element 1 = b, element 3 = b / 10.
        for (int b = 0; b <= last_body_index; ++b) {
            swe.set_motion(body_number(b), [b](double, int, double* xx) {
                xx[0] = 10.0 * b;
                xx[1] = b;
                xx[3] = b / 10.0;
                xx[4] = -b;
            });
        }
        Ephemeris eph(swe);
        Engine engine(eph);
        engine.cv.p2_helio = c.p2_helio;
        engine.natal_jd = 2433182.2;
        engine.natal_decl.fill(-99);
        engine.natal_lon.fill(-99);
        (engine.*c.fill)();
        ASSERT_EQ(swe.calls.size(), 23u);
        for (int b = 0; b <= last_body_index; ++b) {
            const auto k = static_cast<std::size_t>(b);
            EXPECT_EQ(swe.calls[k].ipl, body_number(b));
            EXPECT_EQ(swe.calls[k].iflag, c.flags);
            EXPECT_EQ(swe.calls[k].tjd, 2433182.2 + 0.0);  // fake delta T is 0, "Use ET" ticked
            if (c.decl) {
                EXPECT_EQ(engine.natal_decl[k], b);
                EXPECT_EQ(engine.natal_lon[k], -99) << "declination fill leaves longitudes alone";
            } else {
                EXPECT_EQ(engine.natal_lon[k], 10.0 * b);
                EXPECT_EQ(engine.natal_speed[k], b / 10.0);
                EXPECT_EQ(engine.natal_decl[k], -99);
            }
        }
        EXPECT_EQ(swe.sid_modes.size(), c.sidereal ? 23u : 0u);
    }
}

TEST(NatalTables, DefaultNatalDataWithTheRealLibrary) {
    set_ephemeris_path(TAVROLIN_BIN_DIR);
    LibSwe lib;
    Ephemeris eph(lib);
    Engine engine(eph);
    engine.cv.natal_date = "09/22/1949";
    ASSERT_TRUE(engine.compute_natal_moment());
    engine.Get_Natal_Planets_Longitude();
    engine.Get_Natal_Planets_Decl_Lat();
    EXPECT_TRUE(eph.errors().empty());

    // Independently from the library: apparent geocentric Sun at the natal moment read as UT.
    const double t = engine.natal_jd + swe_deltat(engine.natal_jd);
    double xx[6];
    char serr[256];
    for (int b : {0, 1, 5, 9, 15, 21, 22}) {
        ASSERT_GE(swe_calc(t, body_number(b), SEFLG_SWIEPH | SEFLG_SPEED, xx, serr), 0) << serr;
        EXPECT_DOUBLE_EQ(engine.natal_lon[static_cast<std::size_t>(b)], xx[0]) << b;
        EXPECT_DOUBLE_EQ(engine.natal_speed[static_cast<std::size_t>(b)], xx[3]) << b;
    }
    // The natal Sun stands one day before the equinox, at the default zodiac degree 179.33.
    EXPECT_NEAR(engine.natal_lon[0], 179.331227, 0.001);
    // Declination of a Sun on the ecliptic: asin(sin(obliquity) sin(longitude)), obliquity 23.446.
    const double deg = M_PI / 180.0;
    EXPECT_NEAR(engine.natal_decl[0], std::asin(std::sin(23.446 * deg) * std::sin(engine.natal_lon[0] * deg)) / deg, 0.001);

    // Sidereal (Lahiri, about 23.15 degrees in 1949) overwrites the longitudes; the next tropical
    // fill brings them back.
    const double tropical_sun = engine.natal_lon[0];
    engine.Get_Natal_Planets_Longitude_SIDEREAL();
    EXPECT_NEAR(tropical_sun - engine.natal_lon[0], 23.15, 0.05);
    engine.Get_Natal_Planets_Longitude();
    EXPECT_EQ(engine.natal_lon[0], tropical_sun);

    // Heliocentric: the Earth's longitude is the Sun's opposite point.
    engine.cv.p2_helio = 1;
    engine.Get_Natal_Planets_Longitude();
    EXPECT_NEAR(std::fabs(std::fmod(engine.natal_lon[14] - tropical_sun + 540.0, 360.0) - 180.0), 180.0, 0.01);
}
