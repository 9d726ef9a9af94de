// Python classes and functions of HCM Chapter 23: Interchange (signalized interchange ramp
// terminals), AlternativeIntersection (RCUT and MUT), DisplacedLeftTurn and dlt_offset.
#include <string>
#include <tuple>
#include <vector>

#include "base/format.hpp"
#include "base/options.hpp"
#include "hcm/ramp_terminals/alternative_intersections.hpp"
#include "hcm/ramp_terminals/ramp_terminals.hpp"
#include "vevuruvu/boundary/kit.hpp"
#include "vevuruvu/chapters.hpp"

namespace rt = hcm::ramp_terminals::ramp_terminals;
namespace ai = hcm::ramp_terminals::alternative_intersections;

VEVURUVU_PYTHON_CLASS(rt::Interchange);
VEVURUVU_PYTHON_CLASS(ai::AlternativeIntersection);
VEVURUVU_PYTHON_CLASS(ai::DisplacedLeftTurn);

namespace vevuruvu::ramp_terminals {

namespace py = pybind11;
using namespace boundary;

namespace {

std::string interchange_repr(const rt::Interchange& ix) {
    return "Interchange(form=" + std::string(base::name_of(ix.form)) +
           ", ett=" + base::debug_opt(ix.interchange_ett_s) + ", los=" + hcm::common::debug_opt(ix.interchange_los) + ")";
}

std::vector<hcm::ramp_terminals::exhibits::OdMovement> od_movements(const rt::Interchange& ix) {
    std::vector<hcm::ramp_terminals::exhibits::OdMovement> out;
    out.reserve(ix.od_results.size());
    for (const rt::OdResult& r : ix.od_results) out.push_back(r.movement);
    return out;
}

void register_interchange(py::module_& m) {
    using rt::Interchange;
    ClassDef<Interchange>(m, "Interchange",
                          "HCM Chapter 23 signalized interchange ramp terminal analysis\n"
                          "(diamond / parclo / SPUI / DDI).\n\n"
                          "Constructed from a JSON configuration of the interchange (interchange form,\n"
                          "cycle, O-D demands, per-lane-group geometry and signal timing); call\n"
                          "`analyze()`, then read the per-O-D and interchange results. Without any\n"
                          "O-D result (every O-D demand 0, say) the interchange ETT and LOS stay as\n"
                          "the document gave them.\n\n"
                          "The document's keys, units, defaults and words: docs/json-reference.md, section\n"
                          "Interchange.")
        .method_mut("analyze", "Run the complete HCM Chapter 23 Part B procedure (Steps 1-9 of\nExhibit 23-22).",
                    rt::analyze)
        .property("cycle_length", "Cycle length C, s.", &Interchange::cycle_length_s, "c")
        .property("peak_hour_factor", "Peak hour factor applied to the O-D demands.", &Interchange::peak_hour_factor,
                  "phf")
        .readonly("interchange_ett",
                  "Demand-weighted interchange experienced travel time ETT, s/veh\n(Equation 23-52).",
                  &Interchange::interchange_ett_s)
        .readonly("interchange_los", "Interchange LOS letter (Exhibit 23-10).", &Interchange::interchange_los)
        .method("get_od_movements", "O-D letters (subset of A..N) that carry demand and have results.", od_movements)
        .method("get_od_result",
                "(demand veh/h, control delay s/veh, EDTT s/veh, ETT s/veh, LOS)\n"
                "for an O-D movement letter (Exhibit 23-10 basis).",
                params(req<std::string>("letter")),
                [](const Interchange& ix, const std::string& letter) {
                    const rt::OdResult& r = rt::od_result(ix, letter);
                    return std::tuple{r.demand, r.control_delay_s, r.edtt_s, r.ett_s, r.los};
                })
        .method("get_lane_group_result",
                "(flow veh/h, saturation flow veh/h, effective green s, capacity\n"
                "veh/h, v/c, control delay s/veh) for a lane group movement name\n"
                "(e.g. \"EbExtThrough\", \"NbRampLeft\").",
                params(req<std::string>("movement")),
                [](const Interchange& ix, const std::string& movement) {
                    const rt::LaneGroupResult& r = rt::lane_group_result(ix, movement);
                    return std::tuple{r.flow_rate,
                                      r.sat_flow.value_or(0.0),
                                      r.effective_green_s.value_or(0.0),
                                      r.capacity.value_or(0.0),
                                      r.vc_ratio.value_or(0.0),
                                      r.control_delay_s.value_or(0.0)};
                })
        .method("get_queue_storage_ratio",
                "Queue storage ratio R_Q of a lane group (None when no storage\n"
                "length was supplied).",
                params(req<std::string>("movement")), rt::queue_storage_ratio)
        .json_document({.param = "config_json",
                        .required = true,
                        .read = rt::read_interchange,
                        .read_error = "invalid interchange JSON: ",
                        .write = rt::write_interchange,
                        .write_error = "serialize interchange: ",
                        .to_json = "Full analysis (inputs + results) as JSON."})
        .repr(interchange_repr);
}

std::string alternative_repr(const ai::AlternativeIntersection& x) {
    return "AlternativeIntersection(form=" + std::string(base::name_of(x.form)) +
           ", ett=" + base::debug_opt(ai::intersection_ett(x)) + ")";
}

void register_alternative_intersection(py::module_& m) {
    using ai::AlternativeIntersection;
    ClassDef<AlternativeIntersection>(
        m, "AlternativeIntersection",
        "HCM Chapter 23, Part C: RCUT or MUT alternative-intersection analysis.\n\n"
        "Constructed from a JSON configuration (form and per-movement junction journeys\n"
        "with EDTT); read the per-movement experienced travel time and LOS and the\n"
        "approach and intersection aggregations (Equations 23-60 through 23-62, LOS\n"
        "from Exhibit 23-13).\n\n"
        "The document's keys, units, defaults and words: docs/json-reference.md, section\n"
        "AlternativeIntersection.")
        .json_document({.param = "config_json",
                        .required = true,
                        .read = ai::read_alternative_intersection,
                        .read_error = "invalid RCUT/MUT JSON: "})
        .readonly("intersection_ett", "Demand-weighted intersection ETT, s/veh (Equation 23-62).",
                  ai::intersection_ett)
        .method("get_approach_ett",
                "Demand-weighted approach ETT, s/veh (Equation 23-61); `approach` is\n"
                "EB/WB/NB/SB. `None` when the approach carries no demand.",
                params(req<std::string>("approach")),
                [](const AlternativeIntersection& x, const std::string& approach) {
                    return ai::approach_ett(x, base::parse_option(ai::APPROACH_WORDS, approach));
                })
        .method("get_movement_result",
                "(total control delay s/veh, EDTT s/veh, ETT s/veh, LOS) for a\n"
                "movement label (Equation 23-60, Exhibit 23-13).",
                params(req<std::string>("label")),
                [](const AlternativeIntersection& x, const std::string& label) {
                    const ai::AltMovementResult r = ai::movement_result(x, label);
                    return std::tuple{r.total_delay_s, r.edtt_s, r.ett_s, r.los};
                })
        .method("get_movements", "Movement labels in configuration order.",
                [](const AlternativeIntersection& x) {
                    std::vector<std::string> labels;
                    labels.reserve(x.movements.size());
                    for (const ai::AltMovement& mv : x.movements) labels.push_back(mv.label);
                    return labels;
                })
        .repr(alternative_repr);
}

std::string dlt_repr(const ai::DisplacedLeftTurn& d) {
    return "DisplacedLeftTurn(ett=" + base::fixed(ai::dlt_ett(d), 1) + ", los=" + hcm::common::letter(ai::dlt_los(d)) +
           ")";
}

void register_displaced_left_turn(py::module_& m) {
    using ai::DisplacedLeftTurn;
    ClassDef<DisplacedLeftTurn>(m, "DisplacedLeftTurn",
                                "HCM Chapter 23, Part C: displaced left-turn (DLT) intersection analysis.\n\n"
                                "Construct from a JSON `dlt` block (form, the Exhibit 34-145 per-junction\n"
                                "(flow, delay) cells, and the O-D demand total) and read the volume-\n"
                                "weighted control delay (Equation 23-69) and LOS.")
        .json_document({.param = "config_json",
                        .required = true,
                        .read = ai::read_displaced_left_turn,
                        .read_error = "invalid DLT JSON: "})
        .readonly("intersection_ett", "Weighted-average intersection ETT (= control delay), s/veh\n(Equation 23-69).",
                  ai::dlt_ett)
        .readonly("los", "Intersection LOS letter (Chapter 19 control-delay thresholds).", ai::dlt_los)
        .repr(dlt_repr);
}

}  // namespace

void register_(py::module_& m) {
    register_interchange(m);
    register_alternative_intersection(m);
    register_displaced_left_turn(m);
    add_function(m, "dlt_offset",
                 "HCM Equations 23-63 through 23-68: DLT supplemental-intersection offset.\n\n"
                 "Returns `(TT_DLT s, ST_DLT s, ST_TH s, O_SUPP s)`.",
                 params(req<double>("td_dlt_ft"), req<double>("sf_dlt_mph"), req<double>("lag_dlt_s"),
                        req<double>("lag_th_s"), req<double>("offset_supp_s"), req<double>("offset_main_s"),
                        req<double>("cycle_s")),
                 [](double td, double sf, double lag_dlt, double lag_th, double offset_supp, double offset_main,
                    double cycle) {
                     const ai::DltOffset o = ai::dlt_offset(td, sf, lag_dlt, lag_th, offset_supp, offset_main, cycle);
                     return std::tuple{o.tt_dlt_s, o.st_dlt_s, o.st_th_s, o.o_supp_s};
                 });
}

}  // namespace vevuruvu::ramp_terminals
