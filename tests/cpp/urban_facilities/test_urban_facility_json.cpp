#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "../support/checks.hpp"
#include "hcm/urban_facilities/urban_facilities.hpp"

using namespace hcm::urban_facilities::urban_facilities;
using namespace testing_support;
using LOS = hcm::common::LevelOfService;

namespace {

const std::string kSegment =
    R"({"segment_length_ft": 1320, "n_through_lanes": 2, "speed_limit_mph": 35, "through_demand_veh_h": 900,
        "control": "Signalized", "through_capacity_veh_h": 1500, "through_control_delay_s": 15})";

const std::string kResults = R"({"length_ft": 1320, "base_ffs_mph": 40, "travel_speed_mph": 30, "travel_time_s": 30,
    "base_free_flow_travel_time_s": 22.5, "los": "C"})";

std::string read_error(const std::string& text) {
    return error_of([&] { (void)read_urban_facility(text); });
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(UrbanFacilityJson, EmptyFacilityWritesEveryKey) {
    const UrbanFacility f = read_urban_facility(R"( {"segments": []} )");
    EXPECT_EQ(f, UrbanFacility{});
    EXPECT_EQ(write_urban_facility(f),
              "{\n  \"segments\": [],\n  \"prop_left_turn_lanes\": null,\n  \"spillback_inputs\": null,\n"
              "  \"results\": null,\n  \"spillback_flags\": null\n}");
    EXPECT_EQ(read_urban_facility("[[]]"), f);  // the array form needs only the segments
}

TEST(UrbanFacilityJson, StoredResultsFlagsAndDefaultsReadAndWriteBack) {
    const UrbanFacility f = read_urban_facility(R"({"segments": [)" + kSegment + R"(], "prop_left_turn_lanes": 0.4,
        "spillback_inputs": [{"available_storage_ft": 300, "back_of_queue_veh_ln": 4}],
        "results": )" + kResults + R"(, "spillback_flags": [true]})");
    ASSERT_EQ(f.segments.size(), 1u);
    EXPECT_EQ(f.segments[0].through_capacity_veh_h, 1500.0);
    EXPECT_EQ(f.spillback_inputs->at(0), (SpillbackCheckInput{300.0, 4.0, 25.0}));
    ASSERT_TRUE(f.results);
    EXPECT_EQ(f.results->los, LOS::C);
    EXPECT_FALSE(f.results->poorest_segment_los);
    EXPECT_EQ(f.spillback_flags, std::vector<bool>{true});

    const std::string text = write_urban_facility(f);
    EXPECT_TRUE(contains(text, "  \"segments\": [\n    {\n      \"segment_length_ft\": 1320.0,\n"));
    EXPECT_TRUE(contains(text, "      \"avg_vehicle_spacing_ft\": 25.0\n"));
    EXPECT_TRUE(contains(text, "    \"los\": \"C\",\n    \"poorest_segment_los\": null,\n"));
    EXPECT_TRUE(text.ends_with("  \"spillback_flags\": [\n    true\n  ]\n}"));
    EXPECT_EQ(read_urban_facility(text), f);

    // Array forms of the nested records; null results are absent.
    const UrbanFacility a = read_urban_facility(R"([[], 0.4, [[300, 4]], null, [false, true]])");
    EXPECT_EQ(a.spillback_inputs->at(0), (SpillbackCheckInput{300.0, 4.0, 25.0}));
    EXPECT_FALSE(a.results);
    EXPECT_EQ(a.spillback_flags, (std::vector<bool>{false, true}));
    EXPECT_EQ(read_urban_facility(R"({"segments": [], "results": [1, 2, 3, 4, 5, null, 0.9, "F"]})").results->los,
              LOS::F);
}

TEST(UrbanFacilityJson, UnknownKeysAreDroppedAtEveryLevel) {
    std::string segment = kSegment;
    segment.insert(1, R"("colour": "red", )");
    const UrbanFacility f = read_urban_facility(R"({"note": 1, "segments": [)" + segment + R"(],
        "spillback_inputs": [{"available_storage_ft": 1, "back_of_queue_veh_ln": 2, "storage_note": 3}],
        "results": )" + kResults.substr(0, kResults.size() - 1) + R"(, "extra": [1]}})");
    const std::string text = write_urban_facility(f);
    for (const char* key : {"note", "colour", "storage_note", "extra"}) EXPECT_FALSE(contains(text, key)) << key;
    EXPECT_EQ(read_urban_facility(text), f);
}

TEST(UrbanFacilityJson, NonFiniteMeasuresWriteNullAndReadBackAsNaN) {
    UrbanFacility f;
    f.results = FacilityResults{kInf, 40.0, kNaN, kInf, 1.0, std::nullopt, kNaN, LOS::F, std::nullopt, std::nullopt};
    const std::string text = write_urban_facility(f);
    EXPECT_TRUE(contains(text, "\"length_ft\": null,") && contains(text, "\"critical_vc_ratio\": null,"));
    const UrbanFacility back = read_urban_facility(text);
    EXPECT_TRUE(std::isnan(back.results->length_ft) && std::isnan(back.results->travel_speed_mph));
    EXPECT_EQ(back.results->base_ffs_mph, 40.0);
    EXPECT_FALSE(back.results->critical_vc_ratio);  // an optional measure: null is absent
}

struct ReadErrorCase {
    std::string text;
    std::string message;
};

class UrbanFacilityReadError : public testing::TestWithParam<ReadErrorCase> {};

TEST_P(UrbanFacilityReadError, Message) { EXPECT_EQ(read_error(GetParam().text), GetParam().message); }

INSTANTIATE_TEST_SUITE_P(
    Messages, UrbanFacilityReadError,
    testing::Values(
        ReadErrorCase{"{}", "missing field `segments` at line 1 column 2"},
        ReadErrorCase{"[]", "invalid length 0, expected struct UrbanFacility with 5 elements at line 1 column 2"},
        ReadErrorCase{"5", "invalid type: integer `5`, expected struct UrbanFacility at line 1 column 1"},
        ReadErrorCase{R"({"segments": 3})", "invalid type: integer `3`, expected a sequence at line 1 column 14"},
        ReadErrorCase{R"({"segments": [{}]})", "missing field `segment_length_ft` at line 1 column 16"},
        ReadErrorCase{R"({"segments": [], "segments": []})", "duplicate field `segments` at line 1 column 27"},
        ReadErrorCase{R"({"segments": [], "spillback_inputs": [{"back_of_queue_veh_ln": 1}]})",
                      "missing field `available_storage_ft` at line 1 column 65"},
        ReadErrorCase{R"({"segments": [], "spillback_inputs": [[1]]})",
                      "invalid length 1, expected struct SpillbackCheckInput with 3 elements at line 1 column 41"},
        ReadErrorCase{R"({"segments": [], "spillback_inputs": [true]})",
                      "invalid type: boolean `true`, expected struct SpillbackCheckInput at line 1 column 42"},
        ReadErrorCase{R"({"segments": [], "results": [1, 2, 3, 4, 5]})",
                      "invalid length 5, expected struct FacilityResults with 10 elements at line 1 column 43"},
        ReadErrorCase{R"({"segments": [], "results": {"length_ft": 1}})", "missing field `base_ffs_mph` at line 1 column 44"},
        ReadErrorCase{R"({"segments": [], "results": [1, 2, 3, 4, 5, null, null, "G"]})",
                      "unknown variant `G`, expected one of `A`, `B`, `C`, `D`, `E`, `F` at line 1 column 59"},
        ReadErrorCase{R"({"segments": []} x)", "trailing characters at line 1 column 18"}));

}  // namespace
