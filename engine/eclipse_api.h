// The library's eclipse search behind an interface, so that the event finder can be tested
// without data files.
#pragma once

namespace tavrolin {

enum class EclipseType {
    none,
    total_solar,
    annular_solar,
    hybrid_solar,
    partial_solar,
    total_lunar,
    partial_lunar,
    penumbral_lunar
};

struct EclipseFound {
    int rc = 0;        // negative: the library failed, message in serr
    double jd = 0.0;   // greatest eclipse, Universal Time
    EclipseType type = EclipseType::none;
    double magnitude = 0.0;  // solar: at the place of greatest eclipse; lunar: umbral
    char serr[256] = {0};
};

class EclipseApi {
public:
    virtual ~EclipseApi() = default;
    // The first solar or lunar eclipse after start_ut (Universal Time).
    virtual EclipseFound next_solar(double start_ut) = 0;
    virtual EclipseFound next_lunar(double start_ut) = 0;
};

// The real library: swe_sol_eclipse_when_glob and swe_sol_eclipse_where, swe_lun_eclipse_when
// and swe_lun_eclipse_how.
class LibSweEclipses final : public EclipseApi {
public:
    EclipseFound next_solar(double start_ut) override;
    EclipseFound next_lunar(double start_ut) override;
};

}  // namespace tavrolin
