#include "install/Prefetch.hpp"

#include "install/FetchPlan.hpp"
#include "install/InstallLog.hpp"
#include "managers/ArgumentSpace.hpp"
#include "managers/BrewCommandBuilder.hpp"
#include "managers/FetchOutput.hpp"

#include <algorithm>
#include <exception>
#include <utility>

namespace cairnmoor {

void Prefetch::run(const std::vector<PlannedEntry>& plan, const InstallOptions& options,
                   const std::string& packageManagerPath, const LogHandler& log,
                   const ProgressHandler& progress) {
    // A list of names too long for one command is fetched by several.
    std::vector<FetchCommand> commands;
    for (FetchCommand& whole : FetchPlan::make(plan, options)) {
        std::vector<std::string> fixed = BrewCommandBuilder::fetchArguments(whole.cask, {});
        fixed.insert(fixed.begin(), packageManagerPath);
        for (std::vector<std::string>& packages :
             ArgumentSpace::split(fixed, whole.packages, argumentSpace_)) {
            commands.push_back(FetchCommand{whole.cask, std::move(packages), whole.timeLimit});
        }
    }
    for (const FetchCommand& command : commands) {
        if (runner_.isCancelled()) {
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
        log(InstallLog::commandLine(options.packageManager, arguments));
        std::string failure;
        try {
            failure = runner_.run(packageManagerPath, arguments, command.timeLimit, watchOutput)
                          .failure("brew", "the fetch timed out");
        } catch (const std::exception& error) {
            failure = error.what();
        }
        for (const std::string& package : std::exchange(downloading, {})) {
            show(package, PackageState::pending());
        }
        if (!failure.empty()) {
            log("Not everything was downloaded ahead (" + failure +
                "); each install downloads what it still needs.");
        }
    }
}

} // namespace cairnmoor
