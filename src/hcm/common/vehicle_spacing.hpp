#pragma once
// The average spacing of a queued vehicle (HCM Chapter 31), with which queue storage ratios,
// detector occupancies and access-point queues turn vehicles into feet.

namespace hcm::common {

inline constexpr double QUEUED_CAR_SPACING_FT = 25.0;
inline constexpr double QUEUED_HEAVY_SPACING_PER_PCT_FT = 0.45;  // 45 ft per heavy vehicle, per percent

// 25 (1 - 0.01 P_HV) + 0.45 P_HV ft with P_HV percent heavy vehicles.
constexpr double queued_vehicle_spacing_ft(double pct_heavy_vehicles) {
    return QUEUED_CAR_SPACING_FT * (1.0 - 0.01 * pct_heavy_vehicles) +
           QUEUED_HEAVY_SPACING_PER_PCT_FT * pct_heavy_vehicles;
}

}  // namespace hcm::common
