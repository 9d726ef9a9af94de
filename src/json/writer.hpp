#pragma once
// Typed writing: jsonio::to_json_value(x) builds an ordered nlohmann value (keys in declaration
// order), dump()/dump_pretty() give the text.
#include <cmath>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "base/enum_names.hpp"
#include "json/reader.hpp"
#include "json/record.hpp"

namespace jsonio {

namespace detail {
template <class Tuple, std::size_t... I>
Json write_tuple(const Tuple& t, std::index_sequence<I...>) {
    Json out = Json::array();
    (out.push_back(to_json_value(std::get<I>(t))), ...);
    return out;
}
}  // namespace detail

// Floats as numbers (non-finite as null), integers, booleans, strings, named enumerations as
// their variant name, optionals (absent as null), vectors, arrays and tuples as arrays, records
// through their table, tagged enumerations as "Name" or {"Name": payload}.
template <class T>
Json to_json_value(const T& x) {
    if constexpr (std::is_same_v<T, bool>) {
        return Json(x);
    } else if constexpr (std::is_floating_point_v<T>) {
        return std::isfinite(x) ? Json(static_cast<double>(x)) : Json(nullptr);
    } else if constexpr (detail::Integer<T>) {
        return Json(x);
    } else if constexpr (std::is_same_v<T, std::string> || std::is_same_v<T, std::string_view>) {
        return Json(std::string(x));
    } else if constexpr (base::NamedEnum<T>) {
        return Json(std::string(base::name_of(x)));
    } else if constexpr (detail::is_optional<T>::value) {
        return x ? to_json_value(*x) : Json(nullptr);
    } else if constexpr (detail::is_vector<T>::value || detail::is_std_array<T>::value) {
        Json out = Json::array();
        auto& items = *out.get_ptr<Json::array_t*>();
        items.reserve(x.size());
        if constexpr (std::is_same_v<typename T::value_type, bool>) {
            for (bool b : x) items.emplace_back(b);
        } else {
            for (const auto& e : x) items.push_back(to_json_value(e));
        }
        return out;
    } else if constexpr (detail::is_tuple_like<T>::value) {
        return detail::write_tuple(x, std::make_index_sequence<std::tuple_size_v<T>>{});
    } else if constexpr (HasRecord<T>) {
        return json_record(Tag<T>{}).write(x);
    } else if constexpr (HasVariants<T>) {
        return json_variants(Tag<T>{}).write(x);
    } else {
        static_assert(sizeof(T) == 0, "jsonio::to_json_value: no JSON writer for this type");
    }
}

// Compact text, no whitespace. Floats in their shortest round-trip form ("90.658099", "8.0",
// "0.00001", "1e16", "1.5e-7"). A string that is not valid UTF-8 throws base::Error
// "invalid UTF-8 in string" (callers wrap it as their serialization failure).
std::string dump(const Json& value);
// Two-space indentation, ": " after keys, "[]" and "{}" for empty containers, no final newline.
std::string dump_pretty(const Json& value);

template <class T>
std::string write_document(const T& x) {
    return dump(to_json_value(x));
}
template <class T>
std::string write_document_pretty(const T& x) {
    return dump_pretty(to_json_value(x));
}

template <class... Alts>
Json Variants<std::variant<Alts...>>::write(const V& value) const {
    const std::string& name = names_.at(value.index());
    return std::visit(
        [&](const auto& alt) -> Json {
            using A = std::decay_t<decltype(alt)>;
            if constexpr (std::is_same_v<A, Unit> || std::is_same_v<A, std::monostate>) {
                return Json(name);
            } else {
                Json out = Json::object();
                detail::append_member(out, name, to_json_value(alt));
                return out;
            }
        },
        value);
}

}  // namespace jsonio
