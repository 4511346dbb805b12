// The sky-event finder's speed and accuracy against the library's own positions.
//
//   events_bench speed                    every kind for every geocentric body: 2024, then 1950-2049
//   events_bench check [from to every]    every event of the years from..to (default 1900-2100, every
//                                         year; `every` 10: one year in ten) against an independent
//                                         bisection on the library's positions
//   events_bench complete [from to every] a brute-force scan in five-minute steps (the osculating node
//                                         and apogee: one minute) over the same years: nothing missed,
//                                         nothing twice (default 1990-2030, one year in ten)
//   events_bench run [from to]            a whole run with aspects and every event kind (Sun to Pluto
//                                         to natal, all aspects; default 2020-2029), the event search
//                                         sharing the scan's positions or not: events, rows, library
//                                         position calls, time
// Two threads unless EVENTS_THREADS says otherwise.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <sys/resource.h>

#include <swephexp.h>

#include "engine/bodies.h"
#include "engine/engine.h"
#include "engine/parallel_scan.h"
#include "engine/sky_events.h"

using namespace tavrolin;

namespace {

const std::vector<int> geocentric = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 15, 16, 17, 18, 19, 20, 21, 22};
const std::array<int, 9> void_planets = {0, 2, 3, 4, 5, 6, 7, 8, 9};
const std::array<double, 8> ptolemaic = {0, 60, 90, 120, 180, 240, 270, 300};
int threads = 2;

double year_start(int y) { return swe_julday(y, 1, 1, 0.0, SE_GREG_CAL); }

// Processor time of the whole process, every thread.
double cpu_seconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

double seconds_since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

SkyEventsResult find(Ephemeris& eph, EclipseApi& eclipses, double from, double to) {
    SkyEventSearch s;
    s.from_jd = from;
    s.to_jd = to;
    s.bodies = geocentric;
    s.kinds = {true, true, true, true, true};
    s.threads = threads;
    return find_sky_events(eph, &eclipses, s);
}

// The library's apparent geocentric longitude and speed at a moment of Universal Time, asked
// directly, as the Ephemeris does with its default options.
struct Raw {
    double lon, speed;
};
Raw raw(double ut, int body) {
    double xx[6] = {0};
    char serr[256] = {0};
    swe_calc(ut + swe_deltat(ut), body_number(body), SEFLG_SWIEPH | SEFLG_SPEED, xx, serr);
    return {xx[0], xx[3]};
}

double off(double x) { return std::remainder(x, 360.0); }

// Plain bisection of f over [t - half, t + half]; NaN when f does not change sign there.
double bisect(const std::function<double(double)>& f, double t, double half) {
    double lo = t - half, hi = t + half, f_lo = f(lo);
    if ((f_lo < 0.0) == (f(hi) < 0.0)) return std::nan("");
    for (int i = 0; i < 40; ++i) {
        const double mid = 0.5 * (lo + hi), f_mid = f(mid);
        if ((f_mid < 0.0) == (f_lo < 0.0)) {
            lo = mid;
            f_lo = f_mid;
        } else {
            hi = mid;
        }
    }
    return 0.5 * (lo + hi);
}

void speed() {
    LibSwe swe;
    Ephemeris eph(swe);
    LibSweEclipses eclipses;
    for (auto [from, to] : {std::pair{2024, 2025}, std::pair{1950, 2050}}) {
        const long long calls = eph.calls();
        const double cpu = cpu_seconds();
        const auto t0 = std::chrono::steady_clock::now();
        const SkyEventsResult r = find(eph, eclipses, year_start(from), year_start(to));
        std::printf("%d-%d, %d threads: %zu events in %.3f s (processor time %.3f s), %lld library position calls "
                    "on the first thread, %zu errors\n",
                    from, to - 1, threads, r.events.size(), seconds_since(t0), cpu_seconds() - cpu, eph.calls() - calls,
                    r.errors.size());
    }
    // Where the time goes: each kind alone, stations and ingresses body by body, over 2020-2029.
    const auto part = [&](const char* name, std::vector<int> bodies, SkyEventKinds kinds) {
        SkyEventSearch s;
        s.from_jd = year_start(2020);
        s.to_jd = year_start(2030);
        s.bodies = std::move(bodies);
        s.kinds = kinds;
        const long long calls = eph.calls();
        const auto t0 = std::chrono::steady_clock::now();
        const SkyEventsResult r = find_sky_events(eph, &eclipses, s);
        std::printf("  2020-2029 %-22s %6zu events %7.3f s %8lld calls\n", name, r.events.size(), seconds_since(t0),
                    eph.calls() - calls);
    };
    part("lunations", {}, {false, false, true, false, false});
    part("eclipses", {}, {false, false, false, true, false});
    part("void Moon", {}, {false, false, false, false, true});
    for (int body : geocentric) part(body_captions[static_cast<std::size_t>(body)].data(), {body}, {true, true, false, false, false});
}

struct Worst {
    double seconds = 0.0;
    long count = 0, failed = 0;
    void note(double s, double limit, const SkyEvent& e) {
        ++count;
        if (!(std::fabs(s) <= limit)) {
            ++failed;
            if (failed <= 5) std::printf("  off by %.1f s: kind %d body %d at %.6f\n", s, static_cast<int>(e.kind), e.body, e.jd);
        }
        if (std::isfinite(s)) seconds = std::max(seconds, std::fabs(s));
    }
};

void check(int from_year, int to_year, int every) {
    LibSwe swe;
    Ephemeris eph(swe);
    LibSweEclipses eclipses;
    Worst stations, ingresses, lunations, eclipse_times, voids;
    long errors = 0;
    const auto t0 = std::chrono::steady_clock::now();
    for (int y = from_year; y <= to_year; y += every) {
        const SkyEventsResult r = find(eph, eclipses, year_start(y), year_start(y + 1));
        errors += static_cast<long>(r.errors.size());
        for (const auto& [body, message] : r.errors) std::printf("  %d: body %d: %s\n", y, body, message.c_str());
        for (const SkyEvent& e : r.events) {
            const double t = e.jd;
            const auto seconds = [&](double exact) { return (t - exact) * 86400.0; };
            switch (e.kind) {
                case SkyEventKind::station:
                    stations.note(seconds(bisect([&](double x) { return raw(x, e.body).speed; }, t, 0.05)), 60.0, e);
                    break;
                case SkyEventKind::ingress: {
                    const double boundary = 30.0 * (e.retrograde ? e.sign : e.sign - 1);
                    ingresses.note(seconds(bisect([&](double x) { return off(raw(x, e.body).lon - boundary); }, t, 0.02)),
                                   6.0, e);
                    break;
                }
                case SkyEventKind::lunation: {
                    const double angle = 90.0 * static_cast<int>(e.phase);
                    lunations.note(seconds(bisect([&](double x) { return off(raw(x, 1).lon - raw(x, 0).lon - angle); }, t, 0.02)),
                                   6.0, e);
                    break;
                }
                case SkyEventKind::eclipse: {
                    double tret[10] = {0};
                    char serr[256] = {0};
                    const bool solar = e.body == 0;
                    if (solar) swe_sol_eclipse_when_glob(t - 10.0, SEFLG_SWIEPH, 0, tret, 0, serr);
                    else swe_lun_eclipse_when(t - 10.0, SEFLG_SWIEPH, 0, tret, 0, serr);
                    eclipse_times.note(seconds(tret[0]), 1.0, e);
                    break;
                }
                case SkyEventKind::void_of_course: {
                    // It ends on a boundary and begins at an exact aspect (or at the ingress before).
                    const double end_off = off(raw(e.end_jd, 1).lon - 30.0 * std::round(raw(e.end_jd, 1).lon / 30.0));
                    double start_off = std::fabs(off(raw(t, 1).lon - 30.0 * std::round(raw(t, 1).lon / 30.0)));
                    for (int p : void_planets)
                        for (double a : ptolemaic) start_off = std::min(start_off, std::fabs(off(raw(t, 1).lon - raw(t, p).lon - a)));
                    // Degrees to seconds at the Moon's relative speed of about 12 degrees a day.
                    voids.note(std::max(std::fabs(end_off), start_off) / 12.0 * 86400.0, 6.0, e);
                    break;
                }
                case SkyEventKind::house_ingress: break;  // not searched here: they need natal houses
            }
        }
    }
    std::printf("years %d-%d every %d, %.0f s; %ld bodies named with errors\n", from_year, to_year, every, seconds_since(t0), errors);
    const auto line = [](const char* name, const Worst& w, const char* limit) {
        std::printf("  %-10s %6ld checked, worst %.3f s (limit %s), %ld outside\n", name, w.count, w.seconds, limit, w.failed);
    };
    line("stations", stations, "60 s");
    line("ingresses", ingresses, "6 s");
    line("lunations", lunations, "6 s");
    line("eclipses", eclipse_times, "1 s");
    line("voids", voids, "6 s");
}

// A fine scan's events of one body (station: speed changes sign; ingress: the sign changes) and of
// the Moon's phase, matched one to one with the finder's.
void complete(int from_year, int to_year, int every) {
    LibSwe swe;
    Ephemeris eph(swe);
    LibSweEclipses eclipses;
    long brute_total = 0, missed = 0, extra = 0;
    const auto t0 = std::chrono::steady_clock::now();
    for (int y = from_year; y <= to_year; y += every) {
        const double from = year_start(y), to = year_start(y + 1);
        const SkyEventsResult r = find(eph, eclipses, from, to);
        std::vector<bool> used(r.events.size(), false);
        const auto match = [&](SkyEventKind kind, int body, double t, double h, int what) {
            ++brute_total;
            int found = 0;
            for (std::size_t i = 0; i < r.events.size(); ++i) {
                const SkyEvent& e = r.events[i];
                const int e_what = kind == SkyEventKind::lunation ? static_cast<int>(e.phase)
                                   : kind == SkyEventKind::ingress ? e.sign
                                                                   : e.retrograde;
                if (e.kind == kind && e.body == body && e_what == what && std::fabs(e.jd - t) <= h) {
                    ++found;
                    used[i] = true;
                }
            }
            if (found != 1) {
                ++missed;
                std::printf("  %s kind %d body %d near %.5f: found %d\n", found ? "twice" : "missed", static_cast<int>(kind),
                            body, t, found);
            }
        };
        for (int body : geocentric) {
            const double h = body == 11 || body == 13 ? 1.0 / 1440 : 5.0 / 1440;
            const bool turns = body != 0 && body != 1 && body != 10 && body != 12;
            // A change of direction counts when the next sample confirms it: the library's true
            // node has speeds off by far for some twenty seconds at a few moments (2024-07-23
            // 22:54 UT), while its longitude keeps going.
            Raw a = raw(from, body), c = raw(from + h, body);
            bool retrograde = a.speed < 0.0;
            for (double t = from + 2 * h; t <= to + h; t += h) {
                const Raw d = raw(t, body);
                if (turns && (c.speed < 0.0) != retrograde && (d.speed < 0.0) == (c.speed < 0.0)) {
                    retrograde = !retrograde;
                    match(SkyEventKind::station, body, t - h, h, retrograde);
                }
                const double end = a.lon + off(c.lon - a.lon);
                const double sa = std::floor(a.lon / 30.0), sc = std::floor(end / 30.0);
                if (sa != sc) {
                    const int entered = static_cast<int>(std::fmod(sc + 12.0, 12.0)) + 1;
                    match(SkyEventKind::ingress, body, t - h, h, entered);
                }
                a = c;
                c = d;
            }
        }
        const double h = 5.0 / 1440;
        double qa = std::floor(std::fmod(raw(from, 1).lon - raw(from, 0).lon + 720.0, 360.0) / 90.0);
        for (double t = from + h; t <= to; t += h) {
            const double qc = std::floor(std::fmod(raw(t, 1).lon - raw(t, 0).lon + 720.0, 360.0) / 90.0);
            if (qc != qa) match(SkyEventKind::lunation, 1, t, h, static_cast<int>(qc));
            qa = qc;
        }
        for (std::size_t i = 0; i < r.events.size(); ++i) {
            const SkyEvent& e = r.events[i];
            const bool fine_scanned = e.kind == SkyEventKind::station || e.kind == SkyEventKind::ingress ||
                                      e.kind == SkyEventKind::lunation;
            if (fine_scanned && !used[i] && e.jd < to - 5.0 / 1440) {
                ++extra;
                std::printf("  not in the fine scan: kind %d body %d at %.5f\n", static_cast<int>(e.kind), e.body, e.jd);
            }
        }
    }
    std::printf("years %d-%d every %d, %.0f s: %ld events of the fine scan, %ld missed or twice, %ld not in the fine scan\n",
                from_year, to_year, every, seconds_since(t0), brute_total, missed, extra);
}

void whole_run(int from_year, int to_year) {
    LibSwe swe;
    for (const bool shared : {false, true, false, true}) {
        Ephemeris eph(swe);
        Engine engine(eph);
        ControlValues& cv = engine.cv;
        cv.natal_date = "09/22/1949";
        engine.calc_kind = 1;
        cv.select_mode(0);
        cv.start_date = "01/01/" + std::to_string(from_year);
        cv.end_date = "12/31/" + std::to_string(to_year);
        cv.p1_planets.fill(0);
        cv.p2_planets.fill(0);
        for (int b = 0; b <= 9; ++b) cv.p1_planets[static_cast<std::size_t>(b)] = cv.p2_planets[static_cast<std::size_t>(b)] = 1;
        cv.aspects.fill(1);
        cv.stations = cv.ingresses = cv.lunations = cv.eclipses = cv.void_moon = true;
        ScanControl control;
        control.threads = threads;
        control.events_from_grid = shared;
        const auto t0 = std::chrono::steady_clock::now();
        const double cpu = cpu_seconds();
        const ScanOutcome out = Start_Calcs_parallel(engine, control);
        std::printf("%d-%d, %d threads, %-28s %zu events, %d rows in %.3f s (processor time %.3f s), %lld library "
                    "position calls\n",
                    from_year, to_year, threads, shared ? "events share the scan's grid:" : "events apart from the scan:",
                    engine.sky_events.size(), engine.result_count, seconds_since(t0), cpu_seconds() - cpu,
                    out.library_calls);
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::error_code ec;
    set_ephemeris_path(std::filesystem::read_symlink("/proc/self/exe", ec).parent_path().string());
    const std::string what = argc > 1 ? argv[1] : "speed";
    const auto arg = [&](int i, int fallback) { return argc > i ? std::atoi(argv[i]) : fallback; };
    if (const char* t = std::getenv("EVENTS_THREADS")) threads = std::atoi(t);
    if (what == "speed") speed();
    else if (what == "check") check(arg(2, 1900), arg(3, 2100), arg(4, 1));
    else if (what == "complete") complete(arg(2, 1990), arg(3, 2030), arg(4, 10));
    else if (what == "run") whole_run(arg(2, 2020), arg(3, 2029));
    else {
        std::fprintf(stderr, "usage: events_bench speed | check [from to every] | complete [from to every] | run [from to]\n");
        return 2;
    }
    return 0;
}
