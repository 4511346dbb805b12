#include "output/results_export.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "support/fake_swe.h"
#include "support/temp_folder.h"

namespace tavrolin {
namespace {

// Mars square Saturn; the user-defined aspect (15) between the Sun and the Moon.
const ResultRow mars_square_saturn = {"4", "7", "6", "12/05/2026 14:30:00", "0.5000", "253.4912", "163.4866", "1",
                                      "0.6", "-0.05", "-21.493", "-5.318"};
const ResultRow sun_user_moon = {"0", "15", "1", "01/11/2000 07:00:00", "1.0100", "250.1", "100.2", "0", "1.01", "0",
                                 "-22.444", "-22.446"};

class ResultsExport : public testing::TempFolderTest {
protected:
    testing::ScanSetup s;
    Engine& engine = s.engine;

    void run_with(std::vector<ResultRow> rows, int mode, const std::string& tz) {
        engine.result_table.assign(1, ResultRow{});
        for (auto& row : rows) engine.result_table.push_back(std::move(row));
        engine.result_count = static_cast<int>(engine.result_table.size()) - 1;
        engine.last_run.cv.tz = tz;
        engine.last_run.cv.select_mode(mode);
        engine.last_run.natal_jd = 2451545.0;  // 01/01/2000 12:00 UT
    }
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

// The exact moment in UTC and local time, from half-hour zones and zone names too (the moments in
// life of the progressed modes are checked by export_check.py against the listing).
TEST_F(ResultsExport, MomentsInUniversalAndLocalTime) {
    struct Case { std::string tz, row_time; double exact_jd; std::string csv_times, dtstart; };  // utc,local,row_time
    const std::string dec5 = "12/05/2026 14:30:00", oct27 = "10/27/2024 01:10:00";
    const Case cases[] = {
        {"-3.5", dec5, 0, "2026-12-05T11:00:00,2026-12-05T14:30:00,2026-12-05T14:30:00", "20261205T110000Z"},
        {"America/New_York", dec5, 0, "2026-12-05T19:30:00,2026-12-05T14:30:00,2026-12-05T14:30:00", "20261205T193000Z"},
        // The hour repeated when British clocks go back: the row's own moment tells which 01:10 it is.
        {"Europe/London", oct27, 0, "2024-10-27T00:10:00,2024-10-27T01:10:00,2024-10-27T01:10:00", "20241027T001000Z"},
        {"Europe/London", oct27, 2460610.5 + 70.0 / 1440.0, "2024-10-27T01:10:00,2024-10-27T01:10:00,2024-10-27T01:10:00",
         "20241027T011000Z"},
    };
    for (const Case& c : cases) {
        ResultRow row = mars_square_saturn;
        row.set(3, c.row_time);
        row.exact_jd = c.exact_jd;
        run_with({row}, 0, c.tz);
        EXPECT_NE(text(ExportFormat::csv).find("\r\nexact," + c.csv_times + ",,,Mars,090,Saturn,0.5000,253.4912,"
                                                                          "163.4866,1,0.6,-0.05,-21.493,-5.318,transit to "),
                  std::string::npos)
            << c.tz;
        EXPECT_NE(text(ExportFormat::icalendar).find("DTSTART:" + c.dtstart + "\r\n"), std::string::npos) << c.tz;
    }
}

// Texts the user typed reach the file escaped by each format's rules and come back unchanged.
TEST_F(ResultsExport, TypedTextsSurviveEachFormatsEscaping) {
    run_with({sun_user_moon, mars_square_saturn}, 0, "0");
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
// whatever else the run found); another natal moment or pair gives another.
TEST_F(ResultsExport, UidsNameTheEvent) {
    auto uid_of_first = [&] {
        const std::string ics = text(ExportFormat::icalendar);
        const auto at = ics.find("UID:");
        return ics.substr(at, ics.find("\r\n", at) - at);
    };
    run_with({mars_square_saturn}, 0, "0");
    const std::string uid = uid_of_first();
    ResultRow shifted = mars_square_saturn;
    shifted.set(3, "12/05/2026 19:30:00");
    run_with({shifted}, 0, "-5");
    EXPECT_EQ(uid_of_first(), uid);
    run_with({mars_square_saturn}, 0, "0");
    engine.last_run.natal_jd += 1.0;
    EXPECT_NE(uid_of_first(), uid);
    run_with({sun_user_moon, mars_square_saturn}, 0, "0");
    EXPECT_NE(uid_of_first(), uid);
}

TEST_F(ResultsExport, NothingToExportOrAFailedWriteIsReported) {
    run_with({}, 0, "0");
    int pieces = 0;
    const auto count = [&](std::string_view) { ++pieces; return true; };
    ExportOutcome outcome = export_results(engine, ExportFormat::icalendar, count, 0);
    EXPECT_EQ(std::pair(outcome.ok, outcome.error), std::pair(false, std::string("the last calculation found nothing to export")));
    run_with({mars_square_saturn}, 0, "1e308");
    outcome = export_results(engine, ExportFormat::csv, count, 0);
    EXPECT_FALSE(outcome.ok);
    EXPECT_NE(outcome.error.find("\"1e308\""), std::string::npos);
    EXPECT_EQ(pieces, 0);

    run_with({mars_square_saturn, sun_user_moon}, 0, "0");
    for (ExportFormat format : {ExportFormat::icalendar, ExportFormat::csv}) {
        outcome = export_results(engine, format, [](std::string_view) { return false; }, 0);
        EXPECT_EQ(std::pair(outcome.ok, outcome.events), std::pair(false, 0));
    }
    EXPECT_EQ(export_format_for("/a.b/Results.ICS"), ExportFormat::icalendar);
    EXPECT_EQ(export_format_for("r.csv"), ExportFormat::csv);
    EXPECT_EQ(export_format_for("/a.csv/results"), std::nullopt);
}

}  // namespace
}  // namespace tavrolin
