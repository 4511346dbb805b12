// The "Adjust Dates" commands: the start or end date one day earlier or later, or the range set to
// the whole month before or after the start date's month. They change only the two date texts and
// never compare the start with the end.
#pragma once

#include <string>

#include "engine/control_values.h"

namespace tavrolin {

enum class DateCommand { PreviousStartDate, NextStartDate, PreviousEndDate, NextEndDate, PreviousMonth, NextMonth };

// Runs the command on cv.start_date and cv.end_date, reading and writing dates in the order of
// cv.date_order ("mm/dd/yyyy", "dd/mm/yyyy" or "yyyy/mm/dd"). A date text that is not a date, a
// result outside the years 100 to 9999, or an order without a pattern leaves both texts as they
// were; `problem` then says which box holds what.
bool run_date_command(DateCommand command, ControlValues& cv, std::string* problem = nullptr);

}  // namespace tavrolin
