// Interchange analysis: lost times, capacity, filtering, delay, queues and O-D travel times.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "../support/checks.hpp"
#include "interchanges.hpp"

using namespace hcm::ramp_terminals::ramp_terminals;
using hcm::common::LevelOfService;
using namespace ramp_fixtures;
using testing_support::kInf;

namespace {

bool has_od(const Interchange& ix, char letter) {
    for (const OdResult& r : ix.od_results)
        if (base::name_of(r.movement)[0] == letter) return true;
    return false;
}

// The diamond's eastbound through groups and O-D I, worked by hand from the HCM equations:
// EbExtThrough (E + I = 650 veh/h, 2 lanes): s1 = 0.5 + 0.187 * 150/650 - 0.181 * 800 * 150/10^6,
// f_LU = 1 / (2 s1); v_ol = 325 * 100/3600, f_tp = 1 / (1.07 - 0.00486 v_ol); g = 40 s; arrival
// type 3 gives F = 1, d1 = 0.5 C (1 - g/C)^2 / (1 - X g/C), d2 with I = 1. EbIntThrough (D + I =
// 700 veh/h): f_LU 0.952, I = 1 - 0.91 X_ext^2.68. O-D I adds EDTT = 300 / (1.47 * 30) + 4.
TEST(InterchangeAnalysis, DiamondWorkedByHand) {
    Interchange ix = diamond();
    analyze(ix);
    const LaneGroupResult& ext = result(ix, "EbExtThrough");
    EXPECT_DOUBLE_EQ(ext.flow_rate, 650.0);
    EXPECT_NEAR(*ext.lane_utilization, 0.958894409498, 1e-11);
    EXPECT_NEAR(*ext.traffic_pressure, 0.974540138872, 1e-11);
    EXPECT_NEAR(*ext.sat_flow, 3364.131927585, 1e-8);
    EXPECT_DOUBLE_EQ(*ext.effective_green_s, 40.0);
    EXPECT_NEAR(*ext.capacity, 1345.652771034, 1e-8);
    EXPECT_NEAR(*ext.vc_ratio, 0.483036942361, 1e-11);
    EXPECT_NEAR(*ext.uniform_delay_s, 22.310770557, 1e-8);
    EXPECT_NEAR(*ext.incremental_delay_s, 1.243213175, 1e-8);
    EXPECT_NEAR(*ext.control_delay_s, 23.553983732, 1e-8);
    EXPECT_FALSE(ext.queue_storage_ratio.has_value());  // no storage length given
    const LaneGroupResult& internal = result(ix, "EbIntThrough");
    EXPECT_FALSE(internal.downstream_queue_lost_time_s.has_value());
    EXPECT_DOUBLE_EQ(*internal.demand_starvation_lost_time_s, 0.0);  // no green shared with WbIntLeft
    EXPECT_NEAR(*internal.upstream_filtering, 0.870548012930, 1e-11);
    EXPECT_NEAR(*internal.control_delay_s, 24.023362411, 1e-8);
    const OdResult& i = od_result(ix, "I");
    EXPECT_NEAR(i.edtt_s, 10.802721088435, 1e-11);
    EXPECT_NEAR(i.ett_s, 58.380067232, 1e-8);
    EXPECT_EQ(i.los, LevelOfService::D);
    // K has no demand and L passes no lane group; every other letter has a result.
    EXPECT_FALSE(has_od(ix, 'K') || has_od(ix, 'L'));
    EXPECT_EQ(ix.od_results.size(), 12u);
    EXPECT_TRUE(ix.interchange_ett_s && ix.interchange_los);
}

TEST(InterchangeAnalysis, PeakHourFactorAdjustsOdDemandsNotOverrides) {
    Interchange ix = diamond();
    ix.peak_hour_factor = 0.8;
    input(ix, "WbExtRight").demand_override_veh_h = 70.0;
    analyze(ix);
    EXPECT_DOUBLE_EQ(result(ix, "EbExtThrough").flow_rate, 150.0 / 0.8 + 500.0 / 0.8);
    EXPECT_DOUBLE_EQ(result(ix, "WbExtRight").flow_rate, 70.0);
    ix.peak_hour_factor = 0.0;  // treated as 1
    analyze(ix);
    EXPECT_DOUBLE_EQ(ix.od_adjusted->i, 500.0);
}

// ---- Lost time between the intersections ----

// U = EbExtThrough (0-40 s), I = EbIntThrough (50-80 s) and R = SbRampLeft (50-80 s) without
// flow: Q_U = 0, so the storage left is the distance itself, and dq_U = 40 - 0.106 A.
Interchange spillback(double distance_ft) {
    Interchange ix = diamond();
    ix.od = {};
    ix.od.i = 300.0;
    ix.distance_between_intersections_ft = distance_ft;
    ix.lane_groups = {group("EbExtThrough", 2, 0, 40), group("EbIntThrough", 2, 50, 30),
                      group("SbRampLeft", 1, 50, 30)};
    return ix;
}

TEST(DownstreamQueueLostTime, UpToTwoHundredFeetOfStorageAndNotOnSpuiOrDdi) {
    Interchange at = spillback(200.0), above = spillback(200.5);
    analyze(at);
    analyze(above);
    EXPECT_NEAR(*result(at, "EbExtThrough").downstream_queue_lost_time_s, 18.8, 1e-12);
    EXPECT_NEAR(*result(at, "EbExtThrough").effective_green_s, 40.0 - 18.8, 1e-12);
    EXPECT_DOUBLE_EQ(*result(above, "EbExtThrough").downstream_queue_lost_time_s, 0.0);
    for (InterchangeForm form : {InterchangeForm::Spui, InterchangeForm::Ddi}) {
        Interchange ix = spillback(200.0);
        ix.form = form;
        input(ix, "SbRampLeft").downstream_queue_lost_time_s = 3.0;
        input(ix, "EbIntThrough").downstream_queue_lost_time_s = 7.0;  // internal through: not used
        analyze(ix);
        EXPECT_DOUBLE_EQ(*result(ix, "EbExtThrough").downstream_queue_lost_time_s, 0.0);
        EXPECT_DOUBLE_EQ(*result(ix, "SbRampLeft").downstream_queue_lost_time_s, 3.0);
        EXPECT_FALSE(result(ix, "EbIntThrough").downstream_queue_lost_time_s.has_value());
        EXPECT_DOUBLE_EQ(*result(ix, "EbIntThrough").effective_green_s, 30.0);
    }
}

TEST(DemandStarvationLostTime, InternalThroughGreenWithoutArrivals) {
    // I (EbIntThrough, 0-40 s) shares 20 s with WbIntLeft (20-60 s). Feeders: U (0-40 s) with
    // v_th = e + i = 720 veh/h, R = SbRampLeft (60-90 s) with D = 360 veh/h. By hand: s_I = 1800 * 2
    // * 0.952 / (1.07 - 0.00486 * 15), h = 7200 / s_I, n = 10 + (10 - 36 / h), ds = 20 - h n.
    Interchange ix = diamond();
    ix.od = {};
    ix.od.i = 720.0;
    ix.od.d = 360.0;
    ix.lane_groups = {group("EbExtThrough", 2, 0, 40), group("EbIntThrough", 2, 0, 40),
                      group("WbIntLeft", 1, 20, 40), group("SbRampLeft", 1, 60, 30)};
    analyze(ix);
    const LaneGroupResult& internal = result(ix, "EbIntThrough");
    EXPECT_NEAR(*internal.sat_flow, 3437.167786581085, 1e-8);
    EXPECT_NEAR(*internal.demand_starvation_lost_time_s, 14.105042016806724, 1e-9);
    EXPECT_NEAR(*internal.effective_green_s, 25.894957983193276, 1e-9);
}

// ---- Capacity, filtering and delay by control ----

// A yielding turn in a 100 s cycle whose conflicting stream (g_c 40 s) is saturated (v_cl >= s_cl),
// so t_q = C - g_c = 60 s and c = 60 * 3600 / 3 / 100 = 720 veh/h.
const YieldTurnInput YIELD_AT_720{5.0, 3.0, 600.0, 600.0, 500.0, 40.0, 0.0, 0.0, std::nullopt};

TEST(LaneGroupControls, FreeFlowAndYield) {
    Interchange ix = diamond();
    input(ix, "EbExtRight").control = free_flow();
    input(ix, "WbExtRight").control = yield_controlled(YIELD_AT_720);
    input(ix, "WbExtRight").demand_override_veh_h = 200.0;
    analyze(ix);
    const LaneGroupResult& free = result(ix, "EbExtRight");
    EXPECT_FALSE(free.capacity || free.uniform_delay_s);
    EXPECT_EQ(free.vc_ratio, 0.0);
    EXPECT_EQ(free.control_delay_s, 0.0);
    EXPECT_EQ(od_result(ix, "F").ett_s, 0.0);
    const LaneGroupResult& yield = result(ix, "WbExtRight");
    EXPECT_NEAR(*yield.capacity, 720.0, 1e-9);
    EXPECT_NEAR(*yield.control_delay_s, 8.300719363462703, 1e-9);  // 3600/c + 900 T [...] + 5 x
    EXPECT_FALSE(yield.back_of_queue_veh.has_value());
    // At capacity exactly no flag is raised.
    input(ix, "WbExtRight").demand_override_veh_h = 720.0;
    analyze(ix);
    EXPECT_EQ(result(ix, "WbExtRight").vc_ratio, 1.0);
    EXPECT_FALSE(od_result(ix, "G").vc_exceeds_one);
    // A yield with no capacity (no conflicting red, clearing takes the whole green) has an
    // infinite delay, which the O-D path and the interchange take.
    YieldTurnInput blocked = YIELD_AT_720;
    blocked.conflicting_green_s = 100.0;
    blocked.conflicting_flow_per_lane = 0.0;
    blocked.clearance_distance_ft = 1000.0;
    blocked.clearance_speed_mph = 1.0;
    input(ix, "WbExtRight").control = yield_controlled(blocked);
    analyze(ix);
    EXPECT_EQ(result(ix, "WbExtRight").capacity, 0.0);
    EXPECT_EQ(result(ix, "WbExtRight").control_delay_s, kInf);
    EXPECT_EQ(od_result(ix, "G").ett_s, kInf);
    EXPECT_EQ(od_result(ix, "G").los, LevelOfService::F);
    EXPECT_EQ(ix.interchange_ett_s, kInf);
}

struct YieldCase {
    const char* name;
    YieldTurnInput input;
    double capacity;  // NaN: left undefined
};

class YieldWithoutCapacity : public ::testing::TestWithParam<YieldCase> {};

// A yielding turn with no follow-up headway (3600 / t_f would give an infinite capacity and a zero
// delay), or with a capacity that is not finite and positive, cannot enter: v/c and delay are
// infinite, and so the O-D path's travel time, with LOS F.
TEST_P(YieldWithoutCapacity, InfiniteVcAndDelay) {
    const YieldCase& c = GetParam();
    Interchange ix = diamond();
    input(ix, "WbExtRight").control = yield_controlled(c.input);
    analyze(ix);
    const LaneGroupResult& r = result(ix, "WbExtRight");
    if (std::isnan(c.capacity)) {
        EXPECT_TRUE(std::isnan(*r.capacity));
    } else {
        EXPECT_EQ(r.capacity, c.capacity);
    }
    EXPECT_EQ(r.vc_ratio, kInf);
    EXPECT_EQ(r.control_delay_s, kInf);
    EXPECT_TRUE(od_result(ix, "G").vc_exceeds_one);
    EXPECT_EQ(od_result(ix, "G").ett_s, kInf);
    EXPECT_EQ(od_result(ix, "G").los, LevelOfService::F);
}

YieldTurnInput yield_with(double t_c, double t_f, double g_c) {
    YieldTurnInput y = YIELD_AT_720;
    y.critical_headway_s = t_c;
    y.follow_up_headway_s = t_f;
    y.conflicting_green_s = g_c;
    return y;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, YieldWithoutCapacity,
    ::testing::Values(YieldCase{"ZeroFollowUpThroughRed", yield_with(5.0, 0.0, 40.0), 0.0},
                      YieldCase{"ZeroFollowUpThroughGaps", yield_with(5.0, 0.0, 100.0), 0.0},
                      YieldCase{"NegativeFollowUp", yield_with(5.0, -3.0, 40.0), 0.0},
                      YieldCase{"UndefinedCapacity", yield_with(testing_support::kNaN, 3.0, 100.0),
                                testing_support::kNaN}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UpstreamFiltering, OversaturatedExternalThroughFiltersTheInternalGroups) {
    Interchange ix = diamond();
    input(ix, "EbExtThrough").demand_override_veh_h = 1.2 * 1345.652771034;
    input(ix, "WbIntLeft").upstream_filtering_override = 0.5;
    analyze(ix);
    EXPECT_GT(*result(ix, "EbExtThrough").vc_ratio, 1.0);
    EXPECT_EQ(result(ix, "EbIntThrough").upstream_filtering, 0.09);
    EXPECT_EQ(result(ix, "EbIntLeft").upstream_filtering, 0.09);
    EXPECT_EQ(result(ix, "EbExtThrough").upstream_filtering, 1.0);
    EXPECT_EQ(result(ix, "WbIntLeft").upstream_filtering, 0.5);
}

TEST(SignalizedDelay, ProgressionByArrivalType) {
    Interchange ix = diamond();
    const double x = 0.483036942361, gc = 0.4;
    for (std::uint8_t type : {0, 7}) {  // random arrivals: P = g/C and F = 1
        input(ix, "EbExtThrough").arrival_type = type;
        analyze(ix);
        EXPECT_NEAR(*result(ix, "EbExtThrough").uniform_delay_s, 0.5 * 100 * 0.36 / (1 - x * gc), 1e-8);
    }
    input(ix, "EbExtThrough").arrival_type = 5;  // R_p 1.67
    analyze(ix);
    const double p = 1.67 * gc;
    const double f = ((1 - p) / (1 - gc)) * ((1 - x * gc) / (1 - x * p)) * (1 + x * gc * (1 - p / gc) / (1 - gc));
    EXPECT_NEAR(*result(ix, "EbExtThrough").uniform_delay_s, 0.5 * 100 * 0.36 * f / (1 - x * gc), 1e-8);
}

// The reference's minimal interchange document: the diamond at s0 1,900 pc/h/ln, PHF 0.92, 600 ft
// between the intersections, 2 % heavy vehicles everywhere and no extra distance.
Interchange reference_diamond() {
    Interchange ix = diamond();
    ix.base_saturation_flow = 1900.0;
    ix.peak_hour_factor = 0.92;
    ix.distance_between_intersections_ft = 600.0;
    ix.extra_distances[8] = {};
    for (LaneGroupInput& g : ix.lane_groups) g.pct_heavy_vehicles = 2.0;
    return ix;
}

// A group with demand and no effective green is never served: its delay and queue are unbounded,
// and so are the travel times of the O-D paths through it and the interchange's, all LOS F.
TEST(SignalizedDelay, DemandWithoutEffectiveGreenIsUnbounded) {
    Interchange ix = reference_diamond();
    input(ix, "EbExtThrough").greens = {{0, 4}};
    analyze(ix);
    EXPECT_NEAR(*result(ix, "EbExtThrough").control_delay_s, 1896.7408996318729, 1e-8);
    EXPECT_NEAR(*ix.interchange_ett_s, 632.8802027830768, 1e-9);

    input(ix, "EbExtThrough").greens = {};
    analyze(ix);
    const LaneGroupResult& r = result(ix, "EbExtThrough");
    EXPECT_NEAR(r.flow_rate, 650 / 0.92, 1e-9);
    EXPECT_EQ(r.capacity, 0.0);
    EXPECT_EQ(r.vc_ratio, kInf);
    EXPECT_EQ(r.uniform_delay_s, 50.0);  // 0.5 C with F = 1, not 0/0
    for (const auto& value : {r.incremental_delay_s, r.control_delay_s, r.back_of_queue_veh}) EXPECT_EQ(value, kInf);
    for (const char* through : {"E", "I"}) {
        EXPECT_EQ(od_result(ix, through).ett_s, kInf) << through;
        EXPECT_EQ(od_result(ix, through).los, LevelOfService::F) << through;
    }
    EXPECT_NEAR(od_result(ix, "A").ett_s, 54.99346756850763, 1e-9);  // elsewhere nothing moves
    EXPECT_EQ(ix.interchange_ett_s, kInf);
    EXPECT_EQ(ix.interchange_los, LevelOfService::F);
    input(ix, "EbExtThrough").storage_ft = 400.0;
    analyze(ix);
    EXPECT_EQ(result(ix, "EbExtThrough").queue_storage_ratio, kInf);
    EXPECT_TRUE(od_result(ix, "E").rq_exceeds_one);
}

TEST(SignalizedDelay, AnInitialQueueWithoutCapacityNeverClears) {
    Interchange ix = diamond();
    input(ix, "NbRampRight").greens = {};
    input(ix, "NbRampRight").yellow_all_red_s = 0.0;
    input(ix, "NbRampRight").initial_queue_veh = 5.0;
    analyze(ix);
    const LaneGroupResult& r = result(ix, "NbRampRight");
    EXPECT_EQ(r.capacity, 0.0);
    // Infinite: neither the printed bracket's inf - inf nor a floor's finite 3.6e12 s.
    EXPECT_EQ(r.initial_queue_delay_s, kInf);
    EXPECT_EQ(r.control_delay_s, kInf);
    EXPECT_EQ(od_result(ix, "B").ett_s, kInf);
    EXPECT_EQ(od_result(ix, "B").los, LevelOfService::F);
}

TEST(SignalizedDelay, InitialQueueAndQueueStorage) {
    Interchange ix = diamond();
    input(ix, "NbRampRight").initial_queue_veh = 5.0;
    input(ix, "NbRampRight").storage_ft = 50.0;
    input(ix, "NbRampRight").pct_heavy_vehicles = 10.0;
    analyze(ix);
    const LaneGroupResult& r = result(ix, "NbRampRight");
    // Undersaturated: the initial queue clears in t = Q_b / (c - v).
    const double c = *r.capacity, v = 150.0, t = 5.0 / (c - v), qe = 5.0 + (v - c) * t;
    const double d3 = (3600.0 / (0.25 * v)) * ((qe * qe) / (2 * c) + t * (5.0 + qe) / 2.0 - 25.0 / (2 * c));
    EXPECT_NEAR(*r.initial_queue_delay_s, d3, 1e-9);
    EXPECT_NEAR(*r.queue_storage_ratio, *r.back_of_queue_veh * (25.0 * 0.9 + 4.5) / 50.0, 1e-12);
    EXPECT_EQ(r.queue_storage_ratio > 1.0, od_result(ix, "B").rq_exceeds_one);
}

// A protected-permitted left (EbIntLeft, 360 veh/h, one lane): 50 s of green of which the last 30 s
// permitted and unblocked, with the permitted saturation flow given.
Interchange protected_permitted(double permitted_sat_flow, double demand, double extension_s) {
    Interchange ix = diamond();
    ix.od = {};
    ix.od.e = demand;
    ix.lane_groups = {group("EbIntLeft", 1, 0, 50)};
    ix.lane_groups[0].protected_permitted_left = ProtectedPermittedLeft{30.0, 30.0, 800.0, permitted_sat_flow};
    ix.lane_groups[0].extension_of_green_s = extension_s;
    return ix;
}

TEST(ProtectedPermittedLeft, QueueAccumulationOverOneLane) {
    Interchange ix = protected_permitted(600.0, 360.0, 2.0);
    analyze(ix);
    const LaneGroupResult& r = result(ix, "EbIntLeft");
    // s_prot = 1800 / (1.07 - 0.00672 * 10) (P_L = 1); s = (20 s_prot + 30 * 600) / 50.
    EXPECT_NEAR(*r.protected_sat_flow, 1794.9740725967288, 1e-9);
    EXPECT_NEAR(*r.sat_flow, 1077.9896290386914, 1e-9);
    // 5 veh after 50 s of red, cleared in the protected green: area 125 + 25 / (2 (s_prot/3600 - 0.1)).
    EXPECT_NEAR(*r.uniform_delay_s, 15.635945161613131, 1e-9);
    // No permitted discharge and 54 s of effective green against 20 s of protected discharge: the
    // queue grows by about a vehicle each cycle, and d1 is the area of cycle 60.
    Interchange growing = protected_permitted(0.0, 20000.0, 6.0);
    analyze(growing);
    EXPECT_NEAR(*result(growing, "EbIntLeft").uniform_delay_s, 472.59259259259176, 1e-7);
}

// ---- O-D travel times ----

TEST(OdTravelTime, ExtraDistanceAndLosBounds) {
    Interchange ix = diamond();
    ix.extra_distances[1] = {-200.0, 5.0, 40.0};  // B at its own speed
    analyze(ix);
    EXPECT_NEAR(od_result(ix, "B").edtt_s, -200.0 / 58.8 - 5.0, 1e-12);
    // Exhibit 23-10 bounds belong to the better letter; F is evaluated without a lane group.
    ix.lane_groups = {};
    ix.od = {};
    ix.od.f = 100.0;
    const std::pair<double, LevelOfService> bounds[] = {{15.0, LevelOfService::A},  {30.0, LevelOfService::B},
                                                        {55.0, LevelOfService::C},  {55.5, LevelOfService::D},
                                                        {120.0, LevelOfService::E}, {120.5, LevelOfService::F}};
    for (auto [ett, los] : bounds) {
        ix.extra_distances[5] = {0.0, ett, std::nullopt};  // no distance: EDTT = acceleration delay
        analyze(ix);
        EXPECT_EQ(od_result(ix, "F").ett_s, ett);
        EXPECT_EQ(od_result(ix, "F").los, los) << ett;
        EXPECT_EQ(ix.interchange_los, los);
    }
    ix.extra_distance_speed_mph = 0.0;
    ix.extra_distances[5] = {300.0, 4.0, std::nullopt};
    analyze(ix);
    EXPECT_EQ(od_result(ix, "F").edtt_s, 0.0);
}

TEST(OdTravelTime, NoDemandKeepsThePreviousInterchangeResult) {
    Interchange ix = diamond();
    analyze(ix);
    const auto ett = ix.interchange_ett_s;
    ix.od = {};
    analyze(ix);
    EXPECT_TRUE(ix.od_results.empty());
    EXPECT_EQ(ix.interchange_ett_s, ett);
    Interchange fresh = diamond();
    fresh.od = {};
    analyze(fresh);
    EXPECT_FALSE(fresh.interchange_ett_s || fresh.interchange_los);
}

TEST(OdTravelTime, SpuiHasNoPathsForLMN) {
    Interchange ix = diamond();
    ix.form = InterchangeForm::Spui;
    ix.lane_groups.push_back(group("EbExtLeft", 1, 45, 20));
    analyze(ix);
    EXPECT_FALSE(has_od(ix, 'M') || has_od(ix, 'N'));
    EXPECT_EQ(od_result(ix, "E").control_delay_s, result(ix, "EbExtLeft").control_delay_s);
}

TEST(DegenerateTiming, NonPositiveCycleOrPeriodFlowsThroughWithoutFailing) {
    const std::pair<double, double> timings[] = {
        {0.0, 0.25}, {-10.0, 0.25}, {100.0, 0.0}, {testing_support::kNaN, 0.25}};
    for (auto [cycle, period] : timings) {
        Interchange ix = diamond();
        ix.cycle_length_s = cycle;
        ix.analysis_period_h = period;
        EXPECT_NO_THROW(analyze(ix));
        EXPECT_EQ(ix.od_results.size(), 12u);
    }
    Interchange ix = diamond();
    ix.analysis_period_h = 0.0;  // the incremental delay and every O-D travel time are undefined
    analyze(ix);
    EXPECT_TRUE(std::isnan(od_result(ix, "I").ett_s));
    ix = diamond();
    ix.cycle_length_s = 0.0;  // a signalized group with green has an infinite capacity
    analyze(ix);
    EXPECT_EQ(result(ix, "EbExtThrough").capacity, kInf);
}

TEST(InterchangeMovementNames, RoundTripAllSixtyFour) {
    for (int k = 0; k < 64; ++k) {
        const InterchangeMovement m{static_cast<InterchangeApproach>(k / 16), static_cast<InterchangeLeg>(k / 4 % 4),
                                    static_cast<MovementTurn>(k % 4)};
        EXPECT_EQ(InterchangeMovement::from_name(m.name()), m);
    }
    EXPECT_EQ(movement("SbRampTwoThroughRight").name(), "SbRampTwoThroughRight");
    EXPECT_FALSE(InterchangeMovement::from_name("EbExt") || InterchangeMovement::from_name("EbExtThroughX"));
}

}  // namespace
