#include "output/sorting.h"

#include <limits>
#include <utility>

#include "engine/text_rules.h"
#include "output/result_time.h"

namespace tavrolin {

namespace {

// Read from the text at every comparison: the sort keeps no storage besides the row exchange.
long long key_of(const ResultRow& row) {
    return result_seconds(row[3]).value_or(std::numeric_limits<long long>::min());
}

}  // namespace

void QuickSortStringsAscending(std::vector<ResultRow>& sarray, int inLow, int inHi) {
    // The two stretches left after a partition are disjoint, so the order in which they are
    // sorted does not change the result: recursing into the shorter one and looping on the longer
    // keeps the stack shallow on tables of a million rows.
    int first = inLow;
    int last = inHi;
    while (first < last) {
        int low = first;
        int high = last;
        const int middle = static_cast<int>(round_half_even((static_cast<double>(first) + last) / 2.0));
        const long long pivot = key_of(sarray[static_cast<std::size_t>(middle)]);
        while (low <= high) {
            while (key_of(sarray[static_cast<std::size_t>(low)]) < pivot && low < last) ++low;
            while (key_of(sarray[static_cast<std::size_t>(high)]) > pivot && high > first) --high;
            if (low <= high) {
                std::swap(sarray[static_cast<std::size_t>(low)], sarray[static_cast<std::size_t>(high)]);
                ++low;
                --high;
            }
        }
        if (high - first < last - low) {
            if (first < high) QuickSortStringsAscending(sarray, first, high);
            first = low;
        } else {
            if (low < last) QuickSortStringsAscending(sarray, low, last);
            last = high;
        }
    }
}

}  // namespace tavrolin
