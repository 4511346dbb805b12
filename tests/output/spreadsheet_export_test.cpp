#include "output/spreadsheet_export.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/ephemeris.h"
#include "output/memory_sheet.h"
#include "support/fake_swe.h"

namespace tavrolin {
namespace {

// Active cell D10.
constexpr int c0 = 3;
constexpr int r0 = 9;
// What a cell holds before the export: it still holds it where the export writes nothing.
const std::string old = "old";

// A longitude aspect (Mars square Saturn) and a parallel (Sun par Moon) with every column filled.
ResultRow mars_square_saturn() {
    return {"4", "7", "6", "12/05/2026 14:30:00", "0.5000", "253.4912", "163.4866", "1", "0.6", "-0.05", "-21.493", "-5.318"};
}
ResultRow sun_parallel_moon() {
    return {"0", "16", "1", "12/06/2026 01:02:03", "1.0100", "250.1", "100.2", "0", "1.01", "0", "-22.444", "-22.446"};
}

class Export : public ::testing::Test {
protected:
    testing::FakeSwe swe;
    Ephemeris eph{swe};
    Engine engine{eph};
    ControlValues cv;
    ExportSettings settings;
    MemorySheet sheet;

    void SetUp() override {
        sheet.active = {c0, r0};
        cv.date_only = 0;  // ticked in a new window; the tests tick it where it matters
        set_rows({mars_square_saturn(), sun_parallel_moon()});
        for (int b = 0; b <= last_body_index; ++b) engine.natal_lon[static_cast<std::size_t>(b)] = b * 15.5 + 0.0004;
    }

    void set_rows(std::vector<ResultRow> rows) {
        rows.insert(rows.begin(), ResultRow{});
        engine.result_table = rows;
        engine.result_count = static_cast<int>(rows.size()) - 1;
    }

    // Every cell of the block's rows (and a few below) holds "old" before the export.
    void prefill(int rows) {
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c <= last_result_col; ++c) sheet.cells[{c0 + c, r0 + r}] = old;
    }

    std::vector<std::string> block_row(int r) const {
        std::vector<std::string> texts;
        for (int c = 0; c <= last_result_col; ++c) texts.push_back(sheet.cell(c0 + c, r0 + r).value_or("(never written)"));
        return texts;
    }

    ExportReport run() { return Copy_to_Spreadsheet(sheet, engine, cv, settings); }
};

TEST_F(Export, WidthsAlignmentAndFormatsByModeAndStyle) {
    struct Case {
        int mode;
        bool quill;
        bool lunetta;
        bool sixth_column_wide;
        std::map<int, std::string> formats;  // block column (0-based) -> pattern
    };
    const std::map<int, std::string> speed = {{4, "0.0000"}};
    const std::map<int, std::string> positions = {{5, "0.00"}, {6, "0.00"}};
    const std::vector<Case> cases = {
        {0, false, false, true, speed},     {1, false, false, true, speed},   {0, true, false, false, speed},
        {1, false, true, false, positions}, {0, true, true, false, positions}, {2, false, false, true, speed},
        {2, false, true, true, speed},      {3, true, false, true, speed},     {3, true, true, true, speed},
        {-1, false, true, true, speed},
    };
    for (const Case& c : cases) {
        sheet = MemorySheet{};
        sheet.active = {c0, r0};
        cv.mode = c.mode;
        settings.marks = {c.quill, c.lunetta};
        const ExportReport report = run();
        const std::string label = "mode " + std::to_string(c.mode) + " quill " + std::to_string(c.quill) + " lunetta " +
                                  std::to_string(c.lunetta);
        std::map<int, double> widths = {{c0, 16.0}};
        if (c.sixth_column_wide) widths[c0 + 5] = 16.0;
        EXPECT_EQ(sheet.widths, widths) << label;
        std::set<int> centred;
        for (int k = 0; k <= last_result_col; ++k) centred.insert(c0 + k);
        EXPECT_EQ(sheet.centred, centred) << label;
        std::map<int, std::string> formats;
        for (const auto& [column, pattern] : c.formats) formats[c0 + column] = pattern;
        EXPECT_EQ(sheet.formats, formats) << label;
        EXPECT_EQ(report.operations_skipped, 0) << label;
        EXPECT_FALSE(report.stopped) << label;
    }
}

TEST_F(Export, RowValuesByModeStyleAndDateOnly) {
    struct Case {
        int mode;
        bool quill;
        bool lunetta;
        int date_only;
        std::vector<std::string> first;   // Mars 090 Saturn
        std::vector<std::string> second;  // Sun par Moon
    };
    const std::string d1 = "12/05/2026 14:30:00";
    const std::string d2 = "12/06/2026 01:02:03";
    const std::vector<Case> cases = {
        {0, false, false, 0,
         {d1, "Mars", "090", "Saturn", "0.5000", "2.00 days", old, old, old, old, old, old},
         {d2, "Sun", "par", "Moon", "1.0100", "23.76 hours", old, old, old, old, old, old}},
        {1, false, false, 1,
         {"05 Dec 2026", "Mars", "090", "Saturn", "0.5000", "2.00 days", old, old, old, old, old, old},
         {"06 Dec 2026", "Sun", "par", "Moon", "1.0100", "23.76 hours", old, old, old, old, old, old}},
        {2, false, false, 0,
         {d1, "Mars", "090", "Saturn", "0.5000", "2.00 years", old, old, old, old, old, old},
         {d2, "Sun", "par", "Moon", "1.0100", "11.88 months", old, old, old, old, old, old}},
        // In the progressed modes the styles change nothing.
        {3, true, true, 0,
         {d1, "Mars", "090", "Saturn", "0.5000", "2.00 years", old, old, old, old, old, old},
         {d2, "Sun", "par", "Moon", "1.0100", "11.88 months", old, old, old, old, old, old}},
        // Lunetta: positions (declinations for the parallel), phase and direction flags; the
        // zero phase of a declination aspect empties its cell.
        {0, false, true, 0,
         {d1, "Mars", "090", "Saturn", old, "253.49", "163.49", "1", "1", "-1", old, old},
         {d2, "Sun", "par", "Moon", old, "-22.44", "-22.45", "", "1", "1", old, old}},
        {1, true, false, 1,
         {"05 Dec 2026", "Mars", "090", "Saturn", "0.5000", "253.49", "163.49", "-21.49", "-5.32", old, old, old},
         {"06 Dec 2026", "Sun", "par", "Moon", "1.0100", "250.10", "100.20", "-22.44", "-22.45", old, old, old}},
        // Both marks: Lunetta's columns win.
        {1, true, true, 0,
         {d1, "Mars", "090", "Saturn", old, "253.49", "163.49", "1", "1", "-1", old, old},
         {d2, "Sun", "par", "Moon", old, "-22.44", "-22.45", "", "1", "1", old, old}},
        // No mode button selected: neither transit nor progressed columns.
        {-1, false, false, 0,
         {d1, "Mars", "090", "Saturn", "0.5000", old, old, old, old, old, old, old},
         {d2, "Sun", "par", "Moon", "1.0100", old, old, old, old, old, old, old}},
    };
    for (const Case& c : cases) {
        sheet = MemorySheet{};
        sheet.active = {c0, r0};
        prefill(2);
        cv.mode = c.mode;
        cv.date_only = c.date_only;
        settings.marks = {c.quill, c.lunetta};
        const ExportReport report = run();
        const std::string label = "mode " + std::to_string(c.mode) + " quill " + std::to_string(c.quill) + " lunetta " +
                                  std::to_string(c.lunetta) + " date only " + std::to_string(c.date_only);
        EXPECT_EQ(block_row(0), c.first) << label;
        EXPECT_EQ(block_row(1), c.second) << label;
        EXPECT_EQ(report.operations_skipped, 0) << label;
        // The natal block only with Lunetta in transit to natal.
        EXPECT_EQ(report.rows_written, 2 + (c.lunetta && c.mode == 0 ? body_count : 0)) << label;
        EXPECT_EQ(sheet.cells.size(), 24u + (c.lunetta && c.mode == 0 ? 2u * body_count : 0u)) << label;
    }
}

TEST_F(Export, DurationTexts) {
    struct Case {
        std::string speed;
        bool progressed;
        std::optional<std::string> text;
    };
    const std::vector<Case> cases = {
        {"0.5000", false, "2.00 days"},
        {"1.0100", false, "23.76 hours"},  // 1 / 1.01 shows as 0.99, below one day
        {"0.9960", false, "1.00 days"},    // 1 / 0.996 shows as 1.00
        {"-0.1000", false, "-240.00 hours"},
        {"1.0000", false, "1.00 days"},
        {"1.0100", true, "11.88 months"},
        {"0.2500", true, "4.00 years"},
        {"-0.2500", true, "-48.00 months"},
        {"0.0000", false, std::nullopt},
        {"", true, std::nullopt},
        {"fast", false, std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(duration_text(c.speed, c.progressed), c.text) << c.speed << " " << c.progressed;
}

TEST_F(Export, NatalBlockBelowTheTableInLunettaTransitToNatal) {
    struct Case {
        int rows;
        int first_natal_row;  // relative to the active cell
    };
    // With no rows the block starts one row below the active cell.
    for (const Case& c : {Case{2, 3}, Case{0, 1}}) {
        sheet = MemorySheet{};
        sheet.active = {c0, r0};
        if (c.rows == 0) set_rows({});
        prefill(c.first_natal_row);
        cv.mode = 0;
        settings.marks = {false, true};
        int calls = 0;
        settings.between_rows = [&] { ++calls; };
        run();
        EXPECT_EQ(calls, c.rows + body_count);
        for (int b = 0; b <= last_body_index; ++b) {
            EXPECT_EQ(sheet.cell(c0, r0 + c.first_natal_row + b), std::string(body_captions[static_cast<std::size_t>(b)]));
        }
        EXPECT_EQ(sheet.cell(c0 + 1, r0 + c.first_natal_row), "0.000");
        EXPECT_EQ(sheet.cell(c0 + 1, r0 + c.first_natal_row + 3), "46.500");
        EXPECT_EQ(sheet.cell(c0 + 1, r0 + c.first_natal_row + 22), "341.000");
        // The row between stays as it was; nothing is written beside or below the block.
        EXPECT_EQ(sheet.cell(c0, r0 + c.first_natal_row - 1), old) << c.rows;
        EXPECT_EQ(sheet.cell(c0 + 2, r0 + c.first_natal_row), std::nullopt);
        EXPECT_EQ(sheet.cell(c0, r0 + c.first_natal_row + body_count), std::nullopt);
        settings.between_rows = {};
    }
}

TEST_F(Export, DegreeRunShowsTheZodiacDegreeInEveryRow) {
    engine.calc_kind = 0;
    cv.zodiac_degree = "179.331227";
    run();
    EXPECT_EQ(sheet.cell(c0 + 3, r0), "179.331");
    EXPECT_EQ(sheet.cell(c0 + 3, r0 + 1), "179.331");
    // A degree text that is no number leaves the column untouched and the rest written.
    sheet = MemorySheet{};
    sheet.active = {c0, r0};
    cv.zodiac_degree = "north";
    const ExportReport report = run();
    EXPECT_EQ(sheet.cell(c0 + 3, r0), std::nullopt);
    EXPECT_EQ(sheet.cell(c0 + 2, r0), "090");
    EXPECT_EQ(sheet.cell(c0 + 5, r0 + 1), "23.76 hours");
    EXPECT_EQ(report.operations_skipped, 2);
}

TEST_F(Export, NoRowsStillSetsTheColumns) {
    set_rows({});
    const ExportReport report = run();
    EXPECT_TRUE(sheet.cells.empty());
    EXPECT_EQ(sheet.widths.size(), 2u);
    EXPECT_EQ(sheet.centred.size(), 12u);
    EXPECT_EQ(sheet.formats.size(), 1u);
    EXPECT_EQ(report.rows_written, 0);
}

TEST_F(Export, FailedOperationsAreSkippedOneByOne) {
    engine.result_table[1].set(0, "99");        // no such body
    engine.result_table[2].set(3, "tomorrow");  // no date for "Copy date only"
    engine.result_table[2].set(4, "0");         // no duration for a zero speed
    cv.date_only = 1;
    sheet.failing_cells = {{c0 + 2, r0}};
    sheet.failing_columns = {c0};
    const ExportReport report = run();
    EXPECT_EQ(block_row(0), (std::vector<std::string>{"05 Dec 2026", "(never written)", "(never written)", "Saturn",
                                                      "0.5000", "2.00 days", "(never written)", "(never written)",
                                                      "(never written)", "(never written)", "(never written)",
                                                      "(never written)"}));
    EXPECT_EQ(sheet.cell(c0, r0 + 1), std::nullopt);
    EXPECT_EQ(sheet.cell(c0 + 1, r0 + 1), "Sun");
    EXPECT_EQ(sheet.cell(c0 + 5, r0 + 1), std::nullopt);
    // Column D refused its width and its alignment; the other columns took theirs.
    EXPECT_EQ(sheet.widths, (std::map<int, double>{{c0 + 5, 16.0}}));
    EXPECT_EQ(sheet.centred.size(), 11u);
    EXPECT_EQ(report.operations_skipped, 6);
    EXPECT_FALSE(report.stopped);
}

TEST_F(Export, WithoutAnActiveCellTheBlockStartsAtTheFirstCell) {
    sheet.active_cell_fails = true;
    run();
    EXPECT_EQ(sheet.cell(0, 0), "12/05/2026 14:30:00");
    EXPECT_EQ(sheet.cell(1, 1), "Sun");
    EXPECT_EQ(sheet.widths.count(0), 1u);
}

TEST_F(Export, RowsPastTheEndOfTheSheetAreSkipped) {
    // An active cell far down (beyond any 16-bit row number), two rows from the sheet's end.
    sheet.row_count = 40001;
    sheet.active = {c0, 40000};
    set_rows({mars_square_saturn(), sun_parallel_moon(), mars_square_saturn()});
    const ExportReport report = run();
    EXPECT_EQ(sheet.cell(c0 + 1, 40000), "Mars");
    EXPECT_EQ(sheet.cell(c0 + 1, 40001), std::nullopt);
    EXPECT_EQ(report.operations_skipped, 12);
    EXPECT_FALSE(report.stopped);
}

TEST_F(Export, AnUnusableSheetStopsTheExportAndSaysWhy) {
    set_rows({mars_square_saturn(), sun_parallel_moon(), mars_square_saturn()});
    cv.mode = 0;
    settings.marks = {false, true};
    sheet.unusable_after_cell_writes = 12;
    sheet.unusable_reason = "the sheet is protected";
    int calls = 0;
    settings.between_rows = [&] { ++calls; };
    const ExportReport report = run();
    EXPECT_TRUE(report.stopped);
    EXPECT_EQ(report.stop_reason, "the sheet is protected");
    EXPECT_EQ(sheet.cell_writes, 12);
    EXPECT_EQ(report.rows_written, 1);
    // It stopped in the second row: no third row, no natal block.
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(sheet.cell(c0 + 1, r0 + 2), std::nullopt);
}

TEST_F(Export, DatesOnlyUseTheGivenMonthNames) {
    cv.date_only = 1;
    settings.month_names = {"Jan", "Feb", "Mär", "Apr", "Mai", "Jun", "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"};
    set_rows({mars_square_saturn(), ResultRow{"4", "7", "6", "03/01/1999 00:00:00", "0.5000"}});
    run();
    EXPECT_EQ(sheet.cell(c0, r0), "05 Dez 2026");
    EXPECT_EQ(sheet.cell(c0, r0 + 1), "01 Mär 1999");
}

}  // namespace
}  // namespace tavrolin
