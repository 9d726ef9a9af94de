// Fully actuated phase durations (HCM Chapter 31, Section 2).
#include "hcm/signalized/actuated.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/numeric.hpp"
#include "base/units.hpp"
#include "hcm/common/vehicle_spacing.hpp"
#include "hcm/signalized/analysis.hpp"
#include "hcm/signalized/exhibits.hpp"

namespace hcm::signalized::actuated {

using base::max2;
using base::min2;
using signalized::LaneGroup;
using signalized::LaneGroupKind;
using signalized::LeftTurnMode;
using signalized::PhaseTiming;
using signalized::SignalApproach;
using base::units::SECONDS_PER_HOUR;
namespace ex = exhibits::actuated;

namespace {

constexpr int MAX_ITERATIONS = 80;
constexpr double GREEN_TOLERANCE_S = 0.05;
constexpr double MIN_CYCLE_S = 1.0;
// Start-up lost time l1 and green extension e (equal: g = G - l1 + e).
using signalized::GREEN_EXTENSION_S;
using signalized::START_UP_LOST_TIME_S;

// The eight phases of the dual ring, and the phase each of 2, 4, 6 and 8 gaps out with.
constexpr std::size_t RING_PHASES = 8;
constexpr std::uint8_t gap_out_partner(std::uint8_t phase) {
    switch (phase) {
        case 2: return 6;
        case 4: return 8;
        case 6: return 2;
        case 8: return 4;
        default: return 0;
    }
}

bool in_ring(std::uint8_t phase) { return phase >= 1 && phase <= RING_PHASES; }

MovementType movement_type(const LaneGroup& g, const SignalApproach& a) {
    switch (g.kind) {
        case LaneGroupKind::ExclusiveLeft:
            return a.left_turn_mode == LeftTurnMode::Permitted ? MovementType::PermittedLeft
                                                               : MovementType::ProtectedLeft;
        case LaneGroupKind::SharedLeftThrough: return MovementType::SharedLeftThrough;
        case LaneGroupKind::ExclusiveThrough: return MovementType::Through;
        case LaneGroupKind::SharedRightThrough: return MovementType::SharedRightThrough;
        case LaneGroupKind::ExclusiveRight: return MovementType::ExclusiveRight;
    }
    return MovementType::Through;
}

bool uses_permitted_green(MovementType t) {
    return t == MovementType::PermittedLeft || t == MovementType::SharedLeftThrough;
}

// What step a gives of one phase.
struct PhaseValues {
    double lambda = 0.0;      // flow rate parameter of the combined headway distribution, veh/s
    double mah_star = ex::NO_FLOW_MAH_STAR_S;  // equivalent maximum allowable headway, s
    double delta = 0.0;       // minimum headway, s
    double phi = 1.0;         // proportion of free (unbunched) vehicles
    double q = 0.0;           // arrival rate, veh/s
    double g_s = 0.0;         // queue service time, s
    double flow = 0.0;        // total flow, veh/h
};

// Queue service time g_s of one movement with effective green g: its own green, or the
// unsaturated permitted green of a movement that yields to the opposing flow.
double queue_service_time(const ActuatedMovement& m, double g, double cycle) {
    const double q = m.flow / std::max(static_cast<double>(m.lanes), 1.0) / SECONDS_PER_HOUR;
    if (uses_permitted_green(m.type)) {
        if (!(m.g_u > 0.0) || !(cycle > 0.0) || !(m.flow > 0.0) || !(m.sat_flow_permitted > 0.0)) return 0.0;
        if (cycle * q >= m.g_u * m.sat_flow_permitted / SECONDS_PER_HOUR) return m.g_u;
        const double u = min2(m.g_u / cycle, 1.0);
        const double d = m.sat_flow_permitted / SECONDS_PER_HOUR - u * cycle * q / m.g_u;
        return d > 0.0 ? min2((1.0 - u) * cycle * q / d, m.g_u) : m.g_u;
    }
    if (!(min2(m.flow, m.sat_flow) > 0.0) || !(min2(g, cycle) > 0.0)) return 0.0;
    if (cycle * q >= g * m.sat_flow / SECONDS_PER_HOUR) return g;
    const double x_g = min2(g / cycle, 1.0);
    const double d = m.sat_flow / SECONDS_PER_HOUR - x_g * cycle * q / g;
    return d > 0.0 ? min2((1.0 - x_g) * cycle * q / d, g) : g;
}

// Maximum allowable headway MAH of one movement (s).
double max_allowable_headway(const ActuatedMovement& m, double passage_time, double approach_speed, double h0) {
    const double vehicle_length = common::queued_vehicle_spacing_ft(m.pct_heavy_vehicles);
    const double mah = passage_time + (m.detector_length_ft + vehicle_length - ex::DETECTED_LENGTH_OFFSET_FT) /
                                          (ex::FT_S_PER_MI_H * approach_speed);
    switch (m.type) {
        case MovementType::ProtectedLeft: return mah + ex::PROTECTED_LEFT_MAH_H0 * h0;
        case MovementType::ExclusiveRight: return mah + ex::EXCLUSIVE_RIGHT_MAH_H0 * h0;
        case MovementType::SharedRightThrough: return mah + (signalized::RIGHT_TURN_EQUIVALENT / 1.0 - 1.0) * h0;
        case MovementType::PermittedLeft:
        case MovementType::SharedLeftThrough: {
            const double s_p = m.sat_flow_permitted > 0.0 ? m.sat_flow_permitted : ex::MIN_PERMITTED_SAT_FLOW;
            return SECONDS_PER_HOUR / s_p + mah - ex::PERMITTED_LEFT_MAH_OFFSET_S;
        }
        case MovementType::Through: break;
    }
    return mah;
}

// Step a: the headway distribution and queue service of one phase at green G and cycle C.
PhaseValues phase_values(const ActuatedPhaseInput& p, double green, double cycle, double h0) {
    const double g = max2((green - START_UP_LOST_TIME_S) + GREEN_EXTENSION_S, ex::MIN_EFFECTIVE_GREEN_S);
    const double approach_speed = signal_delay::approach_speed_mph(p.speed_limit_mph);
    PhaseValues v;
    base::WeightedMean mah, delta_mean;  // weighted by the flow of free headways lambda
    double bunching = 0.0;
    for (const ActuatedMovement& m : p.movements) {
        v.g_s = max2(v.g_s, queue_service_time(m, g, cycle));
        const double delta = m.lanes >= 2 ? ex::MIN_HEADWAY_MULTILANE_S : ex::MIN_HEADWAY_ONE_LANE_S;
        const double b = m.lanes <= 1 ? ex::BUNCHING_ONE_LANE
                                      : (m.lanes == 2 ? ex::BUNCHING_TWO_LANES : ex::BUNCHING_THREE_LANES);
        const double q_m = m.flow / SECONDS_PER_HOUR;
        double lambda = q_m * std::exp(-b * delta * q_m);
        if (1.0 - delta * q_m > 0.0) lambda /= 1.0 - delta * q_m;
        v.lambda += lambda;
        mah.add(max_allowable_headway(m, p.passage_time_s, approach_speed, h0), lambda);
        delta_mean.add(delta, lambda);
        bunching += b * delta * q_m;
        v.q += q_m;
        v.flow += m.flow;
    }
    if (v.lambda > 0.0) {
        v.mah_star = mah.mean_or(0.0);
        v.delta = delta_mean.mean_or(0.0);
    }
    v.phi = std::exp(-bunching);
    return v;
}

// A through phase combined with its partner across the ring when both gap out together.
PhaseValues combined(const PhaseValues& own, const PhaseValues& partner) {
    PhaseValues c = own;
    c.lambda = own.lambda + partner.lambda;
    if (c.lambda > 0.0) {
        base::WeightedMean mah, delta;
        for (const PhaseValues* values : {&own, &partner}) {
            mah.add(values->mah_star, values->lambda);
            delta.add(values->delta, values->lambda);
        }
        c.mah_star = mah.mean_or(0.0);
        c.delta = delta.mean_or(0.0);
    }
    c.phi = own.phi * partner.phi;
    c.q = own.q + partner.q;
    return c;
}

// Step b: green extension, max-out and call probabilities and the average green of one phase.
ActuatedPhaseResult phase_result(const ActuatedPhaseInput& p, const PhaseValues& own, const PhaseValues& v,
                                 double cycle) {
    const double g_max = p.max_green_s;
    // A headway is shorter than MAH*: 1 - phi e^(-u), u = lambda (MAH* - Delta), by expm1 so that it
    // keeps its digits at light flows, where u is small.
    const double span = v.mah_star - v.delta;
    const double u = v.lambda * span;
    const double prob = min2(max2(-std::expm1(std::log(v.phi) - u), 0.0), 1.0);
    ActuatedPhaseResult r;
    r.phase_no = p.phase_no;
    r.queue_service_s = own.g_s;
    r.mah_star_s = v.mah_star;
    if (prob > 0.0 && prob < 1.0 && v.q > 0.0) {
        const double n = max2(v.q * (g_max - (own.g_s + START_UP_LOST_TIME_S)), 0.0);
        r.green_extension_s = prob * prob * (1.0 - std::pow(prob, n)) / (v.q * (1.0 - prob));
    }
    if (v.lambda > 0.0 && prob > 0.0) {
        // The mean headway h shorter than MAH*: (Delta + phi / lambda - (MAH* + 1 / lambda) phi e^(-u)) / prob,
        // written Delta + phi (MAH* - Delta) ((1 - e^(-u)) / u - e^(-u)) / prob so that no terms of
        // size 1 / lambda cancel at light flows (the bracket tends to 0 with u).
        r.prob_max_out = 1.0;
        const double shorter = u != 0.0 ? -std::expm1(-u) / u - std::exp(-u) : 0.0;
        const double h = v.delta + v.phi * span * shorter / prob;
        if (h > 0.0) {
            const double n = max2((g_max - v.mah_star - (own.g_s + START_UP_LOST_TIME_S)) / h, 0.0);
            r.prob_max_out = min2(max2(std::pow(prob, n), 0.0), 1.0);
        }
    }
    // Probabilities of at least one arrival in a cycle, 1 - e^(-x) by expm1, and of a call by either.
    const double p_vehicle = -std::expm1(-cycle * own.flow / SECONDS_PER_HOUR);
    const double p_ped = p.left ? 0.0 : -std::expm1(-ex::PED_CALL_SHARE * cycle * p.ped_flow_ph / SECONDS_PER_HOUR);
    r.prob_call = p.left ? p_vehicle : p_vehicle + p_ped - p_vehicle * p_ped;
    if (p.recall_max) {
        r.green_s = g_max;
        r.prob_call = 1.0;
    } else {
        double g_v = max2(own.g_s + START_UP_LOST_TIME_S + r.green_extension_s, p.min_green_s);
        if (!p.left && p.ped_time_s && *p.ped_time_s > 0.0) {
            const double t_ped = *p.ped_time_s;
            g_v = (1.0 - p_vehicle) * p_ped * t_ped + (1.0 - p_ped) * p_vehicle * g_v +
                  p_ped * p_vehicle * max2(g_v, t_ped);
        }
        r.green_s = min2(g_v, g_max);
    }
    return r;
}

double change_interval(const ActuatedPhaseInput& p) { return p.yellow_s + p.red_clearance_s; }

// The timing of phase `phase_no`: the first approach's through phase, else its left phase, with
// that approach and whether it is a left phase.
struct PhaseOwner {
    const PhaseTiming* timing = nullptr;
    const SignalApproach* approach = nullptr;
    bool left = false;
};

PhaseOwner owner_of(const SignalizedIntersection& x, std::uint8_t phase_no) {
    for (const SignalApproach& a : x.approaches) {
        if (a.through_phase.phase_no == phase_no) return {&a.through_phase, &a, false};
        if (a.left_phase && a.left_phase->phase_no == phase_no) return {&*a.left_phase, &a, true};
    }
    return {};
}

ActuatedMovement movement_of(const LaneGroup& g, const SignalApproach& a, const PhaseTiming& timing) {
    ActuatedMovement m;
    m.type = movement_type(g, a);
    m.flow = g.flow_rate;
    m.sat_flow = g.sat_flow.value_or(0.0);
    if (uses_permitted_green(m.type)) {
        m.sat_flow_permitted = g.sat_flow_permitted.value_or(0.0);
        m.g_u = g.g_u.value_or(0.0);
    }
    m.lanes = g.lanes;
    const bool left = g.kind == LaneGroupKind::ExclusiveLeft || g.kind == LaneGroupKind::SharedLeftThrough;
    m.pct_heavy_vehicles = left ? a.pct_heavy_vehicles_left : a.pct_heavy_vehicles_through;
    m.detector_length_ft = timing.detector_length_ft.value_or(DEFAULT_DETECTOR_LENGTH_FT);
    return m;
}

}  // namespace

std::vector<ActuatedPhaseInput> actuated_phase_inputs(const SignalizedIntersection& x) {
    std::vector<std::uint8_t> numbers;
    numbers.reserve(x.lane_groups.size());
    for (const LaneGroup& g : x.lane_groups) numbers.push_back(g.phase_no);
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());

    const auto first = signalized::first_of_each_direction(x.approaches);
    std::vector<ActuatedPhaseInput> phases;
    for (const std::uint8_t number : numbers) {
        const PhaseOwner owner = owner_of(x, number);
        if (owner.timing == nullptr) continue;
        const PhaseTiming& t = *owner.timing;
        ActuatedPhaseInput& p = phases.emplace_back();
        p.phase_no = number;
        p.left = owner.left;
        if (t.walk_s && t.ped_clear_s) p.ped_time_s = *t.walk_s + *t.ped_clear_s;
        p.max_green_s = t.max_green_s.value_or(t.duration_s - (t.yellow_s + t.red_clearance_s));
        p.min_green_s = t.min_green_s.value_or(DEFAULT_MIN_GREEN_S);
        p.passage_time_s = t.passage_time_s.value_or(DEFAULT_PASSAGE_TIME_S);
        p.yellow_s = t.yellow_s;
        p.red_clearance_s = t.red_clearance_s;
        p.ped_flow_ph = owner.approach->ped_flow_ph;
        p.speed_limit_mph = owner.approach->speed_limit_mph;
        p.recall_max = t.recall_max;
        for (const LaneGroup& g : x.lane_groups) {
            if (g.phase_no != number) continue;
            const std::size_t i = first[static_cast<std::size_t>(g.direction)];
            const SignalApproach& a = i < x.approaches.size() ? x.approaches[i] : *owner.approach;
            p.movements.push_back(movement_of(g, a, t));
        }
    }
    return phases;
}

std::vector<ActuatedPhaseResult> estimate_fully_actuated(const std::vector<ActuatedPhaseInput>& phases,
                                                         double base_saturation_flow, bool simultaneous_gap_out) {
    const std::size_t n = phases.size();
    // Position of ring phases 1 to 8 in `phases` (n when absent).
    std::array<std::size_t, RING_PHASES + 1> ring;
    ring.fill(n);
    for (std::size_t i = 0; i < n; ++i) {
        if (in_ring(phases[i].phase_no)) ring[phases[i].phase_no] = i;
    }
    const auto present = [&](std::uint8_t phase) { return ring[phase] < n; };

    std::vector<double> green(n);
    for (std::size_t i = 0; i < n; ++i) green[i] = phases[i].max_green_s;
    double cycle = 0.0;
    for (const std::size_t k : {2, 3, 4}) {
        if (ring[k] < n) cycle += phases[ring[k]].max_green_s + change_interval(phases[ring[k]]);
    }
    cycle = max2(cycle, MIN_CYCLE_S);
    const double h0 = SECONDS_PER_HOUR / base_saturation_flow;

    std::vector<PhaseValues> values(n);
    std::vector<ActuatedPhaseResult> results(n);
    for (int iteration = 0; iteration < MAX_ITERATIONS; ++iteration) {
        // a. Headway distributions and queue service at the current greens and cycle.
        for (std::size_t i = 0; i < n; ++i) values[i] = phase_values(phases[i], green[i], cycle, h0);
        // b. Extensions, probabilities and greens.
        std::array<double, RING_PHASES + 1> duration{};
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint8_t partner = gap_out_partner(phases[i].phase_no);
            const bool together = simultaneous_gap_out && partner != 0 && present(partner);
            const PhaseValues v = together ? combined(values[i], values[ring[partner]]) : values[i];
            results[i] = phase_result(phases[i], values[i], v, cycle);
            if (in_ring(phases[i].phase_no)) {
                duration[phases[i].phase_no] = results[i].green_s + change_interval(phases[i]);
            }
        }
        // c. Barriers: the through phases of each ring take what its left phase leaves of the
        // longer ring.
        const double barrier1 = max2(duration[1] + duration[2], duration[5] + duration[6]);
        const double barrier2 = max2(duration[3] + duration[4], duration[7] + duration[8]);
        duration[2] = barrier1 - duration[1];
        duration[6] = barrier1 - duration[5];
        duration[4] = barrier2 - duration[3];
        duration[8] = barrier2 - duration[7];
        // d. The new greens and cycle; stop once the greens settle, else damp.
        double change = 0.0, new_cycle = 0.0;
        std::vector<double> next = green;
        for (std::uint8_t k = 1; k <= RING_PHASES; ++k) {
            if (!present(k)) continue;
            const std::size_t i = ring[k];
            results[i].duration_s = duration[k];
            results[i].green_s = max2(duration[k] - change_interval(phases[i]), 0.0);
            change = max2(change, std::abs(results[i].green_s - green[i]));
            next[i] = 0.5 * results[i].green_s + 0.5 * green[i];
            if (k <= 4) new_cycle += duration[k];
        }
        if (change < GREEN_TOLERANCE_S) break;
        green = std::move(next);
        cycle = 0.5 * cycle + 0.5 * max2(new_cycle, MIN_CYCLE_S);
    }
    return results;
}

std::string actuated_timings_json(const SignalizedIntersection& intersection, bool simultaneous_gap_out) {
    return signalized::actuated_phases_to_json(
        estimate_fully_actuated(actuated_phase_inputs(intersection), intersection.base_saturation_flow,
                                simultaneous_gap_out));
}

}  // namespace hcm::signalized::actuated
