#pragma once
// Constructor parameters of RampSegment (merge_diverge.cpp), each with the record field it sets
// (boundary/declared_fields.hpp). Free of Python, so that the reference's json_tables describes
// the very declaration the constructor is built from.
#include <tuple>

#include "hcm/common/common.hpp"
#include "hcm/common/version.hpp"
#include "hcm/merge_diverge/merge_diverge.hpp"
#include "vevuruvu/boundary/declared_fields.hpp"

namespace vevuruvu::parameters {

inline auto ramp_segment() {
    using namespace boundary::declared;
    namespace md = hcm::merge_diverge;
    using R = md::RampSegment;
    return std::tuple{opt("ramp_type", &R::ramp_type, md::RAMP_TYPE_WORDS),
                      opt("ramp_side", &R::ramp_side, md::RAMP_SIDE_WORDS),
                      opt("ramp_lanes", &R::ramp_lanes, md::ramp_lanes_from_count),
                      opt("freeway_lanes", &R::freeway_lanes), opt("freeway_ffs", &R::freeway_ffs),
                      opt("ramp_ffs", &R::ramp_ffs), opt("accel_lane_length", &R::accel_lane_length),
                      opt("accel_lane_length2", &R::accel_lane_length2),
                      opt("decel_lane_length", &R::decel_lane_length),
                      opt("decel_lane_length2", &R::decel_lane_length2), opt("freeway_demand", &R::freeway_demand),
                      opt("ramp_demand", &R::ramp_demand), opt("phf", &R::phf),
                      opt("heavy_vehicle_pct", &R::heavy_vehicle_pct),
                      opt("ramp_heavy_vehicle_pct", &R::ramp_heavy_vehicle_pct),
                      opt("terrain", &R::terrain, hcm::common::TERRAIN_WORDS),
                      opt("adjacent_upstream", &R::adjacent_upstream, md::ADJACENT_RAMP_WORDS),
                      opt("upstream_distance", &R::upstream_distance),
                      opt("upstream_ramp_flow", &R::upstream_ramp_flow),
                      opt("adjacent_downstream", &R::adjacent_downstream, md::ADJACENT_RAMP_WORDS),
                      opt("downstream_distance", &R::downstream_distance),
                      opt("downstream_ramp_flow", &R::downstream_ramp_flow), opt("caf", &R::caf),
                      opt("saf", &R::saf), opt("version", &R::version, hcm::common::version::from_str)};
}

}  // namespace vevuruvu::parameters
