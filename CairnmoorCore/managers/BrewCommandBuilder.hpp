#pragma once

#include "catalogue/AppEntry.hpp"

#include <optional>
#include <string>
#include <vector>

// Homebrew's argument lists in one place.
namespace cairnmoor::BrewCommandBuilder {

std::optional<std::vector<std::string>> installArguments(const AppEntry& entry);
std::optional<std::vector<std::string>> upgradeArguments(const AppEntry& entry);
// "list --cask" or "list --formula".
std::vector<std::string> listInstalledArguments(bool cask);
std::vector<std::string> updateArguments();

} // namespace cairnmoor::BrewCommandBuilder
