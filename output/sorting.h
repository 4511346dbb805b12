// Chronological order of the result table.
#pragma once

#include <vector>

#include "engine/engine.h"

namespace tavrolin {

// Sorts rows inLow..inHi of the table by their exact time (column 3), earliest first, moving
// whole rows. Quicksort with the middle row's key as pivot (middle rounded half to even) and
// strict comparisons, so rows with equal keys may change their relative order. A key that holds
// no date and time sorts before every other.
void QuickSortStringsAscending(std::vector<ResultRow>& sarray, int inLow, int inHi);

}  // namespace tavrolin
