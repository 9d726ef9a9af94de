#pragma once
// Coefficients of the HCM Chapter 14 merge and diverge segments (ramp-freeway junctions), grouped
// by the step and equation they come from.

namespace hcm::merge_diverge::exhibits {

// ---- Default lane lengths when absent (ft) ------------------------------------------------------
inline constexpr double DEFAULT_ACCEL_LENGTH = 800.0;
inline constexpr double DEFAULT_DECEL_LENGTH = 400.0;
inline constexpr double MAX_EFFECTIVE_LANE_LENGTH = 1500.0;  // two-lane ramps: min(2 L1 + L2, 1500)

// ---- Five-lane sections: flow in the lanes beyond four, v_F >= threshold -> share of v_F ------
struct FlowBeyondFour {
    double min_flow;
    double share;
};
inline constexpr double MERGE_FIXED_BEYOND_FOUR_FLOW = 8500.0;  // at or above: a fixed 2500 pc/h
inline constexpr double MERGE_FIXED_BEYOND_FOUR = 2500.0;
inline constexpr FlowBeyondFour MERGE_BEYOND_FOUR[] = {{7500.0, 0.285}, {6500.0, 0.27}, {5500.0, 0.24}, {0.0, 0.22}};
inline constexpr FlowBeyondFour DIVERGE_BEYOND_FOUR[] = {{7000.0, 0.20}, {5500.0, 0.15}, {4000.0, 0.10}};

// ---- P_FM, share of the approaching freeway flow in lanes 1 and 2 at a merge ------------------
inline constexpr double PFM_TWO_LANE_RAMP_N3 = 0.555;
inline constexpr double PFM_TWO_LANE_RAMP_OTHER = 0.209;
// isolated ramp on three lanes
inline constexpr double PFM3_ISOLATED_CONST = 0.5775, PFM3_ISOLATED_LA = 0.000028;
// upstream off-ramp on three lanes, with its equilibrium-distance test
inline constexpr double PFM3_UP_CONST = 0.7289, PFM3_UP_FLOW = 0.0000135, PFM3_UP_SFR = 0.003296, PFM3_UP_LUP = 0.000063;
inline constexpr double LEQ_UP_FLOW = 0.214, LEQ_UP_LA = 0.444, LEQ_UP_SFR = 52.32, LEQ_UP_CONST = 2403.0;
// downstream off-ramp on three lanes, with its equilibrium-distance test
inline constexpr double PFM3_DOWN_CONST = 0.5487, PFM3_DOWN_RATIO = 0.2628;
inline constexpr double LEQ_DOWN_CONST = 0.1096, LEQ_DOWN_LA = 0.000107;
// four lanes
inline constexpr double PFM4_CONST = 0.2178, PFM4_VR = 0.000125, PFM4_LA_SFR = 0.01115;
inline constexpr double PFM4_MAX_VF_OVER_SFR = 72.0;

// ---- P_FD, share of the approaching freeway flow in lanes 1 and 2 at a diverge ----------------
inline constexpr double PFD_TWO_LANE_RAMP_N3 = 0.450;
inline constexpr double PFD_TWO_LANE_RAMP_OTHER = 0.260;
inline constexpr double PFD3_ISOLATED_CONST = 0.760, PFD3_ISOLATED_VF = 0.000025, PFD3_ISOLATED_VR = 0.000046;
// upstream on-ramp on three lanes
inline constexpr double PFD3_UP_MAX_RATIO = 0.2;
inline constexpr double LEQ_DUP_CONST = 0.071, LEQ_DUP_VF = 0.000023, LEQ_DUP_VR = 0.000076;
inline constexpr double PFD3_UP_CONST = 0.717, PFD3_UP_VF = 0.000039, PFD3_UP_RATIO = 0.604;
// downstream off-ramp on three lanes
inline constexpr double LEQ_DDOWN_CONST = 1.15, LEQ_DDOWN_VF = 0.000032, LEQ_DDOWN_VR = 0.000369;
inline constexpr double PFD3_DOWN_CONST = 0.616, PFD3_DOWN_VF = 0.000021, PFD3_DOWN_RATIO = 0.124;
inline constexpr double PFD4 = 0.436;

// ---- Left-side ramps: v12 multipliers -----------------------------------------------------------
inline constexpr double LEFT_MERGE_N3 = 1.12, LEFT_MERGE_N4 = 1.20;
inline constexpr double LEFT_DIVERGE_N3 = 1.05, LEFT_DIVERGE_N4 = 1.10;

// ---- Outer-lane checks (reasonableness of v12) --------------------------------------------------
inline constexpr double MAX_OUTER_LANE_FLOW = 2700.0;
inline constexpr double OUTER_TO_V12_RATIO = 1.5;  // v_OA must not exceed 1.5 x v12 / 2
inline constexpr double N4_OUTER_FLOW_OFFSET = 5400.0, N4_SHARE_DIVISOR = 2.5;
inline constexpr double N3_OUTER_FLOW_OFFSET = 2700.0, N3_SHARE_DIVISOR = 1.75;

// ---- Capacities ---------------------------------------------------------------------------------
inline constexpr double MAX_DESIRABLE_VR12_MERGE = 4600.0;
inline constexpr double MAX_DESIRABLE_V12_DIVERGE = 4400.0;
// Freeway capacity per lane at the junction by FFS: 2400 pc/h/ln from 70 mi/h, 2350 from 65, 2300
// from 60, else 2250.
inline constexpr double FREEWAY_FFS_70 = 70.0, FREEWAY_CAPACITY_70 = 2400.0;
inline constexpr double FREEWAY_FFS_65 = 65.0, FREEWAY_CAPACITY_65 = 2350.0;
inline constexpr double FREEWAY_FFS_60 = 60.0, FREEWAY_CAPACITY_60 = 2300.0;
inline constexpr double FREEWAY_CAPACITY_BELOW_60 = 2250.0;
// Ramp roadway capacity per lane by ramp FFS: 2200 pc/h/ln above 50 mi/h, 2100 above 40, 2000
// above 30, 1900 from 20, else 1800.
inline constexpr double RAMP_FFS_50 = 50.0, RAMP_CAPACITY_ABOVE_50 = 2200.0;
inline constexpr double RAMP_FFS_40 = 40.0, RAMP_CAPACITY_ABOVE_40 = 2100.0;
inline constexpr double RAMP_FFS_30 = 30.0, RAMP_CAPACITY_ABOVE_30 = 2000.0;
inline constexpr double RAMP_FFS_20 = 20.0, RAMP_CAPACITY_FROM_20 = 1900.0;
inline constexpr double RAMP_CAPACITY_BELOW_20 = 1800.0;

// ---- Ramp influence-area density ----------------------------------------------------------------
inline constexpr double DR_MERGE_CONST = 5.475, DR_MERGE_VR = 0.00734, DR_MERGE_V12 = 0.0078, DR_MERGE_LA = 0.00627;
inline constexpr double DR_DIVERGE_CONST = 4.252, DR_DIVERGE_V12 = 0.0086, DR_DIVERGE_LD = 0.009;
inline constexpr double DR_MAJOR_DIVERGE = 0.0175;

// ---- Speeds: ramp influence area (M_S, D_S) and outer lanes ------------------------------------
inline constexpr double SPEED_FLOOR = 42.0;  // S_R = FFS - (FFS - 42) M
// M_S = 0.321 + 0.0039 e^(v_R12 / 1000) - 0.002 (L_A S_FR / 1000), v_R12 capped at 4,600 pc/h: the
// flow and the product L_A S_FR enter in thousands.
inline constexpr double MS_CONST = 0.321, MS_EXP = 0.0039, MS_VR12_CAP = 4600.0, MS_LA_SFR = 0.002;
inline constexpr double MS_VR12_SCALE = 1000.0, MS_LA_SFR_SCALE = 1000.0;
inline constexpr double DS_CONST = 0.883, DS_VR = 0.00009, DS_SFR = 0.013;
inline constexpr double SO_MERGE_LOW = 500.0, SO_MERGE_HIGH = 2300.0;
inline constexpr double SO_MERGE_SLOPE1 = 0.0036, SO_MERGE_DROP_AT_HIGH = 6.53, SO_MERGE_SLOPE2 = 0.006;
inline constexpr double SO_DIVERGE_FACTOR = 1.097, SO_DIVERGE_LOW = 1000.0, SO_DIVERGE_SLOPE = 0.0039;

// ---- Edition 7.1: ramp speed impedance and capacity density ---------------------------------------
inline constexpr double K_MERGE = 0.00408;
inline constexpr double K_DIVERGE = 0.00014, K_DIVERGE_EXPONENT = 0.536;
inline constexpr double IMPEDANCE_FREE_FLOW_PER_LANE = 500.0;
inline constexpr double CAPACITY_DENSITY = 35.0;  // capacity is reached at 35 pc/mi/ln

}  // namespace hcm::merge_diverge::exhibits
