#include "hcm/freeway_facilities/segment_procedures.hpp"

#include <stdexcept>

namespace hcm::freeway_facilities::freeway_facilities {

// TEMPORARY until the Chapter 13 and 14 procedures are available on this branch.
RampEvaluation evaluate_ramp_segment(const FreewayFacility&, std::size_t, std::size_t, double, double) {
    throw std::logic_error("merge and diverge procedure not yet linked");
}

WeavingEvaluation evaluate_weaving_segment(const FreewayFacility&, std::size_t, std::size_t, double) {
    throw std::logic_error("weaving procedure not yet linked");
}

}  // namespace hcm::freeway_facilities::freeway_facilities
