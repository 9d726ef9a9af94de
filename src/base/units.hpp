#pragma once
// Unit conversions shared by the chapters, and the unbounded value of a delay, density or ratio
// whose divisor is 0.
#include <limits>

namespace base::units {

inline constexpr double FT_PER_MI = 5280.0;
inline constexpr double SECONDS_PER_HOUR = 3600.0;
inline constexpr double SECONDS_PER_MINUTE = 60.0;
inline constexpr double INF = std::numeric_limits<double>::infinity();

}  // namespace base::units
