#include "install/Profile.hpp"

#include "platform/DecodingError.hpp"
#include "platform/FileError.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <ctime>
#include <functional>
#include <regex>
#include <string>

namespace cairnmoor {
namespace {

using Json = nlohmann::json;
using testing::readFile;
using testing::TempDir;

Profile sampleProfile() {
    Profile profile;
    profile.schema = 2;
    profile.created = "2026-12-05T18:39:05Z";
    profile.apps = {"wget", "firefox", "wget"};
    profile.options.packageManager = PackageManager::macports;
    profile.options.skipInstalled = false;
    profile.options.upgradeIfPresent = true;
    profile.options.runUpdateFirst = true;
    profile.options.writeLog = false;
    profile.options.timeoutSeconds = 42;
    return profile;
}

Json validDocument() {
    return Json::parse(R"({
      "schema": 2, "created": "yesterday", "apps": ["a", "b"],
      "options": {"packageManager": "macports", "skipInstalled": true,
                  "upgradeIfPresent": false, "runUpdateFirst": false, "writeLog": true,
                  "timeoutSeconds": 60}
    })");
}

std::string decodeFailure(const Json& document) {
    try {
        Profile::decode(document.dump());
    } catch (const DecodingError& error) {
        EXPECT_STREQ(error.what(), "The data couldn\u2019t be read because it isn\u2019t in the "
                                   "correct format.");
        return error.debugDescription();
    }
    return "decoded";
}

// ---- Defaults -----------------------------------------------------------------------

TEST(InstallOptionsDefaults, AreTheWindowsStartingValues) {
    const InstallOptions options;
    EXPECT_EQ(options.packageManager, PackageManager::homebrew);
    EXPECT_TRUE(options.skipInstalled);
    EXPECT_TRUE(options.upgradeIfPresent);
    EXPECT_FALSE(options.runUpdateFirst);
    EXPECT_TRUE(options.writeLog);
    EXPECT_EQ(options.timeoutSeconds, 900);
    EXPECT_STREQ(Profile::fileExtension, "cmprofile");
}

// ---- Written form -------------------------------------------------------------------

TEST(ProfileWrittenForm, IsPrettyPrintedWithSortedKeysAndEveryOption) {
    const std::string text = sampleProfile().toData();
    const auto position = [&](const char* key) {
        return text.find(std::string("\"") + key + "\"");
    };
    const char* topLevel[] = {"apps", "created", "options", "schema"};
    const char* options[] = {"packageManager", "runUpdateFirst",   "skipInstalled",
                             "timeoutSeconds", "upgradeIfPresent", "writeLog"};
    for (std::size_t i = 1; i < std::size(topLevel); ++i) {
        EXPECT_LT(position(topLevel[i - 1]), position(topLevel[i])) << topLevel[i];
    }
    EXPECT_LT(position("options"), position(options[0]));
    for (std::size_t i = 1; i < std::size(options); ++i) {
        EXPECT_LT(position(options[i - 1]), position(options[i])) << options[i];
        EXPECT_LT(position(options[i]), position("schema"));
    }
    // One key or array element per line.
    EXPECT_NE(text.find("\n    \"wget\",\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\n  \"schema\": 2"), std::string::npos) << text;
    EXPECT_EQ(Json::parse(text)["options"]["packageManager"], "macports");
}

TEST(ProfileWrittenForm, AlwaysNamesTheManagerEvenTheDefaultOne) {
    Profile profile = sampleProfile();
    profile.options.packageManager = PackageManager::homebrew;
    EXPECT_EQ(Json::parse(profile.toData())["options"]["packageManager"], "homebrew");
}

TEST(ProfileWrittenForm, RoundTripsThroughAFile) {
    TempDir dir;
    const auto path = dir / "team.cmprofile";
    const Profile profile = sampleProfile();
    profile.write(path);
    EXPECT_EQ(Profile::load(path), profile);
    Profile empty;
    empty.created = Profile::iso8601Now();
    empty.write(path);
    EXPECT_EQ(Profile::load(path), empty);
}

TEST(ProfileWrittenForm, TextsOutsideAsciiSurviveAndInvalidUtf8IsRefusedNotMangled) {
    Profile profile = sampleProfile();
    profile.created = "m\xC3\xA4rz \"quoted\" \\ / \n";
    EXPECT_EQ(Profile::decode(profile.toData()), profile);

    TempDir dir;
    const auto path = dir.write("team.cmprofile", "earlier");
    profile.created = "bad \xFF";
    EXPECT_ANY_THROW(profile.write(path));
    EXPECT_EQ(readFile(path), "earlier");
}

// ---- Reading ------------------------------------------------------------------------

TEST(ProfileReading, DecodesEveryField) {
    const Profile profile = Profile::decode(validDocument().dump());
    EXPECT_EQ(profile.schema, 2);
    EXPECT_EQ(profile.created, "yesterday");
    EXPECT_EQ(profile.apps, (std::vector<std::string>{"a", "b"}));
    InstallOptions expected;
    expected.packageManager = PackageManager::macports;
    expected.upgradeIfPresent = false;
    expected.timeoutSeconds = 60;
    EXPECT_EQ(profile.options, expected);
}

struct DocumentChange {
    const char* label;
    std::function<void(Json&)> change;
    friend void PrintTo(const DocumentChange& c, std::ostream* os) { *os << c.label; }
};

class ProfilesThatLoad : public ::testing::TestWithParam<DocumentChange> {};

TEST_P(ProfilesThatLoad, AbsorbTheChange) {
    Json document = validDocument();
    GetParam().change(document);
    EXPECT_EQ(decodeFailure(document), "decoded");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfilesThatLoad,
    ::testing::Values(DocumentChange{"timeoutOne",
                                     [](Json& d) { d["options"]["timeoutSeconds"] = 1; }},
                      DocumentChange{"emptyApps", [](Json& d) { d["apps"] = Json::array(); }},
                      DocumentChange{"anySchema", [](Json& d) { d["schema"] = -3; }},
                      DocumentChange{"createdNotADate", [](Json& d) { d["created"] = ""; }},
                      DocumentChange{"unknownKeys",
                                     [](Json& d) {
                                         d["comment"] = "hi";
                                         d["options"]["colour"] = Json::array();
                                     }}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(ProfileReading, AMissingOrNullManagerMeansHomebrew) {
    Json document = validDocument();
    document["options"].erase("packageManager");
    EXPECT_EQ(Profile::decode(document.dump()).options.packageManager, PackageManager::homebrew);
    document["options"]["packageManager"] = nullptr;
    EXPECT_EQ(Profile::decode(document.dump()).options.packageManager, PackageManager::homebrew);
}

TEST(ProfileReading, DuplicateAppsStayAsWritten) {
    Json document = validDocument();
    document["apps"] = Json::array({"x", "y", "x"});
    EXPECT_EQ(Profile::decode(document.dump()).apps, (std::vector<std::string>{"x", "y", "x"}));
}

class ProfilesThatFail : public ::testing::TestWithParam<DocumentChange> {};

TEST_P(ProfilesThatFail, FailWithTheGeneralMessage) {
    Json document = validDocument();
    GetParam().change(document);
    EXPECT_NE(decodeFailure(document), "decoded");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfilesThatFail,
    ::testing::Values(
        DocumentChange{"notAnObject", [](Json& d) { d = Json::array({d}); }},
        DocumentChange{"schemaMissing", [](Json& d) { d.erase("schema"); }},
        DocumentChange{"schemaString", [](Json& d) { d["schema"] = "2"; }},
        DocumentChange{"createdMissing", [](Json& d) { d.erase("created"); }},
        DocumentChange{"createdNumber", [](Json& d) { d["created"] = 20261205; }},
        DocumentChange{"appsMissing", [](Json& d) { d.erase("apps"); }},
        DocumentChange{"appsString", [](Json& d) { d["apps"] = "a"; }},
        DocumentChange{"appNumber", [](Json& d) { d["apps"].push_back(1); }},
        DocumentChange{"appNull", [](Json& d) { d["apps"].push_back(nullptr); }},
        DocumentChange{"optionsMissing", [](Json& d) { d.erase("options"); }},
        DocumentChange{"optionsNull", [](Json& d) { d["options"] = nullptr; }},
        DocumentChange{"optionsArray", [](Json& d) { d["options"] = Json::array(); }},
        DocumentChange{"managerCapitalised",
                       [](Json& d) { d["options"]["packageManager"] = "Homebrew"; }},
        DocumentChange{"managerUnknown", [](Json& d) { d["options"]["packageManager"] = "apt"; }},
        DocumentChange{"managerNumber", [](Json& d) { d["options"]["packageManager"] = 0; }},
        DocumentChange{"skipInstalledMissing",
                       [](Json& d) { d["options"].erase("skipInstalled"); }},
        DocumentChange{"upgradeIfPresentNull",
                       [](Json& d) { d["options"]["upgradeIfPresent"] = nullptr; }},
        DocumentChange{"runUpdateFirstString",
                       [](Json& d) { d["options"]["runUpdateFirst"] = "false"; }},
        DocumentChange{"writeLogMissing", [](Json& d) { d["options"].erase("writeLog"); }},
        DocumentChange{"writeLogNumber", [](Json& d) { d["options"]["writeLog"] = 1; }},
        DocumentChange{"timeoutMissing", [](Json& d) { d["options"].erase("timeoutSeconds"); }},
        DocumentChange{"timeoutString", [](Json& d) { d["options"]["timeoutSeconds"] = "900"; }},
        DocumentChange{"timeoutFraction", [](Json& d) { d["options"]["timeoutSeconds"] = 1.5; }},
        DocumentChange{"timeoutHuge",
                       [](Json& d) { d["options"]["timeoutSeconds"] = 18446744073709551615ull; }}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(ProfileReading, TimeoutsBelowOneSayWhy) {
    for (const std::int64_t timeout : {std::int64_t{0}, std::int64_t{-1}, INT64_MIN}) {
        Json document = validDocument();
        document["options"]["timeoutSeconds"] = timeout;
        EXPECT_EQ(decodeFailure(document), "Timeout must be positive.") << timeout;
    }
}

TEST(ProfileReading, TheFirstProblemInDecodingOrderIsTheOneReported) {
    Json document = validDocument();
    document["options"]["timeoutSeconds"] = 0;
    document["options"]["packageManager"] = "apt";
    EXPECT_NE(decodeFailure(document), "Timeout must be positive.");
    EXPECT_NE(decodeFailure(document).find("apt"), std::string::npos);

    document["options"]["packageManager"] = "homebrew";
    document["options"].erase("writeLog");
    EXPECT_NE(decodeFailure(document).find("writeLog"), std::string::npos);

    // "apps" is read before "options".
    document["apps"] = 5;
    EXPECT_NE(decodeFailure(document).find("apps"), std::string::npos);
}

TEST(ProfileReading, FileProblemsAreFileErrorsAndBadContentIsADecodingError) {
    TempDir dir;
    EXPECT_THROW(Profile::load(dir / "missing.cmprofile"), FileError);
    EXPECT_THROW(Profile::load(dir.path()), FileError);
    EXPECT_THROW(Profile::load(dir.write("junk.cmprofile", "\x89PNG\r\n")), DecodingError);
    EXPECT_THROW(Profile::load(dir.write("cut.cmprofile", sampleProfile().toData().substr(0, 40))),
                 DecodingError);
}

TEST(ProfileWriting, AFailedWriteLeavesTheEarlierFileAsItWas) {
    TempDir dir;
    EXPECT_THROW(sampleProfile().write(dir / "no-folder" / "x.cmprofile"), FileError);
    std::filesystem::create_directory(dir / "taken.cmprofile");
    EXPECT_THROW(sampleProfile().write(dir / "taken.cmprofile"), FileError);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "taken.cmprofile"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}

// ---- Creation time ------------------------------------------------------------------

TEST(CreationTime, IsUtcToTheSecondWithoutFraction) {
    const auto before = std::chrono::system_clock::now();
    const std::string text = Profile::iso8601Now();
    const auto after = std::chrono::system_clock::now();
    ASSERT_TRUE(std::regex_match(text, std::regex(R"(\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}Z)")))
        << text;
    std::tm parts{};
    ASSERT_NE(::strptime(text.c_str(), "%Y-%m-%dT%H:%M:%SZ", &parts), nullptr);
    const auto stamp = std::chrono::system_clock::from_time_t(::timegm(&parts));
    EXPECT_LE(std::chrono::floor<std::chrono::seconds>(before), stamp);
    EXPECT_LE(stamp, after);
}

} // namespace
} // namespace cairnmoor
