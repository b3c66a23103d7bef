#include "catalogue/CatalogLoader.hpp"

#include "catalogue/CatalogError.hpp"
#include "support/StubFileManager.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <functional>
#include <string>

// Decoding and where the catalogue comes from. The strict reading rules themselves are the
// JSON reader's (tests/platform) and the replacement's file-system failures are in
// tests/faults; these cases prove the catalogue is read through them.
namespace cairnmoor {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

const Json document = Json::parse(R"({"schema": 2, "updated": "spring", "licences": {"MIT": "M"},
  "categories": ["Browsers", "Tools"], "apps": [
    {"id": "fox", "name": "Fox", "category": "Browsers", "licence": "MIT", "homepage": "https://f",
     "summary": "S.", "recommended": true, "macos": {"brew": "fox", "type": "cask", "macports": "p"}},
    {"id": "bare", "name": "Bare", "category": "Tools", "licence": "MIT", "homepage": "https://b",
     "summary": "T.", "macos": null}]})");

TEST(CatalogDecoding, KeepsEveryFieldAndOrderAndRoundTrips) {
    const Catalog catalog = CatalogLoader::decode(document.dump());
    const AppEntry fox{
        "fox", "Fox", "Browsers", "MIT", "https://f", "S.", MacOSInfo{"fox", "cask", "p"}, true};
    const AppEntry bare{"bare", "Bare", "Tools", "MIT", "https://b", "T.", std::nullopt, {}};
    EXPECT_EQ(catalog, (Catalog{2, "spring", {{"MIT", "M"}}, {"Browsers", "Tools"}, {fox, bare}}));
    EXPECT_EQ(CatalogLoader::decode(CatalogLoader::encode(catalog)), catalog);
}

TEST(CatalogDecoding, AnyBrokenPartFailsTheWholeDocumentAsDecodeFailed) {
    const std::function<void(Json&)> changes[] = {
        [](Json& d) { d.erase("licences"); },
        [](Json& d) { d["apps"][1].erase("id"); },
        [](Json& d) { d["apps"][0]["recommended"] = "true"; },
        [](Json& d) { d["apps"][0]["macos"].erase("type"); },
        [](Json& d) { d = d.dump().substr(0, 40); }, // a string, and cut short: not JSON
    };
    for (const auto& change : changes) {
        Json changed = document;
        change(changed);
        const std::string text = changed.is_string() ? changed.get<std::string>() : changed.dump();
        try {
            CatalogLoader::decode(text);
            ADD_FAILURE() << "decoded " << text;
        } catch (const CatalogError& error) {
            EXPECT_STREQ(error.what(), "The catalogue could not be parsed: The data couldn\u2019t "
                                       "be read because it isn\u2019t in the correct format.");
        }
    }
}

std::string oneApp(const std::string& id) {
    return R"({"schema": 2, "updated": "", "licences": {}, "categories": [], "apps": [{"id": ")" +
           id + R"(", "name": "", "category": "", "licence": "", "homepage": "", "summary": ""}]})";
}

TEST(CatalogueLoading, AValidReplacementInTheFirstSupportFolderWinsOverTheShippedOne) {
    testing::TempDir dir;
    testing::StubFileManager files;
    files.home = dir / "home";
    files.applicationSupport = {dir / "support", dir / "other"};
    const Bundle shipped =
        *Bundle::atPath(dir.write("S.bundle/catalog.json", oneApp("shipped")).parent_path());
    const auto loaded = [&] { return CatalogLoader::load(files, &shipped).apps.at(0).id; };

    dir.write("other/Cairnmoor/catalog.json", oneApp("second-folder"));
    EXPECT_EQ(loaded(), "shipped");
    for (const char* undecodable :
         {R"({"schema": 2, "updated": "", "licences": {}, "categories": []})", "{ cut", ""}) {
        dir.write("support/Cairnmoor/catalog.json", undecodable);
        EXPECT_EQ(loaded(), "shipped") << undecodable;
    }
    dir.write("support/Cairnmoor/catalog.json", oneApp("mine"));
    EXPECT_EQ(loaded(), "mine");
    files.applicationSupport.clear(); // none reported: the home's Library serves
    dir.write("home/Library/Application Support/Cairnmoor/catalog.json", oneApp("from-home"));
    EXPECT_EQ(loaded(), "from-home");
}

TEST(CatalogueLoading, TheCallersBundleComesFirstThenTheShippedResource) {
    testing::TempDir dir;
    const Bundle caller =
        *Bundle::atPath(dir.write("C.bundle/catalog.json", oneApp("c")).parent_path());
    EXPECT_EQ(CatalogLoader::loadEmbedded(&caller).apps.at(0).id, "c");
    fs::create_directories(dir / "Empty.bundle");
    const Bundle empty = *Bundle::atPath(dir / "Empty.bundle");
    const std::string shipped =
        testing::readFile(fs::path(CAIRNMOOR_BINARY_DIR) / "share" / "cairnmoor" /
                          CatalogLoader::resourceBundleName / "catalog.json");
    EXPECT_EQ(CatalogLoader::loadEmbeddedData(&empty), shipped);
    EXPECT_EQ(CatalogLoader::loadEmbeddedData(), shipped);
}

} // namespace
} // namespace cairnmoor
