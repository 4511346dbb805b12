#include "output/listing_styles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>


namespace tavrolin {
namespace {

// A row with the columns the styles read: indexes, time, speed, longitudes, phase, speeds,
// declinations.
ResultRow row(int p1, int aspect, int p2, const std::string& speed, const std::string& lon1,
              const std::string& lon2, const std::string& phase, const std::string& speed1,
              const std::string& speed2, const std::string& decl1, const std::string& decl2,
              const std::string& exact = "12/05/2005 14:23:07") {
    return ResultRow{std::to_string(p1), std::to_string(aspect), std::to_string(p2), exact, speed, lon1, lon2,
                     phase, speed1, speed2, decl1, decl2};
}

TEST(QuillStyle, SignOfALongitudeColumn) {
    struct Case {
        const char* longitude;
        const char* sign;
    };
    const Case cases[] = {
        {"0", "ari"}, {"29.999", "ari"}, {"30", "tau"}, {"253.4912", "sag"}, {"359.99", "pis"},
        // Outside the circle there is no sign; a text without a number reads as 0.
        {"360", ""},  {"-0.5", ""},      {"1e300", ""}, {"x", "ari"},
    };
    for (const auto& c : cases) EXPECT_EQ(quill_sign_of(c.longitude), c.sign) << c.longitude;
}

TEST(QuillStyle, RowLines) {
    ControlValues cv;
    cv.user_defined_angle = "33.3";
    struct Case {
        int calc_kind;
        ResultRow r;
        const char* line;
    };
    const Case cases[] = {
        {1, row(0, 7, 4, "0", "255", "345.1", "1", "1", "-1", "-21.493", "-5.318"),
         "Sun (sag = -21.49) 090 Mars (pis = -5.32) 12/05/2005 14:23:07\r\n"},
        {1, row(21, 15, 1, "0", "0", "359.99", "1", "1", "1", "0", "5"),
         "Eris (ari = 0.00) 33.3 Moon (pis = 5.00) 12/05/2005 14:23:07\r\n"},
        {1, row(2, 17, 3, "0", "30", "29.999", "0", "1", "1", "1.235", "-1.235"),
         "Mercury (tau = 1.24) c.p Venus (ari = -1.24) 12/05/2005 14:23:07\r\n"},
        // Degree run: the degree with three decimals and a blank instead of the P2 field.
        {0, row(0, 0, 0, "0", "255", "179.331227", "1", "1", "0", "-21.493", "179.331227"),
         "Sun (sag = -21.49) 000 179.331 12/05/2005 14:23:07\r\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(quill_row_entry(ListingContext{cv, c.calc_kind}, c.r), c.line) << c.line;
}

TEST(LunettaStyle, ProgressedSpeedLine) {
    struct Case {
        const char* speed;
        const char* line;
    };
    const Case cases[] = {
        {"1.0000", "     speed = 1.0000 ==> 1.00 years"},
        {"0.9856", "     speed = 0.9856 ==> 1.01 years"},
        // 1 / 1.01 shows as 0.99, under a year: months.
        {"1.0100", "     speed = 1.0100 ==> 11.88 months"},
        // 1 / 0.996 shows as 1.00: years.
        {"0.9960", "     speed = 0.9960 ==> 1.00 years"},
        {"13.1764", "     speed = 13.1764 ==> 0.91 months"},
        // Retrograde: the sign stays, the unit is chosen from the magnitude.
        {"-0.2500", "     speed = -0.2500 ==> -4.00 years"},
        {"-13.1764", "     speed = -13.1764 ==> -0.91 months"},
        {"0.0001", "     speed = 0.0001 ==> 10000.00 years"},
        // A station: nothing to divide by.
        {"0.0000", "     speed = 0.0000 ==> station"},
        {"-0.0000", "     speed = -0.0000 ==> station"},
        {"", "     speed =  ==> station"},
    };
    for (const auto& c : cases) EXPECT_EQ(lunetta_speed_line(c.speed), c.line) << c.speed;
}

TEST(LunettaStyle, RowLinesByMode) {
    const ResultRow square = row(0, 7, 4, "0.9856", "253.4912", "163.4912", "1", "1.01", "-0.2", "-21.493", "-5.318");
    const ResultRow parallel = row(0, 16, 1, "0.9856", "253.4912", "120", "0", "0", "13", "-21.493", "-21.4911");
    const ResultRow behind = row(4, 0, 5, "0.5", "10", "10", "-1", "-0.5", "0", "1", "2");
    const std::string head = "Sun 090 Mars 12/05/2005 14:23:07";
    struct Case {
        int mode;
        int calc_kind;
        ResultRow r;
        std::string lines;
    };
    const std::vector<Case> cases = {
        {0, 1, square, head + "   253.49   163.49   1   1   -1\r\n"},
        {1, 1, square, head + "   253.49   163.49   1   1   -1\r\n"},
        {-1, 1, square, head + "   253.49   163.49   1   1   -1\r\n"},  // no mode selected
        // Declination aspect: the declinations, four blanks for the phase, a speed of 0 is direct.
        {0, 1, parallel, "Sun par Moon 12/05/2005 14:23:07   -21.49   -21.49       1   1\r\n"},
        {1, 1, behind, "Mars 000 Jupiter 12/05/2005 14:23:07   10.00   10.00   -1   -1   1\r\n"},
        // Degree run: the degree in third place; its speed column is 0, a direct flag.
        {0, 0, row(0, 0, 0, "1", "179.33", "179.331227", "1", "0.98", "0", "1", "179.331227"),
         "Sun 000 179.331 12/05/2005 14:23:07   179.33   179.33   1   1   1\r\n"},
        {2, 1, square, head + "\r\n     speed = 0.9856 ==> 1.01 years\r\n"},
        {2, 1, row(0, 7, 4, "0.0000", "1", "2", "1", "0", "0", "0", "0"), head + "\r\n     speed = 0.0000 ==> station\r\n"},
        {3, 1, square, head + "\r\n"},
    };
    for (const auto& c : cases) {
        ControlValues cv;
        cv.mode = c.mode;
        EXPECT_EQ(lunetta_row_entry(ListingContext{cv, c.calc_kind}, c.r), c.lines) << c.mode << " " << c.lines;
    }
}

}  // namespace
}  // namespace tavrolin
