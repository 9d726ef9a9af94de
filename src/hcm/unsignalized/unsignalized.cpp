#include "hcm/unsignalized/unsignalized.hpp"

#include <cmath>

#include "base/units.hpp"

namespace hcm::unsignalized {

namespace {

using base::units::SECONDS_PER_HOUR;

double gap_acceptance(double v, double t_c, double t_f) {
    return v * std::exp(-v * t_c / SECONDS_PER_HOUR) / (1.0 - std::exp(-v * t_f / SECONDS_PER_HOUR));
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

}  // namespace hcm::unsignalized
