#pragma once
// Step 3 of the interchange analysis (HCM Chapter 23): the saturation flow rate of each lane
// group from its adjustment factors, with the interchange's own lane utilization and traffic
// pressure. Internal to the chapter: ramp_terminals.hpp is its interface.
#include <algorithm>
#include <cstdint>

#include "base/numeric.hpp"
#include "base/units.hpp"
#include "hcm/ramp_terminals/ramp_terminals.hpp"

namespace hcm::ramp_terminals::ramp_terminals {

// The short names the chapter's step files share.
using base::max2;
using base::min2;
using base::units::SECONDS_PER_HOUR;
namespace ex = exhibits;
using A = InterchangeApproach;
using Leg = InterchangeLeg;
using Turn = MovementTurn;

// Lanes of a lane group, at least 1.
inline double lanes_of(const LaneGroupInput& in) {
    return static_cast<double>(std::max<std::uint32_t>(in.lanes, 1));
}

// Sum of the lane group's green intervals, s.
inline double total_green(const LaneGroupInput& in) {
    double g = 0.0;
    for (const GreenInterval& iv : in.greens) g += iv.duration_s;
    return g;
}

// Step 3 for one lane group: its adjustment factors and saturation flow into `r`.
void determine_saturation_flow(const Interchange& ix, const OdDemands& od, const LaneGroupInput& in,
                               double od_demand, double left_demand, double right_demand, LaneGroupResult& r);

}  // namespace hcm::ramp_terminals::ramp_terminals
