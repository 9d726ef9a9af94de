#pragma once
// TEMPORARY until the base layer's saturating conversions land: times rounded half away from
// zero to whole steps, saturated (not a number gives 0).
#include <cmath>
#include <cstdint>
#include <limits>

namespace hcm::urban_segments::steps {

inline std::int64_t round_signed(double x) {
    if (std::isnan(x)) return 0;
    const double r = std::round(x);
    if (r >= 9223372036854775807.0) return std::numeric_limits<std::int64_t>::max();
    if (r <= -9223372036854775808.0) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(r);
}

inline std::uint64_t round_unsigned(double x) {
    if (!(x > 0.0)) return 0;
    const double r = std::round(x);
    if (r >= 18446744073709551615.0) return std::numeric_limits<std::uint64_t>::max();
    return static_cast<std::uint64_t>(r);
}

inline std::uint64_t floor_unsigned(double x) {
    if (!(x > 0.0)) return 0;
    const double r = std::floor(x);
    if (r >= 18446744073709551615.0) return std::numeric_limits<std::uint64_t>::max();
    return static_cast<std::uint64_t>(r);
}

}  // namespace hcm::urban_segments::steps
