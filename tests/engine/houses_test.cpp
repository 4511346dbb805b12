// The birth place: coordinates as typed, and the angles and houses computed for them.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>

#include <swephexp.h>

#include "engine/coordinates.h"
#include "engine/houses.h"

using namespace tavrolin;

namespace {

double arc_difference(double a, double b) { return std::fabs(std::remainder(a - b, 360.0)); }

}  // namespace

TEST(Coordinates, TypedFormsReadOrRefusedWithAReason) {
    constexpr auto lat = CoordinateAxis::Latitude;
    constexpr auto lon = CoordinateAxis::Longitude;
    struct Read { const char* text; CoordinateAxis axis; double degrees; };
    const Read read[] = {
        {"48.8534", lat, 48.8534},        {"-2.35", lon, -2.35},         {" +2.35 ", lon, 2.35},
        {"48N51", lat, 48.85},            {"48n51'12\"", lat, 48 + 51 / 60.0 + 12 / 3600.0},
        {"2W21", lon, -2.35},             {"34S36'", lat, -34.6},        {"0e07'30", lon, 0.125},
        {"90", lat, 90.0},                {"180W00", lon, -180.0},       {"179.999999", lon, 179.999999},
        {".5", lat, 0.5},                 {"4e1", lon, 4 + 1 / 60.0},    // a letter, not an exponent
    };
    for (const auto& r : read) {
        std::string reason;
        const auto got = parse_coordinate(r.text, r.axis, &reason);
        ASSERT_TRUE(got) << r.text << ": " << reason;
        EXPECT_NEAR(*got, r.degrees, 1e-12) << r.text;
    }
    struct Refused { const char* text; CoordinateAxis axis; const char* reason; };
    const Refused refused[] = {
        {"", lat, "is empty"},
        {"   ", lon, "is empty"},
        {"90.0001", lat, "is out of range: a latitude lies within ±90°"},
        {"-180.5", lon, "is out of range: a longitude lies within ±180°"},
        {"90N01", lat, "is out of range"},
        {"181E00", lon, "is out of range"},
        {"48E51", lat, "takes N or S, not E"},
        {"2n21", lon, "takes E or W, not N"},
        {"48N60", lat, "has minutes above 59"},
        {"48N59'60\"", lat, "has seconds above 59"},
        {"48N", lat, "needs the minutes after the letter"},
        {"48N51'12\"x", lat, "has something after the seconds"},
        {"48N51 12", lat, "has something other than seconds"},
        {"48 N 51", lat, "is not a latitude"},
        {"1234N00", lat, "is not a latitude"},
        {"48,85", lat, "is not a latitude"},
        {"4e1", lat, "takes N or S, not E"},
        {"-90S0", lat, "is not a latitude"},
        {"--2", lon, "is not a longitude"},
        {"nan", lat, "is not a latitude"},
        {"Paris", lat, "is not a latitude"},
    };
    for (const auto& r : refused) {
        std::string reason;
        EXPECT_FALSE(parse_coordinate(r.text, r.axis, &reason)) << r.text;
        EXPECT_EQ(reason.rfind(r.reason, 0), 0u) << r.text << ": " << reason;
    }
    // What the boxes show of an atlas place reads back to within half a second.
    for (double x : {48.85341, -0.1257, 0.0, -89.99999, 179.99999, -33.3333333}) {
        for (auto axis : {lat, lon}) {
            if (axis == lat && std::fabs(x) > 90) continue;
            const auto back = parse_coordinate(coordinate_text(x, axis), axis);
            ASSERT_TRUE(back) << coordinate_text(x, axis);
            EXPECT_NEAR(*back, x, 0.5 / 3600 + 1e-12) << coordinate_text(x, axis);
        }
    }
}

// The angles and cusps are the library's to 1e-6°, asked for directly here; Placidus and Koch fall
// back to Porphyry beyond the polar circle, where the other systems keep their own cusps.
TEST(Houses, AnglesAndCuspsOfTheLibraryWithThePolarFallBack) {
    const double jd_ut = swe_julday(1949, 9, 22, 16.0 + 43.0 / 60.0, SE_GREG_CAL);
    struct Place { const char* name; double latitude, longitude; };
    const Place places[] = {
        {"London", 51.5, -(7.0 / 60.0)},
        {"Buenos Aires", -(34.0 + 36.0 / 60.0), -(58.0 + 22.0 / 60.0)},
        {"Tromsø", 69.0 + 39.0 / 60.0, 18.0 + 57.0 / 60.0},
    };
    const std::string letters = "PKORCEW";
    for (const auto& place : places) {
        for (char letter : letters) {
            const auto system = house_system_from_letter(letter);
            ASSERT_TRUE(system) << letter;
            std::string error;
            const auto houses = compute_houses(jd_ut, place.latitude, place.longitude, *system, &error);
            ASSERT_TRUE(houses) << place.name << " " << letter << ": " << error;

            const bool polar = std::fabs(place.latitude) > 66.6;
            const bool falls_back = polar && (letter == 'P' || letter == 'K');
            EXPECT_EQ(houses->fell_back, falls_back) << place.name << " " << letter;
            EXPECT_EQ(static_cast<char>(houses->system), falls_back ? 'O' : letter) << place.name;

            double cusps[13], ascmc[10], cusp_speed[13], ascmc_speed[10];
            char serr[AS_MAXCH];
            swe_houses_ex2(jd_ut, 0, place.latitude, place.longitude, falls_back ? 'O' : letter, cusps, ascmc, cusp_speed,
                           ascmc_speed, serr);
            EXPECT_LT(arc_difference(houses->ascendant, ascmc[0]), 1e-6) << place.name << " " << letter;
            EXPECT_LT(arc_difference(houses->mc, ascmc[1]), 1e-6) << place.name << " " << letter;
            for (int i = 0; i < 12; ++i) {
                EXPECT_LT(arc_difference(houses->cusps[static_cast<std::size_t>(i)], cusps[i + 1]), 1e-6)
                    << place.name << " " << letter << " cusp " << i + 1;
                EXPECT_TRUE(houses->cusps[static_cast<std::size_t>(i)] >= 0 && houses->cusps[static_cast<std::size_t>(i)] < 360);
            }
        }
    }
    // The Ascendant of London by the textbook formula from the sidereal time and the obliquity.
    const auto london = compute_houses(jd_ut, 51.5, -(7.0 / 60.0), HouseSystem::Placidus);
    ASSERT_TRUE(london);
    const double rad = std::numbers::pi / 180.0;
    const double ramc = (swe_sidtime(jd_ut) * 15.0 - 7.0 / 60.0) * rad;
    const double eps = london->obliquity * rad;
    const double asc = std::atan2(std::cos(ramc), -(std::sin(ramc) * std::cos(eps) + std::tan(51.5 * rad) * std::sin(eps))) / rad;
    EXPECT_LT(arc_difference(london->ascendant, asc), 1e-4);
    EXPECT_NEAR(london->obliquity, 23.446, 0.003);  // about 1950, nutation included
}

TEST(Houses, NoneAtThePoles) {
    for (double latitude : {90.0, -90.0}) {
        std::string error;
        EXPECT_FALSE(compute_houses(2451545.0, latitude, 0.0, HouseSystem::Placidus, &error)) << latitude;
        EXPECT_EQ(error.rfind("There are no houses at the poles", 0), 0u) << error;
    }
    // Close to a pole and on the date line there still are.
    EXPECT_TRUE(compute_houses(2451545.0, 89.99, 180.0, HouseSystem::Equal));
    EXPECT_TRUE(compute_houses(2451545.0, -89.99, -180.0, HouseSystem::WholeSign));
}

TEST(Houses, HouseOfALongitudeAndDeclinationOfAnEclipticPoint) {
    // Cusps across 0° Aries; a longitude on a cusp is in the house that cusp begins.
    const std::array<double, 12> cusps = {350, 20, 40, 70, 100, 140, 170, 200, 220, 250, 280, 320};
    const std::pair<double, int> cases[] = {{350, 1}, {355, 1}, {0, 1}, {360, 1}, {-5, 1}, {19.999, 1}, {20, 2},
                                            {349.999, 12}, {320, 12}, {319.99, 11}, {100, 5}, {725, 1}};
    for (const auto& [longitude, house] : cases) EXPECT_EQ(house_of(longitude, cusps), house) << longitude;
    // Just past each cusp of a real chart is its house.
    const auto houses = compute_houses(2451545.0, 51.5, -0.12, HouseSystem::Placidus);
    ASSERT_TRUE(houses);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(house_of(houses->cusps[static_cast<std::size_t>(i)] + 1e-7, houses->cusps), i + 1);

    // The declination against the library's own conversion of ecliptic into equator coordinates.
    for (double longitude : {0.0, 30.0, 90.0, 123.4, 270.0, 359.0}) {
        double ecliptic[3] = {longitude, 0.0, 1.0};
        double equator[3];
        swe_cotrans(ecliptic, equator, -houses->obliquity);
        EXPECT_NEAR(ecliptic_declination(longitude, houses->obliquity), equator[1], 1e-9) << longitude;
    }
}
