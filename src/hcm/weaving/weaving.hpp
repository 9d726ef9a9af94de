#pragma once
// HCM Chapter 13: freeway weaving segments (also weaves on multilane highways and C-D roads).
//
// Edition "7" follows the 7th Edition step structure (demand flows, configuration, maximum
// weaving length, capacity, lane changes, weaving intensity, speeds, density, LOS); edition "7.1"
// replaces capacity, speed and density by an equivalent basic segment slowed by a weaving speed
// impedance. A caller that builds the record itself (the freeway facility does, once per segment
// and period) sets the inputs, leaves the results empty and calls `run_analysis`:
//
//   hcm::weaving::weaving::WeavingSegment w;   // inputs start at the defaults below (a one-sided
//                                              // freeway weave, 1,500 ft, 4 lanes, 70 mi/h)
//   w.length_short = 1200.0; w.v_ff = 3800.0; ...
//   w.run_analysis();                          // never throws on a well-formed record
//   double speed = w.speed_avg.value_or(0.0);
//   bool weaving = w.is_weaving.value_or(false);
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "base/enum_names.hpp"
#include "base/options.hpp"
#include "hcm/common/common.hpp"
#include "hcm/common/version.hpp"
#include "json/record_fwd.hpp"

namespace hcm::weaving::weaving {

using common::LevelOfService;
using common::Terrain;
using common::version::HcmVersion;

enum class WeavingType : std::uint8_t { OneSided, TwoSided };

// The facility the weave lies on: selects the edition-7 LOS table (Exhibit 13-6).
enum class FacilityType : std::uint8_t { Freeway, MultilaneOrCd };

// Option words of the segment's text inputs, lower-cased (not trimmed). The terrain word is
// hcm::common::TERRAIN_WORDS.
inline constexpr base::OptionTable<WeavingType, 6> WEAVING_TYPE_WORDS{
    base::Normalise::Lower,
    "unknown weaving_type: {}",
    {{{"onesided", WeavingType::OneSided}, {"one_sided", WeavingType::OneSided}, {"one-sided", WeavingType::OneSided},
      {"twosided", WeavingType::TwoSided}, {"two_sided", WeavingType::TwoSided}, {"two-sided", WeavingType::TwoSided}}}};
inline constexpr base::OptionTable<FacilityType, 4> FACILITY_TYPE_WORDS{
    base::Normalise::Lower,
    "unknown facility_type: {}",
    {{{"freeway", FacilityType::Freeway},
      {"multilane", FacilityType::MultilaneOrCd},
      {"cd", FacilityType::MultilaneOrCd},
      {"multilane_or_cd", FacilityType::MultilaneOrCd}}}};

// Exhibit 13-6: edition-7 upper density bounds (pc/mi/ln) of LOS A to E, inclusive, by facility type.
inline constexpr std::array<double, 5> LOS_DENSITY_MAX_FREEWAY = {10.0, 20.0, 28.0, 35.0, 43.0};
inline constexpr std::array<double, 5> LOS_DENSITY_MAX_MULTILANE_OR_CD = {12.0, 24.0, 32.0, 36.0, 40.0};

// Edition 7.1 classification of the weave, which picks the speed-impedance coefficients.
enum class WeavingClass : std::uint8_t { Simple, Complex, TwoSided };

// The four movement demand flow rates (pc/h), in the order the 7.1 output lists them.
struct MovementFlows {
    double v_rf = 0.0;
    double v_rr = 0.0;
    double v_fr = 0.0;
    double v_ff = 0.0;
};

// Intermediate and final values of one edition-7.1 run, written whole by each such run.
struct WeavingV71Result {
    WeavingClass weaving_class = WeavingClass::Simple;
    double f_hv = 1.0;
    MovementFlows flows;
    double flow_total = 0.0;            // v (pc/h)
    double flow_per_lane = 0.0;         // v/N (pc/h/ln)
    double ffs_adj = 0.0;               // FFS x SAF
    double capacity_basic_adj = 0.0;    // c_adj of the equivalent basic segment (pc/h/ln)
    double breakpoint_adj = 0.0;        // BP_adj (pc/h/ln)
    double speed_basic = 0.0;           // S_basic at v/N
    double weaving_intensity = 0.0;     // speed-impedance coefficient k_W
    double speed_impedance = 0.0;       // mi/h taken off S_basic
    std::optional<double> speed_avg;    // S, present when positive
    std::optional<double> capacity_per_lane;
    std::optional<double> capacity_total;
    std::optional<double> dc_ratio;
    bool demand_exceeds_capacity = false;
    double density = 0.0;               // pc/mi/ln, +infinity when S is not positive
    LevelOfService los = LevelOfService::A;
};

// JSON form of the 7.1 record (the keys in field order, `class` for the weaving class) and of its
// movement flows.
const jsonio::Record<MovementFlows>& json_record(jsonio::Tag<MovementFlows>);
const jsonio::Record<WeavingV71Result>& json_record(jsonio::Tag<WeavingV71Result>);

// Return values of the edition-7 steps that produce more than one number.
struct DemandFlows {
    double weaving;     // v_W
    double nonweaving;  // v_NW
    double total;       // v
};

struct WeavingSpeeds {
    double weaving;     // S_W
    double nonweaving;  // S_NW
    double average;     // S
};

// One weaving segment: inputs (their defaults are the Python constructor's) and the
// results of the last analysis or step, each empty until a step writes it. Flows pc/h unless
// stated, lengths ft, speeds mi/h, densities pc/mi/ln.
struct WeavingSegment {
    // Inputs.
    WeavingType weaving_type = WeavingType::OneSided;
    FacilityType facility_type = FacilityType::Freeway;
    double length_short = 1500.0;          // L_S (ft)
    std::uint32_t num_lanes = 4;           // N
    std::uint32_t num_weaving_lanes = 2;   // N_WL
    double ffs = 70.0;
    double v_ff = 3000.0;                  // demand volumes (veh/h)
    double v_fr = 500.0;
    double v_rf = 500.0;
    double v_rr = 100.0;
    double phf = 0.94;
    double heavy_vehicle_pct = 0.05;       // P_T as a proportion
    Terrain terrain = Terrain::Level;      // general terrain: E_T - 1 = 1, 2, 4
    double interchange_density = 0.8;      // ID (int/mi)
    double basic_freeway_capacity = 2400.0;  // c_IFL (pc/h/ln)
    double caf = 1.0;
    double saf = 1.0;
    std::uint32_t lc_rf = 1;               // minimum lane changes per weaving vehicle
    std::uint32_t lc_fr = 1;
    std::uint32_t lc_rr = 0;
    std::uint32_t nw_rf = 1;               // counts of the edition-7.1 weighting
    std::uint32_t nw_fr = 1;
    std::uint32_t nw_rr = 0;
    HcmVersion version = HcmVersion::Hcm7;

    // Results.
    std::optional<double> f_hv;
    std::optional<double> flow_weaving;
    std::optional<double> flow_nonweaving;
    std::optional<double> flow_total;
    std::optional<double> volume_ratio;
    std::optional<double> lc_min;
    std::optional<double> l_max;
    std::optional<double> c_iwl;
    std::optional<double> c_w1;
    std::optional<double> c_w2;
    std::optional<double> capacity;        // c_W (veh/h)
    std::optional<double> vc_ratio;
    std::optional<double> lc_w;
    std::optional<double> lc_nw;
    std::optional<double> lc_all;
    std::optional<double> weaving_intensity;  // W (edition 7) or k_W (edition 7.1)
    std::optional<double> speed_weaving;
    std::optional<double> speed_nonweaving;
    std::optional<double> speed_avg;
    std::optional<double> density;
    std::optional<WeavingV71Result> v7_1;
    std::optional<bool> is_weaving;        // L_S < L_MAX
    std::optional<bool> demand_exceeds_capacity;
    std::optional<LevelOfService> los;

    // The whole procedure of the record's edition; writes its results and returns the LOS.
    // Never throws for a record whose terrain and facility type are valid.
    LevelOfService run_analysis();

    // The 7th Edition steps, each from the inputs and the stored results of earlier steps
    // (an earlier result not yet computed counts 0; f_HV is computed when absent). On a
    // segment of edition "7.1" each throws hcm::Error and changes nothing.
    DemandFlows determine_demand_flow();                  // step 1
    double determine_configuration_characteristics();     // step 2: LC_MIN
    double determine_max_weaving_length();                // step 3: L_MAX, is_weaving
    double determine_capacity();                          // step 4: c_W, v/c
    double determine_lane_changing_rates();               // step 5: LC_ALL
    WeavingSpeeds estimate_speed();                       // steps 6 and 7
    double determine_density();                           // step 8
    LevelOfService determine_los();                       // step 9
};

// Edition-7 weaving length and capacity equations, shared with the freeway facility's weaving
// capacity. N_WL is the number of weaving lanes as it enters them (0 for a two-sided weave).
// L_MAX = 5728 (1 + VR)^1.6 - 1566 N_WL (ft).
double calculate_max_weaving_length(double volume_ratio, std::uint32_t weaving_lanes);
// c_IWL = c_IFL - 438.2 (1 + VR)^1.6 + 0.0765 L_S + 119.8 N_WL (pc/h/ln), c_IFL in pc/h/ln, L_S in ft.
double calculate_weaving_lane_capacity(double c_ifl, double volume_ratio, double length_short,
                                       std::uint32_t weaving_lanes);
// The weaving flow (pc/h) that limits capacity to c_W2 = f_HV x flow / VR: 2400 with two weaving
// lanes, 3500 with three; none otherwise.
std::optional<double> max_weaving_flow(std::uint32_t weaving_lanes);

// Service flow rate under ideal conditions SFI (pc/h, total of the four movements) at which the
// segment reaches `target_density`, with the movements in the shares `split` = (ff, rf, fr, rr)
// (HCM Chapter 27, Example Problem 5). Runs the procedure on private copies of `segment`.
// Throws hcm::Error when the target density is not finite or cannot be reached.
double service_flow_rate_ideal(const WeavingSegment& segment, const std::array<double, 4>& split,
                               double target_density);

struct ServiceVolumes {
    double sfi;  // ideal service flow rate (pc/h)
    double sf;   // prevailing service flow rate SF = SFI x f_HV
    double sv;   // service volume SV = SF x PHF
    double dsv;  // daily service volume DSV = SV / (K x D), +infinity unless K, D > 0
};

ServiceVolumes service_volumes(double sfi, double f_hv, double phf, double k, double d);

struct CrossWeaveCapacity {
    double crf;    // capacity reduction factor
    double caf;    // 1 - CRF
    double c_gpa;  // adjusted general-purpose capacity (veh/h)
};

// Equations 13-24 and 13-25: capacity effect of the cross-weave on the general-purpose lanes
// next to a managed-lane access point. Throws hcm::Error unless `cw` > 0.
CrossWeaveCapacity cross_weave_gp_capacity(double cw, double l_cw_min, std::uint32_t n_gp, double c_gp);

}  // namespace hcm::weaving::weaving

namespace base {
template <>
inline constexpr std::array<std::string_view, 2> variant_names<hcm::weaving::weaving::WeavingType> = {"OneSided", "TwoSided"};
template <>
inline constexpr std::array<std::string_view, 3> variant_names<hcm::weaving::weaving::WeavingClass> = {"Simple", "Complex",
                                                                                          "TwoSided"};
}  // namespace base
