// Python class of HCM Chapter 21: Awsc, the all-way STOP-controlled intersection.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "base/format.hpp"
#include "hcm/awsc/awsc.hpp"
#include "vevuruvu/boundary/kit.hpp"
#include "vevuruvu/chapters.hpp"

namespace aw = hcm::awsc::awsc;

VEVURUVU_PYTHON_CLASS(aw::Awsc);

namespace vevuruvu::awsc {

namespace py = pybind11;
using namespace boundary;
using aw::Awsc;
using aw::AwscApproach;
using aw::AwscLane;

namespace {

constexpr char kClassDoc[] =
    "HCM Chapter 21 AWSC intersection analysis.\n\n"
    "Construct from a JSON configuration (per-approach lanes with assigned left/through/right\n"
    "volumes), call `analyze()`, then read per-lane and aggregate results. The departure-headway\n"
    "iteration stops silently after 100 passes (`iterations` is then 100); results an analysis\n"
    "does not compute (a lane's `capacity`, the delay, LOS and geometry group of an approach\n"
    "without lanes) stay as the document gave them; the Step 12 lane capacity is found below\n"
    "3,600 veh/h.\n\n"
    "The document's keys, units, defaults and words: docs/json-reference.md, section Awsc.";

std::string awsc_repr(const Awsc& a) {
    return std::string("Awsc(four_leg=") + (aw::is_four_leg(a) ? "true" : "false") +
           ", intersection_delay=" + base::debug_opt(a.intersection_delay) +
           ", los=" + base::debug_opt_char(a.intersection_los) + ")";
}

// A getter of one lane field by approach text and lane position.
template <class M>
auto lane_field(M AwscLane::*field) {
    return [field](const Awsc& a, const std::string& approach, std::uint64_t lane) {
        return aw::lane_of(a, approach, lane).*field;
    };
}

// A getter of one approach field (a member or a function of the approach) by approach text.
template <class F>
auto approach_field(F get) {
    return [get](const Awsc& a, const std::string& approach) { return std::invoke(get, aw::approach_of(a, approach)); };
}

double compute_lane_capacity(Awsc& a, const std::string& approach, std::uint64_t lane) {
    const auto [i, j] = aw::lane_position(a, approach, lane);
    return aw::compute_lane_capacity(a, i, j);
}

}  // namespace

void register_(py::module_& m) {
    const auto approach = params(req<std::string>("approach"));
    const auto approach_lane = params(req<std::string>("approach"), req<std::uint64_t>("lane"));
    ClassDef<Awsc>(m, "Awsc", kClassDoc)
        .method_mut("analyze",
                    "Run the HCM Chapter 21 procedure (Steps 1-16 except the Step 12\n"
                    "capacity search; see `compute_lane_capacity`).",
                    aw::analyze)
        .property("phf", "Peak hour factor (None if lane volumes are flow rates).", &Awsc::phf)
        .property("analysis_period_h", "Analysis period T, h.", &Awsc::analysis_period_h)
        .readonly("iterations", "Iterations used by the departure-headway convergence loop.", &Awsc::iterations)
        .method("get_lane_count", "Number of lanes on an approach (\"EB\"/\"WB\"/\"NB\"/\"SB\").", approach,
                approach_field([](const AwscApproach& ap) { return ap.lanes.size(); }))
        .method("get_departure_headway", "Converged departure headway h_d of a lane, s (Equation 21-28).",
                approach_lane, lane_field(&AwscLane::departure_headway))
        .method("get_degree_of_utilization", "Degree of utilization x = v h_d / 3,600 (Equation 21-14).", approach_lane,
                lane_field(&AwscLane::degree_of_utilization))
        .method("get_service_time", "Service time t_s = h_d - m, s (Equation 21-29).", approach_lane,
                lane_field(&AwscLane::service_time))
        .method("get_lane_delay", "Lane control delay, s/veh (Equation 21-30).", approach_lane,
                lane_field(&AwscLane::control_delay))
        .method("get_lane_los", "Lane LOS letter (Exhibit 21-8).", approach_lane, lane_field(&AwscLane::los))
        .method("get_lane_queue_95", "Lane 95th percentile queue, veh (Equation 21-33).", approach_lane,
                lane_field(&AwscLane::queue_95))
        .method_mut("compute_lane_capacity", "Step 12 capacity of a lane, veh/h (iterative search; expensive).",
                    approach_lane, compute_lane_capacity)
        .method("get_approach_delay", "Approach control delay, s/veh (Equation 21-31).", approach,
                approach_field(&AwscApproach::control_delay))
        .method("get_approach_los", "Approach LOS letter (Exhibit 21-8).", approach, approach_field(&AwscApproach::los))
        .readonly("intersection_delay", "Intersection control delay, s/veh (Equation 21-32).",
                  &Awsc::intersection_delay)
        .readonly("intersection_los", "Intersection LOS letter (Exhibit 21-8).", &Awsc::intersection_los)
        .json_document({.param = "config_json",
                        .required = true,
                        .read = aw::read_awsc,
                        .read_error = "invalid AWSC JSON: ",
                        .write = aw::write_awsc,
                        .write_error = "serialize AWSC: ",
                        .to_json = "Full analysis (inputs + results) as JSON."})
        .repr(awsc_repr);
}

}  // namespace vevuruvu::awsc
