#pragma once
// A text of exactly one character (one Unicode scalar value, UTF-8 encoded) held in a
// std::string: how the intersection chapters keep a LOS letter ("A" to "F", or any one character
// a document gives). Declare such a field with the codec:
//
//   jsonio::optional("los", &Lane::los, jsonio::CHARACTER)
//
// Reading: a JSON string of one character; a longer or empty string fails with
// "invalid value: string \"AB\", expected a character", any other JSON type with
// "invalid type: ..., expected a character". Writing: the one-character string.
#include <string>

#include "json/record.hpp"

namespace jsonio {

std::string read_character(Value v);
void write_character(Writer& w, const std::string& c);

inline constexpr Codec<std::string> CHARACTER{read_character, write_character};

}  // namespace jsonio
