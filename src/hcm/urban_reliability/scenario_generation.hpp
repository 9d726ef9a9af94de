#pragma once
// Steps 3-7 of the urban street reliability method: the two-year weather record, the dry-weather
// crash rates, the days of the reliability reporting period, the incidents drawn for each of those
// days and one scenario per analysis period of each; and the ATDM strategies matching a scenario.
// Internal to the chapter: the study in urban_reliability.hpp is its interface.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "hcm/urban_reliability/urban_reliability.hpp"

namespace hcm::urban_reliability::scenario_generation {

using urban_reliability::AtdmStrategy;
using urban_reliability::IncidentConfig;
using urban_reliability::UrbanFacility;
using urban_reliability::UrbanIncident;
using urban_reliability::UrbanReliabilityConfig;
using urban_reliability::UrbanScenario;
using urban_reliability::UrbanWeatherEvent;

inline constexpr std::uint64_t DAYS_PER_YEAR = 365;
inline constexpr std::uint64_t WEATHER_RECORD_DAYS = 2 * DAYS_PER_YEAR;
// Length of an analysis period, h.
inline constexpr double PERIOD_H = 0.25;

// Step 3: the weather record, one event per day with precipitation, in day order.
std::vector<UrbanWeatherEvent> weather_record(const UrbanReliabilityConfig& config);

// Events of each day: events[first[d] .. first[d + 1]) (the record is in day order).
std::vector<std::size_t> events_by_day(const std::vector<UrbanWeatherEvent>& events, std::uint64_t days);

std::array<double, 4> crash_adjustment_factors(const IncidentConfig& incidents);

// Dry-weather crash frequencies: the annual frequencies count wet hours at their adjustment
// factors, so F_dry = F x hours / (hours weighted by the factors) over the weather record.
struct DryCrashRates {
    std::vector<double> segments;
    std::vector<double> intersections;
};

DryCrashRates dry_crash_rates(const IncidentConfig& incidents, const std::vector<UrbanWeatherEvent>& events);

// Step 5: the days of the reliability reporting period.
struct RrpDay {
    std::uint64_t day;
    std::uint32_t month;
    std::uint32_t day_of_week;
};

std::vector<RrpDay> reporting_period_days(const UrbanReliabilityConfig& config);

// The combined effect of the strategies matching a scenario: ratios multiply, greens add.
struct AtdmEffect {
    double demand = 1.0;     // D
    double sat_flow = 1.0;   // Sf
    double green_s = 0.0;    // G
    double ffs = 1.0;        // V
};

AtdmEffect atdm_effect(const std::vector<AtdmStrategy>& strategies, const UrbanScenario& sc);

// Step 6: what the incident draws read.
struct IncidentContext {
    const UrbanFacility& facility;
    const UrbanReliabilityConfig& config;
    const std::vector<AtdmStrategy>& strategies;
    const DryCrashRates& rates;
    std::array<double, 4> cfaf;
};

// The incidents of the reporting-period days, in day order.
std::vector<UrbanIncident> draw_incidents(const IncidentContext& cx, const std::vector<RrpDay>& days,
                                          const std::vector<UrbanWeatherEvent>& events,
                                          const std::vector<std::size_t>& events_first);

// Step 7: one scenario per analysis period of every reporting-period day, with the incidents
// active in it.
std::vector<UrbanScenario> build_scenarios(const UrbanReliabilityConfig& config, const std::vector<RrpDay>& days,
                                           const std::vector<UrbanWeatherEvent>& events,
                                           const std::vector<std::size_t>& events_first,
                                           const std::vector<UrbanIncident>& incidents);

}  // namespace hcm::urban_reliability::scenario_generation
