#include "output/listing_styles.h"

#include <cctype>
#include <cmath>

#include "engine/bodies.h"
#include "engine/text_rules.h"
#include "output/event_text.h"

namespace tavrolin {

namespace {

// "Mars (pis = -5.32) ": name, sign of the longitude column, declination column with two decimals.
std::string quill_body_field(const std::string& name, std::string_view longitude, std::string_view declination) {
    return name + " (" + quill_sign_of(longitude) + " = " + format_number_text(declination, 2) + ") ";
}

// Direct ("   1") or retrograde ("   -1"); a speed of exactly 0 counts as direct.
std::string direction_flag(std::string_view speed) { return val(speed) < 0.0 ? "   -1" : "   1"; }

std::string phase_flag(std::string_view phase) {
    const double v = val(phase);
    if (v > 0.0) return "   1";
    if (v < 0.0) return "   -1";
    return "    ";  // declination aspects have no phase
}

}  // namespace

std::string quill_sign_of(std::string_view longitude_text) {
    const double k = std::floor(val(longitude_text) / 30.0) + 1.0;
    if (!(k >= 1.0 && k <= 12.0)) return std::string();
    std::string sign(sign_abbrevs.substr(static_cast<std::size_t>(3 * static_cast<int>(k) - 3), 3));
    for (char& c : sign) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return sign;
}

std::string quill_row_entry(const ListingContext& context, const ResultRow& row) {
    std::string line = quill_body_field(body_caption_of(row[0]), row[5], row[10]);
    line += aspect_caption_of(context.cv, row[1]);
    line += ' ';
    if (context.calc_kind == 0) {
        line += format_number_text(context.cv.zodiac_degree, 3);
        line += ' ';
    } else {
        line += quill_body_field(body_caption_of(row[2]), row[6], row[11]);
    }
    line += row[3];
    line += crlf;
    return line;
}

std::string lunetta_speed_line(std::string_view speed_column) {
    const double v = val(speed_column);
    std::string line = "     speed = " + std::string(speed_column) + " ==> ";
    // The column has four decimals: a body slower than that reads as standing still, and a
    // stationary body has no time per degree.
    if (!std::isfinite(1.0 / v)) return line + "station";
    // The unit is chosen from the rounded years per degree, as the reader sees them.
    if (val(format_fixed(1.0 / std::fabs(v), 2)) >= 1.0) return line + format_fixed(1.0 / v, 2) + " years";
    return line + format_fixed(12.0 / v, 2) + " months";
}

std::string lunetta_row_entry(const ListingContext& context, const ResultRow& row) {
    // The default line, continued before its line end.
    std::string line = default_row_entry(context, row);
    line.resize(line.size() - crlf.size());
    const int mode = context.cv.mode;
    if (mode == 2) {
        line += crlf;
        line += lunetta_speed_line(row[4]);
    } else if (mode != 3) {
        // Transit modes; a listing with no mode selected is written the same way.
        const bool longitude_aspect = val(row[1]) < last_aspect_index - 1;
        const std::string_view first = longitude_aspect ? row[5] : row[10];
        const std::string_view second = longitude_aspect ? row[6] : row[11];
        line += "   " + format_number_text(first, 2) + "   " + format_number_text(second, 2);
        line += phase_flag(row[7]);
        line += direction_flag(row[8]);
        line += direction_flag(row[9]);
    }
    line += crlf;
    return line;
}

std::string quill_event_entry(const ListingContext& context, const SkyEvent& e) {
    std::string words = event_words(e);
    // The moving body's sign follows its name, as in a row; lunations and eclipses name no body first.
    const std::string body = ControlValues::body_caption(e.body);
    std::string line;
    if (words.compare(0, body.size() + 1, body + " ") == 0) {
        line = body + " (" + quill_sign_of(format_fixed(e.longitude, 6)) + ")" + words.substr(body.size());
    } else {
        line = words + " (" + quill_sign_of(format_fixed(e.longitude, 6)) + ")";
    }
    line += ' ';
    line += listing_time(e.jd, context.cv);
    if (e.kind == SkyEventKind::void_of_course) line += " - " + listing_time(e.end_jd, context.cv);
    line += crlf;
    return line;
}

std::string lunetta_event_entry(const ListingContext& context, const SkyEvent& e) {
    std::string line = event_words(e) + " " + listing_time(e.jd, context.cv);
    if (e.kind == SkyEventKind::void_of_course) line += " - " + listing_time(e.end_jd, context.cv);
    line += "   " + format_fixed(e.longitude, 2);
    line += crlf;
    return line;
}

std::string Display_Aspects_Quill(const Engine& engine) {
    return listing_frame(engine.result_table, engine.result_count, ListingContext{engine.cv, engine.calc_kind},
                         quill_row_entry, listed_events(engine, engine.cv, quill_event_entry));
}

std::string Display_Aspects_Lunetta(const Engine& engine) {
    return listing_frame(engine.result_table, engine.result_count, ListingContext{engine.cv, engine.calc_kind},
                         lunetta_row_entry, listed_events(engine, engine.cv, lunetta_event_entry));
}

}  // namespace tavrolin
