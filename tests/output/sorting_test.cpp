#include "output/sorting.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/result_time.h"

namespace tavrolin {
namespace {

// A row whose every column carries its tag, so that a row torn apart by the sort shows.
ResultRow tagged(const std::string& tag, const std::string& exact) {
    ResultRow r;
    for (int c = 0; c < ResultRow::columns; ++c) r.set(c, c == 3 ? exact : tag + "." + std::to_string(c));
    return r;
}

std::string tag_of(const ResultRow& r) { return std::string(r[0].substr(0, r[0].find('.'))); }

void expect_rows_whole(const std::vector<ResultRow>& t) {
    for (std::size_t i = 1; i < t.size(); ++i) {
        for (int c = 0; c < ResultRow::columns; ++c) {
            if (c == 3) continue;
            EXPECT_EQ(t[i][c], tag_of(t[i]) + "." + std::to_string(c)) << "row " << i;
        }
    }
}

std::string order(const std::vector<ResultRow>& t) {
    std::string s;
    for (std::size_t i = 1; i < t.size(); ++i) s += tag_of(t[i]);
    return s;
}

const std::string early = "12/05/2005 10:00:00";
const std::string late = "12/05/2005 11:00:00";

TEST(Sorting, PivotIsTheMiddleRowRoundedHalfToEven) {
    // Equal keys are exchanged when they meet the pivot, so where ties end up depends on which
    // row is the pivot. Worked by hand: rows 1..4 take row 2 (not 3), rows 1..6 take row 4 (not 3).
    struct Case {
        std::vector<const std::string*> keys;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {{&late, &early, &late, &early}, "DBAC"},
        {{&early, &early, &late, &early, &late, &early}, "DFABCE"},
        {{&late, &early}, "BA"},
        {{&early, &late}, "AB"},
        {{&early, &early}, "BA"},
    };
    for (const auto& c : cases) {
        std::vector<ResultRow> t(1);
        for (std::size_t i = 0; i < c.keys.size(); ++i) t.push_back(tagged(std::string(1, char('A' + i)), *c.keys[i]));
        QuickSortStringsAscending(t, 1, static_cast<int>(c.keys.size()));
        EXPECT_EQ(order(t), c.expected);
        expect_rows_whole(t);
    }
}

TEST(Sorting, KeysAreReadMonthFirstAsPointsInTime) {
    std::vector<ResultRow> t = {ResultRow{},
                                tagged("F", "02/01/2006 00:00:00"),
                                tagged("E", "01/02/2006 00:00:00"),
                                tagged("D", "01/01/2006 00:00:00"),
                                tagged("C", "12/31/2005 23:59:59"),
                                tagged("B", "12/31/2005 9:05:00"),
                                tagged("A", "12/31/1999 23:59:59")};
    QuickSortStringsAscending(t, 1, 6);
    EXPECT_EQ(order(t), "ABCDEF");
    expect_rows_whole(t);
}

TEST(Sorting, SortsOnlyTheGivenStretch) {
    std::vector<ResultRow> t = {ResultRow{}, tagged("A", late), tagged("B", late), tagged("C", early),
                                tagged("D", early)};
    QuickSortStringsAscending(t, 2, 3);
    EXPECT_EQ(order(t), "ACBD");
}

TEST(ResultTime, ReadsTheExactTimeColumn) {
    struct Case {
        std::string text;
        bool valid;
    };
    for (const Case& c : {Case{"12/05/2005 14:23:07", true}, Case{"12/05/2005", true},
                          Case{"2/5/2005 1:2:3", true}, Case{"31/12/2005 10:00:00", false},
                          Case{"12/05/2005 24:00:00", false}, Case{"12/05/2005 10:00", false},
                          Case{"02/29/2005 10:00:00", false}, Case{"02/29/2004 10:00:00", true},
                          Case{"12/05/2005 10:60:00", false}, Case{"12-05-2005 10:00:00", true},
                          Case{"00/05/2005 10:00:00", false}, Case{"12/05/0099 10:00:00", false},
                          Case{"", false}, Case{"garbage", false}}) {
        EXPECT_EQ(result_seconds(c.text).has_value(), c.valid) << c.text;
    }
    EXPECT_EQ(*result_seconds("12/06/2005 00:00:00") - *result_seconds("12/05/2005 23:59:59"), 1);
}

}  // namespace
}  // namespace tavrolin
