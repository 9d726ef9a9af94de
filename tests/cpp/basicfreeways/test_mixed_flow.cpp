#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <ostream>
#include <string>

#include "../support/checks.hpp"
#include "hcm/basicfreeways/mixed_flow.hpp"
#include "hcm/common/error.hpp"

using namespace hcm::basicfreeways::mixed_flow;
using namespace testing_support;

namespace {

// 10,000 ft: the end of the digitised curves, where their printed values are known.
constexpr double kCurveEndMi = 10000.0 / 5280.0;

MixedFlowSegment level_segment(double v_mix) {
    MixedFlowSegment s;
    s.ffs = 65;
    s.length = kCurveEndMi;
    s.grade = 0;
    s.v_mix = v_mix;
    s.p_sut = 0.05;
    s.p_tt = 0.10;
    return s;
}

TEST(MixedFlowSteps, CapacityTerms) {
    EXPECT_DOUBLE_EQ(calculate_caf_t_mix(0.15), 0.53 * std::pow(0.15, 0.72));
    EXPECT_EQ(calculate_caf_t_mix(0.0), 0.0);
    // the grade factor switches form at 1 % trucks
    EXPECT_DOUBLE_EQ(calculate_rho_g_mix(0.01), 0.126 - 0.03 * 0.01);
    EXPECT_DOUBLE_EQ(calculate_rho_g_mix(0.0099), 8 * 0.0099);
    EXPECT_EQ(calculate_rho_g_mix(0.0), 0.0);
    // level and downhill grades, and short grades, add nothing
    EXPECT_EQ(calculate_caf_g_mix(0.12, 0.0, 1.0), 0.0);
    EXPECT_EQ(calculate_caf_g_mix(0.12, -3.0, 1.0), 0.0);
    EXPECT_EQ(calculate_caf_g_mix(0.12, 3.0, 0.1), 0.0);  // 1 - 1.71 e^(-0.316) < 0
    EXPECT_DOUBLE_EQ(calculate_caf_g_mix(0.1215, 3.0, 1.5),
                     0.1215 * 0.69 * (std::exp(0.387) - 1) * 1.72 * (1 - 1.71 * std::exp(-4.74)));
    // A slight grade: e^(12.9 g) - 1 = 12.9 g to every digit (the printed form kept three here).
    EXPECT_NEAR(calculate_caf_g_mix(0.12, 1e-12, 1.0) / (0.12 * 0.69 * 12.9e-14 * 1.72 * (1 - 1.71 * std::exp(-3.16))),
                1.0, 1e-12);
    EXPECT_EQ(calculate_capacity_ao(65), 2350.0);
    EXPECT_EQ(calculate_capacity_ao(80), 2500.0);  // no upper limit
    EXPECT_EQ(calculate_bp_ao(65, 1.0), 1400.0);
    EXPECT_DOUBLE_EQ(calculate_bp_ao(70, 0.9), 1200.0 * 0.81);
}

TEST(MixedFlowSteps, AutomobileCurveAndDelay) {
    EXPECT_EQ(calculate_auto_speed(65, 2350, 1400, 1400), 65.0);
    EXPECT_DOUBLE_EQ(calculate_auto_speed(65, 2350, 1400, 2350), 2350.0 / 45);  // speed at capacity c/45
    EXPECT_DOUBLE_EQ(calculate_auto_speed(65, 2350, 1400, 1875), 65 - (65 - 2350.0 / 45) * 0.25);
    EXPECT_EQ(calculate_congestion_delay(0.8, 55.0, 55.0), 0.0);
    EXPECT_DOUBLE_EQ(calculate_congestion_delay(0.8, 60.0, 55.0), (3 * 0.25 + 1) * 5);
    EXPECT_EQ(calculate_truck_excess(50.0, 65), 0.0);
    EXPECT_DOUBLE_EQ(calculate_truck_excess(80.0, 60), 0.8 - 0.6);
}

// Level 10,000-ft grade: the truck rates are the printed 10,000-ft times of the Chapter 26
// curves (92.39 s SUT, 93.86 s TT). Expected values from an independent transcription of the
// chain.
TEST(MixedFlowChain, LevelGradeAtTheCurveEnd) {
    const MixedFlowResult r = analyze(level_segment(1200));
    EXPECT_DOUBLE_EQ(r.tau_sut_kin, 92.39 / kCurveEndMi);
    EXPECT_DOUBLE_EQ(r.tau_tt_kin, 93.86 / kCurveEndMi);
    EXPECT_DOUBLE_EQ(r.caf_t_mix, 0.13522642793902895);
    EXPECT_DOUBLE_EQ(r.rho_g_mix, 0.1215);
    EXPECT_EQ(r.caf_g_mix, 0.0);
    EXPECT_DOUBLE_EQ(r.caf_mix, 0.864773572060971);
    EXPECT_EQ(r.capacity_ao, 2350.0);
    EXPECT_DOUBLE_EQ(r.capacity_mix, 2032.217894343282);
    EXPECT_DOUBLE_EQ(r.tau_a_ffs, 3600.0 / 65);  // trucks faster than FFS do not slow automobiles
    EXPECT_DOUBLE_EQ(r.tau_mix_ffs, 54.47182707692308);
    EXPECT_DOUBLE_EQ(r.ffs_mix, 66.08920965540985);
    EXPECT_DOUBLE_EQ(r.saf_mix, 66.08920965540985 / 65);
    EXPECT_EQ(r.bp_ao, 1400.0);
    EXPECT_DOUBLE_EQ(r.bp_mix, 384.1556988246049);
    EXPECT_DOUBLE_EQ(r.s_calib_cap, 48.39969391205942);
    EXPECT_DOUBLE_EQ(r.s_calib_90cap, 55.669232520730255);
    EXPECT_DOUBLE_EQ(r.phi_mix, 4.805807454691849);
    ASSERT_TRUE(r.s_mix && r.d_mix);
    EXPECT_DOUBLE_EQ(*r.s_mix, 65.48639439182213);
    EXPECT_DOUBLE_EQ(*r.d_mix, 1200 / 65.48639439182213);
    EXPECT_FALSE(r.oversaturated);
}

TEST(MixedFlowChain, SpeedFlowRegimes) {
    // at or below the breakpoint the speed is the mixed-flow FFS
    const MixedFlowResult low = analyze(level_segment(300));
    EXPECT_EQ(*low.s_mix, low.ffs_mix);
    // at capacity the curve meets the calibration speed
    MixedFlowSegment at_cap = level_segment(0);
    at_cap.v_mix = analyze(at_cap).capacity_mix;
    const MixedFlowResult cap = analyze(at_cap);
    EXPECT_NEAR(*cap.s_mix, cap.s_calib_cap, 1e-9);
    EXPECT_FALSE(cap.oversaturated);
    // above capacity: every intermediate, but no speed and density
    const MixedFlowResult over = analyze(level_segment(2100));
    EXPECT_TRUE(over.oversaturated);
    EXPECT_FALSE(over.s_mix.has_value());
    EXPECT_FALSE(over.d_mix.has_value());
    EXPECT_DOUBLE_EQ(over.phi_mix, 4.805807454691849);
}

TEST(MixedFlowChain, NoTrucksLeavesTheAutomobileCurve) {
    MixedFlowSegment s = level_segment(1000);
    s.p_sut = 0;
    s.p_tt = 0;
    s.grade = 5;
    s.length = 1.0;
    const MixedFlowResult r = analyze(s);
    EXPECT_EQ(r.caf_mix, 1.0);
    EXPECT_EQ(r.capacity_mix, 2350.0);
    EXPECT_DOUBLE_EQ(r.ffs_mix, 65.0);
    EXPECT_EQ(r.bp_mix, 1400.0);
    EXPECT_DOUBLE_EQ(*r.s_mix, 65.0);
    EXPECT_GT(r.tau_tt_kin, r.tau_sut_kin);  // the truck rates are still reported
}

TEST(MixedFlowChain, SteeperAndLongerGradesCostCapacityAndSpeed) {
    MixedFlowSegment s = level_segment(1200);
    s.length = 1.5;
    double last_capacity = analyze(s).capacity_mix;
    double last_ffs = analyze(s).ffs_mix;
    for (double g : {2.0, 3.0, 5.0}) {
        s.grade = g;
        const MixedFlowResult r = analyze(s);
        EXPECT_LT(r.capacity_mix, last_capacity) << g;
        EXPECT_LT(r.ffs_mix, last_ffs) << g;
        last_capacity = r.capacity_mix;
        last_ffs = r.ffs_mix;
    }
    // -5 % runs on the level curves (the CAF treats it as a downgrade: no grade term)
    s.grade = -5;
    const MixedFlowResult downhill = analyze(s);
    s.grade = 0;
    EXPECT_EQ(downhill.tau_tt_kin, analyze(s).tau_tt_kin);
    EXPECT_EQ(downhill.caf_g_mix, 0.0);
}

struct CheckCase {
    const char* what;
    std::function<void(MixedFlowSegment&)> change;
    const char* message;
};

void PrintTo(const CheckCase& c, std::ostream* os) { *os << c.what; }

class MixedFlowChecks : public ::testing::TestWithParam<CheckCase> {};

TEST_P(MixedFlowChecks, Message) {
    MixedFlowSegment s = level_segment(1200);
    GetParam().change(s);
    EXPECT_EQ(error_of([&] { analyze(s); }), GetParam().message) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    InOrder, MixedFlowChecks,
    ::testing::Values(
        CheckCase{"ffs nan", [](auto& s) { s.ffs = kNaN; s.length = kNaN; }, "FFS must be finite, got NaN"},
        CheckCase{"length inf", [](auto& s) { s.length = kInf; s.grade = kNaN; }, "length must be finite, got inf"},
        CheckCase{"grade", [](auto& s) { s.grade = -kInf; s.ffs = -1; }, "grade must be finite, got -inf"},
        CheckCase{"v_mix", [](auto& s) { s.v_mix = kNaN; }, "v_mix must be finite, got NaN"},
        CheckCase{"p_sut", [](auto& s) { s.p_sut = kInf; }, "p_sut must be finite, got inf"},
        CheckCase{"p_tt", [](auto& s) { s.p_tt = kNaN; }, "p_tt must be finite, got NaN"},
        CheckCase{"caf_ao", [](auto& s) { s.caf_ao = kNaN; s.ffs = 0; }, "caf_ao must be finite, got NaN"},
        CheckCase{"ffs 0", [](auto& s) { s.ffs = 0; s.length = 0; }, "FFS must be positive, got 0 mi/h"},
        CheckCase{"length", [](auto& s) { s.length = -0.5; s.v_mix = -1; }, "length must be positive, got -0.5 mi"},
        CheckCase{"v_mix", [](auto& s) { s.v_mix = -1; s.p_sut = -1; }, "v_mix must be non-negative, got -1"},
        CheckCase{"p_sut", [](auto& s) { s.p_sut = -0.01; },
                  "truck proportions must be non-negative and sum below 1, got p_sut -0.01 and p_tt 0.1"}));

TEST(MixedFlowChecks, HugeFfsKeyDoesNotOverflow) {
    MixedFlowSegment s = level_segment(1200);
    s.ffs = 1e12;
    EXPECT_EQ(error_of([&] { analyze(s); }).substr(0, 58), "no Stage-1 travel time curve for Sut at 4294967295 mi/h FF");
}

TEST(MixedFlowChecks, TruckShareEdges) {
    MixedFlowSegment s = level_segment(1200);
    s.p_sut = 0.0;
    s.p_tt = 0.0;
    EXPECT_NO_THROW(analyze(s));
    s.p_sut = 0.3;
    s.p_tt = 0.69;
    EXPECT_NO_THROW(analyze(s));
}

}  // namespace
