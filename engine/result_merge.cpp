// Putting the pairs' results together: the rows, near misses, stretches and errors of each pair in
// the plan's order, cut where a scan of the pairs one after another would have stopped.
#include <algorithm>
#include <charconv>

#include "engine/engine.h"

namespace tavrolin {

namespace {

const std::string crlf = "\r\n";

int aspect_of(const ResultRow& row) {
    const std::string_view text = row[1];
    int aspect = -1;
    std::from_chars(text.data(), text.data() + text.size(), aspect);
    return aspect;
}

}  // namespace

ResultMerge::ResultMerge(const ScanInputs& inputs, ScanOutcome& outcome) : inputs_(inputs), outcome_(outcome) {
    results_.result_table.resize(1);
    results_.near_miss_text = crlf + "Within 1 deg. of exact:" + crlf;
}

bool ResultMerge::add(PairResult&& pair) {
    const auto [p1, p2] = inputs_.plan.pairs.at(pairs_);
    ++pairs_;
    ScanResults& r = results_;
    // A pair's stretches are added as they close, which depends on where its scan ended; each
    // aspect's come in time order, so a stable sort by aspect gives one order wherever it ended.
    std::stable_sort(pair.stretches.begin(), pair.stretches.end(),
                     [](const OrbStretch& a, const OrbStretch& b) { return a.aspect < b.aspect; });
    const auto take = [&](std::size_t rows, std::size_t errors) {
        for (std::size_t i = 0; i < rows; ++i) r.result_table.push_back(std::move(pair.rows[i]));
        r.result_count += static_cast<int>(rows);
        r.errors.insert(r.errors.end(), pair.errors.begin(), pair.errors.begin() + static_cast<std::ptrdiff_t>(errors));
        r.orb_stretches.insert(r.orb_stretches.end(), pair.stretches.begin(), pair.stretches.end());
    };

    if (pair.end.kind == PairEnd::Kind::stopped) {
        // Cancelled: this pair's rows up to the step it reached are the last ones kept.
        take(pair.rows.size(), pair.errors.size());
        outcome_.cancelled = true;
        outcome_.cancelled_at_date = inputs_.plan.calendar_date(pair.end.at, inputs_.cv.date_order);
        outcome_.cancelled_p1 = p1;
        outcome_.cancelled_p2 = p2;
        return true;
    }

    // The scan stops right after the row that reaches the limit. Of the pair's stretches it then
    // has those of the aspects met up to that row, cut at the row's step.
    const auto last_row = static_cast<std::size_t>(std::max(1, inputs_.row_limit - r.result_count));
    if (pair.rows.size() >= last_row) {
        std::array<bool, aspect_count> met{};
        for (std::size_t i = 0; i < last_row; ++i) {
            const int a = aspect_of(pair.rows[i]);
            if (a >= 0 && a < aspect_count) met[static_cast<std::size_t>(a)] = true;
        }
        std::erase_if(pair.stretches, [&](const OrbStretch& s) { return !met[static_cast<std::size_t>(s.aspect)]; });
        const double step = pair.row_steps[last_row - 1];
        cut_stretches(pair.stretches, 0, inputs_.plan.calendar_time(step));
        r.rows_outside_calendar += pair.row_outside_calendar[last_row - 1];
        take(last_row, pair.row_errors[last_row - 1]);
        outcome_.row_limit_reached = true;
        outcome_.stopped_at_date = inputs_.plan.calendar_date(step, inputs_.cv.date_order);
        return true;
    }

    take(pair.rows.size(), pair.errors.size());
    r.near_miss_text += pair.near_miss_line;
    r.near_misses.insert(r.near_misses.end(), pair.near_misses.begin(), pair.near_misses.end());
    r.rows_outside_calendar += pair.rows_outside_calendar;
    return false;
}

ScanResults ResultMerge::finish() && { return std::move(results_); }

ScanResults merge_pair_results(std::vector<PairResult> pairs, const ScanInputs& inputs, ScanOutcome& outcome) {
    ResultMerge merge(inputs, outcome);
    for (PairResult& pair : pairs)
        if (merge.add(std::move(pair))) break;
    return std::move(merge).finish();
}

}  // namespace tavrolin
