#include "engine/motion_bounds.h"

#include <array>

#include "engine/bodies.h"

namespace tavrolin {

namespace {

// Largest |speed| and |change of speed per day| the library gave from 1800 to 2400 (every half
// day, apparent positions, measured with bench/library_bench bounds; the speeds of true positions and of Ephemeris Time differ by far less
// than the margins added below). Columns: geocentric longitude, declination, heliocentric
// longitude, heliocentric latitude; zeros where the column cannot hold the body. A negative
// speed marks a body left out: the osculating node and apogee follow the Moon's short-period
// perturbations, which half-day samples do not bound safely.
struct Measured {
    std::array<double, 2> geo_lon, geo_decl, helio_lon, helio_lat;
};

constexpr std::array<Measured, body_count> measured = {{
    {{1.0199, 0.0007}, {0.3962, 0.0079}, {0, 0}, {0, 0}},                 // Sun
    {{15.4008, 0.5147}, {7.3473, 2.2111}, {0, 0}, {0, 0}},                // Moon
    {{2.2034, 0.1986}, {0.9543, 0.0997}, {6.3268, 0.1619}, {0.7499, 0.0756}},  // Mercury
    {{1.2594, 0.0424}, {0.5259, 0.0255}, {1.6259, 0.0008}, {0.0957, 0.0027}},  // Venus
    {{0.7915, 0.0173}, {0.3190, 0.0087}, {0.6358, 0.0010}, {0.0185, 0.0002}},  // Mars
    {{0.2427, 0.0513}, {0.0964, 0.0129}, {0.0920, 0.0001}, {0.0020, 0.0001}},  // Jupiter
    {{0.1338, 0.0518}, {0.0494, 0.0168}, {0.0375, 0.0001}, {0.0016, 0.0001}},  // Saturn
    {{0.0651, 0.0533}, {0.0253, 0.0176}, {0.0130, 0.0001}, {0.0002, 0.0001}},  // Uranus
    {{0.0433, 0.0544}, {0.0159, 0.0249}, {0.0062, 0.0001}, {0.0002, 0.0001}},  // Neptune
    {{0.0405, 0.0163}, {0.0171, 0.0062}, {0.0072, 0.0001}, {0.0017, 0.0001}},  // Pluto
    {{0.0530, 0.0001}, {0.0211, 0.0001}, {0, 0}, {0, 0}},                 // Mean Node
    {{-1, 0}, {-1, 0}, {0, 0}, {0, 0}},                                   // True Node
    {{0.1121, 0.0001}, {0.0576, 0.0001}, {0, 0}, {0, 0}},                 // Mean Apogee
    {{-1, 0}, {-1, 0}, {0, 0}, {0, 0}},                                   // Oscu Apogee
    {{0, 0}, {0, 0}, {1.0199, 0.0007}, {0.0001, 0.0001}},                 // Earth
    {{0.1479, 0.0097}, {0.0547, 0.0119}, {0.0474, 0.0001}, {0.0058, 0.0001}},  // Chiron
    {{0.1397, 0.0367}, {0.0519, 0.0180}, {0.0442, 0.0001}, {0.0203, 0.0001}},  // Pholus
    {{0.4607, 0.0228}, {0.1982, 0.0105}, {0.2563, 0.0002}, {0.0430, 0.0002}},  // Ceres
    {{0.6116, 0.0126}, {0.4496, 0.0101}, {0.4159, 0.0012}, {0.1874, 0.0015}},  // Pallas
    {{0.5987, 0.0249}, {0.2319, 0.0158}, {0.4092, 0.0008}, {0.0758, 0.0006}},  // Juno
    {{0.5428, 0.0084}, {0.2102, 0.0095}, {0.3262, 0.0003}, {0.0404, 0.0002}},  // Vesta
    {{0.0356, 0.0057}, {0.0209, 0.0083}, {0.0055, 0.0001}, {0.0034, 0.0001}},  // Eris
    {{0.0155, 0.0563}, {0.0108, 0.0297}, {0.0021, 0.0001}, {0.0004, 0.0001}},  // Sedna
}};

}  // namespace

std::optional<MotionBound> motion_bound(int body, int helio_tick, bool declination) {
    if (body < 0 || body > last_body_index || body_excluded(body, helio_tick)) return std::nullopt;
    const Measured& m = measured[static_cast<std::size_t>(body)];
    const std::array<double, 2>& v =
        helio_tick == 0 ? (declination ? m.geo_decl : m.geo_lon) : (declination ? m.helio_lat : m.helio_lon);
    if (v[0] < 0.0) return std::nullopt;
    // Margins: speeds are well known and vary little between centuries; accelerations sampled
    // every half day may miss a peak, so they are doubled.
    return MotionBound{v[0] * 1.05 + 0.1, v[1] * 2.0 + 0.002};
}

}  // namespace tavrolin
