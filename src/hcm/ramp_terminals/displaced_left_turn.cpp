// Displaced left-turn (DLT) intersections: the ETT and LOS from the per-junction cells, and the
// offset of the supplemental intersection.
#include <cmath>

#include "hcm/ramp_terminals/alternative_intersections.hpp"
#include "hcm/ramp_terminals/exhibits.hpp"

namespace hcm::ramp_terminals::alternative_intersections {

double dlt_ett(const DisplacedLeftTurn& dlt) {
    if (dlt.total_od_demand_veh_h <= 0.0) return 0.0;
    double weighted = -0.0;
    for (const DltDelayCell& cell : dlt.cells) weighted += cell.flow_veh_h * cell.control_delay_s;
    return weighted / dlt.total_od_demand_veh_h;
}

LevelOfService dlt_los(const DisplacedLeftTurn& dlt) { return ett_los(dlt_ett(dlt)); }

DltOffset dlt_offset(double td_dlt_ft, double sf_dlt_mph, double lag_dlt_s, double lag_th_s, double offset_supp_s,
                     double offset_main_s, double cycle_s) {
    DltOffset o;
    o.tt_dlt_s = sf_dlt_mph > 0.0 ? td_dlt_ft / (sf_dlt_mph * exhibits::FT_S_PER_MI_H) : 0.0;
    o.st_dlt_s = lag_dlt_s + offset_supp_s;
    o.st_th_s = lag_th_s + offset_main_s;
    o.o_supp_s = ((offset_supp_s - o.st_dlt_s) + o.st_th_s) - o.tt_dlt_s;
    // Wrapped into [0, C) by the exact remainder; an infinite or undefined offset has no place in
    // the cycle and is returned as it is.
    if (cycle_s > 0.0 && std::isfinite(o.o_supp_s)) {
        double r = std::fmod(o.o_supp_s, cycle_s);
        if (r < 0.0 || (r == 0.0 && o.o_supp_s < 0.0)) r += cycle_s;
        if (r >= cycle_s) r = 0.0;
        o.o_supp_s = r;
    }
    return o;
}

}  // namespace hcm::ramp_terminals::alternative_intersections
