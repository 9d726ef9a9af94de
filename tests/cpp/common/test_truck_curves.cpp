#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "../support/checks.hpp"
#include "hcm/common/error.hpp"
#include "hcm/common/truck_curves.hpp"

using namespace hcm::common::truck_curves;
using namespace testing_support;

namespace {

// ---- Values read off the printed curves -------------------------------------------------------

struct PointCase {
    const char* name;
    const Curve* curve;
    std::size_t index;
    double value;
};

class CurveAnchor : public ::testing::TestWithParam<PointCase> {};

TEST_P(CurveAnchor, MatchesPrintedValue) {
    const auto& c = GetParam();
    EXPECT_EQ(c.curve->at(c.index), c.value) << c.name << " point " << c.index;
}

INSTANTIATE_TEST_SUITE_P(
    Spot, CurveAnchor,
    ::testing::Values(PointCase{"SUT accel 0%", &SPOT_SUT_ACCEL_G0, 0, 87.15}, PointCase{"SUT accel 0%", &SPOT_SUT_ACCEL_G0, 1, 87.15},
                      PointCase{"SUT accel 0%", &SPOT_SUT_ACCEL_G0, 2, 81.9}, PointCase{"SUT accel 0%", &SPOT_SUT_ACCEL_G0, 3, 74.89},
                      PointCase{"SUT accel 0%", &SPOT_SUT_ACCEL_G0, 4, 69.29}, PointCase{"SUT accel 0%", &SPOT_SUT_ACCEL_G0, 5, 66.16},
                      PointCase{"SUT accel 0%", &SPOT_SUT_ACCEL_G0, 40, 48.02}, PointCase{"SUT accel 5%", &SPOT_SUT_ACCEL_G5, 0, 115.49},
                      PointCase{"SUT accel 5%", &SPOT_SUT_ACCEL_G5, 40, 77.12}, PointCase{"TT accel 0%", &SPOT_TT_ACCEL_G0, 0, 114.52},
                      PointCase{"TT accel 5%", &SPOT_TT_ACCEL_G5, 0, 146.18}, PointCase{"TT accel 5%", &SPOT_TT_ACCEL_G5, 40, 106.57},
                      PointCase{"SUT decel 5%", &SPOT_SUT_DECEL_G5, 40, 76.58}, PointCase{"TT decel 5%", &SPOT_TT_DECEL_G5, 40, 106.45}));

INSTANTIATE_TEST_SUITE_P(
    Cumulative, CurveAnchor,
    ::testing::Values(PointCase{"SUT FFS65 0%", &FAMB_SUT_FFS65_G0, 40, 92.39}, PointCase{"SUT FFS65 0%", &FAMB_SUT_FFS65_G0, 1, 2.47},
                      PointCase{"TT FFS65 0%", &FAMB_TT_FFS65_G0, 40, 93.86}, PointCase{"TT FFS65 5%", &FAMB_TT_FFS65_G5, 40, 172.93},
                      PointCase{"SUT init 60 5%", &FAMB_SUT_INIT60_G5, 40, 137.74},
                      PointCase{"TT init 50 0%", &FAMB_TT_INIT50_G0, 40, 101.31}));

TEST(CurveAnchor, ExtraTimeTablesAtTheirCorners) {
    EXPECT_EQ(DELTA_TT.at(0).at(0), 0.0136);   // -5 %, 50 mi/h
    EXPECT_EQ(DELTA_TT.at(8).at(5), 0.0310);   // 8 %, 75 mi/h
    EXPECT_EQ(DELTA_TT.at(2).at(2), 0.0119);   // 2 %, 60 mi/h
    EXPECT_EQ(DELTA_SUT.at(4).at(1), 0.0129);  // 4 %, 55 mi/h
    EXPECT_EQ(DELTA_SUT.at(5).at(4), 0.0145);  // 5 %, 70 mi/h
    EXPECT_EQ(DELTA_SUT.at(0), DELTA_SUT.at(1));
    EXPECT_EQ(DELTA_TT.at(0), DELTA_TT.at(1));
}

// ---- Shapes the model must keep ---------------------------------------------------------------

struct NamedCurve {
    const char* name;
    const Curve* curve;
};

const NamedCurve kAccel[] = {{"SUT 0", &SPOT_SUT_ACCEL_G0}, {"SUT 2", &SPOT_SUT_ACCEL_G2}, {"SUT 3", &SPOT_SUT_ACCEL_G3},
                             {"SUT 5", &SPOT_SUT_ACCEL_G5}, {"TT 0", &SPOT_TT_ACCEL_G0},   {"TT 2", &SPOT_TT_ACCEL_G2},
                             {"TT 3", &SPOT_TT_ACCEL_G3},   {"TT 5", &SPOT_TT_ACCEL_G5}};
const NamedCurve kDecel[] = {{"SUT 0", &SPOT_SUT_DECEL_G0}, {"SUT 2", &SPOT_SUT_DECEL_G2}, {"SUT 3", &SPOT_SUT_DECEL_G3},
                             {"SUT 5", &SPOT_SUT_DECEL_G5}, {"TT 2", &SPOT_TT_DECEL_G2},   {"TT 3", &SPOT_TT_DECEL_G3},
                             {"TT 5", &SPOT_TT_DECEL_G5}};

// Cumulative curves by family, each at 0, 2, 3 and 5 %.
const std::array<std::array<const Curve*, 4>, 8> kTimeFamilies = {{
    {&FAMB_SUT_INIT60_G0, &FAMB_SUT_INIT60_G2, &FAMB_SUT_INIT60_G3, &FAMB_SUT_INIT60_G5},
    {&FAMB_SUT_INIT65_G0, &FAMB_SUT_INIT65_G2, &FAMB_SUT_INIT65_G3, &FAMB_SUT_INIT65_G5},
    {&FAMB_SUT_INIT70_G0, &FAMB_SUT_INIT70_G2, &FAMB_SUT_INIT70_G3, &FAMB_SUT_INIT70_G5},
    {&FAMB_SUT_FFS65_G0, &FAMB_SUT_FFS65_G2, &FAMB_SUT_FFS65_G3, &FAMB_SUT_FFS65_G5},
    {&FAMB_TT_INIT50_G0, &FAMB_TT_INIT50_G2, &FAMB_TT_INIT50_G3, &FAMB_TT_INIT50_G5},
    {&FAMB_TT_INIT55_G0, &FAMB_TT_INIT55_G2, &FAMB_TT_INIT55_G3, &FAMB_TT_INIT55_G5},
    {&FAMB_TT_INIT65_G0, &FAMB_TT_INIT65_G2, &FAMB_TT_INIT65_G3, &FAMB_TT_INIT65_G5},
    {&FAMB_TT_FFS65_G0, &FAMB_TT_FFS65_G2, &FAMB_TT_FFS65_G3, &FAMB_TT_FFS65_G5},
}};

TEST(CurveShape, AccelerationRatesNeverRise) {
    for (const auto& c : kAccel) {
        for (std::size_t i = 1; i < CURVE_POINTS; ++i) EXPECT_LE(c.curve->at(i), c.curve->at(i - 1)) << c.name << " at " << i;
    }
}

TEST(CurveShape, DecelerationRatesStartAt75MphAndNeverFall) {
    for (const auto& c : kDecel) {
        EXPECT_EQ(c.curve->front(), 48.0) << c.name;
        for (std::size_t i = 1; i < CURVE_POINTS; ++i) EXPECT_GE(c.curve->at(i), c.curve->at(i - 1)) << c.name << " at " << i;
    }
    for (double r : SPOT_SUT_DECEL_G0) EXPECT_EQ(r, 48.0);
}

TEST(CurveShape, CumulativeTimesStartAtZeroAndGrow) {
    for (const auto& family : kTimeFamilies) {
        for (const Curve* c : family) {
            EXPECT_EQ(c->front(), 0.0);
            for (std::size_t i = 1; i < CURVE_POINTS; ++i) EXPECT_GT(c->at(i), c->at(i - 1)) << "point " << i;
        }
    }
}

TEST(CurveShape, SteeperGradesTakeLonger) {
    for (const auto& family : kTimeFamilies) {
        for (std::size_t g = 1; g < family.size(); ++g) {
            for (std::size_t i = 1; i < CURVE_POINTS; ++i) EXPECT_GT(family[g]->at(i), family[g - 1]->at(i)) << "grade " << g << " point " << i;
        }
    }
}

TEST(CurveShape, FasterEntryTakesLessTime) {
    // Chapter 25 families of one class are ordered by initial speed.
    for (std::size_t first : {0u, 4u}) {
        for (std::size_t s = first + 1; s < first + 3; ++s) {
            for (std::size_t g = 0; g < 4; ++g) {
                for (std::size_t i = 1; i < CURVE_POINTS; ++i) EXPECT_LT(kTimeFamilies[s][g]->at(i), kTimeFamilies[s - 1][g]->at(i));
            }
        }
    }
}

TEST(CurveShape, CrawlRateLiesBetweenTheSpotCurveEnds) {
    // Both spot curves of a grade settle at its crawl speed: the acceleration curve from above, the
    // deceleration curve from below. The extra-time table (rounded to 0.0001 s/ft) agrees at 5 %.
    const std::pair<const Curve*, const Curve*> pairs[] = {
        {&SPOT_SUT_ACCEL_G2, &SPOT_SUT_DECEL_G2}, {&SPOT_SUT_ACCEL_G3, &SPOT_SUT_DECEL_G3}, {&SPOT_SUT_ACCEL_G5, &SPOT_SUT_DECEL_G5},
        {&SPOT_TT_ACCEL_G2, &SPOT_TT_DECEL_G2},   {&SPOT_TT_ACCEL_G3, &SPOT_TT_DECEL_G3},   {&SPOT_TT_ACCEL_G5, &SPOT_TT_DECEL_G5}};
    for (const auto& [accel, decel] : pairs) EXPECT_GE(accel->back(), decel->back());
    for (const auto* table : {&DELTA_SUT, &DELTA_TT}) {
        const double delta = table->at(5).at(0);
        const auto& accel = table == &DELTA_SUT ? SPOT_SUT_ACCEL_G5 : SPOT_TT_ACCEL_G5;
        const auto& decel = table == &DELTA_SUT ? SPOT_SUT_DECEL_G5 : SPOT_TT_DECEL_G5;
        EXPECT_LE(5280 * (delta - 0.00005), accel.back());
        EXPECT_GE(5280 * (delta + 0.00005), decel.back());
    }
}

// ---- spot_rate ---------------------------------------------------------------------------------

TEST(SpotRate, InterpolatesBetweenPoints) {
    EXPECT_DOUBLE_EQ(spot_rate(TruckClass::Sut, true, 0, 125), 87.15);
    EXPECT_DOUBLE_EQ(spot_rate(TruckClass::Sut, true, 0, 375), 84.525);
    EXPECT_EQ(spot_rate(TruckClass::Sut, true, 0, 0), 87.15);
    EXPECT_EQ(spot_rate(TruckClass::Sut, true, 0, 10000), 48.02);
    EXPECT_EQ(spot_rate(TruckClass::Sut, true, 0, 20000), 48.02);
    EXPECT_EQ(spot_rate(TruckClass::Tt, false, 5, 1e300), 106.45);
}

TEST(SpotRate, PicksCurveByClassModeAndGrade) {
    EXPECT_EQ(spot_rate(TruckClass::Tt, true, 5, 0), 146.18);
    EXPECT_EQ(spot_rate(TruckClass::Sut, true, 5, 0), 115.49);
    EXPECT_EQ(spot_rate(TruckClass::Sut, false, 5, 10000), 76.58);
    EXPECT_EQ(spot_rate(TruckClass::Tt, false, 0, 5000), 48.0);  // TT shares the SUT level deceleration curve
    EXPECT_EQ(spot_rate(TruckClass::Tt, true, 3, 2500), SPOT_TT_ACCEL_G3.at(10));
}

TEST(SpotRate, DownhillFiveRunsOnTheLevelAndGradesSnap) {
    for (double d : {0.0, 333.0, 4321.0, 12000.0}) {
        EXPECT_EQ(spot_rate(TruckClass::Tt, true, -5, d), spot_rate(TruckClass::Tt, true, 0, d));
        EXPECT_EQ(spot_rate(TruckClass::Sut, false, -5.0000000001, d), spot_rate(TruckClass::Sut, false, 0, d));
        EXPECT_EQ(spot_rate(TruckClass::Sut, true, 2.0000000001, d), spot_rate(TruckClass::Sut, true, 2, d));
        EXPECT_EQ(spot_rate(TruckClass::Tt, false, 4.9999999999, d), spot_rate(TruckClass::Tt, false, 5, d));
    }
}

const char* const kGrade4Spot =
    "grade 4% is not digitised in Stage 1 of the mixed-flow truck curves (available: -5, 0, 2, 3, 5); Exhibit "
    "25-20/25-21 would have to be digitised for it. The curves are not extrapolated because each grade settles at its "
    "own crawl speed.";

TEST(SpotRate, Failures) {
    EXPECT_EQ(error_of([] { spot_rate(TruckClass::Sut, true, 4, 100); }), kGrade4Spot);
    EXPECT_PRED2(starts_with, error_of([] { spot_rate(TruckClass::Sut, true, 2.00001, 100); }),
              "grade 2.00001% is not digitised in Stage 1");
    EXPECT_EQ(error_of([] { spot_rate(TruckClass::Sut, true, 0, -1); }), "distance must be finite and non-negative, got -1 ft");
    EXPECT_EQ(error_of([] { spot_rate(TruckClass::Sut, true, 0, kNaN); }), "distance must be finite and non-negative, got NaN ft");
    EXPECT_EQ(error_of([] { spot_rate(TruckClass::Sut, true, 0, kInf); }), "distance must be finite and non-negative, got inf ft");
    // the distance is checked before the grade
    EXPECT_EQ(error_of([] { spot_rate(TruckClass::Tt, false, 4, -2.5); }), "distance must be finite and non-negative, got -2.5 ft");
    EXPECT_EQ(error_of([] { spot_rate(TruckClass::Tt, false, kNaN, 0); }), "grade must be finite, got NaN");
}

// ---- spot_distance -----------------------------------------------------------------------------

struct DistanceCase {
    TruckClass cls;
    bool accel;
    double grade;
    double rate;
    double distance;
};

class SpotDistance : public ::testing::TestWithParam<DistanceCase> {};

TEST_P(SpotDistance, FindsWhereTheCurveReachesTheRate) {
    const auto& c = GetParam();
    EXPECT_DOUBLE_EQ(spot_distance(c.cls, c.accel, c.grade, c.rate), c.distance);
}

INSTANTIATE_TEST_SUITE_P(
    EdgesAndInterpolation, SpotDistance,
    ::testing::Values(
        // flat level deceleration curve: counted as falling
        DistanceCase{TruckClass::Sut, false, 0, 48.0, 0.0}, DistanceCase{TruckClass::Sut, false, 0, 50.0, 0.0},
        DistanceCase{TruckClass::Sut, false, 0, 40.0, 10000.0}, DistanceCase{TruckClass::Tt, false, -5, 48.0, 0.0},
        // falling acceleration curve
        DistanceCase{TruckClass::Sut, true, 0, 90.0, 0.0}, DistanceCase{TruckClass::Sut, true, 0, 40.0, 10000.0},
        DistanceCase{TruckClass::Sut, true, 0, 87.15, 0.0},     // first segment is flat: its start
        DistanceCase{TruckClass::Sut, true, 0, 84.525, 375.0},  // halfway down the second segment
        DistanceCase{TruckClass::Sut, true, 0, 74.89, 750.0},
        // rising deceleration curve
        DistanceCase{TruckClass::Tt, false, 5, 47.0, 0.0}, DistanceCase{TruckClass::Tt, false, 5, 48.0, 0.0},
        DistanceCase{TruckClass::Tt, false, 5, 106.45, 10000.0}, DistanceCase{TruckClass::Tt, false, 5, 120.0, 10000.0}));

TEST(SpotDistance, InvertsSpotRateOnStrictlyMonotoneStretches) {
    for (bool accel : {true, false}) {
        for (double d : {130.0, 1100.0, 2600.0, 3333.0}) {
            const double r = spot_rate(TruckClass::Tt, accel, 5, d);
            EXPECT_NEAR(spot_distance(TruckClass::Tt, accel, 5, r), d, 1e-6) << accel;
        }
    }
}

TEST(SpotDistance, Failures) {
    EXPECT_EQ(error_of([] { spot_distance(TruckClass::Sut, true, 0, kNaN); }), "spot rate must be finite, got NaN");
    EXPECT_EQ(error_of([] { spot_distance(TruckClass::Sut, true, 0, -kInf); }), "spot rate must be finite, got -inf");
    EXPECT_EQ(error_of([] { spot_distance(TruckClass::Sut, true, 4, 60); }), kGrade4Spot);
}

// ---- nearest_exhibit ---------------------------------------------------------------------------

TEST(NearestExhibit, NearestDigitisedInitialSpeed) {
    EXPECT_EQ(nearest_exhibit(TruckClass::Sut, 62.5), 60u);  // tie keeps the lower, 2.5 away accepted
    EXPECT_EQ(nearest_exhibit(TruckClass::Sut, 67.5), 65u);
    EXPECT_EQ(nearest_exhibit(TruckClass::Sut, 72.5), 70u);
    EXPECT_EQ(nearest_exhibit(TruckClass::Tt, 52.5), 50u);
    EXPECT_EQ(nearest_exhibit(TruckClass::Tt, 57), 55u);
    EXPECT_EQ(nearest_exhibit(TruckClass::Tt, 65), 65u);
    EXPECT_EQ(nearest_exhibit(TruckClass::Tt, 47.5), 50u);
}

TEST(NearestExhibit, Failures) {
    EXPECT_EQ(error_of([] { nearest_exhibit(TruckClass::Tt, 60); }),
              "no Stage-1 Chapter 25 Appendix A curve within 2.5 mi/h of 60.0 mi/h for Tt (digitised: [50, 55, 65]); that "
              "exhibit would have to be digitised");
    EXPECT_EQ(error_of([] { nearest_exhibit(TruckClass::Sut, 57.4); }),
              "no Stage-1 Chapter 25 Appendix A curve within 2.5 mi/h of 57.4 mi/h for Sut (digitised: [60, 65, 70]); that "
              "exhibit would have to be digitised");
    EXPECT_PRED2(starts_with, error_of([] { nearest_exhibit(TruckClass::Sut, 72.51); }),
              "no Stage-1 Chapter 25 Appendix A curve within 2.5 mi/h of 72.5 mi/h f");
    EXPECT_EQ(error_of([] { nearest_exhibit(TruckClass::Sut, 0); }), "speed must be positive and finite, got 0 mi/h");
    EXPECT_EQ(error_of([] { nearest_exhibit(TruckClass::Tt, -3); }), "speed must be positive and finite, got -3 mi/h");
    EXPECT_EQ(error_of([] { nearest_exhibit(TruckClass::Tt, kInf); }), "speed must be positive and finite, got inf mi/h");
    EXPECT_EQ(error_of([] { nearest_exhibit(TruckClass::Tt, kNaN); }), "speed must be positive and finite, got NaN mi/h");
}

// ---- travel_time and travel_time_rate ------------------------------------------------------------

TEST(TravelTime, ReadsTheCurveOfClassChapterSpeedAndGrade) {
    EXPECT_EQ(travel_time(TruckClass::Tt, true, 65, 0, 10000), 93.86);
    EXPECT_EQ(travel_time(TruckClass::Tt, true, 65, -5, 10000), 93.86);
    EXPECT_EQ(travel_time(TruckClass::Sut, false, 60, 5, 12000), 137.74);
    EXPECT_EQ(travel_time(TruckClass::Sut, false, 65, 2, 5000), FAMB_SUT_INIT65_G2.at(20));
    EXPECT_DOUBLE_EQ(travel_time(TruckClass::Sut, true, 65, 0, 125), 1.235);
    EXPECT_EQ(travel_time(TruckClass::Tt, false, 50, 0, 0), 0.0);
}

TEST(TravelTime, Failures) {
    EXPECT_EQ(error_of([] { travel_time(TruckClass::Sut, true, 60, 0, 1000); }),
              "no Stage-1 travel time curve for Sut at 60 mi/h FFS, 0% grade; the Chapter 26 Appendix A exhibit for that "
              "combination has not been digitised. Stage 1 covers the combinations the published worked examples use: "
              "Chapter 25 SUT at 60/65/70 mi/h, Chapter 25 TT at 50/55/65 mi/h, Chapter 26 at 65 mi/h FFS, each at "
              "-5/0/2/3/5% grade.");
    EXPECT_PRED2(starts_with, error_of([] { travel_time(TruckClass::Tt, false, 60, -5, 1000); }),
              "no Stage-1 travel time curve for Tt at 60 mi/h initial speed, 0% grade; the Chapter 25 Appendix A exhibit for "
              "that combination");
    EXPECT_PRED2(starts_with, error_of([] { travel_time(TruckClass::Tt, false, 70, 3, 1000); }),
              "no Stage-1 travel time curve for Tt at 70 mi/h initial speed, 3%");
    EXPECT_EQ(error_of([] { travel_time(TruckClass::Sut, false, 65, 6, 100); }),
              "grade 6% is not digitised in Stage 1 of the mixed-flow truck curves (available: -5, 0, 2, 3, 5); the travel "
              "time exhibit would have to be digitised for it. The curves are not extrapolated because each grade settles at "
              "its own crawl speed.");
    EXPECT_EQ(error_of([] { travel_time(TruckClass::Sut, false, 61, 6, -1); }), "distance must be finite and non-negative, got -1 ft");
}

TEST(TravelTimeRate, WithinTheCurve) {
    const double mi = 10000.0 / 5280.0;
    EXPECT_DOUBLE_EQ(travel_time_rate(TruckClass::Sut, true, 65, 0, mi, 65), 92.39 / mi);
    EXPECT_DOUBLE_EQ(travel_time_rate(TruckClass::Tt, false, 50, 0, mi, 50), 101.31 / mi);
    // an FFS off the extra-time columns matters only beyond 10,000 ft
    EXPECT_DOUBLE_EQ(travel_time_rate(TruckClass::Tt, true, 65, 0, 1.0, 62), FAMB_TT_FFS65_G0.at(21) + 0.12 * (FAMB_TT_FFS65_G0.at(22) - FAMB_TT_FFS65_G0.at(21)));
}

TEST(TravelTimeRate, BeyondTheCurveAddsTheExtraTime) {
    EXPECT_NEAR(travel_time_rate(TruckClass::Tt, true, 65, 0, 2.0, 65), 49.87, 1e-12);
    EXPECT_NEAR(travel_time_rate(TruckClass::Tt, true, 65, -5, 2.0, 65), 49.87, 1e-12);
    EXPECT_NEAR(travel_time_rate(TruckClass::Tt, true, 65, 5, 3.0, 75), (172.93 + 0.0202 * 5840) / 3, 1e-12);
    EXPECT_NEAR(travel_time_rate(TruckClass::Sut, false, 60, 5.0000000001, 2.5, 55), (137.74 + 0.0146 * 3200) / 2.5, 1e-12);
    EXPECT_NEAR(travel_time_rate(TruckClass::Sut, false, 70, 2, 4.0, 70.0000000001), (FAMB_SUT_INIT70_G2.back() + 0.0100 * 11120) / 4, 1e-12);
}

TEST(TravelTimeRate, Failures) {
    EXPECT_EQ(error_of([] { travel_time_rate(TruckClass::Tt, true, 65, 0, 2.0, 62); }),
              "FFS 62 mi/h is not a column of HCM Exhibit 25-24/25-25 (columns: 50, 55, 60, 65, 70, 75)");
    EXPECT_EQ(error_of([] { travel_time_rate(TruckClass::Tt, true, 65, 0, 2.0, kNaN); }),
              "grade and FFS must be finite, got grade 0, FFS NaN");
    EXPECT_EQ(error_of([] { travel_time_rate(TruckClass::Tt, true, 65, 0, 0.0, 65); }), "segment length must be positive, got 0 mi");
    EXPECT_EQ(error_of([] { travel_time_rate(TruckClass::Tt, true, 65, 0, -1.5, 65); }), "segment length must be positive, got -1.5 mi");
    EXPECT_EQ(error_of([] { travel_time_rate(TruckClass::Tt, true, 65, 0, kInf, 65); }), "segment length must be positive, got inf mi");
    // curve errors come first, also beyond 10,000 ft
    EXPECT_PRED2(starts_with, error_of([] { travel_time_rate(TruckClass::Tt, true, 60, 0, 3.0, 62); }),
              "no Stage-1 travel time curve for Tt at 60 mi/h FFS, 0% ");
    EXPECT_PRED2(starts_with, error_of([] { travel_time_rate(TruckClass::Tt, true, 65, 4, 3.0, 65); }), "grade 4% is not digitised");
}

TEST(TruckClassNames, TextForms) {
    EXPECT_EQ(base::name_of(TruckClass::Sut), "Sut");
    EXPECT_EQ(base::name_of(TruckClass::Tt), "Tt");
    EXPECT_EQ(static_cast<int>(TruckClass::Tt), 1);
}

}  // namespace
