// Reading the INI file at start-up: only a regular file of a sensible size is read, so that
// whatever else stands at its place cannot keep the window from appearing.
#include "files/ini_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "support/temp_folder.h"

namespace tavrolin {
namespace {

namespace fs = std::filesystem;

class IniFileReading : public testing::TempFolderTest {};

TEST_F(IniFileReading, OnlyARegularFileOfSensibleSizeIsRead) {
    const std::string ini = ini_file_path(dir.string());
    const std::string lines = "natal_time=09.15\r\nzodiac_degree=12.5\r\n";
    const std::string not_regular = ini + ": cannot be read: not a regular file";
    struct Case {
        const char* what;
        std::function<void()> setup;
        bool read;
        std::string natal_time;  // afterwards: the file's value or the default
        std::string error;
    };
    const Case cases[] = {
        {"a regular file", [&] { std::ofstream(ini, std::ios::binary) << lines; }, true, "09.15", ""},
        {"a pipe", [&] { ::mkfifo(ini.c_str(), 0600); }, false, "16.43", not_regular},
        {"a link to an endless device", [&] { fs::create_symlink("/dev/zero", ini); }, false, "16.43", not_regular},
        {"a file larger than any INI file",
         [&] { std::ofstream(ini, std::ios::binary) << std::string(max_ini_file_size, '\n') << lines; }, false, "16.43",
         ini + ": is too large to be the INI file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(ini);
        c.setup();
        ControlValues cv;
        std::string error;
        auto loading = std::async(std::launch::async, [&] { return LoadINIFile(dir.string(), cv, &error); });
        if (loading.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            ADD_FAILURE() << "still waiting after 10 s";
            // A writer that comes and goes lets a reader blocked on the pipe go on.
            ::close(::open(ini.c_str(), O_WRONLY));
        }
        EXPECT_EQ(loading.get(), c.read);
        EXPECT_EQ(cv.natal_time, c.natal_time);
        EXPECT_EQ(error, c.error);
    }
}

}  // namespace
}  // namespace tavrolin
