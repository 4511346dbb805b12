// The exports of the last run: the iCalendar and CSV files, and "Copy to Excel" into a sheet held
// in memory.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "engine/calendar.h"
#include "output/calculation_command.h"
#include "output/memory_sheet.h"
#include "output/results_export.h"
#include "output/spreadsheet_export.h"
#include "support/fake_swe.h"
#include "support/temp_folder.h"

namespace tavrolin {
namespace {

// Active cell D10.
constexpr int c0 = 3;
constexpr int r0 = 9;

// A longitude aspect (Mars square Saturn) and a parallel (Sun par Moon) with every column filled;
// the user-defined aspect (15) between the Sun and the Moon.
const ResultRow mars_square_saturn = {"4", "7", "6", "12/05/2026 14:30:00", "0.5000", "253.4912", "163.4866", "1", "0.6",
                                      "-0.05", "-21.493", "-5.318"};
const ResultRow sun_parallel_moon = {"0", "16", "1", "12/06/2026 01:02:03", "1.0100", "250.1", "100.2", "0", "1.01", "0",
                                     "-22.444", "-22.446"};
const ResultRow sun_user_moon = {"0", "15", "1", "01/11/2000 07:00:00", "1.0100", "250.1", "100.2", "0", "1.01", "0",
                                 "-22.444", "-22.446"};

// The last run of an engine on the ephemeris double, the window's state at the time of a copy, and
// a folder of the test's own for the files.
class Export : public testing::TempFolderTest {
protected:
    testing::ScanSetup s;
    Engine& engine = s.engine;
    ControlValues cv;
    ExportSettings settings;
    MemorySheet sheet;

    void SetUp() override {
        TempFolderTest::SetUp();
        cv.date_only = 0;
        settings.month_names = {"Jan", "Feb", "Mär", "Apr", "Mai", "Jun", "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"};
        set_rows({mars_square_saturn, sun_parallel_moon});
        for (int b = 0; b <= last_body_index; ++b) engine.natal_lon[static_cast<std::size_t>(b)] = b * 15.5 + 0.0004;
        fresh_sheet();
    }
    // The rows as found by a run of transits to natal in the zone `tz`.
    void set_rows(std::vector<ResultRow> rows, const std::string& tz = "0") {
        rows.insert(rows.begin(), ResultRow{});
        engine.result_table = rows;
        engine.result_count = static_cast<int>(rows.size()) - 1;
        engine.last_run.cv.tz = tz;
        engine.last_run.natal_jd = 2451545.0;  // 01/01/2000 12:00 UT
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
    std::string text(ExportFormat format) {
        std::string out;
        const ExportOutcome outcome = export_results(engine, format, [&](std::string_view t) { out += t; return true; }, 0);
        EXPECT_TRUE(outcome.ok) << outcome.error;
        return out;
    }
    // What a reader of the format's own (Python's csv and icalendar) finds in the file, one line
    // per row or event: "|"-joined fields.
    std::string read_back(const std::string& content, bool ics) {
        std::ofstream(dir / "in", std::ios::binary) << content;
        const std::string script = ics ? "import icalendar,sys\n"
                                         "for e in icalendar.Calendar.from_ical(open(sys.argv[1],'rb').read()).walk('VEVENT'):\n"
                                         "  print('|'.join([str(e['SUMMARY']),e['DTSTART'].to_ical().decode(),str(e['UID'])]))\n"
                                       : "import csv,sys\n"
                                         "for r in csv.reader(open(sys.argv[1],newline='',encoding='utf-8')): print('|'.join(r[:9]))\n";
        std::ofstream(dir / "read.py") << script;
        const std::string command = "/usr/bin/python3 '" + path("read.py") + "' '" + path("in") + "' > '" + path("out") + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << script;
        return testing::read_file(dir / "out");
    }
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
        SCOPED_TRACE(::testing::Message() << "mode " << c.mode << " quill " << c.quill << " lunetta " << c.lunetta);
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
          {"-0.2500", true, "-48.00 months"}, {"0.0000", false, "none"}, {"", false, "none"}, {"fast", false, "none"}})
        EXPECT_EQ(duration_text(speed_text, progressed).value_or("none"), text) << speed_text;
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
        // The row between stays as it was (that nothing is written beside or below the block shows
        // in the cell count of ColumnsAndRowsByModeStyleAndDateOnly).
        EXPECT_EQ(sheet.cell(c0, r0 + first - 1), "~") << rows;
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

    // Without an active cell the block starts at the first cell.
    fresh_sheet();
    sheet.active_cell_fails = true;
    run();
    EXPECT_EQ(sheet.cell(1, 1), "Sun");

    // An active cell at the end of the largest sheet, far beyond any 16-bit row number: the block
    // and the natal rows below it run past the last int and are refused cell by cell, never
    // wrapped round to other cells. Written: the first row's first three columns.
    fresh_sheet();
    sheet.column_count = sheet.row_count = INT_MAX;
    sheet.active = {INT_MAX - 3, INT_MAX - 1};
    set_rows({mars_square_saturn, mars_square_saturn});
    cv.mode = 0;
    settings.marks.lunetta = true;
    const ExportReport far = run();
    EXPECT_EQ(std::tuple(sheet.cells.size(), far.operations_skipped, far.stopped), std::tuple(3u, 72, false));
    EXPECT_EQ(sheet.cell(INT_MAX - 2, INT_MAX - 1), "Mars");
}

// The exact moment in UTC and local time, from half-hour zones and zone names too (the moments in
// life of the progressed modes are checked by export_check.py against the listing).
TEST_F(Export, MomentsInUniversalAndLocalTime) {
    struct Case { std::string tz, row_time; double exact_jd; std::string csv_times, dtstart; };  // utc,local,row_time
    const std::string dec5 = "12/05/2026 14:30:00", oct27 = "10/27/2024 01:10:00";
    const Case cases[] = {
        {"-3.5", dec5, 0, "2026-12-05T11:00:00,2026-12-05T14:30:00,2026-12-05T14:30:00", "20261205T110000Z"},
        // The hour repeated when British clocks go back: the row's own moment tells which 01:10 it is.
        {"Europe/London", oct27, 0, "2024-10-27T00:10:00,2024-10-27T01:10:00,2024-10-27T01:10:00", "20241027T001000Z"},
        {"Europe/London", oct27, 2460610.5 + 70.0 / 1440.0, "2024-10-27T01:10:00,2024-10-27T01:10:00,2024-10-27T01:10:00",
         "20241027T011000Z"},
        // Past the year 3000, where libical's typed dates end (they came out as 00000000T000000).
        {"0", "06/15/5000 12:00:00", 0, "5000-06-15T12:00:00,5000-06-15T12:00:00,5000-06-15T12:00:00",
         "50000615T120000Z"},
    };
    for (const Case& c : cases) {
        ResultRow row = mars_square_saturn;
        row.set(3, c.row_time);
        row.exact_jd = c.exact_jd;
        set_rows({row}, c.tz);
        EXPECT_NE(text(ExportFormat::csv).find("\r\nexact," + c.csv_times + ",,,Mars,090,Saturn,0.5000,253.4912,"
                                                                          "163.4866,1,0.6,-0.05,-21.493,-5.318,transit to "),
                  std::string::npos)
            << c.tz;
        EXPECT_NE(text(ExportFormat::icalendar).find("DTSTART:" + c.dtstart + "\r\n"), std::string::npos) << c.tz;
    }
}

// A window that ends on 31 December 9999 is given by its length: the day after it has no date.
TEST_F(Export, WindowEndingWithTheCalendar) {
    set_rows({});
    engine.near_misses.push_back(NearMiss{4, 7, 6, GetJulianDay(12, 30, 9999), GetJulianDay(12, 31, 9999)});
    const std::string ics = text(ExportFormat::icalendar);
    EXPECT_NE(ics.find("\r\nDTSTART;VALUE=DATE:99991230\r\nDURATION:P2D\r\n"), std::string::npos) << ics;
    EXPECT_EQ(ics.find("00000000"), std::string::npos);
}

// Texts the user typed reach the file escaped by each format's rules and come back unchanged.
TEST_F(Export, TypedTextsSurviveEachFormatsEscaping) {
    set_rows({sun_user_moon, mars_square_saturn});
    const std::string hostile = "5,1;\"x\"\ny\\z";
    engine.last_run.cv.user_defined_angle = hostile;
    engine.near_misses.push_back(NearMiss{4, 15, 6, 2461000.5, 2461003.5});
    const std::string csv = read_back(text(ExportFormat::csv), false);
    EXPECT_NE(csv.find("exact|2000-01-11T07:00:00|2000-01-11T07:00:00|2000-01-11T07:00:00|||Sun|" + hostile + "|Moon"),
              std::string::npos) << csv;
    EXPECT_NE(csv.find("within_1_degree||||2025-11-21|2025-11-24|Mars|" + hostile + "|Saturn"), std::string::npos) << csv;

    const std::string ics = read_back(text(ExportFormat::icalendar), true);
    EXPECT_NE(ics.find("Sun " + hostile + " Moon (transit to natal)|20000111T070000Z|"), std::string::npos) << ics;
    EXPECT_NE(ics.find("Mars " + hostile + " Saturn within 1\u00B0|20251121|"), std::string::npos) << ics;
}

// The same event has the same UID whatever the time zone box said (and, checked by export_check.py,
// whatever else the run found); another natal moment gives another (another pair too: export_check.py).
TEST_F(Export, UidsNameTheEvent) {
    auto uid_of_first = [&] {
        const std::string ics = text(ExportFormat::icalendar);
        const auto at = ics.find("UID:");
        return ics.substr(at, ics.find("\r\n", at) - at);
    };
    set_rows({mars_square_saturn});
    const std::string uid = uid_of_first();
    ResultRow shifted = mars_square_saturn;
    shifted.set(3, "12/05/2026 19:30:00");
    set_rows({shifted}, "-5");
    EXPECT_EQ(uid_of_first(), uid);
    set_rows({mars_square_saturn});
    engine.last_run.natal_jd += 1.0;
    EXPECT_NE(uid_of_first(), uid);
}

// Sky events: a CSV row each (kind, moment, body, longitude, the event column; a void with its
// span) and an .ics event with a guide's summary; a return is named in both. Only events: still
// something to export.
TEST_F(Export, SkyEventsAndReturnsInBothFormats) {
    ResultRow saturn_return = mars_square_saturn;
    for (int c : {0, 2}) saturn_return.set(c, "6");
    saturn_return.set(1, "0");
    const double apr1 = GetJulianDay(4, 1, 2024);
    SkyEvent station{SkyEventKind::station, 2, apr1 + (22.0 + 14.0 / 60) / 24, 0, 27.2234, true};
    station.end_jd = station.jd;
    SkyEvent reentry{SkyEventKind::ingress, 4, apr1 + 0.5, apr1 + 0.5, 0.0, true, 1};
    SkyEvent voided{SkyEventKind::void_of_course, 1, apr1 + 0.25, apr1 + 0.75, 59.999};
    const SkyEvent into_10{SkyEventKind::house_ingress, 6, apr1, apr1, 340.25, false, 0, 10, 9}, back_to_9{SkyEventKind::house_ingress, 6, apr1, apr1, 0, true, 0, 9, 10};
    struct Case { std::vector<ResultRow> rows; bool events_ticked; std::vector<SkyEvent> events; std::vector<std::string> csv, ics; };
    const Case cases[] = {
        {{saturn_return, mars_square_saturn}, false, {},
         {"\r\nexact,2026-12-05T21:30:00,2026-12-05T14:30:00,2026-12-05T14:30:00,,,Saturn,000,Saturn,0.5000,253.4912,"
          "163.4866,1,0.6,-0.05,-21.493,-5.318,transit to natal,return\r\nexact,",
          "-5.318,transit to natal,\r\n"},
         // Without an event ticked the .ics is as it always was.
         {"SUMMARY:Saturn 000 Saturn (transit to natal)\r\n"}},
        {{saturn_return}, true, {station, reentry, voided},
         {"\r\nstation,2024-04-01T22:14:00,2024-04-01T15:14:00,2024-04-01T15:14:00,,,Mercury,,,,27.2234,,,,,,,"
          "transit to natal,retrograde\r\n",
          "\r\ningress,2024-04-01T12:00:00,2024-04-01T05:00:00,2024-04-01T05:00:00,,,Mars,,,,0,,,,,,,transit to natal,"
          "Aries (retrograde)\r\n",
          "\r\nvoid_of_course,2024-04-01T06:00:00,2024-03-31T23:00:00,2024-03-31T23:00:00,2024-04-01T06:00:00,"
          "2024-04-01T18:00:00,Moon,,,,59.999,,,,,,,transit to natal,void of course\r\n"},
         {"SUMMARY:Saturn return: Saturn 000 Saturn (transit to natal)\r\n",
          "SUMMARY:Mercury stations retrograde at 27°13' Aries\r\n", "SUMMARY:Mars enters Aries (retrograde) at 0°00' Aries",
          "DTSTART:20240401T060000Z\r\n", "DTEND:20240401T180000Z\r\n", "SUMMARY:Moon void of course at 29°59' Taurus"}},
        {{}, true, {station}, {"\r\nstation,2024-04-01T22:14:00,"}, {"Mercury stations retrograde"}},
        {{}, false, {into_10, back_to_9}, {"\r\nhouse_ingress,2024-04-01T00:00:00,2024-03-31T17:00:00,2024-03-31T17:00:00,,,Saturn,,,,340.25,,,,,,,transit to natal,house 10\r\n", ",transit to natal,house 9 (retrograde)\r\n"},
         {"SUMMARY:Saturn enters natal house 10\r\n", "SUMMARY:Saturn leaves house 10 for house 9\r\n", "DESCRIPTION:Saturn enters natal house 10 at 10°15' Pisces"}},
    };
    for (const Case& c : cases) {
        set_rows(c.rows, "7");
        engine.last_run.cv.lunations = c.events_ticked;
        engine.sky_events = c.events;
        const std::string csv = text(ExportFormat::csv), ics = text(ExportFormat::icalendar);
        EXPECT_EQ(csv.substr(0, csv.find("\r\n")), "kind,utc,local,row_time,from,to,p1,aspect,p2,speed,p1_longitude,"
                                                  "p2_longitude,direction,p1_speed,p2_speed,p1_declination,p2_declination,mode,event");
        for (const std::string& want : c.csv) EXPECT_NE(csv.find(want), std::string::npos) << want << "\n" << csv;
        for (const std::string& want : c.ics) EXPECT_NE(ics.find(want), std::string::npos) << want << "\n" << ics;
    }
    // The same event keeps its UID when the run's zone changes.
    const auto uid = [&] { const std::string t = text(ExportFormat::icalendar); return t.substr(t.rfind("UID:", t.find("SUMMARY:Mercury")), 40); };
    const std::string before = uid();
    set_rows({}, "-3");
    EXPECT_EQ(uid(), before);
}

TEST_F(Export, NothingToExportOrAFailedWriteIsReported) {
    set_rows({});
    int pieces = 0;
    const auto count = [&](std::string_view) { ++pieces; return true; };
    ExportOutcome outcome = export_results(engine, ExportFormat::icalendar, count, 0);
    EXPECT_EQ(std::pair(outcome.ok, outcome.error), std::pair(false, std::string("the last calculation found nothing to export")));
    set_rows({mars_square_saturn}, "1e308");
    outcome = export_results(engine, ExportFormat::csv, count, 0);
    EXPECT_TRUE(!outcome.ok && outcome.error.find("\"1e308\"") != std::string::npos) << outcome.error;
    EXPECT_EQ(pieces, 0);

    set_rows({mars_square_saturn, sun_user_moon});
    for (ExportFormat format : {ExportFormat::icalendar, ExportFormat::csv}) {
        outcome = export_results(engine, format, [](std::string_view) { return false; }, 0);
        EXPECT_EQ(std::pair(outcome.ok, outcome.events), std::pair(false, 0));
        // The sink's owner tells the system's reason (a full disk): no text of the export's own hides it.
        EXPECT_EQ(outcome.error, "");
    }
    EXPECT_EQ(export_format_for("/a.b/Results.ICS"), ExportFormat::icalendar);
    EXPECT_EQ(export_format_for("r.csv"), ExportFormat::csv);
    EXPECT_EQ(export_format_for("/a.csv/results"), std::nullopt);
}


// With "Show dates in life" a progressed row's first line ends in the export's local date in life.
TEST_F(Export, DatesInLifeOfProgressedRowsAreTheExportsLocalDates) {
    set_rows({ResultRow{"0", "0", "1", "01/11/2000 07:00:00"}, ResultRow{"4", "7", "6", "02/20/2000 23:30:00", "0.5"}});
    const std::tuple<int, ListingStyle, const char*, int> cases[] = {  // mode, style, zone, date order
        {2, ListingStyle::Lunetta, "Europe/London", 1}, {3, ListingStyle::Quill, "-10", 2}, {0, ListingStyle::Default, "0", 0}};
    for (const auto& [mode, style, tz, order] : cases) {
        std::tie(cv.mode, cv.style, cv.tz, cv.date_order, engine.last_run.progressed) = std::tuple(mode, style, tz, order, mode >= 2);
        engine.cv = engine.last_run.cv = cv;
        std::string expected = listing_in_style(engine);
        engine.cv.dates_in_life = 1;
        std::istringstream csv(text(ExportFormat::csv));
        std::size_t at = 0;
        for (std::string line; mode >= 2 && std::getline(csv, line);) {
            if (line.rfind("exact,", 0) != 0) continue;
            const std::string day = line.substr(line.find(',', 6) + 1, 10);  // the local time's "2010-01-03"
            at = expected.find("\r\n", expected.find("/2000 ", at));
            expected.insert(at, " (in life " + format_date(*parse_date(day, 2), order) + ")");
        }
        EXPECT_EQ(listing_in_style(engine), expected) << tz;
    }
}

}  // namespace
}  // namespace tavrolin
