#include "engine/ephemeris.h"

#include <algorithm>
#include <cstring>

#include "engine/bodies.h"
#include "engine/position_grid.h"

namespace tavrolin {

std::string error_text(const char* serr) {
    return serr[0] ? std::string(serr) : std::string("the ephemeris reported an error");
}

LibraryResult Ephemeris::compute(double givenJD, int p_num, int extra_flags) {
    const double delta_t = api_.deltat(givenJD);
    const double t = use_et_ == 1 ? givenJD + delta_t : givenJD;
    char serr[256];
    std::memset(serr, 0, sizeof serr);
    int flags = SEFLG_SWIEPH_ + SEFLG_SPEED_ + extra_flags;
    if (apparent_pos_ == 0) flags += SEFLG_TRUEPOS_;
    double xx[7] = {0, 0, 0, 0, 0, 0, 0};
    ++calls_;
    LibraryResult result;
    result.rc = api_.calc(t, body_number(p_num), flags, xx, serr);
    std::copy(xx, xx + 6, result.xx.begin());
    if (result.rc < 0) {
        serr[sizeof serr - 1] = '\0';
        result.message = error_text(serr);
    }
    return result;
}

void Ephemeris::note_error(int p_num, const std::string& message) {
    if (errors_.emplace(p_num, message).second) error_order_.push_back(p_num);
}

void Ephemeris::forget_error(int p_num) {
    errors_.erase(p_num);
    error_order_.erase(std::remove(error_order_.begin(), error_order_.end(), p_num), error_order_.end());
}

double Ephemeris::deliver(int p_num, double value, double speed, bool failed, const std::string& message) {
    if (failed) {
        ++error_count_;
        note_error(p_num, message);
    }
    last_speed_ = speed;
    return value;
}

double Ephemeris::call(double givenJD, int p_num, int extra_flags, int element) {
    if (grid_ != nullptr) {
        if (const GridEntry* e = grid_->find(givenJD, p_num, extra_flags, element))
            return deliver(p_num, e->value, e->speed, e->failed, e->failed ? grid_->failure(e) : std::string());
    }
    if (shared_grid_ != nullptr) {
        if (const GridEntry* e = shared_grid_->find_or_fill(givenJD, p_num, extra_flags, element, *this))
            return deliver(p_num, e->value, e->speed, e->failed, e->failed ? shared_grid_->failure(e) : std::string());
    }
    const auto el = static_cast<std::size_t>(element);
    if (keep_recent_) {
        for (int i = 0; i < recent_count_; ++i) {
            const RecentCall& r = recent_[static_cast<std::size_t>(i)];
            if (r.jd == givenJD && r.p_num == p_num && r.extra_flags == extra_flags)
                return deliver(p_num, r.result.xx[el], r.result.xx[el + 3], r.result.rc < 0, r.result.message);
        }
    }
    LibraryResult result = compute(givenJD, p_num, extra_flags);
    const double value = deliver(p_num, result.xx[el], result.xx[el + 3], result.rc < 0, result.message);
    if (keep_recent_) {
        RecentCall& slot = recent_[static_cast<std::size_t>(recent_next_)];
        slot.jd = givenJD;
        slot.p_num = p_num;
        slot.extra_flags = extra_flags;
        slot.result = std::move(result);
        recent_next_ = (recent_next_ + 1) % recent_capacity;
        recent_count_ = std::min(recent_count_ + 1, recent_capacity);
    }
    return value;
}

double Ephemeris::Get_1_Planet_geo(double givenJD, int p_num) { return call(givenJD, p_num, 0, 0); }

double Ephemeris::Get_1_Planet_geo_SIDEREAL(double givenJD, int p_num) {
    api_.set_sid_mode(SE_SIDM_LAHIRI_, 0, 0);
    return call(givenJD, p_num, SEFLG_SIDEREAL_, 0);
}

double Ephemeris::Get_1_Planet_decl(double givenJD, int p_num) { return call(givenJD, p_num, SEFLG_EQUATORIAL_, 1); }

double Ephemeris::Get_1_Planet_helio(double givenJD, int p_num) { return call(givenJD, p_num, SEFLG_HELCTR_, 0); }

double Ephemeris::Get_1_Planet_helio_SIDEREAL(double givenJD, int p_num) {
    api_.set_sid_mode(SE_SIDM_LAHIRI_, 0, 0);
    return call(givenJD, p_num, SEFLG_HELCTR_ + SEFLG_SIDEREAL_, 0);
}

double Ephemeris::Get_1_Planet_latitude(double givenJD, int p_num) { return call(givenJD, p_num, SEFLG_HELCTR_, 1); }

}  // namespace tavrolin
