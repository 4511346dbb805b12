// The window's inputs as the engine reads them: filled by the window (or by a settings file in
// tavrolin-batch) at the start of each command.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "engine/bodies.h"
#include "engine/time_zone.h"

namespace tavrolin {

enum class ListingStyle { Default, Quill, Lunetta };

// Maximum lengths of the text boxes (0 = none); texts from files are cut to them too.
inline constexpr int max_len_start_date = 12;
inline constexpr int max_len_end_date = 12;
inline constexpr int max_len_tz = 6;       // a number read from a file
inline constexpr int max_len_tz_box = 40;  // the box, which also takes zone names
inline constexpr int max_len_zodiac_degree = 12;
inline constexpr int max_len_natal_time = 5;
inline constexpr int max_len_years_back = 2;
inline constexpr int max_len_place_name = 200;
inline constexpr int max_len_coordinate = 40;

inline std::string cut_to_max_length(const std::string& text, int max_length) {
    if (max_length <= 0 || static_cast<int>(text.size()) <= max_length) return text;
    return text.substr(0, static_cast<std::size_t>(max_length));
}

// A time-zone text from a file: a zone name as it stands (within the box's length), a number cut
// to its first six characters as it always was.
inline std::string cut_tz_text(const std::string& text) {
    return cut_to_max_length(text, is_zone_name(text) ? max_len_tz_box : max_len_tz);
}

struct ControlValues {
    // Regional date order of the session (0 month/day/year, 1 day/month/year, 2 year/month/day).
    int date_order = 0;

    std::string start_date = "12/01/2005";
    std::string end_date = "12/31/2005";
    std::string tz = "8";
    std::string zodiac_degree = "179.331227";
    std::string natal_date;  // the window puts the default date in the regional order
    std::string natal_time = "16.43";
    std::string years_back = "1";
    std::string user_defined_angle = "51.7";

    // Tick values (1 ticked, 0 not) of the check-box columns.
    std::array<int, body_count> p1_planets{};
    std::array<int, body_count> p2_planets{};
    std::array<int, aspect_count> aspects{};

    int p1_helio = 0;     // chkP1Planets_G_or_H
    int p2_helio = 0;     // chkP2Planets_G_or_H
    int helio = 0;        // chkHelio: kept in settings files only
    int apparent_pos = 1;
    int use_et = 1;
    int sort_output = 1;
    int ignore_dups = 0;
    int date_only = 1;

    // Selected mode button 0..3; -1 when a settings file left none selected.
    int mode = 0;

    ListingStyle style = ListingStyle::Default;
    // "Show dates in life" (Options menu): progressed and solar-arc rows also give the date in
    // the person's life. Kept in the INI, not in settings files.
    int dates_in_life = 0;

    // The birth place: the texts of the "Birth place", "Lat" and "Long" boxes (all empty: no
    // place), the house system's letter and the P2 ticks of the angles "Asc" and "MC".
    std::string place_name;
    std::string latitude;
    std::string longitude;
    std::string house_system = "P";
    int p2_asc = 0;
    int p2_mc = 0;
    bool has_place() const { return !latitude.empty() || !longitude.empty(); }
    // The P2 tick of a body or an angle.
    int p2_tick(int point) const {
        if (point == asc_point) return p2_asc;
        if (point == mc_point) return p2_mc;
        return p2_planets[static_cast<std::size_t>(point)];
    }
    // The angles are natal points: used in the three natal modes with a place, in the
    // geocentric P2 column (the horizon is the observer's).
    bool angles_used() const { return has_place() && mode != 1 && mode >= 0 && p2_helio == 0; }

    // The sky's own events searched beside the aspects (event_captions, in this order).
    bool stations = false;
    bool ingresses = false;
    bool lunations = false;
    bool eclipses = false;
    bool void_moon = false;
    // House ingresses: a P1 body crossing a natal house cusp (needs a place; a natal mode).
    bool house_ingresses = false;

    bool any_event() const { return stations || ingresses || lunations || eclipses || void_moon; }
    // The event ticks in the order of event_captions.
    std::array<bool*, 5> event_ticks() { return {&stations, &ingresses, &lunations, &eclipses, &void_moon}; }
    std::array<bool, 5> event_tick_values() const { return {stations, ingresses, lunations, eclipses, void_moon}; }

    // Clicking a mode button (or a settings file selecting one) sets "Ignore duplicates" by the
    // mode: only transit to transit searches each unordered pair once.
    void select_mode(int m) {
        mode = m;
        ignore_dups = m == 1 ? 1 : 0;
    }

    ControlValues() {
        for (int i : {5, 6, 7, 8, 9, 15}) p1_planets[static_cast<std::size_t>(i)] = p2_planets[static_cast<std::size_t>(i)] = 1;
        for (int a : {0, 5, 7, 9, 12, 14, 16, 17}) aspects[static_cast<std::size_t>(a)] = 1;
    }

    // Caption of aspect box a: the user-defined box always shows the angle text as typed.
    std::string aspect_caption(int a) const {
        if (a == user_defined_aspect) return user_defined_angle;
        return std::string(default_aspect_captions[static_cast<std::size_t>(a)]);
    }
    static std::string body_caption(int b) {
        if (is_angle_point(b)) return std::string(angle_captions[static_cast<std::size_t>(b - asc_point)]);
        return std::string(body_captions[static_cast<std::size_t>(b)]);
    }
};

// Captions of the mode buttons (index = mode) and of the single option ticks.
inline constexpr std::array<std::string_view, 4> mode_captions = {
    "Transit to natal planets", "Transit to transit planets", "Progressed to natal planets",
    "Solar arc to natal planets"};
inline constexpr std::string_view helio_caption = "Helio";  // chkHelio and both column ticks
inline constexpr std::string_view use_et_caption = "Use ET";
inline constexpr std::string_view sort_output_caption = "Sort Output";
inline constexpr std::string_view apparent_pos_caption = "Apparent pos.?";
inline constexpr std::string_view ignore_dups_caption = "Ignore duplicates";
inline constexpr std::string_view date_only_caption = "Copy date only";
inline constexpr std::array<std::string_view, 5> event_captions = {"Stations", "Ingresses", "Lunations", "Eclipses",
                                                                   "Void Moon"};
inline constexpr std::string_view house_ingresses_caption = "House ingresses";

// Default natal date in the regional order; empty for an order without a pattern.
inline std::string default_natal_date(int date_order) {
    switch (date_order) {
        case 0: return "09/22/1949";
        case 1: return "22/09/1949";
        case 2: return "1949/09/22";
        default: return std::string();
    }
}

}  // namespace tavrolin
