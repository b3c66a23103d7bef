#include "install/InstallPlan.hpp"

#include "managers/CaskInfo.hpp"

#include <array>
#include <filesystem>

namespace cairnmoor::InstallPlan {

bool isListed(const std::string& package, const std::set<std::string>& inventory,
              const std::map<std::string, std::string>& currentTokens) {
    if (inventory.contains(package) ||
        inventory.contains(std::string(CaskInfoReading::shortName(package)))) {
        return true;
    }
    const auto renamed = currentTokens.find(package);
    return renamed != currentTokens.end() && inventory.contains(renamed->second);
}

std::vector<PlannedEntry> make(const std::vector<AppEntry>& apps, const InstallOptions& options,
                               const Survey& survey) {
    const PackageManager manager = options.packageManager;
    std::vector<PlannedEntry> plan;
    plan.reserve(apps.size());
    for (const AppEntry& app : apps) {
        PlannedEntry entry{app, PlannedAction::install, {}, std::nullopt};
        const std::optional<std::string> package = manager.token(app);
        if (!package) {
            entry.action = PlannedAction::notInstallable;
            plan.push_back(std::move(entry));
            continue;
        }
        entry.package = *package;
        const bool cask = manager == PackageManager::homebrew && app.macos->isCask();
        const std::optional<std::set<std::string>>& inventory =
            cask ? survey.casks : survey.packages;
        if (inventory && isListed(*package, *inventory, survey.currentTokens)) {
            entry.action = options.upgradeIfPresent ? PlannedAction::upgrade
                           : options.skipInstalled  ? PlannedAction::alreadyInstalled
                                                    : PlannedAction::install;
        } else if (const auto found = survey.existingApps.find(*package);
                   cask && inventory && found != survey.existingApps.end()) {
            entry.existing = found->second;
            entry.action = found->second.fromAppStore || options.existingApps == ExistingApps::skip
                               ? PlannedAction::installedOutside
                           : options.existingApps == ExistingApps::adopt ? PlannedAction::adopt
                                                                         : PlannedAction::replace;
        }
        if (cask && runsCommand(entry.action) && entry.action != PlannedAction::install) {
            if (entry.existing) {
                entry.bundles = {entry.existing->path};
            } else if (const auto bundles = survey.bundles.find(*package);
                       bundles != survey.bundles.end()) {
                entry.bundles = bundles->second;
            }
            if (const auto open = survey.running.find(*package); open != survey.running.end()) {
                entry.runningApps = open->second;
            }
        }
        plan.push_back(std::move(entry));
    }
    return plan;
}

namespace {

constexpr std::array<ActionNames, 7> actionTable{{
    {PlannedAction::install, "install", "Will install"},
    {PlannedAction::upgrade, "upgrade", "Will upgrade"},
    {PlannedAction::adopt, "adopt", "Will adopt"},
    {PlannedAction::replace, "replace", "Will replace"},
    // The word the row keeps once the run has passed it.
    {PlannedAction::alreadyInstalled, "alreadyInstalled", "Already present"},
    {PlannedAction::installedOutside, "installedOutside", "Installed outside Homebrew"},
    {PlannedAction::notInstallable, "notInstallable", "No Homebrew mapping"},
}};

constexpr bool inActionOrder() {
    for (std::size_t i = 0; i < actionTable.size(); ++i) {
        if (static_cast<std::size_t>(actionTable[i].action) != i) {
            return false;
        }
    }
    return true;
}
static_assert(inActionOrder());

} // namespace

const ActionNames& names(PlannedAction action) {
    return actionTable.at(static_cast<std::size_t>(action));
}

bool runsCommand(PlannedAction action) {
    return action == PlannedAction::install || action == PlannedAction::upgrade ||
           action == PlannedAction::adopt || action == PlannedAction::replace;
}

std::optional<std::vector<std::string>> arguments(const PlannedEntry& entry,
                                                  PackageManager manager) {
    if (!runsCommand(entry.action)) {
        return std::nullopt;
    }
    auto result = manager.arguments(entry.app, entry.action == PlannedAction::upgrade);
    if (result &&
        (entry.action == PlannedAction::adopt || entry.action == PlannedAction::replace)) {
        // "install --cask NAME" becomes "install --cask --adopt NAME" (or --force).
        result->insert(result->end() - 1,
                       entry.action == PlannedAction::adopt ? "--adopt" : "--force");
    }
    return result;
}

std::string bundleNames(const std::vector<std::string>& bundles) {
    std::string names;
    for (const std::string& bundle : bundles) {
        names += (names.empty() ? "" : ", ") + std::filesystem::path(bundle).filename().string();
    }
    return names;
}

std::string describe(const PlannedEntry& entry, PackageManager manager,
                     RunningAppPolicy runningApps) {
    const std::string where = entry.existing ? entry.existing->path : std::string();
    const std::string running = entry.runningApps.empty() ? ""
                                : runningApps == RunningAppPolicy::skip
                                    ? ", but it is running: skipped"
                                    : ", but it is running: it will be asked to quit";
    switch (entry.action) {
    case PlannedAction::install:
        return "install";
    case PlannedAction::upgrade:
        return "upgrade" + running;
    case PlannedAction::adopt:
        return "adopt the app at " + where + running;
    case PlannedAction::replace:
        return "replace the app at " + where + running;
    case PlannedAction::alreadyInstalled:
        return "already installed";
    case PlannedAction::installedOutside:
        return (entry.existing && entry.existing->fromAppStore
                    ? "installed from the App Store at "
                    : "installed outside " + std::string(manager.displayName()) + " at ") +
               where + ", skipped";
    case PlannedAction::notInstallable:
        break;
    }
    return "not installable (no " + std::string(manager.displayName()) + " mapping)";
}

} // namespace cairnmoor::InstallPlan
