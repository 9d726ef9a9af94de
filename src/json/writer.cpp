#include "json/writer.hpp"

#include <charconv>
#include <cmath>
#include <cstring>

#include "base/error.hpp"
#include "base/format.hpp"

namespace jsonio {
namespace {

// Room a float needs: its longest text (sign, "0.0000" and 17 digits) plus the slack of the
// fixed-size copies below.
constexpr std::size_t kFloatRoom = 64;
constexpr std::size_t kFloatChars = 24;  // "-0.0000" and 17 digits
constexpr std::size_t kIntegerChars = 24;

// A finite float as the documents write it: plain decimals from 1e-5 up to below 1e16 (integral
// values with ".0"), otherwise a mantissa and an exponent without "+" or leading zeros ("1e16",
// "1.5e-7"); zero as "0.0" or "-0.0". `out` has kFloatRoom bytes: the digits are copied in
// fixed-size pieces (no library call for a few bytes), and what lands past the end of the text is
// overwritten by what follows.
char* put_float(char* out, double value) {
    if (value == 0.0) {
        if (std::signbit(value)) *out++ = '-';
        std::memcpy(out, "0.0", 3);
        return out + 3;
    }
    const base::ShortestDigits d = base::shortest_digits(value);
    const char* digits = d.digits.data();  // 32 bytes: 17 digits at most, then scratch
    const int n = d.count;
    const int point = d.point;  // 10^(point-1) <= |value| < 10^point
    if (d.negative) *out++ = '-';
    if (point >= n && point <= 16) {  // integral: "1500.0"
        std::memcpy(out, digits, 17);
        std::memset(out + n, '0', 16);
        std::memcpy(out + point, ".0", 2);
        return out + point + 2;
    }
    if (point > 0 && point <= 16) {  // "90.658099"; here point < n <= 17
        std::memcpy(out, digits, 16);
        out[point] = '.';
        std::memcpy(out + point + 1, digits + point, 16);
        return out + n + 1;
    }
    if (point > -5 && point <= 0) {  // "0.00001"
        std::memcpy(out, "0.0000", 6);
        out += 2 - point;
        std::memcpy(out, digits, 17);
        return out + n;
    }
    std::memcpy(out, digits, 17);  // "1e16", "1.5e-7"
    if (n > 1) {
        out[1] = '.';
        std::memcpy(out + 2, digits + 1, 16);
        out += n + 1;
    } else {
        out += 1;
    }
    *out++ = 'e';
    return std::to_chars(out, out + 8, point - 1).ptr;
}

// Length of the well-formed UTF-8 sequence starting with a byte >= 0x80 at `p` (no overlong
// forms, no surrogates, nothing above U+10FFFF), or 0 when it is not one.
std::size_t utf8_sequence(const unsigned char* p, const unsigned char* end) {
    const unsigned char c = p[0];
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        if (c == 0xE0) low = 0xA0;
        if (c == 0xED) high = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        if (c == 0xF0) low = 0x90;
        if (c == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (static_cast<std::size_t>(end - p) < length || p[1] < low || p[1] > high) return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (p[i] < 0x80 || p[i] > 0xBF) return 0;
    }
    return length;
}

// The escape of an ASCII byte that cannot stand in a JSON string as itself, or none.
const char* short_escape(unsigned char c) {
    switch (c) {
        case '"': return "\\\"";
        case '\\': return "\\\\";
        case '\b': return "\\b";
        case '\f': return "\\f";
        case '\n': return "\\n";
        case '\r': return "\\r";
        case '\t': return "\\t";
        default: return nullptr;
    }
}

}  // namespace

void Writer::flush() {
    if (measuring_)
        measured_ += static_cast<std::size_t>(pos_ - buffer_);
    else
        text_.append(buffer_, static_cast<std::size_t>(pos_ - buffer_));
    pos_ = buffer_;
}

std::size_t Writer::bound() {
    flush();
    return measured_;
}

void Writer::put(const char* text, std::size_t n) {
    if (n > kBufferSize) {  // a long string: straight to the text
        flush();
        if (measuring_)
            measured_ += n;
        else
            text_.append(text, n);
        return;
    }
    std::memcpy(room(n), text, n);
    pos_ += n;
}

std::string Writer::take() {
    flush();
    return std::move(text_);
}

void Writer::new_line() {
    const std::size_t n = 1 + 2 * depth_;
    char* out = room(n);
    out[0] = '\n';
    std::memset(out + 1, ' ', n - 1);
    pos_ += n;
}

void Writer::separate() {
    if (after_key_) {
        after_key_ = false;
        return;
    }
    if (depth_ == 0) return;
    if (!empty_) put(',');
    empty_ = false;
    if (pretty_) new_line();
}

void Writer::close(char bracket) {
    --depth_;
    if (pretty_ && !empty_) new_line();
    put(bracket);
    empty_ = false;
}

void Writer::null() {
    separate();
    put("null", 4);
}

void Writer::boolean(bool value) {
    separate();
    if (value)
        put("true", 4);
    else
        put("false", 5);
}

void Writer::number(double value) {
    separate();
    if (!std::isfinite(value)) {
        put("null", 4);
    } else if (measuring_) {
        measured_ += kFloatChars;
    } else {
        pos_ = put_float(room(kFloatRoom), value);
    }
}

void Writer::numbers(std::span<const double> values) {
    begin_array();
    if (measuring_) {
        if (!values.empty()) {  // each with its separator, at most
            const std::size_t separator = 1 + (pretty_ ? 1 + 2 * depth_ : 0);
            measured_ += values.size() * (separator + kFloatChars);
            empty_ = false;
        }
    } else if (!pretty_ && !values.empty()) {  // the bulk of a large document: kept tight
        for (std::size_t i = 0; i < values.size(); ++i) {
            char* out = room(kFloatRoom + 1);
            if (i > 0) *out++ = ',';
            if (std::isfinite(values[i])) {
                pos_ = put_float(out, values[i]);
            } else {
                std::memcpy(out, "null", 4);
                pos_ = out + 4;
            }
        }
        empty_ = false;
    } else {
        for (double value : values) number(value);
    }
    end_array();
}

void Writer::integer(std::int64_t value) {
    separate();
    char* out = room(kIntegerChars);
    pos_ = std::to_chars(out, out + kIntegerChars, value).ptr;
}

void Writer::unsigned_integer(std::uint64_t value) {
    separate();
    char* out = room(kIntegerChars);
    pos_ = std::to_chars(out, out + kIntegerChars, value).ptr;
}

void Writer::string(std::string_view text) {
    separate();
    quoted(text);
}

void Writer::key(std::string_view name) {
    separate();
    quoted(name);
    if (pretty_)
        put(": ", 2);
    else
        put(':');
    after_key_ = true;
}

void Writer::open(char bracket) {
    separate();
    put(bracket);
    ++depth_;
    empty_ = true;
}

void Writer::begin_array() { open('['); }
void Writer::end_array() { close(']'); }
void Writer::begin_object() { open('{'); }
void Writer::end_object() { close('}'); }

void Writer::quoted(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* const end = p + text.size();
    const unsigned char* run = p;  // start of the bytes not yet copied
    auto copy_run = [&](const unsigned char* to) {
        put(reinterpret_cast<const char*>(run), static_cast<std::size_t>(to - run));
    };
    put('"');
    while (p != end) {
        const unsigned char c = *p;
        if (c >= 0x80) {
            const std::size_t length = utf8_sequence(p, end);
            if (length == 0) throw base::Error("invalid UTF-8 in string");
            p += length;
        } else if (c >= 0x20 && c != '"' && c != '\\') {
            ++p;
        } else {
            copy_run(p);
            if (const char* escape = short_escape(c)) {
                put(escape, 2);
            } else {
                static constexpr char kHex[] = "0123456789abcdef";
                const char code[] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 0xF]};
                put(code, sizeof code);
            }
            run = ++p;
        }
    }
    copy_run(end);
    put('"');
}

}  // namespace jsonio
