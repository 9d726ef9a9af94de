#pragma once
// The oversaturated time-step engine of the Chapter 10 core method: it advances the whole
// facility in small time steps through each 15-minute period, moving vehicles between segments
// and ramp nodes subject to capacity, storage and queue-front constraints, and carries queues
// (mainline, on-ramp and upstream of the entry) from period to period.
//
// Segments 0..n-1 upstream first; node i is the upstream end of segment i, node n the downstream
// end of the facility. Per-step quantities are vehicles per step (veh/h / steps_per_hour).
//
// The HCM's names for the step quantities are used throughout: mainline input MI, the mainline
// outputs limited by an on-ramp (MO1), by the storage left on the segment (MO2) and by a queue
// clearing from its front (MO3), mainline flow MF, on-ramp flow ONRF, off-ramp flow OFRF, segment
// flow SF, number of vehicles NV, unserved vehicles UV, queue density KQ and the segment capacity
// SC (SC' after the drop in discharge below a queue).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "hcm/freeway_facilities/exhibits.hpp"

namespace hcm::freeway_facilities::oversaturated {

// The step values at one node that the front-clearing output looks back on.
struct NodeStep {
    double ramp_output = 0.0;     // MO1
    double storage_output = 0.0;  // MO2
    double front_output = 0.0;    // MO3
    double off_ramp_flow = 0.0;   // OFRF
    double capacity = 0.0;        // SC' of the segment below the node (not used at node n)
};

// The step values of every node over the most recent HISTORY_STEPS steps: one row of nodes per
// step, all rows sharing one ring index. The row of the step in progress is written in place and
// joins the history when the step ends; the oldest row then drops out.
class StepHistory {
public:
    explicit StepHistory(std::size_t nodes);

    // Row of the step in progress (one entry per node); not part of the history yet.
    NodeStep* current() { return &rows_[current_ * nodes_]; }
    // Appends the current row.
    void end_step() {
        if (size_ < exhibits::oversaturated::HISTORY_STEPS) ++size_;
        current_ = current_ + 1 < ROWS ? current_ + 1 : 0;
    }
    std::size_t size() const { return size_; }
    // Row of the previous step; none before the first step.
    const NodeStep* last() const;

    // Where lag `lag` steps back falls (lag 1 is the previous step): two rows and the weight of the
    // later one, read as (1 - f) x earlier + f x later.
    struct Lag {
        const NodeStep* earlier;
        const NodeStep* later;
        double f;
        double at(std::size_t node, double NodeStep::*field) const {
            return (1.0 - f) * (earlier[node].*field) + f * (later[node].*field);
        }
    };
    // None when the history does not reach that far back (or the lag is negative or not a number).
    std::optional<Lag> at_lag(double lag) const;

private:
    static constexpr std::size_t ROWS = exhibits::oversaturated::HISTORY_STEPS + 1;
    const NodeStep* row(std::size_t index) const;  // index 0 is the oldest row of the history
    std::size_t nodes_;
    std::size_t current_ = 0;
    std::size_t size_ = 0;
    std::vector<NodeStep> rows_;
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

    // Advances the state through one analysis period; the second form writes the period's result
    // into `result`, reusing its storage.
    OversatPeriodResult run_period(const OversatPeriodInput& input);
    void run_period(const OversatPeriodInput& input, OversatPeriodResult& result);

    // ED[0] = min(m + a[0] - b[0], c[0]); ED[i] = min(ED[i-1] + a[i] - b[i], c[i]). The second form
    // writes into `out`, reusing its storage.
    static std::vector<double> expected_demand(const std::vector<double>& capacities,
                                               const std::vector<double>& on_ramp_demands,
                                               const std::vector<double>& off_ramp_demands, double mainline_demand);
    static void expected_demand(const std::vector<double>& capacities, const std::vector<double>& on_ramp_demands,
                                const std::vector<double>& off_ramp_demands, double mainline_demand,
                                std::vector<double>& out);

    // Vehicles on each segment, and those of them queued above its background level, at the end
    // of the last period.
    std::vector<double> vehicles() const;
    std::vector<double> unserved_veh() const;

private:
    // Per node i, for the segment below it where there is one: what the time steps carry forward.
    struct NodeState {
        double vehicles = 0.0;           // NV
        double unserved_veh = 0.0;       // UV, vehicles above the background level
        double prev_segment_flow = 0.0;  // SF of the previous step
        double prev_on_ramp_flow = 0.0;  // ONRF of the previous step
        double on_ramp_queue_veh = 0.0;
        double cum_demand_veh = 0.0;   // vehicles demand says should have entered, completed periods
        double cum_entered_veh = 0.0;  // vehicles that did enter (mainline plus on-ramp)
        std::uint64_t front_clear_steps = 0;
    };
    // Per node i: the period's inputs as the time steps use them (rates per step).
    struct NodePeriod {
        double step_capacity = 0.0;     // SC
        double reduced_capacity = 0.0;  // SC x (1 - queue discharge drop)
        double background_veh = 0.0;    // vehicles at the background density
        double on_ramp_demand = 0.0;
        double ramp_limit = 0.0;  // lesser of the ramp roadway capacity and the meter rate
        double diverge_split = 0.0;
        double previous_diverge_split = 0.0;
        double wave_steps = 0.0;  // wave travel time through the segment, steps
        bool has_on_ramp_demand = false;
        bool has_ramp_limit = false;
        bool has_off_ramp_demand = false;
        bool front_clearing = false;
    };
    // Per node i: sums over the steps of one period, and the last step's queue density.
    struct NodeSums {
        double segment_flow = 0.0;
        double vehicles = 0.0;
        double on_ramp_flow = 0.0;
        double off_ramp_flow = 0.0;
        double queue_density = 0.0;  // KQ of the last step
        std::uint32_t queued = 0;  // not a character type: its stores alias no other member
    };

    void check_input(const OversatPeriodInput& input) const;
    void load_background(const OversatPeriodInput& input);
    void seed_previous_step(const OversatPeriodInput& input);
    void prepare_period(const OversatPeriodInput& input);
    template <class MinMax>
    void advance_one_step(double mainline_step);
    template <class MinMax>
    double node_mainline_flow(std::size_t i, double mainline_input, double off_ramp_flow, double capacity,
                              double capacity_above, const NodeStep& previous, NodeStep& step, double& on_ramp_flow);
    template <class MinMax>
    double serve_on_ramp(std::size_t i, double mainline_input, double capacity, double previous_front_output);
    template <class MinMax>
    double front_clearing_output(std::size_t i, double wave_steps, double off_ramp_flow) const;
    template <class MinMax>
    void balance_segment(std::size_t i, double inflow, double segment_flow);
    void add_period_demand(const OversatPeriodInput& input);
    void period_result(const OversatPeriodInput& input, OversatPeriodResult& out) const;

    std::size_t n_;
    std::uint32_t steps_per_period_;
    double steps_per_hour_;
    double f_hv_;
    double jam_density_pc_;
    double queue_discharge_drop_;
    double jam_density_veh_;  // jam density, veh/mi/ln
    double jam_excess_veh_;   // jam density less the density at capacity, veh/mi/ln
    double unserved_entry_veh_ = 0.0;
    bool initialised_ = false;
    // True while every input the engine has been given was finite and within the range in which
    // no step can make a value that is not a number; the time steps may then use plain minimums.
    bool plain_arithmetic_;

    std::vector<double> length_mi_, lanes_;  // per segment
    std::vector<NodeState> state_;           // per node (n + 1)
    std::vector<NodePeriod> period_;         // per node (n + 1)
    std::vector<NodeSums> sums_;             // per node (n + 1)
    std::vector<NodeStep> seeded_step_;      // the "previous step" before the first step
    StepHistory history_;
};

}  // namespace hcm::freeway_facilities::oversaturated
