#include "hcm/urban_segments/platoon_dispersion.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "base/cancel.hpp"
#include "base/numeric.hpp"
#include "base/units.hpp"
#include "hcm/common/error.hpp"
#include "hcm/urban_segments/exhibits.hpp"
#include "json/jsonio.hpp"

namespace hcm::urban_segments::platoon_dispersion {

namespace {

using base::max2;
using base::min2;
using base::units::SECONDS_PER_HOUR;

using namespace exhibits::robertson;

constexpr double MIN_STEP_S = 1e-9;  // stands in for a step that is not positive, in F and the lag only

// The passes over the cycle stop once the profile changes by less than this in total (vehicles),
// or after the pass limit.
constexpr double CONVERGENCE_VEH = 1e-12;
constexpr int MAX_PASSES = 100;

// Number of j in [0, b) with j = r (mod n), for r in [0, n).
std::uint64_t residue_count(std::uint64_t b, std::uint64_t r, std::uint64_t n) {
    return b / n + (r < b % n ? 1 : 0);
}

// The upstream departures of one movement (vehicles per step), written at their downstream
// positions: departure step k lands at index (k + lag) mod n, so that out[i] is the departure
// the dispersion reads for step i. `out` holds n zeros on entry.
void add_departures(const MovementDischarge& m, double step_s, std::uint64_t lag, std::span<double> out) {
    const double g = m.green_duration_s;
    if (!(g > 0.0)) return;  // no green (or not a number): nothing departs
    const std::uint64_t n = out.size();
    const double cycle_s = step_s * static_cast<double>(n);
    const double q_sat = step_s * m.saturation_flow_veh_h / SECONDS_PER_HOUR;  // vehicles per step while the queue clears

    const std::int64_t n_green = whole_steps_signed(g / step_s);
    const std::int64_t n_queue = whole_steps_signed(min2(max2(m.queue_service_time_s, 0.0), g) / step_s);
    const std::int64_t green_steps = std::max<std::int64_t>(n_green, 0);
    const std::int64_t queue_steps = std::clamp<std::int64_t>(n_queue, 0, green_steps);
    const std::int64_t rest_steps = green_steps - queue_steps;
    // The rest of the cycle's volume, spread evenly over the rest of the green.
    const double q_rest =
        rest_steps >= 1
            ? max2(cycle_s * m.discharge_volume_veh_h / SECONDS_PER_HOUR - q_sat * static_cast<double>(queue_steps), 0.0) /
                  static_cast<double>(rest_steps)
            : 0.0;

    const std::uint64_t first = (wrap_step(whole_steps_signed(m.green_start_s / step_s), n) + lag) % n;
    const auto total = static_cast<std::uint64_t>(green_steps);
    const auto queue = static_cast<std::uint64_t>(queue_steps);
    if (total <= n) {
        // The green fits in the cycle: each step departs once.
        for (std::uint64_t j = 0; j < total; ++j) {
            std::uint64_t i = first + j;
            if (i >= n) i -= n;
            out[i] += j < queue ? q_sat : q_rest;
        }
        return;
    }
    // A green longer than the cycle wraps over itself: count how often each step of the cycle
    // is passed while the queue clears and afterwards, instead of walking the green step by step.
    for (std::uint64_t r = 0; r < n; ++r) {
        const std::uint64_t at_sat = residue_count(queue, r, n);
        const std::uint64_t at_rest = residue_count(total, r, n) - at_sat;
        std::uint64_t i = first + r;
        if (i >= n) i -= n;
        if (at_sat > 0) out[i] += static_cast<double>(at_sat) * q_sat;
        if (at_rest > 0) out[i] += static_cast<double>(at_rest) * q_rest;
    }
}

// Disperses the (already lagged) departures over repeated cycles until the profile settles:
// y_i = (1 - F) y_(i-1) + F departures_i, carried over from the end of the previous cycle.
// `profile` holds n zeros on entry and the dispersed arrivals on return. With `poll`, each pass
// first polls for cancellation.
void disperse(std::span<const double> departures, double smoothing, std::span<double> profile, bool poll) {
    const std::size_t n = profile.size();
    const double keep = 1.0 - smoothing;
    for (int pass = 0; pass < MAX_PASSES; ++pass) {
        if (poll) base::poll_cancel();
        double y = profile[n - 1];
        double change = 0.0;
        for (std::size_t i = 0; i < n; ++i) {
            y = keep * y + smoothing * departures[i];
            change += std::abs(y - profile[i]);
            profile[i] = y;
        }
        if (change < CONVERGENCE_VEH) break;
    }
}

}  // namespace

const jsonio::Record<MovementDischarge>& json_record(jsonio::Tag<MovementDischarge>) {
    using M = MovementDischarge;
    static const jsonio::Record<M> record{"MovementDischarge",
                                          {
                                              jsonio::required("discharge_volume_veh_h", &M::discharge_volume_veh_h),
                                              jsonio::required("saturation_flow_veh_h", &M::saturation_flow_veh_h),
                                              jsonio::required("green_start_s", &M::green_start_s),
                                              jsonio::required("green_duration_s", &M::green_duration_s),
                                              jsonio::required("queue_service_time_s", &M::queue_service_time_s),
                                          }};
    return record;
}

std::vector<double> combined_arrival_profile(std::span<const MovementDischarge> discharges, std::uint64_t n,
                                             double uniform_volume_veh_h, double step_s, double travel_time_s) {
    if (n > MAX_PROFILE_STEPS)
        throw Error("arrival profile of " + std::to_string(n) + " steps exceeds the limit of " +
                    std::to_string(MAX_PROFILE_STEPS) + " steps");
    std::vector<double> total(n, 0.0);
    if (n == 0) return total;
    if (!discharges.empty()) {
        const double dt = max2(step_s, MIN_STEP_S);
        const double travel_steps = travel_time_s / dt;
        const double smoothing = 1.0 / (1.0 + SMOOTHING_TRAVEL_COEFF * travel_steps + SMOOTHING_STEP_COEFF / dt);
        const std::uint64_t lag = wrap_step(whole_steps_signed(travel_steps - 1.0 / smoothing + LAG_OFFSET_STEPS), n);

        const bool poll = profile_polls(discharges.size(), n);
        std::vector<double> scratch(2 * n);
        std::span<double> departures(scratch.data(), n);
        std::span<double> profile(scratch.data() + n, n);
        for (const MovementDischarge& m : discharges) {
            if (!(m.green_duration_s > 0.0)) continue;  // disperses to all zeros
            std::fill(scratch.begin(), scratch.end(), 0.0);
            add_departures(m, step_s, lag, departures);
            disperse(departures, smoothing, profile, poll);
            for (std::size_t i = 0; i < n; ++i) total[i] += profile[i];
        }
    }
    if (uniform_volume_veh_h > 0.0) {
        const double per_step = uniform_volume_veh_h * step_s / SECONDS_PER_HOUR;
        for (double& v : total) v += per_step;
    }
    return total;
}

double proportion_arriving_green(std::span<const double> profile, std::uint64_t start, std::uint64_t m) {
    const std::size_t n = profile.size();
    if (n == 0) return 0.0;
    double total = 0.0;
    for (double v : profile) total += v;
    if (total <= 0.0) return 0.0;
    if (m >= n) return total / total;  // the whole cycle is green (1, or not a number with it)
    double green = 0.0;
    std::size_t i = start % n;
    for (std::uint64_t j = 0; j < m; ++j) {
        green += profile[i];
        if (++i == n) i = 0;
    }
    return std::clamp(green / total, 0.0, 1.0);
}

}  // namespace hcm::urban_segments::platoon_dispersion
