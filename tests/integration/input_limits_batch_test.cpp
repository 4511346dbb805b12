// Numbers the batch program cannot use: the box named with the line of the settings file, or the
// option, that holds it; nothing printed on standard output, exit status 1.
#include <gtest/gtest.h>

#include <string>

#include "support/batch_program.h"

namespace tavrolin {
namespace {

class InputLimitsBatch : public testing::BatchProgramTest {};

TEST_F(InputLimitsBatch, RefusedNumbersNameTheirLineOrOption) {
    ControlValues far_degree, far_zone, progressed;
    for (ControlValues* cv : {&far_degree, &far_zone, &progressed}) cv->natal_date = "09/22/1949";
    far_degree.zodiac_degree = "1e20";
    far_zone.tz = "1e400";  // was read as 0, Universal Time
    progressed.select_mode(2);
    const struct { std::string args, in_stderr; } cases[] = {
        {"--degree " + settings("degree.opt", far_degree),
         "degree.opt: line 3, Zodiac decimal degree: \"1e20\" is not a degree from -720 to 720"},
        {settings("zone.opt", far_zone), "zone.opt: line 6, Time Zone: \"1e400\" is not a number of hours"},
        {"--years-back -5 " + settings("progressed.opt", progressed),
         "--years-back: Yrs back: \"-5\" is not a number of years from 0 to 99"},
        {"--local-birth-time '12/31/9999 23:00 America/New_York'",
         "23:00 on 12/31/9999 in America/New_York falls on a GMT date outside the years 0100 to 9999"},
    };
    for (const auto& c : cases) {
        const testing::ProgramRun r = run(c.args);
        EXPECT_EQ(r.status, 1) << c.args;
        EXPECT_EQ(r.out, "") << c.args;
        EXPECT_NE(r.err.find(c.in_stderr), std::string::npos) << c.args << "\n" << r.err;
    }
}

}  // namespace
}  // namespace tavrolin
