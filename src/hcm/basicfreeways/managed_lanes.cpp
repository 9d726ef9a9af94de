#include "hcm/basicfreeways/managed_lanes.hpp"

#include <cmath>
#include <string>

#include "hcm/basicfreeways/basicfreeways.hpp"
#include "hcm/common/error.hpp"

namespace hcm::basicfreeways::managed_lanes {
namespace {

// Speed-flow parameters of the five separation types, in ManagedLaneType order.
constexpr std::array<ManagedLaneParameters, 5> LANE_TYPE_PARAMETERS = {{
    // friction, BP a, BP b, c a, c b, exp a, exp b, low-flow slope, K_c, K_c with friction
    {true, 500, 0, 1800, 10, 2.5, 0.0, 0.0, 30, 45},     // continuous access
    {true, 600, 0, 1700, 10, 1.4, 0.0, 0.0033, 30, 42},  // Buffer 1
    {false, 500, 10, 1850, 10, 1.5, 0.02, 0.0, 45, 0},   // Buffer 2
    {false, 800, 0, 1750, 10, 1.4, 0.0, 0.004, 35, 0},   // Barrier 1
    {false, 700, 20, 2100, 10, 1.3, 0.02, 0.0, 45, 0},   // Barrier 2
}};

constexpr double REFERENCE_FFS = 75.0;           // BP and capacity are keyed on 75 - FFS
constexpr double EXPONENT_REFERENCE_FFS = 55.0;  // the exponent is keyed on FFS - 55
constexpr double NO_SPEED_DENSITY = 50.0;        // density assigned when the speed is zero

}  // namespace

const ManagedLaneParameters& lane_type_parameters(ManagedLaneType type) {
    return LANE_TYPE_PARAMETERS.at(static_cast<std::size_t>(type));
}

ManagedLaneSegment::ManagedLaneSegment(ManagedLaneType type, double ffs_, double v_p_, double k_gp_, double caf_,
                                       double saf_)
    : parameters(lane_type_parameters(type)),
      ffs(ffs_),
      adjusted_ffs(ffs_),
      saf(saf_),
      caf(caf_),
      v_p(v_p_),
      k_gp(k_gp_),
      speed(ffs_),
      lane_type(type) {}

namespace {

double breakpoint_for(const ManagedLaneSegment& s) {
    return s.caf * s.caf * (s.parameters.bp_intercept + s.parameters.bp_slope * (REFERENCE_FFS - s.adjusted_ffs));
}

double capacity_for(const ManagedLaneSegment& s) {
    return s.caf * (s.parameters.capacity_intercept - s.parameters.capacity_slope * (REFERENCE_FFS - s.adjusted_ffs));
}

}  // namespace

double ManagedLaneSegment::calculate_breakpoint() {
    adjusted_ffs = ffs * saf;
    breakpoint = breakpoint_for(*this);
    return breakpoint;
}

double ManagedLaneSegment::calculate_capacity() {
    adjusted_ffs = ffs * saf;
    capacity = capacity_for(*this);
    return capacity;
}

double ManagedLaneSegment::calculate_speed() {
    if (breakpoint <= 0.0) breakpoint = breakpoint_for(*this);
    if (capacity <= 0.0) capacity = capacity_for(*this);

    double f = adjusted_ffs;
    double v = v_p;
    double bp = breakpoint;
    double c = capacity;
    double s1 = parameters.low_flow_slope;
    double s;
    if (v <= bp) {
        s = f - s1 * v;
    } else if (v <= c) {
        if (c - bp > 0.0) {
            double x = (v - bp) / (c - bp);
            double a = parameters.exponent_intercept + parameters.exponent_slope * (f - EXPONENT_REFERENCE_FFS);
            s = f - s1 * bp - (f - s1 * bp - c / parameters.density_at_capacity) * std::pow(x, a);
            // GP-lane friction lowers the speed at capacity from c / K_c to c / K_c,friction.
            if (is_friction_active()) {
                s -= x * x * (c / parameters.density_at_capacity - c / parameters.friction_density_at_capacity);
            }
        } else {
            s = f - s1 * bp;
        }
    } else {
        s = 0.0;
    }
    speed = s;
    return speed;
}

double ManagedLaneSegment::calculate_density() {
    if (speed <= 0.0) calculate_speed();
    density = speed > 0.0 ? v_p / speed : NO_SPEED_DENSITY;
    return density;
}

LevelOfService ManagedLaneSegment::determine_los() {
    LevelOfService result;
    if (v_p > capacity) {
        result = LevelOfService::F;
    } else {
        if (density <= 0.0) calculate_density();
        result = basicfreeways::los_from_density(density);
    }
    los = result;
    return result;
}

LevelOfService ManagedLaneSegment::run_analysis() {
    calculate_breakpoint();
    calculate_capacity();
    double s = calculate_speed();
    LevelOfService result;
    if (s > 0.0) {
        density = v_p / s;
        result = v_p > capacity ? LevelOfService::F : basicfreeways::los_from_density(density);
    } else {
        density = NO_SPEED_DENSITY;
        result = LevelOfService::F;
    }
    los = result;
    return result;
}

}  // namespace hcm::basicfreeways::managed_lanes
