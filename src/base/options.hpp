#pragma once
// Option words: the texts by which a caller names one value of an enumerated choice ("One-Sided",
// "cd", "eb"). Each option declares one constexpr table beside its enum class: how a text is
// normalised before matching, the accepted words (already in normalised form) with the value each
// selects, and the failure message. `parse_option` normalises, matches and throws base::Error.
//
//   inline constexpr base::OptionTable<Terrain, 3> TERRAIN_WORDS{
//       base::Normalise::Lower, "unknown terrain: {}",
//       {{{"level", Terrain::Level}, {"rolling", Terrain::Rolling}, {"mountainous", Terrain::Mountainous}}}};
//
//   base::parse_option(TERRAIN_WORDS, "Rolling")   // Terrain::Rolling
//   base::parse_option(TERRAIN_WORDS, " Flat")     // throws "unknown terrain:  flat"
//
// In the message "{}" stands for the normalised text, "{:?}" for it in debug form (double quotes,
// backslash escapes) and "{given:?}" for the text as given, in debug form. A table may add an
// `empty_message` for a text that normalises to nothing.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace base {

// Normalisation steps, applied in the order listed whatever the order they are combined in.
enum class Normalise : std::uint8_t {
    None = 0,
    Trim = 1,           // remove Unicode White_Space at both ends (base::text::trim)
    Lower = 2,          // ASCII A-Z to a-z
    Upper = 4,          // ASCII a-z to A-Z (approach codes: "nb" -> "NB")
    NoSeparators = 8,   // delete every blank (U+0020), hyphen and underscore
    FirstChar = 16,     // keep the first byte only ("Best" -> "B" after Upper)
};

constexpr Normalise operator|(Normalise a, Normalise b) {
    return static_cast<Normalise>(static_cast<std::uint8_t>(a) | static_cast<std::uint8_t>(b));
}

constexpr bool has(Normalise set, Normalise step) {
    return (static_cast<std::uint8_t>(set) & static_cast<std::uint8_t>(step)) != 0;
}

template <class E>
struct OptionWord {
    std::string_view word;  // in normalised form
    E value;
};

template <class E, std::size_t N>
struct OptionTable {
    Normalise normalise;
    std::string_view message;           // "{}", "{:?}": normalised text, "{given:?}": given text
    std::array<OptionWord<E>, N> words;
    std::string_view empty_message{};   // for a text that normalises to "", when not the message
};

// `text` normalised by the steps in `how`.
std::string normalise_option(std::string_view text, Normalise how);

// Throws base::Error with `message` (or `empty_message` when `normalised` is empty and one is
// given), its placeholders filled in.
[[noreturn]] void throw_unknown_option(std::string_view message, std::string_view empty_message,
                                       std::string_view normalised, std::string_view given);

// The value whose word equals the normalised `text` (the first such word); base::Error otherwise.
template <class E, std::size_t N>
E parse_option(const OptionTable<E, N>& table, std::string_view text) {
    const std::string word = normalise_option(text, table.normalise);
    for (const OptionWord<E>& entry : table.words) {
        if (entry.word == word) return entry.value;
    }
    throw_unknown_option(table.message, table.empty_message, word, text);
}

}  // namespace base
