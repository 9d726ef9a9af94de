// Pinned results of the oversaturated engine: every result of a set of generated congested
// facilities (and of engine runs on inputs with values that are not numbers), bit for bit, as a
// 64-bit hash of their bit patterns. The engine is tuned for speed; any change to it must leave
// every one of these bits as it is. A mismatch prints the hashes the build gives, but a new value
// belongs here only when a change of results is intended and explained. The hashes are of this
// toolchain's arithmetic (IEEE doubles without contraction, glibc's libm in the segment procedures).
//
// Between them the generated facilities reach every branch of the engine: entry and on-ramp
// queues, metering below demand, discharge drops below queues, both off-ramp rules for vehicles
// delayed from earlier periods, and front-clearing outputs that bind.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <vector>

#include "generated_facilities.hpp"
#include "hcm/freeway_facilities/freeway_facilities.hpp"
#include "hcm/freeway_facilities/oversaturated.hpp"

namespace {

namespace ff = hcm::freeway_facilities::freeway_facilities;
namespace ov = hcm::freeway_facilities::oversaturated;

// FNV-1a over the bit patterns of everything added, with the shape of every list.
class BitHash {
public:
    void add(std::uint64_t word) {
        for (int b = 0; b < 8; ++b) {
            hash_ ^= (word >> (8 * b)) & 0xFF;
            hash_ *= 0x100000001B3ULL;
        }
    }
    void add(double x) { add(std::bit_cast<std::uint64_t>(x)); }
    void add(bool x) { add(std::uint64_t{x}); }
    void add(ff::LevelOfService los) { add(static_cast<std::uint64_t>(los)); }
    void add(const hcm::common::OptionalLos& los) { add(los ? static_cast<std::uint64_t>(*los) : 99); }
    template <class T>
    void add(const std::vector<T>& list) {
        add(static_cast<std::uint64_t>(list.size()));
        for (const auto& x : list) add(static_cast<T>(x));
    }
    template <class T>
    void add(const std::vector<std::vector<T>>& matrix) {
        add(static_cast<std::uint64_t>(matrix.size()));
        for (const auto& row : matrix) add(row);
    }
    std::uint64_t value() const { return hash_; }

private:
    std::uint64_t hash_ = 0xCBF29CE484222325ULL;
};

std::uint64_t facility_results_hash(const ff::FreewayFacility& f) {
    BitHash h;
    for (const auto* m : {&f.demand, &f.capacity, &f.dc_ratio, &f.volume_served, &f.vc_ratio, &f.speed,
                          &f.density_veh, &f.density_pc, &f.queue_length_ft, &f.on_ramp_queue}) {
        h.add(*m);
    }
    h.add(f.los);
    h.add(f.demand_based_los);
    h.add(f.had_queue);
    h.add(f.unserved_entry_veh);
    for (const auto& p : f.facility_performance) {
        for (double x : {p.space_mean_speed, p.avg_density_veh, p.avg_density_pc, p.vmt_served, p.vmt_demand, p.vht,
                         p.vhd}) {
            h.add(x);
        }
        h.add(p.los);
    }
    h.add(f.oversaturated);
    h.add(f.first_oversat_period ? *f.first_oversat_period : std::uint64_t{999999});
    return h.value();
}

// A seed and the hash of the results it gives.
struct Pin {
    std::uint64_t seed;
    std::uint64_t hash;
};

// Checks every pin against hash_of(seed); on a mismatch prints the table this build gives.
template <class HashOf>
void expect_pins(const std::vector<Pin>& pins, HashOf hash_of) {
    std::vector<std::uint64_t> actual;
    for (const auto& pin : pins) {
        actual.push_back(hash_of(pin.seed));
        EXPECT_EQ(actual.back(), pin.hash) << "seed " << pin.seed;
    }
    if (::testing::Test::HasFailure()) {
        for (std::size_t k = 0; k < pins.size(); ++k) {
            std::printf("    {%llu, 0x%016llXULL},\n", static_cast<unsigned long long>(pins[k].seed),
                        static_cast<unsigned long long>(actual[k]));
        }
    }
}

// Seeds of testing_support::generated_facility.

const std::vector<Pin> kPinnedFacilities = {
    {1, 0x47BD7267D786DC3BULL}, {2, 0x774158DDCA9F3945ULL}, {3, 0x4AAF888D4F909F76ULL},
    {4, 0xF10B5E76E6F913FEULL}, {5, 0xE18A9ED82DFB359DULL}, {6, 0xC531D4B509171F73ULL},
    {7, 0xB8356A024189714AULL}, {8, 0x19DB01FCE27A8FBEULL}, {9, 0x1E1D5BB616AF5C20ULL},
    {10, 0xE974D5ABD9966067ULL}, {11, 0x3D2165DF7E62A9D8ULL}, {12, 0xA5D6CC82A0D706FFULL},
    {13, 0x1090BA6D552B072BULL}, {14, 0x0F60889E28125EC5ULL}, {15, 0x3AD27933638B826CULL},
    {16, 0xDC663C86F63B70BCULL}, {17, 0x7908D057FD0DF2A7ULL}, {18, 0xDC265F1C602CBED4ULL},
    {19, 0xBD2941D90AB4F070ULL}, {20, 0xE95C4C993E80EE9CULL}, {21, 0x49790A5279581168ULL},
    {22, 0x66255306BCE5CBC2ULL}, {23, 0xE8D00B2EBFB4BB8BULL}, {24, 0xB1EC414831182443ULL},
};

TEST(PinnedEngineResults, GeneratedCongestedFacilities) {
    expect_pins(kPinnedFacilities, [](std::uint64_t seed) {
        auto f = testing_support::generated_facility(seed);
        ff::run_analysis(f);
        EXPECT_TRUE(f.oversaturated) << "seed " << seed << " is not congested";
        return facility_results_hash(f);
    });
}

// ---- Engine runs on inputs holding values that are not numbers ----------------------------------

// Engine inputs with every kind of value the minimums and maximums must handle: ordinary flows,
// values that are not numbers, infinities, huge and tiny capacities.
ov::OversatPeriodInput odd_period_input(testing_support::SeededDraws& draw, std::size_t n) {
    auto value = [&](double lo, double hi) {
        const double u = draw.uniform(0.0, 1.0);
        if (u < 0.04) return std::numeric_limits<double>::quiet_NaN();
        if (u < 0.06) return std::numeric_limits<double>::infinity();
        if (u < 0.07) return -std::numeric_limits<double>::infinity();
        if (u < 0.08) return 1e300;
        if (u < 0.09) return 1e-300;
        if (u < 0.11) return 0.0;
        return draw.uniform(lo, hi);
    };
    ov::OversatPeriodInput in;
    for (std::size_t i = 0; i < n; ++i) {
        in.capacity_veh_h.push_back(value(2000.0, 7000.0));
        in.segment_demand_veh_h.push_back(value(1000.0, 8000.0));
        in.background_density.push_back(value(5.0, 40.0));
        in.front_clearing.push_back(draw.chance(0.4));
    }
    for (std::size_t i = 0; i <= n; ++i) {
        in.on_ramp_demand_veh_h.push_back(draw.chance(0.5) ? value(0.0, 1500.0) : 0.0);
        in.off_ramp_demand_veh_h.push_back(i > 0 && draw.chance(0.5) ? value(0.0, 1500.0) : 0.0);
        in.on_ramp_capacity_veh_h.push_back(value(0.0, 2200.0));
        in.ramp_meter_rate_veh_h.push_back(draw.chance(0.3) ? std::optional<double>(value(0.0, 1200.0))
                                                            : std::nullopt);
        in.diverge_split.push_back(value(0.0, 0.5));
        in.previous_diverge_split.push_back(value(0.0, 0.5));
    }
    in.mainline_demand_veh_h = value(2000.0, 9000.0);
    return in;
}

std::uint64_t odd_engine_run_hash(std::uint64_t seed) {
    testing_support::SeededDraws draw(seed);
    const std::size_t n = draw.integer(2, 9);
    ov::EngineSetup setup;
    for (std::size_t i = 0; i < n; ++i) {
        setup.length_mi.push_back(draw.uniform(0.1, 1.0));
        setup.lanes.push_back(draw.integer(2, 4));
    }
    setup.f_hv = draw.uniform(0.9, 1.0);
    setup.jam_density_pc = draw.pick(std::vector<double>{45.0, 190.0, 30.0, 190.0});
    setup.queue_discharge_drop = 0.07;
    setup.time_step_s = draw.pick(std::vector<double>{15.0, 60.0});
    ov::OversaturatedEngine engine(setup);
    BitHash h;
    for (int p = 0; p < 6; ++p) {
        const auto out = engine.run_period(odd_period_input(draw, n));
        h.add(out.flow_veh_h);
        h.add(out.density_veh);
        h.add(out.queued);
        h.add(out.queue_length_ft);
        h.add(out.on_ramp_queue_veh);
        h.add(out.on_ramp_flow_veh_h);
        h.add(out.off_ramp_flow_veh_h);
        h.add(out.unserved_entry_veh);
        h.add(engine.unserved_veh());
    }
    return h.value();
}

const std::vector<Pin> kPinnedOddRuns = {
    {101, 0x77A1B5AC0E923FD4ULL}, {102, 0xAC9E0322E5BBEE6CULL}, {103, 0x6C2527354F7F26ABULL},
    {104, 0xAC4A83AE8D423E15ULL}, {105, 0xA84D28AEFBFD51EBULL}, {106, 0x5856AC737D9980C6ULL},
    {107, 0x5055488EDA4EF4ADULL}, {108, 0xB4AAF2BEB552DCBFULL}, {109, 0xAEC7C8598AC3FEDEULL},
    {110, 0x598DF2CA72967388ULL}, {111, 0x39886AF2AEEBF56FULL}, {112, 0xAB5CD157564B1C01ULL},
};

TEST(PinnedEngineResults, InputsThatAreNotNumbers) { expect_pins(kPinnedOddRuns, odd_engine_run_hash); }

}  // namespace
