// Writes the record tables of every JSON document the module reads, and the constructor
// parameters of the classes built from keyword arguments, as one JSON text on standard output,
// for the reference generator (tools/json_reference.py) and its drift test:
//
//   {"documents": [{"name": "Roundabouts", "entry": "Roundabouts(config_json)",
//                   "reads": {"kind": "record", "name": "Roundabouts"}, "returns": ...}, ...],
//    "records": {"Roundabouts": {"unknown_keys": ..., "array_form": ..., "fields": [...]}, ...},
//    "classes": [{"name": "RampSegment", "parameters": [{"name": "ramp_type", "type": "str",
//                 "words": ["onramp", ...], "default": "onramp"}, ...]}, ...]}
//
// Test-only: built beside the tests, never part of the module.
#include <cstdint>
#include <cstdio>
#include <exception>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "base/options.hpp"
#include "hcm/awsc/awsc.hpp"
#include "hcm/basicfreeways/basicfreeways.hpp"
#include "hcm/basicfreeways/composite_grade.hpp"
#include "hcm/basicfreeways/managed_lanes.hpp"
#include "hcm/basicfreeways/mixed_flow.hpp"
#include "hcm/common/common.hpp"
#include "hcm/common/version.hpp"
#include "hcm/freeway_facilities/facility_json.hpp"
#include "hcm/freeway_facilities/managed_lanes.hpp"
#include "hcm/freeway_facilities/planning.hpp"
#include "hcm/freeway_reliability/reliability_analysis.hpp"
#include "hcm/merge_diverge/merge_diverge.hpp"
#include "hcm/offstreet_pedbike/offstreet_pedbike.hpp"
#include "hcm/ramp_terminals/alternative_intersections.hpp"
#include "hcm/ramp_terminals/ramp_terminals.hpp"
#include "hcm/roundabouts/roundabouts.hpp"
#include "hcm/signalized/bicycle.hpp"
#include "hcm/signalized/pedestrian.hpp"
#include "hcm/signalized/signalized.hpp"
#include "hcm/twolanehighways/bicycle.hpp"
#include "hcm/twolanehighways/twolanehighways.hpp"
#include "hcm/twsc/computed_pb.hpp"
#include "hcm/twsc/pedestrian.hpp"
#include "hcm/twsc/twsc.hpp"
#include "hcm/urban_facilities/urban_facilities.hpp"
#include "hcm/urban_reliability/urban_reliability.hpp"
#include "hcm/urban_segments/bicycle.hpp"
#include "hcm/urban_segments/pedestrian.hpp"
#include "hcm/urban_segments/transit.hpp"
#include "hcm/urban_segments/urban_segments.hpp"
#include "hcm/weaving/weaving.hpp"
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

// ---- Classes built from keyword arguments ---------------------------------------------------
//
// Each class's constructor parameters in signature order, each with the record field it sets, as
// the bindings declare them: "type" is the Python type the parameter takes (the field's, or the one
// its conversion reads), "words" the option words a text is checked against when the object is
// built, and "default" the field's value in a default-constructed record, which an omitted or None
// argument leaves in place (null: absent), in the form the parameter takes. "reads_as" is what the
// steps read for an absent field where a named constant gives it. The reference's drift test
// checks the names against the classes' signatures, so a parameter added or renamed in a binding
// fails until it is declared here too.

namespace bf = hcm::basicfreeways::basicfreeways;
namespace mls = hcm::basicfreeways::managed_lanes;
namespace wv = hcm::weaving::weaving;
namespace md = hcm::merge_diverge;
namespace tl = hcm::twolanehighways;
namespace op = hcm::offstreet_pedbike;
namespace version = hcm::common::version;

struct ClassParam {
    const char* name;
    std::function<void(jsonio::Writer&)> describe;  // the members after "name"
};

struct KeywordClass {
    const char* name;
    std::vector<ClassParam> parameters;
};

// The Python name of the class whose objects a list parameter takes.
template <class T>
constexpr const char* class_name() {
    if constexpr (std::is_same_v<T, tl::SubSegment>) {
        return "SubSegment";
    } else if constexpr (std::is_same_v<T, tl::Segment>) {
        return "Segment";
    } else {
        static_assert(sizeof(T) == 0, "name the Python class of this record");
    }
}

// The Python type a field of type M takes (an optional field takes its value's type).
template <class M>
std::string python_type() {
    if constexpr (jsonio::detail::is_optional<M>::value) {
        return python_type<typename M::value_type>();
    } else if constexpr (std::is_same_v<M, bool>) {
        return "bool";
    } else if constexpr (std::is_floating_point_v<M>) {
        return "float";
    } else if constexpr (std::is_integral_v<M> && std::is_unsigned_v<M>) {
        return "int >= 0";
    } else if constexpr (std::is_integral_v<M>) {
        return "int";
    } else if constexpr (std::is_same_v<M, std::string>) {
        return "str";
    } else if constexpr (jsonio::detail::is_std_array<M>::value) {
        static_assert(std::is_same_v<typename M::value_type, double>);
        return "list of " + std::to_string(std::tuple_size_v<M>) + " floats";
    } else if constexpr (jsonio::detail::is_vector<M>::value) {
        return std::string("list of ") + class_name<typename M::value_type>();
    } else {
        static_assert(sizeof(M) == 0, "give the Python type of this field");
    }
}

// A default as JSON: numbers, texts, flags and arrays as written; a list of objects (the only
// vector parameters) is always empty by default.
template <class M>
void write_default(jsonio::Writer& w, const M& value) {
    if constexpr (jsonio::detail::is_vector<M>::value) {
        if (!value.empty()) throw std::logic_error("a default list of objects is not empty");
        w.begin_array();
        w.end_array();
    } else {
        jsonio::write_value(w, value);
    }
}

// A parameter that sets its field as given.
template <class T, class M>
ClassParam field(const char* name, M T::*member) {
    return {name, [member](jsonio::Writer& w) {
                w.key("type");
                w.string(python_type<M>());
                w.key("default");
                write_default(w, T{}.*member);
            }};
}

// The same, for an optional field the steps read as `reads_as` while it is absent.
template <class T, class M, class V>
ClassParam field(const char* name, std::optional<M> T::*member, V reads_as) {
    return {name, [member, reads_as](jsonio::Writer& w) {
                w.key("type");
                w.string(python_type<M>());
                w.key("default");
                write_default(w, T{}.*member);
                w.key("reads_as");
                jsonio::write_value(w, static_cast<M>(reads_as));
            }};
}

// A text parameter read with an option-word table: its words, and as default the first word
// that selects the field's default.
template <class T, class E, std::size_t N>
ClassParam word(const char* name, E T::*member, const base::OptionTable<E, N>& table) {
    return {name, [member, &table](jsonio::Writer& w) {
                w.key("type");
                w.string("str");
                w.key("words");
                w.begin_array();
                for (const auto& entry : table.words) w.string(entry.word);
                w.end_array();
                const E fallback = T{}.*member;
                for (const auto& entry : table.words) {
                    if (entry.value == fallback) {
                        w.key("default");
                        w.string(entry.word);
                        return;
                    }
                }
                throw std::logic_error(std::string("no word selects the default of ") + table.words[0].word.data());
            }};
}

// A parameter whose conversion reads a Python value of `type`: as default, the field's value in
// that form (`as_python` returns it, or nullopt for none), and the accepted words when given.
template <class T, class M, class F>
ClassParam converted(const char* name, const char* type, M T::*member, F as_python,
                     std::vector<std::string> words = {}) {
    return {name, [=](jsonio::Writer& w) {
                w.key("type");
                w.string(type);
                if (!words.empty()) {
                    w.key("words");
                    w.begin_array();
                    for (const std::string& word : words) w.string(word);
                    w.end_array();
                }
                w.key("default");
                jsonio::write_value(w, as_python(T{}.*member));
            }};
}

std::string version_label(version::HcmVersion v) { return std::string(version::label(v)); }

const std::vector<std::string>& version_words() {
    static const std::vector<std::string> words{version_label(version::HcmVersion::Hcm7),
                                                version_label(version::HcmVersion::Hcm7_1)};
    return words;
}

// In the order of the module's classes.
const std::vector<KeywordClass>& keyword_classes() {
    using BF = bf::BasicFreeways;
    using ML = mls::ManagedLaneSegment;
    using W = wv::WeavingSegment;
    using R = md::RampSegment;
    using Sub = tl::SubSegment;
    using S = tl::Segment;
    using F = tl::TwoLaneHighways;
    using B = tl::BicycleLOS;
    using P = op::ExclusivePedestrianFacility;
    using U = op::SharedUsePathPedestrian;
    using O = op::OffStreetBicycleFacility;
    namespace dflt = tl::defaults;
    static const std::vector<KeywordClass> list{
        {"BasicFreeways",
         {field("bffs", &BF::bffs), field("lane_width", &BF::lane_width), field("lane_count", &BF::lane_count),
          field("lc_r", &BF::lc_r), field("lc_l", &BF::lc_l), field("trd", &BF::trd), field("apd", &BF::apd),
          field("grade", &BF::grade), field("terrain_type", &BF::terrain_type),
          field("speed_limit", &BF::speed_limit), field("phf", &BF::phf), field("p_t", &BF::p_t),
          field("demand_flow_i", &BF::demand_flow_i), field("length", &BF::length),
          field("highway_type", &BF::highway_type),
          converted("city_type", "str", &BF::is_rural,
                    [](bool rural) { return rural ? std::optional<std::string>("rural") : std::nullopt; }),
          field("sut_percentage", &BF::sut_percentage)}},
        {"ManagedLanes",
         {word("lane_type", &ML::lane_type, mls::LANE_TYPE_WORDS), field("ffs", &ML::ffs), field("demand", &ML::v_p),
          field("gp_density", &ML::k_gp), field("caf", &ML::caf), field("saf", &ML::saf)}},
        {"WeavingSegment",
         {word("weaving_type", &W::weaving_type, wv::WEAVING_TYPE_WORDS),
          word("facility_type", &W::facility_type, wv::FACILITY_TYPE_WORDS), field("length_short", &W::length_short),
          field("num_lanes", &W::num_lanes), field("num_weaving_lanes", &W::num_weaving_lanes), field("ffs", &W::ffs),
          field("v_ff", &W::v_ff), field("v_fr", &W::v_fr), field("v_rf", &W::v_rf), field("v_rr", &W::v_rr),
          field("phf", &W::phf), field("heavy_vehicle_pct", &W::heavy_vehicle_pct),
          word("terrain", &W::terrain, hcm::common::TERRAIN_WORDS), field("lc_rf", &W::lc_rf),
          field("lc_fr", &W::lc_fr), field("lc_rr", &W::lc_rr), field("interchange_density", &W::interchange_density),
          field("basic_freeway_capacity", &W::basic_freeway_capacity), field("caf", &W::caf), field("saf", &W::saf),
          converted("version", "str", &W::version, version_label, version_words()), field("nw_rf", &W::nw_rf),
          field("nw_fr", &W::nw_fr), field("nw_rr", &W::nw_rr)}},
        {"RampSegment",
         {word("ramp_type", &R::ramp_type, md::RAMP_TYPE_WORDS), word("ramp_side", &R::ramp_side, md::RAMP_SIDE_WORDS),
          converted("ramp_lanes", "int >= 0", &R::ramp_lanes,
                    [](md::RampLanes lanes) { return lanes == md::RampLanes::One ? 1 : 2; }),
          field("freeway_lanes", &R::freeway_lanes), field("freeway_ffs", &R::freeway_ffs),
          field("ramp_ffs", &R::ramp_ffs), field("accel_lane_length", &R::accel_lane_length),
          field("accel_lane_length2", &R::accel_lane_length2), field("decel_lane_length", &R::decel_lane_length),
          field("decel_lane_length2", &R::decel_lane_length2), field("freeway_demand", &R::freeway_demand),
          field("ramp_demand", &R::ramp_demand), field("phf", &R::phf),
          field("heavy_vehicle_pct", &R::heavy_vehicle_pct),
          field("ramp_heavy_vehicle_pct", &R::ramp_heavy_vehicle_pct),
          word("terrain", &R::terrain, hcm::common::TERRAIN_WORDS),
          word("adjacent_upstream", &R::adjacent_upstream, md::ADJACENT_RAMP_WORDS),
          field("upstream_distance", &R::upstream_distance), field("upstream_ramp_flow", &R::upstream_ramp_flow),
          word("adjacent_downstream", &R::adjacent_downstream, md::ADJACENT_RAMP_WORDS),
          field("downstream_distance", &R::downstream_distance),
          field("downstream_ramp_flow", &R::downstream_ramp_flow), field("caf", &R::caf), field("saf", &R::saf),
          converted("version", "str", &R::version, version_label, version_words())}},
        {"SubSegment",
         {field("length", &Sub::length), field("avg_speed", &Sub::avg_speed), field("hor_class", &Sub::hor_class),
          field("design_rad", &Sub::design_rad), field("central_angle", &Sub::central_angle),
          field("sup_ele", &Sub::sup_ele)}},
        {"Segment",
         {field("passing_type", &S::passing_type), field("length", &S::length), field("grade", &S::grade),
          field("spl", &S::spl), field("is_hc", &S::is_hc), field("volume", &S::volume, dflt::VOLUME),
          field("volume_op", &S::volume_op, dflt::VOLUME_OP), field("flow_rate", &S::flow_rate),
          field("flow_rate_o", &S::flow_rate_o), field("capacity", &S::capacity, dflt::CAPACITY),
          field("ffs", &S::ffs), field("avg_speed", &S::avg_speed),
          field("vertical_class", &S::vertical_class, dflt::VERTICAL_CLASS), field("subsegments", &S::subsegments),
          field("phf", &S::phf, dflt::PHF), field("phv", &S::phv, dflt::PHV), field("pf", &S::pf),
          field("fd", &S::fd), field("fd_mid", &S::fd_mid), field("hor_class", &S::hor_class)}},
        {"TwoLaneHighways",
         {field("segments", &F::segments), field("lane_width", &F::lane_width),
          field("shoulder_width", &F::shoulder_width), field("apd", &F::apd), field("pmhvfl", &F::pmhvfl),
          field("l_de", &F::l_de)}},
        {"BicycleLOS",
         {field("lane_width", &B::lane_width), field("shoulder_width", &B::shoulder_width),
          field("speed_limit", &B::speed_limit), field("num_lanes", &B::num_lanes),
          field("pavement_condition", &B::pavement_condition), field("hourly_volume", &B::hourly_volume),
          field("phf", &B::phf), field("heavy_vehicle_pct", &B::heavy_vehicle_pct),
          field("pct_on_highway_parking", &B::pct_on_highway_parking)}},
        {"ExclusivePedestrianFacility",
         {field("total_walkway_width", &P::total_walkway_width), field("fixed_object_width", &P::fixed_object_width),
          field("pedestrian_demand", &P::pedestrian_demand), field("peak_15min_volume", &P::peak_15min_volume),
          field("phf", &P::phf), field("pedestrian_speed", &P::pedestrian_speed),
          word("facility_type", &P::facility_type, op::FACILITY_TYPE_WORDS),
          word("flow_type", &P::flow_type, op::FLOW_TYPE_WORDS)}},
        {"SharedUsePathPedestrian",
         {field("bicycle_demand_same_direction", &U::bicycle_demand_same_direction),
          field("bicycle_demand_opposing", &U::bicycle_demand_opposing), field("phf", &U::phf),
          field("pedestrian_speed", &U::pedestrian_speed), field("bicycle_speed", &U::bicycle_speed),
          field("bicycle_flow_rate_same_direction", &U::bicycle_flow_rate_same_direction),
          field("bicycle_flow_rate_opposing", &U::bicycle_flow_rate_opposing), field("is_one_way", &U::is_one_way)}},
        {"OffStreetBicycleFacility",
         {field("path_width", &O::path_width), field("segment_length", &O::segment_length),
          field("has_centerline", &O::has_centerline), field("two_way_demand", &O::two_way_demand),
          field("directional_split", &O::directional_split), field("phf", &O::phf),
          field("subject_demand", &O::subject_demand), field("opposing_demand", &O::opposing_demand),
          field("is_one_way", &O::is_one_way), field("mode_splits", &O::mode_splits),
          field("mode_speeds", &O::mode_speeds), field("mode_speed_sds", &O::mode_speed_sds)}},
    };
    return list;
}

void describe_classes(jsonio::Writer& w) {
    w.begin_array();
    for (const KeywordClass& c : keyword_classes()) {
        w.begin_object();
        w.key("name");
        w.string(c.name);
        w.key("parameters");
        w.begin_array();
        for (const ClassParam& p : c.parameters) {
            w.begin_object();
            w.key("name");
            w.string(p.name);
            p.describe(w);
            w.end_object();
        }
        w.end_array();
        w.end_object();
    }
    w.end_array();
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
    w.key("classes");
    describe_classes(w);
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
