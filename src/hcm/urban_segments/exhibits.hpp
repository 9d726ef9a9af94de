#pragma once
// Tables of HCM Chapter 18 (urban street segments) and their lookups.
#include <array>
#include <cstdint>

#include "hcm/common/common.hpp"

namespace hcm::urban_segments::exhibits {

using common::LevelOfService;

// Running time: start-up lost time l1 (s) at a signalized boundary and at any other control.
inline constexpr double STARTUP_LOST_TIME_SIGNAL_S = 2.0;
inline constexpr double STARTUP_LOST_TIME_OTHER_S = 2.5;

// Exhibit 18-1: travel-speed thresholds (mi/h) of LOS A to E, one column per base free-flow speed.
inline constexpr std::array<double, 7> EXHIBIT_18_1_BASE_FFS = {55.0, 50.0, 45.0, 40.0, 35.0, 30.0, 25.0};
inline constexpr std::array<std::array<double, 7>, 5> EXHIBIT_18_1_THRESHOLDS = {{
    {44.0, 40.0, 36.0, 32.0, 28.0, 24.0, 20.0},  // A
    {37.0, 34.0, 30.0, 27.0, 23.0, 20.0, 17.0},  // B
    {28.0, 25.0, 23.0, 20.0, 18.0, 15.0, 13.0},  // C
    {22.0, 20.0, 18.0, 16.0, 14.0, 12.0, 10.0},  // D
    {17.0, 15.0, 14.0, 12.0, 11.0, 9.0, 8.0},    // E
}};

// Exhibit 18-1 LOS of a segment (or facility): F when the through v/c exceeds 1, otherwise the
// first letter whose travel-speed threshold, interpolated between the columns at the base
// free-flow speed clamped to 25-55 mi/h, the travel speed strictly exceeds (F for none, and for
// a travel speed that is not a number).
LevelOfService exhibit_18_1_los(bool vc_exceeds_one, double travel_speed_mph, double base_ffs_mph);

// Exhibit 18-13: through delay (s/veh) per influential access point, before the turn-percentage
// and bay factors; rows by through flow per lane (200 to 700 veh/h/ln by 100), columns by 1, 2
// and 3 or more through lanes.
inline constexpr std::array<std::array<double, 3>, 6> EXHIBIT_18_13_DELAY_S = {{
    {0.04, 0.04, 0.05},  // 200 veh/h/ln
    {0.08, 0.08, 0.09},  // 300
    {0.12, 0.15, 0.15},  // 400
    {0.18, 0.25, 0.15},  // 500
    {0.27, 0.41, 0.15},  // 600
    {0.39, 0.72, 0.15},  // 700
}};

// Exhibit 18-13 delay per access point, interpolated linearly between the rows and held at the
// 200 and 700 rows beyond them; `lanes` counts 0 as 1 and 4 or more as 3.
double exhibit_18_13_delay(double flow_per_lane_veh_h_ln, std::uint32_t lanes);

// Platoon ratio R_p of the HCM arrival types 1 to 6 (Chapter 19); any other type gives 1.0.
inline constexpr std::array<double, 6> ARRIVAL_TYPE_PLATOON_RATIO = {0.33, 0.67, 1.00, 1.33, 1.67, 2.00};
double arrival_type_platoon_ratio(std::uint8_t arrival_type);

}  // namespace hcm::urban_segments::exhibits
