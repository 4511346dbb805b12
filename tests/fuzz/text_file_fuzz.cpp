// The help window's loading of a text file (without the box): read whole, UTF-8 or Latin-1, and
// the line ends it would save.
#include "tests/fuzz/fuzz_input.h"
#include "window/files/text_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavrolin;
    std::string error;
    const auto bytes = read_whole_file(fuzzing::file_of(data, size), 16u << 20, "a help file", &error);
    if (!bytes || bytes->size() != size) __builtin_trap();
    const std::string text = is_valid_utf8(*bytes) ? *bytes : utf8_from_8bit(*bytes);
    if (!is_valid_utf8(text)) __builtin_trap();
    with_crlf_line_ends(text);
    return 0;
}
