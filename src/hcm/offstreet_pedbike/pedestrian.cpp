// Exclusive pedestrian facilities and pedestrians on shared-use paths (HCM Chapter 24).
#include <optional>

#include "base/units.hpp"
#include "hcm/offstreet_pedbike/exhibits.hpp"
#include "hcm/offstreet_pedbike/offstreet_pedbike.hpp"

namespace hcm::offstreet_pedbike {
namespace {

using namespace exhibits;

using base::units::INF;

// Equation 24-1: W_E = W_T - W_o, not below 0 (a difference that is not a number gives 0).
double walkway_effective_width(const ExclusivePedestrianFacility& f) {
    const double width = f.total_walkway_width - f.fixed_object_width;
    return width > 0.0 ? width : 0.0;
}

// Equation 24-2: the measured peak 15-minute volume, else demand / (4 PHF); 0 without a
// positive PHF.
double peak_15min_pedestrians(const ExclusivePedestrianFacility& f) {
    if (f.peak_15min_volume) return *f.peak_15min_volume;
    if (f.phf > 0.0) return f.pedestrian_demand.value_or(0.0) / (PERIODS_PER_HOUR * f.phf);
    return 0.0;
}

// Equation 24-3: v_p = v_15 / (15 W_E). Pedestrians on a facility without effective width have
// no room at all: their unit flow is infinite (space 0, LOS F), not zero.
double flow_per_unit_width(double v15, double effective_width) {
    if (effective_width > 0.0) return v15 / (PEAK_MINUTES * effective_width);
    return v15 > 0.0 ? INF : 0.0;
}

// A bicycle flow rate given as such, else demand / PHF; 0 without a positive PHF.
double bicycle_flow_rate(std::optional<double> rate, std::optional<double> demand, double phf) {
    if (rate) return *rate;
    return phf > 0.0 ? demand.value_or(0.0) / phf : 0.0;
}

}  // namespace

double pedestrian_capacity(FacilityType facility, FlowType flow) {
    switch (facility) {
        case FacilityType::CrossFlow:
            return CAPACITY_CROSS_FLOW;
        case FacilityType::Stairway:
            return CAPACITY_STAIRWAY;
        case FacilityType::Walkway:
            break;
    }
    return flow == FlowType::Random ? CAPACITY_WALKWAY_RANDOM : CAPACITY_WALKWAY_PLATOONED;
}

LevelOfService pedestrian_los(FacilityType facility, FlowType flow, double space) {
    if (facility == FacilityType::Stairway) return common::los_by_minimum(SPACE_STAIRWAY, space);
    if (facility == FacilityType::CrossFlow && space <= SPACE_CROSS_FLOW_F) return LevelOfService::F;
    return common::los_by_minimum(flow == FlowType::Random ? SPACE_WALKWAY_RANDOM : SPACE_WALKWAY_PLATOONED, space);
}

double ExclusivePedestrianFacility::determine_effective_walkway_width() {
    effective_width = walkway_effective_width(*this);
    return *effective_width;
}

double ExclusivePedestrianFacility::calculate_pedestrian_flow_rate() {
    const double w_e = effective_width ? *effective_width : determine_effective_walkway_width();
    const double v15 = peak_15min_pedestrians(*this);
    const double v_p = flow_per_unit_width(v15, w_e);
    flow_rate_15min = v15;
    unit_flow_rate = v_p;
    return v_p;
}

double ExclusivePedestrianFacility::stored_unit_flow_rate() {
    return unit_flow_rate ? *unit_flow_rate : calculate_pedestrian_flow_rate();
}

double ExclusivePedestrianFacility::calculate_average_pedestrian_space() {
    const double v_p = stored_unit_flow_rate();
    if (v_p > 0.0) {
        pedestrian_space = pedestrian_speed / v_p;
        return *pedestrian_space;
    }
    pedestrian_space.reset();
    return INF;
}

LevelOfService ExclusivePedestrianFacility::determine_los() {
    const double space = pedestrian_space ? *pedestrian_space : calculate_average_pedestrian_space();
    los = pedestrian_los(facility_type, flow_type, space);
    return *los;
}

double ExclusivePedestrianFacility::calculate_volume_to_capacity_ratio() {
    vc_ratio = stored_unit_flow_rate() / pedestrian_capacity(facility_type, flow_type);
    return *vc_ratio;
}

LevelOfService ExclusivePedestrianFacility::analyze() {
    determine_effective_walkway_width();
    calculate_pedestrian_flow_rate();
    calculate_average_pedestrian_space();
    const LevelOfService letter = determine_los();
    calculate_volume_to_capacity_ratio();
    return letter;
}

LevelOfService shared_path_pedestrian_los(double events_per_hour) {
    return common::los_by_density(PATH_EVENTS_MAX, events_per_hour);
}

// Equations 24-5 to 24-7: bicycles passing the pedestrian F_p = q_s (1 - S_p / S_b) and meeting
// him F_m = q_o (1 + S_p / S_b); a meeting weighs half a passing.
PathEvents SharedUsePathPedestrian::calculate_bicycle_passing_and_meeting_events() {
    const double speed_ratio = bicycle_speed > 0.0 ? pedestrian_speed / bicycle_speed : 0.0;
    const double q_s = bicycle_flow_rate(bicycle_flow_rate_same_direction, bicycle_demand_same_direction, phf);
    const double q_o = is_one_way ? 0.0 : bicycle_flow_rate(bicycle_flow_rate_opposing, bicycle_demand_opposing, phf);
    PathEvents events;
    events.passing = q_s * (1.0 - speed_ratio);
    events.meeting = q_o * (1.0 + speed_ratio);
    events.total = events.passing + MEETING_EVENT_WEIGHT * events.meeting;
    passing_events = events.passing;
    meeting_events = events.meeting;
    total_events = events.total;
    return events;
}

LevelOfService SharedUsePathPedestrian::determine_los() {
    const double total = total_events ? *total_events : calculate_bicycle_passing_and_meeting_events().total;
    los = shared_path_pedestrian_los(total);
    return *los;
}

LevelOfService SharedUsePathPedestrian::analyze() {
    calculate_bicycle_passing_and_meeting_events();
    return determine_los();
}

}  // namespace hcm::offstreet_pedbike
