#include "engine/text_rules.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <system_error>

namespace tavrolin {

namespace {

// The power of ten of the first significant digit of a numeric prefix ("12.5e3": 4, "0.05": -2);
// 0 for a prefix without one. The exponent saturates: only its sign matters to the caller.
long long decimal_exponent(std::string_view prefix) {
    long long power = 0;
    bool seen = false;  // a significant digit
    bool point = false;
    std::size_t i = 0;
    for (; i < prefix.size() && prefix[i] != 'e'; ++i) {
        const char c = prefix[i];
        if (c == '.') {
            point = true;
        } else if (c >= '0' && c <= '9') {
            // Each digit before the point after the first significant one raises the power; each
            // after the point up to and including the first significant one lowers it.
            if (seen && !point) ++power;
            if (!seen && point) --power;
            seen = seen || c != '0';
        }
    }
    if (!seen) return 0;
    long long exponent = 0;
    const bool negative = i + 1 < prefix.size() && prefix[i + 1] == '-';
    for (++i; i < prefix.size(); ++i)
        if (prefix[i] >= '0' && prefix[i] <= '9') exponent = std::min(exponent * 10 + (prefix[i] - '0'), 1000000LL);
    return power + (negative ? -exponent : exponent);
}

}  // namespace

namespace {

// The numeric prefix of the leading-number rule (sign, digits with at most one point, an exponent
// with digits) and where it ends in the text; an empty prefix when the text holds no digits there.
std::string numeric_prefix(std::string_view text, std::size_t* end = nullptr) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    std::string prefix;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) prefix += text[i++];
    bool digits = false;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        prefix += text[i++];
        digits = true;
    }
    if (i < text.size() && text[i] == '.') {
        prefix += text[i++];
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            prefix += text[i++];
            digits = true;
        }
    }
    if (!digits) return {};
    // An exponent counts only when digits follow it ("2e" is just 2).
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) exponent += text[j++];
        bool exp_digits = false;
        while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) {
            exponent += text[j++];
            exp_digits = true;
        }
        if (exp_digits) {
            prefix += exponent;
            i = j;
        }
    }
    if (end != nullptr) *end = i;
    return prefix;
}

}  // namespace

bool is_number_text(std::string_view text) {
    std::size_t end = 0;
    if (numeric_prefix(text, &end).empty()) return false;
    for (; end < text.size(); ++end)
        if (text[end] != ' ' && text[end] != '\t') return false;
    return true;
}

double val(std::string_view text) {
    const std::string prefix = numeric_prefix(text);
    if (prefix.empty()) return 0.0;
    // from_chars ignores the process locale: a decimal point is always ".".
    double v = 0.0;
    const char* first = prefix.c_str();
    if (*first == '+') ++first;
    const std::from_chars_result read = std::from_chars(first, prefix.c_str() + prefix.size(), v);
    // A number too large for a double ("1e400") is the largest one of its sign, so that every
    // bound refuses it instead of taking it for 0; one too small to tell from 0 is 0.
    if (read.ec == std::errc::result_out_of_range) {
        const bool overflow = decimal_exponent(prefix) > 0;
        const double largest = std::numeric_limits<double>::max();
        v = !overflow ? 0.0 : prefix[0] == '-' ? -largest : largest;
    }
    if (!std::isfinite(v)) return 0.0;
    return v;
}

namespace {

// Decimal digits of |value| rounded to `decimals` places, halves away from zero, working on the
// 15-significant-digit decimal text of the value rather than on its binary expansion.
std::string rounded_digits(double value, int decimals, bool& negative) {
    negative = std::signbit(value) && value != 0.0;
    const double magnitude = std::fabs(value);
    if (magnitude == 0.0 || !std::isfinite(magnitude)) return std::string(decimals + 1, '0');

    char buf[64] = {0};
    std::to_chars(buf, buf + sizeof buf - 1, magnitude, std::chars_format::scientific, 14);  // d.dddddddddddddde+XX
    std::string mantissa;
    const char* p = buf;
    for (; *p && *p != 'e'; ++p)
        if (*p != '.') mantissa += *p;
    const int exponent = std::atoi(p + 1);

    // Place the digits: the integer part has exponent + 1 digits (may be <= 0).
    // Build a digit string with `decimals` digits after the point.
    const int int_digits = exponent + 1;
    std::string digits;  // all digits up to and including position `decimals` after the point
    int keep = int_digits + decimals;  // number of mantissa digits kept
    std::string m = mantissa;
    if (int_digits <= 0) m = std::string(static_cast<std::size_t>(-int_digits), '0') + m, keep = decimals;
    const int total_int = int_digits > 0 ? int_digits : 0;
    if (keep < 0) return std::string(decimals + 1, '0');
    if (static_cast<int>(m.size()) < keep + 1) m.append(static_cast<std::size_t>(keep + 1 - static_cast<int>(m.size())), '0');
    digits = m.substr(0, static_cast<std::size_t>(keep));
    const bool round_up = m[static_cast<std::size_t>(keep)] >= '5';
    if (round_up) {
        int k = static_cast<int>(digits.size()) - 1;
        while (k >= 0 && digits[static_cast<std::size_t>(k)] == '9') digits[static_cast<std::size_t>(k--)] = '0';
        if (k >= 0) ++digits[static_cast<std::size_t>(k)];
        else digits.insert(digits.begin(), '1');
    }
    // Ensure at least one integer digit.
    const int int_len = static_cast<int>(digits.size()) - decimals;
    if (int_len <= 0) digits.insert(0, static_cast<std::size_t>(1 - int_len), '0');
    (void)total_int;
    return digits;
}

}  // namespace

std::string format_fixed(double value, int decimals) {
    // A whole number below 10^15 is exactly its own 15-digit value: nothing to round. (The
    // position texts format whole degrees, minutes and seconds by the million.)
    if (std::fabs(value) < 1e15 && std::trunc(value) == value && decimals >= 0) {
        char buf[32];
        const auto end = std::to_chars(buf, buf + sizeof buf, static_cast<long long>(value)).ptr;
        std::string out(buf, end);
        if (decimals > 0) {
            out += '.';
            out.append(static_cast<std::size_t>(decimals), '0');
        }
        return out;
    }
    bool negative = false;
    std::string digits = rounded_digits(value, decimals, negative);
    std::string out;
    const std::size_t int_len = digits.size() - static_cast<std::size_t>(decimals);
    out = digits.substr(0, int_len);
    // Strip leading zeros of the integer part, keeping one.
    std::size_t nz = out.find_first_not_of('0');
    out = nz == std::string::npos ? "0" : out.substr(nz);
    if (decimals > 0) out += "." + digits.substr(int_len);
    if (negative && out.find_first_not_of("0.") != std::string::npos) out.insert(out.begin(), '-');
    return out;
}

std::string format_00(double value) {
    std::string s = format_fixed(value, 0);
    const bool negative = !s.empty() && s[0] == '-';
    if (negative) s.erase(0, 1);
    if (s.size() < 2) s.insert(0, 2 - s.size(), '0');
    return negative ? "-" + s : s;
}

std::string number_to_text(double value) {
    if (value == 0.0 || !std::isfinite(value)) return "0";
    char buf[64] = {0};
    std::to_chars(buf, buf + sizeof buf - 1, value, std::chars_format::general, 15);
    std::string s = buf;
    for (char& c : s)
        if (c == 'e') c = 'E';
    const std::size_t e = s.find('E');
    if (e != std::string::npos) {
        // Keep two exponent digits at least ("1E-05"), as the usual number-to-text does.
        std::string mant = s.substr(0, e);
        std::string exp = s.substr(e + 1);
        const char sign = exp[0];
        std::string edigits = exp.substr(1);
        while (edigits.size() > 2 && edigits[0] == '0') edigits.erase(0, 1);
        s = mant + "E" + sign + edigits;
    }
    return s;
}

long long round_half_even(double value) {
    return static_cast<long long>(std::nearbyint(value));
}

}  // namespace tavrolin
