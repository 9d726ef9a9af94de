#pragma once
// Shared HCM enumerations: level of service and area type.
#include <cstdint>
#include <optional>
#include <vector>

#include "hcm/common/enum_names.hpp"

namespace hcm::common {

enum class LevelOfService : std::uint8_t { A, B, C, D, E, F };

// Selects the freeway facility LOS density thresholds (Exhibit 10-7 urban vs. rural).
enum class CityType : std::uint8_t { Urban, Rural };

using OptionalLos = std::optional<LevelOfService>;
using LosMatrix = std::vector<std::vector<LevelOfService>>;
using OptionalLosMatrix = std::vector<std::vector<OptionalLos>>;

// The letter of a level of service, as written in messages and returned to Python.
constexpr char letter(LevelOfService los) { return static_cast<char>('A' + static_cast<int>(los)); }

}  // namespace hcm::common

namespace hcm {
template <>
inline constexpr std::array<std::string_view, 6> variant_names<common::LevelOfService> = {"A", "B", "C", "D", "E", "F"};
template <>
inline constexpr std::array<std::string_view, 2> variant_names<common::CityType> = {"Urban", "Rural"};
}  // namespace hcm
