#include "hcm/common/prng.hpp"

#include <stdexcept>

#include "base/numeric.hpp"

namespace hcm::common {

std::size_t Prng::index_below(std::size_t n) {
    if (n == 0) throw std::logic_error("index_below needs at least one index");
    // u n is below n except when rounding reaches n itself (n above 2^53); the modulo folds that.
    return base::to_unsigned_sat<std::size_t>(next_f64() * static_cast<double>(n)) % n;
}

std::size_t Prng::weighted_index(std::span<const double> weights) {
    if (weights.empty()) throw std::logic_error("weighted_index needs at least one weight");
    double total = 0.0;
    for (double w : weights) total += w;
    if (total <= 0.0) return 0;
    double r = total * next_f64();
    for (std::size_t i = 0; i < weights.size(); ++i) {
        r -= weights[i];
        if (!(r > 0.0)) return i;
    }
    return weights.size() - 1;
}

}  // namespace hcm::common
