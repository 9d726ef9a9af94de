#include "hcm/awsc/awsc.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "base/cancel.hpp"
#include "base/numeric.hpp"
#include "base/units.hpp"
#include "hcm/common/common.hpp"
#include "hcm/common/delay_los.hpp"
#include "hcm/awsc/exhibits.hpp"
#include "hcm/common/error.hpp"
#include "hcm/unsignalized/unsignalized.hpp"

namespace hcm::awsc::awsc {

namespace {

using base::units::SECONDS_PER_HOUR;

// For a lane of the subject approach, the approaches whose traffic it meets: opposing, conflicting
// from the left, conflicting from the right (by approach index eb, wb, nb, sb).
struct Roles {
    std::size_t opposing, left, right;
};
constexpr std::array<Roles, 4> ROLES = {{{WB, SB, NB}, {EB, NB, SB}, {SB, EB, WB}, {NB, WB, EB}}};

using namespace exhibits;

// Passes of the departure-headway iteration at most.
constexpr std::uint32_t MAX_PASSES = 100;

// The lane capacity search: a bracket of 200 veh/h steps from 400 veh/h up to 3,600 veh/h, then
// bisection to 1 veh/h.
constexpr double CAPACITY_FIRST_TRIAL = 400.0;
constexpr double CAPACITY_BRACKET_STEP = 200.0;
constexpr double CAPACITY_BRACKET_LIMIT = 3600.0;
constexpr double CAPACITY_RESOLUTION = 1.0;
constexpr int CAPACITY_MAX_BISECTIONS = 30;

bool is_multilane_group(GeometryGroup g) { return g == GeometryGroup::G5 || g == GeometryGroup::G6; }

double lane_volume(const AwscLane& lane) { return lane.volume_left + lane.volume_through + lane.volume_right; }

// The PHF that divides the volumes: the given one when positive, else 1 (the volumes are rates).
double peak_hour_factor(const Awsc& a) { return (a.phf && *a.phf > 0.0) ? *a.phf : 1.0; }

// Step 3 for approach i (which has lanes).
GeometryGroup geometry_group_of(const Awsc& a, std::size_t i, bool four_leg) {
    auto lanes = [&](std::size_t k) { return (a.*APPROACHES[k]).lanes.size(); };
    const Roles& r = ROLES[i];
    return geometry_group(lanes(i), lanes(r.opposing), std::max(lanes(r.left), lanes(r.right)), four_leg);
}

// Step 4 for one lane of an approach of geometry group g: h_adj = h_LT P_LT + h_RT P_RT + h_HV P_HV.
double headway_adjustment(const AwscLane& lane, const AwscApproach& approach, GeometryGroup g) {
    const TurnAdjustments turn = is_multilane_group(g) ? TURN_ADJUSTMENT_G5_G6 : TURN_ADJUSTMENT_G1_TO_G4;
    const double p_hv = approach.heavy_vehicle_pct / 100.0;
    const double total = lane_volume(lane);
    const double p_lt = total > 0.0 ? lane.volume_left / total : 0.0;
    const double p_rt = total > 0.0 ? lane.volume_right / total : 0.0;
    return turn.left * p_lt + turn.right * p_rt + HEAVY_VEHICLE_ADJUSTMENT_S * p_hv;
}

// What the iteration reads from the record, per approach and lane in list order.
struct HeadwayInputs {
    std::array<GeometryGroup, 4> group{};
    std::array<std::vector<double>, 4> flow;        // v, veh/h
    std::array<std::vector<double>, 4> adjustment;  // h_adj, s
};

struct HeadwayOutputs {
    std::array<std::vector<double>, 4> headway;  // h_d, s
    std::uint32_t passes = 0;
};

// The iteration's inputs as the record stores them.
HeadwayInputs headway_inputs(const Awsc& a) {
    HeadwayInputs in;
    for (std::size_t i = 0; i < 4; ++i) {
        const AwscApproach& approach = a.*APPROACHES[i];
        in.group[i] = approach.geometry_group.value_or(GeometryGroup::G1);
        in.flow[i].reserve(approach.lanes.size());
        in.adjustment[i].reserve(approach.lanes.size());
        for (const AwscLane& lane : approach.lanes) {
            in.flow[i].push_back(lane.flow_rate.value_or(0.0));
            in.adjustment[i].push_back(lane.headway_adjustment.value_or(0.0));
        }
    }
    return in;
}

// The iteration's inputs as `prepare` would store them, from the record's inputs alone.
HeadwayInputs prepared_headway_inputs(const Awsc& a) {
    const double phf = peak_hour_factor(a);
    const bool four_leg = is_four_leg(a);
    HeadwayInputs in;
    for (std::size_t i = 0; i < 4; ++i) {
        const AwscApproach& approach = a.*APPROACHES[i];
        if (approach.lanes.empty()) continue;
        const GeometryGroup group = geometry_group_of(a, i, four_leg);
        in.group[i] = group;
        in.flow[i].reserve(approach.lanes.size());
        in.adjustment[i].reserve(approach.lanes.size());
        for (const AwscLane& lane : approach.lanes) {
            in.flow[i].push_back(lane_volume(lane) / phf);
            in.adjustment[i].push_back(headway_adjustment(lane, approach, group));
        }
    }
    return in;
}

// The occupancy of the first L lanes of one approach, grouped by how many of them hold a
// vehicle: the total probability of the combinations with n occupied lanes.
struct Occupancy {
    std::array<double, 4> probability{};
};

// How many combinations of L lanes (2 or 3) have n of them occupied: the binomial coefficient.
constexpr std::array<std::array<double, 4>, 4> COMBINATIONS = {{
    {1.0, 0.0, 0.0, 0.0},
    {1.0, 1.0, 0.0, 0.0},
    {1.0, 2.0, 1.0, 0.0},
    {1.0, 3.0, 3.0, 1.0},
}};

Occupancy occupancy(const std::vector<double>& utilisation, std::size_t considered) {
    std::array<double, 3> p{};
    for (std::size_t j = 0; j < std::min(considered, utilisation.size()); ++j)
        p[j] = std::clamp(utilisation[j], 0.0, 1.0);
    Occupancy out;
    for (unsigned set = 0; set < (1u << considered); ++set) {
        double probability = 1.0;
        std::size_t occupied = 0;
        for (std::size_t j = 0; j < considered; ++j) {
            if ((set >> j) & 1u) {
                probability *= p[j];
                ++occupied;
            } else {
                probability *= 1.0 - p[j];
            }
        }
        out.probability[occupied] += probability;
    }
    return out;
}

// Degree-of-conflict case (1 to 5) of a combination with n_O opposing, n_CL and n_CR conflicting
// vehicles present.
int conflict_case(std::size_t opposing, std::size_t left, std::size_t right) {
    const int conflicting = (left > 0 ? 1 : 0) + (right > 0 ? 1 : 0);
    if (opposing == 0) return conflicting == 0 ? 1 : (conflicting == 1 ? 3 : 4);
    return conflicting == 0 ? 2 : (conflicting == 1 ? 4 : 5);
}

// Over all combinations of each degree-of-conflict case, for a subject approach of group g with L
// lanes considered per approach: how many there are (N1 to N5) and the sum of their saturation
// headways. Every combination carries its case's probability adjustment, whether it can occur or
// not, so these totals depend on g and L only.
struct CaseTotals {
    std::array<double, CASES> combinations{};
    std::array<double, CASES> headway{};  // s
};

CaseTotals case_totals(GeometryGroup g, std::size_t considered) {
    const std::array<double, 4>& n = COMBINATIONS[considered];
    CaseTotals out;
    for (std::size_t no = 0; no <= considered; ++no) {
        for (std::size_t nl = 0; nl <= considered; ++nl) {
            for (std::size_t nr = 0; nr <= considered; ++nr) {
                const double combinations = n[no] * n[nl] * n[nr];
                const int c = conflict_case(no, nl, nr);
                const auto i = static_cast<std::size_t>(c - 1);
                out.combinations[i] += combinations;
                out.headway[i] += combinations * saturation_headway(g, c, static_cast<int>(no + nl + nr));
            }
        }
    }
    return out;
}

// The departure headway of a lane of the subject approach is A + h_adj B: the sums over all
// combinations of (P + AdjP) h_sat and of (P + AdjP). Combinations are taken in groups of equal
// occupied-lane counts per approach, which share their case and h_sat; a group that cannot occur
// adds no probability. The adjustments add up to 0 over all combinations, so B is 1 up to
// rounding.
struct HeadwaySums {
    double a = 0.0;
    double b = 0.0;
};

HeadwaySums headway_sums(GeometryGroup g, const CaseTotals& totals, const Occupancy& opposing, const Occupancy& left,
                         const Occupancy& right, std::size_t considered) {
    std::array<double, CASES> prob{}, prob_h{};
    for (std::size_t no = 0; no <= considered; ++no) {
        if (opposing.probability[no] == 0.0) continue;
        for (std::size_t nl = 0; nl <= considered; ++nl) {
            if (left.probability[nl] == 0.0) continue;
            for (std::size_t nr = 0; nr <= considered; ++nr) {
                if (right.probability[nr] == 0.0) continue;
                const double p = opposing.probability[no] * left.probability[nl] * right.probability[nr];
                const int c = conflict_case(no, nl, nr);
                const auto i = static_cast<std::size_t>(c - 1);
                prob[i] += p;
                prob_h[i] += p * saturation_headway(g, c, static_cast<int>(no + nl + nr));
            }
        }
    }
    // Probability adjustments, one value per combination of each case; over all combinations of
    // all cases they add up to zero.
    const double m = static_cast<double>((1u << considered) - 1u);
    const double alpha = PROBABILITY_ADJUSTMENT;
    const auto& s = prob;
    const std::array<double, CASES> adjustment = {
        alpha * (s[1] + 2.0 * s[2] + 3.0 * s[3] + 4.0 * s[4]),
        alpha * (s[2] + 2.0 * s[3] + 3.0 * s[4] - s[1]) / m,
        alpha * (s[3] + 2.0 * s[4] - 3.0 * s[2]) / (2.0 * m),
        alpha * (s[4] - 6.0 * s[3]) / (3.0 * m * m),
        -10.0 * alpha * s[4] / (m * m * m),
    };
    HeadwaySums out;
    for (std::size_t i = 0; i < CASES; ++i) {
        out.a += prob_h[i] + adjustment[i] * totals.headway[i];
        out.b += prob[i] + adjustment[i] * totals.combinations[i];
    }
    return out;
}

// Steps 5-8: the fixed point of the departure headways.
HeadwayOutputs solve_headways(const HeadwayInputs& in, double tolerance_s) {
    std::size_t considered = 2;
    for (const auto& flows : in.flow)
        if (flows.size() >= 3) considered = 3;

    HeadwayOutputs out;
    std::array<std::vector<double>, 4> next, utilisation;
    std::array<CaseTotals, 4> totals;
    for (std::size_t i = 0; i < 4; ++i) {
        totals[i] = case_totals(in.group[i], considered);
        out.headway[i].assign(in.flow[i].size(), INITIAL_HEADWAY_S);
        next[i].resize(in.flow[i].size());
        utilisation[i].resize(in.flow[i].size());
    }
    std::array<Occupancy, 4> occupied;
    while (true) {
        base::poll_cancel();  // a pass goes over every lane
        for (std::size_t i = 0; i < 4; ++i) {
            for (std::size_t j = 0; j < in.flow[i].size(); ++j)
                utilisation[i][j] = std::min(in.flow[i][j] * out.headway[i][j] / SECONDS_PER_HOUR, 1.0);
            occupied[i] = occupancy(utilisation[i], considered);
        }
        double largest_change = 0.0;
        for (std::size_t i = 0; i < 4; ++i) {
            if (in.flow[i].empty()) continue;
            const Roles& r = ROLES[i];
            const HeadwaySums sums =
                headway_sums(in.group[i], totals[i], occupied[r.opposing], occupied[r.left], occupied[r.right],
                             considered);
            for (std::size_t j = 0; j < in.flow[i].size(); ++j) {
                next[i][j] = sums.a + in.adjustment[i][j] * sums.b;
                largest_change = base::max2(largest_change, std::abs(next[i][j] - out.headway[i][j]));
            }
        }
        ++out.passes;
        std::swap(out.headway, next);
        if (largest_change <= tolerance_s || out.passes == MAX_PASSES) break;
    }
    return out;
}

// Steps 1-4 into the record from the inputs they gave the iteration (prepared_headway_inputs):
// every lane's flow rate and headway adjustment, and the geometry group of every approach with
// lanes. Cannot fail.
void store_prepared_inputs(Awsc& a, const HeadwayInputs& in) {
    for (std::size_t i = 0; i < 4; ++i) {
        AwscApproach& approach = a.*APPROACHES[i];
        if (approach.lanes.empty()) continue;
        approach.geometry_group = in.group[i];
        for (std::size_t j = 0; j < approach.lanes.size(); ++j) {
            approach.lanes[j].flow_rate = in.flow[i][j];
            approach.lanes[j].headway_adjustment = in.adjustment[i][j];
        }
    }
}

// Steps 5-8 into the record: every lane's departure headway and degree of utilisation, and the
// pass count.
void store_departure_headways(Awsc& a, const HeadwayInputs& in, const HeadwayOutputs& out) {
    for (std::size_t i = 0; i < 4; ++i) {
        std::vector<AwscLane>& lanes = (a.*APPROACHES[i]).lanes;
        for (std::size_t j = 0; j < lanes.size(); ++j) {
            const double h = out.headway[i][j];
            lanes[j].departure_headway = h;
            lanes[j].degree_of_utilization = in.flow[i][j] * h / SECONDS_PER_HOUR;
        }
    }
    a.iterations = out.passes;
}

// Step 12: the bracket and bisection over the lane's flow rate, on the given inputs.
double capacity_search(HeadwayInputs in, std::size_t approach, std::size_t lane) {
    double& flow = in.flow.at(approach).at(lane);
    auto utilisation = [&](double trial) {
        flow = trial;
        const HeadwayOutputs out = solve_headways(in, CAPACITY_SEARCH_TOLERANCE_S);
        return trial * out.headway[approach][lane] / SECONDS_PER_HOUR;
    };
    double lo = 0.0;
    double hi = CAPACITY_FIRST_TRIAL;
    double last = utilisation(hi);
    while (last < 1.0 && hi < CAPACITY_BRACKET_LIMIT) {
        lo = hi;
        hi += CAPACITY_BRACKET_STEP;
        last = utilisation(hi);
    }
    int bisections = 0;
    do {
        const double mid = 0.5 * (lo + hi);
        if (utilisation(mid) < 1.0) {
            lo = mid;
        } else {
            hi = mid;
        }
        ++bisections;
    } while (!(hi - lo < CAPACITY_RESOLUTION) && bisections < CAPACITY_MAX_BISECTIONS);
    return 0.5 * (lo + hi);
}

std::string los_letter(double delay, bool over_capacity = false) {
    const common::LevelOfService los = common::los_of_delay(common::UNSIGNALIZED_DELAY_LOS_MAX, delay, over_capacity);
    return std::string(1, common::letter(los));
}

}  // namespace

double saturation_headway(GeometryGroup g, int conflict_case, int occupied_lanes) {
    const auto c = static_cast<std::size_t>(std::clamp(conflict_case, 1, CASES) - 1);
    if (!is_multilane_group(g)) return SATURATION_HEADWAY_BY_CASE.at(static_cast<std::size_t>(g))[c];
    const auto k = static_cast<std::size_t>(std::clamp(occupied_lanes, 0, MAX_K_COLUMN));
    return (g == GeometryGroup::G5 ? SATURATION_HEADWAY_G5 : SATURATION_HEADWAY_G6)[c][k];
}

bool is_four_leg(const Awsc& a) {
    return std::all_of(APPROACHES.begin(), APPROACHES.end(), [&](auto member) { return !(a.*member).lanes.empty(); });
}

GeometryGroup geometry_group(std::size_t n_s, std::size_t n_o, std::size_t n_c, bool four_leg) {
    using G = GeometryGroup;
    if (n_s == 1) {
        if (n_o <= 1) return n_c <= 1 ? G::G1 : (n_c == 2 ? G::G2 : G::G5);
        if (n_o == 2) {
            if (n_c <= 1) return four_leg ? G::G4a : G::G3a;
            return n_c == 2 ? (four_leg ? G::G4b : G::G3b) : G::G6;
        }
        return n_c <= 1 ? G::G5 : G::G6;
    }
    if (n_s == 2) return (n_o <= 2 && n_c <= 2) ? G::G5 : G::G6;
    return (n_o <= 1 || n_c <= 1) ? G::G5 : G::G6;
}

void step1_2_flow_rates(Awsc& a) {
    const double phf = peak_hour_factor(a);
    for (auto member : APPROACHES)
        for (AwscLane& lane : (a.*member).lanes) lane.flow_rate = lane_volume(lane) / phf;
}

void step3_geometry_groups(Awsc& a) {
    const bool four_leg = is_four_leg(a);
    for (std::size_t i = 0; i < 4; ++i) {
        AwscApproach& approach = a.*APPROACHES[i];
        if (!approach.lanes.empty()) approach.geometry_group = geometry_group_of(a, i, four_leg);
    }
}

void step4_headway_adjustments(Awsc& a) {
    for (auto member : APPROACHES) {
        AwscApproach& approach = a.*member;
        if (!approach.geometry_group) continue;
        for (AwscLane& lane : approach.lanes)
            lane.headway_adjustment = headway_adjustment(lane, approach, *approach.geometry_group);
    }
}

void prepare(Awsc& a) {
    step1_2_flow_rates(a);
    step3_geometry_groups(a);
    step4_headway_adjustments(a);
}

void iterate_departure_headways(Awsc& a, double tolerance_s) {
    const HeadwayInputs in = headway_inputs(a);
    store_departure_headways(a, in, solve_headways(in, tolerance_s));
}

void calculate_lane_results(Awsc& a) {
    const double t = a.analysis_period_h;
    for (auto member : APPROACHES) {
        AwscApproach& approach = a.*member;
        const double move_up = (approach.geometry_group && is_multilane_group(*approach.geometry_group))
                                   ? MOVE_UP_TIME_G5_G6_S
                                   : MOVE_UP_TIME_S;
        for (AwscLane& lane : approach.lanes) {
            if (!lane.departure_headway || !lane.degree_of_utilization) continue;
            const double h = *lane.departure_headway;
            const double x = *lane.degree_of_utilization;
            const double service_time = h - move_up;  // Equation 21-29
            // Equation 21-30.
            const double delay =
                unsignalized::control_delay(x, h, service_time, t, unsignalized::DecelerationTerm::Full);
            lane.service_time = service_time;
            lane.control_delay = delay;
            lane.los = los_letter(delay, x > 1.0);
            // Equation 21-33, with the lane capacity 3,600 / h_d.
            lane.queue_95 = h > 0.0 ? unsignalized::queue_95(x, SECONDS_PER_HOUR / h, t) : 0.0;
        }
    }
}

void step15_aggregate_delay(Awsc& a) {
    base::WeightedMean intersection;
    for (auto member : APPROACHES) {
        AwscApproach& approach = a.*member;
        base::WeightedMean lanes;
        bool has_lane = false;
        for (const AwscLane& lane : approach.lanes) {
            if (!lane.control_delay || !lane.flow_rate) continue;
            has_lane = true;
            lanes.add(*lane.control_delay, *lane.flow_rate);
        }
        if (!has_lane) continue;
        const double delay = lanes.mean_or(0.0);  // Equation 21-31
        approach.control_delay = delay;
        approach.los = los_letter(delay);
        intersection.add(delay, lanes.weight);
    }
    // Equation 21-32.
    const double delay = intersection.mean_or(0.0);
    a.intersection_delay = delay;
    a.intersection_los = los_letter(delay);
}

void analyze(Awsc& a) {
    // The iteration, which allocates and polls, runs on the inputs as Steps 1-4 give them before
    // anything is stored; the writes that follow cannot fail.
    const HeadwayInputs in = prepared_headway_inputs(a);
    const HeadwayOutputs out = solve_headways(in, ANALYSIS_TOLERANCE_S);
    store_prepared_inputs(a, in);
    store_departure_headways(a, in, out);
    calculate_lane_results(a);
    step15_aggregate_delay(a);
}

double capacity_of_lane(const Awsc& a, std::size_t approach, std::size_t lane) {
    return capacity_search(headway_inputs(a), approach, lane);
}

double compute_lane_capacity(Awsc& a, std::size_t approach, std::size_t lane) {
    // The search runs on the inputs as Steps 1-4 give them; the record takes those steps only
    // once it has finished.
    const HeadwayInputs in = prepared_headway_inputs(a);
    const double capacity = capacity_search(in, approach, lane);
    store_prepared_inputs(a, in);
    return capacity;
}

const AwscApproach& approach_of(const Awsc& a, std::string_view approach_text) {
    return a.*APPROACHES[base::parse_option(APPROACH_WORDS, approach_text)];
}

std::pair<std::size_t, std::size_t> lane_position(const Awsc& a, std::string_view approach_text, std::uint64_t lane) {
    const std::size_t i = base::parse_option(APPROACH_WORDS, approach_text);
    if (lane >= (a.*APPROACHES[i]).lanes.size())
        throw Error("no lane " + std::to_string(lane) + " on " + std::string(approach_text));
    return {i, static_cast<std::size_t>(lane)};
}

const AwscLane& lane_of(const Awsc& a, std::string_view approach_text, std::uint64_t lane) {
    const auto [i, j] = lane_position(a, approach_text, lane);
    return (a.*APPROACHES[i]).lanes[j];
}

}  // namespace hcm::awsc::awsc
