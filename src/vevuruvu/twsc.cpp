// Python class and function of HCM Chapter 20: Twsc, the two-way STOP-controlled intersection, and
// analyze_twsc_pedestrian, its pedestrian crossing.
#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <utility>

#include "base/format.hpp"
#include "hcm/twsc/computed_pb.hpp"
#include "hcm/twsc/pedestrian.hpp"
#include "hcm/twsc/twsc.hpp"
#include "vevuruvu/boundary/kit.hpp"
#include "vevuruvu/chapters.hpp"

namespace tw = hcm::twsc::twsc;

VEVURUVU_PYTHON_CLASS(tw::Twsc);

namespace vevuruvu::twsc {

namespace py = pybind11;
using namespace boundary;
using tw::PlatoonBlockage;
using tw::Twsc;
using tw::TwscMovementResult;

namespace {

constexpr char kClassDoc[] =
    "HCM Chapter 20 TWSC intersection analysis.\n\n"
    "Construct from a JSON configuration (demand by HCM Exhibit 20-1 movement number, geometry,\n"
    "PHF, heavy-vehicle percentage), call `analyze()`, then read per-movement and per-lane\n"
    "results. Each analysis starts from blank movement results, but uses a stored platoon\n"
    "blockage (given, or computed by an earlier analysis) as it is: it computes one from the\n"
    "upstream signals only when none is stored. A conflicting-flow override whose movement\n"
    "is not a label (\"7\", \"1U\", ...) is skipped. A minor-street lane or a major-street\n"
    "left turn or U-turn with demand but no capacity is LOS F with an infinite\n"
    "control delay and queue (null in JSON), and the approach and intersection delays follow\n"
    "it. Where the major through and right volumes saturate a shared left-turn lane (x >= 1),\n"
    "p*_0 is 1 without left-turn demand and 0 otherwise. `analyze()` raises ValueError\n"
    "\"too many platoon-profile steps: {}\" when the upstream signals' cycle holds more than\n"
    "1,000,000 time steps, leaving the object unchanged.\n\n"
    "The document's keys, units, defaults and words: docs/json-reference.md, section Twsc.";

using BlockageTuple = std::tuple<double, double, double, double, double, double, double, double>;

std::optional<BlockageTuple> platoon_blockage(const Twsc& t) {
    if (!t.platoon_blockage) return std::nullopt;
    const PlatoonBlockage& p = *t.platoon_blockage;
    return BlockageTuple{p.pb1, p.pb4, p.pb7, p.pb8, p.pb9, p.pb10, p.pb11, p.pb12};
}

void set_platoon_blockage(Twsc& t, double pb1, double pb4, double pb7, double pb8, double pb9, double pb10,
                          double pb11, double pb12) {
    t.platoon_blockage = PlatoonBlockage{pb1, pb4, pb7, pb8, pb9, pb10, pb11, pb12};
}

// A getter of one movement field by movement label.
template <class M>
auto movement_field(M TwscMovementResult::*field) {
    return [field](const Twsc& t, const std::string& movement) { return tw::movement_result(t, movement).*field; };
}

std::tuple<double, double, std::string, double> lane_result(const Twsc& t, const std::string& approach,
                                                            std::uint64_t lane) {
    const tw::TwscLaneResult& l = tw::lane_of(t, approach, lane);
    return {l.capacity, l.control_delay, l.los, l.queue_95};
}

std::string twsc_repr(const Twsc& t) {
    return std::string("Twsc(three_leg=") + (t.geometry.is_three_leg ? "true" : "false") +
           ", major_lanes=" + std::to_string(t.geometry.major_lanes_per_direction) +
           ", intersection_delay=" + base::debug_opt(t.intersection_delay) + ")";
}

}  // namespace

void register_(py::module_& m) {
    const auto movement = params(req<std::string>("movement"));
    ClassDef<Twsc>(m, "Twsc", kClassDoc)
        .method_mut("analyze", "Run the complete HCM Chapter 20 procedure (Steps 1-13).", tw::analyze)
        .property("phf", "Peak hour factor (None if demand values are flow rates).", &Twsc::phf, "phf")
        .property("heavy_vehicle_pct", "Heavy-vehicle percentage applied to all movements (%).",
                  &Twsc::heavy_vehicle_pct, "pct")
        .property("analysis_period_h", "Analysis period T, h.", &Twsc::analysis_period_h, "t")
        .method_mut("set_platoon_blockage",
                    "Store the proportions of time blocked by upstream platoons p_b,x used in\n"
                    "Step 5b (HCM Equations 20-19 to 20-21, Exhibit 20-19), as given (no range\n"
                    "check). Movements 1U and 4U use pb1 and pb4; the two-stage movements 7, 8,\n"
                    "10 and 11 take their Stage I and II values from pb1 and pb4. All zeros, or\n"
                    "never calling it, gives an analysis without platoons. Stored values, given\n"
                    "or computed, are replaced only by this method.",
                    params(req<double>("pb1"), req<double>("pb4"), req<double>("pb7"), req<double>("pb8"),
                           req<double>("pb9"), req<double>("pb10"), req<double>("pb11"), req<double>("pb12")),
                    set_platoon_blockage)
        .readonly("platoon_blockage",
                  "Stored proportions of time blocked (pb1, pb4, pb7, pb8, pb9, pb10, pb11,\n"
                  "pb12), or None. After `analyze()` with upstream signals and no stored\n"
                  "blockage, the values computed by the HCM Chapter 30, Section 3 procedure;\n"
                  "they then stay and serve every later analysis, whatever the signals become,\n"
                  "until `set_platoon_blockage` replaces them.",
                  platoon_blockage)
        .method_mut("set_upstream_signals",
                    "Store coordinated upstream-signal descriptors: the JSON text of one object\n"
                    "with cycle_s, eastbound and westbound signals (distance_ft,\n"
                    "progression_speed_mph, discharges, uniform_volume_veh_h) and time_step_s.\n"
                    "`analyze()` then computes the p_b,x (HCM Equation 30-13) when no blockage is\n"
                    "stored, and stores them; an explicit or earlier computed `platoon_blockage`\n"
                    "always takes precedence. A cycle of more than 1,000,000 time steps makes\n"
                    "`analyze()` raise ValueError.",
                    params(req<std::string>("config_json")),
                    [](Twsc& t, const std::string& text) {
                        t.upstream_signals = hcm::twsc::computed_pb::read_upstream_signals(text);
                    })
        .method_mut("clear_upstream_signals", "Clear any coordinated upstream-signal descriptors.",
                    [](Twsc& t) { t.upstream_signals.reset(); })
        .readonly("has_upstream_signals", "Whether coordinated upstream-signal descriptors are stored.",
                  [](const Twsc& t) { return t.upstream_signals.has_value(); })
        .method_mut("set_major_left_config",
                    "Set the major-street left-turn lane of approach \"EB\" (movements 1 and 1U)\n"
                    "or \"WB\" (movements 4 and 4U), HCM Step 7d: \"exclusive\" (default), \"shared\"\n"
                    "(the left turn shares the through lane, n_L = 0) or \"short_pocket\" (requires\n"
                    "storage_veh = n_L). A shared lane or short pocket triggers the p*_0,j\n"
                    "substitution of HCM Equations 20-29 to 20-34 and the Step 11b rank-1 delay.",
                    params(req<std::string>("approach"), req<std::string>("config"), opt<std::uint32_t>("storage_veh")),
                    [](Twsc& t, const std::string& approach, const std::string& config,
                       std::optional<std::uint32_t> storage) {
                        tw::set_major_left_config(t, approach, config, storage);
                    })
        .method("get_major_left_config",
                "Major-street left-turn lane of \"EB\" or \"WB\": (\"exclusive\", None),\n"
                "(\"shared\", None) or (\"short_pocket\", storage_veh).",
                params(req<std::string>("approach")),
                [](const Twsc& t, const std::string& approach) { return tw::major_left_config(t, approach); })
        .readonly("rank1_major_delay",
                  "Step 11b rank-1 delay (d_2+3, d_5+6) to major-street through vehicles sharing\n"
                  "a lane with a blocked left turn, s/veh (HCM Equations 20-62 and 20-63), EB\n"
                  "value first; None when both major left turns have exclusive lanes.",
                  [](const Twsc& t) -> std::optional<std::pair<double, double>> {
                      if (!t.rank1_major_delay) return std::nullopt;
                      return std::pair{(*t.rank1_major_delay)[0], (*t.rank1_major_delay)[1]};
                  })
        .method("get_flow_rate", "Demand flow rate of a movement (\"1\", \"1U\", ..., \"12\"), veh/h.", movement,
                movement_field(&TwscMovementResult::flow_rate))
        .method("get_conflicting_flow", "Conflicting flow rate v_c,x of a movement, veh/h (Step 3).", movement,
                movement_field(&TwscMovementResult::conflicting_flow))
        .method("get_potential_capacity", "Potential capacity c_p,x of a movement, veh/h (Equation 20-18).", movement,
                movement_field(&TwscMovementResult::potential_capacity))
        .method("get_movement_capacity", "Movement capacity c_m,x, veh/h (Steps 6-9).", movement,
                movement_field(&TwscMovementResult::movement_capacity))
        .method("get_movement_delay", "Control delay of an exclusive-lane movement, s/veh (Equation 20-61).", movement,
                movement_field(&TwscMovementResult::control_delay))
        .method("get_movement_los", "LOS letter of an exclusive-lane movement (Exhibit 20-2).", movement,
                movement_field(&TwscMovementResult::los))
        .method("get_movement_queue_95", "95th percentile queue of a movement, veh (Equation 20-66).", movement,
                movement_field(&TwscMovementResult::queue_95))
        .method("get_lane_count", "Number of minor-street approach lanes (\"NB\" or \"SB\").",
                params(req<std::string>("approach")),
                [](const Twsc& t, const std::string& approach) { return tw::lanes_of(t, approach).size(); })
        .method("get_lane_result", "(capacity veh/h, delay s/veh, LOS, Q95 veh) of a minor approach lane.",
                params(req<std::string>("approach"), req<std::uint64_t>("lane")), lane_result)
        .readonly("approach_delays", "Approach control delays [EB, WB, NB, SB], s/veh (Equation 20-64).",
                  &Twsc::approach_delays)
        .readonly("intersection_delay",
                  "Intersection control delay, s/veh (Equation 20-65). Note LOS is not\n"
                  "defined for a TWSC intersection as a whole.",
                  &Twsc::intersection_delay)
        .json_document({.param = "config_json",
                        .required = true,
                        .read = tw::read_twsc,
                        .read_error = "invalid TWSC JSON: ",
                        .write = tw::write_twsc,
                        .write_error = "serialize TWSC: ",
                        .to_json = "Full analysis (inputs + results) as JSON."})
        .repr(twsc_repr);
    add_function(m, "analyze_twsc_pedestrian",
                 "Analyze a pedestrian crossing of a TWSC intersection (HCM Chapter 20\n"
                 "pedestrian mode), made in one or more stages.\n\n"
                 "Args:\n"
                 "    config_json: JSON object with stages (a list of objects with\n"
                 "        crossing_length_ft, conflicting_flow_veh_h and through_lanes),\n"
                 "        walk_speed_fps, startup_clearance_s, motorist_yield_rate,\n"
                 "        pedestrian_platooning, crosswalk_width_ft, pedestrian_flow_p_h,\n"
                 "        peak_hour_volume_veh_h, k_factor, aadt_veh, has_rrfb,\n"
                 "        has_marked_crosswalk and has_median_refuge; every key is optional.\n\n"
                 "Returns:\n"
                 "    JSON object with the per-stage gap-acceptance results (critical headway,\n"
                 "    platooning, blocked-lane and delayed-crossing probabilities, gap delays,\n"
                 "    yielding events and their probabilities, delay), the crossing delay and its\n"
                 "    interpretation, the crossing-satisfaction probabilities, the share of\n"
                 "    dissatisfied pedestrians and the LOS letter.\n\n"
                 "Raises:\n"
                 "    ValueError: if the config is malformed, or the crossing has more than\n"
                 "        100,000 stages or counts more than 100,000 potential yielding\n"
                 "        events, in one stage or over all its stages together (an absurd\n"
                 "        crossing).",
                 params(req<std::string>("config_json")),
                 [](const std::string& config) { return hcm::twsc::pedestrian::analyze_twsc_pedestrian(config); });
}

}  // namespace vevuruvu::twsc
