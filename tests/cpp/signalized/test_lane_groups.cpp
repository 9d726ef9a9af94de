// Lane groups and adjusted saturation flow (HCM Chapter 19, Steps 1 to 4): the adjustment factors
// at their anchor cells, the permitted left-turn model's branches, lane-group formation and the
// shared-lane flow distribution. Expected values are worked by hand from the HCM equations.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "../support/checks.hpp"
#include "fixtures.hpp"
#include "hcm/signalized/analysis.hpp"

using namespace testing_support;
using namespace signalized_fixtures;
using si::LaneGroupKind;
using si::LeftTurnMode;
using si::LeftTurnSequence;

namespace {

TEST(SignalizedSaturationFlow, AdjustmentFactorsAtTheirAnchorCells) {
    for (auto [width, f] : {std::pair{9.5, 0.96}, {10.0, 1.0}, {12.9, 1.0}, {13.0, 1.04}})
        EXPECT_EQ(si::lane_width_factor(width), f) << width;
    EXPECT_DOUBLE_EQ(si::heavy_vehicle_grade_factor(5, 2), 0.9486);   // (100 - 3.9 - 0.31 x 4) / 100
    EXPECT_DOUBLE_EQ(si::heavy_vehicle_grade_factor(10, -4), 1.0038);  // (100 - 7.9 + 8.28) / 100: linear downhill
    EXPECT_EQ(si::heavy_vehicle_grade_factor(0, 0), 1.0);
    EXPECT_EQ(si::area_type_factor(true), 0.9);
    EXPECT_EQ(si::area_type_factor(false), 1.0);
    EXPECT_DOUBLE_EQ(si::bus_blockage_factor(100), 0.6);
    EXPECT_EQ(si::bus_blockage_factor(300), 0.05);  // counts as 250 buses/h, then the floor
    EXPECT_DOUBLE_EQ(si::parking_factor(true, 60), 0.6);
    EXPECT_EQ(si::parking_factor(true, 200), 0.05);  // counts as 180 maneuvers/h, then the floor
    EXPECT_EQ(si::parking_factor(false, 200), 1.0);
    for (auto [lanes, f] : {std::pair{0u, 1.0}, {1u, 1.0}, {2u, 0.952}, {3u, 0.908}, {4u, 0.908}})
        EXPECT_EQ(si::lane_utilization_factor(lanes), f) << lanes;
}

TEST(SignalizedSaturationFlow, PedestrianOccupancyBranches) {
    EXPECT_DOUBLE_EQ(si::pedestrian_occupancy(100, 100, 40), 0.125);  // 250 p/h of green / 2000
    EXPECT_DOUBLE_EQ(si::pedestrian_occupancy(100, 600, 40), 0.55);   // 0.4 + 1500 / 10000
    EXPECT_DOUBLE_EQ(si::pedestrian_occupancy(100, 5000, 40), 0.9);   // flow capped at 5000, occupancy at 0.9
    EXPECT_DOUBLE_EQ(si::pedestrian_occupancy(100, 100, 0), 0.9);     // no walk time: the 1e-9 floor, then the caps
}

TEST(SignalizedPermittedLeft, SaturationFlowAndOpposingQueue) {
    EXPECT_NEAR(si::permitted_left_sat_flow(600), 831.7304137853172, kTol);  // 600 e^-0.75 / (1 - e^-0.4167)
    EXPECT_NEAR(si::permitted_left_sat_flow(0), 1439.870005578553, kTol);   // no opposing flow: 0.1 veh/h
    EXPECT_EQ(si::permitted_left_sat_flow(-5), si::permitted_left_sat_flow(0));
    // 600 veh/h on one lane at 1,900, g 45 of 100 s, P 0.45: q_g = 1/6 veh/s, 9.1667 / 0.3611 s.
    EXPECT_NEAR(si::opposing_queue_service_time(600, 1900, 45, 0.45, 100), 25.384615384615383, kTol);
    EXPECT_EQ(si::opposing_queue_service_time(0, 1900, 45, 0.45, 100), 0.0);
    EXPECT_EQ(si::opposing_queue_service_time(600, 1900, 100, 1.0, 100), 0.0);  // no red
    EXPECT_EQ(si::opposing_queue_service_time(600, 0, 45, 0.45, 100), 45.0);    // never served: the whole green
}

// Through 50 s (Y + R 5), left 15 s (Y + R 4), opposing through 40 s (Y + R 5) and left 20 s, g_q' 10 s.
class PermittedWindowBySequence
    : public ::testing::TestWithParam<std::tuple<LeftTurnSequence, double, double, double, double>> {};

TEST_P(PermittedWindowBySequence, GivesTheWindowOfItsRow) {
    const auto [sequence, g_perm, unsaturated, extension, lost] = GetParam();
    const si::PermittedWindow w = si::permitted_window(
        sequence, {.through_duration = 50, .through_change = 5, .left_duration = 15, .left_change = 4,
                   .opposing_through_duration = 40, .opposing_through_change = 5, .opposing_left_duration = 20,
                   .opposing_queue_s = 10});
    EXPECT_EQ(w.g_perm, g_perm);
    EXPECT_EQ(w.unsaturated, unsaturated);
    EXPECT_EQ(w.extension, extension);
    EXPECT_EQ(w.lost_time, lost);
}

INSTANTIATE_TEST_SUITE_P(
    SignalizedPermittedLeft, PermittedWindowBySequence,
    ::testing::Values(std::tuple{LeftTurnSequence::LeadLead, 30.0, 25.0, 2.0, 2.0},  // opposing left ends 9 s later
                      std::tuple{LeftTurnSequence::LeadLag, 30.0, 20.0, 2.0, 0.0},
                      std::tuple{LeftTurnSequence::LagLead, 15.0, 15.0, 0.0, 2.0},
                      std::tuple{LeftTurnSequence::LagLag, 35.0, 25.0, 0.0, 2.0},
                      std::tuple{LeftTurnSequence::PermLead, 15.0, 15.0, 2.0, 2.0},
                      std::tuple{LeftTurnSequence::PermLag, 35.0, 25.0, 2.0, 2.0},
                      std::tuple{LeftTurnSequence::PermPerm, 35.0, 25.0, 2.0, 2.0}));

TEST(SignalizedPermittedLeft, LeadLeadWithoutLaterOpposingLeftHasNoLostTime) {
    const si::PermittedWindow w =
        si::permitted_window(LeftTurnSequence::LeadLead, {.through_duration = 50, .through_change = 5,
                                                          .left_duration = 15, .left_change = 4,
                                                          .opposing_through_duration = 40,
                                                          .opposing_through_change = 5, .opposing_left_duration = 10});
    EXPECT_EQ(w.lost_time, 0.0);
    EXPECT_EQ(w.g_perm, 35.0);  // min(40 + 15 - 10 - 5, 40 - 5)
}

TEST(SignalizedPermittedLeft, FreeGreenOfTheSharedLane) {
    // No left turns in the lane: the arrival estimate alone (LTC 2, G_perm 30, l_p 2).
    EXPECT_NEAR(si::shared_lane_free_green(0.0, 30, 2, 30, 2, true), 5.038539781631059, kTol);   // 0.882, 0.717
    EXPECT_NEAR(si::shared_lane_free_green(0.0, 30, 2, 30, 2, false), 5.934447166072111, kTol);  // 0.860, 0.629
    EXPECT_EQ(si::shared_lane_free_green(1.0, 30, 2, 30, 2, true), 0.0);  // a left turn is always first
    // P_L 0.2: the bound (0.8 / 0.1)(1 - 0.8^15) - 2 is below the arrival estimate 15.54 s.
    EXPECT_NEAR(si::shared_lane_free_green(0.2, 30, 2, 30, 0.5, true), 5.718525023289343, kTol);
    // A left-turn share that is the residue of a lane-flow split: the bound tends to
    // (2 / P_L) x 15 P_L (1 - 8 P_L) - 2 = 28 - 240 P_L, the arrival estimate to 30 - 2 = 28.
    for (double p_left : {1e-8, 1e-12, 1e-17})
        EXPECT_NEAR(si::shared_lane_free_green(p_left, 30, 2, 30, 0, true), 28 - 240 * p_left, 1e-9) << p_left;
}

si::SignalizedIntersection formed(si::SignalizedIntersection x) {
    si::form_lane_groups(x);
    return x;
}

TEST(SignalizedLaneGroups, FormationByLeftTurnMode) {
    auto a = approach(Direction::NB, phase(2, 50));
    a.volume_left = 100;
    a.volume_through = 800;
    a.volume_right = 150;
    a.exclusive_left_lanes = 1;
    a.through_lanes = 2;
    a.shared_right_through_lane = true;
    a.exclusive_right_lanes = 1;
    a.left_phase = phase(5, 15, 3, 1);

    // NotPresent: the left lane forms no group and its turns are in none.
    auto x = formed(intersection({a}));
    ASSERT_EQ(x.lane_groups.size(), 3u);
    EXPECT_EQ(x.lane_groups[0].kind, LaneGroupKind::ExclusiveThrough);
    EXPECT_EQ(x.lane_groups[1].kind, LaneGroupKind::SharedRightThrough);
    EXPECT_EQ(x.lane_groups[2].kind, LaneGroupKind::ExclusiveRight);
    double flow = 0.0;
    for (const auto& g : x.lane_groups) flow += g.flow_rate;
    EXPECT_NEAR(flow, 950.0, kTol);

    // Protected: its own phase and green, no permitted period.
    a.left_turn_mode = LeftTurnMode::Protected;
    x = formed(intersection({a}));
    const si::LaneGroup& prot = group_of(x, Direction::NB, LaneGroupKind::ExclusiveLeft);
    EXPECT_EQ(prot.phase_no, 5);
    EXPECT_EQ(prot.flow_rate, 100.0);
    EXPECT_EQ(prot.effective_green_s, 11.0);  // (15 - 2) - (4 - 2)
    EXPECT_NEAR(*prot.sat_flow, 1900 / 1.05, kTol);
    EXPECT_EQ(prot.g_p, 0.0);
    EXPECT_EQ(prot.g_u, 0.0);
    EXPECT_FALSE(prot.sat_flow_permitted);
    EXPECT_FALSE(prot.capacity);

    // Permitted without an opposing approach: the through phase, the 0.1 veh/h gap supply.
    a.left_turn_mode = LeftTurnMode::Permitted;
    x = formed(intersection({a}));
    const si::LaneGroup& perm = group_of(x, Direction::NB, LaneGroupKind::ExclusiveLeft);
    EXPECT_EQ(perm.phase_no, 2);
    EXPECT_NEAR(*perm.sat_flow, 1439.870005578553, kTol);
    EXPECT_EQ(perm.sat_flow_permitted, perm.sat_flow);
    EXPECT_EQ(perm.effective_green_s, perm.g_p);

    // No lanes at all: no group.
    auto empty = approach(Direction::SB, phase(6, 50));
    empty.through_lanes = 0;
    empty.volume_through = 500;
    EXPECT_TRUE(formed(intersection({empty})).lane_groups.empty());
}

TEST(SignalizedLaneGroups, FlowRatesWithPeakHourFactorAndRightTurnOnRed) {
    auto a = approach(Direction::EB, phase(4, 40));
    a.volume_through = 450;
    a.volume_right = 90;
    a.exclusive_right_lanes = 1;
    for (auto [phf, through] : {std::pair{std::optional<double>{}, 450.0}, {0.0, 450.0}, {-1.0, 450.0}, {0.9, 500.0}}) {
        a.peak_hour_factor = phf;
        a.volume_rtor = 120;  // above the right-turn flow rate: none left, never negative
        const auto x = formed(intersection({a}));
        EXPECT_NEAR(x.lane_groups[0].flow_rate, through, 1e-9);
        EXPECT_EQ(x.lane_groups[1].flow_rate, 0.0);
    }
    a.peak_hour_factor = 0.9;
    a.volume_rtor = 40;  // a flow rate, removed after the PHF
    EXPECT_NEAR(formed(intersection({a})).lane_groups[1].flow_rate, 60.0, 1e-9);
}

TEST(SignalizedLaneGroups, RightTurnPedestrianAndBicycleAdjustment) {
    auto a = approach(Direction::WB, phase(8, 50));
    a.through_phase.walk_s = 7;
    a.through_phase.ped_clear_s = 12;
    a.volume_right = 100;
    a.exclusive_right_lanes = 1;
    a.ped_flow_ph = 100;  // 526 p/h during the 19 s of walk and clearance: OCC 0.2632, x 19/45
    EXPECT_NEAR(*formed(intersection({a})).lane_groups[1].sat_flow,
                (1 - 0.6 * 19.0 / 45 * 100 / 19 * 100 / 2000) * 1900 / 1.18, kTol);
    a.bike_flow_ph = 100;  // OCC_bicg 0.02 + 222.2 / 2700; OCC_r = 0.102305 + 0.111111 - their product
    EXPECT_NEAR(*formed(intersection({a})).lane_groups[1].sat_flow, 0.8787709190672154 * 1900 / 1.18, 1e-9);
    a.receiving_lanes = 1;  // no lane to turn into beside the blocked one: the whole occupancy
    EXPECT_NEAR(*formed(intersection({a})).lane_groups[1].sat_flow, (1 - 0.20204846822130773) * 1900 / 1.18, 1e-9);
}

TEST(SignalizedLaneGroups, ThroughLanesBesideSharedLeftWithPermittedLeftTurns) {
    auto a = approach(Direction::NB, phase(2, 50));
    a.volume_left = 50;
    a.volume_through = 600;
    a.shared_left_through_lane = true;
    a.through_lanes = 2;
    for (auto [mode, factor] : {std::pair{LeftTurnMode::Permitted, 0.91}, {LeftTurnMode::ProtectedPermitted, 0.91},
                                {LeftTurnMode::Protected, 1.0}}) {
        a.left_turn_mode = mode;
        a.left_phase = phase(5, 12, 3, 1);
        const auto x = formed(intersection({a}));
        EXPECT_NEAR(*group_of(x, Direction::NB, LaneGroupKind::ExclusiveThrough).sat_flow, 1900 * 0.952 * factor, 1e-9);
    }
}

// A shared right-through lane beside one through lane at about 486 veh/h/ln, where the damping
// weight is 1: the lanes carry the approach's flow at equal degrees of saturation.
TEST(SignalizedLaneGroups, SharedLaneFlowsBalanceTheDegreesOfSaturation) {
    auto a = approach(Direction::SB, phase(6, 50));
    a.volume_through = 773;
    a.volume_right = 200;
    a.shared_right_through_lane = true;
    const auto x = formed(intersection({a}));
    const auto& through = group_of(x, Direction::SB, LaneGroupKind::ExclusiveThrough);
    const auto& shared = group_of(x, Direction::SB, LaneGroupKind::SharedRightThrough);
    EXPECT_NEAR(through.flow_rate + shared.flow_rate, 973.0, 1e-9);
    EXPECT_LT(shared.flow_rate, through.flow_rate);
    EXPECT_NEAR(shared.flow_rate / *shared.sat_flow, through.flow_rate / *through.sat_flow, 1e-4);
    EXPECT_NEAR(*shared.p_right_shared, 200 / shared.flow_rate, 1e-12);
}

// A permitted left turn against 600 veh/h on one lane, cycle 100 s. The first pass sees no
// opposing saturation flow yet (g_q = the whole green); the second settles g_q = 25.3846 s, which
// a pass that ended the passes after the first would miss (g_u 0: sneakers alone).
TEST(SignalizedLaneGroups, PermittedLeftTurnModelOverThePasses) {
    auto x = permitted_left_against_one_lane();
    const auto work = si::form_lane_groups(x);
    const si::ApproachWork& w = work[0];
    EXPECT_EQ(w.g_perm, 45.0);                        // D_T,o - (Y + R)
    EXPECT_EQ(w.g_p, 45.0);                           // 2 + 45 - 2
    EXPECT_NEAR(w.g_u, 19.615384615384617, 1e-12);    // 45 - (25.3846 + 2) + 2
    EXPECT_NEAR(w.s_p, 831.7304137853172, 1e-9);
    EXPECT_NEAR(w.e_l1, 2.284394039834186, 1e-12);    // 1900 / s_p
    EXPECT_EQ(w.e_l2, 1.05);                          // the opposing lane is no shared left-through lane
    const si::LaneGroup& left = group_of(x, Direction::NB, LaneGroupKind::ExclusiveLeft);
    EXPECT_EQ(left.g_u, w.g_u);
    EXPECT_EQ(left.sat_flow, w.s_p);  // no pedestrians: A_pbL 1
}

}  // namespace
