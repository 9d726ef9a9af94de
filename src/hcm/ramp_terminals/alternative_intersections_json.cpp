// JSON form of the alternative-intersection documents (read only).
#include "hcm/ramp_terminals/alternative_intersections.hpp"
#include "json/internally_tagged.hpp"
#include "json/jsonio.hpp"

namespace hcm::ramp_terminals::alternative_intersections {

const jsonio::InternallyTagged<JunctionStep>& json_variants(jsonio::Tag<JunctionStep>);

const jsonio::Record<ProvidedStep>& json_record(jsonio::Tag<ProvidedStep>) {
    using P = ProvidedStep;
    static const jsonio::Record<P> record{"ProvidedStep",
                                          {
                                              jsonio::required("control_delay_s", &P::control_delay_s),
                                              jsonio::with_default("vc_gt_1", &P::vc_gt_1, false),
                                              jsonio::with_default("rq_gt_1", &P::rq_gt_1, false),
                                          }};
    return record;
}

const jsonio::Record<StopStep>& json_record(jsonio::Tag<StopStep>) {
    using S = StopStep;
    static const jsonio::Record<S> record{"StopStep",
                                          {
                                              jsonio::required("flow_veh_h", &S::flow_veh_h),
                                              jsonio::required("conflicting_flow_veh_h", &S::conflicting_flow_veh_h),
                                              jsonio::required("critical_headway_s", &S::critical_headway_s),
                                              jsonio::required("followup_headway_s", &S::followup_headway_s),
                                              jsonio::optional("storage_ft", &S::storage_ft),
                                              jsonio::with_default("queue_spacing_ft", &S::queue_spacing_ft, 25.0),
                                          }};
    return record;
}

const jsonio::Record<MergeStep>& json_record(jsonio::Tag<MergeStep>) {
    static const jsonio::Record<MergeStep> record{"MergeStep", {}};
    return record;
}

const jsonio::InternallyTagged<JunctionStep>& json_variants(jsonio::Tag<JunctionStep>) {
    static const jsonio::InternallyTagged<JunctionStep> table{"JunctionStep", "type", {"provided", "stop", "merge"}};
    return table;
}

const jsonio::Record<AltMovement>& json_record(jsonio::Tag<AltMovement>) {
    using M = AltMovement;
    static const jsonio::Record<M> record{"AltMovement",
                                          {
                                              jsonio::required("label", &M::label),
                                              jsonio::required("approach", &M::approach),
                                              jsonio::required("demand_veh_h", &M::demand_veh_h),
                                              jsonio::required("junctions", &M::junctions),
                                              jsonio::with_default("edtt_s", &M::edtt_s, 0.0),
                                              jsonio::with_default("analysis_period_h", &M::analysis_period_h, 0.25),
                                          },
                                          jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

const jsonio::Record<AlternativeIntersection>& json_record(jsonio::Tag<AlternativeIntersection>) {
    using A = AlternativeIntersection;
    static const jsonio::Record<A> record{"AlternativeIntersection",
                                          {
                                              jsonio::required("form", &A::form),
                                              jsonio::required("movements", &A::movements),
                                          }};
    return record;
}

const jsonio::Record<DltDelayCell>& json_record(jsonio::Tag<DltDelayCell>) {
    using C = DltDelayCell;
    static const jsonio::Record<C> record{"DltDelayCell",
                                          {
                                              jsonio::required("flow_veh_h", &C::flow_veh_h),
                                              jsonio::required("control_delay_s", &C::control_delay_s),
                                          }};
    return record;
}

const jsonio::Record<DisplacedLeftTurn>& json_record(jsonio::Tag<DisplacedLeftTurn>) {
    using D = DisplacedLeftTurn;
    static const jsonio::Record<D> record{"DisplacedLeftTurn",
                                          {
                                              jsonio::required("form", &D::form),
                                              jsonio::required("cells", &D::cells),
                                              jsonio::required("total_od_demand_veh_h", &D::total_od_demand_veh_h),
                                          }};
    return record;
}

AlternativeIntersection read_alternative_intersection(std::string_view text) {
    return jsonio::read_document<AlternativeIntersection>(text);
}

DisplacedLeftTurn read_displaced_left_turn(std::string_view text) {
    return jsonio::read_document<DisplacedLeftTurn>(text);
}

}  // namespace hcm::ramp_terminals::alternative_intersections
