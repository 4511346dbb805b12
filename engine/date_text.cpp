#include "engine/date_text.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <vector>

namespace tavrolin {

bool is_leap_year(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int days_in_month(int year, int month) {
    static constexpr std::array<int, 12> lengths = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    if (month == 2 && is_leap_year(year)) return 29;
    return lengths[static_cast<std::size_t>(month - 1)];
}

namespace {

struct Field {
    int value = 0;
    std::size_t digits = 0;
};

// Splits "a<sep>b<sep>c" into three runs of digits with one separator kind; nothing else allowed.
std::optional<std::array<Field, 3>> split_three(std::string_view text, char& separator) {
    std::array<Field, 3> fields{};
    std::size_t f = 0;
    separator = 0;
    for (char c : text) {
        if (std::isdigit(static_cast<unsigned char>(c))) {
            if (fields[f].digits >= 4) return std::nullopt;
            fields[f].value = fields[f].value * 10 + (c - '0');
            ++fields[f].digits;
        } else if (c == '/' || c == '-' || c == '.') {
            if (separator == 0) separator = c;
            else if (separator != c) return std::nullopt;
            if (fields[f].digits == 0 || f == 2) return std::nullopt;
            ++f;
        } else {
            return std::nullopt;
        }
    }
    if (f != 2 || fields[2].digits == 0) return std::nullopt;
    return fields;
}

std::optional<int> read_year(const Field& f) {
    if (f.digits == 2) return f.value < 30 ? 2000 + f.value : 1900 + f.value;
    if (f.digits == 3 || f.digits == 4) {
        if (f.value < 100) return std::nullopt;
        return f.value;
    }
    return std::nullopt;
}

std::optional<CivilDate> make_date(const Field& y, const Field& m, const Field& d) {
    if (m.digits > 2 || d.digits > 2) return std::nullopt;
    const auto year = read_year(y);
    if (!year) return std::nullopt;
    if (m.value < 1 || m.value > 12) return std::nullopt;
    if (d.value < 1 || d.value > days_in_month(*year, m.value)) return std::nullopt;
    return CivilDate{*year, m.value, d.value};
}

}  // namespace

std::optional<CivilDate> parse_date(std::string_view text, int date_order) {
    char sep = 0;
    const auto fields = split_three(text, sep);
    if (!fields) return std::nullopt;
    const auto& [a, b, c] = *fields;
    // ISO form, whatever the regional order.
    if (sep == '-' && a.digits == 4) return make_date(a, b, c);
    switch (date_order) {
        case date_order_mdy: return make_date(c, a, b);
        case date_order_dmy: return make_date(c, b, a);
        case date_order_ymd: return make_date(a, b, c);
        default: return std::nullopt;
    }
}

std::string format_date(const CivilDate& date, int date_order) {
    char buf[32];
    switch (date_order) {
        case date_order_mdy: std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", date.month, date.day, date.year); break;
        case date_order_dmy: std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", date.day, date.month, date.year); break;
        case date_order_ymd: std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", date.year, date.month, date.day); break;
        default: return std::string();
    }
    return buf;
}

std::string short_date(const CivilDate& date) { return format_date(date, date_order_mdy); }

// Howard Hinnant's days-from-civil algorithm (proleptic Gregorian).
long long days_from_civil(const CivilDate& date) {
    long long y = date.year;
    const long long m = date.month;
    const long long d = date.day;
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

CivilDate civil_from_days(long long z) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long y = yoe + era * 400;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const long long d = doy - (153 * mp + 2) / 5 + 1;
    const long long m = mp + (mp < 10 ? 3 : -9);
    return CivilDate{static_cast<int>(y + (m <= 2)), static_cast<int>(m), static_cast<int>(d)};
}

CivilDate add_days(const CivilDate& date, long long days) { return civil_from_days(days_from_civil(date) + days); }

}  // namespace tavrolin
