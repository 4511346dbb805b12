#include "output/spreadsheet_export.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "output/memory_sheet.h"
#include "support/fake_swe.h"

namespace tavrolin {
namespace {

// Active cell D10.
constexpr int c0 = 3;
constexpr int r0 = 9;

// A longitude aspect (Mars square Saturn) and a parallel (Sun par Moon) with every column filled.
const ResultRow mars_square_saturn = {"4", "7", "6", "12/05/2026 14:30:00", "0.5000", "253.4912", "163.4866", "1", "0.6",
                                      "-0.05", "-21.493", "-5.318"};
const ResultRow sun_parallel_moon = {"0", "16", "1", "12/06/2026 01:02:03", "1.0100", "250.1", "100.2", "0", "1.01", "0",
                                     "-22.444", "-22.446"};

class Export : public ::testing::Test {
protected:
    testing::ScanSetup s;
    Engine& engine = s.engine;
    ControlValues cv;
    ExportSettings settings;
    MemorySheet sheet;

    void SetUp() override {
        cv.date_only = 0;
        settings.month_names = {"Jan", "Feb", "Mär", "Apr", "Mai", "Jun", "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"};
        set_rows({mars_square_saturn, sun_parallel_moon});
        for (int b = 0; b <= last_body_index; ++b) engine.natal_lon[static_cast<std::size_t>(b)] = b * 15.5 + 0.0004;
        fresh_sheet();
    }
    void set_rows(std::vector<ResultRow> rows) {
        rows.insert(rows.begin(), ResultRow{});
        engine.result_table = rows;
        engine.result_count = static_cast<int>(rows.size()) - 1;
    }
    // An empty sheet at D10 whose first `rows` block rows hold "~", which stays where the export
    // writes nothing.
    void fresh_sheet(int rows = 0) {
        sheet = MemorySheet{};
        sheet.active = {c0, r0};
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c <= last_result_col; ++c) sheet.cells[{c0 + c, r0 + r}] = "~";
    }
    // Block row r as "|"-separated cells, "?" for a cell never written.
    std::string block_row(int r) const {
        std::string texts;
        for (int c = 0; c <= last_result_col; ++c) texts += (c ? "|" : "") + sheet.cell(c0 + c, r0 + r).value_or("?");
        return texts;
    }
    // The block columns given a width, then those given a number format.
    std::string columns_set() const {
        std::string text;
        for (const auto& [c, width] : sheet.widths) text += "width " + std::to_string(c - c0) + " ";
        for (const auto& [c, pattern] : sheet.formats) text += std::to_string(c - c0) + "=" + pattern + " ";
        return text;
    }
    ExportReport run() { return Copy_to_Spreadsheet(sheet, engine, cv, settings); }
};

TEST_F(Export, ColumnsAndRowsByModeStyleAndDateOnly) {
    struct Case { int calc_kind, mode; bool quill, lunetta; int date_only; std::string columns, first, second; };
    const std::string plain = "width 0 width 5 4=0.0000 ", positions = "width 0 5=0.00 6=0.00 ";
    const std::string d1 = "12/05/2026 14:30:00|Mars|090|Saturn|", d2 = "12/06/2026 01:02:03|Sun|par|Moon|";
    const Case cases[] = {
        {1, 0, false, false, 0, plain, d1 + "0.5000|2.00 days|~|~|~|~|~|~", d2 + "1.0100|23.76 hours|~|~|~|~|~|~"},
        {1, 1, false, false, 1, plain, "05 Dez 2026|Mars|090|Saturn|0.5000|2.00 days|~|~|~|~|~|~",
         "06 Dez 2026|Sun|par|Moon|1.0100|23.76 hours|~|~|~|~|~|~"},
        {1, 2, false, false, 0, plain, d1 + "0.5000|2.00 years|~|~|~|~|~|~", d2 + "1.0100|11.88 months|~|~|~|~|~|~"},
        // In the progressed modes the styles change nothing.
        {1, 3, true, true, 0, plain, d1 + "0.5000|2.00 years|~|~|~|~|~|~", d2 + "1.0100|11.88 months|~|~|~|~|~|~"},
        // Lunetta: positions (declinations for the parallel), phase and direction flags; the zero
        // phase of a declination aspect empties its cell. Both marks: Lunetta's columns win.
        {1, 0, false, true, 0, positions, d1 + "~|253.49|163.49|1|1|-1|~|~", d2 + "~|-22.44|-22.45||1|1|~|~"},
        {1, 1, true, true, 0, positions, d1 + "~|253.49|163.49|1|1|-1|~|~", d2 + "~|-22.44|-22.45||1|1|~|~"},
        {1, 1, true, false, 1, "width 0 4=0.0000 ", "05 Dez 2026|Mars|090|Saturn|0.5000|253.49|163.49|-21.49|-5.32|~|~|~",
         "06 Dez 2026|Sun|par|Moon|1.0100|250.10|100.20|-22.44|-22.45|~|~|~"},
        // No mode button selected: neither transit nor progressed columns.
        {1, -1, false, true, 0, plain, d1 + "0.5000|~|~|~|~|~|~|~", d2 + "1.0100|~|~|~|~|~|~|~"},
        // A degree run: the degree with three decimals in place of P2.
        {0, 0, false, false, 0, plain, "12/05/2026 14:30:00|Mars|090|179.331|0.5000|2.00 days|~|~|~|~|~|~",
         "12/06/2026 01:02:03|Sun|par|179.331|1.0100|23.76 hours|~|~|~|~|~|~"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("mode " + std::to_string(c.mode) + " quill " + std::to_string(c.quill) + " lunetta " +
                     std::to_string(c.lunetta));
        fresh_sheet(2);
        engine.calc_kind = c.calc_kind;
        cv.mode = c.mode;
        cv.date_only = c.date_only;
        settings.marks = {c.quill, c.lunetta};
        const ExportReport report = run();
        EXPECT_EQ(block_row(0) + "\n" + block_row(1) + "\n" + columns_set(), c.first + "\n" + c.second + "\n" + c.columns);
        // Twelve columns centred from D; the natal block only with Lunetta in transit to natal.
        const int natal = c.lunetta && c.mode == 0 ? body_count : 0;
        EXPECT_EQ(std::tuple(sheet.centred.size(), *sheet.centred.begin(), report.operations_skipped, report.rows_written,
                             sheet.cells.size()),
                  std::tuple(12u, c0, 0, 2 + natal, 24u + 2u * natal));
    }
    // The unit of a duration is chosen from the value as shown: 1 / 1.01 shows as 0.99, 1 / 1.004 as 1.00.
    for (const auto& [speed_text, progressed, text] :
         {std::tuple{"1.0040", false, "1.00 days"}, {"-0.1000", false, "-240.00 hours"}, {"0.2500", true, "4.00 years"},
          {"-0.2500", true, "-48.00 months"}})
        EXPECT_EQ(duration_text(speed_text, progressed), text) << speed_text;
    for (const char* no_number : {"0.0000", "", "fast"}) EXPECT_EQ(duration_text(no_number, false), std::nullopt);
}

TEST_F(Export, NatalBlockOneRowBelowTheTableInLunettaTransitToNatal) {
    for (const auto& [rows, first] : {std::pair{2, 3}, {0, 1}}) {
        if (rows == 0) set_rows({});
        fresh_sheet(first);
        cv.mode = 0;
        settings.marks = {false, true};
        int calls = 0;
        settings.between_rows = [&] { ++calls; };
        run();
        EXPECT_EQ(calls, rows + body_count);
        for (int b = 0; b <= last_body_index; ++b)
            EXPECT_EQ(sheet.cell(c0, r0 + first + b), std::string(body_captions[static_cast<std::size_t>(b)]));
        EXPECT_EQ(sheet.cell(c0 + 1, r0 + first), "0.000");
        EXPECT_EQ(sheet.cell(c0 + 1, r0 + first + 22), "341.000");
        // The row between stays as it was; nothing is written beside or below the block.
        EXPECT_EQ(sheet.cell(c0, r0 + first - 1), "~") << rows;
        EXPECT_EQ(sheet.cell(c0 + 2, r0 + first), std::nullopt);
        EXPECT_EQ(sheet.cell(c0, r0 + first + body_count), std::nullopt);
        EXPECT_EQ(columns_set(), "width 0 5=0.00 6=0.00 ");
    }
}

TEST_F(Export, FailedOperationsAreSkippedOneByOne) {
    engine.result_table[1].set(0, "99");        // no such body
    engine.result_table[2].set(3, "tomorrow");  // no date for "Copy date only"
    engine.result_table[2].set(4, "0");         // no duration for a zero speed
    cv.date_only = 1;
    sheet.failing_cells = {{c0 + 2, r0}};
    sheet.failing_columns = {c0};
    const ExportReport report = run();
    // Column D refused its width and its alignment; the other columns took theirs.
    EXPECT_EQ(block_row(0) + "\n" + block_row(1) + "\n" + columns_set(),
              "05 Dez 2026|?|?|Saturn|0.5000|2.00 days|?|?|?|?|?|?\n?|Sun|par|Moon|0|?|?|?|?|?|?|?\nwidth 5 4=0.0000 ");
    EXPECT_EQ(std::tuple(sheet.centred.size(), report.operations_skipped, report.stopped), std::tuple(11u, 6, false));

    // Without an active cell the block starts at the first cell; rows past the sheet's end are
    // skipped (an active cell beyond any 16-bit row number).
    fresh_sheet();
    sheet.active_cell_fails = true;
    run();
    EXPECT_EQ(sheet.cell(1, 1), "Sun");
    fresh_sheet();
    sheet.row_count = 40001;
    sheet.active = {c0, 40000};
    set_rows({mars_square_saturn, sun_parallel_moon, mars_square_saturn});
    EXPECT_EQ(run().operations_skipped, 12);
    EXPECT_EQ(sheet.cell(c0 + 1, 40000), "Mars");
}

}  // namespace
}  // namespace tavrolin
