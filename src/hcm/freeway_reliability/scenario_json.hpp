#pragma once
// JSON form of scenario generation: the record tables of its inputs (read from the reliability
// document's `scenario_generation` object) and of the scenario set (written, never read back).
#include <string>
#include <string_view>

#include "hcm/freeway_reliability/scenario_generation.hpp"
#include "json/record_fwd.hpp"

namespace hcm::freeway_reliability::exhibits {
const jsonio::Record<IncidentDurationParams>& json_record(jsonio::Tag<IncidentDurationParams>);
}

namespace hcm::freeway_reliability::scenario_generation {

const jsonio::Record<WeatherInputs>& json_record(jsonio::Tag<WeatherInputs>);
const jsonio::Record<IncidentInputs>& json_record(jsonio::Tag<IncidentInputs>);
const jsonio::Record<WorkZoneEvent>& json_record(jsonio::Tag<WorkZoneEvent>);
const jsonio::Record<SpecialEvent>& json_record(jsonio::Tag<SpecialEvent>);
const jsonio::Record<ScenarioGenerationConfig>& json_record(jsonio::Tag<ScenarioGenerationConfig>);

const jsonio::Record<WeatherEventAssignment>& json_record(jsonio::Tag<WeatherEventAssignment>);
const jsonio::Record<IncidentAssignment>& json_record(jsonio::Tag<IncidentAssignment>);
const jsonio::Record<FreewayScenario>& json_record(jsonio::Tag<FreewayScenario>);
const jsonio::Record<ScenarioSet>& json_record(jsonio::Tag<ScenarioSet>);

// The compact scenario-set document; hcm::Error "serialization failed: {}" if it cannot be written.
std::string scenario_set_to_json(const ScenarioSet& set);

}  // namespace hcm::freeway_reliability::scenario_generation
