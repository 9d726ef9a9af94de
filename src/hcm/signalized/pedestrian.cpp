#include "hcm/signalized/pedestrian.hpp"

#include <cmath>

#include "hcm/signalized/exhibits.hpp"
#include "json/jsonio.hpp"

namespace hcm::signalized::pedestrian {

namespace {

using exhibits::pedestrian::SCORE;
using exhibits::pedestrian::WALK_EXTENSION_S;

// 15 minutes as a share of the hour.
constexpr double QUARTER_HOUR = 0.25;

}  // namespace

double calculate_effective_walk_time(double walk_setting_s) { return walk_setting_s + WALK_EXTENSION_S; }

double calculate_pedestrian_delay(double cycle_length_s, double effective_walk_s) {
    if (!(cycle_length_s > 0)) return 0.0;
    const double wait = cycle_length_s - effective_walk_s;
    return wait * wait / (2.0 * cycle_length_s);
}

double calculate_n15_per_lane(double volume_sum, double lanes) {
    return lanes > 0 ? volume_sum * QUARTER_HOUR / lanes : 0.0;
}

double calculate_cross_section_factor(double lanes_crossed) {
    return SCORE.cross_section_coeff * std::pow(lanes_crossed, SCORE.cross_section_exp);
}

double calculate_volume_factor(double v_rtor, double v_lt_perm, double num_rtci, double n15) {
    return (v_rtor + v_lt_perm) * SCORE.turning_coeff * QUARTER_HOUR -
           num_rtci * (SCORE.island_n15_coeff * n15 - SCORE.island_constant);
}

double calculate_speed_factor(double speed_85_mph, double n15) { return speed_85_mph * (n15 * SCORE.speed_coeff); }

// No delay, no delay term (the logarithm is not taken of 0); a delay below 1 s lowers the score.
double calculate_delay_factor(double delay) { return delay > 0 ? SCORE.delay_coeff * std::log(delay) : 0.0; }

PedestrianIntersectionAnalysis analyze(const PedestrianIntersection& c) {
    PedestrianIntersectionAnalysis r;
    r.effective_walk_s = calculate_effective_walk_time(c.walk_setting_s);
    r.delay = calculate_pedestrian_delay(c.cycle_length_s, r.effective_walk_s);
    r.n15_per_lane = calculate_n15_per_lane(c.crossed_street_volume_sum, c.crossed_street_lanes);
    r.f_w = calculate_cross_section_factor(c.lanes_crossed);
    r.f_v = calculate_volume_factor(c.v_rtor, c.v_lt_perm, c.num_rtci, r.n15_per_lane);
    r.f_s = calculate_speed_factor(c.speed_85_mph, r.n15_per_lane);
    r.f_delay = calculate_delay_factor(r.delay);
    r.los_score = ((r.f_w + SCORE.constant) + r.f_v) + r.f_s + r.f_delay;
    r.los = common::los_by_score(r.los_score);
    return r;
}

// ---- two-stage crossing (HCM Equations 19-78 through 19-88) -------------------------------------

namespace {

// a modulo the cycle, in [0, |C|): the remainder with the sign of a, brought up when negative.
double cycle_remainder(double a, double cycle) {
    const double r = std::fmod(a, cycle);
    return r < 0 ? r + std::fabs(cycle) : r;
}

// Average wait at the refuge of the pedestrians who arrive during the first-stage walk: they
// leave as they arrive, spread over g_x, and meet the second walk at offset O.
double calculate_walk_arrival_wait(double cycle, double g_x, double g_y, double offset) {
    const double d = g_x - g_y - offset;
    const double e = d + cycle;
    if (offset < g_x) {
        if (g_y + offset < g_x) return ((cycle - g_x) * d + 0.5 * (offset + d) * (offset + d)) / g_x;
        if (g_y + offset <= cycle) return offset * (0.5 * offset) / g_x;
        return 0.5 * (cycle - g_y) * (cycle - g_y) / g_x;
    }
    if (g_y + offset < cycle) return offset - 0.5 * g_x;
    if (g_y + offset <= g_x + cycle) return ((offset - g_x) * e + 0.5 * e * e) / g_x;
    return 0.0;
}

}  // namespace

double two_stage_crossing_delay(const TwoStageCrossing& x) {
    const double cycle = x.cycle_length_s;
    const double g_x = calculate_effective_walk_time(x.walk_setting_x_s);
    const double g_y = calculate_effective_walk_time(x.walk_setting_y_s);
    const double walk_time = x.walk_speed_fps > 0 ? x.first_stage_distance_ft / x.walk_speed_fps : 0.0;
    // Wait at the refuge of a pedestrian who leaves at the start of the first walk.
    const double offset =
        cycle_remainder(cycle_remainder(x.walk_start_y_s - x.walk_start_x_s, cycle) - walk_time, cycle);
    // Those arriving during the first-stage don't-walk leave together at the start of its walk.
    const double red_arrival_wait = offset < cycle - g_y ? offset : 0.0;
    const double walk_arrival_wait = calculate_walk_arrival_wait(cycle, g_x, g_y, offset);
    const double p_red = (cycle - g_x) / cycle;
    return (cycle - g_x) * (cycle - g_x) / (2.0 * cycle) + p_red * red_arrival_wait + (1.0 - p_red) * walk_arrival_wait;
}

// ---- JSON ----------------------------------------------------------------------------------------

const jsonio::Record<PedestrianIntersection>& json_record(jsonio::Tag<PedestrianIntersection>) {
    using R = PedestrianIntersection;
    static const jsonio::Record<R> record{
        "PedestrianIntersection",
        {
            jsonio::with_default("cycle_length_s", &R::cycle_length_s, 0.0),
            jsonio::with_default("walk_setting_s", &R::walk_setting_s, 7.0),
            jsonio::with_default("lanes_crossed", &R::lanes_crossed, 2.0),
            jsonio::with_default("v_rtor", &R::v_rtor, 0.0),
            jsonio::with_default("v_lt_perm", &R::v_lt_perm, 0.0),
            jsonio::with_default("num_rtci", &R::num_rtci, 0.0),
            jsonio::with_default("crossed_street_volume_sum", &R::crossed_street_volume_sum, 0.0),
            jsonio::with_default("crossed_street_lanes", &R::crossed_street_lanes, 2.0),
            jsonio::with_default("speed_85_mph", &R::speed_85_mph, 0.0),
        },
        jsonio::UnknownKeys::ignore,
        jsonio::ArrayForm::defaults_fill};
    return record;
}

const jsonio::Record<PedestrianIntersectionAnalysis>& json_record(jsonio::Tag<PedestrianIntersectionAnalysis>) {
    using R = PedestrianIntersectionAnalysis;
    static const jsonio::Record<R> record{"PedestrianIntersectionAnalysis",
                                          {
                                              jsonio::result("effective_walk_s", &R::effective_walk_s),
                                              jsonio::result("delay", &R::delay),
                                              jsonio::result("n15_per_lane", &R::n15_per_lane),
                                              jsonio::result("f_w", &R::f_w),
                                              jsonio::result("f_v", &R::f_v),
                                              jsonio::result("f_s", &R::f_s),
                                              jsonio::result("f_delay", &R::f_delay),
                                              jsonio::result("los_score", &R::los_score),
                                              jsonio::required("los", &R::los),
                                          }};
    return record;
}

const jsonio::Record<TwoStageCrossing>& json_record(jsonio::Tag<TwoStageCrossing>) {
    using R = TwoStageCrossing;
    static const jsonio::Record<R> record{"TwoStageCrossing",
                                          {
                                              jsonio::with_default("cycle_length_s", &R::cycle_length_s, 0.0),
                                              jsonio::with_default("walk_setting_x_s", &R::walk_setting_x_s, 5.0),
                                              jsonio::with_default("walk_setting_y_s", &R::walk_setting_y_s, 5.0),
                                              jsonio::with_default("first_stage_distance_ft",
                                                                   &R::first_stage_distance_ft, 0.0),
                                              jsonio::with_default("walk_speed_fps", &R::walk_speed_fps, 3.5),
                                              jsonio::with_default("walk_start_x_s", &R::walk_start_x_s, 0.0),
                                              jsonio::with_default("walk_start_y_s", &R::walk_start_y_s, 0.0),
                                          },
                                          jsonio::UnknownKeys::ignore,
                                          jsonio::ArrayForm::defaults_fill};
    return record;
}

std::string analyze_signalized_pedestrian(std::string_view config_json) {
    const auto crosswalk =
        jsonio::read_document_with_prefix<PedestrianIntersection>(config_json, "invalid pedestrian config: ");
    return jsonio::write_document(analyze(crosswalk));
}

double signalized_two_stage_crossing_delay(std::string_view config_json) {
    return two_stage_crossing_delay(
        jsonio::read_document_with_prefix<TwoStageCrossing>(config_json, "invalid two-stage config: "));
}

}  // namespace hcm::signalized::pedestrian
