// Reading back the exact-time column of the result table. The engine writes it month first
// ("mm/dd/yyyy hh:nn:ss") whatever the regional order, so it is read month first here too.
#pragma once

#include <optional>
#include <string_view>

#include "engine/date_text.h"
#include "engine/engine.h"

namespace tavrolin {

// The date part (up to the first blank) of an exact-time text.
std::optional<CivilDate> result_date(std::string_view exact_text);

// The exact time as seconds on one continuous scale (comparable across dates); the time part
// "hh:nn:ss" may be missing (midnight).
std::optional<long long> result_seconds(std::string_view exact_text);

// The moments of the rows of a run, in seconds on result_seconds' scale. In the progressed and
// solar-arc modes a row's own time is a progressed date; its moment in the person's life is
// found from it (one day of progression for one year of life) and made local by the zone's
// offset at that moment, as the exports, the near-miss lines and the timeline give it.
class RunClock {
public:
    struct Times {
        long long utc = 0;       // the moment the aspect is exact (in life, for the progressed modes)
        long long local = 0;     // the same in the run's time zone
        long long row_time = 0;  // the table's own time, local (the progressed date in those modes)
    };

    // For a run whose time zone text can be used (a run that ran).
    explicit RunClock(const RunInputs& run);

    // Seconds to add to a local time to get Universal Time: the number's, or the named zone's then.
    long long offset_at_utc(long long utc) const;
    long long offset_at_local(long long local) const;
    // Nothing for a row whose time cannot be read.
    std::optional<Times> times(const ResultRow& row) const;

private:
    const RunInputs& run_;
    bool named_zone_ = false;
    long long tz_seconds_ = 0;
};

// Seconds into the days they fall on.
CivilDate date_of_seconds(long long seconds);

}  // namespace tavrolin
