// Exact-time refinement: a secant iteration on the signed orb, started from the two ends of the
// step, and the positions at the moment found.
#include <cmath>

#include "engine/calendar.h"
#include "engine/engine.h"
#include "engine/text_rules.h"

namespace tavrolin {

void PairScan::SecantMethod(double earlier_jd, double later_jd, double e, int m, int aspect_num) {
    const bool decl_aspect = aspect_num >= last_aspect_index - 1;
    const auto k1 = static_cast<std::size_t>(p1_num);
    const auto k2 = static_cast<std::size_t>(p2_num);
    double x0 = earlier_jd;
    double x1 = later_jd;
    int i = 1;
    bool converged = false;

    while (i <= m) {
        double a1 = 0.0, a0 = 0.0;
        if (cv.mode == 3) {
            compute_solar_arcs(x0, x1);
            if (decl_aspect) {
                a1 = natal_decl[k1] + decl_arc_later;
                a0 = natal_decl[k1] + decl_arc_earlier;
                secant_speed = decl_arc_later - decl_arc_earlier;
            } else {
                a1 = Mod360(natal_lon[k1] + solar_arc_later);
                a0 = Mod360(natal_lon[k1] + solar_arc_earlier);
                secant_speed = solar_arc_later - solar_arc_earlier;
            }
        } else if (decl_aspect) {
            a1 = body_decl(x1, p1_num, cv.p1_helio);
            secant_speed = eph.last_speed();
            a0 = body_decl(x0, p1_num, cv.p1_helio);
        } else {
            a1 = body_lon(x1, p1_num, cv.p1_helio);
            secant_speed = eph.last_speed();
            a0 = body_lon(x0, p1_num, cv.p1_helio);
        }

        double b1 = 0.0, b0 = 0.0;
        if (calc_kind == 1) {
            if (cv.mode == 1) {
                if (decl_aspect) {
                    b1 = body_decl(x1, p2_num, cv.p2_helio);
                    b0 = body_decl(x0, p2_num, cv.p2_helio);
                } else {
                    b1 = body_lon(x1, p2_num, cv.p2_helio);
                    b0 = body_lon(x0, p2_num, cv.p2_helio);
                }
            } else {
                b1 = b0 = decl_aspect ? natal_decl[k2] : natal_lon[k2];
            }
        } else {
            const double degree = val(cv.zodiac_degree);
            b1 = b0 = decl_aspect ? degree : zodiac_longitude(degree);
        }

        const double f1 = aspect_orb(aspect_num, a1, b1, aspect_angle);
        const double f0 = aspect_orb(aspect_num, a0, b0, aspect_angle);
        double delta = 0.0;
        if (f1 - f0 == 0.0) {
            x1 = (x0 + x1) / 2.0;
        } else {
            delta = (x1 - x0) / (f1 - f0) * f1;
        }
        // The two points straddle a jump of the orb (where the separation passes 0 or 180
        // degrees), not a zero. The first pair is the step itself and is not tested.
        if (std::fabs(f1 - f0) > 20.0 && i >= 2) {
            exact_jd = 0.0;
            return;
        }
        if (std::fabs(delta) < e) {
            converged = true;
            break;
        }
        x0 = x1;
        if (std::fabs(delta) >= 1.001) {
            exact_jd = 0.0;
            return;
        }
        x1 = x1 - delta;
        ++i;
    }

    if (converged && decl_aspect) {
        // Equal sizes of declination are found for both aspects alike; the signs decide which
        // one it is (0 counts as north).
        double d1 = 0.0;
        if (cv.mode == 3) {
            d1 = natal_decl[k1] + decl_arc_later;
        } else {
            d1 = body_decl(x1, p1_num, cv.p1_helio);
        }
        double d2 = 0.0;
        if (calc_kind == 1) {
            d2 = cv.mode == 1 ? body_decl(x1, p2_num, cv.p2_helio) : natal_decl[k2];
        } else {
            d2 = val(cv.zodiac_degree);
        }
        const bool same_side = (d1 >= 0.0) == (d2 >= 0.0);
        if (aspect_num == parallel_aspect ? !same_side : same_side) x1 = 0.0;
    }

    exact_jd = i <= m ? x1 : 0.0;
}

void PairScan::Get_Planet_Positions_at_Exact(int p1, int p2, double t) {
    const auto k1 = static_cast<std::size_t>(p1);
    const auto k2 = static_cast<std::size_t>(p2);
    if (cv.mode == 3) {
        const int arc_body = cv.p1_helio == 0 ? 0 : earth_index;
        const auto ka = static_cast<std::size_t>(arc_body);
        solar_arc_earlier = Mod360(body_lon(t, arc_body, cv.p1_helio) - natal_lon[ka]);
        decl_arc_earlier = body_decl(t, arc_body, cv.p1_helio) - natal_decl[ka];
        p1_lon = Mod360(natal_lon[k1] + solar_arc_earlier);
        p1_speed = 1.0;
        p1_decl = natal_decl[k1] + decl_arc_earlier;
    } else {
        p1_lon = body_lon(t, p1, cv.p1_helio);
        p1_speed = eph.last_speed();
        p1_decl = body_decl(t, p1, cv.p1_helio);
    }

    if (calc_kind == 1) {
        if (cv.mode == 1) {
            p2_lon = body_lon(t, p2, cv.p2_helio);
            p2_speed = eph.last_speed();
            p2_decl = body_decl(t, p2, cv.p2_helio);
        } else {
            p2_lon = natal_lon[k2];
            p2_speed = natal_speed[k2];
            p2_decl = natal_decl[k2];
        }
    } else {
        p2_decl = val(cv.zodiac_degree);
        p2_lon = zodiac_longitude(p2_decl);
        // A fixed degree does not move; left unset, the column would carry a stale speed.
        p2_speed = 0.0;
    }
}

}  // namespace tavrolin
