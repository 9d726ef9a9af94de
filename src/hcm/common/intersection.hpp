#pragma once
// Shared intersection enumerations: approach direction and control type.
#include <cstdint>

#include "hcm/common/enum_names.hpp"

namespace hcm::common::intersection {

enum class Direction : std::uint8_t { NB, SB, EB, WB };

enum class ControlType : std::uint8_t {
    PretimedSignal,
    ActuatedSignal,
    SemiActuatedSignal,
    TwoWayStop,
    AllWayStop,
    Roundabout,
    YieldControl,
};

}  // namespace hcm::common::intersection

namespace hcm {
template <>
inline constexpr std::array<std::string_view, 4> variant_names<common::intersection::Direction> = {"NB", "SB", "EB",
                                                                                                   "WB"};
template <>
inline constexpr std::array<std::string_view, 7> variant_names<common::intersection::ControlType> = {
    "PretimedSignal", "ActuatedSignal", "SemiActuatedSignal", "TwoWayStop", "AllWayStop", "Roundabout", "YieldControl"};
}  // namespace hcm
