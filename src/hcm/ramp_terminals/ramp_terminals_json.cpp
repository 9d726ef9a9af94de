// JSON form of the interchange document: one record table per record drives reading and writing.
#include <string>
#include <vector>

#include "hcm/ramp_terminals/ramp_terminals.hpp"
#include "json/jsonio.hpp"

namespace hcm::ramp_terminals::ramp_terminals {

namespace {

// A movement is its name string ("EbExtThrough").
InterchangeMovement read_movement(jsonio::Value v) {
    const std::string name = jsonio::read<std::string>(v);
    if (auto m = InterchangeMovement::from_name(name)) return *m;
    v.fail("unknown interchange movement " + name);
}

void write_movement(jsonio::Writer& w, const InterchangeMovement& m) { w.string(m.name()); }

constexpr jsonio::Codec<InterchangeMovement> MOVEMENT{read_movement, write_movement};

// The fourteen O-D demands a..n, each declared by `field` (required() for the inputs, result()
// for the demands adjusted by the peak hour factor).
template <class MakeField>
std::vector<jsonio::Field<OdDemands>> od_fields(MakeField field) {
    using D = OdDemands;
    return {field("a", &D::a), field("b", &D::b), field("c", &D::c), field("d", &D::d), field("e", &D::e),
            field("f", &D::f), field("g", &D::g), field("h", &D::h), field("i", &D::i), field("j", &D::j),
            field("k", &D::k), field("l", &D::l), field("m", &D::m), field("n", &D::n)};
}

// The adjusted demands v / PHF are results: a quotient that overflows (a PHF of 1e-308, a demand
// near the largest double) is written null and reads back as NaN, where an input demand refuses null.
const jsonio::Record<OdDemands>& adjusted_od_record() {
    static const jsonio::Record<OdDemands> record{
        "OdDemands", od_fields([](const char* key, double OdDemands::*member) { return jsonio::result(key, member); })};
    return record;
}

OdDemands read_adjusted_od(jsonio::Value v) { return adjusted_od_record().read(v); }

void write_adjusted_od(jsonio::Writer& w, const OdDemands& d) { adjusted_od_record().write(w, d); }

constexpr jsonio::Codec<OdDemands> ADJUSTED_OD{read_adjusted_od, write_adjusted_od};

}  // namespace

const jsonio::Record<OdDemands>& json_record(jsonio::Tag<OdDemands>) {
    static const jsonio::Record<OdDemands> record{
        "OdDemands",
        od_fields([](const char* key, double OdDemands::*member) { return jsonio::required(key, member); })};
    return record;
}

const jsonio::Record<GreenInterval>& json_record(jsonio::Tag<GreenInterval>) {
    static const jsonio::Record<GreenInterval> record{"GreenInterval",
                                                      {
                                                          jsonio::required("begin_s", &GreenInterval::begin_s),
                                                          jsonio::required("duration_s", &GreenInterval::duration_s),
                                                      }};
    return record;
}

const jsonio::Record<YieldTurnInput>& json_record(jsonio::Tag<YieldTurnInput>) {
    using Y = YieldTurnInput;
    static const jsonio::Record<Y> record{
        "YieldTurnInput",
        {
            jsonio::required("critical_headway_s", &Y::critical_headway_s),
            jsonio::required("follow_up_headway_s", &Y::follow_up_headway_s),
            jsonio::required("conflicting_flow_veh_h", &Y::conflicting_flow_veh_h),
            jsonio::required("conflicting_flow_per_lane", &Y::conflicting_flow_per_lane),
            jsonio::required("conflicting_sat_flow_per_lane", &Y::conflicting_sat_flow_per_lane),
            jsonio::required("conflicting_green_s", &Y::conflicting_green_s),
            jsonio::required("clearance_distance_ft", &Y::clearance_distance_ft),
            jsonio::required("clearance_speed_mph", &Y::clearance_speed_mph),
            jsonio::optional("proportion_on_green", &Y::proportion_on_green),
        },
        jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

const jsonio::Variants<LaneGroupControl>& json_variants(jsonio::Tag<LaneGroupControl>) {
    static const jsonio::Variants<LaneGroupControl> variants{"LaneGroupControl",
                                                             {"Signalized", "YieldControlled", "FreeFlow"}};
    return variants;
}

const jsonio::Record<ProtectedPermittedLeft>& json_record(jsonio::Tag<ProtectedPermittedLeft>) {
    using P = ProtectedPermittedLeft;
    static const jsonio::Record<P> record{
        "ProtectedPermittedLeft",
        {
            jsonio::required("permitted_green_s", &P::permitted_green_s),
            jsonio::required("unblocked_green_s", &P::unblocked_green_s),
            jsonio::required("opposing_flow_veh_h", &P::opposing_flow_veh_h),
            jsonio::optional("permitted_sat_flow_override", &P::permitted_sat_flow_override),
        },
        jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

const jsonio::Record<LaneGroupInput>& json_record(jsonio::Tag<LaneGroupInput>) {
    using L = LaneGroupInput;
    static const jsonio::Record<L> record{
        "LaneGroupInput",
        {
            jsonio::required("movement", &L::movement, MOVEMENT),
            jsonio::required("lanes", &L::lanes),
            jsonio::required("greens", &L::greens),
            jsonio::required("yellow_all_red_s", &L::yellow_all_red_s),
            jsonio::required("control", &L::control),
            jsonio::optional("turn_radius_ft", &L::turn_radius_ft),
            jsonio::optional("shared_right_turn_radius_ft", &L::shared_right_turn_radius_ft),
            jsonio::required("pct_heavy_vehicles", &L::pct_heavy_vehicles),
            jsonio::required("grade_pct", &L::grade_pct),
            jsonio::required("lane_width_ft", &L::lane_width_ft),
            jsonio::optional("parking_maneuvers_h", &L::parking_maneuvers_h),
            jsonio::required("bus_stops_h", &L::bus_stops_h),
            jsonio::required("arrival_type", &L::arrival_type),
            jsonio::optional("storage_ft", &L::storage_ft),
            jsonio::optional("lane_utilization_override", &L::lane_utilization_override),
            jsonio::optional("downstream_queue_lost_time_s", &L::downstream_queue_lost_time_s),
            jsonio::required("overlap_lost_time_s", &L::overlap_lost_time_s),
            jsonio::required("start_up_lost_time_s", &L::start_up_lost_time_s),
            jsonio::required("extension_of_green_s", &L::extension_of_green_s),
            jsonio::optional("upstream_filtering_override", &L::upstream_filtering_override),
            jsonio::required("speed_limit_mph", &L::speed_limit_mph),
            jsonio::required("initial_queue_veh", &L::initial_queue_veh),
            jsonio::optional("demand_override_veh_h", &L::demand_override_veh_h),
            jsonio::optional("protected_permitted_left", &L::protected_permitted_left),
        },
        jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

const jsonio::Record<LaneGroupResult>& json_record(jsonio::Tag<LaneGroupResult>) {
    using R = LaneGroupResult;
    // Only an analysis makes lane group results, one per lane group at the lane group's position
    // in `lane_groups`; which values it computes depends on that lane group's inputs, so the
    // interchange settles them (settle_lane_groups).
    static const jsonio::Analysed<R> every{
        "always (the analysis makes one result per lane group, at its position in `lane_groups`)"};
    static const jsonio::Analysed<R> not_free_flow{"its lane group's `control` is not `FreeFlow`"};
    static const jsonio::Analysed<R> signalized{"its lane group's `control` is `Signalized`"};
    static const jsonio::Analysed<R> with_storage{
        "its lane group's `control` is `Signalized` and its `storage_ft` is given"};
    static const jsonio::Analysed<R> protected_permitted{"its lane group's `protected_permitted_left` is given"};
    static const jsonio::Record<R> record{
        "LaneGroupResult",
        {
            jsonio::required("movement", &R::movement, MOVEMENT),
            jsonio::result("flow_rate", &R::flow_rate),
            jsonio::analysed_result("lane_utilization", &R::lane_utilization, every),
            jsonio::analysed_result("traffic_pressure", &R::traffic_pressure, every),
            jsonio::analysed_result("sat_flow", &R::sat_flow, every),
            jsonio::analysed_result("protected_sat_flow", &R::protected_sat_flow, protected_permitted),
            jsonio::analysed_result("permitted_sat_flow", &R::permitted_sat_flow, protected_permitted),
            jsonio::optional("downstream_queue_lost_time_s", &R::downstream_queue_lost_time_s),
            jsonio::optional("demand_starvation_lost_time_s", &R::demand_starvation_lost_time_s),
            jsonio::analysed_result("adjusted_lost_time_s", &R::adjusted_lost_time_s, every),
            jsonio::analysed_result("effective_green_s", &R::effective_green_s, every),
            jsonio::analysed_result("capacity", &R::capacity, not_free_flow),
            jsonio::analysed_result("vc_ratio", &R::vc_ratio, every),
            jsonio::analysed_result("upstream_filtering", &R::upstream_filtering, every),
            jsonio::analysed_result("back_of_queue_veh", &R::back_of_queue_veh, signalized),
            jsonio::analysed_result("queue_storage_ratio", &R::queue_storage_ratio, with_storage),
            jsonio::analysed_result("uniform_delay_s", &R::uniform_delay_s, signalized),
            jsonio::analysed_result("incremental_delay_s", &R::incremental_delay_s, signalized),
            jsonio::analysed_result("initial_queue_delay_s", &R::initial_queue_delay_s, signalized),
            jsonio::analysed_result("control_delay_s", &R::control_delay_s, every),
        },
        jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

const jsonio::Record<ExtraDistance>& json_record(jsonio::Tag<ExtraDistance>) {
    using E = ExtraDistance;
    static const jsonio::Record<E> record{"ExtraDistance",
                                          {
                                              jsonio::required("distance_ft", &E::distance_ft),
                                              jsonio::required("accel_decel_s", &E::accel_decel_s),
                                              jsonio::optional("design_speed_mph", &E::design_speed_mph),
                                          },
                                          jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

const jsonio::Record<OdResult>& json_record(jsonio::Tag<OdResult>) {
    using O = OdResult;
    static const jsonio::Record<O> record{"OdResult",
                                          {
                                              jsonio::required("movement", &O::movement),
                                              jsonio::result("demand", &O::demand),
                                              jsonio::result("control_delay_s", &O::control_delay_s),
                                              jsonio::result("edtt_s", &O::edtt_s),
                                              jsonio::result("ett_s", &O::ett_s),
                                              jsonio::required("vc_exceeds_one", &O::vc_exceeds_one),
                                              jsonio::required("rq_exceeds_one", &O::rq_exceeds_one),
                                              jsonio::required("los", &O::los),
                                          }};
    return record;
}

namespace {

// The values the analysis computes for a lane group by its inputs (capacity_delay.cpp and
// lane_groups.cpp): a null of any other reads absent. A result beyond the lane groups (a
// document edited by hand) has no inputs: none of these.
void settle_lane_groups(Interchange& ix) {
    using jsonio::absent_unless_computed;
    for (std::size_t g = 0; g < ix.results.size(); ++g) {
        const LaneGroupInput* in = g < ix.lane_groups.size() ? &ix.lane_groups[g] : nullptr;
        const bool signalized = in && kind_of(in->control) == ControlKind::Signalized;
        LaneGroupResult& r = ix.results[g];
        absent_unless_computed(r.protected_sat_flow, in && in->protected_permitted_left);
        absent_unless_computed(r.permitted_sat_flow, in && in->protected_permitted_left);
        absent_unless_computed(r.capacity, in && kind_of(in->control) != ControlKind::FreeFlow);
        absent_unless_computed(r.back_of_queue_veh, signalized);
        absent_unless_computed(r.queue_storage_ratio, signalized && in->storage_ft);
        absent_unless_computed(r.uniform_delay_s, signalized);
        absent_unless_computed(r.incremental_delay_s, signalized);
        absent_unless_computed(r.initial_queue_delay_s, signalized);
    }
}

}  // namespace

const jsonio::Record<Interchange>& json_record(jsonio::Tag<Interchange>) {
    using I = Interchange;
    static const jsonio::Record<I> record{
        "Interchange",
        {
            jsonio::required("form", &I::form),
            jsonio::required("cycle_length_s", &I::cycle_length_s),
            jsonio::required("analysis_period_h", &I::analysis_period_h),
            jsonio::required("base_saturation_flow", &I::base_saturation_flow),
            jsonio::required("area_type_cbd", &I::area_type_cbd),
            jsonio::required("peak_hour_factor", &I::peak_hour_factor),
            jsonio::required("distance_between_intersections_ft", &I::distance_between_intersections_ft),
            jsonio::required("queue_spacing_ft", &I::queue_spacing_ft),
            jsonio::required("od", &I::od),
            jsonio::required("eb_external_right_shared", &I::eb_external_right_shared),
            jsonio::required("wb_external_right_shared", &I::wb_external_right_shared),
            jsonio::optional("ddi_eb_lane_config", &I::ddi_eb_lane_config),
            jsonio::optional("ddi_wb_lane_config", &I::ddi_wb_lane_config),
            jsonio::required("extra_distances", &I::extra_distances),
            jsonio::required("extra_distance_speed_mph", &I::extra_distance_speed_mph),
            jsonio::required("lane_groups", &I::lane_groups),
            jsonio::optional("od_adjusted", &I::od_adjusted, ADJUSTED_OD),
            jsonio::with_default("results", &I::results, {}),
            jsonio::with_default("od_results", &I::od_results, {}),
            jsonio::analysed_result("interchange_ett_s", &I::interchange_ett_s,
                                    jsonio::marked_by("interchange_los", &I::interchange_los)),
            jsonio::optional("interchange_los", &I::interchange_los),
        },
        jsonio::UnknownKeys::ignore,
        jsonio::ArrayForm::defaults_fill,
        settle_lane_groups};
    return record;
}

Interchange read_interchange(std::string_view text) { return jsonio::read_document<Interchange>(text); }

std::string write_interchange(const Interchange& interchange) { return jsonio::write_document(interchange); }

}  // namespace hcm::ramp_terminals::ramp_terminals
