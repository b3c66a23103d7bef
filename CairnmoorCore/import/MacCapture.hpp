#pragma once

#include "catalogue/Catalog.hpp"
#include "install/Profile.hpp"
#include "managers/PackageManager.hpp"
#include "managers/ProcessRunner.hpp"
#include "platform/FileManager.hpp"

#include <functional>
#include <string>
#include <vector>

namespace cairnmoor {

// This Mac's packages as a profile, to set up another Mac the same way.
struct MacCapture {
    Profile profile;
    // Catalogue ids the manager's inventory gave, and those of apps found outside Homebrew
    // (each in `profile.apps` too, after the others).
    std::vector<std::string> fromManager;
    std::vector<std::string> foundOutside;

    using LogHandler = std::function<void(const std::string& line)>;

    // Homebrew's installed casks and the formulae installed on request (dependencies are
    // not captured; tap-qualified names are kept), or MacPorts' requested ports; then,
    // with Homebrew, the catalogue's other casks whose apps are in an Applications folder
    // (through `fileManager`). Throws PackageManagerError::commandFailed or CommandError
    // when an inventory cannot be taken; the look for apps outside is best effort.
    static MacCapture take(const std::string& managerPath, PackageManager manager,
                           const Catalog& catalog, const ProcessRunner::Settings& settings,
                           const FileManager& fileManager, const LogHandler& onLog = {});

    // The inventory commands, without the executable.
    static std::vector<std::vector<std::string>> inventoryArguments(PackageManager manager);
};

} // namespace cairnmoor
