#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "hcm/common/common.hpp"
#include "hcm/common/intersection.hpp"
#include "../support/checks.hpp"
#include "json/jsonio.hpp"
#include "sample_records.hpp"

namespace {

using namespace jsontest;
using testing_support::error_of;

template <class T>
std::string read_error(const std::string& text) {
    return error_of<jsonio::Error>([&] { jsonio::read_document<T>(text); });
}

// ---- records: forms, defaults, optional values ----

TEST(Record, EmptyObjectGivesEveryDefault) {
    Segment s = jsonio::read_document<Segment>("{}");
    EXPECT_EQ(s.seg_type, SegType::Basic);
    EXPECT_EQ(s.length_ft, 1500.0);
    EXPECT_EQ(s.lanes, 3u);
    EXPECT_EQ(s.ffs, std::nullopt);  // the member's own initialiser is not the declared default
    EXPECT_EQ(s.caf_schedule, std::nullopt);
    EXPECT_FALSE(s.work_zone.has_value());
    EXPECT_TRUE(s.on_ramp.empty());
}

TEST(Record, ObjectFormReadsGivenKeysAndSkipsUnknownOnes) {
    Segment s = jsonio::read_document<Segment>(
        R"({"seg_type": "Merge", "lanes": 4, "ffs": 65, "comment": {"any": [1, 2]}, "caf_schedule": [0.9, 1],
            "work_zone": {"open_lanes": 1}, "on_ramp": [300, 400.5]})");
    EXPECT_EQ(s.seg_type, SegType::Merge);
    EXPECT_EQ(s.length_ft, 1500.0);
    EXPECT_EQ(s.lanes, 4u);
    EXPECT_EQ(s.ffs, 65.0);
    EXPECT_EQ(s.caf_schedule, (std::vector<double>{0.9, 1.0}));
    ASSERT_TRUE(s.work_zone.has_value());
    EXPECT_EQ(s.work_zone->total_lanes, 3u);
    EXPECT_EQ(s.work_zone->open_lanes, 1u);
    EXPECT_FALSE(s.work_zone->soft_barrier);
    EXPECT_EQ(s.work_zone->lateral_ft, 6.0);
    EXPECT_EQ(s.on_ramp, (std::vector<double>{300.0, 400.5}));
}

TEST(Record, NullMeansAbsentOnlyForOptionalFields) {
    Segment s = jsonio::read_document<Segment>(R"({"ffs": null, "work_zone": null, "caf_schedule": null})");
    EXPECT_EQ(s.ffs, std::nullopt);
    EXPECT_FALSE(s.work_zone.has_value());
    EXPECT_EQ(s.caf_schedule, std::nullopt);
    EXPECT_EQ(read_error<Segment>(R"({"lanes": null})"), "invalid type: null, expected u32 at line 1 column 14");
    EXPECT_EQ(read_error<Segment>(R"({"length_ft": null})"), "invalid type: null, expected f64 at line 1 column 18");
}

TEST(Record, ResultsReadNullAsNaNAloneInArraysAndInMatrices) {
    Outcome o = jsonio::read_document<Outcome>(
        R"({"delay": null, "approach": [1, null, 2.5], "matrix": [[null, 3], []], "maybe": [null, 4]})");
    EXPECT_TRUE(std::isnan(o.delay));
    EXPECT_EQ(o.approach[0], 1.0);
    EXPECT_TRUE(std::isnan(o.approach[1]));
    EXPECT_EQ(o.approach[2], 2.5);
    ASSERT_EQ(o.matrix.size(), 2u);
    ASSERT_EQ(o.matrix[0].size(), 2u);
    EXPECT_TRUE(std::isnan(o.matrix[0][0]));
    EXPECT_EQ(o.matrix[0][1], 3.0);
    EXPECT_TRUE(o.matrix[1].empty());
    EXPECT_EQ(o.maybe, (std::vector<std::optional<double>>{std::nullopt, 4.0}));  // optionals: null is absent
    EXPECT_TRUE(jsonio::read_document<Outcome>(R"({"delay": 1, "approach": [1, 2, 3]})").matrix.empty());
}

TEST(Record, ResultsStillRefuseWhatIsNotANumberOrNull) {
    EXPECT_EQ(read_error<Outcome>(R"({"approach": [1, 2, 3]})"), "missing field `delay` at line 1 column 23");
    EXPECT_EQ(read_error<Outcome>(R"({"delay": "x", "approach": [1, 2, 3]})"),
              "invalid type: string \"x\", expected f64 at line 1 column 13");
    EXPECT_EQ(read_error<Outcome>(R"({"delay": 1, "approach": null})"),
              "invalid type: null, expected an array of length 3 at line 1 column 29");
    EXPECT_EQ(read_error<Outcome>(R"({"delay": 1, "approach": [1, null]})"),
              "invalid length 2, expected an array of length 3 at line 1 column 34");
    EXPECT_EQ(read_error<Outcome>(R"({"delay": 1, "approach": [1, 2, 3], "matrix": [null]})"),
              "invalid type: null, expected a sequence at line 1 column 51");
    EXPECT_EQ(read_error<Outcome>(R"({"delay": 1, "approach": [1, 2, 3], "count": null})"),
              "invalid type: null, expected u32 at line 1 column 49");
}

TEST(Record, ArrayFormWithDefaultsFilled) {
    Segment s = jsonio::read_document<Segment>(R"(["Merge", 2000])");
    EXPECT_EQ(s.seg_type, SegType::Merge);
    EXPECT_EQ(s.length_ft, 2000.0);
    EXPECT_EQ(s.lanes, 3u);
    EXPECT_EQ(s.ffs, std::nullopt);
    Segment full = jsonio::read_document<Segment>(R"(["Diverge", 1, 2, null, [1.0], [4, 1], [5]])");
    EXPECT_EQ(full.seg_type, SegType::Diverge);
    ASSERT_TRUE(full.work_zone.has_value());
    EXPECT_EQ(full.work_zone->total_lanes, 4u);
    EXPECT_EQ(full.work_zone->open_lanes, 1u);
    EXPECT_EQ(full.on_ramp, (std::vector<double>{5.0}));
    Facility f = jsonio::read_document<Facility>("[]");
    EXPECT_TRUE(f.segments.empty());
    EXPECT_EQ(f.city, CityType::Urban);
}

TEST(Record, ArrayFormOfRequiredFields) {
    Perf p = jsonio::read_document<Perf>(R"([55.5, "C", 0])");
    EXPECT_EQ(p.speed, 55.5);
    EXPECT_EQ(p.los, LevelOfService::C);
    EXPECT_EQ(p.vhd, 0.0);
    // Fields with a default still have to be given when the record takes all fields.
    EXPECT_EQ(read_error<Composite>("[60, 1.0]"), "invalid length 2, expected struct Composite with 3 elements at line 1 column 9");
}

TEST(Record, NestedInVectorsAndReadFromASubTree) {
    jsonio::Document doc = jsonio::Document::parse(
        R"({"version": 1, "facility": {"segments": [{}, ["Weaving"]], "demand": [4000, 4100.5], "city": "Rural",
            "had_queue": [[true, false], []], "performance": [[50, "B", 1.5], {"vhd": 2, "los": "F", "speed": 20}]}})");
    Facility f = jsonio::read<Facility>(*doc.root().find("facility"));
    ASSERT_EQ(f.segments.size(), 2u);
    EXPECT_EQ(f.segments[1].seg_type, SegType::Weaving);
    EXPECT_EQ(f.demand, (std::vector<double>{4000.0, 4100.5}));
    EXPECT_EQ(f.city, CityType::Rural);
    EXPECT_EQ(f.had_queue, (std::vector<std::vector<bool>>{{true, false}, {}}));
    ASSERT_EQ(f.performance.size(), 2u);
    EXPECT_EQ(f.performance[1].los, LevelOfService::F);
    EXPECT_EQ(f.performance[1].speed, 20.0);
}

TEST(Record, CustomCodecReadsAndReportsAtItsValue) {
    EXPECT_EQ(jsonio::read_document<WithRatio>(R"({"r": "3/4"})").r.value, 0.75);
    EXPECT_EQ(read_error<WithRatio>("{\n \"r\": \"34\"}"), "ratio without `/` at line 2 column 10");
    EXPECT_EQ(jsonio::write_document(WithRatio{Ratio{0.5}}), R"({"r":0.5})");
}

// A key that fills two members: "range": [lo, hi].
struct Span {
    double lo = 0.0, hi = 0.0;
};
const jsonio::Record<Span>& span_record() {
    static const jsonio::Record<Span> record{
        "Span",
        {jsonio::custom<Span>(
            "range", jsonio::Presence::defaulted,
            [](jsonio::Value v, Span& s) {
                auto [lo, hi] = jsonio::read<std::pair<double, double>>(v);
                if (hi < lo) v.fail("range upside down");
                s.lo = lo;
                s.hi = hi;
            },
            [](jsonio::Writer& w, const Span& s) { jsonio::write_value(w, std::pair<double, double>{s.lo, s.hi}); },
            [](Span& s) { s.lo = s.hi = -1.0; })}};
    return record;
}

TEST(Record, CustomFieldWorksOnTheWholeRecord) {
    Span s = jsonio::read_document(R"({"range": [1, 2.5]})", span_record());
    EXPECT_EQ(s.lo, 1.0);
    EXPECT_EQ(s.hi, 2.5);
    EXPECT_EQ(jsonio::read_document("{}", span_record()).lo, -1.0);
    jsonio::Writer w;
    span_record().write(w, s);
    EXPECT_EQ(w.take(), R"({"range":[1.0,2.5]})");
    EXPECT_EQ(error_of<jsonio::Error>([] { jsonio::read_document(R"({"range": [3, 2]})", span_record()); }),
              "range upside down at line 1 column 11");
}

// ---- record failures ----

struct FailCase {
    const char* name;
    std::string (*read)(const std::string&);
    std::string text;
    std::string message;
};

class RecordErrors : public ::testing::TestWithParam<FailCase> {};

TEST_P(RecordErrors, MessageAndPosition) { EXPECT_EQ(GetParam().read(GetParam().text), GetParam().message); }

INSTANTIATE_TEST_SUITE_P(
    Record, RecordErrors,
    ::testing::Values(
        FailCase{"MissingAtClosingBrace", read_error<Perf>, "{\"speed\": 1,\n \"los\": \"A\"\n}",
                 "missing field `vhd` at line 3 column 1"},
        FailCase{"FirstMissingInTableOrder", read_error<Perf>, R"({"los": "A"})",
                 "missing field `speed` at line 1 column 12"},
        FailCase{"MissingInNested", read_error<Composite>, R"({"ffs": 60, "segments": [{"length": 1}]})",
                 "missing field `grade` at line 1 column 38"},
        FailCase{"DuplicateAtRepeatedKey", read_error<Segment>, "{\"lanes\": 2,\n  \"lanes\": 3}",
                 "duplicate field `lanes` at line 2 column 9"},
        FailCase{"DuplicateOptional", read_error<Segment>, R"({"ffs": null, "ffs": 60})",
                 "duplicate field `ffs` at line 1 column 19"},
        FailCase{"UnknownOneKey", read_error<Lone>, R"({"Only": 1})", "unknown field `Only`, expected `only` at line 1 column 7"},
        FailCase{"UnknownTwoKeys", read_error<Grade>, R"({"length": 1, "Grade": 2})",
                 "unknown field `Grade`, expected `length` or `grade` at line 1 column 21"},
        FailCase{"UnknownManyKeys", read_error<Composite>, R"({"ffs": 60, "x": 1})",
                 "unknown field `x`, expected one of `ffs`, `caf_ao`, `segments` at line 1 column 15"},
        FailCase{"UnknownInNested", read_error<Composite>, R"({"ffs": 60, "segments": [{"length": 1, "grade": 2, "g": 0}]})",
                 "unknown field `g`, expected `length` or `grade` at line 1 column 54"},
        FailCase{"NotAStruct", read_error<Segment>, "3", "invalid type: integer `3`, expected struct Segment at line 1 column 1"},
        FailCase{"StringNotAStruct", read_error<Zone>, R"("zone")",
                 "invalid type: string \"zone\", expected struct Zone at line 1 column 6"},
        FailCase{"NestedNotAStruct", read_error<Segment>, R"({"work_zone": true})",
                 "invalid type: boolean `true`, expected struct Zone at line 1 column 18"},
        FailCase{"ShortArray", read_error<Perf>, R"([50, "B"])", "invalid length 2, expected struct Perf with 3 elements at line 1 column 9"},
        FailCase{"EmptyArray", read_error<Perf>, "[]", "invalid length 0, expected struct Perf with 3 elements at line 1 column 2"},
        FailCase{"LongArray", read_error<Perf>, R"([50, "B", 1, 2, 3])", "trailing characters at line 1 column 14"},
        FailCase{"LongArrayOfDefaults", read_error<Zone>, R"([3, 2, false, 6, {"x": 1}])", "trailing characters at line 1 column 18"},
        FailCase{"ShortArrayMissingRequired", read_error<Composite>, "[60, 1.0]",
                 "invalid length 2, expected struct Composite with 3 elements at line 1 column 9"},
        FailCase{"SequenceForList", read_error<Segment>, R"({"on_ramp": {"a": 1}})",
                 "invalid type: map, expected a sequence at line 1 column 13"},
        FailCase{"StringForList", read_error<Segment>, R"({"caf_schedule": "1"})",
                 "invalid type: string \"1\", expected a sequence at line 1 column 20"},
        FailCase{"BadElement", read_error<Segment>, "{\"on_ramp\": [1, 2,\n \"3\"]}",
                 "invalid type: string \"3\", expected f64 at line 2 column 4"},
        FailCase{"BooleanTakesOnlyBooleans", read_error<Zone>, R"({"soft_barrier": 1})",
                 "invalid type: integer `1`, expected a boolean at line 1 column 18"},
        FailCase{"ErrorInsideVectorOfRecords", read_error<Facility>, R"({"segments": [{}, {"lanes": -2}]})",
                 "invalid value: integer `-2`, expected u32 at line 1 column 30"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- enumerations ----

struct EnumCase {
    const char* name;
    std::string (*read)(const std::string&);
    std::string text;
    std::string message;
};

class EnumErrors : public ::testing::TestWithParam<EnumCase> {};

TEST_P(EnumErrors, MessageAndPosition) { EXPECT_EQ(GetParam().read(GetParam().text), GetParam().message); }

INSTANTIATE_TEST_SUITE_P(
    Enum, EnumErrors,
    ::testing::Values(
        EnumCase{"LeadingBlank", read_error<LevelOfService>, R"(" A")",
                 "unknown variant ` A`, expected one of `A`, `B`, `C`, `D`, `E`, `F` at line 1 column 4"},
        EnumCase{"LowerCase", read_error<LevelOfService>, R"("a")",
                 "unknown variant `a`, expected one of `A`, `B`, `C`, `D`, `E`, `F` at line 1 column 3"},
        EnumCase{"TwoVariants", read_error<CityType>, R"("urban")", "unknown variant `urban`, expected `Urban` or `Rural` at line 1 column 7"},
        EnumCase{"Direction", read_error<hcm::common::intersection::Direction>, R"("N")",
                 "unknown variant `N`, expected one of `NB`, `SB`, `EB`, `WB` at line 1 column 3"},
        EnumCase{"ControlType", read_error<hcm::common::intersection::ControlType>, R"("Signal")",
                 "unknown variant `Signal`, expected one of `PretimedSignal`, `ActuatedSignal`, `SemiActuatedSignal`, "
                 "`TwoWayStop`, `AllWayStop`, `Roundabout`, `YieldControl` at line 1 column 8"},
        EnumCase{"ObjectFormUnknown", read_error<CityType>, R"({"Suburban": null})",
                 "unknown variant `Suburban`, expected `Urban` or `Rural` at line 1 column 11"},
        EnumCase{"Integer", read_error<CityType>, "3", "invalid type: integer `3`, expected variant identifier at line 1 column 1"},
        EnumCase{"Null", read_error<CityType>, " null", "invalid type: null, expected variant identifier at line 1 column 5"},
        EnumCase{"Sequence", read_error<CityType>, R"(["Urban"])", "invalid type: sequence, expected variant identifier at line 1 column 1"},
        EnumCase{"PayloadNotNull", read_error<CityType>, R"({"Urban": 1})", "invalid type: integer `1`, expected unit variant at line 1 column 11"},
        EnumCase{"TwoKeys", read_error<CityType>, R"({"Urban": null, "Rural": null})",
                 "invalid length 2, expected map with a single key at line 1 column 30"},
        EnumCase{"InRecord", read_error<Segment>, R"({"seg_type": "basic"})",
                 "unknown variant `basic`, expected one of `Basic`, `Merge`, `Diverge`, `Weaving`, `OverlappingRamp` at line 1 column 20"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Enum, VariantNameAndUnitObjectForm) {
    EXPECT_EQ(jsonio::read_document<LevelOfService>(R"("F")"), LevelOfService::F);
    EXPECT_EQ(jsonio::read_document<LevelOfService>(R"({"B": null})"), LevelOfService::B);
    EXPECT_EQ(jsonio::read_document<CityType>(R"( {"Rural" : null} )"), CityType::Rural);
}

TEST(Enum, OptionalLosMatrixKeepsRaggedShape) {
    OptionalLosMatrix m = jsonio::read_document<OptionalLosMatrix>(R"([[null, "C"], []])");
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0], (std::vector<std::optional<LevelOfService>>{std::nullopt, LevelOfService::C}));
    EXPECT_TRUE(m[1].empty());
    EXPECT_EQ(read_error<hcm::common::LosMatrix>(R"([["A"], "B"])"), "invalid type: string \"B\", expected a sequence at line 1 column 11");
    EXPECT_EQ(read_error<hcm::common::LosMatrix>(R"([["A", null]])"), "invalid type: null, expected variant identifier at line 1 column 11");
}

// ---- numbers ----

struct NumberCase {
    const char* name;
    std::string (*read)(const std::string&);
    std::string text;
    std::string message;
};

class NumberErrors : public ::testing::TestWithParam<NumberCase> {};

TEST_P(NumberErrors, MessageAndPosition) { EXPECT_EQ(GetParam().read(GetParam().text), GetParam().message); }

INSTANTIATE_TEST_SUITE_P(
    Number, NumberErrors,
    ::testing::Values(
        NumberCase{"U8Above", read_error<std::uint8_t>, "256", "invalid value: integer `256`, expected u8 at line 1 column 3"},
        NumberCase{"U8Negative", read_error<std::uint8_t>, "-1", "invalid value: integer `-1`, expected u8 at line 1 column 2"},
        NumberCase{"U32Negative", read_error<std::uint32_t>, "-1", "invalid value: integer `-1`, expected u32 at line 1 column 2"},
        NumberCase{"U32Above", read_error<std::uint32_t>, "4294967296",
                   "invalid value: integer `4294967296`, expected u32 at line 1 column 10"},
        NumberCase{"I32Above", read_error<std::int32_t>, "2147483648",
                   "invalid value: integer `2147483648`, expected i32 at line 1 column 10"},
        NumberCase{"I32Below", read_error<std::int32_t>, "-2147483649",
                   "invalid value: integer `-2147483649`, expected i32 at line 1 column 11"},
        NumberCase{"U64Negative", read_error<std::uint64_t>, "-5", "invalid value: integer `-5`, expected u64 at line 1 column 2"},
        NumberCase{"U64PastRangeIsAFloat", read_error<std::uint64_t>, "18446744073709551616",
                   "invalid type: floating point `18446744073709552000.0`, expected u64 at line 1 column 20"},
        NumberCase{"TinyFloatForInteger", read_error<std::uint32_t>, "1e-7",
                   "invalid type: floating point `0.0000001`, expected u32 at line 1 column 4"},
        NumberCase{"NegativeZeroIsAFloat", read_error<std::uint32_t>, "-0",
                   "invalid type: floating point `-0.0`, expected u32 at line 1 column 2"},
        NumberCase{"I64Above", read_error<std::int64_t>, "9223372036854775808",
                   "invalid value: integer `9223372036854775808`, expected i64 at line 1 column 19"},
        NumberCase{"FloatForInteger", read_error<std::uint32_t>, "1.5", "invalid type: floating point `1.5`, expected u32 at line 1 column 3"},
        NumberCase{"IntegralFloatForInteger", read_error<std::int32_t>, "2.0",
                   "invalid type: floating point `2.0`, expected i32 at line 1 column 3"},
        NumberCase{"ExponentForInteger", read_error<std::uint32_t>, "1e3",
                   "invalid type: floating point `1000.0`, expected u32 at line 1 column 3"},
        NumberCase{"StringForFloat", read_error<double>, R"("1.5")", "invalid type: string \"1.5\", expected f64 at line 1 column 5"},
        NumberCase{"BoolForFloat", read_error<double>, "false", "invalid type: boolean `false`, expected f64 at line 1 column 5"},
        NumberCase{"MapForFloat", read_error<double>, "\n  {}", "invalid type: map, expected f64 at line 2 column 3"},
        NumberCase{"NumberForString", read_error<std::string>, "12", "invalid type: integer `12`, expected a string at line 1 column 2"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Number, IntegerBoundsAreAccepted) {
    EXPECT_EQ(jsonio::read_document<std::uint8_t>("255"), 255);
    EXPECT_EQ(jsonio::read_document<std::uint32_t>("4294967295"), 4294967295u);
    EXPECT_EQ(jsonio::read_document<std::int32_t>("-2147483648"), INT32_MIN);
    EXPECT_EQ(jsonio::read_document<std::uint64_t>("18446744073709551615"), UINT64_MAX);
    EXPECT_EQ(jsonio::read_document<std::size_t>("0"), 0u);
    EXPECT_EQ(jsonio::read_document<std::int64_t>("-9223372036854775808"), INT64_MIN);
}

TEST(Number, IntegersAreAcceptedForFloats) {
    EXPECT_EQ(jsonio::read_document<double>("3"), 3.0);
    EXPECT_EQ(jsonio::read_document<double>("-7"), -7.0);
    EXPECT_EQ(jsonio::read_document<double>("18446744073709551615"), 18446744073709551615.0);
    EXPECT_EQ(jsonio::read_document<double>("-0.0"), 0.0);
    EXPECT_TRUE(std::signbit(jsonio::read_document<double>(" -0 ")));
}

// ---- fixed-size arrays, tuples, tagged enumerations ----

TEST(Containers, FixedSizeArraysAndTuples) {
    EXPECT_EQ((jsonio::read_document<std::array<double, 3>>("[1, 2.5, 3]")), (std::array<double, 3>{1.0, 2.5, 3.0}));
    EXPECT_EQ((read_error<std::array<double, 4>>("[1, 2, 3]")), "invalid length 3, expected an array of length 4 at line 1 column 9");
    EXPECT_EQ((read_error<std::array<double, 2>>("[1, 2, 3]")), "trailing characters at line 1 column 8");
    EXPECT_EQ((read_error<std::array<double, 2>>("1")), "invalid type: integer `1`, expected an array of length 2 at line 1 column 1");
    auto pair = jsonio::read_document<std::pair<std::string, std::uint32_t>>(R"(["EB", 2])");
    EXPECT_EQ(pair, (std::pair<std::string, std::uint32_t>{"EB", 2}));
    EXPECT_EQ((read_error<std::pair<double, double>>("[1]")), "invalid length 1, expected a tuple of size 2 at line 1 column 3");
    EXPECT_EQ((read_error<std::tuple<double, bool>>("[1, 2]")), "invalid type: integer `2`, expected a boolean at line 1 column 5");
}

TEST(TaggedEnum, UnitAndPayloadVariants) {
    EXPECT_EQ(jsonio::read_document<Control>(R"("Stop")").index(), 0u);
    EXPECT_EQ(jsonio::read_document<Control>(R"({"Yield": null})").index(), 2u);
    Control c = jsonio::read_document<Control>(R"({"Signal": {"cycle_s": 90}})");
    ASSERT_EQ(c.index(), 1u);
    EXPECT_EQ(std::get<1>(c).cycle_s, 90.0);
    EXPECT_EQ(read_error<Control>(R"("Signal")"),
              "invalid type: unit variant, expected struct variant Control::Signal at line 1 column 8");
    EXPECT_EQ(read_error<Control>(R"({"Signal": []})"),
              "invalid length 0, expected struct variant Control::Signal with 1 element at line 1 column 13");
    EXPECT_EQ(read_error<Control>(R"({"Signal": {}})"), "missing field `cycle_s` at line 1 column 13");
    EXPECT_EQ(read_error<Control>(R"({"Stop": 1})"), "invalid type: integer `1`, expected unit variant at line 1 column 10");
    EXPECT_EQ(read_error<Control>(R"("Go")"), "unknown variant `Go`, expected one of `Stop`, `Signal`, `Yield` at line 1 column 4");
    EXPECT_EQ(read_error<Control>("2"), "invalid type: integer `2`, expected enum Control at line 1 column 1");
}

TEST(Errors, AreHcmErrorsWithTextAndPosition) {
    try {
        jsonio::read_document<Perf>("{\n}");
        FAIL() << "no error";
    } catch (const hcm::Error& e) {
        auto* je = dynamic_cast<const jsonio::Error*>(&e);
        ASSERT_NE(je, nullptr);
        EXPECT_EQ(je->text(), "missing field `speed`");
        EXPECT_EQ(je->position(), (jsonio::Position{2, 1}));
        EXPECT_STREQ(e.what(), "missing field `speed` at line 2 column 1");
    }
}

TEST(Errors, BadTablesAreRefusedWhenDeclared) {
    using jsonio::Record;
    EXPECT_THROW((Record<Grade>{"Grade", {jsonio::required("length", &Grade::length), jsonio::required("length", &Grade::grade)}}),
                 std::logic_error);
    EXPECT_THROW((jsonio::Variants<Control>{"Control", {"Stop"}}), std::logic_error);
}

}  // namespace
