// Python classes and functions of this chapter; the chapter's classes arrive with its analysis.
#include "vevuruvu/chapters.hpp"

// ---- ManagedLaneFacility --------------------------------------------------------------------------
#include <cstdint>
#include <optional>
#include <string>

#include "hcm/freeway_facilities/managed_lanes.hpp"
#include "vevuruvu/boundary/kit.hpp"

VEVURUVU_PYTHON_CLASS(hcm::freeway_facilities::managed_lanes::ManagedLaneFacility);

namespace vevuruvu::freeway_facilities {

namespace {

namespace mlf = hcm::freeway_facilities::managed_lanes;
using mlf::ManagedLaneFacility;

ManagedLaneFacility make_managed_lane_facility(std::optional<std::string> json) {
    if (!json) return ManagedLaneFacility{};
    try {
        return mlf::read_managed_lane_facility(*json);
    } catch (const hcm::Error& e) {
        throw hcm::Error(std::string("invalid ML facility JSON: ") + e.what());
    }
}

std::string managed_lane_facility_json(const ManagedLaneFacility& f) {
    try {
        return mlf::write_managed_lane_facility(f);
    } catch (const hcm::Error& e) {
        throw hcm::Error(std::string("serialization failed: ") + e.what());
    }
}

}  // namespace

void add_managed_lane_facility(pybind11::module_& m) {
    using namespace boundary;
    ClassDef<ManagedLaneFacility>(m, "ManagedLaneFacility",
                                  "ManagedLaneFacility(json=None)\n--\n\n"
                                  "HCM Chapter 10 managed-lane freeway facility (Steps A-9/A-13/A-14/A-17):\n"
                                  "a general-purpose lane group with a parallel managed-lane lane group.")
        .constructor(params(opt<std::string>("json")), make_managed_lane_facility)
        .readonly("num_segments", nullptr, [](const ManagedLaneFacility& f) { return mlf::num_segments(f); })
        .readonly("num_periods", nullptr, [](const ManagedLaneFacility& f) { return mlf::num_periods(f); })
        .method_mut("run_analysis", "run_analysis()\n--\n\nRun the full managed-lane facility analysis.",
                    [](ManagedLaneFacility& f) { mlf::run_analysis(f); })
        .method("gp_capacity", "gp_capacity()\n--\n\nGP segment capacity matrix [segment][period], veh/h.",
                [](const ManagedLaneFacility& f) { return f.gp.capacity; })
        .method("gp_speed", "gp_speed()\n--\n\nGP segment speed matrix [segment][period], mi/h.",
                [](const ManagedLaneFacility& f) { return f.gp.speed; })
        .method("gp_density_veh", "gp_density_veh()\n--\n\nGP segment density matrix [segment][period], veh/mi/ln.",
                [](const ManagedLaneFacility& f) { return f.gp.density_veh; })
        .method("ml_capacity", "ml_capacity()\n--\n\nML segment capacity matrix [segment][period], veh/h.",
                [](const ManagedLaneFacility& f) { return f.ml_capacity; })
        .method("ml_dc_ratio", "ml_dc_ratio()\n--\n\nML demand-to-capacity ratio matrix [segment][period].",
                [](const ManagedLaneFacility& f) { return f.ml_dc_ratio; })
        .method("ml_speed", "ml_speed()\n--\n\nML segment speed matrix [segment][period], mi/h.",
                [](const ManagedLaneFacility& f) { return f.ml_speed; })
        .method("ml_density_veh", "ml_density_veh()\n--\n\nML segment density matrix [segment][period], veh/mi/ln.",
                [](const ManagedLaneFacility& f) { return f.ml_density_veh; })
        .method("ml_friction_active",
                "ml_friction_active()\n--\n\nWhether the Step A-13 adjacent friction was active [segment][period].",
                [](const ManagedLaneFacility& f) { return f.ml_friction_active; })
        .method("facility_speed",
                "facility_speed(period)\n--\n\nCombined facility space mean speed for one period, mi/h.",
                params(req<std::uint64_t>("period")),
                [](const ManagedLaneFacility& f, std::uint64_t p) {
                    return mlf::period_performance(f, p).space_mean_speed;
                })
        .method("facility_density_veh",
                "facility_density_veh(period)\n--\n\nCombined facility average density for one period, veh/mi/ln.",
                params(req<std::uint64_t>("period")),
                [](const ManagedLaneFacility& f, std::uint64_t p) {
                    return mlf::period_performance(f, p).avg_density_veh;
                })
        .method("facility_los",
                "facility_los(period)\n--\n\nCombined facility LOS letter for one period (Exhibit 10-6).",
                params(req<std::uint64_t>("period")),
                [](const ManagedLaneFacility& f, std::uint64_t p) { return mlf::period_performance(f, p).los; })
        .method("to_json", "to_json()\n--\n\nSerialize the facility (inputs and computed results) to JSON.",
                managed_lane_facility_json)
        .repr([](const ManagedLaneFacility& f) {
            return "ManagedLaneFacility(segments=" + std::to_string(mlf::num_segments(f)) +
                   ", periods=" + std::to_string(mlf::num_periods(f)) + ")";
        });
}

void register_(pybind11::module_& m) { add_managed_lane_facility(m); }

}  // namespace vevuruvu::freeway_facilities
