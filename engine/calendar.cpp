#include "engine/calendar.h"
#include "engine/time_zone.h"

#include <cmath>
#include <cstdio>

#include <swephexp.h>

#include "engine/date_text.h"
#include "engine/text_rules.h"

namespace tavrolin {

double GetJulianDay(int XMonth, int XDay, int XYear) {
    const double m = (static_cast<double>(XYear) + 4800.0) * 12.0 + XMonth - 3.0;
    const double r = m - 12.0 * std::floor(m / 12.0);
    const double q = (2.0 * r + 7.0 + 365.0 * m) / 12.0;
    double n = std::floor(q) + XDay + std::floor(m / 48.0) - 32083.0;
    if (n > 2299171.0) n = n + std::floor(m / 4800.0) - std::floor(m / 1200.0) + 38.0;
    return n - 0.5;
}

std::string GetCalendarDay(double jd, int date_order) {
    double L = std::floor(jd + 0.5) + 68569.0;
    const double N = std::floor(4.0 * L / 146097.0);
    L = L - std::floor((146097.0 * N + 3.0) / 4.0);
    const double I = std::floor(4000.0 * (L + 1.0) / 1461001.0);
    L = L - std::floor(1461.0 * I / 4.0) + 31.0;
    const double J = std::floor(80.0 * L / 2447.0);
    const double day = L - std::floor(2447.0 * J / 80.0);
    L = std::floor(J / 11.0);
    const double month = J + 2.0 - 12.0 * L;
    const double year = 100.0 * (N - 49.0) + I + L;

    char mm[16], dd[16], yy[32];
    std::snprintf(mm, sizeof mm, "%02d", static_cast<int>(month));
    std::snprintf(dd, sizeof dd, "%02d", static_cast<int>(day));
    // Four digits, as every other date the program writes: the years 0100 to 0999 too.
    std::snprintf(yy, sizeof yy, "%04lld", static_cast<long long>(year));
    std::string ytext = yy;
    if (ytext.size() > 4) ytext = ytext.substr(ytext.size() - 4);
    switch (date_order) {
        case date_order_dmy: return std::string(dd) + "/" + mm + "/" + ytext;
        case date_order_ymd: return ytext + "/" + mm + "/" + dd;
        default: return std::string(mm) + "/" + dd + "/" + ytext;
    }
}

ExactDateTime ConvertJDtoDateandTime(double jd, const std::string& tz_text) {
    // A number as it stands; a zone name by its offset at this moment.
    const double tz = hours_behind_ut(tz_text, jd);
    const double t = jd - tz / 24.0;
    int year = 0, month = 0, day = 0;
    double hour = 0.0;
    // The added millionth of a day keeps an exact midnight from falling back a day.
    swe_revjul(t + 0.000001, SE_GREG_CAL, &year, &month, &day, &hour);

    long long seconds = static_cast<long long>(std::floor(hour * 3600.0 + 0.5));
    CivilDate date{year, month, day};
    ExactDateTime out;
    if (seconds >= 86400) {
        seconds = 0;
        date = add_days(date, 1);
        out.calendar_date_str = short_date(date);
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", date.month, date.day, date.year);
    out.exact_date_str = buf;
    std::snprintf(buf, sizeof buf, "%02lld:%02lld:%02lld", seconds / 3600, (seconds / 60) % 60, seconds % 60);
    out.exact_time_str = buf;
    return out;
}

int calendar_side(double jd) {
    static const double first = unix_epoch_jd + static_cast<double>(days_from_civil(CivilDate{100, 1, 1}));
    static const double end = unix_epoch_jd + static_cast<double>(days_from_civil(CivilDate{10000, 1, 1}));
    return jd < first ? -1 : jd >= end ? 1 : 0;
}

int DaysInMonth(int testYear, int testMonth) {
    // The day before the first of the following month (month 13 is January of the next year).
    int y = testYear;
    int m = testMonth + 1;
    if (m == 13) {
        m = 1;
        ++y;
    }
    const CivilDate previous = add_days(CivilDate{y, m, 1}, -1);
    return previous.day;
}

double Mod360(double x) {
    if (x >= 0) return x - 360.0 * std::floor(x / 360.0);
    return x - 360.0 * (std::floor(x / 360.0) + 1.0) + 360.0;
}

}  // namespace tavrolin
