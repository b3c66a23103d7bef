#include "install/InstallPlan.hpp"

#include <gtest/gtest.h>

#include <ostream>

namespace cairnmoor {
namespace {

AppEntry app(const std::string& id, const std::string& brew, const std::string& type) {
    AppEntry entry;
    entry.id = id;
    entry.name = id;
    entry.macos = MacOSInfo{brew, type, std::nullopt};
    return entry;
}

const ExistingApp web{"/Applications/Firefox.app", false};
const ExistingApp store{"/Applications/Pages.app", true};

struct PlanCase {
    const char* name;
    AppEntry app;
    bool skipInstalled;
    bool upgradeIfPresent;
    ExistingApps existingApps;
    Survey survey;
    PlannedAction action;
    std::string described;
    std::vector<std::string> arguments = {}; // when a command runs
    friend void PrintTo(const PlanCase& c, std::ostream* os) { *os << c.name; }
};

class Plan : public ::testing::TestWithParam<PlanCase> {};

TEST_P(Plan, DecidesOneActionPerApp) {
    const PlanCase& c = GetParam();
    InstallOptions options;
    options.skipInstalled = c.skipInstalled;
    options.upgradeIfPresent = c.upgradeIfPresent;
    options.existingApps = c.existingApps;
    const std::vector<PlannedEntry> plan = InstallPlan::make({c.app}, options, c.survey);
    ASSERT_EQ(plan.size(), 1u);
    EXPECT_EQ(plan[0].action, c.action);
    EXPECT_EQ(InstallPlan::describe(plan[0], PackageManager::homebrew), c.described);
    EXPECT_EQ(InstallPlan::arguments(plan[0], PackageManager::homebrew)
                  .value_or(std::vector<std::string>{}),
              c.arguments);
}

using Set = std::set<std::string>;
const AppEntry firefox = app("firefox", "firefox", "cask");
const AppEntry tapped = app("thing", "user/tap/thing", "cask");
const AppEntry wget = app("wget", "wget", "formula");
const Survey nothing{Set{}, Set{}, {}, {}};
const Survey foundWeb{Set{}, Set{}, {}, {{"firefox", web}}};

using enum PlannedAction;
constexpr auto skip = ExistingApps::skip;
const Survey firefoxListed{Set{"firefox"}, Set{}, {}, {}};
const Survey openListed{Set{"firefox"},           Set{}, {}, {}, {{"firefox", {web.path}}},
                        {{"firefox", {web.path}}}};
// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, Plan, ::testing::Values(
    PlanCase{"Absent", firefox, true, true, skip, nothing, install, "install", {"install", "--cask", "firefox"}},
    PlanCase{"PresentSkipped", firefox, true, false, skip, firefoxListed, alreadyInstalled, "already installed"},
    PlanCase{"PresentUpgradeWins", firefox, true, true, skip, firefoxListed, upgrade, "upgrade", {"upgrade", "--cask", "firefox"}},
    // A formula looks in its own inventory, never the casks'.
    PlanCase{"OwnInventoryOnly", wget, true, false, skip, Survey{Set{"wget"}, Set{}, {}, {}}, install, "install", {"install", "wget"}},
    // No inventory taken: everything installs, whatever is on the Mac.
    PlanCase{"NoInventory", firefox, false, false, ExistingApps::replace, Survey{std::nullopt, std::nullopt, {}, {{"firefox", web}}},
             install, "install", {"install", "--cask", "firefox"}},
    PlanCase{"TapQualifiedListedByShortName", tapped, true, false, skip, Survey{Set{"thing"}, Set{}, {}, {}}, alreadyInstalled,
             "already installed"},
    PlanCase{"RenamedListedByItsNewToken", firefox, true, false, skip, Survey{Set{"firefox-esr"}, Set{}, {{"firefox", "firefox-esr"}}, {}},
             alreadyInstalled, "already installed"},
    PlanCase{"OutsideSkipped", firefox, true, true, skip, foundWeb, installedOutside,
             "installed outside Homebrew at /Applications/Firefox.app, skipped"},
    PlanCase{"OutsideAdopted", firefox, true, true, ExistingApps::adopt, foundWeb, adopt, "adopt the app at /Applications/Firefox.app",
             {"install", "--cask", "--adopt", "firefox"}},
    PlanCase{"OutsideReplaced", firefox, true, false, ExistingApps::replace, foundWeb, replace,
             "replace the app at /Applications/Firefox.app", {"install", "--cask", "--force", "firefox"}},
    PlanCase{"AppStoreAppNeverTouched", firefox, true, true, ExistingApps::replace, Survey{Set{}, Set{}, {}, {{"firefox", store}}},
             installedOutside, "installed from the App Store at /Applications/Pages.app, skipped"},
    // An open app is noted only where the run would touch it.
    PlanCase{"OpenAppToUpgrade", firefox, true, true, skip, openListed, upgrade, "upgrade, but it is running: skipped",
             {"upgrade", "--cask", "firefox"}},
    PlanCase{"OpenAppLeftAlone", firefox, true, false, skip, openListed, alreadyInstalled, "already installed"},
    PlanCase{"OpenAppToReplace", firefox, true, false, ExistingApps::replace,
             Survey{Set{}, Set{}, {}, {{"firefox", web}}, {}, {{"firefox", {web.path}}}}, replace,
             "replace the app at /Applications/Firefox.app, but it is running: skipped", {"install", "--cask", "--force", "firefox"}},
    PlanCase{"NoMapping", app("delta", "", "cask"), true, true, skip, nothing, notInstallable, "not installable (no Homebrew mapping)"}),
    [](const auto& info) { return info.param.name; });
// clang-format on

} // namespace
} // namespace cairnmoor
