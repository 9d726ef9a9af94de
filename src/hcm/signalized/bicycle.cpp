#include "hcm/signalized/bicycle.hpp"

#include <algorithm>
#include <limits>

#include "base/units.hpp"
#include "hcm/signalized/exhibits.hpp"
#include "json/jsonio.hpp"

namespace hcm::signalized::bicycle {

namespace {

using exhibits::bicycle::SCORE;

constexpr double QUARTERS_PER_HOUR = 4.0;

}  // namespace

double calculate_bicycle_capacity(double saturation_flow, double green_ratio) { return green_ratio * saturation_flow; }

double calculate_bicycle_delay(double cycle_length_s, double green_ratio, double flow, double capacity) {
    const double red_ratio = 1.0 - green_ratio;
    if (red_ratio <= 0) return 0.0;
    // A bicycle flow above capacity is taken at capacity, so the delay stays finite while g < C.
    const double x = capacity > 0 ? std::min(flow / capacity, 1.0) : 1.0;
    const double denominator = 1.0 - green_ratio * x;
    if (!(denominator > 0)) return base::units::INF;
    return 0.5 * cycle_length_s * (red_ratio * red_ratio) / denominator;
}

double calculate_cross_section_factor(double cross_street_width_ft, double total_width_ft) {
    return SCORE.cross_street_coeff * cross_street_width_ft + SCORE.total_width_coeff * total_width_ft;
}

double calculate_volume_factor(double v_left, double v_through, double v_right, double through_lanes) {
    return SCORE.volume_coeff * (v_right + (v_through + v_left)) / (QUARTERS_PER_HOUR * through_lanes);
}

BicycleIntersectionAnalysis analyze(const BicycleIntersection& a) {
    const double green_ratio = a.cycle_length_s > 0 ? a.effective_green_s / a.cycle_length_s : 0.0;
    BicycleIntersectionAnalysis r;
    r.capacity = calculate_bicycle_capacity(a.saturation_flow, green_ratio);
    r.delay = calculate_bicycle_delay(a.cycle_length_s, green_ratio, a.bicycle_flow, r.capacity);
    r.f_w = calculate_cross_section_factor(a.cross_street_width_ft, a.total_width_ft);
    r.f_v = calculate_volume_factor(a.v_left, a.v_through, a.v_right, a.num_through_lanes);
    r.los_score = (r.f_w + SCORE.constant) + r.f_v;
    r.los = common::los_by_score(r.los_score);
    return r;
}

// ---- JSON ----------------------------------------------------------------------------------------

const jsonio::Record<BicycleIntersection>& json_record(jsonio::Tag<BicycleIntersection>) {
    using R = BicycleIntersection;
    static const jsonio::Record<R> record{
        "BicycleIntersection",
        {
            jsonio::with_default("saturation_flow", &R::saturation_flow, 2000.0),
            jsonio::with_default("effective_green_s", &R::effective_green_s, 0.0),
            jsonio::with_default("cycle_length_s", &R::cycle_length_s, 0.0),
            jsonio::with_default("bicycle_flow", &R::bicycle_flow, 0.0),
            jsonio::with_default("cross_street_width_ft", &R::cross_street_width_ft, 0.0),
            jsonio::with_default("total_width_ft", &R::total_width_ft, 0.0),
            jsonio::with_default("v_left", &R::v_left, 0.0),
            jsonio::with_default("v_through", &R::v_through, 0.0),
            jsonio::with_default("v_right", &R::v_right, 0.0),
            jsonio::with_default("num_through_lanes", &R::num_through_lanes, 1.0),
        },
        jsonio::UnknownKeys::ignore,
        jsonio::ArrayForm::defaults_fill};
    return record;
}

const jsonio::Record<BicycleIntersectionAnalysis>& json_record(jsonio::Tag<BicycleIntersectionAnalysis>) {
    using R = BicycleIntersectionAnalysis;
    static const jsonio::Record<R> record{"BicycleIntersectionAnalysis",
                                          {
                                              jsonio::result("capacity", &R::capacity),
                                              jsonio::result("delay", &R::delay),
                                              jsonio::result("f_w", &R::f_w),
                                              jsonio::result("f_v", &R::f_v),
                                              jsonio::result("los_score", &R::los_score),
                                              jsonio::required("los", &R::los),
                                          }};
    return record;
}

std::string analyze_signalized_bicycle(std::string_view config_json) {
    const auto approach =
        jsonio::read_document_with_prefix<BicycleIntersection>(config_json, "invalid bicycle config: ");
    return jsonio::write_document(analyze(approach));
}

}  // namespace hcm::signalized::bicycle
