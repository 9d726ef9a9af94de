#include <gtest/gtest.h>

#include <string>

#include "../support/checks.hpp"
#include "hcm/urban_segments/access_point_delay.hpp"
#include "hcm/urban_segments/exhibits.hpp"

using namespace hcm::urban_segments::access_point_delay;
using hcm::urban_segments::exhibits::exhibit_18_13_delay;
using namespace testing_support;

namespace {

struct Exhibit1813Case {
    double flow;
    std::uint32_t lanes;
    double delay;
};

class Exhibit1813 : public ::testing::TestWithParam<Exhibit1813Case> {};

TEST_P(Exhibit1813, DelayPerAccessPoint) {
    EXPECT_NEAR(exhibit_18_13_delay(GetParam().flow, GetParam().lanes), GetParam().delay, 1e-15);
}

INSTANTIATE_TEST_SUITE_P(Cells, Exhibit1813,
                         ::testing::Values(Exhibit1813Case{200.0, 1, 0.04}, Exhibit1813Case{700.0, 1, 0.39},
                                           Exhibit1813Case{600.0, 2, 0.41}, Exhibit1813Case{300.0, 3, 0.09},
                                           Exhibit1813Case{450.0, 2, 0.20},   // halfway between 0.15 and 0.25
                                           Exhibit1813Case{650.0, 2, 0.565},  // halfway between 0.41 and 0.72
                                           Exhibit1813Case{0.0, 2, 0.04},     // below 200: the 200 row
                                           Exhibit1813Case{5000.0, 2, 0.72},  // above 700: the 700 row
                                           Exhibit1813Case{kNaN, 1, 0.04},
                                           Exhibit1813Case{500.0, 0, 0.18},   // 0 lanes as 1
                                           Exhibit1813Case{500.0, 6, 0.15}));  // 4 or more lanes as 3

TEST(PlanningEstimate, TurnAndBayFactors) {
    // 10 % left and 10 % right turns, no adequate bays, 4 access points, 450 veh/h/ln on one lane.
    PlanningEstimateInputs in{.access_points = 4.0, .through_lanes = 1, .flow_veh_h = 450.0};
    EXPECT_NEAR(planning_estimate_delay(in), 4.0 * 0.15, 1e-15);
    in.left_bay_adequate = true;  // one adequate bay halves it, both remove it
    EXPECT_NEAR(planning_estimate_delay(in), 0.30, 1e-15);
    in.right_bay_adequate = true;
    EXPECT_DOUBLE_EQ(planning_estimate_delay(in), 0.0);
    // 2 points, 900 veh/h on 2 lanes (0.20 each), 15 % + 15 % turns: f_t = 1.5.
    in = {.access_points = 2.0, .pct_left_turns = 15.0, .pct_right_turns = 15.0, .through_lanes = 2, .flow_veh_h = 900.0};
    EXPECT_NEAR(planning_estimate_delay(in), 2.0 * 1.5 * 0.20, 1e-15);
    in.pct_left_turns = -40.0;  // a negative turn share counts as none
    EXPECT_DOUBLE_EQ(planning_estimate_delay(in), 0.0);
}

AccessPointApproach approach(double v_lt, double v_th, double v_rt, std::uint32_t n_sl, std::uint32_t n_t,
                             std::uint32_t n_sr, double v_o, double pct_hv = 0.0, double bay_storage_ft = -1.0) {
    const bool bay = bay_storage_ft >= 0.0;
    return {v_lt, v_th, v_rt, n_sl, n_t, n_sr, v_o, bay, false, bay ? 1u : 0u, bay ? bay_storage_ft : 0.0, pct_hv};
}

// Values worked from the Chapter 30, Section 4 equations at 35 mi/h over a 0.25-h period.
struct ApproachCase {
    const char* name;
    AccessPointApproach approach;
    AccessPointDelay expected;
};

class ApproachDelay : public ::testing::TestWithParam<ApproachCase> {};

TEST_P(ApproachDelay, ChapterThirtyModel) {
    const auto& c = GetParam();
    const AccessPointDelay d = approach_delay(c.approach, 35.0, 0.25);
    EXPECT_NEAR(d.delay_left_s, c.expected.delay_left_s, 1e-12);
    EXPECT_NEAR(d.delay_right_s, c.expected.delay_right_s, 1e-12);
    EXPECT_NEAR(d.delay_total_s, c.expected.delay_total_s, 1e-12);
    EXPECT_NEAR(d.prob_inside_lane_blocked, c.expected.prob_inside_lane_blocked, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(
    Approaches, ApproachDelay,
    ::testing::Values(
        // Two lanes (shared left, shared right): the inside lane takes the smaller of the queue
        // delay behind the left turns and the lane-change delay.
        ApproachCase{"two_lanes", approach(60, 900, 80, 1, 0, 1, 700, 3),
                     {0.056120608080593985, 0.03169763455425737, 0.08781824263485136, 0.06620887779216979}},
        // One lane: the queue delay alone.
        ApproachCase{"one_lane", approach(40, 500, 50, 0, 1, 0, 400, 2),
                     {0.04830757473439588, 0.04795203006414803, 0.09625960479854391, 0.03419997030266495}},
        // One lane with a 100-ft bay: scaled by the overflow probability (v_lt / s_lt)^(1 + 100/25.4).
        ApproachCase{"one_lane_bay", approach(40, 500, 50, 0, 1, 0, 400, 2, 100.0),
                     {6.188272597638958e-08, 0.04795203006414803, 0.047952091946874005, 5.787266484754626e-08}},
        ApproachCase{"three_lanes", approach(100, 1800, 120, 1, 1, 1, 1000, 5),
                     {0.12633537673419754, 0.03065648805660737, 0.1569918647908049, 0.14281350122257283}},
        // Two lanes with a bay: no left turns in the inside lane, so no left-turn delay.
        ApproachCase{"two_lanes_bay", approach(60, 900, 80, 0, 1, 1, 700, 0, 150.0),
                     {0.0, 0.028812394623566034, 0.028812394623566034, 5.577166217592422e-09}},
        ApproachCase{"no_flow", approach(0, 0, 0, 1, 0, 1, 500), {0.0, 0.0, 0.0, 0.0}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ApproachDelay, RightTurnDecelerationModel) {
    AccessPointApproach a = approach(40, 500, 50, 0, 1, 0, 400, 2);
    EXPECT_DOUBLE_EQ(approach_delay(a, 20.0 / 1.47, 0.25).delay_right_s, 0.0);  // 20 ft/s: the turning speed
    EXPECT_GT(approach_delay(a, 20.0 / 1.47 + 0.01, 0.25).delay_right_s, 0.0);
    a.right_turn_bay = true;
    EXPECT_DOUBLE_EQ(approach_delay(a, 35.0, 0.25).delay_right_s, 0.0);
    // At 60 mi/h behind 2100 and 2300 veh/h outside-lane flows the follower delays fall slowly:
    // 47 followers reach 0.1 s, the heavier flow is cut at 51; a saturated lane has no term.
    EXPECT_NEAR(approach_delay(approach(0, 2000, 100, 0, 1, 0, 0), 60.0, 0.25).delay_right_s, 3.928000538962236, 1e-12);
    EXPECT_NEAR(approach_delay(approach(0, 2200, 100, 0, 1, 0, 0), 60.0, 0.25).delay_right_s, 5.365462314074059, 1e-12);
    EXPECT_DOUBLE_EQ(approach_delay(approach(0, 2300, 100, 0, 1, 0, 0), 60.0, 0.25).delay_right_s, 0.0);
}

TEST(ApproachDelay, PeriodHeldAtOneMillionthOfAnHour) {
    const AccessPointApproach a = approach(60, 900, 80, 1, 0, 1, 700, 3);
    for (double period : {1e-6, 0.0, -1.0})
        EXPECT_NEAR(approach_delay(a, 35.0, period).delay_total_s, 0.046752793980967974, 1e-12) << period;
}

TEST(LaneSplit, SharesAndFlows) {
    LaneSplit s = lane_split(approach(40, 500, 50, 0, 1, 0, 400), 1.3, 1.0, 0.5);  // one lane: the shares
    EXPECT_DOUBLE_EQ(s.p_l, 40.0 / 590.0);
    EXPECT_DOUBLE_EQ(s.q_r, 590.0);
    s = lane_split(approach(100, 1800, 120, 1, 1, 1, 1000), 1.3, 1.0, 0.5);
    EXPECT_NEAR(s.q_l + s.q_m + s.q_r, 2020.0, 1e-9);  // three lanes carry the whole volume
    EXPECT_NEAR(s.q_m, 706.0511140016387, 1e-11);
    s = lane_split(approach(10, 100, 10, 4294967295u, 4294967295u, 2, 0), 1.0, 1.0, 1.0);  // lanes add in 64 bits
    EXPECT_GT(s.q_l, 0.0);
}

}  // namespace
