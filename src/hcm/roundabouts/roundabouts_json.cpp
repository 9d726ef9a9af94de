// The roundabout document: one table per record drives reading and writing.
#include "hcm/roundabouts/roundabouts.hpp"
#include "json/character.hpp"
#include "json/jsonio.hpp"

namespace hcm::roundabouts::roundabouts {

const jsonio::Record<RoundaboutLaneResult>& json_record(jsonio::Tag<RoundaboutLaneResult>) {
    // A lane of zero capacity has an infinite or undefined delay: written null, read back as NaN.
    using L = RoundaboutLaneResult;
    static const jsonio::Record<L> record{"RoundaboutLaneResult",
                                          {
                                              jsonio::required("label", &L::label),
                                              jsonio::result("flow_pce", &L::flow_pce),
                                              jsonio::result("flow_veh", &L::flow_veh),
                                              jsonio::result("capacity_pce", &L::capacity_pce),
                                              jsonio::result("capacity_veh", &L::capacity_veh),
                                              jsonio::result("v_c_ratio", &L::v_c_ratio),
                                              jsonio::result("control_delay", &L::control_delay),
                                              jsonio::required("los", &L::los, jsonio::CHARACTER),
                                              jsonio::result("queue_95", &L::queue_95),
                                          },
                                          jsonio::UnknownKeys::ignore, jsonio::ArrayForm::all_fields};
    return record;
}

const jsonio::Record<RoundaboutApproach>& json_record(jsonio::Tag<RoundaboutApproach>) {
    using A = RoundaboutApproach;
    static const jsonio::Record<A> record{
        "RoundaboutApproach",
        {
            jsonio::with_default("v_u", &A::v_u, 0.0),
            jsonio::with_default("v_l", &A::v_l, 0.0),
            jsonio::with_default("v_t", &A::v_t, 0.0),
            jsonio::with_default("v_r", &A::v_r, 0.0),
            jsonio::with_default("heavy_vehicle_pct", &A::heavy_vehicle_pct, 0.0),
            jsonio::with_default("entry_lanes", &A::entry_lanes, 1),
            jsonio::with_default("circulating_lanes", &A::circulating_lanes, 1),
            jsonio::with_default("exiting_lanes", &A::exiting_lanes, 1),
            jsonio::with_default("bypass", &A::bypass, BypassType::None),
            jsonio::with_default("lane_assignment", &A::lane_assignment, LaneAssignment::LeftThroughAndThroughRight),
            jsonio::optional("pct_left_lane", &A::pct_left_lane),
            jsonio::with_default("n_ped", &A::n_ped, 0.0),
            // Absent or null: not analysed; an element overflowed to an infinity is written null and
            // reads back as NaN.
            jsonio::result_with_default("flows_pce", &A::flows_pce, std::nullopt),
            jsonio::analysed_result("circulating_flow_pce", &A::circulating_flow_pce,
                                    jsonio::marked_by("flows_pce", &A::flows_pce)),
            jsonio::analysed_result("bypass_conflicting_flow_pce", &A::bypass_conflicting_flow_pce,
                                    jsonio::marked_by("bypass_lane", &A::bypass_lane)),
            jsonio::with_default("lanes", &A::lanes, {}),
            jsonio::optional("bypass_lane", &A::bypass_lane),
            jsonio::analysed_result("control_delay", &A::control_delay, jsonio::marked_by("los", &A::los)),
            jsonio::optional("los", &A::los, jsonio::CHARACTER),
        },
        jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

const jsonio::Record<Roundabouts>& json_record(jsonio::Tag<Roundabouts>) {
    using R = Roundabouts;
    static const jsonio::Record<R> record{"Roundabouts",
                                          {
                                              jsonio::required("nb", &R::nb),
                                              jsonio::required("sb", &R::sb),
                                              jsonio::required("eb", &R::eb),
                                              jsonio::required("wb", &R::wb),
                                              jsonio::optional("phf", &R::phf),
                                              jsonio::with_default("analysis_period_h", &R::analysis_period_h, 0.25),
                                              jsonio::optional("calibration", &R::calibration),
                                              jsonio::analysed_result(
                                                  "intersection_delay", &R::intersection_delay,
                                                  jsonio::marked_by("intersection_los", &R::intersection_los)),
                                              jsonio::optional("intersection_los", &R::intersection_los,
                                                               jsonio::CHARACTER),
                                          },
                                          jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

Roundabouts read_roundabouts(std::string_view text) { return jsonio::read_document<Roundabouts>(text); }

std::string write_roundabouts(const Roundabouts& r) { return jsonio::write_document(r); }

}  // namespace hcm::roundabouts::roundabouts
