// A long computation cancelled at any of its polls leaves its record exactly as it was: the first
// poll, one in the middle and the last one are tried on each, after an earlier analysis stored
// results and an input changed since.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "../support/facilities.hpp"
#include "base/cancel.hpp"
#include "hcm/common/error.hpp"
#include "hcm/freeway_facilities/facility_json.hpp"
#include "hcm/freeway_facilities/managed_lanes.hpp"
#include "hcm/freeway_reliability/reliability_analysis.hpp"
#include "hcm/offstreet_pedbike/offstreet_pedbike.hpp"
#include "hcm/urban_facilities/urban_facilities.hpp"
#include "hcm/urban_reliability/urban_reliability.hpp"
#include "hcm/urban_segments/urban_segments.hpp"

namespace {

namespace ff = hcm::freeway_facilities::freeway_facilities;
namespace ml = hcm::freeway_facilities::managed_lanes;
namespace rel = hcm::freeway_reliability::reliability;
namespace uf = hcm::urban_facilities::urban_facilities;
namespace ur = hcm::urban_reliability::urban_reliability;
using hcm::offstreet_pedbike::OffStreetBicycleFacility;
using hcm::urban_segments::platoon_dispersion::MovementDischarge;
using hcm::urban_segments::urban_segments::BoundaryControlType;
using hcm::urban_segments::urban_segments::UrbanSegment;

// The polls seen so far, and the one that stops the call (0: none).
int polls = 0;
int stop_at = 0;
bool count_and_stop() { return ++polls == stop_at; }

// Runs `call` on `record`, stopping it at poll `at` (0: never); returns the polls it made.
template <class R>
int run_stopping_at(R& record, const std::function<void(R&)>& call, int at) {
    polls = 0;
    stop_at = at;
    base::CancelScope scope(count_and_stop);
    call(record);
    return polls;
}

template <class R>
void expect_cancellations_leave_the_record(const R& record, const std::function<void(R&)>& call,
                                           const std::function<std::string(const R&)>& state) {
    R full = record;
    const int total = run_stopping_at(full, call, 0);
    ASSERT_GE(total, 3) << "too few polls to stop part-way";
    EXPECT_NE(state(full), state(record)) << "the call changes nothing to roll back";
    for (int at : {1, total / 2, total}) {
        R cancelled = record;
        EXPECT_THROW(run_stopping_at(cancelled, call, at), base::Cancelled) << at;
        EXPECT_EQ(state(cancelled), state(record)) << at;
    }
}

// An oversaturated three-segment facility (a two-lane bottleneck), analysed once with the lighter
// demand and not since the heavier one was set.
ff::FreewayFacility congested_facility() {
    ff::FreewayFacility f;
    f.segments = {testing_support::segment(ff::SegmentType::Basic),
                  testing_support::segment(ff::SegmentType::Basic, 1500.0, 2),
                  testing_support::segment(ff::SegmentType::Basic)};
    f.mainline_demand = {3000, 3000, 3000, 3000};
    ff::run_analysis(f);
    f.mainline_demand = {3000, 5000, 5500, 3000};
    return f;
}

UrbanSegment profile_segment() {
    UrbanSegment s;
    s.segment_length_ft = 1320.0;
    s.n_through_lanes = 2;
    s.through_demand_veh_h = 900.0;
    s.through_capacity_veh_h = 1710.0;
    s.through_control_delay_s = 20.0;
    s.control = BoundaryControlType::Signalized;
    s.cycle_length_s = 100.0;
    s.effective_green_s = 45.0;
    s.sat_flow_veh_h_ln = 1900.0;
    s.upstream_discharge_profiles = std::vector<MovementDischarge>{{900, 3600, 0, 40, 15}};
    s.flow_profile_time_step_s = 1e-3;  // 10^5 steps: a profile that polls
    return s;
}

uf::UrbanFacility urban_facility() {
    UrbanSegment plain = profile_segment();
    plain.upstream_discharge_profiles.reset();
    uf::UrbanFacility f;
    f.segments = {plain, profile_segment()};
    uf::analyze(f);
    for (UrbanSegment& s : f.segments) s.through_demand_veh_h = 1200.0;
    return f;
}

TEST(CancelledCalls, FreewayFacility) {
    expect_cancellations_leave_the_record<ff::FreewayFacility>(
        congested_facility(), [](ff::FreewayFacility& f) { ff::run_analysis(f); },
        [](const ff::FreewayFacility& f) { return ff::write_facility(f); });
}

TEST(CancelledCalls, ManagedLaneFacility) {
    ml::ManagedLaneFacility f;
    f.gp = congested_facility();
    ml::MlSegmentInput lane;
    f.ml = {lane, std::nullopt, lane};
    f.ml_entry_demand = {800};
    f.cross_weave = {std::nullopt, ml::CrossWeave{{500}, 2000}, std::nullopt};
    expect_cancellations_leave_the_record<ml::ManagedLaneFacility>(
        f, [](ml::ManagedLaneFacility& m) { ml::run_analysis(m); },
        [](const ml::ManagedLaneFacility& m) { return ml::write_managed_lane_facility(m); });
}

TEST(CancelledCalls, FreewayReliability) {
    rel::ReliabilityAnalysis a;
    a.facility = congested_facility();
    a.scenario_generation.replications = 1;
    rel::run(a);
    a.scenario_generation.months = {3, 4};
    expect_cancellations_leave_the_record<rel::ReliabilityAnalysis>(
        a, [](rel::ReliabilityAnalysis& r) { rel::run(r); },
        [](const rel::ReliabilityAnalysis& r) {
            return std::to_string(r.results.scenario_results.size()) + " " + std::to_string(r.results.expected_vhd);
        });
}

TEST(CancelledCalls, UrbanSegment) {
    UrbanSegment s = profile_segment();
    s.analyze();
    s.through_demand_veh_h = 1200.0;
    expect_cancellations_leave_the_record<UrbanSegment>(
        s, [](UrbanSegment& r) { r.analyze(); },
        [](const UrbanSegment& r) { return hcm::urban_segments::urban_segments::write_urban_segment(r); });
}

TEST(CancelledCalls, UrbanFacility) {
    expect_cancellations_leave_the_record<uf::UrbanFacility>(
        urban_facility(), [](uf::UrbanFacility& f) { uf::analyze(f); },
        [](const uf::UrbanFacility& f) { return uf::write_urban_facility(f); });
}

TEST(CancelledCalls, SmallProfilesNeverStopASegment) {
    uf::UrbanFacility f = urban_facility();
    for (UrbanSegment& s : f.segments) s.flow_profile_time_step_s = 0.01;  // 10^4 steps
    // One poll before each segment, none inside it.
    EXPECT_EQ(run_stopping_at<uf::UrbanFacility>(f, [](uf::UrbanFacility& r) { uf::analyze(r); }, 0), 2);
}

ur::UrbanReliability urban_study() {
    ur::UrbanReliability u;
    u.facility = urban_facility();
    u.config.months = {1};
    u.config.days_of_week = {1};
    u.config.analysis_periods_per_day = 4;
    u.config.boundary_signals.assign(2, ur::BoundarySignal{});
    u.config.incidents.segment_crash_frequencies = {5.0, 5.0};
    u.config.incidents.intersection_crash_frequencies = {8.0, 8.0, 8.0};
    return u;
}

// The base case polls before each of its segments: a study whose base case would fail to
// aggregate is cancelled there, before the aggregation is reached.
TEST(CancelledCalls, UrbanReliabilityBaseCasePolls) {
    ur::UrbanReliability u = urban_study();
    for (UrbanSegment& s : u.facility.segments) s.upstream_discharge_profiles.reset();
    u.facility.segments[1].segment_length_ft = 0.0;
    EXPECT_THROW(run_stopping_at<ur::UrbanReliability>(u, [](ur::UrbanReliability& r) { ur::run(r); }, 2),
                 base::Cancelled);
    EXPECT_THROW(ur::run(u), hcm::Error);
}

TEST(CancelledCalls, UrbanReliability) {
    ur::UrbanReliability u = urban_study();
    ur::run(u);
    u.config.analysis_periods_per_day = 6;
    expect_cancellations_leave_the_record<ur::UrbanReliability>(
        u, [](ur::UrbanReliability& r) { ur::run(r); },
        [](const ur::UrbanReliability& r) {
            return uf::write_urban_facility(r.facility) + std::to_string(r.weather_events.size()) + " " +
                   std::to_string(r.incidents.size()) + " " + std::to_string(r.scenarios.size()) + " " +
                   std::to_string(r.scenario_outcomes.size()) + " " + std::to_string(r.observations.size()) + " " +
                   (r.results ? ur::write_results(*r.results) : "");
        });
}

TEST(CancelledCalls, OffStreetBicycleFacility) {
    OffStreetBicycleFacility f;
    f.path_width = 10.0;
    f.segment_length = 1.0;
    f.two_way_demand = 300.0;
    const std::function<std::string(const OffStreetBicycleFacility&)> state = [](const OffStreetBicycleFacility& b) {
        auto text = [](const std::optional<double>& v) { return v ? std::to_string(*v) : std::string("-"); };
        return text(b.subject_flow_rates ? std::optional((*b.subject_flow_rates)[0]) : std::nullopt) + " " +
               text(b.active_passings_per_minute) + " " + text(b.meetings_per_minute) + " " +
               text(b.delayed_passings_per_minute) + " " + text(b.blos_score);
    };
    for (auto step : std::vector<std::function<void(OffStreetBicycleFacility&)>>{
             [](OffStreetBicycleFacility& b) { b.analyze(); },
             [](OffStreetBicycleFacility& b) { b.determine_blos(); },
             [](OffStreetBicycleFacility& b) { b.calculate_meetings_per_minute(); }}) {
        expect_cancellations_leave_the_record<OffStreetBicycleFacility>(f, step, state);
    }
}

}  // namespace
