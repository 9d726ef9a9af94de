#include "hcm/freeway_facilities/managed_lanes.hpp"

#include <algorithm>
#include <string>
#include <utility>

#include "base/cancel.hpp"
#include "hcm/common/error.hpp"
#include "hcm/freeway_facilities/facility_json.hpp"
#include "hcm/weaving/weaving.hpp"
#include "json/jsonio.hpp"

namespace hcm::freeway_facilities::managed_lanes {

namespace ff = freeway_facilities;
namespace bml = basicfreeways::managed_lanes;
using ff::FacilitySegment;

using jsonio::optional;
using jsonio::required;
using jsonio::with_default;

// ---- JSON tables of the managed-lane facility ------------------------------------------------------

const jsonio::Record<MlSegmentInput>& json_record(jsonio::Tag<MlSegmentInput>) {
    using M = MlSegmentInput;
    static const jsonio::Record<M> record{"MlSegmentInput",
                                          {
                                              with_default("lane_type", &M::lane_type, ManagedLaneType::ContinuousAccess),
                                              with_default("lanes", &M::lanes, 1),
                                              optional("ffs", &M::ffs),
                                              with_default("caf", &M::caf, 1.0),
                                              with_default("saf", &M::saf, 1.0),
                                              with_default("on_ramp_demand", &M::on_ramp_demand, {}),
                                              with_default("off_ramp_demand", &M::off_ramp_demand, {}),
                                          },
                                          jsonio::UnknownKeys::ignore,
                                          jsonio::ArrayForm::defaults_fill};
    return record;
}

const jsonio::Record<CrossWeave>& json_record(jsonio::Tag<CrossWeave>) {
    static const jsonio::Record<CrossWeave> record{"CrossWeave",
                                                   {
                                                       required("cw_demand_pc", &CrossWeave::cw_demand_pc),
                                                       required("l_cw_min_ft", &CrossWeave::l_cw_min_ft),
                                                   }};
    return record;
}

const jsonio::Record<LaneGroupPerformance>& json_record(jsonio::Tag<LaneGroupPerformance>) {
    using L = LaneGroupPerformance;
    static const jsonio::Record<L> record{"LaneGroupPerformance",
                                          {
                                              jsonio::result("space_mean_speed", &L::space_mean_speed),
                                              jsonio::result("avg_density_veh", &L::avg_density_veh),
                                              jsonio::result("avg_density_pc", &L::avg_density_pc),
                                              required("los", &L::los),
                                          }};
    return record;
}

const jsonio::Record<ManagedLaneFacility>& json_record(jsonio::Tag<ManagedLaneFacility>) {
    using M = ManagedLaneFacility;
    static const jsonio::Record<M> record{
        "ManagedLaneFacility",
        {
            with_default("gp", &M::gp, FreewayFacility{}),
            with_default("ml", &M::ml, {}),
            with_default("ml_entry_demand", &M::ml_entry_demand, {}),
            with_default("ml_ffs", &M::ml_ffs, 60.0),
            with_default("cross_weave", &M::cross_weave, {}),
            jsonio::result_with_default("ml_demand", &M::ml_demand, {}),
            jsonio::result_with_default("ml_capacity", &M::ml_capacity, {}),
            jsonio::result_with_default("ml_dc_ratio", &M::ml_dc_ratio, {}),
            jsonio::result_with_default("ml_speed", &M::ml_speed, {}),
            jsonio::result_with_default("ml_density_veh", &M::ml_density_veh, {}),
            jsonio::result_with_default("ml_density_pc", &M::ml_density_pc, {}),
            with_default("ml_los", &M::ml_los, {}),
            with_default("ml_friction_active", &M::ml_friction_active, {}),
            with_default("gp_group_performance", &M::gp_group_performance, {}),
            with_default("ml_group_performance", &M::ml_group_performance, {}),
            with_default("facility_performance", &M::facility_performance, {}),
        },
        jsonio::UnknownKeys::ignore,
        jsonio::ArrayForm::defaults_fill};
    return record;
}

ManagedLaneFacility read_managed_lane_facility(std::string_view text) {
    return jsonio::read_document<ManagedLaneFacility>(text);
}

std::string write_managed_lane_facility(const ManagedLaneFacility& facility) {
    return jsonio::write_document(facility);
}

// ---- Steps ----------------------------------------------------------------------------------------

std::size_t num_segments(const ManagedLaneFacility& facility) { return facility.gp.segments.size(); }
std::size_t num_periods(const ManagedLaneFacility& facility) { return facility.gp.mainline_demand.size(); }

void identify_lane_group_entries(ManagedLaneFacility& facility) {
    const std::size_t n = num_segments(facility);
    if (facility.ml.size() != n) {
        throw Error("ml has " + std::to_string(facility.ml.size()) + " entries but the facility has " +
                    std::to_string(n) + " segments");
    }
    if (!facility.cross_weave.empty() && facility.cross_weave.size() != n) {
        throw Error("cross_weave has " + std::to_string(facility.cross_weave.size()) +
                    " entries but the facility has " + std::to_string(n) + " segments");
    }
    if (facility.cross_weave.empty()) facility.cross_weave.assign(n, std::nullopt);
}

double calculate_cross_weave_reduction(std::uint32_t gp_lanes, double cw_demand_pc, double l_cw_min_ft) {
    if (!(cw_demand_pc > 0.0)) return 0.0;
    const double crf = weaving::weaving::cross_weave_gp_capacity(cw_demand_pc, l_cw_min_ft, gp_lanes, 1.0).crf;
    return std::clamp(crf, 0.0, 1.0);
}

void determine_cross_weave_caf_schedules(ManagedLaneFacility& facility) {
    const std::size_t periods = num_periods(facility);
    for (std::size_t i = 0; i < facility.gp.segments.size(); ++i) {
        const std::optional<CrossWeave>& cw = facility.cross_weave.at(i);
        if (!cw) continue;
        FacilitySegment& segment = facility.gp.segments[i];
        std::vector<double> schedule(periods);
        for (std::size_t p = 0; p < periods; ++p) {
            const double demand = ff::entry_or(cw->cw_demand_pc, p, 0.0);
            schedule[p] = segment.caf * (1.0 - calculate_cross_weave_reduction(segment.lanes, demand, cw->l_cw_min_ft));
        }
        segment.caf_schedule = std::move(schedule);
    }
}

namespace {

// N'_i: the analysis uses at least one managed lane.
double ml_lanes(const MlSegmentInput& entry) { return static_cast<double>(std::max<std::uint32_t>(entry.lanes, 1)); }

double ml_free_flow_speed(const MlSegmentInput& entry, double ml_ffs) { return entry.ffs.value_or(ml_ffs); }

}  // namespace

Matrix estimate_ml_demands(const ManagedLaneFacility& facility) {
    const std::size_t n = num_segments(facility);
    const std::size_t periods = num_periods(facility);
    Matrix demand(n, std::vector<double>(periods, 0.0));
    for (std::size_t p = 0; p < periods; ++p) {
        double running = ff::entry_or(facility.ml_entry_demand, p, 0.0);
        for (std::size_t i = 0; i < n; ++i) {
            if (const auto& entry = facility.ml.at(i)) {
                // An off-ramp cannot take more vehicles than the managed lane carries: a negative
                // demand would give a negative density and a speed above free flow.
                const double on = ff::entry_or(entry->on_ramp_demand, p, 0.0);
                const double off = ff::entry_or(entry->off_ramp_demand, p, 0.0);
                running = std::max(running + on - off, 0.0);
            }
            demand[i][p] = running;
        }
    }
    return demand;
}

double calculate_ml_capacity(const MlSegmentInput& entry, double ml_ffs, double f_hv) {
    // Equation 12-14 per lane (pc/h/ln), in veh/h over the managed lanes.
    bml::ManagedLaneSegment lane(entry.lane_type, ml_free_flow_speed(entry, ml_ffs), 0.0, 0.0, entry.caf, entry.saf);
    return f_hv * lane.calculate_capacity() * ml_lanes(entry);
}

namespace {

// Measures of one lane group (or of both) from its sums.
LaneGroupPerformance group_measures(const ff::PeriodSums& sums, CityType city_type, double f_hv) {
    LaneGroupPerformance out;
    out.space_mean_speed = sums.space_mean_speed();
    out.avg_density_veh = sums.avg_density_veh();
    out.avg_density_pc = out.avg_density_veh / f_hv;
    out.los = sums.los(city_type, out.avg_density_pc);
    return out;
}

}  // namespace

MlCellResults evaluate_ml_cells(const ManagedLaneFacility& facility, Matrix ml_demand) {
    const std::size_t n = num_segments(facility);
    const std::size_t periods = num_periods(facility);
    const FreewayFacility& gp = facility.gp;
    const double f_hv = ff::heavy_vehicle_factor(gp);
    MlCellResults r;
    r.demand = std::move(ml_demand);
    const Matrix zeros(n, std::vector<double>(periods, 0.0));
    r.capacity = r.dc_ratio = r.speed = r.density_veh = r.density_pc = zeros;
    r.los.assign(n, std::vector<LevelOfService>(periods, LevelOfService::A));
    r.friction_active.assign(n, std::vector<bool>(periods, false));
    for (std::size_t i = 0; i < n; ++i) {
        const auto& entry = facility.ml.at(i);
        if (!entry) continue;
        base::poll_cancel();
        const double capacity = calculate_ml_capacity(*entry, facility.ml_ffs, f_hv);
        const double ffs = ml_free_flow_speed(*entry, facility.ml_ffs);
        const double lanes = ml_lanes(*entry);
        for (std::size_t p = 0; p < periods; ++p) {
            const double demand = r.demand.at(i).at(p);
            r.capacity[i][p] = capacity;
            r.dc_ratio[i][p] = capacity > 0.0 ? demand / capacity : 0.0;
            const double v_p = demand / (gp.phf * f_hv * lanes);  // pc/h/ln
            bml::ManagedLaneSegment cell(entry->lane_type, ffs, v_p, gp.density_pc.at(i).at(p), entry->caf, entry->saf);
            cell.run_analysis();
            r.speed[i][p] = cell.speed;
            r.density_pc[i][p] = cell.density;
            r.density_veh[i][p] = cell.density * f_hv;
            r.los[i][p] = cell.los.value_or(LevelOfService::F);
            r.friction_active[i][p] = cell.is_friction_active();
        }
    }
    return r;
}

PeriodMeasures calculate_period_measures(const ManagedLaneFacility& facility, const MlCellResults& ml,
                                         std::size_t p) {
    const FreewayFacility& gp = facility.gp;
    const double f_hv = ff::heavy_vehicle_factor(gp);
    ff::PeriodSums gp_sums, ml_sums;
    PeriodMeasures out;
    PeriodPerformance& total = out.facility;
    for (std::size_t i = 0; i < gp.segments.size(); ++i) {
        const FacilitySegment& s = gp.segments[i];
        const double served = gp.volume_served.at(i).at(p);
        const double speed = gp.speed.at(i).at(p);
        gp_sums.add_segment(served, s.length_ft, speed, gp.density_veh.at(i).at(p), static_cast<double>(s.lanes),
                            gp.dc_ratio.at(i).at(p));
        ff::add_period_travel(total, s.length_ft, served, gp.demand.at(i).at(p), speed, ff::segment_ffs(gp, s));
    }
    for (std::size_t i = 0; i < gp.segments.size(); ++i) {
        const auto& entry = facility.ml.at(i);
        if (!entry) continue;
        const double length_ft = gp.segments[i].length_ft;
        const double demand = ml.demand.at(i).at(p);
        const double speed = ml.speed.at(i).at(p);
        ml_sums.add_segment(demand, length_ft, speed, ml.density_veh.at(i).at(p), ml_lanes(*entry),
                            ml.dc_ratio.at(i).at(p));
        ff::add_period_travel(total, length_ft, demand, demand, speed, ml_free_flow_speed(*entry, facility.ml_ffs));
    }
    out.gp_group = group_measures(gp_sums, gp.city_type, f_hv);
    out.ml_group = group_measures(ml_sums, gp.city_type, f_hv);
    ff::PeriodSums both = gp_sums;
    both.add(ml_sums);
    const LaneGroupPerformance combined = group_measures(both, gp.city_type, f_hv);
    total.space_mean_speed = combined.space_mean_speed;
    total.avg_density_veh = combined.avg_density_veh;
    total.avg_density_pc = combined.avg_density_pc;
    total.los = combined.los;
    return out;
}

void run_analysis(ManagedLaneFacility& target) {
    // The steps work on a copy, which the facility takes when they have all finished: a failed or
    // cancelled analysis leaves the facility as it was. The GP run needs no copy of its own.
    ManagedLaneFacility facility = target;
    identify_lane_group_entries(facility);
    determine_cross_weave_caf_schedules(facility);
    ff::run_analysis_in_place(facility.gp);

    MlCellResults cells = evaluate_ml_cells(facility, estimate_ml_demands(facility));
    const std::size_t periods = num_periods(facility);
    std::vector<LaneGroupPerformance> gp_group, ml_group;
    std::vector<PeriodPerformance> combined;
    gp_group.reserve(periods);
    ml_group.reserve(periods);
    combined.reserve(periods);
    for (std::size_t p = 0; p < periods; ++p) {
        base::poll_cancel();
        PeriodMeasures m = calculate_period_measures(facility, cells, p);
        gp_group.push_back(m.gp_group);
        ml_group.push_back(m.ml_group);
        combined.push_back(m.facility);
    }

    facility.ml_demand = std::move(cells.demand);
    facility.ml_capacity = std::move(cells.capacity);
    facility.ml_dc_ratio = std::move(cells.dc_ratio);
    facility.ml_speed = std::move(cells.speed);
    facility.ml_density_veh = std::move(cells.density_veh);
    facility.ml_density_pc = std::move(cells.density_pc);
    facility.ml_los = std::move(cells.los);
    facility.ml_friction_active = std::move(cells.friction_active);
    facility.gp_group_performance = std::move(gp_group);
    facility.ml_group_performance = std::move(ml_group);
    facility.facility_performance = std::move(combined);
    target = std::move(facility);
}

const PeriodPerformance& period_performance(const ManagedLaneFacility& facility, std::size_t period) {
    if (period >= facility.facility_performance.size()) {
        throw Error("period " + std::to_string(period) + " is out of range: the facility has results for " +
                    std::to_string(facility.facility_performance.size()) + " analysis periods");
    }
    return facility.facility_performance[period];
}

}  // namespace hcm::freeway_facilities::managed_lanes
