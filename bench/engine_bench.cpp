// Times two calculations with the real ephemeris: the window's default run (natal date
// 09/22/1949, December 2005) and a heavy one (all geocentric bodies in both columns, all aspects,
// transit to natal, 20 years). The ephemeris files are looked for beside the program.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/engine.h"

using namespace tavrolin;

namespace {

std::string folder_of(const char* argv0) {
    std::string p = argv0;
    const auto slash = p.rfind('/');
    return slash == std::string::npos ? std::string(".") : p.substr(0, slash);
}

void time_run(const char* name, Engine& engine, int repeats) {
    double best = 1e30, total = 0.0;
    for (int i = 0; i < repeats; ++i) {
        const long long calls_before = engine.eph.calls();
        const auto t0 = std::chrono::steady_clock::now();
        engine.Start_Calcs();
        const auto t1 = std::chrono::steady_clock::now();
        const double secs = std::chrono::duration<double>(t1 - t0).count();
        best = secs < best ? secs : best;
        total += secs;
        if (i == 0)
            std::printf("%s: %d rows, %lld library calls\n", name, engine.result_count,
                        engine.eph.calls() - calls_before);
    }
    std::printf("%s: best %.3f s, mean %.3f s over %d runs\n", name, best, total / repeats, repeats);
}

}  // namespace

int main(int argc, char** argv) {
    set_ephemeris_path(folder_of(argv[0]));
    const int repeats = argc > 1 ? std::atoi(argv[1]) : 5;
    LibSwe swe;
    Ephemeris eph(swe);
    Engine engine(eph);

    engine.cv.natal_date = "09/22/1949";
    time_run("default (12/01/2005-12/31/2005, transit to natal)", engine, repeats);

    engine.cv = ControlValues{};
    engine.cv.natal_date = "09/22/1949";
    engine.cv.start_date = "01/01/2000";
    engine.cv.end_date = "12/31/2019";
    for (int i = 0; i <= last_body_index; ++i) {
        engine.cv.p1_planets[static_cast<std::size_t>(i)] = 1;
        engine.cv.p2_planets[static_cast<std::size_t>(i)] = 1;
    }
    engine.cv.aspects.fill(1);
    engine.cv.select_mode(0);
    time_run("heavy (all geocentric bodies, all aspects, transit to natal, 20 years)", engine, argc > 2 ? std::atoi(argv[2]) : 1);
    return 0;
}
