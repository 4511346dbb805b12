// Reading back the exact-time column of the result table. The engine writes it month first
// ("mm/dd/yyyy hh:nn:ss") whatever the regional order, so it is read month first here too.
#pragma once

#include <optional>
#include <string_view>

#include "engine/date_text.h"

namespace tavrolin {

// The date part (up to the first blank) of an exact-time text.
std::optional<CivilDate> result_date(std::string_view exact_text);

// The exact time as seconds on one continuous scale (comparable across dates); the time part
// "hh:nn:ss" may be missing (midnight).
std::optional<long long> result_seconds(std::string_view exact_text);

}  // namespace tavrolin
