#include "hcm/twolanehighways/twolanehighways.hpp"

#include <cmath>
#include <string>
#include <utility>

#include "base/numeric.hpp"
#include "base/units.hpp"
#include "hcm/common/error.hpp"
#include "hcm/twolanehighways/exhibits.hpp"

namespace hcm::twolanehighways {
namespace {

namespace ex = exhibits;
using base::max2;
using base::min2;

constexpr double SUBSEGMENT_TOLERANCE = 1e-6;

// x rounded to n decimals, halves away from zero: round(x 10^n) / 10^n, where 10^n for a negative
// n is 1 / 10^|n|.
double round_decimals(double x, int n) {
    const double scale = n >= 0 ? std::pow(10.0, n) : 1.0 / std::pow(10.0, -n);
    return std::round(x * scale) / scale;
}

// x rounded to n significant digits: to n - (floor(log10 |x|) + 1) decimals; 0 and non-finite
// values stay as they are.
double round_significant(double x, int n) {
    if (x == 0.0 || !std::isfinite(x)) return x;
    const int magnitude = base::to_signed_sat<int>(std::floor(std::log10(std::fabs(x)))) + 1;
    return round_decimals(x, n - magnitude);
}

// Row of a per-class table, or nothing for a class outside 1 to 5.
template <class Table>
const typename Table::value_type* class_row(const Table& table, std::int32_t vertical_class) {
    if (vertical_class < 1 || vertical_class > static_cast<std::int32_t>(table.size())) return nullptr;
    return &table[static_cast<std::size_t>(vertical_class - 1)];
}

bool is_passing_lane(const Segment& s) { return s.passing_type == PASSING_LANE; }
bool is_pc_or_pz(std::size_t passing_type) {
    return passing_type == PASSING_CONSTRAINED || passing_type == PASSING_ZONE;
}

std::int32_t vertical_class_of(const Segment& s) { return s.vertical_class.value_or(defaults::VERTICAL_CLASS); }
double phv_of(const Segment& s) { return s.phv.value_or(defaults::PHV); }

// BFFS = 1.14 x posted speed limit.
double base_ffs(const Segment& s) { return ex::BFFS_PER_SPEED_LIMIT * s.spl; }

// ---- Step 4 model ----

// Tangent speed S_T = FFS - m (v_d / 1000 - 0.1)^p, FFS to 0.1 mi/h.
double tangent_speed(const SpeedModelInputs& in, double ffs) {
    if (in.v_d <= ex::SPEED_FREE_FLOW_DEMAND) return ffs;
    static constexpr ex::SpeedSlopeRow ZERO_SLOPE{};
    static constexpr ex::SpeedPowerRow ZERO_POWER{};
    const ex::SpeedSlopeRow* slope = nullptr;
    const ex::SpeedPowerRow* power = nullptr;
    if (is_pc_or_pz(in.passing_type)) {
        slope = class_row(ex::SPEED_SLOPE_PC_PZ, in.vertical_class);
        power = class_row(ex::SPEED_POWER_PC_PZ, in.vertical_class);
    } else if (in.passing_type == PASSING_LANE) {
        slope = class_row(ex::SPEED_SLOPE_PL, in.vertical_class);
        power = class_row(ex::SPEED_POWER_PL, in.vertical_class);
    }
    const ex::SpeedSlopeRow& b = slope ? *slope : ZERO_SLOPE;
    const ex::SpeedPowerRow& f = power ? *power : ZERO_POWER;

    const double sqrt_l = std::sqrt(in.length);
    const double sqrt_hv = std::sqrt(in.phv);
    const double vo = in.v_o / ex::FLOW_UNIT_VEH_H;
    double b3 = b.c0 + b.c1 * sqrt_l + b.c2 * ffs + b.c3 * ffs * sqrt_l;
    double b4 = b.d0 + b.d1 * sqrt_hv + b.d2 * ffs + b.d3 * ffs * sqrt_hv;
    if (is_pc_or_pz(in.passing_type) && in.vertical_class == 4) {
        b3 = round_decimals(b3, 4);
        b4 = round_decimals(b4, 4);
    }
    b3 = round_decimals(b3, 3);
    b4 = round_decimals(b4, 3);
    const double m = round_decimals(
        max2(b.b5, b.b0 + b.b1 * ffs + b.b2 * std::sqrt(vo) + max2(0.0, b3) * sqrt_l + max2(0.0, b4) * sqrt_hv), 3);
    const double p = round_decimals(max2(f.f8, f.f0 + f.f1 * ffs + f.f2 * in.length + f.f3 * vo + f.f4 * std::sqrt(vo) +
                                                   f.f5 * in.phv + f.f6 * sqrt_hv + f.f7 * in.length * in.phv),
                                    3);
    return ffs - m * std::pow(in.v_d / ex::FLOW_UNIT_VEH_H - ex::SPEED_FREE_FLOW_DEMAND_THOUSANDS, p);
}

// Speed on a horizontal curve of class HC.
double curve_speed(const SpeedModelInputs& in, std::int32_t hc) {
    const double c = static_cast<double>(hc);
    const double bffs_hc =
        min2(in.bffs, ex::CURVE_BFFS_CONST + ex::CURVE_BFFS_PER_BFFS * in.bffs - ex::CURVE_BFFS_PER_CLASS * c);
    const double ffs_hc = bffs_hc - ex::CURVE_FFS_PER_HV * in.phv;
    const double m_hc = round_significant(
        max2(ex::CURVE_SLOPE_MIN, ex::CURVE_SLOPE_CONST + ex::CURVE_SLOPE_FFS * ffs_hc +
                                      ex::CURVE_SLOPE_SQRT_FFS * std::sqrt(ffs_hc) + ex::CURVE_SLOPE_CLASS * c +
                                      ex::CURVE_SLOPE_SQRT_CLASS * std::sqrt(c)),
        5);
    if (in.v_d <= ex::SPEED_FREE_FLOW_DEMAND) return ffs_hc;
    return ffs_hc - m_hc * std::sqrt(in.v_d / ex::FLOW_UNIT_VEH_H - ex::SPEED_FREE_FLOW_DEMAND_THOUSANDS);
}

// ---- Step 5 model ----

double follower_terms_pc_pz(const ex::FollowerRow& c, double length, double ffs, double vo, double phv) {
    return c[0] + c[1] * length + c[2] * std::sqrt(length) + c[3] * ffs + c[4] * std::sqrt(ffs) + c[5] * phv +
           c[6] * ffs * vo / ex::FLOW_UNIT_VEH_H + c[7] * std::sqrt(vo / ex::FLOW_UNIT_VEH_H);
}

double follower_terms_pl(const ex::FollowerRow& c, double length, double ffs, double phv) {
    return c[0] + c[1] * length + c[2] * std::sqrt(length) + c[3] * ffs + c[4] * std::sqrt(ffs) + c[5] * phv +
           c[6] * std::sqrt(phv) + c[7] * ffs * phv;
}

// ---- Step 7 pieces ----

// Index K of the passing lane whose downstream effect reaches segment `seg_num`: the nearest one at
// or before it, if there is one. A passing lane further downstream has no effect on it.
std::optional<std::size_t> nearest_upstream_passing_lane(const std::vector<Segment>& segments, std::size_t seg_num) {
    for (std::size_t i = seg_num + 1; i-- > 0;) {
        if (is_passing_lane(segments[i])) return i;
    }
    return std::nullopt;
}

}  // namespace

bool same_subsegment(const SubSegment& a, const SubSegment& b) {
    return std::fabs(a.length.value_or(0.0) - b.length.value_or(0.0)) < SUBSEGMENT_TOLERANCE &&
           std::fabs(a.avg_speed.value_or(0.0) - b.avg_speed.value_or(0.0)) < SUBSEGMENT_TOLERANCE &&
           a.hor_class.value_or(0) == b.hor_class.value_or(0);
}

std::int32_t horizontal_class(double radius_ft, double superelevation_pct) {
    if (!(radius_ft > 0.0)) return 0;
    for (const ex::HorizontalClassBand& band : ex::HORIZONTAL_CLASS_BANDS) {
        if (radius_ft < band.upper_radius) return superelevation_pct < band.e_limit ? band.below : band.at_or_above;
    }
    return 0;
}

SpeedAndClass calc_speed(const SpeedModelInputs& in) {
    const double ffs = round_decimals(in.ffs, 1);
    const std::int32_t hc = horizontal_class(in.radius, in.superelevation);
    const double s_t = tangent_speed(in, ffs);
    if (!in.horizontal_curve) return {s_t, hc};
    return {round_significant(min2(s_t, curve_speed(in, hc)), 3), hc};
}

double calc_percent_followers(const FollowerModelInputs& in) {
    const bool pc_pz = is_pc_or_pz(in.passing_type);
    if (!pc_pz && in.passing_type != PASSING_LANE) return 0.0;  // no model for another passing type
    const double ffs = round_decimals(in.ffs, 2);

    double pf_25cap = 0.0;
    double pf_cap = 0.0;
    if (pc_pz) {
        const ex::FollowerRow* r25 = class_row(ex::PF_25CAP_PC_PZ, in.vertical_class);
        const ex::FollowerRow* rcap = class_row(ex::PF_CAP_PC_PZ, in.vertical_class);
        if (r25 && rcap) {
            pf_25cap = follower_terms_pc_pz(*r25, in.length, ffs, in.v_o, in.phv);
            pf_cap = follower_terms_pc_pz(*rcap, in.length, ffs, in.v_o, in.phv);
        }
    } else {
        const ex::FollowerRow* r25 = class_row(ex::PF_25CAP_PL, in.vertical_class);
        const ex::FollowerRow* rcap = class_row(ex::PF_CAP_PL, in.vertical_class);
        if (r25 && rcap) {
            pf_25cap = follower_terms_pl(*r25, in.length, ffs, in.phv);
            pf_cap = follower_terms_pl(*rcap, in.length, ffs, in.phv);
        }
    }

    const double capacity = static_cast<double>(in.capacity);
    const double z_cap = -std::log(1.0 - pf_cap / 100.0) / (capacity / ex::FLOW_UNIT_VEH_H);
    const double z_25 = -std::log(1.0 - pf_25cap / 100.0) / (ex::QUARTER_CAPACITY_SHARE * capacity / ex::FLOW_UNIT_VEH_H);
    const ex::FollowerCurve& k = pc_pz ? ex::FOLLOWER_CURVE_PC_PZ : ex::FOLLOWER_CURVE_PL;
    const double m = k.d_cap * z_cap + k.d_25 * z_25;
    const double p =
        k.e0 + k.e_25 * z_25 + k.e_cap * z_cap + k.e_sqrt25 * std::sqrt(z_25) + k.e_sqrtcap * std::sqrt(z_cap);
    // 1 - e^x by -expm1(x): exact to the last digits at the small demands where x is near 0.
    return -100.0 * std::expm1(m * std::pow(in.v_d / ex::FLOW_UNIT_VEH_H, p));
}

LevelOfService follower_density_los(double fd, double s_pl) {
    if (std::isnan(fd)) return LevelOfService::F;
    const auto& bounds = s_pl >= ex::LOS_HIGH_SPEED_LIMIT ? ex::LOS_FD_MAX_HIGH_SPEED : ex::LOS_FD_MAX_LOW_SPEED;
    return common::los_by_density(bounds, fd);  // E above the last bound
}

// ---- the facility ----

namespace {

const Segment& segment_at(const std::vector<Segment>& segments, std::size_t seg_num) {
    if (seg_num >= segments.size()) {
        throw Error("segment index " + std::to_string(seg_num) + " is out of range for a facility with " +
                    std::to_string(segments.size()) + " segments");
    }
    return segments[seg_num];
}

Segment& segment_at(std::vector<Segment>& segments, std::size_t seg_num) {
    return const_cast<Segment&>(segment_at(std::as_const(segments), seg_num));
}

// The Step 4 model inputs shared by the segment's own speed and its passing-lane lane speeds.
SpeedModelInputs speed_inputs(const Segment& s) {
    SpeedModelInputs in;
    in.passing_type = s.passing_type;
    in.vertical_class = vertical_class_of(s);
    in.horizontal_curve = s.is_hc.value_or(false);
    in.length = s.length;
    in.bffs = base_ffs(s);
    in.ffs = s.ffs.value_or(0.0);
    in.v_d = s.flow_rate.value_or(0.0);
    in.v_o = s.flow_rate_o.value_or(0.0);
    in.phv = phv_of(s);
    return in;
}

FollowerModelInputs follower_inputs(const Segment& s) {
    FollowerModelInputs in;
    in.capacity = s.capacity.value_or(defaults::CAPACITY);
    in.passing_type = s.passing_type;
    in.vertical_class = vertical_class_of(s);
    in.length = s.length;
    in.ffs = s.ffs.value_or(0.0);
    in.v_d = s.flow_rate.value_or(0.0);
    in.v_o = s.flow_rate_o.value_or(0.0);
    in.phv = phv_of(s);
    return in;
}

// FD = PF v_d / (100 S) from the segment's stored values, absent ones 0.
double stored_follower_density(const Segment& s) {
    return s.pf.value_or(0.0) * s.flow_rate.value_or(0.0) / (100.0 * s.avg_speed.value_or(0.0));
}

std::int32_t passing_lane_capacity(double phv, std::int32_t vertical_class) {
    if (std::isnan(phv)) return 0;
    std::size_t band = 0;
    while (band < ex::PASSING_LANE_HV_BAND_LIMITS.size() && !(phv < ex::PASSING_LANE_HV_BAND_LIMITS[band])) ++band;
    const auto& row = ex::PASSING_LANE_CAPACITY[band];
    // Classes 1 to 4 have their own column; class 5 and any other class the last.
    const bool own_column = vertical_class >= 1 && vertical_class <= 4;
    const std::size_t column = own_column ? static_cast<std::size_t>(vertical_class - 1) : row.size() - 1;
    return row[column];
}

// Speed of one lane of a passing lane (passing-lane coefficients, the segment's curve flag): with
// fewer than two subsegments over the segment length, else the length-weighted mean of every
// subsegment evaluated over its own length, radius and superelevation.
double lane_speed(const Segment& s, double v_lane, double hv_lane) {
    SpeedModelInputs in = speed_inputs(s);
    in.passing_type = PASSING_LANE;
    in.v_d = v_lane;
    in.phv = hv_lane;
    if (s.subsegments.size() < 2) return calc_speed(in).speed;
    double weighted = 0.0;
    for (const SubSegment& sub : s.subsegments) {
        in.length = sub.length.value_or(0.0) / base::units::FT_PER_MI;
        in.radius = sub.design_rad.value_or(0.0);
        in.superelevation = sub.sup_ele.value_or(0.0);
        weighted += in.length * calc_speed(in).speed;
    }
    return weighted / s.length;
}

double lane_percent_followers(const Segment& s, double v_lane, double hv_lane) {
    FollowerModelInputs in = follower_inputs(s);
    in.v_d = v_lane;
    in.phv = hv_lane;
    return calc_percent_followers(in);
}

// What every adjustment from passing lane k shares: the percent followers arriving at it (none when
// it is the first segment), its length (mi) and the terms a and t of both improvements.
struct PassingLaneEffect {
    double pf_u;
    double l_pl;
    double a;
    double t;
};

PassingLaneEffect passing_lane_effect(const std::vector<Segment>& segments, std::size_t k) {
    const double pf_u = k > 0 ? segments[k - 1].pf.value_or(0.0) : 0.0;
    const double l_pl = segments[k].length;
    return {pf_u, l_pl, ex::PF_IMPROVEMENT_PER_UPSTREAM_PF * max2(0.0, pf_u - ex::PF_IMPROVEMENT_UPSTREAM_PF),
            ex::PF_IMPROVEMENT_PER_LN_LENGTH * std::log(max2(ex::PF_IMPROVEMENT_MIN_LENGTH, l_pl))};
}

// Percent-followers improvement k_PF of passing lane k for the demand entering it (the lane's own
// demand when it is the first segment).
double lane_pf_improvement(const std::vector<Segment>& segments, std::size_t k, const PassingLaneEffect& e) {
    const double v_prev = segments[k > 0 ? k - 1 : k].flow_rate.value_or(0.0);
    return ex::PF_IMPROVEMENT_CONST + e.a + e.t - ex::PF_IMPROVEMENT_PER_FLOW * v_prev;
}

// Effective length L_de (mi) of the downstream effect, where the percent-followers improvement k_PF
// has died out, rounded to 0.1 mi.
double effective_length(double k_pf) {
    return round_decimals(
        min2(std::exp(k_pf / ex::PF_IMPROVEMENT_PER_LN_DISTANCE),
             max2(ex::PF_IMPROVEMENT_MIN_DISTANCE,
                  std::exp((max2(0.0, ex::PF_IMPROVEMENT_LIMIT_CONST - k_pf) - ex::PF_IMPROVEMENT_CONST) /
                           -ex::PF_IMPROVEMENT_PER_LN_DISTANCE))),
        1);
}

// Step 7 on passing lane k: the follower density entering it, improved over its effective length,
// which it stores in `l_de` for the segments after it. The first segment has no entering
// followers: it stores its effective length and its adjustment is 0.
double passing_lane_adjustment(const std::vector<Segment>& segments, std::optional<double>& l_de, std::size_t k) {
    const PassingLaneEffect e = passing_lane_effect(segments, k);
    if (k == 0) {
        l_de = effective_length(lane_pf_improvement(segments, k, e));
        return 0.0;
    }
    const double speed = segments[k].avg_speed.value_or(0.0);
    const double v_prev = segments[k - 1].flow_rate.value_or(0.0);
    const double k_pf = lane_pf_improvement(segments, k, e);
    const double k_s = ex::SPEED_IMPROVEMENT_CONST + e.a + ex::SPEED_IMPROVEMENT_PER_LENGTH * e.l_pl -
                       ex::SPEED_IMPROVEMENT_PER_FLOW * v_prev;
    const double l_de_new = effective_length(k_pf);
    l_de = l_de_new;
    const double d_pf = max2(0.0, k_pf - ex::PF_IMPROVEMENT_PER_LN_DISTANCE *
                                             std::log(max2(ex::PF_IMPROVEMENT_MIN_DISTANCE, l_de_new)));
    const double d_s = max2(0.0, k_s - ex::SPEED_IMPROVEMENT_PER_DISTANCE * l_de_new);
    return v_prev * (e.pf_u / 100.0) * (1.0 - d_pf / 100.0) / (speed * (1.0 + d_s / 100.0));
}

// Step 7 for segment `seg_num`, not a passing lane, downstream of passing lane k with x (mi) from
// the start of that passing lane to the end of the segment: 0 once x reaches `l_de` (0 when absent).
double downstream_adjustment(const std::vector<Segment>& segments, std::optional<double> l_de, std::size_t seg_num,
                             std::size_t k, double x) {
    if (!(x < l_de.value_or(0.0))) return 0.0;
    const Segment& s = segments[seg_num];
    const PassingLaneEffect e = passing_lane_effect(segments, k);
    const double vd = s.flow_rate.value_or(0.0);
    const double d_pf = round_decimals(
        max2(0.0, ex::PF_IMPROVEMENT_CONST -
                      ex::PF_IMPROVEMENT_PER_LN_DISTANCE * std::log(max2(ex::PF_IMPROVEMENT_MIN_DISTANCE, x)) + e.a +
                      e.t - ex::PF_IMPROVEMENT_PER_FLOW * vd),
        1);
    const double d_s = round_decimals(max2(0.0, ex::SPEED_IMPROVEMENT_CONST - ex::SPEED_IMPROVEMENT_PER_DISTANCE * x +
                                                    e.a + ex::SPEED_IMPROVEMENT_PER_LENGTH * e.l_pl -
                                                    ex::SPEED_IMPROVEMENT_PER_FLOW * vd),
                                      1);
    const double pf = round_decimals(s.pf.value_or(0.0), 1);
    const double v = round_significant(vd, 3);
    return (pf / 100.0) * (1.0 - d_pf / 100.0) * v /
           (round_decimals(s.avg_speed.value_or(0.0), 1) * (1.0 + d_s / 100.0));
}

// Step 7 for segment `seg_num` whose nearest passing lane at or before it is segment k, with x (mi)
// from the start of that passing lane to the end of the segment. On the passing lane itself
// (k = seg_num) it sets the effective length `l_de` from its own inputs, which the segments after
// it read.
double adjustment(const std::vector<Segment>& segments, std::optional<double>& l_de, std::size_t seg_num,
                  std::size_t k, double x) {
    if (is_passing_lane(segments[seg_num])) return passing_lane_adjustment(segments, l_de, seg_num);
    return downstream_adjustment(segments, l_de, seg_num, k, x);
}

// Distance x (mi) from the start of passing lane k to the end of segment `seg_num` (k <= seg_num).
double distance_from_passing_lane(const std::vector<Segment>& segments, std::size_t k, std::size_t seg_num) {
    double x = 0.0;
    for (std::size_t i = k; i <= seg_num; ++i) x += segments[i].length;
    return x;
}

// Step 7 for segment `seg_num`, not a passing lane, as the facility step adjusts it, whatever ran
// before: with the L_de its nearest upstream passing lane sets from its own inputs, never the
// facility's stored `l_de`.
double adjustment_from_record(const std::vector<Segment>& segments, std::size_t seg_num) {
    const std::optional<std::size_t> k = nearest_upstream_passing_lane(segments, seg_num);
    if (!k) return 0.0;
    const double l_de = effective_length(lane_pf_improvement(segments, *k, passing_lane_effect(segments, *k)));
    return downstream_adjustment(segments, l_de, seg_num, *k, distance_from_passing_lane(segments, *k, seg_num));
}

// The follower density a segment is graded by: FD at the middle of a passing lane; otherwise the
// adjusted FD where its adjustment applies (is above 0), else its own FD; absent values read 0.
double graded_follower_density(const Segment& s, double adjusted) {
    if (is_passing_lane(s)) return s.fd_mid.value_or(0.0);
    return adjusted > 0.0 ? adjusted : s.fd.value_or(0.0);
}

}  // namespace

double TwoLaneHighways::total_length() const {
    double total = 0.0;
    for (const Segment& s : segments) total += s.length;
    return total;
}

LengthLimits TwoLaneHighways::identify_vertical_class(std::size_t seg_num) const {
    const Segment& s = segment_at(segments, seg_num);
    const std::array<ex::LengthLimitRow, 3>* row = nullptr;
    switch (vertical_class_of(s)) {
        case 1:
        case 2: row = &ex::LENGTH_LIMITS_CLASS_1_2; break;
        case 3: row = &ex::LENGTH_LIMITS_CLASS_3; break;
        case 4:
        case 5: row = &ex::LENGTH_LIMITS_CLASS_4_5; break;
        default: return {0.0, 0.0};
    }
    if (s.passing_type >= row->size()) return {0.0, 0.0};
    const ex::LengthLimitRow& limits = (*row)[s.passing_type];
    return {limits.min, limits.max};
}

std::int32_t TwoLaneHighways::determine_vertical_alignment(std::size_t seg_num) {
    Segment& s = segment_at(segments, seg_num);
    const ex::VerticalClassRow* row = &ex::VERTICAL_CLASS_LONG;
    for (const ex::VerticalClassRow& r : ex::VERTICAL_CLASS_BY_LENGTH) {
        if (s.length <= r.max_length) {
            row = &r;
            break;
        }
    }
    const bool upgrade = s.grade >= 0.0;  // a NaN grade reads as a downgrade
    std::int32_t vertical_class = row->last_class;
    for (std::size_t i = 0; i < 4; ++i) {
        const bool within = upgrade ? s.grade <= row->upgrade[i] : s.grade >= -row->downgrade[i];
        if (within) {
            vertical_class = static_cast<std::int32_t>(i) + 1;
            break;
        }
    }
    s.vertical_class = vertical_class;
    return vertical_class;
}

DemandFlow TwoLaneHighways::determine_demand_flow(std::size_t seg_num) {
    Segment& s = segment_at(segments, seg_num);
    const double phf = s.phf.value_or(defaults::PHF);
    const double volume_op = s.volume_op.value_or(defaults::VOLUME_OP);
    DemandFlow r{s.volume.value_or(defaults::VOLUME) / phf, 0.0, 0};
    switch (s.passing_type) {
        case PASSING_CONSTRAINED:
            r.capacity = ex::PASSING_CONSTRAINED_OR_ZONE_CAPACITY;
            r.v_o = ex::PASSING_CONSTRAINED_OPPOSING_FLOW;
            break;
        case PASSING_ZONE:
            r.capacity = ex::PASSING_CONSTRAINED_OR_ZONE_CAPACITY;
            r.v_o = volume_op == 0.0 ? 0.0 : volume_op / phf;
            break;
        case PASSING_LANE: r.capacity = passing_lane_capacity(phv_of(s), vertical_class_of(s)); break;
        default: break;
    }
    s.flow_rate = r.v_d;
    s.flow_rate_o = r.v_o;
    s.capacity = r.capacity;
    return r;
}

double TwoLaneHighways::determine_free_flow_speed(std::size_t seg_num) {
    Segment& s = segment_at(segments, seg_num);
    static constexpr ex::FfsSlopeRow ZERO{};
    const ex::FfsSlopeRow* row = class_row(ex::FFS_SLOPE, vertical_class_of(s));
    const ex::FfsSlopeRow& k = row ? *row : ZERO;
    const double bffs = base_ffs(s);
    const double vo = s.flow_rate_o.value_or(0.0);
    const double a = max2(ex::FFS_SLOPE_MIN,
                          k.a0 + k.a1 * bffs + k.a2 * s.length +
                              max2(0.0, k.a3 + k.a4 * bffs + k.a5 * s.length) * vo / ex::FLOW_UNIT_VEH_H);
    double f_ls = 0.0;
    if (lane_width) f_ls += ex::LANE_WIDTH_FACTOR * (ex::LANE_WIDTH_BASE - *lane_width);
    if (shoulder_width) f_ls += ex::SHOULDER_WIDTH_FACTOR * (ex::SHOULDER_WIDTH_BASE - *shoulder_width);
    // A density that is not a number passes through to FFS rather than reading as the 10 mi/h cap.
    double f_a = ex::ACCESS_POINT_DEFAULT;
    if (apd) f_a = std::isnan(*apd) ? *apd : min2(ex::ACCESS_POINT_FACTOR * *apd, ex::ACCESS_POINT_MAX);
    const double ffs = bffs - a * phv_of(s) - f_ls - f_a;
    s.ffs = ffs;
    return ffs;
}

SpeedAndClass TwoLaneHighways::estimate_average_speed(std::size_t seg_num) {
    Segment& s = segment_at(segments, seg_num);
    SpeedModelInputs in = speed_inputs(s);
    in.bffs = round_significant(base_ffs(s), 3);
    in.horizontal_curve = false;  // the tangent evaluation; curves below
    const SpeedAndClass tangent = calc_speed(in);
    double speed = tangent.speed;
    if (s.is_hc.value_or(false)) {
        // Subsegment lengths are in feet and the segment length in miles; the weights are not
        // renormalised when the subsegments do not add up to the segment.
        double weighted = 0.0;
        SpeedModelInputs curve = in;
        curve.horizontal_curve = true;
        for (SubSegment& sub : s.subsegments) {
            double term_speed;
            if (sub.design_rad && *sub.design_rad > 0.0) {
                curve.radius = *sub.design_rad;
                curve.superelevation = sub.sup_ele.value_or(0.0);
                const SpeedAndClass c = calc_speed(curve);
                sub.avg_speed = c.speed;
                sub.hor_class = c.hor_class;
                term_speed = c.speed;
            } else {
                sub.avg_speed = tangent.speed;
                sub.hor_class = 0;
                term_speed = round_decimals(tangent.speed, 1);
            }
            weighted += sub.length.value_or(0.0) / base::units::FT_PER_MI * term_speed;
        }
        speed = s.subsegments.empty() ? 0.0 : weighted / s.length;
    }
    s.avg_speed = speed;
    return {speed, tangent.hor_class};
}

SpeedAndClass TwoLaneHighways::estimate_average_speed_sf(std::size_t seg_num, double length, double vd, double phv,
                                                         double rad, double sup_ele) const {
    SpeedModelInputs in = speed_inputs(segment_at(segments, seg_num));
    in.passing_type = PASSING_LANE;
    in.length = length;
    in.v_d = vd;
    in.phv = phv;
    in.radius = rad;
    in.superelevation = sup_ele;
    return calc_speed(in);
}

double TwoLaneHighways::estimate_percent_followers(std::size_t seg_num) {
    Segment& s = segment_at(segments, seg_num);
    const double pf = calc_percent_followers(follower_inputs(s));
    s.pf = pf;
    return pf;
}

double TwoLaneHighways::estimate_percent_followers_sf(std::size_t seg_num, double vd, double phv) const {
    FollowerModelInputs in = follower_inputs(segment_at(segments, seg_num));
    in.v_d = vd;
    in.phv = phv;
    return calc_percent_followers(in);
}

double TwoLaneHighways::determine_follower_density_pc_pz(std::size_t seg_num) {
    Segment& s = segment_at(segments, seg_num);
    const double fd = stored_follower_density(s);
    s.fd = fd;
    return fd;
}

PassingLaneFollowerDensity TwoLaneHighways::determine_follower_density_pl(std::size_t seg_num) {
    Segment& s = segment_at(segments, seg_num);
    const double vd = s.flow_rate.value_or(0.0);
    const double hv = phv_of(s);

    // Split of the demand and of the heavy vehicles between the faster and the slower lane.
    const double v_hv = std::round(vd * hv / 100.0);
    const double p_fl = ex::FASTER_LANE_SHARE_CONST - ex::FASTER_LANE_SHARE_PER_LN_FLOW * std::log(vd) -
                        ex::FASTER_LANE_SHARE_PER_HV_FLOW * v_hv;
    const double v_fl = std::round(vd * p_fl);
    const double v_sl = std::round(vd * (1.0 - p_fl));
    const double hv_fl = hv * pmhvfl.value_or(0.0);
    // The heavy vehicles left for the slower lane, rounded up to a whole vehicle.
    const double hv_sl = round_decimals(std::ceil(v_hv - hv_fl * v_fl / 100.0) / v_sl * 100.0, 1);

    const double s_fl = lane_speed(s, v_fl, hv_fl);
    const double s_sl = lane_speed(s, v_sl, hv_sl);
    const double pf_fl = lane_percent_followers(s, v_fl, hv_fl);
    const double pf_sl = lane_percent_followers(s, v_sl, hv_sl);
    // Half the speed differential between the lanes.
    const double h =
        (ex::LANE_SPEED_DIFF_CONST + ex::LANE_SPEED_DIFF_PER_FLOW * vd + ex::LANE_SPEED_DIFF_PER_HV * hv / 100.0) * 0.5;
    const double fd_mid = (v_fl * pf_fl / (s_fl + h) + v_sl * pf_sl / (s_sl - h)) / ex::MID_FOLLOWER_DENSITY_DIVISOR;
    const double fd = stored_follower_density(s);
    s.fd_mid = fd_mid;
    s.fd = fd;
    return {fd, fd_mid};
}

double TwoLaneHighways::determine_adjustment_to_follower_density(std::size_t seg_num) {
    segment_at(segments, seg_num);
    const std::optional<std::size_t> k = nearest_upstream_passing_lane(segments, seg_num);
    if (!k) return 0.0;  // upstream of every passing lane
    return adjustment(segments, l_de, seg_num, *k, distance_from_passing_lane(segments, *k, seg_num));
}

LevelOfService TwoLaneHighways::determine_segment_los(std::size_t seg_num, double s_pl, std::int32_t cap) const {
    const Segment& s = segment_at(segments, seg_num);
    if (s.flow_rate.value_or(0.0) > static_cast<double>(cap)) return LevelOfService::F;
    const double adjusted = is_passing_lane(s) ? 0.0 : adjustment_from_record(segments, seg_num);
    return follower_density_los(graded_follower_density(s, adjusted), s_pl);
}

double TwoLaneHighways::determine_facility_follower_density() {
    std::optional<std::size_t> k;  // the nearest passing lane at or before segment i
    double x = 0.0;                 // from the start of that passing lane to the end of segment i
    base::WeightedMean by_length;
    for (std::size_t i = 0; i < segments.size(); ++i) {
        const Segment& s = segments[i];
        if (is_passing_lane(s)) {
            k = i;
            x = 0.0;
        }
        if (k) x += s.length;
        // A passing lane sets l_de here, before the segments after it are adjusted.
        const double adjusted = !k ? 0.0 : adjustment(segments, l_de, i, *k, x);
        by_length.add(graded_follower_density(s, adjusted), s.length);
    }
    return by_length.mean_or(0.0);
}

LevelOfService TwoLaneHighways::determine_facility_los(double fd, double s_pl) const {
    return follower_density_los(fd, s_pl);
}

}  // namespace hcm::twolanehighways
