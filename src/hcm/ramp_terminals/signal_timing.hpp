#pragma once
// Signal timing between the two intersections of an interchange (HCM Chapter 23, Steps 1-3 of
// the lane-group phase): the internal links and their feeders, the downstream-queue and
// demand-starvation lost times, and the effective green of every lane group. Internal to the
// chapter: ramp_terminals.hpp is its interface.
#include <array>
#include <cstddef>
#include <optional>
#include <vector>

#include "hcm/ramp_terminals/od_paths.hpp"

namespace hcm::ramp_terminals::ramp_terminals {

// The lane groups of one internal link, eastbound or westbound (absent roles have no index).
struct Link {
    std::optional<std::size_t> internal;       // I: internal through, downstream
    std::optional<std::size_t> upstream;       // U: external through feeding I
    std::optional<std::size_t> ramp;           // R: ramp feeding I
    std::optional<std::size_t> opposing_left;  // L: the other direction's internal left
    double through_demand = 0.0;               // v_th
};

// The eastbound and westbound internal links.
std::array<Link, 2> internal_links(const Interchange& ix, const Paths& paths, const OdDemands& od);

// Steps 1-3: lost times and effective green of every lane group.
void determine_effective_green(const Interchange& ix, const std::array<Link, 2>& links,
                               std::vector<LaneGroupResult>& results);

}  // namespace hcm::ramp_terminals::ramp_terminals
