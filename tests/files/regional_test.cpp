// The regional date order from a locale's date format; the order from a compiled regional locale
// is checked through the main window.
#include "window/files/regional.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>

namespace {

TEST(RegionalDateOrder, FromDateFormat) {
    const std::pair<const char*, int> cases[] = {
        {"%m/%d/%Y", 0}, {"%d/%m/%y", 1}, {"%d.%m.%Y", 1},  {"%Y-%m-%d", 2},   {"%Y. %m. %d.", 2}, {"%Y年%m月%d日", 2},
        {"%e/%m/%Y", 1}, {"%d-%b-%Y", 1}, {"%-d/%-m/%Y", 1}, {"%Od.%Om.%EY", 1}, {"%D", 0},          {"%F", 2},
        // Nothing that tells the order, or an order without a date pattern: 0.
        {"%x", 0}, {"", 0}, {"%d.%m.", 0}, {"%Y/%d/%m", 0}, {"%%d/%m/%Y", 0}, {"%", 0},
    };
    for (const auto& [format, order] : cases) EXPECT_EQ(tavrolin::date_order_from_format(format), order) << format;
}

TEST(RegionalDateOrder, CLocaleAndUnknownLocaleGiveMonthFirst) {
    const char* old = std::getenv("LC_ALL");
    const std::string saved = old ? old : "";
    for (const char* locale : {"C", "POSIX", "xx_NOWHERE.UTF-8"}) {
        ::setenv("LC_ALL", locale, 1);
        EXPECT_EQ(tavrolin::GetRegionalDateOrder(), 0) << locale;
    }
    if (old) ::setenv("LC_ALL", saved.c_str(), 1);
    else ::unsetenv("LC_ALL");
}

}  // namespace
