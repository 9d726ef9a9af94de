#include "hcm/common/study_size.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "hcm/common/error.hpp"

namespace {

using hcm::common::check_scenario_count;
using hcm::common::saturating_product;

constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();

TEST(StudySize, ProductSaturatesOnceAnyPartialProductOverflows) {
    EXPECT_EQ(saturating_product({}), 1u);
    EXPECT_EQ(saturating_product({12, 5, 4}), 240u);
    EXPECT_EQ(saturating_product({kMax, 1}), kMax);
    EXPECT_EQ(saturating_product({std::uint64_t{1} << 32, std::uint64_t{1} << 32}), kMax);
    // An overflow before a zero factor still saturates: the study's size is not defined by the zero.
    EXPECT_EQ(saturating_product({std::uint64_t{1} << 63, 2, 0}), kMax);
    EXPECT_EQ(saturating_product({0, kMax, kMax}), 0u);
}

TEST(StudySize, RefusalNamesTheCountTheFactorsAndTheBound) {
    EXPECT_NO_THROW(check_scenario_count(10, 10, "a x b"));
    auto message = [](std::uint64_t count) {
        try {
            check_scenario_count(count, 10, "a x b");
        } catch (const hcm::Error& e) {
            return e.message();
        }
        return std::string("no error");
    };
    EXPECT_EQ(message(11), "study would build 11 scenarios (a x b); at most 10 are allowed");
    EXPECT_EQ(message(kMax),
              "study would build more than 18446744073709551615 scenarios (a x b); at most 10 are allowed");
}

}  // namespace
