#pragma once
// Internally tagged enumerations: a std::variant of records whose JSON object names its
// alternative under a tag key, anywhere among the alternative's own fields,
//
//   {"type": "stop", "flow_veh_h": 300, "conflicting_flow_veh_h": 800, ...}
//
// or, in array form, the alternative's name first and its fields after it in declared order:
//
//   ["stop", 300, 800, ...]
//
// Declared like any tagged enumeration, by json_variants(Tag<V>) returning the table:
//
//   const jsonio::InternallyTagged<Step>& json_variants(jsonio::Tag<Step>) {
//       static const jsonio::InternallyTagged<Step> table{"JunctionStep", "type", {"provided", "stop", "merge"}};
//       return table;
//   }
//
// Each alternative reads and writes through its own record table, which must ignore unknown keys
// (the tag stands among its fields). Messages: "missing field `type`" (at the closing bracket),
// "duplicate field `type`", "unknown variant `x`, expected one of `provided`, `stop`, `merge`",
// "invalid type: ..., expected internally tagged enum JunctionStep", and for the array form
// "invalid length {fields given}, expected struct variant JunctionStep::Stop with 6 elements"
// (trailing fields with a default may be left out) and "trailing characters".
#include <array>
#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "json/reader.hpp"
#include "json/record.hpp"
#include "json/writer.hpp"

namespace jsonio {

template <class V>
class InternallyTagged;

template <class... Alts>
class InternallyTagged<std::variant<Alts...>> {
public:
    using V = std::variant<Alts...>;
    static constexpr std::size_t kCount = sizeof...(Alts);

    InternallyTagged(std::string name, std::string tag, std::vector<std::string> names)
        : name_(std::move(name)), tag_(std::move(tag)), names_(std::move(names)) {
        if (names_.size() != kCount)
            throw std::logic_error("JSON enumeration " + name_ + " needs one name per variant");
        expected_ = detail::expected_list(names_);
        for (std::size_t i = 0; i < kCount; ++i) {
            const std::size_t fields = field_counts()[i];
            array_expected_.push_back("struct variant " + name_ + "::" + upper_first(names_[i]) + " with " +
                                      std::to_string(fields) + (fields == 1 ? " element" : " elements"));
        }
    }

    const std::string& name() const { return name_; }
    const std::string& tag() const { return tag_; }
    const std::vector<std::string>& names() const { return names_; }

    V read(Value v) const {
        if (v.is_object()) return read_object(v);
        if (v.is_array()) return read_array(v);
        detail::invalid_type(v, "internally tagged enum " + name_);
    }

    // One object: the tag first, then the alternative's fields.
    void write(Writer& w, const V& value) const {
        std::visit(
            [&](const auto& alt) {
                w.begin_object();
                w.key(tag_);
                w.string(names_.at(value.index()));
                json_record(Tag<std::decay_t<decltype(alt)>>{}).write_fields(w, alt);
                w.end_object();
            },
            value);
    }

private:
    static std::array<std::size_t, kCount> field_counts() {
        return {json_record(Tag<Alts>{}).fields().size()...};
    }

    // "stop" -> "Stop": the alternative's name as a type name.
    static std::string upper_first(std::string name) {
        if (!name.empty() && name[0] >= 'a' && name[0] <= 'z') name[0] = static_cast<char>(name[0] - 'a' + 'A');
        return name;
    }

    std::size_t index_of(Value tag) const {
        if (!tag.is_string()) detail::invalid_type(tag, "variant identifier");
        return detail::variant_index(tag, tag.string(), names_, expected_, nullptr);
    }

    V read_object(Value v) const {
        std::optional<Value> tag;
        for (Member m : v.members()) {
            if (m.key != tag_) continue;
            if (tag) m.fail_at_key("duplicate field `" + tag_ + "`");
            tag = m.value;
        }
        if (!tag) v.fail_at_end("missing field `" + tag_ + "`");
        return dispatch(index_of(*tag), [&](const auto& record, auto& out) { record.read_into(v, out); });
    }

    V read_array(Value v) const {
        auto items = v.elements();
        auto it = items.begin();
        if (it == items.end()) v.fail_at_end("missing field `" + tag_ + "`");
        const std::size_t index = index_of(*it);
        ++it;
        return dispatch(index, [&](const auto& record, auto& out) {
            const auto& fields = record.fields();
            std::size_t k = 0;
            for (; it != items.end(); ++it, ++k) {
                if (k == fields.size()) (*it).fail_at_begin("trailing characters");
                fields[k].read(*it, out);
            }
            for (std::size_t rest = k; rest < fields.size(); ++rest) {
                if (fields[rest].presence == Presence::required)
                    v.fail_at_end("invalid length " + std::to_string(k) + ", expected " + array_expected_[index]);
                fields[rest].set_default(out);
            }
            record.settle(out);
        });
    }

    // Builds alternative `index` and fills it with read(record, alternative).
    template <class Fill>
    V dispatch(std::size_t index, Fill fill) const {
        V out;
        [&]<std::size_t... I>(std::index_sequence<I...>) {
            ((index == I ? fill_alternative<I>(out, fill) : void()), ...);
        }(std::make_index_sequence<kCount>{});
        return out;
    }

    template <std::size_t I, class Fill>
    static void fill_alternative(V& out, Fill& fill) {
        using Alt = std::variant_alternative_t<I, V>;
        Alt alt{};
        fill(json_record(Tag<Alt>{}), alt);
        out.template emplace<I>(std::move(alt));
    }

    std::string name_;
    std::string tag_;
    std::vector<std::string> names_;
    std::string expected_;
    std::vector<std::string> array_expected_;
};

}  // namespace jsonio
