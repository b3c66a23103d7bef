#include "catalogue/CatalogLoader.hpp"

#include "catalogue/CatalogError.hpp"
#include "support/StubFileManager.hpp"
#include "support/TempDir.hpp"

#include <gmock/gmock.h>
#include <nlohmann/json.hpp>

// Decoding and where the catalogue comes from. The strict reading rules themselves are the
// JSON reader's (tests/platform) and the replacement's file-system failures are in
// tests/faults; these cases prove the catalogue is read through them.
namespace cairnmoor {
namespace {

using Json = nlohmann::json;

const Json document = Json::parse(R"({"schema": 2, "updated": "spring", "licences": {"MIT": "M"},
  "categories": ["Browsers", "Tools"], "apps": [
    {"id": "fox", "name": "Fox", "category": "Browsers", "licence": "MIT", "homepage": "https://f",
     "summary": "S.", "recommended": true, "macos": {"brew": "fox", "type": "cask", "macports": "p"}},
    {"id": "bare", "name": "Bare", "category": "Tools", "licence": "MIT", "homepage": "https://b",
     "summary": "T.", "macos": null}]})");

// A part missing or of the wrong type anywhere, or text that is not JSON, fails the whole
// document.
std::vector<std::string> brokenDocuments() {
    Json noId = document, textFlag = document, noType = document;
    noId["apps"][1].erase("id");
    textFlag["apps"][0]["recommended"] = "true";
    noType["apps"][0]["macos"].erase("type");
    return {noId.dump(), textFlag.dump(), noType.dump(), "{ cut"};
}

TEST(CatalogDecoding, KeepsEveryFieldAndOrderAndRoundTrips) {
    const Catalog catalog = CatalogLoader::decode(document.dump());
    const AppEntry fox{
        "fox", "Fox", "Browsers", "MIT", "https://f", "S.", MacOSInfo{"fox", "cask", "p"}, true};
    const AppEntry bare{"bare", "Bare", "Tools", "MIT", "https://b", "T.", std::nullopt, {}};
    EXPECT_EQ(catalog, (Catalog{2, "spring", {{"MIT", "M"}}, {"Browsers", "Tools"}, {fox, bare}}));
    EXPECT_EQ(CatalogLoader::decode(CatalogLoader::encode(catalog)), catalog);
    for (const std::string& text : brokenDocuments()) {
        EXPECT_THAT([&] { CatalogLoader::decode(text); },
                    ::testing::ThrowsMessage<CatalogError>(::testing::StrEq(
                        "The catalogue could not be parsed: The data couldn\u2019t be read "
                        "because it isn\u2019t in the correct format.")))
            << text;
    }
}

std::string oneApp(const std::string& id) {
    return R"({"schema": 2, "updated": "", "licences": {}, "categories": [], "apps": [{"id": ")" +
           id + R"(", "name": "", "category": "", "licence": "", "homepage": "", "summary": ""}]})";
}

// A valid replacement in the first support folder (else the home's Library) wins over the
// catalogue the caller's bundle ships; the shipped resource serves a bundle without one.
TEST(CatalogueLoading, AValidReplacementWinsThenTheCallersBundleThenTheShippedResource) {
    testing::TempDir dir;
    testing::StubFileManager files;
    files.home = dir / "home";
    files.applicationSupport = {dir / "support", dir / "other"};
    const Bundle caller =
        *Bundle::atPath(dir.write("C.bundle/catalog.json", oneApp("c")).parent_path());
    const auto loaded = [&] { return CatalogLoader::load(files, &caller).apps.at(0).id; };
    dir.write("other/Cairnmoor/catalog.json", oneApp("second-folder"));
    for (const std::string& undecodable : brokenDocuments()) {
        dir.write("support/Cairnmoor/catalog.json", undecodable);
        EXPECT_EQ(loaded(), "c") << undecodable;
    }
    dir.write("support/Cairnmoor/catalog.json", oneApp("mine"));
    EXPECT_EQ(loaded(), "mine");
    files.applicationSupport.clear();
    dir.write("home/Library/Application Support/Cairnmoor/catalog.json", oneApp("from-home"));
    EXPECT_EQ(loaded(), "from-home");
    std::filesystem::remove(dir / "C.bundle/catalog.json");
    EXPECT_EQ(CatalogLoader::loadEmbeddedData(&caller),
              testing::readFile(std::filesystem::path(CAIRNMOOR_BINARY_DIR) / "share/cairnmoor" /
                                CatalogLoader::resourceBundleName / "catalog.json"));
}

} // namespace
} // namespace cairnmoor
