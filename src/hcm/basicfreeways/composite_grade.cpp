#include "hcm/basicfreeways/composite_grade.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>

#include "base/format.hpp"
#include "base/units.hpp"
#include "hcm/basicfreeways/exhibits.hpp"
#include "hcm/basicfreeways/mixed_flow.hpp"
#include "hcm/common/error.hpp"
#include "hcm/common/truck_curves.hpp"
#include "json/jsonio.hpp"

namespace hcm::basicfreeways::composite_grade {

using base::fixed;
using base::num;
namespace mf = hcm::basicfreeways::mixed_flow;
namespace tc = hcm::common::truck_curves;

using base::units::FT_PER_MI;
using base::units::SECONDS_PER_HOUR;

namespace {

using mf::TruckTermCoefficients;

// Chapter 25 Appendix A: automobile rate at the end of a segment disturbed by the trucks'
// spot rates, C p^a q^b x^c per truck class (q in 1000 veh/h/ln).
constexpr TruckTermCoefficients END_OF_SEGMENT = {64.5, 0.77, 0.34, 1.53, 79.5, 0.81, 0.56, 1.32};
// Average automobile rate over the segment: one set while both truck classes speed up, the
// single grade's congested form otherwise.
constexpr TruckTermCoefficients AVERAGE_TRUCKS_ACCELERATING = {54.72, 1.16, 0.28, 1.73, 69.72, 1.32, 0.61, 1.33};
constexpr const TruckTermCoefficients& AVERAGE_OTHERWISE = mf::CONGESTED_TRUCK_TERMS;

double truck_terms(const TruckTermCoefficients& c, double p_sut, double p_tt, double q, double x_sut, double x_tt) {
    return mf::sut_term(c, p_sut, q, x_sut) + mf::tt_term(c, p_tt, q, x_tt);
}

void check_inputs(const CompositeGrade& in) {
    if (in.segments.empty()) throw Error("a composite grade needs at least one segment");
    mf::check_traffic_inputs(in.ffs, std::nullopt, std::nullopt, in.v_mix, in.p_sut, in.p_tt, in.caf_ao);
    for (std::size_t i = 0; i < in.segments.size(); ++i) {
        const GradeSegment& s = in.segments[i];
        if (!std::isfinite(s.length) || s.length <= 0) {
            throw Error("segment " + std::to_string(i) + " length must be positive, got " + num(s.length) + " mi");
        }
        if (!std::isfinite(s.grade)) {
            throw Error("segment " + std::to_string(i) + " grade must be finite, got " + num(s.grade));
        }
    }
}

// Step 2 for one segment: CAF and capacity.
void estimate_segment_capacity(const CompositeGrade& in, const GradeSegment& seg, double capacity_ao, SegmentResult& r) {
    const double p_t = in.p_sut + in.p_tt;
    r.caf_g_mix = mf::calculate_caf_g_mix(mf::calculate_rho_g_mix(p_t), seg.grade, seg.length);
    r.caf_mix = in.caf_ao - mf::calculate_caf_t_mix(p_t) - r.caf_g_mix;
    if (r.caf_mix <= 0) {
        throw Error("mixed-flow CAF came out at " + fixed(r.caf_mix, 4) + " on the " + num(seg.grade) +
                    "% grade, which is not a usable capacity adjustment");
    }
    r.capacity_mix = capacity_ao * r.caf_mix;
}

struct TruckRates {
    double at_end;   // spot rate at the end of the segment (s/mi), at least the free-flow rate
    double average;  // average rate over the segment (s/mi), at least the free-flow rate
};

// Step 3.2 for one truck class entering a segment at `entry_rate` (s/mi): pick the acceleration
// or deceleration curve by the grade's crawl rate, find where on it the truck stands, and read the
// exit rate a segment length further; the average rate comes from the Chapter 25 travel-time
// curve of the nearest digitised initial speed.
TruckRates determine_truck_rates(tc::TruckClass cls, double entry_rate, const GradeSegment& seg, double ffs) {
    const double t_ff = SECONDS_PER_HOUR / ffs;
    const double crawl_rate = tc::spot_rate(cls, false, seg.grade, tc::CURVE_END_FT);
    const bool accel = crawl_rate <= entry_rate;
    const double entry_distance = tc::spot_distance(cls, accel, seg.grade, entry_rate);
    const double exit_rate = tc::spot_rate(cls, accel, seg.grade, entry_distance + FT_PER_MI * seg.length);
    const std::uint32_t initial_speed = tc::nearest_exhibit(cls, SECONDS_PER_HOUR / entry_rate);
    const double average = tc::travel_time_rate(cls, false, initial_speed, seg.grade, seg.length, ffs);
    return {std::max(exit_rate, t_ff), std::max(average, t_ff)};
}

// Steps 3.1 to 3.7 for one segment, given the trucks' entry rates; returns the automobile-only
// rate tau_ao.
double evaluate_segment(const CompositeGrade& in, const GradeSegment& seg, double capacity_ao, double bp_ao,
                        double sut_entry, double tt_entry, SegmentResult& r) {
    const double ffs = in.ffs;
    const double t_ff = SECONDS_PER_HOUR / ffs;
    const double p_t = in.p_sut + in.p_tt;

    // 3.1 automobile-only speed and congestion delay
    const double u = in.v_mix / r.caf_mix;
    r.s_ao = mf::calculate_auto_speed(ffs, capacity_ao, bp_ao, u);
    if (!(r.s_ao > 0)) {
        throw Error("the automobile speed-flow curve gives no positive speed at " + num(u) + " veh/h/ln on the " +
                    num(seg.grade) + "% grade; demand is far above capacity");
    }
    r.d_tau_ti = mf::calculate_congestion_delay(r.caf_mix, SECONDS_PER_HOUR / r.s_ao, t_ff);
    const double delta = r.d_tau_ti;
    const double tau_ao = t_ff + delta;

    // 3.2 truck spot and average rates
    const TruckRates sut = determine_truck_rates(tc::TruckClass::Sut, sut_entry, seg, ffs);
    const TruckRates tt = determine_truck_rates(tc::TruckClass::Tt, tt_entry, seg, ffs);
    r.tau_f_sut_kin = sut.at_end;
    r.tau_f_tt_kin = tt.at_end;
    r.tau_s_sut_kin = sut.average;
    r.tau_s_tt_kin = tt.average;

    // 3.3 both classes slowing down
    r.decelerating = sut_entry < r.tau_f_sut_kin && tt_entry < r.tau_f_tt_kin;

    // 3.4 automobile spot rate at the end of the segment
    const double q = in.v_mix / exhibits::FLOW_UNIT_VEH_H;
    const double end_rate = tau_ao + truck_terms(END_OF_SEGMENT, in.p_sut, in.p_tt, q,
                                                 mf::calculate_truck_excess(r.tau_f_sut_kin, ffs),
                                                 mf::calculate_truck_excess(r.tau_f_tt_kin, ffs));
    r.tau_f_a = std::min({end_rate, delta + r.tau_f_sut_kin, delta + r.tau_f_tt_kin});

    // 3.5 average automobile rate
    const bool trucks_speed_up = sut_entry > r.tau_f_sut_kin && r.tau_f_tt_kin < tt_entry;
    r.tau_s_a = tau_ao + truck_terms(trucks_speed_up ? AVERAGE_TRUCKS_ACCELERATING : AVERAGE_OTHERWISE, in.p_sut,
                                     in.p_tt, q, mf::calculate_truck_excess(r.tau_s_sut_kin, ffs),
                                     mf::calculate_truck_excess(r.tau_s_tt_kin, ffs));

    // 3.6 mixed-flow rate, speed and travel time
    r.tau_mix = in.p_tt * (delta + r.tau_s_tt_kin) + in.p_sut * (delta + r.tau_s_sut_kin) + (1.0 - p_t) * r.tau_s_a;
    r.s_mix = SECONDS_PER_HOUR / r.tau_mix;
    r.travel_time = SECONDS_PER_HOUR * seg.length / r.s_mix;

    // 3.7 speeds by vehicle type
    r.spot_speeds = {SECONDS_PER_HOUR / r.tau_f_a, SECONDS_PER_HOUR / (delta + r.tau_f_sut_kin),
                     SECONDS_PER_HOUR / (delta + r.tau_f_tt_kin)};
    r.space_speeds = {SECONDS_PER_HOUR / r.tau_s_a, SECONDS_PER_HOUR / (delta + r.tau_s_sut_kin),
                      SECONDS_PER_HOUR / (delta + r.tau_s_tt_kin)};
    return tau_ao;
}

}  // namespace

CompositeGradeResult analyze(const CompositeGrade& in) {
    // Step 1: checks.
    check_inputs(in);
    const double capacity_ao = mf::calculate_capacity_ao(in.ffs);
    const double bp_ao = mf::calculate_bp_ao(in.ffs, in.caf_ao);
    const double t_ff = SECONDS_PER_HOUR / in.ffs;

    CompositeGradeResult out;
    out.segments.resize(in.segments.size());

    // Step 2: segment capacities; the smallest governs (the first on ties).
    for (std::size_t i = 0; i < in.segments.size(); ++i) {
        estimate_segment_capacity(in, in.segments[i], capacity_ao, out.segments[i]);
        if (i == 0 || out.segments[i].capacity_mix < out.capacity_mix) {
            out.capacity_mix = out.segments[i].capacity_mix;
            out.governing_segment = i;
        }
    }

    // Step 3: walk the segments, carrying each truck class's spot rate.
    double sut_entry = t_ff;
    double tt_entry = t_ff;
    std::array<double, 3> space_time{};  // sum of L_i / space speed_i per vehicle type
    for (std::size_t i = 0; i < in.segments.size(); ++i) {
        const GradeSegment& seg = in.segments[i];
        SegmentResult& r = out.segments[i];
        const double tau_ao = evaluate_segment(in, seg, capacity_ao, bp_ao, sut_entry, tt_entry, r);
        if (i == 0) out.entry_spot_speeds.fill(SECONDS_PER_HOUR / tau_ao);
        sut_entry = r.tau_f_sut_kin;
        tt_entry = r.tau_f_tt_kin;
        out.total_length += seg.length;
        out.total_travel_time += r.travel_time;
        for (std::size_t k = 0; k < space_time.size(); ++k)
            space_time[k] += SECONDS_PER_HOUR * seg.length / r.space_speeds[k];
    }

    // Step 4: totals.
    out.s_mix_overall = SECONDS_PER_HOUR * out.total_length / out.total_travel_time;
    for (std::size_t k = 0; k < space_time.size(); ++k)
        out.overall_space_speeds[k] = SECONDS_PER_HOUR * out.total_length / space_time[k];
    out.oversaturated = out.capacity_mix < in.v_mix;
    return out;
}

// ---- JSON ------------------------------------------------------------------------------------

const jsonio::Record<GradeSegment>& json_record(jsonio::Tag<GradeSegment>) {
    using R = GradeSegment;
    static const jsonio::Record<R> record{"GradeSegment",
                                          {jsonio::required("length", &R::length), jsonio::required("grade", &R::grade)},
                                          jsonio::UnknownKeys::refuse};
    return record;
}

const jsonio::Record<CompositeGrade>& json_record(jsonio::Tag<CompositeGrade>) {
    using R = CompositeGrade;
    static const jsonio::Record<R> record{"CompositeGrade",
                                          {
                                              jsonio::required("ffs", &R::ffs),
                                              jsonio::required("v_mix", &R::v_mix),
                                              jsonio::required("p_sut", &R::p_sut),
                                              jsonio::required("p_tt", &R::p_tt),
                                              jsonio::with_default("caf_ao", &R::caf_ao, 1.0),
                                              jsonio::required("segments", &R::segments),
                                          },
                                          jsonio::UnknownKeys::refuse};
    return record;
}

const jsonio::Record<SegmentResult>& json_record(jsonio::Tag<SegmentResult>) {
    using R = SegmentResult;
    static const jsonio::Record<R> record{"SegmentResult",
                                          {
                                              jsonio::result("caf_g_mix", &R::caf_g_mix),
                                              jsonio::result("caf_mix", &R::caf_mix),
                                              jsonio::result("capacity_mix", &R::capacity_mix),
                                              jsonio::result("s_ao", &R::s_ao),
                                              jsonio::result("d_tau_ti", &R::d_tau_ti),
                                              jsonio::result("tau_f_sut_kin", &R::tau_f_sut_kin),
                                              jsonio::result("tau_f_tt_kin", &R::tau_f_tt_kin),
                                              jsonio::result("tau_s_sut_kin", &R::tau_s_sut_kin),
                                              jsonio::result("tau_s_tt_kin", &R::tau_s_tt_kin),
                                              jsonio::result("tau_f_a", &R::tau_f_a),
                                              jsonio::result("tau_s_a", &R::tau_s_a),
                                              jsonio::required("decelerating", &R::decelerating),
                                              jsonio::result("tau_mix", &R::tau_mix),
                                              jsonio::result("s_mix", &R::s_mix),
                                              jsonio::result("travel_time", &R::travel_time),
                                              jsonio::result("spot_speeds", &R::spot_speeds),
                                              jsonio::result("space_speeds", &R::space_speeds),
                                          }};
    return record;
}

const jsonio::Record<CompositeGradeResult>& json_record(jsonio::Tag<CompositeGradeResult>) {
    using R = CompositeGradeResult;
    static const jsonio::Record<R> record{"CompositeGradeResult",
                                          {
                                              jsonio::required("segments", &R::segments),
                                              jsonio::result("capacity_mix", &R::capacity_mix),
                                              jsonio::required("governing_segment", &R::governing_segment),
                                              jsonio::result("entry_spot_speeds", &R::entry_spot_speeds),
                                              jsonio::result("total_length", &R::total_length),
                                              jsonio::result("total_travel_time", &R::total_travel_time),
                                              jsonio::result("s_mix_overall", &R::s_mix_overall),
                                              jsonio::result("overall_space_speeds", &R::overall_space_speeds),
                                              jsonio::required("oversaturated", &R::oversaturated),
                                          }};
    return record;
}

std::string analyze_composite_grade(std::string_view config_json) {
    const auto input = jsonio::read_document_with_prefix<CompositeGrade>(config_json, "invalid composite-grade config: ");
    CompositeGradeResult result;
    try {
        result = analyze(input);
    } catch (const Error& e) {
        throw Error(std::string("composite-grade analysis failed: ") + e.what());
    }
    return jsonio::write_document_with_prefix(result, "serialize error: ");
}

}  // namespace hcm::basicfreeways::composite_grade
