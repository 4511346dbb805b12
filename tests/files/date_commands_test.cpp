// The regional date order (the order from a compiled regional locale is checked through the main
// window) and the date commands, which move the range in that order.
#include "files/date_commands.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>

#include "files/regional.h"

namespace tavrolin {
namespace {

TEST(RegionalDateOrder, FromDateFormat) {
    const std::pair<const char*, int> cases[] = {
        {"%m/%d/%Y", 0}, {"%d/%m/%y", 1}, {"%d.%m.%Y", 1},  {"%Y-%m-%d", 2},   {"%Y. %m. %d.", 2}, {"%Y年%m月%d日", 2},
        {"%e/%m/%Y", 1}, {"%d-%b-%Y", 1}, {"%-d/%-m/%Y", 1}, {"%Od.%Om.%EY", 1}, {"%D", 0},          {"%F", 2},
        // Nothing that tells the order, or an order without a date pattern: 0.
        {"%x", 0}, {"", 0}, {"%d.%m.", 0}, {"%Y/%d/%m", 0}, {"%%d/%m/%Y", 0}, {"%", 0},
    };
    for (const auto& [format, order] : cases) EXPECT_EQ(date_order_from_format(format), order) << format;
}

TEST(RegionalDateOrder, CLocaleAndUnknownLocaleGiveMonthFirst) {
    const char* old = std::getenv("LC_ALL");
    const std::string saved = old ? old : "";
    for (const char* locale : {"C", "POSIX", "xx_NOWHERE.UTF-8"}) {
        ::setenv("LC_ALL", locale, 1);
        EXPECT_EQ(GetRegionalDateOrder(), 0) << locale;
    }
    if (old) ::setenv("LC_ALL", saved.c_str(), 1);
    else ::unsetenv("LC_ALL");
}

using C = DateCommand;

TEST(DateCommands, MoveTheRangeOrSayWhyNot) {
    // The texts before; "start|end" afterwards, or the problem reported (both texts unchanged).
    struct Case { DateCommand command; int order; std::string start, end, after; };
    const Case cases[] = {
        // Whole months around the start date's month; the old end is not read.
        {C::NextMonth, 0, "12/15/2005", "x", "01/01/2006|01/31/2006"},
        {C::PreviousMonth, 0, "1/9/2006", "", "12/01/2005|12/31/2005"},
        {C::NextMonth, 0, "01/31/2000", "x", "02/01/2000|02/29/2000"},
        {C::NextMonth, 0, "01/01/1900", "x", "02/01/1900|02/28/1900"},
        {C::PreviousMonth, 1, "1/3/2004", "x", "01/02/2004|29/02/2004"},
        {C::NextMonth, 2, "2005/12/15", "x", "2006/01/01|2006/01/31"},
        {C::NextMonth, 1, "2005-06-10", "x", "01/07/2005|31/07/2005"},  // ISO is read in every order
        // One day; the other box stays, also when the start passes the end.
        {C::NextStartDate, 0, "12/31/2005", "12/01/2005", "01/01/2006|12/01/2005"},
        {C::PreviousEndDate, 0, "x", "3/1/2004", "x|02/29/2004"},
        {C::NextEndDate, 1, "x", "28/02/2001", "x|01/03/2001"},
        {C::PreviousStartDate, 2, "2006/1/1", "x", "2005/12/31|x"},
        // Refused: not a date in the box the command reads (or no order), or beyond the years a text holds.
        {C::NextEndDate, 0, "12/01/2005", "02/29/2005", "End Date: \"02/29/2005\" is not a date"},
        {C::PreviousEndDate, 1, "01/12/2005", "12/31/2005", "End Date: \"12/31/2005\" is not a date"},
        {C::PreviousMonth, 2, "12/01/2005", "2005/12/31", "Start Date: \"12/01/2005\" is not a date"},
        {C::NextMonth, 3, "12/01/2005", "12/31/2005", "Start Date: \"12/01/2005\" is not a date"},
        {C::NextStartDate, 0, "12/31/9999", "x", "Start Date: \"12/31/9999\" cannot be moved past the years 100 to 9999"},
        {C::PreviousEndDate, 0, "x", "01/01/0100", "End Date: \"01/01/0100\" cannot be moved past the years 100 to 9999"},
    };
    for (const Case& c : cases) {
        ControlValues cv;
        cv.date_order = c.order;
        cv.start_date = c.start;
        cv.end_date = c.end;
        std::string problem;
        const bool done = run_date_command(c.command, cv, &problem);
        EXPECT_EQ(done ? cv.start_date + "|" + cv.end_date : problem, c.after) << static_cast<int>(c.command);
        EXPECT_TRUE(done || cv.start_date + "|" + cv.end_date == c.start + "|" + c.end) << cv.start_date << cv.end_date;
    }
}

}  // namespace
}  // namespace tavrolin
