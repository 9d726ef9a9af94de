#pragma once
// Steps 4-8 of the interchange analysis (HCM Chapter 23): the capacity of each lane group
// (signalized or yielding), the upstream filtering of the internal approaches, and the control
// delay and back of queue. Internal to the chapter: ramp_terminals.hpp is its interface.
#include <array>

#include "hcm/ramp_terminals/signal_timing.hpp"

namespace hcm::ramp_terminals::ramp_terminals {

// Step 4: capacity and v/c ratio into `r`.
void determine_capacity(const Interchange& ix, const LaneGroupInput& in, LaneGroupResult& r);

// Step 5: the upstream filtering factor I of every lane group.
void determine_upstream_filtering(const Interchange& ix, const std::array<Link, 2>& links,
                                  std::vector<LaneGroupResult>& results);

// Steps 6-8: control delay, and for a signalized group its terms, back of queue and storage ratio.
void determine_delay(const Interchange& ix, const LaneGroupInput& in, LaneGroupResult& r);

}  // namespace hcm::ramp_terminals::ramp_terminals
