#pragma once
// HCM Chapter 11 planning-level reliability and the Chapter 37 capacity factors that feed a
// freeway reliability study (for example as the `caf` of a work zone of its scenario generation).
#include <cstdint>

namespace hcm::freeway_reliability::reliability {

// The Chapter 11 planning-level measures of a facility.
struct PlanningReliability {
    double tti_mean = 1.0;  // mean travel time index
    double tti_95 = 1.0;    // 95th percentile travel time index
    double pt_45 = 0.0;     // share of trips slower than 45 mi/h
};

// Equations 11-1 through 11-5 from the free-flow and peak-hour speeds (mi/h), the directional
// lanes and the peak-hour volume-to-capacity ratio. Non-finite inputs flow through the formulas.
PlanningReliability planning_reliability(double ffs, double peak_speed, std::uint32_t lanes, double vc_ratio);

// Chapter 37 shoulder or median lane opened to traffic: the segment CAF 1 + c_shoulder /
// (c_mixed N_mixed) (Equation 37-1), exactly 1 without a mixed-flow capacity or lane.
double shoulder_lane_caf(double shoulder_capacity_veh_h_ln, double mixed_flow_capacity_veh_h_ln,
                         std::uint32_t mixed_flow_lanes);

// Chapter 37 default capacity of a shoulder or median lane open to all traffic: half a
// mixed-flow lane's capacity.
double shoulder_lane_default_capacity_veh_h_ln(double mixed_flow_capacity_veh_h_ln);

// Chapter 37 capacity adjustment factor of a freeway merge segment while ramp metering operates.
inline constexpr double RAMP_METERED_MERGE_CAF = 1.03;

}  // namespace hcm::freeway_reliability::reliability
