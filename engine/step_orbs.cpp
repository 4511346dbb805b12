// Aspect detection within one step of the scan: the positions of the current pair at both ends
// of the step, and the signed orbs whose linear zero tells whether refinement is worth trying.
#include <cmath>

#include "engine/calendar.h"
#include "engine/engine.h"
#include "engine/text_rules.h"

namespace tavrolin {

double longitude_orb(double p1_lon, double p2_lon, float aspect_angle) {
    const double d = p2_lon - p1_lon;
    double s = std::fabs(d);
    if (s > 180.0) s = 360.0 - s;
    const double o = s - static_cast<double>(aspect_angle);
    return (d <= -180.0 || (d >= 0.0 && d < 180.0)) ? -o : o;
}

double aspect_orb(int aspect_num, double p1_value, double p2_value, float aspect_angle) {
    if (aspect_num == parallel_aspect) return p2_value - p1_value;
    if (aspect_num == contraparallel_aspect) return std::fabs(p2_value) - std::fabs(p1_value);
    return longitude_orb(p1_value, p2_value, aspect_angle);
}

std::string zodiac_degree_problem(std::string_view zodiac_degree) {
    const double degree = val(zodiac_degree);
    // Two turns either way hold any longitude written past the circle (370 for 10, -10 for 350)
    // and any declination; a number beyond is a slip of the keyboard, not a place in the sky.
    // A text that is not a number ("13/45/2005") would search the degree of its first digits.
    if (!is_number_text(zodiac_degree) || !(degree >= -720.0 && degree <= 720.0)) return "is not a degree from -720 to 720";
    return {};
}

double zodiac_longitude(double degree) {
    // Wrapped, a degree past the circle meets every aspect as its place on the circle does; the
    // orb's folding into 0..180 assumes both longitudes on one circle.
    return degree >= 0.0 && degree <= 360.0 ? degree : Mod360(degree);
}

double progressed_to_calendar(double progressed_jd, double natal_jd) {
    return (progressed_jd - natal_jd) * 365.242199 + natal_jd;
}

double PairScan::body_lon(double t, int p, int helio_tick) {
    return helio_tick == 0 ? eph.Get_1_Planet_geo(t, p) : eph.Get_1_Planet_helio(t, p);
}

double PairScan::body_decl(double t, int p, int helio_tick) {
    return helio_tick == 0 ? eph.Get_1_Planet_decl(t, p) : eph.Get_1_Planet_latitude(t, p);
}

void PairScan::compute_solar_arcs(double earlier_jd, double later_jd) {
    // The scan runs in progressed days, so this is the progressed Sun's distance from the natal
    // Sun (heliocentric: the Earth's).
    const int arc_body = cv.p1_helio == 0 ? 0 : earth_index;
    const auto k = static_cast<std::size_t>(arc_body);
    const double lon_later = body_lon(later_jd, arc_body, cv.p1_helio);
    const double lon_earlier = body_lon(earlier_jd, arc_body, cv.p1_helio);
    solar_arc_earlier = Mod360(lon_earlier - natal_lon[k]);
    solar_arc_later = Mod360(lon_later - natal_lon[k]);
    const double decl_later = body_decl(later_jd, arc_body, cv.p1_helio);
    const double decl_earlier = body_decl(earlier_jd, arc_body, cv.p1_helio);
    decl_arc_earlier = decl_earlier - natal_decl[k];
    decl_arc_later = decl_later - natal_decl[k];
}

void PairScan::Get_Initial_Planet_Positions(double earlier_jd, double later_jd) {
    const auto k1 = static_cast<std::size_t>(p1_num);
    if (cv.mode == 3) {
        compute_solar_arcs(earlier_jd, later_jd);
        p1_lon_later = Mod360(natal_lon[k1] + solar_arc_later);
        p1_lon = Mod360(natal_lon[k1] + solar_arc_earlier);
        p1_decl_later = natal_decl[k1] + decl_arc_later;
        p1_decl = natal_decl[k1] + decl_arc_earlier;
    } else {
        p1_lon_later = body_lon(later_jd, p1_num, cv.p1_helio);
        p1_lon = body_lon(earlier_jd, p1_num, cv.p1_helio);
        p1_decl_later = body_decl(later_jd, p1_num, cv.p1_helio);
        p1_decl = body_decl(earlier_jd, p1_num, cv.p1_helio);
    }

    if (calc_kind == 1) {
        if (cv.mode == 1) {
            p2_lon_later = body_lon(later_jd, p2_num, cv.p2_helio);
            p2_lon = body_lon(earlier_jd, p2_num, cv.p2_helio);
            p2_decl_later = body_decl(later_jd, p2_num, cv.p2_helio);
            p2_decl = body_decl(earlier_jd, p2_num, cv.p2_helio);
        } else {
            const auto k2 = static_cast<std::size_t>(p2_num);
            p2_lon = p2_lon_later = natal_lon[k2];
            p2_decl = p2_decl_later = natal_decl[k2];
        }
    } else {
        // The one zodiac degree serves as longitude and as declination.
        const double degree = val(cv.zodiac_degree);
        p2_lon = p2_lon_later = zodiac_longitude(degree);
        p2_decl = p2_decl_later = degree;
    }
}

double PairScan::Get_separation_for_this_aspect(int aspect_num) {
    if (aspect_num >= last_aspect_index - 1) {
        orb_later = aspect_orb(aspect_num, p1_decl_later, p2_decl_later, aspect_angle);
        orb_earlier = aspect_orb(aspect_num, p1_decl, p2_decl, aspect_angle);
    } else {
        orb_later = longitude_orb(p1_lon_later, p2_lon_later, aspect_angle);
        orb_earlier = longitude_orb(p1_lon, p2_lon, aspect_angle);
    }
    // Equal orbs at both ends: no crossing to estimate; 1000 keeps the step away from refinement.
    if (orb_later - orb_earlier == 0.0) return 1000.0;
    return orb_later / (orb_later - orb_earlier);
}

}  // namespace tavrolin
