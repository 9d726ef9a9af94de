// The unsignalized-movement kernel (gap acceptance, control delay, 95th-percentile queue) and the
// delay-to-LOS tables, at values worked by hand from the HCM equations and at their limits.
#include <gtest/gtest.h>

#include <cmath>

#include "../support/checks.hpp"
#include "hcm/common/delay_los.hpp"
#include "hcm/unsignalized/unsignalized.hpp"

using namespace testing_support;
using hcm::common::LevelOfService;
namespace un = hcm::unsignalized;
using un::DecelerationTerm;
using un::NoConflictingFlow;

TEST(UnsignalizedCapacity, GapAcceptanceAtAHandWorkedFlow) {
    // 500 e^(-500 x 6.5 / 3600) / (1 - e^(-500 x 3.3 / 3600)) = 500 x 0.40546 / 0.36770.
    for (NoConflictingFlow none :
         {NoConflictingFlow::FollowUpRate, NoConflictingFlow::BaseSaturationFlow, NoConflictingFlow::TrickleFlow})
        EXPECT_NEAR(un::potential_capacity(500, 6.5, 3.3, none), 551.3765243632587, kTol);
}

struct NoFlowCase {
    NoConflictingFlow none;
    double conflicting;
    double expected;  // NaN: not a number
};

class UnsignalizedNoConflictingFlow : public ::testing::TestWithParam<NoFlowCase> {};

TEST_P(UnsignalizedNoConflictingFlow, TakesThePolicysLimit) {
    const NoFlowCase& c = GetParam();
    const double cp = un::potential_capacity(c.conflicting, 4.5, 2.5, c.none);
    if (std::isnan(c.expected)) {
        EXPECT_TRUE(std::isnan(cp));
    } else {
        EXPECT_NEAR(cp, c.expected, kTol) << c.conflicting;
    }
}

// 3600 / 2.5 = 1440; at the trickle 0.1 e^(-0.000125) / (1 - e^(-0.0000694)) = 1439.87.
INSTANTIATE_TEST_SUITE_P(
    Policies, UnsignalizedNoConflictingFlow,
    ::testing::Values(NoFlowCase{NoConflictingFlow::FollowUpRate, 0.0, 1440.0},
                      NoFlowCase{NoConflictingFlow::FollowUpRate, -20.0, 1440.0},
                      NoFlowCase{NoConflictingFlow::FollowUpRate, kNaN, 1440.0},
                      NoFlowCase{NoConflictingFlow::BaseSaturationFlow, 0.0, 1800.0},
                      NoFlowCase{NoConflictingFlow::BaseSaturationFlow, -20.0, 1800.0},
                      NoFlowCase{NoConflictingFlow::BaseSaturationFlow, kNaN, 1800.0},
                      NoFlowCase{NoConflictingFlow::BaseSaturationFlow, 1e-14, 1440.0},  // a flow takes the formula
                      NoFlowCase{NoConflictingFlow::TrickleFlow, 0.0, 1439.870005578553},
                      NoFlowCase{NoConflictingFlow::TrickleFlow, -20.0, 1439.870005578553},
                      NoFlowCase{NoConflictingFlow::TrickleFlow, kNaN, kNaN}));

// As v_c -> 0 the formula tends to 3600 / t_f, 1 + v_c (t_f / 2 - t_c) / 3600 times it to first
// order, under every policy (the policies differ only at v_c <= 0), without the cancellation of
// 1 - e^(-v_c t_f / 3600).
TEST(UnsignalizedCapacity, GapAcceptanceTendsToTheFollowUpRate) {
    for (NoConflictingFlow none :
         {NoConflictingFlow::FollowUpRate, NoConflictingFlow::BaseSaturationFlow, NoConflictingFlow::TrickleFlow}) {
        for (double v_c : {1e-6, 1e-10, 1e-12, 1e-14, 1e-100, 1e-300}) {
            const double first_order = 1440.0 * (1.0 + v_c * (1.25 - 4.5) / 3600.0);
            EXPECT_NEAR(un::potential_capacity(v_c, 4.5, 2.5, none) / first_order, 1.0, 1e-14) << v_c;
        }
    }
}

TEST(UnsignalizedDelay, ControlDelayAndQueueAtHalfCapacity) {
    // c = 600 veh/h, v = 300, T = 0.25 h: h = 6 s, x = 0.5.
    // 225 [-0.5 + sqrt(0.25 + 3 / 112.5)] = 5.84800; Q95 = 225 [-0.5 + sqrt(0.25 + 3 / 37.5)] / 6.
    EXPECT_NEAR(un::control_delay(0.5, 6.0, 6.0, 0.25, DecelerationTerm::Full), 16.84800378544625, kTol);
    EXPECT_NEAR(un::control_delay(0.5, 6.0, 6.0, 0.25, DecelerationTerm::UpToCapacity), 14.348003785446249, kTol);
    EXPECT_NEAR(un::queue_95(0.5, 600.0, 0.25), 2.792109924517607, kTol);
    // All-way STOP: the service time in front is the headway less the move-up time.
    EXPECT_NEAR(un::control_delay(0.5, 6.0, 4.0, 0.25, DecelerationTerm::Full), 14.84800378544625, kTol);
}

TEST(UnsignalizedDelay, LimitsOfNoFlowAndNoCapacity) {
    // No flow: the service time and the deceleration term of a vehicle that does not stop.
    EXPECT_EQ(un::control_delay(0.0, 6.0, 6.0, 0.25, DecelerationTerm::Full), 11.0);
    EXPECT_EQ(un::control_delay(0.0, 6.0, 6.0, 0.25, DecelerationTerm::UpToCapacity), 6.0);
    EXPECT_EQ(un::queue_95(0.0, 600.0, 0.25), 0.0);
    // Above capacity the deceleration term stops growing: 5 s at x = 1.2 either way.
    EXPECT_EQ(un::control_delay(1.2, 7.2, 7.2, 0.25, DecelerationTerm::Full),
              un::control_delay(1.2, 7.2, 7.2, 0.25, DecelerationTerm::UpToCapacity));
    // No capacity with demand: a movement that never clears.
    EXPECT_EQ(un::control_delay(kInf, kInf, kInf, 0.25, DecelerationTerm::Full), kInf);
    EXPECT_EQ(un::control_delay(kInf, kInf, kInf, 0.25, DecelerationTerm::UpToCapacity), kInf);
}

TEST(DelayLos, TablesAtTheirBoundsAndTheOverCapacityRule) {
    using hcm::common::los_of_delay;
    const auto& un_table = hcm::common::UNSIGNALIZED_DELAY_LOS_MAX;
    const auto& sig_table = hcm::common::SIGNALIZED_DELAY_LOS_MAX;
    const std::array<std::pair<double, LevelOfService>, 6> unsignalized = {
        {{10.0, LevelOfService::A}, {15.0, LevelOfService::B}, {25.0, LevelOfService::C},
         {35.0, LevelOfService::D}, {50.0, LevelOfService::E}, {50.01, LevelOfService::F}}};
    for (auto [d, los] : unsignalized) EXPECT_EQ(los_of_delay(un_table, d), los) << d;
    const std::array<std::pair<double, LevelOfService>, 6> signalized = {
        {{10.0, LevelOfService::A}, {20.0, LevelOfService::B}, {35.0, LevelOfService::C},
         {55.0, LevelOfService::D}, {80.0, LevelOfService::E}, {80.01, LevelOfService::F}}};
    for (auto [d, los] : signalized) EXPECT_EQ(los_of_delay(sig_table, d), los) << d;
    EXPECT_EQ(los_of_delay(un_table, kNaN), LevelOfService::F);
    EXPECT_EQ(los_of_delay(un_table, 3.0, true), LevelOfService::F);  // over capacity whatever the delay
    EXPECT_EQ(los_of_delay(sig_table, 3.0, false), LevelOfService::A);
}
