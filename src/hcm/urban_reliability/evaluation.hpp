#pragma once
// Steps 8 and 9 of the urban street reliability method: each scenario applied to copies of the
// facility's segments and evaluated with the Chapter 18 segment procedure and the Chapter 19
// delay terms at the boundary signals, and the results summarised over the scenarios.
// Internal to the chapter: the study in urban_reliability.hpp is its interface.
#include <span>
#include <vector>

#include "hcm/urban_reliability/urban_reliability.hpp"

namespace hcm::urban_reliability::evaluation {

using urban_reliability::UrbanReliability;
using urban_reliability::UrbanReliabilityResults;
using urban_reliability::UrbanScenario;
using urban_reliability::UrbanScenarioOutcome;
using urban_segments::urban_segments::UrbanSegment;
using common::reliability::TravelTimeObservation;

struct ScenarioContext {
    const UrbanReliability& study;
    std::span<const UrbanSegment> base;
    double free_flow_time_s;     // sum of L / S_f over the segments
    double mean_demand_veh_h;    // mean base through demand
};

// One scenario over all segments, in order. `queues` holds each segment's residual queue, carried
// from the day's previous period and updated; `copies` are the segments as analysed.
UrbanScenarioOutcome evaluate_scenario(const ScenarioContext& cx, const UrbanScenario& sc, std::vector<double>& queues,
                                       std::vector<UrbanSegment>& copies);

// Step 9: the results of the run's scenario outcomes and observations, with the weather events,
// incidents and scenarios stored on the study.
UrbanReliabilityResults summarise(const UrbanReliability& study, std::span<const UrbanScenarioOutcome> outcomes,
                                  std::span<const TravelTimeObservation> observations,
                                  double base_free_flow_travel_time_s);

}  // namespace hcm::urban_reliability::evaluation
