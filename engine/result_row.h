// One row of the result table: an exact aspect in twelve text columns (P1, aspect and P2 indexes,
// "mm/dd/yyyy hh:nn:ss", speed, the two longitudes, direction, the two speeds, the two
// declinations). A scan may keep a million rows, so a row holds its texts one after another in a
// single string and notes where each ends, instead of twelve strings with an allocation each.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "engine/bodies.h"

namespace tavrolin {

class ResultRow {
public:
    static constexpr int columns = last_result_col + 1;

    ResultRow() = default;
    // The first columns from `texts` (at most `columns` of them), the rest empty.
    ResultRow(std::initializer_list<std::string_view> texts);

    // Column 0 .. columns - 1; valid until the row changes.
    std::string_view operator[](int column) const {
        const auto c = static_cast<std::size_t>(column);
        const std::size_t begin = c == 0 ? 0 : end_[c - 1];
        return std::string_view(text_).substr(begin, end_[c] - begin);
    }
    void set(int column, std::string_view text);

    bool operator==(const ResultRow&) const = default;

    // The moment of column 3 in Universal Time (progressed time in those modes), as the scan found
    // it; 0 for a row made otherwise. With a zone name, column 3's local time can occur twice a
    // year; this tells which of the two is meant.
    double exact_jd = 0.0;

private:
    std::string text_;
    std::array<std::uint16_t, columns> end_{};  // end of each column in text_
};

}  // namespace tavrolin
