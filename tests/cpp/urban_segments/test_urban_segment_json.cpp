#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "../support/checks.hpp"
#include "hcm/urban_segments/urban_segments.hpp"
#include "json/jsonio.hpp"

using namespace hcm::urban_segments::urban_segments;
using namespace testing_support;

namespace {

const std::string kRequired =
    R"("segment_length_ft": 1320, "n_through_lanes": 2, "speed_limit_mph": 35, "through_demand_veh_h": 900)";

UrbanSegment read(const std::string& extra, const char* control = "\"Signalized\"") {
    return read_urban_segment("{" + kRequired + ", \"control\": " + control + extra + "}");
}

std::string read_error(const std::string& text) {
    return error_of([&] { (void)read_urban_segment(text); });
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(UrbanSegmentJson, MinimalDocumentWritesEveryKeyWithItsDefault) {
    const std::string text = write_urban_segment(read(""));
    EXPECT_TRUE(starts_with(text, "{\n  \"segment_length_ft\": 1320.0,\n  \"upstream_intersection_width_ft\": 0.0,\n"
                                  "  \"n_through_lanes\": 2,\n"));
    EXPECT_TRUE(text.ends_with("\n  \"los\": null,\n  \"perception_score\": null\n}"));
    std::size_t keys = 0;
    for (std::size_t at = text.find("\n  \""); at != std::string::npos; at = text.find("\n  \"", at + 1)) ++keys;
    EXPECT_EQ(keys, 64u);
    for (const char* entry : {"\"proportion_with_curb\": 1.0,", "\"prop_opposing_left_accessible\": 1.0,",
                              "\"pct_left_turns_access\": 10.0,", "\"pct_right_turns_access\": 10.0,",
                              "\"analysis_period_h\": 0.25,", "\"flow_profile_time_step_s\": 1.0,",
                              "\"access_left_bay_adequate\": false,", "\"control\": \"Signalized\",",
                              "\"arrival_type\": null,", "\"access_point_approaches\": null,",
                              "\"demand_exceeds_capacity\": null,"})
        EXPECT_TRUE(contains(text, entry)) << entry;
}

TEST(UrbanSegmentJson, AnalysedSegmentRoundTripsWithItsLists) {
    UrbanSegment s = read(R"(, "cycle_length_s": 100, "effective_green_s": 45, "arrival_type": 5,
            "access_point_delays_s": [0.1, 0.2], "through_capacity_veh_h": 1700,
            "access_point_approaches": [[60, 900, 80, 1, 0, 1, 700, false, false, 0, 0, 3]],
            "upstream_discharge_profiles": [[900, 3600, 0, 40, 15]], "full_stop_rate_override": 0.6)",
                          R"({"Signalized": null})");
    s.analyze();
    const std::string text = write_urban_segment(s);
    EXPECT_EQ(read_urban_segment(text), s);
    EXPECT_TRUE(contains(text, "  \"access_point_delays_s\": [\n    0.1,\n    0.2\n  ],\n"));
    EXPECT_TRUE(contains(text, "  \"upstream_discharge_profiles\": [\n    {\n      \"discharge_volume_veh_h\": 900.0,"));
    EXPECT_TRUE(contains(text, "\"los\": \"A\"") && contains(text, "\"demand_exceeds_capacity\": false"));

    // Empty lists stay lists, null stays absent; a zero lane count reads and writes as it is.
    const UrbanSegment e = read_urban_segment(R"({"segment_length_ft": 1, "n_through_lanes": 0, "speed_limit_mph": 1,
        "through_demand_veh_h": 1, "control": "Uncontrolled", "access_point_approaches": [],
        "upstream_discharge_profiles": null})");
    EXPECT_TRUE(contains(write_urban_segment(e), "\"n_through_lanes\": 0,"));
    EXPECT_TRUE(contains(write_urban_segment(e), "\"access_point_approaches\": [],"));
    EXPECT_FALSE(e.upstream_discharge_profiles);
}

TEST(UrbanSegmentJson, NonFiniteAccessPointDelaysReadBack) {
    // 10^200 veh/h on one lane: the inside-lane queue delay overflows to infinity, written null.
    UrbanSegment s = read(R"(, "access_point_approaches": [[1e200, 1e200, 0, 0, 1, 0, 0, false, false, 0, 0, 0]])");
    s.analyze();
    const AccessPointDelay& d = s.access_point_delays_computed->front();
    ASSERT_TRUE(std::isinf(d.delay_left_s) && std::isinf(*s.access_point_delay_total_s));
    const std::string text = write_urban_segment(s);
    EXPECT_TRUE(contains(text, "\"delay_left_s\": null,"));
    const UrbanSegment back = read_urban_segment(text);
    const AccessPointDelay& r = back.access_point_delays_computed->front();
    EXPECT_TRUE(std::isnan(r.delay_left_s) && std::isnan(r.delay_total_s));
    EXPECT_EQ(r.delay_right_s, d.delay_right_s);
    EXPECT_TRUE(std::isnan(*back.access_point_delay_total_s));  // analysed (its LOS given): NaN
    EXPECT_EQ(write_urban_segment(back), text);
}

// The Step 9 stop rates read back as they were written, by the control and its capacity: a yield
// or a roundabout without capacity has none, one of a denormal capacity an infinite one.
struct StopRateCase {
    const char* control;
    const char* extra;
    bool has_stop_rate;
    friend void PrintTo(const StopRateCase& c, std::ostream* os) { *os << c.control << c.extra; }
};

class UrbanSegmentStopRatesReadBack : public testing::TestWithParam<StopRateCase> {};

TEST_P(UrbanSegmentStopRatesReadBack, ByTheControl) {
    UrbanSegment s = read(std::string(R"(, "prop_left_turn_lanes": 0.5)") + GetParam().extra, GetParam().control);
    s.analyze();
    ASSERT_EQ(s.full_stop_rate.has_value(), GetParam().has_stop_rate);
    const UrbanSegment back = read_urban_segment(write_urban_segment(s));
    for (auto member : {&UrbanSegment::full_stop_rate, &UrbanSegment::spatial_stop_rate_stops_mi,
                        &UrbanSegment::perception_score, &UrbanSegment::vc_ratio})
        EXPECT_TRUE(reads_back_as(s.*member, back.*member));
}

INSTANTIATE_TEST_SUITE_P(
    Controls, UrbanSegmentStopRatesReadBack,
    testing::Values(StopRateCase{"\"YieldControlled\"", "", false},
                    StopRateCase{"\"YieldControlled\"", R"(, "through_capacity_veh_h": 0)", false},
                    StopRateCase{"\"YieldControlled\"", R"(, "through_capacity_veh_h": 1e-310)", true},
                    StopRateCase{"\"Roundabout\"", "", false},
                    StopRateCase{"\"Roundabout\"", R"(, "through_capacity_veh_h": 1e-310)", true},
                    StopRateCase{"\"AllWayStop\"", "", true}, StopRateCase{"\"Uncontrolled\"", "", true},
                    StopRateCase{"\"Signalized\"", "", false},
                    StopRateCase{"\"Signalized\"", R"(, "full_stop_rate_override": 1e308)", true}));

TEST(UrbanSegmentJson, ResultKeysAreKeptUntilAnAnalysis) {
    UrbanSegment s = read(R"(, "travel_speed_mph": 31.2, "los": "C", "note": {"x": [1]}, "note": 2,
                             "access_point_delays_computed": [[1, 2, 3, 0.5]], "arrival_type": null )");
    EXPECT_DOUBLE_EQ(*s.travel_speed_mph, 31.2);
    EXPECT_EQ(s.los, hcm::common::LevelOfService::C);
    EXPECT_FALSE(s.arrival_type);
    s.analyze();
    EXPECT_NE(*s.travel_speed_mph, 31.2);
    EXPECT_EQ(s.access_point_delays_computed->size(), 1u);  // off the per-approach path: kept
    // The array form: trailing fields take their defaults.
    const UrbanSegment a = read_urban_segment(R"([1320, 30, 2, 35, 0, 1, 0, 0, 0, 1, null, 0, null, 900, null, null,
                                                  "AllWayStop"])");
    EXPECT_EQ(a.control, BoundaryControlType::AllWayStop);
    EXPECT_DOUBLE_EQ(a.analysis_period_h, 0.25);
}

struct ReadFailure {
    std::string text;
    const char* message_start;
};

class UrbanSegmentReadFailure : public ::testing::TestWithParam<ReadFailure> {};

TEST_P(UrbanSegmentReadFailure, Message) {
    const std::string message = read_error(GetParam().text);
    EXPECT_TRUE(starts_with(message, GetParam().message_start)) << message;
    EXPECT_TRUE(contains(message, " at line "));
}

INSTANTIATE_TEST_SUITE_P(
    Documents, UrbanSegmentReadFailure,
    ::testing::Values(
        ReadFailure{"{}", "missing field `segment_length_ft`"},
        ReadFailure{"{" + kRequired + "}", "missing field `control`"},
        ReadFailure{"{" + kRequired + R"(, "control": "signalized"})",
                    "unknown variant `signalized`, expected one of `Signalized`, `AllWayStop`, `YieldControlled`, "
                    "`Roundabout`, `Uncontrolled`"},
        ReadFailure{R"({"n_through_lanes": 2.5})", "invalid type: floating point `2.5`, expected u32"},
        ReadFailure{R"({"n_through_lanes": -1})", "invalid value: integer `-1`, expected u32"},
        ReadFailure{R"({"arrival_type": 256})", "invalid value: integer `256`, expected u8"},
        ReadFailure{R"({"speed_limit_mph": 30, "speed_limit_mph": 35})", "duplicate field `speed_limit_mph`"},
        ReadFailure{"{" + kRequired + R"(, "control": "Roundabout", "access_point_approaches": [{"v_lt": 1, "v_th": 1,
            "v_rt": 1, "n_sl": 0, "n_t": 1, "n_sr": 0, "opposing_flow_veh_h": 0, "left_turn_bay": false,
            "right_turn_bay": false, "n_lt_lanes": 0, "left_bay_storage_ft": 0}]})",
                    "missing field `pct_heavy_veh`"},
        ReadFailure{"{" + kRequired + R"(, "control": "Roundabout", "access_point_delays_computed": [[1, 2, 3]]})",
                    "invalid length 3, expected struct AccessPointDelay with 4 elements"},
        ReadFailure{"[1320, 30, 2, 35]", "invalid length 4, expected struct UrbanSegment with 64 elements"},
        ReadFailure{"\"Signalized\"", "invalid type: string \"Signalized\", expected struct UrbanSegment"},
        ReadFailure{"{" + kRequired + R"(, "control": "Roundabout"} x)", "trailing characters"}));

TEST(UrbanSegmentJson, ListReader) {
    const auto read_list = [](const std::string& text) { return jsonio::read_document<std::vector<UrbanSegment>>(text); };
    const std::string one = "{" + kRequired + ", \"control\": \"Uncontrolled\"}";
    EXPECT_TRUE(read_list("[]").empty());
    EXPECT_EQ(read_list("[" + one + ", " + one + "]").size(), 2u);
    const auto list_error = [&](const std::string& text) {
        return error_of<jsonio::Error>([&] { (void)read_list(text); });
    };
    EXPECT_TRUE(starts_with(list_error("null"), "invalid type: null, expected a sequence"));
    EXPECT_TRUE(starts_with(list_error(one), "invalid type: map, expected a sequence"));
    EXPECT_TRUE(starts_with(list_error("[" + one + ", {" + kRequired + "}]"), "missing field `control`"));
}

}  // namespace
