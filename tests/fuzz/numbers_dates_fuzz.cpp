// The leading-number rule and the number patterns, the date test in every order, the result
// table's time reading and the time zone box's rule.
#include <cmath>

#include "engine/text_rules.h"
#include "engine/time_zone.h"
#include "output/result_time.h"
#include "tests/fuzz/fuzz_input.h"

void tavrolin::fuzzing::fuzz_one(const std::string& input) {
    const double v = val(input);
    number_to_text(v);
    for (int decimals = 0; decimals <= 6; ++decimals) format_fixed(v, decimals);
    format_00(v);
    for (int order = 0; order <= 3; ++order) {
        if (const auto date = parse_date(input, order)) {
            if (date->year < 100 || date->year > 9999) __builtin_trap();
            check_written_date(format_date(*date, date_order_mdy));
        }
    }
    result_seconds(input);
    if (time_zone_problem(input).empty() && !is_zone_name(input) && std::fabs(hours_behind_ut(input, 2451545.0)) > 24.0)
        __builtin_trap();
}
