#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "../support/checks.hpp"
#include "hcm/urban_facilities/urban_facilities.hpp"

using namespace hcm::urban_facilities::urban_facilities;
using namespace testing_support;
using LOS = hcm::common::LevelOfService;

namespace {

// A segment carrying the results the aggregation reads, as an analysis (or a document) left them.
UrbanSegment summarised(double length_ft, double base_ffs, double travel_speed, std::optional<double> stops = {},
                        std::optional<double> vc = {}, std::optional<LOS> los = {}) {
    UrbanSegment s;
    s.segment_length_ft = length_ft;
    s.base_ffs_mph = base_ffs;
    s.travel_speed_mph = travel_speed;
    s.spatial_stop_rate_stops_mi = stops;
    s.vc_ratio = vc;
    s.los = los;
    return s;
}

// One mile in three segments, worked by hand:
//   L = 1320 + 2640 + 1320 = 5280 ft
//   S_fo,F = 5280 / (1320/40 + 2640/45 + 1320/35) = 5280 / 129.381 = 40.8097 mi/h
//   S_T,F = 5280 / (1320/30 + 2640/20 + 1320/25) = 5280 / 228.8 = 23.0769 mi/h (300/13)
//   travel times 30 + 90 + 36 = 156 s and 22.5 + 40 + 25.714 = 88.214 s
//   H_F = (1320 x 2 + 2640 x 3 + 1320 x 1) / 5280 = 2.25 stops/mi
//   P_LTL 0.5: x = 0.3434 x 0.5 - 0.253 x 2.25 = -0.39755, I_a,F = 2.59988
UrbanFacility three_segments() {
    UrbanFacility f;
    f.segments = {summarised(1320.0, 40.0, 30.0, 2.0, 0.8, LOS::B), summarised(2640.0, 45.0, 20.0, 3.0, 0.95, LOS::D),
                  summarised(1320.0, 35.0, 25.0, 1.0, 0.6, LOS::C)};
    f.prop_left_turn_lanes = 0.5;
    return f;
}

TEST(UrbanFacilityAggregation, ThreeSegmentFacilityByHand) {
    UrbanFacility f = three_segments();
    const FacilityResults& r = aggregate(f);
    EXPECT_EQ(&r, &*f.results);
    EXPECT_DOUBLE_EQ(r.length_ft, 5280.0);
    EXPECT_NEAR(r.base_ffs_mph, 40.80971659919028, 1e-12);
    EXPECT_NEAR(r.travel_speed_mph, 300.0 / 13.0, 1e-12);
    EXPECT_NEAR(r.travel_time_s, 156.0, 1e-12);
    EXPECT_NEAR(r.base_free_flow_travel_time_s, 88.21428571428572, 1e-12);
    EXPECT_NEAR(*r.spatial_stop_rate_stops_mi, 2.25, 1e-12);
    EXPECT_NEAR(*r.perception_score, 2.5998816583130515, 1e-12);
    EXPECT_EQ(r.critical_vc_ratio, 0.95);
    // Exhibit 18-1 at S_fo,F 40.8 mi/h: C above about 20.5 mi/h, B above about 27.5 mi/h.
    EXPECT_EQ(r.los, LOS::C);
    EXPECT_EQ(r.poorest_segment_los, LOS::D);
    EXPECT_FALSE(f.spillback_flags);
    // Aggregation reads the segments and nothing else changes.
    EXPECT_EQ(f.segments, three_segments().segments);
    EXPECT_EQ(aggregate_segments(f.segments, f.prop_left_turn_lanes), r);
}

TEST(UrbanFacilityAggregation, SpeedsAreLengthWeightedHarmonicMeans) {
    UrbanFacility one;
    one.segments = {summarised(1320.0, 40.0, 30.0)};
    const FacilityResults r = aggregate(one);
    EXPECT_DOUBLE_EQ(r.length_ft, 1320.0);
    EXPECT_DOUBLE_EQ(r.base_ffs_mph, 40.0);
    EXPECT_DOUBLE_EQ(r.travel_speed_mph, 30.0);
    EXPECT_DOUBLE_EQ(r.travel_time_s, 30.0);
    EXPECT_DOUBLE_EQ(r.base_free_flow_travel_time_s, 22.5);

    const UrbanSegment two[] = {summarised(1000.0, 45.0, 20.0), summarised(1000.0, 45.0, 40.0)};
    EXPECT_NEAR(aggregate_segments(two, std::nullopt).travel_speed_mph, 2000.0 / 75.0, 1e-12);  // not 30
}

TEST(UrbanFacilityAggregation, OptionalMeasuresFollowTheirInputs) {
    UrbanFacility f = three_segments();
    f.segments[1].spatial_stop_rate_stops_mi.reset();
    f.segments[0].vc_ratio.reset();
    f.segments[2].los.reset();
    const FacilityResults r = aggregate(f);
    EXPECT_FALSE(r.spatial_stop_rate_stops_mi);  // one segment without H_i
    EXPECT_FALSE(r.perception_score);            // even with P_LTL given
    EXPECT_EQ(r.critical_vc_ratio, 0.95);
    EXPECT_EQ(r.poorest_segment_los, LOS::D);

    f = three_segments();
    f.prop_left_turn_lanes.reset();
    for (UrbanSegment& s : f.segments) {
        s.vc_ratio.reset();
        s.los.reset();
    }
    const FacilityResults no_turn_lanes = aggregate(f);
    EXPECT_NEAR(*no_turn_lanes.spatial_stop_rate_stops_mi, 2.25, 1e-12);
    EXPECT_FALSE(no_turn_lanes.perception_score);
    EXPECT_FALSE(no_turn_lanes.critical_vc_ratio);
    EXPECT_FALSE(no_turn_lanes.poorest_segment_los);

    // A ratio that is not a number never wins against a number, wherever it stands.
    f = three_segments();
    f.segments[0].vc_ratio = kNaN;
    f.segments[2].vc_ratio = kNaN;
    EXPECT_EQ(aggregate(f).critical_vc_ratio, 0.95);
}

struct LosCase {
    double travel_speed;
    std::optional<double> vc;
    LOS expected;
};

class UrbanFacilityLos : public testing::TestWithParam<LosCase> {};

// One segment at a base free-flow speed of 40 mi/h: Exhibit 18-1 column 40 (32, 27, 20, 16, 12),
// a travel speed must exceed a threshold; the critical v/c forces F only above 1.0.
TEST_P(UrbanFacilityLos, ExhibitThresholdsAndCriticalRatio) {
    const LosCase& c = GetParam();
    const UrbanSegment s[] = {summarised(1320.0, 40.0, c.travel_speed, std::nullopt, c.vc)};
    EXPECT_EQ(aggregate_segments(s, std::nullopt).los, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Boundaries, UrbanFacilityLos,
                         testing::Values(LosCase{32.5, std::nullopt, LOS::A}, LosCase{32.0, std::nullopt, LOS::B},
                                         LosCase{27.0, std::nullopt, LOS::C}, LosCase{20.0, std::nullopt, LOS::D},
                                         LosCase{16.0, std::nullopt, LOS::E}, LosCase{12.0, std::nullopt, LOS::F},
                                         LosCase{32.5, 1.0, LOS::A}, LosCase{32.5, 1.0000001, LOS::F}));

TEST(UrbanFacilitySpillback, QueueStorageCheck) {
    UrbanFacility f = three_segments();
    f.spillback_inputs = {{0.0, 1.0, 25.0}, {250.0, 10.0, 25.0}, {249.0, 10.0, 25.0}};
    aggregate(f);
    EXPECT_EQ(f.spillback_flags, (std::vector<bool>{true, false, true}));  // 250 ft: ratio exactly 1.0
    EXPECT_TRUE(queue_spills_back({kNaN, 0.0, 25.0}));
    EXPECT_TRUE(queue_spills_back({-10.0, 0.0, 25.0}));
    EXPECT_FALSE(queue_spills_back({100.0, 3.0, 25.0}));

    // Without inputs the flags stay as they were; with inputs they are replaced as a whole.
    f.spillback_inputs.reset();
    aggregate(f);
    EXPECT_EQ(f.spillback_flags, (std::vector<bool>{true, false, true}));
    f.spillback_inputs = {{500.0, 1.0, 25.0}, {500.0, 1.0, 25.0}, {10.0, 1.0, 25.0}};
    aggregate(f);
    EXPECT_EQ(f.spillback_flags, (std::vector<bool>{false, false, true}));
}

struct FailureCase {
    const char* name;
    std::function<void(UrbanFacility&)> change;
    std::string message;
};

class AggregationFailure : public testing::TestWithParam<FailureCase> {};

// Each failure leaves the results and flags of the earlier aggregation in place.
TEST_P(AggregationFailure, MessageAndNothingChanged) {
    UrbanFacility f = three_segments();
    f.spillback_inputs = {{0.0, 1.0, 25.0}, {500.0, 1.0, 25.0}, {500.0, 1.0, 25.0}};
    aggregate(f);
    GetParam().change(f);
    const UrbanFacility before = f;
    EXPECT_EQ(error_of([&] { aggregate(f); }), GetParam().message);
    EXPECT_EQ(f, before);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, AggregationFailure,
    testing::Values(
        FailureCase{"NoBaseFreeFlowSpeed", [](UrbanFacility& f) { f.segments[1].base_ffs_mph.reset(); },
                    "segment 1: base free-flow speed not computed"},
        FailureCase{"NoTravelSpeed", [](UrbanFacility& f) { f.segments[2].travel_speed_mph.reset(); },
                    "segment 2: travel speed not computed"},
        // The presence checks of all segments come before the positivity checks.
        FailureCase{"PresenceBeforePositivity",
                    [](UrbanFacility& f) {
                        f.segments[0].segment_length_ft = 0.0;
                        f.segments[1].travel_speed_mph.reset();
                    },
                    "segment 1: travel speed not computed"},
        FailureCase{"NoSegments",
                    [](UrbanFacility& f) {
                        f.segments.clear();
                        f.spillback_inputs->clear();
                    },
                    "facility must contain at least one segment"},
        FailureCase{"ZeroLength", [](UrbanFacility& f) { f.segments[2].segment_length_ft = 0.0; },
                    "segment 2: length must be positive"},
        FailureCase{"NegativeLengthBeforeSpeed",
                    [](UrbanFacility& f) {
                        f.segments[1].segment_length_ft = -5.0;
                        f.segments[1].travel_speed_mph = 0.0;
                    },
                    "segment 1: length must be positive"},
        FailureCase{"ZeroBaseFreeFlowSpeed", [](UrbanFacility& f) { f.segments[0].base_ffs_mph = 0.0; },
                    "segment 0: speeds must be positive"},
        FailureCase{"NegativeTravelSpeed", [](UrbanFacility& f) { f.segments[1].travel_speed_mph = -1.0; },
                    "segment 1: speeds must be positive"},
        FailureCase{"SpillbackCount", [](UrbanFacility& f) { f.spillback_inputs->pop_back(); },
                    "spillback_inputs has 2 entries for 3 segments"}),
    [](const testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

TEST(UrbanFacilityAnalysis, AnalysesEverySegmentThenAggregates) {
    UrbanFacility f;
    for (double length : {1320.0, 2640.0}) {
        UrbanSegment s;
        s.segment_length_ft = length;
        s.n_through_lanes = 2;
        s.speed_limit_mph = 35.0;
        s.through_demand_veh_h = 900.0;
        s.through_capacity_veh_h = 1500.0;
        s.through_control_delay_s = 15.0;
        f.segments.push_back(s);
    }
    f.spillback_inputs = {{100.0, 2.0, 25.0}};  // one entry for two segments
    EXPECT_EQ(error_of([&] { analyze(f); }), "spillback_inputs has 1 entries for 2 segments");
    EXPECT_FALSE(f.results);
    ASSERT_TRUE(f.segments[0].travel_speed_mph && f.segments[1].travel_speed_mph);  // left analysed

    f.spillback_inputs.reset();
    const FacilityResults r = analyze(f);
    EXPECT_EQ(r, aggregate_segments(f.segments, std::nullopt));
    EXPECT_DOUBLE_EQ(r.length_ft, facility_length_ft(f));
    EXPECT_NEAR(r.travel_time_s, 3600.0 * 1320.0 / (5280.0 * *f.segments[0].travel_speed_mph) +
                                     3600.0 * 2640.0 / (5280.0 * *f.segments[1].travel_speed_mph),
                1e-9);
    EXPECT_EQ(r.critical_vc_ratio, 0.6);
}

}  // namespace
