// The input boxes whose text a command can refuse. A refusal names its box by this type, so that
// the window's message and the batch program's pointer into the settings file come from one
// place instead of captions compared as strings.
#pragma once

#include <string>
#include <string_view>

#include "engine/control_values.h"

namespace tavrolin {

enum class InputField { none, start_date, end_date, zodiac_degree, natal_date, natal_time, time_zone, years_back,
                        latitude, longitude };

struct InputFieldInfo {
    std::string_view caption;          // the box's label, as messages name it: "Start Date"
    int settings_line;                 // its line in a settings file (1-6); 0 when no file holds it
    std::string ControlValues::*text;  // where the control values keep its text
};

// Lines 1-6 of a settings file are the six boxes in this order (files/settings_file.cpp).
inline InputFieldInfo input_field_info(InputField field) {
    switch (field) {
        case InputField::start_date: return {"Start Date", 1, &ControlValues::start_date};
        case InputField::end_date: return {"End Date", 2, &ControlValues::end_date};
        case InputField::zodiac_degree: return {"Zodiac decimal degree", 3, &ControlValues::zodiac_degree};
        case InputField::natal_date: return {"Natal date", 4, &ControlValues::natal_date};
        case InputField::natal_time: return {"Natal time (GMT)", 5, &ControlValues::natal_time};
        case InputField::time_zone: return {"Time Zone", 6, &ControlValues::tz};
        case InputField::years_back: return {"Yrs back", 0, &ControlValues::years_back};
        case InputField::latitude: return {"Lat", 0, &ControlValues::latitude};
        case InputField::longitude: return {"Long", 0, &ControlValues::longitude};
        case InputField::none: break;
    }
    return {"", 0, nullptr};
}

inline std::string_view caption_of(InputField field) { return input_field_info(field).caption; }

// A box's text as a message quotes it: a long one (a whole line of a damaged file, say) is cut,
// so that the message stays readable.
inline constexpr std::size_t max_quoted_length = 80;
std::string quoted_input(std::string_view text);

// "Start Date: "13/45/2005" is not a date": the form of every refusal.
std::string refusal_message(InputField field, std::string_view text, std::string_view problem);

}  // namespace tavrolin
