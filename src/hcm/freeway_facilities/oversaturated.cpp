#include "hcm/freeway_facilities/oversaturated.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "base/numeric.hpp"
#include "base/units.hpp"

namespace hcm::freeway_facilities::oversaturated {
namespace {

namespace ex = exhibits::oversaturated;
using base::units::FT_PER_MI;

// The engine's minimums and maximums ignore an operand that is not a number.
using base::max2;
using base::min2;
template <class... T>
inline double min_of(double a, double b, T... rest) {
    if constexpr (sizeof...(rest) == 0) {
        return min2(a, b);
    } else {
        return min_of(min2(a, b), rest...);
    }
}

void require_size(std::size_t actual, std::size_t expected, const char* what) {
    if (actual != expected) {
        throw std::logic_error(std::string("oversaturated engine: ") + what + " has " + std::to_string(actual) +
                               " entries, expected " + std::to_string(expected));
    }
}

}  // namespace

// ---- StepHistory --------------------------------------------------------------------------------

double StepHistory::at(std::size_t index) const { return values_[(start_ + index) % values_.size()]; }

std::optional<double> StepHistory::lookup(double lag) const {
    // x = m - w counts from the oldest entry; the last entry is the previous step. A lag that
    // reaches before the oldest entry (x < 1) or after the last one (a negative lag, x > m)
    // finds nothing.
    const double m = static_cast<double>(size_);
    const double x = m - lag;
    if (size_ == 0 || !(x >= 1.0) || x > m) return std::nullopt;
    const double fl = std::floor(x);
    const auto lo = base::to_unsigned_sat<std::size_t>(fl) - 1;
    const auto hi = std::min(base::to_unsigned_sat<std::size_t>(std::ceil(x)) - 1, size_ - 1);
    const double f = x - fl;
    return (1.0 - f) * at(lo) + f * at(hi);
}

// ---- Engine ---------------------------------------------------------------------------------------

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
      length_mi_(setup.length_mi),
      lanes_(setup.lanes) {
    require_size(setup.lanes.size(), n_, "lanes");
    const std::size_t nodes = n_ + 1;
    for (auto* v : {&vehicles_, &unserved_veh_, &prev_segment_flow_, &cum_demand_veh_, &cum_entered_veh_, &sc_,
                    &sc_eff_, &wave_steps_, &queue_density_, &segment_flow_, &sum_segment_flow_, &sum_vehicles_}) {
        v->assign(n_, 0.0);
    }
    for (auto* v : {&prev_on_ramp_flow_, &prev_storage_output_, &prev_front_output_,
                    &on_ramp_queue_veh_, &mainline_flow_, &on_ramp_flow_, &off_ramp_flow_, &ramp_output_,
                    &storage_output_, &front_output_, &sum_on_ramp_flow_, &sum_off_ramp_flow_}) {
        v->assign(nodes, 0.0);
    }
    front_clear_steps_.assign(n_, 0);
    capacity_history_.assign(n_, StepHistory{});
    for (auto* h : {&ramp_output_history_, &storage_output_history_, &front_output_history_, &off_ramp_flow_history_}) {
        h->assign(nodes, StepHistory{});
    }
}

std::vector<double> OversaturatedEngine::expected_demand(const std::vector<double>& capacities,
                                                         const std::vector<double>& on_ramp_demands,
                                                         const std::vector<double>& off_ramp_demands,
                                                         double mainline_demand) {
    const std::size_t n = capacities.size();
    std::vector<double> ed(n, 0.0);
    double upstream = mainline_demand;
    for (std::size_t i = 0; i < n; ++i) {
        // As in the demand build-up, an off-ramp takes no more than arrives (no negative demand).
        ed[i] = std::max(min2(upstream + on_ramp_demands.at(i) - off_ramp_demands.at(i), capacities[i]), 0.0);
        upstream = ed[i];
    }
    return ed;
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

// Previous-step values of the first oversaturated period, from the expected demands.
void OversaturatedEngine::seed(const OversatPeriodInput& in) {
    const auto ed = expected_demand(in.capacity_veh_h, in.on_ramp_demand_veh_h, in.off_ramp_demand_veh_h,
                                    in.mainline_demand_veh_h);
    for (std::size_t i = 0; i < n_; ++i) prev_segment_flow_[i] = ed[i] / steps_per_hour_;
    for (std::size_t i = 0; i < n_; ++i) prev_on_ramp_flow_[i] = in.on_ramp_demand_veh_h[i] / steps_per_hour_;
    // Before the first step no storage or queue-front limit has been observed. Left at 0, these
    // would close every on-ramp in the first step (room = previous front output - MI < 0) and stop
    // the mainline at a node whose ramp still sent vehicles (ramp-limited output 0).
    std::fill(prev_storage_output_.begin(), prev_storage_output_.end(), ex::UNCONSTRAINED);
    std::fill(prev_front_output_.begin(), prev_front_output_.end(), ex::UNCONSTRAINED);
    initialised_ = true;
}

OversatPeriodResult OversaturatedEngine::run_period(const OversatPeriodInput& in) {
    check_input(in);
    const std::size_t n = n_;
    const double sph = steps_per_hour_;
    const double drop = 1.0 - queue_discharge_drop_;
    const double jam_veh = jam_density_pc_ * f_hv_;
    const double jam_excess_veh = (jam_density_pc_ - ex::DENSITY_AT_CAPACITY_PC) * f_hv_;
    const double mainline_step = in.mainline_demand_veh_h / sph;

    // 1. Background load plus the queue carried from the last period.
    for (std::size_t i = 0; i < n; ++i) {
        vehicles_[i] = in.background_density[i] * lanes_[i] * length_mi_[i] + unserved_veh_[i];
    }
    // 2. Previous-step values, first period only.
    if (!initialised_) seed(in);
    // 3. Per-step capacities; 4. wave travel time of front-clearing segments, in steps.
    for (std::size_t i = 0; i < n; ++i) {
        sc_[i] = in.capacity_veh_h[i] / sph;
        if (in.front_clearing[i]) {
            const double wave_speed =
                in.capacity_veh_h[i] / (f_hv_ * lanes_[i] * (jam_density_pc_ - ex::DENSITY_AT_CAPACITY_PC));
            wave_steps_[i] = sph * length_mi_[i] / wave_speed;
        } else {
            front_clear_steps_[i] = 0;
        }
    }
    // 5. Period sums.
    std::fill(sum_segment_flow_.begin(), sum_segment_flow_.end(), 0.0);
    std::fill(sum_vehicles_.begin(), sum_vehicles_.end(), 0.0);
    std::fill(sum_on_ramp_flow_.begin(), sum_on_ramp_flow_.end(), 0.0);
    std::fill(sum_off_ramp_flow_.begin(), sum_off_ramp_flow_.end(), 0.0);
    std::fill(queue_density_.begin(), queue_density_.end(), 0.0);
    std::vector<bool> queued(n, false);

    // 6. The time steps.
    for (std::uint32_t step = 0; step < steps_per_period_; ++step) {
        // 6.1 Effective capacities: a segment below a queue discharges at the reduced rate.
        for (std::size_t i = 0; i < n; ++i) sc_eff_[i] = sc_[i];
        if (n > 0 && unserved_entry_veh_ > ex::QUEUE_PRESENT_VEH) sc_eff_[0] = sc_[0] * drop;
        for (std::size_t i = 0; i + 1 < n; ++i) {
            if (unserved_veh_[i] > ex::QUEUE_PRESENT_VEH) sc_eff_[i + 1] = sc_[i + 1] * drop;
        }
        // 6.2 Step arrays.
        for (std::size_t i = 0; i <= n; ++i) {
            mainline_flow_[i] = 0.0;
            on_ramp_flow_[i] = 0.0;
            off_ramp_flow_[i] = 0.0;
            ramp_output_[i] = ex::UNCONSTRAINED;
            storage_output_[i] = ex::UNCONSTRAINED;
            front_output_[i] = ex::UNCONSTRAINED;
        }
        // 6.3 Node loop, upstream to downstream.
        for (std::size_t i = 0; i <= n; ++i) {
            double mainline_input;
            if (i == 0) {
                mainline_input = mainline_step + unserved_entry_veh_;
            } else {
                const std::size_t j = i - 1;
                if (in.off_ramp_demand_veh_h[i] > 0.0) {
                    // Vehicles delayed from earlier periods leave with the earlier period's split.
                    const double arriving = mainline_flow_[j] + on_ramp_flow_[j];
                    const double deficit = max2(cum_demand_veh_[j] - cum_entered_veh_[j], 0.0);
                    if (deficit <= ex::QUEUE_PRESENT_VEH) {
                        off_ramp_flow_[i] = arriving * in.diverge_split[i];
                    } else if (deficit < arriving) {
                        off_ramp_flow_[i] =
                            deficit * in.previous_diverge_split[i] + (arriving - deficit) * in.diverge_split[i];
                    } else {
                        off_ramp_flow_[i] = arriving * in.previous_diverge_split[i];
                    }
                }
                mainline_input = mainline_flow_[j] + on_ramp_flow_[j] - off_ramp_flow_[i] + unserved_veh_[j];
            }
            if (i == n) {
                mainline_flow_[n] = n > 0 ? min2(mainline_input, sc_eff_[n - 1]) : mainline_input;
                break;
            }
            // On-ramp flow limited by the room the mainline leaves, the ramp and the meter.
            if (in.on_ramp_demand_veh_h[i] > 0.0 || on_ramp_queue_veh_[i] > 0.0) {
                const double want = in.on_ramp_demand_veh_h[i] / sph + on_ramp_queue_veh_[i];
                // Room below the mainline input: what the segment discharged in the previous step
                // (to the mainline below it and to the off-ramp at its downstream end) plus the
                // ramp's previous flow. The mainline flow past the next node alone would count a
                // weave's exiting vehicles against its entering ones and close its on-ramp for good
                // whenever more leave than enter.
                double downstream = prev_segment_flow_[i] + prev_on_ramp_flow_[i];
                // That room grows only from the ramp's own previous flow. A ramp that sent nothing
                // (demand that starts later, a meter at 0, the end of a spillback) while the
                // segment discharged exactly the mainline input finds no room (less than
                // QUEUE_PRESENT_VEH) and would stay closed for as long as that input holds
                // steady; it may then send what it wants, within the other limits.
                const double spare = downstream - mainline_input;
                if (prev_on_ramp_flow_[i] <= 0.0 && spare >= 0.0 && spare <= ex::QUEUE_PRESENT_VEH) {
                    downstream = max2(downstream, mainline_input + want);
                }
                const double room =
                    min_of(sc_eff_[i], downstream, prev_front_output_[i] + prev_on_ramp_flow_[i]) - mainline_input;
                double limit = room;
                if (in.on_ramp_capacity_veh_h[i] > 0.0) limit = min2(room, in.on_ramp_capacity_veh_h[i] / sph);
                if (in.ramp_meter_rate_veh_h[i]) limit = min2(limit, *in.ramp_meter_rate_veh_h[i] / sph);
                if (want <= limit) {
                    on_ramp_flow_[i] = want;
                    on_ramp_queue_veh_[i] = 0.0;
                } else {
                    on_ramp_flow_[i] = max2(limit, 0.0);
                    on_ramp_queue_veh_[i] = want - on_ramp_flow_[i];
                }
            }
            // Ramp-limited output.
            if (on_ramp_flow_[i] > 0.0) {
                ramp_output_[i] =
                    min_of(sc_eff_[i] - on_ramp_flow_[i], prev_storage_output_[i], prev_front_output_[i]);
            }
            // Front-clearing output, once the clearing wave has crossed the segment.
            if (in.front_clearing[i] && static_cast<double>(front_clear_steps_[i]) >= wave_steps_[i]) {
                const double w = wave_steps_[i];
                const auto a = ramp_output_history_[i + 1].lookup(w);
                const auto b = storage_output_history_[i + 1].lookup(w);
                const auto c = front_output_history_[i + 1].lookup(w);
                const auto r = off_ramp_flow_history_[i + 1].lookup(w);
                const auto s = capacity_history_[i].lookup(w);
                const std::optional<double> t =
                    i + 1 < n ? capacity_history_[i + 1].lookup(w) : std::optional<double>(ex::UNCONSTRAINED);
                if (a && b && c && r && s && t) {
                    front_output_[i] = min_of(*a, *b + *r, *c + *r, *s, *r + *t) - off_ramp_flow_[i];
                }
            }
            // Storage-limited output: room left on the segment at its queue density.
            double kq = jam_veh;
            if (sc_[i] > 0.0) kq = jam_veh - (prev_segment_flow_[i] / sc_[i]) * jam_excess_veh;
            queue_density_[i] = kq;
            storage_output_[i] =
                kq * lanes_[i] * length_mi_[i] + (prev_segment_flow_[i] - on_ramp_flow_[i]) - vehicles_[i];
            const double upstream_capacity = i >= 1 ? sc_eff_[i - 1] : ex::UNCONSTRAINED;
            mainline_flow_[i] = max2(0.0, min_of(mainline_input, ramp_output_[i], storage_output_[i], front_output_[i],
                                                 sc_eff_[i], upstream_capacity));
        }
        // 6.4 Queue upstream of the entry.
        if (n > 0) unserved_entry_veh_ = max2(mainline_step + unserved_entry_veh_ - mainline_flow_[0], 0.0);
        // 6.5 Segment balances.
        for (std::size_t i = 0; i < n; ++i) {
            segment_flow_[i] = mainline_flow_[i + 1] + off_ramp_flow_[i + 1];
            const double inflow = mainline_flow_[i] + on_ramp_flow_[i];
            vehicles_[i] += inflow - segment_flow_[i];
            cum_entered_veh_[i] += inflow;
            const double floor = in.background_density[i] * lanes_[i] * length_mi_[i];
            vehicles_[i] = max2(vehicles_[i], floor);
            unserved_veh_[i] = max2(vehicles_[i] - floor, 0.0);
            if (unserved_veh_[i] > ex::QUEUE_PRESENT_VEH) queued[i] = true;
            sum_segment_flow_[i] += segment_flow_[i];
            sum_vehicles_[i] += vehicles_[i];
        }
        // 6.6 Ramp sums.
        for (std::size_t i = 0; i <= n; ++i) {
            sum_on_ramp_flow_[i] += on_ramp_flow_[i];
            sum_off_ramp_flow_[i] += off_ramp_flow_[i];
        }
        // 6.7 This step becomes the previous step.
        for (std::size_t i = 0; i < n; ++i) prev_segment_flow_[i] = segment_flow_[i];
        for (std::size_t i = 0; i <= n; ++i) {
            prev_on_ramp_flow_[i] = on_ramp_flow_[i];
            prev_storage_output_[i] = storage_output_[i];
            prev_front_output_[i] = front_output_[i];
        }
        // 6.8 Histories and front-clearing counters.
        for (std::size_t i = 0; i <= n; ++i) {
            ramp_output_history_[i].push(ramp_output_[i]);
            storage_output_history_[i].push(storage_output_[i]);
            front_output_history_[i].push(front_output_[i]);
            off_ramp_flow_history_[i].push(off_ramp_flow_[i]);
        }
        for (std::size_t i = 0; i < n; ++i) {
            capacity_history_[i].push(sc_eff_[i]);
            if (in.front_clearing[i]) ++front_clear_steps_[i];
        }
    }

    // 7. Demand bookkeeping for the off-ramp splits of later periods.
    const double period_h = static_cast<double>(steps_per_period_) / sph;
    for (std::size_t i = 0; i < n; ++i) {
        const double upstream = i == 0 ? in.mainline_demand_veh_h : in.segment_demand_veh_h[i - 1];
        cum_demand_veh_[i] += period_h * (upstream + in.on_ramp_demand_veh_h[i] - in.off_ramp_demand_veh_h[i]);
    }

    // 8. Period averages and end-of-period queues.
    const double k = static_cast<double>(steps_per_period_);
    OversatPeriodResult out;
    out.flow_veh_h.resize(n);
    out.density_veh.resize(n);
    out.queue_length_ft.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        out.flow_veh_h[i] = (sph / k) * sum_segment_flow_[i];
        out.density_veh[i] = (sum_vehicles_[i] / k) / (length_mi_[i] * lanes_[i]);
        if (unserved_veh_[i] > ex::QUEUE_PRESENT_VEH) {
            const double excess = max2(queue_density_[i] - in.background_density[i], ex::MIN_QUEUE_DENSITY_EXCESS);
            out.queue_length_ft[i] =
                min2(unserved_veh_[i] / (excess * lanes_[i]) * FT_PER_MI, length_mi_[i] * FT_PER_MI);
        } else {
            out.queue_length_ft[i] = 0.0;
        }
    }
    out.queued = std::move(queued);
    out.on_ramp_queue_veh.assign(on_ramp_queue_veh_.begin(), on_ramp_queue_veh_.begin() + static_cast<std::ptrdiff_t>(n));
    out.on_ramp_flow_veh_h.resize(n + 1);
    out.off_ramp_flow_veh_h.resize(n + 1);
    for (std::size_t i = 0; i <= n; ++i) {
        out.on_ramp_flow_veh_h[i] = sum_on_ramp_flow_[i] * sph / k;
        out.off_ramp_flow_veh_h[i] = sum_off_ramp_flow_[i] * sph / k;
    }
    out.unserved_entry_veh = unserved_entry_veh_;
    return out;
}

}  // namespace hcm::freeway_facilities::oversaturated
