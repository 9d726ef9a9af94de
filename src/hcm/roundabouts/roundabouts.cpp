#include "hcm/roundabouts/roundabouts.hpp"

#include <algorithm>
#include <cmath>

#include "base/numeric.hpp"
#include "base/units.hpp"
#include "hcm/common/common.hpp"
#include "hcm/common/delay_los.hpp"
#include "hcm/common/error.hpp"
#include "hcm/roundabouts/exhibits.hpp"
#include "hcm/unsignalized/unsignalized.hpp"

namespace hcm::roundabouts::roundabouts {

namespace {

using base::units::SECONDS_PER_HOUR;

// Movement indices in `flows_pce`.
constexpr std::size_t U = 0, L = 1, T = 2, R = 3;

// For each entry (nb, sb, eb, wb), the other entries in the order the circulating traffic
// reaches it (counterclockwise circulation): the entry to its left, the opposite entry and the
// entry to its right. The yielding bypass lane merges into the exit that the left entry's
// through traffic leaves by.
struct Neighbours {
    std::size_t left, opposite, right;
};
constexpr std::array<Neighbours, 4> NEIGHBOURS = {{{EB, SB, WB}, {WB, NB, EB}, {SB, WB, NB}, {NB, EB, SB}}};

using namespace exhibits::capacity;
using exhibits::DEFAULT_LEFT_SHARE;
using exhibits::DEFAULT_LEFT_SHARE_LEFT_AND_ALL;

double clamp_unit(double f) {
    if (f < 0.0) return 0.0;
    if (f > 1.0) return 1.0;
    return f;
}

std::string los_letter(double delay, bool over_capacity = false) {
    const common::LevelOfService los = common::los_of_delay(common::UNSIGNALIZED_DELAY_LOS_MAX, delay, over_capacity);
    return std::string(1, common::letter(los));
}

// Step 1: demand flow rates (pc/h) of the four movements, with a heavy vehicle as two cars.
std::array<double, 4> demand_flows(const RoundaboutApproach& e, double phf, double f_hv) {
    return {e.v_u / phf / f_hv, e.v_l / phf / f_hv, e.v_t / phf / f_hv, e.v_r / phf / f_hv};
}

double heavy_vehicle_factor(const RoundaboutApproach& e) { return 1.0 / (1.0 + e.heavy_vehicle_pct / 100.0); }

// Step 8's and step 9's flow-weighted delay. Terms whose weight is not above 0 are left out: a
// lane without flow (whose delay is undefined when its capacity is zero) weighs nothing.
using WeightedDelay = base::WeightedMean;

// Steps 3-7 for one entry with the demand flows of its entry lanes (room for whose results the
// entry has): cannot fail.
void analyze_entry(Roundabouts& r, std::size_t index, double f_hv, const std::vector<double>& lane_flows) {
    RoundaboutApproach& e = r.*ENTRIES[index];
    const std::array<double, 4>& flows = *e.flows_pce;
    const double circulating = *e.circulating_flow_pce;
    const double f_ped = pedestrian_impedance(e.entry_lanes, circulating, e.n_ped);

    e.lanes.clear();
    for (std::size_t i = 0; i < lane_flows.size(); ++i) {
        RoundaboutLaneResult lane;
        lane.label = std::string(lane_flows.size() == 1 ? "entry" : (i == 0 ? "left" : "right"));
        const CapacityModel model = r.calibration ? CapacityModel{r.calibration->first, r.calibration->second}
                                                  : entry_capacity_model(e.entry_lanes, e.circulating_lanes, i);
        lane.flow_pce = lane_flows[i];
        lane.flow_veh = lane.flow_pce * f_hv;
        lane.capacity_pce = model.at(circulating);
        lane.capacity_veh = lane.capacity_pce * f_hv * f_ped;
        fill_lane_performance(lane, r.analysis_period_h);
        e.lanes.push_back(std::move(lane));
    }

    if (e.bypass == BypassType::None) {
        e.bypass_lane.reset();
        return;
    }
    RoundaboutLaneResult bypass;
    bypass.label = std::string("bypass");
    bypass.flow_pce = flows[R];
    bypass.flow_veh = f_hv * flows[R];
    if (e.bypass == BypassType::Yielding) {
        const std::uint32_t exit_lanes = (r.*ENTRIES[NEIGHBOURS[index].left]).exiting_lanes;
        bypass.capacity_pce = bypass_capacity_model(exit_lanes).at(*e.bypass_conflicting_flow_pce);
        bypass.capacity_veh = bypass.capacity_pce * f_hv;
        fill_lane_performance(bypass, r.analysis_period_h);
    } else {
        bypass.los = std::string("A");  // yields to nobody: no capacity, no delay, no queue
    }
    e.bypass_lane = std::move(bypass);
}

}  // namespace

double CapacityModel::at(double conflicting_flow) const { return intercept * std::exp(-slope * conflicting_flow); }

double pedestrian_impedance(std::uint32_t entry_lanes, double vc, double n) {
    namespace f = exhibits::pedestrian_impedance;
    if (entry_lanes <= 1) {
        if (vc > f::ONE_LANE_CIRCULATING_LIMIT) return 1.0;
        if (n <= f::ONE_LANE_LINEAR_LIMIT) return std::min(1.0 - f::ONE_LANE_LINEAR_SLOPE * n, 1.0);
        return clamp_unit((f::ONE_LANE_CONSTANT - f::ONE_LANE_CIRCULATING * vc - f::ONE_LANE_PEDESTRIAN * n +
                           f::ONE_LANE_PRODUCT * vc * n) /
                          (f::ONE_LANE_DIVISOR_CONSTANT - f::ONE_LANE_DIVISOR_CIRCULATING * vc));
    }
    const double a = f::TWO_LANE_CONSTANT - f::TWO_LANE_CIRCULATING * vc;
    const double d = f::TWO_LANE_DIVISOR_CONSTANT - f::TWO_LANE_DIVISOR_CIRCULATING * vc;
    if (n < f::TWO_LANE_LINEAR_LIMIT)
        return clamp_unit(1.0 - (n / f::TWO_LANE_LINEAR_LIMIT) * (1.0 - (a - f::TWO_LANE_AT_LINEAR_LIMIT) / d));
    return clamp_unit((a - f::TWO_LANE_PEDESTRIAN * n) / d);
}

CapacityModel entry_capacity_model(std::uint32_t entry_lanes, std::uint32_t circulating_lanes, std::size_t lane) {
    if (entry_lanes == 1) return circulating_lanes == 1 ? ONE_LANE_ONE_CIRCULATING : ONE_LANE_TWO_CIRCULATING;
    if (entry_lanes == 2 && circulating_lanes == 1) return TWO_LANE_ONE_CIRCULATING;
    // Two entry lanes facing two or more circulating lanes; also an entry of 0 or 3 and more
    // lanes, analysed as one right-hand lane or as two lanes.
    const bool left_of_two = lane == 0 && entry_lanes != 0;
    return left_of_two ? TWO_LANE_LEFT : TWO_LANE_RIGHT;
}

CapacityModel bypass_capacity_model(std::uint32_t exit_lanes) {
    return exit_lanes <= 1 ? BYPASS_ONE_EXIT_LANE : BYPASS_TWO_EXIT_LANES;
}

std::vector<double> entry_lane_flows(const RoundaboutApproach& e, const std::array<double, 4>& flows) {
    const double u = flows[U], l = flows[L], t = flows[T];
    const double r = e.bypass == BypassType::None ? flows[R] : 0.0;
    const double total = u + l + t + r;
    if (e.entry_lanes <= 1) return {total};
    auto split = [&](double default_share) -> std::vector<double> {
        const double p = e.pct_left_lane.value_or(default_share);
        return {p * total, (1.0 - p) * total};
    };
    switch (e.lane_assignment) {
        case LaneAssignment::LeftAndThroughRight: return {u + l, t + r};
        case LaneAssignment::LeftThroughAndRight: return {u + l + t, r};
        case LaneAssignment::LeftThroughAndThroughRight:
            if (u + l > t + r) return {u + l, t + r};    // de facto left-turn lane
            if (r > u + l + t) return {u + l + t, r};    // de facto right-turn lane
            return split(DEFAULT_LEFT_SHARE);
        case LaneAssignment::LeftAndAllMovements:
            if (t + r > u + l) return {u + l, t + r};
            return split(DEFAULT_LEFT_SHARE_LEFT_AND_ALL);
        case LaneAssignment::AllMovementsAndRight:
            if (u + l + t > r) return {u + l + t, r};
            return split(DEFAULT_LEFT_SHARE);
    }
    return split(DEFAULT_LEFT_SHARE);
}

void fill_lane_performance(RoundaboutLaneResult& lane, double t_h) {
    const double c = lane.capacity_veh;
    const double x = lane.flow_veh / c;
    const double ratio = c > 0.0 ? x : 0.0;
    const double service = SECONDS_PER_HOUR / c;
    // Computed with x itself, so that a lane of zero capacity gets an infinite or undefined delay.
    const double delay =
        unsignalized::control_delay(x, service, service, t_h, unsignalized::DecelerationTerm::UpToCapacity);
    lane.v_c_ratio = ratio;
    lane.control_delay = delay;
    lane.los = los_letter(delay, ratio > 1.0);
    lane.queue_95 = c <= 0.0 ? 0.0 : unsignalized::queue_95(ratio, c, t_h);
}

void analyze(Roundabouts& r) {
    const double phf = (r.phf && *r.phf > 0.0) ? *r.phf : 1.0;
    std::array<double, 4> f_hv{};
    std::array<std::array<double, 4>, 4> flows{};
    // What can fail (memory) comes before the first result is stored: the flows of the entry
    // lanes, and room in each entry for their results (reserving changes no result).
    std::array<std::vector<double>, 4> lane_flows;
    for (std::size_t i = 0; i < 4; ++i) {
        RoundaboutApproach& e = r.*ENTRIES[i];
        f_hv[i] = heavy_vehicle_factor(e);
        flows[i] = demand_flows(e, phf, f_hv[i]);
        lane_flows[i] = entry_lane_flows(e, flows[i]);
        e.lanes.reserve(lane_flows[i].size());
    }
    for (std::size_t i = 0; i < 4; ++i) (r.*ENTRIES[i]).flows_pce = flows[i];

    // Step 2 (Equation 22-11): the flows passing in front of each entry, and those leaving by the
    // exit its bypass lane merges into (its own right turns left out).
    for (std::size_t i = 0; i < 4; ++i) {
        RoundaboutApproach& e = r.*ENTRIES[i];
        const auto& left = flows[NEIGHBOURS[i].left];
        const auto& opposite = flows[NEIGHBOURS[i].opposite];
        const auto& right = flows[NEIGHBOURS[i].right];
        e.circulating_flow_pce = left[U] + left[L] + left[T] + opposite[U] + opposite[L] + right[U];
        if (e.bypass == BypassType::None) {
            e.bypass_conflicting_flow_pce.reset();
        } else {
            e.bypass_conflicting_flow_pce = left[T] + opposite[L] + right[U];
        }
    }

    for (std::size_t i = 0; i < 4; ++i) analyze_entry(r, i, f_hv[i], lane_flows[i]);

    // Steps 8 and 9 (Equations 22-18 and 22-19).
    WeightedDelay intersection;
    for (auto member : ENTRIES) {
        RoundaboutApproach& e = r.*member;
        WeightedDelay entry;
        for (const RoundaboutLaneResult& lane : e.lanes) entry.add(lane.control_delay, lane.flow_veh);
        if (e.bypass_lane) entry.add(e.bypass_lane->control_delay, e.bypass_lane->flow_veh);
        if (!entry.any()) continue;  // no traffic: the entry keeps its delay and LOS as they were
        const double delay = entry.mean_or(0.0);
        e.control_delay = delay;
        e.los = los_letter(delay);
        intersection.add(delay, entry.weight);
    }
    const double delay = intersection.mean_or(0.0);
    r.intersection_delay = delay;
    r.intersection_los = los_letter(delay);
}

const RoundaboutApproach& entry_of(const Roundabouts& r, std::string_view entry_text) {
    return r.*ENTRIES[base::parse_option(ENTRY_WORDS, entry_text)];
}

const RoundaboutLaneResult& lane_result_of(const Roundabouts& r, std::string_view entry_text, std::uint64_t lane) {
    const RoundaboutApproach& e = entry_of(r, entry_text);
    if (lane >= e.lanes.size()) throw Error("no lane " + std::to_string(lane) + " on " + std::string(entry_text));
    return e.lanes[static_cast<std::size_t>(lane)];
}

}  // namespace hcm::roundabouts::roundabouts
