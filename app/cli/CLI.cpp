#include "cli/CLI.hpp"

#include "buildinfo/BuildInfo.hpp"
#include "catalogue/CatalogLoader.hpp"
#include "cli/Console.hpp"
#include "cli/InterruptWatcher.hpp"
#include "install/InstallEngine.hpp"
#include "install/Profile.hpp"
#include "managers/PackageManagerError.hpp"
#include "managers/PackageManagerLocator.hpp"
#include "platform/ProcessInfo.hpp"

#include <algorithm>
#include <exception>
#include <set>
#include <system_error>

namespace cairnmoor::CLI {

namespace {

constexpr const char* usageText =
    " - bulk software installer for macOS (Homebrew or MacPorts)\n"
    "\n"
    "Usage:\n"
    "  Cairnmoor                                Launch the graphical app.\n"
    "  Cairnmoor --profile <file> [--silent]    Install a saved *.cmprofile without a window.\n"
    "  Cairnmoor --help                         Show this help.\n"
    "  Cairnmoor --version                      Print the version and exit.\n"
    "\n"
    "--manager homebrew|macports overrides the saved profile's package manager.\n"
    "MacPorts normally needs root: run this CLI with sudo, or use the GUI's\n"
    "Install in Terminal action. Homebrew must run as your normal user.\n"
    "Exit status when installing a profile is non-zero if any package failed.";

constexpr std::int32_t statusUsage = 2;
constexpr std::int32_t statusFailure = 1;

std::string hexDigits(unsigned value) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    do {
        text.insert(text.begin(), digits[value % 16]);
        value /= 16;
    } while (value != 0);
    return text;
}

std::string notFoundSentence(PackageManager manager) {
    if (manager == PackageManager::macports) {
        return "A trusted root-owned MacPorts installation at /opt/local/bin/port was not found.";
    }
    return "Homebrew was not found.";
}

// The second half of a profile run: the install itself, its output and the status.
std::int32_t install(const std::vector<AppEntry>& selected, InstallOptions options,
                     const std::string& profilePath, const std::string& managerPath, bool silent) {
    if (!silent) {
        Console::printLine("Installing " + std::to_string(selected.size()) + " app(s) from " +
                           profilePath + " using " + managerPath + "...");
    }
    const auto onProgress = [silent](const std::string& id, const PackageState& state) {
        if (!silent) {
            Console::printLine(id + ": " + stateText(state));
        }
    };
    const auto onLog = [silent](const std::string& line) {
        if (!silent) {
            Console::printLine(line);
        }
    };

    InstallEngine engine;
    // The manager runs in its own process group, out of reach of the terminal's
    // interrupt: pass the interrupt on by cancelling, so it stops with us.
    std::optional<InterruptWatcher> watcher;
    try {
        watcher.emplace([&engine](int) { engine.cancel(); });
    } catch (const std::system_error&) {
        // Out of descriptors: install anyway; an interrupt then simply ends the process.
    }
    const std::vector<PackageResult> results =
        engine.run(selected, options, managerPath, std::nullopt, std::nullopt, onProgress, onLog);

    std::size_t failures = 0;
    for (const PackageResult& result : results) {
        if (result.state.kind == PackageState::Kind::failed) {
            ++failures;
            Console::printLine("FAILED: " + result.app.name + " - " + result.state.message);
        }
    }
    Console::printLine("Summary: " + std::to_string(results.size()) + " processed, " +
                       std::to_string(failures) + " failed.");
    if (watcher) {
        watcher->stop();
        // Interrupted is never success, whatever the packages did before.
        if (const int signalNumber = watcher->signalNumber(); signalNumber != 0) {
            return 128 + signalNumber;
        }
    }
    return failures > 0 ? statusFailure : 0;
}

} // namespace

const std::string& helpText() {
    static const std::string text = "Cairnmoor " + BuildInfo::version() + usageText;
    return text;
}

std::string stringLiteral(std::string_view text) {
    std::string result = "\"";
    result.reserve(text.size() + 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        switch (byte) {
        case '"':
            result += "\\\"";
            break;
        case '\\':
            result += "\\\\";
            break;
        case '\0':
            result += "\\0";
            break;
        case '\n':
            result += "\\n";
            break;
        case '\r':
            result += "\\r";
            break;
        case '\t':
            result += "\\t";
            break;
        default:
            if (byte < 0x20 || byte == 0x7f) {
                result += "\\u{" + hexDigits(byte) + "}";
            } else if (byte == 0xc2 && i + 1 < text.size() &&
                       static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                       static_cast<unsigned char>(text[i + 1]) <= 0x9f) {
                // U+0080 to U+009F, the second set of control characters.
                result += "\\u{" + hexDigits(static_cast<unsigned char>(text[++i])) + "}";
            } else {
                result += static_cast<char>(byte);
            }
        }
    }
    result += '"';
    return result;
}

std::string stateText(const PackageState& state) {
    if (state.kind == PackageState::Kind::failed) {
        return "failed(" + stringLiteral(state.message) + ")";
    }
    return std::string(state.caseName());
}

std::optional<std::int32_t> run(const std::vector<std::string>& arguments) {
    const auto has = [&](std::string_view option) {
        return std::find(arguments.begin(), arguments.end(), option) != arguments.end();
    };

    if (has("--help") || has("-h")) {
        Console::printLine(helpText());
        return 0;
    }
    if (has("--version")) {
        Console::printLine(BuildInfo::version());
        return 0;
    }
    const auto profileOption = std::find(arguments.begin(), arguments.end(), "--profile");
    if (profileOption == arguments.end()) {
        if (has("--manager")) {
            Console::writeError("--manager requires --profile <file>\n");
            return statusUsage;
        }
        return std::nullopt;
    }
    const bool silent = has("--silent");
    if (profileOption + 1 == arguments.end()) {
        Console::writeError("--profile requires a file path\n");
        return statusUsage;
    }
    const std::string& profilePath = *(profileOption + 1);

    Profile profile;
    try {
        profile = Profile::load(profilePath);
    } catch (const std::exception& error) {
        Console::writeError("could not read profile " + profilePath + ": " + error.what() + "\n");
        return statusFailure;
    }

    PackageManager manager = profile.options.packageManager;
    if (const auto managerOption = std::find(arguments.begin(), arguments.end(), "--manager");
        managerOption != arguments.end()) {
        const auto chosen = managerOption + 1 == arguments.end()
                                ? std::nullopt
                                : PackageManager::fromRawValue(*(managerOption + 1));
        if (!chosen) {
            Console::writeError("--manager requires homebrew or macports\n");
            return statusUsage;
        }
        manager = *chosen;
    }

    const std::optional<std::string> managerPath = PackageManagerLocator::resolve(
        manager, FileManager::defaultManager(), ProcessInfo::environment());
    if (!managerPath) {
        Console::writeError(notFoundSentence(manager) + " Install it from " +
                            std::string(manager.installURL()) + ".\n");
        return statusFailure;
    }

    Catalog catalog;
    try {
        catalog = CatalogLoader::load();
    } catch (const std::exception& error) {
        Console::writeError(std::string("could not load catalogue: ") + error.what() + "\n");
        return statusFailure;
    }

    const std::set<std::string> wanted(profile.apps.begin(), profile.apps.end());
    std::vector<AppEntry> selected;
    std::set<std::string> unknown = wanted;
    for (const AppEntry& entry : catalog.apps) {
        if (wanted.contains(entry.id)) {
            selected.push_back(entry);
            unknown.erase(entry.id);
        }
    }
    try {
        if (!unknown.empty()) {
            std::string list;
            for (const std::string& id : unknown) {
                list += (list.empty() ? "" : ", ") + id;
            }
            throw PackageManagerError::invalidSelection("Unknown catalogue IDs: " + list + ".");
        }
        manager.validate(selected);
    } catch (const PackageManagerError& error) {
        Console::writeError(std::string(error.what()) + "\n");
        return statusUsage;
    }

    InstallOptions options = profile.options;
    options.packageManager = manager;
    return install(selected, options, profilePath, *managerPath, silent);
}

} // namespace cairnmoor::CLI
