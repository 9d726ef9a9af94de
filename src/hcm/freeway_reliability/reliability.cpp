#include "hcm/freeway_reliability/reliability.hpp"

#include <algorithm>
#include <cmath>

namespace hcm::freeway_reliability::reliability {
namespace {

// Equation 11-3: incident delay rate, X^12 (0.020 - 0.003 (N - 2)) with the lanes clamped to 2..4.
constexpr std::uint32_t IDR_MIN_LANES = 2;
constexpr std::uint32_t IDR_MAX_LANES = 4;
constexpr double IDR_BASE = 0.02;
constexpr double IDR_PER_LANE = 0.003;
// Equation 11-4: TTI_95 = 1 + 3.67 ln(TTI_mean).
constexpr double TTI_95_SLOPE = 3.67;
// Equation 11-5: PT_45 = 1 - exp(-1.5115 (TTI_mean - 1)).
constexpr double PT_45_RATE = 1.5115;

constexpr double SHOULDER_LANE_CAPACITY_SHARE = 0.5;

double incident_delay_rate(std::uint32_t lanes, double vc_ratio) {
    const double x = std::isnan(vc_ratio) ? 1.0 : std::min(vc_ratio, 1.0);
    const std::uint32_t n = std::clamp(lanes, IDR_MIN_LANES, IDR_MAX_LANES);
    const double x2 = x * x;
    const double x4 = x2 * x2;
    const double x8 = x4 * x4;
    return x4 * x8 * (IDR_BASE - IDR_PER_LANE * static_cast<double>(n - IDR_MIN_LANES));
}

}  // namespace

PlanningReliability planning_reliability(double ffs, double peak_speed, std::uint32_t lanes, double vc_ratio) {
    const double idr = incident_delay_rate(lanes, vc_ratio);
    PlanningReliability out;
    out.tti_mean = 1.0 + ffs * ((1.0 / peak_speed - 1.0 / ffs) + idr);
    out.tti_95 = 1.0 + TTI_95_SLOPE * std::log(out.tti_mean);
    out.pt_45 = 1.0 - std::exp(-PT_45_RATE * (out.tti_mean - 1.0));
    return out;
}

double shoulder_lane_caf(double shoulder_capacity_veh_h_ln, double mixed_flow_capacity_veh_h_ln,
                         std::uint32_t mixed_flow_lanes) {
    if (mixed_flow_capacity_veh_h_ln <= 0.0 || mixed_flow_lanes == 0) return 1.0;
    return 1.0 + shoulder_capacity_veh_h_ln / (mixed_flow_capacity_veh_h_ln * static_cast<double>(mixed_flow_lanes));
}

double shoulder_lane_default_capacity_veh_h_ln(double mixed_flow_capacity_veh_h_ln) {
    return mixed_flow_capacity_veh_h_ln * SHOULDER_LANE_CAPACITY_SHARE;
}

}  // namespace hcm::freeway_reliability::reliability
