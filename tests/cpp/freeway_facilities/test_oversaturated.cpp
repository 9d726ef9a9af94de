#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "../support/checks.hpp"
#include "hcm/freeway_facilities/oversaturated.hpp"

using namespace hcm::freeway_facilities::oversaturated;
using testing_support::kNaN;

namespace {

// ---- Step histories --------------------------------------------------------------------------

// A history of two nodes whose steps hold v at node 0 and 10 v at node 1 (in every field but the
// capacity, which holds -v).
StepHistory history_of(std::initializer_list<double> values) {
    StepHistory h(2);
    for (double v : values) {
        h.current()[0] = NodeStep{v, v, v, v, -v};
        h.current()[1] = NodeStep{10 * v, 10 * v, 10 * v, 10 * v, -10 * v};
        h.end_step();
    }
    return h;
}

TEST(StepHistory, LagInterpolatesBetweenSteps) {
    // x = m - lag is a position counted from 1 at the oldest row; lag w reads w steps before
    // the last row, lag 0 the last row itself.
    const auto h = history_of({10.0, 20.0, 30.0, 40.0});
    EXPECT_DOUBLE_EQ(h.at_lag(0.0)->at(0, &NodeStep::storage_output), 40.0);
    EXPECT_DOUBLE_EQ(h.at_lag(1.0)->at(0, &NodeStep::ramp_output), 30.0);
    EXPECT_DOUBLE_EQ(h.at_lag(3.0)->at(1, &NodeStep::front_output), 100.0);
    EXPECT_DOUBLE_EQ(h.at_lag(1.5)->at(0, &NodeStep::off_ramp_flow), 25.0);
    EXPECT_DOUBLE_EQ(h.at_lag(2.75)->at(1, &NodeStep::capacity), -125.0);
    EXPECT_EQ(h.last()[1].storage_output, 400.0);
}

TEST(StepHistory, LookupsOutsideTheHistoryFail) {
    StepHistory empty(2);
    EXPECT_FALSE(empty.at_lag(1.0));
    EXPECT_EQ(empty.last(), nullptr);
    const auto h = history_of({1.0, 2.0, 3.0});
    EXPECT_FALSE(h.at_lag(3.5));  // x = -0.5 < 1: before the oldest row
    EXPECT_TRUE(h.at_lag(2.0));
    EXPECT_FALSE(h.at_lag(-0.5));  // negative lag: after the last row
    EXPECT_FALSE(h.at_lag(-1e300));
    EXPECT_FALSE(h.at_lag(kNaN));
}

TEST(StepHistory, KeepsTheMostRecent240Steps) {
    StepHistory h(2);
    for (int k = 0; k < 300; ++k) {
        h.current()[0].storage_output = k;
        h.current()[1].storage_output = -k;
        h.end_step();
    }
    EXPECT_EQ(h.size(), 240u);
    EXPECT_DOUBLE_EQ(h.at_lag(0.0)->at(0, &NodeStep::storage_output), 299.0);
    EXPECT_DOUBLE_EQ(h.at_lag(239.0)->at(0, &NodeStep::storage_output), 60.0);
    EXPECT_DOUBLE_EQ(h.at_lag(239.0)->at(1, &NodeStep::storage_output), -60.0);
    EXPECT_FALSE(h.at_lag(240.5));
}

// ---- Expected demand and step counts ------------------------------------------------------------

TEST(ExpectedDemand, PropagatesAndCapsAtCapacity) {
    const auto ed = OversaturatedEngine::expected_demand({5000, 4000, 6000}, {0, 500, 0, 0}, {0, 0, 300, 0}, 4500);
    ASSERT_EQ(ed.size(), 3u);
    EXPECT_DOUBLE_EQ(ed[0], 4500);
    EXPECT_DOUBLE_EQ(ed[1], 4000);  // 5000 capped at 4000
    EXPECT_DOUBLE_EQ(ed[2], 3700);
    EXPECT_TRUE(OversaturatedEngine::expected_demand({}, {0}, {0}, 100).empty());
    // An off-ramp takes no more than arrives.
    const auto short_of = OversaturatedEngine::expected_demand({5000, 5000}, {0, 0, 0}, {0, 600, 0}, 500);
    EXPECT_DOUBLE_EQ(short_of[1], 0.0);
}

struct StepsCase {
    double time_step_s;
    std::uint32_t steps;
};
class StepsPerPeriod : public ::testing::TestWithParam<StepsCase> {};
TEST_P(StepsPerPeriod, RoundsHalfAwayFromZero) { EXPECT_EQ(steps_per_period(GetParam().time_step_s), GetParam().steps); }
INSTANTIATE_TEST_SUITE_P(Engine, StepsPerPeriod,
                         ::testing::Values(StepsCase{15, 60}, StepsCase{7, 129}, StepsCase{1800, 1}, StepsCase{360, 3},
                                           StepsCase{0.25, 3600}, StepsCase{-15, 0}));

// ---- run_period on small cases checked by hand ----------------------------------------------------

// Two or three 1-mi segments, 300-s steps (3 per period, 12 per hour), no heavy vehicles.
EngineSetup small_setup(std::size_t n, double lanes) {
    EngineSetup s;
    s.length_mi.assign(n, 1.0);
    s.lanes.assign(n, lanes);
    s.f_hv = 1.0;
    s.jam_density_pc = 190.0;
    s.queue_discharge_drop = 0.1;
    s.time_step_s = 300.0;
    return s;
}

OversatPeriodInput plain_input(std::size_t n, double capacity, double mainline, double background) {
    OversatPeriodInput in;
    in.capacity_veh_h.assign(n, capacity);
    in.segment_demand_veh_h.assign(n, mainline);
    in.on_ramp_demand_veh_h.assign(n + 1, 0.0);
    in.off_ramp_demand_veh_h.assign(n + 1, 0.0);
    in.on_ramp_capacity_veh_h.assign(n + 1, 0.0);
    in.ramp_meter_rate_veh_h.assign(n + 1, std::nullopt);
    in.background_density.assign(n, background);
    in.diverge_split.assign(n + 1, 0.0);
    in.previous_diverge_split.assign(n + 1, 0.0);
    in.front_clearing.assign(n, false);
    in.mainline_demand_veh_h = mainline;
    return in;
}

// Entry demand 3600 veh/h (300 veh/step) against 2400 veh/h (200 veh/step): the entry queue grows
// 100, 220, 340 veh; from the second step the first segment discharges at 200 x 0.9 = 180.
// With no demand in the next period the queue drains in two steps (180 then 160 veh).
TEST(RunPeriod, EntryQueueBuildsAndDrains) {
    OversaturatedEngine engine(small_setup(2, 2.0));
    auto in = plain_input(2, 2400.0, 3600.0, 20.0);
    const auto first = engine.run_period(in);
    EXPECT_DOUBLE_EQ(first.unserved_entry_veh, 340.0);
    EXPECT_DOUBLE_EQ(first.flow_veh_h[0], 4.0 * (200 + 180 + 180));
    EXPECT_DOUBLE_EQ(first.flow_veh_h[1], 2240.0);
    EXPECT_DOUBLE_EQ(first.density_veh[0], 20.0);  // nothing piles up on the segments
    EXPECT_FALSE(first.queued[0]);
    EXPECT_FALSE(first.queued[1]);
    EXPECT_DOUBLE_EQ(first.queue_length_ft[0], 0.0);

    in.mainline_demand_veh_h = 0.0;
    in.segment_demand_veh_h.assign(2, 0.0);
    const auto second = engine.run_period(in);
    EXPECT_DOUBLE_EQ(second.unserved_entry_veh, 0.0);
    EXPECT_DOUBLE_EQ(second.flow_veh_h[0], 4.0 * (180 + 160 + 0));
    EXPECT_DOUBLE_EQ(second.flow_veh_h[1], 1360.0);
}

// A 1200 veh/h bottleneck below a 2400 veh/h segment: the upstream segment queues, the bottleneck
// discharges at 100 x 0.9 = 90 veh/step once the queue is there, and storage limits the inflow.
TEST(RunPeriod, BottleneckQueueSpillsIntoTheUpstreamSegment) {
    OversaturatedEngine engine(small_setup(2, 2.0));
    auto in = plain_input(2, 2400.0, 2400.0, 20.0);
    in.capacity_veh_h[1] = 1200.0;
    const auto out = engine.run_period(in);
    EXPECT_TRUE(out.queued[0]);
    EXPECT_FALSE(out.queued[1]);
    EXPECT_DOUBLE_EQ(out.flow_veh_h[0], 4.0 * (100 + 90 + 90));
    EXPECT_DOUBLE_EQ(out.flow_veh_h[1], 1120.0);
    // Vehicles on segment 0 after the steps: 140, 245, 249.5 (over 2 lanes of 1 mi).
    EXPECT_DOUBLE_EQ(out.density_veh[0], (140.0 + 245.0 + 249.5) / 3.0 / 2.0);
    EXPECT_DOUBLE_EQ(out.unserved_entry_veh, 110.5);
    // Queue of 209.5 veh at (124.75 - 20) veh/mi/ln over 2 lanes: exactly the 1-mi segment.
    EXPECT_DOUBLE_EQ(out.queue_length_ft[0], 5280.0);
    EXPECT_DOUBLE_EQ(out.queue_length_ft[1], 0.0);
    EXPECT_DOUBLE_EQ(engine.unserved_veh()[0], 209.5);
}

TEST(RunPeriod, QueueLengthNeverExceedsTheSegment) {
    OversaturatedEngine engine(small_setup(2, 2.0));
    auto in = plain_input(2, 2400.0, 2400.0, 20.0);
    in.capacity_veh_h[1] = 600.0;
    for (int p = 0; p < 4; ++p) {
        const auto out = engine.run_period(in);
        EXPECT_LE(out.queue_length_ft[0], 5280.0);
        EXPECT_GT(out.queue_length_ft[0], 0.0);
    }
}

// 15-s steps (240 per hour): mainline 2400 veh/h (10 veh/step), on-ramp 1200 veh/h (5 veh/step)
// metered at 600 veh/h (2.5 veh/step) although the mainline has room.
TEST(RunPeriod, MeteredOnRampQueuesAndReleasesLater) {
    EngineSetup setup;
    setup.length_mi.assign(3, 1.0);
    setup.lanes.assign(3, 3.0);
    setup.f_hv = 1.0;
    setup.jam_density_pc = 190.0;
    setup.queue_discharge_drop = 0.07;
    setup.time_step_s = 15.0;
    OversaturatedEngine engine(setup);
    auto in = plain_input(3, 6000.0, 2400.0, 10.0);
    in.segment_demand_veh_h = {2400.0, 3600.0, 3600.0};
    in.on_ramp_demand_veh_h[1] = 1200.0;
    in.on_ramp_capacity_veh_h[1] = 2000.0;
    in.ramp_meter_rate_veh_h[1] = 600.0;

    const auto first = engine.run_period(in);
    EXPECT_DOUBLE_EQ(first.on_ramp_flow_veh_h[1], 600.0);
    EXPECT_NEAR(first.on_ramp_queue_veh[1], 60 * 2.5, 1e-9);
    EXPECT_NEAR(first.flow_veh_h[1], 3000.0, 1e-9);
    EXPECT_FALSE(first.queued[1]);

    const auto second = engine.run_period(in);
    EXPECT_NEAR(second.on_ramp_queue_veh[1], 300.0, 1e-9);

    // Meter off: the ramp discharges at its roadway capacity (2000 veh/h) until the queue is gone.
    in.ramp_meter_rate_veh_h[1] = std::nullopt;
    const auto third = engine.run_period(in);
    EXPECT_LT(third.on_ramp_queue_veh[1], 300.0);
    EXPECT_GT(third.on_ramp_queue_veh[1], 0.0);
    EXPECT_GT(third.on_ramp_flow_veh_h[1], 1200.0);
    EXPECT_LE(third.on_ramp_flow_veh_h[1], 2000.0 + 1e-9);
    const auto fourth = engine.run_period(in);
    EXPECT_DOUBLE_EQ(fourth.on_ramp_queue_veh[1], 0.0);
}

// The first step of the first period must not close an on-ramp that has room downstream.
TEST(RunPeriod, UnmeteredOnRampWithRoomFlowsFromTheFirstStep) {
    EngineSetup setup = small_setup(3, 3.0);
    setup.time_step_s = 15.0;
    OversaturatedEngine engine(setup);
    auto in = plain_input(3, 6000.0, 2400.0, 10.0);
    in.segment_demand_veh_h = {2400.0, 3600.0, 3600.0};
    in.on_ramp_demand_veh_h[1] = 1200.0;
    in.on_ramp_capacity_veh_h[1] = 2000.0;
    const auto out = engine.run_period(in);
    EXPECT_DOUBLE_EQ(out.on_ramp_queue_veh[1], 0.0);
    EXPECT_DOUBLE_EQ(out.on_ramp_flow_veh_h[1], 1200.0);
    EXPECT_DOUBLE_EQ(out.flow_veh_h[2], 3600.0);
}

// A ramp that sent nothing in a step must still open once it has demand and the mainline has room:
// 2400 veh/h (10 veh/step) on 6000 veh/h (25 veh/step), a 600 veh/h ramp (2.5 veh/step), 15-s steps.
TEST(RunPeriod, OnRampThatSentNothingOpensWhenTheMainlineHasRoom) {
    EngineSetup setup = small_setup(3, 3.0);
    setup.time_step_s = 15.0;
    auto in = plain_input(3, 6000.0, 2400.0, 10.0);
    in.on_ramp_capacity_veh_h[1] = 2000.0;

    // Demand that starts in the second period: it enters at its demand rate from the first step.
    OversaturatedEngine later(setup);
    (void)later.run_period(in);
    in.on_ramp_demand_veh_h[1] = 600.0;
    in.segment_demand_veh_h = {2400.0, 3000.0, 3000.0};
    const auto opened = later.run_period(in);
    EXPECT_DOUBLE_EQ(opened.on_ramp_queue_veh[1], 0.0);
    EXPECT_DOUBLE_EQ(opened.on_ramp_flow_veh_h[1], 600.0);
    EXPECT_DOUBLE_EQ(opened.flow_veh_h[1], 3000.0);

    // A meter at 0 veh/h holds the ramp for a period (150 veh); at 900 veh/h (3.75 veh/step) the
    // ramp sends 3.75 veh per step from the first step, draining 1.25 veh per step.
    OversaturatedEngine metered(setup);
    in.ramp_meter_rate_veh_h[1] = 0.0;
    const auto closed = metered.run_period(in);
    EXPECT_DOUBLE_EQ(closed.on_ramp_queue_veh[1], 150.0);
    EXPECT_DOUBLE_EQ(closed.on_ramp_flow_veh_h[1], 0.0);
    in.ramp_meter_rate_veh_h[1] = 900.0;
    const auto reopened = metered.run_period(in);
    EXPECT_DOUBLE_EQ(reopened.on_ramp_queue_veh[1], 75.0);
    EXPECT_DOUBLE_EQ(reopened.on_ramp_flow_veh_h[1], 900.0);
    EXPECT_DOUBLE_EQ(reopened.flow_veh_h[1], 3300.0);
    EXPECT_DOUBLE_EQ(metered.run_period(in).on_ramp_queue_veh[1], 0.0);

    // Demand that ends while a queue remains: the queue still drains (unmetered, the mainline
    // leaving 15 veh/step): 75 veh held at 0 veh/h, then released in the first 5 steps.
    OversaturatedEngine drained(setup);
    in.ramp_meter_rate_veh_h[1] = 0.0;
    in.on_ramp_demand_veh_h[1] = 300.0;
    (void)drained.run_period(in);
    in.ramp_meter_rate_veh_h[1] = std::nullopt;
    in.on_ramp_demand_veh_h[1] = 0.0;
    in.on_ramp_capacity_veh_h[1] = 0.0;
    const auto released = drained.run_period(in);
    EXPECT_DOUBLE_EQ(released.on_ramp_queue_veh[1], 0.0);
    EXPECT_DOUBLE_EQ(released.on_ramp_flow_veh_h[1], 300.0);
}

// A weave whose off-ramp takes more than its on-ramp brings: 2400 veh/h enter, 600 veh/h join at
// node 1 and 1200 veh/h (40 % of 3000) leave at node 2. The segment discharges 12.5 veh/step, so
// the ramp finds 12.5 + 2.5 - 10 = 5 veh/step of room and is served in full.
TEST(RunPeriod, WeaveOnRampIsNotHeldBackByItsOffRamp) {
    EngineSetup setup = small_setup(3, 3.0);
    setup.time_step_s = 15.0;
    OversaturatedEngine engine(setup);
    auto in = plain_input(3, 6000.0, 2400.0, 10.0);
    in.segment_demand_veh_h = {2400.0, 3000.0, 1800.0};
    in.on_ramp_demand_veh_h[1] = 600.0;
    in.on_ramp_capacity_veh_h[1] = 2000.0;
    in.off_ramp_demand_veh_h[2] = 1200.0;
    in.diverge_split[2] = in.previous_diverge_split[2] = 0.4;
    for (int p = 0; p < 2; ++p) {
        const auto out = engine.run_period(in);
        EXPECT_DOUBLE_EQ(out.on_ramp_queue_veh[1], 0.0);
        EXPECT_DOUBLE_EQ(out.on_ramp_flow_veh_h[1], 600.0);
        EXPECT_DOUBLE_EQ(out.off_ramp_flow_veh_h[2], 1200.0);
        EXPECT_DOUBLE_EQ(out.flow_veh_h[1], 3000.0);
        EXPECT_DOUBLE_EQ(out.flow_veh_h[2], 1800.0);
    }
}

// Off-ramp flows follow the period's split while no deficit is carried.
TEST(RunPeriod, OffRampTakesItsSplit) {
    OversaturatedEngine engine(small_setup(3, 2.0));
    auto in = plain_input(3, 4800.0, 2400.0, 15.0);
    in.off_ramp_demand_veh_h[2] = 600.0;
    in.diverge_split[2] = 0.25;
    in.previous_diverge_split[2] = 0.25;
    in.segment_demand_veh_h = {2400.0, 2400.0, 1800.0};
    const auto out = engine.run_period(in);
    EXPECT_DOUBLE_EQ(out.off_ramp_flow_veh_h[2], 600.0);
    EXPECT_DOUBLE_EQ(out.flow_veh_h[1], 2400.0);  // outflow of segment 1 counts its off-ramp
    EXPECT_DOUBLE_EQ(out.flow_veh_h[2], 1800.0);
}

// A negative lag (jam density below 45 pc/mi/ln) leaves the front-clearing output unconstrained
// instead of reading past the end of the histories.
TEST(RunPeriod, NegativeWaveTravelTimeReadsNothingOutsideTheHistories) {
    EngineSetup setup = small_setup(2, 2.0);
    setup.jam_density_pc = 30.0;
    OversaturatedEngine engine(setup);
    auto in = plain_input(2, 2400.0, 2400.0, 20.0);
    in.front_clearing = {true, true};
    for (int p = 0; p < 3; ++p) {
        const auto out = engine.run_period(in);
        for (double f : out.flow_veh_h) EXPECT_TRUE(std::isfinite(f));
    }
}

TEST(RunPeriod, InconsistentInputIsAnInternalError) {
    OversaturatedEngine engine(small_setup(2, 2.0));
    auto in = plain_input(2, 2400.0, 2400.0, 20.0);
    in.diverge_split.pop_back();
    EXPECT_THROW(engine.run_period(in), std::logic_error);
}

}  // namespace
