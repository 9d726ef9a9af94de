#pragma once
// Active traffic and demand management (HCM Chapter 37).
#include <cstdint>

namespace hcm::common::atdm {

inline constexpr double DEFAULT_MIN_METERING_RATE_VEH_H_LN = 240.0;
inline constexpr double DEFAULT_MAX_METERING_RATE_VEH_H_LN = 900.0;

// The locally dynamic ramp-metering rate R(t) of the ALINEA strategy (HCM Equation 37-2),
// veh/h/ln: the larger of the downstream spare capacity and the rate that keeps the ramp queue
// within its storage, each per metered lane, bounded by the minimum and maximum rates.
// With no metered lane the maximum rate is returned. Throws hcm::Error when a bound is NaN or
// the minimum exceeds the maximum.
double alinea_metering_rate(std::uint32_t metered_lanes, double downstream_capacity_veh_h,
                            double upstream_volume_veh_h, double ramp_volume_veh_h, double ramp_queue_prev_veh,
                            double ramp_queue_storage_veh, double min_rate_veh_h_ln, double max_rate_veh_h_ln);

}  // namespace hcm::common::atdm
