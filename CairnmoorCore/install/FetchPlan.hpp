#pragma once

#include "install/InstallOptions.hpp"
#include "install/InstallPlan.hpp"

#include <string>
#include <vector>

namespace cairnmoor {

// One download ahead of the installs: every package of one kind in a single `brew fetch`,
// which Homebrew downloads several at a time.
struct FetchCommand {
    bool cask = true;
    std::vector<std::string> packages; // plan order, each once
    // Seconds: one package's limit. Homebrew downloads several at a time, so one stalled
    // download holds the run up no longer than it would hold up its own install; what is
    // not downloaded by then, each install downloads for itself.
    double timeLimit = 0;

    bool operator==(const FetchCommand&) const = default;
};

namespace FetchPlan {

// The fetches of a run, casks first, then formulae: the packages the plan installs,
// upgrades, adopts or replaces. A kind with nothing to fetch has no command; there are none
// when the option is off or the manager is not Homebrew. Pure.
std::vector<FetchCommand> make(const std::vector<PlannedEntry>& plan,
                               const InstallOptions& options);

} // namespace FetchPlan

} // namespace cairnmoor
