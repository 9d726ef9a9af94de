#pragma once
// HCM Chapter 12 operational and design analysis of one basic freeway segment or one multilane
// highway segment: free-flow speed, capacity, heavy-vehicle factor, demand flow rate, speed from
// the speed-flow curve, density, level of service, and the number of lanes for a target LOS.
//
// Every step reads and writes fields of the one record; a step run before the steps it depends
// on uses what the record holds (initially the defaults below). A step that fails throws
// hcm::Error and leaves the fields it would have written unchanged; what earlier steps stored
// stays stored.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "base/options.hpp"
#include "hcm/basicfreeways/exhibits.hpp"
#include "hcm/common/common.hpp"

namespace hcm::basicfreeways::basicfreeways {

using hcm::common::LevelOfService;

// Highway-type texts, compared exactly (case-sensitive). Anything but "basic" follows the
// multilane highway rules for free-flow speed, breakpoint and exponent.
inline constexpr std::string_view HIGHWAY_BASIC = "basic";
inline constexpr std::string_view HIGHWAY_MULTILANE = "multilane";
inline constexpr std::string_view MEDIAN_UNDIVIDED = "undivided";

// LOS code of the design-step messages for "no target LOS set".
inline constexpr std::uint8_t LOS_NOT_SET = 255;

struct BasicFreeways {
    // Inputs. Speeds mi/h, lane width and clearances ft, grade length mi.
    double bffs = 65.0;                        // base free-flow speed
    std::optional<double> lane_width = 12.0;   // average lane width
    std::uint32_t lane_count = 2;              // lanes in the analysis direction (design step overwrites)
    double lc_r = 6.0;                         // right-side lateral clearance
    double lc_l = 6.0;                         // left-side lateral clearance (multilane highways)
    std::uint32_t trd = 0;                     // total ramp density, ramps/mi (basic freeways)
    std::uint32_t apd = 0;                     // access-point density, points/mi (multilane highways)
    double grade = 0.0;                        // percent grade of a specific upgrade
    double length = 0.0;                       // length of the specific upgrade
    std::optional<std::string> terrain_type;   // "level", "rolling" or "mountainous" (any case)
    std::uint32_t sut_percentage = 0;          // 0: general terrain; 30, 50, 70: specific upgrade
    std::optional<double> p_t;                 // heavy-vehicle proportion 0..1; absent counts as 0
    double demand_flow_i = 0.0;                // demand volume V, veh/h
    double phf = 1.0;                          // peak-hour factor
    std::string highway_type = std::string(HIGHWAY_BASIC);
    std::string median_type = "divided";
    std::uint32_t speed_limit = 65;            // held only
    bool is_rural = false;                     // held only
    double caf = 1.0;                          // capacity adjustment factor
    double saf = 1.0;                          // speed adjustment factor

    // Results. Flows pc/h/ln, densities pc/mi/ln.
    double ffs = 65.0;                // free-flow speed before SAF
    double adjusted_ffs = 65.0;       // ffs x SAF
    double capacity = 2000.0;         // base capacity c
    double adjusted_capacity = 2000.0;  // c x CAF
    double f_hv = 1.0;                // heavy-vehicle factor, unrounded
    std::optional<double> e_t;        // E_T chosen by the last successful heavy-vehicle step
    double demand_flow_rate = 1000.0;  // v_p
    double breakpoint = 1000.0;       // speed-flow breakpoint BP
    double speed = 65.0;              // space mean speed S
    double density = 0.0;             // density D
    double vc_ratio = 0.0;            // v_p / adjusted capacity
    // Both the design target (set_target_los) and the LOS result of the analysis steps.
    LevelOfService los = LevelOfService::F;

    bool is_basic() const { return highway_type == HIGHWAY_BASIC; }

    // Step 2, free-flow speed: BFFS less the lane-width, lateral-clearance and ramp-density
    // (freeway) or median and access-point (multilane) adjustments; also adjusted_ffs and the
    // speed-flow breakpoint. Returns adjusted_ffs.
    double determine_free_flow_speed();

    // Step 3, capacity: base and adjusted capacity. Returns the base capacity truncated to a
    // whole number of pc/h/ln (0 when negative).
    double estimate_capacity();

    // Step 4a, heavy-vehicle factor (Equation 12-10; E_T from Exhibit 12-25 for general terrain,
    // 12-26 to 12-28 for a specific upgrade). Returns f_HV rounded to three decimals. Throws
    // hcm::Error for heavy-vehicle inputs outside the exhibits.
    double adjustment_heavy_vehicle_factor();

    // Step 4, demand flow rate v_p = V / (PHF x N x f_HV). Throws as step 4a.
    double estimate_demand_volume();

    // Step 5a, space mean speed from the speed-flow curve. Returns (S, exponent).
    std::pair<double, double> calculate_speed();

    // v/c ratio, 0 when the adjusted capacity is not positive.
    double calculate_vc_ratio();

    // Step 5b, density D = v_p / S; 46 pc/mi/ln when demand exceeds capacity.
    double estimate_density();

    // Step 6, level of service (Exhibit 12-15) from the stored v/c ratio and density.
    LevelOfService determine_segment_los();

    // Steps 2 to 6 (step 4 first: it reads inputs only). Throws as step 4a, before anything is stored.
    LevelOfService run_operational_analysis();

    // Design (Equations 12-21 to 12-23, Exhibits 12-37 and 12-38): lanes needed to serve the
    // demand at the target LOS held in `los`. Stores the rounded-up count in lane_count and
    // returns (rounded-up count, unrounded count). Throws hcm::Error when the exhibit has no
    // maximum service flow rate for the FFS and target LOS, or as step 4a; nothing is stored then.
    std::pair<std::uint32_t, double> estimate_number_of_lanes();

    friend bool operator==(const BasicFreeways&, const BasicFreeways&) = default;
};

// ---- The basic freeway speed-flow curve ---------------------------------------------------------
// The steps above evaluate it, and so does the equivalent basic segment of the edition-7.1 weaving
// and merge/diverge procedures. Flows pc/h/ln, speeds mi/h. Plain arithmetic without allocation:
// facility evaluations and service-flow searches call these many times over.

// Density at capacity (pc/mi/ln): the curve reaches capacity c at the speed c / 45.
inline constexpr double BASIC_FREEWAY_DENSITY_AT_CAPACITY = 45.0;

// Base capacity c = min(2200 + 10 (FFS - 50), 2400) (Equation 12-6), from FFS before SAF. A free-flow
// speed that is not a number gives a capacity that is not a number.
double basic_freeway_capacity(double ffs);

// Breakpoint BP = (1000 + 40 (75 - FFS_adj)) CAF^2.
double basic_freeway_breakpoint(double adjusted_ffs, double caf);

// Speed at `flow` on the curve through (BP, FFS_adj) and (c, c / 45) with exponent 2:
// FFS_adj up to BP; FFS_adj - (FFS_adj - c/45) ((v - BP) / (c - BP))^2 up to c (c/45 when c <= BP);
// 0 above c or for a flow that is not a number.
double basic_freeway_speed(double flow, double adjusted_ffs, double capacity, double breakpoint);

// Flow above the breakpoint at which the density v / S(v) reaches `density`, S(v) being the
// curve above less a speed impedance k (v - v0) (the edition-7.1 weaving and ramp impedances):
// the positive root of A v^2 + B v + C = 0 with A = D (FFS_adj - c/45) / (c - BP)^2,
// B = D k + 1 - 2 A BP and C = A BP^2 - D k v0 - D FFS_adj. No value when c <= BP, A <= 0 or the
// roots are not real.
std::optional<double> basic_freeway_flow_at_density(double density, double adjusted_ffs, double capacity,
                                                    double breakpoint, double impedance_k, double impedance_onset);

// E_T of general terrain (Exhibit 12-25): 2.0 on level terrain, 3.0 on rolling and on mountainous
// terrain, taken as rolling. The one general-terrain E_T of the basic segment and of the freeway
// facility methods, so a segment has the same f_HV alone as inside a facility. A terrain value
// outside the enumeration is a caller bug and throws std::out_of_range.
inline double basic_segment_general_terrain_et(common::Terrain terrain) {
    return exhibits::BASIC_SEGMENT_GENERAL_TERRAIN_ET.at(static_cast<std::size_t>(terrain));
}

// f_HV rounded to three decimals, as the demand flow rate uses it.
double round_f_hv(double f_hv);

// Exhibit 12-15 density thresholds (pc/mi/ln), shared by basic freeway, multilane highway and
// managed-lane segments.
LevelOfService los_from_density(double density);

// The design-step error text for an FFS key or target LOS outside Exhibit 12-37 or 12-38.
// `los_code` is 0..5 for A..F, LOS_NOT_SET when no target was set.
std::string msf_domain_error(std::string_view exhibit, std::string_view segment_type, double ffs_key,
                             std::uint8_t los_code, std::int32_t low_ffs, std::int32_t high_ffs);

// A target LOS given as text: trimmed, upper-cased, the first letter A to F decides ("b" and
// "Best" both give B).
inline constexpr base::OptionTable<LevelOfService, 6> TARGET_LOS_WORDS{
    base::Normalise::Trim | base::Normalise::Upper | base::Normalise::FirstChar,
    "target LOS must be one of A-F, got {given:?}",
    {{{"A", LevelOfService::A},
      {"B", LevelOfService::B},
      {"C", LevelOfService::C},
      {"D", LevelOfService::D},
      {"E", LevelOfService::E},
      {"F", LevelOfService::F}}},
    "target LOS must be one of A-F"};

}  // namespace hcm::basicfreeways::basicfreeways
