// Pinned results of whole reliability studies, bit for bit: the metrics (written in shortest
// round-trip form, so the text is the bits), the expected delay and every scenario's TTIs. The
// scenario evaluation and the facility run under it are tuned for speed; such work must leave every
// one of these values as it is. A mismatch prints what this build gives, but a new value belongs
// here only when a change of results is intended and explained.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <iterator>
#include <stdexcept>
#include <string>

#include "../freeway_facilities/generated_facilities.hpp"
#include "base/format.hpp"
#include "hcm/common/reliability.hpp"
#include "hcm/freeway_reliability/reliability_analysis.hpp"
#include "study_documents.hpp"

namespace {

namespace ff = hcm::freeway_facilities::freeway_facilities;
namespace rel = hcm::freeway_reliability::reliability;
namespace sg = hcm::freeway_reliability::scenario_generation;

// FNV-1a over the bit patterns of every scenario's probability and TTIs.
std::uint64_t scenario_tti_hash(const rel::ReliabilityResults& r) {
    std::uint64_t hash = 0xCBF29CE484222325ULL;
    auto add = [&](double x) {
        const auto word = std::bit_cast<std::uint64_t>(x);
        for (int b = 0; b < 8; ++b) {
            hash ^= (word >> (8 * b)) & 0xFF;
            hash *= 0x100000001B3ULL;
        }
    };
    for (const auto& s : r.scenario_results) {
        add(s.probability);
        for (double tti : s.tti) add(tti);
    }
    return hash;
}

struct PinnedStudy {
    std::string metrics;
    std::string expected_vhd;
    std::uint64_t tti_hash;
};

// The metrics as to_json writes them, from their texts in key order.
std::string metrics_json(std::initializer_list<const char*> values) {
    static constexpr const char* keys[] = {"tti_mean",        "tti_50",           "tti_80",       "tti_95",
                                           "tti_max",         "misery_index",     "reliability_rating",
                                           "semi_std_dev",    "std_dev",          "pct_tti_above_2",
                                           "num_observations", "total_weight"};
    if (values.size() != std::size(keys)) throw std::logic_error("metrics_json: one value per key");
    std::string out;
    const char* const* key = keys;
    for (const char* v : values) out += std::string(out.empty() ? "{\"" : ",\"") + *key++ + "\":" + v;
    return out + "}";
}

void expect_pinned(const rel::ReliabilityAnalysis& a, const PinnedStudy& pin) {
    const PinnedStudy actual{hcm::common::reliability::to_json(*a.results.metrics),
                             base::num(a.results.expected_vhd), scenario_tti_hash(a.results)};
    EXPECT_EQ(actual.metrics, pin.metrics);
    EXPECT_EQ(actual.expected_vhd, pin.expected_vhd);
    EXPECT_EQ(actual.tti_hash, pin.tti_hash);
    if (::testing::Test::HasFailure()) {
        std::printf("    {R\"(%s)\",\n     \"%s\", 0x%016llXULL}\n", actual.metrics.c_str(),
                    actual.expected_vhd.c_str(), static_cast<unsigned long long>(actual.tti_hash));
    }
}

// The benchmark study: 240 scenarios on the 30 x 24 congested facility.
TEST(PinnedStudy, BenchmarkStudy) {
    auto a = testing_support::benchmark_study(30, 24, 4);
    rel::run(a);
    ASSERT_EQ(a.results.scenario_results.size(), 240u);
    expect_pinned(a, {metrics_json({"1.696595430080555", "1.7272554669966438", "1.759233398499067",
                                     "1.8576266774847376", "50.4973612443885", "2.8130037538835815",
                                     "12.197416279123553", "1.0941818636419585", "0.8437942625509285",
                                     "1.5941748630475878", "5760", "292693.7836549507"}),
                      "3099.4208891675116", 0x6FE1059372D722C8ULL});
}

// Generated congested facilities (ramp metering, work zones, weaves, time steps other than 15 s)
// with every kind of scenario event: weather, incidents, a work zone and a special event.
rel::ReliabilityAnalysis generated_study(std::uint64_t seed) {
    rel::ReliabilityAnalysis a;
    a.facility = testing_support::generated_facility(seed);
    a.scenario_generation = testing_support::benchmark_generation(2);
    auto& c = a.scenario_generation;
    c.months = {1, 4, 7, 12};
    c.weekdays = {sg::Weekday::Monday, sg::Weekday::Friday};
    c.incidents->crash_rate_per_100mvmt.reset();
    c.incidents->monthly_frequencies = std::vector<double>(12, 0.8);
    sg::WorkZoneEvent zone;
    zone.months = {4, 7};
    zone.active_day_ratio = 0.5;
    zone.segments = {2, 3, 4};
    zone.periods = std::vector<std::size_t>{1, 2, 3, 4, 5};
    zone.caf = 0.8;
    zone.saf = 0.9;
    zone.daf = 0.97;
    c.work_zones = {zone};
    sg::SpecialEvent event;
    event.month = 7;
    event.weekday = sg::Weekday::Friday;
    event.replication = 1;
    event.daf = 1.15;
    event.caf = 0.95;
    c.special_events = {event};
    return a;
}

struct GeneratedPin {
    std::uint64_t seed;
    PinnedStudy pin;
};

// Each pin: the metrics in the key order of their JSON (tti_mean, tti_50, tti_80, tti_95, tti_max,
// misery_index, reliability_rating, semi_std_dev, std_dev, pct_tti_above_2, num_observations,
// total_weight), then the expected delay and the TTI hash.
const GeneratedPin kGenerated[] = {
    {1, {metrics_json({"1.3159860647617083", "1.2598678284687959", "1.4047888483706414", "2.067611193295722",
                       "2.5613719229570595", "2.240842914292693", "74.98139790431028", "0.4264708192466308",
                       "0.2864090894949069", "5.128049856787893", "240", "100335.50218538604"}),
         "577.4396583371512", 0xBA68E2007E92AA97ULL}},
    {3, {metrics_json({"1.5031877986226119", "1.4898199412046194", "1.7342639118494843", "1.835613092248024",
                       "2.319354048479369", "1.9698943337365966", "21.61849532370644", "0.5581737978954766",
                       "0.2415782026060917", "1.16408721923789", "176", "136556.10562845704"}),
         "1125.2632022689174", 0x30B8E0840BF98F2AULL}},
    {5, {metrics_json({"2.1528677517404593", "2.113109853377388", "2.44834062405863", "2.7356272628606586",
                       "3.4462801562036725", "2.8918474494009034", "5.443731935606347", "1.2100363208626648",
                       "0.3675375420331263", "73.20294568371854", "240", "384023.0634871446"}),
         "5489.250589244715", 0x4C4BC110ED498569ULL}},
};

class PinnedGeneratedStudy : public ::testing::TestWithParam<GeneratedPin> {};

TEST_P(PinnedGeneratedStudy, Results) {
    auto a = generated_study(GetParam().seed);
    rel::run(a);
    ASSERT_EQ(a.results.scenario_results.size(), 16u);
    expect_pinned(a, GetParam().pin);
}

INSTANTIATE_TEST_SUITE_P(Seeds, PinnedGeneratedStudy, ::testing::ValuesIn(kGenerated),
                         [](const auto& info) { return "Seed" + std::to_string(info.param.seed); });

}  // namespace
