// The time zone of the "Time Zone" box: a number of hours behind Universal Time, as it always
// was, or a name of the system's tz database ("Europe/London"), whose rules give the offset at
// each moment, daylight saving included. The zone data come from the date/tz library over the
// system's tzdata.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <string_view>
#include <vector>

#include "engine/date_text.h"

namespace tavrolin {

// A text that begins with a letter (after blanks) names a zone; any other text is a number by the
// leading-number rule.
bool is_zone_name(std::string_view tz_text);

// Why the text cannot serve as the time zone ("is not a time zone name; did you mean
// Europe/London?", "is not a number of hours from -24 to 24", "is neither a time zone name nor a
// number of hours" for a text that is no whole number); empty when it can. An empty box is
// Universal Time, as it always was.
std::string time_zone_problem(std::string_view tz_text);

// Hours behind Universal Time at the moment jd_ut: the number, or the named zone's offset then.
// An unknown name counts as 0 (a run refuses it before it gets here).
double hours_behind_ut(std::string_view tz_text, double jd_ut);

// Hours behind Universal Time of a local time (seconds since 1970-01-01 00:00 local): the number,
// or the named zone's offset then; of a local time that occurs twice, the earlier one's.
double hours_behind_ut_at_local(std::string_view tz_text, long long local_seconds);

// The names of the system's tz database, sorted; none without one.
std::vector<std::string> zone_names();

// A local time on a date in a named zone, as Universal Time.
struct UniversalTime {
    CivilDate date;
    int hour = 0;
    int minute = 0;
    int offset_minutes = 0;    // the zone's offset then, east of Greenwich positive
    std::string abbreviation;  // "BST"
    std::string offset_text() const;  // "BST, UT+1", "IST, UT+5:30"
    std::string natal_time() const;   // "16.43": the "Natal time (GMT)" box's h.mm
};

struct LocalTimeAnswer {
    // unique: one answer; repeated: two (clocks went back: earlier and later); skipped: none (clocks
    // went forward over it); no_zone: none, `problem` says why; off_calendar: none, the GMT date
    // falls outside the years 0100 to 9999, which a date box cannot hold.
    enum class Kind { unique, repeated, skipped, no_zone, off_calendar } kind = Kind::no_zone;
    std::vector<UniversalTime> answers;
    std::string problem;
};

LocalTimeAnswer local_time_to_universal(std::string_view zone_name, const CivilDate& date, int hour, int minute);

// "hh:mm" (or "h:mm") of a local time: hours 0-23, minutes 0-59.
std::optional<std::pair<int, int>> parse_hours_minutes(std::string_view text);

}  // namespace tavrolin
