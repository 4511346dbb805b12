#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

#include "window/files/regional.h"

// glibc keeps the search path of a locale loaded through LOCPATH for the life of the process;
// the leak checker of sanitizer builds would count that as a leak of the tests.
extern "C" const char* __lsan_default_suppressions() { return "leak:__argz_add_sep\n"; }

namespace {

using tavrolin::date_order_from_format;

struct FormatCase {
    const char* d_fmt;
    int order;
};

TEST(RegionalDateOrder, FromDateFormat) {
    const FormatCase cases[] = {
        {"%m/%d/%Y", 0},        {"%m/%d/%y", 0},          {"%d/%m/%Y", 1},       {"%d/%m/%y", 1},
        {"%d.%m.%Y", 1},        {"%d-%m-%Y", 1},          {"%Y-%m-%d", 2},       {"%Y/%m/%d", 2},
        {"%Y. %m. %d.", 2},     {"%Y年%m月%d日", 2},      {"%e/%m/%Y", 1},       {"%d-%b-%Y", 1},
        {"%-d/%-m/%Y", 1},      {"%Od.%Om.%EY", 1},       {"%D", 0},             {"%F", 2},
        // Nothing that tells the order, or an order without a date pattern: 0.
        {"%x", 0},              {"", 0},                  {"%m/%d", 0},          {"%d.%m.", 0},
        {"%Y/%d/%m", 0},        {"%%d/%m/%Y", 0},         {"%d", 0},             {"%", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(date_order_from_format(c.d_fmt), c.order) << c.d_fmt;
}

// Runs GetRegionalDateOrder with the given environment and puts the old one back.
class LocaleEnvironment : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"LC_ALL", "LC_TIME", "LANG", "LOCPATH"}) {
            const char* v = std::getenv(name);
            saved_.emplace_back(name, v ? std::optional<std::string>(v) : std::nullopt);
            ::unsetenv(name);
        }
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) {
            if (value) ::setenv(name.c_str(), value->c_str(), 1);
            else ::unsetenv(name.c_str());
        }
        if (!compiled_.empty()) std::filesystem::remove_all(compiled_);
    }

    // Compiles a system locale into a folder of our own; false when the system cannot.
    bool compile_locale(const std::string& source, const std::string& name) {
        if (compiled_.empty()) {
            compiled_ = std::filesystem::temp_directory_path() / ("tavrolin-locales-" + std::to_string(::getpid()));
            std::filesystem::create_directories(compiled_);
        }
        const std::string command = "localedef -i " + source + " -f UTF-8 '" + (compiled_ / name).string() +
                                    "' >/dev/null 2>&1";
        return std::system(command.c_str()) == 0 && std::filesystem::exists(compiled_ / name);
    }

    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
    std::filesystem::path compiled_;
};

TEST_F(LocaleEnvironment, CLocaleAndUnknownLocaleGiveMonthFirst) {
    for (const char* locale : {"C", "POSIX", "C.UTF-8", "xx_NOWHERE.UTF-8"}) {
        ::setenv("LC_ALL", locale, 1);
        EXPECT_EQ(tavrolin::GetRegionalDateOrder(), 0) << locale;
    }
}

TEST_F(LocaleEnvironment, RegionalLocalesGiveTheirOrder) {
    if (!compile_locale("de_DE", "de_DE.UTF-8") || !compile_locale("sv_SE", "sv_SE.UTF-8"))
        GTEST_SKIP() << "localedef cannot build the test locales here";
    ::setenv("LOCPATH", compiled_.c_str(), 1);
    ::setenv("LC_TIME", "de_DE.UTF-8", 1);
    EXPECT_EQ(tavrolin::GetRegionalDateOrder(), 1);
    ::setenv("LC_TIME", "sv_SE.UTF-8", 1);
    EXPECT_EQ(tavrolin::GetRegionalDateOrder(), 2);
    // LC_ALL overrides LC_TIME, as for every other program.
    ::setenv("LC_ALL", "C", 1);
    EXPECT_EQ(tavrolin::GetRegionalDateOrder(), 0);
}

}  // namespace
