// Calculations with the real ephemeris, checked against positions computed here directly with
// the library: at every reported exact time the aspect must be exact to within the time
// tolerance of the refinement.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <swephexp.h>

#include "engine/engine.h"

using namespace tavrolin;

namespace {

struct Value {
    double value, speed;
};

// Position straight from the library, for "Use ET" and "Apparent pos.?" ticked.
Value library_value(double jd_ut, int body, bool helio, bool declination) {
    int flags = SEFLG_SWIEPH | SEFLG_SPEED;
    if (helio) flags |= SEFLG_HELCTR;
    else if (declination) flags |= SEFLG_EQUATORIAL;
    double xx[6];
    char serr[AS_MAXCH];
    EXPECT_GE(swe_calc(jd_ut + swe_deltat(jd_ut), body, flags, xx, serr), 0) << serr;
    return declination ? Value{xx[1], xx[4]} : Value{xx[0], xx[3]};
}

double mod360(double x) { return x - 360.0 * std::floor(x / 360.0); }

// Universal Time of a row's "mm/dd/yyyy hh:nn:ss", written in a zone tz hours behind it.
double row_jd(const ResultRow& row, double tz) {
    int mo = 0, d = 0, y = 0, h = 0, mi = 0, s = 0;
    EXPECT_EQ(std::sscanf(std::string(row[3]).c_str(), "%d/%d/%d %d:%d:%d", &mo, &d, &y, &h, &mi, &s), 6) << row[3];
    return swe_julday(y, mo, d, h + mi / 60.0 + s / 3600.0, SE_GREG_CAL) + tz / 24.0;
}

const double natal_ut = swe_julday(1949, 9, 22, 16.0 + 43.0 / 60.0, SE_GREG_CAL);

class RealScan : public ::testing::Test {
protected:
    void SetUp() override {
        set_ephemeris_path(TAVROLIN_BIN_DIR);
        cv.natal_date = "09/22/1949";
        cv.tz = "0";
        cv.p1_planets.fill(0);
        cv.p2_planets.fill(0);
        cv.aspects.fill(0);
    }

    void tick(std::vector<int> p1, std::vector<int> p2, std::vector<int> aspects) {
        for (int b : p1) cv.p1_planets[static_cast<std::size_t>(b)] = 1;
        for (int b : p2) cv.p2_planets[static_cast<std::size_t>(b)] = 1;
        for (int a : aspects) cv.aspects[static_cast<std::size_t>(a)] = 1;
    }

    // P1's or P2's value (longitude, or declination/latitude) at the reported moment t, by the
    // mode's meaning of the columns, computed without the engine.
    Value p1_value(int body, double t, bool declination) {
        const bool helio = cv.p1_helio == 1;
        if (cv.mode != 3) return library_value(t, body, helio, declination);
        const int arc_body = helio ? 14 : 0;
        const Value now = library_value(t, arc_body, helio, declination);
        const Value natal_arc = library_value(natal_ut, arc_body, cv.p2_helio == 1, declination);
        const Value natal = library_value(natal_ut, body, cv.p2_helio == 1, declination);
        const double arc = declination ? now.value - natal_arc.value : mod360(now.value - natal_arc.value);
        return {declination ? natal.value + arc : mod360(natal.value + arc), now.speed};
    }
    Value p2_value(int body, double t, bool declination) {
        if (engine.calc_kind == 0) return {std::atof(cv.zodiac_degree.c_str()), 0.0};
        if (cv.mode == 1) return library_value(t, body, cv.p2_helio == 1, declination);
        return {library_value(natal_ut, body, cv.p2_helio == 1, declination).value, 0.0};
    }

    // Runs the scan and checks every row; returns the number of rows.
    int run_and_check() {
        const ScanOutcome out = engine.Start_Calcs();
        EXPECT_TRUE(out.ran);
        EXPECT_TRUE(eph.errors().empty());
        const double tz = std::atof(cv.tz.c_str());
        for (int r = 1; r <= engine.result_count; ++r) {
            const ResultRow& row = engine.result_table[static_cast<std::size_t>(r)];
            const auto number = [&](int c) { return std::stod(std::string(row[c])); };
            const int p1 = static_cast<int>(number(0)), a = static_cast<int>(number(1)), p2 = static_cast<int>(number(2));
            const double t = row_jd(row, tz);
            const bool decl = a >= parallel_aspect;
            const Value v1 = p1_value(p1, t, decl);
            const Value v2 = p2_value(p2, t, decl);
            // The reported time is within one last correction (under 0.00007 day) of the zero,
            // and written to the nearest second.
            const double tolerance = std::fabs(v1.speed - v2.speed) * 0.0001 + 1e-6;
            double miss = 0.0;
            if (a == parallel_aspect) {
                miss = v1.value - v2.value;
                EXPECT_EQ(v1.value >= 0, v2.value >= 0) << row[3];
            } else if (a == contraparallel_aspect) {
                miss = v1.value + v2.value;
                EXPECT_NE(v1.value >= 0, v2.value >= 0) << row[3];
            } else {
                double s = std::fabs(mod360(v2.value - v1.value));
                if (s > 180) s = 360 - s;
                miss = s - std::atof(cv.aspect_caption(a).c_str());
            }
            EXPECT_LE(std::fabs(miss), tolerance)
                << "mode " << cv.mode << " row " << p1 << " " << a << " " << p2 << " " << row[3];
            // The row's P1 longitude is the position at the exact moment.
            const Value lon1 = p1_value(p1, t, false);
            EXPECT_NEAR(number(5), lon1.value, std::fabs(lon1.speed) * 0.0001 + 1e-6) << row[3];
        }
        return engine.result_count;
    }

    LibSwe swe;
    Ephemeris eph{swe};
    Engine engine{eph};
    ControlValues& cv = engine.cv;
};

TEST_F(RealScan, TransitToNatalGeocentric) {
    cv.select_mode(0);
    cv.start_date = "03/01/2001";
    cv.end_date = "04/30/2001";
    tick({0, 2, 3, 4}, {0, 1, 2, 3, 4, 5, 6}, {0, 5, 7, 9, 14, 16, 17});
    EXPECT_GE(run_and_check(), 20);
}

TEST_F(RealScan, TransitToTransitWithTheMoonAndATimeZone) {
    cv.select_mode(1);
    cv.start_date = "01/01/2010";
    cv.end_date = "01/31/2010";
    cv.tz = "5";
    tick({1}, {0, 4}, {0, 7, 14, 16, 17});
    EXPECT_GE(run_and_check(), 8);
}

TEST_F(RealScan, TransitToTransitHeliocentric) {
    cv.select_mode(1);
    cv.p1_helio = cv.p2_helio = 1;
    cv.start_date = "01/01/2015";
    cv.end_date = "06/30/2015";
    tick({2, 3, 14}, {4, 5}, {0, 7, 14, 15, 16, 17});
    EXPECT_GE(run_and_check(), 10);
}

TEST_F(RealScan, ProgressedToNatal) {
    cv.select_mode(2);
    cv.start_date = "06/15/1990";
    cv.end_date = "06/15/1990";
    cv.years_back = "10";
    tick({0, 1, 2, 3}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, {0, 5, 7, 9, 14, 16, 17});
    EXPECT_GE(run_and_check(), 5);
}

TEST_F(RealScan, SolarArcToNatal) {
    cv.select_mode(3);
    cv.start_date = "06/15/1990";
    cv.end_date = "06/15/1990";
    cv.years_back = "10";
    tick({0, 1, 2, 3, 4, 5, 6}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, {0, 5, 7, 9, 14, 16, 17});
    EXPECT_GE(run_and_check(), 5);
    for (int r = 1; r <= engine.result_count; ++r) EXPECT_EQ(engine.result_table[static_cast<std::size_t>(r)][8], "1");
}

TEST_F(RealScan, SolarArcToNatalHeliocentric) {
    cv.select_mode(3);
    cv.p1_helio = cv.p2_helio = 1;
    cv.start_date = "06/15/1990";
    cv.end_date = "06/15/1990";
    cv.years_back = "15";
    tick({2, 3, 4, 5, 6}, {2, 3, 4, 5, 6, 7, 8, 9}, {0, 5, 7, 9, 14, 16, 17});
    EXPECT_GE(run_and_check(), 3);
}

TEST_F(RealScan, TransitToAZodiacDegree) {
    engine.calc_kind = 0;
    cv.select_mode(0);
    cv.zodiac_degree = "15.5";
    cv.start_date = "03/01/2000";
    cv.end_date = "05/31/2000";
    tick({0, 1, 2, 3}, {}, {0, 7, 14, 16, 17});
    EXPECT_GE(run_and_check(), 10);
    for (int r = 1; r <= engine.result_count; ++r) EXPECT_EQ(engine.result_table[static_cast<std::size_t>(r)][9], "0");
}

TEST_F(RealScan, GreatConjunctionOfDecember2020) {
    cv.select_mode(1);
    cv.start_date = "12/15/2020";
    cv.end_date = "12/25/2020";
    tick({5}, {6}, {0});
    ASSERT_EQ(run_and_check(), 1);
    const std::string when(engine.result_table[1][3]);
    EXPECT_EQ(when.substr(0, 14), "12/21/2020 18:") << when;
    const int minute = std::stoi(when.substr(14, 2));
    EXPECT_GE(minute, 15) << when;
    EXPECT_LE(minute, 25) << when;
}

}  // namespace
