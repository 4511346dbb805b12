// House ingresses: the moments at which a moving body (transiting, progressed or directed by the
// solar arc) crosses a cusp of the natal houses, in either direction.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "engine/bodies.h"
#include "engine/ephemeris.h"

namespace tavrolin {

struct HouseIngress {
    int body = 0;
    double jd = 0.0;  // Universal Time, dated in life on a progressed scale
    double longitude = 0.0;
    int house = 1;            // the house entered
    int left = 12;            // the house left
    bool retrograde = false;  // crossed backwards: leaves `left` for `house`, the one before it
};

struct HouseIngressSearch {
    // The scan's range, [from_jd, to_jd) in scan time (progressed days on a progressed scale).
    double from_jd = 0.0, to_jd = 0.0;
    std::vector<int> bodies;
    std::array<double, 12> cusps{};  // of the natal houses 1 to 12
    // Progressed scale: one day after birth is one year of life; the moments are dated in life.
    bool progressed = false;
    double natal_jd = 0.0;
    // Solar arc (on the progressed scale): each body's natal longitude moved by the progressed
    // Sun's distance from its natal place.
    bool solar_arc = false;
    std::array<double, body_count> natal_lon{};
    // Asked at every step; true stops the search, keeping what was found.
    std::function<bool()> cancelled{};
};

struct HouseIngressesResult {
    std::vector<HouseIngress> ingresses;  // in time order (bodies in the order given at equal times)
    // Bodies whose positions could not be computed, with the library's message (eph.errors()
    // names them too); none of their crossings are given.
    std::vector<std::pair<int, std::string>> errors;
    bool cancelled = false;
};

HouseIngressesResult find_house_ingresses(Ephemeris& eph, const HouseIngressSearch& search);

// "Saturn enters natal house 10", or "Saturn leaves house 10 for house 9" when it crosses the cusp
// backwards.
std::string house_ingress_text(const HouseIngress& ingress);

}  // namespace tavrolin
