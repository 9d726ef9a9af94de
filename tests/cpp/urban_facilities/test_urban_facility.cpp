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
    EXPECT_EQ(r.los, LOS::C);  // Exhibit 18-1 at 40.8 mi/h: C above about 20.5, B above about 27.5 mi/h
    EXPECT_EQ(r.poorest_segment_los, LOS::D);
    EXPECT_FALSE(f.spillback_flags);
    EXPECT_EQ(f.segments, three_segments().segments);  // segments are only read

    // Without one stop rate there is no H_F and no perception score; without P_LTL no score.
    f.segments[1].spatial_stop_rate_stops_mi.reset();
    EXPECT_FALSE(aggregate(f).spatial_stop_rate_stops_mi || f.results->perception_score);
    f = three_segments();
    f.prop_left_turn_lanes.reset();
    for (UrbanSegment& s : f.segments) s.los.reset();
    f.segments[0].vc_ratio = f.segments[2].vc_ratio = kNaN;  // never wins against a number
    EXPECT_TRUE(aggregate(f).spatial_stop_rate_stops_mi && !f.results->perception_score);
    EXPECT_FALSE(f.results->poorest_segment_los);
    EXPECT_EQ(f.results->critical_vc_ratio, 0.95);
}

TEST(UrbanFacilityAggregation, SpeedsAreLengthWeightedHarmonicMeans) {
    const UrbanSegment one[] = {summarised(1320.0, 40.0, 30.0)};
    const FacilityResults r = aggregate_segments(one, 0.5);
    EXPECT_EQ(r, (FacilityResults{1320.0, 40.0, 30.0, 30.0, 22.5, {}, {}, LOS::B, {}, {}}));
    const UrbanSegment two[] = {summarised(1000.0, 45.0, 20.0), summarised(1000.0, 45.0, 40.0)};
    EXPECT_NEAR(aggregate_segments(two, std::nullopt).travel_speed_mph, 2000.0 / 75.0, 1e-12);  // not 30
}

struct LosCase {
    double travel_speed;
    std::optional<double> vc;
    LOS expected;
};

class UrbanFacilityLos : public testing::TestWithParam<LosCase> {};

// At a base free-flow speed of 40 mi/h (Exhibit 18-1: 32, 27, 20, 16, 12) a travel speed must
// exceed a threshold; the critical v/c forces F only above 1.0.
TEST_P(UrbanFacilityLos, ExhibitThresholdsAndCriticalRatio) {
    const UrbanSegment s[] = {summarised(1320.0, 40.0, GetParam().travel_speed, std::nullopt, GetParam().vc)};
    EXPECT_EQ(aggregate_segments(s, std::nullopt).los, GetParam().expected);
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
    // Without inputs the flags stay; with inputs they are replaced as a whole.
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

// Each failure leaves the results and flags of the earlier aggregation in place, although the
// inputs now give other measures and flags.
TEST_P(AggregationFailure, MessageAndNothingChanged) {
    UrbanFacility f = three_segments();
    f.spillback_inputs = {{0.0, 1.0, 25.0}, {500.0, 1.0, 25.0}, {500.0, 1.0, 25.0}};
    const FacilityResults results = aggregate(f);
    f.prop_left_turn_lanes = 0.9;
    f.spillback_inputs->front().available_storage_ft = 500.0;
    GetParam().change(f);
    EXPECT_EQ(error_of([&] { aggregate(f); }), GetParam().message);
    EXPECT_EQ(f.results, results);
    EXPECT_EQ(f.spillback_flags, (std::vector<bool>{true, false, false}));
}

void set_length(UrbanFacility& f, std::size_t i, double length) { f.segments[i].segment_length_ft = length; }
void set_speed(UrbanFacility& f, std::size_t i, double speed) { f.segments[i].travel_speed_mph = speed; }

INSTANTIATE_TEST_SUITE_P(
    Messages, AggregationFailure,
    testing::Values(
        FailureCase{"NoBaseFfs", [](UrbanFacility& f) { f.segments[1].base_ffs_mph.reset(); },
                    "segment 1: base free-flow speed not computed"},
        // The presence checks of all segments come before the positivity checks.
        FailureCase{"NoTravelSpeed",
                    [](UrbanFacility& f) { set_length(f, 0, 0.0), f.segments[2].travel_speed_mph.reset(); },
                    "segment 2: travel speed not computed"},
        FailureCase{"NoSegments", [](UrbanFacility& f) { f.segments.clear(), f.spillback_inputs->clear(); },
                    "facility must contain at least one segment"},
        FailureCase{"ZeroLength", [](UrbanFacility& f) { set_length(f, 2, 0.0); }, "segment 2: length must be positive"},
        FailureCase{"LengthFirst", [](UrbanFacility& f) { set_length(f, 1, -5.0), set_speed(f, 1, 0.0); },
                    "segment 1: length must be positive"},
        FailureCase{"ZeroBaseFfs", [](UrbanFacility& f) { f.segments[0].base_ffs_mph = 0.0; },
                    "segment 0: speeds must be positive"},
        FailureCase{"NegativeSpeed", [](UrbanFacility& f) { set_speed(f, 1, -1.0); }, "segment 1: speeds must be positive"},
        // Not a number is not positive: it would add no time and overstate the facility speed.
        FailureCase{"SpeedNaN", [](UrbanFacility& f) { set_speed(f, 2, kNaN); }, "segment 2: speeds must be positive"},
        FailureCase{"LengthNaN", [](UrbanFacility& f) { set_length(f, 0, kNaN); }, "segment 0: length must be positive"},
        FailureCase{"SpillbackCount", [](UrbanFacility& f) { f.spillback_inputs->pop_back(); },
                    "spillback_inputs has 2 entries for 3 segments"}),
    [](const testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

TEST(UrbanFacilityAnalysis, AnalysesEverySegmentThenAggregates) {
    UrbanFacility f;
    UrbanSegment s;
    s.segment_length_ft = 1320.0;
    s.n_through_lanes = 2;
    s.speed_limit_mph = 35.0;
    s.through_demand_veh_h = 900.0;
    s.through_capacity_veh_h = 1500.0;
    f.segments = {s, s};
    f.spillback_inputs = {{100.0, 2.0, 25.0}};
    EXPECT_EQ(error_of([&] { analyze(f); }), "spillback_inputs has 1 entries for 2 segments");
    EXPECT_TRUE(!f.results && !f.segments[1].travel_speed_mph);  // the segments were analysed on a copy
    f.spillback_inputs.reset();
    const FacilityResults results = analyze(f);
    EXPECT_EQ(results, aggregate_segments(f.segments, std::nullopt));
    EXPECT_DOUBLE_EQ(f.results->travel_speed_mph, *f.segments[0].travel_speed_mph);
}

}  // namespace
