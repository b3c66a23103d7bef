#include "buildinfo/BuildInfo.hpp"

#include "support/TempDir.hpp"
#include "support/TestNames.hpp"

#include <gtest/gtest.h>

#include <regex>
#include <string>

namespace cairnmoor {
namespace {

Bundle bundleWith(InfoDictionary info, std::optional<std::filesystem::path> executable = {}) {
    return Bundle("/Applications/Cairnmoor.app", std::nullopt, std::move(executable),
                  std::move(info));
}

// ---- Information-dictionary values --------------------------------------------------

TEST(DictionaryValues, FallBackWhenMissingOrNotAString) {
    for (const InfoDictionary& info :
         {InfoDictionary{}, InfoDictionary{{"CFBundleShortVersionString", std::int64_t{2}},
                                           {"BuildDate", true},
                                           {"NSHumanReadableCopyright", std::int64_t{0}}}}) {
        const Bundle bundle = bundleWith(info);
        EXPECT_EQ(BuildInfo::version(bundle), "0.0.0");
        EXPECT_EQ(BuildInfo::buildDate(bundle), "unknown");
        EXPECT_EQ(BuildInfo::publisher(bundle), "Tallowin");
    }
}

TEST(DictionaryValues, StringsAreShownUnchangedEvenWhenOdd) {
    const Bundle bundle = bundleWith({{"CFBundleShortVersionString", std::string("")},
                                      {"BuildDate", std::string("last Tuesday")},
                                      {"NSHumanReadableCopyright", std::string("\xC2\xA9 Ann")}});
    EXPECT_EQ(BuildInfo::version(bundle), "");
    EXPECT_EQ(BuildInfo::buildDate(bundle), "last Tuesday");
    EXPECT_EQ(BuildInfo::publisher(bundle), "\xC2\xA9 Ann");
}

TEST(DictionaryValues, ThisBuildCarriesItsVersionDateAndPublisher) {
    EXPECT_TRUE(std::regex_match(BuildInfo::version(), std::regex(R"(\d+\.\d+\.\d+)")))
        << BuildInfo::version();
    EXPECT_TRUE(std::regex_match(BuildInfo::buildDate(),
                                 std::regex(R"(\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}Z)")))
        << BuildInfo::buildDate();
    EXPECT_FALSE(BuildInfo::publisher().empty());
}

// ---- Fixed texts --------------------------------------------------------------------

TEST(FixedTexts, LinksAreHttpsWithTheirFixedPaths) {
    EXPECT_STREQ(BuildInfo::product, "Cairnmoor");
    EXPECT_NE(std::string(BuildInfo::author()), "");
    const std::regex https(R"(https://[^/\s]+(/\S*)?)");
    for (const char* link : {BuildInfo::toolsUrl(), BuildInfo::privacyUrl(),
                             BuildInfo::donationUrl(), BuildInfo::authorUrl()}) {
        EXPECT_TRUE(std::regex_match(link, https)) << link;
    }
    EXPECT_TRUE(std::string(BuildInfo::toolsUrl()).ends_with("/tools"));
    EXPECT_TRUE(std::string(BuildInfo::privacyUrl()).ends_with("/privacy"));
}

// ---- Executable checksum ------------------------------------------------------------

TEST(ExecutableChecksum, IsTheSha256OfTheExecutableFile) {
    testing::TempDir dir;
    const auto executable = dir.write("Cairnmoor", "abc");
    EXPECT_EQ(BuildInfo::executableSHA256(bundleWith({}, executable)),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(ExecutableChecksum, IsNoneWithoutAReadableExecutable) {
    testing::TempDir dir;
    EXPECT_EQ(BuildInfo::executableSHA256(bundleWith({})), std::nullopt);
    EXPECT_EQ(BuildInfo::executableSHA256(bundleWith({}, dir / "gone")), std::nullopt);
    EXPECT_EQ(BuildInfo::executableSHA256(bundleWith({}, dir.path())), std::nullopt);
}

TEST(ExecutableChecksum, OfTheRunningProgramIs64LowerCaseHexDigits) {
    ASSERT_TRUE(BuildInfo::executableURL());
    const auto digest = BuildInfo::executableSHA256();
    ASSERT_TRUE(digest);
    EXPECT_TRUE(std::regex_match(*digest, std::regex("[0-9a-f]{64}"))) << *digest;
}

// ---- Signature ----------------------------------------------------------------------

struct SummaryCase {
    SignatureState state;
    const char* summary;
    friend void PrintTo(const SummaryCase& c, std::ostream* os) {
        *os << (c.state.valid ? "valid" : "invalid") << "_"
            << testing::testNameText(c.state.authority.value_or("none")) << "_"
            << testing::testNameText(c.state.teamIdentifier.value_or("none"));
    }
};

class SignatureSummary : public ::testing::TestWithParam<SummaryCase> {};

TEST_P(SignatureSummary, DescribesTheState) {
    EXPECT_EQ(GetParam().state.summary(), GetParam().summary);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SignatureSummary,
    ::testing::Values(SummaryCase{{false, std::nullopt, std::nullopt},
                                  "Not signed, or the signature does not verify"},
                      SummaryCase{{false, "Developer ID Application: Ann", "ABCDE12345"},
                                  "Not signed, or the signature does not verify"},
                      SummaryCase{{true, std::nullopt, std::nullopt}, "unknown authority"},
                      SummaryCase{{true, "Developer ID Application: Ann", "ABCDE12345"},
                                  "Developer ID Application: Ann (Team ABCDE12345)"},
                      SummaryCase{{true, "Developer ID Application: Ann", ""},
                                  "Developer ID Application: Ann"},
                      SummaryCase{{true, "Developer ID Application: Ann", std::nullopt},
                                  "Developer ID Application: Ann"},
                      SummaryCase{{true, std::nullopt, "T1"}, "unknown authority (Team T1)"}));

#if !defined(__APPLE__)
TEST(Signature, IsNeverValidWhereThePlatformDoesNotSign) {
    const SignatureState state = BuildInfo::signature();
    EXPECT_EQ(state, (SignatureState{false, std::nullopt, std::nullopt}));
    EXPECT_EQ(state.summary(), "Not signed, or the signature does not verify");
}
#endif

} // namespace
} // namespace cairnmoor
