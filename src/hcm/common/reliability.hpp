#pragma once
// Travel-time distributions of the reliability chapters (HCM Chapters 11 and 17): weighted
// percentiles of the travel time index (TTI), the misery index and the summary metrics.
#include <cstdint>
#include <span>
#include <string>

#include "json/record_fwd.hpp"

namespace hcm::common::reliability {

// Thresholds of the summary metrics.
inline constexpr double RELIABLE_TTI = 1.33;
inline constexpr double SEVERE_TTI = 2.0;
inline constexpr double MISERY_SHARE = 0.05;

struct TravelTimeObservation {
    double tti;     // travel time / free-flow travel time
    double weight;  // probability or share of time; non-negative
};

struct ReliabilityMetrics {
    double tti_mean = 0.0;
    double tti_50 = 0.0;
    double tti_80 = 0.0;
    double tti_95 = 0.0;
    double tti_max = 0.0;
    double misery_index = 0.0;
    double reliability_rating = 0.0;  // percent of the weight with TTI <= the reliable TTI (1.33)
    double semi_std_dev = 0.0;        // deviation from TTI 1.0, counting only slower observations
    double std_dev = 0.0;
    double pct_tti_above_2 = 0.0;  // percent of the weight with TTI > 2.0
    std::uint64_t num_observations = 0;
    double total_weight = 0.0;
};

// A read-only view of observations owned by the caller.
class TravelTimeDistribution {
public:
    explicit TravelTimeDistribution(std::span<const TravelTimeObservation> observations)
        : observations_(observations) {}

    // The TTI at which the running weight, in ascending TTI order, first reaches p percent of the total.
    double percentile(double p) const;
    // Mean TTI of the worst 5 % of the weight.
    double misery_index() const;
    // Percent of the total weight carried by observations with a TTI above `tti` (0 without weight).
    double percent_weight_above(double tti) const;
    // The weighted mean TTI (0 without weight).
    double mean() const;
    // Percent of the total weight with a TTI of at most `reliable_tti` (0 without weight).
    double reliability_rating(double reliable_tti) const;
    // Every metric; the reliability rating against `reliable_tti` (urban streets take 2.5).
    ReliabilityMetrics metrics(double reliable_tti = RELIABLE_TTI) const;

private:
    std::span<const TravelTimeObservation> observations_;
};

// JSON form of the metrics: keys in field order, non-finite values as null (read back as NaN).
const jsonio::Record<ReliabilityMetrics>& json_record(jsonio::Tag<ReliabilityMetrics>);

// The metrics as one compact JSON object.
std::string to_json(const ReliabilityMetrics& metrics);

}  // namespace hcm::common::reliability
