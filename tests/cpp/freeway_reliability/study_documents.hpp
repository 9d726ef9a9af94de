#pragma once
// Reliability studies on congested facilities for the tests that pin a whole study: the benchmark
// study (the 30-segment x 24-period facility of bench/run.py with weather and incidents over the
// default 240 scenarios) built here the way the benchmark builds it, so that both run the same
// numbers.
#include <cmath>
#include <numbers>
#include <vector>

#include "hcm/freeway_reliability/reliability_analysis.hpp"

namespace testing_support {

namespace ff_study = hcm::freeway_facilities::freeway_facilities;
namespace rel_study = hcm::freeway_reliability::reliability;
namespace sg_study = hcm::freeway_reliability::scenario_generation;

// bench/run.py freeway_facility_document: repeating interchange groups (merge, basic, diverge,
// weave) with a lane drop in every sixth group and a peak that overloads the lane drops.
inline ff_study::FreewayFacility benchmark_facility(int segments, int periods) {
    using ff_study::SegmentType;
    const double pi = std::numbers::pi;
    const SegmentType pattern[] = {SegmentType::Basic, SegmentType::Merge,   SegmentType::Basic,
                                   SegmentType::Diverge, SegmentType::Basic, SegmentType::Weaving};
    ff_study::FreewayFacility f;
    for (int i = 0; i < segments; ++i) {
        ff_study::FacilitySegment s;
        s.seg_type = (i == 0 || i == segments - 1) ? SegmentType::Basic : pattern[i % 6];
        s.length_ft = 1500 + 250 * (i % 4);
        s.lanes = 3;
        std::vector<double> on, off;
        for (int p = 0; p < periods; ++p) {
            on.push_back(500 + 300 * std::sin(pi * p / periods));
            off.push_back(450 + 250 * std::sin(pi * p / periods));
        }
        if (s.seg_type == SegmentType::Merge) {
            s.on_ramp_demand = on;
            if (i % 4 == 1) s.ramp_metering = std::vector<double>(periods, 900.0);
        } else if (s.seg_type == SegmentType::Diverge) {
            s.off_ramp_demand = off;
        } else if (s.seg_type == SegmentType::Weaving) {
            s.length_ft = 2000;
            s.lanes = 4;
            s.on_ramp_demand.assign(periods, 400.0);
            s.off_ramp_demand.assign(periods, 350.0);
            s.ramp_to_ramp_demand.assign(periods, 50.0);
        } else if (i % 17 == 8) {
            s.lanes = 2;
        }
        f.segments.push_back(s);
    }
    for (int p = 0; p < periods; ++p) {
        const double peak = std::sin(pi * p / periods);
        f.mainline_demand.push_back(3200 + 2400 * (peak * peak));
    }
    return f;
}

// bench/run.py reliability_document: seasonal weather (snow in winter) and incidents from a crash
// rate, over `months` (all twelve by default) x Monday to Friday x `replications`.
inline sg_study::ScenarioGenerationConfig benchmark_generation(std::uint32_t replications) {
    const double winter[] = {1, 1, 0.6, 0.2, 0, 0, 0, 0, 0, 0.2, 0.6, 1};
    sg_study::WeatherInputs weather;
    for (int m = 0; m < 12; ++m) {
        const double w = winter[m];
        weather.probabilities_by_month[m] = {0.06,     0.015,     0.04 * w, 0.02 * w, 0.01 * w,
                                             0.004 * w, 0.02 * w, 0.01,     0.004,    0.002};
    }
    weather.durations_min = {75, 45, 120, 150, 180, 240, 360, 90, 60, 45};
    sg_study::IncidentInputs incidents;
    incidents.crash_rate_per_100mvmt = 40.0;
    sg_study::ScenarioGenerationConfig c;
    c.replications = replications;
    c.weather = weather;
    c.incidents = incidents;
    c.rng_seed = 2024;
    return c;
}

inline rel_study::ReliabilityAnalysis benchmark_study(int segments, int periods, std::uint32_t replications) {
    rel_study::ReliabilityAnalysis a;
    a.facility = benchmark_facility(segments, periods);
    a.scenario_generation = benchmark_generation(replications);
    return a;
}

}  // namespace testing_support
