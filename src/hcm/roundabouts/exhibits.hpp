#pragma once
// Coefficients of the HCM Chapter 22 roundabout procedure, grouped by equation.

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
}  // namespace pedestrian_impedance

}  // namespace hcm::roundabouts::exhibits
