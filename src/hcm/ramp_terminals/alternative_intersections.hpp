#pragma once
// Alternative intersections (HCM Chapter 23, Part C): restricted crossing U-turn (RCUT) and median
// U-turn (MUT) intersections evaluated movement by movement from each movement's journey through
// its junctions, and displaced left-turn (DLT) intersections from their per-junction (flow, delay)
// cells; plus the offset of a DLT's supplemental intersection. The documents hold inputs only:
// every query evaluates afresh.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/enum_names.hpp"
#include "base/options.hpp"
#include "hcm/common/common.hpp"
#include "hcm/common/delay_los.hpp"
#include "json/record_fwd.hpp"

namespace hcm::ramp_terminals::alternative_intersections {

using common::LevelOfService;

enum class Approach : std::uint8_t { Eb, Wb, Nb, Sb };

// Approach names as callers give them: "EB", "WB", "NB", "SB" in any case.
inline constexpr base::OptionTable<Approach, 4> APPROACH_WORDS{
    base::Normalise::Upper,
    "approach must be EB/WB/NB/SB, got {}",
    {{{"EB", Approach::Eb}, {"WB", Approach::Wb}, {"NB", Approach::Nb}, {"SB", Approach::Sb}}}};

enum class AltIntersectionForm : std::uint8_t {
    RcutFourLeg,
    RcutThreeLeg,
    MutFourLeg,
    MutThreeLeg,
    DltPartial,
    DltFull,
};

// A junction whose control delay the analyst gives.
struct ProvidedStep {
    double control_delay_s = 0.0;
    bool vc_gt_1 = false;  // the junction's v/c exceeds 1
    bool rq_gt_1 = false;  // the junction's queue exceeds its storage
};

// A STOP-controlled junction where the movement accepts gaps in a conflicting flow.
struct StopStep {
    double flow_veh_h = 0.0;              // v, the movement's flow at this junction
    double conflicting_flow_veh_h = 0.0;  // v_c
    double critical_headway_s = 0.0;      // t_c
    double followup_headway_s = 0.0;      // t_f
    std::optional<double> storage_ft;     // none: no storage check
    double queue_spacing_ft = 25.0;
};

// An uncontrolled merge: no delay.
struct MergeStep {};

using JunctionStep = std::variant<ProvidedStep, StopStep, MergeStep>;

// One movement's journey through the intersection.
struct AltMovement {
    std::string label;
    Approach approach = Approach::Eb;
    double demand_veh_h = 0.0;
    std::vector<JunctionStep> junctions;
    double edtt_s = 0.0;              // extra-distance travel time
    double analysis_period_h = 0.25;  // T of the STOP junctions
};

// An RCUT or MUT intersection.
struct AlternativeIntersection {
    AltIntersectionForm form = AltIntersectionForm::RcutFourLeg;
    std::vector<AltMovement> movements;
};

// One junction movement of a DLT intersection (HCM Exhibit 34-145 cells).
struct DltDelayCell {
    double flow_veh_h = 0.0;
    double control_delay_s = 0.0;  // s/veh
};

struct DisplacedLeftTurn {
    AltIntersectionForm form = AltIntersectionForm::DltFull;
    std::vector<DltDelayCell> cells;
    double total_od_demand_veh_h = 0.0;  // divisor of the DLT experienced travel time
};

// Movements and DLT intersections are rated by experienced travel time on the signalized delay
// table (Exhibit 23-13).
inline LevelOfService ett_los(double ett_s, bool over_capacity = false) {
    return common::los_of_delay(common::SIGNALIZED_DELAY_LOS_MAX, ett_s, over_capacity);
}

// Experienced travel time of one movement (HCM Equation 23-60) and its LOS (Exhibit 23-13).
struct AltMovementResult {
    std::string label;
    std::vector<double> step_delays_s;
    double total_delay_s = 0.0;
    double edtt_s = 0.0;
    double ett_s = 0.0;
    bool vc_exceeds_one = false;
    bool queue_exceeds_storage = false;
    LevelOfService los = LevelOfService::A;
};

// Capacity, delay and 95th-percentile queue of a STOP junction (two-way STOP gap acceptance).
struct StopJunction {
    double capacity_veh_h = 0.0;
    double delay_s = 0.0;
    double queue_95_veh = 0.0;
    bool vc_exceeds_one = false;
    bool queue_exceeds_storage = false;
};

StopJunction evaluate_stop(const StopStep& step, double analysis_period_h);

// The movement's delays, ETT and LOS. Never fails: degenerate inputs give infinite or undefined
// values and LOS F.
AltMovementResult evaluate(const AltMovement& movement);

// Demand-weighted ETT of the movements on one approach (HCM Equation 23-61); none when they carry
// no demand. Movements without demand take no part.
std::optional<double> approach_ett(const AlternativeIntersection& intersection, Approach approach);

// The same over all movements (HCM Equation 23-62).
std::optional<double> intersection_ett(const AlternativeIntersection& intersection);

// The result of the first movement labelled `label` (exact match); hcm::Error "no movement {}".
AltMovementResult movement_result(const AlternativeIntersection& intersection, std::string_view label);

// Volume-weighted control delay of a DLT intersection taken as its ETT (HCM Equation 23-69),
// 0 without O-D demand, and its LOS.
double dlt_ett(const DisplacedLeftTurn& dlt);
LevelOfService dlt_los(const DisplacedLeftTurn& dlt);

// Offset of a DLT's supplemental intersection (HCM Equations 23-63 to 23-68).
struct DltOffset {
    double tt_dlt_s;   // travel time from the supplemental to the main intersection
    double st_dlt_s;   // start of the DLT green
    double st_th_s;    // start of the through green
    double o_supp_s;   // the offset, wrapped into [0, cycle) when the cycle is positive
};

DltOffset dlt_offset(double td_dlt_ft, double sf_dlt_mph, double lag_dlt_s, double lag_th_s, double offset_supp_s,
                     double offset_main_s, double cycle_s);

// ---- JSON documents (read only) ----

const jsonio::Record<ProvidedStep>& json_record(jsonio::Tag<ProvidedStep>);
const jsonio::Record<StopStep>& json_record(jsonio::Tag<StopStep>);
const jsonio::Record<MergeStep>& json_record(jsonio::Tag<MergeStep>);
const jsonio::Record<AltMovement>& json_record(jsonio::Tag<AltMovement>);
const jsonio::Record<AlternativeIntersection>& json_record(jsonio::Tag<AlternativeIntersection>);
const jsonio::Record<DltDelayCell>& json_record(jsonio::Tag<DltDelayCell>);
const jsonio::Record<DisplacedLeftTurn>& json_record(jsonio::Tag<DisplacedLeftTurn>);

// The documents as the Python classes read them; a failure carries the parser's message alone.
AlternativeIntersection read_alternative_intersection(std::string_view text);
DisplacedLeftTurn read_displaced_left_turn(std::string_view text);

}  // namespace hcm::ramp_terminals::alternative_intersections

namespace base {
template <>
inline constexpr std::array<std::string_view, 4>
    variant_names<hcm::ramp_terminals::alternative_intersections::Approach> = {"Eb", "Wb", "Nb", "Sb"};
template <>
inline constexpr std::array<std::string_view, 6>
    variant_names<hcm::ramp_terminals::alternative_intersections::AltIntersectionForm> = {
        "RcutFourLeg", "RcutThreeLeg", "MutFourLeg", "MutThreeLeg", "DltPartial", "DltFull"};
}  // namespace base
