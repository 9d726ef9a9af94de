#include <gtest/gtest.h>

#include <string_view>
#include <utility>

#include "../support/checks.hpp"
#include "base/text.hpp"
#include "hcm/common/common.hpp"
#include "hcm/common/error.hpp"

using hcm::common::Terrain;
using testing_support::error_of;
using base::text::lower_ascii;
using base::parse_option;
using hcm::common::TERRAIN_WORDS;
using base::text::trim;

namespace {

class Trim : public ::testing::TestWithParam<std::pair<std::string_view, std::string_view>> {};

TEST_P(Trim, RemovesWhiteSpaceAtBothEndsOnly) { EXPECT_EQ(trim(GetParam().first), GetParam().second); }

INSTANTIATE_TEST_SUITE_P(
    Text, Trim,
    ::testing::Values(
        std::pair<std::string_view, std::string_view>{" \t\n\v\f\r7.1\r\n", "7.1"},
        std::pair<std::string_view, std::string_view>{"\xC2\x85\xC2\xA0" "a b\xE1\x9A\x80", "a b"},  // U+0085, U+00A0, U+1680
        std::pair<std::string_view, std::string_view>{"\xE2\x80\x80\xE2\x80\x8A" "x\xE2\x80\xA8\xE2\x80\xA9", "x"},
        std::pair<std::string_view, std::string_view>{"\xE2\x80\xAF\xE2\x81\x9F" "x\xE3\x80\x80", "x"},
        std::pair<std::string_view, std::string_view>{"7\xC2\xA0.1", "7\xC2\xA0.1"},  // inner white space stays
        std::pair<std::string_view, std::string_view>{"\xE2\x80\x8B" "x", "\xE2\x80\x8B" "x"},  // U+200B is not white space
        std::pair<std::string_view, std::string_view>{"x\xC2", "x\xC2"},  // a cut sequence is not white space
        std::pair<std::string_view, std::string_view>{"\xE3\x80", "\xE3\x80"},
        std::pair<std::string_view, std::string_view>{" \xE3\x80\x80 ", ""},
        std::pair<std::string_view, std::string_view>{"", ""}));

TEST(LowerAscii, LowersOnlyAsciiLettersAndTrimsNothing) {
    EXPECT_EQ(lower_ascii("Two-Sided"), "two-sided");
    EXPECT_EQ(lower_ascii(" LEVEL "), " level ");
    EXPECT_EQ(lower_ascii("AZ@[`az{"), "az@[`az{");
    EXPECT_EQ(lower_ascii("\xC3\x89TAT"), "\xC3\x89tat");  // U+00C9 stays
    EXPECT_EQ(lower_ascii(""), "");
}

TEST(TerrainOption, AnyCaseOfTheThreeWords) {
    EXPECT_EQ(parse_option(TERRAIN_WORDS, "level"), Terrain::Level);
    EXPECT_EQ(parse_option(TERRAIN_WORDS, "Rolling"), Terrain::Rolling);
    EXPECT_EQ(parse_option(TERRAIN_WORDS, "MOUNTAINOUS"), Terrain::Mountainous);
}

class UnknownTerrain : public ::testing::TestWithParam<std::pair<std::string_view, std::string_view>> {};

TEST_P(UnknownTerrain, NamesTheLowerCasedWordUntrimmed) {
    EXPECT_EQ(error_of([] { parse_option(TERRAIN_WORDS, GetParam().first); }), GetParam().second)
        << "no error for " << GetParam().first;
}

INSTANTIATE_TEST_SUITE_P(Text, UnknownTerrain,
                         ::testing::Values(std::pair<std::string_view, std::string_view>{" Level", "unknown terrain:  level"},
                                           std::pair<std::string_view, std::string_view>{"Flat", "unknown terrain: flat"},
                                           std::pair<std::string_view, std::string_view>{"", "unknown terrain: "}));

}  // namespace
