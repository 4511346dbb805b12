// The inputs of a first start (what the example settings file holds), and exactly the ticks a test
// examines.
#pragma once

#include <cstddef>
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

}  // namespace tavrolin::testing
