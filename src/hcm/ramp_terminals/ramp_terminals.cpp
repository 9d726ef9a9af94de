#include "hcm/ramp_terminals/ramp_terminals.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "base/numeric.hpp"
#include "base/options.hpp"
#include "base/units.hpp"
#include "hcm/common/error.hpp"
#include "hcm/common/vehicle_spacing.hpp"
#include "hcm/signal_delay/signal_delay.hpp"
#include "hcm/unsignalized/unsignalized.hpp"

namespace hcm::ramp_terminals::ramp_terminals {

using base::max2;
using base::min2;
namespace ex = exhibits;

namespace {

using base::units::SECONDS_PER_HOUR;
using base::units::INF;

using A = InterchangeApproach;
using Leg = InterchangeLeg;
using Turn = MovementTurn;

constexpr std::size_t OD_COUNT = ex::OD_COUNT;

constexpr OdMovement od_of(std::size_t k) { return static_cast<OdMovement>(k); }

// ---- O-D paths ----

// The movements O-D paths pass, in the order a path examines them.
namespace mv {
constexpr InterchangeMovement EbExtLeft{A::Eb, Leg::Ext, Turn::Left};
constexpr InterchangeMovement EbExtThrough{A::Eb, Leg::Ext, Turn::Through};
constexpr InterchangeMovement EbExtRight{A::Eb, Leg::Ext, Turn::Right};
constexpr InterchangeMovement EbIntLeft{A::Eb, Leg::Int, Turn::Left};
constexpr InterchangeMovement EbIntThrough{A::Eb, Leg::Int, Turn::Through};
constexpr InterchangeMovement EbIntRight{A::Eb, Leg::Int, Turn::Right};
constexpr InterchangeMovement WbExtLeft{A::Wb, Leg::Ext, Turn::Left};
constexpr InterchangeMovement WbExtThrough{A::Wb, Leg::Ext, Turn::Through};
constexpr InterchangeMovement WbExtRight{A::Wb, Leg::Ext, Turn::Right};
constexpr InterchangeMovement WbIntLeft{A::Wb, Leg::Int, Turn::Left};
constexpr InterchangeMovement WbIntThrough{A::Wb, Leg::Int, Turn::Through};
constexpr InterchangeMovement WbIntRight{A::Wb, Leg::Int, Turn::Right};
constexpr InterchangeMovement NbRampLeft{A::Nb, Leg::Ramp, Turn::Left};
constexpr InterchangeMovement NbRampRight{A::Nb, Leg::Ramp, Turn::Right};
constexpr InterchangeMovement NbRampThrough{A::Nb, Leg::Ramp, Turn::Through};
constexpr InterchangeMovement NbRampTwoLeft{A::Nb, Leg::RampTwo, Turn::Left};
constexpr InterchangeMovement NbRampTwoRight{A::Nb, Leg::RampTwo, Turn::Right};
constexpr InterchangeMovement SbRampLeft{A::Sb, Leg::Ramp, Turn::Left};
constexpr InterchangeMovement SbRampRight{A::Sb, Leg::Ramp, Turn::Right};
constexpr InterchangeMovement SbRampTwoRight{A::Sb, Leg::RampTwo, Turn::Right};
}  // namespace mv

constexpr std::array<InterchangeMovement, 20> PATH_ORDER = {
    mv::EbExtLeft,   mv::EbExtThrough,  mv::EbExtRight,    mv::EbIntLeft,    mv::EbIntThrough,
    mv::EbIntRight,  mv::WbExtLeft,     mv::WbExtThrough,  mv::WbExtRight,   mv::WbIntLeft,
    mv::WbIntThrough, mv::WbIntRight,   mv::NbRampLeft,    mv::NbRampRight,  mv::NbRampThrough,
    mv::NbRampTwoLeft, mv::NbRampTwoRight, mv::SbRampLeft, mv::SbRampRight,  mv::SbRampTwoRight,
};

// The movements of one O-D path on one form.
struct PathSpec {
    std::array<InterchangeMovement, 2> movements{};
    std::size_t count = 0;
};
constexpr PathSpec none() { return {}; }
constexpr PathSpec path(InterchangeMovement a) { return {{a, a}, 1}; }
constexpr PathSpec path(InterchangeMovement a, InterchangeMovement b) { return {{a, b}, 2}; }

// Columns of the O-D path table: the diamond and the diverging diamond share one.
enum PathColumn : std::size_t { DiamondOrDdi, A2Q, A4Q, AB2Q, AB4Q, B2Q, B4Q, Single, COLUMN_COUNT };

constexpr std::size_t column_of(InterchangeForm form) {
    switch (form) {
        case InterchangeForm::Diamond:
        case InterchangeForm::Ddi: return DiamondOrDdi;
        case InterchangeForm::ParcloA2Q: return A2Q;
        case InterchangeForm::ParcloA4Q: return A4Q;
        case InterchangeForm::ParcloAB2Q: return AB2Q;
        case InterchangeForm::ParcloAB4Q: return AB4Q;
        case InterchangeForm::ParcloB2Q: return B2Q;
        case InterchangeForm::ParcloB4Q: return B4Q;
        case InterchangeForm::Spui: return Single;
    }
    return DiamondOrDdi;
}

using namespace mv;
// The movements each O-D movement passes, by form (HCM Chapter 23 O-D movement definitions):
// [letter][column], columns Diamond/DDI, ParcloA2Q, A4Q, AB2Q, AB4Q, B2Q, B4Q, SPUI.
constexpr std::array<std::array<PathSpec, COLUMN_COUNT>, OD_COUNT> OD_PATHS = {{
    /* A */ {path(WbIntThrough, NbRampLeft), path(WbIntThrough, NbRampLeft), path(WbIntThrough, NbRampLeft),
             path(WbIntThrough, NbRampTwoLeft), path(WbIntThrough, NbRampTwoLeft), path(WbIntThrough, SbRampRight),
             path(WbIntThrough, SbRampTwoRight), path(NbRampLeft)},
    /* B */ {path(NbRampRight), path(NbRampRight), path(NbRampRight), path(NbRampTwoRight), path(NbRampTwoRight),
             path(SbRampLeft), path(NbRampTwoRight), path(NbRampRight)},
    /* C */ {path(SbRampRight), path(SbRampRight), path(SbRampRight), path(NbRampLeft), path(SbRampRight),
             path(NbRampLeft), path(SbRampRight), path(SbRampRight)},
    /* D */ {path(EbIntThrough, SbRampLeft), path(EbIntThrough, SbRampLeft), path(EbIntThrough, SbRampLeft),
             path(EbIntThrough, NbRampRight), path(EbIntThrough, NbRampRight), path(EbIntThrough, NbRampRight),
             path(EbIntThrough, NbRampRight), path(SbRampLeft)},
    /* E */ {path(EbExtThrough, EbIntLeft), path(EbExtThrough, EbIntRight), path(EbExtThrough, EbIntRight),
             path(EbExtThrough, EbIntRight), path(EbExtThrough, EbIntRight), path(EbExtThrough, EbIntLeft),
             path(EbExtThrough, EbIntLeft), path(EbExtLeft)},
    /* F */ {path(EbExtRight), path(EbExtLeft), path(EbExtRight), path(EbExtRight), path(EbExtRight),
             path(EbExtRight), path(EbExtRight), path(EbExtRight)},
    /* G */ {path(WbExtRight), path(WbExtLeft), path(WbExtRight), path(WbExtLeft), path(WbExtLeft),
             path(WbExtRight), path(WbExtRight), path(WbExtRight)},
    /* H */ {path(WbExtThrough, WbIntLeft), path(WbExtThrough, WbIntRight), path(WbExtThrough, WbIntRight),
             path(WbExtThrough, WbIntLeft), path(WbExtThrough, WbIntLeft), path(WbExtThrough, WbIntLeft),
             path(WbExtThrough, WbIntLeft), path(WbExtLeft)},
    /* I */ {path(EbExtThrough, EbIntThrough), path(EbExtThrough, EbIntThrough), path(EbExtThrough, EbIntThrough),
             path(EbExtThrough, EbIntThrough), path(EbExtThrough, EbIntThrough), path(EbExtThrough, EbIntThrough),
             path(EbExtThrough, EbIntThrough), path(EbExtThrough)},
    /* J */ {path(WbExtThrough, WbIntThrough), path(WbExtThrough, WbIntThrough), path(WbExtThrough, WbIntThrough),
             path(WbExtThrough, WbIntThrough), path(WbExtThrough, WbIntThrough), path(WbExtThrough, WbIntThrough),
             path(WbExtThrough, WbIntThrough), path(WbExtThrough)},
    /* K */ {path(NbRampThrough), path(NbRampThrough), path(NbRampThrough), path(NbRampThrough), path(NbRampThrough),
             path(NbRampThrough), path(NbRampThrough), path(NbRampThrough)},
    /* L */ {none(), none(), none(), none(), none(), none(), none(), none()},
    /* M */ {path(WbIntLeft, NbRampLeft), path(WbIntRight, NbRampLeft), path(WbIntRight, NbRampLeft),
             path(WbIntLeft, NbRampTwoLeft), path(WbIntLeft, NbRampTwoLeft), path(WbIntLeft, SbRampRight),
             path(WbIntLeft, SbRampTwoRight), none()},
    /* N */ {path(EbIntLeft, SbRampLeft), path(EbIntRight, SbRampLeft), path(EbIntRight, SbRampLeft),
             path(EbIntRight, NbRampRight), path(EbIntRight, NbRampRight), path(EbIntLeft, NbRampRight),
             path(EbIntLeft, NbRampRight), none()},
}};

// Every path lists its movements in PATH_ORDER, the order in which they are examined.
constexpr bool paths_follow_path_order() {
    auto rank = [](const InterchangeMovement& m) {
        for (std::size_t i = 0; i < PATH_ORDER.size(); ++i)
            if (PATH_ORDER[i] == m) return i;
        return PATH_ORDER.size();
    };
    for (const auto& row : OD_PATHS)
        for (const PathSpec& p : row) {
            for (std::size_t i = 0; i < p.count; ++i)
                if (rank(p.movements[i]) == PATH_ORDER.size()) return false;
            if (p.count == 2 && rank(p.movements[0]) >= rank(p.movements[1])) return false;
        }
    return true;
}
static_assert(paths_follow_path_order());

// The first lane group with exactly `movement`.
std::optional<std::size_t> first_lane_group(const std::vector<LaneGroupInput>& groups,
                                            const InterchangeMovement& movement) {
    for (std::size_t g = 0; g < groups.size(); ++g)
        if (groups[g].movement == movement) return g;
    return std::nullopt;
}

bool external_shared(const Interchange& ix, InterchangeApproach approach) {
    return approach == A::Eb ? ix.eb_external_right_shared : ix.wb_external_right_shared;
}

// A path leg and the index of the lane group that carries it.
struct Carried {
    std::size_t group;
    OdLeg leg;
};

// The lane group that carries a path movement: its own, else a shared through-right group, else
// (shared external approaches) the external through group.
std::optional<Carried> carrier(const Interchange& ix, const InterchangeMovement& pm) {
    const auto& groups = ix.lane_groups;
    auto carried_by = [&](const InterchangeMovement& m) -> std::optional<Carried> {
        if (auto g = first_lane_group(groups, m)) return Carried{*g, {m, pm.turn}};
        return std::nullopt;
    };
    if (auto c = carried_by(pm)) return c;
    if (pm.turn == Turn::Through || pm.turn == Turn::Right) {
        if (auto c = carried_by({pm.approach, pm.leg, Turn::ThroughRight})) return c;
    }
    if (pm.leg == Leg::Ext && (pm.turn == Turn::Left || pm.turn == Turn::Right) && external_shared(ix, pm.approach)) {
        if (auto c = carried_by({pm.approach, Leg::Ext, Turn::Through})) return c;
        if (auto c = carried_by({pm.approach, Leg::Ext, Turn::ThroughRight})) return c;
    }
    return std::nullopt;
}

// One O-D path with the lane-group index of each leg.
struct ResolvedPath {
    OdPath path;
    std::array<std::size_t, 2> groups{};
};

ResolvedPath resolve_path(const Interchange& ix, OdMovement od) {
    const PathSpec& spec = OD_PATHS[static_cast<std::size_t>(od)][column_of(ix.form)];
    ResolvedPath out;
    for (std::size_t i = 0; i < spec.count; ++i) {
        if (auto c = carrier(ix, spec.movements[i])) {
            out.groups[out.path.size()] = c->group;
            out.path.push_back(c->leg);
        }
    }
    return out;
}

using Paths = std::array<ResolvedPath, OD_COUNT>;

Paths resolve_paths(const Interchange& ix) {
    Paths paths;
    for (std::size_t k = 0; k < OD_COUNT; ++k) paths[k] = resolve_path(ix, od_of(k));
    return paths;
}

// Per lane group (by the index of the first lane group of its movement): the O-D demand that
// passes it and the parts of it that turn left and right there.
struct LaneGroupLoads {
    std::vector<double> demand, left, right;
};

LaneGroupLoads lane_group_loads(const Paths& paths, const OdDemands& od, std::size_t group_count) {
    LaneGroupLoads loads{std::vector<double>(group_count, 0.0), std::vector<double>(group_count, 0.0),
                         std::vector<double>(group_count, 0.0)};
    for (std::size_t k = 0; k < OD_COUNT; ++k) {
        const ResolvedPath& p = paths[k];
        const double d = od[od_of(k)];
        for (std::size_t i = 0; i < p.path.size(); ++i) {
            const std::size_t g = p.groups[i];
            const bool counted = i == 1 && p.groups[0] == g;  // a letter counts once per lane group
            if (!counted) loads.demand[g] += d;
            if (p.path[i].turn == Turn::Left) loads.left[g] += d;
            if (p.path[i].turn == Turn::Right) loads.right[g] += d;
        }
    }
    return loads;
}

// ---- Step 3: saturation flow rate ----

double lanes_of(const LaneGroupInput& in) { return static_cast<double>(std::max<std::uint32_t>(in.lanes, 1)); }

double total_green(const LaneGroupInput& in) {
    double g = 0.0;
    for (const GreenInterval& iv : in.greens) g += iv.duration_s;
    return g;
}

double parking_factor(const std::optional<double>& maneuvers_h, double lanes) {
    return maneuvers_h ? signal_delay::parking_factor(lanes, *maneuvers_h) : 1.0;
}

// Left- or right-turn factor of the turning share `p` on a turn of radius `radius_ft`.
double turn_factor(double p, const std::optional<double>& radius_ft) {
    if (!radius_ft || !(p > 0.0)) return 1.0;
    const double r = *radius_ft;
    const double e = r > 0.0 ? 1.0 / (ex::saturation::TURN_RADIUS_CONSTANT_FT / r + 1.0) : 1.0;
    const double x = (1.0 - p) + p * e;
    if (!(x > 0.0)) return 1.0;
    return p >= 1.0 ? x : 1.0 / (1.0 + p * (1.0 / x - 1.0));
}

double traffic_pressure_factor(double p_left, double flow, double lanes, double cycle_s) {
    namespace s = ex::saturation;
    const double v_ol = std::clamp(flow / lanes * cycle_s / SECONDS_PER_HOUR, 0.0, s::PRESSURE_MAX_VEH_PER_CYCLE);
    return p_left / (s::PRESSURE_BASE - s::PRESSURE_LEFT * v_ol) +
           (1.0 - p_left) / (s::PRESSURE_BASE - s::PRESSURE_OTHER * v_ol);
}

bool is_arterial_through(const InterchangeMovement& m) {
    return (m.approach == A::Eb || m.approach == A::Wb) && (m.turn == Turn::Through || m.turn == Turn::ThroughRight);
}

double ddi_factor(InterchangeForm form, const InterchangeMovement& m) {
    return form == InterchangeForm::Ddi && is_arterial_through(m) ? ex::saturation::F_DDI_CROSSOVER : 1.0;
}

// DDI external through lanes: the share of the most used lane from the traffic pressure ratio.
double ddi_lane_utilization(const Interchange& ix, const OdDemands& od, InterchangeApproach approach,
                            std::uint32_t lanes) {
    const auto& config = approach == A::Eb ? ix.ddi_eb_lane_config : ix.ddi_wb_lane_config;
    const double turning = approach == A::Eb ? od.e : od.h;
    const double sum = turning + (approach == A::Eb ? od.i : od.j);
    if (!config || !(sum > 0.0)) return 1.0;
    const double p = turning / sum;
    const ex::DdiShareModel& model = ex::DDI_SHARE_MODELS.at(static_cast<std::size_t>(*config));
    std::size_t band = 0;
    while (band + 1 < model.band_count && !(p <= model.bands[band].p_max)) ++band;
    double share = model.bands[band].a + model.bands[band].b * p;
    const double even = 1.0 / static_cast<double>(model.lanes);
    if (share < even) share = even;
    if (!(share > 0.0)) return 1.0;
    return min2(1.0 / (static_cast<double>(lanes) * share), 1.0);
}

// Coefficient set of the external through lane shares, by form and approach.
std::size_t lane_share_set(InterchangeForm form, InterchangeApproach approach) {
    const bool eb = approach == A::Eb;
    switch (form) {
        case InterchangeForm::ParcloA2Q: return 1;
        case InterchangeForm::ParcloA4Q: return 3;
        case InterchangeForm::ParcloAB2Q: return eb ? 3 : 4;
        case InterchangeForm::ParcloAB4Q: return eb ? 3 : 2;
        case InterchangeForm::ParcloB2Q:
        case InterchangeForm::ParcloB4Q: return 2;
        default: return 0;
    }
}

// External through lanes of the diamond and partial cloverleaf forms (N >= 2).
double external_lane_utilization(const Interchange& ix, const OdDemands& od, InterchangeApproach approach,
                                 std::uint32_t lanes) {
    const bool eb = approach == A::Eb;
    const double q1 = eb ? od.e : od.h;
    const double q2 = (eb ? ix.eb_external_right_shared : ix.wb_external_right_shared) ? (eb ? od.f : od.g) : 0.0;
    const double q3 = eb ? od.i : od.j;
    const double total = q1 + q2 + q3;
    const double n = static_cast<double>(lanes);
    const double even = 1.0 / n;
    if (lanes > 4) return min2(1.0 / (n * even), 1.0);
    const double distance = min2(ix.distance_between_intersections_ft, ex::LANE_SHARE_DISTANCE_CAP_FT);
    const ex::LaneShareCoefficients& k = ex::LANE_SHARE_SETS[lane_share_set(ix.form, approach)][lanes - 2];
    double s1 = even, s2 = even;
    if (total > 0.0) {
        s1 = even + k.k1 * q1 / total + k.k2 * q2 / total + k.k3 * distance * q1 / ex::LANE_SHARE_DISTANCE_SCALE;
        s2 = even + k.m1 * q1 / total + k.m2 * q2 / total;
    }
    double s_max;
    if (lanes == 2) {
        s_max = max2(s1, 1.0 - s1);
    } else {
        const double rest = max2((1.0 - s1 - s2) / max2(n - 2.0, 1.0), 0.0);
        s_max = max2(max2(s1, s2), rest);
    }
    return s_max > 0.0 ? min2(1.0 / (n * s_max), 1.0) : 1.0;
}

double lane_utilization_factor(const Interchange& ix, const LaneGroupInput& in, const OdDemands& od) {
    if (in.lane_utilization_override) return *in.lane_utilization_override;
    if (in.lanes < 2) return 1.0;
    const InterchangeMovement& m = in.movement;
    if (m.turn == Turn::Left) return signal_delay::LEFT_LANE_UTILIZATION;
    if (m.turn == Turn::Right) return signal_delay::RIGHT_LANE_UTILIZATION;
    const bool external_arterial = (m.approach == A::Eb || m.approach == A::Wb) && m.leg == Leg::Ext;
    if (!external_arterial || ix.form == InterchangeForm::Spui)
        return signal_delay::through_lane_utilization_factor(in.lanes);
    if (ix.form == InterchangeForm::Ddi) return ddi_lane_utilization(ix, od, m.approach, in.lanes);
    return external_lane_utilization(ix, od, m.approach, in.lanes);
}

// Step 3 for one lane group: its adjustment factors and saturation flow into `r`.
void determine_saturation_flow(const Interchange& ix, const OdDemands& od, const LaneGroupInput& in,
                               double od_demand, double left_demand, double right_demand, LaneGroupResult& r) {
    const double n = lanes_of(in);
    const double f_w = signal_delay::lane_width_factor(in.lane_width_ft);
    const double f_hvg = signal_delay::heavy_vehicle_grade_factor(in.pct_heavy_vehicles, in.grade_pct);
    const double f_p = parking_factor(in.parking_maneuvers_h, n);
    const double f_bb = signal_delay::bus_blockage_factor(n, in.bus_stops_h);
    const double f_a = signal_delay::area_type_factor(ix.area_type_cbd);
    const double f_lu = lane_utilization_factor(ix, in, od);
    const double v_d = max2(od_demand, 1e-9);
    const double p_left = left_demand / v_d;
    const double p_right = right_demand / v_d;
    const double f_l = turn_factor(p_left, in.turn_radius_ft);
    const double f_r =
        turn_factor(p_right, in.shared_right_turn_radius_ft ? in.shared_right_turn_radius_ft : in.turn_radius_ft);
    const double f_tp = traffic_pressure_factor(p_left, r.flow_rate, n, ix.cycle_length_s);
    const double f_ddi = ddi_factor(ix.form, in.movement);
    const double s = ix.base_saturation_flow * n * f_w * f_hvg * f_p * f_bb * f_a * f_lu * f_l * f_r * f_tp * f_ddi;
    r.lane_utilization = f_lu;
    r.traffic_pressure = f_tp;
    r.sat_flow = s;
    if (!in.protected_permitted_left) return;
    // Protected-permitted left: the protected rate over the protected green, the permitted rate
    // over the unblocked part of the permitted green.
    const ProtectedPermittedLeft& ppl = *in.protected_permitted_left;
    const double g_total = total_green(in);
    const double g_p = max2(ppl.permitted_green_s, 0.0);
    const double g_u = min2(max2(ppl.unblocked_green_s, 0.0), g_p);
    const double s_perm = ppl.permitted_sat_flow_override
                              ? *ppl.permitted_sat_flow_override
                              : signal_delay::permitted_left_sat_flow(ppl.opposing_flow_veh_h,
                                                                      signal_delay::UndefinedOpposingFlow::Propagates) *
                                    f_lu * f_tp * f_a * f_bb * f_p * f_hvg * f_w * n;
    const double g_x = max2(g_total - g_p, 0.0);
    if (g_p + g_x > 0.0) r.sat_flow = (s * g_x + s_perm * g_u) / (g_p + g_x);
    r.protected_sat_flow = s;
    r.permitted_sat_flow = s_perm;
}

// ---- Steps 1-3 of the lane-group phase: lost time between the intersections ----

// The lane groups of one internal link, eastbound or westbound (absent roles have no index).
struct Link {
    std::optional<std::size_t> internal;       // I: internal through, downstream
    std::optional<std::size_t> upstream;       // U: external through feeding I
    std::optional<std::size_t> ramp;           // R: ramp feeding I
    std::optional<std::size_t> opposing_left;  // L: the other direction's internal left
    double through_demand = 0.0;               // v_th
};

std::optional<std::size_t> first_of(const std::vector<LaneGroupInput>& groups, const InterchangeMovement& a,
                                    const InterchangeMovement& b) {
    if (auto g = first_lane_group(groups, a)) return g;
    return first_lane_group(groups, b);
}

std::optional<std::size_t> ramp_feeder(const Interchange& ix, const Paths& paths, OdMovement od,
                                       const InterchangeMovement& fallback) {
    const ResolvedPath& p = paths[static_cast<std::size_t>(od)];
    for (std::size_t i = 0; i < p.path.size(); ++i) {
        const InterchangeApproach a = p.path[i].lane_group.approach;
        if (a == A::Nb || a == A::Sb) return p.groups[i];
    }
    return first_lane_group(ix.lane_groups, fallback);
}

std::array<Link, 2> internal_links(const Interchange& ix, const Paths& paths, const OdDemands& od) {
    const auto& groups = ix.lane_groups;
    Link eb{first_of(groups, EbIntThrough, {A::Eb, Leg::Int, Turn::ThroughRight}),
            first_of(groups, EbExtThrough, {A::Eb, Leg::Ext, Turn::ThroughRight}),
            ramp_feeder(ix, paths, OdMovement::D, SbRampLeft), first_lane_group(groups, WbIntLeft), od.e + od.i};
    Link wb{first_of(groups, WbIntThrough, {A::Wb, Leg::Int, Turn::ThroughRight}),
            first_of(groups, WbExtThrough, {A::Wb, Leg::Ext, Turn::ThroughRight}),
            ramp_feeder(ix, paths, OdMovement::A, NbRampLeft), first_lane_group(groups, EbIntLeft), od.h + od.j};
    return {eb, wb};
}

// Role quantities, with an absent role counting as no green, one lane and no flow.
struct Roles {
    const Interchange& ix;
    const std::vector<LaneGroupResult>& results;

    double green(std::optional<std::size_t> g) const { return g ? total_green(ix.lane_groups[*g]) : 0.0; }
    double lanes(std::optional<std::size_t> g) const { return g ? lanes_of(ix.lane_groups[*g]) : 1.0; }
    double flow(std::optional<std::size_t> g) const { return g ? results[*g].flow_rate : 0.0; }
    double common_green(std::optional<std::size_t> a, std::optional<std::size_t> b) const {
        if (!a || !b) return 0.0;
        return common_green_time(ix.lane_groups[*a].greens, ix.lane_groups[*b].greens, ix.cycle_length_s);
    }
};

// Lost time of a feeder whose queue on the internal link leaves `queue_ft` of storage.
double spillback_lost_time(double cycle_s, double feeder_green, double queue_ft, double distance_ft,
                           double common_green) {
    namespace lt = ex::lost_time;
    const double storage = queue_ft <= distance_ft ? max2(distance_ft - queue_ft, 0.0) : 0.0;
    if (!(cycle_s > 0.0 && storage <= lt::STORAGE_LIMIT_FT)) return 0.0;
    return max2(feeder_green - lt::STORAGE_LOSS * storage - lt::COMMON_GREEN_LOSS * common_green / cycle_s, 0.0);
}

// Step 1: downstream-queue lost time of the two feeders of each link.
void determine_downstream_queue_lost_time(const Interchange& ix, const Roles& roles, const std::array<Link, 2>& links,
                                          std::vector<double>& dq) {
    namespace lt = ex::lost_time;
    if (ix.form == InterchangeForm::Spui) return;
    const double c = ix.cycle_length_s;
    const double l_h = ix.queue_spacing_ft;
    const double distance = ix.distance_between_intersections_ft;
    auto computed = [&](std::optional<std::size_t> g) {
        return g && ix.form != InterchangeForm::Ddi && !ix.lane_groups[*g].downstream_queue_lost_time_s;
    };
    for (const Link& k : links) {
        const double g_i = roles.green(k.internal);
        if (computed(k.upstream)) {
            const double gc = roles.common_green(k.upstream, k.internal);
            double queue = 0.0;
            if (c > 0.0)
                queue = l_h * (lt::QUEUE_GREEN * roles.green(k.ramp) / c +
                               lt::QUEUE_FLOW * roles.flow(k.ramp) / roles.lanes(k.ramp) -
                               lt::QUEUE_GREEN * g_i / c - lt::QUEUE_COMMON_GREEN * gc);
            dq[*k.upstream] = spillback_lost_time(c, roles.green(k.upstream), max2(queue, 0.0), distance, gc);
        }
        if (computed(k.ramp)) {
            const double gc = roles.common_green(k.ramp, k.internal);
            double queue = 0.0;
            if (c > 0.0)
                queue = l_h * (lt::QUEUE_GREEN * roles.green(k.upstream) / c +
                               lt::QUEUE_FLOW * k.through_demand / roles.lanes(k.upstream) -
                               lt::QUEUE_GREEN * g_i / c - lt::QUEUE_COMMON_GREEN * gc);
            dq[*k.ramp] = spillback_lost_time(c, roles.green(k.ramp), max2(queue, 0.0), distance, gc);
        }
    }
}

// Step 3: lost time of an internal through group starved of arrivals while its green runs.
double demand_starvation_lost_time(const Interchange& ix, const Roles& roles, const Link& k,
                                   const LaneGroupResult& internal) {
    if (ix.form == InterchangeForm::Spui || ix.form == InterchangeForm::Ddi) return 0.0;
    const LaneGroupInput& in = ix.lane_groups[*k.internal];
    const double n_i = lanes_of(in);
    const double s_i = internal.sat_flow.value_or(0.0);
    const double g_c = roles.common_green(k.internal, k.opposing_left);
    if (!(g_c > 0.0 && s_i / n_i > 0.0)) return 0.0;
    const double c = ix.cycle_length_s;
    const double h = SECONDS_PER_HOUR * n_i / s_i;
    const double l_1 = max2(in.start_up_lost_time_s + in.yellow_all_red_s - in.extension_of_green_s, 0.0);
    const double h_min = max2(h, ex::lost_time::MIN_HEADWAY_S);
    const double from_ramp = c * roles.flow(k.ramp) / (SECONDS_PER_HOUR * roles.lanes(k.ramp)) -
                             (max2(roles.common_green(k.ramp, k.internal), l_1) - l_1) / h_min;
    const double from_upstream = c * k.through_demand / (SECONDS_PER_HOUR * roles.lanes(k.upstream)) -
                                 (max2(roles.common_green(k.upstream, k.internal), l_1) - l_1) / h_min;
    const double arrivals = max2(from_ramp + from_upstream, 0.0);
    return max2(g_c - h * arrivals, 0.0);
}

// Steps 1-3: lost times and effective green of every lane group.
void determine_effective_green(const Interchange& ix, const std::array<Link, 2>& links,
                               std::vector<LaneGroupResult>& results) {
    const Roles roles{ix, results};
    const std::size_t count = ix.lane_groups.size();
    std::vector<double> dq(count);
    for (std::size_t g = 0; g < count; ++g) dq[g] = ix.lane_groups[g].downstream_queue_lost_time_s.value_or(0.0);
    determine_downstream_queue_lost_time(ix, roles, links, dq);
    for (std::size_t g = 0; g < count; ++g) {
        if (g == links[0].internal || g == links[1].internal) continue;
        const LaneGroupInput& in = ix.lane_groups[g];
        const double lost = max2(in.yellow_all_red_s + in.start_up_lost_time_s + dq[g] + in.overlap_lost_time_s -
                                     in.extension_of_green_s,
                                 0.0);
        results[g].downstream_queue_lost_time_s = dq[g];
        results[g].adjusted_lost_time_s = lost;
        results[g].effective_green_s = max2(in.yellow_all_red_s + total_green(in) - lost, 0.0);
    }
    for (const Link& k : links) {
        if (!k.internal) continue;
        const LaneGroupInput& in = ix.lane_groups[*k.internal];
        LaneGroupResult& r = results[*k.internal];
        const double ds = demand_starvation_lost_time(ix, roles, k, r);
        const double lost =
            max2(ds + in.start_up_lost_time_s + in.yellow_all_red_s - in.extension_of_green_s, 0.0);
        r.demand_starvation_lost_time_s = ds;
        r.adjusted_lost_time_s = lost;
        r.effective_green_s = max2(in.yellow_all_red_s + total_green(in) - lost, 0.0);
    }
}

// ---- Step 4: capacity ----

// A yielding turn is served only with a finite, positive capacity; any other has none.
bool yield_has_capacity(double capacity) { return std::isfinite(capacity) && capacity > 0.0; }

// Capacity of a turn yielding to a conflicting stream, veh/h.
double yield_capacity(const YieldTurnInput& y, double cycle_s) {
    const double g_c = y.conflicting_green_s;
    const double red = max2(cycle_s - g_c, 0.0);
    const double v_cl = y.conflicting_flow_per_lane;
    const double s_cl = y.conflicting_sat_flow_per_lane;
    double clearing;  // t_q: time the conflicting queue takes to clear after its green starts
    if (!y.proportion_on_green) {
        clearing = v_cl < s_cl ? max2(red * v_cl / (s_cl - v_cl), 0.0) : red;
    } else if (g_c > 0.0 && v_cl > 0.0) {
        const double p = *y.proportion_on_green;
        const double ratio = s_cl / v_cl - cycle_s * p / g_c;
        clearing = ratio > 0.0 ? max2(cycle_s * (1.0 - p) / ratio, 0.0) : g_c;
    } else {
        clearing = 0.0;
    }
    const double clearance =
        y.clearance_speed_mph > 0.0 ? y.clearance_distance_ft / (ex::FT_S_PER_MI_H * y.clearance_speed_mph) : 0.0;
    const double t_f = y.follow_up_headway_s;
    // Without a positive follow-up headway the turn has no defined service rate: no capacity
    // (3600 / t_f would make it infinite and its delay zero).
    if (!(cycle_s > 0.0) || !(t_f > 0.0)) return 0.0;
    const double t_c = y.critical_headway_s;
    const double saturation = SECONDS_PER_HOUR / t_f;  // veh/h through the conflicting stream's red
    const double gaps = std::exp(-(t_c - 0.5 * t_f) * y.conflicting_flow_veh_h / SECONDS_PER_HOUR);
    return (red * SECONDS_PER_HOUR / t_f + max2(g_c - clearing - clearance, 0.0) * saturation * gaps) / cycle_s;
}

void determine_capacity(const Interchange& ix, const LaneGroupInput& in, LaneGroupResult& r) {
    const double v = r.flow_rate;
    switch (kind_of(in.control)) {
        case ControlKind::Signalized: {
            const double c = r.sat_flow.value_or(0.0) * r.effective_green_s.value_or(0.0) / ix.cycle_length_s;
            r.capacity = c;
            r.vc_ratio = c <= 0.0 ? INF : v / c;
            break;
        }
        case ControlKind::YieldControlled: {
            const double c = yield_capacity(std::get<1>(in.control), ix.cycle_length_s);
            r.capacity = c;
            r.vc_ratio = yield_has_capacity(c) ? v / c : INF;
            break;
        }
        case ControlKind::FreeFlow: r.vc_ratio = 0.0; break;
    }
}

// ---- Step 5: upstream filtering ----

double filtering_from(const std::vector<LaneGroupResult>& results, std::optional<std::size_t> upstream) {
    namespace d = ex::delay;
    if (!upstream || !results[*upstream].vc_ratio) return 1.0;
    const double x = min2(max2(*results[*upstream].vc_ratio, 0.0), 1.0);
    return max2(1.0 - d::FILTERING_A * std::pow(x, d::FILTERING_EXPONENT), d::FILTERING_MIN);
}

void determine_upstream_filtering(const Interchange& ix, const std::array<Link, 2>& links,
                                  std::vector<LaneGroupResult>& results) {
    const double eb = filtering_from(results, links[0].upstream);
    const double wb = filtering_from(results, links[1].upstream);
    for (std::size_t g = 0; g < results.size(); ++g) {
        const LaneGroupInput& in = ix.lane_groups[g];
        if (in.upstream_filtering_override) {
            results[g].upstream_filtering = *in.upstream_filtering_override;
        } else if (in.movement.leg == Leg::Int) {
            results[g].upstream_filtering = in.movement.approach == A::Eb ? eb : wb;
        } else {
            results[g].upstream_filtering = 1.0;
        }
    }
}

// ---- Steps 6-8: delay and queues ----

double proportion_on_green(std::uint8_t arrival_type, double g_over_c) {
    const auto& ratios = ex::delay::PLATOON_RATIO;
    if (arrival_type >= 1 && arrival_type <= ratios.size())
        return min2(ratios[arrival_type - 1u] * min2(g_over_c, 1.0), 1.0);
    return min2(g_over_c, 1.0);
}

// Uniform delay of a protected-permitted left turn by accumulating its queue over one lane
// through red, protected green, blocked and unblocked permitted green, cycle after cycle until
// the end-of-cycle queue settles.
double protected_permitted_uniform_delay(const LaneGroupInput& in, const LaneGroupResult& r, double cycle_s,
                                         double x) {
    namespace d = ex::delay;
    const ProtectedPermittedLeft& ppl = *in.protected_permitted_left;
    const double n = lanes_of(in);
    const double g_p = max2(ppl.permitted_green_s, 0.0);
    const double g_u = min2(max2(ppl.unblocked_green_s, 0.0), g_p);
    const double g_x = max2(total_green(in) - g_p, 0.0);
    const double red = cycle_s - g_x - g_p;
    const double g_b = max2(g_p - g_u, 0.0);
    const double arrivals = r.flow_rate / n / SECONDS_PER_HOUR / max2(x, 1.0);  // veh/s per lane
    if (!(arrivals > 0.0)) return 0.0;
    const std::array<std::pair<double, double>, 4> segments = {{
        {arrivals, red},
        {arrivals - r.protected_sat_flow.value_or(0.0) / n / SECONDS_PER_HOUR, g_x},
        {arrivals, g_b},
        {arrivals - r.permitted_sat_flow.value_or(0.0) / n / SECONDS_PER_HOUR, g_u},
    }};
    double queue = 0.0;
    double area = 0.0;
    for (int cycle = 0; cycle < d::MAX_CYCLES; ++cycle) {
        const double start = queue;
        area = 0.0;
        for (const auto& [rate, length] : segments) {
            if (!(length > 0.0)) continue;
            if (rate >= 0.0 || queue + rate * length >= 0.0) {
                area += queue * length + 0.5 * rate * length * length;
                queue += rate * length;
            } else {
                area += queue * queue / (2.0 * -rate);  // the queue empties within the segment
                queue = 0.0;
            }
        }
        if (std::abs(queue - start) < d::QUEUE_SETTLED_VEH || queue > d::QUEUE_DIVERGED_VEH) break;
    }
    return area / (cycle_s * arrivals);
}

// First term of the back of queue, veh/ln (the Chapter 19 kernel's, per lane).
double first_term_back_of_queue(const LaneGroupInput& in, const LaneGroupResult& r, double cycle_s, double g,
                                double p) {
    const double n = lanes_of(in);
    return signal_delay::first_term_queue(r.flow_rate / n, r.capacity.value_or(0.0) / n, r.sat_flow.value_or(0.0) / n,
                                          g, cycle_s, p, in.speed_limit_mph);
}

void determine_signalized_delay(const Interchange& ix, const LaneGroupInput& in, LaneGroupResult& r) {
    const double cycle = ix.cycle_length_s;
    const double period = ix.analysis_period_h;
    const double x = r.vc_ratio.value_or(0.0);
    const double g = r.effective_green_s.value_or(0.0);
    const double c = r.capacity.value_or(0.0);
    const double p = proportion_on_green(in.arrival_type, g / cycle);
    const double d1 = in.protected_permitted_left ? protected_permitted_uniform_delay(in, r, cycle, x)
                                                  : signal_delay::uniform_delay(g, cycle, x, p);
    const double d2 = signal_delay::incremental_delay(x, c, ex::delay::PRETIMED_K, r.upstream_filtering.value_or(1.0),
                                                      period, signal_delay::WithoutPeriod::Undefined);
    const double d3 = signal_delay::initial_queue_delay(in.initial_queue_veh, r.flow_rate, c, period,
                                                        signal_delay::ZeroCapacity::Unbounded);
    r.uniform_delay_s = d1;
    r.incremental_delay_s = d2;
    r.initial_queue_delay_s = d3;
    r.control_delay_s = d1 + d2 + d3;
    // Back of queue and queue storage ratio.
    const double back = first_term_back_of_queue(in, r, cycle, g, p) + d2 * c / (SECONDS_PER_HOUR * lanes_of(in));
    r.back_of_queue_veh = back;
    if (in.storage_ft) {
        const double spacing = common::queued_vehicle_spacing_ft(in.pct_heavy_vehicles);
        r.queue_storage_ratio = *in.storage_ft <= 0.0 ? 0.0 : back * spacing / *in.storage_ft;
    }
}

double yield_delay(double period_h, double v, const std::optional<double>& capacity) {
    if (!capacity || !yield_has_capacity(*capacity)) return INF;
    const double c = *capacity;
    const double service = SECONDS_PER_HOUR / c;
    return unsignalized::control_delay(v / c, service, service, period_h, unsignalized::DecelerationTerm::UpToCapacity);
}

void determine_delay(const Interchange& ix, const LaneGroupInput& in, LaneGroupResult& r) {
    switch (kind_of(in.control)) {
        case ControlKind::Signalized: determine_signalized_delay(ix, in, r); break;
        case ControlKind::YieldControlled:
            r.control_delay_s = yield_delay(ix.analysis_period_h, r.flow_rate, r.capacity);
            break;
        case ControlKind::FreeFlow: r.control_delay_s = 0.0; break;
    }
}

// ---- O-D travel time (HCM Equations 23-51 and 23-52) ----

double extra_distance_travel_time(const ExtraDistance& extra, double default_speed_mph) {
    const double speed = extra.design_speed_mph.value_or(default_speed_mph);
    if (!(speed > 0.0)) return 0.0;
    const double t = extra.distance_ft / (ex::FT_S_PER_MI_H * speed);
    return extra.distance_ft >= 0.0 ? t + extra.accel_decel_s : t - extra.accel_decel_s;
}

LevelOfService interchange_los(double ett_s) { return common::los_by_density(ex::INTERCHANGE_ETT_LOS_MAX, ett_s); }

std::vector<OdResult> determine_od_results(const Interchange& ix, const Paths& paths, const OdDemands& od,
                                           const std::vector<LaneGroupResult>& results) {
    std::vector<OdResult> out;
    for (std::size_t k = 0; k < OD_COUNT; ++k) {
        const OdMovement letter = od_of(k);
        const double demand = od[letter];
        if (!(demand > 0.0)) continue;
        const ResolvedPath& p = paths[k];
        if (p.path.empty() && letter != OdMovement::F && letter != OdMovement::G) continue;
        OdResult r;
        r.movement = letter;
        r.demand = demand;
        for (std::size_t i = 0; i < p.path.size(); ++i) {
            const LaneGroupResult& lg = results[p.groups[i]];
            if (lg.control_delay_s) r.control_delay_s += *lg.control_delay_s;
            if (lg.vc_ratio && *lg.vc_ratio > 1.0) r.vc_exceeds_one = true;
            if (lg.queue_storage_ratio && *lg.queue_storage_ratio > 1.0) r.rq_exceeds_one = true;
        }
        r.edtt_s = extra_distance_travel_time(ix.extra_distances[k], ix.extra_distance_speed_mph);
        r.ett_s = r.control_delay_s + r.edtt_s;
        r.los = r.vc_exceeds_one || r.rq_exceeds_one ? LevelOfService::F : interchange_los(r.ett_s);
        out.push_back(r);
    }
    return out;
}

}  // namespace

// ---- Names and demands ----

std::string InterchangeMovement::name() const {
    std::string out(base::name_of(approach));
    out += base::name_of(leg);
    out += base::name_of(turn);
    return out;
}

std::optional<InterchangeMovement> InterchangeMovement::from_name(std::string_view name) {
    for (std::size_t a = 0; a < base::variant_names<InterchangeApproach>.size(); ++a) {
        const std::string_view an = base::variant_names<InterchangeApproach>[a];
        if (!name.starts_with(an)) continue;
        const std::string_view after_approach = name.substr(an.size());
        for (std::size_t l = 0; l < base::variant_names<InterchangeLeg>.size(); ++l) {
            const std::string_view ln = base::variant_names<InterchangeLeg>[l];
            if (!after_approach.starts_with(ln)) continue;
            const std::string_view rest = after_approach.substr(ln.size());
            if (auto turn = base::enum_from_name<MovementTurn>(rest))
                return InterchangeMovement{static_cast<InterchangeApproach>(a), static_cast<InterchangeLeg>(l), *turn};
        }
    }
    return std::nullopt;
}

namespace {
constexpr std::array<double OdDemands::*, OD_COUNT> OD_FIELDS = {
    &OdDemands::a, &OdDemands::b, &OdDemands::c, &OdDemands::d, &OdDemands::e, &OdDemands::f, &OdDemands::g,
    &OdDemands::h, &OdDemands::i, &OdDemands::j, &OdDemands::k, &OdDemands::l, &OdDemands::m, &OdDemands::n};
}  // namespace

double OdDemands::operator[](OdMovement od) const { return this->*OD_FIELDS.at(static_cast<std::size_t>(od)); }
double& OdDemands::operator[](OdMovement od) { return this->*OD_FIELDS.at(static_cast<std::size_t>(od)); }

// ---- Paths, demands and green times ----

OdPath od_legs(const Interchange& interchange, OdMovement od) { return resolve_path(interchange, od).path; }

double lane_group_demand(const Interchange& interchange, const InterchangeMovement& movement,
                         const OdDemands& demands) {
    double total = 0.0;
    for (std::size_t k = 0; k < OD_COUNT; ++k) {
        const OdPath path = od_legs(interchange, od_of(k));
        if (std::any_of(path.begin(), path.end(), [&](const OdLeg& leg) { return leg.lane_group == movement; }))
            total += demands[od_of(k)];
    }
    return total;
}

namespace {

// An interval placed in the cycle: one piece, or two when it wraps past the end of the cycle.
struct CyclePieces {
    std::array<std::pair<double, double>, 2> pieces{};
    std::size_t count = 0;
};

CyclePieces place_in_cycle(const GreenInterval& iv, double cycle_s) {
    double start = std::fmod(iv.begin_s, cycle_s);
    if (start < 0.0) start += cycle_s;
    const double end = start + min2(iv.duration_s, cycle_s);
    if (end > cycle_s) return {{{{start, cycle_s}, {0.0, end - cycle_s}}}, 2};
    return {{{{start, end}, {}}}, 1};
}

}  // namespace

double common_green_time(std::span<const GreenInterval> a, std::span<const GreenInterval> b, double cycle_s) {
    if (!(cycle_s > 0.0) || a.empty()) return 0.0;
    double longest = 0.0;
    for (const GreenInterval& ia : a) {
        if (!(ia.duration_s > 0.0)) continue;
        const CyclePieces pa = place_in_cycle(ia, cycle_s);
        for (const GreenInterval& ib : b) {
            if (!(ib.duration_s > 0.0)) continue;
            const CyclePieces pb = place_in_cycle(ib, cycle_s);
            double overlap = 0.0;
            for (std::size_t i = 0; i < pa.count; ++i)
                for (std::size_t j = 0; j < pb.count; ++j)
                    overlap += max2(min2(pa.pieces[i].second, pb.pieces[j].second) -
                                        max2(pa.pieces[i].first, pb.pieces[j].first),
                                    0.0);
            longest = max2(longest, overlap);
        }
    }
    return longest;
}

// ---- The analysis ----

void analyze(Interchange& ix) {
    // Step 1: peak-hour adjustment (a non-positive factor counts as 1).
    const double phf = ix.peak_hour_factor <= 0.0 ? 1.0 : ix.peak_hour_factor;
    OdDemands od;
    for (std::size_t k = 0; k < OD_COUNT; ++k) od[od_of(k)] = ix.od[od_of(k)] / phf;

    const Paths paths = resolve_paths(ix);
    const std::size_t count = ix.lane_groups.size();
    const LaneGroupLoads loads = lane_group_loads(paths, od, count);

    // Steps 2-3: flow rates and saturation flows.
    std::vector<LaneGroupResult> results(count);
    for (std::size_t g = 0; g < count; ++g) {
        const LaneGroupInput& in = ix.lane_groups[g];
        const std::size_t first = *first_lane_group(ix.lane_groups, in.movement);
        LaneGroupResult& r = results[g];
        r.movement = in.movement;
        r.flow_rate = in.demand_override_veh_h.value_or(loads.demand[first]);
        determine_saturation_flow(ix, od, in, loads.demand[first], loads.left[first], loads.right[first], r);
    }

    // Lost times, capacity, filtering, delay and queues, each over all lane groups in turn.
    const std::array<Link, 2> links = internal_links(ix, paths, od);
    determine_effective_green(ix, links, results);
    for (std::size_t g = 0; g < count; ++g) determine_capacity(ix, ix.lane_groups[g], results[g]);
    determine_upstream_filtering(ix, links, results);
    for (std::size_t g = 0; g < count; ++g) determine_delay(ix, ix.lane_groups[g], results[g]);

    // O-D experienced travel times and the interchange's demand-weighted ETT.
    std::vector<OdResult> od_results = determine_od_results(ix, paths, od, results);
    base::WeightedMean ett;
    for (const OdResult& r : od_results) ett.add(r.ett_s, r.demand);
    ix.od_adjusted = od;
    ix.results = std::move(results);
    ix.od_results = std::move(od_results);
    if (ett.any()) {
        ix.interchange_ett_s = ett.mean_or(0.0);
        ix.interchange_los = interchange_los(*ix.interchange_ett_s);
    }
}

// ---- Queries ----

const OdResult& od_result(const Interchange& interchange, std::string_view letter) {
    const OdMovement od = base::parse_option(ex::OD_LETTER_WORDS, letter);
    for (const OdResult& r : interchange.od_results)
        if (r.movement == od) return r;
    throw Error("no result for O-D " + std::string(letter));
}

namespace {

InterchangeMovement movement_named(std::string_view name) {
    if (auto m = InterchangeMovement::from_name(name)) return *m;
    throw Error("unknown interchange movement " + std::string(name));
}

const LaneGroupResult* find_result(const Interchange& interchange, const InterchangeMovement& movement) {
    for (const LaneGroupResult& r : interchange.results)
        if (r.movement == movement) return &r;
    return nullptr;
}

}  // namespace

const LaneGroupResult& lane_group_result(const Interchange& interchange, std::string_view movement) {
    if (const LaneGroupResult* r = find_result(interchange, movement_named(movement))) return *r;
    throw Error("no lane group " + std::string(movement));
}

std::optional<double> queue_storage_ratio(const Interchange& interchange, std::string_view movement) {
    const LaneGroupResult* r = find_result(interchange, movement_named(movement));
    return r ? r->queue_storage_ratio : std::nullopt;
}

}  // namespace hcm::ramp_terminals::ramp_terminals
