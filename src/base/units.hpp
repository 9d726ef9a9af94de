#pragma once
// Unit conversions shared by the chapters, and the unbounded value of a delay, density or ratio
// whose divisor is 0.
#include <limits>

namespace base::units {

inline constexpr double FT_PER_MI = 5280.0;
inline constexpr double SECONDS_PER_HOUR = 3600.0;
inline constexpr double SECONDS_PER_MINUTE = 60.0;
inline constexpr double MINUTES_PER_HOUR = 60.0;
inline constexpr double HOURS_PER_YEAR = 8760.0;  // 365 days
// ft/s per mi/h, 5280 / 3600 (the HCM's rounded 1.47 is a coefficient of its own equations).
inline constexpr double FT_S_PER_MI_H = 1.4666666666666666;
inline constexpr double INF = std::numeric_limits<double>::infinity();

}  // namespace base::units
