#include "hcm/ramp_terminals/alternative_intersections.hpp"

#include <cmath>
#include <limits>
#include <type_traits>

#include "base/numeric.hpp"
#include "base/units.hpp"
#include "hcm/common/delay_los.hpp"
#include "hcm/common/error.hpp"
#include "hcm/ramp_terminals/exhibits.hpp"
#include "hcm/unsignalized/unsignalized.hpp"
#include "json/internally_tagged.hpp"
#include "json/jsonio.hpp"

namespace hcm::ramp_terminals::alternative_intersections {

namespace {

using base::units::SECONDS_PER_HOUR;
using base::units::INF;

// Movements and DLT intersections are rated by experienced travel time on the signalized delay
// table (Exhibit 23-13).
LevelOfService ett_los(double ett_s, bool over_capacity = false) {
    return common::los_of_delay(common::SIGNALIZED_DELAY_LOS_MAX, ett_s, over_capacity);
}

// Delay of one junction step; sets the flags the junction raises.
double junction_delay(const JunctionStep& step, double period_h, bool& vc_exceeds_one, bool& queue_exceeds_storage) {
    return std::visit(
        [&](const auto& s) -> double {
            using S = std::decay_t<decltype(s)>;
            if constexpr (std::is_same_v<S, ProvidedStep>) {
                vc_exceeds_one = vc_exceeds_one || s.vc_gt_1;
                queue_exceeds_storage = queue_exceeds_storage || s.rq_gt_1;
                return s.control_delay_s;
            } else if constexpr (std::is_same_v<S, StopStep>) {
                const StopJunction j = evaluate_stop(s, period_h);
                vc_exceeds_one = vc_exceeds_one || j.vc_exceeds_one;
                queue_exceeds_storage = queue_exceeds_storage || j.queue_exceeds_storage;
                return j.delay_s;
            } else {
                return 0.0;
            }
        },
        step);
}

// Total control delay, ETT and flags of a movement, without keeping the step delays.
struct Journey {
    double total_delay_s = -0.0;  // a movement without junctions keeps -0.0
    double ett_s = 0.0;
    bool vc_exceeds_one = false;
    bool queue_exceeds_storage = false;
};

template <class OnStep>
Journey travel(const AltMovement& m, OnStep on_step) {
    Journey j;
    for (const JunctionStep& step : m.junctions) {
        const double d = junction_delay(step, m.analysis_period_h, j.vc_exceeds_one, j.queue_exceeds_storage);
        on_step(d);
        j.total_delay_s += d;
    }
    j.ett_s = j.total_delay_s + m.edtt_s;
    return j;
}

// Demand-weighted ETT of the movements `include` selects; movements without demand take no part,
// so that an unused movement with an infinite ETT cannot make the average undefined.
template <class Include>
std::optional<double> weighted_ett(const AlternativeIntersection& ai, Include include) {
    base::WeightedMean ett;
    for (const AltMovement& m : ai.movements) {
        if (include(m) && m.demand_veh_h > 0.0) ett.add(travel(m, [](double) {}).ett_s, m.demand_veh_h);
    }
    if (ett.any()) return ett.mean_or(0.0);
    return std::nullopt;
}

}  // namespace

StopJunction evaluate_stop(const StopStep& step, double period_h) {
    const double v = step.flow_veh_h;
    const double v_c = step.conflicting_flow_veh_h;
    const double t_f = step.followup_headway_s;
    const double c = unsignalized::potential_capacity(v_c, step.critical_headway_s, t_f,
                                                      unsignalized::NoConflictingFlow::FollowUpRate);
    StopJunction out;
    out.capacity_veh_h = c;
    // No follow-up headway, or no finite positive capacity: the movement cannot enter.
    if (!(t_f > 0.0) || !(std::isfinite(c) && c > 0.0)) {
        out.delay_s = INF;
        out.queue_95_veh = 0.0;
        out.vc_exceeds_one = true;
    } else {
        const double x = v / c;
        const double service = SECONDS_PER_HOUR / c;
        out.delay_s = unsignalized::control_delay(x, service, service, period_h, unsignalized::DecelerationTerm::Full);
        out.queue_95_veh = unsignalized::queue_95(x, c, period_h);
        out.vc_exceeds_one = x > 1.0;
    }
    // The storage check holds for both: a queue of 0 exceeds only a negative storage.
    out.queue_exceeds_storage = step.storage_ft && out.queue_95_veh * step.queue_spacing_ft > *step.storage_ft;
    return out;
}

AltMovementResult evaluate(const AltMovement& movement) {
    AltMovementResult r;
    r.label = movement.label;
    r.step_delays_s.reserve(movement.junctions.size());
    const Journey j = travel(movement, [&](double d) { r.step_delays_s.push_back(d); });
    r.total_delay_s = j.total_delay_s;
    r.edtt_s = movement.edtt_s;
    r.ett_s = j.ett_s;
    r.vc_exceeds_one = j.vc_exceeds_one;
    r.queue_exceeds_storage = j.queue_exceeds_storage;
    r.los = ett_los(j.ett_s, j.vc_exceeds_one || j.queue_exceeds_storage);
    return r;
}

std::optional<double> approach_ett(const AlternativeIntersection& intersection, Approach approach) {
    return weighted_ett(intersection, [approach](const AltMovement& m) { return m.approach == approach; });
}

std::optional<double> intersection_ett(const AlternativeIntersection& intersection) {
    return weighted_ett(intersection, [](const AltMovement&) { return true; });
}

AltMovementResult movement_result(const AlternativeIntersection& intersection, std::string_view label) {
    for (const AltMovement& m : intersection.movements)
        if (m.label == label) return evaluate(m);
    throw Error("no movement " + std::string(label));
}

double dlt_ett(const DisplacedLeftTurn& dlt) {
    if (dlt.total_od_demand_veh_h <= 0.0) return 0.0;
    double weighted = -0.0;
    for (const DltDelayCell& cell : dlt.cells) weighted += cell.flow_veh_h * cell.control_delay_s;
    return weighted / dlt.total_od_demand_veh_h;
}

LevelOfService dlt_los(const DisplacedLeftTurn& dlt) { return ett_los(dlt_ett(dlt)); }

DltOffset dlt_offset(double td_dlt_ft, double sf_dlt_mph, double lag_dlt_s, double lag_th_s, double offset_supp_s,
                     double offset_main_s, double cycle_s) {
    DltOffset o;
    o.tt_dlt_s = sf_dlt_mph > 0.0 ? td_dlt_ft / (sf_dlt_mph * exhibits::FT_S_PER_MI_H) : 0.0;
    o.st_dlt_s = lag_dlt_s + offset_supp_s;
    o.st_th_s = lag_th_s + offset_main_s;
    o.o_supp_s = ((offset_supp_s - o.st_dlt_s) + o.st_th_s) - o.tt_dlt_s;
    // Wrapped into [0, C) by the exact remainder; an infinite or undefined offset has no place in
    // the cycle and is returned as it is.
    if (cycle_s > 0.0 && std::isfinite(o.o_supp_s)) {
        double r = std::fmod(o.o_supp_s, cycle_s);
        if (r < 0.0 || (r == 0.0 && o.o_supp_s < 0.0)) r += cycle_s;
        if (r >= cycle_s) r = 0.0;
        o.o_supp_s = r;
    }
    return o;
}

// ---- JSON ----

const jsonio::InternallyTagged<JunctionStep>& json_variants(jsonio::Tag<JunctionStep>);

const jsonio::Record<ProvidedStep>& json_record(jsonio::Tag<ProvidedStep>) {
    using P = ProvidedStep;
    static const jsonio::Record<P> record{"ProvidedStep",
                                          {
                                              jsonio::required("control_delay_s", &P::control_delay_s),
                                              jsonio::with_default("vc_gt_1", &P::vc_gt_1, false),
                                              jsonio::with_default("rq_gt_1", &P::rq_gt_1, false),
                                          }};
    return record;
}

const jsonio::Record<StopStep>& json_record(jsonio::Tag<StopStep>) {
    using S = StopStep;
    static const jsonio::Record<S> record{"StopStep",
                                          {
                                              jsonio::required("flow_veh_h", &S::flow_veh_h),
                                              jsonio::required("conflicting_flow_veh_h", &S::conflicting_flow_veh_h),
                                              jsonio::required("critical_headway_s", &S::critical_headway_s),
                                              jsonio::required("followup_headway_s", &S::followup_headway_s),
                                              jsonio::optional("storage_ft", &S::storage_ft),
                                              jsonio::with_default("queue_spacing_ft", &S::queue_spacing_ft, 25.0),
                                          }};
    return record;
}

const jsonio::Record<MergeStep>& json_record(jsonio::Tag<MergeStep>) {
    static const jsonio::Record<MergeStep> record{"MergeStep", {}};
    return record;
}

const jsonio::InternallyTagged<JunctionStep>& json_variants(jsonio::Tag<JunctionStep>) {
    static const jsonio::InternallyTagged<JunctionStep> table{"JunctionStep", "type", {"provided", "stop", "merge"}};
    return table;
}

const jsonio::Record<AltMovement>& json_record(jsonio::Tag<AltMovement>) {
    using M = AltMovement;
    static const jsonio::Record<M> record{"AltMovement",
                                          {
                                              jsonio::required("label", &M::label),
                                              jsonio::required("approach", &M::approach),
                                              jsonio::required("demand_veh_h", &M::demand_veh_h),
                                              jsonio::required("junctions", &M::junctions),
                                              jsonio::with_default("edtt_s", &M::edtt_s, 0.0),
                                              jsonio::with_default("analysis_period_h", &M::analysis_period_h, 0.25),
                                          },
                                          jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

const jsonio::Record<AlternativeIntersection>& json_record(jsonio::Tag<AlternativeIntersection>) {
    using A = AlternativeIntersection;
    static const jsonio::Record<A> record{"AlternativeIntersection",
                                          {
                                              jsonio::required("form", &A::form),
                                              jsonio::required("movements", &A::movements),
                                          }};
    return record;
}

const jsonio::Record<DltDelayCell>& json_record(jsonio::Tag<DltDelayCell>) {
    using C = DltDelayCell;
    static const jsonio::Record<C> record{"DltDelayCell",
                                          {
                                              jsonio::required("flow_veh_h", &C::flow_veh_h),
                                              jsonio::required("control_delay_s", &C::control_delay_s),
                                          }};
    return record;
}

const jsonio::Record<DisplacedLeftTurn>& json_record(jsonio::Tag<DisplacedLeftTurn>) {
    using D = DisplacedLeftTurn;
    static const jsonio::Record<D> record{"DisplacedLeftTurn",
                                          {
                                              jsonio::required("form", &D::form),
                                              jsonio::required("cells", &D::cells),
                                              jsonio::required("total_od_demand_veh_h", &D::total_od_demand_veh_h),
                                          }};
    return record;
}

AlternativeIntersection read_alternative_intersection(std::string_view text) {
    return jsonio::read_document<AlternativeIntersection>(text);
}

DisplacedLeftTurn read_displaced_left_turn(std::string_view text) {
    return jsonio::read_document<DisplacedLeftTurn>(text);
}

}  // namespace hcm::ramp_terminals::alternative_intersections
