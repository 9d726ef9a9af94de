#include "hcm/urban_segments/transit.hpp"

#include <cmath>

#include "base/numeric.hpp"
#include "base/units.hpp"
#include "hcm/urban_segments/exhibits.hpp"
#include "hcm/urban_segments/multimodal.hpp"
#include "json/jsonio.hpp"

namespace hcm::urban_segments::transit {

namespace {

using base::units::SECONDS_PER_HOUR;
using base::units::FT_PER_MI;
using base::units::FT_S_PER_MI_H;

using base::units::MINUTES_PER_HOUR;
using namespace exhibits::transit;

}  // namespace

const jsonio::Record<TransitSegment>& json_record(jsonio::Tag<TransitSegment>) {
    using T = TransitSegment;
    using jsonio::with_default;
    static const jsonio::Record<T> record{
        "TransitSegment",
        {
            with_default("length_ft", &T::length_ft, 1320.0),
            with_default("num_transit_stops", &T::num_transit_stops, 1.0),
            with_default("motor_running_speed", &T::motor_running_speed, 30.0),
            with_default("dwell_time_s", &T::dwell_time_s, 20.0),
            with_default("transit_frequency", &T::transit_frequency, 4.0),
            with_default("g_c_ratio", &T::g_c_ratio, 0.45),
            with_default("near_side_signalized_stop", &T::near_side_signalized_stop, true),
            with_default("accel_rate", &T::accel_rate, 3.3),
            with_default("decel_rate", &T::decel_rate, 4.0),
            with_default("reentry_delay_s", &T::reentry_delay_s, 0.0),
            with_default("through_delay_s", &T::through_delay_s, 0.0),
            with_default("passenger_load_factor", &T::passenger_load_factor, 0.0),
            with_default("prop_stops_shelter", &T::prop_stops_shelter, 0.0),
            with_default("prop_stops_bench", &T::prop_stops_bench, 0.0),
            with_default("passenger_trip_length", &T::passenger_trip_length, 3.7),
            with_default("on_time_performance", &T::on_time_performance, 1.0),
            with_default("late_threshold_min", &T::late_threshold_min, 5.0),
            with_default("base_travel_time_rate", &T::base_travel_time_rate, 4.0),
            with_default("ped_los_score_link", &T::ped_los_score_link, 0.0),
        },
        jsonio::UnknownKeys::ignore,
        jsonio::ArrayForm::defaults_fill};
    return record;
}

const jsonio::Record<TransitAnalysis>& json_record(jsonio::Tag<TransitAnalysis>) {
    using A = TransitAnalysis;
    using jsonio::result;
    static const jsonio::Record<A> record{"TransitAnalysis",
                                          {
                                              result("running_speed", &A::running_speed),
                                              result("delay_accel_decel", &A::delay_accel_decel),
                                              result("delay_passenger_service", &A::delay_passenger_service),
                                              result("delay_stop", &A::delay_stop),
                                              result("running_time", &A::running_time),
                                              result("travel_speed", &A::travel_speed),
                                              result("headway_factor", &A::headway_factor),
                                              result("perceived_travel_time_rate", &A::perceived_travel_time_rate),
                                              result("travel_time_factor", &A::travel_time_factor),
                                              result("wait_ride_score", &A::wait_ride_score),
                                              result("segment_score", &A::segment_score),
                                              jsonio::required("segment_los", &A::segment_los),
                                          }};
    return record;
}

double running_speed(const TransitSegment& s) {
    const double x = std::exp(s.num_transit_stops * STOP_SPACING_FT / s.length_ft - 1.0);
    return base::min2(s.motor_running_speed, MAX_RUNNING_SPEED_MPH / (x + 1.0));
}

StopDelays stop_delays(const TransitSegment& s, double running_speed_mph) {
    // At a near-side stop of a signal only the share g/C of these delays counts: the rest overlaps
    // the delay of the signal itself.
    const double f_ad = s.near_side_signalized_stop ? s.g_c_ratio : 1.0;
    StopDelays d;
    d.accel_decel = f_ad * ((1.0 / s.accel_rate + 1.0 / s.decel_rate) * ((running_speed_mph * 0.5) * FT_S_PER_MI_H));
    d.passenger_service = f_ad * s.dwell_time_s;
    d.total = s.reentry_delay_s + (d.passenger_service + d.accel_decel);
    return d;
}

double headway_factor(double transit_frequency_veh_h) {
    return std::exp(HEADWAY_COEFF / (transit_frequency_veh_h + HEADWAY_FREQUENCY_OFFSET)) * HEADWAY_SCALE;
}

double perceived_travel_time_rate(const TransitSegment& s, double travel_speed_mph) {
    const double amenity =
        (s.prop_stops_shelter * SHELTER_WEIGHT_MIN + s.prop_stops_bench * BENCH_WEIGHT_MIN) / s.passenger_trip_length;
    const double late = s.late_threshold_min * (1.0 - s.on_time_performance);
    const double excess_wait = (late * late) / s.passenger_trip_length;
    const double load_weight =
        ((s.passenger_load_factor - LOAD_FACTOR_THRESHOLD) * LOAD_WEIGHT_SLOPE) / LOAD_WEIGHT_DIVISOR + 1.0;
    return (excess_wait + excess_wait) + load_weight * (MINUTES_PER_HOUR / travel_speed_mph) - amenity;
}

double travel_time_factor(double base_travel_time_rate, double perceived_travel_time_rate) {
    return (base_travel_time_rate * ELASTICITY_BASE - perceived_travel_time_rate * ELASTICITY_PERCEIVED) /
           (perceived_travel_time_rate * ELASTICITY_BASE - base_travel_time_rate * ELASTICITY_PERCEIVED);
}

double segment_score(double ped_link_score, double wait_ride_score) {
    return PED_SCORE_WEIGHT * ped_link_score + (wait_ride_score * WAIT_RIDE_COEFF + SCORE_CONST);
}

TransitAnalysis analyze(const TransitSegment& s) {
    TransitAnalysis r;
    r.running_speed = running_speed(s);
    const StopDelays delays = stop_delays(s, r.running_speed);
    r.delay_accel_decel = delays.accel_decel;
    r.delay_passenger_service = delays.passenger_service;
    r.delay_stop = delays.total;
    // Steps 6 and 7: running time over the segment with its stops, and the travel speed with the
    // through delay at the boundary intersection.
    r.running_time =
        (s.length_ft * SECONDS_PER_HOUR) / (r.running_speed * FT_PER_MI) + s.num_transit_stops * r.delay_stop;
    r.travel_speed = (s.length_ft * SECONDS_PER_HOUR) / ((s.through_delay_s + r.running_time) * FT_PER_MI);
    r.headway_factor = headway_factor(s.transit_frequency);
    r.perceived_travel_time_rate = perceived_travel_time_rate(s, r.travel_speed);
    r.travel_time_factor = travel_time_factor(s.base_travel_time_rate, r.perceived_travel_time_rate);
    r.wait_ride_score = r.headway_factor * r.travel_time_factor;  // Step 11
    r.segment_score = segment_score(s.ped_los_score_link, r.wait_ride_score);
    // Step 13. A score that is not a number (a zero length, zero rates) is F, as for the
    // pedestrian and bicycle modes, never the best letter.
    r.segment_los = multimodal::segment_score_los(r.segment_score);
    return r;
}

std::string analyze_transit_segment(std::string_view config_json) {
    const auto s = jsonio::read_document_with_prefix<TransitSegment>(config_json, "invalid transit config: ");
    return jsonio::write_document_with_prefix(analyze(s), "serialize error: ");
}

}  // namespace hcm::urban_segments::transit
