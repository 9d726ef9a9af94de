#include "hcm/freeway_reliability/scenario_generation.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>

#include "base/cancel.hpp"
#include "base/format.hpp"
#include "base/numeric.hpp"
#include "base/units.hpp"
#include "hcm/common/error.hpp"
#include "hcm/common/study_size.hpp"

namespace hcm::freeway_reliability::scenario_generation {
namespace {

using exhibits::INCIDENT_SEVERITIES;
using exhibits::WEATHER_EVENT_TYPES;

constexpr double MINUTES_PER_PERIOD = 15.0;
using base::units::MINUTES_PER_HOUR;
constexpr double SEVERITY_SUM_TOLERANCE = 1e-6;
constexpr double MIN_WEATHER_FFS = 55.0;
constexpr double MAX_WEATHER_FFS = 75.0;
constexpr double INCIDENTS_PER_100MVMT = 100000000.0;

// Rounds half away from zero to a whole count; NaN and negatives give 0, huge values clamp.
std::size_t round_to_count(double x) { return base::to_unsigned_sat<std::size_t>(std::round(x)); }

double sum_of(std::span<const double> values) {
    double total = 0.0;
    for (double v : values) total += v;
    return total;
}

bool contains(const auto& list, const auto& value) { return std::find(list.begin(), list.end(), value) != list.end(); }

// Each index i repeated counts[i] times, ascending.
std::vector<std::size_t> expand_counts(const std::vector<std::size_t>& counts, std::size_t total) {
    std::vector<std::size_t> out;
    out.reserve(total);
    for (std::size_t i = 0; i < counts.size(); ++i) out.insert(out.end(), counts[i], i);
    return out;
}

// The end (exclusive) of an event from `start` lasting `duration` periods, cut at the last period.
std::size_t clamped_end(std::size_t start, std::size_t duration, std::size_t num_periods) {
    return start + std::min(duration, num_periods - start);
}

// The entry of the demand-multiplier table at a row and weekday, when the table has one.
std::optional<double> multiplier_entry(const std::vector<std::vector<double>>& table, std::size_t row,
                                       Weekday weekday) {
    const auto column = static_cast<std::size_t>(weekday);
    if (row >= table.size() || column >= table[row].size()) return std::nullopt;
    return table[row][column];
}

// ---- Validation (the checks run before any draw, in this order) ---------------------------------

void validate_weather(const WeatherInputs& weather) {
    if (weather.probabilities_by_month.size() != MONTHS)
        throw Error("weather probabilities_by_month must have 12 rows");
    if (weather.durations_min.size() != WEATHER_EVENT_TYPES)
        throw Error("weather durations_min must have " + std::to_string(WEATHER_EVENT_TYPES) + " entries");
    // The event count, and with it the placement work, grows with the probability without bound;
    // a duration that is negative or not finite describes no event.
    for (const auto& row : weather.probabilities_by_month)
        for (double p : row)
            if (!(p >= 0.0 && p <= 1.0))
                throw Error("weather probabilities_by_month must hold probabilities from 0 to 1, got " +
                            base::num(p));
    for (double d : weather.durations_min)
        if (!(d >= 0.0 && std::isfinite(d)))
            throw Error("weather durations_min must be non-negative finite minutes, got " + base::num(d));
}

void validate_day_counts(const ScenarioGenerationConfig& config, std::size_t combinations) {
    if (!config.day_counts) return;
    const auto& counts = *config.day_counts;
    if (counts.size() != combinations)
        throw Error("day_counts has " + std::to_string(counts.size()) + " entries but there are " +
                    std::to_string(combinations) + " demand combinations");
    // Weights that are negative, not finite or sum to zero give probabilities that are not; nor
    // does a sum whose product with the replications overflows (every probability would be 0).
    bool sound = true;
    for (double c : counts) sound = sound && c >= 0.0 && std::isfinite(c);
    const double denominator = sum_of(counts) * static_cast<double>(config.replications);
    if (!sound || !(denominator > 0.0 && std::isfinite(denominator)))
        throw Error("day_counts must be non-negative with a positive sum");
}

// The seed day's demand multiplier: a seed_month of 0 reads January.
double seed_demand_multiplier(const ScenarioGenerationConfig& config) {
    const std::size_t row = config.seed_month == 0 ? 0 : config.seed_month - 1;
    const std::optional<double> entry = multiplier_entry(config.demand_multipliers, row, config.seed_weekday);
    if (!entry) return 1.0;
    if (!(*entry > 0.0)) throw Error("seed demand multiplier must be positive");
    return *entry;
}

void check_study_size(const ScenarioGenerationConfig& config) {
    // One scenario per month, weekday and replication.
    common::check_scenario_count(
        common::saturating_product({config.months.size(), config.weekdays.size(), config.replications}), MAX_SCENARIOS,
        "months x weekdays x replications");
}

// Checks the inputs in this order, so the first fault found is the one reported (months, weekdays,
// replications, seed periods, month numbers, the 12 multiplier rows, weather, day counts, the seed
// day's multiplier), and returns the seed day's multiplier.
double validate_inputs(const ScenarioGenerationConfig& config, const SeedStatistics& seed) {
    if (config.months.empty()) throw Error("RRP must include at least one month");
    if (config.weekdays.empty()) throw Error("RRP must include at least one day of week");
    if (config.replications == 0) throw Error("number of replications must be positive");
    if (seed.num_periods == 0) throw Error("seed dataset has no analysis periods");
    for (std::uint32_t m : config.months)
        if (m < 1 || m > MONTHS) throw Error("invalid month " + std::to_string(m));
    if (config.demand_multipliers.size() != MONTHS)
        throw Error("demand_multipliers must have 12 rows (Jan-Dec)");
    if (config.weather) validate_weather(*config.weather);
    validate_day_counts(config, config.months.size() * config.weekdays.size());
    check_study_size(config);
    return seed_demand_multiplier(config);
}

// ---- Demand-pattern scenarios --------------------------------------------------------------------

// One scenario per month, weekday and replication (months outer), with its probability from the
// day counts and its demand factor relative to the seed day.
std::vector<FreewayScenario> demand_pattern_scenarios(const ScenarioGenerationConfig& config,
                                                      double seed_multiplier) {
    const std::size_t combinations = config.months.size() * config.weekdays.size();
    const std::uint32_t replications = config.replications;
    const std::vector<double> day_counts =
        config.day_counts ? *config.day_counts
                          : std::vector<double>(combinations, static_cast<double>(replications));
    const double denominator = sum_of(day_counts) * static_cast<double>(replications);

    std::vector<FreewayScenario> scenarios;
    scenarios.reserve(combinations * replications);
    std::size_t c = 0;
    for (std::uint32_t month : config.months) {
        for (Weekday weekday : config.weekdays) {
            const double multiplier =
                multiplier_entry(config.demand_multipliers, month - 1, weekday).value_or(1.0);
            for (std::uint32_t r = 0; r < replications; ++r) {
                base::poll_cancel();
                FreewayScenario s;
                s.id = scenarios.size();
                s.month = month;
                s.weekday = weekday;
                s.replication = r;
                s.probability = day_counts[c] / denominator;
                s.demand_multiplier = multiplier;
                s.daf = multiplier / seed_multiplier;
                scenarios.push_back(std::move(s));
            }
            ++c;
        }
    }
    return scenarios;
}

// ---- Work zones and special events (placed by rule, no draw) -----------------------------------

// A work zone is active in the first round(active_day_ratio x R) replications of every (month,
// weekday) combination it lists.
void place_work_zones(const ScenarioGenerationConfig& config, std::vector<FreewayScenario>& scenarios) {
    for (std::size_t k = 0; k < config.work_zones.size(); ++k) {
        base::poll_cancel();  // each zone walks every scenario
        const WorkZoneEvent& zone = config.work_zones[k];
        const std::size_t active = std::min<std::size_t>(
            round_to_count(zone.active_day_ratio * static_cast<double>(config.replications)), config.replications);
        for (FreewayScenario& s : scenarios) {
            if (s.replication < active && contains(zone.months, s.month) && contains(zone.weekdays, s.weekday))
                s.work_zones.push_back(k);
        }
    }
}

void place_special_events(const ScenarioGenerationConfig& config, std::vector<FreewayScenario>& scenarios) {
    for (std::size_t j = 0; j < config.special_events.size(); ++j) {
        base::poll_cancel();  // each event walks every scenario
        const SpecialEvent& event = config.special_events[j];
        for (FreewayScenario& s : scenarios) {
            if (s.month == event.month && s.weekday == event.weekday && s.replication == event.replication)
                s.special_events.push_back(j);
        }
    }
}

// ---- Weather events ------------------------------------------------------------------------------

// The scenarios of one month (ids ascending) and their probabilities as placement weights.
struct MonthScenarios {
    std::vector<std::size_t> ids;
    std::vector<double> weights;
};

MonthScenarios month_scenarios(const std::vector<FreewayScenario>& scenarios, std::uint32_t month) {
    MonthScenarios out;
    for (const FreewayScenario& s : scenarios) {
        if (s.month != month) continue;
        out.ids.push_back(s.id);
        out.weights.push_back(s.probability);
    }
    return out;
}

// Which periods of each of a month's scenarios a weather event already covers, so that a
// placement checks only the periods it would take.
class WeatherOccupancy {
public:
    WeatherOccupancy(const std::vector<FreewayScenario>& scenarios, const std::vector<std::size_t>& ids,
                     std::size_t num_periods)
        : periods_(num_periods), taken_(ids.size() * num_periods, 0) {
        for (std::size_t i = 0; i < ids.size(); ++i)
            for (const WeatherEventAssignment& e : scenarios[ids[i]].weather_events)
                mark(i, e.start_period, clamped_end(e.start_period, e.duration_periods, periods_));
    }

    bool is_free(std::size_t scenario, std::size_t start, std::size_t end) const {
        const auto row = taken_.begin() + static_cast<std::ptrdiff_t>(scenario * periods_);
        return std::none_of(row + static_cast<std::ptrdiff_t>(start), row + static_cast<std::ptrdiff_t>(end),
                            [](std::uint8_t t) { return t != 0; });
    }

    void mark(std::size_t scenario, std::size_t start, std::size_t end) {
        const auto row = taken_.begin() + static_cast<std::ptrdiff_t>(scenario * periods_);
        std::fill(row + static_cast<std::ptrdiff_t>(start), row + static_cast<std::ptrdiff_t>(end), 1);
    }

private:
    std::size_t periods_;
    std::vector<std::uint8_t> taken_;  // [scenario of the month][period]
};

struct WeatherSlot {
    std::size_t scenario = 0;  // position among the month's scenarios
    std::size_t start = 0;
};

// The first free place in scenario order, then start-period order, at or after `from`. Places
// before `from` were full when an earlier event of the same type looked, and stay full: events
// are only ever added.
std::optional<WeatherSlot> scan_for_free_slot(const WeatherOccupancy& occupancy, WeatherSlot from,
                                              std::size_t month_scenarios, std::size_t duration,
                                              std::size_t num_periods) {
    for (std::size_t i = from.scenario; i < month_scenarios; ++i) {
        for (std::size_t start = i == from.scenario ? from.start : 0; start < num_periods; ++start) {
            if (occupancy.is_free(i, start, clamped_end(start, duration, num_periods))) return WeatherSlot{i, start};
        }
    }
    return std::nullopt;
}

// Places `count` events of one weather type on a month's scenarios: up to 1000 random tries
// (scenario by probability, then start period), then the first free place, else the event is
// dropped.
void place_weather_type(WeatherType type, std::size_t count, std::size_t duration, double caf, double saf,
                        const MonthScenarios& month, std::size_t num_periods, WeatherOccupancy& occupancy,
                        Prng& rng, ScenarioSet& set) {
    WeatherSlot scan_from;
    bool scan_exhausted = false;
    for (std::size_t e = 0; e < count; ++e) {
        std::optional<WeatherSlot> slot;
        for (std::size_t attempt = 0; attempt < WEATHER_PLACEMENT_ATTEMPTS && !slot; ++attempt) {
            base::poll_cancel();  // each try walks the month's weights
            const std::size_t i = rng.weighted_index(month.weights);
            const std::size_t start = rng.index_below(num_periods);
            if (occupancy.is_free(i, start, clamped_end(start, duration, num_periods))) slot = WeatherSlot{i, start};
        }
        if (!slot && !scan_exhausted) {
            slot = scan_for_free_slot(occupancy, scan_from, month.ids.size(), duration, num_periods);
            if (slot)
                scan_from = *slot;
            else
                scan_exhausted = true;
        }
        if (!slot) continue;
        occupancy.mark(slot->scenario, slot->start, clamped_end(slot->start, duration, num_periods));
        set.scenarios[month.ids[slot->scenario]].weather_events.push_back(
            WeatherEventAssignment{type, slot->start, duration, caf, saf});
        ++set.total_weather_events;
    }
}

double override_or(const std::optional<std::vector<double>>& overrides, std::size_t type, double table_value) {
    return overrides && type < overrides->size() ? (*overrides)[type] : table_value;
}

// Expected events of each month and weather type, placed on the month's scenarios.
void place_weather_events(const WeatherInputs& weather, const std::vector<std::uint32_t>& months,
                          const SeedStatistics& seed, Prng& rng, ScenarioSet& set) {
    const std::size_t num_periods = seed.num_periods;
    const double study_hours = static_cast<double>(num_periods) * MINUTES_PER_PERIOD / MINUTES_PER_HOUR;
    for (std::uint32_t month : months) {
        const MonthScenarios scenarios = month_scenarios(set.scenarios, month);
        WeatherOccupancy occupancy(set.scenarios, scenarios.ids, num_periods);
        const std::vector<double>& probabilities = weather.probabilities_by_month[month - 1];
        for (std::size_t t = 0; t < WEATHER_EVENT_TYPES; ++t) {
            const double p = t < probabilities.size() ? probabilities[t] : 0.0;
            const double d = weather.durations_min[t];
            std::size_t count = 0;
            double duration_periods = 1.0;
            if (p > 0.0 && d > 0.0) {
                duration_periods = std::max(std::round(d / MINUTES_PER_PERIOD), 1.0);
                count = round_to_count(study_hours * p * static_cast<double>(scenarios.ids.size()) /
                                       (duration_periods * MINUTES_PER_PERIOD / MINUTES_PER_HOUR));
            }
            set.expected_weather_events[month - 1][t] =
                static_cast<std::uint32_t>(std::min<std::size_t>(count, std::numeric_limits<std::uint32_t>::max()));
            if (count == 0) continue;
            const double caf = override_or(weather.caf_override, t,
                                           interpolate_weather_factor(exhibits::WEATHER_CAF[t], seed.ffs));
            const double saf = override_or(weather.saf_override, t,
                                           interpolate_weather_factor(exhibits::WEATHER_SAF[t], seed.ffs));
            place_weather_type(static_cast<WeatherType>(t), count, base::to_unsigned_sat<std::size_t>(duration_periods),
                               caf, saf, scenarios, num_periods, occupancy, rng, set);
        }
    }
}

// ---- Incidents -------------------------------------------------------------------------------------

void validate_incident_distributions(const IncidentInputs& incidents) {
    const auto& shares = incidents.severity_distribution;
    bool sound = shares.size() <= INCIDENT_SEVERITIES;
    for (double s : shares) sound = sound && s >= 0.0 && std::isfinite(s);
    if (!sound) throw Error("incident severity_distribution must have at most 5 non-negative finite entries");
    if (shares.empty() || std::abs(sum_of(shares) - 1.0) > SEVERITY_SUM_TOLERANCE)
        throw Error("incident severity distribution must sum to 1.0");
    for (const IncidentDurationParams& d : incidents.duration_params) {
        for (double v : {d.mean, d.std_dev, d.min, d.max})
            if (!(v >= 0.0 && std::isfinite(v)))
                throw Error("incident duration_params must be non-negative finite minutes, got " + base::num(v));
        // One lognormal bin per 15 minutes up to the maximum.
        if (d.max > MAX_INCIDENT_DURATION_MIN)
            throw Error("incident duration_params max must be at most " + base::num(MAX_INCIDENT_DURATION_MIN) +
                        " minutes, got " + base::num(d.max));
    }
}

double total_vmt(const SeedStatistics& seed) {
    double total = 0.0;
    for (const auto& row : seed.segment_vmt)
        for (double v : row) total += v;
    return total;
}

double mean_daf(const std::vector<FreewayScenario>& scenarios, const std::vector<std::size_t>& ids) {
    double sum = 0.0;
    for (std::size_t id : ids) sum += scenarios[id].daf;
    return sum / static_cast<double>(ids.size());
}

// Expected incidents per scenario of a month: its monthly frequency, else the crash rate times
// the incidents per crash over the month's vehicle-miles, else none. Refused above the bound
// (the Poisson list and the incident count grow with it).
double expected_incidents(const IncidentInputs& incidents, std::uint32_t month, double vmt,
                          const std::vector<FreewayScenario>& scenarios, const std::vector<std::size_t>& ids) {
    double lambda = 0.0;
    std::string key;
    if (incidents.monthly_frequencies) {
        const auto& f = *incidents.monthly_frequencies;
        lambda = month - 1 < f.size() ? f[month - 1] : 0.0;
        key = "monthly_frequencies";
    } else if (incidents.crash_rate_per_100mvmt) {
        lambda = (*incidents.crash_rate_per_100mvmt * incidents.incident_to_crash_ratio) *
                 (vmt * mean_daf(scenarios, ids)) / INCIDENTS_PER_100MVMT;
        key = "crash_rate_per_100mvmt";
    }
    if (!(lambda <= MAX_EXPECTED_INCIDENTS_PER_SCENARIO))
        throw Error("incident " + key + " gives " + base::num(lambda) + " expected incidents per scenario in month " +
                    std::to_string(month) + "; at most " + base::num(MAX_EXPECTED_INCIDENTS_PER_SCENARIO) +
                    " are allowed");
    return lambda;
}

struct YearIncident {
    std::size_t scenario = 0;
    std::size_t severity = 0;
    std::size_t duration_periods = 1;
};

// Severities: a population matching the severity distribution, shuffled.
void assign_severities(const IncidentInputs& inputs, Prng& rng, std::vector<YearIncident>& incidents) {
    const std::size_t n = incidents.size();
    std::vector<std::size_t> severities =
        expand_counts(counts_matching_distribution(inputs.severity_distribution, n), n);
    rng.shuffle(severities);
    for (std::size_t j = 0; j < n; ++j) incidents[j].severity = severities[j];
}

// Durations, severity by severity: a population of lognormal bins matching their probabilities,
// shuffled over the incidents of that severity.
void assign_durations(const IncidentInputs& inputs, Prng& rng, std::vector<YearIncident>& incidents) {
    for (std::size_t s = 0; s < INCIDENT_SEVERITIES; ++s) {
        base::poll_cancel();
        std::vector<std::size_t> positions;
        for (std::size_t j = 0; j < incidents.size(); ++j)
            if (incidents[j].severity == s) positions.push_back(j);
        if (positions.empty()) continue;
        const IncidentDurationParams& params =
            s < inputs.duration_params.size() ? inputs.duration_params[s] : exhibits::DEFAULT_INCIDENT_DURATIONS[s];
        const DurationBins bins = lognormal_bin_probabilities(params);
        if (bins.bins.empty()) continue;
        const std::vector<std::size_t> counts = counts_matching_distribution(bins.probabilities, positions.size());
        std::vector<std::size_t> durations;
        durations.reserve(positions.size());
        for (std::size_t b = 0; b < counts.size(); ++b) durations.insert(durations.end(), counts[b], bins.bins[b]);
        rng.shuffle(durations);
        for (std::size_t i = 0; i < positions.size(); ++i) incidents[positions[i]].duration_periods = durations[i];
    }
}

// Counts, severities, durations, locations and start times of the year's incidents, each drawn
// as a population matching its distribution and shuffled, then placed on their scenarios.
void place_incident_events(const IncidentInputs& inputs, const std::vector<std::uint32_t>& months,
                           const SeedStatistics& seed, Prng& rng, ScenarioSet& set) {
    validate_incident_distributions(inputs);
    const double vmt = total_vmt(seed);
    std::vector<MonthScenarios> month_lists;
    std::vector<double> lambdas;
    for (std::uint32_t month : months) {
        month_lists.push_back(month_scenarios(set.scenarios, month));
        lambdas.push_back(expected_incidents(inputs, month, vmt, set.scenarios, month_lists.back().ids));
    }

    // How many incidents each scenario of a month receives: a population of counts matching the
    // Poisson probabilities, shuffled over the month's scenarios.
    std::vector<YearIncident> incidents;
    for (std::size_t mi = 0; mi < months.size(); ++mi) {
        const double lambda = lambdas[mi];
        set.monthly_incident_frequency[months[mi] - 1] = lambda;
        if (!(lambda > 0.0)) continue;
        const std::vector<std::size_t>& ids = month_lists[mi].ids;
        std::vector<std::size_t> per_scenario =
            expand_counts(counts_matching_distribution(poisson_probabilities(lambda), ids.size()), ids.size());
        rng.shuffle(per_scenario);
        for (std::size_t i = 0; i < ids.size(); ++i) {
            base::poll_cancel();
            incidents.insert(incidents.end(), per_scenario[i], YearIncident{ids[i], 0, 1});
        }
    }
    const std::size_t n = incidents.size();
    set.total_incidents = n;
    if (n == 0) return;

    // The year's incidents can number a hundred per scenario: a poll between the passes over them.
    base::poll_cancel();
    assign_severities(inputs, rng, incidents);
    base::poll_cancel();
    assign_durations(inputs, rng, incidents);
    base::poll_cancel();

    std::vector<std::size_t> segment_list =
        expand_counts(counts_matching_distribution(location_distribution(seed), n), n);
    std::vector<std::size_t> start_list =
        expand_counts(counts_matching_distribution(start_time_distribution(seed), n), n);
    base::poll_cancel();
    rng.shuffle(segment_list);
    base::poll_cancel();
    rng.shuffle(start_list);
    base::poll_cancel();

    std::vector<PendingIncident> pending;
    pending.reserve(n);
    for (const YearIncident& i : incidents) pending.push_back({i.scenario, i.duration_periods});
    const std::vector<IncidentPlace> places = place_incidents(segment_list, start_list, pending, seed.num_periods);

    for (std::size_t j = 0; j < n; ++j) {
        base::poll_cancel();
        const auto severity = fit_severity(static_cast<IncidentSeverity>(incidents[j].severity),
                                           seed.segment_lanes.at(places[j].segment));
        set.scenarios[incidents[j].scenario].incidents.push_back(
            IncidentAssignment{severity, places[j].segment, places[j].start_period, incidents[j].duration_periods});
    }
}

// ---- Incident placement ----------------------------------------------------------------------------

// The remaining entries of a shuffled list, by distinct value: for each value the positions it
// still holds, and the values in order of their first remaining position. Taking a value removes
// its first remaining position.
class RemainingValues {
public:
    RemainingValues(std::span<const std::size_t> list, std::size_t value_count)
        : positions_(value_count), next_(value_count, 0) {
        for (std::size_t i = 0; i < list.size(); ++i) positions_.at(list[i]).push_back(i);
        for (std::size_t v = 0; v < value_count; ++v)
            if (!positions_[v].empty()) order_.push_back({positions_[v].front(), v});
        std::sort(order_.begin(), order_.end());
    }

    // The value at the first remaining position.
    std::size_t front() const { return order_.front().second; }
    // (first remaining position, value) pairs, ascending.
    const std::vector<std::pair<std::size_t, std::size_t>>& by_first_position() const { return order_; }

    void take(std::size_t value) {
        auto& pos = positions_[value];
        const std::pair<std::size_t, std::size_t> head{pos[next_[value]], value};
        order_.erase(std::lower_bound(order_.begin(), order_.end(), head));
        if (++next_[value] < pos.size()) {
            const std::pair<std::size_t, std::size_t> later{pos[next_[value]], value};
            order_.insert(std::lower_bound(order_.begin(), order_.end(), later), later);
        }
    }

private:
    std::vector<std::vector<std::size_t>> positions_;
    std::vector<std::size_t> next_;
    std::vector<std::pair<std::size_t, std::size_t>> order_;
};

struct PlacedIncident {
    std::size_t segment;
    std::size_t start;
    std::size_t duration;
};

std::size_t max_value(std::span<const std::size_t> list) {
    return list.empty() ? 0 : *std::max_element(list.begin(), list.end());
}

}  // namespace

// ---- Sampling helpers ------------------------------------------------------------------------------

std::vector<std::vector<double>> default_demand_multipliers() {
    std::vector<std::vector<double>> table;
    for (const auto& row : exhibits::DEFAULT_DEMAND_MULTIPLIERS) table.emplace_back(row.begin(), row.end());
    return table;
}

std::vector<std::size_t> counts_matching_distribution(std::span<const double> probabilities, std::size_t total) {
    const std::size_t n = probabilities.size();
    std::vector<std::size_t> counts(n, 0);
    if (n == 0 || total == 0) return counts;
    const double whole = static_cast<double>(total);
    // count(s): round(p_i (s T)) for each probability; returns their sum.
    auto count_at = [&](double scale) {
        const double scaled = scale * whole;
        std::size_t sum = 0;
        for (std::size_t i = 0; i < n; ++i) {
            counts[i] = round_to_count(probabilities[i] * scaled);
            sum += counts[i];
        }
        return sum;
    };
    constexpr double MAX_SCALE = 1000000.0;
    constexpr int BISECTIONS = 200;
    double scale = 1.0;
    while (count_at(scale) < total && scale < MAX_SCALE) scale *= 2.0;
    double lo = 0.0;
    double hi = scale;
    for (int round = 0; round < BISECTIONS; ++round) {
        const double mid = (lo + hi) * 0.5;
        if (count_at(mid) < total)
            lo = mid;
        else
            hi = mid;
    }
    std::size_t sum = count_at(hi);
    const double scaled = hi * whole;
    // What rounding leaves over goes where the target exceeds the count most (later index on ties);
    // an excess comes back from the count that exceeds its target most.
    while (sum < total) {
        std::size_t best = 0;
        double best_gap = 0.0;
        for (std::size_t i = 0; i < n; ++i) {
            const double gap = probabilities[i] * scaled - static_cast<double>(counts[i]);
            if (i == 0 || gap >= best_gap) {
                best = i;
                best_gap = gap;
            }
        }
        ++counts[best];
        ++sum;
    }
    while (sum > total) {
        std::optional<std::size_t> best;
        double best_excess = 0.0;
        for (std::size_t i = 0; i < n; ++i) {
            if (counts[i] == 0) continue;
            const double excess = static_cast<double>(counts[i]) - probabilities[i] * scaled;
            if (!best || excess >= best_excess) {
                best = i;
                best_excess = excess;
            }
        }
        --counts[*best];
        --sum;
    }
    return counts;
}

std::vector<double> poisson_probabilities(double lambda) {
    constexpr std::size_t MIN_KMAX = 6;
    const std::size_t kmax =
        std::max(base::to_unsigned_sat<std::size_t>(std::ceil(lambda + 6.0 * std::sqrt(lambda))), MIN_KMAX);
    std::vector<double> p(kmax + 1);
    p[0] = std::exp(-lambda);
    for (std::size_t k = 1; k <= kmax; ++k) p[k] = p[k - 1] * (lambda / static_cast<double>(k));
    return p;
}

DurationBins lognormal_bin_probabilities(const IncidentDurationParams& params) {
    const std::size_t hi_bin = std::max<std::size_t>(round_to_count(std::ceil(params.max / MINUTES_PER_PERIOD)), 1);
    std::size_t lo_bin = round_to_count(std::floor(params.min / MINUTES_PER_PERIOD));
    DurationBins out;
    if (hi_bin < lo_bin) return out;
    lo_bin = std::max<std::size_t>(lo_bin, 1);

    const double ratio = params.std_dev / params.mean;
    const double sigma2 = std::log(ratio * ratio + 1.0);
    const double mu = std::log(params.mean) - 0.5 * sigma2;
    const double sigma = std::sqrt(sigma2);
    auto cdf = [&](double minutes) {
        if (params.mean <= 0.0 || minutes <= 0.0) return 0.0;
        const double z = ((std::log(minutes) - mu) / sigma) / 1.4142135623730951;
        return 0.5 * (1.0 + base::erf_approximation(z));  // Abramowitz-Stegun 7.1.26
    };
    double total = 0.0;
    for (std::size_t b = lo_bin; b <= hi_bin; ++b) {
        const double centre = MINUTES_PER_PERIOD * static_cast<double>(b);
        const double q = cdf(centre + 7.5) - cdf(centre - 7.5);
        out.bins.push_back(b);
        out.probabilities.push_back(q > 0.0 ? q : 0.0);  // a difference that is not a number counts as 0
        total += out.probabilities.back();
    }
    if (total <= 0.0) {
        out.probabilities.front() = 1.0;
    } else {
        for (double& q : out.probabilities) q /= total;
    }
    return out;
}

std::vector<double> location_distribution(const SeedStatistics& seed) {
    const double total = total_vmt(seed);
    std::vector<double> shares;
    shares.reserve(seed.segment_vmt.size());
    for (const auto& row : seed.segment_vmt) shares.push_back(total > 0.0 ? sum_of(row) / total : 0.0);
    return shares;
}

std::vector<double> start_time_distribution(const SeedStatistics& seed) {
    const double total = total_vmt(seed);
    std::vector<double> shares(seed.num_periods, 0.0);
    if (!(total > 0.0)) return shares;
    for (std::size_t p = 0; p < seed.num_periods; ++p) {
        double sum = 0.0;
        for (const auto& row : seed.segment_vmt) sum += row.at(p);
        shares[p] = sum / total;
    }
    return shares;
}

double interpolate_weather_factor(const exhibits::WeatherRow& row, double ffs) {
    const double f = std::clamp(ffs, MIN_WEATHER_FFS, MAX_WEATHER_FFS);
    const auto& x = exhibits::WEATHER_FFS_MI_H;
    const std::size_t lo = f <= x[1] ? 0 : f <= x[2] ? 1 : f <= x[3] ? 2 : 3;
    return row[lo] + (f - x[lo]) / (x[lo + 1] - x[lo]) * (row[lo + 1] - row[lo]);
}

// ---- Generation ------------------------------------------------------------------------------------

ScenarioSet generate_scenarios(const ScenarioGenerationConfig& config, const SeedStatistics& seed) {
    const double seed_multiplier = validate_inputs(config, seed);
    Prng rng(config.rng_seed);
    ScenarioSet set;
    set.scenarios = demand_pattern_scenarios(config, seed_multiplier);
    place_work_zones(config, set.scenarios);
    place_special_events(config, set.scenarios);
    if (config.weather) place_weather_events(*config.weather, config.months, seed, rng, set);
    if (config.incidents) place_incident_events(*config.incidents, config.months, seed, rng, set);
    return set;
}

std::vector<IncidentPlace> place_incidents(std::span<const std::size_t> segment_list,
                                           std::span<const std::size_t> start_list,
                                           std::span<const PendingIncident> incidents, std::size_t num_periods) {
    if (segment_list.size() < incidents.size() || start_list.size() < incidents.size())
        throw std::logic_error("incident placement needs one segment and one start period per incident");
    if (max_value(start_list) >= num_periods && !start_list.empty())
        throw std::logic_error("incident start period beyond the analysis periods");
    RemainingValues segments(segment_list, max_value(segment_list) + 1);
    RemainingValues starts(start_list, num_periods);
    std::vector<std::vector<PlacedIncident>> by_scenario;
    std::vector<std::uint8_t> blocked(num_periods);
    std::vector<IncidentPlace> out;
    out.reserve(incidents.size());

    for (const PendingIncident& incident : incidents) {
        base::poll_cancel();
        if (incident.scenario >= by_scenario.size()) by_scenario.resize(incident.scenario + 1);
        const std::vector<PlacedIncident>& existing = by_scenario[incident.scenario];
        const std::size_t d = incident.duration_periods;
        IncidentPlace place{segments.front(), starts.front()};
        bool found = existing.empty();
        for (auto it = segments.by_first_position().begin(); !found && it != segments.by_first_position().end(); ++it) {
            const std::size_t g = it->second;
            // Start t clashes with an incident (s', d') on the same segment when
            // s' < min(t + d, P) and t < min(s' + d', P), i.e. s' - d < t < min(s' + d', P).
            std::fill(blocked.begin(), blocked.end(), 0);
            for (const PlacedIncident& e : existing) {
                if (e.segment != g) continue;
                const std::size_t lo = e.start + 1 > d ? e.start + 1 - d : 0;
                const std::size_t hi = clamped_end(e.start, e.duration, num_periods);
                for (std::size_t t = lo; t < hi; ++t) blocked[t] = 1;
            }
            for (const auto& [position, t] : starts.by_first_position()) {
                if (blocked[t]) continue;
                place = IncidentPlace{g, t};
                found = true;
                break;
            }
        }
        segments.take(place.segment);
        starts.take(place.start_period);
        by_scenario[incident.scenario].push_back({place.segment, place.start_period, d});
        out.push_back(place);
    }
    return out;
}

IncidentSeverity fit_severity(IncidentSeverity requested, std::uint32_t lanes) {
    for (std::uint32_t k = exhibits::lanes_closed(requested); k >= 1; --k) {
        const auto severity = static_cast<IncidentSeverity>(k);
        if (lanes > k && exhibits::incident_caf(lanes, severity)) return severity;
    }
    return IncidentSeverity::Shoulder;
}

}  // namespace hcm::freeway_reliability::scenario_generation
