#include "hcm/freeway_reliability/scenario_json.hpp"

#include "json/jsonio.hpp"

namespace hcm::freeway_reliability::exhibits {

const jsonio::Record<IncidentDurationParams>& json_record(jsonio::Tag<IncidentDurationParams>) {
    using D = IncidentDurationParams;
    static const jsonio::Record<D> record{"IncidentDurationParams",
                                          {
                                              jsonio::required("mean", &D::mean),
                                              jsonio::required("std_dev", &D::std_dev),
                                              jsonio::required("min", &D::min),
                                              jsonio::required("max", &D::max),
                                          },
                                          jsonio::UnknownKeys::ignore, jsonio::ArrayForm::all_fields};
    return record;
}

}  // namespace hcm::freeway_reliability::exhibits

namespace hcm::freeway_reliability::scenario_generation {

// ---- Inputs: every key optional, unknown keys ignored, short arrays filled with defaults ----------

const jsonio::Record<WeatherInputs>& json_record(jsonio::Tag<WeatherInputs>) {
    using W = WeatherInputs;
    const W defaults;
    static const jsonio::Record<W> record{
        "WeatherInputs",
        {
            jsonio::with_default("probabilities_by_month", &W::probabilities_by_month, defaults.probabilities_by_month),
            jsonio::with_default("durations_min", &W::durations_min, defaults.durations_min),
            jsonio::optional("caf_override", &W::caf_override),
            jsonio::optional("saf_override", &W::saf_override),
            jsonio::with_default("daf", &W::daf, 1.0),
        },
        jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

const jsonio::Record<IncidentInputs>& json_record(jsonio::Tag<IncidentInputs>) {
    using I = IncidentInputs;
    const I defaults;
    static const jsonio::Record<I> record{
        "IncidentInputs",
        {
            jsonio::optional("monthly_frequencies", &I::monthly_frequencies),
            jsonio::optional("crash_rate_per_100mvmt", &I::crash_rate_per_100mvmt),
            jsonio::with_default("incident_to_crash_ratio", &I::incident_to_crash_ratio,
                                 exhibits::DEFAULT_INCIDENT_TO_CRASH_RATIO),
            jsonio::with_default("severity_distribution", &I::severity_distribution, defaults.severity_distribution),
            jsonio::with_default("duration_params", &I::duration_params, defaults.duration_params),
            jsonio::with_default("daf", &I::daf, 1.0),
        },
        jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

const jsonio::Record<WorkZoneEvent>& json_record(jsonio::Tag<WorkZoneEvent>) {
    using Z = WorkZoneEvent;
    static const jsonio::Record<Z> record{"WorkZoneEvent",
                                          {
                                              jsonio::with_default("months", &Z::months, {}),
                                              jsonio::with_default("weekdays", &Z::weekdays, WORKING_DAYS),
                                              jsonio::with_default("active_day_ratio", &Z::active_day_ratio, 1.0),
                                              jsonio::with_default("segments", &Z::segments, {}),
                                              jsonio::optional("periods", &Z::periods),
                                              jsonio::with_default("caf", &Z::caf, 1.0),
                                              jsonio::with_default("saf", &Z::saf, 1.0),
                                              jsonio::with_default("daf", &Z::daf, 1.0),
                                              jsonio::with_default("lanes_closed", &Z::lanes_closed, 0),
                                          },
                                          jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

const jsonio::Record<SpecialEvent>& json_record(jsonio::Tag<SpecialEvent>) {
    using E = SpecialEvent;
    static const jsonio::Record<E> record{"SpecialEvent",
                                          {
                                              jsonio::with_default("month", &E::month, 1),
                                              jsonio::with_default("weekday", &E::weekday, Weekday::Monday),
                                              jsonio::with_default("replication", &E::replication, 0),
                                              jsonio::optional("segments", &E::segments),
                                              jsonio::optional("periods", &E::periods),
                                              jsonio::with_default("daf", &E::daf, 1.0),
                                              jsonio::with_default("caf", &E::caf, 1.0),
                                              jsonio::with_default("saf", &E::saf, 1.0),
                                          },
                                          jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

const jsonio::Record<ScenarioGenerationConfig>& json_record(jsonio::Tag<ScenarioGenerationConfig>) {
    using C = ScenarioGenerationConfig;
    const C defaults;
    static const jsonio::Record<C> record{
        "ScenarioGenerationConfig",
        {
            jsonio::with_default("months", &C::months, defaults.months),
            jsonio::with_default("weekdays", &C::weekdays, defaults.weekdays),
            jsonio::with_default("replications", &C::replications, defaults.replications),
            jsonio::optional("day_counts", &C::day_counts),
            jsonio::with_default("seed_month", &C::seed_month, defaults.seed_month),
            jsonio::with_default("seed_weekday", &C::seed_weekday, defaults.seed_weekday),
            jsonio::with_default("demand_multipliers", &C::demand_multipliers, defaults.demand_multipliers),
            jsonio::optional("weather", &C::weather),
            jsonio::optional("incidents", &C::incidents),
            jsonio::with_default("work_zones", &C::work_zones, {}),
            jsonio::with_default("special_events", &C::special_events, {}),
            jsonio::with_default("rng_seed", &C::rng_seed, defaults.rng_seed),
        },
        jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

// ---- Scenario set: written with every key, in declaration order ------------------------------------

const jsonio::Record<WeatherEventAssignment>& json_record(jsonio::Tag<WeatherEventAssignment>) {
    using W = WeatherEventAssignment;
    static const jsonio::Record<W> record{"WeatherEventAssignment",
                                          {
                                              jsonio::required("weather", &W::weather),
                                              jsonio::required("start_period", &W::start_period),
                                              jsonio::required("duration_periods", &W::duration_periods),
                                              jsonio::required("caf", &W::caf),
                                              jsonio::required("saf", &W::saf),
                                          }};
    return record;
}

const jsonio::Record<IncidentAssignment>& json_record(jsonio::Tag<IncidentAssignment>) {
    using I = IncidentAssignment;
    static const jsonio::Record<I> record{"IncidentAssignment",
                                          {
                                              jsonio::required("severity", &I::severity),
                                              jsonio::required("segment", &I::segment),
                                              jsonio::required("start_period", &I::start_period),
                                              jsonio::required("duration_periods", &I::duration_periods),
                                          }};
    return record;
}

const jsonio::Record<FreewayScenario>& json_record(jsonio::Tag<FreewayScenario>) {
    using S = FreewayScenario;
    static const jsonio::Record<S> record{"FreewayScenario",
                                          {
                                              jsonio::required("id", &S::id),
                                              jsonio::required("month", &S::month),
                                              jsonio::required("weekday", &S::weekday),
                                              jsonio::required("replication", &S::replication),
                                              jsonio::required("probability", &S::probability),
                                              jsonio::required("demand_multiplier", &S::demand_multiplier),
                                              jsonio::required("daf", &S::daf),
                                              jsonio::required("weather_events", &S::weather_events),
                                              jsonio::required("incidents", &S::incidents),
                                              jsonio::required("work_zones", &S::work_zones),
                                              jsonio::required("special_events", &S::special_events),
                                          }};
    return record;
}

const jsonio::Record<ScenarioSet>& json_record(jsonio::Tag<ScenarioSet>) {
    using S = ScenarioSet;
    static const jsonio::Record<S> record{"ScenarioSet",
                                          {
                                              jsonio::required("scenarios", &S::scenarios),
                                              jsonio::required("expected_weather_events", &S::expected_weather_events),
                                              jsonio::required("monthly_incident_frequency",
                                                               &S::monthly_incident_frequency),
                                              jsonio::required("total_incidents", &S::total_incidents),
                                              jsonio::required("total_weather_events", &S::total_weather_events),
                                          }};
    return record;
}

std::string scenario_set_to_json(const ScenarioSet& set) {
    return jsonio::write_document_with_prefix(set, "serialization failed: ");
}

}  // namespace hcm::freeway_reliability::scenario_generation
