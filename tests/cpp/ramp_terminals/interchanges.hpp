#pragma once
// Interchanges the ramp terminal tests share: a diamond with every lane group a diamond has,
// signalized, and lane groups built by name.
#include <string_view>

#include "hcm/ramp_terminals/ramp_terminals.hpp"

namespace ramp_fixtures {

namespace rt = hcm::ramp_terminals::ramp_terminals;

inline rt::InterchangeMovement movement(std::string_view name) { return *rt::InterchangeMovement::from_name(name); }

// One signalized lane group green from `begin` for `duration` s: Y 4 s, start-up lost time 2 s,
// extension 2 s (so g = G), 12 ft lanes, no heavy vehicles, grade, parking or buses, arrival type 3.
inline rt::LaneGroupInput group(std::string_view name, std::uint32_t lanes, double begin, double duration) {
    rt::LaneGroupInput g;
    g.movement = movement(name);
    g.lanes = lanes;
    g.greens = {{begin, duration}};
    g.yellow_all_red_s = 4.0;
    g.start_up_lost_time_s = 2.0;
    g.extension_of_green_s = 2.0;
    g.lane_width_ft = 12.0;
    g.arrival_type = 3;
    g.speed_limit_mph = 35.0;
    return g;
}

// A diamond with a 100 s cycle, s0 1800 pc/h/ln, PHF 1 and 2000 ft between the intersections (no
// spillback). Arterial through groups have 2 lanes and are green 0-40 s, internal lefts 45-65 s,
// ramps 70-95 s. O-D I travels 300 ft extra at 30 mi/h with 4 s of acceleration delay.
inline rt::Interchange diamond() {
    rt::Interchange ix;
    ix.form = rt::InterchangeForm::Diamond;
    ix.cycle_length_s = 100.0;
    ix.analysis_period_h = 0.25;
    ix.base_saturation_flow = 1800.0;
    ix.peak_hour_factor = 1.0;
    ix.distance_between_intersections_ft = 2000.0;
    ix.queue_spacing_ft = 25.0;
    ix.od = {100, 150, 120, 200, 150, 100, 80, 160, 500, 450, 0, 50, 30, 40};
    ix.extra_distance_speed_mph = 30.0;
    ix.extra_distances[8] = {300.0, 4.0, std::nullopt};
    ix.lane_groups = {
        group("EbExtThrough", 2, 0, 40), group("EbExtRight", 1, 0, 40),  group("EbIntThrough", 2, 0, 40),
        group("EbIntLeft", 1, 45, 20),   group("WbExtThrough", 2, 0, 40), group("WbExtRight", 1, 0, 40),
        group("WbIntThrough", 2, 0, 40), group("WbIntLeft", 1, 45, 20),  group("NbRampLeft", 1, 70, 25),
        group("NbRampRight", 1, 70, 25), group("SbRampLeft", 1, 70, 25), group("SbRampRight", 1, 70, 25),
    };
    return ix;
}

inline const rt::LaneGroupResult& result(const rt::Interchange& ix, std::string_view name) {
    return rt::lane_group_result(ix, name);
}

inline rt::LaneGroupInput& input(rt::Interchange& ix, std::string_view name) {
    for (rt::LaneGroupInput& g : ix.lane_groups)
        if (g.movement == movement(name)) return g;
    throw std::logic_error("no lane group in the fixture");
}

}  // namespace ramp_fixtures
