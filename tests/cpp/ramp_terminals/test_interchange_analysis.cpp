// Interchange analysis: lost times, capacity, filtering, delay, queues and O-D travel times.
#include <gtest/gtest.h>

#include <cmath>

#include "../support/checks.hpp"
#include "interchanges.hpp"

using namespace hcm::ramp_terminals::ramp_terminals;
using hcm::common::LevelOfService;
using hcm::ramp_terminals::exhibits::OdMovement;
using namespace ramp_fixtures;
using testing_support::kInf;

namespace {

const OdResult* find_od(const Interchange& ix, OdMovement od) {
    for (const OdResult& r : ix.od_results)
        if (r.movement == od) return &r;
    return nullptr;
}

// The diamond's eastbound through groups and O-D I, worked by hand from the HCM equations:
// EbExtThrough (E + I = 650 veh/h, 2 lanes): s1 = 0.5 + 0.187 * 150/650 - 0.181 * 800 * 150/10^6,
// f_LU = 1 / (2 s1); v_ol = 325 * 100/3600, f_tp = 1 / (1.07 - 0.00486 v_ol); g = 40 s; arrival
// type 3 gives F = 1, d1 = 0.5 C (1 - g/C)^2 / (1 - X g/C), d2 with I = 1. EbIntThrough (D + I =
// 700 veh/h): f_LU 0.952, I = 1 - 0.91 X_ext^2.68.
TEST(InterchangeAnalysis, DiamondWorkedByHand) {
    Interchange ix = diamond();
    analyze(ix);
    const LaneGroupResult& ext = result(ix, "EbExtThrough");
    EXPECT_DOUBLE_EQ(ext.flow_rate, 650.0);
    EXPECT_NEAR(*ext.lane_utilization, 0.958894409498, 1e-11);
    EXPECT_NEAR(*ext.traffic_pressure, 0.974540138872, 1e-11);
    EXPECT_NEAR(*ext.sat_flow, 3364.131927585, 1e-8);
    EXPECT_DOUBLE_EQ(*ext.downstream_queue_lost_time_s, 0.0);
    EXPECT_DOUBLE_EQ(*ext.adjusted_lost_time_s, 4.0);
    EXPECT_DOUBLE_EQ(*ext.effective_green_s, 40.0);
    EXPECT_NEAR(*ext.capacity, 1345.652771034, 1e-8);
    EXPECT_NEAR(*ext.vc_ratio, 0.483036942361, 1e-11);
    EXPECT_DOUBLE_EQ(*ext.upstream_filtering, 1.0);
    EXPECT_NEAR(*ext.uniform_delay_s, 22.310770557, 1e-8);
    EXPECT_NEAR(*ext.incremental_delay_s, 1.243213175, 1e-8);
    EXPECT_DOUBLE_EQ(*ext.initial_queue_delay_s, 0.0);
    EXPECT_NEAR(*ext.control_delay_s, 23.553983732, 1e-8);
    EXPECT_FALSE(ext.demand_starvation_lost_time_s.has_value());
    EXPECT_FALSE(ext.queue_storage_ratio.has_value());  // no storage length given

    const LaneGroupResult& internal = result(ix, "EbIntThrough");
    EXPECT_FALSE(internal.downstream_queue_lost_time_s.has_value());
    EXPECT_DOUBLE_EQ(*internal.demand_starvation_lost_time_s, 0.0);  // no green shared with WbIntLeft
    EXPECT_NEAR(*internal.upstream_filtering, 0.870548012930, 1e-11);
    EXPECT_NEAR(*internal.sat_flow, 3350.965534099, 1e-8);
    EXPECT_NEAR(*internal.control_delay_s, 24.023362411, 1e-8);

    // O-D I: both delays plus EDTT = 300 / (1.47 * 30) + 4.
    const OdResult* i = find_od(ix, OdMovement::I);
    ASSERT_NE(i, nullptr);
    EXPECT_DOUBLE_EQ(i->demand, 500.0);
    EXPECT_NEAR(i->control_delay_s, 23.553983732 + 24.023362411, 1e-8);
    EXPECT_NEAR(i->edtt_s, 10.802721088435, 1e-11);
    EXPECT_NEAR(i->ett_s, 58.380067232, 1e-8);
    EXPECT_EQ(i->los, LevelOfService::D);  // above 55 s

    // K has no demand and L passes no lane group: no results; every other letter has one.
    EXPECT_EQ(find_od(ix, OdMovement::K), nullptr);
    EXPECT_EQ(find_od(ix, OdMovement::L), nullptr);
    EXPECT_EQ(ix.od_results.size(), 12u);
    ASSERT_TRUE(ix.interchange_ett_s.has_value());
    EXPECT_TRUE(ix.interchange_los.has_value());
    EXPECT_EQ(ix.od_adjusted, ix.od);
}

TEST(InterchangeAnalysis, PeakHourFactorAdjustsOdDemandsNotOverrides) {
    Interchange ix = diamond();
    ix.peak_hour_factor = 0.8;
    input(ix, "WbExtRight").demand_override_veh_h = 70.0;
    analyze(ix);
    EXPECT_DOUBLE_EQ(ix.od_adjusted->i, 500.0 / 0.8);
    EXPECT_DOUBLE_EQ(result(ix, "EbExtThrough").flow_rate, 150.0 / 0.8 + 500.0 / 0.8);
    EXPECT_DOUBLE_EQ(result(ix, "WbExtRight").flow_rate, 70.0);
    ix.peak_hour_factor = 0.0;  // treated as 1
    analyze(ix);
    EXPECT_DOUBLE_EQ(ix.od_adjusted->i, 500.0);
}

// ---- Lost time between the intersections ----

// U = EbExtThrough (0-40 s), I = EbIntThrough (50-80 s) and R = SbRampLeft (50-80 s) without
// flow: Q_U = 0, so the storage left is the distance itself.
Interchange spillback(double distance_ft) {
    Interchange ix = diamond();
    ix.od = {};
    ix.od.i = 300.0;
    ix.distance_between_intersections_ft = distance_ft;
    ix.lane_groups = {group("EbExtThrough", 2, 0, 40), group("EbIntThrough", 2, 50, 30),
                      group("SbRampLeft", 1, 50, 30)};
    return ix;
}

TEST(DownstreamQueueLostTime, ComputedUpToTwoHundredFeetOfStorage) {
    Interchange at = spillback(200.0);
    analyze(at);
    // dq = G_U - 0.106 A - 5.39 gc(U, I) / C = 40 - 21.2 - 0.
    EXPECT_NEAR(*result(at, "EbExtThrough").downstream_queue_lost_time_s, 18.8, 1e-12);
    EXPECT_NEAR(*result(at, "EbExtThrough").effective_green_s, 40.0 - 18.8, 1e-12);
    Interchange above = spillback(200.5);
    analyze(above);
    EXPECT_DOUBLE_EQ(*result(above, "EbExtThrough").downstream_queue_lost_time_s, 0.0);
}

TEST(DownstreamQueueLostTime, SpuiAndDdiTakeOnlyOverrides) {
    for (InterchangeForm form : {InterchangeForm::Spui, InterchangeForm::Ddi}) {
        Interchange ix = spillback(200.0);
        ix.form = form;
        input(ix, "SbRampLeft").downstream_queue_lost_time_s = 3.0;
        input(ix, "EbIntThrough").downstream_queue_lost_time_s = 7.0;  // internal through: not used
        analyze(ix);
        EXPECT_DOUBLE_EQ(*result(ix, "EbExtThrough").downstream_queue_lost_time_s, 0.0);
        EXPECT_DOUBLE_EQ(*result(ix, "SbRampLeft").downstream_queue_lost_time_s, 3.0);
        EXPECT_FALSE(result(ix, "EbIntThrough").downstream_queue_lost_time_s.has_value());
        EXPECT_DOUBLE_EQ(*result(ix, "EbIntThrough").demand_starvation_lost_time_s, 0.0);
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
    EXPECT_NEAR(*internal.adjusted_lost_time_s, 14.105042016806724 + 4.0, 1e-9);
    EXPECT_NEAR(*internal.effective_green_s, 25.894957983193276, 1e-9);
}

// ---- Capacity, filtering and delay by control ----

// A yielding turn in a 100 s cycle whose conflicting stream (g_c 40 s) is saturated (v_cl >= s_cl),
// so t_q = C - g_c = 60 s and c = 60 * 3600 / 3 / 100 = 720 veh/h.
YieldTurnInput yield_at_720() {
    YieldTurnInput y;
    y.critical_headway_s = 5.0;
    y.follow_up_headway_s = 3.0;
    y.conflicting_flow_veh_h = 600.0;
    y.conflicting_flow_per_lane = 600.0;
    y.conflicting_sat_flow_per_lane = 500.0;
    y.conflicting_green_s = 40.0;
    return y;
}

TEST(LaneGroupControls, FreeFlowAndYield) {
    Interchange ix = diamond();
    input(ix, "EbExtRight").control = free_flow();
    YieldTurnInput y = yield_at_720();
    input(ix, "WbExtRight").control = yield_controlled(y);
    input(ix, "WbExtRight").demand_override_veh_h = 200.0;
    analyze(ix);
    const LaneGroupResult& free = result(ix, "EbExtRight");
    EXPECT_FALSE(free.capacity.has_value());
    EXPECT_DOUBLE_EQ(*free.vc_ratio, 0.0);
    EXPECT_DOUBLE_EQ(*free.control_delay_s, 0.0);
    EXPECT_FALSE(free.uniform_delay_s.has_value());
    const LaneGroupResult& yield = result(ix, "WbExtRight");
    EXPECT_NEAR(*yield.capacity, 720.0, 1e-9);
    EXPECT_NEAR(*yield.vc_ratio, 200.0 / 720.0, 1e-12);
    EXPECT_NEAR(*yield.control_delay_s, 8.300719363462703, 1e-9);
    EXPECT_FALSE(yield.back_of_queue_veh.has_value());
    // O-D F passes the free-flow group: no delay, ETT = EDTT = 0.
    EXPECT_DOUBLE_EQ(find_od(ix, OdMovement::F)->ett_s, 0.0);

    // A yield with no capacity has an infinite delay, which the O-D path and the interchange take.
    y.conflicting_flow_per_lane = 0.0;
    y.conflicting_green_s = 100.0;  // no red of the conflicting stream
    y.clearance_distance_ft = 1000.0;
    y.clearance_speed_mph = 1.0;  // clearing takes the whole green
    input(ix, "WbExtRight").control = yield_controlled(y);
    analyze(ix);
    EXPECT_DOUBLE_EQ(*result(ix, "WbExtRight").capacity, 0.0);
    EXPECT_EQ(*result(ix, "WbExtRight").control_delay_s, kInf);
    EXPECT_EQ(find_od(ix, OdMovement::G)->ett_s, kInf);
    EXPECT_EQ(find_od(ix, OdMovement::G)->los, LevelOfService::F);
    EXPECT_EQ(*ix.interchange_ett_s, kInf);
}

TEST(UpstreamFiltering, OversaturatedExternalThroughFiltersTheInternalGroups) {
    Interchange ix = diamond();
    input(ix, "EbExtThrough").demand_override_veh_h = 1.2 * 1345.652771034;
    input(ix, "WbIntLeft").upstream_filtering_override = 0.5;
    analyze(ix);
    EXPECT_GT(*result(ix, "EbExtThrough").vc_ratio, 1.0);
    EXPECT_DOUBLE_EQ(*result(ix, "EbIntThrough").upstream_filtering, 0.09);
    EXPECT_DOUBLE_EQ(*result(ix, "EbIntLeft").upstream_filtering, 0.09);
    EXPECT_DOUBLE_EQ(*result(ix, "EbExtThrough").upstream_filtering, 1.0);
    EXPECT_DOUBLE_EQ(*result(ix, "WbIntLeft").upstream_filtering, 0.5);
}

TEST(SignalizedDelay, ArrivalTypesOutsideOneToSixGiveRandomArrivals) {
    Interchange ix = diamond();
    const double x = 0.483036942361, gc = 0.4;
    for (std::uint8_t type : {0, 7}) {
        input(ix, "EbExtThrough").arrival_type = type;
        analyze(ix);
        EXPECT_NEAR(*result(ix, "EbExtThrough").uniform_delay_s, 0.5 * 100 * 0.36 / (1 - x * gc), 1e-8);
    }
    // Arrival type 5 (R_p 1.67): P = 0.668 and the progression factor lowers d1.
    input(ix, "EbExtThrough").arrival_type = 5;
    analyze(ix);
    const double p = 1.67 * gc;
    const double f = ((1 - p) / (1 - gc)) * ((1 - x * gc) / (1 - x * p)) * (1 + x * gc * (1 - p / gc) / (1 - gc));
    EXPECT_NEAR(*result(ix, "EbExtThrough").uniform_delay_s, 0.5 * 100 * 0.36 * f / (1 - x * gc), 1e-8);
}

TEST(SignalizedDelay, NoEffectiveGreenTakesTheUniformDelayLimit) {
    Interchange ix = diamond();
    input(ix, "NbRampRight").greens = {};
    input(ix, "NbRampRight").yellow_all_red_s = 0.0;
    analyze(ix);
    const LaneGroupResult& r = result(ix, "NbRampRight");
    EXPECT_DOUBLE_EQ(*r.effective_green_s, 0.0);
    EXPECT_DOUBLE_EQ(*r.uniform_delay_s, 50.0);  // 0.5 C with F = 1, not 0/0
    EXPECT_EQ(*r.vc_ratio, kInf);
    EXPECT_DOUBLE_EQ(*r.incremental_delay_s, 0.0);  // no capacity
    EXPECT_DOUBLE_EQ(*r.back_of_queue_veh, 0.0);
    EXPECT_TRUE(find_od(ix, OdMovement::B)->vc_exceeds_one);
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
    input(ix, "NbRampRight").storage_ft = 0.0;
    analyze(ix);
    EXPECT_DOUBLE_EQ(*result(ix, "NbRampRight").queue_storage_ratio, 0.0);
}

// A protected-permitted left (EbIntLeft, 360 veh/h, one lane): 50 s of green of which the last 30 s
// permitted, unblocked throughout, permitted saturation flow 600 veh/h.
Interchange protected_permitted(double opposing_override) {
    Interchange ix = diamond();
    ix.od = {};
    ix.od.e = 360.0;
    LaneGroupInput left = group("EbIntLeft", 1, 0, 50);
    left.protected_permitted_left = ProtectedPermittedLeft{30.0, 30.0, 800.0, opposing_override};
    ix.lane_groups = {left};
    return ix;
}

TEST(ProtectedPermittedLeft, QueueAccumulationOverOneLane) {
    Interchange ix = protected_permitted(600.0);
    analyze(ix);
    const LaneGroupResult& r = result(ix, "EbIntLeft");
    // s_prot = 1800 / (1.07 - 0.00672 * 10) (P_L = 1); s = (20 s_prot + 30 * 600) / 50.
    EXPECT_NEAR(*r.protected_sat_flow, 1794.9740725967288, 1e-9);
    EXPECT_DOUBLE_EQ(*r.permitted_sat_flow, 600.0);
    EXPECT_NEAR(*r.sat_flow, 1077.9896290386914, 1e-9);
    // 5 veh after 50 s of red, cleared in the protected green: area 125 + 25 / (2 (s_prot/3600 - 0.1)).
    EXPECT_NEAR(*r.uniform_delay_s, 15.635945161613131, 1e-9);
}

TEST(ProtectedPermittedLeft, AQueueGrowingEveryCycleStopsAfterSixtyCycles) {
    // No permitted discharge and 54 s of effective green (extension 6 s) against 20 s of
    // protected discharge: about one vehicle more each cycle. d1 is the area of cycle 60.
    Interchange ix = protected_permitted(0.0);
    ix.od.e = 20000.0;
    ix.lane_groups[0].extension_of_green_s = 6.0;
    analyze(ix);
    EXPECT_GT(*result(ix, "EbIntLeft").vc_ratio, 1.0);
    EXPECT_NEAR(*result(ix, "EbIntLeft").uniform_delay_s, 472.59259259259176, 1e-7);
}

// ---- O-D travel times ----

TEST(OdTravelTime, ExtraDistanceAndLosThresholds) {
    Interchange ix = diamond();
    ix.extra_distances[1] = {-200.0, 5.0, 40.0};  // B at its own speed
    analyze(ix);
    EXPECT_NEAR(find_od(ix, OdMovement::B)->edtt_s, -200.0 / 58.8 - 5.0, 1e-12);
    ix.extra_distance_speed_mph = 0.0;
    analyze(ix);
    EXPECT_DOUBLE_EQ(find_od(ix, OdMovement::I)->edtt_s, 0.0);

    // Exhibit 23-10 bounds belong to the better letter.
    ix.lane_groups = {};
    ix.od = {};
    ix.od.f = 100.0;
    ix.extra_distance_speed_mph = 30.0;
    const std::pair<double, LevelOfService> bounds[] = {{15.0, LevelOfService::A},  {30.0, LevelOfService::B},
                                                        {55.0, LevelOfService::C},  {55.5, LevelOfService::D},
                                                        {120.0, LevelOfService::E}, {120.5, LevelOfService::F}};
    for (auto [ett, los] : bounds) {
        ix.extra_distances[5] = {0.0, ett, std::nullopt};  // no distance: EDTT = acceleration delay
        analyze(ix);
        const OdResult* f = find_od(ix, OdMovement::F);
        ASSERT_NE(f, nullptr);  // F is evaluated without a lane group on its path
        EXPECT_DOUBLE_EQ(f->control_delay_s, 0.0);
        EXPECT_NEAR(f->ett_s, ett, 1e-9);
        EXPECT_EQ(f->los, los) << ett;
        EXPECT_EQ(*ix.interchange_los, los);
    }
}

TEST(OdTravelTime, FlagsForceLosF) {
    Interchange ix = diamond();
    input(ix, "NbRampRight").demand_override_veh_h = 1e4;
    input(ix, "SbRampRight").storage_ft = 1.0;
    analyze(ix);
    EXPECT_TRUE(find_od(ix, OdMovement::B)->vc_exceeds_one);
    EXPECT_EQ(find_od(ix, OdMovement::B)->los, LevelOfService::F);
    EXPECT_TRUE(find_od(ix, OdMovement::C)->rq_exceeds_one);
    EXPECT_FALSE(find_od(ix, OdMovement::C)->vc_exceeds_one);
    EXPECT_EQ(find_od(ix, OdMovement::C)->los, LevelOfService::F);
    // v/c of exactly 1 raises no flag.
    const YieldTurnInput y = yield_at_720();
    input(ix, "WbExtRight").control = yield_controlled(y);
    input(ix, "WbExtRight").demand_override_veh_h = 720.0;
    analyze(ix);
    EXPECT_EQ(*result(ix, "WbExtRight").vc_ratio, 1.0);
    EXPECT_FALSE(find_od(ix, OdMovement::G)->vc_exceeds_one);
    EXPECT_NE(find_od(ix, OdMovement::G)->los, LevelOfService::F);
}

TEST(OdTravelTime, NoDemandKeepsThePreviousInterchangeResult) {
    Interchange ix = diamond();
    analyze(ix);
    const auto ett = ix.interchange_ett_s;
    const auto los = ix.interchange_los;
    ix.od = {};
    analyze(ix);
    EXPECT_TRUE(ix.od_results.empty());
    EXPECT_EQ(ix.interchange_ett_s, ett);
    EXPECT_EQ(ix.interchange_los, los);
    Interchange fresh = diamond();
    fresh.od = {};
    analyze(fresh);
    EXPECT_FALSE(fresh.interchange_ett_s.has_value());
    EXPECT_FALSE(fresh.interchange_los.has_value());
}

TEST(OdTravelTime, SpuiHasNoPathsForLMN) {
    Interchange ix = diamond();
    ix.form = InterchangeForm::Spui;
    ix.lane_groups.push_back(group("EbExtLeft", 1, 45, 20));
    analyze(ix);
    EXPECT_EQ(find_od(ix, OdMovement::M), nullptr);
    EXPECT_EQ(find_od(ix, OdMovement::N), nullptr);
    EXPECT_DOUBLE_EQ(find_od(ix, OdMovement::E)->control_delay_s, *result(ix, "EbExtLeft").control_delay_s);
}

// ---- Degenerate cycle and analysis period ----

TEST(DegenerateTiming, NonPositiveCycleOrPeriodFlowsThroughWithoutFailing) {
    const std::pair<double, double> timings[] = {{0.0, 0.25}, {-10.0, 0.25}, {100.0, 0.0}, {testing_support::kNaN, 0.25}};
    for (auto [cycle, period] : timings) {
        Interchange ix = diamond();
        ix.cycle_length_s = cycle;
        ix.analysis_period_h = period;
        EXPECT_NO_THROW(analyze(ix));
        EXPECT_EQ(ix.results.size(), ix.lane_groups.size());
        EXPECT_EQ(ix.od_results.size(), 12u);
    }
    // No analysis period: the incremental delay is undefined and so is every O-D travel time.
    Interchange ix = diamond();
    ix.analysis_period_h = 0.0;
    analyze(ix);
    EXPECT_TRUE(std::isnan(*result(ix, "EbExtThrough").incremental_delay_s));
    EXPECT_TRUE(std::isnan(find_od(ix, OdMovement::I)->ett_s));
    // No cycle: the capacity of a signalized group with green is infinite.
    ix = diamond();
    ix.cycle_length_s = 0.0;
    analyze(ix);
    EXPECT_EQ(*result(ix, "EbExtThrough").capacity, testing_support::kInf);
}

// ---- Queries ----

TEST(InterchangeQueries, ByLetterAndMovementName) {
    Interchange ix = diamond();
    using testing_support::error_of;
    EXPECT_EQ(error_of([&] { return od_result(ix, "b"); }), "no result for O-D b");
    analyze(ix);
    EXPECT_EQ(od_result(ix, "b").movement, OdMovement::B);
    EXPECT_EQ(error_of([&] { return od_result(ix, "o"); }), "O-D movement must be a letter A..N, got O");
    EXPECT_EQ(error_of([&] { return od_result(ix, "AB"); }), "O-D movement must be a letter A..N, got AB");
    EXPECT_EQ(error_of([&] { return od_result(ix, ""); }), "O-D movement must be a letter A..N, got ");
    EXPECT_EQ(error_of([&] { return od_result(ix, "l"); }), "no result for O-D l");
    EXPECT_EQ(error_of([&] { return lane_group_result(ix, "ebextthrough"); }),
              "unknown interchange movement ebextthrough");
    EXPECT_EQ(error_of([&] { return lane_group_result(ix, "SbRampTwoLeft"); }), "no lane group SbRampTwoLeft");
    EXPECT_FALSE(queue_storage_ratio(ix, "SbRampTwoLeft").has_value());
    EXPECT_EQ(error_of([&] { return queue_storage_ratio(ix, " EbExtThrough"); }),
              "unknown interchange movement  EbExtThrough");
}

TEST(InterchangeMovementNames, RoundTripAllSixtyFour) {
    int count = 0;
    for (int a = 0; a < 4; ++a)
        for (int l = 0; l < 4; ++l)
            for (int t = 0; t < 4; ++t) {
                const InterchangeMovement m{static_cast<InterchangeApproach>(a), static_cast<InterchangeLeg>(l),
                                            static_cast<MovementTurn>(t)};
                EXPECT_EQ(InterchangeMovement::from_name(m.name()), m);
                ++count;
            }
    EXPECT_EQ(count, 64);
    EXPECT_EQ(movement("SbRampTwoThroughRight").name(), "SbRampTwoThroughRight");
    EXPECT_FALSE(InterchangeMovement::from_name("EbExt").has_value());
    EXPECT_FALSE(InterchangeMovement::from_name("EbExtThroughX").has_value());
}

}  // namespace
