#include "output/result_time.h"

#include <cctype>
#include <cmath>

#include "engine/calendar.h"
#include "engine/text_rules.h"
#include "engine/time_zone.h"

namespace tavrolin {

namespace {

std::string_view date_part(std::string_view text) { return text.substr(0, text.find(' ')); }

// "h:m:s" with one or two digits per field, hours 0..23, minutes and seconds 0..59.
std::optional<int> read_time(std::string_view text) {
    int fields[3] = {0, 0, 0};
    int f = 0;
    int digits = 0;
    for (char c : text) {
        if (std::isdigit(static_cast<unsigned char>(c))) {
            if (++digits > 2) return std::nullopt;
            fields[f] = fields[f] * 10 + (c - '0');
        } else if (c == ':') {
            if (digits == 0 || f == 2) return std::nullopt;
            ++f;
            digits = 0;
        } else {
            return std::nullopt;
        }
    }
    if (f != 2 || digits == 0) return std::nullopt;
    if (fields[0] > 23 || fields[1] > 59 || fields[2] > 59) return std::nullopt;
    return fields[0] * 3600 + fields[1] * 60 + fields[2];
}

}  // namespace

std::optional<CivilDate> result_date(std::string_view exact_text) {
    return parse_date(date_part(exact_text), date_order_mdy);
}

std::optional<long long> result_seconds(std::string_view exact_text) {
    // The form the engine writes, "mm/dd/yyyy hh:nn:ss", read directly: the sort reads a key at
    // every comparison.
    if (exact_text.size() == 19 && exact_text[2] == '/' && exact_text[5] == '/' && exact_text[10] == ' ' &&
        exact_text[13] == ':' && exact_text[16] == ':') {
        int v[6] = {0, 0, 0, 0, 0, 0};
        constexpr int starts[6] = {0, 3, 6, 11, 14, 17};
        constexpr int lengths[6] = {2, 2, 4, 2, 2, 2};
        bool digits = true;
        for (int f = 0; f < 6 && digits; ++f) {
            for (int k = 0; k < lengths[f]; ++k) {
                const char c = exact_text[static_cast<std::size_t>(starts[f] + k)];
                if (c < '0' || c > '9') {
                    digits = false;
                    break;
                }
                v[f] = v[f] * 10 + (c - '0');
            }
        }
        if (digits && v[0] >= 1 && v[0] <= 12 && v[1] >= 1 && v[1] <= days_in_month(v[2], v[0]) && v[2] >= 100 &&
            v[3] <= 23 && v[4] <= 59 && v[5] <= 59) {
            return days_from_civil(CivilDate{v[2], v[0], v[1]}) * 86400LL + v[3] * 3600 + v[4] * 60 + v[5];
        }
    }
    const auto date = result_date(exact_text);
    if (!date) return std::nullopt;
    int seconds = 0;
    const auto blank = exact_text.find(' ');
    if (blank != std::string_view::npos) {
        std::string_view rest = exact_text.substr(blank);
        while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
        while (!rest.empty() && rest.back() == ' ') rest.remove_suffix(1);
        if (!rest.empty()) {
            const auto t = read_time(rest);
            if (!t) return std::nullopt;
            seconds = *t;
        }
    }
    return days_from_civil(*date) * 86400LL + seconds;
}

namespace {

constexpr long long day_seconds = 86400;

long long floor_div(long long a, long long b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

}  // namespace

CivilDate date_of_seconds(long long seconds) { return civil_from_days(floor_div(seconds, day_seconds)); }

RunClock::RunClock(const RunInputs& run)
    : run_(run), named_zone_(is_zone_name(run.cv.tz)), tz_seconds_(std::llround(val(run.cv.tz) * 3600.0)) {}

long long RunClock::offset_at_utc(long long utc) const {
    return named_zone_ ? std::llround(hours_behind_ut(run_.cv.tz, unix_epoch_jd + static_cast<double>(utc) / day_seconds) * 3600.0)
                       : tz_seconds_;
}

long long RunClock::offset_at_local(long long local) const {
    return named_zone_ ? std::llround(hours_behind_ut_at_local(run_.cv.tz, local) * 3600.0) : tz_seconds_;
}

std::optional<RunClock::Times> RunClock::times(const ResultRow& row) const {
    const auto row_local = result_seconds(row[3]);
    if (!row_local) return std::nullopt;
    Times t;
    t.row_time = *row_local;
    // The zone's offset at the row's own moment, where the scan kept it: a local time in the
    // hour repeated when clocks go back is then no longer ambiguous.
    t.utc = *row_local + (row.exact_jd != 0.0 ? offset_at_utc(std::llround((row.exact_jd - unix_epoch_jd) * day_seconds))
                                              : offset_at_local(*row_local));
    if (run_.progressed) {
        // One day of progression stands for one year of life, as for the near-miss dates.
        const double life = progressed_to_calendar(unix_epoch_jd + static_cast<double>(t.utc) / day_seconds, run_.natal_jd);
        t.utc = std::llround((life - unix_epoch_jd) * day_seconds);
    }
    // The moment in life is local by the zone's offset at that moment, as a row's time is.
    t.local = run_.progressed ? t.utc - offset_at_utc(t.utc) : t.row_time;
    return t;
}

}  // namespace tavrolin
