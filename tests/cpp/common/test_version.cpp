#include <gtest/gtest.h>

#include <string>

#include "../support/checks.hpp"
#include "hcm/common/error.hpp"
#include "hcm/common/version.hpp"

using namespace hcm::common::version;
using testing_support::error_of;

namespace {

class AcceptedSpelling : public ::testing::TestWithParam<std::pair<const char*, HcmVersion>> {};

TEST_P(AcceptedSpelling, Parses) { EXPECT_EQ(from_str(GetParam().first), GetParam().second); }

INSTANTIATE_TEST_SUITE_P(
    Editions, AcceptedSpelling,
    ::testing::Values(std::pair{"7", HcmVersion::Hcm7}, std::pair{"7.0", HcmVersion::Hcm7},
                      std::pair{"7.1", HcmVersion::Hcm7_1}, std::pair{"V7.1", HcmVersion::Hcm7_1},
                      std::pair{"HCM 7", HcmVersion::Hcm7}, std::pair{"hcm7.1", HcmVersion::Hcm7_1},
                      std::pair{"HCM_7.1", HcmVersion::Hcm7_1}, std::pair{"HCM V7.0", HcmVersion::Hcm7},
                      std::pair{" 7.1 ", HcmVersion::Hcm7_1}, std::pair{"7 .1", HcmVersion::Hcm7_1},
                      std::pair{"\xE3\x80\x80" "7.1\xC2\xA0", HcmVersion::Hcm7_1},  // U+3000 and U+00A0 trimmed
                      std::pair{"vvv7", HcmVersion::Hcm7}));

class RefusedSpelling : public ::testing::TestWithParam<const char*> {};

TEST_P(RefusedSpelling, FailsNamingTheTextAsPassed) {
    std::string text = GetParam();
    const std::string message = error_of([&] { from_str(text); });
    EXPECT_EQ(message.rfind("unknown HCM version ", 0), 0u) << "accepted " << text;
    EXPECT_NE(message.find("; expected one of \"7\" or \"7.1\""), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Editions, RefusedSpelling,
                         ::testing::Values("7.10", "7th", "8", "", "7\t.1", "hhcmcm7", "7.2"));

TEST(VersionMessage, ShowsTextWithBlanksAndEscapes) {
    EXPECT_THROW(from_str(" 7.2 "), hcm::Error);
    EXPECT_EQ(error_of([] { from_str(" 7.2 "); }),
              "unknown HCM version \" 7.2 \"; expected one of \"7\" or \"7.1\"");
    EXPECT_EQ(error_of([] { from_str("7\t.1"); }),
              "unknown HCM version \"7\\t.1\"; expected one of \"7\" or \"7.1\"");
}

TEST(VersionChanges, OnlyChaptersOf71) {
    for (int ch = 0; ch <= 255; ++ch) {
        bool expected = ch == 13 || ch == 14 || ch == 27 || ch == 28;
        EXPECT_EQ(changes_chapter(HcmVersion::Hcm7_1, static_cast<std::uint8_t>(ch)), expected) << ch;
        EXPECT_FALSE(changes_chapter(HcmVersion::Hcm7, static_cast<std::uint8_t>(ch)));
    }
    EXPECT_EQ(label(HcmVersion::Hcm7), "7");
    EXPECT_EQ(label(HcmVersion::Hcm7_1), "7.1");
}

TEST(SeventhEditionStep, RefusedOnAnotherEditionNamingTheStep) {
    EXPECT_NO_THROW(require_7th_edition_step(HcmVersion::Hcm7, "estimate_speed"));
    EXPECT_EQ(error_of([] { require_7th_edition_step(HcmVersion::Hcm7_1, "estimate_speed"); }),
              "estimate_speed() implements the 7th Edition step structure, but this segment is version "
              "\"7.1\". Use run_analysis() or analysis_v7_1() instead.")
        << "edition 7.1 accepted";
}

}  // namespace
