#include "cli/SurveyCommand.hpp"

#include "cli/Console.hpp"
#include "cli/ExitStatus.hpp"
#include "cli/InterruptWatcher.hpp"
#include "cli/TerminalText.hpp"
#include "install/InstallEngine.hpp"
#include "install/InstallPlan.hpp"
#include "managers/PackageManagerError.hpp"

#include <exception>
#include <optional>
#include <system_error>

namespace cairnmoor::SurveyCommand {

using CLI::displayText;

std::int32_t run(const std::vector<AppEntry>& selected, InstallOptions options,
                 const RunSetup& setup, bool check) {
    const bool silent = setup.silent;
    if (check) {
        // Present is present, by the manager or outside it, whatever the profile would
        // do about it: the inventory is always taken.
        options.skipInstalled = true;
        options.upgradeIfPresent = false;
        options.existingApps = ExistingApps::skip;
    }
    InstallEngine engine(setup.runnerSettings(), setup.fileManager());
    // As in an install: an interrupt stops the manager's commands, then us.
    std::optional<InterruptWatcher> watcher;
    try {
        watcher.emplace([&engine](int) { engine.cancel(); });
    } catch (const std::system_error&) {
    }
    const auto interrupted = [&watcher]() -> std::int32_t {
        if (!watcher) {
            return 0;
        }
        watcher->stop();
        const int signalNumber = watcher->signalNumber();
        return signalNumber != 0 ? 128 + signalNumber : 0;
    };
    std::vector<PlannedEntry> plan;
    try {
        plan = engine.plan(selected, options, setup.managerPath, [silent](const std::string& line) {
            if (!silent) {
                Console::printLine(displayText(line));
            }
        });
    } catch (const std::exception& error) {
        if (const std::int32_t status = interrupted()) {
            return status;
        }
        const auto* managerError = dynamic_cast<const PackageManagerError*>(&error);
        Console::writeError(displayText(managerError ? managerError->text() : error.what()) + "\n");
        return ExitStatus::failure;
    }
    if (const std::int32_t status = interrupted()) {
        return status;
    }
    bool missing = false;
    for (const PlannedEntry& entry : plan) {
        if (!check) {
            Console::printLine(displayText(entry.app.id) + ": " +
                               displayText(InstallPlan::describe(entry, options.packageManager,
                                                                 options.runningApps)));
        } else if (entry.action == PlannedAction::install ||
                   entry.action == PlannedAction::notInstallable) {
            missing = true;
            Console::printLine(displayText(entry.app.id) + ": not installed");
        }
    }
    return missing ? ExitStatus::failure : 0;
}

} // namespace cairnmoor::SurveyCommand
