// Python class of HCM Chapter 22: Roundabouts.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <tuple>

#include "base/format.hpp"
#include "hcm/roundabouts/roundabouts.hpp"
#include "vevuruvu/boundary/kit.hpp"
#include "vevuruvu/chapters.hpp"

namespace rb = hcm::roundabouts::roundabouts;

VEVURUVU_PYTHON_CLASS(rb::Roundabouts);

namespace vevuruvu::roundabouts {

namespace py = pybind11;
using namespace boundary;
using rb::RoundaboutApproach;
using rb::RoundaboutLaneResult;
using rb::Roundabouts;

namespace {

constexpr char kClassDoc[] =
    "HCM Chapter 22 roundabout analysis.\n\n"
    "Construct from a JSON configuration (per-entry movement volumes, lane configuration, bypass\n"
    "type, pedestrians), call `analyze()`, then read per-lane and aggregate results. An entry\n"
    "without traffic keeps the delay and LOS the document gave it; lanes without flow do not\n"
    "weigh in the entry and intersection delays. A lane of zero capacity has an infinite or\n"
    "undefined delay, which `to_json()` writes as null and the constructor reads back as NaN.\n\n"
    "The document's keys, units, defaults and words: docs/json-reference.md, section Roundabouts.";

using LaneTuple = std::tuple<double, double, double, double, std::string, double>;

LaneTuple lane_tuple(const RoundaboutLaneResult& r) {
    return {r.flow_veh, r.capacity_veh, r.v_c_ratio, r.control_delay, r.los, r.queue_95};
}

// A getter of one entry field (a member or a function of the entry) by entry text.
template <class F>
auto entry_getter(F get) {
    return [get](const Roundabouts& r, const std::string& entry) { return std::invoke(get, rb::entry_of(r, entry)); };
}

std::string roundabouts_repr(const Roundabouts& r) {
    return "Roundabouts(intersection_delay=" + base::debug_opt(r.intersection_delay) +
           ", los=" + base::debug_opt_char(r.intersection_los) + ")";
}

}  // namespace

void register_(py::module_& m) {
    const auto entry = params(req<std::string>("entry"));
    ClassDef<Roundabouts>(m, "Roundabouts", kClassDoc)
        .property("phf", "Peak hour factor (None if volumes are flow rates).", &Roundabouts::phf, "phf")
        .property("analysis_period_h", "Analysis period T, h.", &Roundabouts::analysis_period_h, "t")
        .readonly("intersection_delay", "Intersection control delay, s/veh (Equation 22-19).",
                  &Roundabouts::intersection_delay)
        .readonly("intersection_los", "Intersection LOS letter (Exhibit 22-8).", &Roundabouts::intersection_los)
        .method_mut("analyze", "Run the complete HCM Chapter 22 procedure (Steps 1-12).", rb::analyze)
        .method_mut("set_calibration",
                    "Set a local calibration (A, B) for the entry capacity model\n"
                    "(Equations 22-21 through 22-23; A = 3,600/t_f,\n"
                    "B = (t_c - t_f/2)/3,600).",
                    params(req<double>("a"), req<double>("b")),
                    [](Roundabouts& r, double a, double b) { r.calibration = std::pair{a, b}; })
        .method("get_circulating_flow_pce", "Conflicting circulating flow of an entry, pc/h (Equation 22-11).", entry,
                entry_getter(&RoundaboutApproach::circulating_flow_pce))
        .method("get_lane_count", "Number of entry lanes with results for an entry.", entry,
                entry_getter([](const RoundaboutApproach& e) { return e.lanes.size(); }))
        .method("get_lane_result",
                "(flow veh/h, capacity veh/h, v/c, delay s/veh, LOS, Q95 veh) of an\n"
                "entry lane (0 = left/only lane).",
                params(req<std::string>("entry"), req<std::uint64_t>("lane")),
                [](const Roundabouts& r, const std::string& text, std::uint64_t lane) {
                    return lane_tuple(rb::lane_result_of(r, text, lane));
                })
        .method("get_bypass_result", "Bypass-lane result tuple, if the entry has a bypass lane.", entry,
                entry_getter([](const RoundaboutApproach& e) {
                    return e.bypass_lane ? std::optional(lane_tuple(*e.bypass_lane)) : std::nullopt;
                }))
        .method("get_approach_delay", "Approach control delay, s/veh (Equation 22-18, bypass included).", entry,
                entry_getter(&RoundaboutApproach::control_delay))
        .method("get_approach_los", "Approach LOS letter (Exhibit 22-8).", entry,
                entry_getter(&RoundaboutApproach::los))
        .json_document({.param = "config_json",
                        .required = true,
                        .read = rb::read_roundabouts,
                        .read_error = "invalid roundabout JSON: ",
                        .write = rb::write_roundabouts,
                        .write_error = "serialize roundabout: ",
                        .to_json = "Full analysis (inputs + results) as JSON."})
        .repr(roundabouts_repr);
}

}  // namespace vevuruvu::roundabouts
