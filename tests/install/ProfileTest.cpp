#include "install/Profile.hpp"

#include "platform/DecodingError.hpp"
#include "platform/FileError.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <regex>

// The strict reading rules are the JSON reader's (tests/platform); these cases prove a
// profile is read through them, and pin its written form (golden/team.cmprofile).
namespace cairnmoor {
namespace {

using Json = nlohmann::json;

const std::filesystem::path golden = CAIRNMOOR_SOURCE_DIR "/tests/install/golden/team.cmprofile";
// clang-format off
const Profile team{2, "2026-12-05T18:39:05Z", {"wget", "caf\xC3\xA9 \"quoted\" \\", "wget"}, // duplicates stay
                   InstallOptions{PackageManager::macports, false, true, true, false, 42, ExistingApps::adopt, false}};
// clang-format on

// Sorted keys, two-space indents, and every option, the manager too; invalid UTF-8 is
// refused, not mangled, and leaves the file as it was.
TEST(Profile, IsWrittenInItsFixedFormAndReadBackWhole) {
    testing::TempDir dir;
    team.write(dir / "team.cmprofile");
    EXPECT_EQ(testing::readFile(dir / "team.cmprofile"), testing::readFile(golden));
    EXPECT_EQ(Profile::load(golden), team);
    Profile invalid = team;
    invalid.apps.push_back("bad \xFF");
    EXPECT_ANY_THROW(invalid.write(dir / "team.cmprofile"));
    EXPECT_EQ(testing::readFile(dir / "team.cmprofile"), testing::readFile(golden));
    EXPECT_TRUE(
        std::regex_match(Profile::iso8601Now(), std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)")));
    EXPECT_THROW(Profile::load(dir / "missing.cmprofile"), FileError);
    EXPECT_THROW(Profile::load(dir.write("junk.cmprofile", "\x89PNG\r\n")), DecodingError);
}

// Each change merged into the golden profile (null removes a key), and the manager with
// the options added later that it then reads, or the start of the decoder's detail. A
// missing manager is Homebrew; options added later keep their defaults when missing.
TEST(Profile, ReadsStrictlyWithDefaultsOnlyForTheManagerAndTheOptionsAddedLater) {
    // clang-format off
    const std::pair<const char*, std::string> cases[] = {
        {R"({"options": {"packageManager": null}})", "homebrew adopt"},
        {R"({"options": {"existingApps": null, "prefetch": null}})", "macports skip prefetch"},
        {R"({"options": {"timeoutSeconds": 1}})", "macports adopt"},
        {R"({"options": {"timeoutSeconds": 0}})", "error: Timeout must be positive."},
        {R"({"options": {"timeoutSeconds": -1}})", "error: Timeout must be positive."},
        {R"({"options": {"writeLog": null}})", "error: "},
        {R"({"options": {"packageManager": "Homebrew"}})", "error: "},
        {R"({"options": {"existingApps": "overwrite"}})", "error: "},
        {R"({"options": {"prefetch": "yes"}})", "error: "},
        {R"({"options": {"timeoutSeconds": 1.5}})", "error: "},
        {R"({"apps": ["wget", null]})", "error: "},
    };
    // clang-format on
    for (const auto& [patch, expected] : cases) {
        Json document = Json::parse(testing::readFile(golden));
        document.merge_patch(Json::parse(patch));
        std::string read;
        try {
            const InstallOptions options = Profile::decode(document.dump()).options;
            read = std::string(options.packageManager.rawValue()) + " " +
                   std::string(rawValue(options.existingApps)) +
                   (options.prefetch ? " prefetch" : "");
        } catch (const DecodingError& error) {
            read = "error: " + error.debugDescription();
        }
        EXPECT_EQ(read.substr(0, expected.size()), expected) << patch << ": " << read;
    }
}

} // namespace
} // namespace cairnmoor
