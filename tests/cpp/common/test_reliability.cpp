#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <vector>

#include "hcm/common/reliability.hpp"

using namespace hcm::common::reliability;

namespace {

const std::vector<TravelTimeObservation> kThree = {{1.0, 1.0}, {1.5, 1.0}, {3.0, 2.0}};

TEST(Percentile, WalksRunningWeight) {
    TravelTimeDistribution d(kThree);
    EXPECT_EQ(d.percentile(50), 1.5);
    EXPECT_EQ(d.percentile(80), 3.0);
    EXPECT_EQ(d.percentile(25), 1.0);
    EXPECT_EQ(d.percentile(0), 1.0);
    EXPECT_EQ(d.percentile(-5), d.percentile(0));
    EXPECT_EQ(d.percentile(150), d.percentile(100));
    EXPECT_EQ(d.percentile(100), 3.0);
    EXPECT_EQ(d.percentile(NAN), 1.0);
}

TEST(Percentile, SortsUnorderedInputAndZeroWeightsGiveSmallest) {
    // Sorted: 1.0 (w 1), 2.0 (w 1), 2.0 (w 2); the running weight reaches 2 at the first 2.0.
    std::vector<TravelTimeObservation> obs = {{2.0, 1.0}, {1.0, 1.0}, {2.0, 2.0}};
    EXPECT_EQ(TravelTimeDistribution(obs).percentile(50), 2.0);
    EXPECT_EQ(TravelTimeDistribution(obs).percentile(20), 1.0);
    std::vector<TravelTimeObservation> zero = {{2.0, 0.0}, {1.2, 0.0}};
    EXPECT_EQ(TravelTimeDistribution(zero).percentile(95), 1.2);
}

TEST(Metrics, WorkedDistribution) {
    ReliabilityMetrics m = TravelTimeDistribution(kThree).metrics();
    EXPECT_DOUBLE_EQ(m.tti_mean, 2.125);
    EXPECT_EQ(m.tti_50, 1.5);
    EXPECT_EQ(m.tti_80, 3.0);
    EXPECT_EQ(m.tti_95, 3.0);
    EXPECT_EQ(m.tti_max, 3.0);
    EXPECT_DOUBLE_EQ(m.misery_index, 3.0);
    EXPECT_DOUBLE_EQ(m.reliability_rating, 25.0);
    EXPECT_DOUBLE_EQ(m.pct_tti_above_2, 50.0);
    EXPECT_NEAR(m.semi_std_dev, std::sqrt((0.25 + 8.0) / 4.0), 1e-12);
    EXPECT_NEAR(m.semi_std_dev, 1.4361, 5e-5);
    EXPECT_NEAR(m.std_dev, 0.8927, 5e-5);
    EXPECT_EQ(m.num_observations, 3u);
    EXPECT_EQ(m.total_weight, 4.0);
}

TEST(Metrics, ThresholdsInclusiveForRatingExclusiveAboveTwo) {
    std::vector<TravelTimeObservation> obs = {{1.33, 1.0}, {2.0, 1.0}};
    ReliabilityMetrics m = TravelTimeDistribution(obs).metrics();
    EXPECT_DOUBLE_EQ(m.reliability_rating, 50.0);
    EXPECT_DOUBLE_EQ(m.pct_tti_above_2, 0.0);
}

TEST(Metrics, ReliableTtiIsAnArgument) {
    // kThree: TTIs 1.0, 1.5 and 3.0 with weights 1, 1, 2 of 4.
    const TravelTimeDistribution d(kThree);
    EXPECT_DOUBLE_EQ(d.metrics(2.5).reliability_rating, 50.0);  // the urban street threshold
    EXPECT_DOUBLE_EQ(d.reliability_rating(3.0), 100.0);         // inclusive
    EXPECT_EQ(d.reliability_rating(0.5), 0.0);
    EXPECT_EQ(d.metrics(2.5).tti_mean, d.mean());
    EXPECT_EQ(TravelTimeDistribution({}).reliability_rating(2.5), 0.0);  // no weight
    EXPECT_EQ(TravelTimeDistribution({}).mean(), 0.0);
}

TEST(MiseryIndex, SplitsTheObservationAtTheBudgetEdge) {
    // Budget 0.05 x 10 = 0.5: 0.25 from the 4.0 observation, 0.25 from the 2.0 one.
    std::vector<TravelTimeObservation> obs = {{1.0, 9.5}, {2.0, 0.25}, {4.0, 0.25}};
    EXPECT_DOUBLE_EQ(TravelTimeDistribution(obs).misery_index(), 3.0);
}

TEST(Metrics, EmptyAndWeightless) {
    ReliabilityMetrics m = TravelTimeDistribution({}).metrics();
    EXPECT_EQ(m.tti_mean, 0.0);
    EXPECT_EQ(m.tti_50, 0.0);
    EXPECT_EQ(m.tti_max, 0.0);
    EXPECT_EQ(m.misery_index, 0.0);
    EXPECT_EQ(m.std_dev, 0.0);
    EXPECT_EQ(m.num_observations, 0u);
    EXPECT_EQ(m.total_weight, 0.0);
    std::vector<TravelTimeObservation> zero = {{1.5, 0.0}};
    ReliabilityMetrics z = TravelTimeDistribution(zero).metrics();
    EXPECT_EQ(z.reliability_rating, 0.0);
    EXPECT_EQ(z.tti_50, 1.5);
    EXPECT_EQ(z.misery_index, 0.0);
}

TEST(MetricsJson, KeyOrderAndNonFiniteAsNull) {
    ReliabilityMetrics m = TravelTimeDistribution(kThree).metrics();
    m.tti_max = INFINITY;
    std::string text = to_json(m);
    EXPECT_EQ(text.rfind("{\"tti_mean\":2.125,\"tti_50\":1.5,\"tti_80\":3.0,\"tti_95\":3.0,\"tti_max\":null,", 0), 0u);
    EXPECT_NE(text.find(",\"num_observations\":3,\"total_weight\":4.0}"), std::string::npos);
    auto doc = nlohmann::ordered_json::parse(text);
    std::vector<std::string> keys;
    for (auto& [k, v] : doc.items()) keys.push_back(k);
    EXPECT_EQ(keys, (std::vector<std::string>{"tti_mean", "tti_50", "tti_80", "tti_95", "tti_max", "misery_index",
                                              "reliability_rating", "semi_std_dev", "std_dev", "pct_tti_above_2",
                                              "num_observations", "total_weight"}));
}

}  // namespace
