#include "hcm/twsc/computed_pb.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <span>
#include <string>

#include "base/numeric.hpp"
#include "base/units.hpp"
#include "hcm/common/error.hpp"
#include "hcm/twsc/twsc.hpp"
#include "json/jsonio.hpp"

namespace hcm::twsc::computed_pb {

namespace {

namespace pd = urban_segments::platoon_dispersion;
using twsc::Mv;
using twsc::PlatoonBlockage;

constexpr double MIN_STEP_S = 1e-9;  // stands in for a step that is not positive, in the step count
constexpr double MIN_SPEED_FT_S = 1e-9;

// Which arrival profiles block a movement: the major left turns see the opposing direction, the
// minor right turns the near one, the minor crossing movements both.
enum class Looks : std::uint8_t { Eastbound, Westbound, Both };

struct BlockedMovement {
    double PlatoonBlockage::*field;
    Mv movement;
    Looks looks;
};

constexpr std::array<BlockedMovement, 8> BLOCKED = {{
    {&PlatoonBlockage::pb1, Mv::M1, Looks::Westbound},
    {&PlatoonBlockage::pb4, Mv::M4, Looks::Eastbound},
    {&PlatoonBlockage::pb7, Mv::M7, Looks::Both},
    {&PlatoonBlockage::pb8, Mv::M8, Looks::Both},
    {&PlatoonBlockage::pb9, Mv::M9, Looks::Eastbound},
    {&PlatoonBlockage::pb10, Mv::M10, Looks::Both},
    {&PlatoonBlockage::pb11, Mv::M11, Looks::Both},
    {&PlatoonBlockage::pb12, Mv::M12, Looks::Westbound},
}};

// The signal's dispersed arrivals at the intersection (vehicles per step), n steps of `step_s`.
std::vector<double> arrival_profile(const UpstreamSignal& s, std::uint64_t n, double step_s) {
    const double travel_s =
        s.distance_ft / base::max2(s.progression_speed_mph * base::units::FT_S_PER_MI_H, MIN_SPEED_FT_S);
    return pd::combined_arrival_profile(s.discharges, n, s.uniform_volume_veh_h, step_s, travel_s);
}

// Steps in which a profile present brings more than `threshold` vehicles.
std::uint64_t blocked_steps(std::span<const double> eastbound, std::span<const double> westbound, Looks looks,
                            double threshold, std::uint64_t n) {
    const bool use_eb = looks != Looks::Westbound && !eastbound.empty();
    const bool use_wb = looks != Looks::Eastbound && !westbound.empty();
    std::uint64_t k = 0;
    for (std::uint64_t i = 0; i < n; ++i)
        if ((use_eb && eastbound[i] > threshold) || (use_wb && westbound[i] > threshold)) ++k;
    return k;
}

}  // namespace

std::uint64_t profile_steps(const UpstreamSignals& signals) {
    return pd::whole_steps(signals.cycle_s / base::max2(signals.time_step_s, MIN_STEP_S));
}

PlatoonBlockage compute_platoon_blockage(const UpstreamSignals& signals, const twsc::Twsc& intersection) {
    const std::uint64_t n = profile_steps(signals);
    if (n > pd::MAX_PROFILE_STEPS) throw Error("too many platoon-profile steps: " + std::to_string(n));
    const double cycle = signals.cycle_s;
    const double step = signals.time_step_s;
    std::vector<double> eastbound, westbound;  // empty: no signal in that direction
    if (signals.eastbound) eastbound = arrival_profile(*signals.eastbound, n, step);
    if (signals.westbound) westbound = arrival_profile(*signals.westbound, n, step);

    PlatoonBlockage out;
    for (const BlockedMovement& b : BLOCKED) {
        const double t_c = twsc::critical_headway(intersection, b.movement, false, 0);
        const double rate = t_c > 0.0 ? base::units::SECONDS_PER_HOUR / t_c : base::units::INF;  // veh/h
        if (std::isinf(rate) || !(cycle > 0.0)) continue;  // never blocked
        const double threshold = rate * step / base::units::SECONDS_PER_HOUR;  // vehicles per step
        const std::uint64_t k = blocked_steps(eastbound, westbound, b.looks, threshold, n);
        out.*b.field = std::clamp(static_cast<double>(k) * step / cycle, 0.0, 1.0);
    }
    return out;
}

const jsonio::Record<UpstreamSignal>& json_record(jsonio::Tag<UpstreamSignal>) {
    using S = UpstreamSignal;
    static const jsonio::Record<S> record{"UpstreamSignal",
                                          {
                                              jsonio::required("distance_ft", &S::distance_ft),
                                              jsonio::required("progression_speed_mph", &S::progression_speed_mph),
                                              jsonio::required("discharges", &S::discharges),
                                              jsonio::with_default("uniform_volume_veh_h", &S::uniform_volume_veh_h, 0.0),
                                          },
                                          jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

const jsonio::Record<UpstreamSignals>& json_record(jsonio::Tag<UpstreamSignals>) {
    using S = UpstreamSignals;
    static const jsonio::Record<S> record{"UpstreamSignals",
                                          {
                                              jsonio::required("cycle_s", &S::cycle_s),
                                              jsonio::optional("eastbound", &S::eastbound),
                                              jsonio::optional("westbound", &S::westbound),
                                              jsonio::with_default("time_step_s", &S::time_step_s, 1.0),
                                          },
                                          jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

UpstreamSignals read_upstream_signals(std::string_view text) {
    return jsonio::read_document_with_prefix<UpstreamSignals>(text, "invalid upstream_signals JSON: ");
}

}  // namespace hcm::twsc::computed_pb
