#include "base/format.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

namespace base {
namespace {

std::string non_finite(double value) {
    if (std::isnan(value)) return "NaN";
    return value < 0 ? "-inf" : "inf";
}

void append_digits(std::string& out, const ShortestDigits& d, int first, int last) {
    out.append(d.digits.data() + first, static_cast<std::size_t>(last - first));
}

// The digits written out without an exponent: 1e23 is "100000000000000000000000", not the exact
// binary value 99999999999999991611392 that fixed notation of to_chars gives beyond 2^53.
std::string positional(const ShortestDigits& d) {
    std::string out = d.negative ? "-" : "";
    if (d.point <= 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-d.point), '0');
        append_digits(out, d, 0, d.count);
    } else if (d.point >= d.count) {
        append_digits(out, d, 0, d.count);
        out.append(static_cast<std::size_t>(d.point - d.count), '0');
    } else {
        append_digits(out, d, 0, d.point);
        out += '.';
        append_digits(out, d, d.point, d.count);
    }
    return out;
}

// Unicode characters that are not printable: format characters (Cf), separators other than the
// blank (Zs, Zl, Zp) and private-use characters (Co), as ranges of code points.
constexpr std::pair<char32_t, char32_t> NON_PRINTABLE[] = {
    {0x00A0, 0x00A0},   {0x00AD, 0x00AD},   {0x0600, 0x0605},     {0x061C, 0x061C},   {0x06DD, 0x06DD},
    {0x070F, 0x070F},   {0x0890, 0x0891},   {0x08E2, 0x08E2},     {0x1680, 0x1680},   {0x180E, 0x180E},
    {0x2000, 0x200F},   {0x2028, 0x202F},   {0x205F, 0x2064},     {0x2066, 0x206F},   {0x3000, 0x3000},
    {0xE000, 0xF8FF},   {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},     {0x110BD, 0x110BD}, {0x110CD, 0x110CD},
    {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A},   {0xE0001, 0xE0001}, {0xE0020, 0xE007F},
    {0xF0000, 0xFFFFD}, {0x100000, 0x10FFFD},
};

bool is_printable(char32_t cp) {
    if (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F)) return false;               // C0, DEL and C1 controls
    if ((cp >= 0xFDD0 && cp <= 0xFDEF) || (cp & 0xFFFE) == 0xFFFE) return false;  // noncharacters
    for (const auto& [first, last] : NON_PRINTABLE) {
        if (cp < first) return true;
        if (cp <= last) return false;
    }
    return true;
}

// Decodes one UTF-8 sequence at text[i]; returns the code point and advances i. Invalid bytes
// come back as themselves (>= 0x80) so that they are escaped rather than lost.
char32_t next_code_point(std::string_view text, std::size_t& i) {
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char c = byte(i);
    int extra = c < 0x80 ? 0 : (c >> 5) == 0x6 ? 1 : (c >> 4) == 0xE ? 2 : (c >> 3) == 0x1E ? 3 : -1;
    if (extra <= 0 || i + static_cast<std::size_t>(extra) >= text.size()) {
        ++i;
        return c;
    }
    char32_t cp = c & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        unsigned char cc = byte(i + k);
        if ((cc & 0xC0) != 0x80) {
            ++i;
            return c;
        }
        cp = (cp << 6) | (cc & 0x3F);
    }
    i += extra + 1;
    return cp;
}

void append_utf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

template <class T, class F>
std::string join_list(const std::vector<T>& values, F&& form) {
    std::string out = "[";
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i) out += ", ";
        out += form(values[i]);
    }
    return out + "]";
}

}  // namespace

ShortestDigits shortest_digits(double value) {
    ShortestDigits d;
    char buf[32];
    // Integral values below 2^53 are their own shortest digits (trailing zeros dropped); the
    // integer conversion is several times faster than the general one.
    if (std::fabs(value) < 0x1p53 && value == std::trunc(value)) {
        d.negative = std::signbit(value);
        const auto integer = static_cast<std::uint64_t>(std::fabs(value));
        char* end = std::to_chars(buf, buf + sizeof buf, integer).ptr;
        d.point = static_cast<int>(end - buf);
        while (end - buf > 1 && end[-1] == '0') --end;
        d.count = static_cast<int>(end - buf);
        std::memcpy(d.digits.data(), buf, static_cast<std::size_t>(d.count));
        return d;
    }
    // "-d.ddde-XX": the first digit, then the ones after the point, then the exponent.
    const char* const end = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific).ptr;
    const char* p = buf;
    if (*p == '-') {
        d.negative = true;
        ++p;
    }
    const char* e = end - 1;
    while (*e != 'e') --e;
    // The first digit, then those after the point, each piece copied whole (buf has room).
    d.digits[0] = p[0];
    std::memcpy(d.digits.data() + 1, p + 2, 16);
    d.count = p[1] == '.' ? static_cast<int>(e - p) - 1 : 1;
    int exponent = 0;
    for (const char* x = e + 2; x < end; ++x) exponent = 10 * exponent + (*x - '0');
    d.point = (e[1] == '-' ? -exponent : exponent) + 1;
    return d;
}

std::string num(double value) {
    if (!std::isfinite(value)) return non_finite(value);
    return positional(shortest_digits(value));
}

std::string fixed(double value, int digits) {
    if (!std::isfinite(value)) return non_finite(value);
    char buf[400];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, digits);
    return std::string(buf, res.ptr);
}

std::string debug_num(double value) {
    if (!std::isfinite(value)) return non_finite(value);
    const ShortestDigits d = shortest_digits(value);
    const double mag = std::fabs(value);
    if (mag != 0.0 && (mag < 1e-4 || mag >= 1e16)) {  // "1e-7", "-1.5e16"
        std::string out = d.negative ? "-" : "";
        append_digits(out, d, 0, 1);
        if (d.count > 1) {
            out += '.';
            append_digits(out, d, 1, d.count);
        }
        return out + "e" + std::to_string(d.point - 1);
    }
    std::string out = positional(d);
    if (d.point >= d.count) out += ".0";
    return out;
}

namespace {

// The text between `quote` characters with backslash escapes; the other quote stays as it is.
std::string quoted(std::string_view text, char32_t quote) {
    std::string out;
    append_utf8(out, quote);
    for (std::size_t i = 0; i < text.size();) {
        char32_t cp = next_code_point(text, i);
        switch (cp) {
            case U'\0': out += "\\0"; break;
            case U'\t': out += "\\t"; break;
            case U'\r': out += "\\r"; break;
            case U'\n': out += "\\n"; break;
            case U'\\': out += "\\\\"; break;
            default:
                if (cp == quote) {
                    out += '\\';
                    append_utf8(out, cp);
                } else if (!is_printable(cp)) {
                    char buf[16];
                    std::snprintf(buf, sizeof buf, "\\u{%x}", static_cast<unsigned>(cp));
                    out += buf;
                } else {
                    append_utf8(out, cp);
                }
        }
    }
    append_utf8(out, quote);
    return out;
}

}  // namespace

std::string debug(std::string_view text) { return quoted(text, U'"'); }

std::string debug_opt_char(const std::optional<std::string>& character) {
    return character ? "Some(" + quoted(*character, U'\'') + ")" : "None";
}

std::string debug_list(const std::vector<std::int64_t>& values) {
    return join_list(values, [](std::int64_t v) { return std::to_string(v); });
}

std::string debug_list(const std::vector<double>& values) { return join_list(values, debug_num); }

std::string debug_list(const std::vector<std::string>& values) {
    return join_list(values, [](const std::string& v) { return debug(v); });
}

std::string debug_opt(std::optional<double> value) {
    return value ? "Some(" + debug_num(*value) + ")" : "None";
}

}  // namespace base
