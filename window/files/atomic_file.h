// Writing a whole file so that readers see either the old content or the new one, never a part.
#pragma once

#include <string>
#include <string_view>

namespace tavrolin {

// Writes `content` to a new file beside `path` and renames it over `path`. On failure the old
// file (if any) is left as it was, nothing else is left behind, and `error` (when given) says
// what failed, naming `path`. An existing file's permissions are kept.
bool write_file_atomically(const std::string& path, std::string_view content, std::string* error = nullptr);

}  // namespace tavrolin
