// Vehicle conservation in the oversaturated engine, over generated congested facilities driven
// period by period as the facility analysis drives them: in every period, the vehicles that
// arrive (mainline and on-ramp demand) plus those stored at the period's start equal those that
// leave (past the facility's end and down the off-ramps) plus those stored at its end, on the
// segments, in the queue upstream of the entry and in the on-ramp queues.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "generated_facilities.hpp"
#include "hcm/freeway_facilities/freeway_facilities.hpp"
#include "hcm/freeway_facilities/oversaturated.hpp"

namespace {

namespace ff = hcm::freeway_facilities::freeway_facilities;
namespace ov = hcm::freeway_facilities::oversaturated;

double sum(const std::vector<double>& values, std::size_t count) {
    double total = 0.0;
    for (std::size_t i = 0; i < count; ++i) total += values[i];
    return total;
}

class EngineConservation : public ::testing::TestWithParam<std::uint64_t> {};

TEST_P(EngineConservation, EveryPeriodBalancesItsVehicles) {
    auto f = testing_support::generated_facility(GetParam());
    ff::run_analysis(f);  // demand, capacity and d/c matrices, and the results to compare with
    ASSERT_TRUE(f.first_oversat_period.has_value());
    const std::size_t n = f.segments.size();
    const std::size_t first = static_cast<std::size_t>(*f.first_oversat_period);
    const double steps = ov::steps_per_period(f.time_step_s);
    const double hours = steps * f.time_step_s / 3600.0;  // length of the stepped period, h

    auto engine = ff::oversaturated_engine(f);
    double entry_queue = 0.0;
    std::vector<double> ramp_queues(n, 0.0);
    for (std::size_t p = first; p < f.mainline_demand.size(); ++p) {
        const auto in = ff::oversaturated_period_input(f, p);
        const auto unserved = engine.unserved_veh();
        double stored_before = entry_queue + sum(ramp_queues, n);
        for (std::size_t i = 0; i < n; ++i) {
            const double length_mi = f.segments[i].length_ft / 5280.0;
            stored_before += in.background_density[i] * f.segments[i].lanes * length_mi + unserved[i];
        }
        const double arrived = hours * (in.mainline_demand_veh_h + sum(in.on_ramp_demand_veh_h, n));

        const auto out = engine.run_period(in);
        const double left = hours * (out.flow_veh_h[n - 1] + sum(out.off_ramp_flow_veh_h, n));
        entry_queue = out.unserved_entry_veh;
        ramp_queues = out.on_ramp_queue_veh;
        const double stored_after = entry_queue + sum(ramp_queues, n) + sum(engine.vehicles(), n);

        const double scale = arrived + stored_before;
        EXPECT_NEAR(arrived + stored_before, left + stored_after, 1e-10 * scale)
            << "seed " << GetParam() << ", period " << p;

        // The engine driven here is the one of the analysis.
        EXPECT_EQ(out.unserved_entry_veh, f.unserved_entry_veh[p]) << "period " << p;
        for (std::size_t i = 0; i < n; ++i) {
            EXPECT_EQ(out.queue_length_ft[i], f.queue_length_ft[i][p]) << "segment " << i << ", period " << p;
            EXPECT_EQ(out.queued[i], f.had_queue[i][p]) << "segment " << i << ", period " << p;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(GeneratedFacilities, EngineConservation, ::testing::Range<std::uint64_t>(1, 41));

}  // namespace
