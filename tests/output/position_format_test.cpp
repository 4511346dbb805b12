#include <gtest/gtest.h>

#include <string>

#include "output/position_format.h"

using namespace tavrolin;

TEST(PositionFormat, LongitudeAsSignDegreesMinutesSeconds) {
    struct Case { double lon; const char* text; };
    const Case cases[] = {
        {253.4912, "13 SAG 29m 28s"}, {0, "00 ARI 00m 00s"},   {29.5, "29 ARI 30m 00s"},
        {30, "00 TAU 00m 00s"},       {359.99, "29 PIS 59m 24s"}, {275.0, "05 CPR 00m 00s"},
        // Seconds round halves to even: 10.5 s stays 10, 11.5 s becomes 12.
        {100 + 10.5 / 3600, "10 CAN 00m 10s"}, {100 + 11.5 / 3600, "10 CAN 00m 12s"},
        // A rounded 60 carries into minutes, degrees and sign, and past Pisces back to Aries.
        {29.9999999, "00 TAU 00m 00s"},        {12 + 59.0 / 60 + 59.7 / 3600, "13 ARI 00m 00s"},
        {45 + 7.0 / 60 + 59.9 / 3600, "15 TAU 08m 00s"}, {359.99999999, "00 ARI 00m 00s"},
    };
    for (const auto& c : cases) EXPECT_EQ(PrintSignDataSeconds(c.lon), c.text) << c.lon;
}

TEST(PositionFormat, DeclinationAsDegreesHemisphereMinutes) {
    struct Case { double decl; const char* text; };
    const Case cases[] = {
        {-23.4392, "23 S 26"}, {5, "05 N 00"},     {0, "00 N 00"},   {34.25, "34 N 15"},
        {5.125, "05 N 08"},    {-5.125, "05 S 08"}, {-0.01, "00 S 01"},
        {5.9999, "06 N 00"},   {-29.995, "30 S 00"},  // a rounded 60 minutes carries
    };
    for (const auto& c : cases) EXPECT_EQ(PrintDecl_Lat(c.decl), c.text) << c.decl;
}

TEST(PositionFormat, SetStrlenCutsAtTheFirstNul) {
    std::string plain = "Mars";
    EXPECT_EQ(Set_strlen(plain), "Mars");
    std::string leading(std::string("\0abc", 4));
    EXPECT_EQ(Set_strlen(leading), "");
    EXPECT_EQ(leading, "");
    std::string buffer(std::string("Mars\0\0junk", 10));
    EXPECT_EQ(Set_strlen(buffer), "Mars");
    EXPECT_EQ(buffer, "Mars");
}
