#pragma once

#include "catalogue/AppEntry.hpp"
#include "install/InstallOptions.hpp"
#include "install/InstallPlan.hpp"
#include "install/PackageResult.hpp"
#include "install/PackageState.hpp"
#include "install/SurveyTaker.hpp"
#include "managers/ProcessRunner.hpp"
#include "platform/FileManager.hpp"
#include "platform/RunningApps.hpp"

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace cairnmoor {

// Carries out one install run: optional index refresh, inventory, the plan, the downloads
// ahead (Homebrew, when the options ask), then each entry in turn. Never throws from run(); every
// problem ends as package states. Create one engine per run: a cancel is for good.
class InstallEngine {
public:
    using ProgressHandler = std::function<void(const std::string& id, const PackageState& state)>;
    using LogHandler = std::function<void(const std::string& line)>;
    using PlanHandler = std::function<void(const std::vector<PlannedEntry>& plan)>;

    // Every handler may be empty and must be safe from any thread.
    struct Observers {
        ProgressHandler onProgress;
        LogHandler onLog;
        // Once, with the plan, before the first command that changes the Mac.
        PlanHandler onPlan;
        // After onPlan, when apps the plan would touch are open: what to do about them
        // in this run (over the options' runningApps), or none to cancel the run. It may
        // block, as a person answering does. Empty: the options decide.
        std::function<std::optional<RunningAppPolicy>(const std::vector<PlannedEntry>& plan)>
            onOpenApps = {};
    };

    // `settings` say how the manager's commands are started (terminal, environment);
    // the engine hands them to its runners and never looks at them itself. Homebrew's
    // commands after an asked-for update also get what Homebrew's children need
    // (BrewCommandBuilder::childEnvironment). Apps present outside the manager are looked
    // for through `fileManager`; open apps through `runningApps`.
    explicit InstallEngine(ProcessRunner::Settings settings = {},
                           const FileManager& fileManager = FileManager::defaultManager(),
                           const RunningApps& runningApps = RunningApps::system());
    InstallEngine(const InstallEngine&) = delete;
    InstallEngine& operator=(const InstallEngine&) = delete;

    // Blocks until the run is over. With `approvedReplacements` (the apps the user agreed to
    // have replaced), a plan that would replace any other app stops the run before anything
    // changes: the Mac may have changed since the user was asked.
    std::vector<PackageResult>
    run(const std::vector<AppEntry>& apps, const InstallOptions& options,
        const std::string& packageManagerPath, const Observers& observers,
        const std::optional<std::set<std::string>>& approvedReplacements = std::nullopt);
    // The plan alone: the inventory and what Homebrew says about the casks it does not
    // list, nothing that changes the Mac (no update either). Throws the error that would
    // stop a run (an unusable selection, an inventory that cannot be taken).
    std::vector<PlannedEntry> plan(const std::vector<AppEntry>& apps, const InstallOptions& options,
                                   const std::string& packageManagerPath, const LogHandler& onLog);

    // None when the plan replaces only approved apps; otherwise why the run stops, naming the
    // others.
    static std::optional<std::string>
    approvePlan(const std::vector<PlannedEntry>& plan,
                const std::set<std::string>& approvedReplacements);

    // The bytes one command's executable and arguments may take; a longer list of names is
    // split over several commands. Measured from the system's limit and the environment
    // unless set here.
    void limitArguments(std::size_t bytes);

    // From any thread, also while run() is blocked: stops the command in progress and
    // skips every package not yet handled. Never blocks.
    void cancel();

    // How long an app asked to quit has before its package is left alone (30 s).
    void setQuitTimeLimit(std::chrono::milliseconds limit) { quitTimeLimit_ = limit; }

private:
    // None when the entry's package may be touched now; else why not (an app still open,
    // or a cancel while waiting for it to quit).
    std::optional<PackageState> keepOpenAppsOpen(const PlannedEntry& entry, RunningAppPolicy policy,
                                                 const LogHandler& log);
    // One `brew cleanup` for what the run installed or upgraded; its failure is logged
    // and changes no package's state.
    void cleanUp(const std::vector<PlannedEntry>& plan, const std::vector<PackageResult>& results,
                 const InstallOptions& options, const std::string& packageManagerPath,
                 const LogHandler& log);

    // The runner for the manager's commands after an asked-for update.
    ProcessRunner& runner(PackageManager manager);
    SurveyTaker surveyTaker(PackageManager manager);
    bool isCancelled() const;

    // As the front end set it up: MacPorts, and Homebrew's own update.
    ProcessRunner runner_;
    // The same, with Homebrew's child environment added. A cancel reaches both.
    ProcessRunner brewRunner_;
    const FileManager& fileManager_;
    std::size_t argumentSpace_;
    const RunningApps& runningApps_;
    std::chrono::milliseconds quitTimeLimit_{30000};
};

} // namespace cairnmoor
