#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "../support/checks.hpp"
#include "hcm/basicfreeways/managed_lanes.hpp"
#include "hcm/common/error.hpp"

using namespace hcm::basicfreeways::managed_lanes;
using namespace testing_support;
using base::parse_option;
using hcm::common::LevelOfService;

namespace {

// ---- Per-type curve at FFS 65 mi/h -----------------------------------------------------------

struct TypeCase {
    ManagedLaneType type;
    double breakpoint;
    double capacity;
    double exponent;
    double low_flow_slope;
    double density_at_capacity;
    bool friction;
};

class LaneTypeCurve : public ::testing::TestWithParam<TypeCase> {};

TEST_P(LaneTypeCurve, BreakpointCapacityAndSpeeds) {
    const TypeCase& c = GetParam();
    ManagedLaneSegment seg(c.type, 65.0, 0.0, 50.0, 1.0, 1.0);
    EXPECT_EQ(seg.has_friction_effect(), c.friction);
    EXPECT_EQ(seg.is_friction_active(), c.friction);  // k_gp 50 > 35
    EXPECT_NEAR(seg.calculate_breakpoint(), c.breakpoint, kTol);
    EXPECT_NEAR(seg.calculate_capacity(), c.capacity, kTol);

    // Below the breakpoint: FFS less the low-flow slope.
    seg.v_p = c.breakpoint / 2;
    EXPECT_NEAR(seg.calculate_speed(), 65.0 - c.low_flow_slope * c.breakpoint / 2, kTol);

    // Halfway between breakpoint and capacity, without friction.
    seg.k_gp = 20.0;
    seg.v_p = (c.breakpoint + c.capacity) / 2;
    double s_bp = 65.0 - c.low_flow_slope * c.breakpoint;
    double expected = s_bp - (s_bp - c.capacity / c.density_at_capacity) * std::pow(0.5, c.exponent);
    EXPECT_NEAR(seg.calculate_speed(), expected, kTol);

    // At capacity without friction the speed is c / K_c.
    seg.v_p = c.capacity;
    EXPECT_NEAR(seg.calculate_speed(), c.capacity / c.density_at_capacity, kTol);

    // Above capacity: no speed; the analysis gives density 50 and LOS F.
    seg.v_p = c.capacity + 1;
    EXPECT_EQ(seg.run_analysis(), LevelOfService::F);
    EXPECT_EQ(seg.speed, 0.0);
    EXPECT_EQ(seg.density, 50.0);
}

INSTANTIATE_TEST_SUITE_P(
    AllTypes, LaneTypeCurve,
    ::testing::Values(TypeCase{ManagedLaneType::ContinuousAccess, 500, 1700, 2.5, 0.0, 30, true},
                      TypeCase{ManagedLaneType::Buffer1, 600, 1600, 1.4, 0.0033, 30, true},
                      TypeCase{ManagedLaneType::Buffer2, 600, 1750, 1.5 + 0.02 * 10, 0.0, 45, false},
                      TypeCase{ManagedLaneType::Barrier1, 800, 1650, 1.4, 0.004, 35, false},
                      TypeCase{ManagedLaneType::Barrier2, 900, 2000, 1.3 + 0.02 * 10, 0.0, 45, false}));

// ---- GP-lane friction -------------------------------------------------------------------------

struct FrictionCase {
    ManagedLaneType type;
    double k_gp;
    double v_p;
    double speed;
};

class Friction : public ::testing::TestWithParam<FrictionCase> {};

TEST_P(Friction, LowersSpeedAtCapacityWhenGpDensityAbove35) {
    const FrictionCase& c = GetParam();
    ManagedLaneSegment seg(c.type, 65.0, c.v_p, c.k_gp, 1.0, 1.0);
    seg.run_analysis();
    EXPECT_NEAR(seg.speed, c.speed, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Friction,
    ::testing::Values(FrictionCase{ManagedLaneType::ContinuousAccess, 30, 1700, 1700.0 / 30},  // 56.67
                      FrictionCase{ManagedLaneType::ContinuousAccess, 35, 1700, 1700.0 / 30},  // not above 35
                      FrictionCase{ManagedLaneType::ContinuousAccess, 40, 1700, 1700.0 / 45},  // 37.78
                      FrictionCase{ManagedLaneType::Buffer1, 40, 1600, 1600.0 / 42},
                      // halfway: x = 0.5, friction term x^2 (c/30 - c/45)
                      FrictionCase{ManagedLaneType::ContinuousAccess, 40, 1100,
                                   65 - (65 - 1700.0 / 30) * std::pow(0.5, 2.5) - 0.25 * (1700.0 / 30 - 1700.0 / 45)},
                      FrictionCase{ManagedLaneType::Barrier2, 60, 2000, 2000.0 / 45}));

// ---- Analysis ---------------------------------------------------------------------------------

TEST(ManagedLaneAnalysis, DefaultsGiveLosA) {
    ManagedLaneSegment seg(ManagedLaneType::ContinuousAccess, 65.0, 0.0, 0.0, 1.0, 1.0);
    EXPECT_FALSE(seg.los.has_value());
    EXPECT_EQ(seg.speed, 65.0);
    EXPECT_EQ(seg.run_analysis(), LevelOfService::A);
    EXPECT_EQ(seg.breakpoint, 500.0);
    EXPECT_EQ(seg.capacity, 1700.0);
    EXPECT_EQ(seg.speed, 65.0);
    EXPECT_EQ(seg.density, 0.0);
    EXPECT_EQ(seg.los, LevelOfService::A);
}

TEST(ManagedLaneAnalysis, AdjustmentFactorsScaleCurve) {
    ManagedLaneSegment seg(ManagedLaneType::Barrier2, 70.0, 1000.0, 0.0, 0.9, 0.9);
    seg.run_analysis();
    EXPECT_NEAR(seg.adjusted_ffs, 63.0, kTol);
    EXPECT_NEAR(seg.breakpoint, 0.81 * (700 + 20 * 12), kTol);
    EXPECT_NEAR(seg.capacity, 0.9 * (2100 - 10 * 12), kTol);
    double x = (1000.0 - seg.breakpoint) / (seg.capacity - seg.breakpoint);
    double speed = 63.0 - (63.0 - seg.capacity / 45) * std::pow(x, 1.3 + 0.02 * (63 - 55));
    EXPECT_NEAR(seg.speed, speed, kTol);
    EXPECT_NEAR(seg.density, 1000.0 / speed, kTol);
    EXPECT_EQ(seg.los, LevelOfService::B);  // 16.6 pc/mi/ln
}

TEST(ManagedLaneAnalysis, RunRecomputesStaleResults) {
    ManagedLaneSegment seg(ManagedLaneType::Buffer2, 65.0, 900.0, 0.0, 1.0, 1.0);
    seg.breakpoint = 10.0;
    seg.capacity = 20.0;
    seg.run_analysis();
    EXPECT_EQ(seg.breakpoint, 600.0);
    EXPECT_EQ(seg.capacity, 1750.0);
}

TEST(ManagedLaneAnalysis, DetermineLosComputesDensityWhenMissing) {
    ManagedLaneSegment seg(ManagedLaneType::Barrier1, 65.0, 700.0, 0.0, 1.0, 1.0);
    seg.calculate_capacity();
    // Density from the stored speed (still the FFS): 700 / 65 = 10.8, not 700 / 62.2 = 11.3.
    EXPECT_EQ(seg.determine_los(), LevelOfService::A);
    EXPECT_NEAR(seg.density, 700.0 / 65.0, kTol);
    seg.v_p = 1700.0;  // above the stored capacity 1650
    EXPECT_EQ(seg.determine_los(), LevelOfService::F);
}

// ---- Names --------------------------------------------------------------------------------------

struct OptionCase {
    const char* text;
    ManagedLaneType type;
};

class LaneTypeOption : public ::testing::TestWithParam<OptionCase> {};

TEST_P(LaneTypeOption, AcceptedSpelling) { EXPECT_EQ(parse_option(LANE_TYPE_WORDS, GetParam().text), GetParam().type); }

INSTANTIATE_TEST_SUITE_P(Spellings, LaneTypeOption,
                         ::testing::Values(OptionCase{"continuous", ManagedLaneType::ContinuousAccess},
                                           OptionCase{"Continuous_Access", ManagedLaneType::ContinuousAccess},
                                           OptionCase{"Buffer1", ManagedLaneType::Buffer1},
                                           OptionCase{"BUFFER2", ManagedLaneType::Buffer2},
                                           OptionCase{"barrier1", ManagedLaneType::Barrier1},
                                           OptionCase{"Barrier2", ManagedLaneType::Barrier2}));

TEST(LaneTypeOption, UnknownWordShownLowerCased) {
    for (const char* text : {"buffer 1", "Buffer 1", " barrier2", "ContinuousAccess"}) {
        std::string lowered(text);
        for (char& ch : lowered) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        EXPECT_EQ(error_of([&] { parse_option(LANE_TYPE_WORDS, text); }), "unknown lane_type: " + lowered) << text;
    }
}

TEST(LaneTypeNames, VariantNamesAreTheJsonForm) {
    EXPECT_EQ(base::name_of(ManagedLaneType::ContinuousAccess), "ContinuousAccess");
    EXPECT_EQ(base::name_of(ManagedLaneType::Barrier2), "Barrier2");
    EXPECT_EQ(base::enum_from_name<ManagedLaneType>("Buffer1"), ManagedLaneType::Buffer1);
    EXPECT_FALSE(base::enum_from_name<ManagedLaneType>("continuous").has_value());
    EXPECT_FALSE(base::enum_from_name<ManagedLaneType>("buffer1").has_value());
}

}  // namespace
