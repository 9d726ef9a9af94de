#pragma once
// The HCM Chapter 19 terms that other methods reuse: the adjustment factors of the adjusted
// saturation flow rate, the permitted left-turn saturation flow, uniform delay with the
// progression adjustment, incremental delay, the initial-queue delay and the queue carried to the
// next period, and the first-term back of queue. The signalized intersection, the interchange
// ramp terminals and urban street reliability call them; none keeps a copy.
#include <cmath>
#include <cstdint>
#include <limits>

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
inline double uniform_delay(double green_s, double cycle_s, double vc_ratio, double p_on_green);

// What an analysis period that is not positive gives the incremental delay: 0, the limit T -> 0
// (the signalized intersection), or not a number (the interchange, whose travel times then show
// the period as undefined).
enum class WithoutPeriod : std::uint8_t { Zero, Undefined };

// Incremental delay d2 = 900 T [(X - 1) + sqrt((X - 1)^2 + 8 k I X / (c T))] (s/veh) of a flow v at
// a capacity c (veh/h), X = v / c. Without capacity (c of 0 or less), with or without a period, a
// flow that is there never clears and its delay is unbounded, +inf (the limit c -> 0 of the term,
// about 1,800 T v / c); no flow is no delay. A capacity that is not a number gives 0. A negative
// upstream filtering I counts as 0.
inline double incremental_delay(double flow, double capacity, double k, double upstream_filtering,
                                double period_h, WithoutPeriod without_period = WithoutPeriod::Zero);

// The initial-queue model (HCM Chapter 31): the duration of unmet demand t_A (h), the queue at the
// end of the period Q_e and its part Q_eo formed by demand above capacity (veh).
struct InitialQueue {
    double t_a = 0.0;
    double q_e = 0.0;
    double q_eo = 0.0;
};
inline InitialQueue initial_queue_terms(double initial_veh, double flow, double capacity, double period_h);

// What a capacity of 0 (or below) gives the initial-queue delay of a carried queue: the delay at
// the least capacity of 1e-9 veh/h, huge but finite (the signalized intersection), or the unbounded
// delay of a queue that never clears, +inf (the interchange and urban street reliability). Any
// other capacity below 1e-9 veh/h counts as 1e-9 under both.
enum class ZeroCapacity : std::uint8_t { Floor, Unbounded };

// Initial-queue delay d3 (s/veh) of a queue Q_b carried into the period, in the factored forms of
// the HCM's bracket: never negative and free of its cancellation at a vanishing flow. 0 without a
// queue, flow or period; a capacity of 0 or below follows `zero_capacity`.
inline double initial_queue_delay(double initial_veh, double flow, double capacity, double period_h,
                                  ZeroCapacity zero_capacity = ZeroCapacity::Floor);

// The queue left at the end of the period (veh, at least 0) from Q_b at the start; without flow
// the queue is carried as it is.
inline double carried_queue(double initial_veh, double flow, double capacity, double period_h);

// ---- Back of queue (HCM Chapter 31) ----

// First-term back of queue Q1 (veh/ln) of a group served at one saturation flow in its green: flow,
// capacity and saturation flow per lane (veh/h/ln), effective green, cycle, proportion on green
// and the approach's speed limit (mi/h), whose discharge lag the queue leaves out.
inline double first_term_queue(double flow_per_lane, double capacity_per_lane, double sat_flow_per_lane,
                               double green_s, double cycle_s, double p_on_green, double speed_limit_mph);

// Second-term back of queue Q2 = c d2 / (3600 N) (veh/ln) of a group of N lanes at capacity c
// (veh/h) with incremental delay d2 (s/veh). A flow without capacity, whose d2 is unbounded, has an
// unbounded queue too (c d2 would be 0 x inf).
inline double second_term_queue(double capacity, double lanes, double incremental_delay_s);

// Approach speed S_a = 0.9 (25.6 + 0.47 S_pl) mi/h of an approach with speed limit S_pl.
inline double approach_speed_mph(double speed_limit_mph);

// The time (s) of a queue's discharge that the first-term queue leaves out, from the approach
// speed S_a.
inline double queue_discharge_lag_s(double speed_limit_mph);


// ---- Definitions of the delay and queue terms (inline: the chapters evaluate them for every lane
// group of every analysis) ----

namespace detail {

// Incremental delay d2 = 900 T [(X - 1) + sqrt((X - 1)^2 + 8 k I X / (c T))]: 900,
// a quarter of the seconds per hour, and the 8 of the random-arrival term.
inline constexpr double INCREMENTAL_DELAY_SCALE_S = 900.0;
inline constexpr double INCREMENTAL_DELAY_RANDOM_TERM = 8.0;
// The largest g/C the progression factor takes (its 1 - g/C divides).
inline constexpr double MAX_PROGRESSION_GC = 0.999999;
// Least capacity of the initial-queue delay (veh/h).
inline constexpr double MIN_QUEUE_CAPACITY = 1e-9;
// Least red of the first-term queue (s).
inline constexpr double MIN_RED_S = 1e-9;

// Discharge lag of the first-term queue: approach speed S_a = 0.9 (25.6 + 0.47 S_pl) mi/h, the
// speed gained from 5 mi/h at 1.47 ft/s per mi/h and the acceleration terms.
inline constexpr double APPROACH_SPEED_FACTOR = 0.9;
inline constexpr double APPROACH_SPEED_CONSTANT = 25.6;
inline constexpr double APPROACH_SPEED_FROM_LIMIT = 0.47;
inline constexpr double DISCHARGE_SPEED_OFFSET = 5.0;
inline constexpr double FT_S_PER_MI_H = 1.47;
inline constexpr double ACCELERATION_DIVISOR = 2.94;
inline constexpr double ACCELERATION_TIME_FACTOR = 0.5357142857142857;

}  // namespace detail

inline double uniform_delay(double green_s, double cycle_s, double vc_ratio, double p_on_green) {
    if (!(green_s > 0.0)) return 0.5 * cycle_s;  // the limit g -> 0, progression factor 1
    const double gc = green_s / cycle_s;
    if (!(gc < 1.0)) return 0.0;
    const double gc_capped = base::min2(gc, detail::MAX_PROGRESSION_GC), x = base::min2(vc_ratio, 1.0);
    const double p = p_on_green;
    // Every arrival on green at or above capacity: the progression factor's limit is 0.
    if (x * p == 1.0) return 0.0;
    const double pf = ((1.0 - p) / (1.0 - gc_capped)) * ((1.0 - x * gc_capped) / (1.0 - x * p)) *
                      (1.0 + x * gc_capped * (1.0 - p / gc_capped) / (1.0 - gc_capped));
    return 0.5 * cycle_s * (1.0 - gc) * (1.0 - gc) * pf / (1.0 - x * gc);
}

inline double incremental_delay(double flow, double capacity, double k, double upstream_filtering,
                                double period_h, WithoutPeriod without_period) {
    if (!(capacity > 0.0)) return flow > 0.0 && capacity <= 0.0 ? base::units::INF : 0.0;
    if (!(period_h > 0.0))
        return without_period == WithoutPeriod::Zero ? 0.0 : std::numeric_limits<double>::quiet_NaN();
    const double x = flow / capacity;
    // I runs from 0 (arrivals fully metered upstream) to 1 (random arrivals); a negative I is taken
    // as 0, whose delay is the least the term can give (0 below capacity), never a negative one.
    const double filtering = base::max2(upstream_filtering, 0.0);
    const double root =
        (x - 1.0) * (x - 1.0) + detail::INCREMENTAL_DELAY_RANDOM_TERM * k * filtering * x / (period_h * capacity);
    return detail::INCREMENTAL_DELAY_SCALE_S * period_h * ((x - 1.0) + std::sqrt(base::max2(root, 0.0)));
}

inline InitialQueue initial_queue_terms(double initial_veh, double flow, double capacity, double period_h) {
    InitialQueue t;
    if (flow >= capacity) {
        t.t_a = period_h;
        t.q_eo = period_h * (flow - capacity);
    } else {
        t.t_a = base::min2(initial_veh / (capacity - flow), period_h);
    }
    // Without unmet demand (an unbounded capacity clears it at once) the queue stays as it was.
    t.q_e = t.t_a > 0.0 ? initial_veh + t.t_a * (flow - capacity) : initial_veh;
    return t;
}

inline double initial_queue_delay(double initial_veh, double flow, double capacity, double period_h,
                                  ZeroCapacity zero_capacity) {
    if (!(period_h > 0.0) || !(initial_veh > 0.0) || !(flow > 0.0)) return 0.0;
    if (zero_capacity == ZeroCapacity::Unbounded && capacity <= 0.0) return base::units::INF;
    const double c = base::max2(capacity, detail::MIN_QUEUE_CAPACITY);
    const InitialQueue t = initial_queue_terms(initial_veh, flow, c, period_h);
    // The bracket of the HCM's d3, (Q_e^2 - Q_eo^2) / 2c + t_A (Q_b + Q_e - Q_eo) / 2 - Q_b^2 / 2c,
    // in its factored forms: equal in exact arithmetic, never negative, and free of the cancellation
    // that turns a flow of a few 1e-15 veh/h (the residue of a lane-flow split) into a delay of
    // several seconds of either sign. Below capacity the bracket is proportional to v, which the
    // 3600 / (v T) in front then cancels.
    double per_flow = 0.0;  // bracket / v
    if (flow >= c) {
        per_flow = (initial_veh * t.q_eo / c + t.t_a * initial_veh) / flow;
    } else if (t.t_a < period_h) {
        per_flow = initial_veh * initial_veh / (2.0 * c * (c - flow));  // queue cleared at t_A
    } else {
        per_flow = (initial_veh + t.q_e) * period_h / (2.0 * c);  // queue left at the end of T
    }
    return base::units::SECONDS_PER_HOUR / period_h * per_flow;
}

inline double carried_queue(double initial_veh, double flow, double capacity, double period_h) {
    if (!(flow > 0.0)) return initial_veh;
    return base::max2(initial_queue_terms(initial_veh, flow, capacity, period_h).q_e, 0.0);
}

inline double second_term_queue(double capacity, double lanes, double incremental_delay_s) {
    if (incremental_delay_s == base::units::INF) return base::units::INF;
    return capacity / (base::units::SECONDS_PER_HOUR * lanes) * incremental_delay_s;
}

inline double approach_speed_mph(double speed_limit_mph) {
    namespace d = detail;
    return d::APPROACH_SPEED_FACTOR * (d::APPROACH_SPEED_CONSTANT + d::APPROACH_SPEED_FROM_LIMIT * speed_limit_mph);
}

inline double queue_discharge_lag_s(double speed_limit_mph) {
    namespace d = detail;
    const double s_a = approach_speed_mph(speed_limit_mph);
    const double v = (s_a - d::DISCHARGE_SPEED_OFFSET) * d::FT_S_PER_MI_H;
    return v * v / (d::ACCELERATION_DIVISOR * s_a) * d::ACCELERATION_TIME_FACTOR;
}

inline double first_term_queue(double v_lane, double c_lane, double s_lane, double green, double cycle,
                               double p_on_green, double speed_limit_mph) {
    if (!(s_lane > 0.0) || !(v_lane > 0.0) || !(green > 0.0)) return 0.0;
    const double t_a = queue_discharge_lag_s(speed_limit_mph);
    const double q = base::min2(v_lane, c_lane) / base::units::SECONDS_PER_HOUR;
    const double s_sec = s_lane / base::units::SECONDS_PER_HOUR;
    const double red = cycle - green;
    const double x_lane = c_lane > 0.0 ? v_lane / c_lane : 1.0;
    const double x_capped = base::min2(x_lane, 1.0);
    const double q_r = cycle * q * (1.0 - p_on_green) / base::max2(red, detail::MIN_RED_S);
    double q1 = 0.0;
    if (t_a <= x_lane * (1.0 - p_on_green) * green) {
        const double q_g = cycle * q * p_on_green / green;
        q1 = red * q_r + q_g * (cycle * q * (1.0 - p_on_green - t_a * p_on_green / green) /
                                    (s_sec * (1.0 - x_capped * p_on_green)) -
                                t_a);
    } else {
        q1 = q_r * (red - t_a + cycle * q * (1.0 - p_on_green) * (red - t_a) /
                                    (s_sec * (red - x_capped * (1.0 - p_on_green) * green)));
    }
    return base::max2(q1, 0.0);
}

}  // namespace hcm::signal_delay
