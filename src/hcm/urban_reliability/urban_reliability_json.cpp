// JSON form of the urban street reliability study: one record table per record drives reading
// and writing.
#include <string>

#include "hcm/urban_reliability/urban_reliability.hpp"
#include "json/jsonio.hpp"

namespace hcm::urban_reliability::urban_reliability {

const jsonio::Record<MonthlyWeather>& json_record(jsonio::Tag<MonthlyWeather>) {
    using W = MonthlyWeather;
    static const jsonio::Record<W> record{
        "MonthlyWeather",
        {
            jsonio::with_default("total_precip_in", &W::total_precip_in, 0.0),
            jsonio::with_default("total_snowfall_in", &W::total_snowfall_in, 0.0),
            jsonio::with_default("days_with_precip", &W::days_with_precip, 0.0),
            jsonio::with_default("mean_temp_f", &W::mean_temp_f, 0.0),
            jsonio::with_default("precip_rate_in_h", &W::precip_rate_in_h, 0.0),
        },
        jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

const jsonio::Record<IncidentConfig>& json_record(jsonio::Tag<IncidentConfig>) {
    using I = IncidentConfig;
    static const jsonio::Record<I> record{
        "IncidentConfig",
        {
            jsonio::optional("cfaf_override", &I::cfaf_override),
            jsonio::with_default("segment_crash_frequencies", &I::segment_crash_frequencies, {}),
            jsonio::with_default("intersection_crash_frequencies", &I::intersection_crash_frequencies, {}),
            jsonio::optional("opposing_demand_veh_h", &I::opposing_demand_veh_h),
            jsonio::with_default("minor_leg_volume_veh_h", &I::minor_leg_volume_veh_h, 0.0),
            jsonio::with_default("shoulder_present", &I::shoulder_present, true),
        },
        jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

const jsonio::Record<BoundarySignal>& json_record(jsonio::Tag<BoundarySignal>) {
    using B = BoundarySignal;
    const B d;
    static const jsonio::Record<B> record{
        "BoundarySignal",
        {
            jsonio::with_default("cycle_length_s", &B::cycle_length_s, d.cycle_length_s),
            jsonio::with_default("effective_green_s", &B::effective_green_s, d.effective_green_s),
            jsonio::with_default("sat_flow_veh_h_ln", &B::sat_flow_veh_h_ln, d.sat_flow_veh_h_ln),
            jsonio::with_default("platoon_ratio", &B::platoon_ratio, d.platoon_ratio),
            jsonio::with_default("k_factor", &B::k_factor, d.k_factor),
            jsonio::with_default("i_factor", &B::i_factor, d.i_factor),
            jsonio::with_default("approach_lanes", &B::approach_lanes, d.approach_lanes),
        },
        jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

const jsonio::Record<AtdmStrategy>& json_record(jsonio::Tag<AtdmStrategy>) {
    using A = AtdmStrategy;
    static const jsonio::Record<A> record{
        "AtdmStrategy",
        {
            jsonio::with_default("name", &A::name, std::string()),
            jsonio::with_default("months", &A::months, {}),
            jsonio::with_default("days_of_week", &A::days_of_week, {}),
            jsonio::with_default("periods", &A::periods, {}),
            jsonio::with_default("demand_adjustment", &A::demand_adjustment, 1.0),
            jsonio::with_default("sat_flow_adjustment", &A::sat_flow_adjustment, 1.0),
            jsonio::with_default("effective_green_adjustment_s", &A::effective_green_adjustment_s, 0.0),
            jsonio::with_default("ffs_adjustment", &A::ffs_adjustment, 1.0),
            jsonio::with_default("crash_frequency_adjustment", &A::crash_frequency_adjustment, 1.0),
        },
        jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

const jsonio::Record<UrbanReliabilityConfig>& json_record(jsonio::Tag<UrbanReliabilityConfig>) {
    using C = UrbanReliabilityConfig;
    const C d;
    static const jsonio::Record<C> record{
        "UrbanReliabilityConfig",
        {
            jsonio::with_default("months", &C::months, d.months),
            jsonio::with_default("days_of_week", &C::days_of_week, d.days_of_week),
            jsonio::with_default("functional_class", &C::functional_class, d.functional_class),
            jsonio::with_default("jan1_day_of_week", &C::jan1_day_of_week, d.jan1_day_of_week),
            jsonio::with_default("study_period_start_hour", &C::study_period_start_hour, d.study_period_start_hour),
            jsonio::with_default("analysis_periods_per_day", &C::analysis_periods_per_day, d.analysis_periods_per_day),
            jsonio::with_default("weather", &C::weather, d.weather),
            jsonio::with_default("snow_runoff_h", &C::snow_runoff_h, d.snow_runoff_h),
            jsonio::with_default("demand_change_rain", &C::demand_change_rain, d.demand_change_rain),
            jsonio::with_default("demand_change_snow", &C::demand_change_snow, d.demand_change_snow),
            jsonio::with_default("count_month", &C::count_month, d.count_month),
            jsonio::with_default("count_day_of_week", &C::count_day_of_week, d.count_day_of_week),
            jsonio::with_default("count_hour", &C::count_hour, d.count_hour),
            jsonio::with_default("incidents", &C::incidents, d.incidents),
            jsonio::with_default("boundary_signals", &C::boundary_signals, d.boundary_signals),
            jsonio::with_default("weather_seed", &C::weather_seed, d.weather_seed),
            jsonio::with_default("demand_seed", &C::demand_seed, d.demand_seed),
            jsonio::with_default("incident_seed", &C::incident_seed, d.incident_seed),
            jsonio::with_default("vmt_weighted", &C::vmt_weighted, d.vmt_weighted),
        },
        jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

const jsonio::Record<UrbanReliabilityResults>& json_record(jsonio::Tag<UrbanReliabilityResults>) {
    using R = UrbanReliabilityResults;
    // Key order of the summary, not of the fields: the count first, the metrics nested.
    static const jsonio::Record<R> record{
        "UrbanReliabilityResults",
        {
            jsonio::required("num_scenarios", &R::num_scenarios),
            jsonio::result("base_free_flow_travel_time_s", &R::base_free_flow_travel_time_s),
            jsonio::result("mean_travel_time_s", &R::mean_travel_time_s),
            jsonio::required("metrics", &R::metrics),
            jsonio::result("reliability_rating_urban", &R::reliability_rating_urban),
            jsonio::result("total_vhd", &R::total_vhd),
            jsonio::required("num_weather_events", &R::num_weather_events),
            jsonio::required("num_incidents", &R::num_incidents),
            jsonio::result("pct_nondry_scenarios", &R::pct_nondry_scenarios),
        },
        jsonio::UnknownKeys::ignore, jsonio::ArrayForm::all_fields};
    return record;
}

const jsonio::Record<UrbanReliability>& json_record(jsonio::Tag<UrbanReliability>) {
    using U = UrbanReliability;
    static const jsonio::Record<U> record{
        "UrbanReliability",
        {
            jsonio::required("facility", &U::facility),
            jsonio::required("config", &U::config),
            jsonio::with_default("atdm_strategies", &U::atdm_strategies, {}),
        },
        jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

UrbanReliability read_urban_reliability(std::string_view text) { return jsonio::read_document<UrbanReliability>(text); }

std::string write_results(const UrbanReliabilityResults& results) { return jsonio::write_document(results); }

}  // namespace hcm::urban_reliability::urban_reliability
