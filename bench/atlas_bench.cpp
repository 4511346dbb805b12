// How long the atlas takes: loading it on first use, then each keystroke of the completion.
//
//   atlas_bench            loads the atlas, then types some place names a letter at a time (and
//                          the state or country after a comma), asking for the 20 largest places
//                          that fit at each keystroke, and whole names as the batch program would
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "files/atlas.h"

using namespace tavrolin;

namespace {

double ms_since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

int main() {
    if (!atlas_built()) {
        std::printf("%s: built without libgeonames\n", std::string(no_atlas_text).c_str());
        return 1;
    }
    auto t0 = std::chrono::steady_clock::now();
    const std::size_t places = atlas_size();
    std::printf("first use (loads %zu places):  %.1f ms\n", places, ms_since(t0));

    const std::vector<std::string> typed = {"Paris, France", "Buenos Aires", "Tromsø", "San Pedro, Mexico",
                                            "Springfield, Illinois", "Rio de Janeiro", "Ho Chi Minh City",
                                            "Ouagadougou", "A", "xyzzy"};
    std::vector<double> times;
    for (const auto& name : typed) {
        for (std::size_t n = 1; n <= name.size(); ++n) {
            t0 = std::chrono::steady_clock::now();
            const auto found = atlas_query(name.substr(0, n), 20);
            times.push_back(ms_since(t0));
        }
    }
    std::sort(times.begin(), times.end());
    double sum = 0;
    for (double t : times) sum += t;
    std::printf("completion, %zu keystrokes:     mean %.2f ms, median %.2f ms, 95%% within %.2f ms, slowest %.2f ms\n",
                times.size(), sum / static_cast<double>(times.size()), times[times.size() / 2],
                times[times.size() * 95 / 100], times.back());

    double slowest = 0;
    for (const auto& name : typed) {
        t0 = std::chrono::steady_clock::now();
        atlas_lookup(name);
        slowest = std::max(slowest, ms_since(t0));
    }
    std::printf("lookup of a whole name:        slowest %.2f ms\n", slowest);
    return 0;
}
