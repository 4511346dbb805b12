// The calculation of Start_Calcs done faster, with the same result row for row: the positions of
// the scan times are computed once per body (PositionGrid) instead of once per body pair, the
// refinement's repeated calls are answered from the last few, and the pairs are scanned by
// several threads and put together in their order.
#pragma once

#include <atomic>
#include <functional>

#include "engine/engine.h"

namespace tavrolin {

struct ScanControl {
    // Threads scanning pairs; 0: one per processor.
    int threads = 0;
    // Set (from any thread) to end the run early; the rows found up to the first pair not
    // finished, and that pair's up to the step it had reached, are kept.
    const std::atomic<bool>* cancel = nullptr;
    // Told now and then, on the thread that called, the share of the work done (0 to 1).
    std::function<void(double)> progress;
    // The grid is left out when it would take more memory than this.
    std::size_t grid_budget_bytes = std::size_t{256} << 20;
    // Refinements that provably cannot add a row are not run.
    bool skip_futile_refinements = true;
    // The run's events compute the positions they need at the scan times into the scan's grid,
    // where the pairs then find them, instead of both asking the library (the same events and
    // rows either way).
    bool events_from_grid = true;
};

// Does what engine.Start_Calcs does, with the same effects on the engine (result_table,
// result_count, near_miss_text, last_outcome, the natal tables and the ephemeris errors), and
// adds the cancelled outcome.
ScanOutcome Start_Calcs_parallel(Engine& engine, const ScanControl& control,
                                 const std::function<void()>& started = {});

}  // namespace tavrolin
