// Python class and function of the urban street reliability chapter (HCM Chapter 17).
#include <optional>
#include <string>
#include <vector>

#include "hcm/common/error.hpp"
#include "hcm/urban_reliability/urban_reliability.hpp"
#include "vevuruvu/boundary/kit.hpp"
#include "vevuruvu/chapters.hpp"

namespace ur = hcm::urban_reliability::urban_reliability;

VEVURUVU_PYTHON_CLASS(ur::UrbanReliability);

namespace vevuruvu::urban_reliability {

namespace py = pybind11;
using namespace boundary;
using ur::UrbanReliability;
using ur::UrbanReliabilityResults;

namespace {

// A value of the last run's results; None before a successful run.
template <auto Member>
std::optional<double> result(const UrbanReliability& u) {
    return u.results ? std::optional<double>((*u.results).*Member) : std::nullopt;
}

std::string results_json(const UrbanReliability& u) {
    if (!u.results) throw hcm::Error("run() must be called first");
    try {
        return ur::write_results(*u.results);
    } catch (const hcm::Error& e) {
        throw hcm::Error(std::string("serialization failed: ") + e.what());
    }
}

template <auto Member>
std::vector<double> outcome_values(const UrbanReliability& u) {
    std::vector<double> out;
    out.reserve(u.scenario_outcomes.size());
    for (const auto& o : u.scenario_outcomes) out.push_back(o.*Member);
    return out;
}

std::string study_str(const UrbanReliability& u) {
    return "Urban street reliability analysis with " + std::to_string(u.scenario_outcomes.size()) + " scenarios";
}

std::string study_repr(const UrbanReliability& u) {
    return "UrbanReliability(segments=" + std::to_string(u.facility.segments.size()) +
           ", scenarios=" + std::to_string(u.scenario_outcomes.size()) +
           ", incidents=" + std::to_string(u.incidents.size()) + ")";
}

}  // namespace

void register_(py::module_& m) {
    ClassDef<UrbanReliability>(
        m, "UrbanReliability",
        "HCM Chapter 17 urban street reliability analysis.\n\n"
        "Construct from a JSON configuration with a `facility` key (Chapter 16\n"
        "`UrbanFacility` schema, subject direction), a `config` key (reliability\n"
        "reporting period, weather statistics, incident inputs, boundary signal data,\n"
        "Monte Carlo seeds) and an optional `atdm_strategies` array of alternative-dataset\n"
        "hooks. Call `run()`, then read the results.\n\n"
        "The document's keys, units, defaults and words: docs/json-reference.md, section UrbanReliability.")
        .method_mut("run",
                    "Run the study: the base facility, the weather record, the incidents, one\n"
                    "scenario per analysis period of every reporting-period day, and the\n"
                    "travel-time-index distribution. Replaces the results of any earlier run.",
                    [](UrbanReliability& u) { ur::run(u); })
        .readonly("num_scenarios", "Number of scenarios of the last run (0 before a run).",
                  [](const UrbanReliability& u) { return u.results ? u.results->num_scenarios : 0; })
        .readonly("num_weather_events", "Precipitation events of the two-year weather record (0 before a run).",
                  [](const UrbanReliability& u) { return u.weather_events.size(); })
        .readonly("num_incidents", "Incidents drawn for the reporting-period days (0 before a run).",
                  [](const UrbanReliability& u) { return u.incidents.size(); })
        .readonly("base_free_flow_travel_time_s", "Facility travel time at the base free-flow speed, s.",
                  result<&UrbanReliabilityResults::base_free_flow_travel_time_s>)
        .readonly("mean_travel_time_s", "Mean facility travel time over the scenarios, s.",
                  result<&UrbanReliabilityResults::mean_travel_time_s>)
        .method("tti_mean", "Weighted mean travel time index of the observations.",
                [](const UrbanReliability& u) { return ur::tti_mean(u.observations); })
        .method("tti_percentile",
                "Weighted percentile of the travel time index for p percent (0 to 100; 95 gives\n"
                "the planning time index).",
                params(req<double>("p")),
                [](const UrbanReliability& u, double p) {
                    return hcm::common::reliability::TravelTimeDistribution(u.observations).percentile(p);
                })
        .method("reliability_rating", "Percent of the observation weight with a travel time index of at most 2.5.",
                [](const UrbanReliability& u) { return ur::reliability_rating(u.observations); })
        .readonly("total_vhd", "Through-movement vehicle-hours of delay over the reporting period.",
                  result<&UrbanReliabilityResults::total_vhd>)
        .method("results", "Summary of the last run as compact JSON.", results_json)
        .method("scenario_travel_times", "Facility travel time of every scenario in order, s.",
                outcome_values<&ur::UrbanScenarioOutcome::travel_time_s>)
        .method("scenario_tti", "Travel time index of every scenario in order.",
                outcome_values<&ur::UrbanScenarioOutcome::tti>)
        .json_document({.param = "config_json",
                        .required = true,
                        .read = ur::read_urban_reliability,
                        .read_error = "invalid UrbanReliability JSON: "})
        .str(study_str)
        .repr(study_repr);

    add_function(m, "adaptive_signal_sat_flow_adjustment",
                 "HCM Chapter 37, Section 5 adaptive signal control strategy: an approximate\n"
                 "boundary-intersection saturation flow adjustment equivalent to a target delay\n"
                 "reduction, for the sat_flow_adjustment of an AtdmStrategy (the\n"
                 "atdm_strategies[].sat_flow_adjustment entry of the JSON configuration).\n\n"
                 "A modelling simplification: Chapter 37 publishes only the illustrative range of\n"
                 "delay reductions of 3 % to 24 % (Exhibit 37-9). target_delay_reduction_pct is the\n"
                 "desired delay reduction in percent, None meaning the midpoint 13.5 %, always\n"
                 "clamped to [3, 24]. Returns 1 / (1 - p / 100), a factor of at least 1.0.",
                 params(opt<double>("target_delay_reduction_pct")), ur::adaptive_signal_sat_flow_adjustment);
}

}  // namespace vevuruvu::urban_reliability
