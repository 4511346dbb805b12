// A scan set up against the ephemeris double: nothing ticked, transit to transit, January 2000,
// Universal Time, so that each test ticks only what it examines.
#pragma once

#include "engine/engine.h"
#include "support/fake_swe.h"

namespace tavrolin::testing {

inline constexpr double jan1_2000 = 2451544.5;  // 0h of 01/01/2000

struct ScanSetup {
    FakeSwe swe;
    Ephemeris eph{swe};
    Engine engine{eph};
    ControlValues& cv = engine.cv;

    ScanSetup() {
        cv.natal_date = "09/22/1949";
        cv.start_date = "01/01/2000";
        cv.end_date = "01/31/2000";
        cv.tz = "0";
        cv.p1_planets.fill(0);
        cv.p2_planets.fill(0);
        cv.aspects.fill(0);
        cv.select_mode(1);
        cv.ignore_dups = 0;
    }

    void tick(int p1, int p2, int aspect) {
        cv.p1_planets[static_cast<std::size_t>(p1)] = 1;
        cv.p2_planets[static_cast<std::size_t>(p2)] = 1;
        cv.aspects[static_cast<std::size_t>(aspect)] = 1;
    }

    // A body standing still at a longitude and declination.
    void place(int body, double lon, double decl = 0.0) { swe.set_linear(body, lon, 0.0, decl, 0.0); }

    // A body moving linearly in longitude, at `lon` at time t0.
    void move(int body, double lon, double rate, double t0, double decl = 0.0, double decl_rate = 0.0) {
        swe.set_linear(body, lon, rate, decl, decl_rate, t0);
    }
};

}  // namespace tavrolin::testing
