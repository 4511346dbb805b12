#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "engine/bodies.h"
#include "engine/text_rules.h"

using namespace tavrolin;

TEST(LeadingNumberRule, ReadsTheLongestNumericPrefix) {
    struct Case { const char* text; double expected; };
    const Case cases[] = {
        {"040", 40},       {"51.7", 51.7},    {"179.331227", 179.331227},
        {"  12abc", 12},   {"-1.30", -1.3},   {".5", 0.5},
        {"-.25x", -0.25},  {"1e3", 1000},     {"2e", 2},
        {"3E-2", 0.03},    {"abc", 0},        {"", 0},
        {"-", 0},          {".", 0},          {"par", 0},
        {"8 hours", 8},    {"1.2.3", 1.2},    {"--5", 0},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(val(c.text), c.expected) << "text: '" << c.text << "'";
}

TEST(NumberPatterns, RoundHalvesAwayFromZeroOnTheWrittenValue) {
    struct Case { double value; int decimals; const char* expected; };
    const Case cases[] = {
        {2.675, 2, "2.68"},            // binary value is just below 2.675
        {1.0 / 1.01, 2, "0.99"},
        {1.005, 2, "1.01"},
        {0.5, 0, "1"},                 {-0.5, 0, "-1"},       {2.5, 0, "3"},
        {-2.675, 2, "-2.68"},
        {0.0, 4, "0.0000"},            {0.00005, 4, "0.0001"}, {0.00004999, 4, "0.0000"},
        {123.456789, 4, "123.4568"},   {9.99995, 4, "10.0000"}, {0.999999, 5, "1.00000"},
        {1.52, 2, "1.52"},             {59.9999999, 6, "60.000000"},
        {-0.001, 2, "0.00"},           {1234567.891, 3, "1234567.891"},
        {0.1, 6, "0.100000"},          {11.88, 2, "11.88"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(format_fixed(c.value, c.decimals), c.expected) << c.value << " with " << c.decimals << " decimals";
}

TEST(NumberPatterns, TwoDigitWholeNumbers) {
    EXPECT_EQ(format_00(5), "05");
    EXPECT_EQ(format_00(0), "00");
    EXPECT_EQ(format_00(12), "12");
    EXPECT_EQ(format_00(9.5), "10");
    EXPECT_EQ(format_00(123), "123");
}

TEST(NumberToText, FifteenSignificantDigitsWithoutPadding) {
    struct Case { double value; const char* expected; };
    const Case cases[] = {
        {4, "4"},          {0, "0"},          {-0.0, "0"},         {0.5, "0.5"},
        {-2.5, "-2.5"},    {1.0 / 3.0, "0.333333333333333"},       {280.3689, "280.3689"},
        {1e-5, "1E-05"},   {1.5e-7, "1.5E-07"}, {123456789012345678.0, "1.23456789012346E+17"},
        {0.0001, "0.0001"}, {100, "100"},
    };
    for (const auto& c : cases) EXPECT_EQ(number_to_text(c.value), c.expected);
}

TEST(NumberToText, ReadsBackToTheSameFifteenDigits) {
    for (double x : {179.331227, -0.000123456789, 13.176358122, 359.99999999, 1e10 / 7}) {
        const double back = val(number_to_text(x));
        EXPECT_NEAR(back, x, std::fabs(x) * 1e-14) << number_to_text(x);
    }
}

TEST(RoundHalfEven, TiesGoToTheEvenNeighbour) {
    EXPECT_EQ(round_half_even(0.5), 0);
    EXPECT_EQ(round_half_even(1.5), 2);
    EXPECT_EQ(round_half_even(2.5), 2);
    EXPECT_EQ(round_half_even(-2.5), -2);
    EXPECT_EQ(round_half_even(2.6), 3);
}

TEST(Bodies, NumbersExclusionsAndSigns) {
    EXPECT_EQ(body_number(0), 0);
    EXPECT_EQ(body_number(14), 14);
    EXPECT_EQ(body_number(20), 20);
    EXPECT_EQ(body_number(21), 146199);
    EXPECT_EQ(body_number(22), 100377);

    for (int b = 0; b <= last_body_index; ++b) {
        const bool geo_excluded = b == 14;
        const bool helio_excluded = b == 0 || b == 1 || (b >= 10 && b <= 13);
        EXPECT_EQ(body_excluded(b, 0), geo_excluded) << b;
        EXPECT_EQ(body_excluded(b, 1), helio_excluded) << b;
    }

    struct Case { double lon; const char* abbrev; };
    for (const Case& c : {Case{0, "ARI"}, Case{29.999, "ARI"}, Case{30, "TAU"}, Case{275, "CPR"},
                          Case{300, "AQU"}, Case{359.99, "PIS"}})
        EXPECT_EQ(sign_abbrev(c.lon), c.abbrev) << c.lon;
    EXPECT_EQ(sign_number(300), 11);
}
