#pragma once
// HCM Chapter 16 facility LOS of the pedestrian, bicycle and transit modes: the facility scores
// from the segments' scores (Equations 16-7/16-8, 16-10/16-11 and 16-13) and their letters
// (Exhibits 16-4 and 16-5).
#include <span>

#include "hcm/common/common.hpp"

namespace hcm::urban_facilities::multimodal {

using common::LevelOfService;

// One segment's pedestrian or bicycle LOS score with the length and travel speed that weigh it.
struct SegmentModeScore {
    double length_ft;
    double travel_speed_mph;
    double score;
};

// One segment's transit LOS score with the length that weighs it.
struct SegmentTransitScore {
    double length_ft;
    double score;
};

// Equations 16-7 and 16-10: travel-time-weighted generalized mean of the segment scores,
// 0.75 cbrt(sum T_i ((I_i - 0.125) / 0.75)^3 / T) + 0.125 with T_i = L_i / S_i. Entries without a
// positive travel-time weight (no positive length or speed) carry no weight; 0 with none.
double facility_pedestrian_or_bicycle_los_score(std::span<const SegmentModeScore> segments);

// Equation 16-13: length-weighted mean of the segment transit scores; entries without a positive
// length carry no weight; 0 with none.
double facility_transit_los_score(std::span<const SegmentTransitScore> segments);

// The letters of Exhibits 16-4 and 16-5 take the thresholds of the segment scores and of the
// pedestrian space of Chapter 18; a score or space that is not a number is F.
// Exhibit 16-4: the worse of the score letter and the space letter.
LevelOfService facility_pedestrian_los(double score, double space_ft2_p);
// Exhibit 16-5.
LevelOfService facility_bicycle_los(double score);
LevelOfService facility_transit_los(double score);

}  // namespace hcm::urban_facilities::multimodal
