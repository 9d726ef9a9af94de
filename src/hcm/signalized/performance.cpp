// HCM Chapter 19, Steps 5 to 10: capacity, uniform, incremental and initial-queue delay, control
// delay and LOS of every lane group, the back of queue, the approach and intersection delays, and
// the critical volume-to-capacity ratio (Equation 19-30). Left-turn groups with a permitted period
// take their uniform delay and first-term queue from a queue accumulation polygon.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "base/cancel.hpp"
#include "base/numeric.hpp"
#include "base/units.hpp"
#include "hcm/common/delay_los.hpp"
#include "hcm/common/vehicle_spacing.hpp"
#include "hcm/signalized/analysis.hpp"
#include "hcm/signalized/exhibits.hpp"

namespace hcm::signalized::signalized {

using base::max2;
using base::min2;

namespace {

using base::units::INF;
using base::units::SECONDS_PER_HOUR;
namespace bq = exhibits::back_of_queue;
namespace ak = exhibits::actuated;
using exhibits::permitted_left::PROTECTED_SHARED_LEFT_EQUIVALENT;

// Queue accumulation polygon: cycles to a steady queue (delay, start queue), their tolerances and
// the bound of a queue that grows without end; time step of the queue's two stepped cycles.
constexpr int MAX_DELAY_CYCLES = 60;
constexpr double DELAY_CYCLE_TOLERANCE = 1e-9;
constexpr int MAX_QUEUE_CYCLES = 80;
constexpr double QUEUE_CYCLE_TOLERANCE = 1e-7;
constexpr double UNBOUNDED_QUEUE_VEH = 1e6;
constexpr double QUEUE_TIME_STEP_S = 0.02;
constexpr double EMPTY_QUEUE_VEH = 0.0001;
// Steps of one polygon segment at most: a segment up to 20,000 s keeps its 0.02 s step, and a
// longer one (an absurd cycle) cannot stall the analysis.
constexpr double MAX_STEPS_PER_SEGMENT = 1e6;

// Least capacity at maximum green that divides (veh/h).
constexpr double MIN_CAPACITY = 1e-9;

bool left_kind(LaneGroupKind kind) {
    return kind == LaneGroupKind::ExclusiveLeft || kind == LaneGroupKind::SharedLeftThrough;
}

// The through phase's maximum green, or its duration less the change interval.
double through_max_green(const PhaseTiming& p) {
    return p.max_green_s ? *p.max_green_s : p.duration_s - change_interval(p);
}

struct Capacity {
    double c = 0.0;
    double c_a = 0.0;  // at maximum green
};

// Step 5: capacity c and the capacity at maximum green c_a of one lane group.
Capacity calculate_capacity(const LaneGroup& g, const SignalApproach& a, const ApproachWork& w, double cycle,
                            double sneakers) {
    const double n = g.lanes;
    const double g_max = through_max_green(a.through_phase);
    const LeftTurnMode mode = a.left_turn_mode;
    Capacity cap;
    if (g.kind == LaneGroupKind::ExclusiveLeft && mode == LeftTurnMode::Permitted) {
        cap.c = (SECONDS_PER_HOUR * sneakers + w.g_u * w.s_lperm) / cycle * n;
        cap.c_a = cap.c + w.s_lperm * max2(g_max - w.g_p, 0.0) / cycle * n;
    } else if (g.kind == LaneGroupKind::ExclusiveLeft && mode == LeftTurnMode::ProtectedPermitted) {
        cap.c = (SECONDS_PER_HOUR * sneakers + w.g_l * w.s_lprot + w.g_u * w.s_lperm) / cycle * n;
        cap.c_a = cap.c;
        if (a.left_phase && a.left_phase->max_green_s) {
            const double m_l = *a.left_phase->max_green_s;
            cap.c_a = max2((SECONDS_PER_HOUR * sneakers + w.g_u * w.s_lperm + w.s_lprot * m_l) / cycle * n, cap.c);
        }
    } else if (g.kind == LaneGroupKind::SharedLeftThrough && has_permitted_period(mode)) {
        const double p_left = g.p_left_shared.value_or(0.0);
        cap.c = ((1.0 + p_left) * SECONDS_PER_HOUR + w.g_p * w.s_slt) / cycle;
        if (mode == LeftTurnMode::ProtectedPermitted)
            cap.c += w.s_sh / (1.0 + PROTECTED_SHARED_LEFT_EQUIVALENT * p_left) * w.g_l / cycle;
        const double unsaturated = w.s_sh / (1.0 + p_left * (w.e_l1 / w.a_pbl - 1.0));
        cap.c_a = max2(cap.c + unsaturated * max2(g_max - w.g_p, 0.0) / cycle, cap.c);
    } else {
        const double s = g.sat_flow.value_or(0.0);
        const PhaseTiming& tp = a.through_phase;
        const double yr = change_interval(tp);
        const double green_max = tp.max_green_s
                                     ? (*tp.max_green_s + yr - START_UP_LOST_TIME_S) - (yr - GREEN_EXTENSION_S)
                                     : (tp.duration_s - START_UP_LOST_TIME_S) - (yr - GREEN_EXTENSION_S);
        cap.c = g.effective_green_s.value_or(0.0) * s * n / cycle;
        cap.c_a = max2(s * n * max2(green_max, 0.0) / cycle, cap.c);
    }
    return cap;
}

// The phase whose actuated settings govern k: a protected left turn's own phase, else the
// through phase.
const PhaseTiming& governing_phase(const LaneGroup& g, const SignalApproach& a) {
    const bool protected_left =
        g.kind == LaneGroupKind::ExclusiveLeft &&
        (a.left_turn_mode == LeftTurnMode::Protected || a.left_turn_mode == LeftTurnMode::ProtectedPermitted);
    return protected_left && a.left_phase ? *a.left_phase : a.through_phase;
}

double k_factor(const SignalizedIntersection& x, const LaneGroup& g, const SignalApproach& a, double available) {
    if (x.control == ControlType::PretimedSignal) return ak::PRETIMED_K;
    const PhaseTiming& p = governing_phase(g, a);
    if (!p.max_green_s || !p.passage_time_s) return ak::PRETIMED_K;
    return actuated_k_factor(*p.passage_time_s, g.flow_rate / max2(available, MIN_CAPACITY));
}

// First-term back of queue (veh/ln) of a group served at one saturation flow in its green.
double first_term_queue(const LaneGroup& g, double capacity, double cycle, double p_on_green, double speed_limit) {
    const double lanes = std::max(static_cast<double>(g.lanes), 1.0);
    return signal_delay::first_term_queue(g.flow_rate / lanes, capacity / lanes, g.sat_flow.value_or(0.0),
                                          g.effective_green_s.value_or(0.0), cycle, p_on_green, speed_limit);
}

// The initial queue of a lane group: the left-turn queue, or the through queue's share by lanes.
double initial_queue_of(const LaneGroup& g, const SignalApproach& a) {
    if (left_kind(g.kind)) return a.initial_queue_left_veh;
    const double approach_lanes = static_cast<double>(a.through_lanes) + (a.shared_left_through_lane ? 1.0 : 0.0) +
                                  (a.shared_right_through_lane ? 1.0 : 0.0);
    return a.initial_queue_through_veh * g.lanes / std::max(approach_lanes, 1.0);
}

// Step 10: the back-of-queue terms, the percentile queue and the storage ratios of one group.
void estimate_queues(LaneGroup& g, const SignalApproach& a, double cycle, double period, double q1) {
    const double lanes = std::max(static_cast<double>(g.lanes), 1.0);
    const double c = *g.capacity, v = g.flow_rate, upstream = a.upstream_filtering_i;
    const double q2 = signal_delay::second_term_queue(c, lanes, g.incremental_delay_s.value_or(0.0));
    const double initial = initial_queue_of(g, a);
    double q3 = 0.0;
    if (period > 0.0 && initial > 0.0) {
        const InitialQueue t = initial_queue_terms(initial, v, c, period);
        q3 = t.t_a * (initial + t.q_e - t.q_eo) / (2.0 * period * lanes);
    }
    const double queue = q1 + q2 + q3;
    double queue_95 = q3;
    if (q1 + q2 > 0.0) {
        double factor = 1.0 + bq::Z_95 * std::sqrt(upstream / (q1 + q2));
        if (c > 0.0 && v >= c) {
            const double green = g.effective_green_s.value_or(0.0);
            factor += bq::OVERSATURATED_QUEUE_TERM * std::pow(max2(green / cycle, 0.0), bq::OVERSATURATED_GC_EXPONENT) *
                      (1.0 - std::exp(2.0 - 2.0 * g.vc_ratio.value_or(0.0)));
        }
        queue_95 = q3 + (q1 + q2) * min2(factor, bq::MAX_PERCENTILE_FACTOR);
    }
    g.q1_veh = q1;
    g.q2_veh = q2;
    g.q3_veh = q3;
    g.back_of_queue_veh = queue;
    g.back_of_queue_95_veh = queue_95;

    const std::optional<double>& storage =
        g.kind == LaneGroupKind::ExclusiveLeft ? a.storage_left_ft : a.storage_through_ft;
    if (!storage) return;
    if (*storage > 0.0) {
        const double pct_heavy = left_kind(g.kind) ? a.pct_heavy_vehicles_left : a.pct_heavy_vehicles_through;
        const double spacing = common::queued_vehicle_spacing_ft(pct_heavy);
        g.queue_storage_ratio = queue * spacing / *storage;
        g.queue_storage_ratio_95 = queue_95 * spacing / *storage;
    } else {
        g.queue_storage_ratio = 0.0;
        g.queue_storage_ratio_95 = 0.0;
    }
}

// Steps 5 to 10 for one lane group.
void evaluate_lane_group(const SignalizedIntersection& x, LaneGroup& g, const SignalApproach& a,
                         const ApproachWork& w) {
    const double cycle = x.cycle_length_s, period = x.analysis_period_h;
    const double v = g.flow_rate;
    const double green = g.effective_green_s.value_or(0.0);
    const double platoon_ratio = left_kind(g.kind) ? a.platoon_ratio_left : a.platoon_ratio_through;
    const double p_on_green = min2(platoon_ratio * green / cycle, 1.0);
    const Capacity cap = calculate_capacity(g, a, w, cycle, x.sneakers_per_cycle);
    const double ratio = cap.c > 0.0 ? v / cap.c : INF;
    g.proportion_on_green = p_on_green;
    g.capacity = cap.c;
    g.available_capacity = cap.c_a;
    g.vc_ratio = ratio;

    double d1 = 0.0, q1 = 0.0;
    if (left_kind(g.kind) && has_permitted_period(a.left_turn_mode)) {
        double arrivals = v / std::max(static_cast<double>(g.lanes), 1.0) / SECONDS_PER_HOUR;
        if (ratio > 1.0) arrivals /= ratio;
        base::poll_cancel();  // the polygon is stepped through two cycles of the input's length
        const QueuePolygon polygon = left_turn_polygon(g, a, w, cycle, x.sneakers_per_cycle);
        d1 = polygon_uniform_delay(polygon, arrivals, cycle);
        q1 = polygon_first_term_queue(polygon, arrivals, cycle, a.speed_limit_mph);
    } else {
        d1 = uniform_delay(green, cycle, ratio, p_on_green);
        q1 = first_term_queue(g, cap.c, cycle, p_on_green, a.speed_limit_mph);
    }
    const double k = k_factor(x, g, a, cap.c_a);
    const double d2 = incremental_delay(v, cap.c, k, a.upstream_filtering_i, period);
    const double d3 = initial_queue_delay(initial_queue_of(g, a), v, cap.c, period, signal_delay::ZeroCapacity::Floor);
    const double delay = d1 + d2 + d3;
    g.k_factor = k;
    g.uniform_delay_s = d1;
    g.incremental_delay_s = d2;
    g.initial_queue_delay_s = d3;
    g.control_delay_s = delay;
    g.los = common::los_of_delay(common::SIGNALIZED_DELAY_LOS_MAX, delay, ratio > 1.0);
    estimate_queues(g, a, cycle, period, q1);
}

// Flow-weighted mean delay: groups without flow do not count; `flow` sums every group's flow.
struct WeightedDelay {
    double flow = 0.0;
    base::WeightedMean mean;
    void add(const LaneGroup& g) {
        flow += g.flow_rate;
        mean.add(g.control_delay_s.value_or(0.0), g.flow_rate);
    }
    double delay() const { return mean.mean_or(0.0); }
};

// Flow ratios and lost times of one approach for the critical v/c ratio.
struct CriticalTerms {
    double y_through = 0.0;  // y_T
    double y_protected = 0.0;  // y_Lp
    double y_permitted = 0.0;  // y_Lm
    double lost_through = 0.0;  // l_T
    double lost_left = 0.0;     // l_L
};

double phase_lost_time(const PhaseTiming& p) {
    return (p.yellow_s + START_UP_LOST_TIME_S) + p.red_clearance_s - GREEN_EXTENSION_S;
}

CriticalTerms critical_terms(const SignalizedIntersection& x, const SignalApproach& a, const ApproachWork& w) {
    CriticalTerms t;
    for (const LaneGroup& g : x.lane_groups) {
        if (g.direction != a.direction || g.kind == LaneGroupKind::ExclusiveLeft) continue;
        const double supply = g.sat_flow.value_or(0.0) * g.lanes;
        t.y_through = max2(t.y_through, supply > 0.0 ? g.flow_rate / supply : 0.0);
    }
    t.lost_through = phase_lost_time(a.through_phase);
    const bool protected_phase =
        a.left_turn_mode == LeftTurnMode::Protected || a.left_turn_mode == LeftTurnMode::ProtectedPermitted;
    if (protected_phase && a.left_phase) t.lost_left = phase_lost_time(*a.left_phase);
    const double left_lanes = std::max(static_cast<double>(a.exclusive_left_lanes), 1.0);
    if (a.left_turn_mode == LeftTurnMode::Permitted) {
        t.y_permitted = w.s_lperm > 0.0 ? w.v_el / (w.s_lperm * left_lanes) : 0.0;
    } else if (protected_phase) {
        const double v_prot = min2(w.v_el, w.g_l * w.s_lprot * left_lanes / x.cycle_length_s);
        t.y_protected = w.s_lprot > 0.0 ? v_prot / (w.s_lprot * left_lanes) : 0.0;
        t.y_permitted = w.s_lperm > 0.0 ? max2(w.v_el - v_prot, 0.0) / (w.s_lperm * left_lanes) : 0.0;
    }
    return t;
}

struct CriticalSum {
    double y = 0.0;     // sum of critical flow ratios
    double lost = 0.0;  // sum of critical lost times, s
};

// The critical path of one direction pair: the larger of the two protected-left-plus-opposing-
// through paths, or a single approach's left turns served in both periods when that is larger.
CriticalSum critical_pair(const std::vector<CriticalTerms>& terms) {
    if (terms.empty()) return {};
    if (terms.size() != 2) {
        const CriticalTerms& t = terms.front();
        return {t.y_through + t.y_protected, t.lost_through + (t.y_protected > 0.0 ? t.lost_left : 0.0)};
    }
    const CriticalTerms &a = terms[0], &b = terms[1];
    CriticalSum sum;
    if (a.y_protected + b.y_through >= b.y_protected + a.y_through) {
        sum = {a.y_protected + b.y_through, b.lost_through + (a.y_protected > 0.0 ? a.lost_left : 0.0)};
    } else {
        sum = {b.y_protected + a.y_through, a.lost_through + (b.y_protected > 0.0 ? b.lost_left : 0.0)};
    }
    for (const CriticalTerms* t : {&a, &b}) {
        if (t->y_protected + t->y_permitted > sum.y) {
            sum = {t->y_protected + t->y_permitted, max2(t->lost_through, t->lost_left)};
        }
    }
    return sum;
}

// Equation 19-30 over the NB-SB and EB-WB pairs.
double critical_vc_ratio(const SignalizedIntersection& x, const std::vector<ApproachWork>& work) {
    CriticalSum total;
    std::vector<CriticalTerms> terms;
    for (const auto& [d1, d2] : {std::pair{Direction::NB, Direction::SB}, std::pair{Direction::EB, Direction::WB}}) {
        terms.clear();
        for (std::size_t i = 0; i < x.approaches.size(); ++i) {
            base::poll_cancel_every(i);  // each approach goes over every lane group
            const Direction d = x.approaches[i].direction;
            if (d == d1 || d == d2) terms.push_back(critical_terms(x, x.approaches[i], work[i]));
        }
        const CriticalSum pair = critical_pair(terms);
        total.y += pair.y;
        total.lost += pair.lost;
    }
    const double cycle = x.cycle_length_s;
    return cycle <= total.lost ? INF : total.y * cycle / (cycle - total.lost);
}

}  // namespace

QueuePolygon left_turn_polygon(const LaneGroup& g, const SignalApproach& a, const ApproachWork& w, double cycle_s,
                               double sneakers_per_cycle) {
    QueuePolygon p;
    const double g_p = w.g_p, g_u_served = min2(w.g_u, w.g_p), g_l = w.g_l;
    const double opposing_queue = max2(g_p - g_u_served, 0.0);
    if (g.kind == LaneGroupKind::SharedLeftThrough) {
        const double p_left = g.p_left_shared.value_or(0.0);
        const bool protected_part = a.left_turn_mode == LeftTurnMode::ProtectedPermitted;
        const double g_f = min2(w.g_f, g_p);
        const double blocked = max2(g_p - g_u_served - g_f, 0.0);
        if (protected_part && g_l > 0.0) p.add(g_l, w.s_sh / (1.0 + PROTECTED_SHARED_LEFT_EQUIVALENT * p_left), 0.0);
        p.add(g_f, w.s_sh, 0.0);
        p.add(blocked, w.s_sh / (1.0 + p_left * (w.e_l2 / w.a_pbl - 1.0)), 0.0);
        p.add(max2(g_p - g_f - blocked, 0.0), w.s_sh / (1.0 + p_left * (w.e_l1 / w.a_pbl - 1.0)), 1.0 + p_left);
        p.add(max2(cycle_s - g_p - (protected_part ? g_l : 0.0), 0.0), 0.0, 0.0);
        return p;
    }
    if (a.left_turn_mode == LeftTurnMode::Permitted) {
        p.add(max2(cycle_s - g_p, 0.0), 0.0, 0.0);
        p.add(opposing_queue, 0.0, 0.0);
        p.add(g_u_served, w.s_lperm, sneakers_per_cycle);
        return p;
    }
    const LeftTurnSequence seq = a.left_turn_sequence;
    if (seq == LeftTurnSequence::LeadLead || seq == LeftTurnSequence::LeadLag) {
        // Leading protected phase, then the lost time before the permitted period.
        const double left_duration = a.left_phase ? a.left_phase->duration_s : 0.0;
        const double d = seq == LeftTurnSequence::LeadLead ? max2(left_duration, w.d_lo) : left_duration;
        const double t = max2(w.l_p + d - (g_l + START_UP_LOST_TIME_S), 0.0);
        p.add(g_l, w.s_lprot, 0.0);
        p.add(t, 0.0, 0.0);
        p.add(opposing_queue, 0.0, 0.0);
        p.add(g_u_served, w.s_lperm, sneakers_per_cycle);
        p.add(max2(cycle_s - (g_p + (g_l + t)), 0.0), 0.0, 0.0);
        return p;
    }
    p.add(opposing_queue, 0.0, 0.0);
    p.add(g_u_served, w.s_lperm, sneakers_per_cycle);
    p.add(g_l, w.s_lprot, 0.0);
    p.add(max2(cycle_s - (g_p + g_l), 0.0), 0.0, 0.0);
    return p;
}

double polygon_uniform_delay(const QueuePolygon& polygon, double arrival_rate, double cycle_s) {
    if (!(arrival_rate > 0.0) || !(cycle_s > 0.0)) return 0.0;
    double queue = 0.0, area = 0.0;
    for (int cycle = 0; cycle < MAX_DELAY_CYCLES; ++cycle) {
        const double previous = queue;
        area = 0.0;
        for (std::size_t i = 0; i < polygon.count; ++i) {
            const QueueSegment& s = polygon.segments[i];
            const double d = s.duration_s;
            if (d > 0.0) {
                const double r = arrival_rate - s.sat_flow / SECONDS_PER_HOUR;
                if (r < 0.0 && queue > 0.0 && queue / -r < d) {
                    area += 0.5 * queue * queue / -r;  // the queue clears within the segment
                    queue = 0.0;
                } else if (r < 0.0 && !(queue > 0.0)) {
                    queue = 0.0;
                } else {
                    double end = queue + d * r;
                    if (r < 0.0) end = max2(end, 0.0);
                    area += d * (queue + end) / 2.0;
                    queue = end;
                }
            }
            if (s.cleared_veh > 0.0) queue = max2(queue - s.cleared_veh, 0.0);
        }
        if (std::abs(queue - previous) < DELAY_CYCLE_TOLERANCE || queue > UNBOUNDED_QUEUE_VEH) break;
    }
    return area / (cycle_s * arrival_rate);
}

double polygon_first_term_queue(const QueuePolygon& polygon, double arrival_rate, double cycle_s,
                                double speed_limit_mph) {
    if (!(cycle_s > 0.0) || !(arrival_rate > 0.0)) return 0.0;
    // 1. The queue at the start of a steady cycle.
    double queue = 0.0;
    for (int cycle = 0; cycle < MAX_QUEUE_CYCLES; ++cycle) {
        const double previous = queue;
        for (std::size_t i = 0; i < polygon.count; ++i) {
            const QueueSegment& s = polygon.segments[i];
            queue = max2(queue + s.duration_s * (arrival_rate - s.sat_flow / SECONDS_PER_HOUR), 0.0);
            if (s.cleared_veh > 0.0) queue = max2(queue - s.cleared_veh, 0.0);
        }
        if (std::abs(queue - previous) < QUEUE_CYCLE_TOLERANCE || queue > UNBOUNDED_QUEUE_VEH) break;
    }
    // 2. Two more cycles in time steps: the longest time the queue stays occupied.
    double running = 0.0, longest = 0.0;
    for (int cycle = 0; cycle < 2; ++cycle) {
        for (std::size_t i = 0; i < polygon.count; ++i) {
            const QueueSegment& s = polygon.segments[i];
            if (s.duration_s > 0.0) {
                const double steps = min2(std::ceil(s.duration_s / QUEUE_TIME_STEP_S), MAX_STEPS_PER_SEGMENT);
                const double dt = s.duration_s / steps;
                const double growth = dt * (arrival_rate - s.sat_flow / SECONDS_PER_HOUR);
                for (auto k = base::to_unsigned_sat<std::uint64_t>(steps); k > 0; --k) {
                    queue += growth;
                    if (!(queue > 0.0)) queue = 0.0;
                    running += dt;
                    if (queue > EMPTY_QUEUE_VEH) {
                        if (running > longest) longest = running;
                    } else {
                        running = 0.0;
                    }
                }
            }
            if (s.cleared_veh > 0.0) {
                queue = max2(queue - s.cleared_veh, 0.0);
                if (queue <= EMPTY_QUEUE_VEH) running = 0.0;
            }
        }
    }
    // 3. The vehicles arriving over that time, less those that join during the discharge lag.
    const double lag_s = signal_delay::queue_discharge_lag_s(speed_limit_mph);
    return max2(arrival_rate * longest - 0.5 * lag_s * arrival_rate, 0.0);
}

double actuated_k_factor(double unit_extension_s, double x_at_max_green) {
    const double ue = unit_extension_s;
    const double k_min =
        max2(ak::K_MIN_UE3 * ue * ue * ue - ak::K_MIN_UE2 * ue * ue + ak::K_MIN_UE * ue - ak::K_MIN_CONSTANT, ak::MIN_K);
    return min2(max2(k_min + (1.0 - 2.0 * k_min) * (x_at_max_green - 0.5), k_min), ak::PRETIMED_K);
}

LevelOfService los_of_delay(double delay_s) { return common::los_of_delay(common::SIGNALIZED_DELAY_LOS_MAX, delay_s); }

void evaluate_lane_groups(SignalizedIntersection& x, const std::vector<ApproachWork>& work) {
    const auto first = first_of_each_direction(x.approaches);
    const auto approach_of = [&](Direction d) { return first[static_cast<std::size_t>(d)]; };
    for (LaneGroup& g : x.lane_groups) {
        const std::size_t i = approach_of(g.direction);
        evaluate_lane_group(x, g, x.approaches.at(i), work.at(i));
    }

    x.approach_results.clear();
    x.approach_results.reserve(x.approaches.size());
    WeightedDelay all;
    for (std::size_t i = 0; i < x.approaches.size(); ++i) {
        base::poll_cancel_every(i);  // each approach goes over every lane group
        const SignalApproach& a = x.approaches[i];
        WeightedDelay approach;
        for (const LaneGroup& g : x.lane_groups) {
            if (g.direction == a.direction) approach.add(g);
        }
        const double delay = approach.delay();
        x.approach_results.push_back({a.direction, approach.flow, delay, los_of_delay(delay)});
    }
    for (const LaneGroup& g : x.lane_groups) all.add(g);
    x.intersection_delay_s = all.delay();
    x.intersection_los = los_of_delay(*x.intersection_delay_s);
    x.critical_vc_ratio = critical_vc_ratio(x, work);
}

}  // namespace hcm::signalized::signalized
