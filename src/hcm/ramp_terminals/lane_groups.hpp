#pragma once
// Step 3 of the interchange analysis (HCM Chapter 23): the saturation flow rate of each lane
// group from its adjustment factors, with the interchange's own lane utilization and traffic
// pressure. Internal to the chapter: ramp_terminals.hpp is its interface.
#include "hcm/ramp_terminals/ramp_terminals.hpp"

namespace hcm::ramp_terminals::ramp_terminals {

// Lanes of a lane group, at least 1.
double lanes_of(const LaneGroupInput& in);

// Sum of the lane group's green intervals, s.
double total_green(const LaneGroupInput& in);

// Step 3 for one lane group: its adjustment factors and saturation flow into `r`.
void determine_saturation_flow(const Interchange& ix, const OdDemands& od, const LaneGroupInput& in,
                               double od_demand, double left_demand, double right_demand, LaneGroupResult& r);

}  // namespace hcm::ramp_terminals::ramp_terminals
