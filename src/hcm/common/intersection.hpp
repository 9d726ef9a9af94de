#pragma once
// Shared intersection enumerations: approach direction and control type.
#include <cstdint>

#include "base/enum_names.hpp"

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

namespace base {
template <>
inline constexpr std::array<std::string_view, 4> variant_names<hcm::common::intersection::Direction> = {"NB", "SB", "EB",
                                                                                                   "WB"};
template <>
inline constexpr std::array<std::string_view, 7> variant_names<hcm::common::intersection::ControlType> = {
    "PretimedSignal", "ActuatedSignal", "SemiActuatedSignal", "TwoWayStop", "AllWayStop", "Roundabout", "YieldControl"};
}  // namespace base
