#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>

#include "../support/checks.hpp"
#include "hcm/awsc/awsc.hpp"

using namespace hcm::awsc::awsc;
using testing_support::error_of;

namespace {

// The document with `eb` replaced.
std::string with_eb(const std::string& eb) {
    return R"({"eb":)" + eb + R"(,"wb":{"lanes":[]},"nb":{"lanes":[]},"sb":{"lanes":[]}})";
}

TEST(AwscJson, EmptyLanesAndLanesWithoutKeysAreComplete) {
    const Awsc empty = read_awsc(with_eb(R"({"lanes":[]})"));
    EXPECT_EQ(empty, Awsc{});
    const Awsc a = read_awsc(with_eb(R"({"lanes":[{}]})"));
    ASSERT_EQ(a.eb.lanes.size(), 1u);
    EXPECT_EQ(a.eb.lanes[0], AwscLane{});
    const std::string lane_written =
        R"({"eb":{"lanes":[{"volume_left":0.0,"volume_through":0.0,"volume_right":0.0,"flow_rate":null,)"
        R"("headway_adjustment":null,"departure_headway":null,"degree_of_utilization":null,)"
        R"("service_time":null,"capacity":null,"control_delay":null,"los":null,"queue_95":null}],)"
        R"("heavy_vehicle_pct":0.0,"geometry_group":null,"control_delay":null,"los":null},)";
    EXPECT_EQ(write_awsc(a).substr(0, lane_written.size()), lane_written);
}

TEST(AwscJson, ReadingFailures) {
    const std::pair<std::string, std::string> cases[] = {
        {R"({"eb":{"lanes":[]},"wb":{"lanes":[]},"nb":{"lanes":[]}
})",
         "missing field `sb` at line 2 column 1"},
        {with_eb(R"({"lanes":[{"los":"AB"}]})"),
         R"(invalid value: string "AB", expected a character at line 1 column 27)"},
        {with_eb(R"({"lanes":[{"los":3}]})"),
         "invalid type: integer `3`, expected a character at line 1 column 24"},
        {with_eb(R"({"lanes":[],"geometry_group":"g1"})"),
         "unknown variant `g1`, expected one of `G1`, `G2`, `G3a`, `G3b`, `G4a`, `G4b`, `G5`, `G6` "
         "at line 1 column 39"},
        {with_eb("3"), "invalid type: integer `3`, expected struct AwscApproach at line 1 column 7"},
        {R"([[[]],[[]],[[]]])", "invalid length 3, expected struct Awsc with 9 elements at line 1 column 16"},
        {with_eb("[]"), "invalid length 0, expected struct AwscApproach with 5 elements at line 1 column 8"},
        {with_eb(R"({"lanes":[],"lanes":[]})"), "duplicate field `lanes` at line 1 column 25"},
        {R"([[[]],[[]],[[]],[[]],null,0.25,null,null,-1])",
         "invalid value: integer `-1`, expected u32 at line 1 column 43"},
    };
    for (const auto& [text, message] : cases)
        EXPECT_EQ(error_of([&text = text] { return read_awsc(text); }), message) << text;
}

TEST(AwscJson, ArrayFormsAndOneCharacterLetters) {
    const Awsc a =
        read_awsc(R"([[[]],[[]],[[[1,2,3,null,null,null,null,null,null,null,"B",null]], 5, "G2", 7.5, "é"], [[]]])");
    EXPECT_EQ(a.nb.lanes.at(0).volume_right, 3.0);
    EXPECT_EQ(*a.nb.lanes[0].los, "B");
    EXPECT_EQ(a.nb.geometry_group, GeometryGroup::G2);
    EXPECT_EQ(*a.nb.los, "é");
    EXPECT_EQ(a.analysis_period_h, 0.25);
    // The lane's LOS shows an analysis and the approach's geometry group its Steps 1-4: their
    // nulls read NaN (an analysis wrote them for values that were not finite).
    EXPECT_TRUE(std::isnan(*a.nb.lanes[0].flow_rate) && std::isnan(*a.nb.lanes[0].control_delay));
    EXPECT_FALSE(a.nb.lanes[0].capacity);
    const Awsc fresh = read_awsc(R"([[[]],[[]],[[[1,2,3,null,null,null,null,null,null,null,null,null]]],[[]]])");
    EXPECT_FALSE(fresh.nb.lanes[0].flow_rate || fresh.nb.lanes[0].control_delay);
    EXPECT_EQ(write_awsc(read_awsc(write_awsc(a))), write_awsc(a));
}

TEST(AwscJson, AnalysisKeepsCapacityAndRoundTrips) {
    Awsc a = read_awsc(R"({"eb":{"lanes":[{"volume_through":300,"capacity":512.5,"los":"Z"}, {"volume_left":80}]},
        "wb":{"lanes":[{"volume_through":250}]},"nb":{"lanes":[{"volume_right":120}],"heavy_vehicle_pct":5},
        "sb":{"lanes":[],"geometry_group":"G6","control_delay":3.5},"phf":0.92})");
    analyze(a);
    EXPECT_EQ(*a.eb.lanes[0].capacity, 512.5);
    EXPECT_NE(*a.eb.lanes[0].los, "Z");
    EXPECT_EQ(a.eb.geometry_group, GeometryGroup::G5);
    EXPECT_EQ(a.sb.geometry_group, GeometryGroup::G6);
    EXPECT_EQ(*a.sb.control_delay, 3.5);
    const Awsc back = read_awsc(write_awsc(a));
    EXPECT_EQ(back, a);
    Awsc again = back;
    analyze(again);
    EXPECT_EQ(again, a);
}

}  // namespace
