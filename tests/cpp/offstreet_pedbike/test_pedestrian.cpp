#include <gtest/gtest.h>

#include <optional>
#include <tuple>
#include <utility>

#include "../support/checks.hpp"
#include "hcm/offstreet_pedbike/offstreet_pedbike.hpp"

using namespace hcm::offstreet_pedbike;
using namespace testing_support;
using L = LevelOfService;

namespace {

ExclusivePedestrianFacility walkway(double width, std::optional<double> demand) {
    ExclusivePedestrianFacility f;
    f.total_walkway_width = width;
    f.pedestrian_demand = demand;
    return f;
}

// 1,000 p/h at PHF 0.85 on 10 ft less 1.5 ft of fixed objects: v_15 = 1000 / 3.4,
// v_p = v_15 / (15 x 8.5) and A_p = 300 / v_p = 130.05 ft2/p.
TEST(ExclusivePedestrian, WalkwayStepByStep) {
    ExclusivePedestrianFacility f = walkway(10.0, 1000.0);
    f.fixed_object_width = 1.5;
    EXPECT_EQ(f.determine_effective_walkway_width(), 8.5);
    EXPECT_NEAR(f.calculate_pedestrian_flow_rate(), 2.306805074971165, kTol);
    EXPECT_NEAR(*f.flow_rate_15min, 294.11764705882354, kTol);
    EXPECT_NEAR(f.calculate_average_pedestrian_space(), 130.05, kTol);
    EXPECT_EQ(f.determine_los(), L::A);
    EXPECT_NEAR(f.calculate_volume_to_capacity_ratio(), 2.306805074971165 / 23.0, kTol);

    f.flow_type = FlowType::Platooned;  // 4,000 p/h: A_p = 38.25, above 23 but not above 40
    f.pedestrian_demand = 4000.0;
    f.fixed_object_width = 0.0;
    EXPECT_EQ(f.analyze(), L::D);
    EXPECT_NEAR(*f.pedestrian_space, 38.25, kTol);
    EXPECT_NEAR(*f.vc_ratio, 4000.0 / 3.4 / 150.0 / 18.0, kTol);

    f.peak_15min_volume = 450.0;  // a measured volume wins over demand and PHF
    f.phf = 0.0;
    EXPECT_EQ(f.calculate_pedestrian_flow_rate(), 3.0);
}

// No pedestrians (no demand, zero demand, PHF not above 0), also on a facility without effective
// width: the flows are 0, the space infinite (not stored) and the LOS A.
TEST(ExclusivePedestrian, NoPedestriansIsLosA) {
    const std::tuple<double, std::optional<double>, double> cases[] = {
        {10.0, std::nullopt, 0.85}, {10.0, 0.0, 0.85}, {10.0, 500.0, 0.0}, {10.0, 500.0, -1.0},
        {-2.0, std::nullopt, 0.85}, {kNaN, 0.0, 0.85}};
    for (const auto& [width, demand, phf] : cases) {
        ExclusivePedestrianFacility f = walkway(width, demand);
        f.phf = phf;
        EXPECT_EQ(f.calculate_average_pedestrian_space(), kInf);
        EXPECT_EQ(f.analyze(), L::A);
        EXPECT_EQ(*f.unit_flow_rate, 0.0);
        EXPECT_EQ(*f.vc_ratio, 0.0);
        EXPECT_FALSE(f.pedestrian_space);
    }
}

// Fixed objects that take the whole width leave pedestrians no room: infinite unit flow, space 0,
// LOS F and v/c infinite, step by step or through analyze().
TEST(ExclusivePedestrian, BlockedFacilityWithPedestriansIsF) {
    for (const bool whole : {false, true}) {
        ExclusivePedestrianFacility f = walkway(10.0, 1000.0);
        f.fixed_object_width = 12.0;
        EXPECT_EQ(whole ? f.analyze() : f.determine_los(), L::F);
        if (!whole) f.calculate_volume_to_capacity_ratio();
        EXPECT_EQ(*f.effective_width, 0.0);
        EXPECT_EQ(*f.unit_flow_rate, kInf);
        EXPECT_EQ(f.pedestrian_space, 0.0);
        EXPECT_EQ(*f.vc_ratio, kInf);
    }
}

// Exhibits 24-1 to 24-3 at and around their thresholds, and the capacities of Step 5.
using LosCase = std::tuple<FacilityType, FlowType, double, L>;
class PedestrianSpaceLos : public ::testing::TestWithParam<LosCase> {};

TEST_P(PedestrianSpaceLos, Threshold) {
    const auto [facility, flow, space, expected] = GetParam();
    EXPECT_EQ(pedestrian_los(facility, flow, space), expected);
}

constexpr auto W = FacilityType::Walkway;
constexpr auto X = FacilityType::CrossFlow;
constexpr auto S = FacilityType::Stairway;
constexpr auto R = FlowType::Random;
constexpr auto P = FlowType::Platooned;

INSTANTIATE_TEST_SUITE_P(
    ExclusivePedestrian, PedestrianSpaceLos,
    ::testing::Values(LosCase{W, R, kInf, L::A}, LosCase{W, R, 60.5, L::A}, LosCase{W, R, 60.0, L::B},
                      LosCase{W, R, 40.0, L::C}, LosCase{W, R, 24.0, L::D}, LosCase{W, R, 15.0, L::E},
                      LosCase{W, R, 8.0, L::F}, LosCase{W, R, kNaN, L::F}, LosCase{W, P, 530.5, L::A},
                      LosCase{W, P, 530.0, L::B}, LosCase{W, P, 90.0, L::C}, LosCase{W, P, 40.0, L::D},
                      LosCase{W, P, 23.0, L::E}, LosCase{W, P, 11.0, L::F}, LosCase{X, R, 13.0, L::F},
                      LosCase{X, R, 13.5, L::E}, LosCase{X, P, 13.5, L::E}, LosCase{X, P, 11.5, L::F},
                      LosCase{X, R, 61.0, L::A}, LosCase{S, R, 20.5, L::A}, LosCase{S, P, 20.0, L::B},
                      LosCase{S, R, 17.0, L::C}, LosCase{S, R, 12.0, L::D}, LosCase{S, R, 8.0, L::E},
                      LosCase{S, P, 5.0, L::F}));

TEST(ExclusivePedestrian, CapacityByFacilityAndFlowType) {
    const std::tuple<FacilityType, FlowType, double> cases[] = {{W, R, 23.0}, {W, P, 18.0}, {X, R, 17.0},
                                                                {X, P, 17.0}, {S, R, 15.0}, {S, P, 15.0}};
    for (const auto& [facility, flow, capacity] : cases) EXPECT_EQ(pedestrian_capacity(facility, flow), capacity);
}

// ---- Pedestrians on shared-use paths ----

TEST(SharedUsePath, EventsAndLos) {
    SharedUsePathPedestrian p;  // r = 3.4 / 12.8
    p.bicycle_demand_same_direction = 100.0;
    p.bicycle_demand_opposing = 80.0;
    const PathEvents e = p.calculate_bicycle_passing_and_meeting_events();
    EXPECT_NEAR(e.passing, 86.39705882352942, kTol);
    EXPECT_NEAR(e.meeting, 119.11764705882354, kTol);
    EXPECT_NEAR(e.total, 145.9558823529412, kTol);
    EXPECT_EQ(p.determine_los(), L::E);

    p.bicycle_flow_rate_same_direction = 64.0;  // rates replace demand; one way drops the opposing
    p.pedestrian_speed = 3.2;
    p.is_one_way = true;
    EXPECT_EQ(p.determine_los(), L::E);  // the stored total is reused
    EXPECT_EQ(p.analyze(), L::B);         // F = 64 x 0.75 = 48
    EXPECT_EQ(*p.meeting_events, 0.0);
}

TEST(SharedUsePath, DegenerateInputs) {
    SharedUsePathPedestrian none;
    EXPECT_EQ(none.analyze(), L::A);
    EXPECT_EQ(*none.total_events, 0.0);

    SharedUsePathPedestrian fast;  // a pedestrian faster than the bicycles: negative passings
    fast.bicycle_flow_rate_same_direction = 100.0;
    fast.pedestrian_speed = 25.6;
    EXPECT_EQ(fast.calculate_bicycle_passing_and_meeting_events().passing, -100.0);

    SharedUsePathPedestrian stopped;  // no bicycle speed: no speed ratio
    stopped.bicycle_flow_rate_same_direction = 30.0;
    stopped.bicycle_flow_rate_opposing = 30.0;
    stopped.bicycle_speed = 0.0;
    EXPECT_EQ(stopped.calculate_bicycle_passing_and_meeting_events().total, 45.0);
}

TEST(SharedUsePath, Exhibit24_4Thresholds) {
    const std::pair<double, L> cases[] = {{38.0, L::A}, {38.5, L::B}, {60.0, L::B}, {103.0, L::C}, {144.0, L::D},
                                          {180.0, L::E}, {180.5, L::F}, {-5.0, L::A}, {kNaN, L::F}};
    for (const auto& [events, expected] : cases) EXPECT_EQ(shared_path_pedestrian_los(events), expected) << events;
}

}  // namespace
