// A worksheet held in memory: it keeps what was written so that tests can read it back, and it
// can be told to fail like a real one.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "output/spreadsheet.h"

namespace tavrolin {

class MemorySheet : public Spreadsheet {
public:
    // The size of a sheet: cells outside it fail as in a real spreadsheet.
    int column_count = 1024;
    int row_count = 1048576;

    CellPosition active = {0, 0};

    std::map<std::pair<int, int>, std::string> cells;  // (column, row) -> text
    std::map<int, double> widths;
    std::set<int> centred;
    std::map<int, std::string> formats;
    int cell_writes = 0;  // cell writes that succeeded

    // Failure injection.
    bool active_cell_fails = false;
    std::set<std::pair<int, int>> failing_cells;
    std::set<int> failing_columns;                 // width, alignment and format fail there
    std::optional<int> unusable_after_cell_writes;  // then every operation throws SpreadsheetUnusable
    std::string unusable_reason = "the connection to the spreadsheet was lost";

    CellPosition active_cell() override;
    void set_column_width(int column, double characters) override;
    void centre_column(int column) override;
    void set_column_number_format(int column, const std::string& pattern) override;
    void set_cell_text(int column, int row, const std::string& text) override;

    // The text of a cell, or nothing when it was never written.
    std::optional<std::string> cell(int column, int row) const;

private:
    void check_usable() const;
    void check_column(int column) const;
};

}  // namespace tavrolin
