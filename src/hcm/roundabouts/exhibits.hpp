#pragma once
// Coefficients of the HCM Chapter 22 roundabout procedure, grouped by equation.
#include "hcm/roundabouts/roundabouts.hpp"

namespace hcm::roundabouts::exhibits {

// ---- Pedestrian impedance f_ped of an entry (HCM Chapter 22) ----
namespace pedestrian_impedance {
// One-lane entry: no effect above a circulating flow of 881 pc/h; up to 101 p/h the straight line
// min(1 - 0.000137 n_ped, 1), above it
// (1119.5 - 0.715 v_c - 0.644 n_ped + 0.00073 v_c n_ped) / (1068.6 - 0.654 v_c).
inline constexpr double ONE_LANE_CIRCULATING_LIMIT = 881.0;
inline constexpr double ONE_LANE_LINEAR_LIMIT = 101.0;
inline constexpr double ONE_LANE_LINEAR_SLOPE = 0.000137;
inline constexpr double ONE_LANE_CONSTANT = 1119.5;
inline constexpr double ONE_LANE_CIRCULATING = 0.715;
inline constexpr double ONE_LANE_PEDESTRIAN = 0.644;
inline constexpr double ONE_LANE_PRODUCT = 0.00073;
inline constexpr double ONE_LANE_DIVISOR_CONSTANT = 1068.6;
inline constexpr double ONE_LANE_DIVISOR_CIRCULATING = 0.654;
// Two-lane entry: (1260.6 - 0.329 v_c - 0.381 n_ped) / (1380 - 0.5 v_c) from 100 p/h; below it the
// straight line 1 - (n_ped / 100) (1 - (1260.6 - 0.329 v_c - 38.1) / (1380 - 0.5 v_c)) to that value.
inline constexpr double TWO_LANE_LINEAR_LIMIT = 100.0;
inline constexpr double TWO_LANE_CONSTANT = 1260.6;
inline constexpr double TWO_LANE_CIRCULATING = 0.329;
inline constexpr double TWO_LANE_PEDESTRIAN = 0.381;
inline constexpr double TWO_LANE_AT_LINEAR_LIMIT = 38.1;  // 0.381 x 100
inline constexpr double TWO_LANE_DIVISOR_CONSTANT = 1380.0;
inline constexpr double TWO_LANE_DIVISOR_CIRCULATING = 0.5;
}  // namespace pedestrian_impedance

// ---- Capacity of entry lanes and bypass lanes, c = A e^(-B v_c) (pc/h, v_c in pc/h) ----
namespace capacity {
using roundabouts::CapacityModel;
// Entry lanes (Equations 22-1 to 22-5): one-lane entry facing one or two circulating lanes,
// two-lane entry facing one circulating lane, and the left and right lanes of a two-lane entry
// facing two circulating lanes.
inline constexpr CapacityModel ONE_LANE_ONE_CIRCULATING = {1380.0, 0.00102};
inline constexpr CapacityModel ONE_LANE_TWO_CIRCULATING = {1420.0, 0.00085};
inline constexpr CapacityModel TWO_LANE_ONE_CIRCULATING = {1420.0, 0.00091};
inline constexpr CapacityModel TWO_LANE_LEFT = {1350.0, 0.00092};
inline constexpr CapacityModel TWO_LANE_RIGHT = {1420.0, 0.00085};
// Yielding bypass lanes (Equations 22-6 and 22-7), v_c the flow of the exit they merge into.
inline constexpr CapacityModel BYPASS_ONE_EXIT_LANE = {1380.0, 0.00102};
inline constexpr CapacityModel BYPASS_TWO_EXIT_LANES = {1420.0, 0.00085};
}  // namespace capacity

// ---- Lane use of a two-lane entry: default share of the entry flow in the left lane, by lane
// assignment, when the flow is split ----
inline constexpr double DEFAULT_LEFT_SHARE = 0.47;
inline constexpr double DEFAULT_LEFT_SHARE_LEFT_AND_ALL = 0.53;

}  // namespace hcm::roundabouts::exhibits
