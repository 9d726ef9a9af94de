#pragma once
// HCM Chapter 14: freeway merge and diverge segments (on-ramps, off-ramps, major merges and
// major diverges), in the 7th Edition step structure ("7") and the 7.1 update, which evaluates
// the ramp influence area as an equivalent basic segment slowed by a ramp speed impedance.
//
// A `RampSegment` holds its inputs and the results of its last analysis. Callers that build
// the record themselves (the freeway facility) fill the inputs, leave every result empty and
// call `run_analysis()`; the results of the record's edition are then current.
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

#include "base/enum_names.hpp"
#include "base/options.hpp"
#include "hcm/common/common.hpp"
#include "hcm/common/version.hpp"
#include "json/record_fwd.hpp"

namespace hcm::merge_diverge {

using common::LevelOfService;
using common::Terrain;  // general terrain of the heavy-vehicle factors: E_T - 1 = 1, 2, 4
using common::version::HcmVersion;

// On-ramp and major merge are merges; off-ramp and major diverge are diverges.
enum class RampType : std::uint8_t { OnRamp, OffRamp, MajorMerge, MajorDiverge };

enum class RampSide : std::uint8_t { Right, Left };

enum class RampLanes : std::uint8_t { One, Two };

// The ramp next to this one, upstream or downstream.
enum class AdjacentRamp : std::uint8_t { None, OnRamp, OffRamp };

// Exhibit 14-3: edition-7 upper bounds of the influence-area density (pc/mi/ln) of LOS A to D; E
// above the last (F only from demand over capacity).
inline constexpr std::array<double, 4> LOS7_DENSITY_MAX = {10.0, 20.0, 28.0, 35.0};

constexpr bool is_merge(RampType t) { return t == RampType::OnRamp || t == RampType::MajorMerge; }

// Option words of a segment's text inputs, lower-cased (not trimmed). The terrain word is
// hcm::common::TERRAIN_WORDS.
inline constexpr base::OptionTable<RampType, 10> RAMP_TYPE_WORDS{
    base::Normalise::Lower,
    "unknown ramp_type: {}",
    {{{"onramp", RampType::OnRamp}, {"on_ramp", RampType::OnRamp}, {"on-ramp", RampType::OnRamp},
      {"merge", RampType::OnRamp}, {"offramp", RampType::OffRamp}, {"off_ramp", RampType::OffRamp},
      {"off-ramp", RampType::OffRamp}, {"diverge", RampType::OffRamp}, {"major_merge", RampType::MajorMerge},
      {"major_diverge", RampType::MajorDiverge}}}};
inline constexpr base::OptionTable<RampSide, 2> RAMP_SIDE_WORDS{
    base::Normalise::Lower, "unknown ramp_side: {}", {{{"right", RampSide::Right}, {"left", RampSide::Left}}}};
inline constexpr base::OptionTable<AdjacentRamp, 9> ADJACENT_RAMP_WORDS{
    base::Normalise::Lower,
    "unknown adjacent ramp type: {}",
    {{{"none", AdjacentRamp::None}, {"on", AdjacentRamp::OnRamp}, {"onramp", AdjacentRamp::OnRamp},
      {"on_ramp", AdjacentRamp::OnRamp}, {"on-ramp", AdjacentRamp::OnRamp}, {"off", AdjacentRamp::OffRamp},
      {"offramp", AdjacentRamp::OffRamp}, {"off_ramp", AdjacentRamp::OffRamp}, {"off-ramp", AdjacentRamp::OffRamp}}}};

// The number of ramp lanes, 1 or 2; another count throws hcm::Error.
RampLanes ramp_lanes_from_count(std::uint32_t lanes);

// Capacity per freeway lane at a merge or diverge, by freeway FFS (pc/h/ln).
double freeway_capacity_per_lane(double ffs);

// Capacity of one ramp-roadway lane by ramp FFS (pc/h).
double ramp_capacity_per_lane(double ramp_ffs);

// Intermediate values of an edition-7.1 run, written whole by each run.
struct RampAnalysisV71 {
    double flow_freeway = 0.0;          // v_F (pc/h)
    double flow_ramp = 0.0;             // v_R (pc/h)
    double flow_influence = 0.0;        // v: v_F for diverges, v_F + v_R for merges
    double flow_per_lane = 0.0;         // v / N
    double ffs_adj = 0.0;               // FFS x SAF
    double capacity_basic_adj = 0.0;    // CAF x basic-segment capacity
    double breakpoint_adj = 0.0;        // CAF^2 x (1000 + 40 (75 - FFS_adj))
    double speed_basic = 0.0;           // speed on the equivalent basic segment
    double speed_impedance = 0.0;       // max(k (v/N - 500), 0)
    std::optional<double> speed_avg;    // S, when positive
    std::optional<double> capacity_per_lane;  // flow per lane at 35 pc/mi/ln
    std::optional<double> dc_ratio;     // (v/N) / capacity per lane
    double capacity_neighboring_freeway = 0.0;  // c_F
    double capacity_ramp_roadway = 0.0;         // c_R
    bool demand_exceeds_capacity = false;
    double density = 0.0;               // (v/N) / S, +infinity when S is not positive
    LevelOfService los = LevelOfService::A;
};

// JSON form of the 7.1 record: keys in the order above, absent values and non-finite numbers as
// null, the LOS as its letter.
const jsonio::Record<RampAnalysisV71>& json_record(jsonio::Tag<RampAnalysisV71>);

struct DemandFlows {
    double flow_freeway;  // v_F (pc/h)
    double flow_ramp;     // v_R (pc/h)
};

struct RampSpeeds {
    double speed_ramp;                 // S_R
    std::optional<double> speed_outer; // S_O, on three or more freeway lanes
    double speed_avg;                  // S
};

struct RampSegment {
    // Inputs (defaults are those of a segment built with no arguments).
    RampType ramp_type = RampType::OnRamp;
    RampSide ramp_side = RampSide::Right;
    RampLanes ramp_lanes = RampLanes::One;
    std::uint32_t freeway_lanes = 3;            // N, one direction
    double freeway_ffs = 70.0;                  // FFS (mi/h)
    double ramp_ffs = 35.0;                     // S_FR (mi/h)
    std::optional<double> accel_lane_length = 800.0;   // L_A (ft); 800 when absent
    std::optional<double> accel_lane_length2;         // second acceleration lane, two-lane on-ramps
    std::optional<double> decel_lane_length = 400.0;   // L_D (ft); 400 when absent
    std::optional<double> decel_lane_length2;         // second deceleration lane, two-lane off-ramps
    double freeway_demand = 4000.0;             // V_F upstream of the ramp (veh/h)
    double ramp_demand = 500.0;                 // V_R (veh/h)
    double phf = 0.94;
    double heavy_vehicle_pct = 0.05;            // freeway P_T as a proportion
    std::optional<double> ramp_heavy_vehicle_pct;  // ramp P_T; the freeway's when absent
    Terrain terrain = Terrain::Level;
    AdjacentRamp adjacent_upstream = AdjacentRamp::None;
    std::optional<double> upstream_distance;    // L_up (ft)
    std::optional<double> upstream_ramp_flow;   // veh/h
    AdjacentRamp adjacent_downstream = AdjacentRamp::None;
    std::optional<double> downstream_distance;  // L_down (ft)
    std::optional<double> downstream_ramp_flow; // veh/h
    double caf = 1.0;
    double saf = 1.0;
    HcmVersion version = HcmVersion::Hcm7;

    // Results, empty until computed.
    std::optional<double> flow_freeway;      // v_F (pc/h), on five or more lanes reduced to four (edition 7)
    std::optional<double> flow_freeway_all_lanes;  // v_F of all N lanes, before that reduction (pc/h)
    std::optional<double> flow_ramp;         // v_R (pc/h)
    std::optional<double> p_f;               // P_FM or P_FD
    std::optional<double> v12;               // flow in lanes 1 and 2 upstream of the influence area
    std::optional<double> vr12;              // v_R12 (merges), v12 (diverges)
    std::optional<double> v_oa;              // average flow per outer lane
    std::optional<double> capacity_freeway;  // c_F (pc/h)
    std::optional<double> capacity_ramp;     // c_R (pc/h)
    std::optional<double> vc_ratio;          // v / c_F, v of all lanes (7); (v/N) / capacity per lane (7.1)
    std::optional<double> density;           // D_R, ramp influence area (pc/mi/ln)
    std::optional<double> speed_ramp;        // S_R
    std::optional<double> speed_outer;       // S_O
    std::optional<double> speed_avg;         // S, all lanes
    std::optional<double> segment_density;   // v / (N S)
    std::optional<RampAnalysisV71> analysis_v7_1;
    std::optional<bool> demand_exceeds_capacity;
    std::optional<bool> exceeds_max_desirable;
    std::optional<LevelOfService> los;

    // The whole procedure of the record's edition. Never fails. Edition 7 gives no LOS for a
    // major merge within capacity.
    std::optional<LevelOfService> run_analysis();

    // 7th Edition steps, each on the stored results of the earlier ones (absent counts as 0).
    // Each throws hcm::Error naming itself, and changes nothing, on an edition-7.1 record.
    DemandFlows determine_demand_flow();  // Step 1: v_F (as reduced to four lanes), v_R
    double estimate_v12();                // Step 2: P_FM or P_FD, v12
    double determine_capacity();          // Step 3: c_F, c_R, capacity checks
    double determine_density();           // Step 4: D_R (0 for a major merge)
    std::optional<LevelOfService> determine_los();  // Step 5
    RampSpeeds estimate_speed();          // Step 6: S_R, S_O, S

    // Results back to empty, inputs kept.
    void clear_results();
};

// Service flow rate under ideal conditions (pc/h) at which the ramp influence-area density
// reaches `target_density` (HCM Chapter 28, Example Problem 5). Exactly one basis is given:
// `ramp_fraction` (Case 1, returns v_F with v_R = fraction x v_F) or `fixed_freeway_vf`
// (Case 2, returns v_R). No value when the target cannot be reached. Throws hcm::Error when
// both or neither basis is given. `segment` is not changed.
std::optional<double> ramp_service_flow_rate_ideal(const RampSegment& segment, double target_density,
                                                   std::optional<double> ramp_fraction,
                                                   std::optional<double> fixed_freeway_vf);

struct ServiceVolumes {
    double service_flow_rate;  // SF = SFI x f_HV x f_p (veh/h)
    double service_volume;     // SV = SF x PHF (veh/h)
};

ServiceVolumes ramp_service_volumes(double sfi, double f_hv, double f_p, double phf);

}  // namespace hcm::merge_diverge

namespace base {
template <>
inline constexpr std::array<std::string_view, 4> variant_names<hcm::merge_diverge::RampType> = {"OnRamp", "OffRamp",
                                                                                          "MajorMerge", "MajorDiverge"};
template <>
inline constexpr std::array<std::string_view, 2> variant_names<hcm::merge_diverge::RampSide> = {"Right", "Left"};
}  // namespace base
