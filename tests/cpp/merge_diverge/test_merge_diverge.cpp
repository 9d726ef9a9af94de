#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "../support/checks.hpp"
#include "hcm/common/error.hpp"
#include "hcm/merge_diverge/merge_diverge.hpp"

using namespace hcm::merge_diverge;
using namespace testing_support;
using hcm::common::LevelOfService;
using hcm::common::version::HcmVersion;

namespace {

// Ideal conditions (PHF 1, no heavy vehicles) so that flow rates equal the volumes given.
RampSegment ideal(RampType type, double v_f, double v_r, std::uint32_t lanes = 3) {
    RampSegment s;
    s.ramp_type = type;
    s.freeway_lanes = lanes;
    s.freeway_demand = v_f;
    s.ramp_demand = v_r;
    s.phf = 1.0;
    s.heavy_vehicle_pct = 0.0;
    return s;
}

double p_f_after_v12(RampSegment s) {
    s.determine_demand_flow();
    s.estimate_v12();
    return s.p_f.value();
}

// ---- Defaults, whole 7th Edition analysis ------------------------------------------------------

TEST(RampSegment7, DefaultOnRampWholeAnalysis) {
    RampSegment s;
    auto los = s.run_analysis();
    const double v_f = 4000.0 / (0.94 / 1.05), v_r = 500.0 / (0.94 / 1.05);
    EXPECT_NEAR(*s.flow_freeway, v_f, 1e-9);
    EXPECT_NEAR(*s.flow_ramp, v_r, 1e-9);
    EXPECT_NEAR(*s.p_f, 0.5999, 1e-12);
    EXPECT_NEAR(*s.v12, 2680.404255319149, 1e-9);
    EXPECT_NEAR(*s.vr12, 2680.404255319149 + v_r, 1e-9);
    EXPECT_DOUBLE_EQ(*s.capacity_freeway, 7200.0);
    EXPECT_DOUBLE_EQ(*s.capacity_ramp, 2000.0);
    EXPECT_NEAR(*s.vc_ratio, (v_f + v_r) / 7200.0, 1e-12);
    EXPECT_FALSE(*s.demand_exceeds_capacity);
    EXPECT_FALSE(*s.exceeds_max_desirable);
    EXPECT_NEAR(*s.density, 25.46562127659574, 1e-9);
    EXPECT_EQ(los, LevelOfService::C);
    EXPECT_EQ(s.los, LevelOfService::C);
    EXPECT_NEAR(*s.speed_ramp, 59.79474152728892, 1e-9);
    EXPECT_NEAR(*s.speed_outer, 65.36434893617022, 1e-9);
    EXPECT_NEAR(*s.speed_avg, 61.66338760116067, 1e-9);
    EXPECT_NEAR(*s.segment_density, (v_f + v_r) / 3.0 / 61.66338760116067, 1e-9);
    EXPECT_FALSE(s.analysis_v7_1.has_value());
}

// ---- P_FM and P_FD branches ---------------------------------------------------------------------

struct PfCase {
    const char* name;
    std::function<void(RampSegment&)> setup;
    double expected;
};

class PfBranch : public ::testing::TestWithParam<PfCase> {};

TEST_P(PfBranch, ShareOfFlowInLanesOneAndTwo) {
    RampSegment s = ideal(RampType::OnRamp, 4000.0, 500.0);
    GetParam().setup(s);
    EXPECT_NEAR(p_f_after_v12(s), GetParam().expected, 1e-12) << GetParam().name;
}

auto set_lanes(std::uint32_t n) {
    return [n](RampSegment& s) { s.freeway_lanes = n; };
}
auto two_lane_ramp(std::uint32_t n, RampType t = RampType::OnRamp) {
    return [n, t](RampSegment& s) {
        s.ramp_type = t;
        s.ramp_lanes = RampLanes::Two;
        s.freeway_lanes = n;
    };
}

// Upstream off-ramp at L_up: equilibrium distance 0.214 x 4500 + 0.444 x 800 + 52.32 x 35 - 2403 = 746.4 ft.
auto upstream_off(double l_up) {
    return [l_up](RampSegment& s) {
        s.adjacent_upstream = AdjacentRamp::OffRamp;
        s.upstream_distance = l_up;
    };
}
// Downstream off-ramp of 600 veh/h: equilibrium distance 600 / (0.1096 + 0.000107 x 800) = 3073.8 ft.
auto downstream_off(double l_down, std::optional<double> flow = 600.0) {
    return [l_down, flow](RampSegment& s) {
        s.adjacent_downstream = AdjacentRamp::OffRamp;
        s.downstream_distance = l_down;
        s.downstream_ramp_flow = flow;
    };
}
const double PFM_UP_500 = 0.7289 - 0.0000135 * 4500 - 0.003296 * 35 + 0.000063 * 500;  // 0.58429
const double PFM_DOWN_1000 = 0.5487 + 0.2628 * 600.0 / 1000.0;                          // 0.70638

INSTANTIATE_TEST_SUITE_P(
    Merge, PfBranch,
    ::testing::Values(
        PfCase{"isolated three-lane", [](RampSegment&) {}, 0.5775 + 0.000028 * 800},
        PfCase{"one-lane ramp, two lanes", set_lanes(2), 1.0},
        PfCase{"two-lane ramp, two lanes", two_lane_ramp(2), 1.0},
        PfCase{"two-lane ramp, three lanes", two_lane_ramp(3), 0.555},
        PfCase{"two-lane ramp, five lanes", two_lane_ramp(5), 0.209},
        PfCase{"four lanes, v_F/S_FR above 72", set_lanes(4), 0.2178 - 0.000125 * 500},
        PfCase{"four lanes, v_F/S_FR exactly 72 keeps the L_A term",
               [](RampSegment& s) {
                   s.freeway_lanes = 4;
                   s.freeway_demand = 72.0 * 35.0;
               },
               0.2178 - 0.000125 * 500 + 0.01115 * 800 / 35.0},
        PfCase{"four lanes, v_F/S_FR 72.01 drops it",
               [](RampSegment& s) {
                   s.freeway_lanes = 4;
                   s.freeway_demand = 72.01 * 35.0;
               },
               0.2178 - 0.000125 * 500},
        PfCase{"one freeway lane uses the four-lane form", set_lanes(1), 0.2178 - 0.000125 * 500},
        PfCase{"four lanes, clamped at 0",
               [](RampSegment& s) {
                   s.freeway_lanes = 4;
                   s.ramp_demand = 5000.0;
               },
               0.0},
        PfCase{"upstream off-ramp within its equilibrium distance wins though below isolated", upstream_off(500.0),
               PFM_UP_500},
        PfCase{"upstream off-ramp beyond its equilibrium distance", upstream_off(800.0), 0.5999},
        PfCase{"upstream on-ramp is not a merge candidate",
               [](RampSegment& s) {
                   s.adjacent_upstream = AdjacentRamp::OnRamp;
                   s.upstream_distance = 500.0;
               },
               0.5999},
        PfCase{"downstream off-ramp within its equilibrium distance", downstream_off(1000.0), PFM_DOWN_1000},
        PfCase{"downstream off-ramp beyond it", downstream_off(3100.0), 0.5999},
        PfCase{"downstream off-ramp without its volume", downstream_off(1000.0, std::nullopt), 0.5999},
        PfCase{"both adjacent candidates: the larger wins",
               [](RampSegment& s) {
                   upstream_off(500.0)(s);
                   downstream_off(1000.0)(s);
               },
               PFM_DOWN_1000},
        PfCase{"adjacent ramps are ignored on four lanes",
               [](RampSegment& s) {
                   s.freeway_lanes = 4;
                   downstream_off(1000.0)(s);
               },
               0.2178 - 0.000125 * 500}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

auto diverge(std::function<void(RampSegment&)> more = [](RampSegment&) {}) {
    return [more](RampSegment& s) {
        s.ramp_type = RampType::OffRamp;
        more(s);
    };
}
// Upstream on-ramp at 2000 ft: q = 0.071 + 0.000023 x 4000 - 0.000076 x 500 = 0.125.
auto upstream_on(double flow) {
    return [flow](RampSegment& s) {
        s.adjacent_upstream = AdjacentRamp::OnRamp;
        s.upstream_distance = 2000.0;
        s.upstream_ramp_flow = flow;
    };
}
const double PFD_ISOLATED = 0.760 - 0.000025 * 4000 - 0.000046 * 500;  // 0.637

INSTANTIATE_TEST_SUITE_P(
    Diverge, PfBranch,
    ::testing::Values(
        PfCase{"isolated three-lane", diverge(), PFD_ISOLATED},
        PfCase{"one-lane ramp, two lanes", diverge(set_lanes(2)), 1.0},
        PfCase{"one-lane ramp, four lanes", diverge(set_lanes(4)), 0.436},
        PfCase{"one-lane ramp, six lanes", diverge(set_lanes(6)), 0.436},
        PfCase{"two-lane ramp, two lanes", two_lane_ramp(2, RampType::OffRamp), 1.0},
        PfCase{"two-lane ramp, three lanes", two_lane_ramp(3, RampType::OffRamp), 0.450},
        PfCase{"two-lane ramp, four lanes", two_lane_ramp(4, RampType::OffRamp), 0.260},
        PfCase{"upstream on-ramp within reach", diverge(upstream_on(300.0)),
               0.717 - 0.000039 * 4000 + 0.604 * 300.0 / 2000.0},
        PfCase{"upstream on-ramp with v_U / L_up above 0.2", diverge(upstream_on(500.0)), PFD_ISOLATED},
        PfCase{"upstream on-ramp beyond v_U / q", diverge(upstream_on(240.0)), PFD_ISOLATED},
        PfCase{"downstream off-ramp within v_D / q", diverge(downstream_off(500.0)),
               0.616 - 0.000021 * 4000 + 0.124 * 600.0 / 500.0},
        PfCase{"downstream off-ramp beyond v_D / q", diverge(downstream_off(1000.0)), PFD_ISOLATED},
        PfCase{"downstream test skipped when q is not positive",
               diverge([](RampSegment& s) {
                   downstream_off(10.0)(s);
                   s.ramp_demand = 3000.0;  // q = 1.15 - 0.128 - 1.107 < 0
               }),
               std::clamp(0.760 - 0.000025 * 4000 - 0.000046 * 3000, 0.0, 1.0)},
        PfCase{"major diverge uses the diverge shares", [](RampSegment& s) { s.ramp_type = RampType::MajorDiverge; },
               PFD_ISOLATED},
        PfCase{"major merge uses the merge shares", [](RampSegment& s) { s.ramp_type = RampType::MajorMerge; },
               0.5999}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(RampSegment7, DivergeV12AddsTheRampFlow) {
    RampSegment s = ideal(RampType::OffRamp, 4000.0, 500.0);
    s.determine_demand_flow();
    EXPECT_NEAR(s.estimate_v12(), 500.0 + 3500.0 * PFD_ISOLATED, 1e-9);
    EXPECT_DOUBLE_EQ(*s.vr12, *s.v12);
    EXPECT_NEAR(*s.v_oa, 4000.0 - *s.v12, 1e-9);
}

// ---- Left-side ramps ----------------------------------------------------------------------------

struct LeftCase {
    RampType type;
    std::uint32_t lanes;
    double v_f;
    double factor;
};

class LeftSide : public ::testing::TestWithParam<LeftCase> {};

TEST_P(LeftSide, ScalesV12) {
    const auto& c = GetParam();
    RampSegment right = ideal(c.type, c.v_f, 500.0, c.lanes);
    RampSegment left = right;
    left.ramp_side = RampSide::Left;
    right.determine_demand_flow();
    left.determine_demand_flow();
    EXPECT_NEAR(left.estimate_v12(), right.estimate_v12() * c.factor, 1e-9);
    EXPECT_DOUBLE_EQ(*left.p_f, *right.p_f);
}

INSTANTIATE_TEST_SUITE_P(Sides, LeftSide,
                         ::testing::Values(LeftCase{RampType::OnRamp, 2, 3000.0, 1.0},
                                           LeftCase{RampType::OnRamp, 3, 4000.0, 1.12},
                                           LeftCase{RampType::OnRamp, 4, 2000.0, 1.20},
                                           LeftCase{RampType::OffRamp, 2, 3000.0, 1.0},
                                           LeftCase{RampType::OffRamp, 3, 4000.0, 1.05},
                                           LeftCase{RampType::OffRamp, 4, 4000.0, 1.10},
                                           LeftCase{RampType::OffRamp, 5, 3000.0, 1.10}));

// ---- Outer-lane checks --------------------------------------------------------------------------

struct OuterCase {
    const char* name;
    std::uint32_t lanes;
    double v_f;
    double v_r;
    double expected_v12;
};

class OuterLanes : public ::testing::TestWithParam<OuterCase> {};

TEST_P(OuterLanes, V12AfterCheck) {
    const auto& c = GetParam();
    RampSegment s = ideal(RampType::OnRamp, c.v_f, c.v_r, c.lanes);
    s.determine_demand_flow();
    EXPECT_NEAR(s.estimate_v12(), c.expected_v12, 1e-9) << c.name;
    const double n4 = std::min(c.lanes, 4u);
    EXPECT_NEAR(*s.v_oa, c.lanes >= 3 ? (c.v_f - c.expected_v12) / (n4 - 2) : 0.0, 1e-9) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Checks, OuterLanes,
    ::testing::Values(
        // three lanes, 7000 pc/h: v12 = 4199.3, v_OA = 2800.7 > 2700 -> v_F - 2700
        OuterCase{"three lanes, outer lane above 2700", 3, 7000.0, 500.0, 4300.0},
        OuterCase{"three lanes, within both bounds", 3, 4000.0, 500.0, 4000.0 * 0.5999},
        // four lanes, v12 = 621.2, v_OA = 1689.4 > 1.5 x 621.2 / 2 -> v_F / 2.5
        OuterCase{"four lanes, outer share too high", 4, 4000.0, 500.0, 1600.0},
        // four lanes, P_FM clamped to 0: v_OA = 3500 > 2700 and above the share bound
        OuterCase{"four lanes, both bounds: the larger wins", 4, 7000.0, 5000.0, 7000.0 / 2.5},
        OuterCase{"four lanes, both bounds, v_F - 5400 larger", 4, 11000.0, 5000.0, 11000.0 - 5400.0},
        OuterCase{"two lanes: no check", 2, 4000.0, 500.0, 4000.0}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

// ---- Five-lane reduction ------------------------------------------------------------------------

struct FiveLaneCase {
    RampType type;
    std::uint32_t lanes;
    double v_f;
    double expected;
};

class FiveLane : public ::testing::TestWithParam<FiveLaneCase> {};

TEST_P(FiveLane, FreewayFlowSeenAsFourLanes) {
    const auto& c = GetParam();
    RampSegment s = ideal(c.type, c.v_f, 500.0, c.lanes);
    auto flows = s.determine_demand_flow();
    EXPECT_NEAR(flows.flow_freeway, c.expected, 1e-9);
    EXPECT_DOUBLE_EQ(flows.flow_ramp, 500.0);
}

INSTANTIATE_TEST_SUITE_P(
    Reduction, FiveLane,
    ::testing::Values(FiveLaneCase{RampType::OnRamp, 5, 8000.0, 8000.0 - 0.285 * 8000.0},
                      FiveLaneCase{RampType::OnRamp, 5, 8500.0, 6000.0},
                      FiveLaneCase{RampType::OnRamp, 6, 7000.0, 7000.0 - 0.27 * 7000.0},
                      FiveLaneCase{RampType::OnRamp, 5, 6000.0, 6000.0 - 0.24 * 6000.0},
                      FiveLaneCase{RampType::MajorMerge, 5, 5000.0, 5000.0 - 0.22 * 5000.0},
                      FiveLaneCase{RampType::OnRamp, 4, 8000.0, 8000.0},
                      FiveLaneCase{RampType::OffRamp, 5, 7000.0, 7000.0 - 0.20 * 7000.0},
                      FiveLaneCase{RampType::OffRamp, 5, 5500.0, 5500.0 - 0.15 * 5500.0},
                      FiveLaneCase{RampType::MajorDiverge, 5, 4000.0, 4000.0 - 0.10 * 4000.0},
                      FiveLaneCase{RampType::OffRamp, 5, 3999.0, 3999.0}));

TEST(RampSegment7, HeavyVehiclesAndRampShareByTerrain) {
    RampSegment s;
    s.phf = 1.0;
    s.heavy_vehicle_pct = 0.10;
    s.ramp_heavy_vehicle_pct = 0.20;
    s.terrain = Terrain::Mountainous;  // E_T - 1 = 4
    auto flows = s.determine_demand_flow();
    EXPECT_NEAR(flows.flow_freeway, 4000.0 * 1.4, 1e-9);
    EXPECT_NEAR(flows.flow_ramp, 500.0 * 1.8, 1e-9);
    s.terrain = Terrain::Rolling;
    s.ramp_heavy_vehicle_pct.reset();  // the freeway share applies
    flows = s.determine_demand_flow();
    EXPECT_NEAR(flows.flow_ramp, 500.0 * 1.2, 1e-9);
}

// ---- Capacities ---------------------------------------------------------------------------------

TEST(RampCapacity, FreewayPerLaneThresholds) {
    EXPECT_EQ(freeway_capacity_per_lane(75.0), 2400.0);
    EXPECT_EQ(freeway_capacity_per_lane(70.0), 2400.0);
    EXPECT_EQ(freeway_capacity_per_lane(69.9), 2350.0);
    EXPECT_EQ(freeway_capacity_per_lane(65.0), 2350.0);
    EXPECT_EQ(freeway_capacity_per_lane(60.0), 2300.0);
    EXPECT_EQ(freeway_capacity_per_lane(59.9), 2250.0);
}

TEST(RampCapacity, RampRoadwayThresholds) {
    EXPECT_EQ(ramp_capacity_per_lane(50.1), 2200.0);
    EXPECT_EQ(ramp_capacity_per_lane(50.0), 2100.0);
    EXPECT_EQ(ramp_capacity_per_lane(40.0), 2000.0);
    EXPECT_EQ(ramp_capacity_per_lane(30.0), 1900.0);
    EXPECT_EQ(ramp_capacity_per_lane(20.0), 1900.0);
    EXPECT_EQ(ramp_capacity_per_lane(19.9), 1800.0);
}

TEST(RampCapacity, StepWithAdjustmentAndTwoLaneRamp) {
    RampSegment s = ideal(RampType::OnRamp, 6000.0, 1500.0);
    s.ramp_lanes = RampLanes::Two;
    s.freeway_ffs = 65.0;
    s.ramp_ffs = 45.0;
    s.caf = 0.9;
    s.run_analysis();
    EXPECT_NEAR(*s.capacity_freeway, 2350.0 * 3 * 0.9, 1e-9);
    EXPECT_NEAR(*s.capacity_ramp, 0.9 * 2100.0 * 2, 1e-9);
    EXPECT_NEAR(*s.vc_ratio, 7500.0 / (2350.0 * 3 * 0.9), 1e-12);
    EXPECT_TRUE(*s.demand_exceeds_capacity);  // 7500 > 6345
    EXPECT_EQ(s.los, LevelOfService::F);
}

// On five or more lanes v_F is reduced to four lanes for v12, but c_F is the capacity of all N
// lanes and is checked against the whole freeway flow.
struct AllLanesCase {
    RampType type;
    std::uint32_t lanes;
    double v_f;
    double v_r;
    double capacity;
    bool exceeds;
};

class AllLanesCapacity : public ::testing::TestWithParam<AllLanesCase> {};

TEST_P(AllLanesCapacity, WholeFreewayFlowAgainstAllLanes) {
    const auto& c = GetParam();
    RampSegment s = ideal(c.type, c.v_f, c.v_r, c.lanes);
    const auto los = s.run_analysis();
    const double v = is_merge(c.type) ? c.v_f + c.v_r : c.v_f;
    EXPECT_DOUBLE_EQ(*s.capacity_freeway, c.capacity);
    EXPECT_NEAR(*s.vc_ratio, v / c.capacity, 1e-12);
    EXPECT_EQ(*s.demand_exceeds_capacity, c.exceeds);
    if (c.exceeds) {
        EXPECT_EQ(los, LevelOfService::F);
    }
    EXPECT_NEAR(*s.segment_density, v / c.lanes / *s.speed_avg, 1e-9);

    // The lane distribution still sees the four-lane flow: v12 as on four lanes carrying it.
    EXPECT_DOUBLE_EQ(*s.flow_freeway_all_lanes, c.v_f);
    RampSegment four = ideal(c.type, *s.flow_freeway, c.v_r, 4);
    four.run_analysis();
    EXPECT_LT(*s.flow_freeway, c.v_f);
    EXPECT_DOUBLE_EQ(*s.v12, *four.v12);
    EXPECT_DOUBLE_EQ(*s.p_f, *four.p_f);
}

INSTANTIATE_TEST_SUITE_P(
    FiveOrMoreLanes, AllLanesCapacity,
    ::testing::Values(
        // v/c 11500 / 12000 = 0.958 (the four-lane 7500 + 1500 would give 0.75)
        AllLanesCase{RampType::OnRamp, 5, 10000.0, 1500.0, 12000.0, false},
        // 12500 > 12000: over capacity (the four-lane 8500 + 1500 would hide it)
        AllLanesCase{RampType::OnRamp, 5, 11000.0, 1500.0, 12000.0, true},
        // 12500 > 12000 (the four-lane 10000 would hide it)
        AllLanesCase{RampType::OffRamp, 5, 12500.0, 1000.0, 12000.0, true},
        AllLanesCase{RampType::OffRamp, 6, 9000.0, 1000.0, 14400.0, false}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(RampCapacity, StepsOnStoredFlowsOfAllLanes) {
    RampSegment s = ideal(RampType::OnRamp, 10000.0, 1500.0, 5);
    s.determine_capacity();  // before the demand step: no flows, counted 0
    EXPECT_EQ(*s.vc_ratio, 0.0);
    s.determine_demand_flow();
    EXPECT_DOUBLE_EQ(*s.flow_freeway, 7500.0);
    s.determine_capacity();
    EXPECT_NEAR(*s.vc_ratio, 11500.0 / 12000.0, 1e-12);
    s.clear_results();
    EXPECT_FALSE(s.flow_freeway_all_lanes.has_value());
}

TEST(RampCapacity, RampDemandAloneExceedsCapacity) {
    RampSegment s = ideal(RampType::OnRamp, 1000.0, 2001.0);
    s.determine_demand_flow();
    s.determine_capacity();
    EXPECT_TRUE(*s.demand_exceeds_capacity);
    EXPECT_EQ(s.determine_los(), LevelOfService::F);
}

TEST(RampCapacity, NoLanesGivesInfiniteRatio) {
    RampSegment s = ideal(RampType::OffRamp, 1.0, 0.0, 0);
    s.determine_demand_flow();
    EXPECT_EQ(s.determine_capacity(), 0.0);
    EXPECT_EQ(*s.vc_ratio, kInf);
    EXPECT_TRUE(*s.demand_exceeds_capacity);
}

struct DesirableCase {
    RampType type;
    double v12;
    double v_r;
    bool expected;
};

class MaxDesirable : public ::testing::TestWithParam<DesirableCase> {};

TEST_P(MaxDesirable, FlagsOnlyAboveTheLimit) {
    const auto& c = GetParam();
    RampSegment s = ideal(c.type, 0.0, 0.0);
    s.flow_ramp = c.v_r;
    s.v12 = c.v12;
    s.vr12 = is_merge(c.type) ? c.v_r + c.v12 : c.v12;
    s.determine_capacity();
    EXPECT_EQ(*s.exceeds_max_desirable, c.expected);
    EXPECT_FALSE(*s.demand_exceeds_capacity);
}

INSTANTIATE_TEST_SUITE_P(Limits, MaxDesirable,
                         ::testing::Values(DesirableCase{RampType::OnRamp, 4100.0, 500.0, false},
                                           DesirableCase{RampType::OnRamp, 4100.5, 500.0, true},
                                           DesirableCase{RampType::OffRamp, 4400.0, 500.0, false},
                                           DesirableCase{RampType::OffRamp, 4400.5, 500.0, true}));

// ---- Density and LOS ----------------------------------------------------------------------------

TEST(RampDensity7, OffRampAndEffectiveLengths) {
    RampSegment s = ideal(RampType::OffRamp, 4000.0, 500.0);
    s.determine_demand_flow();
    double v12 = s.estimate_v12();
    EXPECT_NEAR(s.determine_density(), 4.252 + 0.0086 * v12 - 0.009 * 400.0, 1e-9);
    // A second deceleration lane counts only on a two-lane ramp: min(2 x 400 + 300, 1500).
    s.decel_lane_length2 = 300.0;
    EXPECT_NEAR(s.determine_density(), 4.252 + 0.0086 * v12 - 0.009 * 400.0, 1e-9);
    s.ramp_lanes = RampLanes::Two;
    EXPECT_NEAR(s.determine_density(), 4.252 + 0.0086 * v12 - 0.009 * 1100.0, 1e-9);
    s.decel_lane_length2 = 800.0;
    EXPECT_NEAR(s.determine_density(), 4.252 + 0.0086 * v12 - 0.009 * 1500.0, 1e-9);
    s.decel_lane_length.reset();  // absent counts 400
    s.decel_lane_length2.reset();
    EXPECT_NEAR(s.determine_density(), 4.252 + 0.0086 * v12 - 0.009 * 400.0, 1e-9);
}

TEST(RampDensity7, OnRampWithSecondAccelerationLane) {
    RampSegment s = ideal(RampType::OnRamp, 3000.0, 1000.0);
    s.ramp_lanes = RampLanes::Two;
    s.accel_lane_length2 = 200.0;
    s.determine_demand_flow();
    double v12 = s.estimate_v12();
    EXPECT_NEAR(s.determine_density(), 5.475 + 0.00734 * 1000.0 + 0.0078 * v12 - 0.00627 * 1500.0, 1e-9);
    s.accel_lane_length = 500.0;
    EXPECT_NEAR(s.determine_density(), 5.475 + 0.00734 * 1000.0 + 0.0078 * v12 - 0.00627 * 1200.0, 1e-9);
}

TEST(RampDensity7, LightFlowsBesideLongLanesStopAtZero) {
    // 5.475 + 0.00734 x 50 + 0.0078 v12 - 0.00627 x 1500 is below zero at these flows.
    RampSegment merge = ideal(RampType::OnRamp, 200.0, 50.0);
    merge.accel_lane_length = 1500.0;
    merge.run_analysis();
    EXPECT_EQ(merge.density, 0.0);
    EXPECT_EQ(merge.los, LevelOfService::A);
    RampSegment diverge = ideal(RampType::OffRamp, 0.0, 0.0);
    diverge.decel_lane_length = 1000.0;
    EXPECT_EQ(diverge.run_analysis(), LevelOfService::A);
    EXPECT_EQ(diverge.density, 0.0);
}

TEST(RampDensity7, MajorDivergeAndMajorMerge) {
    RampSegment d = ideal(RampType::MajorDiverge, 6000.0, 2000.0, 4);
    d.run_analysis();
    EXPECT_NEAR(*d.density, 0.0175 * 6000.0 / 4.0, 1e-12);
    EXPECT_EQ(d.los, LevelOfService::C);  // 26.25

    RampSegment m = ideal(RampType::MajorMerge, 4000.0, 2000.0);
    EXPECT_EQ(m.run_analysis(), std::nullopt);
    EXPECT_FALSE(m.density.has_value());
    EXPECT_FALSE(m.los.has_value());
    EXPECT_EQ(m.determine_density(), 0.0);
    EXPECT_TRUE(m.speed_avg.has_value());

    m.freeway_demand = 7000.0;  // 9000 > 7200
    EXPECT_EQ(m.run_analysis(), LevelOfService::F);
    EXPECT_FALSE(m.density.has_value());
}

// A major diverge spreads the whole approaching flow over all N lanes: on five or more lanes the
// four-lane v_F of the lane distribution would understate the density (8000 pc/h on five lanes is
// 1600 pc/h/ln, as 6400 pc/h on four).
class MajorDivergeAllLanes : public ::testing::TestWithParam<std::pair<std::uint32_t, double>> {};

TEST_P(MajorDivergeAllLanes, DensityOfTheWholeFreewayFlow) {
    const auto [lanes, v_f] = GetParam();
    RampSegment s = ideal(RampType::MajorDiverge, v_f, 1000.0, lanes);
    s.run_analysis();
    EXPECT_NEAR(*s.density, 0.0175 * v_f / lanes, 1e-9);

    RampSegment steps = ideal(RampType::MajorDiverge, v_f, 1000.0, lanes);
    steps.determine_demand_flow();
    EXPECT_NEAR(steps.determine_density(), 0.0175 * v_f / lanes, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(FiveOrMoreLanes, MajorDivergeAllLanes,
                         ::testing::Values(std::pair{4u, 6400.0}, std::pair{5u, 8000.0}, std::pair{5u, 6000.0},
                                           std::pair{6u, 9000.0}));

struct Los7Case {
    double density;
    LevelOfService expected;
};

class Los7 : public ::testing::TestWithParam<Los7Case> {};

TEST_P(Los7, BoundsInclusiveNoFByDensity) {
    RampSegment s;
    s.density = GetParam().density;
    s.demand_exceeds_capacity = false;
    EXPECT_EQ(s.determine_los(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Bounds, Los7,
                         ::testing::Values(Los7Case{10.0, LevelOfService::A}, Los7Case{10.0001, LevelOfService::B},
                                           Los7Case{20.0, LevelOfService::B}, Los7Case{28.0, LevelOfService::C},
                                           Los7Case{35.0, LevelOfService::D}, Los7Case{35.0001, LevelOfService::E},
                                           Los7Case{40.0, LevelOfService::E}, Los7Case{400.0, LevelOfService::E}));

// ---- Speeds -------------------------------------------------------------------------------------

TEST(RampSpeed7, TwoLaneFreewayHasNoOuterSpeed) {
    RampSegment s = ideal(RampType::OnRamp, 2000.0, 500.0, 2);
    s.run_analysis();
    EXPECT_FALSE(s.speed_outer.has_value());
    EXPECT_DOUBLE_EQ(*s.speed_avg, *s.speed_ramp);
    EXPECT_NEAR(*s.segment_density, 2500.0 / 2.0 / *s.speed_avg, 1e-9);
}

TEST(RampSpeed7, DivergeSpeedsWithSpeedAdjustment) {
    RampSegment s = ideal(RampType::OffRamp, 4000.0, 500.0);
    s.saf = 0.9;
    s.run_analysis();
    const double ffs = 63.0, s_fr = 31.5;
    const double d_s = 0.883 + 0.00009 * 500.0 - 0.013 * s_fr;
    const double s_r = ffs - (ffs - 42.0) * d_s;
    const double v12 = *s.v12, v_oa = 4000.0 - v12;
    const double s_o = 1.097 * ffs - 0.0039 * (v_oa - 1000.0);
    auto speeds = s.estimate_speed();
    EXPECT_NEAR(speeds.speed_ramp, s_r, 1e-9);
    EXPECT_NEAR(*speeds.speed_outer, s_o, 1e-9);
    EXPECT_NEAR(speeds.speed_avg, std::min((v12 + v_oa) / (v12 / s_r + v_oa / s_o), ffs), 1e-9);
}

struct OuterSpeedCase {
    RampType type;
    double v_oa;
    double expected;  // at FFS 70
};

class OuterSpeed : public ::testing::TestWithParam<OuterSpeedCase> {};

TEST_P(OuterSpeed, PiecewiseInOuterLaneFlow) {
    RampSegment s;
    s.ramp_type = GetParam().type;
    s.vr12 = 2000.0;
    s.v_oa = GetParam().v_oa;
    EXPECT_NEAR(*s.estimate_speed().speed_outer, GetParam().expected, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    Pieces, OuterSpeed,
    ::testing::Values(OuterSpeedCase{RampType::OnRamp, 499.0, 70.0}, OuterSpeedCase{RampType::OnRamp, 500.0, 70.0},
                      OuterSpeedCase{RampType::OnRamp, 2300.0, 70.0 - 0.0036 * 1800.0},
                      OuterSpeedCase{RampType::OnRamp, 2400.0, 70.0 - 6.53 - 0.6},
                      OuterSpeedCase{RampType::OffRamp, 999.0, 1.097 * 70.0},
                      OuterSpeedCase{RampType::OffRamp, 1500.0, 1.097 * 70.0 - 0.0039 * 500.0}));

TEST(RampSpeed7, MergeRampSpeedCappedAtFreeFlow) {
    RampSegment s;
    s.vr12 = 0.0;
    s.ramp_ffs = 60.0;
    s.accel_lane_length = 5000.0;  // M_S = 0.3249 - 0.6 < 0 would put S_R above FFS
    EXPECT_DOUBLE_EQ(s.estimate_speed().speed_ramp, 70.0);
}

// ---- Steps: order, edition refusal --------------------------------------------------------------

TEST(RampSteps, EarlierResultsAbsentCountAsZero) {
    RampSegment s;
    EXPECT_NEAR(s.estimate_v12(), 0.0, 1e-12);  // v_F = v_R = 0
    EXPECT_NEAR(*s.p_f, 0.5999, 1e-12);
    EXPECT_EQ(s.determine_capacity(), 7200.0);
    EXPECT_FALSE(*s.demand_exceeds_capacity);
    EXPECT_NEAR(s.determine_density(), 5.475 - 0.00627 * 800.0, 1e-12);
}

struct StepCall {
    const char* name;
    std::function<void(RampSegment&)> call;
};

class RefusedIn71 : public ::testing::TestWithParam<StepCall> {};

TEST_P(RefusedIn71, NamesItselfAndChangesNothing) {
    RampSegment s;
    s.version = HcmVersion::Hcm7_1;
    s.run_analysis();
    const RampSegment before = s;
    const std::string name = GetParam().name;
    EXPECT_EQ(error_of([&] { GetParam().call(s); }),
              name + "() implements the 7th Edition step structure, but this segment is version \"7.1\". Use "
                     "run_analysis() or analysis_v7_1() instead.")
        << name << " ran on a 7.1 segment";
    EXPECT_EQ(s.p_f, before.p_f);
    EXPECT_EQ(s.flow_freeway, before.flow_freeway);
    EXPECT_EQ(s.density, before.density);
    EXPECT_EQ(s.los, before.los);
    EXPECT_EQ(s.speed_avg, before.speed_avg);
    EXPECT_EQ(s.capacity_freeway, before.capacity_freeway);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, RefusedIn71,
    ::testing::Values(StepCall{"determine_demand_flow", [](RampSegment& s) { s.determine_demand_flow(); }},
                      StepCall{"estimate_v12", [](RampSegment& s) { s.estimate_v12(); }},
                      StepCall{"determine_capacity", [](RampSegment& s) { s.determine_capacity(); }},
                      StepCall{"determine_density", [](RampSegment& s) { s.determine_density(); }},
                      StepCall{"determine_los", [](RampSegment& s) { s.determine_los(); }},
                      StepCall{"estimate_speed", [](RampSegment& s) { s.estimate_speed(); }}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Edition 7.1 --------------------------------------------------------------------------------

TEST(RampSegment71, DefaultsThroughEquivalentBasicSegment) {
    RampSegment s;
    s.version = HcmVersion::Hcm7_1;
    EXPECT_EQ(s.run_analysis(), LevelOfService::D);
    const auto& r = *s.analysis_v7_1;
    const double v_f = 4000.0 * 1.05 / 0.94, v_r = 500.0 * 1.05 / 0.94;
    EXPECT_NEAR(r.flow_freeway, v_f, 1e-9);
    EXPECT_NEAR(r.flow_ramp, v_r, 1e-9);
    EXPECT_NEAR(r.flow_influence, v_f + v_r, 1e-9);
    EXPECT_NEAR(r.flow_per_lane, 1675.5319148936169, 1e-9);
    EXPECT_DOUBLE_EQ(r.ffs_adj, 70.0);
    EXPECT_DOUBLE_EQ(r.capacity_basic_adj, 2400.0);
    EXPECT_DOUBLE_EQ(r.breakpoint_adj, 1200.0);
    EXPECT_NEAR(r.speed_basic, 67.38274766108344, 1e-9);
    EXPECT_NEAR(r.speed_impedance, 3.3483901086464463, 1e-9);
    EXPECT_NEAR(*r.speed_avg, 64.034357552437, 1e-9);
    EXPECT_NEAR(*r.capacity_per_lane, 2023.444257563586, 1e-6);
    EXPECT_NEAR(*r.dc_ratio, 1675.5319148936169 / 2023.444257563586, 1e-9);
    EXPECT_DOUBLE_EQ(r.capacity_neighboring_freeway, 7200.0);
    EXPECT_DOUBLE_EQ(r.capacity_ramp_roadway, 2000.0);
    EXPECT_FALSE(r.demand_exceeds_capacity);
    EXPECT_NEAR(r.density, 26.166139224892557, 1e-9);
    EXPECT_EQ(r.los, LevelOfService::D);
    // Results shared with edition 7, and those 7.1 does not write.
    EXPECT_EQ(s.density, r.density);
    EXPECT_EQ(s.speed_avg, r.speed_avg);
    EXPECT_EQ(s.speed_ramp, r.speed_avg);
    EXPECT_EQ(s.vc_ratio, r.dc_ratio);
    EXPECT_FALSE(s.p_f || s.v12 || s.vr12 || s.speed_outer || s.exceeds_max_desirable || s.segment_density);
}

// The capacity per lane is the flow at which the 7.1 curve reaches 35 pc/mi/ln: running the
// segment at that flow per lane (same ramp flow, so the same impedance) gives density 35.
class CapacityRoot : public ::testing::TestWithParam<std::pair<RampType, double>> {};

TEST_P(CapacityRoot, DensityThirtyFiveAtTheRoot) {
    RampSegment s = ideal(GetParam().first, 4000.0, GetParam().second);
    s.version = HcmVersion::Hcm7_1;
    s.freeway_ffs = 65.0;
    s.saf = 0.95;
    s.caf = 0.93;
    s.run_analysis();
    const double x = *s.analysis_v7_1->capacity_per_lane;
    s.freeway_demand = 3.0 * x - (is_merge(s.ramp_type) ? s.ramp_demand : 0.0);
    s.run_analysis();
    EXPECT_NEAR(s.analysis_v7_1->flow_per_lane, x, 1e-9);
    EXPECT_NEAR(*s.density, 35.0, 1e-9);
    EXPECT_NEAR(*s.vc_ratio, 1.0, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(Types, CapacityRoot,
                         ::testing::Values(std::pair{RampType::OnRamp, 600.0}, std::pair{RampType::OffRamp, 900.0},
                                           std::pair{RampType::MajorMerge, 0.0}));

TEST(RampSegment71, ImpedanceCoefficients) {
    RampSegment m = ideal(RampType::OnRamp, 3000.0, 600.0);
    m.version = HcmVersion::Hcm7_1;
    m.accel_lane_length = 1200.0;
    m.accel_lane_length2 = 900.0;  // ignored in 7.1
    m.run_analysis();
    const double k_m = 0.00408 * 600.0 / 1200.0;
    EXPECT_NEAR(m.analysis_v7_1->speed_impedance, k_m * (1200.0 - 500.0), 1e-12);

    RampSegment d = ideal(RampType::OffRamp, 4500.0, 600.0);
    d.version = HcmVersion::Hcm7_1;
    d.decel_lane_length = 300.0;
    d.run_analysis();
    const double k_d = 0.00014 * 600.0 / std::pow(300.0, 0.536);
    EXPECT_NEAR(d.analysis_v7_1->speed_impedance, k_d * (1500.0 - 500.0), 1e-12);

    d.decel_lane_length = 0.0;  // no impedance without a deceleration lane
    d.freeway_demand = 1200.0;  // below 500 pc/h/ln the impedance is 0 anyway
    d.run_analysis();
    EXPECT_EQ(d.analysis_v7_1->speed_impedance, 0.0);
}

TEST(RampSegment71, NoRootWhenBreakpointMeetsCapacity) {
    RampSegment s;
    s.version = HcmVersion::Hcm7_1;
    s.caf = 2.0;  // c_adj = 4800 = BP_adj
    s.run_analysis();
    EXPECT_DOUBLE_EQ(s.analysis_v7_1->capacity_basic_adj, 4800.0);
    EXPECT_DOUBLE_EQ(s.analysis_v7_1->breakpoint_adj, 4800.0);
    EXPECT_FALSE(s.analysis_v7_1->capacity_per_lane.has_value());
    EXPECT_FALSE(s.analysis_v7_1->dc_ratio.has_value());
    EXPECT_FALSE(s.vc_ratio.has_value());
    EXPECT_NEAR(s.analysis_v7_1->capacity_neighboring_freeway, 14400.0, 1e-9);
    EXPECT_DOUBLE_EQ(s.analysis_v7_1->capacity_ramp_roadway, 2000.0);  // no CAF on the ramp in 7.1
}

TEST(RampSegment71, ZeroPhfGivesNoFlowAndLosA) {
    RampSegment s;
    s.version = HcmVersion::Hcm7_1;
    s.phf = 0.0;
    EXPECT_EQ(s.run_analysis(), LevelOfService::A);
    EXPECT_EQ(*s.flow_freeway, 0.0);
    EXPECT_EQ(*s.density, 0.0);
    EXPECT_DOUBLE_EQ(*s.speed_avg, 70.0);
}

TEST(RampSegment71, NoFreewayLanesCountsOneForFlowPerLane) {
    RampSegment s = ideal(RampType::OffRamp, 1000.0, 100.0, 0);
    s.version = HcmVersion::Hcm7_1;
    EXPECT_EQ(s.run_analysis(), LevelOfService::F);  // v > c_F = 0
    EXPECT_DOUBLE_EQ(s.analysis_v7_1->flow_per_lane, 1000.0);
    EXPECT_TRUE(s.analysis_v7_1->demand_exceeds_capacity);
}

TEST(RampSegment71, AboveBasicCapacityHasNoSpeed) {
    RampSegment s = ideal(RampType::OnRamp, 7500.0, 500.0);
    s.version = HcmVersion::Hcm7_1;
    EXPECT_EQ(s.run_analysis(), LevelOfService::F);
    EXPECT_FALSE(s.analysis_v7_1->speed_avg.has_value());
    EXPECT_FALSE(s.speed_avg.has_value());
    EXPECT_EQ(*s.density, kInf);
    EXPECT_TRUE(s.analysis_v7_1->demand_exceeds_capacity);
}

struct Los71Case {
    double v_f;  // off-ramp, 3 lanes, v_R 0: no impedance, density = v/N / FFS at low flows
    LevelOfService expected;
};

class Los71 : public ::testing::TestWithParam<Los71Case> {};

TEST_P(Los71, ThresholdsOfTheEquivalentSegment) {
    RampSegment s = ideal(RampType::OffRamp, GetParam().v_f, 0.0);
    s.version = HcmVersion::Hcm7_1;
    s.freeway_ffs = 50.0;  // BP 2000 pc/h/ln: speed stays 50 through LOS D
    EXPECT_EQ(s.run_analysis(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Bounds, Los71,
                         ::testing::Values(Los71Case{3.0 * 50.0 * 11.0, LevelOfService::A},
                                           Los71Case{3.0 * 50.0 * 11.01, LevelOfService::B},
                                           Los71Case{3.0 * 50.0 * 18.0, LevelOfService::B},
                                           Los71Case{3.0 * 50.0 * 25.0, LevelOfService::C},
                                           Los71Case{3.0 * 50.0 * 30.0, LevelOfService::D},
                                           Los71Case{3.0 * 50.0 * 30.01, LevelOfService::E}));

TEST(RampSegment71, RampOverCapacitySetsTheFlag) {
    RampSegment s = ideal(RampType::OnRamp, 1000.0, 2100.0);
    s.version = HcmVersion::Hcm7_1;
    s.ramp_ffs = 50.0;  // c_R 2100: not exceeded
    s.accel_lane_length = 100000.0;
    EXPECT_EQ(s.run_analysis(), LevelOfService::B);  // (3100 / 3) / ~70
    EXPECT_FALSE(*s.demand_exceeds_capacity);
    s.ramp_demand = 2100.5;
    EXPECT_EQ(s.run_analysis(), LevelOfService::F);
    EXPECT_TRUE(*s.demand_exceeds_capacity);
}

// ---- The facility's use: a built record, run in edition 7 ---------------------------------------

TEST(RampSegmentRecord, BuiltRecordGivesSpeedAndDensity) {
    RampSegment s;
    s.ramp_type = RampType::OffRamp;
    s.freeway_lanes = 4;
    s.freeway_ffs = 65.0;
    s.ramp_ffs = 40.0;
    s.decel_lane_length = 500.0;
    s.freeway_demand = 5000.0;
    s.ramp_demand = 800.0;
    s.phf = 0.95;
    s.heavy_vehicle_pct = 0.1;
    s.terrain = Terrain::Rolling;
    s.caf = 0.95;
    s.saf = 0.97;
    s.run_analysis();
    ASSERT_TRUE(s.speed_avg && s.density);
    const double fhv = 1.0 / 1.2;
    const double v_f = 5000.0 / (0.95 * fhv), v_r = 800.0 / (0.95 * fhv);
    const double v12 = v_r + (v_f - v_r) * 0.436;
    EXPECT_NEAR(*s.density, 4.252 + 0.0086 * v12 - 0.009 * 500.0, 1e-9);
    EXPECT_GT(*s.speed_avg, 0.0);
    EXPECT_LE(*s.speed_avg, 1.097 * 65.0 * 0.97);
}

// ---- Ideal service flow rate search -------------------------------------------------------------

TEST(RampServiceFlowRate, Case1ReachesTheTargetDensity) {
    RampSegment seg;
    const RampSegment before = seg;
    auto sfi = ramp_service_flow_rate_ideal(seg, 28.0, 0.1, std::nullopt);
    ASSERT_TRUE(sfi.has_value());
    RampSegment check = ideal(RampType::OnRamp, *sfi, *sfi * 0.1);
    check.run_analysis();
    EXPECT_NEAR(*check.density, 28.0, 1e-6);
    EXPECT_EQ(seg.flow_freeway, before.flow_freeway);  // the segment is not touched
    EXPECT_EQ(seg.phf, before.phf);
}

TEST(RampServiceFlowRate, Case2GivesTheRampFlow) {
    RampSegment seg;
    seg.version = HcmVersion::Hcm7_1;
    auto sfi = ramp_service_flow_rate_ideal(seg, 25.0, std::nullopt, 3000.0);
    ASSERT_TRUE(sfi.has_value());
    RampSegment check = ideal(RampType::OnRamp, 3000.0, *sfi);
    check.version = HcmVersion::Hcm7_1;
    check.run_analysis();
    EXPECT_NEAR(*check.density, 25.0, 1e-6);
}

TEST(RampServiceFlowRate, FixedFreewayFlowAlreadyAboveTargetGivesNone) {
    RampSegment seg;
    EXPECT_EQ(ramp_service_flow_rate_ideal(seg, 20.0, std::nullopt, 6000.0), std::nullopt);
}

TEST(RampServiceFlowRate, DensityNeverComputedGivesNoneNotAHugeFlow) {
    RampSegment seg;
    seg.ramp_type = RampType::MajorMerge;
    EXPECT_EQ(ramp_service_flow_rate_ideal(seg, 28.0, 0.2, std::nullopt), std::nullopt);
    EXPECT_EQ(ramp_service_flow_rate_ideal(seg, 28.0, std::nullopt, 3000.0), std::nullopt);
    // A density left on the segment by an earlier 7.1 run does not stand in for one never computed.
    seg.version = HcmVersion::Hcm7_1;
    seg.run_analysis();
    seg.version = HcmVersion::Hcm7;
    ASSERT_TRUE(seg.density.has_value());
    EXPECT_EQ(ramp_service_flow_rate_ideal(seg, 28.0, 0.2, std::nullopt), std::nullopt);
}

TEST(RampServiceFlowRate, DensityIndependentOfTheSearchedFlow) {
    // A major diverge's density depends on v_F alone: searching the ramp flow (Case 2) can never
    // reach a target above it, nor go below one already exceeded at zero ramp flow.
    RampSegment seg;
    seg.ramp_type = RampType::MajorDiverge;  // D = 0.0175 v_F / N, independent of v_R
    EXPECT_EQ(ramp_service_flow_rate_ideal(seg, 30.0, std::nullopt, 3000.0), std::nullopt);  // D = 17.5
    auto reached = ramp_service_flow_rate_ideal(seg, 17.0, std::nullopt, 3000.0);  // D(0) = 17.5 > 17
    EXPECT_EQ(reached, std::nullopt);
    auto case1 = ramp_service_flow_rate_ideal(seg, 17.5, 0.2, std::nullopt);
    ASSERT_TRUE(case1.has_value());
    EXPECT_NEAR(*case1, 3000.0, 1e-6);
}

class BasisArguments : public ::testing::TestWithParam<std::pair<std::optional<double>, std::optional<double>>> {};

TEST_P(BasisArguments, ExactlyOneBasis) {
    RampSegment seg;
    EXPECT_EQ(error_of([&] { ramp_service_flow_rate_ideal(seg, 28.0, GetParam().first, GetParam().second); }),
              "provide exactly one of ramp_fraction (Case 1) or fixed_freeway_vf (Case 2)");
}

INSTANTIATE_TEST_SUITE_P(Both, BasisArguments,
                         ::testing::Values(std::pair{std::optional<double>{}, std::optional<double>{}},
                                           std::pair{std::optional<double>{0.1}, std::optional<double>{3000.0}}));

TEST(RampServiceVolumes, ScalesByFactorsAndPhf) {
    auto v = ramp_service_volumes(4000.0, 0.95, 0.9, 0.92);
    EXPECT_DOUBLE_EQ(v.service_flow_rate, 4000.0 * 0.95 * 0.9);
    EXPECT_DOUBLE_EQ(v.service_volume, 4000.0 * 0.95 * 0.9 * 0.92);
}

}  // namespace
