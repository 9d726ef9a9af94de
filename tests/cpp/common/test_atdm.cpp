#include <gtest/gtest.h>

#include <cmath>

#include "hcm/common/atdm.hpp"
#include "hcm/common/error.hpp"

using hcm::common::atdm::alinea_metering_rate;

namespace {

struct AlineaCase {
    unsigned lanes;
    double capacity, upstream, ramp, queue, storage, expected;
};

class Alinea : public ::testing::TestWithParam<AlineaCase> {};

TEST_P(Alinea, LargerTermWithinBounds) {
    const auto& c = GetParam();
    EXPECT_DOUBLE_EQ(alinea_metering_rate(c.lanes, c.capacity, c.upstream, c.ramp, c.queue, c.storage, 240, 900),
                     c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Equation37_2, Alinea,
    ::testing::Values(AlineaCase{1, 4000, 3400, 500, 0, 100, 600},  // spare capacity wins
                      AlineaCase{1, 4000, 3900, 500, 0, 100, 400},  // queue term wins
                      AlineaCase{1, 4000, 3900, 200, 0, 100, 240},  // raised to the minimum
                      AlineaCase{2, 4000, 3400, 500, 0, 100, 300},  // both terms halved
                      AlineaCase{1, 6000, 3000, 500, 0, 100, 900},  // capped at the maximum
                      AlineaCase{1, NAN, 3000, 500, 0, 100, 400}));  // a NaN term gives way to the other

TEST(AlineaEdges, NoMeteredLaneReturnsMaximumWhateverTheBounds) {
    EXPECT_EQ(alinea_metering_rate(0, 4000, 3400, 500, 0, 100, 950, 900), 900);
    EXPECT_EQ(alinea_metering_rate(0, NAN, NAN, NAN, NAN, NAN, NAN, 900), 900);
}

TEST(AlineaEdges, RefusesBoundsOutsideItsDomain) {
    EXPECT_THROW(alinea_metering_rate(1, 4000, 3400, 500, 0, 100, 950, 900), hcm::Error);
    EXPECT_THROW(alinea_metering_rate(1, 4000, 3400, 500, 0, 100, NAN, 900), hcm::Error);
    EXPECT_THROW(alinea_metering_rate(1, 4000, 3400, 500, 0, 100, 240, NAN), hcm::Error);
}

TEST(AlineaEdges, BothTermsNaNStaysNaN) {
    EXPECT_TRUE(std::isnan(alinea_metering_rate(1, NAN, 0, NAN, 0, 0, 240, 900)));
}

}  // namespace
