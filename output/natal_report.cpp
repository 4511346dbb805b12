#include "output/natal_report.h"

#include "engine/bodies.h"
#include "engine/swe_api.h"
#include "engine/text_rules.h"
#include "output/calculation_command.h"
#include "output/listing.h"
#include "output/position_format.h"

namespace tavrolin {

namespace {

constexpr std::size_t name_width = 11;

std::string name_field(std::string name) {
    Set_strlen(name);
    if (name.size() > name_width) name.resize(name_width);
    name.append(name_width - name.size(), ' ');
    return name;
}

// The leading blanks are chosen from the value as it is printed, so that a value that rounds up
// to another whole-number width (9.9999996 prints as 10.000000) still fills its field exactly.
std::string longitude_value_field(double value) {
    const std::string text = format_fixed(value, 6);
    const double v = val(text);
    const std::string lead = v >= 100.0 ? "  " : v >= 10.0 ? "   " : "    ";
    return lead + text;
}

std::string decl_lat_value_field(double value) {
    const std::string text = format_fixed(value, 5);
    const double v = val(text);
    const std::string lead = v >= 10.0 ? "   " : v >= 0.0 ? "    " : v > -10.0 ? "   " : "  ";
    return lead + text;
}

// Builds the report of `values` (one per body index) with `line`, leaving out the bodies the P2
// Helio tick excludes; the groups are separated by a blank line after indexes 9, 14 and 16, also
// when the index itself is left out.
template <typename Line>
std::string build_report(const Engine& engine, const std::array<double, body_count>& values,
                         const BodyNameSource& names, Line line) {
    std::string report;
    for (int i = 0; i <= last_body_index; ++i) {
        if (!body_excluded(i, engine.cv.p2_helio)) {
            // What the library returns for a position it could not compute (often zero) would
            // pass for a real one: the line says so instead.
            const std::string name = names(body_number(i));
            report += engine.eph.failed(i) ? natal_not_computed_line(name)
                                           : line(name, values[static_cast<std::size_t>(i)]);
        }
        if (i == 9 || i == 14 || i == 16) report += crlf;
    }
    return report;
}

}  // namespace

std::string library_body_name(int body_number) { return planet_name(body_number); }

std::string natal_longitude_line(const std::string& name, double longitude) {
    std::string line = name_field(name) + " " + PrintSignDataSeconds(longitude) + longitude_value_field(longitude) + "   ";
    line += crlf;
    return line;
}

std::string natal_not_computed_line(const std::string& name) {
    std::string line = name_field(name) + " " + position_not_computed;
    line += crlf;
    return line;
}

std::string natal_decl_lat_line(const std::string& name, double decl_lat) {
    std::string line = name_field(name) + "  " + PrintDecl_Lat(decl_lat) + decl_lat_value_field(decl_lat) + "   ";
    line += crlf;
    return line;
}

std::string Print_Natal_Positions_Longitude(Engine& engine, const BodyNameSource& names) {
    engine.natal_lon_report = build_report(engine, engine.natal_lon, names, natal_longitude_line);
    return engine.natal_lon_report;
}

std::string Print_Natal_Positions_Decl_Lat(Engine& engine, const BodyNameSource& names) {
    engine.natal_decl_lat_report = build_report(engine, engine.natal_decl, names, natal_decl_lat_line);
    return engine.natal_decl_lat_report;
}

std::string natal_houses_report(Engine& engine, const Houses& houses, const std::string& place,
                                const BodyNameSource& names) {
    std::string report = place;
    report += crlf;
    report += "House system: " + std::string(house_system_name(houses.system));
    const char asked = engine.cv.house_system.empty() ? 'P' : engine.cv.house_system[0];
    if (houses.fell_back) report += " (" + house_fallback_note(houses, asked) + ")";
    report += crlf;
    report += crlf;
    report += natal_longitude_line("Asc", houses.ascendant);
    report += natal_longitude_line("MC", houses.mc);
    report += crlf;
    for (std::size_t i = 0; i < houses.cusps.size(); ++i)
        report += natal_longitude_line("House " + std::to_string(i + 1), houses.cusps[i]);
    report += crlf;
    // The houses are the observer's: the bodies are geocentric whatever the Helio ticks say.
    engine.apply_options();
    for (int i = 0; i <= last_body_index; ++i) {
        if (body_excluded(i, 0)) continue;
        const double longitude = engine.eph.Get_1_Planet_geo(engine.natal_jd, i);
        std::string line = natal_longitude_line(names(body_number(i)), longitude);
        line.resize(line.size() - crlf.size());
        line += "house " + std::to_string(house_of(longitude, houses.cusps));
        line += crlf;
        report += line;
        if (i == 9 || i == 16) report += crlf;
    }
    return report;
}

NatalReportOutcome run_natal_report(Engine& engine, NatalReportKind kind, const BodyNameSource& names) {
    NatalReportOutcome outcome;
    engine.natal_date_str = engine.cv.natal_date;
    ScanOutcome invalid;
    invalid.invalid_problem = natal_time_problem(engine.cv.natal_time);
    if (!invalid.invalid_problem.empty()) {
        invalid.invalid_field = InputField::natal_time;
        invalid.invalid_text = engine.cv.natal_time;
        outcome.invalid_date = invalid_date_message(invalid);
        outcome.invalid_field = invalid.invalid_field;
        return outcome;
    }
    if (!engine.compute_natal_moment()) {
        invalid.invalid_field = InputField::natal_date;
        invalid.invalid_text = engine.cv.natal_date;
        invalid.invalid_problem = "is not a date";
        outcome.invalid_date = invalid_date_message(invalid);
        outcome.invalid_field = invalid.invalid_field;
        return outcome;
    }
    std::optional<Houses> houses;
    if (kind == NatalReportKind::Houses) {
        if (!engine.cv.has_place()) {
            outcome.invalid_field = InputField::latitude;
            outcome.invalid_date = "The natal houses need a birth place: its latitude and longitude";
            return outcome;
        }
        invalid.invalid_problem.clear();
        houses = natal_place_houses(engine.cv, engine.natal_jd, invalid.invalid_field, invalid.invalid_problem);
        if (!houses) {
            invalid.invalid_text = engine.cv.*input_field_info(invalid.invalid_field).text;
            outcome.invalid_date = invalid_date_message(invalid);
            outcome.invalid_field = invalid.invalid_field;
            return outcome;
        }
        engine.natal_houses = houses;
    }
    outcome.ran = true;
    engine.eph.clear_errors();
    switch (kind) {
        case NatalReportKind::Houses: {
            std::string place = "Birth place: ";
            if (!engine.cv.place_name.empty()) place += engine.cv.place_name + "  ";
            place += engine.cv.latitude + "  " + engine.cv.longitude;
            outcome.text = natal_houses_report(engine, *houses, place, names);
            break;
        }
        case NatalReportKind::Longitude:
            engine.Get_Natal_Planets_Longitude();
            outcome.text = Print_Natal_Positions_Longitude(engine, names);
            break;
        case NatalReportKind::SiderealLongitude:
            engine.Get_Natal_Planets_Longitude_SIDEREAL();
            outcome.text = Print_Natal_Positions_Longitude(engine, names);
            break;
        case NatalReportKind::DeclLat:
            engine.Get_Natal_Planets_Decl_Lat();
            outcome.text = Print_Natal_Positions_Decl_Lat(engine, names);
            break;
    }
    // A position the library could not compute would pass for a real one in the report.
    for (const auto& [body, message] : engine.eph.errors()) {
        if (body_excluded(body, kind == NatalReportKind::Houses ? 0 : engine.cv.p2_helio)) continue;
        outcome.not_computed += ControlValues::body_caption(body) + ": position not computed: " + message;
        outcome.not_computed += crlf;
    }
    return outcome;
}

}  // namespace tavrolin
