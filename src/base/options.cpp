#include "base/options.hpp"

#include "base/error.hpp"
#include "base/format.hpp"
#include "base/text.hpp"

namespace base {

std::string normalise_option(std::string_view text, Normalise how) {
    const std::string_view kept = has(how, Normalise::Trim) ? text::trim(text) : text;
    std::string out;
    out.reserve(kept.size());
    for (char c : kept) {
        if (has(how, Normalise::NoSeparators) && (c == ' ' || c == '-' || c == '_')) continue;
        if (has(how, Normalise::Lower) && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (has(how, Normalise::Upper) && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        out.push_back(c);
        if (has(how, Normalise::FirstChar)) break;
    }
    return out;
}

void throw_unknown_option(std::string_view message, std::string_view empty_message, std::string_view normalised,
                          std::string_view given) {
    if (normalised.empty() && !empty_message.empty()) message = empty_message;
    struct Placeholder {
        std::string_view mark;
        std::string text;
    };
    const Placeholder placeholders[] = {{"{}", std::string(normalised)}, {"{:?}", debug(normalised)}, {"{given:?}", debug(given)}};
    std::string out;
    for (std::size_t i = 0; i < message.size();) {
        const Placeholder* hit = nullptr;
        for (const Placeholder& p : placeholders) {
            if (message.substr(i, p.mark.size()) == p.mark) hit = &p;
        }
        if (hit) {
            out.append(hit->text);
            i += hit->mark.size();
        } else {
            out.push_back(message[i++]);
        }
    }
    throw Error(out);
}

}  // namespace base
