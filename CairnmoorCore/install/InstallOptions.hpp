#pragma once

#include "managers/PackageManager.hpp"

#include <cstdint>
#include <optional>
#include <string_view>

namespace cairnmoor {

// What to do with a selected app that is on the Mac but was not installed by Homebrew
// (downloaded from the web, say): leave it (it counts as present), let Homebrew take it
// over where it stands (`--adopt`), or install over it (`--force`).
enum class ExistingApps { skip, adopt, replace };

// "skip", "adopt", "replace": the words profiles use.
std::string_view rawValue(ExistingApps value);
std::optional<ExistingApps> existingAppsFromRawValue(std::string_view rawValue);

// What to do when an app the run would upgrade, adopt or replace is open: leave that
// package alone this time, or ask the app to quit (as its user would, so it can ask about
// unsaved work) and go on once it has, leaving the package alone if it does not.
enum class RunningAppPolicy { skip, quit };

// "skip", "quit".
std::string_view rawValue(RunningAppPolicy value);
std::optional<RunningAppPolicy> runningAppPolicyFromRawValue(std::string_view rawValue);

// The choices that govern one install run; a default value holds the window's defaults.
struct InstallOptions {
    PackageManager packageManager = PackageManager::homebrew;
    bool skipInstalled = true;
    bool upgradeIfPresent = true; // wins over skipInstalled
    bool runUpdateFirst = false;
    bool writeLog = true;              // only in-window runs write a log file
    std::int64_t timeoutSeconds = 900; // per package; at least 1
    ExistingApps existingApps = ExistingApps::skip;
    // Download what will be installed first, several at once, then install one by one.
    bool prefetch = true;
    RunningAppPolicy runningApps = RunningAppPolicy::skip;

    bool operator==(const InstallOptions&) const = default;
};

} // namespace cairnmoor
