#pragma once
// The facility's use of the Chapter 13 weaving and Chapter 14 merge and diverge procedures: a
// segment record built afresh for one facility segment, period and flow, run in edition "7", of
// which the facility takes back only a few results.
#include <cstddef>
#include <optional>

#include "hcm/freeway_facilities/freeway_facilities.hpp"

namespace hcm::freeway_facilities::freeway_facilities {

struct RampEvaluation {
    std::optional<double> density;    // ramp influence-area density, pc/mi/ln
    std::optional<double> speed_avg;  // mi/h
};
// Runs the merge (Merge segment) or diverge (otherwise) procedure for one period and flows.
RampEvaluation evaluate_ramp_segment(const FreewayFacility& facility, std::size_t segment, std::size_t period,
                                     double freeway_flow, double ramp_flow);

struct WeavingEvaluation {
    bool is_weaving = false;          // weaving length shorter than L_MAX
    std::optional<double> speed_avg;  // mi/h
};
// Runs the weaving procedure for one period and segment flow.
WeavingEvaluation evaluate_weaving_segment(const FreewayFacility& facility, std::size_t segment, std::size_t period,
                                           double flow);

}  // namespace hcm::freeway_facilities::freeway_facilities
