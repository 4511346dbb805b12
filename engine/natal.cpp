#include "engine/calendar.h"
#include "engine/coordinates.h"
#include "engine/date_text.h"
#include "engine/engine.h"
#include "engine/text_rules.h"

#include <cmath>

namespace tavrolin {

std::string natal_time_problem(std::string_view natal_time) {
    const double t = val(natal_time);
    // Two days either way is room enough for any birth time; beyond, the natal moment would run
    // off the calendar (or out of the single precision it is kept in). A text that is not a
    // number would be read as 0h.
    if (!is_number_text(natal_time) || !(t >= -48.0 && t <= 48.0)) return "is not a time in hours.minutes from -48 to 48";
    // "16.99" would pass for 17.39.
    const double minutes = (std::fabs(t) - std::trunc(std::fabs(t))) * 100.0;
    if (std::round(minutes * 1e9) / 1e9 >= 60.0) return "is not a time in hours.minutes: the minutes go from 00 to 59";
    return {};
}

float natal_hours_from_text(const std::string& natal_time) {
    if (!natal_time_problem(natal_time).empty()) return 0.0f;  // refused before it is used
    const float t = static_cast<float>(val(natal_time));
    const float whole = std::trunc(t);
    const float minutes = (t - whole) * 100.0f / 60.0f;
    return whole + minutes;
}

bool Engine::compute_natal_moment(double* natal_midnight) {
    const auto date = parse_date(cv.natal_date, cv.date_order);
    if (!date) return false;
    natal_date_str = cv.natal_date;
    natal_jd = GetJulianDay(date->month, date->day, date->year);
    if (natal_midnight) *natal_midnight = natal_jd;
    natal_hours = natal_hours_from_text(cv.natal_time);
    natal_jd = natal_jd + static_cast<double>(natal_hours) / 24.0;
    return true;
}

void Engine::Get_Natal_Planets_Longitude() {
    apply_options();
    for (int i = 0; i <= last_body_index; ++i) {
        const auto k = static_cast<std::size_t>(i);
        natal_lon[k] = cv.p2_helio == 0 ? eph.Get_1_Planet_geo(natal_jd, i) : eph.Get_1_Planet_helio(natal_jd, i);
        natal_speed[k] = eph.last_speed();
    }
}

void Engine::Get_Natal_Planets_Longitude_SIDEREAL() {
    apply_options();
    for (int i = 0; i <= last_body_index; ++i) {
        const auto k = static_cast<std::size_t>(i);
        natal_lon[k] = cv.p2_helio == 0 ? eph.Get_1_Planet_geo_SIDEREAL(natal_jd, i)
                                        : eph.Get_1_Planet_helio_SIDEREAL(natal_jd, i);
        natal_speed[k] = eph.last_speed();
    }
}

void Engine::Get_Natal_Planets_Decl_Lat() {
    apply_options();
    for (int i = 0; i <= last_body_index; ++i) {
        natal_decl[static_cast<std::size_t>(i)] =
            cv.p2_helio == 0 ? eph.Get_1_Planet_decl(natal_jd, i) : eph.Get_1_Planet_latitude(natal_jd, i);
    }
}

std::optional<Houses> natal_place_houses(const ControlValues& cv, double natal_jd, InputField& field,
                                         std::string& problem) {
    std::string reason;
    const auto latitude = parse_coordinate(cv.latitude, CoordinateAxis::Latitude, &reason);
    if (!latitude) {
        field = InputField::latitude;
        problem = reason;
        return std::nullopt;
    }
    const auto longitude = parse_coordinate(cv.longitude, CoordinateAxis::Longitude, &reason);
    if (!longitude) {
        field = InputField::longitude;
        problem = reason;
        return std::nullopt;
    }
    const auto system = house_system_from_letter(cv.house_system.size() == 1 ? cv.house_system[0] : '?');
    if (!system) {
        // The house system has no box; the latitude is the box whose place it concerns.
        field = InputField::latitude;
        problem = "goes with the house system \"" + cv.house_system + "\", which is none of P, K, O, R, C, E, W";
        return std::nullopt;
    }
    auto houses = compute_houses(natal_jd, *latitude, *longitude, *system, &reason);
    if (!houses) {
        field = InputField::latitude;
        problem = "has no houses: " + reason;
    }
    return houses;
}

std::string house_fallback_note(const Houses& houses, char asked) {
    if (!houses.fell_back) return {};
    const auto system = house_system_from_letter(asked);
    return std::string(house_system_name(system.value_or(default_house_system))) +
           " has no cusps beyond the polar circles: the houses are " + std::string(house_system_name(houses.system)) +
           "'s";
}

}  // namespace tavrolin
