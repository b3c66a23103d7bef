#include "managers/PackageManager.hpp"

#include "managers/PackageManagerError.hpp"

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

// The only text that ever reaches a command line or a script: the rules are the
// security boundary, so each character class is probed at the start and inside.
struct NameCase {
    std::string name;
    bool homebrew;
    bool macports;
    friend void PrintTo(const NameCase& c, std::ostream* os) {
        *os << ::testing::PrintToString(c.name);
    }
};

class NameRules : public ::testing::TestWithParam<NameCase> {};

TEST_P(NameRules, AcceptExactlyWhatTheAnchoredPatternAccepts) {
    const NameCase& c = GetParam();
    // token() applies the same rule and never alters a name to make it pass.
    const AppEntry entry = withNames(c.name, c.name);
    EXPECT_EQ(kHomebrew.token(entry), c.homebrew ? std::optional(c.name) : std::nullopt);
    EXPECT_EQ(kMacPorts.token(entry), c.macports ? std::optional(c.name) : std::nullopt);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, NameRules, ::testing::Values(
    NameCase{"7zip", true, true}, NameCase{"py3.12_x-y+z", true, true}, NameCase{"node@20", true, false},
    NameCase{"homebrew/cask/x", true, false}, NameCase{"", false, false}, NameCase{"-rf", false, false},
    NameCase{".hidden", false, false}, NameCase{"_x", false, false}, NameCase{"@x", false, false},
    NameCase{"/x", false, false}, NameCase{"+x", false, false}, NameCase{" wget", false, false},
    NameCase{"wget\n", false, false}, NameCase{"a;rm", false, false}, NameCase{"$(id)", false, false},
    NameCase{"a'b", false, false}, NameCase{std::string("a\0b", 3), false, false},
    NameCase{"na\xC3\xAFve", false, false}),
    [](const auto& info) { return "case" + std::to_string(info.index); });
// clang-format on

TEST(ArgumentLists, FollowTheManagerAndTheKindWithTheExactWordOnly) {
    // Homebrew's install lists are in the plan's table; MacPorts ignores the kind.
    EXPECT_EQ(kMacPorts.arguments(withNames("firefox", "firefox-esr", "cask"), true),
              (Args{"-N", "upgrade", "firefox-esr"}));
    for (const char* type : {"formula", "Cask", " cask", ""}) {
        EXPECT_EQ(kHomebrew.arguments(withNames("wget", std::nullopt, type), true),
                  (Args{"upgrade", "wget"}))
            << type;
    }
    EXPECT_FALSE(kHomebrew.arguments(app("Plain", std::nullopt), false));
    EXPECT_FALSE(kMacPorts.arguments(withNames("jq", std::nullopt), false));
}

TEST(SelectionValidation, NamesEveryUnmappedAppInSelectionOrder) {
    const auto message = [](PackageManager manager, const std::vector<AppEntry>& apps) {
        try {
            manager.validate(apps);
        } catch (const PackageManagerError& error) {
            EXPECT_EQ(error.kind(), PackageManagerError::Kind::invalidSelection);
            return std::string(error.what());
        }
        return std::string("valid");
    };
    const std::vector<AppEntry> apps = {
        app("Alpha", std::nullopt),
        app("Mapped", MacOSInfo{"mapped", "formula", "mapped"}),
        app("Beta", MacOSInfo{"beta", "cask", std::nullopt}),
    };
    EXPECT_EQ(message(kMacPorts, {}), "No apps selected.");
    EXPECT_EQ(message(kMacPorts, apps),
              "No MacPorts mapping for: Alpha, Beta. Choose another manager or remove these apps.");
    // A name that fails the rule counts as unmapped.
    EXPECT_EQ(message(kHomebrew, {app("Bad", MacOSInfo{"bad name", "formula", {}})}),
              "No Homebrew mapping for: Bad. Choose another manager or remove these apps.");
    EXPECT_EQ(message(kHomebrew, {apps[1], apps[2]}), "valid");
}

} // namespace
} // namespace cairnmoor
