#pragma once
// HCM Chapter 20, Step 5b, with Chapter 30, Section 3: the proportion of time that platoons from
// upstream signals block the movements of a two-way STOP-controlled intersection, derived from
// the signals' dispersed arrival profiles at the intersection.
//
// The major street runs east-west; one upstream signal may feed each direction. A step of the
// cycle blocks a movement when more vehicles arrive in it than the movement's critical headway
// lets pass (Δ / t_c,x); the share of blocked steps is p_b,x.
//
//   UpstreamSignals s = read_upstream_signals(R"({"cycle_s": 90, "eastbound": {...}})");
//   twsc::PlatoonBlockage pb = compute_platoon_blockage(s, intersection);
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "hcm/urban_segments/platoon_dispersion.hpp"
#include "json/record_fwd.hpp"

namespace hcm::twsc::twsc {
struct Twsc;
struct PlatoonBlockage;
}  // namespace hcm::twsc::twsc

namespace hcm::twsc::computed_pb {

using urban_segments::platoon_dispersion::MovementDischarge;

// The signal that feeds one direction of the major street.
struct UpstreamSignal {
    double distance_ft = 0.0;            // from the upstream signal to the intersection
    double progression_speed_mph = 0.0;  // travel speed of the platoons
    std::vector<MovementDischarge> discharges;  // the movements discharging toward the intersection
    double uniform_volume_veh_h = 0.0;   // arriving evenly over the cycle

    friend bool operator==(const UpstreamSignal&, const UpstreamSignal&) = default;
};

struct UpstreamSignals {
    double cycle_s = 0.0;  // common cycle C of the upstream signals
    std::optional<UpstreamSignal> eastbound;
    std::optional<UpstreamSignal> westbound;
    double time_step_s = 1.0;  // Δ, one step of the arrival profiles

    friend bool operator==(const UpstreamSignals&, const UpstreamSignals&) = default;
};

// Number of profile steps over one cycle: C / max(Δ, 1e-9) rounded half away from zero, a
// negative count (or not a number) taken as 0, saturated.
std::uint64_t profile_steps(const UpstreamSignals& signals);

// The eight proportions p_b,x of the intersection's critical headways (single stage) against
// the arrival profiles of the signals. Reads only the intersection's inputs. Throws hcm::Error
// "too many platoon-profile steps: {n}" when the cycle holds more than
// platoon_dispersion::MAX_PROFILE_STEPS steps, before any profile is built.
twsc::PlatoonBlockage compute_platoon_blockage(const UpstreamSignals& signals, const twsc::Twsc& intersection);

const jsonio::Record<UpstreamSignal>& json_record(jsonio::Tag<UpstreamSignal>);
const jsonio::Record<UpstreamSignals>& json_record(jsonio::Tag<UpstreamSignals>);

// One UpstreamSignals object (only whitespace may follow it); a failure throws hcm::Error
// "invalid upstream_signals JSON: {parser message}".
UpstreamSignals read_upstream_signals(std::string_view text);

}  // namespace hcm::twsc::computed_pb
