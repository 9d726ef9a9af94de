#include <gtest/gtest.h>

#include <string>

#include "../support/checks.hpp"
#include "hcm/urban_segments/access_point_delay.hpp"
#include "hcm/urban_segments/exhibits.hpp"
#include "json/jsonio.hpp"

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
    const auto& c = GetParam();
    EXPECT_NEAR(exhibit_18_13_delay(c.flow, c.lanes), c.delay, 1e-15);
}

INSTANTIATE_TEST_SUITE_P(Cells, Exhibit1813,
                         ::testing::Values(Exhibit1813Case{200.0, 1, 0.04}, Exhibit1813Case{700.0, 1, 0.39},
                                           Exhibit1813Case{600.0, 2, 0.41}, Exhibit1813Case{300.0, 3, 0.09},
                                           Exhibit1813Case{450.0, 2, 0.20},   // halfway between 0.15 and 0.25
                                           Exhibit1813Case{450.0, 1, 0.15},   // halfway between 0.12 and 0.18
                                           Exhibit1813Case{650.0, 2, 0.565},  // halfway between 0.41 and 0.72
                                           Exhibit1813Case{0.0, 2, 0.04},     // below 200: the 200 row
                                           Exhibit1813Case{5000.0, 2, 0.72},  // above 700: the 700 row
                                           Exhibit1813Case{kNaN, 1, 0.04},
                                           Exhibit1813Case{500.0, 0, 0.18},   // 0 lanes as 1
                                           Exhibit1813Case{500.0, 6, 0.15}));  // 4 or more lanes as 3

TEST(PlanningEstimate, TurnAndBayFactors) {
    // 10 % left and 10 % right turns, no adequate bays, 4 access points, 450 veh/h/ln on one lane.
    PlanningEstimateInputs in;
    in.access_points = 4.0;
    in.through_lanes = 1;
    in.flow_veh_h = 450.0;
    EXPECT_NEAR(planning_estimate_delay(in), 0.60, 1e-15);
    in.left_bay_adequate = true;  // one adequate bay halves it
    EXPECT_NEAR(planning_estimate_delay(in), 0.30, 1e-15);
    in.right_bay_adequate = true;  // both: none
    EXPECT_DOUBLE_EQ(planning_estimate_delay(in), 0.0);
    in = PlanningEstimateInputs{};
    in.access_points = 2.0;
    in.through_lanes = 2;
    in.flow_veh_h = 900.0;  // 450 veh/h/ln: 0.20 per access point
    in.pct_left_turns = 15.0;
    in.pct_right_turns = 15.0;  // f_t = 1.5
    EXPECT_NEAR(planning_estimate_delay(in), 2.0 * 1.5 * 0.20, 1e-15);
    in.pct_left_turns = -40.0;  // negative turn shares count as none
    EXPECT_DOUBLE_EQ(planning_estimate_delay(in), 0.0);
}

AccessPointApproach approach(double v_lt, double v_th, double v_rt, std::uint32_t n_sl, std::uint32_t n_t,
                             std::uint32_t n_sr, double v_o, double pct_hv) {
    AccessPointApproach a;
    a.v_lt = v_lt;
    a.v_th = v_th;
    a.v_rt = v_rt;
    a.n_sl = n_sl;
    a.n_t = n_t;
    a.n_sr = n_sr;
    a.opposing_flow_veh_h = v_o;
    a.pct_heavy_veh = pct_hv;
    return a;
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

AccessPointApproach with_left_bay(AccessPointApproach a, double storage_ft) {
    a.left_turn_bay = true;
    a.n_lt_lanes = 1;
    a.left_bay_storage_ft = storage_ft;
    return a;
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
        ApproachCase{"one_lane_bay", with_left_bay(approach(40, 500, 50, 0, 1, 0, 400, 2), 100.0),
                     {6.188272597638958e-08, 0.04795203006414803, 0.047952091946874005, 5.787266484754626e-08}},
        ApproachCase{"three_lanes", approach(100, 1800, 120, 1, 1, 1, 1000, 5),
                     {0.12633537673419754, 0.03065648805660737, 0.1569918647908049, 0.14281350122257283}},
        // Two lanes with a bay: no left turns in the inside lane, so no left-turn delay.
        ApproachCase{"two_lanes_bay", with_left_bay(approach(60, 900, 80, 0, 1, 1, 700, 0), 150.0),
                     {0.0, 0.028812394623566034, 0.028812394623566034, 5.577166217592422e-09}},
        // All flows zero: nothing, and no blockage.
        ApproachCase{"no_flow", approach(0, 0, 0, 1, 0, 1, 500, 0), {0.0, 0.0, 0.0, 0.0}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ApproachDelay, RightTurnBayAndSlowSpeedRemoveTheRightTurnDelay) {
    AccessPointApproach a = approach(40, 500, 50, 0, 1, 0, 400, 2);
    a.right_turn_bay = true;
    EXPECT_DOUBLE_EQ(approach_delay(a, 35.0, 0.25).delay_right_s, 0.0);
    a.right_turn_bay = false;
    EXPECT_DOUBLE_EQ(approach_delay(a, 20.0 / 1.47, 0.25).delay_right_s, 0.0);  // 20 ft/s: turning speed
    EXPECT_GT(approach_delay(a, 20.0 / 1.47 + 0.01, 0.25).delay_right_s, 0.0);
}

TEST(ApproachDelay, RightTurnFollowersStopAtFiftyOne) {
    // At 60 mi/h behind 2100 and 2300 veh/h outside-lane flows the follower delays fall slowly:
    // 47 followers reach 0.1 s, the heavier flow is cut at 51.
    EXPECT_NEAR(approach_delay(approach(0, 2000, 100, 0, 1, 0, 0, 0), 60.0, 0.25).delay_right_s, 3.928000538962236,
                1e-12);
    EXPECT_NEAR(approach_delay(approach(0, 2200, 100, 0, 1, 0, 0, 0), 60.0, 0.25).delay_right_s, 5.365462314074059,
                1e-12);
    // Saturated outside lane (headway no longer than 1.5 s): no deceleration delay term.
    EXPECT_DOUBLE_EQ(approach_delay(approach(0, 2300, 100, 0, 1, 0, 0, 0), 60.0, 0.25).delay_right_s, 0.0);
}

TEST(LaneSplit, SharesAndFlows) {
    // One lane: the approach's own turn shares; every lane flow is the whole volume.
    LaneSplit s = lane_split(approach(40, 500, 50, 0, 1, 0, 400, 2), 1.3, 1.0, 0.5);
    EXPECT_DOUBLE_EQ(s.p_l, 40.0 / 590.0);
    EXPECT_DOUBLE_EQ(s.p_r, 50.0 / 590.0);
    EXPECT_DOUBLE_EQ(s.q_l, 590.0);
    EXPECT_DOUBLE_EQ(s.q_r, 590.0);
    s = lane_split(approach(60, 900, 80, 1, 0, 1, 700, 3), 1.3, 1.0, 0.5);
    EXPECT_NEAR(s.p_l, 0.11195989505848467, 1e-15);
    EXPECT_NEAR(s.p_r, 0.15870061740115549, 1e-15);
    EXPECT_NEAR(s.q_l, 535.9061829118159, 1e-11);
    EXPECT_NEAR(s.q_r, 504.0938170881843, 1e-11);
    EXPECT_DOUBLE_EQ(s.q_m, s.q_r);  // fewer than three lanes
    s = lane_split(approach(100, 1800, 120, 1, 1, 1, 1000, 5), 1.3, 1.0, 0.5);
    EXPECT_NEAR(s.q_l + s.q_m + s.q_r, 2020.0, 1e-9);  // three lanes carry the whole volume
    EXPECT_NEAR(s.q_m, 706.0511140016387, 1e-11);
    // Lane counts at the top of their range add up without wrapping.
    s = lane_split(approach(10, 100, 10, 4294967295u, 4294967295u, 2, 0, 0), 1.0, 1.0, 1.0);
    EXPECT_GT(s.q_l + s.q_r, 0.0);
}

TEST(AccessPointJson, RecordsReadAndWrite) {
    const auto a = jsonio::read_document<AccessPointApproach>(
        "[60, 900, 80, 1, 0, 1, 700, true, false, 1, 150, 3]");
    EXPECT_TRUE(a.left_turn_bay);
    EXPECT_DOUBLE_EQ(a.left_bay_storage_ft, 150.0);
    EXPECT_EQ(jsonio::read_document<AccessPointApproach>(jsonio::write_document(a)), a);
    const auto read_error = [](const char* text) {
        return error_of<jsonio::Error>([&] { (void)jsonio::read_document<AccessPointApproach>(text); });
    };
    EXPECT_TRUE(starts_with(read_error(R"({"v_lt": 1, "v_th": 1, "v_rt": 1, "n_sl": 0, "n_t": 1, "n_sr": 0,
        "opposing_flow_veh_h": 0, "left_turn_bay": false, "right_turn_bay": false, "n_lt_lanes": 0,
        "left_bay_storage_ft": 0})"),
                            "missing field `pct_heavy_veh`"));
    EXPECT_TRUE(starts_with(read_error("[1, 2]"), "invalid length 2, expected struct AccessPointApproach with 12 elements"));
    EXPECT_TRUE(starts_with(
        error_of<jsonio::Error>([] { (void)jsonio::read_document<AccessPointDelay>("[1, 2, 3]"); }),
        "invalid length 3, expected struct AccessPointDelay with 4 elements"));
}

}  // namespace
