#include "hcm/signal_delay/signal_delay.hpp"

#include <cmath>

#include "hcm/unsignalized/unsignalized.hpp"

namespace hcm::signal_delay {

double permitted_left_sat_flow(double opposing_veh_h, UndefinedOpposingFlow undefined) {
    const double v_o = undefined == UndefinedOpposingFlow::Trickle && std::isnan(opposing_veh_h) ? 0.0 : opposing_veh_h;
    return unsignalized::potential_capacity(v_o, PERMITTED_CRITICAL_HEADWAY_S, PERMITTED_FOLLOW_UP_HEADWAY_S,
                                            unsignalized::NoConflictingFlow::TrickleFlow);
}

}  // namespace hcm::signal_delay
