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

// What scanning a pair found, as the single-threaded scan would have added it.
struct PairResult {
    std::vector<ResultRow> rows;
    std::vector<double> row_steps;         // start of the step of each row
    std::vector<std::size_t> row_errors;   // bodies with an error before each row was added
    std::string near_miss_line;
    std::vector<NearMiss> near_misses;
    std::vector<OrbStretch> stretches;
    int rows_outside_calendar = 0;
    std::vector<std::pair<int, std::string>> errors;  // first error of each body, in order
    PairEnd end;
    bool finished = false;
};

// The state the scan of a pair reads from the engine.
void copy_scan_inputs(const Engine& from, Engine& to) {
    to.cv = from.cv;
    to.calc_kind = from.calc_kind;
    to.natal_date_str = from.natal_date_str;
    to.natal_hours = from.natal_hours;
    to.natal_jd = from.natal_jd;
    to.natal_lon = from.natal_lon;
    to.natal_speed = from.natal_speed;
    to.natal_decl = from.natal_decl;
    to.start_jd = from.start_jd;
    to.end_jd = from.end_jd;
    to.row_limit = from.row_limit;
}

class ParallelScan {
public:
    ParallelScan(Engine& engine, const ScanControl& control, const ScanPlan& plan)
        : main_(engine),
          control_(control),
          plan_(plan),
          skip_futile_(control.skip_futile_refinements && engine.eph.api().motion_bounds_hold()),
          results_(plan.pairs.size()) {}

    // Scans every pair and leaves the outcome's rows, near misses and errors in the engine.
    void run(ScanOutcome& outcome);

private:
    void plan_grid();
    void work(SweApi& api);
    void scan_pair(Engine& engine, Ephemeris& eph, const Task& task);
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
    bool merge_ready(ScanOutcome& outcome);
    void append_stretches(const std::vector<OrbStretch>& stretches) {
        main_.orb_stretches.insert(main_.orb_stretches.end(), stretches.begin(), stretches.end());
    }

    Engine& main_;
    const ScanControl& control_;
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
    std::vector<PairResult> results_;

    // Merging.
    std::size_t merged_ = 0;
    int rows_ = 0;
    std::vector<std::pair<int, std::string>> errors_;
    std::vector<ResultRow> table_{1};  // row 0 is never used, as in result_table
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
    const Engine& e = main_;
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
            if (skip_futile_) grid_->probe_margins(track, (Engine::secant_max_iterations + 2) * 1.001, main_.eph);
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

void ParallelScan::scan_pair(Engine& engine, Ephemeris& eph, const Task& task) {
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
        engine.p1_num = plan_.pairs[pair_index].first;
        engine.p2_num = plan_.pairs[pair_index].second;
        engine.skip_futile_refinements = skip_futile_ && grid_ != nullptr;
        if (grid_)
            for (int t : pair_tracks_[pair_index]) engine.skip_futile_refinements &= grid_->clean(t);
        engine.result_table.assign(2, ResultRow{});
        engine.result_count = 1;
        engine.near_miss_text.clear();
        engine.near_misses.clear();
        engine.orb_stretches.clear();
        engine.rows_outside_calendar = 0;
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
        hooks.row_added = [&](double step) {
            result.row_steps.push_back(step);
            result.row_errors.push_back(eph.error_order().size());
        };
        result.end = engine.scan_pair(plan_, hooks);
        steps_done_.fetch_add(uncounted, std::memory_order_relaxed);

        const auto rows = static_cast<std::size_t>(engine.result_count - 1);
        result.rows.reserve(rows);
        for (std::size_t r = 1; r <= rows; ++r) result.rows.push_back(std::move(engine.result_table[r]));
        result.near_miss_line = std::move(engine.near_miss_text);
        result.near_misses = std::move(engine.near_misses);
        result.stretches = std::move(engine.orb_stretches);
        result.rows_outside_calendar = engine.rows_outside_calendar;
        for (int body : eph.error_order()) result.errors.emplace_back(body, eph.errors().at(body));
    }

    {
        std::lock_guard<std::mutex> lock(mutex_);
        result.finished = true;
        results_[pair_index] = std::move(result);
    }
    pair_finished_.notify_all();
}

void ParallelScan::work(SweApi& api) {
    Ephemeris eph(api);
    Engine engine(eph);
    copy_scan_inputs(main_, engine);
    engine.apply_options();
    eph.use_grid(grid_.get());
    eph.keep_recent_calls(true);

    for (;;) {
        const std::size_t i = next_task_.fetch_add(1);
        if (i >= tasks_.size()) break;
        const Task& task = tasks_[i];
        if (task.kind == Task::Kind::pair) {
            scan_pair(engine, eph, task);
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

bool ParallelScan::merge_ready(ScanOutcome& outcome) {
    while (merged_ < results_.size()) {
        PairResult result;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!results_[merged_].finished) return false;
            result = std::move(results_[merged_]);
        }
        const auto [p1, p2] = plan_.pairs[merged_];

        if (result.end.kind == PairEnd::Kind::stopped) {
            // Cancelled: this pair's rows up to the step it reached are the last ones kept.
            for (auto& row : result.rows) table_.push_back(std::move(row));
            rows_ += static_cast<int>(result.rows.size());
            append_stretches(result.stretches);
            errors_.insert(errors_.end(), result.errors.begin(), result.errors.end());
            outcome.cancelled = true;
            outcome.cancelled_at_date = plan_.calendar_date(result.end.at, main_.cv.date_order);
            outcome.cancelled_p1 = p1;
            outcome.cancelled_p2 = p2;
            stop_after_.store(-1);
            return true;
        }

        // The single-threaded scan stops right after the row that reaches the limit.
        const int last_row = std::max(1, main_.row_limit - rows_);
        if (static_cast<int>(result.rows.size()) >= last_row) {
            const auto n = static_cast<std::size_t>(last_row);
            for (std::size_t r = 0; r < n; ++r) table_.push_back(std::move(result.rows[r]));
            rows_ += last_row;
            const std::size_t errors_before = result.row_errors[n - 1];
            errors_.insert(errors_.end(), result.errors.begin(),
                           result.errors.begin() + static_cast<std::ptrdiff_t>(errors_before));
            const std::size_t first_stretch = main_.orb_stretches.size();
            append_stretches(result.stretches);
            cut_stretches(main_.orb_stretches, first_stretch, plan_.calendar_time(result.row_steps[n - 1]));
            outcome.row_limit_reached = true;
            outcome.stopped_at_date = plan_.calendar_date(result.row_steps[n - 1], main_.cv.date_order);
            stop_after_.store(static_cast<int>(merged_));
            return true;
        }

        for (auto& row : result.rows) table_.push_back(std::move(row));
        rows_ += static_cast<int>(result.rows.size());
        main_.near_miss_text += result.near_miss_line;
        main_.near_misses.insert(main_.near_misses.end(), result.near_misses.begin(), result.near_misses.end());
        append_stretches(result.stretches);
        main_.rows_outside_calendar += result.rows_outside_calendar;
        errors_.insert(errors_.end(), result.errors.begin(), result.errors.end());
        ++merged_;
    }
    return true;
}

void ParallelScan::run(ScanOutcome& outcome) {
    const long long calls_before = main_.eph.calls();
    plan_grid();
    outcome.library_calls += main_.eph.calls() - calls_before;
    // Room for every row the run can find (one per pair, step and aspect, up to the limit), so
    // that the table never moves to a larger copy of itself; pages not filled take no memory.
    const double most_rows = std::min(static_cast<double>(plan_.pairs.size()) * steps_ * plan_.aspects.size(),
                                      static_cast<double>(std::max(main_.row_limit, 1)));
    try {
        table_.reserve(static_cast<std::size_t>(most_rows) + 2);
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
                    return (merged_ < results_.size() && results_[merged_].finished) || cancel_requested() || failure_;
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

    for (const auto& [body, message] : errors_) main_.eph.note_error(body, message);
    // As during the single-threaded scan: rows 1..result_count - 1 and an empty row after them.
    table_.emplace_back();
    main_.result_table = std::move(table_);
    main_.result_count = rows_ + 1;
    outcome.library_calls += worker_calls_.load();
}

}  // namespace

ScanOutcome Start_Calcs_parallel(Engine& engine, const ScanControl& control, const std::function<void()>& started) {
    ScanOutcome outcome;
    ScanPlan plan;
    const long long calls_before = engine.eph.calls();
    if (!engine.begin_calcs(outcome, started, plan)) return outcome;
    outcome.library_calls = engine.eph.calls() - calls_before;

    ParallelScan scan(engine, control, plan);
    scan.run(outcome);
    engine.end_calcs(outcome);
    return outcome;
}

}  // namespace tavrolin
