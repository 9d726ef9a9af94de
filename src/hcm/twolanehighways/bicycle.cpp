#include "hcm/twolanehighways/bicycle.hpp"

#include <array>
#include <cmath>

#include "json/jsonio.hpp"

namespace hcm::twolanehighways {
namespace {

// Equations 15-41 to 15-45: effective width.
constexpr double LOW_VOLUME_PER_LANE = 160.0;      // veh/h; at or below it the width is widened
constexpr double LOW_VOLUME_WIDTH_BASE = 2.0;
constexpr double LOW_VOLUME_WIDTH_PER_VEH = 0.005;
constexpr double WIDE_SHOULDER = 8.0;              // ft
constexpr double WIDE_SHOULDER_PARKING = 10.0;
constexpr double NARROW_SHOULDER = 4.0;            // ft
constexpr double SHOULDER_PARKING_OFFSET = 2.0;    // ft

// Equation 15-46: effective speed factor. The model is fitted to speed limits above 20 mi/h; a
// lower one is taken as 21 mi/h, where the logarithm is 0.
constexpr double SPEED_FACTOR_LOG = 1.1199;
constexpr double SPEED_FACTOR_CONST = 0.8103;
constexpr double SPEED_OFFSET = 20.0;  // mi/h
constexpr double SPEED_MIN = 21.0;     // mi/h

// Equation 15-47: bicycle LOS score.
constexpr double SCORE_SPEED = 0.1999;
constexpr double SCORE_HV = 10.38;
constexpr double SCORE_VOLUME_LOG = 0.507;
constexpr double SCORE_PAVEMENT = 7.066;
constexpr double SCORE_WIDTH = 0.005;
constexpr double SCORE_CONST = 0.76;
constexpr double HV_CAP_LOW_VOLUME = 200.0;  // veh/h; below it the heavy-vehicle share is capped
constexpr double HV_CAP = 0.5;


}  // namespace

const jsonio::Record<BicycleLOS>& json_record(jsonio::Tag<BicycleLOS>) {
    using B = BicycleLOS;
    static const jsonio::Record<B> record{"BicycleLOS",
                                          {
                                              jsonio::required("lane_width", &B::lane_width),
                                              jsonio::required("shoulder_width", &B::shoulder_width),
                                              jsonio::required("speed_limit", &B::speed_limit),
                                              jsonio::required("num_lanes", &B::num_lanes),
                                              jsonio::required("pavement_condition", &B::pavement_condition),
                                              jsonio::required("hourly_volume", &B::hourly_volume),
                                              jsonio::required("phf", &B::phf),
                                              jsonio::required("heavy_vehicle_pct", &B::heavy_vehicle_pct),
                                              jsonio::required("pct_on_highway_parking", &B::pct_on_highway_parking),
                                          }};
    return record;
}

const jsonio::Record<BicycleLOSResult>& json_record(jsonio::Tag<BicycleLOSResult>) {
    static const jsonio::Record<BicycleLOSResult> record{
        "BicycleLOSResult",
        {
            jsonio::result("flow_rate_outside_lane", &BicycleLOSResult::flow_rate_outside_lane),
            jsonio::result("effective_width", &BicycleLOSResult::effective_width),
            jsonio::result("effective_speed_factor", &BicycleLOSResult::effective_speed_factor),
            jsonio::result("blos_score", &BicycleLOSResult::blos_score),
            jsonio::required("los", &BicycleLOSResult::los),
        }};
    return record;
}

double flow_rate_outside_lane(const BicycleLOS& b) {
    return b.hourly_volume / (b.phf * static_cast<double>(b.num_lanes));
}

double effective_width(const BicycleLOS& b) {
    // The hourly volume per lane, without the peak hour factor, decides the low-volume widening.
    const double v_l = b.hourly_volume / static_cast<double>(b.num_lanes);
    const double w_t = b.lane_width + b.shoulder_width;
    const double w_v = v_l > LOW_VOLUME_PER_LANE ? w_t : w_t * (LOW_VOLUME_WIDTH_BASE - LOW_VOLUME_WIDTH_PER_VEH * v_l);
    const double w_s = b.shoulder_width;
    const double p_pk = b.pct_on_highway_parking;
    if (w_s >= WIDE_SHOULDER) return w_s + w_v - WIDE_SHOULDER_PARKING * p_pk;
    if (w_s >= NARROW_SHOULDER) return w_s + w_v - 2.0 * (w_s + SHOULDER_PARKING_OFFSET) * p_pk;
    return w_v - (w_s + SHOULDER_PARKING_OFFSET) * p_pk;
}

double effective_speed_factor(const BicycleLOS& b) {
    // A NaN speed limit stays NaN.
    const double s_p = b.speed_limit < SPEED_MIN ? SPEED_MIN : b.speed_limit;
    return SPEED_FACTOR_LOG * std::log(s_p - SPEED_OFFSET) + SPEED_FACTOR_CONST;
}

double blos_score(const BicycleLOS& b) {
    const double v_ol = flow_rate_outside_lane(b);
    const double volume_term = v_ol > 0.0 ? SCORE_VOLUME_LOG * std::log(v_ol) : 0.0;
    const double hv = (b.hourly_volume < HV_CAP_LOW_VOLUME && b.heavy_vehicle_pct > HV_CAP) ? HV_CAP
                                                                                             : b.heavy_vehicle_pct;
    const double w_e = effective_width(b);
    // Each squared factor is squared before its coefficient multiplies it, as Equation 15-47
    // groups them, so the score is the equation's to the last bit.
    const double hv_factor = 1.0 + SCORE_HV * hv;
    const double hv_squared = hv_factor * hv_factor;
    const double pavement = 1.0 / b.pavement_condition;
    const double pavement_squared = pavement * pavement;
    const double width_squared = w_e * w_e;
    return SCORE_SPEED * effective_speed_factor(b) * hv_squared + volume_term + SCORE_PAVEMENT * pavement_squared -
           SCORE_WIDTH * width_squared + SCORE_CONST;
}

// Exhibit 15-7 shares the score bounds of the other pedestrian and bicycle models.
common::LevelOfService bicycle_los(double blos) { return common::los_by_score(blos); }

BicycleLOSResult analyze(const BicycleLOS& b) {
    BicycleLOSResult r;
    r.flow_rate_outside_lane = flow_rate_outside_lane(b);
    r.effective_width = effective_width(b);
    r.effective_speed_factor = effective_speed_factor(b);
    r.blos_score = blos_score(b);
    r.los = bicycle_los(r.blos_score);
    return r;
}

std::string to_json(const BicycleLOSResult& r) { return jsonio::write_document_with_prefix(r, "serialize error: "); }

std::string analyze_bicycle_los(std::string_view config_json) {
    const auto b = jsonio::read_document_with_prefix<BicycleLOS>(config_json, "invalid bicycle LOS config: ");
    return to_json(analyze(b));
}

}  // namespace hcm::twolanehighways
