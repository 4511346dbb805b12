// Times four calculations through the single-threaded scan ("literal": every position asked of
// the library when the scan needs it, one thread) and the fast one (positions of the scan times
// computed once, pairs on several threads), checks that both give the same result table,
// near-miss section, error lines and listing, and prints one line per scenario:
//
//   S2 literal=118.52s fast=3.91s ratio=30.3 calls_literal=... calls_fast=... rows=... identical=yes peak_mb=210
//
// Each path runs in a child process of its own, so that peak_mb (the fast path's largest resident
// memory) is that run's alone. Times are wall-clock seconds of the whole command: the scan, the
// sort and the listing. Usage: scan_bench [--threads N] [--fast-only] [S1 S2 S3 S4]; exit status
// 1 when a scenario's results differ. --fast-only times the fast path alone (no comparison).
// --export (with --fast-only) also exports each run's results as iCalendar and as CSV, into
// files that are removed afterwards, and adds their times and sizes; peak_mb then covers them too.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iterator>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/parallel_scan.h"
#include "output/calculation_command.h"
#include "output/results_export.h"
#include "output/timeline.h"
#include "files/atomic_file.h"

using namespace tavrolin;
namespace fs = std::filesystem;

namespace {

struct Run {
    ControlValues cv;
    int calc_kind = 1;
};

struct Scenario {
    std::string name;
    std::string what;
    std::vector<Run> runs;
};

const std::vector<int> geocentric = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 15, 16, 17, 18, 19, 20, 21, 22};

ControlValues window_start() {
    ControlValues cv;
    cv.natal_date = "09/22/1949";
    return cv;
}

ControlValues all_aspects(const std::vector<int>& bodies, int mode) {
    ControlValues cv = window_start();
    cv.p1_planets.fill(0);
    cv.p2_planets.fill(0);
    for (int b : bodies) cv.p1_planets[static_cast<std::size_t>(b)] = cv.p2_planets[static_cast<std::size_t>(b)] = 1;
    cv.aspects.fill(1);
    cv.select_mode(mode);  // "Ignore duplicates" as the mode button sets it
    return cv;
}

std::vector<Scenario> scenarios() {
    std::vector<Scenario> list;
    list.push_back({"S1", "the window's initial state (December 2005)", {{window_start(), 1}}});

    ControlValues s2 = all_aspects(geocentric, 0);
    s2.start_date = "01/01/1950";
    s2.end_date = "12/31/2029";
    list.push_back({"S2", "transit to natal, all geocentric bodies, all aspects, 80 years", {{s2, 1}}});

    ControlValues s3 = all_aspects({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 15}, 1);
    s3.start_date = "01/01/1950";
    s3.end_date = "12/31/2049";
    list.push_back({"S3", "transit to transit, Sun to Pluto and Chiron, all aspects, Ignore duplicates, 100 years",
                    {{s3, 1}}});

    ControlValues progressed = all_aspects(geocentric, 2), solar_arc = all_aspects(geocentric, 3);
    progressed.years_back = solar_arc.years_back = "45";
    list.push_back({"S4", "progressed and solar arc to natal, all geocentric bodies, all aspects, 45 years back",
                    {{progressed, 1}, {solar_arc, 1}}});
    return list;
}

double seconds_since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

struct PathResult {
    bool ok = false;
    double seconds = 0.0;       // whole commands
    double scan_seconds = 0.0;  // their scans
    long long calls = 0;
    long long rows = 0;
    double peak_mb = 0.0;
    double export_seconds[2] = {0.0, 0.0};  // iCalendar, CSV
    double export_mb[2] = {0.0, 0.0};
    bool export_ok = true;
    double timeline_seconds = 0.0;  // building the timeline's lanes after the run (not in `seconds`)
    long long lanes = 0;
};

// Both exports of the engine's run, as the window writes them: through a temporary file.
void export_both(const Engine& engine, const fs::path& results, PathResult& r) {
    const ExportFormat formats[2] = {ExportFormat::icalendar, ExportFormat::csv};
    for (int f = 0; f < 2; ++f) {
        const fs::path file = results.string() + (f == 0 ? ".ics" : ".csv");
        const auto t0 = std::chrono::steady_clock::now();
        AtomicFile out(file.string());
        const bool ok = out.open() &&
                        export_results(engine, formats[f], [&](std::string_view text) { return out.write(text); }, 0).ok &&
                        out.commit();
        r.export_seconds[f] += seconds_since(t0);
        std::error_code ec;
        r.export_mb[f] += static_cast<double>(fs::file_size(file, ec)) / 1e6;
        r.export_ok = r.export_ok && ok;
        fs::remove(file, ec);
    }
}

// Everything a run shows or keeps: the table in the order found, the near-miss section, the
// outcome and the bodies not computed (then, once listed, the results box).
void dump_scan(std::ofstream& out, const Engine& engine, const ScanOutcome& scan) {
    out << "rows " << engine.result_count << "\n";
    for (int r = 1; r <= engine.result_count; ++r) {
        const ResultRow& row = engine.result_table[static_cast<std::size_t>(r)];
        for (int c = 0; c < ResultRow::columns; ++c) out << row[c] << '\t';
        out << '\n';
    }
    out << "near misses\n" << engine.near_miss_text << "\nrow limit " << scan.row_limit_reached << " "
        << scan.stopped_at_date << "\n";
    out << "stretches " << engine.orb_stretches.size() << "\n" << std::setprecision(17);
    for (const OrbStretch& st : engine.orb_stretches)
        out << st.p1 << ' ' << st.aspect << ' ' << st.p2 << ' ' << st.from_jd << ' ' << st.to_jd << '\n';
    for (const auto& [body, message] : engine.eph.errors()) out << "error " << body << " " << message << "\n";
}

// Runs a scenario's commands in this (child) process and writes the summary to `report`.
int child(const Scenario& s, bool fast, int threads, const std::string& folder, const fs::path& results, int report,
          bool exports) {
    set_ephemeris_path(folder);
    std::ofstream out(results, std::ios::binary);
    PathResult r;
    for (const Run& run : s.runs) {
        LibSwe swe;
        Ephemeris eph(swe);
        Engine engine(eph);
        engine.cv = run.cv;
        engine.calc_kind = run.calc_kind;
        ScanControl control;
        control.threads = threads;
        const auto t0 = std::chrono::steady_clock::now();
        const ScanOutcome scan = fast ? Start_Calcs_parallel(engine, control) : engine.Start_Calcs();
        const double scan_seconds = seconds_since(t0);
        dump_scan(out, engine, scan);  // in the order found, before the output steps sort it
        const auto t1 = std::chrono::steady_clock::now();
        const std::string box = results_box_text(engine);
        const double output_seconds = seconds_since(t1);
        out << "box\n" << box << "\n";
        if (exports) export_both(engine, results, r);
        const auto t2 = std::chrono::steady_clock::now();
        const Timeline timeline = build_timeline(engine);
        r.timeline_seconds += seconds_since(t2);
        r.lanes += static_cast<long long>(timeline.lanes.size());
        r.seconds += scan_seconds + output_seconds;
        r.scan_seconds += scan_seconds;
        r.calls += scan.library_calls;
        r.rows += engine.result_count;
    }
    r.ok = static_cast<bool>(out.flush());
    if (write(report, &r, sizeof r) != static_cast<ssize_t>(sizeof r)) return 1;
    return r.ok ? 0 : 1;
}

PathResult run_path(const Scenario& s, bool fast, int threads, const std::string& folder, const fs::path& results,
                    bool exports = false) {
    int fds[2];
    PathResult r;
    if (pipe(fds) != 0) return r;
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        _exit(child(s, fast, threads, folder, results, fds[1], exports));
    }
    close(fds[1]);
    const bool got = pid > 0 && read(fds[0], &r, sizeof r) == static_cast<ssize_t>(sizeof r);
    close(fds[0]);
    int status = 0;
    struct rusage usage {};
    if (pid > 0) wait4(pid, &status, 0, &usage);
    r.ok = got && r.ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    r.peak_mb = static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
    return r;
}

bool same_files(const fs::path& a, const fs::path& b) {
    std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
    return std::equal(std::istreambuf_iterator<char>(fa), std::istreambuf_iterator<char>(),
                      std::istreambuf_iterator<char>(fb), std::istreambuf_iterator<char>());
}

std::string folder_of(const char* argv0) {
    std::error_code ec;
    auto exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) exe = fs::absolute(argv0);
    return exe.parent_path().string();
}

}  // namespace

int main(int argc, char** argv) {
    int threads = 0;
    bool fast_only = false;
    bool exports = false;
    std::vector<std::string> wanted;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--threads" && i + 1 < argc) {
            threads = std::atoi(argv[++i]);
        } else if (arg == "--fast-only") {
            fast_only = true;
        } else if (arg == "--export") {
            exports = true;
        } else {
            wanted.push_back(arg);
        }
    }
    const std::string folder = folder_of(argv[0]);
    const fs::path dir = fs::temp_directory_path() / ("tavrolin_scan_bench_" + std::to_string(getpid()));
    fs::create_directories(dir);

    std::vector<std::string> lines;
    bool all_identical = true;
    for (const Scenario& s : scenarios()) {
        if (!wanted.empty() && std::find(wanted.begin(), wanted.end(), s.name) == wanted.end()) continue;
        std::printf("%s: %s\n", s.name.c_str(), s.what.c_str());
        if (fast_only) {
            const PathResult fast = run_path(s, true, threads, folder, dir / (s.name + "_fast"), exports);
            fs::remove(dir / (s.name + "_fast"));
            std::printf("%s fast=%.2fs scan=%.2fs calls_fast=%lld rows=%lld timeline=%.2fs lanes=%lld peak_mb=%.0f",
                        s.name.c_str(), fast.seconds, fast.scan_seconds, fast.calls, fast.rows, fast.timeline_seconds,
                        fast.lanes, fast.peak_mb);
            if (exports)
                std::printf(" export_ics=%.2fs (%.0f MB) export_csv=%.2fs (%.0f MB) exports_ok=%s", fast.export_seconds[0],
                            fast.export_mb[0], fast.export_seconds[1], fast.export_mb[1], fast.export_ok ? "yes" : "no");
            std::printf("\n");
            continue;
        }
        const PathResult literal = run_path(s, false, 1, folder, dir / (s.name + "_literal"));
        std::printf("  literal: %.2f s (scan %.2f s), %lld library calls, %lld rows, peak %.0f MB\n", literal.seconds,
                    literal.scan_seconds, literal.calls, literal.rows, literal.peak_mb);
        const PathResult fast = run_path(s, true, threads, folder, dir / (s.name + "_fast"));
        std::printf("  fast:    %.2f s (scan %.2f s), %lld library calls, %lld rows, peak %.0f MB\n", fast.seconds,
                    fast.scan_seconds, fast.calls, fast.rows, fast.peak_mb);
        const bool identical =
            literal.ok && fast.ok && same_files(dir / (s.name + "_literal"), dir / (s.name + "_fast"));
        if (!identical) {
            all_identical = false;
            std::fprintf(stderr, "%s: THE FAST SCAN'S RESULTS DIFFER FROM THE LITERAL SCAN'S (kept in %s)\n",
                         s.name.c_str(), dir.c_str());
        } else {
            fs::remove(dir / (s.name + "_literal"));
            fs::remove(dir / (s.name + "_fast"));
        }
        char line[512];
        std::snprintf(line, sizeof line,
                      "%s literal=%.2fs fast=%.2fs ratio=%.1f calls_literal=%lld calls_fast=%lld rows=%lld "
                      "identical=%s peak_mb=%.0f",
                      s.name.c_str(), literal.seconds, fast.seconds, fast.seconds > 0 ? literal.seconds / fast.seconds : 0.0,
                      literal.calls, fast.calls, fast.rows, identical ? "yes" : "no", fast.peak_mb);
        lines.push_back(line);
        std::fflush(stdout);
    }
    if (all_identical) fs::remove_all(dir);
    for (const auto& line : lines) std::printf("%s\n", line.c_str());
    return all_identical ? 0 : 1;
}
