#include <gtest/gtest.h>

#include <cmath>

#include "../support/facilities.hpp"
#include "hcm/freeway_facilities/freeway_facilities.hpp"
#include "hcm/freeway_facilities/segment_procedures.hpp"

using namespace hcm::freeway_facilities::freeway_facilities;
using testing_support::segment;

namespace {

FreewayFacility ramps_facility() {
    FreewayFacility f;
    f.segments = {segment(SegmentType::Basic), segment(SegmentType::Merge), segment(SegmentType::OverlappingRamp),
                  segment(SegmentType::Diverge), segment(SegmentType::Weaving, 2000.0, 4),
                  segment(SegmentType::Basic)};
    f.segments[1].on_ramp_demand = {600};
    f.segments[1].ramp_ffs = 45.0;
    f.segments[1].accel_lane_ft = 800.0;
    f.segments[3].off_ramp_demand = {400};
    f.segments[3].decel_lane_ft = 300.0;
    f.segments[4].on_ramp_demand = {500};
    f.segments[4].off_ramp_demand = {450};
    f.segments[4].ramp_to_ramp_demand = {100};
    f.segments[4].short_length_ft = 1800.0;
    f.segments[4].lc_rf = 2;
    f.mainline_demand = {3000};
    f.phf = 0.95;
    f.terrain = Terrain::Rolling;
    f.interchange_density = 0.8;
    compute_demands(f);
    return f;
}

TEST(BuildWeave, FieldsFromTheFacilitySegmentAndPeriod) {
    const auto f = ramps_facility();
    // Weave demand 3000 + 600 - 400 + 500 = 3700; half of it for the flow 1850.
    const auto w = build_weave(f, 4, 0, 1850.0);
    EXPECT_EQ(w.version, hcm::common::version::HcmVersion::Hcm7);
    EXPECT_EQ(w.weaving_type, hcm::weaving::weaving::WeavingType::OneSided);
    EXPECT_EQ(w.facility_type, hcm::weaving::weaving::FacilityType::Freeway);
    EXPECT_EQ(w.terrain, Terrain::Rolling);
    EXPECT_DOUBLE_EQ(w.length_short, 1800.0);
    EXPECT_EQ(w.num_lanes, 4u);
    EXPECT_EQ(w.num_weaving_lanes, 2u);
    EXPECT_EQ(w.lc_rf, 2u);
    EXPECT_EQ(w.lc_fr, 1u);
    EXPECT_EQ(w.lc_rr, 0u);
    EXPECT_EQ(w.nw_rf, 1u);
    EXPECT_EQ(w.nw_rr, 0u);
    EXPECT_DOUBLE_EQ(w.v_rr, 50.0);
    EXPECT_DOUBLE_EQ(w.v_rf, 200.0);
    EXPECT_DOUBLE_EQ(w.v_fr, 175.0);
    EXPECT_DOUBLE_EQ(w.v_ff, 1850.0 - 425.0);
    EXPECT_DOUBLE_EQ(w.phf, 0.95);
    EXPECT_DOUBLE_EQ(w.interchange_density, 0.8);
    EXPECT_DOUBLE_EQ(w.basic_freeway_capacity, 2300.0);
    EXPECT_FALSE(w.speed_avg || w.los || w.is_weaving);
    auto g = f;
    g.interchange_density.reset();
    g.total_ramp_density = 1.7;
    EXPECT_DOUBLE_EQ(build_weave(g, 4, 0, 1850.0).interchange_density, 1.7);
    EXPECT_THROW((void)build_weave(f, 9, 0, 1.0), std::out_of_range);
    EXPECT_THROW((void)build_weave(f, 4, 3, 1.0), std::out_of_range);
}

TEST(BuildRamp, OneLaneRightSideRampWithoutNeighbours) {
    auto f = ramps_facility();
    f.segments[1].caf_schedule = std::vector<double>{0.9};
    const auto merge = build_ramp(f, 1, 0, 3000.0, 600.0);
    EXPECT_EQ(merge.ramp_type, hcm::merge_diverge::RampType::OnRamp);
    EXPECT_EQ(merge.ramp_side, hcm::merge_diverge::RampSide::Right);
    EXPECT_EQ(merge.ramp_lanes, hcm::merge_diverge::RampLanes::One);
    EXPECT_EQ(merge.freeway_lanes, 3u);
    EXPECT_DOUBLE_EQ(merge.freeway_ffs, 60.0);
    EXPECT_DOUBLE_EQ(merge.ramp_ffs, 45.0);
    EXPECT_EQ(merge.accel_lane_length, 800.0);
    EXPECT_FALSE(merge.accel_lane_length2);
    EXPECT_DOUBLE_EQ(merge.freeway_demand, 3000.0);
    EXPECT_DOUBLE_EQ(merge.ramp_demand, 600.0);
    EXPECT_EQ(merge.terrain, hcm::merge_diverge::Terrain::Rolling);
    EXPECT_EQ(merge.adjacent_upstream, hcm::merge_diverge::AdjacentRamp::None);
    EXPECT_EQ(merge.adjacent_downstream, hcm::merge_diverge::AdjacentRamp::None);
    EXPECT_FALSE(merge.ramp_heavy_vehicle_pct);
    EXPECT_DOUBLE_EQ(merge.caf, 0.9);
    EXPECT_FALSE(merge.speed_avg || merge.density || merge.los);
    const auto diverge = build_ramp(f, 3, 0, 3600.0, 400.0);
    EXPECT_EQ(diverge.ramp_type, hcm::merge_diverge::RampType::OffRamp);
    EXPECT_EQ(diverge.decel_lane_length, 300.0);
}

TEST(EngineEval, RampAndWeavingSegmentsUseTheirProcedures) {
    auto f = ramps_facility();
    compute_capacities(f);
    const auto merge = engine_eval(f, 1, 0, 3600.0, 600.0, 0.0);
    auto r = build_ramp(f, 1, 0, 3000.0, 600.0);
    r.run_analysis();
    ASSERT_TRUE(merge.ramp_density_pc);
    EXPECT_DOUBLE_EQ(*merge.ramp_density_pc, *r.density);
    EXPECT_DOUBLE_EQ(merge.speed, std::min(*r.speed_avg, basic_segment_speed(f, 1, 0, 3600.0)));
    // A merge whose ramp flow exceeds the segment flow is evaluated with no freeway flow.
    EXPECT_DOUBLE_EQ(*engine_eval(f, 1, 0, 500.0, 600.0, 0.0).ramp_density_pc,
                     *[&] { auto x = build_ramp(f, 1, 0, 0.0, 600.0); x.run_analysis(); return x.density; }());

    const auto weave = engine_eval(f, 4, 0, 3700.0, 500.0, 450.0);
    auto w = build_weave(f, 4, 0, 3700.0);
    w.run_analysis();
    ASSERT_TRUE(w.is_weaving && *w.is_weaving);
    EXPECT_DOUBLE_EQ(weave.speed, *w.speed_avg);
    EXPECT_FALSE(weave.ramp_density_pc);
    // At least L_MAX long: not a weave, the basic curve applies.
    f.segments[4].short_length_ft = 20000.0;
    EXPECT_DOUBLE_EQ(engine_eval(f, 4, 0, 3700.0, 500.0, 450.0).speed, basic_segment_speed(f, 4, 0, 3700.0));
}

TEST(PeriodChain, OverlappingRampTakesTheSlowerOfItsNeighbours) {
    auto f = ramps_facility();
    run_analysis(f);
    const double s2 = f.speed[2][0];
    EXPECT_LE(s2, f.speed[1][0]);
    EXPECT_LE(s2, engine_eval(f, 3, 0, f.demand[3][0], 0.0, 400.0).speed);
    EXPECT_LE(s2, basic_segment_speed(f, 2, 0, f.demand[2][0]));
    // Merge and diverge LOS come from the ramp influence-area density.
    auto r = build_ramp(f, 1, 0, 3000.0, 600.0);
    r.run_analysis();
    EXPECT_EQ(f.los[1][0], identify_segment_los(SegmentType::Merge, false, r.density, 0.0));
}

// Basic-merge-basic at 60 mi/h with a 1500 veh/h on-ramp and 6000, 7000, 3000 veh/h entering: in
// the third period the first segment discharges its queue above its background density, and
// flow / lanes / density alone would give it about 77 mi/h.
TEST(RunAnalysis, DischargingQueueNeverRunsAboveFreeFlowSpeed) {
    FreewayFacility f;
    f.segments = {segment(SegmentType::Basic), segment(SegmentType::Merge), segment(SegmentType::Basic)};
    f.segments[1].on_ramp_demand = {1500, 1500, 1500};
    f.mainline_demand = {6000, 7000, 3000};
    run_analysis(f);
    ASSERT_TRUE(f.oversaturated);
    ASSERT_TRUE(f.had_queue[0][2]);
    const double uncapped = f.volume_served[0][2] / 3.0 / f.density_veh[0][2];
    EXPECT_GT(uncapped, 70.0);
    EXPECT_DOUBLE_EQ(f.speed[0][2], 60.0);
    for (const auto& row : f.speed) {
        for (double s : row) EXPECT_LE(s, 60.0);
    }
}

// An on-ramp queue builds while the merge is congested and drains afterwards.
TEST(RunAnalysis, OnRampQueueBuildsAndDrains) {
    FreewayFacility f;
    f.segments = {segment(SegmentType::Basic), segment(SegmentType::Merge), segment(SegmentType::Basic, 1500.0, 2),
                  segment(SegmentType::Basic)};
    f.segments[1].on_ramp_demand = {800, 800, 800, 800, 800, 800};
    f.segments[1].ramp_metering = std::vector<double>{600, 600};
    f.mainline_demand = {3000, 3800, 3800, 2500, 2000, 2000};
    run_analysis(f);
    ASSERT_TRUE(f.oversaturated);
    EXPECT_GT(f.on_ramp_queue[1][1], 0.0);
    EXPECT_DOUBLE_EQ(f.on_ramp_queue[1][5], 0.0);
    for (std::size_t i = 0; i < f.segments.size(); ++i) {
        EXPECT_DOUBLE_EQ(f.on_ramp_queue[i][0], 0.0);
    }
}

}  // namespace
