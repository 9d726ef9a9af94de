#pragma once
// Tables and constants of the HCM Chapter 10 freeway facility core method, grouped by the exhibit
// or equation family they come from, and the work-zone description those equations read.
#include <array>
#include <cstdint>

namespace hcm::freeway_facilities::exhibits {

// A work zone on one facility segment, in force in every analysis period (HCM Chapter 10 work-zone
// capacity and free-flow speed models).
struct WorkZone {
    std::uint32_t total_lanes = 3;      // lanes of the directional roadway without the work zone
    std::uint32_t open_lanes = 2;       // lanes open to traffic through the work zone
    bool soft_barrier = false;          // true: soft barrier; false: hard barrier
    bool rural = false;                 // true: rural area; false: urban
    double lateral_distance_ft = 6.0;   // open travel lanes to the work zone
    bool night = false;                 // true: in force at night
    double speed_ratio = 1.0;           // speed limit outside / speed limit inside the work zone
    double speed_limit_mi_h = 55.0;     // speed limit in the work zone
    double total_ramp_density = 1.0;    // ramps/mi at the work zone
    double queue_discharge_drop = 0.134;  // drop of the queue-discharge rate below capacity (fraction)

    bool operator==(const WorkZone&) const = default;
};

// Work-zone lane-closure severity index, queue-discharge rate and free-flow speed (Chapter 10).
namespace work_zone {
inline constexpr double MAX_SEVERITY_INDEX = 2.0;
inline constexpr double QDR_CONSTANT = 2093.0;
inline constexpr double QDR_SEVERITY = 154.0;
inline constexpr double QDR_SOFT_BARRIER = 194.0;
inline constexpr double QDR_RURAL = 179.0;
inline constexpr double QDR_LATERAL_FT = 9.0;
inline constexpr double QDR_NIGHT = 59.0;
inline constexpr double FFS_CONSTANT = 9.95;
inline constexpr double FFS_SPEED_RATIO = 33.49;
inline constexpr double FFS_SPEED_RATIO_MIN = 1.0;
inline constexpr double FFS_SPEED_RATIO_MAX = 1.2;
inline constexpr double FFS_SPEED_LIMIT = 0.53;
inline constexpr double FFS_SEVERITY = 5.6;
inline constexpr double FFS_SOFT_BARRIER = 3.84;
inline constexpr double FFS_NIGHT = 1.71;
inline constexpr double FFS_RAMP_DENSITY = 8.7;
}  // namespace work_zone

// Speed recovery downstream of a slow segment (Chapter 10): S = S_f - e^(-0.00162 dx) (S_f - S_up).
inline constexpr double SPEED_RECOVERY_PER_FT = 0.00162;

// Upper density bounds of LOS A..E; above the last bound the LOS is F.
using LosBounds = std::array<double, 5>;
inline constexpr LosBounds URBAN_FACILITY_LOS = {11.0, 18.0, 26.0, 35.0, 45.0};  // Exhibit 10-7
inline constexpr LosBounds RURAL_FACILITY_LOS = {6.0, 14.0, 22.0, 29.0, 39.0};   // Exhibit 10-7

// Oversaturated time-step procedure (Chapter 10 / Chapter 25 oversaturated segment evaluation).
namespace oversaturated {
inline constexpr double SECONDS_PER_PERIOD = 900.0;
inline constexpr double HOURS_PER_PERIOD = 0.25;
inline constexpr double DENSITY_AT_CAPACITY_PC = 45.0;  // pc/mi/ln
inline constexpr double QUEUE_PRESENT_VEH = 0.001;      // vehicles above which a queue is present
inline constexpr double UNCONSTRAINED = 1e12;           // an output without constraint
inline constexpr std::size_t HISTORY_STEPS = 240;       // step values kept per history list
inline constexpr double MIN_QUEUE_DENSITY_EXCESS = 1.0;  // veh/mi/ln
// Time steps the engine accepts, seconds: at most 1800 keeps at least one step per period; at
// least 0.25 bounds a period to 3600 steps.
inline constexpr double MIN_TIME_STEP_S = 0.25;
inline constexpr double MAX_TIME_STEP_S = 1800.0;
}  // namespace oversaturated

}  // namespace hcm::freeway_facilities::exhibits
