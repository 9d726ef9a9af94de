#pragma once
// Numeric helpers under every layer.
#include <cmath>
#include <concepts>
#include <limits>

namespace base {

// Minimum and maximum that ignore an operand that is not a number, as the freeway facility method
// and its oversaturated engine take them: the other operand comes back (not a number only when
// both are), and the first operand on a tie. Inline, where std::fmin and std::fmax are calls.
inline double min2(double a, double b) { return (b < a || std::isnan(a)) ? b : a; }
inline double max2(double a, double b) { return (b > a || std::isnan(a)) ? b : a; }

// A weighted mean that leaves out the terms whose weight is not above 0: an unused lane or
// movement (whose value may be undefined, an infinite delay on a zero capacity) weighs nothing,
// so it cannot turn the mean into not a number. The rule of every flow-weighted average.
struct WeightedMean {
    double weighted = 0.0;
    double weight = 0.0;
    void add(double value, double w) {
        if (!(w > 0.0)) return;
        weighted += value * w;
        weight += w;
    }
    bool any() const { return weight > 0.0; }
    // The mean, or `fallback` without any term.
    double mean_or(double fallback) const { return any() ? weighted / weight : fallback; }
};

// Saturating conversions of a double to an integer, for every count, index or step derived from
// input (a bare static_cast of a NaN or out-of-range double is undefined behaviour). The value is
// truncated toward zero; round or floor it first where the method asks for that:
//   to_unsigned_sat<std::uint32_t>(std::ceil(lanes))
//
// To an unsigned type: NaN and values below 1 give 0, values beyond the type's maximum give it.
template <std::unsigned_integral T>
constexpr T to_unsigned_sat(double x) {
    constexpr T max = std::numeric_limits<T>::max();
    // The maximum as a double may round up (2^64 for 64 bits): everything at or beyond it clamps,
    // everything below it truncates into range.
    constexpr double limit = static_cast<double>(max);
    if (!(x > 0.0)) return 0;
    if (x >= limit) return max;
    return static_cast<T>(x);
}

// To a signed type: NaN gives 0, values clamp to [min, max], the sign kept.
template <std::signed_integral T>
constexpr T to_signed_sat(double x) {
    constexpr T min = std::numeric_limits<T>::min();
    constexpr T max = std::numeric_limits<T>::max();
    constexpr double low = static_cast<double>(min);    // exact: a power of two
    constexpr double high = static_cast<double>(max);  // may round up to 2^(bits-1)
    if (x != x) return 0;
    if (x <= low) return min;
    if (x >= high) return max;
    return static_cast<T>(x);
}

// 1 - (1 - p)^n, the probability that an event of probability p happens at least once in n
// independent trials, by log1p and expm1 for p below 1: accurate however small p is, where the
// printed form keeps only the digits above 1e-16 (and gives 0 for every p below 1.1e-16).
inline double at_least_once(double p, double n) {
    return p < 1.0 ? -std::expm1(n * std::log1p(-p)) : 1.0 - std::pow(1.0 - p, n);
}

// erf(z) by the rational approximation 7.1.26 of Abramowitz and Stegun (absolute error below
// 1.5e-7), odd in z: the error function the HCM's spreadsheet methods use for normal and lognormal
// distribution functions, where their published numbers follow from it rather than from an exact
// erf.
inline double erf_approximation(double z) {
    constexpr double P = 0.3275911;
    constexpr double A1 = 0.254829592;
    constexpr double A2 = -0.284496736;
    constexpr double A3 = 1.421413741;
    constexpr double A4 = -1.453152027;
    constexpr double A5 = 1.061405429;
    const double a = std::abs(z);
    const double t = 1.0 / (1.0 + P * a);
    const double e = 1.0 - t * (A1 + t * (A2 + t * (A3 + t * (A4 + t * A5)))) * std::exp(-a * a);
    return z >= 0.0 ? e : -e;
}

}  // namespace base
