#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>

#include "../support/checks.hpp"
#include "hcm/urban_segments/bicycle.hpp"
#include "json/jsonio.hpp"

using namespace hcm::urban_segments::bicycle;
using namespace testing_support;
using L = LevelOfService;

namespace {

// All defaults: 1,320 ft at 15 mi/h, a 12-ft outside lane without traffic (W_v = 24), pavement
// 3.5 and no access points (F_c = 0.035 x -20); the cube-root argument is negative.
TEST(UrbanBicycle, DefaultSegment) {
    const BicycleAnalysis r = analyze(BicycleSegment{});
    EXPECT_EQ(r.running_time_s, 60.0);
    EXPECT_EQ(r.travel_speed, 15.0);
    EXPECT_EQ(r.effective_width, 24.0);
    EXPECT_DOUBLE_EQ(r.f_w, -2.88);
    EXPECT_EQ(r.f_v, 0.0);
    EXPECT_NEAR(r.f_s, 0.674404, 1e-6);
    EXPECT_NEAR(r.f_p, 0.576816, 1e-6);
    EXPECT_NEAR(r.link_score, -0.86878, 1e-5);
    EXPECT_EQ(r.link_los, L::A);
    EXPECT_DOUBLE_EQ(r.f_c, -0.7);
    EXPECT_NEAR(r.segment_score, -0.301585, 1e-6);
    EXPECT_EQ(r.segment_los, L::A);
}

// 600 veh/h with 5 % heavy vehicles beside a 5-ft bicycle lane, four access points, 15 s of
// bicycle delay at an intersection scoring 3.
TEST(UrbanBicycle, BusySegmentWithBoundaryDelay) {
    const BicycleAnalysis r =
        analyze({.midseg_flow_rate = 600.0, .pct_heavy_vehicles = 5.0, .width_bike_lane_ft = 5.0,
                 .num_access_points_right = 4.0, .bicycle_control_delay = 15.0, .bicycle_los_score_intersection = 3.0});
    EXPECT_EQ(r.effective_width, 22.0);
    EXPECT_NEAR(r.f_v, 2.188966, 1e-6);  // 0.507 ln 75
    EXPECT_NEAR(r.f_s, 1.556094, 1e-6);  // h = 1.519
    EXPECT_NEAR(r.link_score, 2.661876, 1e-6);
    EXPECT_EQ(r.link_los, L::C);
    EXPECT_NEAR(r.f_c, -0.14, 1e-15);
    EXPECT_DOUBLE_EQ(r.travel_speed, 12.0);
    EXPECT_NEAR(r.segment_score, 2.845887, 1e-6);
    EXPECT_EQ(r.segment_los, L::C);
}

using HeavyCase = std::tuple<double, double, double>;  // v_m, P_HV, h
class HeavyVehicleTerm : public ::testing::TestWithParam<HeavyCase> {};

TEST_P(HeavyVehicleTerm, CappedAtFiftyPercentOnlyForLowFlows) {
    const auto [flow, pct, h] = GetParam();
    EXPECT_NEAR(heavy_vehicle_term(flow, pct), h, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(UrbanBicycle, HeavyVehicleTerm,
                         ::testing::Values(HeavyCase{100.0, 60.0, 6.19}, HeavyCase{600.0, 60.0, 7.228},
                                           HeavyCase{100.0, 50.0, 6.19}, HeavyCase{600.0, 5.0, 1.519},
                                           HeavyCase{0.0, 0.0, 1.0}));

using WidthCase = std::tuple<BicycleSegment, double>;
class BicycleEffectiveWidth : public ::testing::TestWithParam<WidthCase> {};

TEST_P(BicycleEffectiveWidth, ByParkingSideWidthAndVolume) {
    const auto& [segment, width] = GetParam();
    EXPECT_NEAR(effective_width(segment), width, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(
    UrbanBicycle, BicycleEffectiveWidth,
    ::testing::Values(
        // An empty parking lane counts in W_t (20, doubled at low volume) and in the side width.
        WidthCase{{.width_parking_lane_ft = 8.0}, 48.0},
        WidthCase{{.prop_parking_occupied = 0.5, .width_parking_lane_ft = 8.0}, 24.0 + 8.0 - 10.0},
        WidthCase{{.width_bike_lane_ft = 4.0}, 32.0 + 4.0},  // a side width of exactly 4 ft adds
        WidthCase{{.width_bike_lane_ft = 3.9}, 31.8},
        WidthCase{{.width_outside_shoulder_ft = 5.0, .curb_present = true}, 31.0},  // 3.5 ft of shoulder
        WidthCase{{.median_divided = true}, 12.0},
        WidthCase{{.prop_parking_occupied = 1.0, .width_outside_lane_ft = 4.0}, 0.0}));

TEST(UrbanBicycle, SlowTrafficAndPavement) {
    // Running speeds below 21 mi/h count as 21, where the logarithm is 0; pavement 5 gives 7.066 / 25.
    const LinkScore link = link_score({.pavement_condition = 5.0, .motor_running_speed = 15.0}, 24.0);
    EXPECT_NEAR(link.f_s, 0.199 * 0.8103, 1e-15);
    EXPECT_NEAR(link.f_p, 0.28264, 1e-15);
    // 100 veh/h on two lanes: 0.507 ln(100 / 8).
    EXPECT_NEAR(link_score({.midseg_flow_rate = 100.0}, 24.0).f_v, 0.507 * std::log(12.5), 1e-15);
}

// A segment of no length leaves the score undefined: LOS F, written as null.
TEST(UrbanBicycle, ZeroLengthIsF) {
    const BicycleAnalysis r = analyze({.length_ft = 0.0});
    EXPECT_TRUE(std::isnan(r.segment_score));
    EXPECT_EQ(r.segment_los, L::F);
    EXPECT_NE(analyze_bicycle_segment("[0]").find(R"("segment_score":null,"segment_los":"F"})"), std::string::npos);
}

TEST(UrbanBicycle, JsonDocument) {
    const auto s = jsonio::read_document<BicycleSegment>(R"([2640, 3])");
    EXPECT_EQ(s.length_ft, 2640.0);
    EXPECT_EQ(s.num_through_lanes, 3.0);
    EXPECT_EQ(s.bicycle_running_speed, 15.0);
    EXPECT_EQ(jsonio::read_document<BicycleSegment>(R"({"lanes": 1, "median_divided": true})").median_divided, true);
}

}  // namespace
