#include "hcm/ramp_terminals/signal_timing.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

#include "base/cancel.hpp"
#include "base/numeric.hpp"
#include "base/units.hpp"
#include "hcm/ramp_terminals/lane_groups.hpp"

namespace hcm::ramp_terminals::ramp_terminals {

namespace {

using namespace mv;

std::optional<std::size_t> first_of(const std::vector<LaneGroupInput>& groups, const InterchangeMovement& a,
                                    const InterchangeMovement& b) {
    if (auto g = first_lane_group(groups, a)) return g;
    return first_lane_group(groups, b);
}

std::optional<std::size_t> ramp_feeder(const Interchange& ix, const Paths& paths, OdMovement od,
                                       const InterchangeMovement& fallback) {
    const ResolvedPath& p = paths[static_cast<std::size_t>(od)];
    for (std::size_t i = 0; i < p.path.size(); ++i) {
        const InterchangeApproach a = p.path[i].lane_group.approach;
        if (a == A::Nb || a == A::Sb) return p.groups[i];
    }
    return first_lane_group(ix.lane_groups, fallback);
}

}  // namespace

std::array<Link, 2> internal_links(const Interchange& ix, const Paths& paths, const OdDemands& od) {
    const auto& groups = ix.lane_groups;
    Link eb{first_of(groups, EbIntThrough, {A::Eb, Leg::Int, Turn::ThroughRight}),
            first_of(groups, EbExtThrough, {A::Eb, Leg::Ext, Turn::ThroughRight}),
            ramp_feeder(ix, paths, OdMovement::D, SbRampLeft), first_lane_group(groups, WbIntLeft), od.e + od.i};
    Link wb{first_of(groups, WbIntThrough, {A::Wb, Leg::Int, Turn::ThroughRight}),
            first_of(groups, WbExtThrough, {A::Wb, Leg::Ext, Turn::ThroughRight}),
            ramp_feeder(ix, paths, OdMovement::A, NbRampLeft), first_lane_group(groups, EbIntLeft), od.h + od.j};
    return {eb, wb};
}

namespace {

// Role quantities, with an absent role counting as no green, one lane and no flow.
struct Roles {
    const Interchange& ix;
    const std::vector<LaneGroupResult>& results;

    double green(std::optional<std::size_t> g) const { return g ? total_green(ix.lane_groups[*g]) : 0.0; }
    double lanes(std::optional<std::size_t> g) const { return g ? lanes_of(ix.lane_groups[*g]) : 1.0; }
    double flow(std::optional<std::size_t> g) const { return g ? results[*g].flow_rate : 0.0; }
    double common_green(std::optional<std::size_t> a, std::optional<std::size_t> b) const {
        if (!a || !b) return 0.0;
        return common_green_time(ix.lane_groups[*a].greens, ix.lane_groups[*b].greens, ix.cycle_length_s);
    }
};

// Lost time of a feeder whose queue on the internal link leaves `queue_ft` of storage.
double spillback_lost_time(double cycle_s, double feeder_green, double queue_ft, double distance_ft,
                           double common_green) {
    namespace lt = ex::lost_time;
    const double storage = queue_ft <= distance_ft ? max2(distance_ft - queue_ft, 0.0) : 0.0;
    if (!(cycle_s > 0.0 && storage <= lt::STORAGE_LIMIT_FT)) return 0.0;
    return max2(feeder_green - lt::STORAGE_LOSS * storage - lt::COMMON_GREEN_LOSS * common_green / cycle_s, 0.0);
}

// Step 1: downstream-queue lost time of the two feeders of each link.
void determine_downstream_queue_lost_time(const Interchange& ix, const Roles& roles, const std::array<Link, 2>& links,
                                          std::vector<double>& dq) {
    namespace lt = ex::lost_time;
    if (ix.form == InterchangeForm::Spui) return;
    const double c = ix.cycle_length_s;
    const double l_h = ix.queue_spacing_ft;
    const double distance = ix.distance_between_intersections_ft;
    auto computed = [&](std::optional<std::size_t> g) {
        return g && ix.form != InterchangeForm::Ddi && !ix.lane_groups[*g].downstream_queue_lost_time_s;
    };
    for (const Link& k : links) {
        const double g_i = roles.green(k.internal);
        if (computed(k.upstream)) {
            const double gc = roles.common_green(k.upstream, k.internal);
            double queue = 0.0;
            if (c > 0.0)
                queue = l_h * (lt::QUEUE_GREEN * roles.green(k.ramp) / c +
                               lt::QUEUE_FLOW * roles.flow(k.ramp) / roles.lanes(k.ramp) -
                               lt::QUEUE_GREEN * g_i / c - lt::QUEUE_COMMON_GREEN * gc);
            dq[*k.upstream] = spillback_lost_time(c, roles.green(k.upstream), max2(queue, 0.0), distance, gc);
        }
        if (computed(k.ramp)) {
            const double gc = roles.common_green(k.ramp, k.internal);
            double queue = 0.0;
            if (c > 0.0)
                queue = l_h * (lt::QUEUE_GREEN * roles.green(k.upstream) / c +
                               lt::QUEUE_FLOW * k.through_demand / roles.lanes(k.upstream) -
                               lt::QUEUE_GREEN * g_i / c - lt::QUEUE_COMMON_GREEN * gc);
            dq[*k.ramp] = spillback_lost_time(c, roles.green(k.ramp), max2(queue, 0.0), distance, gc);
        }
    }
}

// Step 3: lost time of an internal through group starved of arrivals while its green runs.
double demand_starvation_lost_time(const Interchange& ix, const Roles& roles, const Link& k,
                                   const LaneGroupResult& internal) {
    if (ix.form == InterchangeForm::Spui || ix.form == InterchangeForm::Ddi) return 0.0;
    const LaneGroupInput& in = ix.lane_groups[*k.internal];
    const double n_i = lanes_of(in);
    const double s_i = internal.sat_flow.value_or(0.0);
    const double g_c = roles.common_green(k.internal, k.opposing_left);
    if (!(g_c > 0.0 && s_i / n_i > 0.0)) return 0.0;
    const double c = ix.cycle_length_s;
    const double h = SECONDS_PER_HOUR * n_i / s_i;
    const double l_1 = max2(in.start_up_lost_time_s + in.yellow_all_red_s - in.extension_of_green_s, 0.0);
    const double h_min = max2(h, ex::lost_time::MIN_HEADWAY_S);
    const double from_ramp = c * roles.flow(k.ramp) / (SECONDS_PER_HOUR * roles.lanes(k.ramp)) -
                             (max2(roles.common_green(k.ramp, k.internal), l_1) - l_1) / h_min;
    const double from_upstream = c * k.through_demand / (SECONDS_PER_HOUR * roles.lanes(k.upstream)) -
                                 (max2(roles.common_green(k.upstream, k.internal), l_1) - l_1) / h_min;
    const double arrivals = max2(from_ramp + from_upstream, 0.0);
    return max2(g_c - h * arrivals, 0.0);
}

}  // namespace

// Steps 1-3: lost times and effective green of every lane group.
void determine_effective_green(const Interchange& ix, const std::array<Link, 2>& links,
                               std::vector<LaneGroupResult>& results) {
    const Roles roles{ix, results};
    const std::size_t count = ix.lane_groups.size();
    std::vector<double> dq(count);
    for (std::size_t g = 0; g < count; ++g) dq[g] = ix.lane_groups[g].downstream_queue_lost_time_s.value_or(0.0);
    determine_downstream_queue_lost_time(ix, roles, links, dq);
    for (std::size_t g = 0; g < count; ++g) {
        if (g == links[0].internal || g == links[1].internal) continue;
        const LaneGroupInput& in = ix.lane_groups[g];
        const double lost = max2(in.yellow_all_red_s + in.start_up_lost_time_s + dq[g] + in.overlap_lost_time_s -
                                     in.extension_of_green_s,
                                 0.0);
        results[g].downstream_queue_lost_time_s = dq[g];
        results[g].adjusted_lost_time_s = lost;
        results[g].effective_green_s = max2(in.yellow_all_red_s + total_green(in) - lost, 0.0);
    }
    for (const Link& k : links) {
        if (!k.internal) continue;
        const LaneGroupInput& in = ix.lane_groups[*k.internal];
        LaneGroupResult& r = results[*k.internal];
        const double ds = demand_starvation_lost_time(ix, roles, k, r);
        const double lost =
            max2(ds + in.start_up_lost_time_s + in.yellow_all_red_s - in.extension_of_green_s, 0.0);
        r.demand_starvation_lost_time_s = ds;
        r.adjusted_lost_time_s = lost;
        r.effective_green_s = max2(in.yellow_all_red_s + total_green(in) - lost, 0.0);
    }
}

namespace {

// An interval placed in the cycle: one piece, or two when it wraps past the end of the cycle.
struct CyclePieces {
    std::array<std::pair<double, double>, 2> pieces{};
    std::size_t count = 0;
};

CyclePieces place_in_cycle(const GreenInterval& iv, double cycle_s) {
    double start = std::fmod(iv.begin_s, cycle_s);
    if (start < 0.0) start += cycle_s;
    const double end = start + min2(iv.duration_s, cycle_s);
    if (end > cycle_s) return {{{{start, cycle_s}, {0.0, end - cycle_s}}}, 2};
    return {{{{start, end}, {}}}, 1};
}

}  // namespace

double common_green_time(std::span<const GreenInterval> a, std::span<const GreenInterval> b, double cycle_s) {
    if (!(cycle_s > 0.0) || a.empty()) return 0.0;
    double longest = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        base::poll_cancel_every(i);  // each interval meets every interval of the other group
        const GreenInterval& ia = a[i];
        if (!(ia.duration_s > 0.0)) continue;
        const CyclePieces pa = place_in_cycle(ia, cycle_s);
        for (const GreenInterval& ib : b) {
            if (!(ib.duration_s > 0.0)) continue;
            const CyclePieces pb = place_in_cycle(ib, cycle_s);
            double overlap = 0.0;
            for (std::size_t i = 0; i < pa.count; ++i)
                for (std::size_t j = 0; j < pb.count; ++j)
                    overlap += max2(min2(pa.pieces[i].second, pb.pieces[j].second) -
                                        max2(pa.pieces[i].first, pb.pieces[j].first),
                                    0.0);
            longest = max2(longest, overlap);
        }
    }
    return longest;
}

}  // namespace hcm::ramp_terminals::ramp_terminals
