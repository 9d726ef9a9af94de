#include "json/character.hpp"

#include "json/reader.hpp"
#include "json/writer.hpp"

namespace jsonio {

namespace {

// Number of UTF-8 encoded characters: the bytes that do not continue a multi-byte sequence (the
// parser has already checked the encoding).
std::size_t character_count(std::string_view text) {
    std::size_t n = 0;
    for (unsigned char c : text) n += (c & 0xC0u) != 0x80u;
    return n;
}

constexpr std::string_view kExpected = "a character";

}  // namespace

std::string read_character(Value v) {
    if (!v.is_string()) detail::invalid_type(v, kExpected);
    if (character_count(v.string()) != 1) detail::invalid_value(v, kExpected);
    return std::string(v.string());
}

void write_character(Writer& w, const std::string& c) { w.string(c); }

}  // namespace jsonio
