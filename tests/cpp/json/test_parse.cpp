#include <gtest/gtest.h>

#include <string>

#include "../support/checks.hpp"
#include "json/jsonio.hpp"

namespace {

struct SyntaxCase {
    const char* name;
    std::string text;
    std::string message;
};

std::string parse_error(const std::string& text) {
    return testing_support::error_of<jsonio::Error>([&] { jsonio::Document::parse(text); });
}

class SyntaxErrors : public ::testing::TestWithParam<SyntaxCase> {};

TEST_P(SyntaxErrors, MessageAndPosition) { EXPECT_EQ(parse_error(GetParam().text), GetParam().message); }

INSTANTIATE_TEST_SUITE_P(
    Parser, SyntaxErrors,
    ::testing::Values(
        SyntaxCase{"Empty", "", "EOF while parsing a value at line 1 column 0"},
        SyntaxCase{"OnlySpaces", "   ", "EOF while parsing a value at line 1 column 3"},
        SyntaxCase{"EofInObject", "{\"a\": 1", "EOF while parsing an object at line 1 column 7"},
        SyntaxCase{"EofAfterKey", "{\"a\"", "EOF while parsing an object at line 1 column 4"},
        SyntaxCase{"EofInList", "[1, 2\n", "EOF while parsing a list at line 1 column 6"},
        SyntaxCase{"EofAfterComma", "[1,", "EOF while parsing a value at line 1 column 3"},
        SyntaxCase{"EofAfterOpenBracket", "[", "EOF while parsing a list at line 1 column 1"},
        SyntaxCase{"EofAfterOpenBrace", "{", "EOF while parsing an object at line 1 column 1"},
        SyntaxCase{"EofInString", "[\"abc", "EOF while parsing a string at line 1 column 5"},
        SyntaxCase{"EofInLiteral", "nul", "EOF while parsing a value at line 1 column 3"},
        SyntaxCase{"BadLiteral", "[tru]", "expected ident at line 1 column 5"},
        SyntaxCase{"NotAValue", "[x]", "expected value at line 1 column 2"},
        SyntaxCase{"CommaFirst", "[,1]", "expected value at line 1 column 2"},
        SyntaxCase{"DoubleComma", "{\"a\": [1,,2]}", "expected value at line 1 column 10"},
        SyntaxCase{"MissingValue", "{\"a\": }", "expected value at line 1 column 7"},
        SyntaxCase{"TrailingCommaList", "[1,\n 2,\n]", "trailing comma at line 3 column 1"},
        SyntaxCase{"TrailingCommaObject", "{\"a\": 1,}", "trailing comma at line 1 column 9"},
        SyntaxCase{"KeyNotString", "{1: 2}", "key must be a string at line 1 column 2"},
        SyntaxCase{"KeyBareWord", "{\"a\": 1, b: 2}", "key must be a string at line 1 column 10"},
        SyntaxCase{"MissingColon", "{\"a\" 1}", "expected `:` at line 1 column 6"},
        SyntaxCase{"CommaForColon", "{\"a\", 1}", "expected `:` at line 1 column 5"},
        SyntaxCase{"MissingCommaObject", "{\"a\": 1\n \"b\": 2}", "expected `,` or `}` at line 2 column 2"},
        SyntaxCase{"MissingCommaList", "[1 23]", "expected `,` or `]` at line 1 column 4"},
        SyntaxCase{"StringAfterString", "[\"a\\\"b\" \"c\"]", "expected `,` or `]` at line 1 column 9"},
        SyntaxCase{"LeadingZero", "[01]", "invalid number at line 1 column 3"},
        SyntaxCase{"BadFraction", "[1.]", "invalid number at line 1 column 4"},
        SyntaxCase{"BadExponent", "[1e+]", "invalid number at line 1 column 5"},
        SyntaxCase{"LoneMinus", "-", "EOF while parsing a value at line 1 column 1"},
        SyntaxCase{"Overflow", "[1e400]", "number out of range at line 1 column 6"},
        SyntaxCase{"ControlCharacter", std::string("[\"a\x01\"]"),
                   "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 4"},
        SyntaxCase{"NewlineInString", "{\"a\": \"x\ny\"}",
                   "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 9"},
        SyntaxCase{"BadEscape", "[\"\\q\"]", "invalid escape at line 1 column 4"},
        SyntaxCase{"ShortUnicodeEscape", "[\"\\u12\"]", "invalid escape at line 1 column 7"},
        SyntaxCase{"LoneSurrogate", "[\"\\ud800\"]", "invalid unicode code point at line 1 column 9"},
        SyntaxCase{"BadUtf8", std::string("[\"\xff\"]"), "invalid UTF-8 at line 1 column 3"},
        SyntaxCase{"SecondDocument", "{\"a\": 1}\n {}", "trailing characters at line 2 column 2"},
        SyntaxCase{"ExtraBracket", "[1]]", "trailing characters at line 1 column 4"},
        SyntaxCase{"GarbageAfterNumber", "12 x", "trailing characters at line 1 column 4"},
        SyntaxCase{"TwoNumbers", "1 2", "trailing characters at line 1 column 3"},
        // A NUL byte does not end the document early.
        SyntaxCase{"NulAfterDocument", std::string("[1]\0x", 5), "trailing characters at line 1 column 4"},
        SyntaxCase{"NulForValue", std::string("[\0]", 3), "expected value at line 1 column 2"},
        SyntaxCase{"NulAfterElement", std::string("[1\0]", 4), "expected `,` or `]` at line 1 column 3"},
        // A byte-order mark is no white space: a value cannot start there, wherever it stands.
        SyntaxCase{"ByteOrderMark", "\xEF\xBB\xBF{}", "expected value at line 1 column 1"},
        SyntaxCase{"ByteOrderMarkAlone", "\xEF\xBB\xBF", "expected value at line 1 column 1"},
        SyntaxCase{"ByteOrderMarkCut", "\xEF\xBB{}", "expected value at line 1 column 1"},
        SyntaxCase{"ByteOrderMarkAfterSpace", " \xEF\xBB\xBF{}", "expected value at line 1 column 2"},
        SyntaxCase{"ByteOrderMarkInList", "[\xEF\xBB\xBF" "1]", "expected value at line 1 column 2"},
        SyntaxCase{"OtherLetterFirst", "\xC3\xA9{}", "expected value at line 1 column 1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Parse, SurroundingWhitespaceIsAllowed) {
    jsonio::Document doc = jsonio::Document::parse(" \t\r\n {\"a\": [1, 2]} \n\n ");
    ASSERT_TRUE(doc.root().is_object());
    EXPECT_EQ(doc.root().size(), 1u);
    EXPECT_EQ(doc.root().begin_position(), (jsonio::Position{2, 2}));
    EXPECT_EQ(doc.root().end_position(), (jsonio::Position{2, 14}));
}

TEST(Parse, NodePositionsAcrossLines) {
    jsonio::Document doc = jsonio::Document::parse("{\n  \"lanes\": 12,\n  \"name\": \"a\\\"b\",\n  \"x\": [true, null]\n}");
    std::vector<std::pair<std::string, jsonio::Position>> seen;
    for (jsonio::Member m : doc.root().members()) {
        seen.emplace_back(std::string(m.key) + "@key", m.key_position());
        seen.emplace_back(std::string(m.key) + "@begin", m.value.begin_position());
        seen.emplace_back(std::string(m.key) + "@end", m.value.end_position());
    }
    using P = jsonio::Position;
    std::vector<std::pair<std::string, jsonio::Position>> expected{
        {"lanes@key", P{2, 9}}, {"lanes@begin", P{2, 12}}, {"lanes@end", P{2, 13}},
        {"name@key", P{3, 8}},  {"name@begin", P{3, 11}},  {"name@end", P{3, 16}},
        {"x@key", P{4, 5}},     {"x@begin", P{4, 8}},      {"x@end", P{4, 19}}};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(doc.root().end_position(), (P{5, 1}));
    EXPECT_EQ(doc.root().find("name")->string(), "a\"b");
}

TEST(Parse, ScalarsKeepTheirKinds) {
    jsonio::Document doc = jsonio::Document::parse("[-3, 18446744073709551615, 2.5, 1e2, \"\\u00e9\", false, null]");
    std::vector<jsonio::Value> v;
    for (jsonio::Value e : doc.root().elements()) v.push_back(e);
    ASSERT_EQ(v.size(), 7u);
    EXPECT_EQ(v[0].int64(), -3);
    EXPECT_EQ(v[1].uint64(), 18446744073709551615ull);
    EXPECT_EQ(v[2].float64(), 2.5);
    EXPECT_EQ(v[3].float64(), 100.0);
    EXPECT_EQ(v[4].string(), "\xC3\xA9");
    EXPECT_FALSE(v[5].boolean());
    EXPECT_TRUE(v[6].is_null());
    EXPECT_THROW(v[0].string(), std::logic_error);
}

class Depth : public ::testing::TestWithParam<std::size_t> {};

std::string nested(std::size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); }

TEST(DepthLimit, AcceptsTheLimit) { EXPECT_NO_THROW(jsonio::Document::parse(nested(jsonio::kMaxDepth))); }

TEST_P(Depth, RefusesDeeperWithPosition) {
    std::size_t depth = GetParam();
    EXPECT_EQ(parse_error(nested(depth)), "recursion limit exceeded at line 1 column " + std::to_string(jsonio::kMaxDepth + 1));
}

INSTANTIATE_TEST_SUITE_P(DepthLimit, Depth, ::testing::Values(jsonio::kMaxDepth + 1, 100000));

TEST(DepthLimit, ObjectsCountToo) {
    std::string text;
    for (std::size_t i = 0; i <= jsonio::kMaxDepth; ++i) text += "{\"a\":";
    EXPECT_EQ(parse_error(text), "recursion limit exceeded at line 1 column " + std::to_string(5 * jsonio::kMaxDepth + 1));
}

}  // namespace
