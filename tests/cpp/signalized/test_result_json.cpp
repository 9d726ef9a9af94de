// The result records the signalized functions write (bicycle and pedestrian analyses, actuated
// phase timings): an infinite or NaN number is written null and reads back as NaN, so that every
// written text reads back and writes the same again.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "../support/checks.hpp"
#include "hcm/signalized/bicycle.hpp"
#include "hcm/signalized/pedestrian.hpp"
#include "hcm/signalized/signalized.hpp"
#include "json/jsonio.hpp"

using namespace testing_support;

// The functions' result tables, declared where they are defined (the chapter's headers expose
// only the JSON functions).
namespace hcm::signalized::bicycle {
const jsonio::Record<BicycleIntersectionAnalysis>& json_record(jsonio::Tag<BicycleIntersectionAnalysis>);
}
namespace hcm::signalized::pedestrian {
const jsonio::Record<PedestrianIntersectionAnalysis>& json_record(jsonio::Tag<PedestrianIntersectionAnalysis>);
}

namespace {

template <class R>
R read_back(const R& written, const std::string& expected_text) {
    const std::string text = jsonio::write_document(written);
    EXPECT_EQ(text, expected_text);
    const R back = jsonio::read_document<R>(text);
    EXPECT_EQ(jsonio::write_document(back), text);
    return back;
}

TEST(SignalizedResultJson, NonFiniteNumbersReadBackAsNaN) {
    hcm::signalized::bicycle::BicycleIntersectionAnalysis bike{kInf, kNaN, -kInf, 0.5, kInf};
    const auto bike_back =
        read_back(bike, R"({"capacity":null,"delay":null,"f_w":null,"f_v":0.5,"los_score":null,"los":"A"})");
    EXPECT_TRUE(std::isnan(bike_back.capacity) && std::isnan(bike_back.los_score));

    hcm::signalized::pedestrian::PedestrianIntersectionAnalysis crosswalk{11.0, kInf, 0.0,  kNaN,
                                                                          1.0,  2.0,  -kInf, kInf};
    const auto crosswalk_back = read_back(crosswalk, R"({"effective_walk_s":11.0,"delay":null,"n15_per_lane":0.0,)"
                                                     R"("f_w":null,"f_v":1.0,"f_s":2.0,"f_delay":null,)"
                                                     R"("los_score":null,"los":"A"})");
    EXPECT_TRUE(std::isnan(crosswalk_back.delay) && std::isnan(crosswalk_back.f_delay));

    hcm::signalized::signalized::ActuatedPhaseResult phase{2, kInf, kInf, kNaN, 3.0, kInf, kNaN, 1.0};
    const auto phase_back = read_back(phase, R"({"phase_no":2,"duration_s":null,"green_s":null,)"
                                             R"("queue_service_s":null,"green_extension_s":3.0,)"
                                             R"("mah_star_s":null,"prob_max_out":null,"prob_call":1.0})");
    EXPECT_TRUE(std::isnan(phase_back.duration_s) && std::isnan(phase_back.prob_max_out));
    EXPECT_EQ(phase_back.green_extension_s, 3.0);
}

}  // namespace
