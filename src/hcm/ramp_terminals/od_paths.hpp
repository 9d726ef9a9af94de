#pragma once
// The origin-destination paths through an interchange (HCM Chapter 23): the lane groups each O-D
// movement passes on each interchange form, resolved against the lane groups the interchange has,
// and the O-D demand each lane group carries. Internal to the chapter: ramp_terminals.hpp is its
// interface.
#include <array>
#include <cstddef>
#include <optional>
#include <vector>

#include "hcm/ramp_terminals/ramp_terminals.hpp"

namespace hcm::ramp_terminals::ramp_terminals {

using exhibits::OD_COUNT;

constexpr OdMovement od_of(std::size_t k) { return static_cast<OdMovement>(k); }

// The movements O-D paths pass, in the order a path examines them.
namespace mv {
inline constexpr InterchangeMovement EbExtLeft{InterchangeApproach::Eb, InterchangeLeg::Ext, MovementTurn::Left};
inline constexpr InterchangeMovement EbExtThrough{InterchangeApproach::Eb, InterchangeLeg::Ext, MovementTurn::Through};
inline constexpr InterchangeMovement EbExtRight{InterchangeApproach::Eb, InterchangeLeg::Ext, MovementTurn::Right};
inline constexpr InterchangeMovement EbIntLeft{InterchangeApproach::Eb, InterchangeLeg::Int, MovementTurn::Left};
inline constexpr InterchangeMovement EbIntThrough{InterchangeApproach::Eb, InterchangeLeg::Int, MovementTurn::Through};
inline constexpr InterchangeMovement EbIntRight{InterchangeApproach::Eb, InterchangeLeg::Int, MovementTurn::Right};
inline constexpr InterchangeMovement WbExtLeft{InterchangeApproach::Wb, InterchangeLeg::Ext, MovementTurn::Left};
inline constexpr InterchangeMovement WbExtThrough{InterchangeApproach::Wb, InterchangeLeg::Ext, MovementTurn::Through};
inline constexpr InterchangeMovement WbExtRight{InterchangeApproach::Wb, InterchangeLeg::Ext, MovementTurn::Right};
inline constexpr InterchangeMovement WbIntLeft{InterchangeApproach::Wb, InterchangeLeg::Int, MovementTurn::Left};
inline constexpr InterchangeMovement WbIntThrough{InterchangeApproach::Wb, InterchangeLeg::Int, MovementTurn::Through};
inline constexpr InterchangeMovement WbIntRight{InterchangeApproach::Wb, InterchangeLeg::Int, MovementTurn::Right};
inline constexpr InterchangeMovement NbRampLeft{InterchangeApproach::Nb, InterchangeLeg::Ramp, MovementTurn::Left};
inline constexpr InterchangeMovement NbRampRight{InterchangeApproach::Nb, InterchangeLeg::Ramp, MovementTurn::Right};
inline constexpr InterchangeMovement NbRampThrough{InterchangeApproach::Nb, InterchangeLeg::Ramp,
                                                   MovementTurn::Through};
inline constexpr InterchangeMovement NbRampTwoLeft{InterchangeApproach::Nb, InterchangeLeg::RampTwo,
                                                   MovementTurn::Left};
inline constexpr InterchangeMovement NbRampTwoRight{InterchangeApproach::Nb, InterchangeLeg::RampTwo,
                                                    MovementTurn::Right};
inline constexpr InterchangeMovement SbRampLeft{InterchangeApproach::Sb, InterchangeLeg::Ramp, MovementTurn::Left};
inline constexpr InterchangeMovement SbRampRight{InterchangeApproach::Sb, InterchangeLeg::Ramp, MovementTurn::Right};
inline constexpr InterchangeMovement SbRampTwoRight{InterchangeApproach::Sb, InterchangeLeg::RampTwo,
                                                    MovementTurn::Right};
}  // namespace mv

// The first lane group with exactly `movement` (inline: the steps look lane groups up by their
// fixed movements, which the compiler then folds into the search).
inline std::optional<std::size_t> first_lane_group(const std::vector<LaneGroupInput>& groups,
                                                   const InterchangeMovement& movement) {
    for (std::size_t g = 0; g < groups.size(); ++g)
        if (groups[g].movement == movement) return g;
    return std::nullopt;
}

// One O-D path with the lane-group index of each leg.
struct ResolvedPath {
    OdPath path;
    std::array<std::size_t, 2> groups{};
};

ResolvedPath resolve_path(const Interchange& ix, OdMovement od);

using Paths = std::array<ResolvedPath, OD_COUNT>;

// Every O-D path of the interchange, by letter.
Paths resolve_paths(const Interchange& ix);

// Per lane group (by the index of the first lane group of its movement): the O-D demand that
// passes it and the parts of it that turn left and right there.
struct LaneGroupLoads {
    std::vector<double> demand, left, right;
};

LaneGroupLoads lane_group_loads(const Paths& paths, const OdDemands& od, std::size_t group_count);

}  // namespace hcm::ramp_terminals::ramp_terminals
