#pragma once
// HCM Chapter 24 exhibits and model constants.
#include <array>
#include <cstdint>

#include "hcm/offstreet_pedbike/offstreet_pedbike.hpp"

namespace hcm::offstreet_pedbike::exhibits {

// ---- Exclusive pedestrian facilities ----

// Pedestrian capacity (p/ft/min).
inline constexpr double CAPACITY_WALKWAY_RANDOM = 23.0;
inline constexpr double CAPACITY_WALKWAY_PLATOONED = 18.0;
inline constexpr double CAPACITY_CROSS_FLOW = 17.0;
inline constexpr double CAPACITY_STAIRWAY = 15.0;

// Exhibits 24-1 to 24-3: space (ft2/p) that LOS A to E exceed.
inline constexpr std::array<double, 5> SPACE_WALKWAY_RANDOM = {60.0, 40.0, 24.0, 15.0, 8.0};
inline constexpr std::array<double, 5> SPACE_WALKWAY_PLATOONED = {530.0, 90.0, 40.0, 23.0, 11.0};
inline constexpr std::array<double, 5> SPACE_STAIRWAY = {20.0, 17.0, 12.0, 8.0, 5.0};
// A cross-flow area at or below this space is F; above it the walkway criteria apply.
inline constexpr double SPACE_CROSS_FLOW_F = 13.0;

// Equations 24-2 and 24-3: minutes in the peak 15 minutes and 15-minute periods in the hour.
inline constexpr double PEAK_MINUTES = 15.0;
inline constexpr double PERIODS_PER_HOUR = 4.0;

// ---- Pedestrians on shared-use paths ----

// Exhibit 24-4: weighted events per hour (inclusive) of LOS A to E; a meeting counts half.
inline constexpr std::array<double, 5> PATH_EVENTS_MAX = {38.0, 60.0, 103.0, 144.0, 180.0};
inline constexpr double MEETING_EVENT_WEIGHT = 0.5;

// ---- Off-street bicycle facilities ----

// Look-ahead distance (ft) of each mode: how far ahead a bicyclist checks before passing.
inline constexpr ModeValues LOOK_AHEAD_FT = {100.0, 60.0, 70.0, 100.0, 70.0};
// Mode weights of the three- and four-lane delayed-passing models.
inline constexpr ModeValues DELAY_MODE_WEIGHTS = {0.05, 0.36, 0.12, 0.08, 0.01};

// Numerical integration over the segment: one trapezoid per 0.01 mi, at least one and at most a
// million (a 10,000-mi path; longer inputs keep the cap rather than hold the caller).
inline constexpr double INTEGRATION_STEP_MI = 0.01;
inline constexpr std::uint32_t MAX_INTEGRATION_STEPS = 1'000'000;

// Exhibit 24-14: path widths (ft) below which a path has two and three effective lanes.
inline constexpr double TWO_LANE_WIDTH_BELOW = 11.0;
inline constexpr double THREE_LANE_WIDTH_BELOW = 15.0;

// Equation 24-35: BLOS = 5.446 - 0.00809 E - 15.86 / RW - 0.287 CL - min(0.5 DP, 1.5).
inline constexpr double BLOS_CONSTANT = 5.446;
inline constexpr double BLOS_EVENTS = 0.00809;
inline constexpr double BLOS_WIDTH = 15.86;
inline constexpr double BLOS_CENTERLINE = 0.287;
inline constexpr double BLOS_DELAYED_PASSINGS = 0.5;
inline constexpr double BLOS_DELAYED_PASSINGS_MAX = 1.5;
// Weighted events E = M_T + 10 A_T: an active passing weighs ten meetings.
inline constexpr double ACTIVE_PASSING_WEIGHT = 10.0;

// Scores that LOS A to E exceed.
inline constexpr std::array<double, 5> BLOS_MIN = {4.0, 3.5, 3.0, 2.5, 2.0};

// Low-volume adjustment: weighted events per minute at or below which the letter is A, and B at
// worst.
inline constexpr double LOW_VOLUME_A_EVENTS = 5.0;
inline constexpr double LOW_VOLUME_B_EVENTS = 10.0;

}  // namespace hcm::offstreet_pedbike::exhibits
