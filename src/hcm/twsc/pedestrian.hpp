#pragma once
// HCM Chapter 20 pedestrian mode: a crossing of a two-way STOP-controlled intersection, made in one
// or more stages, by the pedestrian gap-acceptance model (critical headway, platooning, blocked
// lanes, delayed crossings, motorist yielding), with the crossing-satisfaction model that turns
// the delay into a share of dissatisfied pedestrians and a LOS letter.
//
//   std::string out = analyze_twsc_pedestrian(R"({"stages": [{"crossing_length_ft": 24,
//                                                 "conflicting_flow_veh_h": 600}]})");
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hcm/common/common.hpp"
#include "json/record_fwd.hpp"

namespace hcm::twsc::pedestrian {

struct PedestrianCrossingStage {
    double crossing_length_ft = 0.0;      // L
    double conflicting_flow_veh_h = 0.0;  // V
    std::uint32_t through_lanes = 2;      // N crossed in the stage (0 counts as 1)
};

struct PedestrianCrossing {
    std::vector<PedestrianCrossingStage> stages;  // in crossing order
    double walk_speed_fps = 3.5;                   // S_p
    double startup_clearance_s = 3.0;              // t_s
    double motorist_yield_rate = 0.0;              // M_y
    bool pedestrian_platooning = false;
    double crosswalk_width_ft = 0.0;      // W_c
    double pedestrian_flow_p_h = 0.0;     // v_p
    double peak_hour_volume_veh_h = 0.0;  // of the crossed street
    double k_factor = 0.0;
    std::optional<double> aadt_veh;
    bool has_rrfb = false;
    bool has_marked_crosswalk = false;
    bool has_median_refuge = false;
};

struct PedestrianStageResult {
    double critical_headway = 0.0;        // t_c, s
    double platoon_size = 0.0;            // N_c
    double spatial_distribution = 0.0;    // N_p
    double group_critical_headway = 0.0;  // t_cG, s
    double prob_blocked_lane = 0.0;       // P_b
    double prob_delayed_crossing = 0.0;   // P_d
    double gap_delay = 0.0;               // d_g, s
    double gap_delay_when_delayed = 0.0;  // d_gd, s
    double average_short_headway = 0.0;   // h, s
    std::uint32_t yield_events = 0;       // n_y
    std::vector<double> prob_yield;       // n_y + 1 entries: 0, then P(Y_i)
    double delay = 0.0;                   // d_p, s
};

struct PedestrianCrossingAnalysis {
    std::vector<PedestrianStageResult> stages;
    double delay = 0.0;  // s, all stages
    std::string delay_interpretation;
    double odds_satisfied_no_delay = 0.0;
    double prob_satisfied_no_delay = 0.0;
    double prob_dissatisfied_no_delay = 0.0;
    double odds_satisfied_delay = 0.0;
    double prob_satisfied_delay = 0.0;
    double prob_dissatisfied_delay = 0.0;
    double prob_delayed_crossing = 0.0;   // P_d of the first stage
    double prob_yield_first_event = 0.0;  // P(Y_1) of the first stage
    double prob_non_delayed = 0.0;        // w
    double proportion_dissatisfied = 0.0;
    common::LevelOfService los = common::LevelOfService::A;
};

// The most yielding events a crossing may count, a stage alone or all its stages together (each
// event lists one probability): an absurd crossing (hundreds of millions of events, an infinite
// count, or thousands of stages of many events each) is refused rather than listed.
inline constexpr std::uint32_t MAX_YIELD_EVENTS = 100'000;
// The most stages a crossing may have: each lists its own results, with or without yielding
// events, so the output of a crossing stays bounded however few events its stages count.
inline constexpr std::uint32_t MAX_CROSSING_STAGES = 100'000;

// One stage; hcm::Error "too many yielding events: {n_y}" beyond MAX_YIELD_EVENTS.
PedestrianStageResult analyze_stage(const PedestrianCrossing& crossing, const PedestrianCrossingStage& stage);
// The whole crossing, stage by stage (polling for cancellation before each): hcm::Error
// "too many stages: {n}" beyond MAX_CROSSING_STAGES, before any stage; the failure of a stage, or
// hcm::Error "too many yielding events over the crossing's stages: {n} by stage {k}" when
// the events of stages 1 to k (k counted from 1) pass MAX_YIELD_EVENTS together; nothing beyond
// the bound is listed before that.
PedestrianCrossingAnalysis analyze(const PedestrianCrossing& crossing);

// The text interpreting a crossing delay (s); above 45 s, or not a number, the last one.
const char* interpret_delay(double delay);
// LOS of a share of dissatisfied pedestrians (each bound belongs to the worse letter; not a number: F).
common::LevelOfService los_of_dissatisfied(double proportion);

// JSON in, compact JSON out: "invalid pedestrian crossing config: {}" for a document that does not
// fit, "serialize error: {}" should the writer fail, and the failure of analyze.
std::string analyze_twsc_pedestrian(std::string_view config_json);

const jsonio::Record<PedestrianCrossingStage>& json_record(jsonio::Tag<PedestrianCrossingStage>);
const jsonio::Record<PedestrianCrossing>& json_record(jsonio::Tag<PedestrianCrossing>);
const jsonio::Record<PedestrianStageResult>& json_record(jsonio::Tag<PedestrianStageResult>);
const jsonio::Record<PedestrianCrossingAnalysis>& json_record(jsonio::Tag<PedestrianCrossingAnalysis>);

}  // namespace hcm::twsc::pedestrian
