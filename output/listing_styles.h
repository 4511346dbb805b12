// The two listing styles besides the default one. Both use the shared listing frame; only the
// text of a row differs.
#pragma once

#include <string>
#include <string_view>

#include "engine/engine.h"
#include "output/listing.h"

namespace tavrolin {

// Quill: each body with its sign and declination at the exact time,
// "Sun (sag = -21.49) 090 Mars (pis = -5.32) 12/05/2005 14:23:07".
std::string quill_row_entry(const ListingContext& context, const ResultRow& row);

// Lunetta: the default line, then by the mode: in the transit modes the two positions and the
// phase and direction flags on the same line; in the progressed mode a second line with the
// speed of the progressed body; in the solar-arc mode nothing more.
std::string lunetta_row_entry(const ListingContext& context, const ResultRow& row);

// Lower-case sign abbreviation ("ari" .. "pis") of a longitude text; empty outside [0, 360).
std::string quill_sign_of(std::string_view longitude_text);

// "     speed = 0.9856 ==> 1.01 years" for the speed column of a progressed row (no line end).
// A speed that reads as zero (a station) has no time per degree: "==> station".
std::string lunetta_speed_line(std::string_view speed_column);

// Event lines of the styles. Quill: the body and its sign as the rows give them, the event, the
// time: "Mercury (ari) stations retrograde 04/01/2024 15:14:30". Lunetta: the event, the time and
// the longitude with two decimals, as its rows end: "Mercury stations retrograde 04/01/2024 15:14:30   27.22".
std::string quill_event_entry(const ListingContext& context, const SkyEvent& e);
std::string lunetta_event_entry(const ListingContext& context, const SkyEvent& e);

std::string Display_Aspects_Quill(const Engine& engine);
std::string Display_Aspects_Lunetta(const Engine& engine);

}  // namespace tavrolin
