// A stand-in for the ephemeris library whose positions follow scripted functions of time, so that
// the engine's own logic can be checked without data files; and an engine set up on it.
#pragma once

#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/calendar.h"
#include "engine/engine.h"
#include "support/control_values.h"

namespace tavrolin::testing {

class FakeSwe : public SweApi {
public:
    // Elements 0..5 of a body (by library number) at time t for the given flags; unset ones stay 0.
    std::map<int, std::function<void(double t, int iflag, double* xx)>> motions;
    // Body number -> [from, to]: calls in this window fail (a data file's gap). The message names
    // the time asked for, so that which failure came first shows.
    std::map<int, std::pair<double, double>> failing_between;
    // Set by a test whose motions stay within the real sky's bounds and whose gaps span whole
    // days, so that the fast scan may leave out refinements it proves futile.
    bool bounded_motion = false;

    double deltat(double) override { return 0.0; }
    int calc(double tjd, int ipl, int iflag, double* xx, char* serr) override {
        for (int i = 0; i < 6; ++i) xx[i] = 0.0;
        const auto gap = failing_between.find(ipl);
        if (gap != failing_between.end() && tjd >= gap->second.first && tjd <= gap->second.second) {
            std::snprintf(serr, 256, "no data for %f", tjd);
            return -1;
        }
        if (auto m = motions.find(ipl); m != motions.end()) m->second(tjd, iflag, xx);
        return iflag;
    }
    void set_sid_mode(int, double, double) override {}
    bool motion_bounds_hold() const override { return bounded_motion; }
    std::unique_ptr<SweApi> for_worker_thread() const override { return std::make_unique<FakeSwe>(*this); }
};

// Everything of a run that the listing, the near-miss section, the error lines and the timeline
// show, to compare the fast scan with the single-threaded one.
inline auto shown(const Engine& e, const ScanOutcome& out) {
    return std::tuple(e.result_count, e.result_table, e.near_miss_text, e.eph.errors(), out.ran, out.row_limit_reached,
                      out.stopped_at_date, out.cancelled, e.last_outcome.row_limit_reached, e.orb_stretches);
}

inline constexpr double jan1_2000 = 2451544.5;  // 0h of 01/01/2000
// The natal moment of a first start: where the progressed modes count the years of life from.
inline const double natal_jd = GetJulianDay(9, 22, 1949) + natal_hours_from_text("16.43") / 24.0;

// An engine on the double: transit to transit, January 2000, Universal Time, and ticked only what
// the test examines.
struct ScanSetup {
    FakeSwe swe;
    Ephemeris eph{swe};
    Engine engine{eph};
    ControlValues& cv = engine.cv;

    explicit ScanSetup(const std::vector<int>& p1 = {}, const std::vector<int>& p2 = {},
                       const std::vector<int>& aspects = {}) {
        cv = initial_state();
        cv.start_date = "01/01/2000";
        cv.end_date = "01/31/2000";
        cv.tz = "0";
        cv.select_mode(1);
        cv.ignore_dups = 0;
        tick(p1, p2, aspects);
    }
    void tick(const std::vector<int>& p1, const std::vector<int>& p2, const std::vector<int>& aspects) {
        tick_only(cv, p1, p2, aspects);
    }
    // A body at longitude `lon` and declination `decl` at time t0, moving linearly at `rate` and
    // `decl_rate` degrees a day; the speed elements hold the rates.
    void move(int body, double lon, double rate = 0.0, double t0 = 0.0, double decl = 0.0, double decl_rate = 0.0) {
        swe.motions[body] = [=](double t, int, double* xx) {
            xx[0] = lon + rate * (t - t0);
            xx[0] -= 360.0 * std::floor(xx[0] / 360.0);
            xx[1] = decl + decl_rate * (t - t0);
            xx[3] = rate;
            xx[4] = decl_rate;
        };
    }
};

}  // namespace tavrolin::testing
