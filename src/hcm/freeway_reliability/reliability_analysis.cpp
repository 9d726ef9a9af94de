#include "hcm/freeway_reliability/reliability_analysis.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

#include "base/cancel.hpp"
#include "base/units.hpp"
#include "hcm/common/error.hpp"
#include "hcm/freeway_facilities/facility_json.hpp"
#include "hcm/freeway_reliability/exhibits.hpp"
#include "hcm/freeway_reliability/scenario_json.hpp"
#include "json/jsonio.hpp"

namespace hcm::freeway_reliability::reliability {
namespace {

namespace ff = freeway_facilities::freeway_facilities;
using base::units::FT_PER_MI;
using common::reliability::TravelTimeDistribution;
using scenario_generation::IncidentAssignment;
using scenario_generation::SpecialEvent;
using scenario_generation::WeatherEventAssignment;
using scenario_generation::WorkZoneEvent;

using base::units::MINUTES_PER_HOUR;
constexpr double HOURS_PER_PERIOD = 0.25;

// The periods [start, start + duration) of an event that lie within the P analysis periods.
std::size_t event_end(std::size_t start, std::size_t duration, std::size_t periods) {
    return start >= periods ? start : start + std::min(duration, periods - start);
}

// ---- Scenario factors (Steps B-7 and B-8: weather, incidents, work zones, special events) ----------

void apply_weather(const WeatherEventAssignment& event, double weather_daf, ScenarioFactors& f) {
    for (std::size_t p = event.start_period; p < event_end(event.start_period, event.duration_periods, f.periods);
         ++p) {
        for (std::size_t g = 0; g < f.segments; ++g) {
            f.c(g, p) *= event.caf;
            f.s(g, p) *= event.saf;
        }
        f.demand[p] *= weather_daf;
    }
}

// Capacity factor of an incident on a segment of `lanes` lanes: the open lanes' factor of the
// incident table times the share of lanes left open, or 1 where the table has no entry.
double incident_capacity_factor(std::uint32_t lanes, exhibits::IncidentSeverity severity) {
    const std::uint32_t closed = exhibits::lanes_closed(severity);
    if (lanes <= closed) return 1.0;
    const std::optional<double> entry = exhibits::incident_caf(lanes, severity);
    if (!entry) return 1.0;
    return *entry * static_cast<double>(lanes - closed) / static_cast<double>(lanes);
}

void apply_incident(const IncidentAssignment& incident, double incident_daf, const FreewayFacility& seed,
                    ScenarioFactors& f) {
    // An incident placed beyond the facility applies to its last segment.
    const std::size_t g = std::min(incident.segment, f.segments - 1);
    const double factor = incident_capacity_factor(seed.segments[g].lanes, incident.severity);
    for (std::size_t p = incident.start_period;
         p < event_end(incident.start_period, incident.duration_periods, f.periods); ++p) {
        f.c(g, p) *= factor;
        f.demand[p] *= incident_daf;
    }
}

// A planned event's factors over its periods and segments; indexes beyond the facility are
// skipped, and an index listed twice applies twice. `segments` none means every segment.
void apply_planned_event(const std::optional<std::vector<std::size_t>>& periods,
                         const std::vector<std::size_t>* segments, double caf, double saf, double daf,
                         ScenarioFactors& f) {
    auto one_period = [&](std::size_t p) {
        if (p >= f.periods) return;
        if (segments) {
            for (std::size_t g : *segments) {
                if (g >= f.segments) continue;
                f.c(g, p) *= caf;
                f.s(g, p) *= saf;
            }
        } else {
            for (std::size_t g = 0; g < f.segments; ++g) {
                f.c(g, p) *= caf;
                f.s(g, p) *= saf;
            }
        }
        f.demand[p] *= daf;
    };
    if (periods) {
        for (std::size_t p : *periods) one_period(p);
    } else {
        for (std::size_t p = 0; p < f.periods; ++p) one_period(p);
    }
}

void apply_work_zone(const WorkZoneEvent& zone, ScenarioFactors& f) {
    apply_planned_event(zone.periods, &zone.segments, zone.caf, zone.saf, zone.daf, f);
}

void apply_special_event(const SpecialEvent& event, ScenarioFactors& f) {
    apply_planned_event(event.periods, event.segments ? &*event.segments : nullptr, event.caf, event.saf, event.daf,
                        f);
}

// ---- Applying the factors to the scenario's facility -------------------------------------------------

// target[i] = seed[i] x D[i] for the analysis periods; entries beyond them keep the seed's value.
void scale_by_period(const std::vector<double>& seed, const std::vector<double>& factor, std::vector<double>& target) {
    target.resize(seed.size());
    const std::size_t scaled = std::min(seed.size(), factor.size());
    for (std::size_t i = 0; i < scaled; ++i) target[i] = seed[i] * factor[i];
    std::copy(seed.begin() + static_cast<std::ptrdiff_t>(scaled), seed.end(),
              target.begin() + static_cast<std::ptrdiff_t>(scaled));
}

// The schedule of P entries: the seed schedule's entry (the scalar factor past its end) times the
// scenario's factor of the period.
void factored_schedule(const std::optional<std::vector<double>>& seed_schedule, double scalar, const double* factor,
                       std::size_t periods, std::optional<std::vector<double>>& target) {
    if (!target) target.emplace();
    target->resize(periods);
    for (std::size_t p = 0; p < periods; ++p) target->data()[p] = ff::entry_or(seed_schedule, p, scalar) * factor[p];
}

// ---- The run's bookkeeping -----------------------------------------------------------------------

double segment_length_mi(const ff::FacilitySegment& segment) { return segment.length_ft / FT_PER_MI; }

}  // namespace

double free_flow_travel_time_min(const FreewayFacility& facility) {
    double minutes = 0.0;
    for (const auto& s : facility.segments) {
        minutes += segment_length_mi(s) / ff::segment_ffs(facility, s) * MINUTES_PER_HOUR;
    }
    return minutes;
}

SeedStatistics seed_statistics(const FreewayFacility& facility) {
    FreewayFacility built = facility;
    ff::compute_demands(built);
    SeedStatistics seed;
    seed.num_periods = ff::num_periods(facility);
    seed.ffs = facility.ffs;
    seed.segment_vmt.resize(built.demand.size());
    for (std::size_t g = 0; g < built.demand.size(); ++g) {
        const double length_mi = segment_length_mi(facility.segments[g]);
        auto& row = seed.segment_vmt[g];
        row.reserve(built.demand[g].size());
        for (double demand : built.demand[g]) row.push_back(demand * HOURS_PER_PERIOD * length_mi);
    }
    seed.segment_lanes.reserve(facility.segments.size());
    for (const auto& s : facility.segments) seed.segment_lanes.push_back(s.lanes);
    return seed;
}

void scenario_factors(const FreewayScenario& scenario, const ScenarioGenerationConfig& config,
                      const FreewayFacility& seed, ScenarioFactors& factors) {
    factors.segments = seed.segments.size();
    factors.periods = ff::num_periods(seed);
    factors.demand.assign(factors.periods, scenario.daf);
    factors.capacity.assign(factors.segments * factors.periods, 1.0);
    factors.speed.assign(factors.segments * factors.periods, 1.0);

    const double weather_daf = config.weather ? config.weather->daf : 1.0;
    for (const auto& event : scenario.weather_events) apply_weather(event, weather_daf, factors);
    const double incident_daf = config.incidents ? config.incidents->daf : 1.0;
    if (factors.segments > 0) {
        for (const auto& incident : scenario.incidents) apply_incident(incident, incident_daf, seed, factors);
    }
    for (std::size_t k : scenario.work_zones) apply_work_zone(config.work_zones.at(k), factors);
    for (std::size_t j : scenario.special_events) apply_special_event(config.special_events.at(j), factors);
}

void apply_scenario(const ScenarioFactors& factors, const FreewayFacility& seed, FreewayFacility& target) {
    scale_by_period(seed.mainline_demand, factors.demand, target.mainline_demand);
    for (std::size_t g = 0; g < seed.segments.size(); ++g) {
        const auto& from = seed.segments[g];
        auto& to = target.segments[g];
        scale_by_period(from.on_ramp_demand, factors.demand, to.on_ramp_demand);
        scale_by_period(from.off_ramp_demand, factors.demand, to.off_ramp_demand);
        scale_by_period(from.ramp_to_ramp_demand, factors.demand, to.ramp_to_ramp_demand);
        factored_schedule(from.caf_schedule, from.caf, &factors.capacity[g * factors.periods], factors.periods,
                          to.caf_schedule);
        factored_schedule(from.saf_schedule, from.saf, &factors.speed[g * factors.periods], factors.periods,
                          to.saf_schedule);
    }
}

ScenarioOutcome evaluate_scenario_run(const FreewayFacility& run, double probability, double free_flow_travel_time_min,
                                      bool vmt_weighted, std::vector<TravelTimeObservation>& observations) {
    ScenarioOutcome out;
    out.result.probability = probability;
    const std::size_t periods = ff::num_periods(run);
    out.result.tti.reserve(periods);
    for (std::size_t p = 0; p < periods; ++p) {
        // A segment without a positive speed counts as driven at 1 mi/h.
        double minutes = 0.0;
        for (std::size_t g = 0; g < run.segments.size(); ++g) {
            double hours = segment_length_mi(run.segments[g]);
            const double speed = run.speed[g][p];
            if (speed > 0.0) hours /= speed;
            minutes += hours * MINUTES_PER_HOUR;
        }
        const double quotient = minutes / free_flow_travel_time_min;
        const double tti = std::isnan(quotient) ? 1.0 : std::max(quotient, 1.0);
        const auto& performance = run.facility_performance[p];
        const double weight = vmt_weighted ? performance.vmt_served * probability : probability;
        if (weight > 0.0 && !std::isinf(tti)) observations.push_back({tti, weight});
        out.result.tti.push_back(tti);
        out.vhd += performance.vhd;
    }
    return out;
}

void run(ReliabilityAnalysis& analysis) {
    const FreewayFacility& seed = analysis.facility;
    ff::validate(seed);
    ReliabilityResults results;
    results.free_flow_travel_time_min = free_flow_travel_time_min(seed);
    if (!(results.free_flow_travel_time_min > 0.0)) throw Error("free-flow travel time must be positive");
    // A segment free-flow speed of 0 makes it infinite, and every TTI would read 1.0.
    if (std::isinf(results.free_flow_travel_time_min)) {
        throw Error("free-flow travel time is not finite: a segment free-flow speed is 0 mi/h or too small");
    }

    ScenarioSet set = scenario_generation::generate_scenarios(analysis.scenario_generation, seed_statistics(seed));
    results.scenario_results.reserve(set.scenarios.size());
    // One scratch copy of the seed serves every scenario: apply_scenario rewrites every input a
    // scenario changes, and the analysis rewrites every result, in the storage of the last one.
    FreewayFacility scratch = seed;
    ScenarioFactors factors;
    for (const FreewayScenario& scenario : set.scenarios) {
        base::poll_cancel();
        scenario_factors(scenario, analysis.scenario_generation, seed, factors);
        apply_scenario(factors, seed, scratch);
        ff::run_analysis_in_place(scratch);
        ScenarioOutcome outcome = evaluate_scenario_run(scratch, scenario.probability,
                                                        results.free_flow_travel_time_min, analysis.vmt_weighted,
                                                        results.observations);
        results.expected_vhd += outcome.vhd * scenario.probability;
        results.scenario_results.push_back(std::move(outcome.result));
    }
    results.metrics = TravelTimeDistribution(results.observations).metrics();
    results.scenario_set = std::move(set);
    analysis.results = std::move(results);
}

// ---- Measures ----------------------------------------------------------------------------------------

double tti_mean(std::span<const TravelTimeObservation> observations) {
    return TravelTimeDistribution(observations).metrics().tti_mean;
}

double reliability_rating(std::span<const TravelTimeObservation> observations) {
    return TravelTimeDistribution(observations).metrics().reliability_rating;
}

double semi_std_dev(std::span<const TravelTimeObservation> observations) {
    return TravelTimeDistribution(observations).metrics().semi_std_dev;
}

double tti_percentile(std::span<const TravelTimeObservation> observations, double p) {
    return TravelTimeDistribution(observations).percentile(p);
}

double misery_index(std::span<const TravelTimeObservation> observations) {
    return TravelTimeDistribution(observations).misery_index();
}

double failure_pct_below_speed(const ReliabilityAnalysis& analysis, double target_speed_mi_h) {
    const double fftt = analysis.results.free_flow_travel_time_min;
    if (!(target_speed_mi_h > 0.0) || !(fftt > 0.0)) return 0.0;
    double length_mi = 0.0;
    for (const auto& s : analysis.facility.segments) length_mi += segment_length_mi(s);
    const double threshold = length_mi / (fftt / MINUTES_PER_HOUR) / target_speed_mi_h;
    return TravelTimeDistribution(analysis.results.observations).percent_weight_above(threshold);
}

const ReliabilityMetrics& stored_metrics(const ReliabilityAnalysis& analysis) {
    if (!analysis.results.metrics) throw Error("run() must be called first");
    return *analysis.results.metrics;
}

const ScenarioSet& stored_scenario_set(const ReliabilityAnalysis& analysis) {
    if (!analysis.results.scenario_set) throw Error("run() must be called first");
    return *analysis.results.scenario_set;
}

// ---- The reliability document -----------------------------------------------------------------------

const jsonio::Record<ReliabilityAnalysis>& json_record(jsonio::Tag<ReliabilityAnalysis>) {
    using R = ReliabilityAnalysis;
    static const jsonio::Record<R> record{
        "ReliabilityAnalysis",
        {
            jsonio::with_default("facility", &R::facility, FreewayFacility{}),
            jsonio::with_default("scenario_generation", &R::scenario_generation, ScenarioGenerationConfig{}),
            jsonio::with_default("vmt_weighted", &R::vmt_weighted, true),
        },
        jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

ReliabilityAnalysis read_reliability_document(std::string_view text) {
    return jsonio::read_document<ReliabilityAnalysis>(text);
}

}  // namespace hcm::freeway_reliability::reliability
