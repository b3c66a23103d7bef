#include "catalogue/CatalogLoader.hpp"

#include "catalogue/CatalogError.hpp"
#include "platform/FileError.hpp"
#include "support/StubFileManager.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace cairnmoor {
namespace {

namespace fs = std::filesystem;
using testing::StubFileManager;
using testing::TempDir;

std::string catalogueWithOneApp(const std::string& id) {
    return R"({"schema": 2, "updated": "u", "licences": {}, "categories": ["C"],
               "apps": [{"id": ")" +
           id + R"(", "name": "N", "category": "C", "licence": "L",
                        "homepage": "h", "summary": "s"}]})";
}

// A temporary home with the replacement location and a caller-supplied bundle.
class CatalogueLoading : public ::testing::Test {
protected:
    CatalogueLoading() {
        files.home = dir / "home";
        files.applicationSupport = {dir / "support"};
        fs::create_directories(files.home);
    }

    fs::path replacementPath() const { return dir / "support" / "Cairnmoor" / "catalog.json"; }
    void writeReplacement(const std::string& text) const {
        dir.write("support/Cairnmoor/catalog.json", text);
    }
    Bundle callerBundle(const std::string& catalogText) const {
        dir.write("Caller.bundle/catalog.json", catalogText);
        return *Bundle::atPath(dir / "Caller.bundle");
    }

    TempDir dir;
    StubFileManager files;
};

TEST_F(CatalogueLoading, ReplacementLocationUsesTheFirstSupportFolderOrTheHomeFallback) {
    files.applicationSupport = {dir / "first", dir / "second"};
    EXPECT_EQ(CatalogLoader::externalOverrideURL(files),
              dir / "first" / "Cairnmoor" / "catalog.json");
    files.applicationSupport.clear();
    EXPECT_EQ(CatalogLoader::externalOverrideURL(files),
              files.home / "Library" / "Application Support" / "Cairnmoor" / "catalog.json");
}

TEST_F(CatalogueLoading, AValidReplacementWinsAndTheShippedFileIsNotRead) {
    writeReplacement(catalogueWithOneApp("mine"));
    // A broken shipped catalogue would throw if it were read.
    const Bundle shipped = callerBundle("not json");
    const Catalog catalog = CatalogLoader::load(files, &shipped);
    ASSERT_EQ(catalog.apps.size(), 1u);
    EXPECT_EQ(catalog.apps[0].id, "mine");
}

TEST_F(CatalogueLoading, AReplacementWithNoAppsIsUsedAsItIs) {
    writeReplacement(
        R"({"schema": 99, "updated": "", "licences": {}, "categories": [], "apps": []})");
    const Bundle shipped = callerBundle(catalogueWithOneApp("shipped"));
    const Catalog catalog = CatalogLoader::load(files, &shipped);
    EXPECT_TRUE(catalog.apps.empty());
    EXPECT_EQ(catalog.schema, 99);
}

TEST_F(CatalogueLoading, UnusableReplacementsAreSilentlyPassedOver) {
    const Bundle shipped = callerBundle(catalogueWithOneApp("shipped"));
    const std::string unusable[] = {
        R"({"schema": 2, "updated": "u", "licences": {}, "categories": []})", // no "apps"
        "{ truncated", "\xff\xfe\x00junk", ""};
    for (const std::string& text : unusable) {
        writeReplacement(text);
        const Catalog catalog = CatalogLoader::load(files, &shipped);
        ASSERT_EQ(catalog.apps.size(), 1u);
        EXPECT_EQ(catalog.apps[0].id, "shipped");
        EXPECT_FALSE(CatalogLoader::loadExternalOverride(files));
    }
    // A folder where the file should be cannot be read either.
    fs::remove(replacementPath());
    fs::create_directory(replacementPath());
    EXPECT_EQ(CatalogLoader::load(files, &shipped).apps[0].id, "shipped");
}

TEST_F(CatalogueLoading, ReplacementUnderTheHomeIsFoundWhenNoSupportFolderIsReported) {
    files.applicationSupport.clear();
    dir.write("home/Library/Application Support/Cairnmoor/catalog.json",
              catalogueWithOneApp("from-home"));
    const auto replacement = CatalogLoader::loadExternalOverride(files);
    ASSERT_TRUE(replacement);
    EXPECT_EQ(replacement->apps[0].id, "from-home");
}

TEST_F(CatalogueLoading, TheCallersBundleIsAskedFirst) {
    const Bundle shipped = callerBundle(catalogueWithOneApp("caller"));
    EXPECT_EQ(CatalogLoader::loadEmbedded(&shipped).apps[0].id, "caller");
    EXPECT_EQ(CatalogLoader::loadEmbeddedData(&shipped), catalogueWithOneApp("caller"));
}

TEST_F(CatalogueLoading, ABundleWithoutTheResourceFallsThroughToTheShippedOne) {
    fs::create_directories(dir / "Empty.bundle");
    const Bundle empty = *Bundle::atPath(dir / "Empty.bundle");
    const std::string shipped =
        testing::readFile(fs::path(CAIRNMOOR_BINARY_DIR) / "share" / "cairnmoor" /
                          CatalogLoader::resourceBundleName / "catalog.json");
    EXPECT_EQ(CatalogLoader::loadEmbeddedData(&empty), shipped);
    EXPECT_EQ(CatalogLoader::loadEmbeddedData(nullptr), shipped);
    EXPECT_EQ(CatalogLoader::load(files), CatalogLoader::decode(shipped));
}

TEST_F(CatalogueLoading, AnInvalidShippedCatalogueIsReportedAsDecodeFailed) {
    const Bundle shipped = callerBundle(R"({"schema": "two"})");
    try {
        CatalogLoader::load(files, &shipped);
        FAIL() << "loaded";
    } catch (const CatalogError& error) {
        EXPECT_EQ(error.kind(), CatalogError::Kind::decodeFailed);
        EXPECT_EQ(std::string(error.what()).rfind("The catalogue could not be parsed: ", 0), 0u);
    }
}

TEST(CatalogErrorText, MissingResourceHasItsFixedDescription) {
    const CatalogError error = CatalogError::embeddedResourceMissing();
    EXPECT_EQ(error.kind(), CatalogError::Kind::embeddedResourceMissing);
    EXPECT_STREQ(error.what(), "The embedded catalogue resource is missing from the app bundle.");
}

} // namespace
} // namespace cairnmoor
