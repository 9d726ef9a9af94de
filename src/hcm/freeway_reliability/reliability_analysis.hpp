#pragma once
// HCM Chapter 11 freeway reliability, the evaluation half: every scenario of the study applied to
// the seed facility and run through the Chapter 10 core method, the per-period travel time index
// (TTI) of each run, the weighted TTI distribution, the probability-weighted expected delay and the
// reliability metrics.
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "hcm/common/reliability.hpp"
#include "hcm/freeway_facilities/freeway_facilities.hpp"
#include "hcm/freeway_reliability/scenario_generation.hpp"
#include "json/record_fwd.hpp"

namespace hcm::freeway_reliability::reliability {

using common::reliability::ReliabilityMetrics;
using common::reliability::TravelTimeObservation;
using freeway_facilities::freeway_facilities::FreewayFacility;
using scenario_generation::FreewayScenario;
using scenario_generation::ScenarioGenerationConfig;
using scenario_generation::ScenarioSet;
using scenario_generation::SeedStatistics;

// One evaluated scenario: its probability and the TTI of each analysis period.
struct ScenarioResult {
    double probability = 0.0;
    std::vector<double> tti;
};

// What one successful run produces; a run replaces all of it at once.
struct ReliabilityResults {
    double free_flow_travel_time_min = 0.0;
    double expected_vhd = 0.0;  // veh-h per study period
    std::vector<ScenarioResult> scenario_results;       // scenario order
    std::vector<TravelTimeObservation> observations;    // scenario order, then period order
    std::optional<ReliabilityMetrics> metrics;          // none before the first successful run
    std::optional<ScenarioSet> scenario_set;
};

// A whole reliability study: the reliability document's inputs and the results of the last run.
struct ReliabilityAnalysis {
    FreewayFacility facility;  // the seed facility, carrying the seed day's demand
    ScenarioGenerationConfig scenario_generation;
    bool vmt_weighted = true;  // observation weight: served VMT x probability, else the probability
    ReliabilityResults results;
};

// ---- The steps of a run ---------------------------------------------------------------------------

// Free-flow travel time through the facility, minutes: sum of (L_i / 5280) / FFS_i x 60.
double free_flow_travel_time_min(const FreewayFacility& facility);

// The seed facility as scenario generation sees it: vehicle-miles per segment and 15-minute period
// from the built-up demands, lanes, period count and facility free-flow speed.
SeedStatistics seed_statistics(const FreewayFacility& facility);

// The demand, capacity and speed factors of one scenario over N segments and P periods: D[p],
// C[g][p] and S[g][p], stored row by row (segment g, period p at g x P + p).
struct ScenarioFactors {
    std::size_t segments = 0;
    std::size_t periods = 0;
    std::vector<double> demand;    // D, P entries
    std::vector<double> capacity;  // C, N x P
    std::vector<double> speed;     // S, N x P

    double& c(std::size_t g, std::size_t p) { return capacity[g * periods + p]; }
    double& s(std::size_t g, std::size_t p) { return speed[g * periods + p]; }
};

// Fills `factors` for a scenario: D starts at the scenario's daf, C and S at 1; then the weather
// events, incidents, work zones and special events multiply in, in that order (the order of the
// multiplications is part of the result's rounding). Reuses the buffers of `factors`.
void scenario_factors(const FreewayScenario& scenario, const ScenarioGenerationConfig& config,
                      const FreewayFacility& seed, ScenarioFactors& factors);

// Writes the scenario's inputs into `target`, a facility with the seed's segments: the mainline and
// ramp demands are the seed's times D[p] (ramp entries beyond the last period keep the seed's
// value), and each segment's caf_schedule and saf_schedule become exactly P entries, the seed's
// schedule entry (or scalar factor where the schedule has none) times C[g][p] or S[g][p]. Nothing
// else of `target` is touched, so one scratch copy of the seed serves every scenario.
void apply_scenario(const ScenarioFactors& factors, const FreewayFacility& seed, FreewayFacility& target);

// The scenario facility's TTIs, delay and observations after its run (see run()).
struct ScenarioOutcome {
    ScenarioResult result;
    double vhd = 0.0;  // sum over the periods, veh-h
};
ScenarioOutcome evaluate_scenario_run(const FreewayFacility& run, double probability, double free_flow_travel_time_min,
                                      bool vmt_weighted, std::vector<TravelTimeObservation>& observations);

// The whole method (Steps B-1 through B-13): validates the seed facility, generates the scenario
// set, runs every scenario and summarises. On success every result of `analysis` is replaced; on
// failure (hcm::Error carrying the first failing message) nothing of `analysis` changes.
void run(ReliabilityAnalysis& analysis);

// ---- Measures over the stored observations ----------------------------------------------------------

double tti_mean(std::span<const TravelTimeObservation> observations);
double reliability_rating(std::span<const TravelTimeObservation> observations);
double semi_std_dev(std::span<const TravelTimeObservation> observations);
double tti_percentile(std::span<const TravelTimeObservation> observations, double p);
double misery_index(std::span<const TravelTimeObservation> observations);

// Percent of the weight whose TTI lies above the TTI at which the facility's space mean speed
// equals the target, L / (FFTT / 60) / target; 0 for a target or FFTT not above 0.
double failure_pct_below_speed(const ReliabilityAnalysis& analysis, double target_speed_mi_h);

// The metrics and scenario set of the last successful run; hcm::Error "run() must be called first"
// before one.
const ReliabilityMetrics& stored_metrics(const ReliabilityAnalysis& analysis);
const ScenarioSet& stored_scenario_set(const ReliabilityAnalysis& analysis);

// ---- The reliability document ---------------------------------------------------------------------

const jsonio::Record<ReliabilityAnalysis>& json_record(jsonio::Tag<ReliabilityAnalysis>);

// Reads the document (keys `facility`, `scenario_generation`, `vmt_weighted`, each optional);
// a failure is a base::Error carrying the parser's message alone.
ReliabilityAnalysis read_reliability_document(std::string_view text);

}  // namespace hcm::freeway_reliability::reliability
