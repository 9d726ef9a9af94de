// Writes the record tables of every JSON document the module reads, as one JSON text on standard
// output, for the reference generator (tools/json_reference.py) and its drift test:
//
//   {"documents": [{"name": "Roundabouts", "entry": "Roundabouts(config_json)",
//                   "reads": {"kind": "record", "name": "Roundabouts"}, "returns": ...}, ...],
//    "records": {"Roundabouts": {"unknown_keys": ..., "array_form": ..., "fields": [...]}, ...}}
//
// Test-only: built beside the tests, never part of the module.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "hcm/awsc/awsc.hpp"
#include "hcm/basicfreeways/composite_grade.hpp"
#include "hcm/basicfreeways/mixed_flow.hpp"
#include "hcm/freeway_facilities/facility_json.hpp"
#include "hcm/freeway_facilities/managed_lanes.hpp"
#include "hcm/freeway_facilities/planning.hpp"
#include "hcm/freeway_reliability/reliability_analysis.hpp"
#include "hcm/ramp_terminals/alternative_intersections.hpp"
#include "hcm/ramp_terminals/ramp_terminals.hpp"
#include "hcm/roundabouts/roundabouts.hpp"
#include "hcm/signalized/bicycle.hpp"
#include "hcm/signalized/pedestrian.hpp"
#include "hcm/signalized/signalized.hpp"
#include "hcm/twolanehighways/bicycle.hpp"
#include "hcm/twsc/computed_pb.hpp"
#include "hcm/twsc/pedestrian.hpp"
#include "hcm/twsc/twsc.hpp"
#include "hcm/urban_facilities/urban_facilities.hpp"
#include "hcm/urban_reliability/urban_reliability.hpp"
#include "hcm/urban_segments/bicycle.hpp"
#include "hcm/urban_segments/pedestrian.hpp"
#include "hcm/urban_segments/transit.hpp"
#include "hcm/urban_segments/urban_segments.hpp"
#include "json/jsonio.hpp"

// Tables that their chapter defines beside its one entry point rather than in its header.
namespace hcm::basicfreeways::mixed_flow {
const jsonio::Record<MixedFlowSegment>& json_record(jsonio::Tag<MixedFlowSegment>);
const jsonio::Record<MixedFlowResult>& json_record(jsonio::Tag<MixedFlowResult>);
}  // namespace hcm::basicfreeways::mixed_flow
namespace hcm::basicfreeways::composite_grade {
const jsonio::Record<CompositeGrade>& json_record(jsonio::Tag<CompositeGrade>);
const jsonio::Record<CompositeGradeResult>& json_record(jsonio::Tag<CompositeGradeResult>);
}  // namespace hcm::basicfreeways::composite_grade
namespace hcm::signalized::bicycle {
const jsonio::Record<BicycleIntersection>& json_record(jsonio::Tag<BicycleIntersection>);
const jsonio::Record<BicycleIntersectionAnalysis>& json_record(jsonio::Tag<BicycleIntersectionAnalysis>);
}  // namespace hcm::signalized::bicycle
namespace hcm::signalized::pedestrian {
const jsonio::Record<PedestrianIntersection>& json_record(jsonio::Tag<PedestrianIntersection>);
const jsonio::Record<PedestrianIntersectionAnalysis>& json_record(jsonio::Tag<PedestrianIntersectionAnalysis>);
const jsonio::Record<TwoStageCrossing>& json_record(jsonio::Tag<TwoStageCrossing>);
}  // namespace hcm::signalized::pedestrian

namespace {

using Describe = jsonio::detail::DescribeType;

// One document: the Python entry that reads it, the record it reads and, for a function, the
// record it returns.
struct Document {
    const char* name;
    const char* entry;
    Describe reads;
    Describe returns = nullptr;
};

template <class T>
constexpr Describe type() {
    return &jsonio::detail::describe_type<T>;
}

namespace ff = hcm::freeway_facilities;
namespace us = hcm::urban_segments;
namespace sg = hcm::signalized;
namespace rt = hcm::ramp_terminals;

// In the order of the module's classes and functions.
const std::vector<Document>& documents() {
    static const std::vector<Document> list{
        {"FreewayFacility", "FreewayFacility(json=None)", type<ff::freeway_facilities::FreewayFacility>()},
        {"ManagedLaneFacility", "ManagedLaneFacility(json=None)", type<ff::managed_lanes::ManagedLaneFacility>()},
        {"PlanningFacility", "PlanningFacility(json=None)", type<ff::planning::PlanningFacility>()},
        {"FreewayReliability", "FreewayReliability(json=None)",
         type<hcm::freeway_reliability::reliability::ReliabilityAnalysis>()},
        {"analyze_mixed_flow", "analyze_mixed_flow(config_json)",
         type<hcm::basicfreeways::mixed_flow::MixedFlowSegment>(),
         type<hcm::basicfreeways::mixed_flow::MixedFlowResult>()},
        {"analyze_composite_grade", "analyze_composite_grade(config_json)",
         type<hcm::basicfreeways::composite_grade::CompositeGrade>(),
         type<hcm::basicfreeways::composite_grade::CompositeGradeResult>()},
        {"analyze_bicycle_los", "analyze_bicycle_los(config_json)", type<hcm::twolanehighways::BicycleLOS>(),
         type<hcm::twolanehighways::BicycleLOSResult>()},
        {"UrbanFacility", "UrbanFacility(config_json)",
         type<hcm::urban_facilities::urban_facilities::UrbanFacility>()},
        {"UrbanReliability", "UrbanReliability(config_json)",
         type<hcm::urban_reliability::urban_reliability::UrbanReliability>()},
        {"UrbanSegment", "UrbanSegment(config_json)", type<us::urban_segments::UrbanSegment>()},
        {"analyze_pedestrian_segment", "analyze_pedestrian_segment(config_json)",
         type<us::pedestrian::PedestrianSegment>(), type<us::pedestrian::PedestrianAnalysis>()},
        {"analyze_bicycle_segment", "analyze_bicycle_segment(config_json)", type<us::bicycle::BicycleSegment>(),
         type<us::bicycle::BicycleAnalysis>()},
        {"analyze_transit_segment", "analyze_transit_segment(config_json)", type<us::transit::TransitSegment>(),
         type<us::transit::TransitAnalysis>()},
        {"SignalizedIntersection", "SignalizedIntersection(json)",
         type<sg::signalized::SignalizedIntersection>()},
        {"analyze_signalized_bicycle", "analyze_signalized_bicycle(config_json)",
         type<sg::bicycle::BicycleIntersection>(), type<sg::bicycle::BicycleIntersectionAnalysis>()},
        {"analyze_signalized_pedestrian", "analyze_signalized_pedestrian(config_json)",
         type<sg::pedestrian::PedestrianIntersection>(), type<sg::pedestrian::PedestrianIntersectionAnalysis>()},
        {"signalized_two_stage_crossing_delay", "signalized_two_stage_crossing_delay(config_json)",
         type<sg::pedestrian::TwoStageCrossing>()},
        {"Twsc", "Twsc(config_json)", type<hcm::twsc::twsc::Twsc>()},
        {"Twsc.set_upstream_signals", "Twsc.set_upstream_signals(config_json)",
         type<hcm::twsc::computed_pb::UpstreamSignals>()},
        {"analyze_twsc_pedestrian", "analyze_twsc_pedestrian(config_json)",
         type<hcm::twsc::pedestrian::PedestrianCrossing>(),
         type<hcm::twsc::pedestrian::PedestrianCrossingAnalysis>()},
        {"Awsc", "Awsc(config_json)", type<hcm::awsc::awsc::Awsc>()},
        {"Roundabouts", "Roundabouts(config_json)", type<hcm::roundabouts::roundabouts::Roundabouts>()},
        {"Interchange", "Interchange(config_json)", type<rt::ramp_terminals::Interchange>()},
        {"AlternativeIntersection", "AlternativeIntersection(config_json)",
         type<rt::alternative_intersections::AlternativeIntersection>()},
        {"DisplacedLeftTurn", "DisplacedLeftTurn(config_json)",
         type<rt::alternative_intersections::DisplacedLeftTurn>()},
    };
    return list;
}

std::string describe_documents() {
    jsonio::Catalog catalog;
    jsonio::Writer w(jsonio::Layout::pretty);
    w.begin_object();
    w.key("documents");
    w.begin_array();
    for (const Document& d : documents()) {
        w.begin_object();
        w.key("name");
        w.string(d.name);
        w.key("entry");
        w.string(d.entry);
        w.key("reads");
        d.reads(w, catalog);
        if (d.returns) {
            w.key("returns");
            d.returns(w, catalog);
        }
        w.end_object();
    }
    w.end_array();
    w.key("records");
    catalog.write_records(w);
    w.end_object();
    return w.take();
}

}  // namespace

int main() {
    try {
        const std::string text = describe_documents();
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fputc('\n', stdout);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "json_tables: %s\n", e.what());
        return 1;
    }
}
