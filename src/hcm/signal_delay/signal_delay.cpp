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

// Exhibit 19-20 and Equations 19-9 to 19-13: lane width bounds (ft) and factors, heavy vehicles
// and grade, area type, parking and bus blockage.
constexpr double NARROW_LANE_FT = 10.0;
constexpr double WIDE_LANE_FT = 12.9;
constexpr double NARROW_LANE_FACTOR = 0.96;
constexpr double WIDE_LANE_FACTOR = 1.04;
constexpr double HV_UPHILL = 0.78;
constexpr double GRADE_UPHILL_SQUARED = 0.31;
constexpr double HV_DOWNHILL = 0.79;
constexpr double GRADE_DOWNHILL = 2.07;
constexpr double CBD_FACTOR = 0.9;
constexpr double PARKING_LOSS_LANES = 0.1;
constexpr double PARKING_MANEUVER_S = 18.0;
constexpr double MAX_PARKING_MANEUVERS_H = 180.0;
constexpr double BUS_BLOCKAGE_S = 14.4;
constexpr double MAX_BUSES_H = 250.0;
constexpr double MIN_BLOCKAGE_FACTOR = 0.05;
// Exhibit 19-15: lane utilization of two and of three or more through lanes.
constexpr double LANE_UTILIZATION_2 = 0.952;
constexpr double LANE_UTILIZATION_3 = 0.908;

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

double lane_width_factor(double width_ft) {
    if (width_ft < NARROW_LANE_FT) return NARROW_LANE_FACTOR;
    return width_ft <= WIDE_LANE_FT ? 1.0 : WIDE_LANE_FACTOR;
}

double heavy_vehicle_grade_factor(double pct_heavy_vehicles, double grade_pct) {
    if (grade_pct >= 0.0)
        return (100.0 - HV_UPHILL * pct_heavy_vehicles - GRADE_UPHILL_SQUARED * grade_pct * grade_pct) / 100.0;
    return (100.0 - HV_DOWNHILL * pct_heavy_vehicles - GRADE_DOWNHILL * grade_pct) / 100.0;
}

double area_type_factor(bool cbd) { return cbd ? CBD_FACTOR : 1.0; }

double parking_factor(double lanes, double maneuvers_h) {
    const double n_m = min2(maneuvers_h, MAX_PARKING_MANEUVERS_H);
    return max2((lanes - PARKING_LOSS_LANES - PARKING_MANEUVER_S * n_m / SECONDS_PER_HOUR) / lanes,
                MIN_BLOCKAGE_FACTOR);
}

double bus_blockage_factor(double lanes, double buses_h) {
    const double n_b = min2(buses_h, MAX_BUSES_H);
    return max2((lanes - BUS_BLOCKAGE_S * n_b / SECONDS_PER_HOUR) / lanes, MIN_BLOCKAGE_FACTOR);
}

double through_lane_utilization_factor(std::uint32_t lanes) {
    if (lanes <= 1) return 1.0;
    return lanes == 2 ? LANE_UTILIZATION_2 : LANE_UTILIZATION_3;
}

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
