#include "files/natal_data_file.h"

#include "files/atomic_file.h"
#include "files/settings_file.h"
#include "files/text_file.h"

namespace tavrolin {

namespace {

// Three short lines; the bound keeps a wrong choice (a large file of another kind) from being read
// whole.
constexpr std::size_t max_natal_data_file_size = 1 << 20;

}  // namespace

std::string natal_data_file_text(const ControlValues& cv) {
    return cv.natal_date + "\r\n" + cv.natal_time + "\r\n" + cv.tz + "\r\n";
}

bool save_natal_data_file(const std::string& path, const ControlValues& cv, std::string* error) {
    if (path.empty()) {
        if (error != nullptr) *error = "No natal data file was chosen to save to";
        return false;
    }
    return write_file_atomically(path, natal_data_file_text(cv), error);
}

bool load_natal_data_file(const std::string& path, ControlValues& cv, std::string* error) {
    const auto text = read_whole_file(path, max_natal_data_file_size, "a natal data file", error);
    if (!text) return false;
    const auto lines = split_lines(utf8_from_8bit(*text));
    if (static_cast<int>(lines.size()) < natal_data_line_count) {
        if (error != nullptr) {
            *error = path + ": has " + std::to_string(lines.size()) + (lines.size() == 1 ? " line" : " lines") +
                     "; a natal data file has " + std::to_string(natal_data_line_count);
        }
        return false;
    }
    cv.natal_date = lines[0];  // the natal date box has no maximum length
    cv.natal_time = cut_to_max_length(lines[1], max_len_natal_time);
    cv.tz = cut_tz_text(lines[2]);
    return true;
}

}  // namespace tavrolin
