#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "../support/checks.hpp"
#include "hcm/common/common.hpp"
#include "hcm/common/intersection.hpp"
#include "json/jsonio.hpp"
#include "sample_records.hpp"

namespace {

using namespace jsontest;
using namespace testing_support;
using hcm::common::intersection::ControlType;
using hcm::common::intersection::Direction;

struct FloatCase {
    double value;
    const char* text;
};

class FloatOutput : public ::testing::TestWithParam<FloatCase> {};

TEST_P(FloatOutput, ShortestRoundTripWithPointAndNullForNonFinite) {
    EXPECT_EQ(jsonio::write_document(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Writer, FloatOutput,
                         ::testing::Values(FloatCase{8.0, "8.0"}, FloatCase{0.5, "0.5"}, FloatCase{-10.0, "-10.0"},
                                           FloatCase{0.1 + 0.2, "0.30000000000000004"}, FloatCase{1500.0, "1500.0"},
                                           FloatCase{kNaN, "null"}, FloatCase{kInf, "null"}, FloatCase{-kInf, "null"},
                                           // Shortest digits where Grisu2 would give one more.
                                           FloatCase{90.658099, "90.658099"}, FloatCase{0.0087531401, "0.0087531401"},
                                           FloatCase{1.573161854299726e172, "1.573161854299726e172"},
                                           // Plain decimals from 1e-5 to below 1e16, exponents beyond.
                                           FloatCase{0.00001, "0.00001"}, FloatCase{1e15, "1000000000000000.0"},
                                           FloatCase{1e16, "1e16"}, FloatCase{-1.5e-7, "-1.5e-7"},
                                           FloatCase{-0.0, "-0.0"}, FloatCase{5e-324, "5e-324"}));

// Keys and strings are escaped, never reformatted; separators and indentation come from the writer.
std::string float_key_document(jsonio::Layout layout) {
    jsonio::Writer w(layout);
    w.begin_object();
    w.key("1e-05 \\\" 90.65809900000001");
    w.begin_array();
    w.number(90.658099);
    w.number(1e-5);
    w.end_array();
    w.key("s");
    w.string("2.50000000000000001e+00");
    w.key("empty");
    w.begin_object();
    w.end_object();
    w.end_object();
    return w.take();
}

TEST(Writer, FloatsInsideStringsAndKeysAreLeftAlone) {
    EXPECT_EQ(float_key_document(jsonio::Layout::compact),
              R"({"1e-05 \\\" 90.65809900000001":[90.658099,0.00001],"s":"2.50000000000000001e+00","empty":{}})");
    EXPECT_EQ(float_key_document(jsonio::Layout::pretty),
              "{\n  \"1e-05 \\\\\\\" 90.65809900000001\": [\n    90.658099,\n    0.00001\n  ],\n"
              "  \"s\": \"2.50000000000000001e+00\",\n  \"empty\": {}\n}");
}

struct TextCase {
    std::string text;
    std::string json;  // empty: refused as invalid UTF-8
};

class StringOutput : public ::testing::TestWithParam<TextCase> {};

TEST_P(StringOutput, EscapesControlsAndKeepsValidUtf8) {
    if (GetParam().json.empty()) {
        EXPECT_EQ(error_of<hcm::Error>([] { jsonio::write_document(GetParam().text); }), "invalid UTF-8 in string");
    } else {
        EXPECT_EQ(jsonio::write_document(GetParam().text), GetParam().json);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Writer, StringOutput,
    ::testing::Values(TextCase{"a\"b\\c/", R"("a\"b\\c/")"}, TextCase{"\b\f\n\r\t", R"("\b\f\n\r\t")"},
                      TextCase{std::string("\0\x01\x1f\x7f", 4), R"("\u0000\u0001\u001f)" "\x7f\""},
                      TextCase{"\u00e9\u20ac\U0001F600\U0010FFFF", "\"\u00e9\u20ac\U0001F600\U0010FFFF\""},
                      TextCase{"\xff", ""}, TextCase{"\xc0\x80", ""},       // not a lead byte; overlong
                      TextCase{"\xe0\x9f\xbf", ""}, TextCase{"\xed\xa0\x80", ""},  // overlong; surrogate
                      TextCase{"\xf4\x90\x80\x80", ""}, TextCase{"a\xe2\x82", ""},  // above U+10FFFF; cut short
                      TextCase{"\xe2\x28\xa1", ""}));                            // bad continuation

TEST(Writer, ScalarsOptionalsAndContainers) {
    EXPECT_EQ(jsonio::write_document(std::uint32_t{7}), "7");
    EXPECT_EQ(jsonio::write_document(std::int32_t{-7}), "-7");
    EXPECT_EQ(jsonio::write_document(true), "true");
    EXPECT_EQ(jsonio::write_document(std::string("a\"b\\c\n")), R"("a\"b\\c\n")");
    EXPECT_EQ(jsonio::write_document(std::optional<double>{}), "null");
    EXPECT_EQ(jsonio::write_document(std::vector<std::vector<bool>>{{true}, {}}), "[[true],[]]");
    EXPECT_EQ(jsonio::write_document(std::array<double, 3>{1.0, kNaN, 2.5}), "[1.0,null,2.5]");
    EXPECT_EQ(jsonio::write_document(std::pair<std::string, double>{"x", 1.0}), R"(["x",1.0])");
    EXPECT_EQ(jsonio::write_document(OptionalLosMatrix{{std::nullopt, LevelOfService::C}, {}}), R"([[null,"C"],[]])");
}

TEST(Writer, RecordsKeepDeclarationOrderAndWriteEveryKey) {
    EXPECT_EQ(jsonio::write_document(jsonio::read_document<Segment>("{}")),
              R"({"seg_type":"Basic","length_ft":1500.0,"lanes":3,"ffs":null,"caf_schedule":null,"work_zone":null,"on_ramp":[]})");
    Composite c{60.0, 0.9, {Grade{1.0, -2.0}}};
    EXPECT_EQ(jsonio::write_document(c), R"({"ffs":60.0,"caf_ao":0.9,"segments":[{"length":1.0,"grade":-2.0}]})");
}

TEST(Writer, PrettyFormIsTwoSpacesWithoutFinalNewline) {
    Facility f;
    f.demand = {4000.0};
    f.city = CityType::Rural;
    f.had_queue = {{false}};
    EXPECT_EQ(jsonio::write_document_pretty(f),
              "{\n"
              "  \"segments\": [],\n"
              "  \"demand\": [\n"
              "    4000.0\n"
              "  ],\n"
              "  \"city\": \"Rural\",\n"
              "  \"had_queue\": [\n"
              "    [\n"
              "      false\n"
              "    ]\n"
              "  ],\n"
              "  \"performance\": []\n"
              "}");
    EXPECT_EQ(jsonio::write_document_pretty(std::vector<double>{}), "[]");
}

TEST(Writer, TaggedEnumerations) {
    EXPECT_EQ(jsonio::write_document(Control{std::in_place_index<0>}), R"("Stop")");
    EXPECT_EQ(jsonio::write_document(Control{std::in_place_index<2>}), R"("Yield")");
    EXPECT_EQ(jsonio::write_document(Control{std::in_place_index<1>, Signal{90.0}}), R"({"Signal":{"cycle_s":90.0}})");
}

TEST(Writer, InvalidUtf8IsAnError) {
    EXPECT_THROW(jsonio::write_document(std::string("\xff")), hcm::Error);
}

// Writing then reading gives back every variant of each shared enumeration.
template <class E>
class EnumRoundTrip : public ::testing::Test {};
using SharedEnums = ::testing::Types<LevelOfService, CityType, Direction, ControlType, SegType>;
TYPED_TEST_SUITE(EnumRoundTrip, SharedEnums);

TYPED_TEST(EnumRoundTrip, EveryVariant) {
    constexpr auto& names = base::variant_names<TypeParam>;
    for (std::size_t i = 0; i < names.size(); ++i) {
        auto value = static_cast<TypeParam>(i);
        std::string text = jsonio::write_document(value);
        std::string quoted = "\"";  // built step by step: g++ 12 misreads "\"" + name + "\"" here (-Wrestrict)
        quoted.append(names[i]).append("\"");
        EXPECT_EQ(text, quoted);
        EXPECT_EQ(jsonio::read_document<TypeParam>(text), value);
    }
}

TEST(RoundTrip, LevelOfServiceIsItsLetter) {
    for (int i = 0; i < 6; ++i) {
        auto los = static_cast<LevelOfService>(i);
        EXPECT_EQ(jsonio::write_document(los), std::string("\"") + hcm::common::letter(los) + "\"");
    }
}

TEST(RoundTrip, FacilityWithSegmentsResultsAndMatrices) {
    Facility f;
    Segment merge = jsonio::read_document<Segment>(R"(["Merge", 2000])");
    merge.work_zone = Zone{3, 1, true, 4.5};
    merge.caf_schedule = std::vector<double>{0.95, 1.0};
    merge.on_ramp = {500.0, 612.25};
    f.segments = {jsonio::read_document<Segment>("{}"), merge};
    f.demand = {4000.0, 0.1 + 0.2};
    f.city = CityType::Rural;
    f.had_queue = {{true, false}, {false, false}};
    f.performance = {Perf{61.5, LevelOfService::B, 0.0}, Perf{12.0, LevelOfService::F, 33.3}};
    std::string text = jsonio::write_document(f);
    EXPECT_EQ(jsonio::read_document<Facility>(text), f);
    EXPECT_EQ(jsonio::write_document(jsonio::read_document<Facility>(jsonio::write_document_pretty(f))), text);
}

TEST(RoundTrip, NonFiniteResultsAreWrittenNullAndReadBackAsNaN) {
    Outcome o{kInf, {1.0, kNaN, -kInf}, {{kNaN, 2.0}, {}}, {std::nullopt, kInf}, 7};
    const std::string text = jsonio::write_document(o);
    EXPECT_EQ(text, R"({"delay":null,"approach":[1.0,null,null],"matrix":[[null,2.0],[]],"maybe":[null,null],"count":7})");
    const Outcome back = jsonio::read_document<Outcome>(text);
    EXPECT_TRUE(std::isnan(back.delay));
    EXPECT_TRUE(std::isnan(back.approach[1]) && std::isnan(back.approach[2]));
    EXPECT_TRUE(std::isnan(back.matrix[0][0]));
    // An optional keeps null meaning absent, so a non-finite optional value reads back absent.
    EXPECT_EQ(back.maybe, (std::vector<std::optional<double>>{std::nullopt, std::nullopt}));
    EXPECT_EQ(jsonio::write_document(back), text);
    EXPECT_EQ(jsonio::write_document(jsonio::read_document<Outcome>(jsonio::write_document_pretty(o))), text);
}

// A field declared required (not a result) keeps refusing null.
TEST(RoundTrip, NonFiniteResultIsWrittenNullAndThenRefused) {
    Perf p{kNaN, LevelOfService::F, 1.0};
    std::string text = jsonio::write_document(p);
    EXPECT_EQ(text, R"({"speed":null,"los":"F","vhd":1.0})");
    EXPECT_EQ(error_of<jsonio::Error>([&] { jsonio::read_document<Perf>(text); }),
              "invalid type: null, expected f64 at line 1 column 13")
        << "null read as a number";
}

}  // namespace
