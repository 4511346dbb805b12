#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "engine/calendar.h"
#include "engine/date_text.h"

using namespace tavrolin;

TEST(DateTest, AcceptsEachRegionalOrderAndIso) {
    struct Case { const char* text; int order; CivilDate expected; };
    const Case cases[] = {
        {"09/22/1949", 0, {1949, 9, 22}},  {"9/2/1949", 0, {1949, 9, 2}},   {"12-31-2005", 0, {2005, 12, 31}},
        {"1.5.2020", 0, {2020, 1, 5}},     {"22/09/1949", 1, {1949, 9, 22}}, {"22.9.1949", 1, {1949, 9, 22}},
        {"1949/09/22", 2, {1949, 9, 22}},  {"1949.9.22", 2, {1949, 9, 22}},
        {"1949-09-22", 0, {1949, 9, 22}},  {"1949-09-22", 1, {1949, 9, 22}}, {"1949-9-2", 2, {1949, 9, 2}},
        {"02/29/2000", 0, {2000, 2, 29}},  {"01/01/100", 0, {100, 1, 1}},    {"12/31/9999", 0, {9999, 12, 31}},
        // Two-digit years: 00-29 in this century, 30-99 in the last.
        {"01/02/29", 0, {2029, 1, 2}},     {"01/02/30", 0, {1930, 1, 2}},    {"31/12/99", 1, {1999, 12, 31}},
        {"05/06/07", 2, {2005, 6, 7}},
    };
    for (const auto& c : cases) {
        const auto d = parse_date(c.text, c.order);
        ASSERT_TRUE(d.has_value()) << c.text << " order " << c.order;
        EXPECT_EQ(*d, c.expected) << c.text << " order " << c.order;
    }
}

TEST(DateTest, RejectsImpossibleAndMalformedDates) {
    struct Case { const char* text; int order; };
    const Case cases[] = {
        {"02/30/2005", 0}, {"02/29/1900", 0}, {"13/01/2005", 0}, {"00/10/2005", 0}, {"10/00/2005", 0},
        {"22/09/1949", 0},  // day first under month-first order
        {"09/22/1949", 1}, {"1949/22/09", 2}, {"09/22/1949", 2},
        {"", 0}, {"abc", 0}, {"09/22", 0}, {"09/22/1949/1", 0}, {"09/22-1949", 0}, {"09 22 1949", 0},
        {"009/22/1949", 0}, {"09/22/12345", 0}, {"09/22/5", 0}, {"09/22/099", 0}, {" 09/22/1949", 0},
        {"09/22/1949 ", 0}, {"1949/09/22", 5}, {"+9/22/1949", 0}, {"09//1949", 0},
    };
    for (const auto& c : cases) EXPECT_FALSE(parse_date(c.text, c.order).has_value()) << "'" << c.text << "' order " << c.order;
}

TEST(DatePatterns, WriteTwoDigitMonthAndDayFourDigitYear) {
    const CivilDate d{1949, 9, 22};
    EXPECT_EQ(format_date(d, 0), "09/22/1949");
    EXPECT_EQ(format_date(d, 1), "22/09/1949");
    EXPECT_EQ(format_date(d, 2), "1949/09/22");
    EXPECT_EQ(format_date(d, 3), "");
    EXPECT_EQ(format_date(CivilDate{100, 1, 2}, 0), "01/02/0100");
    EXPECT_EQ(short_date(CivilDate{2000, 1, 2}), "01/02/2000");
}

TEST(Calendar, JulianDayOfKnownDates) {
    EXPECT_EQ(GetJulianDay(1, 1, 2000), 2451544.5);
    EXPECT_EQ(GetJulianDay(9, 22, 1949), 2433181.5);
    EXPECT_EQ(GetJulianDay(1, 1, -4712), -0.5);  // Julian-calendar epoch
    // The calendar switch: 4 October 1582 (Julian) is followed by 15 October (Gregorian),
    // but a typed date up to 15 October is still read in the Julian calendar.
    EXPECT_EQ(GetJulianDay(10, 4, 1582), 2299159.5);
    EXPECT_EQ(GetJulianDay(10, 15, 1582), 2299170.5);
    EXPECT_EQ(GetJulianDay(10, 16, 1582), 2299161.5);
}

TEST(Calendar, CalendarDayInEachOrder) {
    EXPECT_EQ(GetCalendarDay(2451544.5, 2), "2000/01/01");
    EXPECT_EQ(GetCalendarDay(2451603.5, 0), "02/29/2000");
    EXPECT_EQ(GetCalendarDay(2433181.5 + 0.7, 0), "09/22/1949");
    EXPECT_EQ(GetCalendarDay(2433181.5, 1), "22/09/1949");
    EXPECT_EQ(GetCalendarDay(2433181.5, 2), "1949/09/22");
    // Proleptic Gregorian always: 1 March -100 read in the Julian calendar comes back as 27 February.
    EXPECT_EQ(GetCalendarDay(GetJulianDay(3, 1, -100), 0), "02/27/-100");
}

TEST(Calendar, RoundTripsOverTheGregorianEra) {
    for (double jd = 2299161.5; jd < 5373484.5; jd += 997.0) {
        const std::string text = GetCalendarDay(jd, 2);
        const auto d = parse_date(text, 2);
        ASSERT_TRUE(d.has_value()) << text;
        EXPECT_EQ(GetJulianDay(d->month, d->day, d->year), jd) << text;
        EXPECT_EQ(days_from_civil(*d) + 2440587.5, jd) << text;
    }
}

TEST(Calendar, ExactTimeAsLocalDateAndTime) {
    struct Case { double jd; const char* tz; const char* date; const char* time; const char* next_day; };
    const Case cases[] = {
        {2451545.0, "8", "01/01/2000", "04:00:00", ""},            // noon UT, eight hours behind
        {2451545.0, "-1", "01/01/2000", "13:00:00", ""},           // one hour ahead
        {2451545.0, "", "01/01/2000", "12:00:00", ""},             // empty zone counts as 0
        {2451545.0, "5.5x", "01/01/2000", "06:30:00", ""},         // leading-number rule
        {2451544.5, "0", "01/01/2000", "00:00:00", ""},            // exact midnight stays on its day
        {2451544.5 + 1.0 / 86400 * 30.4, "0", "01/01/2000", "00:00:30", ""},
        {2451544.5 + 1.0 / 86400 * 30.6, "0", "01/01/2000", "00:00:31", ""},
        {2451545.5 - 0.3 / 86400, "0", "01/02/2000", "00:00:00", "01/02/2000"},  // rounds up to 24:00:00
        {2451604.5 - 0.2 / 86400, "0", "03/01/2000", "00:00:00", "03/01/2000"},  // into the next month
    };
    for (const auto& c : cases) {
        const ExactDateTime e = ConvertJDtoDateandTime(c.jd, c.tz);
        EXPECT_EQ(e.exact_date_str, c.date) << c.jd << " tz " << c.tz;
        EXPECT_EQ(e.exact_time_str, c.time) << c.jd << " tz " << c.tz;
        EXPECT_EQ(e.calendar_date_str, c.next_day) << c.jd << " tz " << c.tz;
    }
}

TEST(Calendar, DaysInMonthAndMod360) {
    EXPECT_EQ(DaysInMonth(1900, 2), 28);
    EXPECT_EQ(DaysInMonth(2000, 2), 29);
    EXPECT_EQ(DaysInMonth(2004, 2), 29);
    EXPECT_EQ(DaysInMonth(1999, 12), 31);
    EXPECT_EQ(DaysInMonth(2005, 4), 30);
    EXPECT_EQ(DaysInMonth(2005, 1), 31);

    struct Case { double x, expected; };
    for (const Case& c : {Case{-360, 0}, Case{-10, 350}, Case{370, 10}, Case{-0.5, 359.5}, Case{720, 0},
                          Case{0, 0}, Case{359.75, 359.75}, Case{-725, 355}})
        EXPECT_DOUBLE_EQ(Mod360(c.x), c.expected) << c.x;
}

TEST(CivilDays, AddDaysAcrossMonthsYearsAndLeapDays) {
    EXPECT_EQ(add_days(CivilDate{2000, 2, 28}, 1), (CivilDate{2000, 2, 29}));
    EXPECT_EQ(add_days(CivilDate{1900, 2, 28}, 1), (CivilDate{1900, 3, 1}));
    EXPECT_EQ(add_days(CivilDate{2005, 12, 31}, 1), (CivilDate{2006, 1, 1}));
    EXPECT_EQ(add_days(CivilDate{2006, 1, 1}, -1), (CivilDate{2005, 12, 31}));
    EXPECT_EQ(civil_from_days(0), (CivilDate{1970, 1, 1}));
}
