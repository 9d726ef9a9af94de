#pragma once
// The HCM edition switch: "7" (the 7th Edition, default everywhere) and "7.1" (its update, which
// changes the weaving and merge/diverge procedures of Chapters 13 and 14, and Chapters 27 and 28).
#include <array>
#include <cstdint>
#include <string_view>

#include "base/enum_names.hpp"

namespace hcm::common::version {

enum class HcmVersion : std::uint8_t { Hcm7, Hcm7_1 };

inline constexpr std::array<HcmVersion, 2> ALL_VERSIONS = {HcmVersion::Hcm7, HcmVersion::Hcm7_1};

// "7" or "7.1": the label the manual uses, returned to Python and listed by the edition functions.
constexpr std::string_view label(HcmVersion v) { return v == HcmVersion::Hcm7 ? "7" : "7.1"; }

// Parses an edition label leniently ("HCM 7.1", "v7.0", " 7 .1 "); throws hcm::Error
// "unknown HCM version {:?}; expected one of \"7\" or \"7.1\"" otherwise.
HcmVersion from_str(std::string_view text);

// The weaving and merge/diverge segments expose each 7th Edition step on its own; on a segment of
// another edition such a step would mix the two methods. Throws hcm::Error "{step}() implements the
// 7th Edition step structure, but this segment is version \"7.1\". Use run_analysis() or
// analysis_v7_1() instead." unless `v` is the 7th Edition.
void require_7th_edition_step(HcmVersion v, std::string_view step);

// Whether the edition changed the methodology of the chapter relative to the 7th Edition.
bool changes_chapter(HcmVersion v, std::uint8_t chapter);

}  // namespace hcm::common::version

namespace base {
template <>
inline constexpr std::array<std::string_view, 2> variant_names<hcm::common::version::HcmVersion> = {"Hcm7", "Hcm7_1"};
}  // namespace base
