#include "hcm/unsignalized/unsignalized.hpp"

#include <algorithm>
#include <cmath>

#include "base/units.hpp"

namespace hcm::unsignalized {

namespace {

using base::units::SECONDS_PER_HOUR;

// Divisors of the queue term: 450 T for delay (Equation 20-64), 150 T for the 95th-percentile
// queue (Equation 20-66).
constexpr double DELAY_DIVISOR = 450.0;
constexpr double QUEUE_95_DIVISOR = 150.0;
constexpr double DECELERATION_S = 5.0;

double gap_acceptance(double v, double t_c, double t_f) {
    return v * std::exp(-v * t_c / SECONDS_PER_HOUR) / (1.0 - std::exp(-v * t_f / SECONDS_PER_HOUR));
}

// 900 T [(x - 1) + sqrt((x - 1)^2 + h x / (divisor T))].
double queue_term(double x, double headway_s, double period_h, double divisor) {
    return 900.0 * period_h * ((x - 1.0) + std::sqrt((x - 1.0) * (x - 1.0) + headway_s * x / (divisor * period_h)));
}

}  // namespace

double potential_capacity(double v_c, double t_c, double t_f, NoConflictingFlow none) {
    switch (none) {
        case NoConflictingFlow::FollowUpRate:
            return v_c > 0.0 ? gap_acceptance(v_c, t_c, t_f) : SECONDS_PER_HOUR / t_f;
        case NoConflictingFlow::BaseSaturationFlow: {
            if (v_c <= 0.0) return BASE_SATURATION_FLOW;
            const double den = 1.0 - std::exp(-t_f * v_c / SECONDS_PER_HOUR);
            if (!(den > 0.0)) return BASE_SATURATION_FLOW;
            return v_c * std::exp(-t_c * v_c / SECONDS_PER_HOUR) / den;
        }
        case NoConflictingFlow::TrickleFlow: break;
    }
    return gap_acceptance(v_c <= 0.0 ? TRICKLE_FLOW : v_c, t_c, t_f);
}

double control_delay(double x, double headway_s, double service_s, double period_h, DecelerationTerm term) {
    const double deceleration = term == DecelerationTerm::Full ? DECELERATION_S : DECELERATION_S * std::min(x, 1.0);
    return service_s + queue_term(x, headway_s, period_h, DELAY_DIVISOR) + deceleration;
}

double queue_95(double x, double capacity, double period_h) {
    return queue_term(x, SECONDS_PER_HOUR / capacity, period_h, QUEUE_95_DIVISOR) * capacity / SECONDS_PER_HOUR;
}

}  // namespace hcm::unsignalized
