#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <swephexp.h>

#include "engine/ephemeris.h"
#include "support/fake_swe.h"

using namespace tavrolin;
using tavrolin::testing::FakeSwe;

namespace {

// Elements 0..5 are 10, 20, ... so each procedure's choice of element is visible.
void fill_elements(FakeSwe& swe, int body_number) {
    swe.set_motion(body_number, [](double, int, double* xx) {
        for (int i = 0; i < 6; ++i) xx[i] = 10.0 * (i + 1);
    });
}

}  // namespace

TEST(EphemerisAccess, FlagsElementsAndSpeedOfEachProcedure) {
    using Proc = double (Ephemeris::*)(double, int);
    struct Case { const char* name; Proc proc; int apparent_flags; int true_flags; double value; double speed; bool sidereal; };
    const Case cases[] = {
        {"geo", &Ephemeris::Get_1_Planet_geo, 258, 274, 10, 40, false},
        {"geo sidereal", &Ephemeris::Get_1_Planet_geo_SIDEREAL, 65794, 65810, 10, 40, true},
        {"decl", &Ephemeris::Get_1_Planet_decl, 2306, 2322, 20, 50, false},
        {"helio", &Ephemeris::Get_1_Planet_helio, 266, 282, 10, 40, false},
        {"helio sidereal", &Ephemeris::Get_1_Planet_helio_SIDEREAL, 65802, 65818, 10, 40, true},
        {"latitude", &Ephemeris::Get_1_Planet_latitude, 266, 282, 20, 50, false},
    };
    for (const auto& c : cases) {
        for (int apparent : {1, 0, 2}) {
            FakeSwe swe;
            fill_elements(swe, 4);
            Ephemeris eph(swe);
            eph.set_options(0, apparent);
            const double v = (eph.*c.proc)(2451545.0, 4);
            ASSERT_EQ(swe.calls.size(), 1u) << c.name;
            EXPECT_EQ(swe.calls[0].iflag, apparent != 0 ? c.apparent_flags : c.true_flags) << c.name << " apparent " << apparent;
            EXPECT_EQ(swe.calls[0].ipl, 4);
            EXPECT_EQ(v, c.value) << c.name;
            EXPECT_EQ(eph.last_speed(), c.speed) << c.name;
            EXPECT_EQ(swe.deltat_args.size(), 1u) << c.name << ": delta T is asked for in every call";
            EXPECT_EQ(swe.sid_modes.size(), c.sidereal ? 1u : 0u) << c.name;
            if (c.sidereal) {
                EXPECT_EQ(swe.sid_modes[0], 1) << "Lahiri";
            }
        }
    }
}

TEST(EphemerisAccess, UseEtConvertsUniversalTimeOnlyWhenTicked) {
    for (int use_et : {0, 1, 2}) {
        FakeSwe swe;
        swe.delta_t = 0.00074;
        Ephemeris eph(swe);
        eph.set_options(use_et, 1);
        eph.Get_1_Planet_geo(2451545.0, 0);
        ASSERT_EQ(swe.calls.size(), 1u);
        EXPECT_EQ(swe.deltat_args.at(0), 2451545.0);
        EXPECT_EQ(swe.calls[0].tjd, use_et == 1 ? 2451545.0 + 0.00074 : 2451545.0) << "use_et " << use_et;
    }
}

TEST(EphemerisAccess, BodyIndexBecomesLibraryNumber) {
    FakeSwe swe;
    Ephemeris eph(swe);
    for (int b : {0, 14, 20, 21, 22}) eph.Get_1_Planet_geo(2451545.0, b);
    ASSERT_EQ(swe.calls.size(), 5u);
    EXPECT_EQ(swe.calls[0].ipl, 0);
    EXPECT_EQ(swe.calls[1].ipl, 14);
    EXPECT_EQ(swe.calls[2].ipl, 20);
    EXPECT_EQ(swe.calls[3].ipl, 146199);
    EXPECT_EQ(swe.calls[4].ipl, 100377);
}

TEST(EphemerisAccess, KeepsTheFirstErrorPerBodyAndStillReturnsTheValue) {
    FakeSwe swe;
    swe.failing[146199] = "file s136199.se1 not found";
    fill_elements(swe, 5);
    Ephemeris eph(swe);
    EXPECT_EQ(eph.Get_1_Planet_geo(2451545.0, 21), 0.0);
    swe.failing[146199] = "a later message";
    eph.Get_1_Planet_decl(2451546.0, 21);
    eph.Get_1_Planet_geo(2451545.0, 5);
    ASSERT_EQ(eph.errors().size(), 1u);
    EXPECT_TRUE(eph.failed(21));
    EXPECT_FALSE(eph.failed(5));
    EXPECT_EQ(eph.errors().at(21), "file s136199.se1 not found");
    eph.clear_errors();
    EXPECT_TRUE(eph.errors().empty());
}

// The real library with the real data files.
class RealEphemeris : public ::testing::Test {
protected:
    void SetUp() override { set_ephemeris_path(TAVROLIN_BIN_DIR); }
    void TearDown() override { set_ephemeris_path(TAVROLIN_BIN_DIR); }
    LibSwe swe;
};

TEST_F(RealEphemeris, SearchPathListsProgramFolderEpheAndSystemData) {
    EXPECT_EQ(ephemeris_path_for("/opt/tavrolin"), "/opt/tavrolin:/opt/tavrolin/ephe:/usr/share/libswe/ephe");
    EXPECT_EQ(ephemeris_path_for("/opt/tavrolin/"), "/opt/tavrolin:/opt/tavrolin/ephe:/usr/share/libswe/ephe");
}

TEST_F(RealEphemeris, SunAtJ2000MatchesThePublishedApparentLongitude) {
    Ephemeris eph(swe);
    eph.set_options(0, 1);  // 2000-01-01 12:00 TT, apparent
    const double lon = eph.Get_1_Planet_geo(2451545.0, 0);
    EXPECT_NEAR(lon, 280.37, 0.01);
    EXPECT_NEAR(eph.last_speed(), 1.019, 0.002);  // degrees per day in early January
    EXPECT_TRUE(eph.errors().empty());

    // True position differs from the apparent one by the aberration, about 20 arc seconds.
    eph.set_options(0, 0);
    const double true_lon = eph.Get_1_Planet_geo(2451545.0, 0);
    EXPECT_NEAR(true_lon - lon, 20.5 / 3600.0, 2.0 / 3600.0);

    // Use ET: the same Julian day read as Universal Time is later by delta T (about 64 s in 2000).
    eph.set_options(1, 1);
    const double moon_ut = eph.Get_1_Planet_geo(2451545.0, 1);
    const double moon_speed = eph.last_speed();
    eph.set_options(0, 1);
    const double moon_tt = eph.Get_1_Planet_geo(2451545.0, 1);
    EXPECT_NEAR(moon_ut - moon_tt, moon_speed * swe_deltat(2451545.0), 1e-6);
    EXPECT_GT(moon_speed, 11.0);
    EXPECT_LT(moon_speed, 16.0);
}

TEST_F(RealEphemeris, DeclinationLatitudeAndSiderealLongitude) {
    Ephemeris eph(swe);
    eph.set_options(0, 1);
    // Sun near the December solstice: declination about -23.0 degrees, moving north.
    const double decl = eph.Get_1_Planet_decl(2451545.0, 0);
    EXPECT_NEAR(decl, -23.03, 0.05);
    EXPECT_GT(eph.last_speed(), 0.0);
    EXPECT_LT(eph.last_speed(), 0.2);

    // The Earth's heliocentric latitude is practically zero.
    EXPECT_NEAR(eph.Get_1_Planet_latitude(2451545.0, 14), 0.0, 0.001);
    const double earth_helio = eph.Get_1_Planet_helio(2451545.0, 14);
    const double sun_geo = eph.Get_1_Planet_geo(2451545.0, 0);
    EXPECT_NEAR(std::fabs(std::fmod(earth_helio - sun_geo + 540.0, 360.0) - 180.0), 180.0, 0.01);

    // Lahiri ayanamsa in 2000 is about 23.86 degrees.
    eph.set_options(0, 0);
    const double tropical = eph.Get_1_Planet_geo(2451545.0, 5);
    const double sidereal = eph.Get_1_Planet_geo_SIDEREAL(2451545.0, 5);
    EXPECT_NEAR(std::fmod(tropical - sidereal + 360.0, 360.0), 23.86, 0.02);
}

TEST_F(RealEphemeris, ErisAndSednaComeFromTheShippedFiles) {
    Ephemeris eph(swe);
    eph.set_options(1, 1);
    for (int b : {21, 22}) {
        const double lon = eph.Get_1_Planet_geo(2451545.0, b);
        EXPECT_TRUE(eph.errors().empty()) << eph.errors().begin()->second;
        // Both are slow: less than a hundredth of a degree a day, and somewhere real.
        EXPECT_LT(std::fabs(eph.last_speed()), 0.02) << b;
        EXPECT_GE(lon, 0.0);
        EXPECT_LT(lon, 360.0);
        // Independently: heliocentric distance in 2000 (Eris about 97 AU, Sedna about 90 AU).
        double xx[6];
        char serr[256];
        ASSERT_GE(swe_calc(2451545.0, b == 21 ? 146199 : 100377, SEFLG_SWIEPH | SEFLG_HELCTR, xx, serr), 0) << serr;
        EXPECT_GT(xx[2], 85.0);
        EXPECT_LT(xx[2], 100.0);
    }
}

TEST_F(RealEphemeris, MissingAsteroidFileIsReportedNotHidden) {
    const auto empty = std::filesystem::temp_directory_path() / "tavrolin-no-ephe";
    std::filesystem::create_directories(empty);
    set_ephemeris_path(empty.string());
    Ephemeris eph(swe);
    eph.set_options(1, 1);
    eph.Get_1_Planet_geo(2451545.0, 21);
    ASSERT_TRUE(eph.failed(21));
    EXPECT_NE(eph.errors().at(21).find("136199"), std::string::npos) << eph.errors().at(21);
    // The planets still come from the system's data.
    eph.Get_1_Planet_geo(2451545.0, 5);
    EXPECT_FALSE(eph.failed(5));
}

TEST_F(RealEphemeris, RepeatedCallsAgreeAndSpeedBelongsToTheLatestCall) {
    Ephemeris eph(swe);
    eph.set_options(1, 1);
    const double a = eph.Get_1_Planet_geo(2455000.3, 4);
    const double speed_lon = eph.last_speed();
    eph.Get_1_Planet_decl(2455000.3, 4);
    const double speed_decl = eph.last_speed();
    EXPECT_EQ(eph.Get_1_Planet_geo(2455000.3, 4), a);
    EXPECT_EQ(eph.last_speed(), speed_lon);
    EXPECT_NE(speed_lon, speed_decl);
    EXPECT_EQ(planet_name(146199), "Eris");
}
