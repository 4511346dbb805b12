// The worksheet of a running spreadsheet program, with just the operations the export needs.
// Column and row numbers are 0-based (column 0 is A, row 0 is row 1).
#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace tavrolin {

struct CellPosition {
    int column = 0;
    int row = 0;
    friend bool operator==(const CellPosition&, const CellPosition&) = default;
};

// One operation the sheet could not carry out (a cell off the sheet, a format it refused). The
// export skips it and carries on.
class SpreadsheetOperationFailed : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The sheet takes no more writes at all (the connection is lost, the sheet is protected): going on
// would only fail again for every cell, so the export stops. what() says why, for the user.
class SpreadsheetUnusable : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Every operation may throw one of the two exceptions above.
class Spreadsheet {
public:
    virtual ~Spreadsheet() = default;

    // The active cell (the top-left cell of the selection).
    virtual CellPosition active_cell() = 0;
    // Width in character units: a width of n holds n digits of the sheet's default font.
    virtual void set_column_width(int column, double characters) = 0;
    virtual void centre_column(int column) = 0;
    // A number format pattern such as "0.00", with "." as the decimal point.
    virtual void set_column_number_format(int column, const std::string& pattern) = 0;
    // The text is entered as a user would type it: the spreadsheet turns numbers and dates into
    // numbers and dates by its own rules. An empty text empties the cell.
    virtual void set_cell_text(int column, int row, const std::string& text) = 0;
};

// What looking for a running spreadsheet found.
struct SpreadsheetConnection {
    enum class Status {
        connected,    // sheet is the active worksheet of the spreadsheet the user has open
        none_open,    // no spreadsheet program answers, or it has no spreadsheet open
        no_back_end,  // this build cannot talk to any spreadsheet program
        refused,      // one was found but not used: not the user's own, or it did not answer in time
    };
    Status status = Status::none_open;
    std::unique_ptr<Spreadsheet> sheet;
    std::string detail;  // why nothing was found, for a log or standard error
};

// Finds the spreadsheet the user has open; called afresh for each export.
using SpreadsheetSource = std::function<SpreadsheetConnection()>;

}  // namespace tavrolin
