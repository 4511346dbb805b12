// What the fuzz targets share: the input as a text, and as a file for the readers that take a path.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/control_values.h"
#include "engine/date_text.h"

namespace tavrolin::fuzzing {

inline std::string text_of(const std::uint8_t* data, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

// The input written to a file of this process's own, replaced by every input.
inline std::string file_of(const std::uint8_t* data, std::size_t size) {
    static const std::string path = "/tmp/tavrolin_fuzz_" + std::to_string(::getpid());
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) __builtin_trap();
    if (size > 0 && std::fwrite(data, 1, size, f) != size) __builtin_trap();
    std::fclose(f);
    return path;
}

// A date the program writes must be one of the years 0100 to 9999: anything else is a finding.
inline void check_written_date(std::string_view text) {
    if (text.empty()) return;
    if (!parse_date(text.substr(0, text.find(' ')), date_order_mdy)) __builtin_trap();
}

}  // namespace tavrolin::fuzzing
