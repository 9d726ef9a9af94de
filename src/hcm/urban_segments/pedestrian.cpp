#include "hcm/urban_segments/pedestrian.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

#include "base/numeric.hpp"
#include "base/units.hpp"
#include "hcm/urban_segments/exhibits.hpp"
#include "hcm/urban_segments/multimodal.hpp"
#include "json/jsonio.hpp"

namespace hcm::urban_segments::pedestrian {

namespace {

using base::max2;
using base::min2;

using base::units::INF;
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

using namespace exhibits::pedestrian;

}  // namespace

const jsonio::Record<PedestrianSegment>& json_record(jsonio::Tag<PedestrianSegment>) {
    using P = PedestrianSegment;
    using jsonio::with_default;
    static const jsonio::Record<P> record{
        "PedestrianSegment",
        {
            with_default("length_ft", &P::length_ft, 1320.0),
            with_default("num_through_lanes", &P::num_through_lanes, 2.0),
            with_default("midseg_flow_rate", &P::midseg_flow_rate, 0.0),
            with_default("ped_flow_rate", &P::ped_flow_rate, 0.0),
            with_default("prop_parking_occupied", &P::prop_parking_occupied, 0.0),
            with_default("width_sidewalk_ft", &P::width_sidewalk_ft, 5.0),
            with_default("width_buffer_ft", &P::width_buffer_ft, 0.0),
            with_default("fixed_object_width_inside_ft", &P::fixed_object_width_inside_ft, 0.0),
            with_default("fixed_object_width_outside_ft", &P::fixed_object_width_outside_ft, 0.0),
            with_default("prop_window", &P::prop_window, 0.0),
            with_default("prop_building", &P::prop_building, 0.0),
            with_default("prop_fence", &P::prop_fence, 0.0),
            with_default("continuous_barrier", &P::continuous_barrier, false),
            with_default("width_outside_lane_ft", &P::width_outside_lane_ft, 12.0),
            with_default("width_bike_lane_ft", &P::width_bike_lane_ft, 0.0),
            with_default("width_outside_shoulder_ft", &P::width_outside_shoulder_ft, 0.0),
            with_default("width_parking_lane_ft", &P::width_parking_lane_ft, 0.0),
            with_default("curb_present", &P::curb_present, false),
            with_default("motor_running_speed", &P::motor_running_speed, 30.0),
            with_default("free_flow_walk_speed", &P::free_flow_walk_speed, 4.4),
            with_default("ped_delay_parallel", &P::ped_delay_parallel, 0.0),
            with_default("ped_delay_crossing_signal", &P::ped_delay_crossing_signal, 0.0),
            with_default("ped_delay_crossing_uncontrolled", &P::ped_delay_crossing_uncontrolled, 0.0),
            with_default("ped_los_score_intersection", &P::ped_los_score_intersection, 0.0),
            with_default("dist_nearest_crossing_ft", &P::dist_nearest_crossing_ft, 0.0),
            with_default("prop_midblock_crossing", &P::prop_midblock_crossing, 0.35),
        },
        jsonio::UnknownKeys::ignore,
        jsonio::ArrayForm::defaults_fill};
    return record;
}

const jsonio::Record<PedestrianAnalysis>& json_record(jsonio::Tag<PedestrianAnalysis>) {
    using A = PedestrianAnalysis;
    using jsonio::result;
    static const jsonio::Record<A> record{"PedestrianAnalysis",
                                          {
                                              result("effective_sidewalk_width", &A::effective_sidewalk_width),
                                              result("flow_per_width", &A::flow_per_width),
                                              result("walking_speed", &A::walking_speed),
                                              result("pedestrian_space", &A::pedestrian_space),
                                              result("travel_speed", &A::travel_speed),
                                              result("f_w", &A::f_w),
                                              result("f_v", &A::f_v),
                                              result("f_s", &A::f_s),
                                              result("link_score", &A::link_score),
                                              jsonio::required("link_los", &A::link_los),
                                              result("crossing_score", &A::crossing_score),
                                              result("segment_score", &A::segment_score),
                                              jsonio::required("segment_los", &A::segment_los),
                                          }};
    return record;
}

double effective_sidewalk_width(const PedestrianSegment& s) {
    const double shy_inside = max2(s.width_buffer_ft, MIN_INSIDE_SHY_FT);
    const double shy_outside =
        SHY_WINDOW_FT * s.prop_window + SHY_BUILDING_FT * s.prop_building + SHY_FENCE_FT * s.prop_fence;
    return max2(s.width_sidewalk_ft - s.fixed_object_width_inside_ft - s.fixed_object_width_outside_ft - shy_inside -
                    shy_outside,
                0.0);
}

double flow_per_unit_width(double ped_flow_p_h, double effective_width_ft) {
    return effective_width_ft > 0.0 ? ped_flow_p_h / (base::units::MINUTES_PER_HOUR * effective_width_ft) : INF;
}

double walking_speed(double free_flow_walk_speed_ft_s, double flow_per_width) {
    return max2(free_flow_walk_speed_ft_s * (1.0 - WALK_SPEED_FLOW_COEFF * (flow_per_width * flow_per_width)),
                MIN_WALK_SPEED_SHARE * free_flow_walk_speed_ft_s);
}

double pedestrian_space(double walking_speed_ft_s, double flow_per_width) {
    return flow_per_width > 0.0 ? base::units::SECONDS_PER_MINUTE * walking_speed_ft_s / flow_per_width : INF;
}

LinkScore link_score(const PedestrianSegment& s) {
    const double shoulder = multimodal::adjusted_shoulder_width(s.width_outside_shoulder_ft, s.curb_present);
    // The parking lane always counts in the outside width here.
    const double outside = s.width_outside_lane_ft + s.width_bike_lane_ft + shoulder + s.width_parking_lane_ft;
    const double side = shoulder + s.width_bike_lane_ft + s.width_parking_lane_ft;
    const double w_v = multimodal::volume_adjusted_width(outside, s.midseg_flow_rate, side > 0.0);
    // The side width counts at most 10 ft, unless more than a quarter of the parking is occupied.
    const double half_side = (s.prop_parking_occupied > SIDE_WIDTH_CAP_MAX_PARKING || side < SIDE_WIDTH_CAP_FT)
                                 ? SIDE_WIDTH_HALF * side
                                 : SIDE_WIDTH_CAP_TERM;
    const double available = min2(max2(s.width_sidewalk_ft - s.width_buffer_ft, 0.0), MAX_AVAILABLE_SIDEWALK_FT);
    const double f_sw = SIDEWALK_COEFF_BASE - SIDEWALK_COEFF_PER_FT * available;
    const double f_b = s.continuous_barrier ? BUFFER_COEFF_BARRIER : BUFFER_COEFF_OPEN;

    LinkScore r;
    r.f_w = CROSS_SECTION_COEFF * std::log(w_v + half_side + PARKING_TERM * s.prop_parking_occupied +
                                           s.width_buffer_ft * f_b + available * f_sw);
    r.f_v = VOLUME_COEFF * s.midseg_flow_rate / (VOLUME_LANES_FACTOR * s.num_through_lanes);
    const double speed = s.motor_running_speed / SPEED_SCALE_MPH;
    r.f_s = SPEED_COEFF * (speed * speed);
    r.score = LINK_SCORE_CONST + r.f_w + r.f_v + r.f_s;
    return r;
}

double crossing_delay_score(double delay_s) {
    if (delay_s >= CROSSING_DELAY_S.back()) return CROSSING_DELAY_SCORE.back();
    for (std::size_t i = 1; i < CROSSING_DELAY_S.size(); ++i) {
        if (CROSSING_DELAY_S[i] >= delay_s) {
            const double x0 = CROSSING_DELAY_S[i - 1];
            const double y0 = CROSSING_DELAY_SCORE[i - 1];
            return y0 + (delay_s - x0) * (CROSSING_DELAY_SCORE[i] - y0) / (CROSSING_DELAY_S[i] - x0);
        }
    }
    return NaN;  // only a delay that is not a number gets here
}

double crossing_score(const PedestrianSegment& s, double walking_speed_ft_s) {
    const double distance =
        s.dist_nearest_crossing_ft > 0.0 ? s.dist_nearest_crossing_ft : s.length_ft / DEFAULT_CROSSING_SHARE_OF_LENGTH;
    const double via_signal =
        s.ped_delay_crossing_signal + ((distance + distance) * DETOUR_DELAY_COEFF) / walking_speed_ft_s;
    const double signal = crossing_delay_score(via_signal);
    const double uncontrolled = crossing_delay_score(s.ped_delay_crossing_uncontrolled);
    if (std::isnan(signal) || std::isnan(uncontrolled)) return NaN;
    return std::min({signal, uncontrolled, MAX_CROSSING_SCORE});
}

double segment_score(const PedestrianSegment& s, double walking_time_s, double link_score, double crossing_score) {
    const double p_mx = s.prop_midblock_crossing;
    const double blended = (1.0 - p_mx) * link_score + p_mx * crossing_score;
    const double i_int = s.ped_los_score_intersection;
    const double d_pp = s.ped_delay_parallel;
    return std::cbrt((walking_time_s * (blended * blended * blended) + d_pp * (i_int * i_int * i_int)) /
                     (walking_time_s + d_pp));
}

LevelOfService space_los(double pedestrian_space_ft2_p) {
    return common::los_by_minimum(SPACE_LOS_MIN, pedestrian_space_ft2_p);
}

PedestrianAnalysis analyze(const PedestrianSegment& s) {
    PedestrianAnalysis r;
    r.effective_sidewalk_width = effective_sidewalk_width(s);
    r.flow_per_width = flow_per_unit_width(s.ped_flow_rate, r.effective_sidewalk_width);
    r.walking_speed = walking_speed(s.free_flow_walk_speed, r.flow_per_width);
    r.pedestrian_space = pedestrian_space(r.walking_speed, r.flow_per_width);
    // Step 5: walking time, plus the delay at the boundary intersection, over the length.
    const double walking_time = s.length_ft / r.walking_speed;
    r.travel_speed = s.length_ft / (walking_time + s.ped_delay_parallel);

    const LinkScore link = link_score(s);
    r.f_w = link.f_w;
    r.f_v = link.f_v;
    r.f_s = link.f_s;
    r.link_score = link.score;
    r.link_los = multimodal::link_score_los(link.score);  // Step 7

    r.crossing_score = crossing_score(s, r.walking_speed);
    r.segment_score = segment_score(s, walking_time, r.link_score, r.crossing_score);
    // Step 10: the worse of the score-based and the space-based letter.
    r.segment_los = std::max(multimodal::segment_score_los(r.segment_score), space_los(r.pedestrian_space));
    return r;
}

std::string analyze_pedestrian_segment(std::string_view config_json) {
    const auto s = jsonio::read_document_with_prefix<PedestrianSegment>(config_json, "invalid pedestrian config: ");
    return jsonio::write_document_with_prefix(analyze(s), "serialize error: ");
}

}  // namespace hcm::urban_segments::pedestrian
