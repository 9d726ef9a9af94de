#pragma once
// The oversaturated time-step engine of the Chapter 10 core method: it advances the whole
// facility in small time steps through each 15-minute period, moving vehicles between segments
// and ramp nodes subject to capacity, storage and queue-front constraints, and carries queues
// (mainline, on-ramp and upstream of the entry) from period to period.
//
// Segments 0..n-1 upstream first; node i is the upstream end of segment i, node n the downstream
// end of the facility. Per-step quantities are vehicles per step (veh/h / steps_per_hour).
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "hcm/freeway_facilities/exhibits.hpp"

namespace hcm::freeway_facilities::oversaturated {

// The most recent step values of one quantity (at most HISTORY_STEPS; the oldest drops out).
class StepHistory {
public:
    // Called for every node and segment in every time step: inline, and wrapping the ring index
    // by comparison rather than division.
    void push(double value) {
        constexpr std::size_t capacity = exhibits::oversaturated::HISTORY_STEPS;
        if (size_ < capacity) {
            const std::size_t end = start_ + size_;
            values_[end < capacity ? end : end - capacity] = value;
            ++size_;
        } else {
            values_[start_] = value;
            start_ = start_ + 1 < capacity ? start_ + 1 : 0;
        }
    }
    std::size_t size() const { return size_; }
    // Value at lag `lag` steps back (lag 1 is the last step), interpolated between steps; none
    // when the history does not reach that far back (or the lag is negative).
    std::optional<double> lookup(double lag) const;

private:
    double at(std::size_t index) const;  // index 0 is the oldest value
    std::array<double, exhibits::oversaturated::HISTORY_STEPS> values_{};
    std::size_t start_ = 0;
    std::size_t size_ = 0;
};

// What the driver supplies for one period (rates in veh/h).
struct OversatPeriodInput {
    std::vector<double> capacity_veh_h;         // per segment
    std::vector<double> segment_demand_veh_h;   // per segment
    std::vector<double> on_ramp_demand_veh_h;   // per node
    std::vector<double> off_ramp_demand_veh_h;  // per node
    std::vector<double> on_ramp_capacity_veh_h;  // per node; <= 0: no ramp limit
    std::vector<std::optional<double>> ramp_meter_rate_veh_h;  // per node; none: unmetered
    std::vector<double> background_density;  // per segment, veh/mi/ln
    std::vector<double> diverge_split;           // per node
    std::vector<double> previous_diverge_split;  // per node
    std::vector<bool> front_clearing;            // per segment
    double mainline_demand_veh_h = 0.0;
};

// What one period yields.
struct OversatPeriodResult {
    std::vector<double> flow_veh_h;         // per segment, average outflow
    std::vector<double> density_veh;        // per segment, average veh/mi/ln
    std::vector<bool> queued;               // per segment
    std::vector<double> queue_length_ft;    // per segment, end of period
    std::vector<double> on_ramp_queue_veh;  // per node 0..n-1, end of period
    std::vector<double> on_ramp_flow_veh_h;   // per node
    std::vector<double> off_ramp_flow_veh_h;  // per node
    double unserved_entry_veh = 0.0;
};

// Settings of an engine, taken from the facility document.
struct EngineSetup {
    std::vector<double> length_mi;  // per segment
    std::vector<double> lanes;      // per segment
    double f_hv = 1.0;
    double jam_density_pc = 190.0;
    double queue_discharge_drop = 0.07;
    double time_step_s = 15.0;  // must have passed freeway_facilities::validate_time_step
};

// round(900 / time_step_s), halves away from zero; 0 for a negative quotient.
std::uint32_t steps_per_period(double time_step_s);

class OversaturatedEngine {
public:
    explicit OversaturatedEngine(const EngineSetup& setup);

    // Advances the state through one analysis period.
    OversatPeriodResult run_period(const OversatPeriodInput& input);

    // ED[0] = min(m + a[0] - b[0], c[0]); ED[i] = min(ED[i-1] + a[i] - b[i], c[i]).
    static std::vector<double> expected_demand(const std::vector<double>& capacities,
                                               const std::vector<double>& on_ramp_demands,
                                               const std::vector<double>& off_ramp_demands, double mainline_demand);

    // Vehicles queued on each segment at the end of the last period.
    const std::vector<double>& unserved_veh() const { return unserved_veh_; }

private:
    void check_input(const OversatPeriodInput& input) const;
    void seed(const OversatPeriodInput& input);

    std::size_t n_;
    std::uint32_t steps_per_period_;
    double steps_per_hour_;
    double f_hv_;
    double jam_density_pc_;
    double queue_discharge_drop_;
    double unserved_entry_veh_ = 0.0;
    bool initialised_ = false;

    // Per segment.
    std::vector<double> length_mi_, lanes_, vehicles_, unserved_veh_, prev_segment_flow_, cum_demand_veh_,
        cum_entered_veh_;
    std::vector<std::uint64_t> front_clear_steps_;
    std::vector<StepHistory> capacity_history_;
    // Per node (n + 1; on-ramp queues use nodes 0..n-1).
    std::vector<double> prev_on_ramp_flow_, prev_storage_output_, prev_front_output_, on_ramp_queue_veh_;
    std::vector<StepHistory> ramp_output_history_, storage_output_history_, front_output_history_,
        off_ramp_flow_history_;

    // Scratch arrays of one period, sized once.
    std::vector<double> sc_, sc_eff_, wave_steps_, queue_density_, segment_flow_, sum_segment_flow_, sum_vehicles_;
    std::vector<double> mainline_flow_, on_ramp_flow_, off_ramp_flow_, ramp_output_, storage_output_, front_output_,
        sum_on_ramp_flow_, sum_off_ramp_flow_;
};

}  // namespace hcm::freeway_facilities::oversaturated
