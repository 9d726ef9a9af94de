#include "hcm/freeway_facilities/oversaturated.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "base/cancel.hpp"
#include "base/numeric.hpp"
#include "base/units.hpp"

namespace hcm::freeway_facilities::oversaturated {
namespace {

namespace ex = exhibits::oversaturated;
using base::units::FT_PER_MI;

// The engine's minimums and maximums ignore an operand that is not a number.
struct NanIgnoring {
    static double min(double a, double b) { return base::min2(a, b); }
    static double max(double a, double b) { return base::max2(a, b); }
};
// Plain comparisons: the same result as NanIgnoring, bit for bit, whenever the first operand is a
// number (both keep the first operand on a tie). Used while no value of a step can be anything
// but a number.
struct PlainComparison {
    static double min(double a, double b) { return b < a ? b : a; }
    static double max(double a, double b) { return b > a ? b : a; }
};

// The time steps of a period run in stretches of about this many segment-steps (a few
// milliseconds), with a poll for cancellation before each: a long facility can stop within a period.
constexpr std::size_t SEGMENT_STEPS_PER_POLL = 1'000'000;

std::uint32_t steps_between_polls(std::size_t segments) {
    const std::size_t steps = SEGMENT_STEPS_PER_POLL / std::max<std::size_t>(segments, 1);
    return static_cast<std::uint32_t>(std::clamp<std::size_t>(steps, 1, UINT32_MAX));
}

template <class MinMax, class... T>
inline double min_of(double a, double b, T... rest) {
    if constexpr (sizeof...(rest) == 0) {
        return MinMax::min(a, b);
    } else {
        return min_of<MinMax>(MinMax::min(a, b), rest...);
    }
}

// Inputs within these bounds (every rate, density, length, lane count and factor at most 1e10 in
// magnitude, every positive capacity at least 1e-6 veh/h) keep every value of the time steps below
// about 1e110 however many periods run: flows are capped by capacities, queues grow by at most
// one step's demand per step, and SF / SC is bounded. No step can then overflow, so none can make
// an infinity or a value that is not a number, and plain comparisons give the engine's results.
constexpr double PLAIN_MAX_MAGNITUDE = 1e10;
constexpr double PLAIN_MIN_POSITIVE_CAPACITY = 1e-6;

bool plain(double x) { return std::fabs(x) <= PLAIN_MAX_MAGNITUDE; }  // false for NaN and infinities
bool all_plain(const std::vector<double>& values) { return std::all_of(values.begin(), values.end(), plain); }
bool plain_capacity(double c) { return plain(c) && !(c > 0.0 && c < PLAIN_MIN_POSITIVE_CAPACITY); }

bool plain_input(const OversatPeriodInput& in) {
    return plain(in.mainline_demand_veh_h) &&
           std::all_of(in.capacity_veh_h.begin(), in.capacity_veh_h.end(), plain_capacity) &&
           all_plain(in.segment_demand_veh_h) && all_plain(in.on_ramp_demand_veh_h) &&
           all_plain(in.off_ramp_demand_veh_h) && all_plain(in.on_ramp_capacity_veh_h) &&
           std::all_of(in.ramp_meter_rate_veh_h.begin(), in.ramp_meter_rate_veh_h.end(),
                       [](const std::optional<double>& rate) { return !rate || plain(*rate); }) &&
           all_plain(in.background_density) && all_plain(in.diverge_split) && all_plain(in.previous_diverge_split);
}

void require_size(std::size_t actual, std::size_t expected, const char* what) {
    if (actual != expected) {
        throw std::logic_error(std::string("oversaturated engine: ") + what + " has " + std::to_string(actual) +
                               " entries, expected " + std::to_string(expected));
    }
}

}  // namespace

// ---- StepHistory --------------------------------------------------------------------------------

StepHistory::StepHistory(std::size_t nodes) : nodes_(nodes), rows_(ROWS * nodes) {}

const NodeStep* StepHistory::last() const {
    if (size_ == 0) return nullptr;
    return &rows_[(current_ == 0 ? ROWS - 1 : current_ - 1) * nodes_];
}

const NodeStep* StepHistory::row(std::size_t index) const {
    // The history is the size_ rows before the current one, oldest first.
    std::size_t r = current_ + ROWS - size_ + index;
    if (r >= ROWS) r -= ROWS;
    return &rows_[r * nodes_];
}

std::optional<StepHistory::Lag> StepHistory::at_lag(double lag) const {
    // x = m - w counts from 1 at the oldest row; the last row is the previous step. A lag that
    // reaches before the oldest row (x < 1) or after the last one (a negative lag, x > m) finds
    // nothing.
    const double m = static_cast<double>(size_);
    const double x = m - lag;
    if (size_ == 0 || !(x >= 1.0) || x > m) return std::nullopt;
    const double fl = std::floor(x);
    const auto lo = base::to_unsigned_sat<std::size_t>(fl) - 1;
    const auto hi = std::min(base::to_unsigned_sat<std::size_t>(std::ceil(x)) - 1, size_ - 1);
    return Lag{row(lo), row(hi), x - fl};
}

// ---- Engine set-up ----------------------------------------------------------------------------------

std::uint32_t steps_per_period(double time_step_s) {
    const double steps = std::round(ex::SECONDS_PER_PERIOD / time_step_s);
    if (!(steps > 0.0)) return 0;
    if (steps > 4294967295.0) throw std::logic_error("oversaturated engine: time step gives too many steps");
    return static_cast<std::uint32_t>(steps);
}

OversaturatedEngine::OversaturatedEngine(const EngineSetup& setup)
    : n_(setup.length_mi.size()),
      steps_per_period_(steps_per_period(setup.time_step_s)),
      steps_per_hour_(base::units::SECONDS_PER_HOUR / setup.time_step_s),
      f_hv_(setup.f_hv),
      jam_density_pc_(setup.jam_density_pc),
      queue_discharge_drop_(setup.queue_discharge_drop),
      jam_density_veh_(setup.jam_density_pc * setup.f_hv),
      jam_excess_veh_((setup.jam_density_pc - ex::DENSITY_AT_CAPACITY_PC) * setup.f_hv),
      length_mi_(setup.length_mi),
      lanes_(setup.lanes),
      state_(n_ + 1),
      period_(n_ + 1),
      sums_(n_ + 1),
      seeded_step_(n_ + 1, NodeStep{ex::UNCONSTRAINED, ex::UNCONSTRAINED, ex::UNCONSTRAINED, 0.0, 0.0}),
      history_(n_ + 1) {
    require_size(setup.lanes.size(), n_, "lanes");
    plain_arithmetic_ = all_plain(length_mi_) && all_plain(lanes_) && plain(f_hv_) && plain(jam_density_pc_) &&
                        plain(queue_discharge_drop_) && plain(steps_per_hour_);
}

void OversaturatedEngine::expected_demand(const std::vector<double>& capacities,
                                          const std::vector<double>& on_ramp_demands,
                                          const std::vector<double>& off_ramp_demands, double mainline_demand,
                                          std::vector<double>& ed) {
    const std::size_t n = capacities.size();
    ed.resize(n);
    double upstream = mainline_demand;
    for (std::size_t i = 0; i < n; ++i) {
        // As in the demand build-up, an off-ramp takes no more than arrives (no negative demand).
        ed[i] = std::max(base::min2(upstream + on_ramp_demands.at(i) - off_ramp_demands.at(i), capacities[i]), 0.0);
        upstream = ed[i];
    }
}

std::vector<double> OversaturatedEngine::expected_demand(const std::vector<double>& capacities,
                                                         const std::vector<double>& on_ramp_demands,
                                                         const std::vector<double>& off_ramp_demands,
                                                         double mainline_demand) {
    std::vector<double> ed;
    expected_demand(capacities, on_ramp_demands, off_ramp_demands, mainline_demand, ed);
    return ed;
}

std::vector<double> OversaturatedEngine::vehicles() const {
    std::vector<double> out(n_);
    for (std::size_t i = 0; i < n_; ++i) out[i] = state_[i].vehicles;
    return out;
}

std::vector<double> OversaturatedEngine::unserved_veh() const {
    std::vector<double> out(n_);
    for (std::size_t i = 0; i < n_; ++i) out[i] = state_[i].unserved_veh;
    return out;
}

// ---- One analysis period ----------------------------------------------------------------------------

// The segments take their background load (and, in the first period, the previous step is
// seeded), the period's inputs become per-step values, the time steps run, and the period closes
// with the cumulative demand and the period averages.
OversatPeriodResult OversaturatedEngine::run_period(const OversatPeriodInput& in) {
    OversatPeriodResult out;
    run_period(in, out);
    return out;
}

void OversaturatedEngine::run_period(const OversatPeriodInput& in, OversatPeriodResult& out) {
    check_input(in);
    plain_arithmetic_ = plain_arithmetic_ && plain_input(in);
    load_background(in);
    if (!initialised_) seed_previous_step(in);
    prepare_period(in);
    std::fill(sums_.begin(), sums_.end(), NodeSums{});

    const double mainline_step = in.mainline_demand_veh_h / steps_per_hour_;
    const std::uint32_t per_poll = steps_between_polls(n_);
    for (std::uint32_t step = 0; step < steps_per_period_;) {
        base::poll_cancel();
        const std::uint32_t end = step + std::min(per_poll, steps_per_period_ - step);
        if (plain_arithmetic_) {
            for (; step < end; ++step) advance_one_step<PlainComparison>(mainline_step);
        } else {
            for (; step < end; ++step) advance_one_step<NanIgnoring>(mainline_step);
        }
    }

    add_period_demand(in);
    period_result(in, out);
}

void OversaturatedEngine::check_input(const OversatPeriodInput& in) const {
    const std::size_t nodes = n_ + 1;
    require_size(in.capacity_veh_h.size(), n_, "capacity_veh_h");
    require_size(in.segment_demand_veh_h.size(), n_, "segment_demand_veh_h");
    require_size(in.background_density.size(), n_, "background_density");
    require_size(in.front_clearing.size(), n_, "front_clearing");
    require_size(in.on_ramp_demand_veh_h.size(), nodes, "on_ramp_demand_veh_h");
    require_size(in.off_ramp_demand_veh_h.size(), nodes, "off_ramp_demand_veh_h");
    require_size(in.on_ramp_capacity_veh_h.size(), nodes, "on_ramp_capacity_veh_h");
    require_size(in.ramp_meter_rate_veh_h.size(), nodes, "ramp_meter_rate_veh_h");
    require_size(in.diverge_split.size(), nodes, "diverge_split");
    require_size(in.previous_diverge_split.size(), nodes, "previous_diverge_split");
}

// Each segment starts the period with the vehicles of its new background density plus the queue
// (UV) it carries from the last period.
void OversaturatedEngine::load_background(const OversatPeriodInput& in) {
    for (std::size_t i = 0; i < n_; ++i) {
        state_[i].vehicles = in.background_density[i] * lanes_[i] * length_mi_[i] + state_[i].unserved_veh;
    }
}

// The "previous step" of the first oversaturated period: segment flows at the expected demands,
// on-ramp flows at their demands.
void OversaturatedEngine::seed_previous_step(const OversatPeriodInput& in) {
    const auto ed = expected_demand(in.capacity_veh_h, in.on_ramp_demand_veh_h, in.off_ramp_demand_veh_h,
                                    in.mainline_demand_veh_h);
    for (std::size_t i = 0; i < n_; ++i) state_[i].prev_segment_flow = ed[i] / steps_per_hour_;
    for (std::size_t i = 0; i < n_; ++i) state_[i].prev_on_ramp_flow = in.on_ramp_demand_veh_h[i] / steps_per_hour_;
    // No storage or queue-front limit has been observed before the first step (seeded_step_). Left
    // at 0, these would close every on-ramp in the first step (room = previous MO3 - MI < 0) and
    // stop the mainline at a node whose ramp still sent vehicles (MO1 0).
    initialised_ = true;
}

// The period's inputs as the steps use them, each division done once: capacities SC per step and
// SC' below a queue, background vehicles, ramp demands and limits per step, the diverge splits,
// and the wave travel time of each segment whose queue clears from its front.
void OversaturatedEngine::prepare_period(const OversatPeriodInput& in) {
    const double sph = steps_per_hour_;
    const double drop = 1.0 - queue_discharge_drop_;
    for (std::size_t i = 0; i < n_; ++i) {
        NodePeriod& p = period_[i];
        p.step_capacity = in.capacity_veh_h[i] / sph;
        p.reduced_capacity = p.step_capacity * drop;
        p.background_veh = in.background_density[i] * lanes_[i] * length_mi_[i];
        p.front_clearing = in.front_clearing[i];
        if (p.front_clearing) {
            // WTT: the segment length over the speed of the wave from capacity (45 pc/mi/ln) to
            // jam density, in steps.
            const double wave_speed =
                in.capacity_veh_h[i] / (f_hv_ * lanes_[i] * (jam_density_pc_ - ex::DENSITY_AT_CAPACITY_PC));
            p.wave_steps = sph * length_mi_[i] / wave_speed;
        } else {
            state_[i].front_clear_steps = 0;
        }
    }
    for (std::size_t i = 0; i <= n_; ++i) {
        NodePeriod& p = period_[i];
        p.has_on_ramp_demand = in.on_ramp_demand_veh_h[i] > 0.0;
        p.on_ramp_demand = in.on_ramp_demand_veh_h[i] / sph;
        const bool ramp_capacity = in.on_ramp_capacity_veh_h[i] > 0.0;
        const auto& meter = in.ramp_meter_rate_veh_h[i];
        p.has_ramp_limit = ramp_capacity || meter.has_value();
        if (ramp_capacity && meter) {
            p.ramp_limit = base::min2(in.on_ramp_capacity_veh_h[i] / sph, *meter / sph);
        } else if (ramp_capacity) {
            p.ramp_limit = in.on_ramp_capacity_veh_h[i] / sph;
        } else if (meter) {
            p.ramp_limit = *meter / sph;
        }
        p.has_off_ramp_demand = in.off_ramp_demand_veh_h[i] > 0.0;
        p.diverge_split = in.diverge_split[i];
        p.previous_diverge_split = in.previous_diverge_split[i];
    }
}

// ---- One time step ------------------------------------------------------------------------------------

namespace {

// OFRF at a node: the period's split of the vehicles arriving there (F = MF + ONRF one node
// upstream). Vehicles delayed from earlier periods (the deficit of the segment above: the
// vehicles demand says should have entered it but did not) leave with the earlier period's split.
template <class MinMax>
inline double off_ramp_flow(double arriving, double cum_demand, double cum_entered, double split,
                            double previous_split) {
    const double deficit = MinMax::max(cum_demand - cum_entered, 0.0);
    if (deficit <= ex::QUEUE_PRESENT_VEH) return arriving * split;
    if (deficit < arriving) return deficit * previous_split + (arriving - deficit) * split;
    return arriving * previous_split;
}

}  // namespace

// Moves the facility forward by one time step, node by node from the entry downstream. At node
// i: OFRF and MI, then (above node n) ONRF and the mainline outputs MO1, MO3 and MO2 that give
// MF; MF and OFRF close the vehicle balance of segment i - 1. Each step's MO1, MO2, MO3, OFRF and
// SC' go straight into the history row of the step.
template <class MinMax>
void OversaturatedEngine::advance_one_step(double mainline_step) {
    constexpr double none = ex::UNCONSTRAINED;
    NodeStep* const step = history_.current();
    const NodeStep* const previous = history_.size() > 0 ? history_.last() : seeded_step_.data();
    if (n_ == 0) {
        step[0] = NodeStep{none, none, none, 0.0, none};
        history_.end_step();
        return;
    }

    // Node 0, the entry: MI is the step's demand plus the queue waiting upstream of the facility.
    // SC' of the first segment drops while that queue discharges.
    double capacity =
        unserved_entry_veh_ > ex::QUEUE_PRESENT_VEH ? period_[0].reduced_capacity : period_[0].step_capacity;
    double on_ramp_flow = 0.0;
    double mainline_flow = node_mainline_flow<MinMax>(0, mainline_step + unserved_entry_veh_, 0.0, capacity, none,
                                                      previous[0], step[0], on_ramp_flow);
    unserved_entry_veh_ = MinMax::max(mainline_step + unserved_entry_veh_ - mainline_flow, 0.0);

    for (std::size_t i = 1; i <= n_; ++i) {
        NodeState& above = state_[i - 1];
        const NodePeriod& p = period_[i];
        // OFRF and MI: what arrives from segment i - 1, less the off-ramp, plus its queue.
        const double arriving = mainline_flow + on_ramp_flow;
        double exiting = 0.0;
        if (p.has_off_ramp_demand) {
            exiting = off_ramp_flow<MinMax>(arriving, above.cum_demand_veh, above.cum_entered_veh, p.diverge_split,
                                            p.previous_diverge_split);
        }
        const double mainline_input = arriving - exiting + above.unserved_veh;
        sums_[i].off_ramp_flow += exiting;

        double flow_here;
        double on_ramp_here = 0.0;
        const double capacity_above = capacity;
        if (i < n_) {
            // SC' of segment i drops while segment i - 1 holds a queue (before this step's balance).
            capacity = above.unserved_veh > ex::QUEUE_PRESENT_VEH ? p.reduced_capacity : p.step_capacity;
            flow_here = node_mainline_flow<MinMax>(i, mainline_input, exiting, capacity, capacity_above, previous[i],
                                                   step[i], on_ramp_here);
        } else {
            // The facility's exit: MF is limited only by the last segment's capacity.
            flow_here = MinMax::min(mainline_input, capacity_above);
            step[i] = NodeStep{none, none, none, exiting, none};
        }
        balance_segment<MinMax>(i - 1, arriving, flow_here + exiting);
        mainline_flow = flow_here;
        on_ramp_flow = on_ramp_here;
    }
    history_.end_step();
}

// MF at node i < n, given MI, OFRF and SC' there and SC' of the segment above (none at node 0):
// the least of MI, the outputs MO1, MO2 and MO3, and the two capacities, never negative. Also
// serves the on-ramp (ONRF, returned in `on_ramp_flow`) and records the step's values at the node.
template <class MinMax>
inline double OversaturatedEngine::node_mainline_flow(std::size_t i, double mainline_input, double off_ramp_flow,
                                               double capacity, double capacity_above, const NodeStep& previous,
                                               NodeStep& step, double& on_ramp_flow) {
    constexpr double none = ex::UNCONSTRAINED;
    NodeState& s = state_[i];
    const NodePeriod& p = period_[i];
    NodeSums& sums = sums_[i];

    // ONRF: the ramp's demand and queue, limited by the room the mainline leaves, the ramp
    // roadway and the meter; what cannot enter stays in the ramp queue.
    double onrf = 0.0;
    if (p.has_on_ramp_demand || s.on_ramp_queue_veh > 0.0) {
        onrf = serve_on_ramp<MinMax>(i, mainline_input, capacity, previous.front_output);
    }
    // MO1: with vehicles entering from the ramp, the mainline gets what the segment takes beyond
    // them, within the last step's storage and queue-front limits.
    double mo1 = none;
    if (onrf > 0.0) mo1 = min_of<MinMax>(capacity - onrf, previous.storage_output, previous.front_output);
    // MO3: once the clearing wave has crossed the segment, its front discharges what the
    // segment below took one wave travel time ago.
    double mo3 = none;
    if (p.front_clearing) {
        if (static_cast<double>(s.front_clear_steps) >= p.wave_steps) {
            mo3 = front_clearing_output<MinMax>(i, p.wave_steps, off_ramp_flow);
        }
        ++s.front_clear_steps;
    }
    // MO2: the room left on the segment at its queue density KQ, which falls from jam density as
    // the segment's own outflow rises.
    double kq = jam_density_veh_;
    if (p.step_capacity > 0.0) kq = jam_density_veh_ - (s.prev_segment_flow / p.step_capacity) * jam_excess_veh_;
    sums.queue_density = kq;
    const double mo2 = kq * lanes_[i] * length_mi_[i] + (s.prev_segment_flow - onrf) - s.vehicles;

    // MI is taken last: min(MI, min(the rest)) is the same value, bit for bit, as the minimum taken
    // in order (both keep the earliest least operand that is a number), and the rest do not wait
    // for MI, which the node above has only just produced.
    const double mf =
        MinMax::max(0.0, MinMax::min(mainline_input, min_of<MinMax>(mo1, mo2, mo3, capacity, capacity_above)));
    step = NodeStep{mo1, mo2, mo3, off_ramp_flow, capacity};
    s.prev_on_ramp_flow = onrf;
    sums.on_ramp_flow += onrf;
    on_ramp_flow = onrf;
    return mf;
}

// ONRF at node i and the ramp queue it leaves.
template <class MinMax>
inline double OversaturatedEngine::serve_on_ramp(std::size_t i, double mainline_input, double capacity,
                                                 double previous_front_output) {
    NodeState& s = state_[i];
    const NodePeriod& p = period_[i];
    const double want = p.on_ramp_demand + s.on_ramp_queue_veh;
    // Room below MI: what the segment discharged in the previous step (to the mainline below it
    // and to the off-ramp at its downstream end) plus the ramp's previous flow. The mainline flow
    // past the next node alone would count a weave's exiting vehicles against its entering ones
    // and close its on-ramp for good whenever more leave than enter.
    double downstream = s.prev_segment_flow + s.prev_on_ramp_flow;
    // That room grows only from the ramp's own previous flow. A ramp that sent nothing (demand
    // that starts later, a meter at 0, the end of a spillback) while the segment discharged exactly
    // MI finds no room (less than QUEUE_PRESENT_VEH) and would stay closed for as long as MI holds
    // steady; it may then send what it wants, within the other limits.
    const double spare = downstream - mainline_input;
    if (s.prev_on_ramp_flow <= 0.0 && spare >= 0.0 && spare <= ex::QUEUE_PRESENT_VEH) {
        downstream = MinMax::max(downstream, mainline_input + want);
    }
    const double room =
        min_of<MinMax>(capacity, downstream, previous_front_output + s.prev_on_ramp_flow) - mainline_input;
    const double limit = p.has_ramp_limit ? MinMax::min(room, p.ramp_limit) : room;
    if (want <= limit) {
        s.on_ramp_queue_veh = 0.0;
        return want;
    }
    const double onrf = MinMax::max(limit, 0.0);
    s.on_ramp_queue_veh = want - onrf;
    return onrf;
}

// MO3 at node i from the values one wave travel time back: the least of what the node below
// released (its MO1, and its MO2 and MO3 plus its off-ramp flow), the capacity of segment i, and
// the capacity of the segment below plus that off-ramp flow; less this step's OFRF at node i.
// Unconstrained while the history does not reach that far back.
template <class MinMax>
double OversaturatedEngine::front_clearing_output(std::size_t i, double wave_steps, double off_ramp_flow) const {
    const auto lag = history_.at_lag(wave_steps);
    if (!lag) return ex::UNCONSTRAINED;
    const double ramp = lag->at(i + 1, &NodeStep::ramp_output);
    const double storage = lag->at(i + 1, &NodeStep::storage_output);
    const double front = lag->at(i + 1, &NodeStep::front_output);
    const double exiting = lag->at(i + 1, &NodeStep::off_ramp_flow);
    const double capacity = lag->at(i, &NodeStep::capacity);
    const double capacity_below = i + 1 < n_ ? lag->at(i + 1, &NodeStep::capacity) : ex::UNCONSTRAINED;
    return min_of<MinMax>(ramp, storage + exiting, front + exiting, capacity, exiting + capacity_below) -
           off_ramp_flow;
}

// NV of segment i after the step (inflow MF + ONRF at its upstream node, outflow SF = MF + OFRF at
// its downstream node), never below the background level; UV is what stands above that level.
template <class MinMax>
void OversaturatedEngine::balance_segment(std::size_t i, double inflow, double segment_flow) {
    NodeState& s = state_[i];
    const double floor = period_[i].background_veh;
    NodeSums& sums = sums_[i];
    s.vehicles += inflow - segment_flow;
    s.cum_entered_veh += inflow;
    s.vehicles = MinMax::max(s.vehicles, floor);
    s.unserved_veh = MinMax::max(s.vehicles - floor, 0.0);
    sums.queued |= static_cast<std::uint32_t>(s.unserved_veh > ex::QUEUE_PRESENT_VEH);
    sums.segment_flow += segment_flow;
    sums.vehicles += s.vehicles;
    s.prev_segment_flow = segment_flow;
}

// ---- After the last step ----------------------------------------------------------------------------

// The vehicles demand says should have entered each segment by the end of the period (for the
// off-ramp splits of vehicles delayed into later periods).
void OversaturatedEngine::add_period_demand(const OversatPeriodInput& in) {
    const double period_h = static_cast<double>(steps_per_period_) / steps_per_hour_;
    for (std::size_t i = 0; i < n_; ++i) {
        const double upstream = i == 0 ? in.mainline_demand_veh_h : in.segment_demand_veh_h[i - 1];
        state_[i].cum_demand_veh += period_h * (upstream + in.on_ramp_demand_veh_h[i] - in.off_ramp_demand_veh_h[i]);
    }
}

// Period averages of the flows and densities, and the queues standing at the end of the period.
void OversaturatedEngine::period_result(const OversatPeriodInput& in, OversatPeriodResult& out) const {
    const std::size_t n = n_;
    const double sph = steps_per_hour_;
    const double k = static_cast<double>(steps_per_period_);
    const double per_hour = sph / k;
    out.flow_veh_h.resize(n);
    out.density_veh.resize(n);
    out.queue_length_ft.resize(n);
    out.queued.resize(n);
    out.on_ramp_queue_veh.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const NodeState& s = state_[i];
        out.flow_veh_h[i] = per_hour * sums_[i].segment_flow;
        out.density_veh[i] = (sums_[i].vehicles / k) / (length_mi_[i] * lanes_[i]);
        if (s.unserved_veh > ex::QUEUE_PRESENT_VEH) {
            // The queue stands at KQ; its length is its vehicles over the density above the
            // background, within the segment.
            const double excess =
                base::max2(sums_[i].queue_density - in.background_density[i], ex::MIN_QUEUE_DENSITY_EXCESS);
            out.queue_length_ft[i] =
                base::min2(s.unserved_veh / (excess * lanes_[i]) * FT_PER_MI, length_mi_[i] * FT_PER_MI);
        } else {
            out.queue_length_ft[i] = 0.0;
        }
        out.queued[i] = sums_[i].queued != 0;
        out.on_ramp_queue_veh[i] = s.on_ramp_queue_veh;
    }
    out.on_ramp_flow_veh_h.resize(n + 1);
    out.off_ramp_flow_veh_h.resize(n + 1);
    for (std::size_t i = 0; i <= n; ++i) {
        out.on_ramp_flow_veh_h[i] = sums_[i].on_ramp_flow * sph / k;
        out.off_ramp_flow_veh_h[i] = sums_[i].off_ramp_flow * sph / k;
    }
    out.unserved_entry_veh = unserved_entry_veh_;
}

}  // namespace hcm::freeway_facilities::oversaturated
