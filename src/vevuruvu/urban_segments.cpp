// Python classes and functions of the urban street segment chapter (HCM Chapter 18).
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "base/format.hpp"
#include "hcm/urban_segments/bicycle.hpp"
#include "hcm/urban_segments/pedestrian.hpp"
#include "hcm/urban_segments/transit.hpp"
#include "hcm/urban_segments/urban_segments.hpp"
#include "vevuruvu/boundary/kit.hpp"
#include "vevuruvu/chapters.hpp"

namespace us = hcm::urban_segments::urban_segments;

VEVURUVU_PYTHON_CLASS(us::UrbanSegment);

namespace vevuruvu::urban_segments {

namespace py = pybind11;
using namespace boundary;
using us::UrbanSegment;

namespace {

using DelayTuple = std::tuple<double, double, double, double>;

// (d_ap,l, d_ap,r, d_ap, p_ov) per access-point approach, or None.
std::optional<std::vector<DelayTuple>> access_point_delays(const UrbanSegment& s) {
    if (!s.access_point_delays_computed) return std::nullopt;
    std::vector<DelayTuple> out;
    out.reserve(s.access_point_delays_computed->size());
    for (const auto& d : *s.access_point_delays_computed)
        out.emplace_back(d.delay_left_s, d.delay_right_s, d.delay_total_s, d.prob_inside_lane_blocked);
    return out;
}

std::string segment_repr(const UrbanSegment& s) {
    return "UrbanSegment(length_ft=" + base::num(s.segment_length_ft) +
           ", control=" + std::string(base::name_of(s.control)) +
           ", travel_speed_mph=" + base::debug_opt(s.travel_speed_mph) +
           ", los=" + hcm::common::debug_opt(s.los) + ")";
}

}  // namespace

void register_(py::module_& m) {
    ClassDef<UrbanSegment>(m, "UrbanSegment",
                           "HCM Chapter 18 urban street segment analysis (motorized vehicle\n"
                           "methodology, one direction of travel).\n\n"
                           "Construct from a JSON configuration (segment geometry, demand flow rates, and\n"
                           "downstream boundary intersection performance inputs), call `analyze()`, then\n"
                           "read the results. Results these inputs do not give keep the values the\n"
                           "document gave them: the proportion arriving on green of a `Signalized`\n"
                           "segment without `effective_green_s` or a `cycle_length_s` above 0, its full\n"
                           "stop rate without the stop-rate inputs or an override, the spatial stop rate\n"
                           "without a full stop rate, the perception score without a spatial stop rate\n"
                           "or `prop_left_turn_lanes`, and the computed access-point delays without\n"
                           "`access_point_approaches`.\n\n"
                           "The document's keys, units, defaults and words: docs/json-reference.md, section\n"
                           "UrbanSegment.")
        .method_mut("analyze", "Run the Chapter 18 motorized vehicle pipeline (Steps 1-3 and 5-10).",
                    &UrbanSegment::analyze)
        .property("segment_length_ft", "Segment length L, ft.", &UrbanSegment::segment_length_ft, "l")
        .property("speed_limit_mph", "Posted speed limit S_pl, mi/h.", &UrbanSegment::speed_limit_mph, "s")
        .property("through_demand_veh_h",
                  "Through-demand flow rate v_th at the downstream boundary\nintersection, veh/h.",
                  &UrbanSegment::through_demand_veh_h, "v")
        .readonly("base_free_flow_speed_mph", "Base free-flow speed S_fo, mi/h (Equation 18-3).",
                  &UrbanSegment::base_ffs_mph)
        .readonly("free_flow_speed_mph", "Free-flow speed S_f, mi/h (Equation 18-5).",
                  &UrbanSegment::free_flow_speed_mph)
        .readonly("running_time_s", "Segment running time t_R, s (Equation 18-7).", &UrbanSegment::running_time_s)
        .readonly("running_speed_mph", "Segment running speed, mi/h.", &UrbanSegment::running_speed_mph)
        .readonly("proportion_arriving_green",
                  "Proportion of vehicles arriving during green P (Step 3). Computed\n"
                  "from the Chapter 30, Section 3 platoon-dispersion model when upstream\n"
                  "discharge-flow profiles are supplied, otherwise the uniform /\n"
                  "platoon-ratio assumption.",
                  &UrbanSegment::proportion_arriving_green)
        .readonly("access_point_delay_total_s",
                  "Total delay to through vehicles due to turns at access points\n"
                  "\u03a3 d_ap,i, s/veh (Equation 18-7 term). When access-point approaches are\n"
                  "supplied it is the Chapter 30, Section 4 computed value; otherwise the\n"
                  "analyst-supplied per-access-point hook or the Exhibit 18-13 estimate.",
                  &UrbanSegment::access_point_delay_total_s)
        .readonly("access_point_delays_computed",
                  "Per-access-point Chapter 30, Section 4 through delay `(d_ap,l,\n"
                  "d_ap,r, d_ap, p_ov)` tuples (s/veh; the last is the inside-lane\n"
                  "blockage probability), one per active access-point approach; `None`\n"
                  "unless `access_point_approaches` was supplied.",
                  access_point_delays)
        .readonly("through_delay_s", "Through delay d_t at the downstream boundary intersection, s/veh\n(Step 5).",
                  &UrbanSegment::through_delay_s)
        .readonly("full_stop_rate", "Full stop rate h, stops/veh (Step 6).", &UrbanSegment::full_stop_rate)
        .readonly("travel_speed_mph", "Travel speed S_T,seg, mi/h (Equation 18-15).", &UrbanSegment::travel_speed_mph)
        .readonly("spatial_stop_rate", "Spatial stop rate H_seg, stops/mi (Equation 18-16).",
                  &UrbanSegment::spatial_stop_rate_stops_mi)
        .readonly("vc_ratio",
                  "Volume-to-capacity ratio of the through movement at the downstream\nboundary intersection.",
                  &UrbanSegment::vc_ratio)
        .readonly("los", "Segment LOS letter (Exhibit 18-1).", &UrbanSegment::los)
        .readonly("perception_score", "Automobile traveler perception score I_a,seg (Equation 18-17).",
                  &UrbanSegment::perception_score)
        .json_document({.param = "config_json",
                        .required = true,
                        .read = us::read_urban_segment,
                        .read_error = "invalid UrbanSegment JSON: ",
                        .write = us::write_urban_segment,
                        .write_error = "serialize UrbanSegment: ",
                        .to_json = "Full analysis (inputs + results) as JSON."})
        .repr(segment_repr);

    add_function(m, "analyze_pedestrian_segment",
                 "Evaluate the pedestrian LOS of an urban street segment - HCM Chapter 18,\n"
                 "Section 4. Takes a JSON `PedestrianSegment` config; returns a JSON\n"
                 "`PedestrianAnalysis` (effective width, pedestrian space, walking/travel\n"
                 "speed, link/segment LOS score and LOS).",
                 params(req<std::string>("config_json")), hcm::urban_segments::pedestrian::analyze_pedestrian_segment);
    add_function(m, "analyze_bicycle_segment",
                 "Evaluate the bicycle LOS of an urban street segment - HCM Chapter 18,\n"
                 "Section 5. Takes a JSON `BicycleSegment` config; returns a JSON\n"
                 "`BicycleAnalysis` (travel speed, effective width, link/segment LOS score\n"
                 "and LOS).",
                 params(req<std::string>("config_json")), hcm::urban_segments::bicycle::analyze_bicycle_segment);
    add_function(m, "analyze_transit_segment",
                 "Evaluate the transit LOS of an urban street segment - HCM Chapter 18,\n"
                 "Section 6. Takes a JSON `TransitSegment` config; returns a JSON\n"
                 "`TransitAnalysis` (running and travel speed, wait-ride score, segment\n"
                 "LOS score and LOS).",
                 params(req<std::string>("config_json")), hcm::urban_segments::transit::analyze_transit_segment);
}

}  // namespace vevuruvu::urban_segments
