// Python class and functions of the urban street facility chapter (HCM Chapter 16).
#include <optional>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "base/format.hpp"
#include "hcm/urban_facilities/multimodal.hpp"
#include "hcm/urban_facilities/urban_facilities.hpp"
#include "vevuruvu/boundary/kit.hpp"
#include "vevuruvu/chapters.hpp"

namespace uf = hcm::urban_facilities::urban_facilities;
namespace mm = hcm::urban_facilities::multimodal;

VEVURUVU_PYTHON_CLASS(uf::UrbanFacility);

namespace vevuruvu::urban_facilities {

namespace py = pybind11;
using namespace boundary;
using uf::FacilityResults;
using uf::UrbanFacility;

namespace {

// A facility measure of the last aggregation: None without results, and where the measure
// itself is absent.
template <auto Member>
auto measure(const UrbanFacility& f) {
    using M = std::remove_cvref_t<decltype(std::declval<const FacilityResults&>().*Member)>;
    if constexpr (requires(M m) { m.has_value(); })
        return f.results ? (*f.results).*Member : M{};
    else
        return f.results ? std::optional<M>((*f.results).*Member) : std::nullopt;
}

std::vector<std::optional<double>> segment_travel_speeds(const UrbanFacility& f) {
    std::vector<std::optional<double>> out;
    out.reserve(f.segments.size());
    for (const auto& s : f.segments) out.push_back(s.travel_speed_mph);
    return out;
}

std::string facility_str(const UrbanFacility& f) {
    return "Urban street facility with " + std::to_string(f.segments.size()) + " segments";
}

std::string facility_repr(const UrbanFacility& f) {
    return "UrbanFacility(segments=" + std::to_string(f.segments.size()) +
           ", length=" + base::fixed(uf::facility_length_ft(f), 0) +
           " ft, los=" + hcm::common::debug_opt(f.results ? std::optional(f.results->los) : std::nullopt) + ")";
}

using ModeEntry = std::tuple<double, double, double>;  // (length_ft, travel speed, score)
using TransitEntry = std::tuple<double, double>;       // (length_ft, score)

double pedestrian_or_bicycle_score(const std::vector<ModeEntry>& entries) {
    std::vector<mm::SegmentModeScore> segments;
    segments.reserve(entries.size());
    for (const auto& [length, speed, score] : entries) segments.push_back({length, speed, score});
    return mm::facility_pedestrian_or_bicycle_los_score(segments);
}

double transit_score(const std::vector<TransitEntry>& entries) {
    std::vector<mm::SegmentTransitScore> segments;
    segments.reserve(entries.size());
    for (const auto& [length, score] : entries) segments.push_back({length, score});
    return mm::facility_transit_los_score(segments);
}

}  // namespace

void register_(py::module_& m) {
    ClassDef<UrbanFacility>(
        m, "UrbanFacility",
        "HCM Chapter 16 urban street facility analysis (motorized vehicle\n"
        "methodology, one direction of travel).\n\n"
        "Construct from a JSON configuration with a `segments` array of Chapter 18\n"
        "`UrbanSegment` objects ordered upstream to downstream, plus optional\n"
        "`prop_left_turn_lanes` and `spillback_inputs`. Call `analyze()` (runs the\n"
        "Chapter 18 engine per segment, then aggregates) or `aggregate()` (aggregates\n"
        "the per-segment measures already supplied), then read the results.\n"
        "Without `spillback_inputs` the spillback flags stay as the document gave\n"
        "them; each segment keeps the results an `UrbanSegment` keeps.\n\n"
        "The document's keys, units, defaults and words: docs/json-reference.md, section UrbanFacility.")
        .method_mut("analyze",
                    "Run the Chapter 18 motorized vehicle pipeline on every segment, then aggregate\n"
                    "the facility measures (Chapter 16 Steps 1-4).",
                    [](UrbanFacility& f) { uf::analyze(f); })
        .method_mut("aggregate",
                    "Aggregate the facility measures from the per-segment results already present\n"
                    "on the segments (Chapter 16 Steps 1-4).",
                    [](UrbanFacility& f) { uf::aggregate(f); })
        .readonly("num_segments", "Number of segments on the facility.",
                  [](const UrbanFacility& f) { return f.segments.size(); })
        .readonly("length_ft", "Facility length \u03a3 L_i, ft.", uf::facility_length_ft)
        .readonly("base_free_flow_speed_mph", "Facility base free-flow speed S_fo,F, mi/h (Equation 16-2).",
                  measure<&FacilityResults::base_ffs_mph>)
        .readonly("travel_speed_mph", "Facility travel speed S_T,F, mi/h (Equation 16-3).",
                  measure<&FacilityResults::travel_speed_mph>)
        .readonly("spatial_stop_rate", "Facility spatial stop rate H_F, stops/mi (Equation 16-4).",
                  measure<&FacilityResults::spatial_stop_rate_stops_mi>)
        .readonly("critical_vc_ratio",
                  "Largest through-movement volume-to-capacity ratio among the boundary\n"
                  "intersections (Exhibit 16-3 footnote).",
                  measure<&FacilityResults::critical_vc_ratio>)
        .readonly("los", "Facility LOS letter (Exhibit 16-3).", measure<&FacilityResults::los>)
        .readonly("poorest_segment_los", "Poorest segment LOS letter (Chapter 16 Step 4 context report).",
                  measure<&FacilityResults::poorest_segment_los>)
        .readonly("perception_score",
                  "Facility automobile traveler perception score I_a, from H_F and the facility\n"
                  "P_LTL.",
                  measure<&FacilityResults::perception_score>)
        .readonly("spillback_flags",
                  "Per-segment queue spillback flags from the queue-storage check; None when no\n"
                  "spillback inputs were provided.",
                  &UrbanFacility::spillback_flags)
        .method("segment_travel_speeds",
                "Travel speed S_T,seg of each segment in order, mi/h (None where not computed).", segment_travel_speeds)
        .json_document({.param = "config_json",
                        .required = true,
                        .read = uf::read_urban_facility,
                        .read_error = "invalid UrbanFacility JSON: ",
                        .write = uf::write_urban_facility,
                        .write_error = "serialization failed: ",
                        .to_json = "Full facility (inputs, segment results and facility results) as pretty JSON."})
        .str(facility_str)
        .repr(facility_repr);

    add_function(m, "facility_pedestrian_or_bicycle_los_score",
                 "Facility pedestrian or bicycle LOS score (HCM Equations 16-7 and 16-10): the\n"
                 "travel-time-weighted generalized mean of the segment scores. `segments` is a\n"
                 "sequence of (length_ft, segment_travel_speed, segment_los_score) tuples, the speed\n"
                 "that of the mode on the segment in mi/h, or in any one unit for every entry (only\n"
                 "the travel times L/S weigh the scores); entries without a positive length and speed\n"
                 "carry no weight, and none gives 0.0.",
                 params(req<std::vector<ModeEntry>>("segments")), pedestrian_or_bicycle_score);
    add_function(m, "facility_transit_los_score_py",
                 "Facility transit LOS score (HCM Equation 16-13): the length-weighted mean of the\n"
                 "segment scores. `segments` is a sequence of (length_ft, segment_transit_los_score)\n"
                 "tuples; entries without a positive length carry no weight, and none gives 0.0.",
                 params(req<std::vector<TransitEntry>>("segments")), transit_score);
    add_function(m, "facility_pedestrian_los",
                 "Facility pedestrian LOS letter (HCM Exhibit 16-4): the worse of the score letter\n"
                 "and the average pedestrian space (ft\u00b2/p) letter.",
                 params(req<double>("score"), req<double>("pedestrian_space")), mm::facility_pedestrian_los);
    add_function(m, "facility_bicycle_los", "Facility bicycle LOS letter from its score (HCM Exhibit 16-5).",
                 params(req<double>("score")), mm::facility_bicycle_los);
    add_function(m, "facility_transit_los", "Facility transit LOS letter from its score (HCM Exhibit 16-5).",
                 params(req<double>("score")), mm::facility_transit_los);
}

}  // namespace vevuruvu::urban_facilities
