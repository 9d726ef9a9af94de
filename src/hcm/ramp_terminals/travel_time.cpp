#include "hcm/ramp_terminals/travel_time.hpp"

namespace hcm::ramp_terminals::ramp_terminals {

namespace ex = exhibits;

namespace {

double extra_distance_travel_time(const ExtraDistance& extra, double default_speed_mph) {
    const double speed = extra.design_speed_mph.value_or(default_speed_mph);
    if (!(speed > 0.0)) return 0.0;
    const double t = extra.distance_ft / (ex::FT_S_PER_MI_H * speed);
    return extra.distance_ft >= 0.0 ? t + extra.accel_decel_s : t - extra.accel_decel_s;
}

}  // namespace

LevelOfService interchange_los(double ett_s) { return common::los_by_density(ex::INTERCHANGE_ETT_LOS_MAX, ett_s); }

std::vector<OdResult> determine_od_results(const Interchange& ix, const Paths& paths, const OdDemands& od,
                                           const std::vector<LaneGroupResult>& results) {
    std::vector<OdResult> out;
    for (std::size_t k = 0; k < OD_COUNT; ++k) {
        const OdMovement letter = od_of(k);
        const double demand = od[letter];
        if (!(demand > 0.0)) continue;
        const ResolvedPath& p = paths[k];
        if (p.path.empty() && letter != OdMovement::F && letter != OdMovement::G) continue;
        OdResult r;
        r.movement = letter;
        r.demand = demand;
        for (std::size_t i = 0; i < p.path.size(); ++i) {
            const LaneGroupResult& lg = results[p.groups[i]];
            if (lg.control_delay_s) r.control_delay_s += *lg.control_delay_s;
            if (lg.vc_ratio && *lg.vc_ratio > 1.0) r.vc_exceeds_one = true;
            if (lg.queue_storage_ratio && *lg.queue_storage_ratio > 1.0) r.rq_exceeds_one = true;
        }
        r.edtt_s = extra_distance_travel_time(ix.extra_distances[k], ix.extra_distance_speed_mph);
        r.ett_s = r.control_delay_s + r.edtt_s;
        r.los = r.vc_exceeds_one || r.rq_exceeds_one ? LevelOfService::F : interchange_los(r.ett_s);
        out.push_back(r);
    }
    return out;
}

}  // namespace hcm::ramp_terminals::ramp_terminals
