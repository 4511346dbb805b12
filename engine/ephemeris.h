// Every position the program uses comes from these six procedures: one library call each, with
// flags chosen by the "Use ET" and "Apparent pos.?" ticks. The body index becomes the library's
// body number here and nowhere else.
#pragma once

#include <map>
#include <string>

#include "engine/swe_api.h"

namespace tavrolin {

inline constexpr int SEFLG_SWIEPH_ = 2;
inline constexpr int SEFLG_HELCTR_ = 8;
inline constexpr int SEFLG_TRUEPOS_ = 16;
inline constexpr int SEFLG_SPEED_ = 256;
inline constexpr int SEFLG_EQUATORIAL_ = 2048;
inline constexpr int SEFLG_SIDEREAL_ = 65536;
inline constexpr int SE_SIDM_LAHIRI_ = 1;

class Ephemeris {
public:
    explicit Ephemeris(SweApi& api) : api_(api) {}

    // Tick values of "Use ET" (1 = the Julian day is Universal Time and is converted to Ephemeris
    // Time) and "Apparent pos.?" (not 0 = apparent positions, 0 = true positions).
    void set_options(int use_et, int apparent_pos) {
        use_et_ = use_et;
        apparent_pos_ = apparent_pos;
    }

    double Get_1_Planet_geo(double givenJD, int p_num);
    double Get_1_Planet_geo_SIDEREAL(double givenJD, int p_num);
    double Get_1_Planet_decl(double givenJD, int p_num);
    double Get_1_Planet_helio(double givenJD, int p_num);
    double Get_1_Planet_helio_SIDEREAL(double givenJD, int p_num);
    double Get_1_Planet_latitude(double givenJD, int p_num);

    // Speed belonging to the value of the latest call, degrees per day.
    double last_speed() const { return last_speed_; }

    // The library's first error message per body index since the last clear: a position that the
    // library could not compute (a missing file, a date outside the files) is still returned, and
    // callers that must not report it look here.
    const std::map<int, std::string>& errors() const { return errors_; }
    bool failed(int p_num) const { return errors_.count(p_num) != 0; }
    void clear_errors() { errors_.clear(); }
    void forget_error(int p_num) { errors_.erase(p_num); }
    // Number of calls that reported an error since construction: comparing two readings tells
    // a caller whether any position in between was not computed, at no cost per call.
    long long error_count() const { return error_count_; }

    // Number of library position calls made through this object (for benchmarks).
    long long calls() const { return calls_; }

    SweApi& api() { return api_; }

private:
    double call(double givenJD, int p_num, int extra_flags, int element);

    SweApi& api_;
    int use_et_ = 1;
    int apparent_pos_ = 1;
    double last_speed_ = 0.0;
    long long calls_ = 0;
    long long error_count_ = 0;
    std::map<int, std::string> errors_;
};

}  // namespace tavrolin
