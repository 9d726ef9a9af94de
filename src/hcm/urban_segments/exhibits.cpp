#include "hcm/urban_segments/exhibits.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

#include "base/numeric.hpp"

namespace hcm::urban_segments::exhibits {

LevelOfService exhibit_18_1_los(bool vc_exceeds_one, double travel_speed_mph, double base_ffs_mph) {
    if (vc_exceeds_one) return LevelOfService::F;
    const double s = base::min2(base::max2(base_ffs_mph, 25.0), 55.0);
    // Columns (high, low) bracketing S: 55/50 from 50 mi/h up, ..., 30/25 below 30 mi/h.
    std::size_t high = EXHIBIT_18_1_BASE_FFS.size() - 2;
    for (std::size_t c = 0; c + 1 < EXHIBIT_18_1_BASE_FFS.size(); ++c) {
        if (s >= EXHIBIT_18_1_BASE_FFS[c + 1]) {
            high = c;
            break;
        }
    }
    const std::size_t low = high + 1;
    const double span = EXHIBIT_18_1_BASE_FFS[high] - EXHIBIT_18_1_BASE_FFS[low];
    const double w = std::abs(span) < std::numeric_limits<double>::epsilon() ? 0.0
                                                                             : (s - EXHIBIT_18_1_BASE_FFS[low]) / span;
    for (std::size_t letter = 0; letter < EXHIBIT_18_1_THRESHOLDS.size(); ++letter) {
        const auto& row = EXHIBIT_18_1_THRESHOLDS[letter];
        const double threshold = row[low] + w * (row[high] - row[low]);
        if (travel_speed_mph > threshold) return static_cast<LevelOfService>(letter);
    }
    return LevelOfService::F;
}

double exhibit_18_13_delay(double flow_per_lane_veh_h_ln, std::uint32_t lanes) {
    const std::size_t column = std::min<std::uint32_t>(std::max<std::uint32_t>(lanes, 1), 3) - 1;
    const double q = base::min2(base::max2(flow_per_lane_veh_h_ln, 200.0), 700.0);
    const double r = (q - 200.0) / 100.0;
    const std::size_t i = std::min<std::uint64_t>(base::to_unsigned_sat<std::uint64_t>(std::floor(r)), 4);
    const double lo = EXHIBIT_18_13_DELAY_S[i][column];
    const double hi = EXHIBIT_18_13_DELAY_S[i + 1][column];
    return lo + (r - static_cast<double>(i)) * (hi - lo);
}

double arrival_type_platoon_ratio(std::uint8_t arrival_type) {
    if (arrival_type >= 1 && arrival_type <= ARRIVAL_TYPE_PLATOON_RATIO.size())
        return ARRIVAL_TYPE_PLATOON_RATIO[arrival_type - 1];
    return 1.0;
}

}  // namespace hcm::urban_segments::exhibits
