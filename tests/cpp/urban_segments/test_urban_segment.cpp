#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "../support/checks.hpp"
#include "hcm/urban_segments/exhibits.hpp"
#include "hcm/urban_segments/urban_segments.hpp"

using namespace hcm::urban_segments::urban_segments;
using hcm::urban_segments::exhibits::exhibit_18_1_los;
using namespace testing_support;
using LOS = hcm::common::LevelOfService;

namespace {

// A quarter-mile signalized segment: 2 lanes, 35 mi/h, half of it with a restrictive median,
// 4 + 2 access points, 1000 veh/h against 1600 veh/h capacity, 20 s through delay, C = 100 s,
// g = 45 s, arrival type 4, queue inputs of the stop rate and a perception-score input.
UrbanSegment signalized_segment() {
    UrbanSegment s;
    s.segment_length_ft = 1320.0;
    s.upstream_intersection_width_ft = 50.0;
    s.n_through_lanes = 2;
    s.speed_limit_mph = 35.0;
    s.restrictive_median_length_ft = 660.0;
    s.n_access_points_subject = 4.0;
    s.n_access_points_opposing = 2.0;
    s.through_demand_veh_h = 1000.0;
    s.through_capacity_veh_h = 1600.0;
    s.through_control_delay_s = 20.0;
    s.cycle_length_s = 100.0;
    s.effective_green_s = 45.0;
    s.arrival_type = 4;
    s.stopped_vehicles_veh_ln = 6.0;
    s.queue2_veh_ln = 1.0;
    s.queue3_veh_ln = 0.5;
    s.sat_flow_veh_h_ln = 1800.0;
    s.prop_left_turn_lanes = 0.5;
    return s;
}

UrbanSegment analysed(UrbanSegment s) {
    s.analyze();
    return s;
}

TEST(UrbanSegmentAnalysis, SignalizedSegmentStepByStep) {
    const UrbanSegment s = analysed(signalized_segment());
    EXPECT_EQ(s.demand_exceeds_capacity, false);
    // Step 2: p_rm = 660 / 1270, p_curb = 1.
    const double p_rm = 660.0 / 1270.0;
    EXPECT_DOUBLE_EQ(*s.speed_constant_mph, 42.05);
    EXPECT_NEAR(*s.f_cs_mph, 1.5 * p_rm - 0.47 - 3.7 * p_rm, 1e-12);
    EXPECT_NEAR(*s.f_a_mph, -0.078 * 5280.0 * 6.0 / 1270.0 / 2.0, 1e-12);
    EXPECT_NEAR(*s.base_ffs_mph, 39.46384251968504, 1e-12);
    // Step 3: f_L = 1.02 - 4.7 (S_fo - 19.5) / 1320; S_f = S_fo f_L (above the 35 mi/h limit).
    EXPECT_NEAR(*s.f_l, 1.02 - 4.7 * (39.46384251968504 - 19.5) / 1320.0, 1e-12);
    EXPECT_NEAR(*s.free_flow_speed_mph, 37.447896108534934, 1e-12);
    EXPECT_NEAR(*s.f_v, 1.030600560356815, 1e-12);  // x = 1000 / (52.8 x 2 x S_f)
    // Step 5: Exhibit 18-13 with N_a = 4 + 2 = 6 at 500 veh/h/ln on 2 lanes: 6 x 0.25.
    EXPECT_NEAR(*s.access_point_delay_total_s, 1.5, 1e-12);
    EXPECT_FALSE(s.access_point_delays_computed);
    // Step 6: t_R = 1.5 + 4 / (0.0025 x 1320) + 3600 x 1320 / (5280 S_f) f_v.
    EXPECT_NEAR(*s.running_time_s, 27.480949389620164, 1e-11);
    EXPECT_NEAR(*s.running_speed_mph, 32.74996024482106, 1e-11);
    EXPECT_NEAR(*s.proportion_arriving_green, 1.33 * 0.45, 1e-15);  // ratio path, arrival type 4
    EXPECT_DOUBLE_EQ(*s.through_delay_s, 20.0);
    // Step 9: X = 1000 x 100 / (45 x 1800 x 2); h = 3600 (6 / (1800 x 45 X) + 2 x 1.5 / 1e5).
    EXPECT_NEAR(*s.full_stop_rate, 0.54, 1e-12);
    EXPECT_NEAR(*s.travel_speed_mph, 18.95497060546876, 1e-11);
    EXPECT_NEAR(*s.spatial_stop_rate_stops_mi, 0.54 * 4.0, 1e-12);
    EXPECT_DOUBLE_EQ(*s.vc_ratio, 0.625);
    EXPECT_EQ(s.los, LOS::D);  // base FFS 39.5: D above 15.9 mi/h, C above 19.9
    EXPECT_NEAR(*s.perception_score, 2.5847010360413734, 1e-12);
    EXPECT_EQ(analysed(s), s);  // a second run changes nothing
}

// The control type sets start-up lost time, control factor and stop rate.
struct ControlCase {
    BoundaryControlType control;
    std::optional<double> capacity;
    double running_time;
    std::optional<double> full_stop_rate;
    double through_delay;
    LOS los;
};

class BoundaryControl : public ::testing::TestWithParam<ControlCase> {};

TEST_P(BoundaryControl, RunningTimeStopsAndDelay) {
    const ControlCase& c = GetParam();
    UrbanSegment s = signalized_segment();
    s.control = c.control;
    s.through_capacity_veh_h = c.capacity;
    s.proportion_arriving_green = 0.3;  // becomes absent off the signalized control
    s.full_stop_rate = 9.0;             // replaced: the control decides
    s.analyze();
    EXPECT_NEAR(*s.running_time_s, c.running_time, 1e-11);
    EXPECT_EQ(s.full_stop_rate.has_value(), c.full_stop_rate.has_value());
    if (c.full_stop_rate) {
        EXPECT_NEAR(*s.spatial_stop_rate_stops_mi, *c.full_stop_rate * 4.0, 1e-12);
    }
    EXPECT_DOUBLE_EQ(*s.through_delay_s, c.through_delay);
    EXPECT_FALSE(s.proportion_arriving_green);
    EXPECT_EQ(s.los, c.los);
}

// Start-up term (6 - 2.5) / 3.3 = 1.0606 s times f_x; 26.2688 s without it.
INSTANTIATE_TEST_SUITE_P(
    Controls, BoundaryControl,
    ::testing::Values(ControlCase{BoundaryControlType::AllWayStop, 1600.0, 27.329434238105016, 1.0, 20.0, LOS::D},
                      // Yield without capacity: f_x = 1 and no stop rate.
                      ControlCase{BoundaryControlType::YieldControlled, std::nullopt, 27.329434238105016,
                                  std::nullopt, 20.0, LOS::D},
                      // f_x = h = v / c = 0.625.
                      ControlCase{BoundaryControlType::YieldControlled, 1600.0, 26.931706965377742, 0.625, 20.0,
                                  LOS::D},
                      // Over capacity: f_x is held at 1 while h = 1.25 is not; v/c > 1 gives F.
                      ControlCase{BoundaryControlType::Roundabout, 800.0, 27.329434238105016, 1.25, 20.0, LOS::F},
                      // Uncontrolled: no start-up term, no stops, and no delay even when given.
                      ControlCase{BoundaryControlType::Uncontrolled, 1600.0, 26.268828177498953, 0.0, 0.0, LOS::A}));

TEST(UrbanSegmentAnalysis, MidsegmentFlowFeedsAccessPointsButNotTheStopRate) {
    UrbanSegment s = signalized_segment();
    s.midsegment_flow_veh_h = 1400.0;  // 700 veh/h/ln: Exhibit 18-13 gives 0.72 per access point
    s = analysed(s);
    EXPECT_NEAR(*s.access_point_delay_total_s, 6.0 * 0.72, 1e-12);
    EXPECT_NEAR(*s.full_stop_rate, 0.54, 1e-12);  // from the through demand v
}

TEST(UrbanSegmentAnalysis, CapacityThatIsNotPositive) {
    UrbanSegment s = signalized_segment();
    s.through_capacity_veh_h = 0.0;  // present but no capacity: no v/c, not over capacity
    s = analysed(s);
    EXPECT_EQ(s.demand_exceeds_capacity, false);
    EXPECT_FALSE(s.vc_ratio);
    EXPECT_EQ(s.los, LOS::D);
    s.through_capacity_veh_h.reset();
    EXPECT_FALSE(analysed(s).demand_exceeds_capacity);
}

TEST(UrbanSegmentAnalysis, SpeedAdjustmentLimits) {
    UrbanSegment zero = signalized_segment(), one = signalized_segment();
    zero.n_through_lanes = 0;  // analysed as 1
    one.n_through_lanes = 1;
    EXPECT_EQ(analysed(zero).travel_speed_mph, analysed(one).travel_speed_mph);

    UrbanSegment s = signalized_segment();
    s.segment_length_ft = 50.0;  // no longer than the upstream intersection: no median share, no f_A
    s = analysed(s);
    EXPECT_DOUBLE_EQ(*s.f_a_mph, 0.0);
    EXPECT_DOUBLE_EQ(*s.f_cs_mph, -0.47);

    s = signalized_segment();
    s.signal_spacing_ft = 100.0;  // counted as 400 ft
    s.midsegment_flow_veh_h = 1e9;  // x held at 0.999999
    s = analysed(s);
    EXPECT_NEAR(*s.f_l, 1.02 - 4.7 * (*s.base_ffs_mph - 19.5) / 400.0, 1e-12);
    EXPECT_DOUBLE_EQ(*s.free_flow_speed_mph, 35.0);  // S_fo f_L = 31.0, below the limit
    EXPECT_NEAR(*s.f_v, 2.0 / (1.0 + std::pow(1e-6, 0.21)), 1e-12);
    s.signal_spacing_ft = 1e6;
    s.s_calib_mph = -25.0;  // f_L would exceed 1
    s.midsegment_flow_veh_h = 0.0;
    s.free_flow_speed_override_mph = 20.0;  // taken as it is, below the limit
    s = analysed(s);
    EXPECT_DOUBLE_EQ(*s.f_l, 1.0);
    EXPECT_DOUBLE_EQ(*s.f_v, 1.0);
    EXPECT_DOUBLE_EQ(*s.free_flow_speed_mph, 20.0);
}

TEST(UrbanSegmentAnalysis, AccessPointPaths) {
    UrbanSegment s = signalized_segment();
    s.access_point_delays_s = std::vector<double>{0.5, 0.25};
    EXPECT_DOUBLE_EQ(*analysed(s).access_point_delay_total_s, 0.75);
    AccessPointApproach a{60, 900, 80, 1, 0, 1, 700, false, false, 0, 0.0, 3};
    s.access_point_approaches = std::vector<AccessPointApproach>{a};  // wins over the given delays
    s = analysed(s);
    EXPECT_NEAR(*s.access_point_delay_total_s, 0.08781824263485136, 1e-12);
    EXPECT_NEAR(*s.running_time_s, 26.068767632255017, 1e-11);
    s.access_point_turn_delay_speed_mph = 13.0;  // 19.1 ft/s, below the turning speed: no right-turn delay
    EXPECT_NEAR(*analysed(s).access_point_delay_total_s, 0.056120608080593985, 1e-12);
    s.access_point_turn_delay_speed_mph.reset();
    s.access_point_approaches = std::vector<AccessPointApproach>{};  // none: 0 and an empty list
    s = analysed(s);
    EXPECT_DOUBLE_EQ(*s.access_point_delay_total_s, 0.0);
    EXPECT_TRUE(s.access_point_delays_computed->empty());
    s.access_point_approaches.reset();
    s.access_point_delays_s.reset();
    s.n_influential_access_points = 2.0;  // replaces the counts on the Exhibit 18-13 path only
    s.access_point_delays_computed = std::vector<AccessPointDelay>(3);
    s = analysed(s);
    EXPECT_NEAR(*s.access_point_delay_total_s, 2.0 * 0.25, 1e-12);
    EXPECT_NEAR(*s.f_a_mph, -0.078 * 5280.0 * 6.0 / 1270.0 / 2.0, 1e-12);
    EXPECT_EQ(s.access_point_delays_computed->size(), 3u);  // kept off the per-approach path
    s.n_influential_access_points.reset();
    s.prop_opposing_left_accessible = 0.5;  // N_a = 4 + 0.5 x 2; f_A still counts all 6
    s = analysed(s);
    EXPECT_NEAR(*s.access_point_delay_total_s, 5.0 * 0.25, 1e-12);
    EXPECT_NEAR(*s.f_a_mph, -0.078 * 5280.0 * 6.0 / 1270.0 / 2.0, 1e-12);
}

TEST(UrbanSegmentAnalysis, ProportionArrivingGreen) {
    UrbanSegment s = signalized_segment();
    s.platoon_ratio = 0.5;  // wins over the arrival type
    EXPECT_DOUBLE_EQ(*analysed(s).proportion_arriving_green, 0.225);
    s.platoon_ratio.reset();  // arrival types outside 1-6 give R_p = 1
    for (auto [type, p] : std::initializer_list<std::pair<int, double>>{{0, 0.45}, {7, 0.45}, {6, 0.9}}) {
        s.arrival_type = static_cast<std::uint8_t>(type);
        EXPECT_DOUBLE_EQ(*analysed(s).proportion_arriving_green, p) << type;
    }
    s.effective_green_s = 60.0;  // 2.0 x 0.6 held at 1
    EXPECT_DOUBLE_EQ(*analysed(s).proportion_arriving_green, 1.0);
    s.effective_green_s = 45.0;

    // Dispersed upstream discharge (two movements, 100 veh/h uniform), green from 30 s on.
    s.upstream_discharge_profiles = std::vector<MovementDischarge>{{900, 3600, 0, 40, 15}, {150, 1700, 50, 20, 5}};
    s.arrival_uniform_volume_veh_h = 100.0;
    for (double start : {30.0, 30.0 - 100.0}) {  // a start one cycle earlier wraps to the same
        s.downstream_green_start_s = start;
        EXPECT_NEAR(*analysed(s).proportion_arriving_green, 0.7259009156047629, 1e-12);
    }
    // An empty list: the uniform arrivals alone (45 of 100 steps green), none without them.
    s.upstream_discharge_profiles = std::vector<MovementDischarge>{};
    EXPECT_NEAR(*analysed(s).proportion_arriving_green, 0.45, 1e-12);
    s.arrival_uniform_volume_veh_h = 0.0;
    EXPECT_DOUBLE_EQ(*analysed(s).proportion_arriving_green, 0.0);
    s.flow_profile_time_step_s = 250.0;  // rounds to no steps: the ratio path (R_p = 2)
    EXPECT_DOUBLE_EQ(*analysed(s).proportion_arriving_green, 0.9);

    // Without timing (or with a cycle that is not positive) the stored value stays.
    s.proportion_arriving_green = 0.123;
    s.effective_green_s.reset();
    EXPECT_DOUBLE_EQ(*analysed(s).proportion_arriving_green, 0.123);
    s.effective_green_s = 45.0;
    s.cycle_length_s = 0.0;
    EXPECT_DOUBLE_EQ(*analysed(s).proportion_arriving_green, 0.123);
}

TEST(UrbanSegmentAnalysis, ProfileStepsBeyondTheLimitWidenTheStep) {
    UrbanSegment s = signalized_segment();
    s.upstream_discharge_profiles = std::vector<MovementDischarge>{{900, 3600, 0, 40, 15}};
    s.arrival_type = 3;  // the ratio path would give 0.45
    s.flow_profile_time_step_s = 1e-4;  // exactly 10^6 steps of the 100-s cycle: the limit
    const double at_limit = *analysed(s).proportion_arriving_green;
    EXPECT_GT(at_limit, 0.45 + 0.1);  // the dispersed platoon arrives mostly on green
    // 100 s / 1e-6 s would be 10^8 steps (the step is held at 1e-6 s, even when 0 or negative);
    // 100 s / 5e-5 s is 2 x 10^6: each profile is built with the 1e-4-s step instead.
    for (double step : {1e-9, 0.0, -1.0, 5e-5}) {
        s.flow_profile_time_step_s = step;
        EXPECT_EQ(*analysed(s).proportion_arriving_green, at_limit) << step;
    }
    // Continuous across the limit: 999,999.6 steps round to the limit, 1,000,000.6 are widened.
    for (double steps : {999'999.6, 1'000'000.6}) {
        s.flow_profile_time_step_s = 100.0 / steps;
        EXPECT_NEAR(*analysed(s).proportion_arriving_green, at_limit, 1e-6) << steps;
    }
    // Greens far longer than the cycle and starts far off the axis do not walk step by step.
    s.flow_profile_time_step_s = 1.0;
    s.upstream_discharge_profiles = std::vector<MovementDischarge>{{900, 3600, -1e15, 1e13, 15}};
    s.effective_green_s = 1e13;
    s.downstream_green_start_s = 1e300;
    EXPECT_DOUBLE_EQ(*analysed(s).proportion_arriving_green, 1.0);
}

TEST(UrbanSegmentAnalysis, StopRatesAndPerceptionScore) {
    UrbanSegment s = signalized_segment();
    s.full_stop_rate_override = 0.0;
    s.stop_rate_other = 0.25;
    s = analysed(s);
    EXPECT_DOUBLE_EQ(*s.full_stop_rate, 0.0);
    EXPECT_DOUBLE_EQ(*s.spatial_stop_rate_stops_mi, 5280.0 * 0.25 / 1320.0);

    // Signalized without its stop-rate inputs: h, H and the score keep their values.
    s = signalized_segment();
    s.sat_flow_veh_h_ln.reset();
    s.full_stop_rate = 0.8;
    EXPECT_DOUBLE_EQ(*analysed(s).spatial_stop_rate_stops_mi, 3.2);  // a stale h still feeds H
    s.full_stop_rate.reset();
    s.perception_score = 4.5;
    s = analysed(s);
    EXPECT_FALSE(s.full_stop_rate || s.spatial_stop_rate_stops_mi);
    EXPECT_DOUBLE_EQ(*s.perception_score, 4.5);

    // full_stop_rate_signalized: saturated (X = 1), 0 lanes as 1, nothing without g, s, v or C.
    EXPECT_NEAR(full_stop_rate_signalized(0, 6.0, 0.0, 45.0, 1800.0, 2000.0, 100.0), 3600.0 * 6.0 / (1800.0 * 45.0),
                1e-12);
    EXPECT_DOUBLE_EQ(full_stop_rate_signalized(2, 6.0, 1.5, 0.0, 1800.0, 1000.0, 100.0), 0.0);
    EXPECT_DOUBLE_EQ(full_stop_rate_signalized(2, 6.0, 1.5, 45.0, -1.0, 1000.0, 100.0), 0.0);
    EXPECT_DOUBLE_EQ(full_stop_rate_signalized(2, 6.0, 1.5, 45.0, 1800.0, 0.0, 100.0), 0.0);
    EXPECT_DOUBLE_EQ(full_stop_rate_signalized(2, 6.0, 1.5, 45.0, 1800.0, 1000.0, -5.0), 0.0);
}

struct LosCase {
    bool over_capacity;
    double travel_speed;
    double base_ffs;
    LOS expected;
};

class Exhibit181 : public ::testing::TestWithParam<LosCase> {};

TEST_P(Exhibit181, Thresholds) {
    const LosCase& c = GetParam();
    EXPECT_EQ(exhibit_18_1_los(c.over_capacity, c.travel_speed, c.base_ffs), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, Exhibit181,
    ::testing::Values(LosCase{true, 80.0, 55.0, LOS::F},                 // v/c above 1
                      LosCase{false, 44.0, 55.0, LOS::B},                // equal to A's threshold: next letter
                      LosCase{false, 44.000001, 55.0, LOS::A},
                      LosCase{false, 17.0, 55.0, LOS::F},                // equal to E's threshold
                      LosCase{false, 44.5, 60.0, LOS::A},                // above 55: the 55 column
                      LosCase{false, 20.0, 20.0, LOS::B},                // below 25: the 25 column
                      LosCase{false, 42.0, 52.5, LOS::B},                // halfway 55/50: A above 42.0
                      LosCase{false, 42.01, 52.5, LOS::A},
                      LosCase{false, 30.0, 50.0, LOS::C},                // column 50: B above 34, C above 25
                      LosCase{false, 14.0, 35.0, LOS::E},                // column 35: D above 14
                      LosCase{false, 9.5, 30.0, LOS::E},                 // column 30: E above 9
                      LosCase{false, kNaN, 40.0, LOS::F}, LosCase{false, kInf, kNaN, LOS::A}));

TEST(UrbanSegmentAnalysis, DegenerateInputsGiveNonFiniteResultsWithoutFailing) {
    UrbanSegment s = signalized_segment();
    s.segment_length_ft = 0.0;
    s.upstream_discharge_profiles = std::vector<MovementDischarge>{{900, 3600, 0, 40, 15}};
    s = analysed(s);
    EXPECT_TRUE(std::isinf(*s.running_time_s));  // start-up term 4 / 0
    EXPECT_DOUBLE_EQ(*s.travel_speed_mph, 0.0);
    EXPECT_TRUE(std::isinf(*s.spatial_stop_rate_stops_mi));
    EXPECT_EQ(s.los, LOS::F);
    s.control = BoundaryControlType::Uncontrolled;  // 0 x infinity
    EXPECT_TRUE(std::isnan(*analysed(s).running_time_s));
    s = signalized_segment();
    s.speed_limit_mph = -100.0;
    s.upstream_discharge_profiles = std::vector<MovementDischarge>{{900, 3600, 0, 40, 15}};
    EXPECT_NO_THROW(s.analyze());
}

}  // namespace
