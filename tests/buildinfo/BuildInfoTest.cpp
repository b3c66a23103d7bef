#include "buildinfo/BuildInfo.hpp"

#include "support/TempDir.hpp"

#include <gtest/gtest.h>

namespace cairnmoor {
namespace {

// What the dictionary says is shown as it is, even empty; a value missing or not a string
// falls back.
TEST(BuildInfo, ShowsTheDictionarysTextsAsTheyAre) {
    const Bundle odd("/A.app", std::nullopt, std::nullopt,
                     {{"CFBundleShortVersionString", std::string()},
                      {"NSHumanReadableCopyright", std::int64_t{3}}});
    EXPECT_EQ(BuildInfo::version(odd) + "|" + BuildInfo::buildDate(odd) + "|" +
                  BuildInfo::publisher(odd),
              "|unknown|Tallowin");
}

// The bytes hashed are the file's, a NUL and a byte above 0x7F included.
TEST(BuildInfo, TheChecksumIsTheSha256OfTheExecutablesContentsOrNone) {
    testing::TempDir dir;
    const auto checksum = [](std::optional<std::filesystem::path> executable) {
        return BuildInfo::executableSHA256(Bundle("/A.app", std::nullopt, executable, {}))
            .value_or("none");
    };
    EXPECT_EQ(checksum(dir.write("Cairnmoor", {"\0\xff", 2})),
              "06eb7d6a69ee19e5fbdf749018d3d2abfa04bcbd1365db312eb86dc7169389b8");
    EXPECT_EQ(checksum(dir / "gone") + checksum(dir.path()) + checksum({}), "nonenonenone");
}

TEST(SignatureSummary, NamesTheAuthorityAndATeamOnlyWhenVerifiedAndRecorded) {
    EXPECT_EQ((SignatureState{true, "Ann", "T1"}.summary()), "Ann (Team T1)");
    EXPECT_EQ((SignatureState{true, "Ann", ""}.summary()), "Ann");
    EXPECT_EQ((SignatureState{false, "Ann", "T1"}.summary()).find("Ann"), std::string::npos);
}

} // namespace
} // namespace cairnmoor
