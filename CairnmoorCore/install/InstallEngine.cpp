#include "install/InstallEngine.hpp"

#include "install/InstallLog.hpp"
#include "install/Prefetch.hpp"
#include "install/SurveyTaker.hpp"
#include "managers/AdminPrompt.hpp"
#include "managers/ArgumentSpace.hpp"
#include "managers/BrewCommandBuilder.hpp"
#include "managers/PackageManagerError.hpp"
#include "managers/TapTrust.hpp"
#include "platform/DecodingError.hpp"

#include <algorithm>
#include <exception>
#include <utility>

namespace cairnmoor {

namespace {

// `passwordNote` says why a password sudo asked for was missing, if it was.
PackageState stateOfFinished(const CommandResult& result, PackageManager manager,
                             std::string_view passwordNote) {
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
    message += passwordNote;
    return PackageState::failed(std::move(message));
}

// Checks that stop a run before anything runs; throws their error.
void checkRunnable(const std::vector<AppEntry>& apps, const InstallOptions& options) {
    options.packageManager.validate(apps);
    if (options.timeoutSeconds <= 0) {
        throw PackageManagerError::invalidSelection("Timeout must be positive.");
    }
}

// The front end's settings plus what Homebrew's children need; a variable the front end
// sets itself keeps its value.
ProcessRunner::Settings withHomebrewEnvironment(ProcessRunner::Settings settings) {
    for (auto& variable : BrewCommandBuilder::childEnvironment()) {
        if (std::none_of(settings.environment.begin(), settings.environment.end(),
                         [&](const auto& set) { return set.first == variable.first; })) {
            settings.environment.push_back(std::move(variable));
        }
    }
    return settings;
}

} // namespace

InstallEngine::InstallEngine(ProcessRunner::Settings settings, const FileManager& fileManager,
                             const RunningApps& runningApps)
    : runner_(settings), brewRunner_(withHomebrewEnvironment(settings)), fileManager_(fileManager),
      argumentSpace_(ArgumentSpace::available(withHomebrewEnvironment(settings).environment)),
      runningApps_(runningApps) {}

void InstallEngine::limitArguments(std::size_t bytes) {
    argumentSpace_ = bytes;
}

ProcessRunner& InstallEngine::runner(PackageManager manager) {
    return manager == PackageManager::homebrew ? brewRunner_ : runner_;
}

SurveyTaker InstallEngine::surveyTaker(PackageManager manager) {
    return SurveyTaker(runner(manager), fileManager_, runningApps_, argumentSpace_);
}

bool InstallEngine::isCancelled() const {
    return runner_.isCancelled() || brewRunner_.isCancelled();
}

std::optional<PackageState> InstallEngine::keepOpenAppsOpen(const PlannedEntry& entry,
                                                            RunningAppPolicy policy,
                                                            const LogHandler& log) {
    // Looked at again now: an app may have been opened or quit since the plan was made.
    std::vector<std::string> open;
    for (const std::filesystem::path& bundle :
         runningApps_.open({entry.bundles.begin(), entry.bundles.end()})) {
        open.push_back(bundle.string());
    }
    if (open.empty()) {
        return std::nullopt;
    }
    if (policy == RunningAppPolicy::quit) {
        log("Asking " + InstallPlan::bundleNames(open) + " to quit before " + entry.app.name +
            " is changed.");
        open.clear();
        for (const std::filesystem::path& bundle :
             runningApps_.quit({entry.bundles.begin(), entry.bundles.end()}, quitTimeLimit_,
                               [this] { return isCancelled(); })) {
            open.push_back(bundle.string());
        }
        if (isCancelled()) {
            return PackageState::skipped();
        }
        if (open.empty()) {
            return std::nullopt;
        }
    }
    const std::string names = InstallPlan::bundleNames(open);
    log(names + (open.size() == 1 ? " is" : " are") + " open, so " + entry.app.name +
        " was left alone.");
    return PackageState::skippedRunning(names);
}

void InstallEngine::cleanUp(const std::vector<PlannedEntry>& plan,
                            const std::vector<PackageResult>& results,
                            const InstallOptions& options, const std::string& packageManagerPath,
                            const LogHandler& log) {
    std::vector<std::string> packages;
    for (std::size_t i = 0; i < results.size() && i < plan.size(); ++i) {
        if (results[i].state.kind == PackageState::Kind::installed &&
            std::find(packages.begin(), packages.end(), plan[i].package) == packages.end()) {
            packages.push_back(plan[i].package);
        }
    }
    if (options.packageManager != PackageManager::homebrew || packages.empty() || isCancelled()) {
        return;
    }
    const std::vector<std::string> arguments = BrewCommandBuilder::cleanupArguments(packages);
    log(InstallLog::commandLine(options.packageManager, arguments));
    std::string failure;
    try {
        failure = brewRunner_
                      .run(packageManagerPath, arguments,
                           static_cast<double>(options.timeoutSeconds), log)
                      .failure("brew", "it timed out");
    } catch (const std::exception& error) {
        failure = error.what();
    }
    if (!failure.empty()) {
        log("The cleanup did not finish (" + failure +
            "); the packages are installed all the same.");
    }
}

std::vector<PlannedEntry> InstallEngine::plan(const std::vector<AppEntry>& apps,
                                              const InstallOptions& options,
                                              const std::string& packageManagerPath,
                                              const LogHandler& onLog) {
    checkRunnable(apps, options);
    const auto log = [&](const std::string& line) {
        if (onLog) {
            onLog(line);
        }
    };
    return InstallPlan::make(
        apps, options,
        surveyTaker(options.packageManager).take(apps, options, packageManagerPath, log));
}

std::vector<PackageResult>
InstallEngine::run(const std::vector<AppEntry>& apps, const InstallOptions& options,
                   const std::string& packageManagerPath, const Observers& observers,
                   const std::optional<std::set<std::string>>& approved) {
    const PackageManager manager = options.packageManager;
    const LogHandler log = [&](const std::string& line) {
        if (observers.onLog) {
            observers.onLog(line);
        }
    };
    const auto progress = [&](const std::string& id, const PackageState& state) {
        if (observers.onProgress) {
            observers.onProgress(id, state);
        }
    };
    // Stops the whole run: every entry ends failed with the text, or skipped after a cancel.
    const auto runWideFailure = [&](const std::string& description) {
        log(description);
        std::vector<PackageResult> results;
        results.reserve(apps.size());
        for (const AppEntry& app : apps) {
            PackageState state =
                isCancelled() ? PackageState::skipped() : PackageState::failed(description);
            progress(app.id, state);
            results.push_back(PackageResult{app, std::move(state)});
        }
        return results;
    };

    try {
        checkRunnable(apps, options);
    } catch (const PackageManagerError& error) {
        return runWideFailure(error.text());
    }
    const double timeout = static_cast<double>(options.timeoutSeconds);

    // Homebrew's update runs as before, without the variables that keep Homebrew from
    // updating itself: it is the one update of the run.
    if (options.runUpdateFirst && !isCancelled()) {
        const std::vector<std::string> arguments = manager.updateArguments();
        log(InstallLog::commandLine(manager, arguments));
        CommandResult result;
        try {
            result = runner_.run(packageManagerPath, arguments, timeout, log);
        } catch (const std::exception& error) {
            return runWideFailure(error.what());
        }
        if (!result.succeeded()) {
            return runWideFailure(std::string(manager.displayName()) +
                                  " update failed; no packages were installed.");
        }
    }

    std::vector<PlannedEntry> plan;
    try {
        plan = InstallPlan::make(apps, options,
                                 surveyTaker(manager).take(apps, options, packageManagerPath, log));
    } catch (const PackageManagerError& error) {
        return runWideFailure(error.text());
    } catch (const std::exception& error) {
        return runWideFailure(error.what());
    }
    if (observers.onPlan) {
        observers.onPlan(plan);
    }
    RunningAppPolicy openApps = options.runningApps;
    if (observers.onOpenApps &&
        std::any_of(plan.begin(), plan.end(),
                    [](const PlannedEntry& entry) { return !entry.runningApps.empty(); })) {
        if (const std::optional<RunningAppPolicy> answer = observers.onOpenApps(plan)) {
            openApps = *answer;
        } else {
            cancel();
        }
    }
    if (approved) {
        if (const std::optional<std::string> refusal = approvePlan(plan, *approved)) {
            log(*refusal);
            cancel();
        }
    }
    Prefetch(brewRunner_, argumentSpace_).run(plan, options, packageManagerPath, log, progress);

    std::vector<PackageResult> results;
    results.reserve(plan.size());
    for (const PlannedEntry& entry : plan) {
        const AppEntry& app = entry.app;
        PackageState state = [&] {
            if (isCancelled()) {
                return PackageState::skipped();
            }
            switch (entry.action) {
            case PlannedAction::notInstallable:
                return PackageState::failed("No " + std::string(manager.displayName()) +
                                            " mapping for " + app.name + ".");
            case PlannedAction::alreadyInstalled:
                return PackageState::alreadyPresent();
            case PlannedAction::installedOutside:
                return PackageState::installedOutside();
            default:
                break;
            }
            const std::optional<std::vector<std::string>> arguments =
                InstallPlan::arguments(entry, manager);
            if (!arguments) {
                return PackageState::failed("No " + std::string(manager.displayName()) +
                                            " command for " + app.name + ".");
            }
            if (auto kept = keepOpenAppsOpen(entry, openApps, log)) {
                return *std::move(kept);
            }
            progress(app.id, PackageState::installing());
            log(InstallLog::commandLine(manager, *arguments));
            std::string_view passwordNote;
            std::optional<TapTrust::Refusal> untrusted;
            const auto watchOutput = [&](const std::string& line) {
                if (AdminPrompt::isRefusal(line)) {
                    passwordNote = AdminPrompt::failureNote;
                } else if (const auto note = AdminPrompt::unansweredNote(line); !note.empty()) {
                    passwordNote = note;
                }
                if (!untrusted) {
                    untrusted = TapTrust::refusal(line);
                }
                log(line);
            };
            try {
                const CommandResult result =
                    runner(manager).run(packageManagerPath, *arguments, timeout, watchOutput);
                if (untrusted && !result.succeeded() && !result.cancelled && !result.timedOut) {
                    return PackageState::failed(TapTrust::failureMessage(*untrusted));
                }
                return stateOfFinished(result, manager, passwordNote);
            } catch (const std::exception& error) {
                // A launch failure; any other failure of the runner is reported the same way.
                log(error.what());
                return PackageState::failed(error.what());
            }
        }();
        progress(app.id, state);
        results.push_back(PackageResult{app, std::move(state)});
    }
    cleanUp(plan, results, options, packageManagerPath, log);
    return results;
}

std::optional<std::string>
InstallEngine::approvePlan(const std::vector<PlannedEntry>& plan,
                           const std::set<std::string>& approvedReplacements) {
    std::string unasked;
    for (const PlannedEntry& entry : plan) {
        if (entry.action == PlannedAction::replace &&
            !approvedReplacements.contains(entry.app.id)) {
            unasked += (unasked.empty() ? "" : ", ") + entry.app.name;
        }
    }
    if (unasked.empty()) {
        return std::nullopt;
    }
    return "Nothing was installed: " + unasked +
           " would also be replaced, which was not asked; start the install again.";
}

void InstallEngine::cancel() {
    brewRunner_.cancel();
    runner_.cancel();
}

} // namespace cairnmoor
