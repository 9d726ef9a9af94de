// Python classes of the freeway facility chapter (HCM Chapter 10).
#include <cstdint>
#include <string>

#include "base/format.hpp"
#include "hcm/freeway_facilities/facility_json.hpp"
#include "hcm/freeway_facilities/freeway_facilities.hpp"
#include "hcm/freeway_facilities/managed_lanes.hpp"
#include "hcm/freeway_facilities/planning.hpp"
#include "vevuruvu/boundary/kit.hpp"
#include "vevuruvu/chapters.hpp"

namespace ff = hcm::freeway_facilities::freeway_facilities;

VEVURUVU_PYTHON_CLASS(ff::FreewayFacility);

namespace vevuruvu::freeway_facilities {

namespace py = pybind11;
using namespace boundary;
using ff::FreewayFacility;

namespace {

std::string facility_str(const FreewayFacility& f) {
    return "Freeway facility with " + std::to_string(f.segments.size()) + " segments over " +
           std::to_string(ff::num_periods(f)) + " analysis periods (" + base::fixed(ff::total_length_mi(f), 2) +
           " mi)";
}

std::string facility_repr(const FreewayFacility& f) {
    return "FreewayFacility(segments=" + std::to_string(f.segments.size()) +
           ", periods=" + std::to_string(ff::num_periods(f)) +
           ", length=" + base::fixed(ff::total_length_mi(f), 2) +
           " mi, oversaturated=" + (f.oversaturated ? "True" : "False") + ")";
}

}  // namespace

void add_managed_lane_facility(py::module_& m);  // ManagedLaneFacility, further down this file
void add_planning_facility(py::module_& m);  // PlanningFacility, at the end of this file

void register_(py::module_& m) {
    const auto period = params(req<std::uint64_t>("period"));
    ClassDef<FreewayFacility>(m, "FreewayFacility", "")
        .method_mut("run_analysis", "Run the full core methodology (Steps A-1 through A-17).",
                    [](FreewayFacility& f) { ff::run_analysis(f); })
        .readonly("num_segments", "Number of segments on the facility.",
                  [](const FreewayFacility& f) { return f.segments.size(); })
        .readonly("num_periods", "Number of 15-min analysis periods.", ff::num_periods)
        .readonly("total_length_mi", "Total facility length, mi.", ff::total_length_mi)
        .readonly("oversaturated", "Whether any cell of the time-space domain has vd/c > 1.0.",
                  &FreewayFacility::oversaturated)
        .method("demand", "Segment demand matrix [segment][period], veh/h.", &FreewayFacility::demand)
        .method("capacity", "Segment capacity matrix [segment][period], veh/h.", &FreewayFacility::capacity)
        .method("dc_ratio", "Demand-to-capacity ratio matrix [segment][period].", &FreewayFacility::dc_ratio)
        .method("volume_served", "Volume served matrix [segment][period], veh/h.", &FreewayFacility::volume_served)
        .method("speed", "Segment space mean speed matrix [segment][period], mi/h.", &FreewayFacility::speed)
        .method("density_veh", "Segment density matrix [segment][period], veh/mi/ln.", &FreewayFacility::density_veh)
        .method("density_pc", "Segment density matrix [segment][period], pc/mi/ln.", &FreewayFacility::density_pc)
        .method("los", "Density-based segment LOS matrix [segment][period], letters A-F.", &FreewayFacility::los)
        .method("queue_length_ft", "Mainline queue length at the end of each period [segment][period], ft.",
                &FreewayFacility::queue_length_ft)
        .method("facility_speed", "Facility space mean speed for one period, mi/h (Equation 25-2).", period,
                [](const FreewayFacility& f, std::uint64_t p) { return ff::period_performance(f, p).space_mean_speed; })
        .method("facility_density_veh", "Facility average density for one period, veh/mi/ln (Equation 10-1).", period,
                [](const FreewayFacility& f, std::uint64_t p) { return ff::period_performance(f, p).avg_density_veh; })
        .method("facility_los", "Facility LOS letter for one period (Exhibit 10-6).", period,
                [](const FreewayFacility& f, std::uint64_t p) { return ff::period_performance(f, p).los; })
        .method("overall_speed", "Overall space mean speed across all periods, mi/h (Equation 25-4).",
                ff::overall_speed)
        .method("overall_density_veh", "Overall average density across all periods, veh/mi/ln (Equation 25-5).",
                ff::overall_density_veh)
        .json_document({.read = ff::read_facility,
                        .read_error = "invalid facility JSON: ",
                        .write = ff::write_facility,
                        .write_error = "serialization failed: ",
                        .to_json = "Serialize the facility (inputs and computed results) to JSON."})
        .str(facility_str)
        .repr(facility_repr);
    add_managed_lane_facility(m);
    add_planning_facility(m);
}

}  // namespace vevuruvu::freeway_facilities

// ---- ManagedLaneFacility: HCM Chapter 10 managed-lane facility ------------------------------------

namespace mlf = hcm::freeway_facilities::managed_lanes;

VEVURUVU_PYTHON_CLASS(mlf::ManagedLaneFacility);

namespace vevuruvu::freeway_facilities {

using mlf::ManagedLaneFacility;

namespace {

}  // namespace

void add_managed_lane_facility(py::module_& m) {
    ClassDef<ManagedLaneFacility>(m, "ManagedLaneFacility",
                                  "HCM Chapter 10 managed-lane freeway facility (Steps A-9/A-13/A-14/A-17):\n"
                                  "a general-purpose lane group with a parallel managed-lane lane group.\n\n"
                                  "An analysis writes inputs as well as results: one null per GP segment into\n"
                                  "an empty `cross_weave`, and the cross-weave capacity factors into the\n"
                                  "`caf_schedule` of each GP segment with a cross-weave entry. A saved analysis\n"
                                  "keeps them: empty `cross_weave` before adding or removing GP segments, and\n"
                                  "set a segment's own schedule back when its cross-weave entry goes.")
        .readonly("num_segments", nullptr, [](const ManagedLaneFacility& f) { return mlf::num_segments(f); })
        .readonly("num_periods", nullptr, [](const ManagedLaneFacility& f) { return mlf::num_periods(f); })
        .method_mut("run_analysis", "Run the full managed-lane facility analysis.",
                    [](ManagedLaneFacility& f) { mlf::run_analysis(f); })
        .method("gp_capacity", "GP segment capacity matrix [segment][period], veh/h.",
                [](const ManagedLaneFacility& f) { return f.gp.capacity; })
        .method("gp_speed", "GP segment speed matrix [segment][period], mi/h.",
                [](const ManagedLaneFacility& f) { return f.gp.speed; })
        .method("gp_density_veh", "GP segment density matrix [segment][period], veh/mi/ln.",
                [](const ManagedLaneFacility& f) { return f.gp.density_veh; })
        .method("ml_capacity", "ML segment capacity matrix [segment][period], veh/h.",
                &ManagedLaneFacility::ml_capacity)
        .method("ml_dc_ratio", "ML demand-to-capacity ratio matrix [segment][period].",
                &ManagedLaneFacility::ml_dc_ratio)
        .method("ml_speed", "ML segment speed matrix [segment][period], mi/h.", &ManagedLaneFacility::ml_speed)
        .method("ml_density_veh", "ML segment density matrix [segment][period], veh/mi/ln.",
                &ManagedLaneFacility::ml_density_veh)
        .method("ml_friction_active", "Whether the Step A-13 adjacent friction was active [segment][period].",
                &ManagedLaneFacility::ml_friction_active)
        .method("facility_speed", "Combined facility space mean speed for one period, mi/h.",
                params(req<std::uint64_t>("period")),
                [](const ManagedLaneFacility& f, std::uint64_t p) {
                    return mlf::period_performance(f, p).space_mean_speed;
                })
        .method("facility_density_veh", "Combined facility average density for one period, veh/mi/ln.",
                params(req<std::uint64_t>("period")),
                [](const ManagedLaneFacility& f, std::uint64_t p) {
                    return mlf::period_performance(f, p).avg_density_veh;
                })
        .method("facility_los", "Combined facility LOS letter for one period (Exhibit 10-6).",
                params(req<std::uint64_t>("period")),
                [](const ManagedLaneFacility& f, std::uint64_t p) { return mlf::period_performance(f, p).los; })
        .json_document({.read = mlf::read_managed_lane_facility,
                        .read_error = "invalid ML facility JSON: ",
                        .write = mlf::write_managed_lane_facility,
                        .write_error = "serialization failed: ",
                        .to_json = "Serialize the facility (inputs and computed results) to JSON."})
        .repr([](const ManagedLaneFacility& f) {
            return "ManagedLaneFacility(segments=" + std::to_string(mlf::num_segments(f)) +
                   ", periods=" + std::to_string(mlf::num_periods(f)) + ")";
        });
}

}  // namespace vevuruvu::freeway_facilities

// ---- PlanningFacility: HCM Chapter 25, Section 6 planning-level method --------------------------

namespace pl = hcm::freeway_facilities::planning;

VEVURUVU_PYTHON_CLASS(pl::PlanningFacility);

namespace vevuruvu::freeway_facilities {

namespace {

std::string planning_facility_repr(const pl::PlanningFacility& f) {
    return "PlanningFacility(sections=" + std::to_string(f.sections.size()) +
           ", length=" + base::fixed(pl::total_length_mi(f), 2) + " mi)";
}

}  // namespace

void add_planning_facility(py::module_& m) {
    using pl::PlanningFacility;
    const auto section_period = params(req<std::uint64_t>("section"), req<std::uint64_t>("period"));
    const auto period = params(req<std::uint64_t>("period"));
    ClassDef<PlanningFacility>(m, "PlanningFacility",
                               "HCM Chapter 25, Section 6 planning-level freeway facility method.")
        .method_mut("run_analysis", "Run the planning-level analysis (Steps 1-5).",
                    [](PlanningFacility& f) { pl::run_analysis(f); })
        .readonly("num_sections", nullptr, [](const PlanningFacility& f) { return f.sections.size(); })
        .readonly("total_length_mi", nullptr, pl::total_length_mi)
        .method("dc_ratio", "Demand-to-capacity ratio for a section and period.",
                section_period, [](const PlanningFacility& f, std::uint64_t s, std::uint64_t p) {
                    return pl::section_result(f, s, p).dc_ratio;
                })
        .method("section_speed", "Section space mean speed for a section and period, mi/h.",
                section_period, [](const PlanningFacility& f, std::uint64_t s, std::uint64_t p) {
                    return pl::section_result(f, s, p).speed;
                })
        .method("section_density", "Section density for a section and period, pc/mi/ln.",
                section_period, [](const PlanningFacility& f, std::uint64_t s, std::uint64_t p) {
                    return pl::section_result(f, s, p).density;
                })
        .method("facility_speed", "Facility space mean speed for one period, mi/h.", period,
                [](const PlanningFacility& f, std::uint64_t p) { return pl::facility_result(f, p).space_mean_speed; })
        .method("facility_density", "Facility average density for one period, pc/mi/ln.", period,
                [](const PlanningFacility& f, std::uint64_t p) { return pl::facility_result(f, p).avg_density; })
        .method("facility_los", "Facility LOS letter for one period (Exhibit 25-17).", period,
                [](const PlanningFacility& f, std::uint64_t p) { return pl::facility_result(f, p).los; })
        .json_document({.read = pl::read_planning_facility,
                        .read_error = "invalid planning facility JSON: ",
                        .write = pl::write_planning_facility,
                        .write_error = "serialization failed: ",
                        .to_json = "Serialize the facility (inputs and computed results) to JSON."})
        .repr(planning_facility_repr);
}

}  // namespace vevuruvu::freeway_facilities
