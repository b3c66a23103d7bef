#pragma once

#include "managers/HomebrewOwner.hpp"
#include "managers/ProcessRunner.hpp"
#include "platform/Account.hpp"
#include "platform/AccountFileManager.hpp"

#include <filesystem>
#include <optional>
#include <string>

namespace cairnmoor {

// What a run needs beyond the selection: how to start the manager and where to report.
struct RunSetup {
    std::string profilePath;
    std::string managerPath;
    bool silent = false;
    std::optional<Account> account; // the manager's commands run as this account
    std::optional<ProcessRunner::ExecutableIdentity> manager; // as it was checked
    std::optional<std::filesystem::path> logPath;

    // As root: the manager's commands go to the owner of `brew`, which no other account
    // may be able to swap. The one sentence saying why not, when they cannot.
    std::optional<std::string> runAsOwner() {
        std::string problem;
        std::optional<Account> owner = HomebrewOwner::find(managerPath, problem);
        if (!owner) {
            return problem;
        }
        if (auto why = HomebrewOwner::untrusted(managerPath, *owner)) {
            return why;
        }
        account = std::move(owner);
        manager = ProcessRunner::ExecutableIdentity::of(managerPath);
        return std::nullopt;
    }

    ProcessRunner::Settings runnerSettings() const {
        // A package that asks for a password can ask the person at the terminal, when
        // there is one and we are its foreground job (never for another account).
        return ProcessRunner::Settings{
            .shareTerminal = true, .environment = {}, .account = account, .executable = manager};
    }
    // Apps outside Homebrew are looked for in the folders of whoever Homebrew runs as.
    const FileManager& fileManager() const {
        if (account && !ownerFiles) {
            ownerFiles.emplace(account->home);
        }
        return ownerFiles ? static_cast<const FileManager&>(*ownerFiles)
                          : FileManager::defaultManager();
    }

private:
    mutable std::optional<AccountFileManager> ownerFiles;
};

} // namespace cairnmoor
