#pragma once

#include "install/InstallOptions.hpp"
#include "install/InstallPlan.hpp"
#include "install/PackageState.hpp"
#include "managers/ProcessRunner.hpp"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace cairnmoor {

// The downloads ahead of a Homebrew run: one `brew fetch` per kind of what the plan
// installs, upgrades, adopts or replaces (several where the names would not fit one
// command), which Homebrew downloads several at a time; rows show "downloading" while
// the output names their package. Best effort: a fetch that fails or runs out of time is
// logged, and each install then downloads for itself.
class Prefetch {
public:
    using LogHandler = std::function<void(const std::string& line)>;
    using ProgressHandler = std::function<void(const std::string& id, const PackageState& state)>;

    // `argumentSpace`: the bytes one command may take (ArgumentSpace).
    Prefetch(ProcessRunner& runner, std::size_t argumentSpace)
        : runner_(runner), argumentSpace_(argumentSpace) {}

    void run(const std::vector<PlannedEntry>& plan, const InstallOptions& options,
             const std::string& packageManagerPath, const LogHandler& log,
             const ProgressHandler& progress);

private:
    ProcessRunner& runner_;
    std::size_t argumentSpace_;
};

} // namespace cairnmoor
