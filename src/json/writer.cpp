#include "json/writer.hpp"

#include <charconv>
#include <cstddef>
#include <string_view>

namespace jsonio {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The shortest round-trip digits of a float token, laid out as the JSON output wants them:
// plain decimals from 1e-5 up to below 1e16 (integral values with ".0"), otherwise a mantissa and
// an exponent without "+" or leading zeros ("1e16", "1.5e-7"). Zero keeps its token ("0.0", "-0.0").
std::string shortest_float(std::string_view token) {
    double value = 0.0;
    auto parsed = std::from_chars(token.data(), token.data() + token.size(), value);
    if (parsed.ec != std::errc() || value == 0.0) return std::string(token);
    char buf[32];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);  // "-9.0658099e+01"
    std::string_view sci(buf, static_cast<std::size_t>(res.ptr - buf));
    const std::size_t e = sci.find('e');
    const bool negative = sci[0] == '-';
    std::string digits;
    for (std::size_t i = negative ? 1 : 0; i < e; ++i) {
        if (sci[i] != '.') digits += sci[i];
    }
    int exponent = 0;
    std::string_view exp_text = sci.substr(e + 1);
    if (exp_text.front() == '+') exp_text.remove_prefix(1);
    std::from_chars(exp_text.data(), exp_text.data() + exp_text.size(), exponent);
    const auto length = static_cast<int>(digits.size());
    const int point = exponent + 1;  // 10^(point-1) <= |value| < 10^point

    std::string out = negative ? "-" : "";
    if (point >= length && point <= 16) {
        out += digits + std::string(static_cast<std::size_t>(point - length), '0') + ".0";
    } else if (point > 0 && point <= 16) {
        out += digits.substr(0, static_cast<std::size_t>(point)) + "." + digits.substr(static_cast<std::size_t>(point));
    } else if (point > -5 && point <= 0) {
        out += "0." + std::string(static_cast<std::size_t>(-point), '0') + digits;
    } else if (length == 1) {
        out += digits + "e" + std::to_string(exponent);
    } else {
        out += digits.substr(0, 1) + "." + digits.substr(1) + "e" + std::to_string(exponent);
    }
    return out;
}

// nlohmann writes floats with Grisu2, which is round-trip exact but now and then one digit longer
// than needed ("90.65809900000001" for 90.658099), and with exponents such as "1e-05". Rewrites
// every float token of its output (a number with a point or an exponent; strings are skipped).
std::string with_shortest_floats(std::string text) {
    std::string out;
    bool changed = false;
    std::size_t copied = 0;
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        const char c = text[i];
        if (c == '"') {
            for (++i; i < n && text[i] != '"'; ++i) {
                if (text[i] == '\\') ++i;
            }
            ++i;
            continue;
        }
        if (c != '-' && !is_digit(c)) {
            ++i;
            continue;
        }
        std::size_t j = i;
        bool is_float = false;
        while (j < n && (is_digit(text[j]) || text[j] == '-' || text[j] == '+' || text[j] == '.' || text[j] == 'e' ||
                         text[j] == 'E')) {
            is_float = is_float || text[j] == '.' || text[j] == 'e' || text[j] == 'E';
            ++j;
        }
        if (is_float) {
            std::string_view token(text.data() + i, j - i);
            std::string shortest = shortest_float(token);
            if (shortest != token) {
                if (!changed) out.reserve(n);
                changed = true;
                out.append(text, copied, i - copied);
                out += shortest;
                copied = j;
            }
        }
        i = j;
    }
    if (!changed) return text;
    out.append(text, copied, std::string::npos);
    return out;
}

std::string dump_with(const Json& value, int indent) {
    try {
        return with_shortest_floats(value.dump(indent));
    } catch (const nlohmann::json::type_error&) {
        throw base::Error("invalid UTF-8 in string");
    }
}

}  // namespace

std::string dump(const Json& value) { return dump_with(value, -1); }
std::string dump_pretty(const Json& value) { return dump_with(value, 2); }

}  // namespace jsonio
