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
    "Exit status when installing a profile is non-zero if any package failed.\n"
    "\n"
    "More options with --profile:\n"
    "  --dry-run        Show what an install would do with each app; change nothing.\n"
    "  --check          List the profile's apps that are not on this Mac; exit 1 if any.";

constexpr std::int32_t statusUsage = 2;
constexpr std::int32_t statusFailure = 1;

// The length of the well-formed UTF-8 character at `at`, or 0.
std::size_t utf8Length(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    }
    if (length == 0 || at + length > text.size() || byte(at + 1) < low || byte(at + 1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

std::string hexDigits(unsigned value) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    do {
        text.insert(text.begin(), digits[value % 16]);
        value /= 16;
    } while (value != 0);
    return text;
}

// Control characters as backslash escapes, ill-formed UTF-8 as U+FFFD; in a literal
// also quotes, backslashes and tabs.
std::string escaped(std::string_view text, bool literal) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x80) {
            const std::size_t length = utf8Length(text, i);
            if (length == 0) {
                result += "\xEF\xBF\xBD";
                ++i;
            } else if (byte == 0xc2 && static_cast<unsigned char>(text[i + 1]) <= 0x9f) {
                // U+0080 to U+009F, the second set of control characters (CSI among them).
                result += "\\u{" + hexDigits(static_cast<unsigned char>(text[i + 1])) + "}";
                i += 2;
            } else {
                result.append(text, i, length);
                i += length;
            }
            continue;
        }
        ++i;
        switch (byte) {
        case '"':
            result += literal ? "\\\"" : "\"";
            break;
        case '\\':
            result += literal ? "\\\\" : "\\";
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
            result += literal ? "\\t" : "\t";
            break;
        default:
            if (byte < 0x20 || byte == 0x7f) {
                result += "\\u{" + hexDigits(byte) + "}";
            } else {
                result += static_cast<char>(byte);
            }
        }
    }
    return result;
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
                           displayText(profilePath) + " using " + displayText(managerPath) + "...");
    }
    const auto onProgress = [silent](const std::string& id, const PackageState& state) {
        if (!silent) {
            Console::printLine(displayText(id) + ": " + stateText(state));
        }
    };
    const auto onLog = [silent](const std::string& line) {
        if (!silent) {
            Console::printLine(displayText(line));
        }
    };

    // A package that asks for a password can ask the person at the terminal, when there
    // is one and we are its foreground job.
    InstallEngine engine(ProcessRunner::Settings{.shareTerminal = true, .environment = {}});
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
            Console::printLine("FAILED: " + displayText(result.app.name) + " - " +
                               displayText(result.state.message));
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

// --dry-run and --check: the plan, and nothing that changes the Mac.
std::int32_t survey(const std::vector<AppEntry>& selected, InstallOptions options,
                    const std::string& managerPath, bool silent, bool check) {
    if (check) {
        // Present is present, by the manager or outside it, whatever the profile would
        // do about it: the inventory is always taken.
        options.skipInstalled = true;
        options.upgradeIfPresent = false;
        options.existingApps = ExistingApps::skip;
    }
    InstallEngine engine(ProcessRunner::Settings{.shareTerminal = true, .environment = {}});
    std::vector<PlannedEntry> plan;
    try {
        plan = engine.plan(selected, options, managerPath, [silent](const std::string& line) {
            if (!silent) {
                Console::printLine(displayText(line));
            }
        });
    } catch (const PackageManagerError& error) {
        Console::writeError(displayText(error.text()) + "\n");
        return statusFailure;
    } catch (const std::exception& error) {
        Console::writeError(displayText(error.what()) + "\n");
        return statusFailure;
    }
    bool missing = false;
    for (const PlannedEntry& entry : plan) {
        if (!check) {
            Console::printLine(displayText(entry.app.id) + ": " +
                               displayText(InstallPlan::describe(entry, options.packageManager)));
        } else if (entry.action == PlannedAction::install ||
                   entry.action == PlannedAction::notInstallable) {
            missing = true;
            Console::printLine(displayText(entry.app.id) + ": not installed");
        }
    }
    return missing ? statusFailure : 0;
}

} // namespace

const std::string& helpText() {
    static const std::string text = "Cairnmoor " + BuildInfo::version() + usageText;
    return text;
}

std::string stringLiteral(std::string_view text) {
    return '"' + escaped(text, true) + '"';
}

std::string displayText(std::string_view text) {
    return escaped(text, false);
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
        Console::writeError("could not read profile " + displayText(profilePath) + ": " +
                            displayText(error.what()) + "\n");
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
        catalog = CatalogLoader::load(FileManager::defaultManager(), nullptr,
                                      [](const std::string& explanation) {
                                          Console::writeError(displayText(explanation) + "\n");
                                      });
    } catch (const std::exception& error) {
        Console::writeError("could not load catalogue: " + displayText(error.what()) + "\n");
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
                list += (list.empty() ? "" : ", ") + displayText(id);
            }
            throw PackageManagerError::invalidSelection("Unknown catalogue IDs: " + list + ".");
        }
        manager.validate(selected);
    } catch (const PackageManagerError& error) {
        Console::writeError(displayText(error.text()) + "\n");
        return statusUsage;
    }

    InstallOptions options = profile.options;
    options.packageManager = manager;
    if (has("--dry-run") || has("--check")) {
        return survey(selected, options, *managerPath, silent, !has("--dry-run"));
    }
    return install(selected, options, profilePath, *managerPath, silent);
}

} // namespace cairnmoor::CLI
