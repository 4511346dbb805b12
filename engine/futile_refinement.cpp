// The fast scan's proof that a refinement cannot end in a row, so that it need not be run.
//
// Two kinds of refinement are started by the linear test and almost always fail, and together
// they are most of the library calls of a long scan:
//  - the orb keeps its sign through the step and its linear zero lies in the next step (every
//    aspect is first seen coming one step early): the secant converges to the zero in the next
//    step, where the next step finds it again;
//  - the orb changes sign because the separation passes 0 or 180 degrees, where the orb of a
//    longitude aspect jumps: the secant's second point lies across the jump or far from any zero,
//    and it gives up.
// The proof uses bounds on how fast positions move (motion_bounds.h): L on the orb's speed, M on
// its acceleration, W on the library's small non-smooth features. It relies on three facts of
// SecantMethod: from the second iteration on, a pair of points whose orbs differ by more than 20
// degrees ends it; a step of 1.001 days or more ends it; and it stops at a point x1 only when
// |f(x1)| * |x1 - x0| / |f1 - f0| < e, where x0 is the previous point and |x1 - x0| >= e (the
// previous step was not small enough to stop). Between two points on one smooth piece of the orb
// |f1 - f0| <= L |x1 - x0| + 2W, so it stops only where |f| < e L + 2W.
// The secant also stops at the midpoint of two points whose orbs are equal to the last bit; that
// takes two different moments giving the very same double and is left out of account.
#include <algorithm>
#include <cmath>

#include "engine/calendar.h"
#include "engine/engine.h"
#include "engine/motion_bounds.h"

namespace tavrolin {

bool PairScan::refinement_is_futile(int aspect_num, double r) const {
    // Solar arcs move every body with the Sun's arc: those refinements are simply run.
    if (!skip_futile_refinements || cv.mode == 3) return false;
    const bool declination = is_declination_aspect(aspect_num);
    const bool p2_moves = calc_kind == 1 && cv.mode == 1;

    const auto b1 = motion_bound(p1_num, cv.p1_helio, declination);
    if (!b1) return false;
    double L = b1->speed;
    double M = b1->acceleration;
    double W = position_wobble;
    if (p2_moves) {
        const auto b2 = motion_bound(p2_num, cv.p2_helio, declination);
        if (!b2) return false;
        L += b2->speed;
        M += b2->acceleration;
        W += position_wobble;
    }
    if (!(L < 90.0)) return false;
    const double e = secant_tolerance;
    const double fe = orb_earlier;
    const double fl = orb_later;

    // The orb of a longitude aspect jumps by 2A where the separation passes 0 and by 360 - 2A
    // where it passes 180 (no jump at 0 for the conjunction, at 180 for the opposition); the
    // declination aspects have no jumps.
    double least_jump = 1e9;
    bool jump_at_0 = false;
    bool jump_at_180 = false;
    if (!declination) {
        const double angle = aspect_angle;
        if (!(angle >= 0.0 && angle <= 180.0)) return false;
        jump_at_0 = angle != 0.0;
        jump_at_180 = angle != 180.0;
        if (jump_at_0) least_jump = std::min(least_jump, 2.0 * angle);
        if (jump_at_180) least_jump = std::min(least_jump, 360.0 - 2.0 * angle);
    }

    if (r < 0.0) {
        // Same sign at both ends, the linear zero after the step. Any jump must exceed what the
        // 20-degree test could take for motion between two points less than 1.001 days apart. At
        // the first iteration the step's end is a point that could be accepted; not when |r| >= e.
        if (least_jump <= 20.0 + 1.001 * L + 2.0 * W) return false;
        if (r > -2.0 * e) return false;
        // The orb must be smooth in the step: the separation cannot reach a jump point and come
        // back within it, nor can a declination of the contraparallel pass zero (a kink).
        const double travel = L + 2.0 * W;
        if (!declination) {
            const double u0 = Mod360(p2_lon - p1_lon);
            const double u1 = Mod360(p2_lon_later - p1_lon_later);
            if (jump_at_0 && std::min(u0, 360.0 - u0) + std::min(u1, 360.0 - u1) <= travel) return false;
            if (jump_at_180 && std::fabs(u0 - 180.0) + std::fabs(u1 - 180.0) <= travel) return false;
        } else if (aspect_num == contraparallel_aspect) {
            if (std::fabs(p1_decl) + std::fabs(p1_decl_later) <= travel) return false;
            if (p2_moves && std::fabs(p2_decl) + std::fabs(p2_decl_later) <= travel) return false;
        }
        // Then the orb stays within M/8 + 2W of the line between its ends, which never comes
        // nearer zero than the smaller end; the secant stops only where |f| < e L + 2W.
        const double least_orb = std::min(std::fabs(fe), std::fabs(fl)) - M / 8.0 - 2.0 * W;
        return least_orb > e * L + 2.0 * W + 1e-9;
    }

    // Opposite signs at both ends of a longitude aspect, far from zero: the orb jumped. The
    // second point x2 lies r days before the step's end: across the jump (the two orbs differ by
    // more than 20 degrees) or on the end's piece, where |f(x2)| >= |f_later| - L r - 2W and the
    // secant step |x2 - later| |f(x2)| / |f(x2) - f_later| reaches 1.001 days.
    if (declination || r < 2.0 * e || r >= 1.001) return false;
    if ((fe > 0.0) == (fl > 0.0) || fe == 0.0 || fl == 0.0) return false;
    const double r_low = r * (1.0 - 1e-12);
    const double r_high = r * (1.0 + 1e-12);
    if (least_jump <= 20.0 + L * r_high + 2.0 * W) return false;
    const double least_second = std::fabs(fl) - L * r_high - 2.0 * W;
    return least_second > 0.0 && r_low * least_second / (L * r_high + 2.0 * W) >= 1.001 + 1e-9;
}

}  // namespace tavrolin
