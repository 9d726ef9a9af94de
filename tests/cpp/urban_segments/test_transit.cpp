#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>

#include "../support/checks.hpp"
#include "hcm/urban_segments/multimodal.hpp"
#include "hcm/urban_segments/transit.hpp"
#include "json/jsonio.hpp"

using namespace hcm::urban_segments::transit;
using namespace testing_support;
using hcm::urban_segments::multimodal::link_score_los;
using hcm::urban_segments::multimodal::segment_score_los;
using L = LevelOfService;

namespace {

// All defaults: one near-side stop (g/C 0.45) on 1,320 ft, four buses an hour, no load. The
// load weighting applies below a load factor of 0.8 too: (0 - 0.8) x 4 / 4.2 + 1.
TEST(UrbanTransit, DefaultSegment) {
    const TransitAnalysis r = analyze(TransitSegment{});
    EXPECT_EQ(r.running_speed, 30.0);  // 61 / (e^-0.102 + 1) = 32.1 is the larger
    EXPECT_NEAR(r.delay_accel_decel, 5.475, 1e-12);
    EXPECT_EQ(r.delay_passenger_service, 9.0);
    EXPECT_NEAR(r.delay_stop, 14.475, 1e-12);
    EXPECT_NEAR(r.running_time, 44.475, 1e-12);
    EXPECT_NEAR(r.travel_speed, 20.236, 1e-3);
    EXPECT_NEAR(r.headway_factor, 2.7951, 1e-4);
    EXPECT_NEAR(r.perceived_travel_time_rate, 0.70595, 1e-5);
    EXPECT_NEAR(r.travel_time_factor, 1.77774, 1e-5);
    EXPECT_NEAR(r.wait_ride_score, 4.9690, 1e-4);
    EXPECT_NEAR(r.segment_score, -1.4536, 1e-4);
    EXPECT_EQ(r.segment_los, L::A);
}

TEST(UrbanTransit, LoadFactorFrequencyAndFarSideStop) {
    TransitAnalysis r = analyze({.passenger_load_factor = 0.8});
    EXPECT_NEAR(r.perceived_travel_time_rate, 2.965, 1e-12);  // 60 / S_Tt, unweighted
    EXPECT_NEAR(r.travel_time_factor, 1.12639, 1e-5);
    EXPECT_NEAR(r.wait_ride_score, 3.1484, 1e-4);
    EXPECT_NEAR(r.segment_score, 1.2774, 1e-4);
    EXPECT_EQ(r.segment_los, L::A);

    r = analyze({.transit_frequency = 2.0, .near_side_signalized_stop = false, .passenger_load_factor = 0.8,
                 .ped_los_score_link = 3.0});
    EXPECT_NEAR(r.delay_accel_decel, 12.1667, 1e-4);
    EXPECT_EQ(r.delay_passenger_service, 20.0);
    EXPECT_NEAR(r.running_time, 62.1667, 1e-4);
    EXPECT_NEAR(r.travel_speed, 14.4772, 1e-4);
    EXPECT_NEAR(r.headway_factor, 1.95356, 1e-5);
    EXPECT_NEAR(r.segment_score, 3.5609, 1e-4);
    EXPECT_EQ(r.segment_los, L::D);
}

// Closely spaced stops hold the running speed below the motorized one: 61 / (e^(3 x 1185/1320 - 1) + 1).
TEST(UrbanTransit, RunningSpeedLimitedByStops) {
    EXPECT_NEAR(running_speed({.num_transit_stops = 3.0}), 9.476829352, 1e-9);
    // Without stops the limit is 61 / (e^-1 + 1) = 44.59 mi/h.
    EXPECT_NEAR(running_speed({.num_transit_stops = 0.0, .motor_running_speed = 50.0}), 44.594573, 1e-6);
    EXPECT_EQ(running_speed({.num_transit_stops = 0.0, .motor_running_speed = 40.0}), 40.0);
}

// Shelters and benches shorten, late departures lengthen the perceived travel time.
TEST(UrbanTransit, AmenitiesAndReliability) {
    // S_Tt = 20 mi/h, no load weighting: T_ptt = 2 x (5 x 0.2)^2 / 2 + 3 - (1.3 + 0.2) / 2.
    const TransitSegment s{.passenger_load_factor = 0.8, .prop_stops_shelter = 1.0, .prop_stops_bench = 1.0,
                           .passenger_trip_length = 2.0, .on_time_performance = 0.8};
    EXPECT_NEAR(perceived_travel_time_rate(s, 20.0), 1.0 + 3.0 - 0.75, 1e-12);
    EXPECT_NEAR(travel_time_factor(4.0, 4.0), 1.0, 1e-15);
}

// Segment LOS thresholds 2.00 / 2.75 / 3.50 / 4.25 / 5.00 and link LOS thresholds 1.5 to 5.5,
// inclusive upper bounds. A score that is not a number is F in every mode.
using LetterCase = std::tuple<double, L, L>;  // score, segment letter, link letter
class ScoreLetters : public ::testing::TestWithParam<LetterCase> {};

TEST_P(ScoreLetters, InclusiveUpperBounds) {
    const auto [score, segment, link] = GetParam();
    EXPECT_EQ(segment_score_los(score), segment);
    EXPECT_EQ(link_score_los(score), link);
}

INSTANTIATE_TEST_SUITE_P(UrbanModes, ScoreLetters,
                         ::testing::Values(LetterCase{-kInf, L::A, L::A}, LetterCase{1.5, L::A, L::A},
                                           LetterCase{2.0, L::A, L::B}, LetterCase{2.5, L::B, L::B},
                                           LetterCase{std::nextafter(2.5, 3.0), L::B, L::C},
                                           LetterCase{2.75, L::B, L::C},
                                           LetterCase{std::nextafter(2.75, 3.0), L::C, L::C},
                                           LetterCase{4.5, L::E, L::D}, LetterCase{5.0, L::E, L::E},
                                           LetterCase{5.5, L::F, L::E}, LetterCase{kInf, L::F, L::F},
                                           LetterCase{kNaN, L::F, L::F}));

// A segment of no length, or passenger trips of no length, leaves the transit score undefined: it is F,
// never the best letter, and its numbers are written as null.
TEST(UrbanTransit, UndefinedScoreIsF) {
    for (const TransitSegment& s : {TransitSegment{.length_ft = 0.0}, TransitSegment{.passenger_trip_length = 0.0}}) {
        const TransitAnalysis r = analyze(s);
        EXPECT_TRUE(std::isnan(r.segment_score));
        EXPECT_EQ(r.segment_los, L::F);
    }
    EXPECT_EQ(analyze_transit_segment(R"({"length_ft": 0})"),
              R"({"running_speed":0.0,"delay_accel_decel":0.0,"delay_passenger_service":9.0,"delay_stop":9.0,)"
              R"("running_time":null,"travel_speed":null,"headway_factor":2.7951449443867045,)"
              R"("perceived_travel_time_rate":null,"travel_time_factor":null,"wait_ride_score":null,)"
              R"("segment_score":null,"segment_los":"F"})");
}

TEST(UrbanTransit, JsonDocument) {
    const auto s = jsonio::read_document<TransitSegment>("[2640, 2]");
    EXPECT_EQ(s.length_ft, 2640.0);
    EXPECT_EQ(s.num_transit_stops, 2.0);
    EXPECT_EQ(s.near_side_signalized_stop, true);
    EXPECT_EQ(jsonio::read_document<TransitSegment>(R"({"route": "7", "g_c_ratio": 1})").g_c_ratio, 1.0);
}

}  // namespace
