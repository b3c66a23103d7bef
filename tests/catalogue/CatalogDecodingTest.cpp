#include "catalogue/CatalogError.hpp"
#include "catalogue/CatalogLoader.hpp"
#include "platform/DecodingError.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <functional>
#include <string>

namespace cairnmoor {
namespace {

using Json = nlohmann::json;

Json validDocument() {
    return Json::parse(R"({
      "schema": 2,
      "updated": "spring",
      "licences": {"MIT": "MIT licence", "free": "Freeware"},
      "categories": ["Browsers", "Tools"],
      "apps": [
        {"id": "fox", "name": "Fox", "category": "Browsers", "licence": "MIT",
         "homepage": "https://fox.example", "summary": "Browses.",
         "macos": {"brew": "fox", "type": "cask", "macports": "fox-port"},
         "recommended": true},
        {"id": "plain", "name": "Plain", "category": "Tools", "licence": "free",
         "homepage": "https://plain.example", "summary": "No macOS record."}
      ]
    })");
}

Catalog decodeJson(const Json& document) {
    return CatalogLoader::decode(document.dump());
}

// ---- What a valid document decodes to ------------------------------------------------

TEST(CatalogDecoding, KeepsEveryFieldAndTheOrderOfAppsAndCategories) {
    const Catalog catalog = decodeJson(validDocument());
    EXPECT_EQ(catalog.schema, 2);
    EXPECT_EQ(catalog.updated, "spring");
    EXPECT_EQ(catalog.categories, (std::vector<std::string>{"Browsers", "Tools"}));
    ASSERT_EQ(catalog.apps.size(), 2u);
    const AppEntry& fox = catalog.apps[0];
    EXPECT_EQ(fox, (AppEntry{"fox", "Fox", "Browsers", "MIT", "https://fox.example", "Browses.",
                             MacOSInfo{"fox", "cask", "fox-port"}, true}));
    EXPECT_TRUE(fox.isRecommended());
    EXPECT_TRUE(fox.macos->isCask());
    EXPECT_EQ(catalog.apps[1].id, "plain");
    EXPECT_FALSE(catalog.apps[1].macos);
    EXPECT_FALSE(catalog.apps[1].recommended);
    EXPECT_FALSE(catalog.apps[1].isRecommended());
}

TEST(CatalogDecoding, MacAppsAreTheEntriesWithAMacRecordInOrder) {
    Json document = validDocument();
    document["apps"].push_back(document["apps"][0]);
    document["apps"][2]["id"] = "fox2";
    const Catalog catalog = decodeJson(document);
    const auto macApps = catalog.macApps();
    ASSERT_EQ(macApps.size(), 2u);
    EXPECT_EQ(macApps[0].id, "fox");
    EXPECT_EQ(macApps[1].id, "fox2");
}

TEST(CatalogDecoding, LicenceKeysAreCaseSensitive) {
    const Catalog catalog = decodeJson(validDocument());
    EXPECT_TRUE(catalog.isValidLicence("MIT"));
    EXPECT_FALSE(catalog.isValidLicence("mit"));
    EXPECT_FALSE(catalog.isValidLicence(""));
}

TEST(CatalogDecoding, CaskNeedsTheExactLowerCaseWord) {
    for (const char* type : {"Cask", "CASK", "cask ", "formula", ""}) {
        EXPECT_FALSE((MacOSInfo{"x", type, std::nullopt}.isCask())) << type;
    }
}

TEST(CatalogDecoding, EncodingWritesOptionalKeysOnlyWhenPresentAndRoundTrips) {
    const Catalog catalog = decodeJson(validDocument());
    const Json encoded = Json::parse(CatalogLoader::encode(catalog));
    EXPECT_TRUE(encoded["apps"][0].contains("recommended"));
    EXPECT_TRUE(encoded["apps"][0]["macos"].contains("macports"));
    EXPECT_FALSE(encoded["apps"][1].contains("macos"));
    EXPECT_FALSE(encoded["apps"][1].contains("recommended"));
    EXPECT_EQ(CatalogLoader::decode(CatalogLoader::encode(catalog)), catalog);
}

// ---- The strict reading rules, one document change at a time -------------------------

struct DocumentChange {
    const char* label;
    std::function<void(Json&)> change;
    friend void PrintTo(const DocumentChange& c, std::ostream* os) { *os << c.label; }
};

class DocumentsThatFail : public ::testing::TestWithParam<DocumentChange> {};

TEST_P(DocumentsThatFail, FailTheWholeDocumentWithDecodeFailed) {
    Json document = validDocument();
    GetParam().change(document);
    try {
        decodeJson(document);
        FAIL() << "decoded without error";
    } catch (const CatalogError& error) {
        EXPECT_EQ(error.kind(), CatalogError::Kind::decodeFailed);
        EXPECT_STREQ(error.what(), "The catalogue could not be parsed: The data couldn\u2019t be "
                                   "read because it isn\u2019t in the correct format.");
    }
}

Json& fox(Json& document) {
    return document["apps"][0];
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DocumentsThatFail,
    ::testing::Values(
        DocumentChange{"notAnObject", [](Json& d) { d = Json::array({d}); }},
        DocumentChange{"schemaMissing", [](Json& d) { d.erase("schema"); }},
        DocumentChange{"schemaNull", [](Json& d) { d["schema"] = nullptr; }},
        DocumentChange{"schemaString", [](Json& d) { d["schema"] = "2"; }},
        DocumentChange{"schemaFraction", [](Json& d) { d["schema"] = 2.5; }},
        DocumentChange{"schemaTooLarge", [](Json& d) { d["schema"] = 18446744073709551615ull; }},
        DocumentChange{"schemaBool", [](Json& d) { d["schema"] = true; }},
        DocumentChange{"updatedMissing", [](Json& d) { d.erase("updated"); }},
        DocumentChange{"updatedNumber", [](Json& d) { d["updated"] = 2026; }},
        DocumentChange{"licencesMissing", [](Json& d) { d.erase("licences"); }},
        DocumentChange{"licencesArray", [](Json& d) { d["licences"] = Json::array({"MIT"}); }},
        DocumentChange{"licenceTextNumber", [](Json& d) { d["licences"]["MIT"] = 1; }},
        DocumentChange{"licenceTextNull", [](Json& d) { d["licences"]["MIT"] = nullptr; }},
        DocumentChange{"categoriesMissing", [](Json& d) { d.erase("categories"); }},
        DocumentChange{"categoriesString", [](Json& d) { d["categories"] = "Tools"; }},
        DocumentChange{"categoryNull", [](Json& d) { d["categories"].push_back(nullptr); }},
        DocumentChange{"appsMissing", [](Json& d) { d.erase("apps"); }},
        DocumentChange{"appsNull", [](Json& d) { d["apps"] = nullptr; }},
        DocumentChange{"appsObject", [](Json& d) { d["apps"] = Json::object(); }},
        DocumentChange{"entryString", [](Json& d) { d["apps"].push_back("fox"); }},
        DocumentChange{"entryNull", [](Json& d) { d["apps"].push_back(nullptr); }},
        DocumentChange{"idMissing", [](Json& d) { fox(d).erase("id"); }},
        DocumentChange{"nameNull", [](Json& d) { fox(d)["name"] = nullptr; }},
        DocumentChange{"categoryMissing", [](Json& d) { fox(d).erase("category"); }},
        DocumentChange{"licenceNumber", [](Json& d) { fox(d)["licence"] = 3; }},
        DocumentChange{"homepageMissing", [](Json& d) { fox(d).erase("homepage"); }},
        DocumentChange{"summaryArray", [](Json& d) { fox(d)["summary"] = Json::array(); }},
        DocumentChange{"recommendedString", [](Json& d) { fox(d)["recommended"] = "true"; }},
        DocumentChange{"recommendedNumber", [](Json& d) { fox(d)["recommended"] = 1; }},
        DocumentChange{"macosString", [](Json& d) { fox(d)["macos"] = "fox"; }},
        DocumentChange{"brewMissing", [](Json& d) { fox(d)["macos"].erase("brew"); }},
        DocumentChange{"brewNull", [](Json& d) { fox(d)["macos"]["brew"] = nullptr; }},
        DocumentChange{"typeMissing", [](Json& d) { fox(d)["macos"].erase("type"); }},
        DocumentChange{"macportsNumber", [](Json& d) { fox(d)["macos"]["macports"] = 7; }},
        DocumentChange{"lastEntryBroken",
                       [](Json& d) { d["apps"][1]["macos"] = Json::object({{"brew", "x"}}); }}),
    [](const auto& info) { return std::string(info.param.label); });

class DocumentsThatDecode : public ::testing::TestWithParam<DocumentChange> {};

TEST_P(DocumentsThatDecode, DecodeWithTheChangeAbsorbed) {
    Json document = validDocument();
    GetParam().change(document);
    EXPECT_NO_THROW(decodeJson(document));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DocumentsThatDecode,
    ::testing::Values(DocumentChange{"unknownKeysEverywhere",
                                     [](Json& d) {
                                         d["extra"] = Json::array({1, 2});
                                         fox(d)["linux"] = Json::object({{"apt", "fox"}});
                                         fox(d)["macos"]["tap"] = nullptr;
                                     }},
                      DocumentChange{"emptyLists",
                                     [](Json& d) {
                                         d["apps"] = Json::array();
                                         d["categories"] = Json::array();
                                         d["licences"] = Json::object();
                                     }},
                      DocumentChange{"anyIntegerSchema", [](Json& d) { d["schema"] = -40; }},
                      DocumentChange{"wholeNumberSchemaWithFraction",
                                     [](Json& d) { d["schema"] = 3.0; }},
                      DocumentChange{"emptyStrings", [](Json& d) { fox(d)["summary"] = ""; }}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(CatalogDecoding, NullOptionalsDecodeAsNone) {
    Json document = validDocument();
    fox(document)["recommended"] = nullptr;
    fox(document)["macos"]["macports"] = nullptr;
    document["apps"][1]["macos"] = nullptr;
    const Catalog catalog = decodeJson(document);
    EXPECT_FALSE(catalog.apps[0].recommended);
    ASSERT_TRUE(catalog.apps[0].macos);
    EXPECT_FALSE(catalog.apps[0].macos->macports);
    EXPECT_FALSE(catalog.apps[1].macos);
}

TEST(CatalogDecoding, TextThatIsNotJsonFailsAsDecodeFailed) {
    for (const std::string& data : {std::string(""), std::string("{\"schema\": 2"),
                                    std::string("\xff\xfe{}"), std::string(100000, '[')}) {
        try {
            CatalogLoader::decode(data);
            ADD_FAILURE() << "decoded: " << data.substr(0, 20);
        } catch (const CatalogError& error) {
            EXPECT_EQ(error.kind(), CatalogError::Kind::decodeFailed);
        }
    }
}

} // namespace
} // namespace cairnmoor
