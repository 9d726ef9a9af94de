#pragma once
// Constructor parameters of WeavingSegment (weaving.cpp), each with the record field it sets
// (boundary/declared_fields.hpp). Free of Python, so that the reference's json_tables describes
// the very declaration the constructor is built from.
#include <tuple>

#include "hcm/common/common.hpp"
#include "hcm/common/version.hpp"
#include "hcm/weaving/weaving.hpp"
#include "vevuruvu/boundary/declared_fields.hpp"

namespace vevuruvu::parameters {

inline auto weaving_segment() {
    using namespace boundary::declared;
    namespace hw = hcm::weaving::weaving;
    using W = hw::WeavingSegment;
    return std::tuple{opt("weaving_type", &W::weaving_type, hw::WEAVING_TYPE_WORDS),
                      opt("facility_type", &W::facility_type, hw::FACILITY_TYPE_WORDS),
                      opt("length_short", &W::length_short), opt("num_lanes", &W::num_lanes),
                      opt("num_weaving_lanes", &W::num_weaving_lanes), opt("ffs", &W::ffs), opt("v_ff", &W::v_ff),
                      opt("v_fr", &W::v_fr), opt("v_rf", &W::v_rf), opt("v_rr", &W::v_rr), opt("phf", &W::phf),
                      opt("heavy_vehicle_pct", &W::heavy_vehicle_pct),
                      opt("terrain", &W::terrain, hcm::common::TERRAIN_WORDS), opt("lc_rf", &W::lc_rf),
                      opt("lc_fr", &W::lc_fr), opt("lc_rr", &W::lc_rr),
                      opt("interchange_density", &W::interchange_density),
                      opt("basic_freeway_capacity", &W::basic_freeway_capacity), opt("caf", &W::caf),
                      opt("saf", &W::saf), opt("version", &W::version, hcm::common::version::from_str),
                      opt("nw_rf", &W::nw_rf), opt("nw_fr", &W::nw_fr), opt("nw_rr", &W::nw_rr)};
}

}  // namespace vevuruvu::parameters
