#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <utility>

#include "../support/checks.hpp"
#include "hcm/offstreet_pedbike/offstreet_pedbike.hpp"

using namespace hcm::offstreet_pedbike;
using namespace testing_support;

namespace {

// A 10-ft walkway carrying 1,000 p/h at PHF 0.85: v_15 = 1000 / 3.4, v_p = v_15 / 150 and
// A_p = 300 / v_p = 153 ft2/p.
ExclusivePedestrianFacility walkway() {
    ExclusivePedestrianFacility f;
    f.total_walkway_width = 10.0;
    f.pedestrian_demand = 1000.0;
    return f;
}

TEST(ExclusivePedestrian, WalkwayStepByStep) {
    ExclusivePedestrianFacility f = walkway();
    f.fixed_object_width = 1.5;
    EXPECT_EQ(f.determine_effective_walkway_width(), 8.5);
    EXPECT_NEAR(f.calculate_pedestrian_flow_rate(), 1000.0 / 3.4 / (15.0 * 8.5), kTol);
    EXPECT_NEAR(*f.flow_rate_15min, 294.11764705882354, kTol);
    EXPECT_NEAR(f.calculate_average_pedestrian_space(), 130.05, kTol);
    EXPECT_EQ(f.determine_los(), LevelOfService::A);
    EXPECT_NEAR(f.calculate_volume_to_capacity_ratio(), 1000.0 / 3.4 / (15.0 * 8.5) / 23.0, kTol);
}

TEST(ExclusivePedestrian, AnalyzeMatchesTheSteps) {
    ExclusivePedestrianFacility f = walkway();
    f.pedestrian_demand = 4000.0;
    f.flow_type = FlowType::Platooned;
    EXPECT_EQ(f.analyze(), LevelOfService::D);  // A_p = 38.25: above 23, not above 40
    EXPECT_NEAR(*f.pedestrian_space, 38.25, kTol);
    EXPECT_NEAR(*f.vc_ratio, 4000.0 / 3.4 / 150.0 / 18.0, kTol);
}

TEST(ExclusivePedestrian, DetermineLosFillsItsPredecessorsOnly) {
    ExclusivePedestrianFacility f = walkway();
    EXPECT_EQ(f.determine_los(), LevelOfService::A);
    EXPECT_EQ(f.effective_width, 10.0);
    EXPECT_TRUE(f.flow_rate_15min && f.unit_flow_rate && f.pedestrian_space && f.los);
    EXPECT_FALSE(f.vc_ratio);
}

TEST(ExclusivePedestrian, MeasuredVolumeReplacesDemandAndPhf) {
    ExclusivePedestrianFacility f = walkway();
    f.peak_15min_volume = 450.0;
    f.phf = 0.0;
    EXPECT_EQ(f.calculate_pedestrian_flow_rate(), 3.0);
    EXPECT_EQ(*f.flow_rate_15min, 450.0);
    EXPECT_EQ(f.calculate_average_pedestrian_space(), 100.0);
}

// No pedestrians: the flows are 0, the space infinite (not stored) and the LOS A.
using NoFlowCase = std::tuple<double, double, std::optional<double>, double>;  // W_T, W_o, demand, PHF
class ExclusivePedestrianNoFlow : public ::testing::TestWithParam<NoFlowCase> {};

TEST_P(ExclusivePedestrianNoFlow, SpaceInfiniteAndLosA) {
    const auto [total, fixed, demand, phf] = GetParam();
    ExclusivePedestrianFacility f;
    f.total_walkway_width = total;
    f.fixed_object_width = fixed;
    f.pedestrian_demand = demand;
    f.phf = phf;
    EXPECT_EQ(f.calculate_average_pedestrian_space(), kInf);
    EXPECT_FALSE(f.pedestrian_space);
    EXPECT_EQ(f.analyze(), LevelOfService::A);
    EXPECT_EQ(*f.unit_flow_rate, 0.0);
    EXPECT_EQ(*f.vc_ratio, 0.0);
    EXPECT_FALSE(f.pedestrian_space);
}

INSTANTIATE_TEST_SUITE_P(ExclusivePedestrian, ExclusivePedestrianNoFlow,
                         ::testing::Values(NoFlowCase{10.0, 0.0, std::nullopt, 0.85},
                                           NoFlowCase{10.0, 0.0, 0.0, 0.85},
                                           NoFlowCase{10.0, 0.0, 500.0, 0.0},
                                           NoFlowCase{10.0, 0.0, 500.0, -1.0},
                                           NoFlowCase{4.0, 6.0, std::nullopt, 0.85},
                                           NoFlowCase{kNaN, 0.0, 0.0, 0.85}));

// Fixed objects that take the whole width leave pedestrians no room: infinite unit flow, space 0,
// LOS F and v/c infinite, whether step by step or through analyze().
TEST(ExclusivePedestrian, BlockedFacilityWithPedestriansIsF) {
    for (const bool whole : {false, true}) {
        ExclusivePedestrianFacility f = walkway();
        f.fixed_object_width = 12.0;
        const LevelOfService los = whole ? f.analyze() : f.determine_los();
        if (!whole) f.calculate_volume_to_capacity_ratio();
        EXPECT_EQ(los, LevelOfService::F);
        EXPECT_EQ(*f.effective_width, 0.0);
        EXPECT_EQ(*f.unit_flow_rate, kInf);
        EXPECT_EQ(f.pedestrian_space, 0.0);
        EXPECT_EQ(*f.vc_ratio, kInf);
    }
}

// Exhibits 24-1 to 24-3 at and around their thresholds.
using LosCase = std::tuple<FacilityType, FlowType, double, LevelOfService>;
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
using L = LevelOfService;

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
    EXPECT_EQ(pedestrian_capacity(W, R), 23.0);
    EXPECT_EQ(pedestrian_capacity(W, P), 18.0);
    EXPECT_EQ(pedestrian_capacity(X, R), 17.0);
    EXPECT_EQ(pedestrian_capacity(X, P), 17.0);
    EXPECT_EQ(pedestrian_capacity(S, R), 15.0);
    EXPECT_EQ(pedestrian_capacity(S, P), 15.0);
}

TEST(ExclusivePedestrian, OptionWords) {
    EXPECT_EQ(base::parse_option(FACILITY_TYPE_WORDS, "Cross_Flow"), X);
    EXPECT_EQ(base::parse_option(FACILITY_TYPE_WORDS, "cross-flow"), X);
    EXPECT_EQ(base::parse_option(FACILITY_TYPE_WORDS, "STAIR WAY"), S);
    EXPECT_EQ(error_of([] { return base::parse_option(FACILITY_TYPE_WORDS, "cross flows"); }),
              "unknown facility_type 'crossflows'; expected 'walkway', 'cross_flow', or 'stairway'");
    EXPECT_EQ(base::parse_option(FLOW_TYPE_WORDS, "PLATOON"), P);
    EXPECT_EQ(base::parse_option(FLOW_TYPE_WORDS, "Platooned"), P);
    EXPECT_EQ(error_of([] { return base::parse_option(FLOW_TYPE_WORDS, "Platoon-ed"); }),
              "unknown flow_type 'platoon-ed'; expected 'random' or 'platooned'");
}

// ---- Pedestrians on shared-use paths ----

TEST(SharedUsePath, EventsAndLos) {
    SharedUsePathPedestrian p;
    p.bicycle_demand_same_direction = 100.0;
    p.bicycle_demand_opposing = 80.0;
    const PathEvents e = p.calculate_bicycle_passing_and_meeting_events();
    const double ratio = 3.4 / 12.8;
    EXPECT_NEAR(e.passing, 100.0 / 0.85 * (1.0 - ratio), kTol);
    EXPECT_NEAR(e.meeting, 80.0 / 0.85 * (1.0 + ratio), kTol);
    EXPECT_NEAR(e.total, 145.9558823529412, kTol);
    EXPECT_EQ(p.determine_los(), LevelOfService::E);
}

TEST(SharedUsePath, FlowRatesReplaceDemandAndOneWayDropsOpposing) {
    SharedUsePathPedestrian p;
    p.bicycle_flow_rate_same_direction = 64.0;
    p.bicycle_demand_same_direction = 1000.0;
    p.bicycle_flow_rate_opposing = 500.0;
    p.pedestrian_speed = 3.2;
    p.is_one_way = true;
    EXPECT_EQ(p.analyze(), LevelOfService::B);  // F = 64 x 0.75 = 48
    EXPECT_EQ(*p.passing_events, 48.0);
    EXPECT_EQ(*p.meeting_events, 0.0);
}

TEST(SharedUsePath, NoBicyclesAndDegenerateSpeeds) {
    SharedUsePathPedestrian none;
    EXPECT_EQ(none.analyze(), LevelOfService::A);
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

TEST(SharedUsePath, DetermineLosReusesTheStoredTotal) {
    SharedUsePathPedestrian p;
    p.total_events = 150.0;
    EXPECT_EQ(p.determine_los(), LevelOfService::E);
    EXPECT_FALSE(p.passing_events);
    EXPECT_EQ(p.analyze(), LevelOfService::A);  // analyze() recomputes the events
}

TEST(SharedUsePath, Exhibit24_4Thresholds) {
    const std::pair<double, LevelOfService> cases[] = {
        {38.0, L::A}, {38.5, L::B}, {60.0, L::B}, {103.0, L::C}, {144.0, L::D},
        {180.0, L::E}, {180.5, L::F}, {-5.0, L::A}, {kNaN, L::F}};
    for (const auto& [events, expected] : cases) EXPECT_EQ(shared_path_pedestrian_los(events), expected) << events;
}

}  // namespace
