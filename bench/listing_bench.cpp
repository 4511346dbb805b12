// Times the output steps on a table at the engine's row limit: a million rows found pair by pair
// (each pair's rows in time order, the pairs interleaved in time), sorted, then listed.
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "engine/date_text.h"
#include "engine/engine.h"
#include "output/listing.h"
#include "output/sorting.h"

using namespace tavrolin;

int main() {
    constexpr int rows = Engine::max_result_rows;
    constexpr int pairs = 400;
    std::mt19937 random(1);
    std::uniform_int_distribution<int> seconds_of_day(0, 86399);
    std::vector<ResultRow> table(1);
    table.reserve(rows + 1);
    const long long first_day = days_from_civil(CivilDate{1900, 1, 1});
    for (int p = 0; p < pairs; ++p) {
        for (int k = 0; k < rows / pairs; ++k) {
            const CivilDate d = civil_from_days(first_day + k * 20 + p % 20);
            const int s = seconds_of_day(random);
            char exact[32];
            std::snprintf(exact, sizeof exact, "%02d/%02d/%04d %02d:%02d:%02d", d.month, d.day, d.year, s / 3600,
                          s / 60 % 60, s % 60);
            const std::string_view number = "123.456789012345";
            table.push_back(ResultRow{std::to_string(p % 23), std::to_string(p % 18), std::to_string((p / 23) % 23),
                                      exact, number, number, number, number, number, number, number, number});
        }
    }
    const int count = static_cast<int>(table.size()) - 1;

    const auto t0 = std::chrono::steady_clock::now();
    QuickSortStringsAscending(table, 1, count);
    const auto t1 = std::chrono::steady_clock::now();
    ControlValues cv;
    const std::string text = listing_frame(table, count, ListingContext{cv, 1}, default_row_entry);
    const auto t2 = std::chrono::steady_clock::now();

    std::printf("%d rows: sort %.3f s, default listing %.3f s (%zu bytes)\n", count,
                std::chrono::duration<double>(t1 - t0).count(), std::chrono::duration<double>(t2 - t1).count(),
                text.size());
    return 0;
}
