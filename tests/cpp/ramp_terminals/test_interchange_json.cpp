// The interchange document: reading rules, messages, key order and round trips.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "../support/checks.hpp"
#include "interchanges.hpp"
#include "json/jsonio.hpp"

using namespace hcm::ramp_terminals::ramp_terminals;
using namespace ramp_fixtures;
using testing_support::error_of;

namespace {

jsonio::Json document(const Interchange& ix) { return jsonio::Json::parse(write_interchange(ix)); }

std::string read_error(const jsonio::Json& doc) {
    return error_of<jsonio::Error>([&] { return read_interchange(doc.dump()); });
}

TEST(InterchangeDocument, WritesEveryKeyInOrderAndReadsBack) {
    const Interchange fresh = diamond();
    const jsonio::Json doc = document(fresh);
    std::vector<std::string> keys;
    for (const auto& [key, value] : doc.items()) keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{
                        "form", "cycle_length_s", "analysis_period_h", "base_saturation_flow", "area_type_cbd",
                        "peak_hour_factor", "distance_between_intersections_ft", "queue_spacing_ft", "od",
                        "eb_external_right_shared", "wb_external_right_shared", "ddi_eb_lane_config",
                        "ddi_wb_lane_config", "extra_distances", "extra_distance_speed_mph", "lane_groups",
                        "od_adjusted", "results", "od_results", "interchange_ett_s", "interchange_los"}));
    EXPECT_TRUE(doc["od_adjusted"].is_null());
    EXPECT_TRUE(doc["interchange_los"].is_null());
    EXPECT_EQ(doc["lane_groups"][0].size(), 24u);
    EXPECT_EQ(doc["lane_groups"][0]["movement"], "EbExtThrough");
    EXPECT_EQ(doc["lane_groups"][0]["control"], "Signalized");
    EXPECT_EQ(read_interchange(doc.dump()), fresh);

    Interchange analysed = fresh;
    analyze(analysed);
    EXPECT_EQ(read_interchange(write_interchange(analysed)), analysed);
    EXPECT_EQ(document(analysed)["results"][0].size(), 20u);
    EXPECT_EQ(document(analysed)["interchange_los"], "C");
}

TEST(InterchangeDocument, AbsentResultsReadAsUnanalysed) {
    jsonio::Json doc = document(diamond());
    for (const char* key : {"od_adjusted", "results", "od_results", "interchange_ett_s", "interchange_los",
                            "ddi_eb_lane_config"})
        doc.erase(key);
    const Interchange ix = read_interchange(doc.dump());
    EXPECT_TRUE(ix.results.empty());
    EXPECT_TRUE(ix.od_results.empty());
    EXPECT_FALSE(ix.od_adjusted.has_value());
    EXPECT_FALSE(ix.interchange_ett_s.has_value());
    EXPECT_FALSE(ix.ddi_eb_lane_config.has_value());

    // A control of each kind, a DDI configuration and a protected-permitted left read back.
    Interchange varied = diamond();
    varied.ddi_wb_lane_config = hcm::ramp_terminals::exhibits::DdiLaneConfiguration::ThreeLaneExclusiveMiddleShared;
    input(varied, "EbExtRight").control = free_flow();
    input(varied, "WbExtRight").control = yield_controlled(YieldTurnInput{5, 3, 600, 600, 1800, 40, 50, 15, 0.4});
    input(varied, "EbIntLeft").protected_permitted_left = ProtectedPermittedLeft{10, 8, 500, std::nullopt};
    EXPECT_EQ(read_interchange(write_interchange(varied)), varied);
}

TEST(InterchangeDocument, Messages) {
    const jsonio::Json base = document(diamond());
    auto without = [&](std::initializer_list<const char*> keys) {
        jsonio::Json d = base;
        for (const char* k : keys) d.erase(k);
        return d;
    };
    auto with = [&](const char* key, jsonio::Json value) {
        jsonio::Json d = base;
        d[key] = std::move(value);
        return d;
    };
    auto starts = [](const std::string& message, const std::string& prefix) {
        return testing_support::starts_with(message, prefix) ? ::testing::AssertionSuccess()
                                                             : ::testing::AssertionFailure() << message;
    };
    EXPECT_TRUE(starts(read_error(without({"lane_groups", "form"})), "missing field `form` at line 1"));
    EXPECT_TRUE(starts(read_error(with("results", nullptr)), "invalid type: null, expected a sequence"));
    EXPECT_TRUE(starts(read_error(with("form", "diamond")),
                       "unknown variant `diamond`, expected one of `Diamond`, `Ddi`, `ParcloA2Q`, `ParcloA4Q`, "
                       "`ParcloAB2Q`, `ParcloAB4Q`, `ParcloB2Q`, `ParcloB4Q`, `Spui` at"));
    jsonio::Json upper = base;
    upper["od"] = {{"A", 1}, {"B", 2}};
    EXPECT_TRUE(starts(read_error(upper), "missing field `a` at"));
    jsonio::Json lower_movement = base;
    lower_movement["lane_groups"][0]["movement"] = "ebextthrough";
    EXPECT_TRUE(starts(read_error(lower_movement), "unknown interchange movement ebextthrough at"));
    jsonio::Json short_extra = base;
    short_extra["extra_distances"].erase(0);
    EXPECT_TRUE(starts(read_error(short_extra), "invalid length 13, expected an array of length 14 at"));
    jsonio::Json long_extra = base;
    long_extra["extra_distances"].push_back(base["extra_distances"][0]);
    EXPECT_TRUE(starts(read_error(long_extra), "trailing characters at"));
    jsonio::Json bad_control = base;
    bad_control["lane_groups"][0]["control"] = "Stop";
    EXPECT_TRUE(starts(read_error(bad_control),
                       "unknown variant `Stop`, expected one of `Signalized`, `YieldControlled`, `FreeFlow` at"));
    jsonio::Json short_ppl = base;
    short_ppl["lane_groups"][0]["protected_permitted_left"] = {1, 2};
    EXPECT_TRUE(
        starts(read_error(short_ppl), "invalid length 2, expected struct ProtectedPermittedLeft with 4 elements"));
}

TEST(InterchangeDocument, ArrayFormNeedsTheInputs) {
    const jsonio::Json base = document(diamond());
    jsonio::Json array = jsonio::Json::array();
    for (const auto& [key, value] : base.items()) array.push_back(value);
    for (int k = 0; k < 5; ++k) array.erase(array.size() - 1);  // through lane_groups
    EXPECT_EQ(read_interchange(array.dump()), diamond());
    array.erase(array.size() - 1);
    EXPECT_TRUE(testing_support::starts_with(read_error(array),
                                             "invalid length 15, expected struct Interchange with 21 elements"));
}

TEST(InterchangeDocument, NonFiniteValues) {
    // An input set to NaN is written null, and a required input cannot read null back.
    Interchange ix = diamond();
    ix.cycle_length_s = testing_support::kNaN;
    EXPECT_TRUE(document(ix)["cycle_length_s"].is_null());
    EXPECT_TRUE(testing_support::starts_with(read_error(document(ix)), "invalid type: null, expected f64"));

    // O-D results with undefined or infinite delays read back as NaN, so the analysed document
    // always reads again.
    Interchange no_period = diamond();
    no_period.analysis_period_h = 0.0;
    analyze(no_period);
    const Interchange again = read_interchange(write_interchange(no_period));
    ASSERT_EQ(again.od_results.size(), no_period.od_results.size());
    for (std::size_t k = 0; k < again.od_results.size(); ++k) {
        EXPECT_EQ(std::isnan(again.od_results[k].ett_s), !std::isfinite(no_period.od_results[k].ett_s));
        EXPECT_EQ(again.od_results[k].los, no_period.od_results[k].los);
    }
}

// Each lane group result reads back as it was written, by what its lane group's inputs make the
// analysis compute: a delay of no green, a queue without storage, a capacity of no control.
TEST(InterchangeDocument, ResultsReadBackByTheirLaneGroupsInputs) {
    Interchange ix = diamond();
    input(ix, "NbRampRight").greens = {};                // no green: infinite delays and queue
    input(ix, "NbRampRight").storage_ft = 150.0;
    input(ix, "EbExtRight").control = free_flow();       // no capacity, no signal delays
    YieldTurnInput yield{};                              // no follow-up headway: no capacity
    yield.critical_headway_s = 6.0;
    input(ix, "WbExtRight").control = yield_controlled(yield);
    input(ix, "SbRampLeft").storage_ft = 300.0;
    input(ix, "EbIntLeft").protected_permitted_left = ProtectedPermittedLeft{10.0, 5.0, 400.0, std::nullopt};
    analyze(ix);
    ASSERT_TRUE(std::isinf(*ix.interchange_ett_s));
    const Interchange back = read_interchange(write_interchange(ix));
    EXPECT_TRUE(std::isnan(*back.interchange_ett_s));
    constexpr std::optional<double> LaneGroupResult::*kOptional[] = {
        &LaneGroupResult::lane_utilization, &LaneGroupResult::traffic_pressure, &LaneGroupResult::sat_flow,
        &LaneGroupResult::protected_sat_flow, &LaneGroupResult::permitted_sat_flow,
        &LaneGroupResult::downstream_queue_lost_time_s, &LaneGroupResult::demand_starvation_lost_time_s,
        &LaneGroupResult::adjusted_lost_time_s, &LaneGroupResult::effective_green_s, &LaneGroupResult::capacity,
        &LaneGroupResult::vc_ratio, &LaneGroupResult::upstream_filtering, &LaneGroupResult::back_of_queue_veh,
        &LaneGroupResult::queue_storage_ratio, &LaneGroupResult::uniform_delay_s, &LaneGroupResult::incremental_delay_s,
        &LaneGroupResult::initial_queue_delay_s, &LaneGroupResult::control_delay_s};
    ASSERT_EQ(back.results.size(), ix.results.size());
    for (std::size_t g = 0; g < ix.results.size(); ++g)
        for (std::size_t k = 0; k < std::size(kOptional); ++k)
            EXPECT_TRUE(testing_support::reads_back_as(ix.results[g].*kOptional[k], back.results[g].*kOptional[k]))
                << ix.results[g].movement.name() << " value " << k;
    const LaneGroupResult& ramp = result(back, "NbRampRight");
    EXPECT_TRUE(std::isnan(*ramp.incremental_delay_s) && std::isnan(*ramp.back_of_queue_veh) &&
                std::isnan(*ramp.queue_storage_ratio));
    EXPECT_FALSE(result(back, "EbExtRight").capacity);
    EXPECT_TRUE(std::isnan(*result(back, "WbExtRight").control_delay_s));
}

TEST(InterchangeDocument, AQueueThatNeverClearsWritesNull) {
    // No green: no capacity, and the carried queue's delay is unbounded.
    Interchange ix = diamond();
    input(ix, "NbRampRight").greens = {};
    input(ix, "NbRampRight").yellow_all_red_s = 0.0;
    input(ix, "NbRampRight").initial_queue_veh = 5.0;
    analyze(ix);
    EXPECT_EQ(result(ix, "NbRampRight").initial_queue_delay_s, testing_support::kInf);
    EXPECT_EQ(result(ix, "NbRampRight").control_delay_s, testing_support::kInf);
    // Written null (the only unbounded one), and read back as not a number: computed, unbounded.
    const jsonio::Json doc = document(ix);
    int nulls = 0;
    for (const auto& r : doc["results"]) nulls += r["initial_queue_delay_s"].is_null();
    EXPECT_EQ(nulls, 1);
    const Interchange again = read_interchange(write_interchange(ix));
    EXPECT_TRUE(std::isnan(*result(again, "NbRampRight").initial_queue_delay_s));
    EXPECT_EQ(result(again, "NbRampRight").uniform_delay_s, result(ix, "NbRampRight").uniform_delay_s);
}

}  // namespace
