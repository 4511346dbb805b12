// The few Swiss Ephemeris calls whose results depend on data files, behind an interface so that
// the engine's own logic can be tested with scripted motions.
#pragma once

#include <string>

namespace tavrolin {

class SweApi {
public:
    virtual ~SweApi() = default;
    virtual double deltat(double tjd) = 0;
    // As swe_calc: fills xx[0..5], writes an error text into serr (256 bytes), returns the flags
    // used or a negative value on error.
    virtual int calc(double tjd, int ipl, int iflag, double* xx, char* serr) = 0;
    virtual void set_sid_mode(int sid_mode, double t0, double ayan_t0) = 0;
};

// The real library.
class LibSwe final : public SweApi {
public:
    double deltat(double tjd) override;
    int calc(double tjd, int ipl, int iflag, double* xx, char* serr) override;
    void set_sid_mode(int sid_mode, double t0, double ayan_t0) override;
};

// The library's search path for a program in `program_folder`: the folder itself, its ephe/
// sub-folder, then the system's data; no trailing separator.
std::string ephemeris_path_for(const std::string& program_folder);

// Sets the library's search path (once per thread that calls the library).
void set_ephemeris_path(const std::string& program_folder);

// The library's name of a body number ("Sun", "Eris", ...).
std::string planet_name(int body_number);

}  // namespace tavrolin
