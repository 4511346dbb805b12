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

// One exact aspect: twelve text columns (body indexes, aspect, "mm/dd/yyyy hh:nn:ss", speed,
// positions, direction, speeds, declinations).
using ResultRow = std::array<std::string, last_result_col + 1>;

// What the scan of a calculation command ended with.
struct ScanOutcome {
    // false: a date box holds no date; nothing was computed and nothing changed.
    bool ran = false;
    std::string invalid_field;  // caption of the box, e.g. "Start Date"
    std::string invalid_text;   // its text
    // The scan stopped at the row limit; the date (regional order) up to which it got.
    bool row_limit_reached = false;
    std::string stopped_at_date;
};

class Engine {
public:
    // Beyond this many rows a scan stops cleanly, to bound memory.
    static constexpr int max_result_rows = 1000000;

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

    // Calculation state of the last run. result_table[0] is unused: rows are 1..result_count.
    int calc_kind = 1;  // 1 aspects between bodies, 0 transit to a zodiac degree
    std::vector<ResultRow> result_table;
    int result_count = 0;
    std::string near_miss_text;
    ScanOutcome last_outcome;

    // Steps 1 to 13 of a calculation: checks the dates, computes the natal moment and tables,
    // scans every allowed pair and fills result_table, result_count and near_miss_text.
    // Sorting and the listing are the output layer's.
    ScanOutcome Start_Calcs();

    // Applies the option ticks of cv to the ephemeris (done at the start of every command).
    void apply_options() { eph.set_options(cv.use_et, cv.apparent_pos); }
};

// Natal time text (h.mm) to decimal hours, in single precision: "16.43" gives 16.71667.
float natal_hours_from_text(const std::string& natal_time);

}  // namespace tavrolin
