#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "../support/checks.hpp"
#include "hcm/freeway_facilities/managed_lanes.hpp"
#include "json/jsonio.hpp"

using namespace hcm::freeway_facilities::managed_lanes;
using namespace testing_support;
using hcm::common::LevelOfService;

namespace {

std::string read_error(const std::string& text) {
    return error_of<jsonio::Error>([&] { read_managed_lane_facility(text); });
}

std::vector<std::string> keys_of(const jsonio::Json& object) {
    std::vector<std::string> out;
    for (const auto& item : object.items()) out.push_back(item.key());
    return out;
}

TEST(MlFacilityJson, EmptyObjectAndEmptyArrayAreTheDefaultRecord) {
    const ManagedLaneFacility f = read_managed_lane_facility("{}");
    EXPECT_EQ(f, ManagedLaneFacility{});
    EXPECT_EQ(f.ml_ffs, 60.0);
    EXPECT_EQ(f.gp.ffs, 60.0);
    EXPECT_TRUE(f.gp.segments.empty());
    EXPECT_EQ(read_managed_lane_facility(" [ ] "), f);

    const jsonio::Json written = jsonio::Json::parse(write_managed_lane_facility(f));
    EXPECT_EQ(keys_of(written),
              (std::vector<std::string>{"gp", "ml", "ml_entry_demand", "ml_ffs", "cross_weave", "ml_demand",
                                        "ml_capacity", "ml_dc_ratio", "ml_speed", "ml_density_veh", "ml_density_pc",
                                        "ml_los", "ml_friction_active", "gp_group_performance",
                                        "ml_group_performance", "facility_performance"}));
    EXPECT_EQ(written["gp"].size(), 30u);
    EXPECT_EQ(keys_of(written["gp"]).front(), "segments");
    EXPECT_EQ(keys_of(written["gp"]).back(), "first_oversat_period");
}

TEST(MlFacilityJson, EntriesReadWithTheirDefaultsAndNulls) {
    const auto f = read_managed_lane_facility(R"({"ml": [null, {"lanes": 2}, {}],
        "cross_weave": [[[400], 1200], null, {"l_cw_min_ft": 900, "cw_demand_pc": []}]})");
    ASSERT_EQ(f.ml.size(), 3u);
    EXPECT_FALSE(f.ml[0].has_value());
    EXPECT_EQ(f.ml[1]->lanes, 2u);
    EXPECT_EQ(f.ml[1]->lane_type, ManagedLaneType::ContinuousAccess);
    EXPECT_EQ(*f.ml[2], MlSegmentInput{});
    EXPECT_EQ(f.cross_weave[0], (CrossWeave{{400}, 1200}));
    EXPECT_FALSE(f.cross_weave[1].has_value());
    EXPECT_EQ(f.cross_weave[2], (CrossWeave{{}, 900}));
    EXPECT_EQ(read_managed_lane_facility(R"({"ml": [{"lane_type": "Buffer1", "ffs": null}]})").ml[0]->lane_type,
              ManagedLaneType::Buffer1);
}

struct ErrorCase {
    const char* text;
    const char* message;
};
class MlFacilityJsonErrors : public ::testing::TestWithParam<ErrorCase> {};
TEST_P(MlFacilityJsonErrors, ShapesAreCheckedWithPositions) {
    EXPECT_EQ(read_error(GetParam().text), GetParam().message);
}
INSTANTIATE_TEST_SUITE_P(
    MlFacility, MlFacilityJsonErrors,
    ::testing::Values(
        ErrorCase{"3", "invalid type: integer `3`, expected struct ManagedLaneFacility at line 1 column 1"},
        ErrorCase{R"({"ml": [{"lane_type": "buffer1"}]})",
                  "unknown variant `buffer1`, expected one of `ContinuousAccess`, `Buffer1`, `Buffer2`, `Barrier1`, "
                  "`Barrier2` at line 1 column 31"},
        ErrorCase{R"({"cross_weave": [{"cw_demand_pc": [400]}]})",
                  "missing field `l_cw_min_ft` at line 1 column 40"},
        ErrorCase{R"({"cross_weave": [[[400]]]})",
                  "invalid length 1, expected struct CrossWeave with 2 elements at line 1 column 24"},
        ErrorCase{R"({"gp_group_performance": [[1, 2, 3]]})",
                  "invalid length 3, expected struct LaneGroupPerformance with 4 elements at line 1 column 35"},
        ErrorCase{R"({"ml_group_performance": [{"space_mean_speed": 1, "avg_density_veh": 2, "avg_density_pc": 3}]})",
                  "missing field `los` at line 1 column 92"},
        ErrorCase{R"({"ml_ffs": 60, "ml_ffs": 61})", "duplicate field `ml_ffs` at line 1 column 23"},
        ErrorCase{R"({"ml_ffs": null})", "invalid type: null, expected f64 at line 1 column 15"},
        ErrorCase{R"({"ml": [{"lanes": 1.5}]})", "invalid type: floating point `1.5`, expected u32 at line 1 column 21"},
        ErrorCase{R"({"gp": {"terrain": "level"}})",
                  "unknown variant `level`, expected one of `Level`, `Rolling`, `Mountainous` at line 1 column 26"},
        ErrorCase{R"({"gp": {"segments": {}}})", "invalid type: map, expected a sequence at line 1 column 21"},
        ErrorCase{R"({"gp": {"speed": [null]}})", "invalid type: null, expected a sequence at line 1 column 22"},
        ErrorCase{"[{}, [], [], 60, [], [], [], [], [], [], [], [], [], [], [], [], 1]",
                  "trailing characters at line 1 column 66"},
        ErrorCase{"{} x", "trailing characters at line 1 column 4"}));

// A facility whose GP analysis yields an infinite d/c (a segment without capacity).
ManagedLaneFacility analysed_facility() {
    auto f = read_managed_lane_facility(R"({
        "gp": {"segments": [{}, {"lanes": 4, "work_zone": {"open_lanes": 3}}, {"lanes": 2}],
               "mainline_demand": [3000, 3600], "city_type": "Rural"},
        "ml": [{"lane_type": "Buffer1", "ffs": 70}, null, {"lanes": 2, "off_ramp_demand": [100]}],
        "ml_entry_demand": [1200, 1500],
        "cross_weave": [null, null, {"cw_demand_pc": [600], "l_cw_min_ft": 1500}]})");
    run_analysis(f);
    return f;
}

TEST(MlFacilityJson, AnalysedRecordRoundTripsWhenFinite) {
    const auto f = analysed_facility();
    const std::string text = write_managed_lane_facility(f);
    const auto back = read_managed_lane_facility(text);
    EXPECT_EQ(back, f);
    EXPECT_EQ(write_managed_lane_facility(back), text);
}

TEST(MlFacilityJson, NonFiniteResultsAreWrittenAsNullAndReadBackAsNaN) {
    auto f = analysed_facility();
    f.gp.segments[0].caf = 0.0;  // no capacity: infinite d/c in the GP results
    run_analysis(f);
    ASSERT_TRUE(std::isinf(f.gp.dc_ratio[0][0]));
    f.ml_speed[0][0] = kNaN;
    const jsonio::Json written = jsonio::Json::parse(write_managed_lane_facility(f));
    EXPECT_TRUE(written["gp"]["dc_ratio"][0][0].is_null());
    EXPECT_TRUE(written["ml_speed"][0][0].is_null());
    const auto back = read_managed_lane_facility(written.dump());
    EXPECT_TRUE(std::isnan(back.gp.dc_ratio[0][0]));
    EXPECT_TRUE(std::isnan(back.ml_speed[0][0]));
    EXPECT_EQ(write_managed_lane_facility(back), write_managed_lane_facility(f));
}

}  // namespace
