#include "hcm/urban_reliability/scenario_generation.hpp"

#include <algorithm>
#include <cmath>
#include <optional>
#include <span>
#include <utility>

#include "base/cancel.hpp"
#include "base/numeric.hpp"
#include "base/sampling.hpp"
#include "base/units.hpp"
#include "hcm/common/prng.hpp"

namespace hcm::urban_reliability::urban_reliability {

double UrbanReliabilityConfig::base_demand_ratio() const {
    return exhibits::demand_ratio(count_month, count_day_of_week, count_hour, functional_class);
}

double adaptive_signal_sat_flow_adjustment(std::optional<double> target_delay_reduction_pct) {
    // Exhibit 37-9 illustrates delay reductions of 3 % to 24 % for adaptive signal control.
    constexpr double MIN_PCT = 3.0, MAX_PCT = 24.0, MIDPOINT_PCT = 13.5;
    double p = target_delay_reduction_pct.value_or(MIDPOINT_PCT);
    if (p < MIN_PCT) p = MIN_PCT;  // NaN passes both tests and gives NaN
    if (p > MAX_PCT) p = MAX_PCT;
    return 1.0 / (1.0 - p / 100.0);
}

}  // namespace hcm::urban_reliability::urban_reliability

namespace hcm::urban_reliability::scenario_generation {

namespace {

namespace sampling = base::sampling;
using common::Prng;
using urban_reliability::MonthlyWeather;
using urban_reliability::WeatherCondition;

// ---- Calendar ------------------------------------------------------------------------------------

constexpr std::array<std::uint32_t, 12> MONTH_LENGTHS = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
constexpr double HOURS_PER_DAY = 24.0;
using base::units::HOURS_PER_YEAR;
constexpr double WEATHER_RECORD_HOURS = 2.0 * HOURS_PER_YEAR;

// Month (1-12) of a day of a 365-day year (0-364).
std::uint32_t month_of_day(std::uint64_t day_of_year) {
    std::uint64_t d = day_of_year;
    for (std::uint32_t m = 0; m < 12; ++m) {
        if (d < MONTH_LENGTHS[m]) return m + 1;
        d -= MONTH_LENGTHS[m];
    }
    return 12;
}

// ---- Weather record (Step 3) ---------------------------------------------------------------------

// Daily temperature spread about the monthly mean (deg F per standard normal unit).
constexpr double TEMPERATURE_SD_F = 5.0;
constexpr double FREEZING_F = 32.0;
// Snow is drawn as snowfall: ten inches of snow per inch of water.
constexpr double SNOW_WATER_RATIO = 10.0;
// Spread of the daily precipitation amount: sd = min(2.5 m, 0.65 f).
constexpr double AMOUNT_SD_RATIO = 2.5;
constexpr double AMOUNT_SD_CAP_IN = 0.65;
// Pavement drying time t = 0.888 e^(-0.007 T) h, plus 0.083 h after rain and 0.19 h at night.
constexpr double DRYING_COEFFICIENT_H = 0.888;
constexpr double DRYING_TEMPERATURE_RATE = -0.007;
constexpr double RAIN_RUNOFF_H = 0.083;
constexpr double NIGHT_DRYING_EXTRA_H = 0.19;
constexpr double NIGHT_ENDS_H = 6.0;
constexpr double NIGHT_STARTS_H = 18.0;
// Times are kept in quarter hours; an event starts at 23:45 at the latest.
constexpr double QUARTERS_PER_HOUR = 4.0;
constexpr double LATEST_START_H = 23.75;

// A time rounded to the nearest quarter hour (halves away from zero, as std::round).
double to_quarter_hour(double hours) { return std::round(hours * QUARTERS_PER_HOUR) / QUARTERS_PER_HOUR; }

// One day's draws. The draws stop at the first "no event": u2 is not drawn when u1 finds no
// precipitation, u3 not when the month has no precipitation statistics, u4 not when the drawn
// rate or amount is zero.
std::optional<UrbanWeatherEvent> draw_weather_day(Prng& rng, std::uint64_t day, const MonthlyWeather& w,
                                                  std::uint32_t month_length, double snow_runoff_h) {
    const double u1 = rng.next_f64();
    const double p = w.days_with_precip / month_length;
    if (u1 >= p || p <= 0.0) return std::nullopt;
    const double temperature = w.mean_temp_f + TEMPERATURE_SD_F * sampling::normal_quantile(rng.next_f64());
    if (w.days_with_precip <= 0.0 || w.precip_rate_in_h <= 0.0 || w.total_precip_in <= 0.0) return std::nullopt;

    const bool snow = temperature < FREEZING_F;
    const double f = snow ? SNOW_WATER_RATIO : 1.0;
    const double u3 = rng.next_f64();
    const double mean_rate = f * w.precip_rate_in_h;
    const double rate = sampling::gamma_quantile(mean_rate, mean_rate, u3);
    const double mean_amount = f * w.total_precip_in / w.days_with_precip;
    const double amount =
        mean_amount <= 0.0
            ? 0.0
            : sampling::gamma_quantile(mean_amount, std::min(AMOUNT_SD_RATIO * mean_amount, AMOUNT_SD_CAP_IN * f), u3);
    if (rate <= 0.0 || amount <= 0.0) return std::nullopt;

    const double hours = std::min(amount / rate, HOURS_PER_DAY);
    const double start = std::min(to_quarter_hour(rng.next_f64() * (HOURS_PER_DAY - hours)), LATEST_START_H);
    double drying = DRYING_COEFFICIENT_H * std::exp(DRYING_TEMPERATURE_RATE * temperature);
    double extra = snow_runoff_h;
    if (!snow) {
        extra = RAIN_RUNOFF_H;
        if (start < NIGHT_ENDS_H || start >= NIGHT_STARTS_H) drying += NIGHT_DRYING_EXTRA_H;
    }
    const double duration = std::min(to_quarter_hour(hours), HOURS_PER_DAY - start);
    const double wet = std::min(to_quarter_hour(drying + duration + extra), HOURS_PER_DAY - start);
    return UrbanWeatherEvent{day, temperature, rate, amount, start, duration, wet, snow};
}

}  // namespace

std::vector<UrbanWeatherEvent> weather_record(const UrbanReliabilityConfig& config) {
    std::vector<UrbanWeatherEvent> events;
    Prng rng(config.weather_seed);
    for (std::uint64_t d = 0; d < WEATHER_RECORD_DAYS; ++d) {
        const std::uint32_t month = month_of_day(d % DAYS_PER_YEAR);
        if (auto e = draw_weather_day(rng, d, config.weather[month - 1], MONTH_LENGTHS[month - 1],
                                      config.snow_runoff_h))
            events.push_back(*e);
    }
    return events;
}

// Events of each day: events[first[d] .. first[d + 1]) (the record is in day order).
std::vector<std::size_t> events_by_day(const std::vector<UrbanWeatherEvent>& events, std::uint64_t days) {
    std::vector<std::size_t> first(days + 1, events.size());
    for (std::size_t i = events.size(); i-- > 0;)
        if (events[i].day < days) first[events[i].day] = i;
    for (std::uint64_t d = days; d-- > 0;) first[d] = std::min(first[d], first[d + 1]);
    return first;
}

namespace {

// The weather of the interval [t0, t1) of a day: the first event precipitating in it, or whose
// pavement is still wet in it, decides. The end of the precipitation itself is wet pavement.
struct IntervalWeather {
    WeatherCondition condition = WeatherCondition::Dry;
    const UrbanWeatherEvent* event = nullptr;
};

IntervalWeather interval_weather(std::span<const UrbanWeatherEvent> day_events, double t0, double t1) {
    for (const UrbanWeatherEvent& e : day_events) {
        const double end = e.start_h + e.duration_h;
        if (e.duration_h > 0.0 && e.start_h < t1 && t0 < end)
            return {e.snow ? WeatherCondition::Snowfall : WeatherCondition::Rainfall, &e};
        if (t1 > end && t0 < e.start_h + e.wet_duration_h)
            return {e.snow ? WeatherCondition::SnowPavement : WeatherCondition::WetPavement, &e};
    }
    return {};
}

}  // namespace

// ---- Crash rates (Step 4) ------------------------------------------------------------------------

std::array<double, 4> crash_adjustment_factors(const IncidentConfig& incidents) {
    return incidents.cfaf_override.value_or(exhibits::DEFAULT_CFAF);
}

namespace {

double condition_cfaf(const std::array<double, 4>& cfaf, WeatherCondition condition) {
    switch (condition) {
        case WeatherCondition::Dry: return 1.0;
        case WeatherCondition::Rainfall: return cfaf[0];
        case WeatherCondition::WetPavement: return cfaf[1];
        case WeatherCondition::Snowfall: return cfaf[2];
        case WeatherCondition::SnowPavement: return cfaf[3];
    }
    return 1.0;
}

}  // namespace

DryCrashRates dry_crash_rates(const IncidentConfig& incidents, const std::vector<UrbanWeatherEvent>& events) {
    double rain = 0.0, wet = 0.0, snow = 0.0, snow_pavement = 0.0;
    for (const UrbanWeatherEvent& e : events) {
        const double after = std::max(e.wet_duration_h - e.duration_h, 0.0);
        (e.snow ? snow : rain) += e.duration_h;
        (e.snow ? snow_pavement : wet) += after;
    }
    const double dry = WEATHER_RECORD_HOURS - rain - wet - snow - snow_pavement;
    const std::array<double, 4> cfaf = crash_adjustment_factors(incidents);
    const double weighted = dry + cfaf[0] * rain + cfaf[1] * wet + cfaf[2] * snow + cfaf[3] * snow_pavement;
    auto to_dry = [weighted](std::vector<double> frequencies) {
        if (weighted > 0.0)
            for (double& f : frequencies) f = f * HOURS_PER_YEAR * 2.0 / weighted;
        return frequencies;
    };
    return {to_dry(incidents.segment_crash_frequencies), to_dry(incidents.intersection_crash_frequencies)};
}

// ---- Reporting period (Step 5) -------------------------------------------------------------------

namespace {

bool contains(const std::vector<std::uint32_t>& list, std::uint32_t x) {
    return std::find(list.begin(), list.end(), x) != list.end();
}

}  // namespace

std::vector<RrpDay> reporting_period_days(const UrbanReliabilityConfig& config) {
    std::vector<RrpDay> days;
    for (std::uint64_t d = 0; d < DAYS_PER_YEAR; ++d) {
        const std::uint32_t month = month_of_day(d);
        const auto dow = static_cast<std::uint32_t>((config.jan1_day_of_week + d) % 7);
        if (contains(config.months, month) && contains(config.days_of_week, dow)) days.push_back({d, month, dow});
    }
    return days;
}

// ---- ATDM strategies -----------------------------------------------------------------------------

namespace {

bool matches_day(const AtdmStrategy& s, std::uint32_t month, std::uint32_t day_of_week) {
    return (s.months.empty() || contains(s.months, month)) &&
           (s.days_of_week.empty() || contains(s.days_of_week, day_of_week));
}

bool matches_period(const AtdmStrategy& s, std::uint64_t period) {
    return s.periods.empty() || std::find(s.periods.begin(), s.periods.end(), period) != s.periods.end();
}

}  // namespace

AtdmEffect atdm_effect(const std::vector<AtdmStrategy>& strategies, const UrbanScenario& sc) {
    AtdmEffect e;
    for (const AtdmStrategy& s : strategies) {
        if (!matches_day(s, sc.month, sc.day_of_week) || !matches_period(s, sc.period)) continue;
        e.demand *= s.demand_adjustment;
        e.sat_flow *= s.sat_flow_adjustment;
        e.green_s += s.effective_green_adjustment_s;
        e.ffs *= s.ffs_adjustment;
    }
    return e;
}

// ---- Incidents (Step 6) --------------------------------------------------------------------------

namespace {

// Incident durations: gamma with a coefficient of variation of 0.8.
constexpr double INCIDENT_DURATION_CV = 0.8;
using base::units::MINUTES_PER_HOUR;

bool snowy(WeatherCondition c) { return c == WeatherCondition::Snowfall || c == WeatherCondition::SnowPavement; }

double mean_incident_duration_h(std::uint8_t incident_type, WeatherCondition condition) {
    const double response = snowy(condition) ? exhibits::RESPONSE_TIME_SNOW_MIN : exhibits::RESPONSE_TIME_MIN;
    return (response + exhibits::clearance_time_min(incident_type, condition)) / MINUTES_PER_HOUR;
}

// Share of a location's incidents that stand in the analysed direction.
double direction_share(const UrbanFacility& facility, const IncidentConfig& cfg, std::size_t location,
                       bool at_intersection) {
    const std::size_t segments = facility.segments.size();
    const std::size_t i = at_intersection ? std::min(location, segments - 1) : location;
    const double own = facility.segments[i].through_demand_veh_h;
    const double opposing =
        cfg.opposing_demand_veh_h && i < cfg.opposing_demand_veh_h->size() ? (*cfg.opposing_demand_veh_h)[i] : own;
    if (!at_intersection) {
        const double sum = own + opposing;
        return sum > 0.0 ? own / sum : 0.5;
    }
    const double total = own + opposing;
    const double denominator = 2.0 * total + 2.0 * cfg.minor_leg_volume_veh_h;
    return denominator > 0.0 ? total / denominator : 0.25;
}
// Draws the incidents of one hour at one location, appending those that occur.
void draw_location_hour(Prng& rng, const IncidentContext& cx, const RrpDay& day, std::uint32_t hour,
                        WeatherCondition condition, double lambda, std::size_t location, bool at_intersection,
                        std::vector<UrbanIncident>& out) {
    const std::size_t column =
        exhibits::incident_proportion_column(at_intersection, cx.config.incidents.shoulder_present);
    for (const exhibits::IncidentCategory& category : exhibits::INCIDENT_CATEGORIES) {
        const double p = category.proportions[column];
        if (!(p > 0.0)) continue;
        if (!(rng.next_f64() > std::exp(-lambda * p))) continue;
        const double mean = mean_incident_duration_h(category.incident_type, condition);
        const double drawn = sampling::gamma_quantile(mean, INCIDENT_DURATION_CV * mean, rng.next_f64());
        const double duration = to_quarter_hour(std::min(drawn, HOURS_PER_DAY - hour));
        if (duration == 0.0) continue;
        const double share = direction_share(cx.facility, cx.config.incidents, location, at_intersection);
        const bool in_direction = rng.next_f64() <= share;
        out.push_back({day.day, location, duration, hour, category.lane_location, category.incident_type, condition,
                       at_intersection, in_direction});
    }
}

}  // namespace

std::vector<UrbanIncident> draw_incidents(const IncidentContext& cx, const std::vector<RrpDay>& days,
                                          const std::vector<UrbanWeatherEvent>& events,
                                          const std::vector<std::size_t>& events_first) {
    std::vector<UrbanIncident> incidents;
    Prng rng(cx.config.incident_seed);
    const auto column = static_cast<std::size_t>(cx.config.functional_class);
    const std::span<const UrbanWeatherEvent> all(events);
    for (const RrpDay& day : days) {
        base::poll_cancel();
        double atdm = 1.0;
        for (const AtdmStrategy& s : cx.strategies)
            if (matches_day(s, day.month, day.day_of_week)) atdm *= s.crash_frequency_adjustment;
        const auto day_events = all.subspan(events_first[day.day], events_first[day.day + 1] - events_first[day.day]);
        const bool weekend = day.day_of_week == 0 || day.day_of_week == 6;
        const auto& shares = weekend ? exhibits::WEEKEND_HOUR_SHARES : exhibits::WEEKDAY_HOUR_SHARES;
        const double day_factor = exhibits::DAY_FACTORS[day.day_of_week];
        const double month_factor = exhibits::MONTH_FACTORS[day.month - 1][column];
        for (std::uint32_t h = 0; h < 24; ++h) {
            const WeatherCondition condition = interval_weather(day_events, h, h + 1.0).condition;
            const double cfaf = condition_cfaf(cx.cfaf, condition);
            // Expected incidents in the hour: the adjusted annual rate per hour, spread over the
            // day by the demand pattern (24 x the hour's share of the day).
            auto lambda = [&](double dry_rate, double crashes_per_incident) {
                const double hourly = dry_rate * cfaf * atdm / crashes_per_incident / HOURS_PER_YEAR;
                return day_factor * HOURS_PER_DAY * shares[h][column] * month_factor * hourly;
            };
            for (std::size_t i = 0; i < cx.rates.segments.size(); ++i)
                draw_location_hour(rng, cx, day, h, condition,
                                   lambda(cx.rates.segments[i], exhibits::SEGMENT_CRASHES_PER_INCIDENT), i, false,
                                   incidents);
            for (std::size_t j = 0; j < cx.rates.intersections.size(); ++j)
                draw_location_hour(rng, cx, day, h, condition,
                                   lambda(cx.rates.intersections[j], exhibits::INTERSECTION_CRASHES_PER_INCIDENT), j,
                                   true, incidents);
        }
    }
    return incidents;
}

// ---- Scenarios (Step 7) --------------------------------------------------------------------------

std::vector<UrbanScenario> build_scenarios(const UrbanReliabilityConfig& config, const std::vector<RrpDay>& days,
                                           const std::vector<UrbanWeatherEvent>& events,
                                           const std::vector<std::size_t>& events_first,
                                           const std::vector<UrbanIncident>& incidents) {
    std::vector<UrbanScenario> scenarios;
    scenarios.reserve(days.size() * config.analysis_periods_per_day);
    const double base_ratio = config.base_demand_ratio();
    const std::span<const UrbanWeatherEvent> all(events);
    std::size_t first_incident = 0;  // incidents are in day order
    for (const RrpDay& day : days) {
        base::poll_cancel();
        const auto day_events = all.subspan(events_first[day.day], events_first[day.day + 1] - events_first[day.day]);
        while (first_incident < incidents.size() && incidents[first_incident].day < day.day) ++first_incident;
        for (std::uint64_t p = 0; p < config.analysis_periods_per_day; ++p) {
            const double t0 = config.study_period_start_hour + PERIOD_H * static_cast<double>(p);
            const double t1 = t0 + PERIOD_H;
            UrbanScenario sc{{}, day.day, p, 0.0, 0.0, day.month, day.day_of_week, WeatherCondition::Dry};
            const IntervalWeather w = interval_weather(day_events, t0, t1);
            sc.condition = w.condition;
            double weather_demand = 1.0;
            if (w.condition == WeatherCondition::Snowfall) {
                sc.precip_rate_in_h = w.event->rate_in_h / SNOW_WATER_RATIO;
                weather_demand = config.demand_change_snow;
            } else if (w.condition == WeatherCondition::Rainfall) {
                sc.precip_rate_in_h = w.event->rate_in_h;
                weather_demand = config.demand_change_rain;
            }
            const auto hour = base::to_unsigned_sat<std::uint64_t>(std::floor(t0));
            sc.demand_ratio = weather_demand *
                              exhibits::demand_ratio(day.month, day.day_of_week, hour, config.functional_class) /
                              base_ratio;
            for (std::size_t k = first_incident; k < incidents.size() && incidents[k].day == day.day; ++k)
                if (incidents[k].hour < t1 && t0 < incidents[k].hour + incidents[k].duration_h)
                    sc.incident_indices.push_back(k);
            scenarios.push_back(std::move(sc));
        }
    }
    return scenarios;
}

}  // namespace hcm::urban_reliability::scenario_generation
