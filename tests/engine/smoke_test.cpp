#include <gtest/gtest.h>
#include "engine/calendar.h"
TEST(Smoke, JulianDay) { EXPECT_EQ(tavrolin::GetJulianDay(1, 1, 2000), 2451544.5); }
