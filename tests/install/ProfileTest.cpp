#include "install/Profile.hpp"

#include "platform/DecodingError.hpp"
#include "platform/FileError.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <functional>
#include <regex>
#include <string>

// The strict reading rules are the JSON reader's (tests/platform); these cases prove a
// profile is read through them, and pin its written form (golden/team.cmprofile).
namespace cairnmoor {
namespace {

using Json = nlohmann::json;
namespace fs = std::filesystem;

const fs::path goldenPath = fs::path(CAIRNMOOR_SOURCE_DIR) / "tests/install/golden/team.cmprofile";

Profile teamProfile() {
    Profile profile;
    profile.created = "2026-12-05T18:39:05Z";
    profile.apps = {"wget", "caf\xC3\xA9 \"quoted\" \\", "wget"}; // duplicates stay
    profile.options = InstallOptions{PackageManager::macports, false, true, true, false, 42,
                                     ExistingApps::adopt, false};
    return profile;
}

// Sorted keys, two-space indents, and every option, the manager too.
TEST(Profile, IsWrittenInItsFixedFormAndReadBackWhole) {
    testing::TempDir dir;
    teamProfile().write(dir / "team.cmprofile");
    EXPECT_EQ(testing::readFile(dir / "team.cmprofile"), testing::readFile(goldenPath));
    EXPECT_EQ(Profile::load(goldenPath), teamProfile());
    Profile invalid = teamProfile(); // invalid UTF-8 is refused, not mangled
    invalid.apps.push_back("bad \xFF");
    EXPECT_ANY_THROW(invalid.write(dir / "team.cmprofile"));
    EXPECT_EQ(testing::readFile(dir / "team.cmprofile"), testing::readFile(goldenPath));
    EXPECT_TRUE(
        std::regex_match(Profile::iso8601Now(), std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)")));
}

TEST(Profile, ReadsStrictlyWithAMissingOrNullManagerMeaningHomebrew) {
    const Json golden = Json::parse(testing::readFile(goldenPath));
    const auto decoded = [&](const std::function<void(Json&)>& change) {
        Json document = golden;
        change(document);
        try {
            return std::string(Profile::decode(document.dump()).options.packageManager.rawValue());
        } catch (const DecodingError& error) {
            return "error: " + error.debugDescription();
        }
    };
    EXPECT_EQ(decoded([](Json& d) { d["options"].erase("packageManager"); }), "homebrew");
    // Options added later keep their defaults when a profile predates them.
    Json older = golden;
    older["options"].erase("existingApps");
    older["options"].erase("prefetch");
    const InstallOptions options = Profile::decode(older.dump()).options;
    EXPECT_EQ(options.existingApps, ExistingApps::skip);
    EXPECT_TRUE(options.prefetch);
    EXPECT_EQ(decoded([](Json& d) { d["options"]["packageManager"] = nullptr; }), "homebrew");
    EXPECT_EQ(decoded([](Json& d) { d["options"]["timeoutSeconds"] = 1; }), "macports");
    EXPECT_EQ(decoded([](Json& d) { d["options"]["timeoutSeconds"] = 0; }),
              "error: Timeout must be positive.");
    EXPECT_EQ(decoded([](Json& d) { d["options"]["timeoutSeconds"] = -1; }),
              "error: Timeout must be positive.");
    for (const auto& change : std::vector<std::function<void(Json&)>>{
             [](Json& d) { d["options"].erase("writeLog"); },
             [](Json& d) { d["options"]["packageManager"] = "Homebrew"; },
             [](Json& d) { d["options"]["existingApps"] = "overwrite"; },
             [](Json& d) { d["options"]["prefetch"] = "yes"; },
             [](Json& d) { d["options"]["timeoutSeconds"] = 1.5; },
             [](Json& d) { d["apps"].push_back(nullptr); }}) {
        EXPECT_TRUE(decoded(change).starts_with("error: "));
    }
}

TEST(Profile, FileProblemsAreFileErrorsAndBadContentIsADecodingError) {
    testing::TempDir dir;
    EXPECT_THROW(Profile::load(dir / "missing.cmprofile"), FileError);
    EXPECT_THROW(Profile::load(dir.write("junk.cmprofile", "\x89PNG\r\n")), DecodingError);
}

} // namespace
} // namespace cairnmoor
