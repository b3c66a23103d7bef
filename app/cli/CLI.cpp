#include "cli/CLI.hpp"

#include "buildinfo/BuildInfo.hpp"
#include "catalogue/CatalogLoader.hpp"
#include "cli/Console.hpp"
#include "cli/InterruptWatcher.hpp"
#include "cli/ReportWriter.hpp"
#include "install/InstallEngine.hpp"
#include "install/InstallLog.hpp"
#include "install/Profile.hpp"
#include "install/Selection.hpp"
#include "managers/PackageManagerError.hpp"
#include "managers/PackageManagerLocator.hpp"
#include "platform/Account.hpp"
#include "platform/AccountFileManager.hpp"
#include "platform/OutputFolder.hpp"
#include "platform/PathTrust.hpp"
#include "platform/ProcessInfo.hpp"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <set>
#include <system_error>
#include <unistd.h>

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
    "  --check          List the profile's apps that are not on this Mac; exit 1 if any.\n"
    "  --report <file>  Write the install's outcome as JSON to the file.\n"
    "  --log <file>     Write the install's log to the file; an existing file is kept.";

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

// The first occurrence of `option`: absent, without a value (none), or its value.
std::optional<std::optional<std::string>> valueOf(const std::vector<std::string>& arguments,
                                                  std::string_view option) {
    const auto found = std::find(arguments.begin(), arguments.end(), option);
    if (found == arguments.end()) {
        return std::nullopt;
    }
    return found + 1 == arguments.end() ? std::optional<std::string>() : *(found + 1);
}

// Homebrew refuses to run as root, so a root run gives its commands to the account that
// owns the brew executable (links followed): whoever installed Homebrew. None, with
// `problem` set, when there is no such account to use.
std::optional<Account> homebrewOwner(const std::string& brewPath, std::string& problem) {
    std::optional<Account> account;
    try {
        account = Account::owning(brewPath, FileManager::defaultManager());
    } catch (const std::exception& error) {
        problem = "cannot tell who owns Homebrew: " + std::string(error.what());
        return std::nullopt;
    }
    if (!account) {
        problem = "Homebrew at " + brewPath +
                  " belongs to a user id without an account here to run it as.";
    } else if (account->uid == 0) {
        problem = "Homebrew at " + brewPath +
                  " belongs to root and Homebrew does not run as root; install it as an "
                  "ordinary user, or run Cairnmoor as its owner.";
        account.reset();
    }
    return account;
}

// As root, a Homebrew that another account could swap would run that account's code as
// the owner: none of its folders may be writable by anyone but root and the owner.
std::optional<std::string> untrustedHomebrew(const std::string& brewPath, const Account& owner) {
    if (const auto why = PathTrust::problem(brewPath, PathTrust::Trusted{{owner.uid}}, true)) {
        return "will not run Homebrew at " + brewPath + " as " + owner.name + ": " + *why +
               ", so another user could replace it.";
    }
    return std::nullopt;
}

// What a run needs beyond the selection: how to start the manager and where to report.
struct RunSetup {
    std::string profilePath;
    std::string managerPath;
    bool silent = false;
    std::optional<Account> account; // the manager's commands run as this account
    std::optional<ProcessRunner::ExecutableIdentity> manager; // as it was checked
    std::optional<std::filesystem::path> logPath;

    ProcessRunner::Settings runnerSettings() const {
        // A package that asks for a password can ask the person at the terminal, when
        // there is one and we are its foreground job (never for another account).
        return ProcessRunner::Settings{
            .shareTerminal = true, .environment = {}, .account = account, .executable = manager};
    }
    // Apps outside Homebrew are looked for in the folders of whoever Homebrew runs as.
    const FileManager& fileManager() const {
        if (account && !ownerFiles) {
            ownerFiles.emplace(account->home);
        }
        return ownerFiles ? static_cast<const FileManager&>(*ownerFiles)
                          : FileManager::defaultManager();
    }

private:
    mutable std::optional<AccountFileManager> ownerFiles;
};

// The second half of a profile run: the install itself, its output and the status.
std::int32_t install(const std::vector<AppEntry>& selected, InstallOptions options,
                     const RunSetup& setup, ReportWriter& report) {
    const bool silent = setup.silent;
    InstallEngine engine(setup.runnerSettings(), setup.fileManager());
    // The manager runs in its own process group, out of reach of the terminal's
    // interrupt: pass the interrupt on by cancelling, so it stops with us. Watched from
    // before the first report on, so none is ever left saying the run goes on.
    std::optional<InterruptWatcher> watcher;
    try {
        watcher.emplace([&engine](int) { engine.cancel(); });
    } catch (const std::system_error&) {
        // Out of descriptors: install anyway; an interrupt then simply ends the process.
    }
    std::optional<InstallLog::File> logFile;
    try {
        // Before anything changes: a report that cannot be written fails the run now.
        report.write();
    } catch (const std::exception& error) {
        Console::writeError("could not write report " + displayText(report.path().string()) + ": " +
                            displayText(error.what()) + "\n");
        return statusFailure;
    }
    if (setup.logPath) {
        try {
            logFile = InstallLog::File::create(*setup.logPath);
        } catch (const std::exception& error) {
            const std::string message =
                "could not create log " + setup.logPath->string() + ": " + error.what();
            Console::writeError(displayText(message) + "\n");
            report.notStarted(message, statusFailure);
            return statusFailure;
        }
        // Whoever reads the report later may not know where we ran.
        std::error_code ignored;
        std::filesystem::path full = std::filesystem::absolute(logFile->path(), ignored);
        report.change([&](RunReport& run) {
            run.logFile = (full.empty() ? logFile->path() : full).string();
        });
    }
    if (!silent) {
        Console::printLine("Installing " + std::to_string(selected.size()) + " app(s) from " +
                           displayText(setup.profilePath) + " using " +
                           displayText(setup.managerPath) + "...");
        if (logFile) {
            Console::printLine("Log file: " + displayText(logFile->path().string()));
        }
    }
    const auto onProgress = [silent, &report](const std::string& id, const PackageState& state) {
        if (!silent) {
            Console::printLine(displayText(id) + ": " + stateText(state));
        }
        report.progress(id, state);
    };
    const auto onLog = [silent, &logFile](const std::string& line) {
        if (!silent) {
            Console::printLine(displayText(line));
        }
        if (logFile) {
            // A line that cannot be written is lost from the file only, as in the window.
            (void)logFile->appendLine(line);
        }
    };

    const std::vector<PackageResult> results =
        engine.run(selected, options, setup.managerPath,
                   InstallEngine::Observers{onProgress, onLog,
                                            [&report](const auto& plan) { report.plan(plan); }});

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
    std::int32_t status = failures > 0 ? statusFailure : 0;
    // Interrupted is never success, whatever the packages did before. The watcher stays
    // until the last report is on disk: a signal now must not cut that write short.
    const int signalNumber = watcher ? watcher->signalNumber() : 0;
    if (signalNumber != 0) {
        status = 128 + signalNumber;
    }
    const auto outcome =
        signalNumber != 0 ? RunReport::Outcome::interrupted : RunReport::Outcome::finished;
    // A fleet tool that asked for a report cannot tell success without it.
    const bool reported = report.finish(outcome, results, status, signalNumber);
    if (watcher) {
        watcher->stop();
    }
    return !reported && status == 0 ? statusFailure : status;
}

// --dry-run and --check: the plan, and nothing that changes the Mac.
std::int32_t survey(const std::vector<AppEntry>& selected, InstallOptions options,
                    const RunSetup& setup, bool check) {
    const bool silent = setup.silent;
    if (check) {
        // Present is present, by the manager or outside it, whatever the profile would
        // do about it: the inventory is always taken.
        options.skipInstalled = true;
        options.upgradeIfPresent = false;
        options.existingApps = ExistingApps::skip;
    }
    InstallEngine engine(setup.runnerSettings(), setup.fileManager());
    // As in an install: an interrupt stops the manager's commands, then us.
    std::optional<InterruptWatcher> watcher;
    try {
        watcher.emplace([&engine](int) { engine.cancel(); });
    } catch (const std::system_error&) {
    }
    const auto interrupted = [&watcher]() -> std::int32_t {
        if (!watcher) {
            return 0;
        }
        watcher->stop();
        const int signalNumber = watcher->signalNumber();
        return signalNumber != 0 ? 128 + signalNumber : 0;
    };
    std::vector<PlannedEntry> plan;
    try {
        plan = engine.plan(selected, options, setup.managerPath, [silent](const std::string& line) {
            if (!silent) {
                Console::printLine(displayText(line));
            }
        });
    } catch (const std::exception& error) {
        if (const std::int32_t status = interrupted()) {
            return status;
        }
        const auto* managerError = dynamic_cast<const PackageManagerError*>(&error);
        Console::writeError(displayText(managerError ? managerError->text() : error.what()) + "\n");
        return statusFailure;
    }
    if (const std::int32_t status = interrupted()) {
        return status;
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
        for (const char* option : {"--manager", "--report", "--log"}) {
            if (has(option)) {
                Console::writeError(std::string(option) + " requires --profile <file>\n");
                return statusUsage;
            }
        }
        return std::nullopt;
    }
    RunSetup setup;
    setup.silent = has("--silent");
    if (profileOption + 1 == arguments.end()) {
        Console::writeError("--profile requires a file path\n");
        return statusUsage;
    }
    setup.profilePath = *(profileOption + 1);
    const auto reportOption = valueOf(arguments, "--report");
    const auto logOption = valueOf(arguments, "--log");
    for (const auto& [option, value] :
         {std::pair{"--report", &reportOption}, std::pair{"--log", &logOption}}) {
        if (*value && !**value) {
            Console::writeError(std::string(option) + " requires a file path\n");
            return statusUsage;
        }
    }
    const bool surveying = has("--dry-run") || has("--check");
    if (surveying && (reportOption || logOption)) {
        Console::writeError("--report and --log go with an install, not with --dry-run or "
                            "--check\n");
        return statusUsage;
    }
    std::optional<std::filesystem::path> reportPath;
    if (reportOption) {
        reportPath = **reportOption;
        std::error_code ignored;
        if (std::filesystem::equivalent(*reportPath, setup.profilePath, ignored)) {
            Console::writeError("--report would replace the profile " +
                                displayText(setup.profilePath) + "\n");
            return statusUsage;
        }
    }
    if (logOption) {
        setup.logPath = **logOption;
    }
    // Root writes only where no one else can redirect it, and nothing writes a report
    // or log over a folder, a FIFO or a device.
    for (const auto& [what, path] :
         {std::pair{"report", &reportPath}, std::pair{"log", &setup.logPath}}) {
        if (const auto why =
                *path ? OutputFolder::refusal(**path, ::geteuid() == 0) : std::nullopt) {
            Console::writeError("will not write the " + std::string(what) + " to " +
                                displayText((*path)->string()) + ": " + displayText(*why) + "\n");
            return statusUsage;
        }
    }

    // From here on a report is written whatever happens, so a fleet tool never reads
    // an earlier run's report as this one's.
    RunReport initial;
    initial.startedAt = std::chrono::system_clock::now();
    initial.version = BuildInfo::version();
    initial.host = ProcessInfo::hostName();
    initial.profile = setup.profilePath;
    ReportWriter report(reportPath, std::move(initial));
    const auto stop = [&](std::int32_t status, const std::string& message) {
        Console::writeError(displayText(message) + "\n");
        report.notStarted(message, status);
        return status;
    };

    Profile profile;
    try {
        profile = Profile::load(setup.profilePath);
    } catch (const std::exception& error) {
        return stop(statusFailure,
                    "could not read profile " + setup.profilePath + ": " + error.what());
    }

    PackageManager manager = profile.options.packageManager;
    report.change([&](RunReport& run) { run.options = profile.options; });
    if (const auto managerOption = std::find(arguments.begin(), arguments.end(), "--manager");
        managerOption != arguments.end()) {
        const auto chosen = managerOption + 1 == arguments.end()
                                ? std::nullopt
                                : PackageManager::fromRawValue(*(managerOption + 1));
        if (!chosen) {
            return stop(statusUsage, "--manager requires homebrew or macports");
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
        return stop(statusFailure, notFoundSentence(manager) + " Install it from " +
                                       std::string(manager.installURL()) + ".");
    }
    setup.managerPath = *managerPath;
    report.change([&](RunReport& run) { run.managerPath = *managerPath; });
    if (::geteuid() == 0 && manager == PackageManager::homebrew) {
        std::string problem;
        setup.account = homebrewOwner(*managerPath, problem);
        if (!setup.account) {
            return stop(statusFailure, problem);
        }
        if (const auto why = untrustedHomebrew(*managerPath, *setup.account)) {
            return stop(statusFailure, *why);
        }
        setup.manager = ProcessRunner::ExecutableIdentity::of(*managerPath);
        report.change([&](RunReport& run) { run.runAs = setup.account->name; });
    }

    Catalog catalog;
    try {
        catalog = CatalogLoader::load(FileManager::defaultManager(), nullptr,
                                      [](const std::string& explanation) {
                                          Console::writeError(displayText(explanation) + "\n");
                                      });
    } catch (const std::exception& error) {
        return stop(statusFailure, "could not load catalogue: " + std::string(error.what()));
    }

    std::vector<AppEntry> selected;
    try {
        selected = Selection::entriesNamed(catalog, profile.apps, Selection::Scope::everyEntry);
        manager.validate(selected);
    } catch (const PackageManagerError& error) {
        return stop(statusUsage, error.text());
    }

    InstallOptions options = profile.options;
    options.packageManager = manager;
    if (setup.account) {
        Console::printLine("Running Homebrew as " + displayText(setup.account->name) +
                           ", the owner of " + displayText(*managerPath) + ".");
    }
    if (surveying) {
        return survey(selected, options, setup, !has("--dry-run"));
    }
    report.change([&](RunReport& run) {
        for (const AppEntry& app : selected) {
            run.apps.push_back(RunReport::App{
                app.id, app.name, manager.token(app).value_or(""), std::nullopt, {}, {}});
        }
    });
    return install(selected, options, setup, report);
}

} // namespace cairnmoor::CLI
