// Runs the real tavrolin-batch program: its listings are what the engine and the output layer make
// of the same values in this process (their texts are checked by their own tests), its natal
// reports hold the library's positions, and its options and exit statuses are checked here.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>
#include <tuple>
#include <string>
#include <vector>

#include <swephexp.h>

#include "engine/bodies.h"
#include "engine/input_field.h"
#include "engine/parallel_scan.h"
#include "engine/text_rules.h"
#include "files/atlas.h"
#include "output/calculation_command.h"
#include "support/batch_program.h"
#include "support/control_values.h"

namespace tavrolin {
namespace {

namespace fs = std::filesystem;
using testing::initial_state;
using testing::lines_of;
using testing::ProgramRun;

class Batch : public testing::BatchProgramTest {};

const fs::path example = fs::path(TAVROLIN_SOURCE_DIR) / "examples" / "default.opt";

// The listing made in this process, with the ephemeris files beside the program, as it finds them.
std::string listing_of(ControlValues cv, int calc_kind) {
    set_ephemeris_path(TAVROLIN_BIN_DIR);
    LibSwe api;
    Ephemeris eph(api);
    Engine engine(eph);
    engine.cv = std::move(cv);
    const ScanControl fast;
    CommandOutcome outcome = run_calculation_command(engine, calc_kind, {}, &fast);
    EXPECT_TRUE(outcome.ran) << outcome.invalid_date;
    return to_platform_line_ends(outcome.text);
}

// The listings of the file and the options; the progress and a failed copy go to standard error
// after the same listing.
TEST_F(Batch, ListsWhatTheEngineFindsForTheFileAndTheOptions) {
    EXPECT_EQ(testing::read_file(example), settings_file_text(initial_state()));
    // Fast bodies in December 2005, transit to transit: many rows on many dates.
    ControlValues busy = initial_state();
    testing::tick_only(busy, {0, 1, 2, 3, 4, 5}, {0, 1, 2, 3, 4, 5}, {0, 5, 7, 9, 12, 14, 16, 17});
    busy.select_mode(1);
    const std::string busy_file = settings("busy.opt", busy);
    ControlValues ymd = busy, degree = initial_state(), quill = busy, lunetta = busy;
    ymd.start_date = "2005/12/01";
    ymd.end_date = "2005/12/31";
    ymd.natal_date = "1949/09/22";
    degree.p1_planets.fill(0);
    degree.p1_planets[1] = 1;  // the Moon passes every degree within a month
    degree.zodiac_degree = "100.1234567";
    const std::string ymd_file = settings("ymd.opt", ymd), degree_file = settings("degree.opt", degree);
    ymd.date_order = 2;
    degree.user_defined_angle = "33";
    quill.style = ListingStyle::Quill;
    lunetta.style = ListingStyle::Lunetta;
    ControlValues in_life = initial_state();  // progressed Moon to natal bodies, with dates in life
    testing::tick_only(in_life, {1}, {0, 1, 2, 3, 4, 5, 6}, {0, 5, 7, 9, 12, 14});
    in_life.select_mode(2);
    std::tie(in_life.start_date, in_life.end_date) = std::pair("01/01/2027", "12/31/2028");
    const std::string in_life_file = settings("in_life.opt", in_life);
    in_life.dates_in_life = 1;
    struct Case { std::string args; ControlValues cv; int calc_kind; std::string shown; };
    const std::string near_misses = "\nWithin 1 deg. of exact:\n";
    const Case cases[] = {
        {"'" + example.string() + "'", initial_state(), 1, near_misses}, {busy_file, busy, 1, near_misses},
        // Dates read year first: the rows' times are still written month first, the near misses not.
        {"--date-order 2 " + ymd_file, ymd, 1, ": 2005/12/"},
        {"--degree --angle 33 " + degree_file, degree, 0, " 100.123 "},
        {"--style quill " + busy_file, quill, 1, " = "}, {"--style lunetta " + busy_file, lunetta, 1, near_misses},
        {"--dates-in-life " + in_life_file, in_life, 1, " (in life "},
    };
    std::vector<std::string> listings;
    for (const Case& c : cases) {
        const ProgramRun r = run(c.args);
        EXPECT_EQ(std::pair(r.status, r.err), std::pair(0, std::string())) << c.args;
        EXPECT_EQ(r.out, listing_of(c.cv, c.calc_kind)) << c.args;
        EXPECT_NE(r.out.find(c.shown), std::string::npos) << c.args;
        listings.push_back(r.out);
    }
    const auto rows = [](const std::string& listing) { return listing.substr(0, listing.find("Within")); };
    EXPECT_EQ(rows(listings[1]), rows(listings[2])) << "the same rows from dates read year first";

    const ProgramRun told = run("--progress " + busy_file);
    EXPECT_EQ(std::pair(told.status, told.out), std::pair(0, listings[1]));
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
    const ProgramRun copy = run("--to-spreadsheet --pipe tavrolin-test-nobody " + busy_file);
    EXPECT_EQ(std::pair(copy.status, copy.out), std::pair(1, listings[1]));
    EXPECT_NE(copy.err.find("spreadsheet"), std::string::npos) << copy.err;
}

// --events ticks the sky's events over the file's: events only (no aspect ticked), the real
// library's moments (Mercury stations retrograde 2024-04-01 22:14 UT, the total solar eclipse
// greatest at 18:17 UT), local time seven hours behind; unknown names are bad usage.
TEST_F(Batch, EventsFromTheCommandLine) {
    ControlValues cv = initial_state();
    testing::tick_only(cv, {1, 2}, {0}, {});
    cv.start_date = "03/25/2024";
    cv.end_date = "04/10/2024";
    cv.tz = "7";
    const std::string file = settings("events.opt", cv);
    ControlValues all = cv;
    for (bool* tick : all.event_ticks()) *tick = true;
    const ProgramRun r = run("--events all " + file);
    EXPECT_EQ(std::pair(r.status, r.err), std::pair(0, std::string()));
    EXPECT_EQ(r.out, listing_of(all, 1));
    for (const char* want : {"\nMercury stations retrograde 04/01/2024 15:14:", "\nTotal solar eclipse 04/08/2024 11:17:",
                                   "\nNew Moon 04/08/2024 11:2", "\nMoon void of course ", "\nMoon enters Aries 04/0",
                                   "\nLast Quarter Moon 04/01/2024 20:14:"})
        EXPECT_NE(r.out.find(want), std::string::npos) << want << "\n" << r.out;
    const ProgramRun some = run("--events stations,eclipses --export - --format csv " + file);
    EXPECT_EQ(some.status, 0) << some.err;
    EXPECT_NE(some.out.find("\nstation,2024-04-01T22:14:"), std::string::npos) << some.out;
    EXPECT_NE(some.out.find(",transit to natal,total solar\r\n"), std::string::npos) << some.out;
    EXPECT_EQ(some.out.find("\nlunation,"), std::string::npos) << some.out;
    // The void-of-course Moon is the Moon's: not listed without its tick, and the user is told why.
    testing::tick_only(cv, {2}, {0}, {});
    const ProgramRun no_moon = run("--events void,stations " + settings("mercury.opt", cv));
    EXPECT_EQ(std::tuple(no_moon.status, no_moon.out.find(" void of course "), no_moon.err),
              std::tuple(0, std::string::npos, "tavrolin-batch: --events void: the void-of-course Moon is one of the Moon's events; tick the Moon in P1\n"));
    // Without --events the file's ticks stand: none, and no event line.
    EXPECT_EQ(run(file).out.find(" stations "), std::string::npos);
    for (const std::string& bad : {"--events moons " + file, "--events stations, " + file, "--events " + file,
                                  "--degree --events all " + file})
        EXPECT_EQ(run(bad).status, 2) << bad;
}

// --events houses: the P1 bodies' crossings of the natal cusps; refused without a birth place.
TEST_F(Batch, HouseIngressesFromTheCommandLine) {
    ControlValues cv = initial_state();
    testing::tick_only(cv, {1, 6}, {}, {});
    const std::string file = settings("houses.opt", cv);
    std::tie(cv.latitude, cv.longitude, cv.house_ingresses) = std::tuple("51N30", "0W07", true);
    const ProgramRun r = run("--events houses --latitude 51N30 --longitude 0W07 " + file), refused = run("--events houses " + file);
    EXPECT_EQ(std::tuple(r.status, r.err, r.out, r.out.find("\nMoon enters natal house ") != std::string::npos), std::tuple(0, std::string(), listing_of(cv, 1), true));
    EXPECT_EQ(std::tuple(refused.status, refused.err), std::tuple(1, "tavrolin-batch: --events houses: house ingresses need a birth place: give --place, or --latitude and --longitude\n"));
    cv.select_mode(2);  // the file's tick and place; progressed, "Show dates in life" lists the events too
    EXPECT_NE(run("--dates-in-life --years-back 10 " + settings("progressed.opt", cv)).out.find(" enters natal house "), std::string::npos);
}

// The bodies of the reports, a blank line as -1.
TEST_F(Batch, NatalReportsShowTheLibrarysPositions) {
    ControlValues cv = initial_state();
    const std::string file = settings("natal.opt", cv);
    cv.p2_helio = 1;
    const std::string helio_file = settings("helio.opt", cv);
    const std::vector<int> geocentric = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, -1, 10, 11, 12, 13, -1, 15, 16, -1, 17, 18, 19, 20, 21, 22};
    const std::vector<int> heliocentric = {2, 3, 4, 5, 6, 7, 8, 9, -1, 14, -1, 15, 16, -1, 17, 18, 19, 20, 21, 22};
    // The flags and element of the library call that gives the value.
    struct Case { std::string args; std::size_t width; int flags, element; const std::vector<int>& bodies; };
    const Case cases[] = {
        {"--report longitude " + file, 41, 0, 0, geocentric},
        {"--report sidereal " + file, 41, SEFLG_SIDEREAL, 0, geocentric},
        {"--report decl " + file, 34, SEFLG_EQUATORIAL, 1, geocentric},
        {"--report decl " + helio_file, 34, SEFLG_HELCTR, 1, heliocentric},
    };
    swe_set_ephe_path(const_cast<char*>(TAVROLIN_BIN_DIR "/ephe:/usr/share/libswe/ephe"));
    swe_set_sid_mode(SE_SIDM_LAHIRI, 0, 0);
    // 22 September 1949, "16.43" GMT, as the program takes it (hours in single precision).
    const double jd = swe_julday(1949, 9, 22, 0.0, SE_GREG_CAL) + (16.0f + (16.43f - 16.0f) * 100.0f / 60.0f) / 24.0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const ProgramRun r = run(c.args);
        EXPECT_EQ(std::pair(r.status, r.err), std::pair(0, std::string()));
        const auto lines = lines_of(r.out);
        ASSERT_EQ(lines.size(), c.bodies.size());
        for (std::size_t k = 0; k < lines.size(); ++k) {
            EXPECT_EQ(lines[k].size(), c.bodies[k] < 0 ? 0 : c.width) << k << ": " << lines[k];
            if (c.bodies[k] < 0 || lines[k].size() != c.width) continue;
            double xx[6];
            char serr[AS_MAXCH];
            swe_calc(jd + swe_deltat(jd), body_number(c.bodies[k]), SEFLG_SWIEPH | SEFLG_SPEED | c.flags, xx, serr);
            EXPECT_NEAR(std::stod(lines[k].substr(c.width - 14, 11)), xx[c.element], c.width == 41 ? 1.5e-6 : 1.5e-5)
                << lines[k];
        }
    }
}

// Bad inputs, numbers the run cannot use among them, say what is wrong (the line of the settings
// file or the option that holds it) and print nothing; the other commands' answers.
TEST_F(Batch, BadInputsAndTheOtherCommands) {
    // The initial state with one box changed.
    int files = 0;
    const auto with = [&](InputField field, const std::string& text, std::string name = "") {
        ControlValues cv = initial_state();
        cv.*input_field_info(field).text = text;
        return settings(name.empty() ? "with" + std::to_string(++files) + ".opt" : name, cv);
    };
    ControlValues progressed = initial_state();
    progressed.select_mode(2);
    ControlValues far_progressed = progressed;
    far_progressed.natal_time = "-1e30";  // a progressed scan that never ended
    // A range at the calendar's edge: what would fall before the year 0100 is counted, not listed.
    ControlValues edge = initial_state();
    edge.start_date = "01/01/0100";
    edge.end_date = "01/03/0100";
    edge.tz = "24";
    const std::string birth = " --local-birth-time '09/22/1949 17:43 Europe/London'";
    // A birth before the asteroid files begin: those bodies are named, in the report without a position.
    ControlValues early = initial_state();
    early.natal_date = "06/15/1750";
    const std::string ex = "'" + example.string() + "'";
    // `out`: what standard output holds ("" for nothing at all).
    struct Case { std::string args; int status; std::vector<std::string> in_stderr; std::string out = ""; };
    const std::vector<Case> cases = {
        {"'" + path("missing.opt") + "'", 1, {"missing.opt", "cannot be read"}},
        {with(InputField::start_date, "12/32/2005", "bad_start.opt"), 1,
         {"bad_start.opt: line 1, Start Date: \"12/32/2005\" is not a date"}},
        {"--date-order 1 " + ex, 1, {"default.opt: line 2, End Date: \"12/31/2005\""}},
        {"--degree " + with(InputField::zodiac_degree, "1e20", "far_degree.opt"), 1,
         {"far_degree.opt: line 3, Zodiac decimal degree: \"1e20\" is not a degree from -720 to 720"}},
        {"--report longitude " + with(InputField::natal_date, "22/09/1949"), 1, {"line 4, Natal date: \"22/09/1949\" is not a date"}},
        {"--degree " + with(InputField::natal_date, "22/09/1949"), 1, {"line 4, Natal date: \"22/09/1949\" is not a date"}},
        {"--report decl " + with(InputField::natal_time, "1e308"), 1, {"line 5, Natal time (GMT): \"1e308\""}},
        {settings("far_progressed.opt", far_progressed), 1, {"line 5, Natal time (GMT): \"-1e30\""}},
        {with(InputField::time_zone, "Mars/Olympus"), 1, {"line 6, Time Zone: \"Mars/Olympus\" is not a time zone name"}},
        {"--years-back -5 " + settings("progressed.opt", progressed), 1,
         {"--years-back: Yrs back: \"-5\" is not a number of years from 0 to 99"}},
        // Texts that were read as 0 or as their first digits, a range that listed nothing.
        {with(InputField::time_zone, "0x10"), 1, {"line 6, Time Zone: \"0x10\" is neither a time zone name nor a number"}},
        {with(InputField::natal_time, "abc"), 1, {"line 5, Natal time (GMT): \"abc\" is not a time in hours.minutes"}},
        {"--report decl " + with(InputField::natal_time, "16.99"), 1,
         {"line 5, Natal time (GMT): \"16.99\" is not a time in hours.minutes: the minutes go from 00 to 59"}},
        {"--degree " + with(InputField::zodiac_degree, "13/45/2005"), 1, {"line 3, Zodiac decimal degree: \"13/45/2005\" is not"}},
        {with(InputField::start_date, "01/01/2006"), 1,
         {"line 2, End Date: \"12/31/2005\" is before the Start Date \"01/01/2006\""}},
        // A damaged line of 900 KB is quoted in part.
        {with(InputField::natal_date, std::string(900000, '1')), 1, {"Natal date: \"" + std::string(80, '1') + "...\" is not"}},
        {"--local-birth-time '03/31/2024 01:30 Europe/London'", 1, {"did not occur in Europe/London"}},
        {"--local-birth-time '03/31/2024 1:30'", 1, {"give a date, a local time hh:mm and a zone name"}},
        {"--local-birth-time '12/31/9999 23:00 America/New_York'", 1,
         {"23:00 on 12/31/9999 in America/New_York falls on a GMT date outside the years 0100 to 9999"}},
        {"", 2, {"no settings file", "Usage:"}}, {"--frobnicate " + ex, 2, {"--frobnicate", "Usage:"}},
        {ex + " " + ex, 2, {"more than one settings file"}}, {"--years-back 123 " + ex, 2, {"--years-back"}},
        {"--angle", 2, {"--angle needs a value"}}, {"--style fancy " + ex, 2, {"--style \"fancy\""}},
        {"--report ecliptic " + ex, 2, {"--report \"ecliptic\""}}, {"--to-spreadsheet --pipe 'a;b' " + ex, 2, {"--pipe"}},
        {"--to-spreadsheet --report longitude " + ex, 2, {"--report"}},
        {"--export '" + path("out.txt") + "' " + ex, 1, {"out.txt", "must end in .ics (iCalendar) or .csv"}},
        {"--export - " + ex, 2, {"--export - needs --format"}},
        {"--format csv --export out.csv " + ex, 2, {"--format goes with --export -"}},
        {"--export out.ics --report longitude " + ex, 2, {"--report"}},
        {"--pdf '" + path("out.txt") + "' " + ex, 1, {"out.txt", "must end in .pdf"}},
        {"--pdf out.pdf --report longitude " + ex, 2, {"--pdf writes a calculation's listing, not a --report"}},
        {"--pdf out.pdf" + birth, 2, {"--pdf writes a calculation's listing, not a --local-birth-time"}},
        {"--pdf '" + path("missing/out.pdf") + "' " + ex, 1, {"missing/out.pdf"}, "Jupiter 060 Saturn"},
        // The birth time converter reads no settings file and writes nothing else.
        {"--local-birth-time ''", 2, {"--local-birth-time: the value is empty"}},
        {birth + " " + ex, 2, {"--local-birth-time reads no settings file"}},
        {"--export out.csv" + birth, 2, {"--export writes a calculation, not a --local-birth-time"}},
        {"--report longitude" + birth, 2, {"--report prints a natal report, not a --local-birth-time"}},
        // A file that cannot be written: the listing stands, the export says why and leaves nothing.
        {"--export '" + path("missing/out.ics") + "' " + ex, 1, {"missing/out.ics"}, "Jupiter 060 Saturn"},
        // Chiron has no position in the year 100: named, and the exit is 1 (it was 0).
        {settings("edge.opt", edge), 1, {"Chiron: position not computed"},
         " results fell on dates outside the years 0100 to 9999 and are not listed."},
        {"--report longitude " + settings("early.opt", early), 1, {"Chiron: position not computed: ", "Vesta: position not computed: "},
         "\nChiron      position not computed\n"},
        // The birth time converter: Greenwich date and natal time, both answers of a repeated hour.
        {"--date-order 1 --local-birth-time '27/10/2024 01:30 Europe/London'", 0, {},
         "27/10/2024 0.30 (BST, UT+1)\n27/10/2024 1.30 (GMT, UT+0)\n"},
        {"--help", 0, {}, "Usage: tavrolin-batch"},
    };
    for (const auto& c : cases) {
        const ProgramRun r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args;
        EXPECT_TRUE(c.out.empty() ? r.out.empty() : r.out.find(c.out) != std::string::npos) << c.args << "\n" << r.out;
        for (const auto& text : c.in_stderr) EXPECT_NE(r.err.find(text), std::string::npos) << c.args << "\n" << r.err;
        EXPECT_TRUE(r.out.find("/99 ") == std::string::npos && r.out.find("/0099 ") == std::string::npos) << c.args;
    }
    EXPECT_FALSE(fs::exists(dir / "missing") || fs::exists(dir / "out.txt"));
}

// What is not written or not computed is said, with the system's reason, and the exit is 1; an
// output never overwrites the settings file being read.
TEST_F(Batch, MissingBodiesFailedWritesAndOutputsOverTheInput) {
    // No asteroid files before 1800: six ticked bodies have no position. The listing or the export
    // stands, the bodies are named on standard error.
    ControlValues cv = initial_state();
    cv.start_date = "01/01/1500";
    cv.end_date = "01/10/1500";
    cv.p1_planets.fill(1);
    const std::string early = settings("early.opt", cv);
    for (const std::string& args : {early, "--export - --format csv " + early}) {
        const ProgramRun r = run(args);
        EXPECT_EQ(std::pair(r.status, r.out.empty()), std::pair(1, false)) << args;
        for (const char* body : {"Chiron", "Pholus", "Ceres", "Pallas", "Juno", "Vesta"})
            EXPECT_NE(r.err.find(std::string(body) + ": position not computed: "), std::string::npos) << args << "\n" << r.err;
    }
    // A full disk: the reason, not only that the write failed.
    const std::string command = "'" TAVROLIN_BIN_DIR "/tavrolin-batch' --export - --format csv '" + example.string() + "'";
    EXPECT_NE(std::system((command + " >/dev/full 2>'" + path("full") + "'").c_str()), 0);
    EXPECT_EQ(testing::read_file(dir / "full"), "tavrolin-batch: cannot export to standard output: No space left on device\n");
    // The settings file as the export, by its name or through a link, is left as it was.
    const std::string csv = settings("s.csv", initial_state());
    fs::create_symlink(dir / "s.csv", dir / "link.csv");
    for (const std::string& output : {csv, "'" + path("link.csv") + "'"}) {
        const ProgramRun r = run("--export " + output + " " + csv);
        EXPECT_EQ(r.status, 2) << output;
        EXPECT_NE(r.err.find("that is the settings file the run reads"), std::string::npos) << r.err;
    }
    EXPECT_EQ(testing::read_file(dir / "s.csv"), settings_file_text(initial_state()));
}

// The listing as a PDF, read back with pdftotext: every line of the listing in order, each page
// with the header and its number, and as many pages as the lines need (none empty, none short
// but the last).
TEST_F(Batch, PdfHoldsTheListingUnderAHeaderOnAsManyPagesAsItNeeds) {
    if (std::system("pdftotext -v >/dev/null 2>&1") != 0) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    const auto words = [](const std::string& line) {  // blank runs made one blank
        std::string out;
        std::istringstream in(line);
        for (std::string w; in >> w;) out += (out.empty() ? "" : " ") + w;
        return out;
    };
    ControlValues busy = initial_state();
    testing::tick_only(busy, {0, 1, 2, 3, 4, 5}, {0, 1, 2, 3, 4, 5}, {0, 5, 7, 9, 12, 14, 16, 17});
    busy.select_mode(1);
    busy.tz = "Europe/London";
    busy.end_date = "03/31/2006";
    struct Case { std::string file; ControlValues cv; int pages_at_least; std::string mode; };
    const Case cases[] = {{"'" + example.string() + "'", initial_state(), 1, "Transit to natal planets"},
                          {settings("busy.opt", busy), busy, 3, "Transit to transit planets"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const ProgramRun r = run("--pdf '" + path("l.pdf") + "' " + c.file);
        ASSERT_EQ(std::pair(r.status, r.err), std::pair(0, std::string()));
        ASSERT_EQ(std::system(("pdftotext -layout '" + path("l.pdf") + "' '" + path("l.txt") + "'").c_str()), 0);
        std::vector<std::string> pages;
        std::stringstream text(testing::read_file(dir / "l.txt"));
        for (std::string page; std::getline(text, page, '\f');) pages.push_back(page);
        if (!pages.empty() && words(pages.back()).empty()) pages.pop_back();
        const int n = static_cast<int>(pages.size());
        EXPECT_GE(n, c.pages_at_least);

        std::vector<std::string> wanted;  // the listing's lines that show text
        std::vector<std::size_t> line_number;  // of each, in the listing with its blank lines
        const std::vector<std::string> listing = lines_of(r.out);
        for (std::size_t i = 0; i < listing.size(); ++i)
            if (!words(listing[i]).empty()) wanted.push_back(words(listing[i])), line_number.push_back(i);
        std::vector<std::string> got;
        std::vector<std::size_t> first_line_of_page;
        const std::vector<std::string> header = {"Tavrolin " TAVROLIN_VERSION ": " + c.mode,
                                                 "Natal data: " + c.cv.natal_date + " " + c.cv.natal_time + " GMT Time zone: " + c.cv.tz,
                                                 "From " + c.cv.start_date + " to " + c.cv.end_date};
        for (int p = 0; p < n; ++p) {
            std::vector<std::string> shown;
            for (const auto& line : lines_of(pages[p]))
                if (!words(line).empty()) shown.push_back(words(line));
            ASSERT_GE(shown.size(), header.size() + 1) << "page " << p + 1;
            EXPECT_EQ(std::vector<std::string>(shown.begin(), shown.begin() + 3), header);
            EXPECT_EQ(shown.back(), "Page " + std::to_string(p + 1) + " of " + std::to_string(n));
            first_line_of_page.push_back(got.size());
            got.insert(got.end(), shown.begin() + 3, shown.end() - 1);
        }
        ASSERT_EQ(got, wanted);
        // Every page but the last holds as many lines as the first, and the last holds the rest:
        // counted in the listing's lines, where a page that begins with blank lines (which
        // pdftotext does not show) seems to begin a line or two later.
        ASSERT_LT(first_line_of_page.back(), got.size()) << "the last page is empty";
        const auto start = [&](int p) { return static_cast<double>(line_number[first_line_of_page[p]]); };
        const double per_page = n > 1 ? start(1) : static_cast<double>(listing.size());
        for (int p = 1; p < n; ++p) EXPECT_NEAR(start(p), p * per_page, 2.0) << "page " << p + 1;
        EXPECT_LE(static_cast<double>(listing.size()) - start(n - 1), per_page + 2.0) << "the last page is overfull";
    }
}

}  // namespace
}  // namespace tavrolin

namespace tavrolin {
namespace {

// The birth place of the options: the houses report (the library's angles and cusps, the
// fall-back named), the angles ticked for a run, the atlas's place, and what is refused.
TEST_F(Batch, BirthPlaceOptionsHousesReportAndAngles) {
    ControlValues cv = initial_state();
    testing::tick_only(cv, {0, 4, 5, 6, 7, 8, 9}, {}, {0, 5, 7, 9, 14, 16, 17});
    cv.start_date = "01/01/2005";
    const std::string file = settings("place.opt", cv);
    const double jd = swe_julday(1949, 9, 22, 0.0, SE_GREG_CAL) + (16.0f + (16.43f - 16.0f) * 100.0f / 60.0f) / 24.0;
    struct Report { std::string args; double latitude, longitude; char system; std::string heading; };
    for (const Report& c : {Report{"51N30 --longitude 0W07", 51.5, -7.0 / 60.0, 'P', "Placidus"},
                            Report{"-34.6037 --longitude -58.3816 --house-system r", -34.6037, -58.3816, 'R', "Regiomontanus"},
                            Report{"69N39 --longitude 18E57", 69.65, 18.95, 'P',
                                   "Porphyry (Placidus has no cusps beyond the polar circles: the houses are Porphyry's)"}}) {
        const ProgramRun r = run("--report houses --latitude " + c.args + " " + file);
        EXPECT_EQ(std::pair(r.status, r.err), std::pair(0, std::string())) << c.args;
        const auto lines = lines_of(r.out);
        ASSERT_GE(lines.size(), 20u);
        EXPECT_EQ(lines[1], "House system: " + c.heading);
        double cusps[13], ascmc[10];
        swe_houses(jd, c.latitude, c.longitude, c.system, cusps, ascmc);
        for (int k : {3, 4, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17})
            EXPECT_NEAR(std::stod(lines[static_cast<std::size_t>(k)].substr(27, 11)), k < 5 ? ascmc[k - 3] : cusps[k - 5], 1e-6) << lines[static_cast<std::size_t>(k)];
        EXPECT_EQ(lines[19].substr(0, 3) + lines[19].substr(41, 6), "Sunhouse ") << lines[19];
    }
    cv.latitude = "51N30";
    cv.longitude = "0W07";
    cv.p2_asc = cv.p2_mc = 1;
    const std::string listing = listing_of(cv, 1);
    EXPECT_NE(listing.find(" MC "), std::string::npos);
    const ProgramRun ticked = run("--latitude 51N30 --longitude 0W07 --angles asc,mc " + file);
    EXPECT_EQ(std::tuple(ticked.status, ticked.out, ticked.err), std::tuple(0, listing, std::string()));

    struct Refused { std::string args; int status; std::string err; };
    for (const Refused& c : {Refused{"--report houses", 1, "need a birth place"},
                             Refused{"--report houses --latitude 90N00 --longitude 0", 1, "--latitude: Lat: \"90N00\" has no houses"},
                             Refused{"--longitude 2X21", 2, "tavrolin-batch: --longitude \"2X21\": "},
                             Refused{"--house-system X", 2, "--house-system \"X\": must be P, K, O, R, C, E or W"},
                             Refused{"--angles asc,sun", 2, "--angles \"asc,sun\": must be asc, mc or asc,mc"}}) {
        const ProgramRun r = run(c.args + " " + file);
        EXPECT_EQ(std::pair(r.status, r.out), std::pair(c.status, std::string())) << c.args;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << c.args << ": " << r.err;
    }

    if (!atlas_built()) GTEST_SKIP() << "built without the atlas";
    const auto paris = atlas_lookup("Paris, France");
    ASSERT_TRUE(paris.has_value());
    const ProgramRun found = run("--report houses --place 'Paris, France' " + file);
    EXPECT_EQ(lines_of(found.out).at(0), "Birth place: " + paris->display_name() + "  " + format_fixed(paris->latitude, 6) +
                                             "  " + format_fixed(paris->longitude, 6));
    const ProgramRun unknown = run("--place Xyzzyq " + file), ambiguous = run("--place Springfield " + file);
    EXPECT_EQ(std::pair(unknown.status, unknown.err.find("--place \"Xyzzyq\": \"Xyzzyq\" is not a place") == 16), std::pair(1, true));
    EXPECT_EQ(std::pair(ambiguous.status, std::count(ambiguous.err.begin(), ambiguous.err.end(), '\n')), std::pair(1, 6L))
        << ambiguous.err;
}

}  // namespace
}  // namespace tavrolin
