#pragma once
// Numbers and values as they appear inside messages.
//
//   num(8.0) == "8", num(0.5) == "0.5", num(1e-7) == "0.0000001", num(NaN) == "NaN", num(-inf) == "-inf"
//   fixed(2.345, 2) == "2.35"  (correctly rounded, like "{:.2}")
//   debug("a\"b") == "\"a\\\"b\""          debug_list({0, 1, 2}) == "[0, 1, 2]"
//   debug_opt(12.0) == "Some(12.0)", debug_opt(std::nullopt) == "None"
//   debug_opt_char("C") == "Some('C')", debug_opt_char(std::nullopt) == "None"
//   shortest_digits(-0.0125) == {"125", point -1, negative}   (-0.0125 = -0.125 x 10^-1)
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace base {

// The shortest decimal digits that read back as a finite value: |value| = 0.d1 d2 ... dn x 10^point.
// Zero has the one digit "0" (point 1). The one source of float digits for messages and JSON text.
struct ShortestDigits {
    std::array<char, 32> digits{};  // '0'-'9', the first `count` (at most 17); the rest is scratch
    int count = 0;
    int point = 0;  // digits before the decimal point (negative: zeros after it)
    bool negative = false;
};

// Requires a finite value (NaN and infinities have no digits).
ShortestDigits shortest_digits(double value);

// Shortest round-trip decimal form, never in exponent notation, no trailing ".0".
std::string num(double value);

// Rounded to `digits` decimals.
std::string fixed(double value, int digits);

// Debug form of a float: shortest round-trip with ".0" on integral values, exponent notation
// below 1e-4 and from 1e16 in magnitude ("12.0", "0.5", "1e-7", "1e16").
std::string debug_num(double value);

// Debug form of a text: in double quotes with backslash escapes.
std::string debug(std::string_view text);

std::string debug_list(const std::vector<std::int64_t>& values);
std::string debug_list(const std::vector<double>& values);
std::string debug_list(const std::vector<std::string>& values);

std::string debug_opt(std::optional<double> value);

// Debug form of an optional character held as a one-character text: in single quotes with
// backslash escapes inside Some(...), or None.
std::string debug_opt_char(const std::optional<std::string>& character);

}  // namespace base
