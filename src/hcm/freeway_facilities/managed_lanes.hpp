#pragma once
// HCM Chapter 10 managed-lane freeway facility: a general-purpose (GP) lane group, given as a whole
// freeway facility, with a parallel managed-lane (ML) lane group beside some or all of its
// segments. The GP group runs through the core method; each ML cell (segment x 15-minute period)
// runs through the Chapter 12 managed-lane segment procedure, with the friction of congested GP
// lanes (Step A-13). Cross-weave movements between the ML access points and the ramps reduce the
// GP capacity (Equations 13-24 and 13-25).
//
// Matrices are [segment][period], one row per GP segment. Flows are veh/h and densities
// veh/mi/ln unless a name ends in _pc.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hcm/basicfreeways/managed_lanes.hpp"
#include "hcm/common/common.hpp"
#include "hcm/freeway_facilities/freeway_facilities.hpp"
#include "json/record_fwd.hpp"

namespace hcm::freeway_facilities::managed_lanes {

using basicfreeways::managed_lanes::ManagedLaneType;
using common::CityType;
using common::LevelOfService;
using freeway_facilities::BoolMatrix;
using freeway_facilities::FreewayFacility;
using freeway_facilities::Matrix;
using freeway_facilities::PeriodPerformance;

// The managed lane beside one GP segment.
struct MlSegmentInput {
    ManagedLaneType lane_type = ManagedLaneType::ContinuousAccess;
    std::uint32_t lanes = 1;          // the analysis uses at least one lane
    std::optional<double> ffs;        // mi/h; none: the facility's ml_ffs
    double caf = 1.0;
    double saf = 1.0;
    std::vector<double> on_ramp_demand;   // veh/h per period entering the ML group here
    std::vector<double> off_ramp_demand;  // veh/h per period leaving the ML group here

    bool operator==(const MlSegmentInput&) const = default;
};

// Vehicles crossing the GP lanes of one segment between an ML access point and a ramp.
struct CrossWeave {
    std::vector<double> cw_demand_pc;  // pc/h per period; missing or <= 0: no cross-weave
    double l_cw_min_ft = 0.0;          // minimum cross-weave length

    bool operator==(const CrossWeave&) const = default;
};

// Measures of one lane group in one analysis period.
struct LaneGroupPerformance {
    double space_mean_speed = 0.0;  // mi/h
    double avg_density_veh = 0.0;   // veh/mi/ln
    double avg_density_pc = 0.0;    // pc/mi/ln
    LevelOfService los = LevelOfService::A;

    bool operator==(const LaneGroupPerformance&) const = default;
};

struct ManagedLaneFacility {
    // Inputs.
    FreewayFacility gp;                              // the GP lane group; also holds the GP results
    std::vector<std::optional<MlSegmentInput>> ml;   // one per GP segment; none: no managed lane
    std::vector<double> ml_entry_demand;             // veh/h per period at the upstream end
    double ml_ffs = 60.0;                            // mi/h, for entries without their own ffs
    std::vector<std::optional<CrossWeave>> cross_weave;  // one per GP segment, or empty (none anywhere)

    // Results.
    Matrix ml_demand;
    Matrix ml_capacity;
    Matrix ml_dc_ratio;
    Matrix ml_speed;
    Matrix ml_density_veh;
    Matrix ml_density_pc;
    common::LosMatrix ml_los;
    BoolMatrix ml_friction_active;
    std::vector<LaneGroupPerformance> gp_group_performance;
    std::vector<LaneGroupPerformance> ml_group_performance;
    std::vector<PeriodPerformance> facility_performance;

    bool operator==(const ManagedLaneFacility&) const = default;
};

// ---- JSON ---------------------------------------------------------------------------------------

const jsonio::Record<MlSegmentInput>& json_record(jsonio::Tag<MlSegmentInput>);
const jsonio::Record<CrossWeave>& json_record(jsonio::Tag<CrossWeave>);
const jsonio::Record<LaneGroupPerformance>& json_record(jsonio::Tag<LaneGroupPerformance>);
const jsonio::Record<ManagedLaneFacility>& json_record(jsonio::Tag<ManagedLaneFacility>);

// The whole document (inputs and results); throws jsonio::Error with the parser's message.
ManagedLaneFacility read_managed_lane_facility(std::string_view text);
// Compact JSON of the whole record; non-finite numbers are written as null.
std::string write_managed_lane_facility(const ManagedLaneFacility& facility);

// ---- Steps --------------------------------------------------------------------------------------

// ml and cross_weave must hold one entry per GP segment (an empty cross_weave becomes one
// null per segment). Throws hcm::Error before changing anything.
void identify_lane_group_entries(ManagedLaneFacility& facility);

// Cross-weave capacity reduction CR of the GP lanes (Equation 13-24), clamped to [0, 1]; 0 when
// there is no cross-weave demand (cw <= 0).
double calculate_cross_weave_reduction(std::uint32_t gp_lanes, double cw_demand_pc, double l_cw_min_ft);

// Each GP segment with a cross-weave entry gets the caf_schedule caf x (1 - CR_p), one value
// per period, in place of any schedule it had.
void determine_cross_weave_caf_schedules(ManagedLaneFacility& facility);

// ML demand of every segment and period (veh/h): the entry demand, plus the ML on-ramps and minus
// the ML off-ramps met so far. Rows of segments without a managed lane carry the running demand.
Matrix estimate_ml_demands(const ManagedLaneFacility& facility);

// ML capacity of one entry, veh/h: f_HV x CAF x (c_intercept - 10 (75 - FFS x SAF)) x lanes
// (at least one lane).
double calculate_ml_capacity(const MlSegmentInput& entry, double ml_ffs, double f_hv);

// ML results of every cell (segment x period) for given ML demands, from the GP results held in
// facility.gp: capacity and d/c of each managed lane, and its Chapter 12 speed, density and LOS
// with the friction of the adjacent GP lanes (Step A-13). Rows of segments without a managed lane
// hold zeros, LOS A and no friction.
struct MlCellResults {
    Matrix demand;  // veh/h
    Matrix capacity;
    Matrix dc_ratio;
    Matrix speed;
    Matrix density_veh;
    Matrix density_pc;
    common::LosMatrix los;
    BoolMatrix friction_active;
};
MlCellResults evaluate_ml_cells(const ManagedLaneFacility& facility, Matrix ml_demand);

// Measures of one period: the GP group over every segment, the ML group over the segments with a
// managed lane, and both together with the vehicle-miles and vehicle-hours of the facility.
struct PeriodMeasures {
    LaneGroupPerformance gp_group;
    LaneGroupPerformance ml_group;
    PeriodPerformance facility;
};
PeriodMeasures calculate_period_measures(const ManagedLaneFacility& facility, const MlCellResults& ml,
                                         std::size_t period);

// Runs the whole method: the entry counts, the cross-weave schedules, the GP core method, the ML
// cells and every measure. Throws hcm::Error with the entry-count message or the GP facility's
// message; a failed or cancelled analysis (base::Cancelled) leaves the facility as it was.
void run_analysis(ManagedLaneFacility& facility);

// Number of GP segments and of analysis periods.
std::size_t num_segments(const ManagedLaneFacility& facility);
std::size_t num_periods(const ManagedLaneFacility& facility);

// The stored facility measures of one period; hcm::Error naming the period and the number of
// stored periods when it is out of range (every period before an analysis).
const PeriodPerformance& period_performance(const ManagedLaneFacility& facility, std::size_t period);

}  // namespace hcm::freeway_facilities::managed_lanes
