#pragma once
// HCM Chapter 16: an urban street facility, motorized-vehicle mode, one direction of travel.
//
// The facility is a list of Chapter 18 segments (upstream to downstream) with two optional
// facility inputs. One record holds the inputs, the facility measures of the last aggregation and
// the per-segment spillback flags; its pretty JSON document is both the input and the export:
//
//   UrbanFacility f = read_urban_facility(text);  // jsonio::Error with the reader's message
//   analyze(f);                                   // every segment, then aggregate(f)
//   const FacilityResults& r = aggregate(f);      // measures from the segments' own results
//   std::string out = write_urban_facility(f);    // pretty, every key written
//
// aggregate_segments() gives the facility measures of segments already analysed without a
// facility record and without allocating, for callers that evaluate many variants of a facility.
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "hcm/common/common.hpp"
#include "hcm/urban_segments/urban_segments.hpp"
#include "json/record_fwd.hpp"

namespace hcm::urban_facilities::urban_facilities {

using common::LevelOfService;
using urban_segments::urban_segments::UrbanSegment;

// Inputs of the queue-storage check of one segment.
struct SpillbackCheckInput {
    double available_storage_ft = 0.0;
    double back_of_queue_veh_ln = 0.0;
    double avg_vehicle_spacing_ft = 25.0;

    friend bool operator==(const SpillbackCheckInput&, const SpillbackCheckInput&) = default;
};

// The facility measures (Equations 16-2 to 16-4, Exhibit 16-3).
struct FacilityResults {
    double length_ft = 0.0;                        // L = sum of L_i
    double base_ffs_mph = 0.0;                     // S_fo,F (Equation 16-2)
    double travel_speed_mph = 0.0;                 // S_T,F (Equation 16-3)
    double travel_time_s = 0.0;                    // at S_T,F
    double base_free_flow_travel_time_s = 0.0;     // at S_fo,F
    std::optional<double> spatial_stop_rate_stops_mi;  // H_F (Equation 16-4); absent unless every segment has H_i
    std::optional<double> critical_vc_ratio;       // largest segment v/c; absent when none has one
    LevelOfService los = LevelOfService::A;        // Exhibit 16-3 (the Exhibit 18-1 thresholds)
    std::optional<LevelOfService> poorest_segment_los;
    std::optional<double> perception_score;        // I_a,F; needs H_F and P_LTL

    friend bool operator==(const FacilityResults&, const FacilityResults&) = default;
};

struct UrbanFacility {
    std::vector<UrbanSegment> segments;                             // upstream to downstream
    std::optional<double> prop_left_turn_lanes;                     // P_LTL, for the perception score
    std::optional<std::vector<SpillbackCheckInput>> spillback_inputs;  // one per segment
    std::optional<FacilityResults> results;                         // of the last aggregation
    std::optional<std::vector<bool>> spillback_flags;               // true: the segment's queue spills back

    friend bool operator==(const UrbanFacility&, const UrbanFacility&) = default;
};

const jsonio::Record<SpillbackCheckInput>& json_record(jsonio::Tag<SpillbackCheckInput>);
const jsonio::Record<FacilityResults>& json_record(jsonio::Tag<FacilityResults>);
const jsonio::Record<UrbanFacility>& json_record(jsonio::Tag<UrbanFacility>);

// The facility document (object or array form); a failure throws jsonio::Error (an hcm::Error)
// with the reader's message, ending " at line {} column {}". No value is checked here.
UrbanFacility read_urban_facility(std::string_view text);

// The pretty (two-space) document of the whole record, every key written (absent values null).
std::string write_urban_facility(const UrbanFacility& facility);

// What the facility measures take from one analysed segment.
struct SegmentSummary {
    std::optional<double> spatial_stop_rate_stops_mi;  // H_i
    std::optional<double> vc_ratio;                    // X_i
    double length_ft;                                  // L_i
    double base_ffs_mph;                               // S_fo,i
    double travel_speed_mph;                           // S_T,i
    std::optional<LevelOfService> los;
};

// The summaries of a facility's segments, in order. Built after every segment has been checked
// for its two speeds (the first without one fails with hcm::Error "segment {}: base free-flow
// speed not computed" or "segment {}: travel speed not computed"); each summary is read from its
// segment on access, so nothing is copied.
class SegmentSummaries {
public:
    explicit SegmentSummaries(std::span<const UrbanSegment> segments);
    std::size_t size() const { return segments_.size(); }
    SegmentSummary operator[](std::size_t i) const;

private:
    std::span<const UrbanSegment> segments_;
};

inline SegmentSummaries segment_summaries(std::span<const UrbanSegment> segments) {
    return SegmentSummaries(segments);
}

// The facility measures of segments already analysed, with the facility's P_LTL (absent: no
// perception score). Throws hcm::Error, in this order of checks: a segment without its speeds,
// "facility must contain at least one segment", "segment {}: length must be positive",
// "segment {}: speeds must be positive". Changes nothing and allocates nothing.
FacilityResults aggregate_segments(std::span<const UrbanSegment> segments,
                                   std::optional<double> prop_left_turn_lanes);

// Replaces `results` with the measures of the segments as they stand and, when spillback inputs
// are given, `spillback_flags` with the queue-storage check; returns the stored results. Throws
// hcm::Error as aggregate_segments, then "spillback_inputs has {} entries for {} segments", or
// std::bad_alloc; a failure changes nothing.
const FacilityResults& aggregate(UrbanFacility& facility);

// The full facility analysis: the Chapter 18 procedure on every segment in order, polling for
// cancellation before each, then aggregate(). Throws as aggregate, base::Cancelled or
// std::bad_alloc; a failure leaves the facility as it was.
const FacilityResults& analyze(UrbanFacility& facility);

// The same analysis into a copy of the facility, which it returns; `facility` is not changed.
UrbanFacility analysed(const UrbanFacility& facility);

// Queue-storage check: true when the back of queue, at the given vehicle spacing, needs more than
// the available storage (or no storage is available).
bool queue_spills_back(const SpillbackCheckInput& input);

// Sum of the segment lengths, ft.
double facility_length_ft(const UrbanFacility& facility);

}  // namespace hcm::urban_facilities::urban_facilities
