#include "output/listing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavrolin {
namespace {

ResultRow row(int p1, int aspect, int p2, const std::string& exact) {
    return ResultRow{std::to_string(p1), std::to_string(aspect), std::to_string(p2), exact};
}

// Row 0 of a result table is never used.
std::vector<ResultRow> table(std::vector<ResultRow> rows) {
    rows.insert(rows.begin(), ResultRow{});
    return rows;
}

std::string list(const std::vector<ResultRow>& t, const ControlValues& cv, int calc_kind = 1) {
    return listing_frame(t, static_cast<int>(t.size()) - 1, ListingContext{cv, calc_kind}, default_row_entry);
}

TEST(Listing, EmptyTableIsTheHeadingAlone) {
    ControlValues cv;
    const auto t = table({});
    EXPECT_EQ(listing_frame(t, 0, ListingContext{cv, 1}, default_row_entry), "Aspects found:\r\n");
    EXPECT_EQ(listing_frame(t, -3, ListingContext{cv, 0}, default_row_entry), "Aspects found:\r\n");
    // A count below the rows present lists only the counted rows.
    const auto two = table({row(0, 0, 1, "12/05/2005 01:00:00"), row(2, 0, 3, "12/05/2005 02:00:00")});
    EXPECT_EQ(listing_frame(two, 1, ListingContext{cv, 1}, default_row_entry),
              "Aspects found:\r\n\r\nSun 000 Moon 12/05/2005 01:00:00\r\n");
}

TEST(Listing, DefaultLineOfAnAspectsRun) {
    ControlValues cv;
    cv.user_defined_angle = "33.3";
    const auto t = table({row(0, 7, 4, "12/05/2005 14:23:07"), row(21, 15, 22, "12/05/2005 15:00:00"),
                          row(1, 16, 2, "12/05/2005 16:00:00"), row(14, 17, 13, "12/05/2005 17:00:00")});
    EXPECT_EQ(list(t, cv),
              "Aspects found:\r\n"
              "\r\n"
              "Sun 090 Mars 12/05/2005 14:23:07\r\n"
              "Eris 33.3 Sedna 12/05/2005 15:00:00\r\n"
              "Moon par Mercury 12/05/2005 16:00:00\r\n"
              "Earth c.p Oscu Apogee 12/05/2005 17:00:00\r\n");
}

TEST(Listing, DegreeRunShowsTheDegreeTextWithThreeDecimals) {
    struct Case {
        std::string degree;
        std::string shown;
    };
    const std::vector<Case> cases = {
        {"179.331227", "179.331"}, {"10", "10.000"},   {"-0.0005", "-0.001"}, {"2.0005", "2.001"},
        {" 5.5 ", "5.500"},        {"abc", "abc"},     {"12abc", "12abc"},    {"", ""},
        {".5", "0.500"},           {"1e2", "100.000"},
    };
    for (const auto& c : cases) {
        ControlValues cv;
        cv.zodiac_degree = c.degree;
        const auto t = table({row(0, 0, 9, "12/05/2005 14:23:07")});
        EXPECT_EQ(list(t, cv, 0), "Aspects found:\r\n\r\nSun 000 " + c.shown + " 12/05/2005 14:23:07\r\n")
            << c.degree;
    }
}

TEST(Listing, EmptyLineBeforeEachRunOfOneDate) {
    // Same date twice (different times), a new date, then the first date again: the grouping only
    // looks at the row before. The last two rows fall on 12/31 (month 31 exists only when the
    // column is read month first) and on 01/02 (which another order would read as 1 February).
    const auto t = table({row(0, 0, 1, "12/05/2005 10:00:00"), row(0, 0, 2, "12/05/2005 23:59:59"),
                          row(0, 0, 3, "12/06/2005 00:00:00"), row(0, 0, 4, "12/05/2005 02:00:00"),
                          row(0, 0, 5, "12/31/2005 01:00:00"), row(0, 0, 6, "12/31/2005 02:00:00"),
                          row(0, 0, 7, "01/02/2006 01:00:00"), row(0, 0, 8, "02/01/2006 01:00:00")});
    const std::string grouped =
        "Aspects found:\r\n"
        "\r\n"
        "Sun 000 Moon 12/05/2005 10:00:00\r\n"
        "Sun 000 Mercury 12/05/2005 23:59:59\r\n"
        "\r\n"
        "Sun 000 Venus 12/06/2005 00:00:00\r\n"
        "\r\n"
        "Sun 000 Mars 12/05/2005 02:00:00\r\n"
        "\r\n"
        "Sun 000 Jupiter 12/31/2005 01:00:00\r\n"
        "Sun 000 Saturn 12/31/2005 02:00:00\r\n"
        "\r\n"
        "Sun 000 Uranus 01/02/2006 01:00:00\r\n"
        "\r\n"
        "Sun 000 Neptune 02/01/2006 01:00:00\r\n";
    std::string ungrouped = grouped;
    for (auto p = ungrouped.find("\r\n\r\n"); p != std::string::npos; p = ungrouped.find("\r\n\r\n"))
        ungrouped.erase(p, 2);

    struct Case {
        int date_order;
        const std::string& expected;
    };
    for (const Case& c : {Case{0, grouped}, Case{1, grouped}, Case{2, grouped}, Case{3, ungrouped},
                          Case{-1, ungrouped}}) {
        ControlValues cv;
        cv.date_order = c.date_order;
        EXPECT_EQ(list(t, cv), c.expected) << "date order " << c.date_order;
    }
}

TEST(Listing, TextThatHoldsNoDateGroupsByTheTextItself) {
    ControlValues cv;
    const auto t = table({row(0, 0, 1, "not a date"), row(0, 0, 2, "not a date"), row(0, 0, 3, "other")});
    EXPECT_EQ(list(t, cv),
              "Aspects found:\r\n\r\nSun 000 Moon not a date\r\nSun 000 Mercury not a date\r\n"
              "\r\nSun 000 Venus other\r\n");
}

TEST(Listing, FrameTakesAnyRowEntry) {
    ControlValues cv;
    const auto t = table({row(3, 5, 4, "12/05/2005 10:00:00"), row(4, 5, 3, "12/06/2005 10:00:00")});
    const RowEntry two_lines = [](const ListingContext& c, const ResultRow& r) {
        return std::string(r[0]) + "|" + std::to_string(c.calc_kind) + "\r\n  more\r\n";
    };
    EXPECT_EQ(listing_frame(t, 2, ListingContext{cv, 0}, two_lines),
              "Aspects found:\r\n\r\n3|0\r\n  more\r\n\r\n4|0\r\n  more\r\n");
}

}  // namespace
}  // namespace tavrolin
