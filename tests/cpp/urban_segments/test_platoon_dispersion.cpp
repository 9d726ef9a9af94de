#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <tuple>
#include <vector>

#include "../support/checks.hpp"
#include "hcm/urban_segments/platoon_dispersion.hpp"
#include "json/jsonio.hpp"

using namespace hcm::urban_segments::platoon_dispersion;
using namespace testing_support;

namespace {

double sum(const std::vector<double>& v) { return std::accumulate(v.begin(), v.end(), 0.0); }

std::vector<double> profile_of(const MovementDischarge& m, std::uint64_t n, double travel_s, double step_s = 1.0) {
    return combined_arrival_profile({&m, 1}, n, 0.0, step_s, travel_s);
}

// One discharge over a 4-second cycle: 1 veh/s while the queue clears (1 s), then the rest of the
// cycle's 2 vehicles over the remaining 1 s of green: departures (1, 1, 0, 0).
const MovementDischarge kSmall{1800.0, 3600.0, 0.0, 2.0, 1.0};

TEST(ArrivalProfile, SmallCaseMatchesTheClosedFormSteadyState) {
    // Travel time 0 s: F = 1/1.315, lag round(1.25 - 1/F) = 0. Travel time 10 s: F = 1/2.695,
    // lag round(10 - 2.695 + 1.25) = 9, which wraps to 1.
    for (auto [travel, f, lag] : {std::tuple{0.0, 1.0 / 1.315, 0}, std::tuple{10.0, 1.0 / 2.695, 1}}) {
        // The cyclic steady state of y_i = a y_(i-1) + F d_i, a = 1 - F: at the first departure
        // step y = a^3 (a y + F) + F, so y = F (1 + a^3) / (1 - a^4); then a y + F, and decay.
        const double a = 1.0 - f;
        std::vector<double> expected(4);
        expected[lag] = f * (1.0 + a * a * a) / (1.0 - a * a * a * a);
        for (int k = 1; k < 4; ++k) expected[(lag + k) % 4] = a * expected[(lag + k - 1) % 4] + (k == 1 ? f : 0.0);
        const std::vector<double> q = profile_of(kSmall, 4, travel);
        for (int i = 0; i < 4; ++i) EXPECT_NEAR(q[i], expected[i], 1e-12) << travel << " " << i;
        EXPECT_NEAR(sum(q), 2.0, 1e-12);  // the cycle's vehicles all arrive
    }
}

TEST(ArrivalProfile, EmptyAndUniformProfiles) {
    EXPECT_TRUE(combined_arrival_profile({&kSmall, 1}, 0, 500.0, 1.0, 5.0).empty());
    EXPECT_EQ(combined_arrival_profile({}, 90, 720.0, 2.0, 30.0), std::vector<double>(90, 0.4));  // 720 x 2 / 3600
    EXPECT_EQ(combined_arrival_profile({}, 5, -100.0, 1.0, 0.0), std::vector<double>(5, 0.0));
    // A green that is not positive (or not a number) departs nothing.
    for (double green : {0.0, -5.0, kNaN})
        EXPECT_EQ(profile_of({900.0, 1800.0, 10.0, green, 5.0}, 60, 20.0), std::vector<double>(60, 0.0));
}

// Dispersion conserves the departures: the profile carries q_s n_q' + q_u n_r vehicles.
class ArrivalVolume : public ::testing::TestWithParam<std::pair<MovementDischarge, double>> {};

TEST_P(ArrivalVolume, ProfileCarriesTheDepartedVehicles) {
    EXPECT_NEAR(sum(profile_of(GetParam().first, 100, 12.0)), GetParam().second, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    Discharges, ArrivalVolume,
    ::testing::Values(
        std::pair{MovementDischarge{720.0, 1800.0, 10.0, 40.0, 0.0}, 20.0},   // no queue: 20 veh over the green
        std::pair{MovementDischarge{720.0, 3600.0, 10.0, 40.0, 60.0}, 40.0},  // queue beyond the green: 1 veh/s
        std::pair{MovementDischarge{720.0, 3600.0, 10.0, 40.0, 30.0}, 30.0},  // queue exceeds the cycle's 20
        std::pair{MovementDischarge{720.0, 1800.0, 10.0, 40.0, 30.0}, 20.0},  // 15 in the queue, 5 after
        std::pair{MovementDischarge{360.0, 1800.0, -30.0, 50.0, 10.0}, 10.0},  // starts before zero, wraps
        std::pair{MovementDischarge{1800.0, 1800.0, 95.0, 250.0, 20.0}, 50.0}));  // 2.5 cycles of green

TEST(ArrivalProfile, WrappedGreenEqualsTheSameDeparturesWrittenOut) {
    // Departures of a green longer than the cycle are counted per step rather than walked; the
    // same departures given as one-step saturated greens (walked: each fits the cycle) give the
    // same profile. Green of 250 steps from step 95: steps 95..114 at 0.5 veh, then 40/230 veh.
    const MovementDischarge m{1800.0, 1800.0, 95.0, 250.0, 20.0};
    std::vector<double> d(100, 0.0);
    for (int j = 0; j < 250; ++j) d[(95 + j) % 100] += j < 20 ? 0.5 : 40.0 / 230.0;
    std::vector<MovementDischarge> pieces;
    for (int i = 0; i < 100; ++i) pieces.push_back({0.0, d[i] * 3600.0, static_cast<double>(i), 1.0, 1.0});
    const std::vector<double> whole = profile_of(m, 100, 0.0);
    const std::vector<double> split = combined_arrival_profile(pieces, 100, 0.0, 1.0, 0.0);
    for (int i = 0; i < 100; ++i) EXPECT_NEAR(whole[i], split[i], 1e-12) << i;
}

TEST(ArrivalProfile, NegativeGreenStartAndLagKeepTheirSign) {
    // 0.2-s steps over a 4-s cycle, no travel time: F = 1/2.575 and the lag rounds
    // 1.25 - 2.575 = -1.325 to -1 (step 19). The green starts at -0.6 s (step -3 = 17) for 5 steps:
    // 2 at 0.2 veh, then 3 x 1.6/3 veh at steps 17, 18, 19, 0, 1, arriving from step 16 on.
    const MovementDischarge early{1800.0, 3600.0, -0.6, 1.0, 0.4};
    const std::vector<double> q = profile_of(early, 20, 0.0, 0.2);
    EXPECT_NEAR(q[15], 0.0002760337644173895, 1e-12);
    EXPECT_NEAR(q[16], 0.07783873909862424, 1e-12);  // the first departure arrives
    EXPECT_NEAR(q[0], 0.4399591323913593, 1e-12);    // the peak, after the last departure
    EXPECT_NEAR(q[1], 0.2691012168995693, 1e-12);
    EXPECT_NEAR(sum(q), 2.0, 1e-12);
    // The same green one cycle later lands on the same steps.
    EXPECT_EQ(profile_of({1800.0, 3600.0, 3.4, 1.0, 0.4}, 20, 0.0, 0.2), q);
}

TEST(ArrivalProfile, HugeGreensStepsAndTravelTimesStayBounded) {
    // 10^12 s of green over a 120-s cycle (8 x 10^9 wraps): uniform arrivals of 1000 veh/h.
    const std::vector<double> q = profile_of({1000.0, 1800.0, 0.0, 1e12, 0.0}, 120, 20.0);
    for (double v : q) EXPECT_NEAR(v, 1000.0 / 3600.0, 1e-9);
    // A zero step departs nothing per step and does not walk its endless green.
    EXPECT_EQ(profile_of(kSmall, 10, 5.0, 0.0), std::vector<double>(10, 0.0));
    for (double t : {kInf, kNaN, -kInf}) EXPECT_EQ(profile_of(kSmall, 8, t).size(), 8u);
    EXPECT_EQ(profile_of(kSmall, MAX_PROFILE_STEPS, 0.0).size(), MAX_PROFILE_STEPS);
    EXPECT_EQ(error_of([] { profile_of(kSmall, MAX_PROFILE_STEPS + 1, 0.0); }),
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
                         ::testing::Values(GreenCase{{}, 0, 5, 0.0},                      // empty
                                           GreenCase{{0.0, 0.0, 0.0}, 1, 2, 0.0},         // nothing arrives
                                           GreenCase{{1.0, 2.0, 3.0, 4.0}, 1, 2, 0.5},    // steps 1, 2
                                           GreenCase{{1.0, 2.0, 3.0, 4.0}, 3, 2, 0.5},    // wraps: 3, 0
                                           GreenCase{{1.0, 2.0, 3.0, 4.0}, 7, 1, 0.4},    // start wraps
                                           GreenCase{{1.0, 2.0, 3.0, 4.0}, 2, 0, 0.0},    // no green
                                           GreenCase{{0.1, 0.2, 0.7}, 1, 1000, 1.0},      // m > n
                                           GreenCase{{0.25, 0.25, 0.25, 0.25}, 0, 3, 0.75}));  // m / n

TEST(MovementDischargeJson, ReadsBothFormsWritesCompactAndReportsFailures) {
    const auto m = jsonio::read_document<MovementDischarge>(
        R"({"queue_service_time_s": 12, "green_duration_s": 30.5, "green_start_s": -4,
            "saturation_flow_veh_h": 1800, "discharge_volume_veh_h": 600, "note": [1]})");
    EXPECT_EQ(jsonio::read_document<MovementDischarge>("[600, 1800, -4, 30.5, 12]"), m);
    EXPECT_EQ(jsonio::write_document(m),
              R"({"discharge_volume_veh_h":600.0,"saturation_flow_veh_h":1800.0,"green_start_s":-4.0,)"
              R"("green_duration_s":30.5,"queue_service_time_s":12.0})");
    const auto read_error = [](const char* text) {
        return error_of<jsonio::Error>([&] { (void)jsonio::read_document<MovementDischarge>(text); });
    };
    EXPECT_TRUE(starts_with(read_error(R"({"discharge_volume_veh_h": 1, "saturation_flow_veh_h": 2,
                                          "green_start_s": 3, "green_duration_s": 4})"),
                            "missing field `queue_service_time_s` at line 2"));
    EXPECT_TRUE(starts_with(read_error("[1, 2, 3, 4]"), "invalid length 4, expected struct MovementDischarge with 5 elements"));
    EXPECT_TRUE(starts_with(read_error("7"), "invalid type: integer `7`, expected struct MovementDischarge"));
}

}  // namespace
