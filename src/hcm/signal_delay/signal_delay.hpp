#pragma once
// The HCM Chapter 19 terms that other methods reuse: the adjustment factors of the adjusted
// saturation flow rate, the permitted left-turn saturation flow, uniform delay with the
// progression adjustment, incremental delay, the initial-queue delay and the queue carried to the
// next period, and the first-term back of queue. The signalized intersection, the interchange
// ramp terminals and urban street reliability call them; none keeps a copy.
#include <cstdint>

namespace hcm::signal_delay {

// ---- Adjusted saturation flow rate (Equation 19-8 and its factors) ----

double lane_width_factor(double width_ft);                                       // f_w
double heavy_vehicle_grade_factor(double pct_heavy_vehicles, double grade_pct);  // f_HVg
double area_type_factor(bool cbd);                                               // f_a
// f_p = (N - 0.1 - 18 N_m / 3600) / N, N_m at most 180 maneuvers/h, the factor at least 0.05.
double parking_factor(double lanes, double maneuvers_h);
// f_bb = (N - 14.4 N_b / 3600) / N, N_b at most 250 buses/h, the factor at least 0.05.
double bus_blockage_factor(double lanes, double buses_h);
// f_LU of a through lane group of `lanes` lanes (1, 0.952 for two, 0.908 for more), and the
// defaults of two or more exclusive left- and right-turn lanes.
double through_lane_utilization_factor(std::uint32_t lanes);
inline constexpr double LEFT_LANE_UTILIZATION = 0.971;
inline constexpr double RIGHT_LANE_UTILIZATION = 0.885;

// Permitted left-turn gap acceptance: critical and follow-up headways (s).
inline constexpr double PERMITTED_CRITICAL_HEADWAY_S = 4.5;
inline constexpr double PERMITTED_FOLLOW_UP_HEADWAY_S = 2.5;
// The opposing flow that stands in for none (veh/h): the gap-acceptance formula's 0 / 0 at v_o = 0
// is taken at this trickle instead.
inline constexpr double TRICKLE_OPPOSING_FLOW = 0.1;

// What an opposing flow that is not a number gives: the trickle, as for no opposing flow (the
// signalized intersection), or a saturation flow that is not a number either (the interchange,
// whose undefined inputs show as undefined results).
enum class UndefinedOpposingFlow : std::uint8_t { Trickle, Propagates };

// Permitted left-turn saturation flow s_p = v_o e^(-4.5 v_o / 3600) / (1 - e^(-2.5 v_o / 3600))
// (veh/h/ln, before the lane group's factors) facing an opposing flow v_o; v_o of 0 or less counts
// as the trickle.
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
