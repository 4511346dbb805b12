#include "engine/houses.h"

#include <cmath>
#include <numbers>

#include <swephexp.h>

namespace tavrolin {

namespace {

double normalized(double degrees) {
    const double x = std::fmod(degrees, 360.0);
    return x < 0 ? x + 360.0 : (x >= 360.0 ? 0.0 : x);
}

}  // namespace

std::optional<HouseSystem> house_system_from_letter(char letter) {
    switch (letter) {
        case 'P': case 'p': return HouseSystem::Placidus;
        case 'K': case 'k': return HouseSystem::Koch;
        case 'O': case 'o': return HouseSystem::Porphyry;
        case 'R': case 'r': return HouseSystem::Regiomontanus;
        case 'C': case 'c': return HouseSystem::Campanus;
        case 'E': case 'e': return HouseSystem::Equal;
        case 'W': case 'w': return HouseSystem::WholeSign;
        default: return std::nullopt;
    }
}

std::string_view house_system_name(HouseSystem system) {
    switch (system) {
        case HouseSystem::Placidus: return "Placidus";
        case HouseSystem::Koch: return "Koch";
        case HouseSystem::Porphyry: return "Porphyry";
        case HouseSystem::Regiomontanus: return "Regiomontanus";
        case HouseSystem::Campanus: return "Campanus";
        case HouseSystem::Equal: return "Equal";
        case HouseSystem::WholeSign: return "Whole Sign";
    }
    return "";
}

std::optional<Houses> compute_houses(double jd_ut, double latitude, double longitude, HouseSystem system,
                                     std::string* error) {
    const auto fail = [&](std::string why) -> std::optional<Houses> {
        if (error != nullptr) *error = std::move(why);
        return std::nullopt;
    };
    if (!(std::fabs(latitude) < 90.0))
        return fail("There are no houses at the poles (latitude ±90°): the horizon has no east point there, so "
                    "there is no Ascendant");
    if (!(std::fabs(longitude) <= 180.0)) return fail("The longitude lies outside ±180°");

    double cusps[13] = {0};
    double ascmc[10] = {0};
    double cusp_speed[13] = {0};
    double ascmc_speed[10] = {0};
    char serr[AS_MAXCH] = {0};
    const int ret = swe_houses_ex2(jd_ut, 0, latitude, longitude, static_cast<char>(system), cusps, ascmc,
                                   cusp_speed, ascmc_speed, serr);
    Houses h;
    h.system = system;
    if (ret < 0) {
        // The library gives Porphyry's cusps where Placidus and Koch have none; any other
        // failure is one.
        if (system != HouseSystem::Placidus && system != HouseSystem::Koch)
            return fail(std::string("The houses cannot be computed: ") + serr);
        h.system = HouseSystem::Porphyry;
        h.fell_back = true;
    }
    h.ascendant = normalized(ascmc[SE_ASC]);
    h.mc = normalized(ascmc[SE_MC]);
    for (std::size_t i = 0; i < 12; ++i) h.cusps[i] = normalized(cusps[i + 1]);

    double nutation[6] = {0};
    if (swe_calc_ut(jd_ut, SE_ECL_NUT, 0, nutation, serr) < 0)
        return fail(std::string("The obliquity of the ecliptic cannot be computed: ") + serr);
    h.obliquity = nutation[0];
    return h;
}

double ecliptic_declination(double longitude, double obliquity) {
    const double rad = std::numbers::pi / 180.0;
    return std::asin(std::sin(obliquity * rad) * std::sin(longitude * rad)) / rad;
}

int house_of(double longitude, const std::array<double, 12>& cusps) {
    const double x = normalized(longitude);
    for (std::size_t i = 0; i < 12; ++i) {
        const double width = normalized(cusps[(i + 1) % 12] - cusps[i]);
        if (normalized(x - cusps[i]) < width) return static_cast<int>(i) + 1;
    }
    // Only cusps that all coincide leave every house empty.
    return 1;
}

}  // namespace tavrolin
