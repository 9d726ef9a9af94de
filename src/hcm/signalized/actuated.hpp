#pragma once
// Average phase durations of a fully actuated controller (HCM Chapter 31, Section 2, Equations
// 31-1 through 31-45) on the dual-ring, eight-phase structure with barriers after phases 2/6 and
// 4/8: queue service time, green extension, maximum allowable headway and the max-out and call
// probabilities of every phase, iterated with the cycle length until the greens settle.
//
//   analyze(x);   // the lane groups carry the flows and saturation flows the estimate reads
//   std::string json = actuated_timings_json(x, /*simultaneous_gap_out=*/true);
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hcm/signalized/signalized.hpp"

namespace hcm::signalized::actuated {

using signalized::ActuatedPhaseResult;
using signalized::SignalizedIntersection;

// Defaults of phase settings the document leaves out.
inline constexpr double DEFAULT_MIN_GREEN_S = 5.0;
inline constexpr double DEFAULT_PASSAGE_TIME_S = 2.0;
inline constexpr double DEFAULT_DETECTOR_LENGTH_FT = 40.0;

enum class MovementType : std::uint8_t {
    Through,
    ProtectedLeft,
    PermittedLeft,
    ExclusiveRight,
    SharedLeftThrough,
    SharedRightThrough,
};

// One lane group served by a phase.
struct ActuatedMovement {
    MovementType type = MovementType::Through;
    double flow = 0.0;                // v, veh/h
    double sat_flow = 0.0;            // s, veh/h/ln
    double sat_flow_permitted = 0.0;  // s_perm of permitted left turns and shared left-through lanes
    double g_u = 0.0;                 // unsaturated permitted green of those, s
    std::uint32_t lanes = 0;
    double pct_heavy_vehicles = 0.0;
    double detector_length_ft = DEFAULT_DETECTOR_LENGTH_FT;
};

// One phase: its settings, from the phase timing and its approach, and its movements.
struct ActuatedPhaseInput {
    std::uint8_t phase_no = 0;
    bool left = false;                 // an approach's left-turn phase
    std::optional<double> ped_time_s;  // walk + pedestrian clear, when both are set
    double max_green_s = 0.0;
    double min_green_s = DEFAULT_MIN_GREEN_S;
    double passage_time_s = DEFAULT_PASSAGE_TIME_S;
    double yellow_s = 0.0;
    double red_clearance_s = 0.0;
    double ped_flow_ph = 0.0;
    double speed_limit_mph = 0.0;
    bool recall_max = false;
    std::vector<ActuatedMovement> movements;
};

// The phases of the stored lane groups, in ascending phase number; a phase number that no
// approach's through or left phase carries is left out.
std::vector<ActuatedPhaseInput> actuated_phase_inputs(const SignalizedIntersection& intersection);

// The estimate for the phases with the base saturation flow s0 (pc/h/ln), in phase order.
std::vector<ActuatedPhaseResult> estimate_fully_actuated(const std::vector<ActuatedPhaseInput>& phases,
                                                         double base_saturation_flow, bool simultaneous_gap_out);

// The estimate for the intersection's stored lane groups as a compact JSON array ("[]" without
// lane groups).
std::string actuated_timings_json(const SignalizedIntersection& intersection, bool simultaneous_gap_out);

}  // namespace hcm::signalized::actuated
