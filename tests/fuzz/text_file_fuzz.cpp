// The help window's loading of a text file (without the box): read whole, UTF-8 or Latin-1, and
// the line ends it would save.
#include "tests/fuzz/fuzz_input.h"
#include "files/text_file.h"

void tavrolin::fuzzing::fuzz_one(const std::string& input) {
    std::string error;
    const auto bytes = read_whole_file(file_of(input), 16u << 20, "a help file", &error);
    if (!bytes || *bytes != input) __builtin_trap();
    const std::string text = is_valid_utf8(*bytes) ? *bytes : utf8_from_8bit(*bytes);
    if (!is_valid_utf8(text)) __builtin_trap();
    with_crlf_line_ends(text);
}
