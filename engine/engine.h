// The state that lives as long as the main window: the natal tables, the calculation state and
// the result table. Commands are its methods; the window hands it the control values first.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "engine/bodies.h"
#include "engine/control_values.h"
#include "engine/ephemeris.h"

namespace tavrolin {

class Engine {
public:
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

    // Applies the option ticks of cv to the ephemeris (done at the start of every command).
    void apply_options() { eph.set_options(cv.use_et, cv.apparent_pos); }
};

// Natal time text (h.mm) to decimal hours, in single precision: "16.43" gives 16.71667.
float natal_hours_from_text(const std::string& natal_time);

}  // namespace tavrolin
