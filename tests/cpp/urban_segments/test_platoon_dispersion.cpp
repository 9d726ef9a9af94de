#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numeric>
#include <string>
#include <vector>

#include "../support/checks.hpp"
#include "hcm/urban_segments/platoon_dispersion.hpp"
#include "json/jsonio.hpp"

using namespace hcm::urban_segments::platoon_dispersion;
using namespace testing_support;

namespace {

double sum(const std::vector<double>& v) { return std::accumulate(v.begin(), v.end(), 0.0); }

// The cyclic steady state of y_i = a y_(i-1) + F d_i over four steps with departures d = (1, 1, 0, 0)
// lagged by `lag` steps, solved in closed form (a = 1 - F).
std::vector<double> steady_state_1100(double f, int lag) {
    const double a = 1.0 - f;
    std::vector<double> y(4);
    // At the first departure step y = a (a^2 (a y + F)) + F, so y = F (1 + a^3) / (1 - a^4).
    const double first = f * (1.0 + a * a * a) / (1.0 - a * a * a * a);
    y[lag % 4] = first;
    y[(lag + 1) % 4] = a * first + f;
    y[(lag + 2) % 4] = a * y[(lag + 1) % 4];
    y[(lag + 3) % 4] = a * y[(lag + 2) % 4];
    return y;
}

// One discharge over a 4-second cycle: 1 veh/s while the queue clears (1 s), then the rest of the
// cycle's 2 vehicles over the remaining 1 s of green: departures (1, 1, 0, 0).
const MovementDischarge kSmall{1800.0, 3600.0, 0.0, 2.0, 1.0};

TEST(ArrivalProfile, SmallCaseMatchesTheClosedFormSteadyState) {
    // Travel time 0: t_s = 0, F = 1 / (1 + 0.315), lag round(1.25 - 1/F) = round(-0.065) = 0.
    const double f0 = 1.0 / 1.315;
    std::vector<double> q = combined_arrival_profile({&kSmall, 1}, 4, 0.0, 1.0, 0.0);
    std::vector<double> expected = steady_state_1100(f0, 0);
    ASSERT_EQ(q.size(), 4u);
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(q[i], expected[i], 1e-12) << i;
    EXPECT_NEAR(sum(q), 2.0, 1e-12);  // the cycle's vehicles arrive, dispersed

    // Travel time 10 s: F = 1 / (1 + 1.38 + 0.315), lag round(10 - 2.695 + 1.25) = 9, which wraps to 1.
    const double f10 = 1.0 / 2.695;
    q = combined_arrival_profile({&kSmall, 1}, 4, 0.0, 1.0, 10.0);
    expected = steady_state_1100(f10, 1);
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(q[i], expected[i], 1e-12) << i;
}

TEST(ArrivalProfile, EmptyAndUniformProfiles) {
    EXPECT_TRUE(combined_arrival_profile({&kSmall, 1}, 0, 500.0, 1.0, 5.0).empty());
    // No discharges: a flat profile of v_u dt / 3600 per step; nothing at all without a positive v_u.
    const std::vector<double> flat = combined_arrival_profile({}, 90, 720.0, 2.0, 30.0);
    ASSERT_EQ(flat.size(), 90u);
    for (double v : flat) EXPECT_DOUBLE_EQ(v, 0.4);
    EXPECT_EQ(combined_arrival_profile({}, 5, -100.0, 1.0, 0.0), std::vector<double>(5, 0.0));
    // A green that is not positive, or not a number, departs nothing.
    const MovementDischarge no_green{900.0, 1800.0, 10.0, 0.0, 5.0};
    const MovementDischarge nan_green{900.0, 1800.0, 10.0, kNaN, 5.0};
    EXPECT_EQ(combined_arrival_profile({&no_green, 1}, 60, 0.0, 1.0, 20.0), std::vector<double>(60, 0.0));
    EXPECT_EQ(combined_arrival_profile({&nan_green, 1}, 60, 0.0, 1.0, 20.0), std::vector<double>(60, 0.0));
}

// Departures are conserved by the dispersion: the profile carries q_s n_q' + q_u n_r vehicles.
struct VolumeCase {
    MovementDischarge discharge;
    double vehicles;
};

class ArrivalVolume : public ::testing::TestWithParam<VolumeCase> {};

TEST_P(ArrivalVolume, ProfileCarriesTheDepartedVehicles) {
    const VolumeCase& c = GetParam();
    const std::vector<double> q = combined_arrival_profile({&c.discharge, 1}, 100, 0.0, 1.0, 12.0);
    EXPECT_NEAR(sum(q), c.vehicles, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    Discharges, ArrivalVolume,
    ::testing::Values(
        // Queue service 0: the cycle's 20 vehicles spread evenly over the green.
        VolumeCase{{720.0, 1800.0, 10.0, 40.0, 0.0}, 20.0},
        // Queue service beyond the green: saturation flow (1 veh/s) for the whole 40-s green, which
        // departs more than the cycle's 20 vehicles.
        VolumeCase{{720.0, 3600.0, 10.0, 40.0, 60.0}, 40.0},
        // A 30-s queue at 1 veh/s exceeds the cycle's 20 vehicles: the rest of the green is empty.
        VolumeCase{{720.0, 3600.0, 10.0, 40.0, 30.0}, 30.0},
        // A 30-s queue at 0.5 veh/s leaves 5 of the 20 vehicles for the last 10 s of green.
        VolumeCase{{720.0, 1800.0, 10.0, 40.0, 30.0}, 20.0},
        // A green starting before zero and running past the cycle end wraps.
        VolumeCase{{360.0, 1800.0, -30.0, 50.0, 10.0}, 10.0},
        // A green of 2.5 cycles wraps over itself: 250 steps, 20 of them at saturation.
        VolumeCase{{1800.0, 1800.0, 95.0, 250.0, 20.0}, 50.0}));

// The profile of a green longer than the cycle is computed by counting the passes over each step;
// the literal walk along the green, written out here, gives the same profile.
std::vector<double> literal_departures(const MovementDischarge& m, std::int64_t n) {
    std::vector<double> d(static_cast<std::size_t>(n), 0.0);
    const double q_s = m.saturation_flow_veh_h / 3600.0;
    const auto n_g = static_cast<std::int64_t>(std::round(m.green_duration_s));
    const auto n_q = std::min(static_cast<std::int64_t>(std::round(m.queue_service_time_s)), n_g);
    const double q_u = std::max(static_cast<double>(n) * m.discharge_volume_veh_h / 3600.0 -
                                    q_s * static_cast<double>(n_q), 0.0) /
                       static_cast<double>(n_g - n_q);
    const auto k0 = static_cast<std::int64_t>(std::round(m.green_start_s));
    for (std::int64_t j = 0; j < n_g; ++j) d[static_cast<std::size_t>(((k0 + j) % n + n) % n)] += j < n_q ? q_s : q_u;
    return d;
}

TEST(ArrivalProfile, WrappedGreenEqualsTheLiteralWalk) {
    // Zero travel time with a 1-s step: lag 0 and F = 1/1.315, so the profile disperses `d` as is.
    for (const MovementDischarge m : {MovementDischarge{1800.0, 1800.0, 95.0, 250.0, 20.0},
                                      MovementDischarge{900.0, 3600.0, -7.0, 130.0, 115.0},
                                      MovementDischarge{2400.0, 1900.0, 3.0, 99.0, 41.0}}) {
        const std::vector<double> d = literal_departures(m, 100);
        std::vector<MovementDischarge> pieces;  // the same departures, one saturated one-step green each
        for (std::size_t i = 0; i < d.size(); ++i)
            if (d[i] > 0.0) pieces.push_back({0.0, d[i] * 3600.0, static_cast<double>(i), 1.0, 1.0});
        const std::vector<double> whole = combined_arrival_profile({&m, 1}, 100, 0.0, 1.0, 0.0);
        const std::vector<double> split = combined_arrival_profile(pieces, 100, 0.0, 1.0, 0.0);
        for (std::size_t i = 0; i < whole.size(); ++i) EXPECT_NEAR(whole[i], split[i], 1e-12) << i;
    }
}

TEST(ArrivalProfile, HugeGreensAndStepsStayBoundedAndConserveVolume) {
    // A green of 10^12 s over a 120-s cycle wraps 8 x 10^9 times: 120 s x 1000 veh/h = 33.3 vehicles.
    const MovementDischarge endless{1000.0, 1800.0, 0.0, 1e12, 0.0};
    const std::vector<double> q = combined_arrival_profile({&endless, 1}, 120, 0.0, 1.0, 20.0);
    EXPECT_NEAR(sum(q), 1000.0 * 120.0 / 3600.0, 1e-9);
    for (double v : q) EXPECT_NEAR(v, 1000.0 / 3600.0, 1e-9);  // green all the time: uniform arrivals
    // A step of 0 makes every green step count saturate; the profile is still built (all zeros,
    // since a zero step departs nothing per step) without walking the green.
    const std::vector<double> zero_step = combined_arrival_profile({&kSmall, 1}, 10, 0.0, 0.0, 5.0);
    EXPECT_EQ(zero_step, std::vector<double>(10, 0.0));
    // Travel times that are not finite give no dispersed arrivals, never a crash.
    for (double t : {kInf, kNaN, -kInf}) {
        const std::vector<double> p = combined_arrival_profile({&kSmall, 1}, 8, 0.0, 1.0, t);
        EXPECT_EQ(p.size(), 8u);
    }
    EXPECT_NO_THROW(combined_arrival_profile({&kSmall, 1}, MAX_PROFILE_STEPS, 0.0, 1.0, 0.0));
    EXPECT_EQ(error_of([] { combined_arrival_profile({&kSmall, 1}, MAX_PROFILE_STEPS + 1, 0.0, 1.0, 0.0); }),
              "arrival profile of 1000001 steps exceeds the limit of 1000000 steps");
}

struct GreenCase {
    std::vector<double> profile;
    std::uint64_t start;
    std::uint64_t m;
    double expected;
};

class GreenShare : public ::testing::TestWithParam<GreenCase> {};

TEST_P(GreenShare, ProportionArrivingGreen) {
    const GreenCase& c = GetParam();
    EXPECT_DOUBLE_EQ(proportion_arriving_green(c.profile, c.start, c.m), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Profiles, GreenShare,
                         ::testing::Values(GreenCase{{}, 0, 5, 0.0},                     // empty
                                           GreenCase{{0.0, 0.0, 0.0}, 1, 2, 0.0},        // nothing arrives
                                           GreenCase{{1.0, 2.0, 3.0, 4.0}, 1, 2, 0.5},   // steps 1, 2
                                           GreenCase{{1.0, 2.0, 3.0, 4.0}, 3, 2, 0.5},   // wraps: 3, 0
                                           GreenCase{{1.0, 2.0, 3.0, 4.0}, 7, 1, 0.4},   // start wraps
                                           GreenCase{{1.0, 2.0, 3.0, 4.0}, 2, 0, 0.0},   // no green
                                           GreenCase{{0.1, 0.2, 0.7}, 2, 3, 1.0},        // m = n
                                           GreenCase{{0.1, 0.2, 0.7}, 1, 1000, 1.0},     // m > n
                                           GreenCase{{0.25, 0.25, 0.25, 0.25}, 0, 3, 0.75}));  // uniform: m / n

TEST(MovementDischargeJson, ReadsObjectAndArrayFormsAndWritesCompact) {
    const auto m = jsonio::read_document<MovementDischarge>(
        R"({"queue_service_time_s": 12, "green_duration_s": 30.5, "green_start_s": -4,
            "saturation_flow_veh_h": 1800, "discharge_volume_veh_h": 600, "note": [1]})");
    EXPECT_EQ(m, (MovementDischarge{600.0, 1800.0, -4.0, 30.5, 12.0}));
    EXPECT_EQ(jsonio::read_document<MovementDischarge>("[600, 1800, -4, 30.5, 12]"), m);
    EXPECT_EQ(jsonio::write_document(m),
              R"({"discharge_volume_veh_h":600.0,"saturation_flow_veh_h":1800.0,"green_start_s":-4.0,)"
              R"("green_duration_s":30.5,"queue_service_time_s":12.0})");
    const auto list = jsonio::read_document<std::vector<MovementDischarge>>("[[1, 2, 3, 4, 5], [6, 7, 8, 9, 10]]");
    ASSERT_EQ(list.size(), 2u);
    EXPECT_DOUBLE_EQ(list[1].queue_service_time_s, 10.0);
}

TEST(MovementDischargeJson, Failures) {
    const auto read_error = [](const char* text) {
        return error_of<jsonio::Error>([&] { (void)jsonio::read_document<MovementDischarge>(text); });
    };
    EXPECT_TRUE(starts_with(read_error(R"({"discharge_volume_veh_h": 1, "saturation_flow_veh_h": 2,
                                          "green_start_s": 3, "green_duration_s": 4})"),
                            "missing field `queue_service_time_s` at line 2"));
    EXPECT_TRUE(starts_with(read_error(R"({"green_start_s": 1, "green_start_s": 2})"),
                            "duplicate field `green_start_s` at line 1"));
    EXPECT_TRUE(starts_with(read_error("[1, 2, 3, 4]"), "invalid length 4, expected struct MovementDischarge with 5 elements"));
    EXPECT_TRUE(starts_with(read_error("[1, 2, 3, 4, 5, 6]"), "trailing characters"));
    EXPECT_TRUE(starts_with(read_error("7"), "invalid type: integer `7`, expected struct MovementDischarge"));
}

}  // namespace
