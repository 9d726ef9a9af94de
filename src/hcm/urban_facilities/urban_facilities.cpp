#include "hcm/urban_facilities/urban_facilities.hpp"

#include <algorithm>
#include <string>
#include <utility>

#include "base/cancel.hpp"
#include "base/numeric.hpp"
#include "base/transaction.hpp"
#include "base/units.hpp"
#include "hcm/common/error.hpp"
#include "hcm/urban_segments/exhibits.hpp"
#include "json/jsonio.hpp"

namespace hcm::urban_facilities::urban_facilities {

namespace {

using base::max2;
using base::units::FT_PER_MI;
using base::units::SECONDS_PER_HOUR;

// The boundary intersection's through movement over capacity forces LOS F (Exhibit 16-3).
constexpr double VC_LOS_F_THRESHOLD = 1.0;
// A queue needing more than the available storage spills back.
constexpr double SPILLBACK_STORAGE_RATIO = 1.0;

std::string segment_message(std::size_t index, const char* what) {
    return "segment " + std::to_string(index) + ": " + what;
}

// Step 3: every segment has a positive length and positive speeds. A value that is not a number
// is not positive either: a segment speed of NaN would otherwise add no time to the facility and
// overstate its speed.
void check_positive(const SegmentSummaries& summaries) {
    for (std::size_t i = 0; i < summaries.size(); ++i) {
        const SegmentSummary s = summaries[i];
        if (!(s.length_ft > 0.0)) throw Error(segment_message(i, "length must be positive"));
        if (!(s.base_ffs_mph > 0.0 && s.travel_speed_mph > 0.0))
            throw Error(segment_message(i, "speeds must be positive"));
    }
}

// Equations 16-2 and 16-3: the length-weighted harmonic mean L / sum(L_i / S_i); a segment
// without a positive speed adds no time, and the facility speed is 0 without length or time.
double facility_speed(double length_ft, double time_sum) {
    if (length_ft <= 0.0 || time_sum <= 0.0) return 0.0;
    return length_ft / time_sum;
}

double segment_time(double length_ft, double speed_mph) { return speed_mph > 0.0 ? length_ft / speed_mph : 0.0; }

double travel_time_s(double length_ft, double speed_mph) {
    return SECONDS_PER_HOUR * length_ft / (FT_PER_MI * speed_mph);
}

// Step 13: one flag per segment, or a failure when the inputs do not match the segments.
void check_spillback_count(const std::vector<SpillbackCheckInput>& inputs, std::size_t segments) {
    if (inputs.size() != segments)
        throw Error("spillback_inputs has " + std::to_string(inputs.size()) + " entries for " +
                    std::to_string(segments) + " segments");
}

}  // namespace

SegmentSummaries::SegmentSummaries(std::span<const UrbanSegment> segments) : segments_(segments) {
    for (std::size_t i = 0; i < segments.size(); ++i) {
        if (!segments[i].base_ffs_mph) throw Error(segment_message(i, "base free-flow speed not computed"));
        if (!segments[i].travel_speed_mph) throw Error(segment_message(i, "travel speed not computed"));
    }
}

SegmentSummary SegmentSummaries::operator[](std::size_t i) const {
    const UrbanSegment& s = segments_[i];
    return {s.spatial_stop_rate_stops_mi, s.vc_ratio, s.segment_length_ft, *s.base_ffs_mph, *s.travel_speed_mph, s.los};
}

FacilityResults aggregate_segments(std::span<const UrbanSegment> segments,
                                   std::optional<double> prop_left_turn_lanes) {
    const SegmentSummaries summaries = segment_summaries(segments);  // Step 1
    if (summaries.size() == 0) throw Error("facility must contain at least one segment");
    check_positive(summaries);

    // Steps 4 to 11 in one pass, sums in segment order.
    double length = 0.0, base_time = 0.0, travel_time = 0.0, stops = 0.0;
    bool every_stop_rate = true;
    std::optional<double> critical_vc;
    std::optional<LevelOfService> poorest;
    for (std::size_t i = 0; i < summaries.size(); ++i) {
        const SegmentSummary s = summaries[i];
        length += s.length_ft;
        base_time += segment_time(s.length_ft, s.base_ffs_mph);
        travel_time += segment_time(s.length_ft, s.travel_speed_mph);
        if (s.spatial_stop_rate_stops_mi)
            stops += s.length_ft * *s.spatial_stop_rate_stops_mi;
        else
            every_stop_rate = false;
        if (s.vc_ratio) critical_vc = critical_vc ? max2(*critical_vc, *s.vc_ratio) : *s.vc_ratio;
        if (s.los && (!poorest || *s.los > *poorest)) poorest = s.los;
    }

    FacilityResults r;
    r.length_ft = length;
    r.base_ffs_mph = facility_speed(length, base_time);       // Equation 16-2
    r.travel_speed_mph = facility_speed(length, travel_time);  // Equation 16-3
    if (every_stop_rate) r.spatial_stop_rate_stops_mi = length > 0.0 ? stops / length : 0.0;  // Equation 16-4
    // The facility perception score takes the segment form of Equation 18-17 with H_F and P_LTL.
    if (r.spatial_stop_rate_stops_mi && prop_left_turn_lanes)
        r.perception_score =
            urban_segments::urban_segments::perception_score(*prop_left_turn_lanes, *r.spatial_stop_rate_stops_mi);
    r.critical_vc_ratio = critical_vc;
    const bool over_capacity = critical_vc && *critical_vc > VC_LOS_F_THRESHOLD;
    r.los = urban_segments::exhibits::exhibit_18_1_los(over_capacity, r.travel_speed_mph, r.base_ffs_mph);
    r.poorest_segment_los = poorest;
    r.travel_time_s = travel_time_s(length, r.travel_speed_mph);
    r.base_free_flow_travel_time_s = travel_time_s(length, r.base_ffs_mph);
    return r;
}

bool queue_spills_back(const SpillbackCheckInput& input) {
    if (!(input.available_storage_ft > 0.0)) return true;
    return input.back_of_queue_veh_ln * input.avg_vehicle_spacing_ft / input.available_storage_ft >
           SPILLBACK_STORAGE_RATIO;
}

const FacilityResults& aggregate(UrbanFacility& facility) {
    const FacilityResults measures = aggregate_segments(facility.segments, facility.prop_left_turn_lanes);
    if (facility.spillback_inputs) {
        const std::vector<SpillbackCheckInput>& inputs = *facility.spillback_inputs;
        check_spillback_count(inputs, facility.segments.size());
        // Flags of the same count are rewritten in place; others are built aside first, so that
        // running out of memory changes nothing. Nothing fails after that.
        const bool in_place = facility.spillback_flags && facility.spillback_flags->size() == inputs.size();
        std::vector<bool> fresh(in_place ? 0 : inputs.size());
        std::vector<bool>& flags = in_place ? *facility.spillback_flags : fresh;
        for (std::size_t i = 0; i < inputs.size(); ++i) flags[i] = queue_spills_back(inputs[i]);
        if (!in_place) facility.spillback_flags = std::move(fresh);
    }
    return facility.results.emplace(measures);
}

namespace {

// Every segment's procedure in order, with a poll for cancellation before each, then aggregate().
// The segments hold their results among their inputs, so this runs on a copy of the facility
// that the caller drops when it fails.
void analyze_copy(UrbanFacility& copy) {
    for (UrbanSegment& segment : copy.segments) {
        base::poll_cancel();
        urban_segments::urban_segments::run_motorized_vehicle_steps(segment);
    }
    aggregate(copy);
}

}  // namespace

UrbanFacility analysed(const UrbanFacility& facility) {
    UrbanFacility out = facility;
    analyze_copy(out);
    return out;
}

const FacilityResults& analyze(UrbanFacility& facility) {
    base::on_copy(facility, analyze_copy);
    return *facility.results;
}

double facility_length_ft(const UrbanFacility& facility) {
    double length = 0.0;
    for (const UrbanSegment& s : facility.segments) length += s.segment_length_ft;
    return length;
}

const jsonio::Record<SpillbackCheckInput>& json_record(jsonio::Tag<SpillbackCheckInput>) {
    using S = SpillbackCheckInput;
    static const jsonio::Record<S> record{
        "SpillbackCheckInput",
        {
            jsonio::required("available_storage_ft", &S::available_storage_ft),
            jsonio::required("back_of_queue_veh_ln", &S::back_of_queue_veh_ln),
            jsonio::with_default("avg_vehicle_spacing_ft", &S::avg_vehicle_spacing_ft, 25.0),
        },
        jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

const jsonio::Record<FacilityResults>& json_record(jsonio::Tag<FacilityResults>) {
    using R = FacilityResults;
    // The measures are non-finite where a segment's are (written null, read back as NaN). Which of
    // the optional ones the aggregation gives follows the segments: the facility settles them
    // (settle_results).
    static const jsonio::Analysed<R> every_stop_rate{"every segment's `spatial_stop_rate_stops_mi` is given"};
    static const jsonio::Analysed<R> some_vc_ratio{"some segment's `vc_ratio` is given"};
    static const jsonio::Analysed<R> score{
        "`spatial_stop_rate_stops_mi` is given and so is the facility's `prop_left_turn_lanes`"};
    static const jsonio::Record<R> record{
        "FacilityResults",
        {
            jsonio::result("length_ft", &R::length_ft),
            jsonio::result("base_ffs_mph", &R::base_ffs_mph),
            jsonio::result("travel_speed_mph", &R::travel_speed_mph),
            jsonio::result("travel_time_s", &R::travel_time_s),
            jsonio::result("base_free_flow_travel_time_s", &R::base_free_flow_travel_time_s),
            jsonio::analysed_result("spatial_stop_rate_stops_mi", &R::spatial_stop_rate_stops_mi, every_stop_rate),
            jsonio::analysed_result("critical_vc_ratio", &R::critical_vc_ratio, some_vc_ratio),
            jsonio::required("los", &R::los),
            jsonio::optional("poorest_segment_los", &R::poorest_segment_los),
            jsonio::analysed_result("perception_score", &R::perception_score, score),
        },
        jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

namespace {

// The optional measures that aggregate_segments gives from the segments as they read (each has
// settled its own results by now).
void settle_results(UrbanFacility& f) {
    if (!f.results) return;
    const auto has = [](std::optional<double> UrbanSegment::*member) {
        return [member](const UrbanSegment& s) { return (s.*member).has_value(); };
    };
    FacilityResults& r = *f.results;
    jsonio::absent_unless_computed(r.spatial_stop_rate_stops_mi,
                                   std::all_of(f.segments.begin(), f.segments.end(),
                                               has(&UrbanSegment::spatial_stop_rate_stops_mi)));
    jsonio::absent_unless_computed(r.critical_vc_ratio,
                                   std::any_of(f.segments.begin(), f.segments.end(), has(&UrbanSegment::vc_ratio)));
    jsonio::absent_unless_computed(r.perception_score, r.spatial_stop_rate_stops_mi && f.prop_left_turn_lanes);
}

}  // namespace

const jsonio::Record<UrbanFacility>& json_record(jsonio::Tag<UrbanFacility>) {
    using F = UrbanFacility;
    static const jsonio::Record<F> record{
        "UrbanFacility",
        {
            jsonio::required("segments", &F::segments),
            jsonio::optional("prop_left_turn_lanes", &F::prop_left_turn_lanes),
            jsonio::optional("spillback_inputs", &F::spillback_inputs),
            jsonio::optional("results", &F::results),
            jsonio::optional("spillback_flags", &F::spillback_flags),
        },
        jsonio::UnknownKeys::ignore,
        jsonio::ArrayForm::defaults_fill,
        settle_results};
    return record;
}

UrbanFacility read_urban_facility(std::string_view text) { return jsonio::read_document<UrbanFacility>(text); }

std::string write_urban_facility(const UrbanFacility& facility) { return jsonio::write_document_pretty(facility); }

}  // namespace hcm::urban_facilities::urban_facilities
