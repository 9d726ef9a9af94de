// The pedestrian, bicycle and two-stage crossing methods of HCM Chapter 19. Expected values are
// worked by hand from the HCM equations; the two-stage delay is checked against a direct
// simulation of pedestrians arriving through the cycle.
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
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

// ---- LOS by score (shared by both modes) --------------------------------------------------------

struct ScoreCase {
    double score;
    LevelOfService los;
};

class LosByScore : public ::testing::TestWithParam<ScoreCase> {};

TEST_P(LosByScore, BoundsAreInclusive) { EXPECT_EQ(hcm::common::los_by_score(GetParam().score), GetParam().los); }

INSTANTIATE_TEST_SUITE_P(SignalizedModes, LosByScore,
                         ::testing::Values(ScoreCase{-kInf, LevelOfService::A}, ScoreCase{1.5, LevelOfService::A},
                                           ScoreCase{1.5000001, LevelOfService::B}, ScoreCase{2.5, LevelOfService::B},
                                           ScoreCase{3.5, LevelOfService::C}, ScoreCase{4.5, LevelOfService::D},
                                           ScoreCase{4.5000001, LevelOfService::E}, ScoreCase{5.5, LevelOfService::E},
                                           ScoreCase{5.51, LevelOfService::F}, ScoreCase{kNaN, LevelOfService::F}));

// ---- pedestrian mode ------------------------------------------------------------------------------

// A 90 s cycle with a 7 s walk across four lanes, 150 veh/h turning across the crosswalk, one
// right-turn island, and 1,800 veh/h on two lanes at 40 mi/h.
TEST(SignalizedPedestrian, WorkedCrosswalk) {
    ped::PedestrianIntersection c;
    c.cycle_length_s = 90;
    c.lanes_crossed = 4;
    c.v_rtor = 50;
    c.v_lt_perm = 100;
    c.num_rtci = 1;
    c.crossed_street_volume_sum = 1800;
    c.speed_85_mph = 40;
    const auto r = ped::analyze(c);
    EXPECT_EQ(r.effective_walk_s, 11.0);
    EXPECT_DOUBLE_EQ(r.delay, 79.0 * 79.0 / 180.0);           // (C - g_walk)^2 / 2C
    EXPECT_EQ(r.n15_per_lane, 225.0);                          // 1800 / 4 / 2
    EXPECT_DOUBLE_EQ(r.f_w, 0.681 * std::pow(4.0, 0.514));     // 1.38869...
    EXPECT_DOUBLE_EQ(r.f_v, 150 * 0.00569 / 4 - (0.0027 * 225 - 0.1946));
    EXPECT_DOUBLE_EQ(r.f_s, 40 * 225 * 0.00013);
    EXPECT_DOUBLE_EQ(r.f_delay, 0.0401 * std::log(34.672222222222224));
    EXPECT_NEAR(r.los_score, 3.1010591922906934, kTol);
    EXPECT_EQ(r.los, LevelOfService::C);
}

TEST(SignalizedPedestrian, DefaultsAndDocumentForms) {
    const double f_w = 0.681 * std::pow(2.0, 0.514);
    EXPECT_EQ(ped::analyze_signalized_pedestrian("{}"),
              "{\"effective_walk_s\":11.0,\"delay\":0.0,\"n15_per_lane\":0.0,\"f_w\":0.9724707101655288,\"f_v\":0.0,"
              "\"f_s\":0.0,\"f_delay\":0.0,\"los_score\":1.572170710165529,\"los\":\"B\"}");
    EXPECT_DOUBLE_EQ(ped::analyze({}).los_score, f_w + 0.5997);
    // The array form fills the fields in order and leaves the rest at their defaults; unknown
    // keys are skipped.
    EXPECT_EQ(ped::analyze_signalized_pedestrian("[90, 10]"),
              ped::analyze_signalized_pedestrian(R"({"walk_setting_s":10,"cycle_length_s":90,"x":[{}]})"));
    const std::string by_array = ped::analyze_signalized_pedestrian("[90, 10]");
    EXPECT_NE(by_array.find("\"effective_walk_s\":14.0"), std::string::npos);
}

TEST(SignalizedPedestrian, DelayEdges) {
    ped::PedestrianIntersection c;
    c.cycle_length_s = 11;  // equal to g_walk: no delay, and no logarithm of 0
    EXPECT_EQ(ped::analyze(c).delay, 0.0);
    EXPECT_EQ(ped::analyze(c).f_delay, 0.0);
    c.cycle_length_s = 12;  // 1/24 s of delay lowers the score
    EXPECT_DOUBLE_EQ(ped::analyze(c).delay, 1.0 / 24.0);
    EXPECT_LT(ped::analyze(c).f_delay, 0.0);
    c.cycle_length_s = 0;
    c.crossed_street_lanes = 0;  // no lanes, no vehicles per lane
    c.crossed_street_volume_sum = 1200;
    EXPECT_EQ(ped::analyze(c).n15_per_lane, 0.0);
    // A negative lane count is not checked: its factor and score are not numbers, LOS F.
    c.lanes_crossed = -2;
    const auto r = ped::analyze(c);
    EXPECT_TRUE(std::isnan(r.f_w) && std::isnan(r.los_score));
    EXPECT_EQ(r.los, LevelOfService::F);
    const std::string text = ped::analyze_signalized_pedestrian("{\"lanes_crossed\":-2}");
    EXPECT_NE(text.find("\"f_w\":null"), std::string::npos);
    EXPECT_NE(text.find("\"los_score\":null,\"los\":\"F\""), std::string::npos);
}

// ---- bicycle mode -------------------------------------------------------------------------------

TEST(SignalizedBicycle, WorkedApproach) {
    bike::BicycleIntersection a;
    a.effective_green_s = 40;
    a.cycle_length_s = 100;
    a.bicycle_flow = 120;
    a.cross_street_width_ft = 48;
    a.total_width_ft = 16;
    a.v_left = 50;
    a.v_through = 600;
    a.v_right = 100;
    a.num_through_lanes = 2;
    const auto r = bike::analyze(a);
    EXPECT_DOUBLE_EQ(r.capacity, 800.0);                         // 0.4 x 2000
    EXPECT_DOUBLE_EQ(r.delay, 50 * 0.36 / (1 - 0.4 * 0.15));     // 19.1489...
    EXPECT_DOUBLE_EQ(r.f_w, 0.0153 * 48 - 0.2144 * 16);          // -2.696
    EXPECT_DOUBLE_EQ(r.f_v, 0.0066 * 750 / 8);                   // 0.61875
    EXPECT_NEAR(r.los_score, 2.05515, kTol);
    EXPECT_EQ(r.los, LevelOfService::B);
}

TEST(SignalizedBicycle, DefaultsGiveScoreOfTheConstantAlone) {
    EXPECT_EQ(bike::analyze_signalized_bicycle("{}"),
              R"({"capacity":0.0,"delay":0.0,"f_w":0.0,"f_v":0.0,"los_score":4.1324,"los":"D"})");
}

struct BicycleDelayCase {
    const char* name;
    double green, cycle, flow;
    double delay;
};

std::ostream& operator<<(std::ostream& os, const BicycleDelayCase& c) { return os << c.name; }

class BicycleDelay : public ::testing::TestWithParam<BicycleDelayCase> {};

TEST_P(BicycleDelay, Delay) {
    const auto& c = GetParam();
    bike::BicycleIntersection a;
    a.effective_green_s = c.green;
    a.cycle_length_s = c.cycle;
    a.bicycle_flow = c.flow;
    EXPECT_NEAR(bike::analyze(a).delay, c.delay, kTol);
}

INSTANTIATE_TEST_SUITE_P(
    SignalizedBicycle, BicycleDelay,
    ::testing::Values(
        // A bicycle that always has green does not wait, whatever the flow.
        BicycleDelayCase{"AlwaysGreenBelowCapacity", 90, 90, 500, 0.0},
        BicycleDelayCase{"AlwaysGreenAtCapacity", 90, 90, 2000, 0.0},
        BicycleDelayCase{"AlwaysGreenAboveCapacity", 90, 90, 5000, 0.0},
        BicycleDelayCase{"GreenLongerThanCycle", 120, 90, 5000, 0.0},
        // Flow above capacity counts as capacity: 0.5 C (2/3)^2 / (1 - 1/3).
        BicycleDelayCase{"AboveCapacityCapped", 30, 90, 1000, 30.0},
        BicycleDelayCase{"NoGreen", 0, 90, 100, 45.0},
        BicycleDelayCase{"NoCycle", 30, 0, 100, 0.0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SignalizedBicycle, ThroughLanesZeroGiveNoFiniteScore) {
    bike::BicycleIntersection a;
    a.num_through_lanes = 0;
    a.v_through = 300;
    const auto r = bike::analyze(a);
    EXPECT_FALSE(std::isfinite(r.f_v) || std::isfinite(r.los_score));
    EXPECT_EQ(r.los, LevelOfService::F);
    EXPECT_EQ(bike::analyze_signalized_bicycle(R"({"num_through_lanes":0,"v_through":300})"),
              R"({"capacity":0.0,"delay":0.0,"f_w":0.0,"f_v":null,"los_score":null,"los":"F"})");
}

// ---- reading the three configurations -----------------------------------------------------------

struct ConfigCase {
    const char* name;
    std::string (*call)(std::string_view);
    std::string text;
    std::string message;
};

std::ostream& operator<<(std::ostream& os, const ConfigCase& c) { return os << c.name; }

std::string two_stage_as_text(std::string_view text) { return std::to_string(ped::signalized_two_stage_crossing_delay(text)); }

class ConfigFailure : public ::testing::TestWithParam<ConfigCase> {};

TEST_P(ConfigFailure, FailsWithItsPrefixedMessage) {
    const auto& c = GetParam();
    EXPECT_EQ(error_of([&] { return c.call(c.text); }), c.message);
}

INSTANTIATE_TEST_SUITE_P(
    SignalizedModes, ConfigFailure,
    ::testing::Values(
        ConfigCase{"PedestrianDuplicate", ped::analyze_signalized_pedestrian, R"({"v_rtor":1,"v_rtor":1})",
                   "invalid pedestrian config: duplicate field `v_rtor` at line 1 column 20"},
        ConfigCase{"PedestrianNull", ped::analyze_signalized_pedestrian, R"({"num_rtci":null})",
                   "invalid pedestrian config: invalid type: null, expected f64 at line 1 column 16"},
        ConfigCase{"PedestrianTooLong", ped::analyze_signalized_pedestrian, "[1,2,3,4,5,6,7,8,9,10]",
                   "invalid pedestrian config: trailing characters at line 1 column 20"},
        ConfigCase{"PedestrianNotARecord", ped::analyze_signalized_pedestrian, "\"x\"",
                   "invalid pedestrian config: invalid type: string \"x\", expected struct PedestrianIntersection at "
                   "line 1 column 3"},
        ConfigCase{"BicycleString", bike::analyze_signalized_bicycle, R"({"v_left":"5"})",
                   "invalid bicycle config: invalid type: string \"5\", expected f64 at line 1 column 13"},
        ConfigCase{"BicycleTrailing", bike::analyze_signalized_bicycle, "{} {}",
                   "invalid bicycle config: trailing characters at line 1 column 4"},
        ConfigCase{"BicycleNotARecord", bike::analyze_signalized_bicycle, "true",
                   "invalid bicycle config: invalid type: boolean `true`, expected struct BicycleIntersection at line "
                   "1 column 4"},
        ConfigCase{"TwoStageBoolean", two_stage_as_text, R"({"walk_speed_fps":true})",
                   "invalid two-stage config: invalid type: boolean `true`, expected f64 at line 1 column 22"},
        ConfigCase{"TwoStageEmpty", two_stage_as_text, "", "invalid two-stage config: EOF while parsing a value at line 1 column 0"},
        ConfigCase{"TwoStageNotARecord", two_stage_as_text, "7",
                   "invalid two-stage config: invalid type: integer `7`, expected struct TwoStageCrossing at line 1 "
                   "column 1"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- two-stage crossing -------------------------------------------------------------------------

ped::TwoStageCrossing crossing(double cycle, double start_y) {
    ped::TwoStageCrossing x;
    x.cycle_length_s = cycle;
    x.walk_start_y_s = start_y;
    return x;
}

TEST(SignalizedTwoStage, DocumentedCases) {
    EXPECT_TRUE(std::isnan(ped::signalized_two_stage_crossing_delay("{}")));  // no cycle, no remainder
    // Walks together, no distance: only the first-stage wait, 91^2 / 200.
    EXPECT_DOUBLE_EQ(ped::two_stage_crossing_delay(crossing(100, 0)), 41.405);
    EXPECT_DOUBLE_EQ(ped::signalized_two_stage_crossing_delay(R"({"cycle_length_s":100})"), 41.405);
    // Second walk 30 s later: O = 30, W_r = 30, W_g = 25.5, p = 0.91.
    EXPECT_NEAR(ped::two_stage_crossing_delay(crossing(100, 30)), 41.405 + 0.91 * 30 + 0.09 * 25.5, kTol);
    EXPECT_NEAR(ped::two_stage_crossing_delay(crossing(100, -70)), 41.405 + 0.91 * 30 + 0.09 * 25.5, kTol);
    // No walking speed: no walking time, whatever the distance.
    auto x = crossing(100, 30);
    x.first_stage_distance_ft = 70;
    x.walk_speed_fps = 0;
    EXPECT_EQ(ped::two_stage_crossing_delay(x), ped::two_stage_crossing_delay(crossing(100, 30)));
    EXPECT_DOUBLE_EQ(ped::signalized_two_stage_crossing_delay("[100, 5, 5, 0, 3.5, 0, 30]"),
                     ped::two_stage_crossing_delay(crossing(100, 30)));
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
    double cycle, walk_x, walk_y, distance, start_x, start_y;
};

std::ostream& operator<<(std::ostream& os, const TwoStageCase& c) { return os << c.name; }

class TwoStageAgainstSimulation : public ::testing::TestWithParam<TwoStageCase> {};

TEST_P(TwoStageAgainstSimulation, AverageWaitMatches) {
    const auto& c = GetParam();
    ped::TwoStageCrossing x;
    x.cycle_length_s = c.cycle;
    x.walk_setting_x_s = c.walk_x;
    x.walk_setting_y_s = c.walk_y;
    x.first_stage_distance_ft = c.distance;
    x.walk_start_x_s = c.start_x;
    x.walk_start_y_s = c.start_y;
    const double delay = ped::two_stage_crossing_delay(x);
    EXPECT_NEAR(delay, simulated_delay(x), 1e-3);
    // Whole cycles added to either walk start change nothing.
    x.walk_start_x_s += 3 * c.cycle;
    x.walk_start_y_s -= 2 * c.cycle;
    EXPECT_NEAR(ped::two_stage_crossing_delay(x), delay, 1e-9);
}

// Each case reaches one arm of the refuge-wait equations (offset O against g_x, g_y and C).
INSTANTIATE_TEST_SUITE_P(
    SignalizedTwoStage, TwoStageAgainstSimulation,
    ::testing::Values(TwoStageCase{"SecondWalkInsideFirst", 90, 30, 5, 0, 0, 10},      // O < g_x, g_y + O < g_x
                      TwoStageCase{"SecondWalkOverlapsFirstEnd", 90, 10, 20, 0, 0, 5}, // O < g_x, g_y + O <= C
                      TwoStageCase{"SecondWalkWrapsEarly", 60, 25, 40, 0, 0, 20},      // O < g_x, g_y + O > C
                      TwoStageCase{"SecondWalkLater", 100, 5, 5, 0, 0, 30},            // O >= g_x, g_y + O < C
                      TwoStageCase{"SecondWalkWrapsLate", 80, 6, 10, 0, 0, 70},        // g_y + O in [C, g_x + C]
                      TwoStageCase{"SecondWalkWrapsPast", 80, 6, 40, 0, 0, 70},        // g_y + O > g_x + C
                      TwoStageCase{"WalkingBetweenStages", 120, 7, 7, 105, 15, 40},    // t = 30 s
                      TwoStageCase{"WalkStartsBackwards", 90, 7, 10, 35, 50, 10}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
