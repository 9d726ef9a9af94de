#pragma once
// Delay to through vehicles from turns into access points (driveways and unsignalized
// intersection approaches) between the boundary intersections of an urban street segment:
// the HCM Chapter 30, Section 4 per-approach model (left turns blocking the inside lane, right
// turns decelerating in the outside lane) and the Chapter 18 planning estimate of Exhibit 18-13.
#include <cstdint>
#include <optional>

#include "json/record_fwd.hpp"

namespace hcm::urban_segments::access_point_delay {

// One access-point approach as the segment's traffic sees it.
struct AccessPointApproach {
    double v_lt = 0.0;                 // veh/h turning left into the access point
    double v_th = 0.0;                 // veh/h through
    double v_rt = 0.0;                 // veh/h turning right into the access point
    std::uint32_t n_sl = 0;            // shared left-turn lanes
    std::uint32_t n_t = 0;             // through lanes
    std::uint32_t n_sr = 0;            // shared right-turn lanes
    double opposing_flow_veh_h = 0.0;  // flow the left turns must cross
    bool left_turn_bay = false;
    bool right_turn_bay = false;
    std::uint32_t n_lt_lanes = 0;      // left-turn bay lanes
    double left_bay_storage_ft = 0.0;  // per bay lane
    double pct_heavy_veh = 0.0;        // percent

    friend bool operator==(const AccessPointApproach&, const AccessPointApproach&) = default;
};

// The through delay one approach causes (s/veh) and the chance that its left-turn queue blocks
// the inside lane.
struct AccessPointDelay {
    double delay_left_s = 0.0;              // d_ap,l
    double delay_right_s = 0.0;             // d_ap,r
    double delay_total_s = 0.0;             // d_ap
    double prob_inside_lane_blocked = 0.0;  // p_ov

    friend bool operator==(const AccessPointDelay&, const AccessPointDelay&) = default;
};

const jsonio::Record<AccessPointApproach>& json_record(jsonio::Tag<AccessPointApproach>);
const jsonio::Record<AccessPointDelay>& json_record(jsonio::Tag<AccessPointDelay>);

// Lane distribution of an approach's flow: shares of left turns in the inside lane and of right
// turns in the outside lane, and the flows (veh/h) of the inside, outside and each middle lane.
struct LaneSplit {
    double p_l = 0.0;
    double p_r = 0.0;
    double q_l = 0.0;
    double q_r = 0.0;
    double q_m = 0.0;  // equal to q_r with fewer than three lanes
};

// Lane choice of turning and through drivers on a multilane approach, given the left-turn
// equivalent e, the calibration term cf of the inside-lane share and the lane-choice weight w.
LaneSplit lane_split(const AccessPointApproach& approach, double e, double cf, double w);

// Delay of one approach by the per-approach model. `speed_mph` is the running speed that the
// right-turn deceleration model uses; `analysis_period_h` the period T of the queue delays.
AccessPointDelay approach_delay(const AccessPointApproach& approach, double speed_mph, double analysis_period_h);

// Inputs of the Exhibit 18-13 planning estimate.
struct PlanningEstimateInputs {
    double access_points = 0.0;  // influential access points N_a
    double pct_left_turns = 10.0;
    double pct_right_turns = 10.0;
    bool left_bay_adequate = false;
    bool right_bay_adequate = false;
    std::uint32_t through_lanes = 1;
    double flow_veh_h = 0.0;  // midsegment through flow
};

// d_ap = N_a x f_bay x f_turn x (Exhibit 18-13 delay per access point), s/veh.
double planning_estimate_delay(const PlanningEstimateInputs& in);

}  // namespace hcm::urban_segments::access_point_delay
