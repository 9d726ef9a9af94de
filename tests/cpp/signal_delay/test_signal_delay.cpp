// The Chapter 19 kernel that the signalized intersection, the interchange and urban street
// reliability share: what the chapters' own tests do not reach (lane counts above one, the
// opposing-flow policies, the initial queue at a vanishing flow and at no capacity, the carried
// queue), at values worked by hand from the HCM equations.
#include <gtest/gtest.h>

#include <cmath>

#include "../support/checks.hpp"
#include "hcm/common/vehicle_spacing.hpp"
#include "hcm/signal_delay/signal_delay.hpp"

using namespace testing_support;
namespace sd = hcm::signal_delay;

TEST(SignalDelayFactors, ParkingAndBusBlockageShareTheirLossAmongTheLanes) {
    EXPECT_DOUBLE_EQ(sd::parking_factor(2, 60), 0.8);     // (2 - 0.1 - 18 x 60 / 3600) / 2
    EXPECT_DOUBLE_EQ(sd::parking_factor(1, 60), 0.6);     // one lane carries the whole loss
    EXPECT_DOUBLE_EQ(sd::parking_factor(3, 400), 2.0 / 3.0);  // 180 maneuvers/h at most: (3 - 0.1 - 0.9) / 3
    EXPECT_DOUBLE_EQ(sd::bus_blockage_factor(2, 100), 0.8);  // (2 - 14.4 x 100 / 3600) / 2
    EXPECT_EQ(sd::bus_blockage_factor(1, 300), 0.05);         // 250 buses/h at most, then the floor
    EXPECT_DOUBLE_EQ(hcm::common::queued_vehicle_spacing_ft(10), 27.0);  // 25 x 0.9 + 0.45 x 10
}

TEST(SignalDelayPermittedLeft, AnUndefinedOpposingFlowFollowsThePolicy) {
    using sd::UndefinedOpposingFlow;
    const double none = sd::permitted_left_sat_flow(0.0, UndefinedOpposingFlow::Trickle);
    EXPECT_NEAR(none, 1439.870005578553, kTol);  // at 0.1 veh/h
    EXPECT_EQ(sd::permitted_left_sat_flow(kNaN, UndefinedOpposingFlow::Trickle), none);
    EXPECT_TRUE(std::isnan(sd::permitted_left_sat_flow(kNaN, UndefinedOpposingFlow::Propagates)));
    EXPECT_EQ(sd::permitted_left_sat_flow(-5.0, UndefinedOpposingFlow::Propagates), none);
}

TEST(SignalDelayIncremental, APeriodThatIsNotPositiveFollowsThePolicy) {
    using sd::WithoutPeriod;
    for (double period : {0.0, -0.25, kNaN}) {
        EXPECT_EQ(sd::incremental_delay(600, 500, 0.5, 1.0, period, WithoutPeriod::Zero), 0.0) << period;
        EXPECT_TRUE(std::isnan(sd::incremental_delay(600, 500, 0.5, 1.0, period, WithoutPeriod::Undefined))) << period;
    }
    // A capacity that is not a number keeps its incremental delay of 0.
    EXPECT_EQ(sd::incremental_delay(600, kNaN, 0.5, 1.0, 0.25), 0.0);
}

struct NoCapacityCase {
    double flow, capacity, period;
    double expected;
};

class SignalDelayWithoutCapacity : public ::testing::TestWithParam<NoCapacityCase> {};

// A flow without capacity is never served: its incremental delay is unbounded under either period
// policy, and its second-term queue with it. Without flow both are 0.
TEST_P(SignalDelayWithoutCapacity, DelaysAFlowWithoutBound) {
    const NoCapacityCase& c = GetParam();
    for (sd::WithoutPeriod policy : {sd::WithoutPeriod::Zero, sd::WithoutPeriod::Undefined}) {
        const double d2 = sd::incremental_delay(c.flow, c.capacity, 0.5, 1.0, c.period, policy);
        EXPECT_EQ(d2, c.expected);
        EXPECT_EQ(sd::second_term_queue(c.capacity, 1.0, d2), c.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    FlowAndCapacity, SignalDelayWithoutCapacity,
    ::testing::Values(NoCapacityCase{600, 0.0, 0.25, kInf}, NoCapacityCase{600, -10.0, 0.25, kInf},
                      NoCapacityCase{1e-12, 0.0, 0.25, kInf}, NoCapacityCase{600, 0.0, 0.0, kInf},
                      NoCapacityCase{600, 0.0, kNaN, kInf}, NoCapacityCase{0.0, 0.0, 0.25, 0.0},
                      NoCapacityCase{-5.0, 0.0, 0.25, 0.0}, NoCapacityCase{kNaN, 0.0, 0.25, 0.0}));

TEST(SignalDelayInitialQueue, FactoredFormsAtAVanishingFlowAndWithoutCapacity) {
    // Q_b = 5, c = 1,800, T = 0.25, v = 3e-15: the queue clears at t_A = Q_b / (c - v), and
    // d3 = 3600 / T x Q_b^2 / (2 c (c - v)) = 14,400 x 25 / 6,480,000 (the printed bracket's
    // cancellation gives 4.16 s here).
    EXPECT_NEAR(sd::initial_queue_delay(5, 3e-15, 1800, 0.25), 0.05555555555555555, 1e-15);
    // Without capacity a carried queue never clears: the delay is enormous, never NaN.
    const double stuck = sd::initial_queue_delay(5, 600, 0.0, 0.25);
    EXPECT_GT(stuck, 1e12);
    EXPECT_TRUE(std::isfinite(stuck));
    EXPECT_EQ(sd::initial_queue_delay(5, 0.0, 0.0, 0.25), 0.0);  // no flow: nobody is delayed
}

TEST(SignalDelayInitialQueue, ZeroCapacityFollowsThePolicy) {
    using sd::ZeroCapacity;
    // Floored at 1e-9 veh/h: Q_eo = T v, d3 = 3600 / (v T) x (Q_b Q_eo / c + T Q_b), finite.
    const double floored = 3600.0 / 0.25 * (5.0 * (0.25 * (600.0 - 1e-9)) / 1e-9 + 0.25 * 5.0) / 600.0;
    for (double capacity : {0.0, -10.0, 1e-12}) {
        EXPECT_NEAR(sd::initial_queue_delay(5, 600, capacity, 0.25, ZeroCapacity::Floor), floored, floored * 1e-12)
            << capacity;
    }
    // Unbounded: a queue that never clears is delayed without bound.
    for (double capacity : {0.0, -10.0}) {
        EXPECT_EQ(sd::initial_queue_delay(5, 600, capacity, 0.25, ZeroCapacity::Unbounded), kInf) << capacity;
    }
    // Without a queue or flow there is no one to delay, whatever the capacity.
    EXPECT_EQ(sd::initial_queue_delay(0, 600, 0.0, 0.25, ZeroCapacity::Unbounded), 0.0);
    EXPECT_EQ(sd::initial_queue_delay(5, 0, 0.0, 0.25, ZeroCapacity::Unbounded), 0.0);
    // Above capacity Q_eo = T (v - c) = 25 and d3 = 3600 / T x (Q_b Q_eo / c + T Q_b) / v
    // = 14,400 x (125 / 500 + 1.25) / 600 = 36 s under either policy.
    for (ZeroCapacity policy : {ZeroCapacity::Floor, ZeroCapacity::Unbounded})
        EXPECT_NEAR(sd::initial_queue_delay(5, 600, 500, 0.25, policy), 36.0, 1e-12);
    // Any other capacity gives both policies the same delay, a tiny one the floored value.
    for (double capacity : {500.0, 1e-12}) {
        EXPECT_EQ(sd::initial_queue_delay(80, 300, capacity, 0.25, ZeroCapacity::Unbounded),
                  sd::initial_queue_delay(80, 300, capacity, 0.25, ZeroCapacity::Floor))
            << capacity;
    }
}

struct CarriedCase {
    double initial, flow, capacity, expected;
};

class SignalDelayCarriedQueue : public ::testing::TestWithParam<CarriedCase> {};

TEST_P(SignalDelayCarriedQueue, IsTheQueueAtTheEndOfThePeriod) {
    const CarriedCase& c = GetParam();
    EXPECT_NEAR(sd::carried_queue(c.initial, c.flow, c.capacity, 0.25), c.expected, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(
    HandWorked, SignalDelayCarriedQueue,
    ::testing::Values(CarriedCase{5, 300, 500, 0.0},     // cleared after 5 / 200 h
                      CarriedCase{80, 300, 500, 30.0},   // 80 - 0.25 x 200
                      CarriedCase{5, 600, 500, 30.0},    // 5 + 0.25 x 100
                      CarriedCase{0, 600, 500, 25.0},    // a queue formed in the period
                      CarriedCase{5, 0, 500, 5.0},       // no flow: carried as it was
                      CarriedCase{5, 600, 0, 155.0}));   // no capacity: 5 + 0.25 x 600

TEST(SignalDelayQueue, FirstTermQueueWithoutFlowGreenOrSaturationFlow) {
    EXPECT_EQ(sd::first_term_queue(0.0, 900, 1800, 45, 90, 0.5, 35), 0.0);
    EXPECT_EQ(sd::first_term_queue(400, 900, 1800, 0.0, 90, 0.5, 35), 0.0);
    EXPECT_EQ(sd::first_term_queue(400, 900, 0.0, 45, 90, 0.5, 35), 0.0);
    // Every arrival on red (P = 0) of a 90 s cycle with 45 s of green, the discharge lag of 35 mi/h
    // (11.2 s) within x g = 20 s: the queue of the red, q_r r = 90 x 400 / 3600 = 10 veh.
    EXPECT_NEAR(sd::first_term_queue(400, 900, 1800, 45, 90, 0.0, 35), 10.0, 1e-12);
}
