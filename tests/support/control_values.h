// The inputs of a first start (what the example settings file holds), and exactly the ticks a test
// examines.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "engine/control_values.h"

namespace tavrolin::testing {

inline ControlValues initial_state() {
    ControlValues cv;
    cv.natal_date = "09/22/1949";
    return cv;
}

inline void tick_only(ControlValues& cv, const std::vector<int>& p1, const std::vector<int>& p2,
                      const std::vector<int>& aspects) {
    cv.p1_planets.fill(0);
    cv.p2_planets.fill(0);
    cv.aspects.fill(0);
    for (int b : p1) cv.p1_planets[static_cast<std::size_t>(b)] = 1;
    for (int b : p2) cv.p2_planets[static_cast<std::size_t>(b)] = 1;
    for (int a : aspects) cv.aspects[static_cast<std::size_t>(a)] = 1;
}

// The initial state set to a run in Universal Time from `start` to `end` in `mode`, of exactly the
// ticks given.
inline ControlValues ut_run(const std::string& start, const std::string& end, int mode, const std::vector<int>& p1,
                            const std::vector<int>& p2, const std::vector<int>& aspects) {
    ControlValues cv = initial_state();
    cv.select_mode(mode);
    cv.start_date = start;
    cv.end_date = end;
    cv.tz = "0";
    tick_only(cv, p1, p2, aspects);
    return cv;
}

}  // namespace tavrolin::testing
