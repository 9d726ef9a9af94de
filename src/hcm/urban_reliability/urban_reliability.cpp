#include "hcm/urban_reliability/urban_reliability.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>
#include <string>
#include <utility>

#include "base/cancel.hpp"
#include "base/units.hpp"
#include "hcm/common/error.hpp"
#include "hcm/common/study_size.hpp"
#include "hcm/urban_reliability/evaluation.hpp"
#include "hcm/urban_reliability/scenario_generation.hpp"

namespace hcm::urban_reliability::urban_reliability {

namespace {

using base::units::FT_PER_MI;
using base::units::SECONDS_PER_HOUR;
using evaluation::evaluate_scenario;
using evaluation::ScenarioContext;
using evaluation::summarise;
using scenario_generation::build_scenarios;
using scenario_generation::crash_adjustment_factors;
using scenario_generation::draw_incidents;
using scenario_generation::dry_crash_rates;
using scenario_generation::DryCrashRates;
using scenario_generation::events_by_day;
using scenario_generation::IncidentContext;
using scenario_generation::reporting_period_days;
using scenario_generation::RrpDay;
using scenario_generation::weather_record;
using scenario_generation::WEATHER_RECORD_DAYS;
using urban_segments::urban_segments::UrbanSegment;

constexpr double MIN_VMT_WEIGHT = 1e-9;

// ---- Checks (Step 1) -----------------------------------------------------------------------------

std::string count_message(const char* what, std::size_t count, std::size_t segments) {
    return std::string(what) + " has " + std::to_string(count) + " entries for " + std::to_string(segments) +
           " segments";
}

void check_study(const UrbanReliability& study) {
    const UrbanReliabilityConfig& c = study.config;
    const std::size_t segments = study.facility.segments.size();
    if (segments == 0) throw Error("facility must contain at least one segment");
    if (c.boundary_signals.size() != segments)
        throw Error(count_message("boundary_signals", c.boundary_signals.size(), segments));
    if (c.incidents.segment_crash_frequencies.size() != segments)
        throw Error(count_message("segment_crash_frequencies", c.incidents.segment_crash_frequencies.size(), segments));
    if (c.incidents.intersection_crash_frequencies.size() != segments + 1)
        throw Error("intersection_crash_frequencies needs " + std::to_string(segments + 1) +
                    " entries (segments + 1), got " + std::to_string(c.incidents.intersection_crash_frequencies.size()));
    if (c.weather.size() != 12) throw Error("weather needs 12 monthly entries (Jan-Dec)");
    if (c.analysis_periods_per_day == 0) throw Error("analysis_periods_per_day must be positive");
    if (c.months.empty() || c.days_of_week.empty()) throw Error("reliability reporting period is empty");
    if (c.base_demand_ratio() <= 0.0) throw Error("base demand ratio is zero \u2014 check count month/day/hour");
    // The green clamp [1, C - 1] needs C >= 2; NaN fails the test as well.
    for (std::size_t i = 0; i < segments; ++i)
        if (!(c.boundary_signals[i].cycle_length_s >= 2.0))
            throw Error("boundary_signals entry " + std::to_string(i) + ": cycle_length_s must be at least 2");
    // Every scenario analyses every segment while the caller waits: bound the study's size.
    common::check_scenario_count(
        common::saturating_product({reporting_period_days(c).size(), c.analysis_periods_per_day}), MAX_SCENARIOS,
        "reporting-period days x analysis_periods_per_day");
}

// Swaps the run's weather events, incidents and scenarios with the study's.
void swap_run_state(UrbanReliability& study, std::vector<UrbanWeatherEvent>& events,
                    std::vector<UrbanIncident>& incidents, std::vector<UrbanScenario>& scenarios) {
    std::swap(study.weather_events, events);
    std::swap(study.incidents, incidents);
    std::swap(study.scenarios, scenarios);
}

}  // namespace

const UrbanReliabilityResults& run(UrbanReliability& study) {
    check_study(study);  // Step 1: nothing has changed yet

    // The run works on a copy of the facility and on local state; the study takes them at the end,
    // so that a failed or cancelled run leaves it as it was.
    UrbanFacility facility = urban_facilities::urban_facilities::analysed(study.facility);  // Step 2
    const double base_fft = facility.results->base_free_flow_travel_time_s;

    const UrbanReliabilityConfig& config = study.config;
    std::vector<UrbanWeatherEvent> events = weather_record(config);                      // Step 3
    const DryCrashRates rates = dry_crash_rates(config.incidents, events);               // Step 4
    const std::vector<RrpDay> days = reporting_period_days(config);                      // Step 5
    const std::vector<std::size_t> events_first = events_by_day(events, WEATHER_RECORD_DAYS);
    const IncidentContext incident_cx{facility, config, study.atdm_strategies, rates,
                                      crash_adjustment_factors(config.incidents)};
    std::vector<UrbanIncident> incidents = draw_incidents(incident_cx, days, events, events_first);  // Step 6
    std::vector<UrbanScenario> scenarios = build_scenarios(config, days, events, events_first, incidents);  // Step 7

    // Step 8. The scenarios read the run's incidents from the study: the run's state is swapped
    // in, and back out when the loop does not finish.
    const std::span<const UrbanSegment> base(facility.segments);
    double fft = 0.0, demand = 0.0;
    for (const UrbanSegment& s : base) {
        const double ffs = s.free_flow_speed_mph.value_or(std::numeric_limits<double>::quiet_NaN());
        fft += s.segment_length_ft / FT_PER_MI * SECONDS_PER_HOUR / ffs;
        demand += s.through_demand_veh_h;
    }
    const ScenarioContext cx{study, base, fft, demand / static_cast<double>(base.size())};
    std::vector<double> queues(base.size(), 0.0);
    std::vector<UrbanSegment> copies(base.begin(), base.end());
    std::vector<UrbanScenarioOutcome> outcomes;
    std::vector<TravelTimeObservation> observations;
    UrbanReliabilityResults results;
    swap_run_state(study, events, incidents, scenarios);
    try {
        outcomes.reserve(study.scenarios.size());
        std::uint64_t day = std::numeric_limits<std::uint64_t>::max();
        for (const UrbanScenario& sc : study.scenarios) {
            base::poll_cancel();
            if (sc.day != day) {
                std::fill(queues.begin(), queues.end(), 0.0);
                day = sc.day;
            }
            const UrbanScenarioOutcome outcome = evaluate_scenario(cx, sc, queues, copies);
            const double weight = config.vmt_weighted ? std::max(outcome.vmt, MIN_VMT_WEIGHT) : 1.0;
            // A scenario without a finite TTI counts as a scenario but leaves no observation.
            if (weight > 0.0 && std::isfinite(outcome.tti)) observations.push_back({outcome.tti, weight});
            outcomes.push_back(outcome);
        }
        // Step 9 inside the guard too: summarising a large study (it sorts the observations) can
        // run out of memory.
        results = summarise(study, outcomes, observations, base_fft);
    } catch (...) {
        swap_run_state(study, events, incidents, scenarios);
        throw;
    }

    // Nothing fails from here on: the run's state replaces the previous run's.
    study.facility = std::move(facility);
    study.scenario_outcomes = std::move(outcomes);
    study.observations = std::move(observations);
    return study.results.emplace(results);
}

}  // namespace hcm::urban_reliability::urban_reliability
