// JSON form of the signalized intersection document and its result records: one table per
// record drives both reading and writing, in declaration order (the key order on output and the
// value order of the array form).
#include <string>
#include <string_view>
#include <vector>

#include "hcm/signalized/analysis.hpp"
#include "hcm/signalized/signalized.hpp"
#include "json/jsonio.hpp"

namespace hcm::signalized::signalized {

namespace {

// An enumeration word of this document: a string, or {"Word": null}. Any other kind of value
// (number, boolean, null, array) is no word at all: "expected value" at its first byte.
template <class E>
E read_word(jsonio::Value v) {
    if (!v.is_string() && !v.is_object()) v.fail_at_begin("expected value");
    return jsonio::read<E>(v);
}

template <class E>
constexpr jsonio::Codec<E> word() {
    return {&read_word<E>, &jsonio::write_value<E>};
}

}  // namespace

const jsonio::Record<PhaseTiming>& json_record(jsonio::Tag<PhaseTiming>) {
    using R = PhaseTiming;
    // The array form needs the first eight values; the last three have defaults.
    static const jsonio::Record<R> record{"PhaseTiming",
                                          {
                                              jsonio::required("phase_no", &R::phase_no),
                                              jsonio::required("duration_s", &R::duration_s),
                                              jsonio::required("yellow_s", &R::yellow_s),
                                              jsonio::required("red_clearance_s", &R::red_clearance_s),
                                              jsonio::optional("max_green_s", &R::max_green_s),
                                              jsonio::optional("passage_time_s", &R::passage_time_s),
                                              jsonio::optional("walk_s", &R::walk_s),
                                              jsonio::optional("ped_clear_s", &R::ped_clear_s),
                                              jsonio::with_default("min_green_s", &R::min_green_s, std::nullopt),
                                              jsonio::with_default("detector_length_ft", &R::detector_length_ft,
                                                                   std::nullopt),
                                              jsonio::with_default("recall_max", &R::recall_max, false),
                                          },
                                          jsonio::UnknownKeys::ignore,
                                          jsonio::ArrayForm::with_defaults_fill};
    return record;
}

const jsonio::Record<SignalApproach>& json_record(jsonio::Tag<SignalApproach>) {
    using R = SignalApproach;
    static const jsonio::Record<R> record{
        "SignalApproach",
        {
            jsonio::required("direction", &R::direction, word<Direction>()),
            jsonio::required("volume_left", &R::volume_left),
            jsonio::required("volume_through", &R::volume_through),
            jsonio::required("volume_right", &R::volume_right),
            jsonio::required("volume_rtor", &R::volume_rtor),
            jsonio::optional("peak_hour_factor", &R::peak_hour_factor),
            jsonio::required("pct_heavy_vehicles_left", &R::pct_heavy_vehicles_left),
            jsonio::required("pct_heavy_vehicles_through", &R::pct_heavy_vehicles_through),
            jsonio::required("platoon_ratio_left", &R::platoon_ratio_left),
            jsonio::required("platoon_ratio_through", &R::platoon_ratio_through),
            jsonio::required("upstream_filtering_i", &R::upstream_filtering_i),
            jsonio::required("initial_queue_through_veh", &R::initial_queue_through_veh),
            jsonio::required("initial_queue_left_veh", &R::initial_queue_left_veh),
            jsonio::required("ped_flow_ph", &R::ped_flow_ph),
            jsonio::required("bike_flow_ph", &R::bike_flow_ph),
            jsonio::required("exclusive_left_lanes", &R::exclusive_left_lanes),
            jsonio::required("through_lanes", &R::through_lanes),
            jsonio::required("exclusive_right_lanes", &R::exclusive_right_lanes),
            jsonio::required("shared_left_through_lane", &R::shared_left_through_lane),
            jsonio::required("shared_right_through_lane", &R::shared_right_through_lane),
            jsonio::required("lane_width_ft", &R::lane_width_ft),
            jsonio::required("grade_pct", &R::grade_pct),
            jsonio::required("receiving_lanes", &R::receiving_lanes),
            jsonio::required("parking_present", &R::parking_present),
            jsonio::required("parking_maneuvers_h", &R::parking_maneuvers_h),
            jsonio::required("bus_stops_h", &R::bus_stops_h),
            jsonio::optional("storage_left_ft", &R::storage_left_ft),
            jsonio::optional("storage_through_ft", &R::storage_through_ft),
            jsonio::required("speed_limit_mph", &R::speed_limit_mph),
            jsonio::required("opposing_right_turn_influences_gaps", &R::opposing_right_turn_influences_gaps),
            jsonio::required("left_turn_mode", &R::left_turn_mode, word<LeftTurnMode>()),
            jsonio::required("left_turn_sequence", &R::left_turn_sequence, word<LeftTurnSequence>()),
            jsonio::optional("left_phase", &R::left_phase),
            jsonio::required("through_phase", &R::through_phase),
        }};
    return record;
}

const jsonio::Record<LaneGroup>& json_record(jsonio::Tag<LaneGroup>) {
    using R = LaneGroup;
    // Only an analysis makes lane groups, and it gives each its LOS; the values of a kind of group
    // follow its kind, and those that follow its approach's inputs are settled by the
    // intersection (settle_lane_groups).
    static const jsonio::Analysed<R> analysed = jsonio::marked_by("los", &R::los);
    static const jsonio::Analysed<R> left{"`los` is given and `kind` is `ExclusiveLeft` or `SharedLeftThrough`",
                                          [](const R& g) {
                                              return g.los && (g.kind == LaneGroupKind::ExclusiveLeft ||
                                                               g.kind == LaneGroupKind::SharedLeftThrough);
                                          }};
    static const jsonio::Analysed<R> shared_left{
        "`los` is given and `kind` is `SharedLeftThrough`",
        [](const R& g) { return g.los && g.kind == LaneGroupKind::SharedLeftThrough; }};
    static const jsonio::Analysed<R> shared_right{
        "`los` is given and `kind` is `SharedRightThrough`",
        [](const R& g) { return g.los && g.kind == LaneGroupKind::SharedRightThrough; }};
    static const jsonio::Analysed<R> permitted{
        "`los` is given and the group has a permitted period: `kind` `SharedLeftThrough`, or `ExclusiveLeft` "
        "with a `Permitted` or `ProtectedPermitted` `left_turn_mode` on its direction's first approach"};
    static const jsonio::Analysed<R> storage{
        "`los` is given and its direction's first approach gives the storage of its movement "
        "(`storage_left_ft` for `ExclusiveLeft`, else `storage_through_ft`)"};
    static const jsonio::Record<R> record{"LaneGroup",
                                          {
                                              jsonio::required("direction", &R::direction, word<Direction>()),
                                              jsonio::required("kind", &R::kind, word<LaneGroupKind>()),
                                              jsonio::required("phase_no", &R::phase_no),
                                              jsonio::required("lanes", &R::lanes),
                                              jsonio::result("flow_rate", &R::flow_rate),
                                              jsonio::analysed_result("sat_flow", &R::sat_flow, analysed),
                                              jsonio::analysed_result("sat_flow_permitted", &R::sat_flow_permitted,
                                                                      permitted),
                                              jsonio::analysed_result("effective_green_s", &R::effective_green_s,
                                                                      analysed),
                                              jsonio::analysed_result("g_p", &R::g_p, left),
                                              jsonio::analysed_result("g_u", &R::g_u, left),
                                              jsonio::analysed_result("g_f", &R::g_f, shared_left),
                                              jsonio::analysed_result("p_left_shared", &R::p_left_shared, shared_left),
                                              jsonio::analysed_result("p_right_shared", &R::p_right_shared,
                                                                      shared_right),
                                              jsonio::analysed_result("proportion_on_green", &R::proportion_on_green,
                                                                      analysed),
                                              jsonio::analysed_result("capacity", &R::capacity, analysed),
                                              jsonio::analysed_result("available_capacity", &R::available_capacity,
                                                                      analysed),
                                              jsonio::analysed_result("vc_ratio", &R::vc_ratio, analysed),
                                              jsonio::analysed_result("k_factor", &R::k_factor, analysed),
                                              jsonio::analysed_result("uniform_delay_s", &R::uniform_delay_s, analysed),
                                              jsonio::analysed_result("incremental_delay_s", &R::incremental_delay_s,
                                                                      analysed),
                                              jsonio::analysed_result("initial_queue_delay_s",
                                                                      &R::initial_queue_delay_s, analysed),
                                              jsonio::analysed_result("control_delay_s", &R::control_delay_s, analysed),
                                              jsonio::optional("los", &R::los, word<LevelOfService>()),
                                              jsonio::analysed_result("q1_veh", &R::q1_veh, analysed),
                                              jsonio::analysed_result("q2_veh", &R::q2_veh, analysed),
                                              jsonio::analysed_result("q3_veh", &R::q3_veh, analysed),
                                              jsonio::analysed_result("back_of_queue_veh", &R::back_of_queue_veh,
                                                                      analysed),
                                              jsonio::analysed_result("back_of_queue_95_veh", &R::back_of_queue_95_veh,
                                                                      analysed),
                                              jsonio::analysed_result("queue_storage_ratio", &R::queue_storage_ratio,
                                                                      storage),
                                              jsonio::analysed_result("queue_storage_ratio_95",
                                                                      &R::queue_storage_ratio_95, storage),
                                          }};
    return record;
}

const jsonio::Record<ApproachResult>& json_record(jsonio::Tag<ApproachResult>) {
    using R = ApproachResult;
    static const jsonio::Record<R> record{"ApproachResult",
                                          {
                                              jsonio::required("direction", &R::direction, word<Direction>()),
                                              jsonio::result("flow_rate", &R::flow_rate),
                                              jsonio::result("control_delay_s", &R::control_delay_s),
                                              jsonio::required("los", &R::los, word<LevelOfService>()),
                                          }};
    return record;
}

const jsonio::Record<ActuatedPhaseResult>& json_record(jsonio::Tag<ActuatedPhaseResult>) {
    using R = ActuatedPhaseResult;
    static const jsonio::Record<R> record{"ActuatedPhaseResult",
                                          {
                                              jsonio::required("phase_no", &R::phase_no),
                                              jsonio::result("duration_s", &R::duration_s),
                                              jsonio::result("green_s", &R::green_s),
                                              jsonio::result("queue_service_s", &R::queue_service_s),
                                              jsonio::result("green_extension_s", &R::green_extension_s),
                                              jsonio::result("mah_star_s", &R::mah_star_s),
                                              jsonio::result("prob_max_out", &R::prob_max_out),
                                              jsonio::result("prob_call", &R::prob_call),
                                          }};
    return record;
}

namespace {

// What a lane group takes from its approach, the first of its direction as in the analysis: a
// permitted period of an exclusive left turn (Step 5), the storage of its queue (Step 9).
void settle_lane_groups(SignalizedIntersection& x) {
    const auto first = first_of_each_direction(x.approaches);
    for (LaneGroup& g : x.lane_groups) {
        const std::size_t i = first[static_cast<std::size_t>(g.direction)];
        const SignalApproach* a = i < x.approaches.size() ? &x.approaches[i] : nullptr;
        const bool left = g.kind == LaneGroupKind::ExclusiveLeft;
        const bool permitted = g.kind == LaneGroupKind::SharedLeftThrough ||
                               (left && a && has_permitted_period(a->left_turn_mode));
        const bool storage = a && (left ? a->storage_left_ft : a->storage_through_ft);
        jsonio::absent_unless_computed(g.sat_flow_permitted, g.los && permitted);
        jsonio::absent_unless_computed(g.queue_storage_ratio, g.los && storage);
        jsonio::absent_unless_computed(g.queue_storage_ratio_95, g.los && storage);
    }
}

}  // namespace

const jsonio::Record<SignalizedIntersection>& json_record(jsonio::Tag<SignalizedIntersection>) {
    using R = SignalizedIntersection;
    static const jsonio::Analysed<R> analysed = jsonio::marked_by("intersection_los", &R::intersection_los);
    // The array form needs the seven inputs; the five results may be left off.
    static const jsonio::Record<R> record{
        "SignalizedIntersection",
        {
            jsonio::required("cycle_length_s", &R::cycle_length_s),
            jsonio::required("analysis_period_h", &R::analysis_period_h),
            jsonio::required("base_saturation_flow", &R::base_saturation_flow),
            jsonio::required("area_type_cbd", &R::area_type_cbd),
            jsonio::required("control", &R::control, word<ControlType>()),
            jsonio::required("sneakers_per_cycle", &R::sneakers_per_cycle),
            jsonio::required("approaches", &R::approaches),
            jsonio::with_default("lane_groups", &R::lane_groups, {}),
            jsonio::with_default("approach_results", &R::approach_results, {}),
            jsonio::analysed_result("intersection_delay_s", &R::intersection_delay_s, analysed),
            jsonio::optional("intersection_los", &R::intersection_los, word<LevelOfService>()),
            jsonio::analysed_result("critical_vc_ratio", &R::critical_vc_ratio, analysed),
        },
        jsonio::UnknownKeys::ignore,
        jsonio::ArrayForm::defaults_fill,
        settle_lane_groups};
    return record;
}

SignalizedIntersection intersection_from_json(std::string_view text) {
    return jsonio::read_document<SignalizedIntersection>(text);
}

std::string intersection_to_json(const SignalizedIntersection& intersection) {
    return jsonio::write_document(intersection);
}

std::string lane_groups_to_json(const std::vector<LaneGroup>& lane_groups) { return jsonio::write_document(lane_groups); }

std::string actuated_phases_to_json(const std::vector<ActuatedPhaseResult>& phases) {
    return jsonio::write_document(phases);
}

}  // namespace hcm::signalized::signalized
