// Runs the real tavrolin-batch program and checks what it prints against the layout rules of the
// listing, not against a stored copy of its output.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/bodies.h"
#include "output/result_time.h"
#include "support/batch_program.h"
#include "window/files/settings_file.h"

namespace tavrolin {
namespace {

namespace fs = std::filesystem;
using testing::lines_of;
using testing::ProgramRun;
using testing::read_file;

class Batch : public testing::BatchProgramTest {
protected:
    Batch() : BatchProgramTest("tavrolin_batch_") {}
};

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
    std::string p1, aspect, third;
    long long seconds = 0;
    std::string date;
    int group = 0;
};

// Checks a listing line by line: "Aspects found:", an empty line before each group, rows
// "P1 aspect P2-or-degree mm/dd/yyyy hh:nn:ss" of ticked bodies and aspects, then in aspects runs
// an empty line, "Within 1 deg. of exact:" and lines "P1 aspect P2: date - date" in `near_date`.
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
    std::vector<Row> rows;
    EXPECT_EQ(lines.at(0), "Aspects found:");
    std::size_t i = 1;
    int group = 0;
    for (bool blank = false; i < lines.size(); ++i) {
        if (lines[i].empty()) {
            EXPECT_FALSE(blank) << "two empty lines at " << i;
            blank = true;
            continue;
        }
        if (lines[i] == "Within 1 deg. of exact:") {
            EXPECT_TRUE(blank && aspects_run);
            break;
        }
        std::smatch m;
        if (!std::regex_match(lines[i], m, row_form)) {
            ADD_FAILURE() << "not a row: " << lines[i];
            continue;
        }
        group += blank ? 1 : 0;
        EXPECT_GT(group, 0) << "no empty line before the first row";
        blank = false;
        rows.push_back({m[1], m[2], m[3], result_seconds(m[4].str()).value_or(-1), m[5], group});
        EXPECT_TRUE(bodies1.count(m[1]) && aspects.count(m[2])) << lines[i];
        EXPECT_TRUE(!aspects_run || bodies2.count(m[3])) << lines[i];
    }
    EXPECT_EQ(i < lines.size(), aspects_run) << "near-miss section";
    for (++i; i < lines.size(); ++i) EXPECT_TRUE(std::regex_match(lines[i], near_form)) << lines[i];
    return rows;
}

// Sorted: time never goes back, each group holds one date and the next group a later one.
void expect_sorted_and_grouped(const std::vector<Row>& rows) {
    for (std::size_t k = 1; k < rows.size(); ++k) {
        EXPECT_LE(rows[k - 1].seconds, rows[k].seconds) << k;
        EXPECT_EQ(rows[k - 1].group == rows[k].group, rows[k - 1].date == rows[k].date) << k;
    }
}

TEST_F(Batch, ExampleIsTheInitialStateAndRuns) {
    EXPECT_EQ(read_file(example), settings_file_text(initial_state()));
    const ProgramRun r = run("'" + example.string() + "'");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    const auto rows = check_listing(r.out, initial_state(), true);
    expect_sorted_and_grouped(rows);
    EXPECT_EQ(r.out.find("not computed"), std::string::npos);
    for (const auto& row : rows) {  // December, local time eight hours behind Universal Time
        EXPECT_TRUE(row.date.rfind("12/", 0) == 0 || row.date == "11/30/2005") << row.date;
    }
}

TEST_F(Batch, SortedAndUnsortedRunsListTheSameRows) {
    ControlValues cv = busy_month();
    const ProgramRun sorted = run(settings("sorted.opt", cv));
    cv.sort_output = 0;
    const ProgramRun unsorted = run(settings("unsorted.opt", cv));
    ASSERT_EQ(sorted.status + unsorted.status, 0) << sorted.err << unsorted.err;

    const auto a = check_listing(sorted.out, cv, true);
    const auto b = check_listing(unsorted.out, cv, true);
    ASSERT_GT(a.size(), 20u);
    expect_sorted_and_grouped(a);
    // Unsorted, a group opens at every change of date between neighbours.
    for (std::size_t k = 1; k < b.size(); ++k)
        EXPECT_EQ(b[k].group - b[k - 1].group, b[k].date != b[k - 1].date ? 1 : 0) << k;
    auto la = lines_of(sorted.out), lb = lines_of(unsorted.out);
    std::multiset<std::string> sa(la.begin(), la.end()), sb(lb.begin(), lb.end());
    sa.erase("");
    sb.erase("");
    EXPECT_EQ(sa, sb);
}

TEST_F(Batch, YearFirstDatesStillListTimesMonthFirst) {
    ControlValues cv = busy_month();
    cv.start_date = "2005/12/01";
    cv.end_date = "2005/12/31";
    cv.natal_date = "1949/09/22";
    const ProgramRun r = run("--date-order 2 " + settings("ymd.opt", cv));
    ASSERT_EQ(r.status, 0) << r.err;
    cv.date_order = 2;
    const auto rows = check_listing(r.out, cv, true, R"(\d{4}/\d\d/\d\d)");
    ASSERT_GT(rows.size(), 20u);
    expect_sorted_and_grouped(rows);
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

TEST_F(Batch, ProgressGoesToStandardErrorAndChangesNothingElse) {
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
}

TEST_F(Batch, BadInputsSayWhatIsWrongAndPrintNothing) {
    std::string short_text = settings_file_text(initial_state());
    short_text.resize(short_text.rfind("False - Solar arc"));
    std::ofstream(dir / "short.opt", std::ios::binary) << short_text;
    ControlValues bad_start = initial_state(), bad_natal = initial_state();
    bad_start.start_date = "12/32/2005";
    bad_natal.natal_date = "1949";
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
        {settings("bad_natal.opt", bad_natal), 1, {"bad_natal.opt", "line 4", "Natal date", "\"1949\""}},
        {"--date-order 1 " + ex, 1, {"default.opt", "End Date", "\"12/31/2005\""}},
        {"", 2, {"no settings file", "Usage:"}},
        {"--frobnicate " + ex, 2, {"--frobnicate", "Usage:"}},
        {ex + " " + ex, 2, {"more than one settings file"}},
        {"--date-order 3 " + ex, 2, {"--date-order"}},
        {"--years-back 123 " + ex, 2, {"--years-back"}},
        {"--angle", 2, {"--angle"}},
        {"--to-spreadsheet --pipe 'a;b' " + ex, 2, {"--pipe"}},
        {"--to-spreadsheet --date-only 2 " + ex, 2, {"--date-only"}},
        {"--to-spreadsheet --report longitude " + ex, 2, {"--report"}},
    };
    for (const auto& c : cases) {
        const ProgramRun r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args;
        EXPECT_EQ(r.out, "") << c.args;
        for (const auto& text : c.in_stderr) EXPECT_NE(r.err.find(text), std::string::npos) << c.args << "\n" << r.err;
    }
    const ProgramRun help = run("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: tavrolin-batch", 0), 0u);
}

}  // namespace
}  // namespace tavrolin
