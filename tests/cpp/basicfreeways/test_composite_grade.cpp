#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <ostream>
#include <string>

#include "../support/checks.hpp"
#include "hcm/basicfreeways/composite_grade.hpp"
#include "hcm/common/error.hpp"
#include "hcm/common/truck_curves.hpp"

using namespace hcm::basicfreeways::composite_grade;
namespace tc = hcm::common::truck_curves;
using namespace testing_support;

namespace {

constexpr double kFreeFlowRate = 3600.0 / 65.0;

CompositeGrade grades(std::vector<GradeSegment> segments, double v_mix = 1000) {
    CompositeGrade c;
    c.ffs = 65;
    c.v_mix = v_mix;
    c.p_sut = 0.05;
    c.p_tt = 0.10;
    c.segments = std::move(segments);
    return c;
}

TEST(CompositeGradeChain, LevelRoadAtLowFlowRunsAtFreeFlowSpeed) {
    const CompositeGradeResult r = analyze(grades({{0.5, 0}, {1.0, -5}}));
    for (const SegmentResult& s : r.segments) {
        EXPECT_EQ(s.s_ao, 65.0);
        EXPECT_EQ(s.d_tau_ti, 0.0);
        EXPECT_FALSE(s.decelerating);
        // trucks on the level curves would run faster than FFS: held at the free-flow rate
        EXPECT_EQ(s.tau_f_sut_kin, kFreeFlowRate);
        EXPECT_EQ(s.tau_s_tt_kin, kFreeFlowRate);
        EXPECT_NEAR(s.s_mix, 65.0, 1e-9);
        for (double v : s.spot_speeds) EXPECT_NEAR(v, 65.0, 1e-9);
    }
    EXPECT_EQ(r.total_length, 1.5);
    EXPECT_NEAR(r.total_travel_time, 3600 * 1.5 / 65, 1e-9);
    EXPECT_NEAR(r.s_mix_overall, 65.0, 1e-9);
    EXPECT_EQ(r.entry_spot_speeds[0], 65.0);
    EXPECT_EQ(r.entry_spot_speeds[2], 65.0);
}

TEST(CompositeGradeChain, UpgradeSlowsTrucksAlongTheDecelerationCurves) {
    const CompositeGradeResult r = analyze(grades({{0.25, 5}, {1.0, 0}}));
    const SegmentResult& up = r.segments.at(0);
    const SegmentResult& level = r.segments.at(1);
    // entering at FFS, below the 5 % crawl rate: deceleration curve, from where it reads the entry rate
    const double x_sut = tc::spot_distance(tc::TruckClass::Sut, false, 5, kFreeFlowRate);
    EXPECT_EQ(up.tau_f_sut_kin, tc::spot_rate(tc::TruckClass::Sut, false, 5, x_sut + 0.25 * 5280));
    EXPECT_EQ(up.tau_s_tt_kin, tc::travel_time_rate(tc::TruckClass::Tt, false, 65, 5, 0.25, 65));
    EXPECT_TRUE(up.decelerating);
    EXPECT_GT(up.tau_f_tt_kin, up.tau_f_sut_kin);
    EXPECT_LT(up.spot_speeds[2], up.spot_speeds[1]);
    // the level segment picks the trucks up at their exit rates and lets them speed up
    EXPECT_FALSE(level.decelerating);
    EXPECT_LT(level.tau_f_sut_kin, up.tau_f_sut_kin);
    EXPECT_GT(level.s_mix, up.s_mix);
    EXPECT_EQ(r.governing_segment, 0u);
    EXPECT_EQ(r.capacity_mix, up.capacity_mix);
    EXPECT_LT(up.capacity_mix, level.capacity_mix);
    EXPECT_NEAR(r.overall_space_speeds[0],
                3600 * 1.25 / (3600 * 0.25 / up.space_speeds[0] + 3600 / level.space_speeds[0]), 1e-9);
}

TEST(CompositeGradeChain, GoverningSegmentIsTheFirstOfEqualCapacities) {
    EXPECT_EQ(analyze(grades({{0.4, 0}, {0.4, 0}})).governing_segment, 0u);
    EXPECT_EQ(analyze(grades({{0.4, 0}, {0.5, 3}, {0.4, 0}})).governing_segment, 1u);
}

TEST(CompositeGradeChain, OversaturationIsFlaggedAndSpeedsStayFinite) {
    const CompositeGradeResult r = analyze(grades({{0.5, 2}}, 2100));
    EXPECT_TRUE(r.oversaturated);
    EXPECT_LT(r.capacity_mix, 2100);
    EXPECT_TRUE(std::isfinite(r.segments.at(0).s_mix));
    EXPECT_LT(r.segments.at(0).s_ao, 65.0);
    EXPECT_FALSE(analyze(grades({{0.5, 2}}, 1500)).oversaturated);
}

struct CheckCase {
    const char* what;
    std::function<void(CompositeGrade&)> change;
    const char* message;
};

void PrintTo(const CheckCase& c, std::ostream* os) { *os << c.what; }

class CompositeGradeChecks : public ::testing::TestWithParam<CheckCase> {};

TEST_P(CompositeGradeChecks, Message) {
    CompositeGrade c = grades({{0.5, 2}, {0.5, 5}});
    GetParam().change(c);
    EXPECT_EQ(error_of([&] { analyze(c); }), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    InOrder, CompositeGradeChecks,
    ::testing::Values(
        CheckCase{"no segments first", [](auto& c) { c.segments.clear(); c.ffs = kNaN; },
                  "a composite grade needs at least one segment"},
        CheckCase{"ffs", [](auto& c) { c.ffs = kNaN; c.v_mix = kNaN; }, "FFS must be finite, got NaN"},
        CheckCase{"caf_ao", [](auto& c) { c.caf_ao = kInf; c.ffs = 0; }, "caf_ao must be finite, got inf"},
        CheckCase{"ffs > 0", [](auto& c) { c.ffs = -1; c.segments.at(0).length = 0; }, "FFS must be positive, got -1 mi/h"},
        CheckCase{"shares", [](auto& c) { c.p_tt = 0.95; c.segments.at(0).length = 0; },
                  "truck proportions must be non-negative and sum below 1, got p_sut 0.05 and p_tt 0.95"},
        CheckCase{"length", [](auto& c) { c.segments.at(1).length = kNaN; }, "segment 1 length must be positive, got NaN mi"},
        CheckCase{"grade", [](auto& c) { c.segments.at(0).grade = kInf; c.segments.at(1).length = 0; },
                  "segment 0 grade must be finite, got inf"}));

}  // namespace
