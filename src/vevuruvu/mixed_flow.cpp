// Python functions of HCM Chapters 25 and 26, Appendix A: the mixed-flow truck model for one
// grade and for a composite grade, each taking and returning JSON text.
#include <string>

#include "hcm/basicfreeways/composite_grade.hpp"
#include "hcm/basicfreeways/mixed_flow.hpp"
#include "vevuruvu/boundary/kit.hpp"
#include "vevuruvu/chapters.hpp"

namespace vevuruvu::mixed_flow {

namespace py = pybind11;
using namespace boundary;

void register_(py::module_& m) {
    add_function(m, "analyze_mixed_flow",
                 "Analyze a single grade with the HCM Chapter 26 mixed-flow model.\n\n"
                 "Args:\n"
                 "    config_json: JSON object with ffs (mi/h), length (mi), grade (percent),\n"
                 "        v_mix (veh/h/ln), p_sut and p_tt (decimals), and optionally caf_ao.\n\n"
                 "Returns:\n"
                 "    JSON object with the full Chapter 26 chain: the capacity adjustment factors,\n"
                 "    mixed-flow capacity, kinematic truck rates, mixed-flow free-flow speed,\n"
                 "    breakpoint, calibration speeds, phi, and the mixed-flow speed and density.\n"
                 "    s_mix and d_mix are null when demand exceeds mixed-flow capacity.\n\n"
                 "Raises:\n"
                 "    ValueError: if the config is malformed, the inputs are out of range, or the\n"
                 "        grade and speed combination is outside the digitised truck curves.",
                 params(req<std::string>("config_json")),
                 [](const std::string& config) { return hcm::basicfreeways::mixed_flow::analyze_mixed_flow(config); });
    add_function(m, "analyze_composite_grade",
                 "Analyze a composite grade with the HCM Chapter 25 mixed-flow model.\n\n"
                 "Args:\n"
                 "    config_json: JSON object with ffs (mi/h), v_mix (veh/h/ln), p_sut and p_tt\n"
                 "        (decimals), optionally caf_ao, and segments, a list of objects with\n"
                 "        length (mi) and grade (percent) in the order a vehicle meets them.\n\n"
                 "Returns:\n"
                 "    JSON object with per-segment results, the governing capacity and which segment\n"
                 "    sets it, the segment travel times, the overall mixed-flow speed, and the spot\n"
                 "    and space mean speeds for automobiles, SUTs and TTs.\n\n"
                 "Raises:\n"
                 "    ValueError: if the config is malformed, the inputs are out of range, or the\n"
                 "        chain reaches a grade or entry speed outside the digitised truck curves.",
                 params(req<std::string>("config_json")),
                 [](const std::string& config) {
                     return hcm::basicfreeways::composite_grade::analyze_composite_grade(config);
                 });
}

}  // namespace vevuruvu::mixed_flow
