#include "hcm/urban_reliability/exhibits.hpp"

#include <algorithm>

namespace hcm::urban_reliability::exhibits {

double demand_ratio(std::uint32_t month, std::uint32_t day_of_week, std::uint64_t hour, FunctionalClass cls) {
    const auto column = static_cast<std::size_t>(cls);
    const bool weekend = day_of_week == 0 || day_of_week == 6;
    const auto& shares = weekend ? WEEKEND_HOUR_SHARES : WEEKDAY_HOUR_SHARES;
    const std::size_t month_row = std::clamp<std::uint32_t>(month, 1, 12) - 1;
    return shares[hour % 24][column] * DAY_FACTORS[day_of_week % 7] * MONTH_FACTORS[month_row][column];
}

double clearance_time_min(std::uint8_t incident_type, WeatherCondition condition) {
    std::size_t column = 0;
    switch (condition) {
        case WeatherCondition::Dry: column = 0; break;
        case WeatherCondition::Rainfall: column = 1; break;
        case WeatherCondition::WetPavement: column = 2; break;
        case WeatherCondition::Snowfall:
        case WeatherCondition::SnowPavement: column = 3; break;
    }
    return CLEARANCE_TIME_MIN[std::min<std::size_t>(incident_type, 3)][column];
}

WeatherFactors weather_factors(WeatherCondition condition, double rate_in_h) {
    const double r = std::max(rate_in_h, 0.0);
    switch (condition) {
        case WeatherCondition::Dry: return {1.0, 1.0};
        case WeatherCondition::Rainfall: {
            const double f = 1.0 / (RAINFALL_RATE_COEFF * r + 1.0);
            return {f, f};
        }
        case WeatherCondition::WetPavement: return {WET_PAVEMENT_FACTOR, WET_PAVEMENT_FACTOR};
        case WeatherCondition::Snowfall:
            return {1.0 / (SNOWFALL_SPEED_RATE_COEFF * r + 1.0), 1.0 / (SNOWFALL_SAT_FLOW_RATE_COEFF * r + 1.0)};
        case WeatherCondition::SnowPavement: return {SNOW_PAVEMENT_FACTOR, SNOW_PAVEMENT_FACTOR};
    }
    return {1.0, 1.0};
}

}  // namespace hcm::urban_reliability::exhibits
