// Natal data files (*.dat): one person's birth data, the texts of the natal date, natal time
// (GMT) and time-zone boxes, one per line, exactly as they stand in the boxes. The same three
// values as lines 4 to 6 of a settings file. A birth place adds three lines: the texts of the
// "Birth place", "Lat" and "Long" boxes. Readers have always ignored lines after the third, so
// older copies of the program still read such files; a file of three lines has no place.
#pragma once

#include <string>

#include "engine/control_values.h"

namespace tavrolin {

inline constexpr int natal_data_line_count = 3;

// The texts of the birth place boxes; all empty for no place. Typed coordinates need no name.
struct NatalPlace {
    std::string name;
    std::string latitude;
    std::string longitude;
    bool empty() const { return name.empty() && latitude.empty() && longitude.empty(); }
    bool operator==(const NatalPlace&) const = default;
};

// The three lines for cv, each ended by CRLF, and the place's three when it has one: a file
// without a place stays as it always was.
std::string natal_data_file_text(const ControlValues& cv, const NatalPlace& place = {});

// Writes the file in one step (a new file renamed over the old one), so a failed save leaves the
// old file as it was; `error` then names the path and the reason.
bool save_natal_data_file(const std::string& path, const ControlValues& cv, std::string* error = nullptr,
                          const NatalPlace& place = {});

// Reads the whole file and puts its first three lines into the natal date, natal time and time
// zone (the last two cut to their boxes' maximum lengths); later lines are ignored, line ends may
// be CRLF or LF, a file that is not UTF-8 is read as Latin-1. A file that cannot be read or has
// fewer than three lines changes nothing; `error` then names the file and what is wrong.
// With `place`, lines 4 to 6 are read into it as well (later lines are ignored): empty when they
// are absent or blank. A place whose lines are damaged (a coordinate that cannot be read, a name
// without coordinates) leaves `place` empty, the first three lines loaded, and `warning` saying
// what was wrong; the load still succeeds.
bool load_natal_data_file(const std::string& path, ControlValues& cv, std::string* error = nullptr,
                          NatalPlace* place = nullptr, std::string* warning = nullptr);

}  // namespace tavrolin
