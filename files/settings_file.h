// Settings files (*.opt): the whole set-up of the main window, one value per line, 81 lines.
// Lines 1-6 the date, degree, natal and time-zone boxes; 7-24 the aspect ticks; 25-47 and 48-70
// the P1 and P2 body ticks; 71-77 the option ticks; 78-81 the four mode buttons. The captions
// after " - " are for the reader only and are ignored on loading. Lines 82-86, the event ticks
// ("Stations" .. "Void Moon"), are written when one of them is ticked or a birth place follows.
// A birth place adds six lines after them, in this order: the place's name, the latitude, the
// longitude (the texts of the "Birth place", "Lat" and "Long" boxes), the house system's letter,
// and the "Asc" and "MC" ticks. Line 93, "1 - House ingresses", is written only when house
// ingresses are ticked (with lines 82-92 before it, a place or not). A file without events or a
// place is written as it always was; a file without these lines loads with no event ticked, no
// place and no house ingresses.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/control_values.h"

namespace tavrolin {

inline constexpr int settings_line_count = 81;
inline constexpr int place_line_count = 6;

// Which lines a load applies: a favourite file keeps the current date range and zodiac degree.
enum class SettingsScope { Everything, KeepRangeAndDegree };

// The 81 lines for cv (86 with an event ticked), each ended by CRLF.
std::string settings_file_text(const ControlValues& cv);

// Writes the file in one step (a new file renamed over the old one), so a failed save leaves the
// old file as it was; `error` then names the path and the reason.
bool save_settings_file(const std::string& path, const ControlValues& cv, std::string* error = nullptr);

// The lines of a text whose lines end in CRLF or LF; a last line without an end counts.
std::vector<std::string> split_lines(std::string_view text);

// Applies the first 81 lines to cv, in file order, then the event ticks of lines 82-86, the place
// of lines 87-92 and the house-ingress tick of line 93 (those the file lacks are not ticked): box texts cut to the boxes' maximum lengths;
// a tick line ticks when its first character is "1"; an option line selects its button when it
// begins with "True", and selecting a button that was not selected sets "Ignore duplicates" by
// the mode, whatever line 77 said; "False" on the selected button leaves none selected (mode -1)
// until a later line selects one. Fewer than 81 lines: nothing changes and the result is false.
bool apply_settings_lines(const std::vector<std::string>& lines, ControlValues& cv,
                          SettingsScope scope = SettingsScope::Everything);

// The six place lines for cv (CRLF-ended), or, unless `always`, nothing when cv has no place and
// the house system and angle ticks are the defaults.
std::string place_lines_text(const ControlValues& cv, bool always = false);
// Applies the place lines that begin at lines[first] (those present, in their order); absent
// lines leave no place, the house system Placidus and the angles unticked.
void apply_place_lines(const std::vector<std::string>& lines, std::size_t first, ControlValues& cv);

// Reads the whole file and applies it (a file that is not UTF-8 is read as Latin-1). A file that
// cannot be read or has fewer than 81 lines changes nothing; `error` then names the file and what
// is wrong.
bool load_settings_file(const std::string& path, ControlValues& cv, std::string* error = nullptr,
                        SettingsScope scope = SettingsScope::Everything);

}  // namespace tavrolin
