#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "../support/checks.hpp"
#include "hcm/common/error.hpp"
#include "hcm/twsc/twsc.hpp"
#include "worked_example.hpp"

using namespace hcm::twsc::twsc;

namespace {

std::string read_error(const std::string& text) {
    try {
        read_twsc(text);
    } catch (const hcm::Error& e) {
        return e.what();
    }
    return "no error";
}

// A document with the given geometry members after "major_lanes_per_direction": 2.
std::string with_geometry(const std::string& extra) {
    return R"({"demand": {}, "geometry": {"major_lanes_per_direction": 2)" + extra + "}}";
}

TEST(TwscDocument, MinimalDocumentTakesEveryDefault) {
    const Twsc t = read_twsc(R"({"demand": {}, "geometry": {"major_lanes_per_direction": 1}})");
    Twsc expected;
    expected.geometry.major_lanes_per_direction = 1;
    EXPECT_EQ(t, expected);
    EXPECT_EQ(t.movements.size(), MOVEMENT_COUNT);
    EXPECT_EQ(t.analysis_period_h, 0.25);
    EXPECT_EQ(t.geometry.lane_width_ft, 12.0);
    EXPECT_EQ(read_twsc("[{}, {\"major_lanes_per_direction\": 1}]\n"), expected);
    EXPECT_EQ(read_twsc(R"({"demand": {}, "phf": null, "geometry": {"major_lanes_per_direction": 1}, "x": [1]})"),
              expected);
}

TEST(TwscDocument, EnumerationsAndTheirForms) {
    const Twsc t = read_twsc(with_geometry(
        R"(, "major_left_eb": {"SharedShortPocket": {"storage_veh": 1, "other": 2}}, "major_left_wb": {"Shared": null},
           "minor_lanes_nb": {"Separate": null}, "uturn_median_width": "Narrow", "major_right_turn_eb": "Channelized")"));
    EXPECT_EQ(t.geometry.major_left_eb, (MajorLeftLaneConfig{MajorLeftLane::SharedShortPocket, 1}));
    EXPECT_EQ(t.geometry.major_left_wb.lane, MajorLeftLane::Shared);
    EXPECT_EQ(t.geometry.minor_lanes_nb, MinorLaneConfig::Separate);
    EXPECT_EQ(t.geometry.uturn_median_width, UTurnMedianWidth::Narrow);
    EXPECT_EQ(t.geometry.major_right_turn_eb, MajorRightTurnConfig::Channelized);
    EXPECT_EQ(read_twsc(with_geometry(R"(, "major_left_eb": {"SharedShortPocket": [2]})")).geometry.major_left_eb.storage_veh,
              2u);
    const Twsc o = read_twsc(R"({"demand": {}, "geometry": [false, 1],
        "conflicting_flow_overrides": [{"movement": "M7", "stage": "total", "value": 100}, ["4u", "stage2", 5]],
        "platoon_blockage": {}})");
    EXPECT_EQ(o.conflicting_flow_overrides[1], (ConflictingFlowOverride{"4u", "stage2", 5}));
    EXPECT_EQ(o.platoon_blockage, PlatoonBlockage{});
}

struct ErrorCase {
    const char* name;
    std::string text;
    std::string message;
};

class TwscDocumentErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(TwscDocumentErrors, NameTheFaultAndItsPosition) { EXPECT_EQ(read_error(GetParam().text), GetParam().message); }

INSTANTIATE_TEST_SUITE_P(
    Cases, TwscDocumentErrors,
    ::testing::Values(
        ErrorCase{"NoDemand", R"({"geometry": {"major_lanes_per_direction": 2}})", "missing field `demand` at line 1 column 46"},
        ErrorCase{"NoLanes", R"({"demand": {}, "geometry": {}})", "missing field `major_lanes_per_direction` at line 1 column 29"},
        ErrorCase{"FractionalLanes", R"({"demand": {}, "geometry": {"major_lanes_per_direction": 2.0}})",
                  "invalid type: floating point `2.0`, expected u32 at line 1 column 60"},
        ErrorCase{"NegativeLanes", R"({"demand": {}, "geometry": {"major_lanes_per_direction": -1}})",
                  "invalid value: integer `-1`, expected u32 at line 1 column 59"},
        ErrorCase{"PocketWithoutStorage", with_geometry(R"(, "major_left_eb": "SharedShortPocket")"),
                  "invalid type: unit variant, expected struct variant MajorLeftLaneConfig::SharedShortPocket at line 1 "
                  "column 96"},
        ErrorCase{"PocketEmpty", with_geometry(R"(, "major_left_eb": {"SharedShortPocket": {}})"),
                  "missing field `storage_veh` at line 1 column 101"},
        ErrorCase{"PocketEmptyArray", with_geometry(R"(, "major_left_eb": {"SharedShortPocket": []})"),
                  "invalid length 0, expected struct variant MajorLeftLaneConfig::SharedShortPocket with 1 element at "
                  "line 1 column 101"},
        ErrorCase{"LowerCaseVariant", with_geometry(R"(, "minor_lanes_nb": "separate")"),
                  "unknown variant `separate`, expected one of `SingleShared`, `SharedLeftThroughExclusiveRight`, "
                  "`ExclusiveLeftSharedThroughRight`, `Separate` at line 1 column 88"},
        ErrorCase{"MedianWidth", with_geometry(R"(, "uturn_median_width": "wide")"),
                  "unknown variant `wide`, expected `Wide` or `Narrow` at line 1 column 88"},
        ErrorCase{"OverrideWithoutStage",
                  R"({"demand": {}, "geometry": [false, 1], "conflicting_flow_overrides": [{"movement": "7", "value": 1}]})",
                  "missing field `stage` at line 1 column 99"},
        ErrorCase{"DuplicatePhf", R"({"demand": {}, "phf": 1, "phf": 2, "geometry": [false, 1]})",
                  "duplicate field `phf` at line 1 column 30"},
        ErrorCase{"Trailing", "{\"demand\": {}, \"geometry\": [false, 1]}\nx", "trailing characters at line 2 column 1"},
        ErrorCase{"ShortArrayForm", "[{}]", "invalid length 1, expected struct Twsc with 14 elements at line 1 column 4"},
        ErrorCase{"NotARecord", "5", "invalid type: integer `5`, expected struct Twsc at line 1 column 1"},
        ErrorCase{"LaneWithoutLos",
                  R"({"demand": {}, "geometry": [false, 1], "lanes_nb": [{"movements": ["M7"], "flow_rate": 1,
                      "capacity": 2, "control_delay": 3, "queue_95": 4}]})",
                  "missing field `los` at line 2 column 71"},
        ErrorCase{"LaneMovement",
                  R"({"demand": {}, "geometry": [false, 1], "lanes_nb": [{"movements": ["7"]}]})",
                  "unknown variant `7`, expected one of `M1`, `M1U`, `M2`, `M3`, `M4`, `M4U`, `M5`, `M6`, `M7`, `M8`, "
                  "`M9`, `M10`, `M11`, `M12` at line 1 column 70"},
        ErrorCase{"LongLos", R"({"demand": {}, "geometry": [false, 1], "movements": [{"flow_rate": 1, "los": "AB"}]})",
                  "invalid value: string \"AB\", expected a character at line 1 column 81"},
        ErrorCase{"ShortMovementArray", R"({"demand": {}, "geometry": [false, 1], "movements": [[1]]})",
                  "invalid length 1, expected struct TwscMovementResult with 17 elements at line 1 column 56"},
        ErrorCase{"ShortApproachDelays", R"({"demand": {}, "geometry": [false, 1], "approach_delays": [1, 2, 3]})",
                  "invalid length 3, expected an array of length 4 at line 1 column 67"},
        ErrorCase{"LongRank1", R"({"demand": {}, "geometry": [false, 1], "rank1_major_delay": [1, 2, 3]})",
                  "trailing characters at line 1 column 68"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TwscDocument, MovementListsOfAnyOtherLengthBecomeFourteenBlanks) {
    const std::string blank_list = R"({"demand": {}, "geometry": [false, 1], "movements": [{"flow_rate": 5, "los": null}]})";
    EXPECT_EQ(read_twsc(blank_list).movements, std::vector<TwscMovementResult>(MOVEMENT_COUNT));
    std::string fourteen = R"({"demand": {}, "geometry": [false, 1], "movements": [)";
    for (int i = 0; i < 14; ++i) fourteen += std::string(i ? "," : "") + R"({"flow_rate": )" + std::to_string(i) + "}";
    const Twsc t = read_twsc(fourteen + "]}");
    EXPECT_EQ(t.movements[13].flow_rate, 13.0);
}

using twsc_test::worked_example;

TEST(TwscDocument, AnAnalysisReadsBackToTheSameRecord) {
    Twsc t = worked_example();
    t.geometry.median_storage_nb = 2;
    t.geometry.major_left_eb = {MajorLeftLane::SharedShortPocket, 3};
    t.conflicting_flow_overrides = {{"he said \"9\"\n", "total", 1.5}};
    t.platoon_blockage = PlatoonBlockage{.pb1 = 0.1, .pb12 = 0.25};
    analyze(t);
    const std::string text = write_twsc(t);
    EXPECT_EQ(std::count(text.begin(), text.end(), ' '), 2);  // compact: the blanks are the override's
    EXPECT_NE(text.find(R"({"movement":"he said \"9\"\n","stage":"total","value":1.5})"), std::string::npos);
    EXPECT_EQ(read_twsc(text), t);
}

// Every movement reads back as it was written: the minor crossings (7, 8, 10, 11) with their
// stage flows, which an overflowing major left-turn demand makes infinite, the others without;
// on three legs, crossings 8, 10 and 11 without a movement capacity.
class TwscMovementsReadBack : public testing::TestWithParam<bool> {};

TEST_P(TwscMovementsReadBack, ByTheirPosition) {
    Twsc t = worked_example();
    t.geometry.is_three_leg = GetParam();
    t.geometry.median_storage_nb = 2;
    t.demand.v1 = 1e308;
    analyze(t);
    ASSERT_EQ(t.movements[index(Mv::M8)].movement_capacity.has_value(), !GetParam());
    ASSERT_TRUE(std::isinf(*t.movements[index(Mv::M7)].conflicting_flow_stage1));
    const Twsc back = read_twsc(write_twsc(t));
    constexpr std::optional<double> TwscMovementResult::*kOptional[] = {
        &TwscMovementResult::conflicting_flow,          &TwscMovementResult::conflicting_flow_stage1,
        &TwscMovementResult::conflicting_flow_stage2,   &TwscMovementResult::critical_headway,
        &TwscMovementResult::critical_headway_stage1,   &TwscMovementResult::critical_headway_stage2,
        &TwscMovementResult::followup_headway,          &TwscMovementResult::potential_capacity,
        &TwscMovementResult::potential_capacity_stage1, &TwscMovementResult::potential_capacity_stage2,
        &TwscMovementResult::movement_capacity,         &TwscMovementResult::movement_capacity_stage1,
        &TwscMovementResult::movement_capacity_stage2,  &TwscMovementResult::control_delay,
        &TwscMovementResult::queue_95};
    for (std::size_t m = 0; m < MOVEMENT_COUNT; ++m)
        for (std::size_t k = 0; k < std::size(kOptional); ++k)
            EXPECT_TRUE(testing_support::reads_back_as(t.movements[m].*kOptional[k], back.movements[m].*kOptional[k]))
                << "movement " << MOVEMENT_LABELS[m] << " value " << k;
    EXPECT_TRUE(std::isnan(*back.movements[index(Mv::M7)].conflicting_flow_stage1));
    EXPECT_FALSE(back.movements[index(Mv::M1)].conflicting_flow_stage1);
}

INSTANTIATE_TEST_SUITE_P(FourAndThreeLegs, TwscMovementsReadBack, testing::Bool());

TEST(TwscDocument, NeverServedLanesWriteNullAndReadBackAsNotANumber) {
    Twsc t = worked_example();  // the SB lane has demand and no capacity
    analyze(t);
    const std::string text = write_twsc(t);
    EXPECT_NE(text.find(R"("capacity":0.0,"control_delay":null,"los":"F","queue_95":null)"), std::string::npos);
    EXPECT_NE(text.find(R"(,null],"intersection_delay":null,"rank1_major_delay":null})"), std::string::npos);
    const Twsc back = read_twsc(text);
    EXPECT_TRUE(std::isnan(back.lanes_sb[0].control_delay));
    EXPECT_TRUE(std::isnan((*back.approach_delays)[3]));
    EXPECT_EQ((*back.approach_delays)[2], (*t.approach_delays)[2]);
    EXPECT_TRUE(std::isnan(*back.intersection_delay));  // analysed (approach delays given): NaN
    EXPECT_EQ(write_twsc(back), text);
}

}  // namespace
