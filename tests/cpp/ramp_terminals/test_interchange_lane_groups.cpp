// Interchange lane groups: O-D paths by form, lane-group demand, common green time, lane
// utilisation and saturation flow.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "interchanges.hpp"

using namespace hcm::ramp_terminals::ramp_terminals;
using hcm::ramp_terminals::exhibits::DdiLaneConfiguration;
using hcm::ramp_terminals::exhibits::OdMovement;
using namespace ramp_fixtures;

namespace {

// An interchange of `form` with one single-lane lane group for each of the 20 movements O-D paths
// pass, so that every path leg finds its own lane group.
Interchange every_path_movement(InterchangeForm form) {
    Interchange ix = diamond();
    ix.form = form;
    ix.lane_groups.clear();
    for (const char* name : {"EbExtLeft", "EbExtThrough", "EbExtRight", "EbIntLeft", "EbIntThrough", "EbIntRight",
                             "WbExtLeft", "WbExtThrough", "WbExtRight", "WbIntLeft", "WbIntThrough", "WbIntRight",
                             "NbRampLeft", "NbRampRight", "NbRampThrough", "NbRampTwoLeft", "NbRampTwoRight",
                             "SbRampLeft", "SbRampRight", "SbRampTwoRight"})
        ix.lane_groups.push_back(group(name, 1, 0, 40));
    return ix;
}

std::vector<std::string> leg_names(const OdPath& path) {
    std::vector<std::string> out;
    for (const OdLeg& leg : path) out.push_back(leg.lane_group.name());
    return out;
}

struct PathCase {
    InterchangeForm form;
    OdMovement od;
    std::vector<std::string> legs;
};

class OdPaths : public ::testing::TestWithParam<PathCase> {};

TEST_P(OdPaths, FollowTheFormsTable) {
    const PathCase& c = GetParam();
    EXPECT_EQ(leg_names(od_legs(every_path_movement(c.form), c.od)), c.legs);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, OdPaths,
    ::testing::Values(PathCase{InterchangeForm::Diamond, OdMovement::A, {"WbIntThrough", "NbRampLeft"}},
                      PathCase{InterchangeForm::Ddi, OdMovement::N, {"EbIntLeft", "SbRampLeft"}},
                      PathCase{InterchangeForm::ParcloA2Q, OdMovement::F, {"EbExtLeft"}},
                      PathCase{InterchangeForm::ParcloA4Q, OdMovement::H, {"WbExtThrough", "WbIntRight"}},
                      PathCase{InterchangeForm::ParcloAB2Q, OdMovement::C, {"NbRampLeft"}},
                      PathCase{InterchangeForm::ParcloAB4Q, OdMovement::M, {"WbIntLeft", "NbRampTwoLeft"}},
                      PathCase{InterchangeForm::ParcloB2Q, OdMovement::B, {"SbRampLeft"}},
                      PathCase{InterchangeForm::ParcloB4Q, OdMovement::A, {"WbIntThrough", "SbRampTwoRight"}},
                      PathCase{InterchangeForm::Spui, OdMovement::E, {"EbExtLeft"}},
                      PathCase{InterchangeForm::Spui, OdMovement::M, {}},
                      PathCase{InterchangeForm::Diamond, OdMovement::L, {}}));

TEST(OdPathCarriers, SharedLaneGroupsCarryTheTurnsTheyShare) {
    Interchange ix = diamond();
    // No EbIntThrough: O-D I and D reach the shared through-right group, keeping their own turn.
    input(ix, "EbIntThrough").movement = movement("EbIntThroughRight");
    EXPECT_EQ(od_legs(ix, OdMovement::I)[1], (OdLeg{movement("EbIntThroughRight"), MovementTurn::Through}));
    // No external right-turn group: F is dropped, unless the approach's right turn is shared.
    input(ix, "EbExtRight").movement = movement("NbRampThrough");
    EXPECT_TRUE(od_legs(ix, OdMovement::F).empty());
    ix.eb_external_right_shared = true;
    EXPECT_EQ(leg_names(od_legs(ix, OdMovement::F)), std::vector<std::string>{"EbExtThrough"});
    EXPECT_EQ(od_legs(ix, OdMovement::F)[0].turn, MovementTurn::Right);

    // The shared right turn loads the through group and counts in its right-turn share: with a
    // 20 ft radius, f_R = 1 / (1 + P_R (1/X - 1)), X = 1 - P_R + P_R / (5.61 / 20 + 1).
    Interchange with_radius = ix;
    input(with_radius, "EbExtThrough").turn_radius_ft = 20.0;
    analyze(ix);
    analyze(with_radius);
    EXPECT_DOUBLE_EQ(result(ix, "EbExtThrough").flow_rate, 150.0 + 500.0 + 100.0);  // E + I + F
    const double p_r = 100.0 / 750.0;
    const double x = 1.0 - p_r + p_r / (5.61 / 20.0 + 1.0);
    EXPECT_NEAR(*result(with_radius, "EbExtThrough").sat_flow / *result(ix, "EbExtThrough").sat_flow,
                1.0 / (1.0 + p_r * (1.0 / x - 1.0)), 1e-12);
}

TEST(LaneGroupDemand, SumsTheOdMovementsPassingEachGroupOnce) {
    Interchange ix = diamond();
    EXPECT_DOUBLE_EQ(lane_group_demand(ix, movement("EbIntThrough"), ix.od), 200.0 + 500.0);  // D + I
    EXPECT_DOUBLE_EQ(lane_group_demand(ix, movement("NbRampLeft"), ix.od), 100.0 + 30.0);     // A + M
    EXPECT_DOUBLE_EQ(lane_group_demand(ix, movement("NbRampThrough"), ix.od), 0.0);  // no such group
    OdDemands only_l{};  // L passes no lane group whatever its demand
    only_l.l = 900.0;
    for (const LaneGroupInput& g : ix.lane_groups) EXPECT_EQ(lane_group_demand(ix, g.movement, only_l), 0.0);

    // An override sets the flow but not the turn shares: P_L stays 1 (E and N turn left at
    // EbIntLeft), so f_L = 1 / (5.61 / 30 + 1) either way; only the traffic pressure differs.
    input(ix, "EbIntLeft").turn_radius_ft = 30.0;
    Interchange overridden = ix;
    input(overridden, "EbIntLeft").demand_override_veh_h = 400.0;
    analyze(ix);
    analyze(overridden);
    EXPECT_DOUBLE_EQ(result(overridden, "EbIntLeft").flow_rate, 400.0);
    for (const Interchange* i : {&ix, &overridden}) {
        const LaneGroupResult& r = result(*i, "EbIntLeft");
        EXPECT_NEAR(*r.sat_flow / *r.traffic_pressure, 1800.0 / (5.61 / 30.0 + 1.0), 1e-9);
    }
}

struct GreenCase {
    const char* name;
    std::vector<GreenInterval> a, b;
    double cycle, expected;
};

class CommonGreen : public ::testing::TestWithParam<GreenCase> {};

TEST_P(CommonGreen, IsTheLongestOverlapOfOnePair) {
    const GreenCase& c = GetParam();
    EXPECT_DOUBLE_EQ(common_green_time(c.a, c.b, c.cycle), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommonGreen,
    ::testing::Values(GreenCase{"Plain", {{10, 30}}, {{20, 40}}, 100, 20},
                      GreenCase{"WrapsPastTheEndOfTheCycle", {{80, 30}}, {{0, 15}}, 90, 15},
                      GreenCase{"WrapBothPieces", {{80, 30}}, {{85, 20}}, 90, 5 + 15},
                      GreenCase{"LargestPairNotTheSum", {{0, 10}, {50, 30}}, {{0, 100}}, 100, 30},
                      GreenCase{"NegativeBeginShiftsIntoTheCycle", {{-10, 20}}, {{0, 5}}, 100, 5},
                      GreenCase{"LongerThanTheCycle", {{0, 250}}, {{0, 100}}, 100, 100},
                      GreenCase{"ZeroCycle", {{0, 10}}, {{0, 10}}, 0, 0},
                      GreenCase{"NoIntervals", {}, {{0, 10}}, 100, 0},
                      GreenCase{"ZeroDuration", {{0, 0}}, {{0, 10}}, 100, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Lane utilisation ----

double lane_utilization_of(Interchange ix, const char* name) {
    analyze(ix);
    return *result(ix, name).lane_utilization;
}

TEST(LaneUtilization, ExternalThroughModelFixedFactorsAndOverrides) {
    Interchange ix = diamond();
    ix.od = {};
    ix.od.e = 400.0;
    ix.od.i = 400.0;
    ix.distance_between_intersections_ft = 1000.0;  // counts as 800 ft
    const double s1 = 0.5 + 0.187 * 0.5 - 0.181 * 800.0 * 400.0 / 1e6;  // about 0.536
    EXPECT_NEAR(lane_utilization_of(ix, "EbExtThrough"), 1.0 / (2.0 * s1), 1e-12);
    EXPECT_DOUBLE_EQ(lane_utilization_of(ix, "WbExtThrough"), 1.0);  // no flow: shares of 1/N
    ix.form = InterchangeForm::Spui;
    input(ix, "EbExtThrough").lanes = 3;
    EXPECT_DOUBLE_EQ(lane_utilization_of(ix, "EbExtThrough"), 0.908);
    input(ix, "EbIntLeft").lanes = 2;
    input(ix, "SbRampRight").lanes = 2;
    EXPECT_DOUBLE_EQ(lane_utilization_of(ix, "EbIntLeft"), 0.971);
    EXPECT_DOUBLE_EQ(lane_utilization_of(ix, "SbRampRight"), 0.885);
    EXPECT_DOUBLE_EQ(lane_utilization_of(ix, "EbIntThrough"), 0.952);
    EXPECT_DOUBLE_EQ(lane_utilization_of(ix, "NbRampLeft"), 1.0);  // one lane
    input(ix, "NbRampLeft").lane_utilization_override = 0.8;
    EXPECT_DOUBLE_EQ(lane_utilization_of(ix, "NbRampLeft"), 0.8);
}

struct DdiCase {
    DdiLaneConfiguration config;
    std::uint32_t lanes;
    double e, i;
    double expected;
};

class DdiLaneUtilization : public ::testing::TestWithParam<DdiCase> {};

TEST_P(DdiLaneUtilization, FromTheTrafficPressureRatio) {
    const DdiCase& c = GetParam();
    Interchange ix = diamond();
    ix.form = InterchangeForm::Ddi;
    ix.ddi_eb_lane_config = c.config;
    ix.od.e = c.e;
    ix.od.i = c.i;
    input(ix, "EbExtThrough").lanes = c.lanes;
    EXPECT_NEAR(lane_utilization_of(ix, "EbExtThrough"), c.expected, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(
    Configurations, DdiLaneUtilization,
    ::testing::Values(
        // p = 0.35 still in the first band.
        DdiCase{DdiLaneConfiguration::TwoLaneShared, 2, 350, 650, 1.0 / (2 * (0.525 + 0.2129 * 0.35))},
        DdiCase{DdiLaneConfiguration::ThreeLaneExclusive, 3, 500, 500, 1.0 / (3 * (0.0096 + 0.9695 * 0.5))},
        // A share below 1/N_c is raised to it: 0.5237 - 0.5983 * 0.33 < 1/3.
        DdiCase{DdiLaneConfiguration::ThreeLaneExclusive, 3, 330, 670, 1.0},
        // The group's own lane count divides, not N_c: 2 lanes of a four-lane configuration.
        DdiCase{DdiLaneConfiguration::FourLaneExclusive, 2, 600, 400, 1.0 / (2 * (-0.0071 + 0.9286 * 0.6))},
        DdiCase{DdiLaneConfiguration::TwoLaneShared, 2, 0, 0, 1.0}));  // no flow: 1

// ---- Saturation flow ----

TEST(SaturationFlow, AdjustmentFactors) {
    Interchange ix = diamond();
    Interchange base = ix;
    LaneGroupInput& g = input(ix, "NbRampRight");  // one lane, B = 150 veh/h, all right turns
    g.lane_width_ft = 9.5;                          // f_w 0.96
    g.pct_heavy_vehicles = 10.0;                    // f_HVg (100 - 7.8 - 0.31 * 4) / 100
    g.grade_pct = 2.0;
    g.parking_maneuvers_h = 200.0;  // counts as 180: (1 - 0.1 - 0.9) / 1 -> at least 0.05
    g.bus_stops_h = 100.0;          // (1 - 0.4) / 1
    ix.area_type_cbd = true;        // 0.9
    analyze(ix);
    analyze(base);
    const double factors = 0.96 * (100.0 - 7.8 - 1.24) / 100.0 * 0.05 * 0.6 * 0.9;
    EXPECT_NEAR(*result(ix, "NbRampRight").sat_flow / *result(base, "NbRampRight").sat_flow, factors, 1e-12);
    // Downhill: (100 - 0.79 P_HV - 2.07 P_g) / 100.
    Interchange downhill = base;
    input(downhill, "NbRampRight").grade_pct = -4.0;
    analyze(downhill);
    EXPECT_NEAR(*result(downhill, "NbRampRight").sat_flow / *result(base, "NbRampRight").sat_flow, 1.0828, 1e-12);
}

TEST(SaturationFlow, DdiCrossoverOnArterialThroughGroupsOnly) {
    Interchange diamond_ix = diamond();
    Interchange ddi = diamond_ix;
    ddi.form = InterchangeForm::Ddi;
    input(ddi, "EbExtThrough").lane_utilization_override = 1.0;
    input(diamond_ix, "EbExtThrough").lane_utilization_override = 1.0;
    analyze(ddi);
    analyze(diamond_ix);
    EXPECT_NEAR(*result(ddi, "EbIntThrough").sat_flow / *result(diamond_ix, "EbIntThrough").sat_flow, 0.913, 1e-12);
    EXPECT_NEAR(*result(ddi, "EbExtThrough").sat_flow / *result(diamond_ix, "EbExtThrough").sat_flow, 0.913, 1e-12);
    EXPECT_DOUBLE_EQ(*result(ddi, "NbRampLeft").sat_flow, *result(diamond_ix, "NbRampLeft").sat_flow);
    EXPECT_DOUBLE_EQ(*result(ddi, "WbExtThrough").lane_utilization, 1.0);  // no DDI configuration given
}

}  // namespace
