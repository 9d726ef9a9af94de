// The pedestrian, bicycle and two-stage crossing methods of HCM Chapter 19. Expected values are
// worked by hand from the HCM equations; the two-stage delay is checked against a direct
// simulation of pedestrians arriving through the cycle.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "../support/checks.hpp"
#include "hcm/common/common.hpp"
#include "hcm/signalized/bicycle.hpp"
#include "hcm/signalized/pedestrian.hpp"

using namespace testing_support;
using hcm::common::LevelOfService;
namespace ped = hcm::signalized::pedestrian;
namespace bike = hcm::signalized::bicycle;

namespace {

TEST(SignalizedModes, LosByScoreBoundsAreInclusive) {
    using enum LevelOfService;
    for (auto [score, los] : {std::pair{-kInf, A}, {1.5, A}, {1.5000001, B}, {2.5, B}, {3.5, C}, {4.5, D},
                              {4.5000001, E}, {5.5, E}, {5.51, F}, {kNaN, F}})
        EXPECT_EQ(hcm::common::los_by_score(score), los) << score;
}

// A 90 s cycle with a 7 s walk across four lanes, 150 veh/h turning across the crosswalk, one
// right-turn island, and 1,800 veh/h on two lanes at 40 mi/h.
TEST(SignalizedPedestrian, WorkedCrosswalk) {
    const auto r = ped::analyze({.cycle_length_s = 90, .lanes_crossed = 4, .v_rtor = 50, .v_lt_perm = 100,
                                 .num_rtci = 1, .crossed_street_volume_sum = 1800, .speed_85_mph = 40});
    EXPECT_EQ(r.effective_walk_s, 11.0);
    EXPECT_DOUBLE_EQ(r.delay, 79.0 * 79.0 / 180.0);  // (C - g_walk)^2 / 2C
    EXPECT_EQ(r.n15_per_lane, 225.0);                 // 1800 / 4 / 2
    EXPECT_DOUBLE_EQ(r.f_w, 1.3886920442435355);      // 0.681 x 4^0.514
    EXPECT_DOUBLE_EQ(r.f_v, 150 * 0.00569 / 4 - (0.0027 * 225 - 0.1946));
    EXPECT_DOUBLE_EQ(r.f_s, 40 * 225 * 0.00013);
    EXPECT_DOUBLE_EQ(r.f_delay, 0.0401 * std::log(34.672222222222224));
    EXPECT_NEAR(r.los_score, 3.1010591922906934, kTol);
    EXPECT_EQ(r.los, LevelOfService::C);
}

TEST(SignalizedPedestrian, DefaultsEdgesAndDocumentForms) {
    EXPECT_EQ(ped::analyze_signalized_pedestrian("{}"),
              R"({"effective_walk_s":11.0,"delay":0.0,"n15_per_lane":0.0,"f_w":0.9724707101655288,"f_v":0.0,)"
              R"("f_s":0.0,"f_delay":0.0,"los_score":1.572170710165529,"los":"B"})");
    EXPECT_EQ(ped::analyze_signalized_pedestrian("[90, 10]"),
              ped::analyze_signalized_pedestrian(R"({"walk_setting_s":10,"cycle_length_s":90,"x":[{}]})"));
    // A cycle equal to g_walk: no delay and no logarithm of 0; 1/24 s of delay lowers the score.
    EXPECT_EQ(ped::analyze({.cycle_length_s = 11}).f_delay, 0.0);
    EXPECT_DOUBLE_EQ(ped::analyze({.cycle_length_s = 12}).f_delay, 0.0401 * std::log(1.0 / 24));
    EXPECT_EQ(ped::analyze({.crossed_street_volume_sum = 1200, .crossed_street_lanes = 0}).n15_per_lane, 0.0);
    // A negative lane count is not checked: no number for F_w and the score (null), LOS F.
    EXPECT_NE(ped::analyze_signalized_pedestrian(R"({"lanes_crossed":-2})")
                  .find(R"("f_w":null,"f_v":0.0,"f_s":0.0,"f_delay":0.0,"los_score":null,"los":"F")"),
              std::string::npos);
}

TEST(SignalizedBicycle, WorkedApproachAndDefaults) {
    const auto r = bike::analyze({.effective_green_s = 40, .cycle_length_s = 100, .bicycle_flow = 120,
                                  .cross_street_width_ft = 48, .total_width_ft = 16, .v_left = 50, .v_through = 600,
                                  .v_right = 100, .num_through_lanes = 2});
    EXPECT_DOUBLE_EQ(r.capacity, 800.0);                      // 0.4 x 2000
    EXPECT_DOUBLE_EQ(r.delay, 50 * 0.36 / (1 - 0.4 * 0.15));  // 19.1489...
    EXPECT_DOUBLE_EQ(r.f_w, -2.696);                          // 0.0153 x 48 - 0.2144 x 16
    EXPECT_DOUBLE_EQ(r.f_v, 0.61875);                         // 0.0066 x 750 / (4 x 2)
    EXPECT_NEAR(r.los_score, 2.05515, kTol);
    EXPECT_EQ(r.los, LevelOfService::B);
    EXPECT_EQ(bike::analyze_signalized_bicycle("{}"),
              R"({"capacity":0.0,"delay":0.0,"f_w":0.0,"f_v":0.0,"los_score":4.1324,"los":"D"})");
    EXPECT_EQ(bike::analyze_signalized_bicycle(R"({"num_through_lanes":0,"v_through":300})"),
              R"({"capacity":0.0,"delay":0.0,"f_w":0.0,"f_v":null,"los_score":null,"los":"F"})");
}

TEST(SignalizedBicycle, DelayAtTheEdges) {
    const auto delay = [](double green, double cycle, double flow) {
        return bike::analyze({.effective_green_s = green, .cycle_length_s = cycle, .bicycle_flow = flow}).delay;
    };
    // A bicycle that always has green does not wait, whatever the flow.
    EXPECT_EQ(delay(90, 90, 2000), 0.0);
    EXPECT_EQ(delay(120, 90, 5000), 0.0);
    // Flow above capacity counts as capacity: 0.5 C (2/3)^2 / (1 - 1/3).
    EXPECT_NEAR(delay(30, 90, 1000), 30.0, kTol);
    EXPECT_EQ(delay(0, 90, 100), 45.0);
}

// ---- two-stage crossing -------------------------------------------------------------------------

TEST(SignalizedTwoStage, DocumentedCases) {
    EXPECT_TRUE(std::isnan(ped::signalized_two_stage_crossing_delay("{}")));  // no cycle, no remainder
    // Walks together, no distance: only the first-stage wait, 91^2 / 200.
    EXPECT_DOUBLE_EQ(ped::signalized_two_stage_crossing_delay(R"({"cycle_length_s":100})"), 41.405);
    // Second walk 30 s later: O = 30, W_r = 30, W_g = 25.5, p = 0.91.
    const double later = 41.405 + 0.91 * 30 + 0.09 * 25.5;
    EXPECT_NEAR(ped::two_stage_crossing_delay({.cycle_length_s = 100, .walk_start_y_s = 30}), later, kTol);
    // No walking speed: no walking time, whatever the distance.
    EXPECT_NEAR(ped::two_stage_crossing_delay(
                    {.cycle_length_s = 100, .first_stage_distance_ft = 70, .walk_speed_fps = 0, .walk_start_y_s = 30}),
                later, kTol);
}

// Average delay of pedestrians arriving evenly through the cycle, followed one by one: the first
// walk runs from 0 to g_x, the second from s to s + g_y (modulo C).
double simulated_delay(const ped::TwoStageCrossing& x) {
    const double c = x.cycle_length_s;
    const double g_x = x.walk_setting_x_s + 4.0, g_y = x.walk_setting_y_s + 4.0;
    const double walk = x.first_stage_distance_ft / x.walk_speed_fps;
    const double s = std::fmod(std::fmod(x.walk_start_y_s - x.walk_start_x_s, c) + c, c);
    constexpr int kArrivals = 200000;
    double total = 0;
    for (int i = 0; i < kArrivals; ++i) {
        const double t = (i + 0.5) * c / kArrivals;
        const double leave = t < g_x ? t : c;
        const double into_y = std::fmod(std::fmod(leave + walk - s, c) + c, c);  // time since a y walk began
        total += (leave - t) + (into_y < g_y ? 0.0 : c - into_y);
    }
    return total / kArrivals;
}

struct TwoStageCase {
    const char* name;
    ped::TwoStageCrossing crossing;
};

class TwoStageAgainstSimulation : public ::testing::TestWithParam<TwoStageCase> {};

TEST_P(TwoStageAgainstSimulation, AverageWaitMatches) {
    ped::TwoStageCrossing x = GetParam().crossing;
    const double delay = ped::two_stage_crossing_delay(x);
    EXPECT_NEAR(delay, simulated_delay(x), 1e-3);
    // Whole cycles added to either walk start change nothing.
    x.walk_start_x_s += 3 * x.cycle_length_s;
    x.walk_start_y_s -= 2 * x.cycle_length_s;
    EXPECT_NEAR(ped::two_stage_crossing_delay(x), delay, 1e-9);
}

ped::TwoStageCrossing crossing(double cycle, double walk_x, double walk_y, double start_y, double distance = 0) {
    return {.cycle_length_s = cycle, .walk_setting_x_s = walk_x, .walk_setting_y_s = walk_y,
            .first_stage_distance_ft = distance, .walk_start_x_s = 15, .walk_start_y_s = 15 + start_y};
}

// Each case reaches one arm of the refuge-wait equations (offset O against g_x, g_y and C).
INSTANTIATE_TEST_SUITE_P(
    SignalizedTwoStage, TwoStageAgainstSimulation,
    ::testing::Values(TwoStageCase{"SecondWalkInsideFirst", crossing(90, 30, 5, 10)},     // g_y + O < g_x
                      TwoStageCase{"SecondWalkOverlapsFirstEnd", crossing(90, 10, 20, 5)},  // O < g_x, g_y + O <= C
                      TwoStageCase{"SecondWalkWrapsEarly", crossing(60, 25, 40, 20)},      // O < g_x, g_y + O > C
                      TwoStageCase{"SecondWalkLater", crossing(100, 5, 5, 30)},            // O >= g_x, g_y + O < C
                      TwoStageCase{"SecondWalkWrapsLate", crossing(80, 6, 10, 70)},        // g_y + O in [C, g_x + C]
                      TwoStageCase{"SecondWalkWrapsPast", crossing(80, 6, 40, 70)},        // g_y + O > g_x + C
                      TwoStageCase{"WalkingBetweenStages", crossing(120, 7, 7, 25, 105)},  // t = 30 s
                      TwoStageCase{"WalkStartsBackwards", crossing(90, 7, 10, -40, 35)}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
