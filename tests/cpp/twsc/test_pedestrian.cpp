#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "base/cancel.hpp"
#include "hcm/common/error.hpp"
#include "hcm/twsc/pedestrian.hpp"

using namespace hcm::twsc::pedestrian;
using hcm::common::LevelOfService;

namespace {

PedestrianCrossing one_stage(double length_ft, double flow_veh_h, std::uint32_t lanes = 2) {
    PedestrianCrossing c;
    c.stages = {{length_ft, flow_veh_h, lanes}};
    return c;
}

TEST(TwscPedestrian, NoStages) {
    const PedestrianCrossingAnalysis a = analyze(PedestrianCrossing{});
    EXPECT_TRUE(a.stages.empty());
    EXPECT_EQ(a.delay, 0.0);
    EXPECT_EQ(a.delay_interpretation, "Usually no conflicting traffic");
    EXPECT_EQ(a.prob_non_delayed, 1.0);
    EXPECT_DOUBLE_EQ(a.odds_satisfied_no_delay, std::exp(0.9951));
    EXPECT_NEAR(a.proportion_dissatisfied, 1 / (1 + std::exp(0.9951)), 1e-12);  // about 0.270
    EXPECT_EQ(a.los, LevelOfService::D);
}

TEST(TwscPedestrian, OneStageWithoutYielding) {
    const PedestrianStageResult s = analyze_stage(one_stage(24, 600), {24, 600, 2});
    EXPECT_NEAR(s.critical_headway, 24 / 3.5 + 3, 1e-12);  // 9.857 s
    EXPECT_NEAR(s.prob_blocked_lane, 0.5602, 1e-4);
    EXPECT_NEAR(s.prob_delayed_crossing, 0.8066, 1e-4);
    EXPECT_NEAR(s.gap_delay, 15.16, 0.005);
    EXPECT_NEAR(s.average_short_headway, 3.636, 5e-4);
    EXPECT_EQ(s.yield_events, 5u);
    EXPECT_EQ(s.prob_yield, std::vector<double>(6, 0.0));
    EXPECT_NEAR(s.delay, s.gap_delay, 1e-12);
    EXPECT_EQ(s.platoon_size, 1.0);
    EXPECT_EQ(s.group_critical_headway, s.critical_headway);
}

// No conflicting traffic counts as 0.0001 veh/s: over one lane with t_c = 10.5 / 3.5 + 3 = 6 s,
// x = v t_c = 6e-4, P_b = P_d = 1 - e^-x and d_g = (e^x - x - 1) / v, to every digit (the printed
// forms kept only nine digits of d_g).
TEST(TwscPedestrian, TheLeastFlowKeepsEveryDigitOfTheGapDelay) {
    const PedestrianStageResult s = analyze_stage(one_stage(10.5, 0, 1), {10.5, 0, 1});
    EXPECT_NEAR(s.prob_delayed_crossing, 5.998200359946006e-4, 1e-17);
    EXPECT_NEAR(s.gap_delay, 1.800360054006481e-3, 2e-15);
    EXPECT_NEAR(s.gap_delay_when_delayed, 3.001500360055806, 5e-12);
}

TEST(TwscPedestrian, YieldingMotoristsShortenTheWait) {
    PedestrianCrossing c = one_stage(24, 600);
    c.motorist_yield_rate = 0.5;
    const PedestrianStageResult s = analyze_stage(c, c.stages[0]);
    const double p_b = s.prob_blocked_lane, p_d = s.prob_delayed_crossing;
    // Both blocked lanes must yield: 2 P_b (1 - P_b) M_y + P_b^2 M_y^2 over P_d.
    const double y = (2 * p_b * (1 - p_b) * 0.5 + p_b * p_b * 0.25) / p_d;
    ASSERT_EQ(s.prob_yield.size(), 6u);
    EXPECT_NEAR(s.prob_yield[1], y * p_d, 1e-12);
    EXPECT_NEAR(s.prob_yield[2], y * (p_d - s.prob_yield[1]), 1e-12);
    EXPECT_LT(s.delay, s.gap_delay);
    const PedestrianCrossingAnalysis a = analyze(c);
    EXPECT_EQ(a.prob_yield_first_event, s.prob_yield[1]);
    EXPECT_NEAR(a.prob_non_delayed, (1 - p_d) + s.prob_yield[1] * p_d, 1e-12);
}

// Inputs that the model guards rather than refuses, each equal to a plain case.
struct GuardCase {
    const char* name;
    void (*odd)(PedestrianCrossing&);
    void (*plain)(PedestrianCrossing&);
};

class TwscPedestrianGuards : public ::testing::TestWithParam<GuardCase> {};

TEST_P(TwscPedestrianGuards, BehaveAsThePlainInput) {
    PedestrianCrossing odd = one_stage(24, 600), plain = one_stage(24, 600);
    odd.motorist_yield_rate = plain.motorist_yield_rate = 0.3;
    GetParam().odd(odd);
    GetParam().plain(plain);
    const PedestrianCrossingAnalysis a = analyze(odd), b = analyze(plain);
    EXPECT_EQ(a.delay, b.delay);
    EXPECT_EQ(a.proportion_dissatisfied, b.proportion_dissatisfied);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TwscPedestrianGuards,
    ::testing::Values(
        GuardCase{"NoFlowIsTheMinimumFlow", [](PedestrianCrossing& c) { c.stages[0].conflicting_flow_veh_h = 0; },
                  [](PedestrianCrossing& c) { c.stages[0].conflicting_flow_veh_h = 0.36; }},
        GuardCase{"ZeroLanesIsOneLane", [](PedestrianCrossing& c) { c.stages[0].through_lanes = 0; },
                  [](PedestrianCrossing& c) { c.stages[0].through_lanes = 1; }},
        GuardCase{"NoWalkingSpeedDropsTheWalk", [](PedestrianCrossing& c) { c.walk_speed_fps = 0; },
                  [](PedestrianCrossing& c) { c.stages[0].crossing_length_ft = 0; }},
        GuardCase{"YieldRateAboveOne", [](PedestrianCrossing& c) { c.motorist_yield_rate = 1.5; },
                  [](PedestrianCrossing& c) { c.motorist_yield_rate = 0.9999; }},
        GuardCase{"NegativeYieldRate", [](PedestrianCrossing& c) { c.motorist_yield_rate = -0.2; },
                  [](PedestrianCrossing& c) { c.motorist_yield_rate = 0; }},
        GuardCase{"PlatoonsWithoutACrosswalkWidth", [](PedestrianCrossing& c) { c.pedestrian_platooning = true; },
                  [](PedestrianCrossing&) {}},
        GuardCase{"AadtBeforePeakHourVolume",
                  [](PedestrianCrossing& c) {
                      c.aadt_veh = 8000;
                      c.peak_hour_volume_veh_h = 900;
                      c.k_factor = 0.09;
                  },
                  [](PedestrianCrossing& c) {
                      c.peak_hour_volume_veh_h = 720;
                      c.k_factor = 0.09;
                  }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TwscPedestrian, PlatoonsWidenTheGroupHeadway) {
    PedestrianCrossing c = one_stage(24, 600);
    c.pedestrian_platooning = true;
    c.crosswalk_width_ft = 4;
    c.pedestrian_flow_p_h = 900;
    const PedestrianStageResult s = analyze_stage(c, c.stages[0]);
    EXPECT_GT(s.platoon_size, 1.0);
    EXPECT_DOUBLE_EQ(s.spatial_distribution, 8 * s.platoon_size / 4);
    EXPECT_DOUBLE_EQ(s.group_critical_headway, s.critical_headway + 2 * (s.spatial_distribution - 1));
}

TEST(TwscPedestrian, CrossingSatisfactionAndBounds) {
    PedestrianCrossing c;
    c.aadt_veh = 5000;
    c.has_rrfb = c.has_marked_crosswalk = c.has_median_refuge = true;
    const PedestrianCrossingAnalysis a = analyze(c);
    EXPECT_DOUBLE_EQ(a.odds_satisfied_no_delay, std::exp(-0.0438 * 5 + 0.9951 + 1.9572 + 0.9843 + 1.549));
    EXPECT_DOUBLE_EQ(a.odds_satisfied_delay, std::exp(-0.0438 * 5 + 0.9951 + 1.9572 + 0.9843 + 1.549 - 1.9043));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_STREQ(interpret_delay(45), "Delay approaches tolerance level, risk-taking behavior likely");
    EXPECT_STREQ(interpret_delay(45.01), "Delay exceeds tolerance level, high likelihood of pedestrian risk taking");
    EXPECT_STREQ(interpret_delay(nan), "Delay exceeds tolerance level, high likelihood of pedestrian risk taking");
    EXPECT_STREQ(interpret_delay(5), "Usually no conflicting traffic");
    EXPECT_EQ(los_of_dissatisfied(0.0499), LevelOfService::A);
    EXPECT_EQ(los_of_dissatisfied(0.05), LevelOfService::B);
    EXPECT_EQ(los_of_dissatisfied(0.33), LevelOfService::E);
    EXPECT_EQ(los_of_dissatisfied(0.5), LevelOfService::F);
    EXPECT_EQ(los_of_dissatisfied(nan), LevelOfService::F);
}

TEST(TwscPedestrian, AbsurdCrossingsAreRefusedOrBounded) {
    // A 240 ft crossing of 1,600 veh/h waits for more gaps than an unsigned count holds.
    try {
        analyze(one_stage(240, 1600));
        FAIL() << "no error";
    } catch (const hcm::Error& e) {
        EXPECT_STREQ(e.what(), "too many yielding events: 4294967295");
    }
    // Lanes beyond the binomial sum's range: the closed form, finite and continuous with it.
    PedestrianCrossing many = one_stage(24, 600, 1000);
    many.motorist_yield_rate = 0.5;
    const double at_limit = analyze(many).delay;
    many.stages[0].through_lanes = 1001;
    EXPECT_NEAR(analyze(many).delay, at_limit, 1e-3 * at_limit);
    many.stages[0].through_lanes = 4294967295u;
    EXPECT_TRUE(std::isfinite(analyze(many).delay));
}

TEST(TwscPedestrian, CrossingBoundsItsYieldingEventsOverAllStages) {
    // A stage of 97,547 events, then stages of one event each: up to the bound the crossing lists
    // every event; one more event, whatever stage it comes from, and it is refused.
    PedestrianCrossing c = one_stage(86, 1500);
    const PedestrianCrossingStage one_event{12, 300, 2};
    ASSERT_EQ(analyze_stage(c, c.stages[0]).yield_events, 97'547u);
    ASSERT_EQ(analyze_stage(c, one_event).yield_events, 1u);
    c.stages.resize(1 + MAX_YIELD_EVENTS - 97'547, one_event);
    std::uint64_t listed = 0;
    for (const PedestrianStageResult& s : analyze(c).stages) listed += s.prob_yield.size() - 1;
    EXPECT_EQ(listed, MAX_YIELD_EVENTS);
    c.stages.push_back(one_event);
    try {
        analyze(c);
        FAIL() << "no error";
    } catch (const hcm::Error& e) {
        EXPECT_STREQ(e.what(), "too many yielding events over the crossing's stages: 100001 by stage 2455");
    }
}

TEST(TwscPedestrian, CrossingBoundsItsStages) {
    // Stages without yielding events still list their own results: their number is bounded too,
    // and checked before any stage is analysed.
    PedestrianCrossing c = one_stage(12, 300);
    c.startup_clearance_s = 0.0;
    c.stages[0].crossing_length_ft = 0.0;
    ASSERT_EQ(analyze_stage(c, c.stages[0]).yield_events, 0u);
    c.stages.resize(MAX_CROSSING_STAGES, c.stages[0]);
    EXPECT_EQ(analyze(c).stages.size(), MAX_CROSSING_STAGES);
    c.stages.push_back(c.stages[0]);
    try {
        analyze(c);
        FAIL() << "no error";
    } catch (const hcm::Error& e) {
        EXPECT_STREQ(e.what(), "too many stages: 100001");
    }
}

int polls = 0;
int stop_at = 0;  // the poll that stops the call (0: none)
bool count_and_stop() { return ++polls == stop_at; }

TEST(TwscPedestrian, CrossingPollsForCancellationBeforeEachStage) {
    PedestrianCrossing c = one_stage(24, 600);
    c.stages.resize(3, c.stages[0]);
    base::CancelScope scope(count_and_stop);
    analyze(c);
    EXPECT_EQ(polls, 3);
    polls = 0;
    stop_at = 3;
    EXPECT_THROW(analyze(c), base::Cancelled);
}

TEST(TwscPedestrian, JsonInAndOut) {
    const std::string out = analyze_twsc_pedestrian(R"({"stages": [[24, 600]], "motorist_yield_rate": 0.2})");
    EXPECT_EQ(out.rfind(R"({"stages":[{"critical_headway":9.857142857142858,"platoon_size":1.0,)", 0), 0u);
    EXPECT_NE(out.find(R"("yield_events":5,"prob_yield":[0.0,)"), std::string::npos);
    EXPECT_EQ(out.substr(out.size() - 10), R"("los":"F"})");
    auto error = [](const char* text) {
        try {
            analyze_twsc_pedestrian(text);
        } catch (const hcm::Error& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(error(R"({"stages": [{"through_lanes": "2"}]})"),
              "invalid pedestrian crossing config: invalid type: string \"2\", expected u32 at line 1 column 33");
    EXPECT_EQ(error(R"({"stages": 3})"),
              "invalid pedestrian crossing config: invalid type: integer `3`, expected a sequence at line 1 column 12");
    EXPECT_EQ(error(R"({"stages": [true]})"), "invalid pedestrian crossing config: invalid type: boolean `true`, "
                                              "expected struct PedestrianCrossingStage at line 1 column 16");
    EXPECT_EQ(error("{} x"), "invalid pedestrian crossing config: trailing characters at line 1 column 4");
}

}  // namespace
