#pragma once
// Descriptions of the record tables, for the reference of the JSON documents: per record its
// reading policies and per field its key (in write order), whether it is required, optional or
// defaulted, its default as the reader fills it in, whether null reads as NaN, and its type with
// the words of word fields and the records nested in it. A description is JSON text:
//
//   jsonio::Catalog catalog;
//   jsonio::Writer w;
//   w.begin_object();
//   w.key("root");
//   jsonio::detail::describe_type<Roundabouts>(w, catalog);   // {"kind": "record", "name": "Roundabouts"}
//   w.key("records");
//   catalog.write_records(w);     // {"Roundabouts": {"unknown_keys": ..., "fields": [...]}, ...}
//   w.end_object();
//
// Types: {"kind": "boolean" | "number" | "string"}, {"kind": "integer", "range": "u32"},
// {"kind": "word", "words": [...]}, {"kind": "optional" | "list", "of": T},
// {"kind": "array", "length": N, "of": T}, {"kind": "tuple", "items": [T, ...]},
// {"kind": "record", "name": R}, {"kind": "variants", "name": E, "alternatives": [{"name": W,
// "payload": T}, ...]} (no payload for a unit variant), {"kind": "tagged", "name": E, "tag": K,
// "alternatives": [{"name": W, "record": R}, ...]}, and {"kind": "special"} for a member read by
// a hand-made codec.
#include <functional>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "base/enum_names.hpp"
#include "json/internally_tagged.hpp"
#include "json/reader.hpp"
#include "json/record.hpp"
#include "json/writer.hpp"

namespace jsonio {

// The record tables a description reaches, each described once under its name.
class Catalog {
public:
    // Queues the table for description (once) and returns the name it is described under. Two
    // different tables of one name are a broken invariant: the reference could not tell them apart.
    template <class R>
    const std::string& add(const Record<R>& record) {
        for (const Entry& e : entries_) {
            if (e.table == &record) return e.name;
            if (e.name == record.name())
                throw std::logic_error("two JSON record tables are named " + record.name());
        }
        entries_.push_back({record.name(), &record, [&record](Writer& w, Catalog& c) { record.describe(w, c); }});
        return entries_.back().name;
    }

    // Every table reached so far and those their fields reach, as one object keyed by name, in
    // the order they were first reached.
    void write_records(Writer& w) {
        w.begin_object();
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            w.key(entries_[i].name);
            auto describe = entries_[i].describe;  // entries_ may grow while it runs
            describe(w, *this);
        }
        w.end_object();
    }

private:
    struct Entry {
        std::string name;
        const void* table;
        std::function<void(Writer&, Catalog&)> describe;
    };
    std::vector<Entry> entries_;
};

namespace detail {

inline void kind(Writer& w, const char* name) {
    w.key("kind");
    w.string(name);
}

template <class... Alts>
void describe_variants(Writer& w, Catalog& catalog, const Variants<std::variant<Alts...>>& table) {
    using V = std::variant<Alts...>;
    w.begin_object();
    kind(w, "variants");
    w.key("name");
    w.string(table.name());
    w.key("alternatives");
    w.begin_array();
    [&]<std::size_t... I>(std::index_sequence<I...>) {
        (
            [&] {
                using A = std::variant_alternative_t<I, V>;
                w.begin_object();
                w.key("name");
                w.string(table.names().at(I));
                if constexpr (!std::is_same_v<A, Unit> && !std::is_same_v<A, std::monostate>) {
                    w.key("payload");
                    describe_type<A>(w, catalog);
                }
                w.end_object();
            }(),
            ...);
    }(std::index_sequence_for<Alts...>{});
    w.end_array();
    w.end_object();
}

template <class... Alts>
void describe_variants(Writer& w, Catalog& catalog, const InternallyTagged<std::variant<Alts...>>& table) {
    w.begin_object();
    kind(w, "tagged");
    w.key("name");
    w.string(table.name());
    w.key("tag");
    w.string(table.tag());
    w.key("alternatives");
    w.begin_array();
    std::size_t i = 0;
    (
        [&] {
            w.begin_object();
            w.key("name");
            w.string(table.names().at(i++));
            w.key("record");
            w.string(catalog.add(json_record(Tag<Alts>{})));
            w.end_object();
        }(),
        ...);
    w.end_array();
    w.end_object();
}

template <class Tuple, std::size_t... I>
void describe_items(Writer& w, Catalog& catalog, std::index_sequence<I...>) {
    (describe_type<std::tuple_element_t<I, Tuple>>(w, catalog), ...);
}

template <class M>
void describe_type(Writer& w, Catalog& catalog) {
    if constexpr (is_variant<M>::value && HasVariants<M>) {
        describe_variants(w, catalog, json_variants(Tag<M>{}));  // writes its own object
        return;
    }
    w.begin_object();
    if constexpr (std::is_same_v<M, bool>) {
        kind(w, "boolean");
    } else if constexpr (std::is_floating_point_v<M>) {
        kind(w, "number");
    } else if constexpr (Integer<M>) {
        kind(w, "integer");
        w.key("range");
        w.string(integer_name<M>());
    } else if constexpr (std::is_same_v<M, std::string>) {
        kind(w, "string");
    } else if constexpr (base::NamedEnum<M>) {
        kind(w, "word");
        w.key("words");
        w.begin_array();
        for (std::string_view word : base::variant_names<M>) w.string(word);
        w.end_array();
    } else if constexpr (is_optional<M>::value || is_vector<M>::value) {
        kind(w, is_optional<M>::value ? "optional" : "list");
        w.key("of");
        describe_type<typename M::value_type>(w, catalog);
    } else if constexpr (is_std_array<M>::value) {
        kind(w, "array");
        w.key("length");
        w.unsigned_integer(std::tuple_size_v<M>);
        w.key("of");
        describe_type<typename M::value_type>(w, catalog);
    } else if constexpr (is_tuple_like<M>::value) {
        kind(w, "tuple");
        w.key("items");
        w.begin_array();
        describe_items<M>(w, catalog, std::make_index_sequence<std::tuple_size_v<M>>{});
        w.end_array();
    } else if constexpr (HasRecord<M>) {
        kind(w, "record");
        w.key("name");
        w.string(catalog.add(json_record(Tag<M>{})));
    } else {
        kind(w, "special");
    }
    w.end_object();
}

}  // namespace detail

template <class R>
void Record<R>::describe(Writer& w, Catalog& catalog) const {
    static constexpr const char* kPresence[] = {"required", "default", "optional"};
    static constexpr const char* kArrayForm[] = {"all_fields", "defaults_fill", "with_defaults_fill"};
    w.begin_object();
    w.key("unknown_keys");
    w.string(unknown_ == UnknownKeys::refuse ? "refuse" : "ignore");
    w.key("array_form");
    w.string(kArrayForm[static_cast<std::size_t>(array_form_)]);
    w.key("fields");
    w.begin_array();
    for (const Field<R>& f : fields_) {
        w.begin_object();
        w.key("key");
        w.string(f.key);
        w.key("presence");
        w.string(kPresence[static_cast<std::size_t>(f.presence)]);
        w.key("null_is_nan");
        w.boolean(f.null_is_nan);
        if (!f.analysed_when.empty()) {
            w.key("analysed_when");
            w.string(f.analysed_when);
        }
        w.key("type");
        if (f.describe)
            f.describe(w, catalog);
        else
            detail::describe_type<void>(w, catalog);  // {"kind": "special"}
        if (f.presence != Presence::required) {
            // What the reader fills in for an absent key, written as the writer writes it.
            R r{};
            f.set_default(r);
            w.key("default");
            f.write(w, r);
        }
        w.end_object();
    }
    w.end_array();
    w.end_object();
}

}  // namespace jsonio
