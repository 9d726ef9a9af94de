#pragma once
// HCM Chapter 18: one direction of travel on one urban street segment, motorized-vehicle method.
//
// The downstream boundary intersection is not evaluated here: its control type, timing,
// capacity, delay and queues are inputs of the segment. One flat record holds the inputs and
// the results of the last analysis; its JSON document (pretty, every key always written) is
// both the input and the export, and the urban street facility keeps a list of them:
//
//   UrbanSegment s = read_urban_segment(text);   // jsonio::Error with the reader's message
//   s.analyze();                                 // never throws; fills the results
//   double speed = s.travel_speed_mph.value_or(0.0);
//   std::string out = write_urban_segment(s);    // pretty, all 64 keys
//
// A member of type std::vector<UrbanSegment> in another record reads (an array of segment
// documents, each with its own defaults and messages) and writes (pretty, at the enclosing
// indentation) through the record table declared here.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/enum_names.hpp"
#include "hcm/common/common.hpp"
#include "hcm/urban_segments/access_point_delay.hpp"
#include "hcm/urban_segments/platoon_dispersion.hpp"
#include "json/record_fwd.hpp"

namespace hcm::urban_segments::urban_segments {

using access_point_delay::AccessPointApproach;
using access_point_delay::AccessPointDelay;
using common::LevelOfService;
using platoon_dispersion::MovementDischarge;

// Control of the segment's downstream boundary intersection.
enum class BoundaryControlType : std::uint8_t { Signalized, AllWayStop, YieldControlled, Roundabout, Uncontrolled };

struct UrbanSegment {
    // Inputs: geometry.
    double segment_length_ft = 0.0;                // L
    double upstream_intersection_width_ft = 0.0;   // W
    std::uint32_t n_through_lanes = 0;             // N (0 is analysed as 1)
    double speed_limit_mph = 0.0;                  // S_pl
    double restrictive_median_length_ft = 0.0;
    double proportion_with_curb = 1.0;
    double proportion_on_street_parking = 0.0;
    double n_access_points_subject = 0.0;
    double n_access_points_opposing = 0.0;
    double prop_opposing_left_accessible = 1.0;
    std::optional<double> signal_spacing_ft;
    double s_calib_mph = 0.0;
    std::optional<double> free_flow_speed_override_mph;
    // Inputs: demand and the downstream boundary intersection.
    double through_demand_veh_h = 0.0;  // v
    std::optional<double> midsegment_flow_veh_h;
    std::optional<double> through_capacity_veh_h;
    BoundaryControlType control = BoundaryControlType::Signalized;
    std::optional<double> through_control_delay_s;
    std::optional<double> cycle_length_s;
    std::optional<double> effective_green_s;
    std::optional<std::uint8_t> arrival_type;
    std::optional<double> platoon_ratio;
    std::optional<double> stopped_vehicles_veh_ln;
    std::optional<double> queue2_veh_ln;
    std::optional<double> queue3_veh_ln;
    std::optional<double> sat_flow_veh_h_ln;
    std::optional<double> full_stop_rate_override;
    double stop_rate_other = 0.0;
    // Inputs: access points.
    std::optional<std::vector<double>> access_point_delays_s;
    std::optional<double> n_influential_access_points;
    double pct_left_turns_access = 10.0;
    double pct_right_turns_access = 10.0;
    bool access_left_bay_adequate = false;
    bool access_right_bay_adequate = false;
    double midsegment_other_delay_s = 0.0;
    std::optional<std::vector<AccessPointApproach>> access_point_approaches;
    double analysis_period_h = 0.25;
    std::optional<double> access_point_turn_delay_speed_mph;
    // Inputs: platoon dispersion of the upstream signal's discharge.
    std::optional<std::vector<MovementDischarge>> upstream_discharge_profiles;
    double arrival_uniform_volume_veh_h = 0.0;
    double flow_profile_time_step_s = 1.0;
    double downstream_green_start_s = 0.0;
    // Input of the perception score.
    std::optional<double> prop_left_turn_lanes;

    // Results of the last analysis (or as the document gave them).
    std::optional<double> speed_constant_mph;   // S_0
    std::optional<double> f_cs_mph;
    std::optional<double> f_a_mph;
    std::optional<double> f_pk_mph;
    std::optional<double> base_ffs_mph;         // S_fo (Equation 18-3)
    std::optional<double> f_l;
    std::optional<double> free_flow_speed_mph;  // S_f (Equation 18-5)
    std::optional<double> f_v;
    std::optional<double> access_point_delay_total_s;
    std::optional<std::vector<AccessPointDelay>> access_point_delays_computed;
    std::optional<double> running_time_s;       // t_R (Equation 18-7)
    std::optional<double> running_speed_mph;
    std::optional<double> proportion_arriving_green;
    std::optional<double> through_delay_s;
    std::optional<double> full_stop_rate;
    std::optional<double> travel_speed_mph;     // S_T,seg (Equation 18-15)
    std::optional<double> spatial_stop_rate_stops_mi;  // H_seg (Equation 18-16)
    std::optional<double> vc_ratio;
    std::optional<bool> demand_exceeds_capacity;
    std::optional<LevelOfService> los;
    std::optional<double> perception_score;     // I_a,seg (Equation 18-17)

    // The Chapter 18 motorized-vehicle procedure (Steps 1-3 and 5-10), writing its results into
    // this record. Fails only when cancelled (base::Cancelled) or out of memory (std::bad_alloc),
    // the record then unchanged; degenerate inputs give non-finite results. A Signalized segment without timing keeps its proportion
    // arriving on green; the full stop rate, spatial stop rate and perception score keep their
    // values when their inputs are absent; the computed access-point delays are replaced only on
    // the per-approach path.
    void analyze();

    friend bool operator==(const UrbanSegment&, const UrbanSegment&) = default;
};

const jsonio::Record<UrbanSegment>& json_record(jsonio::Tag<UrbanSegment>);

// One segment document (object or array form, only whitespace after it); a failure throws
// jsonio::Error (an hcm::Error) with the reader's message, ending " at line {} column {}".
UrbanSegment read_urban_segment(std::string_view text);

// The pretty (two-space) document of the whole record, inputs and results, every key written.
std::string write_urban_segment(const UrbanSegment& segment);

// Whether the segment's analysis can stop part-way: it allocates (the computed access-point
// delays, the arrival profile) or polls for cancellation (a large arrival profile). The analysis
// of any other segment cannot fail.
bool analysis_can_fail(const UrbanSegment& segment);

// The steps of UrbanSegment::analyze without its guard copy: a failed call leaves the segment
// part-way analysed. For callers that already work on a copy they drop when the call fails (a
// facility's segments, a reliability scenario's segments), so that the segment is not copied again.
void run_motorized_vehicle_steps(UrbanSegment& segment);

// Full stop rate h (stops/veh) at a signalized boundary from the stopped vehicles per lane, the
// second- and third-term back-of-queue sum per lane, the effective green (s), the saturation flow
// per lane, the demand (veh/h) and the cycle (s); 0 when any of g, s, v, C is not positive.
double full_stop_rate_signalized(std::uint32_t lanes, double stopped_veh_ln, double queue23_veh_ln, double green_s,
                                 double sat_flow_veh_h_ln, double demand_veh_h, double cycle_s);

// Automobile traveller perception score (Equation 18-17) from the proportion of intersections with
// a left-turn lane P_LTL and the spatial stop rate (stops/mi); the facility score of Chapter 16
// takes the same form.
double perception_score(double prop_left_turn_lanes, double spatial_stop_rate_stops_mi);

}  // namespace hcm::urban_segments::urban_segments

namespace base {
template <>
inline constexpr std::array<std::string_view, 5> variant_names<hcm::urban_segments::urban_segments::BoundaryControlType> = {
    "Signalized", "AllWayStop", "YieldControlled", "Roundabout", "Uncontrolled"};
}  // namespace base
