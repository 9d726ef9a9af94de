#pragma once
// HCM Chapter 19 pedestrian methods at a signalized intersection: the crosswalk's pedestrian
// delay, LOS score and LOS (Section 5, Steps 1 to 3), and the delay of a two-stage crossing of
// one leg (Equations 19-78 through 19-88). Both stand alone: JSON in, JSON or a number out.
#include <string>
#include <string_view>

#include "hcm/common/common.hpp"

namespace hcm::signalized::pedestrian {

using common::LevelOfService;

// One crosswalk. Flows veh/h, times s, speed mi/h.
struct PedestrianIntersection {
    double cycle_length_s = 0.0;
    double walk_setting_s = 7.0;
    double lanes_crossed = 2.0;              // traffic lanes crossed in the crosswalk
    double v_rtor = 0.0;                     // right-turn-on-red flow turning across the crosswalk
    double v_lt_perm = 0.0;                  // permitted left-turn flow turning across it
    double num_rtci = 0.0;                   // right-turn channelizing islands along it
    double crossed_street_volume_sum = 0.0;  // all movements of the street crossed
    double crossed_street_lanes = 2.0;       // through lanes of the street crossed
    double speed_85_mph = 0.0;               // 85th-percentile speed on the street crossed
};

struct PedestrianIntersectionAnalysis {
    double effective_walk_s = 0.0;  // g_walk
    double delay = 0.0;             // d_p, s/p
    double n15_per_lane = 0.0;      // vehicles per lane in 15 minutes on the street crossed
    double f_w = 0.0;               // cross-section factor
    double f_v = 0.0;               // motorized-vehicle volume factor
    double f_s = 0.0;               // motorized-vehicle speed factor
    double f_delay = 0.0;           // pedestrian delay factor
    double los_score = 0.0;         // I_p,int
    LevelOfService los = LevelOfService::A;
};

// Step 1: effective walk time, the walk setting plus 4 s of the flashing don't-walk.
double calculate_effective_walk_time(double walk_setting_s);
// Step 2: pedestrian delay (C - g_walk)^2 / 2C; 0 without a positive cycle.
double calculate_pedestrian_delay(double cycle_length_s, double effective_walk_s);
// Vehicles per lane on the street crossed during 15 minutes; 0 without lanes.
double calculate_n15_per_lane(double volume_sum, double lanes);
// Step 3: the pedestrian LOS score and its factors.
double calculate_cross_section_factor(double lanes_crossed);
double calculate_volume_factor(double v_rtor, double v_lt_perm, double num_rtci, double n15);
double calculate_speed_factor(double speed_85_mph, double n15);
double calculate_delay_factor(double delay);

PedestrianIntersectionAnalysis analyze(const PedestrianIntersection& crosswalk);

// Reads the JSON crosswalk, analyses it and returns the compact JSON result; a JSON failure
// throws hcm::Error "invalid pedestrian config: {parser message}".
std::string analyze_signalized_pedestrian(std::string_view config_json);

// One two-stage crossing: both crosswalks share the cycle; the pedestrian walks
// `first_stage_distance_ft` between them. Times s, distance ft, speed ft/s.
struct TwoStageCrossing {
    double cycle_length_s = 0.0;
    double walk_setting_x_s = 5.0;  // first stage
    double walk_setting_y_s = 5.0;  // second stage
    double first_stage_distance_ft = 0.0;
    double walk_speed_fps = 3.5;
    double walk_start_x_s = 0.0;  // start of each walk interval within the cycle
    double walk_start_y_s = 0.0;
};

// Average delay (s/p) of the two-stage crossing: the wait at the first crosswalk plus the wait at
// the refuge for the second walk. A cycle length of 0 gives NaN.
double two_stage_crossing_delay(const TwoStageCrossing& crossing);

// Reads the JSON crossing and returns its delay; a JSON failure throws hcm::Error
// "invalid two-stage config: {parser message}".
double signalized_two_stage_crossing_delay(std::string_view config_json);

}  // namespace hcm::signalized::pedestrian
