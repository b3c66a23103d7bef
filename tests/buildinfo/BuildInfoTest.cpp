#include "buildinfo/BuildInfo.hpp"

#include "support/TempDir.hpp"

#include <gtest/gtest.h>

#include <string>

namespace cairnmoor {
namespace {

Bundle bundleWith(InfoDictionary info, std::optional<std::filesystem::path> executable = {}) {
    return Bundle("/Applications/Cairnmoor.app", std::nullopt, std::move(executable),
                  std::move(info));
}

// What the dictionary says is shown as it is; a value missing or of another type falls back.
TEST(BuildInfo, ShowsTheDictionarysTextsAsTheyAre) {
    const Bundle odd = bundleWith({{"CFBundleShortVersionString", std::string("")},
                                   {"BuildDate", true},
                                   {"NSHumanReadableCopyright", std::string("\xC2\xA9 Ann")}});
    EXPECT_EQ(BuildInfo::version(odd) + "|" + BuildInfo::buildDate(odd) + "|" +
                  BuildInfo::publisher(odd),
              "|unknown|\xC2\xA9 Ann");
}

TEST(BuildInfo, TheChecksumIsTheSha256OfTheExecutablesContentsOrNone) {
    testing::TempDir dir;
    EXPECT_EQ(BuildInfo::executableSHA256(bundleWith({}, dir.write("Cairnmoor", "abc"))),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    for (const auto& executable : {std::optional(dir / "gone"), std::optional(dir.path()),
                                   std::optional<std::filesystem::path>()}) {
        EXPECT_EQ(BuildInfo::executableSHA256(bundleWith({}, executable)), std::nullopt);
    }
}

TEST(SignatureSummary, NamesTheAuthorityAndATeamOnlyWhenOneIsRecorded) {
    EXPECT_EQ((SignatureState{false, "Ann", "T1"}.summary()),
              "Not signed, or the signature does not verify");
    EXPECT_EQ((SignatureState{true, "Ann", "T1"}.summary()), "Ann (Team T1)");
    EXPECT_EQ((SignatureState{true, "Ann", ""}.summary()), "Ann");
}

} // namespace
} // namespace cairnmoor
