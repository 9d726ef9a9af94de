#pragma once
// The unsignalized-movement equations that several methods share (HCM Chapters 20 to 23 and 30):
// potential capacity by gap acceptance, control delay with its deceleration term and the
// 95th-percentile queue. Two-way and all-way STOP control, roundabouts, the interchange's yielding
// turns, the alternative intersections' STOP junctions, the access-point delay of urban segments
// and the signalized permitted left turn call them; none keeps a copy.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "base/units.hpp"

namespace hcm::unsignalized {

// What a conflicting flow of 0 or less gives, where the gap-acceptance formula is 0 / 0. The
// chapters take three limits:
enum class NoConflictingFlow : std::uint8_t {
    // 3600 / t_f, the formula's limit as v_c -> 0 (two-way STOP control, alternative
    // intersections); so does a conflicting flow that is not a number.
    FollowUpRate,
    // The base saturation flow of 1,800 veh/h (permitted left turns at an access point), also where
    // the denominator vanishes or the flow is not a number.
    BaseSaturationFlow,
    // The formula at a trickle of 0.1 veh/h (the Chapter 19 permitted left-turn saturation flow); a
    // flow that is not a number gives a capacity that is not a number.
    TrickleFlow,
};

inline constexpr double BASE_SATURATION_FLOW = 1800.0;  // veh/h
inline constexpr double TRICKLE_FLOW = 0.1;            // veh/h

// Potential capacity c_p = v_c e^(-v_c t_c / 3600) / (1 - e^(-v_c t_f / 3600)) (veh/h) of a
// movement crossing a conflicting flow v_c (veh/h) with critical headway t_c and follow-up
// headway t_f (s); accurate at any positive v_c, so that it tends to 3600 / t_f as v_c -> 0.
double potential_capacity(double conflicting_veh_h, double critical_headway_s, double follow_up_headway_s,
                          NoConflictingFlow none);

// The deceleration term after the queue terms: 5 s to every vehicle (STOP control), or 5 min(x, 1)
// s (roundabout entries and yielding turns, where a vehicle without conflict does not stop).
enum class DecelerationTerm : std::uint8_t { Full, UpToCapacity };

// Divisors of the queue term: 450 T for delay (Equation 20-64), 150 T for the 95th-percentile
// queue (Equation 20-66); the deceleration term (s).
inline constexpr double DELAY_DIVISOR = 450.0;
inline constexpr double QUEUE_95_DIVISOR = 150.0;
inline constexpr double DECELERATION_S = 5.0;

// 900 T [(x - 1) + sqrt((x - 1)^2 + h x / (divisor T))], the queue term of both (inline, as the
// chapters evaluate it for every lane).
inline double queue_term(double x, double headway_s, double period_h, double divisor) {
    return 900.0 * period_h * ((x - 1.0) + std::sqrt((x - 1.0) * (x - 1.0) + headway_s * x / (divisor * period_h)));
}

// Control delay d = s + 900 T [(x - 1) + sqrt((x - 1)^2 + h x / (450 T))] + the deceleration term
// (s/veh): the service time s in front (3600 / c, or the departure headway less the move-up time
// of all-way STOP control), the headway h = 3600 / c inside, the degree of utilisation x and the
// analysis period T (h). No capacity (h infinite) gives an infinite or undefined delay: callers
// that name such a movement's delay decide it before.
inline double control_delay(double x, double headway_s, double service_s, double period_h, DecelerationTerm term) {
    const double deceleration = term == DecelerationTerm::Full ? DECELERATION_S : DECELERATION_S * std::min(x, 1.0);
    return service_s + queue_term(x, headway_s, period_h, DELAY_DIVISOR) + deceleration;
}

// 95th-percentile queue Q95 = 900 T [(x - 1) + sqrt((x - 1)^2 + (3600 / c) x / (150 T))] c / 3600
// (veh) at capacity c (veh/h).
inline double queue_95(double x, double capacity_veh_h, double period_h) {
    using base::units::SECONDS_PER_HOUR;
    return queue_term(x, SECONDS_PER_HOUR / capacity_veh_h, period_h, QUEUE_95_DIVISOR) * capacity_veh_h /
           SECONDS_PER_HOUR;
}

}  // namespace hcm::unsignalized
