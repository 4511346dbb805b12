// The fast scan (positions of the scan times computed once, pairs on several threads) against
// the single-threaded one, with the ephemeris double: the same rows, near misses, errors and
// stops, whatever the number of threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "engine/calendar.h"
#include "engine/parallel_scan.h"
#include "engine/position_grid.h"
#include "scan_setup.h"

using namespace tavrolin;
using namespace tavrolin::testing;

namespace {

// Bodies that move unevenly, so that the scan finds exact hits, near misses, refinements that
// land outside their step and declination aspects, no faster than the real bodies of their
// numbers (Mercury turns retrograde). u is days after 0h of 01/01/2000.
FakeSwe::Motion sky_motion(int number) {
    struct Orbit {
        double lon0, rate, wobble, period, decl_amp, decl_period;
    };
    const auto orbit = [&]() -> Orbit {
        switch (number) {
            case 0: return {280.0, 1.0, 0.0, 1.0, 23.0, 58.0};
            case 1: return {100.0, 13.2, 5.0, 4.3, 20.0, 4.35};
            case 2: return {250.0, 0.8, 20.0, 14.0, 5.0, 9.0};
            case 4: return {10.0, 0.7, 0.0, 1.0, -3.0, 40.0};
            case 5: return {30.0, 0.1, 0.3, 20.0, 2.0, 300.0};
            case 6: return {100.0, -0.05, 0.0, 1.0, 1.0, 500.0};
            default: return {100.0, 1.0, 0.0, 1.0, 0.5, 50.0};
        }
    }();
    return [o = orbit](double t, int, double* xx) {
        const double u = t - jan1_2000;
        double lon = o.lon0 + o.rate * u + o.wobble * std::sin(u / o.period);
        lon -= 360.0 * std::floor(lon / 360.0);
        xx[0] = lon;
        xx[1] = o.decl_amp * std::sin(u / o.decl_period);
        xx[2] = 1.0;
        xx[3] = o.rate + o.wobble / o.period * std::cos(u / o.period);
        xx[4] = o.decl_amp / o.decl_period * std::cos(u / o.decl_period);
    };
}

void set_sky(FakeSwe& swe) {
    for (int number : {0, 1, 2, 4, 5, 6, 14}) swe.set_motion(number, sky_motion(number));
}

struct Sky : ScanSetup {
    Sky() { set_sky(swe); }
};

struct Case {
    const char* name;
    int calc_kind = 1;
    int mode = 1;
    int p1_helio = 0, p2_helio = 0;
    std::vector<int> p1, p2, aspects;
    const char* start = "01/01/2000";
    const char* end = "03/31/2000";
    const char* years_back = "1";
    int row_limit = Engine::max_result_rows;
    // Body number -> a window of days after 01/01/2000 in which its data are missing.
    std::vector<std::pair<int, std::pair<double, double>>> gaps = {};
};

void apply(const Case& c, Sky& s) {
    s.engine.calc_kind = c.calc_kind;
    s.cv.select_mode(c.mode);
    s.cv.ignore_dups = 0;
    s.cv.p1_helio = c.p1_helio;
    s.cv.p2_helio = c.p2_helio;
    s.cv.start_date = c.start;
    s.cv.end_date = c.end;
    s.cv.years_back = c.years_back;
    s.cv.zodiac_degree = "15.5";
    s.cv.user_defined_angle = "51.7";
    for (int b : c.p1) s.cv.p1_planets[static_cast<std::size_t>(b)] = 1;
    for (int b : c.p2) s.cv.p2_planets[static_cast<std::size_t>(b)] = 1;
    for (int a : c.aspects) s.cv.aspects[static_cast<std::size_t>(a)] = 1;
    s.engine.row_limit = c.row_limit;
    s.swe.gap_message_names_time = true;
    // Gaps of a few hours are not the library's kind: with them no refinement may be left out.
    s.swe.bounded_motion = c.gaps.empty();
    for (const auto& [body, window] : c.gaps)
        s.swe.failing_between[body] = {jan1_2000 + window.first, jan1_2000 + window.second};
}

// Everything of a run that the listing, the near-miss section and the error lines show.
void expect_same_run(const Engine& fast, const ScanOutcome& fast_out, const Engine& literal,
                     const ScanOutcome& literal_out, const std::string& what) {
    EXPECT_EQ(fast.result_count, literal.result_count) << what;
    EXPECT_EQ(fast.result_table, literal.result_table) << what;
    EXPECT_EQ(fast.near_miss_text, literal.near_miss_text) << what;
    EXPECT_EQ(fast.eph.errors(), literal.eph.errors()) << what;
    EXPECT_EQ(fast_out.ran, literal_out.ran) << what;
    EXPECT_EQ(fast_out.row_limit_reached, literal_out.row_limit_reached) << what;
    EXPECT_EQ(fast_out.stopped_at_date, literal_out.stopped_at_date) << what;
    EXPECT_FALSE(fast_out.cancelled) << what;
    EXPECT_EQ(fast.last_outcome.row_limit_reached, literal.last_outcome.row_limit_reached) << what;
}

const std::vector<int> ticked_bodies = {0, 1, 2, 4, 5, 6};
const std::vector<int> helio_bodies = {2, 4, 5, 6, 14};
const std::vector<int> many_aspects = {0, 5, 7, 9, 12, 14, 15, 16, 17};

TEST(ParallelScan, SameResultsAsTheSingleThreadedScanWhateverTheThreads) {
    const Case cases[] = {
        {"transit to transit", 1, 1, 0, 0, ticked_bodies, ticked_bodies, many_aspects},
        {"transit to natal, gaps on and between scan times", 1, 0, 0, 0, ticked_bodies, ticked_bodies, many_aspects,
         "01/01/2000", "03/31/2000", "1", Engine::max_result_rows, {{2, {20.0, 20.0}}, {4, {33.3, 33.6}}, {1, {50.2, 50.9}}}},
        {"natal positions the library could not compute", 1, 0, 0, 0, ticked_bodies, ticked_bodies, many_aspects,
         "01/01/2000", "01/31/2000", "1", Engine::max_result_rows, {{5, {-18363.0, -18362.0}}}},
        {"heliocentric columns", 1, 1, 1, 1, helio_bodies, helio_bodies, many_aspects},
        {"progressed to natal", 1, 2, 0, 0, ticked_bodies, ticked_bodies, many_aspects, "12/01/2005", "12/31/2005", "4"},
        {"solar arc to natal", 1, 3, 0, 0, ticked_bodies, ticked_bodies, many_aspects, "12/01/2005", "12/31/2005", "4"},
        {"solar arc to natal, heliocentric", 1, 3, 1, 1, helio_bodies, helio_bodies, many_aspects, "12/01/2005",
         "12/31/2005", "4"},
        {"zodiac degree", 0, 0, 0, 0, ticked_bodies, {}, many_aspects},
        {"start after end", 1, 1, 0, 0, ticked_bodies, ticked_bodies, many_aspects, "03/31/2000", "01/01/2000"},
        {"row limit within a pair", 1, 1, 0, 0, ticked_bodies, ticked_bodies, many_aspects, "01/01/2000",
         "03/31/2000", "1", 30},
        {"row limit of zero stops at the first row", 1, 1, 0, 0, ticked_bodies, ticked_bodies, many_aspects,
         "01/01/2000", "03/31/2000", "1", 0},
    };
    for (const Case& c : cases) {
        Sky literal;
        apply(c, literal);
        const ScanOutcome literal_out = literal.engine.Start_Calcs();
        ASSERT_TRUE(literal_out.ran) << c.name;
        for (int threads : {1, 2, 3, 5}) {
            Sky fast;
            apply(c, fast);
            ScanControl control;
            control.threads = threads;
            const ScanOutcome fast_out = Start_Calcs_parallel(fast.engine, control);
            expect_same_run(fast.engine, fast_out, literal.engine, literal_out,
                            std::string(c.name) + ", threads " + std::to_string(threads));
            // Positions computed once per body, not once per pair (a run stopped early may have
            // computed positions it did not need).
            if (literal.engine.result_count > 20 && !literal_out.row_limit_reached) {
                EXPECT_LT(fast_out.library_calls * 2, literal_out.library_calls) << c.name;
            }
        }
    }
}

TEST(ParallelScan, RowLimitKeepsOnlyWhatTheSingleThreadedScanFoundBeforeIt) {
    // Mars (30 degrees a day) passes Jupiter (100) on days 0.5, 12.5, 24.5 and Saturn (200) on
    // days 3.8, 15.8, 27.8: three rows per pair. Jupiter's data miss at day 20 (between its second
    // and third row), Saturn's at day 9 (between its first and second). Whether an error is
    // reported depends on where the scan stops; a later pair scanned ahead by another thread must
    // not add its errors.
    for (int limit = 1; limit <= 7; ++limit) {
        const auto setup = [&](ScanSetup& s) {
            s.place(5, 100.0);
            s.place(6, 200.0);
            s.move(4, 100.0, 30.0, jan1_2000 + 0.5);
            s.tick(4, 5, 0);
            s.tick(4, 6, 0);
            s.swe.gap_message_names_time = true;
            s.swe.failing_between[5] = {jan1_2000 + 20.0, jan1_2000 + 20.0};
            s.swe.failing_between[6] = {jan1_2000 + 9.0, jan1_2000 + 9.0};
            s.engine.row_limit = limit;
        };
        ScanSetup literal;
        setup(literal);
        const ScanOutcome literal_out = literal.engine.Start_Calcs();
        for (int threads : {1, 2, 4}) {
            ScanSetup fast;
            setup(fast);
            ScanControl control;
            control.threads = threads;
            const ScanOutcome fast_out = Start_Calcs_parallel(fast.engine, control);
            expect_same_run(fast.engine, fast_out, literal.engine, literal_out,
                            "limit " + std::to_string(limit) + ", threads " + std::to_string(threads));
        }
    }
}

// The single-threaded scan ended by `stop` before a step: the reference for a cancelled run.
struct StoppedReference {
    std::vector<ResultRow> rows;
    std::string near_miss_text;
    int p1 = -1, p2 = -1;
    std::string date;
};

StoppedReference scan_until(Engine& engine, const std::function<bool()>& stop) {
    ScanOutcome outcome;
    ScanPlan plan;
    EXPECT_TRUE(engine.begin_calcs(outcome, {}, plan));
    StoppedReference ref;
    PairHooks hooks;
    hooks.stop_before_step = [&](double) { return stop(); };
    for (const auto& [p1, p2] : plan.pairs) {
        engine.p1_num = p1;
        engine.p2_num = p2;
        const PairEnd end = engine.scan_pair(plan, hooks);
        if (end.kind == PairEnd::Kind::stopped) {
            ref.p1 = p1;
            ref.p2 = p2;
            ref.date = plan.calendar_date(end.at, engine.cv.date_order);
            break;
        }
    }
    ref.rows.assign(engine.result_table.begin() + 1, engine.result_table.begin() + engine.result_count);
    ref.near_miss_text = engine.near_miss_text;
    return ref;
}

TEST(ParallelScan, CancelKeepsTheRowsFoundBeforeTheStepItStoppedAt) {
    // The run is cancelled when Mercury's position for 02/10/2000 is first asked for. Without the
    // grid and with one thread the calls come in the single-threaded order, so the run must end
    // exactly where that scan, stopped at the same moment, ends.
    const Case c{"cancel", 1, 0, 0, 0, ticked_bodies, ticked_bodies, many_aspects};
    const double trigger = jan1_2000 + 40.0;
    const auto arm = [&](Sky& s, std::atomic<bool>& cancel) {
        apply(c, s);
        s.swe.set_motion(2, [&cancel, trigger, mercury = sky_motion(2)](double t, int f, double* xx) {
            if (t >= trigger && t < trigger + 0.01) cancel = true;
            mercury(t, f, xx);
        });
    };

    std::atomic<bool> ref_cancel{false};
    Sky reference;
    arm(reference, ref_cancel);
    const StoppedReference ref = scan_until(reference.engine, [&] { return ref_cancel.load(); });
    ASSERT_EQ(ref.p1, 2) << "the trigger lies in Mercury's first pair";
    ASSERT_GT(ref.rows.size(), 10u);

    std::atomic<bool> cancel{false};
    Sky fast;
    arm(fast, cancel);
    ScanControl control;
    control.threads = 1;
    control.grid_budget_bytes = 0;
    control.cancel = &cancel;
    const ScanOutcome out = Start_Calcs_parallel(fast.engine, control);
    EXPECT_TRUE(out.cancelled);
    EXPECT_TRUE(fast.engine.last_outcome.cancelled);
    EXPECT_EQ(out.cancelled_p1, ref.p1);
    EXPECT_EQ(out.cancelled_p2, ref.p2);
    EXPECT_EQ(out.cancelled_at_date, ref.date);
    ASSERT_EQ(fast.engine.result_count, static_cast<int>(ref.rows.size()));
    EXPECT_TRUE(std::equal(ref.rows.begin(), ref.rows.end(), fast.engine.result_table.begin() + 1));
    EXPECT_EQ(fast.engine.near_miss_text, ref.near_miss_text);
}

TEST(ParallelScan, CancelledRunIsAPrefixOfTheFullOneWhateverTheThreads) {
    const Case c{"prefix", 1, 1, 0, 0, ticked_bodies, ticked_bodies, many_aspects, "01/01/2000", "12/31/2001"};
    Sky full;
    apply(c, full);
    ASSERT_TRUE(full.engine.Start_Calcs().ran);
    const std::vector<ResultRow>& all = full.engine.result_table;

    bool cancelled_with_rows = false;
    for (int threads : {2, 3}) {
        for (int calls_before_cancel : {1000, 3000, 6000}) {
            std::atomic<bool> cancel{false};
            Sky s;
            apply(c, s);
            std::atomic<int> calls{0};
            // Cancels once the Sun's position has been asked for so many times.
            s.swe.set_motion(0, [&, sun = sky_motion(0)](double t, int f, double* xx) {
                if (++calls > calls_before_cancel) cancel = true;
                sun(t, f, xx);
            });
            ScanControl control;
            control.threads = threads;
            control.cancel = &cancel;
            const ScanOutcome out = Start_Calcs_parallel(s.engine, control);
            const std::string what = "threads " + std::to_string(threads) + ", after " + std::to_string(calls_before_cancel);
            const int n = s.engine.result_count;
            if (!out.cancelled) {
                // Asked for fewer times than that: the whole run.
                EXPECT_EQ(s.engine.result_table, all) << what;
                continue;
            }
            cancelled_with_rows = cancelled_with_rows || n > 0;
            // Every row is the full run's row at the same place, and the rows of the pairs before
            // the cancelled one are all there.
            ASSERT_LE(n, full.engine.result_count) << what;
            EXPECT_TRUE(std::equal(all.begin() + 1, all.begin() + 1 + n, s.engine.result_table.begin() + 1)) << what;
            const auto pair_of = [](const ResultRow& r) {
                return std::make_pair(std::stoi(std::string(r[0])), std::stoi(std::string(r[2])));
            };
            const auto cancelled_pair = std::make_pair(out.cancelled_p1, out.cancelled_p2);
            for (int r = n + 1; r <= full.engine.result_count; ++r)
                EXPECT_GE(pair_of(all[static_cast<std::size_t>(r)]), cancelled_pair) << what;
            // Near-miss lines of finished pairs only: a prefix of the full section.
            EXPECT_EQ(full.engine.near_miss_text.compare(0, s.engine.near_miss_text.size(), s.engine.near_miss_text), 0)
                << what;
        }
    }
    EXPECT_TRUE(cancelled_with_rows) << "no run was cancelled after finding rows";
}

TEST(ParallelScan, LeavesOutOnlyRefinementsThatCannotAddARow) {
    // Mercury slows to a station just before the end of a step and passes a standing body twice
    // within the step: the orb has the same sign at both ends and its linear zero lies in the
    // next step, yet the refinement converges inside this step and adds a row. The Moon's
    // ordinary aspects give refinements that the fast scan may leave out.
    const double station = jan1_2000 + 5.7;
    const auto setup = [&](ScanSetup& s) {
        s.swe.bounded_motion = true;
        s.swe.set_motion(2, [station](double t, int, double* xx) {
            // Slowing evenly within two days of the station, steady beyond them.
            const double u = std::clamp(t - station, -2.0, 2.0);
            xx[0] = 100.0 + 0.15 * u * u + 0.6 * std::fabs(t - station - u);
            xx[3] = 0.3 * u;
        });
        s.place(5, 100.0075);
        s.move(1, 10.0, 13.0, jan1_2000);
        s.tick(2, 5, 0);
        s.tick(1, 5, 7);
    };
    ScanSetup literal;
    setup(literal);
    const ScanOutcome literal_out = literal.engine.Start_Calcs();
    ASSERT_TRUE(literal_out.ran);
    const auto& table = literal.engine.result_table;
    const bool twin_crossing_found = std::any_of(table.begin(), table.end(), [](const ResultRow& row) {
        return row[0] == "2" && row[3].substr(0, 10) == "01/06/2000";
    });
    EXPECT_TRUE(twin_crossing_found);

    long long calls[2] = {0, 0};
    for (const bool skip : {false, true}) {
        ScanSetup fast;
        setup(fast);
        ScanControl control;
        control.skip_futile_refinements = skip;
        const ScanOutcome out = Start_Calcs_parallel(fast.engine, control);
        expect_same_run(fast.engine, out, literal.engine, literal_out, skip ? "skipping" : "not skipping");
        calls[skip] = out.library_calls;
    }
    EXPECT_LT(calls[1], calls[0]);
}

TEST(ParallelScan, ProgressRisesToTheEndOnTheCallingThread) {
    const Case c{"progress", 1, 1, 0, 0, ticked_bodies, ticked_bodies, many_aspects, "01/01/2000", "12/31/2003"};
    Sky s;
    apply(c, s);
    std::vector<double> seen;
    const auto caller = std::this_thread::get_id();
    bool other_thread = false;
    ScanControl control;
    control.threads = 2;
    control.progress = [&](double done) {
        seen.push_back(done);
        other_thread = other_thread || std::this_thread::get_id() != caller;
    };
    ASSERT_TRUE(Start_Calcs_parallel(s.engine, control).ran);
    ASSERT_FALSE(seen.empty());
    EXPECT_FALSE(other_thread);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(seen.back(), 1.0);
    EXPECT_GE(seen.front(), 0.0);
}

TEST(PositionGrid, AnswersOnlyTheCallsItHolds) {
    FakeSwe swe;
    set_sky(swe);
    Ephemeris eph(swe);
    PositionGrid grid(jan1_2000 + 0.25, 10);
    const int mars = grid.add_track(4, 0);
    EXPECT_EQ(grid.add_track(4, 0), mars);
    const int helio_mars = grid.add_track(4, 1);
    grid.fill({mars}, 0, 10, eph);
    grid.mark_filled(mars, 10);
    grid.fill({helio_mars}, 0, 5, eph);
    grid.mark_filled(helio_mars, 5);

    struct Lookup {
        double day;  // after 01/01/2000
        int body, flags, element;
        bool held;
    };
    const Lookup lookups[] = {
        {0.25, 4, 0, 0, true},
        {9.25, 4, SEFLG_EQUATORIAL_, 1, true},
        {9.5, 4, 0, 0, false},                 // between scan times
        {-0.75, 4, 0, 0, false},               // before the first
        {10.25, 4, 0, 0, false},               // after the last
        {NAN, 4, 0, 0, false},
        {2.25, 5, 0, 0, false},                // no track of Jupiter
        {2.25, 4, 0, 1, false},                // geocentric latitude: no procedure asks for it
        {2.25, 4, SEFLG_SIDEREAL_, 0, false},  // sidereal
        {2.25, 4, SEFLG_HELCTR_, 0, false},    // heliocentric track not filled yet
    };
    for (const auto& l : lookups) {
        const GridEntry* e = grid.find(jan1_2000 + l.day, l.body, l.flags, l.element);
        EXPECT_EQ(e != nullptr, l.held) << l.day << " body " << l.body << " flags " << l.flags;
        if (!e || !l.held) continue;
        Ephemeris direct(swe);
        const double value = l.flags == 0 ? direct.Get_1_Planet_geo(jan1_2000 + l.day, 4)
                                          : direct.Get_1_Planet_decl(jan1_2000 + l.day, 4);
        EXPECT_EQ(e->value, value);
        EXPECT_EQ(e->speed, direct.last_speed());
        EXPECT_FALSE(e->failed);
    }
}

}  // namespace
