#pragma once
// HCM Chapter 18, Section 4: the pedestrian method of an urban street segment, for the sidewalk on
// one side of one segment. From the sidewalk, the adjacent roadway and the pedestrian delays it
// computes the effective width, flow per unit width, walking speed, pedestrian space, travel
// speed, the link LOS score with its letter, a crossing score, the segment LOS score and the
// segment LOS (the worse of the score-based and the space-based letter).
//
//   PedestrianAnalysis r = analyze(PedestrianSegment{});              // all defaults
//   std::string out = analyze_pedestrian_segment(R"({"ped_flow_rate": 600})");
//
// No input is refused for its range: degenerate inputs (no effective width, a zero walking speed,
// a zero length) give infinite or not-a-number results, written to JSON as null.
#include <array>
#include <string>
#include <string_view>

#include "hcm/common/common.hpp"
#include "json/record_fwd.hpp"

namespace hcm::urban_segments::pedestrian {

using common::LevelOfService;

struct PedestrianSegment {
    double length_ft = 1320.0;                      // L
    double num_through_lanes = 2.0;                 // N, in the direction of travel
    double midseg_flow_rate = 0.0;                  // v_m (veh/h), in that direction
    double ped_flow_rate = 0.0;                     // v_ped (p/h) on the sidewalk
    double prop_parking_occupied = 0.0;             // p_pk
    double width_sidewalk_ft = 5.0;                 // W_T, total walkway width
    double width_buffer_ft = 0.0;                   // W_buf, between roadway and walkway
    double fixed_object_width_inside_ft = 0.0;      // W_O,i (curb side)
    double fixed_object_width_outside_ft = 0.0;     // W_O,o (building side)
    double prop_window = 0.0;                       // p_window, outside edge along window displays
    double prop_building = 0.0;                     // p_building, along building faces
    double prop_fence = 0.0;                        // p_fence, along fences
    bool continuous_barrier = false;                // in the buffer
    double width_outside_lane_ft = 12.0;            // W_ol
    double width_bike_lane_ft = 0.0;                // W_bl
    double width_outside_shoulder_ft = 0.0;         // W_os, paved
    double width_parking_lane_ft = 0.0;             // W_pl
    bool curb_present = false;
    double motor_running_speed = 30.0;              // S_R (mi/h)
    double free_flow_walk_speed = 4.4;              // S_pf (ft/s)
    double ped_delay_parallel = 0.0;                // d_pp (s), at the boundary intersection
    double ped_delay_crossing_signal = 0.0;         // d_sig (s), signal-controlled crossing
    double ped_delay_crossing_uncontrolled = 0.0;   // d_unc (s), uncontrolled midblock crossing
    double ped_los_score_intersection = 0.0;        // I_int of the boundary intersection
    double dist_nearest_crossing_ft = 0.0;          // D_c; zero or less stands for L/3
    double prop_midblock_crossing = 0.35;           // p_mx, weight of the crossing score
};

struct PedestrianAnalysis {
    double effective_sidewalk_width = 0.0;  // W_E (ft)
    double flow_per_width = 0.0;            // v_p (p/ft/min)
    double walking_speed = 0.0;             // S_p (ft/s)
    double pedestrian_space = 0.0;          // A_p (ft2/p)
    double travel_speed = 0.0;              // S_T (ft/s)
    double f_w = 0.0;                       // cross-section adjustment factor
    double f_v = 0.0;                       // motorized-vehicle volume adjustment factor
    double f_s = 0.0;                       // motorized-vehicle speed adjustment factor
    double link_score = 0.0;                // I_link
    LevelOfService link_los = LevelOfService::A;
    double crossing_score = 0.0;            // I_x
    double segment_score = 0.0;             // I_seg
    LevelOfService segment_los = LevelOfService::A;
};

const jsonio::Record<PedestrianSegment>& json_record(jsonio::Tag<PedestrianSegment>);
const jsonio::Record<PedestrianAnalysis>& json_record(jsonio::Tag<PedestrianAnalysis>);

// Crossing-delay score table: (delay s, score) in ascending delay, interpolated linearly.
inline constexpr std::array<double, 7> CROSSING_DELAY_S = {0.0, 10.0, 20.0, 30.0, 40.0, 60.0, 70.0};
inline constexpr std::array<double, 7> CROSSING_DELAY_SCORE = {0.0, 1.5, 2.5, 3.5, 4.5, 5.5, 6.0};

// Step 1: W_E = max(W_T - W_O,i - W_O,o - W_s,i - W_s,o, 0), ft, with the shy distances
// W_s,i = max(W_buf, 1.5) and W_s,o = 3.0 p_window + 2.0 p_building + 1.5 p_fence.
double effective_sidewalk_width(const PedestrianSegment& s);
// Step 2: v_p = v_ped / (60 W_E), p/ft/min; +inf when W_E is not above 0, whatever the flow.
double flow_per_unit_width(double ped_flow_p_h, double effective_width_ft);
// Step 3: S_p = max(S_pf (1 - 0.00078 v_p^2), 0.5 S_pf), ft/s.
double walking_speed(double free_flow_walk_speed_ft_s, double flow_per_width);
// Step 4: A_p = 60 S_p / v_p, ft2/p; +inf when v_p is not above 0 (no pedestrians).
double pedestrian_space(double walking_speed_ft_s, double flow_per_width);

// Step 6: the link LOS score I_link = 6.0468 + F_w + F_v + F_s and its factors.
struct LinkScore {
    double f_w = 0.0;
    double f_v = 0.0;
    double f_s = 0.0;
    double score = 0.0;
};
LinkScore link_score(const PedestrianSegment& s);

// Score of a crossing delay d (s) by the crossing-delay table: 6.0 from 70 s up; a negative delay
// extends the first interval (0.15 d); not a number for a delay that is not a number.
double crossing_delay_score(double delay_s);
// Step 8: I_x = min(T(d_1), T(d_unc), 6.0), where d_1 = d_sig + 0.084 x 2D / S_p is the delay via
// the signal-controlled crossing D ft away (D = D_c, or L/3 when D_c is not above 0). Not a number
// when either delay's score is.
double crossing_score(const PedestrianSegment& s, double walking_speed_ft_s);
// Step 9: I_seg = cbrt((t_w I_b^3 + d_pp I_int^3) / (t_w + d_pp)) with the blended link score
// I_b = (1 - p_mx) I_link + p_mx I_x and the walking time t_w (s).
double segment_score(const PedestrianSegment& s, double walking_time_s, double link_score, double crossing_score);
// Step 10, space test: A above 60 ft2/p, B above 40, C above 24, D above 15, E above 8, else F.
LevelOfService space_los(double pedestrian_space_ft2_p);

// Steps 1 to 10.
PedestrianAnalysis analyze(const PedestrianSegment& s);

// Reads a PedestrianSegment (object or array form), analyses it and returns the result as compact
// JSON. Throws hcm::Error "invalid pedestrian config: {reader message}".
std::string analyze_pedestrian_segment(std::string_view config_json);

}  // namespace hcm::urban_segments::pedestrian
