#include "hcm/ramp_terminals/capacity_delay.hpp"

#include <cmath>
#include <optional>
#include <utility>
#include <variant>

#include "base/numeric.hpp"
#include "base/units.hpp"
#include "hcm/common/vehicle_spacing.hpp"
#include "hcm/ramp_terminals/lane_groups.hpp"
#include "hcm/signal_delay/signal_delay.hpp"
#include "hcm/unsignalized/unsignalized.hpp"

namespace hcm::ramp_terminals::ramp_terminals {

namespace {

using base::units::INF;

// ---- Step 4: capacity ----

// A yielding turn is served only with a finite, positive capacity; any other has none.
bool yield_has_capacity(double capacity) { return std::isfinite(capacity) && capacity > 0.0; }

// Capacity of a turn yielding to a conflicting stream, veh/h.
double yield_capacity(const YieldTurnInput& y, double cycle_s) {
    const double g_c = y.conflicting_green_s;
    const double red = max2(cycle_s - g_c, 0.0);
    const double v_cl = y.conflicting_flow_per_lane;
    const double s_cl = y.conflicting_sat_flow_per_lane;
    double clearing;  // t_q: time the conflicting queue takes to clear after its green starts
    if (!y.proportion_on_green) {
        clearing = v_cl < s_cl ? max2(red * v_cl / (s_cl - v_cl), 0.0) : red;
    } else if (g_c > 0.0 && v_cl > 0.0) {
        const double p = *y.proportion_on_green;
        const double ratio = s_cl / v_cl - cycle_s * p / g_c;
        clearing = ratio > 0.0 ? max2(cycle_s * (1.0 - p) / ratio, 0.0) : g_c;
    } else {
        clearing = 0.0;
    }
    const double clearance =
        y.clearance_speed_mph > 0.0 ? y.clearance_distance_ft / (ex::FT_S_PER_MI_H * y.clearance_speed_mph) : 0.0;
    const double t_f = y.follow_up_headway_s;
    // Without a positive follow-up headway the turn has no defined service rate: no capacity
    // (3600 / t_f would make it infinite and its delay zero).
    if (!(cycle_s > 0.0) || !(t_f > 0.0)) return 0.0;
    const double t_c = y.critical_headway_s;
    const double saturation = SECONDS_PER_HOUR / t_f;  // veh/h through the conflicting stream's red
    const double gaps = std::exp(-(t_c - 0.5 * t_f) * y.conflicting_flow_veh_h / SECONDS_PER_HOUR);
    return (red * SECONDS_PER_HOUR / t_f + max2(g_c - clearing - clearance, 0.0) * saturation * gaps) / cycle_s;
}

}  // namespace

void determine_capacity(const Interchange& ix, const LaneGroupInput& in, LaneGroupResult& r) {
    const double v = r.flow_rate;
    switch (kind_of(in.control)) {
        case ControlKind::Signalized: {
            const double c = r.sat_flow.value_or(0.0) * r.effective_green_s.value_or(0.0) / ix.cycle_length_s;
            r.capacity = c;
            r.vc_ratio = c <= 0.0 ? INF : v / c;
            break;
        }
        case ControlKind::YieldControlled: {
            const double c = yield_capacity(std::get<1>(in.control), ix.cycle_length_s);
            r.capacity = c;
            r.vc_ratio = yield_has_capacity(c) ? v / c : INF;
            break;
        }
        case ControlKind::FreeFlow: r.vc_ratio = 0.0; break;
    }
}

// ---- Step 5: upstream filtering ----

namespace {

double filtering_from(const std::vector<LaneGroupResult>& results, std::optional<std::size_t> upstream) {
    namespace d = ex::delay;
    if (!upstream || !results[*upstream].vc_ratio) return 1.0;
    const double x = min2(max2(*results[*upstream].vc_ratio, 0.0), 1.0);
    return max2(1.0 - d::FILTERING_A * std::pow(x, d::FILTERING_EXPONENT), d::FILTERING_MIN);
}

}  // namespace

void determine_upstream_filtering(const Interchange& ix, const std::array<Link, 2>& links,
                                  std::vector<LaneGroupResult>& results) {
    const double eb = filtering_from(results, links[0].upstream);
    const double wb = filtering_from(results, links[1].upstream);
    for (std::size_t g = 0; g < results.size(); ++g) {
        const LaneGroupInput& in = ix.lane_groups[g];
        if (in.upstream_filtering_override) {
            results[g].upstream_filtering = *in.upstream_filtering_override;
        } else if (in.movement.leg == Leg::Int) {
            results[g].upstream_filtering = in.movement.approach == A::Eb ? eb : wb;
        } else {
            results[g].upstream_filtering = 1.0;
        }
    }
}

// ---- Steps 6-8: delay and queues ----

namespace {

double proportion_on_green(std::uint8_t arrival_type, double g_over_c) {
    const auto& ratios = ex::delay::PLATOON_RATIO;
    if (arrival_type >= 1 && arrival_type <= ratios.size())
        return min2(ratios[arrival_type - 1u] * min2(g_over_c, 1.0), 1.0);
    return min2(g_over_c, 1.0);
}

// Uniform delay of a protected-permitted left turn by accumulating its queue over one lane
// through red, protected green, blocked and unblocked permitted green, cycle after cycle until
// the end-of-cycle queue settles.
double protected_permitted_uniform_delay(const LaneGroupInput& in, const LaneGroupResult& r, double cycle_s,
                                         double x) {
    namespace d = ex::delay;
    const ProtectedPermittedLeft& ppl = *in.protected_permitted_left;
    const double n = lanes_of(in);
    const double g_p = max2(ppl.permitted_green_s, 0.0);
    const double g_u = min2(max2(ppl.unblocked_green_s, 0.0), g_p);
    const double g_x = max2(total_green(in) - g_p, 0.0);
    const double red = cycle_s - g_x - g_p;
    const double g_b = max2(g_p - g_u, 0.0);
    const double arrivals = r.flow_rate / n / SECONDS_PER_HOUR / max2(x, 1.0);  // veh/s per lane
    if (!(arrivals > 0.0)) return 0.0;
    const std::array<std::pair<double, double>, 4> segments = {{
        {arrivals, red},
        {arrivals - r.protected_sat_flow.value_or(0.0) / n / SECONDS_PER_HOUR, g_x},
        {arrivals, g_b},
        {arrivals - r.permitted_sat_flow.value_or(0.0) / n / SECONDS_PER_HOUR, g_u},
    }};
    double queue = 0.0;
    double area = 0.0;
    for (int cycle = 0; cycle < d::MAX_CYCLES; ++cycle) {
        const double start = queue;
        area = 0.0;
        for (const auto& [rate, length] : segments) {
            if (!(length > 0.0)) continue;
            if (rate >= 0.0 || queue + rate * length >= 0.0) {
                area += queue * length + 0.5 * rate * length * length;
                queue += rate * length;
            } else {
                area += queue * queue / (2.0 * -rate);  // the queue empties within the segment
                queue = 0.0;
            }
        }
        if (std::abs(queue - start) < d::QUEUE_SETTLED_VEH || queue > d::QUEUE_DIVERGED_VEH) break;
    }
    return area / (cycle_s * arrivals);
}

// First term of the back of queue, veh/ln (the Chapter 19 kernel's, per lane).
double first_term_back_of_queue(const LaneGroupInput& in, const LaneGroupResult& r, double cycle_s, double g,
                                double p) {
    const double n = lanes_of(in);
    return signal_delay::first_term_queue(r.flow_rate / n, r.capacity.value_or(0.0) / n, r.sat_flow.value_or(0.0) / n,
                                          g, cycle_s, p, in.speed_limit_mph);
}

void determine_signalized_delay(const Interchange& ix, const LaneGroupInput& in, LaneGroupResult& r) {
    const double cycle = ix.cycle_length_s;
    const double period = ix.analysis_period_h;
    const double x = r.vc_ratio.value_or(0.0);
    const double g = r.effective_green_s.value_or(0.0);
    const double c = r.capacity.value_or(0.0);
    const double p = proportion_on_green(in.arrival_type, g / cycle);
    const double d1 = in.protected_permitted_left ? protected_permitted_uniform_delay(in, r, cycle, x)
                                                  : signal_delay::uniform_delay(g, cycle, x, p);
    const double d2 = signal_delay::incremental_delay(r.flow_rate, c, ex::delay::PRETIMED_K,
                                                      r.upstream_filtering.value_or(1.0), period,
                                                      signal_delay::WithoutPeriod::Undefined);
    const double d3 = signal_delay::initial_queue_delay(in.initial_queue_veh, r.flow_rate, c, period,
                                                        signal_delay::ZeroCapacity::Unbounded);
    r.uniform_delay_s = d1;
    r.incremental_delay_s = d2;
    r.initial_queue_delay_s = d3;
    r.control_delay_s = d1 + d2 + d3;
    // Back of queue and queue storage ratio.
    const double back =
        first_term_back_of_queue(in, r, cycle, g, p) + signal_delay::second_term_queue(c, lanes_of(in), d2);
    r.back_of_queue_veh = back;
    if (in.storage_ft) {
        const double spacing = common::queued_vehicle_spacing_ft(in.pct_heavy_vehicles);
        r.queue_storage_ratio = *in.storage_ft <= 0.0 ? 0.0 : back * spacing / *in.storage_ft;
    }
}

double yield_delay(double period_h, double v, const std::optional<double>& capacity) {
    if (!capacity || !yield_has_capacity(*capacity)) return INF;
    const double c = *capacity;
    const double service = SECONDS_PER_HOUR / c;
    return unsignalized::control_delay(v / c, service, service, period_h, unsignalized::DecelerationTerm::UpToCapacity);
}

}  // namespace

void determine_delay(const Interchange& ix, const LaneGroupInput& in, LaneGroupResult& r) {
    switch (kind_of(in.control)) {
        case ControlKind::Signalized: determine_signalized_delay(ix, in, r); break;
        case ControlKind::YieldControlled:
            r.control_delay_s = yield_delay(ix.analysis_period_h, r.flow_rate, r.capacity);
            break;
        case ControlKind::FreeFlow: r.control_delay_s = 0.0; break;
    }
}

}  // namespace hcm::ramp_terminals::ramp_terminals
