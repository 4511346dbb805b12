// Natal data files (*.dat): one person's birth data, the texts of the natal date, natal time
// (GMT) and time-zone boxes, one per line, exactly as they stand in the boxes. The same three
// values as lines 4 to 6 of a settings file.
#pragma once

#include <string>

#include "engine/control_values.h"

namespace tavrolin {

inline constexpr int natal_data_line_count = 3;

// The three lines for cv, each ended by CRLF.
std::string natal_data_file_text(const ControlValues& cv);

// Writes the file in one step (a new file renamed over the old one), so a failed save leaves the
// old file as it was; `error` then names the path and the reason.
bool save_natal_data_file(const std::string& path, const ControlValues& cv, std::string* error = nullptr);

// Reads the whole file and puts its first three lines into the natal date, natal time and time
// zone (the last two cut to their boxes' maximum lengths); later lines are ignored, line ends may
// be CRLF or LF, a file that is not UTF-8 is read as Latin-1. A file that cannot be read or has
// fewer than three lines changes nothing; `error` then names the file and what is wrong.
bool load_natal_data_file(const std::string& path, ControlValues& cv, std::string* error = nullptr);

}  // namespace tavrolin
