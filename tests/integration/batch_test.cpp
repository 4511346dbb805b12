// Runs the real tavrolin-batch program and checks what it prints against the layout rules of the
// listing, not against a stored copy of its output.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/bodies.h"
#include "engine/date_text.h"
#include "window/files/settings_file.h"

extern char** environ;

namespace tavrolin {
namespace {

namespace fs = std::filesystem;

struct ProgramRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class Batch : public ::testing::Test {
protected:
    fs::path dir;
    fs::path program = fs::path(TAVROLIN_BIN_DIR) / "tavrolin-batch";

    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("tavrolin_batch_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    ProgramRun run(const std::vector<std::string>& args, const fs::path& exe = {}) {
        const fs::path binary = exe.empty() ? program : exe;
        const std::string out_path = (dir / "stdout.txt").string();
        const std::string err_path = (dir / "stderr.txt").string();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<std::string> argv_text = {binary.string()};
        argv_text.insert(argv_text.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : argv_text) argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        ProgramRun result;
        const int rc = posix_spawn(&pid, binary.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) {
            ADD_FAILURE() << "cannot start " << binary;
            return result;
        }
        int wstatus = 0;
        waitpid(pid, &wstatus, 0);
        result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
        result.out = read_file(out_path);
        result.err = read_file(err_path);
        return result;
    }

    std::string settings(const std::string& name, const ControlValues& cv) {
        const auto path = (dir / name).string();
        std::string error;
        EXPECT_TRUE(save_settings_file(path, cv, &error)) << error;
        return path;
    }
};

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream s(text);
    for (std::string line; std::getline(s, line);) lines.push_back(line);
    return lines;
}

int index_in(const std::string& caption, int last, auto caption_of) {
    for (int i = 0; i <= last; ++i)
        if (caption_of(i) == caption) return i;
    return -1;
}

struct Listing {
    struct Row {
        int p1 = -1, aspect = -1, p2 = -1;
        std::string third;
        CivilDate date;
        long long seconds = 0;
        int group = 0;
    };
    std::vector<Row> rows;
    std::vector<std::string> near_misses;
    bool has_near_miss_section = false;
};

// Reads a listing, failing the test at every line that breaks the layout: the heading, an empty
// line before each group, rows "P1 aspect P2-or-degree mm/dd/yyyy hh:nn:ss", then (aspects
// runs) an empty line, the near-miss heading and its lines.
Listing parse_listing(const std::string& out, const ControlValues& cv, int calc_kind) {
    Listing listing;
    EXPECT_EQ(out.find('\r'), std::string::npos) << "platform line ends expected";
    const auto lines = lines_of(out);
    EXPECT_FALSE(lines.empty());
    if (lines.empty()) return listing;
    EXPECT_EQ(lines[0], "Aspects found:");
    static const std::regex row_form(R"(^(.+) (\S+) (.+) (\d\d)/(\d\d)/(\d\d\d\d) (\d\d):(\d\d):(\d\d)$)");
    static const std::regex near_form(R"(^(.+) (\S+) (.+): (\S+) - (\S+)$)");
    std::size_t i = 1;
    int group = 0;
    bool blank_before = false;
    for (; i < lines.size(); ++i) {
        if (lines[i].empty()) {
            EXPECT_FALSE(blank_before) << "two empty lines at " << i;
            blank_before = true;
            continue;
        }
        if (lines[i] == "Within 1 deg. of exact:") break;
        std::smatch m;
        if (!std::regex_match(lines[i], m, row_form)) {
            ADD_FAILURE() << "not a row: " << lines[i];
            continue;
        }
        if (blank_before) ++group;
        EXPECT_TRUE(group > 0) << "no empty line before the first row";
        blank_before = false;
        Listing::Row row;
        row.p1 = index_in(m[1], last_body_index, [](int b) { return std::string(body_captions[b]); });
        row.aspect = index_in(m[2], last_aspect_index, [&](int a) { return cv.aspect_caption(a); });
        row.third = m[3];
        if (calc_kind == 1) row.p2 = index_in(m[3], last_body_index, [](int b) { return std::string(body_captions[b]); });
        const auto date = parse_date(m[4].str() + "/" + m[5].str() + "/" + m[6].str(), date_order_mdy);
        EXPECT_TRUE(date.has_value()) << lines[i];
        if (date) row.date = *date;
        row.seconds = days_from_civil(row.date) * 86400 + std::stoi(m[7]) * 3600 + std::stoi(m[8]) * 60 + std::stoi(m[9]);
        row.group = group;
        EXPECT_GE(row.p1, 0) << lines[i];
        EXPECT_GE(row.aspect, 0) << lines[i];
        if (row.p1 >= 0) {
            EXPECT_EQ(cv.p1_planets[row.p1], 1) << lines[i];
        }
        if (row.aspect >= 0) {
            EXPECT_EQ(cv.aspects[row.aspect], 1) << lines[i];
        }
        if (calc_kind == 1) {
            EXPECT_GE(row.p2, 0) << lines[i];
            if (row.p2 >= 0) {
                EXPECT_EQ(cv.p2_planets[row.p2], 1) << lines[i];
            }
        }
        listing.rows.push_back(row);
    }
    if (i < lines.size()) {
        listing.has_near_miss_section = true;
        EXPECT_TRUE(blank_before) << "no empty line before the near-miss section";
        for (++i; i < lines.size(); ++i) {
            std::smatch m;
            EXPECT_TRUE(std::regex_match(lines[i], m, near_form)) << "not a near-miss line: " << lines[i];
            listing.near_misses.push_back(lines[i]);
        }
    } else {
        EXPECT_FALSE(blank_before) << "the listing ends with an empty line";
    }
    return listing;
}

// Sorted: time never goes back, each group holds one date and the next group a later date.
void expect_sorted_and_grouped(const Listing& listing) {
    for (std::size_t k = 1; k < listing.rows.size(); ++k) {
        const auto& a = listing.rows[k - 1];
        const auto& b = listing.rows[k];
        EXPECT_LE(a.seconds, b.seconds) << "row " << k;
        if (a.group == b.group) {
            EXPECT_EQ(a.date, b.date) << "row " << k;
        } else {
            EXPECT_NE(a.date, b.date) << "row " << k;
        }
    }
}

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

TEST_F(Batch, ExampleFileIsTheWindowsInitialState) {
    EXPECT_EQ(read_file(fs::path(TAVROLIN_SOURCE_DIR) / "examples" / "default.opt"),
              settings_file_text(initial_state()));
}

TEST_F(Batch, FirstRunOfTheExample) {
    const ProgramRun r = run({(fs::path(TAVROLIN_SOURCE_DIR) / "examples" / "default.opt").string()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    const ControlValues cv = initial_state();
    const Listing listing = parse_listing(r.out, cv, 1);
    EXPECT_TRUE(listing.has_near_miss_section);
    EXPECT_EQ(r.out.find("not computed"), std::string::npos);
    expect_sorted_and_grouped(listing);
    // Local times of a December scan, eight hours behind Universal Time.
    for (const auto& row : listing.rows) {
        EXPECT_TRUE((row.date.year == 2005 && row.date.month == 12) ||
                    (row.date == CivilDate{2005, 11, 30}) || (row.date == CivilDate{2006, 1, 1}));
    }
}

TEST_F(Batch, SortedAndUnsortedRunsListTheSameRows) {
    ControlValues cv = busy_month();
    const ProgramRun sorted = run({settings("sorted.opt", cv)});
    cv.sort_output = 0;
    const ProgramRun unsorted = run({settings("unsorted.opt", cv)});
    ASSERT_EQ(sorted.status, 0) << sorted.err;
    ASSERT_EQ(unsorted.status, 0) << unsorted.err;

    const Listing a = parse_listing(sorted.out, cv, 1);
    const Listing b = parse_listing(unsorted.out, cv, 1);
    ASSERT_GT(a.rows.size(), 20u);
    expect_sorted_and_grouped(a);
    // Unsorted rows come pair by pair: P1 index never goes back; with "Ignore duplicates" every
    // pair has its P2 index above its P1 index.
    for (std::size_t k = 0; k < b.rows.size(); ++k) {
        EXPECT_LT(b.rows[k].p1, b.rows[k].p2);
        if (k > 0) {
            EXPECT_LE(b.rows[k - 1].p1, b.rows[k].p1);
        }
    }
    std::multiset<std::string> rows_a, rows_b;
    for (const auto& l : lines_of(sorted.out)) rows_a.insert(l);
    for (const auto& l : lines_of(unsorted.out)) rows_b.insert(l);
    rows_a.erase("");
    rows_b.erase("");
    EXPECT_EQ(rows_a, rows_b);
    // The unsorted listing opens a group at every change of date between neighbours.
    int groups = 0;
    for (std::size_t k = 0; k < b.rows.size(); ++k) {
        if (k == 0 || b.rows[k].date != b.rows[k - 1].date) ++groups;
        EXPECT_EQ(b.rows[k].group, groups);
    }
}

TEST_F(Batch, YearFirstDatesStillListTimesMonthFirst) {
    ControlValues cv = busy_month();
    cv.start_date = "2005/12/01";
    cv.end_date = "2005/12/31";
    cv.natal_date = "1949/09/22";
    const ProgramRun r = run({"--date-order", "2", settings("ymd.opt", cv)});
    ASSERT_EQ(r.status, 0) << r.err;
    cv.date_order = 2;
    const Listing listing = parse_listing(r.out, cv, 1);
    ASSERT_GT(listing.rows.size(), 20u);
    expect_sorted_and_grouped(listing);
    ASSERT_FALSE(listing.near_misses.empty());
    for (const auto& line : listing.near_misses)
        EXPECT_TRUE(std::regex_search(line, std::regex(R"(: \d{4}/\d\d/\d\d - \d{4}/\d\d/\d\d$)"))) << line;
}

TEST_F(Batch, DegreeRunListsTheDegreeAndNoNearMisses) {
    ControlValues cv = initial_state();
    cv.p1_planets.fill(0);
    cv.p1_planets[1] = 1;  // the Moon passes every degree within a month
    cv.zodiac_degree = "100.1234567";
    const ProgramRun r = run({"--degree", "--angle", "33", settings("degree.opt", cv)});
    ASSERT_EQ(r.status, 0) << r.err;
    cv.user_defined_angle = "33";
    const Listing listing = parse_listing(r.out, cv, 0);
    EXPECT_FALSE(listing.has_near_miss_section);
    ASSERT_FALSE(listing.rows.empty());
    for (const auto& row : listing.rows) {
        EXPECT_EQ(row.p1, 1);
        EXPECT_EQ(row.third, "100.123");
    }
}

TEST_F(Batch, BodyWithoutEphemerisFileIsNamed) {
    // A copy of the program without the asteroid files beside it.
    const fs::path lonely = dir / "tavrolin-batch";
    fs::copy_file(program, lonely);
    ControlValues cv = busy_month();
    cv.p2_planets[21] = 1;  // Eris, paired with the P1 bodies below it
    const ProgramRun r = run({settings("eris.opt", cv)}, lonely);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto lines = lines_of(r.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().rfind("Eris: position not computed: ", 0), 0u) << lines.back();
    EXPECT_EQ(r.out.find("Eris", 0), r.out.find("Eris: position not computed")) << "Eris listed in a row";
}

TEST_F(Batch, BadInputsSayWhatIsWrongAndPrintNothing) {
    std::string short_text = settings_file_text(initial_state());
    short_text.resize(short_text.rfind("False - Solar arc"));
    const std::string short_path = (dir / "short.opt").string();
    std::ofstream(short_path, std::ios::binary) << short_text;

    ControlValues bad_start = initial_state();
    bad_start.start_date = "12/32/2005";
    ControlValues bad_natal = initial_state();
    bad_natal.natal_date = "1949";
    const std::string missing = (dir / "missing.opt").string();
    const std::string example = (fs::path(TAVROLIN_SOURCE_DIR) / "examples" / "default.opt").string();

    struct Case {
        std::vector<std::string> args;
        int status;
        std::vector<std::string> in_stderr;
    };
    const std::vector<Case> cases = {
        {{missing}, 1, {missing, "cannot be read"}},
        {{short_path}, 1, {short_path, "80 lines"}},
        {{settings("bad_start.opt", bad_start)}, 1, {"bad_start.opt", "line 1", "Start Date", "\"12/32/2005\""}},
        {{settings("bad_natal.opt", bad_natal)}, 1, {"bad_natal.opt", "line 4", "Natal date", "\"1949\""}},
        {{"--date-order", "1", example}, 1, {"default.opt", "End Date", "\"12/31/2005\""}},
        {{}, 2, {"no settings file", "Usage:"}},
        {{"--frobnicate", example}, 2, {"--frobnicate", "Usage:"}},
        {{example, example}, 2, {"more than one settings file"}},
        {{"--date-order", "3", example}, 2, {"--date-order"}},
        {{"--years-back", "123", example}, 2, {"--years-back"}},
        {{"--angle"}, 2, {"--angle"}},
    };
    for (const auto& c : cases) {
        const ProgramRun r = run(c.args);
        std::string shown;
        for (const auto& a : c.args) shown += a + " ";
        EXPECT_EQ(r.status, c.status) << shown;
        EXPECT_EQ(r.out, "") << shown;
        for (const auto& text : c.in_stderr) EXPECT_NE(r.err.find(text), std::string::npos) << shown << "\n" << r.err;
    }
}

TEST_F(Batch, HelpGoesToStandardOutput) {
    const ProgramRun r = run({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.rfind("Usage: tavrolin-batch", 0), 0u);
    for (const char* option : {"--degree", "--angle", "--years-back", "--date-order"})
        EXPECT_NE(r.out.find(option), std::string::npos) << option;
}

}  // namespace
}  // namespace tavrolin
