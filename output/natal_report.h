// The natal positions reports: one fixed-width line per body at the natal moment, tropical or
// sidereal longitude, or declination (heliocentric: ecliptic latitude).
#pragma once

#include <functional>
#include <string>

#include "engine/engine.h"

namespace tavrolin {

// Houses: the Ascendant, the MC and the twelve cusps of the birth place (headed by the place and
// the house system's name, with the system used instead where it fell back), then each body's
// longitude and the house that holds it; the positions as in the longitude report.
enum class NatalReportKind { Longitude, DeclLat, SiderealLongitude, Houses };

// Name of a body by its library body number. The name may come as the library's whole buffer;
// the report cuts it at the first NUL.
using BodyNameSource = std::function<std::string(int body_number)>;
std::string library_body_name(int body_number);

// "Sun         05 LEO 23m 45s  125.395833   ": name in 11 characters, one blank, the position
// text, the value with six decimals right-aligned in 12 characters, three blanks, CRLF (41
// characters before the line end).
std::string natal_longitude_line(const std::string& name, double longitude);
// "Sun          18 S 04  -18.07123   ": name in 11 characters, two blanks, the position text, the
// value with five decimals right-aligned in 11 characters, three blanks, CRLF (34 characters).
std::string natal_decl_lat_line(const std::string& name, double decl_lat);

// "Chiron      position not computed": the line of a body whose position the library could not
// compute, in place of a position.
inline constexpr const char* position_not_computed = "position not computed";
std::string natal_not_computed_line(const std::string& name);

// The report of engine.natal_lon (engine.natal_decl) as it stands, bodies chosen by the P2 Helio
// tick, a blank line after Pluto, after the Earth's place and after Pholus. Kept in
// engine.natal_lon_report (engine.natal_decl_lat_report) and returned.
std::string Print_Natal_Positions_Longitude(Engine& engine, const BodyNameSource& names = library_body_name);
std::string Print_Natal_Positions_Decl_Lat(Engine& engine, const BodyNameSource& names = library_body_name);

struct NatalReportOutcome {
    // false: the natal date box holds no date; nothing was computed.
    bool ran = false;
    std::string text;          // the report, CRLF line ends
    std::string invalid_date;  // when !ran: "Natal date: "..." is not a date"
    InputField invalid_field = InputField::none;  // when !ran: the box that refused its text
    // One line per reported body whose position the library could not compute (the report
    // names it without a position).
    std::string not_computed;
};

// A natal report command with engine.cv: the natal moment, the fill of the natal table that the
// report reads, then the report.
// The houses report of `houses` with the bodies' geocentric longitudes at the natal moment
// (engine.natal_jd); `place` is its heading's first line.
std::string natal_houses_report(Engine& engine, const Houses& houses, const std::string& place,
                                const BodyNameSource& names = library_body_name);

NatalReportOutcome run_natal_report(Engine& engine, NatalReportKind kind,
                                    const BodyNameSource& names = library_body_name);

}  // namespace tavrolin
