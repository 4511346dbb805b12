#include "engine/sky_events.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <memory>
#include <thread>

#include "engine/calendar.h"
#include "engine/engine.h"

namespace tavrolin {

namespace {

constexpr double time_tolerance = 1e-5;  // days, under a second
constexpr int moon = 1;
// A loop shorter than this (a few seconds) is not looked for between two samples.
constexpr double extreme_tolerance = 5e-5;  // days
constexpr double shortest_loop = 1.0 / 1440;  // days
constexpr double void_estimate_margin = 0.2;  // days
constexpr double no_derivative = std::numeric_limits<double>::quiet_NaN();

// Angle reduced into [-180, 180).
double wrap180(double x) { return x - 360.0 * std::floor((x + 180.0) / 360.0); }

// The Sun and Moon never turn back; the mean node always moves backwards, the mean apogee forwards.
bool never_stations(int body) { return body == 0 || body == moon || body == 10 || body == 12; }

// Scan step in days. Within one step a body must move less than a sign (so that at most one
// boundary lies between two samples of one direction). The planets' shortest loops last about
// three weeks (Mercury), so a sample always falls inside one; the osculating node and apogee
// follow the Moon's perturbations and make loops shorter than a step, found where the speed comes
// nearest to zero (see step). bench/events_bench checks these steps against a fine scan.
double step_for(int body) {
    switch (body) {
        case moon: return 1.5;  // at most 16 degrees a day
        case 2: return 4.0;     // Mercury
        case 11: case 13: return 0.5;
        case 3: case 4: case 17: case 18: case 19: case 20: return 6.0;
        default: return 10.0;
    }
}

struct Sample {
    double t = 0.0, lon = 0.0, speed = 0.0;
};

// Value of a function whose root is wanted, and its derivative when known (else NaN).
struct Value {
    double g = 0.0, d = no_derivative;
};

// A root of a function that changes sign over [lo, hi] (or is 0 at hi): Newton steps where the
// derivative is known and the step stays inside the bracket, else Illinois false position.
template <class Eval>
double find_root(Eval eval, double lo, double g_lo, double hi, double g_hi, double d_lo) {
    if (g_hi == 0.0) return hi;
    if (g_lo == 0.0) return lo;
    double x = lo, gx = g_lo, dx = d_lo;
    int kept = 0;  // which end was kept last: -1 lo, 1 hi
    for (int i = 0; i < 100 && hi - lo > time_tolerance; ++i) {
        double next = std::isfinite(dx) && dx != 0.0 ? x - gx / dx : lo - 1.0;
        const bool newton = next > lo && next < hi;
        if (!newton) {
            next = (lo * g_hi - hi * g_lo) / (g_hi - g_lo);
            if (!(next > lo && next < hi)) next = 0.5 * (lo + hi);
        }
        const Value v = eval(next);
        if (v.g == 0.0) return next;
        if ((v.g < 0.0) == (g_lo < 0.0)) {
            lo = next;
            g_lo = v.g;
            if (kept == -1) g_hi *= 0.5;
            kept = -1;
        } else {
            hi = next;
            g_hi = v.g;
            if (kept == 1) g_lo *= 0.5;
            kept = 1;
        }
        if (newton && std::fabs(next - x) < time_tolerance) return next;
        x = next;
        gx = v.g;
        dx = v.d;
    }
    return 0.5 * (lo + hi);
}

// One piece of the search that a thread does on its own.
struct Unit {
    enum What { one_body, voids, lunations, solar_eclipses, lunar_eclipses } what = one_body;
    int body = 0;
    bool stations = false, ingresses = false;
};

// The pieces, the longest first so that threads finish together.
std::vector<Unit> plan(const SkyEventSearch& s, bool with_eclipses) {
    SkyEventKinds k = s.kinds;
    if (s.solar_arc) k = {false, k.ingresses, false, false, false};
    if (s.progressed || s.solar_arc) k.eclipses = k.void_moon = false;
    if (!with_eclipses) k.eclipses = false;
    const bool moon_listed = k.ingresses && std::find(s.bodies.begin(), s.bodies.end(), moon) != s.bodies.end();
    std::vector<Unit> units;
    if (k.void_moon) units.push_back({Unit::voids, moon, false, moon_listed});
    if (k.stations || k.ingresses) {
        for (int b : s.bodies)
            if (!(b == moon && k.void_moon)) units.push_back({Unit::one_body, b, k.stations, k.ingresses});
    }
    if (k.lunations) units.push_back({Unit::lunations});
    if (k.eclipses) {
        units.push_back({Unit::solar_eclipses});
        units.push_back({Unit::lunar_eclipses});
    }
    std::stable_partition(units.begin(), units.end(), [](const Unit& u) {
        return u.what == Unit::voids || (u.what == Unit::one_body && step_for(u.body) < 1.0);
    });
    return units;
}

class Finder {
public:
    Finder(Ephemeris& eph, EclipseApi* eclipses, const SkyEventSearch& s, SkyEventsResult& out)
        : eph_(eph), eclipses_(eclipses), s_(s), out_(out) {}

    void run(const Unit& u) {
        switch (u.what) {
            case Unit::one_body: scan_body(u.body, u.stations, u.ingresses, nullptr); break;
            case Unit::voids: {
                // From three days back: the void that ends first needs the ingress before it.
                std::vector<double> moon_ingresses;
                scan_body(moon, false, u.ingresses, &moon_ingresses);
                find_voids(moon_ingresses);
                break;
            }
            case Unit::lunations: scan_lunations(); break;
            case Unit::solar_eclipses: scan_eclipses(false); break;
            case Unit::lunar_eclipses: scan_eclipses(true); break;
        }
    }

private:
    bool stop() {
        if (!out_.cancelled && s_.cancelled && s_.cancelled()) out_.cancelled = true;
        return out_.cancelled;
    }

    // Date of a scan time: in life on the progressed scale.
    double dated(double t) const { return s_.progressed || s_.solar_arc ? progressed_to_calendar(t, s_.natal_jd) : t; }

    Sample at(int body, double t) {
        const long long errors_before = eph_.error_count();
        const int p = s_.solar_arc ? 0 : body;
        Sample r{t, eph_.Get_1_Planet_geo(t, p), eph_.last_speed()};
        if (s_.solar_arc) r.lon = Mod360(s_.natal_lon[static_cast<std::size_t>(body)] + r.lon - s_.natal_lon[0]);
        if (eph_.error_count() != errors_before && failed_ < 0) failed_ = p;
        return r;
    }

    // After a piece of work on positions: true when all were computed; else the failing body is
    // named, and the events added since `first_event` are dropped.
    bool succeeded(std::size_t first_event) {
        if (failed_ < 0) return true;
        out_.events.resize(first_event);
        const bool named = std::any_of(out_.errors.begin(), out_.errors.end(),
                                       [&](const auto& e) { return e.first == failed_; });
        if (!named) {
            const auto it = eph_.errors().find(failed_);
            out_.errors.emplace_back(failed_, it != eph_.errors().end() ? it->second : std::string());
        }
        failed_ = -1;
        return false;
    }

    void add(SkyEvent e) {
        // One that ends at from_jd or earlier belongs to the range before; a void that began
        // earlier but ends within the range is listed.
        if ((e.kind == SkyEventKind::void_of_course ? e.end_jd : e.jd) <= s_.from_jd) return;
        e.jd = dated(e.jd);
        e.end_jd = e.kind == SkyEventKind::void_of_course ? dated(e.end_jd) : e.jd;
        out_.events.push_back(e);
    }

    struct BodyScan {
        int body;
        bool stations, ingresses;
        std::vector<double>* ingress_times;
    };

    void scan_body(int body, bool stations, bool ingresses, std::vector<double>* ingress_times) {
        const std::size_t first_event = out_.events.size();
        const BodyScan scan{body, stations, ingresses, ingress_times};
        const double h = step_for(body);
        const double from = ingress_times ? s_.from_jd - 3.0 : s_.from_jd;
        const auto n = static_cast<long>(std::ceil((s_.to_jd - from) / h));
        // Each step is looked at once the sample after it is known, for a loop hidden between samples.
        Sample a = at(body, from), c;
        bool have_c = false;
        for (long k = 1; k <= n && failed_ < 0 && !stop(); ++k) {
            const Sample next = at(body, k == n ? s_.to_jd : from + static_cast<double>(k) * h);
            if (!have_c) {
                c = next;
                have_c = true;
                continue;
            }
            if (step(scan, a, c, &next)) {
                a = next;
                have_c = false;
            } else {
                a = c;
                c = next;
            }
        }
        if (have_c && failed_ < 0 && !out_.cancelled) step(scan, a, c, nullptr);
        drop_blips(first_event);
        if (!succeeded(first_event) && ingress_times) ingress_times->clear();
    }

    // The library's speed of the true node is off for some seconds at a few moments (2024-07-23
    // 22:54 UT, 2029-02-02 0h UT) while the longitude goes on; a sample there looks like a loop.
    // Two stations less than a minute apart are dropped: no real loop is that short.
    void drop_blips(std::size_t first_event) {
        auto& ev = out_.events;
        const double shortest = dated(shortest_loop) - dated(0.0);  // events are dated already
        std::size_t last = ev.size();  // the last station kept
        for (std::size_t i = first_event; i < ev.size(); ++i) {
            if (ev[i].kind != SkyEventKind::station) continue;
            if (last < ev.size() && ev[i].jd - ev[last].jd < shortest) {
                ev[i].body = ev[last].body = -1;
                last = ev.size();
            } else {
                last = i;
            }
        }
        ev.erase(std::remove_if(ev.begin() + static_cast<std::ptrdiff_t>(first_event), ev.end(),
                                [](const SkyEvent& e) { return e.body < 0; }),
                 ev.end());
    }

    // The events between samples a and c; true when they reach on to `next` (a short loop found
    // around c), so that the step after is done too.
    bool step(const BodyScan& scan, const Sample& a, const Sample& c, const Sample* next) {
        std::vector<Sample> points = {a};
        bool through_next = false;
        if (!never_stations(scan.body)) {
            if ((a.speed < 0.0) != (c.speed < 0.0)) {
                points.push_back(station(scan.body, a, c));
            } else if (next && (next->speed < 0.0) == (c.speed < 0.0) && std::fabs(c.speed) < std::fabs(a.speed) &&
                       std::fabs(c.speed) < std::fabs(next->speed)) {
                // The speed comes nearest to zero around c: it may turn and turn back between samples.
                if (const auto turned = hidden_turn(scan.body, a, *next)) {
                    points.push_back(station(scan.body, a, *turned));
                    points.push_back(station(scan.body, *turned, *next));
                    through_next = true;
                }
            }
        }
        points.push_back(through_next ? *next : c);
        for (std::size_t i = 1; i < points.size(); ++i) {
            if (scan.stations && i + 1 < points.size()) {
                SkyEvent e;
                e.kind = SkyEventKind::station;
                e.body = scan.body;
                e.jd = points[i].t;
                e.longitude = points[i].lon;
                // A loop's first station leaves the direction of a and c, its second returns to it.
                e.retrograde = through_next ? (i == 1) == (c.speed >= 0.0) : c.speed < 0.0;
                add(e);
            }
            crossing(scan.body, points[i - 1], points[i], scan.ingresses, scan.ingress_times);
        }
        return through_next;
    }

    // A moment between a and c (whose speeds have one sign, smallest between them) where the speed
    // has the other sign, by a golden-section search for the speed's extreme; none when the extreme
    // keeps the sign.
    std::optional<Sample> hidden_turn(int body, const Sample& a, const Sample& c) {
        const double direction = a.speed < 0.0 ? -1.0 : 1.0;
        const auto away = [&](const Sample& x) { return (x.speed < 0.0) != (a.speed < 0.0); };
        constexpr double r = 0.6180339887498949;
        double lo = a.t, hi = c.t;
        Sample x1 = at(body, hi - r * (hi - lo)), x2 = at(body, lo + r * (hi - lo));
        for (;;) {
            if (away(x1)) return x1;
            if (away(x2)) return x2;
            if (hi - lo <= extreme_tolerance || failed_ >= 0) return std::nullopt;
            if (direction * x1.speed < direction * x2.speed) {
                hi = x2.t;
                x2 = x1;
                x1 = at(body, hi - r * (hi - lo));
            } else {
                lo = x1.t;
                x1 = x2;
                x2 = at(body, lo + r * (hi - lo));
            }
        }
    }

    Sample station(int body, const Sample& a, const Sample& c) {
        const double t = find_root([&](double x) { return Value{at(body, x).speed}; }, a.t, a.speed, c.t, c.speed,
                                   no_derivative);
        return at(body, t);
    }

    // The sign boundary crossed between two samples of a body moving one way, if any.
    void crossing(int body, const Sample& a, const Sample& c, bool listed, std::vector<double>* ingress_times) {
        if (!listed && !ingress_times) return;
        const double end = a.lon + wrap180(c.lon - a.lon);
        const double sign_a = std::floor(a.lon / 30.0), sign_c = std::floor(end / 30.0);
        if (sign_a == sign_c) return;
        const bool backwards = sign_c < sign_a;
        const double boundary = 30.0 * std::max(sign_a, sign_c);
        const double t = find_root(
            [&](double x) {
                const Sample s = at(body, x);
                return Value{wrap180(s.lon - boundary), s.speed};
            },
            a.t, a.lon - boundary, c.t, end - boundary, a.speed);
        if (ingress_times) ingress_times->push_back(t);
        if (!listed) return;
        SkyEvent e;
        e.kind = SkyEventKind::ingress;
        e.body = body;
        e.jd = t;
        e.longitude = Mod360(boundary);
        e.retrograde = backwards;
        e.sign = static_cast<int>(Mod360(backwards ? boundary - 30.0 : boundary) / 30.0) + 1;
        add(e);
    }

    // The Moon's elongation from the Sun, and its rate.
    Value elongation(double t, double target, Sample* moon_at = nullptr) {
        const Sample m = at(moon, t), sun = at(0, t);
        if (moon_at) *moon_at = m;
        return {wrap180(m.lon - sun.lon - target), m.speed - sun.speed};
    }

    void scan_lunations() {
        const std::size_t first_event = out_.events.size();
        const double h = step_for(moon);
        const auto n = static_cast<long>(std::ceil((s_.to_jd - s_.from_jd) / h));
        double ta = s_.from_jd;
        Value a = elongation(ta, 0.0);
        for (long k = 1; k <= n && failed_ < 0 && !stop(); ++k) {
            const double tc = k == n ? s_.to_jd : s_.from_jd + static_cast<double>(k) * h;
            const Value c = elongation(tc, 0.0);
            // The elongation only grows, less than a quarter per step.
            const double qa = std::floor(Mod360(a.g) / 90.0), qc = std::floor(Mod360(c.g) / 90.0);
            if (qa != qc) {
                const double target = 90.0 * qc;
                const double t = find_root([&](double x) { return elongation(x, target); }, ta,
                                           wrap180(a.g - target), tc, wrap180(c.g - target), a.d);
                Sample m;
                elongation(t, target, &m);
                SkyEvent e;
                e.kind = SkyEventKind::lunation;
                e.body = moon;
                e.jd = t;
                e.longitude = m.lon;
                e.phase = static_cast<LunationPhase>(static_cast<int>(qc));
                add(e);
            }
            ta = tc;
            a = c;
        }
        succeeded(first_event);
    }

    // A void of course from the Moon's last exact Ptolemaic aspect to a planet within a sign until
    // the ingress that ends it (the whole stay when there is none).
    void find_voids(const std::vector<double>& ingresses) {
        static constexpr std::array<int, 9> planets = {0, 2, 3, 4, 5, 6, 7, 8, 9};
        static constexpr std::array<double, 16> targets = {0,   60,  90,  120, 180, 240, 270, 300,
                                                           360, 420, 450, 480, 540, 600, 630, 660};
        const std::size_t first_event = out_.events.size();
        // Positions at the ingresses, each shared by the stays on either side.
        std::vector<std::array<Sample, 10>> at_ingress(ingresses.size());
        for (std::size_t i = 0; i < ingresses.size(); ++i) {
            at_ingress[i][0] = at(moon, ingresses[i]);
            for (std::size_t j = 0; j < planets.size(); ++j) at_ingress[i][j + 1] = at(planets[j], ingresses[i]);
        }
        for (std::size_t i = 1; i < ingresses.size() && failed_ < 0 && !stop(); ++i) {
            if (ingresses[i] <= s_.from_jd) continue;
            const auto& p = at_ingress[i - 1];
            const auto& c = at_ingress[i];
            // Each planet's last aspect in the stay, first placed by straight interpolation.
            struct Candidate {
                double estimate, target, sep0, sep1;
                int j;
            };
            std::vector<Candidate> candidates;
            for (std::size_t j = 0; j < planets.size(); ++j) {
                const double sep0 = Mod360(p[0].lon - p[j + 1].lon);
                const double sep1 = sep0 + Mod360(c[0].lon - c[j + 1].lon - sep0);  // the Moon is always faster
                double target = -1.0;
                for (double x : targets)
                    if (x > sep0 && x <= sep1) target = x;
                if (target >= 0.0)
                    candidates.push_back({p[0].t + (target - sep0) / (sep1 - sep0) * (c[0].t - p[0].t), target, sep0,
                                          sep1, static_cast<int>(j)});
            }
            std::sort(candidates.begin(), candidates.end(),
                      [](const Candidate& a, const Candidate& b) { return a.estimate > b.estimate; });
            double start = ingresses[i - 1];
            for (const Candidate& k : candidates) {
                // Over a stay of under three days the Moon's and the planets' accelerations (see
                // motion_bounds) move a straight estimate by under 0.1 day: earlier candidates
                // cannot be the last aspect.
                if (k.estimate < start - void_estimate_margin) break;
                const auto j = static_cast<std::size_t>(k.j);
                const int planet = planets[j];
                const double t = find_root(
                    [&](double x) {
                        const Sample m = at(moon, x), q = at(planet, x);
                        return Value{wrap180(m.lon - q.lon - k.target), m.speed - q.speed};
                    },
                    p[0].t, k.sep0 - k.target, c[0].t, k.sep1 - k.target, p[0].speed - p[j + 1].speed);
                start = std::max(start, t);
            }
            SkyEvent e;
            e.kind = SkyEventKind::void_of_course;
            e.body = moon;
            e.jd = start;
            e.end_jd = ingresses[i];
            e.longitude = at(moon, start).lon;
            add(e);
        }
        succeeded(first_event);
    }

    void scan_eclipses(bool lunar) {
        for (double t = s_.from_jd; !stop();) {
            const EclipseFound f = lunar ? eclipses_->next_lunar(t) : eclipses_->next_solar(t);
            const int body = lunar ? moon : 0;
            if (f.rc < 0) {
                eph_.note_error(body, error_text(f.serr));
                failed_ = body;
                succeeded(out_.events.size());
                return;
            }
            if (f.jd > s_.to_jd || f.jd <= t) return;
            const std::size_t first_event = out_.events.size();
            SkyEvent e;
            e.kind = SkyEventKind::eclipse;
            e.body = body;
            e.jd = f.jd;
            e.longitude = at(body, f.jd).lon;
            e.eclipse = f.type;
            e.magnitude = f.magnitude;
            add(e);
            if (!succeeded(first_event)) return;
            t = f.jd + 1.0;  // eclipses of one kind are months apart
        }
    }

    Ephemeris& eph_;
    EclipseApi* eclipses_;
    const SkyEventSearch& s_;
    SkyEventsResult& out_;
    int failed_ = -1;  // the first body whose position failed in the current piece of work
};

}  // namespace

SkyEventsResult find_sky_events(Ephemeris& eph, EclipseApi* eclipses, const SkyEventSearch& search) {
    const std::vector<Unit> units = plan(search, eclipses != nullptr);
    std::vector<SkyEventsResult> parts(units.size());
    std::atomic<std::size_t> next{0};
    const auto work = [&](Ephemeris& e) {
        for (std::size_t i = next++; i < units.size(); i = next++) Finder(e, eclipses, search, parts[i]).run(units[i]);
    };
    std::vector<std::thread> workers;
    std::atomic<long long> worker_calls{0};
    for (int k = 1; k < search.threads && static_cast<std::size_t>(k) < units.size(); ++k) {
        std::shared_ptr<SweApi> api = eph.api().for_worker_thread();
        if (!api) break;
        workers.emplace_back([&work, &worker_calls, api, &eph] {
            LibraryThreadScope scope(*api);
            Ephemeris own(*api);
            own.set_options(eph.use_et(), eph.apparent_pos());
            // The positions of a run's scan times serve every thread alike.
            own.share_grid(eph.shared_grid());
            work(own);
            worker_calls += own.calls();
        });
    }
    work(eph);
    for (std::thread& w : workers) w.join();

    SkyEventsResult out;
    for (SkyEventsResult& p : parts) {
        out.events.insert(out.events.end(), p.events.begin(), p.events.end());
        for (auto& e : p.errors) {
            if (std::none_of(out.errors.begin(), out.errors.end(), [&](const auto& x) { return x.first == e.first; }))
                out.errors.push_back(std::move(e));
        }
        out.cancelled = out.cancelled || p.cancelled;
    }
    out.worker_calls = worker_calls.load();
    std::stable_sort(out.events.begin(), out.events.end(),
                     [](const SkyEvent& a, const SkyEvent& b) { return a.jd < b.jd; });
    return out;
}

std::optional<int> natal_point_at(double longitude, const std::vector<std::pair<int, double>>& natal, double orb) {
    std::optional<int> best;
    double best_distance = orb;
    for (const auto& [body, lon] : natal) {
        const double d = std::fabs(wrap180(longitude - lon));
        if (d <= best_distance) {
            best = body;
            best_distance = d;
        }
    }
    return best;
}

}  // namespace tavrolin
