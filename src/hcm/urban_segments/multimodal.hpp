#pragma once
// What the pedestrian, bicycle and transit methods of an urban street segment (HCM Chapter 18,
// Sections 4 to 6) share: the LOS letters of their scores and the outside cross-section terms.
#include <array>

#include "base/numeric.hpp"
#include "hcm/common/common.hpp"

namespace hcm::urban_segments::multimodal {

using common::LevelOfService;

// Upper bounds (inclusive) of LOS A to E for a segment LOS score of the pedestrian, bicycle and
// transit modes.
inline constexpr std::array<double, 5> SEGMENT_SCORE_LOS_MAX = {2.00, 2.75, 3.50, 4.25, 5.00};

// A score that is not a number (degenerate input: a zero length, zero speeds or rates) is F, never
// the best letter.
inline LevelOfService segment_score_los(double score) { return common::los_by_density(SEGMENT_SCORE_LOS_MAX, score); }
// A pedestrian or bicycle link LOS score takes the common 1.5-step thresholds.
inline LevelOfService link_score_los(double score) { return common::los_by_score(score); }

// Cross-section of the outside of the roadway, shared by the pedestrian and bicycle link scores.
inline constexpr double CURB_SHOULDER_LOSS_FT = 1.5;     // a curb takes this much of the paved shoulder
inline constexpr double LOW_VOLUME_FLOW_VEH_H = 160.0;   // at or below it the outside width is widened
inline constexpr double LOW_VOLUME_WIDTH_BASE = 2.0;
inline constexpr double LOW_VOLUME_WIDTH_PER_VEH = 0.005;

// Paved outside shoulder width W_os* that counts, ft.
inline double adjusted_shoulder_width(double shoulder_ft, bool curb_present) {
    return curb_present ? base::max2(shoulder_ft - CURB_SHOULDER_LOSS_FT, 0.0) : shoulder_ft;
}

// Effective width as a function of traffic volume W_v, ft: the outside width W_t as it is when the
// midsegment flow exceeds 160 veh/h or `full_width` holds, otherwise widened by (2 - 0.005 v_m).
inline double volume_adjusted_width(double outside_width_ft, double midsegment_flow_veh_h, bool full_width) {
    if (midsegment_flow_veh_h > LOW_VOLUME_FLOW_VEH_H || full_width) return outside_width_ft;
    return outside_width_ft * (LOW_VOLUME_WIDTH_BASE - LOW_VOLUME_WIDTH_PER_VEH * midsegment_flow_veh_h);
}

}  // namespace hcm::urban_segments::multimodal
