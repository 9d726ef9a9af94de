#include "hcm/urban_facilities/multimodal.hpp"

#include <algorithm>
#include <cmath>

#include "base/numeric.hpp"
#include "hcm/urban_segments/multimodal.hpp"
#include "hcm/urban_segments/pedestrian.hpp"

namespace hcm::urban_facilities::multimodal {

namespace {

// Equations 16-7 and 16-10: the scores are averaged as cubes of their position on the scale.
constexpr double SCORE_SCALE = 0.75;
constexpr double SCORE_OFFSET = 0.125;

}  // namespace

double facility_pedestrian_or_bicycle_los_score(std::span<const SegmentModeScore> segments) {
    base::WeightedMean cubes;  // weighted by travel time; an entry without one weighs nothing
    for (const SegmentModeScore& s : segments) {
        const double t = s.travel_speed_mph > 0.0 ? s.length_ft / s.travel_speed_mph : 0.0;
        const double position = (s.score - SCORE_OFFSET) / SCORE_SCALE;
        cubes.add(position * position * position, t);
    }
    if (!cubes.any()) return 0.0;
    return SCORE_SCALE * std::cbrt(cubes.mean_or(0.0)) + SCORE_OFFSET;
}

double facility_transit_los_score(std::span<const SegmentTransitScore> segments) {
    base::WeightedMean score;  // length-weighted
    for (const SegmentTransitScore& s : segments) score.add(s.score, s.length_ft);
    return score.mean_or(0.0);
}

using urban_segments::multimodal::segment_score_los;
using urban_segments::pedestrian::space_los;

LevelOfService facility_pedestrian_los(double score, double space_ft2_p) {
    return std::max(segment_score_los(score), space_los(space_ft2_p));
}

LevelOfService facility_bicycle_los(double score) { return segment_score_los(score); }

LevelOfService facility_transit_los(double score) { return segment_score_los(score); }

}  // namespace hcm::urban_facilities::multimodal
