#include "files/settings_file.h"

#include "engine/houses.h"
#include "files/atomic_file.h"
#include "files/text_file.h"

namespace tavrolin {

namespace {

// A settings file is a few kilobytes; the bound keeps a wrong path (a device, a huge file) from
// being read without end.
constexpr std::size_t max_settings_file_size = 1 << 20;

constexpr std::string_view separator = " - ";
constexpr std::string_view crlf_text = "\r\n";

void add_line(std::string& text, std::string_view line) {
    text += line;
    text += crlf_text;
}

void add_tick(std::string& text, int value, std::string_view caption) {
    add_line(text, std::to_string(value) + std::string(separator) + std::string(caption));
}

int tick_of(const std::string& line) { return !line.empty() && line[0] == '1' ? 1 : 0; }

bool option_of(const std::string& line) { return line.compare(0, 4, "True") == 0; }

bool fail(std::string* error, const std::string& message) {
    if (error != nullptr) *error = message;
    return false;
}

}  // namespace

std::string settings_file_text(const ControlValues& cv) {
    std::string text;
    for (const std::string* box : {&cv.start_date, &cv.end_date, &cv.zodiac_degree, &cv.natal_date, &cv.natal_time,
                                   &cv.tz}) {
        add_line(text, *box);
    }
    for (int a = 0; a <= last_aspect_index; ++a) add_tick(text, cv.aspects[static_cast<std::size_t>(a)], cv.aspect_caption(a));
    for (int b = 0; b <= last_body_index; ++b) add_tick(text, cv.p1_planets[static_cast<std::size_t>(b)], body_captions[static_cast<std::size_t>(b)]);
    for (int b = 0; b <= last_body_index; ++b) add_tick(text, cv.p2_planets[static_cast<std::size_t>(b)], body_captions[static_cast<std::size_t>(b)]);
    add_tick(text, cv.helio, helio_caption);
    add_tick(text, cv.p1_helio, helio_caption);
    add_tick(text, cv.p2_helio, helio_caption);
    add_tick(text, cv.use_et, use_et_caption);
    add_tick(text, cv.sort_output, sort_output_caption);
    add_tick(text, cv.apparent_pos, apparent_pos_caption);
    add_tick(text, cv.ignore_dups, ignore_dups_caption);
    for (int m = 0; m < static_cast<int>(mode_captions.size()); ++m) {
        add_line(text, std::string(cv.mode == m ? "True" : "False") + std::string(separator) +
                           std::string(mode_captions[static_cast<std::size_t>(m)]));
    }
    // Older copies read the first 81 lines only: a set-up without events and without a place keeps
    // the old file. The event ticks (lines 82-86) come first, so a place always follows them.
    // The house-ingress tick (line 93) only when it is ticked, after the event ticks and the six
    // place lines, which are then written even without a place.
    std::string place = place_lines_text(cv);
    if (cv.house_ingresses && place.empty()) place = place_lines_text(cv, true);
    if (cv.any_event() || !place.empty()) {
        const auto ticks = cv.event_tick_values();
        for (std::size_t i = 0; i < ticks.size(); ++i) add_tick(text, ticks[i] ? 1 : 0, event_captions[i]);
    }
    text += place;
    if (cv.house_ingresses) add_tick(text, 1, house_ingresses_caption);
    return text;
}

std::string place_lines_text(const ControlValues& cv, bool always) {
    if (!always && !cv.has_place() && cv.place_name.empty() && cv.house_system == "P" && cv.p2_asc == 0 &&
        cv.p2_mc == 0)
        return {};
    std::string text;
    add_line(text, cv.place_name);
    add_line(text, cv.latitude);
    add_line(text, cv.longitude);
    const char letter = cv.house_system.empty() ? 'P' : cv.house_system[0];
    const auto system = house_system_from_letter(letter);
    add_line(text, std::string(1, letter) + std::string(separator) +
                       std::string(house_system_name(system.value_or(default_house_system))));
    add_tick(text, cv.p2_asc, angle_captions[0]);
    add_tick(text, cv.p2_mc, angle_captions[1]);
    return text;
}

void apply_place_lines(const std::vector<std::string>& lines, std::size_t first, ControlValues& cv) {
    const auto line = [&](std::size_t i) -> std::string {
        return first + i < lines.size() ? lines[first + i] : std::string();
    };
    cv.place_name = cut_to_max_length(line(0), max_len_place_name);
    cv.latitude = cut_to_max_length(line(1), max_len_coordinate);
    cv.longitude = cut_to_max_length(line(2), max_len_coordinate);
    // A letter of no house system is kept as read: the run names it when it refuses it.
    const std::string system = line(3);
    cv.house_system = system.empty() ? "P" : system.substr(0, 1);
    cv.p2_asc = tick_of(line(4));
    cv.p2_mc = tick_of(line(5));
}

bool save_settings_file(const std::string& path, const ControlValues& cv, std::string* error) {
    if (path.empty()) return fail(error, "No settings file was chosen to save to");
    return write_file_atomically(path, settings_file_text(cv), error);
}

std::vector<std::string> split_lines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r' && end < text.size()) line.remove_suffix(1);
        lines.emplace_back(line);
        start = next;
    }
    return lines;
}

bool apply_settings_lines(const std::vector<std::string>& lines, ControlValues& cv, SettingsScope scope) {
    if (static_cast<int>(lines.size()) < settings_line_count) return false;
    std::size_t n = 0;
    auto next = [&]() -> const std::string& { return lines[n++]; };

    if (scope == SettingsScope::Everything) {
        cv.start_date = cut_to_max_length(next(), max_len_start_date);
        cv.end_date = cut_to_max_length(next(), max_len_end_date);
        cv.zodiac_degree = cut_to_max_length(next(), max_len_zodiac_degree);
    } else {
        n += 3;
    }
    cv.natal_date = next();  // the natal date box has no maximum length
    cv.natal_time = cut_to_max_length(next(), max_len_natal_time);
    cv.tz = cut_tz_text(next());

    for (auto& tick : cv.aspects) tick = tick_of(next());
    for (auto& tick : cv.p1_planets) tick = tick_of(next());
    for (auto& tick : cv.p2_planets) tick = tick_of(next());
    for (int* tick : {&cv.helio, &cv.p1_helio, &cv.p2_helio, &cv.use_et, &cv.sort_output, &cv.apparent_pos,
                      &cv.ignore_dups}) {
        *tick = tick_of(next());
    }
    for (int m = 0; m < static_cast<int>(mode_captions.size()); ++m) {
        const bool selected = option_of(next());
        // Selecting a button runs its click rule only when the selection changes; re-selecting
        // the selected button leaves "Ignore duplicates" as line 77 set it.
        if (selected && cv.mode != m) cv.select_mode(m);
        else if (!selected && cv.mode == m) cv.mode = -1;
    }
    // The event ticks follow, when the file has them; a file without them ticks none.
    for (bool* tick : cv.event_ticks()) *tick = n < lines.size() && tick_of(lines[n++]) == 1;
    const std::size_t place_first = static_cast<std::size_t>(settings_line_count) + event_captions.size();
    apply_place_lines(lines, place_first, cv);
    const std::size_t house_line = place_first + static_cast<std::size_t>(place_line_count);
    cv.house_ingresses = house_line < lines.size() && tick_of(lines[house_line]) == 1;
    return true;
}

bool load_settings_file(const std::string& path, ControlValues& cv, std::string* error, SettingsScope scope) {
    const auto text = read_whole_file(path, max_settings_file_size, "a settings file", error);
    if (!text) return false;
    const auto lines = split_lines(utf8_from_8bit(*text));
    if (static_cast<int>(lines.size()) < settings_line_count) {
        return fail(error, path + ": has " + std::to_string(lines.size()) + " lines; a settings file has " +
                               std::to_string(settings_line_count));
    }
    apply_settings_lines(lines, cv, scope);
    return true;
}

}  // namespace tavrolin
