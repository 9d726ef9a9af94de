#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>

#include "../support/checks.hpp"
#include "hcm/common/error.hpp"
#include "hcm/freeway_facilities/freeway_facilities.hpp"

using namespace hcm::freeway_facilities::freeway_facilities;
using namespace testing_support;
using hcm::common::OptionalLos;

namespace {

FreewayFacility basic_facility(std::size_t n, std::vector<double> mainline) {
    FreewayFacility f;
    f.segments.assign(n, FacilitySegment{});
    f.mainline_demand = std::move(mainline);
    return f;
}

// Result matrices of the right shape, as the driver prepares them before a period chain.
void prepare_results(FreewayFacility& f) {
    compute_demands(f);
    compute_capacities(f);
    const std::size_t n = f.segments.size(), p = f.mainline_demand.size();
    const Matrix zeros(n, std::vector<double>(p, 0.0));
    f.dc_ratio = f.volume_served = f.vc_ratio = f.speed = f.density_veh = f.density_pc = zeros;
    f.los.assign(n, std::vector<LevelOfService>(p, LevelOfService::A));
    f.demand_based_los.assign(n, std::vector<OptionalLos>(p));
}

// ---- Speed-flow curve ---------------------------------------------------------------------------

// No heavy vehicles, PHF 1, 3 lanes, S_f 60: BP 1600, c 2300 pc/h/ln.
struct CurveCase {
    double v_p;
    double speed;
};
class BasicCurve : public ::testing::TestWithParam<CurveCase> {};
TEST_P(BasicCurve, FacilityFormOfTheChapter12Curve) {
    auto f = basic_facility(2, {1000});
    f.heavy_vehicle_pct = 0.0;
    EXPECT_NEAR(basic_segment_speed(f, 0, 0, GetParam().v_p * 3), GetParam().speed, 1e-12);
}
INSTANTIATE_TEST_SUITE_P(Facility, BasicCurve,
                         ::testing::Values(CurveCase{0, 60}, CurveCase{1600, 60},
                                           CurveCase{1950, 60 - (60 - 2300.0 / 45) * 0.25},
                                           CurveCase{2300, 2300.0 / 45}, CurveCase{3000, 2300.0 / 45}));

TEST(BasicCurve, CapacityAdjustmentMovesBreakpointAndCapacity) {
    auto f = basic_facility(2, {1000});
    f.heavy_vehicle_pct = 0.0;
    f.segments[0].caf = 0.9;  // c = 2070, BP = 1600 x 0.81 = 1296
    EXPECT_DOUBLE_EQ(basic_segment_speed(f, 0, 0, 1296 * 3), 60.0);
    const double x = (1683.0 - 1296.0) / (2070.0 - 1296.0);
    EXPECT_NEAR(basic_segment_speed(f, 0, 0, 1683 * 3), 60 - (60 - 2070.0 / 45) * x * x, 1e-12);
}

// No flow at PHF 0 gives a flow rate that is not a number: no speed where the curve falls from the
// breakpoint to capacity, the speed at capacity where capacity does not exceed the breakpoint.
TEST(BasicCurve, FlowRateThatIsNotANumber) {
    auto f = basic_facility(2, {1000});
    f.phf = 0.0;
    EXPECT_TRUE(std::isnan(basic_segment_speed(f, 0, 0, 0.0)));
    f.segments[0].ffs = 40.0;  // c = 2100, BP = 2400
    EXPECT_DOUBLE_EQ(basic_segment_speed(f, 0, 0, 0.0), 2100.0 / 45);
    EXPECT_DOUBLE_EQ(basic_segment_speed(f, 0, 0, 10.0), 2100.0 / 45);  // infinite flow rate: above capacity
}

// CAF 0 on an infinite base capacity: capacity is not a number and neither is c / 45, the speed
// past the breakpoint (0 pc/h/ln here); at the breakpoint the curve still gives S_f.
TEST(BasicCurve, CapacityThatIsNotANumber) {
    auto f = basic_facility(2, {1000});
    f.c_ifl_override = kInf;
    f.segments[0].caf = 0.0;
    EXPECT_TRUE(std::isnan(basic_segment_speed(f, 0, 0, 3000.0)));
    EXPECT_DOUBLE_EQ(basic_segment_speed(f, 0, 0, 0.0), 60.0);
}

// ---- Segment LOS ----------------------------------------------------------------------------------

struct LosCase {
    SegmentType type;
    bool queued;
    std::optional<double> ramp_density;
    double density_pc;
    LevelOfService los;
};
class SegmentLos : public ::testing::TestWithParam<LosCase> {};
TEST_P(SegmentLos, ByRoundedDensityAndSegmentType) {
    const auto& c = GetParam();
    EXPECT_EQ(identify_segment_los(c.type, c.queued, c.ramp_density, c.density_pc), c.los);
}
using ST = SegmentType;
using L = LevelOfService;
INSTANTIATE_TEST_SUITE_P(
    Facility, SegmentLos,
    ::testing::Values(LosCase{ST::Basic, false, {}, 11.4, L::A}, LosCase{ST::Basic, false, {}, 11.5, L::B},
                      LosCase{ST::Basic, false, {}, 45.0, L::E}, LosCase{ST::Basic, false, {}, 45.5, L::F},
                      LosCase{ST::OverlappingRamp, false, {}, 26.0, L::C}, LosCase{ST::Basic, false, {}, 0.0, L::A},
                      LosCase{ST::Merge, false, 28.4, 50.0, L::C}, LosCase{ST::Merge, false, 28.5, 50.0, L::D},
                      LosCase{ST::Diverge, false, 80.0, 50.0, L::E},  // never F by density
                      LosCase{ST::Merge, true, 10.0, 36.0, L::E},    // queued: basic table
                      LosCase{ST::Diverge, false, {}, 19.0, L::C},   // no ramp density: basic table
                      LosCase{ST::Weaving, false, {}, 10.4, L::A}, LosCase{ST::Weaving, false, {}, 43.0, L::E},
                      LosCase{ST::Weaving, true, {}, 43.5, L::F}));

// ---- Period chain ---------------------------------------------------------------------------------

TEST(PeriodChain, SpeedRecoversDownstreamOfASlowSegment) {
    auto f = basic_facility(3, {3000});
    prepare_results(f);
    const std::vector<double> q(3, 3000.0), on(3, 0.0), off(4, 0.0);
    // Segment 0 is queued at 30 mi/h; the 1500-ft segment below it starts from there.
    f.dc_ratio[0][0] = 1.5;
    evaluate_period_chain(f, 0, q, on, off, {true, false, false}, {30.0, 0.0, 0.0}, {40.0, 0.0, 0.0});
    EXPECT_DOUBLE_EQ(f.speed[0][0], 30.0);
    EXPECT_DOUBLE_EQ(f.density_veh[0][0], 40.0);
    EXPECT_DOUBLE_EQ(f.density_pc[0][0], 40.0 * 1.05);
    EXPECT_EQ(f.los[0][0], LevelOfService::E);  // 42 pc/mi/ln on the basic table
    EXPECT_EQ(f.demand_based_los[0][0], OptionalLos(LevelOfService::F));
    const double s1 = 60.0 - std::exp(-2.43) * 30.0;
    EXPECT_NEAR(f.speed[1][0], s1, 1e-12);
    EXPECT_NEAR(f.speed[2][0], 60.0 - std::exp(-2.43) * (60.0 - s1), 1e-12);
    EXPECT_NEAR(f.density_veh[1][0], 1000.0 / s1, 1e-12);
    EXPECT_EQ(f.demand_based_los[1][0], std::nullopt);
    EXPECT_DOUBLE_EQ(f.volume_served[1][0], 3000.0);
    EXPECT_DOUBLE_EQ(f.vc_ratio[1][0], 3000.0 / (6900.0 / 1.05));
}

TEST(PeriodChain, ZeroSpeedZeroCapacity) {
    auto f = basic_facility(2, {3000});
    prepare_results(f);
    f.capacity[1][0] = 0.0;
    f.dc_ratio[1][0] = 2.0;
    evaluate_period_chain(f, 0, {3000.0, 3000.0}, {0.0, 0.0}, {0.0, 0.0, 0.0}, {false, true}, {0.0, 0.0},
                          {0.0, 0.0});
    EXPECT_DOUBLE_EQ(f.density_veh[1][0], 0.0);
    EXPECT_EQ(f.los[1][0], LevelOfService::A);
    EXPECT_EQ(f.demand_based_los[1][0], OptionalLos(LevelOfService::F));
    EXPECT_DOUBLE_EQ(f.vc_ratio[1][0], 0.0);
    EXPECT_DOUBLE_EQ(f.speed[0][0], 60.0);  // the first segment is never slowed by recovery
}

TEST(PeriodChain, ShortListsAndUnpreparedMatricesAreInternalErrors) {
    auto f = basic_facility(2, {3000});
    compute_demands(f);
    compute_capacities(f);
    const std::vector<double> q(2, 3000.0), on(2, 0.0), off(3, 0.0), none(2, 0.0);
    const std::vector<bool> queued(2, false);
    EXPECT_THROW(evaluate_period_chain(f, 0, q, on, off, queued, none, none), std::logic_error);
    prepare_results(f);
    EXPECT_THROW(evaluate_period_chain(f, 0, q, on, {0.0, 0.0}, queued, none, none), std::logic_error);
    EXPECT_THROW(evaluate_period_chain(f, 1, q, on, off, queued, none, none), std::logic_error);
    EXPECT_NO_THROW(evaluate_period_chain(f, 0, q, on, off, queued, none, none));
}

// ---- Facility measures ----------------------------------------------------------------------------

TEST(FacilityLos, UrbanAndRuralThresholds) {
    EXPECT_EQ(identify_facility_los(CityType::Rural, 6.5), LevelOfService::B);
    EXPECT_EQ(identify_facility_los(CityType::Urban, 6.5), LevelOfService::A);
    EXPECT_EQ(identify_facility_los(CityType::Urban, 45.0), LevelOfService::E);
    EXPECT_EQ(identify_facility_los(CityType::Rural, 39.01), LevelOfService::F);
    EXPECT_EQ(identify_facility_los(CityType::Rural, 22.0), LevelOfService::C);
}

// Two segments of 2640 ft (0.5 mi): 2 and 4 lanes; the second stands still.
FreewayFacility measured_facility(CityType city) {
    FreewayFacility f = basic_facility(2, {3000});
    f.city_type = city;
    f.heavy_vehicle_pct = 0.0;
    f.segments[0].length_ft = f.segments[1].length_ft = 2640.0;
    f.segments[0].lanes = 2;
    f.segments[1].lanes = 4;
    f.segments[1].ffs = 50.0;
    f.volume_served = {{3000.0}, {2000.0}};
    f.demand = {{3200.0}, {2400.0}};
    f.speed = {{50.0}, {0.0}};
    f.density_veh = {{6.0}, {7.0}};
    f.dc_ratio = {{0.9}, {1.0}};
    return f;
}

TEST(FacilityMeasures, OnePeriodByHand) {
    const auto m = calculate_period_performance(measured_facility(CityType::Urban), 0);
    // Space mean speed over the moving segment only (numerator and divisor alike).
    EXPECT_DOUBLE_EQ(m.space_mean_speed, 50.0);
    EXPECT_DOUBLE_EQ(m.avg_density_veh, (6.0 * 2 + 7.0 * 4) / 6.0);
    EXPECT_DOUBLE_EQ(m.avg_density_pc, m.avg_density_veh);
    EXPECT_DOUBLE_EQ(m.vmt_served, 0.5 * 3000 * 0.25 + 0.5 * 2000 * 0.25);
    EXPECT_DOUBLE_EQ(m.vmt_demand, 0.5 * 3200 * 0.25 + 0.5 * 2400 * 0.25);
    EXPECT_DOUBLE_EQ(m.vht, 0.5 / 50.0 * 3000 * 0.25);
    EXPECT_DOUBLE_EQ(m.vhd, (0.5 / 50.0 - 0.5 / 60.0) * 3000 * 0.25);
    EXPECT_EQ(m.los, LevelOfService::A);  // 6.67 pc/mi/ln; d/c of exactly 1 is not F
    EXPECT_EQ(calculate_period_performance(measured_facility(CityType::Rural), 0).los, LevelOfService::B);
    auto over = measured_facility(CityType::Urban);
    over.dc_ratio[1][0] = 1.0001;
    EXPECT_EQ(calculate_period_performance(over, 0).los, LevelOfService::F);
}

TEST(FacilityMeasures, OverallAveragesSkipStoppedCellsAndWeightByLaneLength) {
    const auto f = measured_facility(CityType::Urban);
    // The stopped segment adds neither flow nor time; counting its flow would give 83.3 mi/h.
    EXPECT_DOUBLE_EQ(overall_speed(f), 50.0);
    EXPECT_DOUBLE_EQ(overall_density_veh(f), (6.0 * 2 + 7.0 * 4) / 6.0);
}

// ---- Driver ---------------------------------------------------------------------------------------

TEST(RunAnalysis, UndersaturatedFacilityHasNoQueues) {
    auto f = basic_facility(3, {4000, 5000, 3000});
    run_analysis(f);
    EXPECT_FALSE(f.oversaturated);
    EXPECT_FALSE(f.first_oversat_period);
    ASSERT_EQ(f.facility_performance.size(), 3u);
    ASSERT_EQ(f.had_queue.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        ASSERT_EQ(f.had_queue[i].size(), 3u);
        for (std::size_t p = 0; p < 3; ++p) {
            EXPECT_FALSE(f.had_queue[i][p]);
            EXPECT_DOUBLE_EQ(f.queue_length_ft[i][p], 0.0);
            EXPECT_DOUBLE_EQ(f.on_ramp_queue[i][p], 0.0);
            EXPECT_EQ(f.volume_served[i][p], f.demand[i][p]);
        }
    }
    EXPECT_EQ(f.unserved_entry_veh, (std::vector<double>{0, 0, 0}));
    // 4000 veh/h on 3 lanes at f_HV 1/1.05: 1400 pc/h/ln, below the breakpoint: 60 mi/h.
    EXPECT_DOUBLE_EQ(f.speed[1][0], 60.0);
    EXPECT_DOUBLE_EQ(f.facility_performance[0].space_mean_speed, 60.0);
    EXPECT_NEAR(f.facility_performance[0].avg_density_pc, 4000.0 / 3 / 60 * 1.05, 1e-12);
    EXPECT_EQ(f.facility_performance[0].los, LevelOfService::C);  // 23.3 pc/mi/ln, Urban
}

TEST(RunAnalysis, DemandAtExactlyCapacityIsNotOversaturated) {
    auto f = basic_facility(2, {6900});
    f.heavy_vehicle_pct = 0.0;
    run_analysis(f);
    EXPECT_DOUBLE_EQ(f.dc_ratio[0][0], 1.0);
    EXPECT_FALSE(f.oversaturated);
    EXPECT_EQ(f.demand_based_los[0][0], std::nullopt);
}

// Four periods; periods 1 and 2 over capacity; period 3 would be undersaturated on its own.
FreewayFacility peak_facility() {
    auto f = basic_facility(4, {4000, 5500, 8000, 4000});
    f.segments[2].lanes = 2;  // a lane drop: 4600 / 1.05 veh/h
    return f;
}

TEST(RunAnalysis, PeriodsFromTheFirstOversaturatedOneGoThroughTheEngine) {
    auto f = peak_facility();
    run_analysis(f);
    ASSERT_TRUE(f.first_oversat_period);
    EXPECT_EQ(*f.first_oversat_period, 1u);  // 5500 > 4381 on the two-lane segment
    EXPECT_TRUE(f.oversaturated);
    // Period 0 from demand.
    for (std::size_t i = 0; i < 4; ++i) EXPECT_DOUBLE_EQ(f.volume_served[i][0], 4000.0);
    // The bottleneck serves at most its capacity and queues build upstream of it.
    const double bottleneck = 4600.0 / 1.05;
    EXPECT_LE(f.volume_served[2][1], bottleneck + 1e-9);
    EXPECT_TRUE(f.had_queue[1][2]);
    EXPECT_GT(f.queue_length_ft[1][2], 0.0);
    EXPECT_EQ(f.los[1][2], LevelOfService::F);
    EXPECT_EQ(f.facility_performance[2].los, LevelOfService::F);
    // Period 3 is evaluated by the engine too: the queue still discharges, at the reduced rate.
    EXPECT_LT(f.volume_served[2][3], bottleneck);
    EXPECT_GT(f.unserved_entry_veh[2], 0.0);
    // No segment runs faster than its free-flow speed.
    for (const auto& row : f.speed) {
        for (double s : row) EXPECT_LE(s, 60.0 + 1e-9);
    }
}

TEST(RunAnalysis, RunningTwiceGivesTheSameResults) {
    auto f = peak_facility();
    run_analysis(f);
    const auto once = f;
    run_analysis(f);
    EXPECT_EQ(f, once);
}

TEST(RunAnalysis, FailuresLeaveTheFacilityUnchanged) {
    auto f = peak_facility();
    run_analysis(f);
    auto bad = f;
    bad.mainline_demand.clear();
    const auto before = bad;
    EXPECT_THROW(run_analysis(bad), hcm::Error);
    EXPECT_EQ(bad, before);

    auto no_step = f;
    no_step.time_step_s = 0.0;
    const auto kept = no_step;
    EXPECT_EQ(error_of([&] { run_analysis(no_step); }),
              "time_step_s must be a number of seconds from 0.25 to 1800, got 0");
    EXPECT_EQ(no_step, kept);

    // Without oversaturation the time step is never used.
    auto calm = basic_facility(2, {3000});
    calm.time_step_s = -1.0;
    EXPECT_NO_THROW(run_analysis(calm));
}

TEST(RunAnalysis, ShorterTimeStepsGiveCloseResults) {
    auto coarse = peak_facility();
    auto fine = peak_facility();
    fine.time_step_s = 7.0;
    run_analysis(coarse);
    run_analysis(fine);
    EXPECT_NEAR(fine.volume_served[2][2], coarse.volume_served[2][2], 0.02 * coarse.volume_served[2][2]);
}

TEST(Measures, PeriodAndOverallGetters) {
    auto f = peak_facility();
    EXPECT_EQ(error_of([&] { (void)period_performance(f, 0); }), "run() must be called first");
    EXPECT_THROW((void)overall_speed(f), hcm::Error);
    run_analysis(f);
    EXPECT_EQ(&period_performance(f, 3), &f.facility_performance[3]);
    EXPECT_EQ(error_of([&] { (void)period_performance(f, 4); }),
              "period 4 is out of range: the facility has results for 4 analysis periods");
    // Overall density weights each cell by length x lanes.
    double num = 0, den = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        for (std::size_t p = 0; p < 4; ++p) {
            num += 1500.0 * f.segments[i].lanes * f.density_veh[i][p];
            den += 1500.0 * f.segments[i].lanes;
        }
    }
    EXPECT_NEAR(overall_density_veh(f), num / den, 1e-12);
    EXPECT_GT(overall_speed(f), 0.0);
    EXPECT_LE(overall_speed(f), 60.0);
    f.mainline_demand.push_back(100.0);  // results no longer match the periods
    EXPECT_THROW((void)overall_density_veh(f), hcm::Error);
}

}  // namespace
