// The fast scan (positions of the scan times computed once, pairs on several threads) against
// the single-threaded one, with the ephemeris double: the same rows, near misses, errors and
// stops, whatever the number of threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <tuple>
#include <vector>

#include "engine/parallel_scan.h"
#include "support/fake_swe.h"

using namespace tavrolin;
using namespace tavrolin::testing;

namespace {

// Bodies that move unevenly, so that the scan finds exact hits, near misses, refinements that
// land outside their step and declination aspects, no faster than the real bodies of their
// numbers (Mercury turns retrograde). u is days after 0h of 01/01/2000.
auto sky_motion(int number) {
    struct Orbit { double lon0, rate, wobble, period, decl_amp, decl_period; };
    static const std::map<int, Orbit> orbits = {
        {0, {280.0, 1.0, 0.0, 1.0, 23.0, 58.0}}, {1, {100.0, 13.2, 5.0, 4.3, 20.0, 4.35}},
        {2, {250.0, 0.8, 20.0, 14.0, 5.0, 9.0}}, {4, {10.0, 0.7, 0.0, 1.0, -3.0, 40.0}},
        {5, {30.0, 0.1, 0.3, 20.0, 2.0, 300.0}}, {6, {100.0, -0.05, 0.0, 1.0, 1.0, 500.0}},
        {14, {100.0, 1.0, 0.0, 1.0, 0.5, 50.0}}};
    return [o = orbits.at(number)](double t, int, double* xx) {
        const double u = t - jan1_2000;
        xx[0] = o.lon0 + o.rate * u + o.wobble * std::sin(u / o.period);
        xx[0] -= 360.0 * std::floor(xx[0] / 360.0);
        xx[1] = o.decl_amp * std::sin(u / o.decl_period);
        xx[3] = o.rate + o.wobble / o.period * std::cos(u / o.period);
        xx[4] = o.decl_amp / o.decl_period * std::cos(u / o.decl_period);
    };
}

const std::vector<int> ticked_bodies = {0, 1, 2, 4, 5, 6};
const std::vector<int> helio_bodies = {2, 4, 5, 6, 14};

struct Case {
    std::string name;
    int calc_kind = 1, mode = 1, helio = 0;  // helio: both columns
    std::vector<int> p1 = ticked_bodies, p2 = ticked_bodies;
    const char* start = "01/01/2000";
    const char* end = "03/31/2000";
    const char* years_back = "1";
    int row_limit = Engine::max_result_rows;
    // Body number -> a window of days after 01/01/2000 in which its data are missing.
    std::vector<std::pair<int, std::pair<double, double>>> gaps = {};
    std::vector<int> aspects = {0, 5, 7, 9, 12, 14, 15, 16, 17};
    void (*motion)(ScanSetup&) = nullptr;  // none: the bodies of sky_motion
    const char* found = nullptr;           // "P1 date" of a row the scan must find
    const char* stopped_at = nullptr;      // the date a run stopped at the row limit reports, "": not stopped
    int cancel_after = 0;                  // Cancel once the Sun's position has been asked for this often
};

struct Sky : ScanSetup {
    explicit Sky(const Case& c) : ScanSetup(c.p1, c.p2, c.aspects) {
        if (c.motion) c.motion(*this);
        else for (int number : {0, 1, 2, 4, 5, 6, 14}) swe.motions[number] = sky_motion(number);
        engine.calc_kind = c.calc_kind;
        cv.mode = c.mode;  // every pair in every mode, as the set-up leaves "Ignore duplicates"
        cv.p1_helio = cv.p2_helio = c.helio;
        cv.start_date = c.start;
        cv.end_date = c.end;
        cv.years_back = c.years_back;
        cv.zodiac_degree = "15.5";
        engine.row_limit = c.row_limit;
        // Gaps of a few hours are not the library's kind: with them no refinement may be left out.
        swe.bounded_motion = c.gaps.empty();
        for (const auto& [body, window] : c.gaps)
            swe.failing_between[body] = {jan1_2000 + window.first, jan1_2000 + window.second};
    }
};

TEST(ParallelScan, SameResultsAsTheSingleThreadedScanWhateverTheThreads) {
    std::vector<Case> cases = {
        {.name = "transit to transit"},
        {.name = "transit to natal, gaps on and between scan times", .mode = 0,
         .gaps = {{2, {20.0, 20.0}}, {4, {33.3, 33.6}}, {1, {50.2, 50.9}}}},
        {.name = "natal positions the library could not compute", .mode = 0, .end = "01/31/2000",
         .gaps = {{5, {-18363.0, -18362.0}}}},
        {.name = "heliocentric columns", .helio = 1, .p1 = helio_bodies, .p2 = helio_bodies},
        {.name = "progressed to natal", .mode = 2, .start = "12/01/2005", .end = "12/31/2005", .years_back = "4"},
        {.name = "solar arc to natal", .mode = 3, .start = "12/01/2005", .end = "12/31/2005", .years_back = "4"},
        {.name = "solar arc to natal, heliocentric", .mode = 3, .helio = 1, .p1 = helio_bodies, .p2 = helio_bodies,
         .start = "12/01/2005", .end = "12/31/2005", .years_back = "4"},
        {.name = "zodiac degree", .calc_kind = 0, .mode = 0, .p2 = {}},
        // An end before the start is refused (calculation_test.cpp); the shortest range is one day.
        {.name = "start is end", .start = "01/31/2000", .end = "01/31/2000"},
        {.name = "row limit within a pair", .row_limit = 30},
        {.name = "row limit of zero stops at the first row", .row_limit = 0},
    };
    // Mars (30 degrees a day) passes Jupiter (100) on days 0.5, 12.5, 24.5 and Saturn (200) on
    // days 3.8, 15.8, 27.8. Jupiter's data miss at day 20 (between its second and third row),
    // Saturn's at day 9 (between its first and second): whether an error is reported depends on
    // where the scan stops, and a later pair scanned ahead by another thread must not add its errors.
    // A run stopped at the row limit names the step of its last row.
    const char* stop_dates[] = {"01/01/2000", "01/13/2000", "01/25/2000", "01/04/2000", "01/16/2000", "01/28/2000", ""};
    for (int limit = 1; limit <= 7; ++limit) {
        cases.push_back({.name = "row limit " + std::to_string(limit) + " between gaps", .p1 = {4}, .p2 = {5, 6},
                         .end = "01/31/2000", .row_limit = limit, .gaps = {{5, {20.0, 20.0}}, {6, {9.0, 9.0}}},
                         .aspects = {0}, .motion = [](ScanSetup& s) {
                             s.move(5, 100.0);
                             s.move(6, 200.0);
                             s.move(4, 100.0, 30.0, jan1_2000 + 0.5);
                         }, .stopped_at = stop_dates[limit - 1]});
    }
    // Progressed from the birth at age 50: the Moon meets Jupiter at a right angle every 12
    // progressed days; the third row's step, 24 days in, stands for the 24th birthday.
    cases.push_back({.name = "progressed row limit", .mode = 2, .p1 = {1}, .p2 = {5}, .end = "12/31/2000",
                     .years_back = "50", .row_limit = 3, .aspects = {0, 7, 14}, .motion = [](ScanSetup& s) {
                         s.move(5, 100.0);
                         s.move(1, 100.0, 7.5, natal_jd + 0.5);
                     }, .stopped_at = "09/22/1973"});
    // Mercury slows to a station just before the end of a step and passes a standing body twice
    // within the step: the orb has the same sign at both ends and its linear zero lies in the
    // next step, yet the refinement converges inside this step and adds a row. The Moon's
    // ordinary aspects give refinements that the fast scan may leave out.
    cases.push_back({.name = "twin crossing at a station", .p1 = {1, 2}, .p2 = {5}, .end = "01/31/2000", .aspects = {0, 7},
                     .motion = [](ScanSetup& s) {
                         s.swe.motions[2] = [](double t, int, double* xx) {
                             // Slowing evenly within two days of the station, steady beyond them.
                             const double u = std::clamp(t - jan1_2000 - 5.7, -2.0, 2.0);
                             xx[0] = 100.0 + 0.15 * u * u + 0.6 * std::fabs(t - jan1_2000 - 5.7 - u);
                             xx[3] = 0.3 * u;
                         };
                         s.move(5, 100.0075);
                         s.move(1, 10.0, 13.0, jan1_2000);
                     },
                     .found = "2 01/06/2000"});
    // Cancelled with pairs on several threads: every row is the full run's row at the same place,
    // the rows of the pairs before the cancelled one are all there, and the near-miss lines are
    // those of finished pairs.
    for (int calls : {770, 850, 930})
        cases.push_back(
            {.name = "cancelled after " + std::to_string(calls), .mode = 0, .end = "12/31/2000", .cancel_after = calls});
    bool cancelled_with_rows = false;
    for (const Case& c : cases) {
        Sky literal(c);
        const ScanOutcome literal_out = literal.engine.Start_Calcs();
        ASSERT_TRUE(literal_out.ran) << c.name;
        const auto& table = literal.engine.result_table;
        EXPECT_TRUE(!c.found || std::any_of(table.begin(), table.end(), [&](const ResultRow& row) {
            return std::string(row[0]) + " " + std::string(row[3]).substr(0, 10) == c.found;
        })) << c.name;
        if (c.stopped_at) {  // stopped at the limit with that many rows, or all six rows of the month
            const int rows = *c.stopped_at ? c.row_limit : 6;
            EXPECT_EQ(std::tuple(literal_out.row_limit_reached, literal_out.stopped_at_date,
                                 literal.engine.last_outcome.stopped_at_date, literal.engine.result_count, table.size()),
                      std::tuple(rows == c.row_limit, c.stopped_at, c.stopped_at, rows, std::size_t(rows) + 1))
                << c.name;
        }
        // The last runs every refinement: the same rows, but leaving the futile ones out saves calls at the station.
        std::vector<long long> calls;
        for (const auto& [threads, skip_futile] : {std::pair{1, true}, {2, true}, {3, true}, {5, true}, {1, false}}) {
            Sky fast(c);
            std::atomic<bool> cancel{false};
            std::atomic<int> sun_calls{0};
            if (c.cancel_after > 0) {
                fast.swe.motions[0] = [&, sun = sky_motion(0)](double t, int f, double* xx) {
                    if (++sun_calls > c.cancel_after) cancel = true;
                    sun(t, f, xx);
                };
            }
            const ScanOutcome out = Start_Calcs_parallel(fast.engine, {.threads = threads, .cancel = &cancel, .progress = {},
                                                                       .skip_futile_refinements = skip_futile});
            const Engine& e = fast.engine;
            SCOPED_TRACE(c.name + ", run " + std::to_string(calls.size()));
            calls.push_back(out.library_calls);
            if (out.cancelled) {
                cancelled_with_rows = cancelled_with_rows || e.result_count > 0;
                ASSERT_LE(e.result_count, literal.engine.result_count);
                EXPECT_TRUE(std::equal(table.begin() + 1, table.begin() + 1 + e.result_count, e.result_table.begin() + 1));
                for (std::size_t r = static_cast<std::size_t>(e.result_count) + 1; r < table.size(); ++r)
                    EXPECT_GE(std::pair(std::stoi(std::string(table[r][0])), std::stoi(std::string(table[r][2]))),
                              std::pair(out.cancelled_p1, out.cancelled_p2));
                EXPECT_EQ(literal.engine.near_miss_text.compare(0, e.near_miss_text.size(), e.near_miss_text), 0);
                continue;
            }
            EXPECT_EQ(shown(e, out), shown(literal.engine, literal_out));
            // Positions computed once per body, not once per pair (a run stopped early may have
            // computed positions it did not need).
            if (literal.engine.result_count > 20 && !literal_out.row_limit_reached) {
                EXPECT_LT(out.library_calls * 2, literal_out.library_calls);
            }
        }
        EXPECT_TRUE(!c.found || calls.front() < calls.back()) << calls.front() << " " << calls.back();
    }
    EXPECT_TRUE(cancelled_with_rows) << "no run was cancelled after finding rows";
}

// The merge alone: stretches aspect by aspect, whatever order closed them; cut at the row's step.
TEST(ParallelScan, MergeCutsAtTheLimitAndOrdersEachPairsStretches) {
    ScanInputs in;
    in.plan.pairs = {{4, 6}};
    const auto at = [](int aspect, double from, double to) { return OrbStretch{4, aspect, 6, jan1_2000 + from, jan1_2000 + to}; };
    for (const int limit : {Engine::max_result_rows, 2}) {
        in.row_limit = limit;
        PairResult p;
        p.rows = {ResultRow{"4", "7", "6"}, ResultRow{"4", "0", "6"}, ResultRow{"4", "14", "6"}};
        p.row_steps = {jan1_2000 + 2, jan1_2000 + 10, jan1_2000 + 20};
        p.row_errors = {0, 0, 0};
        p.row_outside_calendar = {0, 1, 1};
        p.rows_outside_calendar = 2;
        p.stretches = {at(7, 1, 2), at(0, 1, 3), at(0, 9, 12), at(5, 4, 5), at(7, 5, 6), at(14, 19, 21)};  // as closed
        ScanOutcome out;
        const ScanResults r = merge_pair_results({p}, in, out);
        EXPECT_EQ(std::tuple(r.result_count, r.rows_outside_calendar, out.stopped_at_date, r.orb_stretches),
                  limit == 2 ? std::tuple(2, 1, std::string("01/11/2000"),
                                          std::vector{at(0, 1, 3), at(0, 9, 10), at(7, 1, 2), at(7, 5, 6)})
                             : std::tuple(3, 2, std::string(),
                                          std::vector{at(0, 1, 3), at(0, 9, 12), at(5, 4, 5), at(7, 1, 2), at(7, 5, 6),
                                                      at(14, 19, 21)}));
    }
}

TEST(ParallelScan, CancelledWithOneThreadEndsWhereTheSingleThreadedScanStops) {
    const Case c{.name = "cancel", .mode = 0, .end = "12/31/2000"};
    // With one thread and without the grid the calls come in the single-threaded order: cancelled
    // when Mercury's position for 02/10/2000 is first asked for, the run ends exactly where that
    // scan, stopped at the same moment, ends.
    const auto armed = [](Sky& s, std::atomic<bool>& cancel) {
        s.swe.motions[2] = [&cancel, mercury = sky_motion(2)](double t, int f, double* xx) {
            if (t >= jan1_2000 + 40.0 && t < jan1_2000 + 40.01) cancel = true;
            mercury(t, f, xx);
        };
    };
    std::atomic<bool> ref_cancel{false}, cancel{false};
    Sky reference(c), one(c);
    armed(reference, ref_cancel);
    armed(one, cancel);
    Engine& ref = reference.engine;
    ScanOutcome ref_outcome;
    ScanInputs in;
    ASSERT_TRUE(ref.begin_calcs(ref_outcome, {}, in));
    const ScanPlan& plan = in.plan;
    PairHooks hooks;
    hooks.stop_before_step = [&](double) { return ref_cancel.load(); };
    PairScan scan(in, ref.eph);
    std::vector<PairResult> pairs;
    for (const auto& [p1, p2] : plan.pairs)
        if (pairs.emplace_back(scan.scan(p1, p2, in.row_limit, hooks)).end.kind == PairEnd::Kind::stopped) break;
    const PairEnd end = pairs.back().end;
    ref.end_calcs(merge_pair_results(std::move(pairs), in, ref_outcome), ref_outcome);
    ASSERT_EQ(scan.p1_num, 2) << "the trigger lies in Mercury's first pair";
    ASSERT_GT(ref.result_table.size(), 10u);
    const ScanOutcome out =
        Start_Calcs_parallel(one.engine, {.threads = 1, .cancel = &cancel, .progress = {}, .grid_budget_bytes = 0});
    EXPECT_TRUE(out.cancelled && one.engine.last_outcome.cancelled);
    EXPECT_EQ(std::tuple(out.cancelled_p1, out.cancelled_p2, out.cancelled_at_date),
              std::tuple(scan.p1_num, scan.p2_num, plan.calendar_date(end.at, ref.cv.date_order)));
    EXPECT_EQ(one.engine.result_count, ref.result_count);
    EXPECT_TRUE(std::equal(ref.result_table.begin() + 1, ref.result_table.begin() + ref.result_count + 1,
                           one.engine.result_table.begin() + 1));
    EXPECT_EQ(one.engine.near_miss_text, ref.near_miss_text);
}

}  // namespace
