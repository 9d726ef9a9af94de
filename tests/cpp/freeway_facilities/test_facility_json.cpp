#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "../support/checks.hpp"
#include "hcm/common/error.hpp"
#include "hcm/freeway_facilities/facility_json.hpp"

using namespace hcm::freeway_facilities::freeway_facilities;

namespace {

std::string read_error(const std::string& text) {
    return testing_support::error_of([&] { (void)facility_from_json(text); });
}

TEST(FacilityJson, EmptyDocumentsReadAsTheDefaultFacility) {
    const FreewayFacility defaults;
    EXPECT_EQ(facility_from_json("{}"), defaults);
    EXPECT_EQ(facility_from_json(" [] \n"), defaults);
    EXPECT_DOUBLE_EQ(defaults.ffs, 60.0);
    EXPECT_DOUBLE_EQ(defaults.jam_density_pc, 190.0);
    EXPECT_DOUBLE_EQ(defaults.queue_discharge_drop, 0.07);
    EXPECT_DOUBLE_EQ(defaults.time_step_s, 15.0);
    EXPECT_EQ(facility_to_json(defaults),
              "{\"segments\":[],\"mainline_demand\":[],\"ffs\":60.0,\"heavy_vehicle_pct\":0.05,\"terrain\":\"Level\","
              "\"city_type\":\"Urban\",\"phf\":1.0,\"jam_density_pc\":190.0,\"queue_discharge_drop\":0.07,"
              "\"total_ramp_density\":1.0,\"interchange_density\":null,\"c_ifl_override\":null,\"time_step_s\":15.0,"
              "\"demand\":[],\"capacity\":[],\"dc_ratio\":[],\"volume_served\":[],\"vc_ratio\":[],\"speed\":[],"
              "\"density_veh\":[],\"density_pc\":[],\"los\":[],\"demand_based_los\":[],\"queue_length_ft\":[],"
              "\"had_queue\":[],\"on_ramp_queue\":[],\"unserved_entry_veh\":[],\"facility_performance\":[],"
              "\"oversaturated\":false,\"first_oversat_period\":null}");
}

TEST(FacilityJson, ArrayFormsFillTheRestWithDefaults) {
    const auto f = facility_from_json(R"([[{}, ["Merge", 2000]], [4000, 4500]])");
    ASSERT_EQ(f.segments.size(), 2u);
    EXPECT_EQ(f.segments[0], FacilitySegment{});
    EXPECT_EQ(f.segments[1].seg_type, SegmentType::Merge);
    EXPECT_DOUBLE_EQ(f.segments[1].length_ft, 2000.0);
    EXPECT_EQ(f.segments[1].lanes, 3u);
    EXPECT_EQ(f.mainline_demand, (std::vector<double>{4000, 4500}));
    EXPECT_DOUBLE_EQ(f.ffs, 60.0);
}

TEST(FacilityJson, DefaultSegmentAndWorkZone) {
    const auto f = facility_from_json(R"({"segments": [{}, {"work_zone": {}}, {"work_zone": null}]})");
    const FacilitySegment& s = f.segments[0];
    EXPECT_EQ(s.seg_type, SegmentType::Basic);
    EXPECT_DOUBLE_EQ(s.length_ft, 1500.0);
    EXPECT_EQ(s.lanes, 3u);
    EXPECT_FALSE(s.ffs);
    EXPECT_FALSE(s.caf_schedule || s.saf_schedule || s.work_zone || s.ramp_metering || s.short_length_ft);
    EXPECT_DOUBLE_EQ(s.ramp_ffs, 40.0);
    EXPECT_DOUBLE_EQ(s.accel_lane_ft, 500.0);
    EXPECT_DOUBLE_EQ(s.decel_lane_ft, 500.0);
    EXPECT_EQ(s.num_weaving_lanes, 2u);
    EXPECT_EQ(s.lc_rf, 1u);
    EXPECT_EQ(s.lc_fr, 1u);
    ASSERT_TRUE(f.segments[1].work_zone);
    EXPECT_EQ(*f.segments[1].work_zone, WorkZone{});
    EXPECT_DOUBLE_EQ(f.segments[1].work_zone->queue_discharge_drop, 0.134);
    EXPECT_FALSE(f.segments[2].work_zone);
}

TEST(FacilityJson, OptionalsTakeNullAndUnknownKeysAreSkipped) {
    EXPECT_EQ(facility_from_json(R"({"interchange_density": null, "c_ifl_override": null, "note": [1, {"x": 2}]})"),
              FreewayFacility{});
    const auto f = facility_from_json(R"({"first_oversat_period": 3, "terrain": {"Rolling": null}})");
    EXPECT_EQ(f.first_oversat_period, 3u);
    EXPECT_EQ(f.terrain, Terrain::Rolling);
}

struct ErrorCase {
    const char* text;
    const char* message;
};
class FacilityJsonErrors : public ::testing::TestWithParam<ErrorCase> {};
TEST_P(FacilityJsonErrors, NameTheFaultAndItsPosition) {
    EXPECT_EQ(read_error(GetParam().text), std::string("invalid facility JSON: ") + GetParam().message);
}
INSTANTIATE_TEST_SUITE_P(
    Reader, FacilityJsonErrors,
    ::testing::Values(
        ErrorCase{"3", "invalid type: integer `3`, expected struct FreewayFacility at line 1 column 1"},
        ErrorCase{R"({"terrain": "level"})",
                  "unknown variant `level`, expected one of `Level`, `Rolling`, `Mountainous` at line 1 column 19"},
        ErrorCase{R"({"ffs": null})", "invalid type: null, expected f64 at line 1 column 12"},
        ErrorCase{R"({"phf": 1, "phf": 1})", "duplicate field `phf` at line 1 column 16"},
        ErrorCase{R"({"segments": {}})", "invalid type: map, expected a sequence at line 1 column 14"},
        ErrorCase{R"({"segments": [3]})", "invalid type: integer `3`, expected struct FacilitySegment at line 1 column 15"},
        ErrorCase{R"({"segments": [{"seg_type": "basic"}]})",
                  "unknown variant `basic`, expected one of `Basic`, `Merge`, `Diverge`, `Weaving`, `OverlappingRamp` "
                  "at line 1 column 34"},
        ErrorCase{R"({"segments": [{"lanes": 2.5}]})",
                  "invalid type: floating point `2.5`, expected u32 at line 1 column 27"},
        ErrorCase{R"({"segments": [{"lanes": -1}]})", "invalid value: integer `-1`, expected u32 at line 1 column 26"},
        ErrorCase{R"({"segments": [{"lanes": null}]})", "invalid type: null, expected u32 at line 1 column 28"},
        ErrorCase{R"({"segments": [{"work_zone": 1}]})",
                  "invalid type: integer `1`, expected struct WorkZone at line 1 column 29"},
        ErrorCase{R"({"segments": [{"work_zone": {"night": 1}}]})",
                  "invalid type: integer `1`, expected a boolean at line 1 column 39"},
        ErrorCase{R"({"facility_performance": [{"space_mean_speed": 1}]})",
                  "missing field `avg_density_veh` at line 1 column 49"},
        ErrorCase{R"({"facility_performance": [{"space_mean_speed": 1, "avg_density_veh": 1, "avg_density_pc": 1,
                     "los": "A", "vmt_served": 1, "vmt_demand": 1, "vht": 1}]})",
                  "missing field `vhd` at line 2 column 76"},
        ErrorCase{R"({"facility_performance": [[1, 2]]})",
                  "invalid length 2, expected struct PeriodPerformance with 8 elements at line 1 column 32"},
        ErrorCase{R"({"los": [["a"]]})",
                  "unknown variant `a`, expected one of `A`, `B`, `C`, `D`, `E`, `F` at line 1 column 13"},
        // A result matrix reads a null cell as NaN, but not a null row.
        ErrorCase{R"({"speed": [[1], null]})", "invalid type: null, expected a sequence at line 1 column 20"},
        ErrorCase{"[", "EOF while parsing a list at line 1 column 1"},
        ErrorCase{"{} {}", "trailing characters at line 1 column 4"}));

TEST(FacilityJson, ArrayFormRefusesAThirtyFirstValue) {
    const std::string thirty =
        R"([[], [], 60, 0.05, "Level", "Urban", 1, 190, 0.07, 1, null, null, 15, [], [], [], [], [], [], [], [], [],)"
        R"( [], [], [], [], [], [], false, null)";
    EXPECT_EQ(facility_from_json(thirty + "]"), FreewayFacility{});
    EXPECT_EQ(read_error(thirty + ", 1]"), "invalid facility JSON: trailing characters at line 1 column 144");
}

TEST(FacilityJson, AnalysedFacilityRoundTrips) {
    auto f = facility_from_json(R"({"segments": [{}, {"lanes": 2, "work_zone": {"open_lanes": 1}}, {}],
                                    "mainline_demand": [3000, 4500, 2000], "city_type": "Rural"})");
    run_analysis(f);
    ASSERT_TRUE(f.oversaturated);
    const std::string text = facility_to_json(f);
    const auto again = facility_from_json(text);
    EXPECT_EQ(again, f);
    EXPECT_EQ(facility_to_json(again), text);
}

// The text as the facility has always been written: every key in declaration order, floats in
// their shortest form, ".0" on integral values, plain decimals from 1e-5 to below 1e16.
TEST(FacilityJson, WrittenTextKeepsItsForm) {
    const auto f = facility_from_json(
        R"({"segments": [{"work_zone": {"open_lanes": 1}, "caf_schedule": [0.93, 1]},
                         {"seg_type": "Merge", "on_ramp_demand": [0.30000000000000004, 1e-7], "short_length_ft": 1e15}],
            "mainline_demand": [4000, 5000.125], "c_ifl_override": 2300.0001,
            "dc_ratio": [[1e16, 0.5], [-0.0, 1.5e-7]], "los": [["A", "F"], ["C", "D"]],
            "demand_based_los": [[null, "B"], []], "had_queue": [[true, false], []],
            "facility_performance": [[55.5, 20, 21.25, "B", 100, 101, 2, 0.001]], "first_oversat_period": 1})");
    const std::string fixed_fields =
        R"("ramp_ffs":40.0,"accel_lane_ft":500.0,"decel_lane_ft":500.0,)";
    EXPECT_EQ(
        facility_to_json(f),
        R"({"segments":[{"seg_type":"Basic","length_ft":1500.0,"lanes":3,"ffs":null,"caf":1.0,"saf":1.0,"daf":1.0,)"
        R"("caf_schedule":[0.93,1.0],"saf_schedule":null,"work_zone":{"total_lanes":3,"open_lanes":1,)"
        R"("soft_barrier":false,"rural":false,"lateral_distance_ft":6.0,"night":false,"speed_ratio":1.0,)"
        R"("speed_limit_mi_h":55.0,"total_ramp_density":1.0,"queue_discharge_drop":0.134},"on_ramp_demand":[],)"
        R"("off_ramp_demand":[],"ramp_to_ramp_demand":[],)" +
            fixed_fields +
            R"("ramp_metering":null,"short_length_ft":null,"num_weaving_lanes":2,"lc_rf":1,"lc_fr":1},)"
            R"({"seg_type":"Merge","length_ft":1500.0,"lanes":3,"ffs":null,"caf":1.0,"saf":1.0,"daf":1.0,)"
            R"("caf_schedule":null,"saf_schedule":null,"work_zone":null,"on_ramp_demand":[0.30000000000000004,1e-7],)"
            R"("off_ramp_demand":[],"ramp_to_ramp_demand":[],)" +
            fixed_fields +
            R"("ramp_metering":null,"short_length_ft":1000000000000000.0,"num_weaving_lanes":2,"lc_rf":1,"lc_fr":1}],)"
            R"("mainline_demand":[4000.0,5000.125],"ffs":60.0,"heavy_vehicle_pct":0.05,"terrain":"Level",)"
            R"("city_type":"Urban","phf":1.0,"jam_density_pc":190.0,"queue_discharge_drop":0.07,)"
            R"("total_ramp_density":1.0,"interchange_density":null,"c_ifl_override":2300.0001,"time_step_s":15.0,)"
            R"("demand":[],"capacity":[],"dc_ratio":[[1e16,0.5],[-0.0,1.5e-7]],"volume_served":[],"vc_ratio":[],)"
            R"("speed":[],"density_veh":[],"density_pc":[],"los":[["A","F"],["C","D"]],)"
            R"("demand_based_los":[[null,"B"],[]],"queue_length_ft":[],"had_queue":[[true,false],[]],)"
            R"("on_ramp_queue":[],"unserved_entry_veh":[],"facility_performance":[{"space_mean_speed":55.5,)"
            R"("avg_density_veh":20.0,"avg_density_pc":21.25,"los":"B","vmt_served":100.0,"vmt_demand":101.0,)"
            R"("vht":2.0,"vhd":0.001}],"oversaturated":false,"first_oversat_period":1})");
}

// A closed segment (CAF 0) has an infinite demand-to-capacity ratio: written null, read back NaN,
// every other value unchanged.
TEST(FacilityJson, ClosedSegmentRoundTrips) {
    auto f = facility_from_json(R"({"segments": [{}, {"caf": 0}, {}], "mainline_demand": [1000, 1200]})");
    run_analysis(f);
    ASSERT_TRUE(std::isinf(f.dc_ratio.at(1).at(0)));
    const std::string text = facility_to_json(f);
    auto again = facility_from_json(text);
    EXPECT_TRUE(std::isnan(again.dc_ratio[1][0]));
    EXPECT_TRUE(std::isnan(again.dc_ratio[1][1]));
    EXPECT_EQ(facility_to_json(again), text);
    again.dc_ratio[1] = f.dc_ratio[1];
    EXPECT_EQ(again, f);
}

}  // namespace
