#pragma once
// HCM Chapter 26, Appendix A: the mixed-flow model for a freeway segment on one grade with heavy
// trucks (single-unit trucks, SUT, and tractor-trailers, TT). The capacity adjustment, the truck
// travel-time rates from the truck performance curves, the automobile rates disturbed by trucks,
// and the mixed-flow speed-flow curve.
//
// Units: FFS and speeds mi/h; travel-time rates tau in s/mi; flows veh/h/ln; grade in percent;
// truck proportions as decimals. The helpers below are shared with the composite-grade chain
// (Chapter 25, composite_grade.hpp).
#include <cmath>
#include <optional>
#include <string>
#include <string_view>

namespace hcm::basicfreeways::mixed_flow {

// Input of the single-grade analysis.
struct MixedFlowSegment {
    double ffs = 0.0;     // free-flow speed (mi/h)
    double length = 0.0;  // grade length (mi)
    double grade = 0.0;   // percent
    double v_mix = 0.0;   // mixed-flow demand (veh/h/ln)
    double p_sut = 0.0;   // single-unit-truck proportion
    double p_tt = 0.0;    // tractor-trailer proportion
    double caf_ao = 1.0;  // capacity adjustment factor for automobiles only
};

// Every intermediate of the chain; s_mix and d_mix are absent when demand exceeds capacity.
struct MixedFlowResult {
    double caf_t_mix = 0.0;
    double rho_g_mix = 0.0;
    double caf_g_mix = 0.0;
    double caf_mix = 0.0;
    double capacity_ao = 0.0;
    double capacity_mix = 0.0;
    double tau_sut_kin = 0.0;
    double tau_tt_kin = 0.0;
    double tau_a_ffs = 0.0;
    double tau_mix_ffs = 0.0;
    double ffs_mix = 0.0;
    double saf_mix = 0.0;
    double bp_ao = 0.0;
    double bp_mix = 0.0;
    double s_calib_cap = 0.0;
    double s_calib_90cap = 0.0;
    double phi_mix = 0.0;
    std::optional<double> s_mix;
    std::optional<double> d_mix;
    bool oversaturated = false;
};

// ---- Shared steps --------------------------------------------------------------------------

// The input checks both chains make first: FFS, v_mix, p_sut, p_tt and caf_ao finite (with
// `length` and `grade` between FFS and v_mix when given), FFS > 0, length > 0 when given,
// v_mix >= 0, truck proportions non-negative with a sum below 1.
void check_traffic_inputs(double ffs, const std::optional<double>& length, const std::optional<double>& grade,
                          double v_mix, double p_sut, double p_tt, double caf_ao);

// Truck term of the CAF: 0.53 P_T^0.72.
double calculate_caf_t_mix(double p_t);
// Grade factor rho: 8 P_T below 1 % trucks, else 0.126 - 0.03 P_T.
double calculate_rho_g_mix(double p_t);
// Grade term of the CAF for a grade (percent) of `length_mi`.
double calculate_caf_g_mix(double rho, double grade, double length_mi);
// Automobile-only capacity (veh/h/ln): 2200 + 10 (FFS - 50), no upper limit.
double calculate_capacity_ao(double ffs);
// Automobile-only breakpoint (veh/h/ln): (1000 + 40 (75 - FFS)) caf_ao^2.
double calculate_bp_ao(double ffs, double caf_ao);
// Automobile speed (mi/h) on the automobile-only speed-flow curve at flow u (veh/h/ln).
double calculate_auto_speed(double ffs, double capacity_ao, double bp_ao, double u);
// Extra automobile travel-time rate (s/mi) from congestion at automobile rate t (s/mi) on a
// segment with mixed-flow CAF `caf_mix`: (3 (1/CAF - 1) + 1)(t - t_ff).
double calculate_congestion_delay(double caf_mix, double auto_rate, double t_ff);
// max(tau/100 - 36/FFS, 0): how much slower than the free-flow rate a truck runs, per 100 s/mi.
double calculate_truck_excess(double tau, double ffs);

// The automobile travel-time rate (s/mi) a truck class adds, C p^a q^b x^c: p the class's
// proportion, q the flow in 1000 veh/h/ln, x its truck excess.
struct TruckTermCoefficients {
    double sut_coeff, sut_q_exp, sut_p_exp, sut_x_exp;
    double tt_coeff, tt_q_exp, tt_p_exp, tt_x_exp;
};
// Chapter 26 Appendix A (Step 7): the congested form of a single grade, also the composite
// grade's average automobile rate unless both truck classes speed up.
inline constexpr TruckTermCoefficients CONGESTED_TRUCK_TERMS = {100.42, 0.46, 0.68, 2.76, 110.64, 1.36, 0.62, 1.81};

inline double sut_term(const TruckTermCoefficients& c, double p_sut, double q, double x_sut) {
    return c.sut_coeff * std::pow(p_sut, c.sut_p_exp) * std::pow(q, c.sut_q_exp) * std::pow(x_sut, c.sut_x_exp);
}
inline double tt_term(const TruckTermCoefficients& c, double p_tt, double q, double x_tt) {
    return c.tt_coeff * std::pow(p_tt, c.tt_p_exp) * std::pow(q, c.tt_q_exp) * std::pow(x_tt, c.tt_x_exp);
}

// ---- The single-grade chain ----------------------------------------------------------------

// Runs the Chapter 26 chain; throws hcm::Error with the failing step's message.
MixedFlowResult analyze(const MixedFlowSegment& segment);

// Reads the JSON input (strictly), runs the chain and returns the compact JSON output. Failures:
// "invalid mixed-flow config: {parser message}", "mixed-flow analysis failed: {message}",
// "serialize error: {message}".
std::string analyze_mixed_flow(std::string_view config_json);

}  // namespace hcm::basicfreeways::mixed_flow
