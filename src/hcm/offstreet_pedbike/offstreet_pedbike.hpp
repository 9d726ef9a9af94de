#pragma once
// HCM Chapter 24, off-street pedestrian and bicycle facilities, step by step:
//   - exclusive pedestrian facilities (walkways, cross-flow areas, stairways): effective width,
//     unit flow rate, space, LOS and v/c (Equations 24-1 to 24-4);
//   - pedestrians on shared-use paths: bicycle passing and meeting events and LOS
//     (Equations 24-5 to 24-7, Exhibit 24-4);
//   - off-street bicycle facilities with five user modes: active passings, meetings, delayed
//     passings and the BLOS score (Equations 24-8 to 24-35, Exhibit 24-14).
//
// Each record holds its inputs and, in optional fields, the results of the steps run so far. A
// step computes any missing predecessor, stores what it computes and returns its own value; the
// inputs never change after construction, so stored results stay consistent with them. No step
// fails: zero demand, a zero peak hour factor or a zero speed zero the affected terms.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <utility>

#include "base/options.hpp"
#include "hcm/common/common.hpp"

namespace hcm::offstreet_pedbike {

using hcm::common::LevelOfService;

// ---- Exclusive pedestrian facilities ----

enum class FacilityType : std::uint8_t { Walkway, CrossFlow, Stairway };
enum class FlowType : std::uint8_t { Random, Platooned };

// Lower-cased, blanks, hyphens and underscores removed: "Cross_Flow" and "cross-flow" match.
inline constexpr base::OptionTable<FacilityType, 3> FACILITY_TYPE_WORDS{
    base::Normalise::Lower | base::Normalise::NoSeparators,
    "unknown facility_type '{}'; expected 'walkway', 'cross_flow', or 'stairway'",
    {{{"walkway", FacilityType::Walkway}, {"crossflow", FacilityType::CrossFlow},
      {"stairway", FacilityType::Stairway}}}};

// Lower-cased only (hyphens are kept).
inline constexpr base::OptionTable<FlowType, 3> FLOW_TYPE_WORDS{
    base::Normalise::Lower,
    "unknown flow_type '{}'; expected 'random' or 'platooned'",
    {{{"random", FlowType::Random}, {"platoon", FlowType::Platooned}, {"platooned", FlowType::Platooned}}}};

struct ExclusivePedestrianFacility {
    // Inputs.
    double total_walkway_width = 0.0;         // W_T (ft)
    double fixed_object_width = 0.0;          // W_o, width taken by fixed objects (ft)
    std::optional<double> pedestrian_demand;  // hourly demand (p/h); absent counts as 0
    std::optional<double> peak_15min_volume;  // measured peak 15-min volume (p); replaces demand / (4 PHF)
    double phf = 0.85;
    double pedestrian_speed = 300.0;          // S_p (ft/min)
    FacilityType facility_type = FacilityType::Walkway;
    FlowType flow_type = FlowType::Random;

    // Results.
    std::optional<double> effective_width;   // W_E (ft)
    std::optional<double> flow_rate_15min;   // v_15 (p)
    std::optional<double> unit_flow_rate;    // v_p (p/ft/min)
    std::optional<double> pedestrian_space;  // A_p (ft2/p); absent when v_p is not above 0
    std::optional<double> vc_ratio;
    std::optional<LevelOfService> los;

    // Step 1 (Equation 24-1): W_E = max(W_T - W_o, 0). Always recomputed.
    double determine_effective_walkway_width();
    // Step 2 (Equations 24-2 and 24-3): v_15 and v_p = v_15 / (15 W_E). v_15 is always
    // recomputed; W_E is reused when stored. With pedestrians on a facility of no effective width
    // v_p is +inf (the facility is blocked), with none it is 0.
    double calculate_pedestrian_flow_rate();
    // Step 3 (Equation 24-4): A_p = S_p / v_p; +inf (and nothing stored) when v_p is not above 0.
    double calculate_average_pedestrian_space();
    // Step 4: the LOS letter of the space for the facility and flow type.
    LevelOfService determine_los();
    // Step 5: v_p over the pedestrian capacity of the facility and flow type.
    double calculate_volume_to_capacity_ratio();
    // Steps 1 to 5, all recomputed; returns the letter.
    LevelOfService analyze();

private:
    double stored_unit_flow_rate();
};

// Pedestrian capacity (p/ft/min) of the facility and flow type.
double pedestrian_capacity(FacilityType facility, FlowType flow);
// The LOS of an average pedestrian space A_p (ft2/p), +inf meaning no pedestrians.
LevelOfService pedestrian_los(FacilityType facility, FlowType flow, double space);

// ---- Pedestrians on shared-use paths ----

struct PathEvents {
    double passing = 0.0;  // F_p (events/h)
    double meeting = 0.0;  // F_m (events/h)
    double total = 0.0;    // F = F_p + 0.5 F_m (events/h)
};

struct SharedUsePathPedestrian {
    // Inputs (bicycles/h; speeds mi/h).
    std::optional<double> bicycle_demand_same_direction;
    std::optional<double> bicycle_demand_opposing;
    std::optional<double> bicycle_flow_rate_same_direction;  // replaces demand / PHF
    std::optional<double> bicycle_flow_rate_opposing;        // replaces demand / PHF
    double phf = 0.85;
    double pedestrian_speed = 3.4;  // S_p
    double bicycle_speed = 12.8;    // S_b
    bool is_one_way = false;        // no opposing bicycles

    // Results (events/h).
    std::optional<double> passing_events;  // F_p
    std::optional<double> meeting_events;  // F_m
    std::optional<double> total_events;    // F
    std::optional<LevelOfService> los;

    // Steps 1 and 2 (Equations 24-5 to 24-7), always recomputed.
    PathEvents calculate_bicycle_passing_and_meeting_events();
    // Step 3 (Exhibit 24-4), from the stored F when present.
    LevelOfService determine_los();
    // Steps 1 to 3, events recomputed; returns the letter.
    LevelOfService analyze();
};

// Exhibit 24-4: the LOS of F events/h (bounds inclusive; not a number is F).
LevelOfService shared_path_pedestrian_los(double events_per_hour);

// ---- Off-street bicycle facilities ----

// The user modes of a path, always in this order: bicycle, pedestrian, runner, inline skater,
// child bicyclist.
inline constexpr std::size_t MODE_COUNT = 5;
using ModeValues = std::array<double, MODE_COUNT>;

// Chapter 24 default mode splits, mean speeds and speed standard deviations (mi/h).
inline constexpr ModeValues DEFAULT_MODE_SPLITS = {0.55, 0.20, 0.10, 0.10, 0.05};
inline constexpr ModeValues DEFAULT_MODE_SPEEDS = {12.8, 3.4, 6.5, 10.1, 7.9};
inline constexpr ModeValues DEFAULT_MODE_SPEED_SDS = {3.4, 0.6, 1.2, 2.7, 1.9};

// A per-mode list given by the caller; hcm::Error "{name} must contain exactly 5 values (...)"
// unless it has exactly five.
ModeValues mode_values(std::span<const double> values, std::string_view name);

struct OffStreetBicycleFacility {
    // Inputs.
    double path_width = 0.0;      // RW (ft)
    double segment_length = 0.0;  // L (mi)
    bool has_centerline = false;  // CL
    std::optional<double> two_way_demand;   // users/h, both directions; absent counts as 0
    double directional_split = 0.5;         // D, share of the subject direction
    double phf = 0.85;
    std::optional<double> subject_demand;   // users/h; replaces two-way demand x D
    std::optional<double> opposing_demand;  // users/h; replaces two-way demand x (1 - D)
    bool is_one_way = false;                // no opposing users
    ModeValues mode_splits = DEFAULT_MODE_SPLITS;
    ModeValues mode_speeds = DEFAULT_MODE_SPEEDS;  // the subject bicyclist rides at mode 0's speed S_0
    ModeValues mode_speed_sds = DEFAULT_MODE_SPEED_SDS;

    // Results.
    std::optional<ModeValues> subject_flow_rates;   // q_s,i (modal users/h)
    std::optional<ModeValues> opposing_flow_rates;  // q_o,i (modal users/h)
    std::optional<ModeValues> active_passings_by_mode;  // per minute
    std::optional<double> active_passings_per_minute;   // A_T
    std::optional<double> on_path_meetings;             // per minute, opposing users already on the segment
    std::optional<ModeValues> meetings_by_mode;         // per minute, users entering while the bicyclist rides
    std::optional<double> meetings_per_minute;          // M_T
    std::optional<std::uint8_t> effective_lanes;        // 2, 3 or 4
    std::optional<double> total_probability_delayed_passing;  // P_Tds
    std::optional<double> delayed_passings_per_minute;        // DP
    std::optional<double> weighted_events_per_minute;         // E = M_T + 10 A_T
    std::optional<double> blos_score;
    std::optional<LevelOfService> los;

    // Step 1 (Equation 24-8): hourly directional flow rates by mode. Always recomputed; the
    // later steps compute it only when absent.
    std::pair<ModeValues, ModeValues> calculate_directional_flow_rates();
    // Step 2 (Equations 24-9 to 24-12): A_T. Always recomputed.
    double calculate_active_passings_per_minute();
    // Step 3 (Equations 24-13 to 24-16): M_T. Always recomputed.
    double calculate_meetings_per_minute();
    // Step 4 (Exhibit 24-14): effective lanes from the path width. Always recomputed.
    std::uint8_t determine_number_of_effective_lanes();
    // Step 5 (Equations 24-17 to 24-33): P_Tds. Always recomputed.
    double calculate_probability_of_delayed_passing();
    // Step 6 (Equation 24-34): DP = A_T P_Tds PHF. Always recomputed.
    double calculate_delayed_passings_per_minute();
    // Step 7 (Equation 24-35): E, the BLOS score and its letter. Always recomputed.
    double determine_blos();
    // Step 8: the low-volume adjustment of the letter (E <= 5 gives A, E <= 10 at least B).
    LevelOfService adjust_los_for_low_volume_paths();
    // Steps 1 to 8; returns the letter.
    LevelOfService analyze();

private:
    std::pair<ModeValues, ModeValues> stored_flow_rates();
    double stored_active_passings();
    double stored_probability_delayed_passing();
    // Steps 2, 3 and 7 on the record itself; the public steps run them on a copy, so that a
    // cancelled integration leaves the record as it was.
    double active_passings_step();
    double meetings_step();
    double blos_step();
};

// The BLOS letter of a score (strict lower bounds; not a number is F).
LevelOfService bicycle_los(double blos);
// Exhibit 24-14: 2 lanes below 11 ft, 3 below 15 ft, else 4.
std::uint8_t lanes_for_width(double path_width);

// The normal distribution function of a mode's speed at v (mi/h), through the
// Abramowitz-Stegun 7.1.26 error function; a step at the mean when the s.d. is not above 0.
double mode_speed_cdf(double mean, double sd, double v);

}  // namespace hcm::offstreet_pedbike
