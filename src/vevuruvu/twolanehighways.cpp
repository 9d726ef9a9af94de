// Python classes and functions of HCM Chapter 15: SubSegment, Segment, TwoLaneHighways (the
// two-lane highway facility, step by step) and the highway bicycle LOS (BicycleLOS,
// analyze_bicycle_los).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/format.hpp"
#include "hcm/twolanehighways/bicycle.hpp"
#include "hcm/twolanehighways/twolanehighways.hpp"
#include "vevuruvu/boundary/kit.hpp"
#include "vevuruvu/chapters.hpp"
#include "vevuruvu/parameters/twolanehighways.hpp"

using hcm::twolanehighways::BicycleLOS;
using hcm::twolanehighways::Segment;
using hcm::twolanehighways::SubSegment;
using hcm::twolanehighways::TwoLaneHighways;

VEVURUVU_PYTHON_CLASS(SubSegment);
VEVURUVU_PYTHON_CLASS(Segment);
VEVURUVU_PYTHON_CLASS(TwoLaneHighways);
VEVURUVU_PYTHON_CLASS(BicycleLOS);

namespace vevuruvu::twolanehighways {

namespace py = pybind11;
using namespace boundary;
namespace tl = hcm::twolanehighways;
namespace dflt = hcm::twolanehighways::defaults;
using base::fixed;

namespace {

std::string subsegment_str(const SubSegment& s) {
    return "SubSegment: " + fixed(s.length.value_or(0.0), 2) + " ft, " + fixed(s.avg_speed.value_or(0.0), 1) +
           " mph average speed, horizontal class " + std::to_string(s.hor_class.value_or(0));
}

std::string subsegment_repr(const SubSegment& s) {
    return "SubSegment(length=" + fixed(s.length.value_or(0.0), 2) + ", avg_speed=" +
           fixed(s.avg_speed.value_or(0.0), 1) + ", hor_class=" + std::to_string(s.hor_class.value_or(0)) +
           ", design_rad=" + fixed(s.design_rad.value_or(0.0), 0) + ", central_angle=" +
           fixed(s.central_angle.value_or(0.0), 1) + ", sup_ele=" + fixed(s.sup_ele.value_or(0.0), 3) + ")";
}

std::string segment_str(const Segment& s) {
    return fixed(s.length, 2) + "-mile segment, " + fixed(s.grade, 1) + "% grade, " + fixed(s.spl, 0) +
           " mph speed limit";
}

std::string segment_repr(const Segment& s) {
    return "Segment(passing_type=" + std::to_string(s.passing_type) + ", length=" + fixed(s.length, 2) +
           ", grade=" + fixed(s.grade, 1) + ", volume=" + fixed(s.volume.value_or(dflt::VOLUME), 0) +
           ", capacity=" + std::to_string(s.capacity.value_or(dflt::CAPACITY)) + ")";
}

std::string facility_summary(const TwoLaneHighways& f) {
    const double total = f.total_length();
    const std::size_t n = f.segments.size();
    const double average = n == 0 ? 0.0 : total / static_cast<double>(n);
    return "Highway Facility Summary:\n  Total Length: " + fixed(total, 2) + " miles\n  Number of Segments: " +
           std::to_string(n) + "\n  Average Segment Length: " + fixed(average, 2) + " miles";
}

std::string bicycle_str(const BicycleLOS& b) {
    const tl::BicycleLOSResult r = tl::analyze(b);
    return "Bicycle LOS: score " + fixed(r.blos_score, 2) + ", LOS " + hcm::common::letter(r.los) + " (" +
           fixed(r.effective_width, 1) + " ft effective width)";
}

std::string bicycle_repr(const BicycleLOS& b) {
    return "BicycleLOS(lane_width=" + fixed(b.lane_width, 1) + ", shoulder_width=" + fixed(b.shoulder_width, 1) +
           ", speed_limit=" + fixed(b.speed_limit, 1) + ", num_lanes=" + std::to_string(b.num_lanes) +
           ", pavement_condition=" + fixed(b.pavement_condition, 1) + ", hourly_volume=" +
           fixed(b.hourly_volume, 1) + ")";
}

// The pairs and triples of the steps go back to Python as lists.
std::vector<double> as_list(tl::SpeedAndClass r) { return {r.speed, static_cast<double>(r.hor_class)}; }

void register_subsegment(py::module_& m) {
    ClassDef<SubSegment>(m, "SubSegment", "")
        .init(parameters::subsegment())
        .readonly("length", "Get the length of the sub-segment in feet.",
                  [](const SubSegment& s) { return s.length.value_or(0.0); })
        .readonly("avg_speed", "Get the average speed in mph.",
                  [](const SubSegment& s) { return s.avg_speed.value_or(0.0); })
        .readonly("hor_class", "Get the horizontal alignment class (1-5).",
                  [](const SubSegment& s) { return s.hor_class.value_or(0); })
        .readonly("design_rad", "Get the design radius in feet.",
                  [](const SubSegment& s) { return s.design_rad.value_or(0.0); })
        .readonly("central_angle", "Get the central angle in degrees.",
                  [](const SubSegment& s) { return s.central_angle.value_or(0.0); })
        // In percent: the horizontal class compares it with whole percentages (4 for 4 %).
        .readonly("sup_ele", "Get the superelevation rate in percent.",
                  [](const SubSegment& s) { return s.sup_ele.value_or(0.0); })
        .equality(tl::same_subsegment)
        .str(subsegment_str)
        .repr(subsegment_repr);
}

void register_segment(py::module_& m) {
    using S = Segment;
    ClassDef<S>(m, "Segment", "")
        .init(parameters::segment())
        .readonly("passing_type", "", &S::passing_type)
        .readonly("length", "", &S::length)
        .readonly("grade", "", &S::grade)
        .readonly("spl", "", &S::spl)
        .readonly("is_hc", "", [](const S& s) { return s.is_hc.value_or(false); })
        .readonly("volume", "", [](const S& s) { return s.volume.value_or(dflt::VOLUME); })
        .readonly("volume_op", "", [](const S& s) { return s.volume_op.value_or(dflt::VOLUME_OP); })
        .readonly("flow_rate", "", [](const S& s) { return s.flow_rate.value_or(0.0); })
        .readonly("flow_rate_o", "", [](const S& s) { return s.flow_rate_o.value_or(0.0); })
        .readonly("capacity", "", [](const S& s) { return s.capacity.value_or(dflt::CAPACITY); })
        .readonly("ffs", "", [](const S& s) { return s.ffs.value_or(0.0); })
        .readonly("avg_speed", "", [](const S& s) { return s.avg_speed.value_or(0.0); })
        .readonly("subsegments", "Get all subsegments as a Python list", &S::subsegments)
        .readonly("vertical_class", "", [](const S& s) { return s.vertical_class.value_or(dflt::VERTICAL_CLASS); })
        .readonly("phf", "", [](const S& s) { return s.phf.value_or(dflt::PHF); })
        .readonly("phv", "", [](const S& s) { return s.phv.value_or(dflt::PHV); })
        .readonly("percent_followers", "", [](const S& s) { return s.pf.value_or(0.0); })
        .readonly("followers_density", "", [](const S& s) { return s.fd.value_or(0.0); })
        .readonly("followers_density_mid", "", [](const S& s) { return s.fd_mid.value_or(0.0); })
        .readonly("hor_class", "", [](const S& s) { return s.hor_class.value_or(0); })
        .str(segment_str)
        .repr(segment_repr);
}

void register_facility(py::module_& m) {
    using F = TwoLaneHighways;
    ClassDef<F>(m, "TwoLaneHighways", "")
        .init(parameters::two_lane_highways())
        .readonly("segments", "Get all segments as a Python list.", &F::segments)
        .readonly("num_segments", "Get the number of segments in the facility.",
                  [](const F& f) { return f.segments.size(); })
        .readonly("total_length", "Get the total length of the facility.", &F::total_length)
        .method_mut("identify_vertical_class",
                    "Segment length limits [minimum, maximum] (mi) for the segment's passing type and\n"
                    "vertical class.",
                    params(req<std::size_t>("seg_num")),
                    [](const F& f, std::size_t i) {
                        const tl::LengthLimits r = f.identify_vertical_class(i);
                        return std::vector<double>{r.min, r.max};
                    })
        .method_mut("determine_vertical_alignment",
                    "Step 1: vertical alignment class (1-5) from grade and length (Exhibit 15-11).",
                    params(req<std::size_t>("seg_num")), &F::determine_vertical_alignment)
        .method_mut("determine_demand_flow",
                    "Step 2: [v_d, v_o, capacity] (veh/h): demand and opposing flow rates and capacity.",
                    params(req<std::size_t>("seg_num")),
                    [](F& f, std::size_t i) {
                        const tl::DemandFlow r = f.determine_demand_flow(i);
                        return std::vector<double>{r.v_d, r.v_o, static_cast<double>(r.capacity)};
                    })
        .method_mut("determine_free_flow_speed", "Step 3: free-flow speed (mi/h).", params(req<std::size_t>("seg_num")),
                    &F::determine_free_flow_speed)
        .method_mut("estimate_average_speed",
                    "Step 4: [average speed (mi/h), horizontal class of the tangent (0)]; a segment with\n"
                    "horizontal curves averages its subsegments by length.",
                    params(req<std::size_t>("seg_num")),
                    [](F& f, std::size_t i) { return as_list(f.estimate_average_speed(i)); })
        .method_mut("estimate_average_speed_sf",
                    "The Step 4 speed model with the passing-lane coefficients for the given length (mi),\n"
                    "demand flow rate (veh/h), heavy vehicles (%), radius (ft) and superelevation (%):\n"
                    "[speed (mi/h), horizontal class]. Stores nothing.",
                    params(req<std::size_t>("seg_num"), req<double>("length"), req<double>("vd"),
                           req<double>("phv"), req<double>("rad"), req<double>("sup_ele")),
                    [](const F& f, std::size_t i, double length, double vd, double phv, double rad, double e) {
                        return as_list(f.estimate_average_speed_sf(i, length, vd, phv, rad, e));
                    })
        .method_mut("estimate_percent_followers", "Step 5: percent followers (%).", params(req<std::size_t>("seg_num")),
                    &F::estimate_percent_followers)
        .method("estimate_percent_followers_sf",
                "The Step 5 model for the given demand flow rate (veh/h) and heavy vehicles (%). Stores\n"
                "nothing.",
                params(req<std::size_t>("seg_num"), req<double>("vd"), req<double>("phv")),
                &F::estimate_percent_followers_sf)
        .method_mut("determine_follower_density_pc_pz",
                    "Step 6: follower density (followers/mi/ln) of a passing-constrained or passing-zone\n"
                    "segment.",
                    params(req<std::size_t>("seg_num")), &F::determine_follower_density_pc_pz)
        .method_mut("determine_follower_density_pl",
                    "Step 6, passing lanes: [FD, FD at the middle of the passing lane] (followers/mi/ln).",
                    params(req<std::size_t>("seg_num")),
                    [](F& f, std::size_t i) {
                        const tl::PassingLaneFollowerDensity r = f.determine_follower_density_pl(i);
                        return std::vector<double>{r.fd, r.fd_mid};
                    })
        .method_mut("determine_adjustment_to_follower_density",
                    "Step 7: follower density downstream of the nearest upstream passing lane (0 when\n"
                    "none applies, as upstream of every passing lane); on a passing lane itself it sets\n"
                    "the facility's effective length l_de, which the segments after it read.",
                    params(req<std::size_t>("seg_num")), &F::determine_adjustment_to_follower_density)
        .method("determine_segment_los",
                "Step 8: segment LOS letter from its follower density for the posted speed limit s_pl\n"
                "(mi/h); F when its demand flow rate exceeds cap (veh/h). A passing lane is graded by\n"
                "fd_mid; another segment by its follower density adjusted for the nearest upstream\n"
                "passing lane where that adjustment applies (the value the facility follower density\n"
                "weighs for it, whatever was called before), else by fd.",
                params(req<std::size_t>("seg_num"), req<double>("s_pl"), req<std::int32_t>("cap")),
                &F::determine_segment_los)
        .method_mut("determine_facility_follower_density",
                    "Step 9: length-weighted facility follower density with the passing-lane adjustments.",
                    &F::determine_facility_follower_density)
        .method("determine_facility_los",
                "Facility LOS letter of follower density fd for the posted speed limit s_pl (mi/h).",
                params(req<double>("fd"), req<double>("s_pl")), &F::determine_facility_los)
        .method("summary", "Get a summary of the facility characteristics.", facility_summary)
        .str([](const F& f) {
            return "Two-lane highway facility with " + std::to_string(f.segments.size()) + " segments (" +
                   fixed(f.total_length(), 2) + " miles total)";
        })
        .repr([](const F& f) {
            return "TwoLaneHighways(segments=" + std::to_string(f.segments.size()) +
                   ", total_length=" + fixed(f.total_length(), 2) + " miles)";
        });
}

void register_bicycle(py::module_& m) {
    using B = BicycleLOS;
    ClassDef<B>(m, "BicycleLOS", "")
        .init(parameters::bicycle_los())
        .readonly("lane_width", "Get the outside lane width in feet.", &B::lane_width)
        .readonly("shoulder_width", "Get the paved shoulder width in feet.", &B::shoulder_width)
        .readonly("speed_limit", "Get the posted speed limit in mi/h.", &B::speed_limit)
        .readonly("num_lanes", "Get the number of directional through lanes.", &B::num_lanes)
        .readonly("pavement_condition", "Get the FHWA 5-point pavement condition rating.", &B::pavement_condition)
        .readonly("hourly_volume", "Get the hourly directional volume in veh/h.", &B::hourly_volume)
        .readonly("phf", "Get the peak hour factor.", &B::phf)
        .readonly("heavy_vehicle_pct", "Get the heavy vehicle share as a decimal.", &B::heavy_vehicle_pct)
        .readonly("pct_on_highway_parking", "Get the occupied on-highway parking share as a decimal.",
                  &B::pct_on_highway_parking)
        .method("calculate_flow_rate_outside_lane",
                "Step 2: directional flow rate in the outside lane, veh/h (Equation 15-40).",
                tl::flow_rate_outside_lane)
        .method("calculate_effective_width",
                "Step 3: effective width of the outside through lane, ft (Equations 15-41 through 15-45).",
                tl::effective_width)
        .method("calculate_effective_speed_factor",
                "Step 4: effective speed factor (Equation 15-46).\n\n"
                "Speed limits below 21 mi/h count as 21.",
                tl::effective_speed_factor)
        .method("calculate_blos_score", "Step 5: bicycle LOS score (Equation 15-47).", tl::blos_score)
        .method("determine_bicycle_los", "The Exhibit 15-7 LOS letter for this score.",
                [](const B& b) { return tl::bicycle_los(tl::blos_score(b)); })
        .method("analyze",
                "Run the whole Section 4 chain and return the result as JSON.\n\n"
                "A pure read: the input set carries no computed state, so analyze() may be called\n"
                "repeatedly, and there is no separate to_json(). Returns the JSON BicycleLOSResult with\n"
                "flow_rate_outside_lane, effective_width, effective_speed_factor, blos_score and the\n"
                "Exhibit 15-7 los letter.",
                [](const B& b) { return tl::to_json(tl::analyze(b)); })
        .str(bicycle_str)
        .repr(bicycle_repr);

    add_function(m, "analyze_bicycle_los",
                 "Evaluate the bicycle mode on a two-lane or multilane highway segment - HCM\n"
                 "Chapter 15, Section 4 (Steps 2-5, Equations 15-40 through 15-47).\n\n"
                 "The bicycle input set differs from the motorized one (pavement rating and on-highway\n"
                 "parking matter, segment length does not), so it is a separate entry point rather than a\n"
                 "mode argument on TwoLaneHighways.\n\n"
                 "Args:\n"
                 "    config_json: JSON object with lane_width (ft), shoulder_width (ft), speed_limit\n"
                 "        (mi/h, posted), num_lanes (directional through lanes), pavement_condition (FHWA\n"
                 "        5-point rating), hourly_volume (veh/h, directional), phf, heavy_vehicle_pct and\n"
                 "        pct_on_highway_parking (decimals rather than percents). All nine are required.\n\n"
                 "Returns:\n"
                 "    JSON BicycleLOSResult: flow_rate_outside_lane, effective_width,\n"
                 "    effective_speed_factor, blos_score and the Exhibit 15-7 los letter.\n\n"
                 "Raises:\n"
                 "    ValueError: if the config is malformed or a field is missing.",
                 params(req<std::string>("config_json")),
                 [](const std::string& config) { return tl::analyze_bicycle_los(config); });
}

}  // namespace

void register_(py::module_& m) {
    register_subsegment(m);
    register_segment(m);
    register_facility(m);
    register_bicycle(m);
}

}  // namespace vevuruvu::twolanehighways
