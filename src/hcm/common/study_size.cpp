#include "hcm/common/study_size.hpp"

#include <limits>
#include <string>

#include "hcm/common/error.hpp"

namespace hcm::common {

std::uint64_t saturating_product(std::initializer_list<std::uint64_t> factors) {
    std::uint64_t product = 1;
    for (std::uint64_t f : factors)
        if (__builtin_mul_overflow(product, f, &product)) return std::numeric_limits<std::uint64_t>::max();
    return product;
}

void check_scenario_count(std::uint64_t count, std::uint64_t max, std::string_view factors) {
    if (count <= max) return;
    throw Error("study would build " +
                (count == std::numeric_limits<std::uint64_t>::max() ? std::string("more than ") : std::string()) +
                std::to_string(count) + " scenarios (" + std::string(factors) + "); at most " + std::to_string(max) +
                " are allowed");
}

}  // namespace hcm::common
