#pragma once
// The root search of the service-flow-rate procedures (HCM Chapters 27 and 28, Example Problem 5):
// the flow at which a measure that grows with the flow, such as density, reaches a target.
#include <optional>

namespace base {

// The x at which an increasing f(x) reaches `target`. The bracket [0, first] is doubled (lo taking
// hi's value) while f(hi) < target, at most `max_doublings` times; then `bisections` halvings keep
// f(lo) < target <= f(hi), and the midpoint of the last bracket is returned. No value when f(hi)
// is still below the target after the last doubling. Calls f at most 1 + max_doublings + bisections
// times and allocates nothing.
template <class F>
std::optional<double> bracket_and_bisect(F&& f, double target, double first, int max_doublings, int bisections) {
    double lo = 0.0;
    double hi = first;
    for (int doublings = 0; f(hi) < target; ++doublings) {
        if (doublings == max_doublings) return std::nullopt;
        lo = hi;
        hi *= 2.0;
    }
    for (int i = 0; i < bisections; ++i) {
        const double mid = 0.5 * (lo + hi);
        if (f(mid) < target) {
            lo = mid;
        } else {
            hi = mid;
        }
    }
    return 0.5 * (lo + hi);
}

}  // namespace base
