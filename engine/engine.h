// The engine's state, split by lifetime: the main window's Engine (control values, natal tables, the
// last run's results), the read-only inputs of a run, the working state of one pair's scan, and the
// results, pair by pair and merged.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/bodies.h"
#include "engine/control_values.h"
#include "engine/ephemeris.h"
#include "engine/houses.h"
#include "engine/input_field.h"
#include "engine/result_row.h"
#include "engine/sky_events.h"

namespace tavrolin {

// What the scan of a calculation command ended with.
struct ScanOutcome {
    // false: a box refused its text (a date box holds no date, the dates are reversed, the time
    // zone box holds no time zone...); nothing was computed and nothing changed.
    bool ran = false;
    InputField invalid_field = InputField::none;  // the box
    std::string invalid_text;                     // its text
    std::string invalid_problem = "is not a date";
    // The scan stopped at the row limit; the date (regional order) up to which it got.
    bool row_limit_reached = false;
    std::string stopped_at_date;
    // The user cancelled the scan: the rows found before are kept; the date (regional order) of
    // the step and the pair at which it stopped.
    bool cancelled = false;
    std::string cancelled_at_date;
    int cancelled_p1 = -1;
    int cancelled_p2 = -1;
    // Library position calls the run made (all threads).
    long long library_calls = 0;
    // What the window and the batch program say about the birth place's houses: the house system
    // that had no cusps there and the one used instead; empty otherwise.
    std::string houses_note;
};

// What every body pair of a calculation shares: the scan times, the aspects searched and the
// pairs, in the order in which their rows are listed.
struct ScanPlan {
    double scan_start = 0.0;
    double scan_end = 0.0;
    bool progressed = false;  // modes 2 and 3: scan times are progressed days
    double natal_jd = 0.0;
    std::vector<int> aspects;                  // ticked aspect indexes, ascending
    std::array<float, aspect_count> angles{};  // angle of each ticked aspect, single precision
    std::vector<std::pair<int, int>> pairs;    // (P1, P2), in scan order

    // Steps of each pair's day loop; the scan times are scan_start + 0 .. steps.
    int steps() const;
    // The calendar time of a scan time (progressed days turned into the years they stand for),
    // and its date.
    double calendar_time(double scan_time) const;
    std::string calendar_date(double scan_time, int date_order) const;
};

// How the day loop of a pair ended: done, at the row limit, or stopped before a step; `at` is
// the start of the step of the last row or the step not taken.
struct PairEnd {
    enum class Kind { done, row_limit, stopped };
    Kind kind = Kind::done;
    double at = 0.0;
};

// Optional observer of a pair's day loop: asked before each step with the step's start; true
// ends the pair there.
struct PairHooks {
    std::function<bool(double)> stop_before_step;
};

// A pair's span of time at an aspect, in calendar time (the progressed modes' scan days turned
// into the years of life they stand for).
struct PairSpan {
    int p1 = 0;
    int aspect = 0;
    int p2 = 0;
    double from_jd = 0.0;
    double to_jd = 0.0;
    bool operator==(const PairSpan&) const = default;
};

// A pair that came within one degree of an aspect without becoming exact: the near-miss line of
// the listing. From and to are the first and last step of the window.
using NearMiss = PairSpan;

// A stretch in which a pair stood within one degree of an aspect (the near-miss orb). The ends lie
// between the scan's whole days where the orb crosses one degree, estimated from the positions at
// the two ends of the step; the stretch is cut at the scanned range.
using OrbStretch = PairSpan;

// The inputs of the last run, kept for the exports: later commands change cv and the natal state.
struct RunInputs {
    ControlValues cv;
    int calc_kind = 1;
    double natal_jd = 0.0;   // the natal moment, Universal Time
    bool progressed = false;  // row times are progressed days
    // The scanned range in calendar time: from the first scan time to the end of the last step.
    double from_jd = 0.0;
    double to_jd = 0.0;
};

// Beyond this many rows a scan stops cleanly, to bound memory.
inline constexpr int max_result_rows = 1000000;

// The read-only inputs of a scan, taken from the engine once the dates have been found good and
// shared by every thread that scans its pairs.
// The natal tables hold the angles after the bodies (point indexes asc_point and mc_point).
struct ScanInputs {
    ControlValues cv;
    int calc_kind = 1;
    double natal_jd = 0.0;
    std::array<double, point_count> natal_lon{};
    std::array<double, point_count> natal_speed{};
    std::array<double, point_count> natal_decl{};
    int row_limit = max_result_rows;
    ScanPlan plan;
};

// What the scan of one pair found, in the order it found it.
struct PairResult {
    std::vector<ResultRow> rows;
    std::vector<double> row_steps;         // start of the step of each row
    std::vector<std::size_t> row_errors;   // entries of `errors` before each row was added
    std::vector<int> row_outside_calendar;  // moments counted outside the calendar up to each row
    std::string near_miss_line;
    std::vector<NearMiss> near_misses;
    std::vector<OrbStretch> stretches;
    int rows_outside_calendar = 0;
    std::vector<std::pair<int, std::string>> errors;  // bodies that first failed in this pair, in order
    PairEnd end;
};

// The results of a scan. result_table[0] is unused: rows are 1..result_count.
struct ScanResults {
    std::vector<ResultRow> result_table;
    int result_count = 0;
    std::string near_miss_text;
    std::vector<NearMiss> near_misses;      // the windows of near_miss_text, in its order
    std::vector<OrbStretch> orb_stretches;  // every pair's stretches within orb, pair by pair
    // Exact moments and near-miss windows whose dates fell outside the years 0100 to 9999: the
    // program's dates cannot hold them, so they are counted instead of listed.
    int rows_outside_calendar = 0;
    // First failure of each body during the pair scans, in order (the ephemeris that a run
    // reports from holds them too).
    std::vector<std::pair<int, std::string>> errors;
    // The sky's own events of the run (stations, ingresses...), in time order: none when no event
    // is ticked. A cancelled run keeps those found before it stopped.
    std::vector<SkyEvent> sky_events;
    // With the stations: the bodies' retrograde periods and shadows reaching into the range.
    std::vector<RetrogradePeriod> retrograde_periods;
};

// Puts the pairs' results together in the plan's order, as one thread scanning them in turn
// would have found them: the run ends after the row that reaches the row limit (the rest of that
// pair's rows, stretches and errors dropped) or with a pair stopped before its end (cancelled).
// Each pair's stretches come in one order, whoever scanned them and wherever the pair ended:
// aspect by aspect, each aspect's in time order.
class ResultMerge {
public:
    ResultMerge(const ScanInputs& inputs, ScanOutcome& outcome);
    // Adds the next pair's result; true when the run ends with it.
    bool add(PairResult&& pair);
    std::size_t pairs_added() const { return pairs_; }
    // Room for this many rows, so that a large table is not copied while it grows.
    void reserve(std::size_t rows) { results_.result_table.reserve(rows + 1); }
    ScanResults finish() &&;

private:
    const ScanInputs& inputs_;
    ScanOutcome& outcome_;
    ScanResults results_;
    std::size_t pairs_ = 0;
};

// Merges a whole run's pair results at once (the pairs of inputs.plan, in order).
ScanResults merge_pair_results(std::vector<PairResult> pairs, const ScanInputs& inputs, ScanOutcome& outcome);

// The working state of one pair's scan: the positions at the two ends of the current step, the
// orbs, the near-miss window and the open stretches. One thread owns it; it reads the run's
// inputs and asks its own ephemeris.
class PairScan {
public:
    PairScan(const ScanInputs& inputs, Ephemeris& ephemeris);

    // The day loop of the pair p1, p2; it stops after the row that brings its rows to
    // `row_limit`. Errors of the ephemeris noted from here on are the result's.
    PairResult scan(int p1, int p2, int row_limit, const PairHooks& hooks = {});

    // Refinement tolerance (about six seconds) and iteration bound.
    static constexpr double secant_tolerance = 0.00007;
    static constexpr int secant_max_iterations = 100;

    // Set by the fast scan for a pair whose library calls cannot fail near the scan range: a
    // refinement that provably cannot add a row is then not run (futile_refinement.cpp).
    bool skip_futile_refinements = false;
    bool refinement_is_futile(int aspect_num, double r) const;

    Ephemeris& eph;
    const ScanInputs& in;
    const ControlValues& cv;
    const int calc_kind;
    const std::array<double, point_count>& natal_lon;
    const std::array<double, point_count>& natal_speed;
    const std::array<double, point_count>& natal_decl;

    int p1_num = 0;
    int p2_num = 0;
    float aspect_angle = 0.0f;  // single precision on purpose: 51.7 is searched as 51.70000076
    double exact_jd = 0.0;      // 0 when refinement found nothing

    // Positions at the two ends of a step (declinations are heliocentric latitudes in a
    // heliocentric column). Get_Planet_Positions_at_Exact overwrites p1_lon, p1_decl, p2_lon,
    // p2_decl and the speeds with the values at the exact moment.
    double p1_lon = 0.0, p1_lon_later = 0.0;
    double p1_decl = 0.0, p1_decl_later = 0.0;
    double p2_lon = 0.0, p2_lon_later = 0.0;
    double p2_decl = 0.0, p2_decl_later = 0.0;
    double p1_speed = 0.0, p2_speed = 0.0;
    double solar_arc_earlier = 0.0, solar_arc_later = 0.0;
    double decl_arc_earlier = 0.0, decl_arc_later = 0.0;
    double orb_earlier = 0.0, orb_later = 0.0;
    double secant_speed = 0.0;

    // Aspect detection: positions of the current pair at both ends of a step, and the signed
    // orbs with the linear estimate r of the zero (in steps back from later_jd; 1000 when the
    // orb does not change).
    void Get_Initial_Planet_Positions(double earlier_jd, double later_jd);
    double Get_separation_for_this_aspect(int aspect_num);

    // Refinement: sets exact_jd (0 on failure) and secant_speed.
    void SecantMethod(double earlier_jd, double later_jd, double e, int m, int aspect_num);
    void Get_Planet_Positions_at_Exact(int p1, int p2, double t);

private:
    // The stretch within orb of each aspect of the current pair that the last step reached
    // (from is NaN when none is open).
    struct OpenStretch {
        double from = 0.0;
        double to = 0.0;
    };
    // Adds the part of the step [current, current + 1] in which aspect a stood within orb, from
    // the orbs at its ends (and the exact moment `exact` when the step found one, else NaN).
    void track_stretch(int a, double current, double orb_at_start, double orb_at_end, bool qualifies, double exact);
    // Ends the pair's open stretches, then keeps of its stretches those of the aspects its
    // listing names: the ones it met exactly, or its near-miss window's. The others are never shown.
    void close_stretches();
    void add_stretch(int a, const OpenStretch& stretch);

    // One body's longitude or declination (latitude) by a column's Helio tick.
    double body_lon(double t, int p, int helio_tick);
    double body_decl(double t, int p, int helio_tick);
    // Mode 3: the progressed Sun's (heliocentric: the Earth's) distance from its natal place.
    void compute_solar_arcs(double earlier_jd, double later_jd);
    // Refines aspect a in the step [current, current + 1] and appends its row when the exact
    // moment lies inside the step; false when no row was added.
    bool refine_and_record(int a, double current);

    PairResult result_;
    std::size_t errors_at_start_ = 0;
    std::array<OpenStretch, aspect_count> open_stretches_{};  // in scan time
    std::array<bool, aspect_count> exact_aspects_{};
    // Near-miss window: state "" (none), " from " (open) or "exact".
    std::string near_miss_state_;
    double near_miss_from_jd_ = 0.0;
    double near_miss_to_jd_ = 0.0;
    int near_miss_aspect_ = -1;
};

// The state that lives as long as the main window: the control values, the natal tables, and the
// results of the last run (ScanResults).
class Engine : public ScanResults {
public:
    static constexpr int max_result_rows = tavrolin::max_result_rows;

    explicit Engine(Ephemeris& ephemeris) : eph(ephemeris) {}

    Ephemeris& eph;
    ControlValues cv;  // the inputs of the current command

    // Natal state.
    std::string natal_date_str;
    float natal_hours = 0.0f;
    double natal_jd = 0.0;
    std::array<double, body_count> natal_lon{};
    std::array<double, body_count> natal_speed{};
    std::array<double, body_count> natal_decl{};

    // Natal moment from the natal date and time boxes: false (nothing changed) when the natal
    // date is not a date. Also returns the Julian day of 0h of the natal date.
    bool compute_natal_moment(double* natal_midnight = nullptr);

    void Get_Natal_Planets_Longitude();
    void Get_Natal_Planets_Longitude_SIDEREAL();
    void Get_Natal_Planets_Decl_Lat();

    // The houses of the birth place at the natal moment (cv's place and house system), when the
    // last run or report computed them; the angles' declinations follow from their obliquity.
    std::optional<Houses> natal_houses;

    // The last natal reports of each kind (CRLF line ends), kept for the window's life.
    std::string natal_lon_report;
    std::string natal_decl_lat_report;

    int calc_kind = 1;  // 1 aspects between bodies, 0 transit to a zodiac degree
    RunInputs last_run;
    ScanOutcome last_outcome;

    // Steps 1 to 13 of a calculation: checks the dates, computes the natal moment and tables,
    // scans every allowed pair and fills result_table, result_count and near_miss_text.
    // Sorting and the listing are the output layer's. An invalid date changes nothing (not even
    // last_outcome) and is reported only in the returned outcome. Positions the library could not
    // compute give no row and no near-miss line; eph.errors() then names the bodies.
    // `started` is called once the dates have been found good, before anything is computed (the
    // window empties its results box and shows the busy pointer then).
    ScanOutcome Start_Calcs(const std::function<void()>& started = {});

    // The parts of Start_Calcs, for a driver that scans the pairs in another way: the steps up
    // to the pair loop (false: a date is not a date, reported in `outcome`; else the run's
    // inputs), and the end (the merged results taken, last_outcome set).
    bool begin_calcs(ScanOutcome& outcome, const std::function<void()>& started, ScanInputs& inputs);
    void end_calcs(ScanResults&& results, const ScanOutcome& outcome);

    // The sky's events that the run's mode asks for (stations, ingresses and lunations of the
    // progressed bodies, ingresses of the directed ones, every kind in the transit modes; none in
    // a degree run), over the scanned range, and with them, in time order, the house ingresses
    // of the P1 bodies across the natal cusps (the natal modes with a birth place). Bodies whose
    // positions failed are noted in eph.
    SkyEventsResult find_run_events(const ScanInputs& inputs, const std::function<bool()>& cancelled, int threads);
    // Puts a run's events into its results; an event search that was cancelled cancels a run
    // that has not noted its own cancel.
    static void add_run_events(ScanResults& results, SkyEventsResult&& events, ScanOutcome& outcome);
    // The eclipse search; nullptr: the library's.
    EclipseApi* eclipse_api = nullptr;

    // Rows at which a scan stops (max_result_rows unless a test wants it smaller).
    int row_limit = max_result_rows;

    // Applies the option ticks of cv to the ephemeris (done at the start of every command).
    void apply_options() { eph.set_options(cv.use_et, cv.apparent_pos); }

private:
    SkyEventsResult find_sky_run_events(const ScanInputs& inputs, const std::function<bool()>& cancelled, int threads);
    ScanPlan make_plan(double natal_midnight, double start_jd, double end_jd);
    bool natal_needed(int body) const;

    // Bodies whose natal position the library could not compute in this run.
    std::array<bool, body_count> natal_failed{};
};

// The houses of cv's birth place and house system at the natal moment natal_jd (Universal
// Time). Nothing when the place cannot be used: `field` and `problem` then say which box and why
// (a coordinate that cannot be read, a letter of no house system, a pole).
std::optional<Houses> natal_place_houses(const ControlValues& cv, double natal_jd, InputField& field,
                                         std::string& problem);

// Whether a run of cv looks for house ingresses: ticked, with a birth place, in a natal mode
// (transit, progressed or solar arc to natal).
inline bool house_ingresses_asked(const ControlValues& cv) {
    return cv.house_ingresses && cv.has_place() && (cv.mode == 0 || cv.mode == 2 || cv.mode == 3);
}

// The note of a house system that fell back ("Placidus has no cusps beyond the polar circles:
// the houses are Porphyry's"); empty when the houses are of the system asked for.
std::string house_fallback_note(const Houses& houses, char asked);

// Natal time text (h.mm) to decimal hours, in single precision: "16.43" gives 16.71667.
float natal_hours_from_text(const std::string& natal_time);
// Why a natal time text cannot be used (a number beyond two days); empty when it can.
std::string natal_time_problem(std::string_view natal_time);
// Why a zodiac degree text cannot be used (a number beyond two turns either way); empty when it can.
std::string zodiac_degree_problem(std::string_view zodiac_degree);
// The longitude of a zodiac degree: 0 to 360 as it stands, any other degree wrapped into the
// circle (370 is 10, -10 is 350). The declination aspects read the degree as it stands.
double zodiac_longitude(double degree);
// Why a "Yrs back" text cannot be used by the progressed modes (not 0 to 99); empty when it can.
std::string years_back_problem(std::string_view years_back);

// Signed orb of a longitude aspect: the separation folded into [0, 180] minus the angle, with the
// sign flipped while P2 is less than half a circle ahead of P1, so that it passes zero with a
// change of sign whenever the separation passes the angle.
double longitude_orb(double p1_lon, double p2_lon, float aspect_angle);

// Signed orb of any aspect from P1's and P2's values (longitudes, or declinations for the
// parallel and contraparallel).
double aspect_orb(int aspect_num, double p1_value, double p2_value, float aspect_angle);

// Cuts the stretches from index `first` on at `limit` (calendar time): those that begin there or
// later are dropped. A scan that stops at the row limit keeps what it found before the step of the
// last row, whichever way the pairs were scanned.
void cut_stretches(std::vector<OrbStretch>& stretches, std::size_t first, double limit);

// A progressed-day Julian day turned into calendar time (one day of the scan is one year of life).
double progressed_to_calendar(double progressed_jd, double natal_jd);

}  // namespace tavrolin
