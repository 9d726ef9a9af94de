// Optional results of an analysis (jsonio::analysed_result): a null reads NaN where the record
// shows that the analysis computed the value, and absent elsewhere; a missing key is absent.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "hcm/common/common.hpp"
#include "json/describe.hpp"
#include "json/jsonio.hpp"

namespace {

using hcm::common::LevelOfService;
using jsonio::Json;

// An analysis gives a lane its LOS and its delay, a queue where it has a delay, and a storage
// ratio where its approach has storage.
struct Lane {
    std::optional<double> delay;
    std::optional<double> queue;
    std::optional<LevelOfService> los;
    std::optional<double> storage_ratio;
};

struct Approach {
    std::optional<double> storage_ft;
    std::vector<Lane> lanes;
};

const jsonio::Record<Lane>& json_record(jsonio::Tag<Lane>) {
    static const jsonio::Record<Lane> record{
        "Lane",
        {
            jsonio::analysed_result("delay", &Lane::delay, jsonio::marked_by("los", &Lane::los)),
            // Tested after `delay` has settled: an unanalysed lane's null delay is absent by then.
            jsonio::analysed_result("queue", &Lane::queue,
                                    {"`delay` is given", [](const Lane& l) { return l.delay.has_value(); }}),
            jsonio::optional("los", &Lane::los),
            jsonio::analysed_result("storage_ratio", &Lane::storage_ratio, {"its approach has `storage_ft`"}),
        },
        jsonio::UnknownKeys::ignore,
        jsonio::ArrayForm::defaults_fill};
    return record;
}

void settle_storage(Approach& a) {
    for (Lane& lane : a.lanes) jsonio::absent_unless_computed(lane.storage_ratio, lane.los && a.storage_ft);
}

const jsonio::Record<Approach>& json_record(jsonio::Tag<Approach>) {
    static const jsonio::Record<Approach> record{
        "Approach",
        {jsonio::optional("storage_ft", &Approach::storage_ft), jsonio::required("lanes", &Approach::lanes)},
        jsonio::UnknownKeys::ignore,
        jsonio::ArrayForm::all_fields,
        settle_storage};
    return record;
}

// What a value read as: absent, NaN, or a number.
std::string state(const std::optional<double>& v) {
    if (!v) return "absent";
    return std::isnan(*v) ? "NaN" : std::to_string(static_cast<int>(*v));
}

struct LaneCase {
    const char* text;
    const char* delay;
    const char* queue;
};

class AnalysedResult : public testing::TestWithParam<LaneCase> {};

TEST_P(AnalysedResult, NullReadsNaNOnlyWhereTheRecordShowsAnAnalysis) {
    const Lane l = jsonio::read_document<Lane>(GetParam().text);
    EXPECT_EQ(state(l.delay), GetParam().delay);
    EXPECT_EQ(state(l.queue), GetParam().queue);
}

INSTANTIATE_TEST_SUITE_P(
    NullMissingAnalysedUnanalysed, AnalysedResult,
    testing::Values(LaneCase{R"({"delay": null, "queue": null, "los": "F"})", "NaN", "NaN"},
                    LaneCase{R"({"delay": null, "queue": null, "los": null})", "absent", "absent"},
                    LaneCase{R"({"delay": null, "queue": null})", "absent", "absent"},
                    LaneCase{R"({"los": "F"})", "absent", "absent"},  // a missing key is absent
                    LaneCase{R"({"delay": 12, "queue": null})", "12", "NaN"},
                    LaneCase{R"({"delay": 12, "queue": 3, "los": "B"})", "12", "3"},
                    LaneCase{R"({"queue": null, "delay": null, "los": "F"})", "NaN", "NaN"},  // any key order
                    LaneCase{R"([null, null, "F"])", "NaN", "NaN"},                           // array form
                    LaneCase{R"([null, null])", "absent", "absent"}));

TEST(AnalysedResult, TheEnclosingRecordDecidesWhatOnlyItCanSee) {
    const Approach a = jsonio::read_document<Approach>(
        R"({"storage_ft": 200, "lanes": [{"storage_ratio": null, "los": "F"}, {"storage_ratio": null}]})");
    EXPECT_EQ(state(a.lanes[0].storage_ratio), "NaN");
    EXPECT_EQ(state(a.lanes[1].storage_ratio), "absent");
    const Approach none = jsonio::read_document<Approach>(R"({"lanes": [{"storage_ratio": null, "los": "F"}]})");
    EXPECT_EQ(state(none.lanes[0].storage_ratio), "absent");
    // Read alone, a lane keeps what only an approach could settle.
    EXPECT_EQ(state(jsonio::read_document<Lane>(R"({"storage_ratio": null})").storage_ratio), "NaN");
}

TEST(AnalysedResult, AnAnalysedRecordReadsBackAnalysedAndAFreshOneFresh) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    const Approach analysed{250.0,
                            {Lane{kInf, kInf, LevelOfService::F, kInf}, Lane{4.0, std::nullopt, LevelOfService::A, 0.5}}};
    const std::string text = jsonio::write_document(analysed);
    const Approach back = jsonio::read_document<Approach>(text);
    const Lane& never_served = back.lanes[0];
    EXPECT_EQ(state(never_served.delay) + state(never_served.queue) + state(never_served.storage_ratio), "NaNNaNNaN");
    EXPECT_EQ(back.lanes[1].delay, 4.0);
    EXPECT_EQ(back.lanes[1].storage_ratio, 0.5);
    EXPECT_EQ(jsonio::write_document(back), text);

    const Approach fresh{std::nullopt, {Lane{}}};
    const std::string blank = jsonio::write_document(fresh);
    EXPECT_EQ(blank, R"({"storage_ft":null,"lanes":[{"delay":null,"queue":null,"los":null,"storage_ratio":null}]})");
    const Lane again = jsonio::read_document<Approach>(blank).lanes.at(0);
    EXPECT_FALSE(again.delay || again.queue || again.storage_ratio);
}

TEST(AnalysedResult, TheReferenceLearnsWhenANullReadsNaN) {
    jsonio::Catalog catalog;
    jsonio::Writer w;
    json_record(jsonio::Tag<Lane>{}).describe(w, catalog);
    const Json fields = Json::parse(w.take())["fields"];
    EXPECT_EQ(fields[0]["analysed_when"], "`los` is given");
    EXPECT_EQ(fields[0]["null_is_nan"], true);
    EXPECT_EQ(fields[0]["presence"], "optional");
    EXPECT_EQ(fields[3]["analysed_when"], "its approach has `storage_ft`");
    EXPECT_FALSE(fields[2].contains("analysed_when"));
}

}  // namespace
