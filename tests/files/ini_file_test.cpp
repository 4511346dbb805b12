#include "window/files/ini_file.h"

#include <gtest/gtest.h>

#include <string>

namespace tavrolin {
namespace {

// What a restart keeps is checked through the main window; here the file's text.
TEST(IniFile, SevenCrlfLines) {
    ControlValues cv;
    cv.start_date = "01/15/2010";
    cv.end_date = "02/15/2010";
    cv.natal_date = "07/04/1976";
    cv.natal_time = "-3.5";
    cv.zodiac_degree = "0.5";
    cv.tz = "-10";
    EXPECT_EQ(ini_file_text(cv),
              "[Tavrolin] - Do NOT change the order of these variables.\r\nstart_date=01/15/2010\r\n"
              "end_date=02/15/2010\r\nnatal_date=07/04/1976\r\nnatal_time=-3.5\r\nzodiac_degree=0.5\r\n"
              "time_zone=-10\r\n");
}

TEST(IniFile, KeyMatchingRules) {
    struct Case {
        const char* name;
        std::string content;
        std::string ControlValues::*field;
        std::string expected;
    };
    const Case cases[] = {
        {"empty value keeps the default", "natal_date=\r\n", &ControlValues::natal_date, "09/22/1949"},
        {"last non-empty value counts", "start_date=01/01/2001\r\nstart_date=02/02/2002\r\nstart_date=\r\n",
         &ControlValues::start_date, "02/02/2002"},
        {"line without = gives the whole line", "natal_date 22/09/1949\r\n", &ControlValues::natal_date,
         "natal_date 22/09/1949"},
        {"start date needs its = and no blank before", " start_date=01/01/2001\nstart_date 01/01/2001\n",
         &ControlValues::start_date, "12/01/2005"},
        {"other keys match without =", "natal_timeX=5.5\r\n", &ControlValues::natal_time, "5.5"},
        {"value is after the first =, blanks kept", "zodiac_degree=  1=2\r\n", &ControlValues::zodiac_degree, "  1=2"},
        {"keys are case-sensitive", "Time_zone=5\r\n", &ControlValues::tz, "8"},
        {"natal time cut to five", "natal_time=12.3456\r\n", &ControlValues::natal_time, "12.34"},
        {"LF line ends, any order", "time_zone=5\nnatal_time=1.5\n", &ControlValues::natal_time, "1.5"},
        {"no line end at the end", "time_zone=5\r\nend_date=03/03/2003", &ControlValues::end_date, "03/03/2003"},
    };
    for (const auto& c : cases) {
        ControlValues cv;
        cv.date_order = 0;
        apply_ini_defaults(cv);
        apply_ini_text(c.content, cv);
        EXPECT_EQ(cv.*c.field, c.expected) << c.name;
    }
}

}  // namespace
}  // namespace tavrolin
