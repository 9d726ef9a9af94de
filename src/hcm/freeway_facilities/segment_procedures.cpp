#include "hcm/freeway_facilities/segment_procedures.hpp"

namespace hcm::freeway_facilities::freeway_facilities {

hcm::weaving::weaving::WeavingSegment build_weave(const FreewayFacility& facility, std::size_t segment, std::size_t period,
                                    double flow) {
    const auto& s = facility.segments.at(segment);
    const auto volumes = determine_weaving_volumes(facility, segment, period, flow);
    hcm::weaving::weaving::WeavingSegment w;
    w.version = common::version::HcmVersion::Hcm7;
    w.weaving_type = hcm::weaving::weaving::WeavingType::OneSided;
    w.facility_type = hcm::weaving::weaving::FacilityType::Freeway;
    w.terrain = facility.terrain;
    w.length_short = s.short_length_ft.value_or(s.length_ft);
    w.num_lanes = s.lanes;
    w.num_weaving_lanes = s.num_weaving_lanes;
    w.lc_rf = s.lc_rf;
    w.lc_fr = s.lc_fr;
    w.lc_rr = 0;
    w.nw_rf = 1;
    w.nw_fr = 1;
    w.nw_rr = 0;
    w.ffs = segment_ffs(facility, s);
    w.v_ff = volumes.v_ff;
    w.v_fr = volumes.v_fr;
    w.v_rf = volumes.v_rf;
    w.v_rr = volumes.v_rr;
    w.phf = facility.phf;
    w.heavy_vehicle_pct = facility.heavy_vehicle_pct;
    w.interchange_density = facility.interchange_density.value_or(facility.total_ramp_density);
    w.basic_freeway_capacity = base_capacity_per_lane(facility, s);
    w.caf = period_caf(facility, s, period);
    w.saf = period_saf(facility, s, period);
    return w;
}

merge_diverge::RampSegment build_ramp(const FreewayFacility& facility, std::size_t segment, std::size_t period,
                                      double freeway_flow, double ramp_flow) {
    const auto& s = facility.segments.at(segment);
    merge_diverge::RampSegment r;
    r.version = common::version::HcmVersion::Hcm7;
    r.ramp_type =
        s.seg_type == SegmentType::Merge ? merge_diverge::RampType::OnRamp : merge_diverge::RampType::OffRamp;
    r.ramp_side = merge_diverge::RampSide::Right;
    r.ramp_lanes = merge_diverge::RampLanes::One;
    r.freeway_lanes = s.lanes;
    r.freeway_ffs = segment_ffs(facility, s);
    r.ramp_ffs = s.ramp_ffs;
    r.accel_lane_length = s.accel_lane_ft;
    r.accel_lane_length2.reset();
    r.decel_lane_length = s.decel_lane_ft;
    r.decel_lane_length2.reset();
    r.freeway_demand = freeway_flow;
    r.ramp_demand = ramp_flow;
    r.phf = facility.phf;
    r.heavy_vehicle_pct = facility.heavy_vehicle_pct;
    r.ramp_heavy_vehicle_pct.reset();
    r.terrain = facility.terrain;
    r.adjacent_upstream = merge_diverge::AdjacentRamp::None;
    r.upstream_distance.reset();
    r.upstream_ramp_flow.reset();
    r.adjacent_downstream = merge_diverge::AdjacentRamp::None;
    r.downstream_distance.reset();
    r.downstream_ramp_flow.reset();
    r.caf = period_caf(facility, s, period);
    r.saf = period_saf(facility, s, period);
    return r;
}

RampEvaluation evaluate_ramp_segment(const FreewayFacility& facility, std::size_t segment, std::size_t period,
                                     double freeway_flow, double ramp_flow) {
    auto r = build_ramp(facility, segment, period, freeway_flow, ramp_flow);
    r.run_analysis();
    return {r.density, r.speed_avg};
}

WeavingEvaluation evaluate_weaving_segment(const FreewayFacility& facility, std::size_t segment, std::size_t period,
                                           double flow) {
    auto w = build_weave(facility, segment, period, flow);
    w.run_analysis();
    return {w.is_weaving.value_or(false), w.speed_avg};
}

}  // namespace hcm::freeway_facilities::freeway_facilities
