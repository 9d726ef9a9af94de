#pragma once
// HCM Chapter 17: travel-time reliability of an urban street facility, with active traffic and
// demand management (ATDM) strategies.
//
// One record holds the study document (the Chapter 16 facility, the configuration and the
// strategies) and the state of the last run. A run analyses the facility as the base case,
// synthesises two years of weather, draws incidents for every day of the reliability reporting
// period, builds one scenario per analysis period of every such day and evaluates each with the
// Chapter 18 segment procedure on adjusted copies of the segments:
//
//   UrbanReliability study = read_urban_reliability(text);   // jsonio::Error with the reader's message
//   const UrbanReliabilityResults& r = run(study);           // hcm::Error: nothing changed
//   std::string summary = write_results(r);                  // compact JSON
//
// Every draw comes from a seeded generator (one per source), so equal documents give equal
// results, bit for bit.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hcm/common/reliability.hpp"
#include "hcm/urban_facilities/urban_facilities.hpp"
#include "hcm/urban_reliability/exhibits.hpp"
#include "json/record_fwd.hpp"

namespace hcm::urban_reliability::urban_reliability {

using common::reliability::ReliabilityMetrics;
using common::reliability::TravelTimeObservation;
using exhibits::FunctionalClass;
using exhibits::WeatherCondition;
using urban_facilities::urban_facilities::UrbanFacility;

// One month's weather statistics.
struct MonthlyWeather {
    double total_precip_in = 0.0;     // water equivalent
    double total_snowfall_in = 0.0;   // carried only: snow is recognised by temperature
    double days_with_precip = 0.0;
    double mean_temp_f = 0.0;
    double precip_rate_in_h = 0.0;

    friend bool operator==(const MonthlyWeather&, const MonthlyWeather&) = default;
};

// Crash data of the facility.
struct IncidentConfig {
    // Crash frequency adjustment factors: rainfall, wet pavement, snowfall, snow pavement.
    std::optional<std::array<double, 4>> cfaf_override;
    std::vector<double> segment_crash_frequencies;       // crashes/yr, one per segment
    std::vector<double> intersection_crash_frequencies;  // crashes/yr, one per boundary intersection
    std::optional<std::vector<double>> opposing_demand_veh_h;  // per segment; own demand where missing
    double minor_leg_volume_veh_h = 0.0;
    bool shoulder_present = true;

    friend bool operator==(const IncidentConfig&, const IncidentConfig&) = default;
};

// The signal at a segment's downstream boundary.
struct BoundarySignal {
    double cycle_length_s = 100.0;      // C
    double effective_green_s = 45.0;    // g of the through movement
    double sat_flow_veh_h_ln = 1900.0;  // s
    double platoon_ratio = 1.0;         // R_p
    double k_factor = 0.5;              // incremental-delay factor k
    double i_factor = 1.0;              // upstream filtering factor I
    std::uint32_t approach_lanes = 0;   // 0: the segment's through lanes

    friend bool operator==(const BoundarySignal&, const BoundarySignal&) = default;
};

// An ATDM strategy; empty lists match every month, day or period.
struct AtdmStrategy {
    std::string name;
    std::vector<std::uint32_t> months;
    std::vector<std::uint32_t> days_of_week;
    std::vector<std::uint64_t> periods;
    double demand_adjustment = 1.0;
    double sat_flow_adjustment = 1.0;
    double effective_green_adjustment_s = 0.0;
    double ffs_adjustment = 1.0;
    double crash_frequency_adjustment = 1.0;

    friend bool operator==(const AtdmStrategy&, const AtdmStrategy&) = default;
};

struct UrbanReliabilityConfig {
    std::vector<std::uint32_t> months = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    std::vector<std::uint32_t> days_of_week = {1, 2, 3, 4, 5};  // 0 = Sunday
    FunctionalClass functional_class = FunctionalClass::UrbanPrincipalArterial;
    std::uint32_t jan1_day_of_week = 0;
    std::uint32_t study_period_start_hour = 7;
    std::uint64_t analysis_periods_per_day = 12;
    std::vector<MonthlyWeather> weather = std::vector<MonthlyWeather>(12);
    double snow_runoff_h = 0.5;
    double demand_change_rain = 1.0;
    double demand_change_snow = 0.8;
    std::uint32_t count_month = 1;
    std::uint32_t count_day_of_week = 2;
    std::uint32_t count_hour = 7;
    IncidentConfig incidents;
    std::vector<BoundarySignal> boundary_signals;
    std::uint64_t weather_seed = 82;
    std::uint64_t demand_seed = 11;  // kept: the demand pattern is deterministic
    std::uint64_t incident_seed = 63;
    bool vmt_weighted = true;

    // Demand ratio of the count time, the divisor of every scenario's demand ratio.
    double base_demand_ratio() const;

    friend bool operator==(const UrbanReliabilityConfig&, const UrbanReliabilityConfig&) = default;
};

// One day of the two-year weather record with precipitation.
struct UrbanWeatherEvent {
    std::uint64_t day;       // 0-729
    double temperature_f;
    double rate_in_h;        // snowfall rate for snow (ten times the water equivalent)
    double amount_in;        // likewise
    double start_h;          // clock hour, multiple of 0.25
    double duration_h;       // of the precipitation, multiple of 0.25
    double wet_duration_h;   // precipitation and drying, from the start
    bool snow;               // below 32 deg F

    friend bool operator==(const UrbanWeatherEvent&, const UrbanWeatherEvent&) = default;
};

struct UrbanIncident {
    std::uint64_t day;        // 0-364
    std::uint64_t location;   // segment index, or intersection index 0..segments
    double duration_h;        // multiple of 0.25
    std::uint32_t hour;       // clock hour of the start
    exhibits::LaneLocation lane_location;
    std::uint8_t incident_type;  // 0-3
    WeatherCondition condition;  // at the start
    bool at_intersection;
    bool in_direction;        // affects the analysed direction

    friend bool operator==(const UrbanIncident&, const UrbanIncident&) = default;
};

struct UrbanScenario {
    std::vector<std::size_t> incident_indices;  // into UrbanReliability::incidents
    std::uint64_t day;
    std::uint64_t period;       // within the day, from 0
    double precip_rate_in_h;    // water equivalent; 0 unless precipitating
    double demand_ratio;
    std::uint32_t month;        // 1-12
    std::uint32_t day_of_week;  // 0 = Sunday
    WeatherCondition condition;

    friend bool operator==(const UrbanScenario&, const UrbanScenario&) = default;
};

struct UrbanScenarioOutcome {
    double travel_time_s;
    double tti;
    double vmt;           // vehicle-miles in the period
    double vhd;           // vehicle-hours of delay
    bool oversaturated;   // some segment over capacity, or a queue carried in

    friend bool operator==(const UrbanScenarioOutcome&, const UrbanScenarioOutcome&) = default;
};

struct UrbanReliabilityResults {
    ReliabilityMetrics metrics;
    std::uint64_t num_scenarios = 0;
    double base_free_flow_travel_time_s = 0.0;
    double mean_travel_time_s = 0.0;
    double reliability_rating_urban = 0.0;  // percent of the weight with TTI <= 2.5
    double total_vhd = 0.0;
    std::uint64_t num_weather_events = 0;
    std::uint64_t num_incidents = 0;
    double pct_nondry_scenarios = 0.0;
};

struct UrbanReliability {
    // The document.
    UrbanFacility facility;
    UrbanReliabilityConfig config;
    std::vector<AtdmStrategy> atdm_strategies;

    // The last successful run (not read from JSON).
    std::vector<UrbanWeatherEvent> weather_events;
    std::vector<UrbanIncident> incidents;
    std::vector<UrbanScenario> scenarios;
    std::vector<UrbanScenarioOutcome> scenario_outcomes;
    std::vector<TravelTimeObservation> observations;
    std::optional<UrbanReliabilityResults> results;
};

const jsonio::Record<MonthlyWeather>& json_record(jsonio::Tag<MonthlyWeather>);
const jsonio::Record<IncidentConfig>& json_record(jsonio::Tag<IncidentConfig>);
const jsonio::Record<BoundarySignal>& json_record(jsonio::Tag<BoundarySignal>);
const jsonio::Record<AtdmStrategy>& json_record(jsonio::Tag<AtdmStrategy>);
const jsonio::Record<UrbanReliabilityConfig>& json_record(jsonio::Tag<UrbanReliabilityConfig>);
const jsonio::Record<UrbanReliabilityResults>& json_record(jsonio::Tag<UrbanReliabilityResults>);
const jsonio::Record<UrbanReliability>& json_record(jsonio::Tag<UrbanReliability>);

// The study document (object or array form); a failure throws jsonio::Error (an hcm::Error) with
// the reader's message, ending " at line {} column {}". No value is checked here.
UrbanReliability read_urban_reliability(std::string_view text);

// The results as one compact JSON object (non-finite numbers as null).
std::string write_results(const UrbanReliabilityResults& results);

// The whole study. Throws hcm::Error for the checks of the document and for a failing facility
// aggregation, base::Cancelled when cancelled (polled before every base-case segment, every
// scenario and every segment of a scenario) and std::bad_alloc; a failed run leaves the study as
// it was. Otherwise replaces the state of the previous run and returns the stored results. A
// scenario whose TTI is not finite (a boundary signal without capacity) counts in num_scenarios
// and the means but leaves no observation in the TTI distribution.
const UrbanReliabilityResults& run(UrbanReliability& study);

// A study builds at most this many scenarios (reporting-period days x analysis periods).
inline constexpr std::uint64_t MAX_SCENARIOS = 10'000'000;

// Weighted mean TTI of observations; 0 without positive weight.
double tti_mean(const std::vector<TravelTimeObservation>& observations);
// Percent of the observation weight with a TTI of at most 2.5; 0 without positive weight.
double reliability_rating(const std::vector<TravelTimeObservation>& observations);
inline constexpr double URBAN_RELIABLE_TTI = 2.5;

// Lanes an incident at `where` blocks on an N-lane street: one lane always stays open, so
// min(N - 1, 1 | 2 | 0), and 0 for N = 0.
std::uint32_t lanes_blocked(std::uint32_t n, exhibits::LaneLocation where);
// Lanes left open by a segment incident blocking `blocked` lanes: max(N - min(N - 1, blocked), 1).
std::uint32_t lanes_open(std::uint32_t n, std::uint32_t blocked);

// Boundary-intersection saturation-flow factor equivalent to a target delay reduction (percent,
// none: the 13.5 % midpoint), clamped to the 3-24 % range of adaptive signal control.
double adaptive_signal_sat_flow_adjustment(std::optional<double> target_delay_reduction_pct);

}  // namespace hcm::urban_reliability::urban_reliability
