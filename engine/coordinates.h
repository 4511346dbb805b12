// Latitudes and longitudes as typed into the "Lat" and "Long" boxes: decimal degrees ("48.8534",
// "-2.35") or degrees, a compass letter and minutes with optional seconds ("48N51", "48n51'12\"",
// "2W21"). North and east are positive.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tavrolin {

enum class CoordinateAxis { Latitude, Longitude };

// The degrees of the text, or nothing with `reason` saying why it cannot be read (the caller
// names the box). Blanks around the text are allowed, none inside it. A latitude takes N or S and
// lies within ±90°, a longitude takes E or W and lies within ±180°.
std::optional<double> parse_coordinate(std::string_view text, CoordinateAxis axis, std::string* reason = nullptr);

// Degrees as the box shows them: whole degrees, the letter, minutes and seconds rounded to the
// second ("48N51'12\"", "0W07'00\""); parse_coordinate reads it back to within half a second.
std::string coordinate_text(double degrees, CoordinateAxis axis);

}  // namespace tavrolin
