// The engine with the real library and data files. At every reported exact time, checked against
// positions computed here directly with the library, the aspect must be exact to within the time
// tolerance of the refinement and every column must hold the positions of that moment; the fast
// scan must list exactly what the single-threaded scan lists.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <swephexp.h>

#include "engine/motion_bounds.h"
#include "engine/parallel_scan.h"
#include "support/fake_swe.h"

using namespace tavrolin;
using namespace tavrolin::testing;

namespace {

struct Value { double value, speed; };

// The default natal moment, "16.43" read in single precision as the program reads it.
const double natal_ut = swe_julday(1949, 9, 22, 0.0, SE_GREG_CAL) + (16.0f + (16.43f - 16.0f) * 100.0f / 60.0f) / 24.0;

double mod360(double x) { return x - 360.0 * std::floor(x / 360.0); }

const std::vector<int> geocentric = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 15, 16, 17, 18, 19, 20, 21, 22};
const std::vector<int> sun_to_pluto = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, some_aspects = {0, 5, 7, 9, 14, 16, 17};

struct Case {
    const char* name;
    int calc_kind = 1, mode = 0, helio = 0;
    const char* start = "01/01/2000";
    const char* end = "01/14/2000";
    const char* years_back = "1";
    const char* tz = "0";
    std::vector<int> p1 = geocentric, p2 = geocentric;  // empty P1: the window's initial ticks
    std::vector<int> aspects = {};                      // empty: all
    int use_et = 1, apparent_pos = 1;
    int min_rows = 1;
    const char* first_row_time = nullptr;
    bool without_asteroid_files = false;
    // The fast scan makes this many times fewer library calls (each body serves many pairs).
    int fewer_calls_by = 3;
};

class RealScan : public ::testing::Test {
protected:
    void TearDown() override { set_ephemeris_path(TAVROLIN_BIN_DIR); }

    static void set_up(const Case& c, Engine& e) {
        e.cv = initial_state();
        e.cv.zodiac_degree = "15.5";
        e.calc_kind = c.calc_kind;
        e.cv.select_mode(c.mode);
        e.cv.p1_helio = e.cv.p2_helio = c.helio;
        e.cv.start_date = c.start;
        e.cv.end_date = c.end;
        e.cv.years_back = c.years_back;
        e.cv.tz = c.tz;
        e.cv.use_et = c.use_et;
        e.cv.apparent_pos = c.apparent_pos;
        if (!c.p1.empty()) tick_only(e.cv, c.p1, c.p2, c.aspects);
        if (c.aspects.empty()) e.cv.aspects.fill(1);
    }

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

    // Checks every row of the last run.
    void check_rows() const {
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
            if (a == parallel_aspect || a == contraparallel_aspect) {
                miss = a == parallel_aspect ? v1.value - v2.value : v1.value + v2.value;
                EXPECT_EQ((v1.value >= 0) == (v2.value >= 0), a == parallel_aspect) << row[3];
            } else {
                const double sep = std::fabs(mod360(v2.value - v1.value));
                miss = std::min(sep, 360 - sep) - std::atof(cv.aspect_caption(a).c_str());
            }
            EXPECT_LE(std::fabs(miss), tolerance) << "row " << p1 << " " << a << " " << p2 << " " << row[3];
            // The other columns hold the positions at the exact moment: longitudes, whether P2
            // stands ahead of P1 (longitude aspects only), speeds, declinations.
            const Value lon1 = p1_value(p1, t, false), lon2 = p2_value(p2, t, false);
            const Value decl1 = p1_value(p1, t, true), decl2 = p2_value(p2, t, true);
            const double ahead = mod360(lon1.value - lon2.value);
            EXPECT_NEAR(number(5), lon1.value, std::fabs(lon1.speed) * 0.0001 + 1e-6) << row[3];
            EXPECT_NEAR(number(6), lon2.value, std::fabs(lon2.speed) * 0.0001 + 1e-6) << row[3];
            // At a conjunction or an opposition the side is a matter of the last digit.
            if (decl || std::fabs(std::fmod(ahead, 180.0) - 90.0) < 89.99) {
                EXPECT_EQ(row[7], decl ? "0" : ahead <= 180 ? "1" : "-1") << row[3];
            }
            for (const auto& [column, value] : {std::pair{8, lon1.speed}, {9, lon2.speed}, {10, decl1.value}, {11, decl2.value}})
                EXPECT_NEAR(number(column), value, 0.001) << column << " " << row[3];
        }
    }

    LibSwe swe;
    Ephemeris eph{swe};
    Engine engine{eph};
    const ControlValues& cv = engine.cv;
};

TEST_F(RealScan, EveryModeListsExactAspectsAndTheFastScanTheSame) {
    const Case cases[] = {
        {.name = "transit to natal", .start = "03/01/2001", .end = "04/30/2001", .p1 = {0, 2, 3, 4},
         .p2 = {0, 1, 2, 3, 4, 5, 6}, .aspects = some_aspects, .min_rows = 20},
        {.name = "the Moon, and a time zone", .mode = 1, .start = "01/01/2010", .end = "01/31/2010", .tz = "5", .p1 = {1},
         .p2 = {0, 4}, .aspects = {0, 7, 14, 16, 17}, .min_rows = 8},
        // True positions, the given moment taken as Ephemeris Time.
        {.name = "heliocentric", .mode = 1, .helio = 1, .start = "01/01/2015", .end = "06/30/2015", .p1 = {2, 3, 14},
         .p2 = {4, 5}, .aspects = {0, 7, 14, 15, 16, 17}, .use_et = 0, .apparent_pos = 0, .min_rows = 10},
        // A greyed tick (2) counts as apparent, not as ET.
        {.name = "progressed to natal", .mode = 2, .start = "06/15/1990", .end = "06/15/1990", .years_back = "10",
         .p1 = {0, 1, 2, 3}, .p2 = sun_to_pluto, .aspects = some_aspects, .use_et = 2, .apparent_pos = 2, .min_rows = 5},
        {.name = "solar arc to natal", .mode = 3, .start = "06/15/1990", .end = "06/15/1990", .years_back = "10",
         .p1 = {0, 1, 2, 3, 4, 5, 6}, .p2 = sun_to_pluto, .aspects = some_aspects, .min_rows = 5},
        {.name = "solar arc to natal, heliocentric", .mode = 3, .helio = 1, .start = "06/15/1990", .end = "06/15/1990",
         .years_back = "15", .p1 = {2, 3, 4, 5, 6}, .p2 = {2, 3, 4, 5, 6, 7, 8, 9}, .aspects = some_aspects,
         .min_rows = 3},
        {.name = "degree", .calc_kind = 0, .start = "03/01/2000", .end = "05/31/2000", .p1 = {0, 1, 2, 3}, .p2 = {},
         .aspects = {0, 7, 14, 16, 17}, .min_rows = 10, .fewer_calls_by = 2},
        // The great conjunction of Jupiter and Saturn, to the second.
        {.name = "great conjunction", .mode = 1, .start = "12/15/2020", .end = "12/25/2020", .p1 = {5}, .p2 = {6},
         .aspects = {0}, .first_row_time = "12/21/2020 18:20:36", .fewer_calls_by = 1},
        // Small versions of the benchmark's scenarios.
        {.name = "the window's initial state", .start = "12/01/2005", .end = "12/31/2005", .p1 = {}},
        {.name = "all bodies to natal, two weeks", .min_rows = 50},
        {.name = "transits, Sun to Pluto and Chiron, two months", .mode = 1, .end = "02/29/2000",
         .p1 = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 15}, .p2 = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 15}, .min_rows = 50},
        {.name = "progressed, all bodies", .mode = 2, .start = "12/01/2005", .end = "12/31/2005", .years_back = "3",
         .min_rows = 5},
        {.name = "asteroid files missing", .mode = 1, .end = "01/31/2000", .p1 = {0, 1, 4, 21, 22},
         .p2 = {0, 1, 4, 21, 22}, .without_asteroid_files = true},
    };
    const std::string no_ephe = (std::filesystem::temp_directory_path() / "tavrolin-no-ephe").string();
    std::filesystem::create_directories(no_ephe);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        set_ephemeris_path(c.without_asteroid_files ? no_ephe : std::string(TAVROLIN_BIN_DIR));
        set_up(c, engine);
        const ScanOutcome literal = engine.Start_Calcs();
        ASSERT_TRUE(literal.ran);
        EXPECT_EQ(eph.errors().empty(), !c.without_asteroid_files);
        EXPECT_GE(engine.result_count, c.min_rows);
        check_rows();
        if (c.first_row_time) {
            EXPECT_EQ(engine.result_table.at(1)[3], c.first_row_time);
        }
        for (int threads : {1, 2, 3}) {
            Ephemeris fast_eph(swe);
            Engine fast(fast_eph);
            set_up(c, fast);
            ScanControl control;
            control.threads = threads;
            const ScanOutcome out = Start_Calcs_parallel(fast, control);
            EXPECT_EQ(shown(fast, out), shown(engine, literal)) << threads << " threads";
            EXPECT_LT(out.library_calls * c.fewer_calls_by, literal.library_calls) << threads << " threads";
        }
    }
}

// The bounds that let the fast scan leave refinements out hold for the library's positions: at
// moments some 400 days apart from 1800 to 2400, the speed and its change over half a day.
TEST_F(RealScan, MotionBoundsHoldForTheLibrarysPositions) {
    set_ephemeris_path(TAVROLIN_BIN_DIR);
    for (int body = 0; body <= last_body_index; ++body) {
        for (int helio : {0, 1}) {
            for (bool declination : {false, true}) {
                const auto bound = motion_bound(body, helio, declination);
                if (!bound) continue;
                const int flags = helio == 1 ? SEFLG_HELCTR_ : (declination ? SEFLG_EQUATORIAL_ : 0);
                const std::size_t element = declination ? 4 : 3;  // the speed of latitude or longitude
                for (double t = 2378497.0; t < 2597640.0; t += 401.7) {
                    const LibraryResult a = eph.compute(t, body, flags), b = eph.compute(t + 0.5, body, flags);
                    ASSERT_GE(a.rc, 0) << body;
                    EXPECT_LE(std::fabs(a.xx[element]), bound->speed) << body << " " << helio << " " << t;
                    EXPECT_LE(std::fabs(b.xx[element] - a.xx[element]) / 0.5, bound->acceleration)
                        << body << " " << helio << " " << declination << " " << t;
                }
            }
        }
    }
}

}  // namespace
