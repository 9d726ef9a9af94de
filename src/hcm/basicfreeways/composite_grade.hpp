#pragma once
// HCM Chapter 25, Appendix A: the mixed-flow model over a composite grade, a sequence of grades
// that a vehicle meets in order. Each truck class carries its spot travel-time rate from one
// grade to the next along the truck performance curves; the governing capacity is the smallest
// segment capacity.
//
// Units as in mixed_flow.hpp; arrays of three are ordered automobile, SUT, TT.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace hcm::basicfreeways::composite_grade {

struct GradeSegment {
    double length = 0.0;  // mi
    double grade = 0.0;   // percent
};

struct CompositeGrade {
    double ffs = 0.0;    // free-flow speed (mi/h)
    double v_mix = 0.0;  // mixed-flow demand (veh/h/ln)
    double p_sut = 0.0;
    double p_tt = 0.0;
    double caf_ao = 1.0;
    std::vector<GradeSegment> segments;  // in the order a vehicle meets them
};

struct SegmentResult {
    double caf_g_mix = 0.0;
    double caf_mix = 0.0;
    double capacity_mix = 0.0;
    double s_ao = 0.0;       // automobile-only speed at v_mix / CAF
    double d_tau_ti = 0.0;   // congestion delay added to every vehicle's rate (s/mi)
    double tau_f_sut_kin = 0.0;  // SUT spot rate at the end of the segment
    double tau_f_tt_kin = 0.0;
    double tau_s_sut_kin = 0.0;  // SUT average rate over the segment
    double tau_s_tt_kin = 0.0;
    double tau_f_a = 0.0;    // automobile spot rate at the end of the segment
    double tau_s_a = 0.0;    // automobile average rate over the segment
    bool decelerating = false;
    double tau_mix = 0.0;
    double s_mix = 0.0;
    double travel_time = 0.0;  // s
    std::array<double, 3> spot_speeds{};
    std::array<double, 3> space_speeds{};
};

struct CompositeGradeResult {
    std::vector<SegmentResult> segments;
    double capacity_mix = 0.0;
    std::size_t governing_segment = 0;  // index into segments
    std::array<double, 3> entry_spot_speeds{};
    double total_length = 0.0;
    double total_travel_time = 0.0;
    double s_mix_overall = 0.0;
    std::array<double, 3> overall_space_speeds{};
    bool oversaturated = false;
};

// Runs the Chapter 25 chain; throws hcm::Error with the failing step's message.
CompositeGradeResult analyze(const CompositeGrade& input);

// Reads the JSON input (strictly), runs the chain and returns the compact JSON output. Failures:
// "invalid composite-grade config: {parser message}", "composite-grade analysis failed:
// {message}", "serialize error: {message}".
std::string analyze_composite_grade(std::string_view config_json);

}  // namespace hcm::basicfreeways::composite_grade
