// Python classes of HCM Chapter 12: BasicFreeways (basic freeway and multilane highway segments)
// and ManagedLanes (basic managed-lane segments).
#include <cstdint>
#include <optional>
#include <string>

#include "base/format.hpp"
#include "base/text.hpp"
#include "hcm/basicfreeways/basicfreeways.hpp"
#include "hcm/basicfreeways/managed_lanes.hpp"
#include "vevuruvu/boundary/kit.hpp"
#include "vevuruvu/chapters.hpp"

using hcm::basicfreeways::basicfreeways::BasicFreeways;
using hcm::basicfreeways::managed_lanes::ManagedLaneSegment;

VEVURUVU_PYTHON_CLASS(BasicFreeways);
VEVURUVU_PYTHON_CLASS(ManagedLaneSegment);

namespace vevuruvu::basicfreeways {

namespace py = pybind11;
using namespace boundary;
namespace bf = hcm::basicfreeways::basicfreeways;
namespace ml = hcm::basicfreeways::managed_lanes;
using base::debug_opt;
using base::fixed;

namespace {

// Arguments left out or None keep the record's defaults.
BasicFreeways make_basic_freeways(std::optional<double> bffs, std::optional<double> lane_width,
                                  std::optional<std::uint32_t> lane_count, std::optional<double> lc_r,
                                  std::optional<double> lc_l, std::optional<std::uint32_t> trd,
                                  std::optional<std::uint32_t> apd, std::optional<double> grade,
                                  std::optional<std::string> terrain_type, std::optional<std::uint32_t> speed_limit,
                                  std::optional<double> phf, std::optional<double> p_t,
                                  std::optional<double> demand_flow_i, std::optional<double> length,
                                  std::optional<std::string> highway_type, std::optional<std::string> city_type,
                                  std::optional<std::uint32_t> sut_percentage) {
    BasicFreeways r;
    r.bffs = bffs.value_or(r.bffs);
    r.lane_width = lane_width.value_or(*r.lane_width);
    r.lane_count = lane_count.value_or(r.lane_count);
    r.lc_r = lc_r.value_or(r.lc_r);
    r.lc_l = lc_l.value_or(r.lc_l);
    r.trd = trd.value_or(r.trd);
    r.apd = apd.value_or(r.apd);
    r.grade = grade.value_or(r.grade);
    r.terrain_type = std::move(terrain_type);
    r.speed_limit = speed_limit.value_or(r.speed_limit);
    r.phf = phf.value_or(r.phf);
    r.p_t = p_t;
    r.demand_flow_i = demand_flow_i.value_or(r.demand_flow_i);
    r.length = length.value_or(r.length);
    if (highway_type) r.highway_type = std::move(*highway_type);
    r.is_rural = city_type && base::text::lower_ascii(*city_type) == "rural";
    r.sut_percentage = sut_percentage.value_or(r.sut_percentage);
    return r;
}

ManagedLaneSegment make_managed_lanes(std::optional<std::string> lane_type, std::optional<double> ffs,
                                      std::optional<double> demand, std::optional<double> gp_density,
                                      std::optional<double> caf, std::optional<double> saf) {
    ml::ManagedLaneType type = lane_type ? base::parse_option(ml::LANE_TYPE_WORDS, *lane_type) : ml::ManagedLaneType::ContinuousAccess;
    return ManagedLaneSegment(type, ffs.value_or(65.0), demand.value_or(0.0), gp_density.value_or(0.0),
                              caf.value_or(1.0), saf.value_or(1.0));
}

}  // namespace

void register_(py::module_& m) {
    ClassDef<BasicFreeways>(m, "BasicFreeways",
                            "BasicFreeways(bffs=None, lane_width=None, lane_count=None, lc_r=None, lc_l=None, "
                            "trd=None, apd=None, grade=None, terrain_type=None, speed_limit=None, phf=None, "
                            "p_t=None, demand_flow_i=None, length=None, highway_type=None, city_type=None, "
                            "sut_percentage=None)\n--\n\n")
        .constructor(params(opt<double>("bffs"), opt<double>("lane_width"), opt<std::uint32_t>("lane_count"),
                            opt<double>("lc_r"), opt<double>("lc_l"), opt<std::uint32_t>("trd"),
                            opt<std::uint32_t>("apd"), opt<double>("grade"), opt<std::string>("terrain_type"),
                            opt<std::uint32_t>("speed_limit"), opt<double>("phf"), opt<double>("p_t"),
                            opt<double>("demand_flow_i"), opt<double>("length"), opt<std::string>("highway_type"),
                            opt<std::string>("city_type"), opt<std::uint32_t>("sut_percentage")),
                     make_basic_freeways)
        .method_mut("run_operational_analysis",
                    "run_operational_analysis()\n--\n\n"
                    "Run the full HCM Ch.12 operational analysis; returns the LOS letter.\n"
                    "Populates ffs, capacity, speed, density, and v/c ratio.",
                    [](BasicFreeways& r) { return r.run_operational_analysis(); })
        .method_mut("set_target_los",
                    "set_target_los(los)\n--\n\n"
                    "Set the target LOS used by design analysis (Exhibit 12-37/12-38 lookup).",
                    params(req<std::string>("los")),
                    [](BasicFreeways& r, const std::string& los) { r.los = base::parse_option(bf::TARGET_LOS_WORDS, los); })
        .method("e_t",
                "e_t()\n--\n\n"
                "The passenger-car equivalent E_T selected for the current inputs, once demand has been\n"
                "adjusted (Exhibit 12-25 for general terrain, 12-26/27/28 for a specific upgrade).",
                [](const BasicFreeways& r) { return r.e_t; })
        .method("f_hv", "f_hv()\n--\n\nThe heavy-vehicle adjustment factor f_HV (Equation 12-10).",
                [](const BasicFreeways& r) { return r.f_hv; })
        .method_mut("determine_free_flow_speed", "determine_free_flow_speed()\n--\n\n",
                    [](BasicFreeways& r) { return r.determine_free_flow_speed(); })
        .method("ffs", "ffs()\n--\n\n", [](const BasicFreeways& r) { return r.ffs; })
        .method("capacity", "capacity()\n--\n\n", [](const BasicFreeways& r) { return r.capacity; })
        .method("adjusted_capacity", "adjusted_capacity()\n--\n\n",
                [](const BasicFreeways& r) { return r.adjusted_capacity; })
        .method("speed", "speed()\n--\n\n", [](const BasicFreeways& r) { return r.speed; })
        .method("density", "density()\n--\n\n", [](const BasicFreeways& r) { return r.density; })
        .method("vc_ratio", "vc_ratio()\n--\n\n", [](const BasicFreeways& r) { return r.vc_ratio; })
        .method("lane_count", "lane_count()\n--\n\n", [](const BasicFreeways& r) { return r.lane_count; })
        .method_mut("estimate_capacity",
                    "estimate_capacity()\n--\n\n"
                    "Step 3: base + adjusted capacity (pc/h/ln). Errors if lane width is infeasible.",
                    [](BasicFreeways& r) { return r.estimate_capacity(); })
        .method_mut("estimate_demand_volume",
                    "estimate_demand_volume()\n--\n\n"
                    "Step 4: convert demand to per-lane flow rate v_p (pc/h/ln).\n"
                    "Errors when the heavy-vehicle inputs fall outside the Exhibit 12-25/12-26/12-27/12-28 domain.",
                    [](BasicFreeways& r) { return r.estimate_demand_volume(); })
        .method_mut("estimate_number_of_lanes",
                    "estimate_number_of_lanes()\n--\n\n"
                    "Design analysis: lanes required for the target LOS (Equations 12-21 through 12-23).\n"
                    "Returns the rounded-up lane count and the unrounded value it came from.",
                    [](BasicFreeways& r) { return r.estimate_number_of_lanes(); })
        .method_mut("calculate_speed",
                    "calculate_speed()\n--\n\nStep 5a: space mean speed via the speed-flow curve (mi/h).",
                    [](BasicFreeways& r) { return r.calculate_speed().first; })
        .method_mut("estimate_density", "estimate_density()\n--\n\nStep 5b: density D = v_p / S (pc/mi/ln).",
                    [](BasicFreeways& r) { return r.estimate_density(); })
        .method_mut("calculate_vc_ratio", "calculate_vc_ratio()\n--\n\nVolume-to-capacity ratio.",
                    [](BasicFreeways& r) { return r.calculate_vc_ratio(); })
        .method_mut("determine_segment_los",
                    "determine_segment_los()\n--\n\n"
                    "Step 6: segment level of service (A-F) from density / v-c ratio.",
                    [](BasicFreeways& r) { return r.determine_segment_los(); })
        .repr([](const BasicFreeways& r) {
            return "BasicFreeways(lanes=" + std::to_string(r.lane_count) + ", lw=" + debug_opt(r.lane_width) +
                   ", bffs=" + fixed(r.bffs, 0) + ", demand=" + fixed(r.demand_flow_i, 0) + ")";
        });

    ClassDef<ManagedLaneSegment>(
        m, "ManagedLanes",
        "ManagedLanes(lane_type=None, ffs=None, demand=None, gp_density=None, caf=None, saf=None)\n--\n\n")
        .constructor(params(opt<std::string>("lane_type"), opt<double>("ffs"), opt<double>("demand"),
                            opt<double>("gp_density"), opt<double>("caf"), opt<double>("saf")),
                     make_managed_lanes)
        .readonly("breakpoint", "Speed-flow breakpoint BP (pc/h/ln).",
                  [](const ManagedLaneSegment& s) { return s.breakpoint; })
        .readonly("capacity", "Adjusted capacity (pc/h/ln).", [](const ManagedLaneSegment& s) { return s.capacity; })
        .readonly("speed", "Space mean speed (mi/h).", [](const ManagedLaneSegment& s) { return s.speed; })
        .readonly("density", "Density (pc/mi/ln).", [](const ManagedLaneSegment& s) { return s.density; })
        .readonly("los", "Level of service letter, or None before it was determined.",
                  [](const ManagedLaneSegment& s) { return s.los; })
        .method_mut("calculate_breakpoint", "calculate_breakpoint()\n--\n\nBreakpoint BP (pc/h/ln) - Equation 12-13.",
                    [](ManagedLaneSegment& s) { return s.calculate_breakpoint(); })
        .method_mut("calculate_capacity",
                    "calculate_capacity()\n--\n\nAdjusted capacity c_adj (pc/h/ln) - Equation 12-14.",
                    [](ManagedLaneSegment& s) { return s.calculate_capacity(); })
        .method_mut("calculate_speed", "calculate_speed()\n--\n\nSpace mean speed S_ML (mi/h) - Equation 12-12.",
                    [](ManagedLaneSegment& s) { return s.calculate_speed(); })
        .method_mut("calculate_density", "calculate_density()\n--\n\nDensity (pc/mi/ln).",
                    [](ManagedLaneSegment& s) { return s.calculate_density(); })
        .method_mut("determine_los", "determine_los()\n--\n\nLevel of service letter (Exhibit 12-15 criteria).",
                    [](ManagedLaneSegment& s) { return s.determine_los(); })
        .method_mut("run_analysis", "run_analysis()\n--\n\nRun the full managed lane analysis; returns the LOS letter.",
                    [](ManagedLaneSegment& s) { return s.run_analysis(); })
        .method_mut("set_demand", "set_demand(v_p)\n--\n\n", params(req<double>("v_p")),
                    [](ManagedLaneSegment& s, double v_p) { s.v_p = v_p; })
        .method_mut("set_gp_density", "set_gp_density(k_gp)\n--\n\n", params(req<double>("k_gp")),
                    [](ManagedLaneSegment& s, double k_gp) { s.k_gp = k_gp; })
        .method("has_friction_effect",
                "has_friction_effect()\n--\n\n"
                "Whether the segment type is subject to GP-lane friction\n(continuous access and Buffer 1 types).",
                [](const ManagedLaneSegment& s) { return s.has_friction_effect(); })
        .method("is_friction_active",
                "is_friction_active()\n--\n\nWhether friction is active (K_GP > 35 pc/mi/ln on a friction type).",
                [](const ManagedLaneSegment& s) { return s.is_friction_active(); })
        .repr([](const ManagedLaneSegment& s) {
            return "ManagedLanes(type=" + std::string(base::name_of(s.lane_type)) + ", ffs=" + fixed(s.ffs, 0) +
                   ", demand=" + fixed(s.v_p, 0) + ", gp_density=" + fixed(s.k_gp, 1) + ")";
        });
}

}  // namespace vevuruvu::basicfreeways
