#include <gtest/gtest.h>

#include "base/search.hpp"

using base::bracket_and_bisect;

namespace {

TEST(BracketAndBisect, FindsTheCrossingAfterDoubling) {
    int calls = 0;
    auto density = [&](double flow) {
        ++calls;
        return flow / 100.0;
    };
    const auto x = bracket_and_bisect(density, 35.0, 1000.0, 60, 50);  // brackets 1000, 2000, 4000
    ASSERT_TRUE(x.has_value());
    EXPECT_NEAR(*x, 3500.0, 1e-9);
    EXPECT_EQ(calls, 3 + 50);
}

TEST(BracketAndBisect, TargetReachedAtTheFirstBracketStaysInIt) {
    auto steep = [](double flow) { return flow; };
    const auto x = bracket_and_bisect(steep, 400.0, 1000.0, 60, 40);
    ASSERT_TRUE(x.has_value());
    EXPECT_NEAR(*x, 400.0, 1e-6);
}

TEST(BracketAndBisect, NoValueWhenNeverReachedAfterTheLastDoubling) {
    int calls = 0;
    auto flat = [&](double) {
        ++calls;
        return 10.0;
    };
    EXPECT_FALSE(bracket_and_bisect(flat, 35.0, 1000.0, 60, 40).has_value());
    EXPECT_EQ(calls, 61);  // the first bracket and 60 doublings, no bisection
}

}  // namespace
