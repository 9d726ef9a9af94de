#include "base/sampling.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

namespace sampling = base::sampling;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(Sampling, GammaPAgainstClosedForms) {
    for (double x : {0.01, 0.3, 1.0, 1.9, 2.5, 7.0, 40.0}) {
        EXPECT_NEAR(sampling::gamma_p(1.0, x), 1.0 - std::exp(-x), 1e-13) << x;        // exponential
        EXPECT_NEAR(sampling::gamma_p(0.5, x), std::erf(std::sqrt(x)), 1e-13) << x;    // chi-square, 1 d.f.
        EXPECT_NEAR(sampling::gamma_p(2.0, x), 1.0 - (1.0 + x) * std::exp(-x), 1e-13) << x;
    }
    EXPECT_NEAR(sampling::ln_gamma(5.0), std::log(24.0), 1e-10);
    EXPECT_NEAR(sampling::ln_gamma(0.5), 0.5 * std::log(M_PI), 1e-10);
    EXPECT_EQ(sampling::gamma_p(0.0, 1.0), 0.0);
    EXPECT_EQ(sampling::gamma_p(1.0, 0.0), 0.0);
    EXPECT_EQ(sampling::gamma_p(1.0, -2.0), 0.0);
}

TEST(Sampling, GammaQuantileInvertsTheDistribution) {
    // Mean = sd: the exponential distribution, quantile -m ln(1 - u).
    for (double u : {0.001, 0.2, 0.5, 0.9, 0.999})
        EXPECT_NEAR(sampling::gamma_quantile(2.0, 2.0, u), -2.0 * std::log(1.0 - u), 1e-9) << u;
    // Any shape: P(k, x / q) at the quantile gives u back.
    const double m = 1.2, s = 0.96, k = (m / s) * (m / s), q = s * s / m;
    for (double u : {0.05, 0.5, 0.95}) EXPECT_NEAR(sampling::gamma_p(k, sampling::gamma_quantile(m, s, u) / q), u, 1e-10);
    // Degenerate inputs: max(m, 0), 0 for a NaN mean.
    EXPECT_EQ(sampling::gamma_quantile(-1.0, 1.0, 0.5), 0.0);
    EXPECT_EQ(sampling::gamma_quantile(2.0, 0.0, 0.5), 2.0);
    EXPECT_EQ(sampling::gamma_quantile(kNaN, 1.0, 0.5), 0.0);
    // u = 0 and u = 1 are clamped to [1e-12, 1 - 1e-12]: finite quantiles.
    EXPECT_GT(sampling::gamma_quantile(1.0, 1.0, 0.0), 0.0);
    EXPECT_TRUE(std::isfinite(sampling::gamma_quantile(1.0, 1.0, 1.0)));
}

TEST(Sampling, NormalQuantileIsAcklamsWithoutRefinement) {
    // Relative error of the approximation below 1.15e-9 in all three branches.
    EXPECT_NEAR(sampling::normal_quantile(0.975), 1.959963984540054, 2.3e-9);
    EXPECT_NEAR(sampling::normal_quantile(0.01), -2.326347874040841, 2.7e-9);
    EXPECT_NEAR(sampling::normal_quantile(0.999), 3.090232306167814, 3.6e-9);
    EXPECT_EQ(sampling::normal_quantile(0.5), 0.0);
    EXPECT_EQ(sampling::normal_quantile(0.0), sampling::normal_quantile(1e-12));
    EXPECT_EQ(sampling::normal_quantile(1.0), sampling::normal_quantile(0.999999999999));
    // The unrefined value, to the bit: a refinement step would change it.
    EXPECT_EQ(sampling::normal_quantile(0.975), 1.959963986120195);
}

}  // namespace
