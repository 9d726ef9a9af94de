#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "hcm/roundabouts/roundabouts.hpp"

using namespace hcm::roundabouts::roundabouts;

namespace {

Roundabouts with_through(double nb, double sb, double eb, double wb) {
    Roundabouts r;
    std::tie(r.nb.v_t, r.sb.v_t, r.eb.v_t, r.wb.v_t) = std::tuple(nb, sb, eb, wb);
    return r;
}

void set_volumes(RoundaboutApproach& e, double u, double l, double t, double r) {
    std::tie(e.v_u, e.v_l, e.v_t, e.v_r) = std::tuple(u, l, t, r);
}

TEST(RoundaboutAnalysis, FourOneLaneEntriesOf400Through) {
    Roundabouts r = with_through(400, 400, 400, 400);
    analyze(r);
    for (auto member : ENTRIES) {
        const RoundaboutApproach& e = r.*member;
        EXPECT_EQ(*e.flows_pce, (std::array<double, 4>{0, 0, 400, 0}));
        EXPECT_EQ(*e.circulating_flow_pce, 400.0);  // the through movement of the entry to the left
        EXPECT_FALSE(e.bypass_conflicting_flow_pce);
        ASSERT_EQ(e.lanes.size(), 1u);
        const RoundaboutLaneResult& lane = e.lanes[0];
        EXPECT_EQ(lane.label, "entry");
        EXPECT_NEAR(lane.capacity_pce, 917.6708527749147, 1e-9);  // 1380 exp(-0.00102 x 400)
        EXPECT_EQ(lane.capacity_veh, lane.capacity_pce);
        EXPECT_NEAR(lane.v_c_ratio, 0.4358861336724961, 1e-12);
        EXPECT_NEAR(lane.control_delay, 9.098299621178004, 1e-9);
        EXPECT_NEAR(lane.queue_95, 2.240499516471398, 1e-9);
        EXPECT_EQ(lane.los, "A");
        EXPECT_NEAR(*e.control_delay, 9.098299621178004, 1e-9);
        EXPECT_FALSE(e.bypass_lane);
    }
    EXPECT_NEAR(*r.intersection_delay, 9.098299621178004, 1e-9);
    EXPECT_EQ(*r.intersection_los, "A");
}

TEST(RoundaboutAnalysis, NoTrafficLeavesEntriesWithoutDelay) {
    Roundabouts r;
    r.sb.control_delay = 12.0;  // kept: the entry has no traffic to weigh
    analyze(r);
    const RoundaboutLaneResult& lane = r.nb.lanes.at(0);
    EXPECT_EQ(lane.capacity_veh, 1380.0);
    EXPECT_NEAR(lane.control_delay, 3600.0 / 1380.0, 1e-12);
    EXPECT_EQ(lane.queue_95, 0.0);
    EXPECT_EQ(lane.los, "A");
    EXPECT_FALSE(r.nb.control_delay);
    EXPECT_EQ(*r.sb.control_delay, 12.0);
    EXPECT_EQ(*r.intersection_delay, 0.0);
    EXPECT_EQ(*r.intersection_los, "A");
}

TEST(RoundaboutAnalysis, FlowRatesAndConflictingFlows) {
    Roundabouts r;
    r.phf = 0.8;
    set_volumes(r.nb, 8, 80, 160, 40);
    r.nb.heavy_vehicle_pct = 25;
    r.nb.bypass = BypassType::Yielding;
    set_volumes(r.eb, 4, 40, 400, 0);
    r.sb.v_l = 120;
    r.wb.v_u = 12;
    analyze(r);
    const double to_pc = 1.25 / 0.8;
    EXPECT_NEAR((*r.nb.flows_pce)[1], 80 * to_pc, 1e-12);
    // U L T of EB, U L of SB, U of WB; T of EB, L of SB, U of WB.
    EXPECT_NEAR(*r.nb.circulating_flow_pce, (4 + 40 + 400 + 120 + 12) / 0.8, 1e-12);
    EXPECT_NEAR(*r.nb.bypass_conflicting_flow_pce, (400 + 120 + 12) / 0.8, 1e-12);
    EXPECT_NEAR(*r.wb.circulating_flow_pce, (8 + 80 + 160) * to_pc + (4 + 40) / 0.8, 1e-12);
    EXPECT_NEAR(r.nb.lanes[0].flow_pce, (8 + 80 + 160) * to_pc, 1e-12);  // right turns on the bypass
    EXPECT_NEAR(r.nb.bypass_lane->flow_pce, 40 * to_pc, 1e-12);
    EXPECT_NEAR(r.nb.bypass_lane->flow_veh, 40 / 0.8, 1e-12);
    for (double phf : {0.0, -1.0}) {
        Roundabouts same = r;
        same.phf = phf;
        Roundabouts absent = r;
        absent.phf.reset();
        analyze(same);
        analyze(absent);
        EXPECT_EQ(same.nb.lanes, absent.nb.lanes);
        EXPECT_NEAR((*same.nb.flows_pce)[1], 100.0, 1e-12);
    }
}

// Lane flows of a two-lane entry: U, L, T, R (pc/h) and pct_left_lane (negative: absent).
using SplitCase = std::tuple<LaneAssignment, std::array<double, 4>, double, double, double>;
class RoundaboutLaneAssignment : public ::testing::TestWithParam<SplitCase> {};

TEST_P(RoundaboutLaneAssignment, SplitsTheEntryFlow) {
    auto [assignment, flows, pct, left, right] = GetParam();
    RoundaboutApproach e;
    e.entry_lanes = 2;
    e.lane_assignment = assignment;
    if (pct >= 0.0) e.pct_left_lane = pct;
    const std::vector<double> lanes = entry_lane_flows(e, flows);
    ASSERT_EQ(lanes.size(), 2u);
    EXPECT_NEAR(lanes[0], left, 1e-9);
    EXPECT_NEAR(lanes[1], right, 1e-9);
}

using LA = LaneAssignment;
using Flows = std::array<double, 4>;
INSTANTIATE_TEST_SUITE_P(
    Assignments, RoundaboutLaneAssignment,
    ::testing::Values(SplitCase{LA::LeftThroughAndThroughRight, Flows{0, 200, 300, 200}, -1, 329, 371},
                      SplitCase{LA::LeftThroughAndThroughRight, Flows{0, 200, 300, 600}, -1, 500, 600},
                      SplitCase{LA::LeftThroughAndThroughRight, Flows{0, 600, 300, 200}, -1, 600, 500},
                      SplitCase{LA::LeftThroughAndThroughRight, Flows{100, 100, 200, 0}, -1, 188, 212},  // a tie
                      SplitCase{LA::LeftThroughAndThroughRight, Flows{0, 200, 300, 200}, 0.6, 420, 280},
                      SplitCase{LA::LeftAndThroughRight, Flows{10, 200, 300, 200}, -1, 210, 500},
                      SplitCase{LA::LeftThroughAndRight, Flows{10, 200, 300, 200}, -1, 510, 200},
                      SplitCase{LA::LeftAndAllMovements, Flows{0, 200, 100, 50}, -1, 185.5, 164.5},
                      SplitCase{LA::LeftAndAllMovements, Flows{0, 100, 100, 50}, -1, 100, 150},
                      SplitCase{LA::AllMovementsAndRight, Flows{0, 100, 100, 400}, -1, 282, 318},
                      SplitCase{LA::AllMovementsAndRight, Flows{0, 100, 100, 100}, -1, 200, 100}));

TEST(RoundaboutLaneAssignment, OneLaneEntriesAndBypassesTakeTheWholeFlow) {
    RoundaboutApproach e;
    e.entry_lanes = 0;
    EXPECT_EQ(entry_lane_flows(e, {1, 2, 3, 4}), std::vector<double>{10});
    e.bypass = BypassType::NonYielding;
    EXPECT_EQ(entry_lane_flows(e, {1, 2, 3, 4}), std::vector<double>{6});
}

// f_ped by entry lanes, circulating flow (pc/h) and pedestrians (p/h).
using PedCase = std::tuple<std::uint32_t, double, double, double>;
class RoundaboutPedestrians : public ::testing::TestWithParam<PedCase> {};

TEST_P(RoundaboutPedestrians, ImpedanceFactor) {
    auto [lanes, vc, n, expected] = GetParam();
    EXPECT_NEAR(pedestrian_impedance(lanes, vc, n), expected, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, RoundaboutPedestrians,
    ::testing::Values(PedCase{1, 0, 101, 1 - 0.000137 * 101}, PedCase{1, 0, 102, 0.9861613325846902},
                      PedCase{1, 881, 300, (1119.5 - 0.715 * 881 - 0.644 * 300 + 0.00073 * 881 * 300) /
                                               (1068.6 - 0.654 * 881)},
                      PedCase{1, 882, 300, 1.0}, PedCase{1, 0, 2000, 0.0}, PedCase{0, 0, 50, 1 - 0.000137 * 50},
                      PedCase{2, 200, 100, 0.903671875}, PedCase{2, 200, 50, 0.9518359375}, PedCase{2, 200, 0, 1.0},
                      PedCase{3, 0, 3309, 0.0}, PedCase{2, 0, 3308, (1260.6 - 0.381 * 3308) / 1380}));

// The capacity model by entry lanes, circulating lanes and lane (0 = left or only).
using ModelCase = std::tuple<std::uint32_t, std::uint32_t, std::size_t, double, double>;
class RoundaboutCapacityModels : public ::testing::TestWithParam<ModelCase> {};

TEST_P(RoundaboutCapacityModels, ChosenByLanes) {
    auto [entry, circulating, lane, intercept, slope] = GetParam();
    const CapacityModel m = entry_capacity_model(entry, circulating, lane);
    EXPECT_EQ(m.intercept, intercept);
    EXPECT_EQ(m.slope, slope);
    EXPECT_NEAR(m.at(500.0), intercept * std::exp(-slope * 500.0), 1e-12);
}

INSTANTIATE_TEST_SUITE_P(Models, RoundaboutCapacityModels,
                         ::testing::Values(ModelCase{1, 1, 0, 1380, 0.00102}, ModelCase{1, 2, 0, 1420, 0.00085},
                                           ModelCase{2, 1, 0, 1420, 0.00091}, ModelCase{2, 1, 1, 1420, 0.00091},
                                           ModelCase{2, 2, 0, 1350, 0.00092}, ModelCase{2, 3, 1, 1420, 0.00085},
                                           ModelCase{3, 1, 0, 1350, 0.00092}, ModelCase{3, 1, 1, 1420, 0.00085},
                                           ModelCase{0, 1, 0, 1420, 0.00085}));

TEST(RoundaboutAnalysis, TwoLaneEntryAndCalibration) {
    Roundabouts r = with_through(0, 0, 300, 0);  // 300 pc/h in front of NB
    set_volumes(r.nb, 0, 200, 300, 200);
    r.nb.entry_lanes = r.nb.circulating_lanes = 2;
    r.nb.n_ped = 100;
    r.nb.bypass = BypassType::Yielding;
    analyze(r);
    const double f_ped = (1260.6 - 0.329 * 300 - 38.1) / (1380 - 0.5 * 300);
    ASSERT_EQ(r.nb.lanes.size(), 2u);
    EXPECT_EQ(r.nb.lanes[0].label, "left");
    EXPECT_NEAR(r.nb.lanes[0].flow_pce, 0.47 * 500, 1e-12);  // the right turns use the bypass lane
    EXPECT_NEAR(r.nb.lanes[0].capacity_veh, 1350 * std::exp(-0.00092 * 300) * f_ped, 1e-9);
    EXPECT_NEAR(r.nb.lanes[1].capacity_veh, 1420 * std::exp(-0.00085 * 300) * f_ped, 1e-9);
    const double bypass = r.nb.bypass_lane->capacity_veh;

    r.calibration = std::pair{1380.0, 0.00102};
    analyze(r);
    for (const RoundaboutLaneResult& lane : r.nb.lanes)
        EXPECT_NEAR(lane.capacity_pce, 1380 * std::exp(-0.00102 * 300), 1e-9);
    EXPECT_EQ(r.nb.bypass_lane->capacity_veh, bypass);
}

TEST(RoundaboutAnalysis, YieldingBypassByExitLanes) {
    for (auto [exit_lanes, capacity, delay] :
         {std::tuple{2u, 928.3530948843832, 7.333907989129172}, std::tuple{1u, 828.6838987609269, 8.598649983251967},
          std::tuple{0u, 828.6838987609269, 8.598649983251967}}) {
        Roundabouts r = with_through(0, 0, 500, 0);
        r.nb.v_r = 300;
        r.nb.bypass = BypassType::Yielding;
        r.eb.exiting_lanes = exit_lanes;  // the exit NB's bypass merges into
        analyze(r);
        const RoundaboutLaneResult& bypass = *r.nb.bypass_lane;
        EXPECT_EQ(bypass.label, "bypass");
        EXPECT_NEAR(bypass.capacity_veh, capacity, 1e-9);
        EXPECT_NEAR(bypass.control_delay, delay, 1e-9);
        EXPECT_EQ(r.nb.lanes[0].flow_pce, 0.0);
    }
}

TEST(RoundaboutAnalysis, NonYieldingBypassHasNoDelay) {
    Roundabouts r = with_through(400, 400, 400, 400);
    r.nb.v_r = 400;
    r.nb.bypass = BypassType::NonYielding;
    analyze(r);
    const RoundaboutLaneResult& bypass = *r.nb.bypass_lane;
    EXPECT_EQ(std::tuple(bypass.capacity_veh, bypass.v_c_ratio, bypass.control_delay, bypass.queue_95),
              std::tuple(0.0, 0.0, 0.0, 0.0));
    EXPECT_EQ(bypass.los, "A");
    EXPECT_NEAR(*r.nb.control_delay, 9.098299621178004 / 2, 1e-9);
}

// A lane of zero capacity has an infinite delay with traffic and an undefined one without.
// The entry and intersection averages leave out lanes without flow.
TEST(RoundaboutAnalysis, ZeroCapacityLanes) {
    Roundabouts r;
    r.calibration = std::pair{0.0, 0.0};  // entry lanes without capacity; bypass lanes keep theirs
    r.nb.v_r = 300;
    r.nb.bypass = BypassType::Yielding;
    r.sb.v_t = 100;
    analyze(r);
    EXPECT_TRUE(std::isnan(r.nb.lanes[0].control_delay));
    EXPECT_EQ(r.nb.lanes[0].los, "F");
    EXPECT_NEAR(*r.nb.control_delay, r.nb.bypass_lane->control_delay, 1e-12);
    const RoundaboutLaneResult& blocked = r.sb.lanes[0];
    EXPECT_TRUE(std::isinf(blocked.control_delay));
    EXPECT_EQ(std::tuple(blocked.v_c_ratio, blocked.queue_95, blocked.los), std::tuple(0.0, 0.0, std::string("F")));
    EXPECT_TRUE(std::isinf(*r.intersection_delay));
    EXPECT_EQ(*r.intersection_los, "F");
}

}  // namespace
