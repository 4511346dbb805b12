#include "window/files/date_commands.h"

#include <gtest/gtest.h>

#include <string>

namespace tavrolin {
namespace {

ControlValues range(int date_order, const std::string& start, const std::string& end) {
    ControlValues cv;
    cv.date_order = date_order;
    cv.start_date = start;
    cv.end_date = end;
    return cv;
}

const char* name_of(DateCommand c) {
    switch (c) {
        case DateCommand::PreviousStartDate: return "previous start";
        case DateCommand::NextStartDate: return "next start";
        case DateCommand::PreviousEndDate: return "previous end";
        case DateCommand::NextEndDate: return "next end";
        case DateCommand::PreviousMonth: return "previous month";
        case DateCommand::NextMonth: return "next month";
    }
    return "?";
}

struct Case {
    DateCommand command;
    int order;
    std::string start, end;                  // before
    std::string new_start, new_end;          // after
};

TEST(DateCommands, MovesTheRangeInEachDateOrder) {
    using C = DateCommand;
    const Case cases[] = {
        // Whole months after and before the start date's month; the old end is not read.
        {C::NextMonth, 0, "12/15/2005", "garbage", "01/01/2006", "01/31/2006"},
        {C::PreviousMonth, 0, "12/15/2005", "12/31/2005", "11/01/2005", "11/30/2005"},
        {C::PreviousMonth, 0, "1/9/2006", "", "12/01/2005", "12/31/2005"},
        {C::NextMonth, 0, "01/31/2000", "x", "02/01/2000", "02/29/2000"},
        {C::NextMonth, 0, "01/01/1900", "x", "02/01/1900", "02/28/1900"},
        {C::PreviousMonth, 0, "03/31/2004", "x", "02/01/2004", "02/29/2004"},
        {C::NextMonth, 1, "15/12/2005", "x", "01/01/2006", "31/01/2006"},
        {C::PreviousMonth, 1, "1/1/2006", "x", "01/12/2005", "31/12/2005"},
        {C::NextMonth, 1, "31/01/2100", "x", "01/02/2100", "28/02/2100"},
        {C::NextMonth, 2, "2005/12/15", "x", "2006/01/01", "2006/01/31"},
        {C::PreviousMonth, 2, "2000/3/1", "x", "2000/02/01", "2000/02/29"},
        // The ISO form is a date in every order; the result is written in the order's pattern.
        {C::NextMonth, 1, "2005-06-10", "x", "01/07/2005", "31/07/2005"},
        // One day, passing month ends, year ends and 29 February; the other box stays as it is,
        // also when the start passes the end.
        {C::NextStartDate, 0, "12/31/2005", "12/01/2005", "01/01/2006", "12/01/2005"},
        {C::NextStartDate, 0, "12/01/2005", "12/31/2005", "12/02/2005", "12/31/2005"},
        {C::PreviousStartDate, 0, "3/1/2004", "not a date", "02/29/2004", "not a date"},
        {C::PreviousEndDate, 0, "12/01/2005", "03/01/2004", "12/01/2005", "02/29/2004"},
        {C::NextEndDate, 0, "x", "02/28/2001", "x", "03/01/2001"},
        {C::PreviousEndDate, 1, "x", "01/01/2006", "x", "31/12/2005"},
        {C::NextStartDate, 1, "28/02/2000", "x", "29/02/2000", "x"},
        {C::NextEndDate, 1, "x", "29/02/2000", "x", "01/03/2000"},
        {C::PreviousStartDate, 2, "2006/1/1", "x", "2005/12/31", "x"},
        {C::NextEndDate, 2, "x", "1999/12/31", "x", "2000/01/01"},
    };
    for (const Case& c : cases) {
        ControlValues cv = range(c.order, c.start, c.end);
        std::string problem;
        EXPECT_TRUE(run_date_command(c.command, cv, &problem)) << name_of(c.command) << " " << c.start << ": " << problem;
        EXPECT_EQ(cv.start_date, c.new_start) << name_of(c.command) << " order " << c.order << " " << c.start;
        EXPECT_EQ(cv.end_date, c.new_end) << name_of(c.command) << " order " << c.order << " " << c.end;
    }
}

TEST(DateCommands, NextMonthTwiceAdvancesTwoMonths) {
    ControlValues cv = range(0, "11/20/2005", "11/25/2005");
    ASSERT_TRUE(run_date_command(DateCommand::NextMonth, cv));
    ASSERT_TRUE(run_date_command(DateCommand::NextMonth, cv));
    EXPECT_EQ(cv.start_date, "01/01/2006");
    EXPECT_EQ(cv.end_date, "01/31/2006");
}

TEST(DateCommands, TextThatIsNotADateChangesNothingAndSaysWhich) {
    using C = DateCommand;
    struct Bad {
        DateCommand command;
        int order;
        std::string start, end;
        std::string problem;
    };
    const Bad cases[] = {
        {C::NextStartDate, 0, "12/32/2005", "12/31/2005", "Start Date: \"12/32/2005\" is not a date"},
        {C::PreviousStartDate, 0, "", "12/31/2005", "Start Date: \"\" is not a date"},
        {C::NextEndDate, 0, "12/01/2005", "02/29/2005", "End Date: \"02/29/2005\" is not a date"},
        {C::PreviousEndDate, 1, "01/12/2005", "12/31/2005", "End Date: \"12/31/2005\" is not a date"},
        // The month commands read only the start date.
        {C::NextMonth, 0, "13/01/2005", "12/31/2005", "Start Date: \"13/01/2005\" is not a date"},
        {C::PreviousMonth, 2, "12/01/2005", "2005/12/31", "Start Date: \"12/01/2005\" is not a date"},
        // An order without a pattern reads no date.
        {C::NextMonth, 3, "12/01/2005", "12/31/2005", "Start Date: \"12/01/2005\" is not a date"},
        {C::NextStartDate, -1, "12/01/2005", "12/31/2005", "Start Date: \"12/01/2005\" is not a date"},
        // A date that would need a fifth year digit, or fall before the years a text can hold.
        {C::NextStartDate, 0, "12/31/9999", "x", "Start Date: \"12/31/9999\" cannot be moved past the years 100 to 9999"},
        {C::NextMonth, 0, "12/01/9999", "x", "Start Date: \"12/01/9999\" cannot be moved past the years 100 to 9999"},
        {C::PreviousMonth, 2, "0100/01/15", "x", "Start Date: \"0100/01/15\" cannot be moved past the years 100 to 9999"},
        {C::PreviousEndDate, 0, "x", "01/01/0100", "End Date: \"01/01/0100\" cannot be moved past the years 100 to 9999"},
    };
    for (const Bad& c : cases) {
        ControlValues cv = range(c.order, c.start, c.end);
        std::string problem;
        EXPECT_FALSE(run_date_command(c.command, cv, &problem)) << name_of(c.command) << " " << c.start;
        EXPECT_EQ(problem, c.problem);
        EXPECT_EQ(cv.start_date, c.start);
        EXPECT_EQ(cv.end_date, c.end);
    }
}

}  // namespace
}  // namespace tavrolin
