#include "install/InstallEngine.hpp"

#include "install/FetchPlan.hpp"
#include "managers/AdminPrompt.hpp"
#include "managers/BrewCommandBuilder.hpp"
#include "managers/CaskInfo.hpp"
#include "managers/FetchOutput.hpp"
#include "managers/InstalledProbe.hpp"
#include "managers/PackageManagerError.hpp"
#include "platform/DecodingError.hpp"

#include <algorithm>
#include <exception>

namespace cairnmoor {

namespace {

// Asking Homebrew about many casks at once may fetch its catalogue first; past this it
// is given up and the run goes on without knowing about apps outside Homebrew.
constexpr double caskInfoTimeLimit = 120;

// "$ brew install --cask alpha": the executable's name, never its full path.
std::string commandLine(PackageManager manager, const std::vector<std::string>& arguments) {
    std::string line = "$ " + std::string(manager.executableName());
    for (const std::string& argument : arguments) {
        line += ' ';
        line += argument;
    }
    return line;
}

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
    : runner_(settings), brewRunner_(withHomebrewEnvironment(std::move(settings))),
      fileManager_(fileManager), runningApps_(runningApps) {}

ProcessRunner& InstallEngine::runner(PackageManager manager) {
    return manager == PackageManager::homebrew ? brewRunner_ : runner_;
}

bool InstallEngine::isCancelled() const {
    return runner_.isCancelled() || brewRunner_.isCancelled();
}

Survey InstallEngine::survey(const std::vector<AppEntry>& apps, const InstallOptions& options,
                             const std::string& packageManagerPath, Given given,
                             const LogHandler& log) {
    const PackageManager manager = options.packageManager;
    Survey survey;
    if (!(options.skipInstalled || options.upgradeIfPresent) || isCancelled()) {
        return survey;
    }
    survey.casks = given.casks;
    survey.packages = given.packages;
    if (manager == PackageManager::homebrew && !given.casks) {
        survey.casks =
            InstalledProbe::installed(packageManagerPath, manager, true, runner(manager), log);
    }
    if (!given.packages) {
        survey.packages =
            InstalledProbe::installed(packageManagerPath, manager, false, runner(manager), log);
    }
    if (manager == PackageManager::homebrew) {
        lookForExistingApps(apps, options, packageManagerPath, survey, log);
        for (const auto& [name, bundles] : survey.bundles) {
            if (auto open = openBundles(bundles); !open.empty()) {
                survey.running.emplace(name, std::move(open));
            }
        }
        for (const auto& [name, existing] : survey.existingApps) {
            if (auto open = openBundles({existing.path}); !open.empty()) {
                survey.running.emplace(name, std::move(open));
            }
        }
    }
    return survey;
}

std::vector<std::string> InstallEngine::openBundles(const std::vector<std::string>& bundles) const {
    std::vector<std::string> names;
    for (const std::filesystem::path& bundle :
         runningApps_.open({bundles.begin(), bundles.end()})) {
        names.push_back(bundle.string());
    }
    return names;
}

void InstallEngine::lookForExistingApps(const std::vector<AppEntry>& apps,
                                        const InstallOptions& options,
                                        const std::string& packageManagerPath, Survey& survey,
                                        const LogHandler& log) {
    std::vector<std::string> unlisted;
    for (const AppEntry& app : apps) {
        const auto name = options.packageManager.token(app);
        // Casks to be upgraded are asked about too: where their apps are, to see whether
        // one is open.
        if (name && app.macos->isCask() &&
            (options.upgradeIfPresent || !InstallPlan::isListed(*name, *survey.casks, {})) &&
            std::find(unlisted.begin(), unlisted.end(), *name) == unlisted.end()) {
            unlisted.push_back(*name);
        }
    }
    if (unlisted.empty() || isCancelled()) {
        return;
    }
    std::string document;
    std::string failure;
    try {
        ProcessRunner& commands = runner(options.packageManager);
        const CommandResult result = commands.run(
            packageManagerPath, CaskInfoReading::arguments(unlisted),
            std::min<double>(static_cast<double>(options.timeoutSeconds), caskInfoTimeLimit),
            [&](const std::string& line) { document += line + '\n'; }, log);
        if (result.cancelled) {
            return;
        }
        if (result.timedOut) {
            failure = "the question to Homebrew timed out";
        } else if (result.exitCode != 0) {
            failure = "brew exited with status " + std::to_string(result.exitCode);
        }
    } catch (const std::exception& error) {
        failure = error.what();
    }
    std::map<std::string, CaskInfo> infos;
    if (failure.empty()) {
        try {
            infos = CaskInfoReading::parse(document, unlisted);
        } catch (const DecodingError& error) {
            failure = "Homebrew's answer was not understood: " + error.debugDescription();
        }
    }
    if (!failure.empty()) {
        log("Apps installed outside Homebrew cannot be detected in this run (" + failure + ").");
        return;
    }
    const std::vector<std::filesystem::path> folders = fileManager_.applicationsDirectories();
    for (const auto& [name, info] : infos) {
        if (info.token != name) {
            survey.currentTokens.emplace(name, info.token);
        }
        if (InstallPlan::isListed(name, *survey.casks, survey.currentTokens)) {
            for (const std::string& bundle : info.apps) {
                for (const std::filesystem::path& folder : folders) {
                    if (fileManager_.fileExists(folder / bundle)) {
                        survey.bundles[name].push_back((folder / bundle).string());
                    }
                }
            }
            continue;
        }
        for (const std::string& bundle : info.apps) {
            for (const std::filesystem::path& folder : folders) {
                const std::filesystem::path path = folder / bundle;
                if (!survey.existingApps.contains(name) && fileManager_.fileExists(path)) {
                    survey.existingApps.emplace(
                        name, ExistingApp{path.string(),
                                          fileManager_.fileExists(path / "Contents/_MASReceipt")});
                }
            }
        }
    }
}

void InstallEngine::prefetch(const std::vector<PlannedEntry>& plan, const InstallOptions& options,
                             const std::string& packageManagerPath, const LogHandler& log,
                             const ProgressHandler& progress) {
    for (const FetchCommand& command : FetchPlan::make(plan, options)) {
        if (isCancelled()) {
            return;
        }
        // A row shows "downloading" from the line that names its package until the line
        // that ends it, or the fetch moves on, or ends.
        std::vector<std::string> downloading;
        const auto show = [&](const std::string& package, const PackageState& state) {
            for (const PlannedEntry& entry : plan) {
                if (entry.package == package && InstallPlan::runsCommand(entry.action) &&
                    entry.app.macos && entry.app.macos->isCask() == command.cask) {
                    progress(entry.app.id, state);
                }
            }
        };
        const auto settle = [&](const std::string& package) {
            if (const auto found = std::find(downloading.begin(), downloading.end(), package);
                found != downloading.end()) {
                downloading.erase(found);
                show(package, PackageState::pending());
            }
        };
        const auto watchOutput = [&](const std::string& line) {
            log(line);
            const std::optional<FetchNews> news = FetchOutput::read(line, command.packages);
            if (!news) {
                return;
            }
            switch (news->kind) {
            case FetchNews::Kind::finished:
                for (const std::string& package : news->packages) {
                    settle(package);
                }
                return;
            case FetchNews::Kind::startedAlone:
                // One download at a time: the one before it is done.
                for (const std::string& package : std::vector(downloading)) {
                    if (package != news->packages.front()) {
                        settle(package);
                    }
                }
                break;
            case FetchNews::Kind::started:
                break;
            }
            for (const std::string& package : news->packages) {
                if (std::find(downloading.begin(), downloading.end(), package) ==
                    downloading.end()) {
                    downloading.push_back(package);
                    show(package, PackageState::downloading());
                }
            }
        };

        const std::vector<std::string> arguments =
            BrewCommandBuilder::fetchArguments(command.cask, command.packages);
        log(commandLine(options.packageManager, arguments));
        std::string failure;
        try {
            const CommandResult result =
                brewRunner_.run(packageManagerPath, arguments, command.timeLimit, watchOutput);
            if (result.timedOut) {
                failure = "the fetch timed out";
            } else if (!result.cancelled && result.exitCode != 0) {
                failure = "brew exited with status " + std::to_string(result.exitCode);
            }
        } catch (const std::exception& error) {
            failure = error.what();
        }
        while (!downloading.empty()) {
            settle(downloading.front());
        }
        if (!failure.empty()) {
            log("Not everything was downloaded ahead (" + failure +
                "); each install downloads what it still needs.");
        }
    }
}

std::optional<PackageState> InstallEngine::keepOpenAppsOpen(const PlannedEntry& entry,
                                                            RunningAppPolicy policy,
                                                            const LogHandler& log) {
    // Looked at again now: an app may have been opened or quit since the plan was made.
    std::vector<std::string> open = openBundles(entry.bundles);
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
    log(commandLine(options.packageManager, arguments));
    std::string failure;
    try {
        const CommandResult result = brewRunner_.run(
            packageManagerPath, arguments, static_cast<double>(options.timeoutSeconds), log);
        if (result.timedOut) {
            failure = "it timed out";
        } else if (!result.cancelled && result.exitCode != 0) {
            failure = "brew exited with status " + std::to_string(result.exitCode);
        }
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
        survey(apps, options, packageManagerPath, {std::nullopt, std::nullopt}, log));
}

std::vector<PackageResult>
InstallEngine::execute(const std::vector<AppEntry>& apps, const InstallOptions& options,
                       const std::string& packageManagerPath, Given given,
                       const Observers& observers,
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
        log(commandLine(manager, arguments));
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
        plan =
            InstallPlan::make(apps, options, survey(apps, options, packageManagerPath, given, log));
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
    prefetch(plan, options, packageManagerPath, log, progress);

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
            log(commandLine(manager, *arguments));
            std::string_view passwordNote;
            const auto watchOutput = [&](const std::string& line) {
                if (AdminPrompt::isRefusal(line)) {
                    passwordNote = AdminPrompt::failureNote;
                } else if (const auto note = AdminPrompt::unansweredNote(line); !note.empty()) {
                    passwordNote = note;
                }
                log(line);
            };
            try {
                const CommandResult result =
                    runner(manager).run(packageManagerPath, *arguments, timeout, watchOutput);
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

std::vector<PackageResult>
InstallEngine::run(const std::vector<AppEntry>& apps, const InstallOptions& options,
                   const std::string& packageManagerPath, const Observers& observers,
                   const std::optional<std::set<std::string>>& approvedReplacements) {
    return execute(apps, options, packageManagerPath, {std::nullopt, std::nullopt}, observers,
                   approvedReplacements);
}

std::vector<PackageResult>
InstallEngine::run(const std::vector<AppEntry>& apps, const InstallOptions& options,
                   const std::string& packageManagerPath,
                   const std::optional<std::set<std::string>>& installedCasks,
                   const std::optional<std::set<std::string>>& installedPackages,
                   const ProgressHandler& onProgress, const LogHandler& onLog) {
    return execute(apps, options, packageManagerPath, {installedCasks, installedPackages},
                   Observers{onProgress, onLog, {}}, std::nullopt);
}

std::vector<PackageResult>
InstallEngine::run(const std::vector<AppEntry>& apps, const InstallOptions& options,
                   const std::string& brewPath, const std::set<std::string>& alreadyInstalledCasks,
                   const std::set<std::string>& alreadyInstalledFormulas,
                   const ProgressHandler& onProgress, const LogHandler& onLog) {
    return run(apps, options, brewPath, std::optional(alreadyInstalledCasks),
               std::optional(alreadyInstalledFormulas), onProgress, onLog);
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
