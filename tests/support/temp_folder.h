// A test with an empty folder of its own, removed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace tavrolin::testing {

inline std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class TempFolderTest : public ::testing::Test {
protected:
    // Named by the process too: other builds may run the same test at the same time.
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() /
        ("tavrolin_" + std::to_string(::getpid()) + "_" +
         ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() + "_" +
         ::testing::UnitTest::GetInstance()->current_test_info()->name());

    void SetUp() override {
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string path(const std::string& name) const { return (dir / name).string(); }
};

}  // namespace tavrolin::testing
