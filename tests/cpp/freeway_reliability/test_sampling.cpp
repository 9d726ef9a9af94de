#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <vector>

#include "hcm/freeway_reliability/scenario_generation.hpp"

using namespace hcm::freeway_reliability::scenario_generation;
namespace ex = hcm::freeway_reliability::exhibits;

namespace {

using Counts = std::vector<std::size_t>;

struct CountCase {
    std::vector<double> probabilities;
    std::size_t total;
    Counts expected;
};

class CountsMatching : public ::testing::TestWithParam<CountCase> {};

TEST_P(CountsMatching, WholeCountsSummingToTheTotal) {
    const auto& c = GetParam();
    EXPECT_EQ(counts_matching_distribution(c.probabilities, c.total), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CountsMatching,
    ::testing::Values(CountCase{{0.5, 0.5}, 3, {2, 1}},             // both round to 2; the later gives one back
                      CountCase{{0.0, 0.0, 0.0}, 2, {0, 1, 1}},     // handed out from the last index backwards
                      CountCase{{0.3, 0.7}, 0, {0, 0}},             // nothing to share
                      CountCase{{}, 5, {}},                         //
                      CountCase{{0.754, 0.196, 0.031, 0.019, 0.0}, 100, {75, 20, 3, 2, 0}},
                      CountCase{{0.2, 0.2, 0.2, 0.2, 0.2}, 3, {1, 1, 1, 0, 0}}));  // the later ones give back

TEST(Poisson, ListLengthAndTerms) {
    const auto small = poisson_probabilities(0.1);  // kmax = max(ceil(0.1 + 6 sqrt(0.1)), 6) = 6
    ASSERT_EQ(small.size(), 7u);
    EXPECT_DOUBLE_EQ(small[0], std::exp(-0.1));
    EXPECT_DOUBLE_EQ(small[2], std::exp(-0.1) * 0.1 * 0.05);
    EXPECT_EQ(poisson_probabilities(100.0).size(), 161u);  // kmax = 100 + 60
    // lambda = 0.1 over 20 scenarios: 18 without an incident, 2 with one.
    EXPECT_EQ(counts_matching_distribution(small, 20), (Counts{18, 2, 0, 0, 0, 0, 0}));
}

struct BinCase {
    IncidentDurationParams params;
    std::size_t first_bin, last_bin, likeliest_bin;
};

class LognormalBins : public ::testing::TestWithParam<BinCase> {};

TEST_P(LognormalBins, DefaultRowsSpanTheirPeriods) {
    const auto& c = GetParam();
    const DurationBins b = lognormal_bin_probabilities(c.params);
    ASSERT_FALSE(b.bins.empty());
    EXPECT_EQ(b.bins.front(), c.first_bin);
    EXPECT_EQ(b.bins.back(), c.last_bin);
    ASSERT_EQ(b.probabilities.size(), b.bins.size());
    EXPECT_NEAR(std::accumulate(b.probabilities.begin(), b.probabilities.end(), 0.0), 1.0, 1e-12);
    const auto top = std::max_element(b.probabilities.begin(), b.probabilities.end()) - b.probabilities.begin();
    EXPECT_EQ(b.bins[static_cast<std::size_t>(top)], c.likeliest_bin);
}

INSTANTIATE_TEST_SUITE_P(Exhibit, LognormalBins,
                         ::testing::Values(BinCase{ex::DEFAULT_INCIDENT_DURATIONS[0], 1, 4, 2},    // Shoulder
                                           BinCase{ex::DEFAULT_INCIDENT_DURATIONS[1], 1, 4, 2},    // OneLane
                                           BinCase{ex::DEFAULT_INCIDENT_DURATIONS[2], 2, 5, 3},    // TwoLanes
                                           BinCase{ex::DEFAULT_INCIDENT_DURATIONS[3], 2, 7, 4}));  // ThreeLanes

TEST(LognormalBinsEdges, MaximumBelowMinimumGivesNoBins) {
    EXPECT_TRUE(lognormal_bin_probabilities({30.0, 10.0, 60.0, 20.0}).bins.empty());
}

TEST(LognormalBinsEdges, NoProbabilityMassPutsAllOnTheFirstBin) {
    const DurationBins b = lognormal_bin_probabilities({0.0, 10.0, 20.0, 50.0});  // mean 0: F = 0 everywhere
    EXPECT_EQ(b.bins, (std::vector<std::size_t>{1, 2, 3, 4}));
    EXPECT_EQ(b.probabilities, (std::vector<double>{1.0, 0.0, 0.0, 0.0}));
}

TEST(SeedShares, VehicleMilesBySegmentAndPeriod) {
    SeedStatistics seed{{{1.0, 3.0}, {2.0, 2.0}}, {3, 3}, 2, 60.0};
    EXPECT_EQ(location_distribution(seed), (std::vector<double>{0.5, 0.5}));
    EXPECT_EQ(start_time_distribution(seed), (std::vector<double>{0.375, 0.625}));
    seed.segment_vmt = {{0.0, 0.0}, {0.0, 0.0}};
    EXPECT_EQ(location_distribution(seed), (std::vector<double>{0.0, 0.0}));
    EXPECT_EQ(start_time_distribution(seed), (std::vector<double>{0.0, 0.0}));
}

TEST(WeatherFactors, ClampedAndInterpolatedByFreeFlowSpeed) {
    const auto& rain = ex::WEATHER_CAF[0];  // 0.94 0.93 0.92 0.91 0.90
    EXPECT_DOUBLE_EQ(interpolate_weather_factor(rain, 62.5), 0.925);
    EXPECT_DOUBLE_EQ(interpolate_weather_factor(rain, 50.0), 0.94);
    EXPECT_DOUBLE_EQ(interpolate_weather_factor(rain, 80.0), 0.90);
    EXPECT_DOUBLE_EQ(interpolate_weather_factor(ex::WEATHER_SAF[2], 67.5), 0.88);  // LightSnow SAF 0.89 .. 0.87
}

}  // namespace
