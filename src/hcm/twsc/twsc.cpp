#include "hcm/twsc/twsc.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "base/numeric.hpp"
#include "base/transaction.hpp"
#include "base/units.hpp"
#include "hcm/common/common.hpp"
#include "hcm/common/delay_los.hpp"
#include "hcm/common/error.hpp"
#include "hcm/twsc/exhibits.hpp"
#include "hcm/unsignalized/unsignalized.hpp"

namespace hcm::twsc::twsc {

namespace {

using base::max2;
using base::min2;

using base::units::SECONDS_PER_HOUR;
using base::units::INF;

using namespace exhibits;

// Tolerance of the two-stage capacity's y = 1 limit (a numerical guard, not an HCM coefficient).
constexpr double TWO_STAGE_Y_TOLERANCE = 1e-9;

// The movements that yield, in Mv order.
constexpr std::array<Mv, 10> ANALYSED = {Mv::M1, Mv::M1U, Mv::M4, Mv::M4U, Mv::M7,
                                         Mv::M8, Mv::M9,  Mv::M10, Mv::M11, Mv::M12};

// The proportion of time blocked that each movement's single stage uses (nullptr: rank 1).
using PbField = double PlatoonBlockage::*;
constexpr std::array<PbField, MOVEMENT_COUNT> BLOCKAGE_OF = {
    &PlatoonBlockage::pb1,  &PlatoonBlockage::pb1,  nullptr, nullptr, &PlatoonBlockage::pb4,
    &PlatoonBlockage::pb4,  nullptr,                nullptr, &PlatoonBlockage::pb7, &PlatoonBlockage::pb8,
    &PlatoonBlockage::pb9,  &PlatoonBlockage::pb10, &PlatoonBlockage::pb11, &PlatoonBlockage::pb12};

// Column of the headway tables for N through lanes per direction.
std::size_t lane_column(std::uint32_t n) { return (n >= 1 && n <= 3) ? n - 1 : 3; }

double clamp01(double x) { return std::clamp(x, 0.0, 1.0); }

// y^k - 1, through log1p and expm1 for a positive y: accurate however close y is to 1, where
// pow(y, k) - 1 keeps only the digits above 1e-16.
double power_minus_one(double y, double k) {
    return y > 0.0 ? std::expm1(k * std::log1p(y - 1.0)) : std::pow(y, k) - 1.0;
}

TwscMovementResult& at(Twsc& t, Mv m) { return t.movements[index(m)]; }
const TwscMovementResult& at(const Twsc& t, Mv m) { return t.movements[index(m)]; }
double flow(const Twsc& t, Mv m) { return at(t, m).flow_rate; }

// P0(x): the probability that movement x operates queue-free, from its movement capacity
// (1 when it has none, 0 when it is not positive).
double queue_free(double v, const std::optional<double>& capacity) {
    if (!capacity) return 1.0;
    if (*capacity <= 0.0) return 0.0;
    return clamp01(1.0 - v / *capacity);
}
double queue_free(const Twsc& t, Mv m) { return queue_free(flow(t, m), at(t, m).movement_capacity); }

// p0 of a major-street left turn together with its U-turn: the shared capacity of the two when
// the U-turn has demand and a capacity, else the left turn's own P0.
double major_left_queue_free(const Twsc& t, Mv left, Mv uturn) {
    const TwscMovementResult& l = at(t, left);
    const TwscMovementResult& u = at(t, uturn);
    if (!l.movement_capacity) return 1.0;
    if (u.flow_rate > 0.0 && u.movement_capacity) {
        const double v = l.flow_rate + u.flow_rate;
        const double c_sh = v > 0.0 ? v / ((l.flow_rate > 0.0 ? l.flow_rate / *l.movement_capacity : 0.0) +
                                           u.flow_rate / *u.movement_capacity)
                                    : min2(*l.movement_capacity, *u.movement_capacity);
        return c_sh > 0.0 ? clamp01(1.0 - v / c_sh) : 0.0;
    }
    return queue_free(l.flow_rate, l.movement_capacity);
}

std::optional<double> blockage(const Twsc& t, PbField field) {
    if (!t.platoon_blockage || field == nullptr) return std::nullopt;
    return (*t.platoon_blockage).*field;
}

double adjusted_capacity(const Twsc& t, double v_c, double t_c, double t_f, PbField field) {
    const std::optional<double> p_b = blockage(t, field);
    if (!p_b) return potential_capacity(v_c, t_c, t_f);
    return platoon_adjusted_capacity(v_c, t_c, t_f, *p_b, t.geometry.major_lanes_per_direction);
}

// ---- Steps 3 to 6 ----

void calculate_flow_rates(Twsc& t) {
    const double phf = (t.phf && *t.phf > 0.0) ? *t.phf : 1.0;
    for (std::size_t i = 0; i < MOVEMENT_COUNT; ++i) t.movements[i].flow_rate = t.demand.*VEHICLE_DEMAND[i] / phf;
}

void set_stages(Twsc& t, Mv m, double stage1, double stage2) {
    TwscMovementResult& r = at(t, m);
    r.conflicting_flow_stage1 = stage1;
    r.conflicting_flow_stage2 = stage2;
    r.conflicting_flow = stage1 + stage2;
}

void determine_conflicting_flows(Twsc& t) {
    const TwscGeometry& g = t.geometry;
    const TwscDemand& d = t.demand;
    const double v1 = flow(t, Mv::M1), v1u = flow(t, Mv::M1U), v2 = flow(t, Mv::M2), v3 = flow(t, Mv::M3);
    const double v4 = flow(t, Mv::M4), v4u = flow(t, Mv::M4U), v5 = flow(t, Mv::M5), v6 = flow(t, Mv::M6);
    const double v8 = flow(t, Mv::M8), v11 = flow(t, Mv::M11);
    // v_3', v_6': the right turn unless channelized; v_3s, v_6s: its share in a shared curb lane.
    const double v3c = g.major_right_turn_eb == MajorRightTurnConfig::Channelized ? 0.0 : v3;
    const double v6c = g.major_right_turn_wb == MajorRightTurnConfig::Channelized ? 0.0 : v6;
    const double v3s = g.major_right_turn_eb == MajorRightTurnConfig::Shared ? v3 : 0.0;
    const double v6s = g.major_right_turn_wb == MajorRightTurnConfig::Shared ? v6 : 0.0;
    const std::uint32_t n = g.major_lanes_per_direction;
    const double f_u = n > 2 ? UTURN_FACTOR_WIDE_STREET : 1.0;
    const double f_n = n == 1 ? 1.0 : n == 2 ? MAJOR_THROUGH_SHARE_TWO_LANES : MAJOR_THROUGH_SHARE_MORE_LANES;
    const double h_n = n == 1 ? 1.0 : 0.5;

    at(t, Mv::M1).conflicting_flow = v5 + v6c + d.v16;
    at(t, Mv::M1U).conflicting_flow = f_u * v5 + f_u * v6s;
    at(t, Mv::M4).conflicting_flow = v2 + v3c + d.v15;
    at(t, Mv::M4U).conflicting_flow = f_u * v2 + f_u * v3s;
    at(t, Mv::M9).conflicting_flow = h_n * v2 + 0.5 * v3s + d.v14 + d.v15;
    at(t, Mv::M12).conflicting_flow = h_n * v5 + 0.5 * v6s + d.v13 + d.v16;
    const double eb_stage = 2.0 * v1 + 2.0 * v1u + v2 + 0.5 * v3s + d.v15;  // NB Stage I
    const double wb_stage = 2.0 * v4 + 2.0 * v4u + v5 + 0.5 * v6s + d.v16;  // SB Stage I
    set_stages(t, Mv::M7, eb_stage, 2.0 * v4 + 2.0 * v4u + f_n * v5 + 0.5 * v11 + d.v13);
    set_stages(t, Mv::M8, eb_stage, 2.0 * v4 + 2.0 * v4u + v5 + v6c + d.v16);
    set_stages(t, Mv::M10, wb_stage, 2.0 * v1 + 2.0 * v1u + f_n * v2 + 0.5 * v8 + d.v14);
    set_stages(t, Mv::M11, wb_stage, 2.0 * v1 + 2.0 * v1u + v2 + v3c + d.v15);
}

void apply_conflicting_flow_overrides(Twsc& t) {
    for (const ConflictingFlowOverride& o : t.conflicting_flow_overrides) {
        const std::optional<Mv> m = from_label(o.movement);
        if (!m) continue;
        TwscMovementResult& r = at(t, *m);
        if (o.stage == "stage1")
            r.conflicting_flow_stage1 = o.value;
        else if (o.stage == "stage2")
            r.conflicting_flow_stage2 = o.value;
        else
            r.conflicting_flow = o.value;
        if (r.conflicting_flow_stage1 && r.conflicting_flow_stage2 && o.stage != "total")
            r.conflicting_flow = *r.conflicting_flow_stage1 + *r.conflicting_flow_stage2;
    }
}

void determine_headways(Twsc& t) {
    for (Mv m : ANALYSED) {
        TwscMovementResult& r = at(t, m);
        r.critical_headway = critical_headway(t, m, false, 0);
        r.followup_headway = followup_headway(t, m);
        if (crosses_in_two_stages(t, m)) {
            r.critical_headway_stage1 = critical_headway(t, m, true, 1);
            r.critical_headway_stage2 = critical_headway(t, m, true, 2);
        }
    }
}

// ---- Steps 7 to 10 ----

// The blockage fields of Stage I and Stage II of a two-stage crossing: the major left turns'.
std::pair<PbField, PbField> stage_blockage(Mv m) {
    if (m == Mv::M7 || m == Mv::M8) return {&PlatoonBlockage::pb4, &PlatoonBlockage::pb1};
    return {&PlatoonBlockage::pb1, &PlatoonBlockage::pb4};
}

void calculate_potential_capacities(Twsc& t) {
    for (Mv m : ANALYSED) {
        TwscMovementResult& r = at(t, m);
        if (!r.conflicting_flow || !r.followup_headway) continue;
        const double t_c = r.critical_headway.value_or(0.0);
        const double t_f = *r.followup_headway;
        r.potential_capacity = adjusted_capacity(t, *r.conflicting_flow, t_c, t_f, BLOCKAGE_OF[index(m)]);
        if (!crosses_in_two_stages(t, m)) continue;
        const auto [pb_i, pb_ii] = stage_blockage(m);
        r.potential_capacity_stage1 = adjusted_capacity(t, r.conflicting_flow_stage1.value_or(0.0),
                                                        r.critical_headway_stage1.value_or(t_c), t_f, pb_i);
        r.potential_capacity_stage2 = adjusted_capacity(t, r.conflicting_flow_stage2.value_or(0.0),
                                                        r.critical_headway_stage2.value_or(t_c), t_f, pb_ii);
    }
}

// p_13 .. p_16: the share of time pedestrians leave each leg's crosswalk free.
std::array<double, 4> pedestrian_impedance(const Twsc& t) {
    const double crossing_s = t.geometry.lane_width_ft / WALKING_SPEED_FT_S;
    const std::array<double, 4> volumes = {t.demand.v13, t.demand.v14, t.demand.v15, t.demand.v16};
    std::array<double, 4> p{};
    for (std::size_t k = 0; k < 4; ++k) p[k] = clamp01(1.0 - volumes[k] * crossing_s / SECONDS_PER_HOUR);
    return p;
}

// Stores a crossing movement's capacity: its two-stage c_T with the stage capacities where it
// crosses in two stages (c_I and c_II from their impedance factors), else its one-stage c_m.
void store_crossing_capacity(Twsc& t, Mv m, double c_m, double factor_i, double factor_ii, double v_l,
                             const std::optional<std::uint32_t>& storage) {
    TwscMovementResult& r = at(t, m);
    if (!crosses_in_two_stages(t, m)) {
        r.movement_capacity = c_m;
        return;
    }
    const double c_p = *r.potential_capacity;
    const double c_i = factor_i * r.potential_capacity_stage1.value_or(c_p);
    const double c_ii = factor_ii * r.potential_capacity_stage2.value_or(c_p);
    r.movement_capacity = two_stage_capacity(c_i, c_ii, v_l, static_cast<double>(storage.value_or(0)), c_m);
    r.movement_capacity_stage1 = c_i;
    r.movement_capacity_stage2 = c_ii;
}

// Stage I queue-free probability of a crossing movement (1 when it has no Stage I capacity).
double stage1_queue_free(const Twsc& t, Mv m) { return queue_free(flow(t, m), at(t, m).movement_capacity_stage1); }

// The minor-street through (rank 3) and left (rank 4) movements, with two-stage gap acceptance.
void calculate_four_leg_minor_capacities(Twsc& t, double p0_1, double p0_4, const std::array<double, 4>& p) {
    const auto [p13, p14, p15, p16] = p;
    const TwscGeometry& g = t.geometry;
    const double v_l_eb = flow(t, Mv::M1) + flow(t, Mv::M1U);
    const double v_l_wb = flow(t, Mv::M4) + flow(t, Mv::M4U);
    const double p_ml = p0_1 * p0_4;
    const double p0_9 = queue_free(t, Mv::M9);
    const double p0_12 = queue_free(t, Mv::M12);

    // Rank 3.
    if (const auto& c_p = at(t, Mv::M8).potential_capacity)
        store_crossing_capacity(t, Mv::M8, *c_p * p_ml * p15 * p16, p0_1, p0_4, v_l_eb, g.median_storage_nb);
    if (const auto& c_p = at(t, Mv::M11).potential_capacity)
        store_crossing_capacity(t, Mv::M11, *c_p * p_ml * p15 * p16, p0_4, p0_1, v_l_wb, g.median_storage_sb);

    // Rank 4: the major left turns and the opposing minor through movement together.
    const double p0_8 = queue_free(t, Mv::M8);
    const double p0_11 = queue_free(t, Mv::M11);
    auto rank4_factor = [p_ml](double p0_through) {
        return (p_ml > 0.0 && p0_through > 0.0) ? 1.0 / (1.0 / p_ml + 1.0 / p0_through - 1.0) : 0.0;
    };
    if (const auto& c_p = at(t, Mv::M7).potential_capacity) {
        const double c_m = *c_p * rank4_factor(p0_11) * p0_12 * p13 * p15;
        store_crossing_capacity(t, Mv::M7, c_m, p0_1, p0_4 * p0_12 * stage1_queue_free(t, Mv::M11), v_l_eb,
                                g.median_storage_nb);
    }
    if (const auto& c_p = at(t, Mv::M10).potential_capacity) {
        const double c_m = *c_p * rank4_factor(p0_8) * p0_9 * p14 * p16;
        store_crossing_capacity(t, Mv::M10, c_m, p0_4, p0_1 * p0_9 * stage1_queue_free(t, Mv::M8), v_l_wb,
                                g.median_storage_sb);
    }
}

void calculate_movement_capacities(Twsc& t) {
    const std::array<double, 4> p = pedestrian_impedance(t);
    const auto [p13, p14, p15, p16] = p;
    auto impede = [&t](Mv m, double factor) {
        TwscMovementResult& r = at(t, m);
        if (r.potential_capacity) r.movement_capacity = *r.potential_capacity * factor;
    };
    // Rank 2.
    impede(Mv::M1, p16);
    impede(Mv::M4, p15);
    impede(Mv::M9, p14 * p15);
    impede(Mv::M12, p13 * p16);
    impede(Mv::M1U, queue_free(t, Mv::M12));
    impede(Mv::M4U, queue_free(t, Mv::M9));
    // The major left turns as the lower ranks see them (p0'), shared-lane p0* where it applies.
    const double p0_1 = major_left_queue_free(t, Mv::M1, Mv::M1U);
    const double p0_4 = major_left_queue_free(t, Mv::M4, Mv::M4U);
    const double p0_1s = p0_star_major_left(t, true, p0_1).value_or(p0_1);
    const double p0_4s = p0_star_major_left(t, false, p0_4).value_or(p0_4);

    if (!t.geometry.is_three_leg) {
        calculate_four_leg_minor_capacities(t, p0_1s, p0_4s, p);
    } else {
        impede(Mv::M7, p0_4s * p13 * p15);
    }
}

// ---- Steps 11 to 15 ----

struct MinorMovements {
    Mv left, through, right;
};
constexpr MinorMovements NB_MOVEMENTS = {Mv::M7, Mv::M8, Mv::M9};
constexpr MinorMovements SB_MOVEMENTS = {Mv::M10, Mv::M11, Mv::M12};

double capacity_of(const Twsc& t, Mv m) { return at(t, m).movement_capacity.value_or(0.0); }

// Shared-lane capacity c_SH of a group of movements (Equation 20-54 form): +infinity for none.
double shared_capacity(const Twsc& t, const std::vector<Mv>& group) {
    if (group.empty()) return INF;
    double v = 0.0, load = 0.0;
    for (Mv m : group) {
        const double v_i = flow(t, m);
        v += v_i;
        if (v_i > 0.0) load += v_i / capacity_of(t, m);
    }
    if (v > 0.0) return v / load;
    double smallest = capacity_of(t, group.front());
    for (Mv m : group) smallest = min2(smallest, capacity_of(t, m));
    return smallest;
}

// Flared-lane capacity c_F of a single shared lane with n_s vehicles of right-turn storage.
double flared_capacity(const Twsc& t, const std::vector<Mv>& active, Mv right, std::uint32_t storage) {
    std::vector<Mv> others;
    for (Mv m : active)
        if (m != right) others.push_back(m);
    double v_sh = 0.0;
    for (Mv m : others) v_sh += flow(t, m);
    const double c_sh = shared_capacity(t, others);
    const double v_r = flow(t, right);
    const double c_r = capacity_of(t, right);
    const double n = static_cast<double>(storage) + 1.0;
    const double s = std::pow(v_r / c_r, n) + std::pow(v_sh / c_sh, n);
    if (s > 0.0) return (v_sh + v_r) / std::pow(s, 1.0 / n);
    return max2(c_sh, c_r);
}

TwscLaneResult lane(const Twsc& t, std::vector<Mv> movements, double capacity) {
    TwscLaneResult out;
    for (Mv m : movements) out.flow_rate += flow(t, m);
    out.movements = std::move(movements);
    out.capacity = capacity;
    return out;
}

// Control delay, LOS and queue into a lane or movement, when it is evaluated.
template <class Target>
void store_delay(Target& target, double v, double c, double t_h) {
    if (const std::optional<DelayResult> r = evaluate_delay(v, c, t_h)) {
        target.control_delay = r->control_delay;
        target.los = std::string(1, r->los);
        target.queue_95 = r->queue_95;
    }
}

void calculate_major_movement_delays(Twsc& t) {
    for (Mv m : {Mv::M1, Mv::M1U, Mv::M4, Mv::M4U}) {
        TwscMovementResult& r = at(t, m);
        if (r.movement_capacity) store_delay(r, r.flow_rate, *r.movement_capacity, t.analysis_period_h);
    }
}

void evaluate_minor_lanes(Twsc& t) {
    for (std::vector<TwscLaneResult>* lanes : {&t.lanes_nb, &t.lanes_sb})
        for (TwscLaneResult& l : *lanes) store_delay(l, l.flow_rate, l.capacity, t.analysis_period_h);
}

void calculate_rank1_major_delay(Twsc& t) {
    const std::optional<double> eb = compute_rank1_major_delay(t, true);
    const std::optional<double> wb = compute_rank1_major_delay(t, false);
    if (eb || wb)
        t.rank1_major_delay = std::array<double, 2>{eb.value_or(0.0), wb.value_or(0.0)};
    else
        t.rank1_major_delay = std::nullopt;
}

// Flow-weighted approach delays (Equation 20-64): movements and lanes without flow weigh nothing.
using WeightedDelay = base::WeightedMean;

WeightedDelay major_approach_delay(const Twsc& t, Mv left, Mv uturn, Mv through, Mv right, double rank1) {
    WeightedDelay d;
    d.add(at(t, left).control_delay.value_or(0.0), flow(t, left));
    d.add(at(t, uturn).control_delay.value_or(0.0), flow(t, uturn));
    d.add(rank1, flow(t, through));
    d.add(rank1, flow(t, right));
    return d;
}

WeightedDelay minor_approach_delay(const std::vector<TwscLaneResult>& lanes) {
    WeightedDelay d;
    for (const TwscLaneResult& l : lanes) d.add(l.control_delay, l.flow_rate);
    return d;
}

void calculate_approach_delays(Twsc& t) {
    const std::array<double, 2> rank1 = t.rank1_major_delay.value_or(std::array<double, 2>{0.0, 0.0});
    const std::array<WeightedDelay, 4> approaches = {
        major_approach_delay(t, Mv::M1, Mv::M1U, Mv::M2, Mv::M3, rank1[0]),
        major_approach_delay(t, Mv::M4, Mv::M4U, Mv::M5, Mv::M6, rank1[1]), minor_approach_delay(t.lanes_nb),
        minor_approach_delay(t.lanes_sb)};
    std::array<double, 4> delays{};
    WeightedDelay intersection;
    for (std::size_t i = 0; i < 4; ++i) {
        delays[i] = approaches[i].mean_or(0.0);
        intersection.add(delays[i], approaches[i].weight);
    }
    t.approach_delays = delays;
    t.intersection_delay = intersection.mean_or(0.0);  // Equation 20-65
}

}  // namespace

std::optional<Mv> from_label(std::string_view label) {
    for (std::size_t i = 0; i < MOVEMENT_COUNT; ++i)
        if (MOVEMENT_LABELS[i] == label) return static_cast<Mv>(i);
    if (label == "1u") return Mv::M1U;
    if (label == "4u") return Mv::M4U;
    return std::nullopt;
}

bool crosses_in_two_stages(const Twsc& t, Mv m) {
    const TwscGeometry& g = t.geometry;
    if (g.is_three_leg) return false;
    auto has_storage = [](const std::optional<std::uint32_t>& s) { return s && *s != 0; };
    if (m == Mv::M7 || m == Mv::M8) return has_storage(g.median_storage_nb);
    if (m == Mv::M10 || m == Mv::M11) return has_storage(g.median_storage_sb);
    return false;
}

double critical_headway(const Twsc& t, Mv m, bool two_stage, std::uint8_t stage) {
    const TwscGeometry& g = t.geometry;
    const std::uint32_t n = g.major_lanes_per_direction;
    const std::size_t col = lane_column(n);
    double base = 0.0;
    double grade_term = 0.0;
    switch (m) {
        case Mv::M1:
        case Mv::M4: base = TC_MAJOR_LEFT[col]; break;
        case Mv::M1U:
        case Mv::M4U:
            base = (n == 2 && g.uturn_median_width == UTurnMedianWidth::Narrow) ? TC_MAJOR_UTURN_NARROW_N2
                                                                                 : TC_MAJOR_UTURN[col];
            break;
        case Mv::M7:
        case Mv::M10:
            base = !two_stage ? TC_MINOR_LEFT[col] : stage == 1 ? TC_MINOR_LEFT_STAGE1[col] : TC_MINOR_LEFT_STAGE2[col];
            grade_term = TC_GRADE_CROSSING * (m == Mv::M7 ? g.grade_minor_nb_pct : g.grade_minor_sb_pct);
            break;
        case Mv::M8:
        case Mv::M11:
            base = two_stage ? TC_MINOR_THROUGH_TWO_STAGE : TC_MINOR_THROUGH;
            grade_term = TC_GRADE_CROSSING * (m == Mv::M8 ? g.grade_minor_nb_pct : g.grade_minor_sb_pct);
            break;
        case Mv::M9:
        case Mv::M12:
            base = TC_MINOR_RIGHT[col];
            grade_term = TC_GRADE_RIGHT * (m == Mv::M9 ? g.grade_minor_nb_pct : g.grade_minor_sb_pct);
            break;
        default: break;  // rank 1: the heavy-vehicle term alone
    }
    const double hv = (n == 1 ? TC_HV_ONE_LANE : TC_HV_MORE_LANES) * (t.heavy_vehicle_pct / 100.0);
    const double three_leg = (g.is_three_leg && (m == Mv::M7 || m == Mv::M10)) ? TC_THREE_LEG_LEFT : 0.0;
    return base + hv + grade_term - three_leg;
}

double followup_headway(const Twsc& t, Mv m) {
    const TwscGeometry& g = t.geometry;
    const std::uint32_t n = g.major_lanes_per_direction;
    const std::size_t col = lane_column(n);
    double base = 0.0;
    switch (m) {
        case Mv::M1:
        case Mv::M4: base = TF_MAJOR_LEFT[col]; break;
        case Mv::M1U:
        case Mv::M4U:
            base = (n == 2 && g.uturn_median_width == UTurnMedianWidth::Narrow) ? TF_MAJOR_UTURN_NARROW_N2
                                                                                 : TF_MAJOR_UTURN[col];
            break;
        case Mv::M7:
        case Mv::M10: base = TF_MINOR_LEFT[col]; break;
        case Mv::M8:
        case Mv::M11: base = TF_MINOR_THROUGH; break;
        case Mv::M9:
        case Mv::M12: base = TF_MINOR_RIGHT[col]; break;
        default: break;
    }
    return base + (n == 1 ? TF_HV_ONE_LANE : TF_HV_MORE_LANES) * (t.heavy_vehicle_pct / 100.0);
}

double potential_capacity(double v_c, double t_c, double t_f) {
    return unsignalized::potential_capacity(v_c, t_c, t_f, unsignalized::NoConflictingFlow::FollowUpRate);
}

double platoon_adjusted_capacity(double v_c, double t_c, double t_f, double p_b, std::uint32_t n) {
    if (p_b <= 0.0) return potential_capacity(v_c, t_c, t_f);
    const double platoon_flow = static_cast<double>(n) * PLATOON_FLOW_PER_LANE * p_b;  // L
    if (v_c > platoon_flow) {
        // Blocked all the time, no gap outside the platoons: the limit of (1 - p_b) cp(v_u) is 0
        // (the formula itself gives 0 x NaN, which would spread to every lower rank).
        if (p_b == 1.0) return 0.0;
        const double v_u = (v_c - platoon_flow) / (1.0 - p_b);  // flow outside the platoons
        return (1.0 - p_b) * potential_capacity(v_u, t_c, t_f);
    }
    return (1.0 - p_b) * SECONDS_PER_HOUR / t_f;
}

double two_stage_capacity(double c_i, double c_ii, double v_l, double m, double c_m) {
    const double a = 1.0 - TWO_STAGE_ALPHA_COEFF * std::exp(-TWO_STAGE_ALPHA_EXP * std::sqrt(m));
    const double y = (c_i - c_m) / (c_ii - v_l - c_m);
    if (std::abs(y - 1.0) < TWO_STAGE_Y_TOLERANCE) return a / (m + 1.0) * (m * (c_ii - v_l) + c_m);
    return a / power_minus_one(y, m + 1.0) * (y * power_minus_one(y, m) * (c_ii - v_l) + (y - 1.0) * c_m);
}

std::optional<double> p0_star_major_left(const Twsc& t, bool eastbound, double p0) {
    const MajorLeftLaneConfig& config = eastbound ? t.geometry.major_left_eb : t.geometry.major_left_wb;
    if (config.lane == MajorLeftLane::Exclusive) return std::nullopt;
    const double n = config.lane == MajorLeftLane::Shared ? 1.0 : static_cast<double>(config.storage_veh) + 1.0;
    const double v_t = flow(t, eastbound ? Mv::M2 : Mv::M5);
    const double v_r = flow(t, eastbound ? Mv::M3 : Mv::M6);
    const std::uint32_t lanes = t.geometry.major_lanes_per_direction;
    const double f = lanes == 1 ? 1.0 : lanes == 2 ? INSIDE_LANE_SHARE_TWO_LANES : INSIDE_LANE_SHARE_MORE_LANES;
    const double x = (v_t / SAT_FLOW_THROUGH + v_r / SAT_FLOW_RIGHT) * f;
    // A saturated through lane is always occupied: the left turn blocks it unless it has no demand.
    if (x >= 1.0) return p0 >= 1.0 ? 1.0 : 0.0;
    return clamp01(1.0 - (1.0 - p0) * std::pow(1.0 + std::pow(x, n) / (1.0 - x), 1.0 / n));
}

std::optional<double> compute_rank1_major_delay(const Twsc& t, bool eastbound) {
    const Mv left = eastbound ? Mv::M1 : Mv::M4;
    const Mv uturn = eastbound ? Mv::M1U : Mv::M4U;
    const double p0 = major_left_queue_free(t, left, uturn);
    const std::optional<double> p0_star = p0_star_major_left(t, eastbound, p0);
    if (!p0_star) return std::nullopt;
    const double d_lt = at(t, left).control_delay.value_or(0.0);
    const std::uint32_t n = t.geometry.major_lanes_per_direction;
    if (n <= 1) return (1.0 - *p0_star) * d_lt;
    const double f = n == 2 ? INSIDE_LANE_SHARE_TWO_LANES : INSIDE_LANE_SHARE_MORE_LANES;
    const double v_in = (flow(t, eastbound ? Mv::M2 : Mv::M5) + flow(t, eastbound ? Mv::M3 : Mv::M6)) * f;
    const double d = flow(t, left) + flow(t, uturn) + v_in;
    return d > 0.0 ? (1.0 - *p0_star) * d_lt * v_in / d : 0.0;
}

std::vector<TwscLaneResult> minor_lanes(const Twsc& t, MinorApproach approach) {
    const bool nb = approach == MinorApproach::NB;
    const MinorMovements mv = nb ? NB_MOVEMENTS : SB_MOVEMENTS;
    auto active = [&t](Mv m) { return flow(t, m) > 0.0 || at(t, m).movement_capacity.has_value(); };
    std::vector<Mv> all;
    for (Mv m : {mv.left, mv.through, mv.right})
        if (active(m)) all.push_back(m);
    std::vector<TwscLaneResult> lanes;
    if (all.empty()) return lanes;

    auto only = [&](std::initializer_list<Mv> wanted) {
        std::vector<Mv> group;
        for (Mv m : wanted)
            if (active(m)) group.push_back(m);
        return group;
    };
    switch (nb ? t.geometry.minor_lanes_nb : t.geometry.minor_lanes_sb) {
        case MinorLaneConfig::Separate:
            for (Mv m : all) lanes.push_back(lane(t, {m}, capacity_of(t, m)));
            break;
        case MinorLaneConfig::ExclusiveLeftSharedThroughRight: {
            if (active(mv.left)) lanes.push_back(lane(t, {mv.left}, capacity_of(t, mv.left)));
            std::vector<Mv> shared = only({mv.through, mv.right});
            const double c = shared_capacity(t, shared);
            lanes.push_back(lane(t, std::move(shared), c));
            break;
        }
        case MinorLaneConfig::SharedLeftThroughExclusiveRight: {
            std::vector<Mv> shared = only({mv.left, mv.through});
            const double c = shared_capacity(t, shared);
            lanes.push_back(lane(t, std::move(shared), c));
            if (active(mv.right)) lanes.push_back(lane(t, {mv.right}, capacity_of(t, mv.right)));
            break;
        }
        case MinorLaneConfig::SingleShared: {
            const std::optional<std::uint32_t>& flare = nb ? t.geometry.flare_storage_nb : t.geometry.flare_storage_sb;
            const double c = (flare && *flare >= 1) ? flared_capacity(t, all, mv.right, *flare) : shared_capacity(t, all);
            lanes.push_back(lane(t, all, c));
            break;
        }
    }
    return lanes;
}

std::optional<DelayResult> evaluate_delay(double v, double c, double t_h) {
    if (!(c > 0.0)) {
        // No capacity: a movement with demand never clears; one without demand is not evaluated.
        if (v > 0.0) return DelayResult{INF, 'F', INF};
        return std::nullopt;
    }
    const double x = v / c;
    const double service = SECONDS_PER_HOUR / c;
    const double delay = unsignalized::control_delay(x, service, service, t_h, unsignalized::DecelerationTerm::Full);
    const double queue = unsignalized::queue_95(x, c, t_h);
    const char los = common::letter(common::los_of_delay(common::UNSIGNALIZED_DELAY_LOS_MAX, delay, v > c));
    return DelayResult{delay, los, queue};
}

void analyze(Twsc& t) {
    // The blockage computed from the signals comes first (it can be refused). The results of the
    // last analysis (or of the document) are then set aside, the steps compute into blank results,
    // and the set-aside ones come back if a step fails (out of memory).
    std::optional<PlatoonBlockage> blockage = t.platoon_blockage;
    if (!blockage && t.upstream_signals) blockage = computed_pb::compute_platoon_blockage(*t.upstream_signals, t);
    base::with_results_aside(
        t,
        [&] {
            t.platoon_blockage = blockage;
            t.movements.resize(MOVEMENT_COUNT);
            calculate_flow_rates(t);
            determine_conflicting_flows(t);
            apply_conflicting_flow_overrides(t);
            determine_headways(t);
            calculate_potential_capacities(t);
            calculate_movement_capacities(t);
            t.lanes_nb = minor_lanes(t, MinorApproach::NB);
            if (!t.geometry.is_three_leg) t.lanes_sb = minor_lanes(t, MinorApproach::SB);
            calculate_major_movement_delays(t);
            evaluate_minor_lanes(t);
            calculate_rank1_major_delay(t);
            calculate_approach_delays(t);
        },
        &Twsc::platoon_blockage, &Twsc::movements, &Twsc::lanes_nb, &Twsc::lanes_sb, &Twsc::approach_delays,
        &Twsc::intersection_delay, &Twsc::rank1_major_delay);
}

// ---- queries by label and approach name ----

namespace {

constexpr base::OptionTable<MinorApproach, 2> MINOR_APPROACH_WORDS{
    base::Normalise::Upper, "TWSC minor approach must be NB or SB, got {}",
    {{{"NB", MinorApproach::NB}, {"SB", MinorApproach::SB}}}};

// true: eastbound.
constexpr base::OptionTable<bool, 2> MAJOR_APPROACH_WORDS{base::Normalise::Upper,
                                                          "unknown major approach: {} (expected EB or WB)",
                                                          {{{"EB", true}, {"WB", false}}}};

constexpr base::OptionTable<MajorLeftLane, 4> MAJOR_LEFT_WORDS{
    base::Normalise::Lower,
    "unknown major-left lane config: {} (expected exclusive|shared|short_pocket)",
    {{{"exclusive", MajorLeftLane::Exclusive},
      {"shared", MajorLeftLane::Shared},
      {"short_pocket", MajorLeftLane::SharedShortPocket},
      {"sharedshortpocket", MajorLeftLane::SharedShortPocket}}}};

MajorLeftLaneConfig TwscGeometry::*major_left_field(std::string_view approach) {
    return base::parse_option(MAJOR_APPROACH_WORDS, approach) ? &TwscGeometry::major_left_eb
                                                              : &TwscGeometry::major_left_wb;
}

}  // namespace

const TwscMovementResult& movement_result(const Twsc& t, std::string_view label) {
    const std::optional<Mv> m = from_label(label);
    if (!m) throw Error("unknown TWSC movement label: " + std::string(label));
    return t.movements.at(index(*m));
}

const std::vector<TwscLaneResult>& lanes_of(const Twsc& t, std::string_view approach) {
    return base::parse_option(MINOR_APPROACH_WORDS, approach) == MinorApproach::NB ? t.lanes_nb : t.lanes_sb;
}

const TwscLaneResult& lane_of(const Twsc& t, std::string_view approach, std::uint64_t lane) {
    const std::vector<TwscLaneResult>& lanes = lanes_of(t, approach);
    if (lane >= lanes.size()) throw Error("no lane " + std::to_string(lane) + " on " + std::string(approach));
    return lanes[static_cast<std::size_t>(lane)];
}

void set_major_left_config(Twsc& t, std::string_view approach, std::string_view config,
                           std::optional<std::uint32_t> storage_veh) {
    const MajorLeftLane lane = base::parse_option(MAJOR_LEFT_WORDS, config);
    if (lane == MajorLeftLane::SharedShortPocket && !storage_veh)
        throw Error("short_pocket major-left config requires storage_veh");
    const auto field = major_left_field(approach);
    t.geometry.*field = {lane, lane == MajorLeftLane::SharedShortPocket ? *storage_veh : 0};
}

std::pair<std::string_view, std::optional<std::uint32_t>> major_left_config(const Twsc& t, std::string_view approach) {
    const MajorLeftLaneConfig& c = t.geometry.*major_left_field(approach);
    switch (c.lane) {
        case MajorLeftLane::Exclusive: return {"exclusive", std::nullopt};
        case MajorLeftLane::Shared: return {"shared", std::nullopt};
        case MajorLeftLane::SharedShortPocket: break;
    }
    return {"short_pocket", c.storage_veh};
}

}  // namespace hcm::twsc::twsc
