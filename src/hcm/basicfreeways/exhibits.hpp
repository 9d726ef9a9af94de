#pragma once
// Coefficients of the HCM Chapter 12 basic freeway and multilane highway segments, and of the
// Chapter 26 mixed-flow (automobiles and trucks) model, grouped by exhibit, equation or step.
#include <array>

namespace hcm::basicfreeways::exhibits {

// ---- Exhibit 12-20: lane-width adjustment f_LW (mi/h) ----------------------------------------
inline constexpr double FULL_LANE_WIDTH_FT = 12.0;   // no adjustment at or above
inline constexpr double LANE_WIDTH_11_FT = 11.0;
inline constexpr double LANE_WIDTH_10_FT = 10.0;
inline constexpr double LANE_WIDTH_11_FT_ADJ = 1.9;  // 11 ft <= width < 12 ft
inline constexpr double LANE_WIDTH_10_FT_ADJ = 6.6;  // 10 ft <= width < 11 ft

// ---- Exhibit 12-21: right-side lateral clearance adjustment f_RLC (mi/h), basic freeways ----
inline constexpr std::array<double, 7> RIGHT_CLEARANCE_AXIS_FT = {6, 5, 4, 3, 2, 1, 0};
inline constexpr std::array<std::array<double, 7>, 4> RIGHT_CLEARANCE_ADJ = {{
    {0.0, 0.6, 1.2, 1.8, 2.4, 3.0, 3.6},  // 2 lanes
    {0.0, 0.4, 0.8, 1.2, 1.6, 2.0, 2.4},  // 3 lanes
    {0.0, 0.2, 0.4, 0.6, 0.8, 1.0, 1.2},  // 4 lanes
    {0.0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6},  // 5 or more lanes (and any other count)
}};
inline constexpr double MAX_RIGHT_CLEARANCE_FT = 6.0;
// Equation 12-2: ramp-density term 3.22 x TRD^0.84.
inline constexpr double RAMP_DENSITY_COEFF = 3.22;
inline constexpr double RAMP_DENSITY_EXP = 0.84;

// ---- Exhibit 12-22: total lateral clearance adjustment f_LC (mi/h), multilane highways ------
inline constexpr std::array<double, 7> TOTAL_CLEARANCE_AXIS_FT = {12, 10, 8, 6, 4, 2, 0};
inline constexpr std::array<std::array<double, 7>, 2> TOTAL_CLEARANCE_ADJ = {{
    {0.0, 0.4, 0.9, 1.3, 1.8, 3.6, 5.4},  // four-lane highways (fewer than 3 lanes per direction)
    {0.0, 0.4, 0.9, 1.3, 1.7, 2.8, 3.9},  // six-lane highways (3 or more lanes per direction)
}};
inline constexpr double MAX_SIDE_CLEARANCE_FT = 6.0;
// Exhibit 12-23: undivided median adjustment f_M (mi/h).
inline constexpr double UNDIVIDED_MEDIAN_ADJ = 1.6;
// Exhibit 12-24: access-point adjustment f_A = 0.25 mi/h per access point/mi, at most 10 mi/h.
inline constexpr double ACCESS_POINT_ADJ_PER_POINT = 0.25;
inline constexpr double MAX_ACCESS_POINT_ADJ = 10.0;

// ---- Speed-flow curve: breakpoint and exponent ------------------------------------------------
inline constexpr double BASIC_BP_BASE = 1000.0;   // pc/h/ln at FFS 75 mi/h
inline constexpr double BASIC_BP_SLOPE = 40.0;    // pc/h/ln per mi/h below 75
inline constexpr double BP_REFERENCE_FFS = 75.0;
inline constexpr double MULTILANE_BP = 1400.0;
inline constexpr double BASIC_EXPONENT = 2.0;
inline constexpr double MULTILANE_EXPONENT = 1.31;

// ---- Capacity (Equations 12-6 and 12-7) --------------------------------------------------------
inline constexpr double BASIC_CAPACITY_BASE = 2200.0;  // at FFS 50 mi/h
inline constexpr double BASIC_CAPACITY_SLOPE = 10.0;
inline constexpr double BASIC_CAPACITY_REF_FFS = 50.0;
inline constexpr double BASIC_CAPACITY_MAX = 2400.0;
inline constexpr double MULTILANE_CAPACITY_BASE = 1900.0;  // at FFS 45 mi/h
inline constexpr double MULTILANE_CAPACITY_SLOPE = 20.0;
inline constexpr double MULTILANE_CAPACITY_REF_FFS = 45.0;
inline constexpr double MULTILANE_CAPACITY_MAX = 2300.0;
inline constexpr double OTHER_CAPACITY = 2000.0;

// ---- Exhibit 12-25: general-terrain E_T, indexed by Terrain (Level, Rolling, Mountainous) -----
// The exhibit gives level (2.0) and rolling (3.0) terrain only. Mountainous general terrain is taken
// as rolling, as the freeway facility methods take it; the HCM analyses a mountainous segment by its
// specific grades (Exhibits 12-26 to 12-28). The weaving and merge/diverge segments keep their own
// table, pce_table::WEAVING_RAMP_GENERAL_TERRAIN_ET, with 5.0 for mountainous terrain.
inline constexpr std::array<double, 3> BASIC_SEGMENT_GENERAL_TERRAIN_ET = {2.0, 3.0, 3.0};

// ======== Chapter 26 mixed-flow model ========


// Flows in the truck terms are in thousands of veh/h/ln.
inline constexpr double FLOW_UNIT_VEH_H = 1000.0;

// ---- Step 2: capacity adjustment factor CAF_mix = CAF_ao - CAF_T - CAF_g ----
namespace caf {
// Trucks: CAF_T = 0.53 p_T^0.72.
inline constexpr double TRUCK_COEFF = 0.53;
inline constexpr double TRUCK_EXP = 0.72;
// Grade weight rho_g: 8 p_T below a truck share of 0.01, else 0.126 - 0.03 p_T.
inline constexpr double LOW_TRUCK_SHARE = 0.01;
inline constexpr double LOW_TRUCK_SLOPE = 8.0;
inline constexpr double GRADE_WEIGHT_CONSTANT = 0.126;
inline constexpr double GRADE_WEIGHT_SLOPE = 0.03;
// Grade: CAF_g = rho_g max(0.69 (e^(12.9 G) - 1), 0) max(1.72 (1 - 1.71 e^(-3.16 L)), 0).
inline constexpr double GRADE_COEFF = 0.69;
inline constexpr double GRADE_EXP = 12.9;
inline constexpr double LENGTH_COEFF = 1.72;
inline constexpr double LENGTH_SCALE = 1.71;
inline constexpr double LENGTH_EXP = 3.16;
}  // namespace caf

// Step 4: the automobile capacity c_ao is Equation 12-6's, 2200 + 10 (FFS - 50) veh/h/ln.

// ---- Step 5: excess of a truck's rate over the free-flow rate, tau / 100 - 36 / FFS ----
inline constexpr double FREE_FLOW_RATE_PER_100 = 36.0;  // 3600 / 100

// ---- Step 6: breakpoints ----
// Automobiles: BP_ao = (1000 + 40 (75 - FFS)) CAF_ao^2 (veh/h/ln), the basic freeway breakpoint.
// Mixed flow: BP_mix = BP_ao (1 - 0.4 p_T^0.1 (e^(30 G) + 1) (5280 L)^0.01), at least 0.
inline constexpr double MIX_BREAKPOINT_COEFF = 0.4;
inline constexpr double MIX_BREAKPOINT_TRUCK_EXP = 0.1;
inline constexpr double MIX_BREAKPOINT_GRADE_EXP = 30.0;
inline constexpr double MIX_BREAKPOINT_LENGTH_EXP = 0.01;

// ---- Step 7: speeds ----
// Automobile speed above the breakpoint reaches c / 45 at capacity (45 pc/mi/ln, the basic
// freeway density at capacity).
// Congestion delay (3 (1 / CAF_mix - 1) + 1) (t_a - t_ff).
inline constexpr double CONGESTION_DELAY_FACTOR = 3.0;
// Calibration speeds at capacity and at this share of it.
inline constexpr double CALIBRATION_CAPACITY_SHARE = 0.9;

}  // namespace hcm::basicfreeways::exhibits
