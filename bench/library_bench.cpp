// What the library's calls cost and how fast the bodies move, as the fast scan relies on them.
//
//   library_bench calls    time per call: the Moon at ever new moments; a second frame at the same
//                          moment; 22 bodies filled body by body against moment by moment
//   library_bench bounds   the largest speed and change of speed per day of every body's longitude,
//                          declination, heliocentric longitude and latitude, every half day from
//                          1800 to 2400 (the figures behind engine/motion_bounds.cpp; a few minutes)
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/bodies.h"
#include "engine/ephemeris.h"

using namespace tavrolin;

namespace {

double microseconds_per(long long n, std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count() /
           static_cast<double>(n);
}

void calls(Ephemeris& eph) {
    constexpr int n = 100000;
    auto t0 = std::chrono::steady_clock::now();
    for (int k = 0; k < n; ++k) eph.compute(2433282.5 + k * 0.0137, 1, 0);
    std::printf("Moon, a new moment each call:          %.2f us\n", microseconds_per(n, t0));
    t0 = std::chrono::steady_clock::now();
    for (int k = 0; k < n; ++k) {
        eph.compute(2433282.5 + k * 0.0137, 1, 0);
        eph.compute(2433282.5 + k * 0.0137, 1, SEFLG_EQUATORIAL_);
    }
    std::printf("Moon, longitude then declination:      %.2f us a moment\n", microseconds_per(n, t0));

    std::vector<int> bodies;
    for (int b = 0; b <= last_body_index; ++b)
        if (b != earth_index) bodies.push_back(b);
    constexpr int days = 3000;
    const auto both = [&](double t, int b) {
        eph.compute(t, b, 0);
        eph.compute(t, b, SEFLG_EQUATORIAL_);
    };
    t0 = std::chrono::steady_clock::now();
    for (int b : bodies)
        for (int k = 0; k < days; ++k) both(2433282.5 + k, b);
    std::printf("22 bodies, body by body:               %.2f us a body and moment\n",
                microseconds_per(static_cast<long long>(days) * 22, t0));
    t0 = std::chrono::steady_clock::now();
    for (int k = 0; k < days; ++k)
        for (int b : bodies) both(2433282.5 + k, b);
    std::printf("22 bodies, moment by moment:           %.2f us a body and moment\n",
                microseconds_per(static_cast<long long>(days) * 22, t0));
}

void bounds(Ephemeris& eph) {
    const double first = 2378497.0, last = 2597640.0, step = 0.5;  // 1800 to 2400
    std::printf("body  geo lon (speed accel)  decl  helio lon  helio lat   failures\n");
    for (int b = 0; b <= last_body_index; ++b) {
        const std::array<int, 4> flags = {0, SEFLG_EQUATORIAL_, SEFLG_HELCTR_, SEFLG_HELCTR_};
        const std::array<int, 4> element = {3, 4, 3, 4};  // speeds of longitude / latitude
        std::array<double, 4> speed{}, accel{}, previous{};
        long long failures = 0;
        for (double t = first; t <= last; t += step) {
            for (std::size_t k = 0; k < 4; ++k) {
                if (body_excluded(b, k < 2 ? 0 : 1)) continue;
                const LibraryResult r = eph.compute(t, b, flags[k]);
                if (r.rc < 0) ++failures;
                const double v = r.xx[static_cast<std::size_t>(element[k])];
                speed[k] = std::max(speed[k], std::fabs(v));
                if (t > first) accel[k] = std::max(accel[k], std::fabs(v - previous[k]) / step);
                previous[k] = v;
            }
        }
        std::printf("%-12s", std::string(body_captions[static_cast<std::size_t>(b)]).c_str());
        for (std::size_t k = 0; k < 4; ++k) std::printf(" %8.4f %7.4f", speed[k], accel[k]);
        std::printf("  %lld\n", failures);
        std::fflush(stdout);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::string what = argc > 1 ? argv[1] : "calls";
    std::error_code ec;
    set_ephemeris_path(std::filesystem::read_symlink("/proc/self/exe", ec).parent_path().string());
    LibSwe swe;
    Ephemeris eph(swe);
    if (what == "bounds") {
        bounds(eph);
    } else if (what == "calls") {
        calls(eph);
    } else {
        std::fprintf(stderr, "usage: library_bench [calls|bounds]\n");
        return 2;
    }
    return 0;
}
