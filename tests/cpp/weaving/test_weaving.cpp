#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "../support/checks.hpp"
#include "hcm/common/error.hpp"
#include "hcm/weaving/weaving.hpp"

using namespace hcm::weaving::weaving;
using namespace testing_support;
using hcm::common::LevelOfService;
using hcm::common::version::HcmVersion;

namespace {

// The default segment: one-sided, L_S 1500 ft, N 4, N_WL 2, FFS 70, 3000/500/500/100 veh/h,
// PHF 0.94, 5 % heavy vehicles on level terrain, ID 0.8, c_IFL 2400.
TEST(WeavingEdition7, DefaultOneSidedWeaveStepByStep) {
    WeavingSegment w;
    const double to_pc = 1.05 / 0.94;  // 1 / (PHF f_HV), f_HV = 1 / 1.05
    EXPECT_EQ(w.run_analysis(), LevelOfService::C);

    EXPECT_DOUBLE_EQ(*w.f_hv, 1.0 / 1.05);
    EXPECT_NEAR(*w.flow_weaving, 1000.0 * to_pc, 1e-9);
    EXPECT_NEAR(*w.flow_nonweaving, 3100.0 * to_pc, 1e-9);
    EXPECT_NEAR(*w.flow_total, 4100.0 * to_pc, 1e-9);
    EXPECT_NEAR(*w.volume_ratio, 1000.0 / 4100.0, 1e-12);
    EXPECT_NEAR(*w.lc_min, 1000.0 * to_pc, 1e-9);  // LC_RF = LC_FR = 1
    EXPECT_NEAR(*w.l_max, 4989.96512442, 1e-6);    // 5728 (1 + VR)^1.6 - 1566 x 2
    EXPECT_TRUE(*w.is_weaving);
    EXPECT_NEAR(*w.c_iwl, 2133.00832446, 1e-6);
    EXPECT_NEAR(*w.c_w1, 8125.74599792, 1e-6);
    EXPECT_NEAR(*w.c_w2, 2400.0 / (1000.0 / 4100.0) / 1.05, 1e-9);
    EXPECT_DOUBLE_EQ(*w.capacity, *w.c_w1);  // density-based limit governs
    EXPECT_NEAR(*w.vc_ratio, 0.53677559313, 1e-9);
    EXPECT_FALSE(*w.demand_exceeds_capacity);
    EXPECT_NEAR(*w.lc_w, 1462.95525126, 1e-6);
    EXPECT_NEAR(*w.lc_nw, 755.929787234, 1e-6);  // I_NW 415.5 <= 1300: LC_NW1
    EXPECT_NEAR(*w.lc_all, 2218.8850385, 1e-6);
    EXPECT_NEAR(*w.weaving_intensity, 0.307802961739, 1e-9);
    EXPECT_NEAR(*w.speed_weaving, 57.0552649054, 1e-9);
    EXPECT_NEAR(*w.speed_nonweaving, 56.4617021277, 1e-9);
    EXPECT_NEAR(*w.speed_avg, 56.6053318817, 1e-9);
    EXPECT_NEAR(*w.density, 20.226836774, 1e-8);
    EXPECT_FALSE(w.v7_1.has_value());
}

TEST(WeavingEdition7, TwoSidedWeaveHasNoWeavingLaneTermsAndNoDemandLimit) {
    WeavingSegment w;
    w.weaving_type = WeavingType::TwoSided;
    w.v_rr = 600.0;
    w.v_rf = 200.0;
    w.v_fr = 200.0;
    w.lc_rr = 2;
    w.run_analysis();
    const double to_pc = 1.05 / 0.94;
    EXPECT_NEAR(*w.flow_weaving, 600.0 * to_pc, 1e-9);
    EXPECT_NEAR(*w.flow_nonweaving, 3400.0 * to_pc, 1e-9);
    EXPECT_NEAR(*w.lc_min, 2.0 * 600.0 * to_pc, 1e-9);
    EXPECT_NEAR(*w.l_max, 5728.0 * std::pow(1.15, 1.6), 1e-9);  // VR = 0.15, no 1566 N_WL term
    EXPECT_NEAR(*w.c_iwl, 2400.0 - 438.2 * std::pow(1.15, 1.6) + 0.0765 * 1500.0, 1e-9);
    EXPECT_FALSE(w.c_w2.has_value());
    EXPECT_DOUBLE_EQ(*w.capacity, *w.c_w1);
}

// c_W2 exists only for one-sided weaves with two or three weaving lanes.
class WeavingLanes : public ::testing::TestWithParam<std::pair<std::uint32_t, double>> {};

TEST_P(WeavingLanes, DemandLimitedCapacity) {
    WeavingSegment w;
    w.num_weaving_lanes = GetParam().first;
    w.v_ff = 1000.0;
    w.v_rf = 1500.0;
    w.v_fr = 1500.0;  // VR high enough for c_W2 to govern when it exists
    w.run_analysis();
    const double vr = *w.volume_ratio;
    if (GetParam().second > 0.0) {
        EXPECT_NEAR(*w.c_w2, (1.0 / 1.05) * GetParam().second / vr, 1e-9);
        EXPECT_DOUBLE_EQ(*w.capacity, *w.c_w2);
        EXPECT_LT(*w.c_w2, *w.c_w1);
    } else {
        EXPECT_FALSE(w.c_w2.has_value());
        EXPECT_DOUBLE_EQ(*w.capacity, *w.c_w1);
    }
}

INSTANTIATE_TEST_SUITE_P(Weaving, WeavingLanes,
                         ::testing::Values(std::pair{2u, 2400.0}, std::pair{3u, 3500.0}, std::pair{4u, 0.0},
                                           std::pair{1u, 0.0}));

TEST(WeavingEdition7, CapacityAdjustmentAndDemandOverCapacityGiveF) {
    WeavingSegment w;
    w.determine_demand_flow();
    const double full = w.determine_capacity();
    w.caf = 0.5;
    EXPECT_DOUBLE_EQ(w.determine_capacity(), 0.5 * full);
    EXPECT_DOUBLE_EQ(*w.vc_ratio, (1.0 / 1.05) * *w.flow_total / (0.5 * full));

    w.v_ff = 12000.0;
    EXPECT_EQ(w.run_analysis(), LevelOfService::F);
    EXPECT_TRUE(*w.demand_exceeds_capacity);
    EXPECT_GT(*w.vc_ratio, 1.0);
}

TEST(WeavingEdition7, MaximumWeavingLengthIsAStrictBound) {
    WeavingSegment w;
    w.determine_demand_flow();
    const double l_max = w.determine_max_weaving_length();
    w.length_short = l_max;
    w.determine_max_weaving_length();
    EXPECT_FALSE(*w.is_weaving);
    w.length_short = std::nextafter(l_max, 0.0);
    w.determine_max_weaving_length();
    EXPECT_TRUE(*w.is_weaving);

    WeavingSegment fresh;  // VR not yet computed counts 0
    EXPECT_DOUBLE_EQ(fresh.determine_max_weaving_length(), 5728.0 - 2.0 * 1566.0);
}

// Non-weaving lane changes: LC_NW2 when LC_NW1 >= LC_NW2; otherwise chosen by I_NW.
struct NonWeavingCase {
    double flow_nonweaving;
    double interchange_density;
    double length;
    const char* expect;  // "nw1", "nw2" or "mix"
};

class WeavingNonWeavingLaneChanges : public ::testing::TestWithParam<NonWeavingCase> {};

TEST_P(WeavingNonWeavingLaneChanges, SelectsByIndex) {
    const NonWeavingCase c = GetParam();
    WeavingSegment w;
    w.flow_nonweaving = c.flow_nonweaving;
    w.interchange_density = c.interchange_density;
    w.length_short = c.length;
    w.determine_lane_changing_rates();
    const double nw1 = std::max(0.206 * c.flow_nonweaving + 0.542 * c.length - 192.6 * 4, 0.0);
    const double nw2 = 2135.0 + 0.223 * (c.flow_nonweaving - 2000.0);
    const double index = c.length * c.interchange_density * c.flow_nonweaving / 10000.0;
    const std::string expect = c.expect;
    const double expected = expect == "nw1"   ? nw1
                            : expect == "nw2" ? nw2
                                              : nw1 + (nw2 - nw1) * (index - 1300.0) / 650.0;
    EXPECT_NEAR(*w.lc_nw, expected, 1e-9);
    EXPECT_NEAR(*w.lc_all, *w.lc_w + *w.lc_nw, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    Weaving, WeavingNonWeavingLaneChanges,
    ::testing::Values(NonWeavingCase{4000.0, 2.0, 1625.0, "nw1"},     // I_NW exactly 1300
                      NonWeavingCase{4000.0, 3.0, 1625.0, "nw2"},     // I_NW exactly 1950
                      NonWeavingCase{4000.0, 2.5, 1625.0, "mix"},     // I_NW 1625
                      NonWeavingCase{1000.0, 0.0, 6000.0, "nw2"}));  // LC_NW1 >= LC_NW2, I_NW 0

// Exhibit 13-6 bounds are inclusive; the multilane / C-D table is separate.
struct LosCase {
    FacilityType facility;
    double density;
    LevelOfService expect;
};

class WeavingLos : public ::testing::TestWithParam<LosCase> {};

TEST_P(WeavingLos, ByDensity) {
    WeavingSegment w;
    w.facility_type = GetParam().facility;
    w.density = GetParam().density;
    EXPECT_EQ(w.determine_los(), GetParam().expect);
    EXPECT_EQ(*w.los, GetParam().expect);
}

INSTANTIATE_TEST_SUITE_P(
    Weaving, WeavingLos,
    ::testing::Values(LosCase{FacilityType::Freeway, 10.0, LevelOfService::A},
                      LosCase{FacilityType::Freeway, 10.01, LevelOfService::B},
                      LosCase{FacilityType::Freeway, 28.0, LevelOfService::C},
                      LosCase{FacilityType::Freeway, 43.0, LevelOfService::E},
                      LosCase{FacilityType::Freeway, 43.0001, LevelOfService::F},
                      LosCase{FacilityType::MultilaneOrCd, 12.0, LevelOfService::A},
                      LosCase{FacilityType::MultilaneOrCd, 24.0, LevelOfService::B},
                      LosCase{FacilityType::MultilaneOrCd, 36.0, LevelOfService::D},
                      LosCase{FacilityType::MultilaneOrCd, 40.0, LevelOfService::E},
                      LosCase{FacilityType::MultilaneOrCd, 40.5, LevelOfService::F},
                      LosCase{FacilityType::Freeway, kInf, LevelOfService::F}));

TEST(WeavingEdition7, DemandFlagForcesFButRatioOfExactlyOneDoesNot) {
    WeavingSegment w;
    w.density = 5.0;
    w.demand_exceeds_capacity = true;
    EXPECT_EQ(w.determine_los(), LevelOfService::F);

    WeavingSegment at_capacity;  // f_HV 1 and VR 0: c_W = c_IWL N, and v is set to exactly that
    at_capacity.f_hv = 1.0;
    at_capacity.volume_ratio = 0.0;
    at_capacity.flow_total = at_capacity.determine_capacity();
    at_capacity.determine_capacity();
    EXPECT_EQ(*at_capacity.vc_ratio, 1.0);
    EXPECT_FALSE(*at_capacity.demand_exceeds_capacity);
    at_capacity.density = 15.0;
    EXPECT_EQ(at_capacity.determine_los(), LevelOfService::B);
}

TEST(WeavingEdition7, NoLanesGivesInfiniteDensityAndF) {
    WeavingSegment w;
    w.num_lanes = 0;
    EXPECT_EQ(w.run_analysis(), LevelOfService::F);
    EXPECT_EQ(*w.speed_nonweaving, -kInf);
    EXPECT_DOUBLE_EQ(*w.speed_avg, *w.speed_weaving);
    EXPECT_EQ(*w.density, kInf);
}

TEST(WeavingEdition7_1, DefaultSimpleWeave) {
    WeavingSegment w;
    w.version = HcmVersion::Hcm7_1;
    EXPECT_EQ(w.run_analysis(), LevelOfService::B);
    const WeavingV71Result& r = *w.v7_1;
    EXPECT_NEAR(r.flow_per_lane, 4100.0 * 1.05 / 0.94 / 4.0, 1e-9);
    EXPECT_DOUBLE_EQ(r.capacity_basic_adj, 2400.0);
    EXPECT_DOUBLE_EQ(r.breakpoint_adj, 1200.0);
    EXPECT_DOUBLE_EQ(r.speed_basic, 70.0);  // v/N 1144.9 below the breakpoint
    EXPECT_NEAR(r.speed_impedance, 2.8980594238, 1e-9);
    EXPECT_NEAR(*r.speed_avg, 67.1019405762, 1e-9);
    EXPECT_NEAR(*r.capacity_per_lane, 1974.84037278, 1e-7);
    EXPECT_NEAR(*r.capacity_total, 4.0 * *r.capacity_per_lane, 1e-9);
    EXPECT_NEAR(*r.dc_ratio, 0.57976676206, 1e-9);
    EXPECT_NEAR(r.density, 17.0627972705, 1e-9);
    EXPECT_FALSE(r.demand_exceeds_capacity);

    // The segment's own results mirror the record; the 7th Edition-only results stay empty.
    EXPECT_EQ(*w.los, LevelOfService::B);
    EXPECT_DOUBLE_EQ(*w.speed_avg, *r.speed_avg);
    EXPECT_DOUBLE_EQ(*w.weaving_intensity, r.weaving_intensity);
    EXPECT_NEAR(*w.volume_ratio, 1000.0 / 4100.0, 1e-12);
    EXPECT_FALSE(w.lc_min || w.l_max || w.capacity || w.vc_ratio || w.lc_all || w.speed_weaving ||
                 w.speed_nonweaving || w.is_weaving);
}

// At the 7.1 capacity the density on the impeded basic curve is 35 pc/mi/ln.
class WeavingCapacityRoot : public ::testing::TestWithParam<std::pair<WeavingType, std::uint32_t>> {};

TEST_P(WeavingCapacityRoot, DensityIs35AtCapacity) {
    WeavingSegment w;
    w.version = HcmVersion::Hcm7_1;
    w.weaving_type = GetParam().first;
    w.lc_rf = GetParam().second;
    w.v_rr = 600.0;
    w.ffs = 65.0;
    w.caf = 0.95;
    w.run_analysis();
    const WeavingV71Result& r = *w.v7_1;
    const double x = *r.capacity_per_lane;
    const double t = (x - r.breakpoint_adj) / (r.capacity_basic_adj - r.breakpoint_adj);
    const double speed = r.ffs_adj - (r.ffs_adj - r.capacity_basic_adj / 45.0) * t * t - (x - 500.0) * r.weaving_intensity;
    EXPECT_GT(x, r.breakpoint_adj);
    EXPECT_NEAR(x / speed, 35.0, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Weaving, WeavingCapacityRoot,
                         ::testing::Values(std::pair{WeavingType::OneSided, 1u}, std::pair{WeavingType::OneSided, 2u},
                                           std::pair{WeavingType::TwoSided, 1u}));

// k_W with the Complex coefficients (LC_RF 2 weights v_RF by 3/2) and the two-sided weighting
// (LC_RR 2: v_RR x 3).
class WeavingClasses : public ::testing::TestWithParam<std::tuple<WeavingType, std::uint32_t, WeavingClass, double>> {};

TEST_P(WeavingClasses, PickTheirCoefficients) {
    const auto [type, lane_changes, cls, k_w] = GetParam();
    WeavingSegment w;
    w.version = HcmVersion::Hcm7_1;
    w.weaving_type = type;
    w.lc_rf = w.lc_rr = lane_changes;
    w.run_analysis();
    EXPECT_EQ(w.v7_1->weaving_class, cls);
    EXPECT_NEAR(w.v7_1->weaving_intensity, k_w, 1e-15);
}

INSTANTIATE_TEST_SUITE_P(Weaving, WeavingClasses,
                         ::testing::Values(std::tuple{WeavingType::OneSided, 1u, WeavingClass::Simple, 0.004493485951949017},
                                           std::tuple{WeavingType::OneSided, 2u, WeavingClass::Complex, 0.006532760199080154},
                                           std::tuple{WeavingType::TwoSided, 2u, WeavingClass::TwoSided, 0.0043812994256635105}));

TEST(WeavingEdition7_1, ZeroFlowsAndZeroLanes) {
    WeavingSegment w;
    w.version = HcmVersion::Hcm7_1;
    w.v_ff = w.v_fr = w.v_rf = w.v_rr = 0.0;
    w.saf = 0.9;
    EXPECT_EQ(w.run_analysis(), LevelOfService::A);
    EXPECT_EQ(w.v7_1->weaving_intensity, 0.0);
    EXPECT_DOUBLE_EQ(*w.speed_avg, 63.0);
    EXPECT_EQ(*w.density, 0.0);

    WeavingSegment no_lanes;
    no_lanes.version = HcmVersion::Hcm7_1;
    no_lanes.num_lanes = 0;
    EXPECT_EQ(no_lanes.run_analysis(), LevelOfService::A);
    EXPECT_EQ(no_lanes.v7_1->flow_per_lane, 0.0);
    EXPECT_EQ(no_lanes.v7_1->weaving_intensity, 0.0);
}

TEST(WeavingEdition7_1, OverCapacityIsFWithoutSpeed) {
    WeavingSegment w;
    w.version = HcmVersion::Hcm7_1;
    w.v_ff = 9000.0;  // v/N above the basic capacity: S_basic 0
    EXPECT_EQ(w.run_analysis(), LevelOfService::F);
    EXPECT_TRUE(w.v7_1->demand_exceeds_capacity);
    EXPECT_FALSE(w.speed_avg.has_value());
    EXPECT_EQ(*w.density, kInf);
}

// The 7th Edition steps refuse a segment of edition 7.1, naming themselves, and change nothing.
TEST(WeavingEdition7_1, RefusesTheSeventhEditionSteps) {
    using Step = void (*)(WeavingSegment&);
    const std::pair<const char*, Step> steps[] = {
        {"determine_demand_flow", [](WeavingSegment& w) { w.determine_demand_flow(); }},
        {"determine_configuration_characteristics", [](WeavingSegment& w) { w.determine_configuration_characteristics(); }},
        {"determine_max_weaving_length", [](WeavingSegment& w) { w.determine_max_weaving_length(); }},
        {"determine_capacity", [](WeavingSegment& w) { w.determine_capacity(); }},
        {"determine_lane_changing_rates", [](WeavingSegment& w) { w.determine_lane_changing_rates(); }},
        {"estimate_speed", [](WeavingSegment& w) { w.estimate_speed(); }},
        {"determine_density", [](WeavingSegment& w) { w.determine_density(); }},
        {"determine_los", [](WeavingSegment& w) { w.determine_los(); }},
    };
    for (const auto& [name, step] : steps) {
        WeavingSegment w;
        w.version = HcmVersion::Hcm7_1;
        EXPECT_EQ(error_of([&w, &step = step] { step(w); }), std::string(name) +
                                                  "() implements the 7th Edition step structure, but this segment is "
                                                  "version \"7.1\". Use run_analysis() or analysis_v7_1() instead.")
            << name << " ran on a 7.1 segment";
        EXPECT_FALSE(w.f_hv || w.lc_min || w.l_max || w.capacity || w.lc_all || w.speed_avg || w.density || w.los);
    }
}

TEST(WeavingEditions, SwitchingEditionKeepsTheOtherEditionsResults) {
    WeavingSegment w;
    w.run_analysis();
    const double lc_all = *w.lc_all;
    w.version = HcmVersion::Hcm7_1;
    w.run_analysis();
    EXPECT_DOUBLE_EQ(*w.lc_all, lc_all);
    ASSERT_TRUE(w.v7_1.has_value());
    w.version = HcmVersion::Hcm7;
    w.run_analysis();
    EXPECT_TRUE(w.v7_1.has_value());
}

// Service flow rate search (Chapter 27, Example Problem 5).
class WeavingServiceFlowRate : public ::testing::TestWithParam<std::pair<HcmVersion, double>> {};

TEST_P(WeavingServiceFlowRate, ReachesTheTargetDensityWithoutTouchingTheSegment) {
    WeavingSegment w;
    w.version = GetParam().first;
    w.phf = 0.9;
    const std::array<double, 4> split = {0.7, 0.12, 0.12, 0.06};
    const double sfi = service_flow_rate_ideal(w, split, GetParam().second);
    EXPECT_FALSE(w.density.has_value());
    EXPECT_DOUBLE_EQ(w.phf, 0.9);

    auto density_at = [&](double flow) {
        WeavingSegment ideal = w;
        ideal.phf = 1.0;
        ideal.heavy_vehicle_pct = 0.0;
        ideal.v_ff = flow * split[0];
        ideal.v_rf = flow * split[1];
        ideal.v_fr = flow * split[2];
        ideal.v_rr = flow * split[3];
        ideal.run_analysis();
        return *ideal.density;
    };
    EXPECT_LT(density_at(sfi * (1 - 1e-6)), GetParam().second);
    EXPECT_GE(density_at(sfi * (1 + 1e-6)), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Weaving, WeavingServiceFlowRate,
                         ::testing::Values(std::pair{HcmVersion::Hcm7, 28.0}, std::pair{HcmVersion::Hcm7, 5.0},
                                           std::pair{HcmVersion::Hcm7_1, 25.0}, std::pair{HcmVersion::Hcm7_1, 35.0}));

TEST(WeavingServiceFlowRateSearch, TargetReachedBelowFirstBracket) {
    WeavingSegment w;
    const double sfi = service_flow_rate_ideal(w, {0.7, 0.12, 0.12, 0.06}, 1.0);
    EXPECT_GT(sfi, 0.0);
    EXPECT_LT(sfi, 1000.0);
    EXPECT_NEAR(service_flow_rate_ideal(w, {0.7, 0.12, 0.12, 0.06}, 0.0), 0.0, 1e-6);
}

TEST(WeavingServiceFlowRateSearch, UnreachableTargetIsAnError) {
    WeavingSegment w;
    for (auto version : {HcmVersion::Hcm7, HcmVersion::Hcm7_1}) {
        w.version = version;
        // No flow in any movement: the density stays 0 however far the bracket is doubled.
        EXPECT_THROW(service_flow_rate_ideal(w, {0.0, 0.0, 0.0, 0.0}, 20.0), hcm::Error);
    }
    EXPECT_EQ(error_of([&] { service_flow_rate_ideal(w, {0.0, 0.0, 0.0, 0.0}, 20.0); }),
              "target density 20 pc/mi/ln cannot be reached: the segment's density stays below it at every "
              "service flow rate searched")
        << "an unreachable target gave a service flow rate";
}

TEST(WeavingServiceFlowRateSearch, TargetMustBeFinite) {
    const WeavingSegment w;
    for (double target : {kNaN, kInf}) {
        EXPECT_PRED2(starts_with, error_of([&] { service_flow_rate_ideal(w, {0.7, 0.12, 0.12, 0.06}, target); }),
                     "target density must be a finite number, got ")
            << "accepted target " << target;
    }
}

TEST(WeavingServiceVolumes, DailyVolumeNeedsPositiveKAndD) {
    const ServiceVolumes sv = service_volumes(6000.0, 0.95, 0.9, 0.09, 0.55);
    EXPECT_DOUBLE_EQ(sv.sf, 5700.0);
    EXPECT_DOUBLE_EQ(sv.sv, 5130.0);
    EXPECT_DOUBLE_EQ(sv.dsv, 5130.0 / (0.09 * 0.55));
    EXPECT_EQ(service_volumes(6000.0, 0.95, 0.9, 0.0, 0.55).dsv, kInf);
    EXPECT_EQ(service_volumes(6000.0, 0.95, 0.9, 0.09, -1.0).dsv, kInf);
}

TEST(WeavingCrossWeave, ReductionAndRefusal) {
    const CrossWeaveCapacity one = cross_weave_gp_capacity(1.0, 1000.0, 3, 2000.0);
    EXPECT_NEAR(one.crf, -0.0897 - 0.01453 + 0.008901, 1e-15);
    EXPECT_DOUBLE_EQ(one.caf, 1.0 - one.crf);
    EXPECT_DOUBLE_EQ(one.c_gpa, one.caf * 2000.0);
    EXPECT_NEAR(cross_weave_gp_capacity(500.0, 2000.0, 4, 1.0).crf, 0.049716, 1e-6);
    for (double cw : {0.0, -5.0, kNaN}) {
        EXPECT_EQ(error_of([&] { cross_weave_gp_capacity(cw, 1000.0, 3, 2000.0); }),
                  "cross-weave demand flow rate (cw) must be > 0")
            << "accepted cw " << cw;
    }
}

}  // namespace
