#pragma once
// The positioned JSON tree: a parsed document as one flat array of nodes in document order,
// each node knowing the byte offsets of its first and last byte (and, for object members, of
// its key), so that the typed readers can report every failure with its line and column.
//
// Lexing, number parsing and UTF-8 checks are done by nlohmann/json's SAX parser; this file
// only builds the tree and maps the parser's failures to our messages.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.hpp"

namespace jsonio {

// Line counted from 1, column in bytes from 1. Column 0 means "before the first byte" (used
// only for an empty document).
struct Position {
    std::size_t line = 1;
    std::size_t column = 0;
    friend bool operator==(const Position&, const Position&) = default;
};

// A failure while parsing or reading JSON. what() is the full message, "{text} at line {} column {}".
class Error : public base::Error {
public:
    Error(std::string text, Position at);
    const std::string& text() const { return text_; }
    Position position() const { return position_; }

private:
    std::string text_;
    Position position_;
};

enum class Kind : std::uint8_t { Null, Bool, Int, Uint, Float, String, Array, Object };

// Nesting deeper than this (arrays and objects inside each other) is refused while parsing.
inline constexpr std::size_t kMaxDepth = 128;

class Document;
class Value;

namespace detail {

inline constexpr std::uint32_t kNoOffset = 0xFFFFFFFFu;

// One node of the flat tree (40 bytes). Children of a container follow it directly; `span`
// counts the node and all its descendants, so the next sibling is at index + span.
struct Node {
    Kind kind = Kind::Null;
    std::uint32_t begin = 0;           // offset of the first byte of the value
    std::uint32_t end = 0;             // offset of the last byte (closing bracket of containers)
    std::uint32_t key_end = kNoOffset;  // object members: offset of the key's closing quote
    std::uint32_t key_offset = 0;      // object members: key text in the string pool
    std::uint32_t key_length = 0;
    std::uint32_t span = 1;            // containers: nodes in the subtree, self included
    std::uint32_t count = 0;           // containers: children; strings: text length
    union {
        bool boolean;
        std::int64_t int64;
        std::uint64_t uint64;
        double number;
        std::uint32_t text_offset;
    } payload{};
};

}  // namespace detail

// A parsed document. Values point into it: keep the document alive (and in place) while they
// are used.
class Document {
public:
    // Parses strictly: one JSON value with optional surrounding whitespace. Throws jsonio::Error.
    static Document parse(std::string_view text);

    Value root() const;
    Position position(std::uint32_t offset) const;

    // Raw access for the handles below.
    const detail::Node& node(std::uint32_t index) const { return nodes_[index]; }
    std::string_view pool_text(std::uint32_t offset, std::uint32_t length) const {
        return std::string_view(pool_).substr(offset, length);
    }

private:
    friend class TreeBuilder;
    std::vector<detail::Node> nodes_;
    std::string pool_;                       // string values and keys, back to back
    std::vector<std::uint32_t> line_starts_;  // offset of the first byte of each line
};

// An object member as seen while walking an object.
struct Member;

// A cheap handle on one node of a document.
class Value {
public:
    Value(const Document* doc, std::uint32_t index) : doc_(doc), index_(index) {}

    Kind kind() const { return node().kind; }
    bool is_null() const { return kind() == Kind::Null; }
    bool is_array() const { return kind() == Kind::Array; }
    bool is_object() const { return kind() == Kind::Object; }
    bool is_string() const { return kind() == Kind::String; }
    bool is_number() const { return kind() == Kind::Int || kind() == Kind::Uint || kind() == Kind::Float; }

    // Payload accessors; each requires the matching kind (std::logic_error otherwise).
    bool boolean() const;
    std::int64_t int64() const;    // Kind::Int (negative integers)
    std::uint64_t uint64() const;  // Kind::Uint (non-negative integers)
    double float64() const;        // Kind::Float (numbers with a fraction or exponent)
    std::string_view string() const;

    // Number of elements (arrays) or members (objects); 0 for scalars.
    std::size_t size() const;

    class ElementIterator;
    class MemberIterator;
    template <class It>
    struct Range {
        It first, last;
        It begin() const { return first; }
        It end() const { return last; }
    };
    Range<ElementIterator> elements() const;  // requires an array
    Range<MemberIterator> members() const;    // requires an object
    // The first member named `key` of an object (nullopt when absent or not an object).
    std::optional<Value> find(std::string_view key) const;

    std::uint32_t begin_offset() const { return node().begin; }
    std::uint32_t end_offset() const { return node().end; }
    Position begin_position() const;
    Position end_position() const;

    // Throw jsonio::Error with `text` at the value's last byte, at its first byte, or at the
    // conventional place for a type error (last byte of scalars, opening bracket of containers).
    [[noreturn]] void fail_at_end(std::string text) const;
    [[noreturn]] void fail_at_begin(std::string text) const;
    [[noreturn]] void fail(std::string text) const;

    const Document& document() const { return *doc_; }

private:
    const detail::Node& node() const { return doc_->node(index_); }
    const Document* doc_;
    std::uint32_t index_;
};

struct Member {
    std::string_view key;
    Value value;
    std::uint32_t key_end;  // offset of the key's closing quote
    Position key_position() const { return value.document().position(key_end); }
    [[noreturn]] void fail_at_key(std::string text) const;
};

class Value::ElementIterator {
public:
    ElementIterator(const Document* doc, std::uint32_t index) : doc_(doc), index_(index) {}
    Value operator*() const { return Value(doc_, index_); }
    ElementIterator& operator++() {
        index_ += doc_->node(index_).span;
        return *this;
    }
    friend bool operator==(const ElementIterator& a, const ElementIterator& b) { return a.index_ == b.index_; }

private:
    const Document* doc_;
    std::uint32_t index_;
};

class Value::MemberIterator {
public:
    MemberIterator(const Document* doc, std::uint32_t index) : doc_(doc), index_(index) {}
    Member operator*() const {
        const detail::Node& n = doc_->node(index_);
        return Member{doc_->pool_text(n.key_offset, n.key_length), Value(doc_, index_), n.key_end};
    }
    MemberIterator& operator++() {
        index_ += doc_->node(index_).span;
        return *this;
    }
    friend bool operator==(const MemberIterator& a, const MemberIterator& b) { return a.index_ == b.index_; }

private:
    const Document* doc_;
    std::uint32_t index_;
};

inline Value Document::root() const { return Value(this, 0); }

}  // namespace jsonio
