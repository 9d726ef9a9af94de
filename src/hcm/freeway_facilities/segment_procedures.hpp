#pragma once
// The facility's use of the Chapter 13 weaving and Chapter 14 merge and diverge procedures: a
// segment record built afresh for one facility segment, period and flow, always in edition "7"
// (a one-sided freeway weave; a one-lane right-side ramp without adjacent ramps), of which the
// facility takes back only the average speed, the ramp influence-area density and is_weaving.
#include <cstddef>
#include <optional>

#include "hcm/freeway_facilities/freeway_facilities.hpp"
#include "hcm/merge_diverge/merge_diverge.hpp"
#include "hcm/weaving/weaving.hpp"

namespace hcm::freeway_facilities::freeway_facilities {

// The weaving input of segment i in period p carrying `flow` veh/h (needs the demand matrix).
hcm::weaving::weaving::WeavingSegment build_weave(const FreewayFacility& facility, std::size_t segment, std::size_t period,
                                    double flow);

// The merge (Merge segment) or diverge (any other type) input of segment i in period p.
merge_diverge::RampSegment build_ramp(const FreewayFacility& facility, std::size_t segment, std::size_t period,
                                      double freeway_flow, double ramp_flow);

struct RampEvaluation {
    std::optional<double> density;    // ramp influence-area density, pc/mi/ln
    std::optional<double> speed_avg;  // mi/h
};
// Runs the ramp procedure on build_ramp's record.
RampEvaluation evaluate_ramp_segment(const FreewayFacility& facility, std::size_t segment, std::size_t period,
                                     double freeway_flow, double ramp_flow);

struct WeavingEvaluation {
    bool is_weaving = false;          // weaving length shorter than L_MAX
    std::optional<double> speed_avg;  // mi/h
};
// Runs the weaving procedure on build_weave's record.
WeavingEvaluation evaluate_weaving_segment(const FreewayFacility& facility, std::size_t segment, std::size_t period,
                                           double flow);

}  // namespace hcm::freeway_facilities::freeway_facilities
