#pragma once
// Declared tables of records (and of tagged enumerations): one table drives both reading and
// writing. See json/jsonio.hpp for how a chapter declares one.
#include <algorithm>
#include <array>
#include <bitset>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "json/record_fwd.hpp"
#include "json/tree.hpp"

namespace jsonio {

class Writer;
class Catalog;

template <class T>
T read(Value value);
template <class T>
void write_value(Writer& w, const T& value);

namespace detail {
// Writes a description of how a value of type M reads (json/describe.hpp), for the reference of
// the documents; every field keeps a pointer to the one of its member's type.
template <class M>
void describe_type(Writer& w, Catalog& catalog);
using DescribeType = void (*)(Writer&, Catalog&);

// What a null stands for where a float is expected: nothing (an error), or NaN (results).
enum class NullFloat : std::uint8_t { refused, nan };
template <class T, NullFloat N>
T read_as(Value value);

// Whether a float stands in M itself or in its optionals, vectors, arrays or tuples (records
// inside declare their own fields).
template <class M>
struct holds_float : std::bool_constant<std::is_floating_point_v<M>> {};
template <class M>
struct holds_float<std::optional<M>> : holds_float<M> {};
template <class M, class A>
struct holds_float<std::vector<M, A>> : holds_float<M> {};
template <class M, std::size_t N>
struct holds_float<std::array<M, N>> : holds_float<M> {};
template <class A, class B>
struct holds_float<std::pair<A, B>> : std::bool_constant<holds_float<A>::value || holds_float<B>::value> {};
template <class... Ts>
struct holds_float<std::tuple<Ts...>> : std::bool_constant<(holds_float<Ts>::value || ...)> {};
}  // namespace detail

namespace detail {
// "`a`", "`a` or `b`", "one of `a`, `b`, `c`"; "there are no fields" for none.
template <class Names>
std::string expected_list(const Names& names) {
    if (names.size() == 0) return "there are no fields";
    std::string out = names.size() > 2 ? "one of " : "";
    std::size_t i = 0;
    for (const auto& n : names) {
        if (i > 0) out += names.size() == 2 ? " or " : ", ";
        out += '`';
        out += n;
        out += '`';
        ++i;
    }
    return out;
}
}  // namespace detail

enum class Presence : std::uint8_t {
    required,   // absent -> "missing field `{}`"
    defaulted,  // absent -> the declared value
    optional,   // absent or null -> std::nullopt
};

// What a record does with keys it does not declare.
enum class UnknownKeys : std::uint8_t { ignore, refuse };

// How the array form of a record treats a short array: every field must be given; or the
// trailing fields that have a default (or are optional) may be left out; or only the trailing
// fields declared with a default may be left out, optional ones being given (as null).
enum class ArrayForm : std::uint8_t { all_fields, defaults_fill, with_defaults_fill };

// One field of a record table. Built by required(), with_default(), optional(), result(),
// result_with_default(), analysed_result() or custom().
template <class R>
struct Field {
    std::string key;
    Presence presence = Presence::required;
    std::function<void(Value, R&)> read;
    std::function<void(R&)> set_default;  // empty for required fields
    std::function<void(Writer&, const R&)> write;
    // How the value reads (its type, words, nested records), for the reference; none for custom().
    detail::DescribeType describe = nullptr;
    // A null read as NaN (a result, see result()).
    bool null_is_nan = false;
    // An analysed result (analysed_result()): when its null reads NaN, in words for the reference,
    // and the step that turns that NaN back into absent where the record shows no analysis (run
    // once every key of the record is read; empty where the enclosing record decides).
    std::string analysed_when;
    std::function<void(R&)> settle;
};

// What shows that an analysis computed an optional result of a record R: the condition in words
// (for the reference) and as a test of the record once all its keys are read. Without a test, a
// record that contains R decides in its own settle step (Record), for a condition it alone can
// see (an input of the enclosing record, the position of R in a list).
template <class R>
struct Analysed {
    std::string when;
    std::function<bool(const R&)> test = {};
};

// The usual condition: the record holds a value at `key`, one that every analysis sets and that
// cannot be non-finite (a level of service, say).
//   jsonio::marked_by("los", &Lane::los)        "`los` is given"
template <class R, class M>
Analysed<R> marked_by(std::string key, std::optional<M> R::*marker) {
    return {"`" + key + "` is given", [marker](const R& r) { return (r.*marker).has_value(); }};
}

// A null read as NaN where the analysis computed no value: absent again (for settle steps).
inline void absent_unless_computed(std::optional<double>& value, bool computed) {
    if (!computed && value && std::isnan(*value)) value.reset();
}

// A member read and written by hand-made functions instead of the generic rules (both given).
template <class M>
struct Codec {
    M (*read)(Value);
    void (*write)(Writer&, const M&);
};

namespace detail {
template <class R, class M>
std::function<void(Writer&, const R&)> member_writer(M R::*member) {
    return [member](Writer& w, const R& r) { jsonio::write_value(w, r.*member); };
}

template <class R, class M>
std::function<void(Writer&, const R&)> codec_writer(M R::*member, Codec<M> codec) {
    if (!codec.read || !codec.write) throw std::logic_error("JSON codec without a read or a write function");
    return [member, codec](Writer& w, const R& r) { codec.write(w, r.*member); };
}

template <class R, class M, NullFloat N>
std::function<void(Value, R&)> member_reader(M R::*member) {
    return [member](Value v, R& r) { r.*member = read_as<M, N>(v); };
}

template <class R, class M>
std::function<void(Value, R&)> codec_reader(M R::*member, Codec<M> codec) {
    return [member, codec](Value v, R& r) { r.*member = codec.read(v); };
}

// Sets the member to `value`: the default of a defaulted field.
template <class R, class M>
std::function<void(R&)> default_setter(M R::*member, std::type_identity_t<M> value) {
    return [member, d = std::move(value)](R& r) { r.*member = d; };
}

// A member read and written by the generic rules; a null reads as NaN when N is NullFloat::nan.
template <NullFloat N, class R, class M>
Field<R> member_field(std::string key, Presence presence, M R::*member,
                      std::type_identity_t<std::function<void(R&)>> set_default) {
    return {std::move(key), presence, member_reader<R, M, N>(member), std::move(set_default), member_writer(member),
            &describe_type<M>, N == NullFloat::nan, {}, {}};
}
}  // namespace detail

template <class R, class M>
Field<R> required(std::string key, M R::*member) {
    return detail::member_field<detail::NullFloat::refused>(std::move(key), Presence::required, member, {});
}

template <class R, class M>
Field<R> with_default(std::string key, M R::*member, std::type_identity_t<M> value) {
    return detail::member_field<detail::NullFloat::refused>(std::move(key), Presence::defaulted, member,
                                                            detail::default_setter(member, std::move(value)));
}

template <class R, class M>
Field<R> optional(std::string key, std::optional<M> R::*member) {
    return detail::member_field<detail::NullFloat::refused>(std::move(key), Presence::optional, member,
                                                            [member](R& r) { r.*member = std::nullopt; });
}

// A computed result: a float, or a vector, fixed array or matrix of floats, that may hold NaN or
// an infinity. Written null there (as every non-finite float), and null reads back as NaN, alone
// or as an element, so that a written document always reads back. Optionals inside keep null
// meaning absent; records inside read by their own tables.
//   jsonio::result("density", &R::density)                    double: null -> NaN
//   jsonio::result("approach_delays", &R::approach_delays)    std::array<double, 4>: [1.5, null, ...]
template <class R, class M>
Field<R> result(std::string key, M R::*member) {
    static_assert(detail::holds_float<M>::value, "jsonio::result is for floats and containers of floats");
    return detail::member_field<detail::NullFloat::nan>(std::move(key), Presence::required, member, {});
}

// The same for a result that an unanalysed record leaves at a default (often an empty matrix):
//   jsonio::result_with_default("dc_ratio", &F::dc_ratio, {})  std::vector<std::vector<double>>
template <class R, class M>
Field<R> result_with_default(std::string key, M R::*member, std::type_identity_t<M> value) {
    static_assert(detail::holds_float<M>::value, "jsonio::result_with_default is for floats and containers of floats");
    return detail::member_field<detail::NullFloat::nan>(std::move(key), Presence::defaulted, member,
                                                        detail::default_setter(member, std::move(value)));
}

// An optional float result of an analysis (absent until an analysis computes it) that may be
// non-finite. The writer writes both an absent value and a non-finite one null; so a null reads
// NaN where the record shows that the analysis computed the value (`analysed`), and absent
// elsewhere: a document written by an analysed record reads back analysed, a fresh one as fresh.
// A missing key reads absent.
//   jsonio::analysed_result("control_delay", &Lane::control_delay, jsonio::marked_by("los", &Lane::los))
// The test runs once every key of the record is read (keys come in any order), in declaration
// order, so it may look at an analysed result declared before this one.
template <class R>
Field<R> analysed_result(std::string key, std::optional<double> R::*member, Analysed<R> analysed) {
    if (analysed.when.empty()) throw std::logic_error("JSON result `" + key + "` without what shows its analysis");
    std::function<void(R&)> settle;
    if (analysed.test)
        settle = [member, test = std::move(analysed.test)](R& r) { absent_unless_computed(r.*member, test(r)); };
    return {std::move(key),
            Presence::optional,
            [member](Value v, R& r) { r.*member = detail::read_as<double, detail::NullFloat::nan>(v); },
            [member](R& r) { r.*member = std::nullopt; },
            detail::member_writer(member),
            &detail::describe_type<std::optional<double>>,
            true,
            std::move(analysed.when),
            std::move(settle)};
}

template <class R, class M>
Field<R> required(std::string key, M R::*member, Codec<M> codec) {
    return {std::move(key), Presence::required, detail::codec_reader(member, codec), {},
            detail::codec_writer<R, M>(member, codec), &detail::describe_type<M>, false, {}, {}};
}

template <class R, class M>
Field<R> with_default(std::string key, M R::*member, std::type_identity_t<M> value, Codec<M> codec) {
    return {std::move(key), Presence::defaulted, detail::codec_reader(member, codec),
            detail::default_setter(member, std::move(value)), detail::codec_writer<R, M>(member, codec),
            &detail::describe_type<M>, false, {}, {}};
}

// The codec reads and writes the inner value; null stays "absent".
template <class R, class M>
Field<R> optional(std::string key, std::optional<M> R::*member, Codec<M> codec) {
    if (!codec.read || !codec.write) throw std::logic_error("JSON codec without a read or a write function");
    std::function<void(Writer&, const R&)> write = [member, codec](Writer& w, const R& r) {
        if (r.*member)
            codec.write(w, *(r.*member));
        else
            write_value(w, r.*member);  // null
    };
    return {std::move(key), Presence::optional,
            [member, codec](Value v, R& r) {
                if (v.is_null())
                    r.*member = std::nullopt;
                else
                    r.*member = codec.read(v);
            },
            [member](R& r) { r.*member = std::nullopt; }, std::move(write),
            &detail::describe_type<std::optional<M>>, false, {}, {}};
}

// A field read and written by functions of the whole record (cross-field special cases).
// `set_default` is required unless `presence` is Presence::required.
template <class R>
Field<R> custom(std::string key, Presence presence, std::function<void(Value, R&)> read,
                std::function<void(Writer&, const R&)> write, std::function<void(R&)> set_default = {}) {
    if (presence != Presence::required && !set_default)
        throw std::logic_error("JSON field `" + key + "` has a default but no function setting it");
    return {std::move(key), presence, std::move(read), std::move(set_default), std::move(write), nullptr, false,
            {}, {}};
}

// The table of a record type R: its name (for messages), its fields in declaration order (the
// write order and the order of the array form), its reading policies and, where the record
// decides which analysed results of the records inside it were computed, its settle step: run on
// the record once all its keys are read (those inside have settled their own by then).
template <class R>
class Record {
public:
    static constexpr std::size_t kMaxFields = 256;

    Record(std::string name, std::vector<Field<R>> fields, UnknownKeys unknown = UnknownKeys::ignore,
           ArrayForm array_form = ArrayForm::all_fields, void (*settle_step)(R&) = nullptr)
        : name_(std::move(name)),
          fields_(std::move(fields)),
          unknown_(unknown),
          array_form_(array_form),
          settle_(settle_step) {
        if (fields_.size() > kMaxFields) throw std::logic_error("JSON record " + name_ + " has too many fields");
        struct_name_ = "struct " + name_;
        array_expected_ =
            struct_name_ + " with " + std::to_string(fields_.size()) + (fields_.size() == 1 ? " element" : " elements");
        std::vector<std::string_view> keys;
        for (const Field<R>& f : fields_) keys.push_back(f.key);
        expected_keys_ = detail::expected_list(keys);
        sorted_.resize(fields_.size());
        for (std::size_t i = 0; i < fields_.size(); ++i) sorted_[i] = static_cast<std::uint16_t>(i);
        std::sort(sorted_.begin(), sorted_.end(),
                  [this](std::uint16_t a, std::uint16_t b) { return fields_[a].key < fields_[b].key; });
        for (std::size_t i = 1; i < sorted_.size(); ++i)
            if (fields_[sorted_[i - 1]].key == fields_[sorted_[i]].key)
                throw std::logic_error("JSON record " + name_ + " declares `" + fields_[sorted_[i]].key + "` twice");
        for (const Field<R>& f : fields_)
            if (!f.read || !f.write || (f.presence != Presence::required && !f.set_default))
                throw std::logic_error("JSON record " + name_ + " has an incomplete field `" + f.key + "`");
        for (std::size_t i = 0; i < fields_.size(); ++i)
            if (fields_[i].settle) settled_.push_back(static_cast<std::uint16_t>(i));
    }

    const std::string& name() const { return name_; }
    // "struct {name}", the expectation of messages about the record as a whole.
    const std::string& struct_name() const { return struct_name_; }
    const std::vector<Field<R>>& fields() const { return fields_; }

    R read(Value v) const {
        R out{};
        read_into(v, out);
        return out;
    }

    // Reads every field of `out` from the object or array form.
    void read_into(Value v, R& out) const {
        if (v.is_object())
            read_object(v, out);
        else if (v.is_array())
            read_array(v, out);
        else
            fail_type(v);
        settle(out);
    }

    // The step after the last key is read: the analysed results the record shows no analysis of
    // become absent (analysed_result()), in declaration order, then the record's own settle step.
    // read_into takes it; a reader that reads the fields one by one takes it after them.
    void settle(R& out) const {
        for (std::uint16_t i : settled_) fields_[i].settle(out);
        if (settle_) settle_(out);
    }

    // One object with every field, in declaration order (json/writer.hpp).
    void write(Writer& w, const R& r) const;
    // Every field as key and value, in declaration order, into an object the caller opened.
    void write_fields(Writer& w, const R& r) const;
    // The table itself: its policies and, per field, its key, presence, type and default
    // (json/describe.hpp).
    void describe(Writer& w, Catalog& catalog) const;

private:
    [[noreturn]] void fail_type(Value v) const;

    std::optional<std::size_t> index_of(std::string_view key) const {
        auto it = std::lower_bound(sorted_.begin(), sorted_.end(), key,
                                   [this](std::uint16_t i, std::string_view k) { return fields_[i].key < k; });
        if (it == sorted_.end() || fields_[*it].key != key) return std::nullopt;
        return *it;
    }

    void read_object(Value v, R& out) const {
        std::bitset<kMaxFields> seen;
        for (Member m : v.members()) {
            std::optional<std::size_t> i = index_of(m.key);
            if (!i) {
                if (unknown_ == UnknownKeys::refuse)
                    m.fail_at_key("unknown field `" + std::string(m.key) + "`, expected " + expected_keys_);
                continue;
            }
            if (seen[*i]) m.fail_at_key("duplicate field `" + std::string(m.key) + "`");
            seen.set(*i);
            fields_[*i].read(m.value, out);
        }
        for (std::size_t i = 0; i < fields_.size(); ++i) {
            if (seen[i]) continue;
            if (fields_[i].presence == Presence::required) v.fail_at_end("missing field `" + fields_[i].key + "`");
            fields_[i].set_default(out);
        }
    }

    bool may_leave_off(Presence presence) const {
        switch (array_form_) {
            case ArrayForm::defaults_fill: return presence != Presence::required;
            case ArrayForm::with_defaults_fill: return presence == Presence::defaulted;
            case ArrayForm::all_fields: break;
        }
        return false;
    }

    void read_array(Value v, R& out) const {
        std::size_t i = 0;
        for (Value e : v.elements()) {
            if (i == fields_.size()) e.fail_at_begin("trailing characters");
            fields_[i].read(e, out);
            ++i;
        }
        for (std::size_t k = i; k < fields_.size(); ++k) {
            if (!may_leave_off(fields_[k].presence))
                v.fail_at_end("invalid length " + std::to_string(i) + ", expected " + array_expected_);
            fields_[k].set_default(out);
        }
    }

    std::string name_;
    std::vector<Field<R>> fields_;
    UnknownKeys unknown_;
    ArrayForm array_form_;
    void (*settle_)(R&);
    std::string struct_name_, array_expected_, expected_keys_;
    std::vector<std::uint16_t> sorted_;
    std::vector<std::uint16_t> settled_;  // the fields with a settle step, in declaration order
};

// Unit variant of a tagged enumeration: no payload, written as the bare variant name.
struct Unit {
    friend bool operator==(const Unit&, const Unit&) = default;
};

// The table of a tagged enumeration V = std::variant<Alternatives...>: one name per alternative,
// in order. An alternative of type jsonio::Unit (or std::monostate) is a unit variant, read from
// "Name" or {"Name": null}; any other is read from {"Name": payload} with the payload's reader.
template <class... Alts>
class Variants<std::variant<Alts...>> {
public:
    using V = std::variant<Alts...>;
    static constexpr std::size_t kCount = sizeof...(Alts);

    Variants(std::string name, std::vector<std::string> names) : name_(std::move(name)), names_(std::move(names)) {
        if (names_.size() != kCount) throw std::logic_error("JSON enumeration " + name_ + " needs one name per variant");
        expected_ = detail::expected_list(names_);
    }

    const std::string& name() const { return name_; }
    const std::vector<std::string>& names() const { return names_; }

    V read(Value v) const;
    void write(Writer& w, const V& value) const;

private:
    template <std::size_t I>
    static constexpr bool is_unit() {
        using A = std::variant_alternative_t<I, V>;
        return std::is_same_v<A, Unit> || std::is_same_v<A, std::monostate>;
    }
    std::size_t index_of(Value at, std::string_view variant, const Member* key) const;
    V read_alternative(std::size_t index, std::optional<Value> payload, Value whole) const;

    std::string name_;
    std::vector<std::string> names_;
    std::string expected_;
};

}  // namespace jsonio
