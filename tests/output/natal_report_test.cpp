#include "output/natal_report.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "engine/ephemeris.h"
#include "support/fake_swe.h"

namespace tavrolin {
namespace {

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "text after the last line end";
    return lines;
}

TEST(NatalReportLine, LayoutOfBothReports) {
    EXPECT_EQ(natal_longitude_line("Sun", 125.395833), "Sun         05 LEO 23m 45s  125.395833   \r\n");
    EXPECT_EQ(natal_decl_lat_line("Sun", -18.07123), "Sun          18 S 04  -18.07123   \r\n");
    // Names are cut to 11 characters (and at a NUL the library's buffer leaves).
    EXPECT_EQ(natal_longitude_line("Longer than eleven", 0), "Longer than 00 ARI 00m 00s    0.000000   \r\n");
    EXPECT_EQ(natal_decl_lat_line(std::string("Mars\0junk", 9), 5), "Mars         05 N 00    5.00000   \r\n");
}

TEST(NatalReportLine, ValuesAreRightAlignedInTheirField) {
    struct Case {
        bool longitude;
        double value;
        const char* field;  // 12 characters from column 27, or 11 from column 21
    };
    const Case cases[] = {
        {true, 0, "    0.000000"},         {true, 9.99999, "    9.999990"},     {true, 9.9999996, "   10.000000"},
        {true, 99.999999, "   99.999999"}, {true, 99.9999996, "  100.000000"}, {true, 359.9999999, "  360.000000"},
        // 10 when rounded to five decimals, not when printed with six: still 12 characters.
        {true, 9.999995, "    9.999995"},  {true, 99.999995, "   99.999995"},
        {false, 0, "    0.00000"},         {false, -0.000001, "    0.00000"},  {false, 9.99999, "    9.99999"},
        {false, 9.999996, "   10.00000"},  {false, -9.99999, "   -9.99999"},  {false, -10, "  -10.00000"},
        {false, -9.999996, "  -10.00000"}, {false, -89.5, "  -89.50000"},
    };
    for (const auto& c : cases) {
        const std::string line = c.longitude ? natal_longitude_line("Moon", c.value) : natal_decl_lat_line("Moon", c.value);
        const std::size_t field_end = c.longitude ? 38 : 31;
        EXPECT_EQ(line.size(), field_end + 5) << c.value;
        EXPECT_EQ(line.substr(0, field_end).substr(field_end - std::string(c.field).size()), c.field) << c.value;
        EXPECT_EQ(line.substr(field_end), "   \r\n") << c.value;
    }
}

class NatalReport : public ::testing::Test {
protected:
    testing::FakeSwe swe;
    Ephemeris eph{swe};
    Engine engine{eph};
    // Names that tell the library body numbers apart.
    BodyNameSource names = [](int n) { return "B" + std::to_string(n); };

    void SetUp() override {
        engine.cv.natal_date = "09/22/1949";
        for (int i = 0; i <= last_body_index; ++i) {
            engine.natal_lon[static_cast<std::size_t>(i)] = i;
            engine.natal_decl[static_cast<std::size_t>(i)] = -i;
        }
    }
};

TEST_F(NatalReport, BodiesAndBlankLinesByTheHelioTick) {
    const std::vector<std::string> geocentric = {
        "B0", "B1", "B2", "B3", "B4", "B5", "B6", "B7", "B8", "B9", "", "B10", "B11", "B12", "B13", "",
        "B15", "B16", "", "B17", "B18", "B19", "B20", "B146199", "B100377"};
    const std::vector<std::string> heliocentric = {"B2",  "B3",  "B4",  "B5",  "B6",  "B7",  "B8",     "B9",     "",
                                                   "B14", "",    "B15", "B16", "",    "B17", "B18",    "B19",    "B20",
                                                   "B146199", "B100377"};
    struct Case {
        int helio;
        const std::vector<std::string>& names;
        std::size_t bodies;
    };
    for (const Case& c : {Case{0, geocentric, 22}, Case{1, heliocentric, 17}}) {
        engine.cv.p2_helio = c.helio;
        for (bool longitude : {true, false}) {
            const std::string report = longitude ? Print_Natal_Positions_Longitude(engine, names)
                                                 : Print_Natal_Positions_Decl_Lat(engine, names);
            EXPECT_EQ(report, longitude ? engine.natal_lon_report : engine.natal_decl_lat_report);
            const auto lines = lines_of(report);
            ASSERT_EQ(lines.size(), c.names.size()) << c.helio << longitude;
            std::size_t bodies = 0;
            for (std::size_t k = 0; k < lines.size(); ++k) {
                if (c.names[k].empty()) {
                    EXPECT_EQ(lines[k], "") << k;
                    continue;
                }
                ++bodies;
                EXPECT_EQ(lines[k].size(), longitude ? 41u : 34u) << lines[k];
                EXPECT_EQ(lines[k].substr(0, 11), c.names[k] + std::string(11 - c.names[k].size(), ' '));
                // The value of the line is the body's own.
                const int index = c.names[k] == "B146199" ? 21 : c.names[k] == "B100377" ? 22 : std::stoi(c.names[k].substr(1));
                const std::string value = longitude ? lines[k].substr(26, 12) : lines[k].substr(20, 11);
                EXPECT_DOUBLE_EQ(std::stod(value), longitude ? index : -index) << lines[k];
            }
            EXPECT_EQ(bodies, c.bodies);
        }
    }
}

TEST_F(NatalReport, BodiesNotComputedAreNamedWhenTheyAreReported) {
    swe.failing[body_number(21)] = "SwissEph file 's136199.se1' not found";
    swe.failing[body_number(earth_index)] = "no geocentric Earth";  // not in a geocentric report
    const NatalReportOutcome outcome = run_natal_report(engine, NatalReportKind::Longitude, names);
    ASSERT_TRUE(outcome.ran);
    EXPECT_EQ(outcome.not_computed, "Eris: position not computed: SwissEph file 's136199.se1' not found\r\n");
    EXPECT_EQ(lines_of(outcome.text).size(), 25u);
}

}  // namespace
}  // namespace tavrolin
