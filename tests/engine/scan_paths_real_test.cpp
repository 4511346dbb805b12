// The fast scan against the single-threaded one with the real library and data files, on small
// versions of the benchmark's scenarios: the same table, near misses, errors and stops.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/motion_bounds.h"
#include "engine/parallel_scan.h"

using namespace tavrolin;

namespace {

const std::vector<int> geocentric = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 15, 16, 17, 18, 19, 20, 21, 22};

struct Scenario {
    const char* name;
    int calc_kind = 1, mode = 0;
    std::vector<int> bodies = geocentric;  // ticked in both columns; empty: the window's initial ticks
    const char* start = "01/01/2000";
    const char* end = "01/14/2000";
    const char* years_back = "1";
    int ignore_dups = -1;  // -1: as the mode sets it
    int row_limit = Engine::max_result_rows;
    bool without_asteroid_files = false;
    // The fast scan makes this many times fewer library calls (each body serves many pairs).
    int fewer_calls_by = 1;
};

void set_up(const Scenario& s, Engine& engine) {
    ControlValues& cv = engine.cv;
    cv = ControlValues{};
    cv.natal_date = "09/22/1949";
    cv.start_date = s.start;
    cv.end_date = s.end;
    cv.years_back = s.years_back;
    cv.select_mode(s.mode);
    if (s.ignore_dups >= 0) cv.ignore_dups = s.ignore_dups;
    if (!s.bodies.empty()) {
        cv.p1_planets.fill(0);
        cv.p2_planets.fill(0);
        for (int b : s.bodies) cv.p1_planets[static_cast<std::size_t>(b)] = cv.p2_planets[static_cast<std::size_t>(b)] = 1;
    }
    cv.aspects.fill(1);
    engine.calc_kind = s.calc_kind;
    engine.row_limit = s.row_limit;
}

class ScanPaths : public ::testing::Test {
protected:
    void TearDown() override { set_ephemeris_path(TAVROLIN_BIN_DIR); }
};

TEST_F(ScanPaths, FastScanListsExactlyWhatTheSingleThreadedScanLists) {
    const Scenario scenarios[] = {
        {.name = "S1 the window's initial state", .bodies = {}, .start = "12/01/2005", .end = "12/31/2005",
         .fewer_calls_by = 3},
        {.name = "S1 degree command", .calc_kind = 0, .bodies = {}, .start = "12/01/2005", .end = "12/31/2005"},
        {.name = "S2 all bodies to natal, two weeks", .fewer_calls_by = 3},
        {.name = "S3 transits, Sun to Pluto and Chiron, two months", .mode = 1,
         .bodies = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 15}, .end = "02/29/2000", .ignore_dups = 1, .fewer_calls_by = 3},
        {.name = "S4 progressed to natal", .mode = 2, .start = "12/01/2005", .end = "12/31/2005", .years_back = "3",
         .fewer_calls_by = 3},
        {.name = "S4 solar arc to natal", .mode = 3, .start = "12/01/2005", .end = "12/31/2005", .years_back = "3",
         .fewer_calls_by = 3},
        {.name = "row limit", .row_limit = 150},
        {.name = "asteroid files missing", .mode = 1, .bodies = {0, 1, 4, 21, 22}, .end = "01/31/2000",
         .without_asteroid_files = true},
    };
    const std::string empty_folder = (std::filesystem::temp_directory_path() / "tavrolin-no-ephe").string();
    std::filesystem::create_directories(empty_folder);

    for (const Scenario& s : scenarios) {
        set_ephemeris_path(s.without_asteroid_files ? empty_folder : std::string(TAVROLIN_BIN_DIR));
        LibSwe swe;
        Ephemeris literal_eph(swe);
        Engine literal(literal_eph);
        set_up(s, literal);
        const ScanOutcome literal_out = literal.Start_Calcs();
        ASSERT_TRUE(literal_out.ran) << s.name;
        EXPECT_GT(literal.result_count, 0) << s.name;
        EXPECT_EQ(literal_out.row_limit_reached, s.row_limit < Engine::max_result_rows) << s.name;
        EXPECT_EQ(literal_eph.errors().empty(), !s.without_asteroid_files) << s.name;

        for (int threads : {1, 2, 3}) {
            const std::string what = std::string(s.name) + ", threads " + std::to_string(threads);
            Ephemeris eph(swe);
            Engine fast(eph);
            set_up(s, fast);
            ScanControl control;
            control.threads = threads;
            const ScanOutcome out = Start_Calcs_parallel(fast, control);
            EXPECT_EQ(fast.result_count, literal.result_count) << what;
            EXPECT_EQ(fast.result_table, literal.result_table) << what;
            EXPECT_EQ(fast.near_miss_text, literal.near_miss_text) << what;
            EXPECT_EQ(eph.errors(), literal_eph.errors()) << what;
            EXPECT_EQ(out.row_limit_reached, literal_out.row_limit_reached) << what;
            EXPECT_EQ(out.stopped_at_date, literal_out.stopped_at_date) << what;
            if (!literal_out.row_limit_reached) {
                EXPECT_LT(out.library_calls * s.fewer_calls_by, literal_out.library_calls) << what;
            }
        }
    }
}

}  // namespace

// The bounds that let the fast scan leave refinements out hold for the library's positions: at
// moments some 400 days apart from 1800 to 2400, the speed and its change over half a day.
TEST_F(ScanPaths, MotionBoundsHoldForTheLibrarysPositions) {
    set_ephemeris_path(TAVROLIN_BIN_DIR);
    LibSwe swe;
    Ephemeris eph(swe);
    const double first = 2378497.0;  // 1800
    const double last = 2597640.0;   // 2400
    for (int body = 0; body <= last_body_index; ++body) {
        for (int helio : {0, 1}) {
            for (bool declination : {false, true}) {
                const auto bound = motion_bound(body, helio, declination);
                if (!bound) continue;
                const int flags = helio == 1 ? SEFLG_HELCTR_ : (declination ? SEFLG_EQUATORIAL_ : 0);
                const std::size_t element = declination ? 4 : 3;  // the speed of latitude or longitude
                for (double t = first; t < last; t += 401.7) {
                    const LibraryResult a = eph.compute(t, body, flags);
                    const LibraryResult b = eph.compute(t + 0.5, body, flags);
                    ASSERT_GE(a.rc, 0) << body;
                    EXPECT_LE(std::fabs(a.xx[element]), bound->speed) << body << " " << helio << " " << t;
                    EXPECT_LE(std::fabs(b.xx[element] - a.xx[element]) / 0.5, bound->acceleration)
                        << body << " " << helio << " " << declination << " " << t;
                }
            }
        }
    }
}
