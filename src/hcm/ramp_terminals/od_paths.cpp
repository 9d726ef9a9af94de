#include "hcm/ramp_terminals/od_paths.hpp"

#include <algorithm>

namespace hcm::ramp_terminals::ramp_terminals {

namespace {

using A = InterchangeApproach;
using Leg = InterchangeLeg;
using Turn = MovementTurn;

// ---- O-D paths ----

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

}  // namespace

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

Paths resolve_paths(const Interchange& ix) {
    Paths paths;
    for (std::size_t k = 0; k < OD_COUNT; ++k) paths[k] = resolve_path(ix, od_of(k));
    return paths;
}

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

}  // namespace hcm::ramp_terminals::ramp_terminals
