#pragma once
// Level of service by control delay (s/veh), with the rule every intersection method adds: a
// movement, lane or lane group above capacity is F whatever its delay.
#include <array>

#include "hcm/common/common.hpp"

namespace hcm::common {

// Inclusive upper control-delay bounds of LOS A to E: unsignalized movements and intersections
// (Exhibits 20-2, 21-8 and 22-8) and signalized ones (Exhibit 19-8, also the experienced travel
// time of alternative intersections, Exhibit 23-13).
inline constexpr std::array<double, 5> UNSIGNALIZED_DELAY_LOS_MAX = {10.0, 15.0, 25.0, 35.0, 50.0};
inline constexpr std::array<double, 5> SIGNALIZED_DELAY_LOS_MAX = {10.0, 20.0, 35.0, 55.0, 80.0};

// The LOS of a delay against a table; a delay that is not a number is F.
constexpr LevelOfService los_of_delay(const std::array<double, 5>& table, double delay_s) {
    return los_by_density(table, delay_s);
}

// The LOS of a delay, F when `over_capacity` (v/c above 1).
constexpr LevelOfService los_of_delay(const std::array<double, 5>& table, double delay_s, bool over_capacity) {
    return over_capacity ? LevelOfService::F : los_of_delay(table, delay_s);
}

}  // namespace hcm::common
