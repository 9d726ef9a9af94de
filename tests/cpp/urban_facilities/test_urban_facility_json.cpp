#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>

#include "../support/checks.hpp"
#include "hcm/urban_facilities/urban_facilities.hpp"

using namespace hcm::urban_facilities::urban_facilities;
using namespace testing_support;
using LOS = hcm::common::LevelOfService;

namespace {

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(UrbanFacilityJson, EmptyFacilityWritesEveryKey) {
    const UrbanFacility f = read_urban_facility(R"( {"segments": []} )");
    EXPECT_EQ(f, UrbanFacility{});
    EXPECT_EQ(write_urban_facility(f),
              "{\n  \"segments\": [],\n  \"prop_left_turn_lanes\": null,\n  \"spillback_inputs\": null,\n"
              "  \"results\": null,\n  \"spillback_flags\": null\n}");
    EXPECT_EQ(read_urban_facility("[[]]"), f);  // the array form needs only the segments
}

// Stored results and flags, defaults, nested array forms and unknown keys at every level.
TEST(UrbanFacilityJson, DocumentReadsAndWritesBack) {
    const UrbanFacility f = read_urban_facility(R"({"note": 1, "segments": [{"colour": "red", "segment_length_ft": 1320,
        "n_through_lanes": 2, "speed_limit_mph": 35, "through_demand_veh_h": 900, "control": "Signalized"}],
        "spillback_inputs": [{"available_storage_ft": 300, "back_of_queue_veh_ln": 4, "lane": 3}, [200, 5]],
        "results": {"length_ft": 1320, "base_ffs_mph": 40, "travel_speed_mph": 30, "travel_time_s": 30,
                    "base_free_flow_travel_time_s": 22.5, "los": "C", "extra": 0}, "spillback_flags": [true]})");
    EXPECT_EQ(f.segments.at(0).speed_limit_mph, 35.0);
    EXPECT_EQ(f.spillback_inputs->at(0), (SpillbackCheckInput{300.0, 4.0, 25.0}));
    EXPECT_EQ(f.spillback_inputs->at(1), (SpillbackCheckInput{200.0, 5.0, 25.0}));
    EXPECT_EQ(f.results->los, LOS::C);
    EXPECT_FALSE(f.results->poorest_segment_los);
    EXPECT_EQ(f.spillback_flags, std::vector<bool>{true});

    const std::string text = write_urban_facility(f);
    EXPECT_TRUE(contains(text, "  \"segments\": [\n    {\n      \"segment_length_ft\": 1320.0,\n"));
    EXPECT_TRUE(contains(text, "      \"avg_vehicle_spacing_ft\": 25.0\n"));
    EXPECT_TRUE(contains(text, "    \"los\": \"C\",\n    \"poorest_segment_los\": null,\n"));
    EXPECT_TRUE(text.ends_with("  \"spillback_flags\": [\n    true\n  ]\n}"));
    for (const char* key : {"note", "colour", "lane\"", "extra"}) EXPECT_FALSE(contains(text, key)) << key;
    EXPECT_EQ(read_urban_facility(text), f);
    EXPECT_FALSE(read_urban_facility(R"({"segments": [], "results": null})").results);
}

TEST(UrbanFacilityJson, NonFiniteMeasuresWriteNullAndReadBackAsNaN) {
    UrbanFacility f;
    f.results = FacilityResults{kInf, 40.0, kNaN, kInf, 1.0, {}, kNaN, LOS::F, {}, {}};
    const UrbanFacility back = read_urban_facility(write_urban_facility(f));
    EXPECT_TRUE(std::isnan(back.results->length_ft) && std::isnan(back.results->travel_speed_mph));
    EXPECT_EQ(back.results->base_ffs_mph, 40.0);
    EXPECT_FALSE(back.results->critical_vc_ratio);  // no segment has a v/c ratio: null is absent
    // A segment's v/c ratio (an infinite one, read back as NaN) shows that the aggregation gave
    // the facility's: its null reads NaN. No segment has a stop rate: the facility's stays absent.
    f.segments.resize(1);
    f.segments[0].los = LOS::F;
    f.segments[0].through_capacity_veh_h = 1e-310;
    f.segments[0].vc_ratio = kInf;
    f.results->spatial_stop_rate_stops_mi = std::nullopt;
    const UrbanFacility analysed = read_urban_facility(write_urban_facility(f));
    EXPECT_TRUE(std::isnan(*analysed.segments[0].vc_ratio) && std::isnan(*analysed.results->critical_vc_ratio));
    EXPECT_FALSE(analysed.results->spatial_stop_rate_stops_mi);
}

class UrbanFacilityReadError : public testing::TestWithParam<std::pair<std::string, std::string>> {};

TEST_P(UrbanFacilityReadError, Message) {
    EXPECT_EQ(error_of([&] { (void)read_urban_facility(GetParam().first); }), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, UrbanFacilityReadError,
    testing::Values(
        std::pair{"{}", "missing field `segments` at line 1 column 2"},
        std::pair{"[]", "invalid length 0, expected struct UrbanFacility with 5 elements at line 1 column 2"},
        std::pair{"5", "invalid type: integer `5`, expected struct UrbanFacility at line 1 column 1"},
        std::pair{R"({"segments": [{}]})", "missing field `segment_length_ft` at line 1 column 16"},
        std::pair{R"({"segments": [], "spillback_inputs": [{"back_of_queue_veh_ln": 1}]})",
                  "missing field `available_storage_ft` at line 1 column 65"},
        std::pair{R"({"segments": [], "spillback_inputs": [[1]]})",
                  "invalid length 1, expected struct SpillbackCheckInput with 3 elements at line 1 column 41"},
        std::pair{R"({"segments": [], "spillback_inputs": [true]})",
                  "invalid type: boolean `true`, expected struct SpillbackCheckInput at line 1 column 42"},
        std::pair{R"({"segments": [], "results": [1, 2, 3, 4, 5]})",
                  "invalid length 5, expected struct FacilityResults with 10 elements at line 1 column 43"},
        std::pair{R"({"segments": [], "results": [1, 2, 3, 4, 5, null, null, "G"]})",
                  "unknown variant `G`, expected one of `A`, `B`, `C`, `D`, `E`, `F` at line 1 column 59"}));

}  // namespace
