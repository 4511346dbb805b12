#include "engine/retrograde_periods.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <utility>

#include "engine/calendar.h"
#include "engine/engine.h"

namespace tavrolin {

namespace {

constexpr double tolerance = 1e-5;  // days, under a second
constexpr double same_station = 1.0 / 1440;

// Searched for stations before and after the range: longer than the most a period with its
// shadows reaches from either station (over 1950-2050 at most 43 days for Mercury, 77 Venus, 149
// Mars, 213 Jupiter, 283 Pluto, 314 Eris; slower bodies near aphelion come near their synodic year).
double margin(int body) {
    switch (body) {
        case 2: return 60.0;
        case 3: return 100.0;
        case 4: return 200.0;
        case 11: case 13: return 60.0;  // loops of days
        default: return 400.0;
    }
}

double wrap180(double x) { return x - 360.0 * std::floor((x + 180.0) / 360.0); }

// The Sun and Moon never turn back; the mean node always moves backwards, the mean apogee forwards.
bool ever_stations(int body) { return !(body == 0 || body == 1 || body == 10 || body == 12); }

// Between two samples a body moves well under half a circle, and no retrograde phase of a
// planet (three weeks at the shortest) fits in.
double shadow_step(int body) {
    switch (body) {
        case 2: return 4.0;
        case 11: case 13: return 0.5;  // the osculating node and apogee loop within days
        case 3: case 4: return 6.0;
        default: return 10.0;
    }
}

struct Station {
    double t = 0.0, lon = 0.0;
    bool retrograde = false;
};

class ShadowWalk {
public:
    ShadowWalk(Ephemeris& eph, int body) : eph_(eph), body_(body) {}

    // From a station at t0 (longitude lon0) away from its retrograde loop, in direction dir (-1
    // earlier, +1 later), while the body moves forwards: the moment it has run `arc` degrees, else
    // the moment it turns (it was within the shadow since), else `limit`. t0 when a position fails.
    // A limit that is the neighbouring station of a body whose forward phase stays under half a
    // circle (not Venus, Mars or the osculating points) brackets the moment at once.
    double run(double t0, double lon0, double arc, int dir, double limit, bool limit_is_station) {
        const long long errors_before = eph_.error_count();
        const bool one_step = limit_is_station && body_ != 3 && body_ != 4 && body_ != 11 && body_ != 13;
        const double h = one_step ? std::fabs(limit - t0) : shadow_step(body_);
        double t = t0, progress = 0.0, lon = lon0;
        while (dir * (limit - t) > 0.0) {
            const double tn = dir * (limit - t) <= h ? limit : t + dir * h;
            const double lon_n = eph_.Get_1_Planet_geo(tn, body_);
            const double speed = eph_.last_speed();
            if (eph_.error_count() != errors_before) return t0;
            const double progress_n = progress + dir * wrap180(lon_n - lon);
            // How far past the shadow's end, and how fast that grows (in the walk's direction).
            const auto ran = [&](double x) {
                const double g = progress + dir * wrap180(eph_.Get_1_Planet_geo(x, body_) - lon) - arc;
                return std::pair{g, dir * eph_.last_speed()};
            };
            if (tn == limit && limit_is_station) return progress_n >= arc ? solve(t, tn, ran) : limit;
            if (speed < 0.0) {
                const double turn = solve(t, tn, [&](double x) {
                    eph_.Get_1_Planet_geo(x, body_);
                    return std::pair{-eph_.last_speed(), std::nan("")};
                });
                return ran(turn).first >= 0.0 ? solve(t, turn, ran) : turn;
            }
            if (progress_n >= arc) return solve(t, tn, ran);
            t = tn;
            progress = progress_n;
            lon = lon_n;
        }
        return limit;
    }

private:
    // The moment between a (where g < 0) and b (where g >= 0) at which g reaches 0: Newton steps
    // on g's rate (NaN when unknown) while they stay in the bracket, halvings otherwise.
    template <class G>
    static double solve(double a, double b, G g) {
        double x = 0.5 * (a + b);
        for (int i = 0; i < 100 && std::fabs(b - a) > tolerance; ++i) {
            const auto [value, rate] = g(x);
            (value < 0.0 ? a : b) = x;
            const double newton = x - value / rate;
            const bool inside = std::isfinite(newton) && newton > std::min(a, b) && newton < std::max(a, b);
            const double next = inside ? newton : 0.5 * (a + b);
            if (std::fabs(next - x) < tolerance) return next;
            x = next;
        }
        return 0.5 * (a + b);
    }

    Ephemeris& eph_;
    int body_;
};

}  // namespace

std::vector<RetrogradePeriod> find_retrograde_periods(Ephemeris& eph, const SkyEventSearch& search,
                                                      const std::vector<SkyEvent>& events) {
    std::vector<RetrogradePeriod> out;
    if (!search.kinds.stations || search.solar_arc) return out;
    std::set<int> failed_before;
    for (const auto& e : eph.errors()) failed_before.insert(e.first);

    // The events are dated in life on the progressed scale; the shadows are found on its own.
    const auto scan_time = [&](double jd) {
        return search.progressed ? search.natal_jd + (jd - search.natal_jd) / 365.242199 : jd;
    };
    const auto dated = [&](double t) { return search.progressed ? progressed_to_calendar(t, search.natal_jd) : t; };

    for (int body : search.bodies) {
        // A body whose positions failed in the run has its stations missing there.
        if (!ever_stations(body) || failed_before.count(body) != 0) continue;
        if (search.cancelled && search.cancelled()) break;
        // The stations just before and after the range, on the library's positions like the run's.
        SkyEventSearch around = search;
        around.kinds = SkyEventKinds{};
        around.kinds.stations = true;
        around.bodies = {body};
        around.threads = 1;
        const double lo = search.from_jd - margin(body), hi = search.to_jd + margin(body);
        around.from_jd = lo;
        around.to_jd = search.from_jd;
        const SkyEventsResult earlier = find_sky_events(eph, nullptr, around);
        around.from_jd = search.to_jd;
        around.to_jd = hi;
        const SkyEventsResult later = find_sky_events(eph, nullptr, around);
        std::vector<Station> stations;
        for (const auto* list : {&earlier.events, &events, &later.events})
            for (const SkyEvent& e : *list)
                if (e.kind == SkyEventKind::station && e.body == body) stations.push_back({scan_time(e.jd), e.longitude, e.retrograde});
        std::sort(stations.begin(), stations.end(), [](const Station& a, const Station& b) { return a.t < b.t; });
        // One station found by two searches at their common end.
        stations.erase(std::unique(stations.begin(), stations.end(),
                                   [](const Station& a, const Station& b) { return b.t - a.t < same_station; }),
                       stations.end());

        std::vector<RetrogradePeriod> periods;
        ShadowWalk walk(eph, body);
        if (stations.empty()) {
            // Turned before the stations searched for and not yet back: retrograde throughout.
            const long long errors_before = eph.error_count();
            eph.Get_1_Planet_geo(search.from_jd, body);
            if (eph.last_speed() < 0.0 && eph.error_count() == errors_before) periods.push_back({body, lo, lo, hi, hi});
        } else if (!stations.front().retrograde) {
            periods.push_back({body, lo, lo, stations.front().t, stations.front().t});
        }
        for (std::size_t k = 0; k < stations.size(); ++k) {
            const Station& r = stations[k];
            if (!r.retrograde) continue;
            if (k + 1 == stations.size()) {
                periods.push_back({body, r.t, r.t, hi, hi});
                break;
            }
            const Station& d = stations[k + 1];
            if (d.retrograde) continue;  // not a loop: two stations of one kind in a row
            const double arc = Mod360(r.lon - d.lon);
            // Bounded by the neighbouring stations, where they were found.
            const bool before = k > 0, after = k + 2 < stations.size();
            periods.push_back({body, walk.run(r.t, r.lon, arc, -1, before ? stations[k - 1].t : lo, before), r.t, d.t,
                               walk.run(d.t, d.lon, arc, 1, after ? stations[k + 2].t : hi, after)});
        }
        for (RetrogradePeriod& p : periods) {
            if (p.shadow_to <= search.from_jd || p.shadow_from >= search.to_jd) continue;
            p.shadow_from = dated(p.shadow_from);
            p.retrograde_from = dated(p.retrograde_from);
            p.retrograde_to = dated(p.retrograde_to);
            p.shadow_to = dated(p.shadow_to);
            out.push_back(p);
        }
    }
    // Beyond the range a body's file may end: that is no fault of the run's.
    for (auto it = eph.errors().begin(); it != eph.errors().end();) {
        const int body = (it++)->first;
        if (failed_before.count(body) == 0) eph.forget_error(body);
    }
    return out;
}

}  // namespace tavrolin
