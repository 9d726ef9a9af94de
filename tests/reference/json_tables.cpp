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
#include <string_view>
#include <tuple>
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
#include "vevuruvu/parameters/basicfreeways.hpp"
#include "vevuruvu/parameters/merge_diverge.hpp"
#include "vevuruvu/parameters/offstreet_pedbike.hpp"
#include "vevuruvu/parameters/twolanehighways.hpp"
#include "vevuruvu/parameters/weaving.hpp"

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
// Each class's constructor parameters in signature order, described from the declaration its
// binding builds the constructor from (vevuruvu/parameters/): "type" is the Python type the
// parameter takes (the field's, or the one its hook reads), "words" the option words a text is
// checked against when the object is built, and "default" the field's value in a
// default-constructed record, which an omitted or None argument leaves in place (null: absent), in
// the form the parameter takes. "reads_as" is what the steps read for an absent field where a
// named constant gives it.

namespace tl = hcm::twolanehighways;
namespace md = hcm::merge_diverge;
namespace version = hcm::common::version;
namespace declared = vevuruvu::boundary::declared;
namespace parameters = vevuruvu::parameters;

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

// The Python type a value of type M takes (an optional field takes its value's type).
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
    } else if constexpr (std::is_same_v<M, std::string> || std::is_same_v<M, std::string_view>) {
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

template <class M>
void write_type_and_default(jsonio::Writer& w, const std::string& type, const M& value) {
    w.key("type");
    w.string(type);
    w.key("default");
    write_default(w, value);
}

void write_words(jsonio::Writer& w, const auto& words) {
    w.key("words");
    w.begin_array();
    for (const auto& word : words) w.string(word);
    w.end_array();
}

template <class H>
struct is_option_table : std::false_type {};
template <class E, std::size_t N>
struct is_option_table<base::OptionTable<E, N>> : std::true_type {};

// A text read with an option-word table: its words, and as default the first word that
// selects the field's default.
template <class E, std::size_t N>
void describe_words(jsonio::Writer& w, const base::OptionTable<E, N>& table, E fallback) {
    w.key("type");
    w.string("str");
    std::vector<std::string_view> words;
    for (const auto& entry : table.words) words.push_back(entry.word);
    write_words(w, words);
    for (const auto& entry : table.words) {
        if (entry.value == fallback) {
            w.key("default");
            w.string(entry.word);
            return;
        }
    }
    throw std::logic_error(std::string("no word selects the default of ") + table.words[0].word.data());
}

// The parameters whose hook converts the Python value: the type the hook reads and the field's
// default in that form. A hook not described here does not compile; one of a known type but
// another function fails at run time.
void expect_hook(bool same, const char* which) {
    if (!same) throw std::logic_error(std::string("describe the hook of this parameter, not ") + which);
}

// city_type: "rural" selects the rural thresholds; the urban default has no word of its own.
template <class In>
void describe_hook(jsonio::Writer& w, bool (*hook)(In), bool rural) {
    expect_hook(hook == &parameters::is_rural_city, "is_rural_city");
    write_type_and_default(w, python_type<In>(), rural ? std::optional<std::string>("rural") : std::nullopt);
}

// version: the labels of the editions.
template <class In>
void describe_hook(jsonio::Writer& w, version::HcmVersion (*hook)(In), version::HcmVersion edition) {
    expect_hook(hook == &version::from_str, "version::from_str");
    w.key("type");
    w.string(python_type<In>());
    write_words(w, std::vector<std::string_view>{version::label(version::HcmVersion::Hcm7),
                                                 version::label(version::HcmVersion::Hcm7_1)});
    w.key("default");
    w.string(version::label(edition));
}

// ramp_lanes: the number of lanes.
template <class In>
void describe_hook(jsonio::Writer& w, md::RampLanes (*hook)(In), md::RampLanes lanes) {
    expect_hook(hook == &md::ramp_lanes_from_count, "ramp_lanes_from_count");
    write_type_and_default(w, python_type<In>(), lanes == md::RampLanes::One ? 1 : 2);
}

// A per-mode list: the field's five values.
template <class M>
void describe_hook(jsonio::Writer& w, const parameters::FiveModes&, const M& values) {
    write_type_and_default(w, python_type<M>(), values);
}

template <class T, class M, declared::Kind K, class H, class V>
void describe(jsonio::Writer& w, const declared::Field<T, M, K, H, V>& f) {
    const T record{};
    const M& value = record.*f.member;
    if constexpr (!declared::Field<T, M, K, H, V>::has_hook) {
        write_type_and_default(w, python_type<M>(), value);
    } else if constexpr (is_option_table<H>::value) {
        describe_words(w, f.hook, value);
    } else {
        describe_hook(w, f.hook, value);
    }
}

// What the steps read for an absent optional field: a named constant.
template <class T, class M>
struct ReadsAs {
    std::optional<M> T::* member;
    M value;
};
template <class T, class M, class V>
ReadsAs<T, M> reads_as(std::optional<M> T::* member, V value) {
    return {member, static_cast<M>(value)};
}

// Whether `extra` is about the field `field` sets.
template <class F, class R>
bool about(const F& field, const R& extra) {
    if constexpr (std::is_same_v<decltype(extra.member), decltype(field.member)>) {
        return extra.member == field.member;
    } else {
        return false;
    }
}

template <class R, class... Fs>
bool about_one_of(const R& extra, const Fs&... fields) {
    return (about(fields, extra) || ...);
}

template <class F, class... Rs>
void write_reads_as(jsonio::Writer& w, const F& field, const Rs&... extras) {
    ((about(field, extras) ? (w.key("reads_as"), jsonio::write_value(w, extras.value)) : void()), ...);
}

// A class's parameters described from its declaration, with the reads_as of some of its fields.
template <class... Ds, class... Rs>
KeywordClass keyword_class(const char* name, const std::tuple<Ds...>& declaration, Rs... extras) {
    KeywordClass c{name, {}};
    std::apply(
        [&](const auto&... field) {
            (c.parameters.push_back(ClassParam{field.name,
                                               [field, extras...](jsonio::Writer& w) {
                                                   describe(w, field);
                                                   write_reads_as(w, field, extras...);
                                               }}),
             ...);
            if (!(about_one_of(extras, field...) && ...))
                throw std::logic_error(std::string(name) + ": a reads_as names no parameter");
        },
        declaration);
    return c;
}

// In the order of the module's classes.
const std::vector<KeywordClass>& keyword_classes() {
    using S = tl::Segment;
    namespace dflt = tl::defaults;
    static const std::vector<KeywordClass> list{
        keyword_class("BasicFreeways", parameters::basic_freeways()),
        keyword_class("ManagedLanes", parameters::managed_lanes()),
        keyword_class("WeavingSegment", parameters::weaving_segment()),
        keyword_class("RampSegment", parameters::ramp_segment()),
        keyword_class("SubSegment", parameters::subsegment()),
        keyword_class("Segment", parameters::segment(), reads_as(&S::volume, dflt::VOLUME),
                      reads_as(&S::volume_op, dflt::VOLUME_OP), reads_as(&S::capacity, dflt::CAPACITY),
                      reads_as(&S::vertical_class, dflt::VERTICAL_CLASS), reads_as(&S::phf, dflt::PHF),
                      reads_as(&S::phv, dflt::PHV)),
        keyword_class("TwoLaneHighways", parameters::two_lane_highways()),
        keyword_class("BicycleLOS", parameters::bicycle_los()),
        keyword_class("ExclusivePedestrianFacility", parameters::exclusive_pedestrian_facility()),
        keyword_class("SharedUsePathPedestrian", parameters::shared_use_path_pedestrian()),
        keyword_class("OffStreetBicycleFacility", parameters::offstreet_bicycle_facility()),
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
