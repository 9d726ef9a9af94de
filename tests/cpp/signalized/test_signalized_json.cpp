#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "../support/checks.hpp"
#include "hcm/signalized/signalized.hpp"
#include "json/jsonio.hpp"

using namespace hcm::signalized::signalized;
using namespace testing_support;

namespace {

// The keys of a JSON object as raw JSON texts, in order; edited by the tests, then printed.
using Fields = std::vector<std::pair<std::string, std::string>>;

std::string object(const Fields& fields) {
    std::string out = "{";
    for (const auto& [key, value] : fields) {
        if (out.size() > 1) out += ',';
        out += '"' + key + "\":" + value;
    }
    return out + "}";
}

Fields without(Fields fields, const std::vector<std::string>& keys) {
    for (const std::string& k : keys) std::erase_if(fields, [&](const auto& f) { return f.first == k; });
    return fields;
}

// Replaces the value of `key` (appending the key when absent).
Fields with(Fields fields, const std::string& key, const std::string& value) {
    for (auto& f : fields)
        if (f.first == key) {
            f.second = value;
            return fields;
        }
    fields.emplace_back(key, value);
    return fields;
}

// The fields with `key` given once more at the end.
Fields appended(Fields fields, const std::string& key, const std::string& value) {
    fields.emplace_back(key, value);
    return fields;
}

constexpr char kThroughPhase[] = R"({"phase_no":2,"duration_s":50,"yellow_s":4,"red_clearance_s":1})";
constexpr char kLeftPhase[] =
    R"({"phase_no":5,"duration_s":15,"yellow_s":3,"red_clearance_s":1,"max_green_s":12,"passage_time_s":2.5,)"
    R"("walk_s":null,"ped_clear_s":null,"min_green_s":4,"detector_length_ft":40,"recall_max":true})";

// A complete approach, every key given (the four optional ones with a value).
Fields full_approach() {
    return {{"direction", "\"NB\""},
            {"volume_left", "120"},
            {"volume_through", "540.5"},
            {"volume_right", "80"},
            {"volume_rtor", "0"},
            {"peak_hour_factor", "0.92"},
            {"pct_heavy_vehicles_left", "2"},
            {"pct_heavy_vehicles_through", "3"},
            {"platoon_ratio_left", "1"},
            {"platoon_ratio_through", "1.33"},
            {"upstream_filtering_i", "1"},
            {"initial_queue_through_veh", "0"},
            {"initial_queue_left_veh", "0"},
            {"ped_flow_ph", "50"},
            {"bike_flow_ph", "10"},
            {"exclusive_left_lanes", "1"},
            {"through_lanes", "2"},
            {"exclusive_right_lanes", "0"},
            {"shared_left_through_lane", "false"},
            {"shared_right_through_lane", "true"},
            {"lane_width_ft", "12"},
            {"grade_pct", "-2"},
            {"receiving_lanes", "2"},
            {"parking_present", "false"},
            {"parking_maneuvers_h", "0"},
            {"bus_stops_h", "0"},
            {"storage_left_ft", "200"},
            {"storage_through_ft", "450"},
            {"speed_limit_mph", "35"},
            {"opposing_right_turn_influences_gaps", "true"},
            {"left_turn_mode", "\"ProtectedPermitted\""},
            {"left_turn_sequence", "\"LeadLag\""},
            {"left_phase", kLeftPhase},
            {"through_phase", kThroughPhase}};
}

Fields required_approach() {
    return without(full_approach(), {"peak_hour_factor", "storage_left_ft", "storage_through_ft", "left_phase"});
}

constexpr char kHead[] =
    R"({"cycle_length_s":90,"analysis_period_h":0.25,"base_saturation_flow":1900,"area_type_cbd":false,)"
    R"("control":"PretimedSignal","sneakers_per_cycle":2,"approaches":[)";

// The document head on line 1, each approach on a line of its own (so that a failure inside an
// approach is reported on its line), and the closing brackets on the last line.
std::string document(const std::vector<Fields>& approaches) {
    std::string out = kHead;
    for (std::size_t i = 0; i < approaches.size(); ++i) out += (i > 0 ? ",\n" : "\n") + object(approaches[i]);
    return out + "\n]}";
}

// Where a failure on line `line` of `text` at the last byte of the first `needle` is reported.
std::string at_end_of(const std::string& text, const std::string& needle, int line) {
    std::size_t line_start = 0;
    for (int l = 1; l < line; ++l) line_start = text.find('\n', line_start) + 1;
    const std::size_t pos = text.find(needle, line_start);
    return " at line " + std::to_string(line) + " column " + std::to_string(pos - line_start + needle.size());
}

std::string read_error(const std::string& text) {
    return error_of<jsonio::Error>([&] { return intersection_from_json(text); });
}

template <class T>
std::string record_error(const std::string& text) {
    return error_of<jsonio::Error>([&] { return jsonio::read_document<T>(text); });
}

TEST(SignalizedDocument, MinimalDocumentReadsWithEmptyResultsAndWritesThemAsNull) {
    const SignalizedIntersection x = intersection_from_json(document({required_approach()}));
    EXPECT_EQ(x.cycle_length_s, 90.0);
    EXPECT_EQ(x.analysis_period_h, 0.25);
    EXPECT_EQ(x.base_saturation_flow, 1900.0);
    EXPECT_EQ(x.control, ControlType::PretimedSignal);
    ASSERT_EQ(x.approaches.size(), 1u);
    const SignalApproach& a = x.approaches[0];
    EXPECT_EQ(a.direction, Direction::NB);
    EXPECT_EQ(a.volume_through, 540.5);
    EXPECT_EQ(a.through_lanes, 2u);
    EXPECT_TRUE(a.shared_right_through_lane);
    EXPECT_EQ(a.grade_pct, -2.0);
    EXPECT_EQ(a.left_turn_mode, LeftTurnMode::ProtectedPermitted);
    EXPECT_EQ(a.left_turn_sequence, LeftTurnSequence::LeadLag);
    EXPECT_FALSE(a.peak_hour_factor || a.storage_left_ft || a.storage_through_ft || a.left_phase);
    EXPECT_EQ(a.through_phase.phase_no, 2);
    EXPECT_FALSE(a.through_phase.recall_max);
    EXPECT_FALSE(a.through_phase.max_green_s || a.through_phase.min_green_s || a.through_phase.detector_length_ft);
    EXPECT_TRUE(x.lane_groups.empty());
    EXPECT_TRUE(x.approach_results.empty());
    EXPECT_FALSE(x.intersection_delay_s || x.intersection_los || x.critical_vc_ratio);

    EXPECT_EQ(intersection_to_json(x),
              R"({"cycle_length_s":90.0,"analysis_period_h":0.25,"base_saturation_flow":1900.0,"area_type_cbd":false,)"
              R"("control":"PretimedSignal","sneakers_per_cycle":2.0,"approaches":[{"direction":"NB","volume_left":120.0,)"
              R"("volume_through":540.5,"volume_right":80.0,"volume_rtor":0.0,"peak_hour_factor":null,)"
              R"("pct_heavy_vehicles_left":2.0,"pct_heavy_vehicles_through":3.0,"platoon_ratio_left":1.0,)"
              R"("platoon_ratio_through":1.33,"upstream_filtering_i":1.0,"initial_queue_through_veh":0.0,)"
              R"("initial_queue_left_veh":0.0,"ped_flow_ph":50.0,"bike_flow_ph":10.0,"exclusive_left_lanes":1,)"
              R"("through_lanes":2,"exclusive_right_lanes":0,"shared_left_through_lane":false,)"
              R"("shared_right_through_lane":true,"lane_width_ft":12.0,"grade_pct":-2.0,"receiving_lanes":2,)"
              R"("parking_present":false,"parking_maneuvers_h":0.0,"bus_stops_h":0.0,"storage_left_ft":null,)"
              R"("storage_through_ft":null,"speed_limit_mph":35.0,"opposing_right_turn_influences_gaps":true,)"
              R"("left_turn_mode":"ProtectedPermitted","left_turn_sequence":"LeadLag","left_phase":null,)"
              R"("through_phase":{"phase_no":2,"duration_s":50.0,"yellow_s":4.0,"red_clearance_s":1.0,)"
              R"("max_green_s":null,"passage_time_s":null,"walk_s":null,"ped_clear_s":null,"min_green_s":null,)"
              R"("detector_length_ft":null,"recall_max":false}}],"lane_groups":[],"approach_results":[],)"
              R"("intersection_delay_s":null,"intersection_los":null,"critical_vc_ratio":null})");
}

TEST(SignalizedDocument, EveryControlWordAndBothWordFormsRead) {
    for (const char* control : {"PretimedSignal", "ActuatedSignal", "SemiActuatedSignal", "TwoWayStop", "AllWayStop",
                                "Roundabout", "YieldControl"}) {
        std::string text = document({full_approach()});
        const std::string from = "\"PretimedSignal\"";
        text.replace(text.find(from), from.size(), std::string("\"") + control + "\"");
        EXPECT_EQ(base::name_of(intersection_from_json(text).control), control);
    }
    const auto a = intersection_from_json(document({with(full_approach(), "left_turn_mode", R"({"Permitted":null})")}));
    EXPECT_EQ(a.approaches.at(0).left_turn_mode, LeftTurnMode::Permitted);
}

TEST(SignalizedDocument, UnknownKeysAreSkippedAtEveryLevelAndNotWritten) {
    const std::string phase = R"({"phase_no":2,"duration_s":50,"yellow_s":4,"red_clearance_s":1,"note":[1,{"x":2}]})";
    std::string text = document({with(with(full_approach(), "through_phase", phase), "comment", R"({"a":null})")});
    text.insert(1, R"("name":"Main & 1st",)");
    const SignalizedIntersection x = intersection_from_json(text);
    EXPECT_EQ(x, intersection_from_json(document({full_approach()})));
    const std::string out = intersection_to_json(x);
    EXPECT_EQ(out.find("name"), std::string::npos);
    EXPECT_EQ(out.find("comment"), std::string::npos);
    EXPECT_EQ(out.find("note"), std::string::npos);
}

TEST(SignalizedDocument, WrittenDocumentReadsBackToTheSameText) {
    const SignalizedIntersection x = intersection_from_json(document({full_approach(), required_approach()}));
    const std::string once = intersection_to_json(x);
    const SignalizedIntersection again = intersection_from_json(once);
    EXPECT_EQ(again, x);
    EXPECT_EQ(intersection_to_json(again), once);
    EXPECT_EQ(again.approaches.at(0).left_phase->passage_time_s, 2.5);
    EXPECT_TRUE(again.approaches.at(0).left_phase->recall_max);
}

TEST(SignalizedDocument, TrailingTextFailsButTrailingWhitespaceIsAccepted) {
    const std::string text = document({full_approach()});
    EXPECT_EQ(read_error(text + "\n \t\r\n"), kNoError);
    EXPECT_EQ(read_error(text + " x"), "trailing characters at line 3 column 4");
    EXPECT_EQ(read_error(""), "EOF while parsing a value at line 1 column 0");
    EXPECT_EQ(read_error("42"), "invalid type: integer `42`, expected struct SignalizedIntersection at line 1 column 2");
    EXPECT_EQ(read_error("[]"),
              "invalid length 0, expected struct SignalizedIntersection with 12 elements at line 1 column 2");
}

// A failure inside the approach on line 2, reported at a place found in the text.
struct ApproachCase {
    const char* name;
    Fields approach;
    std::string message;
    std::string at;  // the failure is at the last byte of this text on line 2
};

std::ostream& operator<<(std::ostream& os, const ApproachCase& c) { return os << c.name; }

class ApproachFailure : public ::testing::TestWithParam<ApproachCase> {};

TEST_P(ApproachFailure, FailsWithItsMessageAndPosition) {
    const ApproachCase& c = GetParam();
    const std::string text = document({c.approach});
    EXPECT_EQ(read_error(text), c.message + at_end_of(text, c.at, 2));
}

const std::string kLastKey = std::string(R"("through_phase":)") + kThroughPhase + "}";

INSTANTIATE_TEST_SUITE_P(
    SignalizedDocument, ApproachFailure,
    ::testing::Values(
        ApproachCase{"MissingRtor", without(full_approach(), {"volume_rtor"}), "missing field `volume_rtor`", kLastKey},
        ApproachCase{"FirstMissingInOrder", without(full_approach(), {"volume_left", "direction"}),
                     "missing field `direction`", kLastKey},
        ApproachCase{"MissingThroughPhase", without(full_approach(), {"through_phase"}),
                     "missing field `through_phase`", R"("left_phase":)" + std::string(kLeftPhase) + "}"},
        ApproachCase{"DuplicateKey", appended(full_approach(), "through_lanes", "2"),
                     "duplicate field `through_lanes`", R"(},"through_lanes")"},
        ApproachCase{"NegativeLanes", with(full_approach(), "through_lanes", "-1"),
                     "invalid value: integer `-1`, expected u32", R"("through_lanes":-1)"},
        ApproachCase{"FractionalLanes", with(full_approach(), "through_lanes", "2.0"),
                     "invalid type: floating point `2.0`, expected u32", R"("through_lanes":2.0)"},
        ApproachCase{"PhaseNumberOver255",
                     with(full_approach(), "through_phase",
                          R"({"phase_no":256,"duration_s":50,"yellow_s":4,"red_clearance_s":1})"),
                     "invalid value: integer `256`, expected u8", R"("phase_no":256)"},
        ApproachCase{"NullRecallMax",
                     with(full_approach(), "through_phase",
                          R"({"phase_no":2,"duration_s":50,"yellow_s":4,"red_clearance_s":1,"recall_max":null})"),
                     "invalid type: null, expected a boolean", R"("recall_max":null)"},
        ApproachCase{"NullRequiredNumber", with(full_approach(), "grade_pct", "null"),
                     "invalid type: null, expected f64", R"("grade_pct":null)"},
        ApproachCase{"StringForNumber", with(full_approach(), "volume_left", "\"120\""),
                     "invalid type: string \"120\", expected f64", R"("volume_left":"120")"},
        ApproachCase{"ModeLetterCase", with(full_approach(), "left_turn_mode", "\"protected\""),
                     "unknown variant `protected`, expected one of `NotPresent`, `Protected`, `Permitted`, "
                     "`ProtectedPermitted`",
                     R"("left_turn_mode":"protected")"},
        ApproachCase{"SequenceOutsideTheSeven", with(full_approach(), "left_turn_sequence", "\"LeadPerm\""),
                     "unknown variant `LeadPerm`, expected one of `LeadLead`, `LeadLag`, `LagLead`, `LagLag`, "
                     "`PermLead`, `PermLag`, `PermPerm`",
                     R"("left_turn_sequence":"LeadPerm")"},
        ApproachCase{"ModeAsNumber", with(full_approach(), "left_turn_mode", "2"), "expected value",
                     R"("left_turn_mode":2)"},
        ApproachCase{"DirectionAsNull", with(full_approach(), "direction", "null"), "expected value",
                     R"({"direction":n)"},
        ApproachCase{"UnknownDirection", with(full_approach(), "direction", "\"N\""),
                     "unknown variant `N`, expected one of `NB`, `SB`, `EB`, `WB`", R"({"direction":"N")"},
        ApproachCase{"PhaseNotAnObject", with(full_approach(), "through_phase", "true"),
                     "invalid type: boolean `true`, expected struct PhaseTiming", R"("through_phase":true)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SignalizedDocument, ArrayForms) {
    // An approach needs all 34 values, optional ones as null.
    std::string values;
    for (const auto& [key, value] : full_approach()) values += (values.empty() ? "" : ",") + value;
    const std::string as_array = "[" + values + "]";
    const auto by_key = intersection_from_json(document({full_approach()}));
    std::string text = kHead + ("\n" + as_array + "\n]}");
    EXPECT_EQ(intersection_from_json(text), by_key);
    const std::string short_array = as_array.substr(0, as_array.rfind(",{")) + "]";
    text = kHead + ("\n" + short_array + "\n]}");
    EXPECT_EQ(read_error(text), "invalid length 33, expected struct SignalApproach with 34 elements at line 2 column " +
                                    std::to_string(short_array.size()));

    // A phase timing needs its first eight values; the last three take no value, no value, false.
    const auto phase = jsonio::read_document<PhaseTiming>("[3, 40, 4, 1.5, 30, null, 7, 12]");
    EXPECT_EQ(phase.phase_no, 3);
    EXPECT_EQ(phase.red_clearance_s, 1.5);
    EXPECT_EQ(phase.max_green_s, 30.0);
    EXPECT_FALSE(phase.passage_time_s);
    EXPECT_EQ(phase.ped_clear_s, 12.0);
    EXPECT_FALSE(phase.min_green_s || phase.detector_length_ft || phase.recall_max);
    EXPECT_EQ(record_error<PhaseTiming>("[3, 40, 4, 1.5]"),
              "invalid length 4, expected struct PhaseTiming with 11 elements at line 1 column 15");
    EXPECT_EQ(record_error<PhaseTiming>("[3, 40, 4, 1.5, null, null, null, null, null, null, false, 1]"),
              "trailing characters at line 1 column 60");

    // The document needs its seven inputs; the five results may be left off.
    text = R"([90, 0.25, 1900, true, "ActuatedSignal", 2, [)" + object(full_approach()) + "]]";
    const auto x = intersection_from_json(text);
    EXPECT_TRUE(x.area_type_cbd);
    EXPECT_EQ(x.control, ControlType::ActuatedSignal);
    EXPECT_EQ(x.approaches, by_key.approaches);
    EXPECT_EQ(read_error(R"([90, 0.25, 1900, true, "ActuatedSignal", 2])"),
              "invalid length 6, expected struct SignalizedIntersection with 12 elements at line 1 column 43");
}

// ---- result records ----------------------------------------------------------------------------

constexpr char kGroupKeys[] = R"("direction":"EB","kind":"SharedRightThrough","phase_no":4,"lanes":1,"flow_rate":310)";

TEST(SignalizedResults, LaneGroupWithOnlyItsRequiredKeys) {
    const auto g = jsonio::read_document<LaneGroup>(std::string("{") + kGroupKeys + "}");
    EXPECT_EQ(g.direction, Direction::EB);
    EXPECT_EQ(g.kind, LaneGroupKind::SharedRightThrough);
    EXPECT_EQ(g.phase_no, 4);
    EXPECT_EQ(g.lanes, 1u);
    EXPECT_EQ(g.flow_rate, 310.0);
    LaneGroup expected;
    expected.direction = Direction::EB;
    expected.kind = LaneGroupKind::SharedRightThrough;
    expected.phase_no = 4;
    expected.lanes = 1;
    expected.flow_rate = 310;
    EXPECT_EQ(g, expected);  // the 25 optional fields without value

    const std::string written = jsonio::write_document(g);
    EXPECT_EQ(written,
              R"({"direction":"EB","kind":"SharedRightThrough","phase_no":4,"lanes":1,"flow_rate":310.0,"sat_flow":null,)"
              R"("sat_flow_permitted":null,"effective_green_s":null,"g_p":null,"g_u":null,"g_f":null,)"
              R"("p_left_shared":null,"p_right_shared":null,"proportion_on_green":null,"capacity":null,)"
              R"("available_capacity":null,"vc_ratio":null,"k_factor":null,"uniform_delay_s":null,)"
              R"("incremental_delay_s":null,"initial_queue_delay_s":null,"control_delay_s":null,"los":null,)"
              R"("q1_veh":null,"q2_veh":null,"q3_veh":null,"back_of_queue_veh":null,"back_of_queue_95_veh":null,)"
              R"("queue_storage_ratio":null,"queue_storage_ratio_95":null})");
    // The array form takes all 30 values.
    std::string array = "[\"EB\",\"SharedRightThrough\",4,1,310";
    for (int i = 0; i < 25; ++i) array += ",null";
    EXPECT_EQ(jsonio::read_document<LaneGroup>(array + "]"), g);
    EXPECT_EQ(record_error<LaneGroup>(R"(["EB","SharedRightThrough",4,1,310])"),
              "invalid length 5, expected struct LaneGroup with 30 elements at line 1 column 35");
}

TEST(SignalizedResults, InfiniteVcRatioIsWrittenNullAndReadsBackWithoutValue) {
    LaneGroup g;
    g.capacity = 0.0;
    g.vc_ratio = kInf;
    g.control_delay_s = kNaN;
    g.los = hcm::common::LevelOfService::F;
    const std::string written = jsonio::write_document(g);
    EXPECT_NE(written.find(R"("vc_ratio":null)"), std::string::npos);
    EXPECT_NE(written.find(R"("control_delay_s":null,"los":"F")"), std::string::npos);
    const auto back = jsonio::read_document<LaneGroup>(written);
    EXPECT_EQ(back.capacity, 0.0);
    EXPECT_FALSE(back.vc_ratio);
    EXPECT_FALSE(back.control_delay_s);
    EXPECT_EQ(back.los, hcm::common::LevelOfService::F);
}

struct RecordCase {
    const char* name;
    std::string text;
    std::string message;
};

std::ostream& operator<<(std::ostream& os, const RecordCase& c) { return os << c.name; }

class LaneGroupFailure : public ::testing::TestWithParam<RecordCase> {};
TEST_P(LaneGroupFailure, FailsWithItsMessage) { EXPECT_EQ(record_error<LaneGroup>(GetParam().text), GetParam().message); }

INSTANTIATE_TEST_SUITE_P(
    SignalizedResults, LaneGroupFailure,
    ::testing::Values(
        RecordCase{"PhaseNumberOver255", R"({"direction":"EB","kind":"ExclusiveRight","phase_no":300,"lanes":1,"flow_rate":1})",
                   "invalid value: integer `300`, expected u8 at line 1 column 56"},
        RecordCase{"FirstMissingKeyInOrder", R"({"direction":"EB","phase_no":4,"flow_rate":1})",
                   "missing field `kind` at line 1 column 45"},
        RecordCase{"KindLetterCase", R"({"direction":"EB","kind":"exclusiveRight"})",
                   "unknown variant `exclusiveRight`, expected one of `ExclusiveLeft`, `SharedLeftThrough`, "
                   "`ExclusiveThrough`, `SharedRightThrough`, `ExclusiveRight` at line 1 column 41"},
        RecordCase{"KindNull", R"({"direction":"EB","kind":null})", "expected value at line 1 column 26"},
        RecordCase{"LosNotAWord", std::string("{") + kGroupKeys + R"(,"los":1})", "expected value at line 1 column 92"},
        RecordCase{"NotARecord", R"("EB")", "invalid type: string \"EB\", expected struct LaneGroup at line 1 column 4"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SignalizedResults, LaneGroupLosMayBeNullButAnApproachLosMayNot) {
    EXPECT_FALSE(jsonio::read_document<LaneGroup>(std::string("{") + kGroupKeys + R"(,"los":null})").los);
    const auto r = jsonio::read_document<ApproachResult>(R"({"direction":"WB","flow_rate":900,"control_delay_s":23.5,"los":"C"})");
    EXPECT_EQ(r, (ApproachResult{Direction::WB, 900.0, 23.5, hcm::common::LevelOfService::C}));
    EXPECT_EQ(jsonio::read_document<ApproachResult>(R"(["WB",900,23.5,{"C":null}])"), r);
    EXPECT_EQ(record_error<ApproachResult>(R"({"direction":"WB","flow_rate":900,"control_delay_s":23.5})"),
              "missing field `los` at line 1 column 57");
    EXPECT_EQ(record_error<ApproachResult>(R"({"direction":"WB","flow_rate":900,"control_delay_s":23.5,"los":null})"),
              "expected value at line 1 column 64");
    EXPECT_EQ(record_error<ApproachResult>(R"({"direction":"WB","flow_rate":900,"control_delay_s":23.5,"los":"G"})"),
              "unknown variant `G`, expected one of `A`, `B`, `C`, `D`, `E`, `F` at line 1 column 66");
    EXPECT_EQ(record_error<ApproachResult>(R"(["WB",900,23.5])"),
              "invalid length 3, expected struct ApproachResult with 4 elements at line 1 column 15");
}

TEST(SignalizedResults, ActuatedPhasesAreWrittenInTheirKeyOrder) {
    EXPECT_EQ(actuated_phases_to_json({}), "[]");
    EXPECT_EQ(actuated_phases_to_json({{2, 41.5, 36.5, 20.25, 3.5, 3.1, 0.125, 1.0}}),
              R"([{"phase_no":2,"duration_s":41.5,"green_s":36.5,"queue_service_s":20.25,"green_extension_s":3.5,)"
              R"("mah_star_s":3.1,"prob_max_out":0.125,"prob_call":1.0}])");
}

// A document carrying results of every kind reads back into an equal record, and a new object
// built from it starts with them in place.
TEST(SignalizedResults, FullDocumentWithResultsRoundTrips) {
    SignalizedIntersection x = intersection_from_json(document({full_approach(), with(required_approach(), "direction", "\"SB\"")}));
    LaneGroup g;
    g.direction = Direction::SB;
    g.kind = LaneGroupKind::ExclusiveLeft;
    g.phase_no = 5;
    g.lanes = 2;
    g.flow_rate = 130.4347826086956;
    double v = 0.1;
    for (std::optional<double>* f :
         {&g.sat_flow, &g.sat_flow_permitted, &g.effective_green_s, &g.g_p, &g.g_u, &g.g_f, &g.p_left_shared,
          &g.p_right_shared, &g.proportion_on_green, &g.capacity, &g.available_capacity, &g.vc_ratio, &g.k_factor,
          &g.uniform_delay_s, &g.incremental_delay_s, &g.initial_queue_delay_s, &g.control_delay_s, &g.q1_veh,
          &g.q2_veh, &g.q3_veh, &g.back_of_queue_veh, &g.back_of_queue_95_veh, &g.queue_storage_ratio,
          &g.queue_storage_ratio_95}) {
        *f = v;
        v = v * 3.7 + 1e-3;
    }
    g.los = hcm::common::LevelOfService::E;
    LaneGroup bare;
    bare.kind = LaneGroupKind::ExclusiveThrough;
    x.lane_groups = {g, bare};
    x.approach_results = {{Direction::NB, 740.25, 18.5, hcm::common::LevelOfService::B},
                          {Direction::SB, 0.0, 0.0, hcm::common::LevelOfService::A}};
    x.intersection_delay_s = 17.123456789;
    x.intersection_los = hcm::common::LevelOfService::B;
    x.critical_vc_ratio = 0.7;
    const std::string text = intersection_to_json(x);
    const SignalizedIntersection back = intersection_from_json(text);
    EXPECT_EQ(back, x);
    EXPECT_EQ(intersection_to_json(back), text);
    EXPECT_EQ(lane_groups_to_json(back.lane_groups), jsonio::write_document(x.lane_groups));
    EXPECT_EQ(lane_groups_to_json({}), "[]");
}

}  // namespace
