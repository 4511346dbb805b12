// The natal Ascendant and MC as P2 points, with the real library: rows to the Ascendant are those
// of a fixed-degree run at its longitude, the parallels read the declination of the angle's
// ecliptic point, and the angles take part only in the natal modes with a place.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <swephexp.h>

#include "engine/engine.h"
#include "engine/house_ingresses.h"
#include "engine/parallel_scan.h"
#include "engine/swe_api.h"
#include "support/control_values.h"

using namespace tavrolin;
using namespace tavrolin::testing;

namespace {

const std::vector<int> sun_to_pluto = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
const std::vector<int> longitude_aspects = {0, 3, 5, 7, 9, 12, 14};

std::string exact_text(double x) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", x);
    return text;
}

class NatalAngles : public ::testing::Test {
protected:
    void SetUp() override { set_ephemeris_path(TAVROLIN_BIN_DIR); }

    ControlValues place_values(const char* latitude, const char* longitude, int mode) {
        ControlValues cv = initial_state();
        cv.tz = "0";
        cv.start_date = "01/01/2005";
        cv.end_date = "12/31/2005";
        cv.select_mode(mode);
        tick_only(cv, sun_to_pluto, {}, longitude_aspects);
        cv.latitude = latitude;
        cv.longitude = longitude;
        cv.p2_asc = 1;
        return cv;
    }

    std::vector<ResultRow> rows(const ControlValues& cv, int calc_kind, ScanOutcome* out = nullptr) {
        engine.cv = cv;
        engine.calc_kind = calc_kind;
        const ScanOutcome outcome = engine.Start_Calcs();
        EXPECT_TRUE(outcome.ran) << outcome.invalid_text << " " << outcome.invalid_problem;
        if (out != nullptr) *out = outcome;
        return {engine.result_table.begin() + (engine.result_table.empty() ? 0 : 1), engine.result_table.end()};
    }

    LibSwe swe;
    Ephemeris eph{swe};
    Engine engine{eph};
};

TEST_F(NatalAngles, RowsToTheAscendantAreThoseOfItsFixedDegree) {
    struct Case { const char* name; const char* latitude; const char* longitude; int mode; bool fell_back; };
    const Case cases[] = {
        {"London", "51N30", "0W07", 0, false},
        {"Buenos Aires", "-34.6037", "-58.3816", 0, false},
        {"Tromso", "69N39", "18E57", 0, true},
        {"London, progressed", "51N30", "0W07", 2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ControlValues cv = place_values(c.latitude, c.longitude, c.mode);
        if (c.mode == 2) cv.years_back = "40";
        ScanOutcome outcome;
        const std::vector<ResultRow> to_asc = rows(cv, 1, &outcome);
        ASSERT_TRUE(engine.natal_houses.has_value());
        EXPECT_EQ(outcome.houses_note.empty(), !c.fell_back) << outcome.houses_note;
        const double asc = engine.natal_houses->ascendant;

        ControlValues degree = cv;
        degree.zodiac_degree = exact_text(asc);
        const std::vector<ResultRow> to_degree = rows(degree, 0);
        ASSERT_FALSE(to_asc.empty());
        ASSERT_EQ(to_asc.size(), to_degree.size());
        for (std::size_t i = 0; i < to_asc.size(); ++i) {
            EXPECT_EQ(to_asc[i][2], std::to_string(asc_point));
            for (int column : {0, 1, 3, 4, 5, 6, 8, 10})
                EXPECT_EQ(to_asc[i][column], to_degree[i][column]) << "row " << i << " column " << column;
        }
    }
}

TEST_F(NatalAngles, ParallelsReadTheAnglesDeclinationAndTheAnglesNeedANatalModeAndAPlace) {
    ControlValues cv = place_values("48.8534", "2.3488", 0);
    cv.p2_asc = 0;
    cv.p2_mc = 1;
    cv.aspects.fill(0);
    cv.aspects[parallel_aspect] = cv.aspects[contraparallel_aspect] = 1;
    const std::vector<ResultRow> parallels = rows(cv, 1);
    ASSERT_FALSE(parallels.empty());
    const double mc_declination = ecliptic_declination(engine.natal_houses->mc, engine.natal_houses->obliquity);
    for (const ResultRow& row : parallels) {
        EXPECT_EQ(row[2], std::to_string(mc_point));
        EXPECT_NEAR(std::stod(std::string(row[11])), mc_declination, 1e-9);
        EXPECT_NEAR(std::stod(std::string(row[6])), engine.natal_houses->mc, 1e-9);
    }

    // Without a place, in transit to transit or with the heliocentric P2 column the angles give
    // no row, and the ticked bodies are scanned as before.
    struct Case { const char* name; int mode; const char* latitude; int p2_helio; };
    const Case none[] = {{"no place", 0, "", 0}, {"transit to transit", 1, "48.8534", 0},
                         {"helio P2", 0, "48.8534", 1}};
    for (const Case& c : none) {
        ControlValues without = cv;
        without.select_mode(c.mode);
        without.latitude = c.latitude;
        if (*c.latitude == '\0') without.longitude.clear();
        without.p2_helio = c.p2_helio;
        without.p2_planets[5] = 1;
        for (const ResultRow& row : rows(without, 1)) EXPECT_EQ(row[2], "5") << c.name;
    }

    // A place the houses cannot be computed for refuses the run, naming the box.
    ControlValues pole = cv;
    pole.latitude = "90N00";
    engine.cv = pole;
    const ScanOutcome refused = engine.Start_Calcs();
    EXPECT_FALSE(refused.ran);
    EXPECT_EQ(refused.invalid_field, InputField::latitude);
    EXPECT_NE(refused.invalid_problem.find("poles"), std::string::npos) << refused.invalid_problem;
    ControlValues bad = cv;
    bad.longitude = "2X21";
    engine.cv = bad;
    EXPECT_EQ(engine.Start_Calcs().invalid_field, InputField::longitude);
}

}  // namespace

namespace {

// Each crossing of a natal cusp is at the cusp (to the calculation's tolerance), carries a body
// from the house it was in to the next or, backwards, to the one before, and is named so.
TEST_F(NatalAngles, HouseIngressesCrossTheCuspsInOrder) {
    const auto houses = compute_houses(swe_julday(1949, 9, 22, 16.0 + 43.0 / 60.0, SE_GREG_CAL), 51.5, -7.0 / 60.0,
                                       HouseSystem::Placidus);
    ASSERT_TRUE(houses.has_value());
    HouseIngressSearch search;
    search.from_jd = swe_julday(2003, 1, 1, 0.0, SE_GREG_CAL);
    search.to_jd = search.from_jd + 8 * 365.25;
    search.bodies = {1, 4, 6};  // the Moon, Mars and Saturn
    search.cusps = houses->cusps;
    eph.set_options(1, 1);
    const std::vector<HouseIngress> found = find_house_ingresses(eph, search);
    std::array<int, body_count> last_house{};
    int backwards = 0;
    double last_jd = 0.0;
    for (const HouseIngress& x : found) {
        EXPECT_GE(x.jd, last_jd);
        last_jd = x.jd;
        const double cusp = houses->cusps[static_cast<std::size_t>((x.retrograde ? x.left : x.house) - 1)];
        EXPECT_LT(std::fabs(std::remainder(eph.Get_1_Planet_geo(x.jd, x.body) - cusp, 360.0)),
                  std::fabs(eph.last_speed()) * 0.00007 + 1e-6) << house_ingress_text(x);
        EXPECT_EQ(x.retrograde ? x.house % 12 + 1 : x.left % 12 + 1, x.retrograde ? x.left : x.house)
            << house_ingress_text(x);
        int& before = last_house[static_cast<std::size_t>(x.body)];
        if (before != 0) {
            EXPECT_EQ(x.left, before) << house_ingress_text(x);
        }
        before = x.house;
        backwards += x.retrograde ? 1 : 0;
    }
    EXPECT_GT(found.size(), 8u * 12u * 12u);  // the Moon alone passes every cusp each month
    EXPECT_GT(backwards, 0);
    HouseIngress saturn;
    saturn.body = 6;
    saturn.house = 10;
    saturn.left = 9;
    EXPECT_EQ(house_ingress_text(saturn), "Saturn enters natal house 10");
    saturn.retrograde = true;
    saturn.house = 9;
    saturn.left = 10;
    EXPECT_EQ(house_ingress_text(saturn), "Saturn leaves house 10 for house 9");
}

}  // namespace
