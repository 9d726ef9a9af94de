#pragma once
// The HCM Chapter 19 terms that other methods reuse: the adjustment factors of the adjusted
// saturation flow rate, the permitted left-turn saturation flow, uniform delay with the
// progression adjustment, incremental delay, the initial-queue delay and the queue carried to the
// next period, and the first-term back of queue. The signalized intersection, the interchange
// ramp terminals and urban street reliability call them; none keeps a copy.
#include <cstdint>

#include "base/numeric.hpp"
#include "base/units.hpp"

namespace hcm::signal_delay {

// ---- Adjusted saturation flow rate (Equation 19-8 and its factors) ----
// Inline: the interchange computes them for every lane group of every analysis.

// Exhibit 19-20 and Equations 19-9 to 19-13: lane width bounds (ft) and factors, heavy vehicles
// and grade, area type, parking and bus blockage.
namespace saturation {
inline constexpr double NARROW_LANE_FT = 10.0;
inline constexpr double WIDE_LANE_FT = 12.9;
inline constexpr double NARROW_LANE_FACTOR = 0.96;
inline constexpr double WIDE_LANE_FACTOR = 1.04;
inline constexpr double HV_UPHILL = 0.78;
inline constexpr double GRADE_UPHILL_SQUARED = 0.31;
inline constexpr double HV_DOWNHILL = 0.79;
inline constexpr double GRADE_DOWNHILL = 2.07;
inline constexpr double CBD_FACTOR = 0.9;
inline constexpr double PARKING_LOSS_LANES = 0.1;
inline constexpr double PARKING_MANEUVER_S = 18.0;
inline constexpr double MAX_PARKING_MANEUVERS_H = 180.0;
inline constexpr double BUS_BLOCKAGE_S = 14.4;
inline constexpr double MAX_BUSES_H = 250.0;
inline constexpr double MIN_BLOCKAGE_FACTOR = 0.05;
// Exhibit 19-15: lane utilization of two and of three or more through lanes, and of two or more
// exclusive left- and right-turn lanes.
inline constexpr double LANE_UTILIZATION_2 = 0.952;
inline constexpr double LANE_UTILIZATION_3 = 0.908;
}  // namespace saturation
inline constexpr double LEFT_LANE_UTILIZATION = 0.971;
inline constexpr double RIGHT_LANE_UTILIZATION = 0.885;

// f_w.
inline double lane_width_factor(double width_ft) {
    namespace s = saturation;
    if (width_ft < s::NARROW_LANE_FT) return s::NARROW_LANE_FACTOR;
    return width_ft <= s::WIDE_LANE_FT ? 1.0 : s::WIDE_LANE_FACTOR;
}

// f_HVg: heavy vehicles and grade, uphill (with the grade squared) or downhill.
inline double heavy_vehicle_grade_factor(double pct_heavy_vehicles, double grade_pct) {
    namespace s = saturation;
    if (grade_pct >= 0.0)
        return (100.0 - s::HV_UPHILL * pct_heavy_vehicles - s::GRADE_UPHILL_SQUARED * grade_pct * grade_pct) / 100.0;
    return (100.0 - s::HV_DOWNHILL * pct_heavy_vehicles - s::GRADE_DOWNHILL * grade_pct) / 100.0;
}

// f_a.
inline double area_type_factor(bool cbd) { return cbd ? saturation::CBD_FACTOR : 1.0; }

// f_p = (N - 0.1 - 18 N_m / 3600) / N, N_m at most 180 maneuvers/h, the factor at least 0.05.
inline double parking_factor(double lanes, double maneuvers_h) {
    namespace s = saturation;
    const double n_m = base::min2(maneuvers_h, s::MAX_PARKING_MANEUVERS_H);
    return base::max2((lanes - s::PARKING_LOSS_LANES - s::PARKING_MANEUVER_S * n_m / base::units::SECONDS_PER_HOUR) /
                          lanes,
                      s::MIN_BLOCKAGE_FACTOR);
}

// f_bb = (N - 14.4 N_b / 3600) / N, N_b at most 250 buses/h, the factor at least 0.05.
inline double bus_blockage_factor(double lanes, double buses_h) {
    namespace s = saturation;
    const double n_b = base::min2(buses_h, s::MAX_BUSES_H);
    return base::max2((lanes - s::BUS_BLOCKAGE_S * n_b / base::units::SECONDS_PER_HOUR) / lanes,
                      s::MIN_BLOCKAGE_FACTOR);
}

// f_LU of a through lane group of `lanes` lanes.
inline double through_lane_utilization_factor(std::uint32_t lanes) {
    if (lanes <= 1) return 1.0;
    return lanes == 2 ? saturation::LANE_UTILIZATION_2 : saturation::LANE_UTILIZATION_3;
}

// Permitted left-turn gap acceptance: critical and follow-up headways (s).
inline constexpr double PERMITTED_CRITICAL_HEADWAY_S = 4.5;
inline constexpr double PERMITTED_FOLLOW_UP_HEADWAY_S = 2.5;

// What an opposing flow that is not a number gives: the trickle of 0.1 veh/h that stands in for no
// opposing flow (the signalized intersection), or a saturation flow that is not a number either
// (the interchange, whose undefined inputs show as undefined results).
enum class UndefinedOpposingFlow : std::uint8_t { Trickle, Propagates };

// Permitted left-turn saturation flow s_p = v_o e^(-4.5 v_o / 3600) / (1 - e^(-2.5 v_o / 3600))
// (veh/h/ln, before the lane group's factors) facing an opposing flow v_o, by gap acceptance; v_o of
// 0 or less counts as the trickle (unsignalized::NoConflictingFlow::TrickleFlow).
double permitted_left_sat_flow(double opposing_veh_h, UndefinedOpposingFlow undefined);

// ---- Delay (Equations 19-18 to 19-24) ----

// Uniform delay d1 (s/veh) by the progression-adjusted formula: effective green g, cycle C, v/c
// ratio X (taken at most 1), proportion on green P. A group without green waits the half cycle of
// the limit g -> 0 (progression factor 1); one green all cycle, or with every arrival on green at
// capacity (the limit of the progression factor), waits 0.
double uniform_delay(double green_s, double cycle_s, double vc_ratio, double p_on_green);

// What an analysis period that is not positive gives the incremental delay: 0, the limit T -> 0
// (the signalized intersection), or not a number (the interchange, whose travel times then show
// the period as undefined).
enum class WithoutPeriod : std::uint8_t { Zero, Undefined };

// Incremental delay d2 = 900 T [(X - 1) + sqrt((X - 1)^2 + 8 k I X / (c T))] (s/veh); 0 without
// capacity, with or without a period. A negative upstream filtering I counts as 0.
double incremental_delay(double vc_ratio, double capacity, double k, double upstream_filtering, double period_h,
                         WithoutPeriod without_period = WithoutPeriod::Zero);

// The initial-queue model (HCM Chapter 31): the duration of unmet demand t_A (h), the queue at the
// end of the period Q_e and its part Q_eo formed by demand above capacity (veh).
struct InitialQueue {
    double t_a = 0.0;
    double q_e = 0.0;
    double q_eo = 0.0;
};
InitialQueue initial_queue_terms(double initial_veh, double flow, double capacity, double period_h);

// Initial-queue delay d3 (s/veh) of a queue Q_b carried into the period, in the factored forms of
// the HCM's bracket: never negative and free of its cancellation at a vanishing flow. 0 without a
// queue, flow or period; a capacity below 1e-9 veh/h counts as 1e-9.
double initial_queue_delay(double initial_veh, double flow, double capacity, double period_h);

// The queue left at the end of the period (veh, at least 0) from Q_b at the start; without flow
// the queue is carried as it is.
double carried_queue(double initial_veh, double flow, double capacity, double period_h);

// ---- Back of queue (HCM Chapter 31) ----

// First-term back of queue Q1 (veh/ln) of a group served at one saturation flow in its green: flow,
// capacity and saturation flow per lane (veh/h/ln), effective green, cycle, proportion on green
// and the approach's speed limit (mi/h), whose discharge lag the queue leaves out.
double first_term_queue(double flow_per_lane, double capacity_per_lane, double sat_flow_per_lane, double green_s,
                        double cycle_s, double p_on_green, double speed_limit_mph);

// The time (s) of a queue's discharge that the first-term queue leaves out, from the approach
// speed S_a = 0.9 (25.6 + 0.47 S_pl) mi/h.
double queue_discharge_lag_s(double speed_limit_mph);

}  // namespace hcm::signal_delay
