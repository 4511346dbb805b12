#include "output/result_time.h"

#include <cctype>

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

}  // namespace tavrolin
