#include "hcm/urban_reliability/evaluation.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

#include "base/cancel.hpp"
#include "base/units.hpp"
#include "hcm/signal_delay/signal_delay.hpp"
#include "hcm/urban_reliability/scenario_generation.hpp"

namespace hcm::urban_reliability::urban_reliability {

namespace {
using common::reliability::TravelTimeDistribution;
using exhibits::LaneLocation;
}  // namespace

double tti_mean(const std::vector<TravelTimeObservation>& observations) {
    return TravelTimeDistribution(observations).mean();
}

double reliability_rating(const std::vector<TravelTimeObservation>& observations) {
    return TravelTimeDistribution(observations).reliability_rating(URBAN_RELIABLE_TTI);
}

std::uint32_t lanes_blocked(std::uint32_t n, LaneLocation where) {
    const std::uint32_t wanted = exhibits::LANES_BLOCKED[static_cast<std::size_t>(where)];
    return n == 0 ? 0 : std::min(n - 1, wanted);  // min(N - 1, ...) without wrapping at N = 0
}

std::uint32_t lanes_open(std::uint32_t n, std::uint32_t blocked) {
    return std::max<std::uint32_t>(n - std::min(n == 0 ? 0 : n - 1, blocked), 1);
}

}  // namespace hcm::urban_reliability::urban_reliability

namespace hcm::urban_reliability::evaluation {

namespace {

using common::reliability::TravelTimeDistribution;
using scenario_generation::atdm_effect;
using scenario_generation::AtdmEffect;
using scenario_generation::PERIOD_H;
using urban_reliability::BoundarySignal;
using urban_reliability::lanes_blocked;
using urban_reliability::lanes_open;
using urban_reliability::UrbanIncident;
using urban_reliability::URBAN_RELIABLE_TTI;
using urban_reliability::WeatherCondition;

using base::units::FT_PER_MI;
using base::units::SECONDS_PER_HOUR;
using base::units::FT_S_PER_MI_H;
constexpr double MIN_INCIDENT_SAT_FLOW_FACTOR = 0.1;

// The worst incident of one kind affecting a segment: most lanes blocked, lowest type.
struct IncidentImpact {
    bool present = false;
    std::uint32_t blocked = 0;
    std::uint8_t type = 0;

    void add(std::uint32_t lanes, std::uint8_t incident_type) {
        blocked = present ? std::max(blocked, lanes) : lanes;
        type = present ? std::min(type, incident_type) : incident_type;
        present = true;
    }
};

double lane_loss(const IncidentImpact& impact) {
    return impact.present ? exhibits::INCIDENT_LANE_LOSS[std::min<std::size_t>(impact.type, 3)] : 0.0;
}

// Applies one scenario to the copy of segment s and analyses it; returns whether it was over
// capacity or started with a queue. `queue` is the segment's residual queue, updated.
bool evaluate_segment(const ScenarioContext& cx, std::size_t s, const UrbanScenario& sc, const AtdmEffect& atdm,
                      const exhibits::WeatherFactors& weather, double& queue, UrbanSegment& copy) {
    const UrbanSegment& base = cx.base[s];
    const BoundarySignal& signal = cx.study.config.boundary_signals[s];
    copy = base;

    const double scale = atdm.demand * sc.demand_ratio;
    const double v = scale * base.through_demand_veh_h;
    copy.through_demand_veh_h = v;
    if (copy.midsegment_flow_veh_h) *copy.midsegment_flow_veh_h *= scale;

    const std::uint32_t n = base.n_through_lanes;
    IncidentImpact on_segment, at_signal;
    for (std::size_t k : sc.incident_indices) {
        if (k >= cx.study.incidents.size())
            throw std::logic_error("scenario refers to incident " + std::to_string(k) + " of " +
                                   std::to_string(cx.study.incidents.size()));
        const UrbanIncident& inc = cx.study.incidents[k];
        if (!inc.in_direction) continue;
        if (!inc.at_intersection && inc.location == s) on_segment.add(lanes_blocked(n, inc.lane_location), inc.incident_type);
        if (inc.at_intersection && inc.location == s + 1) at_signal.add(lanes_blocked(n, inc.lane_location), inc.incident_type);
    }
    if (on_segment.present)
        copy.n_through_lanes = lanes_open(n, on_segment.blocked);

    // Midsegment speed: weather and a segment incident slow the free-flow speed; the extra
    // running time enters as other midsegment delay.
    const double lanes_or_one = std::max<std::uint32_t>(n, 1);
    const double base_ffs = base.free_flow_speed_mph.value_or(std::numeric_limits<double>::quiet_NaN());
    const double ffs = atdm.ffs * base_ffs;
    const double speed = weather.speed * ffs * (1.0 - lane_loss(on_segment) / lanes_or_one);
    double extra = 0.0;
    if (speed > 0.0 && ffs > 0.0)
        extra = base.segment_length_ft * (1.0 / (FT_S_PER_MI_H * speed) - 1.0 / (FT_S_PER_MI_H * ffs));
    copy.midsegment_other_delay_s = base.midsegment_other_delay_s + extra;

    // Boundary signal: an incident there removes lanes and slows the discharge of the rest.
    double f_inc = 1.0;
    if (at_signal.present) {
        const double approach = signal.approach_lanes != 0 ? signal.approach_lanes : n;
        f_inc = std::max((1.0 - std::min(n, at_signal.blocked) / lanes_or_one) *
                             (1.0 - lane_loss(at_signal) / std::max(approach, 1.0)),
                         MIN_INCIDENT_SAT_FLOW_FACTOR);
    }
    const double sat_flow = atdm.sat_flow * f_inc * weather.sat_flow * signal.sat_flow_veh_h_ln;
    const double cycle = signal.cycle_length_s;  // at least 2 s (checked before the run)
    const double green = std::clamp(signal.effective_green_s + atdm.green_s, 1.0, cycle - 1.0);
    const double capacity = sat_flow * n * green / cycle;
    const double vc = capacity > 0.0 ? v / capacity : base::units::INF;

    // Chapter 19 delay terms; a signal without capacity never clears its queue.
    const bool queue_in = queue > 0.0;
    const double p_on_green = std::min(green / cycle * signal.platoon_ratio, 1.0);
    const double d1 = signal_delay::uniform_delay(green, cycle, vc, p_on_green);
    const double d3 = signal_delay::initial_queue_delay(queue, v, capacity, PERIOD_H, signal_delay::ZeroCapacity::Unbounded);
    queue = signal_delay::carried_queue(queue, v, capacity, PERIOD_H);
    const double d2 = signal_delay::incremental_delay(v, capacity, signal.k_factor, signal.i_factor, PERIOD_H);

    copy.through_capacity_veh_h = capacity;
    copy.through_control_delay_s = d1 + d2 + d3;
    copy.effective_green_s = green;
    copy.sat_flow_veh_h_ln = sat_flow;
    // The copy is the run's own and dropped when it is cancelled: no guard copy is needed.
    urban_segments::urban_segments::run_motorized_vehicle_steps(copy);
    return vc > 1.0 || queue_in;
}

}  // namespace

UrbanScenarioOutcome evaluate_scenario(const ScenarioContext& cx, const UrbanScenario& sc, std::vector<double>& queues,
                                       std::vector<UrbanSegment>& copies) {
    const AtdmEffect atdm = atdm_effect(cx.study.atdm_strategies, sc);
    const exhibits::WeatherFactors weather = exhibits::weather_factors(sc.condition, sc.precip_rate_in_h);
    double travel_time = 0.0, vmt = 0.0;
    bool oversaturated = false;
    for (std::size_t s = 0; s < cx.base.size(); ++s) {
        base::poll_cancel();
        UrbanSegment& copy = copies[s];
        if (evaluate_segment(cx, s, sc, atdm, weather, queues[s], copy)) oversaturated = true;
        travel_time += copy.running_time_s.value_or(0.0) + copy.through_delay_s.value_or(0.0);
        vmt += cx.base[s].segment_length_ft / FT_PER_MI * copy.through_demand_veh_h * PERIOD_H;
    }
    const double fft = cx.free_flow_time_s;
    // std::max keeps a NaN ratio: such a scenario is counted but leaves no observation.
    const double tti = fft > 0.0 ? std::max(travel_time / fft, 0.0) : 0.0;
    const double vehicles = atdm.demand * cx.mean_demand_veh_h * sc.demand_ratio * PERIOD_H;
    const double vhd = vehicles * std::max(travel_time - fft, 0.0) / SECONDS_PER_HOUR;
    return {travel_time, tti, vmt, vhd, oversaturated};
}

// ---- Results (Step 9) ----------------------------------------------------------------------------

namespace {

double percent(double part, double whole) { return whole > 0.0 ? 100.0 * part / whole : 0.0; }

}  // namespace

UrbanReliabilityResults summarise(const UrbanReliability& study, std::span<const UrbanScenarioOutcome> outcomes,
                                  std::span<const TravelTimeObservation> observations,
                                  double base_free_flow_travel_time_s) {
    UrbanReliabilityResults r;
    const TravelTimeDistribution distribution(observations);
    r.metrics = distribution.metrics();
    r.num_scenarios = outcomes.size();
    r.base_free_flow_travel_time_s = base_free_flow_travel_time_s;
    double travel_time = 0.0, vhd = 0.0;
    for (const UrbanScenarioOutcome& o : outcomes) {
        travel_time += o.travel_time_s;
        vhd += o.vhd;
    }
    std::size_t nondry = 0;
    for (const UrbanScenario& sc : study.scenarios) nondry += sc.condition != WeatherCondition::Dry;
    const auto n = static_cast<double>(r.num_scenarios);
    r.mean_travel_time_s = r.num_scenarios > 0 ? travel_time / n : 0.0;
    r.reliability_rating_urban = distribution.reliability_rating(URBAN_RELIABLE_TTI);
    r.total_vhd = vhd;
    r.num_weather_events = study.weather_events.size();
    r.num_incidents = study.incidents.size();
    r.pct_nondry_scenarios = percent(static_cast<double>(nondry), n);
    return r;
}

}  // namespace hcm::urban_reliability::evaluation
