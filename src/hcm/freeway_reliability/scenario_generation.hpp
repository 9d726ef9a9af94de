#pragma once
// HCM Chapter 11 scenario generation: the scenario-generation inputs of a freeway reliability
// study, the view of the seed facility they are distributed over, the sampling helpers, and the
// scenario set that one seeded run makes from them (demand patterns, work zones, special events,
// weather events and incidents).
//
// Every draw comes from one hcm::common::Prng seeded once per generation, in a fixed order, and
// every sum runs left to right: the same inputs and seed give the same scenario set, bit for bit.
// The scenario records hold only numbers, enumerations and indexes (work zones and special events
// by position in the inputs), so that evaluating a scenario needs no lookup by name.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "base/enum_names.hpp"
#include "hcm/common/prng.hpp"
#include "hcm/freeway_reliability/exhibits.hpp"

namespace hcm::freeway_reliability::scenario_generation {

using common::Prng;  // the reliability chapters' one seeded generator
using exhibits::IncidentDurationParams;
using exhibits::IncidentSeverity;
using exhibits::WeatherType;

// Day of the week; the ordinal is the column of the demand-multiplier table.
enum class Weekday : std::uint8_t { Monday, Tuesday, Wednesday, Thursday, Friday, Saturday, Sunday };

inline constexpr std::size_t MONTHS = 12;
inline constexpr std::size_t WEEKDAYS = 7;

// ---- Inputs -------------------------------------------------------------------------------------

// Weather statistics of the study; without them no weather event is generated.
struct WeatherInputs {
    // [month - 1][weather type]: probability that weather of the type is present during the study
    // period on a day of the month.
    std::vector<std::vector<double>> probabilities_by_month =
        std::vector<std::vector<double>>(MONTHS, std::vector<double>(exhibits::WEATHER_EVENT_TYPES, 0.0));
    std::vector<double> durations_min = std::vector<double>(exhibits::WEATHER_EVENT_TYPES, 0.0);  // mean, minutes
    std::optional<std::vector<double>> caf_override;  // by weather type, replacing the table value
    std::optional<std::vector<double>> saf_override;
    double daf = 1.0;  // demand factor while a weather event lasts

    bool operator==(const WeatherInputs&) const = default;
};

// Incident statistics of the study; without them no incident is generated.
struct IncidentInputs {
    std::optional<std::vector<double>> monthly_frequencies;  // expected incidents per scenario, January first
    std::optional<double> crash_rate_per_100mvmt;
    double incident_to_crash_ratio = exhibits::DEFAULT_INCIDENT_TO_CRASH_RATIO;
    std::vector<double> severity_distribution{exhibits::DEFAULT_SEVERITY_DISTRIBUTION.begin(),
                                              exhibits::DEFAULT_SEVERITY_DISTRIBUTION.end()};
    std::vector<IncidentDurationParams> duration_params{exhibits::DEFAULT_INCIDENT_DURATIONS.begin(),
                                                        exhibits::DEFAULT_INCIDENT_DURATIONS.end()};
    double daf = 1.0;  // demand factor while an incident lasts

    bool operator==(const IncidentInputs&) const = default;
};

inline const std::vector<Weekday> WORKING_DAYS = {Weekday::Monday, Weekday::Tuesday, Weekday::Wednesday,
                                                  Weekday::Thursday, Weekday::Friday};

// A work zone (or another capacity strategy) recurring on chosen months and days of the week.
struct WorkZoneEvent {
    std::vector<std::uint32_t> months{};  // empty: no month
    std::vector<Weekday> weekdays = WORKING_DAYS;
    double active_day_ratio = 1.0;           // share of the replications of each matching day
    std::vector<std::size_t> segments{};                // empty: no segment
    std::optional<std::vector<std::size_t>> periods{};  // none: every period
    double caf = 1.0;
    double saf = 1.0;
    double daf = 1.0;  // on the whole facility's demand in the listed periods
    std::uint32_t lanes_closed = 0;  // carried with the record; the capacity effect is `caf`

    bool operator==(const WorkZoneEvent&) const = default;
};

// A special event on one day of the reliability reporting period.
struct SpecialEvent {
    std::uint32_t month = 1;
    Weekday weekday = Weekday::Monday;
    std::uint32_t replication = 0;
    std::optional<std::vector<std::size_t>> segments{};  // none: every segment
    std::optional<std::vector<std::size_t>> periods{};   // none: every period
    double daf = 1.0;
    double caf = 1.0;
    double saf = 1.0;

    bool operator==(const SpecialEvent&) const = default;
};

// The default demand multipliers as a table of 12 rows (January first) of 7 (Monday first).
std::vector<std::vector<double>> default_demand_multipliers();

// Every input of scenario generation (the reliability document's `scenario_generation`).
struct ScenarioGenerationConfig {
    std::vector<std::uint32_t> months = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    std::vector<Weekday> weekdays = WORKING_DAYS;
    std::uint32_t replications = 4;
    std::optional<std::vector<double>> day_counts;  // weight of each (month, weekday); none: equal
    std::uint32_t seed_month = 1;                   // the demand the seed facility carries
    Weekday seed_weekday = Weekday::Monday;
    std::vector<std::vector<double>> demand_multipliers = default_demand_multipliers();
    std::optional<WeatherInputs> weather;
    std::optional<IncidentInputs> incidents;
    std::vector<WorkZoneEvent> work_zones;
    std::vector<SpecialEvent> special_events;
    std::uint64_t rng_seed = 1;

    bool operator==(const ScenarioGenerationConfig&) const = default;
};

// The seed facility as scenario generation sees it.
struct SeedStatistics {
    std::vector<std::vector<double>> segment_vmt;  // [segment][period], vehicle-miles per 15 minutes
    std::vector<std::uint32_t> segment_lanes;
    std::size_t num_periods = 0;
    double ffs = 0.0;  // facility free-flow speed, mi/h
};

// ---- Scenario set -------------------------------------------------------------------------------

struct WeatherEventAssignment {
    WeatherType weather = WeatherType::NonSevere;
    std::size_t start_period = 0;
    std::size_t duration_periods = 1;  // may reach past the last period
    double caf = 1.0;
    double saf = 1.0;

    bool operator==(const WeatherEventAssignment&) const = default;
};

struct IncidentAssignment {
    IncidentSeverity severity = IncidentSeverity::Shoulder;
    std::size_t segment = 0;
    std::size_t start_period = 0;
    std::size_t duration_periods = 1;  // may reach past the last period

    bool operator==(const IncidentAssignment&) const = default;
};

struct FreewayScenario {
    std::size_t id = 0;
    std::uint32_t month = 1;
    Weekday weekday = Weekday::Monday;
    std::uint32_t replication = 0;
    double probability = 0.0;
    double demand_multiplier = 1.0;
    double daf = 1.0;  // demand_multiplier / the seed day's multiplier
    std::vector<WeatherEventAssignment> weather_events;
    std::vector<IncidentAssignment> incidents;
    std::vector<std::size_t> work_zones;      // positions in the inputs' work_zones, ascending
    std::vector<std::size_t> special_events;  // positions in the inputs' special_events, ascending

    bool operator==(const FreewayScenario&) const = default;
};

using WeatherEventTable = std::array<std::array<std::uint32_t, exhibits::WEATHER_EVENT_TYPES>, MONTHS>;

struct ScenarioSet {
    std::vector<FreewayScenario> scenarios;      // in id order
    WeatherEventTable expected_weather_events{};  // [month - 1][weather type]
    std::array<double, MONTHS> monthly_incident_frequency{};  // expected incidents per scenario
    std::size_t total_incidents = 0;
    std::size_t total_weather_events = 0;

    bool operator==(const ScenarioSet&) const = default;
};

// ---- Sampling helpers ---------------------------------------------------------------------------

// Whole counts, one per probability, summing to `total` and as close to p_i x total as rounding
// allows: the scale s at which round(p_i s total) sums to the total is bracketed by doubling (up
// to 2^20) and 200 bisections; what rounding leaves over is handed out (or taken back) one at a
// time where the target exceeds the count most (the later index on ties). No random draw.
std::vector<std::size_t> counts_matching_distribution(std::span<const double> probabilities, std::size_t total);

// Poisson probabilities of 0 .. kmax events, kmax = max(ceil(lambda + 6 sqrt(lambda)), 6); the
// tail beyond kmax is left out (the count matching absorbs it). `lambda` must be positive.
std::vector<double> poisson_probabilities(double lambda);

// Incident durations as whole 15-minute periods lo_bin .. hi_bin with lognormal probabilities:
// bin b takes the probability of (15b - 7.5, 15b + 7.5] minutes, renormalised over the bins.
struct DurationBins {
    std::vector<std::size_t> bins;  // periods
    std::vector<double> probabilities;
};
DurationBins lognormal_bin_probabilities(const IncidentDurationParams& params);

// Each segment's share of the seed facility's vehicle-miles (0 everywhere without any).
std::vector<double> location_distribution(const SeedStatistics& seed);
// Each period's share of the seed facility's vehicle-miles (0 everywhere without any).
std::vector<double> start_time_distribution(const SeedStatistics& seed);

// Weather capacity or speed factor of a weather type at the facility free-flow speed: clamped to
// 55-75 mi/h and interpolated linearly between the table's columns.
double interpolate_weather_factor(const exhibits::WeatherRow& row, double ffs);

// ---- Generation ---------------------------------------------------------------------------------

// Limits that keep one study's generation bounded.
inline constexpr double MAX_INCIDENT_DURATION_MIN = 10000.0;
inline constexpr double MAX_EXPECTED_INCIDENTS_PER_SCENARIO = 100.0;
// Every scenario is analysed while the caller waits: a larger study is refused before any draw.
inline constexpr std::uint64_t MAX_SCENARIOS = 1'000'000;
// Random placements tried for a weather event before the scan for the first free place.
inline constexpr std::size_t WEATHER_PLACEMENT_ATTEMPTS = 1000;

// The scenario set of the study, or hcm::Error with the first failing check. The inputs are not
// changed; nothing is kept between calls.
ScenarioSet generate_scenarios(const ScenarioGenerationConfig& config, const SeedStatistics& seed);

// One incident waiting for its place: the scenario it belongs to and its duration (periods).
struct PendingIncident {
    std::size_t scenario = 0;
    std::size_t duration_periods = 1;
};
struct IncidentPlace {
    std::size_t segment = 0;
    std::size_t start_period = 0;
    friend bool operator==(const IncidentPlace&, const IncidentPlace&) = default;
};

// Places the incidents, in order, on the shuffled segment and start-period lists (one entry each
// per incident, consumed as they are taken). An incident whose scenario already has incidents
// takes the first remaining (segment position, start position) pair, segment outer, that clashes
// with none of them on the same segment; otherwise, or when every pair clashes, the first
// entries. Searches distinct values (segments by first remaining position, then start periods by
// first remaining position), which finds the same pair as the pairwise scan in
// O(segments x periods) per incident.
std::vector<IncidentPlace> place_incidents(std::span<const std::size_t> segment_list,
                                           std::span<const std::size_t> start_list,
                                           std::span<const PendingIncident> incidents, std::size_t num_periods);

// The severity a segment of `lanes` lanes can carry: the requested one when the lanes and the
// incident table allow it, else the next lower down to OneLane, else Shoulder.
IncidentSeverity fit_severity(IncidentSeverity requested, std::uint32_t lanes);

}  // namespace hcm::freeway_reliability::scenario_generation

namespace base {
template <>
inline constexpr std::array<std::string_view, 7>
    variant_names<hcm::freeway_reliability::scenario_generation::Weekday> = {
    "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};
}  // namespace base
