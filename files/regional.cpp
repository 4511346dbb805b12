#include "files/regional.h"

#include <clocale>
#include <cstring>
#include <langinfo.h>
#include <locale.h>

namespace tavrolin {

namespace {

enum class Field { none, day, month, year };

// The field a strftime conversion character stands for.
Field field_of(char conversion) {
    switch (conversion) {
        case 'd': case 'e': return Field::day;
        case 'm': case 'b': case 'B': case 'h': return Field::month;
        case 'Y': case 'y': case 'G': case 'g': case 'C': return Field::year;
        default: return Field::none;
    }
}

}  // namespace

int date_order_from_format(std::string_view d_fmt) {
    // Composite conversions stand for fixed orders.
    std::string expanded;
    for (std::size_t i = 0; i < d_fmt.size(); ++i) {
        if (d_fmt[i] == '%' && i + 1 < d_fmt.size()) {
            if (d_fmt[i + 1] == 'D') { expanded += "%m/%d/%y"; ++i; continue; }
            if (d_fmt[i + 1] == 'F') { expanded += "%Y-%m-%d"; ++i; continue; }
        }
        expanded += d_fmt[i];
    }

    Field order[3] = {Field::none, Field::none, Field::none};
    int found = 0;
    for (std::size_t i = 0; i < expanded.size(); ++i) {
        if (expanded[i] != '%') continue;
        std::size_t j = i + 1;
        // glibc flags, a field width and the E/O modifiers may stand between "%" and the letter.
        while (j < expanded.size() && std::strchr("-_0^#", expanded[j]) != nullptr) ++j;
        while (j < expanded.size() && expanded[j] >= '0' && expanded[j] <= '9') ++j;
        if (j < expanded.size() && (expanded[j] == 'E' || expanded[j] == 'O')) ++j;
        if (j >= expanded.size()) break;
        i = j;
        const Field f = field_of(expanded[j]);
        if (f == Field::none) continue;
        bool seen = false;
        for (int k = 0; k < found; ++k) seen = seen || order[k] == f;
        if (seen) continue;
        if (found < 3) order[found++] = f;
    }
    if (found != 3) return 0;
    if (order[0] == Field::month && order[1] == Field::day) return 0;
    if (order[0] == Field::day && order[1] == Field::month) return 1;
    if (order[0] == Field::year && order[1] == Field::month) return 2;
    return 0;
}

std::string regional_date_format() {
    // A locale object of its own, so that the result does not depend on whether someone (the
    // toolkit, a test) has already called setlocale, and nothing global changes.
    locale_t loc = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
    if (loc == static_cast<locale_t>(nullptr)) return std::string();
    const char* fmt = nl_langinfo_l(D_FMT, loc);
    std::string result = fmt != nullptr ? fmt : "";
    freelocale(loc);
    return result;
}

int GetRegionalDateOrder() {
    // The C/POSIX locale's "%m/%d/%y" gives 0, as does a locale that cannot be loaded.
    return date_order_from_format(regional_date_format());
}

}  // namespace tavrolin
