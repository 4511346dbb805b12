#include "engine/eclipse_api.h"

#include <swephexp.h>

namespace tavrolin {

EclipseFound LibSweEclipses::next_solar(double start_ut) {
    EclipseFound f;
    double tret[10] = {0};
    f.rc = swe_sol_eclipse_when_glob(start_ut, SEFLG_SWIEPH, 0, tret, 0, f.serr);
    if (f.rc < 0) return f;
    f.jd = tret[0];
    // Hybrid eclipses also carry the total bit, so they are told apart first.
    f.type = (f.rc & SE_ECL_ANNULAR_TOTAL) ? EclipseType::hybrid_solar
             : (f.rc & SE_ECL_TOTAL)       ? EclipseType::total_solar
             : (f.rc & SE_ECL_ANNULAR)     ? EclipseType::annular_solar
                                           : EclipseType::partial_solar;
    double geopos[10] = {0}, attr[20] = {0};
    const int rc = swe_sol_eclipse_where(f.jd, SEFLG_SWIEPH, geopos, attr, f.serr);
    if (rc < 0) f.rc = rc;
    f.magnitude = attr[8];  // the fraction covered for a partial eclipse, the diameter ratio else
    return f;
}

EclipseFound LibSweEclipses::next_lunar(double start_ut) {
    EclipseFound f;
    double tret[10] = {0};
    f.rc = swe_lun_eclipse_when(start_ut, SEFLG_SWIEPH, 0, tret, 0, f.serr);
    if (f.rc < 0) return f;
    f.jd = tret[0];
    f.type = (f.rc & SE_ECL_TOTAL)     ? EclipseType::total_lunar
             : (f.rc & SE_ECL_PARTIAL) ? EclipseType::partial_lunar
                                       : EclipseType::penumbral_lunar;
    double geopos[10] = {0}, attr[20] = {0};
    const int rc = swe_lun_eclipse_how(f.jd, SEFLG_SWIEPH, geopos, attr, f.serr);
    if (rc < 0) f.rc = rc;
    f.magnitude = attr[0];
    return f;
}

}  // namespace tavrolin
