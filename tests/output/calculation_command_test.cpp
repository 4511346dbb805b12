#include "output/calculation_command.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/ephemeris.h"
#include "support/fake_swe.h"

namespace tavrolin {
namespace {

ResultRow row(int p1, int aspect, int p2, const std::string& exact) {
    return ResultRow{std::to_string(p1), std::to_string(aspect), std::to_string(p2), exact};
}

class OutputSteps : public ::testing::Test {
protected:
    testing::FakeSwe swe;
    Ephemeris eph{swe};
    Engine engine{eph};

    void SetUp() override {
        engine.last_outcome.ran = true;
        engine.near_miss_text = "\r\nWithin 1 deg. of exact:\r\nMars 090 Saturn: 12/01/2005 - 12/03/2005\r\n";
        // Found pair by pair: later Moon row first, then two rows on one date.
        engine.result_table = {ResultRow{}, row(0, 0, 1, "12/06/2005 08:00:00"), row(0, 7, 4, "12/05/2005 14:23:07"),
                               row(3, 9, 4, "12/06/2005 01:00:00")};
        engine.result_count = 3;
    }
};

TEST_F(OutputSteps, SortsOnlyWhenSortOutputIsTicked) {
    const std::string sorted =
        "Aspects found:\r\n\r\nSun 090 Mars 12/05/2005 14:23:07\r\n"
        "\r\nVenus 120 Mars 12/06/2005 01:00:00\r\nSun 000 Moon 12/06/2005 08:00:00\r\n";
    const std::string found_order =
        "Aspects found:\r\n\r\nSun 000 Moon 12/06/2005 08:00:00\r\n"
        "\r\nSun 090 Mars 12/05/2005 14:23:07\r\n"
        "\r\nVenus 120 Mars 12/06/2005 01:00:00\r\n";
    struct Case {
        int sort_output;
        const std::string& listing;
    };
    // The greyed value 2 does not count as ticked.
    for (const Case& c : {Case{1, sorted}, Case{0, found_order}, Case{2, found_order}}) {
        SetUp();
        engine.cv.sort_output = c.sort_output;
        engine.calc_kind = 1;
        EXPECT_EQ(results_box_text(engine), c.listing + engine.near_miss_text) << c.sort_output;
        EXPECT_EQ(engine.result_table[2][3], c.sort_output == 1 ? "12/06/2005 01:00:00" : "12/05/2005 14:23:07");
    }
}

TEST_F(OutputSteps, NearMissSectionOnlyInTheAspectsCommand) {
    engine.cv.sort_output = 0;
    engine.result_count = 0;
    engine.calc_kind = 1;
    EXPECT_EQ(results_box_text(engine), "Aspects found:\r\n\r\nWithin 1 deg. of exact:\r\nMars 090 Saturn: "
                                        "12/01/2005 - 12/03/2005\r\n");
    engine.calc_kind = 0;
    EXPECT_EQ(results_box_text(engine), "Aspects found:\r\n");
}

TEST_F(OutputSteps, BodiesWithoutPositionsAreNamedAtTheEnd) {
    engine.result_count = 0;
    engine.calc_kind = 1;
    const std::string clean = results_box_text(engine);
    EXPECT_EQ(clean.find("not computed"), std::string::npos);

    swe.failing[body_number(21)] = "SwissEph file 's136199.se1' not found";
    swe.failing[body_number(15)] = "Chiron file missing";
    eph.Get_1_Planet_geo(2453705.5, 21);
    eph.Get_1_Planet_decl(2453706.5, 21);  // only the first message of a body is kept
    eph.Get_1_Planet_geo(2453705.5, 15);
    eph.Get_1_Planet_geo(2453705.5, 5);
    EXPECT_EQ(results_box_text(engine), clean +
                                            "Chiron: position not computed: Chiron file missing\r\n"
                                            "Eris: position not computed: SwissEph file 's136199.se1' not found\r\n");
}

TEST_F(OutputSteps, ScanEndedEarlyIsSaidAfterTheRowsBeforeTheNearMisses) {
    struct Case {
        int calc_kind;
        bool cancelled;
        std::string text;
    };
    const Case cases[] = {
        {0, false,
         "Aspects found:\r\n\r\nSun 000 179.331 12/06/2005 08:00:00\r\n"
         "The scan stopped at 1,000,000 rows; it had reached 03/04/2010.\r\n"},
        {0, true,
         "Aspects found:\r\n\r\nSun 000 179.331 12/06/2005 08:00:00\r\n"
         "The run was cancelled at 03/04/2010, while scanning Venus.\r\n"},
        {1, true,
         "Aspects found:\r\n\r\nSun 000 Moon 12/06/2005 08:00:00\r\n"
         "The run was cancelled at 03/04/2010, while scanning Venus to Mars.\r\n"
         "\r\nWithin 1 deg. of exact:\r\nMars 090 Saturn: 12/01/2005 - 12/03/2005\r\n"},
    };
    for (const Case& c : cases) {
        SetUp();
        engine.cv.sort_output = 0;
        engine.result_count = 1;
        engine.calc_kind = c.calc_kind;
        ScanOutcome& out = engine.last_outcome;
        out.row_limit_reached = !c.cancelled;
        out.stopped_at_date = "03/04/2010";
        out.cancelled = c.cancelled;
        out.cancelled_at_date = "03/04/2010";
        out.cancelled_p1 = 3;
        out.cancelled_p2 = 4;
        EXPECT_EQ(results_box_text(engine), c.text);
    }
}

TEST(CommandTexts, InvalidDateAndLineEnds) {
    ScanOutcome outcome;
    outcome.invalid_field = "End Date";
    outcome.invalid_text = "12/32/2005";
    EXPECT_EQ(invalid_date_message(outcome), "End Date: \"12/32/2005\" is not a date");
    EXPECT_EQ(to_platform_line_ends("a\r\nb\r\n\r\nc\rd\n"), "a\nb\n\nc\rd\n");
}

}  // namespace
}  // namespace tavrolin
