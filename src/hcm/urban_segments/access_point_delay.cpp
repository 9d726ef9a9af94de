#include "hcm/urban_segments/access_point_delay.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "base/numeric.hpp"
#include "base/units.hpp"
#include "hcm/common/vehicle_spacing.hpp"
#include "hcm/unsignalized/unsignalized.hpp"
#include "hcm/urban_segments/exhibits.hpp"
#include "json/jsonio.hpp"

namespace hcm::urban_segments::access_point_delay {

namespace {

using base::max2;
using base::min2;
using base::units::SECONDS_PER_HOUR;

using namespace exhibits::access_point;

// Shortest analysis period the queue delay divides by (a numerical guard, not an HCM coefficient).
constexpr double MIN_PERIOD_H = 1e-6;

// Volume shares of one approach.
struct Shares {
    double volume;  // V
    double left;    // P_L
    double right;   // P_R
};

Shares shares_of(const AccessPointApproach& a) {
    const double v = a.v_lt + a.v_th + a.v_rt;
    if (v <= 0.0) return {v, 0.0, 0.0};
    return {v, a.v_lt / v, a.v_rt / v};
}

// Lanes n of the approach (at least counted as wide as 64 bits) and n' = max(n, 1).
std::uint64_t lanes_of(const AccessPointApproach& a) {
    return std::uint64_t{a.n_sl} + std::uint64_t{a.n_t} + std::uint64_t{a.n_sr};
}

// Queue delay of a lane with flow q and capacity s over the period T' (h), s/veh.
double queue_delay(double q, double s, double period_h) {
    if (s <= 0.0) return 0.0;
    const double x1 = q / s - 1.0;
    return SECONDS_PER_HOUR * (1.0 / s - 1.0 / BASE_SAT_FLOW) +
           QUEUE_DELAY_SCALE_S * period_h * (x1 + std::sqrt(x1 * x1 + QUEUE_DELAY_RANDOM_TERM * q / (period_h * s * s)));
}

double permitted_left_sat_flow(double v_o) {
    return unsignalized::potential_capacity(v_o, CRITICAL_HEADWAY_LT_S, FOLLOW_UP_HEADWAY_LT_S,
                                            unsignalized::NoConflictingFlow::BaseSaturationFlow);
}

// The probability e of a headway longer than t and its complement 1 - e, taken by expm1: at a light
// right-turn flow 1 - e is small, and it divides the mean below t and multiplies the delay.
struct Tail {
    double longer;   // e
    double shorter;  // 1 - e
};

// Shifted-exponential headways of the outside lane with mean h_m + 1.5 s.
struct Headways {
    double h_m;
    Tail tail(double t) const {
        const double x = -(t - MIN_HEADWAY_S) / h_m;
        return {std::exp(x), -std::expm1(x)};
    }
    // Mean headway of those shorter than t, given the tail at t.
    double mean_below(double t, Tail e) const { return h_m + (MIN_HEADWAY_S - t * e.longer) / e.shorter; }
};

// Delay to the through vehicles that follow a right-turning vehicle in the outside lane, s/veh.
double right_turn_deceleration_delay(const AccessPointApproach& a, double e_l, double speed_mph) {
    const LaneSplit split = lane_split(a, e_l, DECEL_SPLIT_CF, 1.0);
    const double s = MPH_TO_FT_S * speed_mph;
    if (s <= TURN_SPEED_FT_S || split.q_r <= 0.0) return 0.0;
    const Headways hw{SECONDS_PER_HOUR / split.q_r - MIN_HEADWAY_S};
    if (hw.h_m <= 0.0) return 0.0;

    // First follower.
    const double spacing_ft = common::queued_vehicle_spacing_ft(a.pct_heavy_veh);
    double t = max2(REACTION_TIME_S + (s - TURN_SPEED_FT_S) / DECEL_FT_S2 + spacing_ft / s, MIN_HEADWAY_S);
    Tail e = hw.tail(t);
    const double slowed = max2(s - DECEL_FT_S2 * (t - hw.mean_below(t, e)), TURN_SPEED_FT_S);
    double d = (s - slowed) * (s - slowed) / (2.0 * s) * DECEL_ACCEL_FACTOR;

    // d_rt = 0.67 sum_k (1 - p_r)^k d_k prod_(i<=k) (1 - e(t_i)), over the followers whose delay
    // is at least 0.1 s.
    const double not_turning = 1.0 - split.p_r;
    double weight = not_turning * e.shorter;
    double sum = weight * d;
    for (std::size_t k = 1; k < MAX_FOLLOWERS; ++k) {
        t = d + MIN_HEADWAY_S;
        e = hw.tail(t);
        const double next = d - (hw.mean_below(t, e) - MIN_HEADWAY_S);
        if (next < MIN_FOLLOWER_DELAY_S) break;
        d = next;
        weight *= not_turning * e.shorter;
        sum += weight * d;
    }
    return FOLLOWER_DELAY_SHARE * sum;
}

}  // namespace

const jsonio::Record<AccessPointApproach>& json_record(jsonio::Tag<AccessPointApproach>) {
    using A = AccessPointApproach;
    static const jsonio::Record<A> record{"AccessPointApproach",
                                          {
                                              jsonio::required("v_lt", &A::v_lt),
                                              jsonio::required("v_th", &A::v_th),
                                              jsonio::required("v_rt", &A::v_rt),
                                              jsonio::required("n_sl", &A::n_sl),
                                              jsonio::required("n_t", &A::n_t),
                                              jsonio::required("n_sr", &A::n_sr),
                                              jsonio::required("opposing_flow_veh_h", &A::opposing_flow_veh_h),
                                              jsonio::required("left_turn_bay", &A::left_turn_bay),
                                              jsonio::required("right_turn_bay", &A::right_turn_bay),
                                              jsonio::required("n_lt_lanes", &A::n_lt_lanes),
                                              jsonio::required("left_bay_storage_ft", &A::left_bay_storage_ft),
                                              jsonio::required("pct_heavy_veh", &A::pct_heavy_veh),
                                          }};
    return record;
}

// Extreme but finite approach inputs can make these non-finite; they are written as null and
// read back as not a number, so that a written document always reads back.
const jsonio::Record<AccessPointDelay>& json_record(jsonio::Tag<AccessPointDelay>) {
    using D = AccessPointDelay;
    static const jsonio::Record<D> record{"AccessPointDelay",
                                          {
                                              jsonio::result("delay_left_s", &D::delay_left_s),
                                              jsonio::result("delay_right_s", &D::delay_right_s),
                                              jsonio::result("delay_total_s", &D::delay_total_s),
                                              jsonio::result("prob_inside_lane_blocked", &D::prob_inside_lane_blocked),
                                          }};
    return record;
}

LaneSplit lane_split(const AccessPointApproach& a, double e, double cf, double w) {
    const std::uint64_t n = lanes_of(a);
    const double lanes = static_cast<double>(std::max<std::uint64_t>(n, 1));
    const Shares sh = shares_of(a);
    LaneSplit out;
    if (n >= 2) {
        const double alpha = w * (a.right_turn_bay ? 0.0 : RIGHT_TURN_LANE_CHOICE);
        const double big_a = (e - 1.0) * w + 1.0;
        const double p_right = a.right_turn_bay ? 0.0 : sh.right;
        const double p_left = a.left_turn_bay ? 0.0 : sh.left;
        const double b = 1.0 + p_right * alpha;
        const double b1 = b - p_left * (cf + ((cf + 1.0) * big_a - 1.0) * (lanes - 1.0));
        out.p_l = min2((std::sqrt(max2(b1 * b1 + 4.0 * cf * b * p_left * lanes, 0.0)) - b1) / (2.0 * cf * b), 1.0);
        const double z = (cf * out.p_l + 1.0) / ((big_a - 1.0) * out.p_l + 1.0 + cf * big_a * out.p_l) + lanes;
        out.p_r = min2(p_right * (z - 1.0) / (1.0 - alpha * p_right * (z - 2.0)), 1.0);
    } else {
        out.p_l = sh.left;
        out.p_r = sh.right;
    }
    out.q_l = out.p_l > 0.0 ? a.v_lt / out.p_l : 0.0;
    const double rest = sh.volume - out.q_l;
    out.q_r = out.p_r > 0.0 ? a.v_rt / out.p_r : rest / max2(lanes - 1.0, 1.0);
    out.q_m = n >= 3 ? (rest - out.q_r) / (lanes - 2.0) : out.q_r;
    return out;
}

AccessPointDelay approach_delay(const AccessPointApproach& a, double speed_mph, double analysis_period_h) {
    const double period_h = max2(analysis_period_h, MIN_PERIOD_H);
    const Shares sh = shares_of(a);
    const double p_through = 1.0 - sh.left - sh.right;
    const std::uint64_t n = lanes_of(a);
    const double lanes = static_cast<double>(std::max<std::uint64_t>(n, 1));

    // Left-turn equivalent and lane-choice weight, then the lane split.
    const double s_lt = permitted_left_sat_flow(a.opposing_flow_veh_h);
    const double e_l = a.left_turn_bay ? 1.0 : BASE_SAT_FLOW / s_lt;
    const double u = min2(sh.volume / lanes / LANE_CHOICE_FLOW, 1.0);
    const double w = max2(1.0 - (2.0 * u - 1.0) * (2.0 * u - 1.0), 0.0);
    const LaneSplit split = lane_split(a, e_l, 1.0, w);

    // Delay to inside-lane through vehicles: queue behind the left turns, or changing lanes.
    const double s_l = BASE_SAT_FLOW * (1.0 + split.p_l) / (1.0 + (e_l - 1.0) * split.p_l + e_l * split.p_l);
    const double d_q = queue_delay(split.q_l, s_l, period_h);
    double d_x = d_q;
    if (n >= 2) {
        const double q_a = split.q_m;
        double d_lc = 0.0;
        if (q_a > 0.0) {
            // Gap acceptance with critical and follow-up headways both the lane-change gap.
            const double c_lc = unsignalized::potential_capacity(q_a, LANE_CHANGE_GAP_S, LANE_CHANGE_GAP_S,
                                                                 unsignalized::NoConflictingFlow::FollowUpRate);
            if (c_lc > 0.0) d_lc = queue_delay(max2(split.q_l - a.v_lt, 0.0), c_lc, period_h);
        }
        d_x = min2(d_q, d_lc);
    }

    // Probability that the left-turn queue overflows into the inside lane.
    const double spacing_ft = common::queued_vehicle_spacing_ft(a.pct_heavy_veh);
    const double m =
        a.left_turn_bay ? 1.0 + a.left_bay_storage_ft * static_cast<double>(a.n_lt_lanes) / spacing_ft : 1.0;
    const double p_ov = s_lt > 0.0 ? min2(std::pow(a.v_lt / s_lt, m), 1.0) : 1.0;

    AccessPointDelay out;
    out.delay_left_s = split.p_l > 0.0 && p_through > 0.0
                           ? sh.left * p_ov * d_x * (1.0 / split.p_l - 1.0) / p_through
                           : 0.0;
    out.delay_right_s = a.right_turn_bay || p_through <= 0.0
                            ? 0.0
                            : sh.right * right_turn_deceleration_delay(a, e_l, speed_mph) / p_through;
    out.delay_total_s = out.delay_left_s + out.delay_right_s;
    out.prob_inside_lane_blocked = p_ov;
    return out;
}

double planning_estimate_delay(const PlanningEstimateInputs& in) {
    const double turn_factor = max2((in.pct_left_turns + in.pct_right_turns) / 20.0, 0.0);
    const double bay_factor = in.left_bay_adequate && in.right_bay_adequate   ? 0.0
                              : in.left_bay_adequate || in.right_bay_adequate ? 0.5
                                                                              : 1.0;
    const std::uint32_t lanes = std::max<std::uint32_t>(in.through_lanes, 1);
    const double per_access_point =
        exhibits::exhibit_18_13_delay(in.flow_veh_h / static_cast<double>(lanes), lanes);
    return in.access_points * (bay_factor * (turn_factor * per_access_point));
}

}  // namespace hcm::urban_segments::access_point_delay
