#pragma once
// The bound on the number of scenarios a reliability study builds. Every scenario is analysed
// while the caller waits, so a larger study is refused before anything is drawn.
#include <cstdint>
#include <initializer_list>
#include <string_view>

namespace hcm::common {

// The product of the factors, saturating at the largest u64 once any partial product overflows.
std::uint64_t saturating_product(std::initializer_list<std::uint64_t> factors);

// Throws hcm::Error "study would build {count} scenarios ({factors}); at most {max} are allowed"
// when count exceeds max; a saturated count reads "more than {count}".
void check_scenario_count(std::uint64_t count, std::uint64_t max, std::string_view factors);

}  // namespace hcm::common
