#include "base/sampling.hpp"

#include <algorithm>
#include <array>
#include <cmath>

namespace base::sampling {

namespace {
constexpr std::array<double, 6> LANCZOS = {76.18009172947146,     -86.50532032941678,    24.01409824083091,
                                           -1.231739572450155,    0.001208650973866179, -5.395239384953e-06};
constexpr double LANCZOS_BASE = 1.000000000190015;
constexpr double SQRT_TWO_PI = 2.5066282746310007;
constexpr int GAMMA_SERIES_TERMS = 500;
constexpr int GAMMA_FRACTION_ITERATIONS = 499;
constexpr double GAMMA_EPS = 1e-14;
constexpr double LENTZ_TINY = 1e-300;

// Acklam's rational approximation of the standard normal quantile.
constexpr std::array<double, 6> ACKLAM_A = {-3.969683028665376e+01, 2.209460984245205e+02, -2.759285104469687e+02,
                                            1.383577518672690e+02,  -3.066479806614716e+01, 2.506628277459239e+00};
constexpr std::array<double, 5> ACKLAM_B = {-5.447609879822406e+01, 1.615858368580409e+02, -1.556989798598866e+02,
                                            6.680131188771972e+01, -1.328068155288572e+01};
constexpr std::array<double, 6> ACKLAM_C = {-7.784894002430293e-03, -3.223964580411365e-01, -2.400758277161838e+00,
                                            -2.549732539343734e+00, 4.374664141464968e+00,  2.938163982698783e+00};
constexpr std::array<double, 4> ACKLAM_D = {7.784695709041462e-03, 3.224671290700398e-01, 2.445134137142996e+00,
                                            3.754408661907416e+00};
constexpr double ACKLAM_P_LOW = 0.02425;
constexpr double ACKLAM_P_HIGH = 1.0 - ACKLAM_P_LOW;
constexpr double U_MIN = 1e-12;
constexpr double U_MAX = 0.999999999999;

// The tail branch of Acklam's approximation at q = sqrt(-2 ln p).
double acklam_tail(double q) {
    const auto& c = ACKLAM_C;
    const auto& d = ACKLAM_D;
    return (((((c[0] * q + c[1]) * q + c[2]) * q + c[3]) * q + c[4]) * q + c[5]) /
           ((((d[0] * q + d[1]) * q + d[2]) * q + d[3]) * q + 1.0);
}

// Gamma quantile search bounds.
constexpr double QUANTILE_START_SDS = 30.0;
constexpr double QUANTILE_MAX_HI = 1e12;
constexpr int QUANTILE_BISECTIONS = 200;
constexpr double QUANTILE_TOLERANCE = 1e-12;
}  // namespace

double ln_gamma(double a) {
    double series = LANCZOS_BASE;
    double y = a;
    for (double c : LANCZOS) series += c / ++y;
    return (a + 0.5) * std::log(a + 5.5) - (a + 5.5) + std::log(SQRT_TWO_PI * series / a);
}

double gamma_p(double a, double x) {
    if (a <= 0.0 || x <= 0.0) return 0.0;
    const double prefactor = std::exp(a * std::log(x) - x - ln_gamma(a));
    if (x < a + 1.0) {
        // Series: 1/a + x/(a(a+1)) + x^2/(a(a+1)(a+2)) + ...
        double term = 1.0 / a, sum = term, ap = a;
        for (int n = 1; n < GAMMA_SERIES_TERMS; ++n) {
            ap += 1.0;
            term *= x / ap;
            sum += term;
            if (std::abs(term) < std::abs(sum) * GAMMA_EPS) break;
        }
        return sum * prefactor;
    }
    // Continued fraction of Q(a, x) by the modified Lentz method: b0 = x + 1 - a,
    // a_i = -i (i - a), b_i = b_(i-1) + 2.
    double b = x + 1.0 - a;
    double c = 1.0 / LENTZ_TINY;
    double d = 1.0 / b;
    double h = d;
    for (int i = 1; i <= GAMMA_FRACTION_ITERATIONS; ++i) {
        const double an = -i * (i - a);
        b += 2.0;
        d = an * d + b;
        if (std::abs(d) < LENTZ_TINY) d = LENTZ_TINY;
        c = b + an / c;
        if (std::abs(c) < LENTZ_TINY) c = LENTZ_TINY;
        d = 1.0 / d;
        const double step = d * c;
        h *= step;
        if (std::abs(step - 1.0) < GAMMA_EPS) break;
    }
    return 1.0 - prefactor * h;
}

double gamma_quantile(double mean, double sd, double u) {
    if (!(mean > 0.0) || !(sd > 0.0)) return mean > 0.0 ? mean : 0.0;
    const double shape = (mean / sd) * (mean / sd);
    const double scale = sd * sd / mean;
    u = std::clamp(u, U_MIN, U_MAX);
    double hi = mean + QUANTILE_START_SDS * sd;
    while (gamma_p(shape, hi / scale) < u) {
        hi *= 2.0;
        if (hi > QUANTILE_MAX_HI) break;
    }
    double lo = 0.0;
    for (int i = 0; i < QUANTILE_BISECTIONS; ++i) {
        const double mid = (lo + hi) / 2.0;
        if (gamma_p(shape, mid / scale) < u)
            lo = mid;
        else
            hi = mid;
        if (hi - lo < (hi + 1.0) * QUANTILE_TOLERANCE) break;
    }
    return (lo + hi) / 2.0;
}

// Acklam's approximation without the refinement step (which would change the low bits, and with
// them the weather draws), each polynomial in the Horner order given with the coefficients.
double normal_quantile(double u) {
    const double p = std::clamp(u, U_MIN, U_MAX);
    if (p < ACKLAM_P_LOW) return acklam_tail(std::sqrt(-2.0 * std::log(p)));
    if (p > ACKLAM_P_HIGH) return -acklam_tail(std::sqrt(-2.0 * std::log(1.0 - p)));
    const auto& a = ACKLAM_A;
    const auto& b = ACKLAM_B;
    const double q = p - 0.5;
    const double r = q * q;
    return (((((a[0] * r + a[1]) * r + a[2]) * r + a[3]) * r + a[4]) * r + a[5]) * q /
           (((((b[0] * r + b[1]) * r + b[2]) * r + b[3]) * r + b[4]) * r + 1.0);
}


}  // namespace base::sampling
