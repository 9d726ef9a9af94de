#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <tuple>
#include <vector>

#include "hcm/awsc/awsc.hpp"

using namespace hcm::awsc::awsc;

namespace {

// An intersection whose approaches (eb, wb, nb, sb) have the given lanes, each lane carrying
// `through` veh/h of through traffic.
Awsc intersection(std::array<std::size_t, 4> lanes, double through = 0.0) {
    Awsc a;
    for (std::size_t i = 0; i < 4; ++i) {
        AwscLane lane;
        lane.volume_through = through;
        (a.*APPROACHES[i]).lanes.assign(lanes[i], lane);
    }
    return a;
}

// Lanes given directly by their flow rate and headway adjustment, as the iteration reads them.
void set_lanes(AwscApproach& approach, GeometryGroup g, std::vector<std::pair<double, double>> lanes) {
    approach.geometry_group = g;
    approach.lanes.clear();
    for (auto [v, h_adj] : lanes) {
        AwscLane lane;
        lane.flow_rate = v;
        lane.headway_adjustment = h_adj;
        approach.lanes.push_back(lane);
    }
}

// Four one-lane approaches of group G1, 300 veh/h each, no turns or heavy vehicles. Every lane
// sees one opposing and two conflicting lanes with the same x, so the case probabilities are
// S1 = (1-x)^3, S2 = x(1-x)^2, S3 = 2x(1-x)^2, S4 = 3x^2(1-x), S5 = x^3. Cases 1 to 5 have 1, 3,
// 6, 27 and 27 combinations of two lane positions per approach, and each carries its case's
// adjustment, also those that occupy an empty second lane position and cannot occur.
TEST(AwscHeadways, FirstPassOfASingleLaneFourLegIntersectionByHand) {
    Awsc a = intersection({1, 1, 1, 1}, 300.0);
    prepare(a);
    iterate_departure_headways(a, 10.0);  // stops after one pass
    const double x = 300.0 * 3.2 / 3600.0;
    const double s1 = std::pow(1 - x, 3), s2 = x * (1 - x) * (1 - x), s3 = 2 * s2, s4 = 3 * x * x * (1 - x),
                 s5 = x * x * x;
    const double m = 3.0, alpha = 0.01;
    const double adj1 = alpha * (s2 + 2 * s3 + 3 * s4 + 4 * s5), adj2 = alpha * (s3 + 2 * s4 + 3 * s5 - s2) / m,
                 adj3 = alpha * (s4 + 2 * s5 - 3 * s3) / (2 * m), adj4 = alpha * (s5 - 6 * s4) / (3 * m * m),
                 adj5 = -10 * alpha * s5 / (m * m * m);
    const double h = (s1 + adj1) * 3.9 + (s2 + 3 * adj2) * 4.7 + (s3 + 6 * adj3) * 5.8 + (s4 + 27 * adj4) * 7.0 +
                     (s5 + 27 * adj5) * 9.6;
    EXPECT_NEAR(h, 5.104871, 1e-6);
    EXPECT_EQ(*a.iterations, 1u);
    for (auto member : APPROACHES) {
        EXPECT_NEAR(*(a.*member).lanes[0].departure_headway, h, 1e-12);
        EXPECT_NEAR(*(a.*member).lanes[0].degree_of_utilization, 300.0 * h / 3600.0, 1e-12);
    }
}

TEST(AwscHeadways, ConvergedSingleLaneFourLegIntersection) {
    Awsc a = intersection({1, 1, 1, 1}, 300.0);
    prepare(a);
    iterate_departure_headways(a, ANALYSIS_TOLERANCE_S);
    EXPECT_EQ(*a.iterations, 5u);
    EXPECT_NEAR(*a.sb.lanes[0].departure_headway, 6.340985189835, 1e-9);
}

// Every lane at x = 1 (1,200 veh/h from the first pass): only case 5 can occur, S5 = 1, and the
// whole adjustments 0.04, 0.03, 0.02 and 0.01 of cases 1 to 4 move weight from case 5 to them.
TEST(AwscHeadways, SaturatedSingleLaneFourLegIntersection) {
    Awsc a = intersection({1, 1, 1, 1}, 1200.0);
    prepare(a);
    iterate_departure_headways(a, ANALYSIS_TOLERANCE_S);
    EXPECT_EQ(*a.iterations, 2u);
    for (auto member : APPROACHES)
        EXPECT_NEAR(*(a.*member).lanes[0].departure_headway,
                    0.04 * 3.9 + 0.03 * 4.7 + 0.02 * 5.8 + 0.01 * 7.0 + 0.9 * 9.6, 1e-12);
}

// The weights P + AdjP of a lane's headway add up to 1 whatever the lanes: h_adj adds to the first
// pass (which reads every x at 3.2 s) unscaled. Lane counts 0 to 4 per approach (L = 2 or 3),
// every geometry group, flows from none through capped at x = 1.
TEST(AwscHeadways, WeightsAddUpToOneForAnyLanes) {
    std::mt19937 random(21);
    std::uniform_int_distribution<std::size_t> lane_count(0, 4);
    std::uniform_int_distribution<int> group(0, 7);
    std::uniform_real_distribution<double> flow(0.0, 600.0);
    std::uniform_int_distribution<int> flow_kind(0, 3);  // 0: no flow, 1: x capped at 1, else between
    constexpr double H_ADJ = 0.7;
    for (int trial = 0; trial < 200; ++trial) {
        Awsc plain;
        for (auto member : APPROACHES) {
            std::vector<std::pair<double, double>> lanes(lane_count(random));
            for (auto& [v, h_adj] : lanes) {
                const int kind = flow_kind(random);
                v = kind == 0 ? 0.0 : (kind == 1 ? 1500.0 : flow(random));
            }
            set_lanes(plain.*member, static_cast<GeometryGroup>(group(random)), lanes);
        }
        Awsc adjusted = plain;
        for (auto member : APPROACHES)
            for (AwscLane& lane : (adjusted.*member).lanes) lane.headway_adjustment = H_ADJ;
        iterate_departure_headways(plain, 1e9);
        iterate_departure_headways(adjusted, 1e9);
        for (auto member : APPROACHES) {
            const std::vector<AwscLane>& with = (adjusted.*member).lanes;
            for (std::size_t j = 0; j < with.size(); ++j)
                EXPECT_NEAR(*with[j].departure_headway - *(plain.*member).lanes[j].departure_headway, H_ADJ, 1e-12)
                    << "trial " << trial;
        }
    }
}

// Occupied-lane counts by hand: the subject lane faces only an opposing approach of two or three
// lanes at x = 562.5 x 3.2 / 3600 = 0.5 each (one pass from 3.2 s). With two lanes (m = 3) case 1
// has P = 1/4 and AdjP = 0.0075; case 2 has k = 1 twice and k = 2 once, each P = 1/4 and AdjP =
// -0.0025. With three (m = 7) case 1 has P = 1/8 and AdjP = 0.00875; case 2 has k = 1, 2 and 3
// with P = 3/8, 3/8 and 1/8 over 3, 3 and 1 combinations, AdjP = -0.00125 each. The weights add
// up to 1, so h_adj adds directly.
TEST(AwscHeadways, OccupiedLaneCountsOfMultilaneGroupsByHand) {
    const std::tuple<GeometryGroup, std::size_t, double, double> cases[] = {
        {GeometryGroup::G6, 2, 0.3, 0.2575 * 4.5 + 0.495 * 6.0 + 0.2475 * 6.8 + 0.3},
        {GeometryGroup::G5, 2, 0.0, 0.2575 * 4.5 + 0.495 * 5.0 + 0.2475 * 6.2},
        {GeometryGroup::G6, 3, 0.0, 0.13375 * 4.5 + 0.37125 * 6.0 + 0.37125 * 6.8 + 0.12375 * 7.4},
        {GeometryGroup::G5, 3, 0.0, 0.13375 * 4.5 + 0.37125 * 5.0 + 0.37125 * 6.2 + 0.12375 * 6.2},
    };
    for (auto [g, opposing_lanes, h_adj, expected] : cases) {
        Awsc a;
        set_lanes(a.eb, g, {{100.0, h_adj}});
        set_lanes(a.wb, GeometryGroup::G1, std::vector<std::pair<double, double>>(opposing_lanes, {562.5, 0.0}));
        iterate_departure_headways(a, 10.0);
        EXPECT_NEAR(*a.eb.lanes[0].departure_headway, expected, 1e-12) << static_cast<int>(g) << opposing_lanes;
    }
}

// Reference values of a literal enumeration of all 2^(3L) combinations per lane.
TEST(AwscHeadways, MultilaneGroupsDependOnTheOccupiedLanes) {
    Awsc g6;  // L = 3: the third entry of a two-lane approach's vector is empty
    set_lanes(g6.eb, GeometryGroup::G6, {{200, 0.3}, {350, -0.2}});
    set_lanes(g6.wb, GeometryGroup::G6, {{150, 0.5}, {300, 0.0}, {250, -0.7}});
    set_lanes(g6.nb, GeometryGroup::G6, {{400, 0.1}});
    set_lanes(g6.sb, GeometryGroup::G6, {{100, 0.0}, {220, -0.35}});
    iterate_departure_headways(g6, 0.1);
    EXPECT_EQ(*g6.iterations, 6u);
    EXPECT_NEAR(*g6.eb.lanes[1].departure_headway, 9.635870015068171, 1e-9);
    EXPECT_NEAR(*g6.wb.lanes[2].departure_headway, 8.88736061467505, 1e-9);
    EXPECT_NEAR(*g6.nb.lanes[0].departure_headway, 10.400180619542613, 1e-9);
    EXPECT_NEAR(*g6.sb.lanes[0].departure_headway, 10.55075616999941, 1e-9);

    Awsc g5;  // L = 2
    for (auto member : {&Awsc::eb, &Awsc::wb, &Awsc::nb})
        set_lanes(g5.*member, GeometryGroup::G5, {{250, 0}, {250, 0}});
    set_lanes(g5.sb, GeometryGroup::G4b, {{250, 0}});
    iterate_departure_headways(g5, 0.1);
    EXPECT_EQ(*g5.iterations, 5u);
    EXPECT_NEAR(*g5.eb.lanes[0].departure_headway, 7.960181596552863, 1e-9);
    EXPECT_NEAR(*g5.nb.lanes[1].departure_headway, 8.003046235314505, 1e-9);
    EXPECT_NEAR(*g5.sb.lanes[0].departure_headway, 8.432115251749781, 1e-9);
}

TEST(AwscHeadways, OneApproachAloneMeetsNobody) {
    Awsc a;
    set_lanes(a.nb, GeometryGroup::G1, {{500, 0.2}, {0, -0.6}});
    iterate_departure_headways(a, 0.1);
    EXPECT_EQ(*a.iterations, 2u);
    EXPECT_NEAR(*a.nb.lanes[0].departure_headway, 4.1, 1e-12);
    EXPECT_NEAR(*a.nb.lanes[1].departure_headway, 3.3, 1e-12);
    EXPECT_EQ(*a.nb.lanes[1].degree_of_utilization, 0.0);

    Awsc empty;
    iterate_departure_headways(empty, 0.1);
    EXPECT_EQ(*empty.iterations, 1u);
}

// Saturation headways (s) at anchor cells: group, case, occupied lanes.
TEST(AwscHeadways, SaturationHeadwaysByGroupCaseAndOccupiedLanes) {
    using G = GeometryGroup;
    const std::tuple<G, int, int, double> cells[] = {
        {G::G1, 1, 0, 3.9},  {G::G2, 4, 2, 7.0},  {G::G3a, 2, 1, 4.8}, {G::G3b, 5, 3, 10.0}, {G::G4a, 3, 1, 5.9},
        {G::G4b, 5, 9, 10.2}, {G::G5, 2, 1, 5.0}, {G::G5, 2, 4, 6.2},  {G::G5, 5, 5, 10.0},  {G::G5, 5, 9, 11.5},
        {G::G6, 3, 2, 7.3},  {G::G6, 4, 3, 8.7},  {G::G6, 4, 5, 12.3}, {G::G6, 5, 4, 11.1},  {G::G6, 5, 7, 13.3},
    };
    for (auto [g, c, k, h] : cells) EXPECT_EQ(saturation_headway(g, c, k), h) << static_cast<int>(g) << c << k;
}

TEST(AwscHeadways, StoredUtilisationIsNotCapped) {
    Awsc a = intersection({1, 1, 1, 1}, 900.0);
    analyze(a);
    EXPECT_GT(*a.eb.lanes[0].degree_of_utilization, 1.0);
    EXPECT_EQ(*a.eb.lanes[0].los, "F");
}

// Exhibit 21-11 rows: lanes of the subject, opposing and larger conflicting approach.
using GroupCase = std::tuple<std::size_t, std::size_t, std::size_t, bool, GeometryGroup>;
class AwscGeometryGroups : public ::testing::TestWithParam<GroupCase> {};

TEST_P(AwscGeometryGroups, ByLaneCounts) {
    auto [n_s, n_o, n_c, four_leg, expected] = GetParam();
    EXPECT_EQ(geometry_group(n_s, n_o, n_c, four_leg), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Exhibit, AwscGeometryGroups,
    ::testing::Values(GroupCase{1, 1, 1, true, GeometryGroup::G1}, GroupCase{1, 0, 1, false, GeometryGroup::G1},
                      GroupCase{1, 1, 2, true, GeometryGroup::G2}, GroupCase{1, 1, 3, true, GeometryGroup::G5},
                      GroupCase{1, 2, 1, false, GeometryGroup::G3a}, GroupCase{1, 2, 1, true, GeometryGroup::G4a},
                      GroupCase{1, 2, 2, false, GeometryGroup::G3b}, GroupCase{1, 2, 2, true, GeometryGroup::G4b},
                      GroupCase{1, 2, 3, true, GeometryGroup::G6}, GroupCase{1, 3, 1, true, GeometryGroup::G5},
                      GroupCase{1, 3, 2, true, GeometryGroup::G6}, GroupCase{2, 2, 2, true, GeometryGroup::G5},
                      GroupCase{2, 3, 1, true, GeometryGroup::G6}, GroupCase{2, 1, 3, true, GeometryGroup::G6},
                      GroupCase{3, 1, 3, true, GeometryGroup::G5}, GroupCase{3, 2, 1, true, GeometryGroup::G5},
                      GroupCase{3, 2, 2, true, GeometryGroup::G6}));

TEST(AwscSteps, GroupsFromTheRecordAndAFourthLegTurnsG3IntoG4) {
    Awsc t = intersection({1, 2, 1, 0});
    t.sb.geometry_group = GeometryGroup::G6;  // a missing leg keeps what it had
    t.eb.geometry_group = GeometryGroup::G6;  // replaced
    step3_geometry_groups(t);
    EXPECT_EQ(t.eb.geometry_group, GeometryGroup::G3a);
    EXPECT_EQ(t.sb.geometry_group, GeometryGroup::G6);
    Awsc four = intersection({1, 2, 1, 1});
    step3_geometry_groups(four);
    EXPECT_EQ(four.eb.geometry_group, GeometryGroup::G4a);
    EXPECT_EQ(four.nb.geometry_group, GeometryGroup::G2);
}

TEST(AwscSteps, FlowRatesAndHeadwayAdjustments) {
    Awsc a = intersection({1, 1, 0, 0});
    a.eb.lanes.resize(2);
    a.eb.lanes[0].volume_right = 92.0;
    a.eb.lanes[1].volume_left = 46.0;
    a.wb.heavy_vehicle_pct = 10.0;
    a.wb.lanes[0].volume_through = 100.0;
    for (std::optional<double> phf : {std::optional<double>(), std::optional(0.0), std::optional(-1.0)}) {
        a.phf = phf;
        step1_2_flow_rates(a);
        EXPECT_EQ(*a.eb.lanes[0].flow_rate, 92.0);
    }
    a.phf = 0.92;
    prepare(a);
    EXPECT_NEAR(*a.eb.lanes[0].flow_rate, 100.0, 1e-12);
    EXPECT_EQ(a.eb.geometry_group, GeometryGroup::G5);  // two lanes facing one
    EXPECT_NEAR(*a.eb.lanes[0].headway_adjustment, -0.7, 1e-12);
    EXPECT_NEAR(*a.eb.lanes[1].headway_adjustment, 0.5, 1e-12);
    EXPECT_NEAR(*a.wb.lanes[0].headway_adjustment, 0.17, 1e-12);
    a.eb.lanes.pop_back();
    prepare(a);  // now G1: right turns -0.6, left turns 0.2
    EXPECT_NEAR(*a.eb.lanes[0].headway_adjustment, -0.6, 1e-12);
}

// Lane results from a given headway and utilisation. With x = 0 the delay is h - 2 + 5.
using LaneCase = std::tuple<double, double, const char*>;
class AwscLaneLos : public ::testing::TestWithParam<LaneCase> {};

TEST_P(AwscLaneLos, ByDelayAndUtilisation) {
    auto [h, x, los] = GetParam();
    Awsc a = intersection({1, 0, 0, 0});
    a.eb.lanes[0].departure_headway = h;
    a.eb.lanes[0].degree_of_utilization = x;
    calculate_lane_results(a);
    EXPECT_EQ(*a.eb.lanes[0].los, los);
}

INSTANTIATE_TEST_SUITE_P(Exhibit21_8, AwscLaneLos,
                         ::testing::Values(LaneCase{7.0, 0.0, "A"}, LaneCase{7.000001, 0.0, "B"},
                                           LaneCase{47.0, 0.0, "E"}, LaneCase{47.000001, 0.0, "F"},
                                           LaneCase{3.0, 1.02, "F"}));

TEST(AwscSteps, LaneDelayQueueAndAggregation) {
    Awsc a = intersection({2, 1, 0, 0});
    a.eb.lanes[0].departure_headway = 5.0;
    a.eb.lanes[0].degree_of_utilization = 0.5;
    calculate_lane_results(a);
    EXPECT_NEAR(*a.eb.lanes[0].service_time, 3.0, 1e-12);
    EXPECT_NEAR(*a.eb.lanes[0].control_delay, 12.893568818738967, 1e-9);  // Equation 21-30
    EXPECT_NEAR(*a.eb.lanes[0].queue_95, 2.8229145242011997, 1e-9);      // Equation 21-33
    EXPECT_FALSE(a.eb.lanes[1].control_delay);

    a.eb.lanes[0].flow_rate = 300.0;
    a.eb.lanes[1].flow_rate = 100.0;
    a.eb.lanes[1].control_delay = 40.0;
    a.wb.control_delay = 99.0;  // no lane with a delay: kept, and out of the intersection
    step15_aggregate_delay(a);
    const double approach = (12.893568818738967 * 300.0 + 40.0 * 100.0) / 400.0;
    EXPECT_NEAR(*a.eb.control_delay, approach, 1e-9);
    EXPECT_EQ(*a.eb.los, "C");
    EXPECT_EQ(*a.wb.control_delay, 99.0);
    EXPECT_NEAR(*a.intersection_delay, approach, 1e-9);
}

TEST(AwscAnalysis, NoTrafficGivesZeroDelaysAndLosA) {
    Awsc a = intersection({1, 2, 1, 1});
    analyze(a);
    for (auto member : APPROACHES) {
        EXPECT_EQ(*(a.*member).control_delay, 0.0);
        EXPECT_EQ(*(a.*member).los, "A");
    }
    EXPECT_EQ(*a.intersection_delay, 0.0);
    EXPECT_EQ(*a.intersection_los, "A");
    Awsc again = a;
    analyze(again);
    EXPECT_EQ(again, a);
}

TEST(AwscCapacity, SearchOfASingleLaneFourLegIntersection) {
    Awsc a = intersection({1, 1, 1, 1}, 300.0);
    prepare(a);
    const Awsc before = a;
    const double c = capacity_of_lane(a, EB, 0);
    EXPECT_EQ(a, before);
    EXPECT_NEAR(c, 523.046875, 1e-9);  // literal search over a literal enumeration
    // Around x = 1 the iteration settles, and the utilisation crosses 1 between 522 and 523 veh/h.
    for (auto [flow, below_one] : {std::pair{522.0, true}, std::pair{523.0, false}}) {
        Awsc near = a;
        near.eb.lanes[0].flow_rate = flow;
        iterate_departure_headways(near, CAPACITY_SEARCH_TOLERANCE_S);
        EXPECT_LT(*near.iterations, 100u);
        EXPECT_EQ(*near.eb.lanes[0].degree_of_utilization < 1.0, below_one) << flow;
    }
}

TEST(AwscCapacity, StaysJustBelow3600WhenUtilisationNeverReachesOne) {
    Awsc a = intersection({1, 0, 0, 0});
    prepare(a);
    a.eb.lanes[0].headway_adjustment = -4.0;  // h_d = -0.1 s: x never positive
    EXPECT_EQ(capacity_of_lane(a, EB, 0), 3600.0 - 200.0 / 512.0);
}

}  // namespace
