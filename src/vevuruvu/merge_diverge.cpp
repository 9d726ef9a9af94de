// Python face of the merge and diverge procedure (HCM Chapter 14): the class RampSegment and the
// ramp service flow rate functions.
#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <utility>

#include "base/format.hpp"
#include "hcm/common/common.hpp"
#include "hcm/common/version.hpp"
#include "hcm/merge_diverge/merge_diverge.hpp"
#include "vevuruvu/boundary/json_text.hpp"
#include "vevuruvu/boundary/kit.hpp"
#include "vevuruvu/chapters.hpp"
#include "vevuruvu/parameters/merge_diverge.hpp"

using hcm::merge_diverge::RampSegment;
VEVURUVU_PYTHON_CLASS(RampSegment);

namespace vevuruvu::merge_diverge {

namespace py = pybind11;
using namespace boundary;
namespace md = hcm::merge_diverge;
namespace version = hcm::common::version;

namespace {

std::string describe(const RampSegment& s) {
    return "RampSegment(type=" + std::string(base::name_of(s.ramp_type)) +
           ", side=" + std::string(base::name_of(s.ramp_side)) + ", lanes=" + std::to_string(s.freeway_lanes) +
           ", ffs=" + base::fixed(s.freeway_ffs, 0) + ", ramp_ffs=" + base::fixed(s.ramp_ffs, 0) + ")";
}

double or_zero(const std::optional<double>& v) { return v.value_or(0.0); }

}  // namespace

void register_(py::module_& m) {
    // Option words are checked in signature order, after every argument has converted.
    using R = RampSegment;
    ClassDef<R>(m, "RampSegment", "")
        .init(parameters::ramp_segment())
        .property<std::string>(
            "version",
            "HCM edition of this segment, \"7\" or \"7.1\". Setting it accepts the spellings of "
            "hcm_version_changes_chapter() and keeps earlier results.",
            [](const RampSegment& s) { return std::string(version::label(s.version)); },
            [](RampSegment& s, const std::string& text) { s.version = version::from_str(text); })
        .readonly("flow_freeway", "Freeway demand flow rate v_F (pc/h); 0.0 before it is computed.",
                  [](const RampSegment& s) { return or_zero(s.flow_freeway); })
        .readonly("flow_ramp", "Ramp demand flow rate v_R (pc/h); 0.0 before it is computed.",
                  [](const RampSegment& s) { return or_zero(s.flow_ramp); })
        .readonly("p_f", "Share of the freeway flow in lanes 1 and 2, P_FM or P_FD; None before it is computed.",
                  &RampSegment::p_f)
        .readonly("v12", "Flow in lanes 1 and 2 just upstream of the ramp influence area (pc/h).",
                  [](const RampSegment& s) { return or_zero(s.v12); })
        .readonly("vr12", "v_R12: ramp flow plus v12 at a merge, v12 at a diverge (pc/h).",
                  [](const RampSegment& s) { return or_zero(s.vr12); })
        .readonly("capacity_freeway", "Freeway capacity c_F (pc/h).",
                  [](const RampSegment& s) { return or_zero(s.capacity_freeway); })
        .readonly("capacity_ramp", "Ramp roadway capacity c_R (pc/h).",
                  [](const RampSegment& s) { return or_zero(s.capacity_ramp); })
        .readonly("vc_ratio", "Demand-to-capacity ratio.", [](const RampSegment& s) { return or_zero(s.vc_ratio); })
        .readonly("demand_exceeds_capacity", "Whether a demand exceeds its capacity; None before the capacity check.",
                  &RampSegment::demand_exceeds_capacity)
        .readonly("exceeds_max_desirable",
                  "Whether the flow entering the influence area exceeds its maximum desirable value; None before "
                  "the capacity check.",
                  &RampSegment::exceeds_max_desirable)
        .readonly("density", "Ramp influence-area density (pc/mi/ln); 0.0 while not computed.",
                  [](const RampSegment& s) { return or_zero(s.density); })
        .readonly("speed_ramp", "Average speed in the ramp influence area S_R (mi/h).",
                  [](const RampSegment& s) { return or_zero(s.speed_ramp); })
        .readonly("speed_outer", "Average speed in the outer lanes S_O (mi/h); None while not computed.",
                  &RampSegment::speed_outer)
        .readonly("speed_avg", "Average speed over all lanes S (mi/h).",
                  [](const RampSegment& s) { return or_zero(s.speed_avg); })
        .readonly("los", "Level of service letter; None while not determined.",
                  &RampSegment::los)
        .method_mut("determine_demand_flow",
                    "Converts the freeway and ramp volumes to flow rates under equivalent base conditions,\n"
                    "reducing a section of five or more lanes to four. Returns (v_F, v_R) in pc/h.",
                    [](RampSegment& s) {
                        auto f = s.determine_demand_flow();
                        return std::pair{f.flow_freeway, f.flow_ramp};
                    })
        .method_mut("estimate_v12",
                    "Estimates the flow in lanes 1 and 2 upstream of the influence area (P_FM or P_FD,\n"
                    "left-side and outer-lane adjustments). Returns v12 in pc/h.",
                    &RampSegment::estimate_v12)
        .method_mut("determine_capacity",
                    "Checks the freeway and ramp demands against their capacities. Returns c_F in pc/h.",
                    &RampSegment::determine_capacity)
        .method_mut("determine_density",
                    "Computes the ramp influence-area density in pc/mi/ln (0.0 for a major merge, which has\n"
                    "no density model).",
                    &RampSegment::determine_density)
        .method_mut("determine_los",
                    "Determines the level of service from the capacity checks and the density. Returns the\n"
                    "letter, or None for a major merge within capacity.",
                    &RampSegment::determine_los)
        .method_mut("estimate_speed",
                    "Estimates the speeds in the influence area and the outer lanes and their average.\n"
                    "Returns (S_R, S_O or None, S) in mi/h.",
                    [](RampSegment& s) {
                        auto v = s.estimate_speed();
                        return std::tuple{v.speed_ramp, v.speed_outer, v.speed_avg};
                    })
        .method_mut("run_analysis",
                    "Runs the whole procedure of the segment's edition and returns the level of service\n"
                    "letter, or None for a major merge within capacity under edition \"7\".",
                    &RampSegment::run_analysis)
        .method("analysis_v7_1",
                "The intermediate values of the last edition \"7.1\" analysis as JSON text, or None before\n"
                "one was run.",
                [](const RampSegment& s) { return json_text_or_none(s.analysis_v7_1); })
        .repr(describe);

    add_function(m, "ramp_service_flow_rate_ideal",
                 "Service flow rate under ideal conditions (pc/h) at a target ramp-influence\n"
                 "area density (HCM Chapter 28, Example Problem 5), found by bisection on a copy of\n"
                 "the segment with PHF 1, no heavy vehicles and no adjustments.\n\n"
                 "Give exactly one of ramp_fraction (Case 1: the ramp flow is that share of the freeway\n"
                 "flow; returns the approaching freeway flow v_F) or fixed_freeway_vf (Case 2: the freeway\n"
                 "flow is fixed; returns the ramp flow v_R). Returns None when the target density cannot\n"
                 "be reached.",
                 params(req<RampSegment>("segment"), req<double>("target_density"), opt<double>("ramp_fraction"),
                        opt<double>("fixed_freeway_vf")),
                 md::ramp_service_flow_rate_ideal);
    add_function(m, "ramp_service_volumes",
                 "Convert an ideal-conditions service flow rate (pc/h) to a prevailing-\n"
                 "conditions service flow rate SF = sfi x f_hv x f_p and service volume SV = SF x phf.\n"
                 "Returns (SF, SV) in veh/h.",
                 params(req<double>("sfi"), req<double>("f_hv"), req<double>("f_p"), req<double>("phf")),
                 [](double sfi, double f_hv, double f_p, double phf) {
                     auto v = md::ramp_service_volumes(sfi, f_hv, f_p, phf);
                     return std::pair{v.service_flow_rate, v.service_volume};
                 });
}

}  // namespace vevuruvu::merge_diverge
