#pragma once
// Parameters of a constructor, method or function, and the binding of a Python call to them.
//
//   req<double>("length_ft")          required; the callee receives a double
//   opt<double>("bffs")               "=None": omitted or None -> std::nullopt
//   def<double>("phf", 0.94)          "=0.94": omitted -> 0.94
//   opt<double>("x").kw_only()        keyword-only
//
// A signature renders its own text ("length_ft, bffs=None, phf=0.94, *, x=None"), so that the
// docstring's text signature is never typed a second time. Constructor parameters bound to a
// record field are declared the same way (fields.hpp).
//
// Binding follows the interpreter's rules (positional then keyword, in signature order) with
// these TypeError texts, the name written "Class.method()" or "function()":
//   "{} missing {} required positional argument(s): 'a', 'b', and 'c'"
//   "{} got an unexpected keyword argument '{}'"
//   "{} got multiple values for argument '{}'"
//   "{} takes {} positional arguments but {} {} given" / "{} takes from {} to {} positional ..."
// Arguments are then converted in signature order; a TypeError while converting one becomes
// TypeError "argument '{}': {}"; other errors pass through unchanged.
#include <pybind11/pybind11.h>

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <variant>

#include "vevuruvu/boundary/convert.hpp"

namespace vevuruvu::boundary {

struct ParamSpec {
    const char* name;
    bool required;
    bool keyword_only;
};

// Fills slots[i] with the borrowed argument for params[i], or nullptr when omitted.
void bind_arguments(const std::string& callee, std::span<const ParamSpec> params, PyObject* args, PyObject* kwargs,
                    std::span<PyObject*> slots);

// Re-raises a TypeError from converting argument `name` as "argument '{name}': {text}".
[[noreturn]] void reraise_for_argument(const char* name, py::error_already_set& e);

// A default value as Python source, for text signatures: 0.94, True, "walkway", 3.
std::string python_literal(double value);
std::string python_literal(bool value);
std::string python_literal(std::string_view value);
inline std::string python_literal(const char* value) { return python_literal(std::string_view(value)); }
template <class I>
    requires(std::is_integral_v<I> && !std::is_same_v<I, bool>)
std::string python_literal(I value) {
    return std::to_string(value);
}

enum class ParamKind { Required, Optional, Default };

template <class T, ParamKind K>
struct Param {
    using value_type = std::conditional_t<K == ParamKind::Optional, std::optional<T>, T>;
    const char* name;
    std::conditional_t<K == ParamKind::Default, T, std::monostate> fallback{};
    bool keyword_only = false;

    Param kw_only() const {
        Param p = *this;
        p.keyword_only = true;
        return p;
    }
    ParamSpec spec() const { return {name, K == ParamKind::Required, keyword_only}; }

    // "name", "name=None" or "name=<default>".
    void render(std::string& out) const {
        out += name;
        if constexpr (K == ParamKind::Optional) out += "=None";
        if constexpr (K == ParamKind::Default) out += "=" + python_literal(fallback);
    }

    value_type convert(PyObject* slot) const {
        if constexpr (K == ParamKind::Optional) {
            if (slot == nullptr || slot == Py_None) return std::nullopt;
        } else if constexpr (K == ParamKind::Default) {
            if (slot == nullptr) return fallback;
        }
        try {
            return from_py<T>(slot);
        } catch (py::error_already_set& e) {
            reraise_for_argument(name, e);
        }
    }
};

template <class T>
Param<T, ParamKind::Required> req(const char* name) {
    return {name};
}
template <class T>
Param<T, ParamKind::Optional> opt(const char* name) {
    return {name};
}
template <class T>
Param<T, ParamKind::Default> def(const char* name, T value) {
    return {name, std::move(value)};
}

// A signature: its parameters, in order.
template <class... Ps>
struct Params {
    std::tuple<Ps...> params;
    std::array<ParamSpec, sizeof...(Ps)> specs;

    using values = std::tuple<typename Ps::value_type...>;

    using Slots = std::array<PyObject*, sizeof...(Ps)>;

    // Binds the call's arguments to the parameters (no conversion yet).
    Slots bind(const std::string& callee, PyObject* args, PyObject* kwargs) const {
        Slots slots{};
        bind_arguments(callee, specs, args, kwargs, slots);
        return slots;
    }

    // Converts the bound arguments, in signature order.
    values convert(const Slots& slots) const { return convert_all(slots, std::index_sequence_for<Ps...>{}); }

    // The parameter list as a text signature shows it, without the parentheses.
    std::string text() const {
        std::string out;
        bool keyword_only = false;
        std::apply(
            [&](const auto&... p) {
                (
                    [&] {
                        if (!out.empty()) out += ", ";
                        if (p.spec().keyword_only && !keyword_only) {
                            out += "*, ";
                            keyword_only = true;
                        }
                        p.render(out);
                    }(),
                    ...);
            },
            params);
        return out;
    }

private:
    template <std::size_t... I>
    values convert_all(const Slots& slots, std::index_sequence<I...>) const {
        // Braced initialisation converts in signature order.
        return values{std::get<I>(params).convert(slots[I])...};
    }
};

template <class... Ps>
Params<Ps...> params(Ps... ps) {
    return {std::tuple<Ps...>{ps...}, {ps.spec()...}};
}

inline Params<> no_params() { return {}; }

}  // namespace vevuruvu::boundary
