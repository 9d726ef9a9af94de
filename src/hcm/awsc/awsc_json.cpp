// The all-way STOP document: one table per record drives reading and writing.
#include "hcm/awsc/awsc.hpp"
#include "json/character.hpp"
#include "json/jsonio.hpp"

namespace hcm::awsc::awsc {

const jsonio::Record<AwscLane>& json_record(jsonio::Tag<AwscLane>) {
    using L = AwscLane;
    // Steps 1-4 (an analysis, or a capacity search) give a lane its flow rate and headway
    // adjustment together with its approach's geometry group: the approach settles those two.
    static const jsonio::Analysed<L> prepared{"its approach's `geometry_group` is given"};
    static const jsonio::Analysed<L> analysed = jsonio::marked_by("los", &L::los);
    static const jsonio::Record<L> record{"AwscLane",
                                          {
                                              jsonio::with_default("volume_left", &L::volume_left, 0.0),
                                              jsonio::with_default("volume_through", &L::volume_through, 0.0),
                                              jsonio::with_default("volume_right", &L::volume_right, 0.0),
                                              jsonio::analysed_result("flow_rate", &L::flow_rate, prepared),
                                              jsonio::analysed_result("headway_adjustment", &L::headway_adjustment,
                                                                      prepared),
                                              jsonio::analysed_result("departure_headway", &L::departure_headway,
                                                                      analysed),
                                              jsonio::analysed_result("degree_of_utilization",
                                                                      &L::degree_of_utilization, analysed),
                                              jsonio::analysed_result("service_time", &L::service_time, analysed),
                                              jsonio::optional("capacity", &L::capacity),
                                              jsonio::analysed_result("control_delay", &L::control_delay, analysed),
                                              jsonio::optional("los", &L::los, jsonio::CHARACTER),
                                              jsonio::analysed_result("queue_95", &L::queue_95, analysed),
                                          },
                                          jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

namespace {

void settle_prepared_lanes(AwscApproach& a) {
    for (AwscLane& lane : a.lanes) {
        jsonio::absent_unless_computed(lane.flow_rate, a.geometry_group.has_value());
        jsonio::absent_unless_computed(lane.headway_adjustment, a.geometry_group.has_value());
    }
}

}  // namespace

const jsonio::Record<AwscApproach>& json_record(jsonio::Tag<AwscApproach>) {
    using A = AwscApproach;
    static const jsonio::Record<A> record{
        "AwscApproach",
        {
            jsonio::required("lanes", &A::lanes),
            jsonio::with_default("heavy_vehicle_pct", &A::heavy_vehicle_pct, 0.0),
            jsonio::optional("geometry_group", &A::geometry_group),
            jsonio::analysed_result("control_delay", &A::control_delay, jsonio::marked_by("los", &A::los)),
            jsonio::optional("los", &A::los, jsonio::CHARACTER),
        },
        jsonio::UnknownKeys::ignore,
        jsonio::ArrayForm::defaults_fill,
        settle_prepared_lanes};
    return record;
}

const jsonio::Record<Awsc>& json_record(jsonio::Tag<Awsc>) {
    static const jsonio::Record<Awsc> record{
        "Awsc",
        {
            jsonio::required("eb", &Awsc::eb),
            jsonio::required("wb", &Awsc::wb),
            jsonio::required("nb", &Awsc::nb),
            jsonio::required("sb", &Awsc::sb),
            jsonio::optional("phf", &Awsc::phf),
            jsonio::with_default("analysis_period_h", &Awsc::analysis_period_h, 0.25),
            jsonio::analysed_result("intersection_delay", &Awsc::intersection_delay,
                                    jsonio::marked_by("intersection_los", &Awsc::intersection_los)),
            jsonio::optional("intersection_los", &Awsc::intersection_los, jsonio::CHARACTER),
            jsonio::optional("iterations", &Awsc::iterations),
        },
        jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

Awsc read_awsc(std::string_view text) { return jsonio::read_document<Awsc>(text); }

std::string write_awsc(const Awsc& a) { return jsonio::write_document(a); }

}  // namespace hcm::awsc::awsc
