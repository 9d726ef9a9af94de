#pragma once
// Cooperative cancellation of long computations. A caller installs a check for the duration of a
// call (CancelScope); loops whose work grows with their input call poll_cancel() at period,
// scenario or segment boundaries, and it throws Cancelled once the check reports that the call
// must stop. Without a check installed a poll is one thread-local load and a test.
#include <cstddef>

namespace base {

// Thrown by poll_cancel. Not a std::exception, so that handlers of computation failures do not
// absorb it: it unwinds to whoever installed the check.
struct Cancelled {};

// Returns true when the running call must stop.
using CancelCheck = bool (*)();

namespace detail {
inline thread_local CancelCheck cancel_check = nullptr;
}  // namespace detail

// Throws Cancelled when a check is installed on this thread and reports that the call must stop.
inline void poll_cancel() {
    const CancelCheck check = detail::cancel_check;
    if (check != nullptr && check()) throw Cancelled{};
}

// Polls on every `stride`-th iteration of a loop (index i = stride - 1, 2 stride - 1, ...): for a
// loop of many iterations each too cheap to poll on, so that a short one does not poll at all.
inline void poll_cancel_every(std::size_t i, std::size_t stride = 64) {
    if (i % stride == stride - 1) poll_cancel();
}

// Installs `check` on this thread until the scope ends, then restores the check it replaced.
class CancelScope {
public:
    explicit CancelScope(CancelCheck check) noexcept : previous_(detail::cancel_check) {
        detail::cancel_check = check;
    }
    ~CancelScope() { detail::cancel_check = previous_; }
    CancelScope(const CancelScope&) = delete;
    CancelScope& operator=(const CancelScope&) = delete;

private:
    CancelCheck previous_;
};

}  // namespace base
