// A call that stores results either finishes or leaves its record exactly as it was. Each call is
// run with its n-th allocation failing, for n = 1, 2, ... until it succeeds, and (where it polls)
// cancelled at its n-th poll in the same way; after every failure the record's document reads as
// before. The records have stored results of an earlier analysis and a changed input, so that a
// half-finished call would show.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <new>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "base/cancel.hpp"
#include "../cpp/ramp_terminals/interchanges.hpp"
#include "failing_allocator.hpp"
#include "hcm/awsc/awsc.hpp"
#include "hcm/freeway_facilities/facility_json.hpp"
#include "hcm/freeway_facilities/freeway_facilities.hpp"
#include "hcm/freeway_facilities/managed_lanes.hpp"
#include "hcm/freeway_reliability/reliability_analysis.hpp"
#include "hcm/roundabouts/roundabouts.hpp"
#include "hcm/signalized/signalized.hpp"
#include "hcm/twsc/twsc.hpp"
#include "hcm/urban_facilities/urban_facilities.hpp"
#include "hcm/urban_reliability/urban_reliability.hpp"
#include "hcm/urban_segments/urban_segments.hpp"

namespace {

namespace aw = hcm::awsc::awsc;
namespace ff = hcm::freeway_facilities::freeway_facilities;
namespace ml = hcm::freeway_facilities::managed_lanes;
namespace rel = hcm::freeway_reliability::reliability;
namespace rt = hcm::ramp_terminals::ramp_terminals;
namespace rb = hcm::roundabouts::roundabouts;
namespace si = hcm::signalized::signalized;
namespace tw = hcm::twsc::twsc;
namespace uf = hcm::urban_facilities::urban_facilities;
namespace ur = hcm::urban_reliability::urban_reliability;
namespace us = hcm::urban_segments::urban_segments;

// ---- The two ways to fail a call part-way ---------------------------------------------------------

// The polls seen since the call started, and the one that cancels it.
std::uint64_t polls = 0;
std::uint64_t cancel_at = 0;
bool count_and_cancel() { return ++polls == cancel_at; }

enum class Failure { Allocation, Cancellation };

// Runs `call` with failure number n armed; true when the call failed.
template <class Call>
bool fails(Failure failure, std::uint64_t n, Call& call) {
    if (failure == Failure::Allocation) {
        try {
            failing_allocator::FailingAllocation armed(n);
            call();
        } catch (const std::bad_alloc&) {
            return true;
        }
        return false;
    }
    polls = 0;
    cancel_at = n;
    try {
        base::CancelScope scope(count_and_cancel);
        call();
    } catch (const base::Cancelled&) {
        return true;
    }
    return false;
}

// A call on a record, type-erased: `run(failure)` fails the call at every point in turn.
struct FailedCall {
    std::string name;
    bool polls;  // whether the call polls for cancellation at all
    std::function<void(Failure)> run;
};

void PrintTo(const FailedCall& call, std::ostream* out) { *out << call.name; }

template <class R>
FailedCall failed_call(std::string name, bool polls, std::function<R()> make, std::function<void(R&)> call,
                       std::function<std::string(const R&)> document) {
    return {name, polls, [make, call, document](Failure failure) {
                R record = make();
                const std::string before = document(record);
                auto run = [&] { call(record); };
                std::uint64_t n = 1;
                for (; fails(failure, n, run); ++n) {
                    ASSERT_EQ(document(record), before) << "failure " << n;
                }
                EXPECT_GT(n, 1u) << "the call never reached a point where it can fail";
                EXPECT_NE(document(record), before) << "the call changes nothing";
            }};
}

// ---- The records -----------------------------------------------------------------------------------

// A four-leg TWSC (flared NB approach, two-stage crossings, a shared EB left turn) with platoons
// from two upstream signals.
constexpr char TWSC[] = R"({
  "demand": {"v1": 90, "v1u": 10, "v2": 850, "v3": 90, "v4": 70, "v5": 780, "v6": 110, "v7": 50, "v8": 30,
             "v9": 80, "v10": 40, "v11": 25, "v12": 60, "v13": 20, "v16": 15},
  "geometry": {"major_lanes_per_direction": 2, "major_left_eb": "Shared", "minor_lanes_nb": "SingleShared",
               "flare_storage_nb": 2, "minor_lanes_sb": "ExclusiveLeftSharedThroughRight",
               "median_storage_nb": 2, "median_storage_sb": 1},
  "phf": 0.92, "heavy_vehicle_pct": 4,
  "upstream_signals": {"cycle_s": 100,
    "eastbound": {"distance_ft": 1500, "progression_speed_mph": 35,
                  "discharges": [[700, 3600, 0, 45, 18], [120, 1800, 50, 12, 6]]},
    "westbound": {"distance_ft": 1100, "progression_speed_mph": 35, "discharges": [[650, 3600, 30, 40, 16]]}}})";

tw::Twsc twsc_analysed() {
    tw::Twsc t = tw::read_twsc(TWSC);
    tw::analyze(t);
    t.demand.v2 = 1100.0;
    return t;
}

// A three-lane, two two-lane and a one-lane approach.
constexpr char AWSC[] = R"({
  "eb": {"lanes": [[80, 120, 0], [0, 220, 0], [0, 150, 90]], "heavy_vehicle_pct": 4},
  "wb": {"lanes": [[60, 180, 0], [0, 200, 70]]},
  "nb": {"lanes": [[40, 160, 0], [0, 150, 60]], "heavy_vehicle_pct": 8},
  "sb": {"lanes": [[50, 200, 40]]}, "phf": 0.92})";

aw::Awsc awsc_analysed() {
    aw::Awsc a = aw::read_awsc(AWSC);
    aw::analyze(a);
    a.sb.lanes[0].volume_through = 300.0;
    return a;
}

// Two-lane entries, yielding and non-yielding bypass lanes, pedestrians.
constexpr char ROUNDABOUT[] = R"({
  "nb": {"v_l": 150, "v_t": 500, "v_r": 200, "entry_lanes": 2, "circulating_lanes": 2, "bypass": "Yielding",
         "n_ped": 50},
  "sb": {"v_u": 10, "v_l": 120, "v_t": 450, "v_r": 90, "entry_lanes": 2, "circulating_lanes": 2,
         "bypass": "NonYielding", "n_ped": 120},
  "eb": {"v_l": 80, "v_t": 300, "v_r": 100, "entry_lanes": 2, "circulating_lanes": 2,
         "lane_assignment": "LeftAndThroughRight", "n_ped": 200},
  "wb": {"v_l": 90, "v_t": 280, "v_r": 160, "entry_lanes": 1, "bypass": "Yielding", "exiting_lanes": 2},
  "phf": 0.95})";

rb::Roundabouts roundabout_analysed() {
    rb::Roundabouts r = rb::read_roundabouts(ROUNDABOUT);
    rb::analyze(r);
    r.nb.v_t = 650.0;
    return r;
}

// Four actuated approaches with protected-permitted left turns (each steps through its queue
// polygon): an exclusive left lane, two through lanes and a shared right-through lane each.
si::SignalizedIntersection signalized_analysed() {
    using hcm::common::intersection::Direction;
    si::SignalizedIntersection x;
    x.cycle_length_s = 120.0;
    x.analysis_period_h = 0.25;
    x.base_saturation_flow = 1900.0;
    x.control = hcm::common::intersection::ControlType::ActuatedSignal;
    x.sneakers_per_cycle = 2.0;
    auto phase = [](std::uint8_t number, double duration, double yellow, double max_green) {
        si::PhaseTiming p;
        p.phase_no = number;
        p.duration_s = duration;
        p.yellow_s = yellow;
        p.red_clearance_s = 1.0;
        p.max_green_s = max_green;
        p.passage_time_s = 3.0;
        return p;
    };
    auto approach = [&](Direction d, double left, double through, std::uint8_t left_no, std::uint8_t through_no) {
        si::SignalApproach a;
        a.direction = d;
        a.volume_left = left;
        a.volume_through = through;
        a.volume_right = 120.0;
        a.peak_hour_factor = 0.92;
        a.pct_heavy_vehicles_through = 3.0;
        a.platoon_ratio_left = a.platoon_ratio_through = a.upstream_filtering_i = 1.0;
        a.initial_queue_through_veh = 2.0;
        a.ped_flow_ph = 60.0;
        a.exclusive_left_lanes = 1;
        a.through_lanes = 2;
        a.shared_right_through_lane = true;
        a.lane_width_ft = 12.0;
        a.receiving_lanes = 3;
        a.storage_left_ft = 250.0;
        a.storage_through_ft = 900.0;
        a.speed_limit_mph = 40.0;
        a.left_turn_mode = si::LeftTurnMode::ProtectedPermitted;
        a.left_turn_sequence = si::LeftTurnSequence::LeadLead;
        a.left_phase = phase(left_no, 16.0, 3.0, 15.0);
        a.through_phase = phase(through_no, 44.0, 4.0, 45.0);
        return a;
    };
    x.approaches = {approach(Direction::NB, 180, 1100, 5, 2), approach(Direction::SB, 150, 1000, 1, 6),
                    approach(Direction::EB, 120, 800, 7, 4), approach(Direction::WB, 100, 900, 3, 8)};
    si::analyze(x);
    x.approaches[0].volume_through = 1300.0;
    return x;
}

// A signalized segment whose arrivals disperse from three upstream movements, with four
// access-point approaches.
constexpr char SEGMENT[] = R"({
  "segment_length_ft": 1800, "n_through_lanes": 2, "speed_limit_mph": 35, "through_demand_veh_h": 1100,
  "control": "Signalized", "through_capacity_veh_h": 1750, "through_control_delay_s": 22.0,
  "cycle_length_s": 120, "effective_green_s": 55, "downstream_green_start_s": 40, "stopped_vehicles_veh_ln": 7,
  "queue2_veh_ln": 1.2, "sat_flow_veh_h_ln": 1800, "prop_left_turn_lanes": 0.5,
  "upstream_discharge_profiles": [[900, 3600, 0, 50, 20], [200, 1800, 55, 15, 8], [150, 1700, 75, 20, 5]],
  "arrival_uniform_volume_veh_h": 80,
  "access_point_approaches": [[60, 900, 80, 1, 0, 1, 700, false, false, 0, 0.0, 3.0],
                              [60, 900, 80, 1, 0, 1, 700, true, false, 1, 100.0, 3.0]]})";

us::UrbanSegment segment_analysed() {
    us::UrbanSegment s = us::read_urban_segment(SEGMENT);
    s.analyze();
    s.through_demand_veh_h = 1300.0;
    return s;
}

// The segment above, a plain one and the segment again, with the queue-storage check.
uf::UrbanFacility facility() {
    us::UrbanSegment plain = us::read_urban_segment(SEGMENT);
    plain.upstream_discharge_profiles.reset();
    plain.access_point_approaches.reset();
    uf::UrbanFacility f;
    f.segments = {us::read_urban_segment(SEGMENT), plain, us::read_urban_segment(SEGMENT)};
    f.prop_left_turn_lanes = 0.5;
    f.spillback_inputs = std::vector<uf::SpillbackCheckInput>(3, {300.0, 8.0, 25.0});
    return f;
}

uf::UrbanFacility facility_analysed() {
    uf::UrbanFacility f = facility();
    uf::analyze(f);
    for (us::UrbanSegment& s : f.segments) s.through_demand_veh_h = 1300.0;
    return f;
}

// Analysed without the queue-storage check, which the next aggregation adds.
uf::UrbanFacility facility_to_aggregate() {
    uf::UrbanFacility f = facility();
    std::vector<uf::SpillbackCheckInput> inputs = *f.spillback_inputs;
    f.spillback_inputs.reset();
    uf::analyze(f);
    f.spillback_inputs = inputs;
    return f;
}

// A study of one January Monday in four periods, run once before its periods became six.
ur::UrbanReliability study_run() {
    ur::UrbanReliability u;
    u.facility = facility();
    u.facility.segments.pop_back();
    u.facility.spillback_inputs.reset();
    u.config.months = {1};
    u.config.days_of_week = {1};
    u.config.analysis_periods_per_day = 4;
    u.config.boundary_signals.assign(2, ur::BoundarySignal{});
    u.config.incidents.segment_crash_frequencies = {5.0, 5.0};
    u.config.incidents.intersection_crash_frequencies = {8.0, 8.0, 8.0};
    ur::run(u);
    u.config.analysis_periods_per_day = 6;
    return u;
}

std::string study_state(const ur::UrbanReliability& u) {
    return uf::write_urban_facility(u.facility) + " " + std::to_string(u.weather_events.size()) + " " +
           std::to_string(u.incidents.size()) + " " + std::to_string(u.scenarios.size()) + " " +
           std::to_string(u.scenario_outcomes.size()) + " " + std::to_string(u.observations.size()) + " " +
           (u.results ? ur::write_results(*u.results) : "");
}

// The diamond of the interchange tests with its lane groups six times over (72 groups, so that the
// loops over them poll), analysed once before its O-D demand grew.
rt::Interchange interchange_analysed() {
    rt::Interchange ix = ramp_fixtures::diamond();
    const std::vector<rt::LaneGroupInput> groups = ix.lane_groups;
    for (int copy = 1; copy < 6; ++copy) ix.lane_groups.insert(ix.lane_groups.end(), groups.begin(), groups.end());
    rt::analyze(ix);
    ix.od.a *= 1.3;
    return ix;
}

// Six freeway segments (a metered merge, a diverge) over four periods whose peak overloads them.
constexpr char FREEWAY_SEGMENTS[] = R"([
  {"seg_type": "Basic", "length_ft": 1500, "lanes": 3},
  {"seg_type": "Merge", "length_ft": 1750, "lanes": 3, "on_ramp_demand": [500, 712, 800, 712],
   "ramp_metering": [900, 900, 900, 900]},
  {"seg_type": "Basic", "length_ft": 2000, "lanes": 3},
  {"seg_type": "Diverge", "length_ft": 2250, "lanes": 3, "off_ramp_demand": [450, 627, 700, 627]},
  {"seg_type": "Basic", "length_ft": 1500, "lanes": 3}, {"seg_type": "Basic", "length_ft": 1750, "lanes": 3}])";
constexpr char MAINLINE_DEMAND[] = "[3200, 4400, 5600, 4400]";

std::string freeway_document() {
    return std::string(R"({"segments": )") + FREEWAY_SEGMENTS + R"(, "mainline_demand": )" + MAINLINE_DEMAND + "}";
}

ff::FreewayFacility freeway_analysed() {
    ff::FreewayFacility f = ff::read_facility(freeway_document());
    ff::run_analysis(f);
    for (double& d : f.mainline_demand) d *= 1.2;
    return f;
}

// The same general-purpose lanes beside managed lanes of every kind.
ml::ManagedLaneFacility managed_lanes_analysed() {
    ml::ManagedLaneFacility f = ml::read_managed_lane_facility(
        std::string(R"({"gp": )") + freeway_document() + R"(, "ml": [
          {"lane_type": "ContinuousAccess", "ffs": 65}, {"lane_type": "Buffer1", "ffs": 65},
          {"lane_type": "Buffer2", "ffs": 65, "on_ramp_demand": [150, 150, 150, 150]},
          {"lane_type": "Barrier1", "ffs": 65}, {"lane_type": "Barrier2", "ffs": 65},
          {"lane_type": "ContinuousAccess", "ffs": 65, "off_ramp_demand": [150, 150, 150, 150]}],
          "ml_entry_demand": [900, 1250, 1600, 1250]})");
    ml::run_analysis(f);
    for (double& d : f.ml_entry_demand) d *= 1.2;
    return f;
}

// A study of March with weather and incidents, run once before its replications became two.
rel::ReliabilityAnalysis freeway_study_run() {
    rel::ReliabilityAnalysis a = rel::read_reliability_document(
        std::string(R"({"facility": )") + freeway_document() + R"(, "scenario_generation": {
          "replications": 1, "rng_seed": 2024, "months": [3], "incidents": {"crash_rate_per_100mvmt": 40.0},
          "weather": {"probabilities_by_month": [)" +
        [] {
            std::string months;
            for (int m = 0; m < 12; ++m)
                months += std::string(m ? ", " : "") + "[0.06, 0.015, 0.04, 0.02, 0.01, 0.004, 0.02, 0.01, 0.004, 0.002]";
            return months;
        }() + R"(], "durations_min": [75, 45, 120, 150, 180, 240, 360, 90, 60, 45]}}})");
    rel::run(a);
    a.scenario_generation.replications = 2;
    return a;
}

std::string freeway_study_state(const rel::ReliabilityAnalysis& a) {
    return ff::write_facility(a.facility) + " " + std::to_string(a.results.scenario_results.size()) + " " +
           std::to_string(a.results.observations.size()) + " " + std::to_string(a.results.expected_vhd) +
           (a.results.metrics ? " metrics" : "") + (a.results.scenario_set ? " scenarios" : "");
}

std::vector<FailedCall> failed_calls() {
    return {
        failed_call<tw::Twsc>("TwscFirstAnalysis", false, [] { return tw::read_twsc(TWSC); }, tw::analyze,
                              tw::write_twsc),
        failed_call<tw::Twsc>("TwscReanalysis", false, twsc_analysed, tw::analyze, tw::write_twsc),
        failed_call<aw::Awsc>("Awsc", true, awsc_analysed, aw::analyze, aw::write_awsc),
        failed_call<aw::Awsc>(
            "AwscLaneCapacity", true, [] { return aw::read_awsc(AWSC); },
            [](aw::Awsc& a) { aw::compute_lane_capacity(a, aw::SB, 0); }, aw::write_awsc),
        failed_call<rb::Roundabouts>("Roundabouts", false, roundabout_analysed, rb::analyze, rb::write_roundabouts),
        failed_call<si::SignalizedIntersection>("SignalizedIntersection", true, signalized_analysed, si::analyze,
                                                si::intersection_to_json),
        failed_call<us::UrbanSegment>(
            "UrbanSegment", false, segment_analysed, [](us::UrbanSegment& s) { s.analyze(); }, us::write_urban_segment),
        failed_call<uf::UrbanFacility>(
            "UrbanFacility", true, facility_analysed, [](uf::UrbanFacility& f) { uf::analyze(f); },
            uf::write_urban_facility),
        failed_call<uf::UrbanFacility>(
            "UrbanFacilityAggregate", false, facility_to_aggregate, [](uf::UrbanFacility& f) { uf::aggregate(f); },
            uf::write_urban_facility),
        failed_call<ur::UrbanReliability>(
            "UrbanReliability", true, study_run, [](ur::UrbanReliability& u) { ur::run(u); }, study_state),
        failed_call<rt::Interchange>("Interchange", true, interchange_analysed, rt::analyze, rt::write_interchange),
        failed_call<ff::FreewayFacility>("FreewayFacility", true, freeway_analysed, ff::run_analysis, ff::write_facility),
        failed_call<ml::ManagedLaneFacility>("ManagedLaneFacility", true, managed_lanes_analysed, ml::run_analysis,
                                             ml::write_managed_lane_facility),
        failed_call<rel::ReliabilityAnalysis>("FreewayReliability", true, freeway_study_run, rel::run,
                                              freeway_study_state),
    };
}

std::vector<FailedCall> polling_calls() {
    std::vector<FailedCall> out;
    for (FailedCall& c : failed_calls())
        if (c.polls) out.push_back(std::move(c));
    return out;
}

std::string name_of(const testing::TestParamInfo<FailedCall>& info) { return info.param.name; }

class AllocationFailures : public ::testing::TestWithParam<FailedCall> {};
TEST_P(AllocationFailures, EachLeavesTheRecordAsItWas) { GetParam().run(Failure::Allocation); }
INSTANTIATE_TEST_SUITE_P(Analyses, AllocationFailures, ::testing::ValuesIn(failed_calls()), name_of);

class Cancellations : public ::testing::TestWithParam<FailedCall> {};
TEST_P(Cancellations, EachLeavesTheRecordAsItWas) { GetParam().run(Failure::Cancellation); }
INSTANTIATE_TEST_SUITE_P(Analyses, Cancellations, ::testing::ValuesIn(polling_calls()), name_of);

}  // namespace
