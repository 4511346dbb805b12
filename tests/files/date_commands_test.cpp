#include "window/files/date_commands.h"

#include <gtest/gtest.h>

#include <string>

namespace tavrolin {
namespace {

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
