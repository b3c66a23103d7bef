#pragma once

#include "managers/PackageManager.hpp"
#include "managers/ProcessRunner.hpp"

#include <set>
#include <string>
#include <vector>

// What a manager reports as installed, read strictly: one unexpected line fails the probe.
namespace cairnmoor::InstalledProbe {

// Runs "list --cask" / "list --formula" (Homebrew) or "-q installed active" (MacPorts)
// through the runner with a time limit (30 seconds unless told). The inventory is read from
// standard output only; what the manager says on standard error (warnings) goes to `onLog`. Throws
// CommandError (cannot launch) or PackageManagerError::commandFailed.
std::set<std::string> installed(const std::string& path, PackageManager manager, bool cask,
                                ProcessRunner& runner,
                                const ProcessRunner::OutputHandler& onLog = {},
                                double timeLimit = 30);
// Throws PackageManagerError::commandFailed quoting the first unexpected line.
std::set<std::string> parse(const std::vector<std::string>& lines, PackageManager manager);

} // namespace cairnmoor::InstalledProbe
