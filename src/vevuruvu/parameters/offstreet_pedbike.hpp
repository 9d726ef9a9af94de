#pragma once
// Constructor parameters of ExclusivePedestrianFacility, SharedUsePathPedestrian and
// OffStreetBicycleFacility (offstreet_pedbike.cpp), each with the record field it sets
// (boundary/declared_fields.hpp). Free of Python, so that the reference's json_tables describes
// the very declaration the constructors are built from.
#include <tuple>
#include <vector>

#include "hcm/offstreet_pedbike/offstreet_pedbike.hpp"
#include "vevuruvu/boundary/declared_fields.hpp"

namespace vevuruvu::parameters {

// A per-mode list argument: exactly five values, the error naming the parameter.
struct FiveModes {
    const char* name;
    hcm::offstreet_pedbike::ModeValues operator()(const std::vector<double>& values) const {
        return hcm::offstreet_pedbike::mode_values(values, name);
    }
};

inline auto exclusive_pedestrian_facility() {
    using namespace boundary::declared;
    namespace op = hcm::offstreet_pedbike;
    using P = op::ExclusivePedestrianFacility;
    return std::tuple{req("total_walkway_width", &P::total_walkway_width),
                      def("fixed_object_width", &P::fixed_object_width, 0.0),
                      opt("pedestrian_demand", &P::pedestrian_demand),
                      opt("peak_15min_volume", &P::peak_15min_volume), opt("phf", &P::phf),
                      opt("pedestrian_speed", &P::pedestrian_speed),
                      def("facility_type", &P::facility_type, "walkway", op::FACILITY_TYPE_WORDS),
                      def("flow_type", &P::flow_type, "random", op::FLOW_TYPE_WORDS)};
}

inline auto shared_use_path_pedestrian() {
    using namespace boundary::declared;
    using S = hcm::offstreet_pedbike::SharedUsePathPedestrian;
    return std::tuple{opt("bicycle_demand_same_direction", &S::bicycle_demand_same_direction),
                      opt("bicycle_demand_opposing", &S::bicycle_demand_opposing), opt("phf", &S::phf),
                      opt("pedestrian_speed", &S::pedestrian_speed), opt("bicycle_speed", &S::bicycle_speed),
                      opt("bicycle_flow_rate_same_direction", &S::bicycle_flow_rate_same_direction),
                      opt("bicycle_flow_rate_opposing", &S::bicycle_flow_rate_opposing),
                      def("is_one_way", &S::is_one_way, false)};
}

inline auto offstreet_bicycle_facility() {
    using namespace boundary::declared;
    using B = hcm::offstreet_pedbike::OffStreetBicycleFacility;
    return std::tuple{req("path_width", &B::path_width), req("segment_length", &B::segment_length),
                      def("has_centerline", &B::has_centerline, false), opt("two_way_demand", &B::two_way_demand),
                      opt("directional_split", &B::directional_split), opt("phf", &B::phf),
                      opt("subject_demand", &B::subject_demand), opt("opposing_demand", &B::opposing_demand),
                      def("is_one_way", &B::is_one_way, false),
                      opt("mode_splits", &B::mode_splits, FiveModes{"mode_splits"}),
                      opt("mode_speeds", &B::mode_speeds, FiveModes{"mode_speeds"}),
                      opt("mode_speed_sds", &B::mode_speed_sds, FiveModes{"mode_speed_sds"})};
}

}  // namespace vevuruvu::parameters
