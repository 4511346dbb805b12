#include "output/spreadsheet_export.h"

#include <langinfo.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "engine/text_rules.h"
#include "output/result_time.h"

namespace tavrolin {

namespace {

constexpr int block_columns = last_result_col + 1;
constexpr double wide_column = 16;  // characters: the date column and the duration column

// A value that cannot be computed (a text that is not a number, an index with no control, a
// division by zero): that one cell is skipped.
struct CellSkipped {};

// The whole text (blanks around it aside) read as a decimal number with "." as the point.
std::optional<double> parse_number(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    // from_chars also reads "inf" and "nan", which are no numbers here.
    if (text.empty() || !(std::isdigit(static_cast<unsigned char>(text.front())) || text.front() == '-' || text.front() == '.'))
        return std::nullopt;
    if (text.front() == '-' && (text.size() < 2 || !(std::isdigit(static_cast<unsigned char>(text[1])) || text[1] == '.')))
        return std::nullopt;
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

double number_of(std::string_view text) {
    const auto value = parse_number(text);
    if (!value) throw CellSkipped{};
    return *value;
}

// A control-array index from a number, rounded as any real-to-integer conversion.
int index_of(double number, int last_index) {
    if (!(std::fabs(number) < 1e9)) throw CellSkipped{};
    const long long index = round_half_even(number);
    if (index < 0 || index > last_index) throw CellSkipped{};
    return static_cast<int>(index);
}

std::string two_decimals(std::string_view text) { return format_fixed(number_of(text), 2); }

// "1" above zero, "-1" below, nothing shown for zero.
std::string phase_flag(std::string_view text) {
    const double v = number_of(text);
    return v > 0 ? "1" : v < 0 ? "-1" : "";
}

// "1" for a direct (or stationary) body, "-1" for a retrograde one.
std::string direction_flag(std::string_view text) { return number_of(text) >= 0 ? "1" : "-1"; }

struct Layout {
    bool transit = false;     // mode button 0 or 1
    bool progressed = false;  // mode button 2 or 3
    bool lunetta = false;
    bool quill = false;
};

// What goes into block column c + 1 of a result row; nothing leaves the cell untouched.
std::optional<std::string> block_value(int c, const ResultRow& row, const Layout& layout, const ControlValues& cv,
                                       int calc_kind, const MonthNames& months) {
    const bool lunetta_transit = layout.transit && layout.lunetta;
    const bool quill_transit = layout.transit && layout.quill && !layout.lunetta;
    const auto declination_aspect = [&] { return number_of(row[1]) >= parallel_aspect; };
    switch (c) {
        case 0: {
            if (cv.date_only != 1) return std::string(row[3]);
            const auto date = result_date(row[3]);
            if (!date || date->month < 1 || date->month > 12) throw CellSkipped{};
            char text[64];
            std::snprintf(text, sizeof text, "%02d %s %04d", date->day,
                          months[static_cast<std::size_t>(date->month - 1)].c_str(), date->year);
            return std::string(text);
        }
        case 1:
            return ControlValues::body_caption(index_of(number_of(row[0]), last_body_index));
        case 2:
            return cv.aspect_caption(index_of(number_of(row[1]), last_aspect_index));
        case 3:
            if (calc_kind == 0) return format_fixed(number_of(cv.zodiac_degree), 3);
            return ControlValues::body_caption(index_of(number_of(row[2]), last_point_index));
        case 4:
            if (lunetta_transit) return std::nullopt;
            return std::string(row[4]);
        case 5:
            if (layout.transit && !layout.lunetta && !layout.quill) {
                auto text = duration_text(row[4], false);
                if (!text) throw CellSkipped{};
                return text;
            }
            if (layout.progressed) {
                auto text = duration_text(row[4], true);
                if (!text) throw CellSkipped{};
                return text;
            }
            if (lunetta_transit) return two_decimals(declination_aspect() ? row[10] : row[5]);
            if (quill_transit) return two_decimals(row[5]);
            return std::nullopt;
        case 6:
            if (lunetta_transit) return two_decimals(declination_aspect() ? row[11] : row[6]);
            if (quill_transit) return two_decimals(row[6]);
            return std::nullopt;
        case 7:
            if (lunetta_transit) return phase_flag(row[7]);
            if (quill_transit) return two_decimals(row[10]);
            return std::nullopt;
        case 8:
            if (lunetta_transit) return direction_flag(row[8]);
            if (quill_transit) return two_decimals(row[11]);
            return std::nullopt;
        case 9:
            if (lunetta_transit) return direction_flag(row[9]);
            return std::nullopt;
        default:
            return std::nullopt;
    }
}

// The column or row `offset` after the active cell's. The sheet refuses a cell off its end, but a
// sheet that reports an active cell near the largest int would have the sum wrap round first.
int beside(int origin, long long offset) {
    const long long index = origin + offset;
    if (index > std::numeric_limits<int>::max()) throw SpreadsheetOperationFailed("beyond the last cell");
    return static_cast<int>(index);
}

// Runs one spreadsheet operation; a failure of that operation alone is counted and skipped.
template <typename Operation>
void attempt(ExportReport& report, Operation&& operation) {
    try {
        operation();
    } catch (const SpreadsheetOperationFailed&) {
        ++report.operations_skipped;
    }
}

}  // namespace

StyleMarks style_marks(ListingStyle style) {
    return StyleMarks{style == ListingStyle::Quill, style == ListingStyle::Lunetta};
}

MonthNames locale_month_abbreviations() {
    MonthNames names = english_month_abbreviations;
    const nl_item items[12] = {ABMON_1, ABMON_2, ABMON_3, ABMON_4, ABMON_5, ABMON_6,
                               ABMON_7, ABMON_8, ABMON_9, ABMON_10, ABMON_11, ABMON_12};
    for (std::size_t m = 0; m < names.size(); ++m) {
        const char* name = nl_langinfo(items[m]);
        if (name != nullptr && *name != '\0') names[m] = name;
    }
    return names;
}

std::optional<std::string> duration_text(std::string_view speed_text, bool progressed) {
    const auto speed = parse_number(speed_text);
    if (!speed || *speed == 0.0) return std::nullopt;
    // The unit is chosen on the rounded text, with the sign: 1 / 1.01 shows as 0.99 and takes the
    // smaller unit, and a retrograde speed always does.
    const double whole_units = 1.0 / *speed;
    if (val(format_fixed(whole_units, 2)) >= 1.0)
        return format_fixed(whole_units, 2) + (progressed ? " years" : " days");
    return format_fixed((progressed ? 12.0 : 24.0) / *speed, 2) + (progressed ? " months" : " hours");
}

ExportReport Copy_to_Spreadsheet(Spreadsheet& sheet, const Engine& engine, const ControlValues& cv,
                                 const ExportSettings& settings) {
    ExportReport report;
    Layout layout;
    layout.transit = cv.mode == 0 || cv.mode == 1;
    layout.progressed = cv.mode == 2 || cv.mode == 3;
    layout.lunetta = settings.marks.lunetta;
    layout.quill = settings.marks.quill;
    const auto between_rows = [&] {
        if (settings.between_rows) settings.between_rows();
    };

    try {
        // Without an active cell the block starts at the sheet's first cell.
        // (Not through attempt(): GCC 12 at -O2 left `origin` unset when the lambda threw.)
        CellPosition origin;
        try {
            origin = sheet.active_cell();
        } catch (const SpreadsheetOperationFailed&) {
            ++report.operations_skipped;
        }
        const int c0 = origin.column;
        const int r0 = origin.row;

        attempt(report, [&] { sheet.set_column_width(c0, wide_column); });
        if (!(layout.transit && (layout.lunetta || layout.quill)))
            attempt(report, [&] { sheet.set_column_width(beside(c0, 5), wide_column); });
        for (int k = 1; k <= block_columns; ++k) {
            attempt(report, [&] { sheet.centre_column(beside(c0, k - 1)); });
            if (layout.transit && layout.lunetta && (k == 6 || k == 7))
                attempt(report, [&] { sheet.set_column_number_format(beside(c0, k - 1), "0.00"); });
            else if (k == 5 && !(layout.transit && layout.lunetta))
                attempt(report, [&] { sheet.set_column_number_format(beside(c0, k - 1), "0.0000"); });
        }

        const int rows = std::max(0, std::min(engine.result_count, static_cast<int>(engine.result_table.size()) - 1));
        for (int r = 1; r <= rows; ++r) {
            between_rows();
            const ResultRow& row = engine.result_table[static_cast<std::size_t>(r)];
            for (int c = 0; c < block_columns; ++c) {
                std::optional<std::string> value;
                try {
                    value = block_value(c, row, layout, cv, engine.calc_kind, settings.month_names);
                } catch (const CellSkipped&) {
                    ++report.operations_skipped;
                    continue;
                }
                if (value) attempt(report, [&] { sheet.set_cell_text(beside(c0, c), beside(r0, r - 1), *value); });
            }
            ++report.rows_written;
        }

        // One empty row between the table and the natal longitudes (with no rows, the row of the
        // active cell stays empty).
        if (layout.lunetta && cv.mode == 0) {
            for (int b = 0; b <= last_body_index; ++b) {
                between_rows();
                const long long row = static_cast<long long>(rows) + 1 + b;
                attempt(report, [&] { sheet.set_cell_text(c0, beside(r0, row), ControlValues::body_caption(b)); });
                attempt(report, [&] {
                    sheet.set_cell_text(beside(c0, 1), beside(r0, row), format_fixed(engine.natal_lon[static_cast<std::size_t>(b)], 3));
                });
                ++report.rows_written;
            }
        }
    } catch (const SpreadsheetUnusable& unusable) {
        report.stopped = true;
        report.stop_reason = unusable.what();
    }
    return report;
}

}  // namespace tavrolin
