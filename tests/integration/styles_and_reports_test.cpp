// tavrolin-batch in the three listing styles and with the natal reports. Every line of a listing
// is checked against the layout rules of its style and against the same row of the default
// listing; the reports' numbers against positions computed here directly with the library.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <swephexp.h>

#include "engine/bodies.h"
#include "engine/control_values.h"
#include "support/batch_program.h"
#include "window/files/settings_file.h"

namespace tavrolin {
namespace {

namespace fs = std::filesystem;
using testing::lines_of;
using testing::ProgramRun;
using testing::read_file;


class BatchRuns : public testing::BatchProgramTest {
protected:
    BatchRuns() : BatchProgramTest("tavrolin_styles_") {}
    void SetUp() override {
        BatchProgramTest::SetUp();
        swe_set_ephe_path(const_cast<char*>(TAVROLIN_BIN_DIR "/ephe:/usr/share/libswe/ephe"));
    }
};

// The natal moment of 22 September 1949, "16.43" GMT, as the program takes it (hours in single
// precision).
double natal_jd() {
    const float t = 16.43f;
    const float hours = std::trunc(t) + (t - std::trunc(t)) * 100.0f / 60.0f;
    return swe_julday(1949, 9, 22, 0.0, SE_GREG_CAL) + static_cast<double>(hours) / 24.0;
}

// "(Sun|Moon|...|Sedna)": the captions hold no character special to a pattern.
const std::string body_re = [] {
    std::string names;
    for (auto caption : body_captions) names += (names.empty() ? "" : "|") + std::string(caption);
    return "(" + names + ")";
}();

struct RunSetup {
    std::string name;
    ControlValues cv;
    bool degree;
};

// Bodies and aspects that give rows in each mode within a month (transits) or the progressed
// window of one year either side.
std::vector<RunSetup> setups() {
    std::vector<RunSetup> out;
    for (int mode = 0; mode <= 3; ++mode) {
        for (bool degree : {false, true}) {
            ControlValues cv;
            cv.natal_date = "09/22/1949";
            cv.tz = "8";
            cv.zodiac_degree = "100.1234567";
            cv.select_mode(mode);
            cv.p1_planets.fill(0);
            cv.p2_planets.fill(0);
            cv.aspects.fill(0);
            for (int a : {0, 7, 9, 14, 16, 17}) cv.aspects[static_cast<std::size_t>(a)] = 1;
            if (mode <= 1) {
                for (int b : {0, 1, 4}) cv.p1_planets[static_cast<std::size_t>(b)] = 1;
                for (int b : {0, 1, 3, 4, 5}) cv.p2_planets[static_cast<std::size_t>(b)] = 1;
            } else {
                for (int b = 0; b <= 9; ++b) cv.p1_planets[static_cast<std::size_t>(b)] = cv.p2_planets[static_cast<std::size_t>(b)] = 1;
                for (int a = 0; a <= 14; ++a) cv.aspects[static_cast<std::size_t>(a)] = 1;
            }
            out.push_back({"mode" + std::to_string(mode) + (degree ? "-degree" : ""), cv, degree});
        }
    }
    return out;
}

const std::string aspect_re = R"((000|030|036|040|045|060|072|090|108|120|135|144|150|165|180|51\.7|par|c\.p))";
const std::string when_re = R"((\d\d/\d\d/\d{4} \d\d:\d\d:\d\d))";

TEST_F(BatchRuns, EveryStyleInEveryModeFollowsItsLayout) {
    const std::regex default_row("^" + body_re + " " + aspect_re + " (" + body_re.substr(1, body_re.size() - 2) +
                                 R"(|\d+\.\d{3}) )" + when_re + "$");
    const std::string quill_field = body_re + R"( \((ari|tau|gem|can|leo|vir|lib|sco|sag|cpr|aqu|pis) = (-?\d+\.\d\d)\) )";
    const std::regex quill_row("^" + quill_field + aspect_re + " " + "(?:" + quill_field + R"(|(\d+\.\d{3}) ))" +
                               when_re + "$");
    const std::regex lunetta_transit(R"(^(.*\d\d:\d\d:\d\d)   (-?\d+\.\d\d)   (-?\d+\.\d\d)(   1|   -1|    )(   1|   -1)(   1|   -1)$)");
    const std::regex speed_line(R"(^     speed = (-?\d+\.\d{4}) ==> (?:(-?\d+\.\d\d) (years|months)|station)$)");

    for (const RunSetup& s : setups()) {
        SCOPED_TRACE(s.name);
        const std::string file = settings(std::string(s.name) + ".opt", s.cv);
        const std::string kind = s.degree ? "--degree " : "";
        const ProgramRun plain = run(kind + file);
        const ProgramRun quill = run(kind + "--style quill " + file);
        const ProgramRun lunetta = run(kind + "--style lunetta " + file);
        ASSERT_EQ(plain.status + quill.status + lunetta.status, 0) << plain.err << quill.err << lunetta.err;
        const auto d = lines_of(plain.out), q = lines_of(quill.out), l = lines_of(lunetta.out);
        ASSERT_EQ(d.size(), q.size());

        std::size_t li = 0;  // Lunetta has a second line per row in the progressed mode
        int rows = 0;
        for (std::size_t i = 0; i < d.size(); ++i, ++li) {
            ASSERT_LT(li, l.size());
            std::smatch dm;
            if (!std::regex_match(d[i], dm, default_row)) {
                // Heading, blank lines and the near-miss section are the same in every style.
                EXPECT_EQ(q[i], d[i]);
                EXPECT_EQ(l[li], d[i]);
                continue;
            }
            ++rows;
            const std::string p1 = dm[1], aspect = dm[2], third = dm[3], when = dm[4];
            EXPECT_EQ(third == "100.123", s.degree) << d[i];
            const bool decl = aspect == "par" || aspect == "c.p";

            // Quill: the same row, each body with a sign and a declination.
            std::smatch qm;
            ASSERT_TRUE(std::regex_match(q[i], qm, quill_row)) << q[i];
            EXPECT_EQ(qm[1], p1);
            EXPECT_EQ(qm[4], aspect);
            EXPECT_EQ(qm[8].matched, s.degree) << q[i];
            EXPECT_EQ(s.degree ? qm[8] : qm[5], third);
            EXPECT_EQ(qm[9], when);

            // Lunetta: the default line, then by the mode.
            if (s.cv.mode == 3) {
                EXPECT_EQ(l[li], d[i]);
            } else if (s.cv.mode == 2) {
                EXPECT_EQ(l[li], d[i]);
                std::smatch sm;
                ASSERT_TRUE(std::regex_match(l[++li], sm, speed_line)) << l[li];
                const double v = std::stod(sm[1]);
                EXPECT_EQ(sm[2].matched, v != 0.0) << l[li];  // a station has no quotient
                if (sm[2].matched) {
                    const double years = 1.0 / v;
                    if (std::fabs(std::fabs(years) - 0.995) > 0.0001) {  // not on the rounding edge
                        EXPECT_EQ(sm[3], std::fabs(years) >= 0.995 ? "years" : "months") << l[li];
                    }
                    EXPECT_NEAR(std::stod(sm[2]), sm[3] == "years" ? years : 12 * years, 0.005) << l[li];
                }
            } else {
                std::smatch lm;
                ASSERT_TRUE(std::regex_match(l[li], lm, lunetta_transit)) << l[li];
                EXPECT_EQ(lm[1], d[i]);
                EXPECT_EQ(lm[4] == "    ", decl) << l[li];  // declination aspects have no phase
                if (decl) {  // the declinations that Quill shows
                    EXPECT_EQ(lm[2], qm[3]) << l[li];
                    if (!s.degree) {
                        EXPECT_EQ(lm[3], qm[7]) << l[li];
                    }
                }
                if (s.degree) {
                    // P2 is the degree itself, as a longitude or a declination, and does not move.
                    EXPECT_EQ(lm[3], "100.12") << l[li];
                    EXPECT_EQ(lm[6], "   1") << l[li];
                }
            }
        }
        EXPECT_EQ(li, l.size());
        EXPECT_GT(rows, 0) << "no rows to check";
    }
}

// The bodies of a natal report line by line: each line's value (the last field), or -1000 for a
// blank line; every other line has the report's fixed width.
std::vector<double> report_values(const std::string& out, std::size_t width) {
    std::vector<double> values;
    for (const auto& line : lines_of(out)) {
        if (line.empty()) {
            values.push_back(-1000);
            continue;
        }
        EXPECT_EQ(line.size(), width) << line;
        values.push_back(std::stod(line.substr(width - 14, 11)));
    }
    return values;
}

// The tropical report of the window's default natal data is checked through the window; here the
// other kinds, through the command line.
TEST_F(BatchRuns, NatalReportsShowTheLibrarysPositions) {
    ControlValues cv;
    cv.natal_date = "09/22/1949";
    const std::string file = settings("natal.opt", cv);
    cv.p2_helio = 1;
    const std::string helio_file = settings("helio.opt", cv);

    const std::vector<int> geocentric = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, -1, 10, 11, 12, 13, -1,
                                         15, 16, -1, 17, 18, 19, 20, 21, 22};
    const std::vector<int> heliocentric = {2, 3, 4, 5, 6, 7, 8, 9, -1, 14, -1, 15, 16, -1, 17, 18, 19, 20, 21, 22};
    struct Case {
        std::string args;
        std::size_t width;
        int flags, element;  // of the library call that gives the value
        const std::vector<int>& bodies;
    };
    const Case cases[] = {
        {"--report sidereal " + file, 41, SEFLG_SIDEREAL, 0, geocentric},
        {"--report decl " + file, 34, SEFLG_EQUATORIAL, 1, geocentric},
        {"--report decl " + helio_file, 34, SEFLG_HELCTR, 1, heliocentric},
    };
    swe_set_sid_mode(SE_SIDM_LAHIRI, 0, 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const ProgramRun r = run(c.args);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out.find('\r'), std::string::npos);
        const auto values = report_values(r.out, c.width);
        ASSERT_EQ(values.size(), c.bodies.size());
        for (std::size_t k = 0; k < values.size(); ++k) {
            if (c.bodies[k] < 0) {
                EXPECT_EQ(values[k], -1000) << "no blank line at " << k;
                continue;
            }
            double xx[6];
            char serr[AS_MAXCH];
            const double jd = natal_jd();
            swe_calc(jd + swe_deltat(jd), body_number(c.bodies[k]), SEFLG_SWIEPH | SEFLG_SPEED | c.flags, xx, serr);
            EXPECT_NEAR(values[k], xx[c.element], c.width == 41 ? 1.5e-6 : 1.5e-5) << c.bodies[k];
        }
    }
}

TEST_F(BatchRuns, ReportAndStyleOptionsRejectWhatTheyDoNotKnow) {
    ControlValues bad_natal;
    bad_natal.natal_date = "22/09/1949";
    const std::string bad = settings("bad_natal.opt", bad_natal);
    ControlValues good;
    good.natal_date = "09/22/1949";
    const std::string ok = settings("good.opt", good);
    struct Case {
        std::string args;
        int status;
        std::string in_stderr;
    };
    const std::vector<Case> cases = {
        {"--report longitude " + bad, 1, "line 4, Natal date: \"22/09/1949\" is not a date"},
        {"--report ecliptic " + ok, 2, "--report \"ecliptic\""},
        {"--report", 2, "--report needs a value"},
        {"--style fancy " + ok, 2, "--style \"fancy\""},
        {"--style", 2, "--style needs a value"},
    };
    for (const auto& c : cases) {
        const ProgramRun r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args;
        EXPECT_EQ(r.out, "") << c.args;
        EXPECT_NE(r.err.find(c.in_stderr), std::string::npos) << c.args << "\n" << r.err;
    }
}

}  // namespace
}  // namespace tavrolin
