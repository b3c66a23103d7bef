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

} // namespace cairnmoor::BrewCommandBuilder
