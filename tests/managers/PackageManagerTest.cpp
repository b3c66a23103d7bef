#include "managers/PackageManager.hpp"

#include "managers/BrewCommandBuilder.hpp"
#include "managers/PackageManagerError.hpp"
#include "support/TestNames.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cairnmoor {
namespace {

using Args = std::vector<std::string>;
const PackageManager kHomebrew = PackageManager::homebrew;
const PackageManager kMacPorts = PackageManager::macports;

AppEntry app(std::string name, std::optional<MacOSInfo> macos) {
    AppEntry entry;
    entry.id = name;
    entry.name = std::move(name);
    entry.macos = std::move(macos);
    return entry;
}

AppEntry withNames(const std::string& brew, std::optional<std::string> port,
                   std::string type = "formula") {
    return app("App", MacOSInfo{brew, std::move(type), std::move(port)});
}

// ---- Identity -----------------------------------------------------------------------

TEST(ManagerIdentity, RawValuesNamesAndOrderAreFixed) {
    ASSERT_EQ(PackageManager::allCases.size(), 2u);
    EXPECT_EQ(PackageManager::allCases[0], kHomebrew);
    EXPECT_EQ(PackageManager::allCases[1], kMacPorts);
    EXPECT_EQ(kHomebrew.rawValue(), "homebrew");
    EXPECT_EQ(kMacPorts.rawValue(), "macports");
    EXPECT_EQ(kHomebrew.displayName(), "Homebrew");
    EXPECT_EQ(kMacPorts.displayName(), "MacPorts");
    EXPECT_EQ(kHomebrew.executableName(), "brew");
    EXPECT_EQ(kMacPorts.executableName(), "port");
    EXPECT_EQ(PackageManager(), kHomebrew);
}

TEST(ManagerIdentity, OnlyTheExactRawValuesNameAManager) {
    EXPECT_EQ(PackageManager::fromRawValue("homebrew"), kHomebrew);
    EXPECT_EQ(PackageManager::fromRawValue("macports"), kMacPorts);
    for (const char* other :
         {"Homebrew", "MACPORTS", "brew", "port", "", " homebrew", "homebrew\n"}) {
        EXPECT_FALSE(PackageManager::fromRawValue(other)) << other;
    }
}

TEST(ManagerIdentity, InstallPagesAreHttpsAndMacPortsPointsAtItsInstallPage) {
    EXPECT_EQ(std::string(kHomebrew.installURL()).rfind("https://", 0), 0u);
    const std::string macports(kMacPorts.installURL());
    EXPECT_EQ(macports.rfind("https://", 0), 0u);
    EXPECT_TRUE(macports.ends_with("/install.php")) << macports;
}

// ---- Name rules ---------------------------------------------------------------------

struct NameCase {
    std::string name;
    bool homebrew;
    bool macports;
    friend void PrintTo(const NameCase& c, std::ostream* os) {
        *os << testing::testNameText(c.name);
    }
};

class NameRules : public ::testing::TestWithParam<NameCase> {};

TEST_P(NameRules, AcceptExactlyWhatTheAnchoredPatternAccepts) {
    const NameCase& c = GetParam();
    EXPECT_EQ(kHomebrew.isValidPackageName(c.name), c.homebrew);
    EXPECT_EQ(kMacPorts.isValidPackageName(c.name), c.macports);
    // token() applies the same rule and never alters a name to make it pass.
    const AppEntry entry = withNames(c.name, c.name);
    EXPECT_EQ(kHomebrew.token(entry), c.homebrew ? std::optional(c.name) : std::nullopt);
    EXPECT_EQ(kMacPorts.token(entry), c.macports ? std::optional(c.name) : std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NameRules,
    ::testing::Values(NameCase{"wget", true, true}, NameCase{"A", true, true},
                      NameCase{"7zip", true, true}, NameCase{"g++", true, true},
                      NameCase{"py3.12_x-y+z", true, true}, NameCase{"node@20", true, false},
                      NameCase{"homebrew/cask/firefox", true, false}, NameCase{"a/", true, false},
                      NameCase{"", false, false}, NameCase{"-rf", false, false},
                      NameCase{".hidden", false, false}, NameCase{"_x", false, false},
                      NameCase{"@x", false, false}, NameCase{"/x", false, false},
                      NameCase{"+x", false, false}, NameCase{" wget", false, false},
                      NameCase{"wget ", false, false},
                      // A line break after the name must not slip through as an anchored match does
                      // in some regular-expression engines.
                      NameCase{"wget\n", false, false}, NameCase{"wget\r\n", false, false},
                      NameCase{"a b", false, false}, NameCase{"a;rm", false, false},
                      NameCase{"$(id)", false, false}, NameCase{"a`id`", false, false},
                      NameCase{"a'b", false, false}, NameCase{"a\"b", false, false},
                      NameCase{"a\\b", false, false}, NameCase{"a:b", false, false},
                      NameCase{"a~b", false, false}, NameCase{"a*", false, false},
                      NameCase{std::string("a\0b", 3), false, false},
                      NameCase{"na\xC3\xAFve", false, false},  // letters outside ASCII
                      NameCase{"\xEF\xBC\xA1", false, false}), // FULLWIDTH LATIN CAPITAL A
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(Tokens, EntriesWithoutAUsableRecordHaveNoToken) {
    const AppEntry noMac = app("Plain", std::nullopt);
    EXPECT_FALSE(kHomebrew.token(noMac));
    EXPECT_FALSE(kMacPorts.token(noMac));
    EXPECT_FALSE(kHomebrew.arguments(noMac, false));
    EXPECT_FALSE(kMacPorts.arguments(noMac, true));

    const AppEntry brewOnly = withNames("jq", std::nullopt);
    EXPECT_EQ(kHomebrew.token(brewOnly), "jq");
    EXPECT_FALSE(kMacPorts.token(brewOnly));
    EXPECT_FALSE(kMacPorts.arguments(brewOnly, false));

    const AppEntry different = withNames("gimp", "gimp2");
    EXPECT_EQ(kHomebrew.token(different), "gimp");
    EXPECT_EQ(kMacPorts.token(different), "gimp2");
}

// ---- Argument lists -----------------------------------------------------------------

TEST(ArgumentLists, HomebrewMarksCasksWithTheExactWordOnly) {
    const AppEntry cask = withNames("firefox", std::nullopt, "cask");
    EXPECT_EQ(kHomebrew.arguments(cask, false), (Args{"install", "--cask", "firefox"}));
    EXPECT_EQ(kHomebrew.arguments(cask, true), (Args{"upgrade", "--cask", "firefox"}));
    for (const char* type : {"formula", "Cask", "CASK", " cask", ""}) {
        const AppEntry formula = withNames("wget", std::nullopt, type);
        EXPECT_EQ(kHomebrew.arguments(formula, false), (Args{"install", "wget"})) << type;
        EXPECT_EQ(kHomebrew.arguments(formula, true), (Args{"upgrade", "wget"})) << type;
    }
}

TEST(ArgumentLists, MacPortsRunsNonInteractivelyAndIgnoresTheHomebrewKind) {
    const AppEntry entry = withNames("firefox", "firefox-esr", "cask");
    EXPECT_EQ(kMacPorts.arguments(entry, false), (Args{"-N", "install", "firefox-esr"}));
    EXPECT_EQ(kMacPorts.arguments(entry, true), (Args{"-N", "upgrade", "firefox-esr"}));
}

TEST(ArgumentLists, FixedListsPerManager) {
    EXPECT_EQ(kHomebrew.updateArguments(), (Args{"update"}));
    EXPECT_EQ(kMacPorts.updateArguments(), (Args{"-N", "selfupdate"}));
    EXPECT_EQ(BrewCommandBuilder::updateArguments(), (Args{"update"}));
    EXPECT_EQ(BrewCommandBuilder::listInstalledArguments(true), (Args{"list", "--cask"}));
    EXPECT_EQ(BrewCommandBuilder::listInstalledArguments(false), (Args{"list", "--formula"}));
    const AppEntry cask = withNames("firefox", "firefox", "cask");
    EXPECT_EQ(BrewCommandBuilder::installArguments(cask), kHomebrew.arguments(cask, false));
    EXPECT_EQ(BrewCommandBuilder::upgradeArguments(cask), kHomebrew.arguments(cask, true));
    EXPECT_FALSE(BrewCommandBuilder::installArguments(withNames("-bad", std::nullopt)));
}

// ---- Validating a selection ---------------------------------------------------------

std::string validationMessage(PackageManager manager, const std::vector<AppEntry>& apps) {
    try {
        manager.validate(apps);
    } catch (const PackageManagerError& error) {
        EXPECT_EQ(error.kind(), PackageManagerError::Kind::invalidSelection);
        return error.what();
    }
    return "valid";
}

TEST(SelectionValidation, AnEmptySelectionIsRefusedByEitherManager) {
    EXPECT_EQ(validationMessage(kHomebrew, {}), "No apps selected.");
    EXPECT_EQ(validationMessage(kMacPorts, {}), "No apps selected.");
}

TEST(SelectionValidation, NamesEveryUnmappedAppInSelectionOrder) {
    const std::vector<AppEntry> apps = {
        app("Alpha", std::nullopt),
        app("Mapped", MacOSInfo{"mapped", "formula", "mapped"}),
        app("Beta", MacOSInfo{"beta", "cask", std::nullopt}),
    };
    EXPECT_EQ(validationMessage(kMacPorts, apps),
              "No MacPorts mapping for: Alpha, Beta. Choose another manager or remove these apps.");
    EXPECT_EQ(validationMessage(kHomebrew, apps),
              "No Homebrew mapping for: Alpha. Choose another manager or remove these apps.");
    // A name that fails the rule counts as unmapped.
    EXPECT_EQ(validationMessage(kHomebrew, {app("Bad", MacOSInfo{"bad name", "formula", {}})}),
              "No Homebrew mapping for: Bad. Choose another manager or remove these apps.");
    EXPECT_EQ(validationMessage(kHomebrew, {apps[1], apps[2]}), "valid");
}

TEST(ManagerErrors, CarryTheirTextUnchanged) {
    const auto commandFailed = PackageManagerError::commandFailed("brew list failed: x");
    EXPECT_EQ(commandFailed.kind(), PackageManagerError::Kind::commandFailed);
    EXPECT_STREQ(commandFailed.what(), "brew list failed: x");
    EXPECT_STREQ(PackageManagerError::invalidSelection("").what(), "");
}

} // namespace
} // namespace cairnmoor
