// Runs the real tavrolin-batch program: its listings checked against the layout rules and the
// ticked bodies and aspects (not against a stored copy), its natal reports against the library's
// positions, its options and exit statuses.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include <swephexp.h>

#include "engine/bodies.h"
#include "output/result_time.h"
#include "support/batch_program.h"

namespace tavrolin {
namespace {

namespace fs = std::filesystem;
using testing::lines_of;
using testing::ProgramRun;

class Batch : public testing::BatchProgramTest {};

const fs::path example = fs::path(TAVROLIN_SOURCE_DIR) / "examples" / "default.opt";

ControlValues initial_state() {
    ControlValues cv;
    cv.natal_date = "09/22/1949";
    return cv;
}

// Fast bodies in December 2005, transit to transit: many rows on many dates.
ControlValues busy_month() {
    ControlValues cv = initial_state();
    cv.p1_planets.fill(0);
    cv.p2_planets.fill(0);
    for (int b : {0, 1, 2, 3, 4, 5}) cv.p1_planets[b] = cv.p2_planets[b] = 1;
    cv.select_mode(1);
    return cv;
}

struct Row {
    std::string p1, aspect, third, date;
    long long seconds = 0;
};

// Checks a listing line by line: "Aspects found:", rows "P1 aspect P2-or-degree mm/dd/yyyy hh:nn:ss"
// of ticked bodies and aspects (in time order when sorted), then in aspects runs "Within 1 deg. of
// exact:" and lines "P1 aspect P2: date - date" with dates in `near_date`.
std::vector<Row> check_listing(const std::string& out, const ControlValues& cv, bool aspects_run,
                               const std::string& near_date = R"(\d\d/\d\d/\d{4})") {
    EXPECT_EQ(out.find('\r'), std::string::npos);
    std::set<std::string> bodies1, bodies2, aspects;
    for (int b = 0; b <= last_body_index; ++b) {
        if (cv.p1_planets[b]) bodies1.insert(cv.body_caption(b));
        if (cv.p2_planets[b]) bodies2.insert(cv.body_caption(b));
    }
    for (int a = 0; a <= last_aspect_index; ++a)
        if (cv.aspects[a]) aspects.insert(cv.aspect_caption(a));
    const std::regex row_form(R"((.+) (\S+) (.+) ((\d\d/\d\d/\d{4}) \d\d:\d\d:\d\d))");
    const std::regex near_form("(.+) (\\S+) (.+): " + near_date + " - " + near_date);
    const auto lines = lines_of(out);
    EXPECT_EQ(lines.at(0), "Aspects found:");
    std::vector<Row> rows;
    std::size_t i = 1;
    for (; i < lines.size() && lines[i] != "Within 1 deg. of exact:"; ++i) {
        std::smatch m;
        if (lines[i].empty()) continue;
        if (!std::regex_match(lines[i], m, row_form)) {
            ADD_FAILURE() << "not a row: " << lines[i];
            continue;
        }
        rows.push_back({m[1], m[2], m[3], m[5], result_seconds(m[4].str()).value_or(-1)});
        EXPECT_TRUE(bodies1.count(m[1]) && aspects.count(m[2])) << lines[i];
        EXPECT_TRUE(!aspects_run || bodies2.count(m[3])) << lines[i];
        if (cv.sort_output && rows.size() > 1) {
            EXPECT_LE(rows[rows.size() - 2].seconds, rows.back().seconds) << lines[i];
        }
    }
    EXPECT_EQ(i < lines.size(), aspects_run) << "near-miss section";
    for (++i; i < lines.size(); ++i) EXPECT_TRUE(std::regex_match(lines[i], near_form)) << lines[i];
    return rows;
}

std::vector<std::string> rows_only(const std::string& out) {
    auto lines = lines_of(out);
    lines.resize(std::find(lines.begin(), lines.end(), "Within 1 deg. of exact:") - lines.begin());
    return lines;
}

TEST_F(Batch, ExampleIsTheInitialStateAndRuns) {
    EXPECT_EQ(testing::read_file(example), settings_file_text(initial_state()));
    const ProgramRun r = run("'" + example.string() + "'");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    const auto rows = check_listing(r.out, initial_state(), true);
    EXPECT_EQ(r.out.find("not computed"), std::string::npos);
    for (const auto& row : rows)  // December, local time eight hours behind Universal Time
        EXPECT_TRUE(row.date.rfind("12/", 0) == 0 || row.date == "11/30/2005") << row.date;
}

TEST_F(Batch, UnsortedAndYearFirstRunsListTheSameRows) {
    ControlValues cv = busy_month();
    const ProgramRun sorted = run(settings("sorted.opt", cv));
    ASSERT_GT(check_listing(sorted.out, cv, true).size(), 20u);
    cv.sort_output = 0;
    const ProgramRun unsorted = run(settings("unsorted.opt", cv));
    check_listing(unsorted.out, cv, true);
    EXPECT_NE(rows_only(unsorted.out), rows_only(sorted.out));
    auto la = lines_of(sorted.out), lb = lines_of(unsorted.out);
    std::multiset<std::string> sa(la.begin(), la.end()), sb(lb.begin(), lb.end());
    sa.erase("");
    sb.erase("");
    EXPECT_EQ(sa, sb);

    // Dates read year first: the rows' times are still written month first, the near misses not.
    cv.sort_output = 1;
    cv.start_date = "2005/12/01";
    cv.end_date = "2005/12/31";
    cv.natal_date = "1949/09/22";
    const ProgramRun ymd = run("--date-order 2 " + settings("ymd.opt", cv));
    ASSERT_EQ(sorted.status + unsorted.status + ymd.status, 0) << sorted.err << unsorted.err << ymd.err;
    cv.date_order = 2;
    check_listing(ymd.out, cv, true, R"(\d{4}/\d\d/\d\d)");
    EXPECT_EQ(rows_only(ymd.out), rows_only(sorted.out));
}

TEST_F(Batch, DegreeRunListsTheDegreeAndNoNearMisses) {
    ControlValues cv = initial_state();
    cv.p1_planets.fill(0);
    cv.p1_planets[1] = 1;  // the Moon passes every degree within a month
    cv.zodiac_degree = "100.1234567";
    const ProgramRun r = run("--degree --angle 33 " + settings("degree.opt", cv));
    ASSERT_EQ(r.status, 0) << r.err;
    cv.user_defined_angle = "33";
    const auto rows = check_listing(r.out, cv, false);
    ASSERT_FALSE(rows.empty());
    for (const auto& row : rows) EXPECT_EQ(row.third, "100.123");
}

// Quill adds a sign and a declination to each body of a row, Lunetta two positions and three
// phases after it; every other line is that of the default listing.
TEST_F(Batch, StylesAddToEachRowOfTheDefaultListing) {
    const std::string file = settings("busy.opt", busy_month());
    const auto d = lines_of(run(file).out), q = lines_of(run("--style quill " + file).out),
               l = lines_of(run("--style lunetta " + file).out);
    ASSERT_GT(d.size(), 20u);
    ASSERT_EQ(q.size(), d.size());
    ASSERT_EQ(l.size(), d.size());
    const std::regex row(R"(.+ \d\d/\d\d/\d{4} \d\d:\d\d:\d\d)");
    const std::regex quill_fields(R"(\S+ \(\w{3} = -?\d+\.\d\d\) \S+ \S+ \(\w{3} = -?\d+\.\d\d\) .+)");
    const std::regex lunetta_tail(R"((   -?\d+\.\d\d){2}(   -?1|    )(   -?1){2})");
    for (std::size_t i = 0; i < d.size(); ++i) {
        const bool is_row = std::regex_match(d[i], row);
        EXPECT_EQ(std::regex_match(q[i], quill_fields), is_row) << q[i];
        EXPECT_EQ(std::regex_replace(q[i], std::regex(R"( \(\w{3} = -?\d+\.\d\d\))"), ""), d[i]);
        EXPECT_EQ(l[i].substr(0, d[i].size()), d[i]);
        EXPECT_EQ(std::regex_match(l[i].substr(std::min(d[i].size(), l[i].size())), lunetta_tail), is_row) << l[i];
    }
}

// The bodies of the reports, a blank line as -1.
TEST_F(Batch, NatalReportsShowTheLibrarysPositions) {
    ControlValues cv = initial_state();
    const std::string file = settings("natal.opt", cv);
    cv.p2_helio = 1;
    const std::string helio_file = settings("helio.opt", cv);
    const std::vector<int> geocentric = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, -1, 10, 11, 12, 13, -1, 15, 16, -1, 17, 18, 19, 20, 21, 22};
    const std::vector<int> heliocentric = {2, 3, 4, 5, 6, 7, 8, 9, -1, 14, -1, 15, 16, -1, 17, 18, 19, 20, 21, 22};
    struct Case {
        std::string args;
        std::size_t width;
        int flags, element;  // of the library call that gives the value
        const std::vector<int>& bodies;
    };
    const Case cases[] = {
        {"--report longitude " + file, 41, 0, 0, geocentric},
        {"--report sidereal " + file, 41, SEFLG_SIDEREAL, 0, geocentric},
        {"--report decl " + file, 34, SEFLG_EQUATORIAL, 1, geocentric},
        {"--report decl " + helio_file, 34, SEFLG_HELCTR, 1, heliocentric},
    };
    swe_set_ephe_path(const_cast<char*>(TAVROLIN_BIN_DIR "/ephe:/usr/share/libswe/ephe"));
    swe_set_sid_mode(SE_SIDM_LAHIRI, 0, 0);
    // 22 September 1949, "16.43" GMT, as the program takes it (hours in single precision).
    const float t = 16.43f;
    const float hours = std::trunc(t) + (t - std::trunc(t)) * 100.0f / 60.0f;
    const double jd = swe_julday(1949, 9, 22, 0.0, SE_GREG_CAL) + static_cast<double>(hours) / 24.0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const ProgramRun r = run(c.args);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        const auto lines = lines_of(r.out);
        ASSERT_EQ(lines.size(), c.bodies.size());
        for (std::size_t k = 0; k < lines.size(); ++k) {
            if (c.bodies[k] < 0) {
                EXPECT_EQ(lines[k], "") << k;
                continue;
            }
            ASSERT_EQ(lines[k].size(), c.width) << lines[k];
            double xx[6];
            char serr[AS_MAXCH];
            swe_calc(jd + swe_deltat(jd), body_number(c.bodies[k]), SEFLG_SWIEPH | SEFLG_SPEED | c.flags, xx, serr);
            EXPECT_NEAR(std::stod(lines[k].substr(c.width - 14, 11)), xx[c.element], c.width == 41 ? 1.5e-6 : 1.5e-5)
                << lines[k];
        }
    }
}

TEST_F(Batch, BodyWithoutEphemerisFileIsNamed) {
    // A copy of the program without the asteroid files beside it.
    fs::copy_file(fs::path(TAVROLIN_BIN_DIR) / "tavrolin-batch", dir / "tavrolin-batch");
    ControlValues cv = busy_month();
    cv.p2_planets[21] = 1;  // Eris, paired with the P1 bodies below it
    const ProgramRun r = run(settings("eris.opt", cv), dir / "tavrolin-batch");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lines_of(r.out).back().rfind("Eris: position not computed: ", 0), 0u) << r.out;
    EXPECT_EQ(r.out.find("Eris"), r.out.find("Eris: position not computed")) << "Eris listed in a row";
}

TEST_F(Batch, ProgressAndAFailedCopyGoToStandardErrorAfterTheListing) {
    const std::string file = settings("busy.opt", busy_month());
    const ProgramRun quiet = run(file);
    const ProgramRun told = run("--progress " + file);
    ASSERT_EQ(quiet.status + told.status, 0) << told.err;
    EXPECT_EQ(told.out, quiet.out);
    const std::regex form(R"(tavrolin-batch: (\d+)% done)");
    int last = -1;
    for (const auto& line : lines_of(told.err)) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, form)) << line;
        EXPECT_GT(std::stoi(m[1]), last) << line;
        last = std::stoi(m[1]);
    }
    EXPECT_EQ(last, 100);
    // No spreadsheet on the pipe: the listing all the same, then the failure.
    const ProgramRun copy = run("--to-spreadsheet --pipe tavrolin-test-nobody " + file);
    EXPECT_EQ(copy.status, 1);
    EXPECT_EQ(copy.out, quiet.out);
    EXPECT_NE(copy.err.find("spreadsheet"), std::string::npos) << copy.err;
}

TEST_F(Batch, BadInputsSayWhatIsWrongAndPrintNothing) {
    std::string short_text = settings_file_text(initial_state());
    short_text.resize(short_text.rfind("False - Solar arc"));
    std::ofstream(dir / "short.opt", std::ios::binary) << short_text;
    ControlValues bad_start = initial_state(), bad_natal = initial_state(), bad_zone = initial_state();
    bad_zone.tz = "Mars/Olympus";
    ControlValues far_zone = initial_state(), far_time = initial_state();
    far_zone.tz = "1e8";
    far_time.natal_time = "1e308";  // crashed the library
    ControlValues far_progressed = far_time;
    far_progressed.natal_time = "-1e30";  // a progressed scan that never ended
    far_progressed.select_mode(2);
    bad_start.start_date = "12/32/2005";
    bad_natal.natal_date = "22/09/1949";
    const std::string ex = "'" + example.string() + "'";
    struct Case {
        std::string args;
        int status;
        std::vector<std::string> in_stderr;
    };
    const std::vector<Case> cases = {
        {"'" + (dir / "missing.opt").string() + "'", 1, {"missing.opt", "cannot be read"}},
        {"'" + (dir / "short.opt").string() + "'", 1, {"short.opt", "80 lines"}},
        {settings("bad_start.opt", bad_start), 1, {"bad_start.opt", "line 1", "Start Date", "\"12/32/2005\""}},
        {"--report longitude " + settings("bad_natal.opt", bad_natal), 1,
         {"line 4, Natal date: \"22/09/1949\" is not a date"}},
        {"--date-order 1 " + ex, 1, {"default.opt", "End Date", "\"12/31/2005\""}},
        {settings("bad_zone.opt", bad_zone), 1, {"line 6, Time Zone: \"Mars/Olympus\" is not a time zone name"}},
        {settings("far_zone.opt", far_zone), 1, {"line 6, Time Zone: \"1e8\" is not a number of hours from -24 to 24"}},
        {settings("far_time.opt", far_time), 1, {"line 5, Natal time (GMT): \"1e308\" is not a time"}},
        {"--report decl " + settings("far_time2.opt", far_time), 1, {"line 5, Natal time (GMT): \"1e308\""}},
        {settings("far_progressed.opt", far_progressed), 1, {"line 5, Natal time (GMT): \"-1e30\""}},
        {"--local-birth-time '03/31/2024 01:30 Europe/London'", 1, {"did not occur in Europe/London"}},
        {"--local-birth-time '03/31/2024 1:30'", 1, {"give a date, a local time hh:mm and a zone name"}},
        {"", 2, {"no settings file", "Usage:"}},
        {"--frobnicate " + ex, 2, {"--frobnicate", "Usage:"}},
        {ex + " " + ex, 2, {"more than one settings file"}},
        {"--years-back 123 " + ex, 2, {"--years-back"}},
        {"--angle", 2, {"--angle needs a value"}},
        {"--style fancy " + ex, 2, {"--style \"fancy\""}},
        {"--report ecliptic " + ex, 2, {"--report \"ecliptic\""}},
        {"--to-spreadsheet --pipe 'a;b' " + ex, 2, {"--pipe"}},
        {"--to-spreadsheet --report longitude " + ex, 2, {"--report"}},
        {"--export '" + (dir / "out.txt").string() + "' " + ex, 1, {"out.txt", "must end in .ics (iCalendar) or .csv"}},
        {"--export - " + ex, 2, {"--export - needs --format"}},
        {"--format csv --export out.csv " + ex, 2, {"--format goes with --export -"}},
        {"--export out.ics --report longitude " + ex, 2, {"--report"}},
    };
    for (const auto& c : cases) {
        const ProgramRun r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args;
        EXPECT_EQ(r.out, "") << c.args;
        for (const auto& text : c.in_stderr) EXPECT_NE(r.err.find(text), std::string::npos) << c.args << "\n" << r.err;
    }
    // A range at the calendar's edge: what would fall before the year 0100 is counted, not listed.
    ControlValues edge = initial_state();
    edge.start_date = "01/01/0100";
    edge.end_date = "01/03/0100";
    edge.tz = "24";
    const ProgramRun early = run(settings("edge.opt", edge));
    EXPECT_EQ(early.status, 0);
    EXPECT_NE(early.out.find(" results fell on dates outside the years 0100 to 9999 and are not listed."), std::string::npos);
    for (const char* year_99 : {"/99 ", "/0099 "}) EXPECT_EQ(early.out.find(year_99), std::string::npos) << early.out;
    // A file that cannot be written: the listing stands, the export says why and leaves nothing.
    const ProgramRun unwritable = run("--export '" + (dir / "missing" / "out.ics").string() + "' " + ex);
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_NE(unwritable.out.find("Jupiter 060 Saturn"), std::string::npos);
    EXPECT_NE(unwritable.err.find("missing/out.ics"), std::string::npos) << unwritable.err;
    EXPECT_FALSE(fs::exists(dir / "missing"));
    EXPECT_FALSE(fs::exists(dir / "out.txt"));
    // The birth time converter: Greenwich date and natal time, both answers of a repeated hour.
    EXPECT_EQ(run("--local-birth-time '09/22/1949 17:43 Europe/London'").out, "09/22/1949 16.43 (BST, UT+1)\n");
    EXPECT_EQ(run("--date-order 1 --local-birth-time '27/10/2024 01:30 Europe/London'").out,
              "27/10/2024 0.30 (BST, UT+1)\n27/10/2024 1.30 (GMT, UT+0)\n");
    const ProgramRun help = run("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: tavrolin-batch", 0), 0u);
}

}  // namespace
}  // namespace tavrolin
