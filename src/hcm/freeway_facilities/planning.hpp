#pragma once
// HCM Chapter 25, Section 6: the planning-level freeway facility method. From AADT volumes per
// section and a few facility-wide factors it estimates, for four consecutive 15-minute periods,
// each section's demand, capacity, demand-to-capacity ratio, speed, density and queue, and the
// facility's travel time, speed, density, queue and level of service.
//
// One record holds the inputs and the results of the last analysis; its JSON form is the
// planning facility document. Results are indexed [section][period], upstream section first.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/enum_names.hpp"
#include "hcm/common/common.hpp"
#include "hcm/freeway_facilities/freeway_facilities.hpp"
#include "json/record_fwd.hpp"

namespace hcm::freeway_facilities::planning {

using common::CityType;
using common::LevelOfService;
using freeway_facilities::Terrain;

// Kind of section; selects the default capacity adjustment factor.
enum class PlanningSectionType : std::uint8_t { Basic, Weave, Ramp };

// One homogeneous section of the facility.
struct PlanningSection {
    PlanningSectionType sec_type = PlanningSectionType::Basic;
    double length_mi = 1.0;
    std::uint32_t lanes = 3;    // through lanes in one direction
    double inflow_aadt = 0.0;   // veh/day joining here (mainline entry at the first section, on-ramp elsewhere)
    double outflow_aadt = 0.0;  // veh/day leaving here (off-ramp)
    double weave_vr = 0.0;      // weaving volume ratio (Weave sections only)
    std::optional<double> caf_override;

    bool operator==(const PlanningSection&) const = default;
};

// One section in one 15-minute period.
struct PlanningSectionResult {
    double demand_pc = 0.0;  // pc/h, queued demand carried over included
    double dc_ratio = 0.0;
    double delay_rate = 0.0;   // s/mi
    double travel_rate = 0.0;  // s/mi
    double travel_time_s = 0.0;
    double speed = 0.0;    // mi/h
    double density = 0.0;  // pc/mi/ln
    double queue_length_mi = 0.0;

    bool operator==(const PlanningSectionResult&) const = default;
};

// The whole facility in one 15-minute period.
struct PlanningFacilityResult {
    bool oversaturated = false;
    double travel_time_min = 0.0;
    double space_mean_speed = 0.0;  // mi/h
    double avg_density = 0.0;       // pc/mi/ln, length-weighted
    double total_queue_mi = 0.0;
    LevelOfService los = LevelOfService::A;

    bool operator==(const PlanningFacilityResult&) const = default;
};

struct PlanningFacility {
    // Inputs.
    std::vector<PlanningSection> sections;  // travel order, upstream first
    double ffs = 60.0;                      // mi/h
    double k_factor = 0.09;
    double growth_factor = 1.0;
    double phf = 0.9;
    double pct_sut = 0.0;  // fraction
    double pct_tt = 0.0;   // fraction
    Terrain terrain = Terrain::Level;
    CityType city_type = CityType::Urban;

    // Results of the last analysis.
    std::vector<std::vector<PlanningSectionResult>> section_results;  // [section][period]
    std::vector<PlanningFacilityResult> facility_results;             // [period]

    bool operator==(const PlanningFacility&) const = default;
};

// ---- Constants of the planning method ------------------------------------------------------------

inline constexpr std::size_t PERIODS = 4;

// Section capacity: base capacity per lane 2200 + 10 (min(FFS, 70) - 50) pc/h/ln, times the
// capacity adjustment factor of the section type.
namespace planning_capacity {
inline constexpr double FFS_CAP = 70.0;
inline constexpr double BASIC_CAF = 1.0;
inline constexpr double RAMP_CAF = 0.9;
inline constexpr double WEAVE_CAF_CONSTANT = 0.884;
inline constexpr double WEAVE_CAF_VR = 0.0752;
inline constexpr double WEAVE_CAF_LENGTH_FT = 0.0000243;
inline constexpr double WEAVE_CAF_MAX = 1.0;
}  // namespace planning_capacity

// Delay rate (s/mi) as a cubic in the demand-to-capacity ratio x, zero below the breakpoint, one
// row per free-flow speed class.
struct DelayRateRegression {
    double speed_class;  // mi/h
    double breakpoint;
    double a3, a2, a1, a0;
};
inline constexpr std::array<DelayRateRegression, 5> DELAY_RATE_REGRESSIONS = {{
    {75.0, 0.44, 68.99, -77.97, 34.04, -5.82},
    {70.0, 0.52, 71.24, -85.48, 35.58, -5.44},
    {65.0, 0.62, 92.45, -127.33, 56.34, -8.0},
    {60.0, 0.72, 121.35, -184.84, 83.21, -9.33},
    {55.0, 0.82, 156.43, -248.99, 99.2, -0.12},  // also every class not listed above
}};
inline constexpr double SPEED_CLASS_STEP = 5.0;

// ---- Steps ------------------------------------------------------------------------------------------

// F = k x growth x (1 + (P_SUT + P_TT)(E_T - 1)): AADT (veh/day) to hourly demand (pc/h), E_T
// the facility's (2.0 on level terrain, 3.0 otherwise).
double determine_demand_conversion_factor(const PlanningFacility& facility);

// The four period factors 1, 1/PHF, 1, 2 - 1/PHF (period 2 is the peak; they sum to 4).
std::array<double, PERIODS> determine_period_factors(double phf);

// CAF of a section: its override, else by section type (Weave from its volume ratio and length).
double determine_capacity_adjustment_factor(const PlanningSection& section);

// Base capacity per lane, pc/h/ln.
double calculate_base_capacity_per_lane(double ffs);

// c = base x CAF x lanes, pc/h (zero lanes give zero capacity).
double calculate_section_capacity(double ffs, const PlanningSection& section);

// The regression row of the speed class 5 x round(FFS / 5); the last row for any other class.
const DelayRateRegression& identify_delay_rate_regression(double ffs);

// Delay rate, s/mi: zero below the breakpoint (or for a ratio that is not a number), else the
// row's cubic, not clamped at zero.
double calculate_delay_rate(const DelayRateRegression& row, double dc_ratio);

// Facility measures of one period from the period's section results.
PlanningFacilityResult calculate_period_measures(const PlanningFacility& facility,
                                                 const std::vector<std::vector<PlanningSectionResult>>& results,
                                                 std::size_t period);

// Runs the method and replaces both result lists; throws hcm::Error "planning facility has no
// sections" and then changes nothing.
void run_analysis(PlanningFacility& facility);

double total_length_mi(const PlanningFacility& facility);

// Stored results; hcm::Error naming the index and the bound when it is outside the stored lists.
const PlanningSectionResult& section_result(const PlanningFacility& facility, std::size_t section,
                                            std::size_t period);
const PlanningFacilityResult& facility_result(const PlanningFacility& facility, std::size_t period);

// ---- JSON document ----------------------------------------------------------------------------------

const jsonio::Record<PlanningSection>& json_record(jsonio::Tag<PlanningSection>);
const jsonio::Record<PlanningSectionResult>& json_record(jsonio::Tag<PlanningSectionResult>);
const jsonio::Record<PlanningFacilityResult>& json_record(jsonio::Tag<PlanningFacilityResult>);
const jsonio::Record<PlanningFacility>& json_record(jsonio::Tag<PlanningFacility>);

// The planning facility document as the Python class reads and writes it: read failures carry
// the parser's message alone (jsonio::Error); the writer gives compact text.
PlanningFacility read_planning_facility(std::string_view text);
std::string write_planning_facility(const PlanningFacility& facility);

// Reads a whole planning facility document; hcm::Error "invalid planning facility JSON: {}".
PlanningFacility planning_facility_from_json(std::string_view text);

// The compact document, inputs and results (non-finite numbers as null); hcm::Error
// "serialization failed: {}" if it cannot be written.
std::string planning_facility_to_json(const PlanningFacility& facility);

}  // namespace hcm::freeway_facilities::planning

namespace base {
template <>
inline constexpr std::array<std::string_view, 3> variant_names<hcm::freeway_facilities::planning::PlanningSectionType> = {
    "Basic", "Weave", "Ramp"};
}  // namespace base
