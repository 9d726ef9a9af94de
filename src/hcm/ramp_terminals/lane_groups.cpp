#include "hcm/ramp_terminals/lane_groups.hpp"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "base/numeric.hpp"
#include "base/units.hpp"
#include "hcm/signal_delay/signal_delay.hpp"

namespace hcm::ramp_terminals::ramp_terminals {

namespace {

double parking_factor(const std::optional<double>& maneuvers_h, double lanes) {
    return maneuvers_h ? signal_delay::parking_factor(lanes, *maneuvers_h) : 1.0;
}

// Left- or right-turn factor of the turning share `p` on a turn of radius `radius_ft`.
double turn_factor(double p, const std::optional<double>& radius_ft) {
    if (!radius_ft || !(p > 0.0)) return 1.0;
    const double r = *radius_ft;
    const double e = r > 0.0 ? 1.0 / (ex::saturation::TURN_RADIUS_CONSTANT_FT / r + 1.0) : 1.0;
    const double x = (1.0 - p) + p * e;
    if (!(x > 0.0)) return 1.0;
    return p >= 1.0 ? x : 1.0 / (1.0 + p * (1.0 / x - 1.0));
}

double traffic_pressure_factor(double p_left, double flow, double lanes, double cycle_s) {
    namespace s = ex::saturation;
    const double v_ol = std::clamp(flow / lanes * cycle_s / SECONDS_PER_HOUR, 0.0, s::PRESSURE_MAX_VEH_PER_CYCLE);
    return p_left / (s::PRESSURE_BASE - s::PRESSURE_LEFT * v_ol) +
           (1.0 - p_left) / (s::PRESSURE_BASE - s::PRESSURE_OTHER * v_ol);
}

bool is_arterial_through(const InterchangeMovement& m) {
    return (m.approach == A::Eb || m.approach == A::Wb) && (m.turn == Turn::Through || m.turn == Turn::ThroughRight);
}

double ddi_factor(InterchangeForm form, const InterchangeMovement& m) {
    return form == InterchangeForm::Ddi && is_arterial_through(m) ? ex::saturation::F_DDI_CROSSOVER : 1.0;
}

// DDI external through lanes: the share of the most used lane from the traffic pressure ratio.
double ddi_lane_utilization(const Interchange& ix, const OdDemands& od, InterchangeApproach approach,
                            std::uint32_t lanes) {
    const auto& config = approach == A::Eb ? ix.ddi_eb_lane_config : ix.ddi_wb_lane_config;
    const double turning = approach == A::Eb ? od.e : od.h;
    const double sum = turning + (approach == A::Eb ? od.i : od.j);
    if (!config || !(sum > 0.0)) return 1.0;
    const double p = turning / sum;
    const ex::DdiShareModel& model = ex::DDI_SHARE_MODELS.at(static_cast<std::size_t>(*config));
    std::size_t band = 0;
    while (band + 1 < model.band_count && !(p <= model.bands[band].p_max)) ++band;
    double share = model.bands[band].a + model.bands[band].b * p;
    const double even = 1.0 / static_cast<double>(model.lanes);
    if (share < even) share = even;
    if (!(share > 0.0)) return 1.0;
    return min2(1.0 / (static_cast<double>(lanes) * share), 1.0);
}

// Coefficient set of the external through lane shares, by form and approach.
std::size_t lane_share_set(InterchangeForm form, InterchangeApproach approach) {
    const bool eb = approach == A::Eb;
    switch (form) {
        case InterchangeForm::ParcloA2Q: return 1;
        case InterchangeForm::ParcloA4Q: return 3;
        case InterchangeForm::ParcloAB2Q: return eb ? 3 : 4;
        case InterchangeForm::ParcloAB4Q: return eb ? 3 : 2;
        case InterchangeForm::ParcloB2Q:
        case InterchangeForm::ParcloB4Q: return 2;
        default: return 0;
    }
}

// External through lanes of the diamond and partial cloverleaf forms (N >= 2).
double external_lane_utilization(const Interchange& ix, const OdDemands& od, InterchangeApproach approach,
                                 std::uint32_t lanes) {
    const bool eb = approach == A::Eb;
    const double q1 = eb ? od.e : od.h;
    const double q2 = (eb ? ix.eb_external_right_shared : ix.wb_external_right_shared) ? (eb ? od.f : od.g) : 0.0;
    const double q3 = eb ? od.i : od.j;
    const double total = q1 + q2 + q3;
    const double n = static_cast<double>(lanes);
    const double even = 1.0 / n;
    if (lanes > 4) return min2(1.0 / (n * even), 1.0);
    const double distance = min2(ix.distance_between_intersections_ft, ex::LANE_SHARE_DISTANCE_CAP_FT);
    const ex::LaneShareCoefficients& k = ex::LANE_SHARE_SETS[lane_share_set(ix.form, approach)][lanes - 2];
    double s1 = even, s2 = even;
    if (total > 0.0) {
        s1 = even + k.k1 * q1 / total + k.k2 * q2 / total + k.k3 * distance * q1 / ex::LANE_SHARE_DISTANCE_SCALE;
        s2 = even + k.m1 * q1 / total + k.m2 * q2 / total;
    }
    double s_max;
    if (lanes == 2) {
        s_max = max2(s1, 1.0 - s1);
    } else {
        const double rest = max2((1.0 - s1 - s2) / max2(n - 2.0, 1.0), 0.0);
        s_max = max2(max2(s1, s2), rest);
    }
    return s_max > 0.0 ? min2(1.0 / (n * s_max), 1.0) : 1.0;
}

double lane_utilization_factor(const Interchange& ix, const LaneGroupInput& in, const OdDemands& od) {
    if (in.lane_utilization_override) return *in.lane_utilization_override;
    if (in.lanes < 2) return 1.0;
    const InterchangeMovement& m = in.movement;
    if (m.turn == Turn::Left) return signal_delay::LEFT_LANE_UTILIZATION;
    if (m.turn == Turn::Right) return signal_delay::RIGHT_LANE_UTILIZATION;
    const bool external_arterial = (m.approach == A::Eb || m.approach == A::Wb) && m.leg == Leg::Ext;
    if (!external_arterial || ix.form == InterchangeForm::Spui)
        return signal_delay::through_lane_utilization_factor(in.lanes);
    if (ix.form == InterchangeForm::Ddi) return ddi_lane_utilization(ix, od, m.approach, in.lanes);
    return external_lane_utilization(ix, od, m.approach, in.lanes);
}

}  // namespace

// Step 3 for one lane group: its adjustment factors and saturation flow into `r`.
void determine_saturation_flow(const Interchange& ix, const OdDemands& od, const LaneGroupInput& in,
                               double od_demand, double left_demand, double right_demand, LaneGroupResult& r) {
    const double n = lanes_of(in);
    const double f_w = signal_delay::lane_width_factor(in.lane_width_ft);
    const double f_hvg = signal_delay::heavy_vehicle_grade_factor(in.pct_heavy_vehicles, in.grade_pct);
    const double f_p = parking_factor(in.parking_maneuvers_h, n);
    const double f_bb = signal_delay::bus_blockage_factor(n, in.bus_stops_h);
    const double f_a = signal_delay::area_type_factor(ix.area_type_cbd);
    const double f_lu = lane_utilization_factor(ix, in, od);
    const double v_d = max2(od_demand, 1e-9);
    const double p_left = left_demand / v_d;
    const double p_right = right_demand / v_d;
    const double f_l = turn_factor(p_left, in.turn_radius_ft);
    const double f_r =
        turn_factor(p_right, in.shared_right_turn_radius_ft ? in.shared_right_turn_radius_ft : in.turn_radius_ft);
    const double f_tp = traffic_pressure_factor(p_left, r.flow_rate, n, ix.cycle_length_s);
    const double f_ddi = ddi_factor(ix.form, in.movement);
    const double s = ix.base_saturation_flow * n * f_w * f_hvg * f_p * f_bb * f_a * f_lu * f_l * f_r * f_tp * f_ddi;
    r.lane_utilization = f_lu;
    r.traffic_pressure = f_tp;
    r.sat_flow = s;
    if (!in.protected_permitted_left) return;
    // Protected-permitted left: the protected rate over the protected green, the permitted rate
    // over the unblocked part of the permitted green.
    const ProtectedPermittedLeft& ppl = *in.protected_permitted_left;
    const double g_total = total_green(in);
    const double g_p = max2(ppl.permitted_green_s, 0.0);
    const double g_u = min2(max2(ppl.unblocked_green_s, 0.0), g_p);
    const double s_perm = ppl.permitted_sat_flow_override
                              ? *ppl.permitted_sat_flow_override
                              : signal_delay::permitted_left_sat_flow(ppl.opposing_flow_veh_h,
                                                                      signal_delay::UndefinedOpposingFlow::Propagates) *
                                    f_lu * f_tp * f_a * f_bb * f_p * f_hvg * f_w * n;
    const double g_x = max2(g_total - g_p, 0.0);
    if (g_p + g_x > 0.0) r.sat_flow = (s * g_x + s_perm * g_u) / (g_p + g_x);
    r.protected_sat_flow = s;
    r.permitted_sat_flow = s_perm;
}

}  // namespace hcm::ramp_terminals::ramp_terminals
