#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <tuple>
#include <utility>

#include "../support/checks.hpp"
#include "hcm/offstreet_pedbike/offstreet_pedbike.hpp"

using namespace hcm::offstreet_pedbike;
using namespace testing_support;
using L = LevelOfService;

namespace {

OffStreetBicycleFacility path(double width, double length_mi, double two_way) {
    OffStreetBicycleFacility f;
    f.path_width = width;
    f.segment_length = length_mi;
    f.two_way_demand = two_way;
    return f;
}

// ---- Integration against closed forms ----

// The standard normal distribution function and its integral G(z) = z Phi(z) + phi(z).
double phi_exact(double z) { return 0.5 * (1.0 + std::erf(z / std::numbers::sqrt2)); }
double g_integral(double z) { return z * phi_exact(z) + std::exp(-0.5 * z * z) / std::sqrt(2.0 * std::numbers::pi); }

// Over a segment of any length, a bicyclist at S_0 passes a mode with speeds N(mu, sd) at
// q sd / (60 mu) [G((S_0 - mu) / sd) - G(-mu / sd)] per minute and meets the opposing users of the
// mode at q / (60 mu) [S_0 - sd (G(...) - G(...))] plus S_0 q / (60 mu) already on the path.
TEST(OffStreetBicycle, NormalSpeedsMatchTheClosedForm) {
    OffStreetBicycleFacility f = path(10.0, 1.0, 300.0);
    const auto [subject, opposing] = f.calculate_directional_flow_rates();
    double passings = 0.0;
    double meetings = 0.0;
    const double s0 = f.mode_speeds[0];
    for (std::size_t i = 0; i < MODE_COUNT; ++i) {
        const double mu = f.mode_speeds[i];
        const double sd = f.mode_speed_sds[i];
        const double g = g_integral((s0 - mu) / sd) - g_integral(-mu / sd);
        passings += subject[i] * sd / (60.0 * mu) * g;
        meetings += opposing[i] / (60.0 * mu) * (s0 - sd * g) + s0 * opposing[i] / (60.0 * mu);
    }
    EXPECT_NEAR(f.calculate_active_passings_per_minute(), passings, 5e-5 * passings);
    EXPECT_NEAR(f.calculate_meetings_per_minute(), meetings, 5e-5 * meetings);
}

// Uniform speeds (s.d. 0): a mode at S_i < S_0 is passed at q (S_0 / S_i - 1) / 60 and met at
// q (1 + S_0 / S_i) / 60 per minute. The step function costs the trapezoids at most one step.
class UniformSpeeds : public ::testing::TestWithParam<double> {};

TEST_P(UniformSpeeds, PassingsAndMeetingsMatchTheClosedForm) {
    OffStreetBicycleFacility f = path(10.0, GetParam(), 300.0);
    f.mode_speed_sds = {0.0, 0.0, 0.0, 0.0, 0.0};
    const auto [subject, opposing] = f.calculate_directional_flow_rates();
    const double s0 = f.mode_speeds[0];
    const double minutes = 60.0 * f.segment_length / s0;
    // One trapezoid per 0.01 mi, at least one and at most a million.
    const double step = f.segment_length / std::clamp(std::floor(f.segment_length / 0.01), 1.0, 1e6);
    double passings = 0.0;
    double meetings = 0.0;
    double one_step = 0.0;  // the trapezoid error bound, summed over the modes
    for (std::size_t i = 0; i < MODE_COUNT; ++i) {
        const double s = f.mode_speeds[i];
        passings += subject[i] * (s0 / s - 1.0) / 60.0;
        meetings += opposing[i] * (1.0 + s0 / s) / 60.0;
        one_step += std::max(subject[i], opposing[i]) / s * step / minutes;
    }
    EXPECT_NEAR(f.calculate_active_passings_per_minute(), passings, one_step);
    EXPECT_NEAR(f.calculate_meetings_per_minute(), meetings, one_step);
}

// 1 mi, 0.35 mi and 1e9 mi (capped at a million steps of 1,000 mi each, which still fits the
// closed form).
INSTANTIATE_TEST_SUITE_P(OffStreetBicycle, UniformSpeeds, ::testing::Values(1.0, 0.35, 1e9));

// Under 0.02 mi a single trapezoid; a mode with speed s.d. 0 has a step at its mean.
TEST(OffStreetBicycle, ShortSegmentIsOneTrapezoid) {
    OffStreetBicycleFacility f = path(10.0, 0.015, 300.0);
    f.mode_splits = {0.0, 1.0, 0.0, 0.0, 0.0};
    const double q = 300.0 * 0.5 / 0.85;
    const double minutes = 60.0 * 0.015 / 12.8;
    const double ends = mode_speed_cdf(3.4, 0.6, 12.8) + mode_speed_cdf(3.4, 0.6, 0.0);
    EXPECT_NEAR(f.calculate_active_passings_per_minute(), 0.015 * (q / 3.4) * ends * 0.5 / minutes, 1e-12);
    EXPECT_EQ(mode_speed_cdf(6.5, 0.0, 6.5), 1.0);
    EXPECT_EQ(mode_speed_cdf(6.5, -1.0, 6.4), 0.0);
}

// A length that is not a positive finite number integrates to 0; the opposing users already on
// the path still count.
TEST(OffStreetBicycle, NoSegmentToIntegrate) {
    for (const double length : {0.0, -1.0, kNaN, kInf}) {
        OffStreetBicycleFacility f = path(10.0, length, 300.0);
        EXPECT_EQ(f.calculate_active_passings_per_minute(), 0.0) << length;
        EXPECT_EQ(*f.active_passings_by_mode, ModeValues{}) << length;
        double on_path = 0.0;  // opposing users per mile, times S_0 / 60
        for (std::size_t i = 0; i < MODE_COUNT; ++i) on_path += 150.0 * f.mode_splits[i] / 0.85 / f.mode_speeds[i];
        EXPECT_NEAR(f.calculate_meetings_per_minute(), 12.8 / 60.0 * on_path, kTol) << length;
        EXPECT_EQ(*f.meetings_by_mode, ModeValues{}) << length;
    }
    OffStreetBicycleFacility parked = path(10.0, 1.0, 300.0);  // S_0 = 0
    parked.mode_speeds[0] = 0.0;
    EXPECT_EQ(parked.calculate_active_passings_per_minute(), 0.0);
    EXPECT_EQ(parked.calculate_meetings_per_minute(), 0.0);
}

// ---- Delayed passings and BLOS ----

// Values worked out independently from Equations 24-8 to 24-35, one path for each number of
// effective lanes, a one-way path and one whose delayed-passing term is capped.
struct Worked {
    double width, length, two_way, split, phf;
    bool centerline, one_way;
    std::uint8_t lanes;
    double a_t, m_t, p_tds, dp, blos;
    L los;
};

class WorkedPaths : public ::testing::TestWithParam<Worked> {};

TEST_P(WorkedPaths, AnalyzeMatchesIndependentValues) {
    const Worked w = GetParam();
    OffStreetBicycleFacility f = path(w.width, w.length, w.two_way);
    f.directional_split = w.split;
    f.phf = w.phf;
    f.has_centerline = w.centerline;
    f.is_one_way = w.one_way;
    EXPECT_EQ(f.analyze(), w.los);
    EXPECT_EQ(*f.effective_lanes, w.lanes);
    EXPECT_NEAR(*f.active_passings_per_minute, w.a_t, kTol);
    EXPECT_NEAR(*f.meetings_per_minute, w.m_t, kTol);
    EXPECT_NEAR(*f.total_probability_delayed_passing, w.p_tds, kTol);
    EXPECT_NEAR(*f.delayed_passings_per_minute, w.dp, kTol);
    EXPECT_NEAR(*f.weighted_events_per_minute, 10.0 * w.a_t + w.m_t, kTol);
    EXPECT_NEAR(*f.blos_score, w.blos, kTol);
}

INSTANTIATE_TEST_SUITE_P(
    OffStreetBicycle, WorkedPaths,
    ::testing::Values(
        Worked{10.0, 1.0, 300.0, 0.5, 0.85, false, false, 2, 2.2592449150743494, 7.785517348977651,
               0.8136681609841503, 1.5625343069721378, 2.8329750975311865, L::D},
        Worked{12.0, 0.5, 600.0, 0.6, 0.9, true, false, 3, 5.121118195429428, 11.764673068725624,
               0.3282688689526883, 1.5129933100079855, 2.57136201119311, L::D},
        Worked{16.0, 2.0, 150.0, 0.5, 0.85, false, false, 4, 1.1296134653251717, 3.892767666700827,
               0.02761030562174359, 0.026510627060255115, 4.318616466701457, L::A},
        // One-way: nothing opposite, so no two-lane passing is delayed.
        Worked{10.0, 1.0, 300.0, 0.5, 0.85, false, true, 2, 2.2592449150743494, 0.0, 0.0, 0.0,
               3.677227086370485, L::B},
        // 0.5 DP above 1.5: the delayed-passing term is capped.
        Worked{14.0, 1.0, 1500.0, 0.5, 0.85, false, false, 3, 11.296224575371749, 38.92758674488825,
               0.7646459673824735, 7.341970682974081, 1.5843541122291365, L::F}));

// The three- and four-lane models are clamped to [0, 1]: a saturated 12-ft path (every a_i and
// b_i 1) would give (0.62 + 4.38 x 5) / (4.38^2 + 1) = 1.115 unclamped; a negative demand on a
// 16-ft path would give a negative probability.
TEST(OffStreetBicycle, DelayedPassingProbabilityIsClamped) {
    const std::tuple<double, double, double> cases[] = {{12.0, 1e6, 1.0}, {16.0, -300.0, 0.0}};
    for (const auto& [width, two_way, expected] : cases) {
        OffStreetBicycleFacility f = path(width, 1.0, two_way);
        EXPECT_EQ(f.calculate_probability_of_delayed_passing(), expected) << width;
    }
}

// On a nearly empty path the delayed-passing probability of every lane model is proportional to
// the demand (the presence 1 - e^(-k L) and 1 - prod (1 - r) keep their digits).
TEST(OffStreetBicycle, DelayedPassingsAreProportionalToALightDemand) {
    for (double width : {8.0, 12.0, 16.0}) {
        OffStreetBicycleFacility light = path(width, 1.0, 1e-9), twice = path(width, 1.0, 2e-9);
        const double p = light.calculate_probability_of_delayed_passing();
        EXPECT_GT(p, 0.0) << width;
        EXPECT_NEAR(twice.calculate_probability_of_delayed_passing() / p, 2.0, 1e-6) << width;
    }
}

TEST(OffStreetBicycle, DirectionalDemandOverridesTheSplit) {
    OffStreetBicycleFacility f = path(10.0, 1.0, 1000.0);
    f.subject_demand = 85.0;
    f.phf = 0.85;
    const auto [subject, opposing] = f.calculate_directional_flow_rates();
    EXPECT_NEAR(subject[0], 55.0, kTol);
    EXPECT_NEAR(opposing[4], 500.0 * 0.05 / 0.85, kTol);
    f.phf = 0.0;
    EXPECT_EQ(f.calculate_directional_flow_rates().first, ModeValues{});
}

TEST(OffStreetBicycle, NoUsersGivesTheGeometricScoreAndLosA) {
    for (const bool centerline : {false, true}) {
        OffStreetBicycleFacility f = path(12.0, 1.0, 0.0);
        f.two_way_demand.reset();
        f.has_centerline = centerline;
        EXPECT_EQ(f.analyze(), L::A);
        EXPECT_EQ(*f.active_passings_per_minute, 0.0);
        EXPECT_EQ(*f.meetings_per_minute, 0.0);
        EXPECT_EQ(*f.delayed_passings_per_minute, 0.0);
        EXPECT_EQ(*f.weighted_events_per_minute, 0.0);
        EXPECT_NEAR(*f.blos_score, 5.446 - 15.86 / 12.0 - (centerline ? 0.287 : 0.0), 1e-12);
    }
    OffStreetBicycleFacility no_width = path(0.0, 1.0, 0.0);
    EXPECT_EQ(no_width.determine_blos(), 5.446);  // no width term rather than a division by zero
}

TEST(OffStreetBicycle, EffectiveLanesAndLetters) {
    const std::pair<double, int> lanes[] = {{10.99, 2}, {11.0, 3}, {14.99, 3}, {15.0, 4}, {-1.0, 2}, {kNaN, 4}};
    for (const auto& [width, n] : lanes) EXPECT_EQ(lanes_for_width(width), n) << width;
    const std::pair<double, L> letters[] = {{4.01, L::A}, {4.0, L::B}, {3.5, L::C}, {3.0, L::D},
                                            {2.5, L::E},  {2.0, L::F}, {kNaN, L::F}};
    for (const auto& [score, los] : letters) EXPECT_EQ(bicycle_los(score), los) << score;
}

// Step 8 on a stored score: weighted events per minute and the score's letter.
using LowVolumeCase = std::tuple<double, L, L>;
class LowVolume : public ::testing::TestWithParam<LowVolumeCase> {};

TEST_P(LowVolume, Adjustment) {
    const auto [events, letter, expected] = GetParam();
    OffStreetBicycleFacility f = path(10.0, 1.0, 300.0);
    f.blos_score = 2.7;
    f.weighted_events_per_minute = events;
    f.los = letter;
    EXPECT_EQ(f.adjust_los_for_low_volume_paths(), expected);
    EXPECT_EQ(*f.los, expected);
    EXPECT_FALSE(f.active_passings_per_minute);  // the stored score is used, nothing recomputed
}

INSTANTIATE_TEST_SUITE_P(OffStreetBicycle, LowVolume,
                         ::testing::Values(LowVolumeCase{7.0, L::D, L::B}, LowVolumeCase{7.0, L::A, L::A},
                                           LowVolumeCase{12.0, L::D, L::D}, LowVolumeCase{5.0, L::F, L::A},
                                           LowVolumeCase{10.0, L::F, L::B}, LowVolumeCase{kNaN, L::E, L::E}));

TEST(OffStreetBicycle, StepsComputeMissingPredecessorsOnce) {
    OffStreetBicycleFacility f = path(10.0, 1.0, 300.0);
    const double dp = f.calculate_delayed_passings_per_minute();
    EXPECT_TRUE(f.subject_flow_rates && f.active_passings_per_minute && f.effective_lanes &&
                f.total_probability_delayed_passing);
    EXPECT_FALSE(f.meetings_per_minute);
    EXPECT_NEAR(dp, 1.5625343069721378, kTol);
    EXPECT_EQ(f.adjust_los_for_low_volume_paths(), L::D);
    EXPECT_TRUE(f.meetings_per_minute && f.blos_score);
}

}  // namespace
