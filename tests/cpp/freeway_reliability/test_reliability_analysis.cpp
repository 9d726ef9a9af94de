#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "../support/checks.hpp"
#include "hcm/freeway_reliability/reliability_analysis.hpp"
#include "json/jsonio.hpp"
#include "study_documents.hpp"

namespace {

namespace ff = hcm::freeway_facilities::freeway_facilities;
namespace rel = hcm::freeway_reliability::reliability;
namespace sg = hcm::freeway_reliability::scenario_generation;
using testing_support::error_of;
using testing_support::kInf;
using testing_support::kNaN;

// N basic segments of one mile, three lanes, 60 mi/h, over the given mainline demands.
ff::FreewayFacility one_mile_segments(std::size_t n, std::vector<double> demand) {
    ff::FreewayFacility f;
    for (std::size_t i = 0; i < n; ++i) {
        ff::FacilitySegment s;
        s.length_ft = 5280.0;
        f.segments.push_back(s);
    }
    f.mainline_demand = std::move(demand);
    return f;
}

// ---- Free-flow travel time and seed statistics ------------------------------------------------------

// One mile at the facility's 60 mi/h, a half-mile merge at its own 50 mi/h taking 400 and 600 veh/h
// from its ramp, two four-lane miles at their own 40 mi/h.
TEST(SeedFacility, FreeFlowTravelTimeAndSeedStatistics) {
    auto f = one_mile_segments(3, {1000, 2000});
    f.segments[1].seg_type = ff::SegmentType::Merge;
    f.segments[1].length_ft = 2640.0;
    f.segments[1].ffs = 50.0;
    f.segments[1].on_ramp_demand = {400, 600};
    f.segments[2].length_ft = 10560.0;
    f.segments[2].lanes = 4;
    f.segments[2].ffs = 40.0;
    const ff::FreewayFacility before = f;

    EXPECT_DOUBLE_EQ(rel::free_flow_travel_time_min(f), 1.0 + 0.6 + 3.0);
    const sg::SeedStatistics seed = rel::seed_statistics(f);
    EXPECT_EQ(seed.num_periods, 2u);
    EXPECT_EQ(seed.ffs, 60.0);  // the facility's, whatever the segments say
    EXPECT_EQ(seed.segment_lanes, (std::vector<std::uint32_t>{3, 3, 4}));
    // Quarter-hour vehicle-miles of the built-up demands 1000/2000, 1400/2600, 1400/2600 veh/h.
    EXPECT_EQ(seed.segment_vmt,
              (std::vector<std::vector<double>>{{250.0, 500.0}, {175.0, 325.0}, {700.0, 1300.0}}));
    EXPECT_EQ(f, before);  // the seed itself is not touched
}

// ---- Scenario factors ----------------------------------------------------------------------------

// Three segments (the middle one two lanes) over four periods.
ff::FreewayFacility three_by_four() {
    auto f = one_mile_segments(3, {1000, 1000, 1000, 1000});
    f.segments[1].lanes = 2;
    return f;
}

TEST(ScenarioFactors, EveryEventMultipliesInTheDocumentedOrder) {
    const auto seed = three_by_four();
    sg::ScenarioGenerationConfig c;
    c.weather = sg::WeatherInputs{};
    c.weather->daf = 0.97;
    c.incidents = sg::IncidentInputs{};
    c.incidents->daf = 0.93;
    sg::WorkZoneEvent zone;
    zone.segments = {1, 1, 7};            // a repeated segment applies twice; 7 lies beyond the facility
    zone.periods = std::vector<std::size_t>{2, 9};  // period 9 lies beyond the study
    zone.caf = 0.9;
    zone.saf = 0.8;
    zone.daf = 1.1;
    c.work_zones = {zone};
    sg::SpecialEvent event;  // every segment and period
    event.caf = 0.95;
    event.saf = 0.85;
    event.daf = 1.3;
    c.special_events = {event};

    sg::FreewayScenario s;
    s.daf = 1.17;
    s.weather_events = {{sg::WeatherType::HeavyRain, 1, 5, 0.88, 0.93}};  // periods 1 to 3, cut at P
    s.incidents = {{sg::IncidentSeverity::OneLane, 99, 2, 1}};  // beyond the last segment: segment 2
    s.incidents.push_back({sg::IncidentSeverity::OneLane, 1, 2, 2});  // two lanes, one closed: 0.70 x 1/2
    s.work_zones = {0};
    s.special_events = {0};

    rel::ScenarioFactors f;
    rel::scenario_factors(s, c, seed, f);
    ASSERT_EQ(f.demand.size(), 4u);
    ASSERT_EQ(f.capacity.size(), 12u);
    // Period 2 of segment 1: weather, incident, the work zone twice, the special event.
    EXPECT_EQ(f.c(1, 2), (((1.0 * 0.88) * (0.70 * 1.0 / 2.0)) * 0.9) * 0.9 * 0.95);
    EXPECT_EQ(f.s(1, 2), ((1.0 * 0.93) * 0.8) * 0.8 * 0.85);
    // Period 2 of segment 2: weather and the three-lane one-lane incident (0.74 x 2/3).
    EXPECT_EQ(f.c(2, 2), (1.0 * 0.88) * (0.74 * 2.0 / 3.0) * 0.95);
    // Demand: daf, weather, both incidents, the work zone, the special event.
    EXPECT_EQ(f.demand[2], ((((1.17 * 0.97) * 0.93) * 0.93) * 1.1) * 1.3);
    EXPECT_EQ(f.demand[3], ((1.17 * 0.97) * 0.93) * 1.3);
    EXPECT_EQ(f.demand[0], 1.17 * 1.3);
    EXPECT_EQ(f.c(0, 0), 0.95);
    EXPECT_EQ(f.s(0, 3), 0.93 * 0.85);
}

TEST(ScenarioFactors, IncidentWithoutATableEntryLeavesCapacity) {
    const auto seed = three_by_four();
    sg::FreewayScenario s;
    s.incidents = {{sg::IncidentSeverity::TwoLanes, 1, 0, 1}};  // both lanes of a two-lane segment
    rel::ScenarioFactors f;
    rel::scenario_factors(s, {}, seed, f);
    EXPECT_EQ(f.c(1, 0), 1.0);
}

TEST(ApplyScenario, RewritesDemandsAndSchedulesToThePeriods) {
    auto seed = three_by_four();
    seed.segments[1].seg_type = ff::SegmentType::Weaving;
    seed.segments[1].caf = 0.9;
    seed.segments[1].caf_schedule = std::vector<double>{0.5, 0.6, 0.7, 0.8, 0.95, 0.99};  // longer than P
    seed.segments[1].saf_schedule = std::vector<double>{0.4};                              // shorter than P
    seed.segments[1].on_ramp_demand = {100, 200, 300, 400, 500};  // the fifth entry lies beyond P
    seed.segments[1].off_ramp_demand = {50};
    rel::ScenarioFactors f{3, 4, {2.0, 3.0, 4.0, 5.0}, std::vector<double>(12, 0.5), std::vector<double>(12, 0.25)};

    ff::FreewayFacility target = seed;
    rel::apply_scenario(f, seed, target);
    EXPECT_EQ(target.mainline_demand, (std::vector<double>{2000, 3000, 4000, 5000}));
    EXPECT_EQ(target.segments[1].on_ramp_demand, (std::vector<double>{200, 600, 1200, 2000, 500}));
    EXPECT_EQ(target.segments[1].off_ramp_demand, (std::vector<double>{100}));
    EXPECT_EQ(*target.segments[1].caf_schedule, (std::vector<double>{0.25, 0.3, 0.35, 0.4}));
    EXPECT_EQ(*target.segments[1].saf_schedule, (std::vector<double>{0.1, 0.25, 0.25, 0.25}));
    EXPECT_EQ(*target.segments[0].caf_schedule, (std::vector<double>(4, 0.5)));
    EXPECT_EQ(target.segments[1].caf, 0.9);  // the scalar factors stay

    // Applied again to the same target (a scratch facility), another scenario starts from the seed.
    f.demand.assign(4, 1.0);
    rel::apply_scenario(f, seed, target);
    EXPECT_EQ(target.mainline_demand, seed.mainline_demand);
    EXPECT_EQ(target.segments[1].on_ramp_demand, seed.segments[1].on_ramp_demand);
}

// ---- Travel time index of a run -------------------------------------------------------------------

// A run of two one-mile segments over three periods with the given speeds and served VMT.
ff::FreewayFacility finished_run(std::vector<std::vector<double>> speed, std::vector<double> vmt_served,
                                 std::vector<double> vhd) {
    auto f = one_mile_segments(2, std::vector<double>(3, 1000.0));
    f.speed = std::move(speed);
    for (std::size_t p = 0; p < 3; ++p) {
        ff::PeriodPerformance perf;
        perf.vmt_served = vmt_served[p];
        perf.vhd = vhd[p];
        f.facility_performance.push_back(perf);
    }
    return f;
}

TEST(ScenarioTti, ZeroSpeedCountsAsOneMilePerHourAndFreeFlowFloorsAtOne) {
    const auto run = finished_run({{60, 0, 80}, {30, 60, 80}}, {500, 0, kNaN}, {1.0, 2.0, 0.5});
    std::vector<rel::TravelTimeObservation> observations;
    const auto out = rel::evaluate_scenario_run(run, 0.25, 2.0, true, observations);
    // Period 0: 1 + 2 min; period 1: 60 + 1 min (the stopped segment at 1 mi/h); period 2: faster
    // than free flow.
    ASSERT_EQ(out.result.tti.size(), 3u);
    EXPECT_DOUBLE_EQ(out.result.tti[0], 1.5);
    EXPECT_DOUBLE_EQ(out.result.tti[1], 30.5);
    EXPECT_EQ(out.result.tti[2], 1.0);
    EXPECT_EQ(out.result.probability, 0.25);
    EXPECT_DOUBLE_EQ(out.vhd, 3.5);
    // Served VMT 0 and NaN weigh nothing: one observation.
    ASSERT_EQ(observations.size(), 1u);
    EXPECT_DOUBLE_EQ(observations[0].weight, 125.0);

    observations.clear();
    rel::evaluate_scenario_run(run, 0.25, 2.0, false, observations);  // weighted by probability alone
    ASSERT_EQ(observations.size(), 3u);
    for (const auto& o : observations) EXPECT_EQ(o.weight, 0.25);

    observations.clear();
    const auto zero = rel::evaluate_scenario_run(run, 0.0, 2.0, false, observations);
    EXPECT_TRUE(observations.empty());
    EXPECT_EQ(zero.result.tti.size(), 3u);
}

TEST(ScenarioTti, QuotientsThatAreNotNumbersOrInfiniteAreHandled) {
    const auto run = finished_run({{60, 60, 60}, {60, 60, 60}}, {1, 1, 1}, {0, 0, 0});
    std::vector<rel::TravelTimeObservation> observations;
    EXPECT_EQ(rel::evaluate_scenario_run(run, 1.0, kNaN, true, observations).result.tti,
              (std::vector<double>{1.0, 1.0, 1.0}));
    EXPECT_EQ(observations.size(), 3u);
    observations.clear();
    const auto infinite = rel::evaluate_scenario_run(run, 1.0, 0.0, true, observations);
    EXPECT_EQ(infinite.result.tti[0], kInf);
    EXPECT_TRUE(observations.empty());  // an infinite TTI is no observation
}

// ---- A small study checked by hand ------------------------------------------------------------------

// Two one-mile segments at 60 mi/h over two periods of 1000 and 2000 veh/h, January Monday and
// Friday once each; on Fridays a work zone halves the speed of the second segment. Monday runs at
// free flow (TTI 1); Friday (daf 1.17) takes 1 + 2 minutes for 2 (TTI 1.5) and delays each vehicle
// 1/30 - 1/60 h on the second mile: (1170 + 2340) x 0.25 / 60 = 14.625 veh-h.
rel::ReliabilityAnalysis hand_checked_study(bool vmt_weighted) {
    rel::ReliabilityAnalysis a;
    a.facility = one_mile_segments(2, {1000, 2000});
    a.vmt_weighted = vmt_weighted;
    auto& c = a.scenario_generation;
    c.months = {1};
    c.weekdays = {sg::Weekday::Monday, sg::Weekday::Friday};
    c.replications = 1;
    sg::WorkZoneEvent zone;
    zone.months = {1};
    zone.weekdays = {sg::Weekday::Friday};
    zone.segments = {1};
    zone.saf = 0.5;
    c.work_zones = {zone};
    return a;
}

TEST(HandCheckedStudy, VmtWeighted) {
    auto a = hand_checked_study(true);
    rel::run(a);
    const auto& r = a.results;
    EXPECT_DOUBLE_EQ(r.free_flow_travel_time_min, 2.0);
    ASSERT_EQ(r.scenario_results.size(), 2u);
    EXPECT_EQ(r.scenario_results[0].tti, (std::vector<double>{1.0, 1.0}));
    EXPECT_DOUBLE_EQ(r.scenario_results[1].tti[0], 1.5);
    EXPECT_DOUBLE_EQ(r.scenario_results[1].tti[1], 1.5);
    EXPECT_DOUBLE_EQ(r.expected_vhd, 0.5 * 14.625);
    // Weights: probability 0.5 x served VMT (2 miles x q x 0.25 h): 250, 500 on Monday, 292.5, 585 on
    // Friday.
    const double w = 250 + 500 + 292.5 + 585;
    const auto& m = *r.metrics;
    EXPECT_EQ(m.num_observations, 4u);
    EXPECT_DOUBLE_EQ(m.total_weight, w);
    EXPECT_DOUBLE_EQ(m.tti_mean, (750 + 1.5 * 877.5) / w);
    EXPECT_DOUBLE_EQ(m.tti_50, 1.5);  // 813.75 of the weight is reached only at TTI 1.5
    EXPECT_DOUBLE_EQ(m.tti_95, 1.5);
    EXPECT_DOUBLE_EQ(m.misery_index, 1.5);
    EXPECT_DOUBLE_EQ(m.reliability_rating, 100.0 * 750 / w);
    EXPECT_DOUBLE_EQ(m.semi_std_dev, std::sqrt(0.25 * 877.5 / w));
    EXPECT_DOUBLE_EQ(m.pct_tti_above_2, 0.0);
    EXPECT_DOUBLE_EQ(rel::tti_mean(r.observations), m.tti_mean);
    // Space mean speed 40 mi/h is TTI 1.5: only TTIs above it count; 45 mi/h counts Friday.
    EXPECT_DOUBLE_EQ(rel::failure_pct_below_speed(a, 40.0), 0.0);
    EXPECT_DOUBLE_EQ(rel::failure_pct_below_speed(a, 45.0), 100.0 * 877.5 / w);
    EXPECT_EQ(rel::failure_pct_below_speed(a, 0.0), 0.0);
}

TEST(HandCheckedStudy, WeightedByProbabilityAlone) {
    auto a = hand_checked_study(false);
    rel::run(a);
    const auto& m = *a.results.metrics;
    EXPECT_DOUBLE_EQ(m.total_weight, 2.0);  // four periods of probability 0.5
    EXPECT_DOUBLE_EQ(m.tti_mean, 1.25);
    EXPECT_DOUBLE_EQ(m.reliability_rating, 50.0);
    EXPECT_DOUBLE_EQ(m.tti_50, 1.0);
    // At 60 mi/h (TTI 1) every observation above free flow counts: half the weight.
    EXPECT_DOUBLE_EQ(rel::failure_pct_below_speed(a, 60.0), 50.0);
}

// The scratch facility that serves every scenario gives what a fresh copy of the seed gives: no
// incident, weather factor, schedule or result of one scenario reaches the next one, in the TTIs,
// the observation weights (served VMT) or the delay.
TEST(HandCheckedStudy, EveryScenarioAsOnAFreshCopyOfTheSeed) {
    auto a = testing_support::benchmark_study(18, 10, 1);
    a.scenario_generation.months = {1, 7};
    rel::run(a);
    const auto& set = *a.results.scenario_set;
    // The study must hold a scenario without incidents after one with them, else it shows nothing.
    bool incident_seen = false, clear_after_incident = false;
    for (const auto& s : set.scenarios) {
        clear_after_incident = clear_after_incident || (incident_seen && s.incidents.empty());
        incident_seen = incident_seen || !s.incidents.empty();
    }
    ASSERT_TRUE(clear_after_incident);

    rel::ScenarioFactors factors;
    std::vector<rel::TravelTimeObservation> observations;
    double expected_vhd = 0.0;
    for (std::size_t i = 0; i < set.scenarios.size(); ++i) {
        ff::FreewayFacility copy = a.facility;
        rel::scenario_factors(set.scenarios[i], a.scenario_generation, a.facility, factors);
        rel::apply_scenario(factors, a.facility, copy);
        ff::run_analysis(copy);
        const auto out = rel::evaluate_scenario_run(copy, set.scenarios[i].probability,
                                                    a.results.free_flow_travel_time_min, true, observations);
        EXPECT_EQ(out.result.tti, a.results.scenario_results[i].tti) << "scenario " << i;
        expected_vhd += out.vhd * set.scenarios[i].probability;
    }
    EXPECT_EQ(a.results.expected_vhd, expected_vhd);
    ASSERT_EQ(a.results.observations.size(), observations.size());
    for (std::size_t k = 0; k < observations.size(); ++k) {
        EXPECT_EQ(a.results.observations[k].tti, observations[k].tti) << "observation " << k;
        EXPECT_EQ(a.results.observations[k].weight, observations[k].weight) << "observation " << k;
    }
}

// ---- Failures -----------------------------------------------------------------------------------------

TEST(RunFailures, Messages) {
    rel::ReliabilityAnalysis empty;
    EXPECT_EQ(error_of([&] { rel::run(empty); }), "facility has no segments");
    auto a = hand_checked_study(true);
    a.facility.ffs = -60.0;
    EXPECT_EQ(error_of([&] { rel::run(a); }), "free-flow travel time must be positive");
    a.facility.ffs = 0.0;
    EXPECT_EQ(error_of([&] { rel::run(a); }),
              "free-flow travel time is not finite: a segment free-flow speed is 0 mi/h or too small");
    a = hand_checked_study(true);
    a.scenario_generation.replications = 0;
    EXPECT_EQ(error_of([&] { rel::run(a); }), "number of replications must be positive");
}

// A failed run leaves every result of the last successful run (or the empty state) as it was,
// whichever step fails: the run's checks, generation, or a scenario's facility run after earlier
// scenarios were evaluated.
TEST(RunFailures, LeaveThePreviousResults) {
    auto a = hand_checked_study(true);
    a.scenario_generation.replications = 0;
    EXPECT_EQ(error_of([&] { rel::run(a); }), "number of replications must be positive");
    EXPECT_EQ(a.results.free_flow_travel_time_min, 0.0);  // still the empty state
    EXPECT_FALSE(a.results.metrics.has_value());

    a.scenario_generation.replications = 1;
    rel::run(a);
    const rel::ReliabilityResults before = a.results;
    auto expect_results_as_before = [&] {
        const auto& r = a.results;
        EXPECT_EQ(r.free_flow_travel_time_min, before.free_flow_travel_time_min);
        EXPECT_EQ(r.expected_vhd, before.expected_vhd);
        EXPECT_EQ(r.observations.size(), before.observations.size());
        EXPECT_EQ(r.scenario_results.size(), before.scenario_results.size());
        ASSERT_TRUE(r.metrics.has_value());
        EXPECT_EQ(hcm::common::reliability::to_json(*r.metrics), hcm::common::reliability::to_json(*before.metrics));
        EXPECT_EQ(r.scenario_set, before.scenario_set);
    };

    // Another free-flow travel time, then a failure in generation.
    a.facility.segments[0].length_ft = 10560.0;
    a.scenario_generation.replications = 0;
    EXPECT_EQ(error_of([&] { rel::run(a); }), "number of replications must be positive");
    expect_results_as_before();

    // Monday (3000 veh/h on a capacity of 3200) runs; Friday's 1.17 x 3000 veh/h is oversaturated,
    // and the oversaturated engine refuses the time step.
    a.scenario_generation.replications = 1;
    a.facility.mainline_demand = {1000, 3000};
    for (auto& s : a.facility.segments) s.lanes = 2;
    a.facility.c_ifl_override = 1600.0 / ff::heavy_vehicle_factor(a.facility);
    a.facility.time_step_s = 0.001;
    EXPECT_TRUE(testing_support::starts_with(error_of([&] { rel::run(a); }), "time_step_s must be"));
    expect_results_as_before();
}

// ---- The reliability document -----------------------------------------------------------------------

TEST(ReliabilityDocument, KeysArrayFormAndDefaults) {
    const auto empty = rel::read_reliability_document("{}");
    EXPECT_TRUE(empty.facility.segments.empty());
    EXPECT_TRUE(empty.vmt_weighted);
    EXPECT_EQ(empty.scenario_generation, sg::ScenarioGenerationConfig{});
    EXPECT_FALSE(empty.results.metrics.has_value());

    const auto doc = rel::read_reliability_document(
        R"({"vmt_weighted": false, "other": {"x": [1]}, "facility": {"mainline_demand": [100, 200]},
            "scenario_generation": {"months": [7]}})");
    EXPECT_FALSE(doc.vmt_weighted);
    EXPECT_EQ(doc.facility.mainline_demand.size(), 2u);
    EXPECT_EQ(doc.scenario_generation.months, (std::vector<std::uint32_t>{7}));

    const auto array = rel::read_reliability_document(R"([{"ffs": 65}, {"replications": 2}])");
    EXPECT_EQ(array.facility.ffs, 65.0);
    EXPECT_EQ(array.scenario_generation.replications, 2u);
    EXPECT_TRUE(array.vmt_weighted);
}

struct DocumentError {
    const char* text;
    const char* message;
};

class ReliabilityDocumentErrors : public ::testing::TestWithParam<DocumentError> {};

TEST_P(ReliabilityDocumentErrors, Message) {
    EXPECT_EQ(error_of<jsonio::Error>([&] { return rel::read_reliability_document(GetParam().text); }),
              GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReliabilityDocumentErrors,
    ::testing::Values(
        DocumentError{R"({"facility": {}, "facility": {}})", "duplicate field `facility` at line 1 column 27"},
        DocumentError{"3", "invalid type: integer `3`, expected struct ReliabilityAnalysis at line 1 column 1"},
        DocumentError{"[{}, {}, true, 4]", "trailing characters at line 1 column 16"},
        DocumentError{"{} x", "trailing characters at line 1 column 4"},
        DocumentError{R"({"vmt_weighted": 1})", "invalid type: integer `1`, expected a boolean at line 1 column 18"}));

}  // namespace
