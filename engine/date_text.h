// Date texts as the user types them, under the regional date order.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tavrolin {

// Regional date order: 0 month/day/year, 1 day/month/year, 2 year/month/day.
enum DateOrderValue : int { date_order_mdy = 0, date_order_dmy = 1, date_order_ymd = 2 };

struct CivilDate {
    int year = 0;
    int month = 0;
    int day = 0;
    friend bool operator==(const CivilDate&, const CivilDate&) = default;
};

// The date test: day and month of one or two digits, separators "/", "-" or "." (the same one
// twice), years of three or four digits (100..9999) or two digits (00-29 are 2000-2029, 30-99
// 1930-1999), in the given order; "yyyy-mm-dd" is accepted in every order. Impossible dates
// (02/30/2005) and anything else give nothing.
std::optional<CivilDate> parse_date(std::string_view text, int date_order);
inline bool is_date(std::string_view text, int date_order) { return parse_date(text, date_order).has_value(); }

bool is_leap_year(int year);
int days_in_month(int year, int month);  // Gregorian, month 1..12

// The date pattern of an order: "mm/dd/yyyy", "dd/mm/yyyy" or "yyyy/mm/dd"; any other order gives
// an empty text (no pattern).
std::string format_date(const CivilDate& date, int date_order);

// The short-date form used where a date is advanced past midnight: "mm/dd/yyyy".
std::string short_date(const CivilDate& date);

// Day count of a proleptic Gregorian date (days since 1970-01-01) and back.
long long days_from_civil(const CivilDate& date);
CivilDate civil_from_days(long long days);
CivilDate add_days(const CivilDate& date, long long days);

}  // namespace tavrolin
