// Python classes of HCM Chapter 24: ExclusivePedestrianFacility, SharedUsePathPedestrian and
// OffStreetBicycleFacility, each computed step by step.
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "base/format.hpp"
#include "hcm/offstreet_pedbike/offstreet_pedbike.hpp"
#include "vevuruvu/boundary/kit.hpp"
#include "vevuruvu/chapters.hpp"
#include "vevuruvu/parameters/offstreet_pedbike.hpp"

using hcm::offstreet_pedbike::ExclusivePedestrianFacility;
using hcm::offstreet_pedbike::OffStreetBicycleFacility;
using hcm::offstreet_pedbike::SharedUsePathPedestrian;

VEVURUVU_PYTHON_CLASS(ExclusivePedestrianFacility);
VEVURUVU_PYTHON_CLASS(SharedUsePathPedestrian);
VEVURUVU_PYTHON_CLASS(OffStreetBicycleFacility);

namespace vevuruvu::offstreet_pedbike {

namespace py = pybind11;
using namespace boundary;
namespace op = hcm::offstreet_pedbike;
using base::debug_opt;
using base::fixed;

namespace {

std::string letter_opt(std::optional<hcm::common::LevelOfService> los) {
    return base::debug_opt_char(los ? std::optional<std::string>(std::string(1, hcm::common::letter(*los))) : std::nullopt);
}

void register_exclusive_pedestrian(py::module_& m) {
    using P = ExclusivePedestrianFacility;
    ClassDef<P>(m, "ExclusivePedestrianFacility", "Exclusive off-street pedestrian facility analysis (HCM Chapter 24).")
        .init(parameters::exclusive_pedestrian_facility())
        .method_mut("determine_effective_walkway_width",
                    "Step 1: Determine effective walkway width W_E (ft). HCM Equation 24-1.",
                    &P::determine_effective_walkway_width)
        .method_mut("calculate_pedestrian_flow_rate",
                    "Step 2: Calculate the pedestrian unit flow rate v_p (p/ft/min).\n"
                    "HCM Equations 24-2 and 24-3.\n\n"
                    "Pedestrians on a facility without effective width (fixed objects take it all)\n"
                    "give an infinite unit flow rate, hence space 0 and LOS F.",
                    &P::calculate_pedestrian_flow_rate)
        .method_mut("calculate_average_pedestrian_space",
                    "Step 3: Calculate average pedestrian space A_p (ft\u00b2/p). HCM Equation 24-4.",
                    &P::calculate_average_pedestrian_space)
        .method_mut("determine_los", "Step 4: Determine LOS (Exhibits 24-1, 24-2, or 24-3). Returns \"A\"-\"F\".",
                    &P::determine_los)
        .method_mut("calculate_volume_to_capacity_ratio", "Step 5: Calculate the volume-to-capacity ratio.",
                    &P::calculate_volume_to_capacity_ratio)
        .method_mut("analyze", "Run the complete methodology (Steps 1-5) and return the LOS letter.", &P::analyze)
        .readonly("effective_width", "Effective walkway width W_E (ft), if computed.", &P::effective_width)
        .readonly("flow_rate_15min", "Pedestrian volume during the peak 15 min (p), if computed.",
                  &P::flow_rate_15min)
        .readonly("unit_flow_rate", "Pedestrian flow per unit width v_p (p/ft/min), if computed.",
                  &P::unit_flow_rate)
        .readonly("pedestrian_space", "Average pedestrian space A_p (ft\u00b2/p), if computed.", &P::pedestrian_space)
        .readonly("vc_ratio", "Volume-to-capacity ratio, if computed.", &P::vc_ratio)
        .readonly("los", "Level of service letter (\"A\"-\"F\"), if computed.", &P::los)
        .repr([](const P& p) {
            return "ExclusivePedestrianFacility(width=" + fixed(p.total_walkway_width, 1) +
                   " ft, space=" + debug_opt(p.pedestrian_space) + " ft2/p, los=" + letter_opt(p.los) + ")";
        });
}

void register_shared_use_path(py::module_& m) {
    using S = SharedUsePathPedestrian;
    ClassDef<S>(m, "SharedUsePathPedestrian", "Pedestrian LOS analysis on a shared-use path (HCM Chapter 24).")
        .init(parameters::shared_use_path_pedestrian())
        .method_mut("calculate_bicycle_passing_and_meeting_events",
                    "Step 2: Calculate bicycle passing and meeting events.\n"
                    "HCM Equations 24-5 to 24-7. Returns (F_p, F_m, F) in events/h.",
                    [](S& s) {
                        const op::PathEvents e = s.calculate_bicycle_passing_and_meeting_events();
                        return std::make_tuple(e.passing, e.meeting, e.total);
                    })
        .method_mut("determine_los", "Step 3: Determine LOS (Exhibit 24-4). Returns \"A\"-\"F\".", &S::determine_los)
        .method_mut("analyze", "Run the complete methodology (Steps 1-3) and return the LOS letter.", &S::analyze)
        .readonly("passing_events", "Number of passing events F_p (events/h), if computed.", &S::passing_events)
        .readonly("meeting_events", "Number of meeting events F_m (events/h), if computed.", &S::meeting_events)
        .readonly("total_events", "Total weighted events F (events/h), if computed.", &S::total_events)
        .readonly("los", "Level of service letter (\"A\"-\"F\"), if computed.", &S::los)
        .repr([](const S& s) {
            return "SharedUsePathPedestrian(total_events=" + debug_opt(s.total_events) +
                   " events/h, los=" + letter_opt(s.los) + ")";
        });
}

void register_bicycle_facility(py::module_& m) {
    using B = OffStreetBicycleFacility;
    ClassDef<B>(m, "OffStreetBicycleFacility",
                "Bicycle LOS (BLOS) analysis on a shared-use or exclusive off-street bicycle\n"
                "facility (HCM Chapter 24).")
        .init(parameters::offstreet_bicycle_facility())
        .method_mut("calculate_directional_flow_rates",
                    "Step 1: Calculate hourly directional flow rates by mode (HCM Equation\n"
                    "24-8). Returns (subject_flow_rates, opposing_flow_rates).",
                    &B::calculate_directional_flow_rates)
        .method_mut("calculate_active_passings_per_minute",
                    "Step 2: Calculate active passings per minute A_T (HCM Equations 24-9 to 24-12).\n\n"
                    "The segment is integrated in steps of 0.01 mi (at least one, at most 1,000,000); a\n"
                    "segment length that is not a positive finite number integrates to 0.",
                    &B::calculate_active_passings_per_minute)
        .method_mut("calculate_meetings_per_minute",
                    "Step 3: Calculate meetings per minute M_T (HCM Equations 24-13 to 24-16).\n\n"
                    "Integrated as in Step 2; the opposing users already on the path count whatever\n"
                    "the segment length.",
                    &B::calculate_meetings_per_minute)
        .method_mut("determine_number_of_effective_lanes",
                    "Step 4: Determine the number of effective lanes (Exhibit 24-14).",
                    &B::determine_number_of_effective_lanes)
        .method_mut("calculate_probability_of_delayed_passing",
                    "Step 5: Calculate the total probability of delayed passing P_Tds\n"
                    "(HCM Equations 24-17 to 24-33).",
                    &B::calculate_probability_of_delayed_passing)
        .method_mut("calculate_delayed_passings_per_minute",
                    "Step 6: Calculate delayed passings per minute DP_m (HCM Equation 24-34).",
                    &B::calculate_delayed_passings_per_minute)
        .method_mut("determine_blos", "Step 7: Determine the BLOS score (HCM Equation 24-35).", &B::determine_blos)
        .method_mut("adjust_los_for_low_volume_paths", "Step 8: Adjust LOS for low-volume paths. Returns \"A\"-\"F\".",
                    &B::adjust_los_for_low_volume_paths)
        .method_mut("analyze", "Run the complete methodology (Steps 1-8) and return the LOS letter.", &B::analyze)
        .readonly("subject_flow_rates",
                  "Subject-direction hourly flow rates by mode (modal users/h), if computed.",
                  &B::subject_flow_rates)
        .readonly("opposing_flow_rates",
                  "Opposing-direction hourly flow rates by mode (modal users/h), if computed.",
                  &B::opposing_flow_rates)
        .readonly("active_passings_by_mode", "Active passings per minute by mode, if computed.",
                  &B::active_passings_by_mode)
        .readonly("active_passings_per_minute", "Total active passings per minute A_T, if computed.",
                  &B::active_passings_per_minute)
        .readonly("meetings_per_minute", "Total meetings per minute M_T, if computed.", &B::meetings_per_minute)
        .readonly("effective_lanes", "Number of effective lanes, if computed.", &B::effective_lanes)
        .readonly("total_probability_delayed_passing", "Total probability of delayed passing P_Tds, if computed.",
                  &B::total_probability_delayed_passing)
        .readonly("delayed_passings_per_minute", "Delayed passings per minute DP_m, if computed.",
                  &B::delayed_passings_per_minute)
        .readonly("weighted_events_per_minute",
                  "Weighted events per minute E = M_T + 10 \u00d7 A_T, if computed.",
                  &B::weighted_events_per_minute)
        .readonly("blos_score", "BLOS score (HCM Equation 24-35), if computed.", &B::blos_score)
        .readonly("los", "Bicycle level of service letter (\"A\"-\"F\"), if computed.", &B::los)
        .repr([](const B& b) {
            return "OffStreetBicycleFacility(width=" + fixed(b.path_width, 1) + " ft, length=" +
                   fixed(b.segment_length, 2) + " mi, blos=" + debug_opt(b.blos_score) +
                   ", los=" + letter_opt(b.los) + ")";
        });
}

}  // namespace

void register_(py::module_& m) {
    register_exclusive_pedestrian(m);
    register_shared_use_path(m);
    register_bicycle_facility(m);
}

}  // namespace vevuruvu::offstreet_pedbike
