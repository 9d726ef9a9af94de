// Capacity, delay, queues and LOS (HCM Chapter 19, Steps 5 to 10), the critical v/c ratio, the
// right-turn-on-red estimate, and two whole intersections whose results were worked out by hand
// from the HCM equations (the working is in the comments).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <tuple>

#include "../support/checks.hpp"
#include "fixtures.hpp"
#include "hcm/signalized/analysis.hpp"

using namespace testing_support;
using namespace signalized_fixtures;
using hcm::common::LevelOfService;
using si::LaneGroupKind;
using si::LeftTurnMode;
using si::LeftTurnSequence;

namespace {

// C 100 s, T 0.25 h, s0 1,900, pretimed.
//  NB: 900 veh/h at PHF 0.9 on two through lanes (f_LU 0.952): s 1,808.8, g 45 (50 - 2 - 3),
//      c 1,627.92, X 0.6143, P 0.45 = g/C so PF 1, d1 = 50 x 0.55^2 / (1 - 0.45 X) = 20.903;
//      storage 400 ft: Q x 25 / 400.
//  SB: 800 veh/h, grade +2 %, 5 % heavy vehicles (f_HVg 0.9486), R_p 1.333 (P 0.59985), an
//      initial queue of 10 veh; right turns 200 - 50 RTOR on an exclusive lane at s0 f_HVg / 1.18.
//  EB: protected left 150 veh/h, g_L 11 (15 - 2 - 2), s 1,809.52; through 500 veh/h, g 30.
//  WB: as EB with 100 and 600 veh/h, lane width 9.5 ft (f_w 0.96): through X 1.0965.
si::SignalizedIntersection four_leg_pretimed() {
    auto nb = approach(Direction::NB, phase(2, 50));
    nb.volume_through = 900;
    nb.peak_hour_factor = 0.9;
    nb.through_lanes = 2;
    nb.storage_through_ft = 400;
    auto sb = approach(Direction::SB, phase(6, 50));
    sb.volume_through = 800;
    sb.volume_right = 200;
    sb.volume_rtor = 50;
    sb.pct_heavy_vehicles_through = 5;
    sb.grade_pct = 2;
    sb.exclusive_right_lanes = 1;
    sb.platoon_ratio_through = 1.333;
    sb.initial_queue_through_veh = 10;
    auto eb = approach(Direction::EB, phase(4, 35));
    eb.volume_left = 150;
    eb.volume_through = 500;
    eb.exclusive_left_lanes = 1;
    eb.left_turn_mode = LeftTurnMode::Protected;
    eb.left_phase = phase(7, 15, 3, 1);
    eb.speed_limit_mph = 40;
    eb.storage_left_ft = 0;
    auto wb = eb;
    wb.direction = Direction::WB;
    wb.volume_left = 100;
    wb.volume_through = 600;
    wb.lane_width_ft = 9.5;
    wb.left_phase->phase_no = 3;
    wb.through_phase.phase_no = 8;
    wb.storage_left_ft.reset();
    return intersection({nb, sb, eb, wb});
}

struct ExpectedGroup {
    Direction direction;
    LaneGroupKind kind;
    double capacity, d1, d2, d3, q95;
    LevelOfService los;
};

TEST(SignalizedIntersectionByHand, FourLegPretimed) {
    auto x = four_leg_pretimed();
    si::analyze(x);
    using enum LaneGroupKind;
    using enum LevelOfService;
    const ExpectedGroup expected[] = {
        {Direction::NB, ExclusiveThrough, 1627.92, 20.903193765281177, 1.7433909779128731, 0, 13.661075023478496, C},
        {Direction::SB, ExclusiveThrough, 811.053, 19.707009610158437, 28.469300399284734, 38.254158482861165,
         36.01025450521807, F},
        {Direction::SB, ExclusiveRight, 687.3330508474577, 11.9087873492003, 0.7295470063637843, 1.9494931532724928,
         3.1954035365066247, B},
        {Direction::EB, ExclusiveLeft, 199.04761904761904, 43.18479196556672, 22.918864791915787, 0, 8.342976701969375,
         E},
        {Direction::EB, ExclusiveThrough, 570.0, 33.25, 17.20190799316005, 0, 19.706749474948914, D},
        {Direction::WB, ExclusiveLeft, 191.0857142857143, 42.02415357766144, 9.88611491069133, 0, 5.027427352675081, D},
        // Over capacity: F, and the 95th-percentile factor gains its oversaturation term (1.4228).
        {Direction::WB, ExclusiveThrough, 547.2, 35.0, 67.47560602483858, 0, 32.499598779478006, F},
    };
    ASSERT_EQ(x.lane_groups.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const si::LaneGroup& g = x.lane_groups[i];
        const ExpectedGroup& e = expected[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(g.direction, e.direction);
        EXPECT_EQ(g.kind, e.kind);
        EXPECT_NEAR(*g.capacity, e.capacity, 1e-9);
        EXPECT_NEAR(*g.uniform_delay_s, e.d1, 1e-9);
        EXPECT_NEAR(*g.incremental_delay_s, e.d2, 1e-9);
        EXPECT_NEAR(*g.initial_queue_delay_s, e.d3, 1e-9);
        EXPECT_NEAR(*g.control_delay_s, e.d1 + e.d2 + e.d3, 1e-9);
        EXPECT_NEAR(*g.back_of_queue_95_veh, e.q95, 1e-9);
        EXPECT_EQ(g.los, e.los);
        EXPECT_EQ(g.k_factor, 0.5);
    }
    // Back-of-queue terms of NB (the first-term formula's first branch) and the SB right lane
    // (its second branch, with the lane's share of the initial queue).
    const si::LaneGroup& nb = x.lane_groups[0];
    EXPECT_NEAR(*nb.q1_veh, 8.402723843240624, 1e-9);
    EXPECT_NEAR(*nb.q2_veh, 0.3941807001061007, 1e-9);
    EXPECT_NEAR(*nb.queue_storage_ratio, 8.796904543346725 * 25 / 400, 1e-9);
    const si::LaneGroup& sb_right = x.lane_groups[2];
    EXPECT_NEAR(*sb_right.q1_veh, 1.4291522329416153, 1e-9);
    EXPECT_NEAR(*sb_right.q3_veh, 0.3722086324013923, 1e-9);
    EXPECT_FALSE(sb_right.queue_storage_ratio);            // no storage length given
    EXPECT_EQ(x.lane_groups[3].queue_storage_ratio, 0.0);  // a storage length of 0
    EXPECT_EQ(x.lane_groups[3].queue_storage_ratio_95, 0.0);

    // Approaches and intersection by delay alone: SB is E although its through group is F.
    const std::tuple<Direction, double, double, LevelOfService> approaches[] = {
        {Direction::NB, 1000, 22.646584743194047, C},
        {Direction::SB, 950, 75.08689360017785, E},
        {Direction::EB, 650, 54.06385001569599, D},
        {Direction::WB, 700, 95.25198637676918, F}};
    ASSERT_EQ(x.approach_results.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        const auto& [d, flow, delay, los] = approaches[i];
        EXPECT_EQ(x.approach_results[i].direction, d);
        EXPECT_NEAR(x.approach_results[i].flow_rate, flow, 1e-9);
        EXPECT_NEAR(x.approach_results[i].control_delay_s, delay, 1e-9);
        EXPECT_EQ(x.approach_results[i].los, los);
    }
    EXPECT_NEAR(*x.intersection_delay_s, 59.33243231433449, 1e-9);
    EXPECT_EQ(x.intersection_los, E);
    // NB-SB: SB through 0.443867 (no protected lefts), lost 5 s. EB-WB: EB's protected left
    // 150 / 1,809.52 + WB through 600 / 1,824 = 0.411842, lost 5 + 4 s.
    EXPECT_NEAR(*x.critical_vc_ratio, (0.44386741680260106 + 0.4118421052631579) * 100 / 86, 1e-12);
}

// NB permitted left (100 veh/h) against SB's 600 veh/h: g_u 19.6154, s_p 831.73 (see the lane
// group tests). Capacity (2 x 3600 + 19.6154 s_p) / 100. The polygon: 55 s of red and 25.38 s of
// blocked green build 2.233 veh; the unsaturated green clears them in 10.99 s, leaving no queue,
// so one cycle is steady: area 42.014 + 47.731 + 12.265 veh-s over 100 x 100 / 3600 arrivals.
TEST(SignalizedIntersectionByHand, PermittedLeftTurnPolygon) {
    auto x = permitted_left_against_one_lane();
    si::analyze(x);
    const si::LaneGroup& left = group_of(x, Direction::NB, LaneGroupKind::ExclusiveLeft);
    EXPECT_NEAR(*left.capacity, 235.1471196271199, 1e-9);
    EXPECT_NEAR(*left.uniform_delay_s, 36.72377828021632, 1e-9);
    // Longest queued time 55 + 25.38 + 10.99 = 91.37 s (to a 0.02 s step), less half the
    // discharge lag of 11.22 s: Q1 = (91.37 - 5.61) x 100 / 3600.
    EXPECT_NEAR(*left.q1_veh, 2.382170227036436, 0.02 * 100 / 3600);
}

TEST(SignalizedQueuePolygon, SegmentsFillTheCycle) {
    auto a = approach(Direction::NB, phase(2, 50));
    a.exclusive_left_lanes = 1;
    a.left_phase = phase(5, 16, 3, 1);
    si::ApproachWork w;
    w.g_p = 40;
    w.g_u = 25;
    w.g_f = 6;
    w.g_l = 12;
    w.l_p = 2;
    w.d_lo = 18;
    w.s_sh = 1800;
    w.s_lprot = 1800;
    w.s_lperm = 700;
    si::LaneGroup g;
    for (LaneGroupKind kind : {LaneGroupKind::ExclusiveLeft, LaneGroupKind::SharedLeftThrough}) {
        for (LeftTurnMode mode : {LeftTurnMode::Permitted, LeftTurnMode::ProtectedPermitted}) {
            for (LeftTurnSequence seq :
                 {LeftTurnSequence::LeadLead, LeftTurnSequence::LeadLag, LeftTurnSequence::LagLag}) {
                g.kind = kind;
                a.left_turn_mode = mode;
                a.left_turn_sequence = seq;
                const si::QueuePolygon p = si::left_turn_polygon(g, a, w, 100, 2);
                double total = 0.0;
                for (std::size_t i = 0; i < p.count; ++i) total += p.segments[i].duration_s;
                EXPECT_NEAR(total, 100.0, 1e-12) << static_cast<int>(kind) << static_cast<int>(mode)
                                                 << static_cast<int>(seq);
            }
        }
    }
    // Leading protected phase: the gap t = l_p + max(D_L, D_Lo) - (g_L + 2) before the permitted period.
    g.kind = LaneGroupKind::ExclusiveLeft;
    a.left_turn_mode = LeftTurnMode::ProtectedPermitted;
    a.left_turn_sequence = LeftTurnSequence::LeadLead;
    const si::QueuePolygon lead = si::left_turn_polygon(g, a, w, 100, 2);
    ASSERT_EQ(lead.count, 5u);
    EXPECT_EQ(lead.segments[1].duration_s, 6.0);  // 2 + 18 - 14
    a.left_turn_sequence = LeftTurnSequence::LeadLag;
    EXPECT_EQ(si::left_turn_polygon(g, a, w, 100, 2).segments[1].duration_s, 4.0);  // 2 + 16 - 14
}

TEST(SignalizedQueuePolygon, QueueThatNeverClearsStaysFinite) {
    si::QueuePolygon p;
    p.add(60, 0, 0);
    p.add(40, 900, 0);  // serves 10 veh per cycle; 30 arrive
    const double q = 0.3;
    const double d1 = si::polygon_uniform_delay(p, q, 100);
    EXPECT_TRUE(std::isfinite(d1));
    EXPECT_GT(d1, 1000 * 100 / 30.0);  // after 60 cycles over 1,000 veh wait the whole cycle
    EXPECT_TRUE(std::isfinite(si::polygon_first_term_queue(p, q, 100, 35)));
    EXPECT_EQ(si::polygon_uniform_delay(p, 0.0, 100), 0.0);
    EXPECT_EQ(si::polygon_uniform_delay(p, q, 0.0), 0.0);  // no cycle: no delay rather than 0/0
}

TEST(SignalizedDelay, UniformDelayLimits) {
    EXPECT_EQ(si::uniform_delay(0.0, 90, 0.5, 0.0), 45.0);  // no green: half the cycle, PF 1
    EXPECT_EQ(si::uniform_delay(-3.0, 90, 0.5, 0.0), 45.0);
    EXPECT_EQ(si::uniform_delay(90, 90, 0.5, 1.0), 0.0);    // green all cycle
    // Every arrival on green at capacity: PF's 0/0 has the limit 0.
    EXPECT_EQ(si::uniform_delay(60, 100, 1.2, 1.0), 0.0);
    EXPECT_NEAR(si::uniform_delay(60, 100, 0.999999, 1.0), 0.0, 1e-4);
    // P = 0.6, gC = 0.4, X = 0.5: PF = (0.4 / 0.6)(0.8 / 0.7)(1 + 0.2 (1 - 1.5) / 0.6) = 0.63492.
    EXPECT_NEAR(si::uniform_delay(40, 100, 0.5, 0.6), 50 * 0.36 * 0.6349206349206349 / 0.8, 1e-12);
}

TEST(SignalizedDelay, IncrementalAndInitialQueueDelay) {
    EXPECT_EQ(si::incremental_delay(600, 0.0, 0.5, 1.0, 0.25), kInf);  // no capacity
    EXPECT_EQ(si::incremental_delay(600, 500, 0.5, 1.0, 0.0), 0.0);    // no analysis period
    // X 1: 225 sqrt(8 x 0.5 x 1 / (0.25 x 500)) = 225 sqrt(0.032).
    EXPECT_NEAR(si::incremental_delay(500, 500, 0.5, 1.0, 0.25), 225 * std::sqrt(0.032), 1e-12);
    // A negative I counts as 0: no NaN and no negative delay; 1,800 T (X - 1) above capacity.
    EXPECT_NEAR(si::incremental_delay(450, 500, 0.5, -1.0, 0.25), 0.0, 1e-12);
    EXPECT_NEAR(si::incremental_delay(600, 500, 0.5, -1.0, 0.25), 450 * 0.2, 1e-12);

    // Demand above capacity all period: t_A = T, Q_eo = 25, Q_e = 30;
    // d3 = 24 x ((900 - 625) / 1000 + 0.25 x 10 / 2 - 25 / 1000) = 36.
    EXPECT_NEAR(si::initial_queue_delay(5, 600, 500, 0.25), 36.0, 1e-12);
    EXPECT_EQ(si::initial_queue_delay(5, 600, 500, 0.0), 0.0);
    EXPECT_EQ(si::initial_queue_delay(0, 600, 500, 0.25), 0.0);
    EXPECT_EQ(si::initial_queue_delay(5, 600, std::numeric_limits<double>::infinity(), 0.25), 0.0);

    // Below capacity, queue cleared at t_A = 5 / 200 h: d3 = 1,800 Q_b^2 / (T c (c - v)) = 1.8.
    EXPECT_NEAR(si::initial_queue_delay(5, 300, 500, 0.25), 1.8, 1e-12);
    // Queue left at the end of T (t_A = T, Q_e = 30): d3 = 1,800 (Q_b + Q_e) / c = 396.
    EXPECT_NEAR(si::initial_queue_delay(80, 300, 500, 0.25), 396.0, 1e-12);
    // A flow of a few 1e-15 veh/h (a lane-flow split's residue) tends to 1,800 Q_b^2 / (T c^2),
    // where the bracket as printed loses every digit to cancellation (it gave -3.5 s).
    EXPECT_NEAR(si::initial_queue_delay(3.5, 7.105427357601002e-15, 600.5203266970085, 0.25),
                1800 * 3.5 * 3.5 / (0.25 * 600.5203266970085 * 600.5203266970085), 1e-12);
}

TEST(SignalizedDelay, ActuatedKFactor) {
    EXPECT_EQ(si::actuated_k_factor(1.0, 0.0), 0.04);  // the cubic is negative at UE 1
    EXPECT_NEAR(si::actuated_k_factor(3.0, 0.5), 0.10803, 1e-12);
    EXPECT_NEAR(si::actuated_k_factor(3.0, 0.8), 0.10803 + (1 - 2 * 0.10803) * 0.3, 1e-12);
    EXPECT_EQ(si::actuated_k_factor(3.0, 1.0), 0.5);
}

TEST(SignalizedDelay, LosBoundsAreInclusive) {
    using enum LevelOfService;
    for (auto [d, los] : {std::pair{0.0, A}, {10.0, A}, {10.000001, B}, {20.0, B}, {35.0, C}, {55.0, D}, {80.0, E},
                          {80.01, F}, {kNaN, F}})
        EXPECT_EQ(si::los_of_delay(d), los) << d;
}

TEST(SignalizedDelay, KFactorByControlAndPhaseSettings) {
    auto x = four_leg_pretimed();
    x.control = si::ControlType::ActuatedSignal;
    x.approaches[0].through_phase.max_green_s = 45;  // without passage time: still 0.5
    x.approaches[1].through_phase.max_green_s = 45;
    x.approaches[1].through_phase.passage_time_s = 3;
    x.approaches[2].left_phase->max_green_s = 12;  // the protected left's own phase governs
    x.approaches[2].left_phase->passage_time_s = 1;
    si::analyze(x);
    EXPECT_EQ(x.lane_groups[0].k_factor, 0.5);
    const si::LaneGroup& sb = x.lane_groups[1];
    EXPECT_NEAR(*sb.k_factor, si::actuated_k_factor(3, sb.flow_rate / *sb.available_capacity), 1e-15);
    EXPECT_LT(*sb.k_factor, 0.5);
    EXPECT_EQ(x.lane_groups[3].k_factor, si::actuated_k_factor(1, 150 / *x.lane_groups[3].available_capacity));
    EXPECT_EQ(x.lane_groups[4].k_factor, 0.5);  // EB through phase has no settings
}

TEST(SignalizedCriticalRatio, SingleApproachPairsAndLostTimeFillingTheCycle) {
    auto x = four_leg_pretimed();
    x.approaches.erase(x.approaches.begin() + 1);  // no SB: NB alone, y 0.276426, lost 5 s
    si::analyze(x);
    EXPECT_NEAR(*x.critical_vc_ratio, (1000 / (2 * 1808.8) + 0.4118421052631579) * 100 / 86, 1e-12);
    x.cycle_length_s = 14;  // the 14 s of lost time fill the cycle
    si::analyze(x);
    EXPECT_EQ(x.critical_vc_ratio, std::numeric_limits<double>::infinity());
    EXPECT_NE(si::intersection_to_json(x).find(R"("critical_vc_ratio":null})"), std::string::npos);
}

TEST(SignalizedIntersectionResults, NoTrafficAndApproachesWithoutGroups) {
    auto x = intersection({approach(Direction::NB, phase(2, 50)), approach(Direction::EB, phase(4, 50))});
    x.approaches[1].through_lanes = 0;
    si::analyze(x);
    EXPECT_EQ(x.intersection_delay_s, 0.0);
    EXPECT_EQ(x.intersection_los, LevelOfService::A);
    ASSERT_EQ(x.approach_results.size(), 2u);
    EXPECT_EQ(x.approach_results[1].flow_rate, 0.0);
    EXPECT_EQ(x.approach_results[1].control_delay_s, 0.0);
    EXPECT_EQ(x.approach_results[1].los, LevelOfService::A);
}

bool all_results_finite(const si::SignalizedIntersection& x) {
    for (const auto& r : x.approach_results) {
        if (!std::isfinite(r.control_delay_s) || !std::isfinite(r.flow_rate)) return false;
    }
    return x.intersection_delay_s && std::isfinite(*x.intersection_delay_s);
}

// Degenerate timing that the document accepts: every approach and intersection result stays a
// number, so the exported document reads back.
TEST(SignalizedIntersectionResults, ZeroPeriodAndZeroCycleStayFinite) {
    auto x = four_leg_pretimed();
    x.analysis_period_h = 0.0;
    si::analyze(x);
    for (const auto& g : x.lane_groups) {
        EXPECT_EQ(g.incremental_delay_s, 0.0);
        EXPECT_EQ(g.initial_queue_delay_s, 0.0);
        EXPECT_EQ(g.q3_veh, 0.0);
    }
    // WB through is over capacity: F by v/c although its delay is now uniform delay alone.
    EXPECT_EQ(x.lane_groups[6].control_delay_s, 35.0);
    EXPECT_EQ(x.lane_groups[6].los, LevelOfService::F);
    EXPECT_EQ(x.approach_results[3].los, LevelOfService::D);
    EXPECT_TRUE(all_results_finite(x));

    x = four_leg_pretimed();
    x.cycle_length_s = 0.0;
    x.approaches[1].left_turn_mode = LeftTurnMode::Permitted;  // a polygon over no cycle
    x.approaches[1].exclusive_left_lanes = 1;
    x.approaches[1].volume_left = 80;
    x.approaches[1].initial_queue_left_veh = 4;
    si::analyze(x);
    EXPECT_TRUE(all_results_finite(x));

    // Platoon ratio 2 with g/C 0.5: every arrival on green, and SB above capacity.
    x = four_leg_pretimed();
    x.approaches[1].platoon_ratio_through = 2.0;
    x.approaches[1].through_phase.duration_s = 55;
    x.approaches[1].volume_through = 950;
    si::analyze(x);
    EXPECT_EQ(x.lane_groups[1].uniform_delay_s, 0.0);
    EXPECT_TRUE(all_results_finite(x));
}

// The intersection of the reference's minimal document: a 60 s pretimed cycle, each approach one
// lane shared by its permitted left, through and right movements (2 % heavy vehicles, 50 p/h,
// 10 bicycles/h), phases of 30 s with Y + R 5 s; NB carries its 250 veh/h through alone on one
// lane, green for `nb_duration` s.
si::SignalizedIntersection reference_with_nb_through(double nb_duration) {
    const auto shared = [](Direction d, std::uint8_t phase_no, double left, double through, double right) {
        auto a = approach(d, phase(phase_no, 30));
        a.volume_left = left;
        a.volume_through = through;
        a.volume_right = right;
        a.pct_heavy_vehicles_left = a.pct_heavy_vehicles_through = 2;
        a.ped_flow_ph = 50;
        a.bike_flow_ph = 10;
        a.through_lanes = 1;
        a.shared_left_through_lane = a.shared_right_through_lane = true;
        a.left_turn_mode = LeftTurnMode::Permitted;
        return a;
    };
    auto nb = shared(Direction::NB, 4, 0, 250, 0);
    nb.shared_left_through_lane = nb.shared_right_through_lane = false;
    nb.left_turn_mode = LeftTurnMode::NotPresent;
    nb.through_phase.duration_s = nb_duration;
    auto x = intersection({shared(Direction::EB, 2, 50, 400, 60), shared(Direction::WB, 2, 40, 380, 50), nb,
                           shared(Direction::SB, 4, 35, 240, 45)});
    x.cycle_length_s = 60;
    return x;
}

// A lane group with demand and no effective green is never served: unbounded delay and queue,
// LOS F, and so its approach and the intersection (once 30.0 s C and 33.7 s C, below the 3,253 s
// of a single second of green).
TEST(SignalizedDemandWithoutCapacity, IsUnboundedAndLosFUpToTheIntersection) {
    auto x = reference_with_nb_through(6);  // 1 s of effective green
    si::analyze(x);
    EXPECT_NEAR(*group_of(x, Direction::NB, LaneGroupKind::ExclusiveThrough).control_delay_s, 3253.076525003277, 1e-8);
    EXPECT_NEAR(*x.intersection_delay_s, 557.3858516754653, 1e-9);
    const si::ApproachResult eb = x.approach_results[0];

    x = reference_with_nb_through(5);  // D = Y + R
    si::analyze(x);
    const si::LaneGroup& nb = group_of(x, Direction::NB, LaneGroupKind::ExclusiveThrough);
    EXPECT_EQ(nb.capacity, 0.0);
    EXPECT_EQ(nb.uniform_delay_s, 30.0);  // half the cycle
    for (const auto& value : {nb.incremental_delay_s, nb.control_delay_s, nb.q2_veh, nb.back_of_queue_veh,
                              nb.back_of_queue_95_veh})
        EXPECT_EQ(value, kInf);
    EXPECT_EQ(nb.los, LevelOfService::F);
    EXPECT_EQ(x.approach_results[2].control_delay_s, kInf);
    EXPECT_EQ(x.approach_results[2].los, LevelOfService::F);
    EXPECT_EQ(x.intersection_delay_s, kInf);
    EXPECT_EQ(x.intersection_los, LevelOfService::F);
    EXPECT_EQ(x.approach_results[0], eb);  // the other approaches keep their results
    // Written null, read back as NaN (F); the unbounded queue fills any storage.
    const si::SignalizedIntersection back = si::intersection_from_json(si::intersection_to_json(x));
    EXPECT_TRUE(std::isnan(back.approach_results[2].control_delay_s));
    EXPECT_EQ(back.approach_results[2].los, LevelOfService::F);
    x.approaches[2].storage_through_ft = 500;
    si::analyze(x);
    EXPECT_EQ(group_of(x, Direction::NB, LaneGroupKind::ExclusiveThrough).queue_storage_ratio, kInf);

    // Without demand the group weighs nothing, as before: no delay beyond the half cycle.
    x.approaches[2].volume_through = 0;
    si::analyze(x);
    const si::LaneGroup& empty = group_of(x, Direction::NB, LaneGroupKind::ExclusiveThrough);
    EXPECT_EQ(empty.incremental_delay_s, 0.0);
    EXPECT_EQ(empty.back_of_queue_veh, 0.0);
    EXPECT_EQ(x.approach_results[2].control_delay_s, 0.0);
    EXPECT_EQ(x.approach_results[2].los, LevelOfService::A);
    EXPECT_TRUE(std::isfinite(*x.intersection_delay_s));
}

TEST(SignalizedRightTurnOnRed, ExclusiveRightLaneRule) {
    auto nb = approach(Direction::NB, phase(2, 50));
    nb.exclusive_right_lanes = 1;
    nb.volume_right = 200;
    nb.peak_hour_factor = 0.9;
    auto wb = approach(Direction::WB, phase(8, 40));
    wb.volume_left = 150;
    wb.left_turn_mode = LeftTurnMode::Protected;
    auto x = intersection({nb, wb});
    EXPECT_EQ(si::estimate_rtor_volume(x, Direction::NB), 150.0);  // min(150, 222.2)
    EXPECT_EQ(si::estimate_rtor_volume(x, Direction::SB), 0.0);    // no such approach
    x.approaches[1].left_turn_mode = LeftTurnMode::Permitted;
    EXPECT_EQ(si::estimate_rtor_volume(x, Direction::NB), 0.0);
    x.approaches[1].left_turn_mode = LeftTurnMode::ProtectedPermitted;
    x.approaches[0].exclusive_right_lanes = 0;
    x.approaches[0].shared_right_through_lane = true;
    EXPECT_EQ(si::estimate_rtor_volume(x, Direction::NB), 0.0);
}

// Two NB approaches: each gets the estimate of its own right-turn lanes and volume, in place.
TEST(SignalizedRightTurnOnRed, ApplyGivesEveryApproachItsOwnEstimate) {
    auto nb = approach(Direction::NB, phase(2, 50));
    nb.exclusive_right_lanes = 1;
    nb.volume_right = 90;
    auto nb2 = nb;
    nb2.volume_right = 300;
    nb2.peak_hour_factor = 2.0;  // 150 veh/h of right turns
    auto shared = nb;
    shared.exclusive_right_lanes = 0;
    shared.volume_rtor = -5;
    auto given = nb;
    given.volume_rtor = 30;
    auto wb = approach(Direction::WB, phase(8, 40));
    wb.volume_left = 120;
    wb.left_turn_mode = LeftTurnMode::Protected;
    auto x = intersection({nb, nb2, shared, given, wb});
    si::apply_rtor_estimates(x);
    EXPECT_EQ(x.approaches[0].volume_rtor, 90.0);
    EXPECT_EQ(x.approaches[1].volume_rtor, 120.0);
    EXPECT_EQ(x.approaches[2].volume_rtor, 0.0);  // a negative one replaced, by 0
    EXPECT_EQ(x.approaches[3].volume_rtor, 30.0);  // given: kept
    EXPECT_EQ(x.approaches[4].volume_rtor, 0.0);
    EXPECT_TRUE(x.lane_groups.empty());  // results untouched until the next analysis
}

TEST(SignalizedIntersectionResults, ApproachResultByDirectionText) {
    auto x = four_leg_pretimed();
    si::analyze(x);
    EXPECT_EQ(&si::approach_result_of(x, "nb"), &x.approach_results[0]);
    EXPECT_EQ(&si::approach_result_of(x, "Wb"), &x.approach_results[3]);
    EXPECT_EQ(error_of([&] { return si::approach_result_of(x, "north"); }), "no approach north");
    EXPECT_EQ(error_of([] { return base::parse_option(si::DIRECTION_WORDS, "x"); }), "unknown direction X");
}

}  // namespace
