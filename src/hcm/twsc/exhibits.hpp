#pragma once
// Coefficients of the HCM Chapter 20 two-way stop-controlled intersection procedure: the critical
// and follow-up headways and their adjustments, the conflicting-flow lane factors, the platoon,
// shared-lane and two-stage capacity coefficients, and the pedestrian-mode coefficients.
#include <array>

namespace hcm::twsc::exhibits {

// ---- Exhibit 20-10: base critical headways t_c,base (s) by through lanes per direction: N = 1, 2, 3,
// other ----
using ByLanes = std::array<double, 4>;
inline constexpr ByLanes TC_MAJOR_LEFT = {4.1, 4.1, 5.3, 5.3};
inline constexpr ByLanes TC_MAJOR_UTURN = {6.4, 6.4, 5.6, 6.4};  // N = 2 with a wide median
inline constexpr double TC_MAJOR_UTURN_NARROW_N2 = 6.9;
inline constexpr ByLanes TC_MINOR_LEFT = {7.1, 7.5, 6.4, 6.4};
inline constexpr ByLanes TC_MINOR_LEFT_STAGE1 = {6.1, 6.5, 7.3, 7.3};
inline constexpr ByLanes TC_MINOR_LEFT_STAGE2 = {6.1, 6.5, 6.7, 6.7};
inline constexpr double TC_MINOR_THROUGH = 6.5;
inline constexpr double TC_MINOR_THROUGH_TWO_STAGE = 5.5;  // either stage
inline constexpr ByLanes TC_MINOR_RIGHT = {6.2, 6.9, 7.1, 7.1};
// Exhibit 20-10 adjustments t_c,HV, t_c,G and t_3,LT: heavy vehicles (N = 1, otherwise), grade per
// percent, three-leg minor left turn.
inline constexpr double TC_HV_ONE_LANE = 1.0;
inline constexpr double TC_HV_MORE_LANES = 2.0;
inline constexpr double TC_GRADE_CROSSING = 0.2;  // minor left and through
inline constexpr double TC_GRADE_RIGHT = 0.1;
inline constexpr double TC_THREE_LEG_LEFT = 0.7;

// ---- Exhibit 20-11: base follow-up headways t_f,base (s), same columns, and t_f,HV ----
inline constexpr ByLanes TF_MAJOR_LEFT = {2.2, 2.2, 3.1, 3.1};
inline constexpr ByLanes TF_MAJOR_UTURN = {2.5, 2.5, 2.3, 2.5};  // N = 2 with a wide median
inline constexpr double TF_MAJOR_UTURN_NARROW_N2 = 3.1;
inline constexpr ByLanes TF_MINOR_LEFT = {3.5, 3.5, 3.8, 3.8};
inline constexpr double TF_MINOR_THROUGH = 4.0;
inline constexpr ByLanes TF_MINOR_RIGHT = {3.3, 3.3, 3.9, 3.9};
inline constexpr double TF_HV_ONE_LANE = 0.9;
inline constexpr double TF_HV_MORE_LANES = 1.0;

// ---- Exhibit 20-12: conflicting flows, major-street lane factors ----
inline constexpr double UTURN_FACTOR_WIDE_STREET = 0.73;  // f_U for N > 2
// Share of the major through flow that conflicts with a minor left turn: 1, 0.5, 0.4 for N = 1, 2, 3+.
inline constexpr double MAJOR_THROUGH_SHARE_TWO_LANES = 0.5, MAJOR_THROUGH_SHARE_MORE_LANES = 0.4;

// ---- Step 5b: platoon-adjusted capacity ----
inline constexpr double PLATOON_FLOW_PER_LANE = 1000.0 * 1.5;  // veh/h per through lane while blocked

// ---- Pedestrian impedance ----
inline constexpr double WALKING_SPEED_FT_S = 3.5;

// ---- Shared-lane p0*: saturation flows of the major through and right turn (veh/h) ----
inline constexpr double SAT_FLOW_THROUGH = 1800.0;
inline constexpr double SAT_FLOW_RIGHT = 1500.0;
// Share of the major through and right flow in the lane beside the left turn: 1, 0.5, 0.33 for
// N = 1, 2, 3+ (p0* and the rank-1 delay to the major through movement).
inline constexpr double INSIDE_LANE_SHARE_TWO_LANES = 0.5, INSIDE_LANE_SHARE_MORE_LANES = 0.33;

// ---- Two-stage gap acceptance: the adjustment alpha of the two-stage capacity ----
inline constexpr double TWO_STAGE_ALPHA_COEFF = 0.32;
inline constexpr double TWO_STAGE_ALPHA_EXP = 1.3;

// ---- Pedestrian mode: platooned crossings (N_p = 8 N_c / W_c; t_cG = t_c + 2 (N_p - 1)) ----
inline constexpr double PLATOON_ROW_WIDTH_FT = 8.0;
inline constexpr double PLATOON_ROW_HEADWAY_S = 2.0;  // added per extra row

// ---- Pedestrian mode: crossing satisfaction, utility coefficients of the daily volume (per
// 1,000 veh/day), the constant, a rapid-flashing beacon, a marked crosswalk, a median refuge, and a
// delayed crossing ----
inline constexpr double U_AADT_PER_1000 = 0.0438;
inline constexpr double U_CONSTANT = 0.9951;
inline constexpr double U_RRFB = 1.9572;
inline constexpr double U_MARKED = 0.9843;
inline constexpr double U_MEDIAN = 1.549;
inline constexpr double U_DELAYED = 1.9043;

// ---- Pedestrian mode: delay interpretation, inclusive upper delay bounds (s) and their texts;
// above the last, the last text ----
inline constexpr std::array<double, 5> INTERPRETATION_DELAY_MAX = {5.0, 10.0, 20.0, 30.0, 45.0};
inline constexpr std::array<const char*, 6> INTERPRETATIONS = {
    "Usually no conflicting traffic",
    "Occasionally some delay due to conflicting traffic",
    "Delay noticeable to pedestrians, but not inconveniencing",
    "Delay noticeable and irritating, increased likelihood of risk taking",
    "Delay approaches tolerance level, risk-taking behavior likely",
    "Delay exceeds tolerance level, high likelihood of pedestrian risk taking"};

// ---- Pedestrian mode: LOS by the share of dissatisfied pedestrians, exclusive upper bounds of A to E ----
inline constexpr std::array<double, 5> LOS_DISSATISFIED_BELOW = {0.05, 0.15, 0.25, 0.33, 0.5};

}  // namespace hcm::twsc::exhibits
