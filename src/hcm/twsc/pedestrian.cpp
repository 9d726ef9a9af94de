#include "hcm/twsc/pedestrian.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "base/cancel.hpp"
#include "base/numeric.hpp"
#include "base/units.hpp"
#include "hcm/common/error.hpp"
#include "hcm/twsc/exhibits.hpp"
#include "json/jsonio.hpp"

namespace hcm::twsc::pedestrian {

namespace {

using base::units::SECONDS_PER_HOUR;
using namespace exhibits;

// Numerical guards of the crossing delay (not HCM coefficients).
constexpr double MIN_VEHICLE_FLOW_VEH_S = 0.0001;
constexpr double MAX_YIELD_RATE = 0.9999;
constexpr double HEADWAY_EPSILON = 2.220446049250313e-16;  // 2^-52

}  // namespace

const char* interpret_delay(double delay) {
    for (std::size_t i = 0; i < INTERPRETATION_DELAY_MAX.size(); ++i)
        if (delay <= INTERPRETATION_DELAY_MAX[i]) return INTERPRETATIONS[i];
    return INTERPRETATIONS.back();
}

common::LevelOfService los_of_dissatisfied(double p) {
    for (std::size_t i = 0; i < LOS_DISSATISFIED_BELOW.size(); ++i)
        if (p < LOS_DISSATISFIED_BELOW[i]) return static_cast<common::LevelOfService>(i);
    return common::LevelOfService::F;
}

namespace {

// Yield probability per event: the chance that the motorists of every blocked lane yield, given a
// delayed crossing (binomial over the blocked lanes). Beyond BINOMIAL_SUM_LANES lanes the binomial
// coefficients would overflow into not a number (and the sum take minutes): the sum is then taken
// in its closed form, (1 - P_b + P_b M_y)^n - (1 - P_b)^n.
constexpr std::uint32_t BINOMIAL_SUM_LANES = 1000;

double yield_per_event(std::uint32_t lanes, double p_b, double p_d, double m_y) {
    if (!(p_d > 0.0)) return 0.0;
    const double n = static_cast<double>(lanes);
    if (lanes > BINOMIAL_SUM_LANES) return (std::pow(1.0 - p_b + p_b * m_y, n) - std::pow(1.0 - p_b, n)) / p_d;
    double sum = 0.0;
    double binomial = 1.0;
    for (std::uint64_t k = 1; k <= lanes; ++k) {
        const double kd = static_cast<double>(k);
        binomial *= (n - kd + 1.0) / kd;
        sum += binomial * std::pow(p_b, kd) * std::pow(1.0 - p_b, n - kd) * std::pow(m_y, kd);
    }
    return sum / p_d;
}

// N, the lanes crossed in the stage (0 counts as 1).
std::uint32_t lanes_crossed(const PedestrianCrossingStage& stage) {
    return std::max<std::uint32_t>(stage.through_lanes, 1);
}

// The gap-acceptance part of a stage: critical headway, platooning, blocked-lane and
// delayed-crossing probabilities, gap delays and the number of potential yielding events n_y.
PedestrianStageResult gap_acceptance(const PedestrianCrossing& crossing, const PedestrianCrossingStage& stage) {
    PedestrianStageResult r;
    const std::uint32_t lanes = lanes_crossed(stage);
    const double n = static_cast<double>(lanes);
    const double s_p = crossing.walk_speed_fps;
    const double t_s = crossing.startup_clearance_s;
    r.critical_headway = s_p > 0.0 ? stage.crossing_length_ft / s_p + t_s : t_s;
    const double t_c = r.critical_headway;
    double v = stage.conflicting_flow_veh_h / SECONDS_PER_HOUR;
    if (!(v >= MIN_VEHICLE_FLOW_VEH_S)) v = MIN_VEHICLE_FLOW_VEH_S;

    r.platoon_size = 1.0;
    r.spatial_distribution = 1.0;
    if (crossing.pedestrian_platooning && crossing.crosswalk_width_ft > 0.0) {
        const double v_p = crossing.pedestrian_flow_p_h / SECONDS_PER_HOUR;
        const double d = (v + v_p) * std::exp(t_c * (v_p - v));
        r.platoon_size = d > 0.0 ? (v_p * std::exp(v_p * t_c) + v * std::exp(-v * t_c)) / d : 1.0;
        r.spatial_distribution = base::max2(PLATOON_ROW_WIDTH_FT * r.platoon_size / crossing.crosswalk_width_ft, 1.0);
    }
    r.group_critical_headway = t_c + PLATOON_ROW_HEADWAY_S * (r.spatial_distribution - 1.0);
    const double t_cg = r.group_critical_headway;
    // 1 - e^(-x) and e^x - 1 - x by expm1: at a light conflicting flow the printed forms lose most
    // of their digits, and the delay when delayed divides one by the other.
    r.prob_blocked_lane = -std::expm1(-v * t_cg / n);
    r.prob_delayed_crossing = base::at_least_once(r.prob_blocked_lane, n);
    r.gap_delay = (std::expm1(v * t_cg) - v * t_cg) / v;
    r.gap_delay_when_delayed = r.prob_delayed_crossing > 0.0 ? r.gap_delay / r.prob_delayed_crossing : 0.0;

    const double e = std::exp(-v * t_cg);
    if (std::abs(1.0 - e) > HEADWAY_EPSILON) {
        r.average_short_headway = (1.0 / v - (1.0 / v + t_cg) * e) / (1.0 - e);
        if (r.average_short_headway > 0.0)
            r.yield_events = base::to_unsigned_sat<std::uint32_t>(std::floor(r.gap_delay_when_delayed / r.average_short_headway));
    }
    return r;
}

void check_stage_yield_events(std::uint32_t yield_events) {
    if (yield_events > MAX_YIELD_EVENTS) throw Error("too many yielding events: " + std::to_string(yield_events));
}

// The motorist-yielding part of a stage: P(Y_i) of each of its n_y events and the stage delay d_p.
void yielding_delay(const PedestrianCrossing& crossing, const PedestrianCrossingStage& stage,
                    PedestrianStageResult& r) {
    const double p_d = r.prob_delayed_crossing;
    const double m_y = std::clamp(crossing.motorist_yield_rate, 0.0, MAX_YIELD_RATE);
    const double y = yield_per_event(lanes_crossed(stage), r.prob_blocked_lane, p_d, m_y);
    r.prob_yield.reserve(r.yield_events + 1u);
    r.prob_yield.push_back(0.0);
    double yielded = 0.0;  // sum of the earlier P(Y_j)
    double waiting = 0.0;  // sum of h (i - 0.5) P(Y_i)
    for (std::uint32_t i = 1; i <= r.yield_events; ++i) {
        const double p = y * (p_d - yielded);
        r.prob_yield.push_back(p);
        yielded += p;
        waiting += r.average_short_headway * (static_cast<double>(i) - 0.5) * p;
    }
    r.delay = r.gap_delay_when_delayed * (p_d - yielded) + waiting;
}

}  // namespace

PedestrianStageResult analyze_stage(const PedestrianCrossing& crossing, const PedestrianCrossingStage& stage) {
    PedestrianStageResult r = gap_acceptance(crossing, stage);
    check_stage_yield_events(r.yield_events);
    yielding_delay(crossing, stage, r);
    return r;
}

PedestrianCrossingAnalysis analyze(const PedestrianCrossing& crossing) {
    if (crossing.stages.size() > MAX_CROSSING_STAGES)
        throw Error("too many stages: " + std::to_string(crossing.stages.size()));
    PedestrianCrossingAnalysis out;
    out.stages.reserve(crossing.stages.size());
    // Each stage's events are counted before its probabilities are listed, so that a crossing
    // over the bound is refused having listed at most MAX_YIELD_EVENTS of them.
    std::uint64_t yield_events = 0;
    for (const PedestrianCrossingStage& s : crossing.stages) {
        base::poll_cancel();
        PedestrianStageResult r = gap_acceptance(crossing, s);
        check_stage_yield_events(r.yield_events);
        yield_events += r.yield_events;
        if (yield_events > MAX_YIELD_EVENTS)
            throw Error("too many yielding events over the crossing's stages: " + std::to_string(yield_events) +
                        " by stage " + std::to_string(out.stages.size() + 1));
        yielding_delay(crossing, s, r);
        out.delay += r.delay;
        out.stages.push_back(std::move(r));
    }
    out.delay_interpretation = interpret_delay(out.delay);

    if (!out.stages.empty()) {
        const PedestrianStageResult& first = out.stages.front();
        out.prob_delayed_crossing = first.prob_delayed_crossing;
        out.prob_yield_first_event = first.yield_events >= 1 ? first.prob_yield[1] : 0.0;
    }
    double daily = 0.0;
    if (crossing.aadt_veh)
        daily = *crossing.aadt_veh;
    else if (crossing.k_factor > 0.0)
        daily = crossing.peak_hour_volume_veh_h / crossing.k_factor;
    const double u0 = U_AADT_PER_1000 * (daily / -1000.0) + U_CONSTANT + U_RRFB * (crossing.has_rrfb ? 1.0 : 0.0) +
                      U_MARKED * (crossing.has_marked_crosswalk ? 1.0 : 0.0) +
                      U_MEDIAN * (crossing.has_median_refuge ? 1.0 : 0.0);
    const double u1 = u0 - U_DELAYED;
    out.odds_satisfied_no_delay = std::exp(u0);
    out.prob_satisfied_no_delay = out.odds_satisfied_no_delay / (out.odds_satisfied_no_delay + 1.0);
    out.prob_dissatisfied_no_delay = 1.0 - out.prob_satisfied_no_delay;
    out.odds_satisfied_delay = std::exp(u1);
    out.prob_satisfied_delay = out.odds_satisfied_delay / (out.odds_satisfied_delay + 1.0);
    out.prob_dissatisfied_delay = 1.0 - out.prob_satisfied_delay;

    const double w = (1.0 - out.prob_delayed_crossing) + out.prob_yield_first_event * out.prob_delayed_crossing;
    out.prob_non_delayed = w;
    out.proportion_dissatisfied = w * out.prob_dissatisfied_no_delay + (1.0 - w) * out.prob_dissatisfied_delay;
    out.los = los_of_dissatisfied(out.proportion_dissatisfied);
    return out;
}

std::string analyze_twsc_pedestrian(std::string_view config_json) {
    const auto crossing =
        jsonio::read_document_with_prefix<PedestrianCrossing>(config_json, "invalid pedestrian crossing config: ");
    return jsonio::write_document_with_prefix(analyze(crossing), "serialize error: ");
}

const jsonio::Record<PedestrianCrossingStage>& json_record(jsonio::Tag<PedestrianCrossingStage>) {
    using S = PedestrianCrossingStage;
    static const jsonio::Record<S> record{"PedestrianCrossingStage",
                                          {
                                              jsonio::with_default("crossing_length_ft", &S::crossing_length_ft, 0.0),
                                              jsonio::with_default("conflicting_flow_veh_h", &S::conflicting_flow_veh_h, 0.0),
                                              jsonio::with_default("through_lanes", &S::through_lanes, 2u),
                                          },
                                          jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

const jsonio::Record<PedestrianCrossing>& json_record(jsonio::Tag<PedestrianCrossing>) {
    using C = PedestrianCrossing;
    static const jsonio::Record<C> record{
        "PedestrianCrossing",
        {
            jsonio::with_default("stages", &C::stages, {}),
            jsonio::with_default("walk_speed_fps", &C::walk_speed_fps, 3.5),
            jsonio::with_default("startup_clearance_s", &C::startup_clearance_s, 3.0),
            jsonio::with_default("motorist_yield_rate", &C::motorist_yield_rate, 0.0),
            jsonio::with_default("pedestrian_platooning", &C::pedestrian_platooning, false),
            jsonio::with_default("crosswalk_width_ft", &C::crosswalk_width_ft, 0.0),
            jsonio::with_default("pedestrian_flow_p_h", &C::pedestrian_flow_p_h, 0.0),
            jsonio::with_default("peak_hour_volume_veh_h", &C::peak_hour_volume_veh_h, 0.0),
            jsonio::with_default("k_factor", &C::k_factor, 0.0),
            jsonio::optional("aadt_veh", &C::aadt_veh),
            jsonio::with_default("has_rrfb", &C::has_rrfb, false),
            jsonio::with_default("has_marked_crosswalk", &C::has_marked_crosswalk, false),
            jsonio::with_default("has_median_refuge", &C::has_median_refuge, false),
        },
        jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

const jsonio::Record<PedestrianStageResult>& json_record(jsonio::Tag<PedestrianStageResult>) {
    using R = PedestrianStageResult;
    static const jsonio::Record<R> record{"PedestrianStageResult",
                                          {
                                              jsonio::result("critical_headway", &R::critical_headway),
                                              jsonio::result("platoon_size", &R::platoon_size),
                                              jsonio::result("spatial_distribution", &R::spatial_distribution),
                                              jsonio::result("group_critical_headway", &R::group_critical_headway),
                                              jsonio::result("prob_blocked_lane", &R::prob_blocked_lane),
                                              jsonio::result("prob_delayed_crossing", &R::prob_delayed_crossing),
                                              jsonio::result("gap_delay", &R::gap_delay),
                                              jsonio::result("gap_delay_when_delayed", &R::gap_delay_when_delayed),
                                              jsonio::result("average_short_headway", &R::average_short_headway),
                                              jsonio::required("yield_events", &R::yield_events),
                                              jsonio::result("prob_yield", &R::prob_yield),
                                              jsonio::result("delay", &R::delay),
                                          }};
    return record;
}

const jsonio::Record<PedestrianCrossingAnalysis>& json_record(jsonio::Tag<PedestrianCrossingAnalysis>) {
    using A = PedestrianCrossingAnalysis;
    static const jsonio::Record<A> record{
        "PedestrianCrossingAnalysis",
        {
            jsonio::required("stages", &A::stages),
            jsonio::result("delay", &A::delay),
            jsonio::required("delay_interpretation", &A::delay_interpretation),
            jsonio::result("odds_satisfied_no_delay", &A::odds_satisfied_no_delay),
            jsonio::result("prob_satisfied_no_delay", &A::prob_satisfied_no_delay),
            jsonio::result("prob_dissatisfied_no_delay", &A::prob_dissatisfied_no_delay),
            jsonio::result("odds_satisfied_delay", &A::odds_satisfied_delay),
            jsonio::result("prob_satisfied_delay", &A::prob_satisfied_delay),
            jsonio::result("prob_dissatisfied_delay", &A::prob_dissatisfied_delay),
            jsonio::result("prob_delayed_crossing", &A::prob_delayed_crossing),
            jsonio::result("prob_yield_first_event", &A::prob_yield_first_event),
            jsonio::result("prob_non_delayed", &A::prob_non_delayed),
            jsonio::result("proportion_dissatisfied", &A::proportion_dissatisfied),
            jsonio::required("los", &A::los),
        }};
    return record;
}

}  // namespace hcm::twsc::pedestrian
