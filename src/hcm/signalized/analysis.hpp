#pragma once
// The HCM Chapter 19 motorized-vehicle procedure of one intersection, step by step:
//
//   analyze(x)                              // both halves below; replaces every stored result
//   auto work = form_lane_groups(x);        // flow rates, greens, saturation-flow passes, groups
//   evaluate_lane_groups(x, work);          // capacity, delay, LOS, queues, approach results, X_c
//
// The adjustment factors, the permitted left-turn model and the queue accumulation polygon are
// exposed one function each so that every branch can be checked on its own.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "hcm/signal_delay/signal_delay.hpp"
#include "hcm/signalized/signalized.hpp"

namespace hcm::signalized::signalized {

// Start-up lost time and green extension of every phase (s).
inline constexpr double START_UP_LOST_TIME_S = 2.0;
inline constexpr double GREEN_EXTENSION_S = 2.0;

// Through-car equivalents: a protected left turn, a right turn; the default of a permitted left.
inline constexpr double LEFT_TURN_EQUIVALENT = 1.05;
inline constexpr double RIGHT_TURN_EQUIVALENT = 1.18;

inline bool has_permitted_period(LeftTurnMode mode) {
    return mode == LeftTurnMode::Permitted || mode == LeftTurnMode::ProtectedPermitted;
}

// The peak hour factor that divides the approach's volumes: its own when positive, else 1.
inline double peak_hour_factor_of(const SignalApproach& a) {
    return a.peak_hour_factor && *a.peak_hour_factor > 0.0 ? *a.peak_hour_factor : 1.0;
}

// The index of the first approach of each direction, in Direction order (approaches.size() where
// there is none): every lookup by direction finds that one.
std::array<std::size_t, 4> first_of_each_direction(const std::vector<SignalApproach>& approaches);

// Yellow change and red clearance of a phase, Y + R (s).
inline double change_interval(const PhaseTiming& p) { return p.yellow_s + p.red_clearance_s; }

// The adjustment factors of the adjusted saturation flow rate (the Chapter 19 kernel's; bus
// blockage and parking those of the one shared lane).
using signal_delay::area_type_factor;            // f_a
using signal_delay::heavy_vehicle_grade_factor;  // f_HVg
using signal_delay::lane_width_factor;           // f_w
double bus_blockage_factor(double bus_stops_h);                    // f_bb
double parking_factor(bool parking_present, double maneuvers_h);  // f_p (shared lanes)
double lane_utilization_factor(std::uint32_t through_lanes);      // f_LU

// Pedestrian (and bicycle) occupancy of the conflict zone during the walk and clearance time
// g_w of a crosswalk with `ped_flow_ph` (HCM Chapter 31, Section 1).
double pedestrian_occupancy(double cycle_s, double ped_flow_ph, double walk_green_s);

// Permitted left-turn saturation flow facing an opposing flow v_o (veh/h); v_o of 0 or less
// counts as 0.1 veh/h.
double permitted_left_sat_flow(double opposing_flow);

// Green of a shared left-through lane before the first left turn arrives, g_f (s): from the left
// turns per cycle LTC over the permitted window G_perm (constants of a lane beside other lanes or of
// a lone lane), bounded by the estimate from the lane's left-turn share P_L.
double shared_lane_free_green(double p_left, double g_p, double l_p, double g_perm, double left_turns_per_cycle,
                              bool other_lanes);

// The opposing approach's queue service time g_q, one lane group of it: flow and saturation
// flow per lane, its effective green, its proportion on green and the cycle.
double opposing_queue_service_time(double flow, double sat_flow, double green, double p_on_green, double cycle);

// The permitted window of a left turn by phase sequence: G_perm, the raw unsaturated green u,
// the extension e and the start-up lost time l_p.
struct PermittedWindow {
    double g_perm = 0.0;
    double unsaturated = 0.0;
    double extension = 0.0;
    double lost_time = 0.0;
};
struct PermittedPhasing {
    double through_duration = 0.0;  // D_T of the approach
    double through_change = 0.0;    // Y + R of its through phase
    double left_duration = 0.0;     // D_L (0 without a left phase)
    double left_change = 0.0;       // Y + R of its left phase (0 without)
    double opposing_through_duration = 0.0;  // D_T,o
    double opposing_through_change = 0.0;    // Y + R of the opposing through phase
    double opposing_left_duration = 0.0;     // D_Lo
    double opposing_queue_s = 0.0;           // g_q' (0, or g_q + 2)
};
PermittedWindow permitted_window(LeftTurnSequence sequence, const PermittedPhasing& phasing);

// Working values of one approach during an analysis (dropped when it returns).
struct ApproachWork {
    std::size_t opposing = 0;  // index of the opposing approach
    bool has_opposing = false;
    // Movement flow rates and the flow rates of the lane-group kinds (veh/h).
    double v_left = 0.0, v_through = 0.0, v_right = 0.0;
    double v_el = 0.0, v_et = 0.0, v_slt = 0.0, v_srt = 0.0, v_er = 0.0;
    double v_lsh = 0.0, v_rsh = 0.0;  // left turns in the shared left-through lane, right turns in the shared right
    // Saturation flows per lane (veh/h/ln).
    double s_t = 0.0, s_sh = 0.0, s_lprot = 0.0, s_lperm = 0.0;
    double s_et = 0.0, s_slt = 0.0, s_srt = 0.0, s_er = 0.0;
    // Effective greens and the permitted period (s).
    double g_t = 0.0, g_l = 0.0, g_walk = 0.0, g_perm = 0.0, g_p = 0.0, g_u = 0.0, g_f = 0.0, l_p = 0.0;
    double s_p = 0.0, e_l1 = LEFT_TURN_EQUIVALENT, e_l2 = LEFT_TURN_EQUIVALENT;
    double a_pbl = 1.0, a_pbt = 1.0;
    double d_lo = 0.0;  // duration of the opposing left phase
    // Factors that depend on the inputs only, kept for the saturation flows of every pass.
    double f_w = 1.0, f_hvg_left = 1.0, f_a = 1.0, f_lu_left = 1.0;
    double s_et_base = 0.0;  // s_T, with 0.91 beside a shared lane with permitted left turns
};

// Part one of the analysis: flow rates, greens, the saturation-flow passes and the formation of
// the lane groups, which replace the stored ones. Returns the working values of every approach.
std::vector<ApproachWork> form_lane_groups(SignalizedIntersection& x);

// Part two: capacity, delays, LOS, queues of every stored lane group, then the approach and
// intersection results and the critical v/c ratio.
void evaluate_lane_groups(SignalizedIntersection& x, const std::vector<ApproachWork>& work);

// One segment of a queue accumulation polygon: its duration, the saturation flow per lane served
// in it (0: none), and the vehicles that clear at its end (sneakers).
struct QueueSegment {
    double duration_s = 0.0;
    double sat_flow = 0.0;
    double cleared_veh = 0.0;
};
struct QueuePolygon {
    std::array<QueueSegment, 5> segments{};
    std::size_t count = 0;
    void add(double duration_s, double sat_flow, double cleared_veh) {
        segments.at(count++) = {duration_s, sat_flow, cleared_veh};
    }
};

// The cycle of a left-turn lane group with a permitted period, in cycle order.
QueuePolygon left_turn_polygon(const LaneGroup& group, const SignalApproach& approach, const ApproachWork& w,
                               double cycle_s, double sneakers_per_cycle);
// Uniform delay d1 (s/veh) of arrivals q (veh/s per lane) over the polygon repeated to a steady
// cycle.
double polygon_uniform_delay(const QueuePolygon& polygon, double arrival_rate, double cycle_s);
// First-term back of queue (veh/ln): the longest queued time of two time-stepped steady cycles.
double polygon_first_term_queue(const QueuePolygon& polygon, double arrival_rate, double cycle_s,
                                double speed_limit_mph);

// Uniform delay d1, incremental delay d2 and the initial-queue delay d3 with its terms: the
// Chapter 19 kernel's.
using signal_delay::incremental_delay;
using signal_delay::initial_queue_delay;
using signal_delay::initial_queue_terms;
using signal_delay::InitialQueue;
using signal_delay::uniform_delay;
// Incremental-delay factor k of an actuated phase with unit extension UE and the degree of
// saturation at maximum green X_A.
double actuated_k_factor(double unit_extension_s, double x_at_max_green);

// LOS of a lane group (F above capacity) and of a delay alone.
LevelOfService los_of_delay(double delay_s);

}  // namespace hcm::signalized::signalized
