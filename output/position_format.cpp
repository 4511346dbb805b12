#include "output/position_format.h"

#include <cmath>

#include "engine/bodies.h"
#include "engine/text_rules.h"

namespace tavrolin {

std::string PrintSignDataSeconds(double longitude) {
    long long d = static_cast<long long>(std::floor(longitude));
    const double mr = (longitude - static_cast<double>(d)) * 60.0;
    long long m = static_cast<long long>(std::floor(mr));
    long long s = round_half_even((mr - static_cast<double>(m)) * 60.0);
    if (s >= 60) {
        s -= 60;
        ++m;
    }
    if (m >= 60) {
        m -= 60;
        ++d;
    }
    d = ((d % 360) + 360) % 360;
    const int k = static_cast<int>(d / 30) + 1;
    const std::string sign(sign_abbrevs.substr(static_cast<std::size_t>(3 * k - 3), 3));
    return format_00(static_cast<double>(d % 30)) + " " + sign + " " + format_00(static_cast<double>(m)) + "m " +
           format_00(static_cast<double>(s)) + "s";
}

std::string PrintSignDataMinutes(double longitude) {
    const double minutes_total = std::floor(longitude * 60.0 + 1e-9);
    long long m = static_cast<long long>(minutes_total);
    m = ((m % 21600) + 21600) % 21600;
    const long long d = m / 60;
    const int k = static_cast<int>(d / 30) + 1;
    const std::string sign(sign_abbrevs.substr(static_cast<std::size_t>(3 * k - 3), 3));
    return format_00(static_cast<double>(d % 30)) + " " + sign + " " + format_00(static_cast<double>(m % 60));
}

std::string PrintDecl_Lat(double decl_lat) {
    const double a = std::fabs(decl_lat);
    double d = std::floor(a);
    const double mr = (a - d) * 60.0;
    std::string minutes = format_00(mr);
    if (minutes == "60") {
        minutes = "00";
        d += 1.0;
    }
    return format_00(d) + " " + (decl_lat >= 0 ? "N " : "S ") + minutes;
}

std::string Set_strlen(std::string& c) {
    const std::size_t p = c.find('\0');
    if (p != std::string::npos) c.resize(p);
    return c;
}

}  // namespace tavrolin
