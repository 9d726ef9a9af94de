#include "json/reader.hpp"

#include "base/format.hpp"

namespace jsonio::detail {

std::string unexpected(Value v) {
    switch (v.kind()) {
        case Kind::Null: return "null";
        case Kind::Bool: return v.boolean() ? "boolean `true`" : "boolean `false`";
        case Kind::Int: return "integer `" + std::to_string(v.int64()) + "`";
        case Kind::Uint: return "integer `" + std::to_string(v.uint64()) + "`";
        case Kind::Float: {
            // Written out without an exponent (like every number in a message), with a point.
            std::string text = base::num(v.float64());
            if (text.find('.') == std::string::npos) text += ".0";
            return "floating point `" + text + "`";
        }
        case Kind::String: return "string " + base::debug(v.string());
        case Kind::Array: return "sequence";
        case Kind::Object: return "map";
    }
    return "value";
}

void invalid_type(Value v, std::string_view expected) { invalid_type(v, unexpected(v), expected); }

void invalid_type(Value at, std::string_view unexpected_text, std::string_view expected) {
    at.fail("invalid type: " + std::string(unexpected_text) + ", expected " + std::string(expected));
}

void invalid_value(Value v, std::string_view expected) {
    v.fail_at_end("invalid value: " + unexpected(v) + ", expected " + std::string(expected));
}

void invalid_length(Value v, std::size_t n, std::string_view expected) {
    v.fail_at_end("invalid length " + std::to_string(n) + ", expected " + std::string(expected));
}

void unknown_variant(Value v, std::string_view text, const std::string& expected, const Member* key) {
    std::string message = "unknown variant `" + std::string(text) + "`, expected " + expected;
    if (key) key->fail_at_key(std::move(message));
    v.fail_at_end(std::move(message));
}

}  // namespace jsonio::detail
