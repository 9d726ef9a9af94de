#include "base/text.hpp"

namespace base::text {
namespace {

// Byte length of a Unicode White_Space character starting at s[i], or 0.
std::size_t whitespace_len(std::string_view s, std::size_t i) {
    auto b = [&](std::size_t k) { return k < s.size() ? static_cast<unsigned char>(s[k]) : 0u; };
    unsigned c = b(i);
    if ((c >= 0x09 && c <= 0x0D) || c == 0x20) return 1;
    if (c == 0xC2 && (b(i + 1) == 0x85 || b(i + 1) == 0xA0)) return 2;
    if (c == 0xE1 && b(i + 1) == 0x9A && b(i + 2) == 0x80) return 3;  // U+1680
    if (c == 0xE2 && b(i + 1) == 0x80) {
        unsigned d = b(i + 2);
        if ((d >= 0x80 && d <= 0x8A) || d == 0xA8 || d == 0xA9 || d == 0xAF) return 3;  // U+2000-200A, 2028, 2029, 202F
    }
    if (c == 0xE2 && b(i + 1) == 0x81 && b(i + 2) == 0x9F) return 3;  // U+205F
    if (c == 0xE3 && b(i + 1) == 0x80 && b(i + 2) == 0x80) return 3;  // U+3000
    return 0;
}

// Length of the whitespace character ending at s[end-1], or 0.
std::size_t trailing_whitespace_len(std::string_view s, std::size_t end) {
    for (std::size_t len = 1; len <= 3 && len <= end; ++len) {
        if (whitespace_len(s, end - len) == len) return len;
    }
    return 0;
}

}  // namespace

std::string_view trim(std::string_view s) {
    std::size_t begin = 0, end = s.size();
    while (begin < end) {
        std::size_t n = whitespace_len(s, begin);
        if (n == 0 || begin + n > end) break;
        begin += n;
    }
    while (end > begin) {
        std::size_t n = trailing_whitespace_len(s, end);
        if (n == 0 || end - n < begin) break;
        end -= n;
    }
    return s.substr(begin, end - begin);
}

std::string lower_ascii(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

}  // namespace base::text
