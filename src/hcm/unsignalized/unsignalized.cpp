#include "hcm/unsignalized/unsignalized.hpp"

#include <cmath>

#include "base/units.hpp"

namespace hcm::unsignalized {

namespace {

using base::units::SECONDS_PER_HOUR;

// 1 - e^(-v t_f / 3600), the probability that a headway of the conflicting flow v is shorter than
// t_f, by expm1: accurate however small v t_f / 3600 is, where 1 - exp(...) keeps only the digits
// above 1e-16 (so that the capacity tends to 3600 / t_f as the conflicting flow vanishes).
double follow_up_share(double v, double t_f) { return -std::expm1(-v * t_f / SECONDS_PER_HOUR); }

// c_p = v e^(-v t_c / 3600) / (1 - e^(-v t_f / 3600)), given its denominator.
double gap_acceptance(double v, double t_c, double share) {
    return v * std::exp(-v * t_c / SECONDS_PER_HOUR) / share;
}

}  // namespace

double potential_capacity(double v_c, double t_c, double t_f, NoConflictingFlow none) {
    switch (none) {
        case NoConflictingFlow::FollowUpRate:
            return v_c > 0.0 ? gap_acceptance(v_c, t_c, follow_up_share(v_c, t_f)) : SECONDS_PER_HOUR / t_f;
        case NoConflictingFlow::BaseSaturationFlow: {
            if (v_c <= 0.0) return BASE_SATURATION_FLOW;
            const double share = follow_up_share(v_c, t_f);
            if (!(share > 0.0)) return BASE_SATURATION_FLOW;
            return gap_acceptance(v_c, t_c, share);
        }
        case NoConflictingFlow::TrickleFlow: break;
    }
    const double v = v_c <= 0.0 ? TRICKLE_FLOW : v_c;
    return gap_acceptance(v, t_c, follow_up_share(v, t_f));
}

}  // namespace hcm::unsignalized
