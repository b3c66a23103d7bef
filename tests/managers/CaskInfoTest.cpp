#include "managers/CaskInfo.hpp"

#include "managers/AdminPrompt.hpp"
#include "platform/DecodingError.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>

#include <filesystem>

namespace cairnmoor {
namespace {

TEST(CaskInfo, MapsEveryNameAskedForToItsCaskAndInstalledApps) {
    const std::string json = testing::readFile(std::filesystem::path(CAIRNMOOR_SOURCE_DIR) /
                                               "tests/managers/fixtures/cask-info.json");
    const auto infos =
        CaskInfoReading::parse(json, {"firefox", "office-suite", "font-mono", "old-name",
                                      "user/tap/thing", "absent", "homebrew/cask/firefox"});
    const std::map<std::string, CaskInfo> expected = {
        {"firefox", {"firefox", {"Firefox.app"}}},
        // Tap-qualified where Homebrew's own token is not.
        {"homebrew/cask/firefox", {"firefox", {"Firefox.app"}}},
        // Every app artifact, under the name it is installed as.
        {"office-suite", {"office-suite", {"Writer.app", "Calc.app"}}},
        {"font-mono", {"font-mono", {}}},
        // Asked for by its old name: Homebrew answers with the cask it became.
        {"old-name", {"new-name", {"New Name.app"}}},
        {"user/tap/thing", {"thing", {"Thing.app"}}}};
    EXPECT_EQ(infos, expected);
}

TEST(CaskInfo, DocumentsOfAnotherShapeAreRefused) {
    for (const char* json : {"", "[]", R"({"casks": {}})", R"({"casks": [{"full_token": "x"}]})",
                             R"({"casks": [{"token": "x", "artifacts": [{"app": []}]}]})",
                             R"({"casks": [{"token": "x", "artifacts": [{"app": [7]}]}]})",
                             R"({"casks": [{"token": "x", "artifacts": [{"app": ["A/.."]}]}]})",
                             R"({"casks": [{"token": "x", "artifacts": [{"app": ["/"]}]}]})"}) {
        EXPECT_THROW(CaskInfoReading::parse(json, {"x"}), DecodingError) << json;
    }
}

// sudo's refusal wherever it stands in the line (a tool may prefix what it relays), and only
// sudo's: Homebrew's own "Error:" line after it, or a package's words, are no refusal.
TEST(AdminPrompt, RecognisesSudosRefusalOnly) {
    const std::pair<const char*, bool> lines[] = {
        {"sudo: a terminal is required to read the password; either use the -S option", true},
        {"sudo: no tty present and no askpass program specified", true},
        {"installer: sudo: a password is required", true},
        {"Error: Failure while executing; `/usr/bin/sudo -- /usr/sbin/installer` exited with 1.",
         false},
        {"a password is required", false},
        {"sudo: 1 incorrect password attempt", false}};
    for (const auto& [line, refusal] : lines) {
        EXPECT_EQ(AdminPrompt::isRefusal(line), refusal) << line;
    }
}

} // namespace
} // namespace cairnmoor
