#pragma once
// Congested freeway facilities made from a seed, for the tests that run the oversaturated engine
// over many layouts: interchanges with merges, diverges and weaves, lane drops, metered on-ramps,
// incidents (a capacity dip for a period or two, after which queues clear from the front), work
// zones, and a peaked demand that overloads the bottlenecks.
//
// The generator is its own small integer mix (splitmix64), so a seed gives the same facility with
// any standard library.
#include <cmath>
#include <cstdint>
#include <vector>

#include "hcm/freeway_facilities/freeway_facilities.hpp"

namespace testing_support {

class SeededDraws {
public:
    explicit SeededDraws(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // Uniform in [lo, hi).
    double uniform(double lo, double hi) {
        return lo + (hi - lo) * static_cast<double>(next() >> 11) * 0x1.0p-53;
    }
    // Uniform integer in [lo, hi].
    std::uint32_t integer(std::uint32_t lo, std::uint32_t hi) {
        return lo + static_cast<std::uint32_t>(next() % (hi - lo + 1));
    }
    bool chance(double p) { return uniform(0.0, 1.0) < p; }
    template <class T>
    const T& pick(const std::vector<T>& options) {
        return options[next() % options.size()];
    }

private:
    std::uint64_t state_;
};

inline hcm::freeway_facilities::freeway_facilities::FreewayFacility generated_facility(std::uint64_t seed) {
    namespace ff = hcm::freeway_facilities::freeway_facilities;
    SeededDraws draw(seed);
    ff::FreewayFacility f;
    const std::uint32_t n = draw.integer(12, 40);
    const std::uint32_t periods = draw.integer(8, 16);
    f.time_step_s = draw.pick(std::vector<double>{15.0, 15.0, 15.0, 7.0, 10.0, 30.0});
    f.ffs = draw.pick(std::vector<double>{55.0, 60.0, 65.0, 70.0, 75.0});
    f.heavy_vehicle_pct = draw.pick(std::vector<double>{0.0, 0.05, 0.12});
    f.terrain = draw.pick(std::vector<ff::Terrain>{ff::Terrain::Level, ff::Terrain::Level, ff::Terrain::Rolling});
    f.city_type = draw.chance(0.5) ? ff::CityType::Urban : ff::CityType::Rural;
    f.jam_density_pc = draw.pick(std::vector<double>{170.0, 190.0, 210.0});
    f.queue_discharge_drop = draw.pick(std::vector<double>{0.05, 0.07, 0.10});

    // A peaked profile: 0 in the first and last periods, 1 at the middle.
    auto peak = [&](std::uint32_t p) {
        const double s = std::sin(3.141592653589793 * (p + 0.5) / periods);
        return s * s;
    };
    auto ramp_profile = [&](double base, double swing) {
        std::vector<double> d(periods);
        for (std::uint32_t p = 0; p < periods; ++p) d[p] = base + swing * peak(p);
        return d;
    };
    // A drawn ramp profile: the swing is drawn before the base (the order the pinned results were
    // made with), in statements of their own, since the order of a call's arguments is unspecified.
    auto drawn_ramp_profile = [&](double base_lo, double base_hi, double swing_hi) {
        const double swing = draw.uniform(0.0, swing_hi);
        const double base = draw.uniform(base_lo, base_hi);
        return ramp_profile(base, swing);
    };

    const std::uint32_t base_lanes = draw.integer(2, 4);
    for (std::uint32_t i = 0; i < n; ++i) {
        ff::FacilitySegment s;
        s.length_ft = draw.uniform(600.0, 4500.0);
        s.lanes = base_lanes;
        if (i > 0 && i + 1 < n) {
            const double kind = draw.uniform(0.0, 1.0);
            if (kind < 0.30) {
                s.seg_type = ff::SegmentType::Basic;
                if (draw.chance(0.25)) s.lanes = base_lanes > 2 ? base_lanes - 1 : base_lanes;  // lane drop
                if (draw.chance(0.15)) s.lanes = base_lanes + 1;                               // lane add
            } else if (kind < 0.55) {
                s.seg_type = ff::SegmentType::Merge;
                s.on_ramp_demand = drawn_ramp_profile(200.0, 600.0, 700.0);
                s.ramp_ffs = draw.pick(std::vector<double>{25.0, 35.0, 45.0, 55.0});
                if (draw.chance(0.35)) {
                    std::vector<double> meter(draw.integer(periods / 2, periods + 1));
                    for (auto& rate : meter) rate = draw.chance(0.1) ? 0.0 : draw.uniform(240.0, 1200.0);
                    s.ramp_metering = meter;
                }
            } else if (kind < 0.78) {
                s.seg_type = ff::SegmentType::Diverge;
                s.off_ramp_demand = drawn_ramp_profile(150.0, 600.0, 500.0);
            } else if (kind < 0.95) {
                s.seg_type = ff::SegmentType::Weaving;
                s.length_ft = draw.uniform(1000.0, 3000.0);
                s.lanes = base_lanes + 1;
                s.on_ramp_demand = drawn_ramp_profile(200.0, 600.0, 400.0);
                s.off_ramp_demand = drawn_ramp_profile(200.0, 600.0, 400.0);
                s.ramp_to_ramp_demand = ramp_profile(draw.uniform(0.0, 100.0), 0.0);
                s.num_weaving_lanes = draw.integer(2, 3);
            } else {
                s.seg_type = ff::SegmentType::OverlappingRamp;
            }
        }
        // An incident: a capacity dip of one or two periods in the peak; the period after it has
        // more capacity, so its queue clears from the front.
        if (draw.chance(0.2)) {
            std::vector<double> caf(periods, 1.0);
            const std::uint32_t start = draw.integer(1, periods - 3);
            const std::uint32_t length = draw.integer(1, 2);
            const double dip = draw.uniform(0.55, 0.85);
            for (std::uint32_t p = start; p < start + length && p < periods; ++p) caf[p] = dip;
            s.caf_schedule = caf;
        }
        if (draw.chance(0.04)) s.work_zone = ff::WorkZone{};
        f.segments.push_back(s);
    }
    f.mainline_demand.resize(periods);
    const double per_lane = draw.uniform(1500.0, 2100.0);
    for (std::uint32_t p = 0; p < periods; ++p) {
        f.mainline_demand[p] = base_lanes * (0.5 * per_lane + 0.7 * per_lane * peak(p));
    }
    return f;
}

}  // namespace testing_support
