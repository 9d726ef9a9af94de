#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "base/numeric.hpp"

using base::to_signed_sat;
using base::to_unsigned_sat;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

template <class T>
constexpr T max_of = std::numeric_limits<T>::max();
template <class T>
constexpr T min_of = std::numeric_limits<T>::min();

struct UnsignedCase {
    double x;
    std::uint8_t u8;
    std::uint32_t u32;
    std::uint64_t u64;
};

class ToUnsignedSat : public ::testing::TestWithParam<UnsignedCase> {};

TEST_P(ToUnsignedSat, TruncatesOrClamps) {
    const auto& c = GetParam();
    EXPECT_EQ(to_unsigned_sat<std::uint8_t>(c.x), c.u8) << c.x;
    EXPECT_EQ(to_unsigned_sat<std::uint32_t>(c.x), c.u32) << c.x;
    EXPECT_EQ(to_unsigned_sat<std::uint64_t>(c.x), c.u64) << c.x;
}

INSTANTIATE_TEST_SUITE_P(
    Numeric, ToUnsignedSat,
    ::testing::Values(UnsignedCase{kNaN, 0, 0, 0}, UnsignedCase{-kInf, 0, 0, 0}, UnsignedCase{-1e30, 0, 0, 0},
                      UnsignedCase{-0.9, 0, 0, 0}, UnsignedCase{-0.0, 0, 0, 0}, UnsignedCase{0.9999, 0, 0, 0},
                      UnsignedCase{7.9, 7, 7, 7}, UnsignedCase{255.0, 255, 255, 255}, UnsignedCase{256.5, 255, 256, 256},
                      UnsignedCase{4294967295.0, 255, 4294967295u, 4294967295u},
                      UnsignedCase{4294967296.0, 255, max_of<std::uint32_t>, 4294967296u},
                      // the largest double below 2^64 still fits; 2^64 and beyond clamp
                      UnsignedCase{18446744073709549568.0, 255, max_of<std::uint32_t>, 18446744073709549568u},
                      UnsignedCase{18446744073709551616.0, 255, max_of<std::uint32_t>, max_of<std::uint64_t>},
                      UnsignedCase{kInf, 255, max_of<std::uint32_t>, max_of<std::uint64_t>}));

struct SignedCase {
    double x;
    std::int8_t i8;
    std::int32_t i32;
    std::int64_t i64;
};

class ToSignedSat : public ::testing::TestWithParam<SignedCase> {};

TEST_P(ToSignedSat, TruncatesTowardZeroOrClampsKeepingTheSign) {
    const auto& c = GetParam();
    EXPECT_EQ(to_signed_sat<std::int8_t>(c.x), c.i8) << c.x;
    EXPECT_EQ(to_signed_sat<std::int32_t>(c.x), c.i32) << c.x;
    EXPECT_EQ(to_signed_sat<std::int64_t>(c.x), c.i64) << c.x;
}

INSTANTIATE_TEST_SUITE_P(
    Numeric, ToSignedSat,
    ::testing::Values(SignedCase{kNaN, 0, 0, 0}, SignedCase{-0.0, 0, 0, 0}, SignedCase{0.9, 0, 0, 0},
                      SignedCase{-0.9, 0, 0, 0}, SignedCase{-7.9, -7, -7, -7}, SignedCase{7.9, 7, 7, 7},
                      SignedCase{-128.0, -128, -128, -128}, SignedCase{-129.5, -128, -129, -129},
                      SignedCase{127.5, 127, 127, 127}, SignedCase{-2147483648.0, -128, min_of<std::int32_t>, -2147483648},
                      SignedCase{-2147483649.0, -128, min_of<std::int32_t>, -2147483649},
                      SignedCase{2147483647.9, 127, max_of<std::int32_t>, 2147483647},
                      SignedCase{2147483648.0, 127, max_of<std::int32_t>, 2147483648},
                      // the largest double below 2^63 still fits; 2^63 and beyond clamp
                      SignedCase{9223372036854774784.0, 127, max_of<std::int32_t>, 9223372036854774784},
                      SignedCase{9223372036854775808.0, 127, max_of<std::int32_t>, max_of<std::int64_t>},
                      SignedCase{-9223372036854775808.0, -128, min_of<std::int32_t>, min_of<std::int64_t>},
                      SignedCase{-1e300, -128, min_of<std::int32_t>, min_of<std::int64_t>},
                      SignedCase{kInf, 127, max_of<std::int32_t>, max_of<std::int64_t>},
                      SignedCase{-kInf, -128, min_of<std::int32_t>, min_of<std::int64_t>}));

static_assert(to_unsigned_sat<std::uint16_t>(70000.0) == 65535);
static_assert(to_signed_sat<std::int16_t>(-40000.0) == -32768);

}  // namespace

TEST(ErfApproximation, WithinItsErrorBoundAndOdd) {
    for (const double z : {0.0, 0.1, 0.5, 1.0, 1.7, 2.5, 4.0, 10.0}) {
        EXPECT_NEAR(base::erf_approximation(z), std::erf(z), 1.5e-7) << z;
        if (z > 0.0) {
            EXPECT_EQ(base::erf_approximation(-z), -base::erf_approximation(z)) << z;
        }
    }
    EXPECT_TRUE(std::isnan(base::erf_approximation(std::nan(""))));
    // At 0 the five coefficients sum to 0.999999999, leaving 1e-9 (the approximation, not erf).
    EXPECT_NEAR(base::erf_approximation(0.0), 1e-9, 1e-15);
}

TEST(WeightedMean, LeavesOutTermsWithoutWeight) {
    base::WeightedMean m;
    EXPECT_EQ(m.mean_or(-1.0), -1.0);
    m.add(std::numeric_limits<double>::infinity(), 0.0);  // an unused lane with an undefined delay
    m.add(std::nan(""), -5.0);
    m.add(10.0, std::nan(""));
    EXPECT_FALSE(m.any());
    m.add(10.0, 100.0);
    m.add(40.0, 50.0);
    EXPECT_EQ(m.mean_or(-1.0), 20.0);
    EXPECT_EQ(m.weight, 150.0);
    m.add(kInf, 1e-3);  // a lane group with flow that is never served
    EXPECT_EQ(m.mean_or(-1.0), kInf);
}

// 1 - (1 - p)^n: the printed form gives 0 at p = 1e-20 and keeps four digits at p = 1e-12.
TEST(AtLeastOnce, KeepsEveryDigitOfASmallProbability) {
    EXPECT_NEAR(base::at_least_once(1e-20, 10), 1e-19, 1e-34);
    EXPECT_NEAR(base::at_least_once(1e-12, 15), 15e-12 - 105e-24, 1e-27);
    EXPECT_NEAR(base::at_least_once(0.2, 15), 1 - std::pow(0.8, 15), 1e-15);
    EXPECT_EQ(base::at_least_once(0.0, 15), 0.0);
    EXPECT_EQ(base::at_least_once(1.0, 3), 1.0);
    EXPECT_EQ(base::at_least_once(1.0, 0), 0.0);  // no trial
    EXPECT_EQ(base::at_least_once(0.3, 0), 0.0);
}
