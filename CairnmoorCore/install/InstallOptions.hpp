#pragma once

#include "managers/PackageManager.hpp"

#include <cstdint>

namespace cairnmoor {

// The choices that govern one install run; a default value holds the window's defaults.
struct InstallOptions {
    PackageManager packageManager = PackageManager::homebrew;
    bool skipInstalled = true;
    bool upgradeIfPresent = true; // wins over skipInstalled
    bool runUpdateFirst = false;
    bool writeLog = true;              // only in-window runs write a log file
    std::int64_t timeoutSeconds = 900; // per package; at least 1

    bool operator==(const InstallOptions&) const = default;
};

} // namespace cairnmoor
