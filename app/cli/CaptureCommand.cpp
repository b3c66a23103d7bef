#include "cli/CaptureCommand.hpp"

#include "catalogue/CatalogLoader.hpp"
#include "cli/Console.hpp"
#include "cli/RunSetup.hpp"
#include "cli/TerminalText.hpp"
#include "import/MacCapture.hpp"
#include "install/InstallLog.hpp"
#include "managers/PackageManagerError.hpp"
#include "managers/PackageManagerLocator.hpp"
#include "platform/ProcessInfo.hpp"

#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace cairnmoor::CaptureCommand {

namespace {

constexpr std::int32_t statusFailure = 1;
constexpr std::int32_t statusUsage = 2;

std::int32_t fail(std::int32_t status, const std::string& message) {
    Console::writeError(CLI::displayText(message) + "\n");
    return status;
}

std::string joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) {
        text += (text.empty() ? "" : ", ") + item;
    }
    return text;
}

// The install's settings without the terminal: taking stock never asks for a password.
ProcessRunner::Settings runnerSettings(const RunSetup& setup) {
    ProcessRunner::Settings settings = setup.runnerSettings();
    settings.shareTerminal = false;
    return settings;
}

} // namespace

std::int32_t run(const Arguments& arguments) {
    const std::filesystem::path& asked = arguments.capturePath;
    PackageManager manager = PackageManager::homebrew;
    if (arguments.manager) {
        const auto chosen = PackageManager::fromRawValue(*arguments.manager);
        if (!chosen) {
            return fail(statusUsage, "--manager requires homebrew or macports");
        }
        manager = *chosen;
    }
    const auto managerPath = PackageManagerLocator::resolve(manager, FileManager::defaultManager(),
                                                            ProcessInfo::environment());
    if (!managerPath) {
        return fail(statusFailure, PackageManagerLocator::notFoundSentence(manager) +
                                       " Install it from " + std::string(manager.installURL()) +
                                       ".");
    }
    RunSetup setup;
    setup.managerPath = *managerPath;
    if (manager == PackageManager::homebrew && ::geteuid() == 0) {
        if (const auto why = setup.runAsOwner()) {
            return fail(statusFailure, *why);
        }
        Console::printLine("Running Homebrew as " + CLI::displayText(setup.account->name) +
                           ", the owner of " + CLI::displayText(*managerPath) + ".");
    }
    Catalog catalog;
    try {
        catalog = CatalogLoader::load(FileManager::defaultManager(), nullptr,
                                      [](const std::string& explanation) {
                                          Console::writeError(CLI::displayText(explanation) + "\n");
                                      });
    } catch (const std::exception& error) {
        return fail(statusFailure, "could not load catalogue: " + std::string(error.what()));
    }

    const bool silent = arguments.silent;
    MacCapture capture;
    try {
        capture = MacCapture::take(*managerPath, manager, catalog, runnerSettings(setup),
                                   setup.fileManager(), [silent](const std::string& line) {
                                       if (!silent) {
                                           Console::printLine(CLI::displayText(line));
                                       }
                                   });
    } catch (const PackageManagerError& error) {
        return fail(statusFailure, "could not capture this Mac: " + error.text());
    } catch (const std::exception& error) {
        return fail(statusFailure, "could not capture this Mac: " + std::string(error.what()));
    }

    std::filesystem::path written;
    try {
        if (asked.has_parent_path()) {
            FileManager::defaultManager().createDirectory(asked.parent_path(), true);
        }
        // The free name in the folder as the user wrote it ("x.cmprofile", not "./x...").
        written = asked.parent_path() / InstallLog::createFile(asked).filename();
        capture.profile.write(written);
    } catch (const std::exception& error) {
        if (!written.empty()) {
            std::error_code ignored;
            std::filesystem::remove(written, ignored);
        }
        return fail(statusFailure,
                    "could not write profile " + asked.string() + ": " + error.what());
    }
    if (written != asked) {
        Console::printLine(CLI::displayText(asked.string()) + " exists; the profile went to " +
                           CLI::displayText(written.string()) + ".");
    }
    if (!capture.foundOutside.empty()) {
        Console::printLine(
            "Found outside Homebrew: " + CLI::displayText(joined(capture.foundOutside)) + ".");
    }
    Console::printLine("Saved " + CLI::displayText(written.string()) + ": " +
                       std::to_string(capture.fromManager.size()) + " catalogue apps, " +
                       std::to_string(capture.profile.packages.size()) + " other packages, " +
                       std::to_string(capture.foundOutside.size()) + " found outside Homebrew.");
    return 0;
}

} // namespace cairnmoor::CaptureCommand
