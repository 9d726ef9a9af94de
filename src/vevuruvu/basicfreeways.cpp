// Python classes of HCM Chapter 12: BasicFreeways (basic freeway and multilane highway segments)
// and ManagedLanes (basic managed-lane segments).
#include <cstdint>
#include <optional>
#include <string>

#include "base/format.hpp"
#include "hcm/basicfreeways/basicfreeways.hpp"
#include "hcm/basicfreeways/managed_lanes.hpp"
#include "vevuruvu/boundary/kit.hpp"
#include "vevuruvu/chapters.hpp"
#include "vevuruvu/parameters/basicfreeways.hpp"

using hcm::basicfreeways::basicfreeways::BasicFreeways;
using hcm::basicfreeways::managed_lanes::ManagedLaneSegment;

VEVURUVU_PYTHON_CLASS(BasicFreeways);
VEVURUVU_PYTHON_CLASS(ManagedLaneSegment);

namespace vevuruvu::basicfreeways {

namespace py = pybind11;
using namespace boundary;
namespace bf = hcm::basicfreeways::basicfreeways;
using base::debug_opt;
using base::fixed;

namespace {

// The lane type decides the speed-flow parameters and the free-flow speed the starting speed:
// derived again once the arguments are set.
void derive_lane_parameters(ManagedLaneSegment& s) {
    s = ManagedLaneSegment(s.lane_type, s.ffs, s.v_p, s.k_gp, s.caf, s.saf);
}

}  // namespace

void register_(py::module_& m) {
    using BF = BasicFreeways;
    ClassDef<BF>(m, "BasicFreeways", "")
        .init(parameters::basic_freeways())
        .method_mut("run_operational_analysis",
                    "Run the full HCM Ch.12 operational analysis; returns the LOS letter.\n"
                    "Populates ffs, capacity, speed, density, and v/c ratio.",
                    &BasicFreeways::run_operational_analysis)
        .method_mut("set_target_los", "Set the target LOS used by design analysis (Exhibit 12-37/12-38 lookup).",
                    params(req<std::string>("los")),
                    [](BasicFreeways& r, const std::string& los) { r.los = base::parse_option(bf::TARGET_LOS_WORDS, los); })
        .method("e_t",
                "The passenger-car equivalent E_T selected for the current inputs, once demand has been\n"
                "adjusted (Exhibit 12-25 for general terrain, 12-26/27/28 for a specific upgrade).",
                &BasicFreeways::e_t)
        .method("f_hv", "The heavy-vehicle adjustment factor f_HV (Equation 12-10).", &BasicFreeways::f_hv)
        .method_mut("determine_free_flow_speed", "", &BasicFreeways::determine_free_flow_speed)
        .method("ffs", "", &BasicFreeways::ffs)
        .method("capacity", "", &BasicFreeways::capacity)
        .method("adjusted_capacity", "", &BasicFreeways::adjusted_capacity)
        .method("speed", "", &BasicFreeways::speed)
        .method("density", "", &BasicFreeways::density)
        .method("vc_ratio", "", &BasicFreeways::vc_ratio)
        .method("lane_count", "", &BasicFreeways::lane_count)
        .method_mut("estimate_capacity",
                    "Step 3: base + adjusted capacity (pc/h/ln). Errors if lane width is infeasible.",
                    &BasicFreeways::estimate_capacity)
        .method_mut("estimate_demand_volume",
                    "Step 4: convert demand to per-lane flow rate v_p (pc/h/ln).\n"
                    "Errors when the heavy-vehicle inputs fall outside the Exhibit 12-25/12-26/12-27/12-28 domain.",
                    &BasicFreeways::estimate_demand_volume)
        .method_mut("estimate_number_of_lanes",
                    "Design analysis: lanes required for the target LOS (Equations 12-21 through 12-23).\n"
                    "Returns the rounded-up lane count and the unrounded value it came from.",
                    &BasicFreeways::estimate_number_of_lanes)
        .method_mut("calculate_speed", "Step 5a: space mean speed via the speed-flow curve (mi/h).",
                    [](BasicFreeways& r) { return r.calculate_speed().first; })
        .method_mut("estimate_density", "Step 5b: density D = v_p / S (pc/mi/ln).", &BasicFreeways::estimate_density)
        .method_mut("calculate_vc_ratio", "Volume-to-capacity ratio.", &BasicFreeways::calculate_vc_ratio)
        .method_mut("determine_segment_los", "Step 6: segment level of service (A-F) from density / v-c ratio.",
                    &BasicFreeways::determine_segment_los)
        .repr([](const BasicFreeways& r) {
            return "BasicFreeways(lanes=" + std::to_string(r.lane_count) + ", lw=" + debug_opt(r.lane_width) +
                   ", bffs=" + fixed(r.bffs, 0) + ", demand=" + fixed(r.demand_flow_i, 0) + ")";
        });

    using ML = ManagedLaneSegment;
    ClassDef<ML>(m, "ManagedLanes", "")
        .init(parameters::managed_lanes())
        .after_init(derive_lane_parameters)
        .readonly("breakpoint", "Speed-flow breakpoint BP (pc/h/ln).",
                  &ManagedLaneSegment::breakpoint)
        .readonly("capacity", "Adjusted capacity (pc/h/ln).", &ManagedLaneSegment::capacity)
        .readonly("speed", "Space mean speed (mi/h).", &ManagedLaneSegment::speed)
        .readonly("density", "Density (pc/mi/ln).", &ManagedLaneSegment::density)
        .readonly("los", "Level of service letter, or None before it was determined.",
                  &ManagedLaneSegment::los)
        .method_mut("calculate_breakpoint", "Breakpoint BP (pc/h/ln) - Equation 12-13.",
                    &ManagedLaneSegment::calculate_breakpoint)
        .method_mut("calculate_capacity", "Adjusted capacity c_adj (pc/h/ln) - Equation 12-14.",
                    &ManagedLaneSegment::calculate_capacity)
        .method_mut("calculate_speed", "Space mean speed S_ML (mi/h) - Equation 12-12.",
                    &ManagedLaneSegment::calculate_speed)
        .method_mut("calculate_density", "Density (pc/mi/ln).", &ManagedLaneSegment::calculate_density)
        .method_mut("determine_los", "Level of service letter (Exhibit 12-15 criteria).",
                    &ManagedLaneSegment::determine_los)
        .method_mut("run_analysis", "Run the full managed lane analysis; returns the LOS letter.",
                    &ManagedLaneSegment::run_analysis)
        .method_mut("set_demand", "", params(req<double>("v_p")),
                    [](ManagedLaneSegment& s, double v_p) { s.v_p = v_p; })
        .method_mut("set_gp_density", "", params(req<double>("k_gp")),
                    [](ManagedLaneSegment& s, double k_gp) { s.k_gp = k_gp; })
        .method("has_friction_effect",
                "Whether the segment type is subject to GP-lane friction\n(continuous access and Buffer 1 types).",
                &ManagedLaneSegment::has_friction_effect)
        .method("is_friction_active",
                "Whether friction is active (K_GP > 35 pc/mi/ln on a friction type).",
                &ManagedLaneSegment::is_friction_active)
        .repr([](const ManagedLaneSegment& s) {
            return "ManagedLanes(type=" + std::string(base::name_of(s.lane_type)) + ", ffs=" + fixed(s.ffs, 0) +
                   ", demand=" + fixed(s.v_p, 0) + ", gp_density=" + fixed(s.k_gp, 1) + ")";
        });
}

}  // namespace vevuruvu::basicfreeways
