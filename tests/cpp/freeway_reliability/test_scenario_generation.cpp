#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "../support/checks.hpp"
#include "hcm/common/prng.hpp"
#include "hcm/freeway_reliability/scenario_generation.hpp"
#include "hcm/freeway_reliability/scenario_json.hpp"
#include "json/jsonio.hpp"

using namespace hcm::freeway_reliability::scenario_generation;
using testing_support::error_of;
using testing_support::kNaN;

namespace {

// Two segments over four periods.
SeedStatistics four_period_seed() { return {{{100, 200, 300, 400}, {100, 100, 100, 100}}, {3, 3}, 4, 60.0}; }

ScenarioGenerationConfig one_month(std::uint32_t month, std::vector<Weekday> weekdays, std::uint32_t replications) {
    ScenarioGenerationConfig c;
    c.months = {month};
    c.weekdays = std::move(weekdays);
    c.replications = replications;
    return c;
}

WeatherInputs weather_with(std::uint32_t month, std::size_t type, double probability, double duration_min) {
    WeatherInputs w;
    w.probabilities_by_month[month - 1][type] = probability;
    w.durations_min[type] = duration_min;
    return w;
}

// ---- Validation ----------------------------------------------------------------------------------

struct InvalidCase {
    const char* name;
    std::function<void(ScenarioGenerationConfig&, SeedStatistics&)> change;
    std::string message;
};

class InvalidInputs : public ::testing::TestWithParam<InvalidCase> {};

TEST_P(InvalidInputs, RefusedWithTheFirstFailingCheck) {
    ScenarioGenerationConfig config;
    SeedStatistics seed = four_period_seed();
    GetParam().change(config, seed);
    EXPECT_EQ(error_of([&] { return generate_scenarios(config, seed); }), GetParam().message);
}

using C = ScenarioGenerationConfig;
using S = SeedStatistics;
const InvalidCase kInvalid[] = {
    {"NoMonth", [](C& c, S&) { c.months.clear(); }, "RRP must include at least one month"},
    {"NoWeekday", [](C& c, S&) { c.weekdays.clear(); }, "RRP must include at least one day of week"},
    {"NoReplication", [](C& c, S&) { c.replications = 0; }, "number of replications must be positive"},
    {"NoPeriod", [](C&, S& s) { s.num_periods = 0; }, "seed dataset has no analysis periods"},
    {"Month13", [](C& c, S&) { c.months = {1, 13, 0}; }, "invalid month 13"},
    {"ElevenMultiplierRows", [](C& c, S&) { c.demand_multipliers.pop_back(); },
     "demand_multipliers must have 12 rows (Jan-Dec)"},
    {"WeatherRows", [](C& c, S&) { c.weather.emplace().probabilities_by_month.pop_back(); },
     "weather probabilities_by_month must have 12 rows"},
    {"WeatherDurations", [](C& c, S&) { c.weather.emplace().durations_min.pop_back(); },
     "weather durations_min must have 10 entries"},
    {"WeatherProbabilityAboveOne", [](C& c, S&) { c.weather = weather_with(3, 2, 1.5, 60); },
     "weather probabilities_by_month must hold probabilities from 0 to 1, got 1.5"},
    {"WeatherProbabilityNaN", [](C& c, S&) { c.weather = weather_with(3, 2, kNaN, 60); },
     "weather probabilities_by_month must hold probabilities from 0 to 1, got NaN"},
    {"WeatherDurationNegative", [](C& c, S&) { c.weather = weather_with(3, 2, 0.1, -5); },
     "weather durations_min must be non-negative finite minutes, got -5"},
    {"DayCountsLength", [](C& c, S&) { c.day_counts = std::vector<double>(3, 0.0); },
     "day_counts has 3 entries but there are 60 demand combinations"},
    {"DayCountsZeroSum", [](C& c, S&) { c.day_counts = std::vector<double>(60, 0.0); },
     "day_counts must be non-negative with a positive sum"},
    {"DayCountsNegative", [](C& c, S&) { (c.day_counts = std::vector<double>(60, 1.0))->at(7) = -1; },
     "day_counts must be non-negative with a positive sum"},
    {"DayCountsNaN", [](C& c, S&) { (c.day_counts = std::vector<double>(60, 1.0))->at(7) = kNaN; },
     "day_counts must be non-negative with a positive sum"},
    {"DayCountsSumOverflows", [](C& c, S&) { c.day_counts = std::vector<double>(60, 1e307); },
     "day_counts must be non-negative with a positive sum"},
    {"MoreThanAMillionScenarios", [](C& c, S&) { c.replications = 16'667; },
     "study would build 1000020 scenarios (months x weekdays x replications); at most 1000000 are allowed"},
    {"OneScenarioTooMany",
     [](C& c, S&) {
         c.months = {7};
         c.weekdays = {Weekday::Friday};
         c.replications = 1'000'001;
     },
     "study would build 1000001 scenarios (months x weekdays x replications); at most 1000000 are allowed"},
    {"SeedMultiplierZero", [](C& c, S&) { c.demand_multipliers[0][0] = 0.0; },
     "seed demand multiplier must be positive"},
    {"SixSeverities", [](C& c, S&) { c.incidents.emplace().severity_distribution = {0.5, 0.5, 0, 0, 0, 0}; },
     "incident severity_distribution must have at most 5 non-negative finite entries"},
    {"NegativeSeverity", [](C& c, S&) { c.incidents.emplace().severity_distribution = {1.5, -0.5}; },
     "incident severity_distribution must have at most 5 non-negative finite entries"},
    {"NaNSeverity", [](C& c, S&) { c.incidents.emplace().severity_distribution = {1.0, kNaN}; },
     "incident severity_distribution must have at most 5 non-negative finite entries"},
    {"SeveritySumOff", [](C& c, S&) { c.incidents.emplace().severity_distribution = {0.5, 0.499}; },
     "incident severity distribution must sum to 1.0"},
    {"NoSeverity", [](C& c, S&) { c.incidents.emplace().severity_distribution.clear(); },
     "incident severity distribution must sum to 1.0"},
    {"DurationNaN", [](C& c, S&) { c.incidents.emplace().duration_params[1].std_dev = kNaN; },
     "incident duration_params must be non-negative finite minutes, got NaN"},
    {"DurationHuge", [](C& c, S&) { c.incidents.emplace().duration_params[4].max = 1e12; },
     "incident duration_params max must be at most 10000 minutes, got 1000000000000"},
    {"FrequencyAbove100", [](C& c, S&) { c.incidents.emplace().monthly_frequencies = {1, 150}; },
     "incident monthly_frequencies gives 150 expected incidents per scenario in month 2; at most 100 are allowed"},
    {"CrashRateAbove100",
     [](C& c, S&) {
         c.weekdays = {Weekday::Monday};
         c.incidents.emplace().crash_rate_per_100mvmt = 1e9;
     },
     "incident crash_rate_per_100mvmt gives 68600 expected incidents per scenario in month 1; at most 100 are "
     "allowed"},
};

INSTANTIATE_TEST_SUITE_P(Checks, InvalidInputs, ::testing::ValuesIn(kInvalid),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Demand patterns -----------------------------------------------------------------------------

TEST(DemandPatterns, DefaultsGiveTwoHundredFortyEqualScenarios) {
    const ScenarioSet set = generate_scenarios({}, four_period_seed());
    ASSERT_EQ(set.scenarios.size(), 240u);
    for (std::size_t i = 0; i < set.scenarios.size(); ++i) {
        EXPECT_EQ(set.scenarios[i].id, i);
        EXPECT_DOUBLE_EQ(set.scenarios[i].probability, 1.0 / 240.0);
    }
    const FreewayScenario& s = set.scenarios[27];  // months outer, weekdays, replications inner
    EXPECT_EQ(s.month, 2u);
    EXPECT_EQ(s.weekday, Weekday::Tuesday);
    EXPECT_EQ(s.replication, 3u);
    EXPECT_DOUBLE_EQ(s.daf, 1.03);  // February Tuesday over January Monday (1.00)
    EXPECT_EQ(set.total_incidents + set.total_weather_events, 0u);
}

TEST(DemandPatterns, DayCountsWeighCombinations) {
    ScenarioGenerationConfig c = one_month(1, {Weekday::Monday, Weekday::Tuesday}, 2);
    c.day_counts = {1.0, 3.0};
    const ScenarioSet set = generate_scenarios(c, four_period_seed());
    EXPECT_EQ(set.scenarios[1].probability, 0.125);
    EXPECT_EQ(set.scenarios[2].probability, 0.375);
}

TEST(DemandPatterns, MissingTableEntriesMultiplyByOne) {
    ScenarioGenerationConfig c = one_month(7, {Weekday::Monday, Weekday::Friday}, 1);
    c.demand_multipliers[6] = {1.5};  // July has Monday only
    c.demand_multipliers[0][0] = 2.0;
    c.seed_month = 0;  // reads January
    ScenarioSet set = generate_scenarios(c, four_period_seed());
    EXPECT_DOUBLE_EQ(set.scenarios[0].daf, 0.75);
    EXPECT_DOUBLE_EQ(set.scenarios[1].demand_multiplier, 1.0);
    EXPECT_DOUBLE_EQ(set.scenarios[1].daf, 0.5);
    c.seed_month = 13;  // no row: the seed multiplier is 1
    set = generate_scenarios(c, four_period_seed());
    EXPECT_DOUBLE_EQ(set.scenarios[0].daf, 1.5);
}

// ---- Work zones and special events ---------------------------------------------------------------

std::vector<std::uint32_t> replications_with_work_zone(const ScenarioSet& set) {
    std::vector<std::uint32_t> out;
    for (const auto& s : set.scenarios)
        if (!s.work_zones.empty()) out.push_back(s.replication);
    return out;
}

struct RatioCase {
    double ratio;
    std::vector<std::uint32_t> replications;
};

class WorkZoneRatio : public ::testing::TestWithParam<RatioCase> {};

TEST_P(WorkZoneRatio, ActiveInTheFirstReplications) {
    ScenarioGenerationConfig c = one_month(3, {Weekday::Monday}, 4);
    c.work_zones.push_back({.months = {3}, .active_day_ratio = GetParam().ratio});
    EXPECT_EQ(replications_with_work_zone(generate_scenarios(c, four_period_seed())), GetParam().replications);
}

INSTANTIATE_TEST_SUITE_P(FourReplications, WorkZoneRatio,
                         ::testing::Values(RatioCase{0.5, {0, 1}}, RatioCase{0.125, {0}}, RatioCase{0.1, {}},
                                           RatioCase{3.0, {0, 1, 2, 3}}, RatioCase{-1.0, {}},
                                           RatioCase{kNaN, {}}));

TEST(WorkZones, PlacedOnlyOnListedMonthsAndDays) {
    ScenarioGenerationConfig c = one_month(3, {Weekday::Monday, Weekday::Friday}, 2);
    c.work_zones = {{.segments = {0}, .caf = 0.8},  // no month: nowhere
                    {.months = {3}, .weekdays = {Weekday::Saturday}},
                    {.months = {3}, .weekdays = {Weekday::Friday}},
                    {.months = {3, 4}}};
    const ScenarioSet set = generate_scenarios(c, four_period_seed());
    EXPECT_EQ(set.scenarios[0].work_zones, (std::vector<std::size_t>{3}));
    EXPECT_EQ(set.scenarios[2].work_zones, (std::vector<std::size_t>{2, 3}));
}

TEST(SpecialEvents, FallOnTheirDayOnly) {
    ScenarioGenerationConfig c = one_month(1, {Weekday::Monday}, 4);
    c.months = {1, 1};  // a repeated month repeats the day
    c.special_events = {{.replication = 4}, {}, {.month = 2}};
    const ScenarioSet set = generate_scenarios(c, four_period_seed());
    for (const auto& s : set.scenarios)
        EXPECT_EQ(s.special_events, s.replication == 0 ? std::vector<std::size_t>{1} : std::vector<std::size_t>{});
}

// ---- Weather -------------------------------------------------------------------------------------

SeedStatistics periods_seed(std::size_t periods) {
    return {{std::vector<double>(periods, 100.0), std::vector<double>(periods, 100.0)}, {3, 3}, periods, 60.0};
}

TEST(Weather, EventCountFromProbabilityDurationAndStudyHours) {
    // 16 periods (4 h), 20 scenarios in January, p 0.05, 60 minutes: round(4 x 0.05 x 20 / 1) = 4.
    ScenarioGenerationConfig c = one_month(1, WORKING_DAYS, 4);
    c.weather = weather_with(1, 5, 0.05, 60.0);
    const ScenarioSet set = generate_scenarios(c, periods_seed(16));
    EXPECT_EQ(set.expected_weather_events[0][5], 4u);
    EXPECT_EQ(set.total_weather_events, 4u);
    std::size_t placed = 0;
    for (const auto& s : set.scenarios) {
        for (const auto& e : s.weather_events) {
            EXPECT_EQ(e.weather, WeatherType::HeavySnow);
            EXPECT_EQ(e.duration_periods, 4u);
            EXPECT_DOUBLE_EQ(e.caf, 0.78);
            EXPECT_DOUBLE_EQ(e.saf, 0.86);
            ++placed;
        }
    }
    EXPECT_EQ(placed, 4u);
}

TEST(Weather, DurationsRoundToWholePeriods) {
    for (auto [minutes, periods] : {std::pair{5.0, 1u}, std::pair{22.5, 2u}}) {
        ScenarioGenerationConfig c = one_month(1, {Weekday::Monday}, 1);
        c.weather = weather_with(1, 0, 0.5, minutes);
        c.weather->caf_override = {0.5};
        const ScenarioSet set = generate_scenarios(c, periods_seed(8));
        ASSERT_FALSE(set.scenarios[0].weather_events.empty());
        EXPECT_EQ(set.scenarios[0].weather_events[0].duration_periods, periods);
        EXPECT_EQ(set.scenarios[0].weather_events[0].caf, 0.5);
    }
}

TEST(Weather, EventsFindingNoFreePeriodAreDropped) {
    // One period, one scenario: every type expects one event, the first takes the only place.
    ScenarioGenerationConfig c = one_month(1, {Weekday::Monday}, 1);
    c.weather.emplace();
    c.weather->probabilities_by_month[0] = std::vector<double>(10, 1.0);
    c.weather->durations_min = std::vector<double>(10, 15.0);
    const ScenarioSet set = generate_scenarios(c, periods_seed(1));
    EXPECT_EQ(set.expected_weather_events[0], (std::array<std::uint32_t, 10>{1, 1, 1, 1, 1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(set.total_weather_events, 1u);
    EXPECT_EQ(set.scenarios[0].weather_events.size(), 1u);
}

TEST(Weather, NoProbabilityMeansNoDrawBeforeTheIncidents) {
    ScenarioGenerationConfig c = one_month(5, WORKING_DAYS, 4);
    c.incidents.emplace().monthly_frequencies = std::vector<double>(12, 0.8);
    const ScenarioSet without = generate_scenarios(c, four_period_seed());
    c.weather.emplace();
    const ScenarioSet with_zero_weather = generate_scenarios(c, four_period_seed());
    EXPECT_GT(without.total_incidents, 0u);
    EXPECT_EQ(with_zero_weather, without);
}

// ---- Incidents -------------------------------------------------------------------------------------

std::size_t incidents_in_month(const ScenarioSet& set, std::uint32_t month) {
    std::size_t n = 0;
    for (const auto& s : set.scenarios)
        if (s.month == month) n += s.incidents.size();
    return n;
}

TEST(Incidents, ExpectedCountsPerMonth) {
    ScenarioGenerationConfig c;
    c.months = {1, 2, 3};
    c.incidents.emplace().monthly_frequencies = {0.1, 0.0};  // March has none in the list
    ScenarioSet set = generate_scenarios(c, four_period_seed());
    EXPECT_EQ(incidents_in_month(set, 1), 2u);  // lambda 0.1 over 20 scenarios: 18 with none, 2 with one
    EXPECT_EQ(incidents_in_month(set, 2) + incidents_in_month(set, 3), 0u);
    EXPECT_EQ(set.total_incidents, 2u);
    EXPECT_DOUBLE_EQ(set.monthly_incident_frequency[0], 0.1);

    c.incidents = IncidentInputs{};  // neither frequencies nor a crash rate
    c.incidents->severity_distribution = {0.5, 0.5000005};  // within the tolerance
    set = generate_scenarios(c, four_period_seed());
    EXPECT_EQ(set.total_incidents, 0u);
    EXPECT_EQ(set.monthly_incident_frequency, (std::array<double, 12>{}));
}

TEST(Incidents, CrashRateOverTheSeedVehicleMiles) {
    // V = 1400 veh-mi; March Mondays over January Mondays: daf 1.12.
    ScenarioGenerationConfig c = one_month(3, {Weekday::Monday}, 2);
    c.incidents.emplace().crash_rate_per_100mvmt = 50000.0;
    const ScenarioSet set = generate_scenarios(c, four_period_seed());
    EXPECT_DOUBLE_EQ(set.monthly_incident_frequency[2], (50000.0 * 4.9) * (1400.0 * 1.12) / 1e8);
}

struct FitCase {
    IncidentSeverity requested;
    std::uint32_t lanes;
    IncidentSeverity fitted;
};

class SeverityFit : public ::testing::TestWithParam<FitCase> {};

TEST_P(SeverityFit, ClosesFewerLanesThanTheSegmentHas) {
    EXPECT_EQ(fit_severity(GetParam().requested, GetParam().lanes), GetParam().fitted);
}

using Sev = IncidentSeverity;
INSTANTIATE_TEST_SUITE_P(IncidentTable, SeverityFit,
                         ::testing::Values(FitCase{Sev::TwoLanes, 2, Sev::OneLane},
                                           FitCase{Sev::OneLane, 1, Sev::Shoulder},
                                           FitCase{Sev::FourPlusLanes, 1, Sev::Shoulder},
                                           FitCase{Sev::ThreeLanes, 4, Sev::ThreeLanes},
                                           FitCase{Sev::FourPlusLanes, 4, Sev::ThreeLanes},
                                           FitCase{Sev::FourPlusLanes, 5, Sev::FourPlusLanes},
                                           FitCase{Sev::Shoulder, 6, Sev::Shoulder}));

// The placement rule read literally: scan the remaining segment list (outer) against the remaining
// start list (inner) pair by pair.
std::vector<IncidentPlace> literal_placement(std::vector<std::size_t> segments, std::vector<std::size_t> starts,
                                             const std::vector<PendingIncident>& incidents, std::size_t periods) {
    struct Placed {
        std::size_t scenario, segment, start, duration;
    };
    std::vector<Placed> placed;
    std::vector<IncidentPlace> out;
    for (const PendingIncident& inc : incidents) {
        const std::size_t d = inc.duration_periods;
        auto clashes = [&](std::size_t g, std::size_t t) {
            return std::any_of(placed.begin(), placed.end(), [&](const Placed& p) {
                return p.scenario == inc.scenario && p.segment == g && p.start < std::min(t + d, periods) &&
                       t < std::min(p.start + p.duration, periods);
            });
        };
        const bool has =
            std::any_of(placed.begin(), placed.end(), [&](const Placed& p) { return p.scenario == inc.scenario; });
        std::size_t a = 0, b = 0;
        bool found = false;
        for (std::size_t i = 0; has && !found && i < segments.size(); ++i)
            for (std::size_t j = 0; !found && j < starts.size(); ++j)
                if (!clashes(segments[i], starts[j])) a = i, b = j, found = true;
        out.push_back({segments[a], starts[b]});
        placed.push_back({inc.scenario, segments[a], starts[b], d});
        segments.erase(segments.begin() + static_cast<std::ptrdiff_t>(a));
        starts.erase(starts.begin() + static_cast<std::ptrdiff_t>(b));
    }
    return out;
}

TEST(IncidentPlacement, SameAsThePairwiseScan) {
    hcm::common::Prng rng(2024);
    for (int trial = 0; trial < 300; ++trial) {
        const std::size_t segments = 1 + rng.index_below(4), periods = 1 + rng.index_below(5);
        const std::size_t scenarios = 1 + rng.index_below(3), n = rng.index_below(25);
        std::vector<std::size_t> seg_list, start_list;
        std::vector<PendingIncident> incidents;
        for (std::size_t j = 0; j < n; ++j) {
            seg_list.push_back(rng.index_below(segments));
            start_list.push_back(rng.index_below(periods));
            incidents.push_back({rng.index_below(scenarios), 1 + rng.index_below(3)});
        }
        EXPECT_EQ(place_incidents(seg_list, start_list, incidents, periods),
                  literal_placement(seg_list, start_list, incidents, periods))
            << "trial " << trial;
    }
}

// ---- A whole set -------------------------------------------------------------------------------------

// July, Monday and Friday, two replications, four periods, three segments (3, 2 and 3 lanes).
// Checked step by step:
// - probabilities 1/4; daf 1.38 (Monday) and 1.62 (Friday) over January Monday 1.00;
// - the work zone (Fridays, ratio 0.5 x 2 = 1) on Friday replication 0; the event on Monday
//   replication 1;
// - weather: H = 1 h, p 0.5, 30 minutes = 2 periods: round(1 x 0.5 x 4 / 0.5) = 4 MediumRain events,
//   CAF 0.93 and SAF 0.95 at 60 mi/h; none overlaps another on its scenario;
// - incidents: lambda 1 over 4 scenarios gives counts 2, 1, 1 (0, 1 and 2 incidents); the VMT shares
//   0.5 / 0.2 / 0.3 by segment give each segment once, the period shares 0.1 / 0.15 / 0.2 / 0.55 give
//   starts 2, 3, 3; the OneLane incident fits the two-lane segment; the second incident of scenario 3
//   lies on another segment, so no clash.
const char kSmallSet[] =
    R"({"scenarios":[)"
    R"({"id":0,"month":7,"weekday":"Monday","replication":0,"probability":0.25,"demand_multiplier":1.38,"daf":1.38,)"
    R"("weather_events":[{"weather":"MediumRain","start_period":1,"duration_periods":2,"caf":0.93,"saf":0.95}],)"
    R"("incidents":[],"work_zones":[],"special_events":[]},)"
    R"({"id":1,"month":7,"weekday":"Monday","replication":1,"probability":0.25,"demand_multiplier":1.38,"daf":1.38,)"
    R"("weather_events":[{"weather":"MediumRain","start_period":3,"duration_periods":2,"caf":0.93,"saf":0.95},)"
    R"({"weather":"MediumRain","start_period":1,"duration_periods":2,"caf":0.93,"saf":0.95}],)"
    R"("incidents":[{"severity":"OneLane","segment":1,"start_period":2,"duration_periods":2}],)"
    R"("work_zones":[],"special_events":[0]},)"
    R"({"id":2,"month":7,"weekday":"Friday","replication":0,"probability":0.25,"demand_multiplier":1.62,"daf":1.62,)"
    R"("weather_events":[],"incidents":[],"work_zones":[0],"special_events":[]},)"
    R"({"id":3,"month":7,"weekday":"Friday","replication":1,"probability":0.25,"demand_multiplier":1.62,"daf":1.62,)"
    R"("weather_events":[{"weather":"MediumRain","start_period":3,"duration_periods":2,"caf":0.93,"saf":0.95}],)"
    R"("incidents":[{"severity":"Shoulder","segment":0,"start_period":3,"duration_periods":2},)"
    R"({"severity":"Shoulder","segment":2,"start_period":3,"duration_periods":1}],)"
    R"("work_zones":[],"special_events":[]}],)"
    R"("expected_weather_events":[[0,0,0,0,0,0,0,0,0,0],[0,0,0,0,0,0,0,0,0,0],[0,0,0,0,0,0,0,0,0,0],)"
    R"([0,0,0,0,0,0,0,0,0,0],[0,0,0,0,0,0,0,0,0,0],[0,0,0,0,0,0,0,0,0,0],[4,0,0,0,0,0,0,0,0,0],)"
    R"([0,0,0,0,0,0,0,0,0,0],[0,0,0,0,0,0,0,0,0,0],[0,0,0,0,0,0,0,0,0,0],[0,0,0,0,0,0,0,0,0,0],)"
    R"([0,0,0,0,0,0,0,0,0,0]],)"
    R"("monthly_incident_frequency":[0.0,0.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,0.0,0.0,0.0],)"
    R"("total_incidents":3,"total_weather_events":4})";

ScenarioGenerationConfig small_study() {
    ScenarioGenerationConfig c = one_month(7, {Weekday::Monday, Weekday::Friday}, 2);
    c.rng_seed = 42;
    c.weather = weather_with(7, 0, 0.5, 30.0);
    c.weather->probabilities_by_month[6] = {0.5};
    c.incidents.emplace().monthly_frequencies = {0, 0, 0, 0, 0, 0, 1.0};
    c.work_zones = {{.months = {7}, .weekdays = {Weekday::Friday}, .active_day_ratio = 0.5, .segments = {1}}};
    c.special_events = {{.month = 7, .weekday = Weekday::Monday, .replication = 1}};
    return c;
}

SeedStatistics small_seed() {
    return {{{100, 200, 300, 400}, {100, 100, 100, 100}, {0, 0, 0, 600}}, {3, 2, 3}, 4, 60.0};
}

TEST(ScenarioSetJson, SmallStudyCheckedStepByStep) {
    EXPECT_EQ(scenario_set_to_json(generate_scenarios(small_study(), small_seed())), kSmallSet);
}

TEST(ScenarioSetJson, SameDocumentAndSeedGiveTheSameBytes) {
    auto set_of = [](const char* document) {
        const auto config = jsonio::read_document<ScenarioGenerationConfig>(document);
        return scenario_set_to_json(generate_scenarios(config, small_seed()));
    };
    const char* study = R"({"weather": {"durations_min": [0, 45, 0, 0, 0, 0, 0, 0, 0, 0],
        "probabilities_by_month": [[], [0, 0.3], [], [], [], [], [], [], [], [], [], []]},
        "incidents": {"crash_rate_per_100mvmt": 20000}, "rng_seed": 9})";
    const std::string first = set_of(study);
    EXPECT_NE(first.find(R"("weather":"HeavyRain")"), std::string::npos);
    EXPECT_EQ(set_of(study), first);
    EXPECT_NE(set_of(R"({"incidents": {"crash_rate_per_100mvmt": 20000}, "rng_seed": 10})"), set_of(
              R"({"incidents": {"crash_rate_per_100mvmt": 20000}, "rng_seed": 9})"));
}

}  // namespace
