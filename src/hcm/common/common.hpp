#pragma once
// Shared HCM enumerations (level of service, area type, general terrain) and the density-to-LOS
// lookup.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/enum_names.hpp"
#include "base/options.hpp"

namespace hcm::common {

enum class LevelOfService : std::uint8_t { A, B, C, D, E, F };

// Selects the freeway facility LOS density thresholds (Exhibit 10-7 urban vs. rural).
enum class CityType : std::uint8_t { Urban, Rural };

// General terrain of the heavy-vehicle adjustment. Basic segments and the freeway facility methods
// take E_T from basicfreeways' BASIC_SEGMENT_GENERAL_TERRAIN_ET (mountainous taken as rolling); the
// weaving and merge/diverge procedures from pce_table::WEAVING_RAMP_GENERAL_TERRAIN_ET.
enum class Terrain : std::uint8_t { Level, Rolling, Mountainous };

using OptionalLos = std::optional<LevelOfService>;
using LosMatrix = std::vector<std::vector<LevelOfService>>;
using OptionalLosMatrix = std::vector<std::vector<OptionalLos>>;

// The letter of a level of service, as written in messages and returned to Python.
constexpr char letter(LevelOfService los) { return static_cast<char>('A' + static_cast<int>(los)); }

// Printed form of an optional level of service: "Some(C)", or "None" when absent.
inline std::string debug_opt(const OptionalLos& los) {
    return los ? std::string("Some(") + letter(*los) + ")" : std::string("None");
}

// The level of service of a density against the inclusive upper bounds of A, B, ... in ascending
// order: the first level whose bound holds the density, else the level after the last bound (F
// after five bounds, E after four). A density that is not a number gets that last level.
template <std::size_t N>
    requires(N <= 5)
constexpr LevelOfService los_by_density(const std::array<double, N>& upper_bounds, double density) {
    for (std::size_t i = 0; i < N; ++i) {
        if (density <= upper_bounds[i]) return static_cast<LevelOfService>(i);
    }
    return static_cast<LevelOfService>(N);
}

// Upper LOS-score bounds of A to E of the pedestrian and bicycle LOS models (the intersection,
// link and highway scores of HCM Chapters 15, 18 and 19 share them); a higher score is F.
inline constexpr std::array<double, 5> LOS_SCORE_MAX = {1.5, 2.5, 3.5, 4.5, 5.5};

// The level of service of a pedestrian or bicycle LOS score; a score that is not a number is F.
constexpr LevelOfService los_by_score(double score) { return los_by_density(LOS_SCORE_MAX, score); }

// The level of service of a measure where more is better (space, score) against the strict
// lower bounds of A, B, ... in descending order: the first level whose bound the measure exceeds,
// else the level after the last bound. A measure that is not a number gets that last level.
template <std::size_t N>
    requires(N <= 5)
constexpr LevelOfService los_by_minimum(const std::array<double, N>& lower_bounds, double measure) {
    for (std::size_t i = 0; i < N; ++i) {
        if (measure > lower_bounds[i]) return static_cast<LevelOfService>(i);
    }
    return static_cast<LevelOfService>(N);
}

// The terrain option word of the segment constructors, lower-cased (not trimmed).
inline constexpr base::OptionTable<Terrain, 3> TERRAIN_WORDS{
    base::Normalise::Lower,
    "unknown terrain: {}",
    {{{"level", Terrain::Level}, {"rolling", Terrain::Rolling}, {"mountainous", Terrain::Mountainous}}}};

// Edition 7.1 upper density bounds (pc/mi/ln) of LOS A to E on weaving, merge and diverge segments.
inline constexpr std::array<double, 5> LOS_DENSITY_MAX_V7_1 = {11.0, 18.0, 25.0, 30.0, 35.0};

}  // namespace hcm::common

namespace base {
template <>
inline constexpr std::array<std::string_view, 6> variant_names<hcm::common::LevelOfService> = {"A", "B", "C", "D", "E", "F"};
template <>
inline constexpr std::array<std::string_view, 2> variant_names<hcm::common::CityType> = {"Urban", "Rural"};
template <>
inline constexpr std::array<std::string_view, 3> variant_names<hcm::common::Terrain> = {"Level", "Rolling", "Mountainous"};
}  // namespace base
