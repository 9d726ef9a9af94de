#pragma once
// Builders of signalized intersection documents for the tests: an approach with one through lane
// of 12 ft, random arrivals (platoon ratios 1), I = 1, 35 mi/h, and nothing else until a test
// sets it.
#include <cstdint>
#include <stdexcept>
#include <utility>
#include <vector>

#include "hcm/signalized/signalized.hpp"

namespace signalized_fixtures {

namespace si = hcm::signalized::signalized;
using si::Direction;

inline si::PhaseTiming phase(std::uint8_t number, double duration, double yellow = 4.0, double red = 1.0) {
    si::PhaseTiming p;
    p.phase_no = number;
    p.duration_s = duration;
    p.yellow_s = yellow;
    p.red_clearance_s = red;
    return p;
}

inline si::SignalApproach approach(Direction d, si::PhaseTiming through) {
    si::SignalApproach a;
    a.direction = d;
    a.platoon_ratio_left = a.platoon_ratio_through = 1.0;
    a.upstream_filtering_i = 1.0;
    a.through_lanes = 1;
    a.lane_width_ft = 12.0;
    a.receiving_lanes = 2;
    a.speed_limit_mph = 35.0;
    a.through_phase = through;
    return a;
}

// A 100 s pretimed cycle, T = 0.25 h, s0 = 1,900 pc/h/ln, two sneakers per cycle.
inline si::SignalizedIntersection intersection(std::vector<si::SignalApproach> approaches) {
    si::SignalizedIntersection x;
    x.cycle_length_s = 100.0;
    x.analysis_period_h = 0.25;
    x.base_saturation_flow = 1900.0;
    x.sneakers_per_cycle = 2.0;
    x.approaches = std::move(approaches);
    return x;
}

// NB: one permitted left lane (100 veh/h) and one through lane (500 veh/h); SB opposes with
// 600 veh/h on one lane. Both through phases 50 s with Y + R 5 s.
inline si::SignalizedIntersection permitted_left_against_one_lane() {
    auto nb = approach(Direction::NB, phase(2, 50));
    nb.volume_left = 100;
    nb.volume_through = 500;
    nb.exclusive_left_lanes = 1;
    nb.left_turn_mode = si::LeftTurnMode::Permitted;
    auto sb = approach(Direction::SB, phase(6, 50));
    sb.volume_through = 600;
    return intersection({nb, sb});
}

inline const si::LaneGroup& group_of(const si::SignalizedIntersection& x, Direction d, si::LaneGroupKind kind) {
    for (const si::LaneGroup& g : x.lane_groups) {
        if (g.direction == d && g.kind == kind) return g;
    }
    throw std::out_of_range("no such lane group");
}

}  // namespace signalized_fixtures
