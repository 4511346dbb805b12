// Conversions between calendar dates and Julian days, and the angle normaliser.
#pragma once

#include <string>

namespace tavrolin {

// Julian day of 1970-01-01 0h UT, the start of the day count of days_from_civil.
inline constexpr double unix_epoch_jd = 2440587.5;

// Julian day of 0h of a date; dates up to 4 October 1582 are read in the Julian calendar,
// later ones in the Gregorian (the switch is at day number 2299171).
double GetJulianDay(int XMonth, int XDay, int XYear);

// Proleptic Gregorian date of a Julian day, written in the regional order (the value that the
// window keeps as calendar_date_str), e.g. "09/22/1949" for order 0.
std::string GetCalendarDay(double JD, int date_order);

struct ExactDateTime {
    std::string exact_date_str;       // "mm/dd/yyyy", local date
    std::string exact_time_str;       // "hh:nn:ss", local time, nearest second
    std::string calendar_date_str;    // set only when the time rounded up to the next day
};

// Local date and time of a Julian day in Universal Time; tz_text is the time-zone box (hours
// behind Universal Time by the leading-number rule, or a zone name: its offset at that moment).
ExactDateTime ConvertJDtoDateandTime(double XjdX, const std::string& tz_text);

int DaysInMonth(int testYear, int testMonth);

// The program's dates hold the years 0100 to 9999 (four digits, proleptic Gregorian); a Julian day
// before the first moment of 0100 is -1 to them, one from the first moment of 10000 on is 1, else 0.
int calendar_side(double jd);

// Angle reduced into [0, 360).
double Mod360(double x);

}  // namespace tavrolin
