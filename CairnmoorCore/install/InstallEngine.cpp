#include "install/InstallEngine.hpp"

#include "managers/AdminPrompt.hpp"
#include "managers/InstalledProbe.hpp"
#include "managers/PackageManagerError.hpp"

#include <exception>

namespace cairnmoor {

InstallEngine::InstallEngine(ProcessRunner::Settings settings) : runner_(std::move(settings)) {}

namespace {

// "$ brew install --cask alpha": the executable's name, never its full path.
std::string commandLine(PackageManager manager, const std::vector<std::string>& arguments) {
    std::string line = "$ " + std::string(manager.executableName());
    for (const std::string& argument : arguments) {
        line += ' ';
        line += argument;
    }
    return line;
}

PackageState stateOfFinished(const CommandResult& result, PackageManager manager,
                             bool neededPassword) {
    if (result.cancelled) {
        return PackageState::skipped();
    }
    if (result.timedOut) {
        return PackageState::failed(std::string(manager.displayName()) + " command timed out");
    }
    if (result.exitCode == 0) {
        return PackageState::installed();
    }
    std::string message = std::string(manager.executableName()) + " exited with status " +
                          std::to_string(result.exitCode);
    if (neededPassword) {
        message += AdminPrompt::failureNote;
    }
    return PackageState::failed(std::move(message));
}

} // namespace

std::vector<PackageResult>
InstallEngine::run(const std::vector<AppEntry>& apps, const InstallOptions& options,
                   const std::string& packageManagerPath,
                   const std::optional<std::set<std::string>>& installedCasks,
                   const std::optional<std::set<std::string>>& installedPackages,
                   const ProgressHandler& onProgress, const LogHandler& onLog) {
    const PackageManager manager = options.packageManager;
    const auto log = [&](const std::string& line) {
        if (onLog) {
            onLog(line);
        }
    };
    const auto progress = [&](const std::string& id, const PackageState& state) {
        if (onProgress) {
            onProgress(id, state);
        }
    };
    // Stops the whole run: every entry ends failed with the text, or skipped after a cancel.
    const auto runWideFailure = [&](const std::string& description) {
        log(description);
        std::vector<PackageResult> results;
        results.reserve(apps.size());
        for (const AppEntry& app : apps) {
            PackageState state =
                runner_.isCancelled() ? PackageState::skipped() : PackageState::failed(description);
            progress(app.id, state);
            results.push_back(PackageResult{app, std::move(state)});
        }
        return results;
    };

    std::set<std::string> casks = installedCasks.value_or(std::set<std::string>{});
    std::set<std::string> packages = installedPackages.value_or(std::set<std::string>{});

    try {
        manager.validate(apps);
    } catch (const std::exception& error) {
        return runWideFailure(error.what());
    }
    if (options.timeoutSeconds <= 0) {
        return runWideFailure(
            PackageManagerError::invalidSelection("Timeout must be positive.").what());
    }
    const double timeout = static_cast<double>(options.timeoutSeconds);

    if (options.runUpdateFirst && !runner_.isCancelled()) {
        const std::vector<std::string> arguments = manager.updateArguments();
        log(commandLine(manager, arguments));
        CommandResult result;
        try {
            result = runner_.run(packageManagerPath, arguments, timeout, onLog);
        } catch (const std::exception& error) {
            return runWideFailure(error.what());
        }
        if (!result.succeeded()) {
            return runWideFailure(std::string(manager.displayName()) +
                                  " update failed; no packages were installed.");
        }
    }

    if ((options.skipInstalled || options.upgradeIfPresent) && !runner_.isCancelled()) {
        try {
            if (manager == PackageManager::homebrew && !installedCasks) {
                casks = InstalledProbe::installed(packageManagerPath, manager, true, runner_, log);
            }
            if (!installedPackages) {
                packages =
                    InstalledProbe::installed(packageManagerPath, manager, false, runner_, log);
            }
        } catch (const std::exception& error) {
            return runWideFailure(error.what());
        }
    }

    std::vector<PackageResult> results;
    results.reserve(apps.size());
    for (const AppEntry& app : apps) {
        PackageState state = [&] {
            if (runner_.isCancelled()) {
                return PackageState::skipped();
            }
            const std::optional<std::string> name = manager.token(app);
            if (!name) {
                return PackageState::failed("No " + std::string(manager.displayName()) +
                                            " mapping for " + app.name + ".");
            }
            const bool cask = manager == PackageManager::homebrew && app.macos->isCask();
            const bool present = (cask ? casks : packages).contains(*name);
            if (present && options.skipInstalled && !options.upgradeIfPresent) {
                return PackageState::alreadyPresent();
            }
            const std::optional<std::vector<std::string>> arguments =
                manager.arguments(app, present && options.upgradeIfPresent);
            if (!arguments) {
                return PackageState::failed("No " + std::string(manager.displayName()) +
                                            " command for " + app.name + ".");
            }
            progress(app.id, PackageState::installing());
            log(commandLine(manager, *arguments));
            bool neededPassword = false;
            const auto watchOutput = [&](const std::string& line) {
                neededPassword = neededPassword || AdminPrompt::isRefusal(line);
                log(line);
            };
            try {
                const CommandResult result =
                    runner_.run(packageManagerPath, *arguments, timeout, watchOutput);
                return stateOfFinished(result, manager, neededPassword);
            } catch (const std::exception& error) {
                // A launch failure; any other failure of the runner is reported the same way.
                log(error.what());
                return PackageState::failed(error.what());
            }
        }();
        progress(app.id, state);
        results.push_back(PackageResult{app, std::move(state)});
    }
    return results;
}

std::vector<PackageResult>
InstallEngine::run(const std::vector<AppEntry>& apps, const InstallOptions& options,
                   const std::string& brewPath, const std::set<std::string>& alreadyInstalledCasks,
                   const std::set<std::string>& alreadyInstalledFormulas,
                   const ProgressHandler& onProgress, const LogHandler& onLog) {
    return run(apps, options, brewPath, std::optional(alreadyInstalledCasks),
               std::optional(alreadyInstalledFormulas), onProgress, onLog);
}

void InstallEngine::cancel() {
    runner_.cancel();
}

} // namespace cairnmoor
