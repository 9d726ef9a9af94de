#pragma once
// JSON form of the freeway facility document: the record tables of the facility, its segments,
// their work zones and the per-period measures (one table each drives reading and writing).
#include <string>
#include <string_view>

#include "hcm/freeway_facilities/freeway_facilities.hpp"
#include "json/record_fwd.hpp"

namespace hcm::freeway_facilities::exhibits {
const jsonio::Record<WorkZone>& json_record(jsonio::Tag<WorkZone>);
}

namespace hcm::freeway_facilities::freeway_facilities {

const jsonio::Record<FacilitySegment>& json_record(jsonio::Tag<FacilitySegment>);
const jsonio::Record<PeriodPerformance>& json_record(jsonio::Tag<PeriodPerformance>);
const jsonio::Record<FreewayFacility>& json_record(jsonio::Tag<FreewayFacility>);

// The facility document as the Python class reads and writes it: read failures carry the
// parser's message alone (jsonio::Error); the writer gives compact text.
FreewayFacility read_facility(std::string_view text);
std::string write_facility(const FreewayFacility& facility);

// Reads a whole facility document; hcm::Error "invalid facility JSON: {}" on failure.
FreewayFacility facility_from_json(std::string_view text);

// The compact document of the whole record, inputs and results; hcm::Error
// "serialization failed: {}" if it cannot be written.
std::string facility_to_json(const FreewayFacility& facility);

}  // namespace hcm::freeway_facilities::freeway_facilities
