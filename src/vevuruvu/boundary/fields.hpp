#pragma once
// Constructor parameters bound to the record field each one sets (see ClassDef::init):
//
//   opt("bffs", &BasicFreeways::bffs)                  "bffs=None": omitted or None keeps the field's default
//   opt("terrain", &WeavingSegment::terrain, hcm::common::TERRAIN_WORDS)
//                                                       an option-word table (base/options.hpp): a str
//                                                       read with base::parse_option
//   opt("ramp_lanes", &RampSegment::ramp_lanes, md::ramp_lanes_from_count)
//                                                       a hook converts the Python value (here an int)
//   opt("city_type", &BasicFreeways::is_rural, is_rural_city)   a hook may set a field of another type
//   req("path_width", &OffStreetBicycle::path_width)   "path_width": required, None refused
//   def("fixed_object_width", &Walkway::fixed_object_width, 0.0)   "fixed_object_width=0.0": None refused,
//                                                       omitted is the same as passing the default
//   def("facility_type", &Walkway::facility_type, "walkway", FACILITY_TYPE_WORDS)
//                                                       "facility_type=\"walkway\"", through the hook
//   ....kw_only()                                      keyword-only
//
// The Python value's type is the field's (std::optional<X> fields take X), or the hook's
// parameter type (std::string_view taken as str). A hook returns the field's value and may
// throw hcm::Error (ValueError). A constructor first converts every argument in signature order
// (TypeError, OverflowError), then sets the fields and runs the hooks in signature order.
//
// The same calls in declared_fields.hpp declare the parameters as data, without Python;
// field_param() turns each such declaration into the parameter above.
#include <pybind11/pybind11.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

#include "base/options.hpp"
#include "vevuruvu/boundary/args.hpp"
#include "vevuruvu/boundary/declared_fields.hpp"

namespace vevuruvu::boundary {

namespace detail {

template <class M>
struct field_value {
    using type = M;
};
template <class M>
struct field_value<std::optional<M>> {
    using type = M;
};

// The single parameter type of a hook (a function, function pointer or non-generic lambda).
template <class F>
struct hook_input : hook_input<decltype(&F::operator())> {};
template <class R, class A>
struct hook_input<R (*)(A)> {
    using type = A;
};
template <class R, class A>
struct hook_input<R (*)(A) noexcept> {
    using type = A;
};
template <class R, class A>
struct hook_input<R(A)> {
    using type = A;
};
template <class C, class R, class A>
struct hook_input<R (C::*)(A) const> {
    using type = A;
};
template <class C, class R, class A>
struct hook_input<R (C::*)(A) const noexcept> {
    using type = A;
};

template <class A>
struct python_input {
    using type = std::remove_cvref_t<A>;
};
template <>
struct python_input<std::string_view> {
    using type = std::string;
};

template <class F>
using hook_input_t = typename python_input<std::remove_cvref_t<typename hook_input<std::decay_t<F>>::type>>::type;

// A hook as given, or an option-word table as the hook that parses a word with it.
template <class F>
F as_hook(F hook) {
    return hook;
}
template <class E, std::size_t N>
auto as_hook(const base::OptionTable<E, N>& table) {
    return [table](std::string_view word) { return base::parse_option(table, word); };
}

}  // namespace detail

// One constructor parameter: how Python passes it (Param) and how it sets the record (set_field).
template <class T, class In, ParamKind K, class Set>
struct FieldParam {
    using record_type = T;
    using value_type = typename Param<In, K>::value_type;

    Param<In, K> param;
    Set set_field;  // (T&, In&&)

    FieldParam kw_only() const {
        FieldParam p = *this;
        p.param.keyword_only = true;
        return p;
    }
    ParamSpec spec() const { return param.spec(); }
    void render(std::string& out) const { param.render(out); }
    value_type convert(PyObject* slot) const { return param.convert(slot); }

    // An omitted or None optional parameter leaves the field as it is.
    void apply(T& record, value_type&& value) const {
        if constexpr (K == ParamKind::Optional) {
            if (value) set_field(record, std::move(*value));
        } else {
            set_field(record, std::move(value));
        }
    }
};

namespace detail {

template <class T, class M>
auto assign(M T::* member) {
    return [member](T& record, typename field_value<M>::type&& value) { record.*member = std::move(value); };
}

// The Python value's type of a hook or option-word table.
template <class H>
using hook_value_t = hook_input_t<decltype(as_hook(std::declval<H>()))>;

template <class T, class M, class H>
auto assign_through(M T::* member, H given) {
    auto hook = as_hook(std::move(given));
    return [member, hook](T& record, hook_value_t<H>&& value) { record.*member = std::invoke(hook, value); };
}

template <class T, class In, ParamKind K, class Set>
FieldParam<T, In, K, Set> field_param(Param<In, K> param, Set set) {
    return {std::move(param), std::move(set)};
}

// A parameter without a default value: the field's own type, or the hook's.
template <ParamKind K, class T, class M>
auto field(const char* name, M T::* member) {
    return field_param<T>(Param<typename field_value<M>::type, K>{name}, assign(member));
}
template <ParamKind K, class T, class M, class H>
auto field(const char* name, M T::* member, H hook) {
    return field_param<T>(Param<hook_value_t<H>, K>{name}, assign_through(member, std::move(hook)));
}

}  // namespace detail

template <class T, class M>
auto opt(const char* name, M T::* member) {
    return detail::field<ParamKind::Optional>(name, member);
}
template <class T, class M, class F>
auto opt(const char* name, M T::* member, F hook) {
    return detail::field<ParamKind::Optional>(name, member, std::move(hook));
}

template <class T, class M>
auto req(const char* name, M T::* member) {
    return detail::field<ParamKind::Required>(name, member);
}
template <class T, class M, class F>
auto req(const char* name, M T::* member, F hook) {
    return detail::field<ParamKind::Required>(name, member, std::move(hook));
}

template <class T, class M, class V>
auto def(const char* name, M T::* member, V fallback) {
    using In = typename detail::field_value<M>::type;
    return detail::field_param<T>(Param<In, ParamKind::Default>{name, In(std::move(fallback))}, detail::assign(member));
}
template <class T, class M, class V, class H>
auto def(const char* name, M T::* member, V fallback, H hook) {
    using In = detail::hook_value_t<H>;
    return detail::field_param<T>(Param<In, ParamKind::Default>{name, In(std::move(fallback))},
                                  detail::assign_through(member, std::move(hook)));
}

// The parameter a declaration (declared_fields.hpp) describes.
template <class T, class M, declared::Kind K, class H, class V>
auto field_param(const declared::Field<T, M, K, H, V>& d) {
    auto param = [&] {
        constexpr bool plain = !declared::Field<T, M, K, H, V>::has_hook;
        if constexpr (K == declared::Kind::Optional && plain) return opt(d.name, d.member);
        else if constexpr (K == declared::Kind::Optional) return opt(d.name, d.member, d.hook);
        else if constexpr (K == declared::Kind::Required && plain) return req(d.name, d.member);
        else if constexpr (K == declared::Kind::Required) return req(d.name, d.member, d.hook);
        else if constexpr (plain) return def(d.name, d.member, d.fallback);
        else return def(d.name, d.member, d.fallback, d.hook);
    }();
    return d.keyword_only ? param.kw_only() : param;
}

// Field parameters of one record: all bound, then all converted, then all applied, each step
// in signature order.
template <class T, class... Fs>
T build_record(T record, const Params<Fs...>& signature, const std::string& callee, PyObject* args,
               PyObject* kwargs) {
    auto values = signature.convert(signature.bind(callee, args, kwargs));
    [&]<std::size_t... I>(std::index_sequence<I...>) {
        (std::get<I>(signature.params).apply(record, std::move(std::get<I>(values))), ...);
    }(std::index_sequence_for<Fs...>{});
    return record;
}

}  // namespace vevuruvu::boundary
