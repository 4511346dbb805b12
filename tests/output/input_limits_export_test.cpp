// The exports at the ends of what they can hold: calendar dates up to the year 9999, and a
// spreadsheet whose active cell is at the far end of the largest sheet.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "engine/calendar.h"
#include "output/memory_sheet.h"
#include "output/results_export.h"
#include "output/spreadsheet_export.h"
#include "support/fake_swe.h"

namespace tavrolin {
namespace {

const ResultRow mars_square_saturn = {"4", "7", "6", "06/15/5000 12:00:00", "0.5000", "253.4912", "163.4866", "1",
                                      "0.6", "-0.05", "-21.493", "-5.318"};

TEST(InputLimitsExport, CalendarDatesAfterTheYear3000) {
    testing::ScanSetup s;
    Engine& engine = s.engine;
    engine.result_table = {ResultRow{}, mars_square_saturn};
    engine.result_count = 1;
    engine.last_run.cv.tz = "0";
    engine.near_misses = {NearMiss{4, 7, 6, GetJulianDay(1, 1, 2005), GetJulianDay(1, 3, 2005)},
                          NearMiss{4, 7, 6, GetJulianDay(12, 30, 9999), GetJulianDay(12, 31, 9999)}};
    std::string ics;
    ASSERT_TRUE(export_results(engine, ExportFormat::icalendar, [&](std::string_view t) { ics += t; return true; }, 0).ok);
    // libical's typed dates end with the year 3000 (they came out as 00000000T000000); the day
    // after a window that ends on 31 December 9999 has no date.
    for (const char* text : {"\r\nDTSTART:50000615T120000Z\r\n", "\r\nDTSTART;VALUE=DATE:20050101\r\nDTEND;VALUE=DATE:20050104\r\n",
                             "\r\nDTSTART;VALUE=DATE:99991230\r\nDURATION:P2D\r\n"})
        EXPECT_NE(ics.find(text), std::string::npos) << text << "\n" << ics;
    EXPECT_EQ(ics.find("00000000"), std::string::npos);
}

TEST(InputLimitsExport, ActiveCellAtTheEndOfTheLargestSheet) {
    // The block and the natal rows below it run past the last int: refused cell by cell, never
    // wrapped round to other cells.
    testing::ScanSetup s;
    s.engine.result_table = {ResultRow{}, mars_square_saturn, mars_square_saturn};
    s.engine.result_count = 2;
    MemorySheet sheet;
    sheet.column_count = sheet.row_count = INT_MAX;
    sheet.active = {INT_MAX - 3, INT_MAX - 1};
    ControlValues cv;
    cv.select_mode(0);
    ExportSettings settings;
    settings.marks.lunetta = true;
    const ExportReport report = Copy_to_Spreadsheet(sheet, s.engine, cv, settings);
    EXPECT_FALSE(report.stopped);
    EXPECT_EQ(sheet.cell(INT_MAX - 2, INT_MAX - 1), "Mars");
    EXPECT_EQ(sheet.cells.size(), 3u);  // the first row's first three columns
    EXPECT_GT(report.operations_skipped, 40);
}

}  // namespace
}  // namespace tavrolin
