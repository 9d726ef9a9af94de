#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "../support/checks.hpp"
#include "hcm/urban_reliability/evaluation.hpp"
#include "hcm/urban_reliability/urban_reliability.hpp"

using namespace hcm::urban_reliability::urban_reliability;
using namespace testing_support;
using hcm::urban_reliability::exhibits::demand_ratio;
using hcm::urban_reliability::exhibits::LaneLocation;
using hcm::urban_segments::urban_segments::UrbanSegment;

namespace {

UrbanSegment signalized_segment(double length_ft, double demand_veh_h) {
    UrbanSegment s;
    s.segment_length_ft = length_ft;
    s.n_through_lanes = 2;
    s.speed_limit_mph = 35.0;
    s.through_demand_veh_h = demand_veh_h;
    s.cycle_length_s = 100.0;
    s.effective_green_s = 45.0;
    s.sat_flow_veh_h_ln = 1900.0;
    s.through_capacity_veh_h = 1710.0;
    s.through_control_delay_s = 20.0;
    return s;
}

// One 1320 ft segment, no weather, no crashes; the Mondays of January (1 January a Sunday),
// eight periods from 7:00. Counted on a Tuesday at 7:00 in January: the 7:00 periods run at the
// counted demand, the 8:00 ones at 0.058 / 0.071 of it.
UrbanReliability one_segment_study() {
    UrbanReliability u;
    u.facility.segments = {signalized_segment(1320.0, 900.0)};
    u.config.months = {1};
    u.config.days_of_week = {1};
    u.config.analysis_periods_per_day = 8;
    u.config.boundary_signals = {BoundarySignal{}};
    u.config.incidents.segment_crash_frequencies = {0.0};
    u.config.incidents.intersection_crash_frequencies = {0.0, 0.0};
    return u;
}

// Three segments with monthly weather (snow in the cold months) and crashes, a small reporting
// period: the draws of this study are pinned below.
UrbanReliability weather_study() {
    UrbanReliability u;
    u.facility.segments = {signalized_segment(1000.0, 900.0), signalized_segment(1400.0, 1000.0),
                           signalized_segment(1200.0, 950.0)};
    u.config.months = {1, 2};
    u.config.analysis_periods_per_day = 4;
    for (std::size_t m = 0; m < 12; ++m) u.config.weather[m] = {3.0, 0.0, 9.0, 22.0 + 4.0 * m, 0.08};
    u.config.boundary_signals = std::vector<BoundarySignal>(3);
    u.config.incidents.segment_crash_frequencies = {4.0, 6.0, 5.0};
    u.config.incidents.intersection_crash_frequencies = {8.0, 8.0, 8.0, 8.0};
    return u;
}

// ---- Demand variation ----------------------------------------------------------------------------

TEST(UrbanReliabilityDemand, CountTimesWrapAndClamp) {
    using FC = hcm::urban_reliability::exhibits::FunctionalClass;
    const FC c = FC::UrbanPrincipalArterial;
    EXPECT_DOUBLE_EQ(demand_ratio(1, 2, 7, c), 0.071 * 0.98 * 0.831);
    // Day 7: the weekday hours, Sunday's day factor.
    EXPECT_DOUBLE_EQ(demand_ratio(1, 7, 7, c), 0.071 * 0.87 * 0.831);
    EXPECT_DOUBLE_EQ(demand_ratio(1, 0, 7, c), 0.024 * 0.87 * 0.831);  // Sunday: weekend hours
    EXPECT_DOUBLE_EQ(demand_ratio(1, 2, 31, c), demand_ratio(1, 2, 7, c));
    EXPECT_DOUBLE_EQ(demand_ratio(0, 2, 7, c), demand_ratio(1, 2, 7, c));
    EXPECT_DOUBLE_EQ(demand_ratio(13, 2, 7, c), demand_ratio(12, 2, 7, c));
    UrbanReliabilityConfig config;
    config.functional_class = FC::Expressway;
    EXPECT_DOUBLE_EQ(config.base_demand_ratio(), 0.077 * 0.98 * 0.802);
}

// ---- Document ------------------------------------------------------------------------------------

TEST(UrbanReliabilityDocument, EmptyConfigGivesEveryDefault) {
    const UrbanReliability u = read_urban_reliability(R"({"facility": {"segments": []}, "config": {}})");
    EXPECT_EQ(u.config, UrbanReliabilityConfig{});
    EXPECT_EQ(u.config.days_of_week, (std::vector<std::uint32_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(u.config.weather.size(), 12u);
    EXPECT_EQ(u.config.weather_seed, 82u);
    EXPECT_FALSE(u.config.incidents.cfaf_override);
    EXPECT_TRUE(u.atdm_strategies.empty());
    const UrbanReliability v = read_urban_reliability(
        R"({"facility": {"segments": []}, "config": {"incidents": {"cfaf_override": [1, 2, 3, 4]},
            "boundary_signals": [{}], "functional_class": "Expressway"},
            "atdm_strategies": [{"name": "ramp", "periods": [2]}]})");
    EXPECT_EQ(v.config.incidents.cfaf_override, (std::array<double, 4>{1, 2, 3, 4}));
    EXPECT_EQ(v.config.boundary_signals, std::vector<BoundarySignal>(1));
    EXPECT_EQ(v.atdm_strategies.at(0).periods, (std::vector<std::uint64_t>{2}));
    EXPECT_EQ(v.atdm_strategies.at(0).demand_adjustment, 1.0);
}

TEST(UrbanReliabilityDocument, ReadErrorsNameTheRecordOrKey) {
    EXPECT_EQ(error_of([] { return read_urban_reliability(R"({"facility": {"segments": []}})"); }),
              "missing field `config` at line 1 column 30");
    EXPECT_TRUE(starts_with(error_of([] {
                                return read_urban_reliability(
                                    R"({"facility": {"segments": []}, "config": {"functional_class": "Local"}})");
                            }),
                            "unknown variant `Local`, expected one of `Expressway`, `UrbanPrincipalArterial`, "
                            "`UrbanMinorArterial`"));
    EXPECT_TRUE(starts_with(error_of([] { return read_urban_reliability(R"([{"segments": []}])"); }),
                            "invalid length 1, expected struct UrbanReliability with 3 elements"));
}

// ---- Checks before the run -----------------------------------------------------------------------

struct CheckCase {
    const char* name;
    std::function<void(UrbanReliability&)> change;
    std::string message;
};

class UrbanReliabilityChecks : public ::testing::TestWithParam<CheckCase> {};

TEST_P(UrbanReliabilityChecks, RefusedBeforeAnythingChanges) {
    UrbanReliability u = one_segment_study();
    GetParam().change(u);
    const UrbanReliability before = u;
    EXPECT_EQ(error_of([&] { return run(u); }), GetParam().message);
    EXPECT_EQ(u.facility, before.facility);  // the segments were not analysed
    EXPECT_FALSE(u.results);
}

INSTANTIATE_TEST_SUITE_P(
    Step1, UrbanReliabilityChecks,
    ::testing::Values(
        CheckCase{"NoSegments", [](UrbanReliability& u) { u.facility.segments.clear(); },
                  "facility must contain at least one segment"},
        CheckCase{"Signals", [](UrbanReliability& u) { u.config.boundary_signals.clear(); },
                  "boundary_signals has 0 entries for 1 segments"},
        CheckCase{"SegmentCrashes", [](UrbanReliability& u) { u.config.incidents.segment_crash_frequencies = {1, 2}; },
                  "segment_crash_frequencies has 2 entries for 1 segments"},
        CheckCase{"IntersectionCrashes",
                  [](UrbanReliability& u) { u.config.incidents.intersection_crash_frequencies = {1}; },
                  "intersection_crash_frequencies needs 2 entries (segments + 1), got 1"},
        CheckCase{"Weather", [](UrbanReliability& u) { u.config.weather.pop_back(); },
                  "weather needs 12 monthly entries (Jan-Dec)"},
        CheckCase{"Periods", [](UrbanReliability& u) { u.config.analysis_periods_per_day = 0; },
                  "analysis_periods_per_day must be positive"},
        CheckCase{"Months", [](UrbanReliability& u) { u.config.months.clear(); }, "reliability reporting period is empty"},
        // Listed checks keep their precedence over the cycle check.
        CheckCase{"PeriodsBeforeCycle",
                  [](UrbanReliability& u) { u.config.analysis_periods_per_day = 0; u.config.boundary_signals[0].cycle_length_s = 1.0; },
                  "analysis_periods_per_day must be positive"},
        CheckCase{"ShortCycle", [](UrbanReliability& u) { u.config.boundary_signals[0].cycle_length_s = 1.5; },
                  "boundary_signals entry 0: cycle_length_s must be at least 2"},
        CheckCase{"NaNCycle", [](UrbanReliability& u) { u.config.boundary_signals[0].cycle_length_s = kNaN; },
                  "boundary_signals entry 0: cycle_length_s must be at least 2"},
        CheckCase{"TooManyScenarios", [](UrbanReliability& u) { u.config.analysis_periods_per_day = 2'000'001; },
                  "study would build 10000005 scenarios (reporting-period days x analysis_periods_per_day); at most "
                  "10000000 are allowed"},
        CheckCase{"ScenarioCountOverflows",
                  [](UrbanReliability& u) { u.config.analysis_periods_per_day = ~std::uint64_t{0}; },
                  "study would build more than 18446744073709551615 scenarios (reporting-period days x "
                  "analysis_periods_per_day); at most 10000000 are allowed"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UrbanReliabilityRun, AggregationFailureKeepsTheSegmentsAndThePreviousRun) {
    UrbanReliability u = one_segment_study();
    const UrbanReliabilityResults first = run(u);
    const std::size_t scenarios = u.scenarios.size();
    u.facility.segments[0].segment_length_ft = 0.0;
    u.facility.segments[0].free_flow_speed_mph.reset();
    EXPECT_EQ(error_of([&] { return run(u); }), "segment 0: length must be positive");
    EXPECT_FALSE(u.facility.segments[0].free_flow_speed_mph);  // analysed on the run's copy only
    EXPECT_EQ(u.scenarios.size(), scenarios);
    EXPECT_EQ(u.results->total_vhd, first.total_vhd);
}

// ---- A small study checked step by step ----------------------------------------------------------

// The segment as the 7:00 (demand 900 veh/h) or the 8:00 scenarios (900 x 0.058 / 0.071) see it:
// c = 1900 x 2 x 45 / 100 = 1710 veh/h; with g/C = P = 0.45 the uniform delay is
// 0.5 x 100 x 0.55^2 / (1 - 0.45 X) and d2 = 225 (X - 1 + sqrt((X - 1)^2 + 4 X / (0.25 x 1710))):
//   7:00  X = 0.526316  d1 = 19.818966  d2 = 1.163243  d = 20.982208 s
//   8:00  X = 0.429948  d1 = 18.753332  d2 = 0.791480  d = 19.544812 s
double period_travel_time(double demand, double control_delay) {
    UrbanSegment s = signalized_segment(1320.0, demand);
    s.through_capacity_veh_h = 1710.0;
    s.through_control_delay_s = control_delay;
    s.analyze();
    return *s.running_time_s + *s.through_delay_s;
}

TEST(UrbanReliabilityRun, OneSegmentStudyByHand) {
    UrbanReliability u = one_segment_study();
    const UrbanReliabilityResults& r = run(u);
    ASSERT_EQ(u.scenarios.size(), 40u);  // five Mondays x eight periods
    EXPECT_EQ(u.scenarios[0].day, 1u);
    EXPECT_EQ(u.scenarios[8].day, 8u);
    EXPECT_TRUE(u.weather_events.empty());
    EXPECT_TRUE(u.incidents.empty());

    const double ffs = *u.facility.segments[0].free_flow_speed_mph;
    const double fft = 1320.0 / 5280.0 * 3600.0 / ffs;
    const double v8 = 900.0 * 0.8169014084507044;
    const double tt7 = period_travel_time(900.0, 20.98220812742175);
    const double tt8 = period_travel_time(v8, 19.544812145393138);
    const double w7 = 0.25 * 900.0 * 0.25, w8 = 0.25 * v8 * 0.25;  // vehicle-miles: 1/4 mi x v x 1/4 h
    for (std::size_t i = 0; i < 40; ++i) {
        const bool eight = i % 8 >= 4;
        EXPECT_NEAR(u.scenario_outcomes[i].travel_time_s, eight ? tt8 : tt7, 1e-9) << i;
        EXPECT_NEAR(u.observations[i].weight, eight ? w8 : w7, 1e-9) << i;
        EXPECT_FALSE(u.scenario_outcomes[i].oversaturated);
    }
    EXPECT_NEAR(r.base_free_flow_travel_time_s, 1320.0 / 5280.0 * 3600.0 / *u.facility.segments[0].base_ffs_mph, 1e-9);
    EXPECT_NEAR(r.mean_travel_time_s, (tt7 + tt8) / 2.0, 1e-9);
    EXPECT_NEAR(r.metrics.tti_mean, (tt7 * w7 + tt8 * w8) / (w7 + w8) / fft, 1e-9);
    EXPECT_NEAR(r.metrics.tti_50, tt7 / fft, 1e-9);  // the 7:00 periods carry more than half the weight
    EXPECT_NEAR(r.metrics.tti_max, tt7 / fft, 1e-9);
    EXPECT_NEAR(r.metrics.tti_95, tt7 / fft, 1e-9);
    EXPECT_NEAR(hcm::common::reliability::TravelTimeDistribution(u.observations).percentile(40.0), tt8 / fft, 1e-9);
    EXPECT_NEAR(r.total_vhd, 20 * 0.25 * (900.0 * (tt7 - fft) + v8 * (tt8 - fft)) / 3600.0, 1e-9);
    EXPECT_EQ(r.reliability_rating_urban, 100.0);
    EXPECT_EQ(r.pct_nondry_scenarios, 0.0);
    EXPECT_EQ(r.num_weather_events, 0u);
}

TEST(UrbanReliabilityRun, UnweightedObservationsAndAnEmptyReportingPeriod) {
    UrbanReliability u = one_segment_study();
    u.config.vmt_weighted = false;
    run(u);
    for (const auto& o : u.observations) EXPECT_EQ(o.weight, 1.0);
    u.config.months = {13};  // matches no day: no error, an empty study
    const UrbanReliabilityResults& r = run(u);
    EXPECT_EQ(r.num_scenarios, 0u);
    EXPECT_EQ(r.mean_travel_time_s, 0.0);
    EXPECT_EQ(r.pct_nondry_scenarios, 0.0);
    EXPECT_EQ(r.metrics.num_observations, 0u);
    EXPECT_TRUE(u.scenarios.empty() && u.observations.empty());
}

TEST(UrbanReliabilityRun, FullProgressionAtCapacityHasNoUniformDelay) {
    // g/C x R_p >= 1 puts every arrival on green; at X >= 1 the uniform-delay formula reads 0 / 0.
    UrbanReliability u = one_segment_study();
    u.config.boundary_signals[0].platoon_ratio = 2.5;
    u.config.boundary_signals[0].sat_flow_veh_h_ln = 900.0;  // c = 810 veh/h < 900 veh/h
    run(u);
    ASSERT_TRUE(u.scenario_outcomes[0].oversaturated);
    EXPECT_TRUE(std::isfinite(u.scenario_outcomes[0].tti));
    EXPECT_EQ(u.observations.size(), 40u);
}

TEST(UrbanReliabilityRun, NonFiniteTravelTimesAreCountedButNotObserved) {
    UrbanReliability u = one_segment_study();
    u.config.boundary_signals[0].sat_flow_veh_h_ln = 0.0;  // no capacity: infinite delay
    const UrbanReliabilityResults& r = run(u);
    EXPECT_EQ(r.num_scenarios, 40u);
    EXPECT_TRUE(u.observations.empty());
    EXPECT_FALSE(std::isfinite(u.scenario_outcomes[0].tti));
    // Without demand a signal without capacity delays no one: finite, and observed.
    UrbanReliability idle = one_segment_study();
    idle.config.boundary_signals[0].sat_flow_veh_h_ln = 0.0;
    idle.facility.segments[0].through_demand_veh_h = 0.0;
    run(idle);
    EXPECT_TRUE(std::isfinite(idle.scenario_outcomes[0].tti));
    EXPECT_FALSE(idle.observations.empty());
}

// ---- ATDM strategies -----------------------------------------------------------------------------

// Travel time of the first 7:00 scenario of the one-segment study after `change`.
double first_travel_time(const std::function<void(UrbanReliability&)>& change) {
    UrbanReliability u = one_segment_study();
    change(u);
    run(u);
    return u.scenario_outcomes[0].travel_time_s;
}

AtdmStrategy strategy(double demand, double sat_flow, double green_s, double ffs) {
    AtdmStrategy s;
    s.demand_adjustment = demand;
    s.sat_flow_adjustment = sat_flow;
    s.effective_green_adjustment_s = green_s;
    s.ffs_adjustment = ffs;
    return s;
}

TEST(UrbanReliabilityAtdm, EachStrategyActsAsTheInputItAdjusts) {
    auto with = [](AtdmStrategy s) { return [s](UrbanReliability& u) { u.atdm_strategies = {s}; }; };
    const double plain = first_travel_time([](UrbanReliability&) {});
    // Demand x 0.8 is the segment at 720 veh/h.
    EXPECT_DOUBLE_EQ(first_travel_time(with(strategy(0.8, 1, 0, 1))), first_travel_time([](UrbanReliability& u) {
                         u.facility.segments[0].through_demand_veh_h = 720.0;
                     }));
    // Saturation flow x 1.1 is a 2090 veh/h/ln signal; +10 s of green a 55 s green.
    EXPECT_NEAR(first_travel_time(with(strategy(1, 1.1, 0, 1))),
                first_travel_time([](UrbanReliability& u) { u.config.boundary_signals[0].sat_flow_veh_h_ln = 2090.0; }),
                1e-9);
    EXPECT_DOUBLE_EQ(first_travel_time(with(strategy(1, 1, 10, 1))),
                     first_travel_time([](UrbanReliability& u) { u.config.boundary_signals[0].effective_green_s = 55.0; }));
    EXPECT_LT(first_travel_time(with(strategy(1, 1, 10, 1))), plain);
    // The green stays within [1, C - 1].
    EXPECT_DOUBLE_EQ(first_travel_time(with(strategy(1, 1, 500, 1))),
                     first_travel_time([](UrbanReliability& u) { u.config.boundary_signals[0].effective_green_s = 99.0; }));
    // The free-flow factor only scales the extra time of weather and incidents: none on a dry,
    // incident-free day.
    EXPECT_DOUBLE_EQ(first_travel_time(with(strategy(1, 1, 0, 0.7))), plain);
    // A strategy limited to other periods leaves the 7:00 scenario alone.
    AtdmStrategy later = strategy(0.5, 1, 0, 1);
    later.periods = {4};
    EXPECT_DOUBLE_EQ(first_travel_time(with(later)), plain);
}

TEST(UrbanReliabilityAtdm, CrashFactorScalesTheIncidentDraws) {
    UrbanReliability u = weather_study();
    run(u);
    ASSERT_FALSE(u.incidents.empty());
    u.atdm_strategies = {AtdmStrategy{}};
    u.atdm_strategies[0].crash_frequency_adjustment = 0.0;
    run(u);
    EXPECT_TRUE(u.incidents.empty());
}

// ---- Draws ---------------------------------------------------------------------------------------

TEST(UrbanReliabilityDraws, SeedsGiveTheSameStudyBitForBit) {
    UrbanReliability a = weather_study(), b = weather_study();
    run(a);
    run(b);
    EXPECT_EQ(a.weather_events, b.weather_events);
    EXPECT_EQ(a.incidents, b.incidents);
    EXPECT_EQ(a.scenarios, b.scenarios);
    EXPECT_EQ(a.scenario_outcomes, b.scenario_outcomes);
    const UrbanReliabilityResults first = *a.results;
    run(a);  // a second run repeats the first
    EXPECT_EQ(a.results->metrics.tti_mean, first.metrics.tti_mean);
    // Seed 0 is the generator's replacement word.
    a.config.weather_seed = 0;
    b.config.weather_seed = 0x9E3779B97F4A7C15ULL;
    a.config.incident_seed = 0;
    b.config.incident_seed = 0x9E3779B97F4A7C15ULL;
    run(a);
    run(b);
    EXPECT_EQ(a.weather_events, b.weather_events);
    EXPECT_EQ(a.incidents, b.incidents);
}

TEST(UrbanReliabilityDraws, PinnedWeatherIncidentsAndScenarios) {
    UrbanReliability u = weather_study();
    const UrbanReliabilityResults& r = run(u);
    // Day 0 checked by hand from the generator's first four uniforms: u1 = 0.28129 < 9/31;
    // T = 22 + 5 z(0.4716) = 19.7059 deg F, snow; rate: mean = sd = 10 x 0.08, the exponential
    // quantile -0.8 ln(1 - u3) = 0.52998 in/h; amount 0.56795 in has P(k, a/q) = u3 for mean 3.333,
    // sd 6.5; start round(u4 (24 - 1.0716) x 4) / 4 = 19.75 h; wet 1 + 0.888 e^(-0.007 T) + 0.5
    // rounded to 2.25 h.
    ASSERT_EQ(u.weather_events.size(), 220u);
    const std::vector<UrbanWeatherEvent> first_events = {
        {0, 19.705850100534917, 0.52997607255717871, 0.56794659144179249, 19.75, 1, 2.25, true},
        {2, 20.988799557872923, 0.4161306840086354, 0.28400212843223177, 3.75, 0.75, 2, true},
        {4, 19.869137328799134, 0.91341719044346525, 2.2976115347122672, 11.75, 2.5, 3.75, true},
        {9, 22.204263997492042, 0.33122133380160235, 0.14238714960415363, 18.5, 0.5, 1.75, true},
    };
    EXPECT_EQ(std::vector<UrbanWeatherEvent>(u.weather_events.begin(), u.weather_events.begin() + 4), first_events);
    using WC = WeatherCondition;
    const std::vector<UrbanIncident> first_incidents = {
        {1, 1, 0.25, 7, LaneLocation::OneLane, 3, WC::Dry, true, true},
        {2, 1, 0.5, 14, LaneLocation::OneLane, 2, WC::Dry, true, false},
        {3, 1, 0.25, 13, LaneLocation::OneLane, 2, WC::Dry, false, false},
        {9, 1, 0.25, 19, LaneLocation::OneLane, 1, WC::SnowPavement, true, false},
    };
    ASSERT_EQ(u.incidents.size(), 12u);
    EXPECT_EQ(std::vector<UrbanIncident>(u.incidents.begin(), u.incidents.begin() + 4), first_incidents);
    // January and February weekdays, four periods each.
    ASSERT_EQ(u.scenarios.size(), 168u);
    EXPECT_EQ(u.scenarios[0].incident_indices, std::vector<std::size_t>{0});  // 7:00-7:15 at intersection 1
    EXPECT_TRUE(u.scenario_outcomes[0].oversaturated);
    EXPECT_DOUBLE_EQ(u.scenario_outcomes[0].tti, 3.5138309180948784);
    EXPECT_EQ(u.scenarios[36].condition, WC::SnowPavement);
    EXPECT_DOUBLE_EQ(u.scenarios[36].demand_ratio, 1.1734693877551021);
    EXPECT_EQ(u.scenarios[116].condition, WC::Snowfall);
    EXPECT_DOUBLE_EQ(u.scenarios[116].precip_rate_in_h, 0.048209257075889134);  // water equivalent
    // Snow cuts demand by demand_change_snow: Friday 10 February at 7:00 against the count time.
    const auto c = u.config.functional_class;
    EXPECT_DOUBLE_EQ(u.scenarios[116].demand_ratio, 0.8 * demand_ratio(2, 5, 7, c) / demand_ratio(1, 2, 7, c));
    EXPECT_DOUBLE_EQ(u.scenario_outcomes[116].tti, 2.2763376815883869);
    EXPECT_EQ(write_results(r),
              R"({"num_scenarios":168,"base_free_flow_travel_time_s":59.031877213695395,)"
              R"("mean_travel_time_s":140.76924912988184,"metrics":{"tti_mean":2.235308057553379,)"
              R"("tti_50":2.2426732060273467,"tti_80":2.288001867304323,"tti_95":2.428028409857953,)"
              R"("tti_max":3.5138309180948784,"misery_index":2.5627467539460853,"reliability_rating":0.0,)"
              R"("semi_std_dev":1.243137971456293,"std_dev":0.13930548811931323,"pct_tti_above_2":100.0,)"
              R"("num_observations":168,"total_weight":31577.38048725675},"reliability_rating_urban":99.48419157838467,)"
              R"("total_vhd":999.2687533893835,"num_weather_events":220,"num_incidents":12,)"
              R"("pct_nondry_scenarios":7.142857142857143})");
}

// ---- Limits: an incident leaves one lane open, the adaptive-signal target is clamped, 2.5 is reliable

TEST(UrbanReliabilityIncidents, OneLaneAlwaysStaysOpenWithoutWrapping) {
    EXPECT_EQ(lanes_blocked(0, LaneLocation::TwoLanes), 0u);  // N = 0: min(N - 1, 2) stays 0
    EXPECT_EQ(lanes_blocked(1, LaneLocation::OneLane), 0u);
    EXPECT_EQ(lanes_blocked(2, LaneLocation::TwoLanes), 1u);
    EXPECT_EQ(lanes_blocked(3, LaneLocation::TwoLanes), 2u);
    EXPECT_EQ(lanes_blocked(3, LaneLocation::Shoulder), 0u);
    EXPECT_EQ(lanes_open(0, 2), 1u);
    EXPECT_EQ(lanes_open(3, 2), 1u);
    EXPECT_EQ(lanes_open(3, 1), 2u);
}

// A scenario naming an incident the study does not hold is a broken invariant of the run, refused
// in every build (not an assertion that vanishes in Release).
TEST(UrbanReliabilityIncidents, ScenarioWithAnUnknownIncidentIsRefused) {
    UrbanReliability u = one_segment_study();
    const std::vector<UrbanSegment> base = u.facility.segments;
    const hcm::urban_reliability::evaluation::ScenarioContext cx{u, base, 60.0, 900.0};
    UrbanScenario sc{{0}, 0, 0, 0.0, 1.0, 1, 1, hcm::urban_reliability::exhibits::WeatherCondition::Dry};
    std::vector<double> queues(1, 0.0);
    std::vector<UrbanSegment> copies = base;
    EXPECT_THROW(hcm::urban_reliability::evaluation::evaluate_scenario(cx, sc, queues, copies), std::logic_error);
}

TEST(UrbanReliabilityAdaptiveSignal, TargetDelayReductionClampedToThreeToTwentyFour) {
    EXPECT_DOUBLE_EQ(adaptive_signal_sat_flow_adjustment(std::nullopt), 100.0 / 86.5);
    EXPECT_DOUBLE_EQ(adaptive_signal_sat_flow_adjustment(50.0), 100.0 / 76.0);
    EXPECT_DOUBLE_EQ(adaptive_signal_sat_flow_adjustment(-4.0), 100.0 / 97.0);
    EXPECT_TRUE(std::isnan(adaptive_signal_sat_flow_adjustment(kNaN)));
}

TEST(UrbanReliabilityRatings, RatingCountsTwoAndAHalfAsReliable) {
    const std::vector<TravelTimeObservation> obs = {{1.0, 1.0}, {2.5, 1.0}, {3.0, 1.0}};
    EXPECT_DOUBLE_EQ(reliability_rating(obs), 200.0 / 3.0);
    EXPECT_DOUBLE_EQ(tti_mean(obs), 6.5 / 3.0);
    EXPECT_EQ(tti_mean({}), 0.0);
    EXPECT_EQ(reliability_rating({{2.0, 0.0}}), 0.0);
}

}  // namespace
