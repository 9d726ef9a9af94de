#include "hcm/merge_diverge/merge_diverge.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "base/search.hpp"
#include "base/units.hpp"
#include "hcm/basicfreeways/basicfreeways.hpp"
#include "hcm/common/error.hpp"
#include "hcm/common/pce_table.hpp"
#include "hcm/merge_diverge/exhibits.hpp"
#include "json/jsonio.hpp"

namespace hcm::merge_diverge {
namespace {

namespace bf = basicfreeways::basicfreeways;

using base::units::INF;

using namespace exhibits;

// ---- Shared pieces of the steps -----------------------------------------------------------------

double accel_length(const RampSegment& s) { return s.accel_lane_length.value_or(DEFAULT_ACCEL_LENGTH); }
double decel_length(const RampSegment& s) { return s.decel_lane_length.value_or(DEFAULT_DECEL_LENGTH); }

// Two-lane ramps with a second auxiliary lane: L_eff = min(2 L_1 + L_2, 1500).
double effective_length(const RampSegment& s, double first, const std::optional<double>& second) {
    if (s.ramp_lanes == RampLanes::Two && second) return std::min(2.0 * first + *second, MAX_EFFECTIVE_LANE_LENGTH);
    return first;
}
double effective_accel_length(const RampSegment& s) { return effective_length(s, accel_length(s), s.accel_lane_length2); }
double effective_decel_length(const RampSegment& s) { return effective_length(s, decel_length(s), s.decel_lane_length2); }

double ramp_lane_count(const RampSegment& s) { return s.ramp_lanes == RampLanes::Two ? 2.0 : 1.0; }

double freeway_heavy_vehicle_factor(const RampSegment& s) {
    return common::pce_table::weaving_ramp_heavy_vehicle_factor(s.heavy_vehicle_pct, s.terrain);
}

double ramp_heavy_vehicle_factor(const RampSegment& s) {
    const double p_t = s.ramp_heavy_vehicle_pct.value_or(s.heavy_vehicle_pct);
    return common::pce_table::weaving_ramp_heavy_vehicle_factor(p_t, s.terrain);
}

// v: the flow checked against the freeway capacity (downstream of a merge, upstream of a diverge).
double influence_flow(RampType type, double v_f, double v_r) { return is_merge(type) ? v_f + v_r : v_f; }

// Flow carried in the lanes beyond four of a five-or-more-lane section.
double flow_beyond_four_lanes(RampType type, double v_f) {
    if (is_merge(type)) {
        if (v_f >= MERGE_FIXED_BEYOND_FOUR_FLOW) return MERGE_FIXED_BEYOND_FOUR;
        for (const auto& row : MERGE_BEYOND_FOUR) {
            if (v_f >= row.min_flow) return row.share * v_f;
        }
        return MERGE_BEYOND_FOUR[std::size(MERGE_BEYOND_FOUR) - 1].share * v_f;  // negative or NaN flow
    }
    for (const auto& row : DIVERGE_BEYOND_FOUR) {
        if (v_f >= row.min_flow) return row.share * v_f;
    }
    return 0.0;
}

double clamp_unit(double p) { return std::clamp(p, 0.0, 1.0); }

// Flow rate of an adjacent ramp from its volume, with the freeway heavy-vehicle factor.
double adjacent_flow_rate(const RampSegment& s, double volume) {
    return volume / (s.phf * freeway_heavy_vehicle_factor(s));
}

struct Flows {
    double v_f;
    double v_r;
};

double determine_pfm(const RampSegment& s, Flows f) {
    const std::uint32_t n = s.freeway_lanes;
    if (s.ramp_lanes == RampLanes::Two) {
        return n == 2 ? 1.0 : n == 3 ? PFM_TWO_LANE_RAMP_N3 : PFM_TWO_LANE_RAMP_OTHER;
    }
    const std::uint32_t n4 = std::min<std::uint32_t>(n, 4);
    const double l_a = accel_length(s);
    const double s_fr = s.ramp_ffs;
    if (n4 == 2) return 1.0;
    if (n4 == 3) {
        std::optional<double> best;
        auto consider = [&](double p) { best = best ? std::max(*best, p) : p; };
        if (s.adjacent_upstream == AdjacentRamp::OffRamp && s.upstream_distance) {
            double l_up = *s.upstream_distance;
            double l_eq = LEQ_UP_FLOW * (f.v_f + f.v_r) + LEQ_UP_LA * l_a + LEQ_UP_SFR * s_fr - LEQ_UP_CONST;
            if (l_up < l_eq) {
                consider(PFM3_UP_CONST - PFM3_UP_FLOW * (f.v_f + f.v_r) - PFM3_UP_SFR * s_fr + PFM3_UP_LUP * l_up);
            }
        }
        if (s.adjacent_downstream == AdjacentRamp::OffRamp && s.downstream_distance && s.downstream_ramp_flow) {
            double l_down = *s.downstream_distance;
            double v_d = adjacent_flow_rate(s, *s.downstream_ramp_flow);
            if (l_down < v_d / (LEQ_DOWN_CONST + LEQ_DOWN_LA * l_a)) {
                consider(PFM3_DOWN_CONST + PFM3_DOWN_RATIO * v_d / l_down);
            }
        }
        return clamp_unit(best.value_or(PFM3_ISOLATED_CONST + PFM3_ISOLATED_LA * l_a));
    }
    double p = PFM4_CONST - PFM4_VR * f.v_r;
    if (f.v_f / s_fr <= PFM4_MAX_VF_OVER_SFR) p += PFM4_LA_SFR * l_a / s_fr;
    return clamp_unit(p);
}

double determine_pfd(const RampSegment& s, Flows f) {
    const std::uint32_t n = s.freeway_lanes;
    if (s.ramp_lanes == RampLanes::Two) {
        return n == 2 ? 1.0 : n == 3 ? PFD_TWO_LANE_RAMP_N3 : PFD_TWO_LANE_RAMP_OTHER;
    }
    const std::uint32_t n4 = std::min<std::uint32_t>(n, 4);
    if (n4 == 2) return 1.0;
    if (n4 != 3) return PFD4;
    std::optional<double> best;
    auto consider = [&](double p) { best = best ? std::max(*best, p) : p; };
    if (s.adjacent_upstream == AdjacentRamp::OnRamp && s.upstream_distance && s.upstream_ramp_flow) {
        double l_up = *s.upstream_distance;
        double v_u = adjacent_flow_rate(s, *s.upstream_ramp_flow);
        double q = LEQ_DUP_CONST + LEQ_DUP_VF * f.v_f - LEQ_DUP_VR * f.v_r;
        if (v_u / l_up <= PFD3_UP_MAX_RATIO && q > 0.0 && l_up < v_u / q) {
            consider(PFD3_UP_CONST - PFD3_UP_VF * f.v_f + PFD3_UP_RATIO * v_u / l_up);
        }
    }
    if (s.adjacent_downstream == AdjacentRamp::OffRamp && s.downstream_distance && s.downstream_ramp_flow) {
        double l_down = *s.downstream_distance;
        double q = LEQ_DDOWN_CONST - LEQ_DDOWN_VF * f.v_f - LEQ_DDOWN_VR * f.v_r;
        if (q > 0.0) {
            double v_d = adjacent_flow_rate(s, *s.downstream_ramp_flow);
            if (l_down < v_d / q) consider(PFD3_DOWN_CONST - PFD3_DOWN_VF * f.v_f + PFD3_DOWN_RATIO * v_d / l_down);
        }
    }
    return clamp_unit(best.value_or(PFD3_ISOLATED_CONST - PFD3_ISOLATED_VF * f.v_f - PFD3_ISOLATED_VR * f.v_r));
}

double left_side_factor(const RampSegment& s) {
    if (s.ramp_side != RampSide::Left || s.freeway_lanes < 3) return 1.0;
    bool three = s.freeway_lanes == 3;
    if (is_merge(s.ramp_type)) return three ? LEFT_MERGE_N3 : LEFT_MERGE_N4;
    return three ? LEFT_DIVERGE_N3 : LEFT_DIVERGE_N4;
}

// The outer lanes may carry neither more than 2700 pc/h/ln nor more than 1.5 times the average
// flow of lanes 1 and 2; when they would, v12 is raised to the largest applicable bound.
double check_outer_lanes(std::uint32_t n4, double v_f, double v12) {
    double outer, offset, divisor;
    if (n4 == 4) {
        outer = (v_f - v12) / 2.0;
        offset = N4_OUTER_FLOW_OFFSET;
        divisor = N4_SHARE_DIVISOR;
    } else if (n4 == 3) {
        outer = v_f - v12;
        offset = N3_OUTER_FLOW_OFFSET;
        divisor = N3_SHARE_DIVISOR;
    } else {
        return v12;
    }
    std::optional<double> best;
    auto consider = [&](double c) { best = best ? std::max(*best, c) : c; };
    if (outer > MAX_OUTER_LANE_FLOW) consider(v_f - offset);
    if (outer > OUTER_TO_V12_RATIO * v12 / 2.0) consider(v_f / divisor);
    return best.value_or(v12);
}

// ---- Edition 7 steps ----------------------------------------------------------------------------

DemandFlows demand_flow_step(RampSegment& s) {
    const double v_f_all = s.freeway_demand / (s.phf * freeway_heavy_vehicle_factor(s));
    // The lane-distribution models know four lanes at most: on five or more, v_F leaves out the
    // flow of the lanes beyond four.
    double v_f = v_f_all;
    if (s.freeway_lanes >= 5) v_f -= flow_beyond_four_lanes(s.ramp_type, v_f_all);
    double v_r = s.ramp_demand / (s.phf * ramp_heavy_vehicle_factor(s));
    s.flow_freeway = v_f;
    s.flow_freeway_all_lanes = v_f_all;
    s.flow_ramp = v_r;
    return {v_f, v_r};
}

// v of the capacity check, the segment density and the major-diverge density: the freeway flow of
// all N lanes (the stored v_F when that was not stored), plus the ramp flow at a merge.
double all_lanes_flow(const RampSegment& s) {
    const double v_f = s.flow_freeway_all_lanes ? *s.flow_freeway_all_lanes : s.flow_freeway.value_or(0.0);
    return influence_flow(s.ramp_type, v_f, s.flow_ramp.value_or(0.0));
}

double v12_step(RampSegment& s) {
    const Flows f{s.flow_freeway.value_or(0.0), s.flow_ramp.value_or(0.0)};
    const std::uint32_t n = s.freeway_lanes;
    const std::uint32_t n4 = std::min<std::uint32_t>(n, 4);
    const bool merge = is_merge(s.ramp_type);
    const double p = merge ? determine_pfm(s, f) : determine_pfd(s, f);
    double v12 = merge ? f.v_f * p : f.v_r + (f.v_f - f.v_r) * p;
    v12 *= left_side_factor(s);
    v12 = check_outer_lanes(n4, f.v_f, v12);
    s.p_f = p;
    s.v12 = v12;
    s.vr12 = merge ? f.v_r + v12 : v12;
    s.v_oa = n >= 3 ? (f.v_f - v12) / static_cast<double>(n4 - 2) : 0.0;
    return v12;
}

double capacity_step(RampSegment& s) {
    const double v_r = s.flow_ramp.value_or(0.0);
    const double c_f = freeway_capacity_per_lane(s.freeway_ffs) * static_cast<double>(s.freeway_lanes) * s.caf;
    const double c_r = s.caf * ramp_capacity_per_lane(s.ramp_ffs) * ramp_lane_count(s);
    // c_F is the capacity of all N lanes, so it is checked against the flow of all N lanes: the
    // four-lane v_F of five or more lanes serves the lane distribution only, and against c_F it
    // would understate v/c by the share of the lanes beyond four and hide demand above capacity.
    const double v = all_lanes_flow(s);
    const double max_desirable = is_merge(s.ramp_type) ? MAX_DESIRABLE_VR12_MERGE : MAX_DESIRABLE_V12_DIVERGE;
    s.capacity_freeway = c_f;
    s.capacity_ramp = c_r;
    s.vc_ratio = c_f > 0.0 ? v / c_f : INF;
    s.demand_exceeds_capacity = v_r > c_r || v > c_f;
    s.exceeds_max_desirable = s.vr12.value_or(0.0) > max_desirable;
    return c_f;
}

double density_step(RampSegment& s) {
    const double v_r = s.flow_ramp.value_or(0.0);
    const double v12 = s.v12.value_or(0.0);
    double d;
    switch (s.ramp_type) {
        // Equations 14-8 and 14-10 are regressions: at light flows beside a long acceleration or
        // deceleration lane they fall below zero, which no density can be; they stop at 0.
        case RampType::OnRamp:
            d = std::max(
                DR_MERGE_CONST + DR_MERGE_VR * v_r + DR_MERGE_V12 * v12 - DR_MERGE_LA * effective_accel_length(s), 0.0);
            break;
        case RampType::OffRamp:
            d = std::max(DR_DIVERGE_CONST + DR_DIVERGE_V12 * v12 - DR_DIVERGE_LD * effective_decel_length(s), 0.0);
            break;
        case RampType::MajorDiverge:
            // The whole approaching flow over all N lanes: the four-lane v_F of five or more lanes
            // serves the lane distribution only.
            d = DR_MAJOR_DIVERGE * all_lanes_flow(s) / static_cast<double>(s.freeway_lanes);
            break;
        case RampType::MajorMerge:
        default:
            return 0.0;  // no influence-area density model for a major merge
    }
    s.density = d;
    return d;
}

std::optional<LevelOfService> los_step(RampSegment& s) {
    const bool over = s.demand_exceeds_capacity.value_or(false);
    std::optional<LevelOfService> los;
    if (over) {
        los = LevelOfService::F;
    } else if (s.ramp_type != RampType::MajorMerge) {
        los = common::los_by_density(LOS7_DENSITY_MAX, s.density.value_or(0.0));  // E above 35, never F
    }
    s.los = los;
    return los;
}

RampSpeeds speed_step(RampSegment& s) {
    const double ffs = s.freeway_ffs * s.saf;
    const double s_fr = s.ramp_ffs * s.saf;
    const double v_r = s.flow_ramp.value_or(0.0);
    const double vr12 = s.vr12.value_or(0.0);
    const double v_oa = s.v_oa.value_or(0.0);
    const std::uint32_t n = s.freeway_lanes;
    const bool has_outer = n >= 3;
    double s_r;
    std::optional<double> s_o;
    if (is_merge(s.ramp_type)) {
        double m_s = MS_CONST + MS_EXP * std::exp(std::min(vr12, MS_VR12_CAP) / MS_VR12_SCALE) -
                     MS_LA_SFR * (effective_accel_length(s) * s_fr / MS_LA_SFR_SCALE);
        s_r = std::min(ffs - (ffs - SPEED_FLOOR) * m_s, ffs);
        if (has_outer) {
            if (v_oa < SO_MERGE_LOW) {
                s_o = ffs;
            } else if (v_oa <= SO_MERGE_HIGH) {
                s_o = ffs - SO_MERGE_SLOPE1 * (v_oa - SO_MERGE_LOW);
            } else {
                s_o = ffs - SO_MERGE_DROP_AT_HIGH - SO_MERGE_SLOPE2 * (v_oa - SO_MERGE_HIGH);
            }
        }
    } else {
        double d_s = DS_CONST + DS_VR * v_r - DS_SFR * s_fr;
        s_r = ffs - (ffs - SPEED_FLOOR) * d_s;
        if (has_outer) {
            s_o = v_oa < SO_DIVERGE_LOW ? SO_DIVERGE_FACTOR * ffs
                                        : SO_DIVERGE_FACTOR * ffs - SO_DIVERGE_SLOPE * (v_oa - SO_DIVERGE_LOW);
        }
    }
    double speed = s_r;
    if (has_outer) {
        const double n_o = static_cast<double>(std::min<std::uint32_t>(n, 4) - 2);
        const double q_o = v_oa * n_o;
        if (vr12 + q_o > 0.0 && s_r > 0.0 && *s_o > 0.0) {
            speed = std::min((vr12 + q_o) / (vr12 / s_r + q_o / *s_o), ffs);
        }
    }
    s.speed_ramp = s_r;
    if (s_o) s.speed_outer = s_o;
    s.speed_avg = speed;
    if (speed > 0.0) s.segment_density = all_lanes_flow(s) / static_cast<double>(n) / speed;  // all N lanes, as c_F
    return {s_r, s_o, speed};
}

std::optional<LevelOfService> run_7th_edition(RampSegment& s) {
    demand_flow_step(s);
    v12_step(s);
    capacity_step(s);
    density_step(s);
    std::optional<LevelOfService> los = los_step(s);
    speed_step(s);
    return los;
}

// ---- Edition 7.1: equivalent basic segment with a ramp speed impedance --------------------------

double impedance_coefficient(const RampSegment& s, double v_r) {
    if (is_merge(s.ramp_type)) {
        double l_a = accel_length(s);
        return l_a > 0.0 ? K_MERGE * v_r / l_a : 0.0;
    }
    double l_d = decel_length(s);
    return l_d > 0.0 ? K_DIVERGE * v_r / std::pow(l_d, K_DIVERGE_EXPONENT) : 0.0;
}

LevelOfService run_edition_7_1(RampSegment& s) {
    RampAnalysisV71 r;
    const double fhv_f = freeway_heavy_vehicle_factor(s);
    const double fhv_r = ramp_heavy_vehicle_factor(s);
    if (s.phf > 0.0) {
        if (fhv_f > 0.0) r.flow_freeway = s.freeway_demand / (s.phf * fhv_f);
        if (fhv_r > 0.0) r.flow_ramp = s.ramp_demand / (s.phf * fhv_r);
    }
    r.flow_influence = influence_flow(s.ramp_type, r.flow_freeway, r.flow_ramp);
    const double lanes = s.freeway_lanes == 0 ? 1.0 : static_cast<double>(s.freeway_lanes);
    r.flow_per_lane = r.flow_influence / lanes;

    r.ffs_adj = s.freeway_ffs * s.saf;
    r.capacity_basic_adj = s.caf * bf::basic_freeway_capacity(s.freeway_ffs);
    r.breakpoint_adj = bf::basic_freeway_breakpoint(r.ffs_adj, s.caf);
    r.speed_basic = bf::basic_freeway_speed(r.flow_per_lane, r.ffs_adj, r.capacity_basic_adj, r.breakpoint_adj);

    const double k = impedance_coefficient(s, r.flow_ramp);
    r.speed_impedance = std::max(k * (r.flow_per_lane - IMPEDANCE_FREE_FLOW_PER_LANE), 0.0);
    const double speed = r.speed_basic - r.speed_impedance;
    if (speed > 0.0) r.speed_avg = speed;

    // Capacity: the flow per lane at which the impeded equivalent basic segment reaches 35 pc/mi/ln.
    r.capacity_per_lane = bf::basic_freeway_flow_at_density(CAPACITY_DENSITY, r.ffs_adj, r.capacity_basic_adj,
                                                            r.breakpoint_adj, k, IMPEDANCE_FREE_FLOW_PER_LANE);
    if (r.capacity_per_lane && *r.capacity_per_lane > 0.0) r.dc_ratio = r.flow_per_lane / *r.capacity_per_lane;

    r.capacity_neighboring_freeway =
        freeway_capacity_per_lane(s.freeway_ffs) * static_cast<double>(s.freeway_lanes) * s.caf;
    r.capacity_ramp_roadway = ramp_capacity_per_lane(s.ramp_ffs) * ramp_lane_count(s);
    r.density = speed > 0.0 ? r.flow_per_lane / speed : INF;
    r.demand_exceeds_capacity = (r.dc_ratio && *r.dc_ratio > 1.0) || r.flow_influence > r.capacity_neighboring_freeway ||
                                r.flow_ramp > r.capacity_ramp_roadway;
    r.los = r.demand_exceeds_capacity ? LevelOfService::F
                                      : common::los_by_density(common::LOS_DENSITY_MAX_V7_1, r.density);

    s.flow_freeway = r.flow_freeway;
    s.flow_freeway_all_lanes = r.flow_freeway;  // no reduction to four lanes in 7.1
    s.flow_ramp = r.flow_ramp;
    s.capacity_freeway = r.capacity_neighboring_freeway;
    s.capacity_ramp = r.capacity_ramp_roadway;
    s.vc_ratio = r.dc_ratio;
    s.density = r.density;
    s.speed_ramp = r.speed_avg;
    s.speed_avg = r.speed_avg;
    s.demand_exceeds_capacity = r.demand_exceeds_capacity;
    s.los = r.los;
    s.analysis_v7_1 = r;
    return r.los;
}

}  // namespace

const jsonio::Record<RampAnalysisV71>& json_record(jsonio::Tag<RampAnalysisV71>) {
    using R = RampAnalysisV71;
    static const jsonio::Record<R> record{"RampAnalysisV71",
                                          {
                                              jsonio::result("flow_freeway", &R::flow_freeway),
                                              jsonio::result("flow_ramp", &R::flow_ramp),
                                              jsonio::result("flow_influence", &R::flow_influence),
                                              jsonio::result("flow_per_lane", &R::flow_per_lane),
                                              jsonio::result("ffs_adj", &R::ffs_adj),
                                              jsonio::result("capacity_basic_adj", &R::capacity_basic_adj),
                                              jsonio::result("breakpoint_adj", &R::breakpoint_adj),
                                              jsonio::result("speed_basic", &R::speed_basic),
                                              jsonio::result("speed_impedance", &R::speed_impedance),
                                              jsonio::optional("speed_avg", &R::speed_avg),
                                              jsonio::optional("capacity_per_lane", &R::capacity_per_lane),
                                              jsonio::optional("dc_ratio", &R::dc_ratio),
                                              jsonio::result("capacity_neighboring_freeway",
                                                               &R::capacity_neighboring_freeway),
                                              jsonio::result("capacity_ramp_roadway", &R::capacity_ramp_roadway),
                                              jsonio::required("demand_exceeds_capacity", &R::demand_exceeds_capacity),
                                              jsonio::result("density", &R::density),
                                              jsonio::required("los", &R::los),
                                          }};
    return record;
}

RampLanes ramp_lanes_from_count(std::uint32_t lanes) {
    if (lanes == 1) return RampLanes::One;
    if (lanes == 2) return RampLanes::Two;
    throw Error("ramp_lanes must be 1 or 2, got " + std::to_string(lanes));
}

double freeway_capacity_per_lane(double ffs) {
    using namespace exhibits;
    if (ffs >= FREEWAY_FFS_70) return FREEWAY_CAPACITY_70;
    if (ffs >= FREEWAY_FFS_65) return FREEWAY_CAPACITY_65;
    if (ffs >= FREEWAY_FFS_60) return FREEWAY_CAPACITY_60;
    return FREEWAY_CAPACITY_BELOW_60;
}

double ramp_capacity_per_lane(double ramp_ffs) {
    using namespace exhibits;
    if (ramp_ffs > RAMP_FFS_50) return RAMP_CAPACITY_ABOVE_50;
    if (ramp_ffs > RAMP_FFS_40) return RAMP_CAPACITY_ABOVE_40;
    if (ramp_ffs > RAMP_FFS_30) return RAMP_CAPACITY_ABOVE_30;
    if (ramp_ffs >= RAMP_FFS_20) return RAMP_CAPACITY_FROM_20;
    return RAMP_CAPACITY_BELOW_20;
}

std::optional<LevelOfService> RampSegment::run_analysis() {
    if (version == HcmVersion::Hcm7_1) return run_edition_7_1(*this);
    return run_7th_edition(*this);
}

DemandFlows RampSegment::determine_demand_flow() {
    common::version::require_7th_edition_step(version, "determine_demand_flow");
    return demand_flow_step(*this);
}

double RampSegment::estimate_v12() {
    common::version::require_7th_edition_step(version, "estimate_v12");
    return v12_step(*this);
}

double RampSegment::determine_capacity() {
    common::version::require_7th_edition_step(version, "determine_capacity");
    return capacity_step(*this);
}

double RampSegment::determine_density() {
    common::version::require_7th_edition_step(version, "determine_density");
    return density_step(*this);
}

std::optional<LevelOfService> RampSegment::determine_los() {
    common::version::require_7th_edition_step(version, "determine_los");
    return los_step(*this);
}

RampSpeeds RampSegment::estimate_speed() {
    common::version::require_7th_edition_step(version, "estimate_speed");
    return speed_step(*this);
}

void RampSegment::clear_results() {
    flow_freeway.reset();
    flow_freeway_all_lanes.reset();
    flow_ramp.reset();
    p_f.reset();
    v12.reset();
    vr12.reset();
    v_oa.reset();
    capacity_freeway.reset();
    capacity_ramp.reset();
    vc_ratio.reset();
    density.reset();
    speed_ramp.reset();
    speed_outer.reset();
    speed_avg.reset();
    segment_density.reset();
    analysis_v7_1.reset();
    demand_exceeds_capacity.reset();
    exceeds_max_desirable.reset();
    los.reset();
}

std::optional<double> ramp_service_flow_rate_ideal(const RampSegment& segment, double target_density,
                                                   std::optional<double> ramp_fraction,
                                                   std::optional<double> fixed_freeway_vf) {
    if (ramp_fraction.has_value() == fixed_freeway_vf.has_value()) {
        throw Error("provide exactly one of ramp_fraction (Case 1) or fixed_freeway_vf (Case 2)");
    }
    constexpr double FIRST_BRACKET = 1000.0;
    constexpr int MAX_DOUBLINGS = 60;
    constexpr int BISECTIONS = 50;

    // Ideal conditions on a private copy that starts from no results, so that a density left by
    // an earlier analysis of the caller's segment cannot stand in for one never computed.
    RampSegment probe = segment;
    probe.clear_results();
    probe.phf = 1.0;
    probe.heavy_vehicle_pct = 0.0;
    probe.ramp_heavy_vehicle_pct = 0.0;
    probe.caf = 1.0;
    probe.saf = 1.0;
    auto density_at = [&](double s) {
        if (ramp_fraction) {
            probe.freeway_demand = s;
            probe.ramp_demand = s * *ramp_fraction;
        } else {
            probe.freeway_demand = *fixed_freeway_vf;
            probe.ramp_demand = s;
        }
        probe.run_analysis();
        return probe.density.value_or(0.0);
    };

    if (density_at(0.0) > target_density) return std::nullopt;
    // No value also when the density never reaches the target (for example a major merge, whose
    // influence-area density the 7th Edition does not model).
    return base::bracket_and_bisect(density_at, target_density, FIRST_BRACKET, MAX_DOUBLINGS, BISECTIONS);
}

ServiceVolumes ramp_service_volumes(double sfi, double f_hv, double f_p, double phf) {
    double sf = sfi * f_hv * f_p;
    return {sf, sf * phf};
}

}  // namespace hcm::merge_diverge
