#pragma once
// The distributions behind the reliability methods' random draws: the gamma distribution (its
// log-gamma normaliser, the regularised incomplete gamma function and its quantile) and the
// standard normal quantile. Each is deterministic to the bit, so that seeded draws repeat.
namespace base::sampling {

// ln Gamma(a) by the Lanczos series.
double ln_gamma(double a);
// Regularised lower incomplete gamma function P(a, x); 0 when a <= 0 or x <= 0.
double gamma_p(double a, double x);
// Quantile at u of the gamma distribution with mean m and standard deviation s, by bisection;
// max(m, 0) when m or s is not positive.
double gamma_quantile(double mean, double sd, double u);
// Standard normal quantile at u.
double normal_quantile(double u);

}  // namespace base::sampling
