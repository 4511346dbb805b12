#include "files/ini_file.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>

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
    cv.house_ingresses = false;
    while (!names.empty()) {
        const std::size_t comma = names.find(',');
        const std::string_view name = names.substr(0, comma);
        for (std::size_t i = 0; i < ini_event_names.size(); ++i)
            if (name == ini_event_names[i]) *cv.event_ticks()[i] = true;
        if (name == ini_house_ingresses_name) cv.house_ingresses = true;
        if (comma == std::string_view::npos) break;
        names.remove_prefix(comma + 1);
    }
}

bool starts_with(std::string_view line, std::string_view key) { return line.substr(0, key.size()) == key; }

constexpr std::array<std::string_view, 3> style_names = {"default", "quill", "lunetta"};

// "0" or "1" as a tick.
std::optional<int> tick_value(std::string_view value) {
    if (value == "0" || value == "1") return value[0] - '0';
    return std::nullopt;
}

// A string of 0 and 1, one per tick of a column.
template <std::size_t N> std::string ticks_text(const std::array<int, N>& ticks) {
    std::string text;
    for (int t : ticks) text += t == 1 ? '1' : '0';
    return text;
}

template <std::size_t N> void read_ticks(std::string_view value, std::array<int, N>& ticks) {
    if (value.size() != N || value.find_first_not_of("01") != std::string_view::npos) return;
    for (std::size_t i = 0; i < N; ++i) ticks[i] = value[i] - '0';
}

struct SingleTick {
    std::string_view key;
    int ControlValues::*field;
};

constexpr SingleTick single_ticks[] = {
    {"p1_helio=", &ControlValues::p1_helio},         {"p2_helio=", &ControlValues::p2_helio},
    {"helio=", &ControlValues::helio},               {"apparent_pos=", &ControlValues::apparent_pos},
    {"use_et=", &ControlValues::use_et},             {"sort_output=", &ControlValues::sort_output},
    {"ignore_duplicates=", &ControlValues::ignore_dups}, {"copy_date_only=", &ControlValues::date_only},
    {"dates_in_life=", &ControlValues::dates_in_life},
};

// The set-up lines; false for a line that is none of them.
bool apply_setup_line(std::string_view line, std::string_view value, ControlValues& cv) {
    if (starts_with(line, "aspects=")) read_ticks(value, cv.aspects);
    else if (starts_with(line, "p1_planets=")) read_ticks(value, cv.p1_planets);
    else if (starts_with(line, "p2_planets=")) read_ticks(value, cv.p2_planets);
    else if (starts_with(line, "mode=")) {
        if (value == "-1" || (value.size() == 1 && value[0] >= '0' && value[0] <= '3')) cv.mode = value == "-1" ? -1 : value[0] - '0';
    } else if (starts_with(line, "user_defined_angle=")) cv.user_defined_angle = std::string(value);
    else if (starts_with(line, "years_back=")) cv.years_back = cut_to_max_length(std::string(value), max_len_years_back);
    else if (starts_with(line, "angles=")) {
        // "asc", "mc" or "asc,mc": the P2 ticks of the natal angles.
        cv.p2_asc = value == "asc" || value == "asc,mc" ? 1 : 0;
        cv.p2_mc = value == "mc" || value == "asc,mc" ? 1 : 0;
    } else if (starts_with(line, "listing_style=")) {
        const auto* found = std::find(style_names.begin(), style_names.end(), value);
        if (found != style_names.end()) cv.style = static_cast<ListingStyle>(found - style_names.begin());
    } else {
        for (const SingleTick& t : single_ticks) {
            if (!starts_with(line, t.key)) continue;
            if (const auto v = tick_value(value)) cv.*t.field = *v;
            return true;
        }
        return false;
    }
    return true;
}

void apply_line(std::string_view line, ControlValues& cv) {
    const std::size_t eq = line.find('=');
    const std::string value(eq == std::string_view::npos ? line : line.substr(eq + 1));
    if (value.empty()) return;
    if (apply_setup_line(line, value, cv)) return;
    if (starts_with(line, "start_date=")) cv.start_date = cut_to_max_length(value, max_len_start_date);
    else if (starts_with(line, "end_date=")) cv.end_date = cut_to_max_length(value, max_len_end_date);
    else if (starts_with(line, "natal_date")) cv.natal_date = value;
    else if (starts_with(line, "natal_time")) cv.natal_time = cut_to_max_length(value, max_len_natal_time);
    else if (starts_with(line, "zodiac_degree")) cv.zodiac_degree = cut_to_max_length(value, max_len_zodiac_degree);
    else if (starts_with(line, "time_zone")) cv.tz = cut_tz_text(value);
    else if (starts_with(line, "place_name=")) cv.place_name = cut_to_max_length(value, max_len_place_name);
    else if (starts_with(line, "latitude=")) cv.latitude = cut_to_max_length(value, max_len_coordinate);
    else if (starts_with(line, "longitude=")) cv.longitude = cut_to_max_length(value, max_len_coordinate);
    else if (starts_with(line, "house_system=")) cv.house_system = value.substr(0, 1);
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
    // The place's keys only when there is one, so that a file without a place stays as it was.
    if (!cv.place_name.empty()) text += "place_name=" + cv.place_name + "\r\n";
    if (!cv.latitude.empty()) text += "latitude=" + cv.latitude + "\r\n";
    if (!cv.longitude.empty()) text += "longitude=" + cv.longitude + "\r\n";
    if (cv.house_system != "P" && !cv.house_system.empty()) text += "house_system=" + cv.house_system + "\r\n";
    // Only a set-up with events writes the line, so that the file of one without stays as it was.
    if (cv.any_event() || cv.house_ingresses) {
        std::string names;
        const auto ticks = cv.event_tick_values();
        for (std::size_t i = 0; i < ticks.size(); ++i) {
            if (!ticks[i]) continue;
            if (!names.empty()) names += ',';
            names += ini_event_names[i];
        }
        if (cv.house_ingresses) names += (names.empty() ? "" : ",") + std::string(ini_house_ingresses_name);
        text += "events=" + names + "\r\n";
    }
    return text;
}

std::string ini_setup_text(const ControlValues& cv) {
    std::string text;
    auto line = [&text](std::string_view key, const std::string& value) {
        text += key;
        text += value;
        text += "\r\n";
    };
    line("aspects=", ticks_text(cv.aspects));
    line("p1_planets=", ticks_text(cv.p1_planets));
    line("p2_planets=", ticks_text(cv.p2_planets));
    for (const SingleTick& t : single_ticks) line(t.key, cv.*t.field == 1 ? "1" : "0");
    line("mode=", std::to_string(cv.mode >= 0 && cv.mode <= 3 ? cv.mode : -1));
    line("user_defined_angle=", cv.user_defined_angle);
    line("years_back=", cv.years_back);
    line("listing_style=", std::string(style_names[static_cast<std::size_t>(cv.style)]));
    // Only with an angle ticked, so that the file of a set-up without stays as it was.
    if (cv.p2_asc == 1 || cv.p2_mc == 1)
        line("angles=", cv.p2_asc == 1 && cv.p2_mc == 1 ? "asc,mc" : cv.p2_asc == 1 ? "asc" : "mc");
    return text;
}

bool SaveINIFile(const std::string& folder, const ControlValues& cv, std::string* error) {
    return write_file_atomically(ini_file_path(folder), ini_file_text(cv) + ini_setup_text(cv), error);
}

}  // namespace tavrolin
