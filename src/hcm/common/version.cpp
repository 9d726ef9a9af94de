#include "hcm/common/version.hpp"

#include <string>

#include "hcm/common/error.hpp"
#include "hcm/common/format.hpp"

namespace hcm::common::version {
namespace {

// Byte length of a Unicode White_Space character starting at text[i], or 0.
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

std::string normalise(std::string_view text) {
    std::string lowered(trim(text));
    for (char& c : lowered) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    std::string without_hcm;
    for (std::size_t i = 0; i < lowered.size();) {
        if (lowered.compare(i, 3, "hcm") == 0) {
            i += 3;
        } else {
            without_hcm += lowered[i++];
        }
    }
    std::string compact;
    for (char c : without_hcm) {
        if (c != ' ' && c != '_') compact += c;
    }
    std::size_t first = compact.find_first_not_of('v');
    return first == std::string::npos ? std::string() : compact.substr(first);
}

}  // namespace

HcmVersion from_str(std::string_view text) {
    std::string key = normalise(text);
    if (key == "7" || key == "7.0") return HcmVersion::Hcm7;
    if (key == "7.1") return HcmVersion::Hcm7_1;
    throw Error("unknown HCM version " + debug(text) + "; expected one of \"7\" or \"7.1\"");
}

bool changes_chapter(HcmVersion v, std::uint8_t chapter) {
    return v == HcmVersion::Hcm7_1 && (chapter == 13 || chapter == 14 || chapter == 27 || chapter == 28);
}

}  // namespace hcm::common::version
