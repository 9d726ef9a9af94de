#pragma once
// Variant names of the system's enumerations, in declaration order (ordinal 0 first). The names
// are the enumerations' JSON and text forms; the JSON reader and writer find them here.
//
//   template <> inline constexpr std::array<std::string_view, 2> variant_names<CityType> = {"Urban", "Rural"};
#include <array>
#include <cstddef>
#include <optional>
#include <string_view>
#include <type_traits>

namespace base {

template <class E>
inline constexpr std::array<std::string_view, 0> variant_names{};

template <class E>
concept NamedEnum = std::is_enum_v<E> && (variant_names<E>.size() > 0);

template <NamedEnum E>
constexpr std::string_view name_of(E value) {
    return variant_names<E>.at(static_cast<std::size_t>(value));
}

template <NamedEnum E>
constexpr std::optional<E> enum_from_name(std::string_view name) {
    for (std::size_t i = 0; i < variant_names<E>.size(); ++i) {
        if (variant_names<E>[i] == name) return static_cast<E>(i);
    }
    return std::nullopt;
}

}  // namespace base
