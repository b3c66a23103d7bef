#pragma once

#include "catalogue/AppEntry.hpp"
#include "install/InstallOptions.hpp"
#include "install/PackageResult.hpp"
#include "install/PackageState.hpp"
#include "managers/ProcessRunner.hpp"

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace cairnmoor {

// Carries out one install run: optional index refresh, inventory, then each entry in
// turn. Never throws; every problem ends as package states. Create one engine per run:
// a cancel is for good.
class InstallEngine {
public:
    using ProgressHandler = std::function<void(const std::string& id, const PackageState& state)>;
    using LogHandler = std::function<void(const std::string& line)>;

    // `settings` say how the manager's commands are started (terminal, environment);
    // the engine hands them to its runner and never looks at them itself.
    explicit InstallEngine(ProcessRunner::Settings settings = {});
    InstallEngine(const InstallEngine&) = delete;
    InstallEngine& operator=(const InstallEngine&) = delete;

    // Blocks until the run is over. `installedCasks` / `installedPackages` none make the
    // engine take that inventory itself. Both handlers must be safe from any thread.
    std::vector<PackageResult> run(const std::vector<AppEntry>& apps, const InstallOptions& options,
                                   const std::string& packageManagerPath,
                                   const std::optional<std::set<std::string>>& installedCasks,
                                   const std::optional<std::set<std::string>>& installedPackages,
                                   const ProgressHandler& onProgress, const LogHandler& onLog);
    // The older form: the two inventories are given, so none is taken.
    std::vector<PackageResult> run(const std::vector<AppEntry>& apps, const InstallOptions& options,
                                   const std::string& brewPath,
                                   const std::set<std::string>& alreadyInstalledCasks,
                                   const std::set<std::string>& alreadyInstalledFormulas,
                                   const ProgressHandler& onProgress, const LogHandler& onLog);
    // From any thread, also while run() is blocked: stops the command in progress and
    // skips every package not yet handled. Never blocks.
    void cancel();

private:
    ProcessRunner runner_;
};

} // namespace cairnmoor
