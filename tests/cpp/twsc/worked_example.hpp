#pragma once
// The four-leg intersection of the chapter's worked example: two through lanes per direction,
// shared major right turns, exclusive major left turns, no pedestrians, heavy vehicles or grades.
#include "hcm/twsc/twsc.hpp"

namespace twsc_test {

inline hcm::twsc::twsc::Twsc worked_example() {
    hcm::twsc::twsc::Twsc t;
    t.geometry.major_lanes_per_direction = 2;
    t.demand = {.v1 = 100, .v2 = 900, .v3 = 100, .v4 = 80, .v5 = 800, .v6 = 120, .v7 = 60, .v8 = 40, .v9 = 70,
                .v10 = 50, .v11 = 30, .v12 = 60};
    return t;
}

}  // namespace twsc_test
