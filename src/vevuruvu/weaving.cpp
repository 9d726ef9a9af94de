// Python classes and functions of HCM Chapter 13: WeavingSegment and the weaving functions.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <tuple>

#include "base/format.hpp"
#include "hcm/common/common.hpp"
#include "hcm/common/version.hpp"
#include "hcm/weaving/weaving.hpp"
#include "vevuruvu/boundary/json_text.hpp"
#include "vevuruvu/boundary/kit.hpp"
#include "vevuruvu/chapters.hpp"

VEVURUVU_PYTHON_CLASS(hcm::weaving::weaving::WeavingSegment);

namespace vevuruvu::weaving {

namespace py = pybind11;
using namespace boundary;
using hcm::weaving::weaving::WeavingSegment;
namespace version = hcm::common::version;
namespace hw = hcm::weaving::weaving;

namespace {

using OptF = std::optional<double>;
using OptU = std::optional<std::uint32_t>;
using OptS = std::optional<std::string>;

// The constructor: each argument given replaces the record's default; the option words are
// checked in the order weaving_type, facility_type, terrain, version.
WeavingSegment make_weaving_segment(OptS weaving_type, OptS facility_type, OptF length_short, OptU num_lanes,
                                    OptU num_weaving_lanes, OptF ffs, OptF v_ff, OptF v_fr, OptF v_rf, OptF v_rr,
                                    OptF phf, OptF heavy_vehicle_pct, OptS terrain, OptU lc_rf, OptU lc_fr, OptU lc_rr,
                                    OptF interchange_density, OptF basic_freeway_capacity, OptF caf, OptF saf,
                                    OptS hcm_version, OptU nw_rf, OptU nw_fr, OptU nw_rr) {
    WeavingSegment w;
    if (weaving_type) w.weaving_type = base::parse_option(hw::WEAVING_TYPE_WORDS, *weaving_type);
    if (facility_type) w.facility_type = base::parse_option(hw::FACILITY_TYPE_WORDS, *facility_type);
    if (terrain) w.terrain = base::parse_option(hcm::common::TERRAIN_WORDS, *terrain);
    if (hcm_version) w.version = version::from_str(*hcm_version);
    w.length_short = length_short.value_or(w.length_short);
    w.num_lanes = num_lanes.value_or(w.num_lanes);
    w.num_weaving_lanes = num_weaving_lanes.value_or(w.num_weaving_lanes);
    w.ffs = ffs.value_or(w.ffs);
    w.v_ff = v_ff.value_or(w.v_ff);
    w.v_fr = v_fr.value_or(w.v_fr);
    w.v_rf = v_rf.value_or(w.v_rf);
    w.v_rr = v_rr.value_or(w.v_rr);
    w.phf = phf.value_or(w.phf);
    w.heavy_vehicle_pct = heavy_vehicle_pct.value_or(w.heavy_vehicle_pct);
    w.lc_rf = lc_rf.value_or(w.lc_rf);
    w.lc_fr = lc_fr.value_or(w.lc_fr);
    w.lc_rr = lc_rr.value_or(w.lc_rr);
    w.interchange_density = interchange_density.value_or(w.interchange_density);
    w.basic_freeway_capacity = basic_freeway_capacity.value_or(w.basic_freeway_capacity);
    w.caf = caf.value_or(w.caf);
    w.saf = saf.value_or(w.saf);
    w.nw_rf = nw_rf.value_or(w.nw_rf);
    w.nw_fr = nw_fr.value_or(w.nw_fr);
    w.nw_rr = nw_rr.value_or(w.nw_rr);
    return w;
}

std::string describe(const WeavingSegment& w) {
    return "WeavingSegment(type=" + std::string(base::name_of(w.weaving_type)) +
           ", L_S=" + base::fixed(w.length_short, 0) + " ft, N=" + std::to_string(w.num_lanes) +
           ", N_WL=" + std::to_string(w.num_weaving_lanes) + ", ffs=" + base::fixed(w.ffs, 0) + ")";
}

const char* const CLASS_DOC =
    "WeavingSegment(weaving_type=None, facility_type=None, length_short=None, num_lanes=None, "
    "num_weaving_lanes=None, ffs=None, v_ff=None, v_fr=None, v_rf=None, v_rr=None, phf=None, "
    "heavy_vehicle_pct=None, terrain=None, lc_rf=None, lc_fr=None, lc_rr=None, interchange_density=None, "
    "basic_freeway_capacity=None, caf=None, saf=None, version=None, nw_rf=None, nw_fr=None, nw_rr=None)\n--\n\n";

}  // namespace

void register_(py::module_& m) {
    ClassDef<WeavingSegment>(m, "WeavingSegment", CLASS_DOC)
        .constructor(params(opt<std::string>("weaving_type"), opt<std::string>("facility_type"),
                            opt<double>("length_short"), opt<std::uint32_t>("num_lanes"),
                            opt<std::uint32_t>("num_weaving_lanes"), opt<double>("ffs"), opt<double>("v_ff"),
                            opt<double>("v_fr"), opt<double>("v_rf"), opt<double>("v_rr"), opt<double>("phf"),
                            opt<double>("heavy_vehicle_pct"), opt<std::string>("terrain"),
                            opt<std::uint32_t>("lc_rf"), opt<std::uint32_t>("lc_fr"), opt<std::uint32_t>("lc_rr"),
                            opt<double>("interchange_density"), opt<double>("basic_freeway_capacity"),
                            opt<double>("caf"), opt<double>("saf"), opt<std::string>("version"),
                            opt<std::uint32_t>("nw_rf"), opt<std::uint32_t>("nw_fr"), opt<std::uint32_t>("nw_rr")),
                     make_weaving_segment)
        .property<std::string>(
            "version", "HCM edition of the procedure, \"7\" or \"7.1\".",
            [](const WeavingSegment& w) { return std::string(version::label(w.version)); },
            [](WeavingSegment& w, const std::string& text) { w.version = version::from_str(text); })
        .readonly("flow_weaving", "Weaving demand flow rate v_W (pc/h).",
                  [](const WeavingSegment& w) { return w.flow_weaving.value_or(0.0); })
        .readonly("flow_nonweaving", "Non-weaving demand flow rate v_NW (pc/h).",
                  [](const WeavingSegment& w) { return w.flow_nonweaving.value_or(0.0); })
        .readonly("flow_total", "Total demand flow rate v (pc/h).",
                  [](const WeavingSegment& w) { return w.flow_total.value_or(0.0); })
        .readonly("volume_ratio", "Volume ratio VR = v_W / v.",
                  [](const WeavingSegment& w) { return w.volume_ratio.value_or(0.0); })
        .readonly("lc_min", "Minimum weaving lane-change rate LC_MIN (lc/h).",
                  [](const WeavingSegment& w) { return w.lc_min.value_or(0.0); })
        .readonly("l_max", "Maximum weaving length L_MAX (ft).",
                  [](const WeavingSegment& w) { return w.l_max.value_or(0.0); })
        .readonly("is_weaving", "Whether the short length is below L_MAX (the segment operates as a weave).",
                  [](const WeavingSegment& w) { return w.is_weaving.value_or(false); })
        .readonly("capacity", "Weaving segment capacity c_W (veh/h).",
                  [](const WeavingSegment& w) { return w.capacity.value_or(0.0); })
        .readonly("vc_ratio", "Volume-to-capacity ratio v/c.",
                  [](const WeavingSegment& w) { return w.vc_ratio.value_or(0.0); })
        .readonly("lc_all", "Total lane-change rate LC_ALL (lc/h).",
                  [](const WeavingSegment& w) { return w.lc_all.value_or(0.0); })
        .readonly("speed_weaving", "Average speed of weaving vehicles S_W (mi/h).",
                  [](const WeavingSegment& w) { return w.speed_weaving.value_or(0.0); })
        .readonly("speed_nonweaving", "Average speed of non-weaving vehicles S_NW (mi/h).",
                  [](const WeavingSegment& w) { return w.speed_nonweaving.value_or(0.0); })
        .readonly("speed_avg", "Average speed of all vehicles S (mi/h).",
                  [](const WeavingSegment& w) { return w.speed_avg.value_or(0.0); })
        .readonly("density", "Density D (pc/mi/ln).", [](const WeavingSegment& w) { return w.density.value_or(0.0); })
        .readonly("los", "Level of service letter, or None before it is determined.",
                  [](const WeavingSegment& w) { return w.los; })
        .method_mut("determine_demand_flow",
                    "determine_demand_flow()\n--\n\n"
                    "Step 1: demand flow rates (pc/h). Stores f_HV and the volume ratio.\n\n"
                    "Returns (v_W, v_NW, v).",
                    [](WeavingSegment& w) {
                        const auto f = w.determine_demand_flow();
                        return std::tuple{f.weaving, f.nonweaving, f.total};
                    })
        .method_mut("determine_configuration_characteristics",
                    "determine_configuration_characteristics()\n--\n\n"
                    "Step 2: minimum weaving lane-change rate LC_MIN (lc/h).",
                    [](WeavingSegment& w) { return w.determine_configuration_characteristics(); })
        .method_mut("determine_max_weaving_length",
                    "determine_max_weaving_length()\n--\n\n"
                    "Step 3: maximum weaving length L_MAX (ft); also decides is_weaving (L_S < L_MAX).",
                    [](WeavingSegment& w) { return w.determine_max_weaving_length(); })
        .method_mut("determine_capacity",
                    "determine_capacity()\n--\n\n"
                    "Step 4: weaving segment capacity c_W (veh/h) and the v/c ratio.",
                    [](WeavingSegment& w) { return w.determine_capacity(); })
        .method_mut("determine_lane_changing_rates",
                    "determine_lane_changing_rates()\n--\n\n"
                    "Step 5: weaving and non-weaving lane-change rates; returns LC_ALL (lc/h).",
                    [](WeavingSegment& w) { return w.determine_lane_changing_rates(); })
        .method_mut("estimate_speed",
                    "estimate_speed()\n--\n\n"
                    "Steps 6 and 7: weaving intensity and speeds.\n\n"
                    "Returns (S_W, S_NW, S) in mi/h.",
                    [](WeavingSegment& w) {
                        const auto s = w.estimate_speed();
                        return std::tuple{s.weaving, s.nonweaving, s.average};
                    })
        .method_mut("determine_density",
                    "determine_density()\n--\n\n"
                    "Step 8: density D (pc/mi/ln); infinite when the average speed is not positive.",
                    [](WeavingSegment& w) { return w.determine_density(); })
        .method_mut("determine_los",
                    "determine_los()\n--\n\n"
                    "Step 9: level of service letter (F when demand exceeds capacity).",
                    [](WeavingSegment& w) { return w.determine_los(); })
        .method_mut("run_analysis",
                    "run_analysis()\n--\n\n"
                    "Runs the whole procedure of the segment's HCM edition and returns the LOS letter.",
                    [](WeavingSegment& w) { return w.run_analysis(); })
        .method("analysis_v7_1",
                "analysis_v7_1()\n--\n\n"
                "Intermediate and final values of the last HCM 7.1 run as compact JSON, or None before one.",
                [](const WeavingSegment& w) { return json_text_or_none(w.v7_1); })
        .repr(describe);

    add_function(m, "cross_weave_gp_capacity",
                 "cross_weave_gp_capacity(cw, l_cw_min, n_gp, c_gp)\n--\n\n"
                 "Cross-weave capacity effect on the general purpose lanes near an ML access\n\n"
                 "HCM Equations 13-24 and 13-25. cw: cross-weave demand flow rate (pc/h, > 0);\n"
                 "l_cw_min: cross-weave length (ft); n_gp: general-purpose lanes; c_gp: unadjusted\n"
                 "general-purpose capacity (veh/h).\n\n"
                 "Returns (CRF, CAF, c_GPA) with CAF = 1 - CRF and c_GPA = CAF x c_gp (veh/h).",
                 params(req<double>("cw"), req<double>("l_cw_min"), req<std::uint32_t>("n_gp"), req<double>("c_gp")),
                 [](double cw, double l_cw_min, std::uint32_t n_gp, double c_gp) {
                     const auto r = hw::cross_weave_gp_capacity(cw, l_cw_min, n_gp, c_gp);
                     return std::tuple{r.crf, r.caf, r.c_gpa};
                 });
    add_function(m, "service_flow_rate_ideal",
                 "service_flow_rate_ideal(segment, split, target_density)\n--\n\n"
                 "Service flow rate under ideal conditions SFI (pc/h) for a target LOS density\n\n"
                 "segment: a WeavingSegment (not changed); split: tuple of the shares (ff, rf, fr, rr) of\n"
                 "the total flow; target_density: the LOS density threshold (pc/mi/ln). The search runs the\n"
                 "segment's procedure with PHF 1, no heavy vehicles and CAF = SAF = 1 (HCM Chapter 27,\n"
                 "Example Problem 5).\n\n"
                 "Returns the total flow rate of the four movements (pc/h).",
                 params(req<WeavingSegment>("segment"), req<std::array<double, 4>>("split"),
                        req<double>("target_density")),
                 hw::service_flow_rate_ideal);
    add_function(m, "service_volumes",
                 "service_volumes(sfi, f_hv, phf, k, d)\n--\n\n"
                 "Convert an ideal-conditions service flow rate into prevailing service flow\n\n"
                 "sfi: ideal service flow rate (pc/h); f_hv: heavy-vehicle factor; phf: peak-hour factor;\n"
                 "k: K-factor; d: directional factor.\n\n"
                 "Returns (SFI, SF, SV, DSV): SF = SFI x f_hv, SV = SF x phf, DSV = SV / (k x d)\n"
                 "(infinite unless k and d are positive).",
                 params(req<double>("sfi"), req<double>("f_hv"), req<double>("phf"), req<double>("k"),
                        req<double>("d")),
                 [](double sfi, double f_hv, double phf, double k, double d) {
                     const auto r = hw::service_volumes(sfi, f_hv, phf, k, d);
                     return std::tuple{r.sfi, r.sf, r.sv, r.dsv};
                 });
}

}  // namespace vevuruvu::weaving
