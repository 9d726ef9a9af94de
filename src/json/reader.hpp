#pragma once
// Typed reading of the positioned tree: jsonio::read<T>(value) for every supported T, and
// read_document(text, ...) to parse and read in one step.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "base/enum_names.hpp"
#include "json/record.hpp"
#include "json/tree.hpp"

namespace jsonio {

namespace detail {

// How a value is named in "invalid type: {}, expected {}": "null", "boolean `true`",
// "integer `3`", "floating point `1.5`" (never an exponent: "floating point `100000.0`"),
// "string \"abc\"", "sequence", "map".
std::string unexpected(Value v);

// "invalid type: {unexpected}, expected {expected}" at the value (last byte of a scalar,
// opening bracket of a container).
[[noreturn]] void invalid_type(Value v, std::string_view expected);
// The same with the unexpected part given ("unit variant").
[[noreturn]] void invalid_type(Value at, std::string_view unexpected, std::string_view expected);
// "invalid value: {unexpected}, expected {expected}" at the value's last byte.
[[noreturn]] void invalid_value(Value v, std::string_view expected);
// "invalid length {n}, expected {expected}" at the closing bracket.
[[noreturn]] void invalid_length(Value v, std::size_t n, std::string_view expected);

template <class T>
struct is_optional : std::false_type {};
template <class T>
struct is_optional<std::optional<T>> : std::true_type {};

template <class T>
struct is_vector : std::false_type {};
template <class T, class A>
struct is_vector<std::vector<T, A>> : std::true_type {};

template <class T>
struct is_std_array : std::false_type {};
template <class T, std::size_t N>
struct is_std_array<std::array<T, N>> : std::true_type {};

template <class T>
struct is_tuple_like : std::false_type {};
template <class... Ts>
struct is_tuple_like<std::tuple<Ts...>> : std::true_type {};
template <class A, class B>
struct is_tuple_like<std::pair<A, B>> : std::true_type {};

template <class T>
struct is_variant : std::false_type {};
template <class... Ts>
struct is_variant<std::variant<Ts...>> : std::true_type {};

template <class T>
concept Integer = std::is_integral_v<T> && !std::is_same_v<T, bool> && !std::is_same_v<T, char>;

// "u8", "i32", "u64", ...
template <Integer I>
constexpr const char* integer_name() {
    constexpr bool s = std::is_signed_v<I>;
    switch (sizeof(I)) {
        case 1: return s ? "i8" : "u8";
        case 2: return s ? "i16" : "u16";
        case 4: return s ? "i32" : "u32";
        default: return s ? "i64" : "u64";
    }
}

template <Integer I>
I read_integer(Value v) {
    if (v.kind() == Kind::Int) {
        std::int64_t x = v.int64();
        if (std::is_signed_v<I> && x >= static_cast<std::int64_t>(std::numeric_limits<I>::min()))
            return static_cast<I>(x);
        invalid_value(v, integer_name<I>());
    }
    if (v.kind() == Kind::Uint) {
        std::uint64_t x = v.uint64();
        if (x <= static_cast<std::uint64_t>(std::numeric_limits<I>::max())) return static_cast<I>(x);
        invalid_value(v, integer_name<I>());
    }
    invalid_type(v, integer_name<I>());
}

template <class F>
F read_float(Value v, std::string_view name) {
    switch (v.kind()) {
        case Kind::Int: return static_cast<F>(v.int64());
        case Kind::Uint: return static_cast<F>(v.uint64());
        case Kind::Float: return static_cast<F>(v.float64());
        default: invalid_type(v, name);
    }
}

// Index of a variant name, or fails with "unknown variant `{}`, expected {}" at `key` (the
// object form) or at `v` (the string form).
[[noreturn]] void unknown_variant(Value v, std::string_view text, const std::string& expected, const Member* key);

template <class Names>
std::size_t variant_index(Value v, std::string_view text, const Names& names, const std::string& expected,
                          const Member* key) {
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i] == text) return i;
    unknown_variant(v, text, expected, key);
}

template <base::NamedEnum E>
E read_enum(Value v) {
    static const std::string expected = expected_list(base::variant_names<E>);
    constexpr auto& names = base::variant_names<E>;
    if (v.is_string())
        return static_cast<E>(variant_index(v, v.string(), names, expected, nullptr));
    if (v.is_object()) {
        if (v.size() != 1) invalid_length(v, v.size(), "map with a single key");
        Member m = *v.members().begin();
        auto e = static_cast<E>(variant_index(v, m.key, names, expected, &m));
        if (!m.value.is_null()) invalid_type(m.value, "unit variant");
        return e;
    }
    invalid_type(v, "variant identifier");
}

template <class Tuple, NullFloat N, std::size_t... I>
Tuple read_tuple(Value v, std::index_sequence<I...>) {
    constexpr std::size_t n = sizeof...(I);
    static const std::string expected = "a tuple of size " + std::to_string(n);
    if (!v.is_array()) invalid_type(v, expected);
    if (v.size() != n) invalid_length(v, v.size(), expected);
    std::array<Value, n> items{(static_cast<void>(I), v)...};
    std::size_t k = 0;
    for (Value e : v.elements()) items[k++] = e;
    return Tuple{read_as<std::tuple_element_t<I, Tuple>, N>(items[I])...};
}

}  // namespace detail

template <class T>
concept HasRecord = requires { { json_record(Tag<T>{}) }; };
template <class T>
concept HasVariants = requires { { json_variants(Tag<T>{}) }; };

// Reads a value of type T from a JSON value, throwing jsonio::Error on failure.
//   double, float       any number                      else "invalid type: ..., expected f64"
//   integers            integers in the type's range    floats: invalid type; out of range: invalid value
//   bool, std::string   true/false, a string
//   named enumerations  "Variant" or {"Variant": null}
//   std::optional<T>    null -> nullopt, else T
//   std::vector<T>      an array of T ("a sequence")
//   std::array<T, N>    an array of exactly N
//   std::pair, tuple    an array of exactly N ("a tuple of size N")
//   records             via json_record(Tag<T>); tagged enumerations via json_variants(Tag<T>)
template <class T>
T read(Value v) {
    return detail::read_as<T, detail::NullFloat::refused>(v);
}

namespace detail {

// read<T>, where a null float (alone, or inside optionals, vectors, arrays and tuples) is refused
// or read as NaN. Records and tagged enumerations inside read by their own tables.
template <class T, NullFloat N>
T read_as(Value v) {
    if constexpr (std::is_same_v<T, bool>) {
        if (v.kind() != Kind::Bool) invalid_type(v, "a boolean");
        return v.boolean();
    } else if constexpr (std::is_floating_point_v<T>) {
        if (N == NullFloat::nan && v.is_null()) return std::numeric_limits<T>::quiet_NaN();
        return read_float<T>(v, std::is_same_v<T, float> ? "f32" : "f64");
    } else if constexpr (Integer<T>) {
        return read_integer<T>(v);
    } else if constexpr (std::is_same_v<T, std::string>) {
        if (!v.is_string()) invalid_type(v, "a string");
        return std::string(v.string());
    } else if constexpr (base::NamedEnum<T>) {
        return read_enum<T>(v);
    } else if constexpr (is_optional<T>::value) {
        if (v.is_null()) return std::nullopt;
        return read_as<typename T::value_type, N>(v);
    } else if constexpr (is_vector<T>::value) {
        if (!v.is_array()) invalid_type(v, "a sequence");
        T out;
        out.reserve(v.size());
        for (Value e : v.elements()) out.push_back(read_as<typename T::value_type, N>(e));
        return out;
    } else if constexpr (is_std_array<T>::value) {
        constexpr std::size_t n = std::tuple_size_v<T>;
        static const std::string expected = "an array of length " + std::to_string(n);
        if (!v.is_array()) invalid_type(v, expected);
        if (v.size() < n) invalid_length(v, v.size(), expected);
        T out{};
        std::size_t i = 0;
        for (Value e : v.elements()) {
            if (i == n) e.fail_at_begin("trailing characters");  // as a record's array form
            out[i++] = read_as<typename T::value_type, N>(e);
        }
        return out;
    } else if constexpr (is_tuple_like<T>::value) {
        return read_tuple<T, N>(v, std::make_index_sequence<std::tuple_size_v<T>>{});
    } else if constexpr (HasRecord<T>) {
        return json_record(Tag<T>{}).read(v);
    } else if constexpr (HasVariants<T>) {
        return json_variants(Tag<T>{}).read(v);
    } else {
        static_assert(sizeof(T) == 0, "jsonio::read: no JSON reader for this type (declare json_record or json_variants)");
    }
}

}  // namespace detail

// Parses `text` and reads its root as T (a type jsonio::read supports).
template <class T>
T read_document(std::string_view text) {
    Document doc = Document::parse(text);
    return read<T>(doc.root());
}

// Parses `text` and reads its root with an explicit record table.
template <class R>
R read_document(std::string_view text, const Record<R>& record) {
    Document doc = Document::parse(text);
    return record.read(doc.root());
}

// ---- table members that need the readers above ----

template <class R>
void Record<R>::fail_type(Value v) const {
    detail::invalid_type(v, struct_name_);
}

template <class... Alts>
std::size_t Variants<std::variant<Alts...>>::index_of(Value at, std::string_view variant, const Member* key) const {
    return detail::variant_index(at, variant, names_, expected_, key);
}

template <class... Alts>
auto Variants<std::variant<Alts...>>::read(Value v) const -> V {
    if (v.is_string()) return read_alternative(index_of(v, v.string(), nullptr), std::nullopt, v);
    if (v.is_object()) {
        if (v.size() != 1) detail::invalid_length(v, v.size(), "map with a single key");
        Member m = *v.members().begin();
        return read_alternative(index_of(v, m.key, &m), m.value, v);
    }
    detail::invalid_type(v, "enum " + name_);
}

template <class... Alts>
auto Variants<std::variant<Alts...>>::read_alternative(std::size_t index, std::optional<Value> payload,
                                                       Value whole) const -> V {
    using Reader = V (*)(std::optional<Value>, Value);
    static constexpr auto table = []<std::size_t... I>(std::index_sequence<I...>) {
        return std::array<Reader, kCount>{+[](std::optional<Value> p, Value w) -> V {
            if constexpr (is_unit<I>()) {
                if (p && !p->is_null()) detail::invalid_type(*p, "unit variant");
                return V(std::in_place_index<I>);
            } else {
                using A = std::variant_alternative_t<I, V>;
                // A payload variant named without its payload: the expectation names the payload's
                // record ("struct variant Enum::Variant" when the record is named so).
                if (!p) {
                    if constexpr (HasRecord<A>)
                        detail::invalid_type(w, "unit variant", json_record(Tag<A>{}).struct_name());
                    else
                        detail::invalid_type(w, "unit variant", "struct variant");
                }
                return V(std::in_place_index<I>, jsonio::read<A>(*p));
            }
        }...};
    }(std::make_index_sequence<kCount>{});
    return table.at(index)(payload, whole);
}

}  // namespace jsonio
