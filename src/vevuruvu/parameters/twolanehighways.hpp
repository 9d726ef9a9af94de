#pragma once
// Constructor parameters of SubSegment, Segment, TwoLaneHighways and BicycleLOS
// (twolanehighways.cpp), each with the record field it sets (boundary/declared_fields.hpp). Free
// of Python, so that the reference's json_tables describes the very declaration the constructors
// are built from.
#include <tuple>

#include "hcm/twolanehighways/bicycle.hpp"
#include "hcm/twolanehighways/twolanehighways.hpp"
#include "vevuruvu/boundary/declared_fields.hpp"

namespace vevuruvu::parameters {

inline auto subsegment() {
    using namespace boundary::declared;
    using Sub = hcm::twolanehighways::SubSegment;
    return std::tuple{opt("length", &Sub::length), opt("avg_speed", &Sub::avg_speed),
                      opt("hor_class", &Sub::hor_class), opt("design_rad", &Sub::design_rad),
                      opt("central_angle", &Sub::central_angle), opt("sup_ele", &Sub::sup_ele)};
}

inline auto segment() {
    using namespace boundary::declared;
    using S = hcm::twolanehighways::Segment;
    return std::tuple{req("passing_type", &S::passing_type), req("length", &S::length), req("grade", &S::grade),
                      req("spl", &S::spl), opt("is_hc", &S::is_hc), opt("volume", &S::volume),
                      opt("volume_op", &S::volume_op), opt("flow_rate", &S::flow_rate),
                      opt("flow_rate_o", &S::flow_rate_o), opt("capacity", &S::capacity), opt("ffs", &S::ffs),
                      opt("avg_speed", &S::avg_speed), opt("vertical_class", &S::vertical_class),
                      opt("subsegments", &S::subsegments), opt("phf", &S::phf), opt("phv", &S::phv),
                      opt("pf", &S::pf), opt("fd", &S::fd), opt("fd_mid", &S::fd_mid),
                      opt("hor_class", &S::hor_class)};
}

inline auto two_lane_highways() {
    using namespace boundary::declared;
    using F = hcm::twolanehighways::TwoLaneHighways;
    return std::tuple{req("segments", &F::segments), opt("lane_width", &F::lane_width),
                      opt("shoulder_width", &F::shoulder_width), opt("apd", &F::apd), opt("pmhvfl", &F::pmhvfl),
                      opt("l_de", &F::l_de)};
}

inline auto bicycle_los() {
    using namespace boundary::declared;
    using B = hcm::twolanehighways::BicycleLOS;
    return std::tuple{req("lane_width", &B::lane_width), req("shoulder_width", &B::shoulder_width),
                      req("speed_limit", &B::speed_limit), req("num_lanes", &B::num_lanes),
                      req("pavement_condition", &B::pavement_condition), req("hourly_volume", &B::hourly_volume),
                      req("phf", &B::phf), req("heavy_vehicle_pct", &B::heavy_vehicle_pct),
                      req("pct_on_highway_parking", &B::pct_on_highway_parking)};
}

}  // namespace vevuruvu::parameters
