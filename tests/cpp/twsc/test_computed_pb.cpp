#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <utility>

#include "hcm/common/error.hpp"
#include "hcm/twsc/computed_pb.hpp"
#include "hcm/twsc/twsc.hpp"

using namespace hcm::twsc::computed_pb;
using hcm::twsc::twsc::PlatoonBlockage;
using hcm::twsc::twsc::Twsc;

namespace {

// Two through lanes per direction, no heavy vehicles: t_c of movements 1 and 4 is 4.1 s, 7 and
// 10 7.5 s, 8 and 11 6.5 s, 9 and 12 6.9 s; a step blocks movement x above Δ / t_c,x vehicles.
Twsc intersection() {
    Twsc t;
    t.geometry.major_lanes_per_direction = 2;
    t.demand = {.v1 = 100, .v2 = 900, .v4 = 80, .v5 = 800, .v7 = 60, .v8 = 40, .v9 = 70};
    return t;
}

UpstreamSignal uniform(double volume) { return {1000, 30, {}, volume}; }

// A signal whose through movement clears 30 vehicles at one per second from the start of a 30 s green.
UpstreamSignal platoon_signal() { return {1200, 35, {{1200, 3600, 0, 30, 30}}, 0}; }

using Signal = std::optional<UpstreamSignal>;
UpstreamSignals signals(double cycle, Signal eastbound = {}, Signal westbound = {}, double step = 1.0) {
    return {cycle, std::move(eastbound), std::move(westbound), step};
}

PlatoonBlockage blockage(const UpstreamSignals& s) { return compute_platoon_blockage(s, intersection()); }

TEST(TwscComputedBlockage, UniformArrivalsBlockTheMovementsWhoseThresholdTheyExceed) {
    // 800 veh/h: 0.222 vehicles per 1 s step, under 1/4.1 (movement 4) and above the minor thresholds.
    const PlatoonBlockage pb = blockage(signals(90, uniform(800)));
    EXPECT_EQ(pb, (PlatoonBlockage{.pb1 = 0, .pb4 = 0, .pb7 = 1, .pb8 = 1, .pb9 = 1, .pb10 = 1, .pb11 = 1, .pb12 = 0}));
    const PlatoonBlockage wb = blockage(signals(90, {}, uniform(800)));
    EXPECT_EQ(wb, (PlatoonBlockage{.pb1 = 0, .pb4 = 0, .pb7 = 1, .pb8 = 1, .pb9 = 0, .pb10 = 1, .pb11 = 1, .pb12 = 1}));
    EXPECT_EQ(blockage(signals(90)), PlatoonBlockage{});  // no signal, no platoons
}

TEST(TwscComputedBlockage, AnArrivalAtTheThresholdDoesNotBlock) {
    const double at_threshold = 3600 / 6.9;  // movement 9: exactly Δ / t_c per step
    PlatoonBlockage pb = blockage(signals(90, uniform(at_threshold)));
    EXPECT_EQ(pb.pb9, 0.0);
    EXPECT_EQ(pb.pb7, 1.0);  // 1/7.5 is lower
    EXPECT_EQ(pb.pb8, 0.0);  // 1/6.5 is higher
    pb = blockage(signals(90, uniform(std::nextafter(at_threshold, 1e9))));
    EXPECT_EQ(pb.pb9, 1.0);
}

TEST(TwscComputedBlockage, PlatoonsBlockPartOfTheCycleAndBothDirectionsCountOnce) {
    const PlatoonBlockage eb = blockage(signals(90, platoon_signal()));
    EXPECT_GT(eb.pb7, 0.0);
    EXPECT_LT(eb.pb7, 1.0);
    EXPECT_DOUBLE_EQ(eb.pb7 * 90, std::round(eb.pb7 * 90));  // whole steps of the cycle
    EXPECT_GE(eb.pb7, eb.pb9);  // the lower threshold blocks at least as often
    EXPECT_GE(eb.pb9, eb.pb4);
    EXPECT_EQ(eb.pb1, 0.0);
    // The same platoons from both sides in the same steps: each step counts once.
    const PlatoonBlockage both = blockage(signals(90, platoon_signal(), platoon_signal()));
    EXPECT_EQ(both.pb7, eb.pb7);
    EXPECT_EQ(both.pb1, eb.pb4);
}

TEST(TwscComputedBlockage, StepCountAndProportionLimits) {
    EXPECT_EQ(profile_steps(signals(90)), 90u);
    EXPECT_EQ(profile_steps(signals(90, {}, {}, 0.4)), 225u);
    EXPECT_EQ(profile_steps(signals(90, {}, {}, 2.1)), 43u);  // 42.86 rounds up
    EXPECT_EQ(profile_steps(signals(-90)), 0u);
    // 43 blocked steps of 2.1 s exceed the 90 s cycle: held at 1.
    EXPECT_EQ(blockage(signals(90, uniform(2000), {}, 2.1)).pb7, 1.0);
    EXPECT_EQ(blockage(signals(0, uniform(2000))), PlatoonBlockage{});
}

TEST(TwscComputedBlockage, AnalysisStoresTheBlockageOnceAndKeepsGivenValues) {
    Twsc t = intersection();
    t.upstream_signals = signals(90, uniform(800));
    analyze(t);
    ASSERT_TRUE(t.platoon_blockage);
    EXPECT_EQ(t.platoon_blockage->pb7, 1.0);
    const Twsc first = t;
    t.upstream_signals = signals(90);  // other signals: the stored values stay
    analyze(t);
    EXPECT_EQ(t.platoon_blockage, first.platoon_blockage);
    EXPECT_EQ(t.movements, first.movements);

    Twsc given = intersection();
    given.platoon_blockage = PlatoonBlockage{.pb9 = 0.5};
    given.upstream_signals = signals(90, uniform(800));
    analyze(given);
    EXPECT_EQ(given.platoon_blockage, (PlatoonBlockage{.pb9 = 0.5}));
}

TEST(TwscComputedBlockage, TooManyStepsAreRefusedBeforeAnythingChanges) {
    Twsc t = intersection();
    analyze(t);
    for (double step : {0.0, 1e-6}) {
        t.upstream_signals = signals(90, platoon_signal(), {}, step);
        const Twsc before = t;
        try {
            analyze(t);
            FAIL() << "no error";
        } catch (const hcm::Error& e) {
            EXPECT_EQ(std::string(e.what()), "too many platoon-profile steps: " + std::to_string(profile_steps(*t.upstream_signals)));
        }
        EXPECT_EQ(t, before);
    }
    t.upstream_signals = signals(1'000'000, uniform(10));  // at the limit
    EXPECT_NO_THROW(analyze(t));
}

TEST(TwscComputedBlockage, DocumentReader) {
    const UpstreamSignals s = read_upstream_signals(
        R"({"cycle_s": 90, "eastbound": {"distance_ft": 1000, "progression_speed_mph": 30,
            "discharges": [[900, 3600, 0, 50, 20]]}, "westbound": null} )");
    EXPECT_EQ(s.time_step_s, 1.0);
    EXPECT_EQ(s.eastbound->uniform_volume_veh_h, 0.0);
    EXPECT_EQ(s.eastbound->discharges.at(0).green_duration_s, 50.0);
    EXPECT_FALSE(s.westbound);
    EXPECT_EQ(read_upstream_signals("[90]"), (signals(90)));
    auto error = [](const char* text) {
        try {
            read_upstream_signals(text);
        } catch (const hcm::Error& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(error("{}"), "invalid upstream_signals JSON: missing field `cycle_s` at line 1 column 2");
    EXPECT_EQ(error("[]"), "invalid upstream_signals JSON: invalid length 0, expected struct UpstreamSignals with 4 "
                           "elements at line 1 column 2");
    EXPECT_EQ(error(R"({"cycle_s": 90} x)"), "invalid upstream_signals JSON: trailing characters at line 1 column 17");
    EXPECT_EQ(error(R"({"cycle_s": 90, "eastbound": {"distance_ft": 1, "progression_speed_mph": 1}})"),
              "invalid upstream_signals JSON: missing field `discharges` at line 1 column 75");
    EXPECT_EQ(error(R"({"cycle_s": 90, "eastbound": 3})"),
              "invalid upstream_signals JSON: invalid type: integer `3`, expected struct UpstreamSignal at line 1 "
              "column 30");
}

}  // namespace
