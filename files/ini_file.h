// The INI file "Tavrolin.ini" in the program's folder: six text boxes, then the rest of the set-up
// (ticks, options, mode, user-defined angle, "Yrs back", the Options menu's listing style and
// "Show dates in life"), the birth place and the event ticks, that survive a restart.
// Read once at start-up, written once when the main window closes.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "engine/control_values.h"

namespace tavrolin {

inline constexpr const char* ini_file_name = "Tavrolin.ini";

std::string ini_file_path(const std::string& folder);

// The defaults that stand when the file does not give a value: the natal date in the order of
// cv.date_order (left unchanged for an order without a pattern), natal time, zodiac degree and
// time zone. Start and end date have none here.
void apply_ini_defaults(ControlValues& cv);

// Applies the lines of an INI text to cv. Keys are matched on the line's first characters,
// case-sensitively and without trimming: "start_date=" and "end_date=" with their "=", the
// other four keys without it. The value is what follows the first "=" (the whole line when there
// is none); empty values are ignored, so a repeated key takes its last non-empty value. Values
// are cut to the boxes' maximum lengths. Lines may end in CRLF, LF or CR.
// The set-up keys that follow the seven lines ("aspects=", "p1_planets=", ..., see
// ini_setup_text) match with their "=" and only when their value is one the window can show; any
// other value keeps what cv held. None of them begins with one of the six older keys, so that
// copies of the program that know only those pass over them.
void apply_ini_text(std::string_view text, ControlValues& cv);

// A larger file is no INI file of this program and is not read.
inline constexpr std::size_t max_ini_file_size = 64 * 1024;

// Applies the defaults, then the file in `folder` if it is a regular file of at most
// max_ini_file_size bytes that can be read whole; otherwise the defaults stand and `error` says
// why. Returns whether the file was read.
bool LoadINIFile(const std::string& folder, ControlValues& cv, std::string* error = nullptr);

// The names of the event ticks in the key "events=" (a comma-separated list of the ticked ones),
// in the order of event_captions; the batch program's --events takes the same names.
inline constexpr std::array<std::string_view, 5> ini_event_names = {"stations", "ingresses", "lunations", "eclipses",
                                                                   "void"};
// The house-ingress tick's name in "events=" (and in --events), after the others.
inline constexpr std::string_view ini_house_ingresses_name = "houses";

// The seven CRLF-ended lines written for cv, a line for each of the birth place's keys that
// holds a value ("place_name=", "latitude=", "longitude=", and "house_system=" for a system
// other than Placidus), and "events=" when an event or house ingresses are ticked; those keys are
// matched with their "=".
std::string ini_file_text(const ControlValues& cv);

// The CRLF-ended set-up lines written after them: one digit per tick for the aspects and each
// body column, 0 or 1 for a single tick, the mode (-1 for none), the two texts and the style.
std::string ini_setup_text(const ControlValues& cv);

// Writes the file (the seven lines, then the set-up lines) in `folder`, replacing the old one in one step. On failure the old file stays
// as it was and `error` says why (with the path).
bool SaveINIFile(const std::string& folder, const ControlValues& cv, std::string* error = nullptr);

}  // namespace tavrolin
