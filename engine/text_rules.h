// How the program reads numbers from text and writes numbers as text.
#pragma once

#include <string>
#include <string_view>

namespace tavrolin {

// Leading-number rule: the longest numeric prefix of the text (leading blanks skipped, optional
// sign, digits with at most one decimal point, optional exponent), 0 when there is none. A number
// beyond the range of a double gives the largest double of its sign.
double val(std::string_view text);

// Whether the text is one number and nothing more, blanks around it allowed: the number val reads
// is then the whole of what was written ("5", " -5.5 ", ".5", "1e3"; not "", "-", "0x10", "2e",
// "13/45/2005"). A box that must hold a number refuses any other text instead of reading 0 or a
// part of it.
bool is_number_text(std::string_view text);

// The patterns "0.00" ... "0.000000": at least one digit before the point, exactly `decimals`
// after it, halves rounded away from zero on the decimal value written with 15 significant
// digits (so 2.675 gives "2.68"). decimals = 0 gives a whole number.
std::string format_fixed(double value, int decimals);

// The pattern "00": a whole number (rounded as above) with at least two digits.
std::string format_00(double value);

// The default conversion of a number to text: at most 15 significant digits, no leading blank,
// no trailing zeros, exponent form ("1.5E-05") for very small or very large magnitudes.
std::string number_to_text(double value);

// Round to the nearest integer, halves to the even neighbour (the default real-to-integer rule).
long long round_half_even(double value);

}  // namespace tavrolin
