#pragma once
// HCM Chapter 20: two-way STOP-controlled (TWSC) intersections, motorized-vehicle method.
//
// The layout is fixed: the major (uncontrolled) street runs east-west, the minor (STOP-controlled)
// street north-south; a three-leg intersection has no southbound approach. Movements are numbered
// as in HCM Exhibit 20-1 (`Mv`). One `Twsc` record holds the inputs and the results of the last
// analysis, and its JSON document (compact) is both the input and the export:
//
//   Twsc t = read_twsc(text);        // jsonio::Error with the reader's message; 14 movement records
//   analyze(t);                      // flows, conflicting flows, headways, capacities, lanes, delays
//   double d = t.intersection_delay.value_or(0.0);
//   std::string out = write_twsc(t);
//
// A lane or major-street left turn with demand and no capacity (0 or not a number) is LOS F with
// an infinite control delay and queue (written null), and the approach and intersection delays
// follow it. LOS letters are held as one-character strings ("A" to "F"), as the document writes them.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/enum_names.hpp"
#include "base/options.hpp"
#include "hcm/twsc/computed_pb.hpp"
#include "json/record_fwd.hpp"

namespace hcm::twsc::twsc {

using computed_pb::UpstreamSignals;

// The fourteen vehicle movements of Exhibit 20-1: EB 1, 1U, 2, 3; WB 4, 4U, 5, 6; NB 7, 8, 9;
// SB 10, 11, 12. The position of every per-movement list.
enum class Mv : std::uint8_t { M1, M1U, M2, M3, M4, M4U, M5, M6, M7, M8, M9, M10, M11, M12 };
inline constexpr std::size_t MOVEMENT_COUNT = 14;
constexpr std::size_t index(Mv m) { return static_cast<std::size_t>(m); }

// The labels by which users name the movements, in Mv order ("1U" and "4U" also as "1u", "4u").
inline constexpr std::array<std::string_view, MOVEMENT_COUNT> MOVEMENT_LABELS = {
    "1", "1U", "2", "3", "4", "4U", "5", "6", "7", "8", "9", "10", "11", "12"};

// The movement a label names, or none ("M7", "07" and " 7" name none).
std::optional<Mv> from_label(std::string_view label);

// Treatment of a major-street right turn: how much of it conflicts with the minor movements.
enum class MajorRightTurnConfig : std::uint8_t { Shared, Exclusive, Channelized };

// Lane of a major-street left turn: its own lane, the inside through lane, or the through lane
// with a short pocket of `storage_veh` vehicles (which selects the shared-lane p0*).
enum class MajorLeftLane : std::uint8_t { Exclusive, Shared, SharedShortPocket };
struct MajorLeftLaneConfig {
    MajorLeftLane lane = MajorLeftLane::Exclusive;
    std::uint32_t storage_veh = 0;  // SharedShortPocket only, 0 otherwise

    friend bool operator==(const MajorLeftLaneConfig&, const MajorLeftLaneConfig&) = default;
};

enum class UTurnMedianWidth : std::uint8_t { Wide, Narrow };

// Lanes of a minor-street approach (left, through, right).
enum class MinorLaneConfig : std::uint8_t {
    SingleShared,
    SharedLeftThroughExclusiveRight,
    ExclusiveLeftSharedThroughRight,
    Separate
};

// Hourly volumes by movement (veh/h), and pedestrian flows 13-16 (p/h, not divided by the PHF):
// 13 crosses the west leg, 14 the east leg, 15 the south leg (NB approach), 16 the north leg.
struct TwscDemand {
    double v1 = 0.0, v1u = 0.0, v2 = 0.0, v3 = 0.0, v4 = 0.0, v4u = 0.0, v5 = 0.0, v6 = 0.0;
    double v7 = 0.0, v8 = 0.0, v9 = 0.0, v10 = 0.0, v11 = 0.0, v12 = 0.0;
    double v13 = 0.0, v14 = 0.0, v15 = 0.0, v16 = 0.0;

    friend bool operator==(const TwscDemand&, const TwscDemand&) = default;
};

// The vehicle volume of each movement, in Mv order.
inline constexpr std::array<double TwscDemand::*, MOVEMENT_COUNT> VEHICLE_DEMAND = {
    &TwscDemand::v1, &TwscDemand::v1u, &TwscDemand::v2,  &TwscDemand::v3,  &TwscDemand::v4,
    &TwscDemand::v4u, &TwscDemand::v5, &TwscDemand::v6,  &TwscDemand::v7,  &TwscDemand::v8,
    &TwscDemand::v9, &TwscDemand::v10, &TwscDemand::v11, &TwscDemand::v12};

struct TwscGeometry {
    bool is_three_leg = false;
    std::uint32_t major_lanes_per_direction = 0;  // N, through lanes per direction
    MajorRightTurnConfig major_right_turn_eb = MajorRightTurnConfig::Shared;
    MajorRightTurnConfig major_right_turn_wb = MajorRightTurnConfig::Shared;
    MajorLeftLaneConfig major_left_eb;
    MajorLeftLaneConfig major_left_wb;
    UTurnMedianWidth uturn_median_width = UTurnMedianWidth::Wide;
    double grade_minor_nb_pct = 0.0;  // percent as given (3 for a 3 % upgrade)
    double grade_minor_sb_pct = 0.0;
    MinorLaneConfig minor_lanes_nb = MinorLaneConfig::SingleShared;
    MinorLaneConfig minor_lanes_sb = MinorLaneConfig::SingleShared;
    std::optional<std::uint32_t> median_storage_nb;  // vehicles; absent or 0: one-stage crossing
    std::optional<std::uint32_t> median_storage_sb;
    std::optional<std::uint32_t> flare_storage_nb;  // vehicles; absent or 0: no flared right turn
    std::optional<std::uint32_t> flare_storage_sb;
    double lane_width_ft = 12.0;  // crossing width of the pedestrian impedance

    friend bool operator==(const TwscGeometry&, const TwscGeometry&) = default;
};

// A conflicting flow the user fixes. A movement text that is no label skips the override;
// "stage1" and "stage2" set a stage, any other text the total.
struct ConflictingFlowOverride {
    std::string movement;
    std::string stage;
    double value = 0.0;  // veh/h

    friend bool operator==(const ConflictingFlowOverride&, const ConflictingFlowOverride&) = default;
};

// Proportions of time blocked by platoons, p_b,x (HCM Equations 20-19 to 20-21).
struct PlatoonBlockage {
    double pb1 = 0.0, pb4 = 0.0, pb7 = 0.0, pb8 = 0.0, pb9 = 0.0, pb10 = 0.0, pb11 = 0.0, pb12 = 0.0;

    friend bool operator==(const PlatoonBlockage&, const PlatoonBlockage&) = default;
};

// Results of one vehicle movement; absent: not computed for the movement.
struct TwscMovementResult {
    double flow_rate = 0.0;  // veh/h
    std::optional<double> conflicting_flow;  // v_c,x, veh/h
    std::optional<double> conflicting_flow_stage1;
    std::optional<double> conflicting_flow_stage2;
    std::optional<double> critical_headway;  // t_c,x, s
    std::optional<double> critical_headway_stage1;
    std::optional<double> critical_headway_stage2;
    std::optional<double> followup_headway;  // t_f,x, s
    std::optional<double> potential_capacity;  // c_p,x, veh/h
    std::optional<double> potential_capacity_stage1;
    std::optional<double> potential_capacity_stage2;
    std::optional<double> movement_capacity;  // c_m,x, veh/h
    std::optional<double> movement_capacity_stage1;
    std::optional<double> movement_capacity_stage2;
    std::optional<double> control_delay;  // s/veh, major-street left turns and U-turns
    std::optional<std::string> los;       // one character
    std::optional<double> queue_95;       // veh

    friend bool operator==(const TwscMovementResult&, const TwscMovementResult&) = default;
};

// One lane of a minor-street approach.
struct TwscLaneResult {
    std::vector<Mv> movements;  // left, through, right order
    double flow_rate = 0.0;     // veh/h
    double capacity = 0.0;      // veh/h; +infinity for a lane without movements
    double control_delay = 0.0;  // s/veh
    std::string los = "A";
    double queue_95 = 0.0;  // veh

    friend bool operator==(const TwscLaneResult&, const TwscLaneResult&) = default;
};

struct Twsc {
    // Inputs.
    TwscDemand demand;
    TwscGeometry geometry;
    std::optional<double> phf;  // absent, 0, negative or not a number: 1
    double analysis_period_h = 0.25;  // T
    double heavy_vehicle_pct = 0.0;
    std::vector<ConflictingFlowOverride> conflicting_flow_overrides;
    std::optional<PlatoonBlockage> platoon_blockage;  // given, or computed once from the signals
    std::optional<UpstreamSignals> upstream_signals;
    // Results.
    std::vector<TwscMovementResult> movements = std::vector<TwscMovementResult>(MOVEMENT_COUNT);  // Mv order
    std::vector<TwscLaneResult> lanes_nb;
    std::vector<TwscLaneResult> lanes_sb;
    std::optional<std::array<double, 4>> approach_delays;  // EB, WB, NB, SB, s/veh (Equation 20-64)
    std::optional<double> intersection_delay;              // s/veh (Equation 20-65)
    std::optional<std::array<double, 2>> rank1_major_delay;  // EB, WB, s/veh (Equations 20-62, 20-63)

    friend bool operator==(const Twsc&, const Twsc&) = default;
};

enum class MinorApproach : std::uint8_t { NB, SB };

// The whole procedure. Computes the platoon blockage from the upstream signals first when none
// is stored (hcm::Error "too many platoon-profile steps: {n}" for a cycle of more than a million
// profile steps), then runs every step into blank results (14 movement records, the lanes, the
// delays) in place of the stored ones. Otherwise fails only out of memory or when cancelled in a
// large platoon profile; a failure leaves the record as it was. Degenerate input gives infinite or
// not-a-number results.
void analyze(Twsc& t);

// Critical headway t_c,x (s) of a movement, single stage or Stage I (stage 1) / Stage II (any
// other stage) of a two-stage crossing, from the record's lanes, heavy vehicles, grades and
// three-leg flag. The rank-1 movements get the heavy-vehicle term alone.
double critical_headway(const Twsc& t, Mv m, bool two_stage, std::uint8_t stage);
// Follow-up headway t_f,x (s) of a movement.
double followup_headway(const Twsc& t, Mv m);
// Whether a minor-street crossing movement crosses the major street in two stages.
bool crosses_in_two_stages(const Twsc& t, Mv m);

// Potential capacity (veh/h) of a stream with conflicting flow v_c, critical headway t_c and
// follow-up headway t_f; 3,600 / t_f when v_c is not positive.
double potential_capacity(double v_c, double t_c, double t_f);
// The same with a proportion of time blocked p_b by platoons on N through lanes (Step 5b).
double platoon_adjusted_capacity(double v_c, double t_c, double t_f, double p_b, std::uint32_t n);
// Two-stage gap-acceptance capacity c_T (veh/h) of a movement from its Stage I and II capacities,
// the major left-turn flow v_L, the median storage m (vehicles) and its one-stage capacity c_m.
double two_stage_capacity(double c_i, double c_ii, double v_l, double m, double c_m);

// Shared-lane p0* of a major-street left turn (HCM Equations 20-29 to 20-34) with queue-free
// probability p0; absent for an exclusive left-turn lane. The major street saturated (x >= 1)
// gives 1 without left-turn demand (p0 >= 1) and 0 otherwise.
std::optional<double> p0_star_major_left(const Twsc& t, bool eastbound, double p0);
// Rank-1 delay (s/veh) of the major-street through and right traffic of one direction sharing a
// lane with its left turn, from the current movement results; absent for an exclusive lane.
std::optional<double> compute_rank1_major_delay(const Twsc& t, bool eastbound);

// The lanes of a minor approach with their movements, flow rates and capacities (not evaluated),
// from the current movement results and the approach's lane configuration and flare.
std::vector<TwscLaneResult> minor_lanes(const Twsc& t, MinorApproach approach);

// Control delay (Equation 20-61), LOS (Exhibit 20-2) and 95th percentile queue (Equation 20-66)
// of flow v on capacity c over T hours; absent when c is not positive (or not a number) and
// there is no demand, LOS F with infinite delay and queue when there is.
struct DelayResult {
    double control_delay;
    char los;
    double queue_95;
};
std::optional<DelayResult> evaluate_delay(double v, double c, double t_h);

// ---- queries by label and approach name (each throws hcm::Error with the message given above it) ----

// "unknown TWSC movement label: {}" (the text as given).
const TwscMovementResult& movement_result(const Twsc& t, std::string_view label);
// "TWSC minor approach must be NB or SB, got {}" (upper-cased).
const std::vector<TwscLaneResult>& lanes_of(const Twsc& t, std::string_view approach);
// Also "no lane {} on {}" (the approach as given).
const TwscLaneResult& lane_of(const Twsc& t, std::string_view approach, std::uint64_t lane);
// "unknown major-left lane config: {} (expected exclusive|shared|short_pocket)", then
// "short_pocket major-left config requires storage_veh", then "unknown major approach: {}
// (expected EB or WB)"; nothing is stored on failure.
void set_major_left_config(Twsc& t, std::string_view approach, std::string_view config,
                           std::optional<std::uint32_t> storage_veh);
// The configuration word ("exclusive", "shared", "short_pocket") and the pocket's storage.
std::pair<std::string_view, std::optional<std::uint32_t>> major_left_config(const Twsc& t, std::string_view approach);

// JSON: the records' tables, and the document as the Python class reads it (the parser's message
// alone; a movement list of any length but 14 becomes 14 blank records) and writes it (compact).
const jsonio::Record<TwscDemand>& json_record(jsonio::Tag<TwscDemand>);
const jsonio::Record<TwscGeometry>& json_record(jsonio::Tag<TwscGeometry>);
const jsonio::Record<ConflictingFlowOverride>& json_record(jsonio::Tag<ConflictingFlowOverride>);
const jsonio::Record<PlatoonBlockage>& json_record(jsonio::Tag<PlatoonBlockage>);
const jsonio::Record<TwscMovementResult>& json_record(jsonio::Tag<TwscMovementResult>);
const jsonio::Record<TwscLaneResult>& json_record(jsonio::Tag<TwscLaneResult>);
const jsonio::Record<Twsc>& json_record(jsonio::Tag<Twsc>);
Twsc read_twsc(std::string_view text);
std::string write_twsc(const Twsc& t);

}  // namespace hcm::twsc::twsc

namespace base {
template <>
inline constexpr std::array<std::string_view, 14> variant_names<hcm::twsc::twsc::Mv> = {
    "M1", "M1U", "M2", "M3", "M4", "M4U", "M5", "M6", "M7", "M8", "M9", "M10", "M11", "M12"};
template <>
inline constexpr std::array<std::string_view, 3> variant_names<hcm::twsc::twsc::MajorRightTurnConfig> = {
    "Shared", "Exclusive", "Channelized"};
template <>
inline constexpr std::array<std::string_view, 2> variant_names<hcm::twsc::twsc::UTurnMedianWidth> = {"Wide",
                                                                                                      "Narrow"};
template <>
inline constexpr std::array<std::string_view, 4> variant_names<hcm::twsc::twsc::MinorLaneConfig> = {
    "SingleShared", "SharedLeftThroughExclusiveRight", "ExclusiveLeftSharedThroughRight", "Separate"};
}  // namespace base
