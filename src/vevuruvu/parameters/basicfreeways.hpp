#pragma once
// Constructor parameters of BasicFreeways and ManagedLanes (basicfreeways.cpp), each with the
// record field it sets (boundary/declared_fields.hpp). Free of Python, so that the reference's
// json_tables describes the very declaration the constructors are built from.
#include <string_view>
#include <tuple>

#include "base/text.hpp"
#include "hcm/basicfreeways/basicfreeways.hpp"
#include "hcm/basicfreeways/managed_lanes.hpp"
#include "vevuruvu/boundary/declared_fields.hpp"

namespace vevuruvu::parameters {

// city_type: "rural" in any case selects the rural thresholds; any other word the urban ones.
inline bool is_rural_city(std::string_view city_type) { return base::text::lower_ascii(city_type) == "rural"; }

inline auto basic_freeways() {
    using namespace boundary::declared;
    using BF = hcm::basicfreeways::basicfreeways::BasicFreeways;
    return std::tuple{opt("bffs", &BF::bffs), opt("lane_width", &BF::lane_width), opt("lane_count", &BF::lane_count),
                      opt("lc_r", &BF::lc_r), opt("lc_l", &BF::lc_l), opt("trd", &BF::trd), opt("apd", &BF::apd),
                      opt("grade", &BF::grade), opt("terrain_type", &BF::terrain_type),
                      opt("speed_limit", &BF::speed_limit), opt("phf", &BF::phf), opt("p_t", &BF::p_t),
                      opt("demand_flow_i", &BF::demand_flow_i), opt("length", &BF::length),
                      opt("highway_type", &BF::highway_type), opt("city_type", &BF::is_rural, is_rural_city),
                      opt("sut_percentage", &BF::sut_percentage)};
}

inline auto managed_lanes() {
    using namespace boundary::declared;
    namespace ml = hcm::basicfreeways::managed_lanes;
    using ML = ml::ManagedLaneSegment;
    return std::tuple{opt("lane_type", &ML::lane_type, ml::LANE_TYPE_WORDS), opt("ffs", &ML::ffs),
                      opt("demand", &ML::v_p), opt("gp_density", &ML::k_gp), opt("caf", &ML::caf),
                      opt("saf", &ML::saf)};
}

}  // namespace vevuruvu::parameters
