#pragma once
// Unit conversions shared by the chapters.
namespace base::units {

inline constexpr double FT_PER_MI = 5280.0;
inline constexpr double SECONDS_PER_HOUR = 3600.0;
inline constexpr double SECONDS_PER_MINUTE = 60.0;

}  // namespace base::units
