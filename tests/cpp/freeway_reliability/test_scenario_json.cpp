#include <gtest/gtest.h>

#include <string>

#include "../support/checks.hpp"
#include "hcm/freeway_reliability/scenario_json.hpp"
#include "json/jsonio.hpp"

using namespace hcm::freeway_reliability::scenario_generation;
using testing_support::error_of;

namespace {

ScenarioGenerationConfig read_config(const std::string& text) {
    return jsonio::read_document<ScenarioGenerationConfig>(text);
}

std::string read_error(const std::string& text) {
    return error_of<jsonio::Error>([&] { return read_config(text); });
}

TEST(ScenarioGenerationJson, EmptyObjectIsTheDefaultRecord) {
    const ScenarioGenerationConfig c = read_config("{}");
    EXPECT_EQ(c, ScenarioGenerationConfig{});
    EXPECT_EQ(c.months.size(), 12u);
    EXPECT_EQ(c.weekdays, WORKING_DAYS);
    EXPECT_EQ(c.replications, 4u);
    EXPECT_FALSE(c.day_counts || c.weather || c.incidents);
    EXPECT_EQ(c.seed_month, 1u);
    EXPECT_EQ(c.seed_weekday, Weekday::Monday);
    EXPECT_EQ(c.demand_multipliers[6][4], 1.62);
    EXPECT_EQ(c.demand_multipliers[9], c.demand_multipliers[10]);
    EXPECT_EQ(c.rng_seed, 1u);
}

TEST(ScenarioGenerationJson, GivenKeysReplaceTheirDefaultsOnly) {
    ScenarioGenerationConfig expected;
    expected.months = {7};
    EXPECT_EQ(read_config(R"({"months": [7], "notes": {"a": [1, {"b": null}]}, "weather": null})"), expected);
    expected.months = {1, 2};
    expected.weekdays = {Weekday::Saturday};
    EXPECT_EQ(read_config(R"([[1, 2], ["Saturday"]])"), expected);
    EXPECT_EQ(read_config(R"({"seed_weekday": {"Sunday": null}})").seed_weekday, Weekday::Sunday);
    EXPECT_EQ(read_config(R"({"rng_seed": 18446744073709551615})").rng_seed, 18446744073709551615u);
}

TEST(ScenarioGenerationJson, NestedInputsTakeTheirDefaults) {
    const auto c = read_config(
        R"({"weather": {}, "incidents": {"monthly_frequencies": [0.5]},
            "work_zones": [{"segments": [2], "caf": 0.8}, [[3], ["Friday"], 0.5]],
            "special_events": [{"periods": null, "daf": 1.2}]})");
    EXPECT_EQ(c.weather, WeatherInputs{});
    ASSERT_TRUE(c.incidents);
    EXPECT_EQ(c.incidents->monthly_frequencies, std::vector<double>{0.5});
    EXPECT_EQ(c.incidents->severity_distribution, (std::vector<double>{0.754, 0.196, 0.031, 0.019, 0.0}));
    EXPECT_EQ(c.incidents->duration_params[3], (IncidentDurationParams{67.9, 21.9, 36.0, 93.3}));
    ASSERT_EQ(c.work_zones.size(), 2u);
    EXPECT_TRUE(c.work_zones[0].months.empty());
    EXPECT_EQ(c.work_zones[0].weekdays, WORKING_DAYS);
    EXPECT_EQ(c.work_zones[0].caf, 0.8);
    EXPECT_EQ(c.work_zones[1].weekdays, std::vector<Weekday>{Weekday::Friday});
    EXPECT_EQ(c.work_zones[1].active_day_ratio, 0.5);
    EXPECT_EQ(c.special_events[0], (SpecialEvent{.daf = 1.2}));
}

struct ErrorCase {
    const char* text;
    const char* message;
};

class ScenarioGenerationJsonErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(ScenarioGenerationJsonErrors, Message) { EXPECT_EQ(read_error(GetParam().text), GetParam().message); }

INSTANTIATE_TEST_SUITE_P(
    Reader, ScenarioGenerationJsonErrors,
    ::testing::Values(
        ErrorCase{R"({"months": [1], "months": [1]})", "duplicate field `months` at line 1 column 24"},
        ErrorCase{R"({"months": null})", "invalid type: null, expected a sequence at line 1 column 15"},
        ErrorCase{R"({"seed_weekday": 0})",
                  "invalid type: integer `0`, expected variant identifier at line 1 column 18"},
        ErrorCase{R"({"seed_weekday": "monday"})",
                  "unknown variant `monday`, expected one of `Monday`, `Tuesday`, `Wednesday`, `Thursday`, "
                  "`Friday`, `Saturday`, `Sunday` at line 1 column 25"},
        ErrorCase{R"({"replications": -1})", "invalid value: integer `-1`, expected u32 at line 1 column 19"},
        ErrorCase{R"("x")", "invalid type: string \"x\", expected struct ScenarioGenerationConfig at line 1 column 3"},
        ErrorCase{R"({"weather": 3})", "invalid type: integer `3`, expected struct WeatherInputs at line 1 column 13"},
        ErrorCase{R"({"incidents": {"duration_params": [[1, 2, 3]]}})",
                  "invalid length 3, expected struct IncidentDurationParams with 4 elements at line 1 column 44"},
        ErrorCase{R"({"incidents": {"duration_params": [{"mean": 1, "std_dev": 2, "min": 3}]}})",
                  "missing field `max` at line 1 column 70"},
        ErrorCase{R"({"work_zones": [true]})",
                  "invalid type: boolean `true`, expected struct WorkZoneEvent at line 1 column 20"},
        ErrorCase{R"({"special_events": [{"segments": [-1]}]})",
                  "invalid value: integer `-1`, expected u64 at line 1 column 36"}));

}  // namespace
