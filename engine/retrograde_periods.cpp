#include "engine/retrograde_periods.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "engine/calendar.h"
#include "engine/engine.h"

namespace tavrolin {

namespace {

// Longer than any period with both its shadows (the slowest bodies': about a year and a half), so
// that the stations of every period reaching into the range are among those found.
constexpr double margin = 600.0;
constexpr double tolerance = 1e-5;  // days, under a second
constexpr double same_station = 1.0 / 1440;

double wrap180(double x) { return x - 360.0 * std::floor((x + 180.0) / 360.0); }

// The Sun and Moon never turn back; the mean node always moves backwards, the mean apogee forwards.
bool ever_stations(int body) { return !(body == 0 || body == 1 || body == 10 || body == 12); }

// Between two samples a body moves well under half a circle, and no loop of a planet fits in.
double shadow_step(int body) {
    switch (body) {
        case 2: return 1.0;
        case 11: case 13: return 0.25;  // the osculating node and apogee loop within days
        case 3: case 4: return 2.0;
        default: return 5.0;
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
    double run(double t0, double lon0, double arc, int dir, double limit) {
        const long long errors_before = eph_.error_count();
        const double h = shadow_step(body_);
        double t = t0, progress = 0.0, lon = lon0;
        while (dir * (limit - t) > 0.0) {
            const double tn = dir * (limit - t) <= h ? limit : t + dir * h;
            const double lon_n = eph_.Get_1_Planet_geo(tn, body_);
            const double speed = eph_.last_speed();
            if (eph_.error_count() != errors_before) return t0;
            const double progress_n = progress + dir * wrap180(lon_n - lon);
            const auto ran = [&](double x) { return progress + dir * wrap180(eph_.Get_1_Planet_geo(x, body_) - lon) - arc; };
            if (speed < 0.0) {
                const double turn = bisect(t, tn, [&](double x) {
                    eph_.Get_1_Planet_geo(x, body_);
                    return -eph_.last_speed();
                });
                return ran(turn) >= 0.0 ? bisect(t, turn, ran) : turn;
            }
            if (progress_n >= arc) return bisect(t, tn, ran);
            t = tn;
            progress = progress_n;
            lon = lon_n;
        }
        return limit;
    }

private:
    // The moment between a (where g < 0) and b (where g >= 0) at which g reaches 0.
    template <class G>
    static double bisect(double a, double b, G g) {
        while (std::fabs(b - a) > tolerance) {
            const double m = 0.5 * (a + b);
            (g(m) < 0.0 ? a : b) = m;
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
    SkyEventSearch around = search;
    around.kinds = SkyEventKinds{};
    around.kinds.stations = true;
    around.bodies.clear();
    std::copy_if(search.bodies.begin(), search.bodies.end(), std::back_inserter(around.bodies), ever_stations);
    if (around.bodies.empty()) return out;

    std::set<int> failed_before;
    for (const auto& e : eph.errors()) failed_before.insert(e.first);
    SkyEventSearch before = around, after = around;
    before.from_jd = search.from_jd - margin;
    before.to_jd = search.from_jd;
    after.from_jd = search.to_jd;
    after.to_jd = search.to_jd + margin;
    const SkyEventsResult earlier = find_sky_events(eph, nullptr, before);
    const SkyEventsResult later = find_sky_events(eph, nullptr, after);

    // The events are dated in life on the progressed scale; the shadows are found on its own.
    const auto scan_time = [&](double jd) {
        return search.progressed ? search.natal_jd + (jd - search.natal_jd) / 365.242199 : jd;
    };
    const auto dated = [&](double t) { return search.progressed ? progressed_to_calendar(t, search.natal_jd) : t; };
    const double lo = before.from_jd, hi = after.to_jd;

    for (int body : around.bodies) {
        if (search.cancelled && search.cancelled()) break;
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
            periods.push_back({body, walk.run(r.t, r.lon, arc, -1, lo), r.t, d.t, walk.run(d.t, d.lon, arc, 1, hi)});
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
