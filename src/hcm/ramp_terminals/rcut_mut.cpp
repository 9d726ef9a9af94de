// Restricted crossing U-turn (RCUT) and median U-turn (MUT) intersections: each movement's
// journey through its junctions, its ETT and LOS, and the demand-weighted ETT of an approach and
// of the intersection.
#include <cmath>
#include <string>
#include <type_traits>

#include "base/numeric.hpp"
#include "base/units.hpp"
#include "hcm/common/error.hpp"
#include "hcm/ramp_terminals/alternative_intersections.hpp"
#include "hcm/unsignalized/unsignalized.hpp"

namespace hcm::ramp_terminals::alternative_intersections {

namespace {

using base::units::SECONDS_PER_HOUR;
using base::units::INF;

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

}  // namespace hcm::ramp_terminals::alternative_intersections
