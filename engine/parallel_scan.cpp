#include "engine/parallel_scan.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <exception>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "engine/position_grid.h"

namespace tavrolin {

namespace {

// Times filled in at a go: a few milliseconds of library calls.
constexpr int fill_chunk = 256;
// Tracks filled together, one time after another (the library then reuses what all bodies share
// at a moment: the Earth, nutation); more would fill tracks that a run stopped at the row limit
// never reads.
constexpr std::size_t tracks_per_fill = 8;
// A time of a track costs about two library calls, a step of a pair a few microseconds: the
// weights of the two in the progress shown.
constexpr double fill_weight = 4.0;
constexpr int steps_per_progress_count = 64;

// One piece of work, in the order the workers take them: a pair's tracks are filled by the
// tasks before it.
struct Task {
    enum class Kind { fill, pair };
    Kind kind = Kind::pair;
    int group = -1;  // fill: the tracks filled
    int from = 0;    // fill: times [from, to)
    int to = 0;
    int pair = 0;  // the pair scanned, or (fill) the first pair that needs the tracks
};

// A pair's result, once its worker has handed it over.
struct PairSlot {
    PairResult result;
    bool finished = false;
};

class ParallelScan {
public:
    ParallelScan(Engine& engine, const ScanControl& control, const ScanInputs& inputs, ScanOutcome& outcome)
        : main_(engine),
          control_(control),
          inputs_(inputs),
          plan_(inputs.plan),
          skip_futile_(control.skip_futile_refinements && engine.eph.api().motion_bounds_hold()),
          slots_(inputs.plan.pairs.size()),
          merge_(inputs, outcome) {}

    // Plans the pairs' tasks and the grid, before the run's events so that they may read it.
    void prepare() { plan_grid(); }
    // The grid (nullptr when the run has none), for the event search to share before any pair.
    PositionGrid* grid() { return grid_.get(); }
    // Scans every pair; the merged results, whose errors the engine's ephemeris has noted too.
    ScanResults run(ScanOutcome& outcome);

private:
    void plan_grid();
    void work(SweApi& api);
    void scan_pair(PairScan& scan, Ephemeris& eph, const Task& task);
    bool pair_needed(int pair) const {
        return pair <= stop_after_.load(std::memory_order_acquire) && !cancel_requested();
    }
    bool cancel_requested() const { return control_.cancel != nullptr && control_.cancel->load(); }
    // Makes workers waiting for tracks look again (after the pairs needed or the cancel changed);
    // taking the lock first keeps a worker from missing it between its look and its wait.
    void wake_waiting_workers() {
        { std::lock_guard<std::mutex> lock(mutex_); }
        track_filled_.notify_all();
    }
    void report_progress(bool force);
    // Puts the finished pairs together in order; true once the run is complete or has ended.
    bool merge_ready(const ScanOutcome& outcome);

    Engine& main_;
    const ScanControl& control_;
    const ScanInputs& inputs_;
    const ScanPlan& plan_;
    const bool skip_futile_;
    int steps_ = 0;
    std::unique_ptr<PositionGrid> grid_;
    std::vector<std::vector<int>> pair_tracks_;
    std::vector<std::vector<int>> fill_groups_;
    std::vector<Task> tasks_;
    std::atomic<std::size_t> next_task_{0};
    std::atomic<int> stop_after_{INT_MAX};  // pairs after this one are not needed

    std::mutex mutex_;
    std::condition_variable pair_finished_;  // to the merging thread
    std::condition_variable track_filled_;   // to workers waiting for a pair's tracks
    std::vector<PairSlot> slots_;

    ResultMerge merge_;
    std::exception_ptr failure_;

    std::atomic<long long> steps_done_{0};
    std::atomic<long long> times_filled_{0};
    std::atomic<long long> worker_calls_{0};
    double total_work_ = 1.0;
    double last_progress_ = -1.0;
    std::chrono::steady_clock::time_point last_progress_time_{};
};

void ParallelScan::plan_grid() {
    steps_ = plan_.steps();
    const ScanInputs& e = inputs_;
    const int arc_body = e.cv.p1_helio == 0 ? 0 : earth_index;
    // The tracks each pair reads at the scan times, in the order the pairs need them.
    std::vector<std::pair<int, int>> track_keys;  // (body, helio)
    std::vector<std::vector<std::pair<int, int>>> needs(plan_.pairs.size());
    for (std::size_t i = 0; i < plan_.pairs.size(); ++i) {
        const auto [p1, p2] = plan_.pairs[i];
        if (e.cv.mode == 3) {
            needs[i].emplace_back(arc_body, e.cv.p1_helio);
        } else {
            needs[i].emplace_back(p1, e.cv.p1_helio);
        }
        if (e.calc_kind == 1 && e.cv.mode == 1) needs[i].emplace_back(p2, e.cv.p2_helio);
        for (const auto& key : needs[i])
            if (std::find(track_keys.begin(), track_keys.end(), key) == track_keys.end()) track_keys.push_back(key);
    }

    const int times = steps_ > 0 ? steps_ + 1 : 0;
    const bool use_grid = times > 0 && PositionGrid::bytes_for(times, static_cast<int>(track_keys.size())) <=
                                           control_.grid_budget_bytes;
    if (use_grid) grid_ = std::make_unique<PositionGrid>(plan_.scan_start, times);

    pair_tracks_.resize(plan_.pairs.size());
    if (grid_) {
        // Tracks are numbered in the order the pairs first need them, and grouped so.
        for (const auto& [body, helio] : track_keys) {
            const int track = grid_->add_track(body, helio);
            if (fill_groups_.empty() || fill_groups_.back().size() == tracks_per_fill) fill_groups_.emplace_back();
            fill_groups_.back().push_back(track);
            // A refinement's points stay within its iteration bound of its step.
            if (skip_futile_) grid_->probe_margins(track, (PairScan::secant_max_iterations + 2) * 1.001, main_.eph);
        }
    }
    std::vector<bool> emitted(fill_groups_.size(), false);
    for (std::size_t i = 0; i < plan_.pairs.size(); ++i) {
        if (grid_) {
            for (const auto& [body, helio] : needs[i]) {
                const int track = grid_->add_track(body, helio);  // the index it already has
                pair_tracks_[i].push_back(track);
                const auto group = static_cast<std::size_t>(track) / tracks_per_fill;
                if (emitted[group]) continue;
                emitted[group] = true;
                for (int from = 0; from < times; from += fill_chunk) {
                    Task fill;
                    fill.kind = Task::Kind::fill;
                    fill.group = static_cast<int>(group);
                    fill.from = from;
                    fill.to = std::min(times, from + fill_chunk);
                    fill.pair = static_cast<int>(i);
                    tasks_.push_back(fill);
                }
            }
        }
        Task pair;
        pair.pair = static_cast<int>(i);
        tasks_.push_back(pair);
    }
    total_work_ = static_cast<double>(plan_.pairs.size()) * steps_ +
                  (grid_ ? fill_weight * times * grid_->track_count() : 0.0);
    if (total_work_ <= 0.0) total_work_ = 1.0;
}

void ParallelScan::scan_pair(PairScan& scan, Ephemeris& eph, const Task& task) {
    PairResult result;
    const auto pair_index = static_cast<std::size_t>(task.pair);
    bool wanted = pair_needed(task.pair);
    if (wanted && grid_) {
        // The tracks are filled by the tasks before this one, which other workers may still run.
        std::unique_lock<std::mutex> lock(mutex_);
        track_filled_.wait(lock, [&] {
            if (!pair_needed(task.pair)) return true;
            for (int t : pair_tracks_[pair_index])
                if (!grid_->complete(t)) return false;
            return true;
        });
        wanted = pair_needed(task.pair);
    }

    if (!wanted) {
        // Not scanned: ended before its first step.
        result.end = {PairEnd::Kind::stopped, plan_.scan_start};
    } else {
        scan.skip_futile_refinements = skip_futile_ && grid_ != nullptr;
        if (grid_)
            for (int t : pair_tracks_[pair_index]) scan.skip_futile_refinements &= grid_->clean(t);
        eph.clear_errors();

        int uncounted = 0;
        PairHooks hooks;
        hooks.stop_before_step = [&](double) {
            if (++uncounted == steps_per_progress_count) {
                steps_done_.fetch_add(uncounted, std::memory_order_relaxed);
                uncounted = 0;
            }
            return !pair_needed(task.pair);
        };
        const auto [p1, p2] = plan_.pairs[pair_index];
        result = scan.scan(p1, p2, inputs_.row_limit, hooks);
        steps_done_.fetch_add(uncounted, std::memory_order_relaxed);
    }

    {
        std::lock_guard<std::mutex> lock(mutex_);
        slots_[pair_index] = PairSlot{std::move(result), true};
    }
    pair_finished_.notify_all();
}

void ParallelScan::work(SweApi& api) {
    Ephemeris eph(api);
    eph.set_options(inputs_.cv.use_et, inputs_.cv.apparent_pos);
    PairScan scan(inputs_, eph);
    eph.use_grid(grid_.get());
    eph.keep_recent_calls(true);

    for (;;) {
        const std::size_t i = next_task_.fetch_add(1);
        if (i >= tasks_.size()) break;
        const Task& task = tasks_[i];
        if (task.kind == Task::Kind::pair) {
            scan_pair(scan, eph, task);
            continue;
        }
        // Tracks nobody will read any more are left unfilled.
        const std::vector<int>& group = fill_groups_[static_cast<std::size_t>(task.group)];
        if (pair_needed(task.pair)) {
            grid_->fill(group, task.from, task.to, eph);
            times_filled_.fetch_add(static_cast<long long>(task.to - task.from) * static_cast<long long>(group.size()),
                                    std::memory_order_relaxed);
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (const int track : group) grid_->mark_filled(track, task.to - task.from);
        }
        track_filled_.notify_all();
    }
    worker_calls_.fetch_add(eph.calls());
}

void ParallelScan::report_progress(bool force) {
    if (!control_.progress) return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - last_progress_time_ < std::chrono::milliseconds(50)) return;
    double done = (static_cast<double>(steps_done_.load()) + fill_weight * static_cast<double>(times_filled_.load())) /
                  total_work_;
    done = std::clamp(done, 0.0, 1.0);
    if (force) done = 1.0;
    if (done == last_progress_) return;
    last_progress_ = done;
    last_progress_time_ = now;
    control_.progress(done);
}

bool ParallelScan::merge_ready(const ScanOutcome& outcome) {
    while (merge_.pairs_added() < slots_.size()) {
        const std::size_t next = merge_.pairs_added();
        PairResult result;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!slots_[next].finished) return false;
            result = std::move(slots_[next].result);
        }
        if (merge_.add(std::move(result))) {
            // Pairs after a cut at the row limit are not needed; after a cancel, none is.
            stop_after_.store(outcome.cancelled ? -1 : static_cast<int>(next));
            return true;
        }
    }
    return true;
}

ScanResults ParallelScan::run(ScanOutcome& outcome) {
    // Room for every row the run can find (one per pair, step and aspect, up to the limit), so
    // that the table never moves to a larger copy of itself; pages not filled take no memory.
    const double most_rows = std::min(static_cast<double>(plan_.pairs.size()) * steps_ * plan_.aspects.size(),
                                      static_cast<double>(std::max(inputs_.row_limit, 1)));
    try {
        merge_.reserve(static_cast<std::size_t>(most_rows));
    } catch (const std::bad_alloc&) {
        // Then it grows as it must.
    }

    int threads = control_.threads > 0 ? control_.threads : static_cast<int>(std::thread::hardware_concurrency());
    threads = std::clamp(threads, 1, std::max(1, static_cast<int>(plan_.pairs.size())));

    std::vector<std::unique_ptr<SweApi>> apis;
    for (int i = 0; i < threads; ++i) {
        auto api = main_.eph.api().for_worker_thread();
        if (!api) break;
        apis.push_back(std::move(api));
    }

    if (apis.size() != static_cast<std::size_t>(threads)) {
        // An ephemeris that cannot be used from other threads: one worker, on this thread.
        work(main_.eph.api());
        merge_ready(outcome);
    } else {
        std::vector<std::thread> workers;
        workers.reserve(apis.size());
        for (auto& api : apis) {
            workers.emplace_back([this, &api] {
                LibraryThreadScope scope(*api);
                try {
                    work(*api);
                } catch (...) {
                    // Ends the run; the exception is passed on to the caller once all threads stop.
                    {
                        std::lock_guard<std::mutex> lock(mutex_);
                        if (!failure_) failure_ = std::current_exception();
                    }
                    stop_after_.store(-1);
                    pair_finished_.notify_all();
                    wake_waiting_workers();
                }
            });
        }
        // Whatever happens here, the workers are told to stop and are waited for.
        struct JoinAll {
            ParallelScan& scan;
            std::vector<std::thread>& workers;
            ~JoinAll() {
                if (scan.stop_after_.load() == INT_MAX) scan.stop_after_.store(-1);
                scan.wake_waiting_workers();
                for (auto& w : workers) w.join();
            }
        } join_all{*this, workers};

        bool ended = false;
        while (!ended) {
            {
                std::unique_lock<std::mutex> lock(mutex_);
                pair_finished_.wait_for(lock, std::chrono::milliseconds(50), [&] {
                    const std::size_t next = merge_.pairs_added();
                    return (next < slots_.size() && slots_[next].finished) || cancel_requested() || failure_;
                });
                if (failure_) break;
            }
            // A cancel also releases workers waiting for tracks.
            if (cancel_requested()) wake_waiting_workers();
            ended = merge_ready(outcome);
            report_progress(false);
        }
    }
    if (!outcome.cancelled && !outcome.row_limit_reached) report_progress(true);

    if (failure_) std::rethrow_exception(failure_);

    ScanResults results = std::move(merge_).finish();
    for (const auto& [body, message] : results.errors) main_.eph.note_error(body, message);
    outcome.library_calls += worker_calls_.load();
    return results;
}

}  // namespace

ScanOutcome Start_Calcs_parallel(Engine& engine, const ScanControl& control, const std::function<void()>& started) {
    ScanOutcome outcome;
    ScanInputs inputs;
    const long long calls_before = engine.eph.calls();
    if (!engine.begin_calcs(outcome, started, inputs)) return outcome;
    const int threads = control.threads > 0 ? control.threads : static_cast<int>(std::thread::hardware_concurrency());
    const auto* cancel = control.cancel;
    ParallelScan scan(engine, control, inputs, outcome);
    scan.prepare();

    // The events first: a cancel during the pairs then keeps all of them, one during the events
    // those found so far (and no pair is scanned). Their positions at the scan times are computed
    // into the grid as they are asked for, where the pairs find them later, when the grid is made
    // with the options the search uses.
    PositionGrid* grid = nullptr;
    if (control.events_from_grid && engine.eph.use_et() == inputs.cv.use_et &&
        engine.eph.apparent_pos() == inputs.cv.apparent_pos)
        grid = scan.grid();
    // The grid lives as long as `scan`: the engine's ephemeris lets go of it when the search ends,
    // before any pair's worker fills it (also when the search throws).
    struct GridShared {
        Ephemeris& eph;
        PositionGrid* before;
        ~GridShared() { eph.share_grid(before); }
    } grid_shared{engine.eph, engine.eph.shared_grid()};
    engine.eph.share_grid(grid);
    SkyEventsResult events =
        engine.find_run_events(inputs, [cancel] { return cancel != nullptr && cancel->load(); }, std::max(threads, 1));
    engine.eph.share_grid(grid_shared.before);
    outcome.library_calls = engine.eph.calls() - calls_before + events.worker_calls;

    ScanResults results = scan.run(outcome);
    Engine::add_run_events(results, std::move(events), outcome);
    engine.end_calcs(std::move(results), outcome);
    return outcome;
}

}  // namespace tavrolin
