#pragma once
// HCM Chapter 18, Section 5: the bicycle method of an urban street segment, for the bicycle way on
// one side of one segment. From the roadway cross-section, the motorized traffic, the pavement,
// the access points and the bicycle delay at the boundary intersection it computes the bicycle
// running time and travel speed, the effective width, the link LOS score with its letter, the
// access-point term, the segment LOS score and the segment LOS.
//
//   BicycleAnalysis r = analyze(BicycleSegment{});                   // all defaults
//   std::string out = analyze_bicycle_segment(R"({"midseg_flow_rate": 600})");
//
// No input is refused for its range: degenerate inputs (no through lanes, a zero speed, pavement
// rating or length) give infinite or not-a-number results, written to JSON as null.
#include <string>
#include <string_view>

#include "hcm/common/common.hpp"
#include "json/record_fwd.hpp"

namespace hcm::urban_segments::bicycle {

using common::LevelOfService;

struct BicycleSegment {
    double length_ft = 1320.0;                   // L
    double num_through_lanes = 2.0;              // N, in the direction of travel
    double midseg_flow_rate = 0.0;               // v_m (veh/h), in that direction
    double pct_heavy_vehicles = 0.0;             // P_HV (percent)
    double prop_parking_occupied = 0.0;          // p_pk
    double width_outside_lane_ft = 12.0;         // W_ol
    double width_bike_lane_ft = 0.0;             // W_bl
    double width_outside_shoulder_ft = 0.0;      // W_os, paved
    double width_parking_lane_ft = 0.0;          // W_pl
    bool median_divided = false;                 // W_v then keeps the full outside width
    bool curb_present = false;
    double num_access_points_right = 0.0;        // N_ap, on the right side
    double pavement_condition = 3.5;             // P_c, rating
    double motor_running_speed = 30.0;           // S_R (mi/h)
    double bicycle_running_speed = 15.0;         // S_b (mi/h)
    double bicycle_control_delay = 0.0;          // d_b (s), at the boundary intersection
    double bicycle_los_score_intersection = 0.0; // I_int of the boundary intersection
};

struct BicycleAnalysis {
    double running_time_s = 0.0;   // t_R (s)
    double travel_speed = 0.0;     // S_T (mi/h)
    double effective_width = 0.0;  // W_e (ft)
    double f_w = 0.0;              // cross-section adjustment factor
    double f_v = 0.0;              // motorized-vehicle volume adjustment factor
    double f_s = 0.0;              // motorized-vehicle speed adjustment factor
    double f_p = 0.0;              // pavement condition adjustment factor
    double link_score = 0.0;       // I_link
    LevelOfService link_los = LevelOfService::A;
    double f_c = 0.0;              // access-point term
    double segment_score = 0.0;    // I_seg
    LevelOfService segment_los = LevelOfService::A;
};

const jsonio::Record<BicycleSegment>& json_record(jsonio::Tag<BicycleSegment>);
const jsonio::Record<BicycleAnalysis>& json_record(jsonio::Tag<BicycleAnalysis>);

// Step 1: running time t_R = 3600 L / (5280 S_b), s.
double running_time(const BicycleSegment& s);
// Step 2: effective width W_e, ft. The parking lane counts in the outside width only while no
// parking is occupied; a side width (bicycle lane, shoulder, parking) of 4 ft or more adds to it.
double effective_width(const BicycleSegment& s);

// Step 3: the link LOS score I_link = 0.76 + F_w + F_v + F_s + F_p and its factors.
struct LinkScore {
    double f_w = 0.0;
    double f_v = 0.0;
    double f_s = 0.0;
    double f_p = 0.0;
    double score = 0.0;
};
LinkScore link_score(const BicycleSegment& s, double effective_width_ft);
// The heavy-vehicle term h of F_s: 1 + 0.1038 P_HV, but 6.19 (its value at 50 percent) when the
// flow of other vehicles is below 200 veh/h and the share above 50 percent.
double heavy_vehicle_term(double midseg_flow_veh_h, double pct_heavy_vehicles);
// Step 5: access-point term F_c = 0.035 (5280 N_ap / L - 20).
double access_point_term(const BicycleSegment& s);
// Step 5: I_seg = 0.75 cbrt((t_R (F_c + I_link + 1)^3 + d_b (I_int + 1)^3) / (t_R + d_b)) + 0.125.
double segment_score(const BicycleSegment& s, double running_time_s, double access_point_term, double link_score);

// Steps 1 to 6.
BicycleAnalysis analyze(const BicycleSegment& s);

// Reads a BicycleSegment (object or array form), analyses it and returns the result as compact
// JSON. Throws hcm::Error "invalid bicycle config: {reader message}".
std::string analyze_bicycle_segment(std::string_view config_json);

}  // namespace hcm::urban_segments::bicycle
