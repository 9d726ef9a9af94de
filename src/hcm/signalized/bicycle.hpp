#pragma once
// HCM Chapter 19, Section 6: bicycle mode of one signalized intersection approach: bicycle lane
// capacity, bicycle delay, LOS score and LOS. Stands alone: JSON in, JSON out.
#include <string>
#include <string_view>

#include "hcm/common/common.hpp"

namespace hcm::signalized::bicycle {

using common::LevelOfService;

// One approach's bicycle lane. Flows bicycles/h or veh/h, times s, widths ft.
struct BicycleIntersection {
    double saturation_flow = 2000.0;    // s_b
    double effective_green_s = 0.0;     // g_b
    double cycle_length_s = 0.0;
    double bicycle_flow = 0.0;          // v_b
    double cross_street_width_ft = 0.0; // W_cd, curb to curb
    double total_width_ft = 0.0;        // W_t: outside through lane, bicycle lane and paved shoulder
    double v_left = 0.0;
    double v_through = 0.0;
    double v_right = 0.0;
    double num_through_lanes = 1.0;
};

struct BicycleIntersectionAnalysis {
    double capacity = 0.0;   // c_b, bicycles/h
    double delay = 0.0;      // d_b, s/bicycle
    double f_w = 0.0;        // cross-section factor
    double f_v = 0.0;        // motorized-vehicle volume factor
    double los_score = 0.0;  // I_b,int
    LevelOfService los = LevelOfService::A;
};

// Bicycle lane capacity c_b = s_b g_b / C; 0 without a positive cycle.
double calculate_bicycle_capacity(double saturation_flow, double green_ratio);
// Bicycle delay d_b = 0.5 C (1 - g/C)^2 / (1 - min(v/c, 1) g/C). A bicycle that always has green
// does not wait: 0 when g/C is 1 or more.
double calculate_bicycle_delay(double cycle_length_s, double green_ratio, double flow, double capacity);
double calculate_cross_section_factor(double cross_street_width_ft, double total_width_ft);
double calculate_volume_factor(double v_left, double v_through, double v_right, double through_lanes);

BicycleIntersectionAnalysis analyze(const BicycleIntersection& approach);

// Reads the JSON approach, analyses it and returns the compact JSON result; a JSON failure
// throws hcm::Error "invalid bicycle config: {parser message}".
std::string analyze_signalized_bicycle(std::string_view config_json);

}  // namespace hcm::signalized::bicycle
