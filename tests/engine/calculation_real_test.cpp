// The engine with the real library and data files, checked against positions computed here
// directly with the library: at every reported exact time the aspect must be exact to within the
// time tolerance of the refinement, and every column must hold the positions of that moment.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <swephexp.h>

#include "engine/engine.h"

using namespace tavrolin;

namespace {

struct Value { double value, speed; };

// The default natal moment, "16.43" read in single precision as the program reads it.
const double natal_ut = swe_julday(1949, 9, 22, 0.0, SE_GREG_CAL) + (16.0f + (16.43f - 16.0f) * 100.0f / 60.0f) / 24.0;

double mod360(double x) { return x - 360.0 * std::floor(x / 360.0); }

class RealScan : public ::testing::Test {
protected:
    void SetUp() override { set_ephemeris_path(TAVROLIN_BIN_DIR); }

    // Position straight from the library, with the flags of the ticks: "Use ET" converts only when
    // it is 1, "Apparent pos.?" gives true positions only when it is 0.
    Value library_value(double jd, int body, bool helio, bool declination) const {
        const int flags = SEFLG_SWIEPH | SEFLG_SPEED | (helio ? SEFLG_HELCTR : declination ? SEFLG_EQUATORIAL : 0) |
                          (cv.apparent_pos == 0 ? SEFLG_TRUEPOS : 0);
        double xx[6];
        char serr[AS_MAXCH];
        EXPECT_GE(swe_calc(jd + (cv.use_et == 1 ? swe_deltat(jd) : 0.0), body_number(body), flags, xx, serr), 0) << serr;
        return declination ? Value{xx[1], xx[4]} : Value{xx[0], xx[3]};
    }

    // P1's or P2's value (longitude, or declination/latitude) at the reported moment t, by the
    // mode's meaning of the columns, computed without the engine.
    Value p1_value(int body, double t, bool declination) const {
        const bool helio = cv.p1_helio == 1;
        if (cv.mode != 3) return library_value(t, body, helio, declination);
        const int arc_body = helio ? 14 : 0;
        const Value now = library_value(t, arc_body, helio, declination);
        const Value natal_arc = library_value(natal_ut, arc_body, cv.p2_helio == 1, declination);
        const Value natal = library_value(natal_ut, body, cv.p2_helio == 1, declination);
        const double arc = declination ? now.value - natal_arc.value : mod360(now.value - natal_arc.value);
        return {declination ? natal.value + arc : mod360(natal.value + arc), 1.0};
    }
    Value p2_value(int body, double t, bool declination) const {
        if (engine.calc_kind == 0) return {std::atof(cv.zodiac_degree.c_str()), 0.0};
        return library_value(cv.mode == 1 ? t : natal_ut, body, cv.p2_helio == 1, declination);
    }

    // Runs the scan and checks every row, and that the near-miss dates are calendar dates within
    // the years given (also where the scan runs in progressed days); returns the number of rows.
    int run_and_check(int first_year, int last_year) {
        EXPECT_TRUE(engine.Start_Calcs().ran);
        EXPECT_TRUE(eph.errors().empty());
        for (int r = 1; r <= engine.result_count; ++r) {
            const ResultRow& row = engine.result_table[static_cast<std::size_t>(r)];
            const auto number = [&](int c) { return std::stod(std::string(row[c])); };
            const int p1 = static_cast<int>(number(0)), a = static_cast<int>(number(1)), p2 = static_cast<int>(number(2));
            int mo = 0, d = 0, y = 0, h = 0, mi = 0, s = 0;
            EXPECT_EQ(std::sscanf(std::string(row[3]).c_str(), "%d/%d/%d %d:%d:%d", &mo, &d, &y, &h, &mi, &s), 6) << row[3];
            const double t = swe_julday(y, mo, d, h + mi / 60.0 + s / 3600.0, SE_GREG_CAL) + std::atof(cv.tz.c_str()) / 24.0;
            const bool decl = is_declination_aspect(a);
            const Value v1 = p1_value(p1, t, decl), v2 = p2_value(p2, t, decl);
            // Within one last correction (under 0.00007 day) of the zero, written to the second.
            const double p2_speed = engine.calc_kind == 1 && cv.mode == 1 ? v2.speed : 0.0;
            const double tolerance = std::fabs(v1.speed - p2_speed) * 0.0001 + 1e-6;
            double miss = 0.0;
            if (a == parallel_aspect) {
                miss = v1.value - v2.value;
                EXPECT_EQ(v1.value >= 0, v2.value >= 0) << row[3];
            } else if (a == contraparallel_aspect) {
                miss = v1.value + v2.value;
                EXPECT_NE(v1.value >= 0, v2.value >= 0) << row[3];
            } else {
                double sep = std::fabs(mod360(v2.value - v1.value));
                if (sep > 180) sep = 360 - sep;
                miss = sep - std::atof(cv.aspect_caption(a).c_str());
            }
            EXPECT_LE(std::fabs(miss), tolerance) << "row " << p1 << " " << a << " " << p2 << " " << row[3];
            // The other columns hold the positions at the exact moment: longitudes, whether P2
            // stands ahead of P1 (longitude aspects only), speeds, declinations.
            const Value lon1 = p1_value(p1, t, false), lon2 = p2_value(p2, t, false);
            const Value decl1 = p1_value(p1, t, true), decl2 = p2_value(p2, t, true);
            const double ahead = mod360(lon1.value - lon2.value);
            EXPECT_NEAR(number(5), lon1.value, std::fabs(lon1.speed) * 0.0001 + 1e-6) << row[3];
            EXPECT_NEAR(number(6), lon2.value, std::fabs(lon2.speed) * 0.0001 + 1e-6) << row[3];
            const std::string direction = decl ? "0" : ahead <= 180 ? "1" : "-1";
            // At a conjunction or an opposition the side is a matter of the last digit.
            if (decl || std::fabs(std::fmod(ahead, 180.0) - 90.0) < 89.99) {
                EXPECT_EQ(row[7], direction) << row[3];
            }
            EXPECT_NEAR(number(8), lon1.speed, 0.001) << row[3];
            EXPECT_NEAR(number(9), lon2.speed, 0.001) << row[3];
            EXPECT_NEAR(number(10), decl1.value, 0.001) << row[3];
            EXPECT_NEAR(number(11), decl2.value, 0.001) << row[3];
        }
        const std::string& near = engine.near_miss_text;
        for (std::size_t p = near.find(": "); p != std::string::npos; p = near.find(": ", p + 1)) {
            for (std::size_t at : {p + 8, p + 21}) {
                const int year = std::stoi(near.substr(at, 4));
                EXPECT_TRUE(year >= first_year && year <= last_year) << near;
            }
        }
        return engine.result_count;
    }

    LibSwe swe;
    Ephemeris eph{swe};
    Engine engine{eph};
    ControlValues& cv = engine.cv;
};

TEST_F(RealScan, EveryModeListsExactAspects) {
    const std::vector<int> sun_to_pluto = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, all = {0, 5, 7, 9, 14, 16, 17};
    struct Case {
        int calc_kind, mode, helio;
        const char *start, *end, *years_back, *tz;
        std::vector<int> p1, p2, aspects;
        int min_rows, first_year, last_year;
        const char* first_row_time = nullptr;
        int use_et = 1, apparent_pos = 1;
    };
    const Case cases[] = {
        {1, 0, 0, "03/01/2001", "04/30/2001", "1", "0", {0, 2, 3, 4}, {0, 1, 2, 3, 4, 5, 6}, all, 20, 2001, 2001},
        // The Moon, and a time zone.
        {1, 1, 0, "01/01/2010", "01/31/2010", "1", "5", {1}, {0, 4}, {0, 7, 14, 16, 17}, 8, 2010, 2010},
        // True positions, the given moment taken as Ephemeris Time; a greyed tick (2) counts as apparent, not as ET.
        {1, 1, 1, "01/01/2015", "06/30/2015", "1", "0", {2, 3, 14}, {4, 5}, {0, 7, 14, 15, 16, 17}, 10, 2015, 2015,
         nullptr, 0, 0},
        {1, 2, 0, "06/15/1990", "06/15/1990", "10", "0", {0, 1, 2, 3}, sun_to_pluto, all, 5, 1979, 2001, nullptr, 2, 2},
        {1, 3, 0, "06/15/1990", "06/15/1990", "10", "0", {0, 1, 2, 3, 4, 5, 6}, sun_to_pluto, all, 5, 1979, 2001},
        {1, 3, 1, "06/15/1990", "06/15/1990", "15", "0", {2, 3, 4, 5, 6}, {2, 3, 4, 5, 6, 7, 8, 9}, all, 3, 1974, 2006},
        {0, 0, 0, "03/01/2000", "05/31/2000", "1", "0", {0, 1, 2, 3}, {}, {0, 7, 14, 16, 17}, 10, 2000, 2000},
        // The great conjunction of Jupiter and Saturn, to the second.
        {1, 1, 0, "12/15/2020", "12/25/2020", "1", "0", {5}, {6}, {0}, 1, 2020, 2020, "12/21/2020 18:20:36"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("mode " + std::to_string(c.mode) + " from " + c.start);
        cv = ControlValues{};
        cv.natal_date = "09/22/1949";
        cv.zodiac_degree = "15.5";
        engine.calc_kind = c.calc_kind;
        cv.select_mode(c.mode);
        cv.p1_helio = cv.p2_helio = c.helio;
        cv.start_date = c.start;
        cv.end_date = c.end;
        cv.years_back = c.years_back;
        cv.tz = c.tz;
        cv.use_et = c.use_et;
        cv.apparent_pos = c.apparent_pos;
        cv.p1_planets.fill(0);
        cv.p2_planets.fill(0);
        cv.aspects.fill(0);
        for (int b : c.p1) cv.p1_planets[static_cast<std::size_t>(b)] = 1;
        for (int b : c.p2) cv.p2_planets[static_cast<std::size_t>(b)] = 1;
        for (int a : c.aspects) cv.aspects[static_cast<std::size_t>(a)] = 1;
        EXPECT_GE(run_and_check(c.first_year, c.last_year), c.min_rows);
        if (c.first_row_time) {
            EXPECT_EQ(engine.result_table.at(1)[3], c.first_row_time);
        }
    }
}

}  // namespace
