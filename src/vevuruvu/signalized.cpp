// Python class and functions of HCM Chapter 19: SignalizedIntersection, the motorized-vehicle
// analysis of one intersection document, and the pedestrian, bicycle and two-stage crossing
// methods, each taking JSON text.
#include <string>

#include "base/format.hpp"
#include "hcm/signalized/actuated.hpp"
#include "hcm/signalized/bicycle.hpp"
#include "hcm/signalized/pedestrian.hpp"
#include "hcm/signalized/signalized.hpp"
#include "vevuruvu/boundary/kit.hpp"
#include "vevuruvu/chapters.hpp"

namespace si = hcm::signalized::signalized;

VEVURUVU_PYTHON_CLASS(si::SignalizedIntersection);

namespace vevuruvu::signalized {

namespace py = pybind11;
using namespace boundary;
namespace ped = hcm::signalized::pedestrian;
namespace bike = hcm::signalized::bicycle;
using si::SignalizedIntersection;

namespace {

std::string describe(const SignalizedIntersection& x) {
    if (!x.intersection_delay_s || !x.intersection_los) return "Signalized intersection (not yet analyzed)";
    return "Signalized intersection: control delay " + base::fixed(*x.intersection_delay_s, 1) + " s/veh, LOS " +
           hcm::common::letter(*x.intersection_los);
}

std::string signalized_repr(const SignalizedIntersection& x) {
    return "SignalizedIntersection(cycle=" + base::fixed(x.cycle_length_s, 1) +
           "s, approaches=" + std::to_string(x.approaches.size()) +
           ", delay=" + base::debug_opt(x.intersection_delay_s) +
           ", los=" + hcm::common::debug_opt(x.intersection_los) + ")";
}

void register_intersection(py::module_& m) {
    const auto direction = params(req<std::string>("direction"));
    ClassDef<SignalizedIntersection>(m, "SignalizedIntersection", "")
        .json_document({.required = true,
                        .read = si::intersection_from_json,
                        .from_json = "Alias constructor mirroring `SignalizedIntersection(json)`.",
                        .write = si::intersection_to_json,
                        .to_json = "Serialize the facility (inputs and computed results) to JSON."})
        .method_mut("analyze",
                    "Run the full HCM Chapter 19 motorized vehicle methodology\n"
                    "(Steps 1-10 of Exhibit 19-18) for pretimed / coordinated timing.",
                    si::analyze)
        .method("lane_groups_json",
                "Lane-group results as a JSON array (direction, kind, flow rate,\n"
                "saturation flow, capacity, v/c ratio, d1/d2/d3, control delay, LOS,\n"
                "back of queue, and queue storage ratio per lane group).",
                [](const SignalizedIntersection& x) { return si::lane_groups_to_json(x.lane_groups); })
        .method("approach_los", "Approach LOS letter for a direction (HCM Exhibit 19-8).", direction,
                [](const SignalizedIntersection& x, const std::string& d) { return si::approach_result_of(x, d).los; })
        .method("approach_delay_s",
                "Approach control delay for a direction (\"NB\", \"SB\", \"EB\" or \"WB\"), s/veh\n"
                "(HCM Equation 19-28).",
                direction,
                [](const SignalizedIntersection& x, const std::string& d) {
                    return si::approach_result_of(x, d).control_delay_s;
                })
        .method("estimate_rtor_volume",
                "Estimate the right-turn-on-red flow rate of an approach (\"NB\", \"SB\", \"EB\"\n"
                "or \"WB\"), veh/h, by the HCM Chapter 31, Section 8 exclusive right-turn lane\n"
                "rule: the complementary cross-street protected left-turn demand, capped at\n"
                "the right-turn demand. Returns 0.0 for shared right-turn lanes or without a\n"
                "complementary protected left turn.",
                direction,
                [](const SignalizedIntersection& x, const std::string& d) {
                    return si::estimate_rtor_volume(x, base::parse_option(si::DIRECTION_WORDS, d));
                })
        .method_mut("apply_rtor_estimates",
                    "Populate each approach's RTOR flow rate with the Chapter 31 exclusive\n"
                    "right-turn-lane estimate where none was supplied (none above 0): an earlier\n"
                    "estimate, in a saved document say, is kept. Call before `analyze()`.",
                    si::apply_rtor_estimates)
        .method("actuated_timings_json",
                "Estimate the average actuated phase durations from the controller\n"
                "settings (HCM Chapter 31, Section 2, Equations 31-1 through 31-45) and\n"
                "return them as a JSON array of per-phase results (phase number,\n"
                "duration, green interval, queue service time, green extension time,\n"
                "equivalent maximum allowable headway, and max-out / call\n"
                "probabilities). Requires `analyze()` to have been called first.\n\n"
                "Args:\n"
                "    simultaneous_gap_out: whether the through phases terminating at\n"
                "        each barrier are set for simultaneous gap-out.",
                params(req<bool>("simultaneous_gap_out")), hcm::signalized::actuated::actuated_timings_json)
        .readonly("cycle_length_s", "Cycle length C, s.", &SignalizedIntersection::cycle_length_s)
        .readonly("analysis_period_h", "Analysis period duration T, h.", &SignalizedIntersection::analysis_period_h)
        .readonly("intersection_delay_s",
                  "Intersection control delay d_I, s/veh (HCM Equation 19-29).\n"
                  "None before `analyze()` is called.",
                  &SignalizedIntersection::intersection_delay_s)
        .readonly("intersection_los", "Intersection LOS letter (HCM Exhibit 19-8), e.g. \"D\".",
                  &SignalizedIntersection::intersection_los)
        .readonly("critical_vc_ratio",
                  "Critical intersection volume-to-capacity ratio X_c\n"
                  "(HCM Equation 19-30).",
                  &SignalizedIntersection::critical_vc_ratio)
        .readonly("num_lane_groups", "Number of lane groups established by Step 1.",
                  [](const SignalizedIntersection& x) { return x.lane_groups.size(); })
        .str(describe)
        .repr(signalized_repr);
}

}  // namespace

void register_(py::module_& m) {
    register_intersection(m);
    add_function(m, "analyze_signalized_bicycle",
                 "Evaluate the bicycle LOS at a signalized intersection - HCM Chapter 19,\n"
                 "Section 6. Takes a JSON `BicycleIntersection` config; returns a JSON\n"
                 "`BicycleIntersectionAnalysis` (capacity, delay, LOS score, LOS).",
                 params(req<std::string>("config_json")),
                 [](const std::string& config) { return bike::analyze_signalized_bicycle(config); });
    add_function(m, "analyze_signalized_pedestrian",
                 "Evaluate the pedestrian LOS at a signalized intersection - HCM Chapter 19,\n"
                 "Section 5 (Steps 1-3). Takes a JSON `PedestrianIntersection` config; returns\n"
                 "a JSON `PedestrianIntersectionAnalysis` (delay, LOS score, LOS).",
                 params(req<std::string>("config_json")),
                 [](const std::string& config) { return ped::analyze_signalized_pedestrian(config); });
    add_function(m, "signalized_two_stage_crossing_delay",
                 "Pedestrian delay for a two-stage crossing of one intersection leg\n"
                 "(s/pedestrian) - HCM Chapter 19, Equations 19-78 through 19-88. Takes a JSON\n"
                 "`TwoStageCrossing` config.",
                 params(req<std::string>("config_json")),
                 [](const std::string& config) { return ped::signalized_two_stage_crossing_delay(config); });
}

}  // namespace vevuruvu::signalized
