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

const std::filesystem::path golden = CAIRNMOOR_SOURCE_DIR "/tests/install/golden/team.cmprofile";
// clang-format off
const Profile team{2, "2026-12-05T18:39:05Z", {"wget", "caf\xC3\xA9 \"quoted\" \\", "wget"}, // duplicates stay
                   InstallOptions{PackageManager::macports, false, true, true, false, 42, ExistingApps::adopt, false, RunningAppPolicy::quit}, {}};
// clang-format on

// Sorted keys, two-space indents, and every option, the manager too; invalid UTF-8 is
// refused, not mangled, and leaves the file as it was. Reading is strict: each change below
// is merged into the golden profile (null removes a key) and gives the manager with the
// options added later that it then reads, or the start of the decoder's detail. A missing
// manager is Homebrew; options added later keep their defaults when missing.
TEST(Profile, IsWrittenInItsFixedFormAndReadBackStrictly) {
    testing::TempDir dir;
    team.write(dir / "team.cmprofile");
    EXPECT_ANY_THROW((Profile{2, "", {"wget", "bad \xFF"}, {}, {}}.write(dir / "team.cmprofile")));
    EXPECT_EQ(testing::readFile(dir / "team.cmprofile"), testing::readFile(golden));
    EXPECT_EQ(Profile::load(golden), team);
    EXPECT_TRUE(
        std::regex_match(Profile::iso8601Now(), std::regex(R"(\d{4}(-\d\d){2}T\d\d(:\d\d){2}Z)")));
    EXPECT_THROW(Profile::load(dir / "missing.cmprofile"), FileError);
    // clang-format off
    const std::pair<const char*, std::string> cases[] = {
        {R"({"options": {"packageManager": null, "existingApps": null, "prefetch": null, "runningApps": null}})", "homebrew skip skip prefetch"},
        {R"({"options": {"timeoutSeconds": 1}})", "macports adopt quit"},
        {R"({"options": {"runningApps": "kill"}})", "error: "},
        {R"({"options": {"timeoutSeconds": 0}})", "error: Timeout must be positive."},
        {R"({"options": {"timeoutSeconds": -1}})", "error: Timeout must be positive."},
        {R"({"options": {"writeLog": null}})", "error: "},
        {R"({"options": {"packageManager": "Homebrew"}})", "error: "},
        {R"({"options": {"existingApps": "overwrite"}})", "error: "},
        {R"({"options": {"prefetch": "yes"}})", "error: "},
        {R"({"apps": ["wget", null]})", "error: "},
    };
    // clang-format on
    for (const auto& [patch, expected] : cases) {
        nlohmann::json document = nlohmann::json::parse(testing::readFile(golden));
        document.merge_patch(nlohmann::json::parse(patch));
        std::string read = "error: ";
        try {
            const InstallOptions o =
                Profile::load(dir.write("p.cmprofile", document.dump())).options;
            read = std::string(o.packageManager.rawValue()) + " " +
                   std::string(rawValue(o.existingApps)) + " " +
                   std::string(rawValue(o.runningApps)) + (o.prefetch ? " prefetch" : "");
        } catch (const DecodingError& error) {
            read += error.debugDescription();
        }
        EXPECT_EQ(read.substr(0, expected.size()), expected) << patch << ": " << read;
    }
}

// Packages beyond the catalogue are saved under "packages" and read back; a bad entry is
// refused in a message that names it (a name that breaks out of its quotes in an exported
// Brewfile among them). As run entries they keep their kind apart and their own manager.
TEST(Profile, CarriesPackagesBeyondTheCatalogueByTheNameRules) {
    testing::TempDir dir;
    Profile profile = team;
    profile.packages = {{"user/tap/tool", ProfilePackage::Kind::cask},
                        {"ripgrep", ProfilePackage::Kind::formula},
                        {"ripgrep", ProfilePackage::Kind::cask},
                        {"ripgrep", ProfilePackage::Kind::formula},
                        {"py312-pip", ProfilePackage::Kind::port}};
    profile.write(dir / "p.cmprofile");
    EXPECT_EQ(Profile::load(dir / "p.cmprofile"), profile);
    std::vector<std::string> ids;
    for (const AppEntry& entry : profile.packageEntries()) {
        ids.push_back(
            entry.id + "=" + entry.name + "/" +
            std::to_string((PackageManager(PackageManager::homebrew).token(entry) ? 1 : 0) +
                           (PackageManager(PackageManager::macports).token(entry) ? 2 : 0)));
        EXPECT_EQ(ProfilePackage::fromEntry(entry)->entry(), entry);
    }
    EXPECT_EQ(ids, (std::vector<std::string>{"cask:user/tap/tool=user/tap/tool/1",
                                             "formula:ripgrep=ripgrep/1", "cask:ripgrep=ripgrep/1",
                                             "port:py312-pip=py312-pip/2"}));
    // clang-format off
    const std::pair<const char*, const char*> refused[] = {
        {R"([{"name": "evil\" ; system \"x", "type": "formula"}])", "packages[0] has the name \"evil\\\" ; system \\\"x\", which is not a valid Homebrew package name."},
        {R"([{"name": "ok"}, {"name": "user/tap/x", "type": "port"}])", ""},
        {R"([{"name": "ok", "type": "formula"}, {"name": "user/tap/x", "type": "port"}])", "packages[1] has the name \"user/tap/x\", which is not a valid MacPorts package name."},
        {R"([{"name": "x", "type": "Cask"}])", "packages[0] has the type \"Cask\"; it must be \"formula\", \"cask\" or \"port\"."},
        {R"({"name": "x", "type": "cask"})", ""},
    };
    // clang-format on
    for (const auto& [packages, message] : refused) {
        nlohmann::json document = nlohmann::json::parse(testing::readFile(golden));
        document["packages"] = nlohmann::json::parse(packages);
        try {
            Profile::decode(document.dump());
            ADD_FAILURE() << packages;
        } catch (const DecodingError& error) {
            EXPECT_EQ(std::string(error.what()), *message ? message : DecodingError::userMessage)
                << packages;
        }
    }
}

} // namespace
} // namespace cairnmoor
