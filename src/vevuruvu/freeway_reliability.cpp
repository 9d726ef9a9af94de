// Python class and functions of HCM Chapter 11: the freeway reliability study (FreewayReliability),
// the planning-level method, and the Chapter 37 capacity factors and ramp-metering rate that feed a
// study.
#include <cstdint>
#include <optional>
#include <string>
#include <tuple>

#include "base/format.hpp"
#include "hcm/common/atdm.hpp"
#include "hcm/freeway_reliability/reliability.hpp"
#include "hcm/freeway_reliability/reliability_analysis.hpp"
#include "hcm/freeway_reliability/scenario_json.hpp"
#include "vevuruvu/boundary/kit.hpp"
#include "vevuruvu/chapters.hpp"

namespace rel = hcm::freeway_reliability::reliability;

VEVURUVU_PYTHON_CLASS(rel::ReliabilityAnalysis);

namespace vevuruvu::freeway_reliability {

namespace py = pybind11;
using namespace boundary;
namespace atdm = hcm::common::atdm;
using rel::ReliabilityAnalysis;

namespace {

std::string reliability_str(const ReliabilityAnalysis& a) {
    return "Freeway reliability analysis with " + std::to_string(a.results.scenario_results.size()) + " scenarios";
}

std::string reliability_repr(const ReliabilityAnalysis& a) {
    return "FreewayReliability(scenarios=" + std::to_string(a.results.scenario_results.size()) +
           ", observations=" + std::to_string(a.results.observations.size()) +
           ", fftt=" + base::fixed(a.results.free_flow_travel_time_min, 2) + " min)";
}

void add_freeway_reliability(py::module_& m) {
    ClassDef<ReliabilityAnalysis>(m, "FreewayReliability", "")
        .json_document({.read = rel::read_reliability_document, .read_error = "invalid reliability JSON: "})
        .method_mut("run", "Run the full reliability methodology (Steps B-1 through B-13).",
                    [](ReliabilityAnalysis& a) { rel::run(a); })
        .readonly("num_scenarios", "Number of generated scenarios.",
                  [](const ReliabilityAnalysis& a) { return a.results.scenario_results.size(); })
        .readonly("num_observations", "Number of observations in the travel time distribution.",
                  [](const ReliabilityAnalysis& a) { return a.results.observations.size(); })
        .readonly("free_flow_travel_time_min", "Free-flow facility travel time, min.",
                  [](const ReliabilityAnalysis& a) { return a.results.free_flow_travel_time_min; })
        .readonly("expected_vhd",
                  "Probability-weighted expected vehicle hours of delay per study\nperiod, veh-h.",
                  [](const ReliabilityAnalysis& a) { return a.results.expected_vhd; })
        .method("metrics",
                "Reliability performance measures (Step B-11) as a JSON object:\n"
                "tti_mean, tti_50, tti_80, tti_95 (PTI), tti_max, misery_index,\n"
                "reliability_rating, semi_std_dev, std_dev, pct_tti_above_2.",
                [](const ReliabilityAnalysis& a) { return hcm::common::reliability::to_json(rel::stored_metrics(a)); })
        .method("tti_mean", "Mean travel time index.",
                [](const ReliabilityAnalysis& a) { return rel::tti_mean(a.results.observations); })
        .method("tti_percentile", "Weighted percentile TTI (p in 0-100), e.g. 95 for the PTI.",
                params(req<double>("p")),
                [](const ReliabilityAnalysis& a, double p) { return rel::tti_percentile(a.results.observations, p); })
        .method("misery_index", "Misery index (mean of the worst 5% of TTIs).",
                [](const ReliabilityAnalysis& a) { return rel::misery_index(a.results.observations); })
        .method("reliability_rating",
                "Reliability rating, % (weighted share with TTI < 1.33).",
                [](const ReliabilityAnalysis& a) { return rel::reliability_rating(a.results.observations); })
        .method("semi_std_dev", "Semi-standard deviation (one-sided about TTI = 1).",
                [](const ReliabilityAnalysis& a) { return rel::semi_std_dev(a.results.observations); })
        .method("failure_pct_below_speed",
                "Percentage of the weighted distribution below the target space mean\nspeed (failure measure), %.",
                params(req<double>("target_speed_mi_h")), rel::failure_pct_below_speed)
        .method("scenario_tti", "Per-scenario TTI matrix [scenario][period].",
                [](const ReliabilityAnalysis& a) {
                    py::list out(a.results.scenario_results.size());
                    for (std::size_t i = 0; i < a.results.scenario_results.size(); ++i) {
                        out[i] = to_py(a.results.scenario_results[i].tti);
                    }
                    return out;
                })
        .method("scenario_probabilities", "Scenario probabilities.",
                [](const ReliabilityAnalysis& a) {
                    py::list out(a.results.scenario_results.size());
                    for (std::size_t i = 0; i < a.results.scenario_results.size(); ++i) {
                        out[i] = py::float_(a.results.scenario_results[i].probability);
                    }
                    return out;
                })
        .method("scenario_set_json",
                "Serialize the generated scenario set (scenarios, expected weather\n"
                "event counts, monthly incident frequencies) to JSON.",
                [](const ReliabilityAnalysis& a) {
                    return hcm::freeway_reliability::scenario_generation::scenario_set_to_json(
                        rel::stored_scenario_set(a));
                })
        .str(reliability_str)
        .repr(reliability_repr);
}

}  // namespace

void register_(py::module_& m) {
    add_freeway_reliability(m);
    add_function(m, "planning_reliability",
                 "Chapter 11 planning-level reliability method (Equations 11-1 through\n"
                 "11-5): returns (TTI_mean, TTI_95, PT_45) for a facility with the given\n"
                 "free-flow speed (mi/h), peak-hour speed (mi/h), directional lanes, and\n"
                 "peak-hour volume-to-capacity ratio.",
                 params(req<double>("ffs"), req<double>("peak_speed"), req<std::uint32_t>("lanes"),
                        req<double>("vc_ratio")),
                 [](double ffs, double peak_speed, std::uint32_t lanes, double vc_ratio) {
                     const rel::PlanningReliability r = rel::planning_reliability(ffs, peak_speed, lanes, vc_ratio);
                     return std::tuple{r.tti_mean, r.tti_95, r.pt_45};
                 });
    add_function(m, "shoulder_lane_caf",
                 "HCM Chapter 37, Section 3 shoulder/median lane strategy: the total-segment CAF for\n"
                 "opening a shoulder or median lane (Equation 37-1), for use as the caf of a\n"
                 "WorkZoneEvent (a scenario_generation.work_zones[].caf entry of the reliability\n"
                 "document).\n\n"
                 "shoulder_capacity_veh_h_ln: capacity of the shoulder/median lane itself (for a\n"
                 "general-traffic auxiliary lane, half a normal lane's capacity, as\n"
                 "shoulder_lane_default_capacity_veh_h_ln gives); mixed_flow_capacity_veh_h_ln: capacity\n"
                 "of a normal mixed-flow lane; mixed_flow_lanes: mixed-flow lanes in the section.\n\n"
                 "Returns 1 + shoulder / (mixed-flow capacity x lanes), at least 1.0.",
                 params(req<double>("shoulder_capacity_veh_h_ln"), req<double>("mixed_flow_capacity_veh_h_ln"),
                        req<std::uint32_t>("mixed_flow_lanes")),
                 rel::shoulder_lane_caf);
    add_function(m, "shoulder_lane_default_capacity_veh_h_ln",
                 "Default capacity (veh/h/ln) of an auxiliary shoulder/median lane open to all traffic:\n"
                 "half a normal mixed-flow lane's capacity (HCM Chapter 37, Section 3).",
                 params(req<double>("mixed_flow_capacity_veh_h_ln")), rel::shoulder_lane_default_capacity_veh_h_ln);
    add_function(m, "ramp_metered_merge_caf",
                 "HCM Chapter 37, Section 4 ramp-metering strategy: the capacity adjustment factor\n"
                 "recommended for freeway merge segments while ramp metering is in operation (1.03).",
                 [] { return rel::RAMP_METERED_MERGE_CAF; });
    add_function(m, "alinea_metering_rate",
                 "HCM Equation 37-2: the ALINEA-derived locally dynamic ramp-metering rate R(t).\n\n"
                 "Arguments in HCM symbols: downstream capacity CM (veh/h), upstream volume VM(t) (veh/h),\n"
                 "ramp volume VR(t) (veh/h), ramp queue at the end of the previous period QR(t-1) (veh),\n"
                 "ramp queue storage QRS (veh), metered lanes NR, and the minimum and maximum rates\n"
                 "(veh/h/ln, defaults 240 and 900).\n\n"
                 "Returns R(t) (veh/h/ln): the larger of (CM - VM) / NR and (VR + QR(t-1) - QRS) / NR,\n"
                 "raised to the minimum and capped at the maximum; the maximum when NR is 0.",
                 params(req<double>("downstream_capacity_veh_h"), req<double>("upstream_volume_veh_h"),
                        req<double>("ramp_volume_veh_h"), req<double>("ramp_queue_prev_veh"),
                        req<double>("ramp_queue_storage_veh"), req<std::uint32_t>("metered_lanes"),
                        opt<double>("min_rate_veh_h_ln"), opt<double>("max_rate_veh_h_ln")),
                 [](double capacity, double upstream, double ramp, double queue_prev, double storage,
                    std::uint32_t lanes, std::optional<double> min_rate, std::optional<double> max_rate) {
                     return atdm::alinea_metering_rate(lanes, capacity, upstream, ramp, queue_prev, storage,
                                                       min_rate.value_or(atdm::DEFAULT_MIN_METERING_RATE_VEH_H_LN),
                                                       max_rate.value_or(atdm::DEFAULT_MAX_METERING_RATE_VEH_H_LN));
                 });
}

}  // namespace vevuruvu::freeway_reliability
