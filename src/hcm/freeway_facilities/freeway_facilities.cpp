#include "hcm/freeway_facilities/freeway_facilities.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "base/cancel.hpp"
#include "base/format.hpp"
#include "base/numeric.hpp"
#include "base/units.hpp"
#include "hcm/basicfreeways/basicfreeways.hpp"
#include "hcm/common/error.hpp"
#include "hcm/common/pce_table.hpp"
#include "hcm/freeway_facilities/oversaturated.hpp"
#include "hcm/freeway_facilities/segment_procedures.hpp"
#include "hcm/merge_diverge/merge_diverge.hpp"
#include "hcm/weaving/weaving.hpp"

namespace hcm::freeway_facilities::freeway_facilities {
namespace {

namespace bf = basicfreeways::basicfreeways;
namespace pce = common::pce_table;
namespace wz = exhibits::work_zone;
namespace ov = exhibits::oversaturated;
using base::units::FT_PER_MI;

// Minimums and maximums of the method ignore an operand that is not a number.
using base::max2;
using base::min2;

void require_entries(std::size_t actual, std::size_t needed, const char* what) {
    if (actual < needed) {
        throw std::logic_error(std::string("period chain: ") + what + " has " + std::to_string(actual) +
                               " entries, needs " + std::to_string(needed));
    }
}

// The matrices evaluate_period_chain writes and reads must hold n rows of more than `period` values.
void require_column(const Matrix& m, std::size_t n, std::size_t period, const char* what) {
    if (m.size() != n) throw std::logic_error(std::string("period chain: matrix ") + what + " has the wrong shape");
    for (const auto& row : m) {
        if (row.size() <= period) throw std::logic_error(std::string("period chain: matrix ") + what + " too short");
    }
}

// Makes m a rows x cols matrix of `value`, keeping the storage it has (a facility analysed again
// reuses its result matrices).
template <class T>
void refill(std::vector<std::vector<T>>& m, std::size_t rows, std::size_t cols, T value) {
    m.resize(rows);
    for (auto& row : m) row.assign(cols, value);
}

}  // namespace

// ---- Record operations ---------------------------------------------------------------------------

FreewayFacility clone(const FreewayFacility& facility) { return facility; }

void validate(const FreewayFacility& facility) {
    if (facility.segments.empty()) throw Error("facility has no segments");
    if (facility.mainline_demand.empty()) throw Error("no analysis periods (mainline_demand is empty)");
    if (facility.segments.front().seg_type != SegmentType::Basic ||
        facility.segments.back().seg_type != SegmentType::Basic) {
        throw Error("first and last segments must be basic freeway segments (Chapter 10)");
    }
    for (std::size_t i = 0; i < facility.segments.size(); ++i) {
        const auto& s = facility.segments[i];
        if (s.length_ft <= 0.0) throw Error("segment " + std::to_string(i) + " has non-positive length");
        if (s.lanes < 2) throw Error("segment " + std::to_string(i) + " must have at least 2 lanes");
    }
}

void validate_time_step(double time_step_s) {
    if (!(time_step_s >= ov::MIN_TIME_STEP_S && time_step_s <= ov::MAX_TIME_STEP_S)) {
        throw Error("time_step_s must be a number of seconds from " + base::num(ov::MIN_TIME_STEP_S) + " to " +
                    base::num(ov::MAX_TIME_STEP_S) + ", got " + base::num(time_step_s));
    }
}

std::size_t num_periods(const FreewayFacility& facility) { return facility.mainline_demand.size(); }

double total_length_mi(const FreewayFacility& facility) {
    double ft = 0.0;
    for (const auto& s : facility.segments) ft += s.length_ft;
    return ft / FT_PER_MI;
}

// ---- Per-segment, per-period quantities -------------------------------------------------------

double heavy_vehicle_pce(Terrain terrain) { return bf::basic_segment_general_terrain_et(terrain); }

double heavy_vehicle_factor(const FreewayFacility& facility) {
    return pce::heavy_vehicle_factor(facility.heavy_vehicle_pct, heavy_vehicle_pce(facility.terrain));
}

double segment_ffs(const FreewayFacility& facility, const FacilitySegment& segment) {
    return segment.ffs.value_or(facility.ffs);
}

double base_capacity_per_lane(const FreewayFacility& facility, const FacilitySegment& segment) {
    if (facility.c_ifl_override) return *facility.c_ifl_override;
    return bf::basic_freeway_capacity(segment_ffs(facility, segment));
}

double work_zone_severity_index(const WorkZone& zone) {
    if (zone.total_lanes == 0 || zone.open_lanes == 0) return wz::MAX_SEVERITY_INDEX;
    const double open = zone.open_lanes;
    const double share = open / static_cast<double>(zone.total_lanes);
    return min2(1.0 / (share * open), wz::MAX_SEVERITY_INDEX);
}

double work_zone_queue_discharge_rate(const WorkZone& zone) {
    const double index = work_zone_severity_index(zone);
    return wz::QDR_CONSTANT - wz::QDR_SEVERITY * index - wz::QDR_SOFT_BARRIER * (zone.soft_barrier ? 1.0 : 0.0) -
           wz::QDR_RURAL * (zone.rural ? 1.0 : 0.0) + wz::QDR_LATERAL_FT * zone.lateral_distance_ft -
           wz::QDR_NIGHT * (zone.night ? 1.0 : 0.0);
}

double work_zone_capacity(const WorkZone& zone) {
    return work_zone_queue_discharge_rate(zone) / (1.0 - zone.queue_discharge_drop);
}

double work_zone_free_flow_speed(const WorkZone& zone) {
    const double index = work_zone_severity_index(zone);
    const double ratio = min2(max2(zone.speed_ratio, wz::FFS_SPEED_RATIO_MIN), wz::FFS_SPEED_RATIO_MAX);
    return wz::FFS_CONSTANT + wz::FFS_SPEED_RATIO * ratio + wz::FFS_SPEED_LIMIT * zone.speed_limit_mi_h -
           wz::FFS_SEVERITY * index - wz::FFS_SOFT_BARRIER * (zone.soft_barrier ? 1.0 : 0.0) -
           wz::FFS_NIGHT * (zone.night ? 1.0 : 0.0) - wz::FFS_RAMP_DENSITY * zone.total_ramp_density;
}

namespace {

// The work-zone ratio a period factor is multiplied by: min(min(value in the zone, base) / base, 1)
// for a positive base value, else 1 (the factor left as it is).
double work_zone_ratio(double in_zone, double base) {
    return base > 0.0 ? min2(min2(in_zone, base) / base, 1.0) : 1.0;
}

}  // namespace

double period_caf(const FreewayFacility& facility, const FacilitySegment& segment, std::size_t period) {
    const double caf = entry_or(segment.caf_schedule, period, segment.caf);
    if (!segment.work_zone) return caf;
    return caf * work_zone_ratio(work_zone_capacity(*segment.work_zone), base_capacity_per_lane(facility, segment));
}

double period_saf(const FreewayFacility& facility, const FacilitySegment& segment, std::size_t period) {
    const double saf = entry_or(segment.saf_schedule, period, segment.saf);
    if (!segment.work_zone) return saf;
    return saf * work_zone_ratio(work_zone_free_flow_speed(*segment.work_zone), segment_ffs(facility, segment));
}

double adjusted_ffs(const FreewayFacility& facility, const FacilitySegment& segment, std::size_t period) {
    return segment_ffs(facility, segment) * period_saf(facility, segment, period);
}

// ---- Demands -----------------------------------------------------------------------------------

namespace {

// The on-ramp demand entering at the upstream node of a segment in a period (daf applied).
double node_on_ramp_demand(const FacilitySegment& s, std::size_t period) {
    if (s.seg_type != SegmentType::Merge && s.seg_type != SegmentType::Weaving) return 0.0;
    return entry_or(s.on_ramp_demand, period, 0.0) * s.daf;
}

}  // namespace

void onrd_by_node(const std::vector<FacilitySegment>& segments, std::size_t period, std::vector<double>& on) {
    on.assign(segments.size() + 1, 0.0);
    for (std::size_t i = 0; i < segments.size(); ++i) on[i] += node_on_ramp_demand(segments[i], period);
}

void offrd_by_node(const std::vector<FacilitySegment>& segments, std::size_t period, std::vector<double>& off) {
    off.assign(segments.size() + 1, 0.0);
    for (std::size_t i = 0; i < segments.size(); ++i) {
        const auto& s = segments[i];
        if (s.seg_type == SegmentType::Diverge || s.seg_type == SegmentType::Weaving) {
            off[i + 1] += entry_or(s.off_ramp_demand, period, 0.0) * s.daf;
        }
    }
}

std::vector<double> onrd_by_node(const std::vector<FacilitySegment>& segments, std::size_t period) {
    std::vector<double> on;
    onrd_by_node(segments, period, on);
    return on;
}

std::vector<double> offrd_by_node(const std::vector<FacilitySegment>& segments, std::size_t period) {
    std::vector<double> off;
    offrd_by_node(segments, period, off);
    return off;
}

void compute_demands(FreewayFacility& facility) {
    const std::size_t n = facility.segments.size();
    const std::size_t periods = num_periods(facility);
    refill(facility.demand, n, periods, 0.0);
    std::vector<double> on, off;
    for (std::size_t p = 0; p < periods; ++p) {
        onrd_by_node(facility.segments, p, on);
        offrd_by_node(facility.segments, p, off);
        double x = facility.mainline_demand[p];
        for (std::size_t i = 0; i < n; ++i) {
            // An off-ramp cannot take more vehicles than arrive: a negative demand would give
            // negative densities downstream.
            x = std::max(x + on[i] - off[i], 0.0);
            facility.demand[i][p] = x;
        }
    }
}

void diverge_percentages(const FreewayFacility& facility, std::size_t period, const std::vector<double>& off,
                         std::vector<double>& split) {
    const std::size_t n = facility.segments.size();
    split.resize(n + 1);
    split[0] = 0.0;
    for (std::size_t i = 1; i <= n; ++i) {
        const double off_i = off[i];  // `off` may be `split` itself
        split[i] = 0.0;
        if (!(off_i > 0.0)) continue;
        const double upstream = facility.demand.at(i - 1).at(period);
        split[i] = upstream > 0.0 ? min2(off_i / upstream, 1.0) : 0.0;
    }
}

std::vector<double> diverge_percentages(const FreewayFacility& facility, std::size_t period) {
    std::vector<double> split;
    offrd_by_node(facility.segments, period, split);
    diverge_percentages(facility, period, split, split);
    return split;
}

WeavingVolumes determine_weaving_volumes(const FreewayFacility& facility, std::size_t segment, std::size_t period,
                                         double flow) {
    const auto& s = facility.segments.at(segment);
    const double demand = facility.demand.at(segment).at(period);
    const double r = demand > 0.0 ? flow / demand : 1.0;
    WeavingVolumes v;
    v.v_rr = r * entry_or(s.ramp_to_ramp_demand, period, 0.0) * s.daf;
    v.v_rf = max2(r * entry_or(s.on_ramp_demand, period, 0.0) * s.daf - v.v_rr, 0.0);
    v.v_fr = max2(r * entry_or(s.off_ramp_demand, period, 0.0) * s.daf - v.v_rr, 0.0);
    v.v_ff = max2(flow - v.v_fr - v.v_rr - v.v_rf, 0.0);
    return v;
}

// ---- Capacities ---------------------------------------------------------------------------------

namespace {

// Chapter 13 capacity of a one-sided weave; the basic capacity when the weave is at least L_MAX long.
double weaving_capacity(const FreewayFacility& facility, std::size_t i, std::size_t p, double caf, double basic) {
    namespace wv = hcm::weaving::weaving;
    const auto& s = facility.segments[i];
    const auto vol = determine_weaving_volumes(facility, i, p, facility.demand.at(i).at(p));
    // The weaving procedure's own f_HV (E_T - 1 = 1, 2, 4), not the facility's.
    const double f_w = pce::weaving_ramp_heavy_vehicle_factor(facility.heavy_vehicle_pct, facility.terrain);
    const double to_pc = 1.0 / (f_w * facility.phf);
    const double v_w = (vol.v_rf + vol.v_fr) * to_pc;
    const double v_nw = (vol.v_ff + vol.v_rr) * to_pc;
    const double v = v_w + v_nw;
    const double vr = v > 0.0 ? v_w / v : 0.0;
    const std::uint32_t n_wl = s.num_weaving_lanes;
    const double length = s.short_length_ft.value_or(s.length_ft);
    if (wv::calculate_max_weaving_length(vr, n_wl) <= length) return basic;
    const double c_iwl = wv::calculate_weaving_lane_capacity(base_capacity_per_lane(facility, s), vr, length, n_wl);
    const double c_w1 = f_w * c_iwl * static_cast<double>(s.lanes);
    const std::optional<double> weaving_flow = wv::max_weaving_flow(n_wl);
    if (vr > 0.0 && weaving_flow) return min2(c_w1, f_w * *weaving_flow / vr) * caf;
    return c_w1 * caf;
}

}  // namespace

double calculate_segment_capacity(const FreewayFacility& facility, std::size_t segment, std::size_t period) {
    const auto& s = facility.segments.at(segment);
    const double f_hv = heavy_vehicle_factor(facility);
    const double caf = period_caf(facility, s, period);
    const double lanes = s.lanes;
    const double basic = f_hv * caf * base_capacity_per_lane(facility, s) * lanes;
    switch (s.seg_type) {
        case SegmentType::Basic:
        case SegmentType::OverlappingRamp:
            return basic;
        case SegmentType::Merge:
        case SegmentType::Diverge:
            return f_hv * caf * merge_diverge::freeway_capacity_per_lane(segment_ffs(facility, s)) * lanes;
        case SegmentType::Weaving:
            return weaving_capacity(facility, segment, period, caf, basic);
    }
    throw std::logic_error("unknown segment type");
}

void compute_capacities(FreewayFacility& facility) {
    const std::size_t n = facility.segments.size();
    const std::size_t periods = num_periods(facility);
    refill(facility.capacity, n, periods, 0.0);  // no capacity reads another
    for (std::size_t i = 0; i < n; ++i) {
        base::poll_cancel();
        for (std::size_t p = 0; p < periods; ++p) facility.capacity[i][p] = calculate_segment_capacity(facility, i, p);
    }
}

// ---- Undersaturated evaluation ------------------------------------------------------------------

double basic_segment_speed(const FreewayFacility& facility, std::size_t segment, std::size_t period, double flow) {
    const auto& s = facility.segments.at(segment);
    const double caf = period_caf(facility, s, period);
    const double s_f = adjusted_ffs(facility, s, period);
    const double v_p = flow / (facility.phf * heavy_vehicle_factor(facility) * static_cast<double>(s.lanes));
    const double c = caf * base_capacity_per_lane(facility, s);
    const double bp = bf::basic_freeway_breakpoint(s_f, caf);
    const double at_capacity = c / bf::BASIC_FREEWAY_DENSITY_AT_CAPACITY;
    // The facility's form of the curve: S_f up to the breakpoint, falling to c / 45 at capacity, and
    // c / 45 above capacity or where capacity does not exceed the breakpoint. A flow rate or a
    // capacity that is not a number (no flow at PHF 0, CAF 0 on an infinite base capacity) gets
    // what that form gives: no number, except S_f for a flow rate at or below a breakpoint.
    if (v_p > c) return at_capacity;
    if (v_p <= bp) return s_f;
    if (!(c - bp > 0.0)) return at_capacity;
    if (std::isnan(v_p)) return v_p;
    return bf::basic_freeway_speed(v_p, s_f, c, bp);
}

SegmentEvaluation engine_eval(const FreewayFacility& facility, std::size_t segment, std::size_t period, double flow,
                              double on_ramp_flow, double off_ramp_flow) {
    const auto& s = facility.segments.at(segment);
    switch (s.seg_type) {
        case SegmentType::Basic:
        case SegmentType::OverlappingRamp:
            return {std::nullopt, basic_segment_speed(facility, segment, period, flow)};
        case SegmentType::Merge: {
            const double freeway_flow = max2(flow - on_ramp_flow, 0.0);
            const auto r = evaluate_ramp_segment(facility, segment, period, freeway_flow, on_ramp_flow);
            return {r.density, min2(r.speed_avg.value_or(0.0), basic_segment_speed(facility, segment, period, flow))};
        }
        case SegmentType::Diverge: {
            const auto r = evaluate_ramp_segment(facility, segment, period, flow, off_ramp_flow);
            return {r.density, min2(r.speed_avg.value_or(0.0), basic_segment_speed(facility, segment, period, flow))};
        }
        case SegmentType::Weaving: {
            // A weave shorter than its maximum length runs at the weaving speed, a longer one as a
            // basic segment.
            const auto w = evaluate_weaving_segment(facility, segment, period, flow);
            if (w.is_weaving) return {std::nullopt, w.speed_avg.value_or(0.0)};
            return {std::nullopt, basic_segment_speed(facility, segment, period, flow)};
        }
    }
    throw std::logic_error("unknown segment type");
}

LevelOfService identify_segment_los(SegmentType type, bool queued, std::optional<double> ramp_density_pc,
                                    double density_pc) {
    // The edition-7 thresholds of the segment chapters: Exhibits 13-6 (freeway weave), 14-3 (ramp
    // influence area: E above 35, F only from demand over capacity) and 12-15.
    if (type == SegmentType::Weaving) {
        return common::los_by_density(hcm::weaving::weaving::LOS_DENSITY_MAX_FREEWAY, std::round(density_pc));
    }
    const bool ramp = type == SegmentType::Merge || type == SegmentType::Diverge;
    if (ramp && !queued && ramp_density_pc) {
        return common::los_by_density(merge_diverge::LOS7_DENSITY_MAX, std::round(*ramp_density_pc));
    }
    return bf::los_from_density(std::round(density_pc));
}

void evaluate_period_chain(FreewayFacility& facility, std::size_t period, const std::vector<double>& flows,
                           const std::vector<double>& on_ramp_flows, const std::vector<double>& off_ramp_flows,
                           const std::vector<bool>& queued, const std::vector<double>& queued_speeds,
                           const std::vector<double>& queued_densities) {
    const std::size_t n = facility.segments.size();
    require_entries(flows.size(), n, "flows");
    require_entries(on_ramp_flows.size(), n, "on_ramp_flows");
    require_entries(off_ramp_flows.size(), n + 1, "off_ramp_flows");
    require_entries(queued.size(), n, "queued");
    require_entries(queued_speeds.size(), n, "queued_speeds");
    require_entries(queued_densities.size(), n, "queued_densities");
    for (auto* m : {&facility.capacity, &facility.dc_ratio, &facility.volume_served, &facility.vc_ratio,
                    &facility.speed, &facility.density_veh, &facility.density_pc}) {
        require_column(*m, n, period, "result");
    }
    if (facility.los.size() != n || facility.demand_based_los.size() != n) {
        throw std::logic_error("period chain: LOS matrices have the wrong shape");
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (facility.los[i].size() <= period || facility.demand_based_los[i].size() <= period) {
            throw std::logic_error("period chain: LOS matrices too short");
        }
    }

    const double f_hv = heavy_vehicle_factor(facility);
    double x_prev = 0.0;
    double position = 0.0;  // ft from the upstream end to the start of segment i
    for (std::size_t i = 0; i < n; ++i) {
        const auto& s = facility.segments[i];
        const double x_mid = position + s.length_ft / 2.0;
        position += s.length_ft;
        const double q = flows[i];
        double speed;
        double density;
        std::optional<double> ramp_density;
        if (queued[i]) {
            speed = queued_speeds[i];
            density = queued_densities[i];
        } else {
            const auto e = engine_eval(facility, i, period, q, on_ramp_flows[i], off_ramp_flows[i + 1]);
            ramp_density = e.ramp_density_pc;
            speed = e.speed;
            if (i > 0) {
                // Speed recovery downstream of a slower segment.
                const double s_prev = facility.speed[i - 1][period];
                const double s_f = adjusted_ffs(facility, s, period);
                const double recovered =
                    s_f - std::exp(-exhibits::SPEED_RECOVERY_PER_FT * (x_mid - x_prev)) * (s_f - s_prev);
                speed = min2(speed, recovered);
                if (s.seg_type == SegmentType::OverlappingRamp) speed = min2(speed, s_prev);
            }
            if (s.seg_type == SegmentType::OverlappingRamp && i + 1 < n &&
                facility.segments[i + 1].seg_type == SegmentType::Diverge) {
                const auto next =
                    engine_eval(facility, i + 1, period, flows[i + 1], on_ramp_flows[i + 1], off_ramp_flows[i + 2]);
                speed = min2(speed, next.speed);
            }
            density = speed > 0.0 ? q / static_cast<double>(s.lanes) / speed : 0.0;
        }
        x_prev = x_mid;

        const double cap = facility.capacity[i][period];
        facility.volume_served[i][period] = q;
        facility.vc_ratio[i][period] = cap > 0.0 ? q / cap : 0.0;
        facility.speed[i][period] = speed;
        facility.density_veh[i][period] = density;
        facility.density_pc[i][period] = density / f_hv;
        facility.los[i][period] = identify_segment_los(s.seg_type, queued[i], ramp_density, density / f_hv);
        facility.demand_based_los[i][period] =
            facility.dc_ratio[i][period] > 1.0 ? common::OptionalLos(LevelOfService::F) : std::nullopt;
    }
}

// ---- Driver ---------------------------------------------------------------------------------------

namespace {

void compute_dc_ratios(FreewayFacility& f) {
    const std::size_t n = f.segments.size();
    const std::size_t periods = num_periods(f);
    refill(f.dc_ratio, n, periods, 0.0);
    f.first_oversat_period.reset();
    for (std::size_t p = 0; p < periods; ++p) {
        for (std::size_t i = 0; i < n; ++i) {
            const double cap = f.capacity[i][p];
            const double dc = cap > 0.0 ? f.demand[i][p] / cap : base::units::INF;
            f.dc_ratio[i][p] = dc;
            if (dc > 1.0 && !f.first_oversat_period) f.first_oversat_period = p;
        }
    }
    f.oversaturated = f.first_oversat_period.has_value();
}

void reset_results(FreewayFacility& f) {
    const std::size_t n = f.segments.size();
    const std::size_t periods = num_periods(f);
    for (auto* m : {&f.volume_served, &f.vc_ratio, &f.speed, &f.density_veh, &f.density_pc, &f.queue_length_ft,
                    &f.on_ramp_queue}) {
        refill(*m, n, periods, 0.0);
    }
    refill(f.los, n, periods, LevelOfService::A);
    refill(f.demand_based_los, n, periods, common::OptionalLos{});
    refill(f.had_queue, n, periods, false);
    f.unserved_entry_veh.assign(periods, 0.0);
}

void column(const Matrix& m, std::size_t period, std::vector<double>& out) {
    out.resize(m.size());
    for (std::size_t i = 0; i < m.size(); ++i) out[i] = m[i][period];
}

}  // namespace

oversaturated::OversaturatedEngine oversaturated_engine(const FreewayFacility& f) {
    oversaturated::EngineSetup setup;
    for (const auto& s : f.segments) {
        setup.length_mi.push_back(s.length_ft / FT_PER_MI);
        setup.lanes.push_back(static_cast<double>(s.lanes));
    }
    setup.f_hv = heavy_vehicle_factor(f);
    setup.jam_density_pc = f.jam_density_pc;
    setup.queue_discharge_drop = f.queue_discharge_drop;
    setup.time_step_s = f.time_step_s;
    return oversaturated::OversaturatedEngine(setup);
}

void fill_oversaturated_period_input(const FreewayFacility& f, std::size_t p, oversaturated::OversatPeriodInput& in) {
    const std::size_t n = f.segments.size();
    const double f_hv = heavy_vehicle_factor(f);
    onrd_by_node(f.segments, p, in.on_ramp_demand_veh_h);
    offrd_by_node(f.segments, p, in.off_ramp_demand_veh_h);
    const auto& on = in.on_ramp_demand_veh_h;
    const auto& off = in.off_ramp_demand_veh_h;
    column(f.capacity, p, in.capacity_veh_h);
    column(f.demand, p, in.segment_demand_veh_h);
    in.mainline_demand_veh_h = f.mainline_demand[p];

    // Background density from the expected demand each segment would carry without queueing
    // (the expected demands wait in `background_density` until each is replaced by its density).
    oversaturated::OversaturatedEngine::expected_demand(in.capacity_veh_h, on, off, in.mainline_demand_veh_h,
                                                        in.background_density);
    for (std::size_t i = 0; i < n; ++i) {
        const double ed = in.background_density[i];
        const double lanes = static_cast<double>(f.segments[i].lanes);
        const double speed = engine_eval(f, i, p, ed, min2(on[i], ed), off[i + 1]).speed;
        in.background_density[i] = speed > 0.0 ? ed / lanes / speed : ed / lanes;
    }

    // Front clearing: capacity rises after an oversaturated period and demand falls below it.
    in.front_clearing.assign(n, false);
    if (p > 0) {
        for (std::size_t i = 0; i < n; ++i) {
            const double on_prev = node_on_ramp_demand(f.segments[i], p - 1);
            in.front_clearing[i] = f.capacity[i][p - 1] < f.capacity[i][p] && f.dc_ratio[i][p - 1] > 1.0 &&
                                   f.capacity[i][p] - on[i] > f.capacity[i][p - 1] - on_prev &&
                                   f.demand[i][p] < f.capacity[i][p] - on[i];
        }
    }

    // On-ramp roadway capacity and metering at each node.
    in.on_ramp_capacity_veh_h.assign(n + 1, 0.0);
    in.ramp_meter_rate_veh_h.assign(n + 1, std::nullopt);
    for (std::size_t i = 0; i < n; ++i) {
        const auto& s = f.segments[i];
        if (on[i] > 0.0) in.on_ramp_capacity_veh_h[i] = merge_diverge::ramp_capacity_per_lane(s.ramp_ffs) * f_hv;
        if (s.ramp_metering && p < s.ramp_metering->size()) in.ramp_meter_rate_veh_h[i] = (*s.ramp_metering)[p];
    }
    diverge_percentages(f, p, off, in.diverge_split);
    offrd_by_node(f.segments, p > 0 ? p - 1 : p, in.previous_diverge_split);
    diverge_percentages(f, p > 0 ? p - 1 : p, in.previous_diverge_split, in.previous_diverge_split);
}

oversaturated::OversatPeriodInput oversaturated_period_input(const FreewayFacility& f, std::size_t p) {
    oversaturated::OversatPeriodInput in;
    fill_oversaturated_period_input(f, p, in);
    return in;
}

namespace {

// The buffers of one analysis's period loop, reused from period to period.
struct PeriodBuffers {
    std::vector<double> flows, on_ramp, off_ramp, queued_speed, unused;
    std::vector<bool> queued;
    oversaturated::OversatPeriodInput input;
    oversaturated::OversatPeriodResult output;
};

void run_undersaturated_periods(FreewayFacility& f, std::size_t end, PeriodBuffers& b) {
    const std::size_t n = f.segments.size();
    b.queued.assign(n, false);
    b.unused.assign(n, 0.0);
    for (std::size_t p = 0; p < end; ++p) {
        base::poll_cancel();
        column(f.demand, p, b.flows);
        onrd_by_node(f.segments, p, b.on_ramp);
        offrd_by_node(f.segments, p, b.off_ramp);
        evaluate_period_chain(f, p, b.flows, b.on_ramp, b.off_ramp, b.queued, b.unused, b.unused);
    }
}

void run_oversaturated_periods(FreewayFacility& f, std::size_t first, PeriodBuffers& b) {
    const std::size_t n = f.segments.size();
    const std::size_t periods = num_periods(f);
    auto engine = oversaturated_engine(f);
    b.queued_speed.resize(n);
    const auto& out = b.output;
    for (std::size_t p = first; p < periods; ++p) {
        base::poll_cancel();
        fill_oversaturated_period_input(f, p, b.input);
        engine.run_period(b.input, b.output);
        for (std::size_t i = 0; i < n; ++i) {
            const auto& s = f.segments[i];
            const double lanes = static_cast<double>(s.lanes);
            const double k = out.density_veh[i];
            // While a queue discharges the density is floored at the background level, so the
            // quotient can exceed free-flow speed; no segment runs faster than its S_f.
            b.queued_speed[i] =
                k > 0.0 ? min2(out.flow_veh_h[i] / lanes / k, adjusted_ffs(f, s, p)) : segment_ffs(f, s);
        }
        evaluate_period_chain(f, p, out.flow_veh_h, out.on_ramp_flow_veh_h, out.off_ramp_flow_veh_h, out.queued,
                              b.queued_speed, out.density_veh);
        for (std::size_t i = 0; i < n; ++i) {
            f.had_queue[i][p] = out.queued[i];
            f.queue_length_ft[i][p] = out.queue_length_ft[i];
            f.on_ramp_queue[i][p] = out.on_ramp_queue_veh[i];
        }
        f.unserved_entry_veh[p] = out.unserved_entry_veh;
    }
}

}  // namespace

void run_analysis_in_place(FreewayFacility& f) {
    validate(f);
    const std::size_t periods = num_periods(f);

    compute_demands(f);
    compute_capacities(f);
    compute_dc_ratios(f);
    reset_results(f);

    const std::size_t first = f.first_oversat_period ? static_cast<std::size_t>(*f.first_oversat_period) : periods;
    PeriodBuffers buffers;
    run_undersaturated_periods(f, first, buffers);
    if (f.oversaturated) {
        validate_time_step(f.time_step_s);
        run_oversaturated_periods(f, first, buffers);
    }

    f.facility_performance.resize(periods);
    for (std::size_t p = 0; p < periods; ++p) f.facility_performance[p] = calculate_period_performance(f, p);
}

void run_analysis(FreewayFacility& facility) {
    validate(facility);
    // Every stage works on a copy; the facility takes the results only when all stages succeeded.
    FreewayFacility f = facility;
    run_analysis_in_place(f);
    facility = std::move(f);
}

// ---- Facility measures --------------------------------------------------------------------------

LevelOfService identify_facility_los(CityType city_type, double avg_density_pc) {
    return common::los_by_density(
        city_type == CityType::Urban ? exhibits::URBAN_FACILITY_LOS : exhibits::RURAL_FACILITY_LOS, avg_density_pc);
}

void PeriodSums::add_segment(double flow, double length_ft, double speed, double density_veh, double lanes,
                             double dc_ratio) {
    // Numerator and divisor of the space mean speed over the same segments: a stopped segment
    // (no speed) would otherwise add flow but no time and raise the speed.
    if (speed > 0.0) {
        flow_length += flow * length_ft;
        flow_time += flow * length_ft / speed;
    }
    density_length += density_veh * length_ft * lanes;
    lane_length += length_ft * lanes;
    if (dc_ratio > 1.0) over_capacity = true;
}

void PeriodSums::add(const PeriodSums& other) {
    flow_length += other.flow_length;
    flow_time += other.flow_time;
    density_length += other.density_length;
    lane_length += other.lane_length;
    over_capacity = over_capacity || other.over_capacity;
}

double PeriodSums::space_mean_speed() const { return flow_time > 0.0 ? flow_length / flow_time : 0.0; }

double PeriodSums::avg_density_veh() const { return lane_length > 0.0 ? density_length / lane_length : 0.0; }

LevelOfService PeriodSums::los(CityType city_type, double avg_density_pc) const {
    return over_capacity ? LevelOfService::F : identify_facility_los(city_type, avg_density_pc);
}

void add_period_travel(PeriodPerformance& out, double length_ft, double served, double demand, double speed,
                       double ffs) {
    const double hours = ov::HOURS_PER_PERIOD;
    const double l_mi = length_ft / FT_PER_MI;
    out.vmt_served += l_mi * served * hours;
    out.vmt_demand += l_mi * demand * hours;
    if (speed > 0.0) {
        out.vht += (l_mi / speed) * served * hours;
        out.vhd += max2(l_mi / speed - l_mi / ffs, 0.0) * served * hours;
    }
}

PeriodPerformance calculate_period_performance(const FreewayFacility& f, std::size_t p) {
    PeriodSums sums;
    PeriodPerformance out;
    for (std::size_t i = 0; i < f.segments.size(); ++i) {
        const auto& s = f.segments[i];
        const double q = f.volume_served.at(i).at(p);
        const double speed = f.speed.at(i).at(p);
        sums.add_segment(q, s.length_ft, speed, f.density_veh.at(i).at(p), static_cast<double>(s.lanes),
                         f.dc_ratio.at(i).at(p));
        add_period_travel(out, s.length_ft, q, f.demand.at(i).at(p), speed, segment_ffs(f, s));
    }
    out.space_mean_speed = sums.space_mean_speed();
    out.avg_density_veh = sums.avg_density_veh();
    out.avg_density_pc = out.avg_density_veh / heavy_vehicle_factor(f);
    out.los = sums.los(f.city_type, out.avg_density_pc);
    return out;
}

const PeriodPerformance& period_performance(const FreewayFacility& facility, std::size_t period) {
    if (facility.facility_performance.empty()) throw Error("run() must be called first");
    if (period >= facility.facility_performance.size()) {
        throw Error("period " + std::to_string(period) + " is out of range: the facility has results for " +
                    std::to_string(facility.facility_performance.size()) + " analysis periods");
    }
    return facility.facility_performance[period];
}

namespace {

// The result matrices the whole-analysis averages read must match the facility's shape.
void require_result_shape(const FreewayFacility& f, std::initializer_list<const Matrix*> matrices) {
    const std::size_t n = f.segments.size();
    const std::size_t periods = num_periods(f);
    for (const auto* m : matrices) {
        if (m->empty()) throw Error("run() must be called first");
        bool ok = m->size() == n;
        for (std::size_t i = 0; ok && i < n; ++i) ok = (*m)[i].size() == periods;
        if (!ok) {
            throw Error("result matrices do not match the facility's " + std::to_string(n) + " segments and " +
                        std::to_string(periods) + " analysis periods; run the analysis again");
        }
    }
}

}  // namespace

double overall_speed(const FreewayFacility& f) {
    require_result_shape(f, {&f.volume_served, &f.speed});
    double flow_length = 0.0, flow_time = 0.0;
    for (std::size_t i = 0; i < f.segments.size(); ++i) {
        const double length_ft = f.segments[i].length_ft;
        for (std::size_t p = 0; p < num_periods(f); ++p) {
            const double speed = f.speed[i][p];
            if (!(speed > 0.0)) continue;
            flow_length += f.volume_served[i][p] * length_ft;
            flow_time += f.volume_served[i][p] * length_ft / speed;
        }
    }
    return flow_time > 0.0 ? flow_length / flow_time : 0.0;
}

double overall_density_veh(const FreewayFacility& f) {
    require_result_shape(f, {&f.density_veh});
    double density_length = 0.0, lane_length = 0.0;
    for (std::size_t i = 0; i < f.segments.size(); ++i) {
        const double weight = f.segments[i].length_ft * static_cast<double>(f.segments[i].lanes);
        for (std::size_t p = 0; p < num_periods(f); ++p) {
            density_length += weight * f.density_veh[i][p];
            lane_length += weight;
        }
    }
    return lane_length > 0.0 ? density_length / lane_length : 0.0;
}

}  // namespace hcm::freeway_facilities::freeway_facilities
