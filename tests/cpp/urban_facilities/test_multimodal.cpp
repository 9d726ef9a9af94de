#include <gtest/gtest.h>

#include <vector>

#include "../support/checks.hpp"
#include "hcm/urban_facilities/multimodal.hpp"

using namespace hcm::urban_facilities::multimodal;
using namespace testing_support;
using LOS = hcm::common::LevelOfService;

namespace {

TEST(FacilityModeScores, PedestrianOrBicycleScoreIsTravelTimeWeighted) {
    // Travel times 44, 132 and 52.8 (ft h/mi); scale positions 2.5, 4.5 and 5.1667, whose
    // time-weighted mean cube 87.407 has the cube root 4.4377: 0.75 x 4.4377 + 0.125 = 3.4533.
    const std::vector<SegmentModeScore> three = {{1320.0, 30.0, 2.0}, {2640.0, 20.0, 3.5}, {1320.0, 25.0, 4.0}};
    EXPECT_NEAR(facility_pedestrian_or_bicycle_los_score(three), 3.453433472680296, 1e-12);
    // Below the scale's offset the cube root is taken of a negative mean.
    EXPECT_NEAR(facility_pedestrian_or_bicycle_los_score(std::vector<SegmentModeScore>{{1000.0, 20.0, -0.625}}),
                -0.625, 1e-12);
    // Entries without travel time carry no weight, whatever score they hold: a zero speed, and
    // a zero, negative or unknown length.
    const std::vector<SegmentModeScore> padded = {
        {1320.0, 0.0, 9.0}, {1320.0, 30.0, 2.7}, {0.0, 30.0, kNaN}, {-500.0, 30.0, 1.0}, {kNaN, 30.0, 1.0}};
    EXPECT_NEAR(facility_pedestrian_or_bicycle_los_score(padded), 2.7, 1e-12);
    EXPECT_EQ(facility_pedestrian_or_bicycle_los_score(std::vector<SegmentModeScore>{{1320.0, 0.0, 2.0}}), 0.0);
    EXPECT_EQ(facility_pedestrian_or_bicycle_los_score({}), 0.0);
}

TEST(FacilityModeScores, TransitScoreIsLengthWeighted) {
    // A zero-length entry cannot turn the score into NaN; a negative length has no weight either.
    const std::vector<SegmentTransitScore> padded = {{1000.0, 2.0}, {0.0, kNaN}, {-3000.0, 5.0}, {3000.0, 4.0}};
    EXPECT_DOUBLE_EQ(facility_transit_los_score(padded), 3.5);
    EXPECT_EQ(facility_transit_los_score(std::vector<SegmentTransitScore>{{0.0, 2.0}}), 0.0);
    EXPECT_EQ(facility_transit_los_score({}), 0.0);
}

struct LetterCase {
    double score;
    double space;
    LOS pedestrian;  // the worse of both
    LOS by_score;    // bicycle and transit
};

class FacilityModeLos : public testing::TestWithParam<LetterCase> {};

TEST_P(FacilityModeLos, ExhibitThresholds) {
    const LetterCase& c = GetParam();
    EXPECT_EQ(facility_pedestrian_los(c.score, c.space), c.pedestrian);
    EXPECT_EQ(facility_bicycle_los(c.score), c.by_score);
    EXPECT_EQ(facility_transit_los(c.score), c.by_score);
}

INSTANTIATE_TEST_SUITE_P(Boundaries, FacilityModeLos,
                         testing::Values(LetterCase{1.5, 30.0, LOS::C, LOS::A},   // space governs
                                         LetterCase{4.3, 100.0, LOS::E, LOS::E},  // score governs
                                         LetterCase{2.0, 60.01, LOS::A, LOS::A}, LetterCase{2.0, 60.0, LOS::B, LOS::A},
                                         LetterCase{2.75, 40.0, LOS::C, LOS::B}, LetterCase{3.5, 24.0, LOS::D, LOS::C},
                                         LetterCase{4.25, 15.0, LOS::E, LOS::D}, LetterCase{5.0, 8.0, LOS::F, LOS::E},
                                         LetterCase{5.01, 100.0, LOS::F, LOS::F}, LetterCase{kNaN, 100.0, LOS::F, LOS::F},
                                         LetterCase{1.0, kNaN, LOS::F, LOS::A}));

}  // namespace
