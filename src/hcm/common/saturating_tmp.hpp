#pragma once
// TEMPORARY until the base layer's saturating conversions land.
#include <cmath>
#include <limits>
namespace base {
template <class U>
U to_unsigned(double x) {
    if (!(x > 0.0)) return 0;
    constexpr double limit = static_cast<double>(std::numeric_limits<U>::max());
    if (x >= limit) return std::numeric_limits<U>::max();
    return static_cast<U>(x);
}
}  // namespace base
