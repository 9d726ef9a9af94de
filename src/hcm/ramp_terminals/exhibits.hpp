#pragma once
// Tables and constants of the HCM Chapter 23 interchange ramp terminal and alternative
// intersection methods, grouped by the exhibit or equation family they come from.
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>

#include "base/enum_names.hpp"
#include "base/options.hpp"

namespace hcm::ramp_terminals::exhibits {

// The fourteen origin-destination movements through an interchange (HCM Exhibit 23-6 naming).
enum class OdMovement : std::uint8_t { A, B, C, D, E, F, G, H, I, J, K, L, M, N };
inline constexpr std::size_t OD_COUNT = 14;

// O-D letters as callers name them: one letter, matched after upper-casing.
inline constexpr base::OptionTable<OdMovement, OD_COUNT> OD_LETTER_WORDS{
    base::Normalise::Upper,
    "O-D movement must be a letter A..N, got {}",
    {{{"A", OdMovement::A}, {"B", OdMovement::B}, {"C", OdMovement::C}, {"D", OdMovement::D}, {"E", OdMovement::E},
      {"F", OdMovement::F}, {"G", OdMovement::G}, {"H", OdMovement::H}, {"I", OdMovement::I}, {"J", OdMovement::J},
      {"K", OdMovement::K}, {"L", OdMovement::L}, {"M", OdMovement::M}, {"N", OdMovement::N}}}};

// Lane configurations of a diverging diamond's external approach (HCM Chapter 23 DDI lane
// utilisation models).
enum class DdiLaneConfiguration : std::uint8_t {
    TwoLaneShared,
    ThreeLaneShared,
    ThreeLaneExclusive,
    ThreeLaneExclusiveMiddleShared,
    FourLaneExclusive,
};

// ---- Lane utilisation (HCM Chapter 23 lane utilisation models) ----

// Share of the most used lane on a DDI external approach, s = a + b p with p the traffic pressure
// ratio, for p up to `p_max` (the last band of a configuration has p_max = infinity).
struct DdiShareBand {
    double p_max;
    double a;
    double b;
};

struct DdiShareModel {
    std::uint32_t lanes;  // N_c, the configuration's lane count: the share is at least 1 / N_c
    std::array<DdiShareBand, 3> bands;
    std::size_t band_count;
};

inline constexpr double NO_BOUND = std::numeric_limits<double>::infinity();  // open upper end of a last band

// Indexed by DdiLaneConfiguration.
inline constexpr std::array<DdiShareModel, 5> DDI_SHARE_MODELS = {{
    {2, {{{0.35, 0.525, 0.2129}, {NO_BOUND, 0.411, 0.5386}, {}}}, 2},
    {3, {{{0.13, 0.3863, -0.1831}, {0.43, 0.3336, 0.2245}, {NO_BOUND, 0.1523, 0.646}}}, 3},
    {3, {{{0.33, 0.5237, -0.5983}, {NO_BOUND, 0.0096, 0.9695}, {}}}, 2},
    {3, {{{0.5, 0.5626, -0.2884}, {NO_BOUND, 0.1761, 0.4903}, {}}}, 2},
    {4, {{{0.35, 0.5095, -0.5432}, {NO_BOUND, -0.0071, 0.9286}, {}}}, 2},
}};

// Shares of the first and second lane of an external arterial through lane group on the other
// forms: s1 = 1/N + k1 q1/Q + k2 q2/Q + k3 D q1 / 10^6 and s2 = 1/N + m1 q1/Q + m2 q2/Q, with q1
// the through, q2 the shared right-turn and Q the total flow, D the distance between the
// intersections (at most 800 ft).
struct LaneShareCoefficients {
    double k1, k2, k3, m1, m2;
};

inline constexpr double LANE_SHARE_DISTANCE_CAP_FT = 800.0;
inline constexpr double LANE_SHARE_DISTANCE_SCALE = 1'000'000.0;

// [set][N - 2] for N = 2, 3, 4 lanes; the set follows the form and the approach.
inline constexpr std::array<std::array<LaneShareCoefficients, 3>, 5> LANE_SHARE_SETS = {{
    {{{0.187, -0.154, -0.181, 0.0, 0.0}, {0.465, -0.245, 0.0, -0.326, 0.609}, {0.684, -0.328, 0.0, -0.233, 0.64}}},
    {{{-0.527, 0.0, 0.0, 0.0, 0.0}, {-0.363, 0.0, 0.0, 0.605, 0.0}, {-0.257, 0.0, 0.0, 0.747, 0.0}}},
    {{{-0.344, 0.387, 0.0, 0.0, 0.0}, {-0.218, 0.559, 0.0, 0.695, -0.429}, {-0.103, 0.643, 0.0, 0.794, -0.359}}},
    {{{-0.484, -0.306, 0.0, 0.0, 0.0}, {-0.289, -0.333, 0.0, 0.428, 0.579}, {-0.237, -0.233, 0.0, 0.641, 0.703}}},
    {{{0.0, 0.468, 0.0, 0.0, 0.0}, {0.0, 0.735, 0.0, 0.0, -0.308}, {0.0, 0.768, 0.0, 0.0, -0.202}}},
}};

// ---- Saturation flow adjustments of Chapter 23 (the Chapter 19 factors are the kernel's) ----
namespace saturation {
inline constexpr double TURN_RADIUS_CONSTANT_FT = 5.61;
// Traffic pressure: f_tp = P_L / (1.07 - 0.00672 v_ol) + (1 - P_L) / (1.07 - 0.00486 v_ol).
inline constexpr double PRESSURE_BASE = 1.07;
inline constexpr double PRESSURE_LEFT = 0.00672;
inline constexpr double PRESSURE_OTHER = 0.00486;
inline constexpr double PRESSURE_MAX_VEH_PER_CYCLE = 30.0;
inline constexpr double F_DDI_CROSSOVER = 0.913;
}  // namespace saturation

// ---- Lost time between the two intersections (HCM Chapter 23 queue spillback and starvation) ----
namespace lost_time {
inline constexpr double QUEUE_GREEN = 7.96;
inline constexpr double QUEUE_FLOW = 0.0107;
inline constexpr double QUEUE_COMMON_GREEN = 0.082;
inline constexpr double STORAGE_LIMIT_FT = 200.0;
inline constexpr double STORAGE_LOSS = 0.106;
inline constexpr double COMMON_GREEN_LOSS = 5.39;
inline constexpr double MIN_HEADWAY_S = 1e-9;
}  // namespace lost_time

// ---- Delay and queues (HCM Chapter 19 relations) ----
namespace delay {
// Platoon ratio R_p by arrival type 1 to 6 (HCM Chapter 19).
inline constexpr std::array<double, 6> PLATOON_RATIO = {0.33, 0.67, 1.0, 1.33, 1.67, 2.0};
// Incremental-delay factor k: every signal is taken as pretimed.
inline constexpr double PRETIMED_K = 0.5;
// Upstream filtering I = max(1 - 0.91 X_u^2.68, 0.09) of the internal lane groups.
inline constexpr double FILTERING_A = 0.91;
inline constexpr double FILTERING_EXPONENT = 2.68;
inline constexpr double FILTERING_MIN = 0.09;
// Protected-permitted queue accumulation: cycles until the end-of-cycle queue settles.
inline constexpr double QUEUE_SETTLED_VEH = 1e-9;
inline constexpr double QUEUE_DIVERGED_VEH = 1'000'000.0;
inline constexpr int MAX_CYCLES = 60;
}  // namespace delay

// ---- Level of service ----

// Interchange O-D movements and the interchange, by experienced travel time (s/veh): upper bounds
// of A to E (HCM Exhibit 23-10).
inline constexpr std::array<double, 5> INTERCHANGE_ETT_LOS_MAX = {15.0, 30.0, 55.0, 85.0, 120.0};

// ft/s per mi/h as the Chapter 23 equations round it (not 5280 / 3600).
inline constexpr double FT_S_PER_MI_H = 1.47;

}  // namespace hcm::ramp_terminals::exhibits

namespace base {
template <>
inline constexpr std::array<std::string_view, 14> variant_names<hcm::ramp_terminals::exhibits::OdMovement> = {
    "A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M", "N"};
template <>
inline constexpr std::array<std::string_view, 5> variant_names<hcm::ramp_terminals::exhibits::DdiLaneConfiguration> = {
    "TwoLaneShared", "ThreeLaneShared", "ThreeLaneExclusive", "ThreeLaneExclusiveMiddleShared", "FourLaneExclusive"};
}  // namespace base
