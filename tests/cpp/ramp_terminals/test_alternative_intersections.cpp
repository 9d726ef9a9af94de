// Alternative intersections: STOP junctions, movement ETT and LOS, approach and intersection
// averages, DLT intersections, the DLT offset and the read-only documents.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "../support/checks.hpp"
#include "hcm/ramp_terminals/alternative_intersections.hpp"
#include "json/jsonio.hpp"

using namespace hcm::ramp_terminals::alternative_intersections;
using hcm::common::LevelOfService;
using testing_support::error_of;
using testing_support::kInf;
using testing_support::kNaN;

namespace {

StopStep stop(double flow, double conflicting, double t_c, double t_f) {
    StopStep s;
    s.flow_veh_h = flow;
    s.conflicting_flow_veh_h = conflicting;
    s.critical_headway_s = t_c;
    s.followup_headway_s = t_f;
    return s;
}

AltMovement movement(std::string label, Approach approach, double demand, std::vector<JunctionStep> steps,
                     double edtt = 0.0) {
    return AltMovement{std::move(label), approach, demand, std::move(steps), edtt, 0.25};
}

// Worked from the two-way STOP relations: c = v_c e^(-v_c t_c/3600) / (1 - e^(-v_c t_f/3600)),
// d = 3600/c + 900 T [(x - 1) + sqrt((x - 1)^2 + (3600/c) x / (450 T))] + 5, and Q95 with 150 T.
TEST(StopJunction, PotentialCapacityDelayQueueAndStrictFlags) {
    const StopJunction free = evaluate_stop(stop(300, 0, 6.5, 3.3), 0.25);
    EXPECT_DOUBLE_EQ(free.capacity_veh_h, 3600.0 / 3.3);
    EXPECT_NEAR(free.delay_s, 9.546958146759327, 1e-12);
    EXPECT_NEAR(free.queue_95_veh, 1.1251264327481774, 1e-12);
    const StopJunction busy = evaluate_stop(stop(300, 500, 6.5, 3.3), 0.25);
    EXPECT_NEAR(busy.capacity_veh_h, 551.3765243632587, 1e-9);
    EXPECT_NEAR(busy.delay_s, 19.04575005726351, 1e-10);
    EXPECT_NEAR(busy.queue_95_veh, 3.2451417038348063, 1e-12);
    // x exactly 1 raises no flag; a queue that exactly fills the storage raises none either.
    StopStep s = stop(3600.0 / 4.0, 0, 6.5, 4.0);
    const StopJunction at_capacity = evaluate_stop(s, 0.25);
    EXPECT_FALSE(at_capacity.vc_exceeds_one);
    s.storage_ft = at_capacity.queue_95_veh * 25.0;
    EXPECT_FALSE(evaluate_stop(s, 0.25).queue_exceeds_storage);
    s.storage_ft = *s.storage_ft * 0.999;
    EXPECT_TRUE(evaluate_stop(s, 0.25).queue_exceeds_storage);
    s.flow_veh_h += 1.0;
    s.storage_ft.reset();  // no storage: never a queue flag
    EXPECT_TRUE(evaluate_stop(s, 0.25).vc_exceeds_one);
    EXPECT_FALSE(evaluate_stop(s, 0.25).queue_exceeds_storage);
}

class NoCapacity : public ::testing::TestWithParam<StopStep> {};

// A zero or negative follow-up headway, or any capacity that is not finite and positive: the
// movement cannot enter (not the 5 s, LOS A that 3600 / 0 would give).
TEST_P(NoCapacity, InfiniteDelayNoQueueAndTheVcFlag) {
    const StopJunction j = evaluate_stop(GetParam(), 0.25);
    EXPECT_EQ(j.delay_s, kInf);
    EXPECT_EQ(j.queue_95_veh, 0.0);
    EXPECT_TRUE(j.vc_exceeds_one);
    EXPECT_FALSE(j.queue_exceeds_storage);
    const AltMovementResult r = evaluate(movement("x", Approach::Eb, 100, {GetParam()}));
    EXPECT_EQ(r.ett_s, kInf);
    EXPECT_EQ(r.los, LevelOfService::F);
    // The storage check still applies to the queue of 0: only a negative storage is exceeded.
    StopStep negative_storage = GetParam();
    negative_storage.storage_ft = -1.0;
    EXPECT_TRUE(evaluate_stop(negative_storage, 0.25).queue_exceeds_storage);
}

INSTANTIATE_TEST_SUITE_P(Headways, NoCapacity,
                         ::testing::Values(stop(100, 0, 6.5, 0.0), stop(100, 0, 6.5, -2.0), stop(100, 400, 6.5, 0.0),
                                           stop(100, 400, 6.5, -3.0), stop(100, 400, kNaN, 3.3),
                                           stop(100, 1e9, 6.5, 3.3)));

TEST(MovementEvaluation, StepsFlagsAndExhibit2313Bounds) {
    ProvidedStep provided{5.0, true, false};
    const AltMovementResult r = evaluate(
        movement("EB left", Approach::Eb, 200, {provided, MergeStep{}, stop(300, 0, 6.5, 3.3)}, 12.0));
    EXPECT_EQ(r.step_delays_s, (std::vector<double>{5.0, 0.0, evaluate_stop(stop(300, 0, 6.5, 3.3), 0.25).delay_s}));
    EXPECT_NEAR(r.ett_s, 5.0 + 9.546958146759327 + 12.0, 1e-12);
    EXPECT_EQ(r.los, LevelOfService::F);  // the provided step's flag, although the ETT is 26.5 s
    const AltMovementResult empty = evaluate(movement("u-turn", Approach::Nb, 50, {}));
    EXPECT_TRUE(empty.total_delay_s == 0.0 && std::signbit(empty.total_delay_s));  // a sum of no delays
    const std::pair<double, LevelOfService> bounds[] = {{10.0, LevelOfService::A}, {10.5, LevelOfService::B},
                                                        {35.0, LevelOfService::C}, {55.0, LevelOfService::D},
                                                        {80.0, LevelOfService::E}, {80.5, LevelOfService::F},
                                                        {kNaN, LevelOfService::F}};
    for (auto [ett, los] : bounds) EXPECT_EQ(evaluate(movement("m", Approach::Eb, 1, {}, ett)).los, los) << ett;
}

AlternativeIntersection rcut() {
    AlternativeIntersection ai;
    ai.movements = {movement("EB through", Approach::Eb, 600, {ProvidedStep{10.0}}, 0.0),
                    movement("EB left", Approach::Eb, 200, {ProvidedStep{30.0}}, 20.0),
                    movement("NB right", Approach::Nb, 100, {ProvidedStep{8.0}}),
                    movement("SB left", Approach::Sb, 0, {stop(0, 0, 6.5, 0.0)}),  // no demand, no capacity
                    movement("EB left", Approach::Eb, 999, {})};                   // duplicate label
    return ai;
}

TEST(AlternativeIntersectionAverages, DemandWeightedEquations2361And2362) {
    const AlternativeIntersection ai = rcut();
    EXPECT_NEAR(*approach_ett(ai, Approach::Eb), (600 * 10.0 + 200 * 50.0 + 999 * 0.0) / 1799.0, 1e-12);
    EXPECT_DOUBLE_EQ(*approach_ett(ai, Approach::Nb), 8.0);
    EXPECT_FALSE(approach_ett(ai, Approach::Wb).has_value());
    // SB carries no demand: its infinite ETT takes no part (no NaN from inf * 0).
    EXPECT_FALSE(approach_ett(ai, Approach::Sb).has_value());
    EXPECT_NEAR(*intersection_ett(ai), (6000.0 + 10000.0 + 800.0) / 1899.0, 1e-12);
    EXPECT_FALSE(intersection_ett(AlternativeIntersection{}).has_value());
    // With demand the infinite ETT makes the averages infinite.
    AlternativeIntersection loaded = ai;
    loaded.movements[3].demand_veh_h = 10.0;
    EXPECT_EQ(*approach_ett(loaded, Approach::Sb), kInf);
    EXPECT_EQ(*intersection_ett(loaded), kInf);
}

TEST(AlternativeIntersectionAverages, MovementByLabel) {
    const AlternativeIntersection ai = rcut();
    EXPECT_EQ(movement_result(ai, "EB left").ett_s, 50.0);  // the first of the two
    EXPECT_EQ(error_of([&] { return movement_result(ai, "eb left"); }), "no movement eb left");
}

TEST(DisplacedLeftTurn, VolumeWeightedDelayEquation2369) {
    DisplacedLeftTurn dlt{AltIntersectionForm::DltFull, {{500, 20}, {250, 40}}, 1000};
    EXPECT_DOUBLE_EQ(dlt_ett(dlt), 20.0);
    EXPECT_EQ(dlt_los(dlt), LevelOfService::B);  // 20 belongs to B
    dlt.total_od_demand_veh_h = 0.0;
    EXPECT_EQ(dlt_ett(dlt), 0.0);
    EXPECT_EQ(dlt_los(dlt), LevelOfService::A);
    DisplacedLeftTurn empty{AltIntersectionForm::DltPartial, {}, 500};
    EXPECT_EQ(dlt_ett(empty), 0.0);
    EXPECT_TRUE(std::signbit(dlt_ett(empty)));
}

struct OffsetCase {
    double unwrapped, cycle, expected;
};

class DltOffsetWrap : public ::testing::TestWithParam<OffsetCase> {};

// O_SUPP = ((O_supp - ST_DLT) + ST_TH) - TT_DLT with ST_DLT = lag + O_supp: here the lags are 0 and
// the main offset is the unwrapped value.
TEST_P(DltOffsetWrap, IntoTheCycle) {
    const OffsetCase& c = GetParam();
    const DltOffset o = dlt_offset(0.0, 30.0, 0.0, 0.0, 0.0, c.unwrapped, c.cycle);
    if (std::isnan(c.expected)) {
        EXPECT_TRUE(std::isnan(o.o_supp_s));
    } else {
        EXPECT_EQ(o.o_supp_s, c.expected);
        EXPECT_FALSE(std::signbit(o.o_supp_s) && c.expected == 0.0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DltOffsetWrap,
    ::testing::Values(OffsetCase{-30, 100, 70}, OffsetCase{250, 100, 50}, OffsetCase{100, 100, 0},
                      OffsetCase{-100, 100, 0}, OffsetCase{99.5, 100, 99.5}, OffsetCase{-30, 0, -30},
                      OffsetCase{-30, -5, -30}, OffsetCase{1e300, 100, std::fmod(1e300, 100.0)},
                      OffsetCase{-1e-18, 100, 0},  // -1e-18 + 100 rounds to the cycle itself
                      // An infinite or undefined offset comes back unwrapped, at once.
                      OffsetCase{kInf, 100, kInf}, OffsetCase{-kInf, 100, -kInf}, OffsetCase{kNaN, 100, kNaN}));

TEST(DltOffset, Equations2363To2368) {
    const DltOffset o = dlt_offset(441.0, 30.0, 5.0, 8.0, 12.0, 40.0, 90.0);
    EXPECT_DOUBLE_EQ(o.tt_dlt_s, 10.0);  // 441 / (30 * 1.47)
    EXPECT_DOUBLE_EQ(o.st_dlt_s, 17.0);
    EXPECT_DOUBLE_EQ(o.st_th_s, 48.0);
    EXPECT_DOUBLE_EQ(o.o_supp_s, 33.0);  // 12 - 17 + 48 - 10
    EXPECT_EQ(dlt_offset(1000.0, 0.0, 0, 0, 0, 0, 100).tt_dlt_s, 0.0);
}

// ---- Documents ----

std::string read_error(std::string_view text) {
    return error_of<jsonio::Error>([&] { return read_alternative_intersection(text); });
}

std::string with_step(const std::string& step) {
    return R"({"form": "RcutFourLeg", "movements": [{"label": "m", "approach": "Eb", "demand_veh_h": 1,
               "junctions": [)" + step + "]}]}";
}

TEST(AlternativeDocuments, JunctionStepsTaggedAnywhere) {
    const AlternativeIntersection ai = read_alternative_intersection(with_step(
        R"({"control_delay_s": 5, "type": "provided"}, {"type": "merge", "x": 1},
           {"type": "stop", "flow_veh_h": 100, "conflicting_flow_veh_h": 200, "critical_headway_s": 6,
            "followup_headway_s": 3, "storage_ft": null}, ["stop", 1, 2, 3, 4], ["provided", 7, true])"));
    const AltMovement& m = ai.movements.at(0);
    EXPECT_EQ(m.edtt_s, 0.0);
    EXPECT_EQ(m.analysis_period_h, 0.25);
    ASSERT_EQ(m.junctions.size(), 5u);
    EXPECT_EQ(std::get<ProvidedStep>(m.junctions[0]).control_delay_s, 5.0);
    EXPECT_FALSE(std::get<ProvidedStep>(m.junctions[0]).vc_gt_1);
    EXPECT_TRUE(std::holds_alternative<MergeStep>(m.junctions[1]));
    EXPECT_FALSE(std::get<StopStep>(m.junctions[2]).storage_ft.has_value());
    EXPECT_EQ(std::get<StopStep>(m.junctions[3]).queue_spacing_ft, 25.0);
    EXPECT_EQ(std::get<StopStep>(m.junctions[3]).followup_headway_s, 4.0);
    EXPECT_TRUE(std::get<ProvidedStep>(m.junctions[4]).vc_gt_1);
}

TEST(AlternativeDocuments, Messages) {
    EXPECT_EQ(read_error(with_step(R"({"control_delay_s": 5})")), "missing field `type` at line 2 column 51");
    EXPECT_EQ(read_error(with_step(R"({"type": "yield"})")),
              "unknown variant `yield`, expected one of `provided`, `stop`, `merge` at line 2 column 45");
    EXPECT_EQ(read_error(with_step(R"({"type": "provided"})")), "missing field `control_delay_s` at line 2 column 49");
    EXPECT_EQ(read_error(with_step(R"(["stop", 1, 2, 3])")),
              "invalid length 3, expected struct variant JunctionStep::Stop with 6 elements at line 2 column 46");
    EXPECT_EQ(read_error(with_step("3")),
              "invalid type: integer `3`, expected internally tagged enum JunctionStep at line 2 column 30");
    EXPECT_EQ(read_error(R"({"form": "RcutFourLeg", "movements": [{"label": "m", "approach": "EB"}]})"),
              "unknown variant `EB`, expected one of `Eb`, `Wb`, `Nb`, `Sb` at line 1 column 69");
    EXPECT_EQ(read_error(R"({"form": "RcutFourLeg", "movements": [["m", "Eb", 1]]})"),
              "invalid length 3, expected struct AltMovement with 6 elements at line 1 column 52");
    EXPECT_EQ(error_of<jsonio::Error>([] { return read_displaced_left_turn(R"({"form": "DltFull", "cells": []})"); }),
              "missing field `total_od_demand_veh_h` at line 1 column 32");
    const DisplacedLeftTurn dlt =
        read_displaced_left_turn(R"(["RcutThreeLeg", [[500, 20], {"flow_veh_h": 1, "control_delay_s": 2}], 0])");
    EXPECT_EQ(dlt.cells.size(), 2u);
    EXPECT_EQ(dlt.form, AltIntersectionForm::RcutThreeLeg);  // any form is accepted
}

}  // namespace
