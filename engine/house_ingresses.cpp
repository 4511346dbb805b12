#include "engine/house_ingresses.h"

#include <algorithm>
#include <cmath>

#include "engine/calendar.h"
#include "engine/motion_bounds.h"

namespace tavrolin {

namespace {

// The signed distance of a longitude past a cusp, in (-180, 180].
double past(double longitude, double cusp) {
    const double d = std::remainder(longitude - cusp, 360.0);
    return d == -180.0 ? 180.0 : d;
}

class IngressScan {
public:
    IngressScan(Ephemeris& eph, const HouseIngressSearch& s) : eph_(eph), s_(s) {}

    double longitude(double t, int body) {
        if (!s_.solar_arc) return eph_.Get_1_Planet_geo(t, body);
        const double arc = eph_.Get_1_Planet_geo(t, 0) - s_.natal_lon[0];
        return Mod360(s_.natal_lon[static_cast<std::size_t>(body)] + arc);
    }

    // The body's crossings into `out`; false when the search was cancelled (those found before
    // are kept).
    bool scan(int body, HouseIngressesResult& out) {
        const long long errors_before = eph_.error_count();
        std::vector<HouseIngress> own;
        double t0 = s_.from_jd;
        double lon0 = longitude(t0, body);
        bool cancelled = false;
        // With the library's speeds bounded, a step leaps as far as the body cannot reach a cusp:
        // a slow planet's century takes a few hundred steps instead of thirty-six thousand.
        const auto bound = eph_.api().motion_bounds_hold() ? motion_bound(s_.solar_arc ? 0 : body, 0, false) : std::nullopt;
        while (t0 < s_.to_jd) {
            if (s_.cancelled && s_.cancelled()) {
                cancelled = true;
                break;
            }
            // A day of the scan moves the fastest body (the Moon) about 15 degrees: a cusp is
            // crossed at most once a step, and the crossing lies where the distance changes sign.
            double nearest = 180.0;
            for (const double cusp : s_.cusps) nearest = std::min(nearest, std::fabs(past(lon0, cusp)));
            const double t1 = std::min(t0 + (bound ? std::max(1.0, nearest / bound->speed) : 1.0), s_.to_jd);
            const double lon1 = longitude(t1, body);
            for (std::size_t c = 0; c < 12; ++c) {
                const double d0 = past(lon0, s_.cusps[c]), d1 = past(lon1, s_.cusps[c]);
                if (std::fabs(d0) > 90.0 || std::fabs(d1) > 90.0 || (d0 < 0.0) == (d1 < 0.0)) continue;
                own.push_back(refine(body, c, t0, t1, d0 < 0.0));
            }
            t0 = t1;
            lon0 = lon1;
        }
        // Positions the library could not compute would give crossings of no real body: the body
        // (or, for a directed body, the Sun whose arc moves it) is named instead.
        if (eph_.error_count() != errors_before) {
            for (const int b : {body, s_.solar_arc ? 0 : body}) {
                const auto e = eph_.errors().find(b);
                const bool named = std::any_of(out.errors.begin(), out.errors.end(), [b](const auto& x) { return x.first == b; });
                if (e != eph_.errors().end() && !named) out.errors.emplace_back(b, e->second);
            }
            return !cancelled;
        }
        out.ingresses.insert(out.ingresses.end(), own.begin(), own.end());
        return !cancelled;
    }

private:
    // Halves the step until the moment is known to well within the calculation's tolerance.
    HouseIngress refine(int body, std::size_t cusp, double a, double b, bool forwards) {
        for (int i = 0; i < 40 && b - a > 1e-7; ++i) {
            const double m = (a + b) / 2.0;
            const bool before = past(longitude(m, body), s_.cusps[cusp]) < 0.0;
            (before == forwards ? a : b) = m;
        }
        HouseIngress ingress;
        ingress.body = body;
        const double t = (a + b) / 2.0;
        ingress.longitude = longitude(t, body);
        ingress.jd = s_.progressed ? (t - s_.natal_jd) * 365.242199 + s_.natal_jd : t;
        const int after_cusp = static_cast<int>(cusp) + 1;  // the house that begins at the cusp
        const int before_cusp = after_cusp == 1 ? 12 : after_cusp - 1;
        ingress.retrograde = !forwards;
        ingress.house = forwards ? after_cusp : before_cusp;
        ingress.left = forwards ? before_cusp : after_cusp;
        return ingress;
    }

    Ephemeris& eph_;
    const HouseIngressSearch& s_;
};

}  // namespace

HouseIngressesResult find_house_ingresses(Ephemeris& eph, const HouseIngressSearch& search) {
    HouseIngressesResult found;
    IngressScan scan(eph, search);
    for (const int body : search.bodies) {
        if (body < 0 || body > last_body_index || body_excluded(body, 0)) continue;
        if (!scan.scan(body, found)) {
            found.cancelled = true;
            break;
        }
    }
    std::stable_sort(found.ingresses.begin(), found.ingresses.end(),
                     [](const HouseIngress& x, const HouseIngress& y) { return x.jd < y.jd; });
    return found;
}

std::string house_ingress_text(const HouseIngress& ingress) {
    const std::string name(body_captions[static_cast<std::size_t>(ingress.body)]);
    if (ingress.retrograde)
        return name + " leaves house " + std::to_string(ingress.left) + " for house " + std::to_string(ingress.house);
    return name + " enters natal house " + std::to_string(ingress.house);
}

}  // namespace tavrolin
