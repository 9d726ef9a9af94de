#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "hcm/common/error.hpp"
#include "hcm/twsc/twsc.hpp"
#include "worked_example.hpp"

using namespace hcm::twsc::twsc;

namespace {

constexpr double INF = std::numeric_limits<double>::infinity();

const TwscMovementResult& mv(const Twsc& t, Mv m) { return t.movements[index(m)]; }

using twsc_test::worked_example;

Twsc analysed(Twsc t) {
    analyze(t);
    return t;
}

// ---- the worked example, step by step ----

class TwscWorkedExample : public ::testing::Test {
protected:
    Twsc t = analysed(worked_example());
};

TEST_F(TwscWorkedExample, FlowRatesAreTheDemandsWithoutAPeakHourFactor) {
    for (std::size_t i = 0; i < MOVEMENT_COUNT; ++i) EXPECT_EQ(t.movements[i].flow_rate, t.demand.*VEHICLE_DEMAND[i]);
}

TEST_F(TwscWorkedExample, ConflictingFlows) {
    EXPECT_EQ(*mv(t, Mv::M1).conflicting_flow, 920.0);
    EXPECT_EQ(*mv(t, Mv::M4).conflicting_flow, 1000.0);
    EXPECT_EQ(*mv(t, Mv::M9).conflicting_flow, 500.0);
    EXPECT_EQ(*mv(t, Mv::M12).conflicting_flow, 460.0);
    const std::vector<std::tuple<Mv, double, double>> stages = {
        {Mv::M7, 1150, 575}, {Mv::M8, 1150, 1080}, {Mv::M10, 1020, 670}, {Mv::M11, 1020, 1200}};
    for (auto [m, s1, s2] : stages) {
        EXPECT_EQ(*mv(t, m).conflicting_flow_stage1, s1);
        EXPECT_EQ(*mv(t, m).conflicting_flow_stage2, s2);
        EXPECT_EQ(*mv(t, m).conflicting_flow, s1 + s2);
    }
    for (Mv m : {Mv::M2, Mv::M3, Mv::M5, Mv::M6}) EXPECT_FALSE(mv(t, m).conflicting_flow);
}

TEST_F(TwscWorkedExample, HeadwaysOfTwoLanesWithoutHeavyVehicles) {
    const std::vector<std::tuple<Mv, double, double>> expected = {
        {Mv::M1, 4.1, 2.2}, {Mv::M1U, 6.4, 2.5}, {Mv::M7, 7.5, 3.5}, {Mv::M8, 6.5, 4.0}, {Mv::M9, 6.9, 3.3}};
    for (auto [m, t_c, t_f] : expected) {
        EXPECT_DOUBLE_EQ(*mv(t, m).critical_headway, t_c);
        EXPECT_DOUBLE_EQ(*mv(t, m).followup_headway, t_f);
        EXPECT_FALSE(mv(t, m).critical_headway_stage1);  // one stage without median storage
    }
}

TEST_F(TwscWorkedExample, PotentialAndMovementCapacities) {
    const std::vector<std::tuple<Mv, double, double>> expected = {
        {Mv::M1, 750.27, 750.27}, {Mv::M4, 700.21, 700.21}, {Mv::M9, 521.58, 521.58}, {Mv::M12, 553.65, 553.65},
        {Mv::M7, 58.33, 5.69},    {Mv::M8, 43.42, 33.34},   {Mv::M10, 61.96, 0.0},    {Mv::M11, 44.06, 33.83}};
    for (auto [m, c_p, c_m] : expected) {
        EXPECT_NEAR(*mv(t, m).potential_capacity, c_p, 0.005) << MOVEMENT_LABELS[index(m)];
        EXPECT_NEAR(*mv(t, m).movement_capacity, c_m, 0.005) << MOVEMENT_LABELS[index(m)];
    }
    EXPECT_EQ(*mv(t, Mv::M10).movement_capacity, 0.0);  // v_8 above c_m,8 makes P0(8) = 0
}

TEST_F(TwscWorkedExample, MajorLeftTurnDelayLosAndQueue) {
    EXPECT_NEAR(*mv(t, Mv::M1).control_delay, 10.53, 0.005);
    EXPECT_EQ(*mv(t, Mv::M1).los, "B");
    EXPECT_NEAR(*mv(t, Mv::M1).queue_95, 0.4588, 1e-4);
    EXPECT_NEAR(*mv(t, Mv::M4).control_delay, 10.80, 0.005);
    EXPECT_EQ(*mv(t, Mv::M4).los, "B");
    EXPECT_FALSE(t.rank1_major_delay);  // both left turns exclusive
    for (Mv m : {Mv::M7, Mv::M10, Mv::M12}) EXPECT_FALSE(mv(t, m).control_delay);
}

TEST_F(TwscWorkedExample, SharedMinorLanesApproachAndIntersectionDelays) {
    ASSERT_EQ(t.lanes_nb.size(), 1u);
    const TwscLaneResult& nb = t.lanes_nb[0];
    EXPECT_EQ(nb.movements, (std::vector<Mv>{Mv::M7, Mv::M8, Mv::M9}));
    EXPECT_EQ(nb.flow_rate, 170.0);
    EXPECT_NEAR(nb.capacity, 14.3087, 1e-4);  // 170 / (60/5.69 + 40/33.34 + 70/521.58)
    EXPECT_NEAR(nb.control_delay, 5413.81, 0.01);
    EXPECT_EQ(nb.los, "F");
    EXPECT_NEAR(nb.queue_95, 22.318, 1e-3);
    // The SB lane holds movement 10 with demand and no capacity: never served.
    ASSERT_EQ(t.lanes_sb.size(), 1u);
    EXPECT_EQ(t.lanes_sb[0].capacity, 0.0);
    EXPECT_EQ(t.lanes_sb[0].los, "F");
    EXPECT_EQ(t.lanes_sb[0].control_delay, INF);
    EXPECT_EQ(t.lanes_sb[0].queue_95, INF);
    const std::array<double, 4>& d = *t.approach_delays;
    EXPECT_NEAR(d[0], 10.5348 * 100 / 1100, 1e-4);  // EB: the left turn's delay over the approach flow
    EXPECT_NEAR(d[1], 10.8033 * 80 / 1000, 1e-4);
    EXPECT_EQ(d[2], nb.control_delay);
    EXPECT_EQ(d[3], INF);
    EXPECT_EQ(*t.intersection_delay, INF);
}

TEST(TwscWorkedExampleVariants, TwoStageNorthboundCrossing) {
    Twsc t = worked_example();
    t.geometry.median_storage_nb = 2;
    analyze(t);
    EXPECT_DOUBLE_EQ(*mv(t, Mv::M7).critical_headway_stage1, 6.5);
    EXPECT_DOUBLE_EQ(*mv(t, Mv::M8).critical_headway_stage2, 5.5);
    EXPECT_NEAR(*mv(t, Mv::M8).movement_capacity, 130.45, 0.005);
    EXPECT_NEAR(*mv(t, Mv::M8).movement_capacity_stage1, 238.45, 0.005);
    EXPECT_NEAR(*mv(t, Mv::M8).movement_capacity_stage2, 262.90, 0.005);
    EXPECT_NEAR(*mv(t, Mv::M7).movement_capacity, 140.23, 0.005);
    EXPECT_NEAR(*mv(t, Mv::M7).movement_capacity_stage1, 185.67, 0.005);
    EXPECT_NEAR(*mv(t, Mv::M7).movement_capacity_stage2, 375.49, 0.005);
    EXPECT_NEAR(*mv(t, Mv::M10).movement_capacity, 30.75, 0.005);
    EXPECT_FALSE(mv(t, Mv::M10).movement_capacity_stage1);  // SB stays one-stage
    EXPECT_TRUE(std::isfinite(*t.intersection_delay));
}

TEST(TwscWorkedExampleVariants, SharedEastboundLeftTurnDelaysTheThroughTraffic) {
    Twsc t = worked_example();
    t.geometry.major_left_eb = {MajorLeftLane::Shared, 0};
    analyze(t);
    ASSERT_TRUE(t.rank1_major_delay);
    EXPECT_NEAR((*t.rank1_major_delay)[0], 1.63, 0.005);
    EXPECT_EQ((*t.rank1_major_delay)[1], 0.0);
    // The through and right traffic carry it into the EB approach delay.
    const double eb = (10.5348 * 100 + (*t.rank1_major_delay)[0] * 1000) / 1100;
    EXPECT_NEAR((*t.approach_delays)[0], eb, 1e-4);
}

// ---- flows, conflicting flows, overrides ----

TEST(TwscFlowRates, PeakHourFactorDividesVehiclesOnly) {
    for (std::optional<double> phf : {std::optional<double>(0.9), std::optional<double>(), std::optional<double>(0.0),
                                      std::optional<double>(-1.0), std::optional<double>(std::nan(""))}) {
        Twsc t = worked_example();
        t.demand.v1 = 90;
        t.demand.v16 = 100;
        t.phf = phf;
        analyze(t);
        const double f = (phf && *phf > 0) ? *phf : 1.0;
        EXPECT_NEAR(mv(t, Mv::M1).flow_rate, 90 / f, 1e-12);
        EXPECT_NEAR(*mv(t, Mv::M1).conflicting_flow, (800 + 120) / f + 100, 1e-9);  // v_16 as given
    }
}

TEST(TwscConflictingFlows, RightTurnTreatmentAndLaneCount) {
    Twsc t;
    t.geometry.major_lanes_per_direction = 2;
    t.demand = {.v2 = 400, .v3 = 100, .v5 = 600, .v6 = 80};
    analyze(t);
    EXPECT_EQ(*mv(t, Mv::M9).conflicting_flow, 250.0);
    t.geometry.major_right_turn_eb = MajorRightTurnConfig::Exclusive;
    analyze(t);
    EXPECT_EQ(*mv(t, Mv::M9).conflicting_flow, 200.0);

    t.geometry.major_right_turn_wb = MajorRightTurnConfig::Channelized;
    analyze(t);
    EXPECT_EQ(*mv(t, Mv::M1).conflicting_flow, 600.0);
    EXPECT_EQ(*mv(t, Mv::M8).conflicting_flow_stage2, 600.0);
    t.geometry.major_right_turn_wb = MajorRightTurnConfig::Exclusive;  // conflicts, but not from the curb lane
    analyze(t);
    EXPECT_EQ(*mv(t, Mv::M1).conflicting_flow, 680.0);
    EXPECT_EQ(*mv(t, Mv::M1U).conflicting_flow, 600.0);
    EXPECT_EQ(*mv(t, Mv::M10).conflicting_flow_stage1, 600.0);
    EXPECT_EQ(*mv(t, Mv::M11).conflicting_flow_stage1, 600.0);
    EXPECT_EQ(*mv(t, Mv::M12).conflicting_flow, 300.0);

    t.geometry.major_lanes_per_direction = 3;
    analyze(t);
    EXPECT_DOUBLE_EQ(*mv(t, Mv::M1U).conflicting_flow, 0.73 * 600);
    EXPECT_DOUBLE_EQ(*mv(t, Mv::M4U).conflicting_flow, 0.73 * 400);
    EXPECT_DOUBLE_EQ(*mv(t, Mv::M10).conflicting_flow_stage2, 0.4 * 400);
}

struct OverrideCase {
    std::vector<ConflictingFlowOverride> overrides;
    Mv movement;
    double total, stage1, stage2;
};

class TwscOverrides : public ::testing::TestWithParam<OverrideCase> {};

TEST_P(TwscOverrides, ApplyInListOrder) {
    Twsc t = worked_example();  // M7: 1150 + 575; M9: 500
    t.conflicting_flow_overrides = GetParam().overrides;
    analyze(t);
    const TwscMovementResult& r = mv(t, GetParam().movement);
    EXPECT_EQ(*r.conflicting_flow, GetParam().total);
    if (r.conflicting_flow_stage1) {
        EXPECT_EQ(*r.conflicting_flow_stage1, GetParam().stage1);
        EXPECT_EQ(*r.conflicting_flow_stage2, GetParam().stage2);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TwscOverrides,
    ::testing::Values(OverrideCase{{{"7", "stage1", 500}}, Mv::M7, 1075, 500, 575},
                      OverrideCase{{{"7", "total", 800}}, Mv::M7, 800, 1150, 575},
                      OverrideCase{{{"7", "", 800}}, Mv::M7, 1725, 1150, 575},
                      OverrideCase{{{"9", "whatever", 300}}, Mv::M9, 300, 0, 0},
                      OverrideCase{{{"M9", "total", 300}, {"13", "total", 300}}, Mv::M9, 500, 0, 0},
                      OverrideCase{{{"7", "total", 800}, {"7", "total", 900}}, Mv::M7, 900, 1150, 575},
                      OverrideCase{{{"4u", "total", 10}}, Mv::M4U, 10, 0, 0}));

// ---- headways ----

struct HeadwayCase {
    std::uint32_t lanes;
    double hv_pct, grade_nb;
    bool three_leg;
    UTurnMedianWidth median;
    Mv movement;
    double t_c, t_f;
};

class TwscHeadways : public ::testing::TestWithParam<HeadwayCase> {};

TEST_P(TwscHeadways, OneStage) {
    const HeadwayCase& c = GetParam();
    Twsc t;
    t.geometry.major_lanes_per_direction = c.lanes;
    t.heavy_vehicle_pct = c.hv_pct;
    t.geometry.grade_minor_nb_pct = c.grade_nb;
    t.geometry.is_three_leg = c.three_leg;
    t.geometry.uturn_median_width = c.median;
    EXPECT_NEAR(critical_headway(t, c.movement, false, 0), c.t_c, 1e-12);
    EXPECT_NEAR(followup_headway(t, c.movement), c.t_f, 1e-12);
}

constexpr auto W = UTurnMedianWidth::Wide;
INSTANTIATE_TEST_SUITE_P(
    Cases, TwscHeadways,
    ::testing::Values(HeadwayCase{2, 0, 0, false, W, Mv::M7, 7.5, 3.5}, HeadwayCase{1, 10, 0, false, W, Mv::M7, 7.2, 3.59},
                      HeadwayCase{2, 0, 3, false, W, Mv::M7, 8.1, 3.5}, HeadwayCase{2, 0, 3, false, W, Mv::M8, 7.1, 4.0},
                      HeadwayCase{2, 0, 3, false, W, Mv::M9, 7.2, 3.3}, HeadwayCase{2, 0, 3, false, W, Mv::M10, 7.5, 3.5},
                      HeadwayCase{2, 0, 0, true, W, Mv::M7, 6.8, 3.5}, HeadwayCase{2, 0, 0, true, W, Mv::M10, 6.8, 3.5},
                      HeadwayCase{2, 0, 0, true, W, Mv::M8, 6.5, 4.0},
                      HeadwayCase{2, 0, 0, false, UTurnMedianWidth::Narrow, Mv::M1U, 6.9, 3.1},
                      HeadwayCase{2, 0, 0, false, W, Mv::M4U, 6.4, 2.5},
                      HeadwayCase{3, 0, 0, false, UTurnMedianWidth::Narrow, Mv::M1U, 5.6, 2.3},
                      HeadwayCase{3, 0, 0, false, W, Mv::M1, 5.3, 3.1}, HeadwayCase{0, 0, 0, false, W, Mv::M9, 7.1, 3.9},
                      HeadwayCase{5, 0, 0, false, W, Mv::M1U, 6.4, 2.5}, HeadwayCase{2, 5, 0, false, W, Mv::M2, 0.1, 0.05}));

TEST(TwscTwoStageHeadways, OnlyWithMedianStorageOnAFourLegIntersection) {
    Twsc t = worked_example();
    t.geometry.major_lanes_per_direction = 3;
    t.geometry.median_storage_nb = 2;
    analyze(t);
    EXPECT_DOUBLE_EQ(*mv(t, Mv::M7).critical_headway, 6.4);
    EXPECT_DOUBLE_EQ(*mv(t, Mv::M7).critical_headway_stage1, 7.3);
    EXPECT_DOUBLE_EQ(*mv(t, Mv::M7).critical_headway_stage2, 6.7);
    EXPECT_DOUBLE_EQ(*mv(t, Mv::M8).critical_headway_stage1, 5.5);
    EXPECT_FALSE(mv(t, Mv::M10).critical_headway_stage1);
    t.geometry.median_storage_nb = 0;
    analyze(t);
    EXPECT_FALSE(mv(t, Mv::M7).critical_headway_stage1);
    t.geometry.median_storage_nb = 2;
    t.geometry.is_three_leg = true;
    analyze(t);
    EXPECT_FALSE(mv(t, Mv::M8).critical_headway_stage1);
}

// ---- capacities ----

TEST(TwscCapacities, PotentialCapacityAndPlatoons) {
    EXPECT_NEAR(potential_capacity(0.0, 6.9, 3.3), 3600 / 3.3, 1e-9);
    EXPECT_NEAR(potential_capacity(1000.0, 4.1, 2.2), 700.21, 0.005);
    // pb = 0.2 on two lanes: L = 600 veh/h arrive in platoons.
    EXPECT_NEAR(platoon_adjusted_capacity(600.0, 4.1, 2.2, 0.2, 2), 0.8 * 3600 / 2.2, 1e-9);
    EXPECT_NEAR(platoon_adjusted_capacity(1000.0, 4.1, 2.2, 0.2, 2), 0.8 * potential_capacity(500.0, 4.1, 2.2), 1e-9);
    EXPECT_EQ(platoon_adjusted_capacity(1000.0, 4.1, 2.2, 0.0, 2), potential_capacity(1000.0, 4.1, 2.2));
}

TEST(TwscCapacities, GivenBlockageAdjustsEachMovementAndItsStages) {
    Twsc t = worked_example();
    t.platoon_blockage = PlatoonBlockage{.pb1 = 0.2};
    analyze(t);
    EXPECT_NEAR(*mv(t, Mv::M1).potential_capacity, 0.8 * potential_capacity((920 - 600) / 0.8, 4.1, 2.2), 1e-9);
    EXPECT_NEAR(*mv(t, Mv::M4).potential_capacity, 700.21, 0.005);  // pb4 = 0
    t.geometry.median_storage_nb = 1;
    analyze(t);
    // Stage II of the NB crossings takes pb1.
    EXPECT_NEAR(*mv(t, Mv::M8).potential_capacity_stage2, 0.8 * potential_capacity((1080 - 600) / 0.8, 5.5, 4.0), 1e-9);
}

TEST(TwscCapacities, PedestrianImpedance) {
    Twsc t = worked_example();
    t.demand.v16 = 100;  // p_16 = 1 - 100 (12 / 3.5) / 3600
    analyze(t);
    EXPECT_NEAR(*mv(t, Mv::M1).movement_capacity / *mv(t, Mv::M1).potential_capacity, 0.9047619, 1e-7);
    t.demand.v16 = 1100;  // more than 1,050 p/h on a 12 ft lane
    analyze(t);
    EXPECT_EQ(*mv(t, Mv::M1).movement_capacity, 0.0);
}

TEST(TwscCapacities, TwoStageCapacity) {
    const double a = 1 - 0.32 * std::exp(-1.3);  // 0.9128 for m = 1
    // y = 1: c_I - c_m = c_II - v_L - c_m.
    EXPECT_NEAR(two_stage_capacity(300, 400, 100, 1, 50), a / 2 * (300 + 50), 1e-9);
    EXPECT_NEAR(two_stage_capacity(238.45142, 262.90094, 100, 2, 33.33682), 130.45, 0.005);
}

// The two-stage capacity is smooth through y = 1, where y^m - 1 and y^(m+1) - 1 vanish together:
// y = (c_I - c_m) / (c_II - v_L - c_m) = 1 + d with c_I = 600 + 400 d, c_II - v_L = 600, c_m = 200 and
// m = 2, whose slope there is dc/dd = 126.5468 veh/h (worked in 50-digit arithmetic).
TEST(TwscCapacities, TwoStageCapacityIsSmoothWhereTheStagesBalance) {
    const double at_one = two_stage_capacity(600, 700, 100, 2, 200);
    EXPECT_NEAR(at_one, (1 - 0.32 * std::exp(-1.3 * std::sqrt(2.0))) * 1400 / 3, 1e-12);
    for (double d : {2e-9, -2e-9, 1e-8, -1e-7, 1e-6})
        EXPECT_NEAR((two_stage_capacity(600 + 400 * d, 700, 100, 2, 200) - at_one) / d, 126.5468, 0.01) << d;
}

struct P0StarCase {
    MajorLeftLaneConfig config;
    std::uint32_t lanes;
    double v2, v3, p0;
    std::optional<double> expected;
};

class TwscP0Star : public ::testing::TestWithParam<P0StarCase> {};

TEST_P(TwscP0Star, SharedLaneQueueFreeProbability) {
    const P0StarCase& c = GetParam();
    Twsc t;
    t.geometry.major_lanes_per_direction = c.lanes;
    t.geometry.major_left_eb = c.config;
    t.movements[index(Mv::M2)].flow_rate = c.v2;
    t.movements[index(Mv::M3)].flow_rate = c.v3;
    const std::optional<double> got = p0_star_major_left(t, true, c.p0);
    ASSERT_EQ(got.has_value(), c.expected.has_value());
    if (got) {
        EXPECT_NEAR(*got, *c.expected, 1e-4);
    }
}

constexpr MajorLeftLaneConfig SHARED{MajorLeftLane::Shared, 0};
INSTANTIATE_TEST_SUITE_P(
    Cases, TwscP0Star,
    ::testing::Values(P0StarCase{{}, 2, 900, 0, 0.9, std::nullopt}, P0StarCase{SHARED, 2, 900, 0, 0.9, 0.8667},
                      P0StarCase{SHARED, 1, 900, 0, 0.9, 0.8},
                      // a pocket of 2: n = 3, x = 0.5: 1 - 0.1 (1 + 0.125 / 0.5)^(1/3)
                      P0StarCase{{MajorLeftLane::SharedShortPocket, 2}, 1, 900, 0, 0.9, 1 - 0.1 * std::cbrt(1.25)},
                      // saturated through lane (x >= 1): blocked with left-turn demand, free without
                      P0StarCase{SHARED, 1, 1800, 0, 0.9, 0.0}, P0StarCase{SHARED, 1, 2400, 300, 0.9, 0.0},
                      P0StarCase{{MajorLeftLane::SharedShortPocket, 3}, 1, 2400, 300, 0.9, 0.0},
                      P0StarCase{{MajorLeftLane::SharedShortPocket, 3}, 1, 2400, 300, 1.0, 1.0}));

TEST(TwscCapacities, ThreeLegIntersection) {
    Twsc t = worked_example();
    t.geometry.is_three_leg = true;
    t.geometry.median_storage_nb = 2;
    analyze(t);
    for (Mv m : {Mv::M8, Mv::M10, Mv::M11}) EXPECT_FALSE(mv(t, m).movement_capacity);
    // M7 sees only the WB left turn: c_p,7 (t_c 0.7 s lower) x p0,4.
    const double p0_4 = 1 - 80 / *mv(t, Mv::M4).movement_capacity;
    EXPECT_NEAR(*mv(t, Mv::M7).movement_capacity, *mv(t, Mv::M7).potential_capacity * p0_4, 1e-9);
    EXPECT_DOUBLE_EQ(*mv(t, Mv::M7).critical_headway, 6.8);
    EXPECT_TRUE(t.lanes_sb.empty());
    EXPECT_EQ((*t.approach_delays)[3], 0.0);
}

// ---- lanes and delays ----

TEST(TwscDelay, LosBoundsAndOversaturation) {
    // d = 3600/c + 5 at x -> 0; the bounds belong to the better letter.
    EXPECT_EQ(evaluate_delay(0.0, 720.0, 0.25)->los, 'A');  // d = 10
    EXPECT_EQ(evaluate_delay(0.0, 80.0, 0.25)->los, 'E');   // d = 50
    EXPECT_EQ(evaluate_delay(0.0, 720.0, 0.25)->control_delay, 10.0);
    const DelayResult over = *evaluate_delay(101.0, 100.0, 0.25);
    EXPECT_EQ(over.los, 'F');
    EXPECT_FALSE(evaluate_delay(0.0, 0.0, 0.25));
    EXPECT_FALSE(evaluate_delay(0.0, std::nan(""), 0.25));
    for (double c : {0.0, -5.0, std::nan("")}) {
        const DelayResult never = *evaluate_delay(10.0, c, 0.25);
        EXPECT_EQ(never.los, 'F');
        EXPECT_EQ(never.control_delay, INF);
        EXPECT_EQ(never.queue_95, INF);
    }
}

struct LaneCase {
    MinorLaneConfig config;
    std::optional<std::uint32_t> flare;
    double v7, v8, v9;
    std::vector<std::vector<Mv>> lanes;
};

class TwscLanes : public ::testing::TestWithParam<LaneCase> {};

TEST_P(TwscLanes, FormedFromTheActiveMovements) {
    const LaneCase& c = GetParam();
    Twsc t;
    t.geometry.minor_lanes_nb = c.config;
    t.geometry.flare_storage_nb = c.flare;
    for (auto [m, v] : {std::pair{Mv::M7, c.v7}, {Mv::M8, c.v8}, {Mv::M9, c.v9}}) t.movements[index(m)].flow_rate = v;
    t.movements[index(Mv::M9)].movement_capacity = 600.0;
    std::vector<std::vector<Mv>> got;
    for (const TwscLaneResult& l : minor_lanes(t, MinorApproach::NB)) got.push_back(l.movements);
    EXPECT_EQ(got, c.lanes);
}

using L = MinorLaneConfig;
INSTANTIATE_TEST_SUITE_P(
    Cases, TwscLanes,
    ::testing::Values(LaneCase{L::Separate, {}, 50, 0, 20, {{Mv::M7}, {Mv::M9}}},
                      LaneCase{L::Separate, 3, 50, 40, 20, {{Mv::M7}, {Mv::M8}, {Mv::M9}}},
                      LaneCase{L::ExclusiveLeftSharedThroughRight, {}, 50, 40, 20, {{Mv::M7}, {Mv::M8, Mv::M9}}},
                      LaneCase{L::SharedLeftThroughExclusiveRight, {}, 50, 40, 20, {{Mv::M7, Mv::M8}, {Mv::M9}}},
                      LaneCase{L::SharedLeftThroughExclusiveRight, {}, 0, 0, 20, {{}, {Mv::M9}}},
                      LaneCase{L::SingleShared, {}, 50, 0, 0, {{Mv::M7, Mv::M9}}},
                      LaneCase{L::SingleShared, 2, 50, 40, 0, {{Mv::M7, Mv::M8, Mv::M9}}}));

TEST(TwscLaneForms, NoActiveMovementsNoLanes) {
    Twsc t;
    for (MinorLaneConfig c : {L::Separate, L::SingleShared, L::ExclusiveLeftSharedThroughRight}) {
        t.geometry.minor_lanes_sb = c;
        EXPECT_TRUE(minor_lanes(t, MinorApproach::SB).empty());
    }
}

TEST(TwscLaneForms, SharedAndFlaredCapacities) {
    Twsc t;
    auto set = [&t](Mv m, double v, double c) {
        t.movements[index(m)].flow_rate = v;
        t.movements[index(m)].movement_capacity = c;
    };
    set(Mv::M7, 50, 200);
    set(Mv::M8, 100, 400);
    set(Mv::M9, 0, 700);
    EXPECT_NEAR(minor_lanes(t, MinorApproach::NB)[0].capacity, 150 / (50.0 / 200 + 100.0 / 400), 1e-9);
    t.geometry.flare_storage_nb = 1;  // no right-turn flow: the flare changes nothing
    EXPECT_NEAR(minor_lanes(t, MinorApproach::NB)[0].capacity, 300.0, 1e-9);
    set(Mv::M9, 100, 700);  // n = 2: c_F = (v_SH + v_R) / sqrt((v_R/c_R)^2 + (v_SH/c_SH)^2)
    EXPECT_NEAR(minor_lanes(t, MinorApproach::NB)[0].capacity, 250 / std::hypot(100.0 / 700, 150.0 / 300), 1e-9);
    set(Mv::M7, 0, 200);
    set(Mv::M8, 0, 400);
    EXPECT_NEAR(minor_lanes(t, MinorApproach::NB)[0].capacity, 700.0, 1e-9);  // the right turn alone
    set(Mv::M9, 0, 700);
    EXPECT_NEAR(minor_lanes(t, MinorApproach::NB)[0].capacity, 700.0, 1e-9);  // all idle: the larger
    t.geometry.flare_storage_nb.reset();
    EXPECT_NEAR(minor_lanes(t, MinorApproach::NB)[0].capacity, 200.0, 1e-9);  // all idle: the smallest
    t.geometry.minor_lanes_nb = L::ExclusiveLeftSharedThroughRight;
    set(Mv::M7, 10, 200);
    set(Mv::M8, 0, 0);
    t.movements[index(Mv::M8)].movement_capacity.reset();
    t.movements[index(Mv::M9)].movement_capacity.reset();
    const std::vector<TwscLaneResult> lanes = minor_lanes(t, MinorApproach::NB);
    ASSERT_EQ(lanes.size(), 2u);  // the empty shared lane is formed anyway
    EXPECT_EQ(lanes[1].capacity, INF);
    const DelayResult idle = *evaluate_delay(lanes[1].flow_rate, lanes[1].capacity, 0.25);
    EXPECT_EQ(idle.control_delay, 5.0);
    EXPECT_TRUE(std::isnan(idle.queue_95));
}

// ---- mended cases ----

TEST(TwscZeroCapacity, MajorLeftTurnWithDemandIsNeverServed) {
    Twsc t = worked_example();
    t.platoon_blockage = PlatoonBlockage{.pb1 = 1.0};  // the EB left turn never finds a gap
    t.geometry.major_left_eb = {MajorLeftLane::Shared, 0};
    analyze(t);
    const TwscMovementResult& left = mv(t, Mv::M1);
    EXPECT_EQ(*left.movement_capacity, 0.0);
    EXPECT_EQ(*left.los, "F");
    EXPECT_EQ(*left.control_delay, INF);
    EXPECT_EQ(*left.queue_95, INF);
    EXPECT_FALSE(mv(t, Mv::M1U).control_delay);  // no demand: not evaluated
    EXPECT_EQ((*t.rank1_major_delay)[0], INF);    // the through traffic waits behind it
    EXPECT_EQ((*t.approach_delays)[0], INF);
    EXPECT_NEAR((*t.approach_delays)[1], 10.8033 * 80 / 1000, 1e-5);
}

// The EB left turn (100 veh/h, one major lane each way, every other flow 0) facing a WB through
// flow that tends to 0: its capacity tends to 3600 / t_f = 3600 / 2.2 at 1e-14, 1e-12 and 1e-10
// veh/h, its delay to that of no conflicting flow.
TEST(TwscGapAcceptance, AVanishingConflictingFlowTendsToTheFollowUpRate) {
    Twsc t;
    t.geometry.major_lanes_per_direction = 1;
    t.demand.v1 = 100;
    const double none = *analysed(t).movements[index(Mv::M1)].control_delay;
    for (double v5 : {1e-14, 1e-12, 1e-10}) {
        t.demand.v5 = v5;
        analyze(t);
        EXPECT_NEAR(*mv(t, Mv::M1).potential_capacity, 3600 / 2.2, 2e-9) << v5;
        EXPECT_NEAR(*mv(t, Mv::M1).control_delay, none, 1e-12) << v5;
    }
}

TEST(TwscPlatoons, AlwaysBlockedIsZeroCapacityAboveThePlatoonFlow) {
    EXPECT_EQ(platoon_adjusted_capacity(1620.0, 4.1, 2.2, 1.0, 1), 0.0);  // v_c above L = 1500
    EXPECT_EQ(platoon_adjusted_capacity(1400.0, 4.1, 2.2, 1.0, 1), 0.0);
    Twsc t = worked_example();
    t.geometry.major_lanes_per_direction = 1;
    t.demand.v5 = 1500;  // M1 and M1U see 1620 veh/h
    t.platoon_blockage = PlatoonBlockage{.pb1 = 1.0};
    analyze(t);
    for (Mv m : {Mv::M1, Mv::M1U, Mv::M7, Mv::M8}) EXPECT_EQ(*mv(t, m).movement_capacity, 0.0);
    EXPECT_EQ(*mv(t, Mv::M1).control_delay, INF);
    EXPECT_EQ(t.lanes_nb[0].capacity, 0.0);
    EXPECT_EQ(t.lanes_nb[0].los, "F");
}

TEST(TwscStaleResults, ASecondAnalysisStartsFromBlankMovements) {
    Twsc t = worked_example();
    t.geometry.median_storage_nb = 2;
    analyze(t);
    ASSERT_TRUE(mv(t, Mv::M1U).control_delay);  // capacity above 0 without demand: evaluated
    ASSERT_TRUE(mv(t, Mv::M7).movement_capacity_stage1);
    t.platoon_blockage = PlatoonBlockage{1, 1, 1, 1, 1, 1, 1, 1};
    t.geometry.median_storage_nb.reset();
    t.conflicting_flow_overrides = {{"9", "stage1", 10}};
    analyze(t);
    EXPECT_EQ(*mv(t, Mv::M1U).movement_capacity, 0.0);
    EXPECT_FALSE(mv(t, Mv::M1U).control_delay);
    EXPECT_FALSE(mv(t, Mv::M1U).los);
    EXPECT_FALSE(mv(t, Mv::M7).movement_capacity_stage1);
    EXPECT_FALSE(mv(t, Mv::M7).critical_headway_stage1);
    t.conflicting_flow_overrides.clear();
    analyze(t);
    EXPECT_FALSE(mv(t, Mv::M9).conflicting_flow_stage1);
}

template <class F>
std::string error_of(F call) {
    try {
        call();
    } catch (const hcm::Error& e) {
        return e.what();
    }
    return "no error";
}

TEST(TwscQueries, LabelsApproachesAndMajorLeftConfigurations) {
    Twsc t = analysed(worked_example());
    EXPECT_EQ(&movement_result(t, "1u"), &movement_result(t, "1U"));
    for (const char* bad : {"13", "01", " 1", "M1", ""})
        EXPECT_EQ(error_of([&] { movement_result(t, bad); }), std::string("unknown TWSC movement label: ") + bad);
    EXPECT_EQ(lanes_of(t, "nb").size(), 1u);
    EXPECT_EQ(&lane_of(t, "Sb", 0), &t.lanes_sb[0]);
    EXPECT_EQ(error_of([&] { lanes_of(t, "eb"); }), "TWSC minor approach must be NB or SB, got EB");
    EXPECT_EQ(error_of([&] { lane_of(t, "nb", 1); }), "no lane 1 on nb");
    set_major_left_config(t, "wb", "Short_Pocket", 4);
    EXPECT_EQ(t.geometry.major_left_wb, (MajorLeftLaneConfig{MajorLeftLane::SharedShortPocket, 4}));
    set_major_left_config(t, "EB", "SharedShortPocket", 2);
    EXPECT_EQ(major_left_config(t, "eb"), (std::pair<std::string_view, std::optional<std::uint32_t>>{"short_pocket", 2}));
    set_major_left_config(t, "EB", "shared", 5);
    EXPECT_EQ(major_left_config(t, "eb"), (std::pair<std::string_view, std::optional<std::uint32_t>>{"shared", {}}));
    const Twsc before = t;
    EXPECT_EQ(error_of([&] { set_major_left_config(t, "NB", "shared", {}); }),
              "unknown major approach: NB (expected EB or WB)");
    EXPECT_EQ(error_of([&] { set_major_left_config(t, "NB", "pocket", {}); }),
              "unknown major-left lane config: pocket (expected exclusive|shared|short_pocket)");
    EXPECT_EQ(error_of([&] { set_major_left_config(t, "EB", "short_pocket", {}); }),
              "short_pocket major-left config requires storage_veh");
    EXPECT_EQ(t.geometry, before.geometry);
}

}  // namespace
