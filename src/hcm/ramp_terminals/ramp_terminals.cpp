#include "hcm/ramp_terminals/ramp_terminals.hpp"

#include <utility>

#include "base/cancel.hpp"
#include "base/numeric.hpp"
#include "base/options.hpp"
#include "hcm/common/error.hpp"
#include "hcm/ramp_terminals/capacity_delay.hpp"
#include "hcm/ramp_terminals/lane_groups.hpp"
#include "hcm/ramp_terminals/od_paths.hpp"
#include "hcm/ramp_terminals/signal_timing.hpp"
#include "hcm/ramp_terminals/travel_time.hpp"

namespace hcm::ramp_terminals::ramp_terminals {

// ---- Names and demands ----

std::string InterchangeMovement::name() const {
    std::string out(base::name_of(approach));
    out += base::name_of(leg);
    out += base::name_of(turn);
    return out;
}

std::optional<InterchangeMovement> InterchangeMovement::from_name(std::string_view name) {
    for (std::size_t a = 0; a < base::variant_names<InterchangeApproach>.size(); ++a) {
        const std::string_view an = base::variant_names<InterchangeApproach>[a];
        if (!name.starts_with(an)) continue;
        const std::string_view after_approach = name.substr(an.size());
        for (std::size_t l = 0; l < base::variant_names<InterchangeLeg>.size(); ++l) {
            const std::string_view ln = base::variant_names<InterchangeLeg>[l];
            if (!after_approach.starts_with(ln)) continue;
            const std::string_view rest = after_approach.substr(ln.size());
            if (auto turn = base::enum_from_name<MovementTurn>(rest))
                return InterchangeMovement{static_cast<InterchangeApproach>(a), static_cast<InterchangeLeg>(l), *turn};
        }
    }
    return std::nullopt;
}

namespace {
constexpr std::array<double OdDemands::*, OD_COUNT> OD_FIELDS = {
    &OdDemands::a, &OdDemands::b, &OdDemands::c, &OdDemands::d, &OdDemands::e, &OdDemands::f, &OdDemands::g,
    &OdDemands::h, &OdDemands::i, &OdDemands::j, &OdDemands::k, &OdDemands::l, &OdDemands::m, &OdDemands::n};
}  // namespace

double OdDemands::operator[](OdMovement od) const { return this->*OD_FIELDS.at(static_cast<std::size_t>(od)); }
double& OdDemands::operator[](OdMovement od) { return this->*OD_FIELDS.at(static_cast<std::size_t>(od)); }

// ---- The analysis ----

void analyze(Interchange& ix) {
    // Step 1: peak-hour adjustment (a non-positive factor counts as 1).
    const double phf = ix.peak_hour_factor <= 0.0 ? 1.0 : ix.peak_hour_factor;
    OdDemands od;
    for (std::size_t k = 0; k < OD_COUNT; ++k) od[od_of(k)] = ix.od[od_of(k)] / phf;

    const Paths paths = resolve_paths(ix);
    const std::size_t count = ix.lane_groups.size();
    const LaneGroupLoads loads = lane_group_loads(paths, od, count);

    // Steps 2-3: flow rates and saturation flows.
    std::vector<LaneGroupResult> results(count);
    for (std::size_t g = 0; g < count; ++g) {
        base::poll_cancel_every(g);  // each lane group looks up the first of its movement
        const LaneGroupInput& in = ix.lane_groups[g];
        const std::size_t first = *first_lane_group(ix.lane_groups, in.movement);
        LaneGroupResult& r = results[g];
        r.movement = in.movement;
        r.flow_rate = in.demand_override_veh_h.value_or(loads.demand[first]);
        determine_saturation_flow(ix, od, in, loads.demand[first], loads.left[first], loads.right[first], r);
    }

    // Lost times, capacity, filtering, delay and queues, each over all lane groups in turn.
    const std::array<Link, 2> links = internal_links(ix, paths, od);
    determine_effective_green(ix, links, results);
    for (std::size_t g = 0; g < count; ++g) determine_capacity(ix, ix.lane_groups[g], results[g]);
    determine_upstream_filtering(ix, links, results);
    for (std::size_t g = 0; g < count; ++g) determine_delay(ix, ix.lane_groups[g], results[g]);

    // O-D experienced travel times and the interchange's demand-weighted ETT.
    std::vector<OdResult> od_results = determine_od_results(ix, paths, od, results);
    base::WeightedMean ett;
    for (const OdResult& r : od_results) ett.add(r.ett_s, r.demand);
    ix.od_adjusted = od;
    ix.results = std::move(results);
    ix.od_results = std::move(od_results);
    if (ett.any()) {
        ix.interchange_ett_s = ett.mean_or(0.0);
        ix.interchange_los = interchange_los(*ix.interchange_ett_s);
    }
}

// ---- Queries ----

const OdResult& od_result(const Interchange& interchange, std::string_view letter) {
    const OdMovement od = base::parse_option(ex::OD_LETTER_WORDS, letter);
    for (const OdResult& r : interchange.od_results)
        if (r.movement == od) return r;
    throw Error("no result for O-D " + std::string(letter));
}

namespace {

InterchangeMovement movement_named(std::string_view name) {
    if (auto m = InterchangeMovement::from_name(name)) return *m;
    throw Error("unknown interchange movement " + std::string(name));
}

const LaneGroupResult* find_result(const Interchange& interchange, const InterchangeMovement& movement) {
    for (const LaneGroupResult& r : interchange.results)
        if (r.movement == movement) return &r;
    return nullptr;
}

}  // namespace

const LaneGroupResult& lane_group_result(const Interchange& interchange, std::string_view movement) {
    if (const LaneGroupResult* r = find_result(interchange, movement_named(movement))) return *r;
    throw Error("no lane group " + std::string(movement));
}

std::optional<double> queue_storage_ratio(const Interchange& interchange, std::string_view movement) {
    const LaneGroupResult* r = find_result(interchange, movement_named(movement));
    return r ? r->queue_storage_ratio : std::nullopt;
}

}  // namespace hcm::ramp_terminals::ramp_terminals
