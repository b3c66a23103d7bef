#include "managers/CaskInfo.hpp"

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
                                      "user/tap/thing", "absent", "odd-bundles"});
    const std::map<std::string, CaskInfo> expected = {
        {"firefox", {"firefox", {"Firefox.app"}}},
        // Every app artifact, under the name it is installed as.
        {"office-suite", {"office-suite", {"Writer.app", "Calc.app"}}},
        {"font-mono", {"font-mono", {}}},
        // Asked for by its old name: Homebrew answers with the cask it became.
        {"old-name", {"new-name", {"New Name.app"}}},
        {"user/tap/thing", {"thing", {"Thing.app"}}},
        // Only what puts a bundle in an Applications folder, where Homebrew puts it; ".." or
        // a target of "/" would make the folder's parent an app on the Mac.
        {"odd-bundles",
         {"odd-bundles",
          {"Inner.app", "Sub/Nested.app", "Home.app", "Sub/Absolute.app", "Configured.app"}}}};
    EXPECT_EQ(infos, expected);
}

TEST(CaskInfo, DocumentsOfAnotherShapeAreRefused) {
    for (const char* json : {"", "[]", R"({"casks": {}})", R"({"casks": [{"full_token": "x"}]})",
                             R"({"casks": [{"token": "x", "artifacts": 7}]})"}) {
        EXPECT_THROW(CaskInfoReading::parse(json, {"x"}), DecodingError) << json;
    }
}

} // namespace
} // namespace cairnmoor
