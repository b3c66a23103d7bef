#include "install/FetchPlan.hpp"

#include <algorithm>

namespace cairnmoor::FetchPlan {

std::vector<FetchCommand> make(const std::vector<PlannedEntry>& plan,
                               const InstallOptions& options) {
    if (!options.prefetch || options.packageManager != PackageManager::homebrew) {
        return {};
    }
    std::vector<FetchCommand> commands;
    for (const bool cask : {true, false}) {
        FetchCommand command{cask, {}, 0};
        for (const PlannedEntry& entry : plan) {
            if (InstallPlan::runsCommand(entry.action) && entry.app.macos &&
                entry.app.macos->isCask() == cask &&
                std::find(command.packages.begin(), command.packages.end(), entry.package) ==
                    command.packages.end()) {
                command.packages.push_back(entry.package);
            }
        }
        if (!command.packages.empty()) {
            command.timeLimit = static_cast<double>(options.timeoutSeconds);
            commands.push_back(std::move(command));
        }
    }
    return commands;
}

} // namespace cairnmoor::FetchPlan
