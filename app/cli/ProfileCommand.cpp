#include "cli/ProfileCommand.hpp"

#include "buildinfo/BuildInfo.hpp"
#include "catalogue/CatalogLoader.hpp"
#include "cli/BrewfileCommand.hpp"
#include "cli/Console.hpp"
#include "cli/ExitStatus.hpp"
#include "cli/InstallCommand.hpp"
#include "cli/ReportWriter.hpp"
#include "cli/RunSetup.hpp"
#include "cli/SurveyCommand.hpp"
#include "cli/TerminalText.hpp"
#include "install/Profile.hpp"
#include "install/Selection.hpp"
#include "managers/PackageManagerError.hpp"
#include "managers/PackageManagerLocator.hpp"
#include "platform/ProcessInfo.hpp"

#include <exception>
#include <unistd.h>

namespace cairnmoor::ProfileCommand {

using CLI::displayText;

std::int32_t run(const Arguments& arguments) {
    RunSetup setup;
    setup.profilePath = arguments.profilePath;
    setup.silent = arguments.silent;
    setup.logPath = arguments.logPath;

    // From here on a report is written whatever happens, so a fleet tool never reads
    // an earlier run's report as this one's.
    RunReport initial;
    initial.startedAt = std::chrono::system_clock::now();
    initial.version = BuildInfo::version();
    initial.host = ProcessInfo::hostName();
    initial.profile = setup.profilePath;
    ReportWriter report(arguments.reportPath, std::move(initial));
    const auto stop = [&](std::int32_t status, const std::string& message) {
        Console::writeError(displayText(message) + "\n");
        report.notStarted(message, status);
        return status;
    };

    Profile profile;
    try {
        profile = arguments.brewfile ? BrewfileCommand::load(setup.profilePath)
                                     : Profile::load(setup.profilePath);
    } catch (const std::exception& error) {
        return stop(ExitStatus::failure,
                    (arguments.brewfile ? "could not read Brewfile " : "could not read profile ") +
                        setup.profilePath + ": " + error.what());
    }

    PackageManager manager = profile.options.packageManager;
    report.change([&](RunReport& run) { run.options = profile.options; });
    if (arguments.manager) {
        const auto chosen = PackageManager::fromRawValue(*arguments.manager);
        if (!chosen) {
            return stop(ExitStatus::usage, "--manager requires homebrew or macports");
        }
        manager = *chosen;
    }
    report.change([&](RunReport& run) {
        run.manager = manager;
        run.options->packageManager = manager;
    });

    const std::optional<std::string> managerPath = PackageManagerLocator::resolve(
        manager, FileManager::defaultManager(), ProcessInfo::environment());
    if (!managerPath) {
        return stop(ExitStatus::failure, PackageManagerLocator::notFoundSentence(manager) +
                                             " Install it from " +
                                             std::string(manager.installURL()) + ".");
    }
    setup.managerPath = *managerPath;
    report.change([&](RunReport& run) { run.managerPath = *managerPath; });
    if (::geteuid() == 0 && manager == PackageManager::homebrew) {
        if (const auto why = setup.runAsOwner()) {
            return stop(ExitStatus::failure, *why);
        }
        report.change([&](RunReport& run) { run.runAs = setup.account->name; });
    }

    Catalog catalog;
    try {
        catalog = CatalogLoader::load(FileManager::defaultManager(), nullptr,
                                      [](const std::string& explanation) {
                                          Console::writeError(displayText(explanation) + "\n");
                                      });
    } catch (const std::exception& error) {
        return stop(ExitStatus::failure, "could not load catalogue: " + std::string(error.what()));
    }

    if (arguments.brewfile) {
        BrewfileCommand::matchCatalogue(profile, catalog);
    }
    std::vector<AppEntry> selected;
    try {
        selected = Selection::entriesNamed(catalog, profile.apps, Selection::Scope::everyEntry);
        const std::vector<AppEntry> packages = profile.packageEntries(); // beyond the catalogue
        selected.insert(selected.end(), packages.begin(), packages.end());
        manager.validate(selected);
    } catch (const PackageManagerError& error) {
        return stop(ExitStatus::usage, error.text());
    }

    InstallOptions options = profile.options;
    options.packageManager = manager;
    if (setup.account) {
        Console::printLine("Running Homebrew as " + displayText(setup.account->name) +
                           ", the owner of " + displayText(*managerPath) + ".");
    }
    if (arguments.surveying()) {
        return SurveyCommand::run(selected, options, setup, !arguments.dryRun);
    }
    report.change([&](RunReport& run) {
        for (const AppEntry& app : selected) {
            run.apps.push_back(RunReport::App{
                app.id, app.name, manager.token(app).value_or(""), std::nullopt, {}, {}});
        }
    });
    return InstallCommand::run(selected, options, setup, report);
}

} // namespace cairnmoor::ProfileCommand
