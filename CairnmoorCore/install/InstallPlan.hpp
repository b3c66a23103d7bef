#pragma once

#include "catalogue/AppEntry.hpp"
#include "install/InstallOptions.hpp"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace cairnmoor {

// What a run will do with one selected app, decided before anything changes the Mac.
enum class PlannedAction {
    install,
    upgrade,
    adopt,            // let Homebrew take over the app found outside it, where it stands
    replace,          // install over the app found outside Homebrew
    alreadyInstalled, // by the manager, and left alone
    installedOutside, // on the Mac without the manager, and left alone
    notInstallable,   // no package name for the manager
};

// An app bundle found on the Mac that the manager did not install.
struct ExistingApp {
    std::string path;          // "/Applications/Firefox.app"
    bool fromAppStore = false; // carries an App Store receipt: never adopted or replaced

    bool operator==(const ExistingApp&) const = default;
};

struct PlannedEntry {
    AppEntry app;
    PlannedAction action = PlannedAction::install;
    std::string package; // the manager's name for it; empty when there is none
    std::optional<ExistingApp> existing;
    // For a cask the run upgrades, adopts or replaces: its app bundles on the Mac, and
    // those of them that were open when the plan was made.
    std::vector<std::string> bundles = {};
    std::vector<std::string> runningApps = {};

    bool operator==(const PlannedEntry&) const = default;
};

// What is on the Mac, as far as the run found out.
struct Survey {
    // None: no inventory was taken (the options neither skip nor upgrade what is there).
    std::optional<std::set<std::string>> casks;
    std::optional<std::set<std::string>> packages;
    // For casks the inventory did not list, by their catalogue name: the token Homebrew
    // knows them by now (renamed or tap-qualified), and the app found outside Homebrew.
    std::map<std::string, std::string> currentTokens;
    std::map<std::string, ExistingApp> existingApps;
    // For installed casks, by their catalogue name: their app bundles on the Mac, and
    // the bundles (of these, or of an existing app) that were open.
    std::map<std::string, std::vector<std::string>> bundles = {};
    std::map<std::string, std::vector<std::string>> running = {};
};

namespace InstallPlan {

// One entry per app, in order; pure.
std::vector<PlannedEntry> make(const std::vector<AppEntry>& apps, const InstallOptions& options,
                               const Survey& survey);

// Whether the inventory lists the package: by its name, its short name (what `brew list`
// prints for a tap-qualified one) or its current token.
bool isListed(const std::string& package, const std::set<std::string>& inventory,
              const std::map<std::string, std::string>& currentTokens);

bool runsCommand(PlannedAction action);

// Every word an action is shown with, in one row per action.
struct ActionNames {
    PlannedAction action;
    std::string_view name;        // "upgrade": the report's plannedAction
    std::string_view waitingText; // "Will upgrade": the window's row before the run reaches it
};
const ActionNames& names(PlannedAction action);
// The manager's arguments for an entry whose action runs a command.
std::optional<std::vector<std::string>> arguments(const PlannedEntry& entry,
                                                  PackageManager manager);

// "install", "already installed", "installed outside Homebrew at /Applications/Gamma.app,
// skipped", "upgrade, but it is running: skipped", ...: the plan as a person reads it.
std::string describe(const PlannedEntry& entry, PackageManager manager,
                     RunningAppPolicy runningApps = RunningAppPolicy::skip);

// "Firefox.app, Slack.app": the bundles' names, for messages.
std::string bundleNames(const std::vector<std::string>& bundles);

} // namespace InstallPlan

} // namespace cairnmoor
