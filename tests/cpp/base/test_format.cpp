#include <gtest/gtest.h>

#include <cmath>

#include "../support/checks.hpp"
#include "base/format.hpp"

using namespace base;
using namespace testing_support;

namespace {

struct NumCase {
    double value;
    const char* text;
};

class NumFormat : public ::testing::TestWithParam<NumCase> {};

TEST_P(NumFormat, ShortestWithoutExponentOrTrailingZero) { EXPECT_EQ(num(GetParam().value), GetParam().text); }

INSTANTIATE_TEST_SUITE_P(Messages, NumFormat,
                         ::testing::Values(NumCase{8.0, "8"}, NumCase{0.5, "0.5"}, NumCase{-10.0, "-10"},
                                           NumCase{1e-7, "0.0000001"}, NumCase{1.2, "1.2"},
                                           NumCase{1e21, "1000000000000000000000"}, NumCase{0.1 + 0.2, "0.30000000000000004"},
                                           // Shortest digits padded with zeros, not the exact binary value.
                                           NumCase{1e23, "100000000000000000000000"}, NumCase{-1.5e17, "-150000000000000000"},
                                           NumCase{-0.0, "-0"}, NumCase{9007199254740993.0, "9007199254740992"},
                                           NumCase{kNaN, "NaN"}, NumCase{kInf, "inf"}, NumCase{-kInf, "-inf"}));

struct DigitsCase {
    double value;
    const char* digits;
    int point;
    bool negative;
};

class Digits : public ::testing::TestWithParam<DigitsCase> {};

TEST_P(Digits, ShortestRoundTripDigitsAndPoint) {
    const ShortestDigits d = shortest_digits(GetParam().value);
    EXPECT_EQ(std::string(d.digits.data(), static_cast<std::size_t>(d.count)), GetParam().digits);
    EXPECT_EQ(d.point, GetParam().point);
    EXPECT_EQ(d.negative, GetParam().negative);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, Digits,
    ::testing::Values(DigitsCase{0.0, "0", 1, false}, DigitsCase{-0.0, "0", 1, true},
                      DigitsCase{1500.0, "15", 4, false},  // integral: trailing zeros dropped
                      DigitsCase{-0.0125, "125", -1, true}, DigitsCase{0.1 + 0.2, "30000000000000004", 0, false},
                      DigitsCase{9007199254740991.0, "9007199254740991", 16, false},  // 2^53 - 1
                      DigitsCase{9007199254740992.0, "9007199254740992", 16, false},  // 2^53: the general path
                      DigitsCase{1e23, "1", 24, false}, DigitsCase{5e-324, "5", -323, false},
                      DigitsCase{-1.7976931348623157e308, "17976931348623157", 309, true}));

TEST(Fixed, RoundsToDigits) {
    EXPECT_EQ(fixed(2.0, 2), "2.00");
    EXPECT_EQ(fixed(1.005, 2), "1.00");  // 1.005 is stored just below the tie
    EXPECT_EQ(fixed(62.456, 1), "62.5");
    EXPECT_EQ(fixed(kNaN, 2), "NaN");
    EXPECT_EQ(fixed(-kInf, 3), "-inf");
}

TEST(DebugNum, KeepsPointAndUsesExponentAtExtremes) {
    EXPECT_EQ(debug_num(12.0), "12.0");
    EXPECT_EQ(debug_num(0.5), "0.5");
    EXPECT_EQ(debug_num(1e-7), "1e-7");
    EXPECT_EQ(debug_num(1.5e16), "1.5e16");
    EXPECT_EQ(debug_num(0.0), "0.0");
}

TEST(DebugText, QuotesAndEscapes) {
    EXPECT_EQ(debug("7.2"), "\"7.2\"");
    EXPECT_EQ(debug("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(debug("7\t.1\n\r"), "\"7\\t.1\\n\\r\"");
    EXPECT_EQ(debug(std::string("\x01", 1)), "\"\\u{1}\"");
    EXPECT_EQ(debug("caf\xC3\xA9"), "\"caf\xC3\xA9\"");  // printable non-ASCII stays
}

TEST(DebugText, EscapesNonPrintableUnicode) {
    // No-break space, zero-width space, byte order mark, a noncharacter, a private-use character.
    EXPECT_EQ(debug("\xC2\xA0" "7.2\xE2\x80\x8B"), "\"\\u{a0}7.2\\u{200b}\"");
    EXPECT_EQ(debug("\xEF\xBB\xBF\xEF\xBF\xBE\xEE\x80\x80"), "\"\\u{feff}\\u{fffe}\\u{e000}\"");
    EXPECT_EQ(debug("\xC2\x85"), "\"\\u{85}\"");
    // Letters, symbols and combining marks beyond ASCII stay as they are.
    EXPECT_EQ(debug("\xE2\x80\x90\xE3\x81\x82\xF0\x9F\x98\x80\xCC\x81"), "\"\xE2\x80\x90\xE3\x81\x82\xF0\x9F\x98\x80\xCC\x81\"");
}

TEST(DebugCollections, ListsAndOptionals) {
    EXPECT_EQ(debug_list(std::vector<std::int64_t>{0, 1, 2}), "[0, 1, 2]");
    EXPECT_EQ(debug_list(std::vector<std::int64_t>{}), "[]");
    EXPECT_EQ(debug_list(std::vector<double>{8.0, 0.5}), "[8.0, 0.5]");
    EXPECT_EQ(debug_list(std::vector<std::string>{"a", "b"}), "[\"a\", \"b\"]");
    EXPECT_EQ(debug_opt(12.0), "Some(12.0)");
    EXPECT_EQ(debug_opt(std::nullopt), "None");
    EXPECT_EQ(debug_opt_char("C"), "Some('C')");
    EXPECT_EQ(debug_opt_char("'"), "Some('\\'')");  // the single quote escaped, a double quote not
    EXPECT_EQ(debug_opt_char("\""), "Some('\"')");
    EXPECT_EQ(debug_opt_char(std::nullopt), "None");
}
}  // namespace
