#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>

#include "../support/checks.hpp"
#include "hcm/roundabouts/roundabouts.hpp"

using namespace hcm::roundabouts::roundabouts;
using testing_support::error_of;

namespace {

std::string with_nb(const std::string& nb, const std::string& rest = "") {
    return R"({"nb":)" + nb + R"(,"sb":{},"eb":{},"wb":{})" + rest + "}";
}

TEST(RoundaboutJson, EmptyEntriesAreComplete) {
    EXPECT_EQ(read_roundabouts(with_nb("{}")), Roundabouts{});
    const Roundabouts r = read_roundabouts(with_nb(R"({"v_t":300})"));
    EXPECT_EQ(r.nb.v_t, 300.0);
    EXPECT_EQ(r.nb.lane_assignment, LaneAssignment::LeftThroughAndThroughRight);
    const std::string entry_written =
        R"({"nb":{"v_u":0.0,"v_l":0.0,"v_t":0.0,"v_r":0.0,"heavy_vehicle_pct":0.0,"entry_lanes":1,)"
        R"("circulating_lanes":1,"exiting_lanes":1,"bypass":"None","lane_assignment":"LeftThroughAndThroughRight",)"
        R"("pct_left_lane":null,"n_ped":0.0,"flows_pce":null,"circulating_flow_pce":null,)"
        R"("bypass_conflicting_flow_pce":null,"lanes":[],"bypass_lane":null,"control_delay":null,"los":null},)";
    const std::string whole = write_roundabouts(Roundabouts{});
    EXPECT_EQ(whole.substr(0, entry_written.size()), entry_written);
    EXPECT_TRUE(whole.ends_with(R"("phf":null,"analysis_period_h":0.25,"calibration":null,)"
                                R"("intersection_delay":null,"intersection_los":null})"));
}

TEST(RoundaboutJson, ReadingFailures) {
    const std::pair<std::string, std::string> cases[] = {
        {R"({"nb":{},"sb":{},"eb":{}})", "missing field `wb` at line 1 column 25"},
        {with_nb(R"({"bypass":"Nope"})"),
         "unknown variant `Nope`, expected one of `None`, `Yielding`, `NonYielding` at line 1 column 22"},
        {with_nb(R"({"entry_lanes":-1})"), "invalid value: integer `-1`, expected u32 at line 1 column 23"},
        {with_nb(R"({"flows_pce":[1,2,3]})"), "invalid length 3, expected an array of length 4 at line 1 column 26"},
        {with_nb("{}", R"(,"calibration":[1])"), "invalid length 1, expected a tuple of size 2 at line 1 column 50"},
        {with_nb(R"({"lanes":[{"label":"entry"}]})"), "missing field `flow_pce` at line 1 column 33"},
        {with_nb(R"({"lanes":[["entry",1,2,3,4,5,6,"A"]]})"),
         "invalid length 8, expected struct RoundaboutLaneResult with 9 elements at line 1 column 41"},
        {with_nb(R"({"los":"AB"})"), R"(invalid value: string "AB", expected a character at line 1 column 17)"},
        {"[{},{},{}]", "invalid length 3, expected struct Roundabouts with 9 elements at line 1 column 10"},
        {with_nb("true"), "invalid type: boolean `true`, expected struct RoundaboutApproach at line 1 column 10"},
    };
    for (const auto& [text, message] : cases)
        EXPECT_EQ(error_of([&text = text] { return read_roundabouts(text); }), message) << text;
}

TEST(RoundaboutJson, AnalysedDocumentReadsBack) {
    Roundabouts r = read_roundabouts(
        with_nb(R"([10, 100, 300, 150, 4, 2, 2, 1, "Yielding", "LeftAndAllMovements", 0.6, 30])",
                R"(,"phf":0.9,"calibration":[1300,0.001])"));
    r.eb.v_t = 200;
    r.wb.bypass = BypassType::NonYielding;
    r.wb.v_r = 50;
    analyze(r);
    EXPECT_EQ(read_roundabouts(write_roundabouts(r)), r);
}

// A lane of zero capacity has an infinite delay (written null); without traffic an undefined
// one. The written document reads back, those delays as NaN.
TEST(RoundaboutJson, NonFiniteLaneResultsReadBackAsNaN) {
    Roundabouts r = read_roundabouts(with_nb(R"({"v_t":300,"entry_lanes":2,"n_ped":5000})"));
    analyze(r);
    const std::string text = write_roundabouts(r);
    EXPECT_NE(text.find(R"("capacity_veh":0.0,"v_c_ratio":0.0,"control_delay":null,"los":"F")"), std::string::npos);
    const Roundabouts back = read_roundabouts(text);
    EXPECT_TRUE(std::isnan(back.nb.lanes.at(0).control_delay));
    EXPECT_EQ(write_roundabouts(back), text);

    // A demand flow rate that overflows (a PHF of 1e-310) is written null and reads back as NaN;
    // a null or absent `flows_pce` is still no result.
    Roundabouts overflow = read_roundabouts(with_nb(R"({"v_t":300})", R"(,"phf":1e-310)"));
    analyze(overflow);
    const std::string written = write_roundabouts(overflow);
    EXPECT_NE(written.find(R"("flows_pce":[0.0,0.0,null,0.0])"), std::string::npos);
    const Roundabouts reread = read_roundabouts(written);
    EXPECT_TRUE(std::isnan((*reread.nb.flows_pce)[2]));
    EXPECT_EQ(write_roundabouts(reread), written);
    EXPECT_FALSE(read_roundabouts(with_nb(R"({"flows_pce":null})")).nb.flows_pce);
}

}  // namespace
