#include "base/cancel.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <exception>
#include <stdexcept>
#include <type_traits>

namespace {

int checks = 0;
bool stop_now() { return ++checks, true; }
bool carry_on() { return ++checks, false; }

// A failure handler of the computation layer must not absorb a cancellation.
static_assert(!std::is_base_of_v<std::exception, base::Cancelled>);

TEST(Cancel, PollThrowsOnlyWhileAnInstalledCheckSaysStop) {
    checks = 0;
    EXPECT_NO_THROW(base::poll_cancel());  // nothing installed
    {
        base::CancelScope scope(carry_on);
        EXPECT_NO_THROW(base::poll_cancel());
        {
            base::CancelScope inner(stop_now);
            EXPECT_THROW(base::poll_cancel(), base::Cancelled);
        }
        EXPECT_NO_THROW(base::poll_cancel());  // the outer check is back
    }
    EXPECT_NO_THROW(base::poll_cancel());
    EXPECT_EQ(checks, 3);
}

TEST(Cancel, ScopeRestoresThePreviousCheckWhenUnwinding) {
    checks = 0;
    try {
        base::CancelScope scope(stop_now);
        base::poll_cancel();
        FAIL() << "the poll did not stop the call";
    } catch (const std::exception&) {
        FAIL() << "a cancellation must not read as a failure";
    } catch (const base::Cancelled&) {
    }
    EXPECT_NO_THROW(base::poll_cancel());
    EXPECT_EQ(checks, 1);
}

TEST(Cancel, EveryNthIterationPollsAndAShortLoopNever) {
    checks = 0;
    base::CancelScope scope(carry_on);
    for (std::size_t i = 0; i < 63; ++i) base::poll_cancel_every(i);
    EXPECT_EQ(checks, 0);
    for (std::size_t i = 63; i < 200; ++i) base::poll_cancel_every(i);
    EXPECT_EQ(checks, 3);  // i = 63, 127, 191
}

}  // namespace
