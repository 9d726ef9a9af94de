#pragma once
// HCM Chapter 18, Section 6: the transit method of an urban street segment. From the segment and
// the transit service on it, it computes the transit running speed, the delays at stops, running
// time and travel speed, the headway and perceived-travel-time factors, the wait-ride score, the
// segment transit LOS score and the LOS letter.
//
//   TransitAnalysis r = analyze(TransitSegment{});                   // all defaults
//   std::string out = analyze_transit_segment(R"({"transit_frequency": 2})");
//
// No input is refused for its range: degenerate inputs (a zero length, zero rates, a zero trip
// length) give infinite or not-a-number results, written to JSON as null, and a score that is not
// a number is LOS F.
#include <string>
#include <string_view>

#include "hcm/common/common.hpp"
#include "json/record_fwd.hpp"

namespace hcm::urban_segments::transit {

using common::LevelOfService;

struct TransitSegment {
    double length_ft = 1320.0;              // L
    double num_transit_stops = 1.0;         // N_ts on the segment
    double motor_running_speed = 30.0;      // S_R (mi/h) of the motorized vehicles
    double dwell_time_s = 20.0;             // t_d, average per stop
    double transit_frequency = 4.0;         // v_s (veh/h)
    double g_c_ratio = 0.45;                // g/C of the signal at a near-side stop
    bool near_side_signalized_stop = true;  // the stop is on the near side of a signal
    double accel_rate = 3.3;                // r_ac (ft/s2)
    double decel_rate = 4.0;                // r_dc (ft/s2)
    double reentry_delay_s = 0.0;           // d_re, per stop
    double through_delay_s = 0.0;           // d_t at the boundary intersection
    double passenger_load_factor = 0.0;     // L_f
    double prop_stops_shelter = 0.0;        // p_sh
    double prop_stops_bench = 0.0;          // p_be
    double passenger_trip_length = 3.7;     // L_pt (mi)
    double on_time_performance = 1.0;       // p_ot, share of on-time departures
    double late_threshold_min = 5.0;        // t_late (min)
    double base_travel_time_rate = 4.0;     // T_btt (min/mi)
    double ped_los_score_link = 0.0;        // I_p,link, pedestrian link LOS score
};

struct TransitAnalysis {
    double running_speed = 0.0;               // S_Rt (mi/h)
    double delay_accel_decel = 0.0;           // d_ad (s per stop)
    double delay_passenger_service = 0.0;     // d_ps (s per stop)
    double delay_stop = 0.0;                  // d_ts (s per stop)
    double running_time = 0.0;                // t_Rt (s)
    double travel_speed = 0.0;                // S_Tt (mi/h)
    double headway_factor = 0.0;              // F_h
    double perceived_travel_time_rate = 0.0;  // T_ptt (min/mi)
    double travel_time_factor = 0.0;          // F_tt
    double wait_ride_score = 0.0;             // s_w-r
    double segment_score = 0.0;               // I_t
    LevelOfService segment_los = LevelOfService::A;
};

const jsonio::Record<TransitSegment>& json_record(jsonio::Tag<TransitSegment>);
const jsonio::Record<TransitAnalysis>& json_record(jsonio::Tag<TransitAnalysis>);

// Step 1: S_Rt = min(S_R, 61 / (exp(N_ts 1185 / L - 1) + 1)), mi/h; a term that is not a number
// yields to the other.
double running_speed(const TransitSegment& s);
// Steps 2 to 5: the delays per stop, s.
struct StopDelays {
    double accel_decel = 0.0;        // d_ad = f_ad (1/r_ac + 1/r_dc) (S_Rt / 2) (5280/3600)
    double passenger_service = 0.0;  // d_ps = f_ad t_d
    double total = 0.0;              // d_ts = d_re + d_ps + d_ad
};
StopDelays stop_delays(const TransitSegment& s, double running_speed_mph);
// Step 8: F_h = 4 exp(-1.434 / (v_s + 0.001)).
double headway_factor(double transit_frequency_veh_h);
// Step 9: perceived travel time rate T_ptt, min/mi, from the travel speed S_Tt (mi/h). The load
// weighting ((L_f - 0.8) 4 / 4.2 + 1) applies at every load factor, below 0.8 as well.
double perceived_travel_time_rate(const TransitSegment& s, double travel_speed_mph);
// Step 10: F_tt = (-1.4 T_btt - 0.6 T_ptt) / (-1.4 T_ptt - 0.6 T_btt).
double travel_time_factor(double base_travel_time_rate, double perceived_travel_time_rate);
// Step 12: I_t = 0.15 I_p,link + 6.0 - 1.5 s_w-r.
double segment_score(double ped_link_score, double wait_ride_score);

// Steps 1 to 13.
TransitAnalysis analyze(const TransitSegment& s);

// Reads a TransitSegment (object or array form), analyses it and returns the result as compact
// JSON. Throws hcm::Error "invalid transit config: {reader message}".
std::string analyze_transit_segment(std::string_view config_json);

}  // namespace hcm::urban_segments::transit
