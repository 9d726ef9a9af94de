#include "hcm/common/atdm.hpp"

#include <cmath>

#include "base/format.hpp"
#include "hcm/common/error.hpp"

namespace hcm::common::atdm {

double alinea_metering_rate(std::uint32_t metered_lanes, double downstream_capacity_veh_h,
                            double upstream_volume_veh_h, double ramp_volume_veh_h, double ramp_queue_prev_veh,
                            double ramp_queue_storage_veh, double min_rate_veh_h_ln, double max_rate_veh_h_ln) {
    if (metered_lanes == 0) return max_rate_veh_h_ln;
    if (std::isnan(min_rate_veh_h_ln) || std::isnan(max_rate_veh_h_ln)) {
        throw Error("metering rate bounds must be numbers, got minimum " + base::num(min_rate_veh_h_ln) + " and maximum " +
                    base::num(max_rate_veh_h_ln));
    }
    if (min_rate_veh_h_ln > max_rate_veh_h_ln) {
        throw Error("minimum metering rate " + base::num(min_rate_veh_h_ln) + " veh/h/ln exceeds the maximum " +
                    base::num(max_rate_veh_h_ln) + " veh/h/ln");
    }
    const double lanes = metered_lanes;
    const double spare_capacity = (downstream_capacity_veh_h - upstream_volume_veh_h) / lanes;
    const double queue_limit = (ramp_volume_veh_h + ramp_queue_prev_veh - ramp_queue_storage_veh) / lanes;
    double rate = std::fmax(spare_capacity, queue_limit);  // fmax takes the other one when one is NaN
    if (rate < min_rate_veh_h_ln) rate = min_rate_veh_h_ln;
    if (rate > max_rate_veh_h_ln) rate = max_rate_veh_h_ln;
    return rate;
}

}  // namespace hcm::common::atdm
