// The export into a real LibreOffice Calc: each test starts an office of its own, exports the
// table of a real calculation through the UNO back end (from tavrolin-batch or in this process),
// and reads the sheet back over UNO.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>

#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/style/XStyleFamiliesSupplier.hpp>
#include <com/sun/star/table/CellContentType.hpp>
#include <com/sun/star/table/CellHoriJustify.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/table/XColumnRowRange.hpp>
#include <com/sun/star/table/XTableColumns.hpp>
#include <com/sun/star/text/XTextRange.hpp>
#include <com/sun/star/util/NumberFormat.hpp>
#include <com/sun/star/util/XNumberFormats.hpp>
#include <com/sun/star/util/XNumberFormatsSupplier.hpp>
#include <com/sun/star/util/XProtectable.hpp>

#include "engine/ephemeris.h"
#include "engine/swe_api.h"
#include "output/calculation_command.h"
#include "output/memory_sheet.h"
#include "output/result_time.h"
#include "output/spreadsheet_export.h"
#include "spreadsheet_uno/calc_connection.h"
#include "support/batch_program.h"
#include "test_office.h"

namespace tavrolin {
namespace {

using namespace com::sun::star;
using testing::TestOffice;

constexpr double days_1899_to_1970 = 25569;  // Calc's date serials count from 12/30/1899

// What Calc should make of a text typed into a cell: a number or a date serial; nothing for a text.
std::optional<double> value_of(const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (!text.empty() && end == text.c_str() + text.size()) return value;
    if (const auto seconds = result_seconds(text)) return days_1899_to_1970 + *seconds / 86400.0;
    return std::nullopt;
}

class Sheet {
public:
    explicit Sheet(uno::Reference<frame::XModel> model) : model_(std::move(model)), sheet_(TestOffice::active_sheet(model_)) {}

    uno::Reference<table::XCell> cell(int column, int row) const { return sheet_->getCellByPosition(column, row); }
    std::string shown(int column, int row) const {
        return from_ou(uno::Reference<text::XTextRange>(cell(column, row), uno::UNO_QUERY_THROW)->getString());
    }
    uno::Reference<beans::XPropertySet> column(int c) const {
        uno::Reference<table::XColumnRowRange> ranges(sheet_, uno::UNO_QUERY_THROW);
        return uno::Reference<beans::XPropertySet>(ranges->getColumns()->getByIndex(c), uno::UNO_QUERY_THROW);
    }
    sal_Int32 width(int c) const { return column(c)->getPropertyValue("Width").get<sal_Int32>(); }
    table::CellHoriJustify justify(int c) const { return column(c)->getPropertyValue("HoriJustify").get<table::CellHoriJustify>(); }
    uno::Reference<beans::XPropertySet> format_of(const uno::Reference<beans::XPropertySet>& range) const {
        uno::Reference<util::XNumberFormatsSupplier> supplier(model_, uno::UNO_QUERY_THROW);
        return supplier->getNumberFormats()->getByKey(range->getPropertyValue("NumberFormat").get<sal_Int32>());
    }
    std::string column_format(int c) const {
        return from_ou(format_of(column(c))->getPropertyValue("FormatString").get<rtl::OUString>());
    }
    // Width Calc itself gives a column to show `digits` zeros as text.
    sal_Int32 optimal_width_for_digits(int c, int digits) const {
        uno::Reference<beans::XPropertySet> props(cell(c, 0), uno::UNO_QUERY_THROW);
        props->setPropertyValue("FormulaLocal", uno::Any(to_ou("'" + std::string(static_cast<std::size_t>(digits), '0'))));
        column(c)->setPropertyValue("OptimalWidth", uno::Any(true));
        return width(c);
    }
    sal_Int32 default_style_margins() const {
        uno::Reference<style::XStyleFamiliesSupplier> families(model_, uno::UNO_QUERY_THROW);
        uno::Reference<container::XNameAccess> styles(families->getStyleFamilies()->getByName("CellStyles"), uno::UNO_QUERY_THROW);
        uno::Reference<beans::XPropertySet> style(styles->getByName("Default"), uno::UNO_QUERY_THROW);
        return style->getPropertyValue("ParaLeftMargin").get<sal_Int32>() + style->getPropertyValue("ParaRightMargin").get<sal_Int32>();
    }
    void protect() { uno::Reference<util::XProtectable>(sheet_, uno::UNO_QUERY_THROW)->protect(""); }

    // Every cell of the area is what typing the in-memory sheet's text gives; empty where the
    // export wrote nothing or an empty text.
    void expect_same_as(const MemorySheet& expected, int first_column, int first_row, int columns, int rows) const {
        for (int r = first_row; r < first_row + rows; ++r) {
            for (int c = first_column; c < first_column + columns; ++c) {
                const std::string text = expected.cell(c, r).value_or("");
                const auto got = cell(c, r);
                const std::string where = "column " + std::to_string(c) + " row " + std::to_string(r) + " \"" + text + "\"";
                const auto value = value_of(text);
                if (text.empty()) {
                    EXPECT_EQ(got->getType(), table::CellContentType_EMPTY) << where;
                } else if (value) {
                    EXPECT_EQ(got->getType(), table::CellContentType_VALUE) << where;
                    EXPECT_NEAR(got->getValue(), *value, 0.5 / 86400 + 1e-9 * std::fabs(*value)) << where;
                } else {
                    EXPECT_EQ(got->getType(), table::CellContentType_TEXT) << where;
                    EXPECT_EQ(shown(c, r), text) << where;
                }
            }
        }
    }

private:
    uno::Reference<frame::XModel> model_;
    uno::Reference<sheet::XSpreadsheet> sheet_;
};

class CalcExport : public testing::BatchProgramTest {};

// tavrolin-batch, run as a user would, exports into the running Calc.
TEST_F(CalcExport, RealCalculationArrivesAtTheActiveCellAndAProtectedSheetOrADeadOfficeStopsIt) {
    TestOffice office(dir);
    ASSERT_EQ(office.start_error(), "");
    // Inner planets to the default natal bodies in December 2005: rows on several dates, a parallel
    // among them.
    set_ephemeris_path(TAVROLIN_BIN_DIR);
    LibSwe api;
    Ephemeris eph(api);
    Engine engine(eph);
    engine.cv.natal_date = "09/22/1949";
    for (int b : {0, 2, 3, 4}) engine.cv.p1_planets[static_cast<std::size_t>(b)] = 1;
    engine.cv.date_only = 0;
    ASSERT_TRUE(run_calculation_command(engine, 1).ran);
    ASSERT_GE(engine.result_count, 3);
    const auto export_to_calc = [&](const ExportSettings& settings) {
        SpreadsheetConnection connection = connect_to_running_calc(office.pipe());
        EXPECT_EQ(connection.status, SpreadsheetConnection::Status::connected) << connection.detail;
        return connection.sheet ? Copy_to_Spreadsheet(*connection.sheet, engine, engine.cv, settings) : ExportReport{};
    };

    // An office without a document has no spreadsheet open.
    EXPECT_EQ(connect_to_running_calc(office.pipe()).status, SpreadsheetConnection::Status::none_open);

    Sheet sheet(office.new_spreadsheet("D10"));
    const sal_Int32 default_width = sheet.width(20);
    const testing::ProgramRun exported = run("--to-spreadsheet --date-only 0 --pipe " + office.pipe() + " " +
                                             settings("busy.opt", engine.cv));
    EXPECT_EQ(exported.status, 0) << exported.err;
    MemorySheet expected;
    expected.active = {3, 9};
    Copy_to_Spreadsheet(expected, engine, engine.cv, ExportSettings{});
    sheet.expect_same_as(expected, 0, 0, 20, 9 + engine.result_count + 5);
    // The exact time in D10 is a date and time, shown as one.
    uno::Reference<beans::XPropertySet> d10(sheet.cell(3, 9), uno::UNO_QUERY_THROW);
    EXPECT_EQ(sheet.format_of(d10)->getPropertyValue("Type").get<sal_Int16>() & util::NumberFormat::DATETIME,
              util::NumberFormat::DATETIME);

    // D and I are 16 digits wide and no wider than Calc's own fit for them; the rest keep theirs.
    const sal_Int32 w8 = sheet.optimal_width_for_digits(40, 8), w16 = sheet.optimal_width_for_digits(41, 16);
    for (int c : {3, 8}) {
        EXPECT_GE(sheet.width(c), 16 * (w16 - w8) / 8.0 + sheet.default_style_margins()) << c;
        EXPECT_LE(sheet.width(c), w16) << c;
    }
    for (int c : {2, 4, 7, 9, 15}) EXPECT_EQ(sheet.width(c), default_width) << c;
    // Columns D to O centred, their neighbours not.
    for (int c = 2; c <= 15; ++c)
        EXPECT_EQ(sheet.justify(c), c == 2 || c == 15 ? table::CellHoriJustify_STANDARD : table::CellHoriJustify_CENTER) << c;
    EXPECT_EQ(sheet.column_format(7), "0.0000");  // the speed with its four decimals
    for (int c : {3, 8, 9}) EXPECT_EQ(sheet.column_format(c), "General") << c;

    // Protected: the export stops at its first cell and says so; the sheet keeps its contents.
    const std::string before = sheet.shown(4, 9);
    sheet.protect();
    const ExportReport refused = export_to_calc({});
    EXPECT_EQ(std::tuple(refused.stopped, refused.stop_reason, refused.rows_written),
              std::tuple(true, std::string("the sheet is protected"), 0));
    EXPECT_EQ(sheet.shown(4, 9), before);

    // An office that dies during the export stops it.
    office.new_spreadsheet("A1");
    int rows_begun = 0;
    ExportSettings settings;
    settings.between_rows = [&] {
        if (++rows_begun == 2) office.kill_now();
    };
    const ExportReport lost = export_to_calc(settings);
    EXPECT_NE(lost.stop_reason.find("connection to LibreOffice Calc was lost"), std::string::npos) << lost.stop_reason;
    EXPECT_EQ(std::tuple(lost.stopped, lost.rows_written, rows_begun), std::tuple(true, 1, 2));
}

}  // namespace
}  // namespace tavrolin
