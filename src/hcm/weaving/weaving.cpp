#include "hcm/weaving/weaving.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>
#include <string_view>

#include "base/format.hpp"
#include "base/search.hpp"
#include "base/units.hpp"
#include "hcm/basicfreeways/basicfreeways.hpp"
#include "hcm/common/error.hpp"
#include "hcm/common/pce_table.hpp"
#include "hcm/weaving/exhibits.hpp"
#include "json/jsonio.hpp"

namespace hcm::weaving::weaving {
namespace {

namespace bf = basicfreeways::basicfreeways;
namespace pce = common::pce_table;

using base::units::INF;

using namespace exhibits;

// Chapter 27, Example Problem 5: bracket and bisection of the service flow rate search.
constexpr double SFI_FIRST_BRACKET = 1000.0;
constexpr int SFI_MAX_DOUBLINGS = 60;
constexpr int SFI_BISECTIONS = 40;

void check_codes(const WeavingSegment& s) {
    if (s.terrain > Terrain::Mountainous) {
        throw std::logic_error("weaving segment terrain code " + std::to_string(static_cast<int>(s.terrain)) +
                               " is not 0, 1 or 2");
    }
    if (s.facility_type > FacilityType::MultilaneOrCd) {
        throw std::logic_error("weaving segment facility type code " +
                               std::to_string(static_cast<int>(s.facility_type)) +
                               " is not 0 or 1");
    }
}

bool is_one_sided(const WeavingSegment& s) { return s.weaving_type == WeavingType::OneSided; }

// N_WL as it enters L_MAX and c_IWL: a two-sided weave has no weaving-lane term.
std::uint32_t effective_weaving_lanes(const WeavingSegment& s) { return is_one_sided(s) ? s.num_weaving_lanes : 0; }

double stored_or_computed_fhv(const WeavingSegment& s) {
    return s.f_hv ? *s.f_hv : pce::weaving_ramp_heavy_vehicle_factor(s.heavy_vehicle_pct, s.terrain);
}

// Each movement's demand flow rate, volume / (PHF f_HV).
MovementFlows demand_flow_rates(const WeavingSegment& s, double fhv) {
    const double divisor = s.phf * fhv;
    return {s.v_rf / divisor, s.v_rr / divisor, s.v_fr / divisor, s.v_ff / divisor};
}

// Weaving and non-weaving flows of the configuration: one-sided weaves are ramp-to-freeway and
// freeway-to-ramp, two-sided weaves ramp-to-ramp.
DemandFlows split_weaving_flows(WeavingType type, const MovementFlows& q) {
    DemandFlows f{};
    if (type == WeavingType::OneSided) {
        f.weaving = q.v_fr + q.v_rf;
        f.nonweaving = q.v_ff + q.v_rr;
    } else {
        f.weaving = q.v_rr;
        f.nonweaving = q.v_ff + q.v_fr + q.v_rf;
    }
    f.total = f.weaving + f.nonweaving;
    return f;
}

double volume_ratio_of(const DemandFlows& f) { return f.total > 0.0 ? f.weaving / f.total : 0.0; }

// --- Edition 7.1 steps ---

WeavingClass identify_weaving_class(const WeavingSegment& s) {
    if (!is_one_sided(s)) return WeavingClass::TwoSided;
    const bool simple = s.lc_rf == 1 && s.lc_fr == 1 && s.nw_rf == 1 && s.nw_fr == 1;
    return simple ? WeavingClass::Simple : WeavingClass::Complex;
}

// Weaving demand weighted by the lane changes each weaving movement needs.
double calculate_weighted_weaving_demand(const WeavingSegment& s, const MovementFlows& q) {
    auto weight = [](std::uint32_t lc, std::uint32_t nw) {
        return (static_cast<double>(lc) + 1.0) / (static_cast<double>(nw) + 1.0);
    };
    if (!is_one_sided(s)) return q.v_rr * weight(s.lc_rr, s.nw_rr);
    return q.v_rf * weight(s.lc_rf, s.nw_rf) + q.v_fr * weight(s.lc_fr, s.nw_fr);
}

double calculate_speed_impedance_coefficient(WeavingClass cls, double weighted_demand, std::uint32_t lanes,
                                             double length_short) {
    const ImpedanceCoefficients& k = cls == WeavingClass::Complex ? IMPEDANCE_COMPLEX : IMPEDANCE_SIMPLE_OR_TWO_SIDED;
    if (lanes == 0 || !(length_short > 0.0)) return 0.0;
    const double demand_term = weighted_demand / std::pow(static_cast<double>(lanes), k.e);
    if (!(demand_term > 0.0)) return 0.0;
    return k.a * std::pow(demand_term, k.b) * std::pow(1.0 / length_short, k.c);
}

// Flow per lane at which the equivalent basic segment, slowed by the weaving speed impedance,
// reaches the capacity density.
std::optional<double> determine_capacity_per_lane_v7_1(const WeavingV71Result& r) {
    return bf::basic_freeway_flow_at_density(V7_1_CAPACITY_DENSITY, r.ffs_adj, r.capacity_basic_adj, r.breakpoint_adj,
                                             r.weaving_intensity, IMPEDANCE_FREE_FLOW_PER_LANE);
}

WeavingV71Result analyze_v7_1(const WeavingSegment& s) {
    WeavingV71Result r;
    r.weaving_class = identify_weaving_class(s);

    r.f_hv = pce::weaving_ramp_heavy_vehicle_factor(s.heavy_vehicle_pct, s.terrain);
    if (s.phf > 0.0 && r.f_hv > 0.0) r.flows = demand_flow_rates(s, r.f_hv);
    r.flow_total = r.flows.v_ff + r.flows.v_fr + r.flows.v_rf + r.flows.v_rr;
    r.flow_per_lane = s.num_lanes > 0 ? r.flow_total / static_cast<double>(s.num_lanes) : 0.0;

    r.ffs_adj = s.ffs * s.saf;
    r.capacity_basic_adj = s.caf * bf::basic_freeway_capacity(s.ffs);
    r.breakpoint_adj = bf::basic_freeway_breakpoint(r.ffs_adj, s.caf);
    r.speed_basic = bf::basic_freeway_speed(r.flow_per_lane, r.ffs_adj, r.capacity_basic_adj, r.breakpoint_adj);

    const double weighted_demand = calculate_weighted_weaving_demand(s, r.flows);
    r.weaving_intensity =
        calculate_speed_impedance_coefficient(r.weaving_class, weighted_demand, s.num_lanes, s.length_short);
    r.speed_impedance = std::max((r.flow_per_lane - IMPEDANCE_FREE_FLOW_PER_LANE) * r.weaving_intensity, 0.0);
    const double speed = r.speed_basic - r.speed_impedance;
    if (speed > 0.0) r.speed_avg = speed;

    r.capacity_per_lane = determine_capacity_per_lane_v7_1(r);
    if (r.capacity_per_lane) r.capacity_total = *r.capacity_per_lane * static_cast<double>(s.num_lanes);
    if (r.capacity_per_lane && *r.capacity_per_lane > 0.0) r.dc_ratio = r.flow_per_lane / *r.capacity_per_lane;

    r.density = speed > 0.0 ? r.flow_per_lane / speed : INF;
    r.demand_exceeds_capacity = r.dc_ratio && *r.dc_ratio > 1.0;
    r.los = r.demand_exceeds_capacity ? LevelOfService::F
                                      : common::los_by_density(common::LOS_DENSITY_MAX_V7_1, r.density);
    return r;
}

}  // namespace

const jsonio::Record<MovementFlows>& json_record(jsonio::Tag<MovementFlows>) {
    using R = MovementFlows;
    static const jsonio::Record<R> record{"MovementFlows",
                                          {
                                              jsonio::result("v_rf", &R::v_rf),
                                              jsonio::result("v_rr", &R::v_rr),
                                              jsonio::result("v_fr", &R::v_fr),
                                              jsonio::result("v_ff", &R::v_ff),
                                          }};
    return record;
}

const jsonio::Record<WeavingV71Result>& json_record(jsonio::Tag<WeavingV71Result>) {
    using R = WeavingV71Result;
    static const jsonio::Record<R> record{"WeavingV71Result",
                                          {
                                              jsonio::required("class", &R::weaving_class),
                                              jsonio::result("f_hv", &R::f_hv),
                                              jsonio::required("flows", &R::flows),
                                              jsonio::result("flow_total", &R::flow_total),
                                              jsonio::result("flow_per_lane", &R::flow_per_lane),
                                              jsonio::result("ffs_adj", &R::ffs_adj),
                                              jsonio::result("capacity_basic_adj", &R::capacity_basic_adj),
                                              jsonio::result("breakpoint_adj", &R::breakpoint_adj),
                                              jsonio::result("speed_basic", &R::speed_basic),
                                              jsonio::result("weaving_intensity", &R::weaving_intensity),
                                              jsonio::result("speed_impedance", &R::speed_impedance),
                                              jsonio::optional("speed_avg", &R::speed_avg),
                                              jsonio::optional("capacity_per_lane", &R::capacity_per_lane),
                                              jsonio::optional("capacity_total", &R::capacity_total),
                                              jsonio::optional("dc_ratio", &R::dc_ratio),
                                              jsonio::required("demand_exceeds_capacity", &R::demand_exceeds_capacity),
                                              jsonio::result("density", &R::density),
                                              jsonio::required("los", &R::los),
                                          }};
    return record;
}

double calculate_max_weaving_length(double volume_ratio, std::uint32_t weaving_lanes) {
    return L_MAX_BASE * std::pow(1.0 + volume_ratio, VR_EXPONENT) - L_MAX_PER_WEAVING_LANE * weaving_lanes;
}

double calculate_weaving_lane_capacity(double c_ifl, double volume_ratio, double length_short,
                                       std::uint32_t weaving_lanes) {
    return c_ifl - C_IWL_VR_COEFF * std::pow(1.0 + volume_ratio, VR_EXPONENT) + C_IWL_PER_FOOT * length_short +
           C_IWL_PER_WEAVING_LANE * weaving_lanes;
}

std::optional<double> max_weaving_flow(std::uint32_t weaving_lanes) {
    if (weaving_lanes == 2) return C_W2_TWO_WEAVING_LANES;
    if (weaving_lanes == 3) return C_W2_THREE_WEAVING_LANES;
    return std::nullopt;
}

// --- Edition 7 steps ---

DemandFlows WeavingSegment::determine_demand_flow() {
    common::version::require_7th_edition_step(version, "determine_demand_flow");
    const double fhv = pce::weaving_ramp_heavy_vehicle_factor(heavy_vehicle_pct, terrain);
    const DemandFlows flows = split_weaving_flows(weaving_type, demand_flow_rates(*this, fhv));
    f_hv = fhv;
    flow_weaving = flows.weaving;
    flow_nonweaving = flows.nonweaving;
    flow_total = flows.total;
    volume_ratio = volume_ratio_of(flows);
    return flows;
}

double WeavingSegment::determine_configuration_characteristics() {
    common::version::require_7th_edition_step(version, "determine_configuration_characteristics");
    const MovementFlows q = demand_flow_rates(*this, stored_or_computed_fhv(*this));
    const double minimum = is_one_sided(*this) ? lc_rf * q.v_rf + lc_fr * q.v_fr : lc_rr * q.v_rr;
    lc_min = minimum;
    return minimum;
}

double WeavingSegment::determine_max_weaving_length() {
    common::version::require_7th_edition_step(version, "determine_max_weaving_length");
    const double vr = volume_ratio.value_or(0.0);
    const double maximum = calculate_max_weaving_length(vr, effective_weaving_lanes(*this));
    l_max = maximum;
    is_weaving = length_short < maximum;
    return maximum;
}

double WeavingSegment::determine_capacity() {
    common::version::require_7th_edition_step(version, "determine_capacity");
    const double fhv = stored_or_computed_fhv(*this);
    const double vr = volume_ratio.value_or(0.0);
    const double v = flow_total.value_or(0.0);
    const std::uint32_t nwl = effective_weaving_lanes(*this);

    const double c_weaving_lane = calculate_weaving_lane_capacity(basic_freeway_capacity, vr, length_short, nwl);
    const double c_density = fhv * c_weaving_lane * num_lanes;
    std::optional<double> c_demand;
    const std::optional<double> weaving_flow = max_weaving_flow(nwl);
    if (vr > 0.0 && weaving_flow) c_demand = fhv * (*weaving_flow / vr);
    const double c_weaving = (c_demand ? std::min(c_density, *c_demand) : c_density) * caf;
    const double ratio = c_weaving > 0.0 ? fhv * v / c_weaving : INF;

    c_iwl = c_weaving_lane;
    c_w1 = c_density;
    c_w2 = c_demand;
    capacity = c_weaving;
    vc_ratio = ratio;
    demand_exceeds_capacity = ratio > 1.0;
    return c_weaving;
}

double WeavingSegment::determine_lane_changing_rates() {
    common::version::require_7th_edition_step(version, "determine_lane_changing_rates");
    const double n = num_lanes;
    const double v_nw = flow_nonweaving.value_or(0.0);
    const double weaving = lc_min.value_or(0.0) + LC_W_COEFF * std::sqrt(std::max(length_short - LC_W_LENGTH_OFFSET, 0.0)) *
                                                      n * n * std::pow(1.0 + interchange_density, LC_W_ID_EXPONENT);

    const double nw1 = std::max(LC_NW1_PER_FLOW * v_nw + LC_NW1_PER_FOOT * length_short - LC_NW1_PER_LANE * n, 0.0);
    const double nw2 = LC_NW2_BASE + LC_NW2_PER_FLOW * (v_nw - LC_NW2_FLOW_OFFSET);
    const double index = length_short * interchange_density * v_nw / I_NW_SCALE;
    double nonweaving;
    if (nw1 >= nw2) {
        nonweaving = nw2;
    } else if (index <= I_NW_LOW) {
        nonweaving = nw1;
    } else if (index >= I_NW_HIGH) {
        nonweaving = nw2;
    } else {
        nonweaving = nw1 + (nw2 - nw1) * (index - I_NW_LOW) / (I_NW_HIGH - I_NW_LOW);
    }

    lc_w = weaving;
    lc_nw = nonweaving;
    lc_all = weaving + nonweaving;
    return weaving + nonweaving;
}

WeavingSpeeds WeavingSegment::estimate_speed() {
    common::version::require_7th_edition_step(version, "estimate_speed");
    const double intensity = W_COEFF * std::pow(lc_all.value_or(0.0) / length_short, W_EXPONENT);
    const double ffs_adj = ffs * saf;
    const double v = flow_total.value_or(0.0);
    const double v_w = flow_weaving.value_or(0.0);
    const double v_nw = flow_nonweaving.value_or(0.0);

    WeavingSpeeds s{};
    s.weaving = S_W_MINIMUM + (ffs_adj - S_W_MINIMUM) / (1.0 + intensity);
    s.nonweaving = ffs_adj - S_NW_PER_LC_MIN * lc_min.value_or(0.0) - S_NW_PER_FLOW_PER_LANE * v / num_lanes;
    s.average = (s.nonweaving > 0.0 && v > 0.0 && s.weaving > 0.0) ? v / (v_w / s.weaving + v_nw / s.nonweaving)
                                                                    : s.weaving;

    weaving_intensity = intensity;
    speed_weaving = s.weaving;
    speed_nonweaving = s.nonweaving;
    speed_avg = s.average;
    return s;
}

double WeavingSegment::determine_density() {
    common::version::require_7th_edition_step(version, "determine_density");
    const double speed = speed_avg.value_or(0.0);
    const double d = speed > 0.0 ? (flow_total.value_or(0.0) / num_lanes) / speed : INF;
    density = d;
    return d;
}

LevelOfService WeavingSegment::determine_los() {
    common::version::require_7th_edition_step(version, "determine_los");
    check_codes(*this);
    LevelOfService result = LevelOfService::F;
    if (!demand_exceeds_capacity.value_or(false)) {
        const auto& bounds = facility_type == FacilityType::Freeway ? LOS_DENSITY_MAX_FREEWAY : LOS_DENSITY_MAX_MULTILANE_OR_CD;
        result = common::los_by_density(bounds, density.value_or(0.0));
    }
    los = result;
    return result;
}

LevelOfService WeavingSegment::run_analysis() {
    check_codes(*this);
    if (version == HcmVersion::Hcm7_1) {
        const WeavingV71Result r = analyze_v7_1(*this);
        const DemandFlows flows = split_weaving_flows(weaving_type, r.flows);
        f_hv = r.f_hv;
        flow_total = r.flow_total;
        flow_weaving = flows.weaving;
        flow_nonweaving = flows.nonweaving;
        volume_ratio = volume_ratio_of(flows);
        weaving_intensity = r.weaving_intensity;
        speed_avg = r.speed_avg;
        density = r.density;
        demand_exceeds_capacity = r.demand_exceeds_capacity;
        los = r.los;
        v7_1 = r;
        return r.los;
    }
    determine_demand_flow();
    determine_configuration_characteristics();
    determine_max_weaving_length();
    determine_capacity();
    determine_lane_changing_rates();
    estimate_speed();
    determine_density();
    return determine_los();
}

// --- Service flow rates and volumes ---

double service_flow_rate_ideal(const WeavingSegment& segment, const std::array<double, 4>& split,
                               double target_density) {
    if (!std::isfinite(target_density)) {
        throw Error("target density must be a finite number, got " + base::num(target_density));
    }

    WeavingSegment trial = segment;
    trial.phf = 1.0;
    trial.heavy_vehicle_pct = 0.0;
    trial.caf = 1.0;
    trial.saf = 1.0;
    auto density_at = [&](double flow) {
        trial.v_ff = flow * split[0];
        trial.v_rf = flow * split[1];
        trial.v_fr = flow * split[2];
        trial.v_rr = flow * split[3];
        trial.run_analysis();
        return trial.density.value_or(0.0);
    };

    const std::optional<double> sfi =
        base::bracket_and_bisect(density_at, target_density, SFI_FIRST_BRACKET, SFI_MAX_DOUBLINGS, SFI_BISECTIONS);
    // No value: still below the target after the last doubling, so no flow rate reaches it (for
    // example when every share of the split is zero); bisecting the last bracket would return a
    // flow rate near 1e21 pc/h as if it were the answer.
    if (!sfi) {
        throw Error("target density " + base::num(target_density) +
                    " pc/mi/ln cannot be reached: the segment's density stays below it at every service flow "
                    "rate searched");
    }
    return *sfi;
}

ServiceVolumes service_volumes(double sfi, double f_hv, double phf, double k, double d) {
    ServiceVolumes r{};
    r.sfi = sfi;
    r.sf = sfi * f_hv;
    r.sv = r.sf * phf;
    r.dsv = (k > 0.0 && d > 0.0) ? r.sv / (k * d) : INF;
    return r;
}

CrossWeaveCapacity cross_weave_gp_capacity(double cw, double l_cw_min, std::uint32_t n_gp, double c_gp) {
    if (!(cw > 0.0)) throw Error("cross-weave demand flow rate (cw) must be > 0");
    CrossWeaveCapacity r{};
    r.crf = CRF_PER_LN_CW * std::log(cw) + CRF_CONSTANT + CRF_PER_FOOT * l_cw_min + CRF_PER_GP_LANE * n_gp;
    r.caf = 1.0 - r.crf;
    r.c_gpa = r.caf * c_gp;
    return r;
}

}  // namespace hcm::weaving::weaving
