#include "hcm/common/reliability.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/numeric.hpp"
#include "json/jsonio.hpp"

namespace hcm::common::reliability {
namespace {

// A comparison involving NaN counts as equal, so NaN observations keep their list position
// relative to their neighbours in the stable sort.
bool tti_less(const TravelTimeObservation& a, const TravelTimeObservation& b) { return a.tti < b.tti; }
bool tti_greater(const TravelTimeObservation& a, const TravelTimeObservation& b) { return a.tti > b.tti; }

template <class Less>
std::vector<TravelTimeObservation> sorted(std::span<const TravelTimeObservation> obs, Less less) {
    std::vector<TravelTimeObservation> out(obs.begin(), obs.end());
    std::stable_sort(out.begin(), out.end(), less);
    return out;
}

double total_weight(std::span<const TravelTimeObservation> obs) {
    double w = 0.0;
    for (const auto& o : obs) w += o.weight;
    return w;
}

double percentile_of_sorted(const std::vector<TravelTimeObservation>& ascending, double total, double p) {
    if (ascending.empty()) return 0.0;
    double q = p / 100.0;
    if (!(q >= 0.0)) q = 0.0;
    q = std::min(q, 1.0);
    double target = q * total - 1e-12;
    double running = 0.0;
    for (const auto& o : ascending) {
        running += o.weight;
        if (running >= target) return o.tti;
    }
    return ascending.back().tti;
}

double safe_sqrt(double variance) { return std::sqrt(std::max(variance, 0.0)); }

}  // namespace

double TravelTimeDistribution::percentile(double p) const {
    return percentile_of_sorted(sorted(observations_, tti_less), total_weight(observations_), p);
}

double TravelTimeDistribution::misery_index() const {
    if (observations_.empty()) return 0.0;
    auto descending = sorted(observations_, tti_greater);
    double budget = MISERY_SHARE * total_weight(observations_);
    double remaining = budget, sum = 0.0;
    for (const auto& o : descending) {
        double take = std::min(o.weight, remaining);
        sum += o.tti * take;
        remaining -= take;
        if (!(remaining > 1e-12)) break;
    }
    return budget > 0.0 ? sum / budget : 0.0;
}

double TravelTimeDistribution::percent_weight_above(double tti) const {
    const double w = total_weight(observations_);
    if (!(w > 0.0)) return 0.0;
    double above = 0.0;
    for (const auto& o : observations_) {
        if (o.tti > tti) above += o.weight;
    }
    return 100.0 * above / w;
}

double TravelTimeDistribution::mean() const {
    base::WeightedMean mean;
    for (const auto& o : observations_) mean.add(o.tti, o.weight);
    return mean.mean_or(0.0);
}

double TravelTimeDistribution::reliability_rating(double reliable_tti) const {
    const double w = total_weight(observations_);
    if (!(w > 0.0)) return 0.0;
    double reliable = 0.0;
    for (const auto& o : observations_) {
        if (o.tti <= reliable_tti) reliable += o.weight;
    }
    return 100.0 * reliable / w;
}

ReliabilityMetrics TravelTimeDistribution::metrics(double reliable_tti) const {
    ReliabilityMetrics m;
    const double w = total_weight(observations_);
    m.num_observations = observations_.size();
    m.total_weight = w;
    auto ascending = sorted(observations_, tti_less);
    m.tti_50 = percentile_of_sorted(ascending, w, 50.0);
    m.tti_80 = percentile_of_sorted(ascending, w, 80.0);
    m.tti_95 = percentile_of_sorted(ascending, w, 95.0);
    for (const auto& o : observations_) m.tti_max = std::max(m.tti_max, o.tti);
    m.misery_index = misery_index();
    if (!(w > 0.0)) return m;

    double semi = 0.0;
    for (const auto& o : observations_) {
        double slower = std::max(o.tti - 1.0, 0.0);
        semi += o.weight * slower * slower;
    }
    m.tti_mean = mean();
    double spread = 0.0;
    for (const auto& o : observations_) spread += o.weight * (o.tti - m.tti_mean) * (o.tti - m.tti_mean);
    m.reliability_rating = reliability_rating(reliable_tti);
    m.pct_tti_above_2 = percent_weight_above(SEVERE_TTI);
    m.semi_std_dev = safe_sqrt(semi / w);
    m.std_dev = safe_sqrt(spread / w);
    return m;
}

const jsonio::Record<ReliabilityMetrics>& json_record(jsonio::Tag<ReliabilityMetrics>) {
    using M = ReliabilityMetrics;
    static const jsonio::Record<M> record{"ReliabilityMetrics",
                                          {
                                              jsonio::result("tti_mean", &M::tti_mean),
                                              jsonio::result("tti_50", &M::tti_50),
                                              jsonio::result("tti_80", &M::tti_80),
                                              jsonio::result("tti_95", &M::tti_95),
                                              jsonio::result("tti_max", &M::tti_max),
                                              jsonio::result("misery_index", &M::misery_index),
                                              jsonio::result("reliability_rating", &M::reliability_rating),
                                              jsonio::result("semi_std_dev", &M::semi_std_dev),
                                              jsonio::result("std_dev", &M::std_dev),
                                              jsonio::result("pct_tti_above_2", &M::pct_tti_above_2),
                                              jsonio::required("num_observations", &M::num_observations),
                                              jsonio::result("total_weight", &M::total_weight),
                                          }};
    return record;
}

std::string to_json(const ReliabilityMetrics& metrics) { return jsonio::write_document(metrics); }

}  // namespace hcm::common::reliability
