// How fast the positions the scan uses can change: bounds on the speed and the acceleration of a
// body's longitude and declination (heliocentric: longitude and latitude). With them the fast
// scan proves that a refinement cannot end in a row and leaves it out; the literal scan never
// uses them.
#pragma once

#include <optional>

namespace tavrolin {

struct MotionBound {
    double speed = 0.0;         // degrees per day, never exceeded
    double acceleration = 0.0;  // degrees per day per day, never exceeded where the motion is smooth
};

// The library's apparent positions carry small features that no smooth motion explains (light
// deflection as a body passes behind the Sun moves it by up to about 0.002 degrees within hours);
// a position may differ from a smooth curve of the acceleration above by this much.
inline constexpr double position_wobble = 0.01;

// Bound for a body's longitude (declination = false) or declination/latitude (true) in a column
// with the given Helio tick; none for bodies whose motion is too irregular to bound safely.
std::optional<MotionBound> motion_bound(int body, int helio_tick, bool declination);

}  // namespace tavrolin
