#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <vector>

#include "../support/checks.hpp"
#include "hcm/twolanehighways/twolanehighways.hpp"

using namespace hcm::twolanehighways;
using namespace testing_support;
using hcm::common::LevelOfService;

namespace {

Segment segment(std::size_t passing_type, double length, double grade = 0.0, double spl = 55.0) {
    Segment s;
    s.passing_type = passing_type;
    s.length = length;
    s.grade = grade;
    s.spl = spl;
    return s;
}

TwoLaneHighways facility_of(std::vector<Segment> segments) {
    TwoLaneHighways f;
    f.segments = std::move(segments);
    return f;
}

double round_to(double x, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return std::round(x * scale) / scale;
}

// HCM 7th Edition Chapter 15, Example Problem 1 (as published with the NCHRP 17-65 research):
// a level, straight passing-constrained segment.
TEST(TwoLaneExample, PassingConstrainedLevelSegment) {
    Segment s = segment(PASSING_CONSTRAINED, 3960.0 / 5280.0, 0.0, 50.0);
    s.volume = 752.0;
    s.phf = 0.94;
    s.phv = 5.0;
    TwoLaneHighways f = facility_of({s});
    f.lane_width = 12.0;
    f.shoulder_width = 6.0;
    f.apd = 0.0;

    EXPECT_EQ(f.determine_vertical_alignment(0), 1);
    const DemandFlow demand = f.determine_demand_flow(0);
    EXPECT_EQ(round_to(demand.v_d, 0), 800.0);
    EXPECT_EQ(demand.capacity, 1700);
    const double ffs = f.determine_free_flow_speed(0);
    EXPECT_EQ(round_to(ffs, 2), 56.83);
    EXPECT_NEAR(ffs, 57.0 - 0.0333 * 5.0, 1e-12);  // BFFS 57.0, class 1 slope, no width or access loss
    EXPECT_EQ(round_to(f.estimate_average_speed(0).speed, 1), 53.7);
    EXPECT_EQ(round_to(f.estimate_percent_followers(0), 1), 67.7);
    EXPECT_EQ(round_to(f.determine_follower_density_pc_pz(0), 1), 10.1);
    EXPECT_EQ(f.determine_segment_los(0, 50.0, 1700), LevelOfService::D);
    EXPECT_EQ(f.determine_facility_los(f.determine_facility_follower_density(), 50.0), LevelOfService::D);
}

// ---- length limits and vertical class ----

using LimitCase = std::tuple<std::size_t, std::optional<std::int32_t>, double, double>;
class LengthLimitsTable : public ::testing::TestWithParam<LimitCase> {};

TEST_P(LengthLimitsTable, ByPassingTypeAndClass) {
    const auto [type, vertical_class, lo, hi] = GetParam();
    Segment s = segment(type, 1.0);
    s.vertical_class = vertical_class;
    const LengthLimits limits = facility_of({s}).identify_vertical_class(0);
    EXPECT_EQ(limits.min, lo);
    EXPECT_EQ(limits.max, hi);
}

INSTANTIATE_TEST_SUITE_P(
    TwoLane, LengthLimitsTable,
    ::testing::Values(LimitCase{0, std::nullopt, 0.25, 3.0}, LimitCase{1, 2, 0.25, 2.0}, LimitCase{2, 1, 0.5, 3.0},
                      LimitCase{0, 3, 0.25, 1.1}, LimitCase{2, 3, 0.5, 1.1}, LimitCase{1, 4, 0.5, 2.0},
                      LimitCase{0, 5, 0.5, 3.0}, LimitCase{0, 0, 0.0, 0.0}, LimitCase{2, 6, 0.0, 0.0},
                      LimitCase{3, 1, 0.0, 0.0}));

using ClassCase = std::tuple<double, double, std::int32_t>;  // length (mi), grade (%), class
class VerticalAlignment : public ::testing::TestWithParam<ClassCase> {};

TEST_P(VerticalAlignment, Exhibit15_11) {
    const auto [length, grade, expected] = GetParam();
    TwoLaneHighways f = facility_of({segment(PASSING_ZONE, length, grade)});
    EXPECT_EQ(f.determine_vertical_alignment(0), expected);
    EXPECT_EQ(f.segments[0].vertical_class, expected);
}

INSTANTIATE_TEST_SUITE_P(TwoLane, VerticalAlignment,
                         ::testing::Values(ClassCase{0.1, 7.0, 1}, ClassCase{0.1, 7.01, 2}, ClassCase{0.1, 20.0, 2},
                                           ClassCase{0.1, -8.0, 1}, ClassCase{0.1, kNaN, 2},
                                           ClassCase{0.15, 7.0, 2}, ClassCase{0.15, 9.0, 3},
                                           ClassCase{0.15, -5.5, 2}, ClassCase{0.25, 9.5, 5},
                                           ClassCase{0.3, -4.0, 1}, ClassCase{0.75, -3.0, 1},
                                           ClassCase{0.75, -3.5, 3}, ClassCase{0.75, -5.0, 4},
                                           ClassCase{0.75, -6.5, 5}, ClassCase{0.75, 3.5, 3},
                                           ClassCase{1.0, -2.5, 2}, ClassCase{2.0, 3.5, 4},
                                           ClassCase{2.0, -4.0, 4}, ClassCase{2.0, 0.0, 1},
                                           ClassCase{0.5, kNaN, 5}));

// ---- demand flow and capacity ----

TEST(TwoLaneDemand, OpposingFlowByPassingType) {
    Segment pc = segment(PASSING_CONSTRAINED, 1.0);
    pc.volume_op = 400.0;
    Segment pz = segment(PASSING_ZONE, 1.0);
    pz.volume = 600.0;
    pz.volume_op = 570.0;
    Segment pz_empty = segment(PASSING_ZONE, 1.0);
    pz_empty.volume_op = 0.0;
    Segment other = segment(3, 1.0);
    TwoLaneHighways f = facility_of({pc, pz, pz_empty, segment(PASSING_LANE, 1.0), other});

    const DemandFlow d0 = f.determine_demand_flow(0);
    EXPECT_DOUBLE_EQ(d0.v_d, 1000.0 / 0.95);
    EXPECT_EQ(d0.v_o, 1500.0);
    EXPECT_EQ(d0.capacity, 1700);
    const DemandFlow d1 = f.determine_demand_flow(1);
    EXPECT_DOUBLE_EQ(d1.v_d, 600.0 / 0.95);
    EXPECT_DOUBLE_EQ(d1.v_o, 600.0);
    EXPECT_EQ(f.determine_demand_flow(2).v_o, 0.0);
    const DemandFlow d3 = f.determine_demand_flow(3);  // 5 % heavy vehicles, class 1
    EXPECT_EQ(d3.v_o, 0.0);
    EXPECT_EQ(d3.capacity, 1500);
    EXPECT_EQ(f.determine_demand_flow(4).capacity, 0);
    EXPECT_EQ(f.segments[1].flow_rate, d1.v_d);
    EXPECT_EQ(f.segments[1].flow_rate_o, d1.v_o);
    EXPECT_EQ(f.segments[3].capacity, 1500);
}

using CapacityCase = std::tuple<double, std::int32_t, std::int32_t>;  // HV %, vertical class, capacity
class PassingLaneCapacity : public ::testing::TestWithParam<CapacityCase> {};

TEST_P(PassingLaneCapacity, ByHeavyVehiclesAndClass) {
    const auto [phv, vertical_class, expected] = GetParam();
    Segment s = segment(PASSING_LANE, 1.0);
    s.phv = phv;
    s.vertical_class = vertical_class;
    TwoLaneHighways f = facility_of({s});
    EXPECT_EQ(f.determine_demand_flow(0).capacity, expected);
}

INSTANTIATE_TEST_SUITE_P(TwoLane, PassingLaneCapacity,
                         ::testing::Values(CapacityCase{4.9, 5, 1500}, CapacityCase{5.0, 5, 1400},
                                           CapacityCase{5.0, 4, 1500}, CapacityCase{10.0, 4, 1300},
                                           CapacityCase{12.0, 3, 1400}, CapacityCase{15.0, 5, 1200},
                                           CapacityCase{20.0, 4, 1200}, CapacityCase{20.0, 3, 1300},
                                           CapacityCase{24.9, 5, 1100}, CapacityCase{25.0, 1, 1100},
                                           CapacityCase{40.0, 5, 1100}, CapacityCase{12.0, 0, 1300},
                                           CapacityCase{kNaN, 1, 0}));

// ---- free-flow speed ----

TEST(TwoLaneFreeFlowSpeed, ClassOneSlopeAndAccessPoints) {
    Segment s = segment(PASSING_ZONE, 1.0, 0.0, 60.0);
    s.phv = 10.0;
    s.flow_rate_o = 900.0;
    TwoLaneHighways f = facility_of({s});
    // Class 1: a = 0.0333 whatever the speed limit; no access-point density gives f_A = 1.25.
    EXPECT_NEAR(f.determine_free_flow_speed(0), 68.4 - 0.333 - 1.25, 1e-12);
    f.apd = 50.0;  // f_A capped at 10
    f.lane_width = 11.0;
    f.shoulder_width = 4.0;
    EXPECT_NEAR(f.determine_free_flow_speed(0), 68.4 - 0.333 - 0.6 - 1.4 - 10.0, 1e-12);
    EXPECT_NEAR(*f.segments[0].ffs, 56.067, 1e-12);
}

TEST(TwoLaneFreeFlowSpeed, ClassFiveSlopeWithOpposingFlow) {
    Segment s = segment(PASSING_ZONE, 0.5, 0.0, 50.0);
    s.vertical_class = 5;
    s.flow_rate_o = 600.0;
    TwoLaneHighways f = facility_of({s});
    f.apd = 4.0;
    // BFFS 57: the opposing-flow bracket -0.69848 + 0.01069 (57) + 0.127 (0.5) is negative and
    // drops out, leaving a = -0.3836 + 0.01074 (57) + 0.01945 (0.5); f_A = 0.25 (4).
    const double a = -0.3836 + 0.01074 * 57.0 + 0.01945 * 0.5;
    EXPECT_NEAR(f.determine_free_flow_speed(0), 57.0 - a * 5.0 - 1.0, 1e-9);
    // Class 4: the bracket -0.18363 + 0.00423 (57) = 0.05748 applies per 1000 veh/h opposing.
    f.segments[0].vertical_class = 4;
    const double a4 = -0.40902 + 0.00975 * 57.0 + 0.00767 * 0.5 + 0.05748 * 0.6;
    EXPECT_NEAR(f.determine_free_flow_speed(0), 57.0 - a4 * 5.0 - 1.0, 1e-9);
}

// An access-point density that is not a number gives no free-flow speed, not one reduced by the
// 10 mi/h cap.
TEST(TwoLaneFreeFlowSpeed, NotANumberAccessPointDensityPropagates) {
    TwoLaneHighways f = facility_of({segment(PASSING_ZONE, 1.0, 0.0, 60.0)});
    f.apd = kNaN;
    EXPECT_TRUE(std::isnan(f.determine_free_flow_speed(0)));
    EXPECT_TRUE(std::isnan(*f.segments[0].ffs));
    f.apd = kInf;  // an unbounded density still takes the cap
    EXPECT_NEAR(f.determine_free_flow_speed(0), 68.4 - 0.1665 - 10.0, 1e-12);
}

// ---- average speed ----

TEST(TwoLaneSpeedModel, FreeFlowBelowOneHundredVehicles) {
    SpeedModelInputs in;
    in.length = 1.0;
    in.ffs = 56.8335;
    in.v_d = 100.0;
    in.v_o = 1500.0;
    EXPECT_DOUBLE_EQ(calc_speed(in).speed, 56.8);
    in.v_d = 2000.0;
    in.vertical_class = 0;  // no coefficients: m = 0
    EXPECT_DOUBLE_EQ(calc_speed(in).speed, 56.8);
    in.vertical_class = 6;
    EXPECT_DOUBLE_EQ(calc_speed(in).speed, 56.8);
    in.vertical_class = 1;
    in.passing_type = 3;
    EXPECT_DOUBLE_EQ(calc_speed(in).speed, 56.8);
}

TEST(TwoLaneSpeedModel, TangentAndCurveSpeeds) {
    SpeedModelInputs in;
    in.length = 1.0;
    in.bffs = 62.7;
    in.ffs = 60.0;
    in.v_d = 800.0;
    in.v_o = 1500.0;
    EXPECT_NEAR(calc_speed(in).speed, 56.714822992096, 1e-9);  // tangent, unrounded
    in.vertical_class = 5;
    in.length = 0.5;
    in.ffs = 55.0;
    in.v_d = 900.0;
    in.v_o = 700.0;
    in.phv = 8.0;
    EXPECT_NEAR(calc_speed(in).speed, 47.997686614273, 1e-9);

    in = SpeedModelInputs{};
    in.horizontal_curve = true;
    in.length = 1.0;
    in.bffs = 62.7;
    in.ffs = 60.0;
    in.v_d = 800.0;
    in.v_o = 1500.0;
    in.radius = 700.0;
    in.superelevation = 4.0;
    const SpeedAndClass curve = calc_speed(in);
    EXPECT_DOUBLE_EQ(curve.speed, 46.2);  // 3 significant digits
    EXPECT_EQ(curve.hor_class, 3);
    in.radius = 3000.0;  // class 0 still takes the curve model
    EXPECT_DOUBLE_EQ(calc_speed(in).speed, 54.5);
    EXPECT_EQ(calc_speed(in).hor_class, 0);
}

using HcCase = std::tuple<double, double, std::int32_t>;  // radius (ft), superelevation (%), class
class HorizontalClass : public ::testing::TestWithParam<HcCase> {};

TEST_P(HorizontalClass, Exhibit15_22) {
    const auto [radius, e, expected] = GetParam();
    EXPECT_EQ(horizontal_class(radius, e), expected);
}

INSTANTIATE_TEST_SUITE_P(TwoLane, HorizontalClass,
                         ::testing::Values(HcCase{0.0, 6.0, 0}, HcCase{-5.0, 6.0, 0}, HcCase{kNaN, 6.0, 0},
                                           HcCase{299.0, 6.0, 5}, HcCase{300.0, 6.0, 4}, HcCase{500.0, 0.5, 4},
                                           HcCase{500.0, 1.0, 3}, HcCase{700.0, 5.9, 3}, HcCase{700.0, 6.0, 2},
                                           HcCase{800.0, kNaN, 2}, HcCase{1000.0, 8.0, 1}, HcCase{1100.0, 3.0, 2},
                                           HcCase{1300.0, 2.0, 1}, HcCase{1400.0, 0.0, 1}, HcCase{1600.0, 8.0, 0},
                                           HcCase{1760.0, 5.0, 1}, HcCase{2000.0, 4.0, 0},
                                           HcCase{2500.0, 0.5, 1}, HcCase{2550.0, 0.0, 0}));

// Half a mile of tangent, half a mile of a 700-ft curve with 4 % superelevation.
TEST(TwoLaneAverageSpeed, CurveSegmentWeighsItsSubsegmentsByLength) {
    Segment s = segment(PASSING_CONSTRAINED, 1.0);
    s.is_hc = true;
    s.ffs = 60.0;
    s.flow_rate = 800.0;
    s.flow_rate_o = 1500.0;
    SubSegment tangent;
    tangent.length = 2640.0;
    tangent.hor_class = 4;  // overwritten with 0
    SubSegment curve;
    curve.length = 2640.0;
    curve.design_rad = 700.0;
    curve.sup_ele = 4.0;
    s.subsegments = {tangent, curve};
    TwoLaneHighways f = facility_of({s});

    const SpeedAndClass r = f.estimate_average_speed(0);
    EXPECT_NEAR(r.speed, 0.5 * 56.7 + 0.5 * 46.2, 1e-12);  // tangent term rounded to 0.1
    EXPECT_EQ(r.hor_class, 0);
    const Segment& out = f.segments[0];
    EXPECT_EQ(out.avg_speed, r.speed);
    EXPECT_NEAR(*out.subsegments[0].avg_speed, 56.714822992096, 1e-9);  // stored unrounded
    EXPECT_EQ(out.subsegments[0].hor_class, 0);
    EXPECT_DOUBLE_EQ(*out.subsegments[1].avg_speed, 46.2);
    EXPECT_EQ(out.subsegments[1].hor_class, 3);

    // Subsegments that do not add up to the segment are not renormalised.
    f.segments[0].length = 2.0;
    EXPECT_NEAR(f.estimate_average_speed(0).speed, (0.5 * 56.7 + 0.5 * 46.2) / 2.0, 1e-12);
    // A curve segment without subsegments has no speed.
    f.segments[0].subsegments.clear();
    EXPECT_EQ(f.estimate_average_speed(0).speed, 0.0);
}

TEST(TwoLaneAverageSpeed, SpotSpeedUsesPassingLaneCoefficients) {
    Segment s = segment(PASSING_ZONE, 0.75, 0.0, 50.0);
    s.ffs = 56.83;
    TwoLaneHighways f = facility_of({s});
    const SpeedAndClass r = f.estimate_average_speed_sf(0, 1.0, 800.0, 5.0, 0.0, 0.0);
    EXPECT_NEAR(r.speed, 53.204442359682, 1e-9);
    EXPECT_FALSE(f.segments[0].avg_speed.has_value());
}

// ---- percent followers and follower density ----

TEST(TwoLanePercentFollowers, ModelsWithoutCoefficients) {
    FollowerModelInputs in;
    in.length = 1.0;
    in.ffs = 55.0;
    in.v_d = 800.0;
    in.v_o = 800.0;
    in.vertical_class = 0;
    EXPECT_EQ(calc_percent_followers(in), 0.0);
    in.vertical_class = 1;
    in.passing_type = 3;
    in.capacity = 0;  // the demand step gives such a segment capacity 0
    EXPECT_EQ(calc_percent_followers(in), 0.0);
}

TEST(TwoLanePercentFollowers, PassingLaneClassThree) {
    Segment s = segment(PASSING_LANE, 1.0);
    s.vertical_class = 3;
    s.capacity = 1500;
    s.ffs = 55.0;
    s.flow_rate = 800.0;
    TwoLaneHighways f = facility_of({s});
    EXPECT_NEAR(f.estimate_percent_followers(0), 59.750308975146, 1e-9);
    EXPECT_EQ(f.segments[0].pf, f.estimate_percent_followers_sf(0, 800.0, 5.0));
    EXPECT_LT(f.estimate_percent_followers_sf(0, 400.0, 5.0), *f.segments[0].pf);
    // At vanishing demand PF = 100 (1 - e^(m v^p)) tends to -100 m v^p: a power law in v, kept to
    // the last digits (1 - e^x would keep only a few of them).
    const double pf8 = f.estimate_percent_followers_sf(0, 1e-8, 5.0);
    const double pf10 = f.estimate_percent_followers_sf(0, 1e-10, 5.0);
    const double pf12 = f.estimate_percent_followers_sf(0, 1e-12, 5.0);
    EXPECT_GT(pf12, 0.0);
    EXPECT_NEAR(pf8 / pf10, pf10 / pf12, 1e-9 * (pf10 / pf12));
}

TEST(TwoLaneFollowerDensity, PassingLaneSplitsIntoFasterAndSlowerLane) {
    Segment s = segment(PASSING_LANE, 1.5, 0.0, 55.0);
    s.capacity = 1500;
    s.ffs = 55.0;
    s.flow_rate = 1000.0;
    s.phv = 10.0;
    s.pf = 50.0;
    s.avg_speed = 52.0;
    SubSegment only;
    only.length = 100.0;  // one subsegment: the segment length is used
    s.subsegments = {only};
    TwoLaneHighways f = facility_of({s});
    f.pmhvfl = 0.5;
    // v_HV 100, P_FL 0.54492, v_FL 545, v_SL 455, HV_FL 5, HV_SL ceil(72.75) / 455 = 16.0 %.
    const PassingLaneFollowerDensity r = f.determine_follower_density_pl(0);
    EXPECT_NEAR(r.fd_mid, 4.110660522619, 1e-9);
    EXPECT_DOUBLE_EQ(r.fd, 50.0 * 1000.0 / (100.0 * 52.0));
    EXPECT_EQ(f.segments[0].fd_mid, r.fd_mid);
    EXPECT_EQ(f.segments[0].fd, r.fd);
}

// Two or more subsegments: each lane speed is the length-weighted mean over the subsegments, each
// through the model over its own length with the segment's curve flag (tangents as class 0).
TEST(TwoLaneFollowerDensity, PassingLaneLaneSpeedsBySubsegment) {
    Segment s = segment(PASSING_LANE, 1.5, 0.0, 55.0);
    s.capacity = 1500;
    s.ffs = 55.0;
    s.flow_rate = 1000.0;
    s.phv = 10.0;
    SubSegment half;
    half.length = 3960.0;
    s.subsegments = {half, half};
    TwoLaneHighways f = facility_of({s});
    f.pmhvfl = 0.5;
    EXPECT_NEAR(f.determine_follower_density_pl(0).fd_mid, 4.141484122429, 1e-9);
    // With curves: lane speeds 46.3 / 52.7 (faster) and 46.1 / 52.6 (slower) mi/h.
    f.segments[0].is_hc = true;
    f.segments[0].subsegments[0].design_rad = 500.0;
    f.segments[0].subsegments[0].sup_ele = 2.0;
    EXPECT_NEAR(f.determine_follower_density_pl(0).fd_mid, 4.409308865652, 1e-9);
}

TEST(TwoLaneFollowerDensity, PassingConstrainedFromStoredValues) {
    Segment s = segment(PASSING_ZONE, 1.0);
    s.pf = 60.0;
    s.flow_rate = 900.0;
    s.avg_speed = 50.0;
    TwoLaneHighways f = facility_of({s, segment(PASSING_ZONE, 1.0)});
    EXPECT_DOUBLE_EQ(f.determine_follower_density_pc_pz(0), 10.8);
    EXPECT_TRUE(std::isnan(f.determine_follower_density_pc_pz(1)));  // nothing stored: 0 / 0
}

// ---- downstream adjustment and facility measures ----

// A passing zone, a 1.2-mi passing lane, a passing zone within its downstream effect and a long
// one beyond it.
TwoLaneHighways passing_lane_facility() {
    auto with = [](Segment s, double v, double pf, double speed, double fd) {
        s.flow_rate = v;
        s.pf = pf;
        s.avg_speed = speed;
        s.fd = fd;
        return s;
    };
    Segment lane = with(segment(PASSING_LANE, 1.2), 820.0, 50.0, 52.0, 7.9);
    lane.fd_mid = 4.0;
    return facility_of({with(segment(PASSING_ZONE, 1.0), 800.0, 60.0, 50.0, 9.6), lane,
                        with(segment(PASSING_ZONE, 2.0), 781.25, 55.04, 51.26, 8.4),
                        with(segment(PASSING_ZONE, 10.0), 800.0, 58.0, 50.0, 9.28)});
}

TEST(TwoLaneAdjustment, DownstreamOfThePassingLane) {
    TwoLaneHighways f = passing_lane_facility();
    EXPECT_EQ(f.determine_adjustment_to_follower_density(0), 0.0);
    EXPECT_EQ(f.determine_adjustment_to_follower_density(2), 0.0);  // l_de not known yet
    EXPECT_NEAR(f.determine_adjustment_to_follower_density(1), 8.768517782858, 1e-9);
    EXPECT_EQ(f.l_de, 7.5);  // rounded to 0.1 mi
    // x = 3.2 mi: improvements 12.6 % and 0.4 %; PF 55.0, V 781, S 51.3.
    EXPECT_NEAR(f.determine_adjustment_to_follower_density(2), 0.55 * (1.0 - 0.126) * 781.0 / (51.3 * 1.004), 1e-12);
    EXPECT_EQ(f.determine_adjustment_to_follower_density(3), 0.0);  // x = 13.2 reaches l_de
}

TEST(TwoLaneAdjustment, FacilityFollowerDensityWeighsAdjustedSegments) {
    TwoLaneHighways f = passing_lane_facility();
    const double fd = f.determine_facility_follower_density();
    EXPECT_NEAR(fd, (9.6 * 1.0 + 4.0 * 1.2 + 7.289102847868 * 2.0 + 9.28 * 10.0) / 14.2, 1e-9);
    EXPECT_EQ(f.l_de, 7.5);
    EXPECT_EQ(f.determine_facility_los(fd, 55.0), LevelOfService::D);
}

TEST(TwoLaneAdjustment, NoPassingLaneOrNoLengthGivesPlainMeans) {
    TwoLaneHighways f = passing_lane_facility();
    f.segments[1].passing_type = PASSING_ZONE;
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(f.determine_adjustment_to_follower_density(i), 0.0);
    EXPECT_NEAR(f.determine_facility_follower_density(), (9.6 + 7.9 * 1.2 + 8.4 * 2.0 + 9.28 * 10.0) / 14.2, 1e-12);
    EXPECT_EQ(TwoLaneHighways{}.determine_facility_follower_density(), 0.0);
    EXPECT_EQ(facility_of({segment(PASSING_ZONE, 0.0)}).determine_facility_follower_density(), 0.0);
    // A segment without length weighs nothing, even with a follower density that is not a number.
    TwoLaneHighways g = facility_of({segment(PASSING_ZONE, 0.0), segment(PASSING_ZONE, 1.0)});
    g.segments[0].fd = kNaN;
    g.segments[1].fd = 3.0;
    EXPECT_EQ(g.determine_facility_follower_density(), 3.0);
}

// Two passing zones, the passing lane in the middle, then the two passing zones downstream of it.
TwoLaneHighways five_segment_facility() {
    TwoLaneHighways f = passing_lane_facility();
    f.segments.insert(f.segments.begin(), f.segments[0]);
    return f;
}

TEST(TwoLaneAdjustment, UpstreamOfEveryPassingLaneIsNeverAdjusted) {
    TwoLaneHighways f = five_segment_facility();
    const double first = f.determine_facility_follower_density();
    EXPECT_EQ(f.determine_facility_follower_density(), first);  // the l_de of the first call changes nothing
    EXPECT_NEAR(first, (9.6 * 2.0 + 4.0 * 1.2 + 7.289102847868 * 2.0 + 9.28 * 10.0) / 15.2, 1e-9);
    EXPECT_EQ(f.l_de, 7.5);
    EXPECT_EQ(f.determine_adjustment_to_follower_density(1), 0.0);
    f.l_de = 100.0;  // whatever l_de holds
    EXPECT_EQ(f.determine_adjustment_to_follower_density(1), 0.0);
}

// A passing lane further downstream changes nothing for the segments before it: each segment is
// adjusted from the nearest passing lane at or before it.
TEST(TwoLaneAdjustment, SecondPassingLaneLeavesTheSegmentsBeforeItAlone) {
    TwoLaneHighways one = passing_lane_facility();
    TwoLaneHighways two = passing_lane_facility();
    two.segments[3].passing_type = PASSING_LANE;
    two.segments[3].fd_mid = 3.0;
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(two.determine_adjustment_to_follower_density(i), one.determine_adjustment_to_follower_density(i));
    }
    EXPECT_NEAR(two.determine_facility_follower_density(),
                (9.6 * 1.0 + 4.0 * 1.2 + 7.289102847868 * 2.0 + 3.0 * 10.0) / 14.2, 1e-9);
}

// The only passing lane is the first segment: there is no upstream percent followers, which
// counts as 0 (a = 0), and its own demand is the demand entering it. It sets its effective length
// from those inputs, so the segments after it are adjusted whatever ran before.
TEST(TwoLaneAdjustment, PassingLaneFirstHasNoUpstreamFollowers) {
    TwoLaneHighways f = passing_lane_facility();
    f.segments.erase(f.segments.begin());
    f.l_de = 0.5;  // replaced by the lane's own effective length
    EXPECT_EQ(f.determine_segment_los(1, 55.0, 1700), LevelOfService::C);  // adjusted 7.57, not its own 8.4
    EXPECT_EQ(f.determine_adjustment_to_follower_density(0), 0.0);
    // k_PF = 27 + 3.5 ln 1.2 - 0.01 x 820; L_de = exp((32 - k_PF - 27) / -8.75) = 5.21, to 0.1 mi.
    EXPECT_EQ(f.l_de, 5.2);
    // x = 3.2 mi, a = 0: improvements r1(27 - 8.75 ln 3.2 + 3.5 ln 1.2 - 7.8125) and
    // r1(3 - 2.56 + 0.9 - 3.90625).
    const double d_pf = 9.6;
    const double d_s = 0.0;
    EXPECT_NEAR(f.determine_adjustment_to_follower_density(1),
                0.55 * (1.0 - d_pf / 100.0) * 781.0 / (51.3 * (1.0 + d_s / 100.0)), 1e-12);

    // A second passing lane downstream stores another l_de; the facility value and the grades of
    // the segments after the first lane do not depend on which lane stored it last.
    TwoLaneHighways g = f;
    g.segments.push_back(f.segments[0]);
    g.segments.push_back(f.segments[1]);
    const LevelOfService before = g.determine_segment_los(1, 55.0, 1700);
    const double first = g.determine_facility_follower_density();
    EXPECT_EQ(g.determine_facility_follower_density(), first);
    EXPECT_EQ(g.determine_segment_los(1, 55.0, 1700), before);
}

// ---- level of service ----

using LosCase = std::tuple<double, double, LevelOfService>;  // FD, speed limit, LOS
class FollowerDensityLos : public ::testing::TestWithParam<LosCase> {};

TEST_P(FollowerDensityLos, ThresholdsBySpeedLimit) {
    const auto [fd, s_pl, expected] = GetParam();
    EXPECT_EQ(follower_density_los(fd, s_pl), expected);
}

INSTANTIATE_TEST_SUITE_P(
    TwoLane, FollowerDensityLos,
    ::testing::Values(LosCase{2.0, 55.0, LevelOfService::A}, LosCase{2.01, 55.0, LevelOfService::B},
                      LosCase{4.0, 50.0, LevelOfService::B}, LosCase{8.0, 50.0, LevelOfService::C},
                      LosCase{12.0, 50.0, LevelOfService::D}, LosCase{12.01, 50.0, LevelOfService::E},
                      LosCase{2.5, 45.0, LevelOfService::A}, LosCase{5.0, 45.0, LevelOfService::B},
                      LosCase{10.0, 45.0, LevelOfService::C}, LosCase{15.0, 45.0, LevelOfService::D},
                      LosCase{15.01, 49.9, LevelOfService::E}, LosCase{2.4, kNaN, LevelOfService::A},
                      LosCase{kNaN, 55.0, LevelOfService::F}, LosCase{kInf, 55.0, LevelOfService::E}));

TEST(TwoLaneSegmentLos, PassingLaneGradedByMidpointDensityAndDemandOverCapacityIsF) {
    Segment lane = segment(PASSING_LANE, 1.0);
    lane.fd = 20.0;
    lane.fd_mid = 1.0;
    lane.flow_rate = 1800.0;
    TwoLaneHighways f = facility_of({lane});
    EXPECT_EQ(f.determine_segment_los(0, 55.0, 1800), LevelOfService::A);
    EXPECT_EQ(f.determine_segment_los(0, 55.0, 1700), LevelOfService::F);
    f.segments[0].passing_type = PASSING_ZONE;
    EXPECT_EQ(f.determine_segment_los(0, 55.0, 1800), LevelOfService::E);
}

// ---- segment index ----

TEST(TwoLaneFacility, SegmentIndexOutOfRangeChangesNothing) {
    TwoLaneHighways f = passing_lane_facility();
    f.l_de = 1.0;
    const std::string message = "segment index 4 is out of range for a facility with 4 segments";
    EXPECT_EQ(error_of([&] { return f.determine_vertical_alignment(4); }), message);
    EXPECT_EQ(error_of([&] { return f.determine_adjustment_to_follower_density(4); }), message);
    EXPECT_EQ(error_of([&] { return f.determine_segment_los(7, 55.0, 1700); }),
              "segment index 7 is out of range for a facility with 4 segments");
    EXPECT_EQ(f.l_de, 1.0);
    EXPECT_DOUBLE_EQ(f.total_length(), 14.2);
}

}  // namespace
