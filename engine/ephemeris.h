// Every position the program uses comes from these six procedures: one library call each, with
// flags chosen by the "Use ET" and "Apparent pos.?" ticks. The body index becomes the library's
// body number here and nowhere else.
#pragma once

#include <array>
#include <map>
#include <string>
#include <vector>

#include "engine/swe_api.h"

namespace tavrolin {

class PositionGrid;

inline constexpr int SEFLG_SWIEPH_ = 2;
inline constexpr int SEFLG_HELCTR_ = 8;
inline constexpr int SEFLG_TRUEPOS_ = 16;
inline constexpr int SEFLG_SPEED_ = 256;
inline constexpr int SEFLG_EQUATORIAL_ = 2048;
inline constexpr int SEFLG_SIDEREAL_ = 65536;
inline constexpr int SE_SIDM_LAHIRI_ = 1;

// What one library call delivered: the six elements, its return code and its error text.
struct LibraryResult {
    std::array<double, 6> xx{};
    int rc = 0;
    std::string message;  // empty unless rc < 0
};

class Ephemeris {
public:
    explicit Ephemeris(SweApi& api) : api_(api) {}

    // Tick values of "Use ET" (1 = the Julian day is Universal Time and is converted to Ephemeris
    // Time) and "Apparent pos.?" (not 0 = apparent positions, 0 = true positions).
    void set_options(int use_et, int apparent_pos) {
        if (use_et != use_et_ || apparent_pos != apparent_pos_) recent_count_ = 0;
        use_et_ = use_et;
        apparent_pos_ = apparent_pos;
    }
    int use_et() const { return use_et_; }
    int apparent_pos() const { return apparent_pos_; }

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
    void clear_errors() {
        errors_.clear();
        error_order_.clear();
    }
    void forget_error(int p_num);
    // Number of calls that reported an error since construction: comparing two readings tells
    // a caller whether any position in between was not computed, at no cost per call.
    long long error_count() const { return error_count_; }

    // Bodies in the order of their first error since the last clear.
    const std::vector<int>& error_order() const { return error_order_; }
    // Records an error as a failing call would (the first message of a body is kept).
    void note_error(int p_num, const std::string& message);

    // Number of library position calls made through this object (for benchmarks).
    long long calls() const { return calls_; }

    SweApi& api() { return api_; }

    // One library call as the procedure with these extra flags makes it (delta T, the option
    // flags, the body number), without any of the bookkeeping above.
    LibraryResult compute(double givenJD, int p_num, int extra_flags);

    // Places to answer a call from instead of the library, with the same value, speed and error
    // as the library call would give: the positions of the scan times of a run (nullptr: none),
    // and the last few calls made (repeated by the refinement, whose next pair of points reuses
    // one of the last).
    void use_grid(const PositionGrid* grid) { grid_ = grid; }
    // A grid still being filled (nullptr: none): a call at one of its times for one of its bodies
    // is answered from it, and computed into it first when it is not there yet, so that the
    // grid's own fill later passes over it. Calls are counted as the library calls they make.
    void share_grid(PositionGrid* grid) { shared_grid_ = grid; }
    PositionGrid* shared_grid() const { return shared_grid_; }
    void keep_recent_calls(bool keep) {
        keep_recent_ = keep;
        recent_count_ = 0;
    }

private:
    double call(double givenJD, int p_num, int extra_flags, int element);
    // The bookkeeping of a call that gave `value` and `speed`; failed: the library's message.
    double deliver(int p_num, double value, double speed, bool failed, const std::string& message);

    struct RecentCall {
        double jd = 0.0;
        int p_num = 0;
        int extra_flags = 0;
        LibraryResult result;
    };
    static constexpr int recent_capacity = 8;

    SweApi& api_;
    int use_et_ = 1;
    int apparent_pos_ = 1;
    double last_speed_ = 0.0;
    long long calls_ = 0;
    long long error_count_ = 0;
    std::map<int, std::string> errors_;
    std::vector<int> error_order_;
    const PositionGrid* grid_ = nullptr;
    PositionGrid* shared_grid_ = nullptr;
    bool keep_recent_ = false;
    std::array<RecentCall, recent_capacity> recent_{};
    int recent_count_ = 0;
    int recent_next_ = 0;
};

// The text kept for a failed call: the library's, or a general one when it gave none.
std::string error_text(const char* serr);

}  // namespace tavrolin
