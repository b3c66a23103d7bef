#include "managers/BrewCommandBuilder.hpp"

#include "managers/PackageManager.hpp"

namespace cairnmoor::BrewCommandBuilder {

std::optional<std::vector<std::string>> installArguments(const AppEntry& entry) {
    return PackageManager(PackageManager::homebrew).arguments(entry, false);
}

std::optional<std::vector<std::string>> upgradeArguments(const AppEntry& entry) {
    return PackageManager(PackageManager::homebrew).arguments(entry, true);
}

std::vector<std::string> listInstalledArguments(bool cask) {
    return {"list", cask ? "--cask" : "--formula"};
}

std::vector<std::string> updateArguments() {
    return PackageManager(PackageManager::homebrew).updateArguments();
}

std::vector<std::string> fetchArguments(bool cask, const std::vector<std::string>& names) {
    std::vector<std::string> arguments{"fetch", cask ? "--cask" : "--formula"};
    arguments.insert(arguments.end(), names.begin(), names.end());
    return arguments;
}

std::vector<std::string> cleanupArguments(const std::vector<std::string>& names) {
    std::vector<std::string> arguments{"cleanup"};
    arguments.insert(arguments.end(), names.begin(), names.end());
    return arguments;
}

std::vector<std::pair<std::string, std::string>> childEnvironment() {
    return {{"HOMEBREW_NO_AUTO_UPDATE", "1"},
            {"HOMEBREW_NO_ENV_HINTS", "1"},
            {"HOMEBREW_NO_INSTALL_CLEANUP", "1"},
            {"HOMEBREW_NO_UPGRADE_QUIT_CASKS", "1"}};
}

} // namespace cairnmoor::BrewCommandBuilder
