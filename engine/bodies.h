// The engine's vocabulary: the 23 bodies of the P1/P2 columns, the 18 aspects and the 12 signs.
// Bodies and aspects are identified everywhere by their index in the window's check-box columns.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace tavrolin {

inline constexpr int last_body_index = 22;
inline constexpr int last_aspect_index = 17;
inline constexpr int last_result_col = 11;
inline constexpr int body_count = last_body_index + 1;
inline constexpr int aspect_count = last_aspect_index + 1;

inline constexpr int user_defined_aspect = last_aspect_index - 2;  // 15
inline constexpr int parallel_aspect = last_aspect_index - 1;      // 16
inline constexpr int contraparallel_aspect = last_aspect_index;    // 17

inline constexpr int earth_index = 14;

// The natal angles follow the bodies as two more point indexes. They are P2 points of the natal
// modes only, and only with a birth place: the row columns, listings and lanes that name a P2 by
// its index name them like a body; every loop over the bodies stays at last_body_index.
inline constexpr int asc_point = body_count;      // 23
inline constexpr int mc_point = body_count + 1;   // 24
inline constexpr int point_count = body_count + 2;
inline constexpr int last_point_index = point_count - 1;
inline constexpr std::array<std::string_view, 2> angle_captions = {"Asc", "MC"};
constexpr bool is_angle_point(int point) { return point == asc_point || point == mc_point; }

inline constexpr std::array<std::string_view, body_count> body_captions = {
    "Sun",   "Moon",      "Mercury",   "Venus",       "Mars",        "Jupiter",
    "Saturn", "Uranus",   "Neptune",   "Pluto",       "Mean Node",   "True Node",
    "Mean Apogee", "Oscu Apogee", "Earth", "Chiron",  "Pholus",      "Ceres",
    "Pallas", "Juno",     "Vesta",     "Eris",        "Sedna"};

// Default captions; the caption of the user-defined box always follows its text box.
inline constexpr std::array<std::string_view, aspect_count> default_aspect_captions = {
    "000", "030", "036", "040", "045", "060", "072", "090", "108",
    "120", "135", "144", "150", "165", "180", "51.7", "par", "c.p"};

inline constexpr std::string_view sign_abbrevs = "ARITAUGEMCANLEOVIRLIBSCOSAGCPRAQUPIS";

// Swiss Ephemeris body number of a body index: the index itself, except the two minor planets
// (SE_AST_OFFSET + 136199 and SE_AST_OFFSET + 90377).
constexpr int body_number(int body_index) {
    if (body_index == 21) return 146199;
    if (body_index == 22) return 100377;
    return body_index;
}

// A body that cannot be used in a column with the given Helio tick: Sun, Moon, the nodes and
// apogees have no heliocentric position worth having, and the Earth none geocentric.
constexpr bool body_excluded(int body_index, int helio_tick) {
    if (helio_tick == 1) {
        return body_index == 0 || body_index == 1 || (body_index >= 10 && body_index <= 13);
    }
    return body_index == earth_index;
}

constexpr bool is_declination_aspect(int aspect_index) { return aspect_index >= parallel_aspect; }

// Sign number 1..12 of a longitude in [0, 360).
int sign_number(double longitude);
// Three-letter abbreviation of the sign that holds a longitude in [0, 360).
std::string sign_abbrev(double longitude);

}  // namespace tavrolin
