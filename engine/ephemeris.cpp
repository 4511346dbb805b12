#include "engine/ephemeris.h"

#include <cstring>

#include "engine/bodies.h"

namespace tavrolin {

double Ephemeris::call(double givenJD, int p_num, int extra_flags, int element) {
    const double delta_t = api_.deltat(givenJD);
    const double t = use_et_ == 1 ? givenJD + delta_t : givenJD;
    char serr[256];
    std::memset(serr, 0, sizeof serr);
    int flags = SEFLG_SWIEPH_ + SEFLG_SPEED_ + extra_flags;
    if (apparent_pos_ == 0) flags += SEFLG_TRUEPOS_;
    double xx[7] = {0, 0, 0, 0, 0, 0, 0};
    ++calls_;
    const int rc = api_.calc(t, body_number(p_num), flags, xx, serr);
    if (rc < 0) ++error_count_;
    if (rc < 0 && errors_.count(p_num) == 0) {
        serr[sizeof serr - 1] = '\0';
        errors_[p_num] = serr[0] ? std::string(serr) : std::string("the ephemeris reported an error");
    }
    last_speed_ = xx[element + 3];
    return xx[element];
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
