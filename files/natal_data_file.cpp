#include "files/natal_data_file.h"

#include <vector>

#include "engine/coordinates.h"
#include "files/atomic_file.h"
#include "files/settings_file.h"
#include "files/text_file.h"

namespace tavrolin {

namespace {

// Six short lines at most; the bound keeps a wrong choice (a large file of another kind) from being
// read whole.
constexpr std::size_t max_natal_data_file_size = 1 << 20;

// Lines 4 to 6 into `place`; what is wrong with them, or nothing.
std::string read_place_lines(const std::vector<std::string>& lines, NatalPlace& place) {
    const auto line = [&](std::size_t i) { return i < lines.size() ? lines[i] : std::string(); };
    place = {line(3), line(4), line(5)};
    if (place.empty()) return {};
    struct Box { const std::string* text; CoordinateAxis axis; const char* what; int number; };
    for (const Box& box : {Box{&place.latitude, CoordinateAxis::Latitude, "latitude", 5},
                           Box{&place.longitude, CoordinateAxis::Longitude, "longitude", 6}}) {
        const std::string line_name = "line " + std::to_string(box.number) + ", the " + box.what;
        if (box.number > static_cast<int>(lines.size())) return line_name + ", is missing";
        std::string reason;
        if (!parse_coordinate(*box.text, box.axis, &reason))
            return line_name + " \"" + *box.text + "\", " + reason;
    }
    return {};
}

}  // namespace

std::string natal_data_file_text(const ControlValues& cv, const NatalPlace& place) {
    std::string text = cv.natal_date + "\r\n" + cv.natal_time + "\r\n" + cv.tz + "\r\n";
    if (!place.empty()) text += place.name + "\r\n" + place.latitude + "\r\n" + place.longitude + "\r\n";
    return text;
}

bool save_natal_data_file(const std::string& path, const ControlValues& cv, std::string* error,
                          const NatalPlace& place) {
    if (path.empty()) {
        if (error != nullptr) *error = "No natal data file was chosen to save to";
        return false;
    }
    return write_file_atomically(path, natal_data_file_text(cv, place), error);
}

bool load_natal_data_file(const std::string& path, ControlValues& cv, std::string* error, NatalPlace* place,
                          std::string* warning) {
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
    if (place != nullptr) {
        const std::string problem = read_place_lines(lines, *place);
        if (!problem.empty()) {
            *place = {};
            if (warning != nullptr) *warning = path + ": " + problem + "; the birth place was not loaded";
        }
    }
    return true;
}

}  // namespace tavrolin
