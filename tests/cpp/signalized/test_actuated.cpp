// Actuated phase durations (HCM Chapter 31, Section 2) on analysed intersections: a phase worked by
// hand, the defaults, the ring and barrier structure, simultaneous gap-out and call probabilities.
#include <gtest/gtest.h>

#include <vector>

#include "../support/checks.hpp"
#include "fixtures.hpp"
#include "hcm/signalized/actuated.hpp"

using namespace testing_support;
using namespace signalized_fixtures;
namespace act = hcm::signalized::actuated;
using si::ActuatedPhaseResult;
using si::LeftTurnMode;

namespace {

si::PhaseTiming on_recall(si::PhaseTiming p, double max_green) {
    p.max_green_s = max_green;
    p.recall_max = true;
    return p;
}

std::vector<ActuatedPhaseResult> estimate(si::SignalizedIntersection x, bool simultaneous_gap_out = false) {
    si::analyze(x);
    return act::estimate_fully_actuated(act::actuated_phase_inputs(x), x.base_saturation_flow, simultaneous_gap_out);
}

// Phases 2 and 6 on maximum recall (G_max 40 s, Y + R 5 s), 600 veh/h on one lane at 1,900 each:
// the cycle estimate 45 s holds from the start. g_s = (1 - 40/45) 7.5 / (0.52778 - 0.16667) =
// 2.3077 s; MAH = 2 + 57 / (1.47 x 37.845) = 3.0246 s; lambda = (1/6) e^-0.15 / 0.75 = 0.19127;
// p = 1 - e^-0.15 e^(-lambda (MAH - 1.5)) = 0.35700; g_e = p^2 (1 - p^5.917) / (q (1 - p)) = 1.1866 s.
TEST(SignalizedActuated, PhaseOnRecallWorkedByHand) {
    auto nb = approach(Direction::NB, on_recall(phase(2, 45), 40));
    nb.volume_through = 600;
    auto sb = nb;
    sb.direction = Direction::SB;
    sb.through_phase.phase_no = 6;
    const auto r = estimate(intersection({nb, sb}));
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].phase_no, 2);
    EXPECT_EQ(r[0].duration_s, 45.0);
    EXPECT_EQ(r[0].green_s, 40.0);
    EXPECT_NEAR(r[0].queue_service_s, 2.307692307692308, 1e-12);
    EXPECT_NEAR(r[0].mah_star_s, 3.024587401349759, 1e-12);
    EXPECT_NEAR(r[0].green_extension_s, 1.1866364679128747, 1e-12);
    EXPECT_NEAR(r[0].prob_max_out, 2.993857000220567e-08, 1e-18);  // p^((40 - 3.02 - 4.31) / 1.9423)
    EXPECT_EQ(r[0].prob_call, 1.0);
    EXPECT_EQ(r[1], (ActuatedPhaseResult{6, 45.0, 40.0, r[0].queue_service_s, r[0].green_extension_s, r[0].mah_star_s,
                                         r[0].prob_max_out, 1.0}));
}

// As the demand vanishes a phase gaps out at once and is called ever more rarely: the max-out
// probability tends to 0 and the call probability to C v / 3,600, with no digits lost to the
// terms of size 1 / lambda that cancel in the HCM's printed forms.
TEST(SignalizedActuated, LightFlowsNeitherMaxOutNorLoseTheCallProbability) {
    std::vector<double> call_per_flow;
    for (const double v : {1e-3, 1e-6, 1e-9, 1e-12}) {
        auto nb = approach(Direction::NB, phase(2, 45));
        nb.through_phase.max_green_s = 40.0;
        nb.through_phase.passage_time_s = 2.0;
        nb.volume_through = v;
        nb.ped_flow_ph = 0.0;
        auto sb = nb;
        sb.direction = Direction::SB;
        sb.through_phase.phase_no = 6;
        const auto r = estimate(intersection({nb, sb}));
        ASSERT_EQ(r.size(), 2u);
        EXPECT_LT(r[0].prob_max_out, 1e-6) << v;
        EXPECT_GT(r[0].prob_call, 0.0) << v;
        call_per_flow.push_back(r[0].prob_call / v);
    }
    for (const double k : call_per_flow) EXPECT_NEAR(k, call_per_flow.back(), 1e-5 * call_per_flow.back());
}

TEST(SignalizedActuated, DefaultsAndPhasesOutsideTheRing) {
    auto nb = approach(Direction::NB, phase(2, 30));
    nb.volume_through = 300;
    auto wb = approach(Direction::WB, phase(9, 25));
    wb.volume_through = 200;
    wb.through_phase.walk_s = 7;
    wb.through_phase.ped_clear_s = 11;
    auto x = intersection({nb, wb});
    EXPECT_TRUE(act::actuated_phase_inputs(x).empty());  // no lane groups before the analysis
    EXPECT_EQ(act::actuated_timings_json(x, true), "[]");
    si::analyze(x);
    const auto inputs = act::actuated_phase_inputs(x);
    ASSERT_EQ(inputs.size(), 2u);
    EXPECT_EQ(inputs[0].max_green_s, 25.0);  // D - (Y + R)
    EXPECT_EQ(inputs[0].min_green_s, 5.0);
    EXPECT_EQ(inputs[0].passage_time_s, 2.0);
    EXPECT_EQ(inputs[0].movements.at(0).detector_length_ft, 40.0);
    EXPECT_FALSE(inputs[0].ped_time_s);
    EXPECT_EQ(inputs[1].ped_time_s, 18.0);

    const auto r = act::estimate_fully_actuated(inputs, 1900, false);
    EXPECT_GT(r[0].duration_s, 0.0);
    EXPECT_EQ(r[1].phase_no, 9);
    EXPECT_EQ(r[1].duration_s, 0.0);  // outside the ring: no barrier, no duration
    EXPECT_GT(r[1].green_s, 0.0);
    EXPECT_LE(r[1].green_s, 20.0);
}

TEST(SignalizedActuated, PhaseWithoutMovements) {
    act::ActuatedPhaseInput p;
    p.phase_no = 4;
    p.max_green_s = 30;
    p.yellow_s = 4;
    p.red_clearance_s = 1;
    const auto r = act::estimate_fully_actuated({p}, 1900, true);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].queue_service_s, 0.0);
    EXPECT_EQ(r[0].mah_star_s, 3.0);
    EXPECT_EQ(r[0].green_extension_s, 0.0);
    EXPECT_EQ(r[0].prob_max_out, 0.0);
    EXPECT_EQ(r[0].prob_call, 0.0);
    EXPECT_EQ(r[0].green_s, 5.0);  // the minimum green
    EXPECT_EQ(r[0].duration_s, 10.0);
}

// NB and SB through phases with different detection: alone each has its own MAH*; gapping out
// together both take the lambda-weighted mean.
TEST(SignalizedActuated, SimultaneousGapOutSharesTheHeadway) {
    auto nb = approach(Direction::NB, phase(2, 40));
    nb.volume_through = 700;
    auto sb = approach(Direction::SB, phase(6, 40));
    sb.volume_through = 300;
    sb.speed_limit_mph = 50;
    sb.through_phase.detector_length_ft = 6;
    const auto x = intersection({nb, sb});
    const auto alone = estimate(x, false);
    EXPECT_GT(std::abs(alone[0].mah_star_s - alone[1].mah_star_s), 0.5);
    const auto together = estimate(x, true);
    EXPECT_EQ(together[0].mah_star_s, together[1].mah_star_s);
    EXPECT_GT(together[0].mah_star_s, alone[1].mah_star_s);
    EXPECT_LT(together[0].mah_star_s, alone[0].mah_star_s);
}

TEST(SignalizedActuated, LoneLeftPhaseWithoutDemandIsNeverCalled) {
    auto nb = approach(Direction::NB, phase(2, 40));
    nb.volume_through = 500;
    nb.ped_flow_ph = 200;  // pedestrians call the through phase, never the left phase
    nb.exclusive_left_lanes = 1;
    nb.left_turn_mode = LeftTurnMode::Protected;
    nb.left_phase = phase(5, 12, 3, 1);
    const auto r = estimate(intersection({nb}));
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].phase_no, 2);
    EXPECT_GT(r[0].prob_call, 0.5);
    EXPECT_EQ(r[1].phase_no, 5);
    EXPECT_EQ(r[1].prob_call, 0.0);
}

// Eight phases on recall. Ring 1: 1 and 2 (15 + 45 s), 3 and 4 (15 + 45 s); ring 2: 5 and 6
// (15 + 45 s), 7 and 8 (13 + 35 s). At the second barrier ring 2 is 12 s short: through phase 8
// takes it, as phase 4 would in ring 1, and left phase 7 keeps its own 13 s.
TEST(SignalizedActuated, EachRingsThroughPhaseTakesTheBarrierRemainder) {
    auto make = [](Direction d, std::uint8_t through, double through_max, std::uint8_t left, double left_max) {
        auto a = approach(d, on_recall(phase(through, through_max + 5), through_max));
        a.volume_through = 400;
        a.volume_left = 60;
        a.exclusive_left_lanes = 1;
        a.left_turn_mode = LeftTurnMode::Protected;
        a.left_phase = on_recall(phase(left, left_max + 5), left_max);
        return a;
    };
    auto x = intersection({make(Direction::NB, 2, 40, 5, 10), make(Direction::SB, 6, 40, 1, 10),
                           make(Direction::EB, 4, 40, 7, 8), make(Direction::WB, 8, 30, 3, 10)});
    const auto r = estimate(x);
    ASSERT_EQ(r.size(), 8u);
    const auto duration = [&](int phase_no) { return r.at(static_cast<std::size_t>(phase_no - 1)).duration_s; };
    EXPECT_EQ(duration(7), 13.0);
    EXPECT_EQ(duration(8), 47.0);
    EXPECT_EQ(r[7].green_s, 42.0);
    EXPECT_EQ(duration(3), 15.0);
    EXPECT_EQ(duration(4), 45.0);
    EXPECT_EQ(duration(1) + duration(2), duration(5) + duration(6));
    EXPECT_EQ(duration(3) + duration(4), duration(7) + duration(8));
}

}  // namespace
