#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "../support/checks.hpp"
#include "hcm/basicfreeways/managed_lanes.hpp"
#include "hcm/common/error.hpp"
#include "hcm/freeway_facilities/managed_lanes.hpp"

using namespace hcm::freeway_facilities::managed_lanes;
using namespace testing_support;
using hcm::common::LevelOfService;
using hcm::freeway_facilities::freeway_facilities::FacilitySegment;

namespace {

// n Basic GP segments of `lanes` lanes, no heavy vehicles, FFS 60 (c 2300 pc/h/ln, BP 1600).
ManagedLaneFacility gp_only(std::size_t n, std::vector<double> mainline, std::uint32_t lanes = 3) {
    ManagedLaneFacility f;
    FacilitySegment s;
    s.lanes = lanes;
    f.gp.segments.assign(n, s);
    f.gp.mainline_demand = std::move(mainline);
    f.gp.heavy_vehicle_pct = 0.0;
    f.ml.assign(n, std::nullopt);
    return f;
}

MlSegmentInput ml_entry(ManagedLaneType type, std::optional<double> ffs = 65.0) {
    MlSegmentInput e;
    e.lane_type = type;
    e.ffs = ffs;
    return e;
}

// ---- Entry counts ---------------------------------------------------------------------------------

TEST(MlFacilityEntries, CountsMustMatchTheGpSegmentsAndNothingChangesOnFailure) {
    auto f = gp_only(2, {1000});
    f.ml.clear();
    const ManagedLaneFacility before = f;
    EXPECT_EQ(error_of([&] { run_analysis(f); }), "ml has 0 entries but the facility has 2 segments");
    EXPECT_EQ(f, before);

    f.ml.assign(2, std::nullopt);
    f.cross_weave.assign(3, std::nullopt);
    const ManagedLaneFacility before_cw = f;
    EXPECT_EQ(error_of([&] { run_analysis(f); }), "cross_weave has 3 entries but the facility has 2 segments");
    EXPECT_EQ(f, before_cw);
}

TEST(MlFacilityEntries, GpFailureChangesNothing) {
    auto f = gp_only(3, {3000});
    f.ml[1] = ml_entry(ManagedLaneType::ContinuousAccess);
    f.ml_entry_demand = {800};
    run_analysis(f);

    f.cross_weave = {std::nullopt, CrossWeave{{500}, 2000}, std::nullopt};
    f.gp.mainline_demand.clear();
    const std::string before = write_managed_lane_facility(f);
    EXPECT_EQ(error_of([&] { run_analysis(f); }), "no analysis periods (mainline_demand is empty)");
    EXPECT_EQ(write_managed_lane_facility(f), before);  // the cross-weave schedules included
}

// ---- Cross-weave capacity reduction (Equation 13-24) ---------------------------------------------

struct CrossWeaveCase {
    std::uint32_t lanes;
    double cw;
    double l_cw_min_ft;
    double cr;
};
class MlFacilityCrossWeave : public ::testing::TestWithParam<CrossWeaveCase> {};
TEST_P(MlFacilityCrossWeave, ReductionIsClampedAndZeroWithoutDemand) {
    const auto c = GetParam();
    EXPECT_NEAR(calculate_cross_weave_reduction(c.lanes, c.cw, c.l_cw_min_ft), c.cr, 1e-6);
}
INSTANTIATE_TEST_SUITE_P(
    MlFacility, MlFacilityCrossWeave,
    ::testing::Values(CrossWeaveCase{4, 500, 2000, 0.049716},  // 0.011868 + 0.156608 - 0.0897 - 0.02906
                      CrossWeaveCase{4, 0, 2000, 0.0}, CrossWeaveCase{4, -100, 2000, 0.0},
                      CrossWeaveCase{2, 10, 5000, 0.0},     // negative by the equation
                      CrossWeaveCase{4, 1e30, 0, 1.0},      // above 1 by the equation
                      CrossWeaveCase{3, kNaN, 0, 0.0}));

TEST(MlFacilityCrossWeave, ScheduleReplacesAnyEarlierOneAndIsBuiltFromCaf) {
    auto f = gp_only(3, {3000, 3000, 3000}, 4);
    f.gp.segments[1].caf = 0.9;
    f.gp.segments[1].caf_schedule = std::vector<double>{0.5, 0.5, 0.5};
    f.gp.segments[2].caf_schedule = std::vector<double>{0.8};
    f.cross_weave = {std::nullopt, CrossWeave{{0, 500}, 2000}, std::nullopt};
    determine_cross_weave_caf_schedules(f);
    const auto& schedule = *f.gp.segments[1].caf_schedule;
    ASSERT_EQ(schedule.size(), 3u);
    EXPECT_DOUBLE_EQ(schedule[0], 0.9);
    EXPECT_NEAR(schedule[1], 0.9 * 0.950284, 1e-6);
    EXPECT_DOUBLE_EQ(schedule[2], 0.9);  // no entry for the third period
    EXPECT_EQ(f.gp.segments[2].caf_schedule, std::vector<double>{0.8});
    EXPECT_FALSE(f.gp.segments[0].caf_schedule.has_value());
    determine_cross_weave_caf_schedules(f);  // a second run gives the same schedule
    EXPECT_NEAR((*f.gp.segments[1].caf_schedule)[1], 0.9 * 0.950284, 1e-6);
}

// ---- ML demands and capacities ------------------------------------------------------------------

TEST(MlFacilityDemand, RampsAddAndSubtractAndSegmentsWithoutLaneCarryTheRunningDemand) {
    auto f = gp_only(3, {3000, 3000});
    f.ml_entry_demand = {1000};  // the second period has no entry demand
    MlSegmentInput on, off;
    on.on_ramp_demand = {200, 50};
    off.off_ramp_demand = {300};
    f.ml = {on, std::nullopt, off};
    const Matrix d = estimate_ml_demands(f);
    EXPECT_EQ(d, (Matrix{{1200, 50}, {1200, 50}, {900, 50}}));
}

TEST(MlFacilityDemand, AnOffRampTakesNoMoreThanTheLaneCarries) {
    auto f = gp_only(2, {3000});
    f.ml_entry_demand = {400};
    MlSegmentInput off, on;
    off.off_ramp_demand = {600};
    on.on_ramp_demand = {100};
    f.ml = {off, on};
    EXPECT_EQ(estimate_ml_demands(f), (Matrix{{0}, {100}}));
}

struct CapacityCase {
    MlSegmentInput entry;
    double heavy_vehicle_pct;
    double capacity;
};
class MlFacilityCapacity : public ::testing::TestWithParam<CapacityCase> {};
TEST_P(MlFacilityCapacity, Equation12_14OverTheManagedLanes) {
    const auto& c = GetParam();
    const double f_hv = 1.0 / (1.0 + c.heavy_vehicle_pct);
    EXPECT_NEAR(calculate_ml_capacity(c.entry, 60.0, f_hv), c.capacity, 1e-9);
}
MlSegmentInput with(MlSegmentInput e, std::uint32_t lanes, double caf, double saf) {
    e.lanes = lanes;
    e.caf = caf;
    e.saf = saf;
    return e;
}
INSTANTIATE_TEST_SUITE_P(
    MlFacility, MlFacilityCapacity,
    ::testing::Values(CapacityCase{ml_entry(ManagedLaneType::ContinuousAccess), 0.05, 1700.0 / 1.05},
                      CapacityCase{with(ml_entry(ManagedLaneType::Buffer1, std::nullopt), 2, 0.9, 1.0), 0.0,
                                   0.9 * (1700 - 150) * 2},  // ml_ffs 60
                      CapacityCase{with(ml_entry(ManagedLaneType::Barrier2, 70.0), 0, 1.0, 0.9), 0.0,
                                   2100 - 10 * (75 - 63)},  // no lanes counts one
                      CapacityCase{ml_entry(ManagedLaneType::Buffer2), 0.0, 1850 - 100},
                      CapacityCase{ml_entry(ManagedLaneType::Barrier1), 0.0, 1750 - 100}));

// ---- ML cells and the GP friction (Step A-13) -------------------------------------------------------

struct FrictionCase {
    ManagedLaneType type;
    double k_gp;
    bool active;
};
class MlFacilityFriction : public ::testing::TestWithParam<FrictionCase> {};
TEST_P(MlFacilityFriction, ActiveAboveThirtyFiveOnFrictionTypesOnly) {
    const auto c = GetParam();
    auto f = gp_only(1, {0});
    f.ml[0] = ml_entry(c.type);
    f.gp.density_pc = {{c.k_gp}};
    const auto cells = evaluate_ml_cells(f, Matrix{{500}});
    EXPECT_EQ(cells.friction_active[0][0], c.active);
}
INSTANTIATE_TEST_SUITE_P(MlFacility, MlFacilityFriction,
                         ::testing::Values(FrictionCase{ManagedLaneType::ContinuousAccess, 35.0, false},
                                           FrictionCase{ManagedLaneType::ContinuousAccess, 35.01, true},
                                           FrictionCase{ManagedLaneType::Buffer1, 35.01, true},
                                           FrictionCase{ManagedLaneType::Buffer2, 35.01, false},
                                           FrictionCase{ManagedLaneType::Barrier1, 80.0, false},
                                           FrictionCase{ManagedLaneType::Barrier2, 80.0, false}));

TEST(MlFacilityCells, DemandAboveCapacityStopsTheCell) {
    auto f = gp_only(2, {0});
    f.gp.heavy_vehicle_pct = 0.05;
    f.gp.phf = 0.95;
    f.ml[1] = ml_entry(ManagedLaneType::ContinuousAccess);
    f.gp.density_pc = {{0}, {10}};
    const auto cells = evaluate_ml_cells(f, Matrix{{2000}, {2000}});
    EXPECT_NEAR(cells.capacity[1][0], 1700 / 1.05, 1e-9);
    EXPECT_NEAR(cells.dc_ratio[1][0], 2000 / (1700 / 1.05), 1e-12);
    EXPECT_EQ(cells.speed[1][0], 0.0);
    EXPECT_EQ(cells.density_pc[1][0], 50.0);
    EXPECT_NEAR(cells.density_veh[1][0], 50.0 / 1.05, 1e-12);
    EXPECT_EQ(cells.los[1][0], LevelOfService::F);
    // The row without a managed lane keeps zeros and LOS A.
    EXPECT_EQ(cells.capacity[0][0], 0.0);
    EXPECT_EQ(cells.los[0][0], LevelOfService::A);
}

// ---- Lane-group and facility measures ---------------------------------------------------------------

// Two GP segments of 1 mi and 2 lanes, a one-lane managed lane beside the second; no heavy vehicles.
struct MlFacilityMeasures : ::testing::Test {
    ManagedLaneFacility f = gp_only(2, {3000}, 2);
    MlCellResults ml;
    void SetUp() override {
        for (auto& s : f.gp.segments) s.length_ft = 5280;
        f.ml[1] = ml_entry(ManagedLaneType::Buffer2, 60.0);
        f.gp.volume_served = {{3000}, {3000}};
        f.gp.demand = {{3000}, {3200}};
        f.gp.speed = {{60}, {0}};
        f.gp.density_veh = {{25}, {50}};
        f.gp.dc_ratio = {{0.9}, {0.95}};
        ml.demand = {{0}, {1200}};
        ml.speed = {{0}, {40}};
        ml.density_veh = {{0}, {30}};
        ml.dc_ratio = {{0}, {0.8}};
    }
};

TEST_F(MlFacilityMeasures, SpeedsCountOnlyMovingSegmentsAndDensitiesWeighLaneMiles) {
    const auto m = calculate_period_measures(f, ml, 0);
    // A stopped GP segment adds neither flow nor time: the group speed is its moving segment's.
    EXPECT_DOUBLE_EQ(m.gp_group.space_mean_speed, 60.0);
    EXPECT_DOUBLE_EQ(m.gp_group.avg_density_veh, 37.5);
    EXPECT_EQ(m.gp_group.los, LevelOfService::E);
    EXPECT_DOUBLE_EQ(m.ml_group.space_mean_speed, 40.0);
    EXPECT_DOUBLE_EQ(m.ml_group.avg_density_pc, 30.0);
    EXPECT_EQ(m.ml_group.los, LevelOfService::D);
    EXPECT_DOUBLE_EQ(m.facility.space_mean_speed, 4200.0 / 80.0);
    EXPECT_DOUBLE_EQ(m.facility.avg_density_veh, 36.0);
    EXPECT_EQ(m.facility.los, LevelOfService::E);
    EXPECT_DOUBLE_EQ(m.facility.vmt_served, 750 + 750 + 300);
    EXPECT_DOUBLE_EQ(m.facility.vmt_demand, 750 + 800 + 300);
    EXPECT_DOUBLE_EQ(m.facility.vht, 12.5 + 7.5);
    EXPECT_DOUBLE_EQ(m.facility.vhd, 300 * (1.0 / 40 - 1.0 / 60));
}

TEST_F(MlFacilityMeasures, OverCapacityGivesLosFOfItsGroupAndTheFacility) {
    f.gp.city_type = hcm::common::CityType::Rural;
    EXPECT_EQ(calculate_period_measures(f, ml, 0).ml_group.los, LevelOfService::E);  // 30 > 29
    ml.dc_ratio[1][0] = 1.01;
    auto m = calculate_period_measures(f, ml, 0);
    EXPECT_EQ(m.gp_group.los, LevelOfService::E);
    EXPECT_EQ(m.ml_group.los, LevelOfService::F);
    EXPECT_EQ(m.facility.los, LevelOfService::F);
    ml.dc_ratio[1][0] = 1.0;  // exactly at capacity is not over it
    f.gp.dc_ratio[0][0] = 1.2;
    m = calculate_period_measures(f, ml, 0);
    EXPECT_EQ(m.gp_group.los, LevelOfService::F);
    EXPECT_EQ(m.ml_group.los, LevelOfService::E);
    EXPECT_EQ(m.facility.los, LevelOfService::F);
}

TEST_F(MlFacilityMeasures, NoMovingSegmentsAndNoManagedLanesGiveZeros) {
    f.gp.speed = {{0}, {0}};
    f.ml = {std::nullopt, std::nullopt};
    const auto m = calculate_period_measures(f, ml, 0);
    EXPECT_EQ(m.gp_group.space_mean_speed, 0.0);
    EXPECT_EQ(m.ml_group, (LaneGroupPerformance{0, 0, 0, LevelOfService::A}));
    EXPECT_EQ(m.facility.vht, 0.0);
    EXPECT_DOUBLE_EQ(m.facility.vmt_served, 1500.0);
}

// ---- Whole analysis -------------------------------------------------------------------------------

// Three GP segments (3, 4, 3 lanes) at FFS 60 without heavy vehicles; 3000 veh/h, then 6900 veh/h,
// which loads the 3-lane segments to capacity (2300 pc/h/ln at 45 pc/mi/ln). A cross-weave crosses
// the 4-lane segment in the second period. A continuous-access lane beside the first segment and a
// Barrier 2 lane beside the last carry 1700 veh/h.
ManagedLaneFacility worked_facility() {
    auto f = gp_only(3, {3000, 6900});
    f.gp.segments[1].lanes = 4;
    f.cross_weave = {std::nullopt, CrossWeave{{0, 500}, 2000}, std::nullopt};
    f.ml = {ml_entry(ManagedLaneType::ContinuousAccess), std::nullopt, ml_entry(ManagedLaneType::Barrier2)};
    f.ml_entry_demand = {1700, 1700};
    return f;
}

TEST(MlFacilityAnalysis, CrossWeaveAndFrictionWorkedCase) {
    auto f = worked_facility();
    run_analysis(f);
    EXPECT_NEAR((*f.gp.segments[1].caf_schedule)[1], 0.950284, 1e-6);
    EXPECT_DOUBLE_EQ(f.gp.capacity[1][0], 2300.0 * 4);
    EXPECT_NEAR(f.gp.capacity[1][1], 2300.0 * 4 * 0.950284, 1e-2);
    EXPECT_NEAR(f.gp.density_pc[0][1], 45.0, 1e-9);

    // Continuous access at capacity (1700 pc/h/ln): c/30 without friction, c/45 with it.
    EXPECT_NEAR(f.ml_speed[0][0], 1700.0 / 30, 1e-9);
    EXPECT_NEAR(f.ml_speed[0][1], 1700.0 / 45, 1e-9);
    EXPECT_EQ(f.ml_friction_active, (BoolMatrix{{false, true}, {false, false}, {false, false}}));
    EXPECT_NEAR(f.ml_density_pc[0][1], 45.0, 1e-9);
    EXPECT_DOUBLE_EQ(f.ml_dc_ratio[0][1], 1.0);
    EXPECT_EQ(f.ml_los[0][1], LevelOfService::E);
    // Barrier 2: BP 900, c 2000, exponent 1.5; no friction whatever the GP density.
    const double x = (1700.0 - 900) / (2000 - 900);
    EXPECT_NEAR(f.ml_speed[2][1], 65 - (65 - 2000.0 / 45) * std::pow(x, 1.5), 1e-9);
    EXPECT_EQ(f.ml_demand[1], (std::vector<double>{1700, 1700}));
    EXPECT_EQ(f.ml_speed[1], (std::vector<double>{0, 0}));

    // The GP group repeats the core method's measures.
    for (std::size_t p = 0; p < 2; ++p) {
        EXPECT_DOUBLE_EQ(f.gp_group_performance[p].space_mean_speed, f.gp.facility_performance[p].space_mean_speed);
        EXPECT_DOUBLE_EQ(f.gp_group_performance[p].avg_density_pc, f.gp.facility_performance[p].avg_density_pc);
        EXPECT_EQ(f.gp_group_performance[p].los, f.gp.facility_performance[p].los);
    }
    EXPECT_EQ(f.facility_performance.size(), 2u);
    EXPECT_DOUBLE_EQ(f.facility_performance[0].vmt_demand,
                     f.gp.facility_performance[0].vmt_demand + 2 * 1500.0 / 5280 * 1700 * 0.25);
}

TEST(MlFacilityAnalysis, NoManagedLanesGiveZeroRowsAndTheGpMeasures) {
    auto f = gp_only(2, {3000, 4000});
    run_analysis(f);
    EXPECT_EQ(f.cross_weave.size(), 2u);
    EXPECT_EQ(f.ml_speed, (Matrix{{0, 0}, {0, 0}}));
    EXPECT_EQ(f.ml_los, (hcm::common::LosMatrix(2, {LevelOfService::A, LevelOfService::A})));
    for (std::size_t p = 0; p < 2; ++p) {
        EXPECT_EQ(f.ml_group_performance[p], (LaneGroupPerformance{0, 0, 0, LevelOfService::A}));
        EXPECT_EQ(f.facility_performance[p], f.gp.facility_performance[p]);
    }
}

TEST(MlFacilityAnalysis, RunningTwiceGivesTheSameRecord) {
    auto f = worked_facility();
    run_analysis(f);
    const ManagedLaneFacility once = f;
    run_analysis(f);
    EXPECT_EQ(f, once);
}

TEST(MlFacilityAnalysis, PeriodMeasuresNameThePeriodAndTheBound) {
    auto f = worked_facility();
    EXPECT_EQ(error_of([&] { (void)period_performance(f, 0); }),
              "period 0 is out of range: the facility has results for 0 analysis periods")
        << "no error before an analysis";
    run_analysis(f);
    EXPECT_EQ(&period_performance(f, 1), &f.facility_performance[1]);
    EXPECT_THROW((void)period_performance(f, 2), hcm::Error);
}

}  // namespace
