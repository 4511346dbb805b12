// The state that lives as long as the main window: the natal tables, the calculation state and
// the result table. Commands are its methods; the window hands it the control values first.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "engine/bodies.h"
#include "engine/control_values.h"
#include "engine/ephemeris.h"
#include "engine/input_field.h"
#include "engine/result_row.h"

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

// Optional observers of a pair's day loop.
struct PairHooks {
    // Asked before each step with the step's start; true ends the pair there.
    std::function<bool(double)> stop_before_step;
    // Told after each row with the start of its step.
    std::function<void(double)> row_added;
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

class Engine {
public:
    // Beyond this many rows a scan stops cleanly, to bound memory.
    static constexpr int max_result_rows = 1000000;

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

    // The last natal reports of each kind (CRLF line ends), kept for the window's life.
    std::string natal_lon_report;
    std::string natal_decl_lat_report;

    // Calculation state of the last run. result_table[0] is unused: rows are 1..result_count.
    int calc_kind = 1;  // 1 aspects between bodies, 0 transit to a zodiac degree
    std::vector<ResultRow> result_table;
    int result_count = 0;
    std::string near_miss_text;
    std::vector<NearMiss> near_misses;  // the windows of near_miss_text, in its order
    std::vector<OrbStretch> orb_stretches;  // every pair's stretches within orb, pair by pair
    // Exact moments and near-miss windows whose dates fell outside the years 0100 to 9999: the
    // program's dates cannot hold them, so they are counted instead of listed.
    int rows_outside_calendar = 0;
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
    // to the pair loop (false: a date is not a date, reported in `outcome`), the day loop of the
    // pair p1_num, p2_num (rows appended to result_table, its near-miss line to near_miss_text),
    // and the end (result_count made the number of rows, last_outcome set).
    bool begin_calcs(ScanOutcome& outcome, const std::function<void()>& started, ScanPlan& plan);
    PairEnd scan_pair(const ScanPlan& plan, const PairHooks& hooks = {});
    void end_calcs(const ScanOutcome& outcome);

    // Rows at which a scan stops (max_result_rows unless a test wants it smaller).
    int row_limit = max_result_rows;

    // Refinement tolerance (about six seconds) and iteration bound.
    static constexpr double secant_tolerance = 0.00007;
    static constexpr int secant_max_iterations = 100;

    // Set by the fast scan for a pair whose library calls cannot fail near the scan range: a
    // refinement that provably cannot add a row is then not run (futile_refinement.cpp).
    bool skip_futile_refinements = false;
    bool refinement_is_futile(int aspect_num, double r) const;

    // Scan state, shared by the driver, aspect detection and refinement.
    double start_jd = 0.0;
    double end_jd = 0.0;
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

    // The stretch within orb of each aspect of the current pair that the last step reached
    // (from is NaN when none is open).
    struct OpenStretch {
        double from = 0.0;
        double to = 0.0;
    };
    std::array<OpenStretch, aspect_count> open_stretches{};  // in scan time
    // Adds the part of the step [current, current + 1] in which aspect a stood within orb, from
    // the orbs at its ends (and the exact moment `exact` when the step found one, else NaN).
    void track_stretch(const ScanPlan& plan, int a, double current, double orb_at_start, double orb_at_end,
                       bool qualifies, double exact);
    // Ends the current pair's open stretches and adds them to orb_stretches, then keeps of the
    // pair's stretches (from index `first` on) those of the aspects its listing names: the ones
    // it met exactly, or its near-miss window's. The others are never shown.
    void close_stretches(const ScanPlan& plan, std::size_t first);
    std::array<bool, aspect_count> exact_aspects{};  // of the current pair
    void add_stretch(const ScanPlan& plan, int a, const OpenStretch& stretch);

    // Near-miss window of the current pair: state "" (none), " from " (open) or "exact".
    std::string near_miss_state;
    double near_miss_from_jd = 0.0;
    double near_miss_to_jd = 0.0;
    int near_miss_aspect = -1;

    // Aspect detection: positions of the current pair at both ends of a step, and the signed
    // orbs with the linear estimate r of the zero (in steps back from later_jd; 1000 when the
    // orb does not change).
    void Get_Initial_Planet_Positions(double earlier_jd, double later_jd);
    double Get_separation_for_this_aspect(int aspect_num);

    // Refinement: sets exact_jd (0 on failure) and secant_speed.
    void SecantMethod(double earlier_jd, double later_jd, double e, int m, int aspect_num);
    void Get_Planet_Positions_at_Exact(int p1, int p2, double t);

    // Applies the option ticks of cv to the ephemeris (done at the start of every command).
    void apply_options() { eph.set_options(cv.use_et, cv.apparent_pos); }

private:
    // One body's longitude or declination (latitude) by a column's Helio tick.
    double body_lon(double t, int p, int helio_tick);
    double body_decl(double t, int p, int helio_tick);
    // Mode 3: the progressed Sun's (heliocentric: the Earth's) distance from its natal place.
    void compute_solar_arcs(double earlier_jd, double later_jd);
    // Refines aspect a in the step [current, current + 1] and appends its row when the exact
    // moment lies inside the step; false when no row was added.
    bool refine_and_record(int a, double current);
    ScanPlan make_plan(double natal_midnight);
    bool natal_needed(int body) const;

    // Bodies whose natal position the library could not compute in this run.
    std::array<bool, body_count> natal_failed{};
};

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
