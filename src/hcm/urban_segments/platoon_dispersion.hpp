#pragma once
// HCM Chapter 30, Section 3: platoon dispersion of upstream signal discharge.
//
// Vehicles released by an upstream signal spread out on their way downstream. The arrival flow
// profile over one cycle at a downstream point is built from each upstream movement's discharge
// pattern (queue service at saturation flow, then the rest of the cycle's volume over the rest
// of the green), dispersed by Robertson's model, plus an optional uniform background flow. The
// urban segment takes its proportion arriving on green from it; the two-way STOP-controlled
// intersection derives its platoon blockage from the same profile.
//
//   std::vector<double> q = combined_arrival_profile(discharges, 120, 0.0, 1.0, 25.0);
//   double p = proportion_arriving_green(q, 40, 50);   // share of arrivals in steps 40..89
//
// A member of type MovementDischarge (or a list of them) in another chapter's record reads and
// writes through the record table declared here: five required numbers, compact or pretty.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "base/numeric.hpp"
#include "json/record_fwd.hpp"

namespace hcm::urban_segments::platoon_dispersion {

// One upstream movement's discharge over one cycle.
struct MovementDischarge {
    double discharge_volume_veh_h = 0.0;  // volume discharged over the cycle
    double saturation_flow_veh_h = 0.0;   // discharge rate while the standing queue clears
    double green_start_s = 0.0;           // start of the movement's green in the cycle
    double green_duration_s = 0.0;
    double queue_service_time_s = 0.0;    // from green start until the queue has cleared

    friend bool operator==(const MovementDischarge&, const MovementDischarge&) = default;
};

const jsonio::Record<MovementDischarge>& json_record(jsonio::Tag<MovementDischarge>);

// A time counted in steps (time / step) rounded half away from zero to whole steps, saturated
// (not a number gives 0). The signed form keeps negative starts and shifts negative before
// they wrap modulo the cycle; the unsigned form counts them as 0.
inline std::int64_t whole_steps_signed(double steps) { return base::to_signed_sat<std::int64_t>(std::round(steps)); }
inline std::uint64_t whole_steps(double steps) { return base::to_unsigned_sat<std::uint64_t>(std::round(steps)); }

// Index in [0, n) of step k of a cyclic profile of n steps (0 < n <= MAX_PROFILE_STEPS).
inline std::uint64_t wrap_step(std::int64_t k, std::uint64_t n) {
    const auto cycle = static_cast<std::int64_t>(n);
    const std::int64_t r = k % cycle;
    return static_cast<std::uint64_t>(r < 0 ? r + cycle : r);
}

// The longest arrival profile built: a million steps (a 1-second step over 11.5 days, or a
// 0.1-second step over more than a day), far beyond any cycle. Callers turn a longer request
// into their own fallback or refusal before asking for the profile.
inline constexpr std::uint64_t MAX_PROFILE_STEPS = 1'000'000;

// A profile of at least this much work (discharges x steps) polls for cancellation before every
// pass of its dispersion; a smaller one takes milliseconds at most and never stops part-way, so
// that its callers need not prepare for a cancelled profile.
inline constexpr std::uint64_t MIN_POLLED_PROFILE_WORK = 100'000;

// Whether a profile of n steps from that many discharges polls for cancellation (n at most
// MAX_PROFILE_STEPS).
inline bool profile_polls(std::size_t discharges, std::uint64_t n) {
    return static_cast<std::uint64_t>(discharges) * n >= MIN_POLLED_PROFILE_WORK;
}

// Arrival profile at the downstream point: entry i is the number of vehicles arriving during step
// i of one cycle of n steps of `step_s` seconds, from the upstream `discharges` dispersed over
// the travel time `travel_time_s`, plus `uniform_volume_veh_h` spread evenly over the cycle when
// positive. A green that is not positive (or not a number) contributes nothing; green starts
// before zero and greens longer than the cycle wrap modulo n. n = 0 gives an empty profile.
// Throws hcm::Error for n above MAX_PROFILE_STEPS, and base::Cancelled when a profile that polls
// (profile_polls) is cancelled.
std::vector<double> combined_arrival_profile(std::span<const MovementDischarge> discharges, std::uint64_t n,
                                             double uniform_volume_veh_h, double step_s, double travel_time_s);

// Share of the profile's vehicles that arrive in the m steps from `start` on (wrapping past the
// end), in [0, 1]; 0 for an empty profile or one without a positive total.
double proportion_arriving_green(std::span<const double> profile, std::uint64_t start, std::uint64_t m);

}  // namespace hcm::urban_segments::platoon_dispersion
