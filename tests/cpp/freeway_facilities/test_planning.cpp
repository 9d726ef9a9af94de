// Planning-level freeway facility method (HCM Chapter 25, Section 6).
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "../support/checks.hpp"
#include "hcm/common/error.hpp"
#include "hcm/freeway_facilities/planning.hpp"

namespace pl = hcm::freeway_facilities::planning;
using namespace testing_support;
using hcm::common::CityType;
using hcm::common::LevelOfService;
using pl::PlanningFacility;
using pl::PlanningSection;
using pl::PlanningSectionType;
using Terrain = hcm::freeway_facilities::freeway_facilities::Terrain;

namespace {

PlanningSection section(PlanningSectionType type, double length_mi, std::uint32_t lanes, double inflow,
                        double outflow = 0.0) {
    PlanningSection s;
    s.sec_type = type;
    s.length_mi = length_mi;
    s.lanes = lanes;
    s.inflow_aadt = inflow;
    s.outflow_aadt = outflow;
    return s;
}

// A facility whose AADT converts one to one into pc/h and whose four periods carry equal demand.
PlanningFacility flat_facility(double ffs) {
    PlanningFacility f;
    f.ffs = ffs;
    f.k_factor = 1.0;
    f.phf = 1.0;
    return f;
}

// The delay-rate cubic written out from its coefficients.
double cubic(double a3, double a2, double a1, double a0, double x) { return a3 * x * x * x + a2 * x * x + a1 * x + a0; }

}  // namespace

// Single Basic section of 1 mi, 3 lanes, AADT 100 000 at FFS 60: F = 0.09, n = 9000 pc/h against a
// capacity of 3 x 2300 = 6900 pc/h, so the excess queues from period to period.
TEST(PlanningMethod, SingleBasicSectionCarriesItsQueue) {
    PlanningFacility f;
    f.sections = {section(PlanningSectionType::Basic, 1.0, 3, 100000.0)};
    EXPECT_DOUBLE_EQ(pl::determine_demand_conversion_factor(f), 0.09);
    EXPECT_DOUBLE_EQ(pl::calculate_section_capacity(f.ffs, f.sections[0]), 6900.0);

    pl::run_analysis(f);
    ASSERT_EQ(f.section_results.size(), 1u);
    ASSERT_EQ(f.section_results[0].size(), 4u);
    ASSERT_EQ(f.facility_results.size(), 4u);

    // Periods carry 9000, 10000 + 2100, 9000 + 5200 and 8000 + 7300 pc/h.
    const double expected_v[4] = {9000.0, 12100.0, 14200.0, 15300.0};
    for (std::size_t p = 0; p < 4; ++p) {
        const auto& r = f.section_results[0][p];
        SCOPED_TRACE("period " + std::to_string(p));
        EXPECT_NEAR(r.demand_pc, expected_v[p], 1e-9);
        const double x = expected_v[p] / 6900.0;
        EXPECT_NEAR(r.dc_ratio, x, 1e-12);
        const double dr = cubic(121.35, -184.84, 83.21, -9.33, x);
        EXPECT_NEAR(r.delay_rate, dr, 1e-9);
        EXPECT_NEAR(r.travel_rate, 60.0 + dr, 1e-9);
        EXPECT_NEAR(r.travel_time_s, 60.0 + dr, 1e-9);
        const double speed = 3600.0 / (60.0 + dr);
        EXPECT_NEAR(r.speed, speed, 1e-9);
        const double density = expected_v[p] / (speed * 3.0);
        EXPECT_NEAR(r.density, density, 1e-9);
        EXPECT_NEAR(r.queue_length_mi, (expected_v[p] - 6900.0) / (density * 3.0), 1e-9);

        const auto& fr = f.facility_results[p];
        EXPECT_TRUE(fr.oversaturated);
        EXPECT_EQ(fr.los, LevelOfService::F);
        EXPECT_NEAR(fr.travel_time_min, (60.0 + dr) / 60.0, 1e-12);
        EXPECT_NEAR(fr.space_mean_speed, speed, 1e-9);
        EXPECT_NEAR(fr.avg_density, density, 1e-9);
        EXPECT_NEAR(fr.total_queue_mi, r.queue_length_mi, 1e-12);
    }
    EXPECT_NEAR(f.section_results[0][0].dc_ratio, 1.304, 5e-4);
}

TEST(PlanningMethod, PeriodFactorsHoldTheHourlyVolume) {
    auto factors = pl::determine_period_factors(0.9);
    EXPECT_DOUBLE_EQ(factors[0], 1.0);
    EXPECT_DOUBLE_EQ(factors[1], 1.0 / 0.9);
    EXPECT_DOUBLE_EQ(factors[2], 1.0);
    EXPECT_DOUBLE_EQ(factors[3], 2.0 - 1.0 / 0.9);
    EXPECT_DOUBLE_EQ(factors[0] + factors[1] + factors[2] + factors[3], 4.0);
}

struct TerrainCase {
    Terrain terrain;
    double expected;
};
class PlanningTerrain : public ::testing::TestWithParam<TerrainCase> {};

TEST_P(PlanningTerrain, TrucksWeighByTerrain) {
    PlanningFacility f;
    f.k_factor = 0.1;
    f.growth_factor = 1.5;
    f.pct_sut = 0.04;
    f.pct_tt = 0.06;
    f.terrain = GetParam().terrain;
    EXPECT_NEAR(pl::determine_demand_conversion_factor(f), GetParam().expected, 1e-12);
}
INSTANTIATE_TEST_SUITE_P(Terrains, PlanningTerrain,
                         ::testing::Values(TerrainCase{Terrain::Level, 0.15 * 1.1},
                                           TerrainCase{Terrain::Rolling, 0.15 * 1.2},
                                           TerrainCase{Terrain::Mountainous, 0.15 * 1.2}));

// ---- Capacities ------------------------------------------------------------------------------------

struct CapacityCase {
    double ffs;
    double per_lane;
};
class PlanningBaseCapacity : public ::testing::TestWithParam<CapacityCase> {};

TEST_P(PlanningBaseCapacity, FromFreeFlowSpeedCappedAt70) {
    EXPECT_DOUBLE_EQ(pl::calculate_base_capacity_per_lane(GetParam().ffs), GetParam().per_lane);
}
INSTANTIATE_TEST_SUITE_P(Speeds, PlanningBaseCapacity,
                         ::testing::Values(CapacityCase{60.0, 2300.0}, CapacityCase{70.0, 2400.0},
                                           CapacityCase{75.0, 2400.0}, CapacityCase{80.0, 2400.0},
                                           CapacityCase{45.0, 2150.0}, CapacityCase{30.0, 2000.0}));

TEST(PlanningCapacity, WeaveFactorFromVolumeRatioAndLength) {
    PlanningSection s = section(PlanningSectionType::Weave, 0.5, 3, 0.0);
    s.weave_vr = 0.3;
    EXPECT_NEAR(pl::determine_capacity_adjustment_factor(s), 0.925592, 1e-12);
    EXPECT_NEAR(pl::calculate_section_capacity(60.0, s), 2300.0 * 0.925592 * 3.0, 1e-9);

    // A long weave with a low volume ratio reaches the cap of 1.0.
    s.length_mi = 2.0;
    s.weave_vr = 0.1;
    EXPECT_DOUBLE_EQ(pl::determine_capacity_adjustment_factor(s), 1.0);
    // The volume ratio matters to Weave sections only.
    s.sec_type = PlanningSectionType::Basic;
    s.weave_vr = 0.9;
    EXPECT_DOUBLE_EQ(pl::determine_capacity_adjustment_factor(s), 1.0);
}

TEST(PlanningCapacity, RampFactorAndOverride) {
    PlanningSection s = section(PlanningSectionType::Ramp, 0.3, 2, 0.0);
    EXPECT_DOUBLE_EQ(pl::determine_capacity_adjustment_factor(s), 0.9);
    EXPECT_DOUBLE_EQ(pl::calculate_section_capacity(60.0, s), 2300.0 * 0.9 * 2.0);
    s.caf_override = 1.0;
    EXPECT_DOUBLE_EQ(pl::determine_capacity_adjustment_factor(s), 1.0);
    EXPECT_DOUBLE_EQ(pl::calculate_section_capacity(60.0, s), 4600.0);
    s.sec_type = PlanningSectionType::Weave;
    s.caf_override = 0.8;
    EXPECT_DOUBLE_EQ(pl::determine_capacity_adjustment_factor(s), 0.8);
}

// ---- Delay-rate regressions ------------------------------------------------------------------------

struct RegressionCase {
    double ffs;
    double speed_class;
    double breakpoint;
    double delay_at_capacity;  // s/mi at a ratio of 1.0
};
class PlanningDelayRate : public ::testing::TestWithParam<RegressionCase> {};

TEST_P(PlanningDelayRate, SpeedClassRow) {
    const auto& c = GetParam();
    const auto& row = pl::identify_delay_rate_regression(c.ffs);
    EXPECT_EQ(row.speed_class, c.speed_class);
    EXPECT_EQ(row.breakpoint, c.breakpoint);
    EXPECT_NEAR(pl::calculate_delay_rate(row, 1.0), c.delay_at_capacity, 1e-9);
    EXPECT_EQ(pl::calculate_delay_rate(row, std::nextafter(c.breakpoint, 0.0)), 0.0);
    EXPECT_NE(pl::calculate_delay_rate(row, c.breakpoint), 0.0);
}
INSTANTIATE_TEST_SUITE_P(
    Classes, PlanningDelayRate,
    ::testing::Values(RegressionCase{75.0, 75.0, 0.44, 19.24}, RegressionCase{70.0, 70.0, 0.52, 15.90},
                      RegressionCase{65.0, 65.0, 0.62, 13.46}, RegressionCase{60.0, 60.0, 0.72, 10.39},
                      RegressionCase{55.0, 55.0, 0.82, 6.52},
                      // Rounding to the nearest class of 5, halves away from zero.
                      RegressionCase{62.5, 65.0, 0.62, 13.46}, RegressionCase{67.4, 65.0, 0.62, 13.46},
                      RegressionCase{57.5, 60.0, 0.72, 10.39}, RegressionCase{73.0, 75.0, 0.44, 19.24},
                      // Classes outside the table take the last row.
                      RegressionCase{50.0, 55.0, 0.82, 6.52}, RegressionCase{80.0, 55.0, 0.82, 6.52},
                      RegressionCase{52.4, 55.0, 0.82, 6.52}));

TEST(PlanningDelayRate, NotClampedAtZeroAndZeroForNaN) {
    const auto& row = pl::identify_delay_rate_regression(70.0);
    EXPECT_NEAR(pl::calculate_delay_rate(row, 0.52), -0.0353, 5e-5);
    EXPECT_EQ(pl::calculate_delay_rate(row, kNaN), 0.0);
    // The same cubic serves above capacity.
    EXPECT_NEAR(pl::calculate_delay_rate(row, 1.5), cubic(71.24, -85.48, 35.58, -5.44, 1.5), 1e-12);
}

TEST(PlanningMethod, NegativeDelayRateRaisesTheSpeedAboveFreeFlow) {
    // ffs 70, 1 lane: capacity 2400, a demand of 0.52 x 2400 = 1248 sits on the breakpoint.
    PlanningFacility f = flat_facility(70.0);
    f.sections = {section(PlanningSectionType::Basic, 1.0, 1, 1248.0)};
    pl::run_analysis(f);
    const auto& r = f.section_results[0][0];
    EXPECT_NEAR(r.dc_ratio, 0.52, 1e-12);
    EXPECT_NEAR(r.delay_rate, -0.0353, 5e-5);
    EXPECT_NEAR(r.speed, 70.05, 5e-3);
}

TEST(PlanningMethod, FfsAbove70KeepsCapacityButChangesTheRow) {
    for (double ffs : {75.0, 80.0}) {
        PlanningFacility f = flat_facility(ffs);
        // Ratio 0.5: above the class-75 breakpoint, below the last row's.
        f.sections = {section(PlanningSectionType::Basic, 1.0, 1, 1200.0)};
        pl::run_analysis(f);
        const auto& r = f.section_results[0][0];
        EXPECT_DOUBLE_EQ(r.dc_ratio, 0.5);
        if (ffs == 75.0) {
            EXPECT_NEAR(r.delay_rate, cubic(68.99, -77.97, 34.04, -5.82, 0.5), 1e-12);
        } else {
            EXPECT_EQ(r.delay_rate, 0.0);
            EXPECT_DOUBLE_EQ(r.speed, 80.0);
        }
    }
}

// ---- Demand chain ----------------------------------------------------------------------------------

TEST(PlanningMethod, OutflowBeyondTheRunningDemandCutsItToZero) {
    PlanningFacility f = flat_facility(60.0);
    f.sections = {section(PlanningSectionType::Basic, 1.0, 3, 1000.0),
                  section(PlanningSectionType::Ramp, 0.5, 3, 0.0, 1500.0),
                  section(PlanningSectionType::Basic, 1.0, 3, 700.0)};
    pl::run_analysis(f);
    for (std::size_t p = 0; p < 4; ++p) {
        EXPECT_DOUBLE_EQ(f.section_results[0][p].demand_pc, 1000.0);
        EXPECT_DOUBLE_EQ(f.section_results[1][p].demand_pc, 0.0);
        EXPECT_DOUBLE_EQ(f.section_results[1][p].density, 0.0);
        // The cut is not remembered: downstream starts again from zero.
        EXPECT_DOUBLE_EQ(f.section_results[2][p].demand_pc, 700.0);
    }
}

TEST(PlanningMethod, ZeroLanesQueueEverything) {
    PlanningFacility f = flat_facility(60.0);
    f.sections = {section(PlanningSectionType::Basic, 1.0, 0, 1200.0)};
    EXPECT_EQ(pl::calculate_section_capacity(f.ffs, f.sections[0]), 0.0);
    pl::run_analysis(f);
    // Every period's demand is carried whole into the next.
    for (std::size_t p = 0; p < 4; ++p) {
        const auto& r = f.section_results[0][p];
        const double v = 1200.0 * static_cast<double>(p + 1);
        SCOPED_TRACE("period " + std::to_string(p));
        EXPECT_DOUBLE_EQ(r.demand_pc, v);
        EXPECT_EQ(r.dc_ratio, 0.0);
        EXPECT_EQ(r.delay_rate, 0.0);
        EXPECT_DOUBLE_EQ(r.speed, 60.0);
        EXPECT_DOUBLE_EQ(r.density, v / 60.0);
        EXPECT_DOUBLE_EQ(r.queue_length_mi, v / (v / 60.0));
        EXPECT_FALSE(f.facility_results[p].oversaturated);
    }
}

TEST(PlanningMethod, QueueFeedsTheDownstreamSectionsAndClearsOnASecondRun) {
    PlanningFacility f = flat_facility(60.0);
    f.sections = {section(PlanningSectionType::Basic, 1.0, 2, 5000.0),
                  section(PlanningSectionType::Basic, 1.0, 1, 0.0)};
    pl::run_analysis(f);
    // Section 1 (capacity 2300) carries 2700 into period 2, which then passes its own demand,
    // queue included, on to section 2.
    EXPECT_DOUBLE_EQ(f.section_results[0][0].demand_pc, 5000.0);
    EXPECT_DOUBLE_EQ(f.section_results[1][0].demand_pc, 5000.0);
    EXPECT_DOUBLE_EQ(f.section_results[0][1].demand_pc, 5000.0 + 400.0);
    EXPECT_DOUBLE_EQ(f.section_results[1][1].demand_pc, 5400.0 + 2700.0);

    const PlanningFacility first = f;
    pl::run_analysis(f);
    EXPECT_EQ(f, first);
}

// ---- Facility measures and LOS -----------------------------------------------------------------------

TEST(PlanningMethod, BelowEveryBreakpointRunsAtFreeFlow) {
    PlanningFacility f = flat_facility(65.0);
    f.sections = {section(PlanningSectionType::Basic, 2.0, 3, 1800.0),
                  section(PlanningSectionType::Basic, 1.0, 2, 600.0)};
    pl::run_analysis(f);
    for (std::size_t p = 0; p < 4; ++p) {
        const auto& fr = f.facility_results[p];
        EXPECT_FALSE(fr.oversaturated);
        EXPECT_DOUBLE_EQ(fr.space_mean_speed, 65.0);
        EXPECT_DOUBLE_EQ(fr.travel_time_min, 3.0 * 3600.0 / 65.0 / 60.0);
        EXPECT_EQ(fr.total_queue_mi, 0.0);
        // Length-weighted: (1800 / 195) x 2 + (2400 / 130) x 1, over 3 mi.
        const double avg = ((1800.0 / 195.0) * 2.0 + (2400.0 / 130.0)) / 3.0;
        EXPECT_NEAR(fr.avg_density, avg, 1e-12);
        EXPECT_EQ(fr.los, LevelOfService::B);
        for (const auto& row : f.section_results) EXPECT_EQ(row[p].delay_rate, 0.0);
    }
}

struct LosCase {
    CityType city;
    double demand;  // pc/h on one lane at FFS 60, below the breakpoint: density = demand / 60
    LevelOfService los;
};
class PlanningLos : public ::testing::TestWithParam<LosCase> {};

TEST_P(PlanningLos, FromUnroundedAverageDensity) {
    PlanningFacility f = flat_facility(60.0);
    f.city_type = GetParam().city;
    f.sections = {section(PlanningSectionType::Basic, 1.0, 1, GetParam().demand)};
    pl::run_analysis(f);
    EXPECT_EQ(f.facility_results[0].los, GetParam().los);
}
INSTANTIATE_TEST_SUITE_P(
    Cities, PlanningLos,
    ::testing::Values(LosCase{CityType::Urban, 1500.0, LevelOfService::C},   // 25
                      LosCase{CityType::Rural, 1500.0, LevelOfService::D},   // 25
                      LosCase{CityType::Urban, 660.0, LevelOfService::A},    // 11 exactly
                      LosCase{CityType::Urban, 661.0, LevelOfService::B},    // 11.0167 (not rounded)
                      LosCase{CityType::Rural, 360.0, LevelOfService::A},    // 6 exactly
                      LosCase{CityType::Rural, 361.0, LevelOfService::B},    // 6.0167
                      LosCase{CityType::Rural, 1300.0, LevelOfService::C},   // 21.67
                      LosCase{CityType::Urban, 1000.0, LevelOfService::B}));  // 16.67

TEST(PlanningMethod, RatioOfExactlyOneIsNotOversaturated) {
    PlanningFacility f = flat_facility(60.0);
    f.sections = {section(PlanningSectionType::Basic, 1.0, 1, 2300.0)};
    pl::run_analysis(f);
    EXPECT_EQ(f.section_results[0][0].dc_ratio, 1.0);
    EXPECT_FALSE(f.facility_results[0].oversaturated);
    EXPECT_EQ(f.facility_results[0].los, LevelOfService::E);  // density 2300 / 51.14 = 44.97

    f.sections[0].inflow_aadt = 2300.23;
    pl::run_analysis(f);
    EXPECT_NEAR(f.section_results[0][0].dc_ratio, 1.0001, 1e-12);
    EXPECT_TRUE(f.facility_results[0].oversaturated);
    EXPECT_EQ(f.facility_results[0].los, LevelOfService::F);
}

TEST(PlanningMethod, OversaturationAnywhereMakesThePeriodF) {
    // A light facility whose short middle section is over capacity: low density, LOS F anyway.
    PlanningFacility f = flat_facility(60.0);
    f.sections = {section(PlanningSectionType::Basic, 5.0, 4, 2400.0),
                  section(PlanningSectionType::Ramp, 0.1, 1, 0.0),
                  section(PlanningSectionType::Basic, 5.0, 4, 0.0)};
    pl::run_analysis(f);
    EXPECT_GT(f.section_results[1][0].dc_ratio, 1.0);
    EXPECT_LT(f.facility_results[0].avg_density, 11.0);
    EXPECT_TRUE(f.facility_results[0].oversaturated);
    EXPECT_EQ(f.facility_results[0].los, LevelOfService::F);
    EXPECT_GT(f.facility_results[0].total_queue_mi, 0.0);
}

// ---- Failures and accessors --------------------------------------------------------------------------

TEST(PlanningMethod, NoSectionsFailsAndChangesNothing) {
    PlanningFacility f;
    f.facility_results = {pl::PlanningFacilityResult{}};
    const PlanningFacility before = f;
    EXPECT_EQ(error_of([&] { pl::run_analysis(f); }), "planning facility has no sections") << "expected hcm::Error";
    EXPECT_EQ(f, before);
}

TEST(PlanningMethod, DegenerateInputsGiveNonFiniteResultsNotCrashes) {
    PlanningFacility f = flat_facility(0.0);
    f.sections = {section(PlanningSectionType::Basic, 0.0, 2, 1000.0)};
    pl::run_analysis(f);
    // Free-flow travel rate 3600 / 0 is infinite; a zero length gives no facility length.
    EXPECT_TRUE(std::isinf(f.section_results[0][0].travel_rate));
    EXPECT_EQ(f.facility_results[0].avg_density, 0.0);
    EXPECT_EQ(f.facility_results[0].los, LevelOfService::A);
}

TEST(PlanningAccessors, IndexAndBoundInTheMessage) {
    PlanningFacility f;
    f.sections = {section(PlanningSectionType::Basic, 1.0, 3, 1000.0),
                  section(PlanningSectionType::Basic, 1.0, 3, 1000.0)};
    EXPECT_EQ(error_of([&] { pl::section_result(f, 0, 0); }),
              "section index 0 is out of range: the results hold 0 sections");
    EXPECT_EQ(error_of([&] { pl::facility_result(f, 0); }),
              "period index 0 is out of range: the facility results hold 0 periods");

    pl::run_analysis(f);
    EXPECT_EQ(&pl::section_result(f, 1, 3), &f.section_results[1][3]);
    EXPECT_EQ(&pl::facility_result(f, 3), &f.facility_results[3]);
    EXPECT_EQ(error_of([&] { pl::section_result(f, 2, 0); }),
              "section index 2 is out of range: the results hold 2 sections");
    EXPECT_EQ(error_of([&] { pl::section_result(f, 1, 4); }),
              "period index 4 is out of range: the results of section 1 hold 4 periods");
    EXPECT_EQ(error_of([&] { pl::facility_result(f, 4); }),
              "period index 4 is out of range: the facility results hold 4 periods");
}

TEST(PlanningAccessors, TotalLength) {
    PlanningFacility f;
    f.sections = {section(PlanningSectionType::Basic, 1.25, 3, 0.0), section(PlanningSectionType::Weave, 0.5, 3, 0.0)};
    EXPECT_DOUBLE_EQ(pl::total_length_mi(f), 1.75);
    EXPECT_EQ(pl::total_length_mi(PlanningFacility{}), 0.0);
}
