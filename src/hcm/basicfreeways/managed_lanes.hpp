#pragma once
// HCM Chapter 12 basic managed-lane segments: a managed lane separated from the general-purpose
// (GP) lanes in one of five ways, each with its own speed-flow curve,
// and the friction effect of congested GP lanes on continuous-access and Buffer 1 lanes.
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "base/enum_names.hpp"
#include "base/options.hpp"
#include "hcm/common/common.hpp"

namespace hcm::basicfreeways::managed_lanes {

using hcm::common::LevelOfService;

// Separation between the managed lane and the GP lanes. The first two are friction types.
enum class ManagedLaneType : std::uint8_t { ContinuousAccess, Buffer1, Buffer2, Barrier1, Barrier2 };

// Speed-flow parameters of one separation type. FFS mi/h, flows pc/h/ln, densities pc/mi/ln.
struct ManagedLaneParameters {
    bool friction_type;
    double bp_intercept;
    double bp_slope;
    double capacity_intercept;
    double capacity_slope;
    double exponent_intercept;
    double exponent_slope;
    double low_flow_slope;
    double density_at_capacity;
    double friction_density_at_capacity;  // used only by the friction types
};

// The parameters of a separation type.
const ManagedLaneParameters& lane_type_parameters(ManagedLaneType type);

// GP-lane density above which the friction effect applies (pc/mi/ln).
inline constexpr double FRICTION_GP_DENSITY = 35.0;

struct ManagedLaneSegment {
    ManagedLaneParameters parameters;  // of lane_type
    double ffs;           // free-flow speed
    double adjusted_ffs;  // ffs x saf
    double saf;
    double caf;
    double v_p;   // managed-lane demand flow rate (pc/h/ln)
    double k_gp;  // density of the adjacent GP lanes (pc/mi/ln)
    // Results.
    double breakpoint = 0.0;
    double capacity = 0.0;
    double speed;
    double density = 0.0;
    ManagedLaneType lane_type;
    std::optional<LevelOfService> los;

    ManagedLaneSegment(ManagedLaneType type, double ffs, double v_p, double k_gp, double caf, double saf);
    // A continuous-access lane at 65 mi/h without demand, GP density or adjustments.
    ManagedLaneSegment() : ManagedLaneSegment(ManagedLaneType::ContinuousAccess, 65.0, 0.0, 0.0, 1.0, 1.0) {}

    bool has_friction_effect() const { return parameters.friction_type; }
    bool is_friction_active() const { return parameters.friction_type && k_gp > FRICTION_GP_DENSITY; }

    // Breakpoint BP (Equation 12-13); also sets adjusted_ffs.
    double calculate_breakpoint();
    // Adjusted capacity (Equation 12-14); also sets adjusted_ffs.
    double calculate_capacity();
    // Space mean speed on the speed-flow curve (Equation 12-12, with the friction term when
    // active); computes BP and capacity first only when they are not positive.
    double calculate_speed();
    // Density v_p / S; 50 pc/mi/ln when there is no speed.
    double calculate_density();
    // LOS F above capacity, else by density (Exhibit 12-15 thresholds).
    LevelOfService determine_los();
    // Recomputes adjusted FFS, BP, capacity, speed, density and LOS. Never fails.
    LevelOfService run_analysis();
};

// A lane type given as an option word, lower-cased (not trimmed).
inline constexpr base::OptionTable<ManagedLaneType, 6> LANE_TYPE_WORDS{
    base::Normalise::Lower,
    "unknown lane_type: {}",
    {{{"continuous", ManagedLaneType::ContinuousAccess},
      {"continuous_access", ManagedLaneType::ContinuousAccess},
      {"buffer1", ManagedLaneType::Buffer1},
      {"buffer2", ManagedLaneType::Buffer2},
      {"barrier1", ManagedLaneType::Barrier1},
      {"barrier2", ManagedLaneType::Barrier2}}}};

}  // namespace hcm::basicfreeways::managed_lanes

namespace base {
template <>
inline constexpr std::array<std::string_view, 5> variant_names<hcm::basicfreeways::managed_lanes::ManagedLaneType> = {
    "ContinuousAccess", "Buffer1", "Buffer2", "Barrier1", "Barrier2"};
}  // namespace base
