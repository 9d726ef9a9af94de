#pragma once
// Constructor parameters declared as data, without Python: one declaration per keyword class that
// the binding turns into its constructor (ClassDef::init, through fields.hpp) and that a program
// without Python (the reference's json_tables) can read as well. A declaration is a tuple of
//
//   opt("bffs", &BasicFreeways::bffs)                          "bffs=None"
//   opt("terrain", &WeavingSegment::terrain, TERRAIN_WORDS)    through an option-word table
//   opt("city_type", &BasicFreeways::is_rural, is_rural_city)  through a hook
//   req("path_width", &OffStreetBicycle::path_width)           required
//   def("is_one_way", &OffStreetBicycle::is_one_way, false)    "is_one_way=False"
//   def("facility_type", &Walkway::facility_type, "walkway", FACILITY_TYPE_WORDS)
//   ....kw_only()                                              keyword-only
//
// with the meaning fields.hpp gives the same calls (src/vevuruvu/parameters/ holds the keyword
// classes' declarations; `ClassDef<T>(...).init(parameters::ramp_segment())` builds a constructor). Nothing here converts a value: a Field only
// records the name, the member it sets, its kind, its hook or option-word table and its default.
#include <type_traits>

namespace vevuruvu::boundary::declared {

enum class Kind { Required, Optional, Default };

// No hook: the Python value is the field's own type. No fallback: not a Default parameter.
struct NoHook {};
struct NoFallback {};

template <class T, class M, Kind K, class Hook = NoHook, class Fallback = NoFallback>
struct Field {
    using record_type = T;
    using member_type = M;
    using hook_type = Hook;
    static constexpr Kind kind = K;
    static constexpr bool has_hook = !std::is_same_v<Hook, NoHook>;

    const char* name;
    M T::* member;
    Hook hook{};
    Fallback fallback{};
    bool keyword_only = false;

    Field kw_only() const {
        Field f = *this;
        f.keyword_only = true;
        return f;
    }
};

// Each takes a hook (or an option-word table) as its last argument, or none.
template <class T, class M, class H = NoHook>
Field<T, M, Kind::Optional, H> opt(const char* name, M T::* member, H hook = {}) {
    return {name, member, hook};
}

template <class T, class M, class H = NoHook>
Field<T, M, Kind::Required, H> req(const char* name, M T::* member, H hook = {}) {
    return {name, member, hook};
}

template <class T, class M, class V, class H = NoHook>
Field<T, M, Kind::Default, H, V> def(const char* name, M T::* member, V fallback, H hook = {}) {
    return {name, member, hook, fallback};
}

}  // namespace vevuruvu::boundary::declared
