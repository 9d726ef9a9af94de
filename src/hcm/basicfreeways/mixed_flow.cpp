#include "hcm/basicfreeways/mixed_flow.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "base/format.hpp"
#include "base/numeric.hpp"
#include "base/units.hpp"
#include "hcm/basicfreeways/basicfreeways.hpp"
#include "hcm/basicfreeways/exhibits.hpp"
#include "hcm/common/error.hpp"
#include "hcm/common/truck_curves.hpp"
#include "json/jsonio.hpp"

namespace hcm::basicfreeways::mixed_flow {

using base::fixed;
using base::num;
namespace tc = hcm::common::truck_curves;
namespace ex = exhibits;
using base::units::SECONDS_PER_HOUR;

namespace {

// Chapter 26 Appendix A automobile travel-time rate disturbed by trucks, low-flow form (Step 5):
// the flow terms of CONGESTED_TRUCK_TERMS evaluated at 1 veh/h/ln (q/1000 = 0.001):
// 100.42 x 0.001^0.46 and 110.64 x 0.001^1.36.
constexpr double LOW_FLOW_SUT_COEFF = 4.186202348809108;
constexpr double LOW_FLOW_TT_COEFF = 0.009202634363479947;
constexpr const TruckTermCoefficients& TRUCKS = CONGESTED_TRUCK_TERMS;
// Speed-flow exponent scale (Step 8).
constexpr double PHI_SCALE = 1.195;

double max0(double x) { return std::max(x, 0.0); }

[[noreturn]] void fail_not_finite(const char* name, double value) {
    throw Error(std::string(name) + " must be finite, got " + num(value));
}

// FFS rounded to the nearest whole mi/h as the key of the Chapter 26 curves; saturates at the
// ends of the key's range instead of overflowing.
std::uint32_t ffs_key(double ffs) { return base::to_unsigned_sat<std::uint32_t>(std::round(ffs)); }

// Step 7: mixed-flow speed at flow q (veh/h/ln).
double calculate_mixed_speed_at(const MixedFlowSegment& s, const MixedFlowResult& r, double x_sut, double x_tt,
                                double q) {
    const double t_ff = SECONDS_PER_HOUR / s.ffs;
    const double p_t = s.p_sut + s.p_tt;
    const double u = q / r.caf_mix;
    const double auto_rate = SECONDS_PER_HOUR / calculate_auto_speed(s.ffs, r.capacity_ao, r.bp_ao, u);
    const double delta = calculate_congestion_delay(r.caf_mix, auto_rate, t_ff);
    const double tau_a =
        t_ff + delta + sut_term(TRUCKS, s.p_sut, q / ex::FLOW_UNIT_VEH_H, x_sut) +
        tt_term(TRUCKS, s.p_tt, q / ex::FLOW_UNIT_VEH_H, x_tt);
    const double tau_mix = (r.tau_tt_kin + delta) * s.p_tt + (r.tau_sut_kin + delta) * s.p_sut + (1.0 - p_t) * tau_a;
    return SECONDS_PER_HOUR / tau_mix;
}

}  // namespace

void check_traffic_inputs(double ffs, const std::optional<double>& length, const std::optional<double>& grade,
                          double v_mix, double p_sut, double p_tt, double caf_ao) {
    if (!std::isfinite(ffs)) fail_not_finite("FFS", ffs);
    if (length && !std::isfinite(*length)) fail_not_finite("length", *length);
    if (grade && !std::isfinite(*grade)) fail_not_finite("grade", *grade);
    if (!std::isfinite(v_mix)) fail_not_finite("v_mix", v_mix);
    if (!std::isfinite(p_sut)) fail_not_finite("p_sut", p_sut);
    if (!std::isfinite(p_tt)) fail_not_finite("p_tt", p_tt);
    if (!std::isfinite(caf_ao)) fail_not_finite("caf_ao", caf_ao);
    if (ffs <= 0) throw Error("FFS must be positive, got " + num(ffs) + " mi/h");
    if (length && *length <= 0) throw Error("length must be positive, got " + num(*length) + " mi");
    if (v_mix < 0) throw Error("v_mix must be non-negative, got " + num(v_mix));
    if (p_sut < 0 || p_tt < 0 || p_sut + p_tt >= 1.0) {
        throw Error("truck proportions must be non-negative and sum below 1, got p_sut " + num(p_sut) + " and p_tt " +
                    num(p_tt));
    }
}

double calculate_caf_t_mix(double p_t) { return ex::caf::TRUCK_COEFF * std::pow(p_t, ex::caf::TRUCK_EXP); }

double calculate_rho_g_mix(double p_t) {
    namespace c = ex::caf;
    return p_t < c::LOW_TRUCK_SHARE ? c::LOW_TRUCK_SLOPE * p_t : c::GRADE_WEIGHT_CONSTANT - c::GRADE_WEIGHT_SLOPE * p_t;
}

double calculate_caf_g_mix(double rho, double grade, double length_mi) {
    namespace c = ex::caf;
    const double g = grade / 100.0;
    // e^(12.9 g) - 1 by expm1, whose digits a slight grade would otherwise lose.
    return rho * max0(c::GRADE_COEFF * std::expm1(c::GRADE_EXP * g)) *
           max0(c::LENGTH_COEFF * (1.0 - c::LENGTH_SCALE * std::exp(-c::LENGTH_EXP * length_mi)));
}

double calculate_capacity_ao(double ffs) {
    return ex::BASIC_CAPACITY_BASE + ex::BASIC_CAPACITY_SLOPE * (ffs - ex::BASIC_CAPACITY_REF_FFS);
}

double calculate_bp_ao(double ffs, double caf_ao) {
    return (ex::BASIC_BP_BASE + ex::BASIC_BP_SLOPE * (ex::BP_REFERENCE_FFS - ffs)) * caf_ao * caf_ao;
}

double calculate_auto_speed(double ffs, double capacity_ao, double bp_ao, double u) {
    if (u <= bp_ao) return ffs;
    const double over = u - bp_ao;
    const double span = capacity_ao - bp_ao;
    return ffs - (ffs - capacity_ao / basicfreeways::BASIC_FREEWAY_DENSITY_AT_CAPACITY) * over * over / (span * span);
}

double calculate_congestion_delay(double caf_mix, double auto_rate, double t_ff) {
    return (ex::CONGESTION_DELAY_FACTOR * (1.0 / caf_mix - 1.0) + 1.0) * (auto_rate - t_ff);
}

double calculate_truck_excess(double tau, double ffs) { return max0(tau / 100.0 - ex::FREE_FLOW_RATE_PER_100 / ffs); }

MixedFlowResult analyze(const MixedFlowSegment& s) {
    // Step 1: checks.
    check_traffic_inputs(s.ffs, s.length, s.grade, s.v_mix, s.p_sut, s.p_tt, s.caf_ao);
    const double p_t = s.p_sut + s.p_tt;
    const double t_ff = SECONDS_PER_HOUR / s.ffs;
    MixedFlowResult r;

    // Step 2: capacity adjustment factor.
    r.caf_t_mix = calculate_caf_t_mix(p_t);
    r.rho_g_mix = calculate_rho_g_mix(p_t);
    r.caf_g_mix = calculate_caf_g_mix(r.rho_g_mix, s.grade, s.length);
    r.caf_mix = s.caf_ao - r.caf_t_mix - r.caf_g_mix;
    if (r.caf_mix <= 0) {
        throw Error("mixed-flow CAF came out at " + fixed(r.caf_mix, 4) +
                    ", which is not a usable capacity adjustment; check the truck proportions (" + fixed(p_t, 3) +
                    ") and grade (" + num(s.grade) + "%)");
    }

    // Step 3: truck travel-time rates from the Chapter 26 curves.
    const std::uint32_t key = ffs_key(s.ffs);
    r.tau_sut_kin = tc::travel_time_rate(tc::TruckClass::Sut, true, key, s.grade, s.length, s.ffs);
    r.tau_tt_kin = tc::travel_time_rate(tc::TruckClass::Tt, true, key, s.grade, s.length, s.ffs);

    // Step 4: capacities.
    r.capacity_ao = calculate_capacity_ao(s.ffs);
    r.capacity_mix = r.capacity_ao * r.caf_mix;

    // Step 5: low-flow rates and the mixed-flow free-flow speed.
    const double x_sut = calculate_truck_excess(r.tau_sut_kin, s.ffs);
    const double x_tt = calculate_truck_excess(r.tau_tt_kin, s.ffs);
    r.tau_a_ffs = t_ff + LOW_FLOW_SUT_COEFF * std::pow(s.p_sut, TRUCKS.sut_p_exp) * std::pow(x_sut, TRUCKS.sut_x_exp) +
                  LOW_FLOW_TT_COEFF * std::pow(s.p_tt, TRUCKS.tt_p_exp) * std::pow(x_tt, TRUCKS.tt_x_exp);
    r.tau_mix_ffs = s.p_tt * r.tau_tt_kin + s.p_sut * r.tau_sut_kin + (1.0 - p_t) * r.tau_a_ffs;
    r.ffs_mix = SECONDS_PER_HOUR / r.tau_mix_ffs;
    r.saf_mix = r.ffs_mix / s.ffs;

    // Step 6: breakpoints.
    r.bp_ao = calculate_bp_ao(s.ffs, s.caf_ao);
    r.bp_mix = max0(r.bp_ao * (1.0 - ex::MIX_BREAKPOINT_COEFF * std::pow(p_t, ex::MIX_BREAKPOINT_TRUCK_EXP) *
                                         (std::exp(ex::MIX_BREAKPOINT_GRADE_EXP * s.grade / 100.0) + 1.0) *
                                         std::pow(base::units::FT_PER_MI * s.length, ex::MIX_BREAKPOINT_LENGTH_EXP)));

    // Step 7: calibration speeds at capacity and at 90 % of capacity.
    r.s_calib_cap = calculate_mixed_speed_at(s, r, x_sut, x_tt, r.capacity_mix);
    r.s_calib_90cap = calculate_mixed_speed_at(s, r, x_sut, x_tt, ex::CALIBRATION_CAPACITY_SHARE * r.capacity_mix);

    // Step 8: speed-flow exponent (floating-point rules where the logarithms are undefined).
    const double s0 = r.ffs_mix;
    r.phi_mix = PHI_SCALE * std::log((s0 - r.s_calib_90cap) / (s0 - r.s_calib_cap)) /
                std::log((ex::CALIBRATION_CAPACITY_SHARE * r.capacity_mix - r.bp_mix) / (r.capacity_mix - r.bp_mix));

    // Step 9: speed and density.
    const double v = s.v_mix;
    if (v > r.capacity_mix) {
        r.oversaturated = true;
    } else {
        const double speed =
            v <= r.bp_mix ? s0 : s0 - (s0 - r.s_calib_cap) * std::pow((v - r.bp_mix) / (r.capacity_mix - r.bp_mix), r.phi_mix);
        r.s_mix = speed;
        r.d_mix = v / speed;
    }
    return r;
}

// ---- JSON ------------------------------------------------------------------------------------

const jsonio::Record<MixedFlowSegment>& json_record(jsonio::Tag<MixedFlowSegment>) {
    using R = MixedFlowSegment;
    static const jsonio::Record<R> record{"MixedFlowSegment",
                                          {
                                              jsonio::required("ffs", &R::ffs),
                                              jsonio::required("length", &R::length),
                                              jsonio::required("grade", &R::grade),
                                              jsonio::required("v_mix", &R::v_mix),
                                              jsonio::required("p_sut", &R::p_sut),
                                              jsonio::required("p_tt", &R::p_tt),
                                              jsonio::with_default("caf_ao", &R::caf_ao, 1.0),
                                          },
                                          jsonio::UnknownKeys::refuse,
                                          jsonio::ArrayForm::defaults_fill};
    return record;
}

const jsonio::Record<MixedFlowResult>& json_record(jsonio::Tag<MixedFlowResult>) {
    using R = MixedFlowResult;
    static const jsonio::Record<R> record{"MixedFlowResult",
                                          {
                                              jsonio::result("caf_t_mix", &R::caf_t_mix),
                                              jsonio::result("rho_g_mix", &R::rho_g_mix),
                                              jsonio::result("caf_g_mix", &R::caf_g_mix),
                                              jsonio::result("caf_mix", &R::caf_mix),
                                              jsonio::result("capacity_ao", &R::capacity_ao),
                                              jsonio::result("capacity_mix", &R::capacity_mix),
                                              jsonio::result("tau_sut_kin", &R::tau_sut_kin),
                                              jsonio::result("tau_tt_kin", &R::tau_tt_kin),
                                              jsonio::result("tau_a_ffs", &R::tau_a_ffs),
                                              jsonio::result("tau_mix_ffs", &R::tau_mix_ffs),
                                              jsonio::result("ffs_mix", &R::ffs_mix),
                                              jsonio::result("saf_mix", &R::saf_mix),
                                              jsonio::result("bp_ao", &R::bp_ao),
                                              jsonio::result("bp_mix", &R::bp_mix),
                                              jsonio::result("s_calib_cap", &R::s_calib_cap),
                                              jsonio::result("s_calib_90cap", &R::s_calib_90cap),
                                              jsonio::result("phi_mix", &R::phi_mix),
                                              jsonio::optional("s_mix", &R::s_mix),
                                              jsonio::optional("d_mix", &R::d_mix),
                                              jsonio::required("oversaturated", &R::oversaturated),
                                          }};
    return record;
}

std::string analyze_mixed_flow(std::string_view config_json) {
    const auto segment = jsonio::read_document_with_prefix<MixedFlowSegment>(config_json, "invalid mixed-flow config: ");
    MixedFlowResult result;
    try {
        result = analyze(segment);
    } catch (const Error& e) {
        throw Error(std::string("mixed-flow analysis failed: ") + e.what());
    }
    return jsonio::write_document_with_prefix(result, "serialize error: ");
}

}  // namespace hcm::basicfreeways::mixed_flow
