#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "../support/checks.hpp"
#include "fixtures.hpp"
#include "hcm/signalized/signalized.hpp"
#include "json/jsonio.hpp"

using namespace hcm::signalized::signalized;
using namespace testing_support;
using hcm::common::LevelOfService;

namespace {

constexpr char kLeftPhase[] =
    R"({"phase_no":5,"duration_s":15,"yellow_s":3,"red_clearance_s":1,"max_green_s":12,"passage_time_s":2.5,)"
    R"("walk_s":null,"ped_clear_s":null,"min_green_s":4,"detector_length_ft":40,"recall_max":true})";

// A complete approach on one line, every key given. Tests edit it as text.
const std::string kApproach =
    R"({"direction":"NB","volume_left":120,"volume_through":540.5,"volume_right":80,"volume_rtor":0,)"
    R"("peak_hour_factor":0.92,"pct_heavy_vehicles_left":2,"pct_heavy_vehicles_through":3,"platoon_ratio_left":1,)"
    R"("platoon_ratio_through":1.33,"upstream_filtering_i":1,"initial_queue_through_veh":0,"initial_queue_left_veh":0,)"
    R"("ped_flow_ph":50,"bike_flow_ph":10,"exclusive_left_lanes":1,"through_lanes":2,"exclusive_right_lanes":0,)"
    R"("shared_left_through_lane":false,"shared_right_through_lane":true,"lane_width_ft":12,"grade_pct":-2,)"
    R"("receiving_lanes":2,"parking_present":false,"parking_maneuvers_h":0,"bus_stops_h":0,"storage_left_ft":200,)"
    R"("storage_through_ft":450,"speed_limit_mph":35,"opposing_right_turn_influences_gaps":true,)"
    R"("left_turn_mode":"ProtectedPermitted","left_turn_sequence":"LeadLag","left_phase":)" +
    std::string(kLeftPhase) + R"(,"through_phase":{"phase_no":2,"duration_s":50,"yellow_s":4,"red_clearance_s":1}})";

// `text` with `from` replaced by `to` (which may be empty: the key is left out).
std::string edited(std::string text, const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
    return text;
}

// The four optional keys of an approach left out.
std::string required_approach() {
    std::string a = edited(kApproach, R"("peak_hour_factor":0.92,)", "");
    a = edited(a, R"("storage_left_ft":200,"storage_through_ft":450,)", "");
    return edited(a, R"("left_phase":)" + std::string(kLeftPhase) + ",", "");
}

constexpr char kHead[] =
    R"({"cycle_length_s":90,"analysis_period_h":0.25,"base_saturation_flow":1900,"area_type_cbd":false,)"
    R"("control":"PretimedSignal","sneakers_per_cycle":2,"approaches":[)";

// The head on line 1, the approach alone on line 2, the closing brackets on line 3.
std::string document(const std::string& approach) { return kHead + ("\n" + approach + "\n]}"); }

std::string read_error(const std::string& text) {
    return error_of<jsonio::Error>([&] { return intersection_from_json(text); });
}

template <class T>
std::string record_error(const std::string& text) {
    return error_of<jsonio::Error>([&] { return jsonio::read_document<T>(text); });
}

TEST(SignalizedDocument, RequiredKeysAloneReadAndTheRestIsWrittenAsNull) {
    const SignalizedIntersection x = intersection_from_json(document(required_approach()));
    EXPECT_EQ(x.cycle_length_s, 90.0);
    EXPECT_EQ(x.control, ControlType::PretimedSignal);
    ASSERT_EQ(x.approaches.size(), 1u);
    const SignalApproach& a = x.approaches[0];
    EXPECT_EQ(a.volume_through, 540.5);
    EXPECT_EQ(a.through_lanes, 2u);
    EXPECT_EQ(a.grade_pct, -2.0);
    EXPECT_EQ(a.left_turn_sequence, LeftTurnSequence::LeadLag);
    EXPECT_FALSE(a.peak_hour_factor || a.storage_left_ft || a.storage_through_ft || a.left_phase);
    EXPECT_FALSE(a.through_phase.recall_max || a.through_phase.max_green_s || a.through_phase.detector_length_ft);
    EXPECT_TRUE(x.lane_groups.empty() && x.approach_results.empty());
    EXPECT_FALSE(x.intersection_delay_s || x.intersection_los || x.critical_vc_ratio);

    const std::string out = intersection_to_json(x);
    EXPECT_NE(out.find(R"("volume_rtor":0.0,"peak_hour_factor":null,"pct_heavy_vehicles_left":2.0,)"), std::string::npos);
    EXPECT_NE(out.find(R"("left_phase":null,"through_phase":{"phase_no":2,"duration_s":50.0,)"), std::string::npos);
    EXPECT_TRUE(out.ends_with(R"("detector_length_ft":null,"recall_max":false}}],"lane_groups":[],)"
                              R"("approach_results":[],"intersection_delay_s":null,"intersection_los":null,)"
                              R"("critical_vc_ratio":null})"));
}

TEST(SignalizedDocument, WordFormsUnknownKeysAndRoundTrip) {
    std::string text = edited(document(kApproach), "\"PretimedSignal\"", "\"TwoWayStop\"");
    text = edited(text, "\"ProtectedPermitted\"", R"({"Permitted":null})");
    text = edited(text, R"("phase_no":2,)", R"("phase_no":2,"note":[1,{"x":2}],)");
    text.insert(1, R"("name":"Main & 1st",)");
    const SignalizedIntersection x = intersection_from_json(text + "\n \t\r\n");
    EXPECT_EQ(x.control, ControlType::TwoWayStop);
    EXPECT_EQ(x.approaches.at(0).left_turn_mode, LeftTurnMode::Permitted);
    const std::string once = intersection_to_json(x);
    EXPECT_EQ(once.find("name"), std::string::npos);
    EXPECT_EQ(once.find("note"), std::string::npos);
    const SignalizedIntersection again = intersection_from_json(once);
    EXPECT_EQ(again, x);
    EXPECT_EQ(intersection_to_json(again), once);
    EXPECT_EQ(again.approaches.at(0).left_phase->passage_time_s, 2.5);
}

// A failure inside the approach on line 2, at the last byte of the first `at` of that line.
struct ApproachCase {
    const char* name;
    std::string approach, message, at;
};

class ApproachFailure : public ::testing::TestWithParam<ApproachCase> {};

TEST_P(ApproachFailure, FailsWithItsMessageAndPosition) {
    const ApproachCase& c = GetParam();
    const std::size_t column = c.approach.find(c.at) + c.at.size();
    EXPECT_EQ(read_error(document(c.approach)), c.message + " at line 2 column " + std::to_string(column));
}

const std::string kEnd = R"("red_clearance_s":1}})";  // the approach's closing brace

INSTANTIATE_TEST_SUITE_P(
    SignalizedDocument, ApproachFailure,
    ::testing::Values(
        ApproachCase{"MissingRtor", edited(kApproach, R"("volume_rtor":0,)", ""), "missing field `volume_rtor`", kEnd},
        ApproachCase{"FirstMissingInOrder", edited(kApproach, R"("direction":"NB","volume_left":120,)", ""),
                     "missing field `direction`", kEnd},
        ApproachCase{"Duplicate", edited(kApproach, R"("bus_stops_h":0,)", R"("bus_stops_h":0,"bus_stops_h":0,)"),
                     "duplicate field `bus_stops_h`", R"("bus_stops_h":0,"bus_stops_h")"},
        ApproachCase{"NegativeLanes", edited(kApproach, R"("through_lanes":2)", R"("through_lanes":-1)"),
                     "invalid value: integer `-1`, expected u32", R"("through_lanes":-1)"},
        ApproachCase{"FractionalLanes", edited(kApproach, R"("through_lanes":2)", R"("through_lanes":2.0)"),
                     "invalid type: floating point `2.0`, expected u32", R"("through_lanes":2.0)"},
        ApproachCase{"PhaseNumberOver255", edited(kApproach, R"("phase_no":2)", R"("phase_no":256)"),
                     "invalid value: integer `256`, expected u8", R"("phase_no":256)"},
        ApproachCase{"NullRecallMax", edited(kApproach, R"("recall_max":true)", R"("recall_max":null)"),
                     "invalid type: null, expected a boolean", R"("recall_max":null)"},
        ApproachCase{"NullRequiredNumber", edited(kApproach, R"("grade_pct":-2)", R"("grade_pct":null)"),
                     "invalid type: null, expected f64", R"("grade_pct":null)"},
        ApproachCase{"ModeLetterCase", edited(kApproach, "\"ProtectedPermitted\"", "\"protected\""),
                     "unknown variant `protected`, expected one of `NotPresent`, `Protected`, `Permitted`, "
                     "`ProtectedPermitted`",
                     "\"protected\""},
        ApproachCase{"SequenceOutsideTheSeven", edited(kApproach, "\"LeadLag\"", "\"LeadPerm\""),
                     "unknown variant `LeadPerm`, expected one of `LeadLead`, `LeadLag`, `LagLead`, `LagLag`, "
                     "`PermLead`, `PermLag`, `PermPerm`",
                     "\"LeadPerm\""},
        ApproachCase{"ModeAsNumber", edited(kApproach, "\"ProtectedPermitted\"", "2"), "expected value",
                     R"("left_turn_mode":2)"},
        ApproachCase{"PhaseNotAnObject", edited(kApproach, R"("left_phase":{"phase_no":5)", R"("left_phase":7,"x":{"phase_no":5)"),
                     "invalid type: integer `7`, expected struct PhaseTiming", R"("left_phase":7)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SignalizedDocument, DocumentLevelFailures) {
    EXPECT_EQ(read_error(document(kApproach) + " x"), "trailing characters at line 3 column 4");
    EXPECT_EQ(read_error(""), "EOF while parsing a value at line 1 column 0");
    EXPECT_EQ(read_error("42"), "invalid type: integer `42`, expected struct SignalizedIntersection at line 1 column 2");
    EXPECT_EQ(read_error("[]"),
              "invalid length 0, expected struct SignalizedIntersection with 12 elements at line 1 column 2");
    const std::string no_through = kApproach.substr(0, kApproach.find(R"(,"through_phase")")) + "}";
    EXPECT_EQ(read_error(document(no_through)),
              "missing field `through_phase` at line 2 column " + std::to_string(no_through.size()));
}

TEST(SignalizedDocument, ArrayForms) {
    // An approach needs all 34 values; a phase timing its first eight; the document its seven inputs.
    const std::string approach = R"(["NB",120,540.5,80,0,0.92,2,3,1,1.33,1,0,0,50,10,1,2,0,false,true,12,-2,2,false,0,0,)"
                                 R"(200,450,35,true,"ProtectedPermitted","LeadLag",[5,15,3,1,12,2.5,null,null,4,40,true],)"
                                 R"([2,50,4,1,null,null,null,null]])";
    const auto by_key = intersection_from_json(document(kApproach));
    EXPECT_EQ(intersection_from_json(document(approach)), by_key);
    const std::string short_approach = approach.substr(0, approach.rfind(",[")) + "]";
    EXPECT_EQ(read_error(document(short_approach)),
              "invalid length 33, expected struct SignalApproach with 34 elements at line 2 column " +
                  std::to_string(short_approach.size()));
    EXPECT_EQ(record_error<PhaseTiming>("[3, 40, 4, 1.5]"),
              "invalid length 4, expected struct PhaseTiming with 11 elements at line 1 column 15");
    EXPECT_EQ(intersection_from_json(R"([90, 0.25, 1900, false, "PretimedSignal", 2, [)" + kApproach + "]]"), by_key);
    EXPECT_EQ(read_error(R"([90, 0.25, 1900, true, "ActuatedSignal", 2])"),
              "invalid length 6, expected struct SignalizedIntersection with 12 elements at line 1 column 43");
}

// ---- result records ----------------------------------------------------------------------------

// A freshly formed lane group: its five required values, every result without value.
LaneGroup group(Direction direction, LaneGroupKind kind, std::uint8_t phase_no, std::uint32_t lanes, double flow) {
    LaneGroup g;
    g.direction = direction;
    g.kind = kind;
    g.phase_no = phase_no;
    g.lanes = lanes;
    g.flow_rate = flow;
    return g;
}

constexpr char kGroupKeys[] = R"("direction":"EB","kind":"SharedRightThrough","phase_no":4,"lanes":1,"flow_rate":310)";

TEST(SignalizedResults, LaneGroupReadsWithItsRequiredKeysAloneAndWritesEveryKey) {
    const auto g = jsonio::read_document<LaneGroup>(std::string("{") + kGroupKeys + R"(,"los":null})");
    EXPECT_EQ(g, group(Direction::EB, LaneGroupKind::SharedRightThrough, 4, 1, 310.0));
    const std::string written = jsonio::write_document(g);
    std::string nulls;
    for (const char* key : {"sat_flow", "sat_flow_permitted", "effective_green_s", "g_p", "g_u", "g_f", "p_left_shared",
                            "p_right_shared", "proportion_on_green", "capacity", "available_capacity", "vc_ratio",
                            "k_factor", "uniform_delay_s", "incremental_delay_s", "initial_queue_delay_s",
                            "control_delay_s", "los", "q1_veh", "q2_veh", "q3_veh", "back_of_queue_veh",
                            "back_of_queue_95_veh", "queue_storage_ratio", "queue_storage_ratio_95"})
        nulls += std::string(",\"") + key + "\":null";
    EXPECT_EQ(written, edited(std::string("{") + kGroupKeys, "310", "310.0") + nulls + "}");
    // Over zero capacity the v/c ratio is infinite: written null, read back as NaN (the group's
    // LOS shows it was analysed).
    LaneGroup zero = g;
    zero.capacity = 0.0;
    zero.vc_ratio = kInf;
    zero.los = LevelOfService::F;
    const auto back = jsonio::read_document<LaneGroup>(jsonio::write_document(zero));
    EXPECT_EQ(back.capacity, 0.0);
    EXPECT_TRUE(std::isnan(*back.vc_ratio));
    EXPECT_EQ(back.los, LevelOfService::F);
}

TEST(SignalizedResults, ResultRecordReading) {
    // A flow or delay that was not a number is written null and reads back as NaN.
    const auto unbounded = jsonio::read_document<ApproachResult>(R"(["SB",null,null,"F"])");
    EXPECT_TRUE(std::isnan(unbounded.flow_rate) && std::isnan(unbounded.control_delay_s));
    EXPECT_TRUE(std::isnan(jsonio::read_document<LaneGroup>(edited(std::string("{") + kGroupKeys + "}", "310", "null")).flow_rate));
    const std::string result = R"({"direction":"WB","flow_rate":900,"control_delay_s":23.5)";
    EXPECT_EQ(record_error<LaneGroup>(edited(std::string("{") + kGroupKeys + "}", "4", "300")),
              "invalid value: integer `300`, expected u8 at line 1 column 60");
    EXPECT_EQ(record_error<LaneGroup>(R"({"direction":"EB","phase_no":4,"flow_rate":1})"),
              "missing field `kind` at line 1 column 45");
    EXPECT_EQ(record_error<LaneGroup>(R"(["EB","SharedRightThrough",4,1,310])"),
              "invalid length 5, expected struct LaneGroup with 30 elements at line 1 column 35");
    EXPECT_EQ(record_error<ApproachResult>(result + "}"), "missing field `los` at line 1 column 57");
    EXPECT_EQ(record_error<ApproachResult>(result + R"(,"los":null})"), "expected value at line 1 column 64");
    EXPECT_EQ(record_error<ApproachResult>("\"WB\""),
              "invalid type: string \"WB\", expected struct ApproachResult at line 1 column 4");
}

// Each lane group reads back as it was written, by its kind and what its approach gives: a
// permitted period of an exclusive left, the storage of its queue. NB has no green at all.
TEST(SignalizedResults, AnalysedLaneGroupsReadBackByTheirApproaches) {
    using signalized_fixtures::approach;
    using signalized_fixtures::phase;
    auto nb = approach(Direction::NB, phase(4, 5));
    nb.volume_left = 80;
    nb.volume_through = 400;
    nb.exclusive_left_lanes = 1;
    nb.left_turn_mode = LeftTurnMode::Protected;
    nb.left_turn_sequence = LeftTurnSequence::LeadLead;
    nb.left_phase = phase(7, 5);
    nb.storage_through_ft = 200;
    auto sb = approach(Direction::SB, phase(8, 40));
    sb.volume_left = 60;
    sb.volume_through = 500;
    sb.volume_right = 50;
    sb.exclusive_left_lanes = 1;
    sb.left_turn_mode = LeftTurnMode::Permitted;
    sb.shared_right_through_lane = true;
    sb.storage_left_ft = 100;
    SignalizedIntersection x = signalized_fixtures::intersection({nb, sb});
    analyze(x);
    ASSERT_TRUE(std::isinf(*x.intersection_delay_s));
    const SignalizedIntersection back = intersection_from_json(intersection_to_json(x));
    EXPECT_TRUE(std::isnan(*back.intersection_delay_s));
    EXPECT_EQ(back.critical_vc_ratio, x.critical_vc_ratio);
    constexpr std::optional<double> LaneGroup::*kOptional[] = {
        &LaneGroup::sat_flow, &LaneGroup::sat_flow_permitted, &LaneGroup::effective_green_s, &LaneGroup::g_p,
        &LaneGroup::g_u, &LaneGroup::g_f, &LaneGroup::p_left_shared, &LaneGroup::p_right_shared,
        &LaneGroup::proportion_on_green, &LaneGroup::capacity, &LaneGroup::available_capacity, &LaneGroup::vc_ratio,
        &LaneGroup::k_factor, &LaneGroup::uniform_delay_s, &LaneGroup::incremental_delay_s,
        &LaneGroup::initial_queue_delay_s, &LaneGroup::control_delay_s, &LaneGroup::q1_veh, &LaneGroup::q2_veh,
        &LaneGroup::q3_veh, &LaneGroup::back_of_queue_veh, &LaneGroup::back_of_queue_95_veh,
        &LaneGroup::queue_storage_ratio, &LaneGroup::queue_storage_ratio_95};
    ASSERT_EQ(back.lane_groups.size(), 5u);
    for (std::size_t g = 0; g < x.lane_groups.size(); ++g)
        for (std::size_t k = 0; k < std::size(kOptional); ++k)
            EXPECT_TRUE(reads_back_as(x.lane_groups[g].*kOptional[k], back.lane_groups[g].*kOptional[k]))
                << "lane group " << g << " value " << k;
    const LaneGroup& nb_left = back.lane_groups[0];  // protected, no green
    EXPECT_TRUE(std::isnan(*nb_left.control_delay_s));
    EXPECT_FALSE(nb_left.sat_flow_permitted || nb_left.queue_storage_ratio);
    EXPECT_TRUE(std::isnan(*back.lane_groups[1].queue_storage_ratio));  // NB through: no green, storage
}

// A document carrying results of every kind reads back into an equal record.
TEST(SignalizedResults, FullDocumentWithResultsRoundTrips) {
    SignalizedIntersection x = intersection_from_json(document(kApproach));
    LaneGroup g = group(Direction::NB, LaneGroupKind::ExclusiveLeft, 5, 2, 130.4347826086956);
    double v = 0.1;
    for (std::optional<double>* f :
         {&g.sat_flow, &g.sat_flow_permitted, &g.effective_green_s, &g.g_p, &g.g_u, &g.g_f, &g.p_left_shared,
          &g.p_right_shared, &g.proportion_on_green, &g.capacity, &g.available_capacity, &g.vc_ratio, &g.k_factor,
          &g.uniform_delay_s, &g.incremental_delay_s, &g.initial_queue_delay_s, &g.control_delay_s, &g.q1_veh,
          &g.q2_veh, &g.q3_veh, &g.back_of_queue_veh, &g.back_of_queue_95_veh, &g.queue_storage_ratio,
          &g.queue_storage_ratio_95})
        *f = v = v * 3.7 + 1e-3;
    g.los = LevelOfService::E;
    x.lane_groups = {g, LaneGroup{}};
    x.approach_results = {{Direction::NB, 740.25, 18.5, LevelOfService::B}};
    x.intersection_delay_s = 17.123456789;
    x.intersection_los = LevelOfService::B;
    x.critical_vc_ratio = 0.7;
    const std::string text = intersection_to_json(x);
    EXPECT_EQ(intersection_from_json(text), x);
    EXPECT_NE(text.find("\"lane_groups\":" + lane_groups_to_json(x.lane_groups) + ",\"approach_results\""),
              std::string::npos);
    EXPECT_EQ(lane_groups_to_json({}), "[]");
    EXPECT_EQ(actuated_phases_to_json({{2, 41.5, 36.5, 20.25, 3.5, 3.1, 0.125, 1.0}}),
              R"([{"phase_no":2,"duration_s":41.5,"green_s":36.5,"queue_service_s":20.25,"green_extension_s":3.5,)"
              R"("mah_star_s":3.1,"prob_max_out":0.125,"prob_call":1.0}])");
}

}  // namespace
