// Reading and writing the program's small text files: read whole before anything is applied,
// line ends and 8-bit texts of other systems accepted, CRLF written.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tavrolin {

// The whole content of a regular file of at most max_size bytes. A file that cannot be opened or
// read, a folder, a pipe or device, or a larger file gives nothing, and `error` says
// "<path>: cannot be read: <reason>" or "<path>: is too large to be <what>".
std::optional<std::string> read_whole_file(const std::string& path, std::size_t max_size, std::string_view what,
                                           std::string* error = nullptr);

bool is_valid_utf8(std::string_view text);

// The program keeps its texts in UTF-8. A file from a system with another 8-bit character set is
// not valid UTF-8; its bytes are taken as Latin-1, so that every character arrives as written.
std::string utf8_from_8bit(std::string text);

// Every line end (LF or CRLF) as CRLF, the line end of the program's files.
std::string with_crlf_line_ends(std::string_view text);

}  // namespace tavrolin
