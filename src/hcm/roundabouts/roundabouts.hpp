#pragma once
// HCM Chapter 22: roundabouts.
//
// One `Roundabouts` record holds a four-leg roundabout's inputs and the results of its last
// analysis. Entries are named by the direction of travel of the entering traffic (`nb` is the
// south leg); each carries its U-turn, left, through and right volumes, its lane configuration,
// its right-turn bypass lane and the pedestrians crossing it.
//
//   hcm::roundabouts::roundabouts::Roundabouts r = hcm::roundabouts::roundabouts::read_roundabouts(text);
//   hcm::roundabouts::roundabouts::analyze(r);     // one pass, no iteration
//   double d = r.intersection_delay.value_or(0.0);
//
// A lane of zero capacity gets an infinite (or, without flow, undefined) delay: such numbers are
// written to JSON as null and read back as NaN. LOS letters are one-character strings.
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
#include "json/record_fwd.hpp"

namespace hcm::roundabouts::roundabouts {

// Right-turn bypass lane of an entry.
enum class BypassType : std::uint8_t { None, Yielding, NonYielding };

// Lane use of a two-lane entry, left lane first (U-turn, Left, Through, Right).
enum class LaneAssignment : std::uint8_t {
    LeftAndThroughRight,         // U L | T R
    LeftThroughAndRight,         // U L T | R
    LeftThroughAndThroughRight,  // U L T | T R
    LeftAndAllMovements,         // U L | U L T R
    AllMovementsAndRight,        // U L T R | R
};

// The result of one entry lane or bypass lane.
struct RoundaboutLaneResult {
    std::string label;  // "left", "right", "entry" or "bypass"
    double flow_pce = 0.0;      // pc/h
    double flow_veh = 0.0;      // veh/h
    double capacity_pce = 0.0;  // pc/h, of the capacity model alone
    double capacity_veh = 0.0;  // veh/h, after the heavy-vehicle and pedestrian factors
    double v_c_ratio = 0.0;     // 0 when the capacity is not above 0
    double control_delay = 0.0;  // s/veh
    std::string los;            // one character
    double queue_95 = 0.0;      // veh

    friend bool operator==(const RoundaboutLaneResult&, const RoundaboutLaneResult&) = default;
};

struct RoundaboutApproach {
    double v_u = 0.0;  // U-turn, left, through and right demand volumes, veh/h
    double v_l = 0.0;
    double v_t = 0.0;
    double v_r = 0.0;
    double heavy_vehicle_pct = 0.0;  // percent
    std::uint32_t entry_lanes = 1;
    std::uint32_t circulating_lanes = 1;
    std::uint32_t exiting_lanes = 1;  // of the exit this entry's through traffic leaves by
    BypassType bypass = BypassType::None;
    LaneAssignment lane_assignment = LaneAssignment::LeftThroughAndThroughRight;
    std::optional<double> pct_left_lane;  // fraction of a split entry flow in the left lane
    double n_ped = 0.0;                   // conflicting pedestrians, p/h

    std::optional<std::array<double, 4>> flows_pce;  // U, L, T, R in pc/h
    std::optional<double> circulating_flow_pce;
    std::optional<double> bypass_conflicting_flow_pce;
    std::vector<RoundaboutLaneResult> lanes;  // left lane first
    std::optional<RoundaboutLaneResult> bypass_lane;
    std::optional<double> control_delay;  // s/veh
    std::optional<std::string> los;

    friend bool operator==(const RoundaboutApproach&, const RoundaboutApproach&) = default;
};

struct Roundabouts {
    RoundaboutApproach nb;
    RoundaboutApproach sb;
    RoundaboutApproach eb;
    RoundaboutApproach wb;
    std::optional<double> phf;  // absent, zero or negative: the volumes are flow rates
    double analysis_period_h = 0.25;
    std::optional<std::pair<double, double>> calibration;  // (A, B) of c = A exp(-B v_c), entry lanes only
    std::optional<double> intersection_delay;
    std::optional<std::string> intersection_los;

    friend bool operator==(const Roundabouts&, const Roundabouts&) = default;
};

// The entries by index: 0 nb, 1 sb, 2 eb, 3 wb, the order of every step.
inline constexpr std::array<RoundaboutApproach Roundabouts::*, 4> ENTRIES = {&Roundabouts::nb, &Roundabouts::sb,
                                                                             &Roundabouts::eb, &Roundabouts::wb};
inline constexpr std::size_t NB = 0, SB = 1, EB = 2, WB = 3;

// An entry code as callers pass it: ASCII upper-cased, nothing trimmed.
inline constexpr base::OptionTable<std::size_t, 4> ENTRY_WORDS{
    base::Normalise::Upper, "entry must be NB/SB/EB/WB, got {}", {{{"NB", NB}, {"SB", SB}, {"EB", EB}, {"WB", WB}}}};

// An exponential capacity model c = intercept exp(-slope v_c), c and v_c in pc/h: the HCM's
// one- and two-lane entry and bypass models, or a local calibration (Equations 22-21 to 22-23).
struct CapacityModel {
    double intercept;  // pc/h
    double slope;      // h/pc
    double at(double conflicting_flow) const;
};

// The whole Chapter 22 procedure (Steps 1-12): writes every result in place. Fails only out of
// memory, before anything is stored.
void analyze(Roundabouts& r);

// Pedestrian impedance factor f_ped of an entry's lanes, one- or two-lane form.
double pedestrian_impedance(std::uint32_t entry_lanes, double circulating_flow, double pedestrians);

// The capacity model of an uncalibrated entry lane: lane 0 is the left (or only) lane.
CapacityModel entry_capacity_model(std::uint32_t entry_lanes, std::uint32_t circulating_lanes, std::size_t lane);

// The capacity model of a yielding bypass lane merging into an exit of `exit_lanes` lanes.
CapacityModel bypass_capacity_model(std::uint32_t exit_lanes);

// Demand flow rates (pc/h) of the entry lanes, left lane first: one lane for `entry_lanes` 0 or
// 1, two otherwise, split by the lane assignment. `flows` are U, L, T, R; the right turns are
// left out when the entry has a bypass lane.
std::vector<double> entry_lane_flows(const RoundaboutApproach& entry, const std::array<double, 4>& flows);

// Volume-to-capacity ratio, control delay (s/veh), LOS and 95th-percentile queue (veh) of a lane
// from its `flow_veh` and `capacity_veh`, over an analysis period of `t_h` hours.
void fill_lane_performance(RoundaboutLaneResult& lane, double t_h);

// The approach of an entry code ("nb", "NB", ...); hcm::Error "entry must be NB/SB/EB/WB, got {}".
const RoundaboutApproach& entry_of(const Roundabouts& r, std::string_view entry_text);
// The lane result at `lane` of an entry; hcm::Error "no lane {} on {}" (the entry text as given).
const RoundaboutLaneResult& lane_result_of(const Roundabouts& r, std::string_view entry_text, std::uint64_t lane);

// JSON: the records' tables, and the document as the Python class reads it (a failure carries
// the parser's message alone) and writes it (compact).
const jsonio::Record<RoundaboutLaneResult>& json_record(jsonio::Tag<RoundaboutLaneResult>);
const jsonio::Record<RoundaboutApproach>& json_record(jsonio::Tag<RoundaboutApproach>);
const jsonio::Record<Roundabouts>& json_record(jsonio::Tag<Roundabouts>);
Roundabouts read_roundabouts(std::string_view text);
std::string write_roundabouts(const Roundabouts& r);

}  // namespace hcm::roundabouts::roundabouts

namespace base {
template <>
inline constexpr std::array<std::string_view, 3> variant_names<hcm::roundabouts::roundabouts::BypassType> = {
    "None", "Yielding", "NonYielding"};
template <>
inline constexpr std::array<std::string_view, 5> variant_names<hcm::roundabouts::roundabouts::LaneAssignment> = {
    "LeftAndThroughRight", "LeftThroughAndRight", "LeftThroughAndThroughRight", "LeftAndAllMovements",
    "AllMovementsAndRight"};
}  // namespace base
