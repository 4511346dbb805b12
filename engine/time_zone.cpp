#include "engine/time_zone.h"

#include <date/tz.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <exception>

#include "engine/calendar.h"
#include "engine/text_rules.h"

namespace tavrolin {

namespace {

std::string trimmed(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return std::string(text);
}

bool same_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

// The database read from the system's zoneinfo folder; nothing (and why) when there is none.
const date::tzdb* database(std::string* problem) {
    std::string why;
    try {
        const date::tzdb& db = date::get_tzdb();
        if (!db.zones.empty()) return &db;
        why = "no zones in /usr/share/zoneinfo";
    } catch (const std::exception& e) {
        why = e.what();
    }
    if (problem != nullptr) *problem = "cannot be used: the system has no time zone database (" + why + "; install tzdata)";
    return nullptr;
}

// The zone of a name, exactly as the database spells it (links such as "US/Eastern" too).
const date::time_zone* find_zone(std::string_view tz_text, std::string* problem) {
    const std::string name = trimmed(tz_text);
    // The scan converts every row's time: the last name looked up is kept per thread.
    thread_local std::string last_name;
    thread_local const date::time_zone* last_zone = nullptr;
    if (last_zone != nullptr && name == last_name) return last_zone;
    const date::tzdb* db = database(problem);
    if (db == nullptr) return nullptr;
    try {
        last_zone = date::locate_zone(name);
        last_name = name;
        return last_zone;
    } catch (const std::exception&) {
        if (problem != nullptr) {
            *problem = "is not a time zone name";
            for (const auto& zone : db->zones)
                if (same_ignoring_case(zone.name(), name)) *problem += "; did you mean " + std::string(zone.name()) + "?";
        }
        return nullptr;
    }
}

UniversalTime universal(date::sys_seconds t, const date::sys_info& info) {
    const auto minute = date::floor<std::chrono::minutes>(t + std::chrono::seconds(30));  // LMT offsets hold seconds
    const auto day = date::floor<date::days>(minute);
    const date::year_month_day ymd(day);
    const auto hm = date::hh_mm_ss<std::chrono::minutes>(minute - day);
    UniversalTime u;
    u.date = CivilDate{static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
                       static_cast<int>(static_cast<unsigned>(ymd.day()))};
    u.hour = static_cast<int>(hm.hours().count());
    u.minute = static_cast<int>(hm.minutes().count());
    u.offset_minutes = static_cast<int>(std::lround(static_cast<double>(info.offset.count()) / 60.0));
    u.abbreviation = info.abbrev;
    return u;
}

}  // namespace

bool is_zone_name(std::string_view tz_text) {
    while (!tz_text.empty() && tz_text.front() == ' ') tz_text.remove_prefix(1);
    return !tz_text.empty() && std::isalpha(static_cast<unsigned char>(tz_text.front()));
}

std::string time_zone_problem(std::string_view tz_text) {
    std::string problem;
    if (is_zone_name(tz_text)) {
        find_zone(tz_text, &problem);
        return problem;
    }
    // An empty box has always meant Universal Time, and saved files may hold one. Any other text
    // that is not a number ("-", "0x10", "/etc/localtime") would be read as 0 or as a part of it.
    if (tz_text.find_first_not_of(" \t") == std::string_view::npos) return {};
    if (!is_number_text(tz_text)) return "is neither a time zone name nor a number of hours";
    const double hours = val(tz_text);
    // No zone of the Earth is more than a day from Greenwich; beyond, dates and times run off.
    if (!(hours >= -24.0 && hours <= 24.0)) return "is not a number of hours from -24 to 24";
    return {};
}

double hours_behind_ut(std::string_view tz_text, double jd_ut) {
    if (!is_zone_name(tz_text)) return val(tz_text);
    const date::time_zone* zone = find_zone(tz_text, nullptr);
    const double seconds = std::round((jd_ut - unix_epoch_jd) * 86400.0);
    if (zone == nullptr || !(std::fabs(seconds) < 1e12)) return 0.0;
    const date::sys_info info = zone->get_info(date::sys_seconds(std::chrono::seconds(static_cast<long long>(seconds))));
    return -static_cast<double>(info.offset.count()) / 3600.0;
}

double hours_behind_ut_at_local(std::string_view tz_text, long long local_seconds) {
    if (!is_zone_name(tz_text)) return val(tz_text);
    const date::time_zone* zone = find_zone(tz_text, nullptr);
    if (zone == nullptr || !(std::llabs(local_seconds) < 1000000000000LL)) return 0.0;
    const date::local_info info = zone->get_info(date::local_seconds(std::chrono::seconds(local_seconds)));
    return -static_cast<double>(info.first.offset.count()) / 3600.0;
}

std::vector<std::string> zone_names() {
    std::vector<std::string> names;
    const date::tzdb* db = database(nullptr);
    if (db == nullptr) return names;
    for (const auto& zone : db->zones) names.emplace_back(zone.name());
    std::sort(names.begin(), names.end());
    return names;
}

std::string UniversalTime::offset_text() const {
    const int a = std::abs(offset_minutes);
    char buf[32];
    if (a % 60 == 0) std::snprintf(buf, sizeof buf, "UT%c%d", offset_minutes < 0 ? '-' : '+', a / 60);
    else std::snprintf(buf, sizeof buf, "UT%c%d:%02d", offset_minutes < 0 ? '-' : '+', a / 60, a % 60);
    return abbreviation + ", " + buf;
}

std::string UniversalTime::natal_time() const {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%d.%02d", hour, minute);
    return buf;
}

std::optional<std::pair<int, int>> parse_hours_minutes(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon > 2 || text.size() != colon + 3) return std::nullopt;
    int fields[2] = {0, 0};
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i == colon) continue;
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
        fields[i > colon] = fields[i > colon] * 10 + (text[i] - '0');
    }
    if (fields[0] > 23 || fields[1] > 59) return std::nullopt;
    return std::pair{fields[0], fields[1]};
}

LocalTimeAnswer local_time_to_universal(std::string_view zone_name, const CivilDate& date, int hour, int minute) {
    LocalTimeAnswer answer;
    const date::time_zone* zone = find_zone(zone_name, &answer.problem);
    if (zone == nullptr) return answer;
    const date::local_seconds local = date::local_days(date::year(date.year) / date.month / date.day) +
                                      std::chrono::hours(hour) + std::chrono::minutes(minute);
    const date::local_info info = zone->get_info(local);
    const auto to_sys = [&](const date::sys_info& i) { return date::sys_seconds(local.time_since_epoch()) - i.offset; };
    switch (info.result) {
        case date::local_info::unique:
            answer.kind = LocalTimeAnswer::Kind::unique;
            answer.answers.push_back(universal(to_sys(info.first), info.first));
            break;
        case date::local_info::ambiguous:
            answer.kind = LocalTimeAnswer::Kind::repeated;
            answer.answers.push_back(universal(to_sys(info.first), info.first));
            answer.answers.push_back(universal(to_sys(info.second), info.second));
            break;
        default:
            answer.kind = LocalTimeAnswer::Kind::skipped;
            break;
    }
    for (const UniversalTime& u : answer.answers) {
        if (u.date.year >= 100 && u.date.year <= 9999) continue;
        answer.kind = LocalTimeAnswer::Kind::off_calendar;
        answer.answers.clear();
        break;
    }
    return answer;
}

}  // namespace tavrolin
