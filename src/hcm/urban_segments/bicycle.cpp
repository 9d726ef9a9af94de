#include "hcm/urban_segments/bicycle.hpp"

#include <cmath>

#include "base/numeric.hpp"
#include "base/units.hpp"
#include "hcm/urban_segments/exhibits.hpp"
#include "hcm/urban_segments/multimodal.hpp"
#include "json/jsonio.hpp"

namespace hcm::urban_segments::bicycle {

namespace {

using base::max2;

using base::units::SECONDS_PER_HOUR;
using base::units::FT_PER_MI;

using namespace exhibits::bicycle;

}  // namespace

const jsonio::Record<BicycleSegment>& json_record(jsonio::Tag<BicycleSegment>) {
    using B = BicycleSegment;
    using jsonio::with_default;
    static const jsonio::Record<B> record{
        "BicycleSegment",
        {
            with_default("length_ft", &B::length_ft, 1320.0),
            with_default("num_through_lanes", &B::num_through_lanes, 2.0),
            with_default("midseg_flow_rate", &B::midseg_flow_rate, 0.0),
            with_default("pct_heavy_vehicles", &B::pct_heavy_vehicles, 0.0),
            with_default("prop_parking_occupied", &B::prop_parking_occupied, 0.0),
            with_default("width_outside_lane_ft", &B::width_outside_lane_ft, 12.0),
            with_default("width_bike_lane_ft", &B::width_bike_lane_ft, 0.0),
            with_default("width_outside_shoulder_ft", &B::width_outside_shoulder_ft, 0.0),
            with_default("width_parking_lane_ft", &B::width_parking_lane_ft, 0.0),
            with_default("median_divided", &B::median_divided, false),
            with_default("curb_present", &B::curb_present, false),
            with_default("num_access_points_right", &B::num_access_points_right, 0.0),
            with_default("pavement_condition", &B::pavement_condition, 3.5),
            with_default("motor_running_speed", &B::motor_running_speed, 30.0),
            with_default("bicycle_running_speed", &B::bicycle_running_speed, 15.0),
            with_default("bicycle_control_delay", &B::bicycle_control_delay, 0.0),
            with_default("bicycle_los_score_intersection", &B::bicycle_los_score_intersection, 0.0),
        },
        jsonio::UnknownKeys::ignore,
        jsonio::ArrayForm::defaults_fill};
    return record;
}

const jsonio::Record<BicycleAnalysis>& json_record(jsonio::Tag<BicycleAnalysis>) {
    using A = BicycleAnalysis;
    using jsonio::result;
    static const jsonio::Record<A> record{"BicycleAnalysis",
                                          {
                                              result("running_time_s", &A::running_time_s),
                                              result("travel_speed", &A::travel_speed),
                                              result("effective_width", &A::effective_width),
                                              result("f_w", &A::f_w),
                                              result("f_v", &A::f_v),
                                              result("f_s", &A::f_s),
                                              result("f_p", &A::f_p),
                                              result("link_score", &A::link_score),
                                              jsonio::required("link_los", &A::link_los),
                                              result("f_c", &A::f_c),
                                              result("segment_score", &A::segment_score),
                                              jsonio::required("segment_los", &A::segment_los),
                                          }};
    return record;
}

double running_time(const BicycleSegment& s) {
    return (s.length_ft * SECONDS_PER_HOUR) / (s.bicycle_running_speed * FT_PER_MI);
}

double effective_width(const BicycleSegment& s) {
    const double shoulder = multimodal::adjusted_shoulder_width(s.width_outside_shoulder_ft, s.curb_present);
    const double side = s.width_bike_lane_ft + shoulder + s.width_parking_lane_ft;
    const double outside = s.prop_parking_occupied > 0.0
                               ? s.width_outside_lane_ft + s.width_bike_lane_ft + shoulder
                               : s.width_outside_lane_ft + s.width_bike_lane_ft + shoulder + s.width_parking_lane_ft;
    const double w_v = multimodal::volume_adjusted_width(outside, s.midseg_flow_rate, s.median_divided);
    if (side < NARROW_SIDE_WIDTH_FT) return max2(w_v - PARKING_LOSS_NARROW_FT * s.prop_parking_occupied, 0.0);
    return max2(w_v + side - PARKING_LOSS_WIDE_FT * s.prop_parking_occupied, 0.0);
}

double heavy_vehicle_term(double midseg_flow_veh_h, double pct_heavy_vehicles) {
    if (midseg_flow_veh_h * (1.0 - 0.01 * pct_heavy_vehicles) < HV_CAP_FLOW_VEH_H && pct_heavy_vehicles > HV_CAP_PCT)
        return HV_CAPPED_TERM;
    return 1.0 + HV_COEFF * pct_heavy_vehicles;
}

LinkScore link_score(const BicycleSegment& s, double effective_width_ft) {
    LinkScore r;
    r.f_w = WIDTH_COEFF * (effective_width_ft * effective_width_ft);
    // The volume term is zero while the flow is at most 4 vehicles per hour per lane.
    const double lanes_term = VOLUME_LANES_FACTOR * s.num_through_lanes;
    r.f_v = VOLUME_COEFF * std::log(max2(s.midseg_flow_rate, lanes_term) / lanes_term);
    const double speed = max2(s.motor_running_speed, MIN_SPEED_MPH);
    const double h = heavy_vehicle_term(s.midseg_flow_rate, s.pct_heavy_vehicles);
    r.f_s = SPEED_COEFF * (SPEED_LOG_COEFF * std::log(speed - SPEED_OFFSET_MPH) + SPEED_LOG_CONST) * (h * h);
    r.f_p = PAVEMENT_COEFF / (s.pavement_condition * s.pavement_condition);
    r.score = LINK_SCORE_CONST + r.f_w + r.f_v + r.f_s + r.f_p;
    return r;
}

double access_point_term(const BicycleSegment& s) {
    return ACCESS_POINT_COEFF * (FT_PER_MI * s.num_access_points_right / s.length_ft - ACCESS_POINT_DENSITY_OFFSET);
}

double segment_score(const BicycleSegment& s, double running_time_s, double access_point_term, double link_score) {
    const double link = access_point_term + link_score + 1.0;
    const double node = s.bicycle_los_score_intersection + 1.0;
    const double d_b = s.bicycle_control_delay;
    const double r = std::cbrt((running_time_s * (link * link * link) + d_b * (node * node * node)) /
                               (running_time_s + d_b));
    return SEGMENT_SCORE_COEFF * r + SEGMENT_SCORE_CONST;
}

BicycleAnalysis analyze(const BicycleSegment& s) {
    BicycleAnalysis r;
    r.running_time_s = running_time(s);
    const double travel_time = s.bicycle_control_delay + r.running_time_s;
    r.travel_speed = (s.length_ft * SECONDS_PER_HOUR) / (travel_time * FT_PER_MI);
    r.effective_width = effective_width(s);

    const LinkScore link = link_score(s, r.effective_width);
    r.f_w = link.f_w;
    r.f_v = link.f_v;
    r.f_s = link.f_s;
    r.f_p = link.f_p;
    r.link_score = link.score;
    r.link_los = multimodal::link_score_los(link.score);  // Step 4

    r.f_c = access_point_term(s);
    r.segment_score = segment_score(s, r.running_time_s, r.f_c, r.link_score);
    r.segment_los = multimodal::segment_score_los(r.segment_score);  // Step 6
    return r;
}

std::string analyze_bicycle_segment(std::string_view config_json) {
    const auto s = jsonio::read_document_with_prefix<BicycleSegment>(config_json, "invalid bicycle config: ");
    return jsonio::write_document_with_prefix(analyze(s), "serialize error: ");
}

}  // namespace hcm::urban_segments::bicycle
