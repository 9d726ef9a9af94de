#pragma once
// HCM Chapter 19 signalized intersection: the intersection document (intersection-wide inputs,
// approaches with their phase timings, and the results of the last analysis) and the lane-group,
// approach and actuated-phase result records.
//
// Units are those the field names carry: s, h, ft, mi/h, veh/h, p/h, percent (0 to 100).
// Result fields hold no value (std::nullopt) until an analysis gives them one.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hcm/common/common.hpp"
#include "base/enum_names.hpp"
#include "base/options.hpp"
#include "hcm/common/intersection.hpp"
#include "json/record_fwd.hpp"

namespace hcm::signalized::signalized {

using common::LevelOfService;
using common::intersection::ControlType;
using common::intersection::Direction;

// How left turns are served on an approach.
enum class LeftTurnMode : std::uint8_t { NotPresent, Protected, Permitted, ProtectedPermitted };

// Order of the left-turn phases: the first half names this approach's left-turn phase, the second
// half the opposing approach's (Lead before the through phase, Lag after it, Perm none).
enum class LeftTurnSequence : std::uint8_t { LeadLead, LeadLag, LagLead, LagLag, PermLead, PermLag, PermPerm };

enum class LaneGroupKind : std::uint8_t {
    ExclusiveLeft,
    SharedLeftThrough,
    ExclusiveThrough,
    SharedRightThrough,
    ExclusiveRight,
};

// One signal phase: duration D_p (green, yellow and red clearance) and the actuated settings.
struct PhaseTiming {
    std::uint8_t phase_no = 0;
    double duration_s = 0.0;
    double yellow_s = 0.0;
    double red_clearance_s = 0.0;
    std::optional<double> max_green_s;
    std::optional<double> passage_time_s;
    std::optional<double> walk_s;
    std::optional<double> ped_clear_s;
    std::optional<double> min_green_s;
    std::optional<double> detector_length_ft;
    bool recall_max = false;

    friend bool operator==(const PhaseTiming&, const PhaseTiming&) = default;
};

// One approach: demand, lanes, geometry, adjustments and the phases that serve it.
struct SignalApproach {
    Direction direction = Direction::NB;
    double volume_left = 0.0;
    double volume_through = 0.0;
    double volume_right = 0.0;
    double volume_rtor = 0.0;  // right-turn-on-red flow rate, removed from the right-turn flow rate
    std::optional<double> peak_hour_factor;
    double pct_heavy_vehicles_left = 0.0;
    double pct_heavy_vehicles_through = 0.0;  // through and right-turn movements
    double platoon_ratio_left = 0.0;
    double platoon_ratio_through = 0.0;
    double upstream_filtering_i = 0.0;
    double initial_queue_through_veh = 0.0;
    double initial_queue_left_veh = 0.0;
    double ped_flow_ph = 0.0;
    double bike_flow_ph = 0.0;
    std::uint32_t exclusive_left_lanes = 0;
    std::uint32_t through_lanes = 0;  // exclusive through lanes; shared lanes are not counted
    std::uint32_t exclusive_right_lanes = 0;
    bool shared_left_through_lane = false;
    bool shared_right_through_lane = false;
    double lane_width_ft = 0.0;
    double grade_pct = 0.0;
    std::uint32_t receiving_lanes = 0;
    bool parking_present = false;
    double parking_maneuvers_h = 0.0;
    double bus_stops_h = 0.0;
    std::optional<double> storage_left_ft;
    std::optional<double> storage_through_ft;
    double speed_limit_mph = 0.0;
    bool opposing_right_turn_influences_gaps = false;
    LeftTurnMode left_turn_mode = LeftTurnMode::NotPresent;
    LeftTurnSequence left_turn_sequence = LeftTurnSequence::PermPerm;
    std::optional<PhaseTiming> left_phase;
    PhaseTiming through_phase;

    friend bool operator==(const SignalApproach&, const SignalApproach&) = default;
};

// One lane group of an approach. Formation gives it direction, kind, phase, lanes and flow and
// its saturation-flow and green values; the capacity, delay, LOS and queue steps fill the rest.
struct LaneGroup {
    Direction direction = Direction::NB;
    LaneGroupKind kind = LaneGroupKind::ExclusiveThrough;
    std::uint8_t phase_no = 0;
    std::uint32_t lanes = 0;
    double flow_rate = 0.0;                        // veh/h, whole group
    std::optional<double> sat_flow;                // adjusted saturation flow, veh/h/ln
    std::optional<double> sat_flow_permitted;      // during the permitted left-turn period
    std::optional<double> effective_green_s;
    std::optional<double> g_p;                     // effective permitted green
    std::optional<double> g_u;                     // its unsaturated part
    std::optional<double> g_f;                     // green before the first left turn arrives
    std::optional<double> p_left_shared;           // left-turn share of the shared lane
    std::optional<double> p_right_shared;          // right-turn share of the shared lane
    std::optional<double> proportion_on_green;
    std::optional<double> capacity;                // veh/h, all lanes
    std::optional<double> available_capacity;      // at maximum green
    std::optional<double> vc_ratio;                // +inf over zero capacity
    std::optional<double> k_factor;
    std::optional<double> uniform_delay_s;         // d1
    std::optional<double> incremental_delay_s;     // d2
    std::optional<double> initial_queue_delay_s;   // d3
    std::optional<double> control_delay_s;
    std::optional<LevelOfService> los;
    std::optional<double> q1_veh;                  // back-of-queue terms, veh/ln
    std::optional<double> q2_veh;
    std::optional<double> q3_veh;
    std::optional<double> back_of_queue_veh;
    std::optional<double> back_of_queue_95_veh;
    std::optional<double> queue_storage_ratio;
    std::optional<double> queue_storage_ratio_95;

    friend bool operator==(const LaneGroup&, const LaneGroup&) = default;
};

// One approach's summary: flow-weighted control delay of its lane groups and its LOS.
struct ApproachResult {
    Direction direction = Direction::NB;
    double flow_rate = 0.0;
    double control_delay_s = 0.0;
    LevelOfService los = LevelOfService::A;

    friend bool operator==(const ApproachResult&, const ApproachResult&) = default;
};

// One phase of the actuated-timing estimate (HCM Chapter 31, Section 2); written only.
struct ActuatedPhaseResult {
    std::uint8_t phase_no = 0;
    double duration_s = 0.0;
    double green_s = 0.0;
    double queue_service_s = 0.0;
    double green_extension_s = 0.0;
    double mah_star_s = 0.0;  // adjusted maximum allowable headway
    double prob_max_out = 0.0;
    double prob_call = 0.0;

    friend bool operator==(const ActuatedPhaseResult&, const ActuatedPhaseResult&) = default;
};

// The intersection document: inputs, then the results of the last analysis.
struct SignalizedIntersection {
    double cycle_length_s = 0.0;
    double analysis_period_h = 0.0;
    double base_saturation_flow = 0.0;  // s0, pc/h/ln
    bool area_type_cbd = false;
    ControlType control = ControlType::PretimedSignal;
    double sneakers_per_cycle = 0.0;
    std::vector<SignalApproach> approaches;  // lane groups and approach results follow this order
    std::vector<LaneGroup> lane_groups;
    std::vector<ApproachResult> approach_results;
    std::optional<double> intersection_delay_s;
    std::optional<LevelOfService> intersection_los;
    std::optional<double> critical_vc_ratio;

    friend bool operator==(const SignalizedIntersection&, const SignalizedIntersection&) = default;
};

// A direction as callers name it: ASCII upper-cased, then one of the four words.
inline constexpr base::OptionTable<Direction, 4> DIRECTION_WORDS{
    base::Normalise::Upper,
    "unknown direction {}",
    {{{"NB", Direction::NB}, {"SB", Direction::SB}, {"EB", Direction::EB}, {"WB", Direction::WB}}}};

// The HCM Chapter 19 motorized-vehicle analysis: recomputes the lane groups, their capacity,
// delay, LOS and queues, the approach and intersection delays and LOS and the critical v/c ratio
// from the inputs, replacing every stored result. A lane group with demand and no capacity (no
// effective green) is never served: its v/c ratio, incremental and control delays and queues are
// infinite, and so are the delays of its approach and of the intersection (LOS F); a cycle no
// longer than the critical lost time makes the critical v/c ratio infinite. It fails only
// out of memory or when cancelled (polled before every queue polygon, and every 64 approaches
// of the loops that go over all lane groups per approach); a failure leaves the record as it was.
void analyze(SignalizedIntersection& intersection);

// The stored result of the approach whose direction word equals `direction` upper-cased (the
// first one); hcm::Error "no approach {direction as given}" when there is none.
const ApproachResult& approach_result_of(const SignalizedIntersection& intersection, std::string_view direction);

// Right-turn-on-red flow rate (veh/h) of the first approach of direction `d` by the exclusive
// right-turn lane rule of HCM Chapter 31, Section 8: the protected left-turn flow rate of the
// complementary cross-street approach (NB-WB, SB-EB, EB-NB, WB-SB), capped at the right-turn flow
// rate. 0 without exclusive right lanes, without that approach, or when its left turns are not
// protected.
double estimate_rtor_volume(const SignalizedIntersection& intersection, Direction d);

// Gives every approach whose right-turn-on-red volume is 0 or less its own estimate (possibly 0).
void apply_rtor_estimates(SignalizedIntersection& intersection);

// The record tables (json/jsonio.hpp reads and writes through them).
const jsonio::Record<PhaseTiming>& json_record(jsonio::Tag<PhaseTiming>);
const jsonio::Record<SignalApproach>& json_record(jsonio::Tag<SignalApproach>);
const jsonio::Record<LaneGroup>& json_record(jsonio::Tag<LaneGroup>);
const jsonio::Record<ApproachResult>& json_record(jsonio::Tag<ApproachResult>);
const jsonio::Record<ActuatedPhaseResult>& json_record(jsonio::Tag<ActuatedPhaseResult>);
const jsonio::Record<SignalizedIntersection>& json_record(jsonio::Tag<SignalizedIntersection>);

// Reads a whole intersection document. A failure throws jsonio::Error (an hcm::Error) with the
// reader's message and position alone, no prefix.
SignalizedIntersection intersection_from_json(std::string_view text);

// The compact document of the whole record, inputs and results (cannot fail).
std::string intersection_to_json(const SignalizedIntersection& intersection);

// The lane groups alone, as a compact JSON array ("[]" when there are none).
std::string lane_groups_to_json(const std::vector<LaneGroup>& lane_groups);

// The actuated-timing estimate as a compact JSON array.
std::string actuated_phases_to_json(const std::vector<ActuatedPhaseResult>& phases);

}  // namespace hcm::signalized::signalized

namespace base {
template <>
inline constexpr std::array<std::string_view, 4> variant_names<hcm::signalized::signalized::LeftTurnMode> = {
    "NotPresent", "Protected", "Permitted", "ProtectedPermitted"};
template <>
inline constexpr std::array<std::string_view, 7> variant_names<hcm::signalized::signalized::LeftTurnSequence> = {
    "LeadLead", "LeadLag", "LagLead", "LagLag", "PermLead", "PermLag", "PermPerm"};
template <>
inline constexpr std::array<std::string_view, 5> variant_names<hcm::signalized::signalized::LaneGroupKind> = {
    "ExclusiveLeft", "SharedLeftThrough", "ExclusiveThrough", "SharedRightThrough", "ExclusiveRight"};
}  // namespace base
