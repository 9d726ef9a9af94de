#include "json/tree.hpp"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>
#include <stdexcept>

#include <nlohmann/json.hpp>

namespace jsonio {

Error::Error(std::string text, Position at)
    : base::Error(text + " at line " + std::to_string(at.line) + " column " + std::to_string(at.column)),
      text_(std::move(text)),
      position_(at) {}

namespace {

using detail::kNoOffset;
using detail::Node;

bool is_json_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool is_number_char(char c) {
    return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
}

// Where the parser stands in the text. The iterator below advances it, so at every SAX event
// `p` is just past the last byte the lexer has read (numbers read one byte ahead).
struct Cursor {
    const char* p;
    const char* end;
    bool eof_seen = false;  // the lexer asked for a byte past the end
};

// Input iterator handed to nlohmann's iterator input adapter: reads through the shared cursor.
class CountingIterator {
public:
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    CountingIterator() = default;
    CountingIterator(Cursor* cursor, bool is_end) : cursor_(cursor), is_end_(is_end) {}

    reference operator*() const { return *cursor_->p; }
    CountingIterator& operator++() {
        ++cursor_->p;
        return *this;
    }
    CountingIterator operator++(int) {
        CountingIterator old = *this;
        ++cursor_->p;
        return old;
    }
    friend bool operator==(const CountingIterator& a, const CountingIterator& b) {
        if (a.is_end_ == b.is_end_) return true;
        Cursor* c = a.is_end_ ? b.cursor_ : a.cursor_;
        if (c->p != c->end) return false;
        c->eof_seen = true;
        return true;
    }

private:
    Cursor* cursor_ = nullptr;
    bool is_end_ = false;
};

}  // namespace

// Builds the flat tree from the SAX events and turns parser failures into positioned errors.
class TreeBuilder {
public:
    using json = nlohmann::json;

    TreeBuilder(std::string_view text, Cursor& cursor, Document& doc) : text_(text), cursor_(cursor), doc_(doc) {}

    bool null() {
        std::uint32_t b = value_begin();
        add(Kind::Null, b, b + 3);
        return true;
    }
    bool boolean(bool v) {
        std::uint32_t b = value_begin();
        add(Kind::Bool, b, b + (v ? 3 : 4)).payload.boolean = v;
        return true;
    }
    bool number_integer(json::number_integer_t v) {
        std::uint32_t b = value_begin();
        // Non-negative integers arrive as unsigned, so a zero here was written "-0": it is the
        // float -0.0 (its sign kept), not an integer.
        if (v == 0) {
            add(Kind::Float, b, number_end(b)).payload.number = -0.0;
            return true;
        }
        add(Kind::Int, b, number_end(b)).payload.int64 = v;
        return true;
    }
    bool number_unsigned(json::number_unsigned_t v) {
        std::uint32_t b = value_begin();
        add(Kind::Uint, b, number_end(b)).payload.uint64 = v;
        return true;
    }
    bool number_float(json::number_float_t v, const json::string_t& token) {
        std::uint32_t b = value_begin();
        add(Kind::Float, b, b + static_cast<std::uint32_t>(token.size()) - 1).payload.number = v;
        return true;
    }
    bool string(json::string_t& v) {
        std::uint32_t b = value_begin();
        std::uint32_t offset = store(v);
        Node& n = add(Kind::String, b, consumed() - 1);
        n.payload.text_offset = offset;
        n.count = static_cast<std::uint32_t>(v.size());
        return true;
    }
    bool binary(json::binary_t&) { return false; }  // not produced by the JSON text format

    bool start_object(std::size_t) { return open(Kind::Object); }
    bool start_array(std::size_t) { return open(Kind::Array); }
    bool end_object() { return close(); }
    bool end_array() { return close(); }

    bool key(json::string_t& k) {
        key_offset_ = store(k);
        key_length_ = static_cast<std::uint32_t>(k.size());
        key_end_ = consumed() - 1;
        prev_end_ = key_end_ + 1;
        return true;
    }

    bool parse_error(std::size_t, const std::string& last_token, const nlohmann::detail::exception& ex) {
        classify(ex, last_token);
        return false;
    }

    bool failed() const { return !error_text_.empty(); }

    // nlohmann stops at a NUL byte as if the input ended there: whatever follows the document
    // must still be whitespace only.
    void check_rest() {
        std::uint32_t rest = skip_space(prev_end_);
        if (rest < text_.size()) set_error("trailing characters", rest);
    }
    [[noreturn]] void throw_error() const {
        throw Error(error_text_, error_offset_ == kNoOffset ? Position{1, 0} : doc_.position(error_offset_));
    }

private:
    std::uint32_t consumed() const { return static_cast<std::uint32_t>(cursor_.p - text_.data()); }

    // First byte of the token of the current event: after the previous token, its whitespace
    // and the one separator the parser consumed in between.
    std::uint32_t value_begin() const {
        std::uint32_t i = prev_end_;
        while (i < text_.size() && (is_json_space(text_[i]) || text_[i] == ',' || text_[i] == ':')) ++i;
        return i;
    }
    std::uint32_t skip_space(std::uint32_t i) const {
        while (i < text_.size() && is_json_space(text_[i])) ++i;
        return i;
    }
    std::uint32_t number_end(std::uint32_t begin) const {
        std::uint32_t i = begin;
        while (i < text_.size() && is_number_char(text_[i])) ++i;
        return i - 1;
    }
    std::uint32_t last_byte() const { return text_.empty() ? kNoOffset : static_cast<std::uint32_t>(text_.size() - 1); }

    std::uint32_t store(const std::string& s) {
        auto offset = static_cast<std::uint32_t>(doc_.pool_.size());
        doc_.pool_ += s;
        return offset;
    }

    Node& add(Kind kind, std::uint32_t begin, std::uint32_t end) {
        Node n;
        n.kind = kind;
        n.begin = begin;
        n.end = end;
        if (!stack_.empty()) {
            Node& parent = doc_.nodes_[stack_.back()];
            ++parent.count;
            if (parent.kind == Kind::Object) {
                n.key_offset = key_offset_;
                n.key_length = key_length_;
                n.key_end = key_end_;
            }
        }
        doc_.nodes_.push_back(n);
        prev_end_ = end + 1;
        if (stack_.empty() && kind != Kind::Array && kind != Kind::Object) root_done_ = true;
        return doc_.nodes_.back();
    }

    bool open(Kind kind) {
        std::uint32_t at = consumed() - 1;
        if (stack_.size() >= kMaxDepth) {
            set_error("recursion limit exceeded", at);
            return false;
        }
        add(kind, at, at);
        stack_.push_back(static_cast<std::uint32_t>(doc_.nodes_.size() - 1));
        return true;
    }

    bool close() {
        std::uint32_t at = consumed() - 1;
        Node& n = doc_.nodes_[stack_.back()];
        n.end = at;
        n.span = static_cast<std::uint32_t>(doc_.nodes_.size() - stack_.back());
        stack_.pop_back();
        prev_end_ = at + 1;
        if (stack_.empty()) root_done_ = true;
        return true;
    }

    void set_error(std::string text, std::uint32_t offset) {
        error_text_ = std::move(text);
        error_offset_ = offset;
    }

    // The byte the lexer read last: where a malformed token was detected (at the end of the
    // input, its last byte).
    std::uint32_t detection_point() const { return consumed() == 0 ? last_byte() : consumed() - 1; }

    // The last byte of the complete token the parser did not expect, from its name in
    // nlohmann's message ("unexpected number literal", "unexpected ']'", ...).
    std::uint32_t unexpected_token_begin(std::string_view token, std::string_view token_text) const {
        std::uint32_t end = consumed() - 1;
        if (token == "number literal") {
            if (!cursor_.eof_seen) --end;  // the byte read ahead
            return end + 1 - static_cast<std::uint32_t>(token_text.size());
        }
        if (token == "string literal") {
            // Valid string: walk back to the opening quote, skipping escaped quotes.
            std::uint32_t b = end;
            while (b > 0) {
                --b;
                if (text_[b] != '"') continue;
                std::uint32_t slashes = 0;
                while (b > slashes && text_[b - 1 - slashes] == '\\') ++slashes;
                if (slashes % 2 == 0) break;
            }
            return b;
        }
        if (token == "true literal" || token == "null literal") return end - 3;
        if (token == "false literal") return end - 4;
        return end;  // one-byte punctuation
    }

    void classify(const nlohmann::detail::exception& ex, std::string_view token_text) {
        if (root_done_) {
            // nlohmann reads on after the document; whatever it found is extra.
            set_error("trailing characters", skip_space(prev_end_));
            return;
        }
        if (ex.id == 406) {  // number overflow: the token itself is well formed
            std::uint32_t end = consumed() - 1;
            if (!cursor_.eof_seen) --end;
            set_error("number out of range", end);
            return;
        }
        std::string_view what = ex.what();
        constexpr std::string_view marker = "syntax error while parsing ";
        auto m = what.find(marker);
        if (m == std::string_view::npos) {
            set_error("expected value", detection_point());
            return;
        }
        std::string_view rest = what.substr(m + marker.size());
        auto dash = rest.find(" - ");
        std::string_view context = rest.substr(0, dash);
        std::string_view detail = dash == std::string_view::npos ? std::string_view{} : rest.substr(dash + 3);

        constexpr std::string_view unexpected = "unexpected ";
        if (detail.starts_with(unexpected)) {
            std::string_view token = detail.substr(unexpected.size());
            token = token.substr(0, token.find(';'));
            if (token == "end of input") {
                if (cursor_.eof_seen)
                    set_error(eof_text(context), last_byte());
                else  // nlohmann ends the input at a NUL byte; here it is a stray byte
                    set_error(structural_text(context, "NUL"), detection_point());
                return;
            }
            std::uint32_t at = unexpected_token_begin(token, token_text);
            // "01": the lexer reads a leading zero as a number of its own.
            if (token == "number literal" && at > 0 && text_[at - 1] >= '0' && text_[at - 1] <= '9')
                set_error("invalid number", at);
            else
                set_error(structural_text(context, token), at);
            return;
        }
        // The lexer failed on a malformed token.
        if (context == "object separator" || context == "object" || context == "array") {
            set_error(structural_text(context, ""), skip_space(prev_end_));
            return;
        }
        if (context == "object key") {
            std::uint32_t at = skip_space(prev_end_);
            if (at < text_.size() && text_[at] == ',') at = skip_space(at + 1);
            if (at >= text_.size() || text_[at] != '"') {
                set_error("key must be a string", at < text_.size() ? at : last_byte());
                return;
            }
        }
        set_error(lexer_text(detail), detection_point());
    }

    // The input ended inside the innermost open container (or before the first value).
    std::string eof_text(std::string_view context) const {
        if (context == "array") return "EOF while parsing a list";
        if (context.starts_with("object")) return "EOF while parsing an object";
        // Right after "[" the next element is still part of the list; after a comma it is a value.
        if (!stack_.empty() && doc_.nodes_[stack_.back()].kind == Kind::Array && doc_.nodes_[stack_.back()].count == 0)
            return "EOF while parsing a list";
        return "EOF while parsing a value";
    }

    std::string structural_text(std::string_view context, std::string_view token) const {
        if (context == "object key") return token == "'}'" ? "trailing comma" : "key must be a string";
        if (context == "object separator") return "expected `:`";
        if (context == "object") return "expected `,` or `}`";
        if (context == "array") return "expected `,` or `]`";
        // A value was expected: a `]` right after a separator in an array is a trailing comma.
        if (token == "']'" && !stack_.empty() && doc_.nodes_[stack_.back()].kind == Kind::Array &&
            doc_.nodes_[stack_.back()].count > 0)
            return "trailing comma";
        return "expected value";
    }

    std::string lexer_text(std::string_view detail) const {
        if (detail.starts_with("invalid string: missing closing quote")) return "EOF while parsing a string";
        if (detail.starts_with("invalid string: control character"))
            return "control character (\\u0000-\\u001F) found while parsing a string";
        if (detail.starts_with("invalid string: forbidden character after backslash") ||
            detail.starts_with("invalid string: '\\u' must be followed by 4 hex digits"))
            return "invalid escape";
        if (detail.starts_with("invalid string: surrogate")) return "invalid unicode code point";
        if (detail.starts_with("invalid string: ill-formed UTF-8 byte")) return "invalid UTF-8";
        if (detail.starts_with("invalid number")) return cursor_.eof_seen ? "EOF while parsing a value" : "invalid number";
        if (detail.starts_with("invalid literal")) {
            if (cursor_.eof_seen) return "EOF while parsing a value";
            std::uint32_t b = value_begin();
            bool ident = b < text_.size() && (text_[b] == 't' || text_[b] == 'f' || text_[b] == 'n');
            return ident ? "expected ident" : "expected value";
        }
        return "expected value";
    }

    std::string_view text_;
    Cursor& cursor_;
    Document& doc_;
    std::vector<std::uint32_t> stack_;
    std::uint32_t prev_end_ = 0;
    std::uint32_t key_offset_ = 0, key_length_ = 0, key_end_ = kNoOffset;
    bool root_done_ = false;
    std::string error_text_;
    std::uint32_t error_offset_ = kNoOffset;
};

Document Document::parse(std::string_view text) {
    Document doc;
    if (text.size() >= std::numeric_limits<std::uint32_t>::max()) throw Error("document too large", Position{1, 0});
    // Line table first, so that errors can be placed.
    doc.line_starts_.push_back(0);
    for (const char* p = text.data(); (p = static_cast<const char*>(std::memchr(p, '\n', text.data() + text.size() - p)));
         ++p)
        doc.line_starts_.push_back(static_cast<std::uint32_t>(p - text.data() + 1));
    doc.nodes_.reserve(text.size() / 8 + 1);

    // Only white space may surround the value, so a leading byte-order mark is a stray byte where a
    // value must start. nlohmann would skip one (and read any other leading 0xEF as a broken
    // mark): refuse it here, as a value that cannot start there.
    if (!text.empty() && static_cast<unsigned char>(text.front()) == 0xEF) throw Error("expected value", doc.position(0));

    Cursor cursor{text.data(), text.data() + text.size()};
    TreeBuilder builder(text, cursor, doc);
    bool ok = nlohmann::json::sax_parse(CountingIterator(&cursor, false), CountingIterator(&cursor, true), &builder,
                                        nlohmann::json::input_format_t::json, /*strict=*/true);
    if (ok) builder.check_rest();
    if (!ok || builder.failed()) {
        if (!builder.failed()) throw std::logic_error("JSON parser stopped without an error");
        builder.throw_error();
    }
    return doc;
}

Position Document::position(std::uint32_t offset) const {
    if (offset == kNoOffset) return Position{1, 0};
    auto it = std::upper_bound(line_starts_.begin(), line_starts_.end(), offset);
    auto line = static_cast<std::size_t>(it - line_starts_.begin());
    return Position{line, offset - *(it - 1) + 1};
}

// ---- Value ----

namespace {
[[noreturn]] void wrong_kind(const char* what) {
    throw std::logic_error(std::string("JSON value accessed as ") + what + " but is not one");
}
}  // namespace

bool Value::boolean() const {
    if (kind() != Kind::Bool) wrong_kind("a boolean");
    return node().payload.boolean;
}
std::int64_t Value::int64() const {
    if (kind() != Kind::Int) wrong_kind("a signed integer");
    return node().payload.int64;
}
std::uint64_t Value::uint64() const {
    if (kind() != Kind::Uint) wrong_kind("an unsigned integer");
    return node().payload.uint64;
}
double Value::float64() const {
    if (kind() != Kind::Float) wrong_kind("a float");
    return node().payload.number;
}
std::string_view Value::string() const {
    if (kind() != Kind::String) wrong_kind("a string");
    return doc_->pool_text(node().payload.text_offset, node().count);
}

std::size_t Value::size() const { return is_array() || is_object() ? node().count : 0; }

Value::Range<Value::ElementIterator> Value::elements() const {
    if (!is_array()) wrong_kind("an array");
    return {ElementIterator(doc_, index_ + 1), ElementIterator(doc_, index_ + node().span)};
}

Value::Range<Value::MemberIterator> Value::members() const {
    if (!is_object()) wrong_kind("an object");
    return {MemberIterator(doc_, index_ + 1), MemberIterator(doc_, index_ + node().span)};
}

std::optional<Value> Value::find(std::string_view key) const {
    if (!is_object()) return std::nullopt;
    for (Member m : members())
        if (m.key == key) return m.value;
    return std::nullopt;
}

Position Value::begin_position() const { return doc_->position(node().begin); }
Position Value::end_position() const { return doc_->position(node().end); }

void Value::fail_at_end(std::string text) const { throw Error(std::move(text), end_position()); }
void Value::fail_at_begin(std::string text) const { throw Error(std::move(text), begin_position()); }
void Value::fail(std::string text) const {
    if (is_array() || is_object()) fail_at_begin(std::move(text));
    fail_at_end(std::move(text));
}

void Member::fail_at_key(std::string text) const { throw Error(std::move(text), key_position()); }

}  // namespace jsonio
