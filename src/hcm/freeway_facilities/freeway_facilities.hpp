#pragma once
// HCM Chapter 10 freeway facility core method: the facility record (inputs and results), its
// segments, validation, demand build-up, capacities, the undersaturated period chain, the
// analysis driver and the facility measures.
//
// Matrices are [segment][period], upstream segment first. Node i is the upstream end of
// segment i; node n the downstream end of the facility. Flows are veh/h and densities veh/mi/ln
// unless a name ends in _pc.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/enum_names.hpp"
#include "hcm/common/common.hpp"
#include "hcm/freeway_facilities/exhibits.hpp"
#include "hcm/freeway_facilities/oversaturated.hpp"

namespace hcm::freeway_facilities::freeway_facilities {

using exhibits::WorkZone;
using common::CityType;
using common::LevelOfService;

using Matrix = std::vector<std::vector<double>>;
using BoolMatrix = std::vector<std::vector<bool>>;

// General terrain; the facility's heavy-vehicle factor uses E_T - 1 = 1 on Level and 2 otherwise.
using Terrain = common::Terrain;

enum class SegmentType : std::uint8_t { Basic, Merge, Diverge, Weaving, OverlappingRamp };

// One segment of a facility: inputs only (every result lives in the facility record).
struct FacilitySegment {
    SegmentType seg_type = SegmentType::Basic;
    double length_ft = 1500.0;
    std::uint32_t lanes = 3;
    std::optional<double> ffs;  // mi/h; none: the facility's ffs
    double caf = 1.0;
    double saf = 1.0;
    double daf = 1.0;  // multiplies the three ramp demand lists
    std::optional<std::vector<double>> caf_schedule;
    std::optional<std::vector<double>> saf_schedule;
    std::optional<WorkZone> work_zone;
    std::vector<double> on_ramp_demand;       // veh/h per period (Merge, Weaving)
    std::vector<double> off_ramp_demand;      // veh/h per period (Diverge, Weaving)
    std::vector<double> ramp_to_ramp_demand;  // veh/h per period (Weaving)
    double ramp_ffs = 40.0;
    double accel_lane_ft = 500.0;
    double decel_lane_ft = 500.0;
    std::optional<std::vector<double>> ramp_metering;  // veh/h per period
    std::optional<double> short_length_ft;             // Weaving: none means length_ft
    std::uint32_t num_weaving_lanes = 2;
    std::uint32_t lc_rf = 1;
    std::uint32_t lc_fr = 1;

    bool operator==(const FacilitySegment&) const = default;
};

// Facility-wide measures of one 15-minute analysis period.
struct PeriodPerformance {
    double space_mean_speed = 0.0;  // mi/h
    double avg_density_veh = 0.0;   // veh/mi/ln
    double avg_density_pc = 0.0;    // pc/mi/ln
    LevelOfService los = LevelOfService::A;
    double vmt_served = 0.0;
    double vmt_demand = 0.0;
    double vht = 0.0;
    double vhd = 0.0;

    bool operator==(const PeriodPerformance&) const = default;
};

// A freeway facility: inputs, then the results of its last analysis. A copy is a deep copy that
// shares nothing with its source.
struct FreewayFacility {
    // Inputs.
    std::vector<FacilitySegment> segments;
    std::vector<double> mainline_demand;  // veh/h per period; its length is the number of periods
    double ffs = 60.0;
    double heavy_vehicle_pct = 0.05;  // fraction
    Terrain terrain = Terrain::Level;
    CityType city_type = CityType::Urban;
    double phf = 1.0;
    double jam_density_pc = 190.0;
    double queue_discharge_drop = 0.07;
    double total_ramp_density = 1.0;
    std::optional<double> interchange_density;
    std::optional<double> c_ifl_override;  // pc/h/ln
    double time_step_s = 15.0;

    // Results.
    Matrix demand;
    Matrix capacity;
    Matrix dc_ratio;
    Matrix volume_served;
    Matrix vc_ratio;
    Matrix speed;
    Matrix density_veh;
    Matrix density_pc;
    common::LosMatrix los;
    common::OptionalLosMatrix demand_based_los;
    Matrix queue_length_ft;
    BoolMatrix had_queue;
    Matrix on_ramp_queue;
    std::vector<double> unserved_entry_veh;
    std::vector<PeriodPerformance> facility_performance;
    bool oversaturated = false;
    std::optional<std::uint64_t> first_oversat_period;

    bool operator==(const FreewayFacility&) const = default;
};

// ---- Record operations -----------------------------------------------------------------------

// An independent deep copy of the whole facility, inputs and results.
FreewayFacility clone(const FreewayFacility& facility);

// Checks the facility before an analysis; throws hcm::Error with the first failing message.
void validate(const FreewayFacility& facility);

// Refuses a time step the oversaturated engine cannot use (hcm::Error).
void validate_time_step(double time_step_s);

std::size_t num_periods(const FreewayFacility& facility);
double total_length_mi(const FreewayFacility& facility);

// Entry `period` of a per-period list, or `otherwise` past its end (or without a list): a list
// shorter than the analysis leaves the later periods at the default.
inline double entry_or(const std::vector<double>& list, std::size_t period, double otherwise) {
    return period < list.size() ? list[period] : otherwise;
}
inline double entry_or(const std::optional<std::vector<double>>& list, std::size_t period, double otherwise) {
    return list ? entry_or(*list, period, otherwise) : otherwise;
}

// ---- Per-segment, per-period quantities (Chapter 10 adjustments) --------------------------------

// E_T of the facility's general terrain, the basic segment's (Exhibit 12-25): 2 on Level, 3 otherwise.
double heavy_vehicle_pce(Terrain terrain);
// f_HV = 1 / (1 + P_T (E_T - 1)).
double heavy_vehicle_factor(const FreewayFacility& facility);
// FFS_i: the segment's free-flow speed, else the facility's (mi/h).
double segment_ffs(const FreewayFacility& facility, const FacilitySegment& segment);
// c_IFL,i: the override when given, else min(2200 + 10 (FFS_i - 50), 2400) pc/h/ln.
double base_capacity_per_lane(const FreewayFacility& facility, const FacilitySegment& segment);

double work_zone_severity_index(const WorkZone& zone);
double work_zone_queue_discharge_rate(const WorkZone& zone);  // pc/h/ln
double work_zone_capacity(const WorkZone& zone);              // pc/h/ln
double work_zone_free_flow_speed(const WorkZone& zone);       // mi/h

// CAF_i,p and SAF_i,p: schedule entry or scalar factor, times the work-zone ratio.
double period_caf(const FreewayFacility& facility, const FacilitySegment& segment, std::size_t period);
double period_saf(const FreewayFacility& facility, const FacilitySegment& segment, std::size_t period);
// S_f,i,p = FFS_i x SAF_i,p.
double adjusted_ffs(const FreewayFacility& facility, const FacilitySegment& segment, std::size_t period);

// ---- Demands ------------------------------------------------------------------------------------

// On-ramp and off-ramp demands at the n + 1 nodes in one period (daf applied); the second forms
// write into `out`, reusing its storage.
std::vector<double> onrd_by_node(const std::vector<FacilitySegment>& segments, std::size_t period);
std::vector<double> offrd_by_node(const std::vector<FacilitySegment>& segments, std::size_t period);
void onrd_by_node(const std::vector<FacilitySegment>& segments, std::size_t period, std::vector<double>& out);
void offrd_by_node(const std::vector<FacilitySegment>& segments, std::size_t period, std::vector<double>& out);

// Replaces the demand matrix (n x P) by the mainline demand built up with the ramp demands.
void compute_demands(FreewayFacility& facility);

// Fraction of the upstream flow leaving at each node's off-ramp in a period (n + 1 values). The
// second form takes the period's off-ramp demands by node and writes into `split`, which may be
// the same vector.
std::vector<double> diverge_percentages(const FreewayFacility& facility, std::size_t period);
void diverge_percentages(const FreewayFacility& facility, std::size_t period, const std::vector<double>& off,
                         std::vector<double>& split);

// The four weaving movement volumes (veh/h) of a Weaving segment for one period and flow.
struct WeavingVolumes {
    double v_ff = 0.0;
    double v_fr = 0.0;
    double v_rf = 0.0;
    double v_rr = 0.0;
};
WeavingVolumes determine_weaving_volumes(const FreewayFacility& facility, std::size_t segment, std::size_t period,
                                         double flow);

// ---- Capacities ---------------------------------------------------------------------------------

// Capacity of segment i in period p, veh/h (needs the demand matrix for Weaving segments).
double calculate_segment_capacity(const FreewayFacility& facility, std::size_t segment, std::size_t period);
// Replaces the capacity matrix (n x P).
void compute_capacities(FreewayFacility& facility);

// ---- Undersaturated evaluation ------------------------------------------------------------------

// The facility's form of the Chapter 12 speed-flow curve for segment i in period p, flow q veh/h.
double basic_segment_speed(const FreewayFacility& facility, std::size_t segment, std::size_t period, double flow);

struct SegmentEvaluation {
    std::optional<double> ramp_density_pc;  // Merge and Diverge: the ramp influence-area density
    double speed = 0.0;                     // mi/h
};
// Speed of one segment for given segment, on-ramp and off-ramp flows (veh/h).
SegmentEvaluation engine_eval(const FreewayFacility& facility, std::size_t segment, std::size_t period, double flow,
                              double on_ramp_flow, double off_ramp_flow);

// Segment LOS from its (rounded) density by segment type.
LevelOfService identify_segment_los(SegmentType type, bool queued, std::optional<double> ramp_density_pc,
                                    double density_pc);

// Evaluates every segment of period p and writes column p of the result matrices. flows has n
// entries, on_ramp_flows at least n, off_ramp_flows at least n + 1, the queued lists n.
void evaluate_period_chain(FreewayFacility& facility, std::size_t period, const std::vector<double>& flows,
                           const std::vector<double>& on_ramp_flows, const std::vector<double>& off_ramp_flows,
                           const std::vector<bool>& queued, const std::vector<double>& queued_speeds,
                           const std::vector<double>& queued_densities);

// ---- Driver and measures --------------------------------------------------------------------------

// The oversaturated engine of one analysis, and its input for period p: demands, capacities and
// on-ramp capacities, meter rates, background densities, diverge splits and front-clearing flags.
// Both read the demand, capacity and d/c matrices of the analysis.
oversaturated::OversaturatedEngine oversaturated_engine(const FreewayFacility& facility);
oversaturated::OversatPeriodInput oversaturated_period_input(const FreewayFacility& facility, std::size_t period);
void fill_oversaturated_period_input(const FreewayFacility& facility, std::size_t period,
                                     oversaturated::OversatPeriodInput& input);

// Runs the whole core method and rewrites every result; throws hcm::Error (validation, time step)
// or base::Cancelled (a cancelled call) and then leaves the facility unchanged.
void run_analysis(FreewayFacility& facility);
// The same on the facility itself, reusing its result storage: for a caller that analyses one
// facility again and again with new inputs. After a failure its results are partly rewritten.
void run_analysis_in_place(FreewayFacility& facility);

// Facility measures of one period from the result matrices.
PeriodPerformance calculate_period_performance(const FreewayFacility& facility, std::size_t period);

// Sums over the segments of one period from which the space mean speed, average density and LOS
// of a facility (or of one lane group of a managed-lane facility) come.
struct PeriodSums {
    double flow_length = 0.0;     // sum V L over the segments with a speed
    double flow_time = 0.0;       // sum V L / U over the same segments
    double density_length = 0.0;  // sum K L N
    double lane_length = 0.0;     // sum L N
    bool over_capacity = false;   // some segment has d/c > 1

    // One segment: flow V (veh/h), length L (ft), speed U (mi/h), density K (veh/mi/ln), N lanes.
    void add_segment(double flow, double length_ft, double speed, double density_veh, double lanes, double dc_ratio);
    void add(const PeriodSums& other);

    // Space mean speed (0 without travel time), average density (veh/mi/ln, 0 without lanes), and
    // the LOS: F when some segment is over capacity, else by the average density in pc/mi/ln.
    double space_mean_speed() const;
    double avg_density_veh() const;
    LevelOfService los(CityType city_type, double avg_density_pc) const;
};

// Vehicle-miles (served and demanded) and, for a segment with a speed, vehicle-hours of travel and
// of delay against the free-flow speed `ffs` of one segment in one 15-minute period, added to `out`.
void add_period_travel(PeriodPerformance& out, double length_ft, double served, double demand, double speed,
                       double ffs);

LevelOfService identify_facility_los(CityType city_type, double avg_density_pc);

// The stored measures of one period; hcm::Error before an analysis or for a period out of range.
const PeriodPerformance& period_performance(const FreewayFacility& facility, std::size_t period);

// Whole-analysis averages over every cell; hcm::Error when the result matrices do not hold one
// row per segment of one value per period.
double overall_speed(const FreewayFacility& facility);
double overall_density_veh(const FreewayFacility& facility);

}  // namespace hcm::freeway_facilities::freeway_facilities

namespace base {
template <>
inline constexpr std::array<std::string_view, 5> variant_names<hcm::freeway_facilities::freeway_facilities::SegmentType> =
    {"Basic", "Merge", "Diverge", "Weaving", "OverlappingRamp"};
}  // namespace base
