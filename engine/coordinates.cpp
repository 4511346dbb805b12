#include "engine/coordinates.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace tavrolin {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Reads a run of digits (at most max_digits) as a whole number; nothing when there is none.
std::optional<int> read_whole(std::string_view& s, std::size_t max_digits) {
    std::size_t n = 0;
    int value = 0;
    while (n < s.size() && is_digit(s[n])) {
        if (n == max_digits) return std::nullopt;
        value = value * 10 + (s[n] - '0');
        ++n;
    }
    if (n == 0) return std::nullopt;
    s.remove_prefix(n);
    return value;
}

// "-2.35", "+48.8534", "48", ".5": a sign, digits and at most one point, read whatever the
// locale's decimal sign.
std::optional<double> read_decimal(std::string_view s) {
    const bool negative = !s.empty() && s[0] == '-';
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) s.remove_prefix(1);
    // from_chars would also take "nan" and "inf".
    if (s.empty() || !(is_digit(s[0]) || s[0] == '.')) return std::nullopt;
    double value = 0.0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, std::chars_format::fixed);
    if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return negative ? -value : value;
}

}  // namespace

std::optional<double> parse_coordinate(std::string_view text, CoordinateAxis axis, std::string* reason) {
    const bool latitude = axis == CoordinateAxis::Latitude;
    const auto fail = [&](std::string why) -> std::optional<double> {
        if (reason != nullptr) *reason = std::move(why);
        return std::nullopt;
    };
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    if (text.empty()) return fail("is empty");

    const double limit = latitude ? 90.0 : 180.0;
    const std::string range = latitude ? "a latitude lies within ±90°" : "a longitude lies within ±180°";
    const std::string forms = latitude ? "write it as 48.8534, -33.5, 48N51 or 48N51'12\""
                                       : "write it as 2.35, -0.12, 2E21 or 0W07'30\"";
    double degrees = 0.0;
    if (const auto decimal = read_decimal(text)) {
        degrees = *decimal;
    } else {
        std::string_view s = text;
        const auto whole = read_whole(s, 3);
        if (!whole || s.empty()) return fail("is not a " + std::string(latitude ? "latitude" : "longitude") + ": " + forms);
        const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(s[0])));
        const std::string_view letters = latitude ? "NS" : "EW";
        if (letters.find(letter) == std::string_view::npos) {
            if (std::string_view("NSEW").find(letter) != std::string_view::npos)
                return fail(std::string("takes ") + (latitude ? "N or S" : "E or W") + ", not " + letter);
            return fail("is not a " + std::string(latitude ? "latitude" : "longitude") + ": " + forms);
        }
        s.remove_prefix(1);
        const auto minutes = read_whole(s, 2);
        if (!minutes) return fail("needs the minutes after the letter: " + forms);
        int seconds = 0;
        if (!s.empty() && s[0] == '\'') s.remove_prefix(1);
        if (!s.empty()) {
            const auto sec = read_whole(s, 2);
            if (!sec) return fail("has something other than seconds after the minutes: " + forms);
            seconds = *sec;
            if (!s.empty() && s[0] == '"') s.remove_prefix(1);
            if (!s.empty()) return fail("has something after the seconds: " + forms);
        }
        if (*minutes > 59) return fail("has minutes above 59");
        if (seconds > 59) return fail("has seconds above 59");
        degrees = *whole + *minutes / 60.0 + seconds / 3600.0;
        if (letter == 'S' || letter == 'W') degrees = -degrees;
    }
    if (!(std::fabs(degrees) <= limit)) return fail("is out of range: " + range);
    return degrees;
}

std::string coordinate_text(double degrees, CoordinateAxis axis) {
    const bool negative = degrees < 0;
    const long total = std::lround(std::fabs(degrees) * 3600.0);
    const char letter = axis == CoordinateAxis::Latitude ? (negative ? 'S' : 'N') : (negative ? 'W' : 'E');
    char buf[32];
    std::snprintf(buf, sizeof buf, "%ld%c%02ld'%02ld\"", total / 3600, letter, total / 60 % 60, total % 60);
    return buf;
}

}  // namespace tavrolin
