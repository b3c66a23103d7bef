#pragma once

#include "catalogue/AppEntry.hpp"
#include "install/InstallOptions.hpp"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace cairnmoor::testing {

AppEntry cask(const std::string& name, const std::string& brew);
AppEntry formula(const std::string& name, const std::string& brew,
                 std::optional<std::string> macports = std::nullopt);
AppEntry port(const std::string& name, const std::string& macports);
AppEntry unmapped(const std::string& name);

InstallOptions options(PackageManager manager, bool skipInstalled, bool upgradeIfPresent,
                       bool runUpdateFirst = false, bool writeLog = false);

std::vector<std::string> splitLines(const std::string& text);

struct CommandOutput {
    std::string output; // standard output and standard error together
    int status = -1;
};

// Runs `program arguments...` with exactly the given environment, reading its combined
// output to the end (so background writers have finished too).
CommandOutput runCommand(const std::vector<std::string>& command,
                         const std::map<std::string, std::string>& environment);

} // namespace cairnmoor::testing
