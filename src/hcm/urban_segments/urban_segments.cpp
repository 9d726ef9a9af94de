#include "hcm/urban_segments/urban_segments.hpp"

#include <algorithm>
#include <cmath>
#include <span>
#include <stdexcept>

#include "base/numeric.hpp"
#include "base/transaction.hpp"
#include "base/units.hpp"
#include "hcm/urban_segments/exhibits.hpp"
#include "json/jsonio.hpp"

namespace hcm::urban_segments::urban_segments {

namespace {

using base::max2;
using base::min2;
using base::units::FT_PER_MI;
using base::units::SECONDS_PER_HOUR;

using namespace exhibits::automobile;

// The smallest profile step of the platoon-dispersion path.
constexpr double MIN_PROFILE_STEP_S = 1e-6;

// What the downstream control sets: start-up lost time l1, control factor f_x of the start-up
// term, and the full stop rate when no override is given (Signalized: computed separately).
struct ControlTerms {
    double startup_lost_time_s;
    double control_factor;
    std::optional<double> full_stop_rate;  // absent: none (YieldControlled/Roundabout without capacity)
};

ControlTerms control_terms(BoundaryControlType control, double demand, std::optional<double> capacity) {
    const bool has_capacity = capacity && *capacity > 0.0;
    switch (control) {
        case BoundaryControlType::Signalized: return {exhibits::STARTUP_LOST_TIME_SIGNAL_S, 1.0, std::nullopt};
        case BoundaryControlType::AllWayStop: return {exhibits::STARTUP_LOST_TIME_OTHER_S, 1.0, 1.0};
        case BoundaryControlType::YieldControlled:
        case BoundaryControlType::Roundabout:
            if (has_capacity)
                return {exhibits::STARTUP_LOST_TIME_OTHER_S, min2(demand / *capacity, 1.0), demand / *capacity};
            return {exhibits::STARTUP_LOST_TIME_OTHER_S, 1.0, std::nullopt};
        case BoundaryControlType::Uncontrolled: return {exhibits::STARTUP_LOST_TIME_OTHER_S, 0.0, 0.0};
    }
    throw std::logic_error("unknown boundary control type");
}

double lanes_of(const UrbanSegment& s) { return static_cast<double>(std::max<std::uint32_t>(s.n_through_lanes, 1)); }

double midsegment_flow(const UrbanSegment& s) { return s.midsegment_flow_veh_h.value_or(s.through_demand_veh_h); }

// Step 2: base free-flow speed S_fo and its adjustments.
void determine_base_free_flow_speed(UrbanSegment& s) {
    const double l = s.segment_length_ft;
    const double length_net = max2(l - s.upstream_intersection_width_ft, 0.0);
    const double p_rm = length_net > 0.0 ? min2(max2(s.restrictive_median_length_ft / length_net, 0.0), 1.0) : 0.0;
    const double p_curb = s.proportion_with_curb;
    const double f_cs = F_CS_MEDIAN * p_rm + F_CS_CURB * p_curb + F_CS_MEDIAN_CURB * p_rm * p_curb;
    // Both directions' access points count here, whether or not left turns can reach them.
    const double f_a = l - s.upstream_intersection_width_ft > 0.0
                           ? F_A_PER_ACCESS_POINT_MI * FT_PER_MI * (s.n_access_points_subject + s.n_access_points_opposing) /
                                 (l - s.upstream_intersection_width_ft) / lanes_of(s)
                           : 0.0;
    const double f_pk = F_PK_PARKING * s.proportion_on_street_parking;
    const double s_0 = SPEED_CONSTANT_BASE_MPH + SPEED_CONSTANT_PER_LIMIT * s.speed_limit_mph;
    s.speed_constant_mph = s_0;
    s.f_cs_mph = f_cs;
    s.f_a_mph = f_a;
    s.f_pk_mph = f_pk;
    s.base_ffs_mph = s_0 + s.s_calib_mph + f_cs + f_a + f_pk;
}

// Step 3: signal-spacing adjustment and free-flow speed S_f (never below the speed limit unless
// measured).
void determine_free_flow_speed(UrbanSegment& s) {
    const double spacing = s.signal_spacing_ft.value_or(s.segment_length_ft);
    const double f_l = min2(F_L_BASE - F_L_SLOPE * (*s.base_ffs_mph - F_L_SPEED_MPH) / max2(spacing, F_L_MIN_SPACING_FT), 1.0);
    s.f_l = f_l;
    s.free_flow_speed_mph = s.free_flow_speed_override_mph ? *s.free_flow_speed_override_mph
                                                           : max2(*s.base_ffs_mph * f_l, s.speed_limit_mph);
}

// Step 4: proximity adjustment f_v for the midsegment flow.
void determine_proximity_adjustment(UrbanSegment& s) {
    const double d = F_V_CAPACITY_PER_LANE_MPH * lanes_of(s) * *s.free_flow_speed_mph;
    double f_v = 1.0;
    if (d > 0.0) {
        const double x = min2(max2(midsegment_flow(s) / d, 0.0), F_V_MAX_RATIO);
        f_v = 2.0 / (1.0 + std::pow(1.0 - x, F_V_EXPONENT));
    }
    s.f_v = f_v;
}

// Step 5: access-point delay d_ap: the per-approach model when approaches are given (even none),
// else the analyst's per-access-point delays (even none), else the Exhibit 18-13 estimate.
void determine_access_point_delay(UrbanSegment& s) {
    if (s.access_point_approaches) {
        const double speed = s.access_point_turn_delay_speed_mph.value_or(s.speed_limit_mph);
        // The vector of an earlier run is refilled in place: a reliability study re-analyses a
        // copy of each segment in every scenario, and this keeps that loop free of allocation.
        if (!s.access_point_delays_computed) s.access_point_delays_computed.emplace();
        std::vector<AccessPointDelay>& delays = *s.access_point_delays_computed;
        delays.clear();
        delays.reserve(s.access_point_approaches->size());
        double total = -0.0;  // an empty sum
        for (const AccessPointApproach& a : *s.access_point_approaches) {
            delays.push_back(access_point_delay::approach_delay(a, speed, s.analysis_period_h));
            total += delays.back().delay_total_s;
        }
        s.access_point_delay_total_s = total;
        return;
    }
    if (s.access_point_delays_s) {
        double total = -0.0;
        for (double d : *s.access_point_delays_s) total += d;
        s.access_point_delay_total_s = total;
        return;
    }
    access_point_delay::PlanningEstimateInputs in;
    in.access_points = s.n_influential_access_points.value_or(
        s.n_access_points_subject + s.prop_opposing_left_accessible * s.n_access_points_opposing);
    in.pct_left_turns = s.pct_left_turns_access;
    in.pct_right_turns = s.pct_right_turns_access;
    in.left_bay_adequate = s.access_left_bay_adequate;
    in.right_bay_adequate = s.access_right_bay_adequate;
    in.through_lanes = s.n_through_lanes;
    in.flow_veh_h = midsegment_flow(s);
    s.access_point_delay_total_s = access_point_delay::planning_estimate_delay(in);
}

// Step 6 (Equation 18-7): running time t_R and running speed.
void determine_running_time(UrbanSegment& s, const ControlTerms& control) {
    const double l = s.segment_length_ft;
    const double startup = (STARTUP_TIME_S - control.startup_lost_time_s) / (STARTUP_PER_FT * l) * control.control_factor;
    const double running = SECONDS_PER_HOUR * l / (FT_PER_MI * *s.free_flow_speed_mph) * *s.f_v;
    const double t_r = s.midsegment_other_delay_s + (*s.access_point_delay_total_s + (startup + running));
    s.running_time_s = t_r;
    s.running_speed_mph = SECONDS_PER_HOUR * l / (FT_PER_MI * t_r);
}

// Platoon ratio of the ratio path: given, else by arrival type, else 1.
double platoon_ratio_of(const UrbanSegment& s) {
    if (s.platoon_ratio) return *s.platoon_ratio;
    if (s.arrival_type) return exhibits::arrival_type_platoon_ratio(*s.arrival_type);
    return 1.0;
}

// The arrival profile's grid over a cycle: n steps of dt (none for a step over twice the cycle). A
// step that would cut the cycle into more than the profile limit is widened to cycle / limit, so
// the result stays on the dispersion path and changes continuously across the limit.
struct ProfileGrid {
    std::uint64_t steps;
    double step_s;
};

ProfileGrid profile_grid(const UrbanSegment& s, double cycle_s) {
    const double dt = max2(s.flow_profile_time_step_s, MIN_PROFILE_STEP_S);
    const std::uint64_t n = platoon_dispersion::whole_steps(cycle_s / dt);
    constexpr std::uint64_t limit = platoon_dispersion::MAX_PROFILE_STEPS;
    if (n <= limit) return {n, dt};
    return {limit, cycle_s / static_cast<double>(limit)};
}

// Proportion arriving on green from the dispersed upstream discharge, or nothing when the
// profile would have no steps: the ratio path then applies.
std::optional<double> dispersion_proportion(const UrbanSegment& s, double green_s, double cycle_s) {
    const auto [n, dt] = profile_grid(s, cycle_s);
    if (n == 0) return std::nullopt;
    const std::vector<double> profile = platoon_dispersion::combined_arrival_profile(
        *s.upstream_discharge_profiles, n, s.arrival_uniform_volume_veh_h, dt, *s.running_time_s);
    const std::uint64_t start =
        platoon_dispersion::wrap_step(platoon_dispersion::whole_steps_signed(s.downstream_green_start_s / dt), n);
    return platoon_dispersion::proportion_arriving_green(profile, start, platoon_dispersion::whole_steps(green_s / dt));
}

// Step 7: proportion arriving on green P, for a signalized boundary with timing only.
void determine_proportion_arriving_green(UrbanSegment& s) {
    if (s.control != BoundaryControlType::Signalized) {
        s.proportion_arriving_green = std::nullopt;
        return;
    }
    if (!s.effective_green_s || !s.cycle_length_s || *s.cycle_length_s <= 0.0) return;  // kept as it was
    const double g = *s.effective_green_s;
    const double cycle = *s.cycle_length_s;
    if (s.upstream_discharge_profiles) {
        if (const std::optional<double> p = dispersion_proportion(s, g, cycle)) {
            s.proportion_arriving_green = *p;
            return;
        }
    }
    s.proportion_arriving_green = min2(platoon_ratio_of(s) * g / cycle, 1.0);
}

// Step 8: through delay at the boundary intersection (none when uncontrolled).
void determine_through_delay(UrbanSegment& s) {
    s.through_delay_s =
        s.control == BoundaryControlType::Uncontrolled ? 0.0 : s.through_control_delay_s.value_or(0.0);
}

// Step 9: full stop rate h; an override wins, a Signalized segment without its queue inputs and
// timing keeps the stored value.
void determine_full_stop_rate(UrbanSegment& s, const ControlTerms& control) {
    if (s.full_stop_rate_override) {
        s.full_stop_rate = *s.full_stop_rate_override;
        return;
    }
    if (s.control != BoundaryControlType::Signalized) {
        s.full_stop_rate = control.full_stop_rate;
        return;
    }
    if (s.stopped_vehicles_veh_ln && s.effective_green_s && s.sat_flow_veh_h_ln && s.cycle_length_s) {
        s.full_stop_rate = full_stop_rate_signalized(s.n_through_lanes, *s.stopped_vehicles_veh_ln,
                                                     s.queue2_veh_ln.value_or(0.0) + s.queue3_veh_ln.value_or(0.0),
                                                     *s.effective_green_s, *s.sat_flow_veh_h_ln,
                                                     s.through_demand_veh_h, *s.cycle_length_s);
    }
}

// Steps 10 and 11 (Equations 18-15 and 18-16): travel speed and spatial stop rate.
void determine_travel_speed(UrbanSegment& s) {
    const double l = s.segment_length_ft;
    s.travel_speed_mph = SECONDS_PER_HOUR * l / (FT_PER_MI * (*s.running_time_s + *s.through_delay_s));
    if (s.full_stop_rate) s.spatial_stop_rate_stops_mi = (*s.full_stop_rate + s.stop_rate_other) * FT_PER_MI / l;
}

// Step 12: volume-to-capacity ratio and the Exhibit 18-1 LOS (column by the base free-flow speed).
void determine_los(UrbanSegment& s) {
    bool over_capacity = false;
    if (s.through_capacity_veh_h && *s.through_capacity_veh_h > 0.0) {
        const double x = s.through_demand_veh_h / *s.through_capacity_veh_h;
        s.vc_ratio = x;
        over_capacity = x > 1.0;
    } else {
        s.vc_ratio = std::nullopt;
    }
    s.los = exhibits::exhibit_18_1_los(over_capacity, *s.travel_speed_mph, *s.base_ffs_mph);
}

// Step 13 (Equation 18-17): automobile traveller perception score, from the spatial stop rate
// as the record holds it and the proportion of intersections with a left-turn lane.
void determine_perception_score(UrbanSegment& s) {
    if (!s.spatial_stop_rate_stops_mi || !s.prop_left_turn_lanes) return;
    s.perception_score = perception_score(*s.prop_left_turn_lanes, *s.spatial_stop_rate_stops_mi);
}

}  // namespace

double perception_score(double prop_left_turn_lanes, double spatial_stop_rate_stops_mi) {
    const double x =
        PERCEPTION_LEFT_TURN_LANES * prop_left_turn_lanes + PERCEPTION_STOPS_PER_MI * spatial_stop_rate_stops_mi;
    double score = 1.0;
    for (double c : PERCEPTION_THRESHOLDS) score += 1.0 / (1.0 + std::exp(x + c));
    return score;
}

void run_motorized_vehicle_steps(UrbanSegment& s) {
    // Step 1: demand against the through capacity.
    if (s.through_capacity_veh_h)
        s.demand_exceeds_capacity =
            *s.through_capacity_veh_h > 0.0 && s.through_demand_veh_h > *s.through_capacity_veh_h;
    else
        s.demand_exceeds_capacity = std::nullopt;
    const ControlTerms control_row = control_terms(s.control, s.through_demand_veh_h, s.through_capacity_veh_h);
    determine_base_free_flow_speed(s);
    determine_free_flow_speed(s);
    determine_proximity_adjustment(s);
    determine_access_point_delay(s);
    determine_running_time(s, control_row);
    determine_proportion_arriving_green(s);
    determine_through_delay(s);
    determine_full_stop_rate(s, control_row);
    determine_travel_speed(s);
    determine_los(s);
    determine_perception_score(s);
}

bool analysis_can_fail(const UrbanSegment& s) {
    // Step 5 fills the computed access-point delays and Step 7 builds the arrival profile, which
    // polls when large: the only steps that allocate or poll.
    return s.access_point_approaches || s.upstream_discharge_profiles;
}

void UrbanSegment::analyze() {
    // A segment whose analysis can stop part-way (out of memory, or cancelled in its profile)
    // runs it on a copy, so that the record stays as it was; the others need no copy.
    if (analysis_can_fail(*this)) {
        base::on_copy(*this, run_motorized_vehicle_steps);
        return;
    }
    run_motorized_vehicle_steps(*this);
}

double full_stop_rate_signalized(std::uint32_t lanes, double stopped_veh_ln, double queue23_veh_ln, double green_s,
                                 double sat_flow_veh_h_ln, double demand_veh_h, double cycle_s) {
    const double n = static_cast<double>(std::max<std::uint32_t>(lanes, 1));
    if (green_s <= 0.0 || sat_flow_veh_h_ln <= 0.0 || demand_veh_h <= 0.0 || cycle_s <= 0.0) return 0.0;
    const double x = min2(demand_veh_h * cycle_s / (green_s * sat_flow_veh_h_ln * n), 1.0);
    if (x <= 0.0) return 0.0;
    return SECONDS_PER_HOUR *
           (stopped_veh_ln / (sat_flow_veh_h_ln * green_s * x) + n * queue23_veh_ln / (demand_veh_h * cycle_s));
}

const jsonio::Record<UrbanSegment>& json_record(jsonio::Tag<UrbanSegment>) {
    using S = UrbanSegment;
    using jsonio::analysed_result;
    using jsonio::optional;
    using jsonio::required;
    using jsonio::with_default;
    // Every analysis sets the LOS and the values of Steps 1 to 6, 8 and 10; the others follow the
    // inputs as run_motorized_vehicle_steps says (and keep an earlier value where it keeps one).
    static const jsonio::Analysed<S> analysed = jsonio::marked_by("los", &S::los);
    static const jsonio::Analysed<S> arrival{
        "`los` is given, `control` is `Signalized` and `effective_green_s` and a `cycle_length_s` above 0 are",
        [](const S& s) {
            return s.los && s.control == BoundaryControlType::Signalized && s.effective_green_s && s.cycle_length_s &&
                   *s.cycle_length_s > 0.0;
        }};
    // Step 9 as determine_full_stop_rate takes it: the override, the rate of a control other than a
    // signal (none for a yield or a roundabout without capacity), or the signal's queue terms.
    static const jsonio::Analysed<S> stops{
        "`los` is given and either `full_stop_rate_override` is, `control` is `AllWayStop` or `Uncontrolled`, "
        "or `YieldControlled` or `Roundabout` with a `through_capacity_veh_h` above 0, or `control` is "
        "`Signalized` and `stopped_vehicles_veh_ln`, `effective_green_s`, `sat_flow_veh_h_ln` and "
        "`cycle_length_s` are given",
        [](const S& s) {
            if (!s.los) return false;
            if (s.full_stop_rate_override) return true;
            if (s.control != BoundaryControlType::Signalized)
                return control_terms(s.control, s.through_demand_veh_h, s.through_capacity_veh_h)
                    .full_stop_rate.has_value();
            return s.stopped_vehicles_veh_ln && s.effective_green_s && s.sat_flow_veh_h_ln && s.cycle_length_s;
        }};
    static const jsonio::Analysed<S> spatial{"`los` and `full_stop_rate` are given",
                                             [](const S& s) { return s.los && s.full_stop_rate; }};
    static const jsonio::Analysed<S> ratio{
        "`los` is given and `through_capacity_veh_h` is above 0",
        [](const S& s) { return s.los && s.through_capacity_veh_h && *s.through_capacity_veh_h > 0.0; }};
    static const jsonio::Analysed<S> score{
        "`los`, `spatial_stop_rate_stops_mi` and `prop_left_turn_lanes` are given",
        [](const S& s) { return s.los && s.spatial_stop_rate_stops_mi && s.prop_left_turn_lanes; }};
    static const jsonio::Record<S> record{
        "UrbanSegment",
        {
            required("segment_length_ft", &S::segment_length_ft),
            with_default("upstream_intersection_width_ft", &S::upstream_intersection_width_ft, 0.0),
            required("n_through_lanes", &S::n_through_lanes),
            required("speed_limit_mph", &S::speed_limit_mph),
            with_default("restrictive_median_length_ft", &S::restrictive_median_length_ft, 0.0),
            with_default("proportion_with_curb", &S::proportion_with_curb, 1.0),
            with_default("proportion_on_street_parking", &S::proportion_on_street_parking, 0.0),
            with_default("n_access_points_subject", &S::n_access_points_subject, 0.0),
            with_default("n_access_points_opposing", &S::n_access_points_opposing, 0.0),
            with_default("prop_opposing_left_accessible", &S::prop_opposing_left_accessible, 1.0),
            optional("signal_spacing_ft", &S::signal_spacing_ft),
            with_default("s_calib_mph", &S::s_calib_mph, 0.0),
            optional("free_flow_speed_override_mph", &S::free_flow_speed_override_mph),
            required("through_demand_veh_h", &S::through_demand_veh_h),
            optional("midsegment_flow_veh_h", &S::midsegment_flow_veh_h),
            optional("through_capacity_veh_h", &S::through_capacity_veh_h),
            required("control", &S::control),
            optional("through_control_delay_s", &S::through_control_delay_s),
            optional("cycle_length_s", &S::cycle_length_s),
            optional("effective_green_s", &S::effective_green_s),
            optional("arrival_type", &S::arrival_type),
            optional("platoon_ratio", &S::platoon_ratio),
            optional("stopped_vehicles_veh_ln", &S::stopped_vehicles_veh_ln),
            optional("queue2_veh_ln", &S::queue2_veh_ln),
            optional("queue3_veh_ln", &S::queue3_veh_ln),
            optional("sat_flow_veh_h_ln", &S::sat_flow_veh_h_ln),
            optional("full_stop_rate_override", &S::full_stop_rate_override),
            with_default("stop_rate_other", &S::stop_rate_other, 0.0),
            optional("access_point_delays_s", &S::access_point_delays_s),
            optional("n_influential_access_points", &S::n_influential_access_points),
            with_default("pct_left_turns_access", &S::pct_left_turns_access, 10.0),
            with_default("pct_right_turns_access", &S::pct_right_turns_access, 10.0),
            with_default("access_left_bay_adequate", &S::access_left_bay_adequate, false),
            with_default("access_right_bay_adequate", &S::access_right_bay_adequate, false),
            with_default("midsegment_other_delay_s", &S::midsegment_other_delay_s, 0.0),
            optional("access_point_approaches", &S::access_point_approaches),
            with_default("analysis_period_h", &S::analysis_period_h, 0.25),
            optional("access_point_turn_delay_speed_mph", &S::access_point_turn_delay_speed_mph),
            optional("upstream_discharge_profiles", &S::upstream_discharge_profiles),
            with_default("arrival_uniform_volume_veh_h", &S::arrival_uniform_volume_veh_h, 0.0),
            with_default("flow_profile_time_step_s", &S::flow_profile_time_step_s, 1.0),
            with_default("downstream_green_start_s", &S::downstream_green_start_s, 0.0),
            optional("prop_left_turn_lanes", &S::prop_left_turn_lanes),
            analysed_result("speed_constant_mph", &S::speed_constant_mph, analysed),
            analysed_result("f_cs_mph", &S::f_cs_mph, analysed),
            analysed_result("f_a_mph", &S::f_a_mph, analysed),
            analysed_result("f_pk_mph", &S::f_pk_mph, analysed),
            analysed_result("base_ffs_mph", &S::base_ffs_mph, analysed),
            analysed_result("f_l", &S::f_l, analysed),
            analysed_result("free_flow_speed_mph", &S::free_flow_speed_mph, analysed),
            analysed_result("f_v", &S::f_v, analysed),
            analysed_result("access_point_delay_total_s", &S::access_point_delay_total_s, analysed),
            optional("access_point_delays_computed", &S::access_point_delays_computed),
            analysed_result("running_time_s", &S::running_time_s, analysed),
            analysed_result("running_speed_mph", &S::running_speed_mph, analysed),
            analysed_result("proportion_arriving_green", &S::proportion_arriving_green, arrival),
            analysed_result("through_delay_s", &S::through_delay_s, analysed),
            analysed_result("full_stop_rate", &S::full_stop_rate, stops),
            analysed_result("travel_speed_mph", &S::travel_speed_mph, analysed),
            analysed_result("spatial_stop_rate_stops_mi", &S::spatial_stop_rate_stops_mi, spatial),
            analysed_result("vc_ratio", &S::vc_ratio, ratio),
            optional("demand_exceeds_capacity", &S::demand_exceeds_capacity),
            optional("los", &S::los),
            analysed_result("perception_score", &S::perception_score, score),
        },
        jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

UrbanSegment read_urban_segment(std::string_view text) { return jsonio::read_document<UrbanSegment>(text); }

std::string write_urban_segment(const UrbanSegment& segment) { return jsonio::write_document_pretty(segment); }

}  // namespace hcm::urban_segments::urban_segments
