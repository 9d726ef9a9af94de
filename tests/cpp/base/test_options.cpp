#include <gtest/gtest.h>

#include <string_view>

#include "../support/checks.hpp"
#include "base/options.hpp"

using base::Normalise;
using base::normalise_option;
using base::parse_option;
using testing_support::error_of;

namespace {

struct NormaliseCase {
    Normalise how;
    std::string_view text;
    std::string_view expect;
};

class NormaliseOption : public ::testing::TestWithParam<NormaliseCase> {};

TEST_P(NormaliseOption, AppliesTheStepsInTheirOwnOrder) {
    EXPECT_EQ(normalise_option(GetParam().text, GetParam().how), GetParam().expect);
}

INSTANTIATE_TEST_SUITE_P(
    Options, NormaliseOption,
    ::testing::Values(NormaliseCase{Normalise::None, " Cross-Flow ", " Cross-Flow "},
                      NormaliseCase{Normalise::Lower, " Cross-Flow\xC3\x89", " cross-flow\xC3\x89"},  // U+00C9 stays
                      NormaliseCase{Normalise::Upper, "nb ", "NB "},
                      NormaliseCase{Normalise::Lower | Normalise::NoSeparators, "Cross _-Flow\t", "crossflow\t"},
                      NormaliseCase{Normalise::Trim | Normalise::Lower, "\xE2\x80\x83 Level\xC2\xA0", "level"},
                      // trimmed before the first character is taken; upper-cased whichever comes first
                      NormaliseCase{Normalise::FirstChar | Normalise::Upper | Normalise::Trim, "  best", "B"},
                      NormaliseCase{Normalise::NoSeparators | Normalise::FirstChar, "-_ x", "x"},
                      NormaliseCase{Normalise::Trim | Normalise::FirstChar, " \xE3\x80\x80", ""}));

enum class Flow : unsigned char { Random, Platooned };

constexpr base::OptionTable<Flow, 3> FLOW_WORDS{
    Normalise::Lower | Normalise::NoSeparators,
    "unknown flow {} / {:?} / {given:?}; {x}",
    {{{"random", Flow::Random}, {"platoon", Flow::Platooned}, {"platooned", Flow::Platooned}}}};

constexpr base::OptionTable<Flow, 1> STRICT_WORDS{
    Normalise::Trim, "no {}", {{{"Random", Flow::Random}}}, "empty, got {given:?}"};

TEST(ParseOption, MatchesTheNormalisedWord) {
    EXPECT_EQ(parse_option(FLOW_WORDS, "Platoon-ed"), Flow::Platooned);
    EXPECT_EQ(parse_option(FLOW_WORDS, "RANDOM"), Flow::Random);
    EXPECT_EQ(parse_option(STRICT_WORDS, " Random\n"), Flow::Random);
}

TEST(ParseOption, MessageFillsEveryPlaceholder) {
    EXPECT_EQ(error_of([] { parse_option(FLOW_WORDS, "Pla\"t-o"); }),
              "unknown flow pla\"to / \"pla\\\"to\" / \"Pla\\\"t-o\"; {x}");
    EXPECT_EQ(error_of([] { parse_option(STRICT_WORDS, "random"); }), "no random");
}

TEST(ParseOption, EmptyMessageOnlyForATextThatNormalisesToNothing) {
    EXPECT_EQ(error_of([] { parse_option(STRICT_WORDS, " \t"); }), "empty, got \" \\t\"");
    EXPECT_EQ(error_of([] { parse_option(FLOW_WORDS, "-"); }), "unknown flow  / \"\" / \"-\"; {x}");
}

}  // namespace
