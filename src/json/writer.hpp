#pragma once
// Typed writing straight to text: jsonio::write_value(writer, x) for every supported type, and
// write_document(x) / write_document_pretty(x) for a whole document. No intermediate tree: a first
// pass measures the document (floats at their longest, without formatting them), so that the text
// is allocated once and never moved or copied while it is written.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
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

// Compact: no whitespace. Pretty: two-space indentation, ": " after keys, "[]" and "{}" for empty
// containers, no final newline.
enum class Layout : std::uint8_t { compact, pretty };

// Appends JSON tokens to a text, placing the separators (and, pretty, the line breaks and
// indentation) itself. Inside an object, key() comes before each value.
class Writer {
public:
    // A measuring writer writes nothing: it adds up an upper bound of the text's length (exact
    // but for floats, counted at their longest), for a writer to reserve before it writes.
    enum class Mode : std::uint8_t { write, measure };

    explicit Writer(Layout layout = Layout::compact, Mode mode = Mode::write)
        : pretty_(layout == Layout::pretty), measuring_(mode == Mode::measure) {}
    Writer(const Writer&) = delete;  // holds a pointer into its own buffer
    Writer& operator=(const Writer&) = delete;

    void null();
    void boolean(bool value);
    // Shortest round-trip digits with a point or an exponent ("8.0", "90.658099", "0.00001",
    // "1e16", "1.5e-7", "-0.0"); NaN and infinities as null.
    void number(double value);
    // An array of floats, written as number() writes each (and measured without formatting them).
    void numbers(std::span<const double> values);
    void integer(std::int64_t value);
    void unsigned_integer(std::uint64_t value);
    // Quoted, with the escapes \" \\ \b \f \n \r \t and \u00XX for the other control characters;
    // text that is not valid UTF-8 throws base::Error "invalid UTF-8 in string".
    void string(std::string_view text);
    void key(std::string_view name);
    void begin_array();
    void end_array();
    void begin_object();
    void end_object();

    // The text written so far; the writer is left empty.
    std::string take();
    // A measuring writer's bound of what it was given so far.
    std::size_t bound();
    // Allocates room for a text of `size` bytes.
    void reserve(std::size_t size) { text_.reserve(size); }

private:
    static constexpr std::size_t kBufferSize = 4096;

    // Where the next n bytes (n <= kBufferSize) go.
    char* room(std::size_t n) {
        if (static_cast<std::size_t>(buffer_ + kBufferSize - pos_) < n) flush();
        return pos_;
    }
    void flush();
    void put(char c) {
        *room(1) = c;
        ++pos_;
    }
    void put(const char* text, std::size_t n);
    void new_line();
    void separate();  // what goes before a value or a key
    void open(char bracket);
    void close(char bracket);
    void quoted(std::string_view text);

    std::string text_;  // the text up to the buffer's content
    char buffer_[kBufferSize];
    char* pos_ = buffer_;  // next byte of the buffer
    std::size_t depth_ = 0;
    std::size_t measured_ = 0;  // measuring: bytes counted before the buffer's content
    bool pretty_;
    bool measuring_;
    bool empty_ = true;       // the innermost open container has nothing in it yet
    bool after_key_ = false;  // a key was written; its value comes next
};

namespace detail {
template <class Tuple, std::size_t... I>
void write_tuple(Writer& w, const Tuple& t, std::index_sequence<I...>) {
    w.begin_array();
    (write_value(w, std::get<I>(t)), ...);
    w.end_array();
}
}  // namespace detail

// Floats as numbers (non-finite as null), integers, booleans, strings, named enumerations as
// their variant name, optionals (absent as null), vectors, arrays and tuples as arrays, records
// through their table, tagged enumerations as "Name" or {"Name": payload}.
template <class T>
void write_value(Writer& w, const T& x) {
    if constexpr (std::is_same_v<T, bool>) {
        w.boolean(x);
    } else if constexpr (std::is_floating_point_v<T>) {
        w.number(static_cast<double>(x));
    } else if constexpr (detail::Integer<T>) {
        if constexpr (std::is_signed_v<T>)
            w.integer(static_cast<std::int64_t>(x));
        else
            w.unsigned_integer(static_cast<std::uint64_t>(x));
    } else if constexpr (std::is_same_v<T, std::string> || std::is_same_v<T, std::string_view>) {
        w.string(x);
    } else if constexpr (base::NamedEnum<T>) {
        w.string(base::name_of(x));
    } else if constexpr (detail::is_optional<T>::value) {
        if (x)
            write_value(w, *x);
        else
            w.null();
    } else if constexpr (detail::is_vector<T>::value || detail::is_std_array<T>::value) {
        if constexpr (std::is_same_v<typename T::value_type, double>) {
            w.numbers(std::span<const double>(x.data(), x.size()));
        } else {
            w.begin_array();
            if constexpr (std::is_same_v<typename T::value_type, bool>) {
                for (bool b : x) w.boolean(b);
            } else {
                for (const auto& e : x) write_value(w, e);
            }
            w.end_array();
        }
    } else if constexpr (detail::is_tuple_like<T>::value) {
        detail::write_tuple(w, x, std::make_index_sequence<std::tuple_size_v<T>>{});
    } else if constexpr (HasRecord<T>) {
        json_record(Tag<T>{}).write(w, x);
    } else if constexpr (HasVariants<T>) {
        json_variants(Tag<T>{}).write(w, x);
    } else {
        static_assert(sizeof(T) == 0, "jsonio::write_value: no JSON writer for this type");
    }
}

// The document as text, compact unless `layout` says otherwise. A string that is not valid UTF-8
// throws base::Error "invalid UTF-8 in string" (callers wrap it as their serialization failure).
template <class T>
std::string write_document(const T& x, Layout layout = Layout::compact) {
    // The measuring pass costs a few percent of the writing; growing the text instead would copy
    // it and leave up to its size again in freed buffers.
    Writer measure(layout, Writer::Mode::measure);
    write_value(measure, x);
    Writer w(layout);
    w.reserve(measure.bound());
    write_value(w, x);
    return w.take();
}

// The same with two-space indentation.
template <class T>
std::string write_document_pretty(const T& x) {
    return write_document(x, Layout::pretty);
}

template <class R>
void Record<R>::write_fields(Writer& w, const R& r) const {
    for (const Field<R>& f : fields_) {
        w.key(f.key);
        f.write(w, r);
    }
}

template <class R>
void Record<R>::write(Writer& w, const R& r) const {
    w.begin_object();
    write_fields(w, r);
    w.end_object();
}

template <class... Alts>
void Variants<std::variant<Alts...>>::write(Writer& w, const V& value) const {
    const std::string& name = names_.at(value.index());
    std::visit(
        [&](const auto& alt) {
            using A = std::decay_t<decltype(alt)>;
            if constexpr (std::is_same_v<A, Unit> || std::is_same_v<A, std::monostate>) {
                w.string(name);
            } else {
                w.begin_object();
                w.key(name);
                write_value(w, alt);
                w.end_object();
            }
        },
        value);
}

}  // namespace jsonio
