#pragma once
// Experienced travel time of the O-D movements (HCM Equations 23-51 and 23-52) and the
// interchange LOS. Internal to the chapter: ramp_terminals.hpp is its interface.
#include <vector>

#include "hcm/ramp_terminals/od_paths.hpp"

namespace hcm::ramp_terminals::ramp_terminals {

// LOS of an experienced travel time (Exhibit 23-13 thresholds).
LevelOfService interchange_los(double ett_s);

// One result per O-D movement with demand and a path (F and G count without one).
std::vector<OdResult> determine_od_results(const Interchange& ix, const Paths& paths, const OdDemands& od,
                                           const std::vector<LaneGroupResult>& results);

}  // namespace hcm::ramp_terminals::ramp_terminals
