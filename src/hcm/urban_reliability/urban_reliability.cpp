#include "hcm/urban_reliability/urban_reliability.hpp"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>
#include <span>
#include <utility>

#include "base/cancel.hpp"
#include "base/numeric.hpp"
#include "base/units.hpp"
#include "hcm/common/error.hpp"
#include "hcm/common/prng.hpp"
#include "hcm/signal_delay/signal_delay.hpp"
#include "json/jsonio.hpp"

namespace hcm::urban_reliability::urban_reliability {

namespace {

using common::Prng;
using common::reliability::TravelTimeDistribution;
using exhibits::LaneLocation;
using urban_segments::urban_segments::UrbanSegment;

// ---- Calendar ------------------------------------------------------------------------------------

constexpr std::array<std::uint32_t, 12> MONTH_LENGTHS = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
constexpr std::uint64_t DAYS_PER_YEAR = 365;
constexpr std::uint64_t WEATHER_RECORD_DAYS = 2 * DAYS_PER_YEAR;
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

// ---- Crash rates (Step 4) ------------------------------------------------------------------------

std::array<double, 4> crash_adjustment_factors(const IncidentConfig& incidents) {
    return incidents.cfaf_override.value_or(exhibits::DEFAULT_CFAF);
}

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

// Dry-weather crash frequencies: the annual frequencies count wet hours at their adjustment
// factors, so F_dry = F x hours / (hours weighted by the factors) over the weather record.
struct DryCrashRates {
    std::vector<double> segments;
    std::vector<double> intersections;
};

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

struct RrpDay {
    std::uint64_t day;
    std::uint32_t month;
    std::uint32_t day_of_week;
};

bool contains(const std::vector<std::uint32_t>& list, std::uint32_t x) {
    return std::find(list.begin(), list.end(), x) != list.end();
}

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

bool matches_day(const AtdmStrategy& s, std::uint32_t month, std::uint32_t day_of_week) {
    return (s.months.empty() || contains(s.months, month)) &&
           (s.days_of_week.empty() || contains(s.days_of_week, day_of_week));
}

bool matches_period(const AtdmStrategy& s, std::uint64_t period) {
    return s.periods.empty() || std::find(s.periods.begin(), s.periods.end(), period) != s.periods.end();
}

// The combined effect of the strategies matching a scenario: ratios multiply, greens add.
struct AtdmEffect {
    double demand = 1.0;     // D
    double sat_flow = 1.0;   // Sf
    double green_s = 0.0;    // G
    double ffs = 1.0;        // V
};

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

struct IncidentContext {
    const UrbanFacility& facility;
    const UrbanReliabilityConfig& config;
    const std::vector<AtdmStrategy>& strategies;
    const DryCrashRates& rates;
    std::array<double, 4> cfaf;
};

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

constexpr double PERIOD_H = 0.25;

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

// ---- Scenario evaluation (Step 8) ----------------------------------------------------------------

using base::units::FT_PER_MI;
using base::units::SECONDS_PER_HOUR;
using base::units::FT_S_PER_MI_H;
constexpr double MIN_INCIDENT_SAT_FLOW_FACTOR = 0.1;
constexpr double MIN_VMT_WEIGHT = 1e-9;

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

// The boundary signal's through movement in one scenario (Chapter 19 delay terms).
struct SignalOutcome {
    double capacity;    // c
    double green_s;     // g
    double sat_flow;    // s'
    double delay_s;     // d1 + d2 + d3
    double vc;          // X
};

struct ScenarioContext {
    const UrbanReliability& study;
    std::span<const UrbanSegment> base;
    double free_flow_time_s;     // sum of L / S_f over the segments
    double mean_demand_veh_h;    // mean base through demand
};

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
        assert(k < cx.study.incidents.size());
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
    const double d2 = capacity > 0.0
                          ? signal_delay::incremental_delay(vc, capacity, signal.k_factor, signal.i_factor, PERIOD_H)
                          : base::units::INF;

    copy.through_capacity_veh_h = capacity;
    copy.through_control_delay_s = d1 + d2 + d3;
    copy.effective_green_s = green;
    copy.sat_flow_veh_h_ln = sat_flow;
    copy.analyze();
    return vc > 1.0 || queue_in;
}

UrbanScenarioOutcome evaluate_scenario(const ScenarioContext& cx, const UrbanScenario& sc, std::vector<double>& queues,
                                       std::vector<UrbanSegment>& copies) {
    const AtdmEffect atdm = atdm_effect(cx.study.atdm_strategies, sc);
    const exhibits::WeatherFactors weather = exhibits::weather_factors(sc.condition, sc.precip_rate_in_h);
    double travel_time = 0.0, vmt = 0.0;
    bool oversaturated = false;
    for (std::size_t s = 0; s < cx.base.size(); ++s) {
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

// ---- Checks (Step 1) -----------------------------------------------------------------------------

std::string count_message(const char* what, std::size_t count, std::size_t segments) {
    return std::string(what) + " has " + std::to_string(count) + " entries for " + std::to_string(segments) +
           " segments";
}

// The scenario count, saturating at the largest u64 (a huge analysis_periods_per_day).
std::uint64_t scenario_count(std::uint64_t days, std::uint64_t periods) {
    std::uint64_t count = 0;
    if (__builtin_mul_overflow(days, periods, &count)) return std::numeric_limits<std::uint64_t>::max();
    return count;
}

void check_study(const UrbanReliability& study) {
    const UrbanReliabilityConfig& c = study.config;
    const std::size_t segments = study.facility.segments.size();
    if (segments == 0) throw Error("facility must contain at least one segment");
    if (c.boundary_signals.size() != segments)
        throw Error(count_message("boundary_signals", c.boundary_signals.size(), segments));
    if (c.incidents.segment_crash_frequencies.size() != segments)
        throw Error(count_message("segment_crash_frequencies", c.incidents.segment_crash_frequencies.size(), segments));
    if (c.incidents.intersection_crash_frequencies.size() != segments + 1)
        throw Error("intersection_crash_frequencies needs " + std::to_string(segments + 1) +
                    " entries (segments + 1), got " + std::to_string(c.incidents.intersection_crash_frequencies.size()));
    if (c.weather.size() != 12) throw Error("weather needs 12 monthly entries (Jan-Dec)");
    if (c.analysis_periods_per_day == 0) throw Error("analysis_periods_per_day must be positive");
    if (c.months.empty() || c.days_of_week.empty()) throw Error("reliability reporting period is empty");
    if (c.base_demand_ratio() <= 0.0) throw Error("base demand ratio is zero \u2014 check count month/day/hour");
    // The green clamp [1, C - 1] needs C >= 2; NaN fails the test as well.
    for (std::size_t i = 0; i < segments; ++i)
        if (!(c.boundary_signals[i].cycle_length_s >= 2.0))
            throw Error("boundary_signals entry " + std::to_string(i) + ": cycle_length_s must be at least 2");
    // Every scenario analyses every segment while the caller waits: bound the study's size.
    const std::uint64_t count = scenario_count(reporting_period_days(c).size(), c.analysis_periods_per_day);
    if (count > MAX_SCENARIOS)
        throw Error("study would build " +
                    (count == std::numeric_limits<std::uint64_t>::max() ? std::string("more than ") : std::string()) +
                    std::to_string(count) + " scenarios (reporting-period days x analysis_periods_per_day); at most " +
                    std::to_string(MAX_SCENARIOS) + " are allowed");
}

// ---- Results (Step 9) ----------------------------------------------------------------------------

double percent(double part, double whole) { return whole > 0.0 ? 100.0 * part / whole : 0.0; }

UrbanReliabilityResults summarise(const UrbanReliability& study, double base_free_flow_travel_time_s) {
    UrbanReliabilityResults r;
    const TravelTimeDistribution distribution(study.observations);
    r.metrics = distribution.metrics();
    r.num_scenarios = study.scenario_outcomes.size();
    r.base_free_flow_travel_time_s = base_free_flow_travel_time_s;
    double travel_time = 0.0, vhd = 0.0;
    for (const UrbanScenarioOutcome& o : study.scenario_outcomes) {
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

}  // namespace

// ---- Distributions -------------------------------------------------------------------------------

namespace sampling {

namespace {
constexpr std::array<double, 6> LANCZOS = {76.18009172947146,     -86.50532032941678,    24.01409824083091,
                                           -1.231739572450155,    0.001208650973866179, -5.395239384953e-06};
constexpr double LANCZOS_BASE = 1.000000000190015;
constexpr double SQRT_TWO_PI = 2.5066282746310007;
constexpr int GAMMA_SERIES_TERMS = 500;
constexpr int GAMMA_FRACTION_ITERATIONS = 499;
constexpr double GAMMA_EPS = 1e-14;
constexpr double LENTZ_TINY = 1e-300;

// Acklam's rational approximation of the standard normal quantile.
constexpr std::array<double, 6> ACKLAM_A = {-3.969683028665376e+01, 2.209460984245205e+02, -2.759285104469687e+02,
                                            1.383577518672690e+02,  -3.066479806614716e+01, 2.506628277459239e+00};
constexpr std::array<double, 5> ACKLAM_B = {-5.447609879822406e+01, 1.615858368580409e+02, -1.556989798598866e+02,
                                            6.680131188771972e+01, -1.328068155288572e+01};
constexpr std::array<double, 6> ACKLAM_C = {-7.784894002430293e-03, -3.223964580411365e-01, -2.400758277161838e+00,
                                            -2.549732539343734e+00, 4.374664141464968e+00,  2.938163982698783e+00};
constexpr std::array<double, 4> ACKLAM_D = {7.784695709041462e-03, 3.224671290700398e-01, 2.445134137142996e+00,
                                            3.754408661907416e+00};
constexpr double ACKLAM_P_LOW = 0.02425;
constexpr double ACKLAM_P_HIGH = 1.0 - ACKLAM_P_LOW;
constexpr double U_MIN = 1e-12;
constexpr double U_MAX = 0.999999999999;

// The tail branch of Acklam's approximation at q = sqrt(-2 ln p).
double acklam_tail(double q) {
    const auto& c = ACKLAM_C;
    const auto& d = ACKLAM_D;
    return (((((c[0] * q + c[1]) * q + c[2]) * q + c[3]) * q + c[4]) * q + c[5]) /
           ((((d[0] * q + d[1]) * q + d[2]) * q + d[3]) * q + 1.0);
}

// Gamma quantile search bounds.
constexpr double QUANTILE_START_SDS = 30.0;
constexpr double QUANTILE_MAX_HI = 1e12;
constexpr int QUANTILE_BISECTIONS = 200;
constexpr double QUANTILE_TOLERANCE = 1e-12;
}  // namespace

double ln_gamma(double a) {
    double series = LANCZOS_BASE;
    double y = a;
    for (double c : LANCZOS) series += c / ++y;
    return (a + 0.5) * std::log(a + 5.5) - (a + 5.5) + std::log(SQRT_TWO_PI * series / a);
}

double gamma_p(double a, double x) {
    if (a <= 0.0 || x <= 0.0) return 0.0;
    const double prefactor = std::exp(a * std::log(x) - x - ln_gamma(a));
    if (x < a + 1.0) {
        // Series: 1/a + x/(a(a+1)) + x^2/(a(a+1)(a+2)) + ...
        double term = 1.0 / a, sum = term, ap = a;
        for (int n = 1; n < GAMMA_SERIES_TERMS; ++n) {
            ap += 1.0;
            term *= x / ap;
            sum += term;
            if (std::abs(term) < std::abs(sum) * GAMMA_EPS) break;
        }
        return sum * prefactor;
    }
    // Continued fraction of Q(a, x) by the modified Lentz method: b0 = x + 1 - a,
    // a_i = -i (i - a), b_i = b_(i-1) + 2.
    double b = x + 1.0 - a;
    double c = 1.0 / LENTZ_TINY;
    double d = 1.0 / b;
    double h = d;
    for (int i = 1; i <= GAMMA_FRACTION_ITERATIONS; ++i) {
        const double an = -i * (i - a);
        b += 2.0;
        d = an * d + b;
        if (std::abs(d) < LENTZ_TINY) d = LENTZ_TINY;
        c = b + an / c;
        if (std::abs(c) < LENTZ_TINY) c = LENTZ_TINY;
        d = 1.0 / d;
        const double step = d * c;
        h *= step;
        if (std::abs(step - 1.0) < GAMMA_EPS) break;
    }
    return 1.0 - prefactor * h;
}

double gamma_quantile(double mean, double sd, double u) {
    if (!(mean > 0.0) || !(sd > 0.0)) return mean > 0.0 ? mean : 0.0;
    const double shape = (mean / sd) * (mean / sd);
    const double scale = sd * sd / mean;
    u = std::clamp(u, U_MIN, U_MAX);
    double hi = mean + QUANTILE_START_SDS * sd;
    while (gamma_p(shape, hi / scale) < u) {
        hi *= 2.0;
        if (hi > QUANTILE_MAX_HI) break;
    }
    double lo = 0.0;
    for (int i = 0; i < QUANTILE_BISECTIONS; ++i) {
        const double mid = (lo + hi) / 2.0;
        if (gamma_p(shape, mid / scale) < u)
            lo = mid;
        else
            hi = mid;
        if (hi - lo < (hi + 1.0) * QUANTILE_TOLERANCE) break;
    }
    return (lo + hi) / 2.0;
}

// Acklam's approximation without the refinement step (which would change the low bits, and with
// them the weather draws), each polynomial in the Horner order given with the coefficients.
double normal_quantile(double u) {
    const double p = std::clamp(u, U_MIN, U_MAX);
    if (p < ACKLAM_P_LOW) return acklam_tail(std::sqrt(-2.0 * std::log(p)));
    if (p > ACKLAM_P_HIGH) return -acklam_tail(std::sqrt(-2.0 * std::log(1.0 - p)));
    const auto& a = ACKLAM_A;
    const auto& b = ACKLAM_B;
    const double q = p - 0.5;
    const double r = q * q;
    return (((((a[0] * r + a[1]) * r + a[2]) * r + a[3]) * r + a[4]) * r + a[5]) * q /
           (((((b[0] * r + b[1]) * r + b[2]) * r + b[3]) * r + b[4]) * r + 1.0);
}

}  // namespace sampling

// ---- The study -----------------------------------------------------------------------------------

double UrbanReliabilityConfig::base_demand_ratio() const {
    return exhibits::demand_ratio(count_month, count_day_of_week, count_hour, functional_class);
}

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

double adaptive_signal_sat_flow_adjustment(std::optional<double> target_delay_reduction_pct) {
    // Exhibit 37-9 illustrates delay reductions of 3 % to 24 % for adaptive signal control.
    constexpr double MIN_PCT = 3.0, MAX_PCT = 24.0, MIDPOINT_PCT = 13.5;
    double p = target_delay_reduction_pct.value_or(MIDPOINT_PCT);
    if (p < MIN_PCT) p = MIN_PCT;  // NaN passes both tests and gives NaN
    if (p > MAX_PCT) p = MAX_PCT;
    return 1.0 / (1.0 - p / 100.0);
}

namespace {

// Step 2: the base case, on the study's copy of the facility. A failing aggregation leaves the
// study's segments analysed, as the facility analysis does.
double analyze_base_case(UrbanReliability& study, UrbanFacility& facility) {
    try {
        return urban_facilities::urban_facilities::analyze(facility).base_free_flow_travel_time_s;
    } catch (const Error&) {
        study.facility.segments = std::move(facility.segments);
        throw;
    }
}

// Swaps the run's weather events, incidents and scenarios with the study's.
void swap_run_state(UrbanReliability& study, std::vector<UrbanWeatherEvent>& events,
                    std::vector<UrbanIncident>& incidents, std::vector<UrbanScenario>& scenarios) {
    std::swap(study.weather_events, events);
    std::swap(study.incidents, incidents);
    std::swap(study.scenarios, scenarios);
}

}  // namespace

const UrbanReliabilityResults& run(UrbanReliability& study) {
    check_study(study);  // Step 1: nothing has changed yet

    // The run works on a copy of the facility and on local state; the study takes them at the end,
    // so that a cancelled run leaves it as it was.
    UrbanFacility facility = study.facility;
    const double base_fft = analyze_base_case(study, facility);  // Step 2

    const UrbanReliabilityConfig& config = study.config;
    std::vector<UrbanWeatherEvent> events = weather_record(config);                      // Step 3
    const DryCrashRates rates = dry_crash_rates(config.incidents, events);               // Step 4
    const std::vector<RrpDay> days = reporting_period_days(config);                      // Step 5
    const std::vector<std::size_t> events_first = events_by_day(events, WEATHER_RECORD_DAYS);
    const IncidentContext incident_cx{facility, config, study.atdm_strategies, rates,
                                      crash_adjustment_factors(config.incidents)};
    std::vector<UrbanIncident> incidents = draw_incidents(incident_cx, days, events, events_first);  // Step 6
    std::vector<UrbanScenario> scenarios = build_scenarios(config, days, events, events_first, incidents);  // Step 7

    // Step 8. The scenarios read the run's incidents from the study: the run's state is swapped
    // in, and back out when the loop does not finish.
    const std::span<const UrbanSegment> base(facility.segments);
    double fft = 0.0, demand = 0.0;
    for (const UrbanSegment& s : base) {
        const double ffs = s.free_flow_speed_mph.value_or(std::numeric_limits<double>::quiet_NaN());
        fft += s.segment_length_ft / FT_PER_MI * SECONDS_PER_HOUR / ffs;
        demand += s.through_demand_veh_h;
    }
    const ScenarioContext cx{study, base, fft, demand / static_cast<double>(base.size())};
    std::vector<double> queues(base.size(), 0.0);
    std::vector<UrbanSegment> copies(base.begin(), base.end());
    std::vector<UrbanScenarioOutcome> outcomes;
    std::vector<TravelTimeObservation> observations;
    swap_run_state(study, events, incidents, scenarios);
    try {
        outcomes.reserve(study.scenarios.size());
        std::uint64_t day = std::numeric_limits<std::uint64_t>::max();
        for (const UrbanScenario& sc : study.scenarios) {
            base::poll_cancel();
            if (sc.day != day) {
                std::fill(queues.begin(), queues.end(), 0.0);
                day = sc.day;
            }
            const UrbanScenarioOutcome outcome = evaluate_scenario(cx, sc, queues, copies);
            const double weight = config.vmt_weighted ? std::max(outcome.vmt, MIN_VMT_WEIGHT) : 1.0;
            // A scenario without a finite TTI counts as a scenario but leaves no observation.
            if (weight > 0.0 && std::isfinite(outcome.tti)) observations.push_back({outcome.tti, weight});
            outcomes.push_back(outcome);
        }
    } catch (...) {
        swap_run_state(study, events, incidents, scenarios);
        throw;
    }

    // Nothing fails from here on: the run's state replaces the previous run's.
    study.facility = std::move(facility);
    study.scenario_outcomes = std::move(outcomes);
    study.observations = std::move(observations);
    return study.results.emplace(summarise(study, base_fft));  // Step 9
}

// ---- JSON ----------------------------------------------------------------------------------------

const jsonio::Record<MonthlyWeather>& json_record(jsonio::Tag<MonthlyWeather>) {
    using W = MonthlyWeather;
    static const jsonio::Record<W> record{
        "MonthlyWeather",
        {
            jsonio::with_default("total_precip_in", &W::total_precip_in, 0.0),
            jsonio::with_default("total_snowfall_in", &W::total_snowfall_in, 0.0),
            jsonio::with_default("days_with_precip", &W::days_with_precip, 0.0),
            jsonio::with_default("mean_temp_f", &W::mean_temp_f, 0.0),
            jsonio::with_default("precip_rate_in_h", &W::precip_rate_in_h, 0.0),
        },
        jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

const jsonio::Record<IncidentConfig>& json_record(jsonio::Tag<IncidentConfig>) {
    using I = IncidentConfig;
    static const jsonio::Record<I> record{
        "IncidentConfig",
        {
            jsonio::optional("cfaf_override", &I::cfaf_override),
            jsonio::with_default("segment_crash_frequencies", &I::segment_crash_frequencies, {}),
            jsonio::with_default("intersection_crash_frequencies", &I::intersection_crash_frequencies, {}),
            jsonio::optional("opposing_demand_veh_h", &I::opposing_demand_veh_h),
            jsonio::with_default("minor_leg_volume_veh_h", &I::minor_leg_volume_veh_h, 0.0),
            jsonio::with_default("shoulder_present", &I::shoulder_present, true),
        },
        jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

const jsonio::Record<BoundarySignal>& json_record(jsonio::Tag<BoundarySignal>) {
    using B = BoundarySignal;
    const B d;
    static const jsonio::Record<B> record{
        "BoundarySignal",
        {
            jsonio::with_default("cycle_length_s", &B::cycle_length_s, d.cycle_length_s),
            jsonio::with_default("effective_green_s", &B::effective_green_s, d.effective_green_s),
            jsonio::with_default("sat_flow_veh_h_ln", &B::sat_flow_veh_h_ln, d.sat_flow_veh_h_ln),
            jsonio::with_default("platoon_ratio", &B::platoon_ratio, d.platoon_ratio),
            jsonio::with_default("k_factor", &B::k_factor, d.k_factor),
            jsonio::with_default("i_factor", &B::i_factor, d.i_factor),
            jsonio::with_default("approach_lanes", &B::approach_lanes, d.approach_lanes),
        },
        jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

const jsonio::Record<AtdmStrategy>& json_record(jsonio::Tag<AtdmStrategy>) {
    using A = AtdmStrategy;
    static const jsonio::Record<A> record{
        "AtdmStrategy",
        {
            jsonio::with_default("name", &A::name, std::string()),
            jsonio::with_default("months", &A::months, {}),
            jsonio::with_default("days_of_week", &A::days_of_week, {}),
            jsonio::with_default("periods", &A::periods, {}),
            jsonio::with_default("demand_adjustment", &A::demand_adjustment, 1.0),
            jsonio::with_default("sat_flow_adjustment", &A::sat_flow_adjustment, 1.0),
            jsonio::with_default("effective_green_adjustment_s", &A::effective_green_adjustment_s, 0.0),
            jsonio::with_default("ffs_adjustment", &A::ffs_adjustment, 1.0),
            jsonio::with_default("crash_frequency_adjustment", &A::crash_frequency_adjustment, 1.0),
        },
        jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

const jsonio::Record<UrbanReliabilityConfig>& json_record(jsonio::Tag<UrbanReliabilityConfig>) {
    using C = UrbanReliabilityConfig;
    const C d;
    static const jsonio::Record<C> record{
        "UrbanReliabilityConfig",
        {
            jsonio::with_default("months", &C::months, d.months),
            jsonio::with_default("days_of_week", &C::days_of_week, d.days_of_week),
            jsonio::with_default("functional_class", &C::functional_class, d.functional_class),
            jsonio::with_default("jan1_day_of_week", &C::jan1_day_of_week, d.jan1_day_of_week),
            jsonio::with_default("study_period_start_hour", &C::study_period_start_hour, d.study_period_start_hour),
            jsonio::with_default("analysis_periods_per_day", &C::analysis_periods_per_day, d.analysis_periods_per_day),
            jsonio::with_default("weather", &C::weather, d.weather),
            jsonio::with_default("snow_runoff_h", &C::snow_runoff_h, d.snow_runoff_h),
            jsonio::with_default("demand_change_rain", &C::demand_change_rain, d.demand_change_rain),
            jsonio::with_default("demand_change_snow", &C::demand_change_snow, d.demand_change_snow),
            jsonio::with_default("count_month", &C::count_month, d.count_month),
            jsonio::with_default("count_day_of_week", &C::count_day_of_week, d.count_day_of_week),
            jsonio::with_default("count_hour", &C::count_hour, d.count_hour),
            jsonio::with_default("incidents", &C::incidents, d.incidents),
            jsonio::with_default("boundary_signals", &C::boundary_signals, d.boundary_signals),
            jsonio::with_default("weather_seed", &C::weather_seed, d.weather_seed),
            jsonio::with_default("demand_seed", &C::demand_seed, d.demand_seed),
            jsonio::with_default("incident_seed", &C::incident_seed, d.incident_seed),
            jsonio::with_default("vmt_weighted", &C::vmt_weighted, d.vmt_weighted),
        },
        jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

const jsonio::Record<UrbanReliabilityResults>& json_record(jsonio::Tag<UrbanReliabilityResults>) {
    using R = UrbanReliabilityResults;
    // Key order of the summary, not of the fields: the count first, the metrics nested.
    static const jsonio::Record<R> record{
        "UrbanReliabilityResults",
        {
            jsonio::required("num_scenarios", &R::num_scenarios),
            jsonio::result("base_free_flow_travel_time_s", &R::base_free_flow_travel_time_s),
            jsonio::result("mean_travel_time_s", &R::mean_travel_time_s),
            jsonio::required("metrics", &R::metrics),
            jsonio::result("reliability_rating_urban", &R::reliability_rating_urban),
            jsonio::result("total_vhd", &R::total_vhd),
            jsonio::required("num_weather_events", &R::num_weather_events),
            jsonio::required("num_incidents", &R::num_incidents),
            jsonio::result("pct_nondry_scenarios", &R::pct_nondry_scenarios),
        },
        jsonio::UnknownKeys::ignore, jsonio::ArrayForm::all_fields};
    return record;
}

const jsonio::Record<UrbanReliability>& json_record(jsonio::Tag<UrbanReliability>) {
    using U = UrbanReliability;
    static const jsonio::Record<U> record{
        "UrbanReliability",
        {
            jsonio::required("facility", &U::facility),
            jsonio::required("config", &U::config),
            jsonio::with_default("atdm_strategies", &U::atdm_strategies, {}),
        },
        jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

UrbanReliability read_urban_reliability(std::string_view text) { return jsonio::read_document<UrbanReliability>(text); }

std::string write_results(const UrbanReliabilityResults& results) { return jsonio::write_document(results); }

}  // namespace hcm::urban_reliability::urban_reliability
