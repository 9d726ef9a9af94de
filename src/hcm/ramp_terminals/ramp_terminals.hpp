#pragma once
// Signalized interchange ramp terminals (HCM Chapter 23, Part B): the interchange document (inputs
// and the results of the last analysis in one record), the origin-destination paths through the
// interchange, and the analysis from O-D demands to lane-group saturation flows, lost times,
// capacities, delays and queues, and on to the experienced travel time and LOS of every O-D
// movement and of the interchange.
//
// The arterial runs east-west between the two intersections; the freeway ramps arrive from the
// north and south. A lane group is named by its approach, leg and turn ("EbExtThrough").
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/enum_names.hpp"
#include "hcm/common/common.hpp"
#include "hcm/ramp_terminals/exhibits.hpp"
#include "json/record_fwd.hpp"

namespace hcm::ramp_terminals::ramp_terminals {

using common::LevelOfService;
using exhibits::DdiLaneConfiguration;
using exhibits::OdMovement;

enum class InterchangeForm : std::uint8_t {
    Diamond,
    Ddi,         // diverging diamond
    ParcloA2Q,   // partial cloverleaf A, two quadrants
    ParcloA4Q,
    ParcloAB2Q,
    ParcloAB4Q,
    ParcloB2Q,
    ParcloB4Q,
    Spui,        // single-point urban interchange
};

enum class InterchangeApproach : std::uint8_t { Eb, Wb, Nb, Sb };
// External arterial approach, internal approach between the intersections, ramp, second ramp.
enum class InterchangeLeg : std::uint8_t { Ext, Int, Ramp, RampTwo };
// ThroughRight: a lane group shared by the through and right-turn movements.
enum class MovementTurn : std::uint8_t { Left, Through, Right, ThroughRight };

// One lane group's movement; its name joins the three component names ("NbRampTwoLeft").
struct InterchangeMovement {
    InterchangeApproach approach = InterchangeApproach::Eb;
    InterchangeLeg leg = InterchangeLeg::Ext;
    MovementTurn turn = MovementTurn::Left;

    std::string name() const;
    // The movement whose name equals `name` exactly (case-sensitive, no blanks), or none.
    static std::optional<InterchangeMovement> from_name(std::string_view name);

    bool operator==(const InterchangeMovement&) const = default;
};

// Demand of each O-D movement, veh/h.
struct OdDemands {
    double a = 0.0, b = 0.0, c = 0.0, d = 0.0, e = 0.0, f = 0.0, g = 0.0;
    double h = 0.0, i = 0.0, j = 0.0, k = 0.0, l = 0.0, m = 0.0, n = 0.0;

    double operator[](OdMovement od) const;
    double& operator[](OdMovement od);

    bool operator==(const OdDemands&) const = default;
};

// One green window of a lane group's signal, measured from the start of the cycle.
struct GreenInterval {
    double begin_s = 0.0;
    double duration_s = 0.0;

    bool operator==(const GreenInterval&) const = default;
};

// A turn that yields to a conflicting stream (HCM Chapter 23 yield-controlled capacity).
struct YieldTurnInput {
    double critical_headway_s = 0.0;             // t_c
    double follow_up_headway_s = 0.0;            // t_f
    double conflicting_flow_veh_h = 0.0;         // v_c
    double conflicting_flow_per_lane = 0.0;      // v_cl, veh/h/ln
    double conflicting_sat_flow_per_lane = 0.0;  // s_cl, veh/h/ln
    double conflicting_green_s = 0.0;            // g_c
    double clearance_distance_ft = 0.0;
    double clearance_speed_mph = 0.0;
    std::optional<double> proportion_on_green;  // P of the conflicting stream

    bool operator==(const YieldTurnInput&) const = default;
};

// How a lane group is controlled: signalized (the default), yield-controlled, or free-flowing.
// The two unit alternatives are std::monostate; name them through ControlKind.
using LaneGroupControl = std::variant<std::monostate, YieldTurnInput, std::monostate>;
enum class ControlKind : std::uint8_t { Signalized, YieldControlled, FreeFlow };

inline ControlKind kind_of(const LaneGroupControl& control) { return static_cast<ControlKind>(control.index()); }
inline LaneGroupControl signalized() { return LaneGroupControl(std::in_place_index<0>); }
inline LaneGroupControl yield_controlled(const YieldTurnInput& input) {
    return LaneGroupControl(std::in_place_index<1>, input);
}
inline LaneGroupControl free_flow() { return LaneGroupControl(std::in_place_index<2>); }

// A protected-permitted left-turn lane group.
struct ProtectedPermittedLeft {
    double permitted_green_s = 0.0;
    double unblocked_green_s = 0.0;  // part of the permitted green in which lefts filter through
    double opposing_flow_veh_h = 0.0;
    std::optional<double> permitted_sat_flow_override;  // veh/h

    bool operator==(const ProtectedPermittedLeft&) const = default;
};

struct LaneGroupInput {
    InterchangeMovement movement;
    std::uint32_t lanes = 1;  // below 1 counts as 1 wherever a lane count divides
    std::vector<GreenInterval> greens;
    double yellow_all_red_s = 0.0;
    LaneGroupControl control;
    std::optional<double> turn_radius_ft;
    std::optional<double> shared_right_turn_radius_ft;
    double pct_heavy_vehicles = 0.0;
    double grade_pct = 0.0;
    double lane_width_ft = 12.0;
    std::optional<double> parking_maneuvers_h;  // none: no parking lane
    double bus_stops_h = 0.0;
    std::uint8_t arrival_type = 3;  // 1 to 6; any other leaves the progression factor at 1
    std::optional<double> storage_ft;
    std::optional<double> lane_utilization_override;
    std::optional<double> downstream_queue_lost_time_s;
    double overlap_lost_time_s = 0.0;
    double start_up_lost_time_s = 0.0;
    double extension_of_green_s = 0.0;
    std::optional<double> upstream_filtering_override;
    double speed_limit_mph = 0.0;
    double initial_queue_veh = 0.0;  // Q_b
    std::optional<double> demand_override_veh_h;
    std::optional<ProtectedPermittedLeft> protected_permitted_left;

    bool operator==(const LaneGroupInput&) const = default;
};

// The results of one lane group; every optional value is none until the analysis computes it.
struct LaneGroupResult {
    InterchangeMovement movement;
    double flow_rate = 0.0;  // veh/h
    std::optional<double> lane_utilization;
    std::optional<double> traffic_pressure;
    std::optional<double> sat_flow;  // veh/h for the whole lane group
    std::optional<double> protected_sat_flow;
    std::optional<double> permitted_sat_flow;
    std::optional<double> downstream_queue_lost_time_s;
    std::optional<double> demand_starvation_lost_time_s;
    std::optional<double> adjusted_lost_time_s;
    std::optional<double> effective_green_s;
    std::optional<double> capacity;  // veh/h
    std::optional<double> vc_ratio;
    std::optional<double> upstream_filtering;
    std::optional<double> back_of_queue_veh;
    std::optional<double> queue_storage_ratio;
    std::optional<double> uniform_delay_s;
    std::optional<double> incremental_delay_s;
    std::optional<double> initial_queue_delay_s;
    std::optional<double> control_delay_s;

    bool operator==(const LaneGroupResult&) const = default;
};

// Extra distance an O-D path travels compared with a direct path.
struct ExtraDistance {
    double distance_ft = 0.0;  // may be negative
    double accel_decel_s = 0.0;
    std::optional<double> design_speed_mph;  // none: the interchange's extra_distance_speed_mph

    bool operator==(const ExtraDistance&) const = default;
};

// Experienced travel time of one O-D movement (HCM Equation 23-51).
struct OdResult {
    OdMovement movement = OdMovement::A;
    double demand = 0.0;           // veh/h, after the peak hour factor
    double control_delay_s = 0.0;  // sum over the lane groups of the path
    double edtt_s = 0.0;           // extra distance travel time
    double ett_s = 0.0;            // control delay + EDTT
    bool vc_exceeds_one = false;
    bool rq_exceeds_one = false;
    LevelOfService los = LevelOfService::A;

    bool operator==(const OdResult&) const = default;
};

struct Interchange {
    InterchangeForm form = InterchangeForm::Diamond;
    double cycle_length_s = 0.0;        // C, shared by both intersections
    double analysis_period_h = 0.25;    // T
    double base_saturation_flow = 1900.0;  // pc/h/ln
    bool area_type_cbd = false;
    double peak_hour_factor = 1.0;
    double distance_between_intersections_ft = 0.0;
    double queue_spacing_ft = 25.0;
    OdDemands od;
    bool eb_external_right_shared = false;
    bool wb_external_right_shared = false;
    std::optional<DdiLaneConfiguration> ddi_eb_lane_config;
    std::optional<DdiLaneConfiguration> ddi_wb_lane_config;
    std::array<ExtraDistance, exhibits::OD_COUNT> extra_distances{};
    double extra_distance_speed_mph = 0.0;
    std::vector<LaneGroupInput> lane_groups;
    // Results of the last analysis.
    std::optional<OdDemands> od_adjusted;
    std::vector<LaneGroupResult> results;
    std::vector<OdResult> od_results;
    std::optional<double> interchange_ett_s;  // s/veh
    std::optional<LevelOfService> interchange_los;

    bool operator==(const Interchange&) const = default;
};

// One lane group an O-D path passes, and the turn the path makes there (a shared lane group
// carries turns other than its own).
struct OdLeg {
    InterchangeMovement lane_group;
    MovementTurn turn = MovementTurn::Through;

    bool operator==(const OdLeg&) const = default;
};

// The lane groups of one O-D path, in path order; no path passes more than two.
class OdPath {
public:
    void push_back(const OdLeg& leg) { legs_.at(size_++) = leg; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const OdLeg* begin() const { return legs_.data(); }
    const OdLeg* end() const { return legs_.data() + size_; }
    const OdLeg& operator[](std::size_t i) const { return legs_.at(i); }

private:
    std::array<OdLeg, 2> legs_{};
    std::size_t size_ = 0;
};

// The whole analysis (HCM Exhibit 23-22 Steps 1-9), in place: the peak-hour adjusted O-D demands,
// one LaneGroupResult per lane group, the O-D results and the interchange ETT and LOS (these two
// only when the O-D results carry demand). Degenerate inputs give non-finite values; the call
// fails only out of memory or when cancelled (polled every 64 lane groups and every 64 green
// intervals where each meets all of another list), before anything is stored.
void analyze(Interchange& interchange);

// The lane groups O-D movement `od` passes on this interchange's form and lane groups.
OdPath od_legs(const Interchange& interchange, OdMovement od);

// Demand of the lane group with `movement`: the sum of the demands of the O-D movements whose
// paths pass it, veh/h.
double lane_group_demand(const Interchange& interchange, const InterchangeMovement& movement,
                         const OdDemands& demands);

// Longest overlap, s, of any interval of `a` with any interval of `b` within a cycle of `cycle_s`
// (intervals wrap around the end of the cycle).
double common_green_time(std::span<const GreenInterval> a, std::span<const GreenInterval> b, double cycle_s);

// ---- Queries by name, as callers give them ----

// The result of the O-D letter (one letter A to N, any case); hcm::Error "O-D movement must be a
// letter A..N, got {}" or "no result for O-D {}".
const OdResult& od_result(const Interchange& interchange, std::string_view letter);

// The result of the first lane group with the named movement; hcm::Error "unknown interchange
// movement {}" or "no lane group {}".
const LaneGroupResult& lane_group_result(const Interchange& interchange, std::string_view movement);

// The queue storage ratio of the first lane group with the named movement; none when there is no
// such lane group or no storage length. hcm::Error "unknown interchange movement {}".
std::optional<double> queue_storage_ratio(const Interchange& interchange, std::string_view movement);

// ---- JSON document ----

const jsonio::Record<OdDemands>& json_record(jsonio::Tag<OdDemands>);
const jsonio::Record<GreenInterval>& json_record(jsonio::Tag<GreenInterval>);
const jsonio::Record<YieldTurnInput>& json_record(jsonio::Tag<YieldTurnInput>);
const jsonio::Variants<LaneGroupControl>& json_variants(jsonio::Tag<LaneGroupControl>);
const jsonio::Record<ProtectedPermittedLeft>& json_record(jsonio::Tag<ProtectedPermittedLeft>);
const jsonio::Record<LaneGroupInput>& json_record(jsonio::Tag<LaneGroupInput>);
const jsonio::Record<LaneGroupResult>& json_record(jsonio::Tag<LaneGroupResult>);
const jsonio::Record<ExtraDistance>& json_record(jsonio::Tag<ExtraDistance>);
const jsonio::Record<OdResult>& json_record(jsonio::Tag<OdResult>);
const jsonio::Record<Interchange>& json_record(jsonio::Tag<Interchange>);

// The document as the Python class reads it (a failure carries the parser's message alone) and
// writes it (compact, inputs and results).
Interchange read_interchange(std::string_view text);
std::string write_interchange(const Interchange& interchange);

}  // namespace hcm::ramp_terminals::ramp_terminals

namespace base {
template <>
inline constexpr std::array<std::string_view, 9>
    variant_names<hcm::ramp_terminals::ramp_terminals::InterchangeForm> = {
        "Diamond", "Ddi", "ParcloA2Q", "ParcloA4Q", "ParcloAB2Q", "ParcloAB4Q", "ParcloB2Q", "ParcloB4Q", "Spui"};
template <>
inline constexpr std::array<std::string_view, 4>
    variant_names<hcm::ramp_terminals::ramp_terminals::InterchangeApproach> = {"Eb", "Wb", "Nb", "Sb"};
template <>
inline constexpr std::array<std::string_view, 4>
    variant_names<hcm::ramp_terminals::ramp_terminals::InterchangeLeg> = {"Ext", "Int", "Ramp", "RampTwo"};
template <>
inline constexpr std::array<std::string_view, 4>
    variant_names<hcm::ramp_terminals::ramp_terminals::MovementTurn> = {"Left", "Through", "Right", "ThroughRight"};
}  // namespace base
