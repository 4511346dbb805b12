#include "output/sorting.h"

#include <limits>
#include <utility>

#include "engine/text_rules.h"
#include "output/result_time.h"

namespace tavrolin {

namespace {

long long key_of(const ResultRow& row) {
    return result_seconds(row[3]).value_or(std::numeric_limits<long long>::min());
}

// The rows' keys are read once (8 bytes a row) and exchanged along with the rows: reading the
// time text at every comparison took most of the sort.
void quick_sort(std::vector<ResultRow>& sarray, std::vector<long long>& keys, int offset, int inLow, int inHi) {
    const auto key = [&](int i) { return keys[static_cast<std::size_t>(i - offset)]; };
    // The two stretches left after a partition are disjoint, so the order in which they are
    // sorted does not change the result: recursing into the shorter one and looping on the longer
    // keeps the stack shallow on tables of a million rows.
    int first = inLow;
    int last = inHi;
    while (first < last) {
        int low = first;
        int high = last;
        const int middle = static_cast<int>(round_half_even((static_cast<double>(first) + last) / 2.0));
        const long long pivot = key(middle);
        while (low <= high) {
            while (key(low) < pivot && low < last) ++low;
            while (key(high) > pivot && high > first) --high;
            if (low <= high) {
                std::swap(sarray[static_cast<std::size_t>(low)], sarray[static_cast<std::size_t>(high)]);
                std::swap(keys[static_cast<std::size_t>(low - offset)], keys[static_cast<std::size_t>(high - offset)]);
                ++low;
                --high;
            }
        }
        if (high - first < last - low) {
            if (first < high) quick_sort(sarray, keys, offset, first, high);
            first = low;
        } else {
            if (low < last) quick_sort(sarray, keys, offset, low, last);
            last = high;
        }
    }
}

}  // namespace

void QuickSortStringsAscending(std::vector<ResultRow>& sarray, int inLow, int inHi) {
    if (inLow >= inHi) return;
    std::vector<long long> keys;
    keys.reserve(static_cast<std::size_t>(inHi - inLow) + 1);
    for (int i = inLow; i <= inHi; ++i) keys.push_back(key_of(sarray[static_cast<std::size_t>(i)]));
    quick_sort(sarray, keys, inLow, inLow, inHi);
}

}  // namespace tavrolin
