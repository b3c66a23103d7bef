#include "import/MacCapture.hpp"

#include "install/InstallEngine.hpp"
#include "managers/InstalledProbe.hpp"
#include "managers/PackageManagerError.hpp"

#include <algorithm>

namespace cairnmoor {

namespace {

// Inventories are local reads; a minute is far beyond a healthy manager's time.
constexpr double inventoryTimeLimit = 60;

std::string commandText(PackageManager manager, const std::vector<std::string>& arguments) {
    std::string text(manager.executableName());
    for (const std::string& argument : arguments) {
        text += " " + argument;
    }
    return text;
}

std::set<std::string> inventory(const std::string& path, PackageManager manager,
                                const std::vector<std::string>& arguments, ProcessRunner& runner,
                                const MacCapture::LogHandler& log) {
    std::vector<std::string> lines;
    const CommandResult result = runner.run(
        path, arguments, inventoryTimeLimit,
        [&lines](const std::string& line) { lines.push_back(line); }, log);
    if (!result.succeeded()) {
        throw PackageManagerError::commandFailed(
            "`" + commandText(manager, arguments) + "` failed (" +
            (result.timedOut ? std::string("timed out")
                             : "status " + std::to_string(result.exitCode)) +
            "); nothing was captured.");
    }
    return InstalledProbe::parse(lines, manager);
}

} // namespace

std::vector<std::vector<std::string>> MacCapture::inventoryArguments(PackageManager manager) {
    if (manager == PackageManager::macports) {
        return {{"-q", "installed", "requested", "and", "active"}};
    }
    // `leaves --installed-on-request` names tap formulae in full, so the other Mac finds
    // their tap; a formula asked for that another one also needs comes with that one.
    return {{"list", "--cask", "--full-name"}, {"leaves", "--installed-on-request"}};
}

MacCapture MacCapture::take(const std::string& managerPath, PackageManager manager,
                            const Catalog& catalog, const ProcessRunner::Settings& settings,
                            const FileManager& fileManager, const LogHandler& onLog) {
    const LogHandler log = [&onLog](const std::string& line) {
        if (onLog) {
            onLog(line);
        }
    };
    ProcessRunner runner(settings);
    std::vector<ProfilePackage> packages;
    const auto commands = inventoryArguments(manager);
    for (std::size_t i = 0; i < commands.size(); ++i) {
        const ProfilePackage::Kind kind = manager == PackageManager::macports
                                              ? ProfilePackage::Kind::port
                                          : i == 0 ? ProfilePackage::Kind::cask
                                                   : ProfilePackage::Kind::formula;
        for (const std::string& name : inventory(managerPath, manager, commands[i], runner, log)) {
            packages.push_back(ProfilePackage{name, kind});
        }
    }
    MacCapture capture;
    capture.profile = Profile::gathering(packages, catalog);
    capture.profile.options.packageManager = manager;
    capture.fromManager = capture.profile.apps;
    if (manager != PackageManager::homebrew) {
        return capture;
    }

    // The catalogue's casks not captured yet: the engine's plan finds their apps.
    std::vector<AppEntry> others;
    for (const AppEntry& entry : catalog.apps) {
        if (entry.macos && entry.macos->isCask() && manager.token(entry) &&
            std::find(capture.profile.apps.begin(), capture.profile.apps.end(), entry.id) ==
                capture.profile.apps.end()) {
            others.push_back(entry);
        }
    }
    if (others.empty()) {
        return capture;
    }
    InstallOptions options;
    options.upgradeIfPresent = false;
    options.existingApps = ExistingApps::skip;
    std::vector<PlannedEntry> plan;
    try {
        plan = InstallEngine(settings, fileManager).plan(others, options, managerPath, log);
    } catch (const std::exception& error) {
        log("Apps installed outside Homebrew were not looked for (" + std::string(error.what()) +
            ").");
    }
    for (const PlannedEntry& entry : plan) {
        if (entry.action == PlannedAction::installedOutside) {
            capture.foundOutside.push_back(entry.app.id);
            capture.profile.apps.push_back(entry.app.id);
        }
    }
    return capture;
}

} // namespace cairnmoor
