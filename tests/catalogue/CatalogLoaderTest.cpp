#include "catalogue/CatalogLoader.hpp"

#include "catalogue/CatalogError.hpp"
#include "support/StubFileManager.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

// Decoding and where the catalogue comes from. The strict reading rules themselves are the
// JSON reader's (tests/platform) and the replacement's file-system failures are in
// tests/faults; these cases prove the catalogue is read through them.
namespace cairnmoor {
namespace {

// One app with every field, one with the fewest.
const nlohmann::json document = nlohmann::json::parse(
    testing::readFile(CAIRNMOOR_SOURCE_DIR "/tests/catalogue/fixtures/two-apps.json"));

// A part missing or of the wrong type anywhere, or text that is not JSON, fails the whole
// document.
std::vector<std::string> brokenDocuments() {
    nlohmann::json noId = document, textFlag = document, noType = document;
    noId["apps"][1].erase("id");
    textFlag["apps"][0]["recommended"] = "true";
    noType["apps"][0]["macos"].erase("type");
    return {noId.dump(), textFlag.dump(), noType.dump(), "{ cut"};
}

TEST(CatalogDecoding, KeepsEveryFieldAndOrderAndRoundTrips) {
    const Catalog catalog = CatalogLoader::decode(document.dump());
    // clang-format off
    const AppEntry fox{"fox", "Fox", "Browsers", "MIT", "https://f", "S.", MacOSInfo{"fox", "cask", "p"}, true};
    const AppEntry bare{"bare", "Bare", "Tools", "MIT", "https://b", "T.", std::nullopt, {}};
    // clang-format on
    EXPECT_EQ(catalog, (Catalog{2, "spring", {{"MIT", "M"}}, {"Browsers", "Tools"}, {fox, bare}}));
    EXPECT_EQ(CatalogLoader::decode(CatalogLoader::encode(catalog)), catalog);
    for (const std::string& text : brokenDocuments()) {
        EXPECT_THROW(CatalogLoader::decode(text), CatalogError) << text; // its text: tests/cli
    }
}

// A valid replacement in the first support folder (else the home's Library) wins over the
// catalogue the caller's bundle ships; the shipped resource serves a bundle without one.
// Each catalogue written here names itself in "updated".
TEST(CatalogueLoading, AValidReplacementWinsThenTheCallersBundleThenTheShippedResource) {
    testing::TempDir dir;
    testing::StubFileManager files;
    files.home = dir / "home";
    files.applicationSupport = {dir / "support", dir / "other"};
    const auto named = [](const char* n) { return CatalogLoader::encode({2, n, {}, {}, {}}); };
    const Bundle caller =
        *Bundle::atPath(dir.write("C.bundle/catalog.json", named("c")).parent_path());
    const auto loaded = [&] { return CatalogLoader::load(files, &caller).updated; };
    dir.write("other/Cairnmoor/catalog.json", named("second-folder"));
    for (const std::string& undecodable : brokenDocuments()) {
        dir.write("support/Cairnmoor/catalog.json", undecodable);
        EXPECT_EQ(loaded(), "c") << undecodable;
    }
    dir.write("support/Cairnmoor/catalog.json", named("mine"));
    EXPECT_EQ(loaded(), "mine");
    files.applicationSupport.clear();
    dir.write("home/Library/Application Support/Cairnmoor/catalog.json", named("from-home"));
    EXPECT_EQ(loaded(), "from-home");
    std::filesystem::remove(dir / "C.bundle/catalog.json");
    EXPECT_EQ(CatalogLoader::loadEmbedded(&caller), CatalogLoader::loadEmbedded());
}

// Additions beside the catalogue join whichever catalogue loads, with their new categories
// and licences; a clash of ids (with the catalogue or within the file) or a broken file
// leaves the catalogue as it was and says why, naming the id.
TEST(CatalogueLoading, AdditionsJoinTheCatalogueOrAreRefusedWithTheReason) {
    testing::TempDir dir;
    testing::StubFileManager files;
    files.home = dir / "home";
    files.applicationSupport = {dir / "support"};
    dir.write("support/Cairnmoor/catalog.json", document.dump());
    const auto entry = [](const char* id, const char* category) {
        return nlohmann::json{{"id", id},         {"name", id},     {"category", category},
                              {"licence", "Own"}, {"homepage", ""}, {"summary", ""}};
    };
    // clang-format off
    const std::pair<nlohmann::json, std::string> cases[] = {
        {{{"apps", {entry("tool", "Tools"), entry("desk", "Internal")}}, {"licences", {{"Own", "Ours"}}}},
         "fox bare tool desk | Browsers Tools Internal | MIT Own"},
        {{{"apps", {entry("desk", "Internal"), entry("fox", "Internal")}}},
         "fox bare | Browsers Tools | MIT | the id \"fox\" is already in the catalogue"},
        {{{"apps", {entry("desk", "Internal"), entry("desk", "Internal")}}},
         "fox bare | Browsers Tools | MIT | the id \"desk\" is already in the catalogue"},
        {{{"apps", {{{"id", "desk"}}}}}, "fox bare | Browsers Tools | MIT | "},
        {{{"licences", {}}}, "fox bare | Browsers Tools | MIT | "},
    };
    // clang-format on
    for (const auto& [additions, expected] : cases) {
        dir.write("support/Cairnmoor/catalog.local.json", additions.dump());
        std::string told;
        const Catalog catalog =
            CatalogLoader::load(files, nullptr, [&](const std::string& why) { told = why; });
        std::string seen;
        for (const AppEntry& app : catalog.apps) {
            seen += (seen.empty() ? "" : " ") + app.id;
        }
        seen += " |";
        for (const std::string& category : catalog.categories) {
            seen += " " + category;
        }
        seen += " |";
        for (const auto& [key, text] : catalog.licences) {
            seen += " " + key;
        }
        if (!told.empty()) {
            EXPECT_NE(told.find(CatalogLoader::additionsURL(files).string()), std::string::npos);
            seen += " | " + told.substr(told.find('(') + 1);
        }
        EXPECT_EQ(seen.substr(0, expected.size()), expected) << told;
    }
}

} // namespace
} // namespace cairnmoor
