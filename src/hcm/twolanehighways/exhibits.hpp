#pragma once
// Coefficient tables of the HCM Chapter 15 two-lane highway method, as published. Rows are the
// vertical alignment classes 1 to 5 (index 0 to 4); a class outside 1 to 5 uses zeros.
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace hcm::twolanehighways::exhibits {

// ---- Segment length limits (mi), by vertical class group and passing type ----
struct LengthLimitRow {
    double min;
    double max;
};
// Columns: passing constrained, passing zone, passing lane.
inline constexpr std::array<LengthLimitRow, 3> LENGTH_LIMITS_CLASS_1_2 = {{{0.25, 3.0}, {0.25, 2.0}, {0.5, 3.0}}};
inline constexpr std::array<LengthLimitRow, 3> LENGTH_LIMITS_CLASS_3 = {{{0.25, 1.1}, {0.25, 1.1}, {0.5, 1.1}}};
inline constexpr std::array<LengthLimitRow, 3> LENGTH_LIMITS_CLASS_4_5 = {{{0.5, 3.0}, {0.5, 2.0}, {0.5, 3.0}}};

// ---- Exhibit 15-11: vertical alignment class from grade and segment length ----
// A grade G >= 0 is class i + 1 for the first threshold t_i with G <= t_i; a downgrade is class
// i + 1 for the first t_i with G >= -t_i. A class that never occurs in a length bin has the
// threshold NEVER (no comparison with NaN holds); a grade past every threshold is `last_class`.
inline constexpr double NEVER = std::numeric_limits<double>::quiet_NaN();

struct VerticalClassRow {
    double max_length;  // mi, upper bound of the length bin (inclusive)
    std::array<double, 4> upgrade;
    std::array<double, 4> downgrade;
    std::int32_t last_class;
};

inline constexpr std::array<VerticalClassRow, 10> VERTICAL_CLASS_BY_LENGTH = {{
    {0.1, {7, NEVER, NEVER, NEVER}, {8, NEVER, NEVER, NEVER}, 2},
    {0.2, {4, 7, NEVER, NEVER}, {5, 8, NEVER, NEVER}, 3},
    {0.3, {3, 5, 7, 9}, {4, 6, 8, 9}, 5},
    {0.4, {2, 4, 6, 7}, {2, 5, 6, 8}, 5},
    {0.5, {2, 4, 5, 6}, {3, 4, 6, 7}, 5},
    {0.6, {2, 3, 5, 6}, {3, 4, 5, 6}, 5},
    {0.7, {2, 3, 4, 6}, {3, 4, 5, 6}, 5},
    {0.8, {2, 3, 4, 5}, {3, NEVER, 4, 6}, 5},
    {0.9, {2, 3, 4, 5}, {3, NEVER, 4, 5}, 5},
    {1.1, {2, 3, 4, 5}, {2, 3, 4, 5}, 5},
}};
// Segments longer than 1.1 mi.
inline constexpr VerticalClassRow VERTICAL_CLASS_LONG = {NEVER, {2, 3, NEVER, 5}, {2, 3, NEVER, 5}, 5};

// ---- Passing-lane capacity (veh/h) by heavy-vehicle percentage band and vertical class ----
// Bands: HV < 5, < 10, < 15, < 20, < 25, and 25 or more; the last column also serves any class
// outside 1 to 4.
inline constexpr std::array<double, 5> PASSING_LANE_HV_BAND_LIMITS = {5, 10, 15, 20, 25};
inline constexpr std::array<std::array<std::int32_t, 5>, 6> PASSING_LANE_CAPACITY = {{
    {1500, 1500, 1500, 1500, 1500},
    {1500, 1500, 1500, 1500, 1400},
    {1400, 1400, 1400, 1300, 1300},
    {1300, 1300, 1300, 1300, 1200},
    {1300, 1300, 1300, 1200, 1100},
    {1100, 1100, 1100, 1100, 1100},
}};
inline constexpr std::int32_t PASSING_CONSTRAINED_OR_ZONE_CAPACITY = 1700;
// Opposing flow rate a passing-constrained segment is analysed with, whatever is given.
inline constexpr double PASSING_CONSTRAINED_OPPOSING_FLOW = 1500.0;

// ---- Step 3: slope coefficient a of the heavy-vehicle adjustment to FFS ----
// a = max(0.0333, a0 + a1 BFFS + a2 L + max(0, a3 + a4 BFFS + a5 L) v_o / 1000)
struct FfsSlopeRow {
    double a0, a1, a2, a3, a4, a5;
};
inline constexpr std::array<FfsSlopeRow, 5> FFS_SLOPE = {{
    {0.0, 0.0, 0.0, 0.0, 0.0, 0.0},
    {-0.45036, 0.00814, 0.01543, 0.01358, 0.0, 0.0},
    {-0.29591, 0.00743, 0.0, 0.01246, 0.0, 0.0},
    {-0.40902, 0.00975, 0.00767, -0.18363, 0.00423, 0.0},
    {-0.3836, 0.01074, 0.01945, -0.69848, 0.01069, 0.127},
}};
inline constexpr double FFS_SLOPE_MIN = 0.0333;
inline constexpr double BFFS_PER_SPEED_LIMIT = 1.14;
inline constexpr double LANE_WIDTH_BASE = 12.0;      // ft
inline constexpr double LANE_WIDTH_FACTOR = 0.6;     // mi/h per ft narrower
inline constexpr double SHOULDER_WIDTH_BASE = 6.0;   // ft
inline constexpr double SHOULDER_WIDTH_FACTOR = 0.7; // mi/h per ft narrower
inline constexpr double ACCESS_POINT_FACTOR = 0.25;  // mi/h per access point/mi
inline constexpr double ACCESS_POINT_MAX = 10.0;     // mi/h
inline constexpr double ACCESS_POINT_DEFAULT = 1.25; // mi/h when the density is not given

// ---- Step 4: average speed coefficients ----
// m = max(b5, b0 + b1 FFS + b2 sqrt(v_o/1000) + max(0, b3) sqrt(L) + max(0, b4) sqrt(HV)),
// b3 = c0 + c1 sqrt(L) + c2 FFS + c3 FFS sqrt(L), b4 = d0 + d1 sqrt(HV) + d2 FFS + d3 FFS sqrt(HV).
struct SpeedSlopeRow {
    double b0, b1, b2, b5, c0, c1, c2, c3, d0, d1, d2, d3;
};
// p = max(f8, f0 + f1 FFS + f2 L + f3 v_o/1000 + f4 sqrt(v_o/1000) + f5 HV + f6 sqrt(HV) + f7 L HV)
struct SpeedPowerRow {
    double f0, f1, f2, f3, f4, f5, f6, f7, f8;
};

inline constexpr std::array<SpeedSlopeRow, 5> SPEED_SLOPE_PC_PZ = {{
    {0.0558, 0.0542, 0.3278, 0, 0.1029, 0, 0, 0, 0, 0, 0, 0},
    {5.728, -0.0809, 0.7404, 3.1155, -13.8036, 0, 0.2446, 0, -1.7765, 0, 0.0392, 0},
    {9.3079, -0.1706, 1.1292, 3.1155, -11.9703, 0, 0.2542, 0, -3.555, 0, 0.0826, 0},
    {9.0115, -0.1994, 1.8252, 3.2685, -12.5113, 0, 0.2656, 0, -5.7775, 0, 0.1373, 0},
    {23.9144, -0.6925, 1.9473, 3.5115, -14.8961, 0, 0.437, 0, -18.291, 2.3875, 0.4494, -0.052},
}};
inline constexpr std::array<SpeedPowerRow, 5> SPEED_POWER_PC_PZ = {{
    {0.67576, 0, 0, 0.1206, -0.35919, 0, 0, 0, 0},
    {0.34524, 0.00591, 0.02031, 0.14911, -0.43784, -0.00296, 0.02956, 0, 0.41622},
    {0.17291, 0.00917, 0.05698, 0.27734, -0.61893, -0.00918, 0.09184, 0, 0.41622},
    {0.67689, 0.00534, -0.13037, 0.25699, -0.68465, -0.00709, 0.07087, 0, 0.3395},
    {1.13262, 0, -0.26367, 0.18811, -0.64304, -0.00867, 0.08675, 0, 0.3059},
}};
inline constexpr std::array<SpeedSlopeRow, 5> SPEED_SLOPE_PL = {{
    {-1.1379, 0.0941, 0, 0, 0, 0.2667, 0, 0, 0, 0.1252, 0, 0},
    {-2.0688, 0.1053, 0, 0, 0, 0.4479, 0, 0, 0, 0.1631, 0, 0},
    {-0.5074, 0.0935, 0, 0, 0, 0, 0, 0, 0, -0.2201, 0, 0.0072},
    {8.0354, -0.086, 0, 4.19, -27.1244, 11.5196, 0.4681, -0.1873, 0, -0.7506, 0, 0.0193},
    {7.2991, -0.3535, 0, 4.87, -45.3391, 17.3749, 1.0587, -0.3729, 3.8457, -0.9112, 0, 0.017},
}};
inline constexpr std::array<SpeedPowerRow, 5> SPEED_POWER_PL = {{
    {0.91793, -0.00557, 0.36862, 0, 0, 0.00611, 0, -0.00419, 0},
    {0.65105, 0, 0.34931, 0, 0, 0.00722, 0, -0.00391, 0},
    {0.40117, 0, 0.68633, 0, 0, 0.0235, 0, -0.02088, 0},
    {1.13282, -0.00798, 0.35425, 0, 0, 0.01521, 0, -0.00987, 0},
    {1.12077, -0.0055, 0.25431, 0, 0, 0.01269, 0, -0.01053, 0},
}};
// Demand flow rate (veh/h) up to which the speed is the free-flow speed, and the same in thousands
// of veh/h, where the speed equations S = FFS - m (v_d / 1000 - 0.1)^p take it.
inline constexpr double SPEED_FREE_FLOW_DEMAND = 100.0;
inline constexpr double SPEED_FREE_FLOW_DEMAND_THOUSANDS = 0.1;
// Flows in the speed, follower and slope equations are in thousands of veh/h.
inline constexpr double FLOW_UNIT_VEH_H = 1000.0;
// Percent followers at capacity and at 25 % of it fix the follower curve.
inline constexpr double QUARTER_CAPACITY_SHARE = 0.25;

// ---- Exhibit 15-22: horizontal alignment class from radius (ft) and superelevation (%) ----
// Radius bands [previous upper, upper): class `below` when e < e_limit, else `at_or_above`.
struct HorizontalClassBand {
    double upper_radius;
    double e_limit;
    std::int32_t below;
    std::int32_t at_or_above;
};
inline constexpr std::array<HorizontalClassBand, 16> HORIZONTAL_CLASS_BANDS = {{
    {300, 0, 5, 5},
    {450, 0, 4, 4},
    {600, 1, 4, 3},
    {750, 6, 3, 2},
    {900, 0, 2, 2},
    {1050, 8, 2, 1},
    {1200, 4, 2, 1},
    {1350, 2, 2, 1},
    {1500, 0, 1, 1},
    {1750, 8, 1, 0},
    {1800, 6, 1, 0},
    {1950, 5, 1, 0},
    {2100, 4, 1, 0},
    {2250, 3, 1, 0},
    {2400, 2, 1, 0},
    {2550, 1, 1, 0},
}};

// ---- Horizontal-curve speed ----
// BFFS_HC = min(BFFS, 44.32 + 0.3728 BFFS - 6.868 HC); FFS_HC = BFFS_HC - 0.0255 HV;
// m_HC = max(0.277, -25.8993 - 0.7756 FFS_HC + 10.6294 sqrt(FFS_HC) + 2.4766 HC - 9.8238 sqrt(HC)).
inline constexpr double CURVE_BFFS_CONST = 44.32;
inline constexpr double CURVE_BFFS_PER_BFFS = 0.3728;
inline constexpr double CURVE_BFFS_PER_CLASS = 6.868;
inline constexpr double CURVE_FFS_PER_HV = 0.0255;
inline constexpr double CURVE_SLOPE_MIN = 0.277;
inline constexpr double CURVE_SLOPE_CONST = -25.8993;
inline constexpr double CURVE_SLOPE_FFS = -0.7756;
inline constexpr double CURVE_SLOPE_SQRT_FFS = 10.6294;
inline constexpr double CURVE_SLOPE_CLASS = 2.4766;
inline constexpr double CURVE_SLOPE_SQRT_CLASS = -9.8238;

// ---- Step 5: percent followers at 25 % of capacity and at capacity ----
// Passing constrained and passing zone: terms 1, L, sqrt(L), FFS, sqrt(FFS), HV, FFS v_o/1000,
// sqrt(v_o/1000). Passing lane: 1, L, sqrt(L), FFS, sqrt(FFS), HV, sqrt(HV), FFS HV.
using FollowerRow = std::array<double, 8>;

inline constexpr std::array<FollowerRow, 5> PF_25CAP_PC_PZ = {{
    {18.0178, 10, -21.6, -0.97853, 12.05214, -0.0075, -0.067, 11.60405},
    {47.83887, 12.8, -28.2, -0.61758, 5.8, -0.0455, -0.03344, 11.35573},
    {125.4, 19.5, -34.9, 0.90672, -16.1, -0.11, -0.062, 14.71136},
    {103.13534, 14.68459, -23.72704, 0.66444, -11.95763, -0.1, 0.00172, 14.70067},
    {89, 19.02642, -34.5424, 0.29792, -6.62528, -0.16, 0.0048, 17.56611},
}};
inline constexpr std::array<FollowerRow, 5> PF_CAP_PC_PZ = {{
    {37.6808, 3.05089, -7.90866, -0.94321, 13.64266, -0.0005, -0.055, 7.13758},
    {58.21104, 5.73387, -13.66293, -0.66126, 9.08575, -0.0095, -0.03602, 7.14619},
    {113.20439, 10.01778, -18.9, 0.46542, -6.75338, -0.03, -0.058, 10.03239},
    {58.29978, -0.53611, 7.35076, -0.27046, 4.4985, -0.011, -0.02968, 8.8968},
    {3.32968, -0.84377, 7.08952, -1.32089, 19.98477, -0.0125, -0.0296, 9.99453},
}};
// Exhibit 15-27 (class 3, c6 = -0.76271 as published).
inline constexpr std::array<FollowerRow, 5> PF_25CAP_PL = {{
    {80.37105, 14.44997, -46.41831, -0.23367, 0.84914, -0.56747, 0.89427, 0.00119},
    {18.37886, 14.71856, -47.78892, -1.43373, 18.3204, -0.13226, 0.77217, -0.00778},
    {239.9893, 15.90683, -46.87525, 2.73582, -42.8813, -0.53746, -0.76271, -0.00428},
    {223.68435, 10.26908, -35.6083, 2.31877, -38.30034, -0.60275, -0.67758, 0.00117},
    {137.37633, 11.00106, -38.89043, 0.78501, -14.88672, -0.72576, -2.49546, 0.00872},
}};
inline constexpr std::array<FollowerRow, 5> PF_CAP_PL = {{
    {61.73075, 6.73922, -23.68853, -0.84126, 11.44533, -1.05124, 1.5039, 0.00491},
    {12.30096, 9.57465, -30.79427, -1.79448, 25.76436, -0.6635, 1.26039, -0.00323},
    {206.07369, -4.29885, 0, 1.96483, -30.32556, -0.75812, 1.06453, -0.00839},
    {263.13428, 5.38749, -19.04859, 2.73018, -42.76919, -1.31277, -0.32242, 0.01412},
    {126.95629, 5.95754, -19.22229, 0.43238, -7.35636, -1.03017, -2.66026, 0.01389},
}};

// Coefficients of m and p of the percent-followers curve, by passing-type family:
// m = d_cap z_cap + d_25 z_25; p = e0 + e_25 z_25 + e_cap z_cap + e_sqrt25 sqrt(z_25) + e_sqrtcap sqrt(z_cap).
struct FollowerCurve {
    double d_cap, d_25, e0, e_25, e_cap, e_sqrt25, e_sqrtcap;
};
inline constexpr FollowerCurve FOLLOWER_CURVE_PC_PZ = {-0.71917, -0.29764, 0.81165, 0.3792,
                                                      -0.49524, -2.11289, 2.41146};
inline constexpr FollowerCurve FOLLOWER_CURVE_PL = {-0.83732, -0.15808, -1.63246, 1.6496, -4.45823, -4.89119, 10.33057};

// ---- Passing lanes: split of the demand between the faster and the slower lane ----
// P_FL = 0.92183 - 0.05022 ln(v_d) - 0.0003 v_HV; speed differential 2.75 + 0.00056 v_d + 3.8521 HV/100.
inline constexpr double FASTER_LANE_SHARE_CONST = 0.92183;
inline constexpr double FASTER_LANE_SHARE_PER_LN_FLOW = 0.05022;
inline constexpr double FASTER_LANE_SHARE_PER_HV_FLOW = 0.0003;
// Follower density at the middle of a passing lane, (v_FL PF_FL / (S_FL + h) + v_SL PF_SL / (S_SL - h)) / 200:
// the two lanes' percents.
inline constexpr double MID_FOLLOWER_DENSITY_DIVISOR = 200.0;
inline constexpr double LANE_SPEED_DIFF_CONST = 2.75;
inline constexpr double LANE_SPEED_DIFF_PER_FLOW = 0.00056;
inline constexpr double LANE_SPEED_DIFF_PER_HV = 3.8521;

// ---- Downstream effect of a passing lane on percent followers and speed ----
// Percent-followers improvement: 27 - 8.75 ln(max(0.1, x)) + a + 3.5 ln(max(0.3, L_PL)) - 0.01 v,
// with a = 0.1 max(0, PF_u - 30). Speed improvement: 3 - 0.8 x + a + 0.75 L_PL - 0.005 v.
inline constexpr double PF_IMPROVEMENT_CONST = 27.0;
inline constexpr double PF_IMPROVEMENT_PER_LN_DISTANCE = 8.75;
inline constexpr double PF_IMPROVEMENT_LIMIT_CONST = 32.0;
inline constexpr double PF_IMPROVEMENT_PER_LN_LENGTH = 3.5;
inline constexpr double PF_IMPROVEMENT_MIN_LENGTH = 0.3;   // mi
inline constexpr double PF_IMPROVEMENT_MIN_DISTANCE = 0.1; // mi
inline constexpr double PF_IMPROVEMENT_UPSTREAM_PF = 30.0; // percent
inline constexpr double PF_IMPROVEMENT_PER_UPSTREAM_PF = 0.1;
inline constexpr double PF_IMPROVEMENT_PER_FLOW = 0.01;
inline constexpr double SPEED_IMPROVEMENT_CONST = 3.0;
inline constexpr double SPEED_IMPROVEMENT_PER_DISTANCE = 0.8;
inline constexpr double SPEED_IMPROVEMENT_PER_LENGTH = 0.75;
inline constexpr double SPEED_IMPROVEMENT_PER_FLOW = 0.005;

// ---- Motorized-vehicle LOS: follower density (followers/mi/ln) upper bounds of A to D ----
inline constexpr double LOS_HIGH_SPEED_LIMIT = 50.0;  // mi/h
inline constexpr std::array<double, 4> LOS_FD_MAX_HIGH_SPEED = {2.0, 4.0, 8.0, 12.0};
inline constexpr std::array<double, 4> LOS_FD_MAX_LOW_SPEED = {2.5, 5.0, 10.0, 15.0};

}  // namespace hcm::twolanehighways::exhibits
