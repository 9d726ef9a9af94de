#include "hcm/signal_delay/signal_delay.hpp"

#include <cmath>
#include <limits>

#include "base/numeric.hpp"
#include "base/units.hpp"
#include "hcm/unsignalized/unsignalized.hpp"

namespace hcm::signal_delay {

using base::max2;
using base::min2;
using base::units::SECONDS_PER_HOUR;

namespace {

// The largest g/C the progression factor takes (its 1 - g/C divides).
constexpr double MAX_PROGRESSION_GC = 0.999999;
// Least capacity of the initial-queue delay (veh/h).
constexpr double MIN_QUEUE_CAPACITY = 1e-9;
// Least red of the first-term queue (s).
constexpr double MIN_RED_S = 1e-9;

// Discharge lag of the first-term queue: approach speed S_a = 0.9 (25.6 + 0.47 S_pl) mi/h, the
// speed gained from 5 mi/h at 1.47 ft/s per mi/h and the acceleration terms.
constexpr double APPROACH_SPEED_FACTOR = 0.9;
constexpr double APPROACH_SPEED_CONSTANT = 25.6;
constexpr double APPROACH_SPEED_FROM_LIMIT = 0.47;
constexpr double DISCHARGE_SPEED_OFFSET = 5.0;
constexpr double FT_S_PER_MI_H = 1.47;
constexpr double ACCELERATION_DIVISOR = 2.94;
constexpr double ACCELERATION_TIME_FACTOR = 0.5357142857142857;

}  // namespace

double permitted_left_sat_flow(double opposing_veh_h, UndefinedOpposingFlow undefined) {
    const double v_o = undefined == UndefinedOpposingFlow::Trickle && std::isnan(opposing_veh_h) ? 0.0 : opposing_veh_h;
    return unsignalized::potential_capacity(v_o, PERMITTED_CRITICAL_HEADWAY_S, PERMITTED_FOLLOW_UP_HEADWAY_S,
                                            unsignalized::NoConflictingFlow::TrickleFlow);
}

double uniform_delay(double green_s, double cycle_s, double vc_ratio, double p_on_green) {
    if (!(green_s > 0.0)) return 0.5 * cycle_s;  // the limit g -> 0, progression factor 1
    const double gc = green_s / cycle_s;
    if (!(gc < 1.0)) return 0.0;
    const double gc_capped = min2(gc, MAX_PROGRESSION_GC), x = min2(vc_ratio, 1.0), p = p_on_green;
    // Every arrival on green at or above capacity: the progression factor's limit is 0.
    if (x * p == 1.0) return 0.0;
    const double pf = ((1.0 - p) / (1.0 - gc_capped)) * ((1.0 - x * gc_capped) / (1.0 - x * p)) *
                      (1.0 + x * gc_capped * (1.0 - p / gc_capped) / (1.0 - gc_capped));
    return 0.5 * cycle_s * (1.0 - gc) * (1.0 - gc) * pf / (1.0 - x * gc);
}

double incremental_delay(double vc_ratio, double capacity, double k, double upstream_filtering, double period_h,
                         WithoutPeriod without_period) {
    if (!(capacity > 0.0)) return 0.0;
    if (!(period_h > 0.0))
        return without_period == WithoutPeriod::Zero ? 0.0 : std::numeric_limits<double>::quiet_NaN();
    const double x = vc_ratio;
    // I runs from 0 (arrivals fully metered upstream) to 1 (random arrivals); a negative I is taken
    // as 0, whose delay is the least the term can give (0 below capacity), never a negative one.
    const double filtering = max2(upstream_filtering, 0.0);
    const double root = (x - 1.0) * (x - 1.0) + 8.0 * k * filtering * x / (period_h * capacity);
    return 900.0 * period_h * ((x - 1.0) + std::sqrt(max2(root, 0.0)));
}

InitialQueue initial_queue_terms(double initial_veh, double flow, double capacity, double period_h) {
    InitialQueue t;
    if (flow >= capacity) {
        t.t_a = period_h;
        t.q_eo = period_h * (flow - capacity);
    } else {
        t.t_a = min2(initial_veh / (capacity - flow), period_h);
    }
    // Without unmet demand (an unbounded capacity clears it at once) the queue stays as it was.
    t.q_e = t.t_a > 0.0 ? initial_veh + t.t_a * (flow - capacity) : initial_veh;
    return t;
}

double initial_queue_delay(double initial_veh, double flow, double capacity, double period_h) {
    if (!(period_h > 0.0) || !(initial_veh > 0.0) || !(flow > 0.0)) return 0.0;
    const double c = max2(capacity, MIN_QUEUE_CAPACITY);
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
    return SECONDS_PER_HOUR / period_h * per_flow;
}

double carried_queue(double initial_veh, double flow, double capacity, double period_h) {
    if (!(flow > 0.0)) return initial_veh;
    return max2(initial_queue_terms(initial_veh, flow, capacity, period_h).q_e, 0.0);
}

double queue_discharge_lag_s(double speed_limit_mph) {
    const double s_a = APPROACH_SPEED_FACTOR * (APPROACH_SPEED_CONSTANT + APPROACH_SPEED_FROM_LIMIT * speed_limit_mph);
    const double v = (s_a - DISCHARGE_SPEED_OFFSET) * FT_S_PER_MI_H;
    return v * v / (ACCELERATION_DIVISOR * s_a) * ACCELERATION_TIME_FACTOR;
}

double first_term_queue(double v_lane, double c_lane, double s_lane, double green, double cycle, double p_on_green,
                        double speed_limit_mph) {
    if (!(s_lane > 0.0) || !(v_lane > 0.0) || !(green > 0.0)) return 0.0;
    const double t_a = queue_discharge_lag_s(speed_limit_mph);
    const double q = min2(v_lane, c_lane) / SECONDS_PER_HOUR;
    const double s_sec = s_lane / SECONDS_PER_HOUR;
    const double red = cycle - green;
    const double x_lane = c_lane > 0.0 ? v_lane / c_lane : 1.0;
    const double x_capped = min2(x_lane, 1.0);
    const double q_r = cycle * q * (1.0 - p_on_green) / max2(red, MIN_RED_S);
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
    return max2(q1, 0.0);
}

}  // namespace hcm::signal_delay
