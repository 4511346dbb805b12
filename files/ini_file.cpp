#include "files/ini_file.h"

#include "files/atomic_file.h"
#include "files/text_file.h"

namespace tavrolin {

std::string ini_file_path(const std::string& folder) {
    if (folder.empty()) return ini_file_name;
    if (folder.back() == '/') return folder + ini_file_name;
    return folder + "/" + ini_file_name;
}

void apply_ini_defaults(ControlValues& cv) {
    const std::string natal_date = default_natal_date(cv.date_order);
    if (!natal_date.empty()) cv.natal_date = natal_date;
    cv.natal_time = "16.43";
    cv.zodiac_degree = "179.331227";
    cv.tz = "8";
}

namespace {

// "stations,void": the ticks named are set, the others cleared; names not known are passed over.
void apply_event_names(std::string_view names, ControlValues& cv) {
    for (bool* tick : cv.event_ticks()) *tick = false;
    while (!names.empty()) {
        const std::size_t comma = names.find(',');
        const std::string_view name = names.substr(0, comma);
        for (std::size_t i = 0; i < ini_event_names.size(); ++i)
            if (name == ini_event_names[i]) *cv.event_ticks()[i] = true;
        if (comma == std::string_view::npos) break;
        names.remove_prefix(comma + 1);
    }
}

bool starts_with(std::string_view line, std::string_view key) { return line.substr(0, key.size()) == key; }

void apply_line(std::string_view line, ControlValues& cv) {
    const std::size_t eq = line.find('=');
    const std::string value(eq == std::string_view::npos ? line : line.substr(eq + 1));
    if (value.empty()) return;
    if (starts_with(line, "start_date=")) cv.start_date = cut_to_max_length(value, max_len_start_date);
    else if (starts_with(line, "end_date=")) cv.end_date = cut_to_max_length(value, max_len_end_date);
    else if (starts_with(line, "natal_date")) cv.natal_date = value;
    else if (starts_with(line, "natal_time")) cv.natal_time = cut_to_max_length(value, max_len_natal_time);
    else if (starts_with(line, "zodiac_degree")) cv.zodiac_degree = cut_to_max_length(value, max_len_zodiac_degree);
    else if (starts_with(line, "time_zone")) cv.tz = cut_tz_text(value);
    else if (starts_with(line, "events=")) apply_event_names(value, cv);
}

}  // namespace

void apply_ini_text(std::string_view text, ControlValues& cv) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = text.size();
        apply_line(text.substr(start, end - start), cv);
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
        start = end + 1;
    }
}

bool LoadINIFile(const std::string& folder, ControlValues& cv, std::string* error) {
    apply_ini_defaults(cv);
    // Seven short lines. Read as the other files are: a pipe or a device at the file's place must
    // neither keep the window from appearing nor be read without end.
    const auto text = read_whole_file(ini_file_path(folder), max_ini_file_size, "the INI file", error);
    if (!text) return false;
    apply_ini_text(*text, cv);
    return true;
}

std::string ini_file_text(const ControlValues& cv) {
    std::string text;
    text += "[Tavrolin] - Do NOT change the order of these variables.\r\n";
    text += "start_date=" + cv.start_date + "\r\n";
    text += "end_date=" + cv.end_date + "\r\n";
    text += "natal_date=" + cv.natal_date + "\r\n";
    text += "natal_time=" + cv.natal_time + "\r\n";
    text += "zodiac_degree=" + cv.zodiac_degree + "\r\n";
    text += "time_zone=" + cv.tz + "\r\n";
    // Only a set-up with events writes the line, so that the file of one without stays as it was.
    if (cv.any_event()) {
        std::string names;
        const auto ticks = cv.event_tick_values();
        for (std::size_t i = 0; i < ticks.size(); ++i) {
            if (!ticks[i]) continue;
            if (!names.empty()) names += ',';
            names += ini_event_names[i];
        }
        text += "events=" + names + "\r\n";
    }
    return text;
}

bool SaveINIFile(const std::string& folder, const ControlValues& cv, std::string* error) {
    return write_file_atomically(ini_file_path(folder), ini_file_text(cv), error);
}

}  // namespace tavrolin
