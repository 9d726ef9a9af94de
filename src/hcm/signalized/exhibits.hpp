#pragma once
// Coefficients of the HCM Chapter 19 and Chapter 31 signalized-intersection procedures, grouped by
// the equation or exhibit they come from. The Chapter 19 terms shared with other chapters (the
// saturation-flow factors, the permitted left-turn saturation flow, the delay terms) are the
// signal-delay kernel's.

namespace hcm::signalized::exhibits {

// ---- Actuated phase duration (HCM Chapter 31) ----
namespace actuated {
// Combined headway distribution of a movement: minimum headway Delta (s) of one lane and of two or
// more, and the bunching factor b of 0 or 1, 2, and 3 or more lanes.
inline constexpr double MIN_HEADWAY_ONE_LANE_S = 1.5;
inline constexpr double MIN_HEADWAY_MULTILANE_S = 0.5;
inline constexpr double BUNCHING_ONE_LANE = 0.6;
inline constexpr double BUNCHING_TWO_LANES = 0.5;
inline constexpr double BUNCHING_THREE_LANES = 0.8;
// Maximum allowable headway MAH = PT + (L_d + L_h - 8) / (1.47 S_a): the part of a vehicle's
// length counted in the headway (ft) and the speed unit (ft/s per mi/h).
inline constexpr double DETECTED_LENGTH_OFFSET_FT = 8.0;
inline constexpr double FT_S_PER_MI_H = 1.47;
// MAH of the movement types, in saturation headways h0 added: protected left, exclusive right.
inline constexpr double PROTECTED_LEFT_MAH_H0 = 0.05;
inline constexpr double EXCLUSIVE_RIGHT_MAH_H0 = 0.18;
// MAH of a permitted left, 3600 / s_p + MAH - 2.5: the 2.5 s taken off, and the permitted
// saturation flow that stands in for none (veh/h).
inline constexpr double PERMITTED_LEFT_MAH_OFFSET_S = 2.5;
inline constexpr double MIN_PERMITTED_SAT_FLOW = 0.1;
// Least effective green of a phase's queue service (s), and the equivalent maximum allowable
// headway MAH* of a phase without flow (s).
inline constexpr double MIN_EFFECTIVE_GREEN_S = 0.1;
inline constexpr double NO_FLOW_MAH_STAR_S = 3.0;
// Call probability: the share of the crosswalk flow that pushes the button.
inline constexpr double PED_CALL_SHARE = 0.51;
// Incremental-delay factor k of an actuated phase: its least value as a cubic in the unit extension
// UE, k_min = 0.00889 UE^3 - 0.091 UE^2 + 0.354 UE - 0.375, and the bound of k_min.
inline constexpr double K_MIN_UE3 = 0.00889;
inline constexpr double K_MIN_UE2 = 0.091;
inline constexpr double K_MIN_UE = 0.354;
inline constexpr double K_MIN_CONSTANT = 0.375;
inline constexpr double MIN_K = 0.04;
// k of a pretimed phase, and the upper bound of an actuated one.
inline constexpr double PRETIMED_K = 0.5;
}  // namespace actuated

// ---- Pedestrian and bicycle adjustment factors A_pbT and A_pbL (HCM Chapter 31) ----
namespace ped_bike {
// Pedestrian occupancy of the conflict zone: the flow during the walk and clearance (p/h) at which
// the slope changes and its bound, OCC_pedg = v_pedg / 2000 below, 0.4 + v_pedg / 10000 above, at
// most 0.9.
inline constexpr double PED_FLOW_BREAK_P_H = 1000.0;
inline constexpr double MAX_PED_FLOW_P_H = 5000.0;
inline constexpr double LOW_OCCUPANCY_DIVISOR = 2000.0;
inline constexpr double HIGH_OCCUPANCY_CONSTANT = 0.4;
inline constexpr double HIGH_OCCUPANCY_DIVISOR = 10000.0;
inline constexpr double MAX_PED_OCCUPANCY = 0.9;
// Bicycle occupancy OCC_bicg = 0.02 + v_bicg / 2700, v_bicg at most 1,900 bicycles/h.
inline constexpr double MAX_BIKE_FLOW_H = 1900.0;
inline constexpr double BIKE_OCCUPANCY_CONSTANT = 0.02;
inline constexpr double BIKE_OCCUPANCY_DIVISOR = 2700.0;
// A_pb = 1 - 0.6 OCC_r when the turns have more receiving lanes than turning lanes.
inline constexpr double SPARE_RECEIVING_LANE_SHARE = 0.6;
// Occupancy after the opposing queue clears: the e^(-5 v_o / 3600) of the opposing flow's gaps.
inline constexpr double OPPOSING_FLOW_EXPONENT = 5.0;
}  // namespace ped_bike

// ---- Permitted left turns (HCM Chapter 31) ----
namespace permitted_left {
// The opposing flow that stands in for none (veh/h).
inline constexpr double NO_OPPOSING_FLOW = 0.1;
// Through lanes beside a shared left-through lane with permitted left turns.
inline constexpr double SHARED_LEFT_THROUGH_BLOCKAGE = 0.91;
// Free green of a shared lane before the first left turn arrives,
// g_f = G e^(-a (L C)^b) - t_L: a and b with other lanes on the approach, and with the shared lane
// alone.
inline constexpr double FREE_GREEN_MULTILANE_A = 0.882;
inline constexpr double FREE_GREEN_MULTILANE_B = 0.717;
inline constexpr double FREE_GREEN_SINGLE_LANE_A = 0.860;
inline constexpr double FREE_GREEN_SINGLE_LANE_B = 0.629;
// The count n = 0.278 (g_p - g_u - g_f) of E_L2 = (1 - (1 - P_LTo)^n) / P_LTo, the equivalent of a
// left turn during the service of a single opposing lane shared with left turns.
inline constexpr double E_L2_COUNT_PER_S = 0.278;
// Left-turn share of a shared lane above which its sneakers are taken as n_s P_L (the geometric
// sum's limit, free of its 0/0).
inline constexpr double MAX_GEOMETRIC_LEFT_SHARE = 0.999;
// Shared lane during a protected-permitted left's protected green: s_sh / (1 + 0.05 P_L).
inline constexpr double PROTECTED_SHARED_LEFT_EQUIVALENT = 0.05;
}  // namespace permitted_left

// ---- Back of queue (HCM Chapter 31) ----
namespace back_of_queue {
// The 95th-percentile factor: the normal deviate, the oversaturated term with its exponent of g/C,
// and the factor's bound.
inline constexpr double Z_95 = 1.64;
inline constexpr double OVERSATURATED_QUEUE_TERM = 0.6756375430022228;
inline constexpr double OVERSATURATED_GC_EXPONENT = 0.33;
inline constexpr double MAX_PERCENTILE_FACTOR = 1.8;
}  // namespace back_of_queue

// ---- Pedestrian LOS (HCM Chapter 19) ----
namespace pedestrian {
// Effective walk time: the walk setting plus the part of the flashing don't-walk that
// pedestrians still start on (HCM Chapter 19, Step 1).
inline constexpr double WALK_EXTENSION_S = 4.0;

// Pedestrian LOS score model at a signalized intersection (HCM Chapter 19, Section 5, Step 3).
struct PedestrianScoreModel {
    double cross_section_coeff, cross_section_exp;  // F_w = a N^b
    double constant;                                // added to F_w
    double turning_coeff;                           // per veh/h of turns across the crosswalk
    double island_n15_coeff, island_constant;       // per right-turn channelizing island
    double speed_coeff;                             // F_s per (mi/h x veh/ln)
    double delay_coeff;                             // F_delay per ln(s/p)
};
inline constexpr PedestrianScoreModel SCORE = {0.681, 0.514, 0.5997, 0.00569, 0.0027, 0.1946, 0.00013, 0.0401};
}  // namespace pedestrian

// ---- Bicycle LOS (HCM Chapter 19) ----
namespace bicycle {
// Bicycle LOS score model at a signalized intersection (HCM Chapter 19, Section 6).
struct BicycleScoreModel {
    double cross_street_coeff;  // per ft of cross-street width
    double total_width_coeff;   // per ft of outside lane, bicycle lane and shoulder
    double constant;
    double volume_coeff;        // per veh/h per lane in 15 minutes (the 4 is the quarter hour)
};
inline constexpr BicycleScoreModel SCORE = {0.0153, -0.2144, 4.1324, 0.0066};
}  // namespace bicycle

}  // namespace hcm::signalized::exhibits
