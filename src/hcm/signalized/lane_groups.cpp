// HCM Chapter 19, Steps 1 to 4: movement flow rates, effective greens, adjusted saturation flow
// rates with the permitted left-turn model, the distribution of approach flow among shared and
// exclusive lanes, and the formation of lane groups. The saturation flows of shared lanes, the
// lane flows and the unsaturated permitted green depend on each other; they are recomputed in
// passes until they settle.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/numeric.hpp"
#include "base/units.hpp"
#include "hcm/signalized/analysis.hpp"
#include "hcm/signalized/exhibits.hpp"

namespace hcm::signalized::signalized {

using base::max2;
using base::min2;

namespace {

using base::units::SECONDS_PER_HOUR;
namespace pb = exhibits::ped_bike;
namespace pl = exhibits::permitted_left;

// Least walk or permitted time that divides (s).
constexpr double MIN_DIVISOR_S = 1e-9;

// Saturation-flow passes and lane-flow distribution rounds, and their tolerances.
constexpr int MAX_PASSES = 25;
constexpr double PASS_TOLERANCE = 0.05;
constexpr int MAX_DISTRIBUTION_ROUNDS = 60;
constexpr double DISTRIBUTION_TOLERANCE_VEH_H = 0.1;
// Lane flow at which the shared-lane damping weight peaks (veh/h/ln).
constexpr double DAMPING_PEAK_FLOW = 972.9729729729729;

double flag(bool b) { return b ? 1.0 : 0.0; }

// Effective green of a phase: D - l1 - (Y + R) + e, with l1 = e = 2 s.
double effective_green(const PhaseTiming& p) {
    return max2((p.duration_s - START_UP_LOST_TIME_S) - ((p.yellow_s + p.red_clearance_s) - GREEN_EXTENSION_S), 0.0);
}

Direction opposite(Direction d) {
    switch (d) {
        case Direction::NB: return Direction::SB;
        case Direction::SB: return Direction::NB;
        case Direction::EB: return Direction::WB;
        case Direction::WB: return Direction::EB;
    }
    return d;
}

// Step 1: flow rates; right-turn-on-red is a flow rate removed after the PHF.
void calculate_flow_rates(const SignalApproach& a, ApproachWork& w) {
    const double phf = peak_hour_factor_of(a);
    w.v_left = a.volume_left / phf;
    w.v_through = a.volume_through / phf;
    w.v_right = max2(a.volume_right / phf - a.volume_rtor, 0.0);
}

// Step 3: each lane takes an equal share of the through flow; turns stay in their lanes.
void split_lane_flows(const SignalApproach& a, ApproachWork& w) {
    const bool sl = a.shared_left_through_lane, sr = a.shared_right_through_lane;
    w.v_el = a.exclusive_left_lanes > 0 ? w.v_left : 0.0;
    w.v_er = a.exclusive_right_lanes > 0 ? w.v_right : 0.0;
    w.v_lsh = a.exclusive_left_lanes == 0 && sl ? w.v_left : 0.0;
    w.v_rsh = a.exclusive_right_lanes == 0 && sr ? w.v_right : 0.0;
    const double share = w.v_through / std::max(static_cast<double>(a.through_lanes) + flag(sl) + flag(sr), 1.0);
    w.v_slt = sl ? w.v_lsh + share : 0.0;
    w.v_srt = sr ? w.v_rsh + share : 0.0;
    w.v_et = max2(w.v_through - (w.v_slt - w.v_lsh) - (w.v_srt - w.v_rsh), 0.0);
}

// Step 4a: the factors that depend on the inputs alone, and the base saturation flows.
void calculate_base_saturation_flows(const SignalizedIntersection& x, const SignalApproach& a, ApproachWork& w) {
    const double s0 = x.base_saturation_flow;
    w.f_w = lane_width_factor(a.lane_width_ft);
    w.f_a = area_type_factor(x.area_type_cbd);
    const double f_hvg = heavy_vehicle_grade_factor(a.pct_heavy_vehicles_through, a.grade_pct);
    const double f_bb = bus_blockage_factor(a.bus_stops_h);
    w.s_t = s0 * w.f_w * f_hvg * w.f_a * f_bb * lane_utilization_factor(a.through_lanes);
    w.s_sh = s0 * w.f_w * f_hvg * w.f_a * f_bb * parking_factor(a.parking_present, a.parking_maneuvers_h);

    w.f_hvg_left = heavy_vehicle_grade_factor(a.pct_heavy_vehicles_left, a.grade_pct);
    w.f_lu_left = a.exclusive_left_lanes >= 2 ? signal_delay::LEFT_LANE_UTILIZATION : 1.0;
    const double f_lu_right = a.exclusive_right_lanes >= 2 ? signal_delay::RIGHT_LANE_UTILIZATION : 1.0;
    w.s_lprot = s0 * w.f_w * w.f_hvg_left * w.f_a * w.f_lu_left / LEFT_TURN_EQUIVALENT;
    w.s_et_base = a.shared_left_through_lane && has_permitted_period(a.left_turn_mode)
                      ? w.s_t * pl::SHARED_LEFT_THROUGH_BLOCKAGE
                      : w.s_t;

    // Step 4b: right turns crossing the crosswalk and bicycle lane (A_pbT); the exclusive right
    // rate carries it and no bus or parking factor.
    const PhaseTiming& tp = a.through_phase;
    w.g_walk = tp.walk_s && tp.ped_clear_s ? min2(*tp.walk_s + *tp.ped_clear_s, w.g_t) : w.g_t;
    w.a_pbt = 1.0;
    if (w.g_t > 0.0 && (a.ped_flow_ph > 0.0 || a.bike_flow_ph > 0.0)) {
        const double g_w = max2(min2(w.g_walk, w.g_t), 0.0);
        const double occ_pedg = pedestrian_occupancy(x.cycle_length_s, a.ped_flow_ph, g_w);
        double occ_r = (g_w / w.g_t) * occ_pedg;
        if (a.bike_flow_ph > 0.0) {
            const double v_bicg = min2(x.cycle_length_s * a.bike_flow_ph / w.g_t, pb::MAX_BIKE_FLOW_H);
            const double occ_bicg = pb::BIKE_OCCUPANCY_CONSTANT + v_bicg / pb::BIKE_OCCUPANCY_DIVISOR;
            occ_r = occ_bicg + (g_w / w.g_t) * occ_pedg - occ_bicg * (g_w / w.g_t) * occ_pedg;
        }
        const double receiving_beyond = std::max(static_cast<double>(a.exclusive_right_lanes) +
                                                     flag(a.shared_right_through_lane), 1.0);
        w.a_pbt = static_cast<double>(a.receiving_lanes) > receiving_beyond
                      ? 1.0 - pb::SPARE_RECEIVING_LANE_SHARE * occ_r
                      : 1.0 - occ_r;
    }
    w.s_er = w.a_pbt * s0 * w.f_w * f_hvg * w.f_a * f_lu_right / RIGHT_TURN_EQUIVALENT;
}

// Step 4c: the permitted left-turn model of one approach.
void model_permitted_left_turns(const SignalizedIntersection& x, const std::vector<SignalApproach>& approaches,
                                std::vector<ApproachWork>& work, std::size_t i) {
    const SignalApproach& a = approaches[i];
    ApproachWork& w = work[i];
    if (!has_permitted_period(a.left_turn_mode)) {
        w.a_pbl = 1.0;
        w.g_p = w.g_u = w.g_f = 0.0;
        w.s_p = 0.0;
        w.e_l1 = w.e_l2 = LEFT_TURN_EQUIVALENT;
        return;
    }
    const double cycle = x.cycle_length_s;

    // 1. The opposing approach (its own through phase stands in when there is none).
    const PhaseTiming* opposing_through = &a.through_phase;
    double v_o = pl::NO_OPPOSING_FLOW, p_lto = 0.0, g_q_prime = 0.0;
    bool single_lane_opposing = false;
    w.d_lo = 0.0;
    if (w.has_opposing) {
        const SignalApproach& o = approaches[w.opposing];
        const ApproachWork& wo = work[w.opposing];
        opposing_through = &o.through_phase;
        const double p_o = min2(wo.g_t * o.platoon_ratio_through / cycle, 1.0);
        double g_q = 0.0;
        if (o.through_lanes > 0) {
            g_q = max2(g_q, opposing_queue_service_time(wo.v_et / o.through_lanes, wo.s_et, wo.g_t, p_o, cycle));
        }
        if (o.shared_right_through_lane) {
            g_q = max2(g_q, opposing_queue_service_time(wo.v_srt, wo.s_srt, wo.g_t, p_o, cycle));
        }
        g_q = max2(g_q, 0.0);
        g_q_prime = g_q > 0.0 ? g_q + START_UP_LOST_TIME_S : 0.0;
        v_o = wo.v_through;
        const bool right_turns_blocked = o.exclusive_right_lanes > 0 && !a.opposing_right_turn_influences_gaps;
        if (wo.v_right > 0.0 && !right_turns_blocked) v_o += wo.v_right;
        const double all = wo.v_left + wo.v_through + wo.v_right;
        p_lto = all > 0.0 ? wo.v_left / all : 0.0;
        // Its one lane is the shared left-through lane.
        single_lane_opposing = o.exclusive_right_lanes == 0 && o.shared_left_through_lane && o.through_lanes == 0 &&
                               !o.shared_right_through_lane;
        w.d_lo = o.left_phase ? o.left_phase->duration_s : 0.0;
    }

    // 2. The permitted window of the phase sequence.
    PermittedPhasing phasing{.through_duration = a.through_phase.duration_s,
                             .through_change = change_interval(a.through_phase),
                             .opposing_through_duration = opposing_through->duration_s,
                             .opposing_through_change = change_interval(*opposing_through),
                             .opposing_left_duration = w.d_lo,
                             .opposing_queue_s = g_q_prime};
    if (a.left_phase) {
        phasing.left_duration = a.left_phase->duration_s;
        phasing.left_change = change_interval(*a.left_phase);
    }
    const PermittedWindow window = permitted_window(a.left_turn_sequence, phasing);
    w.g_perm = max2(window.g_perm, 0.0);
    w.l_p = window.lost_time;
    w.g_p = max2(window.extension + w.g_perm - window.lost_time, 0.0);
    w.g_u = window.unsaturated > 0.0 ? min2(window.unsaturated + window.extension, w.g_p) : 0.0;

    // 3. Permitted saturation flow and the equivalent of a permitted left turn.
    w.s_p = permitted_left_sat_flow(v_o);
    w.e_l1 = w.s_p > 0.0 ? x.base_saturation_flow / w.s_p : LEFT_TURN_EQUIVALENT;

    // 4. Free green of the shared lane, before the first left turn arrives.
    w.g_f = 0.0;
    if (a.shared_left_through_lane) {
        const double p_left = w.v_slt > 0.0 ? min2(w.v_lsh / w.v_slt, 1.0) : 0.0;
        const double left_turns_per_cycle = max2(cycle * w.v_left / SECONDS_PER_HOUR, 0.0);
        w.g_f = shared_lane_free_green(p_left, w.g_p, w.l_p, w.g_perm, left_turns_per_cycle,
                                       a.through_lanes > 0 || a.shared_right_through_lane);
    }

    // 5. Equivalent during the opposing queue's service when it shares a single lane with lefts.
    w.e_l2 = LEFT_TURN_EQUIVALENT;
    if (p_lto > 0.0 && single_lane_opposing) {
        const double n = max2(pl::E_L2_COUNT_PER_S * (w.g_p - w.g_u - w.g_f), 0.0);
        w.e_l2 = max2(base::at_least_once(p_lto, n) / p_lto, LEFT_TURN_EQUIVALENT);
    }

    // 6. Pedestrians crossed by the permitted left turns (A_pbL).
    w.a_pbl = 1.0;
    if (a.ped_flow_ph > 0.0 && w.g_p > 0.0) {
        const double g_w = max2(min2(w.g_walk, w.g_p), 0.0);
        const double occ_pedg = pedestrian_occupancy(cycle, a.ped_flow_ph, g_w);
        const double g_q = max2(w.g_p - w.g_u, 0.0);
        const double occ_pedu = g_q < g_w ? (1.0 - 0.5 * g_q / max2(g_w, MIN_DIVISOR_S)) * occ_pedg : 0.0;
        const double occ_r =
            std::exp(-pb::OPPOSING_FLOW_EXPONENT * v_o / SECONDS_PER_HOUR) * max2(g_w - g_q, 0.0) /
            max2(w.g_p - g_q, MIN_DIVISOR_S) * occ_pedu;
        const double own_lanes = std::max(static_cast<double>(a.exclusive_left_lanes) +
                                              flag(a.shared_left_through_lane), 1.0);
        w.a_pbl = static_cast<double>(a.receiving_lanes) <= own_lanes ? 1.0 - occ_r
                                                                        : 1.0 - pb::SPARE_RECEIVING_LANE_SHARE * occ_r;
    }
}

// Shared left-through saturation flow over the permitted green g_p: the free part g_f, the
// unsaturated part at the equivalent a1 + 1, the part during the opposing queue's service at a2 + 1,
// and the time the sneakers take.
double shared_left_through_rate(const ApproachWork& w, double p_left, double a1, double a2, double sneaker_s) {
    return (w.s_sh / w.g_p) * (w.g_f + min2(w.g_p - w.g_f, w.g_u) / (1.0 + p_left * a1) +
                               max2(w.g_p - w.g_u - w.g_f, 0.0) / (1.0 + p_left * a2) + sneaker_s);
}

// Step 4d: the saturation flows per lane of the lane-group kinds that change from pass to pass.
void calculate_lane_group_saturation_flows(const SignalApproach& a, ApproachWork& w) {
    w.s_lperm = w.a_pbl * w.f_w * w.s_p * w.f_hvg_left * w.f_a * w.f_lu_left;
    w.s_et = w.s_et_base;
    w.s_srt = 0.0;
    if (a.shared_right_through_lane) {
        const double p_right = w.v_srt > 0.0 ? min2(w.v_rsh / w.v_srt, 1.0) : 0.0;
        w.s_srt = w.s_sh / (1.0 + p_right * (RIGHT_TURN_EQUIVALENT / w.a_pbt - 1.0));
    }
    w.s_slt = 0.0;
    if (a.shared_left_through_lane) {
        const double p_left = w.v_slt > 0.0 ? min2(w.v_lsh / w.v_slt, 1.0) : 0.0;
        w.s_slt = w.g_p > 0.0
                      ? shared_left_through_rate(w, p_left, w.e_l1 / w.a_pbl - 1.0, w.e_l2 / w.a_pbl - 1.0, 0.0)
                      : w.s_sh;
    }
}

// Left turns that clear as sneakers from a lane whose left-turn share is P_L.
double shared_lane_sneakers(double p_left, double sneakers_per_cycle) {
    return p_left < pl::MAX_GEOMETRIC_LEFT_SHARE ? (p_left / (1.0 - p_left)) * (1.0 - std::pow(p_left, sneakers_per_cycle))
                          : sneakers_per_cycle * p_left;
}

// Step 4e: lane flows of an approach with a shared lane and at least two lanes, so that the
// lanes reach equal degrees of saturation.
void distribute_lane_flows(const SignalizedIntersection& x, const SignalApproach& a, ApproachWork& w) {
    const bool sl = a.shared_left_through_lane, sr = a.shared_right_through_lane;
    const double n_t = a.through_lanes, n_el = a.exclusive_left_lanes, n_er = a.exclusive_right_lanes;
    const double n_s = x.sneakers_per_cycle;
    const bool left_lanes = sl && a.exclusive_left_lanes > 0;
    const bool right_lanes = sr && a.exclusive_right_lanes > 0;

    const double v_bar = (w.v_left + w.v_through + w.v_right) / (n_t + flag(sl) + flag(sr));
    double f_sl = sl ? v_bar : 0.0, f_sr = sr ? v_bar : 0.0;
    double v_lsh = sl && a.exclusive_left_lanes == 0 ? w.v_left : 0.0;
    double v_rsh = sr && a.exclusive_right_lanes == 0 ? w.v_right : 0.0;

    const double damping = 2.0 * v_bar / DAMPING_PEAK_FLOW - 1.0;
    const double weight = max2(1.0 - damping * damping, 0.0);
    const double a1 = weight * (w.e_l1 / w.a_pbl - 1.0);
    const double a2 = weight * (w.e_l2 / w.a_pbl - 1.0);
    const double a_r = weight * (RIGHT_TURN_EQUIVALENT / w.a_pbt - 1.0);

    // The exclusive left rate does not change between rounds.
    double left_rate = w.s_lprot;
    if (has_permitted_period(a.left_turn_mode) && w.g_p > 0.0) {
        const double protected_green = a.left_turn_mode == LeftTurnMode::ProtectedPermitted ? w.g_l : 0.0;
        left_rate = (w.s_lprot / w.g_p) * (SECONDS_PER_HOUR * n_s / w.s_lprot + w.g_u / (1.0 + a1) + protected_green);
    }

    for (int round = 0; round < MAX_DISTRIBUTION_ROUNDS; ++round) {
        const double p_left = f_sl > 0.0 ? min2(v_lsh / f_sl, 1.0) : 0.0;
        const double p_right = f_sr > 0.0 ? min2(v_rsh / f_sr, 1.0) : 0.0;
        double s_sl = 0.0, s_sr = 0.0;
        if (sl) {
            s_sl = w.g_p > 0.0 ? shared_left_through_rate(w, p_left, a1, a2,
                                                          SECONDS_PER_HOUR * shared_lane_sneakers(p_left, n_s) / w.s_sh)
                               : w.s_sh;
        }
        if (sr) s_sr = w.s_sh / (1.0 + p_right * a_r);

        const double f_t = a.through_lanes > 0
                               ? max2((w.v_through - (f_sl - v_lsh) - (f_sr - v_rsh)) / n_t, 0.0) * n_t
                               : 0.0;
        double v = f_sl + f_sr + f_t;
        double s = n_t * w.s_et + s_sl + s_sr;
        if (left_lanes) {
            v += n_el * max2((w.v_left - v_lsh) / n_el, 0.0);
            s += n_el * left_rate;
        }
        if (right_lanes) {
            v += n_er * max2((w.v_right - v_rsh) / n_er, 0.0);
            s += n_er * w.s_er;
        }
        if (!(s > 0.0)) break;

        const double ratio = v / s;
        const double new_f_sl = s_sl * ratio, new_f_sr = s_sr * ratio;
        if (left_lanes) v_lsh = max2(w.v_left - n_el * left_rate * ratio, 0.0);
        if (right_lanes) v_rsh = max2(w.v_right - n_er * w.s_er * ratio, 0.0);
        v_lsh = min2(v_lsh, new_f_sl);
        v_rsh = min2(v_rsh, new_f_sr);
        const double change = max2(std::abs(new_f_sl - f_sl), std::abs(new_f_sr - f_sr));
        f_sl = new_f_sl;
        f_sr = new_f_sr;
        if (change < DISTRIBUTION_TOLERANCE_VEH_H) break;
    }

    w.v_lsh = v_lsh;
    w.v_rsh = v_rsh;
    w.v_slt = f_sl;
    w.v_srt = f_sr;
    w.v_el = a.exclusive_left_lanes > 0 ? max2(w.v_left - v_lsh, 0.0) : 0.0;
    w.v_er = a.exclusive_right_lanes > 0 ? max2(w.v_right - v_rsh, 0.0) : 0.0;
    w.v_et = max2(w.v_left + w.v_through + w.v_right - w.v_el - w.v_er - w.v_slt - w.v_srt, 0.0);
}

bool distributes_lane_flows(const SignalApproach& a) {
    const bool sl = a.shared_left_through_lane, sr = a.shared_right_through_lane;
    return (sl || sr) && static_cast<double>(a.through_lanes) + flag(sl) + flag(sr) >= 2.0;
}

// The values whose change between passes decides convergence: every value a pass reads from the
// one before. The exclusive through saturation flow is among them: the first pass's permitted
// left-turn model sees none yet (the opposing queue then never clears), so a pass that only sets
// it has not settled.
using Tracked = std::array<double, 7>;
Tracked tracked(const ApproachWork& w) { return {w.v_et, w.v_slt, w.v_srt, w.g_u, w.s_srt, w.s_slt, w.s_et}; }

// Step 5: the lane groups of one approach, in kind order.
void append_lane_groups(const SignalApproach& a, const ApproachWork& w, std::vector<LaneGroup>& groups) {
    const std::uint8_t through_phase = a.through_phase.phase_no;
    const auto group = [&](LaneGroupKind kind, std::uint32_t lanes, double flow) -> LaneGroup& {
        LaneGroup& g = groups.emplace_back();
        g.direction = a.direction;
        g.kind = kind;
        g.phase_no = through_phase;
        g.lanes = lanes;
        g.flow_rate = flow;
        return g;
    };
    if (a.exclusive_left_lanes > 0 && a.left_turn_mode != LeftTurnMode::NotPresent) {
        LaneGroup& g = group(LaneGroupKind::ExclusiveLeft, a.exclusive_left_lanes, w.v_el);
        if (a.left_phase && a.left_turn_mode != LeftTurnMode::Permitted) g.phase_no = a.left_phase->phase_no;
        g.g_p = w.g_p;
        g.g_u = w.g_u;
        if (a.left_turn_mode == LeftTurnMode::Permitted) {
            g.sat_flow = w.s_lperm;
            g.sat_flow_permitted = w.s_lperm;
            g.effective_green_s = w.g_p;
        } else {
            g.sat_flow = w.s_lprot;
            if (a.left_turn_mode == LeftTurnMode::ProtectedPermitted) g.sat_flow_permitted = w.s_lperm;
            g.effective_green_s = w.g_l;
        }
    }
    if (a.shared_left_through_lane) {
        LaneGroup& g = group(LaneGroupKind::SharedLeftThrough, 1, w.v_slt);
        g.sat_flow = w.s_slt;
        g.sat_flow_permitted = w.s_slt;
        g.effective_green_s = w.g_p > 0.0 ? w.g_p : w.g_t;
        g.g_p = w.g_p;
        g.g_u = w.g_u;
        g.g_f = w.g_f;
        g.p_left_shared = w.v_slt > 0.0 ? min2(w.v_lsh / w.v_slt, 1.0) : 0.0;
    }
    // Through and right-turn groups move on the through phase's effective green.
    const auto through_phase_group = [&](LaneGroupKind kind, std::uint32_t lanes, double flow,
                                         double sat_flow) -> LaneGroup& {
        LaneGroup& g = group(kind, lanes, flow);
        g.sat_flow = sat_flow;
        g.effective_green_s = w.g_t;
        return g;
    };
    if (a.through_lanes > 0) through_phase_group(LaneGroupKind::ExclusiveThrough, a.through_lanes, w.v_et, w.s_et);
    if (a.shared_right_through_lane) {
        LaneGroup& g = through_phase_group(LaneGroupKind::SharedRightThrough, 1, w.v_srt, w.s_srt);
        g.p_right_shared = w.v_srt > 0.0 ? min2(w.v_rsh / w.v_srt, 1.0) : 0.0;
    }
    if (a.exclusive_right_lanes > 0) {
        through_phase_group(LaneGroupKind::ExclusiveRight, a.exclusive_right_lanes, w.v_er, w.s_er);
    }
}

}  // namespace

std::array<std::size_t, 4> first_of_each_direction(const std::vector<SignalApproach>& approaches) {
    std::array<std::size_t, 4> first;
    first.fill(approaches.size());
    for (std::size_t i = approaches.size(); i-- > 0;) first[static_cast<std::size_t>(approaches[i].direction)] = i;
    return first;
}

// The shared lane's bus and parking factors are those of one lane.
double bus_blockage_factor(double bus_stops_h) { return signal_delay::bus_blockage_factor(1.0, bus_stops_h); }

double parking_factor(bool parking_present, double maneuvers_h) {
    return parking_present ? signal_delay::parking_factor(1.0, maneuvers_h) : 1.0;
}

double lane_utilization_factor(std::uint32_t through_lanes) {
    return signal_delay::through_lane_utilization_factor(through_lanes);
}

double pedestrian_occupancy(double cycle_s, double ped_flow_ph, double walk_green_s) {
    const double v_pedg = min2(cycle_s * ped_flow_ph / max2(walk_green_s, MIN_DIVISOR_S), pb::MAX_PED_FLOW_P_H);
    return v_pedg <= pb::PED_FLOW_BREAK_P_H
               ? v_pedg / pb::LOW_OCCUPANCY_DIVISOR
               : min2(pb::HIGH_OCCUPANCY_CONSTANT + v_pedg / pb::HIGH_OCCUPANCY_DIVISOR, pb::MAX_PED_OCCUPANCY);
}

double permitted_left_sat_flow(double opposing_flow) {
    return signal_delay::permitted_left_sat_flow(opposing_flow, signal_delay::UndefinedOpposingFlow::Trickle);
}

double shared_lane_free_green(double p_left, double g_p, double l_p, double g_perm, double left_turns_per_cycle,
                              bool other_lanes) {
    double bound = g_p;
    if (p_left >= 1.0) {
        bound = 0.0;
    } else if (p_left > 0.0) {
        bound = max2((1.0 - p_left) / (0.5 * p_left) * base::at_least_once(p_left, 0.5 * g_p) - l_p, 0.0);
    }
    const double arrival =
        other_lanes
            ? g_perm * std::exp(-pl::FREE_GREEN_MULTILANE_A * std::pow(left_turns_per_cycle, pl::FREE_GREEN_MULTILANE_B)) -
                  l_p
            : g_perm * std::exp(-pl::FREE_GREEN_SINGLE_LANE_A *
                                std::pow(left_turns_per_cycle, pl::FREE_GREEN_SINGLE_LANE_B)) -
                  l_p;
    return min2(max2(arrival, 0.0), bound);
}

double opposing_queue_service_time(double flow, double sat_flow, double green, double p_on_green, double cycle) {
    if (!(flow > 0.0)) return 0.0;
    const double q = flow / SECONDS_PER_HOUR;
    const double red = cycle - green;
    if (!(green > 0.0) || !(red > 0.0)) return 0.0;
    const double q_g = cycle * p_on_green * q / green;
    const double margin = sat_flow / SECONDS_PER_HOUR - q_g;
    return margin > 0.0 ? min2(cycle * (1.0 - p_on_green) * q / margin, green) : green;
}

PermittedWindow permitted_window(LeftTurnSequence sequence, const PermittedPhasing& p) {
    const double g = p.through_duration - p.through_change;
    const double g_o = p.opposing_through_duration - p.opposing_through_change;
    const double d_to = p.opposing_through_duration, d_l = p.left_duration, d_lo = p.opposing_left_duration;
    const double yr_t = p.through_change, g_q = p.opposing_queue_s;
    switch (sequence) {
        case LeftTurnSequence::LeadLead: {
            const double lost = d_lo > d_l - p.left_change ? min2(max2(d_lo - (d_l - p.left_change), 0.0), 2.0) : 0.0;
            return {min2(d_to + d_l - d_lo - yr_t, d_to - yr_t),
                    max2(min2(d_to + d_l - d_lo - yr_t, d_to - yr_t - g_q), 0.0), 2.0, lost};
        }
        case LeftTurnSequence::LeadLag:
            return {g - d_l, max2(g - d_l - g_q, 0.0), 2.0, 0.0};
        case LeftTurnSequence::LagLead:
            return {g_o - max2(d_lo, 0.0), max2(g_o - max2(d_lo, g_q), 0.0), 0.0, 2.0};
        case LeftTurnSequence::LagLag:
            return {min2(g_o, g), max2(min2(g_o, g) - g_q, 0.0), min2(max2(d_to - g, 0.0), 2.0), 2.0};
        case LeftTurnSequence::PermLead:
            return {g_o - max2(d_lo, 0.0), max2(g_o - max2(d_lo, g_q), 0.0), 2.0, 2.0};
        case LeftTurnSequence::PermLag:
            return {min2(g_o, g), max2(min2(g_o, g) - g_q, 0.0), 2.0, 2.0};
        case LeftTurnSequence::PermPerm:
            break;
    }
    return {d_to - yr_t, max2(d_to - yr_t - g_q, 0.0), 2.0, 2.0};
}

std::vector<ApproachWork> form_lane_groups(SignalizedIntersection& x) {
    const std::vector<SignalApproach>& approaches = x.approaches;
    const std::size_t n = approaches.size();
    std::vector<ApproachWork> work(n);
    const auto first = first_of_each_direction(approaches);

    // Steps 1 to 3, and what step 4 takes from the inputs alone.
    for (std::size_t i = 0; i < n; ++i) {
        const SignalApproach& a = approaches[i];
        ApproachWork& w = work[i];
        const std::size_t o = first[static_cast<std::size_t>(opposite(a.direction))];
        w.has_opposing = o < n;
        w.opposing = o;
        calculate_flow_rates(a, w);
        w.g_t = effective_green(a.through_phase);
        w.g_l = a.left_phase ? effective_green(*a.left_phase) : 0.0;
        split_lane_flows(a, w);
        calculate_base_saturation_flows(x, a, w);
    }

    // Step 4: passes until the lane flows, shared-lane saturation flows and g_u settle.
    std::vector<Tracked> before(n);
    for (int pass = 0; pass < MAX_PASSES; ++pass) {
        for (std::size_t i = 0; i < n; ++i) before[i] = tracked(work[i]);
        for (std::size_t i = 0; i < n; ++i) model_permitted_left_turns(x, approaches, work, i);
        for (std::size_t i = 0; i < n; ++i) calculate_lane_group_saturation_flows(approaches[i], work[i]);
        for (std::size_t i = 0; i < n; ++i) {
            if (distributes_lane_flows(approaches[i])) {
                distribute_lane_flows(x, approaches[i], work[i]);
            } else {
                split_lane_flows(approaches[i], work[i]);
            }
        }
        double change = 0.0;
        for (std::size_t i = 0; i < n; ++i) {
            const auto after = tracked(work[i]);
            for (std::size_t k = 0; k < after.size(); ++k) change = max2(change, std::abs(after[k] - before[i][k]));
        }
        if (change < PASS_TOLERANCE) break;
    }

    // Step 5: the lane groups, approach by approach (at most one of each kind).
    x.lane_groups.clear();
    x.lane_groups.reserve(n * base::variant_names<LaneGroupKind>.size());
    for (std::size_t i = 0; i < n; ++i) append_lane_groups(approaches[i], work[i], x.lane_groups);
    return work;
}

}  // namespace hcm::signalized::signalized
