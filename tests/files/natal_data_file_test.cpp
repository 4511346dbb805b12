#include "window/files/natal_data_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace tavrolin {
namespace {

namespace fs = std::filesystem;

// Files of other systems load unchanged; a file of fewer than three lines changes nothing.
TEST(NatalDataFile, LoadTakesTheFirstThreeLinesOrNothing) {
    struct Case {
        const char* content;
        std::string result;  // "date|time|tz" afterwards, or a part of the error
    };
    const Case cases[] = {
        {"22/09/1949\r\n16.43\r\n-5.5\r\nnotes about the chart\r\n", "22/09/1949|16.43|-5.5"},
        {"1949/09/22\n7\n0", "1949/09/22|7|0"},
        {"\r\n\r\n\r\n", "||"},
        {"09/22/1949 at noon\n16.4321\n1234567\n", "09/22/1949 at noon|16.43|123456"},  // boxes' lengths
        {"22\xE9" "09/1949\n16.43\n8\n", "22\xC3\xA9" "09/1949|16.43|8"},                // Latin-1
        {"01/01/1960\r\n12.00\r\n", "has 2 lines; a natal data file has 3"},
        {"01/01/1960", "has 1 line;"},
        {"", "has 0 lines"},
    };
    const fs::path path = fs::temp_directory_path() / "tavrolin_natal_test.dat";
    for (const Case& c : cases) {
        std::ofstream(path, std::ios::binary) << c.content;
        ControlValues cv;
        cv.natal_date = "before";
        std::string error;
        const bool loaded = load_natal_data_file(path.string(), cv, &error);
        if (loaded) {
            EXPECT_EQ(cv.natal_date + "|" + cv.natal_time + "|" + cv.tz, c.result) << c.content;
        } else {
            EXPECT_NE(error.find(path.string() + ": " + c.result), std::string::npos) << error;
            EXPECT_EQ(cv.natal_date + "|" + cv.natal_time + "|" + cv.tz, "before|16.43|8") << c.content;
        }
    }
    fs::remove(path);
}

}  // namespace
}  // namespace tavrolin
