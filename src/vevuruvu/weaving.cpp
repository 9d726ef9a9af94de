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
#include "vevuruvu/parameters/weaving.hpp"

VEVURUVU_PYTHON_CLASS(hcm::weaving::weaving::WeavingSegment);

namespace vevuruvu::weaving {

namespace py = pybind11;
using namespace boundary;
using hcm::weaving::weaving::WeavingSegment;
namespace version = hcm::common::version;
namespace hw = hcm::weaving::weaving;

namespace {

std::string describe(const WeavingSegment& w) {
    return "WeavingSegment(type=" + std::string(base::name_of(w.weaving_type)) +
           ", L_S=" + base::fixed(w.length_short, 0) + " ft, N=" + std::to_string(w.num_lanes) +
           ", N_WL=" + std::to_string(w.num_weaving_lanes) + ", ffs=" + base::fixed(w.ffs, 0) + ")";
}

}  // namespace

void register_(py::module_& m) {
    // Option words are checked in signature order, after every argument has converted.
    using W = WeavingSegment;
    ClassDef<W>(m, "WeavingSegment", "")
        .init(parameters::weaving_segment())
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
                  &WeavingSegment::los)
        .method_mut("determine_demand_flow",
                    "Step 1: demand flow rates (pc/h). Stores f_HV and the volume ratio.\n\n"
                    "Returns (v_W, v_NW, v).",
                    [](WeavingSegment& w) {
                        const auto f = w.determine_demand_flow();
                        return std::tuple{f.weaving, f.nonweaving, f.total};
                    })
        .method_mut("determine_configuration_characteristics",
                    "Step 2: minimum weaving lane-change rate LC_MIN (lc/h).",
                    &WeavingSegment::determine_configuration_characteristics)
        .method_mut("determine_max_weaving_length",
                    "Step 3: maximum weaving length L_MAX (ft); also decides is_weaving (L_S < L_MAX).",
                    &WeavingSegment::determine_max_weaving_length)
        .method_mut("determine_capacity", "Step 4: weaving segment capacity c_W (veh/h) and the v/c ratio.",
                    &WeavingSegment::determine_capacity)
        .method_mut("determine_lane_changing_rates",
                    "Step 5: weaving and non-weaving lane-change rates; returns LC_ALL (lc/h).",
                    &WeavingSegment::determine_lane_changing_rates)
        .method_mut("estimate_speed",
                    "Steps 6 and 7: weaving intensity and speeds.\n\n"
                    "Returns (S_W, S_NW, S) in mi/h.",
                    [](WeavingSegment& w) {
                        const auto s = w.estimate_speed();
                        return std::tuple{s.weaving, s.nonweaving, s.average};
                    })
        .method_mut("determine_density",
                    "Step 8: density D (pc/mi/ln); infinite when the average speed is not positive.",
                    &WeavingSegment::determine_density)
        .method_mut("determine_los", "Step 9: level of service letter (F when demand exceeds capacity).",
                    &WeavingSegment::determine_los)
        .method_mut("run_analysis", "Runs the whole procedure of the segment's HCM edition and returns the LOS letter.",
                    &WeavingSegment::run_analysis)
        .method("analysis_v7_1",
                "Intermediate and final values of the last HCM 7.1 run as compact JSON, or None before one.",
                [](const WeavingSegment& w) { return json_text_or_none(w.v7_1); })
        .repr(describe);

    add_function(m, "cross_weave_gp_capacity",
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
