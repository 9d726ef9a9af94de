#pragma once
// Text helpers for the words callers pass in: edition labels and option words.
//
//   trim("\u3000 7.1\u00A0") == "7.1"      (Unicode White_Space, both ends, in UTF-8)
//   lower_ascii("Two-Sided") == "two-sided"  (A-Z only; other bytes unchanged, nothing trimmed)
#include <string>
#include <string_view>

namespace base::text {

// `s` without the Unicode White_Space characters at either end (ASCII blanks and controls 9-13,
// U+0085, U+00A0, U+1680, U+2000-200A, U+2028, U+2029, U+202F, U+205F, U+3000, as UTF-8).
std::string_view trim(std::string_view s);

// `s` with the ASCII letters A-Z lower-cased: the form in which option words are compared.
std::string lower_ascii(std::string_view s);

}  // namespace base::text
