#include "engine/result_row.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace tavrolin {
namespace {

// A row changed column by column reads back like twelve separate strings changed the same way.
TEST(ResultRow, ColumnsReadBackAfterEveryChange) {
    ResultRow row{"4", "7", "6", "12/05/2026 14:30:00"};
    std::array<std::string, ResultRow::columns> model{"4", "7", "6", "12/05/2026 14:30:00"};
    const struct {
        int column;
        std::string text;
    } changes[] = {{0, "21"}, {11, "-5.318"}, {5, "253.491234567891"}, {5, ""}, {3, "x"}, {0, ""}, {11, "0"},
                   {6, std::string(300, '9')}};
    for (const auto& change : changes) {
        row.set(change.column, change.text);
        model[static_cast<std::size_t>(change.column)] = change.text;
        for (int c = 0; c < ResultRow::columns; ++c)
            EXPECT_EQ(row[c], model[static_cast<std::size_t>(c)]) << "column " << c << " after setting " << change.column;
    }
}

}  // namespace
}  // namespace tavrolin
