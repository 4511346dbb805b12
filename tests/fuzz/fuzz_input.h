// What the fuzz targets share: the entry point, which hands each input to the target's fuzz_one
// as a text, and the input as a file for the readers that take a path.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/date_text.h"

namespace tavrolin::fuzzing {

// Each target defines it; a finding ends it with __builtin_trap().
void fuzz_one(const std::string& input);

// The input written to a file of this process's own, replaced by every input.
inline std::string file_of(const std::string& input) {
    static const std::string path = "/tmp/tavrolin_fuzz_" + std::to_string(::getpid());
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) __builtin_trap();
    if (!input.empty() && std::fwrite(input.data(), 1, input.size(), f) != input.size()) __builtin_trap();
    std::fclose(f);
    return path;
}

// A date the program writes must be one of the years 0100 to 9999: anything else is a finding.
inline void check_written_date(std::string_view text) {
    if (text.empty()) return;
    if (!parse_date(text.substr(0, text.find(' ')), date_order_mdy)) __builtin_trap();
}

}  // namespace tavrolin::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tavrolin::fuzzing::fuzz_one(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
