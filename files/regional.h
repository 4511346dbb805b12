// The regional date order (DateOrder: 0 month/day/year, 1 day/month/year, 2 year/month/day),
// taken once at start-up from the user's locale.
#pragma once

#include <string>
#include <string_view>

namespace tavrolin {

// The order of day, month and year in a strftime date format such as the locale's D_FMT
// ("%d/%m/%Y" gives 1, "%m/%d/%y" 0, "%Y-%m-%d" 2). A format that does not name all three
// fields, or names them in an order without a date pattern, gives 0.
int date_order_from_format(std::string_view d_fmt);

// The short date format of the user's LC_TIME locale (from the environment, without touching the
// process's current locale); empty when the environment names no usable locale.
std::string regional_date_format();

// DateOrder for this session: the order of the user's short date format; 0 for the C/POSIX
// locale, which has no regional order, and for anything that cannot be told.
int GetRegionalDateOrder();

}  // namespace tavrolin
