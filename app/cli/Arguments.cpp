#include "cli/Arguments.hpp"

#include "buildinfo/BuildInfo.hpp"
#include "cli/TerminalText.hpp"
#include "platform/OutputFolder.hpp"

#include <algorithm>
#include <string_view>
#include <system_error>
#include <unistd.h>

namespace cairnmoor {
namespace {

constexpr const char* usageText =
    " - bulk software installer for macOS (Homebrew or MacPorts)\n"
    "\n"
    "Usage:\n"
    "  Cairnmoor                                Launch the graphical app.\n"
    "  Cairnmoor --profile <file> [--silent]    Install a saved *.cmprofile without a window.\n"
    "  Cairnmoor --brewfile <file> [--silent]   Install what a Brewfile lists (read, never run).\n"
    "  Cairnmoor --capture <file>               Save this Mac's packages as a profile.\n"
    "  Cairnmoor --help                         Show this help.\n"
    "  Cairnmoor --version                      Print the version and exit.\n"
    "\n"
    "--manager homebrew|macports overrides the saved profile's package manager.\n"
    "MacPorts normally needs root: run this CLI with sudo, or use the GUI's\n"
    "Install in Terminal action. Homebrew must run as your normal user.\n"
    "Exit status when installing a profile is non-zero if any package failed.\n"
    "\n"
    "More options with --profile or --brewfile:\n"
    "  --dry-run        Show what an install would do with each app; change nothing.\n"
    "  --check          List the profile's apps that are not on this Mac; exit 1 if any.\n"
    "  --report <file>  Write the install's outcome as JSON to the file.\n"
    "  --log <file>     Write the install's log to the file; an existing file is kept.";

// The first occurrence of `option`: absent, without a value (none), or its value.
std::optional<std::optional<std::string>> valueOf(const std::vector<std::string>& arguments,
                                                  std::string_view option) {
    const auto found = std::find(arguments.begin(), arguments.end(), option);
    if (found == arguments.end()) {
        return std::nullopt;
    }
    return found + 1 == arguments.end() ? std::optional<std::string>() : *(found + 1);
}

} // namespace

const std::string& helpText() {
    static const std::string text = "Cairnmoor " + BuildInfo::version() + usageText;
    return text;
}

Arguments Arguments::parse(const std::vector<std::string>& arguments, std::string& usageError) {
    const auto has = [&](std::string_view option) {
        return std::find(arguments.begin(), arguments.end(), option) != arguments.end();
    };
    Arguments parsed;
    const auto refuse = [&](std::string message) {
        usageError = std::move(message);
        return parsed;
    };
    if (has("--help") || has("-h")) {
        parsed.command = Command::help;
        return parsed;
    }
    if (has("--version")) {
        parsed.command = Command::version;
        return parsed;
    }
    if (const auto capture = valueOf(arguments, "--capture")) {
        parsed.command = Command::capture;
        parsed.silent = has("--silent");
        if (!*capture || (*capture)->starts_with("--")) {
            return refuse("--capture requires a file path");
        }
        for (const char* other :
             {"--profile", "--brewfile", "--report", "--log", "--dry-run", "--check"}) {
            if (has(other)) {
                return refuse(std::string(other) + " does not go with --capture");
            }
        }
        parsed.capturePath = **capture;
        if (const auto why = OutputFolder::refusal(parsed.capturePath, ::geteuid() == 0)) {
            return refuse("will not write the profile to " +
                          CLI::displayText(parsed.capturePath.string()) + ": " +
                          CLI::displayText(*why));
        }
        if (const auto manager = valueOf(arguments, "--manager")) {
            parsed.manager = manager->value_or("");
        }
        return parsed;
    }
    if (has("--brewfile") && has("--profile")) {
        return refuse("--brewfile and --profile go one at a time");
    }
    parsed.brewfile = has("--brewfile");
    const std::string profileOption = parsed.brewfile ? "--brewfile" : "--profile";
    const auto profile = valueOf(arguments, profileOption);
    if (!profile) {
        for (const char* option : {"--manager", "--report", "--log"}) {
            if (has(option)) {
                return refuse(std::string(option) + " requires --profile <file>");
            }
        }
        return parsed;
    }
    parsed.command = Command::profile;
    parsed.silent = has("--silent");
    if (!*profile) {
        return refuse(profileOption + " requires a file path");
    }
    parsed.profilePath = **profile;
    const auto report = valueOf(arguments, "--report");
    const auto log = valueOf(arguments, "--log");
    for (const auto& [option, value] : {std::pair{"--report", &report}, std::pair{"--log", &log}}) {
        if (*value && !**value) {
            return refuse(std::string(option) + " requires a file path");
        }
    }
    parsed.dryRun = has("--dry-run");
    parsed.check = has("--check");
    if (parsed.surveying() && (report || log)) {
        return refuse("--report and --log go with an install, not with --dry-run or --check");
    }
    if (report) {
        parsed.reportPath = **report;
        std::error_code ignored;
        if (std::filesystem::equivalent(*parsed.reportPath, parsed.profilePath, ignored)) {
            return refuse("--report would replace the profile " +
                          CLI::displayText(parsed.profilePath));
        }
    }
    if (log) {
        parsed.logPath = **log;
    }
    // Root writes only where no one else can redirect it, and nothing writes a report
    // or log over a folder, a FIFO or a device.
    for (const auto& [what, path] :
         {std::pair{"report", &parsed.reportPath}, std::pair{"log", &parsed.logPath}}) {
        if (const auto why =
                *path ? OutputFolder::refusal(**path, ::geteuid() == 0) : std::nullopt) {
            return refuse("will not write the " + std::string(what) + " to " +
                          CLI::displayText((*path)->string()) + ": " + CLI::displayText(*why));
        }
    }
    if (const auto manager = valueOf(arguments, "--manager")) {
        parsed.manager = manager->value_or("");
    }
    return parsed;
}

} // namespace cairnmoor
