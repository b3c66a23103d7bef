#pragma once

#include "catalogue/AppEntry.hpp"

#include <optional>
#include <string>
#include <utility>
#include <vector>

// Homebrew's argument lists in one place, and what its children need in their environment.
namespace cairnmoor::BrewCommandBuilder {

std::optional<std::vector<std::string>> installArguments(const AppEntry& entry);
std::optional<std::vector<std::string>> upgradeArguments(const AppEntry& entry);
// "list --cask" or "list --formula".
std::vector<std::string> listInstalledArguments(bool cask);
std::vector<std::string> updateArguments();
// "fetch --cask NAME..." or "fetch --formula NAME...": downloads into Homebrew's cache,
// several at once, so that the installs after it find their files there.
std::vector<std::string> fetchArguments(bool cask, const std::vector<std::string>& names);
// "cleanup NAME...": old versions and downloads of those packages, once at the end of a
// run instead of after each install.
std::vector<std::string> cleanupArguments(const std::vector<std::string>& names);

// Variables for every Homebrew command of a run except an asked-for `update`: no update of
// Homebrew itself before each install (a run updates once, first, when the user asks), no
// hints about environment variables in the log, no cleanup after each install (the run
// cleans up once, at the end) and no quitting of open apps on upgrade (the run's own
// choice about open apps is the only one).
std::vector<std::pair<std::string, std::string>> childEnvironment();

} // namespace cairnmoor::BrewCommandBuilder
