#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "../support/checks.hpp"
#include "../support/facilities.hpp"
#include "hcm/common/error.hpp"
#include "hcm/freeway_facilities/freeway_facilities.hpp"

using namespace hcm::freeway_facilities::freeway_facilities;
using namespace testing_support;

namespace {

FreewayFacility facility(std::vector<FacilitySegment> segments, std::vector<double> mainline) {
    FreewayFacility f;
    f.segments = std::move(segments);
    f.mainline_demand = std::move(mainline);
    return f;
}

std::string validation_message(const FreewayFacility& f) {
    return error_of([&] { validate(f); });
}

// ---- Validation ---------------------------------------------------------------------------------

struct ValidationCase {
    const char* name;
    FreewayFacility facility;
    const char* message;
};

class Validation : public ::testing::TestWithParam<ValidationCase> {};

TEST_P(Validation, ReportsTheFirstFailure) { EXPECT_EQ(validation_message(GetParam().facility), GetParam().message); }

FreewayFacility with_segment(FacilitySegment middle) {
    return facility({segment(SegmentType::Basic), middle, segment(SegmentType::Basic)}, {4000});
}

INSTANTIATE_TEST_SUITE_P(
    Facility, Validation,
    ::testing::Values(
        ValidationCase{"two_basic", facility({segment(SegmentType::Basic), segment(SegmentType::Basic)}, {4000}),
                       kNoError},
        ValidationCase{"no_segments", facility({}, {}), "facility has no segments"},
        ValidationCase{"no_periods", facility({segment(SegmentType::Basic)}, {}),
                       "no analysis periods (mainline_demand is empty)"},
        ValidationCase{"overlapping_end",
                       facility({segment(SegmentType::Basic), segment(SegmentType::OverlappingRamp)}, {4000}),
                       "first and last segments must be basic freeway segments (Chapter 10)"},
        ValidationCase{"merge_first", facility({segment(SegmentType::Merge), segment(SegmentType::Basic)}, {4000}),
                       "first and last segments must be basic freeway segments (Chapter 10)"},
        ValidationCase{"length_before_lanes", with_segment(segment(SegmentType::Merge, 0.0, 1)),
                       "segment 1 has non-positive length"},
        ValidationCase{"one_lane", with_segment(segment(SegmentType::Merge, 1000.0, 1)),
                       "segment 1 must have at least 2 lanes"},
        ValidationCase{"nan_length_passes", with_segment(segment(SegmentType::Merge, kNaN)), kNoError}),
    [](const auto& info) { return std::string(info.param.name); });

struct TimeStepCase {
    double value;
    bool accepted;
};
class TimeStep : public ::testing::TestWithParam<TimeStepCase> {};
TEST_P(TimeStep, RefusesUnusableSteps) {
    if (GetParam().accepted) {
        EXPECT_NO_THROW(validate_time_step(GetParam().value));
    } else {
        EXPECT_THROW(validate_time_step(GetParam().value), hcm::Error);
    }
}
INSTANTIATE_TEST_SUITE_P(Facility, TimeStep,
                         ::testing::Values(TimeStepCase{15, true}, TimeStepCase{0.25, true}, TimeStepCase{1800, true},
                                           TimeStepCase{0, false}, TimeStepCase{-15, false}, TimeStepCase{0.2, false},
                                           TimeStepCase{1800.5, false},
                                           TimeStepCase{kInf, false}, TimeStepCase{kNaN, false}));

TEST(TimeStep, MessageNamesTheValue) {
    EXPECT_EQ(error_of([] { validate_time_step(0.0); }),
              "time_step_s must be a number of seconds from 0.25 to 1800, got 0");
}

// ---- Demands ------------------------------------------------------------------------------------

// Segments: 0 Basic, 1 Merge, 2 Basic, 3 Diverge, 4 Weaving, 5 Basic; three periods.
FreewayFacility ramps_facility() {
    auto f = facility({segment(SegmentType::Basic), segment(SegmentType::Merge), segment(SegmentType::Basic),
                       segment(SegmentType::Diverge), segment(SegmentType::Weaving), segment(SegmentType::Basic)},
                      {4000, 4500, 3000});
    f.segments[1].on_ramp_demand = {500, 600};         // shorter than the periods: 0 in period 2
    f.segments[1].off_ramp_demand = {999, 999, 999};   // a merge has no off-ramp
    f.segments[3].off_ramp_demand = {300, 300, 300};
    f.segments[3].on_ramp_demand = {777, 777, 777};    // a diverge has no on-ramp
    f.segments[4].on_ramp_demand = {400, 400, 400};
    f.segments[4].off_ramp_demand = {200, 200, 200};
    f.segments[4].ramp_to_ramp_demand = {100, 100, 100};
    f.segments[4].daf = 0.5;
    f.segments[2].on_ramp_demand = {1000, 1000, 1000};  // a basic segment has no ramps
    return f;
}

TEST(Demands, RampsByNode) {
    const auto f = ramps_facility();
    const auto on = onrd_by_node(f.segments, 0);
    const auto off = offrd_by_node(f.segments, 0);
    EXPECT_EQ(on, (std::vector<double>{0, 500, 0, 0, 200, 0, 0}));
    EXPECT_EQ(off, (std::vector<double>{0, 0, 0, 0, 300, 100, 0}));
    EXPECT_EQ(onrd_by_node(f.segments, 2), (std::vector<double>{0, 0, 0, 0, 200, 0, 0}));
    EXPECT_EQ(onrd_by_node(f.segments, 7), (std::vector<double>(7, 0.0)));
}

TEST(Demands, BuildUpAlongTheFacility) {
    auto f = ramps_facility();
    compute_demands(f);
    ASSERT_EQ(f.demand.size(), 6u);
    // Period 0: the on-ramp joins at segment 1; the diverge's off-ramp leaves below segment 3;
    // the weave's halved on-ramp joins at 4 and its halved off-ramp leaves below it.
    const std::vector<double> p0{4000, 4500, 4500, 4500, 4400, 4300};
    const std::vector<double> p2{3000, 3000, 3000, 3000, 2900, 2800};
    for (std::size_t i = 0; i < 6; ++i) {
        ASSERT_EQ(f.demand[i].size(), 3u);
        EXPECT_DOUBLE_EQ(f.demand[i][0], p0[i]) << i;
        EXPECT_DOUBLE_EQ(f.demand[i][2], p2[i]) << i;
    }
    EXPECT_DOUBLE_EQ(f.demand[1][1], 5100);
}

TEST(Demands, AnOffRampTakesNoMoreThanArrives) {
    auto f = ramps_facility();
    f.mainline_demand = {200, 200, 200};  // the diverge's 300 veh/h off-ramp exceeds what arrives
    compute_demands(f);
    EXPECT_DOUBLE_EQ(f.demand[3][0], 700);  // 200 + the 500 veh/h on-ramp
    EXPECT_DOUBLE_EQ(f.demand[4][0], 600);  // 700 - 300 + the weave's 200
    f.mainline_demand = {-50, 0, 0};
    compute_demands(f);
    EXPECT_DOUBLE_EQ(f.demand[0][0], 0);
    EXPECT_DOUBLE_EQ(f.demand[1][0], 500);
    // Period 2 has no merge on-ramp: the diverge's 300 exceeds the weave's 200 joining at the
    // same node, and the weave's off-ramp below finds nothing to take.
    EXPECT_DOUBLE_EQ(f.demand[4][2], 0);
    EXPECT_DOUBLE_EQ(f.demand[5][2], 0);
}

TEST(Demands, DivergePercentages) {
    auto f = ramps_facility();
    compute_demands(f);
    const auto split = diverge_percentages(f, 0);
    ASSERT_EQ(split.size(), 7u);
    EXPECT_DOUBLE_EQ(split[0], 0.0);
    EXPECT_DOUBLE_EQ(split[4], 300.0 / 4500.0);
    EXPECT_DOUBLE_EQ(split[5], 100.0 / 4400.0);
    EXPECT_DOUBLE_EQ(split[2], 0.0);
    f.demand[3][0] = 0.0;  // no upstream demand
    EXPECT_DOUBLE_EQ(diverge_percentages(f, 0)[4], 0.0);
    f.demand[3][0] = 100.0;  // never more than the whole flow
    EXPECT_DOUBLE_EQ(diverge_percentages(f, 0)[4], 1.0);
}

TEST(Demands, WeavingVolumesScaleWithTheFlow) {
    auto f = ramps_facility();
    compute_demands(f);
    // Demand 4400 in period 0; ramps (daf 0.5): on 200, off 100, ramp-to-ramp 50.
    const auto full = determine_weaving_volumes(f, 4, 0, 4400);
    EXPECT_DOUBLE_EQ(full.v_rr, 50);
    EXPECT_DOUBLE_EQ(full.v_rf, 150);
    EXPECT_DOUBLE_EQ(full.v_fr, 50);
    EXPECT_DOUBLE_EQ(full.v_ff, 4150);
    const auto half = determine_weaving_volumes(f, 4, 0, 2200);
    EXPECT_DOUBLE_EQ(half.v_rf, 75);
    EXPECT_DOUBLE_EQ(half.v_ff, 2075);
}

// ---- Capacities ---------------------------------------------------------------------------------

TEST(Capacity, DefaultBasicSegment) {
    auto f = facility({segment(SegmentType::Basic), segment(SegmentType::Basic)}, {4000});
    EXPECT_DOUBLE_EQ(calculate_segment_capacity(f, 0, 0), 2300.0 * 3 / 1.05);
    f.terrain = Terrain::Rolling;
    EXPECT_DOUBLE_EQ(calculate_segment_capacity(f, 0, 0), 2300.0 * 3 / 1.1);
    f.terrain = Terrain::Mountainous;
    EXPECT_DOUBLE_EQ(calculate_segment_capacity(f, 0, 0), 2300.0 * 3 / 1.1);
}

struct FfsCapacityCase {
    double ffs;
    double basic_per_lane;
    double ramp_per_lane;
};
class CapacityByFfs : public ::testing::TestWithParam<FfsCapacityCase> {};
TEST_P(CapacityByFfs, BasicFormulaAndMergeDivergeTable) {
    auto f = facility({segment(SegmentType::Basic), segment(SegmentType::Merge), segment(SegmentType::Diverge),
                       segment(SegmentType::OverlappingRamp), segment(SegmentType::Basic)},
                      {3000});
    f.heavy_vehicle_pct = 0.0;
    f.ffs = GetParam().ffs;
    EXPECT_DOUBLE_EQ(calculate_segment_capacity(f, 0, 0), GetParam().basic_per_lane * 3);
    EXPECT_DOUBLE_EQ(calculate_segment_capacity(f, 3, 0), GetParam().basic_per_lane * 3);
    EXPECT_DOUBLE_EQ(calculate_segment_capacity(f, 1, 0), GetParam().ramp_per_lane * 3);
    EXPECT_DOUBLE_EQ(calculate_segment_capacity(f, 2, 0), GetParam().ramp_per_lane * 3);
}
INSTANTIATE_TEST_SUITE_P(Facility, CapacityByFfs,
                         ::testing::Values(FfsCapacityCase{75, 2400, 2400}, FfsCapacityCase{70, 2400, 2400},
                                           FfsCapacityCase{65, 2350, 2350}, FfsCapacityCase{64.9, 2349, 2300},
                                           FfsCapacityCase{60, 2300, 2300}, FfsCapacityCase{55, 2250, 2250},
                                           FfsCapacityCase{45, 2150, 2250}));

TEST(Capacity, OverrideReachesBasicAndWeavingButNotMergeTables) {
    auto f = facility({segment(SegmentType::Basic), segment(SegmentType::Merge), segment(SegmentType::Weaving, 5000.0),
                       segment(SegmentType::Basic)},
                      {3000});
    f.heavy_vehicle_pct = 0.0;
    f.c_ifl_override = 2000.0;
    compute_demands(f);
    EXPECT_DOUBLE_EQ(calculate_segment_capacity(f, 0, 0), 6000.0);
    EXPECT_DOUBLE_EQ(calculate_segment_capacity(f, 1, 0), 2300.0 * 3);
    // A weave without ramp flows has VR 0: L_MAX = 5728 - 3132 = 2596 <= 5000 ft, basic capacity.
    EXPECT_DOUBLE_EQ(calculate_segment_capacity(f, 2, 0), 6000.0);
    // The override is still the base of a Merge segment's work-zone ratio: one lane open of three
    // gives 1859 / 0.866 pc/h/ln against 2500, not against the 2300 of the formula.
    f.c_ifl_override = 2500.0;
    f.segments[1].work_zone = WorkZone{};
    f.segments[1].work_zone->open_lanes = 1;
    const double c_wz = (2093 - 154 * 2.0 + 9 * 6.0) / (1 - 0.134);
    EXPECT_DOUBLE_EQ(calculate_segment_capacity(f, 1, 0), 2300.0 * 3 * c_wz / 2500.0);
}

TEST(Capacity, WeavingSegment) {
    auto f = facility({segment(SegmentType::Basic), segment(SegmentType::Weaving, 1500.0, 4), segment(SegmentType::Basic)},
                      {4000});
    auto& w = f.segments[1];
    w.on_ramp_demand = {1000};
    w.off_ramp_demand = {800};
    w.ramp_to_ramp_demand = {100};
    compute_demands(f);  // weave demand 5000
    // Movements (veh/h): rr 100, rf 900, fr 700, ff 3300; f_W = 1/1.05, phf 1.
    const double f_w = 1.0 / 1.05;
    const double v = 5000.0 / f_w;
    const double vr = 1600.0 / f_w / v;
    const double l_max = 5728.0 * std::pow(1.0 + vr, 1.6) - 1566.0 * 2;
    ASSERT_GT(l_max, 1500.0);
    const double c_iwl = 2300.0 - 438.2 * std::pow(1.0 + vr, 1.6) + 0.0765 * 1500.0 + 119.8 * 2;
    const double c_w1 = f_w * c_iwl * 4;
    const double c_w2 = f_w * 2400.0 / vr;
    EXPECT_NEAR(calculate_segment_capacity(f, 1, 0), std::min(c_w1, c_w2), 1e-9);
    w.num_weaving_lanes = 3;  // c_W2 with 3500 and a shorter L_MAX
    const double l_max3 = 5728.0 * std::pow(1.0 + vr, 1.6) - 1566.0 * 3;
    ASSERT_GT(l_max3, 1500.0);
    const double c_w1_3 = f_w * (c_iwl + 119.8) * 4;
    EXPECT_NEAR(calculate_segment_capacity(f, 1, 0), std::min(c_w1_3, f_w * 3500.0 / vr), 1e-9);
    w.short_length_ft = 9000.0;  // at least L_MAX: basic capacity
    w.num_weaving_lanes = 2;
    EXPECT_DOUBLE_EQ(calculate_segment_capacity(f, 1, 0), 2300.0 * 4 / 1.05);
}

TEST(Capacity, SchedulesReplaceTheScalarFactorWhereTheyReach) {
    auto f = facility({segment(SegmentType::Basic), segment(SegmentType::Basic)}, {1000, 1000, 1000, 1000});
    f.heavy_vehicle_pct = 0.0;
    f.segments[0].caf = 0.9;
    f.segments[0].caf_schedule = std::vector<double>{0.8, 0.7};
    f.segments[0].saf_schedule = std::vector<double>{0.5};
    compute_demands(f);
    compute_capacities(f);
    EXPECT_DOUBLE_EQ(f.capacity[0][0], 0.8 * 6900);
    EXPECT_DOUBLE_EQ(f.capacity[0][1], 0.7 * 6900);
    EXPECT_DOUBLE_EQ(f.capacity[0][2], 0.9 * 6900);
    EXPECT_DOUBLE_EQ(f.capacity[0][3], 0.9 * 6900);
    EXPECT_DOUBLE_EQ(period_saf(f, f.segments[0], 0), 0.5);
    EXPECT_DOUBLE_EQ(period_saf(f, f.segments[0], 1), 1.0);
}

// ---- Work zones -----------------------------------------------------------------------------------

struct SeverityCase {
    std::uint32_t total;
    std::uint32_t open;
    double index;
};
class WorkZoneSeverity : public ::testing::TestWithParam<SeverityCase> {};
TEST_P(WorkZoneSeverity, IndexIsLimitedToTwo) {
    WorkZone z;
    z.total_lanes = GetParam().total;
    z.open_lanes = GetParam().open;
    EXPECT_DOUBLE_EQ(work_zone_severity_index(z), GetParam().index);
}
INSTANTIATE_TEST_SUITE_P(Facility, WorkZoneSeverity,
                         ::testing::Values(SeverityCase{3, 2, 0.75}, SeverityCase{2, 1, 2.0}, SeverityCase{4, 2, 1.0},
                                           SeverityCase{3, 0, 2.0}, SeverityCase{0, 2, 2.0},
                                           SeverityCase{3, 1, 2.0}));

TEST(WorkZone, CapacityAndSpeedFactors) {
    WorkZone z;  // 3 lanes, 2 open: index 0.75
    const double qdr = 2093 - 154 * 0.75 + 9 * 6.0;
    EXPECT_DOUBLE_EQ(work_zone_queue_discharge_rate(z), qdr);
    EXPECT_DOUBLE_EQ(work_zone_capacity(z), qdr / (1 - 0.134));
    const double ffs = 9.95 + 33.49 * 1.0 + 0.53 * 55 - 5.6 * 0.75 - 8.7 * 1.0;
    EXPECT_DOUBLE_EQ(work_zone_free_flow_speed(z), ffs);
    z.speed_ratio = 0.8;  // counts as 1
    EXPECT_DOUBLE_EQ(work_zone_free_flow_speed(z), ffs);
    z.speed_ratio = 1.5;  // counts as 1.2
    EXPECT_DOUBLE_EQ(work_zone_free_flow_speed(z), ffs + 33.49 * 0.2);

    z.speed_ratio = 1.0;
    z.soft_barrier = true;
    z.rural = true;
    z.night = true;
    EXPECT_DOUBLE_EQ(work_zone_queue_discharge_rate(z), qdr - 194 - 179 - 59);
    EXPECT_DOUBLE_EQ(work_zone_free_flow_speed(z), ffs - 3.84 - 1.71);

    // The default zone's capacity (2346 pc/h/ln) is above the segment's 2300: no reduction.
    auto f = facility({segment(SegmentType::Basic), segment(SegmentType::Basic)}, {1000, 1000});
    f.segments[0].work_zone = WorkZone{};
    f.segments[0].caf = 0.95;
    EXPECT_DOUBLE_EQ(period_caf(f, f.segments[0], 1), 0.95);
    EXPECT_DOUBLE_EQ(period_saf(f, f.segments[0], 1), ffs / 60.0);
    // One lane open of three: index 2, 1839 / 0.866 pc/h/ln.
    f.segments[0].work_zone->open_lanes = 1;
    const double c_wz = (2093 - 154 * 2.0 + 9 * 6.0) / (1 - 0.134);
    EXPECT_DOUBLE_EQ(period_caf(f, f.segments[0], 1), 0.95 * c_wz / 2300.0);
    EXPECT_DOUBLE_EQ(period_saf(f, f.segments[0], 1), (9.95 + 33.49 + 0.53 * 55 - 5.6 * 2 - 8.7) / 60.0);
    f.segments[0].ffs = 40.0;  // work-zone speed above the segment's: no speed reduction
    EXPECT_DOUBLE_EQ(period_saf(f, f.segments[0], 1), 1.0);
}

// ---- Copies ---------------------------------------------------------------------------------------

TEST(Clone, SharesNothingWithItsSource) {
    auto f = ramps_facility();
    f.segments[1].work_zone = WorkZone{};
    f.segments[1].caf_schedule = std::vector<double>{0.9};
    compute_demands(f);
    const auto before = f;
    auto copy = clone(f);
    EXPECT_EQ(copy, f);
    for (double& d : copy.segments[1].on_ramp_demand) d *= 2.0;
    copy.segments[1].work_zone->open_lanes = 1;
    (*copy.segments[1].caf_schedule)[0] = 0.5;
    copy.demand[0][0] = -1.0;
    EXPECT_EQ(f, before);
}

}  // namespace
