// The all-way STOP document: one table per record drives reading and writing.
#include "hcm/awsc/awsc.hpp"
#include "json/character.hpp"
#include "json/jsonio.hpp"

namespace hcm::awsc::awsc {

const jsonio::Record<AwscLane>& json_record(jsonio::Tag<AwscLane>) {
    using L = AwscLane;
    static const jsonio::Record<L> record{"AwscLane",
                                          {
                                              jsonio::with_default("volume_left", &L::volume_left, 0.0),
                                              jsonio::with_default("volume_through", &L::volume_through, 0.0),
                                              jsonio::with_default("volume_right", &L::volume_right, 0.0),
                                              jsonio::optional("flow_rate", &L::flow_rate),
                                              jsonio::optional("headway_adjustment", &L::headway_adjustment),
                                              jsonio::optional("departure_headway", &L::departure_headway),
                                              jsonio::optional("degree_of_utilization", &L::degree_of_utilization),
                                              jsonio::optional("service_time", &L::service_time),
                                              jsonio::optional("capacity", &L::capacity),
                                              jsonio::optional("control_delay", &L::control_delay),
                                              jsonio::optional("los", &L::los, jsonio::CHARACTER),
                                              jsonio::optional("queue_95", &L::queue_95),
                                          },
                                          jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

const jsonio::Record<AwscApproach>& json_record(jsonio::Tag<AwscApproach>) {
    using A = AwscApproach;
    static const jsonio::Record<A> record{"AwscApproach",
                                          {
                                              jsonio::required("lanes", &A::lanes),
                                              jsonio::with_default("heavy_vehicle_pct", &A::heavy_vehicle_pct, 0.0),
                                              jsonio::optional("geometry_group", &A::geometry_group),
                                              jsonio::optional("control_delay", &A::control_delay),
                                              jsonio::optional("los", &A::los, jsonio::CHARACTER),
                                          },
                                          jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
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
            jsonio::optional("intersection_delay", &Awsc::intersection_delay),
            jsonio::optional("intersection_los", &Awsc::intersection_los, jsonio::CHARACTER),
            jsonio::optional("iterations", &Awsc::iterations),
        },
        jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

Awsc read_awsc(std::string_view text) { return jsonio::read_document<Awsc>(text); }

std::string write_awsc(const Awsc& a) { return jsonio::write_document(a); }

}  // namespace hcm::awsc::awsc
