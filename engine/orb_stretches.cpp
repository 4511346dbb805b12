// The stretches in which a pair stands within one degree of an aspect, gathered during the scan
// from the very orbs that aspect detection computes at the ends of each step: no position is
// asked of the library for them.
#include <algorithm>
#include <cmath>

#include "engine/engine.h"

namespace tavrolin {

namespace {

constexpr double orb_limit = 1.0;

}  // namespace

void PairScan::track_stretch(int a, double current, double orb_at_start, double orb_at_end, bool qualifies, double exact) {
    const double e = std::fabs(orb_at_start);
    const double l = std::fabs(orb_at_end);
    const bool in_start = qualifies && e <= orb_limit;
    const bool in_end = qualifies && l <= orb_limit;
    const double next = current + 1.0;
    double lo = 0.0;
    double hi = 0.0;
    if (!std::isnan(exact)) {
        // The orb falls to zero at the exact moment: where it is one degree on either side, by
        // its straight course from each end of the step.
        lo = in_start ? current : std::max(current, exact - (exact - current) / e);
        hi = in_end ? next : std::min(next, exact + (next - exact) / l);
    } else if (in_start && in_end) {
        lo = current;
        hi = next;
    } else if (in_start) {
        lo = current;
        hi = current + std::clamp((orb_limit - e) / (l - e), 0.0, 1.0);
    } else if (in_end) {
        lo = current + std::clamp((e - orb_limit) / (e - l), 0.0, 1.0);
        hi = next;
    } else {
        return;
    }

    OpenStretch& open = open_stretches_[static_cast<std::size_t>(a)];
    if (!std::isnan(open.from) && lo <= open.to) {
        open.to = std::max(open.to, hi);
        return;
    }
    if (!std::isnan(open.from)) add_stretch(a, open);
    open = OpenStretch{lo, hi};
}

void PairScan::close_stretches() {
    for (int a = 0; a <= last_aspect_index; ++a) {
        OpenStretch& open = open_stretches_[static_cast<std::size_t>(a)];
        if (!std::isnan(open.from)) add_stretch(a, open);
        open.from = std::nan("");
    }
    const bool near_miss_listed = near_miss_state_ == " from " && near_miss_aspect_ >= 0;
    const auto shown = [&](const OrbStretch& s) {
        return exact_aspects_[static_cast<std::size_t>(s.aspect)] || (near_miss_listed && s.aspect == near_miss_aspect_);
    };
    auto& stretches = result_.stretches;
    stretches.erase(std::remove_if(stretches.begin(), stretches.end(), [&](const OrbStretch& s) { return !shown(s); }),
                    stretches.end());
}

void PairScan::add_stretch(int a, const OpenStretch& s) {
    result_.stretches.push_back(OrbStretch{p1_num, a, p2_num, in.plan.calendar_time(s.from), in.plan.calendar_time(s.to)});
}

void cut_stretches(std::vector<OrbStretch>& stretches, std::size_t first, double limit) {
    const auto begin = stretches.begin() + static_cast<std::ptrdiff_t>(first);
    stretches.erase(std::remove_if(begin, stretches.end(), [&](const OrbStretch& s) { return s.from_jd >= limit; }),
                    stretches.end());
    for (auto it = begin; it != stretches.end(); ++it) it->to_jd = std::min(it->to_jd, limit);
}

}  // namespace tavrolin
