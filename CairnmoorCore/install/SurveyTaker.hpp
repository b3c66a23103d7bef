#pragma once

#include "catalogue/AppEntry.hpp"
#include "install/InstallOptions.hpp"
#include "install/InstallPlan.hpp"
#include "managers/ProcessRunner.hpp"
#include "platform/FileManager.hpp"
#include "platform/RunningApps.hpp"

#include <cstddef>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace cairnmoor {

// What a plan is made from, taken without changing the Mac: the manager's inventory,
// what Homebrew says about the casks (their current tokens and app bundles), the apps
// found outside Homebrew in the Applications folders, and which of the bundles are open.
class SurveyTaker {
public:
    using LogHandler = std::function<void(const std::string& line)>;

    // `argumentSpace`: the bytes one command may take (ArgumentSpace).
    SurveyTaker(ProcessRunner& runner, const FileManager& fileManager,
                const RunningApps& runningApps, std::size_t argumentSpace)
        : runner_(runner), fileManager_(fileManager), runningApps_(runningApps),
          argumentSpace_(argumentSpace) {}

    // Throws what makes a run impossible (an inventory that cannot be taken); a question
    // about the casks that fails is logged, and only detection of apps outside Homebrew is
    // given up.
    Survey take(const std::vector<AppEntry>& apps, const InstallOptions& options,
                const std::string& packageManagerPath, const LogHandler& log);

private:
    void lookForExistingApps(const std::vector<AppEntry>& apps, const InstallOptions& options,
                             const std::string& packageManagerPath, Survey& survey,
                             const LogHandler& log);
    // The bundles among `bundles` with a process running from inside them.
    std::vector<std::string> openBundles(const std::vector<std::string>& bundles) const;

    ProcessRunner& runner_;
    const FileManager& fileManager_;
    const RunningApps& runningApps_;
    std::size_t argumentSpace_;
};

} // namespace cairnmoor
