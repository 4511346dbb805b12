// How the natal reports write a position: longitude as degrees in sign, sign, minutes and seconds,
// declination or latitude as degrees, hemisphere and minutes.
#pragma once

#include <string>

namespace tavrolin {

// "13 SAG 29m 28s" for 253.4912. Seconds are rounded to the nearest (halves to even); a rounded
// 60 carries into the minutes, degrees and sign, so the text never shows "60".
std::string PrintSignDataSeconds(double longitude);

// "27 ARI 13" for 27.2234: degrees in sign, sign and whole minutes (cut, not rounded, so that
// the text never shows "60"), for a line that gives a position to the minute.
std::string PrintSignDataMinutes(double longitude);

// "23 S 26" for -23.4392. Minutes are rounded to the nearest (halves away from zero); a rounded 60
// carries into the degrees.
std::string PrintDecl_Lat(double decl_lat);

// Cuts a text filled by the ephemeris library at its first NUL character; changes c as well.
std::string Set_strlen(std::string& c);

}  // namespace tavrolin
