#pragma once
// HCM Chapter 15, Section 4: bicycle level of service on a two-lane or multilane highway
// segment (Steps 2 to 5, Equations 15-40 through 15-47, Exhibit 15-7).
//
//   BicycleLOS b{12.0, 6.0, 50.0, 1, 4.0, 300.0, 0.9, 0.05, 0.0};
//   BicycleLOSResult r = analyze(b);                     // or each step on its own
//   std::string json = analyze_bicycle_los(config_json); // throws hcm::Error on bad JSON
#include <cstdint>
#include <string>
#include <string_view>

#include "hcm/common/common.hpp"
#include "json/record_fwd.hpp"

namespace hcm::twolanehighways {

// The bicycle method's own input set: pavement and parking enter, segment length does not.
struct BicycleLOS {
    double lane_width = 0.0;          // W_OL, outside through lane (ft)
    double shoulder_width = 0.0;      // W_s, paved shoulder (ft)
    double speed_limit = 0.0;         // S_P, posted (mi/h)
    std::int32_t num_lanes = 0;       // N, directional through lanes
    double pavement_condition = 0.0;  // P_C, FHWA 5-point rating
    double hourly_volume = 0.0;       // V, directional (veh/h)
    double phf = 0.0;
    double heavy_vehicle_pct = 0.0;        // HV, decimal
    double pct_on_highway_parking = 0.0;   // p_pk, decimal
};

struct BicycleLOSResult {
    double flow_rate_outside_lane = 0.0;  // v_OL (veh/h)
    double effective_width = 0.0;         // W_e (ft)
    double effective_speed_factor = 0.0;  // S_Rt
    double blos_score = 0.0;              // BLOS
    common::LevelOfService los = common::LevelOfService::A;
};

const jsonio::Record<BicycleLOS>& json_record(jsonio::Tag<BicycleLOS>);
const jsonio::Record<BicycleLOSResult>& json_record(jsonio::Tag<BicycleLOSResult>);

// Step 2 (Equation 15-40): v_OL = V / (PHF N).
double flow_rate_outside_lane(const BicycleLOS& b);
// Step 3 (Equations 15-41 to 15-45): W_e, not limited below.
double effective_width(const BicycleLOS& b);
// Step 4 (Equation 15-46): S_Rt = 1.1199 ln(S_P - 20) + 0.8103, with S_P at least 21 mi/h.
double effective_speed_factor(const BicycleLOS& b);
// Step 5 (Equation 15-47).
double blos_score(const BicycleLOS& b);
// Exhibit 15-7: A to F; a score that is not a number is F.
common::LevelOfService bicycle_los(double blos);

BicycleLOSResult analyze(const BicycleLOS& b);

// The result as compact JSON (non-finite numbers as null).
std::string to_json(const BicycleLOSResult& r);

// Reads the nine inputs from JSON text (object or array form), runs Steps 2 to 5 and returns
// the result as compact JSON. A document that does not read throws hcm::Error
// "invalid bicycle LOS config: {reader message}".
std::string analyze_bicycle_los(std::string_view config_json);

}  // namespace hcm::twolanehighways
