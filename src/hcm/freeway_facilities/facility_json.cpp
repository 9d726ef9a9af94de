#include "hcm/freeway_facilities/facility_json.hpp"

#include "hcm/common/error.hpp"
#include "json/jsonio.hpp"

namespace hcm::freeway_facilities::exhibits {

const jsonio::Record<WorkZone>& json_record(jsonio::Tag<WorkZone>) {
    static const jsonio::Record<WorkZone> record{
        "WorkZone",
        {
            jsonio::with_default("total_lanes", &WorkZone::total_lanes, 3),
            jsonio::with_default("open_lanes", &WorkZone::open_lanes, 2),
            jsonio::with_default("soft_barrier", &WorkZone::soft_barrier, false),
            jsonio::with_default("rural", &WorkZone::rural, false),
            jsonio::with_default("lateral_distance_ft", &WorkZone::lateral_distance_ft, 6.0),
            jsonio::with_default("night", &WorkZone::night, false),
            jsonio::with_default("speed_ratio", &WorkZone::speed_ratio, 1.0),
            jsonio::with_default("speed_limit_mi_h", &WorkZone::speed_limit_mi_h, 55.0),
            jsonio::with_default("total_ramp_density", &WorkZone::total_ramp_density, 1.0),
            jsonio::with_default("queue_discharge_drop", &WorkZone::queue_discharge_drop, 0.134),
        },
        jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

}  // namespace hcm::freeway_facilities::exhibits

namespace hcm::freeway_facilities::freeway_facilities {

const jsonio::Record<FacilitySegment>& json_record(jsonio::Tag<FacilitySegment>) {
    using S = FacilitySegment;
    static const jsonio::Record<S> record{
        "FacilitySegment",
        {
            jsonio::with_default("seg_type", &S::seg_type, SegmentType::Basic),
            jsonio::with_default("length_ft", &S::length_ft, 1500.0),
            jsonio::with_default("lanes", &S::lanes, 3),
            jsonio::optional("ffs", &S::ffs),
            jsonio::with_default("caf", &S::caf, 1.0),
            jsonio::with_default("saf", &S::saf, 1.0),
            jsonio::with_default("daf", &S::daf, 1.0),
            jsonio::optional("caf_schedule", &S::caf_schedule),
            jsonio::optional("saf_schedule", &S::saf_schedule),
            jsonio::optional("work_zone", &S::work_zone),
            jsonio::with_default("on_ramp_demand", &S::on_ramp_demand, {}),
            jsonio::with_default("off_ramp_demand", &S::off_ramp_demand, {}),
            jsonio::with_default("ramp_to_ramp_demand", &S::ramp_to_ramp_demand, {}),
            jsonio::with_default("ramp_ffs", &S::ramp_ffs, 40.0),
            jsonio::with_default("accel_lane_ft", &S::accel_lane_ft, 500.0),
            jsonio::with_default("decel_lane_ft", &S::decel_lane_ft, 500.0),
            jsonio::optional("ramp_metering", &S::ramp_metering),
            jsonio::optional("short_length_ft", &S::short_length_ft),
            jsonio::with_default("num_weaving_lanes", &S::num_weaving_lanes, 2),
            jsonio::with_default("lc_rf", &S::lc_rf, 1),
            jsonio::with_default("lc_fr", &S::lc_fr, 1),
        },
        jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

const jsonio::Record<PeriodPerformance>& json_record(jsonio::Tag<PeriodPerformance>) {
    using P = PeriodPerformance;
    static const jsonio::Record<P> record{"PeriodPerformance",
                                          {
                                              jsonio::result("space_mean_speed", &P::space_mean_speed),
                                              jsonio::result("avg_density_veh", &P::avg_density_veh),
                                              jsonio::result("avg_density_pc", &P::avg_density_pc),
                                              jsonio::required("los", &P::los),
                                              jsonio::result("vmt_served", &P::vmt_served),
                                              jsonio::result("vmt_demand", &P::vmt_demand),
                                              jsonio::result("vht", &P::vht),
                                              jsonio::result("vhd", &P::vhd),
                                          },
                                          jsonio::UnknownKeys::ignore, jsonio::ArrayForm::all_fields};
    return record;
}

const jsonio::Record<FreewayFacility>& json_record(jsonio::Tag<FreewayFacility>) {
    using F = FreewayFacility;
    static const jsonio::Record<F> record{
        "FreewayFacility",
        {
            jsonio::with_default("segments", &F::segments, {}),
            jsonio::with_default("mainline_demand", &F::mainline_demand, {}),
            jsonio::with_default("ffs", &F::ffs, 60.0),
            jsonio::with_default("heavy_vehicle_pct", &F::heavy_vehicle_pct, 0.05),
            jsonio::with_default("terrain", &F::terrain, Terrain::Level),
            jsonio::with_default("city_type", &F::city_type, CityType::Urban),
            jsonio::with_default("phf", &F::phf, 1.0),
            jsonio::with_default("jam_density_pc", &F::jam_density_pc, 190.0),
            jsonio::with_default("queue_discharge_drop", &F::queue_discharge_drop, 0.07),
            jsonio::with_default("total_ramp_density", &F::total_ramp_density, 1.0),
            jsonio::optional("interchange_density", &F::interchange_density),
            jsonio::optional("c_ifl_override", &F::c_ifl_override),
            jsonio::with_default("time_step_s", &F::time_step_s, 15.0),
            jsonio::result_with_default("demand", &F::demand, {}),
            jsonio::result_with_default("capacity", &F::capacity, {}),
            jsonio::result_with_default("dc_ratio", &F::dc_ratio, {}),
            jsonio::result_with_default("volume_served", &F::volume_served, {}),
            jsonio::result_with_default("vc_ratio", &F::vc_ratio, {}),
            jsonio::result_with_default("speed", &F::speed, {}),
            jsonio::result_with_default("density_veh", &F::density_veh, {}),
            jsonio::result_with_default("density_pc", &F::density_pc, {}),
            jsonio::with_default("los", &F::los, {}),
            jsonio::with_default("demand_based_los", &F::demand_based_los, {}),
            jsonio::result_with_default("queue_length_ft", &F::queue_length_ft, {}),
            jsonio::with_default("had_queue", &F::had_queue, {}),
            jsonio::result_with_default("on_ramp_queue", &F::on_ramp_queue, {}),
            jsonio::result_with_default("unserved_entry_veh", &F::unserved_entry_veh, {}),
            jsonio::with_default("facility_performance", &F::facility_performance, {}),
            jsonio::with_default("oversaturated", &F::oversaturated, false),
            jsonio::optional("first_oversat_period", &F::first_oversat_period),
        },
        jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

FreewayFacility read_facility(std::string_view text) { return jsonio::read_document<FreewayFacility>(text); }

std::string write_facility(const FreewayFacility& facility) { return jsonio::write_document(facility); }

FreewayFacility facility_from_json(std::string_view text) {
    return jsonio::read_document_with_prefix<FreewayFacility>(text, "invalid facility JSON: ");
}

std::string facility_to_json(const FreewayFacility& facility) {
    return jsonio::write_document_with_prefix(facility, "serialization failed: ");
}

}  // namespace hcm::freeway_facilities::freeway_facilities
