#pragma once
// Minimum and maximum that ignore an operand that is not a number, as the freeway facility method
// and its oversaturated engine take them: the other operand comes back (not a number only when
// both are), and the first operand on a tie. Inline, where std::fmin and std::fmax are calls.
#include <cmath>

namespace base {

inline double min2(double a, double b) { return (b < a || std::isnan(a)) ? b : a; }
inline double max2(double a, double b) { return (b > a || std::isnan(a)) ? b : a; }

}  // namespace base
