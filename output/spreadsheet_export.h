// "Copy to Excel": the result table of the last run written into the active worksheet of a running
// spreadsheet, as a block that starts at the active cell.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "engine/control_values.h"
#include "engine/engine.h"
#include "output/spreadsheet.h"

namespace tavrolin {

// Check marks of the two listing-style menu entries. The menu keeps at most one of them on, but
// the export has its own rule for both (Lunetta's columns win), so it takes the marks themselves.
struct StyleMarks {
    bool quill = false;
    bool lunetta = false;
};
StyleMarks style_marks(ListingStyle style);

using MonthNames = std::array<std::string, 12>;
inline const MonthNames english_month_abbreviations = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
// Abbreviated month names of the process's LC_TIME locale.
MonthNames locale_month_abbreviations();

struct ExportSettings {
    StyleMarks marks;
    MonthNames month_names = english_month_abbreviations;  // for the "Copy date only" dates
    // Called before each row, so that a window can handle pending events during a long export.
    std::function<void()> between_rows;
};

struct ExportReport {
    int rows_written = 0;        // result rows and natal rows gone through (a skipped cell aside)
    int operations_skipped = 0;  // single operations that failed and were left out
    bool stopped = false;        // the sheet became unusable; nothing more was written
    std::string stop_reason;     // why, for the user
};

// Writes engine.result_table (rows 1..result_count) and, in the Lunetta style of transit to natal,
// the natal longitudes below it. `cv` holds the window's state at the moment of the export: the
// mode, "Copy date only", the captions and the zodiac degree. A single operation that fails is
// skipped; when the sheet becomes unusable the export stops and says why in the report.
ExportReport Copy_to_Spreadsheet(Spreadsheet& sheet, const Engine& engine, const ControlValues& cv,
                                 const ExportSettings& settings);

// Block column 6 of a row in the plain transit form (days or hours) or the progressed form (years
// or months), from the speed text of result column 4; nothing when the text is not a number or
// the speed is zero.
std::optional<std::string> duration_text(std::string_view speed_text, bool progressed);

// The message of a missing spreadsheet, and the title of its box.
inline constexpr std::string_view no_spreadsheet_message =
    "Please open an Excel spreadsheet before performing this operation.";
inline constexpr std::string_view no_spreadsheet_title = "No spreadsheet open";

}  // namespace tavrolin
