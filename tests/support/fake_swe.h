// A stand-in for the ephemeris library: positions follow scripted functions of time, and every
// call is recorded, so the engine's own logic can be checked without data files.
#pragma once

#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/swe_api.h"

namespace tavrolin::testing {

struct RecordedCall {
    double tjd;
    int ipl;
    int iflag;
};

class FakeSwe : public SweApi {
public:
    // Six output elements of one body at time t for the given flags.
    using Motion = std::function<void(double t, int iflag, double* xx)>;

    double delta_t = 0.0;
    std::vector<RecordedCall> calls;
    std::vector<double> deltat_args;
    std::vector<int> sid_modes;
    std::map<int, std::string> failing;  // body number -> error text returned
    // body number -> [from, to]: calls for times in this window fail (a data file's gap).
    std::map<int, std::pair<double, double>> failing_between;
    // The gap's message names the time asked for, so that which failure came first shows.
    bool gap_message_names_time = false;

    // Set by a test whose motions stay within the real sky's bounds and whose gaps span whole
    // days, so that the fast scan may leave out refinements it proves futile.
    bool bounded_motion = false;
    bool motion_bounds_hold() const override { return bounded_motion; }

    void set_motion(int body_number, Motion m) { motions_[body_number] = std::move(m); }

    // Body whose longitude (ecliptic calls) or declination/latitude (equatorial or element 1)
    // moves linearly: value(t) = v0 + rate * (t - t0); the speed elements hold the rate.
    void set_linear(int body_number, double lon0, double lon_rate, double decl0 = 0.0, double decl_rate = 0.0,
                    double t0 = 0.0) {
        set_motion(body_number, [=](double t, int, double* xx) {
            double lon = lon0 + lon_rate * (t - t0);
            lon = lon - 360.0 * std::floor(lon / 360.0);
            xx[0] = lon;
            xx[1] = decl0 + decl_rate * (t - t0);
            xx[2] = 1.0;
            xx[3] = lon_rate;
            xx[4] = decl_rate;
            xx[5] = 0.0;
        });
    }

    double deltat(double tjd) override {
        deltat_args.push_back(tjd);
        return delta_t;
    }

    int calc(double tjd, int ipl, int iflag, double* xx, char* serr) override {
        calls.push_back({tjd, ipl, iflag});
        for (int i = 0; i < 6; ++i) xx[i] = 0.0;
        if (auto f = failing.find(ipl); f != failing.end()) {
            std::strncpy(serr, f->second.c_str(), 255);
            return -1;
        }
        if (auto w = failing_between.find(ipl); w != failing_between.end() && tjd >= w->second.first &&
                                                  tjd <= w->second.second) {
            const std::string message = gap_message_names_time ? "no data for " + std::to_string(tjd) : "no data for this date";
            std::strncpy(serr, message.c_str(), 255);
            return -1;
        }
        if (auto m = motions_.find(ipl); m != motions_.end()) m->second(tjd, iflag, xx);
        return iflag;
    }

    void set_sid_mode(int sid_mode, double, double) override { sid_modes.push_back(sid_mode); }

    // A copy with the same motions and failures and empty records, for another thread.
    std::unique_ptr<SweApi> for_worker_thread() const override {
        auto copy = std::make_unique<FakeSwe>(*this);
        copy->calls.clear();
        copy->deltat_args.clear();
        copy->sid_modes.clear();
        return copy;
    }

private:
    std::map<int, Motion> motions_;
};

}  // namespace tavrolin::testing
