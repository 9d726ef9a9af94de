#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>

#include "../support/checks.hpp"
#include "hcm/urban_segments/pedestrian.hpp"
#include "json/jsonio.hpp"

using namespace hcm::urban_segments::pedestrian;
using namespace testing_support;
using L = LevelOfService;

namespace {

// All defaults: a 5-ft sidewalk without pedestrians beside a 12-ft outside lane at 30 mi/h.
// W_E = 5 - 1.5 = 3.5; W_v = 12 x 2 = 24 and W_aA = 5 (f_sw = 4.5) give ln 46.5 in F_w;
// d_1 = 0.084 x 880 / 4.4 = 16.8 s, but the uncontrolled crossing's 0 s makes I_x = 0.
TEST(UrbanPedestrian, DefaultSegment) {
    const PedestrianAnalysis r = analyze(PedestrianSegment{});
    EXPECT_EQ(r.effective_sidewalk_width, 3.5);
    EXPECT_EQ(r.flow_per_width, 0.0);
    EXPECT_EQ(r.walking_speed, 4.4);
    EXPECT_EQ(r.pedestrian_space, kInf);
    EXPECT_DOUBLE_EQ(r.travel_speed, 4.4);
    EXPECT_NEAR(r.f_w, -4.71331, 1e-5);
    EXPECT_EQ(r.f_v, 0.0);
    EXPECT_DOUBLE_EQ(r.f_s, 0.36);
    EXPECT_NEAR(r.link_score, 1.69349, 1e-5);
    EXPECT_EQ(r.link_los, L::B);
    EXPECT_EQ(r.crossing_score, 0.0);
    EXPECT_NEAR(r.segment_score, 1.10077, 1e-5);  // d_pp = 0: the blended link score
    EXPECT_EQ(r.segment_los, L::A);
    EXPECT_NEAR(crossing_delay_score(16.8), 2.18, 1e-12);
}

// 600 p/h on a 6.5-ft sidewalk: W_E = 5, v_p = 2, S_p = 4.4 (1 - 0.00312), A_p = 60 S_p / 2;
// the boundary delay of 100 s at a score of 3 pulls the segment score up.
TEST(UrbanPedestrian, PedestrianFlowAndBoundaryDelay) {
    PedestrianSegment s{.ped_flow_rate = 600.0, .width_sidewalk_ft = 6.5};
    PedestrianAnalysis r = analyze(s);
    EXPECT_EQ(r.effective_sidewalk_width, 5.0);
    EXPECT_EQ(r.flow_per_width, 2.0);
    EXPECT_NEAR(r.walking_speed, 4.386272, 1e-12);
    EXPECT_NEAR(r.pedestrian_space, 131.58816, 1e-9);
    EXPECT_EQ(r.segment_los, L::A);

    s = PedestrianSegment{.ped_delay_parallel = 100.0, .ped_los_score_intersection = 3.0};
    r = analyze(s);
    EXPECT_DOUBLE_EQ(r.travel_speed, 1320.0 / 400.0);  // walking 300 s plus 100 s
    EXPECT_NEAR(r.segment_score, 1.9789748088, 1e-9);  // cbrt((300 x 1.10077^3 + 100 x 27) / 400)
    EXPECT_EQ(r.segment_los, L::A);
}

// No effective width: the flow per width is infinite even without pedestrians, the speed half
// its free-flow value, the space 0, and the space test makes the segment F whatever its score.
TEST(UrbanPedestrian, NoEffectiveWidthIsF) {
    for (const double pedestrians : {0.0, 300.0}) {
        const PedestrianAnalysis r =
            analyze(PedestrianSegment{.ped_flow_rate = pedestrians, .fixed_object_width_inside_ft = 4.0});
        EXPECT_EQ(r.effective_sidewalk_width, 0.0);
        EXPECT_EQ(r.flow_per_width, kInf);
        EXPECT_EQ(r.walking_speed, 2.2);
        EXPECT_EQ(r.pedestrian_space, 0.0);
        EXPECT_LT(r.segment_score, 2.0);
        EXPECT_EQ(r.segment_los, L::F);
    }
}

// The argument of ln in F_w = -1.2276 ln(W_v + H + 50 p_pk + W_buf f_b + W_aA f_sw), worked by hand.
using WidthCase = std::tuple<PedestrianSegment, double>;
class PedestrianCrossSection : public ::testing::TestWithParam<WidthCase> {};

TEST_P(PedestrianCrossSection, LogArgument) {
    const auto& [segment, argument] = GetParam();
    EXPECT_NEAR(link_score(segment).f_w, -1.2276 * std::log(argument), 1e-12);
}

INSTANTIATE_TEST_SUITE_P(
    UrbanPedestrian, PedestrianCrossSection,
    ::testing::Values(
        WidthCase{PedestrianSegment{}, 24.0 + 22.5},
        WidthCase{{.width_sidewalk_ft = 6.5}, 24.0 + 6.5 * 4.05},
        WidthCase{{.width_sidewalk_ft = 14.0}, 24.0 + 10.0 * 3.0},  // W_aA held at 10 ft
        // 12 ft of side width: H = 0.5 x 12 above 25 % parking, else capped at 5.
        WidthCase{{.prop_parking_occupied = 0.3, .width_outside_shoulder_ft = 4.0, .width_parking_lane_ft = 8.0},
                  24.0 + 6.0 + 15.0 + 22.5},
        WidthCase{{.prop_parking_occupied = 0.2, .width_outside_shoulder_ft = 4.0, .width_parking_lane_ft = 8.0},
                  24.0 + 5.0 + 10.0 + 22.5},
        // A curb takes 1.5 ft of a 4-ft shoulder; any side width keeps W_v = W_t.
        WidthCase{{.width_outside_shoulder_ft = 4.0, .curb_present = true}, 14.5 + 1.25 + 22.5},
        WidthCase{{.width_buffer_ft = 2.0, .continuous_barrier = true}, 24.0 + 2.0 * 5.37 + 3.0 * 5.1},
        WidthCase{{.midseg_flow_rate = 100.0}, 12.0 * 1.5 + 22.5},
        WidthCase{{.midseg_flow_rate = 161.0}, 12.0 + 22.5}));

TEST(UrbanPedestrian, VolumeAndSpeedFactors) {
    const LinkScore link = link_score({.num_through_lanes = 3.0, .midseg_flow_rate = 1200.0, .motor_running_speed = 40.0});
    EXPECT_NEAR(link.f_v, 0.0091 * 1200.0 / 12.0, 1e-15);
    EXPECT_NEAR(link.f_s, 0.64, 1e-15);
}

using DelayCase = std::tuple<double, double>;
class CrossingDelayTable : public ::testing::TestWithParam<DelayCase> {};

TEST_P(CrossingDelayTable, Interpolated) {
    const auto [delay, score] = GetParam();
    EXPECT_NEAR(crossing_delay_score(delay), score, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(UrbanPedestrian, CrossingDelayTable,
                         ::testing::Values(DelayCase{0.0, 0.0}, DelayCase{10.0, 1.5}, DelayCase{15.0, 2.0},
                                           DelayCase{40.0, 4.5}, DelayCase{50.0, 5.0}, DelayCase{65.0, 5.75},
                                           DelayCase{70.0, 6.0}, DelayCase{500.0, 6.0}, DelayCase{-10.0, -1.5}));

// I_x is the smaller score of the two ways across; a delay that is not a number leaves none.
TEST(UrbanPedestrian, CrossingScore) {
    EXPECT_NEAR(crossing_score({.ped_delay_crossing_uncontrolled = 30.0}, 4.4), 2.18, 1e-12);
    EXPECT_NEAR(crossing_score({.ped_delay_crossing_uncontrolled = 5.0}, 4.4), 0.75, 1e-12);
    // D_c = 110 ft and 20 s at the signal: 20 + 0.084 x 220 / 4.4 = 24.2 s.
    EXPECT_NEAR(crossing_score({.ped_delay_crossing_signal = 20.0, .ped_delay_crossing_uncontrolled = 90.0,
                                .dist_nearest_crossing_ft = 110.0},
                               4.4),
                2.92, 1e-12);
    EXPECT_TRUE(std::isnan(crossing_delay_score(kNaN)));
    EXPECT_TRUE(std::isnan(crossing_score({.length_ft = 0.0}, 0.0)));  // 0 ft at 0 ft/s
}

TEST(UrbanPedestrian, SpaceLosStrictBounds) {
    EXPECT_EQ(space_los(kInf), L::A);
    EXPECT_EQ(space_los(60.0), L::B);
    EXPECT_EQ(space_los(24.0001), L::C);
    EXPECT_EQ(space_los(8.0), L::F);
    EXPECT_EQ(space_los(kNaN), L::F);
    // 2,500 p/h on 3.5 ft: A_p = 60 x 3.914 / 11.90 = 19.7 ft2/p (D) outweighs the score's A.
    EXPECT_EQ(analyze(PedestrianSegment{.ped_flow_rate = 2500.0}).segment_los, L::D);
}

TEST(UrbanPedestrian, JsonDocument) {
    const auto s = jsonio::read_document<PedestrianSegment>("[2640, 3]");
    EXPECT_EQ(s.length_ft, 2640.0);
    EXPECT_EQ(s.num_through_lanes, 3.0);
    EXPECT_EQ(s.prop_midblock_crossing, 0.35);
    EXPECT_EQ(jsonio::read_document<PedestrianSegment>(R"({"walkway": 9, "prop_window": 1})").prop_window, 1.0);

    const std::string out = analyze_pedestrian_segment("{}");
    EXPECT_TRUE(starts_with(out, R"({"effective_sidewalk_width":3.5,"flow_per_width":0.0,"walking_speed":4.4,)"
                                 R"("pedestrian_space":null,)"));
    EXPECT_NE(out.find(R"("link_los":"B",)"), std::string::npos);
    EXPECT_NE(out.find(R"("segment_los":"A"})"), std::string::npos);
}

}  // namespace
