// Descriptions of record tables (json/describe.hpp): what the reference of the documents is
// generated from, so each column must say what the reader does.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "json/describe.hpp"
#include "json/jsonio.hpp"
#include "sample_records.hpp"

namespace jsontest {
namespace {

using jsonio::Json;

// {"root": <type of T>, "records": {...}} as a parsed document.
template <class T>
Json describe() {
    jsonio::Catalog catalog;
    jsonio::Writer w;
    w.begin_object();
    w.key("root");
    jsonio::detail::describe_type<T>(w, catalog);
    w.key("records");
    catalog.write_records(w);
    w.end_object();
    return Json::parse(w.take());
}

TEST(Describe, FieldsCarryKeyPresenceTypeAndTheDefaultTheReaderFillsIn) {
    const Json d = describe<Facility>();
    EXPECT_EQ(d["root"], Json::parse(R"({"kind": "record", "name": "Facility"})"));
    // Every record reached, once, in the order first reached.
    std::string names;
    for (const auto& [name, record] : d["records"].items()) names += name + " ";
    EXPECT_EQ(names, "Facility Segment Perf Zone ");

    const Json& seg = d["records"]["Segment"];
    EXPECT_EQ(seg["unknown_keys"], "ignore");
    EXPECT_EQ(seg["array_form"], "defaults_fill");
    const Json expected = Json::parse(R"([
      {"key": "seg_type", "presence": "default", "null_is_nan": false,
       "type": {"kind": "word", "words": ["Basic", "Merge", "Diverge", "Weaving", "OverlappingRamp"]},
       "default": "Basic"},
      {"key": "length_ft", "presence": "default", "null_is_nan": false, "type": {"kind": "number"}, "default": 1500.0},
      {"key": "lanes", "presence": "default", "null_is_nan": false, "type": {"kind": "integer", "range": "u32"},
       "default": 3},
      {"key": "ffs", "presence": "optional", "null_is_nan": false,
       "type": {"kind": "optional", "of": {"kind": "number"}}, "default": null},
      {"key": "caf_schedule", "presence": "optional", "null_is_nan": false,
       "type": {"kind": "optional", "of": {"kind": "list", "of": {"kind": "number"}}}, "default": null},
      {"key": "work_zone", "presence": "optional", "null_is_nan": false,
       "type": {"kind": "optional", "of": {"kind": "record", "name": "Zone"}}, "default": null},
      {"key": "on_ramp", "presence": "default", "null_is_nan": false,
       "type": {"kind": "list", "of": {"kind": "number"}}, "default": []}
    ])");
    // The declared defaults, not the struct's member initialisers (on_ramp = {9.0}, ffs = 1.0).
    EXPECT_EQ(seg["fields"], expected);
    EXPECT_EQ(describe<Composite>()["records"]["Grade"]["unknown_keys"], "refuse");
}

TEST(Describe, ResultsVariantsAndHandReadMembers) {
    const Json outcome = describe<Outcome>()["records"]["Outcome"]["fields"];
    for (const Json& f : outcome) EXPECT_EQ(f["null_is_nan"], f["key"] != "count") << f["key"];
    EXPECT_EQ(outcome[1]["type"], Json::parse(R"({"kind": "array", "length": 3, "of": {"kind": "number"}})"));
    EXPECT_EQ(outcome[2]["type"]["of"]["kind"], "list");

    const Json control = describe<Control>();
    EXPECT_EQ(control["root"], Json::parse(R"({"kind": "variants", "name": "Control", "alternatives": [
        {"name": "Stop"}, {"name": "Signal", "payload": {"kind": "record", "name": "variant Control::Signal"}},
        {"name": "Yield"}]})"));
    EXPECT_EQ(describe<WithRatio>()["records"]["WithRatio"]["fields"][0]["type"], Json::parse(R"({"kind": "special"})"));
}

struct Other {
    double only = 0.0;
};
const jsonio::Record<Other>& json_record(jsonio::Tag<Other>) {
    static const jsonio::Record<Other> record{"Lone", {jsonio::required("only", &Other::only)}};
    return record;
}
struct Both {
    Lone a;
    Other b;
};
const jsonio::Record<Both>& json_record(jsonio::Tag<Both>) {
    static const jsonio::Record<Both> record{"Both", {jsonio::required("a", &Both::a), jsonio::required("b", &Both::b)}};
    return record;
}

TEST(Describe, TwoTablesOfOneNameAreRefused) { EXPECT_THROW(describe<Both>(), std::logic_error); }

}  // namespace
}  // namespace jsontest
