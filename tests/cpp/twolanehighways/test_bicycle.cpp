#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>

#include "../support/checks.hpp"
#include "hcm/twolanehighways/bicycle.hpp"

using namespace hcm::twolanehighways;
using namespace testing_support;
using hcm::common::LevelOfService;

namespace {

// 12-ft lane, 6-ft shoulder, 50 mi/h, one lane, pavement 4, 300 veh/h, PHF 0.9, 5 % heavy
// vehicles, no parking.
BicycleLOS base() { return {12.0, 6.0, 50.0, 1, 4.0, 300.0, 0.9, 0.05, 0.0}; }

TEST(HighwayBicycle, StepsOfABaseSegment) {
    const BicycleLOS b = base();
    EXPECT_DOUBLE_EQ(flow_rate_outside_lane(b), 300.0 / 0.9);
    EXPECT_DOUBLE_EQ(effective_width(b), 6.0 + 18.0);  // v_L 300 > 160: W_v = W_t; W_s added again
    EXPECT_NEAR(effective_speed_factor(b), 1.1199 * std::log(30.0) + 0.8103, 1e-12);
    EXPECT_NEAR(blos_score(b), 3.397473627412, 1e-9);
    const BicycleLOSResult r = analyze(b);
    EXPECT_EQ(r.los, LevelOfService::C);
    EXPECT_EQ(r.blos_score, blos_score(b));
    EXPECT_EQ(r.effective_width, effective_width(b));
}

TEST(HighwayBicycle, NarrowShoulderParkingAndTwoLanes) {
    const BicycleLOS busy{11.0, 2.0, 45.0, 2, 3.0, 900.0, 0.92, 0.1, 0.2};
    EXPECT_DOUBLE_EQ(effective_width(busy), 13.0 - 4.0 * 0.2);
    EXPECT_NEAR(blos_score(busy), 7.606330250434, 1e-9);
    EXPECT_EQ(analyze(busy).los, LevelOfService::F);
    const BicycleLOS quiet{12.0, 6.0, 55.0, 1, 3.5, 150.0, 0.95, 0.02, 0.1};
    EXPECT_DOUBLE_EQ(effective_width(quiet), 6.0 + 18.0 * 1.25 - 2.0 * 8.0 * 0.1);
    EXPECT_NEAR(blos_score(quiet), 1.682078723607, 1e-9);
    EXPECT_EQ(analyze(quiet).los, LevelOfService::B);
}

// Each squared factor of Equation 15-47 is squared before its coefficient multiplies it; the
// other grouping differs in the last bits for these inputs.
TEST(HighwayBicycle, ScoreSquaresBeforeItsCoefficients) {
    EXPECT_EQ(blos_score({11.0, 2.0, 45.0, 2, 3.0, 900.0, 0.92, 0.1, 0.2}), 7.606330250433893);
    EXPECT_EQ(blos_score({12.0, 6.0, 55.0, 1, 3.5, 150.0, 0.95, 0.02, 0.1}), 1.68207872360675);
    EXPECT_EQ(blos_score({12.0, 6.0, 20.0, 1, 4.0, 300.0, 0.9, 0.05, 0.0}), 1.6406044542873823);
}

// The widening for low volumes tests the hourly volume per lane, without the PHF.
using WidthCase = std::tuple<double, double, std::int32_t, double, double, double>;  // V, PHF, N, W_s, p_pk, W_e
class EffectiveWidth : public ::testing::TestWithParam<WidthCase> {};

TEST_P(EffectiveWidth, VolumeAndShoulderBranches) {
    const auto [volume, phf, lanes, shoulder, parking, expected] = GetParam();
    BicycleLOS b = base();
    b.hourly_volume = volume;
    b.phf = phf;
    b.num_lanes = lanes;
    b.shoulder_width = shoulder;
    b.pct_on_highway_parking = parking;
    EXPECT_NEAR(effective_width(b), expected, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(
    HighwayBicycle, EffectiveWidth,
    ::testing::Values(WidthCase{160.0, 0.9, 1, 6.0, 0.0, 6.0 + 1.2 * 18.0},
                      WidthCase{161.0, 0.9, 1, 6.0, 0.0, 6.0 + 18.0},
                      WidthCase{300.0, 0.5, 2, 6.0, 0.0, 6.0 + 1.25 * 18.0},
                      WidthCase{0.0, 0.9, 1, 6.0, 0.0, 6.0 + 2.0 * 18.0},
                      WidthCase{400.0, 0.9, 1, 8.0, 0.0, 8.0 + 20.0},
                      WidthCase{400.0, 0.9, 1, 4.0, 0.0, 4.0 + 16.0},
                      WidthCase{400.0, 0.9, 1, 3.0, 0.0, 15.0},
                      WidthCase{400.0, 0.9, 1, 8.0, 0.5, 8.0 + 20.0 - 5.0},
                      WidthCase{400.0, 0.9, 1, 4.0, 0.5, 4.0 + 16.0 - 6.0},
                      WidthCase{400.0, 0.9, 1, 3.0, 0.5, 15.0 - 2.5},
                      WidthCase{400.0, 0.9, 1, 0.0, 1.0, 12.0 - 2.0 * 1.0}));

TEST(HighwayBicycle, HeavyVehicleShareCappedBelow200VehiclesPerHour) {
    auto score = [](double volume, double hv) {
        BicycleLOS b = base();
        b.hourly_volume = volume;
        b.heavy_vehicle_pct = hv;
        return blos_score(b);
    };
    EXPECT_EQ(score(199.0, 0.8), score(199.0, 0.5));
    EXPECT_LT(score(199.0, 0.4), score(199.0, 0.5));
    EXPECT_GT(score(200.0, 0.8), score(200.0, 0.5));
}

// Speed limits of 21 mi/h and below take the logarithm at 21 mi/h (0), where a limit of 20 once
// gave an infinitely good score (LOS A) and a lower one no score at all.
using SpeedCase = std::tuple<double, double>;  // S_P, S_Rt
class LowSpeedLimit : public ::testing::TestWithParam<SpeedCase> {};

TEST_P(LowSpeedLimit, SpeedFactorFloored) {
    BicycleLOS b = base();
    b.speed_limit = std::get<0>(GetParam());
    EXPECT_NEAR(effective_speed_factor(b), std::get<1>(GetParam()), 1e-12);
    const BicycleLOSResult r = analyze(b);
    EXPECT_TRUE(std::isfinite(r.blos_score));
    EXPECT_EQ(r.los, bicycle_los(r.blos_score));
}

INSTANTIATE_TEST_SUITE_P(HighwayBicycle, LowSpeedLimit,
                         ::testing::Values(SpeedCase{20.0, 0.8103}, SpeedCase{15.0, 0.8103}, SpeedCase{0.0, 0.8103},
                                           SpeedCase{20.5, 0.8103}, SpeedCase{21.0, 0.8103},
                                           SpeedCase{30.0, 1.1199 * std::log(10.0) + 0.8103}));

TEST(HighwayBicycle, LowSpeedLimitScores) {
    BicycleLOS b = base();
    b.speed_limit = 20.0;
    EXPECT_NEAR(blos_score(b), 1.640604454287, 1e-9);
    EXPECT_EQ(analyze(b).los, LevelOfService::B);
    b.speed_limit = kNaN;
    EXPECT_TRUE(std::isnan(analyze(b).blos_score));
    EXPECT_EQ(analyze(b).los, LevelOfService::F);
}

TEST(HighwayBicycle, ZeroLanesOrPavementGiveF) {
    BicycleLOS b = base();
    b.num_lanes = 0;
    EXPECT_EQ(flow_rate_outside_lane(b), kInf);
    EXPECT_DOUBLE_EQ(effective_width(b), 6.0 + 18.0);
    EXPECT_EQ(analyze(b).los, LevelOfService::F);
    b = base();
    b.pavement_condition = 0.0;
    EXPECT_EQ(blos_score(b), kInf);
    EXPECT_EQ(analyze(b).los, LevelOfService::F);
    b = base();
    b.hourly_volume = 0.0;  // no logarithm of zero
    EXPECT_TRUE(std::isfinite(blos_score(b)));
}

using LetterCase = std::tuple<double, LevelOfService>;
class BicycleLetters : public ::testing::TestWithParam<LetterCase> {};

TEST_P(BicycleLetters, Exhibit15_7) { EXPECT_EQ(bicycle_los(std::get<0>(GetParam())), std::get<1>(GetParam())); }

INSTANTIATE_TEST_SUITE_P(HighwayBicycle, BicycleLetters,
                         ::testing::Values(LetterCase{1.5, LevelOfService::A}, LetterCase{1.51, LevelOfService::B},
                                           LetterCase{2.5, LevelOfService::B}, LetterCase{3.5, LevelOfService::C},
                                           LetterCase{4.5, LevelOfService::D}, LetterCase{5.5, LevelOfService::E},
                                           LetterCase{5.51, LevelOfService::F}, LetterCase{kNaN, LevelOfService::F},
                                           LetterCase{-kInf, LevelOfService::A}));

// ---- JSON ----

constexpr char kObject[] =
    R"({"lane_width": 12, "shoulder_width": 6, "speed_limit": 50, "num_lanes": 1, "pavement_condition": 4,
        "hourly_volume": 300, "phf": 0.9, "heavy_vehicle_pct": 0.05, "pct_on_highway_parking": 0, "length": 2.5})";

TEST(HighwayBicycleJson, ObjectAndArrayFormsGiveTheSameResult) {
    const std::string out = analyze_bicycle_los(kObject);
    EXPECT_EQ(out, to_json(analyze(base())));
    EXPECT_EQ(analyze_bicycle_los(" [12, 6, 50, 1, 4, 300, 0.9, 0.05, 0] "), out);
    EXPECT_EQ(out.rfind(R"({"flow_rate_outside_lane":333.3333333333333,"effective_width":24.0,)", 0), 0u) << out;
    EXPECT_NE(out.find(R"("los":"C"})"), std::string::npos) << out;
}

TEST(HighwayBicycleJson, NonFiniteResultsAreNull) {
    BicycleLOS b = base();
    b.num_lanes = 0;
    b.pavement_condition = 0.0;
    EXPECT_EQ(to_json(analyze(b)),
              R"({"flow_rate_outside_lane":null,"effective_width":24.0,"effective_speed_factor":4.619300947723447,)"
              R"("blos_score":null,"los":"F"})");
}

using ErrorCase = std::tuple<const char*, const char*>;
class BicycleJsonErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(BicycleJsonErrors, Messages) {
    const auto [text, message] = GetParam();
    EXPECT_EQ(error_of([text = text] { return analyze_bicycle_los(text); }),
              std::string("invalid bicycle LOS config: ") + message);
}

INSTANTIATE_TEST_SUITE_P(
    HighwayBicycle, BicycleJsonErrors,
    ::testing::Values(
        ErrorCase{"[12, 6, 50, 1, 4, 300, 0.9, 0.05]",
                  "invalid length 8, expected struct BicycleLOS with 9 elements at line 1 column 33"},
        ErrorCase{"[12, 6, 50, 1, 4, 300, 0.9, 0.05, 0, 1]", "trailing characters at line 1 column 38"},
        ErrorCase{R"({"lane_width": 12, "shoulder_width": 6, "speed_limit": 50, "num_lanes": 1,
 "pavement_condition": 4, "hourly_volume": 300, "heavy_vehicle_pct": 0.05, "pct_on_highway_parking": 0})",
                  "missing field `phf` at line 2 column 103"},
        ErrorCase{R"({"shoulder_width": 6})", "missing field `lane_width` at line 1 column 21"},
        ErrorCase{R"({"phf": 0.9, "phf": 0.9})", "duplicate field `phf` at line 1 column 18"},
        ErrorCase{"[12, 6, 50, 2.0, 4, 300, 0.9, 0.05, 0]",
                  "invalid type: floating point `2.0`, expected i32 at line 1 column 15"},
        ErrorCase{"[12, 6, 50, 1, null, 300, 0.9, 0.05, 0]", "invalid type: null, expected f64 at line 1 column 19"},
        ErrorCase{"[12, 6, 50, 3000000000, 4, 300, 0.9, 0.05, 0]",
                  "invalid value: integer `3000000000`, expected i32 at line 1 column 22"},
        ErrorCase{"\"12\"", "invalid type: string \"12\", expected struct BicycleLOS at line 1 column 4"},
        ErrorCase{"[12, 6, 50, 1, 4, 300, 0.9, 0.05, 0] x", "trailing characters at line 1 column 38"}));

}  // namespace
