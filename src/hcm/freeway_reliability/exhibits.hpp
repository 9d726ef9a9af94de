#pragma once
// Tables of the HCM Chapter 11 freeway reliability method: the weather and incident adjustment
// factors, the default incident durations and severity shares, and the default demand pattern.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "base/enum_names.hpp"

namespace hcm::freeway_reliability::exhibits {

// ---- Weather (Chapter 11 weather capacity and speed adjustment factors) ---------------------------

// The ten weather types that scenario generation places as events, then the non-severe weather of
// the remaining time (never generated as an event).
enum class WeatherType : std::uint8_t {
    MediumRain,
    HeavyRain,
    LightSnow,
    LightMediumSnow,
    MediumHeavySnow,
    HeavySnow,
    SevereCold,
    LowVisibility,
    VeryLowVisibility,
    MinimalVisibility,
    NonSevere,
};
inline constexpr std::size_t WEATHER_EVENT_TYPES = 10;

// Columns of the weather tables: free-flow speeds 55, 60, 65, 70 and 75 mi/h.
inline constexpr std::array<double, 5> WEATHER_FFS_MI_H = {55.0, 60.0, 65.0, 70.0, 75.0};
using WeatherRow = std::array<double, 5>;

// Capacity adjustment factor of each weather event type by free-flow speed.
inline constexpr std::array<WeatherRow, WEATHER_EVENT_TYPES> WEATHER_CAF = {{
    {0.94, 0.93, 0.92, 0.91, 0.90},  // MediumRain
    {0.89, 0.88, 0.86, 0.84, 0.82},  // HeavyRain
    {0.97, 0.96, 0.96, 0.95, 0.95},  // LightSnow
    {0.95, 0.94, 0.92, 0.90, 0.88},  // LightMediumSnow
    {0.93, 0.91, 0.90, 0.88, 0.87},  // MediumHeavySnow
    {0.80, 0.78, 0.76, 0.74, 0.72},  // HeavySnow
    {0.93, 0.92, 0.92, 0.91, 0.90},  // SevereCold
    {0.90, 0.90, 0.90, 0.90, 0.90},  // LowVisibility
    {0.88, 0.88, 0.88, 0.88, 0.88},  // VeryLowVisibility
    {0.90, 0.90, 0.90, 0.90, 0.90},  // MinimalVisibility
}};

// Speed adjustment factor of each weather event type by free-flow speed.
inline constexpr std::array<WeatherRow, WEATHER_EVENT_TYPES> WEATHER_SAF = {{
    {0.96, 0.95, 0.94, 0.93, 0.93},  // MediumRain
    {0.94, 0.93, 0.93, 0.92, 0.91},  // HeavyRain
    {0.94, 0.92, 0.89, 0.87, 0.84},  // LightSnow
    {0.92, 0.90, 0.88, 0.86, 0.83},  // LightMediumSnow
    {0.90, 0.88, 0.86, 0.84, 0.82},  // MediumHeavySnow
    {0.88, 0.86, 0.85, 0.83, 0.81},  // HeavySnow
    {0.95, 0.95, 0.94, 0.93, 0.92},  // SevereCold
    {0.96, 0.95, 0.94, 0.94, 0.93},  // LowVisibility
    {0.95, 0.94, 0.93, 0.92, 0.91},  // VeryLowVisibility
    {0.95, 0.94, 0.93, 0.92, 0.91},  // MinimalVisibility
}};

// ---- Incidents (Chapter 11 incident severities, capacity effects and durations) -----------------

// Incident severity; its ordinal is the number of lanes it closes (a shoulder incident closes none,
// FourPlusLanes four or more).
enum class IncidentSeverity : std::uint8_t { Shoulder, OneLane, TwoLanes, ThreeLanes, FourPlusLanes };
inline constexpr std::size_t INCIDENT_SEVERITIES = 5;

constexpr std::uint32_t lanes_closed(IncidentSeverity s) { return static_cast<std::uint32_t>(s); }

// Capacity adjustment factor of the lanes left open by an incident, by directional lanes (rows
// 2 to 8) and severity (columns); an empty cell is a severity that cannot occur on that many lanes.
inline constexpr std::uint32_t INCIDENT_MIN_LANES = 2;
inline constexpr std::uint32_t INCIDENT_MAX_LANES = 8;
inline constexpr double NO_ENTRY = 0.0;
inline constexpr std::array<std::array<double, INCIDENT_SEVERITIES>, 7> INCIDENT_CAF = {{
    {0.81, 0.70, NO_ENTRY, NO_ENTRY, NO_ENTRY},  // 2 lanes
    {0.83, 0.74, 0.51, NO_ENTRY, NO_ENTRY},      // 3 lanes
    {0.85, 0.77, 0.50, 0.52, NO_ENTRY},          // 4 lanes
    {0.87, 0.81, 0.67, 0.50, 0.50},              // 5 lanes
    {0.89, 0.85, 0.75, 0.52, 0.52},              // 6 lanes
    {0.91, 0.88, 0.80, 0.63, 0.63},              // 7 lanes
    {0.93, 0.89, 0.84, 0.66, 0.66},              // 8 lanes
}};

// The table's factor for a segment of `lanes` lanes (clamped to 2..8) and a severity, or none
// where the table has no entry.
constexpr std::optional<double> incident_caf(std::uint32_t lanes, IncidentSeverity severity) {
    const std::uint32_t row = lanes < INCIDENT_MIN_LANES   ? INCIDENT_MIN_LANES
                              : lanes > INCIDENT_MAX_LANES ? INCIDENT_MAX_LANES
                                                           : lanes;
    const double f = INCIDENT_CAF[row - INCIDENT_MIN_LANES][static_cast<std::size_t>(severity)];
    if (f == NO_ENTRY) return std::nullopt;
    return f;
}

// Default share of incidents of each severity.
inline constexpr std::array<double, INCIDENT_SEVERITIES> DEFAULT_SEVERITY_DISTRIBUTION = {0.754, 0.196, 0.031,
                                                                                          0.019, 0.0};

// Incident duration statistics (minutes) of one severity: lognormal mean and standard deviation,
// truncated to [min, max].
struct IncidentDurationParams {
    double mean = 0.0;
    double std_dev = 0.0;
    double min = 0.0;
    double max = 0.0;

    bool operator==(const IncidentDurationParams&) const = default;
};

// Default incident durations by severity (minutes).
inline constexpr std::array<IncidentDurationParams, INCIDENT_SEVERITIES> DEFAULT_INCIDENT_DURATIONS = {{
    {34.0, 15.1, 8.7, 58.0},   // Shoulder
    {34.6, 13.8, 16.0, 58.2},  // OneLane
    {53.6, 13.9, 30.5, 66.9},  // TwoLanes
    {67.9, 21.9, 36.0, 93.3},  // ThreeLanes
    {67.9, 21.9, 36.0, 93.3},  // FourPlusLanes
}};

// Default incidents per crash.
inline constexpr double DEFAULT_INCIDENT_TO_CRASH_RATIO = 4.9;

// ---- Demand pattern (Chapter 11 default demand multipliers) -------------------------------------

// Demand multiplier by month (rows, January first) and day of the week (columns, Monday first).
inline constexpr std::array<std::array<double, 7>, 12> DEFAULT_DEMAND_MULTIPLIERS = {{
    {1.00, 1.00, 1.02, 1.05, 1.17, 1.01, 0.89},  // January
    {1.03, 1.03, 1.05, 1.08, 1.21, 1.04, 0.92},  // February
    {1.12, 1.12, 1.14, 1.18, 1.31, 1.13, 0.99},  // March
    {1.19, 1.19, 1.21, 1.25, 1.39, 1.20, 1.05},  // April
    {1.18, 1.18, 1.21, 1.24, 1.39, 1.20, 1.05},  // May
    {1.24, 1.24, 1.27, 1.31, 1.46, 1.26, 1.10},  // June
    {1.38, 1.38, 1.41, 1.45, 1.62, 1.39, 1.22},  // July
    {1.26, 1.26, 1.28, 1.32, 1.47, 1.27, 1.12},  // August
    {1.29, 1.29, 1.32, 1.36, 1.52, 1.31, 1.15},  // September
    {1.21, 1.21, 1.24, 1.27, 1.42, 1.22, 1.07},  // October
    {1.21, 1.21, 1.24, 1.27, 1.42, 1.22, 1.07},  // November
    {1.19, 1.19, 1.21, 1.25, 1.40, 1.20, 1.06},  // December
}};

}  // namespace hcm::freeway_reliability::exhibits

namespace base {
template <>
inline constexpr std::array<std::string_view, 11> variant_names<hcm::freeway_reliability::exhibits::WeatherType> = {
    "MediumRain",    "HeavyRain",     "LightSnow",         "LightMediumSnow",   "MediumHeavySnow", "HeavySnow",
    "SevereCold",    "LowVisibility", "VeryLowVisibility", "MinimalVisibility", "NonSevere"};
template <>
inline constexpr std::array<std::string_view, 5> variant_names<hcm::freeway_reliability::exhibits::IncidentSeverity> = {
    "Shoulder", "OneLane", "TwoLanes", "ThreeLanes", "FourPlusLanes"};
}  // namespace base
