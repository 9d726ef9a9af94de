#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <utility>

#include "../support/checks.hpp"
#include "hcm/basicfreeways/basicfreeways.hpp"
#include "hcm/common/error.hpp"
#include "hcm/freeway_facilities/freeway_facilities.hpp"

using namespace hcm::basicfreeways::basicfreeways;
using namespace testing_support;
using base::parse_option;
using hcm::common::LevelOfService;
using hcm::common::Terrain;

namespace {

BasicFreeways multilane() {
    BasicFreeways s;
    s.highway_type = "multilane";
    s.bffs = 60.0;
    return s;
}

// ---- Free-flow speed ----------------------------------------------------------------------

struct FfsCase {
    const char* name;
    std::function<void(BasicFreeways&)> setup;
    double expected_ffs;
};

class FreeFlowSpeed : public ::testing::TestWithParam<FfsCase> {};

TEST_P(FreeFlowSpeed, Adjustments) {
    BasicFreeways s;
    GetParam().setup(s);
    double adjusted = s.determine_free_flow_speed();
    EXPECT_NEAR(s.ffs, GetParam().expected_ffs, kTol);
    EXPECT_NEAR(adjusted, s.ffs * s.saf, kTol);
}

INSTANTIATE_TEST_SUITE_P(
    BasicFreeway, FreeFlowSpeed,
    ::testing::Values(
        FfsCase{"Defaults", [](BasicFreeways&) {}, 65.0},
        FfsCase{"LaneWidth11", [](BasicFreeways& s) { s.lane_width = 11.0; }, 63.1},
        FfsCase{"LaneWidth10_5", [](BasicFreeways& s) { s.lane_width = 10.5; }, 58.4},
        FfsCase{"LaneWidthBelowExhibit", [](BasicFreeways& s) { s.lane_width = 9.0; }, 65.0},
        FfsCase{"LaneWidthNaN", [](BasicFreeways& s) { s.lane_width = kNaN; }, 65.0},
        FfsCase{"LaneWidthAbsent", [](BasicFreeways& s) { s.lane_width.reset(); }, 65.0},
        FfsCase{"Clearance4TwoLanes", [](BasicFreeways& s) { s.lc_r = 4.0; }, 63.8},
        FfsCase{"Clearance2_5TwoLanes", [](BasicFreeways& s) { s.lc_r = 2.5; }, 62.9},  // between 1.8 and 2.4
        FfsCase{"Clearance0ThreeLanes", [](BasicFreeways& s) { s.lc_r = 0.0; s.lane_count = 3; }, 62.6},
        FfsCase{"Clearance1FourLanes", [](BasicFreeways& s) { s.lc_r = 1.0; s.lane_count = 4; }, 64.0},
        FfsCase{"Clearance3FiveLanes", [](BasicFreeways& s) { s.lc_r = 3.0; s.lane_count = 5; }, 64.7},
        FfsCase{"Clearance0OneLaneUsesFivePlusRow", [](BasicFreeways& s) { s.lc_r = 0.0; s.lane_count = 1; }, 64.4},
        FfsCase{"ClearanceAboveSix", [](BasicFreeways& s) { s.lc_r = 10.0; }, 65.0},
        FfsCase{"ClearanceNegative", [](BasicFreeways& s) { s.lc_r = -1.0; }, 65.0},
        FfsCase{"ClearanceNaN", [](BasicFreeways& s) { s.lc_r = kNaN; }, 65.0},
        FfsCase{"RampDensity2", [](BasicFreeways& s) { s.trd = 2; }, 65.0 - 3.22 * std::pow(2.0, 0.84)},
        FfsCase{"SpeedAdjustmentFactor", [](BasicFreeways& s) { s.saf = 0.9; }, 65.0}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    MultilaneHighway, FreeFlowSpeed,
    ::testing::Values(
        FfsCase{"FullClearance", [](BasicFreeways& s) { s = multilane(); }, 60.0},
        FfsCase{"Tlc6TwoLanes", [](BasicFreeways& s) { s = multilane(); s.lc_r = 3; s.lc_l = 3; }, 58.7},
        FfsCase{"Tlc5ThreeLanes",
                [](BasicFreeways& s) { s = multilane(); s.lane_count = 3; s.lc_r = 2; s.lc_l = 3; }, 58.5},
        FfsCase{"TlcNegative", [](BasicFreeways& s) { s = multilane(); s.lc_r = -5; s.lc_l = 2; }, 54.6},
        FfsCase{"ClearancesCappedAtSix", [](BasicFreeways& s) { s = multilane(); s.lc_r = 20; s.lc_l = 0; }, 58.7},
        FfsCase{"Undivided", [](BasicFreeways& s) { s = multilane(); s.median_type = "undivided"; }, 58.4},
        FfsCase{"AccessPoints20", [](BasicFreeways& s) { s = multilane(); s.apd = 20; }, 55.0},
        FfsCase{"AccessPointsCapped", [](BasicFreeways& s) { s = multilane(); s.apd = 60; }, 50.0},
        FfsCase{"LaneWidth11", [](BasicFreeways& s) { s = multilane(); s.lane_width = 11.0; }, 58.1},
        // Only the exact text "basic" selects the freeway rules; ramps then do not count.
        FfsCase{"CapitalBasicIsNotBasic", [](BasicFreeways& s) { s.highway_type = "Basic"; s.trd = 3; }, 65.0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Breakpoint, FreewayFollowsAdjustedFfsAndCaf) {
    BasicFreeways s;
    s.saf = 0.95;
    s.caf = 0.9;
    s.determine_free_flow_speed();
    EXPECT_NEAR(s.adjusted_ffs, 61.75, kTol);
    EXPECT_NEAR(s.breakpoint, (1000 + 40 * (75 - 61.75)) * 0.81, kTol);

    BasicFreeways m = multilane();
    m.caf = 0.9;
    m.determine_free_flow_speed();
    EXPECT_EQ(m.breakpoint, 1400.0);
}

// ---- Capacity ------------------------------------------------------------------------------

struct CapacityCase {
    const char* highway_type;
    double ffs;
    double capacity;
};

class Capacity : public ::testing::TestWithParam<CapacityCase> {};

TEST_P(Capacity, ByHighwayType) {
    BasicFreeways s;
    s.highway_type = GetParam().highway_type;
    s.ffs = GetParam().ffs;
    s.caf = 0.9;
    s.estimate_capacity();
    EXPECT_NEAR(s.capacity, GetParam().capacity, kTol);
    EXPECT_NEAR(s.adjusted_capacity, GetParam().capacity * 0.9, kTol);
}

INSTANTIATE_TEST_SUITE_P(HighwayTypes, Capacity,
                         ::testing::Values(CapacityCase{"basic", 65, 2350}, CapacityCase{"basic", 55, 2250},
                                           CapacityCase{"basic", 75, 2400},  // capped
                                           CapacityCase{"multilane", 55, 2100}, CapacityCase{"multilane", 45, 1900},
                                           CapacityCase{"multilane", 70, 2300},  // capped
                                           CapacityCase{"Basic", 65, 2000}, CapacityCase{"", 55, 2000}));

TEST(Capacity, ReturnsWholeNumberAndZeroWhenNegative) {
    BasicFreeways s;
    s.ffs = 63.15;
    EXPECT_EQ(s.estimate_capacity(), 2331.0);
    EXPECT_NEAR(s.capacity, 2331.5, kTol);
    s.ffs = -200.0;
    EXPECT_EQ(s.estimate_capacity(), 0.0);
    EXPECT_NEAR(s.capacity, -300.0, kTol);
}

// ---- Heavy-vehicle factor -----------------------------------------------------------------

struct PceCase {
    const char* name;
    std::function<void(BasicFreeways&)> setup;
    double e_t;
};

class PassengerCarEquivalent : public ::testing::TestWithParam<PceCase> {};

TEST_P(PassengerCarEquivalent, SelectedForTerrainOrGrade) {
    BasicFreeways s;
    s.p_t = 0.10;
    GetParam().setup(s);
    double rounded = s.adjustment_heavy_vehicle_factor();
    ASSERT_TRUE(s.e_t.has_value());
    EXPECT_NEAR(*s.e_t, GetParam().e_t, kTol);
    double p = s.p_t.value_or(0.0);
    EXPECT_NEAR(s.f_hv, 1.0 / (1.0 + p * (GetParam().e_t - 1.0)), kTol);
    EXPECT_NEAR(rounded, std::round(s.f_hv * 1000) / 1000, kTol);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PassengerCarEquivalent,
    ::testing::Values(
        PceCase{"NoTerrainIsLevel", [](BasicFreeways&) {}, 2.0},
        PceCase{"Rolling", [](BasicFreeways& s) { s.terrain_type = "Rolling"; }, 3.0},
        PceCase{"MountainousAsRolling", [](BasicFreeways& s) { s.terrain_type = "MOUNTAINOUS"; }, 3.0},
        PceCase{"NoTruckShare", [](BasicFreeways& s) { s.p_t.reset(); }, 2.0},
        // -4 % uses the -2 % row: level-terrain values (30 % SUT, 10 % heavy vehicles).
        PceCase{"DowngradeUsesLowestRow",
                [](BasicFreeways& s) { s.sut_percentage = 30; s.grade = -4; s.length = 1.0; }, 2.12},
        PceCase{"SixPercentUsesLastRow",
                [](BasicFreeways& s) { s.sut_percentage = 30; s.grade = 6; s.length = 1.0; s.p_t = 0.02; }, 13.02},
        PceCase{"BetweenGradeRows",  // 3 %: halfway between the 2.5 % (5.80) and 3.5 % (7.53) rows
                [](BasicFreeways& s) { s.sut_percentage = 30; s.grade = 3; s.length = 1.5; s.p_t = 0.02; }, 6.665},
        PceCase{"BetweenLevelAndTwoPercent",  // 1 %: halfway between 2.62 and 3.76
                [](BasicFreeways& s) { s.sut_percentage = 30; s.grade = 1; s.length = 0.375; s.p_t = 0.02; }, 3.19},
        PceCase{"FiftyPercentMix",
                [](BasicFreeways& s) { s.sut_percentage = 50; s.grade = 6; s.length = 3; s.p_t = 0.25; }, 3.05},
        PceCase{"SeventyPercentMixHighShareClamped",
                [](BasicFreeways& s) { s.sut_percentage = 70; s.grade = 2; s.length = 0.375; s.p_t = 0.6; }, 1.97}),
    [](const auto& info) { return std::string(info.param.name); });

// Exhibit 12-25 has no mountainous E_T: mountainous general terrain is analysed as rolling, never
// lighter. 3 lanes, 4,500 veh/h, PHF 0.94, 8 % heavy vehicles: f_HV 1 / 1.16 (0.862), v_p 1851.2,
// S 62.12 mi/h on the FFS-65 curve (c 2350, BP 1400), D 29.80 pc/mi/ln.
TEST(HeavyVehicleFactor, MountainousSegmentIsAnalysedAsRolling) {
    auto analysed = [](const char* terrain) {
        BasicFreeways s;
        s.lane_count = 3;
        s.demand_flow_i = 4500.0;
        s.phf = 0.94;
        s.p_t = 0.08;
        s.terrain_type = terrain;
        s.run_operational_analysis();
        s.terrain_type.reset();  // compare every other field
        return s;
    };
    const BasicFreeways mountainous = analysed("mountainous");
    EXPECT_EQ(mountainous, analysed("rolling"));
    EXPECT_NEAR(mountainous.density, 29.8017775, 1e-7);
    EXPECT_EQ(mountainous.los, LevelOfService::D);
}

// A segment has the f_HV alone that the freeway facility methods give it, on every general terrain.
class FacilityHeavyVehicleFactor : public ::testing::TestWithParam<std::pair<const char*, Terrain>> {};

TEST_P(FacilityHeavyVehicleFactor, SameAsTheSegmentAlone) {
    BasicFreeways s;
    s.p_t = 0.12;
    s.terrain_type = GetParam().first;
    s.adjustment_heavy_vehicle_factor();
    hcm::freeway_facilities::freeway_facilities::FreewayFacility facility;
    facility.heavy_vehicle_pct = 0.12;
    facility.terrain = GetParam().second;
    EXPECT_EQ(s.f_hv, hcm::freeway_facilities::freeway_facilities::heavy_vehicle_factor(facility));
}

INSTANTIATE_TEST_SUITE_P(Terrains, FacilityHeavyVehicleFactor,
                         ::testing::Values(std::pair{"level", Terrain::Level}, std::pair{"rolling", Terrain::Rolling},
                                           std::pair{"mountainous", Terrain::Mountainous}),
                         [](const auto& info) { return std::string(info.param.first); });

TEST(HeavyVehicleFactor, StoredUnroundedButDemandUsesThreeDecimals) {
    BasicFreeways s;
    s.p_t = 0.05;  // f_HV = 1 / 1.05 = 0.95238...
    s.demand_flow_i = 1000;
    double v_p = s.estimate_demand_volume();
    EXPECT_NEAR(s.f_hv, 1.0 / 1.05, kTol);
    EXPECT_NEAR(v_p, 1000.0 / (2 * 0.952), kTol);
    EXPECT_NEAR(s.demand_flow_rate, v_p, 0.0);
}

struct HvErrorCase {
    const char* name;
    std::function<void(BasicFreeways&)> setup;
    const char* message;
};

class HeavyVehicleError : public ::testing::TestWithParam<HvErrorCase> {};

TEST_P(HeavyVehicleError, RefusedWithTextAndNothingStored) {
    BasicFreeways s;
    s.sut_percentage = 30;
    s.grade = 3.0;
    s.length = 1.0;
    s.p_t = 0.1;
    GetParam().setup(s);
    EXPECT_EQ(error_of([&] { s.adjustment_heavy_vehicle_factor(); }), GetParam().message);
    EXPECT_FALSE(s.e_t.has_value());
    EXPECT_EQ(s.f_hv, 1.0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HeavyVehicleError,
    ::testing::Values(
        HvErrorCase{"UnknownTerrain", [](BasicFreeways& s) { s.sut_percentage = 0; s.terrain_type = "Hilly"; },
                    "unknown terrain type \"hilly\"; HCM Exhibit 12-25 defines level and rolling (mountainous "
                    "requires the Chapter 25/26 mixed-flow model)"},
        HvErrorCase{"UntabulatedMix", [](BasicFreeways& s) { s.sut_percentage = 40; s.terrain_type = "level"; },
                    "HCM Chapter 12 tabulates specific-upgrade PCEs only for 30%, 50%, and 70% SUT mixes (Exhibits "
                    "12-26 through 12-28); got 40%. Use general terrain (sut_percentage = 0) or one of the "
                    "tabulated mixes."},
        HvErrorCase{"NonFinite", [](BasicFreeways& s) { s.grade = kNaN; s.length = 7.0; },
                    "grade, length, and truck proportion must all be finite, got                  grade NaN, length "
                    "7, p_t 0.1"},
        HvErrorCase{"InfiniteLength", [](BasicFreeways& s) { s.length = kInf; },
                    "grade, length, and truck proportion must all be finite, got                  grade 3, length "
                    "inf, p_t 0.1"},
        HvErrorCase{"TooSteep",  // checked before the length
                    [](BasicFreeways& s) { s.grade = 6.5; s.length = 0.0; },
                    "grade 6.5% exceeds the 6% maximum tabulated in HCM Exhibit 12-26/27/28; steep single grades "
                    "require the Chapter 25/26 mixed-flow model (basicfreeways::mixed_flow for a single grade, "
                    "basicfreeways::composite_grade for consecutive grades)"},
        HvErrorCase{"ZeroLength", [](BasicFreeways& s) { s.length = 0.0; }, "grade length must be positive, got 0 mi"},
        HvErrorCase{"NegativeLength", [](BasicFreeways& s) { s.length = -0.5; },
                    "grade length must be positive, got -0.5 mi"},
        HvErrorCase{"ShareAboveOne", [](BasicFreeways& s) { s.p_t = 1.5; },
                    "truck proportion must be in [0, 1], got 1.5"},
        HvErrorCase{"ShareNegative", [](BasicFreeways& s) { s.p_t = -0.1; },
                    "truck proportion must be in [0, 1], got -0.1"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Speed-flow curve -----------------------------------------------------------------------

struct SpeedCase {
    const char* name;
    const char* highway_type;
    double ffs;
    double v_p;
    double speed;
    double exponent;
};

class SpeedFlow : public ::testing::TestWithParam<SpeedCase> {};

TEST_P(SpeedFlow, OnTheCurve) {
    const SpeedCase& c = GetParam();
    BasicFreeways s;
    s.highway_type = c.highway_type;
    s.bffs = c.ffs;
    s.determine_free_flow_speed();
    s.estimate_capacity();
    s.demand_flow_rate = c.v_p;
    auto [speed, exponent] = s.calculate_speed();
    EXPECT_NEAR(speed, c.speed, 1e-6);
    EXPECT_NEAR(s.speed, c.speed, 1e-6);
    EXPECT_EQ(exponent, c.exponent);
}

// Basic freeway FFS 65: BP 1400, c 2350; multilane FFS 55: BP 1400, c 2100.
INSTANTIATE_TEST_SUITE_P(
    Cases, SpeedFlow,
    ::testing::Values(SpeedCase{"BelowBreakpoint", "basic", 65, 1000, 65, 2.0},
                      SpeedCase{"AtBreakpoint", "basic", 65, 1400, 65, 2.0},
                      SpeedCase{"Midway", "basic", 65, 1875, 65 - (65 - 2350.0 / 45) * 0.25, 2.0},
                      SpeedCase{"AtCapacity", "basic", 65, 2350, 2350.0 / 45, 2.0},
                      SpeedCase{"AboveCapacity", "basic", 65, 2350.5, 0.0, 2.0},
                      SpeedCase{"MultilaneMidway", "multilane", 55, 1750,
                                55 - (55 - 2100.0 / 45) * std::pow(0.5, 1.31), 1.31},
                      SpeedCase{"MultilaneAtCapacity", "multilane", 55, 2100, 2100.0 / 45, 1.31}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SpeedFlow, RebuildsMissingBreakpointAndCapacity) {
    BasicFreeways s;
    s.breakpoint = 0.0;
    s.adjusted_capacity = 0.0;
    s.capacity = 2350.0;
    s.caf = 0.9;
    s.demand_flow_rate = 1000.0;
    s.calculate_speed();
    EXPECT_NEAR(s.breakpoint, (1000 + 40 * 10) * 0.81, kTol);
    EXPECT_NEAR(s.adjusted_capacity, 2115.0, kTol);
}

// The flow at which the basic freeway curve, less a speed impedance k (v - 500), reaches a
// density: the weaving and ramp capacities of edition 7.1 rest on it.
struct FlowAtDensityCase {
    double ffs_adj;
    double caf;
    double k;
};

class FlowAtDensity : public ::testing::TestWithParam<FlowAtDensityCase> {};

TEST_P(FlowAtDensity, DensityIsReachedAboveTheBreakpoint) {
    const auto& p = GetParam();
    const double c = p.caf * basic_freeway_capacity(p.ffs_adj);
    const double bp = basic_freeway_breakpoint(p.ffs_adj, p.caf);
    const auto x = basic_freeway_flow_at_density(35.0, p.ffs_adj, c, bp, p.k, 500.0);
    ASSERT_TRUE(x.has_value());
    EXPECT_GT(*x, bp);
    const double speed = basic_freeway_speed(*x, p.ffs_adj, c, bp) - p.k * (*x - 500.0);
    EXPECT_NEAR(*x / speed, 35.0, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Curves, FlowAtDensity,
                         ::testing::Values(FlowAtDensityCase{70.0, 1.0, 0.0}, FlowAtDensityCase{70.0, 1.0, 0.004},
                                           FlowAtDensityCase{61.75, 0.93, 0.0021}, FlowAtDensityCase{55.0, 0.8, 0.01}));

TEST(FlowAtDensity, NoneWhenTheBreakpointMeetsCapacity) {
    const double c = 2.0 * basic_freeway_capacity(70.0);  // 4800 = BP at CAF 2
    EXPECT_DOUBLE_EQ(basic_freeway_breakpoint(70.0, 2.0), c);
    EXPECT_FALSE(basic_freeway_flow_at_density(35.0, 70.0, c, c, 0.0, 500.0).has_value());
}

TEST(SpeedFlow, UndefinedInputsGiveNoSpeedOnTheCurve) {
    EXPECT_TRUE(std::isnan(basic_freeway_capacity(kNaN)));
    EXPECT_EQ(basic_freeway_speed(kNaN, 70.0, 2400.0, 1200.0), 0.0);
    EXPECT_EQ(basic_freeway_speed(1500.0, 70.0, kNaN, 1200.0), 0.0);
}

// ---- Density and LOS -----------------------------------------------------------------------

TEST(Density, FlowOverSpeedOr46AboveCapacity) {
    BasicFreeways s;
    s.adjusted_capacity = 2350.0;
    s.demand_flow_rate = 1000.0;
    s.speed = 62.5;
    EXPECT_NEAR(s.estimate_density(), 16.0, kTol);
    s.demand_flow_rate = 2400.0;
    EXPECT_EQ(s.estimate_density(), 46.0);
    EXPECT_NEAR(s.vc_ratio, 2400.0 / 2350.0, kTol);
}

TEST(Density, ComputesSpeedFirstWhenNone) {
    BasicFreeways s;  // FFS 65, BP 1000, adjusted capacity 2000
    s.speed = 0.0;
    s.demand_flow_rate = 650.0;
    EXPECT_NEAR(s.estimate_density(), 10.0, kTol);
    EXPECT_EQ(s.speed, 65.0);
}

struct LosCase {
    double density;
    LevelOfService los;
};

class LosThresholds : public ::testing::TestWithParam<LosCase> {};

TEST_P(LosThresholds, UpperBoundsBelongToTheBetterLevel) {
    EXPECT_EQ(los_from_density(GetParam().density), GetParam().los);
    BasicFreeways s;
    s.adjusted_capacity = 2350.0;
    s.demand_flow_rate = 1000.0;
    s.density = GetParam().density;
    EXPECT_EQ(s.determine_segment_los(), GetParam().los);
}

INSTANTIATE_TEST_SUITE_P(
    Exhibit12_15, LosThresholds,
    ::testing::Values(LosCase{0.0, LevelOfService::A}, LosCase{11.0, LevelOfService::A},
                      LosCase{11.0001, LevelOfService::B}, LosCase{18.0, LevelOfService::B},
                      LosCase{18.0001, LevelOfService::C}, LosCase{26.0, LevelOfService::C},
                      LosCase{26.0001, LevelOfService::D}, LosCase{35.0, LevelOfService::D},
                      LosCase{35.0001, LevelOfService::E}, LosCase{45.0, LevelOfService::E},
                      LosCase{45.0001, LevelOfService::F}, LosCase{kNaN, LevelOfService::F}));

TEST(SegmentLos, OverCapacityIsFWhateverTheDensity) {
    BasicFreeways s;
    s.adjusted_capacity = 2000.0;
    s.demand_flow_rate = 2001.0;
    s.density = 5.0;
    EXPECT_EQ(s.determine_segment_los(), LevelOfService::F);
    s.adjusted_capacity = 0.0;
    EXPECT_EQ(s.determine_segment_los(), LevelOfService::A);
    EXPECT_EQ(s.vc_ratio, 0.0);
}

// ---- Full operational analysis -------------------------------------------------------------

TEST(OperationalAnalysis, DefaultsGiveLosA) {
    BasicFreeways s;
    EXPECT_EQ(s.run_operational_analysis(), LevelOfService::A);
    EXPECT_EQ(s.ffs, 65.0);
    EXPECT_EQ(s.capacity, 2350.0);
    EXPECT_EQ(s.breakpoint, 1400.0);
    EXPECT_EQ(s.f_hv, 1.0);
    EXPECT_EQ(s.e_t, 2.0);
    EXPECT_EQ(s.demand_flow_rate, 0.0);
    EXPECT_EQ(s.speed, 65.0);
    EXPECT_EQ(s.density, 0.0);
}

TEST(OperationalAnalysis, WorkedFreewayCase) {
    BasicFreeways s;
    s.lane_count = 3;
    s.lane_width = 11.0;
    s.lc_r = 2.0;
    s.trd = 1;
    s.demand_flow_i = 4500.0;
    s.phf = 0.94;
    s.p_t = 0.10;
    s.terrain_type = "rolling";
    LevelOfService los = s.run_operational_analysis();
    double ffs = 65 - 1.9 - 1.6 - 3.22;
    double f_hv = 0.833;  // 1 / (1 + 0.1 x 2) = 0.8333
    double v_p = 4500 / (0.94 * 3 * f_hv);
    double c = 2200 + 10 * (ffs - 50);
    double bp = 1000 + 40 * (75 - ffs);
    double speed = ffs - (ffs - c / 45) * std::pow((v_p - bp) / (c - bp), 2.0);
    EXPECT_NEAR(s.ffs, ffs, kTol);
    EXPECT_NEAR(s.demand_flow_rate, v_p, 1e-9);
    EXPECT_NEAR(s.speed, speed, 1e-9);
    EXPECT_NEAR(s.density, v_p / speed, 1e-9);
    EXPECT_NEAR(s.vc_ratio, v_p / c, 1e-12);
    EXPECT_EQ(los, los_from_density(v_p / speed));
    EXPECT_EQ(los, LevelOfService::D);
}

TEST(OperationalAnalysis, OverCapacityStopsBeforeSpeed) {
    BasicFreeways s;
    s.demand_flow_i = 5000.0;
    s.speed = 12.5;
    s.density = 3.0;
    EXPECT_EQ(s.run_operational_analysis(), LevelOfService::F);
    EXPECT_EQ(s.speed, 12.5);
    EXPECT_EQ(s.density, 3.0);
    EXPECT_NEAR(s.vc_ratio, 2500.0 / 2350.0, kTol);
}

TEST(OperationalAnalysis, CapitalBasicUsesMultilaneRules) {
    BasicFreeways s;
    s.highway_type = "Basic";
    s.demand_flow_i = 3500.0;  // v_p 1750
    s.run_operational_analysis();
    EXPECT_EQ(s.capacity, 2000.0);
    EXPECT_EQ(s.breakpoint, 1400.0);
    EXPECT_NEAR(s.speed, 65 - (65 - 2000.0 / 45) * std::pow(350.0 / 600.0, 1.31), 1e-9);
}

TEST(OperationalAnalysis, HeavyVehicleErrorStoresNothing) {
    BasicFreeways s;
    s.bffs = 70.0;
    s.sut_percentage = 40;
    const BasicFreeways before = s;
    EXPECT_THROW(s.run_operational_analysis(), hcm::Error);
    EXPECT_EQ(s, before);
    s.los = LevelOfService::C;  // a target the exhibit has, and a mix it has not
    const BasicFreeways target = s;
    EXPECT_THROW(s.estimate_number_of_lanes(), hcm::Error);
    EXPECT_EQ(s, target);
}

// ---- Design: number of lanes ---------------------------------------------------------------

TEST(NumberOfLanes, NeedsATargetBetterThanF) {
    BasicFreeways s;
    EXPECT_EQ(error_of([&] { s.estimate_number_of_lanes(); }),
              "LOS F has no maximum service flow rate in Exhibit 12-37; demand exceeding capacity requires the "
              "Chapter 10 methodology");
}

struct FfsKeyCase {
    double adjusted_ffs;
    double msf;
};

class DesignFfsKey : public ::testing::TestWithParam<FfsKeyCase> {};

TEST_P(DesignFfsKey, RoundsToNearestFiveHalvesUp) {
    BasicFreeways s;
    s.los = LevelOfService::C;
    s.adjusted_ffs = GetParam().adjusted_ffs;
    s.demand_flow_i = 4000.0;
    s.phf = 0.95;
    auto [lanes, unrounded] = s.estimate_number_of_lanes();
    EXPECT_NEAR(unrounded, 4000.0 / 0.95 / GetParam().msf, kTol);
    EXPECT_EQ(lanes, static_cast<std::uint32_t>(std::ceil(unrounded)));
    EXPECT_EQ(s.lane_count, lanes);
}

INSTANTIATE_TEST_SUITE_P(Exhibit12_37, DesignFfsKey,
                         ::testing::Values(FfsKeyCase{62.4, 1560}, FfsKeyCase{62.5, 1660}, FfsKeyCase{65, 1660},
                                           FfsKeyCase{57.49, 1430}, FfsKeyCase{77.4, 1780}));

TEST(NumberOfLanes, MultilaneExhibitAndHeavyVehicles) {
    BasicFreeways s = multilane();
    s.los = LevelOfService::B;
    s.adjusted_ffs = 50.0;
    s.demand_flow_i = 2000.0;
    s.p_t = 0.1;
    auto [lanes, unrounded] = s.estimate_number_of_lanes();
    EXPECT_NEAR(unrounded, 2000.0 / 0.909 / 900.0, kTol);
    EXPECT_EQ(lanes, 3u);
}

struct DomainCase {
    const char* highway_type;
    double adjusted_ffs;
    LevelOfService target;
    const char* message;
};

class DesignOutsideExhibit : public ::testing::TestWithParam<DomainCase> {};

TEST_P(DesignOutsideExhibit, ErrorNamesExhibitAndRange) {
    BasicFreeways s;
    s.highway_type = GetParam().highway_type;
    s.adjusted_ffs = GetParam().adjusted_ffs;
    s.los = GetParam().target;
    s.lane_count = 4;
    EXPECT_EQ(error_of([&] { s.estimate_number_of_lanes(); }), GetParam().message);
    EXPECT_EQ(s.lane_count, 4u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DesignOutsideExhibit,
    ::testing::Values(DomainCase{"basic", 80, LevelOfService::C,
                                 "FFS 80 mi/h (rounded to the nearest 5) is outside the 55-75 mi/h range tabulated in "
                                 "Exhibit 12-37 for basic freeway segments at LOS C"},
                      DomainCase{"basic", 52.4, LevelOfService::A,
                                 "FFS 50 mi/h (rounded to the nearest 5) is outside the 55-75 mi/h range tabulated in "
                                 "Exhibit 12-37 for basic freeway segments at LOS A"},
                      DomainCase{"multilane", 65, LevelOfService::E,
                                 "FFS 65 mi/h (rounded to the nearest 5) is outside the 45-60 mi/h range tabulated in "
                                 "Exhibit 12-38 for multilane highway segments at LOS E"},
                      DomainCase{"multilane", 55, LevelOfService::F,
                                 "LOS F has no maximum service flow rate in Exhibit 12-38; demand exceeding capacity "
                                 "requires the Chapter 10 methodology"},
                      DomainCase{"basic", kNaN, LevelOfService::B,
                                 "FFS NaN mi/h (rounded to the nearest 5) is outside the 55-75 mi/h range tabulated in "
                                 "Exhibit 12-37 for basic freeway segments at LOS B"}));

TEST(NumberOfLanes, NoTargetText) {
    EXPECT_EQ(msf_domain_error("12-38", "multilane highway", 60, LOS_NOT_SET, 45, 60),
              "no target LOS set; Exhibit 12-38 is keyed on the target LOS (A-E) for multilane highway segments");
}

TEST(NumberOfLanes, ZeroLanesThenAnalysisStaysDefined) {
    BasicFreeways s;
    s.los = LevelOfService::C;
    auto [lanes, unrounded] = s.estimate_number_of_lanes();  // no demand
    EXPECT_EQ(lanes, 0u);
    EXPECT_EQ(unrounded, 0.0);
    EXPECT_EQ(s.lane_count, 0u);
    EXPECT_EQ(s.run_operational_analysis(), LevelOfService::F);
    EXPECT_TRUE(std::isnan(s.demand_flow_rate));  // 0 veh/h over 0 lanes
    EXPECT_EQ(s.density, 46.0);
}

TEST(NumberOfLanes, NegativeAndUnboundedCounts) {
    BasicFreeways s;
    s.los = LevelOfService::D;
    s.demand_flow_i = -500.0;
    EXPECT_EQ(s.estimate_number_of_lanes().first, 0u);
    s.demand_flow_i = 1000.0;
    s.phf = 0.0;
    auto [lanes, unrounded] = s.estimate_number_of_lanes();
    EXPECT_TRUE(std::isinf(unrounded));
    EXPECT_EQ(lanes, std::numeric_limits<std::uint32_t>::max());
}

// ---- Target LOS text -----------------------------------------------------------------------

struct TargetCase {
    const char* text;
    LevelOfService los;
};

class TargetLos : public ::testing::TestWithParam<TargetCase> {};

TEST_P(TargetLos, FirstLetterDecides) { EXPECT_EQ(parse_option(TARGET_LOS_WORDS, GetParam().text), GetParam().los); }

INSTANTIATE_TEST_SUITE_P(Spellings, TargetLos,
                         ::testing::Values(TargetCase{"A", LevelOfService::A}, TargetCase{" c ", LevelOfService::C},
                                           TargetCase{"b", LevelOfService::B}, TargetCase{"Best", LevelOfService::B},
                                           TargetCase{"\tF\n", LevelOfService::F},
                                           // Unicode blanks (no-break and ideographic spaces) are trimmed too
                                           TargetCase{"\u00A0d\u3000", LevelOfService::D}));

TEST(TargetLos, RefusedTexts) {
    EXPECT_EQ(error_of([] { parse_option(TARGET_LOS_WORDS, ""); }), "target LOS must be one of A-F");
    EXPECT_EQ(error_of([] { parse_option(TARGET_LOS_WORDS, "   "); }), "target LOS must be one of A-F");
    EXPECT_EQ(error_of([] { parse_option(TARGET_LOS_WORDS, "\u2003\u00A0"); }), "target LOS must be one of A-F");
    EXPECT_EQ(error_of([] { parse_option(TARGET_LOS_WORDS, "G"); }), "target LOS must be one of A-F, got \"G\"");
    EXPECT_EQ(error_of([] { parse_option(TARGET_LOS_WORDS, " g"); }), "target LOS must be one of A-F, got \" g\"");
}

}  // namespace
