#pragma once
// Coefficients of the HCM Chapter 21 all-way stop-controlled intersection procedure: the
// saturation headways by degree-of-conflict case and geometry group, their adjustments and the
// move-up times.
#include <array>

namespace hcm::awsc::exhibits {

// Departure headway every lane starts the iteration from (s).
inline constexpr double INITIAL_HEADWAY_S = 3.2;
// Probability adjustment factor alpha of the degree-of-conflict cases.
inline constexpr double PROBABILITY_ADJUSTMENT = 0.01;
inline constexpr int CASES = 5;

// Saturation headways (s) of the five degree-of-conflict cases for groups G1 to G4b, which do
// not depend on how many lanes are occupied.
inline constexpr std::array<std::array<double, CASES>, 6> SATURATION_HEADWAY_BY_CASE = {{
    {3.9, 4.7, 5.8, 7.0, 9.6},   // G1
    {3.9, 4.7, 5.8, 7.0, 9.6},   // G2
    {4.0, 4.8, 5.9, 7.1, 9.7},   // G3a
    {4.3, 5.1, 6.2, 7.4, 10.0},  // G3b
    {4.0, 4.8, 5.9, 7.1, 9.7},   // G4a
    {4.5, 5.3, 6.4, 7.6, 10.2},  // G4b
}};

// Saturation headways (s) of groups G5 and G6 by case and by the number k of occupied lanes
// (columns k = 0 to 6, the last for 6 or more). A case cannot occur with fewer occupied lanes
// than its first listed count (case 2 and 3 need one, case 4 two, case 5 three): those cells
// repeat the first listed value and are never read.
using ByOccupiedLanes = std::array<double, 7>;
inline constexpr int MAX_K_COLUMN = 6;
inline constexpr std::array<ByOccupiedLanes, CASES> SATURATION_HEADWAY_G5 = {{
    {4.5, 4.5, 4.5, 4.5, 4.5, 4.5, 4.5},
    {5.0, 5.0, 6.2, 6.2, 6.2, 6.2, 6.2},
    {6.4, 6.4, 7.2, 7.2, 7.2, 7.2, 7.2},
    {7.6, 7.6, 7.6, 7.8, 9.0, 9.0, 9.0},
    {9.7, 9.7, 9.7, 9.7, 9.7, 10.0, 11.5},
}};
inline constexpr std::array<ByOccupiedLanes, CASES> SATURATION_HEADWAY_G6 = {{
    {4.5, 4.5, 4.5, 4.5, 4.5, 4.5, 4.5},
    {6.0, 6.0, 6.8, 7.4, 7.4, 7.4, 7.4},
    {6.6, 6.6, 7.3, 7.8, 7.8, 7.8, 7.8},
    {8.1, 8.1, 8.1, 8.7, 9.6, 12.3, 12.3},
    {10.0, 10.0, 10.0, 10.0, 11.1, 11.4, 13.3},
}};

// Headway adjustments (s) for turning and heavy vehicles.
struct TurnAdjustments {
    double left, right;
};
inline constexpr TurnAdjustments TURN_ADJUSTMENT_G1_TO_G4 = {0.2, -0.6};
inline constexpr TurnAdjustments TURN_ADJUSTMENT_G5_G6 = {0.5, -0.7};
inline constexpr double HEAVY_VEHICLE_ADJUSTMENT_S = 1.7;

// Move-up time m (s) of Equation 21-29.
inline constexpr double MOVE_UP_TIME_S = 2.0;
inline constexpr double MOVE_UP_TIME_G5_G6_S = 2.3;

}  // namespace hcm::awsc::exhibits
