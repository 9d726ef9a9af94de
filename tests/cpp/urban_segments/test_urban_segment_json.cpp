#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support/checks.hpp"
#include "hcm/urban_segments/urban_segments.hpp"
#include "json/jsonio.hpp"

using namespace hcm::urban_segments::urban_segments;
using namespace testing_support;

namespace {

constexpr char kMinimal[] =
    R"({"segment_length_ft": 1320, "n_through_lanes": 2, "speed_limit_mph": 35,
        "through_demand_veh_h": 900, "control": "Signalized"})";

std::string read_error(const std::string& text) {
    return error_of([&] { (void)read_urban_segment(text); });
}

TEST(UrbanSegmentJson, MinimalDocumentWritesEveryKeyWithItsDefault) {
    const UrbanSegment s = read_urban_segment(kMinimal);
    EXPECT_EQ(write_urban_segment(s),
              "{\n"
              "  \"segment_length_ft\": 1320.0,\n  \"upstream_intersection_width_ft\": 0.0,\n"
              "  \"n_through_lanes\": 2,\n  \"speed_limit_mph\": 35.0,\n  \"restrictive_median_length_ft\": 0.0,\n"
              "  \"proportion_with_curb\": 1.0,\n  \"proportion_on_street_parking\": 0.0,\n"
              "  \"n_access_points_subject\": 0.0,\n  \"n_access_points_opposing\": 0.0,\n"
              "  \"prop_opposing_left_accessible\": 1.0,\n  \"signal_spacing_ft\": null,\n  \"s_calib_mph\": 0.0,\n"
              "  \"free_flow_speed_override_mph\": null,\n  \"through_demand_veh_h\": 900.0,\n"
              "  \"midsegment_flow_veh_h\": null,\n  \"through_capacity_veh_h\": null,\n  \"control\": \"Signalized\",\n"
              "  \"through_control_delay_s\": null,\n  \"cycle_length_s\": null,\n  \"effective_green_s\": null,\n"
              "  \"arrival_type\": null,\n  \"platoon_ratio\": null,\n  \"stopped_vehicles_veh_ln\": null,\n"
              "  \"queue2_veh_ln\": null,\n  \"queue3_veh_ln\": null,\n  \"sat_flow_veh_h_ln\": null,\n"
              "  \"full_stop_rate_override\": null,\n  \"stop_rate_other\": 0.0,\n  \"access_point_delays_s\": null,\n"
              "  \"n_influential_access_points\": null,\n  \"pct_left_turns_access\": 10.0,\n"
              "  \"pct_right_turns_access\": 10.0,\n  \"access_left_bay_adequate\": false,\n"
              "  \"access_right_bay_adequate\": false,\n  \"midsegment_other_delay_s\": 0.0,\n"
              "  \"access_point_approaches\": null,\n  \"analysis_period_h\": 0.25,\n"
              "  \"access_point_turn_delay_speed_mph\": null,\n  \"upstream_discharge_profiles\": null,\n"
              "  \"arrival_uniform_volume_veh_h\": 0.0,\n  \"flow_profile_time_step_s\": 1.0,\n"
              "  \"downstream_green_start_s\": 0.0,\n  \"prop_left_turn_lanes\": null,\n"
              "  \"speed_constant_mph\": null,\n  \"f_cs_mph\": null,\n  \"f_a_mph\": null,\n  \"f_pk_mph\": null,\n"
              "  \"base_ffs_mph\": null,\n  \"f_l\": null,\n  \"free_flow_speed_mph\": null,\n  \"f_v\": null,\n"
              "  \"access_point_delay_total_s\": null,\n  \"access_point_delays_computed\": null,\n"
              "  \"running_time_s\": null,\n  \"running_speed_mph\": null,\n  \"proportion_arriving_green\": null,\n"
              "  \"through_delay_s\": null,\n  \"full_stop_rate\": null,\n  \"travel_speed_mph\": null,\n"
              "  \"spatial_stop_rate_stops_mi\": null,\n  \"vc_ratio\": null,\n  \"demand_exceeds_capacity\": null,\n"
              "  \"los\": null,\n  \"perception_score\": null\n"
              "}");
    EXPECT_EQ(json_record(jsonio::Tag<UrbanSegment>{}).fields().size(), 64u);
}

TEST(UrbanSegmentJson, AnalysedSegmentRoundTripsWithItsLists) {
    UrbanSegment s = read_urban_segment(
        R"({"segment_length_ft": 1320, "n_through_lanes": 2, "speed_limit_mph": 35, "through_demand_veh_h": 900,
            "control": {"Signalized": null}, "cycle_length_s": 100, "effective_green_s": 45,
            "through_capacity_veh_h": 1700, "arrival_type": 5, "access_point_delays_s": [0.1, 0.2],
            "access_point_approaches": [[60, 900, 80, 1, 0, 1, 700, false, false, 0, 0, 3]],
            "upstream_discharge_profiles": [{"discharge_volume_veh_h": 900, "saturation_flow_veh_h": 3600,
                "green_start_s": 0, "green_duration_s": 40, "queue_service_time_s": 15}],
            "prop_left_turn_lanes": 0.2, "full_stop_rate_override": 0.6})");
    s.analyze();
    const std::string text = write_urban_segment(s);
    EXPECT_EQ(read_urban_segment(text), s);
    EXPECT_NE(text.find("  \"access_point_delays_s\": [\n    0.1,\n    0.2\n  ],\n"), std::string::npos);
    EXPECT_NE(text.find("  \"upstream_discharge_profiles\": [\n    {\n      \"discharge_volume_veh_h\": 900.0,\n"),
              std::string::npos);
    EXPECT_NE(text.find("\"los\": \"A\""), std::string::npos);
    EXPECT_NE(text.find("\"demand_exceeds_capacity\": false"), std::string::npos);

    // Empty lists stay lists; null stays absent.
    const UrbanSegment e = read_urban_segment(
        R"({"segment_length_ft": 1, "n_through_lanes": 0, "speed_limit_mph": 1, "through_demand_veh_h": 1,
            "control": "Uncontrolled", "access_point_approaches": [], "upstream_discharge_profiles": null})");
    EXPECT_TRUE(e.access_point_approaches && e.access_point_approaches->empty());
    EXPECT_FALSE(e.upstream_discharge_profiles);
    const std::string written = write_urban_segment(e);
    EXPECT_NE(written.find("\"access_point_approaches\": [],"), std::string::npos);
    EXPECT_NE(written.find("\"upstream_discharge_profiles\": null,"), std::string::npos);
    EXPECT_NE(written.find("\"n_through_lanes\": 0,"), std::string::npos);
}

TEST(UrbanSegmentJson, ResultKeysAreKeptUntilAnAnalysis) {
    UrbanSegment s = read_urban_segment(
        R"({"segment_length_ft": 1320, "n_through_lanes": 2, "speed_limit_mph": 35, "through_demand_veh_h": 900,
            "control": "Signalized", "travel_speed_mph": 31.2, "los": "C", "los_note": "ignored",
            "access_point_delays_computed": [[1, 2, 3, 0.5]]})");
    EXPECT_DOUBLE_EQ(*s.travel_speed_mph, 31.2);
    EXPECT_EQ(s.los, hcm::common::LevelOfService::C);
    ASSERT_TRUE(s.access_point_delays_computed);
    EXPECT_DOUBLE_EQ((*s.access_point_delays_computed)[0].prob_inside_lane_blocked, 0.5);
    s.analyze();
    EXPECT_NE(*s.travel_speed_mph, 31.2);
    EXPECT_EQ(s.access_point_delays_computed->size(), 1u);  // off the per-approach path: kept
}

TEST(UrbanSegmentJson, ArrayFormFillsDefaults) {
    const UrbanSegment s = read_urban_segment(R"([1320, 30, 2, 35, 0, 1, 0, 0, 0, 1, null, 0, null, 900,
                                                      null, null, "AllWayStop"])");
    EXPECT_DOUBLE_EQ(s.upstream_intersection_width_ft, 30.0);
    EXPECT_EQ(s.control, BoundaryControlType::AllWayStop);
    EXPECT_DOUBLE_EQ(s.analysis_period_h, 0.25);
    EXPECT_TRUE(starts_with(read_error("[1320, 30, 2, 35]"),
                            "invalid length 4, expected struct UrbanSegment with 64 elements"));
}

struct ReadFailure {
    const char* text;
    const char* message_start;
};

class UrbanSegmentReadFailure : public ::testing::TestWithParam<ReadFailure> {};

TEST_P(UrbanSegmentReadFailure, Message) {
    const std::string message = read_error(GetParam().text);
    EXPECT_TRUE(starts_with(message, GetParam().message_start)) << message;
    EXPECT_NE(message.find(" at line "), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Documents, UrbanSegmentReadFailure,
    ::testing::Values(
        ReadFailure{"{}", "missing field `segment_length_ft`"},
        ReadFailure{R"({"segment_length_ft": 1, "n_through_lanes": 1, "speed_limit_mph": 1, "through_demand_veh_h": 1})",
                    "missing field `control`"},
        ReadFailure{R"({"segment_length_ft": 1, "n_through_lanes": 1, "speed_limit_mph": 1, "through_demand_veh_h": 1,
                        "control": "signalized"})",
                    "unknown variant `signalized`, expected one of `Signalized`, `AllWayStop`, `YieldControlled`, "
                    "`Roundabout`, `Uncontrolled`"},
        ReadFailure{R"({"n_through_lanes": 2.5})", "invalid type: floating point `2.5`, expected u32"},
        ReadFailure{R"({"n_through_lanes": -1})", "invalid value: integer `-1`, expected u32"},
        ReadFailure{R"({"arrival_type": 256})", "invalid value: integer `256`, expected u8"},
        ReadFailure{R"({"speed_limit_mph": 30, "speed_limit_mph": 35})", "duplicate field `speed_limit_mph`"},
        ReadFailure{R"({"segment_length_ft": 1, "n_through_lanes": 1, "speed_limit_mph": 1, "through_demand_veh_h": 1,
                        "control": "Roundabout", "access_point_approaches": [{"v_lt": 1}]})",
                    "missing field `v_th`"},
        ReadFailure{"\"Signalized\"", "invalid type: string \"Signalized\", expected struct UrbanSegment"},
        ReadFailure{R"({"segment_length_ft": 1, "n_through_lanes": 1, "speed_limit_mph": 1, "through_demand_veh_h": 1,
                        "control": "Roundabout"} x)",
                    "trailing characters"}));

TEST(UrbanSegmentJson, LenientReads) {
    // Unknown keys (also twice), null for optionals, trailing whitespace.
    const UrbanSegment s = read_urban_segment(
        R"({"x": 1, "x": [2], "segment_length_ft": 1, "n_through_lanes": 1, "speed_limit_mph": 1,
            "through_demand_veh_h": 1, "control": "Uncontrolled", "arrival_type": null} )"
        "\n\n");
    EXPECT_FALSE(s.arrival_type);
}

TEST(UrbanSegmentJson, ListReader) {
    const auto read_list = [](const char* text) { return jsonio::read_document<std::vector<UrbanSegment>>(text); };
    EXPECT_TRUE(read_list("[]").empty());
    const std::string two = std::string("[") + kMinimal + ", " + kMinimal + "]";
    EXPECT_EQ(read_list(two.c_str()).size(), 2u);
    const auto list_error = [&](const char* text) {
        return error_of<jsonio::Error>([&] { (void)read_list(text); });
    };
    EXPECT_TRUE(starts_with(list_error("null"), "invalid type: null, expected a sequence"));
    EXPECT_TRUE(starts_with(list_error(kMinimal), "invalid type: map, expected a sequence"));
    const std::string second_bad =
        std::string("[") + kMinimal +
        R"(, {"segment_length_ft": 1, "n_through_lanes": 1, "speed_limit_mph": 1, "through_demand_veh_h": 1}])";
    EXPECT_TRUE(starts_with(list_error(second_bad.c_str()), "missing field `control`"));
}

}  // namespace
