// JSON document of the planning-level freeway facility: defaults, messages, round trips.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "../support/checks.hpp"
#include "hcm/common/error.hpp"
#include "hcm/freeway_facilities/planning.hpp"

namespace pl = hcm::freeway_facilities::planning;
using namespace testing_support;
using hcm::common::CityType;
using hcm::common::LevelOfService;
using pl::PlanningFacility;
using pl::PlanningSectionType;
using Terrain = hcm::freeway_facilities::freeway_facilities::Terrain;

namespace {

const std::string DEFAULT_DOCUMENT =
    R"({"sections":[],"ffs":60.0,"k_factor":0.09,"growth_factor":1.0,"phf":0.9,"pct_sut":0.0,"pct_tt":0.0,)"
    R"("terrain":"Level","city_type":"Urban","section_results":[],"facility_results":[]})";

std::string read_error(const std::string& text) {
    return error_of([&] { pl::planning_facility_from_json(text); });
}

}  // namespace

TEST(PlanningJson, EmptyDocumentTakesEveryDefault) {
    for (const char* text : {"{}", "[]", "  {\"unknown\": [1, {\"x\": null}]}"}) {
        SCOPED_TRACE(text);
        const PlanningFacility f = pl::planning_facility_from_json(text);
        EXPECT_EQ(f, PlanningFacility{});
        EXPECT_TRUE(f.sections.empty());
        EXPECT_EQ(f.ffs, 60.0);
        EXPECT_EQ(f.k_factor, 0.09);
        EXPECT_EQ(f.growth_factor, 1.0);
        EXPECT_EQ(f.phf, 0.9);
        EXPECT_EQ(f.pct_sut, 0.0);
        EXPECT_EQ(f.pct_tt, 0.0);
        EXPECT_EQ(f.terrain, Terrain::Level);
        EXPECT_EQ(f.city_type, CityType::Urban);
        EXPECT_EQ(pl::planning_facility_to_json(f), DEFAULT_DOCUMENT);
    }
}

TEST(PlanningJson, EmptySectionIsTheDefaultBasicSection) {
    const PlanningFacility f = pl::planning_facility_from_json(R"({"sections":[{}, []]})");
    ASSERT_EQ(f.sections.size(), 2u);
    for (const auto& s : f.sections) {
        EXPECT_EQ(s.sec_type, PlanningSectionType::Basic);
        EXPECT_EQ(s.length_mi, 1.0);
        EXPECT_EQ(s.lanes, 3u);
        EXPECT_EQ(s.inflow_aadt, 0.0);
        EXPECT_EQ(s.outflow_aadt, 0.0);
        EXPECT_EQ(s.weave_vr, 0.0);
        EXPECT_FALSE(s.caf_override.has_value());
    }
}

TEST(PlanningJson, ArrayFormsAndVariantObjects) {
    const PlanningFacility f = pl::planning_facility_from_json(
        R"([[["Weave", 0.5, 4, 1000, 200, 0.3, 0.95], {"sec_type": {"Ramp": null}, "caf_override": null}],)"
        R"( 65, 0.1, 1.2, 0.85, 0.02, 0.03, "Rolling", {"Rural": null}])");
    ASSERT_EQ(f.sections.size(), 2u);
    EXPECT_EQ(f.sections[0].sec_type, PlanningSectionType::Weave);
    EXPECT_EQ(f.sections[0].lanes, 4u);
    EXPECT_EQ(f.sections[0].outflow_aadt, 200.0);
    EXPECT_EQ(f.sections[0].caf_override, 0.95);
    EXPECT_EQ(f.sections[1].sec_type, PlanningSectionType::Ramp);
    EXPECT_FALSE(f.sections[1].caf_override.has_value());
    EXPECT_EQ(f.ffs, 65.0);
    EXPECT_EQ(f.pct_tt, 0.03);
    EXPECT_EQ(f.terrain, Terrain::Rolling);
    EXPECT_EQ(f.city_type, CityType::Rural);
    EXPECT_TRUE(f.section_results.empty());
}

struct MessageCase {
    const char* text;
    const char* message;
};
class PlanningJsonMessages : public ::testing::TestWithParam<MessageCase> {};

TEST_P(PlanningJsonMessages, WrappedReaderMessage) {
    EXPECT_EQ(read_error(GetParam().text), std::string("invalid planning facility JSON: ") + GetParam().message);
}
INSTANTIATE_TEST_SUITE_P(
    Documents, PlanningJsonMessages,
    ::testing::Values(
        MessageCase{R"({"sections":[{"sec_type":"basic"}]})",
                    "unknown variant `basic`, expected one of `Basic`, `Weave`, `Ramp` at line 1 column 32"},
        MessageCase{R"({"terrain":"level"})",
                    "unknown variant `level`, expected one of `Level`, `Rolling`, `Mountainous` at line 1 column 18"},
        MessageCase{R"({"city_type":"Town"})",
                    "unknown variant `Town`, expected `Urban` or `Rural` at line 1 column 19"},
        MessageCase{R"({"ffs":60,"ffs":65})", "duplicate field `ffs` at line 1 column 15"},
        MessageCase{R"({"sections":[{"lanes":2,"lanes":3}]})", "duplicate field `lanes` at line 1 column 31"},
        MessageCase{R"({"facility_results":[{"oversaturated":false,"travel_time_min":1,"space_mean_speed":60,)"
                    R"("avg_density":10,"total_queue_mi":0}]})",
                    "missing field `los` at line 1 column 122"},
        MessageCase{R"({"section_results":[[{"demand_pc":1}]]})", "missing field `dc_ratio` at line 1 column 36"},
        MessageCase{R"({"section_results":[[[1,2,3,4,5,6,7]]]})",
                    "invalid length 7, expected struct PlanningSectionResult with 8 elements at line 1 column 36"},
        MessageCase{R"({"facility_results":[[false,1,2,3,4]]})",
                    "invalid length 5, expected struct PlanningFacilityResult with 6 elements at line 1 column 36"},
        MessageCase{R"({"facility_results":[[false,1,2,3,4,"A",5]]})", "trailing characters at line 1 column 41"},
        MessageCase{"3", "invalid type: integer `3`, expected struct PlanningFacility at line 1 column 1"},
        MessageCase{R"({"sections":["Basic"]})",
                    "invalid type: string \"Basic\", expected struct PlanningSection at line 1 column 20"},
        MessageCase{R"({"section_results":[[true]]})",
                    "invalid type: boolean `true`, expected struct PlanningSectionResult at line 1 column 25"},
        MessageCase{R"({"facility_results":[7]})",
                    "invalid type: integer `7`, expected struct PlanningFacilityResult at line 1 column 22"},
        MessageCase{R"({"sections":[{"lanes":-1}]})", "invalid value: integer `-1`, expected u32 at line 1 column 24"},
        MessageCase{R"({"sections":[{"lanes":4294967296}]})",
                    "invalid value: integer `4294967296`, expected u32 at line 1 column 32"},
        MessageCase{R"({"sections":[{"lanes":2.5}]})",
                    "invalid type: floating point `2.5`, expected u32 at line 1 column 25"},
        MessageCase{R"({"ffs":null})", "invalid type: null, expected f64 at line 1 column 11"},
        MessageCase{"[", "EOF while parsing a list at line 1 column 1"},
        MessageCase{"{} x", "trailing characters at line 1 column 4"}));

TEST(PlanningJson, AnalysedDocumentRoundTrips) {
    PlanningFacility f = pl::planning_facility_from_json(
        R"({"sections":[{"inflow_aadt":90000,"lanes":3},{"sec_type":"Weave","length_mi":0.4,"weave_vr":0.25,)"
        R"("inflow_aadt":12000,"outflow_aadt":9000},{"sec_type":"Ramp","length_mi":0.3,"caf_override":0.95,)"
        R"("inflow_aadt":8000}],"terrain":"Mountainous","city_type":"Rural","pct_sut":0.03,"pct_tt":0.07})");
    pl::run_analysis(f);
    const std::string text = pl::planning_facility_to_json(f);
    const PlanningFacility back = pl::planning_facility_from_json(text);
    EXPECT_EQ(back, f);
    EXPECT_EQ(pl::planning_facility_to_json(back), text);
    // Key order of the root, a section and both result records.
    EXPECT_EQ(text.rfind(R"({"sections":[{"sec_type":"Basic","length_mi":1.0,"lanes":3,"inflow_aadt":90000.0,)"
                         R"("outflow_aadt":0.0,"weave_vr":0.0,"caf_override":null},)",
                         0),
              0u);
    EXPECT_NE(text.find(R"("terrain":"Mountainous","city_type":"Rural","section_results":[[{"demand_pc":)"),
              std::string::npos);
    EXPECT_NE(text.find(R"(,"dc_ratio":)"), std::string::npos);
    EXPECT_NE(text.find(R"(],"facility_results":[{"oversaturated":)"), std::string::npos);
    const char los = hcm::common::letter(f.facility_results.back().los);
    EXPECT_TRUE(text.ends_with(std::string(R"("los":")") + los + "\"}]}"));
}

TEST(PlanningJson, NonFiniteResultsAreWrittenAsNullAndReadBackAsNaN) {
    PlanningFacility f;
    f.section_results = {{pl::PlanningSectionResult{}}};
    f.section_results[0][0].travel_time_s = kNaN;
    f.section_results[0][0].speed = kInf;
    f.facility_results = {pl::PlanningFacilityResult{}};
    f.facility_results[0].los = LevelOfService::D;
    f.facility_results[0].avg_density = -kInf;
    const std::string text = pl::planning_facility_to_json(f);
    EXPECT_NE(text.find(R"("travel_time_s":null,"speed":null,)"), std::string::npos);
    EXPECT_NE(text.find(R"("avg_density":null,"total_queue_mi":0.0,"los":"D"})"), std::string::npos);
    const PlanningFacility back = pl::planning_facility_from_json(text);
    EXPECT_TRUE(std::isnan(back.section_results[0][0].travel_time_s));
    EXPECT_TRUE(std::isnan(back.section_results[0][0].speed));
    EXPECT_TRUE(std::isnan(back.facility_results[0].avg_density));
    EXPECT_EQ(pl::planning_facility_to_json(back), text);
}

TEST(PlanningJson, ResultListsOfAnyShapeStayAsRead) {
    const PlanningFacility f = pl::planning_facility_from_json(
        R"({"section_results":[[],[[1,2,3,4,5,6,7,8]]],"facility_results":[[true,1,2,3,4,"C"]]})");
    ASSERT_EQ(f.section_results.size(), 2u);
    EXPECT_TRUE(f.section_results[0].empty());
    EXPECT_EQ(f.section_results[1][0].speed, 6.0);
    EXPECT_EQ(f.section_results[1][0].queue_length_mi, 8.0);
    EXPECT_EQ(pl::facility_result(f, 0).los, LevelOfService::C);
    EXPECT_TRUE(pl::facility_result(f, 0).oversaturated);
    EXPECT_THROW(pl::section_result(f, 0, 0), hcm::Error);
    EXPECT_EQ(pl::section_result(f, 1, 0).density, 7.0);
}
