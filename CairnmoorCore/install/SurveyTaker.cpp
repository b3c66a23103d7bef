#include "install/SurveyTaker.hpp"

#include "managers/ArgumentSpace.hpp"
#include "managers/CaskInfo.hpp"
#include "managers/InstalledProbe.hpp"
#include "platform/DecodingError.hpp"

#include <algorithm>
#include <exception>
#include <map>

namespace cairnmoor {
namespace {

// Asking Homebrew about many casks at once may fetch its catalogue first; past this it
// is given up and the run goes on without knowing about apps outside Homebrew.
constexpr double caskInfoTimeLimit = 120;

} // namespace

Survey SurveyTaker::take(const std::vector<AppEntry>& apps, const InstallOptions& options,
                         const std::string& packageManagerPath, const LogHandler& log) {
    const PackageManager manager = options.packageManager;
    Survey survey;
    if (!(options.skipInstalled || options.upgradeIfPresent) || runner_.isCancelled()) {
        return survey;
    }
    if (manager == PackageManager::homebrew) {
        survey.casks = InstalledProbe::installed(packageManagerPath, manager, true, runner_, log);
    }
    survey.packages = InstalledProbe::installed(packageManagerPath, manager, false, runner_, log);
    if (manager == PackageManager::homebrew) {
        lookForExistingApps(apps, options, packageManagerPath, survey, log);
        for (const auto& [name, bundles] : survey.bundles) {
            if (auto open = openBundles(bundles); !open.empty()) {
                survey.running.emplace(name, std::move(open));
            }
        }
        for (const auto& [name, existing] : survey.existingApps) {
            if (auto open = openBundles({existing.path}); !open.empty()) {
                survey.running.emplace(name, std::move(open));
            }
        }
    }
    return survey;
}

std::vector<std::string> SurveyTaker::openBundles(const std::vector<std::string>& bundles) const {
    std::vector<std::string> names;
    for (const std::filesystem::path& bundle :
         runningApps_.open({bundles.begin(), bundles.end()})) {
        names.push_back(bundle.string());
    }
    return names;
}

void SurveyTaker::lookForExistingApps(const std::vector<AppEntry>& apps,
                                      const InstallOptions& options,
                                      const std::string& packageManagerPath, Survey& survey,
                                      const LogHandler& log) {
    std::vector<std::string> unlisted;
    for (const AppEntry& app : apps) {
        const auto name = options.packageManager.token(app);
        // Casks to be upgraded are asked about too: where their apps are, to see whether
        // one is open.
        if (name && app.macos->isCask() &&
            (options.upgradeIfPresent || !InstallPlan::isListed(*name, *survey.casks, {})) &&
            std::find(unlisted.begin(), unlisted.end(), *name) == unlisted.end()) {
            unlisted.push_back(*name);
        }
    }
    if (unlisted.empty() || runner_.isCancelled()) {
        return;
    }
    // A list of names too long for one command is asked about by several.
    std::vector<std::string> fixed = CaskInfoReading::arguments({});
    fixed.insert(fixed.begin(), packageManagerPath);
    std::map<std::string, CaskInfo> infos;
    std::string failure;
    for (const std::vector<std::string>& names :
         ArgumentSpace::split(fixed, unlisted, argumentSpace_)) {
        std::string document;
        try {
            const CommandResult result = runner_.run(
                packageManagerPath, CaskInfoReading::arguments(names),
                std::min<double>(static_cast<double>(options.timeoutSeconds), caskInfoTimeLimit),
                [&](const std::string& line) { document += line + '\n'; }, log);
            if (result.cancelled) {
                return;
            }
            failure = result.failure("brew", "the question to Homebrew timed out");
        } catch (const std::exception& error) {
            failure = error.what();
        }
        if (failure.empty()) {
            try {
                infos.merge(CaskInfoReading::parse(document, names));
            } catch (const DecodingError& error) {
                failure = "Homebrew's answer was not understood: " + error.debugDescription();
            }
        }
        if (!failure.empty()) {
            break;
        }
    }
    if (!failure.empty()) {
        log("Apps installed outside Homebrew cannot be detected in this run (" + failure + ").");
        return;
    }
    const std::vector<std::filesystem::path> folders = fileManager_.applicationsDirectories();
    for (const auto& [name, info] : infos) {
        if (info.token != name) {
            survey.currentTokens.emplace(name, info.token);
        }
        if (InstallPlan::isListed(name, *survey.casks, survey.currentTokens)) {
            for (const std::string& bundle : info.apps) {
                for (const std::filesystem::path& folder : folders) {
                    if (fileManager_.fileExists(folder / bundle)) {
                        survey.bundles[name].push_back((folder / bundle).string());
                    }
                }
            }
            continue;
        }
        for (const std::string& bundle : info.apps) {
            for (const std::filesystem::path& folder : folders) {
                const std::filesystem::path path = folder / bundle;
                if (!survey.existingApps.contains(name) && fileManager_.fileExists(path)) {
                    survey.existingApps.emplace(
                        name, ExistingApp{path.string(),
                                          fileManager_.fileExists(path / "Contents/_MASReceipt")});
                }
            }
        }
    }
}

} // namespace cairnmoor
