#pragma once
// Freeway-facility records the facility tests build their cases from.
#include <cstdint>

#include "hcm/freeway_facilities/freeway_facilities.hpp"

namespace testing_support {

// A segment of the given type, length and lane count with every other input at its default.
inline hcm::freeway_facilities::freeway_facilities::FacilitySegment segment(
    hcm::freeway_facilities::freeway_facilities::SegmentType type, double length_ft = 1500.0,
    std::uint32_t lanes = 3) {
    hcm::freeway_facilities::freeway_facilities::FacilitySegment s;
    s.seg_type = type;
    s.length_ft = length_ft;
    s.lanes = lanes;
    return s;
}

}  // namespace testing_support
