// The natal Ascendant and MC as P2 points and the house ingresses, with the real library.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include <swephexp.h>

#include "engine/engine.h"
#include "engine/house_ingresses.h"
#include "engine/text_rules.h"
#include "support/fake_swe.h"

using namespace tavrolin;
using namespace tavrolin::testing;

namespace {

class NatalAngles : public ::testing::Test {
protected:
    void SetUp() override { set_ephemeris_path(TAVROLIN_BIN_DIR); }
    // A month of Sun to Pluto (80 progressed days) in the mode to the angles of a place.
    std::vector<ResultRow> rows(const char* latitude, const char* longitude, int mode, int calc_kind,
                                const std::vector<int>& aspects) {
        engine.cv = initial_state();
        engine.cv.select_mode(mode);
        engine.cv.years_back = "40";
        tick_only(engine.cv, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, {5}, aspects);
        engine.cv.latitude = latitude;
        engine.cv.longitude = longitude;
        engine.cv.p2_asc = engine.cv.p2_mc = 1;
        engine.cv.zodiac_degree = degree;
        engine.cv.p2_helio = p2_helio;
        engine.cv.house_ingresses = house_ingresses;
        engine.calc_kind = calc_kind;
        outcome = engine.Start_Calcs();
        return {engine.result_table.begin() + (engine.result_table.empty() ? 0 : 1), engine.result_table.end()};
    }
    std::string degree = "0";
    int p2_helio = 0;
    bool house_ingresses = false;
    ScanOutcome outcome;
    LibSwe swe;
    Ephemeris eph{swe};
    Engine engine{eph};
};

TEST_F(NatalAngles, RowsToTheAscendantAreThoseOfItsFixedDegreeAndParallelsUseItsDeclination) {
    struct Case { const char* latitude; const char* longitude; int mode; bool fell_back; };
    for (const Case& c : {Case{"51N30", "0W07", 0, false}, Case{"-34.6037", "-58.3816", 0, false},
                          Case{"69N39", "18E57", 0, true}, Case{"51N30", "0W07", 2, false}}) {
        SCOPED_TRACE(std::string(c.latitude) + " mode " + std::to_string(c.mode));
        std::vector<ResultRow> to_asc;
        for (const ResultRow& row : rows(c.latitude, c.longitude, c.mode, 1, {0, 5, 7, 9, 14, 16, 17})) {
            const bool decl = row[1] == "16" || row[1] == "17", mc = row[2] == std::to_string(mc_point);
            const double natal = mc ? engine.natal_houses->mc : engine.natal_houses->ascendant;
            if (row[2] == "5") continue;
            EXPECT_NEAR(std::stod(std::string(row[decl ? 11 : 6])), decl ? ecliptic_declination(natal, engine.natal_houses->obliquity) : natal, 1e-9);
            if (!mc && !decl) to_asc.push_back(row);
        }
        EXPECT_EQ(outcome.houses_note.empty(), !c.fell_back) << outcome.houses_note;
        degree = format_fixed(engine.natal_houses->ascendant, 15);
        const std::vector<ResultRow> to_degree = rows(c.latitude, c.longitude, c.mode, 0, {0, 5, 7, 9, 14});
        ASSERT_EQ(to_asc.size(), to_degree.size());
        ASSERT_FALSE(to_asc.empty());
        for (std::size_t i = 0; i < to_asc.size(); ++i)
            for (int column : {0, 1, 3, 4, 5, 6, 8, 10}) EXPECT_EQ(to_asc[i][column], to_degree[i][column]) << i;
    }
    // No place, transit to transit, the helio P2 column: the angles are not scanned.
    for (const auto& [latitude, mode, helio] : {std::tuple{"", 0, 0}, {"48.85", 1, 0}, {"48.85", 0, 1}}) {
        p2_helio = helio;
        for (const ResultRow& row : rows(latitude, *latitude ? "2.35" : "", mode, 1, {0, 16})) EXPECT_EQ(row[2], "5");
    }
}

// Each crossing is at the cusp (to the calculation's tolerance) and carries the body on to the
// next house or, backwards, to the one before; the Moon passes every cusp each month.
TEST_F(NatalAngles, HouseIngressesCrossTheCuspsInOrder) {
    const double from = swe_julday(2003, 1, 1, 0.0, SE_GREG_CAL);  // eight years of the Moon, Mars and Saturn
    const HouseIngressSearch search{from, from + 8 * 365.25, {1, 4, 6},
        compute_houses(swe_julday(1949, 9, 22, 16.7, SE_GREG_CAL), 51.5, -0.1, HouseSystem::Placidus)->cusps};
    std::array<int, body_count> last_house{};
    const std::vector<HouseIngress> found = find_house_ingresses(eph, search).ingresses;
    for (const HouseIngress& x : found) {
        const double cusp = search.cusps[static_cast<std::size_t>((x.retrograde ? x.left : x.house) - 1)];
        EXPECT_LT(std::fabs(std::remainder(eph.Get_1_Planet_geo(x.jd, x.body) - cusp, 360.0)),
                  std::fabs(eph.last_speed()) * 0.00007 + 1e-6) << house_ingress_text(x);
        int& before = last_house[static_cast<std::size_t>(x.body)];
        EXPECT_TRUE(before == 0 || before == x.left) << house_ingress_text(x);
        before = x.house;
    }
    EXPECT_GT(found.size(), 8u * 12u * 12u);
    EXPECT_TRUE(std::any_of(found.begin(), found.end(), [](const HouseIngress& x) { return x.retrograde; }));
    EXPECT_EQ(house_ingress_text({6, 0.0, 0.0, 10, 9, false}), "Saturn enters natal house 10");
    EXPECT_EQ(house_ingress_text({6, 0.0, 0.0, 9, 10, true}), "Saturn leaves house 10 for house 9");
}

// A run's house ingresses in each natal mode against the library alone (swe_houses_ex2's cusps, bisection on
// swe_calc_ut; directed: natal place plus the Sun's arc); the first cusp's are the conjunctions with the Ascendant.
TEST_F(NatalAngles, RunHouseIngressesAreTheCuspCrossingsOfTheLibrary) {
    house_ingresses = true;
    for (const int mode : {0, 2, 3}) {
        std::vector<double> conjunctions, first_cusp;  // in scan time
        for (const ResultRow& row : rows("51N30", "0W07", mode, 1, {0})) if (row[2] == std::to_string(asc_point)) conjunctions.push_back(row.exact_jd);
        double cusps[13], ascmc[10], xx[6];
        swe_houses_ex2(engine.natal_jd, 0, 51.5, -7.0 / 60, 'P', cusps, ascmc, nullptr, nullptr, nullptr);
        const auto calc = [&](double t, int body) { return swe_calc_ut(t, body, SEFLG_SWIEPH, xx, nullptr), xx[0]; };
        const auto lon = [&](int b, double t) { return mode == 3 ? calc(engine.natal_jd, b) + calc(t, 0) - engine.natal_lon[0] : calc(t, b); };
        for (const SkyEvent& e : engine.sky_events) {
            const double t = mode == 0 ? e.jd : engine.natal_jd + (e.jd - engine.natal_jd) / 365.242199;
            const double cusp = cusps[e.retrograde ? e.house_left : e.house];
            double a = t - 0.01, b = t + 0.01;  // from the side the event says the body came from
            for (int i = 0; i < 50; ++i) ((std::remainder(lon(e.body, (a + b) / 2) - cusp, 360.0) < 0.0) != e.retrograde ? a : b) = (a + b) / 2;
            EXPECT_NEAR(t, a, PairScan::secant_tolerance) << mode << " " << e.body << " " << e.jd;
            if (cusp == cusps[1]) first_cusp.push_back(t);
        }
        std::sort(conjunctions.begin(), conjunctions.end());
        ASSERT_EQ(std::pair(first_cusp.size(), engine.sky_events.size() > 5), std::pair(conjunctions.size(), true)) << mode;
        for (std::size_t i = 0; i < conjunctions.size(); ++i) EXPECT_NEAR(first_cusp[i], conjunctions[i], PairScan::secant_tolerance);
    }
}

// Scripted: failing Saturn is named, no crossing; the Moon crosses 30 to 390 degrees, to 120 if cancelled.
TEST(HouseIngressScan, FailingBodyNamedCancelKeepsWhatWasFound) {
    for (const int steps : {-1, 10}) {  // before the cancel
        FakeSwe swe;
        swe.motions = {{1, [](double t, int, double* xx) { xx[0] = std::fmod(13 * t, 360.0); }}, {6, [](double, int, double* xx) { xx[0] = 100; }}};
        swe.failing_between[6] = {5, 6};
        Ephemeris eph(swe);
        const HouseIngressesResult r = find_house_ingresses(eph, {0, 32, {1, 6}, {0, 30, 60, 90, 120, 150, 180, 210, 240, 270, 300, 330},
                                                                  false, 0, false, {}, [&, n = 0]() mutable { return steps >= 0 && ++n > steps; }});
        EXPECT_EQ(std::tuple(r.cancelled, r.errors.size(), r.ingresses.size()), std::tuple(steps >= 0, steps < 0 ? 1u : 0u, steps < 0 ? 13u : 4u));
    }
}

}  // namespace
