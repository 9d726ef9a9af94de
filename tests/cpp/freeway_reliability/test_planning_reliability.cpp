#include <gtest/gtest.h>

#include <cmath>

#include "hcm/freeway_reliability/reliability.hpp"

using namespace hcm::freeway_reliability::reliability;

namespace {

TEST(PlanningReliability, NoDelayAtFreeFlow) {
    const PlanningReliability r = planning_reliability(60, 60, 2, 0);
    EXPECT_EQ(r.tti_mean, 1.0);
    EXPECT_EQ(r.tti_95, 1.0);
    EXPECT_EQ(r.pt_45, 0.0);
}

TEST(PlanningReliability, IncidentDelayRateAtCapacity) {
    // X = 1: IDR = 0.020 on two lanes, 0.014 on four; TTI_mean = 1 + 60 IDR at free flow.
    const PlanningReliability two = planning_reliability(60, 60, 2, 1.0);
    EXPECT_DOUBLE_EQ(two.tti_mean, 2.2);
    EXPECT_DOUBLE_EQ(two.tti_95, 1.0 + 3.67 * std::log(2.2));
    EXPECT_DOUBLE_EQ(two.pt_45, 1.0 - std::exp(-1.5115 * 1.2));
    EXPECT_DOUBLE_EQ(planning_reliability(60, 60, 4, 1.0).tti_mean, 1.84);
    // Recurring delay: 60 (1/50 - 1/60) = 0.2.
    EXPECT_DOUBLE_EQ(planning_reliability(60, 50, 3, 0.0).tti_mean, 1.2);
}

TEST(PlanningReliability, RatioAndLanesAreClamped) {
    auto same = [](PlanningReliability a, PlanningReliability b) {
        return a.tti_mean == b.tti_mean && a.tti_95 == b.tti_95 && a.pt_45 == b.pt_45;
    };
    EXPECT_TRUE(same(planning_reliability(65, 48, 3, 1.5), planning_reliability(65, 48, 3, 1.0)));
    EXPECT_TRUE(same(planning_reliability(65, 48, 3, NAN), planning_reliability(65, 48, 3, 1.0)));
    EXPECT_TRUE(same(planning_reliability(65, 48, 1, 0.9), planning_reliability(65, 48, 2, 0.9)));
    EXPECT_TRUE(same(planning_reliability(65, 48, 6, 0.9), planning_reliability(65, 48, 4, 0.9)));
    EXPECT_TRUE(std::isinf(planning_reliability(60, 0, 2, 0.5).tti_mean));
}

TEST(ShoulderLane, CapacityFactorsOfChapter37) {
    EXPECT_EQ(shoulder_lane_caf(1100, 2200, 2), 1.25);
    EXPECT_EQ(shoulder_lane_caf(1100, 0, 2), 1.0);
    EXPECT_EQ(shoulder_lane_caf(1100, -5, 2), 1.0);
    EXPECT_EQ(shoulder_lane_caf(1100, 2200, 0), 1.0);
    EXPECT_EQ(shoulder_lane_default_capacity_veh_h_ln(2200), 1100.0);
}

}  // namespace
