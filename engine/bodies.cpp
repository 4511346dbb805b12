#include "engine/bodies.h"

#include <cmath>

namespace tavrolin {

int sign_number(double longitude) {
    return static_cast<int>(std::floor(longitude / 30.0)) + 1;
}

std::string sign_abbrev(double longitude) {
    const int k = sign_number(longitude);
    if (k < 1 || k > 12) return std::string();
    return std::string(sign_abbrevs.substr(static_cast<std::size_t>(3 * k - 3), 3));
}

}  // namespace tavrolin
