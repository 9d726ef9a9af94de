#pragma once
// Tables of HCM Chapter 17 (urban street reliability): the demand-variation factors of the
// functional classes, the incident categories with their proportions and clearance times, and
// the crash frequency adjustment factors of wet weather.
#include <array>
#include <cstdint>

#include "base/enum_names.hpp"

namespace hcm::urban_reliability::exhibits {

// The column of the demand-variation tables.
enum class FunctionalClass : std::uint8_t { Expressway, UrbanPrincipalArterial, UrbanMinorArterial };

// Pavement and precipitation state of an hour or an analysis period.
enum class WeatherCondition : std::uint8_t { Dry, Rainfall, WetPavement, Snowfall, SnowPavement };

// Demand variation (Exhibits 17-5 to 17-7 of the defaults): ratio of the hourly demand to the
// AADT share, as hour share x day factor x month factor.
inline constexpr std::array<double, 7> DAY_FACTORS = {0.87, 0.98, 0.98, 1.00, 1.03, 1.15, 0.99};  // Sunday first

inline constexpr std::array<std::array<double, 3>, 12> MONTH_FACTORS = {{
    {0.802, 0.831, 0.881},  // January
    {0.874, 1.021, 0.944},
    {0.936, 1.030, 1.016},
    {0.958, 0.987, 0.844},
    {1.026, 1.012, 1.025},
    {1.068, 1.050, 1.060},
    {1.107, 0.991, 1.150},
    {1.142, 1.054, 1.110},
    {1.088, 1.091, 1.081},
    {1.069, 0.952, 1.036},
    {0.962, 0.992, 0.989},
    {0.933, 0.938, 0.903},  // December
}};

inline constexpr std::array<std::array<double, 3>, 24> WEEKDAY_HOUR_SHARES = {{
    {0.010, 0.010, 0.010}, {0.006, 0.006, 0.006}, {0.004, 0.005, 0.004}, {0.004, 0.005, 0.002},
    {0.007, 0.009, 0.002}, {0.025, 0.030, 0.007}, {0.058, 0.054, 0.023}, {0.077, 0.071, 0.067},
    {0.053, 0.058, 0.066}, {0.037, 0.047, 0.054}, {0.037, 0.046, 0.051}, {0.042, 0.050, 0.056},
    {0.045, 0.053, 0.071}, {0.045, 0.054, 0.066}, {0.057, 0.063, 0.060}, {0.073, 0.069, 0.062},
    {0.087, 0.072, 0.063}, {0.090, 0.077, 0.075}, {0.068, 0.062, 0.070}, {0.049, 0.044, 0.053},
    {0.040, 0.035, 0.044}, {0.037, 0.033, 0.035}, {0.029, 0.026, 0.033}, {0.019, 0.021, 0.019},
}};

inline constexpr std::array<std::array<double, 3>, 24> WEEKEND_HOUR_SHARES = {{
    {0.023, 0.023, 0.028}, {0.015, 0.014, 0.023}, {0.008, 0.010, 0.021}, {0.005, 0.006, 0.008},
    {0.005, 0.006, 0.005}, {0.009, 0.010, 0.005}, {0.016, 0.017, 0.011}, {0.023, 0.024, 0.018},
    {0.036, 0.035, 0.030}, {0.045, 0.046, 0.048}, {0.057, 0.056, 0.054}, {0.066, 0.054, 0.057},
    {0.076, 0.071, 0.074}, {0.073, 0.071, 0.071}, {0.074, 0.072, 0.069}, {0.075, 0.073, 0.067},
    {0.075, 0.073, 0.071}, {0.071, 0.073, 0.068}, {0.063, 0.063, 0.067}, {0.051, 0.052, 0.056},
    {0.043, 0.044, 0.049}, {0.037, 0.038, 0.040}, {0.032, 0.033, 0.035}, {0.023, 0.026, 0.024},
}};

// Demand ratio of a month (1-12; 0 reads as January, above 12 as December), day of the week
// (0 = Sunday; taken mod 7 for the day factor, but only 0 and 6 select the weekend hours) and
// clock hour (mod 24).
double demand_ratio(std::uint32_t month, std::uint32_t day_of_week, std::uint64_t hour, FunctionalClass cls);

// Incident categories: where the incident stands and its type (0 fatal-and-injury crash,
// 1 property-damage-only crash, 2 breakdown, 3 other non-crash incident), with their shares of
// all incidents.
enum class LaneLocation : std::uint8_t { OneLane, TwoLanes, Shoulder };

struct IncidentCategory {
    LaneLocation lane_location;
    std::uint8_t incident_type;
    // Proportions: segment with shoulder, segment without, intersection with, intersection without.
    std::array<double, 4> proportions;
};

inline constexpr std::array<IncidentCategory, 12> INCIDENT_CATEGORIES = {{
    {LaneLocation::OneLane, 0, {0.036, 0.091, 0.037, 0.1}},
    {LaneLocation::OneLane, 1, {0.083, 0.209, 0.061, 0.165}},
    {LaneLocation::TwoLanes, 0, {0.028, 0.028, 0.018, 0.018}},
    {LaneLocation::TwoLanes, 1, {0.03, 0.03, 0.026, 0.026}},
    {LaneLocation::Shoulder, 0, {0.02, 0.0, 0.018, 0.0}},
    {LaneLocation::Shoulder, 1, {0.16, 0.0, 0.15, 0.0}},
    {LaneLocation::OneLane, 2, {0.456, 0.473, 0.486, 0.503}},
    {LaneLocation::OneLane, 3, {0.089, 0.093, 0.086, 0.089}},
    {LaneLocation::TwoLanes, 2, {0.059, 0.059, 0.084, 0.084}},
    {LaneLocation::TwoLanes, 3, {0.017, 0.017, 0.013, 0.013}},
    {LaneLocation::Shoulder, 2, {0.014, 0.0, 0.018, 0.0}},
    {LaneLocation::Shoulder, 3, {0.007, 0.0, 0.003, 0.0}},
}};

// Column of INCIDENT_CATEGORIES[k].proportions.
inline constexpr std::size_t incident_proportion_column(bool at_intersection, bool shoulder_present) {
    return (at_intersection ? 2 : 0) + (shoulder_present ? 0 : 1);
}

// Lanes an incident of each lane location would block (before the "one lane stays open" limit).
inline constexpr std::array<std::uint32_t, 3> LANES_BLOCKED = {1, 2, 0};

// Incident clearance time (min) by type, for dry, rainfall, wet pavement and snow (falling or on
// the pavement).
inline constexpr std::array<std::array<double, 4>, 4> CLEARANCE_TIME_MIN = {{
    {56.4, 42.1, 43.5, 76.7},
    {39.5, 28.6, 29.7, 53.7},
    {10.8, 5.6, 5.7, 14.7},
    {6.7, 2.4, 2.8, 9.1},
}};
// Time to detect, respond to and reach the incident before clearance starts (min).
inline constexpr double RESPONSE_TIME_MIN = 17.0;
inline constexpr double RESPONSE_TIME_SNOW_MIN = 22.4;

double clearance_time_min(std::uint8_t incident_type, WeatherCondition condition);

// Share of all crashes that become an incident: crashes per incident, segments and intersections.
inline constexpr double SEGMENT_CRASHES_PER_INCIDENT = 0.358;
inline constexpr double INTERSECTION_CRASHES_PER_INCIDENT = 0.31;

// Crash frequency adjustment factors: rainfall, wet pavement after rain, snowfall, snow on the pavement.
inline constexpr std::array<double, 4> DEFAULT_CFAF = {2.0, 3.0, 1.5, 2.75};

// Capacity-reduction share of a lane by incident type (0-3), for the segment speed and the
// boundary saturation flow.
inline constexpr std::array<double, 4> INCIDENT_LANE_LOSS = {0.58, 0.42, 0.17, 0.17};

// Weather adjustment of speed and saturation flow: (speed factor, saturation-flow factor) at a
// precipitation rate r (in/h, water equivalent).
struct WeatherFactors {
    double speed;
    double sat_flow;
};
WeatherFactors weather_factors(WeatherCondition condition, double rate_in_h);
// Rainfall: both factors 1 / (0.48 r + 1). Snowfall: speed 1 / (1.4 r + 1), saturation flow
// 1 / (0.39 r + 1). Wet pavement and snow on the pavement: fixed factors.
inline constexpr double RAINFALL_RATE_COEFF = 0.48;
inline constexpr double SNOWFALL_SPEED_RATE_COEFF = 1.4;
inline constexpr double SNOWFALL_SAT_FLOW_RATE_COEFF = 0.39;
inline constexpr double WET_PAVEMENT_FACTOR = 0.95;
inline constexpr double SNOW_PAVEMENT_FACTOR = 0.9;

}  // namespace hcm::urban_reliability::exhibits

namespace base {
template <>
inline constexpr std::array<std::string_view, 3> variant_names<hcm::urban_reliability::exhibits::FunctionalClass> = {
    "Expressway", "UrbanPrincipalArterial", "UrbanMinorArterial"};
template <>
inline constexpr std::array<std::string_view, 5> variant_names<hcm::urban_reliability::exhibits::WeatherCondition> = {
    "Dry", "Rainfall", "WetPavement", "Snowfall", "SnowPavement"};
}  // namespace base
