#include "output/memory_sheet.h"

namespace tavrolin {

void MemorySheet::check_usable() const {
    if (unusable_after_cell_writes && cell_writes >= *unusable_after_cell_writes) throw SpreadsheetUnusable(unusable_reason);
}

void MemorySheet::check_column(int column) const {
    check_usable();
    if (column < 0 || column >= column_count || failing_columns.count(column))
        throw SpreadsheetOperationFailed("column " + std::to_string(column) + " refused");
}

CellPosition MemorySheet::active_cell() {
    check_usable();
    if (active_cell_fails) throw SpreadsheetOperationFailed("no active cell");
    return active;
}

void MemorySheet::set_column_width(int column, double characters) {
    check_column(column);
    widths[column] = characters;
}

void MemorySheet::centre_column(int column) {
    check_column(column);
    centred.insert(column);
}

void MemorySheet::set_column_number_format(int column, const std::string& pattern) {
    check_column(column);
    formats[column] = pattern;
}

void MemorySheet::set_cell_text(int column, int row, const std::string& text) {
    check_usable();
    if (column < 0 || column >= column_count || row < 0 || row >= row_count || failing_cells.count({column, row}))
        throw SpreadsheetOperationFailed("cell refused");
    cells[{column, row}] = text;
    ++cell_writes;
}

std::optional<std::string> MemorySheet::cell(int column, int row) const {
    const auto it = cells.find({column, row});
    if (it == cells.end()) return std::nullopt;
    return it->second;
}

}  // namespace tavrolin
