#pragma once
// HCM Chapter 21: all-way STOP-controlled (AWSC) intersections.
//
// One `Awsc` record holds the intersection's inputs and the results of its last analysis: four
// approaches named by the direction of the approaching traffic, each an ordered list of lanes
// with the left, through and right volumes the analyst assigned to them. An approach without
// lanes is a missing leg (a T-intersection has one).
//
//   hcm::awsc::awsc::Awsc a = hcm::awsc::awsc::read_awsc(text);
//   hcm::awsc::awsc::analyze(a);                    // Steps 1-4, the headway iteration, 9-16
//   double d = a.intersection_delay.value_or(0.0);
//   double c = hcm::awsc::awsc::capacity_of_lane(a, 0, 0);   // Step 12, on request only
//
// LOS letters are held as one-character strings ("A" to "F"), as the document writes them.
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

namespace hcm::awsc::awsc {

// Geometry group of an approach (Exhibit 21-11), in the column order of the headway tables.
enum class GeometryGroup : std::uint8_t { G1, G2, G3a, G3b, G4a, G4b, G5, G6 };

// One lane: the volumes assigned to it (veh/h) and its results.
struct AwscLane {
    double volume_left = 0.0;
    double volume_through = 0.0;
    double volume_right = 0.0;

    std::optional<double> flow_rate;              // v, veh/h (Steps 1-2)
    std::optional<double> headway_adjustment;     // h_adj, s (Step 4)
    std::optional<double> departure_headway;      // h_d, s (converged)
    std::optional<double> degree_of_utilization;  // x = v h_d / 3600, not capped at 1
    std::optional<double> service_time;           // t_s, s
    std::optional<double> capacity;               // veh/h; kept as given, never computed into the record
    std::optional<double> control_delay;          // s/veh
    std::optional<std::string> los;               // one character
    std::optional<double> queue_95;               // veh

    friend bool operator==(const AwscLane&, const AwscLane&) = default;
};

struct AwscApproach {
    std::vector<AwscLane> lanes;   // lane index = list position; empty: the leg does not exist
    double heavy_vehicle_pct = 0.0;  // percent of the approach traffic, all lanes alike
    std::optional<GeometryGroup> geometry_group;  // derived afresh for an approach with lanes
    std::optional<double> control_delay;  // s/veh
    std::optional<std::string> los;

    friend bool operator==(const AwscApproach&, const AwscApproach&) = default;
};

struct Awsc {
    AwscApproach eb;
    AwscApproach wb;
    AwscApproach nb;
    AwscApproach sb;
    std::optional<double> phf;        // absent, zero or negative: the volumes are flow rates
    double analysis_period_h = 0.25;  // T
    std::optional<double> intersection_delay;  // s/veh
    std::optional<std::string> intersection_los;
    std::optional<std::uint32_t> iterations;  // passes of the last departure-headway iteration

    friend bool operator==(const Awsc&, const Awsc&) = default;
};

// The approaches by index: 0 eb, 1 wb, 2 nb, 3 sb.
inline constexpr std::array<AwscApproach Awsc::*, 4> APPROACHES = {&Awsc::eb, &Awsc::wb, &Awsc::nb, &Awsc::sb};
inline constexpr std::size_t EB = 0, WB = 1, NB = 2, SB = 3;

// An approach code as callers pass it: ASCII upper-cased, nothing trimmed.
inline constexpr base::OptionTable<std::size_t, 4> APPROACH_WORDS{
    base::Normalise::Upper, "approach must be EB/WB/NB/SB, got {}", {{{"EB", EB}, {"WB", WB}, {"NB", NB}, {"SB", SB}}}};

// Tolerances (s) of the departure-headway iteration: the analysis, and the capacity search.
inline constexpr double ANALYSIS_TOLERANCE_S = 0.1;
inline constexpr double CAPACITY_SEARCH_TOLERANCE_S = 0.01;

// The whole procedure: Steps 1-4, the iteration with ANALYSIS_TOLERANCE_S, the lane results and
// the approach and intersection delays. Reads only inputs. Fails only out of memory or when
// cancelled (polled before every pass of the iteration), before anything is stored.
void analyze(Awsc& a);

// Steps 1-2, 3 and 4 in this order: what the iteration and the capacity search read.
void prepare(Awsc& a);

// Steps 1-2: every lane's flow rate v = (left + through + right) / PHF.
void step1_2_flow_rates(Awsc& a);
// Step 3: the geometry group of every approach with lanes (Exhibit 21-11).
void step3_geometry_groups(Awsc& a);
// Step 4: h_adj = h_LT P_LT + h_RT P_RT + h_HV P_HV of every lane of an approach with a group.
void step4_headway_adjustments(Awsc& a);

// Steps 5-8: departure headways of all lanes by the degree-of-conflict fixed point, repeated
// until no headway moves by more than `tolerance_s` or 100 passes were made. Writes every lane's
// departure headway and degree of utilisation, and the pass count, once the iteration has ended.
void iterate_departure_headways(Awsc& a, double tolerance_s);

// Steps 9-11, 13-14: service time, control delay, LOS and 95th percentile queue of every lane
// that has a departure headway and a degree of utilisation.
void calculate_lane_results(Awsc& a);

// Steps 15-16: flow-weighted approach and intersection control delays and their LOS.
void step15_aggregate_delay(Awsc& a);

// Step 12: the flow rate (veh/h) at which the lane's degree of utilisation reaches 1, by search
// over the iteration with CAPACITY_SEARCH_TOLERANCE_S; changes nothing. Reads the flow rates,
// groups and headway adjustments in the record (run `prepare` first). The lane must exist.
double capacity_of_lane(const Awsc& a, std::size_t approach, std::size_t lane);

// Steps 1-4 and Step 12 for one lane (which must exist): the search on the prepared inputs, then
// `prepare` into the record. A failure (out of memory, cancelled) leaves the record as it was.
double compute_lane_capacity(Awsc& a, std::size_t approach, std::size_t lane);

// Geometry group of an approach with n_s lanes facing n_o opposing lanes, n_c the larger lane
// count of the conflicting approaches (Exhibit 21-11).
GeometryGroup geometry_group(std::size_t n_s, std::size_t n_o, std::size_t n_c, bool four_leg);

// Saturation headway (s) of a degree-of-conflict case (1 to 5) with k occupied lanes for a
// subject approach of group g (Exhibit 21-12).
double saturation_headway(GeometryGroup g, int conflict_case, int occupied_lanes);

// Whether all four approaches have at least one lane.
bool is_four_leg(const Awsc& a);

// The lane at `lane` of the approach named by `approach_text` ("eb", "EB", ...); hcm::Error
// "approach must be EB/WB/NB/SB, got {}" or "no lane {} on {}" (the text as given).
const AwscLane& lane_of(const Awsc& a, std::string_view approach_text, std::uint64_t lane);
const AwscApproach& approach_of(const Awsc& a, std::string_view approach_text);
// The approach index and a checked lane index for the same texts.
std::pair<std::size_t, std::size_t> lane_position(const Awsc& a, std::string_view approach_text, std::uint64_t lane);

// JSON: the records' tables, and the document as the Python class reads it (a failure carries
// the parser's message alone) and writes it (compact).
const jsonio::Record<AwscLane>& json_record(jsonio::Tag<AwscLane>);
const jsonio::Record<AwscApproach>& json_record(jsonio::Tag<AwscApproach>);
const jsonio::Record<Awsc>& json_record(jsonio::Tag<Awsc>);
Awsc read_awsc(std::string_view text);
std::string write_awsc(const Awsc& a);

}  // namespace hcm::awsc::awsc

namespace base {
template <>
inline constexpr std::array<std::string_view, 8> variant_names<hcm::awsc::awsc::GeometryGroup> = {
    "G1", "G2", "G3a", "G3b", "G4a", "G4b", "G5", "G6"};
}  // namespace base
