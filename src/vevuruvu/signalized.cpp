// Python functions of HCM Chapter 19: the pedestrian, bicycle and two-stage crossing methods of a
// signalized intersection, each taking JSON text.
#include <string>

#include "hcm/signalized/bicycle.hpp"
#include "hcm/signalized/pedestrian.hpp"
#include "vevuruvu/boundary/kit.hpp"
#include "vevuruvu/chapters.hpp"

namespace vevuruvu::signalized {

namespace py = pybind11;
using namespace boundary;
namespace ped = hcm::signalized::pedestrian;

void register_(py::module_& m) {
    add_function(m, "analyze_signalized_bicycle",
                 "analyze_signalized_bicycle(config_json)\n--\n\n"
                 "Evaluate the bicycle LOS at a signalized intersection - HCM Chapter 19,\n"
                 "Section 6. Takes a JSON `BicycleIntersection` config; returns a JSON\n"
                 "`BicycleIntersectionAnalysis` (capacity, delay, LOS score, LOS).",
                 params(req<std::string>("config_json")),
                 [](const std::string& config) { return hcm::signalized::bicycle::analyze_signalized_bicycle(config); });
    add_function(m, "analyze_signalized_pedestrian",
                 "analyze_signalized_pedestrian(config_json)\n--\n\n"
                 "Evaluate the pedestrian LOS at a signalized intersection - HCM Chapter 19,\n"
                 "Section 5 (Steps 1-3). Takes a JSON `PedestrianIntersection` config; returns\n"
                 "a JSON `PedestrianIntersectionAnalysis` (delay, LOS score, LOS).",
                 params(req<std::string>("config_json")),
                 [](const std::string& config) { return ped::analyze_signalized_pedestrian(config); });
    add_function(m, "signalized_two_stage_crossing_delay",
                 "signalized_two_stage_crossing_delay(config_json)\n--\n\n"
                 "Pedestrian delay for a two-stage crossing of one intersection leg\n"
                 "(s/pedestrian) - HCM Chapter 19, Equations 19-78 through 19-88. Takes a JSON\n"
                 "`TwoStageCrossing` config.",
                 params(req<std::string>("config_json")),
                 [](const std::string& config) { return ped::signalized_two_stage_crossing_delay(config); });
}

}  // namespace vevuruvu::signalized
