// The export into a real LibreOffice Calc: each test starts an office of its own, exports the
// table of a real calculation through the UNO back end, and reads the sheet back over UNO.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

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
#include "test_office.h"
#include "window/files/settings_file.h"

namespace tavrolin {
namespace {

using namespace com::sun::star;
using testing::TestOffice;
using testing::to_ou;
using testing::to_utf8;
namespace fs = std::filesystem;

// Inner planets to the default natal bodies in December 2005: rows on several dates, a parallel
// among them.
ControlValues busy_transits() {
    ControlValues cv;
    cv.natal_date = "09/22/1949";
    for (int b : {0, 2, 3, 4}) cv.p1_planets[static_cast<std::size_t>(b)] = 1;
    cv.date_only = 0;
    return cv;
}

// A Calc date serial (days since 12/30/1899) of an exact-time text.
double serial_of(const std::string& exact_text) {
    const auto seconds = result_seconds(exact_text);
    EXPECT_TRUE(seconds.has_value()) << exact_text;
    constexpr long long days_1899_to_1970 = 25569;
    return days_1899_to_1970 + seconds.value_or(0) / 86400.0;
}

std::optional<double> number_text(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size()) return std::nullopt;
    return value;
}

class Sheet {
public:
    explicit Sheet(uno::Reference<frame::XModel> model) : model_(std::move(model)), sheet_(TestOffice::active_sheet(model_)) {}

    uno::Reference<table::XCell> cell(int column, int row) const { return sheet_->getCellByPosition(column, row); }
    std::string shown(int column, int row) const {
        return to_utf8(uno::Reference<text::XTextRange>(cell(column, row), uno::UNO_QUERY_THROW)->getString());
    }
    uno::Reference<beans::XPropertySet> column(int c) const {
        uno::Reference<table::XColumnRowRange> ranges(sheet_, uno::UNO_QUERY_THROW);
        return uno::Reference<beans::XPropertySet>(ranges->getColumns()->getByIndex(c), uno::UNO_QUERY_THROW);
    }
    sal_Int32 width(int c) const { return column(c)->getPropertyValue("Width").get<sal_Int32>(); }
    table::CellHoriJustify justify(int c) const { return column(c)->getPropertyValue("HoriJustify").get<table::CellHoriJustify>(); }
    uno::Reference<beans::XPropertySet> format_of_key(sal_Int32 key) const {
        uno::Reference<util::XNumberFormatsSupplier> supplier(model_, uno::UNO_QUERY_THROW);
        return supplier->getNumberFormats()->getByKey(key);
    }
    std::string column_format(int c) const {
        return to_utf8(format_of_key(column(c)->getPropertyValue("NumberFormat").get<sal_Int32>())
                           ->getPropertyValue("FormatString")
                           .get<rtl::OUString>());
    }
    sal_Int16 cell_format_type(int c, int r) const {
        uno::Reference<beans::XPropertySet> props(cell(c, r), uno::UNO_QUERY_THROW);
        return format_of_key(props->getPropertyValue("NumberFormat").get<sal_Int32>())->getPropertyValue("Type").get<sal_Int16>();
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

    // Every cell of the area is what typing the in-memory sheet's text gives: a number for a
    // number, a date and time for an exact-time text, the text itself otherwise; empty where the
    // export wrote nothing or an empty text.
    void expect_same_as(const MemorySheet& expected, int first_column, int first_row, int columns, int rows) const {
        const std::regex exact_time(R"(\d\d/\d\d/\d{4} \d\d:\d\d:\d\d)");
        for (int r = first_row; r < first_row + rows; ++r) {
            for (int c = first_column; c < first_column + columns; ++c) {
                const std::string text = expected.cell(c, r).value_or("");
                const auto got = cell(c, r);
                const std::string where = "column " + std::to_string(c) + " row " + std::to_string(r) + " \"" + text + "\"";
                if (text.empty()) {
                    EXPECT_EQ(got->getType(), table::CellContentType_EMPTY) << where;
                } else if (const auto number = number_text(text)) {
                    EXPECT_EQ(got->getType(), table::CellContentType_VALUE) << where;
                    EXPECT_NEAR(got->getValue(), *number, 1e-9 * std::max(1.0, std::fabs(*number))) << where;
                } else if (std::regex_match(text, exact_time)) {
                    EXPECT_EQ(got->getType(), table::CellContentType_VALUE) << where;
                    EXPECT_NEAR(got->getValue(), serial_of(text), 0.5 / 86400) << where;
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

class CalcExport : public ::testing::Test {
protected:
    TestOffice office;
    LibSwe api;
    Ephemeris eph{api};
    Engine engine{eph};

    void SetUp() override {
        ASSERT_EQ(office.start_error(), "");
        set_ephemeris_path(TAVROLIN_BIN_DIR);
        engine.cv = busy_transits();
        ASSERT_TRUE(run_calculation_command(engine, 1).ran);
        ASSERT_GE(engine.result_count, 3);
    }

    ExportReport export_to_calc(const ControlValues& cv, const ExportSettings& settings) {
        SpreadsheetConnection connection = connect_to_running_calc(office.pipe());
        EXPECT_EQ(connection.status, SpreadsheetConnection::Status::connected) << connection.detail;
        if (!connection.sheet) return ExportReport{};
        return Copy_to_Spreadsheet(*connection.sheet, engine, cv, settings);
    }

    MemorySheet export_to_memory(CellPosition active, const ControlValues& cv, const ExportSettings& settings) {
        MemorySheet sheet;
        sheet.active = active;
        Copy_to_Spreadsheet(sheet, engine, cv, settings);
        return sheet;
    }
};

TEST(CalcConnection, NoOfficeOnThePipeIsNoSpreadsheetOpen) {
    const std::string pipe = "tavrolin-test-nobody-" + std::to_string(getpid());
    const SpreadsheetConnection connection = connect_to_running_calc(pipe);
    EXPECT_EQ(connection.status, SpreadsheetConnection::Status::none_open);
    EXPECT_EQ(connection.sheet, nullptr);
    EXPECT_NE(connection.detail.find(pipe), std::string::npos) << connection.detail;
}

TEST_F(CalcExport, RealCalculationArrivesAtTheActiveCell) {
    // An office without a document has no spreadsheet open.
    const SpreadsheetConnection none = connect_to_running_calc(office.pipe());
    EXPECT_EQ(none.status, SpreadsheetConnection::Status::none_open);

    const Sheet sheet(office.new_spreadsheet("D10"));
    const sal_Int32 default_width = sheet.width(20);
    ExportSettings settings;
    const ExportReport report = export_to_calc(engine.cv, settings);
    EXPECT_FALSE(report.stopped) << report.stop_reason;
    EXPECT_EQ(report.operations_skipped, 0);
    EXPECT_EQ(report.rows_written, engine.result_count);

    const int rows = engine.result_count;
    sheet.expect_same_as(export_to_memory({3, 9}, engine.cv, settings), 0, 0, 20, 9 + rows + 5);

    // The first row read on its own terms: a date and time in D10, shown as one.
    const ResultRow& first = engine.result_table[1];
    EXPECT_NEAR(sheet.cell(3, 9)->getValue(), serial_of(first[3]), 0.5 / 86400);
    EXPECT_EQ(sheet.cell_format_type(3, 9) & util::NumberFormat::DATETIME, util::NumberFormat::DATETIME);
    EXPECT_EQ(sheet.shown(7, 9), first[4]);  // the speed shown with its four decimals

    // D and I are 16 digits wide and no wider than Calc's own fit for them; the rest keep theirs.
    const sal_Int32 w8 = sheet.optimal_width_for_digits(40, 8);
    const sal_Int32 w16 = sheet.optimal_width_for_digits(41, 16);
    const double digit = (w16 - w8) / 8.0;
    for (int c : {3, 8}) {
        EXPECT_GE(sheet.width(c), 16 * digit + sheet.default_style_margins()) << c;
        EXPECT_LE(sheet.width(c), w16) << c;
    }
    for (int c : {2, 4, 7, 9, 15}) EXPECT_EQ(sheet.width(c), default_width) << c;
    // Columns D to O centred, their neighbours not.
    for (int c = 3; c <= 14; ++c) EXPECT_EQ(sheet.justify(c), table::CellHoriJustify_CENTER) << c;
    for (int c : {2, 15}) EXPECT_EQ(sheet.justify(c), table::CellHoriJustify_STANDARD) << c;
    EXPECT_EQ(sheet.column_format(7), "0.0000");
    for (int c : {3, 8, 9}) EXPECT_EQ(sheet.column_format(c), "General") << c;
}

TEST_F(CalcExport, LunettaWithDatesOnlyThenAProtectedSheet) {
    Sheet sheet(office.new_spreadsheet("B3"));
    ControlValues cv = engine.cv;
    cv.date_only = 1;
    ExportSettings settings;
    settings.marks.lunetta = true;
    const ExportReport report = export_to_calc(cv, settings);
    EXPECT_FALSE(report.stopped) << report.stop_reason;
    EXPECT_EQ(report.operations_skipped, 0);

    const int rows = engine.result_count;
    const MemorySheet expected = export_to_memory({1, 2}, cv, settings);
    // The dates-only texts are Calc's to read: compared on their own below.
    sheet.expect_same_as(expected, 2, 0, 18, 2 + rows + 1 + body_count + 3);
    for (int r = 1; r <= rows; ++r) {
        const auto date = result_date(engine.result_table[static_cast<std::size_t>(r)][3]);
        ASSERT_TRUE(date.has_value());
        const auto got = sheet.cell(1, 1 + r);
        if (got->getType() == table::CellContentType_VALUE) {
            EXPECT_DOUBLE_EQ(got->getValue(), 25569.0 + days_from_civil(*date)) << r;
        } else {
            char text[32];
            std::snprintf(text, sizeof text, "%02d %s %04d", date->day, english_month_abbreviations[date->month - 1].c_str(), date->year);
            EXPECT_EQ(sheet.shown(1, 1 + r), text) << r;
        }
    }
    // Positions with two decimals in G and H; no speed column, so F keeps the general format.
    EXPECT_EQ(sheet.column_format(6), "0.00");
    EXPECT_EQ(sheet.column_format(7), "0.00");
    EXPECT_EQ(sheet.column_format(5), "General");
    // The natal longitudes after one empty row.
    const int natal_row = 2 + rows + 1;
    EXPECT_EQ(sheet.cell(1, natal_row - 1)->getType(), table::CellContentType_EMPTY);
    for (int b = 0; b <= last_body_index; ++b) {
        EXPECT_EQ(sheet.shown(1, natal_row + b), std::string(body_captions[static_cast<std::size_t>(b)]));
        EXPECT_NEAR(sheet.cell(2, natal_row + b)->getValue(), engine.natal_lon[static_cast<std::size_t>(b)], 0.0005);
    }

    // Protected: the export stops at its first cell and says so; the sheet keeps its contents.
    const std::string before = sheet.shown(2, 2);
    sheet.protect();
    const ExportReport refused = export_to_calc(engine.cv, ExportSettings{});
    EXPECT_TRUE(refused.stopped);
    EXPECT_EQ(refused.stop_reason, "the sheet is protected");
    EXPECT_EQ(refused.rows_written, 0);
    EXPECT_EQ(sheet.shown(2, 2), before);
}

TEST_F(CalcExport, AnOfficeThatDiesStopsTheExport) {
    office.new_spreadsheet("A1");
    int rows_begun = 0;
    ExportSettings settings;
    settings.between_rows = [&] {
        if (++rows_begun == 2) office.kill_now();
    };
    const ExportReport report = export_to_calc(engine.cv, settings);
    EXPECT_TRUE(report.stopped);
    EXPECT_NE(report.stop_reason.find("connection to LibreOffice Calc was lost"), std::string::npos) << report.stop_reason;
    EXPECT_EQ(report.rows_written, 1);
    EXPECT_EQ(rows_begun, 2);
}

// tavrolin-batch exports with the same code; without an office it says so and fails.
class BatchExport : public CalcExport {
protected:
    fs::path dir;

    void SetUp() override {
        CalcExport::SetUp();
        dir = fs::temp_directory_path() / ("tavrolin_batch_export_" + std::to_string(getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    struct Run {
        int status = -1;
        std::string out, err;
    };
    Run batch(const std::string& args) {
        const fs::path out = dir / "out", err = dir / "err";
        const std::string command = "'" + (fs::path(TAVROLIN_BIN_DIR) / "tavrolin-batch").string() + "' " + args + " >'" +
                                    out.string() + "' 2>'" + err.string() + "'";
        const int status = std::system(command.c_str());
        std::stringstream o, e;
        o << std::ifstream(out).rdbuf();
        e << std::ifstream(err).rdbuf();
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, o.str(), e.str()};
    }
};

TEST_F(BatchExport, ToSpreadsheetPrintsTheListingAndExports) {
    const fs::path settings_file = dir / "busy.opt";
    ASSERT_TRUE(save_settings_file(settings_file.string(), engine.cv));
    const Run plain = batch("'" + settings_file.string() + "'");
    ASSERT_EQ(plain.status, 0) << plain.err;

    const Run nobody = batch("--to-spreadsheet --pipe tavrolin-test-nobody-" + std::to_string(getpid()) + " '" +
                             settings_file.string() + "'");
    EXPECT_EQ(nobody.status, 1);
    EXPECT_EQ(nobody.out, plain.out);
    EXPECT_NE(nobody.err.find(std::string(no_spreadsheet_message)), std::string::npos) << nobody.err;

    const Sheet sheet(office.new_spreadsheet("D10"));
    const Run exported = batch("--to-spreadsheet --pipe " + office.pipe() + " '" + settings_file.string() + "'");
    EXPECT_EQ(exported.status, 0) << exported.err;
    EXPECT_EQ(exported.out, plain.out);
    // The settings file does not hold "Copy date only"; a new window has it ticked.
    ControlValues cv = engine.cv;
    cv.date_only = 1;
    sheet.expect_same_as(export_to_memory({3, 9}, cv, ExportSettings{}), 4, 0, 16, 9 + engine.result_count + 3);
}

}  // namespace
}  // namespace tavrolin
