// The Ascendant, the MC and the twelve house cusps of a moment and a place, from libswe's
// swe_houses_ex2. The houses need no ephemeris files, so they are computed directly rather than
// through the SweApi double.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace tavrolin {

// Each system by libswe's letter, which is also the letter of the settings and the batch option.
enum class HouseSystem : char {
    Placidus = 'P',
    Koch = 'K',
    Porphyry = 'O',
    Regiomontanus = 'R',
    Campanus = 'C',
    Equal = 'E',
    WholeSign = 'W',
};
inline constexpr HouseSystem default_house_system = HouseSystem::Placidus;

// The system of a letter (either case); nothing for another letter.
std::optional<HouseSystem> house_system_from_letter(char letter);
// "Placidus", "Koch", "Porphyry", "Regiomontanus", "Campanus", "Equal", "Whole Sign".
std::string_view house_system_name(HouseSystem system);

struct Houses {
    HouseSystem system = default_house_system;  // the system the cusps are of
    bool fell_back = false;  // Placidus or Koch asked beyond a polar circle: Porphyry was used
    double ascendant = 0.0;
    double mc = 0.0;
    std::array<double, 12> cusps{};  // of houses 1 to 12, in degrees 0 <= x < 360
    double obliquity = 0.0;          // the true obliquity of the ecliptic at the moment
};

// The houses at Universal Time jd_ut for a place (degrees, north and east positive). Beyond the
// polar circles Placidus and Koch have no cusps; Porphyry's are given and fell_back says so. At
// the poles there is no Ascendant: nothing, with `error` saying why.
std::optional<Houses> compute_houses(double jd_ut, double latitude, double longitude, HouseSystem system,
                                     std::string* error = nullptr);

// The declination of the point of the ecliptic at `longitude` (latitude 0), for the parallels of
// the angles.
double ecliptic_declination(double longitude, double obliquity);

// The house (1 to 12) that holds `longitude`: a house runs from its cusp up to the next one's,
// across 0° Aries where the cusps do.
int house_of(double longitude, const std::array<double, 12>& cusps);

}  // namespace tavrolin
